#include "coinsetting/coinsettinginput.h"

#include "common/numbertext.h"
#include "common/text.h"

namespace pellix {

SaveCheck checkBoxes(const BoxTexts& texts) {
    SaveCheck check;
    bool anyAboveZero = false;
    for (int i = 0; i < kCoinChannels; ++i) {
        const double value = readNumber(texts[static_cast<std::size_t>(i)]);
        if (value < 0 || value > 65535) {
            check.outcome = SaveCheck::Outcome::OutOfRange;
            check.channelIndex = i;
            return check;
        }
        check.values[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(value);
        anyAboveZero = anyAboveZero || value > 0;
    }
    check.outcome = anyAboveZero ? SaveCheck::Outcome::Send : SaveCheck::Outcome::AllZero;
    return check;
}

int rememberedPortNumber(std::string_view stored) {
    if (stored.empty() || !isAllDigits(stored)) {
        return kDefaultRememberedPort;
    }
    int value = 0;
    for (char c : stored) {
        value = value * 10 + (c - '0');
        if (value > 255) {
            return kDefaultRememberedPort;
        }
    }
    return value;
}

}  // namespace pellix
