#pragma once

#include <array>
#include <optional>

#include "hwtest/hardwaretestrecorder.h"
#include "hwtest/hwtestnotes.h"
#include "hwtest/teststreamreceiver.h"
#include "line/linejob.h"
#include "line/lineplan.h"

namespace pellix::line {

// What the runner does with each hardware test hopper.
struct HwtestPlan {
    PassRule rule;
    // Written with a fresh serial number after the first read, then read back.
    std::optional<hwtest::FlashRecord> flashTemplate;
    JobTimes times;
};

// The hardware test of one hopper after another on one position, through the window's own
// receiver: the receiver answers the prompt and follows the stream; this job waits for the
// prism sensor and the DIP switches, sends "DIP finished", reads the flash record, writes the
// template with the next serial number and reads it back, judges the run by the pass rule, and
// then waits at the header for the next hopper.
class HwtestJob final : public LineJob, private hwtest::TestStreamView {
  public:
    enum Timeout : std::size_t { kQuiet, kPrism, kRecord, kSettle, kTimeoutCount };

    HwtestJob(LinePort& line, JobHost& host, NoteSink& notes, HwtestPlan plan);

    FeedResult feed(std::span<const std::uint8_t> bytes) override;
    void timeoutExpired(std::size_t timeout) override;
    std::span<const LineTimeout> timeouts() const override { return m_timeouts; }
    void setPort(std::string port, std::string device) override;
    void abandon(const std::string& why) override;
    bool running() const override { return m_phase != Phase::Idle; }
    void serialNumberTaken(std::optional<std::uint32_t> number, const std::string& error) override;

  private:
    enum class Phase { Idle, Stream, Monitor, ReadRecord, Serial, Settle, ReadBack };

    // TestStreamView: what the stream says, beside the recorder.
    void showChecksum(std::string_view) override {}
    void appendSoftwareText(std::string_view) override {}
    void firmwareVariantDecided(hwtest::FirmwareVariant) override {}
    void showDipSwitches(const hwtest::DipSwitches& on) override;
    void setResult(hwtest::TestItem item, hwtest::TestResult result) override;
    void appendRecordText(hwtest::FlashField field, std::string_view character) override;
    void showSerialNumber(std::string_view text) override;
    void recordMode(hwtest::FlashField field, std::uint8_t value) override;
    void stateChanged(hwtest::TestStreamState state) override;

    void enter(Phase phase, std::string_view shown);
    void proceedIfReady();
    void readFlash();
    void recordRead();
    void writeFlash(std::uint32_t serial);
    void judge();
    void finish(records::Outcome outcome, std::string reason);
    std::vector<std::string> resultFaults(bool asked) const;

    LinePort& m_line;
    JobHost& m_host;
    HwtestPlan m_plan;
    std::array<LineTimeout, kTimeoutCount> m_timeouts;
    hwtest::TestStreamViews m_views;
    hwtest::HwTestNotes m_notes;
    std::optional<hwtest::TestStreamReceiver> m_receiver;
    bool m_feeding = false;  // inside the receiver: it is not to be replaced then
    hwtest::HardwareTestRecorder m_recorder;
    std::optional<records::ServiceRun> m_kept;

    Phase m_phase = Phase::Idle;
    std::array<std::optional<hwtest::TestResult>, hwtest::kTestItemCount> m_results{};
    bool m_dipSeen = false;
    bool m_waitOver = false;  // the prism wait ran out
    bool m_readingRecord = false;
    hwtest::FlashRecord m_record;                   // the record being read
    std::optional<hwtest::FlashRecord> m_expected;  // what the write should read back as
    std::string m_written;                          // serial number written
    std::string m_readBack;                         // "equal" or "differs" once read back
};

}  // namespace pellix::line
