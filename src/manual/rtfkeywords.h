#pragma once

#include <string_view>

// The control words the RTF reader knows, and what those that only format text do to the
// formatting of their group. Words not listed here are ignored by the reader.
namespace pellix::rtf {

struct CharStyle;
struct ParagraphFormat;

inline constexpr int kMaxIndent = 31680;  // 22 inches, the widest page word processors allow
// 72 pt: larger type adds nothing to a manual but lets a file make every line a screen high.
inline constexpr int kMaxHalfPoints = 144;

enum class Keyword {
    SkipDestination,
    FontTable,
    ColorTable,
    Paragraph,
    Character,  // stands for the one character its entry names (\tab, \emdash ...)
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
    char32_t character = 0;  // of a Keyword::Character word
};

// The entry of a control word's name (letters only, case counts); nullptr for unknown words.
const KeywordEntry* findKeyword(std::string_view name);

// Applies a word that changes the character or paragraph format of its group (\b, \fs, \qc,
// \li ...). `hasParameter` tells whether digits followed the word. Returns false, changing
// nothing, for any other word.
bool applyFormat(Keyword keyword, int parameter, bool hasParameter, CharStyle& style,
                 ParagraphFormat& paragraph);

}  // namespace pellix::rtf
