#pragma once

#include <array>
#include <string_view>

#include "coinsetting/coinsettingprotocol.h"

namespace pellix {

// What the save command finds in the 16 channel boxes.
struct SaveCheck {
    enum class Outcome {
        Send,        // every box is 0..65535 and at least one is above 0
        OutOfRange,  // the first box outside 0..65535 is `channelIndex`
        AllZero,     // nothing to save; the operator is sent back to channel 1
    };
    Outcome outcome = Outcome::AllZero;
    int channelIndex = 0;
    CoinNumbers values{};
};

using BoxTexts = std::array<std::string_view, kCoinChannels>;

// Boxes are checked in channel order; an empty box counts as 0.
SaveCheck checkBoxes(const BoxTexts& texts);

inline constexpr int kDefaultRememberedPort = 1;

// The port number kept under "COMPORT": the tool only ever writes a whole number 0..255 there;
// anything else (edited by hand, damaged) is read as the default rather than failing the load.
int rememberedPortNumber(std::string_view stored);

}  // namespace pellix
