// A session recorded by the traffic capture against the emulated hopper, replayed by the
// emulator's replay into fresh real windows over a pty, drives them to the same screens.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <functional>
#include <sstream>

#include "capture/captureformat.h"
#include "cny/cnylogmodel.h"
#include "cny/cnytesterwindow.h"
#include "coinsettingonpty.h"
#include "fakes.h"
#include "kitprocess.h"
#include "ptyhopper.h"
#include "ptyreplay.h"
#include "serial/capturebook.h"
#include "serial/seriallink.h"
#include "widgets/lockedcombobox.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

namespace {

// What the technician sees of a window at the checkpoints of a session.
using Screens = QStringList;

std::string saved(Capture& capture) {
    std::ostringstream out;
    writeCapture(out, capture.header(), capture.ring());
    return out.str();
}

// Power-on block and handshake, then a save of two edited values and the refreshed block.
void coinSettingSession(const QString& device, CaptureBook* book,
                        const std::function<void()>& hopperStarts, Screens& screens,
                        const QString& firstValue = QStringLiteral("1234")) {
    CoinSettingOnPty on(device, book);
    const auto& window = on.window;
    QVERIFY(window && window->link().IsOpen());
    auto* status = window->findChild<QLabel*>(QStringLiteral("Label2"));
    const auto look = [&] {
        QStringList boxes;
        for (int i = 0; i < kCoinChannels; ++i) {
            boxes << window->boxText(i);
        }
        screens << status->text() + QLatin1Char('|') + boxes.join(QLatin1Char(','));
    };
    hopperStarts();
    QTRY_COMPARE(status->text(), QStringLiteral("Enter Data (Do not Reset hopper)"));
    look();
    window->setBoxText(0, firstValue);
    window->setBoxText(15, QStringLiteral("65535"));
    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QTRY_COMPARE(status->text(), QStringLiteral("Save complete"));
    QTRY_COMPARE(window->boxText(15), QStringLiteral("65535"));
    look();
    QCOMPARE(on.s.messages.m_shown.size(), 0);
    window->close();
}

// A status query, then a payout with a reply per coin.
void cnySession(const QString& device, CaptureBook* book, const std::function<void()>& hopperStarts,
                Screens& screens) {
    PtyServices s;
    s.settings.setValue(QStringLiteral("Ports/COM3"), device);
    RecordingHost host;
    CnyState state;
    auto window = std::make_unique<CnyTesterWindow>(
        s.services, host, state, book ? &book->capture(CaptureSource::CnyTester) : nullptr);
    CnyLogModel& log = window->logModel();
    auto* statusBox = window->findChild<QLineEdit*>(QStringLiteral("Text2"));
    auto* remainBox = window->findChild<QLineEdit*>(QStringLiteral("Text3"));
    const auto look = [&] {
        QStringList rows;
        for (int r = 0; r < log.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < CnyLogModel::kColumns; ++c) {
                cells << log.data(log.index(r, c)).toString();
            }
            rows << cells.join(QLatin1Char(' '));
        }
        screens << statusBox->text() + QLatin1Char('|') + remainBox->text() + QLatin1Char('|') +
                       rows.join(QLatin1Char('/'));
    };
    pick(window->findChild<LockedComboBox*>(QStringLiteral("Combo2")), 2);
    QVERIFY(window->link().IsOpen());
    hopperStarts();
    pick(window->findChild<LockedComboBox*>(QStringLiteral("Combo1")), 2);
    window->findChild<QPushButton*>(QStringLiteral("Command1_2"))->click();
    QTRY_COMPARE(statusBox->text(), QString("No Error"));
    // The grid takes its rows on a beat, so they may follow the boxes.
    QTRY_COMPARE(log.frameCount(), 2);
    look();
    window->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("3"));
    window->findChild<QPushButton*>(QStringLiteral("Command1_1"))->click();
    QTRY_COMPARE(remainBox->text(), QString("Payout Finished"));
    QTRY_COMPARE(log.frameCount(), 2 + 5);
    look();
    window->close();
}

}  // namespace

class ReplayEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void coinSettingSessionReplays() {
        CaptureBook book;
        Screens recorded;
        {
            PtyHopper hopper(emulator::Mode::CoinSetting);
            coinSettingSession(
                hopper.device(), &book, [&] { hopper.powerOn(); }, recorded);
        }
        QCOMPARE(recorded.size(), 2);
        const std::string capture = saved(book.capture(CaptureSource::CoinSetting));

        PtyReplay replay(capture, {.fast = false, .matchTool = true});
        QVERIFY2(replay.error().empty(), replay.error().c_str());
        Screens replayed;
        coinSettingSession(
            replay.device(), nullptr, [&] { replay.start(); }, replayed);
        QCOMPARE(replayed, recorded);
        QVERIFY2(!replay.replayer().mismatch(), replay.replayer().mismatch()->c_str());
        QVERIFY(replay.replayer().finished());
    }

    // The tool saving other numbers than were recorded: the replay stops at the save frame and
    // names the first byte that differs.
    void replayReportsTheFirstDifference() {
        CaptureBook book;
        Screens recorded;
        {
            PtyHopper hopper(emulator::Mode::CoinSetting);
            coinSettingSession(
                hopper.device(), &book, [&] { hopper.powerOn(); }, recorded);
        }
        PtyReplay replay(saved(book.capture(CaptureSource::CoinSetting)),
                         {.fast = true, .matchTool = true});
        CoinSettingOnPty on(replay.device());
        const auto& window = on.window;
        auto* status = window->findChild<QLabel*>(QStringLiteral("Label2"));
        replay.start();
        QTRY_COMPARE(status->text(), QStringLiteral("Enter Data (Do not Reset hopper)"));
        window->setBoxText(0, QStringLiteral("1235"));  // 04 D3 where 04 D2 was recorded
        window->setBoxText(15, QStringLiteral("65535"));
        window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QTRY_VERIFY(replay.replayer().mismatch().has_value());
        const QString message = QString::fromStdString(*replay.replayer().mismatch());
        QVERIFY2(message.contains(QStringLiteral("expected TX D2, got D3 at byte 3")),
                 qPrintable(message));
        window->close();
    }

    void cnySessionReplays() {
        CaptureBook book;
        Screens recorded;
        {
            PtyHopper hopper(emulator::Mode::Cny);
            hopper.as<emulator::CnyHopper>().m_address = 2;
            cnySession(
                hopper.device(), &book, [&] { hopper.powerOn(); }, recorded);
        }
        QCOMPARE(recorded.size(), 2);
        const std::string capture = saved(book.capture(CaptureSource::CnyTester));
        QVERIFY(capture.find("; NO ERROR") != std::string::npos);

        PtyReplay replay(capture, {.fast = false, .matchTool = true});
        QVERIFY2(replay.error().empty(), replay.error().c_str());
        Screens replayed;
        cnySession(
            replay.device(), nullptr, [&] { replay.start(); }, replayed);
        QCOMPARE(replayed, recorded);
        QVERIFY2(!replay.replayer().mismatch(), replay.replayer().mismatch()->c_str());
        QVERIFY(replay.replayer().finished());
    }

    // The real emulator replays behind a link that a tool left running keeps: a reader gets
    // every byte of a capture the replay reads as it goes; one that stops reading ends the
    // replay after the write time-out with a message naming the port, not a hang.
    void replayBehindALinkStreamsOrTimesOut_data() {
        QTest::addColumn<bool>("reads");
        QTest::newRow("read to the end") << true;
        QTest::newRow("nobody reads") << false;
    }
    void replayBehindALinkStreamsOrTimesOut() {
        QFETCH(bool, reads);
        QTemporaryDir dir;
        CaptureBook book;
        Capture& capture = book.capture(CaptureSource::HardwareTest);
        capture.opened("COM1", "/dev/pts/1", "9600,N,8,1");
        const std::vector<std::uint8_t> chunk(4096, 0x5A);
        constexpr int kChunks = 256;
        for (int i = 0; i < kChunks; ++i) {
            capture.received(chunk);
        }
        const QString file = dir.filePath("big.txt");
        QVERIFY(writeFile(file, QByteArray::fromStdString(saved(capture))));

        QProcess emulator;
        emulator.start(
            QFileInfo(KitProcess::builtProgram()).dir().filePath("pellix-hopper-emulator"),
            {"replay", file, "--fast", "--link-dir", dir.path(), "--write-timeout", "1"});
        QVERIFY(emulator.waitForReadyRead(10000));
        const QString link = dir.filePath("replay");
        QVERIFY(QFileInfo(link).isSymLink());
        const int fd =
            reads ? ::open(QFile::encodeName(link).constData(), O_RDONLY | O_NOCTTY) : -1;
        emulator.write("\n");
        QVERIFY(emulator.waitForBytesWritten(5000));
        std::size_t got = 0;
        if (reads) {
            QVERIFY(fd >= 0);
            pollfd in{fd, POLLIN, 0};
            char buffer[4096];
            while (got<chunk.size() * kChunks&& ::poll(&in, 1, 5000)> 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) {
                    break;
                }
                got += static_cast<std::size_t>(n);
            }
            ::close(fd);
        }
        QVERIFY(emulator.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(emulator.readAllStandardError());
        if (reads) {
            QCOMPARE(got, chunk.size() * kChunks);
            QCOMPARE(emulator.exitCode(), 0);
        } else {
            QCOMPARE(emulator.exitCode(), 1);
            QVERIFY2(err.contains("nobody reads " + QFileInfo(link).absoluteFilePath()),
                     qPrintable(err));
        }
    }
};

QTEST_MAIN(ReplayEndToEnd)
#include "test_e2e_replay.moc"
