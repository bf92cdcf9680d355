#pragma once

#include <cstdint>
#include <string>

#include "manual/rtfkeywords.h"

// The font table and the colour table of an RTF file, read into the document.
//  - A font entry is "\fN", optionally "\fcharsetN", then the font's name and ';'. The ';' may be
//    missing: the next "\fN" or the end of the entry's group ends the entry too. The first entry
//    for a number counts.
//  - A colour entry is "\redN\greenN\blueN;"; an entry with no component (a bare ';') stands for
//    the automatic colour.
namespace pellix::rtf {

struct Document;
class CodePages;

class TableReader {
  public:
    // \fonttbl: entries follow.
    void startFontTable();
    // A control word inside the font table.
    void fontWord(Keyword keyword, int parameter, Document& document, CodePages& codePages);
    // A character of the font table's text.
    void fontCharacter(char32_t character, Document& document, CodePages& codePages);
    // Ends the entry being read, if any.
    void endFont(Document& document, CodePages& codePages);
    // The charset the entry being read names; -1 when it names none.
    int fontCharset() const { return m_fontOpen ? m_fontCharset : -1; }

    // \colortbl: entries follow.
    void startColorTable();
    // A control word inside the colour table.
    void colorWord(Keyword keyword, int parameter);
    // A character of the colour table's text.
    void colorCharacter(char32_t character, Document& document);

  private:
    bool m_fontOpen = false;
    int m_fontNumber = 0;
    std::string m_fontName;
    int m_fontCharset = -1;

    bool m_colorGiven = false;
    std::uint8_t m_red = 0;
    std::uint8_t m_green = 0;
    std::uint8_t m_blue = 0;
};

}  // namespace pellix::rtf
