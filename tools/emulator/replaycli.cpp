// pellix-hopper-emulator replay FILE [--fast] [--match]
// Plays the hopper's side of a capture saved by the Traffic window into the tool over a
// pseudo-terminal, with the recorded timing (--fast: no waiting). With --match it waits at each
// of the tool's recorded chunks until the tool has sent the same bytes and stops at the first
// difference, which it reports.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>

#include "replay.h"

namespace pellix::emulator {
namespace {

std::int64_t nowMicros() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
}

int usage() {
    std::fprintf(stderr, "usage: pellix-hopper-emulator replay FILE [--fast] [--match]\n");
    return 2;
}

}  // namespace

int runReplay(int argc, char* argv[]) {
    const char* file = nullptr;
    ReplayOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--fast") {
            options.fast = true;
        } else if (arg == "--match") {
            options.matchTool = true;
        } else if (!file && !arg.starts_with("--")) {
            file = argv[i];
        } else {
            return usage();
        }
    }
    if (!file) {
        return usage();
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open: %s\n", file, std::strerror(errno));
        return 1;
    }
    std::string error;
    auto script = loadReplayScript(in, &error);
    if (!script) {
        std::fprintf(stderr, "%s: %s\n", file, error.c_str());
        return 1;
    }

    int master = -1;
    int slave = -1;
    char path[256] = {};
    if (::openpty(&master, &slave, path, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    std::printf(
        "Replaying %s (%zu steps, recorded on %s %s at %s) on %s\n"
        "  start the tool with: PELLIX_COM1=%s make run\n"
        "  open the port in the tool, then press Enter to start\n",
        file, script->steps.size(), script->header.port.c_str(), script->header.settings.c_str(),
        script->header.opened.c_str(), path, path);
    std::fflush(stdout);

    Replayer replayer(std::move(*script), options);
    pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    while (!replayer.finished()) {
        int timeout = -1;
        if (const auto wake = replayer.wakeAt()) {
            const std::int64_t left = *wake - nowMicros();
            timeout = left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
        }
        if (::poll(fds, 2, timeout) < 0) {
            std::perror("poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            std::uint8_t buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                replayer.toolSent(std::span(buffer, static_cast<std::size_t>(n)), nowMicros());
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char line[64];
            if (!std::fgets(line, sizeof line, stdin)) {
                fds[1].fd = -1;
            }
            if (!replayer.started()) {
                replayer.start(nowMicros());
            }
        }
        const auto out = replayer.poll(nowMicros());
        if (!out.empty() && ::write(master, out.data(), out.size()) < 0) {
            std::perror("write");
            return 1;
        }
    }
    if (replayer.mismatch()) {
        std::printf("first difference: %s\n", replayer.mismatch()->c_str());
        return 3;
    }
    std::printf("replay done: %zu steps, %llu bytes from the tool\n", replayer.stepsDone(),
                static_cast<unsigned long long>(replayer.toolBytes()));
    // Let the tool read the last bytes before the line goes away.
    ::tcdrain(master);
    ::sleep(1);
    return 0;
}

}  // namespace pellix::emulator
