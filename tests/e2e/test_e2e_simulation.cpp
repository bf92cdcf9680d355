#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <vector>

#include "ptyhopper.h"
#include "serial/seriallink.h"
#include "simulation/simulationwindow.h"
#include "widgets/lockedcombobox.h"
#include "windowtesting.h"

using namespace pellix;
using namespace pellix::test;

class SimulationEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void startUpAndDispenseReachTheHopper() {
        PtyHopper line(emulator::Mode::Tzv);
        line.powerOn();
        QVERIFY(!line.device().isEmpty());
        PtyServices s;
        s.settings.setValue(QStringLiteral("Ports/COM4"), line.device());
        RecordingHost host;
        SimulationState state;
        SimulationWindow window(s.services, host, state);
        std::vector<records::ServiceRun> runs;
        window.keepRunsWith([&](records::ServiceRun run) { runs.push_back(std::move(run)); });

        auto* ports = window.findChild<LockedComboBox*>(QStringLiteral("Combo1"));
        QCOMPARE(ports->itemData(3, Qt::ToolTipRole).toString(), line.device());
        // A device numbered while the window is open shows up when the technician turns to
        // the list.
        QVERIFY(!ports->itemData(4, Qt::ToolTipRole).toString().contains(line.device()));
        s.settings.setValue(QStringLiteral("Ports/COM5"), line.device());
        QFocusEvent focus(QEvent::FocusIn);
        QCoreApplication::sendEvent(ports, &focus);
        QCOMPARE(ports->itemData(4, Qt::ToolTipRole).toString(), line.device());
        pick(ports, 3);
        QVERIFY(window.link().IsOpen());

        auto* channels = window.findChild<LockedComboBox*>(QStringLiteral("Combo2"));
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        pick(channels, 15);
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();

        const emulator::Bytes expected{0x80, 0x81, 0x4F, 0x10};
        QTRY_COMPARE(line.hopper().received(), expected);

        // What the hopper sends back is read and dropped: nothing stays waiting, nothing is
        // answered, no message.
        qsizetype drained = 0;
        connect(&window.link(), &SerialLink::bytesRead, this,
                [&](const QByteArray& bytes) { drained += bytes.size(); });
        line.send({0x3A, 0x01, 0x02});
        QTRY_COMPARE(drained, 3);
        QCOMPARE(window.link().BytesAvailable(), 0);
        QCOMPARE(line.hopper().received(), expected);
        QVERIFY(s.messages.m_shown.isEmpty());

        window.close();
        QVERIFY(!window.link().IsOpen());
        QCOMPARE(host.m_launcherShown, 1);
        // One service run with the two commands, as the capture notes them.
        QCOMPARE(runs.size(), std::size_t{1});
        QCOMPARE(runs[0].interface, records::Interface::Simulation);
        QCOMPARE(runs[0].values.size(), std::size_t{2});
        QCOMPARE(runs[0].values[0].second, std::string(tzv::kStartUpNote));
        QCOMPARE(runs[0].values[1].second, tzv::dispenseNote(0x4F));
    }
};

QTEST_MAIN(SimulationEndToEnd)
#include "test_e2e_simulation.moc"
