#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/lineport.h"

namespace pellix {

inline constexpr int kCoinChannels = 16;
using CoinNumbers = std::array<std::uint16_t, kCoinChannels>;

enum class ReceiveStage : std::uint8_t {
    WaitStart = 1,  // start byte 3A of a settings block
    Header,         // block offsets 1 to 3 (offset 3 is N)
    SkipPart,       // the N bytes nobody reads
    CoinData,       // 32 coin number bytes, high byte first
    ChecksumByte,   // sum of the 32 coin number bytes, modulo 256
    WaitReady,      // ready byte 82
    WaitEntry,      // entry byte 83
    WaitSaveAck,    // save acknowledgement 84
};

// What the receiver keeps for the whole run of the program. The window is rebuilt at every
// open, but a hopper that was answering a save while the window closed must not find the tool
// in a fresh state, so these two live outside it (created once in main).
struct CoinSettingState {
    ReceiveStage receiveStage = ReceiveStage::WaitStart;  // ReceiveStage
    bool savePending = false;                             // SavePending
};

enum class StatusColour { Blue, Red };

// What the coin number setting window shows for the protocol.
class CoinSettingView {
  public:
    virtual void showStatus(StatusColour colour, std::string_view text) = 0;
    // `channelIndex` 0 is channel 1; `text` is the coin number in decimal.
    virtual void setChannelText(int channelIndex, std::string_view text) = 0;
    // The block time-out is the one protocol event told in a message box.
    virtual void showReceiveError(std::string_view message) = 0;
    // The save time-out has run: the inputs locked by the save are given back.
    virtual void unlockInputs() = 0;
    // The receiver moved on; nothing on screen shows it, the capture notes it.
    virtual void stageChanged(ReceiveStage) {}

  protected:
    ~CoinSettingView() = default;
};

// The protocol's one-shot time-outs, in the order of kCoinSettingTimeouts.
enum CoinSettingTimeout : std::size_t { kSaveTimeout, kBlockTimeout };
inline constexpr std::array<LineTimeout, 2> kCoinSettingTimeouts = {{
    {"Timer1", 1000},  // from the save frame to the hopper's answer
    {"Timer3", 500},   // from the start of the coin data to the end of the block
}};

// The coin number setting protocol of one window load: reads the settings block the hopper
// sends at power-on, answers its ready byte, and sends the save frame. ReceiveStage and
// SavePending are kept in the shared CoinSettingState; the counters below belong to this load.
class CoinSettingProtocol final : public LineEngine {
  public:
    static constexpr std::uint8_t kStartByte = 0x3A;
    static constexpr std::uint8_t kReadyByte = 0x82;
    static constexpr std::uint8_t kEntryByte = 0x83;
    static constexpr std::uint8_t kSaveCommand = 0x83;
    static constexpr std::uint8_t kSaveAck = 0x84;
    static constexpr int kCoinDataBytes = 2 * kCoinChannels;

    CoinSettingProtocol(CoinSettingState& state, LinePort& line, CoinSettingView& view)
        : m_state(state), m_line(line), m_view(view) {}

    // The window has just been loaded (its port step is done).
    void load();
    // Stops right after a byte that discarded the input or could not be answered.
    FeedResult feed(std::span<const std::uint8_t> bytes) override;
    void timeoutExpired(std::size_t timeout) override;
    void HandleReceivedByte(std::uint8_t byte);
    void SendSettings(const CoinNumbers& values);
    void ResetReceiver();
    void blockTimerExpired();
    void saveTimerExpired();

    ReceiveStage stage() const { return m_state.receiveStage; }
    bool SavePending() const { return m_state.savePending; }
    std::uint8_t ByteCounter() const { return m_byteCounter; }
    bool SaveConfirmed() const { return m_saveConfirmed; }

  private:
    void setStage(ReceiveStage stage);
    void beginCoinData();
    // DataCount, PairCount, PairValue and DataSum back to the start of a block's coin data.
    void clearCoinData();
    void takeCoinByte(std::uint8_t byte);
    void send(std::uint8_t byte);

    CoinSettingState& m_state;
    LinePort& m_line;
    CoinSettingView& m_view;
    bool m_stop = false;  // the byte being handled ended the batch
    std::uint8_t m_byteCounter = 0;
    std::uint8_t m_skipLength = 0;
    int m_dataCount = 0;
    std::uint8_t m_pairCount = 0;
    std::int32_t m_pairValue = 0;
    // Only its low byte matters; unsigned so that a long run of saves interrupting the checksum
    // can never overflow it.
    std::uint16_t m_dataSum = 0;
    bool m_blockReceived = false;
    bool m_saveConfirmed = false;
};

}  // namespace pellix
