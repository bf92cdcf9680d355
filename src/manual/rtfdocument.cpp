#include "manual/rtfdocument.h"

#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>

namespace pellix {
namespace {

Qt::Alignment alignmentOf(rtf::Alignment alignment);

constexpr qreal kTwipsPerPixel = 15.0;  // at 96 dpi; the text view scales for other screens

qreal pixels(int twips) {
    return twips / kTwipsPerPixel;
}

QTextBlockFormat blockFormatOf(const rtf::ParagraphFormat& format) {
    QTextBlockFormat block;
    block.setAlignment(alignmentOf(format.alignment));
    const int left = std::max(format.leftIndent, 0);
    block.setLeftMargin(pixels(left));
    block.setRightMargin(pixels(std::max(format.rightIndent, 0)));
    // The first line never starts left of the text area.
    block.setTextIndent(pixels(std::max(format.firstIndent, -left)));
    if (format.firstIndent < 0 && left > 0) {
        // A hanging indent: the first tab of the first line goes to the left indent.
        block.setTabPositions({QTextOption::Tab(pixels(left), QTextOption::LeftTab)});
    }
    return block;
}

Qt::Alignment alignmentOf(rtf::Alignment alignment) {
    switch (alignment) {
        case rtf::Alignment::Left:
            return Qt::AlignLeft;
        case rtf::Alignment::Center:
            return Qt::AlignHCenter;
        case rtf::Alignment::Right:
            return Qt::AlignRight;
        case rtf::Alignment::Justify:
            return Qt::AlignJustify;
    }
    return Qt::AlignLeft;
}

QTextCharFormat charFormatOf(const rtf::Document& document, const rtf::CharStyle& style) {
    QTextCharFormat format;
    format.setFontWeight(style.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(style.italic);
    format.setFontUnderline(style.underline);
    format.setFontPointSize(style.halfPoints / 2.0);
    const rtf::Font* font = document.font(style.font >= 0 ? style.font : document.defaultFont);
    if (font != nullptr && !font->name.empty()) {
        format.setFontFamilies({QString::fromStdString(font->name)});
    }
    if (style.color > 0 && static_cast<std::size_t>(style.color) < document.colors.size()) {
        const rtf::Color& color = document.colors[static_cast<std::size_t>(style.color)];
        if (!color.automatic) {
            format.setForeground(QColor(color.red, color.green, color.blue));
        }
    }
    return format;
}

}  // namespace

void buildTextDocument(const rtf::Document& source, QTextDocument& target) {
    target.clear();
    QTextOption option = target.defaultTextOption();
    option.setTabStopDistance(pixels(source.defaultTab));
    target.setDefaultTextOption(option);
    QTextCursor cursor(&target);
    cursor.beginEditBlock();
    bool first = true;
    for (const rtf::Paragraph& paragraph : source.paragraphs) {
        const QTextBlockFormat block = blockFormatOf(paragraph.format);
        // An empty paragraph still takes the height of the text around it.
        const QTextCharFormat blockChars = charFormatOf(source, paragraph.mark);
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(blockChars);
            first = false;
        } else {
            cursor.insertBlock(block, blockChars);
        }
        for (const rtf::Run& run : paragraph.runs) {
            QString text = QString::fromStdString(run.text);
            text.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
            cursor.insertText(text, charFormatOf(source, run.style));
        }
    }
    cursor.endEditBlock();
}

}  // namespace pellix
