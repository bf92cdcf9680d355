#pragma once

#include "capture/notesink.h"
#include "coinsetting/coinsettingprotocol.h"

#include <string>

namespace pellix {

std::string_view stageName(ReceiveStage stage);

// Passes every protocol call on to the window unchanged and tells the port's capture what it
// meant: status texts, channel values, the receive error box and stage changes. With no sink it
// only passes calls on.
class CoinSettingNotes final : public CoinSettingView {
  public:
    explicit CoinSettingNotes(CoinSettingView& window) : m_window(window) {}
    void setSink(NoteSink* sink) { m_sink = sink; }

    void showStatus(StatusColour colour, std::string_view text) override;
    void setChannelText(int channelIndex, std::string_view text) override;
    void unlockInputs() override { m_window.unlockInputs(); }
    void showReceiveError(std::string_view message) override;
    void stageChanged(ReceiveStage stage) override;

  private:
    void note(std::string_view text);

    CoinSettingView& m_window;
    NoteSink* m_sink = nullptr;
    ReceiveStage m_stage = ReceiveStage::WaitStart;
    std::string m_text;
};

}  // namespace pellix
