#include <QFile>
#include <QTest>

#include <algorithm>
#include <random>
#include <string>

#include "manual/rtfreader.h"

using namespace pellix;

namespace {

std::string bytes(const QByteArray& data) {
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

// "<{b fs20 f1 c2}text{}more / |{}centred": alignment mark, then each run's style and text.
QString describe(const rtf::Document& document) {
    QStringList paragraphs;
    for (const rtf::Paragraph& paragraph : document.paragraphs) {
        QString out;
        switch (paragraph.format.alignment) {
            case rtf::Alignment::Left:
                out += QLatin1Char('<');
                break;
            case rtf::Alignment::Center:
                out += QLatin1Char('|');
                break;
            case rtf::Alignment::Right:
                out += QLatin1Char('>');
                break;
            case rtf::Alignment::Justify:
                out += QLatin1Char('=');
                break;
        }
        for (const rtf::Run& run : paragraph.runs) {
            QStringList style;
            QString flags;
            if (run.style.bold) {
                flags += QLatin1Char('b');
            }
            if (run.style.italic) {
                flags += QLatin1Char('i');
            }
            if (run.style.underline) {
                flags += QLatin1Char('u');
            }
            if (!flags.isEmpty()) {
                style << flags;
            }
            if (run.style.halfPoints != rtf::kDefaultHalfPoints) {
                style << QStringLiteral("fs%1").arg(run.style.halfPoints);
            }
            if (run.style.font != -1) {
                style << QStringLiteral("f%1").arg(run.style.font);
            }
            if (run.style.color != 0) {
                style << QStringLiteral("c%1").arg(run.style.color);
            }
            out += QLatin1Char('{') + style.join(QLatin1Char(' ')) + QLatin1Char('}') +
                   QString::fromStdString(run.text);
        }
        paragraphs << out;
    }
    return paragraphs.join(QStringLiteral(" / "));
}

bool isValidUtf8(const std::string& text) {
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return decoded.toUtf8() == QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QByteArray shippedManual() {
    QFile file(qEnvironmentVariable("PELLIX_RUNTIME_DIR") + QStringLiteral("/Manual5.rtf"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class RtfReaderTest : public QObject {
    Q_OBJECT
  private slots:
    void text_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");

        QTest::newRow("one paragraph")
            << QByteArray("{\\rtf1\\ansi Hello world\\par}") << QStringLiteral("Hello world");
        QTest::newRow("two paragraphs")
            << QByteArray("{\\rtf1 First\\par Second\\par}") << QStringLiteral("First\nSecond");
        QTest::newRow("last paragraph without par")
            << QByteArray("{\\rtf1 A\\par B}") << QStringLiteral("A\nB");
        QTest::newRow("empty paragraph kept")
            << QByteArray("{\\rtf1 A\\par\\par B\\par}") << QStringLiteral("A\n\nB");
        QTest::newRow("line break and tab")
            << QByteArray("{\\rtf1 a\\line b\\tab c\\par}") << QStringLiteral("a\nb\tc");
        QTest::newRow("line ends of the file are not text")
            << QByteArray("{\\rtf1 Hel\r\nlo\\par\r\n}") << QStringLiteral("Hello");
        QTest::newRow("one space ends a control word")
            << QByteArray("{\\rtf1\\b bold\\b0  x\\par}") << QStringLiteral("bold x");
        QTest::newRow("non-letter ends a control word")
            << QByteArray("{\\rtf1\\b0,x\\fs20.y\\par}") << QStringLiteral(",x.y");
        QTest::newRow("cp1252 e acute") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9\\par}")
                                        << QStringLiteral("caf\u00e9");
        QTest::newRow("cp1252 upper-case hex")
            << QByteArray("{\\rtf1 caf\\'E9\\par}") << QStringLiteral("caf\u00e9");
        QTest::newRow("cp1252 euro and typographic quotes")
            << QByteArray("{\\rtf1 \\'80 \\'93x\\'94\\par}")
            << QStringLiteral("\u20ac \u201cx\u201d");
        QTest::newRow("raw high byte read as cp1252")
            << QByteArray("{\\rtf1 \x96\\par}") << QStringLiteral("\u2013");
        QTest::newRow("unicode with one fallback byte")
            << QByteArray("{\\rtf1 \\u21488?x\\par}") << QStringLiteral("\u53f0x");
        QTest::newRow("uc2 drops two escaped fallback bytes")
            << QByteArray("{\\rtf1\\uc2\\u21488\\'a5\\'78x\\par}") << QStringLiteral("\u53f0x");
        QTest::newRow("uc0 keeps what follows")
            << QByteArray("{\\rtf1\\uc0\\u233 x\\par}") << QStringLiteral("\u00e9x");
        QTest::newRow("fallback counts a control word as one")
            << QByteArray("{\\rtf1\\uc1\\u233\\emdash x\\par}") << QStringLiteral("\u00e9x");
        QTest::newRow("negative u is a 16-bit value")
            << QByteArray("{\\rtf1\\u-4064?x\\par}") << QStringLiteral("\uf020x");
        QTest::newRow("surrogate pair")
            << QByteArray("{\\rtf1\\u-10179?\\u-8704?\\par}") << QStringLiteral("\U0001F600");
        QTest::newRow("lone high surrogate replaced")
            << QByteArray("{\\rtf1\\u-10179?x\\par}") << QStringLiteral("\ufffdx");
        QTest::newRow("lone low surrogate replaced")
            << QByteArray("{\\rtf1\\u-8704?x\\par}") << QStringLiteral("\ufffdx");
        QTest::newRow("u out of range replaced")
            << QByteArray("{\\rtf1\\u-99999 ab\\par}") << QStringLiteral("\ufffdb");
        QTest::newRow("uc9 fallback ends at the closing brace")
            << QByteArray("{\\rtf1{\\uc9\\u233 ab}cd\\par}") << QStringLiteral("\u00e9cd");
        QTest::newRow("uc fallback ends at an opening brace")
            << QByteArray("{\\rtf1\\uc5\\u233 a{b}c\\par}") << QStringLiteral("\u00e9bc");
        QTest::newRow("uc is kept per group")
            << QByteArray("{\\rtf1{\\uc0 x}\\u233?y\\par}") << QStringLiteral("x\u00e9y");
        QTest::newRow("escaped braces and backslash")
            << QByteArray("{\\rtf1 \\{a\\}\\\\\\par}") << QStringLiteral("{a}\\");
        QTest::newRow("special characters")
            << QByteArray(
                   "{\\rtf1 a\\~b\\_c\\-d\\lquote\\rquote\\ldblquote\\rdblquote"
                   "\\emdash\\endash\\bullet\\par}")
            << QStringLiteral("a\u00a0b\u2011cd\u2018\u2019\u201c\u201d\u2014\u2013\u2022");
        QTest::newRow("escaped line end is a paragraph")
            << QByteArray("{\\rtf1 a\\\nb}") << QStringLiteral("a\nb");
        QTest::newRow("nested groups keep their text")
            << QByteArray("{\\rtf1 a{b{c}d}e\\par}") << QStringLiteral("abcde");
        QTest::newRow("unknown control words show nothing")
            << QByteArray("{\\rtf1\\viewkind4\\sa200\\sl276\\slmult1 x\\par}")
            << QStringLiteral("x");
        QTest::newRow("overlong control word ignored")
            << QByteArray("{\\rtf1\\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop x\\par}")
            << QStringLiteral("x");
        QTest::newRow("ignorable destination skipped")
            << QByteArray("{\\rtf1 a{\\*\\unknown hidden{\\b deeper}}b\\par}")
            << QStringLiteral("ab");
        QTest::newRow("font table does not leak")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Times;}}x\\par}")
            << QStringLiteral("x");
        QTest::newRow("colour table does not leak")
            << QByteArray("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}x\\par}")
            << QStringLiteral("x");
        QTest::newRow("style sheet, information and picture skipped")
            << QByteArray(
                   "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}"
                   "{\\pict\\wmetafile8 0102ff}x\\par}")
            << QStringLiteral("x");
        QTest::newRow("object skipped")
            << QByteArray("{\\rtf1 a{\\object\\objemb{\\*\\objdata 01}{\\result r}}b\\par}")
            << QStringLiteral("ab");
        QTest::newRow("headers and footers skipped")
            << QByteArray("{\\rtf1{\\header head}{\\footer foot}body\\par}")
            << QStringLiteral("body");
        QTest::newRow("field shows its result, not its instruction")
            << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}\\par}")
            << QStringLiteral("link");
        QTest::newRow("binary data is not read as RTF")
            << QByteArray("{\\rtf1 a{\\pict\\bin4 }}}}}b\\par}") << QStringLiteral("ab");
        QTest::newRow("binary data in the body shows nothing")
            << QByteArray("{\\rtf1 a\\bin3 xyzb\\par}") << QStringLiteral("ab");
        QTest::newRow("text after the document ignored")
            << QByteArray("{\\rtf1 a\\par}junk\\par") << QStringLiteral("a");
        QTest::newRow("extra closing brace ends the document")
            << QByteArray("{\\rtf1 a}b}\\par}") << QStringLiteral("a");
        QTest::newRow("missing closing braces")
            << QByteArray("{\\rtf1 {\\b a\\par b") << QStringLiteral("a\nb");
        QTest::newRow("truncated in a control word")
            << QByteArray("{\\rtf1 abc\\pa") << QStringLiteral("abc");
        QTest::newRow("truncated in a hex escape")
            << QByteArray("{\\rtf1 abc\\'e") << QStringLiteral("abc");
        QTest::newRow("truncated after a backslash")
            << QByteArray("{\\rtf1 abc\\") << QStringLiteral("abc");
        QTest::newRow("broken hex escape dropped")
            << QByteArray("{\\rtf1 a\\'zzb\\'4g\\par}") << QStringLiteral("azzbg");
        QTest::newRow("control characters dropped")
            << QByteArray("{\\rtf1 a\x01\x7f\x00 b\\par}", 18) << QStringLiteral("a b");
        QTest::newRow("double-byte code page without its table")
            << QByteArray("{\\rtf1\\ansi\\ansicpg950 \\'a4\\'e5x\\par}")
            << QStringLiteral("\ufffdx");
        QTest::newRow("double-byte font charset with unicode")
            << QByteArray(
                   "{\\rtf1\\ansi\\ansicpg950{\\fonttbl{\\f0\\fnil\\fcharset136 Ming;}}"
                   "\\f0\\uc2\\u25991\\'a4\\'e5x\\par}")
            << QStringLiteral("\u6587x");
        QTest::newRow("symbol font bullet")
            << QByteArray(
                   "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}"
                   "{\\f1\\'b7}\\tab x\\par}")
            << QStringLiteral("\u2022\tx");
        QTest::newRow("empty document") << QByteArray("{\\rtf1}") << QString();
    }
    void text() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        const RtfReadResult result = readRtf(bytes(rtf));
        QCOMPARE(result.error, RtfError::None);
        QCOMPARE(QString::fromStdString(result.document.plainText()), expected);
    }

    void styles_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");

        QTest::newRow("bold on and off")
            << QByteArray("{\\rtf1 a\\b b\\b0 c\\par}") << QStringLiteral("<{}a{b}b{}c");
        QTest::newRow("group restores the style")
            << QByteArray("{\\rtf1 {\\b\\i x}y\\par}") << QStringLiteral("<{bi}x{}y");
        QTest::newRow("underline kinds and ulnone")
            << QByteArray("{\\rtf1\\ul a\\ulnone b\\uldb c\\ul0 d\\par}")
            << QStringLiteral("<{u}a{}b{u}c{}d");
        QTest::newRow("plain resets character style")
            << QByteArray("{\\rtf1\\b\\i\\fs40\\f1\\cf1 a\\plain b\\par}")
            << QStringLiteral("<{bi fs40 f1 c1}a{}b");
        QTest::newRow("same style merges into one run")
            << QByteArray("{\\rtf1\\b a{b}\\b c\\par}") << QStringLiteral("<{b}abc");
        QTest::newRow("font size without parameter is 12 pt")
            << QByteArray("{\\rtf1\\fs20 a\\fs b\\par}") << QStringLiteral("<{fs20}a{}b");
        QTest::newRow("huge font size capped")
            << QByteArray("{\\rtf1\\fs99999999999999999999 x\\par}")
            << QStringLiteral("<{fs%1}x").arg(rtf::kMaxHalfPoints);
        QTest::newRow("font size just above the cap")
            << QByteArray("{\\rtf1\\fs") + QByteArray::number(rtf::kMaxHalfPoints + 1) +
                   QByteArray(" x\\par}")
            << QStringLiteral("<{fs%1}x").arg(rtf::kMaxHalfPoints);
        QTest::newRow("font and colour")
            << QByteArray(
                   "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
                   "{\\colortbl ;\\red255\\green0\\blue0;}\\f1\\cf1 x\\par}")
            << QStringLiteral("<{f1 c1}x");
        QTest::newRow("alignment per paragraph")
            << QByteArray(
                   "{\\rtf1\\qc a\\par b\\par\\pard c\\par\\qr d\\par\\qj e\\par\\ql f\\par}")
            << QStringLiteral("|{}a / |{}b / <{}c / >{}d / ={}e / <{}f");
        QTest::newRow("alignment taken at the paragraph end")
            << QByteArray("{\\rtf1 a\\qc\\par}") << QStringLiteral("|{}a");
        QTest::newRow("paragraph alignment restored by the group")
            << QByteArray("{\\rtf1{\\qr a}\\par}") << QStringLiteral("<{}a");
    }
    void styles() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        const RtfReadResult result = readRtf(bytes(rtf));
        QCOMPARE(result.error, RtfError::None);
        QCOMPARE(describe(result.document), expected);
    }

    void paragraphFormat() {
        const RtfReadResult result = readRtf(
            "{\\rtf1\\deftab360\\li300\\fi-300\\ri100 a\\par\\pard b\\par"
            "\\li99999999\\fi-99999999 c\\par}");
        QCOMPARE(result.error, RtfError::None);
        const auto& paragraphs = result.document.paragraphs;
        QCOMPARE(paragraphs.size(), std::size_t{3});
        QCOMPARE(result.document.defaultTab, 360);
        QCOMPARE(paragraphs[0].format.leftIndent, 300);
        QCOMPARE(paragraphs[0].format.firstIndent, -300);
        QCOMPARE(paragraphs[0].format.rightIndent, 100);
        QVERIFY(paragraphs[1].format == rtf::ParagraphFormat{});  // \pard resets all of it
        QCOMPARE(paragraphs[2].format.leftIndent, 31680);
        QCOMPARE(paragraphs[2].format.firstIndent, -31680);
        QCOMPARE(readRtf("{\\rtf1\\deftab0 x}").document.defaultTab, rtf::kDefaultTab);
    }

    void fontAndColourTables() {
        const RtfReadResult result = readRtf(
            "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
            "{\\f1\\fswiss{\\*\\panose 020b0604020202020204}Arial;}{\\f2 No Semicolon}"
            "\\f3 Loose Entry;{\\f0 Duplicate;}}"
            "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue300;}x\\par}");
        QCOMPARE(result.error, RtfError::None);
        const rtf::Document& document = result.document;
        QCOMPARE(document.defaultFont, 1);
        QCOMPARE(document.fonts.size(), std::size_t{4});
        QCOMPARE(QString::fromStdString(document.font(0)->name), QStringLiteral("Times New Roman"));
        QCOMPARE(QString::fromStdString(document.font(1)->name), QStringLiteral("Arial"));
        QCOMPARE(QString::fromStdString(document.font(2)->name), QStringLiteral("No Semicolon"));
        QCOMPARE(QString::fromStdString(document.font(3)->name), QStringLiteral("Loose Entry"));
        QVERIFY(document.font(4) == nullptr);

        QCOMPARE(document.colors.size(), std::size_t{3});
        QVERIFY(document.colors[0].automatic);
        QVERIFY(!document.colors[1].automatic);
        QCOMPARE(int{document.colors[1].red}, 255);
        QCOMPARE(int{document.colors[1].green}, 0);
        QCOMPARE(int{document.colors[2].green}, 128);
        QCOMPARE(int{document.colors[2].blue}, 255);  // clamped
        QCOMPARE(QString::fromStdString(document.plainText()), QStringLiteral("x"));
    }

    void tablesAreCapped() {
        std::string rtf = "{\\rtf1{\\fonttbl";
        for (int i = 0; i < 3000; ++i) {
            rtf += "{\\f" + std::to_string(i) + " F" + std::string(1000, 'n') + ";}";
        }
        rtf += "}{\\colortbl";
        for (int i = 0; i < 3000; ++i) {
            rtf += "\\red1;";
        }
        rtf += "}x\\par}";
        const RtfReadResult result = readRtf(rtf);
        QCOMPARE(result.error, RtfError::None);
        QCOMPARE(result.document.fonts.size(), RtfReader::kMaxFonts);
        QCOMPARE(result.document.colors.size(), RtfReader::kMaxColors);
        QVERIFY(result.document.fonts.front().name.size() <= RtfReader::kMaxFontName);
        QCOMPARE(QString::fromStdString(result.document.plainText()), QStringLiteral("x"));
    }

    void notRtf_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("plain text") << QByteArray("Hello, this is a manual.");
        QTest::newRow("html") << QByteArray("<html><body>{\\rtf1 x}</body></html>");
        QTest::newRow("leading blank") << QByteArray(" {\\rtf1 x\\par}");
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF{\\rtf1 x\\par}");
        QTest::newRow("upper-case signature") << QByteArray("{\\RTF1 x\\par}");
        QTest::newRow("cut-off signature") << QByteArray("{\\rt");
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11);
    }
    void notRtf() {
        QFETCH(QByteArray, input);
        const RtfReadResult result = readRtf(bytes(input));
        QCOMPARE(result.error, RtfError::NotRtf);
        QVERIFY(result.document.paragraphs.empty());
        QVERIFY(result.document.fonts.empty());
    }

    void tooLarge() {
        // Mostly the raw data of one picture, which costs the reader least to pass over.
        std::string huge = "{\\rtf1 kept\\par{\\pict\\bin2000000000 ";
        huge.resize(RtfReader::kMaxInputBytes, 'a');
        QCOMPARE(readRtf(huge).error, RtfError::None);
        QCOMPARE(QString::fromStdString(readRtf(huge).document.plainText()),
                 QStringLiteral("kept"));

        huge += 'a';
        QCOMPARE(readRtf(huge).error, RtfError::TooLarge);
        // Fed piecewise, the reader counts for itself and drops what it had read.
        RtfReader reader;
        reader.feed(huge);
        QCOMPARE(reader.finish(), RtfError::TooLarge);
        QVERIFY(reader.takeDocument().paragraphs.empty());
    }

    void hostile_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");

        QTest::newRow("100000 open braces")
            << (QByteArray("{\\rtf1 a") + QByteArray(100000, '{') + QByteArray("hidden"))
            << QStringLiteral("a");
        QTest::newRow("100000 braces closed again")
            << (QByteArray("{\\rtf1 a") + QByteArray(100000, '{') + QByteArray("hidden") +
                QByteArray(100000, '}') + QByteArray("b\\par}"))
            << QStringLiteral("ab");
        QTest::newRow("deep nesting below the cap keeps text")
            << (QByteArray("{\\rtf1 ") + QByteArray(200, '{') + QByteArray("deep") +
                QByteArray(200, '}') + QByteArray("\\par}"))
            << QStringLiteral("deep");
        QTest::newRow("100000 closing braces")
            << (QByteArray("{\\rtf1 a") + QByteArray(100000, '}') + QByteArray("b"))
            << QStringLiteral("a");
        QTest::newRow("huge bin count")
            << QByteArray("{\\rtf1 a\\bin2147483647 xyz}") << QStringLiteral("a");
        QTest::newRow("bin count beyond 32 bits")
            << QByteArray("{\\rtf1 a\\bin99999999999999999999 b}") << QStringLiteral("a");
        QTest::newRow("negative bin count")
            << QByteArray("{\\rtf1 a\\bin-5 b\\par}") << QStringLiteral("ab");
        QTest::newRow("huge uc count")
            << QByteArray("{\\rtf1\\uc99999\\u233 abc\\par}") << QStringLiteral("\u00e9");
        QTest::newRow("star at the top level") << QByteArray("{\\rtf1\\*x\\par}") << QString();
        QTest::newRow("signature only") << QByteArray("{\\rtf") << QString();
    }
    void hostile() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        const RtfReadResult result = readRtf(bytes(rtf));
        QCOMPARE(result.error, RtfError::None);
        QCOMPARE(QString::fromStdString(result.document.plainText()), expected);
    }

    // What the manual window lays out is bounded whatever the file: words are broken, and
    // paragraphs, runs and text stop at their caps.
    void layoutIsBounded_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("withoutBreaks");  // the text with the added breaks removed
        const QByteArray longWord(3 * RtfReader::kMaxWordLength + 7, 'W');
        QTest::newRow("one long word")
            << (QByteArray("{\\rtf1 ") + longWord + QByteArray("\\par}")) << QString(longWord);
        QTest::newRow("long word across style changes")
            << (QByteArray("{\\rtf1 ") + longWord + QByteArray("\\b ") + longWord +
                QByteArray("\\b0 ") + longWord + QByteArray("}"))
            << QString(longWord + longWord + longWord);
        const QByteArray word(RtfReader::kMaxWordLength, 'w');
        QTest::newRow("words at the limit need no break")
            << (QByteArray("{\\rtf1 ") + word + ' ' + word + "\\tab " + word + "\\line " + word +
                "\\par " + word + "}")
            << QString(word + ' ' + word + '\t' + word + '\n' + word + '\n' + word);
        QTest::newRow("ideographs need no break")
            << QByteArray("{\\rtf1 ") + QByteArray("\\u20013?").repeated(500) + QByteArray("}")
            << QString(500, QChar(0x4E2D));
        QTest::newRow("one word made of escapes")
            << QByteArray("{\\rtf1 ") + QByteArray("\\'e9").repeated(450) + QByteArray("}")
            << QString(450, QChar(0xE9));
    }
    void layoutIsBounded() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, withoutBreaks);
        const RtfReadResult result = readRtf(bytes(rtf));
        QCOMPARE(result.error, RtfError::None);
        QString text = QString::fromStdString(result.document.plainText());
        std::size_t unbroken = 0;
        std::size_t longest = 0;
        for (const QChar c : text) {
            const bool breaks = c == QLatin1Char(' ') || c == QLatin1Char('\t') ||
                                c == QLatin1Char('\n') || c.unicode() == RtfReader::kWordBreak ||
                                c.unicode() >= 0x4E00;
            unbroken = breaks ? 0 : unbroken + 1;
            longest = std::max(longest, unbroken);
        }
        QVERIFY2(longest <= RtfReader::kMaxWordLength, qPrintable(QString::number(longest)));
        text.remove(QChar(static_cast<char16_t>(RtfReader::kWordBreak)));
        QCOMPARE(text, withoutBreaks);
    }

    void documentIsCapped_data() {
        QTest::addColumn<QByteArray>("unit");  // repeated far beyond every cap
        QTest::newRow("paragraphs") << QByteArray("p\\par ");
        QTest::newRow("style changes") << QByteArray("\\b a\\b0 b");
        QTest::newRow("text") << QByteArray("text ");
        QTest::newRow("unbroken text") << QByteArray("t");
    }
    void documentIsCapped() {
        QFETCH(QByteArray, unit);
        const std::string rtf =
            "{\\rtf1 " +
            bytes(unit.repeated(static_cast<qsizetype>(2 * RtfReader::kMaxTextBytes /
                                                       static_cast<std::size_t>(unit.size())))) +
            "}";
        const RtfReadResult result = readRtf(rtf);
        QCOMPARE(result.error, RtfError::None);
        const rtf::Document& document = result.document;
        QVERIFY(!document.paragraphs.empty());
        QVERIFY(document.paragraphs.size() <= RtfReader::kMaxParagraphs);
        std::size_t runs = 0;
        std::size_t textBytes = 0;
        for (const rtf::Paragraph& paragraph : document.paragraphs) {
            runs += paragraph.runs.size();
            for (const rtf::Run& run : paragraph.runs) {
                textBytes += run.text.size();
            }
        }
        QVERIFY(runs <= RtfReader::kMaxRuns);
        // The character that reaches the cap is kept whole, with the break before it.
        QVERIFY(textBytes < RtfReader::kMaxTextBytes + 8);
        // Each of them stops the document at its cap, not far below it.
        QVERIFY(document.paragraphs.size() == RtfReader::kMaxParagraphs ||
                runs == RtfReader::kMaxRuns || textBytes >= RtfReader::kMaxTextBytes);
    }

    void manyParagraphsAreCapped() {
        std::string rtf = "{\\rtf1 ";
        for (std::size_t i = 0; i < RtfReader::kMaxParagraphs + 100; ++i) {
            rtf += "p\\par ";
        }
        rtf += "}";
        const RtfReadResult result = readRtf(rtf);
        QCOMPARE(result.error, RtfError::None);
        QCOMPARE(result.document.paragraphs.size(), RtfReader::kMaxParagraphs);
    }

    // Random bytes biased towards RTF syntax, from a fixed seed so a failure repeats.
    void randomInputs() {
        static const char kAlphabet[] = "{}\\\\\\''*abcdefiluqrpnt0123456789- \r\n;";
        std::mt19937 random(20100205);
        for (int round = 0; round < 3000; ++round) {
            std::string input = "{\\rtf1";
            const std::size_t length = random() % 1500;
            for (std::size_t i = 0; i < length; ++i) {
                const unsigned pick = random() % 4;
                input += pick == 0 ? static_cast<char>(random() % 256)
                                   : kAlphabet[random() % (sizeof kAlphabet - 1)];
            }
            const RtfReadResult result = readRtf(input);
            QCOMPARE(result.error, RtfError::None);
            const std::string text = result.document.plainText();
            QVERIFY2(isValidUtf8(text), input.c_str());
            // Every byte yields at most one character of at most four bytes, plus separators.
            QVERIFY(text.size() <= 4 * input.size());
        }
    }

    void shippedManualIsReadable() {
        const QByteArray manual = shippedManual();
        QVERIFY(!manual.isEmpty());
        const RtfReadResult result = readRtf(bytes(manual));
        QCOMPARE(result.error, RtfError::None);
        const QString text = QString::fromStdString(result.document.plainText());
        QVERIFY(text.contains(QStringLiteral("RS232 \u958b\u555f")));
        QVERIFY(text.contains(QStringLiteral("dialout")));
        QVERIFY(!text.contains(QLatin1Char('\\')));  // no control word leaked into the text
        bool anyBold = false;
        for (const rtf::Paragraph& paragraph : result.document.paragraphs) {
            for (const rtf::Run& run : paragraph.runs) {
                anyBold = anyBold || run.style.bold;
            }
        }
        QVERIFY(anyBold);
    }

    // A file cut off anywhere reads as a prefix of the whole text (except where the cut falls
    // into the number of a \u, which then names another character).
    void truncatedManual() {
        const std::string manual = bytes(shippedManual());
        QVERIFY(!manual.empty());
        const std::string full = readRtf(manual).document.plainText();
        for (std::size_t cut = 0; cut < manual.size(); cut += 13) {
            const std::string part = manual.substr(0, cut);
            const RtfReadResult result = readRtf(part);
            if (cut < 5) {
                QCOMPARE(result.error, RtfError::NotRtf);
                continue;
            }
            QCOMPARE(result.error, RtfError::None);
            const std::string text = result.document.plainText();
            QVERIFY(isValidUtf8(text));
            const std::size_t tail = cut > 12 ? cut - 12 : 0;
            if (part.find("\\u", tail) == std::string::npos) {
                QVERIFY2(full.compare(0, text.size(), text) == 0,
                         qPrintable(QStringLiteral("cut at %1").arg(cut)));
            }
        }
    }

    void corruptedManual() {
        const std::string manual = bytes(shippedManual());
        QVERIFY(!manual.empty());
        std::mt19937 random(1440);
        for (int round = 0; round < 150; ++round) {
            std::string damaged = manual;
            for (int flips = 0; flips < 20; ++flips) {
                damaged[5 + random() % (damaged.size() - 5)] = static_cast<char>(random() % 256);
            }
            const RtfReadResult result = readRtf(damaged);
            QCOMPARE(result.error, RtfError::None);
            QVERIFY(isValidUtf8(result.document.plainText()));
        }
    }
};

QTEST_APPLESS_MAIN(RtfReaderTest)
#include "test_rtfreader.moc"
