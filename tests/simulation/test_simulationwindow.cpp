#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fakes.h"
#include "platform/qttext.h"
#include "serial/seriallink.h"
#include "simulation/simulationwindow.h"
#include "timers.h"
#include "widgets/lockedcombobox.h"
#include "windowfixture.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

namespace {

QString hintText(QWidget& window) {
    return window.findChild<QLabel*>(QStringLiteral("Label1"))->text();
}

}  // namespace

class SimulationWindowTest : public QObject, WindowFixture<SimulationWindow, SimulationState> {
    Q_OBJECT

    LockedComboBox* ports() { return window->findChild<LockedComboBox*>(QStringLiteral("Combo1")); }
    LockedComboBox* channels() {
        return window->findChild<LockedComboBox*>(QStringLiteral("Combo2"));
    }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    FakeSerialPort* openPort(int position = 2) {
        pick(ports(), position);
        return s->ports.last();
    }

  private slots:
    void init() {
        makeFakes();
        window = std::make_unique<SimulationWindow>(s->services, *host, *state);
    }
    void cleanup() { dropAll(); }

    void loadsClosedWithItsControls() {
        QCOMPARE(window->windowTitle(), QStringLiteral("TZV Protocol Simulation"));
        QCOMPARE(panel(), toQString(serial::texts::kPanelClosed));
        QCOMPARE(ports()->count(), 8);
        QCOMPARE(ports()->shownText(), QStringLiteral("COM1"));
        QCOMPARE(ports()->itemData(7, Qt::ToolTipRole).toString(), QStringLiteral("/dev/fake8"));
        QCOMPARE(channels()->count(), 16);
        QCOMPARE(channels()->shownText(), QStringLiteral("1"));
        QVERIFY(!window->link().IsOpen());
        QCOMPARE(window->link().Settings(), (LineSettings{9600, Parity::Even, 8, 1}));
        QCOMPARE(s->ports.last()->m_settings, (LineSettings{9600, Parity::Even, 8, 1}));
        for (auto* widget : window->findChildren<QWidget*>()) {
            if (widget->isWidgetType() && !widget->objectName().isEmpty() &&
                (qobject_cast<QPushButton*>(widget) || qobject_cast<QComboBox*>(widget))) {
                QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
            }
        }
    }

    void commandsWithThePortClosedDoNothing() {
        button("Command2")->click();
        button("Command1")->click();
        QVERIFY(s->ports.last()->m_written.isEmpty());
        QVERIFY(!window->findChild<QTimer*>(QStringLiteral("Timer2"))->isActive());
        QVERIFY(!state->animation.running());
        QVERIFY(s->messages.m_shown.isEmpty());
    }

    void commandBytes_data() {
        QTest::addColumn<int>("channelPick");  // -1: list not touched
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("start up") << -1 << "Command2" << QByteArray::fromHex("80");
        QTest::newRow("dispense, list untouched")
            << -1 << "Command1" << QByteArray::fromHex("814010");
        QTest::newRow("dispense channel 2") << 1 << "Command1" << QByteArray::fromHex("814110");
        QTest::newRow("dispense channel 16") << 15 << "Command1" << QByteArray::fromHex("814f10");
    }
    void commandBytes() {
        QFETCH(int, channelPick);
        QFETCH(QString, button);
        QFETCH(QByteArray, bytes);
        FakeSerialPort* port = openPort();
        QCOMPARE(panel(), toQString(serial::texts::kPanelOpen));
        if (channelPick >= 0) {
            pick(channels(), channelPick);
        }
        this->button(qPrintable(button))->click();
        QCOMPARE(port->m_written, bytes);
        QCOMPARE(port->m_writes.size(), bytes.size());  // one write per byte
        QVERIFY(window->findChild<QTimer*>(QStringLiteral("Timer2"))->isActive());
    }

    void animationShowsThreeFramesThenClears() {
        openPort();
        button("Command1")->click();
        auto* picture = window->findChild<QLabel*>(QStringLiteral("Image3"));
        QList<qint64> frames;
        for (int i = 0; i < 3; ++i) {
            tick(*window, "Timer2");
            QVERIFY2(!picture->pixmap().isNull(), "the frame files ship with the program");
            frames << picture->pixmap().cacheKey();
        }
        QCOMPARE(picture->pixmap().width(), 78);
        tick(*window, "Timer2");
        QVERIFY(picture->pixmap().isNull());
        QVERIFY(!window->findChild<QTimer*>(QStringLiteral("Timer2"))->isActive());
        // A new command starts the animation over.
        button("Command2")->click();
        tick(*window, "Timer2");
        QVERIFY(!picture->pixmap().isNull());
    }

    void missingFramesLeaveThePictureEmpty() {
        s->folder.m_path = QStringLiteral("/nonexistent");
        openPort();
        button("Command1")->click();
        tick(*window, "Timer2", 3);
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("Image3"))->pixmap().isNull());
    }

    void hintTypesOutAndRepeats() {
        const QString loadHint = QStringLiteral(
            "After Save Setting Please Reset Hopper!While Hopper Ready Press [Startup]");
        QCOMPARE(loadHint.size(), 73);
        tick(*window, "Timer3");
        QCOMPARE(hintText(*window), QStringLiteral("A"));
        tick(*window, "Timer3", 72);
        QCOMPARE(hintText(*window), loadHint);
        tick(*window, "Timer3");  // tick 74: still complete, counter wraps
        QCOMPARE(hintText(*window), loadHint);
        tick(*window, "Timer3");
        QCOMPARE(hintText(*window), QStringLiteral("A"));

        openPort();
        tick(*window, "Timer3", 5);
        button("Command2")->click();
        QCOMPARE(hintText(*window), QString());  // emptied at once
        tick(*window, "Timer3");
        QCOMPARE(hintText(*window), QStringLiteral(" "));
        tick(*window, "Timer3", 7);
        QCOMPARE(hintText(*window), QStringLiteral("       S"));
        const QString startHint = QStringLiteral("       Select a Channel Then Press Dispense");
        tick(*window, "Timer3", 35);  // tick 43: complete
        QCOMPARE(hintText(*window), startHint);
        tick(*window, "Timer3");  // tick 44: stays complete
        QCOMPARE(hintText(*window), startHint);
        tick(*window, "Timer3");  // tick 45: from the first character again
        QCOMPARE(hintText(*window), QStringLiteral(" "));
    }

    void typingCounterOutlivesTheWindow() {
        tick(*window, "Timer3", 10);
        window = std::make_unique<SimulationWindow>(s->services, *host, *state);
        tick(*window, "Timer3");
        QCOMPARE(hintText(*window).size(), 11);
    }

    void receivedBytesAreDrainedAndIgnored() {
        FakeSerialPort* port = openPort();
        const QString before = hintText(*window);
        port->inject(QByteArray::fromHex("3a3c3d0102"));
        QCOMPARE(port->bytesAvailable(), 0);
        QCOMPARE(hintText(*window), before);
        QVERIFY(port->m_written.isEmpty());
    }

    void portErrorReturnsTheChooserToCom1() {
        s->ports.m_openErrors.insert(QStringLiteral("/dev/fake5"), OpenError::NoSuchPort);
        openPort(1);
        QVERIFY(window->link().IsOpen());
        openPort(4);
        QCOMPARE(s->messages.texts(), QStringList{QStringLiteral("Port Number Error")});
        QCOMPARE(s->messages.m_shown[0].title, QStringLiteral("Error"));
        QCOMPARE(s->messages.m_shown[0].icon, MessageIcon::Critical);
        QCOMPARE(ports()->shownText(), QStringLiteral("COM1"));
        QCOMPARE(panel(), toQString(serial::texts::kPanelClosed));
        QVERIFY(!window->link().IsOpen());  // COM2 was closed first, COM1 not opened
        QVERIFY(s->ports.m_openDevices.isEmpty());
    }

    void portInUse() {
        s->ports.m_openErrors.insert(QStringLiteral("/dev/fake3"), OpenError::InUse);
        openPort(2);
        QCOMPARE(s->messages.texts(), QStringList{QStringLiteral("Port Already In Use")});
        QCOMPARE(ports()->shownText(), QStringLiteral("COM1"));
    }

    void typedKeysDoNotChangeTheChoosers_data() {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("plain") << int(Qt::NoModifier);
        QTest::newRow("with Alt") << int(Qt::AltModifier);
        QTest::newRow("with AltGr") << int(Qt::AltModifier | Qt::ControlModifier);
    }
    void typedKeysDoNotChangeTheChoosers() {
        QFETCH(int, modifiers);
        const auto mods = Qt::KeyboardModifiers(modifiers);
        QTest::keyClick(ports(), 'c', mods);
        QCOMPARE(ports()->currentIndex(), 0);
        QTest::keyClick(channels(), '9', mods);
        QCOMPARE(channels()->shownText(), QStringLiteral("1"));
        // Arrow keys still choose, and the pick sets the channel.
        QTest::keyClick(channels(), Qt::Key_Down);
        QCOMPARE(channels()->currentText(), QStringLiteral("2"));
        FakeSerialPort* port = openPort();
        button("Command1")->click();
        QCOMPARE(port->m_written, QByteArray::fromHex("814110"));
    }

    void onlyThePortChooserEmptiesTheClipboardOnFocus() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        channels()->setFocus();
        QTRY_VERIFY(channels()->hasFocus());
        QCOMPARE(s->clipboard.m_clears, 0);
        ports()->setFocus();
        QTRY_VERIFY(ports()->hasFocus());
        QCOMPARE(s->clipboard.m_clears, 1);
    }

    void unpluggedAdapterMidWriteClosesThePort() {
        FakeSerialPort* port = openPort();
        port->m_failWrites = true;
        button("Command1")->click();
        QVERIFY(!window->link().IsOpen());
        QCOMPARE(panel(), toQString(serial::texts::kPanelClosed));
        QCOMPARE(port->m_writes.size(), 0);
        QCOMPARE(s->messages.m_shown.size(), 1);  // reported once, not once per byte
    }

    void closingClosesThePortAndShowsTheLauncher() {
        openPort();
        QVERIFY(window->link().IsOpen());
        window->show();
        button("Command5")->click();
        QVERIFY(s->ports.m_openDevices.isEmpty());
        QCOMPARE(host->m_launcherShown, 1);
    }
};

QTEST_MAIN(SimulationWindowTest)
#include "test_simulationwindow.moc"
