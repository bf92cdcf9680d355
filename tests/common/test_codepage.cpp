#include <QTest>

#include "common/codepage.h"
#include "platform/qttext.h"

using namespace pellix;

class CodePageTest : public QObject {
    Q_OBJECT
  private slots:
    // Every byte decodes to one character that encodes back to the same byte.
    void everyByteRoundTrips() {
        for (int b = 0; b < 256; ++b) {
            const auto byte = static_cast<std::uint8_t>(b);
            const std::string text = decodeWindows1252(std::span<const std::uint8_t>(&byte, 1));
            QCOMPARE(toQString(text).toUcs4().size(), 1);
            const Windows1252Text back = encodeWindows1252(text);
            QVERIFY2(back.complete(), qPrintable(QString::number(b, 16)));
            QCOMPARE(back.bytes, std::vector<std::uint8_t>{byte});
        }
    }

    void characters_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<uint>("character");
        QTest::newRow("zero") << 0x00 << 0x0000u;
        QTest::newRow("A") << 0x41 << 0x0041u;
        QTest::newRow("delete") << 0x7F << 0x007Fu;
        QTest::newRow("euro") << 0x80 << 0x20ACu;
        QTest::newRow("undefined 81") << 0x81 << 0x0081u;
        QTest::newRow("low quote") << 0x82 << 0x201Au;
        QTest::newRow("undefined 8D") << 0x8D << 0x008Du;
        QTest::newRow("Z caron") << 0x8E << 0x017Du;
        QTest::newRow("undefined 8F") << 0x8F << 0x008Fu;
        QTest::newRow("undefined 90") << 0x90 << 0x0090u;
        QTest::newRow("trade mark") << 0x99 << 0x2122u;
        QTest::newRow("undefined 9D") << 0x9D << 0x009Du;
        QTest::newRow("Y diaeresis") << 0x9F << 0x0178u;
        QTest::newRow("no-break space") << 0xA0 << 0x00A0u;
        QTest::newRow("e acute") << 0xE9 << 0x00E9u;
        QTest::newRow("y diaeresis") << 0xFF << 0x00FFu;
    }
    void characters() {
        QFETCH(int, byte);
        QFETCH(uint, character);
        QCOMPARE(static_cast<uint>(windows1252Character(static_cast<std::uint8_t>(byte))),
                 character);
        const auto code = windows1252Byte(static_cast<char32_t>(character));
        QVERIFY(code.has_value());
        QCOMPARE(int(*code), byte);
    }

    // Characters without a byte are left out of the bytes and reported with their position.
    void unencodable_data() {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<uint>>("positions");
        QTest::addColumn<QList<uint>>("characters");
        QTest::newRow("all encodable")
            << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC") << QByteArray("Caf\xE9 \x80") << QList<uint>{}
            << QList<uint>{};
        QTest::newRow("A macron") << QByteArray(
                                         "A\xC4\x80"
                                         "B")
                                  << QByteArray("AB") << QList<uint>{1} << QList<uint>{0x100};
        QTest::newRow("Chinese") << QByteArray("\xE8\xBB\x9F\xE9\xAB\x94") << QByteArray()
                                 << QList<uint>{0, 1} << QList<uint>{0x8EDF, 0x9AD4};
        QTest::newRow("control 80 is no euro")
            << QByteArray("\xC2\x80") << QByteArray() << QList<uint>{0} << QList<uint>{0x80};
        QTest::newRow("emoji is one character")
            << QByteArray("x\xF0\x9F\x98\x80y") << QByteArray("xy") << QList<uint>{1}
            << QList<uint>{0x1F600};
        // Malformed UTF-8: each offending byte is one U+FFFD, never a silent byte.
        QTest::newRow("cut-off sequence")
            << QByteArray("a\xC3") << QByteArray("a") << QList<uint>{1} << QList<uint>{0xFFFD};
        QTest::newRow("overlong zero") << QByteArray("\xC0\x80") << QByteArray()
                                       << QList<uint>{0, 1} << QList<uint>{0xFFFD, 0xFFFD};
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80z") << QByteArray("z")
                                   << QList<uint>{0, 1, 2} << QList<uint>{0xFFFD, 0xFFFD, 0xFFFD};
        QTest::newRow("above U+10FFFF")
            << QByteArray("\xF4\x90\x80\x80") << QByteArray() << QList<uint>{0, 1, 2, 3}
            << QList<uint>{0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD};
        QTest::newRow("stray continuation")
            << QByteArray("\x80q") << QByteArray("q") << QList<uint>{0} << QList<uint>{0xFFFD};
    }
    void unencodable() {
        QFETCH(QByteArray, utf8);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<uint>, positions);
        QFETCH(QList<uint>, characters);
        const Windows1252Text out = encodeWindows1252(
            std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(out.bytes.data()),
                            static_cast<qsizetype>(out.bytes.size())),
                 bytes);
        QList<uint> gotPositions;
        QList<uint> gotCharacters;
        for (const UnencodableCharacter& u : out.unencodable) {
            gotPositions << static_cast<uint>(u.position);
            gotCharacters << static_cast<uint>(u.character);
        }
        QCOMPARE(gotPositions, positions);
        QCOMPARE(gotCharacters, characters);
        QCOMPARE(out.complete(), positions.isEmpty());
    }

    // UTF-8 written by the tool reads back as the same characters.
    void utf8RoundTrip() {
        const std::u32string characters = {0x41,  0x7F,   0x80,    0x7FF,
                                           0x800, 0xFFFF, 0x10000, 0x10FFFF};
        std::string utf8;
        for (char32_t c : characters) {
            appendUtf8(utf8, c);
        }
        QCOMPARE(utf8ToCharacters(utf8), characters);
        QCOMPARE(toQString(utf8).toUcs4(), QList<uint>(characters.begin(), characters.end()));

        std::string bad;
        appendUtf8(bad, 0xD800);
        appendUtf8(bad, 0x110000);
        QCOMPARE(utf8ToCharacters(bad), std::u32string(2, 0xFFFD));
    }

    void decodeText() {
        const std::vector<std::uint8_t> bytes = {'P', 'X', 0x80, 0x93, 0xE9, 0x94, 0x00};
        QCOMPARE(toQString(decodeWindows1252(bytes)), QString::fromUtf8("PX€“é”") + QChar(0));
    }
};

QTEST_APPLESS_MAIN(CodePageTest)
#include "test_codepage.moc"
