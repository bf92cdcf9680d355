// A hopper on a pseudo-terminal, for trying the tool at a desk without a hopper:
//   pellix-hopper-emulator cny
//   PELLIX_COM1=/dev/pts/N make run      (the path it prints)
// In the coin number setting and hardware test modes, press Enter to switch the hopper on.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "hopperemulator.h"

using namespace pellix::emulator;

namespace pellix::emulator {
int runReplay(int argc, char* argv[]);
}

namespace {

void dump(const char* direction, const Bytes& bytes) {
    if (bytes.empty()) {
        return;
    }
    std::printf("%s", direction);
    for (std::uint8_t b : bytes) {
        std::printf(" %02X", b);
    }
    std::printf("\n");
    std::fflush(stdout);
}

bool writeAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int usage() {
    std::fprintf(stderr,
                 "usage: pellix-hopper-emulator tzv|cny|coinsetting|hwtest\n"
                 "       pellix-hopper-emulator replay FILE [--fast] [--match]\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && std::string_view(argv[1]) == "replay") {
        return runReplay(argc, argv);
    }
    if (argc != 2) {
        return usage();
    }
    const std::string_view name = argv[1];
    Mode mode;
    if (name == "tzv") {
        mode = Mode::Tzv;
    } else if (name == "cny") {
        mode = Mode::Cny;
    } else if (name == "coinsetting") {
        mode = Mode::CoinSetting;
    } else if (name == "hwtest") {
        mode = Mode::HardwareTest;
    } else {
        return usage();
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
    // The slave stays open here too, so the device survives the tool closing and reopening it.

    std::printf("Hopper (%s) on %s\n  start the tool with: PELLIX_COM1=%s make run\n", argv[1],
                path, path);
    if (mode == Mode::CoinSetting || mode == Mode::HardwareTest) {
        std::printf("  press Enter to switch the hopper on\n");
    }
    std::fflush(stdout);

    auto hopper = makeHopper(mode);
    pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            std::perror("poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            std::uint8_t buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                const Bytes in(buffer, buffer + n);
                dump("PC     ->", in);
                const Bytes out = hopper->receive(in);
                dump("hopper ->", out);
                writeAll(master, out);
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char line[64];
            if (!std::fgets(line, sizeof line, stdin)) {
                fds[1].fd = -1;  // no more keyboard input; keep serving the line
                continue;
            }
            const Bytes out = hopper->powerOn();
            dump("hopper ->", out);
            writeAll(master, out);
        }
    }
}
