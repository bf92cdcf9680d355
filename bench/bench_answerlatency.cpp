// How long the coin number setting window takes to answer the hopper's ready byte, beside the
// floor program (a bare Qt program answering 82 from readyRead) measured in the same run.
//
// Each runs in its own process on its own pseudo-terminal: the window on the offscreen platform
// with the real serial port code. This process plays the hopper for both, one round to the tool,
// one to the floor, in turn, so load on the machine falls on both alike. A round is a whole
// settings block followed by the ready byte 82; the time runs from the 82 being written to the
// answering 82 being read. A stray byte between rounds puts the window back to waiting for a
// block. Three cases:
//   line      the bytes 1.15 ms apart, as they come off a 9600-baud line
//   block     block and 82 in one write, as a USB adapter delivers them
//   listener  as block, with a screen-reader-like listener in the process: accessibility on and
//             every event fetched and read (name, value, state, place) as a bridge would
//
//   bench_answerlatency [rounds] [--capture] [case...]   (default 200 rounds, every case)
//
// With --capture the window's port records its traffic and the engine's notes as in the
// program, to compare the answer with and without capture.
//
// Prints p50, p99 and the worst round in microseconds for both, and p99 over the floor's p99.
// Exits 1 when a round gets no answer within a second.
#include <QAccessible>
#include <QApplication>
#include <QMetaObject>

#include <poll.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "benchchild.h"
#include "coinsetting/coinsettingprotocol.h"
#include "coinsetting/coinsettingwindow.h"
#include "common/settingskeys.h"
#include "fakes.h"
#include "serial/capturebook.h"

namespace {

using namespace pellix;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kReady = 0x82;
constexpr int kAnswerTimeoutMs = 1000;
// Long enough for the window to read the stray byte and discard what follows it.
constexpr auto kSettle = std::chrono::milliseconds(20);
// One character time at 9600 baud, ten bits.
constexpr auto kLinePace = std::chrono::microseconds(1150);
// Goal: the tool's p99 within this many times the floor's.
constexpr double kTargetOverFloor = 1.5;

// 3A, two header bytes, one skipped byte, 16 coin numbers, checksum, then the ready byte.
std::vector<std::uint8_t> blockAndReady() {
    std::vector<std::uint8_t> bytes = {0x3A, 0x00, 0x00, 0x01, 0x00};
    std::uint8_t sum = 0;
    for (int channel = 0; channel < kCoinChannels; ++channel) {
        const auto number = static_cast<std::uint16_t>(100 + channel * 37);
        for (const auto byte :
             {static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number & 0xFF)}) {
            bytes.push_back(byte);
            sum = static_cast<std::uint8_t>(sum + byte);
        }
    }
    bytes.push_back(sum);
    bytes.push_back(kReady);
    return bytes;
}

// Waits for an 82 on the master side; false on a time-out.
bool awaitReady(int master) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    while (Clock::now() < deadline) {
        pollfd fd{master, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&fd, 1, static_cast<int>(std::max<long long>(1, left.count()))) <= 0) {
            continue;
        }
        std::uint8_t buffer[64];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == kReady) {
                return true;
            }
        }
    }
    return false;
}

// One round on `master`: microseconds from the 82 written to the 82 read, negative when lost.
double playRound(int master, bool linePace, const std::vector<std::uint8_t>& block) {
    const std::uint8_t stray = 0x00;
    [[maybe_unused]] ssize_t n = ::write(master, &stray, 1);
    std::this_thread::sleep_for(kSettle);
    ::tcflush(master, TCIFLUSH);
    Clock::time_point start;
    if (linePace) {
        for (std::size_t i = 0; i < block.size(); ++i) {
            if (i > 0) {
                std::this_thread::sleep_for(kLinePace);
            }
            start = Clock::now();
            n = ::write(master, &block[i], 1);
        }
    } else {
        start = Clock::now();
        n = ::write(master, block.data(), block.size());
    }
    if (!awaitReady(master)) {
        return -1;
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Stands in for a screen reader's bridge: it takes every event and reads what a bridge sends on.
void readEvent(QAccessibleEvent* event) {
    static std::atomic<std::size_t> sink{0};
    if (QAccessibleInterface* iface = event->accessibleInterface()) {
        sink += static_cast<std::size_t>(iface->text(QAccessible::Name).size() +
                                         iface->text(QAccessible::Value).size() +
                                         iface->text(QAccessible::Description).size());
        sink += static_cast<std::size_t>(iface->rect().width()) + iface->state().focused +
                static_cast<std::size_t>(iface->role());
        if (QAccessibleInterface* parent = iface->parent()) {
            sink += static_cast<std::size_t>(parent->childCount());
        }
    }
}

// The tool's side: the real window on `device`.
int runTool(int argc, char** argv, const char* device, bool listener, bool capture) {
    QApplication app(argc, argv);
    if (listener) {
        QAccessible::installUpdateHandler(readEvent);
        QAccessible::setActive(true);
    }
    test::PtyServices services;
    services.settings.setValue(QString::fromLatin1(keys::kPortDevicePrefix) + QStringLiteral("1"),
                               QString::fromLocal8Bit(device));
    services.settings.setValue(QString::fromLatin1(keys::kComPort), QStringLiteral("1"));
    test::RecordingHost host;
    CoinSettingState state;
    CaptureBook book;
    CoinSettingWindow* window =
        CoinSettingWindow::create(services.services, host, state, {},
                                  capture ? &book.capture(CaptureSource::CoinSetting) : nullptr);
    if (window == nullptr || !services.messages.m_shown.isEmpty()) {
        std::fprintf(stderr, "the window did not open %s\n", device);
        return 1;
    }
    window->show();
    QMetaObject::invokeMethod(
        &app, [] { bench::announceReady(); }, Qt::QueuedConnection);
    const int result = app.exec();
    delete window;
    return result;
}

struct Case {
    const char* name;
    bool linePace;
    bool listener;
};

constexpr Case kCases[] = {
    {"line", true, false},
    {"block", false, false},
    {"listener", false, true},
};

struct Figures {
    double p50 = 0, p99 = 0, max = 0;
};

Figures figures(const std::vector<double>& times) {
    return {bench::percentile(times, 0.5), bench::percentile(times, 0.99),
            bench::percentile(times, 1.0)};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc >= 3 && std::strcmp(argv[1], "--tool") == 0) {
        bool listener = false;
        bool capture = false;
        for (int i = 3; i < argc; ++i) {
            listener = listener || std::strcmp(argv[i], "--listener") == 0;
            capture = capture || std::strcmp(argv[i], "--capture") == 0;
        }
        return runTool(argc, argv, argv[2], listener, capture);
    }
    int rounds = 200;
    bool capture = false;
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--capture") == 0) {
            capture = true;
        } else if (std::isdigit(static_cast<unsigned char>(argv[i][0]))) {
            rounds = std::max(1, std::atoi(argv[i]));
        } else {
            wanted.emplace_back(argv[i]);
        }
    }
    const std::vector<std::uint8_t> block = blockAndReady();
    const std::string self = bench::selfProgram();
    const std::string floor = bench::floorProgram(argv[0]);

    bool lost = false;
    bool missed = false;
    std::printf(
        "82 -> 82 answer latency, %d rounds each, capture %s, microseconds (tool | floor)\n",
        rounds, capture ? "on" : "off");
    for (const Case& c : kCases) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), c.name) == wanted.end()) {
            continue;
        }
        bench::Pty toolPty;
        bench::Pty floorPty;
        if (!toolPty.open() || !floorPty.open()) {
            std::fprintf(stderr, "no pseudo-terminal\n");
            return 1;
        }
        std::vector<std::string> toolArgs{self, "--tool", toolPty.name};
        if (c.listener) {
            toolArgs.emplace_back("--listener");
        }
        if (capture) {
            toolArgs.emplace_back("--capture");
        }
        bench::Child tool;
        bench::Child floorChild;
        if (!tool.start(toolArgs) || tool.awaitReady() < 0 ||
            !floorChild.start({floor, "answer", floorPty.name}) || floorChild.awaitReady() < 0) {
            std::fprintf(stderr, "%s: the tool or the floor (%s) did not start\n", c.name,
                         floor.c_str());
            return 1;
        }
        std::vector<double> toolTimes;
        std::vector<double> floorTimes;
        for (int round = 0; round < rounds && !lost; ++round) {
            const double t = playRound(toolPty.master, c.linePace, block);
            const double f = playRound(floorPty.master, c.linePace, block);
            lost = t < 0 || f < 0;
            toolTimes.push_back(t);
            floorTimes.push_back(f);
        }
        tool.stop();
        floorChild.stop();
        if (lost) {
            std::fprintf(stderr, "%s: answer 82 lost: no answer within %d ms\n", c.name,
                         kAnswerTimeoutMs);
            return 1;
        }
        const Figures t = figures(toolTimes);
        const Figures f = figures(floorTimes);
        const double ratio = t.p99 / f.p99;
        std::printf(
            "  %-8s p50 %6.0f | %6.0f   p99 %6.0f | %6.0f   max %6.0f | %6.0f   "
            "p99 over floor %.2f (goal <= %.1f)\n",
            c.name, t.p50, f.p50, t.p99, f.p99, t.max, f.max, ratio, kTargetOverFloor);
        missed = missed || ratio > kTargetOverFloor;
    }
    if (missed) {
        std::printf("MISSED: answer latency over %.1fx the floor's\n", kTargetOverFloor);
    }
    return 0;
}
