#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "cny/cnyframe.h"
#include "cny/cnytexts.h"

namespace pellix::cny {

// What an accepted reply changes on screen. Texts point to static storage.
struct Reply {
    LogMessage message = LogMessage::None;
    std::optional<std::string_view> status;      // new Status box text, none = unchanged
    std::optional<std::string_view> remainCoin;  // new Remain Coin box text, none = unchanged
};

// Decodes a reply whose framing and checksum have been checked. A status reply reports its
// first fault bit alone, tested in the order 0, 1, 3, 4, 5; bits 2, 6 and 7 are never tested.
Reply decodeReply(const Frame& frame);

// A data byte as the boxes show it: a blank, then decimal digits without leading zeros (" 12").
std::string_view decimalDataText(std::uint8_t value);

}  // namespace pellix::cny
