// The coin number setting stream, one byte at a time.
//
// Power-on settings block from the hopper:
//   3A, two bytes nobody reads, N, N skipped bytes, 16 coin numbers (high byte, low byte),
//   checksum = sum of the 32 coin number bytes modulo 256.
// Then the handshake: hopper 82, tool answers 82, hopper 83 ("enter data"); a repeated 83 is
// harmless. A save is 83 plus the 16 numbers (33 one-byte writes, no checksum); the hopper
// answers 84 followed straight away by its 32 coin number bytes and checksum (no start byte,
// no header), which are read as a block's coin data.
//
//   WaitStart     ignores everything but 3A
//   Header        counts offsets 1..3, offset 3 is N
//   SkipPart      counts N bytes; N = 0 goes straight on to the coin data
//   CoinData      32 bytes, each channel shown as soon as its two bytes are in
//   ChecksumByte  right: WaitReady (WaitStart after a save), wrong: error and reset
//   WaitReady     82 is answered with 82, anything else is an error
//   WaitEntry     83 shows "enter data", anything else is an error
//   WaitSaveAck   84 leads into the refreshed coin data, anything else is an error
//
// Only the block time-out (500 ms from the start of the coin data) and the save time-out
// (1000 ms from the save frame) are timed; nothing else waits for a clock.
#include "coinsetting/coinsettingprotocol.h"

#include <charconv>

#include "coinsetting/coinsettingtexts.h"

namespace pellix {

namespace texts = coinsetting::texts;

void CoinSettingProtocol::load() {
    m_byteCounter = 0;
    m_view.showStatus(StatusColour::Blue, texts::kSwitchOn);
    setStage(ReceiveStage::WaitStart);
}

FeedResult CoinSettingProtocol::feed(std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        m_stop = false;
        HandleReceivedByte(bytes[i]);
        if (m_stop) {
            return {true};
        }
    }
    return {};
}

void CoinSettingProtocol::timeoutExpired(std::size_t timeout) {
    switch (timeout) {
        case kSaveTimeout:
            saveTimerExpired();
            break;
        case kBlockTimeout:
            blockTimerExpired();
            break;
        default:
            break;
    }
}

void CoinSettingProtocol::send(std::uint8_t byte) {
    // A line that cannot take the answer is gone: nothing more of this batch is read.
    if (!m_line.send(byte)) {
        m_stop = true;
    }
}

void CoinSettingProtocol::HandleReceivedByte(std::uint8_t byte) {
    switch (m_state.receiveStage) {
        case ReceiveStage::WaitStart:
            if (byte == kStartByte) {
                m_view.showStatus(StatusColour::Blue, texts::kBlockStarted);
                setStage(ReceiveStage::Header);
                m_byteCounter = 1;
            }
            break;
        case ReceiveStage::Header:
            ++m_byteCounter;
            if (m_byteCounter == 4) {
                setStage(ReceiveStage::SkipPart);
                m_byteCounter = 0;
                m_skipLength = byte;
                // Hoppers always send N >= 1; with N = 0 there is nothing to skip, and waiting
                // for a counter to come round to 0 would swallow 256 bytes of real data.
                if (m_skipLength == 0) {
                    beginCoinData();
                }
            }
            break;
        case ReceiveStage::SkipPart:
            ++m_byteCounter;
            if (m_byteCounter == m_skipLength) {
                beginCoinData();
            }
            break;
        case ReceiveStage::CoinData:
            takeCoinByte(byte);
            break;
        case ReceiveStage::ChecksumByte:
            if (byte == (m_dataSum & 0xFFu)) {
                setStage(m_state.savePending ? ReceiveStage::WaitStart : ReceiveStage::WaitReady);
                m_blockReceived = true;
            } else {
                m_view.showStatus(StatusColour::Red, texts::kChecksumError);
                ResetReceiver();
            }
            m_dataSum = 0;
            break;
        case ReceiveStage::WaitReady:
            if (byte == kReadyByte) {
                send(kReadyByte);
                setStage(ReceiveStage::WaitEntry);
            } else {
                m_view.showStatus(StatusColour::Red, texts::kCommunicationError);
                ResetReceiver();
            }
            break;
        case ReceiveStage::WaitEntry:
            if (byte == kEntryByte) {
                m_view.showStatus(StatusColour::Blue, texts::kEnterData);
            } else {
                m_view.showStatus(StatusColour::Red, texts::kCommunicationError);
                ResetReceiver();
            }
            break;
        case ReceiveStage::WaitSaveAck:
            if (byte == kSaveAck) {
                m_view.showStatus(StatusColour::Blue, texts::kSaveComplete);
                // The refreshed numbers follow without start byte or header and no block
                // time-out runs for them. They are a whole block of their own: a save pressed
                // in the middle of a block must not shift them by the bytes already counted.
                clearCoinData();
                setStage(ReceiveStage::CoinData);
                m_saveConfirmed = true;
            } else {
                m_view.showStatus(StatusColour::Red, texts::kSaveFailed);
                ResetReceiver();
            }
            break;
    }
}

void CoinSettingProtocol::beginCoinData() {
    setStage(ReceiveStage::CoinData);
    clearCoinData();
    m_state.savePending = false;
    m_blockReceived = false;
    m_line.startTimeout(kBlockTimeout);
}

void CoinSettingProtocol::setStage(ReceiveStage stage) {
    if (stage != m_state.receiveStage) {
        m_state.receiveStage = stage;
        m_view.stageChanged(stage);
    }
}

void CoinSettingProtocol::clearCoinData() {
    m_pairValue = 0;
    m_dataCount = 0;
    m_pairCount = 0;
    m_dataSum = 0;
}

void CoinSettingProtocol::takeCoinByte(std::uint8_t byte) {
    m_pairValue += byte;
    m_dataSum = static_cast<std::uint16_t>(m_dataSum + byte);
    ++m_dataCount;
    ++m_pairCount;
    if (m_pairCount == 2) {
        m_pairCount = 0;
        std::array<char, 12> digits{};
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), m_pairValue);
        m_view.setChannelText(m_dataCount / 2 - 1, std::string_view(digits.data(), end.ptr));
        m_pairValue = 0;
    } else {
        m_pairValue = byte * 256;
    }
    if (m_dataCount == kCoinDataBytes) {
        m_dataCount = 0;
        setStage(ReceiveStage::ChecksumByte);
    }
}

void CoinSettingProtocol::ResetReceiver() {
    setStage(ReceiveStage::WaitStart);
    m_line.discardInput();
    m_stop = true;
    m_byteCounter = 0;
}

void CoinSettingProtocol::SendSettings(const CoinNumbers& values) {
    m_saveConfirmed = false;
    send(kSaveCommand);
    m_view.showStatus(StatusColour::Blue, texts::kSaving);
    for (std::uint16_t value : values) {
        send(static_cast<std::uint8_t>(value / 256));
        send(static_cast<std::uint8_t>(value % 256));
    }
    setStage(ReceiveStage::WaitSaveAck);
    m_state.savePending = true;
    m_line.startTimeout(kSaveTimeout);
}

void CoinSettingProtocol::blockTimerExpired() {
    if (m_blockReceived) {
        return;
    }
    // The stage is set before the box comes up: bytes read while it is open start afresh, and
    // so do the coin data counts of the block cut short.
    setStage(ReceiveStage::WaitStart);
    clearCoinData();
    m_view.showReceiveError(texts::kReceiveError);
}

void CoinSettingProtocol::saveTimerExpired() {
    m_view.unlockInputs();
    if (!m_saveConfirmed) {
        m_view.showStatus(StatusColour::Red, texts::kNoResponse);
    }
}

}  // namespace pellix
