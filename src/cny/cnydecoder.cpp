#include "cny/cnydecoder.h"

#include <array>

#include "common/text.h"

namespace pellix::cny {
namespace {

struct StatusFault {
    std::uint8_t bit;
    std::string_view status;
    LogMessage message;
};

constexpr std::array<StatusFault, 5> kFaults = {{
    {0, texts::kMotorProblem, LogMessage::MotorProblem},
    {1, texts::kInsufficientCoins, LogMessage::InsufficientCoins},
    {3, texts::kPrismSensorFailure, LogMessage::PrismSensorFailure},
    {4, texts::kShaftSensorFailure, LogMessage::ShaftSensorFailure},
    {5, texts::kDispenserIsBusy, LogMessage::DispenserIsBusy},
}};

// " 0" .. " 255" for every byte, built at compile time so decoding never allocates.
constexpr std::size_t kDecimalWidth = 4;
constexpr auto kDecimalTexts = [] {
    std::array<std::array<char, kDecimalWidth>, 256> texts{};
    for (unsigned v = 0; v < 256; ++v) {
        auto& t = texts[v];
        std::size_t n = 0;
        t[n++] = ' ';
        if (v >= 100) {
            t[n++] = static_cast<char>('0' + v / 100);
        }
        if (v >= 10) {
            t[n++] = static_cast<char>('0' + v / 10 % 10);
        }
        t[n] = static_cast<char>('0' + v % 10);
    }
    return texts;
}();

Reply decodeStatus(std::uint8_t data) {
    if (data == 0) {
        return {LogMessage::NoError, texts::kNoError, std::nullopt};
    }
    for (const StatusFault& fault : kFaults) {
        if (Bit_judge(fault.bit, data) == 1) {
            return {fault.message, fault.status, std::nullopt};
        }
    }
    return {};
}

}  // namespace

std::string_view decimalDataText(std::uint8_t value) {
    const std::size_t length = 2 + (value >= 10 ? 1 : 0) + (value >= 100 ? 1 : 0);
    return {kDecimalTexts[value].data(), length};
}

Reply decodeReply(const Frame& frame) {
    const std::uint8_t data = frame[4];
    switch (frame[3]) {
        case kStatusReply:
            return decodeStatus(data);
        case kPayoutOneCoinReply:
            return {LogMessage::PayoutOneCoin, std::nullopt, decimalDataText(data)};
        case kPayoutFinishedReply:
            return {LogMessage::PayoutFinished, std::nullopt, texts::kPayoutFinished};
        case kClearCoinboxStartReply:
            return {LogMessage::ClearCoinboxStart, std::nullopt, std::nullopt};
        case kAckReply:
            return {LogMessage::ResponseAckOrRemainCoin, std::nullopt, decimalDataText(data)};
        case kNakReply:
            return {LogMessage::ResponseNak, texts::kCommandDeny, decimalDataText(data)};
        default:
            return {};
    }
}

}  // namespace pellix::cny
