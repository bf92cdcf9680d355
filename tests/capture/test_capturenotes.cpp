// Each engine's notes for the traffic capture, from a known exchange; and the windows behind
// the notes get exactly the calls they would get without them.
#include <QTest>

#include <functional>

#include "capture/capture.h"
#include "capture/captureformat.h"
#include "cny/cnyframe.h"
#include "cny/cnynotes.h"
#include "cny/cnyreplyassembler.h"
#include "coinsetting/coinsettingnotes.h"
#include "coinsetting/coinsettingprotocol.h"
#include "common/lineport.h"
#include "hwtest/hwtestnotes.h"
#include "hwtest/teststreamreceiver.h"
#include "simulation/tzvsimulation.h"

using namespace pellix;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Calls = std::vector<std::string>;

struct Notes final : NoteSink {
    void note(std::string_view text) override { m_notes.emplace_back(text); }
    Calls m_notes;
};

// The line: every call as a line of text among the view's calls, so the order of both is
// compared. A capture, when given, records what is sent as the serial link does.
struct Line final : LinePort {
    bool send(std::span<const std::uint8_t> bytes) override {
        for (std::uint8_t b : bytes) {
            calls->push_back("send " + std::to_string(b));
        }
        if (capture) {
            capture->sent(bytes);
        }
        return true;
    }
    void discardInput() override { calls->push_back("discard"); }
    void startTimeout(std::size_t t) override { calls->push_back("start " + std::to_string(t)); }
    void stopTimeout(std::size_t t) override { calls->push_back("stop " + std::to_string(t)); }
    Calls* calls = nullptr;
    Capture* capture = nullptr;
};

// Every view call as a line of text, to compare what a window is told.
struct CoinWindow final : CoinSettingView {
    void showStatus(StatusColour c, std::string_view t) override {
        calls.push_back("status " + std::to_string(int(c)) + std::string(t));
    }
    void setChannelText(int i, std::string_view t) override {
        calls.push_back("box " + std::to_string(i) + std::string(t));
    }
    void unlockInputs() override { calls.push_back("unlock"); }
    void showReceiveError(std::string_view t) override { calls.push_back("box " + std::string(t)); }
    Calls calls;
};

struct CnyWindow final : cny::SessionView {
    void logCommand(const cny::Frame& f, cny::LogMessage m) override {
        calls.push_back("command " + std::to_string(f[3]) + " " + std::to_string(int(m)));
    }
    void showCountRangeError() override { calls.push_back("range"); }
    void byteListed(std::uint8_t b) override { calls.push_back("byte " + std::to_string(b)); }
    void showStatus(std::string_view t) override { calls.push_back("status " + std::string(t)); }
    void showRemainCoin(std::string_view t) override {
        calls.push_back("remain " + std::string(t));
    }
    void logReply(const cny::Frame& f, cny::LogMessage m) override {
        calls.push_back("log " + std::to_string(f[3]) + " " + std::to_string(int(m)));
    }
    Calls calls;
};

struct HwWindow final : hwtest::TestStreamView {
    void showChecksum(std::string_view t) override { calls.push_back("sum " + std::string(t)); }
    void appendSoftwareText(std::string_view c) override {
        calls.push_back("char " + std::string(c));
    }
    void firmwareVariantDecided(hwtest::FirmwareVariant v) override { add("variant", int(v)); }
    void showDipSwitches(const hwtest::DipSwitches& on) override {
        add("dip", on[0] | on[1] << 1 | on[2] << 2 | on[3] << 3);
    }
    void setResult(hwtest::TestItem i, hwtest::TestResult r) override {
        add("result", int(i) * 10 + int(r));
    }
    void appendRecordText(hwtest::FlashField f, std::string_view c) override {
        calls.push_back("field" + std::to_string(int(f)) + " " + std::string(c));
    }
    void showSerialNumber(std::string_view t) override { calls.push_back(std::string(t)); }
    void add(const std::string& what, int value) {
        calls.push_back(what + " " + std::to_string(value));
    }
    Calls calls;
};

Bytes settingsBlock(const CoinNumbers& values) {
    Bytes block{0x3A, 0x00, 0x00, 0x01, 0x00};
    std::uint8_t sum = 0;
    for (std::uint16_t v : values) {
        block.push_back(static_cast<std::uint8_t>(v >> 8));
        block.push_back(static_cast<std::uint8_t>(v & 0xFF));
        sum = static_cast<std::uint8_t>(sum + (v >> 8) + (v & 0xFF));
    }
    block.push_back(sum);
    return block;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

template <typename Frame>
Bytes bytesOf(const Frame& frame) {
    return Bytes(frame.begin(), frame.end());
}

}  // namespace

class CaptureNotesTest : public QObject {
    Q_OBJECT
  private slots:
    // Power-on block with 1000 on channel 1, the handshake, a save of 256 on channel 2 with
    // its acknowledgement and refreshed block, then a stray byte after the save.
    void coinSettingSession() {
        CoinNumbers stored{};
        stored[0] = 1000;
        CoinNumbers saved{};
        saved[1] = 256;
        // With notes the protocol talks to the window through them, as in a captured window; the
        // window and the line must see exactly what they see without them.
        const auto run = [&](CoinWindow& shown, CoinSettingView& window) {
            CoinSettingState state;
            Line line;
            line.calls = &shown.calls;
            CoinSettingProtocol protocol(state, line, window);
            protocol.load();
            const auto feed = [&](const Bytes& bytes) {
                const FeedResult result = protocol.feed(bytes);
                shown.calls.push_back(result.stop ? "fed, stop" : "fed");
            };
            const auto save = [&] { protocol.SendSettings(saved); };
            feed(cat({settingsBlock(stored), {0x82, 0x83}}));
            save();
            Bytes refreshed = settingsBlock(saved);
            refreshed.erase(refreshed.begin(), refreshed.begin() + 5);
            feed(cat({{0x84}, refreshed}));
            save();
            // A stray byte while the save waits drops the rest of its batch.
            feed({0x55, 0x3A, 0x00});
        };
        CoinWindow plain;
        run(plain, plain);
        CoinWindow window;
        CoinSettingNotes notes(window);
        Notes sink;
        notes.setSink(&sink);
        run(window, notes);
        QVERIFY(window.calls == plain.calls);

        Calls expected{"status \"Switch on Pellix\"",
                       "status \"\"",
                       "stage Header",
                       "stage SkipPart",
                       "stage CoinData",
                       "channel 1 = 1000"};
        for (int c = 2; c <= 16; ++c) {
            expected.push_back("channel " + std::to_string(c) + " = 0");
        }
        expected.insert(expected.end(),
                        {"stage ChecksumByte", "stage WaitReady", "stage WaitEntry",
                         "status \"Enter Data (Do not Reset hopper)\"", "status \"Saving\"",
                         "stage WaitSaveAck", "status \"Save complete\"", "stage CoinData"});
        for (int c = 1; c <= 16; ++c) {
            expected.push_back("channel " + std::to_string(c) + " = " + (c == 2 ? "256" : "0"));
        }
        expected.insert(
            expected.end(),
            {"stage ChecksumByte", "stage WaitStart", "status \"Saving\"", "stage WaitSaveAck",
             "status (red) \"Save faild,Reset hopper\"", "stage WaitStart"});
        QCOMPARE(sink.m_notes, expected);
    }

    // Replies of each kind, one split over two feeds, frames dropped for their checksum and
    // their address, a command and a time-out with no reply after it.
    void cnySession() {
        const Bytes stream = cat({
            bytesOf(cny::replyFrame(0, cny::kStatusReply, 0x00)),
            bytesOf(cny::replyFrame(1, cny::kAckReply, 12)),
            {0x05, 0x01, 0x00, 0x04, 0x00, 0x0B},  // checksum off by one
            {0x05, 0x01, 0x07},                    // no such address
            bytesOf(cny::replyFrame(0, cny::kNakReply, 0)),
            bytesOf(cny::replyFrame(2, 0x55, 0)),
        });
        const auto run = [&](CnyWindow& shown, cny::SessionView& window) {
            cny::ReplyAssembler assembler;
            Line line;
            line.calls = &shown.calls;
            cny::Session session(assembler, line, window);
            session.sendCommand(cny::Command::RequestStatus, 2, "");
            session.sendCommand(cny::Command::PayoutReply, 1, "256");  // out of range: no note
            const std::size_t split = 9;
            session.feed(std::span(stream).first(split));
            session.feed(std::span(stream).subspan(split));
            session.timeoutExpired(cny::kReplyTimeout);
        };
        CnyWindow plain;
        run(plain, plain);
        CnyWindow window;
        cny::CnyNotes notes(window);
        Notes sink;
        notes.setSink(&sink);
        run(window, notes);
        QVERIFY(window.calls == plain.calls);
        const Calls expected{
            "STATUS QUERY",
            "NO ERROR | Status \"No Error\"",
            "RESPONSE ACK OR REMAIN COIN | Remain Coin \" 12\"",
            "frame dropped: checksum 0B, the bytes sum to 0A",
            "frame dropped: address 07 is not 00 to 03",
            "RESPONSE NAK | Status \"Command deny\" | Remain Coin \" 0\"",
            "reply, no message",
            "no reply to STATUS QUERY within 1000 ms",
        };
        QCOMPARE(sink.m_notes, expected);
    }

    // The HEarly exchange: header, prompt and reply, motor and sensor results, prism events,
    // DIP state; then a flash record read and one written.
    void hardwareTestSession() {
        Bytes record(105, 0x00);
        const std::string software = "SW1";
        std::copy(software.begin(), software.end(), record.begin());
        record[20] = 0xFF;  // a product code byte the boxes drop
        record[21] = 'P';
        record[60] = 0x39;  // serial number 12345 = 0x003039
        record[61] = 0x30;
        record[99] = 'C';
        const Bytes stream = cat({
            {0x3A, 0x1F, 0x2E, 0x08, 'T', 'D', '3', '&', 'H', '5', '0', 0x3A, 0x3C},
            {0x3C, 0x3D, 0x3D, 0x3B},
            {0x41, 0x43, 0, 0, 0, 0x41, 0x43, 0, 0, 0, 0x41, 0x43},
            {0x46, 0x46, 0x46, 0x58, 0x05, 0x7B},
            record,
        });
        // With notes the receiver talks to the window and the line through them, as in a
        // captured window.
        const auto run = [&](HwWindow& shown, Notes* sink) {
            Line line;
            line.calls = &shown.calls;
            hwtest::HwTestNotes notes(shown, line);
            notes.setSink(sink);
            hwtest::TestStreamReceiver receiver(
                sink ? static_cast<LinePort&>(notes) : line,
                sink ? static_cast<hwtest::TestStreamView&>(notes) : shown);
            const std::size_t split = 20;
            receiver.feed(std::span(stream).first(split));
            receiver.feed(std::span(stream).subspan(split));
            receiver.sendReadFlashRequest();
            hwtest::FlashRecord written;
            written.softwareVersion = "W";
            QVERIFY(receiver.writeFlash(written).empty());
            receiver.sendDipFinished();
        };
        HwWindow plain;
        run(plain, nullptr);
        HwWindow window;
        Notes sink;
        run(window, &sink);
        QVERIFY(window.calls == plain.calls);
        const Calls expected{
            "checksum 0x1F2E",
            "software \"TD3&H50\", variant HEarly",
            "PromptReply",
            "Motor Forward pass",
            "Motor Reverse pass",
            "Motor Stop fail",
            "Shaft Sensor pass",
            "Empty Sensor pass",
            "Prism Sensor pass",
            "DIP SW1 ON SW2 OFF SW3 ON SW4 OFF",
            "Software Version \"SW1\"",
            "Product Code \"P\"",
            "Serial Number 00012345",
            "Hopper Coin \"C\"",
            "ReadFlashRequest",
            "WriteFlashFrame",
            "DipFinished",
        };
        QCOMPARE(sink.m_notes, expected);
    }

    // Each command the simulation host sends is one line of the capture, with its note.
    void tzvCommands_data() {
        QTest::addColumn<int>("listPosition");
        QTest::addColumn<bool>("startUp");
        QTest::addColumn<QString>("line");
        QTest::newRow("start-up") << 3 << true << "TX 80  ; start-up";
        QTest::newRow("dispense, first channel")
            << 0 << false << "TX 81 40 10  ; dispense channel 1";
        QTest::newRow("dispense, last channel")
            << 15 << false << "TX 81 4F 10  ; dispense channel 16";
    }
    void tzvCommands() {
        QFETCH(int, listPosition);
        QFETCH(bool, startUp);
        QFETCH(QString, line);
        struct : tzv::HostView {
            void commandSent() override {}
            void showStartUpHint() override {}
        } view;
        std::int64_t micros = 0;
        Capture capture("simulation", {[&] { return micros; }, [] { return std::string(); }});
        capture.opened("COM1", "/dev/null", "9600,E,8,1");
        Calls calls;
        Line wire;
        wire.calls = &calls;
        wire.capture = &capture;
        tzv::Host host(wire, view);
        host.setNotes(&capture);
        host.selectChannel(listPosition);
        micros = 5000;
        startUp ? host.startUp() : host.dispense();
        QCOMPARE(capture.ring().size(), std::size_t(2));
        const std::string shown = formatEvent(capture.ring().at(1));
        QCOMPARE(QString::fromStdString(shown).section(QLatin1Char(' '), 1).trimmed(), line);
    }
};

QTEST_GUILESS_MAIN(CaptureNotesTest)
#include "test_capturenotes.moc"
