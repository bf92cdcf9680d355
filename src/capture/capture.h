#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/notesink.h"

namespace pellix {

// What one line of a traffic capture records. Tx and Rx carry the bytes of one chunk written or
// read (consecutive chunks close together are kept as one); the others carry a short text.
enum class CaptureKind : std::uint8_t {
    Tx,       // bytes written
    Rx,       // bytes read
    Note,     // what an engine made of the traffic, with no chunk of its own (text in `note`)
    Open,     // port opened: port name, line settings, device, wall-clock time
    Close,    // port closed
    Lost,     // device vanished while open
    Reopen,   // the same device opened again without the operator's pick
    Discard,  // waiting input thrown away: how many bytes
    Line,     // line settings changed on the open port
};

struct CaptureEvent {
    std::int64_t micros = 0;  // since the capture's first opening, monotonic
    CaptureKind kind = CaptureKind::Note;
    std::string data;  // Tx/Rx: raw bytes; others: text
    std::string note;  // engine notes on these bytes, " | " between several
};

constexpr bool isTraffic(CaptureKind kind) {
    return kind == CaptureKind::Tx || kind == CaptureKind::Rx;
}

// The newest events of one port, at most `capBytes` of memory (the event records and their
// heap text counted; the container's own bookkeeping is a small constant on top). The oldest
// events go first. Every event gets a sequence number so a live view can ask for what is new.
class CaptureRing {
  public:
    explicit CaptureRing(std::size_t capBytes) : m_capBytes(capBytes) {}

    void push(CaptureEvent event);
    // Appends to the newest event in place (merged chunk, note); its size is recounted.
    CaptureEvent& newest() { return m_events.back(); }
    void newestChanged(std::size_t oldCost);
    void clear();

    bool empty() const { return m_events.empty(); }
    std::size_t size() const { return m_events.size(); }
    std::size_t bytesUsed() const { return m_bytesUsed; }
    std::size_t capBytes() const { return m_capBytes; }
    // Sequence number of the oldest event held and one past the newest.
    std::uint64_t firstSequence() const { return m_nextSequence - m_events.size(); }
    std::uint64_t nextSequence() const { return m_nextSequence; }
    std::uint64_t dropped() const { return m_dropped; }
    const CaptureEvent& at(std::uint64_t sequence) const {
        return m_events[static_cast<std::size_t>(sequence - firstSequence())];
    }
    auto begin() const { return m_events.begin(); }
    auto end() const { return m_events.end(); }

    static std::size_t cost(const CaptureEvent& event);

  private:
    void trim();

    std::deque<CaptureEvent> m_events;
    std::size_t m_capBytes;
    std::size_t m_bytesUsed = 0;
    std::uint64_t m_nextSequence = 0;
    std::uint64_t m_dropped = 0;
};

// Told of every change, in order: a recorder writes them to a file as they happen.
class CaptureSink {
  public:
    virtual void eventAdded(const CaptureEvent& event) = 0;
    // The newest event (a chunk) got more bytes of the same direction.
    virtual void bytesAppended(CaptureKind direction, std::int64_t micros,
                               std::span<const std::uint8_t> bytes) = 0;
    // A note was attached to the newest event (a chunk).
    virtual void noteAttached(std::int64_t micros, std::string_view note) = 0;

  protected:
    ~CaptureSink() = default;
};

// The clock is the caller's: microseconds on a monotonic clock and the wall-clock time as text.
struct CaptureClock {
    std::function<std::int64_t()> monotonicMicros;
    std::function<std::string()> wallClock;
};

// What a saved capture says about where it came from.
struct CaptureHeader {
    std::string tool;      // "Pellix kit 3.0.3"
    std::string window;    // which tool window's port
    std::string port;      // "COM3"
    std::string device;    // "/dev/ttyUSB0"
    std::string settings;  // "9600,E,8,1"
    std::string opened;    // wall-clock time of the first opening
};

// The traffic of one window's port: every chunk written and read and the port's events, with
// the time since the port was first opened, in a bounded ring. Plain C++: the serial layer
// feeds it and supplies the clock.
class Capture final : public NoteSink {
  public:
    static constexpr std::size_t kDefaultCapBytes = 8u << 20;
    // Chunks of one direction closer than this to the previous one, with nothing between
    // them, are one line: the one-byte writes of a frame, the bytes of one burst.
    static constexpr std::int64_t kMergeGapMicros = 2000;
    // A burst is cut into lines of at most this many bytes, and a line takes notes up to this
    // many characters (more go on lines of their own), so no line grows without bound: a view
    // lays out each line whole, and a reader keeps one line buffer of fixed size.
    static constexpr std::size_t kMaxChunkBytes = 4096;
    static constexpr std::size_t kMaxNoteLength = 4096;

    Capture(std::string window, CaptureClock clock, std::size_t capBytes = kDefaultCapBytes);

    void opened(std::string_view port, std::string_view device, std::string_view settings);
    void reopened(std::string_view device);
    void settingsChanged(std::string_view settings);
    void closed();
    void lost();
    void discarded(std::size_t bytes);
    void sent(std::span<const std::uint8_t> bytes) { chunk(CaptureKind::Tx, bytes); }
    void received(std::span<const std::uint8_t> bytes) { chunk(CaptureKind::Rx, bytes); }
    // Attached to the newest chunk when that is the newest event, else an event of its own.
    void note(std::string_view text) override;

    void clear() { m_ring.clear(); }

    void addSink(CaptureSink* sink);
    void removeSink(CaptureSink* sink);

    const CaptureRing& ring() const { return m_ring; }
    const CaptureHeader& header() const { return m_header; }
    void setTool(std::string tool) { m_header.tool = std::move(tool); }

  private:
    std::int64_t now() const;
    void add(CaptureKind kind, std::string data, std::string note = {});
    void chunk(CaptureKind direction, std::span<const std::uint8_t> bytes);

    CaptureClock m_clock;
    CaptureRing m_ring;
    CaptureHeader m_header;
    std::vector<CaptureSink*> m_sinks;
    std::int64_t m_epoch = 0;
    std::int64_t m_lastChunk = 0;
    // One past the sequence number of the newest chunk event, to tell it is still the newest.
    std::uint64_t m_lastChunkSequence = 0;
    bool m_started = false;
};

}  // namespace pellix
