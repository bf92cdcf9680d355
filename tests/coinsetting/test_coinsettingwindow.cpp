#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "app/windowregistry.h"
#include "coinsetting/coinsettingwindow.h"
#include "fakes.h"
#include "feed.h"
#include "platform/qttext.h"
#include "serial/seriallink.h"
#include "timers.h"
#include "widgets/lockedcombobox.h"
#include "windowfixture.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

namespace {

const QString kComPort = QStringLiteral("Setting/COMPORT");
const QString kAppTitle = QStringLiteral("Pellix kit");
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// Channel 1 = 1000, the rest 0, N = 1, checksum EB.
const char* const kExampleBlock =
    "3A 00 00 01 00  03 E8"
    "0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000  EB";

}  // namespace

class CoinSettingWindowTest : public QObject, WindowFixture<CoinSettingWindow, CoinSettingState> {
    Q_OBJECT

    QTemporaryDir* folder = nullptr;
    int ended = 0;

    void load() {
        window.reset(CoinSettingWindow::create(s->services, *host, *state, [this] { ++ended; }));
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    // Closes the window the way the registry does and forgets it.
    void unload() {
        window->close();
        window.reset();
    }

    QLineEdit* box(int i) {
        return window->findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(i));
    }
    QLabel* status() { return window->findChild<QLabel*>(QStringLiteral("Label2")); }
    QColor statusColour() { return status()->palette().color(QPalette::WindowText); }
    LockedComboBox* ports() { return window->findChild<LockedComboBox*>(QStringLiteral("Combo1")); }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QStringList boxTexts() {
        QStringList out;
        for (int i = 0; i < kCoinChannels; ++i) {
            out << box(i)->text();
        }
        return out;
    }
    void setBoxes(const QStringList& texts) {
        for (int i = 0; i < kCoinChannels; ++i) {
            window->setBoxText(i, texts.at(i));
        }
    }
    bool locked() {
        bool readOnly = true;
        for (int i = 0; i < kCoinChannels; ++i) {
            readOnly = readOnly && box(i)->isReadOnly();
        }
        return readOnly && !button("Command1")->isEnabled() && !button("Command2")->isEnabled();
    }
    bool unlocked() {
        bool editable = true;
        for (int i = 0; i < kCoinChannels; ++i) {
            editable = editable && !box(i)->isReadOnly();
        }
        return editable && button("Command1")->isEnabled() && button("Command2")->isEnabled();
    }
    static QStringList repeated(const QString& text) {
        QStringList out;
        for (int i = 0; i < kCoinChannels; ++i) {
            out << text;
        }
        return out;
    }

  private slots:
    void init() {
        makeFakes();
        folder = new QTemporaryDir;
        s->folder.m_path = folder->path();
        ended = 0;
    }
    void cleanup() {
        dropAll();
        delete folder;
    }

    void controls() {
        load();
        QCOMPARE(window->objectName(), QStringLiteral("Form1"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Hopper Setting Tool"));
        QCOMPARE(window->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(),
                 QStringLiteral("Enter Change Coin Numbers"));
        for (int i = 0; i < kCoinChannels; ++i) {
            auto* label = window->findChild<QLabel*>(QStringLiteral("Label1_%1").arg(i));
            QVERIFY(label);
            QCOMPARE(label->text(), QStringLiteral("Channel%1").arg(i + 1));
            QCOMPARE(box(i)->text(), QStringLiteral("0"));
            QCOMPARE(box(i)->accessibleName(), label->text());
        }
        QCOMPARE(button("Command1")->text(), QStringLiteral("&Save"));
        QCOMPARE(button("Command1")->toolTip(), QStringLiteral("Save Setting and Auto Refresh"));
        QCOMPARE(button("Command2")->text(), QStringLiteral("&Exit"));
        QCOMPARE(ports()->count(), 12);
        QCOMPARE(ports()->itemText(11), QStringLiteral("COM12"));
        QCOMPARE(window->openFileAction()->objectName(), QStringLiteral("Openfile"));
        QCOMPARE(window->openFileAction()->text(), QStringLiteral("Open"));
        QCOMPARE(window->saveFileAction()->objectName(), QStringLiteral("Savefile"));
        QCOMPARE(window->saveFileAction()->text(), QStringLiteral("Save"));
        auto* manual = window->findChild<QAction*>(QStringLiteral("Manual"));
        QVERIFY(manual);
        QCOMPARE(manual->text(), QStringLiteral("[F1]Manual"));
        QCOMPARE(status()->text(), QStringLiteral("Switch on Pellix"));
        QCOMPARE(statusColour(), kBlue);
        // Every control can be told apart by a screen reader, and all fit in the window.
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QPushButton*>(widget) ||
                qobject_cast<QComboBox*>(widget)) {
                QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
            }
            if (widget->isVisible() && widget->parentWidget() == window.get()) {
                QVERIFY2(window->rect().contains(widget->geometry()),
                         qPrintable(widget->objectName()));
            }
        }
    }

    void rememberedPort_data() {
        QTest::addColumn<QString>("stored");  // empty: no value stored
        QTest::addColumn<QString>("failingDevice");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("chooser");
        QTest::addColumn<QString>("openDevice");  // empty: port closed
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("storedAfter");
        const int none = static_cast<int>(OpenError::None);
        QTest::newRow("nothing remembered opens COM1") << ""
                                                       << "" << none << "COM1"
                                                       << "/dev/fake1" << QStringList{} << "1";
        QTest::newRow("3 opens COM3") << "3"
                                      << "" << none << "COM3"
                                      << "/dev/fake3" << QStringList{} << "3";
        QTest::newRow("COM3 in use") << "3"
                                     << "/dev/fake3" << static_cast<int>(OpenError::InUse) << "COM3"
                                     << "" << QStringList{"Port Already In Use"} << "3";
        QTest::newRow("COM3 missing")
            << "3"
            << "/dev/fake3" << static_cast<int>(OpenError::NoSuchPort) << "COM3"
            << "" << QStringList{"Port Number Error"} << "3";
        QTest::newRow("15 names no entry") << "15"
                                           << "" << none << "COM15"
                                           << "" << QStringList{} << "2";
        QTest::newRow("0 names no entry") << "0"
                                          << "" << none << "COM0"
                                          << "" << QStringList{} << "2";
        QTest::newRow("not a number is read as 1") << "x7"
                                                   << "" << none << "COM1"
                                                   << "/dev/fake1" << QStringList{} << "1";
        QTest::newRow("above 255 is read as 1") << "258"
                                                << "" << none << "COM1"
                                                << "/dev/fake1" << QStringList{} << "1";
    }
    void rememberedPort() {
        QFETCH(QString, stored);
        QFETCH(QString, failingDevice);
        QFETCH(int, failure);
        QFETCH(QString, chooser);
        QFETCH(QString, openDevice);
        QFETCH(QStringList, messages);
        QFETCH(QString, storedAfter);
        if (!stored.isEmpty()) {
            s->settings.setValue(kComPort, stored);
        }
        if (!failingDevice.isEmpty()) {
            s->ports.m_openErrors[failingDevice] = static_cast<OpenError>(failure);
        }
        load();
        QCOMPARE(ports()->shownText(), chooser);
        QCOMPARE(s->messages.texts(), messages);
        QCOMPARE(window->link().IsOpen(), !openDevice.isEmpty());
        QCOMPARE(panel(), openDevice.isEmpty() ? toQString(serial::texts::kPanelClosed)
                                               : toQString(serial::texts::kPanelOpen));
        if (!openDevice.isEmpty()) {
            QCOMPARE(port()->m_device, openDevice);
            QCOMPARE(port()->m_settings, (LineSettings{9600, Parity::Even, 8, 1}));
        }
        QCOMPARE(status()->text(), QStringLiteral("Switch on Pellix"));

        unload();
        QCOMPARE(s->settings.m_values.value(kComPort), storedAfter);
        QVERIFY(s->ports.m_openDevices.isEmpty());
        QCOMPARE(host->m_launcherShown, 1);
    }

    void failedPickIsRemembered() {
        load();
        const int clears = s->clipboard.m_clears;
        s->ports.m_openErrors[QStringLiteral("/dev/fake5")] = OpenError::NoSuchPort;
        pick(ports(), 4);
        QCOMPARE(s->messages.texts(), QStringList{"Port Number Error"});
        QCOMPARE(panel(), toQString(serial::texts::kPanelClosed));
        QCOMPARE(ports()->shownText(), QStringLiteral("COM5"));  // keeps the failed entry
        QVERIFY(s->clipboard.m_clears > clears);
        unload();
        QCOMPARE(s->settings.m_values.value(kComPort), QStringLiteral("5"));
    }

    void typing_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("backspaces");
        QTest::addColumn<QString>("expected");
        const int none = Qt::NoModifier;
        QTest::newRow("letters are discarded") << "12a" << none << 0 << "12";
        QTest::newRow("a sixth digit is refused") << "123456" << none << 0 << "12345";
        QTest::newRow("blanks and signs are discarded") << "-1 2+" << none << 0 << "12";
        QTest::newRow("backspace passes") << "123" << none << 1 << "12";
        // Keyboards type some characters with AltGr, which arrives as Ctrl+Alt.
        QTest::newRow("AltGr characters are discarded")
            << "1@2" << int(Qt::ControlModifier | Qt::AltModifier) << 0 << "12";
        QTest::newRow("Alt characters are discarded") << "1a2" << int(Qt::AltModifier) << 0 << "12";
    }
    void typing() {
        QFETCH(QString, keys);
        QFETCH(int, modifiers);
        QFETCH(int, backspaces);
        QFETCH(QString, expected);
        load();
        box(3)->setFocus();
        box(3)->selectAll();
        QTest::keyClicks(box(3), keys, Qt::KeyboardModifiers(modifiers));
        for (int i = 0; i < backspaces; ++i) {
            QTest::keyClick(box(3), Qt::Key_Backspace);
        }
        QCOMPARE(box(3)->text(), expected);
        QVERIFY(s->messages.m_shown.isEmpty());
    }

    void nonDigitTextBecomesZero_data() {
        QTest::addColumn<bool>("paste");
        QTest::newRow("pasted 7x") << true;
        QTest::newRow("set by a setting file") << false;
    }
    void nonDigitTextBecomesZero() {
        QFETCH(bool, paste);
        load();
        box(2)->setFocus();
        box(2)->selectAll();
        if (paste) {
            QApplication::clipboard()->setText(QStringLiteral("7x"));
            QTest::keyClick(box(2), Qt::Key_V, Qt::ControlModifier);
        } else {
            window->setBoxText(2, QStringLiteral("7x"));
        }
        QCOMPARE(s->messages.m_shown.size(), 1);
        QCOMPARE(s->messages.m_shown[0].text, QStringLiteral("Hey man~~!Just number only"));
        QCOMPARE(s->messages.m_shown[0].title, kAppTitle);
        QCOMPARE(s->messages.m_shown[0].icon, MessageIcon::None);
        QCOMPARE(box(2)->text(), QStringLiteral("0"));
        QCOMPARE(window->boxText(2), QStringLiteral("0"));
    }

    void emptyTextIsAccepted() {
        load();
        window->setBoxText(7, QString());
        QCOMPARE(box(7)->text(), QString());
        QVERIFY(s->messages.m_shown.isEmpty());
    }

    void navigation_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::newRow("enter moves on") << 0 << int(Qt::Key_Return) << 1;
        QTest::newRow("enter in channel 16 wraps to channel 1") << 15 << int(Qt::Key_Return) << 0;
        QTest::newRow("keypad enter") << 6 << int(Qt::Key_Enter) << 7;
        QTest::newRow("right arrow wraps") << 15 << int(Qt::Key_Right) << 0;
        QTest::newRow("down arrow") << 7 << int(Qt::Key_Down) << 8;
        QTest::newRow("up arrow in channel 1 wraps to channel 16") << 0 << int(Qt::Key_Up) << 15;
        QTest::newRow("left arrow wraps") << 0 << int(Qt::Key_Left) << 15;
        QTest::newRow("left arrow moves back") << 9 << int(Qt::Key_Left) << 8;
    }
    void navigation() {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        load();
        for (int i = 0; i < kCoinChannels; ++i) {
            window->setBoxText(i, QString::number(100 + i));
        }
        box(from)->setFocus();
        box(from)->deselect();
        QTest::keyClick(box(from), static_cast<Qt::Key>(key));
        QCOMPARE(QApplication::focusWidget(), box(to));
        QCOMPARE(box(to)->selectedText(), QString::number(100 + to));
        QCOMPARE(box(from)->text(), QString::number(100 + from));  // the key changed nothing
    }

    void saveChecks_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("message");  // empty: the frame is sent
        QTest::addColumn<int>("focus");
        QTest::addColumn<QByteArray>("frame");

        QStringList beyond = repeated("1");
        beyond[4] = "99999";
        beyond[9] = "70000";
        QTest::newRow("99999 stops at its box")
            << beyond << "Exceed the range" << 4 << QByteArray();
        QStringList justBeyond = repeated("0");
        justBeyond[15] = "65536";
        QTest::newRow("65536 in channel 16")
            << justBeyond << "Exceed the range" << 15 << QByteArray();
        QTest::newRow("all zero") << repeated("0") << "Unavailable setting" << 0 << QByteArray();
        QStringList zeroOrEmpty = repeated("");
        zeroOrEmpty[3] = "00";
        QTest::newRow("zeros and empty boxes")
            << zeroOrEmpty << "Unavailable setting" << 0 << QByteArray();
        QStringList largest = repeated("0");
        largest[0] = "65535";
        largest[1] = "";
        largest[2] = "256";
        QTest::newRow("65535 accepted, empty sent as 0")
            << largest << "" << -1
            << hex("83 FFFF 0000 0100 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 "
                   "0000 0000 0000");
        QStringList one = repeated("0");
        one[15] = "1";
        QTest::newRow("one box holding 1 is enough")
            << one << "" << -1
            << hex("83 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 "
                   "0000 0001");
    }
    void saveChecks() {
        QFETCH(QStringList, texts);
        QFETCH(QString, message);
        QFETCH(int, focus);
        QFETCH(QByteArray, frame);
        load();
        setBoxes(texts);
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        if (message.isEmpty()) {
            QVERIFY(s->messages.m_shown.isEmpty());
            QCOMPARE(port()->m_written, frame);
            QCOMPARE(port()->m_writes.size(), frame.size());  // one byte per write
            QCOMPARE(status()->text(), QStringLiteral("Saving"));
            QCOMPARE(statusColour(), kBlue);
            QVERIFY(locked());
            return;
        }
        QCOMPARE(s->messages.m_shown.size(), 1);
        QCOMPARE(s->messages.m_shown[0].text, message);
        QCOMPARE(s->messages.m_shown[0].title, kAppTitle);
        QCOMPARE(s->messages.m_shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(status()->text(), QStringLiteral("Data Error"));
        QCOMPARE(statusColour(), kRed);
        QVERIFY(port()->m_written.isEmpty());
        QVERIFY(unlocked());
        QCOMPARE(QApplication::focusWidget(), box(focus));
        QCOMPARE(box(focus)->selectedText(), box(focus)->text());
    }

    void saveWithPortClosedDoesNothing() {
        s->settings.setValue(kComPort, QStringLiteral("15"));
        load();
        setBoxes(repeated("99999"));
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        QVERIFY(s->messages.m_shown.isEmpty());
        QCOMPARE(status()->text(), QStringLiteral("Switch on Pellix"));
        QVERIFY(unlocked());
        QVERIFY(!window->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    }

    void inputsLockedForTheSecondAfterSave() {
        load();
        setBoxes(repeated("5"));
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        auto* saveTimer = window->findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY(saveTimer->isActive());
        QCOMPARE(saveTimer->interval(), 1000);
        QVERIFY(saveTimer->isSingleShot());
        QVERIFY(locked());

        // The hopper answers at once; the inputs still stay locked.
        port()->inject(hex("84") + hex(kExampleBlock).mid(5));
        QCOMPARE(status()->text(), QStringLiteral("Save complete"));
        QCOMPARE(box(0)->text(), QStringLiteral("1000"));
        QCOMPARE(box(1)->text(), QStringLiteral("0"));
        QVERIFY(locked());
        box(1)->setFocus();
        QTest::keyClicks(box(1), QStringLiteral("7"));
        QCOMPARE(box(1)->text(), QStringLiteral("0"));
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        QCOMPARE(port()->m_written.size(), 33);  // no second frame

        tick(*window, "Timer1");
        QVERIFY(unlocked());
        QCOMPARE(status()->text(), QStringLiteral("Save complete"));
        QTest::keyClicks(box(1), QStringLiteral("7"));
        QCOMPARE(box(1)->text(), QStringLiteral("07"));
    }

    void noResponse() {
        load();
        setBoxes(repeated("5"));
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        tick(*window, "Timer1");
        QCOMPARE(status()->text(), QStringLiteral("No Response"));
        QCOMPARE(statusColour(), kRed);
        QVERIFY(unlocked());
    }

    void settingsBlockAndHandshake() {
        load();
        port()->inject(hex(kExampleBlock));
        QCOMPARE(boxTexts(), QStringList{"1000"} + repeated("0").mid(1));
        QCOMPARE(status()->text(), QString());
        auto* blockTimer = window->findChild<QTimer*>(QStringLiteral("Timer3"));
        QVERIFY(blockTimer->isActive());
        QCOMPARE(blockTimer->interval(), 500);
        QVERIFY(blockTimer->isSingleShot());
        port()->inject(hex("82"));
        QCOMPARE(port()->m_writes, QList<QByteArray>{hex("82")});
        port()->inject(hex("83"));
        QCOMPARE(status()->text(), QStringLiteral("Enter Data (Do not Reset hopper)"));
        QCOMPARE(statusColour(), kBlue);
        tick(*window, "Timer3");
        QVERIFY(s->messages.m_shown.isEmpty());
    }

    // Block and ready byte in one read: the 82 goes out before any box changes, and every box
    // and the status line show the block once the read is handled.
    void answersBeforeShowing_data() {
        QTest::addColumn<bool>("oneRead");
        QTest::newRow("block and 82 in one read") << true;
        QTest::newRow("block, then 82") << false;
    }
    void answersBeforeShowing() {
        QFETCH(bool, oneRead);
        load();
        QList<QByteArray> writtenAtChange;
        for (int i = 0; i < 16; ++i) {
            connect(box(i), &QLineEdit::textChanged, this,
                    [&] { writtenAtChange << port()->m_written; });
        }
        if (oneRead) {
            port()->inject(hex(kExampleBlock) + hex("82"));
        } else {
            port()->inject(hex(kExampleBlock));
            port()->inject(hex("82"));
        }
        QCOMPARE(port()->m_written, hex("82"));
        QVERIFY(!writtenAtChange.isEmpty());
        // Apart, the block is shown before its 82 arrives; together, after the answer.
        QCOMPARE(writtenAtChange.first(), oneRead ? hex("82") : QByteArray());
        QCOMPARE(boxTexts(), QStringList{"1000"} + repeated("0").mid(1));
        for (int i = 0; i < 16; ++i) {
            disconnect(box(i), nullptr, this, nullptr);
        }
    }

    void wrongChecksum() {
        load();
        QByteArray block = hex(kExampleBlock);
        block.back() = char(0xEC);
        port()->inject(block + hex("82 83"));  // what follows in the same read is dropped
        QCOMPARE(status()->text(), QStringLiteral("Checksum Error,Reset hopper"));
        QCOMPARE(statusColour(), kRed);
        QCOMPARE(box(0)->text(), QStringLiteral("1000"));
        QVERIFY(port()->m_incoming.isEmpty());
        QVERIFY(port()->m_written.isEmpty());

        tick(*window, "Timer3");
        QCOMPARE(s->messages.m_shown.size(), 1);
        QCOMPARE(s->messages.m_shown[0].text,
                 QStringLiteral("Receive Error perhaps incorrect interface\r"
                                "switch to TZV interface then Restart Hopper"));
        QCOMPARE(s->messages.m_shown[0].title, kAppTitle);
        QCOMPARE(s->messages.m_shown[0].icon, MessageIcon::Exclamation);
    }

    // A hopper that keeps cutting its block short: every time-out comes while the box of the
    // previous one is still open. One box at a time, and the next one after it is closed.
    void receiveErrorBoxesDoNotStack() {
        load();
        int depth = 0;
        int deepest = 0;
        int timeouts = 0;
        s->messages.m_onShow = [&] {
            deepest = std::max(deepest, ++depth);
            while (++timeouts < 5) {
                port()->inject(hex("3A 00 00"));
                tick(*window, "Timer3");
            }
            --depth;
        };
        port()->inject(hex("3A 00 00"));
        tick(*window, "Timer3");
        QCOMPARE(timeouts, 5);
        QCOMPARE(deepest, 1);
        QCOMPARE(s->messages.m_shown.size(), 1);

        port()->inject(hex("3A 00 00"));
        tick(*window, "Timer3");
        QCOMPARE(s->messages.m_shown.size(), 2);
    }

    void receiverStateOutlivesTheWindow() {
        load();
        port()->inject(hex("3A 00 00 05 01 02"));  // a block cut off by closing the window
        setBoxes(repeated("1"));
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        unload();
        QCOMPARE(state->receiveStage, ReceiveStage::WaitSaveAck);
        QVERIFY(state->savePending);

        load();
        QCOMPARE(state->receiveStage, ReceiveStage::WaitStart);
        QVERIFY(state->savePending);
        QCOMPARE(boxTexts(), repeated("0"));
        port()->inject(hex(kExampleBlock) + hex("82"));
        QCOMPARE(box(0)->text(), QStringLiteral("1000"));
        QCOMPARE(port()->m_written, hex("82"));
        QVERIFY(!state->savePending);
    }

    void closeKeys_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("fromChooser");
        QTest::addColumn<bool>("exitButton");
        QTest::newRow("F2 with the port closed") << "15" << false << false;
        QTest::newRow("F2 with the port open") << "4" << false << false;
        QTest::newRow("F2 while the port chooser has the focus") << "4" << true << false;
        QTest::newRow("Exit button") << "4" << false << true;
    }
    void closeKeys() {
        QFETCH(QString, stored);
        QFETCH(bool, fromChooser);
        QFETCH(bool, exitButton);
        s->settings.setValue(kComPort, stored);
        load();
        if (exitButton) {
            QTest::mouseClick(button("Command2"), Qt::LeftButton);
        } else {
            QWidget* target = fromChooser ? static_cast<QWidget*>(ports()) : box(5);
            target->setFocus();
            QTest::keyClick(target, Qt::Key_F2);
        }
        QVERIFY(!window->isVisible());
        QCOMPARE(host->m_launcherShown, 1);
        QVERIFY(s->messages.m_shown.isEmpty());
        QVERIFY(s->ports.m_openDevices.isEmpty());
        QCOMPARE(s->settings.m_values.value(kComPort), stored == "15" ? QString("2") : stored);
    }

    void manual_data() {
        QTest::addColumn<QString>("file");  // "none", "file", "folder" or "pipe"
        QTest::addColumn<QString>("how");   // "F1 box", "F1 chooser" or "menu"
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("closes");
        QTest::newRow("missing, F1") << "none"
                                     << "F1 box"
                                     << "File Does Not Exist" << false << false;
        QTest::newRow("missing, menu") << "none"
                                       << "menu"
                                       << "File Does Not Exist" << false << false;
        QTest::newRow("present, F1 in a box") << "file"
                                              << "F1 box"
                                              << "" << true << false;
        QTest::newRow("present, F1 in the port chooser") << "file"
                                                         << "F1 chooser"
                                                         << "" << true << false;
        QTest::newRow("present, menu") << "file"
                                       << "menu"
                                       << "" << true << false;
        QTest::newRow("cannot be read") << "folder"
                                        << "F1 box"
                                        << "File Not Exist Or Be Opened" << false << true;
#ifndef Q_OS_WIN
        // Opening a pipe nobody writes to would never return.
        QTest::newRow("a named pipe") << "pipe"
                                      << "F1 box"
                                      << "File Not Exist Or Be Opened" << false << true;
#endif
    }
    void manual() {
        QFETCH(QString, file);
        QFETCH(QString, how);
        QFETCH(QString, message);
        QFETCH(bool, opened);
        QFETCH(bool, closes);
        const QString path = QDir(folder->path()).filePath(QStringLiteral("Manual.rtf"));
        if (file == "file") {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("{\\rtf1 Manual}");
        } else if (file == "folder") {
            QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("Manual.rtf")));
        } else if (file == "pipe") {
#ifndef Q_OS_WIN
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
        }
        load();
        if (how == "menu") {
            window->findChild<QAction*>(QStringLiteral("Manual"))->trigger();
        } else {
            QWidget* target = how == "F1 chooser" ? static_cast<QWidget*>(ports()) : box(0);
            target->setFocus();
            QTest::keyClick(target, Qt::Key_F1);
        }
        if (message.isEmpty()) {
            QVERIFY(s->messages.m_shown.isEmpty());
        } else {
            QCOMPARE(s->messages.m_shown.size(), 1);
            QCOMPARE(s->messages.m_shown[0].text, message);
            QCOMPARE(s->messages.m_shown[0].title, QStringLiteral("Error"));
            QCOMPARE(s->messages.m_shown[0].icon, MessageIcon::Critical);
        }
        QCOMPARE(host->m_opened,
                 opened ? QList<WindowKind>{WindowKind::Manual} : QList<WindowKind>{});
        QCOMPARE(window->isVisible(), !closes);
        QCOMPARE(host->m_launcherShown, closes ? 1 : 0);
        QCOMPARE(s->settings.m_values.contains(kComPort), closes);
    }

    void secondCopyEndsTheProgram() {
        s->instance.m_other = true;
        QCOMPARE(CoinSettingWindow::create(s->services, *host, *state, [this] { ++ended; }),
                 nullptr);
        QCOMPARE(ended, 1);
        QCOMPARE(s->settings.m_values.value(kComPort), QStringLiteral("2"));
        QCOMPARE(host->m_launcherShown, 1);
        QVERIFY(s->ports.m_openDevices.isEmpty());
        QVERIFY(s->messages.m_shown.isEmpty());

        // Through the registry, as the launcher opens it: nothing is left to show.
        WindowRegistry registry;
        registry.setFactory(WindowKind::CoinSetting, [this](WindowHost& h) {
            return CoinSettingWindow::create(s->services, h, *state, [this] { ++ended; });
        });
        QCOMPARE(registry.open(WindowKind::CoinSetting), nullptr);
        QCOMPARE(registry.loaded(WindowKind::CoinSetting), nullptr);
        QCOMPARE(ended, 2);
    }
};

QTEST_MAIN(CoinSettingWindowTest)
#include "test_coinsettingwindow.moc"
