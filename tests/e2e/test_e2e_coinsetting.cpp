#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <map>
#include <vector>

#include "coinsettingonpty.h"
#include "ptyhopper.h"
#include "serial/seriallink.h"

using namespace pellix;
using namespace pellix::test;

class CoinSettingEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void readEditAndSaveTheCoinNumbers() {
        PtyHopper line(emulator::Mode::CoinSetting);
        QVERIFY(!line.device().isEmpty());
        CoinSettingOnPty on(line.device());
        const auto& window = on.window;
        QVERIFY(window);
        std::vector<records::ServiceRun> runs;
        window->keepRunsWith([&](records::ServiceRun run) { runs.push_back(std::move(run)); });
        auto* status = window->findChild<QLabel*>(QStringLiteral("Label2"));

        // The remembered port is open at once; the window waits for the hopper.
        QVERIFY(window->link().IsOpen());
        QCOMPARE(status->text(), QStringLiteral("Switch on Pellix"));

        line.powerOn();
        QTRY_COMPARE(status->text(), QStringLiteral("Enter Data (Do not Reset hopper)"));
        QCOMPARE(window->boxText(0), QStringLiteral("1000"));
        QCOMPARE(window->boxText(9), QStringLiteral("1"));
        QCOMPARE(window->boxText(15), QStringLiteral("0"));

        window->setBoxText(0, QStringLiteral("1234"));
        window->setBoxText(15, QStringLiteral("65535"));
        window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QTRY_COMPARE(status->text(), QStringLiteral("Save complete"));
        auto& hopper = line.as<emulator::CoinSettingHopper>();
        QCOMPARE(hopper.m_coinNumbers[0], 1234);
        QCOMPARE(hopper.m_coinNumbers[15], 65535);
        // The refreshed block from the hopper is shown again.
        QTRY_COMPARE(window->boxText(15), QStringLiteral("65535"));
        QVERIFY(on.s.messages.m_shown.isEmpty());

        window->close();  // unloading stores the port number
        QVERIFY(!window->link().IsOpen());
        QCOMPARE(on.host.m_launcherShown, 1);
        QCOMPARE(on.s.settings.value(QStringLiteral("Setting/COMPORT"), QString()),
                 QStringLiteral("3"));

        // One service run: the numbers read, saved and shown by the refreshed block.
        QCOMPARE(runs.size(), std::size_t{1});
        const records::ServiceRun& run = runs.front();
        QCOMPARE(run.interface, records::Interface::CoinSetting);
        QCOMPARE(run.outcome, records::Outcome::Pass);
        QCOMPARE(run.port, std::string("COM3"));
        QCOMPARE(run.device, line.device().toStdString());
        std::map<std::string, std::string> values(run.values.begin(), run.values.end());
        QCOMPARE(values["coin number 1 before"], std::string("1000"));
        QCOMPARE(values["coin number 1 saved"], std::string("1234"));
        QCOMPARE(values["coin number 16 after"], std::string("65535"));
    }
};

QTEST_MAIN(CoinSettingEndToEnd)
#include "test_e2e_coinsetting.moc"
