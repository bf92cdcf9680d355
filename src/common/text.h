#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellix {

// Trims U+0020 at both ends, then deletes every space left inside. Tabs and other white space
// stay. The caller's text receives the result too, as the setting file loader expects.
std::string removeSpaces(std::string& text);

// True when every character is '0'..'9'; the empty text passes.
bool isAllDigits(std::string_view text);

// Upper-case hexadecimal digits without prefix or leading zeros ("0", "F", "AA").
std::string hexDigits(unsigned value);

// Upper-case hexadecimal, zero-padded to `width` digits ("0F", "1F2E").
std::string hexDigits(unsigned value, int width);

// 1 when bit `bit` (0 = least significant) of `value` is set, else 0.
std::uint8_t Bit_judge(std::uint8_t bit, std::uint8_t value);

}  // namespace pellix
