// Shared by the benchmarks that compare the tool with the floor program: both run as child
// processes on their own pseudo-terminals, so process CPU time and peak memory come from the
// kernel (wait4) for each, and both see the same load because they run in the same session.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace pellix::bench {

// A pseudo-terminal pair in raw mode; the child opens `name`, the benchmark plays the other end
// on `master`. The slave side stays open here so the master never reads end-of-file meanwhile.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string name;

    bool open() {
        char path[256] = {};
        if (::openpty(&master, &slave, path, nullptr, nullptr) != 0) {
            return false;
        }
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        name = path;
        return true;
    }
    ~Pty() {
        if (master >= 0) {
            ::close(master);
            ::close(slave);
        }
    }
};

struct Usage {
    double cpuSeconds = 0;  // user + system, whole life of the process
    long peakKb = 0;
};

// Resident set of a process now ("self" or a pid), in kB, from /proc.
inline long rssKb(const std::string& process) {
    std::ifstream status("/proc/" + process + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return 0;
}

inline double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// A child started with `args`; its standard output is read for the line "ready <cpu us>" it
// prints once it is listening (the CPU time it spent getting there).
class Child {
  public:
    bool start(const std::vector<std::string>& args) {
        int out[2];
        if (::pipe(out) != 0) {
            return false;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv;
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        ::close(out[1]);
        m_out = ::fdopen(out[0], "r");
        return m_pid > 0;
    }
    // CPU seconds spent before it was ready; negative when it never got there.
    double awaitReady() {
        char line[128] = {};
        while (m_out && std::fgets(line, sizeof line, m_out)) {
            long long us = 0;
            if (std::sscanf(line, "ready %lld", &us) == 1) {
                return static_cast<double>(us) / 1e6;
            }
        }
        return -1;
    }
    pid_t pid() const { return m_pid; }
    // Resident set now, from /proc.
    long rssKb() const { return bench::rssKb(std::to_string(m_pid)); }
    // Ends the child and returns what it used over its whole life.
    Usage stop() {
        Usage usage;
        if (m_pid <= 0) {
            return usage;
        }
        ::kill(m_pid, SIGTERM);
        int status = 0;
        rusage r{};
        ::wait4(m_pid, &status, 0, &r);
        m_pid = -1;
        if (m_out) {
            std::fclose(m_out);
            m_out = nullptr;
        }
        usage.cpuSeconds = seconds(r.ru_utime) + seconds(r.ru_stime);
        usage.peakKb = r.ru_maxrss;
        return usage;
    }
    ~Child() { stop(); }

  private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
};

// Where the floor program is built: beside the benchmarks, one folder down so that running every
// benchmark does not run it on its own.
inline std::string floorProgram(const char* argv0) {
    std::string self = argv0;
    const auto slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) +
           "/floor/pellix_floor";
}

inline std::string selfProgram() {
    char path[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

// CPU time this process has used so far, for the "ready" line.
inline long long cpuMicros() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return static_cast<long long>((seconds(r.ru_utime) + seconds(r.ru_stime)) * 1e6);
}

inline void announceReady() {
    std::printf("ready %lld\n", cpuMicros());
    std::fflush(stdout);
}

inline double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace pellix::bench
