// How long the coin number setting window takes to answer the hopper's ready byte.
//
// The window runs on the offscreen platform with the real serial port code on one side of a
// pseudo-terminal; a thread plays the hopper on the other side. Each round the hopper writes a
// whole settings block followed by its ready byte 82 in one write and times how long the tool's
// 82 takes to come back. A stray byte between rounds puts the window back to waiting for a block.
//
//   bench_answerlatency [rounds] [--capture]      (default 200 rounds, traffic capture off)
//
// With --capture the window's port records its traffic and the engine's notes as in the
// program, to compare the answer with and without capture.
//
// Prints the median, 90th percentile and worst round in microseconds; exits 1 when a round gets
// no answer within a second.
#include <QApplication>
#include <QMetaObject>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

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

// Waits for the tool's 82 on the master side; false on a time-out.
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

// The hopper's side of every round; the answer times in microseconds, empty on a lost answer.
std::vector<double> playHopper(int master, int rounds) {
    const std::vector<std::uint8_t> block = blockAndReady();
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        if (round > 0) {
            const std::uint8_t stray = 0x00;
            [[maybe_unused]] const ssize_t n = ::write(master, &stray, 1);
        }
        std::this_thread::sleep_for(kSettle);
        ::tcflush(master, TCIFLUSH);
        const auto start = Clock::now();
        [[maybe_unused]] const ssize_t n = ::write(master, block.data(), block.size());
        if (!awaitReady(master)) {
            return {};
        }
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return times;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int rounds = 200;
    bool capture = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--capture") {
            capture = true;
        } else {
            rounds = std::max(1, std::atoi(argv[i]));
        }
    }
    QApplication app(argc, argv);

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);

    test::PtyServices services;
    services.settings.setValue(QString::fromLatin1(keys::kPortDevicePrefix) + QStringLiteral("1"),
                               QString::fromLocal8Bit(name));
    services.settings.setValue(QString::fromLatin1(keys::kComPort), QStringLiteral("1"));
    test::RecordingHost host;
    CoinSettingState state;
    CaptureBook book;
    CoinSettingWindow* window = nullptr;
    {
        BuildingScope building(capture ? &book : nullptr, CaptureSource::CoinSetting);
        services.services.captures = capture ? &book : nullptr;
        window = CoinSettingWindow::create(services.services, host, state, {});
    }
    if (window == nullptr || !services.messages.m_shown.isEmpty()) {
        std::fprintf(stderr, "the window did not open %s\n", name);
        return 1;
    }
    window->show();

    std::vector<double> times;
    std::thread hopper([&] {
        times = playHopper(master, rounds);
        QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    hopper.join();
    delete window;
    ::close(master);
    ::close(slave);

    const auto& ring = book.capture(CaptureSource::CoinSetting).ring();
    if (capture && ring.size() < static_cast<std::size_t>(rounds)) {
        std::fprintf(stderr, "the capture missed the traffic\n");
        return 1;
    }
    if (times.empty()) {
        std::fprintf(stderr, "answer 82 lost: no answer within %d ms\n", kAnswerTimeoutMs);
        return 1;
    }
    std::printf(
        "82 -> 82 answer latency over %d rounds (block + 82 in one write, capture %s): "
        "median %.0f us, p90 %.0f us, worst %.0f us\n",
        rounds, capture ? "on" : "off", percentile(times, 0.5), percentile(times, 0.9),
        percentile(times, 1.0));
    return 0;
}
