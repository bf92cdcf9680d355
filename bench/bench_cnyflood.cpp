// What the CNY mode tester costs at the line's own pace, beside the floor program reading the
// same bytes from readyRead in the same run.
//
// The real window runs on the offscreen platform in its own process with its port open on a
// pseudo-terminal; the floor runs in another. This process plays the hopper for both at once:
// one six-byte reply every 3.125 ms to each, 320 replies a second as at 19200 baud. CPU time is
// the kernel's count for each process, less what it spent starting up. The tool's resident set
// is read when its log has just filled and again at the end: after that the log drops its
// oldest rows and should hold its size.
//
//   bench_cnyflood [frames]     (default 40000: the full log and then some; about two minutes)
//
// Prints CPU seconds per 10,000 frames for both, the ratio, and the resident sets.
#include <QApplication>
#include <QComboBox>
#include <QMetaObject>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "benchchild.h"
#include "cny/cnyframe.h"
#include "cny/cnylogmodel.h"
#include "cny/cnytesterwindow.h"
#include "common/settingskeys.h"
#include "fakes.h"

namespace {

using namespace pellix;
using Clock = std::chrono::steady_clock;

constexpr auto kFramePace = std::chrono::microseconds(3125);
constexpr double kTargetOverFloor = 2.0;
constexpr long kTargetRssGrowthKb = 1024;

int runTool(int argc, char** argv, const char* device) {
    QApplication app(argc, argv);
    test::PtyServices services;
    services.settings.setValue(QString::fromLatin1(keys::kPortDevicePrefix) + QStringLiteral("1"),
                               QString::fromLocal8Bit(device));
    test::RecordingHost host;
    CnyState state;
    CnyTesterWindow window(services.services, host, state);
    window.show();
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
    if (ports == nullptr) {
        return 1;
    }
    emit ports->activated(0);
    if (!services.messages.m_shown.isEmpty()) {
        std::fprintf(stderr, "the port did not open %s\n", device);
        return 1;
    }
    QMetaObject::invokeMethod(
        &app, [] { bench::announceReady(); }, Qt::QueuedConnection);
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc >= 3 && std::strcmp(argv[1], "--tool") == 0) {
        return runTool(argc, argv, argv[2]);
    }
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40000;

    bench::Pty toolPty;
    bench::Pty floorPty;
    if (!toolPty.open() || !floorPty.open()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    bench::Child tool;
    bench::Child floorChild;
    const double toolStart =
        tool.start({bench::selfProgram(), "--tool", toolPty.name}) ? tool.awaitReady() : -1;
    const double floorStart =
        floorChild.start({bench::floorProgram(argv[0]), "count", floorPty.name})
            ? floorChild.awaitReady()
            : -1;
    if (toolStart < 0 || floorStart < 0) {
        std::fprintf(stderr, "the tool or the floor did not start\n");
        return 1;
    }

    long rssFullKb = 0;
    auto next = Clock::now();
    for (int n = 0; n < frames; ++n) {
        const cny::Frame reply =
            cny::replyFrame(static_cast<std::uint8_t>(n % 4), 0xAA, static_cast<std::uint8_t>(n));
        [[maybe_unused]] ssize_t w = ::write(toolPty.master, reply.data(), reply.size());
        w = ::write(floorPty.master, reply.data(), reply.size());
        if (n + 1 == CnyLogModel::kCapacity) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the beat show it
            rssFullKb = tool.rssKb();
        }
        next += kFramePace;
        std::this_thread::sleep_until(next);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long rssEndKb = tool.rssKb();
    const bench::Usage t = tool.stop();
    const bench::Usage f = floorChild.stop();
    const double per = 10000.0 / frames;
    const double toolCpu = (t.cpuSeconds - toolStart) * per;
    const double floorCpu = (f.cpuSeconds - floorStart) * per;
    const double ratio = toolCpu / std::max(floorCpu, 1e-6);
    std::printf(
        "CNY flood, %d replies at 320/s: CPU s per 10,000 frames: tool %.3f | floor %.3f; "
        "over floor %.2f (goal <= %.1f)\n",
        frames, toolCpu, floorCpu, ratio, kTargetOverFloor);
    std::printf("  peak RSS: tool %ld KiB | floor %ld KiB", t.peakKb, f.peakKb);
    bool missed = ratio > kTargetOverFloor;
    if (rssFullKb > 0) {
        std::printf("; tool RSS at full log %ld KiB, at the end %ld KiB (goal: within %ld KiB)",
                    rssFullKb, rssEndKb, kTargetRssGrowthKb);
        missed = missed || rssEndKb - rssFullKb > kTargetRssGrowthKb;
    }
    std::printf("\n");
    if (missed) {
        std::printf("MISSED: CNY flood\n");
    }
    return 0;
}
