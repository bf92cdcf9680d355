#include "replay.h"

#include <cstdio>
#include <istream>

#include "capture/captureformat.h"

namespace pellix::emulator {

std::optional<ReplayScript> loadReplayScript(std::istream& in, std::string* error) {
    CaptureReader reader(in);
    ReplayScript script;
    CaptureEvent event;
    CaptureReader::Result result;
    while ((result = reader.next(event)) == CaptureReader::Result::Event) {
        if (!isTraffic(event.kind)) {
            continue;
        }
        const bool fromTool = event.kind == CaptureKind::Tx;
        const auto* data = reinterpret_cast<const std::uint8_t*>(event.data.data());
        // Chunks of one side in a row are one step at the first one's time.
        if (!script.steps.empty() && script.steps.back().fromTool == fromTool && fromTool) {
            script.steps.back().bytes.insert(script.steps.back().bytes.end(), data,
                                             data + event.data.size());
            continue;
        }
        script.steps.push_back({event.micros, fromTool, {data, data + event.data.size()}});
    }
    if (result == CaptureReader::Result::Error) {
        if (error) {
            *error = reader.error();
        }
        return std::nullopt;
    }
    script.header = reader.header();
    return script;
}

Replayer::Replayer(ReplayScript script, ReplayOptions options)
    : m_script(std::move(script)), m_options(options) {}

void Replayer::start(std::int64_t now) {
    m_started = true;
    m_base = now;
    // The first step goes out at once; the rest keep their recorded distance from it.
    m_baseRecorded = m_script.steps.empty() ? 0 : m_script.steps.front().micros;
    skipToolSteps();
}

void Replayer::skipToolSteps() {
    if (m_options.matchTool) {
        return;
    }
    while (m_next < m_script.steps.size() && m_script.steps[m_next].fromTool) {
        ++m_next;
    }
}

std::int64_t Replayer::dueAt(const ReplayStep& step) const {
    if (m_options.fast) {
        return m_base;
    }
    return m_base + (step.micros - m_baseRecorded);
}

std::vector<std::uint8_t> Replayer::poll(std::int64_t now) {
    std::vector<std::uint8_t> out;
    while (m_started && !finished()) {
        const ReplayStep& step = m_script.steps[m_next];
        if (step.fromTool || dueAt(step) > now) {
            break;
        }
        out.insert(out.end(), step.bytes.begin(), step.bytes.end());
        ++m_next;
        skipToolSteps();
    }
    return out;
}

std::optional<std::int64_t> Replayer::wakeAt() const {
    if (!m_started || finished() || m_script.steps[m_next].fromTool) {
        return std::nullopt;
    }
    return dueAt(m_script.steps[m_next]);
}

void Replayer::toolSent(std::span<const std::uint8_t> bytes, std::int64_t now) {
    m_toolBytes += bytes.size();
    if (!m_options.matchTool || !m_started) {
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (finished()) {
            return;
        }
        const ReplayStep& step = m_script.steps[m_next];
        char at[64];
        std::snprintf(at, sizeof at, "step %zu (%s): ", m_next + 1, timeText(step.micros).c_str());
        if (!step.fromTool) {
            m_mismatch =
                std::string(at) + "expected RX " +
                hexText({reinterpret_cast<const char*>(step.bytes.data()), step.bytes.size()}) +
                " from the hopper first, got TX " +
                hexText({reinterpret_cast<const char*>(&bytes[i]), 1}) + " from the tool";
            return;
        }
        if (bytes[i] != step.bytes[m_matched]) {
            char detail[96];
            std::snprintf(detail, sizeof detail, "expected TX %02X, got %02X at byte %zu of ",
                          step.bytes[m_matched], bytes[i], m_matched + 1);
            m_mismatch =
                std::string(at) + detail +
                hexText({reinterpret_cast<const char*>(step.bytes.data()), step.bytes.size()});
            return;
        }
        if (++m_matched == step.bytes.size()) {
            // The hopper's answers keep their recorded delay after the tool's bytes.
            m_base = now;
            m_baseRecorded = step.micros;
            m_matched = 0;
            ++m_next;
        }
    }
}

}  // namespace pellix::emulator
