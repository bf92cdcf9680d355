#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

#include <QTemporaryDir>

#include "app/launcherwindow.h"
#include "app/recordswindow.h"
#include "app/windowregistry.h"
#include "cny/cnytesterwindow.h"
#include "coinsetting/coinsettingwindow.h"
#include "fakes.h"
#include "hwtest/hardwaretestwindow.h"
#include "manual/manualwindow.h"
#include "serial/capturebook.h"
#include "serial/seriallink.h"
#include "serial/serialportswindow.h"
#include "simulation/simulationwindow.h"
#include "traffic/trafficwindow.h"

namespace pellix::test {

// Every window of the tool, built over fakes as the program builds it; for tests that check
// something of each window alike (keyboard, accessibility, texts). kinds() names the defined
// windows; withAdded() adds the Traffic, Serial Ports and Service Records windows, which stand
// beside them.
struct AllWindows {
    CaptureBook captures;
    TestServices ts;
    QTemporaryDir recordsFolder;
    FakePortDiscovery discovery;
    ComPortMap comPorts{ts.settings, discovery};
    RecordingHost host;
    WindowRegistry registry;
    SimulationState simulationState;
    CnyState cnyState;
    CoinSettingState coinSettingState;

    static QStringList kinds() {
        return {"launcher",   "manual",       "coin number setting", "protocol simulation",
                "cny tester", "hardware test"};
    }
    static QStringList added() {
        return {QStringLiteral("traffic"), QStringLiteral("serial ports"),
                QStringLiteral("service records")};
    }
    static QStringList withAdded() { return kinds() + added(); }

    // A tool window records its traffic into `capture` when given one.
    std::unique_ptr<QWidget> build(const QString& kind, Capture* capture = nullptr) {
        if (kind == QLatin1String("launcher")) {
            return std::make_unique<LauncherWindow>(registry, ts.folder);
        }
        if (kind == QLatin1String("traffic")) {
            return std::make_unique<TrafficWindow>(captures, ts.dialogs, ts.clipboard);
        }
        if (kind == QLatin1String("serial ports")) {
            return std::make_unique<SerialPortsWindow>(comPorts);
        }
        if (kind == QLatin1String("service records")) {
            records::DatabaseAddress address;
            address.sqlitePath = recordsFolder.filePath(QStringLiteral("records.sqlite"));
            records::RecordsStore store(address);
            for (const char* key : {"a", "b", "c"}) {
                records::ServiceRun run;
                run.key = key;
                run.startedUtc = std::string("2026-12-0") + (key[0] == 'a' ? "1" : "2");
                run.hopper.serialNumber = "12345678";
                run.add("result Motor Stop", "OK");
                store.save(run);
            }
            return std::make_unique<RecordsWindow>(address, ts.dialogs);
        }
        if (kind == QLatin1String("manual")) {
            return std::make_unique<ManualWindow>(ts.services, host);
        }
        if (kind == QLatin1String("coin number setting")) {
            return std::unique_ptr<QWidget>(CoinSettingWindow::create(
                ts.services, host, coinSettingState, [] {}, capture));
        }
        if (kind == QLatin1String("protocol simulation")) {
            return std::make_unique<SimulationWindow>(ts.services, host, simulationState, capture);
        }
        if (kind == QLatin1String("cny tester")) {
            return std::make_unique<CnyTesterWindow>(ts.services, host, cnyState, capture);
        }
        return std::make_unique<HardwareTestWindow>(ts.services, host, capture);
    }
};

}  // namespace pellix::test
