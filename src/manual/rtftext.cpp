#include "manual/rtftext.h"

#include "common/codepage.h"

namespace pellix::rtf {
namespace {

constexpr int kSymbolCodePage = 42;

bool isDoubleByteCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           codePage == 1361;
}

// Only Windows-1252 is decoded as such; other single-byte pages fall back to it, which keeps
// ASCII right. The symbol font's bullet is what list bullets are written with.
char32_t singleByte(int codePage, std::uint8_t byte) {
    if (byte < 0x80) {
        return byte;
    }
    if (codePage == kSymbolCodePage) {
        return byte == 0xB7 ? char32_t{0x2022} : char32_t{byte};
    }
    return windows1252Character(byte);
}

}  // namespace

int charsetCodePage(int charset) {
    switch (charset) {
        case 0:
            return 1252;
        case 2:
            return kSymbolCodePage;
        case 128:
            return 932;
        case 129:
            return 949;
        case 130:
            return 1361;
        case 134:
            return 936;
        case 136:
            return 950;
        default:
            return 0;
    }
}

void CodePages::setDocumentPage(int codePage) {
    m_document = codePage;
    m_cacheValid = false;
}

bool CodePages::addFont(int font, int charset) {
    if (!m_fonts.emplace(font, charsetCodePage(charset)).second) {
        return false;
    }
    m_cacheValid = false;
    return true;
}

int CodePages::ofFont(int font) {
    if (!m_cacheValid || font != m_cachedFont) {
        const auto it = m_fonts.find(font);
        m_cachedFont = font;
        m_cachedPage = it != m_fonts.end() && it->second != 0 ? it->second : m_document;
        m_cacheValid = true;
    }
    return m_cachedPage;
}

int CodePages::ofCharset(int charset) const {
    const int page = charsetCodePage(charset);
    return page != 0 ? page : m_document;
}

Characters TextDecoder::byte(std::uint8_t byte, int codePage) {
    if (isDoubleByteCodePage(codePage) && byte >= 0x80) {
        // No tables for the double-byte pages: a whole character shows as one replacement.
        if (m_leadByte == 0 && byte >= 0x81 && byte <= 0xFE) {
            m_leadByte = byte;
            return {};
        }
        m_leadByte = 0;
        return character(kReplacement);
    }
    if (m_leadByte != 0) {
        m_leadByte = 0;  // an ASCII trail byte still completes the pair
        return character(kReplacement);
    }
    return character(singleByte(codePage, byte));
}

Characters TextDecoder::unicode(int value) {
    if (value < 0) {
        value += 65536;  // written as signed 16-bit numbers
    }
    if (value < 0 || value > 0x10FFFF) {
        return character(kReplacement);
    }
    const auto unit = static_cast<char32_t>(value);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        Characters out = loneSurrogate();
        m_highSurrogate = unit;
        return out;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (m_highSurrogate == 0) {
            return character(kReplacement);
        }
        const char32_t combined = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00);
        m_highSurrogate = 0;
        return character(combined);
    }
    return character(unit);
}

Characters TextDecoder::character(char32_t value) {
    Characters out = loneSurrogate();
    out.push(value);
    return out;
}

Characters TextDecoder::endParagraph() {
    m_leadByte = 0;
    return loneSurrogate();
}

Characters TextDecoder::loneSurrogate() {
    Characters out;
    if (m_highSurrogate != 0) {
        m_highSurrogate = 0;
        out.push(kReplacement);
    }
    return out;
}

}  // namespace pellix::rtf
