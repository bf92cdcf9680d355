#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture/capture.h"

namespace pellix::emulator {

// The two sides of a capture: what the hopper sent (RX in the tool's capture) is played back,
// what the tool sent (TX) is what the tool is expected to send again.
struct ReplayStep {
    std::int64_t micros = 0;  // recorded time
    bool fromTool = false;
    std::vector<std::uint8_t> bytes;
};

struct ReplayScript {
    CaptureHeader header;
    std::vector<ReplayStep> steps;
};

// Reads the traffic of a capture file; nothing and a message naming the line when it is bad.
std::optional<ReplayScript> loadReplayScript(std::istream& in, std::string* error);

struct ReplayOptions {
    bool fast = false;       // no waiting between steps
    bool matchTool = false;  // wait for the tool's bytes to match each recorded TX
};

// Plays the hopper's side of a capture. Plain: the caller owns the clock and the line, tells
// it the time and the tool's bytes, and sends what poll() returns.
//
// Without matching, each hopper chunk goes out at its recorded time from the start and the
// tool's bytes are only counted. With matching, the replay stops at each recorded TX until the
// tool has sent the same bytes, then goes on with the recorded delays counted from that moment;
// the first byte that differs ends the replay and is reported.
class Replayer {
  public:
    Replayer(ReplayScript script, ReplayOptions options);

    // Starts the clock: times are counted from `now`.
    void start(std::int64_t now);
    // Hopper bytes due by `now`, in order.
    std::vector<std::uint8_t> poll(std::int64_t now);
    // When the next hopper chunk is due; none while waiting for the tool or when finished.
    std::optional<std::int64_t> wakeAt() const;
    void toolSent(std::span<const std::uint8_t> bytes, std::int64_t now);

    bool started() const { return m_started; }
    bool finished() const { return m_next >= m_script.steps.size() || m_mismatch.has_value(); }
    // "step 4 (+0000.012345): expected TX 82, got 83 at byte 1"
    const std::optional<std::string>& mismatch() const { return m_mismatch; }
    std::size_t stepsDone() const { return m_next; }
    std::uint64_t toolBytes() const { return m_toolBytes; }

  private:
    void skipToolSteps();
    std::int64_t dueAt(const ReplayStep& step) const;

    ReplayScript m_script;
    ReplayOptions m_options;
    std::size_t m_next = 0;
    std::size_t m_matched = 0;  // bytes of the current TX step already matched
    std::int64_t m_base = 0;    // clock time at which the recorded time m_baseRecorded falls
    std::int64_t m_baseRecorded = 0;
    std::uint64_t m_toolBytes = 0;
    bool m_started = false;
    std::optional<std::string> m_mismatch;
};

}  // namespace pellix::emulator
