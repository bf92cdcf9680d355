// Every emulated interface against the tool's own engine for it, without a terminal: the main
// road and each fault the emulator injects, with the outcome the engine is meant to show.
#include <QTest>

#include <deque>
#include <functional>
#include <span>

#include "cny/cnydecoder.h"
#include "cny/cnyreplyassembler.h"
#include "coinsetting/coinsettingprotocol.h"
#include "hopperline.h"
#include "hwtest/teststreamreceiver.h"
#include "simulation/tzvsimulation.h"

using namespace pellix;
using namespace pellix::emulator;

Q_DECLARE_METATYPE(std::optional<pellix::emulator::Fault>)
Q_DECLARE_METATYPE(pellix::emulator::Variant)

namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Carries bytes between a hopper line and an engine until both are quiet. Each chunk of a
// delivery is one read on the tool's side; bytes go to the engine one at a time until it
// discards what is still waiting, as the serial link does. What the engine sends goes back to
// the hopper after the read.
class Wire final : public LinePort {
  public:
    explicit Wire(HopperLine& line, std::function<void(std::uint8_t)> feed)
        : m_line(line), m_feed(std::move(feed)) {}

    bool send(std::span<const std::uint8_t> bytes) override {
        m_fromTool.insert(m_fromTool.end(), bytes.begin(), bytes.end());
        return true;
    }
    using LinePort::send;
    void discardInput() override { m_waiting.clear(); }
    void startTimeout(std::size_t) override {}
    void stopTimeout(std::size_t) override {}
    void deliver(const Delivery& delivery) {
        for (const Chunk& chunk : delivery) {
            ++reads;
            m_waiting.assign(chunk.bytes.begin(), chunk.bytes.end());
            while (!m_waiting.empty()) {
                const std::uint8_t b = m_waiting.front();
                m_waiting.pop_front();
                m_feed(b);
            }
            flush();
        }
    }
    void flush() {
        while (!m_fromTool.empty()) {
            const Bytes bytes = std::exchange(m_fromTool, {});
            deliver(m_line.fromPc(bytes));
        }
    }
    void powerOn() { deliver(m_line.powerOn()); }

    int reads = 0;

  private:
    HopperLine& m_line;
    std::function<void(std::uint8_t)> m_feed;
    std::deque<std::uint8_t> m_waiting;
    Bytes m_fromTool;
};

// --- coin number setting ---

class CoinSettingScreen final : public CoinSettingView {
  public:
    QString status;
    QStringList boxes = QStringList(16, QString());
    QStringList messages;

    void showStatus(StatusColour colour, std::string_view t) override {
        status = (colour == StatusColour::Red ? QStringLiteral("red:") : QString()) + text(t);
    }
    void setChannelText(int channel, std::string_view t) override { boxes[channel] = text(t); }
    void showReceiveError(std::string_view message) override { messages << text(message); }
    void unlockInputs() override {}
};

QStringList numbersText(const std::array<std::uint16_t, 16>& numbers) {
    QStringList out;
    for (std::uint16_t n : numbers) {
        out << QString::number(n);
    }
    return out;
}

// --- CNY ---

class CnyView final : public cny::ReplyListener {
  public:
    QStringList log;
    QString status;
    QString remain;
    void byteListed(std::uint8_t) override {}
    void showStatus(std::string_view t) override { status = text(t); }
    void showRemainCoin(std::string_view t) override { remain = text(t); }
    void logReply(const cny::Frame&, cny::LogMessage message) override {
        log << text(cny::logMessageText(message));
    }
};

// --- hardware test ---

class HardwareTestScreen final : public hwtest::TestStreamView {
  public:
    QString checksum;
    QString software;
    std::array<QString, hwtest::kTestItemCount> results;
    QString dip;
    QString productCode;
    QString serial;

    void showChecksum(std::string_view t) override { checksum = text(t); }
    void appendSoftwareText(std::string_view c) override { software += text(c); }
    void firmwareVariantDecided(hwtest::FirmwareVariant) override {}
    void showDipSwitches(const hwtest::DipSwitches& on) override {
        dip.clear();
        for (std::uint8_t v : on) {
            dip += QString::number(v);
        }
    }
    void setResult(hwtest::TestItem item, hwtest::TestResult result) override {
        static const char* const kNames[] = {"P", "F", "U"};
        results[static_cast<std::size_t>(item)] = kNames[static_cast<int>(result)];
    }
    void appendRecordText(hwtest::FlashField field, std::string_view c) override {
        if (field == hwtest::FlashField::ProductCode) {
            productCode += text(c);
        }
    }
    void showSerialNumber(std::string_view t) override { serial = text(t); }

    // Results in the emulator's letter order; "-" for an item not shown yet.
    QString resultLetters() const {
        QString out;
        for (const QString& r : results) {
            out += r.isEmpty() ? QStringLiteral("-") : r;
        }
        return out;
    }
};

}  // namespace

class EmulatorAgainstEngines : public QObject {
    Q_OBJECT
  private slots:
    void coinSetting_data() {
        QTest::addColumn<int>("skip");
        QTest::addColumn<std::optional<Fault>>("atPowerOn");
        QTest::addColumn<std::optional<Fault>>("atSave");
        QTest::addColumn<int>("splitAt");
        QTest::addColumn<QString>("statusAfterPowerOn");
        QTest::addColumn<QString>("statusAfterSave");
        QTest::addColumn<bool>("saved");

        const QString entry = QStringLiteral("Enter Data (Do not Reset hopper)");
        const QString done = QStringLiteral("Save complete");
        const QString checksum = QStringLiteral("red:Checksum Error,Reset hopper");
        const QString saving = QStringLiteral("Saving");
        const std::optional<Fault> none;
        QTest::newRow("main road, skipped part of 4")
            << 4 << none << none << 0 << entry << done << true;
        QTest::newRow("skipped part of 1") << 1 << none << none << 0 << entry << done << true;
        QTest::newRow("skipped part of 255") << 255 << none << none << 0 << entry << done << true;
        QTest::newRow("block split in the coin data")
            << 4 << std::optional(Fault::Split) << none << 20 << entry << done << true;
        QTest::newRow("save answer split right after 84")
            << 4 << none << std::optional(Fault::Split) << 1 << entry << done << true;
        QTest::newRow("noise before the block")
            << 4 << std::optional(Fault::Garbage) << none << 0 << entry << done << true;
        QTest::newRow("stray byte before the block")
            << 4 << std::optional(Fault::StrayStart) << none << 0 << entry << done << true;
        QTest::newRow("wrong block checksum")
            << 4 << std::optional(Fault::WrongChecksum) << none << 0 << checksum << saving << false;
        QTest::newRow("wrong checksum of the refreshed block")
            << 4 << none << std::optional(Fault::WrongChecksum) << 0 << entry << checksum << true;
        QTest::newRow("silent at power-on")
            << 4 << std::optional(Fault::Silence) << none << 0 << QString() << saving << false;
        QTest::newRow("save never acknowledged")
            << 4 << none << std::optional(Fault::Silence) << 0 << entry << saving << true;
        QTest::newRow("noise before the acknowledgement")
            << 4 << none << std::optional(Fault::Garbage) << 0 << entry
            << QStringLiteral("red:Save faild,Reset hopper") << true;
    }
    // Power-on block, handshake, a save with its acknowledgement and refreshed block.
    void coinSetting() {
        QFETCH(int, skip);
        QFETCH(std::optional<Fault>, atPowerOn);
        QFETCH(std::optional<Fault>, atSave);
        QFETCH(int, splitAt);
        QFETCH(QString, statusAfterPowerOn);
        QFETCH(QString, statusAfterSave);
        QFETCH(bool, saved);
        const QString entry = QStringLiteral("Enter Data (Do not Reset hopper)");

        HopperLine line(makeHopper(Mode::CoinSetting));
        auto& hopper = static_cast<CoinSettingHopper&>(line.hopper());
        hopper.m_skipLength = static_cast<std::uint8_t>(skip);
        hopper.m_coinNumbers = {7, 65535, 256, 1000, 0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12};
        const QStringList before = numbersText(hopper.m_coinNumbers);

        CoinSettingState state;
        CoinSettingScreen view;
        CoinSettingProtocol* engine = nullptr;
        Wire wire(line, [&](std::uint8_t b) { engine->HandleReceivedByte(b); });
        CoinSettingProtocol protocol(state, wire, view);
        engine = &protocol;
        protocol.load();
        view.status.clear();

        if (atPowerOn) {
            QVERIFY(!line.arm(*atPowerOn, splitAt));
        }
        wire.powerOn();
        QCOMPARE(view.status, statusAfterPowerOn);
        if (statusAfterPowerOn == entry) {
            QCOMPARE(view.boxes, before);
            // Block, ready byte and entry byte, each one read; a split block takes two.
            QCOMPARE(wire.reads, atPowerOn == Fault::Split ? 4 : 3);
        }

        CoinNumbers edited = hopper.m_coinNumbers;
        edited[0] = 1234;
        edited[15] = 65535;
        if (atSave) {
            QVERIFY(!line.arm(*atSave, splitAt));
        }
        protocol.SendSettings(edited);
        wire.flush();
        QCOMPARE(view.status, statusAfterSave);
        QCOMPARE(hopper.m_coinNumbers == edited, saved);
        if (statusAfterSave == QStringLiteral("Save complete")) {
            QCOMPARE(view.boxes, numbersText(edited));  // the refreshed block
            QCOMPARE(protocol.stage(), ReceiveStage::WaitStart);
        }
    }

    void cny_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<std::uint8_t>("status");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("count");
        QTest::addColumn<std::optional<Fault>>("fault");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("remainAfter");

        using C = cny::Command;
        const std::optional<Fault> none;
        const QStringList noError{"NO ERROR"};
        QTest::newRow("status, no fault")
            << 2 << std::uint8_t(0) << int(C::RequestStatus) << 0 << none << noError << 50;
        QTest::newRow("status, motor and coins") << 0 << std::uint8_t(0x03) << int(C::RequestStatus)
                                                 << 0 << none << QStringList{"MOTOR PROBLEM"} << 50;
        QTest::newRow("remain coins") << 1 << std::uint8_t(0) << int(C::RequestRemainCoin) << 0
                                      << none << QStringList{"RESPONSE ACK OR REMAIN COIN"} << 50;
        QTest::newRow("payout with a reply per coin")
            << 3 << std::uint8_t(0) << int(C::PayoutReply) << 3 << none
            << QStringList{"PAYOUT ONE COIN", "PAYOUT ONE COIN", "PAYOUT ONE COIN",
                           "PAYOUT FINISHED"}
            << 47;
        QTest::newRow("payout without reply")
            << 0 << std::uint8_t(0) << int(C::PayoutNoReply) << 5 << none << QStringList{} << 45;
        QTest::newRow("payout refused with a motor fault")
            << 0 << std::uint8_t(0x01) << int(C::PayoutReply) << 2 << none
            << QStringList{"RESPONSE NAK"} << 50;
        QTest::newRow("reset") << 0 << std::uint8_t(0x10) << int(C::ResetHopper) << 0 << none
                               << QStringList{"RESPONSE ACK OR REMAIN COIN"} << 50;
        QTest::newRow("wrong checksum: no row")
            << 0 << std::uint8_t(0) << int(C::RequestStatus) << 0
            << std::optional(Fault::WrongChecksum) << QStringList{} << 50;
        QTest::newRow("split reply") << 0 << std::uint8_t(0) << int(C::RequestStatus) << 0
                                     << std::optional(Fault::Split) << noError << 50;
        QTest::newRow("noise before the reply")
            << 0 << std::uint8_t(0) << int(C::RequestStatus) << 0 << std::optional(Fault::Garbage)
            << noError << 50;
        QTest::newRow("stray 05 loses the reply")
            << 0 << std::uint8_t(0) << int(C::RequestStatus) << 0
            << std::optional(Fault::StrayStart) << QStringList{} << 50;
        QTest::newRow("silence") << 0 << std::uint8_t(0) << int(C::RequestStatus) << 0
                                 << std::optional(Fault::Silence) << QStringList{} << 50;
        QTest::newRow("stray 05 costs only the first coin report")
            << 0 << std::uint8_t(0) << int(C::PayoutReply) << 2 << std::optional(Fault::StrayStart)
            << QStringList{"PAYOUT ONE COIN", "PAYOUT FINISHED"} << 48;
    }
    // One command from the tool's own frame builder, the hopper's replies through the tool's
    // reply assembler and decoder; the remain query afterwards shows what a payout really paid.
    void cny() {
        QFETCH(int, address);
        QFETCH(std::uint8_t, status);
        QFETCH(int, command);
        QFETCH(int, count);
        QFETCH(std::optional<Fault>, fault);
        QFETCH(QStringList, log);
        QFETCH(int, remainAfter);

        HopperLine line(makeHopper(Mode::Cny));
        auto& hopper = static_cast<CnyHopper&>(line.hopper());
        hopper.m_address = static_cast<std::uint8_t>(address);
        hopper.m_status = status;
        line.powerOn();
        CnyView view;
        cny::ReplyAssembler assembler;
        Wire wire(line, [&](std::uint8_t b) { assembler.feed(b, view); });
        if (fault) {
            QVERIFY(!line.arm(*fault));
        }
        const cny::Frame frame =
            cny::commandFrame(static_cast<cny::Command>(command),
                              static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(count));
        wire.deliver(line.fromPc(frame));
        QCOMPARE(view.log, log);

        view.log.clear();
        wire.deliver(line.fromPc(cny::commandFrame(cny::Command::RequestRemainCoin,
                                                   static_cast<std::uint8_t>(address), 0)));
        QCOMPARE(view.log, QStringList{"RESPONSE ACK OR REMAIN COIN"});
        QCOMPARE(view.remain, QStringLiteral(" %1").arg(remainAfter));
    }

    // Frames the hopper cannot take get a NAK: the tool shows "Command deny".
    void cnyNak_data() {
        QTest::addColumn<QByteArray>("frame");
        const cny::Frame status = cny::commandFrame(cny::Command::RequestStatus, 1, 0);
        cny::Frame badSum = status;
        badSum[5] ^= 0x01;
        QTest::newRow("wrong address")
            << QByteArray(reinterpret_cast<const char*>(
                              cny::commandFrame(cny::Command::RequestStatus, 2, 0).data()),
                          6);
        QTest::newRow("wrong checksum")
            << QByteArray(reinterpret_cast<const char*>(badSum.data()), 6);
        cny::Frame unknown{0x05, 0x10, 0x01, 0x55, 0x00, 0x00};
        unknown[5] = cny::checksum(std::span(unknown).first(5));
        QTest::newRow("unknown command")
            << QByteArray(reinterpret_cast<const char*>(unknown.data()), 6);
    }
    void cnyNak() {
        QFETCH(QByteArray, frame);
        HopperLine line(makeHopper(Mode::Cny));
        static_cast<CnyHopper&>(line.hopper()).m_address = 1;
        line.powerOn();
        CnyView view;
        cny::ReplyAssembler assembler;
        Wire wire(line, [&](std::uint8_t b) { assembler.feed(b, view); });
        wire.deliver(line.fromPc(Bytes(frame.begin(), frame.end())));
        QCOMPARE(view.log, QStringList{"RESPONSE NAK"});
        QCOMPARE(view.status, QStringLiteral("Command deny"));
    }

    // The tool's own command bytes, decoded by the hopper; nothing comes back.
    void tzv() {
        HopperLine line(makeHopper(Mode::Tzv));
        line.powerOn();
        const auto startUp = tzv::startUpCommand();
        Bytes bytes(startUp.begin(), startUp.end());
        for (int position : {0, 15}) {
            const auto d = tzv::dispenseCommand(tzv::channelByteFor(position));
            bytes.insert(bytes.end(), d.begin(), d.end());
        }
        bytes.insert(bytes.end(), {0x81, 0x40, 0x11});
        QVERIFY(line.fromPc(bytes).empty());
        const std::vector<std::string> notes = line.hopper().takeNotes();
        QCOMPARE(notes.size(), 4u);
        QCOMPARE(notes[0], "start-up");
        QCOMPARE(notes[1], "dispense channel 1");
        QCOMPARE(notes[2], "dispense channel 16");
        QVERIFY(notes[3].find("end byte") != std::string::npos);
        // Switched off, it hears nothing.
        line.hopper().powerOff();
        QVERIFY(line.fromPc(bytes).empty());
        QCOMPARE(line.hopper().takeNotes().size(), 1u);
    }

    void hardwareTest_data() {
        QTest::addColumn<Variant>("variant");
        QTest::addColumn<QString>("outcomes");
        QTest::addColumn<std::optional<Fault>>("fault");
        QTest::addColumn<QString>("shown");  // what the tool shows, in the same letter order

        const std::optional<Fault> none;
        for (Variant v : {Variant::BEarly, Variant::Generic, Variant::HEarly, Variant::HLate}) {
            const QByteArray name(variantName(v).data(),
                                  static_cast<qsizetype>(variantName(v).size()));
            QTest::addRow("%s all pass", name.constData()) << v << "PPPPPP" << none << "PPPPPP";
            QTest::addRow("%s sensors fail", name.constData()) << v << "PPPFFF" << none << "PPPF-F";
            QTest::addRow("%s motor reverse fails", name.constData())
                << v << "PFPPPP" << none << "PFPPPP";
            QTest::addRow("%s stream split", name.constData())
                << v << "PPPPPP" << std::optional(Fault::Split) << "PPPPPP";
        }
        QTest::newRow("motor stop undetermined ends the run")
            << Variant::Generic << "PPUPPP" << none << "PPU---";
        QTest::newRow("shaft undetermined ends the run")
            << Variant::HLate << "PPPPPU" << none << "PPP---";
        QTest::newRow("noise before the header")
            << Variant::HEarly << "PPPPPP" << std::optional(Fault::Garbage) << "PPPPPP";
        QTest::newRow("stray byte before the header")
            << Variant::BEarly << "PPPPPP" << std::optional(Fault::StrayStart) << "PPPPPP";
        QTest::newRow("silent at power-on")
            << Variant::HEarly << "PPPPPP" << std::optional(Fault::Silence) << "------";
    }
    // The self-test stream of each firmware through the tool's receiver, then the monitor
    // phase: DIP state, prism events, the flash record read and written.
    void hardwareTest() {
        QFETCH(Variant, variant);
        QFETCH(QString, outcomes);
        QFETCH(std::optional<Fault>, fault);
        QFETCH(QString, shown);

        HopperLine line(makeHopper(Mode::HardwareTest, variant, 7));
        auto& hopper = static_cast<HardwareTestHopper&>(line.hopper());
        hopper.m_outcomes = *outcomesFromText(outcomes.toStdString());
        hopper.m_dip = 0x09;
        HardwareTestScreen view;
        hwtest::TestStreamReceiver* engine = nullptr;
        Wire wire(line, [&](std::uint8_t b) { engine->feed(b); });
        hwtest::TestStreamReceiver receiver(wire, view);
        engine = &receiver;
        if (fault) {
            QVERIFY(!line.arm(*fault));
        }
        wire.powerOn();
        QCOMPARE(view.resultLetters(), shown);
        if (!shown.contains(QLatin1Char('-'))) {
            QCOMPARE(view.software, QString::fromStdString(hopper.version()));
            QCOMPARE(view.dip, QStringLiteral("1001"));
            QCOMPARE(receiver.state(), hwtest::TestStreamState::Monitor);
        }
        if (receiver.state() != hwtest::TestStreamState::Monitor) {
            return;
        }
        wire.deliver(line.deliver(hopper.setDip(0x06)));
        QCOMPARE(view.dip, QStringLiteral("0110"));
        view.results[int(hwtest::TestItem::PrismSensor)].clear();
        wire.deliver(line.deliver(hopper.prismEvents(3)));
        QCOMPARE(view.results[int(hwtest::TestItem::PrismSensor)], QStringLiteral("P"));

        receiver.sendReadFlashRequest();
        wire.flush();
        QCOMPARE(view.productCode, QStringLiteral("PX-310"));
        QCOMPARE(view.serial, QStringLiteral("12345678"));

        hwtest::FlashRecord record = hwtest::FlashRecord::decode(hopper.m_record);
        record.productCode = "PX-320";
        record.serialNumber = "00000042";
        QVERIFY(receiver.writeFlash(record).empty());
        wire.flush();
        QCOMPARE(hwtest::FlashRecord::decode(hopper.m_record), record);
    }
};

QTEST_APPLESS_MAIN(EmulatorAgainstEngines)
#include "test_emulatorengines.moc"
