// pellix-hopper-emulator replay FILE [--fast] [--match] [--link-dir DIR] [--write-timeout S]
// Plays the hopper's side of a capture saved by the Traffic window into the tool over a
// pseudo-terminal, with the recorded timing (--fast: no waiting). With --match it waits at each
// of the tool's recorded chunks until the tool has sent the same bytes and stops at the first
// difference, which it reports. The capture is read as it plays, so any length takes the same
// memory; a tool that stops reading ends the replay after the write time-out with a message.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "replay.h"

namespace pellix::emulator {
namespace {

// Bytes for the tool held at most at once; the file is read no further ahead than this.
constexpr std::size_t kMaxPending = 64 * 1024;

std::int64_t nowMicros() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
}

int usage() {
    std::fprintf(stderr,
                 "usage: pellix-hopper-emulator replay FILE [--fast] [--match] [--link-dir DIR] "
                 "[--write-timeout SECONDS]\n");
    return 2;
}

struct ReplayArgs {
    const char* file = nullptr;
    ReplayOptions options;
    std::string linkDir;
    int writeTimeoutSeconds = 10;
};

std::optional<ReplayArgs> parseArgs(int argc, char* argv[]) {
    ReplayArgs args;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--fast") {
            args.options.fast = true;
        } else if (arg == "--match") {
            args.options.matchTool = true;
        } else if (arg == "--link-dir" && hasValue) {
            args.linkDir = argv[++i];
        } else if (arg == "--write-timeout" && hasValue) {
            const std::string_view value = argv[++i];
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(),
                                                   args.writeTimeoutSeconds);
            if (ec != std::errc() || end != value.data() + value.size() ||
                args.writeTimeoutSeconds < 1) {
                return std::nullopt;
            }
        } else if (!args.file && !arg.starts_with("--")) {
            args.file = argv[i];
        } else {
            return std::nullopt;
        }
    }
    if (!args.file) {
        return std::nullopt;
    }
    return args;
}

// DIR/replay points at `device` from now on, replaced in one step so a tool watching it never
// finds it missing; a tool left running on the link reopens it at the next replay.
bool pointLink(const std::string& dir, const char* device, std::string* link) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    *link = (std::filesystem::absolute(dir, ec) / "replay").string();
    const std::string temporary = *link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(device, temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), link->c_str()) != 0) {
        std::fprintf(stderr, "cannot make the link %s: %s\n", link->c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

int runReplay(int argc, char* argv[]) {
    const std::optional<ReplayArgs> args = parseArgs(argc, argv);
    if (!args) {
        return usage();
    }
    const char* file = args->file;
    std::ifstream check(file, std::ios::binary);
    if (!check) {
        std::fprintf(stderr, "%s: cannot open: %s\n", file, std::strerror(errno));
        return 1;
    }
    std::string error;
    const auto summary = checkReplay(check, &error);
    if (!summary) {
        std::fprintf(stderr, "%s: %s\n", file, error.c_str());
        return 1;
    }
    check.close();
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open: %s\n", file, std::strerror(errno));
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
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::string port = path;
    if (!args->linkDir.empty() && !pointLink(args->linkDir, path, &port)) {
        return 1;
    }
    const CaptureHeader& header = summary->header;
    std::printf(
        "Replaying %s (%zu steps, recorded on %s %s at %s) on %s\n"
        "  start the tool with: PELLIX_COM1=%s make run\n"
        "  open the port in the tool, then press Enter to start\n",
        file, summary->steps, header.port.c_str(), header.settings.c_str(), header.opened.c_str(),
        path, port.c_str());
    std::fflush(stdout);

    Replayer replayer(in, args->options);
    std::vector<std::uint8_t> pending;
    std::size_t pendingFrom = 0;
    std::int64_t stalledSince = -1;
    const std::int64_t writeTimeout = std::int64_t{args->writeTimeoutSeconds} * 1'000'000;
    pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    while (!replayer.finished() || pendingFrom < pending.size()) {
        const bool writing = pendingFrom < pending.size();
        fds[0].events = static_cast<short>(POLLIN | (writing ? POLLOUT : 0));
        std::int64_t wake = -1;
        if (writing) {
            wake = stalledSince < 0 ? nowMicros() + writeTimeout : stalledSince + writeTimeout;
        } else if (const auto due = replayer.wakeAt()) {
            wake = *due;
        }
        int timeout = -1;
        if (wake >= 0) {
            const std::int64_t left = wake - nowMicros();
            timeout = left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
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
        if (pendingFrom == pending.size()) {
            pending.clear();
            pendingFrom = 0;
        }
        if (pending.size() < kMaxPending) {
            const auto due = replayer.poll(nowMicros(), kMaxPending - pending.size());
            pending.insert(pending.end(), due.begin(), due.end());
        }
        if (pendingFrom < pending.size()) {
            const ssize_t n =
                ::write(master, pending.data() + pendingFrom, pending.size() - pendingFrom);
            if (n > 0) {
                pendingFrom += static_cast<std::size_t>(n);
                stalledSince = -1;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                std::fprintf(stderr, "write to %s failed: %s\n", port.c_str(),
                             std::strerror(errno));
                return 1;
            } else if (stalledSince < 0) {
                stalledSince = nowMicros();
            } else if (nowMicros() - stalledSince >= writeTimeout) {
                std::fprintf(stderr,
                             "nobody reads %s: %zu byte(s) waited %d s; replay stopped after "
                             "%zu of %zu steps\n",
                             port.c_str(), pending.size() - pendingFrom, args->writeTimeoutSeconds,
                             replayer.stepsDone(), summary->steps);
                return 1;
            }
        }
    }
    if (!replayer.error().empty()) {
        std::fprintf(stderr, "%s changed while it played: %s\n", file, replayer.error().c_str());
        return 1;
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
