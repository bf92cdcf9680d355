#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "coinsetting/coinsettingprotocol.h"
#include "records/servicerun.h"

namespace pellix {

// Passes the coin number setting protocol's view events on to the window and makes a service
// run of each hopper's settings: the 16 coin numbers read from its power-on block, and when a
// save is sent, the numbers saved and the ones the hopper's refreshed block then shows (the
// run passes when they are the saved ones). A run ends with the refreshed block, the next
// hopper's block, a port change or the window's close, and is handed to `keep`.
class CoinSettingRecorder final : public CoinSettingView {
  public:
    using Keep = std::function<void(records::ServiceRun)>;
    CoinSettingRecorder(CoinSettingView& window, Keep keep)
        : m_window(window), m_keep(std::move(keep)) {}

    void setPort(std::string port, std::string device);
    void saveSent(const CoinNumbers& values);
    void finish(const std::string& why);

    void showStatus(StatusColour colour, std::string_view text) override {
        m_window.showStatus(colour, text);
    }
    void setChannelText(int channelIndex, std::string_view text) override;
    void showReceiveError(std::string_view message) override { m_window.showReceiveError(message); }
    void unlockInputs() override { m_window.unlockInputs(); }
    void stageChanged(ReceiveStage stage) override { m_window.stageChanged(stage); }

  private:
    void blockRead();

    CoinSettingView& m_window;
    Keep m_keep;
    std::string m_port;
    std::string m_device;
    std::array<std::string, kCoinChannels> m_block;
    std::optional<records::ServiceRun> m_run;
    std::optional<CoinNumbers> m_saved;
};

}  // namespace pellix
