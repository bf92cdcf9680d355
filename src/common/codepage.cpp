#include "common/codepage.h"

#include <array>

namespace pellix {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// 0x80..0x9F, the only range where Windows-1252 differs from Latin-1. The undefined codes keep
// their own number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

bool isCharacter(char32_t c) {
    return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

}  // namespace

std::optional<std::uint8_t> windows1252Byte(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<std::uint8_t>(character);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == character) {
            return static_cast<std::uint8_t>(0x80 + i);
        }
    }
    return std::nullopt;
}

char32_t windows1252Character(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80u];
    }
    return byte;
}

std::u32string utf8ToCharacters(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t extra = 0;
        char32_t value = 0;
        char32_t smallest = 0;
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            value = lead & 0x1Fu;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            value = lead & 0x0Fu;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            value = lead & 0x07u;
            smallest = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        bool wellFormed = i + extra < utf8.size();
        for (std::size_t k = 1; wellFormed && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                wellFormed = false;
            } else {
                value = (value << 6) | (next & 0x3Fu);
            }
        }
        if (wellFormed && value >= smallest && isCharacter(value)) {
            out.push_back(value);
            i += extra + 1;
        } else {
            // Resynchronise on the next byte, so one bad byte never swallows good text.
            out.push_back(kReplacement);
            ++i;
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (!isCharacter(c)) {
        c = kReplacement;
    }
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

Windows1252Text encodeWindows1252(std::u32string_view text) {
    Windows1252Text out;
    out.bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const auto byte = windows1252Byte(text[i])) {
            out.bytes.push_back(*byte);
        } else {
            out.unencodable.push_back({i, text[i]});
        }
    }
    return out;
}

Windows1252Text encodeWindows1252(std::string_view utf8) {
    return encodeWindows1252(utf8ToCharacters(utf8));
}

std::string decodeWindows1252(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) {
        appendWindows1252(out, b);
    }
    return out;
}

void appendWindows1252(std::string& out, std::uint8_t byte) {
    appendUtf8(out, windows1252Character(byte));
}

}  // namespace pellix
