#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "cny/cnytexts.h"

namespace pellix::cny {

// Every CNY mode frame is six bytes in both directions:
// 0x05, marker (0x10 from the PC, 0x01 from the hopper), address 0..3, code, data, checksum.
using Frame = std::array<std::uint8_t, 6>;

inline constexpr std::uint8_t kStart = 0x05;
inline constexpr std::uint8_t kCommandMarker = 0x10;
inline constexpr std::uint8_t kReplyMarker = 0x01;
inline constexpr int kAddresses = 4;

// Reply codes.
inline constexpr std::uint8_t kStatusReply = 0x04;
inline constexpr std::uint8_t kPayoutOneCoinReply = 0x07;
inline constexpr std::uint8_t kPayoutFinishedReply = 0x08;
inline constexpr std::uint8_t kClearCoinboxStartReply = 0x09;
inline constexpr std::uint8_t kAckReply = 0xAA;
inline constexpr std::uint8_t kNakReply = 0xBB;

// The five commands, in the order of the window's button array.
enum class Command { PayoutNoReply, PayoutReply, RequestStatus, RequestRemainCoin, ResetHopper };
inline constexpr int kCommands = 5;

constexpr Command commandAt(int buttonIndex) {
    return static_cast<Command>(buttonIndex);
}

std::uint8_t commandCode(Command command);
// The payout commands carry the count typed by the technician; the others send 0.
bool takesPayoutCount(Command command);
LogMessage commandMessage(Command command);

// Low 8 bits of the sum of the bytes.
std::uint8_t checksum(std::span<const std::uint8_t> bytes);

Frame commandFrame(Command command, std::uint8_t address, std::uint8_t data);
// What a hopper answers; the tester never sends it, the emulator, tests and benchmarks do.
Frame replyFrame(std::uint8_t address, std::uint8_t code, std::uint8_t data);

// Reads the payout box: the leading number of the text (blanks, tabs and line feeds ignored,
// sign, fraction, exponent, &H and &O allowed, nothing readable counts as 0), rounded half to
// even. Nothing when it does not fit a byte.
std::optional<std::uint8_t> readPayoutCount(std::string_view text);

}  // namespace pellix::cny
