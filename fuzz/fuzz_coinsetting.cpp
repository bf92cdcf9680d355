// Coin number setting receiver against a model of its stream rules, with the window's
// operations mixed into the bytes: save, the block and save time-outs (only while their timer
// runs, as a timer can only fire then), a receiver reset and a new window load on the same
// shared state.
//
// Input: bytes are received bytes, except 0xF8, which takes the next byte as an operation:
// 0 the byte after it is received as it is (so 0xF8 itself can arrive), 1 save (the next 32
// bytes are the 16 numbers), 2 block time-out, 3 save time-out, 4 reset, 5 window load.
//
// The model counts down where the receiver counts up and logs what the window should see;
// both logs, the stage and SavePending must agree after every step.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coinsetting/coinsettingprotocol.h"
#include "coinsetting/coinsettingtexts.h"
#include "fuzzcheck.h"

namespace {

using namespace pellix;
namespace texts = pellix::coinsetting::texts;

enum Event : int { Status, Channel, Send, BlockTimer, SaveTimer, Discard, ReceiveError };

struct Log {
    std::vector<std::string> events;
    bool blockTimerRunning = false;
    bool saveTimerRunning = false;

    void add(Event event, std::string_view detail = {}) {
        events.push_back(std::to_string(event) + ":" + std::string(detail));
    }
};

// The window's view and the serial line, both recorded in one log.
struct Recorder : CoinSettingView, pellix::LinePort {
    Log log;
    void showStatus(StatusColour colour, std::string_view text) override {
        log.add(Status, (colour == StatusColour::Red ? "red " : "blue ") + std::string(text));
    }
    void setChannelText(int channelIndex, std::string_view text) override {
        FUZZ_CHECK(channelIndex >= 0 && channelIndex < kCoinChannels);
        log.add(Channel, std::to_string(channelIndex) + "=" + std::string(text));
    }
    void showReceiveError(std::string_view message) override {
        FUZZ_CHECK(message == texts::kReceiveError);
        log.add(ReceiveError);
    }
    void unlockInputs() override {}
    bool send(std::span<const std::uint8_t> bytes) override {
        for (std::uint8_t byte : bytes) {
            log.add(Send, std::to_string(byte));
        }
        return true;
    }
    void discardInput() override { log.add(Discard); }
    void startTimeout(std::size_t timeout) override {
        FUZZ_CHECK(timeout == kBlockTimeout || timeout == kSaveTimeout);
        if (timeout == kBlockTimeout) {
            log.blockTimerRunning = true;
            log.add(BlockTimer);
        } else {
            log.saveTimerRunning = true;
            log.add(SaveTimer);
        }
    }
    void stopTimeout(std::size_t timeout) override {
        (timeout == kBlockTimeout ? log.blockTimerRunning : log.saveTimerRunning) = false;
    }
};

// The rules of the stream, written as what is still expected rather than what has been seen.
struct Model {
    ReceiveStage stage = ReceiveStage::WaitStart;
    bool savePending = false;
    Log log;
    // Per window load.
    int headerLeft = 0;
    int skipLeft = 0;
    int coinBytes = 0;  // of the 32
    int highByte = -1;  // first byte of a pair still waiting for its second
    unsigned sum = 0;
    bool blockReceived = false;
    bool saveConfirmed = false;

    void status(bool red, std::string_view text) {
        log.add(Status, (red ? "red " : "blue ") + std::string(text));
    }
    void fail(std::string_view text) {
        status(true, text);
        stage = ReceiveStage::WaitStart;
        log.add(Discard);
    }
    void clearCoinData() {
        coinBytes = 0;
        highByte = -1;
        sum = 0;
    }
    void coinData() {
        stage = ReceiveStage::CoinData;
        clearCoinData();
        savePending = false;
        blockReceived = false;
        log.add(BlockTimer);
    }
    void load() {
        *this = Model{stage, savePending, std::move(log)};
        status(false, texts::kSwitchOn);
        stage = ReceiveStage::WaitStart;
    }

    void receive(std::uint8_t byte) {
        switch (stage) {
            case ReceiveStage::WaitStart:
                if (byte == 0x3A) {
                    status(false, texts::kBlockStarted);
                    stage = ReceiveStage::Header;
                    headerLeft = 3;
                }
                break;
            case ReceiveStage::Header:
                if (--headerLeft == 0) {
                    skipLeft = byte;
                    stage = ReceiveStage::SkipPart;
                    if (skipLeft == 0) {
                        coinData();
                    }
                }
                break;
            case ReceiveStage::SkipPart:
                if (--skipLeft == 0) {
                    coinData();
                }
                break;
            case ReceiveStage::CoinData:
                sum += byte;
                if (highByte < 0) {
                    highByte = byte;
                } else {
                    log.add(Channel, std::to_string(coinBytes / 2) + "=" +
                                         std::to_string(highByte * 256 + byte));
                    highByte = -1;
                }
                if (++coinBytes == 32) {
                    coinBytes = 0;
                    stage = ReceiveStage::ChecksumByte;
                }
                break;
            case ReceiveStage::ChecksumByte:
                if (byte == (sum & 0xFF)) {
                    stage = savePending ? ReceiveStage::WaitStart : ReceiveStage::WaitReady;
                    blockReceived = true;
                } else {
                    fail(texts::kChecksumError);
                }
                sum = 0;
                break;
            case ReceiveStage::WaitReady:
                if (byte == 0x82) {
                    log.add(Send, "130");
                    stage = ReceiveStage::WaitEntry;
                } else {
                    fail(texts::kCommunicationError);
                }
                break;
            case ReceiveStage::WaitEntry:
                if (byte == 0x83) {
                    status(false, texts::kEnterData);
                } else {
                    fail(texts::kCommunicationError);
                }
                break;
            case ReceiveStage::WaitSaveAck:
                if (byte == 0x84) {
                    status(false, texts::kSaveComplete);
                    // The refreshed numbers are a whole block of their own.
                    clearCoinData();
                    stage = ReceiveStage::CoinData;
                    saveConfirmed = true;
                } else {
                    fail(texts::kSaveFailed);
                }
                break;
        }
    }

    void save(const CoinNumbers& values) {
        saveConfirmed = false;
        log.add(Send, "131");
        status(false, texts::kSaving);
        for (std::uint16_t value : values) {
            log.add(Send, std::to_string(value >> 8));
            log.add(Send, std::to_string(value & 0xFF));
        }
        stage = ReceiveStage::WaitSaveAck;
        savePending = true;
        log.add(SaveTimer);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pellix::fuzz::Input input(data, size);
    CoinSettingState state;
    Recorder recorder;
    // A window's protocol lives as long as the window; a load builds a new one.
    std::optional<CoinSettingProtocol> window;
    window.emplace(state, recorder, recorder);
    window->load();
    Model model;
    model.load();

    while (!input.empty()) {
        CoinSettingProtocol& protocol = *window;
        std::uint8_t byte = input.byte();
        int operation = 0;
        if (byte == 0xF8) {
            operation = input.byte() % 6;
            byte = input.byte();
        }
        switch (operation) {
            case 0:
                protocol.feed(std::span(&byte, 1));
                model.receive(byte);
                break;
            case 1: {
                CoinNumbers values{};
                for (std::uint16_t& value : values) {
                    value = static_cast<std::uint16_t>(byte << 8 | input.byte());
                    byte = input.byte();
                }
                protocol.SendSettings(values);
                model.save(values);
                break;
            }
            case 2:
                if (recorder.log.blockTimerRunning) {
                    recorder.log.blockTimerRunning = false;
                    protocol.timeoutExpired(kBlockTimeout);
                    if (!model.blockReceived) {
                        model.stage = ReceiveStage::WaitStart;
                        model.clearCoinData();
                        model.log.add(ReceiveError);
                    }
                }
                break;
            case 3:
                if (recorder.log.saveTimerRunning) {
                    recorder.log.saveTimerRunning = false;
                    protocol.timeoutExpired(kSaveTimeout);
                    if (!model.saveConfirmed) {
                        model.status(true, texts::kNoResponse);
                    }
                }
                break;
            case 4:
                protocol.ResetReceiver();
                model.stage = ReceiveStage::WaitStart;
                model.log.add(Discard);
                break;
            default:
                // The old window's timers go with it.
                recorder.log.blockTimerRunning = false;
                recorder.log.saveTimerRunning = false;
                window.emplace(state, recorder, recorder);
                window->load();
                model.load();
                break;
        }
        FUZZ_CHECK(recorder.log.events == model.log.events);
        FUZZ_CHECK(state.receiveStage == model.stage);
        FUZZ_CHECK(state.savePending == model.savePending);
        // Only the last few events matter for the next step; keep the logs short.
        if (recorder.log.events.size() > 64) {
            recorder.log.events.clear();
            model.log.events.clear();
        }
    }
    return 0;
}
