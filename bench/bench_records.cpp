// Lists and filters 100,000 service runs, the way the Records window and --records do, on a
// SQLite file and on a PostgreSQL server of the benchmark's own (scripts/pg-test-cluster.sh;
// left out with a message where no server is installed). Goal: every listing under 100 ms.
// Exit 1 when one misses it.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "records/recordsstore.h"

using namespace pellix::records;

namespace {

constexpr int kRuns = 100'000;
constexpr double kGoalMs = 100;

// 100,000 runs over ten years of 2,000 hoppers, a tenth failing, in one transaction.
bool fill(RecordsStore& store) {
    QSqlDatabase db = store.database();
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO runs (run_key, started_utc, ended_utc, bench, operator_name, interface, port, "
        "device, outcome, reason, serial_number, hopper_id, note, capture) VALUES (?, ?, ?, "
        "'bench-1', 'tech', ?, 'COM3', '/dev/ttyUSB0', ?, '', ?, NULL, '', NULL)"));
    QVariantList keys, starts, interfaces, outcomes, serials;
    for (int i = 0; i < kRuns; ++i) {
        const QString started = QStringLiteral("%1-%2-%3T08:%4:00.000Z")
                                    .arg(2017 + i / 10'000)
                                    .arg(1 + (i / 800) % 12, 2, 10, QLatin1Char('0'))
                                    .arg(1 + (i / 30) % 28, 2, 10, QLatin1Char('0'))
                                    .arg(i % 60, 2, 10, QLatin1Char('0'));
        keys << QStringLiteral("k%1").arg(i);
        starts << started;
        interfaces << (i % 4 == 0 ? QStringLiteral("coin number setting")
                                  : QStringLiteral("hardware test"));
        outcomes << (i % 10 == 0 ? QStringLiteral("fail") : QStringLiteral("pass"));
        serials << QStringLiteral("S%1").arg(i % 2000, 6, 10, QLatin1Char('0'));
    }
    insert.addBindValue(keys);
    insert.addBindValue(starts);
    insert.addBindValue(starts);
    insert.addBindValue(interfaces);
    insert.addBindValue(outcomes);
    insert.addBindValue(serials);
    return insert.execBatch() && db.commit();
}

bool measure(const char* backend, RecordsStore& store) {
    struct Case {
        const char* name;
        std::function<void(RunFilter&)> narrow;
    };
    const std::vector<Case> cases{
        {"newest 1,000", [](RunFilter&) {}},
        {"one hopper's history", [](RunFilter& f) { f.serialNumber = "S000042"; }},
        {"one month",
         [](RunFilter& f) {
             f.since = "2023-03-01";
             f.until = "2023-04-01";
         }},
        {"failed hardware tests",
         [](RunFilter& f) {
             f.outcome = Outcome::Fail;
             f.interface = Interface::HardwareTest;
         }},
    };
    bool met = true;
    for (const Case& c : cases) {
        RunFilter filter;
        c.narrow(filter);
        std::vector<double> times;
        std::size_t rows = 0;
        for (int round = 0; round < 7; ++round) {
            QElapsedTimer timer;
            timer.start();
            rows = store.list(filter).size();
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        met = met && times.back() < kGoalMs;
        std::printf("  %-10s %-22s %5zu rows  median %6.2f ms  worst %6.2f ms\n", backend, c.name,
                    rows, median, times.back());
    }
    return met;
}

bool run(const char* backend, const DatabaseAddress& address) {
    RecordsStore store(address);
    if (!store.open() || !fill(store)) {
        std::printf("  %s: cannot set up: %s\n", backend, qPrintable(store.error()));
        return false;
    }
    return measure(backend, store);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::printf("listing %d service runs (goal: each under %.0f ms)\n", kRuns, kGoalMs);
    QTemporaryDir dir;
    DatabaseAddress sqlite;
    sqlite.sqlitePath = dir.filePath(QStringLiteral("records.sqlite"));
    bool met = run("SQLite", sqlite);

    const QString script = QStringLiteral(PELLIX_SOURCE_DIR "/scripts/pg-test-cluster.sh");
    const QString state = dir.filePath(QStringLiteral("postgres"));
    QProcess::execute(script, {QStringLiteral("start"), state});
    QFile url(state + QStringLiteral("/url"));
    if (url.open(QIODevice::ReadOnly)) {
        met = run("PostgreSQL",
                  *parseDatabaseAddress(QString::fromUtf8(url.readAll()).trimmed(), nullptr)) &&
              met;
    } else {
        std::printf("  PostgreSQL left out: no server here\n");
    }
    QProcess::execute(script, {QStringLiteral("stop"), state});
    std::printf(met ? "met\n" : "MISSED: a listing took 100 ms or more\n");
    return met ? 0 : 1;
}
