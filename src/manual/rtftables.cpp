#include "manual/rtftables.h"

#include <algorithm>

#include "common/codepage.h"
#include "manual/rtfmodel.h"
#include "manual/rtftext.h"

namespace pellix::rtf {

void TableReader::startFontTable() {
    m_fontOpen = false;
}

void TableReader::fontWord(Keyword keyword, int parameter, Document& document,
                           CodePages& codePages) {
    if (keyword == Keyword::Font) {
        endFont(document, codePages);
        m_fontOpen = true;
        m_fontNumber = parameter;
        m_fontName.clear();
        m_fontCharset = -1;
    } else if (keyword == Keyword::Charset) {
        m_fontCharset = parameter;
    }
}

void TableReader::fontCharacter(char32_t character, Document& document, CodePages& codePages) {
    if (character == ';') {
        endFont(document, codePages);
    } else if (m_fontOpen && m_fontName.size() < kMaxFontName) {
        appendUtf8(m_fontName, character);
    }
}

void TableReader::endFont(Document& document, CodePages& codePages) {
    if (!m_fontOpen) {
        return;
    }
    m_fontOpen = false;
    while (!m_fontName.empty() && m_fontName.back() == ' ') {
        m_fontName.pop_back();
    }
    if (document.fonts.size() >= kMaxFonts ||
        !codePages.addFont(m_fontNumber, m_fontCharset)) {
        return;
    }
    document.fonts.push_back(Font{m_fontNumber, std::move(m_fontName)});
    m_fontName.clear();
}

void TableReader::startColorTable() {
    m_colorGiven = false;
    m_red = 0;
    m_green = 0;
    m_blue = 0;
}

void TableReader::colorWord(Keyword keyword, int parameter) {
    const auto component = static_cast<std::uint8_t>(std::clamp(parameter, 0, 255));
    if (keyword == Keyword::Red) {
        m_red = component;
    } else if (keyword == Keyword::Green) {
        m_green = component;
    } else if (keyword == Keyword::Blue) {
        m_blue = component;
    } else {
        return;
    }
    m_colorGiven = true;
}

void TableReader::colorCharacter(char32_t character, Document& document) {
    if (character != ';') {
        return;
    }
    if (document.colors.size() < kMaxColors) {
        document.colors.push_back(Color{!m_colorGiven, m_red, m_green, m_blue});
    }
    startColorTable();  // the next entry starts from nothing
}

}  // namespace pellix::rtf
