// Memory over repeated loads: each window is opened, shown and closed 40 times on the offscreen
// platform, and the resident set after the 40th cycle is compared with the one after the second.
// The first two cycles fill what Qt keeps for the rest of the run (fonts, glyphs, style data,
// the shared pictures and icons) and are shown apart; after them a cycle should leave nothing
// behind.
//
//   bench_windowcycles [cycles]     (default 40)
//
// Exits 0; prints MISSED when a window grows the process by more than 1 MiB.
#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "benchchild.h"
#include "cny/cnytesterwindow.h"
#include "coinsetting/coinsettingwindow.h"
#include "fakes.h"
#include "hwtest/hardwaretestwindow.h"
#include "manual/manualwindow.h"
#include "simulation/simulationwindow.h"

namespace {

using namespace pellix;

constexpr long kTargetGrowthKb = 1024;

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("PELLIX_RUNTIME_DIR")) {
        qputenv("PELLIX_RUNTIME_DIR", PELLIX_BENCH_RUNTIME_DIR);
    }
    const int cycles = argc > 1 ? std::max(2, std::atoi(argv[1])) : 40;
    QApplication app(argc, argv);
    test::TestServices ts;
    test::RecordingHost host;
    SimulationState simulationState;
    CnyState cnyState;
    CoinSettingState coinSettingState;

    struct Kind {
        const char* name;
        std::function<QWidget*()> open;
    };
    const Kind kinds[] = {
        {"coin number setting",
         [&] { return CoinSettingWindow::create(ts.services, host, coinSettingState); }},
        {"manual", [&] { return new ManualWindow(ts.services, host); }},
        {"protocol simulation",
         [&] { return new SimulationWindow(ts.services, host, simulationState); }},
        {"CNY mode tester", [&] { return new CnyTesterWindow(ts.services, host, cnyState); }},
        {"hardware test", [&] { return new HardwareTestWindow(ts.services, host); }},
    };
    bool missed = false;
    std::printf("resident set over %d open/close cycles of each window (KiB)\n", cycles);
    for (const Kind& kind : kinds) {
        long first = 0;
        long warm = 0;
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            QWidget* window = kind.open();
            if (window == nullptr) {
                std::printf("  %-20s did not open\n", kind.name);
                missed = true;
                break;
            }
            window->show();
            QCoreApplication::processEvents();
            window->close();
            delete window;
            settle();
            if (cycle == 1) {
                first = bench::rssKb("self");
            } else if (cycle == 2) {
                warm = bench::rssKb("self");
            }
        }
        const long last = bench::rssKb("self");
        std::printf(
            "  %-20s after cycle 1 %ld, 2 %ld, %d %ld; growth after cycle 2 %ld (goal <= %ld)\n",
            kind.name, first, warm, cycles, last, last - warm, kTargetGrowthKb);
        missed = missed || last - warm > kTargetGrowthKb;
    }
    if (missed) {
        std::printf("MISSED: a window grows the process on every load\n");
    }
    return 0;
}
