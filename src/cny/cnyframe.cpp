#include "cny/cnyframe.h"

#include "common/numbertext.h"

namespace pellix::cny {
namespace {

struct CommandInfo {
    std::uint8_t code;
    bool takesCount;
    LogMessage message;
};

constexpr std::array<CommandInfo, kCommands> kCommandTable = {{
    {0x10, true, LogMessage::PayoutNoActiveReply},
    {0x14, true, LogMessage::PayoutActiveReply},
    {0x11, false, LogMessage::StatusQuery},
    {0x13, false, LogMessage::RemainCoinQuery},
    {0x12, false, LogMessage::HopperReset},
}};

constexpr const CommandInfo& info(Command command) {
    return kCommandTable[static_cast<std::size_t>(command)];
}

Frame makeFrame(std::uint8_t marker, std::uint8_t address, std::uint8_t code, std::uint8_t data) {
    Frame frame{kStart, marker, address, code, data, 0};
    frame[5] = checksum(std::span(frame).first<5>());
    return frame;
}

}  // namespace

std::uint8_t commandCode(Command command) {
    return info(command).code;
}

bool takesPayoutCount(Command command) {
    return info(command).takesCount;
}

LogMessage commandMessage(Command command) {
    return info(command).message;
}

std::uint8_t checksum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

Frame commandFrame(Command command, std::uint8_t address, std::uint8_t data) {
    return makeFrame(kCommandMarker, address, commandCode(command),
                     takesPayoutCount(command) ? data : 0);
}

Frame replyFrame(std::uint8_t address, std::uint8_t code, std::uint8_t data) {
    return makeFrame(kReplyMarker, address, code, data);
}

std::optional<std::uint8_t> readPayoutCount(std::string_view text) {
    const double count = roundHalfEven(readNumber(text));
    // Written so that NaN fails too.
    if (!(count >= 0.0 && count <= 255.0)) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(count);
}

}  // namespace pellix::cny
