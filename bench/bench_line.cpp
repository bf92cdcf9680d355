// pellix-line at scale: one runner process serving 1, 8 and 32 emulated hardware test hoppers at
// once, many hoppers per position. Measures how long a probe hopper's prompt waits for its 60
// (from the write of the chunk that ends with the prompt to the read of the answer, seen at the
// hopper's end) while the other positions are busy, the runner's own answer time from its
// captures, its CPU time per hopper and its peak resident set.
//   bench_line [HOPPERS]   (default 60 hoppers per position)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "fleet.h"
#include "records/recordsstore.h"

using namespace pellix::emulator;

namespace {

struct Figures {
    std::vector<double> latenciesMs;  // from each position's second hopper on
    double firstMaxMs = 0;         // the first hoppers, answered while the runner opens its ports
    std::vector<double> runnerMs;  // the same answers as the runner's own capture times them
    double cpuMsPerHopper = 0;
    double peakRssMb = 0;
    int hoppers = 0;
};

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

double childCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// From the read of the chunk that ends with the prompt to the write of the 60, in each recorded
// run's capture: what the runner itself takes, without the operating system's wake-ups.
std::vector<double> runnerAnswerTimes(const QString& database) {
    std::vector<double> out;
    pellix::records::RecordsStore store(*pellix::records::parseDatabaseAddress(database, nullptr));
    if (!store.open()) {
        return out;
    }
    const QRegularExpression event(QStringLiteral("^\\+(\\d+\\.\\d+) (RX|TX) ([0-9A-F ]+)"));
    for (const auto& row : store.list({})) {
        double prompt = -1;
        for (const QString& line : QString::fromStdString(store.run(row.id)->capture).split('\n')) {
            const auto m = event.match(line);
            if (!m.hasMatch()) {
                continue;
            }
            const QString bytes = m.captured(3).trimmed();
            if (m.captured(2) == QLatin1String("RX") && bytes.endsWith(QLatin1String("3C"))) {
                prompt = m.captured(1).toDouble();
            } else if (m.captured(2) == QLatin1String("TX") && bytes == QLatin1String("60") &&
                       prompt >= 0) {
                out.push_back((m.captured(1).toDouble() - prompt) * 1000.0);
                break;
            }
        }
    }
    return out;
}

// One probe hopper served in this process, where nothing else delays its clock, and `ports - 1`
// hoppers served by an emulator process beside it as the load; all on one runner.
Figures run(int ports, int hoppers, int staggerMs) {
    QTemporaryDir dir;
    Figures figures;
    QElapsedTimer clock;
    clock.start();
    qint64 promptSent = -1;
    int answered = 0;
    FleetPlan plan;
    plan.count = 1;
    plan.linkDir = dir.filePath(QStringLiteral("probe"));
    plan.nextHopperMs = 300;
    Fleet probe(
        plan, [](const QString&) {}, false);
    // The traffic tells when each prompt went out and when its answer came in.
    probe.setObserver([&](int, bool fromPc, const Bytes& bytes) {
        if (!fromPc && !bytes.empty() && bytes.back() == 0x3C) {
            promptSent = clock.nsecsElapsed();
        } else if (fromPc && std::find(bytes.begin(), bytes.end(), 0x60) != bytes.end() &&
                   promptSent >= 0) {
            const double ms = static_cast<double>(clock.nsecsElapsed() - promptSent) / 1e6;
            if (answered++ == 0) {
                figures.firstMaxMs = ms;
            } else {
                figures.latenciesMs.push_back(ms);
            }
            promptSent = -1;
        }
    });
    QString error;
    if (!probe.start(error)) {
        std::fprintf(stderr, "bench_line: %s\n", qPrintable(error));
        std::exit(1);
    }
    QStringList list{dir.filePath(QStringLiteral("probe/hwtest1"))};
    QProcess load;
    if (ports > 1) {
        load.start(
            QDir(QCoreApplication::applicationDirPath())
                .filePath(QStringLiteral("../bin/pellix-hopper-emulator")),
            {QStringLiteral("--count"), QString::number(ports - 1), QStringLiteral("--link-dir"),
             dir.filePath(QStringLiteral("load")), QStringLiteral("--quiet"),
             QStringLiteral("--next-hopper"), QStringLiteral("300"), QStringLiteral("--stagger"),
             QString::number(staggerMs), QStringLiteral("hwtest")});
        const QString last = dir.filePath(QStringLiteral("load/hwtest%1").arg(ports - 1));
        while (!QFileInfo::exists(last) && load.state() != QProcess::NotRunning) {
            load.waitForReadyRead(100);
        }
        for (int n = 1; n < ports; ++n) {
            list << dir.filePath(QStringLiteral("load/hwtest%1").arg(n));
        }
    }
    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    runner.setProcessEnvironment(env);
    runner.setStandardOutputFile(QProcess::nullDevice());
    const double cpuBefore = childCpuMs();
    runner.start(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/pellix-line")),
        {QStringLiteral("hwtest"), QStringLiteral("--ports"), list.join(QLatin1Char(',')),
         QStringLiteral("--hoppers"), QString::number(hoppers), QStringLiteral("--database"),
         dir.filePath(QStringLiteral("records.sqlite"))});
    QObject::connect(&runner, &QProcess::finished, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    runner.waitForFinished();
    load.terminate();
    load.waitForFinished();
    figures.hoppers = ports * hoppers;
    figures.cpuMsPerHopper = (childCpuMs() - cpuBefore) / figures.hoppers;
    figures.runnerMs = runnerAnswerTimes(dir.filePath(QStringLiteral("records.sqlite")));
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    figures.peakRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return figures;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
    // Hoppers plugged in one after another (spread over one hopper's cycle), as on a line, and
    // the worst case: every hopper switched on in the same instant.
    std::printf(
        "ports plugged       hoppers  prompt->60 median  p95     max   vs 1 port  "
        "CPU/hopper  peak RSS\n");
    double single = 0;
    for (const bool together : {false, true}) {
        for (int ports : {1, 8, 32}) {
            if (together && ports == 1) {
                continue;
            }
            const Figures f = run(ports, rounds, together ? 0 : 320 / ports);
            const double median = percentile(f.latenciesMs, 0.5);
            if (ports == 1) {
                single = median;
            }
            std::printf(
                "%5d %-13s %7d  %14.2f ms %6.2f %7.2f %8.2fx %8.2f ms %7.1f MB %8.2f ms "
                "%8.3f ms %6.3f\n",
                ports, together ? "all at once" : "one by one", f.hoppers, median,
                percentile(f.latenciesMs, 0.95), percentile(f.latenciesMs, 1.0),
                single > 0 ? median / single : 0.0, f.cpuMsPerHopper, f.peakRssMb, f.firstMaxMs,
                percentile(f.runnerMs, 0.5), percentile(f.runnerMs, 1.0));
        }
    }
    return 0;
}
