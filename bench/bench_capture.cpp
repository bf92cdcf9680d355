// What the traffic capture costs on the CNY flood: 1 MiB of replies through the capture (with the
// program's clock) and the reply assembler with its notes, one byte at a time as the serial link
// hands them over, against the assembler alone; processor time, best of five.
// Exits 1 in optimised builds under 10 MB/s with capture (19200 baud is under 2 kB/s).
// The 82 -> 82 answer with and without capture: bench_answerlatency [rounds] [--capture].
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "cny/cnyframe.h"
#include "cny/cnynotes.h"
#include "cny/cnyreplyassembler.h"
#include "serial/capturebook.h"

namespace {

using namespace pellix;
using Bytes = std::vector<std::uint8_t>;

constexpr double kTargetMBps = 10;

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct FloodListener final : cny::SessionView {
    void logCommand(const cny::Frame&, cny::LogMessage) override {}
    void showCountRangeError() override {}
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
        FloodListener window;
        cny::CnyNotes notes(window);
        notes.setSink(capture ? &cap : nullptr);
        cny::SessionView& listener = capture ? static_cast<cny::SessionView&>(notes) : window;
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

int main() {
    CaptureBook book;
    const double floodOff = floodMBps(false, book);
    const double floodOn = floodMBps(true, book);
    std::printf(
        "CNY flood, 1 MiB of replies one byte at a time: capture off %.0f MB/s, "
        "capture on %.0f MB/s\n",
        floodOff, floodOn);
#ifdef NDEBUG
    if (floodOn < kTargetMBps) {
        std::fprintf(stderr, "capture too slow for the CNY flood\n");
        return 1;
    }
#endif
    return 0;
}
