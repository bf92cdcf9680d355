// The serial link against real pseudo-terminals: the test holds the master side (the hopper's
// end of the cable) and the link opens the slave side through the real QSerialPort code.
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "fakes.h"
#include "serial/seriallineport.h"
#include "serial/seriallink.h"
#include "timers.h"

using namespace pellix;
using namespace pellix::test;

namespace {

struct Pty {
    int master = -1;
    QString slave;

    Pty() {
        int slaveFd = -1;
        char name[256] = {};
        if (::openpty(&master, &slaveFd, name, nullptr, nullptr) == 0) {
            ::close(slaveFd);  // the link opens it by name, as it would a real device
            slave = QString::fromLocal8Bit(name);
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty() { closeMaster(); }
    void closeMaster() {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }
    void send(const QByteArray& bytes) const {
        QCOMPARE(::write(master, bytes.constData(), static_cast<size_t>(bytes.size())),
                 static_cast<ssize_t>(bytes.size()));
    }
    // Everything the link wrote, waiting up to `timeoutMs` for `expected` bytes.
    QByteArray receive(int expected, int timeoutMs = 2000) const {
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (out.size() < expected && timer.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                out.append(buffer, n);
            } else {
                QThread::msleep(2);
            }
        }
        return out;
    }
    termios lineSettings() const {
        termios t{};
        ::tcgetattr(master, &t);
        return t;
    }
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
        return {taken, stop};
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

    void portNamesResolveEnvironmentThenSettingsThenDefault() {
        PtyServices s;
        QCOMPARE(s.ports.deviceFor(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(s.ports.deviceFor(12), QStringLiteral("/dev/ttyS11"));
        s.settings.setValue(QStringLiteral("Ports/COM3"), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(s.ports.deviceFor(3), QStringLiteral("/dev/ttyUSB0"));
        qputenv("PELLIX_COM3", "/dev/ttyACM1");
        QCOMPARE(s.ports.deviceFor(3), QStringLiteral("/dev/ttyACM1"));
        QCOMPARE(s.ports.deviceFor(4), QStringLiteral("/dev/ttyS3"));
    }

    void opensWithLineSettingsAndMovesBytesBothWays() {
        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        qputenv("PELLIX_COM3", pty.slave.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        link.Configure(kLine9600E81);
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);

        QCOMPARE(link.SelectPort(2), SelectResult::Opened);
        QVERIFY(link.IsOpen());
        QCOMPARE(link.PortNumber(), 3);
        QCOMPARE(panel.size(), 1);
        QCOMPARE(panel.at(0).at(0).toString(), kPanelOpen);
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
            return FeedResult{bytes.size(), false};
        });
        pty.send(QByteArray::fromHex("0501020400ff"));
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
        qputenv("PELLIX_COM1", pty.slave.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        QCOMPARE(link.SelectPort(0), SelectResult::Opened);
        QCOMPARE(link.SelectPort(0), SelectResult::Opened);
        QVERIFY(link.IsOpen());
        QVERIFY(s.messages.m_shown.isEmpty());
    }

    void openErrors_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing device") << "/nonexistent/ttyS99"
                                        << "Port Number Error";
        QTest::newRow("not a serial device") << "/dev/null"
                                             << "Port Number Error";
    }
    void openErrors() {
        QFETCH(QString, device);
        QFETCH(QString, message);
        qputenv("PELLIX_COM5", device.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);
        QCOMPARE(link.SelectPort(4), SelectResult::PortError);
        QVERIFY(!link.IsOpen());
        QCOMPARE(link.PortNumber(), 5);  // kept even though opening failed
        QCOMPARE(s.messages.m_shown.size(), 1);
        QCOMPARE(s.messages.m_shown[0].text, message);
        QCOMPARE(s.messages.m_shown[0].title, QStringLiteral("Error"));
        QCOMPARE(s.messages.m_shown[0].icon, MessageIcon::Critical);
        QCOMPARE(panel.size(), 1);
        QCOMPARE(panel.at(0).at(0).toString(), kPanelClosed);
    }

    void aPortHeldByAnotherLinkIsInUse() {
        Pty pty;
        qputenv("PELLIX_COM2", pty.slave.toLocal8Bit());
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
        qputenv("PELLIX_COM2", pty->slave.toLocal8Bit());
        PtyServices s;
        SerialLink link(s.services, {});
        link.Configure(kLine9600E81);
        QCOMPARE(link.SelectPort(1), SelectResult::Opened);
        QSignalSpy lost(&link, &SerialLink::portLost);
        QSignalSpy panel(&link, &SerialLink::panelTextChanged);

        pty->closeMaster();  // the cable end goes away mid-stream
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!link.IsOpen());
        QCOMPARE(panel.last().at(0).toString(), kPanelClosed);
        // Let the event loop spin a while: no second report, no flood of errors.
        QTest::qWait(300);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(s.messages.m_shown.size(), 1);
        QVERIFY(s.messages.m_shown[0].text.contains(pty->slave));
        QVERIFY(!link.WriteByte(0x80));  // writing to a closed port sends nothing

        // The adapter is back (a new device under the same name): picking the entry reopens it.
        pty = std::make_unique<Pty>();
        qputenv("PELLIX_COM2", pty->slave.toLocal8Bit());
        QCOMPARE(link.SelectPort(1), SelectResult::Opened);
        QVERIFY(link.WriteByte(0x80));
        QCOMPARE(pty->receive(1), QByteArray::fromHex("80"));
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
        QCOMPARE(panel.at(0).at(0).toString(), kPanelClosed);
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
        QCOMPARE(panel.at(0).at(0).toString(), kPanelClosed);
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
        qputenv("PELLIX_COM1", pty.slave.toLocal8Bit());
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
                    return FeedResult{i + 1, true};
                }
            }
            return FeedResult{bytes.size(), false};
        });
        pty.send(QByteArray::fromHex("01eeaabbcc"));
        QTRY_VERIFY(!received.isEmpty() && received.last() == 0xEE);
        QTest::qWait(50);
        QCOMPARE(received, (QList<int>{0x01, 0xEE}));
        QCOMPARE(link.BytesAvailable(), 0);

        // Later bytes are delivered again.
        pty.send(QByteArray::fromHex("5a"));
        QTRY_COMPARE(received.size(), 3);
        QCOMPARE(received.last(), 0x5A);
    }

    // Each named time-out is its own one-shot timer; expiry reaches the engine once with its
    // number and leaves the timer stopped, also when the tick is delivered by hand.
    void linePortTimeoutsAreNamedOneShots() {
        TestServices s;
        QObject window;
        auto* line = new SerialLinePort(s.services, {}, kTimeouts, &window);
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

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "test_seriallink.moc"
