#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <csignal>

#include "cny/cnylogmodel.h"
#include "cny/cnytesterwindow.h"
#include "fakes.h"
#include "platform/qttext.h"
#include "serial/seriallink.h"
#include "timers.h"
#include "widgets/lockedcombobox.h"
#include "widgets/twips.h"
#include "windowtesting.h"

using namespace pellix;
using pellix::test::FakeSerialPort;
using pellix::test::hex;
using pellix::test::pick;

namespace {

// One loaded window over fake services; `state` may be shared with an earlier window.
struct Rig {
    explicit Rig(CnyState& sharedState) : state(sharedState) {}
    Rig() : state(ownState) {}

    test::TestServices ts;
    test::RecordingHost host;
    CnyState ownState;
    CnyState& state;
    CnyTesterWindow window{ts.services, host, state};

    FakeSerialPort& port() { return *ts.ports.last(); }
    QPushButton* command(int i) {
        return window.findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(i));
    }
    LockedComboBox* combo(const char* name) {
        return window.findChild<LockedComboBox*>(QLatin1String(name));
    }
    QLineEdit* box(const char* name) { return window.findChild<QLineEdit*>(QLatin1String(name)); }
    QLabel* panel(int n) {
        return window.findChild<QLabel*>(QStringLiteral("StatusBar1_Panel%1").arg(n));
    }
    QTableView* log() { return window.findChild<QTableView*>(QStringLiteral("MSFlexGrid1")); }
    QListWidget* received() { return window.findChild<QListWidget*>(QStringLiteral("List1")); }
    QStringList logRow(int row) {
        QStringList out;
        CnyLogModel& m = window.logModel();
        for (int c = 0; c < m.columnCount(); ++c) {
            out << m.data(m.index(row, c)).toString();
        }
        return out;
    }
    int enabledCommands() {
        int enabled = 0;
        for (int i = 0; i < 5; ++i) {
            enabled += command(i)->isEnabled() ? 1 : 0;
        }
        return enabled;
    }
    void openPort(int position) { pick(combo("Combo2"), position); }
    // The log's beat comes round: rows waiting for it go into the grid.
    void beat() { test::tick(window, "LogBeat"); }
    void click(int i) { QTest::mouseClick(command(i), Qt::LeftButton); }
    void saveLogTo(const QString& path) {
        ts.dialogs.m_answer = path;
        window.findChild<QTableView*>(QStringLiteral("MSFlexGrid1"))
            ->findChild<QAction*>(QStringLiteral("SaveLogAsCsv"))
            ->trigger();
    }
};

}  // namespace

class CnyTesterWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadedWindow() {
        Rig rig;
        QCOMPARE(rig.window.objectName(), QString("Form4"));
        QCOMPARE(rig.window.windowTitle(), QString("HOPPER CNY MODE"));
        QCOMPARE(rig.window.size(), twipsSize(11565, 4275));
        QCOMPARE(rig.enabledCommands(), 0);
        QCOMPARE(rig.panel(1)->text(), QString("RS232 關閉"));
        QCOMPARE(rig.panel(2)->text(), QString("9600/E/8/1"));
        // The panels are read as what they show (see the accessibility test); what they are is
        // their description.
        QVERIFY(!rig.panel(1)->accessibleDescription().isEmpty());
        QVERIFY(!rig.panel(2)->accessibleDescription().isEmpty());
        for (const char* name : {"Text1", "Text2", "Text3"}) {
            QVERIFY2(rig.box(name)->text().isEmpty(), name);
        }
        QVERIFY(rig.box("Text1")->isEnabled());
        QVERIFY(!rig.box("Text2")->isEnabled());
        QVERIFY(!rig.box("Text3")->isEnabled());
        QCOMPARE(rig.window.logModel().rowCount(), 1);
        QCOMPARE(rig.logRow(0), QStringList(8, QString()));
        QVERIFY(rig.received()->isHidden());
        QCOMPARE(rig.received()->count(), 0);

        QCOMPARE(rig.combo("Combo1")->currentIndex(), -1);
        QCOMPARE(rig.combo("Combo1")->shownText(), QString("Address 0"));
        QCOMPARE(rig.combo("Combo2")->count(), 12);
        QCOMPARE(rig.combo("Combo2")->itemText(11), QString("COM12"));
        QCOMPARE(rig.combo("Combo2")->shownText(), QString("COM1"));
        QCOMPARE(rig.combo("Combo3")->currentIndex(), 0);
        QCOMPARE(rig.combo("Combo3")->itemText(1), QString("19200/E/8/1"));

        SerialLink& link = rig.window.link();
        QVERIFY(!link.IsOpen());
        QCOMPARE(link.Settings(), (LineSettings{9600, Parity::Even, 8, 1}));
    }

    void controlsAndGeometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("button 0") << "Command1_0"
                                  << "PayoutCoin  No Reply" << twipsRect(120, 240, 1215, 495);
        QTest::newRow("button 1") << "Command1_1"
                                  << "PayoutCoin Reply" << twipsRect(120, 840, 1215, 495);
        QTest::newRow("button 2") << "Command1_2"
                                  << "Request Status" << twipsRect(120, 1440, 1215, 495);
        QTest::newRow("button 3") << "Command1_3"
                                  << "Request Remain Coin" << twipsRect(120, 2040, 1215, 495);
        QTest::newRow("button 4") << "Command1_4"
                                  << "Reset Hopper" << twipsRect(120, 2640, 1215, 495);
        QTest::newRow("close") << "Command5"
                               << "&Close" << twipsRect(360, 3240, 735, 495);
        QTest::newRow("address label") << "Label4"
                                       << "Hopper Addr" << twipsRect(1560, 270, 1095, 255);
        QTest::newRow("payout label") << "Label3"
                                      << "PayOut Coin" << twipsRect(1560, 840, 1095, 255);
        QTest::newRow("status label") << "Label1"
                                      << "Status" << twipsRect(1560, 1440, 615, 255);
        QTest::newRow("remain label") << "Label2"
                                      << "Remain Coin" << twipsRect(1560, 2040, 1095, 255);
        QTest::newRow("payout box") << "Text1"
                                    << "PayOut Coin" << twipsRect(2760, 720, 1215, 495);
        QTest::newRow("status box") << "Text2"
                                    << "Status" << twipsRect(2760, 1320, 1215, 495);
        QTest::newRow("remain box") << "Text3"
                                    << "Remain Coin" << twipsRect(2760, 1920, 1215, 495);
        QTest::newRow("log") << "MSFlexGrid1"
                             << "" << twipsRect(4080, 240, 7335, 3375);
        QTest::newRow("received bytes") << "List1"
                                        << "" << twipsRect(2880, 3840, 2655, 2400);
        QTest::newRow("address list") << "Combo1"
                                      << "Hopper Addr" << twipsRect(2760, 240, 1215, 300);
        QTest::newRow("port chooser") << "Combo2"
                                      << "" << twipsRect(1440, 3360, 975, 300);
        QTest::newRow("speed chooser") << "Combo3"
                                       << "" << twipsRect(2520, 3360, 1455, 300);
        QTest::newRow("status bar") << "StatusBar1"
                                    << "" << twipsRect(0, 3900, 11565, 375);
    }
    void controlsAndGeometry() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, rect);
        Rig rig;
        auto* widget = rig.window.findChild<QWidget*>(name);
        QVERIFY(widget);
        if (qobject_cast<QComboBox*>(widget)) {
            // Drop-down lists keep the height their font needs.
            rect.setHeight(widget->height());
        }
        QCOMPARE(widget->geometry(), rect);
        if (!qobject_cast<QStatusBar*>(widget)) {  // its panels are named, see loadedWindow
            QVERIFY(!widget->accessibleName().isEmpty());
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), caption);
        } else if (!caption.isEmpty()) {
            QCOMPARE(widget->accessibleName(), caption);
        }
    }

    void logLayout() {
        Rig rig;
        QTableView* log = rig.log();
        QCOMPARE(log->font().family(), QString("新細明體"));
        QCOMPARE(log->font().pointSize(), 9);
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(log->columnWidth(c), twips(600));
        }
        QCOMPARE(log->columnWidth(7), twips(3000));
        QVERIFY(log->verticalHeader()->isHidden());
    }

    // The road of one request: Request Status at address 2 and its reply.
    void requestStatusRoad() {
        Rig rig;
        rig.openPort(2);
        QCOMPARE(rig.port().m_device, QString("/dev/fake3"));
        QCOMPARE(rig.panel(1)->text(), QString("RS232 開啟"));
        QCOMPARE(rig.enabledCommands(), 5);

        const int clears = rig.ts.clipboard.m_clears;
        pick(rig.combo("Combo1"), 2);
        QCOMPARE(rig.ts.clipboard.m_clears, clears + 1);
        rig.click(2);
        QCOMPARE(rig.port().m_written, hex("05 10 02 11 00 28"));
        QCOMPARE(rig.port().m_writes.size(), 6);
        QCOMPARE(rig.logRow(0), (QStringList{"TX", "0x05", "0x10", "0x02", "0x11", "0x00", "0x28",
                                             "STATUS QUERY"}));

        rig.port().inject(hex("05 01 02 04 00 0C"));
        QCOMPARE(rig.box("Text2")->text(), QString("No Error"));
        rig.beat();
        QCOMPARE(rig.logRow(1),
                 (QStringList{"RX", "0x05", "0x01", "0x02", "0x04", "0x00", "0x0C", "NO ERROR"}));
        QStringList listed;
        for (int i = 0; i < rig.received()->count(); ++i) {
            listed << rig.received()->item(i)->text();
        }
        QCOMPARE(listed, (QStringList{"5", "1", "2", "4", "0", "C"}));
    }

    void commandBytes_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");  // empty: refused with the count message
        QTest::newRow("payout no reply 255 at 3") << 0 << 3 << "255"
                                                  << "05 10 03 10 FF 27";
        QTest::newRow("payout reply 10 at 0") << 1 << 0 << "10"
                                              << "05 10 00 14 0A 33";
        QTest::newRow("status at 2 ignores the box") << 2 << 2 << "99"
                                                     << "05 10 02 11 00 28";
        QTest::newRow("remain coin at 1") << 3 << 1 << ""
                                          << "05 10 01 13 00 29";
        QTest::newRow("reset at 3 ignores a bad box") << 4 << 3 << "999"
                                                      << "05 10 03 12 00 2A";
        QTest::newRow("empty box sends 0") << 1 << 0 << ""
                                           << "05 10 00 14 00 29";
        QTest::newRow("12abc sends 12") << 0 << 1 << "12abc"
                                        << "05 10 01 10 0C 32";
        QTest::newRow("no address chosen is address 0") << 2 << -1 << ""
                                                        << "05 10 00 11 00 26";
        QTest::newRow("256 refused") << 0 << 0 << "256"
                                     << "";
        QTest::newRow("-1 refused") << 1 << 0 << "-1"
                                    << "";
        QTest::newRow("255.5 rounds out of range") << 1 << 0 << "255.5"
                                                   << "";
    }
    void commandBytes() {
        QFETCH(int, button);
        QFETCH(int, address);
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        Rig rig;
        rig.openPort(0);
        if (address >= 0) {
            pick(rig.combo("Combo1"), address);
        }
        QTest::keyClicks(rig.box("Text1"), typed);
        QCOMPARE(rig.box("Text1")->text(), typed);
        rig.click(button);
        const QByteArray expected = hex(qPrintable(sent));
        QCOMPARE(rig.port().m_written, expected);
        // One write call per byte.
        QCOMPARE(rig.port().m_writes.size(), static_cast<qsizetype>(expected.size()));
        for (const QByteArray& write : rig.port().m_writes) {
            QCOMPARE(write.size(), 1);
        }
        if (sent.isEmpty()) {
            QCOMPARE(rig.ts.messages.m_shown.size(), 1);
            const auto& shown = rig.ts.messages.m_shown.first();
            QVERIFY2(shown.text.contains("0 to 255"), qPrintable(shown.text));
            QCOMPARE(shown.title, QString("Pellix kit"));
            QCOMPARE(shown.icon, MessageIcon::Exclamation);
            QCOMPARE(rig.window.logModel().frameCount(), 0);
        } else {
            QVERIFY(rig.ts.messages.m_shown.isEmpty());
            QCOMPARE(rig.window.logModel().frameCount(), 1);
            QCOMPARE(rig.logRow(0).first(), QString("TX"));
            QCOMPARE(rig.combo("Combo1")->currentIndex(), std::max(address, 0));
        }
    }

    void replyUpdatesBoxes_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("remain");
        QTest::addColumn<QString>("message");
        QTest::newRow("ack 12 keeps its blank") << "05 01 01 AA 0C BD"
                                                << ""
                                                << " 12"
                                                << "RESPONSE ACK OR REMAIN COIN";
        QTest::newRow("nak") << "05 01 00 BB 00 C1"
                             << "Command deny"
                             << " 0"
                             << "RESPONSE NAK";
        QTest::newRow("payout finished") << "05 01 00 08 00 0E"
                                         << ""
                                         << "Payout Finished"
                                         << "PAYOUT FINISHED";
        QTest::newRow("untested status bit") << "05 01 00 04 40 4A"
                                             << ""
                                             << ""
                                             << "";
        QTest::newRow("0x3B is motor only") << "05 01 00 04 3B 45"
                                            << "Motor Problem"
                                            << ""
                                            << "MOTOR PROBLEM";
    }
    void replyUpdatesBoxes() {
        QFETCH(QString, reply);
        QFETCH(QString, status);
        QFETCH(QString, remain);
        QFETCH(QString, message);
        Rig rig;
        rig.openPort(0);
        rig.port().inject(hex(qPrintable(reply)));
        QCOMPARE(rig.box("Text2")->text(), status);
        QCOMPARE(rig.box("Text3")->text(), remain);
        QCOMPARE(rig.window.logModel().frameCount(), 1);
        QCOMPARE(rig.logRow(0).first(), QString("RX"));
        QCOMPARE(rig.logRow(0).last(), message);
    }

    void checksumMismatchLeavesNoTrace() {
        Rig rig;
        rig.openPort(0);
        rig.port().inject(hex("05 01 00 BB 00 C2"));
        QVERIFY(rig.box("Text2")->text().isEmpty());
        QVERIFY(rig.box("Text3")->text().isEmpty());
        QCOMPARE(rig.window.logModel().frameCount(), 0);
        QCOMPARE(rig.received()->count(), 6);  // listed all the same
    }

    void buttonsFollowTheLink() {
        Rig rig;
        rig.click(2);  // disabled: nothing happens
        QVERIFY(rig.port().m_written.isEmpty());
        rig.openPort(0);
        QCOMPARE(rig.enabledCommands(), 5);
        rig.port().unplug();
        QCOMPARE(rig.enabledCommands(), 0);
        QCOMPARE(rig.panel(1)->text(), QString("RS232 關閉"));
        rig.ts.messages.m_shown.clear();
        rig.openPort(0);
        QCOMPARE(rig.enabledCommands(), 5);
    }

    void replugBringsThePortAndTheButtonsBack() {
        Rig rig;
        rig.openPort(2);
        rig.ts.ports.m_absent << QStringLiteral("/dev/fake3");
        rig.port().unplug();
        QCOMPARE(rig.ts.messages.m_shown.size(), 1);
        test::tick(rig.window, "ReconnectTimer");  // still away
        QCOMPARE(rig.enabledCommands(), 0);
        QVERIFY(!rig.port().m_open);

        rig.ts.ports.m_absent.clear();
        test::tick(rig.window, "ReconnectTimer");
        QVERIFY(rig.port().m_open);
        QCOMPARE(rig.port().m_device, QStringLiteral("/dev/fake3"));
        QCOMPARE(rig.panel(1)->text(), QString("RS232 開啟"));
        QCOMPARE(rig.enabledCommands(), 5);
        QCOMPARE(rig.ts.messages.m_shown.size(), 1);
        rig.click(2);
        QVERIFY(!rig.port().m_written.isEmpty());
    }

    void portErrors_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such port") << int(OpenError::NoSuchPort) << "Port Number Error";
        QTest::newRow("in use") << int(OpenError::InUse) << "Port Already In Use";
    }
    void portErrors() {
        QFETCH(int, error);
        QFETCH(QString, message);
        Rig rig;
        rig.openPort(1);  // another port is open when the pick fails
        QVERIFY(rig.port().m_open);
        rig.ts.ports.m_openErrors.insert(QStringLiteral("/dev/fake5"), OpenError(error));
        rig.openPort(4);
        QCOMPARE(rig.ts.messages.texts(), QStringList{message});
        QCOMPARE(rig.ts.messages.m_shown.first().title, QString("Error"));
        QCOMPARE(rig.ts.messages.m_shown.first().icon, MessageIcon::Critical);
        QCOMPARE(rig.combo("Combo2")->shownText(), QString("COM1"));
        QCOMPARE(rig.enabledCommands(), 0);
        QCOMPARE(rig.panel(1)->text(), QString("RS232 關閉"));
        QVERIFY(!rig.window.link().IsOpen());
        QVERIFY(rig.ts.ports.m_openDevices.isEmpty());
    }

    // A pick always passes through closed: another port is given up, the same one reopened.
    void pickWhileOpen_data() {
        QTest::addColumn<int>("second");
        QTest::newRow("another port") << 5;
        QTest::newRow("the same port again") << 1;
    }
    void pickWhileOpen() {
        QFETCH(int, second);
        Rig rig;
        rig.openPort(1);
        rig.openPort(second);
        QVERIFY(rig.ts.messages.m_shown.isEmpty());
        QCOMPARE(rig.ts.ports.m_openDevices,
                 QStringList{QStringLiteral("/dev/fake%1").arg(second + 1)});
        QCOMPARE(rig.window.link().PortNumber(), second + 1);
        QCOMPARE(rig.panel(1)->text(), QString("RS232 開啟"));
        QCOMPARE(rig.enabledCommands(), 5);
    }

    // Failures other than the two port errors end silently; the buttons and the panel still
    // follow the link, which is closed by then.
    void otherOpenErrors_data() {
        QTest::addColumn<bool>("bySpeedPick");
        QTest::newRow("port pick") << false;
        QTest::newRow("reopen after a speed pick") << true;
    }
    void otherOpenErrors() {
        QFETCH(bool, bySpeedPick);
        Rig rig;
        rig.openPort(1);
        rig.ts.ports.m_openErrors.insert(QStringLiteral("/dev/fake2"), OpenError::Other);
        if (bySpeedPick) {
            pick(rig.combo("Combo3"), 1);
        } else {
            rig.openPort(1);
        }
        QVERIFY(rig.ts.messages.m_shown.isEmpty());
        QVERIFY(!rig.window.link().IsOpen());
        QCOMPARE(rig.enabledCommands(), 0);
        QCOMPARE(rig.panel(1)->text(), toQString(serial::texts::kPanelClosed));
        QCOMPARE(rig.combo("Combo2")->shownText(), QString("COM2"));  // no port error
    }

    // Only the address list empties the clipboard on a pick; all three do on focus.
    void clipboardRules_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("clearsOnPick");
        QTest::newRow("address") << "Combo1" << 1 << 1;
        QTest::newRow("port") << "Combo2" << 2 << 0;
        QTest::newRow("speed") << "Combo3" << 1 << 0;
    }
    void clipboardRules() {
        QFETCH(QString, name);
        QFETCH(int, entry);
        QFETCH(int, clearsOnPick);
        Rig rig;
        LockedComboBox* combo = rig.combo(qPrintable(name));
        int clears = rig.ts.clipboard.m_clears;
        pick(combo, entry);
        QCOMPARE(rig.ts.clipboard.m_clears - clears, clearsOnPick);

        rig.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&rig.window));
        rig.box("Text1")->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(rig.box("Text1")->hasFocus());
        clears = rig.ts.clipboard.m_clears;
        combo->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(combo->hasFocus());
        QCOMPARE(rig.ts.clipboard.m_clears - clears, 1);
    }

    void speedPickWhileClosed() {
        Rig rig;
        pick(rig.combo("Combo3"), 1);
        QCOMPARE(rig.window.link().Settings(), (LineSettings{19200, Parity::Even, 8, 1}));
        QCOMPARE(rig.panel(2)->text(), QString("19200/E/8/1"));
        QVERIFY(!rig.window.link().IsOpen());
        QCOMPARE(rig.enabledCommands(), 0);
        rig.openPort(0);
        QCOMPARE(rig.port().m_settings.baudRate, 19200);
        QCOMPARE(rig.port().m_settings.parity, Parity::Even);
    }

    void speedPickWhileOpenReopens() {
        Rig rig;
        rig.openPort(3);
        // Reopening announces the open port again; a reopen of a port that was not closed
        // first would fail as in use.
        QSignalSpy panelTexts(&rig.window.link(), &SerialLink::panelTextChanged);
        pick(rig.combo("Combo3"), 1);
        QCOMPARE(panelTexts.count(), 1);
        QVERIFY(rig.ts.messages.m_shown.isEmpty());
        QCOMPARE(rig.ts.ports.m_openDevices, QStringList{"/dev/fake4"});
        QVERIFY(rig.window.link().IsOpen());
        QCOMPARE(rig.port().m_device, QString("/dev/fake4"));
        QCOMPARE(rig.port().m_settings.baudRate, 19200);
        QCOMPARE(rig.panel(1)->text(), QString("RS232 開啟"));
        QCOMPARE(rig.panel(2)->text(), QString("19200/E/8/1"));
        QCOMPARE(rig.enabledCommands(), 5);
        pick(rig.combo("Combo3"), 0);
        QCOMPARE(rig.port().m_settings.baudRate, 9600);
        QVERIFY(rig.window.link().IsOpen());
    }

    void failedReopenIsAPortError() {
        Rig rig;
        rig.openPort(1);
        rig.ts.ports.m_openErrors.insert(QStringLiteral("/dev/fake2"), OpenError::InUse);
        pick(rig.combo("Combo3"), 1);
        QCOMPARE(rig.ts.messages.texts(), QStringList{"Port Already In Use"});
        QVERIFY(!rig.window.link().IsOpen());
        QCOMPARE(rig.enabledCommands(), 0);
        QCOMPARE(rig.combo("Combo2")->shownText(), QString("COM1"));
        QCOMPARE(rig.panel(1)->text(), QString("RS232 關閉"));
        QCOMPARE(rig.panel(2)->text(), QString("19200/E/8/1"));
    }

    void typedKeysIgnored_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("address") << "Combo1";
        QTest::newRow("port") << "Combo2";
        QTest::newRow("speed") << "Combo3";
    }
    void typedKeysIgnored() {
        QFETCH(QString, name);
        Rig rig;
        LockedComboBox* combo = rig.combo(qPrintable(name));
        const int index = combo->currentIndex();
        const QString shown = combo->shownText();
        QTest::keyClicks(combo, "COM7 Address 3 19200");
        QCOMPARE(combo->currentIndex(), index);
        QCOMPARE(combo->shownText(), shown);
        QVERIFY(!rig.window.link().IsOpen());
    }

    // Every way of closing unloads: the port closes and the launcher comes back.
    void closingUnloads_data() {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("close button") << true;
        QTest::newRow("close box") << false;
    }
    void closingUnloads() {
        QFETCH(bool, byButton);
        Rig rig;
        rig.window.show();
        rig.openPort(0);
        QVERIFY(rig.port().m_open);
        if (byButton) {
            QTest::mouseClick(rig.window.findChild<QPushButton*>("Command5"), Qt::LeftButton);
        } else {
            rig.window.close();
        }
        QVERIFY(!rig.window.isVisible());
        QVERIFY(!rig.port().m_open);
        QCOMPARE(rig.host.m_launcherShown, 1);
    }

    // A reply cut short when the window closed is completed after it is opened again.
    void receiveStateOutlivesTheWindow() {
        CnyState state;
        {
            Rig first(state);
            first.openPort(0);
            first.port().inject(hex("05 01 02"));
            first.window.close();
        }
        Rig second(state);
        second.openPort(0);
        second.port().inject(hex("04 00 0C"));
        QCOMPARE(second.box("Text2")->text(), QString("No Error"));
        QCOMPARE(second.window.logModel().frameCount(), 1);
    }

    // From the 13th frame (14 grid rows with the header) the newest row is the top row.
    void newestRowScrollsToTop() {
        Rig rig;
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        rig.openPort(0);
        const QByteArray reply = hex("05 01 00 04 00 0A");
        for (int frame = 1; frame <= 12; ++frame) {
            rig.port().inject(reply);
        }
        rig.beat();
        QCoreApplication::processEvents();
        QCOMPARE(rig.log()->rowAt(0), 0);
        rig.port().inject(reply);
        rig.beat();
        QTRY_COMPARE(rig.log()->rowAt(0), 12);

        // Rows of one beat share one scroll, made once control is back in the event loop.
        rig.port().inject(reply + reply + reply + reply + reply);
        rig.beat();
        QCOMPARE(rig.log()->rowAt(0), 12);
        QTRY_COMPARE(rig.log()->rowAt(0), 17);
        // A later layout keeps the newest row on top.
        rig.log()->resize(rig.log()->width(), rig.log()->height() + 1);
        QCoreApplication::processEvents();
        QCOMPARE(rig.log()->rowAt(0), 17);
        QVERIFY(rig.log()->rowAt(rig.log()->rowViewportPosition(17) + 20) == -1);  // blank below
    }

    // Rows reach the grid on a beat: the first after a quiet spell at once, the rest together
    // when the beat comes; every frame, in order, and the next quiet row at once again.
    void logShowsRowsOnABeat_data() {
        QTest::addColumn<QList<int>>("notifications");  // frames per receive notification
        QTest::newRow("one frame") << QList<int>{1};
        QTest::newRow("one frame per notification") << QList<int>{1, 1, 1, 1};
        QTest::newRow("a burst in one notification") << QList<int>{6};
        QTest::newRow("bursts of several sizes") << QList<int>{2, 5, 3};
    }
    void logShowsRowsOnABeat() {
        QFETCH(QList<int>, notifications);
        Rig rig;
        rig.openPort(0);
        int sent = 0;
        for (const int frames : notifications) {
            QByteArray bytes;
            for (int i = 0; i < frames; ++i, ++sent) {
                const cny::Frame reply = cny::replyFrame(0, 0xAA, static_cast<std::uint8_t>(sent));
                bytes.append(reinterpret_cast<const char*>(reply.data()),
                             static_cast<qsizetype>(reply.size()));
            }
            rig.port().inject(bytes);
            QCOMPARE(rig.window.logModel().frameCount(), 1);  // the rest wait for the beat
        }
        rig.beat();
        QCOMPARE(rig.window.logModel().frameCount(), sent);
        for (int row = 0; row < sent; ++row) {
            QCOMPARE(rig.logRow(row).at(5), QString::asprintf("0x%02X", row));
        }
        rig.beat();  // nothing came: quiet again
        rig.click(3);
        QCOMPARE(rig.window.logModel().frameCount(), sent + 1);
        QCOMPARE(rig.logRow(sent).first(), QString("TX"));
    }

    // The saved log is what the grid shows once the rows waiting for the beat are in.
    void savedLogHoldsWaitingRows() {
        Rig rig;
        rig.openPort(0);
        rig.click(2);
        rig.click(3);
        rig.click(4);
        QCOMPARE(rig.window.logModel().frameCount(), 1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.csv"));
        rig.saveLogTo(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), 4);  // header and three rows
        QCOMPARE(rig.window.logModel().frameCount(), 3);
    }

    void doubleClickClearsLog_data() {
        QTest::addColumn<bool>("onHeader");
        QTest::newRow("on the rows") << false;
        QTest::newRow("on the header row") << true;
    }
    void doubleClickClearsLog() {
        QFETCH(bool, onHeader);
        Rig rig;
        rig.window.show();
        rig.openPort(0);
        rig.click(2);
        rig.click(4);
        rig.beat();
        QCOMPARE(rig.window.logModel().frameCount(), 2);
        QWidget* target =
            onHeader ? rig.log()->horizontalHeader()->viewport() : rig.log()->viewport();
        QTest::mouseDClick(target, Qt::LeftButton, {}, QPoint(10, 5));
        QCOMPARE(rig.window.logModel().frameCount(), 0);
        QCOMPARE(rig.window.logModel().rowCount(), 1);
        QCOMPARE(rig.logRow(0), QStringList(8, QString()));
        QCOMPARE(rig.window.logModel().headerData(7, Qt::Horizontal).toString(),
                 QString("Message"));
        rig.click(3);
        QCOMPARE(rig.logRow(0).last(), QString("REMAIN COIN QUERY"));
    }

    void receivedBytesKeepTheNewest() {
        Rig rig;
        rig.openPort(0);
        QByteArray noise;
        for (int i = 0; i < 4100; ++i) {
            noise += char(0xA0 + i % 16);  // never 0x05, so no frame starts
        }
        rig.port().inject(noise);
        QCOMPARE(rig.received()->count(), 4096);
        QCOMPARE(rig.received()->item(0)->text(), QString("A4"));
        QCOMPARE(rig.received()->item(4095)->text(), QString("A3"));
    }

    void saveLogAsCsv() {
        Rig rig;
        rig.openPort(0);
        rig.click(2);
        rig.port().inject(hex("05 01 00 04 00 0A"));
        auto* action = rig.log()->findChild<QAction*>("SaveLogAsCsv");
        QVERIFY(action);
        QCOMPARE(action->text(), QString("Save Log As CSV..."));
        QTemporaryDir dir;
        const QString path = dir.filePath("log.csv");
        rig.saveLogTo(path);
        QVERIFY(rig.ts.messages.m_shown.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 QString("TX/RX,1,2,3,4,5,6,Message\r\n"
                         "TX,0x05,0x10,0x00,0x11,0x00,0x26,STATUS QUERY\r\n"
                         "RX,0x05,0x01,0x00,0x04,0x00,0x0A,NO ERROR\r\n"));
    }

    void cancelledSaveWritesNothing() {
        Rig rig;
        rig.log()->findChild<QAction*>("SaveLogAsCsv")->trigger();
        QCOMPARE(rig.ts.dialogs.m_requests.size(), 1);
        QVERIFY(rig.ts.messages.m_shown.isEmpty());
    }

    void saveIntoMissingFolderIsReported() {
        Rig rig;
        QTemporaryDir dir;
        const QString path = dir.filePath("missing/log.csv");
        rig.saveLogTo(path);
        QCOMPARE(rig.ts.messages.m_shown.size(), 1);
        QVERIFY2(rig.ts.messages.m_shown.first().text.contains(path),
                 qPrintable(rig.ts.messages.m_shown.first().text));
        QCOMPARE(rig.ts.messages.m_shown.first().title, QString("Error"));
        QVERIFY(!QFile::exists(path));
    }

    // A write that fails half way (here: the file size limit) leaves the earlier file as it was.
    void failedSaveKeepsOldFile() {
        Rig rig;
        rig.openPort(0);
        for (int i = 0; i < 50; ++i) {
            rig.click(2);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath("log.csv");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old log\n");
        }

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 256;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        rig.saveLogTo(path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(rig.ts.messages.m_shown.size(), 1);
        const QString text = rig.ts.messages.m_shown.first().text;
        QVERIFY2(text.contains(path), qPrintable(text));
        QVERIFY2(text.split('\n').value(1).size() > 0, qPrintable(text));  // the reason
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("old log\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"log.csv"});
    }
};

QTEST_MAIN(CnyTesterWindowTest)
#include "test_cnytesterwindow.moc"
