// What the traffic capture costs the line, capture on against capture off:
//  - the coin number setting handshake: the time from the hopper's ready byte 82 reaching the
//    pseudo-terminal to the tool's answer 82 coming back, through the real window, serial link
//    and event loop (rounds of the two settings interleaved, so load on the machine hits both);
//  - the CNY flood: 1 MiB of replies through the capture and the reply assembler with its notes,
//    as the serial link hands them over one byte at a time, in processor time.
// Exits 1 in optimised builds when capture makes the handshake median more than 25% (and more
// than 50 µs) slower or the flood falls under 10 MB/s (19200 baud is under 2 kB/s).
#include <QApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "app/windowhost.h"
#include "cny/cnyframe.h"
#include "cny/cnynotes.h"
#include "cny/cnyreplyassembler.h"
#include "coinsetting/coinsettingwindow.h"
#include "platform/qtserialport.h"
#include "platform/services.h"
#include "serial/capturebook.h"
#include "serial/seriallink.h"

namespace {

using namespace pellix;
using Bytes = std::vector<std::uint8_t>;

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Services that touch nothing of the desktop; COM3 is the pseudo-terminal.
struct BenchSettings final : SettingsStore {
    QString value(const QString& key, const QString& fallback) const override {
        if (key == QStringLiteral("Setting/COMPORT")) {
            return QStringLiteral("3");
        }
        if (key == QStringLiteral("Ports/COM3")) {
            return device;
        }
        return fallback;
    }
    void setValue(const QString&, const QString&) override {}
    QString device;
};
struct NoMessages final : MessageBoxes {
    void show(const QString& text, const QString&, MessageIcon) override {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
    }
};
struct NoClipboard final : Clipboard {
    void clear() override {}
};
struct HereFolder final : ProgramFolder {
    QString path() const override { return QStringLiteral("."); }
};
struct NoOtherCopy final : InstanceLock {
    bool anotherInstanceRunning() const override { return false; }
};
struct NullWindowHost final : WindowHost {
    void showLauncher() override {}
    QWidget* open(WindowKind) override { return nullptr; }
    QWidget* load(WindowKind) override { return nullptr; }
};

Bytes settingsBlock() {
    Bytes block{0x3A, 0x00, 0x00, 0x01, 0x00};
    std::uint8_t sum = 0;
    for (int i = 0; i < 32; ++i) {
        const auto b = static_cast<std::uint8_t>(i * 7);
        block.push_back(b);
        sum = static_cast<std::uint8_t>(sum + b);
    }
    block.push_back(sum);
    return block;
}

void spinUntil(const std::function<bool()>& done) {
    QElapsedTimer limit;
    limit.start();
    while (!done() && limit.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// One round: bring the receiver to WaitReady, then time 82 -> 82.
double handshakeMicros(int master, const CoinSettingWindow& window) {
    const std::uint8_t junk = 0x00;
    [[maybe_unused]] ssize_t n = ::write(master, &junk, 1);  // back to WaitStart (after WaitEntry)
    spinUntil([&] { return window.protocol().stage() == ReceiveStage::WaitStart; });
    const Bytes block = settingsBlock();
    n = ::write(master, block.data(), block.size());
    spinUntil([&] { return window.protocol().stage() == ReceiveStage::WaitReady; });
    QElapsedTimer clock;
    const std::uint8_t ready = 0x82;
    clock.start();
    n = ::write(master, &ready, 1);
    std::uint8_t answer = 0;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, 0) > 0 && ::read(master, &answer, 1) == 1) {
            break;
        }
        if (clock.elapsed() > 5000) {
            return -1;
        }
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e3;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
double percentile90(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() * 9 / 10];
}

struct FloodListener final : cny::ReplyListener {
    void byteListed(std::uint8_t) override { ++listed; }
    void showStatus(std::string_view) override {}
    void showRemainCoin(std::string_view) override {}
    void logReply(const cny::Frame&, cny::LogMessage) override { ++rows; }
    std::uint64_t listed = 0;
    std::uint64_t rows = 0;
};

// MB/s of the reply path per byte, with or without the capture and notes in it.
double floodMBps(bool capture, CaptureBook& book) {
    Bytes stream;
    const std::uint8_t codes[] = {0x04, 0x07, 0x08, 0xAA, 0xBB};
    for (unsigned i = 0; stream.size() < (1u << 20); ++i) {
        const cny::Frame f = cny::replyFrame(static_cast<std::uint8_t>(i % 4), codes[i % 5],
                                             static_cast<std::uint8_t>(i));
        stream.insert(stream.end(), f.begin(), f.end());
    }
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        Capture& cap = book.capture(CaptureSource::CnyTester);
        cap.clear();
        cap.setEnabled(capture);
        FloodListener window;
        cny::CnyNotes notes(window);
        notes.setSink(capture ? &cap : nullptr);
        cny::ReplyListener& listener = capture ? static_cast<cny::ReplyListener&>(notes) : window;
        cny::ReplyAssembler assembler;
        const double start = cpuMs();
        for (std::uint8_t& b : stream) {
            if (capture) {
                cap.received(std::span(&b, 1));
            }
            assembler.feed(b, listener);
        }
        const double ms = cpuMs() - start;
        if (window.listed != stream.size()) {
            std::fprintf(stderr, "flood lost bytes\n");
            return 0;
        }
        best = std::max(best, static_cast<double>(stream.size()) / 1e6 / (ms / 1e3));
    }
    return best;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);

    BenchSettings settings;
    settings.device = QString::fromLocal8Bit(name);
    NoMessages messages;
    NoClipboard clipboard;
    HereFolder folder;
    NoOtherCopy instance;
    QtSerialPortFactory ports(settings);
    CaptureBook book;
    Services services{settings, messages, clipboard, folder, instance, ports, &book};
    NullWindowHost host;
    CoinSettingState state;
    std::unique_ptr<CoinSettingWindow> window;
    {
        BuildingScope building(&book, CaptureSource::CoinSetting);
        window.reset(CoinSettingWindow::create(services, host, state, [] {}));
    }
    if (!window || !window->link().IsOpen()) {
        std::fprintf(stderr, "window did not open %s\n", name);
        return 1;
    }

    constexpr int kRounds = 300;
    std::vector<double> on;
    std::vector<double> off;
    for (int i = 0; i < kRounds; ++i) {
        const bool captureOn = i % 2 == 0;
        book.setEnabled(captureOn);
        const double us = handshakeMicros(master, *window);
        if (us < 0) {
            std::fprintf(stderr, "no answer to 82\n");
            return 1;
        }
        (captureOn ? on : off).push_back(us);
    }
    const double medianOn = median(on);
    const double medianOff = median(off);
    std::printf(
        "82 -> 82 over a pty, %d rounds each: capture off median %.0f us (p90 %.0f), "
        "capture on median %.0f us (p90 %.0f)\n",
        kRounds / 2, medianOff, percentile90(off), medianOn, percentile90(on));

    const double floodOff = floodMBps(false, book);
    const double floodOn = floodMBps(true, book);
    std::printf(
        "CNY flood, 1 MiB of replies one byte at a time: capture off %.0f MB/s, "
        "capture on %.0f MB/s\n",
        floodOff, floodOn);
    window->close();

#ifdef NDEBUG
    if (medianOn > medianOff * 1.25 && medianOn - medianOff > 50) {
        std::fprintf(stderr, "capture slows the handshake answer\n");
        return 1;
    }
    if (floodOn < 10) {
        std::fprintf(stderr, "capture too slow for the CNY flood\n");
        return 1;
    }
#endif
    return 0;
}
