#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

// Character decoding for the RTF reader: text bytes (raw or written as \'hh) in the code page of
// the current font or of the document, and \uN numbers, which are UTF-16 units.
namespace pellix::rtf {

inline constexpr char32_t kReplacement = 0xFFFD;

// The code page of a \fcharsetN; 0 where the document's code page applies.
int charsetCodePage(int charset);

// Which code page text bytes are in: that of the font's charset where the font table names one,
// else the document's (\ansicpgN).
class CodePages {
  public:
    void setDocumentPage(int codePage);
    // Records a font table entry's charset. False when the font has an entry already: the first
    // one counts.
    bool addFont(int font, int charset);
    // The code page of text in that font.
    int ofFont(int font);
    // The code page of an entry's own text in the font table; charset -1 when it names none.
    int ofCharset(int charset) const;

  private:
    int m_document = 1252;
    std::unordered_map<int, int> m_fonts;  // font number -> code page of its charset
    // The last answer of ofFont(); text bytes come in long runs of one font.
    int m_cachedFont = 0;
    int m_cachedPage = 0;
    bool m_cacheValid = false;
};

// What one step of decoding yields: nothing, one character, or the replacement for a high
// surrogate left without its low half followed by the character that came instead.
class Characters {
  public:
    void push(char32_t character) { m_values[m_count++] = character; }
    const char32_t* begin() const { return m_values.data(); }
    const char32_t* end() const { return m_values.data() + m_count; }

  private:
    std::array<char32_t, 2> m_values{};
    std::size_t m_count = 0;
};

// Pairs what spans more than one step: the two bytes of a double-byte character and the two
// \uN halves of a surrogate pair. Every character of the text passes through here, so that a
// lone high surrogate shows as U+FFFD in front of whatever follows it.
class TextDecoder {
  public:
    // A text byte in that code page.
    Characters byte(std::uint8_t byte, int codePage);
    // The number of a \uN.
    Characters unicode(int value);
    // A character the file names by an escape or a control word.
    Characters character(char32_t value);
    // No character continues into the next paragraph.
    Characters endParagraph();
    // A double-byte character does not continue across a group brace or a control word.
    void dropLeadByte() { m_leadByte = 0; }

  private:
    // U+FFFD for a high surrogate still waiting, which nothing can pair any more.
    Characters loneSurrogate();

    char32_t m_highSurrogate = 0;
    std::uint8_t m_leadByte = 0;  // first byte of a double-byte character
};

}  // namespace pellix::rtf
