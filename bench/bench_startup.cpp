// How long the real program takes to show its launcher from a cold start, and what it holds then,
// beside the floor program showing one window, both started afresh in turn on the same X display.
//
// A run starts the program with an empty settings folder and waits for the X server to report
// its first top-level window mapped, then reads the process's CPU time and resident set, lets it
// settle for 300 ms, reads the resident set again and ends it. Runs of the tool and of the floor
// alternate, so load on the machine falls on both alike. Without a DISPLAY the benchmark starts
// its own Xvfb.
//
//   bench_startup [runs]      (default 10 of each)
//
// Prints the medians (wall time to the first window, CPU time by then, resident set after
// settling) and the tool over the floor for each. Exits 1 when a program shows no window.
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "benchchild.h"

namespace {

using namespace pellix;
using Clock = std::chrono::steady_clock;

constexpr double kTargetOverFloor = 1.3;
constexpr auto kSettle = std::chrono::milliseconds(300);
constexpr int kWindowTimeoutMs = 20000;

struct Run {
    double wallMs = -1;  // start to first window mapped; negative when none came
    double cpuMs = 0;    // the process's CPU time by then, every thread
    long rssKb = 0;      // resident set after settling
};

// CPU time of every thread of a process so far, from the scheduler's own count.
double cpuMsOf(pid_t pid) {
    namespace fs = std::filesystem;
    double ns = 0;
    std::error_code error;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double onCpu = 0;
        if (schedstat >> onCpu) {
            ns += onCpu;
        }
    }
    return ns / 1e6;
}

// Waits for a MapNotify of a top-level window on the display's root.
bool awaitMappedWindow(Display* display, Clock::time_point deadline) {
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    while (Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify) {
                return true;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        ::poll(&fd, 1, static_cast<int>(std::max<long long>(1, left.count())));
    }
    return false;
}

Run runOnce(Display* display, const std::vector<std::string>& args) {
    Run run;
    // A first start every time: nothing remembered from the run before.
    const std::filesystem::path config =
        std::filesystem::temp_directory_path() / ("bench_startup." + std::to_string(::getpid()));
    std::filesystem::remove_all(config);
    std::filesystem::create_directories(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    XSync(display, True);  // forget events of the run before
    bench::Child child;
    const auto start = Clock::now();
    if (!child.start(args)) {
        return run;
    }
    if (awaitMappedWindow(display, start + std::chrono::milliseconds(kWindowTimeoutMs))) {
        run.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        run.cpuMs = cpuMsOf(child.pid());
        std::this_thread::sleep_for(kSettle);
        run.rssKb = child.rssKb();
    }
    child.stop();
    std::filesystem::remove_all(config);
    return run;
}

// The display to measure on: the caller's, or a virtual one started here.
struct TestDisplay {
    bench::Child server;
    Display* display = nullptr;

    bool open() {
        if (const char* name = std::getenv("DISPLAY"); name != nullptr && *name != '\0') {
            display = XOpenDisplay(name);
            return display != nullptr;
        }
        const std::string name = ":" + std::to_string(200 + ::getpid() % 500);
        if (!server.start(
                {"/usr/bin/Xvfb", name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"})) {
            return false;
        }
        for (int attempt = 0; attempt < 100 && display == nullptr; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            display = XOpenDisplay(name.c_str());
        }
        ::setenv("DISPLAY", name.c_str(), 1);
        return display != nullptr;
    }
    ~TestDisplay() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    TestDisplay screen;
    if (!screen.open()) {
        std::fprintf(stderr, "no X display (and no Xvfb to start one)\n");
        return 1;
    }
    XSelectInput(screen.display, DefaultRootWindow(screen.display), SubstructureNotifyMask);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    const std::filesystem::path runtime =
        std::filesystem::temp_directory_path() / ("bench_startup_rt." + std::to_string(::getpid()));
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    const std::vector<std::string> tool{PELLIX_BENCH_KIT};
    const std::vector<std::string> floor{bench::floorProgram(argv[0]), "window"};
    std::vector<double> wall[2], cpu[2], rss[2];
    for (int i = 0; i < runs; ++i) {
        for (int which = 0; which < 2; ++which) {
            const Run run = runOnce(screen.display, which == 0 ? tool : floor);
            if (run.wallMs < 0) {
                std::fprintf(stderr, "%s showed no window\n",
                             which == 0 ? "the tool" : "the floor");
                std::filesystem::remove_all(runtime);
                return 1;
            }
            wall[which].push_back(run.wallMs);
            cpu[which].push_back(run.cpuMs);
            rss[which].push_back(static_cast<double>(run.rssKb));
        }
    }
    std::filesystem::remove_all(runtime);

    std::printf("start-up to the first window, %d cold starts each, medians (tool | floor)\n",
                runs);
    bool missed = false;
    const auto line = [&](const char* what, const char* unit, std::vector<double>* values) {
        const double t = bench::percentile(values[0], 0.5);
        const double f = bench::percentile(values[1], 0.5);
        const double ratio = t / std::max(f, 1e-9);
        std::printf("  %-13s %8.1f | %8.1f %-3s  over floor %.2f (goal <= %.1f)\n", what, t, f,
                    unit, ratio, kTargetOverFloor);
        missed = missed || ratio > kTargetOverFloor;
    };
    line("wall time", "ms", wall);
    line("CPU time", "ms", cpu);
    line("resident set", "KiB", rss);
    if (missed) {
        std::printf("MISSED: start-up over %.1fx the floor's\n", kTargetOverFloor);
    }
    return 0;
}
