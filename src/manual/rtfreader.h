#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "manual/rtfmodel.h"
#include "manual/rtftables.h"
#include "manual/rtftext.h"

namespace pellix {

enum class RtfError {
    None,
    NotRtf,    // the input does not begin with "{\rtf"
    TooLarge,  // more than RtfReader::kMaxInputBytes
};

// Reads the subset of RTF that word processors write for a plain manual. Fed one byte at a time;
// every byte costs bounded work, whatever the input, so a damaged or hostile file cannot hang or
// exhaust the program.
class RtfReader {
  public:
    static constexpr std::size_t kMaxInputBytes = 16u * 1024u * 1024u;
    static constexpr std::size_t kMaxDepth = 256;
    static constexpr std::size_t kMaxFonts = rtf::kMaxFonts;
    static constexpr std::size_t kMaxColors = rtf::kMaxColors;
    static constexpr std::size_t kMaxFontName = rtf::kMaxFontName;
    static constexpr int kMaxUnicodeSkip = 255;
    // Caps on what the manual window is given to lay out, so that any file shows within a
    // second; the shipped manual has a few hundred paragraphs and about 10 KB of text.
    static constexpr std::size_t kMaxParagraphs = 4096;
    static constexpr std::size_t kMaxRuns = 16384;
    // Text is counted in bytes at the default size; larger text counts by the area it covers
    // (a character at twice the size counts four times), so that even one character a line
    // cannot lay out taller than the text view can place (about 33 million pixels).
    static constexpr std::size_t kMaxTextBytes = 512u * 1024u;
    // Laying out a word costs time growing with the square of its length, so a longer one gets
    // an invisible break opportunity (U+200B) after every this many characters.
    static constexpr std::size_t kMaxWordLength = 200;
    static constexpr char32_t kWordBreak = 0x200B;

    RtfReader();

    void feed(std::uint8_t byte);
    void feed(std::string_view bytes);
    // Ends the input: an unfinished paragraph is kept, unclosed groups are forgiven.
    RtfError finish();
    RtfError error() const { return m_error; }
    // The document read so far; empty after an error.
    rtf::Document takeDocument();

  private:
    enum class State {
        Signature,    // matching "{\rtf" at the very start
        Text,         // plain text, group braces, start of escapes
        Escape,       // after '\'
        ControlWord,  // letters of a control word
        Parameter,    // optional sign and digits after a control word
        HexHigh,      // first digit of \'hh
        HexLow,       // second digit of \'hh
        Binary,       // the N raw bytes of \binN
        Done,         // the outermost group closed; the rest is ignored
        Rejected,     // not RTF or too large
    };

    enum class Destination { Body, FontTable, ColorTable, Skip };

    struct Group {
        rtf::CharStyle style;
        rtf::ParagraphFormat paragraph;
        Destination destination = Destination::Body;
        int unicodeSkip = 1;  // \ucN: bytes of fallback text after each \uN
    };

    void step(std::uint8_t byte);
    void reject(RtfError error);
    void openGroup();
    void closeGroup();
    // True when this byte, escape or control word is fallback text after \uN, to be dropped.
    bool dropFallback();
    void controlSymbol(std::uint8_t symbol);
    void controlWord();
    void textByte(std::uint8_t byte);
    int currentCodePage();
    void put(const rtf::Characters& characters);
    void putCharacter(char32_t value);
    void appendToBody(char32_t value);
    void endParagraph();
    Destination destination() const;
    Group& top() { return m_groups.back(); }

    State m_state = State::Signature;
    RtfError m_error = RtfError::None;
    std::size_t m_inputBytes = 0;
    std::size_t m_signatureMatched = 0;

    // Innermost last. Never empty while text is read: the signature opens the first group, and
    // closing that one ends the document.
    std::vector<Group> m_groups;
    std::size_t m_overflowDepth = 0;  // groups opened beyond kMaxDepth, all skipped

    std::array<char, 32> m_word{};
    std::size_t m_wordLength = 0;
    bool m_wordTooLong = false;
    bool m_negative = false;
    bool m_hasDigits = false;
    std::int64_t m_parameter = 0;

    std::uint8_t m_hex = 0;
    std::int64_t m_binaryLeft = 0;
    int m_fallbackLeft = 0;  // fallback bytes still to drop after \uN

    rtf::TextDecoder m_decoder;
    rtf::CodePages m_codePages;
    rtf::TableReader m_tables;

    rtf::Paragraph m_paragraph;
    rtf::Document m_document;
    std::size_t m_runCount = 0;
    std::size_t m_textArea = 0;  // text so far, weighted by size as kMaxTextBytes counts it
    std::size_t m_unbroken = 0;  // characters of body text since the last break opportunity
    bool m_full = false;         // a cap was reached; further body text is dropped
};

struct RtfReadResult {
    RtfError error = RtfError::None;
    rtf::Document document;
};

// Reads a whole RTF file held in memory.
RtfReadResult readRtf(std::string_view bytes);

}  // namespace pellix
