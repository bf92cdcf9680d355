#include <QTest>

#include <deque>
#include <optional>

#include "coinsetting/coinsettingprotocol.h"
#include "feed.h"

using namespace pellix;
using namespace pellix::test;

namespace {

const QString kChecksumError = QStringLiteral("red:Checksum Error,Reset hopper");
const QString kCommunicationError = QStringLiteral("red:Comunication Error,Reset hopper");
const QString kEnterData = QStringLiteral("blue:Enter Data (Do not Reset hopper)");
const QString kSaveComplete = QStringLiteral("blue:Save complete");
const QString kReceiveError = QStringLiteral(
    "message:Receive Error perhaps incorrect interface\rswitch to TZV interface then Restart "
    "Hopper");

// Writes down every request of the protocol, and plays the line port's part: each read hands
// over what is waiting in one span, and a stop drops the rest of it.
class Recorder final : public CoinSettingView, public LinePort {
  public:
    QStringList events;
    Bytes sent;
    std::deque<std::uint8_t> waiting;
    bool discarded = false;

    void showStatus(StatusColour colour, std::string_view text) override {
        events << (colour == StatusColour::Blue ? QStringLiteral("blue:")
                                                : QStringLiteral("red:")) +
                      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    void setChannelText(int channelIndex, std::string_view text) override {
        events << QStringLiteral("box%1=%2")
                      .arg(channelIndex)
                      .arg(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    void unlockInputs() override {}
    bool send(std::span<const std::uint8_t> bytes) override {
        for (std::uint8_t byte : bytes) {
            sent.push_back(byte);
            events << QStringLiteral("send ") +
                          QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        }
        return true;
    }
    void startTimeout(std::size_t timeout) override {
        events << (timeout == kBlockTimeout ? QStringLiteral("block timer")
                                            : QStringLiteral("save timer"));
    }
    void stopTimeout(std::size_t) override {}
    void discardInput() override {
        waiting.clear();
        discarded = true;
        events << QStringLiteral("discard");
    }
    void showReceiveError(std::string_view message) override {
        events << QStringLiteral("message:") +
                      QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
    }

    void deliver(CoinSettingProtocol& protocol, const Chunks& chunks) {
        for (const Bytes& chunk : chunks) {
            waiting.insert(waiting.end(), chunk.begin(), chunk.end());
            while (!waiting.empty()) {
                const Bytes batch(waiting.begin(), waiting.end());
                waiting.clear();
                discarded = false;
                // A stop comes with a discard and drops the rest of the batch.
                const FeedResult result = protocol.feed(batch);
                QCOMPARE(result.stop, discarded);
            }
        }
    }
};

QString stageName(ReceiveStage stage) {
    switch (stage) {
        case ReceiveStage::WaitStart:
            return QStringLiteral("WaitStart");
        case ReceiveStage::Header:
            return QStringLiteral("Header");
        case ReceiveStage::SkipPart:
            return QStringLiteral("SkipPart");
        case ReceiveStage::CoinData:
            return QStringLiteral("CoinData");
        case ReceiveStage::ChecksumByte:
            return QStringLiteral("ChecksumByte");
        case ReceiveStage::WaitReady:
            return QStringLiteral("WaitReady");
        case ReceiveStage::WaitEntry:
            return QStringLiteral("WaitEntry");
        case ReceiveStage::WaitSaveAck:
            return QStringLiteral("WaitSaveAck");
    }
    return QStringLiteral("?");
}

// The 32 coin number bytes of `values` followed by their checksum (or `checksum` if given).
Bytes coinData(const CoinNumbers& values, std::optional<std::uint8_t> checksum = {}) {
    Bytes out;
    unsigned sum = 0;
    for (std::uint16_t v : values) {
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        sum += (v >> 8) + (v & 0xFF);
    }
    out.push_back(checksum.value_or(static_cast<std::uint8_t>(sum & 0xFF)));
    return out;
}

// A settings block: 3A, two header bytes, N, the skipped bytes, coin data and checksum.
Bytes blockOf(const CoinNumbers& values, const Bytes& skipped) {
    Bytes out{0x3A, 0x82, 0x3A, static_cast<std::uint8_t>(skipped.size())};
    out.insert(out.end(), skipped.begin(), skipped.end());
    const Bytes data = coinData(values);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

QStringList boxEvents(const CoinNumbers& values) {
    QStringList out;
    for (int i = 0; i < kCoinChannels; ++i) {
        out << QStringLiteral("box%1=%2").arg(i).arg(values[static_cast<std::size_t>(i)]);
    }
    return out;
}

CoinNumbers numbersFrom(std::initializer_list<std::uint16_t> first) {
    CoinNumbers values{};
    std::size_t i = 0;
    for (std::uint16_t v : first) {
        values[i++] = v;
    }
    return values;
}

CoinNumbers oneToSixteen() {
    CoinNumbers values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::uint16_t>(i + 1);
    }
    return values;
}

// The EB example: channel 1 holds 1000 (03 E8), every other channel 0, N = 1.
const char* const kExampleBlock =
    "3A 00 00 01 00  03 E8"
    "0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000  EB";

// A fresh load on fresh state, fed `prefix` first (not recorded), then `chunks`.
struct Outcome {
    QStringList events;
    QString stage;
    bool operator==(const Outcome&) const = default;
};

char* toString(const Outcome& outcome) {
    return QTest::toString(outcome.events.join(QLatin1Char('|')) + QStringLiteral(" @ ") +
                           outcome.stage);
}

}  // namespace

Q_DECLARE_METATYPE(pellix::test::Bytes)

class CoinSettingProtocolTest : public QObject {
    Q_OBJECT

    // Runs `bytes` through a freshly loaded protocol every way they can be split, after the
    // `before` bytes have been fed whole and forgotten.
    static Outcome receive(const Bytes& bytes, const Bytes& before = {}) {
        return sameOutcomeForEverySplit(bytes, [&](const Chunks& chunks) {
            CoinSettingState state;
            Recorder recorder;
            CoinSettingProtocol protocol(state, recorder, recorder);
            protocol.load();
            recorder.deliver(protocol, {before});
            recorder.events.clear();
            recorder.deliver(protocol, chunks);
            return Outcome{recorder.events, stageName(protocol.stage())};
        });
    }

  private slots:
    void loadShowsSwitchOn() {
        CoinSettingState state;
        Recorder recorder;
        CoinSettingProtocol protocol(state, recorder, recorder);
        protocol.load();
        QCOMPARE(recorder.events, QStringList{QStringLiteral("blue:Switch on Pellix")});
        QCOMPARE(protocol.stage(), ReceiveStage::WaitStart);
    }

    void settingsBlock_data() {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QStringList>("boxes");

        const QStringList example = boxEvents(numbersFrom({1000}));
        QTest::newRow("channel 1 = 1000, checksum EB") << bytesFromHex(kExampleBlock) << example;
        QTest::newRow("noise before the start byte is ignored")
            << bytesFromHex("00 FF 82 83 84 EB 01") + bytesFromHex(kExampleBlock) << example;
        QTest::newRow("N = 1 skips exactly one byte")
            << blockOf(oneToSixteen(), {0x3A}) << boxEvents(oneToSixteen());
        QTest::newRow("N = 5 skips five bytes that look like protocol bytes")
            << blockOf(oneToSixteen(), {0x3A, 0x82, 0x83, 0x84, 0x00}) << boxEvents(oneToSixteen());
        QTest::newRow("N = 255") << blockOf(oneToSixteen(), Bytes(255, 0x3A))
                                 << boxEvents(oneToSixteen());
        QTest::newRow("N = 0: coin data follows the length byte")
            << blockOf(oneToSixteen(), {}) << boxEvents(oneToSixteen());
        QTest::newRow("3A inside the coin data is data")
            << blockOf(numbersFrom({0x3A3A, 0x003A, 0x3A00}), {0x01})
            << boxEvents(numbersFrom({0x3A3A, 0x003A, 0x3A00}));
        CoinNumbers full;
        full.fill(65535);
        QTest::newRow("every channel 65535 (sum wraps)")
            << blockOf(full, {0x00}) << boxEvents(full);
    }
    void settingsBlock() {
        QFETCH(Bytes, bytes);
        QFETCH(QStringList, boxes);
        const Outcome outcome = receive(bytes);
        const QStringList expected =
            QStringList{QStringLiteral("blue:"), QStringLiteral("block timer")} + boxes;
        QCOMPARE(outcome.events, expected);
        QCOMPARE(outcome.stage, QStringLiteral("WaitReady"));
    }

    void boxesChangeBeforeTheChecksum() {
        // Channel 1 is shown as soon as its two bytes are in.
        const Outcome outcome = receive(bytesFromHex("3A 00 00 01 00 03 E8 00"));
        QCOMPARE(outcome.events,
                 (QStringList{QStringLiteral("blue:"), QStringLiteral("block timer"),
                              QStringLiteral("box0=1000")}));
        QCOMPARE(outcome.stage, QStringLiteral("CoinData"));
    }

    void wrongChecksum() {
        Bytes block = bytesFromHex(kExampleBlock);
        block.back() = 0xEC;
        const Outcome outcome = receive(block);
        const QStringList expected =
            QStringList{QStringLiteral("blue:"), QStringLiteral("block timer")} +
            boxEvents(numbersFrom({1000})) + QStringList{kChecksumError, QStringLiteral("discard")};
        QCOMPARE(outcome.events, expected);
        QCOMPARE(outcome.stage, QStringLiteral("WaitStart"));
    }

    void blockTimeOut_data() {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<bool>("reported");
        QTest::newRow("right block: nothing to report") << bytesFromHex(kExampleBlock) << false;
        Bytes wrong = bytesFromHex(kExampleBlock);
        wrong.back() = 0x00;
        QTest::newRow("wrong checksum: reported as well") << wrong << true;
        QTest::newRow("block stopped in its coin data")
            << bytesFromHex("3A 00 00 01 00 03 E8 00 00 00") << true;
        Bytes noChecksum = bytesFromHex(kExampleBlock);
        noChecksum.pop_back();
        QTest::newRow("block stopped at its checksum") << noChecksum << true;
    }
    void blockTimeOut() {
        QFETCH(Bytes, bytes);
        QFETCH(bool, reported);
        CoinSettingState state;
        Recorder recorder;
        CoinSettingProtocol protocol(state, recorder, recorder);
        protocol.load();
        recorder.deliver(protocol, {bytes});
        const ReceiveStage before = protocol.stage();
        const std::uint8_t counter = protocol.ByteCounter();
        recorder.events.clear();

        // Only the stage goes back: nothing is discarded, the header count stays.
        protocol.blockTimerExpired();
        QCOMPARE(recorder.events, reported ? QStringList{kReceiveError} : QStringList{});
        QCOMPARE(protocol.stage(), reported ? ReceiveStage::WaitStart : before);
        QCOMPARE(protocol.ByteCounter(), counter);

        recorder.events.clear();
        if (reported) {
            // The receiver starts afresh: a whole block is read normally.
            recorder.deliver(protocol, {bytesFromHex(kExampleBlock)});
            QCOMPARE(recorder.events.mid(2), boxEvents(numbersFrom({1000})));
            QCOMPARE(protocol.stage(), ReceiveStage::WaitReady);
        } else {
            // The handshake goes on undisturbed.
            recorder.deliver(protocol, {bytesFromHex("82")});
            QCOMPARE(recorder.events, QStringList{QStringLiteral("send 82")});
        }
    }

    void handshake_data() {
        QTest::addColumn<Bytes>("after");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("stage");
        const QString send82 = QStringLiteral("send 82");
        const QString discard = QStringLiteral("discard");
        QTest::newRow("ready byte answered once")
            << bytesFromHex("82") << QStringList{send82} << "WaitEntry";
        QTest::newRow("entry byte asks for data")
            << bytesFromHex("82 83") << QStringList{send82, kEnterData} << "WaitEntry";
        QTest::newRow("repeated entry byte shows the text again")
            << bytesFromHex("82 83 83") << QStringList{send82, kEnterData, kEnterData}
            << "WaitEntry";
        QTest::newRow("83 instead of the ready byte")
            << bytesFromHex("83") << QStringList{kCommunicationError, discard} << "WaitStart";
        QTest::newRow("a second 82 is an error, not answered")
            << bytesFromHex("82 82") << QStringList{send82, kCommunicationError, discard}
            << "WaitStart";
        QTest::newRow("other byte after the entry byte")
            << bytesFromHex("82 83 00")
            << QStringList{send82, kEnterData, kCommunicationError, discard} << "WaitStart";
        QTest::newRow("start byte instead of the ready byte is no new block")
            << bytesFromHex("3A") << QStringList{kCommunicationError, discard} << "WaitStart";
    }
    void handshake() {
        QFETCH(Bytes, after);
        QFETCH(QStringList, events);
        QFETCH(QString, stage);
        const Outcome outcome = receive(after, bytesFromHex(kExampleBlock));
        QCOMPARE(outcome.events, events);
        QCOMPARE(outcome.stage, stage);
    }

    void saveFrame_data() {
        QTest::addColumn<Bytes>("before");
        QTest::newRow("after the handshake") << bytesFromHex(kExampleBlock) + bytesFromHex("82 83");
        QTest::newRow("with no block seen") << Bytes{};
        QTest::newRow("in the middle of a block header") << bytesFromHex("3A 00");
    }
    void saveFrame() {
        QFETCH(Bytes, before);
        CoinSettingState state;
        Recorder recorder;
        CoinSettingProtocol protocol(state, recorder, recorder);
        protocol.load();
        recorder.deliver(protocol, {before});
        recorder.sent.clear();
        recorder.events.clear();

        CoinNumbers values{};
        values[0] = 65535;
        values[1] = 256;
        values[2] = 1000;
        values[15] = 1;
        protocol.SendSettings(values);

        QCOMPARE(recorder.sent, bytesFromHex("83 FFFF 0100 03E8 0000 0000 0000 0000 0000 0000 0000"
                                             "0000 0000 0000 0000 0000 0001"));
        QCOMPARE(recorder.events.at(0), QStringLiteral("send 83"));
        QCOMPARE(recorder.events.at(1), QStringLiteral("blue:Saving"));
        QCOMPARE(recorder.events.last(), QStringLiteral("save timer"));
        QCOMPARE(protocol.stage(), ReceiveStage::WaitSaveAck);
        QVERIFY(protocol.SavePending());
        QVERIFY(!protocol.SaveConfirmed());
    }

    void saveAcknowledged_data() {
        QTest::addColumn<bool>("timerFirst");
        QTest::newRow("acknowledged in time") << false;
        QTest::newRow("late acknowledgement after No Response") << true;
    }
    void saveAcknowledged() {
        QFETCH(bool, timerFirst);
        const CoinNumbers refreshed = numbersFrom({65535, 256, 7});
        // 84, the refreshed numbers, then a further 82 that must be ignored.
        const Bytes reply = Bytes{0x84} + coinData(refreshed) + Bytes{0x82};
        const Outcome outcome = sameOutcomeForEverySplit(reply, [&](const Chunks& chunks) {
            CoinSettingState state;
            Recorder recorder;
            CoinSettingProtocol protocol(state, recorder, recorder);
            protocol.load();
            recorder.deliver(protocol, {bytesFromHex(kExampleBlock) + bytesFromHex("82 83")});
            protocol.SendSettings(refreshed);
            recorder.events.clear();
            recorder.sent.clear();
            if (timerFirst) {
                protocol.saveTimerExpired();
            }
            recorder.deliver(protocol, chunks);
            protocol.saveTimerExpired();  // in time: says nothing any more
            return Outcome{recorder.events, stageName(protocol.stage())};
        });
        const QStringList noResponse =
            timerFirst ? QStringList{QStringLiteral("red:No Response")} : QStringList{};
        QCOMPARE(outcome.events, noResponse + QStringList{kSaveComplete} + boxEvents(refreshed));
        QCOMPARE(outcome.stage, QStringLiteral("WaitStart"));
    }

    void saveNotAcknowledged_data() {
        QTest::addColumn<Bytes>("reply");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("wrong byte") << bytesFromHex("00")
                                    << QStringList{QStringLiteral("red:Save faild,Reset hopper"),
                                                   QStringLiteral("discard")};
        QTest::newRow("ready byte instead of the acknowledgement")
            << bytesFromHex("82")
            << QStringList{QStringLiteral("red:Save faild,Reset hopper"),
                           QStringLiteral("discard")};
        Bytes wrongSum = Bytes{0x84} + coinData(oneToSixteen(), 0x00);
        QTest::newRow("refreshed block with a wrong checksum")
            << wrongSum
            << QStringList{kSaveComplete} + boxEvents(oneToSixteen()) +
                   QStringList{kChecksumError, QStringLiteral("discard")};
    }
    void saveNotAcknowledged() {
        QFETCH(Bytes, reply);
        QFETCH(QStringList, events);
        const Outcome outcome = sameOutcomeForEverySplit(reply, [&](const Chunks& chunks) {
            CoinSettingState state;
            Recorder recorder;
            CoinSettingProtocol protocol(state, recorder, recorder);
            protocol.load();
            protocol.SendSettings(oneToSixteen());
            recorder.events.clear();
            recorder.deliver(protocol, chunks);
            return Outcome{recorder.events, stageName(protocol.stage())};
        });
        QCOMPARE(outcome.events, events);
        QCOMPARE(outcome.stage, QStringLiteral("WaitStart"));
    }

    // The refreshed numbers after 84 are a block of their own, whatever the block before them
    // left behind: each channel lands in its own box and the checksum is checked on its byte.
    void refreshedBlockAfterACutShortOne_data() {
        QTest::addColumn<Bytes>("before");
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("save pressed after channel 1 and half of channel 2")
            << bytesFromHex("3A 00 00 01 00 03 E8 00") << false;
        QTest::newRow("save pressed after an odd number of coin bytes")
            << bytesFromHex("3A 00 00 01 00 03") << false;
        QTest::newRow("block stalled in its coin data and timed out")
            << bytesFromHex("3A 00 00 01 00 03 E8 00") << true;
        Bytes noChecksum = bytesFromHex(kExampleBlock);
        noChecksum.pop_back();
        QTest::newRow("block stalled at its checksum and timed out") << noChecksum << true;
    }
    void refreshedBlockAfterACutShortOne() {
        QFETCH(Bytes, before);
        QFETCH(bool, timedOut);
        const CoinNumbers refreshed = numbersFrom({1234, 0x3A84, 7});
        const Outcome outcome =
            sameOutcomeForEverySplit(Bytes{0x84} + coinData(refreshed), [&](const Chunks& chunks) {
                CoinSettingState state;
                Recorder recorder;
                CoinSettingProtocol protocol(state, recorder, recorder);
                protocol.load();
                recorder.deliver(protocol, {before});
                if (timedOut) {
                    protocol.blockTimerExpired();
                }
                protocol.SendSettings(refreshed);
                recorder.events.clear();
                recorder.deliver(protocol, chunks);
                return Outcome{recorder.events, stageName(protocol.stage())};
            });
        QCOMPARE(outcome.events, QStringList{kSaveComplete} + boxEvents(refreshed));
        QCOMPARE(outcome.stage, QStringLiteral("WaitStart"));
    }

    void noResponse() {
        CoinSettingState state;
        Recorder recorder;
        CoinSettingProtocol protocol(state, recorder, recorder);
        protocol.SendSettings(oneToSixteen());
        recorder.events.clear();
        protocol.saveTimerExpired();
        QCOMPARE(recorder.events, QStringList{QStringLiteral("red:No Response")});
        // Still waiting: a late acknowledgement is taken.
        QCOMPARE(protocol.stage(), ReceiveStage::WaitSaveAck);
    }

    void nextPowerOnAfterSave() {
        // After the refreshed block the hopper is restarted: its block leads to the handshake
        // again, because reaching the coin data of a block ends the pending save.
        const CoinNumbers refreshed = oneToSixteen();
        CoinSettingState state;
        Recorder recorder;
        CoinSettingProtocol protocol(state, recorder, recorder);
        protocol.SendSettings(refreshed);
        recorder.deliver(protocol, {Bytes{0x84} + coinData(refreshed)});
        QCOMPARE(protocol.stage(), ReceiveStage::WaitStart);
        QVERIFY(state.savePending);
        recorder.deliver(protocol, {bytesFromHex(kExampleBlock)});
        QVERIFY(!state.savePending);
        QCOMPARE(protocol.stage(), ReceiveStage::WaitReady);
    }

    void stateSurvivesReload() {
        CoinSettingState state;
        {
            Recorder recorder;
            CoinSettingProtocol first(state, recorder, recorder);
            first.load();
            recorder.deliver(first, {bytesFromHex("3A 00 00 05 00")});  // left in SkipPart
            first.SendSettings(oneToSixteen());
        }
        QCOMPARE(state.receiveStage, ReceiveStage::WaitSaveAck);
        QVERIFY(state.savePending);

        // The window is opened again: a new protocol object on the same state.
        Recorder recorder;
        CoinSettingProtocol second(state, recorder, recorder);
        QCOMPARE(second.stage(), ReceiveStage::WaitSaveAck);
        second.load();
        QCOMPARE(second.stage(), ReceiveStage::WaitStart);
        QVERIFY(second.SavePending());

        // A pending save makes a right block end at WaitStart instead of the handshake... but
        // a power-on block clears it on its way into the coin data.
        recorder.deliver(second, {bytesFromHex(kExampleBlock)});
        QCOMPARE(second.stage(), ReceiveStage::WaitReady);
    }

    void loadAbandonsHalfReadBlock() {
        CoinSettingState state;
        Recorder recorder;
        CoinSettingProtocol first(state, recorder, recorder);
        recorder.deliver(first, {bytesFromHex("3A 00 00 01 00 03 E8 00 00")});
        QCOMPARE(state.receiveStage, ReceiveStage::CoinData);

        CoinSettingProtocol second(state, recorder, recorder);
        second.load();
        recorder.events.clear();
        recorder.deliver(second, {bytesFromHex(kExampleBlock)});
        const QStringList expected =
            QStringList{QStringLiteral("blue:"), QStringLiteral("block timer")} +
            boxEvents(numbersFrom({1000}));
        QCOMPARE(recorder.events, expected);
    }
};

QTEST_APPLESS_MAIN(CoinSettingProtocolTest)
#include "test_coinsettingprotocol.moc"
