#include "replay.h"

#include <cstdio>
#include <istream>
#include <utility>

namespace pellix::emulator {

std::optional<ReplayStep> ReplaySteps::nextTraffic() {
    if (m_ahead) {
        return std::exchange(m_ahead, std::nullopt);
    }
    while (m_reader.next(m_event) == CaptureReader::Result::Event) {
        if (isTraffic(m_event.kind)) {
            const auto* data = reinterpret_cast<const std::uint8_t*>(m_event.data.data());
            return ReplayStep{m_event.micros,
                              m_event.kind == CaptureKind::Tx,
                              {data, data + m_event.data.size()}};
        }
    }
    return std::nullopt;
}

std::optional<ReplayStep> ReplaySteps::next() {
    std::optional<ReplayStep> step = nextTraffic();
    while (step && step->fromTool && step->bytes.size() < kMaxMergedBytes) {
        std::optional<ReplayStep> more = nextTraffic();
        if (!more || !more->fromTool) {
            m_ahead = std::move(more);
            break;
        }
        step->bytes.insert(step->bytes.end(), more->bytes.begin(), more->bytes.end());
    }
    return step;
}

std::optional<ReplaySummary> checkReplay(std::istream& in, std::string* error) {
    ReplaySteps steps(in);
    ReplaySummary summary;
    while (steps.next()) {
        ++summary.steps;
    }
    if (!steps.error().empty()) {
        if (error) {
            *error = steps.error();
        }
        return std::nullopt;
    }
    summary.header = steps.header();
    return summary;
}

Replayer::Replayer(std::istream& in, ReplayOptions options)
    : m_steps(in), m_options(options), m_step(m_steps.next()) {}

void Replayer::advance() {
    m_step = m_steps.next();
    ++m_done;
}

void Replayer::start(std::int64_t now) {
    m_started = true;
    m_base = now;
    // The first step goes out at once; the rest keep their recorded distance from it.
    m_baseRecorded = m_step ? m_step->micros : 0;
    skipToolSteps();
}

void Replayer::skipToolSteps() {
    if (m_options.matchTool) {
        return;
    }
    while (m_step && m_step->fromTool) {
        advance();
    }
}

std::int64_t Replayer::dueAt(const ReplayStep& step) const {
    if (m_options.fast) {
        return m_base;
    }
    return m_base + (step.micros - m_baseRecorded);
}

std::vector<std::uint8_t> Replayer::poll(std::int64_t now, std::size_t limit) {
    std::vector<std::uint8_t> out;
    while (m_started && !finished() && out.size() < limit) {
        if (m_step->fromTool || dueAt(*m_step) > now) {
            break;
        }
        out.insert(out.end(), m_step->bytes.begin(), m_step->bytes.end());
        advance();
        skipToolSteps();
    }
    return out;
}

std::optional<std::int64_t> Replayer::wakeAt() const {
    if (!m_started || finished() || m_step->fromTool) {
        return std::nullopt;
    }
    return dueAt(*m_step);
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
        const ReplayStep& step = *m_step;
        char at[64];
        std::snprintf(at, sizeof at, "step %zu (%s): ", m_done + 1, timeText(step.micros).c_str());
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
            advance();
        }
    }
}

}  // namespace pellix::emulator
