#include "coinsetting/coinsettingnotes.h"

#include <array>

namespace pellix {

std::string_view stageName(ReceiveStage stage) {
    static constexpr std::array<std::string_view, 8> kNames{
        "WaitStart",    "Header",    "SkipPart",  "CoinData",
        "ChecksumByte", "WaitReady", "WaitEntry", "WaitSaveAck",
    };
    const auto index = static_cast<std::size_t>(stage) - 1;
    return index < kNames.size() ? kNames[index] : std::string_view("?");
}

void CoinSettingNotes::note(std::string_view text) {
    if (m_sink) {
        m_sink->note(text);
    }
}

void CoinSettingNotes::stageChanged(ReceiveStage stage) {
    m_window.stageChanged(stage);
    if (stage != m_stage) {
        m_stage = stage;
        m_text.assign("stage ").append(stageName(stage));
        note(m_text);
    }
}

void CoinSettingNotes::showStatus(StatusColour colour, std::string_view text) {
    m_window.showStatus(colour, text);
    m_text.assign(colour == StatusColour::Red ? "status (red) \"" : "status \"");
    m_text.append(text).append("\"");
    note(m_text);
}

void CoinSettingNotes::setChannelText(int channelIndex, std::string_view text) {
    m_window.setChannelText(channelIndex, text);
    m_text.assign("channel ").append(std::to_string(channelIndex + 1)).append(" = ");
    m_text.append(text);
    note(m_text);
}

void CoinSettingNotes::showReceiveError(std::string_view message) {
    note(std::string("message box \"").append(message).append("\""));
    m_window.showReceiveError(message);
}

}  // namespace pellix
