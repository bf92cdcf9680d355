#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <vector>

#include "cny/cnylogmodel.h"
#include "cny/cnytesterwindow.h"
#include "ptyhopper.h"
#include "serial/seriallink.h"
#include "widgets/lockedcombobox.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

namespace {

QString lastMessage(CnyLogModel& log) {
    return log.data(log.index(log.rowCount() - 1, CnyLogModel::kColumns - 1)).toString();
}

}  // namespace

class CnyEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    // The road of one request, over the real serial port code, then a speed change and a
    // payout with a reply per coin on the reopened port.
    void requestStatusAndPayout() {
        PtyHopper line(emulator::Mode::Cny);
        QVERIFY(!line.device().isEmpty());
        line.powerOn();
        line.as<emulator::CnyHopper>().m_address = 2;
        PtyServices s;
        s.settings.setValue(QStringLiteral("Ports/COM3"), line.device());
        RecordingHost host;
        CnyState state;
        CnyTesterWindow window(s.services, host, state);
        CnyLogModel& log = window.logModel();
        std::vector<records::ServiceRun> runs;
        window.keepRunsWith([&](records::ServiceRun run) { runs.push_back(std::move(run)); });

        pick(window.findChild<LockedComboBox*>(QStringLiteral("Combo2")), 2);
        QVERIFY(window.link().IsOpen());
        pick(window.findChild<LockedComboBox*>(QStringLiteral("Combo1")), 2);
        window.findChild<QPushButton*>(QStringLiteral("Command1_2"))->click();

        const emulator::Bytes status{0x05, 0x10, 0x02, 0x11, 0x00, 0x28};
        QTRY_COMPARE(line.hopper().received(), status);
        auto* statusBox = window.findChild<QLineEdit*>(QStringLiteral("Text2"));
        QTRY_COMPARE(statusBox->text(), QString("No Error"));
        // The grid takes its rows on a beat, so they may follow the boxes.
        QTRY_COMPARE(log.frameCount(), 2);
        QCOMPARE(lastMessage(log), QString("NO ERROR"));

        pick(window.findChild<LockedComboBox*>(QStringLiteral("Combo3")), 1);
        QVERIFY(window.link().IsOpen());
        window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("3"));
        window.findChild<QPushButton*>(QStringLiteral("Command1_1"))->click();
        auto* remainBox = window.findChild<QLineEdit*>(QStringLiteral("Text3"));
        QTRY_COMPARE(remainBox->text(), QString("Payout Finished"));
        // TX, three coins, finished.
        QTRY_COMPARE(log.frameCount(), 2 + 5);
        QCOMPARE(lastMessage(log), QString("PAYOUT FINISHED"));
        QVERIFY(s.messages.m_shown.isEmpty());

        window.close();
        QVERIFY(!window.link().IsOpen());
        QCOMPARE(host.m_launcherShown, 1);

        // Two service runs, one per opening of the port: the status query, then the payout
        // with its three coins and the end.
        QCOMPARE(runs.size(), std::size_t{2});
        for (const records::ServiceRun& run : runs) {
            QCOMPARE(run.outcome, records::Outcome::Pass);
            QCOMPARE(run.port, std::string("COM3"));
        }
        QCOMPARE(runs[0].values.size(), std::size_t{2});
        QVERIFY(runs[0].values[0].second.starts_with("STATUS QUERY 05 10 02 11 00 28"));
        QCOMPARE(runs[1].values.size(), std::size_t{1 + 4});
        QVERIFY(runs[1].values.back().second.starts_with("PAYOUT FINISHED"));
    }
};

QTEST_MAIN(CnyEndToEnd)
#include "test_e2e_cny.moc"
