#include "app/rtfreader.h"

#include <algorithm>
#include <limits>

#include "common/codepage.h"

// Rules of the stream, as the states below follow them:
//  - The file must begin with the five bytes "{\rtf"; anything else is rejected at once.
//  - '{' and '}' open and close a group; a group inherits the character and paragraph state of
//    its parent and drops every change when it closes. The document ends when the outermost
//    group closes; what follows is ignored. Groups deeper than kMaxDepth are read as skipped.
//  - '\' starts an escape: a letter begins a control word (letters, then an optional sign and
//    digits, ended by one space that belongs to it or by any other byte that does not), "\'"
//    takes two hexadecimal digits naming a byte of the document's code page, anything else is
//    a one-character control symbol.
//  - "\binN" is followed by N raw bytes that are never read as RTF.
//  - After "\uN" the next \ucN bytes (a text byte, an escape or a control word each count as
//    one) are the fallback for readers without Unicode and are dropped; a group brace ends the
//    dropping early.
//  - Destinations: the font table gives font names and charsets, the colour table gives colours,
//    "\*" and the known non-text destinations (style sheet, information, pictures, objects,
//    headers, field instructions ...) are skipped with all their groups.
//  - Carriage returns and line feeds in the text are layout of the file, not of the document.

namespace pellix {
namespace {

constexpr std::string_view kSignature = "{\\rtf";
constexpr char32_t kReplacement = 0xFFFD;
constexpr int kMaxHalfPoints = 3276;
constexpr int kSymbolCodePage = 42;
constexpr int kMaxIndent = 31680;  // 22 inches, the widest page word processors allow

enum class Keyword {
    SkipDestination,
    FontTable,
    ColorTable,
    Paragraph,
    LineBreak,
    Tab,
    Emdash,
    Endash,
    Bullet,
    LeftQuote,
    RightQuote,
    LeftDoubleQuote,
    RightDoubleQuote,
    Emspace,
    Enspace,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Plain,
    FontSize,
    Font,
    Charset,
    ColorIndex,
    Red,
    Green,
    Blue,
    ParagraphDefaults,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    DefaultTab,
    Unicode,
    UnicodeSkip,
    AnsiCodePage,
    DefaultFont,
    Binary,
};

struct KeywordEntry {
    std::string_view name;
    Keyword keyword;
};

// Sorted by name for the binary search; control words not listed are ignored.
constexpr KeywordEntry kKeywords[] = {
    {"annotation", Keyword::SkipDestination},
    {"ansicpg", Keyword::AnsiCodePage},
    {"author", Keyword::SkipDestination},
    {"b", Keyword::Bold},
    {"bin", Keyword::Binary},
    {"blue", Keyword::Blue},
    {"bullet", Keyword::Bullet},
    {"cell", Keyword::Tab},
    {"cf", Keyword::ColorIndex},
    {"colortbl", Keyword::ColorTable},
    {"comment", Keyword::SkipDestination},
    {"datastore", Keyword::SkipDestination},
    {"deff", Keyword::DefaultFont},
    {"deftab", Keyword::DefaultTab},
    {"emdash", Keyword::Emdash},
    {"emspace", Keyword::Emspace},
    {"endash", Keyword::Endash},
    {"enspace", Keyword::Enspace},
    {"f", Keyword::Font},
    {"fcharset", Keyword::Charset},
    {"fi", Keyword::FirstIndent},
    {"fldinst", Keyword::SkipDestination},
    {"fonttbl", Keyword::FontTable},
    {"footer", Keyword::SkipDestination},
    {"footerf", Keyword::SkipDestination},
    {"footerl", Keyword::SkipDestination},
    {"footerr", Keyword::SkipDestination},
    {"footnote", Keyword::SkipDestination},
    {"fs", Keyword::FontSize},
    {"generator", Keyword::SkipDestination},
    {"green", Keyword::Green},
    {"header", Keyword::SkipDestination},
    {"headerf", Keyword::SkipDestination},
    {"headerl", Keyword::SkipDestination},
    {"headerr", Keyword::SkipDestination},
    {"i", Keyword::Italic},
    {"info", Keyword::SkipDestination},
    {"latentstyles", Keyword::SkipDestination},
    {"ldblquote", Keyword::LeftDoubleQuote},
    {"li", Keyword::LeftIndent},
    {"line", Keyword::LineBreak},
    {"listoverridetable", Keyword::SkipDestination},
    {"listtable", Keyword::SkipDestination},
    {"lquote", Keyword::LeftQuote},
    {"nonshppict", Keyword::SkipDestination},
    {"object", Keyword::SkipDestination},
    {"page", Keyword::Paragraph},
    {"par", Keyword::Paragraph},
    {"pard", Keyword::ParagraphDefaults},
    {"pict", Keyword::SkipDestination},
    {"plain", Keyword::Plain},
    {"qc", Keyword::AlignCenter},
    {"qj", Keyword::AlignJustify},
    {"ql", Keyword::AlignLeft},
    {"qr", Keyword::AlignRight},
    {"rdblquote", Keyword::RightDoubleQuote},
    {"red", Keyword::Red},
    {"revtbl", Keyword::SkipDestination},
    {"ri", Keyword::RightIndent},
    {"row", Keyword::Paragraph},
    {"rquote", Keyword::RightQuote},
    {"rsidtbl", Keyword::SkipDestination},
    {"sect", Keyword::Paragraph},
    {"shp", Keyword::SkipDestination},
    {"stylesheet", Keyword::SkipDestination},
    {"tab", Keyword::Tab},
    {"themedata", Keyword::SkipDestination},
    {"u", Keyword::Unicode},
    {"uc", Keyword::UnicodeSkip},
    {"ul", Keyword::Underline},
    {"uld", Keyword::Underline},
    {"uldash", Keyword::Underline},
    {"uldb", Keyword::Underline},
    {"ulnone", Keyword::UnderlineNone},
    {"ulth", Keyword::Underline},
    {"ulw", Keyword::Underline},
    {"ulwave", Keyword::Underline},
    {"xmlnstbl", Keyword::SkipDestination},
};

static_assert(std::is_sorted(std::begin(kKeywords), std::end(kKeywords),
                             [](const KeywordEntry& a, const KeywordEntry& b) {
                                 return a.name < b.name;
                             }));

const KeywordEntry* findKeyword(std::string_view name) {
    const auto* it = std::lower_bound(
        std::begin(kKeywords), std::end(kKeywords), name,
        [](const KeywordEntry& entry, std::string_view key) { return entry.name < key; });
    return it != std::end(kKeywords) && it->name == name ? it : nullptr;
}

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

// \fcharsetN -> code page; 0 means "the document's".
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

int hexValue(std::uint8_t byte) {
    if (byte >= '0' && byte <= '9') {
        return byte - '0';
    }
    if (byte >= 'a' && byte <= 'f') {
        return byte - 'a' + 10;
    }
    if (byte >= 'A' && byte <= 'F') {
        return byte - 'A' + 10;
    }
    return -1;
}

bool isLetter(std::uint8_t byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

bool isDigit(std::uint8_t byte) {
    return byte >= '0' && byte <= '9';
}

}  // namespace

namespace rtf {

const Font* Document::font(int number) const {
    for (const Font& f : fonts) {
        if (f.number == number) {
            return &f;
        }
    }
    return nullptr;
}

std::string Document::plainText() const {
    std::string out;
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        if (p > 0) {
            out += '\n';
        }
        for (const Run& run : paragraphs[p].runs) {
            out += run.text;
        }
    }
    return out;
}

}  // namespace rtf

RtfReader::RtfReader() {
    m_groups.reserve(kMaxDepth);
}

void RtfReader::feed(std::string_view bytes) {
    for (char c : bytes) {
        feed(static_cast<std::uint8_t>(c));
    }
}

void RtfReader::feed(std::uint8_t byte) {
    if (m_state == State::Done || m_state == State::Rejected) {
        return;
    }
    if (++m_inputBytes > kMaxInputBytes) {
        reject(RtfError::TooLarge);
        return;
    }
    step(byte);
}

void RtfReader::step(std::uint8_t byte) {
    switch (m_state) {
        case State::Signature:
            if (byte != static_cast<std::uint8_t>(kSignature[m_signatureMatched])) {
                reject(RtfError::NotRtf);
                return;
            }
            if (++m_signatureMatched == kSignature.size()) {
                // The signature is ordinary RTF too: the first group and the \rtf word.
                m_state = State::Text;
                for (char c : kSignature) {
                    step(static_cast<std::uint8_t>(c));
                }
            }
            return;
        case State::Text:
            if (byte == '{') {
                openGroup();
            } else if (byte == '}') {
                closeGroup();
            } else if (byte == '\\') {
                m_state = State::Escape;
            } else if (byte == '\t' || byte >= 0x20) {
                if (m_fallbackLeft > 0) {
                    --m_fallbackLeft;
                } else {
                    textByte(byte);
                }
            }
            return;
        case State::Escape:
            if (isLetter(byte)) {
                m_word[0] = static_cast<char>(byte);
                m_wordLength = 1;
                m_wordTooLong = false;
                m_negative = false;
                m_hasDigits = false;
                m_parameter = 0;
                m_state = State::ControlWord;
            } else if (byte == '\'') {
                m_state = State::HexHigh;
            } else {
                m_state = State::Text;
                controlSymbol(byte);
            }
            return;
        case State::ControlWord:
        case State::Parameter:
            if (m_state == State::ControlWord && isLetter(byte)) {
                if (m_wordLength < m_word.size()) {
                    m_word[m_wordLength++] = static_cast<char>(byte);
                } else {
                    m_wordTooLong = true;
                }
                return;
            }
            if (m_state == State::ControlWord && byte == '-') {
                m_negative = true;
                m_state = State::Parameter;
                return;
            }
            if (isDigit(byte)) {
                m_state = State::Parameter;
                m_hasDigits = true;
                if (m_parameter < 1'000'000'000) {
                    m_parameter = m_parameter * 10 + (byte - '0');
                }
                return;
            }
            // The word ends here; a space delimiter is part of it, any other byte is text.
            m_state = State::Text;
            controlWord();
            if (byte != ' ') {
                step(byte);
            }
            return;
        case State::HexHigh: {
            const int value = hexValue(byte);
            if (value < 0) {
                m_state = State::Text;  // a broken escape is dropped
                step(byte);
                return;
            }
            m_hex = static_cast<std::uint8_t>(value);
            m_state = State::HexLow;
            return;
        }
        case State::HexLow: {
            const int value = hexValue(byte);
            m_state = State::Text;
            if (value < 0) {
                step(byte);
                return;
            }
            if (m_fallbackLeft > 0) {
                --m_fallbackLeft;
                return;
            }
            textByte(static_cast<std::uint8_t>(m_hex * 16 + value));
            return;
        }
        case State::Binary:
            if (--m_binaryLeft <= 0) {
                m_state = State::Text;
            }
            return;
        case State::Done:
        case State::Rejected:
            return;
    }
}

void RtfReader::reject(RtfError error) {
    m_error = error;
    m_state = State::Rejected;
    m_groups.clear();
    m_paragraph = {};
    m_document = {};
}

RtfReader::Destination RtfReader::destination() const {
    if (m_overflowDepth > 0 || m_groups.empty()) {
        return Destination::Skip;
    }
    return m_groups.back().destination;
}

void RtfReader::openGroup() {
    m_fallbackLeft = 0;
    m_leadByte = 0;
    if (m_overflowDepth > 0 || m_groups.size() >= kMaxDepth) {
        ++m_overflowDepth;
        return;
    }
    const Group inherited = m_groups.empty() ? Group{} : top();
    m_groups.push_back(inherited);
}

void RtfReader::closeGroup() {
    m_fallbackLeft = 0;
    m_leadByte = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (top().destination == Destination::FontTable) {
        commitFont();  // the last entry may lack its ';'
    }
    if (m_groups.size() == 1) {
        if (!m_paragraph.runs.empty()) {
            endParagraph();
        }
        m_groups.pop_back();
        m_state = State::Done;
        return;
    }
    m_groups.pop_back();
}

void RtfReader::controlSymbol(std::uint8_t symbol) {
    if (symbol == '*') {
        if (destination() != Destination::Skip) {
            top().destination = Destination::Skip;
        }
        return;
    }
    if (m_fallbackLeft > 0) {
        --m_fallbackLeft;
        return;
    }
    switch (symbol) {
        case '\\':
        case '{':
        case '}':
            codePoint(symbol);
            return;
        case '~':
            codePoint(0x00A0);
            return;
        case '_':
            codePoint(0x2011);
            return;
        case '\r':
        case '\n':
            if (destination() == Destination::Body) {
                endParagraph();
            }
            return;
        default:
            return;  // optional hyphen, index marks and unknown symbols show nothing
    }
}

void RtfReader::controlWord() {
    m_leadByte = 0;
    if (m_wordTooLong) {
        return;
    }
    const KeywordEntry* entry = findKeyword(std::string_view(m_word.data(), m_wordLength));
    if (entry == nullptr) {
        if (m_fallbackLeft > 0) {
            --m_fallbackLeft;
        }
        return;
    }
    std::int64_t wide = m_negative ? -m_parameter : m_parameter;
    wide = std::clamp<std::int64_t>(wide, std::numeric_limits<int>::min(),
                                    std::numeric_limits<int>::max());
    const int parameter = static_cast<int>(wide);
    const bool on = !m_hasDigits || parameter != 0;

    if (entry->keyword == Keyword::Binary) {
        // Honoured everywhere, so raw picture data is never read as RTF.
        if (m_fallbackLeft > 0) {
            --m_fallbackLeft;
        }
        if (m_hasDigits && parameter > 0) {
            m_binaryLeft = parameter;
            m_state = State::Binary;
        }
        return;
    }
    if (m_fallbackLeft > 0) {
        --m_fallbackLeft;
        return;
    }
    const Destination where = destination();
    if (where == Destination::Skip) {
        return;
    }
    if (entry->keyword == Keyword::SkipDestination) {
        top().destination = Destination::Skip;
        return;
    }
    if (entry->keyword == Keyword::UnicodeSkip) {
        top().unicodeSkip = std::clamp(parameter, 0, kMaxUnicodeSkip);
        return;
    }
    if (entry->keyword == Keyword::Unicode) {
        if (where != Destination::ColorTable && m_hasDigits) {
            unicodeValue(wide);
            m_fallbackLeft = top().unicodeSkip;
        }
        return;
    }
    if (where == Destination::FontTable) {
        if (entry->keyword == Keyword::Font) {
            commitFont();
            m_pendingFont = rtf::Font{parameter, {}};
            m_pendingCharset = -1;
            m_fontPending = true;
        } else if (entry->keyword == Keyword::Charset) {
            m_pendingCharset = parameter;
        }
        return;
    }
    if (where == Destination::ColorTable) {
        const auto component = static_cast<std::uint8_t>(std::clamp(parameter, 0, 255));
        if (entry->keyword == Keyword::Red) {
            m_pendingColor.red = component;
        } else if (entry->keyword == Keyword::Green) {
            m_pendingColor.green = component;
        } else if (entry->keyword == Keyword::Blue) {
            m_pendingColor.blue = component;
        } else {
            return;
        }
        m_pendingColor.automatic = false;
        return;
    }

    Group& group = top();
    switch (entry->keyword) {
        case Keyword::FontTable:
            group.destination = Destination::FontTable;
            m_fontPending = false;
            return;
        case Keyword::ColorTable:
            group.destination = Destination::ColorTable;
            m_pendingColor = {};
            return;
        case Keyword::Paragraph:
            endParagraph();
            return;
        case Keyword::LineBreak:
            codePoint('\n');
            return;
        case Keyword::Tab:
            codePoint('\t');
            return;
        case Keyword::Emdash:
            codePoint(0x2014);
            return;
        case Keyword::Endash:
            codePoint(0x2013);
            return;
        case Keyword::Bullet:
            codePoint(0x2022);
            return;
        case Keyword::LeftQuote:
            codePoint(0x2018);
            return;
        case Keyword::RightQuote:
            codePoint(0x2019);
            return;
        case Keyword::LeftDoubleQuote:
            codePoint(0x201C);
            return;
        case Keyword::RightDoubleQuote:
            codePoint(0x201D);
            return;
        case Keyword::Emspace:
            codePoint(0x2003);
            return;
        case Keyword::Enspace:
            codePoint(0x2002);
            return;
        case Keyword::Bold:
            group.style.bold = on;
            return;
        case Keyword::Italic:
            group.style.italic = on;
            return;
        case Keyword::Underline:
            group.style.underline = on;
            return;
        case Keyword::UnderlineNone:
            group.style.underline = false;
            return;
        case Keyword::Plain:
            group.style = rtf::CharStyle{};
            return;
        case Keyword::FontSize:
            group.style.halfPoints = m_hasDigits && parameter > 0
                                         ? std::min(parameter, kMaxHalfPoints)
                                         : rtf::kDefaultHalfPoints;
            return;
        case Keyword::Font:
            group.style.font = parameter;
            return;
        case Keyword::ColorIndex:
            group.style.color = std::max(parameter, 0);
            return;
        case Keyword::ParagraphDefaults:
            group.paragraph = rtf::ParagraphFormat{};
            return;
        case Keyword::AlignLeft:
            group.paragraph.alignment = rtf::Alignment::Left;
            return;
        case Keyword::AlignCenter:
            group.paragraph.alignment = rtf::Alignment::Center;
            return;
        case Keyword::AlignRight:
            group.paragraph.alignment = rtf::Alignment::Right;
            return;
        case Keyword::AlignJustify:
            group.paragraph.alignment = rtf::Alignment::Justify;
            return;
        case Keyword::LeftIndent:
            group.paragraph.leftIndent = std::clamp(parameter, -kMaxIndent, kMaxIndent);
            return;
        case Keyword::RightIndent:
            group.paragraph.rightIndent = std::clamp(parameter, -kMaxIndent, kMaxIndent);
            return;
        case Keyword::FirstIndent:
            group.paragraph.firstIndent = std::clamp(parameter, -kMaxIndent, kMaxIndent);
            return;
        case Keyword::DefaultTab:
            m_document.defaultTab =
                parameter > 0 ? std::min(parameter, kMaxIndent) : rtf::kDefaultTab;
            return;
        case Keyword::AnsiCodePage:
            if (parameter > 0) {
                m_documentCodePage = parameter;
                m_cacheValid = false;
            }
            return;
        case Keyword::DefaultFont:
            m_document.defaultFont = parameter;
            return;
        case Keyword::SkipDestination:
        case Keyword::Charset:
        case Keyword::Red:
        case Keyword::Green:
        case Keyword::Blue:
        case Keyword::Unicode:
        case Keyword::UnicodeSkip:
        case Keyword::Binary:
            return;  // handled above or meaningless in the body
    }
}

int RtfReader::currentCodePage() {
    if (destination() == Destination::FontTable) {
        const int page = m_fontPending ? charsetCodePage(m_pendingCharset) : 0;
        return page != 0 ? page : m_documentCodePage;
    }
    const int font = m_groups.empty() || m_groups.back().style.font < 0
                         ? m_document.defaultFont
                         : m_groups.back().style.font;
    if (!m_cacheValid || font != m_cachedFont) {
        const auto it = m_fontCodePages.find(font);
        m_cachedFont = font;
        m_cachedCodePage =
            it != m_fontCodePages.end() && it->second != 0 ? it->second : m_documentCodePage;
        m_cacheValid = true;
    }
    return m_cachedCodePage;
}

void RtfReader::textByte(std::uint8_t byte) {
    const int codePage = currentCodePage();
    if (isDoubleByteCodePage(codePage) && byte >= 0x80) {
        // No tables for the double-byte pages: a whole character shows as one replacement.
        if (m_leadByte != 0) {
            m_leadByte = 0;
            codePoint(kReplacement);
        } else if (byte >= 0x81 && byte <= 0xFE) {
            m_leadByte = byte;
        } else {
            codePoint(kReplacement);
        }
        return;
    }
    if (m_leadByte != 0) {
        m_leadByte = 0;  // an ASCII trail byte still completes the pair
        codePoint(kReplacement);
        return;
    }
    codePoint(singleByte(codePage, byte));
}

void RtfReader::unicodeValue(std::int64_t value) {
    if (value < 0) {
        value += 65536;  // written as signed 16-bit numbers
    }
    if (value < 0 || value > 0x10FFFF) {
        codePoint(kReplacement);
        return;
    }
    const auto unit = static_cast<char32_t>(value);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        flushSurrogate();
        m_highSurrogate = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (m_highSurrogate == 0) {
            codePoint(kReplacement);
            return;
        }
        const char32_t combined = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00);
        m_highSurrogate = 0;
        codePoint(combined);
        return;
    }
    codePoint(unit);
}

void RtfReader::flushSurrogate() {
    if (m_highSurrogate != 0) {
        m_highSurrogate = 0;
        codePoint(kReplacement);
    }
}

void RtfReader::codePoint(char32_t value) {
    flushSurrogate();
    switch (destination()) {
        case Destination::Body:
            appendToBody(value);
            return;
        case Destination::FontTable:
            if (value == ';') {
                commitFont();
            } else if (m_fontPending && m_pendingFont.name.size() < kMaxFontName) {
                appendUtf8(m_pendingFont.name, value);
            }
            return;
        case Destination::ColorTable:
            if (value == ';') {
                commitColor();
            }
            return;
        case Destination::Skip:
            return;
    }
}

void RtfReader::appendToBody(char32_t value) {
    const bool control = value < 0x20 || (value >= 0x7F && value < 0xA0);
    if (m_full || (control && value != '\t' && value != '\n')) {
        return;
    }
    const rtf::CharStyle& style = top().style;
    if (m_paragraph.runs.empty() || !(m_paragraph.runs.back().style == style)) {
        if (++m_runCount > kMaxRuns) {
            m_full = true;
            return;
        }
        m_paragraph.runs.push_back(rtf::Run{style, {}});
    }
    std::string& text = m_paragraph.runs.back().text;
    const std::size_t before = text.size();
    appendUtf8(text, value);
    m_textBytes += text.size() - before;
    if (m_textBytes >= kMaxTextBytes) {
        m_full = true;
    }
}

void RtfReader::endParagraph() {
    flushSurrogate();
    m_leadByte = 0;
    if (m_full) {
        return;
    }
    if (m_document.paragraphs.size() >= kMaxParagraphs) {
        m_full = true;
        return;
    }
    if (!m_groups.empty()) {
        m_paragraph.format = top().paragraph;
        m_paragraph.mark = top().style;
    }
    m_document.paragraphs.push_back(std::move(m_paragraph));
    m_paragraph = {};
}

void RtfReader::commitFont() {
    if (!m_fontPending) {
        return;
    }
    m_fontPending = false;
    std::string& name = m_pendingFont.name;
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    if (m_document.fonts.size() >= kMaxFonts || m_fontCodePages.count(m_pendingFont.number) > 0) {
        return;  // the first entry for a number wins
    }
    m_fontCodePages.emplace(m_pendingFont.number, charsetCodePage(m_pendingCharset));
    m_cacheValid = false;
    m_document.fonts.push_back(std::move(m_pendingFont));
    m_pendingFont = {};
}

void RtfReader::commitColor() {
    if (m_document.colors.size() < kMaxColors) {
        m_document.colors.push_back(m_pendingColor);
    }
    m_pendingColor = {};
}

RtfError RtfReader::finish() {
    if (m_state == State::Signature) {
        reject(RtfError::NotRtf);
    } else if (m_state != State::Rejected && m_state != State::Done) {
        // Truncated, or closing braces missing: keep what was read.
        if (!m_paragraph.runs.empty()) {
            endParagraph();
        }
        m_state = State::Done;
    }
    return m_error;
}

rtf::Document RtfReader::takeDocument() {
    rtf::Document out = std::move(m_document);
    m_document = {};
    return out;
}

RtfReadResult readRtf(std::string_view bytes) {
    if (bytes.size() > RtfReader::kMaxInputBytes) {
        return {RtfError::TooLarge, {}};
    }
    RtfReader reader;
    reader.feed(bytes);
    const RtfError error = reader.finish();
    return {error, reader.takeDocument()};
}

}  // namespace pellix
