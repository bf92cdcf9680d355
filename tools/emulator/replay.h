#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture/captureformat.h"

namespace pellix::emulator {

// The two sides of a capture: what the hopper sent (RX in the tool's capture) is played back,
// what the tool sent (TX) is what the tool is expected to send again.
struct ReplayStep {
    std::int64_t micros = 0;  // recorded time
    bool fromTool = false;
    std::vector<std::uint8_t> bytes;
};

// The steps of a capture, read as they are needed, so a replay takes the same memory whatever
// the capture's length. Chunks the tool sent in a row are one step at the first one's time (up
// to kMaxMergedBytes; beyond that the next chunk starts a step of its own).
class ReplaySteps {
  public:
    static constexpr std::size_t kMaxMergedBytes = 64 * 1024;

    explicit ReplaySteps(std::istream& in) : m_reader(in) {}
    // The next step; none at the end of the file or at a line that cannot be read (error()).
    std::optional<ReplayStep> next();
    // Complete once the first step has been read.
    const CaptureHeader& header() const { return m_reader.header(); }
    // "line 12: bad byte 'G1'"; empty while the file reads well.
    const std::string& error() const { return m_reader.error(); }

  private:
    std::optional<ReplayStep> nextTraffic();

    CaptureReader m_reader;
    CaptureEvent m_event;
    std::optional<ReplayStep> m_ahead;
};

// One look through a whole capture before it is played: its header and number of steps, or
// nothing and a message naming the bad line.
struct ReplaySummary {
    CaptureHeader header;
    std::size_t steps = 0;
};
std::optional<ReplaySummary> checkReplay(std::istream& in, std::string* error);

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
    // Reads the steps from `in` as it goes; `in` must outlive the replayer.
    Replayer(std::istream& in, ReplayOptions options);

    // Starts the clock: times are counted from `now`.
    void start(std::int64_t now);
    // Hopper bytes due by `now`, in order: whole steps, stopping once `limit` bytes are taken.
    std::vector<std::uint8_t> poll(std::int64_t now, std::size_t limit = SIZE_MAX);
    // When the next hopper chunk is due; none while waiting for the tool or when finished.
    std::optional<std::int64_t> wakeAt() const;
    void toolSent(std::span<const std::uint8_t> bytes, std::int64_t now);

    bool started() const { return m_started; }
    bool finished() const { return !m_step || m_mismatch.has_value(); }
    // "step 4 (+0000.012345): expected TX 82, got 83 at byte 1"
    const std::optional<std::string>& mismatch() const { return m_mismatch; }
    std::size_t stepsDone() const { return m_done; }
    // Why the file stopped reading before its end (it changed after it was checked).
    const std::string& error() const { return m_steps.error(); }
    std::uint64_t toolBytes() const { return m_toolBytes; }

  private:
    void advance();
    void skipToolSteps();
    std::int64_t dueAt(const ReplayStep& step) const;

    ReplaySteps m_steps;
    ReplayOptions m_options;
    std::optional<ReplayStep> m_step;  // the one being played or waited for
    std::size_t m_done = 0;
    std::size_t m_matched = 0;  // bytes of the current TX step already matched
    std::int64_t m_base = 0;    // clock time at which the recorded time m_baseRecorded falls
    std::int64_t m_baseRecorded = 0;
    std::uint64_t m_toolBytes = 0;
    bool m_started = false;
    std::optional<std::string> m_mismatch;
};

}  // namespace pellix::emulator
