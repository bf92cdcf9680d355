// CNY mode tester: the reply assembler and decoder against a small model of the receive rules,
// and the payout count reading against a model of plain whole numbers.
//
// Input: one byte n, then n bytes of payout box text, then the line: chunk sizes and bytes
// alternate (a size byte, then that many line bytes), as reads hand them out.
//
// The model reads the line as a whole: 05 starts a frame; a second byte other than 01 is dropped
// with it (not looked at again as a start); an address of 4 or more drops the three bytes; else
// six bytes make a frame, accepted when the last is the low byte of the sum of the first five.
// Each accepted frame changes the boxes as its code says and is logged once.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cny/cnydecoder.h"
#include "cny/cnyframe.h"
#include "cny/cnyreplyassembler.h"
#include "fuzzcheck.h"

namespace {

using namespace pellix::cny;

struct Shown {
    std::vector<std::uint8_t> listed;
    std::vector<Frame> logged;
    std::vector<LogMessage> messages;
    std::string status = "-";
    std::string remain = "-";
};

struct Recorder : ReplyListener {
    Shown shown;
    void byteListed(std::uint8_t byte) override { shown.listed.push_back(byte); }
    void showStatus(std::string_view text) override { shown.status = text; }
    void showRemainCoin(std::string_view text) override { shown.remain = text; }
    void logReply(const Frame& frame, LogMessage message) override {
        shown.logged.push_back(frame);
        shown.messages.push_back(message);
    }
};

std::string decimal(std::uint8_t value) {
    return " " + std::to_string(value);
}

// What one accepted frame does to the boxes and which message its log row carries.
void modelReply(const Frame& frame, Shown& model) {
    const std::uint8_t data = frame[4];
    LogMessage message = LogMessage::None;
    switch (frame[3]) {
        case kStatusReply: {
            struct Fault {
                int bit;
                std::string_view text;
                LogMessage message;
            };
            const Fault faults[] = {{0, texts::kMotorProblem, LogMessage::MotorProblem},
                                    {1, texts::kInsufficientCoins, LogMessage::InsufficientCoins},
                                    {3, texts::kPrismSensorFailure, LogMessage::PrismSensorFailure},
                                    {4, texts::kShaftSensorFailure, LogMessage::ShaftSensorFailure},
                                    {5, texts::kDispenserIsBusy, LogMessage::DispenserIsBusy}};
            if (data == 0) {
                model.status = texts::kNoError;
                message = LogMessage::NoError;
            }
            for (const Fault& fault : faults) {
                if (data != 0 && (data >> fault.bit & 1) != 0) {
                    model.status = fault.text;
                    message = fault.message;
                    break;
                }
            }
            break;
        }
        case kPayoutOneCoinReply:
            model.remain = decimal(data);
            message = LogMessage::PayoutOneCoin;
            break;
        case kPayoutFinishedReply:
            model.remain = texts::kPayoutFinished;
            message = LogMessage::PayoutFinished;
            break;
        case kClearCoinboxStartReply:
            message = LogMessage::ClearCoinboxStart;
            break;
        case kAckReply:
            model.remain = decimal(data);
            message = LogMessage::ResponseAckOrRemainCoin;
            break;
        case kNakReply:
            model.status = texts::kCommandDeny;
            model.remain = decimal(data);
            message = LogMessage::ResponseNak;
            break;
        default:
            break;
    }
    model.logged.push_back(frame);
    model.messages.push_back(message);
}

Shown model(const std::vector<std::uint8_t>& line) {
    Shown out;
    out.listed = line;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] != 0x05) {
            ++i;
        } else if (i + 1 < line.size() && line[i + 1] != 0x01) {
            i += 2;
        } else if (i + 2 < line.size() && line[i + 2] >= 4) {
            i += 3;
        } else if (i + 5 < line.size()) {
            Frame frame{};
            unsigned sum = 0;
            for (std::size_t k = 0; k < frame.size(); ++k) {
                frame[k] = line[i + k];
                sum += k < 5 ? frame[k] : 0;
            }
            if ((sum & 0xFF) == frame[5]) {
                modelReply(frame, out);
            }
            i += 6;
        } else {
            break;  // a frame still coming in
        }
    }
    return out;
}

// Plain whole numbers only (blanks anywhere, a sign, digits, then anything that cannot continue
// a number); nothing when the text holds a form this model leaves to the unit tests.
std::optional<std::optional<std::uint8_t>> modelPayoutCount(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            s.push_back(c);
        }
    }
    std::size_t i = 0;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        ++i;
    }
    unsigned long value = 0;
    bool digits = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        digits = true;
        value = value * 10 + static_cast<unsigned long>(s[i] - '0');
        if (value > 1000) {
            value = 1000;  // out of range whatever follows
        }
    }
    if (!s.empty() && s[0] == '&') {
        return std::nullopt;
    }
    if (i < s.size() && (s[i] == '.' || s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        return std::nullopt;
    }
    if (!digits || value == 0) {
        return std::optional<std::uint8_t>(0);
    }
    if (negative || value > 255) {
        return std::optional<std::uint8_t>();
    }
    return std::optional<std::uint8_t>(static_cast<std::uint8_t>(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pellix::fuzz::Input input(data, size);

    const auto payout = input.take(input.byte());
    const std::string_view text(reinterpret_cast<const char*>(payout.data()), payout.size());
    const std::optional<std::uint8_t> count = readPayoutCount(text);
    if (const auto expected = modelPayoutCount(text)) {
        FUZZ_CHECK(count == *expected);
    }

    Recorder recorder;
    ReplyAssembler assembler;
    std::vector<std::uint8_t> line;
    while (!input.empty()) {
        for (std::uint8_t byte : input.take(input.byte())) {
            assembler.feed(byte, recorder);
            line.push_back(byte);
        }
    }
    const Shown expected = model(line);
    FUZZ_CHECK(recorder.shown.listed == expected.listed);
    FUZZ_CHECK(recorder.shown.logged == expected.logged);
    FUZZ_CHECK(recorder.shown.messages == expected.messages);
    FUZZ_CHECK(recorder.shown.status == expected.status);
    FUZZ_CHECK(recorder.shown.remain == expected.remain);
    return 0;
}
