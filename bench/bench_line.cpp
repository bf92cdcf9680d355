// pellix-line at scale: one runner process serving 1, 8 and 32 emulated hardware test hoppers at
// once, several hoppers per position. Measures how long each hopper's prompt waits for its 60
// (from the write of the chunk that ends with the prompt to the read of the answer, both seen at
// the hoppers' end), the runner's CPU time per hopper and its peak resident set.
//   bench_line [ROUNDS]   (default 6 hoppers per position)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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

Figures run(int ports, int rounds, int staggerMs) {
    QTemporaryDir dir;
    Figures figures;
    QElapsedTimer clock;
    clock.start();
    std::map<int, qint64> promptSent;  // by position
    std::map<int, int> answered;       // by position
    FleetPlan plan;
    plan.count = ports;
    plan.linkDir = dir.path();
    plan.nextHopperMs = 300;
    plan.staggerMs = staggerMs;
    Fleet fleet(
        plan, [](const QString&) {}, false);
    // The traffic tells when each prompt went out and when its answer came in.
    fleet.setObserver([&](int position, bool fromPc, const Bytes& bytes) {
        if (!fromPc && !bytes.empty() && bytes.back() == 0x3C) {
            promptSent[position] = clock.nsecsElapsed();
        } else if (fromPc && std::find(bytes.begin(), bytes.end(), 0x60) != bytes.end() &&
                   promptSent.count(position)) {
            const double ms =
                static_cast<double>(clock.nsecsElapsed() - promptSent[position]) / 1e6;
            if (answered[position]++ == 0) {
                figures.firstMaxMs = std::max(figures.firstMaxMs, ms);
            } else {
                figures.latenciesMs.push_back(ms);
            }
            promptSent.erase(position);
        }
    });
    QString error;
    if (!fleet.start(error)) {
        std::fprintf(stderr, "bench_line: %s\n", qPrintable(error));
        std::exit(1);
    }
    QStringList list;
    for (int n = 1; n <= ports; ++n) {
        list << dir.filePath(QStringLiteral("hwtest%1").arg(n));
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
         QStringLiteral("--hoppers"), QString::number(rounds), QStringLiteral("--database"),
         dir.filePath(QStringLiteral("records.sqlite"))});
    QObject::connect(&runner, &QProcess::finished, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    runner.waitForFinished();
    figures.hoppers = ports * rounds;
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
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
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
            // One port gets as many hoppers as 32 do, for a steady figure to compare with.
            const Figures f =
                run(ports, ports == 1 ? rounds * 16 : rounds, together ? 0 : 320 / ports);
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
