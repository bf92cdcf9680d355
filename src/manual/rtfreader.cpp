#include "manual/rtfreader.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "common/codepage.h"
#include "manual/rtfkeywords.h"

// Rules of the stream, as the states below follow them:
//  - The file must begin with the five bytes "{\rtf"; anything else is rejected at once.
//  - '{' and '}' open and close a group; a group inherits the character and paragraph state of
//    its parent and drops every change when it closes. The document ends when the outermost
//    group closes; what follows is ignored. Groups deeper than kMaxDepth are read as skipped.
//  - '\' starts an escape: a letter begins a control word (letters, then an optional sign and
//    digits, ended by one space that belongs to it or by any other byte that does not), "\'"
//    takes two hexadecimal digits naming a text byte, read like a raw one in the code page of
//    the current font (rtftext.h), anything else is a one-character control symbol.
//  - "\binN" is followed by N raw bytes that are never read as RTF.
//  - After "\uN" the next \ucN bytes (a text byte, an escape or a control word each count as
//    one) are the fallback for readers without Unicode and are dropped; a group brace ends the
//    dropping early.
//  - Destinations: the font table gives font names and charsets, the colour table gives colours
//    (rtftables.h), "\*" and the known non-text destinations (style sheet, information, pictures,
//    objects, headers, field instructions ...) are skipped with all their groups.
//  - Carriage returns and line feeds in the text are layout of the file, not of the document.

namespace pellix {
namespace {

// Where a line may end without the reader's help: blanks, the break itself, and between any two
// ideographs (the text of the Chinese manuals has no blanks at all).
bool breaksLine(char32_t value) {
    const auto within = [value](char32_t first, char32_t last) {
        return value >= first && value <= last;
    };
    return value == ' ' || value == '\t' || value == '\n' || value == RtfReader::kWordBreak ||
           within(0x3400, 0x4DBF) || within(0x4E00, 0x9FFF) || within(0xF900, 0xFAFF) ||
           within(0x20000, 0x3FFFF);
}

// How much a byte of text at this size counts towards the text cap: the area it covers
// compared with the default size, never less than the default's.
std::size_t areaWeight(int halfPoints) {
    constexpr int kDefaultArea = rtf::kDefaultHalfPoints * rtf::kDefaultHalfPoints;
    return static_cast<std::size_t>(std::max(1, halfPoints * halfPoints / kDefaultArea));
}

constexpr std::string_view kSignature = "{\\rtf";
using rtf::Keyword;

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
            } else if ((byte == '\t' || byte >= 0x20) && !dropFallback()) {
                textByte(byte);
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
            if (!dropFallback()) {
                textByte(static_cast<std::uint8_t>(m_hex * 16 + value));
            }
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

bool RtfReader::dropFallback() {
    if (m_fallbackLeft <= 0) {
        return false;
    }
    --m_fallbackLeft;
    return true;
}

RtfReader::Destination RtfReader::destination() const {
    return m_overflowDepth > 0 ? Destination::Skip : m_groups.back().destination;
}

void RtfReader::openGroup() {
    m_fallbackLeft = 0;
    m_decoder.dropLeadByte();
    if (m_overflowDepth > 0 || m_groups.size() >= kMaxDepth) {
        ++m_overflowDepth;
        return;
    }
    const Group inherited = m_groups.empty() ? Group{} : top();
    m_groups.push_back(inherited);
}

void RtfReader::closeGroup() {
    m_fallbackLeft = 0;
    m_decoder.dropLeadByte();
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (top().destination == Destination::FontTable) {
        m_tables.endFont(m_document, m_codePages);  // the last entry may lack its ';'
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
    if (dropFallback()) {
        return;
    }
    switch (symbol) {
        case '\\':
        case '{':
        case '}':
            put(m_decoder.character(symbol));
            return;
        case '~':
            put(m_decoder.character(0x00A0));
            return;
        case '_':
            put(m_decoder.character(0x2011));
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
    m_decoder.dropLeadByte();
    if (m_wordTooLong) {
        return;
    }
    // Known or not, a control word counts as one byte of fallback text.
    const bool dropped = dropFallback();
    const rtf::KeywordEntry* entry =
        rtf::findKeyword(std::string_view(m_word.data(), m_wordLength));
    if (entry == nullptr) {
        return;
    }
    const int parameter = static_cast<int>(
        std::clamp<std::int64_t>(m_negative ? -m_parameter : m_parameter,
                                 std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));

    if (entry->keyword == Keyword::Binary) {
        // Honoured everywhere, so raw picture data is never read as RTF.
        if (m_hasDigits && parameter > 0) {
            m_binaryLeft = parameter;
            m_state = State::Binary;
        }
        return;
    }
    if (dropped) {
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
            put(m_decoder.unicode(parameter));
            m_fallbackLeft = top().unicodeSkip;
        }
        return;
    }
    if (where == Destination::FontTable) {
        m_tables.fontWord(entry->keyword, parameter, m_document, m_codePages);
        return;
    }
    if (where == Destination::ColorTable) {
        m_tables.colorWord(entry->keyword, parameter);
        return;
    }

    Group& group = top();
    if (rtf::applyFormat(entry->keyword, parameter, m_hasDigits, group.style, group.paragraph)) {
        return;
    }
    switch (entry->keyword) {
        case Keyword::FontTable:
            group.destination = Destination::FontTable;
            m_tables.startFontTable();
            return;
        case Keyword::ColorTable:
            group.destination = Destination::ColorTable;
            m_tables.startColorTable();
            return;
        case Keyword::Paragraph:
            endParagraph();
            return;
        case Keyword::Character:
            put(m_decoder.character(entry->character));
            return;
        case Keyword::DefaultTab:
            m_document.defaultTab =
                parameter > 0 ? std::min(parameter, rtf::kMaxIndent) : rtf::kDefaultTab;
            return;
        case Keyword::AnsiCodePage:
            if (parameter > 0) {
                m_codePages.setDocumentPage(parameter);
            }
            return;
        case Keyword::DefaultFont:
            m_document.defaultFont = parameter;
            return;
        default:
            return;  // handled above or meaningless in the body
    }
}

int RtfReader::currentCodePage() {
    if (destination() == Destination::FontTable) {
        return m_codePages.ofCharset(m_tables.fontCharset());
    }
    const int font = top().style.font;
    return m_codePages.ofFont(font < 0 ? m_document.defaultFont : font);
}

void RtfReader::textByte(std::uint8_t byte) {
    put(m_decoder.byte(byte, currentCodePage()));
}

void RtfReader::put(const rtf::Characters& characters) {
    for (const char32_t character : characters) {
        putCharacter(character);
    }
}

// Every decoded character goes where the current group's text goes.
void RtfReader::putCharacter(char32_t value) {
    switch (destination()) {
        case Destination::Body:
            appendToBody(value);
            return;
        case Destination::FontTable:
            m_tables.fontCharacter(value, m_document, m_codePages);
            return;
        case Destination::ColorTable:
            m_tables.colorCharacter(value, m_document);
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
    if (breaksLine(value)) {
        m_unbroken = 0;
    } else if (++m_unbroken > kMaxWordLength) {
        appendUtf8(text, kWordBreak);
        m_unbroken = 1;
    }
    appendUtf8(text, value);
    m_textArea += (text.size() - before) * areaWeight(style.halfPoints);
    if (m_textArea >= kMaxTextBytes) {
        m_full = true;
    }
}

void RtfReader::endParagraph() {
    put(m_decoder.endParagraph());
    // The paragraph that reached a cap on text or runs is kept with what it got: a file of
    // one endless paragraph still shows its beginning.
    if (m_full && m_paragraph.runs.empty()) {
        return;
    }
    if (m_document.paragraphs.size() >= kMaxParagraphs) {
        m_full = true;
        return;
    }
    m_paragraph.format = top().paragraph;
    m_paragraph.mark = top().style;
    m_document.paragraphs.push_back(std::exchange(m_paragraph, {}));
    m_unbroken = 0;
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
    return std::exchange(m_document, {});
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
