#include <QTest>

#include <optional>

#include "cny/cnydecoder.h"
#include "cny/cnyframe.h"
#include "cny/cnyreplyassembler.h"
#include "feed.h"

using namespace pellix;
using namespace pellix::cny;
using pellix::test::Bytes;
using pellix::test::bytesFromHex;
using pellix::test::Chunks;

namespace {

QString hexText(const Bytes& bytes) {
    QStringList parts;
    for (std::uint8_t b : bytes) {
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return parts.join(QLatin1Char(' '));
}

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

// Everything an assembler tells its window except the byte listing, as readable lines.
class RecordingListener final : public ReplyListener {
  public:
    void byteListed(std::uint8_t byte) override { listed.push_back(byte); }
    void showStatus(std::string_view t) override { events << QStringLiteral("status:") + text(t); }
    void showRemainCoin(std::string_view t) override {
        events << QStringLiteral("remain:") + text(t);
    }
    void logReply(const Frame& frame, LogMessage message) override {
        events << QStringLiteral("RX %1 %2")
                      .arg(hexText(Bytes(frame.begin(), frame.end())),
                           text(logMessageText(message)))
                      .trimmed();
    }
    Bytes listed;
    QStringList events;
};

QStringList run(ReplyAssembler& assembler, const Chunks& chunks, Bytes* listed = nullptr) {
    RecordingListener listener;
    for (const Bytes& chunk : chunks) {
        for (std::uint8_t b : chunk) {
            assembler.feed(b, listener);
        }
    }
    if (listed) {
        *listed = listener.listed;
    }
    return listener.events;
}

// One frame of the line in either direction and what it means.
struct FrameCase {
    const char* tag;
    const char* hex;
    bool command;
    int index;  // button index of a command
    std::uint8_t address;
    std::uint8_t code;
    std::uint8_t data;
    const char* status;      // nullptr: Status box unchanged
    const char* remainCoin;  // nullptr: Remain Coin box unchanged
    const char* message;
};

const FrameCase kFrames[] = {
    // Commands, as the buttons send them.
    {"request status, address 2", "05 10 02 11 00 28", true, 2, 2, 0x11, 0, nullptr, nullptr,
     "STATUS QUERY"},
    {"payout reply 10, address 0", "05 10 00 14 0A 33", true, 1, 0, 0x14, 10, nullptr, nullptr,
     "PAYOUT ACTIVE REPLY"},
    {"reset, address 3", "05 10 03 12 00 2A", true, 4, 3, 0x12, 0, nullptr, nullptr,
     "HOPPER RESET"},
    {"remain coin query, address 1", "05 10 01 13 00 29", true, 3, 1, 0x13, 0, nullptr, nullptr,
     "REMAIN COIN QUERY"},
    {"payout no reply 255, checksum wraps", "05 10 03 10 FF 27", true, 0, 3, 0x10, 255, nullptr,
     nullptr, "PAYOUT NO ACTIVE REPLY"},
    // Replies, as the hopper sends them.
    {"status no error, address 2", "05 01 02 04 00 0C", false, 0, 2, 0x04, 0x00, "No Error",
     nullptr, "NO ERROR"},
    {"status no error, address 0", "05 01 00 04 00 0A", false, 0, 0, 0x04, 0x00, "No Error",
     nullptr, "NO ERROR"},
    {"status bits 0 and 1: motor first", "05 01 00 04 03 0D", false, 0, 0, 0x04, 0x03,
     "Motor Problem", nullptr, "MOTOR PROBLEM"},
    {"status bit 1", "05 01 00 04 02 0C", false, 0, 0, 0x04, 0x02, "Insufficient Coins", nullptr,
     "INSUFFICIENT COINS"},
    {"status bit 3", "05 01 00 04 08 12", false, 0, 0, 0x04, 0x08, "Prism Sensor Failure", nullptr,
     "PRISM SENSOR FAILURE"},
    {"status bit 4", "05 01 00 04 10 1A", false, 0, 0, 0x04, 0x10, "Shaft Sensor Failure", nullptr,
     "SHAFT SENSOR FAILURE"},
    {"status bit 5", "05 01 00 04 20 2A", false, 0, 0, 0x04, 0x20, "Dispenser Is Busy", nullptr,
     "DISPENSER IS BUSY"},
    {"status 0x3B reports motor only", "05 01 00 04 3B 45", false, 0, 0, 0x04, 0x3B,
     "Motor Problem", nullptr, "MOTOR PROBLEM"},
    {"status bit 3 before bit 4 and 5", "05 01 00 04 38 42", false, 0, 0, 0x04, 0x38,
     "Prism Sensor Failure", nullptr, "PRISM SENSOR FAILURE"},
    {"status untested bit 2", "05 01 00 04 04 0E", false, 0, 0, 0x04, 0x04, nullptr, nullptr, ""},
    {"status untested bit 6", "05 01 00 04 40 4A", false, 0, 0, 0x04, 0x40, nullptr, nullptr, ""},
    {"status untested bit 7", "05 01 00 04 80 8A", false, 0, 0, 0x04, 0x80, nullptr, nullptr, ""},
    {"status untested bits 2 6 7", "05 01 01 04 C4 CF", false, 0, 1, 0x04, 0xC4, nullptr, nullptr,
     ""},
    {"payout one coin 7", "05 01 00 07 07 14", false, 0, 0, 0x07, 7, nullptr, " 7",
     "PAYOUT ONE COIN"},
    {"payout finished", "05 01 00 08 00 0E", false, 0, 0, 0x08, 0, nullptr, "Payout Finished",
     "PAYOUT FINISHED"},
    {"clear coinbox start", "05 01 03 09 00 12", false, 0, 3, 0x09, 0, nullptr, nullptr,
     "CLEAR_COINBOX_START"},
    {"ack remain 12", "05 01 01 AA 0C BD", false, 0, 1, 0xAA, 12, nullptr, " 12",
     "RESPONSE ACK OR REMAIN COIN"},
    {"ack remain 255, checksum wraps", "05 01 03 AA FF B2", false, 0, 3, 0xAA, 255, nullptr, " 255",
     "RESPONSE ACK OR REMAIN COIN"},
    {"nak remain 0", "05 01 00 BB 00 C1", false, 0, 0, 0xBB, 0, "Command deny", " 0",
     "RESPONSE NAK"},
    {"unknown code", "05 01 02 55 01 5E", false, 0, 2, 0x55, 1, nullptr, nullptr, ""},
};

// Runs the bytes whole, one at a time and split at every point, each on a fresh assembler, and
// returns what the window was told.
QStringList assembled(const Bytes& bytes) {
    return pellix::test::sameOutcomeForEverySplit(bytes, [](const Chunks& chunks) {
        ReplyAssembler assembler;
        return run(assembler, chunks);
    });
}

}  // namespace

class CnyProtocolTest : public QObject {
    Q_OBJECT
  private slots:
    // The frame table drives both the builders and the assembler.
    void frames_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < static_cast<int>(std::size(kFrames)); ++i) {
            QTest::newRow(kFrames[i].tag) << i;
        }
    }

    void buildsFrame_data() { frames_data(); }
    void buildsFrame() {
        QFETCH(int, row);
        const FrameCase& c = kFrames[row];
        const Frame frame = c.command ? commandFrame(commandAt(c.index), c.address, c.data)
                                      : replyFrame(c.address, c.code, c.data);
        QCOMPARE(hexText(Bytes(frame.begin(), frame.end())), QString::fromLatin1(c.hex));
        if (c.command) {
            QCOMPARE(commandCode(commandAt(c.index)), c.code);
            QCOMPARE(text(logMessageText(commandMessage(commandAt(c.index)))),
                     QString::fromUtf8(c.message));
        }
    }

    void assemblesFrame_data() { frames_data(); }
    void assemblesFrame() {
        QFETCH(int, row);
        const FrameCase& c = kFrames[row];
        QStringList expected;
        if (!c.command) {  // the PC's own commands echoed back are never replies
            if (c.status) {
                expected << QStringLiteral("status:") + QString::fromUtf8(c.status);
            }
            if (c.remainCoin) {
                expected << QStringLiteral("remain:") + QString::fromUtf8(c.remainCoin);
            }
            expected << QStringLiteral("RX %1 %2")
                            .arg(QString::fromLatin1(c.hex), QString::fromUtf8(c.message))
                            .trimmed();
        }
        QCOMPARE(assembled(bytesFromHex(c.hex)), expected);
    }

    void receiveCases_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QStringList>("expected");
        const QString statusRx = QStringLiteral("RX 05 01 02 04 00 0C NO ERROR");
        QTest::newRow("two replies in one read")
            << "05 01 02 04 00 0C 05 01 01 AA 0C BD"
            << QStringList{"status:No Error", statusRx, "remain: 12",
                           "RX 05 01 01 AA 0C BD RESPONSE ACK OR REMAIN COIN"};
        QTest::newRow("stray 05 loses the reply") << "05 05 01 02 04 00 0C" << QStringList{};
        QTest::newRow("stray 05 then a fresh reply")
            << "05 05 01 02 04 00 0C 05 01 02 04 00 0C" << QStringList{"status:No Error", statusRx};
        QTest::newRow("wrong second byte, then a reply")
            << "05 00 05 01 02 04 00 0C" << QStringList{"status:No Error", statusRx};
        QTest::newRow("echoed command then reply")
            << "05 10 02 11 00 28 05 01 02 04 00 0C" << QStringList{"status:No Error", statusRx};
        QTest::newRow("address 4 abandons after third byte")
            << "05 01 04 04 00 0E" << QStringList{};
        QTest::newRow("bytes after a bad address start a new frame")
            << "05 01 FF 05 01 02 04 00 0C" << QStringList{"status:No Error", statusRx};
        QTest::newRow("checksum mismatch dropped silently") << "05 01 02 04 00 0D" << QStringList{};
        QTest::newRow("checksum byte always ends the frame")
            << "05 01 02 04 00 05 01 02 04 00 0C" << QStringList{};
        QTest::newRow("noise before reply")
            << "00 FF 01 10 05 01 02 04 00 0C" << QStringList{"status:No Error", statusRx};
        QTest::newRow("any address 0 to 3 accepted")
            << "05 01 03 04 00 0D"
            << QStringList{"status:No Error", "RX 05 01 03 04 00 0D NO ERROR"};
    }
    void receiveCases() {
        QFETCH(QString, hex);
        QFETCH(QStringList, expected);
        const Bytes bytes = bytesFromHex(qPrintable(hex));
        QCOMPARE(assembled(bytes), expected);
        // Every byte is listed, also the dropped ones.
        ReplyAssembler assembler;
        Bytes listed;
        run(assembler, Chunks{bytes}, &listed);
        QCOMPARE(listed, bytes);
    }

    // A reply cut short is completed by the next bytes, however long the pause.
    void replyCompletedLater() {
        ReplyAssembler assembler;
        QVERIFY(run(assembler, Chunks{bytesFromHex("05 01 02")}).isEmpty());
        QCOMPARE(assembler.state(), ReplyAssembler::State::CodeByte);
        QCOMPARE(run(assembler, Chunks{bytesFromHex("04 00 0C")}),
                 (QStringList{"status:No Error", "RX 05 01 02 04 00 0C NO ERROR"}));
        QCOMPARE(assembler.state(), ReplyAssembler::State::WaitStart);
    }

    void decimalData() {
        for (int v = 0; v < 256; ++v) {
            QCOMPARE(text(decimalDataText(static_cast<std::uint8_t>(v))),
                     QStringLiteral(" ") + QString::number(v));
        }
    }

    void payoutCount_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");  // -1: refused
        QTest::newRow("empty box") << "" << 0;
        QTest::newRow("trailing letters") << "12abc" << 12;
        QTest::newRow("letters only") << "abc" << 0;
        QTest::newRow("hex") << "&HFF" << 255;
        QTest::newRow("octal") << "&O17" << 15;
        QTest::newRow("half rounds to even down") << "2.5" << 2;
        QTest::newRow("half rounds to even up") << "3.5" << 4;
        QTest::newRow("half below 255 stays in range") << "254.5" << 254;
        QTest::newRow("half above 255 rounds out of range") << "255.5" << -1;
        QTest::newRow("just below half") << "255.49" << 255;
        QTest::newRow("minus half rounds to zero") << "-0.5" << 0;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("256") << "256" << -1;
        QTest::newRow("255") << "255" << 255;
        QTest::newRow("exponent") << "1E2" << 100;
        QTest::newRow("exponent D") << "2.5D1" << 25;
        QTest::newRow("blanks ignored") << " 1 2\t" << 12;
        QTest::newRow("huge exponent") << "1E999" << -1;
        QTest::newRow("hex too big") << "&H100" << -1;
    }
    void payoutCount() {
        QFETCH(QString, typed);
        QFETCH(int, count);
        const std::optional<std::uint8_t> read = readPayoutCount(typed.toStdString());
        QCOMPARE(read.has_value(), count >= 0);
        if (read) {
            QCOMPARE(int(*read), count);
        }
    }

    // Only the payout buttons carry the typed count.
    void countOnlyInPayouts() {
        QCOMPARE(int(commandFrame(Command::RequestStatus, 0, 77)[4]), 0);
        QCOMPARE(int(commandFrame(Command::RequestRemainCoin, 0, 77)[4]), 0);
        QCOMPARE(int(commandFrame(Command::ResetHopper, 0, 77)[4]), 0);
        QCOMPARE(int(commandFrame(Command::PayoutNoReply, 0, 77)[4]), 77);
        QCOMPARE(int(commandFrame(Command::PayoutReply, 0, 77)[4]), 77);
    }
};

QTEST_APPLESS_MAIN(CnyProtocolTest)
#include "test_cnyprotocol.moc"
