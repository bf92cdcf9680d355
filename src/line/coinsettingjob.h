#pragma once

#include <optional>

#include "coinsetting/coinsettingnotes.h"
#include "coinsetting/coinsettingprotocol.h"
#include "coinsetting/coinsettingrecorder.h"
#include "line/linejob.h"

namespace pellix::line {

// Coin numbers written to one hopper after another on one position, through the window's own
// protocol: each hopper's power-on block is read and answered, the numbers are saved as soon as
// the hopper offers data entry, and the run passes when the refreshed block shows them.
class CoinSettingJob final : public LineJob, private CoinSettingView {
  public:
    CoinSettingJob(LinePort& line, JobHost& host, NoteSink& notes, CoinNumbers numbers,
                   JobTimes times);

    FeedResult feed(std::span<const std::uint8_t> bytes) override;
    void timeoutExpired(std::size_t timeout) override;
    std::span<const LineTimeout> timeouts() const override { return m_timeouts; }
    void setPort(std::string port, std::string device) override;
    void abandon(const std::string& why) override;
    bool running() const override { return m_running; }

  private:
    // The protocol's two time-outs come first, then the job's own.
    static constexpr std::size_t kQuiet = kCoinSettingTimeouts.size();

    // CoinSettingView: what the window would show.
    void showStatus(StatusColour colour, std::string_view text) override;
    void setChannelText(int, std::string_view) override {}
    void showReceiveError(std::string_view message) override;
    void unlockInputs() override {}
    void stageChanged(ReceiveStage stage) override;

    void kept(records::ServiceRun run);
    void finish(records::Outcome outcome, std::string reason);

    LinePort& m_line;
    JobHost& m_host;
    CoinNumbers m_numbers;
    JobTimes m_times;
    std::array<LineTimeout, kQuiet + 1> m_timeouts;
    CoinSettingState m_state;
    CoinSettingRecorder m_recorder;
    CoinSettingNotes m_notes;
    CoinSettingProtocol m_protocol;
    bool m_running = false;
    bool m_entryOffered = false;  // the hopper asked for data: save once the batch is handled
    bool m_saved = false;
    bool m_finishing = false;  // the recorder's run comes to this job's own verdict
    std::optional<records::ServiceRun> m_kept;
    std::string m_port;
    std::string m_device;
};

}  // namespace pellix::line
