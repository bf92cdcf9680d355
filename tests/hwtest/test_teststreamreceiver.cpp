#include <QTest>

#include <array>

#include "common/codepage.h"
#include "feed.h"
#include "hwtest/hwtesttexts.h"
#include "hwtest/teststreamreceiver.h"

using namespace pellix::hwtest;
using pellix::test::Bytes;
using pellix::test::bytesFromHex;
using pellix::test::Chunks;
using pellix::test::sameOutcomeForEverySplit;

namespace {

const char* const kStateNames[] = {
    "WaitHeader",
    "ChecksumFirst",
    "ChecksumSecond",
    "VersionLength",
    "VersionText",
    "WaitVersionEnd",
    "SkipBlock",
    "DipStatus",
    "WaitPrompt",
    "WaitSecondPrompt",
    "MotorForwardResult",
    "MotorReverseResult",
    "MotorStopResult",
    "ShaftCheck",
    "EmptyCheck",
    "CycleFiller",
    "Monitor",
    "DipUpdate",
    "RecordSoftwareVersion",
    "RecordProductCode",
    "RecordManufacturerId",
    "RecordSerial",
    "RecordModes",
    "RecordBuildCode",
    "RecordCategoryId",
    "RecordHopperCoin",
};
const char* const kItemNames[] = {"MotorForward", "MotorReverse", "MotorStop",
                                  "EmptySensor",  "PrismSensor",  "ShaftSensor"};
const char* const kResultNames[] = {"Pass", "Fail", "Undetermined"};
const char* const kVariantNames[] = {"Undecided", "BEarly", "Generic", "HEarly", "HLate"};
const char* const kFieldNames[] = {
    "SoftwareVersion", "ProductCode",    "ManufacturerId", "SerialNumber", "CompanyMode",
    "AddressMode",     "EncryptionMode", "BuildCode",      "CategoryId",   "HopperCoin"};

QString hex2(std::uint8_t b) {
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

// Writes every listener call as one line. Consecutive characters of the same text are joined
// into one line so expectations read like the boxes; bytes outside printable ASCII show as <NN>.
class Recorder : public TestStreamView, public pellix::LinePort {
  public:
    QStringList events;
    QStringList checksums;  // as the box shows them
    Bytes sent;

    // Rows name the byte each event came from, so they read like the stream.
    void showChecksum(std::string_view text) override {
        checksums << QString::fromLatin1(text);
        const QString digits = QString::fromLatin1(text.substr(text.size() - 2));
        add((text.size() == 4 ? "checksum1 " : "checksum2 ") + digits);
    }
    void appendSoftwareText(std::string_view c) override { addCharacter("version ", byteOf(c)); }
    void firmwareVariantDecided(FirmwareVariant v) override {
        add(QString("variant ") + kVariantNames[static_cast<int>(v)]);
    }
    void showDipSwitches(const DipSwitches& on) override {
        add("dip " + hex2(static_cast<std::uint8_t>(on[0] | on[1] << 1 | on[2] << 2 | on[3] << 3)));
    }
    void setResult(TestItem item, TestResult result) override {
        add(QString("%1 %2").arg(kItemNames[static_cast<int>(item)],
                                 kResultNames[static_cast<int>(result)]));
    }
    void appendRecordText(FlashField field, std::string_view c) override {
        addCharacter(QString(kFieldNames[static_cast<int>(field)]) + " ", byteOf(c));
    }
    void showSerialNumber(std::string_view text) override {
        add("serial " + QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
    bool send(std::span<const std::uint8_t> bytes) override {
        if (lineGone) {
            return false;
        }
        for (std::uint8_t b : bytes) {
            sendByte(b);
        }
        return true;
    }
    bool lineGone = false;
    void discardInput() override {}
    void startTimeout(std::size_t) override {}
    void stopTimeout(std::size_t) override {}
    void sendByte(std::uint8_t b) {
        sent.push_back(b);
        add("send " + hex2(b));
    }

  private:
    static std::uint8_t byteOf(std::string_view character) {
        return pellix::encodeWindows1252(character).bytes.at(0);
    }
    void add(const QString& line) {
        events << line;
        m_joining.clear();
    }
    void addCharacter(const QString& prefix, std::uint8_t b) {
        const QString c = b >= 0x20 && b < 0x7F ? QString(QChar(b)) : "<" + hex2(b) + ">";
        if (!m_joining.isEmpty() && m_joining == prefix) {
            events.last() += c;
        } else {
            events << prefix + c;
            m_joining = prefix;
        }
    }
    QString m_joining;
};

QString stateName(TestStreamState s) {
    return kStateNames[static_cast<int>(s)];
}

// Every listener call of a run, then the state the receiver ends in.
QStringList receive(const Chunks& chunks) {
    Recorder recorder;
    TestStreamReceiver receiver(recorder, recorder);
    for (const Bytes& chunk : chunks) {
        receiver.feed(chunk);
    }
    recorder.events << "state " + stateName(receiver.state());
    return recorder.events;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes repeat(std::uint8_t b, std::size_t n) {
    return Bytes(n, b);
}

// 3A, checksum 1F 2E, length byte (characters + 1), the characters, 3A.
Bytes header(const QByteArray& text) {
    Bytes out{0x3A, 0x1F, 0x2E, static_cast<std::uint8_t>(text.size() + 1)};
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0x3A);
    return out;
}

// One software text per variant.
QByteArray softwareFor(const QString& variant) {
    if (variant == "BEarly") {
        return "TD3&B40";
    }
    if (variant == "HEarly") {
        return "TD3&H50";
    }
    if (variant == "HLate") {
        return "TD3&H53";
    }
    return "PX2-17";
}

bool hasEarlyBlock(const QString& variant) {
    return variant == "BEarly" || variant == "Generic";
}

// Everything up to the first sensor byte: header, the early block with DIP byte where the
// firmware sends one, both prompts and three passing motor results.
Bytes toSensorCycles(const QString& variant) {
    Bytes out = header(softwareFor(variant));
    if (hasEarlyBlock(variant)) {
        out = out + repeat(0x00, 34) + Bytes{0x0C};
    }
    return out + bytesFromHex("3C 3C 3D 3D 3D");
}

Bytes toMonitor(const QString& variant) {
    Bytes cycles;
    if (variant == "BEarly") {
        cycles = bytesFromHex("41 3B 3B 00 41 43 43 00 41 43");
    } else if (variant == "HEarly") {
        cycles = bytesFromHex("41 43 00 00 00 41 43 00 00 00 41 43");
    } else {
        cycles = bytesFromHex("41 43 41 43 41 43");
    }
    return toSensorCycles(variant) + cycles;
}

// The events `prefix` alone produces, so rows can state only what their own bytes add.
QStringList eventsOf(const Bytes& prefix) {
    QStringList events = receive(Chunks{prefix});
    events.removeLast();  // its state
    return events;
}

// A received record: 105 bytes after 0x7B.
Bytes record(const QByteArray& software, Bytes serial, const QByteArray& hopperCoin) {
    Bytes out{0x7B};
    Bytes field = repeat(0x00, 20);
    std::copy(software.begin(), software.end(), field.begin());
    out = out + field + repeat(0xFF, 20) + repeat(0x00, 20);
    serial.resize(6, 0x00);
    out = out + serial + Bytes{0x02, 0x01, 0x01} + repeat(0x00, 20) + repeat(0x00, 10);
    Bytes coin = repeat(0x00, 6);
    std::copy(hopperCoin.begin(), hopperCoin.end(), coin.begin());
    return out + coin;
}

// A record whose every field is filled with its own letter, serial bytes FF FF FF 12 34 56 and
// mode bytes that look like sensor answers.
Bytes lettersRecord() {
    return Bytes{0x7B} + repeat('a', 20) + repeat('b', 20) + repeat('c', 20) +
           Bytes{0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56} + Bytes{0x43, 0x43, 0x43} + repeat('d', 20) +
           repeat('e', 10) + repeat('f', 6);
}

Bytes withoutLast(Bytes bytes) {
    bytes.pop_back();
    return bytes;
}

}  // namespace

class TestStreamReceiverTest : public QObject {
    Q_OBJECT
  private slots:
    // The whole exchange with an early H hopper: header, prompt and reply, motor results, sensor
    // cycles with their filler bytes, prism events and a DIP update.
    void exampleExchange() {
        const Bytes stream = bytesFromHex(
            "3A 1F 2E 08 54 44 33 26 48 35 30 3A"
            "3C"
            "3C 3D 3D 3B"
            "41 43 00 00 00 41 43 00 00 00 41 43"
            "46 46 46"
            "58 05");
        const QStringList expected = {
            "checksum1 1F",     "checksum2 2E",      "version TD3&H50",   "variant HEarly",
            "send 60",          "MotorForward Pass", "MotorReverse Pass", "MotorStop Fail",
            "ShaftSensor Pass", "EmptySensor Pass",  "PrismSensor Pass",  "dip 05",
            "state Monitor",
        };
        QCOMPARE(sameOutcomeForEverySplit(stream, receive), expected);
    }

    // The three sensor cycles by firmware variant, with what each variant sends between them.
    void sensorCycles_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("cycles");
        QTest::addColumn<QStringList>("expected");
        const QStringList bothPass = {"ShaftSensor Pass", "EmptySensor Pass", "state Monitor"};
        const QStringList waiting = {"state EmptyCheck"};
        const QStringList header = {"state WaitHeader"};

        // 6 bytes: S E S E S E
        QTest::newRow("Generic 6 bytes") << "Generic"
                                         << "41 43 41 43 41 43" << bothPass;
        QTest::newRow("HLate 6 bytes") << "HLate"
                                       << "41 43 41 43 41 43" << bothPass;
        QTest::newRow("Generic one short") << "Generic"
                                           << "41 43 41 43 41" << waiting;
        QTest::newRow("HLate one short") << "HLate"
                                         << "41 43 41 43 41" << waiting;
        // 10 bytes: S E E x, S E E x, S E; the filler x may be any byte
        QTest::newRow("BEarly 10 bytes") << "BEarly"
                                         << "41 3B 3B 99 41 43 43 3C 41 43" << bothPass;
        QTest::newRow("BEarly one short") << "BEarly"
                                          << "41 3B 3B 99 41 43 43 3C 41" << waiting;
        // 12 bytes: S E x x x, S E x x x, S E; filler bytes that look like sensor answers
        QTest::newRow("HEarly 12 bytes") << "HEarly"
                                         << "41 43 00 00 00 41 43 00 00 00 41 43" << bothPass;
        QTest::newRow("HEarly filler looks like answers")
            << "HEarly"
            << "41 43 41 43 3B 41 43 3B 3B 58 41 43" << bothPass;
        QTest::newRow("HEarly one short") << "HEarly"
                                          << "41 43 00 00 00 41 43 00 00 00 41" << waiting;

        // 0x3B clears the count of its own sensor.
        QTest::newRow("Generic A reset")
            << "Generic"
            << "41 43 3B 43 41 43"
            << QStringList{"ShaftSensor Fail", "EmptySensor Pass", "state Monitor"};
        QTest::newRow("Generic C reset")
            << "Generic"
            << "41 43 41 3B 41 43"
            << QStringList{"ShaftSensor Pass", "EmptySensor Fail", "state Monitor"};
        QTest::newRow("HLate reset in the last cycle")
            << "HLate"
            << "41 43 41 43 3B 3B"
            << QStringList{"ShaftSensor Fail", "EmptySensor Fail", "state Monitor"};
        QTest::newRow("HEarly A reset")
            << "HEarly"
            << "41 43 00 00 00 3B 43 00 00 00 41 43"
            << QStringList{"ShaftSensor Fail", "EmptySensor Pass", "state Monitor"};
        QTest::newRow("HEarly C reset")
            << "HEarly"
            << "41 43 00 00 00 41 43 00 00 00 41 3B"
            << QStringList{"ShaftSensor Pass", "EmptySensor Fail", "state Monitor"};
        QTest::newRow("BEarly A reset")
            << "BEarly"
            << "41 3B 3B 00 3B 43 43 00 41 43"
            << QStringList{"ShaftSensor Fail", "EmptySensor Pass", "state Monitor"};
        // Two empty bytes judged in each early cycle: the count runs past 3 ...
        QTest::newRow("BEarly C count 5")
            << "BEarly"
            << "41 43 43 00 41 43 43 00 41 43"
            << QStringList{"ShaftSensor Pass", "EmptySensor Fail", "state Monitor"};
        // ... or a clear leaves it short.
        QTest::newRow("BEarly C count 2")
            << "BEarly"
            << "41 43 3B 00 41 3B 43 00 41 43"
            << QStringList{"ShaftSensor Pass", "EmptySensor Fail", "state Monitor"};

        // Neither 0x43 nor 0x3B in EmptyCheck: back to WaitHeader without any result, whatever
        // the cycle.
        QTest::newRow("Generic empty byte 00 first cycle") << "Generic"
                                                           << "41 00" << header;
        QTest::newRow("Generic empty byte 41 third cycle") << "Generic"
                                                           << "41 43 41 43 41 41" << header;
        QTest::newRow("BEarly second empty byte 00") << "BEarly"
                                                     << "41 43 00" << header;
        QTest::newRow("HEarly empty byte 46 third cycle")
            << "HEarly"
            << "41 43 00 00 00 41 43 00 00 00 41 46" << header;
        // Neither 0x41 nor 0x3B in ShaftCheck.
        QTest::newRow("Generic shaft byte 43") << "Generic"
                                               << "41 43 43" << header;
        QTest::newRow("HEarly shaft byte 00 after filler") << "HEarly"
                                                           << "41 43 00 00 00 00" << header;
        // The byte that ends the cycles is used up: a colon there starts no header.
        QTest::newRow("Generic shaft byte 3A")
            << "Generic"
            << "41 43 3A 1F 2E 02 35 3A" << QStringList{"state ChecksumFirst"};
        QTest::newRow("HEarly empty byte 3A")
            << "HEarly"
            << "41 3A 1F 2E 02 35 3A" << QStringList{"state ChecksumFirst"};
        // After falling out, the rest of the cycles is not read.
        QTest::newRow("HLate rest ignored") << "HLate"
                                            << "43 41 43 41 43 41 43" << header;
    }
    void sensorCycles() {
        QFETCH(QString, variant);
        QFETCH(QString, cycles);
        QFETCH(QStringList, expected);
        const Bytes prefix = toSensorCycles(variant);
        const QStringList outcome =
            sameOutcomeForEverySplit(prefix + bytesFromHex(qPrintable(cycles)), receive);
        const QStringList before = eventsOf(prefix);
        QVERIFY(before.contains("variant " + variant));
        QCOMPARE(outcome.mid(before.size()), expected);
    }

    // A run that breaks off inside the sensor cycles leaves its counts behind; the motor stop
    // result of the next run starts them again.
    void countsRestartWithEachRun_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("broken");
        QTest::newRow("Generic") << "Generic"
                                 << "41 43 41 43 00";
        QTest::newRow("HLate") << "HLate"
                               << "41 43 41 00";
        QTest::newRow("BEarly") << "BEarly"
                                << "41 43 43 00 41 43 00";
        QTest::newRow("HEarly") << "HEarly"
                                << "41 43 00 00 00 41 3D";
    }
    void countsRestartWithEachRun() {
        QFETCH(QString, variant);
        QFETCH(QString, broken);
        const Bytes firstRun = toSensorCycles(variant) + bytesFromHex(qPrintable(broken));
        const QStringList outcome = sameOutcomeForEverySplit(
            firstRun + toMonitor(variant) + bytesFromHex("46 46 46"), receive);
        QCOMPARE(outcome.mid(outcome.size() - 4),
                 (QStringList{"ShaftSensor Pass", "EmptySensor Pass", "PrismSensor Pass",
                              "state Monitor"}));
    }

    // Motor result bytes after the second prompt.
    void motorResults_data() {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("3D 3B 00") << "3D 3B 00"
                                  << QStringList{"MotorForward Pass", "MotorReverse Fail",
                                                 "MotorStop Undetermined", "state WaitHeader"};
        QTest::newRow("00 undetermined, then nothing more read")
            << "00 3D 3D 3D 41 43" << QStringList{"MotorForward Undetermined", "state WaitHeader"};
        QTest::newRow("3C is no result")
            << "3D 3C"
            << QStringList{"MotorForward Pass", "MotorReverse Undetermined", "state WaitHeader"};
        QTest::newRow("3A is used up, it starts no header")
            << "3A 1F 2E 02 35 3A"
            << QStringList{"MotorForward Undetermined", "state ChecksumFirst"};
        QTest::newRow("all fail, on to the sensors")
            << "3B 3B 3B"
            << QStringList{"MotorForward Fail", "MotorReverse Fail", "MotorStop Fail",
                           "state ShaftCheck"};
    }
    void motorResults() {
        QFETCH(QString, bytes);
        QFETCH(QStringList, expected);
        const Bytes prefix = header("TD3&H53") + bytesFromHex("3C 3C");
        const QStringList outcome =
            sameOutcomeForEverySplit(prefix + bytesFromHex(qPrintable(bytes)), receive);
        QCOMPARE(outcome.mid(eventsOf(prefix).size()), expected);
    }

    // The prompt is answered once; a broken second prompt waits for a new header.
    void prompts_data() {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("other bytes before the prompt ignored")
            << "00 3D 41 3C 3C" << QStringList{"send 60", "state MotorForwardResult"};
        QTest::newRow("no second prompt") << "3C 3D" << QStringList{"send 60", "state WaitHeader"};
        QTest::newRow("3A instead of the second prompt starts no header")
            << "3C 3A 1F 2E 02 35 3A" << QStringList{"send 60", "state ChecksumFirst"};
        QTest::newRow("prompts after falling out not answered")
            << "3C 00 3C 3C 3C" << QStringList{"send 60", "state WaitHeader"};
        QTest::newRow("new header, new reply")
            << "3C 00 3A 1F 2E 02 35 3A 3C"
            << QStringList{"send 60",        "checksum1 1F", "checksum2 2E",          "version 5",
                           "variant HEarly", "send 60",      "state WaitSecondPrompt"};
    }
    void prompts() {
        QFETCH(QString, bytes);
        QFETCH(QStringList, expected);
        const Bytes prefix = header("TD3&H53");
        const QStringList outcome =
            sameOutcomeForEverySplit(prefix + bytesFromHex(qPrintable(bytes)), receive);
        QCOMPARE(outcome.mid(eventsOf(prefix).size()), expected);
    }

    // The prompt's answer cannot go out: the batch stops right after the prompt, and the next
    // batch is read whole, not cut after its first byte.
    void failedAnswerStopsOnlyItsOwnBatch() {
        Recorder recorder;
        TestStreamReceiver receiver(recorder, recorder);
        recorder.lineGone = true;
        QVERIFY(receiver.feed(header("TD3&H53") + Bytes{0x3C, 0x3C, 0x3D}).stop);
        QCOMPARE(receiver.state(), TestStreamState::WaitSecondPrompt);
        recorder.lineGone = false;
        QVERIFY(!receiver.feed(Bytes{0x3C, 0x3D, 0x3B}).stop);
        QCOMPARE(receiver.state(), TestStreamState::MotorStopResult);
    }

    // The length byte counts the closing colon; the text takes at least one character, and
    // characters beyond the length are ignored until the colon.
    void versionText_data() {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("length 0") << "3A 00 00 00 41 42 43 3A"
                                  << QStringList{"checksum1 00", "checksum2 00", "version A",
                                                 "variant Generic", "state SkipBlock"};
        QTest::newRow("length 1") << "3A 00 00 01 41 42 3A"
                                  << QStringList{"checksum1 00", "checksum2 00", "version A",
                                                 "variant Generic", "state SkipBlock"};
        QTest::newRow("length 2") << "3A 00 00 02 41 3A"
                                  << QStringList{"checksum1 00", "checksum2 00", "version A",
                                                 "variant Generic", "state SkipBlock"};
        QTest::newRow("length 5, extra ignored")
            << "3A AB CD 05 54 44 33 26 48 35 30 3A"
            << QStringList{"checksum1 AB", "checksum2 CD", "version TD3&", "variant Generic",
                           "state SkipBlock"};
        QTest::newRow("colons and any byte are characters")
            << "3A 3A 3A 04 3A 00 FF 3A"
            << QStringList{"checksum1 3A", "checksum2 3A", "version :<00><FF>", "variant Generic",
                           "state SkipBlock"};
        QTest::newRow("no closing colon yet")
            << "3A 01 02 03 54 44 33 26"
            << QStringList{"checksum1 01", "checksum2 02", "version TD", "state WaitVersionEnd"};
        QTest::newRow("bytes before the header ignored")
            << "00 3C 3D 3A 10 20 02 42 3A"
            << QStringList{"checksum1 10", "checksum2 20", "version B", "variant Generic",
                           "state SkipBlock"};
    }
    void versionText() {
        QFETCH(QString, bytes);
        QFETCH(QStringList, expected);
        QCOMPARE(sameOutcomeForEverySplit(bytesFromHex(qPrintable(bytes)), receive), expected);
    }

    // BEarly and Generic firmware send 34 bytes and the DIP switch byte before the prompt.
    void earlyBlock_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("BEarly 34 then DIP")
            << "BEarly" << 34 << QStringList{"dip 0A", "send 60", "state WaitSecondPrompt"};
        QTest::newRow("Generic 34 then DIP")
            << "Generic" << 34 << QStringList{"dip 0A", "send 60", "state WaitSecondPrompt"};
        QTest::newRow("Generic 33: 0A ends the block, 3C is the DIP byte")
            << "Generic" << 33 << QStringList{"dip 0C", "state WaitPrompt"};
        QTest::newRow("HEarly has no block: its first 3C is the prompt")
            << "HEarly" << 34
            << QStringList{"send 60", "MotorForward Undetermined", "state WaitHeader"};
    }
    void earlyBlock() {
        QFETCH(QString, variant);
        QFETCH(int, skipped);
        QFETCH(QStringList, expected);
        // Prompt-looking bytes inside the block are data.
        Bytes block = repeat(0x3C, static_cast<std::size_t>(skipped));
        const Bytes prefix = header(softwareFor(variant));
        const QStringList outcome =
            sameOutcomeForEverySplit(prefix + block + bytesFromHex("0A 3C"), receive);
        QCOMPARE(outcome.mid(eventsOf(prefix).size()), expected);
    }

    // The monitor phase, reached with every variant.
    void monitor_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QStringList>("expected");
        for (const char* variant : {"BEarly", "Generic", "HEarly", "HLate"}) {
            const QByteArray v(variant);
            QTest::newRow(v + " six F")
                << variant << bytesFromHex("46 46 46 46 46 46")
                << QStringList{"PrismSensor Pass", "PrismSensor Pass", "state Monitor"};
        }
        QTest::newRow("new header ignored") << "BEarly" << header("TD3&B40") + bytesFromHex("3C 3D")
                                            << QStringList{"state Monitor"};
        QTest::newRow("other bytes leave the F count")
            << "Generic" << bytesFromHex("46 00 3A 46 41 46 46")
            << QStringList{"PrismSensor Pass", "state Monitor"};
        QTest::newRow("DIP updates, any byte after 58")
            << "HLate" << bytesFromHex("58 05 58 58 58 46 46 46 46")
            << QStringList{"dip 05", "dip 08", "dip 06", "PrismSensor Pass", "state Monitor"};
        QTest::newRow("record with 58 and 7B inside")
            << "HEarly" << record("A\x58\x7B", {0x7B, 0x58, 0x00}, "X{") + bytesFromHex("46 46 46")
            << QStringList{"SoftwareVersion AX{", "serial 00022651", "HopperCoin X{",
                           "PrismSensor Pass", "state Monitor"};
        QTest::newRow("record text drops 00 and FF")
            << "Generic" << Bytes{0x7B, 0x41, 0x00, 0x42, 0xFF, 0x43} + repeat(0x00, 100)
            << QStringList{"SoftwareVersion ABC", "serial 00000000", "state Monitor"};
        QTest::newRow("two records appended")
            << "BEarly" << record("PX-", {0x4E, 0x61, 0xBC}, "EUR") + record("v2", {0x01}, "5")
            << QStringList{"SoftwareVersion PX-", "serial 12345678", "HopperCoin EUR",
                           "SoftwareVersion v2",  "serial 00000001", "HopperCoin 5",
                           "state Monitor"};
        QTest::newRow("record one byte short")
            << "HLate" << withoutLast(record("PX", {}, "123456"))
            << QStringList{"SoftwareVersion PX", "serial 00000000", "HopperCoin 12345",
                           "state RecordHopperCoin"};
        QTest::newRow("every field in order")
            << "Generic" << lettersRecord()
            << QStringList{"SoftwareVersion " + QString(20, 'a'), "ProductCode " + QString(20, 'b'),
                           "ManufacturerId " + QString(20, 'c'),  "serial 16777215",
                           "BuildCode " + QString(20, 'd'),       "CategoryId " + QString(10, 'e'),
                           "HopperCoin " + QString(6, 'f'),       "state Monitor"};
    }
    void monitor() {
        QFETCH(QString, variant);
        QFETCH(Bytes, bytes);
        QFETCH(QStringList, expected);
        const Bytes prefix = toMonitor(variant);
        const QStringList before = eventsOf(prefix);
        QCOMPARE(before.mid(before.size() - 2),
                 (QStringList{"ShaftSensor Pass", "EmptySensor Pass"}));
        const QStringList outcome = sameOutcomeForEverySplit(prefix + bytes, receive);
        QCOMPARE(outcome.mid(before.size()), expected);
    }

    // Reset goes back to waiting for a header and clears nothing else: the F count is cleared
    // only when sensor cycles end, and a record's field count carries over.
    void restartAtHeader() {
        Recorder recorder;
        TestStreamReceiver receiver(recorder, recorder);
        receiver.feed(toMonitor("HLate") + bytesFromHex("46 46"));
        receiver.restartAtHeader();
        QCOMPARE(receiver.state(), TestStreamState::WaitHeader);
        QCOMPARE(receiver.firmwareVariant(), FirmwareVariant::HLate);

        recorder.events.clear();
        receiver.feed(bytesFromHex("46 46 46 58 01"));  // nothing of the monitor phase now
        QCOMPARE(recorder.events, QStringList{});

        receiver.clearSoftwareText();
        receiver.feed(toMonitor("HEarly") + bytesFromHex("46"));
        QVERIFY(recorder.events.contains("variant HEarly"));
        QVERIFY(!recorder.events.contains("PrismSensor Pass"));  // F count was cleared
        receiver.feed(bytesFromHex("46 46"));
        QCOMPARE(recorder.events.last(), QString("PrismSensor Pass"));

        // Five bytes into a record, then Reset and a new run: the next record's first field
        // takes only the remaining fifteen bytes, so every later field moves by five and the
        // last five bytes fall into the monitor phase.
        receiver.feed(Bytes{0x7B} + repeat('x', 5));
        receiver.restartAtHeader();
        receiver.clearSoftwareText();
        receiver.feed(toMonitor("Generic"));
        recorder.events.clear();
        receiver.feed(lettersRecord());
        const QStringList shifted = {
            "SoftwareVersion " + QString(15, 'a'),
            "ProductCode " + QString(5, 'a') + QString(15, 'b'),
            "ManufacturerId " + QString(5, 'b') + QString(15, 'c'),
            "serial 06513507",                     // 63 63 63
            "BuildCode 4VCCC" + QString(15, 'd'),  // 34 56 and the mode bytes
            "CategoryId " + QString(5, 'd') + QString(5, 'e'),
            "HopperCoin " + QString(5, 'e') + "f",
        };
        QCOMPARE(recorder.events, shifted);
        QCOMPARE(receiver.state(), TestStreamState::Monitor);
    }

    // The variant is decided on the whole software text since it was last cleared: a second
    // header read without clearing joins the first.
    void variantOverSeveralHeaders() {
        Recorder recorder;
        TestStreamReceiver receiver(recorder, recorder);
        receiver.feed(header("TD3&H50") + bytesFromHex("3C 00"));  // falls back to WaitHeader
        QCOMPARE(receiver.firmwareVariant(), FirmwareVariant::HEarly);
        receiver.feed(header("xyz99"));  // "TD3&H50xyz99": r = 99
        QCOMPARE(receiver.firmwareVariant(), FirmwareVariant::HLate);
        QCOMPARE(receiver.state(), TestStreamState::WaitPrompt);

        receiver.restartAtHeader();
        receiver.clearSoftwareText();
        receiver.feed(header("xyz99"));
        QCOMPARE(receiver.firmwareVariant(), FirmwareVariant::Generic);
        QCOMPARE(receiver.state(), TestStreamState::SkipBlock);
    }

    void requests() {
        Recorder recorder;
        TestStreamReceiver receiver(recorder, recorder);
        receiver.sendReadFlashRequest();
        receiver.sendDipFinished();
        receiver.sendDipFinished();
        QCOMPARE(recorder.sent, bytesFromHex("7C 7D 7D"));
        QCOMPARE(receiver.state(), TestStreamState::WaitHeader);
    }

    void writeFlash() {
        Recorder recorder;
        TestStreamReceiver receiver(recorder, recorder);
        FlashRecord fields;
        fields.softwareVersion = "ABC";
        fields.serialNumber = "00000001";
        QVERIFY(receiver.writeFlash(fields).empty());
        QCOMPARE(recorder.sent, fields.encodeForWrite().frame);
        QCOMPARE(recorder.events.size(), 106);  // one write per byte

        recorder.sent.clear();
        fields.serialNumber = "123456789";
        fields.hopperCoin = "1234567";
        const std::vector<FieldMessage> expected = {
            {FlashField::SerialNumber, texts::kSerialTooLong},
            {FlashField::HopperCoin, texts::kCodeTooLong},
        };
        QVERIFY(receiver.writeFlash(fields) == expected);
        QVERIFY(recorder.sent.empty());
    }

    // The checksum box restarts with each first byte and completes with the second.
    void checksumText_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("afterFirst");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0F 10") << 0x0F << 0x10 << "0x0F"
                               << "0x0F10";
        QTest::newRow("05 AB") << 0x05 << 0xAB << "0x05"
                               << "0x05AB";
        QTest::newRow("00 00") << 0x00 << 0x00 << "0x00"
                               << "0x0000";
        QTest::newRow("FF F0") << 0xFF << 0xF0 << "0xFF"
                               << "0xFFF0";
    }
    void checksumText() {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QString, afterFirst);
        QFETCH(QString, expected);
        Recorder recorder;
        TestStreamReceiver receiver(recorder, recorder);
        receiver.feed(
            Bytes{0x3A, static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)});
        QCOMPARE(recorder.checksums, (QStringList{afterFirst, expected}));
    }

    void dipSwitches_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("switches");  // SW1..SW4
        QTest::newRow("bits 0 and 2") << 0x05 << "1010";
        QTest::newRow("none") << 0x00 << "0000";
        QTest::newRow("all four") << 0x0F << "1111";
        QTest::newRow("SW4 only") << 0x08 << "0001";
        QTest::newRow("upper bits ignored") << 0xF2 << "0100";
    }
    void dipSwitches() {
        QFETCH(int, byte);
        QFETCH(QString, switches);
        const auto values = dipSwitchValues(static_cast<std::uint8_t>(byte));
        QString shown;
        for (std::uint8_t v : values) {
            shown += QString::number(v);
        }
        QCOMPARE(shown, switches);
    }
};

QTEST_APPLESS_MAIN(TestStreamReceiverTest)
#include "test_teststreamreceiver.moc"
