// The serial link against real pseudo-terminals: the test holds the master side (the hopper's
// end of the cable) and the link opens the slave side through the real QSerialPort code.
#include <QAbstractEventDispatcher>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <termios.h>
#include <unistd.h>

#include "capture/captureformat.h"
#include "fakes.h"
#include "platform/qttext.h"
#include "ptypair.h"
#include "serial/capturebook.h"
#include "serial/reconnectwatch.h"
#include "serial/seriallineport.h"
#include "serial/seriallink.h"
#include "serial/serialportswindow.h"
#include "timers.h"

using namespace pellix;
using namespace pellix::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Runs the event loop until the reconnect watch has looked `looks` times and returns how often
// the loop woke up meanwhile: a few per look when idle, thousands when something spins.
int wakeUpsOverLooks(SerialLink& link, int looks) {
    auto* timer = link.findChild<QTimer*>(QStringLiteral("ReconnectTimer"));
    if (!timer || !timer->isActive()) {
        return -1;
    }
    int wakeUps = 0;
    int seen = 0;
    QEventLoop loop;
    const auto woke = QObject::connect(QAbstractEventDispatcher::instance(),
                                       &QAbstractEventDispatcher::awake, [&] { ++wakeUps; });
    const auto looked = QObject::connect(timer, &QTimer::timeout, &loop, [&] {
        if (++seen == looks) {
            loop.quit();
        }
    });
    loop.exec();
    QObject::disconnect(woke);
    QObject::disconnect(looked);
    return wakeUps;
}

// A node under a name the test controls, as /dev/serial/by-id gives one to an adapter.
struct ControlledLink {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("hopper"));
    bool pointAt(const QString& target) {
        QFile::remove(path);
        return QFile::link(target, path);
    }
    void remove() { QFile::remove(path); }
};

// Writes down what the line port hands an engine; a batch of `stopAfter` bytes or more is
// stopped after that many.
struct RecordingEngine final : LineEngine {
    QList<int> fed;
    QList<std::size_t> expired;
    std::size_t stopAfter = 0;
    FeedResult feed(std::span<const std::uint8_t> bytes) override {
        const bool stop = stopAfter > 0 && bytes.size() >= stopAfter;
        const std::size_t taken = stop ? stopAfter : bytes.size();
        for (std::size_t i = 0; i < taken; ++i) {
            fed << bytes[i];
        }
        return {stop};
    }
    void timeoutExpired(std::size_t timeout) override { expired << timeout; }
};

constexpr std::array<LineTimeout, 2> kTimeouts = {{{"TimerA", 1000}, {"TimerB", 500}}};

}  // namespace

class SerialLinkTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        for (int n = 1; n <= 12; ++n) {
            qunsetenv(qPrintable(QStringLiteral("PELLIX_COM%1").arg(n)));
        }
    }

    void portNamesResolveEnvironmentThenSettingsThenRealUarts() {
        PtyServices s;
        PortDevice uart;
        uart.path = "/dev/ttyS11";
        s.discovery.m_devices = {uart};
        QCOMPARE(s.ports.deviceFor(1), QString());  // no UART reported behind COM1
        QCOMPARE(s.ports.deviceFor(12), QStringLiteral("/dev/ttyS11"));
        s.settings.setValue(QStringLiteral("Ports/COM3"), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(s.ports.deviceFor(3), QStringLiteral("/dev/ttyUSB0"));
        qputenv("PELLIX_COM3", "/dev/ttyACM1");
        QCOMPARE(s.ports.deviceFor(3), QStringLiteral("/dev/ttyACM1"));
        const PortTarget target = s.ports.target(3);
        QCOMPARE(target.identity, QStringLiteral("/dev/ttyACM1"));
        QVERIFY(target.label.contains(QStringLiteral("PELLIX_COM3")));
    }

    void opensWithLineSettingsAndMovesBytesBothWays() {
        Pty pty;
        QVERIFY(!pty.device.isEmpty());
        qputenv("PELLIX_COM3", pty.device.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        link.Configure(kLine9600E81);
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);

        QCOMPARE(link.SelectPort(2), SelectResult::Opened);
        QVERIFY(link.IsOpen());
        QCOMPARE(link.PortNumber(), 3);
        QCOMPARE(panel.size(), 1);
        QCOMPARE(panel.at(0).at(0).toString(), toQString(serial::texts::kPanelOpen));
        QVERIFY(s.messages.m_shown.isEmpty());

        // A pty always runs 8 data bits without parity whatever is asked, so only the speed
        // and the stop bits can be seen from the other end.
        termios t = pty.lineSettings();
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QVERIFY(!(t.c_cflag & CSTOPB));

        const std::uint8_t frame[] = {0x05, 0x10, 0x02, 0x11, 0x00, 0x28};
        QVERIFY(link.WriteBytes(frame));
        QCOMPARE(pty.receive(6), QByteArray::fromHex("051002110028"));

        QList<int> received;
        link.setReceiver([&](std::span<const std::uint8_t> bytes) {
            for (std::uint8_t b : bytes) {
                received << b;
            }
            return FeedResult{};
        });
        QVERIFY(pty.send(QByteArray::fromHex("0501020400ff")));
        QTRY_COMPARE(received.size(), 6);
        QCOMPARE(received, (QList<int>{0x05, 0x01, 0x02, 0x04, 0x00, 0xFF}));

        // New settings take effect on the open port at once.
        link.Configure(LineSettings{19200, Parity::Even, 8, 2});
        t = pty.lineSettings();
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QVERIFY(t.c_cflag & CSTOPB);

        link.Close();
        QVERIFY(!link.IsOpen());
        link.Close();  // closing a closed port does nothing
    }

    void pickingTheOpenPortAgainReopensIt() {
        Pty pty;
        qputenv("PELLIX_COM1", pty.device.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        QCOMPARE(link.SelectPort(0), SelectResult::Opened);
        QCOMPARE(link.SelectPort(0), SelectResult::Opened);
        QVERIFY(link.IsOpen());
        QVERIFY(s.messages.m_shown.isEmpty());
    }

    // The defined message stays as it is; the capture's note and the Serial Ports window's
    // row for the port name the device and the system's reason, until an open succeeds.
    void openErrors_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing device") << "/nonexistent/ttyS99"
                                        << "Port Number Error"
                                        << "No such file or directory";
        QTest::newRow("not a serial device") << "/dev/null"
                                             << "Port Number Error"
                                             << "ioctl";
    }
    void openErrors() {
        QFETCH(QString, device);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        qputenv("PELLIX_COM5", device.toLocal8Bit());
        PtyServices s;
        CaptureBook book;
        Capture& capture = book.capture(CaptureSource::CoinSetting);
        SerialLink link(s.services, {}, &capture);
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);
        QCOMPARE(link.SelectPort(4), SelectResult::PortError);
        QVERIFY(!link.IsOpen());
        QCOMPARE(link.PortNumber(), 5);  // kept even though opening failed
        QCOMPARE(s.messages.m_shown.size(), 1);
        QCOMPARE(s.messages.m_shown[0].text, message);
        QCOMPARE(s.messages.m_shown[0].title, QStringLiteral("Error"));
        QCOMPARE(s.messages.m_shown[0].icon, MessageIcon::Critical);
        QCOMPARE(panel.size(), 1);
        QCOMPARE(panel.at(0).at(0).toString(), toQString(serial::texts::kPanelClosed));

        QCOMPARE(capture.ring().size(), std::size_t{1});
        const QString note =
            QString::fromStdString(capture.ring().at(capture.ring().firstSequence()).note);
        SerialPortsWindow ports(s.comPorts);
        const QString row =
            ports.findChild<QTableWidget*>()->item(4, SerialPortsWindow::LastError)->text();
        for (const QString& told : {note, row}) {
            QVERIFY2(told.contains(device) && told.contains(reason, Qt::CaseInsensitive),
                     qPrintable(told));
        }
        QVERIFY(note.startsWith(QStringLiteral("COM5 ")));

        Pty pty;
        qputenv("PELLIX_COM5", pty.device.toLocal8Bit());
        QCOMPARE(link.SelectPort(4), SelectResult::Opened);
        QVERIFY(s.comPorts.lastError(5).isEmpty());
    }

    void aPortHeldByAnotherLinkIsInUse() {
        Pty pty;
        qputenv("PELLIX_COM2", pty.device.toLocal8Bit());
        PtyServices s;
        SerialLink first(s.services, {});
        SerialLink second(s.services, {});
        QCOMPARE(first.SelectPort(1), SelectResult::Opened);
        QCOMPARE(second.SelectPort(1), SelectResult::PortError);
        QCOMPARE(s.messages.texts(), QStringList{QStringLiteral("Port Already In Use")});
        QVERIFY(first.IsOpen());
        QVERIFY(!second.IsOpen());
        first.Close();
        QCOMPARE(second.SelectPort(1), SelectResult::Opened);
    }

    void unpluggedAdapterClosesThePortOnceAndStaysQuiet() {
        auto pty = std::make_unique<Pty>();
        qputenv("PELLIX_COM2", pty->device.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        link.Configure(kLine9600E81);
        QCOMPARE(link.SelectPort(1), SelectResult::Opened);
        QSignalSpy lost(&link, &SerialLink::portLost);
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);

        pty->closeMaster();  // the cable end goes away mid-stream
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!link.IsOpen());
        QCOMPARE(panel.last().at(0).toString(), toQString(serial::texts::kPanelClosed));
        // Let the event loop spin a while: no second report, no flood of errors.
        QTest::qWait(300);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(s.messages.m_shown.size(), 1);
        QVERIFY(s.messages.m_shown[0].text.contains(pty->device));
        QVERIFY(!link.WriteBytes(Bytes{0x80}));  // writing to a closed port sends nothing

        // The adapter is back (a new device under the same name): picking the entry reopens it.
        pty = std::make_unique<Pty>();
        qputenv("PELLIX_COM2", pty->device.toLocal8Bit());
        QCOMPARE(link.SelectPort(1), SelectResult::Opened);
        QVERIFY(link.WriteBytes(Bytes{0x80}));
        QCOMPARE(pty->receive(1), QByteArray::fromHex("80"));
    }

    void replugUnderTheSameNameReopensThePort() {
        auto pty = std::make_unique<Pty>();
        ControlledLink node;
        QVERIFY(node.pointAt(pty->device));
        PtyServices s;
        s.settings.setValue(QStringLiteral("Ports/COM4"), node.path);
        // The link records its traffic as in the program, to see the replug in its capture.
        CaptureBook book;
        SerialLink link(s.services, {}, &book.capture(CaptureSource::CnyTester));
        link.Configure(LineSettings{19200, Parity::Even, 8, 2});
        QCOMPARE(link.SelectPort(3), SelectResult::Opened);
        auto* watch = link.findChild<QTimer*>(QStringLiteral("ReconnectTimer"));
        QVERIFY(watch);
        QVERIFY(!watch->isActive());  // nothing polls while the port is fine
        QSignalSpy lost(&link, &SerialLink::portLost);
        QSignalSpy reopened(&link, &SerialLink::portReopened);
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);

        // The box about the loss only informs: the watch runs while it is still up.
        bool watchingWhileTold = false;
        s.messages.m_onShow = [&] { watchingWhileTold = watch->isActive(); };
        node.remove();
        pty->closeMaster();
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(watchingWhileTold);
        QCOMPARE(s.messages.m_shown.size(), 1);
        QVERIFY(s.messages.m_shown[0].text.contains(node.path));
        QVERIFY(s.messages.m_shown[0].text.contains(QStringLiteral("reopens")));
        QCOMPARE(panel.last().at(0).toString(), toQString(serial::texts::kPanelClosed));
        QVERIFY(watch->isActive());
        QCOMPARE(watch->interval(), ReconnectWatch::kIntervalMs);

        // While lost: one look a second, an idle loop between looks, no second report.
        const int looksBefore = s.discovery.m_calls;
        const int wakeUps = wakeUpsOverLooks(link, 2);
        QVERIFY2(wakeUps >= 0 && wakeUps <= 12, qPrintable(QString::number(wakeUps)));
        QCOMPARE(s.discovery.m_calls - looksBefore, 2);
        QVERIFY(!link.IsOpen());
        QCOMPARE(lost.size(), 1);
        QCOMPARE(s.messages.m_shown.size(), 1);

        // Something else under the name (another kind of device) is not taken for the hopper.
        QVERIFY(node.pointAt(QStringLiteral("/dev/null")));
        test::tick(link, "ReconnectTimer");
        QCOMPARE(reopened.size(), 0);
        QVERIFY(watch->isActive());

        // Back under the same name (a new pseudo-terminal behind it): open at the next look,
        // with the window's line settings, and bytes flow both ways again.
        pty = std::make_unique<Pty>();
        QVERIFY(node.pointAt(pty->device));
        test::tick(link, "ReconnectTimer");
        QCOMPARE(reopened.size(), 1);
        QVERIFY(link.IsOpen());
        QVERIFY(!watch->isActive());
        QCOMPARE(panel.last().at(0).toString(), toQString(serial::texts::kPanelOpen));
        const termios t = pty->lineSettings();
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QVERIFY(t.c_cflag & CSTOPB);
        QList<int> received;
        link.setReceiver([&](std::span<const std::uint8_t> bytes) {
            for (std::uint8_t b : bytes) {
                received << b;
            }
            return FeedResult{};
        });
        QVERIFY(pty->send(QByteArray::fromHex("5a")));
        QTRY_COMPARE(received, QList<int>{0x5A});
        QVERIFY(link.WriteBytes(Bytes{0x80}));
        QCOMPARE(pty->receive(1), QByteArray::fromHex("80"));
        QCOMPARE(s.messages.m_shown.size(), 1);

        // The capture tells the whole story: opened, lost, reopened on the same device with
        // nothing picked, and the bytes after it.
        QStringList story;
        for (const CaptureEvent& event : book.capture(CaptureSource::CnyTester).ring()) {
            const QString data =
                QString::fromStdString(isTraffic(event.kind) ? hexText(event.data) : event.data);
            // The opening's last word is the wall-clock time.
            story << (QString::fromLatin1(kindName(event.kind)) + QLatin1Char(' ') +
                      (event.kind == CaptureKind::Open ? data.section(QLatin1Char(' '), 0, -2)
                                                       : data))
                         .trimmed();
        }
        QCOMPARE(story, QStringList({QStringLiteral("OPEN COM4 19200,E,8,2 ") + node.path,
                                     QStringLiteral("LOST"), QStringLiteral("REOPEN ") + node.path,
                                     QStringLiteral("RX 5A"), QStringLiteral("TX 80")}));
    }

    void replugWaitsForTheSameAdapter() {
        // Two adapters as the system lists them; their nodes are pseudo-terminals.
        auto first = std::make_unique<Pty>();
        Pty other;
        const auto adapterAt = [](const QString& node, const char* serial) {
            PortDevice d;
            d.path = node.toStdString();
            d.byIdPath = std::string("/dev/serial/by-id/usb-Pellix_Cable_") + serial;
            d.serialNumber = serial;
            return d;
        };
        PtyServices s;
        s.discovery.m_devices = {adapterAt(first->device, "A1")};
        SerialLink link(s.services, {});
        QCOMPARE(link.SelectPort(0), SelectResult::Opened);  // COM1 given to A1 on first sight
        QCOMPARE(s.settings.value(QStringLiteral("Ports/COM1"), {}),
                 QStringLiteral("/dev/serial/by-id/usb-Pellix_Cable_A1"));
        QSignalSpy reopened(&link, &SerialLink::portReopened);

        s.discovery.m_devices.clear();
        first->closeMaster();
        QTRY_VERIFY(!link.IsOpen());
        // Another adapter is plugged in: it gets its own number and COM1 keeps waiting for A1.
        s.discovery.m_devices = {adapterAt(other.device, "B2")};
        test::tick(link, "ReconnectTimer");
        QCOMPARE(reopened.size(), 0);
        QVERIFY(!link.IsOpen());
        QCOMPARE(s.settings.value(QStringLiteral("Ports/COM2"), {}),
                 QStringLiteral("/dev/serial/by-id/usb-Pellix_Cable_B2"));

        // A1 is back on another node, as ttyUSB0 becoming ttyUSB1 after a replug.
        first = std::make_unique<Pty>();
        s.discovery.m_devices.push_back(adapterAt(first->device, "A1"));
        test::tick(link, "ReconnectTimer");
        QCOMPARE(reopened.size(), 1);
        QVERIFY(link.WriteBytes(Bytes{0x42}));
        QCOMPARE(first->receive(1), QByteArray::fromHex("42"));
    }

    void aNewPickOrACloseEndsTheWait() {
        TestServices s;
        SerialLink link(s.services, {});
        auto* watch = link.findChild<QTimer*>(QStringLiteral("ReconnectTimer"));
        QVERIFY(watch);
        for (const bool pickAnother : {true, false}) {
            QCOMPARE(link.SelectPort(2), SelectResult::Opened);
            s.ports.m_absent << QStringLiteral("/dev/fake3");
            s.ports.last()->unplug();
            QVERIFY(watch->isActive());
            if (pickAnother) {
                QCOMPARE(link.SelectPort(4), SelectResult::Opened);
            } else {
                link.Close();
            }
            QVERIFY(!watch->isActive());
            s.ports.m_absent.clear();
            test::tick(link, "ReconnectTimer");  // a tick already queued does nothing
            QCOMPARE(link.IsOpen(), pickAnother);
            QCOMPARE(s.ports.last()->m_device,
                     pickAnother ? QStringLiteral("/dev/fake5") : QStringLiteral("/dev/fake3"));
            link.Close();
        }
    }

    void noAccessNamesTheDeviceAndTheFix() {
        TestServices s;
        s.ports.m_openErrors.insert(QStringLiteral("/dev/fake6"), OpenError::AccessDenied);
        SerialLink link(s.services, {});
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);
        QCOMPARE(link.SelectPort(5), SelectResult::PortError);
        QCOMPARE(s.messages.m_shown.size(), 1);
        QVERIFY(s.messages.m_shown[0].text.contains(QStringLiteral("/dev/fake6")));
        QVERIFY(s.messages.m_shown[0].text.contains(QStringLiteral("dialout")));
        QCOMPARE(s.messages.m_shown[0].icon, MessageIcon::Critical);
        QCOMPARE(panel.size(), 1);
        QCOMPARE(panel.at(0).at(0).toString(), toQString(serial::texts::kPanelClosed));
    }

    void otherOpenErrorsEndSilentlyWithThePortShownClosed_data() {
        QTest::addColumn<bool>("wasOpen");
        QTest::newRow("no port open before") << false;
        QTest::newRow("the old port was open and is closed by the pick") << true;
    }
    void otherOpenErrorsEndSilentlyWithThePortShownClosed() {
        QFETCH(bool, wasOpen);
        TestServices s;
        s.ports.m_openErrors.insert(QStringLiteral("/dev/fake2"), OpenError::Other);
        SerialLink link(s.services, {});
        if (wasOpen) {
            QCOMPARE(link.SelectPort(0), SelectResult::Opened);
        }
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);
        QCOMPARE(link.SelectPort(1), SelectResult::OtherError);
        QVERIFY(s.messages.m_shown.isEmpty());
        QVERIFY(!link.IsOpen());
        QCOMPARE(panel.size(), 1);
        QCOMPARE(panel.at(0).at(0).toString(), toQString(serial::texts::kPanelClosed));
    }

    void clipboardIsClearedOnSelectOnlyWhenAsked() {
        TestServices s;
        SerialLink plain(s.services, {});
        plain.SelectPort(0);
        QCOMPARE(s.clipboard.m_clears, 0);
        SerialLink coinSetting(s.services, {2, true});
        QCOMPARE(coinSetting.PortNumber(), 2);
        coinSetting.SelectPort(1);
        QCOMPARE(s.clipboard.m_clears, 1);
    }

    void discardInputDropsWhatIsWaiting() {
        Pty pty;
        qputenv("PELLIX_COM1", pty.device.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        // The bytes are handed out one at a time and the discard stops the rest of the batch.
        link.Configure(kLine9600E81);
        QCOMPARE(link.SelectPort(0), SelectResult::Opened);
        QList<int> received;
        link.setReceiver([&](std::span<const std::uint8_t> bytes) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                received << bytes[i];
                if (bytes[i] == 0xEE) {
                    link.DiscardInput();  // as a receiver reset does in the middle of a batch
                    return FeedResult{true};
                }
            }
            return FeedResult{};
        });
        QVERIFY(pty.send(QByteArray::fromHex("01eeaabbcc")));
        QTRY_VERIFY(!received.isEmpty() && received.last() == 0xEE);
        QTest::qWait(50);
        QCOMPARE(received, (QList<int>{0x01, 0xEE}));
        QCOMPARE(link.BytesAvailable(), 0);

        // Later bytes are delivered again.
        QVERIFY(pty.send(QByteArray::fromHex("5a")));
        QTRY_COMPARE(received.size(), 3);
        QCOMPARE(received.last(), 0x5A);
    }

    // Each named time-out is its own one-shot timer; expiry reaches the engine once with its
    // number and leaves the timer stopped, also when the tick is delivered by hand.
    void linePortTimeoutsAreNamedOneShots() {
        TestServices s;
        QObject window;
        auto* line = new SerialLinePort(s.services, {}, kTimeouts, nullptr, &window);
        RecordingEngine engine;
        line->setEngine(&engine);
        auto* first = window.findChild<QTimer*>(QStringLiteral("TimerA"));
        auto* second = window.findChild<QTimer*>(QStringLiteral("TimerB"));
        QVERIFY(first && second);
        QCOMPARE(first->interval(), 1000);
        QCOMPARE(second->interval(), 500);
        QVERIFY(!first->isActive() && !second->isActive());

        line->startTimeout(1);
        QVERIFY(second->isActive() && !first->isActive());
        tick(window, "TimerB");
        QCOMPARE(engine.expired, (QList<std::size_t>{1}));
        QVERIFY(!second->isActive());

        line->startTimeout(0);
        line->startTimeout(1);
        line->stopTimeout(0);
        QVERIFY(!first->isActive() && second->isActive());
        line->stopTimeouts();
        QVERIFY(!second->isActive());
        line->startTimeout(7);  // no such time-out: nothing happens
        QCOMPARE(engine.expired.size(), 1);
    }

    // A stop result drops the rest of the read batch; later batches are fed again.
    void linePortStopDropsTheRestOfTheBatch() {
        TestServices s;
        SerialLinePort line(s.services, {});
        RecordingEngine engine;
        engine.stopAfter = 2;
        line.setEngine(&engine);
        QCOMPARE(line.link().SelectPort(0), SelectResult::Opened);
        s.ports.last()->inject(QByteArray::fromHex("0102030405"));
        QTRY_COMPARE(engine.fed, (QList<int>{0x01, 0x02}));
        QCOMPARE(line.link().BytesAvailable(), 0);
        engine.stopAfter = 0;
        s.ports.last()->inject(QByteArray::fromHex("06"));
        QTRY_COMPARE(engine.fed, (QList<int>{0x01, 0x02, 0x06}));
        QVERIFY(line.send(0x55));
        QCOMPARE(s.ports.last()->m_written, QByteArray::fromHex("55"));
    }
};

QTEST_MAIN(SerialLinkTest)
#include "test_seriallink.moc"
