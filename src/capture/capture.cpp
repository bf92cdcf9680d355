#include "capture/capture.h"

#include <algorithm>

namespace pellix {
namespace {

// Heap bytes a string holds beyond its own record (none while it fits the inline buffer).
std::size_t heapBytes(const std::string& s) {
    const char* self = reinterpret_cast<const char*>(&s);
    const bool inline_ = s.data() >= self && s.data() < self + sizeof s;
    return inline_ ? 0 : s.capacity() + 1;
}

}  // namespace

std::size_t CaptureRing::cost(const CaptureEvent& event) {
    return sizeof(CaptureEvent) + heapBytes(event.data) + heapBytes(event.note);
}

void CaptureRing::push(CaptureEvent event) {
    m_bytesUsed += cost(event);
    m_events.push_back(std::move(event));
    ++m_nextSequence;
    trim();
}

void CaptureRing::newestChanged(std::size_t oldCost) {
    m_bytesUsed = m_bytesUsed - oldCost + cost(m_events.back());
    trim();
}

void CaptureRing::clear() {
    m_dropped += m_events.size();
    m_events.clear();
    m_bytesUsed = 0;
}

void CaptureRing::trim() {
    // The newest event always stays, even when it alone is over the cap.
    while (m_bytesUsed > m_capBytes && m_events.size() > 1) {
        m_bytesUsed -= cost(m_events.front());
        m_events.pop_front();
        ++m_dropped;
    }
}

Capture::Capture(std::string window, CaptureClock clock, std::size_t capBytes)
    : m_clock(std::move(clock)), m_ring(capBytes) {
    m_header.window = std::move(window);
}

std::int64_t Capture::now() const {
    return m_clock.monotonicMicros() - m_epoch;
}

void Capture::add(CaptureKind kind, std::string data, std::string note) {
    CaptureEvent event{now(), kind, std::move(data), std::move(note)};
    for (CaptureSink* sink : m_sinks) {
        sink->eventAdded(event);
    }
    m_ring.push(std::move(event));
}

void Capture::opened(std::string_view port, std::string_view device, std::string_view settings) {
    const std::string wall = m_clock.wallClock();
    if (!m_started) {
        // Times count from the first opening; later openings keep the same origin so one
        // capture reads as one timeline.
        m_started = true;
        m_epoch = m_clock.monotonicMicros();
        m_header.opened = wall;
    }
    m_header.port = port;
    m_header.device = device;
    m_header.settings = settings;
    std::string text;
    text.append(port).append(" ").append(settings).append(" ").append(device);
    text.append(" ").append(wall);
    add(CaptureKind::Open, std::move(text));
}

void Capture::reopened(std::string_view device) {
    add(CaptureKind::Reopen, std::string(device));
}

void Capture::settingsChanged(std::string_view settings) {
    m_header.settings = settings;
    add(CaptureKind::Line, std::string(settings));
}

void Capture::closed() {
    add(CaptureKind::Close, {});
}

void Capture::lost() {
    add(CaptureKind::Lost, {});
}

void Capture::discarded(std::size_t bytes) {
    add(CaptureKind::Discard, std::to_string(bytes));
}

void Capture::chunk(CaptureKind direction, std::span<const std::uint8_t> bytes) {
    const std::int64_t t = now();
    while (!bytes.empty()) {
        if (!m_ring.empty()) {
            CaptureEvent& last = m_ring.newest();
            if (last.kind == direction && last.note.empty() && t - m_lastChunk < kMergeGapMicros &&
                m_ring.nextSequence() == m_lastChunkSequence && last.data.size() < kMaxChunkBytes) {
                const auto part =
                    bytes.first(std::min(bytes.size(), kMaxChunkBytes - last.data.size()));
                const std::size_t before = CaptureRing::cost(last);
                last.data.append(reinterpret_cast<const char*>(part.data()), part.size());
                m_lastChunk = t;
                for (CaptureSink* sink : m_sinks) {
                    sink->bytesAppended(direction, t, part);
                }
                m_ring.newestChanged(before);
                bytes = bytes.subspan(part.size());
                continue;
            }
        }
        const auto part = bytes.first(std::min(bytes.size(), kMaxChunkBytes));
        add(direction, std::string(reinterpret_cast<const char*>(part.data()), part.size()));
        m_lastChunk = t;
        m_lastChunkSequence = m_ring.nextSequence();
        bytes = bytes.subspan(part.size());
    }
}

void Capture::note(std::string_view text) {
    if (text.empty()) {
        return;
    }
    // A note made while handling a chunk explains it; one made later (a time-out) stands alone.
    const std::int64_t t = now();
    if (!m_ring.empty() && m_ring.nextSequence() == m_lastChunkSequence &&
        t - m_lastChunk < kMergeGapMicros &&
        m_ring.newest().note.size() + text.size() < kMaxNoteLength) {
        CaptureEvent& last = m_ring.newest();
        const std::size_t before = CaptureRing::cost(last);
        if (!last.note.empty()) {
            last.note.append(" | ");
        }
        last.note.append(text);
        for (CaptureSink* sink : m_sinks) {
            sink->noteAttached(t, text);
        }
        m_ring.newestChanged(before);
        return;
    }
    add(CaptureKind::Note, {}, std::string(text.substr(0, kMaxNoteLength)));
}

void Capture::addSink(CaptureSink* sink) {
    if (std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end()) {
        m_sinks.push_back(sink);
    }
}

void Capture::removeSink(CaptureSink* sink) {
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

}  // namespace pellix
