#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The single-byte code page the hopper's texts use on the wire: Windows-1252. Texts inside the
// tool are UTF-8; these helpers are the only place where the two meet.
//
// The five codes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the
// control characters with the same number, as the common converters do, and those control
// characters encode back to them, so every byte survives a decode and encode unchanged.
namespace pellix {

// The byte of a character, or nothing when the code page has no single byte for it.
std::optional<std::uint8_t> windows1252Byte(char32_t character);

// The character a byte stands for.
char32_t windows1252Character(std::uint8_t byte);

// Splits UTF-8 into characters. A byte that does not begin a well-formed sequence (stray
// continuation byte, overlong form, surrogate, value above U+10FFFF, cut-off sequence) becomes
// one U+FFFD, so malformed input still counts as characters and never encodes silently.
std::u32string utf8ToCharacters(std::string_view utf8);

// Appends the UTF-8 form of a character. Values that are no character (surrogates, above
// U+10FFFF) append U+FFFD.
void appendUtf8(std::string& out, char32_t character);

// A character that could not be encoded, with its position (counted in characters).
struct UnencodableCharacter {
    std::size_t position = 0;
    char32_t character = 0;
    bool operator==(const UnencodableCharacter&) const = default;
};

struct Windows1252Text {
    // One byte per character that has a code; characters without one are left out here.
    std::vector<std::uint8_t> bytes;
    // Every character without a code, in text order. Empty when the whole text encoded.
    std::vector<UnencodableCharacter> unencodable;
    bool complete() const { return unencodable.empty(); }
};

Windows1252Text encodeWindows1252(std::u32string_view text);
Windows1252Text encodeWindows1252(std::string_view utf8);

// Bytes to UTF-8; every byte gives exactly one character.
std::string decodeWindows1252(std::span<const std::uint8_t> bytes);

// Appends the UTF-8 form of one byte's character; allocation-free while `out` has room.
void appendWindows1252(std::string& out, std::uint8_t byte);

}  // namespace pellix
