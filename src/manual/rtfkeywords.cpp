#include "manual/rtfkeywords.h"

#include <algorithm>
#include <iterator>

#include "manual/rtfmodel.h"

namespace pellix::rtf {
namespace {

// Sorted by name for the binary search; control words not listed are ignored.
constexpr KeywordEntry kKeywords[] = {
    {"annotation", Keyword::SkipDestination},
    {"ansicpg", Keyword::AnsiCodePage},
    {"author", Keyword::SkipDestination},
    {"b", Keyword::Bold},
    {"bin", Keyword::Binary},
    {"blue", Keyword::Blue},
    {"bullet", Keyword::Character, 0x2022},
    {"cell", Keyword::Character, U'\t'},
    {"cf", Keyword::ColorIndex},
    {"colortbl", Keyword::ColorTable},
    {"comment", Keyword::SkipDestination},
    {"datastore", Keyword::SkipDestination},
    {"deff", Keyword::DefaultFont},
    {"deftab", Keyword::DefaultTab},
    {"emdash", Keyword::Character, 0x2014},
    {"emspace", Keyword::Character, 0x2003},
    {"endash", Keyword::Character, 0x2013},
    {"enspace", Keyword::Character, 0x2002},
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
    {"ldblquote", Keyword::Character, 0x201C},
    {"li", Keyword::LeftIndent},
    {"line", Keyword::Character, U'\n'},
    {"listoverridetable", Keyword::SkipDestination},
    {"listtable", Keyword::SkipDestination},
    {"lquote", Keyword::Character, 0x2018},
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
    {"rdblquote", Keyword::Character, 0x201D},
    {"red", Keyword::Red},
    {"revtbl", Keyword::SkipDestination},
    {"ri", Keyword::RightIndent},
    {"row", Keyword::Paragraph},
    {"rquote", Keyword::Character, 0x2019},
    {"rsidtbl", Keyword::SkipDestination},
    {"sect", Keyword::Paragraph},
    {"shp", Keyword::SkipDestination},
    {"stylesheet", Keyword::SkipDestination},
    {"tab", Keyword::Character, U'\t'},
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

}  // namespace

const KeywordEntry* findKeyword(std::string_view name) {
    const auto* it = std::lower_bound(
        std::begin(kKeywords), std::end(kKeywords), name,
        [](const KeywordEntry& entry, std::string_view key) { return entry.name < key; });
    return it != std::end(kKeywords) && it->name == name ? it : nullptr;
}

bool applyFormat(Keyword keyword, int parameter, bool hasParameter, CharStyle& style,
                 ParagraphFormat& paragraph) {
    const bool on = !hasParameter || parameter != 0;
    switch (keyword) {
        case Keyword::Bold:
            style.bold = on;
            return true;
        case Keyword::Italic:
            style.italic = on;
            return true;
        case Keyword::Underline:
            style.underline = on;
            return true;
        case Keyword::UnderlineNone:
            style.underline = false;
            return true;
        case Keyword::Plain:
            style = CharStyle{};
            return true;
        case Keyword::FontSize:
            style.halfPoints = hasParameter && parameter > 0 ? std::min(parameter, kMaxHalfPoints)
                                                             : kDefaultHalfPoints;
            return true;
        case Keyword::Font:
            style.font = parameter;
            return true;
        case Keyword::ColorIndex:
            style.color = std::max(parameter, 0);
            return true;
        case Keyword::ParagraphDefaults:
            paragraph = ParagraphFormat{};
            return true;
        case Keyword::AlignLeft:
            paragraph.alignment = Alignment::Left;
            return true;
        case Keyword::AlignCenter:
            paragraph.alignment = Alignment::Center;
            return true;
        case Keyword::AlignRight:
            paragraph.alignment = Alignment::Right;
            return true;
        case Keyword::AlignJustify:
            paragraph.alignment = Alignment::Justify;
            return true;
        case Keyword::LeftIndent:
            paragraph.leftIndent = std::clamp(parameter, -kMaxIndent, kMaxIndent);
            return true;
        case Keyword::RightIndent:
            paragraph.rightIndent = std::clamp(parameter, -kMaxIndent, kMaxIndent);
            return true;
        case Keyword::FirstIndent:
            paragraph.firstIndent = std::clamp(parameter, -kMaxIndent, kMaxIndent);
            return true;
        default:
            return false;  // not a formatting word
    }
}

}  // namespace pellix::rtf
