#pragma once

#include <string_view>

namespace pellix {

// Reads the longest leading number of a text the way the hopper tools always have:
// blanks, tabs and line feeds anywhere in the text are skipped; then an optional sign, digits,
// an optional decimal point with fraction and an optional exponent introduced by E or D; or
// "&H" followed by hexadecimal digits, or "&O" followed by octal digits. A text without such a
// part reads as 0. "12abc" reads 12, "1 2" reads 12, "&H1F" reads 31, "2.5D1" reads 25.
double readNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

}  // namespace pellix
