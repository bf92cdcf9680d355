#include "common/numbertext.h"

#include <locale.h>  // the locale-taking strtod, which <clocale> and <cstdlib> do not declare
#include <stdlib.h>

#include <cmath>
#include <string>

namespace pellix {
namespace {

// The numbers we read always use a point. Qt sets the C library's locale from the environment
// when the application starts, so plain strtod would read "2.5" as 2 under a comma locale; read
// in the "C" locale whatever the process uses.
double decimalValue(const std::string& number) {
#if defined(_WIN32)
    static const _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(number.c_str(), nullptr, cLocale);
#else
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(number.c_str(), nullptr, cLocale);
#endif
}

bool isSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

double readRadix(const std::string& s, std::size_t pos, int base) {
    double value = 0;
    for (; pos < s.size(); ++pos) {
        const int d = digitValue(s[pos], base);
        if (d < 0) {
            break;
        }
        value = value * base + d;
    }
    return value;
}

bool isDigit(const std::string& s, std::size_t i) {
    return i < s.size() && s[i] >= '0' && s[i] <= '9';
}

}  // namespace

double readNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (!isSkipped(c)) {
            s.push_back(c);
        }
    }

    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h') {
            return readRadix(s, 2, 16);
        }
        if (s[1] == 'O' || s[1] == 'o') {
            return readRadix(s, 2, 8);
        }
        return 0;
    }

    // Find the longest prefix of the form [sign] digits [. digits] [E|D [sign] digits].
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    const std::size_t mantissaStart = i;
    while (isDigit(s, i)) {
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (isDigit(s, i)) {
            ++i;
        }
    }
    const bool hasDigits =
        i > mantissaStart && !(i == mantissaStart + 1 && s[mantissaStart] == '.');
    if (!hasDigits) {
        return 0;
    }
    std::string number = s.substr(0, i);
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        const std::size_t expDigits = j;
        while (isDigit(s, j)) {
            ++j;
        }
        if (j > expDigits) {
            number += 'e';
            number += s.substr(i + 1, j - i - 1);
        }
    }
    return decimalValue(number);
}

double roundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return std::nearbyint(value);
}

}  // namespace pellix
