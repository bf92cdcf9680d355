#include "common/text.h"

#include <algorithm>

namespace pellix {

std::string removeSpaces(std::string& text) {
    // Trimming first and then deleting the inner spaces removes every space; one pass does both.
    std::erase(text, ' ');
    return text;
}

bool isAllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string hexDigits(unsigned value) {
    return hexDigits(value, 1);
}

std::string hexDigits(unsigned value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0xFu]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(out.size()) < width) {
        out.insert(0, static_cast<std::size_t>(width) - out.size(), '0');
    }
    return out;
}

std::uint8_t Bit_judge(std::uint8_t bit, std::uint8_t value) {
    if (bit > 7) {
        return 0;
    }
    return static_cast<std::uint8_t>((value >> bit) & 1u);
}

}  // namespace pellix
