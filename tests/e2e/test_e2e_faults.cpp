// What a real hopper and cable do wrong, injected by the emulator, through the real windows and
// the real serial port code over a pseudo-terminal.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "cny/cnylogmodel.h"
#include "cny/cnytesterwindow.h"
#include "coinsettingonpty.h"
#include "ptyhopper.h"
#include "serial/seriallink.h"
#include "widgets/lockedcombobox.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;
using emulator::Fault;

Q_DECLARE_METATYPE(std::optional<pellix::emulator::Fault>)

namespace {

// Lets bytes already written reach the window before checking that nothing changed.
constexpr int kSettleMs = 150;

// A CNY tester window on COM3, which opens the emulated hopper's port.
struct CnyBench {
    explicit CnyBench(PtyHopper& line) : window(s.services, host, state) {
        s.settings.setValue(QStringLiteral("Ports/COM3"), line.device());
        pick(window.findChild<LockedComboBox*>(QStringLiteral("Combo2")), 2);
    }
    QStringList messages() {
        QStringList out;
        CnyLogModel& log = window.logModel();
        for (int row = 0; row < log.rowCount(); ++row) {
            out << log.data(log.index(row, CnyLogModel::kColumns - 1)).toString();
        }
        return out;
    }
    void click(int button) {
        window.findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(button))->click();
    }
    QString statusBox() { return window.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(); }

    PtyServices s;
    RecordingHost host;
    CnyState state;
    CnyTesterWindow window;
};

constexpr int kRequestStatus = 2;

}  // namespace

class FaultsEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void cnyReply_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QString>("status");
        QTest::newRow("split reply")
            << Fault::Split << QStringList{"STATUS QUERY", "NO ERROR"} << "No Error";
        QTest::newRow("wrong checksum")
            << Fault::WrongChecksum << QStringList{"STATUS QUERY"} << QString();
        QTest::newRow("stray 05 before the reply")
            << Fault::StrayStart << QStringList{"STATUS QUERY"} << QString();
        QTest::newRow("line noise before the reply")
            << Fault::Garbage << QStringList{"STATUS QUERY", "NO ERROR"} << "No Error";
        QTest::newRow("silence") << Fault::Silence << QStringList{"STATUS QUERY"} << QString();
    }
    // A status query whose reply suffers the fault, then one that does not: the window shows
    // only what a sound frame said, and the next reply is taken as usual.
    void cnyReply() {
        QFETCH(Fault, fault);
        QFETCH(QStringList, logged);
        QFETCH(QString, status);

        PtyHopper line(emulator::Mode::Cny);
        line.powerOn();
        CnyBench bench(line);
        QVERIFY(bench.window.link().IsOpen());
        QVERIFY(!line.line().arm(fault));
        bench.click(kRequestStatus);
        QTRY_COMPARE(line.hopper().received().size(), 6u);
        if (fault != Fault::Silence) {
            QTRY_VERIFY(line.hopperWrites() >= 1);
        }
        QTest::qWait(fault == Fault::Split ? emulator::HopperLine::kDefaultSplitPauseMs + kSettleMs
                                           : kSettleMs);
        QTRY_COMPARE(bench.messages(), logged);
        QCOMPARE(bench.statusBox(), status);

        bench.click(kRequestStatus);
        const QStringList after = logged + QStringList{"STATUS QUERY", "NO ERROR"};
        QTRY_COMPARE(bench.messages(), after);
        QCOMPARE(bench.statusBox(), QStringLiteral("No Error"));
        QVERIFY(bench.s.messages.m_shown.isEmpty());
    }

    // The cable is pulled while the window has the port open, then plugged in again: the
    // window reports the lost port once, and picking the same entry reopens it.
    void cnyUnplugAndReplug() {
        QTemporaryDir dir;
        PtyHopper line(emulator::Mode::Cny, dir.filePath(QStringLiteral("cny")));
        line.powerOn();
        CnyBench bench(line);
        QVERIFY(bench.window.link().IsOpen());
        bench.click(kRequestStatus);
        QTRY_COMPARE(bench.messages().size(), 2);

        line.port().unplug();
        QTRY_VERIFY(!bench.window.link().IsOpen());
        QCOMPARE(bench.s.messages.m_shown.size(), 1);
        QTest::qWait(kSettleMs);
        QCOMPARE(bench.s.messages.m_shown.size(), 1);

        QVERIFY(line.port().plug());
        pick(bench.window.findChild<LockedComboBox*>(QStringLiteral("Combo2")), 2);
        QVERIFY(bench.window.link().IsOpen());
        bench.click(kRequestStatus);
        QTRY_COMPARE(bench.messages().size(), 4);
        QCOMPARE(bench.messages().last(), QStringLiteral("NO ERROR"));
    }

    void coinSetting_data() {
        QTest::addColumn<std::optional<Fault>>("atPowerOn");
        QTest::addColumn<std::optional<Fault>>("atSave");
        QTest::addColumn<int>("splitAt");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("receiveErrorBox");
        const std::optional<Fault> none;
        QTest::newRow("block split in its coin data, within the block time")
            << std::optional(Fault::Split) << none << 20 << "Save complete" << false;
        QTest::newRow("save answer split right after 84")
            << none << std::optional(Fault::Split) << 1 << "Save complete" << false;
        QTest::newRow("wrong block checksum") << std::optional(Fault::WrongChecksum) << none << 0
                                              << "Checksum Error,Reset hopper" << true;
        QTest::newRow("line noise before the acknowledgement")
            << none << std::optional(Fault::Garbage) << 0 << "Save faild,Reset hopper" << false;
        QTest::newRow("save never acknowledged")
            << none << std::optional(Fault::Silence) << 0 << "No Response" << false;
    }
    // Switch on, take the block, save 1234 to channel 1: the fault shows where it struck.
    void coinSetting() {
        QFETCH(std::optional<Fault>, atPowerOn);
        QFETCH(std::optional<Fault>, atSave);
        QFETCH(int, splitAt);
        QFETCH(QString, status);
        QFETCH(bool, receiveErrorBox);

        PtyHopper line(emulator::Mode::CoinSetting);
        CoinSettingOnPty on(line.device());
        const auto& window = on.window;
        QVERIFY(window && window->link().IsOpen());
        auto* label = window->findChild<QLabel*>(QStringLiteral("Label2"));

        if (atPowerOn) {
            QVERIFY(!line.line().arm(*atPowerOn, splitAt));
        }
        line.powerOn();
        if (atPowerOn != Fault::WrongChecksum) {
            QTRY_COMPARE(label->text(), QStringLiteral("Enter Data (Do not Reset hopper)"));
            window->setBoxText(0, QStringLiteral("1234"));
            if (atSave) {
                QVERIFY(!line.line().arm(*atSave, splitAt));
            }
            window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        }
        QTRY_COMPARE(label->text(), status);
        if (status == QStringLiteral("Save complete")) {
            // The refreshed block, taken after the acknowledgement, is shown.
            QTRY_COMPARE(window->boxText(0), QStringLiteral("1234"));
            QCOMPARE(line.as<emulator::CoinSettingHopper>().m_coinNumbers[0], 1234);
        }
        if (receiveErrorBox) {
            QTRY_COMPARE(on.s.messages.m_shown.size(), 1);
            QVERIFY(on.s.messages.m_shown[0].text.startsWith(
                QStringLiteral("Receive Error perhaps incorrect interface")));
        } else {
            QTest::qWait(600);  // past the block time: no receive error box
            QVERIFY(on.s.messages.m_shown.isEmpty());
        }
        window->close();
    }
};

QTEST_MAIN(FaultsEndToEnd)
#include "test_e2e_faults.moc"
