#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellix {

// The document model the manual's instruction text is read into: paragraphs of styled runs,
// plus the font and colour tables the runs refer to. Text is UTF-8; inside a run '\n' is a
// line break within the paragraph and '\t' a tab.
namespace rtf {

enum class Alignment { Left, Center, Right, Justify };

inline constexpr int kDefaultHalfPoints = 24;  // 12 pt, what word processors assume

struct CharStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = kDefaultHalfPoints;
    int font = -1;  // font number (\fN); -1 = the document's default font
    int color = 0;  // index into the colour table; 0 = automatic colour
    bool operator==(const CharStyle&) const = default;
};

struct Run {
    CharStyle style;
    std::string text;
};

// Table caps, far above any real manual; the tables stop growing there.
inline constexpr std::size_t kMaxFonts = 1024;
inline constexpr std::size_t kMaxColors = 1024;
inline constexpr std::size_t kMaxFontName = 256;

inline constexpr int kDefaultTab = 720;  // twips, half an inch

// Indents in twips; the first line's indent is relative to the left indent (negative for a
// hanging indent, which also acts as the first tab stop, as in word processors).
struct ParagraphFormat {
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    bool operator==(const ParagraphFormat&) const = default;
};

struct Paragraph {
    ParagraphFormat format;
    CharStyle mark;  // the style at the paragraph's end; gives an empty paragraph its height
    std::vector<Run> runs;
};

struct Font {
    int number = 0;
    std::string name;
};

struct Color {
    bool automatic = true;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

struct Document {
    std::vector<Paragraph> paragraphs;
    std::vector<Font> fonts;
    std::vector<Color> colors;
    int defaultFont = -1;          // \deffN
    int defaultTab = kDefaultTab;  // \deftabN, twips between default tab stops

    // The font with that number, nullptr when the table has none.
    const Font* font(int number) const;
    // Paragraph texts joined by '\n', without styles.
    std::string plainText() const;
};

}  // namespace rtf

}  // namespace pellix
