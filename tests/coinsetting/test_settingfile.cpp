#include <QTest>

#include <sstream>

#include "coinsetting/settingfile.h"
#include "feed.h"

using namespace pellix;
using pellix::test::Bytes;
using pellix::test::Chunks;

Q_DECLARE_METATYPE(pellix::LoadEnd)

namespace {

constexpr std::uint64_t kFiftyMegabytes = 50ull * 1024 * 1024;

// The 16 box texts expected after a load: the given ones, then "0".
QStringList boxes(QStringList loaded) {
    while (loaded.size() < kSettingChannels) {
        loaded << QStringLiteral("0");
    }
    return loaded;
}

QStringList toList(const SettingBoxTexts& texts) {
    QStringList out;
    for (const std::string& t : texts) {
        out << QString::fromStdString(t);
    }
    return out;
}

QString endName(LoadEnd end) {
    switch (end) {
        case LoadEnd::AllChannels:
            return QStringLiteral("all channels");
        case LoadEnd::EndOfFile:
            return QStringLiteral("end of file");
        case LoadEnd::NotDigits:
            return QStringLiteral("not digits");
    }
    return {};
}

// Everything a load decides, in one comparable value.
QStringList outcome(const SettingFileContent& content) {
    return toList(content.boxes) << QString::number(content.loadedChannels) << endName(content.end);
}

// A source that hands out one chunk per call, the way a file is read piece by piece.
SettingFileContent readChunks(const Chunks& chunks) {
    std::size_t next = 0;
    return readSettingFile([&](std::span<char> buffer) -> std::size_t {
        while (next < chunks.size() && chunks[next].empty()) {
            ++next;
        }
        if (next == chunks.size()) {
            return 0;
        }
        const Bytes& chunk = chunks[next++];
        // Chunks here are small; the reader's buffer is larger than any of them.
        const std::size_t n = std::min(chunk.size(), buffer.size());
        std::copy_n(chunk.begin(), n, reinterpret_cast<std::uint8_t*>(buffer.data()));
        return n;
    });
}

// A file that is never held in memory: `size` bytes of `pattern` repeated, counting what the
// reader asked for.
struct GeneratedFile {
    std::string pattern;
    std::uint64_t size = 0;
    std::uint64_t handedOut = 0;

    std::size_t operator()(std::span<char> buffer) {
        std::size_t n = 0;
        while (n < buffer.size() && handedOut < size) {
            buffer[n++] = pattern[handedOut++ % pattern.size()];
        }
        return n;
    }
};

QByteArray lines(int count, const char* lineEnd = "\r\n") {
    QByteArray out;
    for (int i = 1; i <= count; ++i) {
        out += QByteArray::number(i) + lineEnd;
    }
    return out;
}

}  // namespace

class SettingFileTest : public QObject {
    Q_OBJECT
  private slots:
    void numberText_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty box is 0") << ""
                                        << "0";
        QTest::newRow("zero") << "0"
                              << "0";
        QTest::newRow("only zeros") << "00000"
                                    << "0";
        QTest::newRow("leading zeros dropped") << "007"
                                               << "7";
        QTest::newRow("inner zeros stay") << "1000"
                                          << "1000";
        QTest::newRow("beyond the range is written as is") << "99999"
                                                           << "99999";
        QTest::newRow("stray text ends the number") << "12a4"
                                                    << "12";
    }
    void numberText() {
        QFETCH(QString, box);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(boxNumberText(box.toStdString())), expected);
    }

    void writtenBytes() {
        SettingBoxTexts texts;
        texts.fill("0");
        texts[0] = "1000";
        texts[1] = "";
        texts[2] = "007";
        texts[3] = "65535";
        texts[15] = "70000";
        QByteArray expected = " 1000\r\n 0\r\n 7\r\n 65535\r\n";
        for (int i = 4; i < 15; ++i) {
            expected += " 0\r\n";
        }
        expected += " 70000\r\n";
        QCOMPARE(QByteArray::fromStdString(settingFileText(texts)), expected);
    }

    void roundTrip_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("loaded");
        QTest::newRow("every channel different")
            << QStringList{"1",    "22", "333", "4444", "55555", "65535", "0",  "7",
                           "8080", "9",  "10",  "11",   "12",    "13",    "14", "15"}
            << QStringList{"1",    "22", "333", "4444", "55555", "65535", "0",  "7",
                           "8080", "9",  "10",  "11",   "12",    "13",    "14", "15"};
        QTest::newRow("empty boxes and leading zeros")
            << QStringList{"", "007", "0", "", "00100", "", "", "", "", "", "", "", "", "", "", "1"}
            << QStringList{"0", "7", "0", "0", "100", "0", "0", "0",
                           "0", "0", "0", "0", "0",   "0", "0", "1"};
    }
    void roundTrip() {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, loaded);
        SettingBoxTexts written;
        for (int i = 0; i < kSettingChannels; ++i) {
            written[static_cast<std::size_t>(i)] = texts[i].toStdString();
        }
        std::istringstream in(settingFileText(written));
        const SettingFileContent content = readSettingFile(in);
        QCOMPARE(toList(content.boxes), loaded);
        QCOMPARE(content.loadedChannels, kSettingChannels);
        QCOMPARE(content.end, LoadEnd::AllChannels);
    }

    void read_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("loaded");
        QTest::addColumn<LoadEnd>("end");

        const QByteArray sixteen = lines(16);
        QStringList numbers;
        for (int i = 1; i <= 16; ++i) {
            numbers << QString::number(i);
        }
        QTest::newRow("sixteen lines") << sixteen << numbers << 16 << LoadEnd::AllChannels;
        QTest::newRow("anything after sixteen fields is ignored")
            << sixteen + "abc\r\n\0\xff" << numbers << 16 << LoadEnd::AllChannels;
        QTest::newRow("spaces inside a field are removed")
            << QByteArray(" 100\r\n 2 00\r\n") + lines(14)
            << QStringList{"100", "200", "1", "2",  "3",  "4",  "5",  "6",
                           "7",   "8",   "9", "10", "11", "12", "13", "14"}
            << 16 << LoadEnd::AllChannels;
        QTest::newRow("letter in line 3 stops the load")
            << QByteArray(" 1\r\n 2\r\n 12a\r\n 4\r\n 5\r\n") << boxes({"1", "2"}) << 2
            << LoadEnd::NotDigits;
        QTest::newRow("one line with commas ends silently")
            << QByteArray("5,6,7\r\n") << boxes({"5", "6", "7"}) << 3 << LoadEnd::EndOfFile;
        QTest::newRow("beyond the range loads unchecked")
            << QByteArray(" 70000\r\n") << boxes({"70000"}) << 1 << LoadEnd::EndOfFile;
        QTest::newRow("six digits cut to five")
            << QByteArray("123456\r\n") << boxes({"12345"}) << 1 << LoadEnd::EndOfFile;
        QTest::newRow("leading zeros kept")
            << QByteArray("007\r\n00000\r\n") << boxes({"007", "00000"}) << 2 << LoadEnd::EndOfFile;
        QTest::newRow("LF line ends")
            << QByteArray("1\n2\n3\n") << boxes({"1", "2", "3"}) << 3 << LoadEnd::EndOfFile;
        QTest::newRow("CR line ends")
            << QByteArray("1\r2\r3\r") << boxes({"1", "2", "3"}) << 3 << LoadEnd::EndOfFile;
        QTest::newRow("mixed line ends, last line unterminated")
            << QByteArray("1\r\n2\n3\r4") << boxes({"1", "2", "3", "4"}) << 4 << LoadEnd::EndOfFile;
        QTest::newRow("blank line is an empty field")
            << QByteArray("1\r\n\r\n3\r\n") << boxes({"1", "0", "3"}) << 3 << LoadEnd::EndOfFile;
        QTest::newRow("field of spaces is 0")
            << QByteArray("   \r\n9") << boxes({"0", "9"}) << 2 << LoadEnd::EndOfFile;
        QTest::newRow("trailing comma ends the file without a field")
            << QByteArray("5,") << boxes({"5"}) << 1 << LoadEnd::EndOfFile;
        QTest::newRow("comma before line end leaves an empty field")
            << QByteArray("5,\r\n6") << boxes({"5", "0", "6"}) << 3 << LoadEnd::EndOfFile;
        QTest::newRow("quoted fields lose their quotes")
            << QByteArray("\"12\", \" 3 4\" \r\n\"\"\r\n") << boxes({"12", "34", "0"}) << 3
            << LoadEnd::EndOfFile;
        QTest::newRow("comma inside quotes belongs to the field")
            << QByteArray("1,\"5,6\"\r\n") << boxes({"1"}) << 1 << LoadEnd::NotDigits;
        QTest::newRow("line end inside quotes belongs to the field")
            << QByteArray("\"5\r\n6\"") << boxes({}) << 0 << LoadEnd::NotDigits;
        QTest::newRow("text after the closing quote is checked")
            << QByteArray("\"5\"x\r\n") << boxes({}) << 0 << LoadEnd::NotDigits;
        QTest::newRow("quote inside a plain field is no digit")
            << QByteArray("5\"6\"\r\n") << boxes({}) << 0 << LoadEnd::NotDigits;
        QTest::newRow("unterminated quote runs to the end")
            << QByteArray("\"42") << boxes({"42"}) << 1 << LoadEnd::EndOfFile;
        QTest::newRow("tab is no space")
            << QByteArray("\t1\r\n") << boxes({}) << 0 << LoadEnd::NotDigits;
        QTest::newRow("minus sign is no digit")
            << QByteArray("3\r\n-1\r\n") << boxes({"3"}) << 1 << LoadEnd::NotDigits;
        QTest::newRow("empty file") << QByteArray() << boxes({}) << 0 << LoadEnd::EndOfFile;
        QTest::newRow("file of NUL bytes")
            << QByteArray(600, '\0') << boxes({}) << 0 << LoadEnd::NotDigits;
        QTest::newRow("NUL inside a later field")
            << QByteArray("1\r\n2\0003\r\n", 8) << boxes({"1"}) << 1 << LoadEnd::NotDigits;
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b) {
            everyByte += static_cast<char>(b);
        }
        QTest::newRow("binary content") << everyByte << boxes({}) << 0 << LoadEnd::NotDigits;
        // Fields longer than the reader keeps at once are judged piece by piece.
        QTest::newRow("long field of spaces around digits")
            << QByteArray(600, ' ') + "12" + QByteArray(600, ' ') + "\r\n3" << boxes({"12", "3"})
            << 2 << LoadEnd::EndOfFile;
        QTest::newRow("digits straddling a piece boundary")
            << "1" + QByteArray(300, ' ') + "234567" << boxes({"12345"}) << 1 << LoadEnd::EndOfFile;
        QTest::newRow("long digit run")
            << QByteArray(1000, '1') + "\r\n2" << boxes({"11111", "2"}) << 2 << LoadEnd::EndOfFile;
        QTest::newRow("letter late in a long field")
            << QByteArray(1000, '1') + "x\r\n2" << boxes({}) << 0 << LoadEnd::NotDigits;
        QTest::newRow("only spaces after a long quoted run")
            << "\"" + QByteArray(700, ' ') + "\"" << boxes({"0"}) << 1 << LoadEnd::EndOfFile;
    }
    void read() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        QFETCH(int, loaded);
        QFETCH(LoadEnd, end);
        const Bytes bytes(file.begin(), file.end());
        const QStringList result = pellix::test::sameOutcomeForEverySplit(
            bytes, [](const Chunks& chunks) { return outcome(readChunks(chunks)); });
        QCOMPARE(result, expected << QString::number(loaded) << endName(end));
    }

    void stopsRightAfterSixteenFields() {
        const QByteArray sixteen = lines(16);
        const std::string file = (sixteen + lines(100)).toStdString();
        std::istringstream in(file);
        const SettingFileContent content = readSettingFile(in);
        QCOMPARE(content.end, LoadEnd::AllChannels);
        // The LF of the 16th line end is not needed to decide anything.
        QCOMPARE(content.bytesUsed, static_cast<std::uint64_t>(sixteen.size() - 1));
    }

    void stopsAtTheBadField() {
        std::istringstream in(std::string("1\r\n2\r\nx") + std::string(10000, '9'));
        const SettingFileContent content = readSettingFile(in);
        QCOMPARE(content.end, LoadEnd::NotDigits);
        QVERIFY2(content.bytesUsed <= 6 + 256, qPrintable(QString::number(content.bytesUsed)));
    }

    // A 50 MB file on one line: the reader looks at what it needs, never at the whole line.
    void hugeSingleLine_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<LoadEnd>("end");
        QTest::addColumn<qulonglong>("maxUsed");
        QTest::newRow("many comma fields")
            << QByteArray("7,") << QStringList(16, QStringLiteral("7")) << LoadEnd::AllChannels
            << qulonglong(32);
        QTest::newRow("letters") << QByteArray("x") << boxes({}) << LoadEnd::NotDigits
                                 << qulonglong(256);
        QTest::newRow("NUL bytes")
            << QByteArray(1, '\0') << boxes({}) << LoadEnd::NotDigits << qulonglong(256);
        QTest::newRow("spaces then a letter")
            << QByteArray("    a") << boxes({}) << LoadEnd::NotDigits << qulonglong(260);
    }
    void hugeSingleLine() {
        QFETCH(QByteArray, pattern);
        QFETCH(QStringList, expected);
        QFETCH(LoadEnd, end);
        QFETCH(qulonglong, maxUsed);
        GeneratedFile file{pattern.toStdString(), kFiftyMegabytes};
        const SettingFileContent content = readSettingFile(std::ref(file));
        QCOMPARE(toList(content.boxes), expected);
        QCOMPARE(content.end, end);
        QVERIFY2(content.bytesUsed <= maxUsed, qPrintable(QString::number(content.bytesUsed)));
        // The source is asked for one piece at most beyond what was used.
        QVERIFY2(file.handedOut <= content.bytesUsed + 4096,
                 qPrintable(QString::number(file.handedOut)));
    }

    // One long field of digits has to be read to its end (a letter could come last), but
    // only its first five digits are kept. (The 50 MB read of this kind is in bench/.)
    void longDigitField() {
        constexpr std::uint64_t kSize = 4ull * 1024 * 1024;
        GeneratedFile file{"1234567890", kSize};
        const SettingFileContent content = readSettingFile(std::ref(file));
        QCOMPARE(toList(content.boxes), boxes({"12345"}));
        QCOMPARE(content.end, LoadEnd::EndOfFile);
        QCOMPARE(content.bytesUsed, kSize);
    }

    void failingStreamEndsTheLoad() {
        std::istringstream in("1\r\n2");
        in.setstate(std::ios::badbit);
        const SettingFileContent content = readSettingFile(in);
        QCOMPARE(content.loadedChannels, 0);
        QCOMPARE(content.end, LoadEnd::EndOfFile);
        QCOMPARE(toList(content.boxes), boxes({}));
    }

    void feedAfterDoneIsRefused() {
        SettingFileReader reader;
        QVERIFY(reader.feed('x'));  // still undecided: more letters or spaces may follow
        reader.finish();
        QVERIFY(reader.done());
        QCOMPARE(reader.content().end, LoadEnd::NotDigits);
        QVERIFY(!reader.feed('1'));
        QCOMPARE(reader.content().bytesUsed, std::uint64_t(1));
    }
};

QTEST_APPLESS_MAIN(SettingFileTest)
#include "test_settingfile.moc"
