// The service records against the real databases: a SQLite file, and a PostgreSQL server of the
// test's own (scripts/pg-test-cluster.sh, started by CTest; PELLIX_TEST_POSTGRES_STATE names it).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/recordswindow.h"
#include "fakes.h"
#include "postgrescluster.h"
#include "records/recordsreport.h"
#include "records/recordsstore.h"
#include "records/recordswriter.h"

using namespace pellix::records;

namespace {

bool cluster(const QString& state, const char* command) {
    return QProcess::execute(QStringLiteral(PELLIX_SOURCE_DIR "/scripts/pg-test-cluster.sh"),
                             {QString::fromLatin1(command), state}) == 0;
}

// A database of the backend named by the current row: a fresh SQLite file, or the server's
// database emptied of records.
struct Backend {
    QTemporaryDir dir;
    DatabaseAddress address;
    QString state;
    QString skipped;

    explicit Backend(const QString& kind) {
        if (kind == QLatin1String("sqlite")) {
            address.sqlitePath = dir.filePath(QStringLiteral("records.sqlite"));
            return;
        }
        state = pellix::test::postgresState(&skipped);
        if (state.isEmpty()) {
            return;
        }
        address = *parseDatabaseAddress(pellix::test::freshPostgresUrl(state), nullptr);
    }
    // In CI the PostgreSQL rows must run; elsewhere they skip and say why.
    bool skip() const { return !skipped.isEmpty() && pellix::test::postgresMaySkip(skipped); }
};

ServiceRun hardwareTest(const std::string& key, const std::string& started,
                        const std::string& serial) {
    ServiceRun run;
    run.key = key;
    run.startedUtc = started;
    run.endedUtc = started;
    run.bench = "bench-1";
    run.operatorName = "tech";
    run.port = "COM3";
    run.device = "/dev/ttyUSB0";
    run.outcome = Outcome::Fail;
    run.reason = "prism sensor: NG";
    run.hopper = {serial, "PX-100", "2.07", "Pellix", "B12", "EUR 1", "HW V2.07", "3A7F"};
    run.add("result prism", "NG");
    run.add("dip 1", "on");
    run.add("flash serial number written", serial);
    run.note = "bent coin in the bowl, \"cleaned\"";
    run.capture = "# Pellix kit traffic capture\n+0000.000000 OPEN COM3\n";
    return run;
}

}  // namespace

class RecordsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void backends_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgresql") << "postgresql";
    }

    // Runs are kept whole, listed newest first, narrowed by the filters, read back as written;
    // a run sent again (from the spool) is stored once.
    void runsRoundTrip_data() { backends_data(); }
    void runsRoundTrip() {
        QFETCH(QString, kind);
        Backend backend(kind);
        if (backend.skip()) {
            QSKIP(qPrintable(backend.skipped));
        }
        RecordsStore store(backend.address);
        QVERIFY2(store.open(), qPrintable(store.error()));
        const ServiceRun first = hardwareTest("run-a", "2026-12-01T08:00:00.000Z", "S1001");
        ServiceRun second = hardwareTest("run-b", "2026-12-05T09:30:00.000Z", "S1002");
        second.interface = Interface::CoinSetting;
        second.outcome = Outcome::Pass;
        second.reason.clear();
        ServiceRun third = hardwareTest("run-c", "2026-12-06T10:00:00.000Z", "S1001");
        third.capture = std::string(20 * 1024 * 1024, 'x');  // a long capture, compressed
        for (const ServiceRun& run : {first, second, third, first}) {
            QVERIFY2(store.save(run), qPrintable(store.error()));
        }

        const auto listed = [&](const std::function<void(RunFilter&)>& narrow) {
            RunFilter filter;
            narrow(filter);
            QStringList started;
            for (const RunRow& row : store.list(filter)) {
                started << row.started.left(10);
            }
            return started.join(QLatin1Char(' '));
        };
        QCOMPARE(listed([](RunFilter&) {}), QString("2026-12-06 2026-12-05 2026-12-01"));
        QCOMPARE(listed([](RunFilter& f) { f.serialNumber = "S1001"; }),
                 QString("2026-12-06 2026-12-01"));
        QCOMPARE(listed([](RunFilter& f) { f.since = "2026-12-05"; }),
                 QString("2026-12-06 2026-12-05"));
        QCOMPARE(listed([](RunFilter& f) { f.until = "2026-12-05"; }), QString("2026-12-01"));
        QCOMPARE(listed([](RunFilter& f) { f.interface = Interface::CoinSetting; }),
                 QString("2026-12-05"));
        QCOMPARE(listed([](RunFilter& f) {
                     f.outcome = Outcome::Fail;
                     f.limit = 1;
                 }),
                 QString("2026-12-06"));

        const std::vector<RunRow> all = store.list({});
        QCOMPARE(*store.run(all.back().id), first);
        const qint64 newest = all.front().id;
        QCOMPARE(store.run(newest)->capture.size(), third.capture.size());
    }

    // A database from a newer program is refused with nothing changed.
    void newerSchemaIsRefused_data() { backends_data(); }
    void newerSchemaIsRefused() {
        QFETCH(QString, kind);
        Backend backend(kind);
        if (backend.skip()) {
            QSKIP(qPrintable(backend.skipped));
        }
        RecordsStore first(backend.address);
        QVERIFY2(first.open(), qPrintable(first.error()));
        QVERIFY(QSqlQuery(first.database())
                    .exec(QStringLiteral("UPDATE pellix_schema SET version = 99")));
        RecordsStore store(backend.address);
        QVERIFY(!store.open());
        QVERIFY2(store.error().contains(QStringLiteral("newer than this program's")),
                 qPrintable(store.error()));
        QVERIFY(!store.save(hardwareTest("run-x", "2026-12-07T00:00:00.000Z", "S9")));
        QSqlQuery version(first.database());
        QVERIFY(version.exec(QStringLiteral("SELECT version FROM pellix_schema")) &&
                version.next());
        QCOMPARE(version.value(0).toInt(), 99);
    }

    // The database cannot take a run (its server stopped, another writer holding the file):
    // the run goes to the spool, the technician is told once, and when the database is back the
    // spooled runs arrive once each, none twice.
    void spooledRunsArriveOnce_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("fault");
        QTest::newRow("sqlite held by another writer") << "sqlite"
                                                       << "held";
        QTest::newRow("sqlite read-only file") << "sqlite"
                                               << "read-only";
        QTest::newRow("postgresql server stopped") << "postgresql"
                                                   << "stopped";
    }
    void spooledRunsArriveOnce() {
        QFETCH(QString, kind);
        QFETCH(QString, fault);
        Backend backend(kind);
        if (backend.skip()) {
            QSKIP(qPrintable(backend.skipped));
        }
        RecordsStore holder(backend.address);
        QVERIFY2(holder.open(), qPrintable(holder.error()));
        // Immutable: even root cannot write it (permission bits do not stop root).
        const auto immutable = [&](bool on) {
            return QProcess::execute(QStringLiteral("chattr"),
                                     {on ? QStringLiteral("+i") : QStringLiteral("-i"),
                                      backend.address.sqlitePath}) == 0;
        };
        if (fault == QLatin1String("stopped")) {
            QVERIFY(cluster(backend.state, "pause"));
        } else if (fault == QLatin1String("held")) {
            QVERIFY(QSqlQuery(holder.database()).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        } else {
            holder.database().close();
            if (!immutable(true)) {
                QSKIP("chattr +i is not allowed here (no CAP_LINUX_IMMUTABLE)");
            }
        }
        const QString spool = backend.dir.filePath(QStringLiteral("spool"));
        RecordsWriter writer(backend.address, spool, 200);
        QSignalSpy trouble(&writer, &RecordsWriter::trouble);
        QSignalSpy caughtUp(&writer, &RecordsWriter::caughtUp);
        QSignalSpy handled(&writer, &RecordsWriter::handled);
        for (const char* key : {"run-1", "run-2"}) {
            writer.record(hardwareTest(key, "2026-12-08T07:00:00.000Z", "S7"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(handled.size(), 2, 20000);
        QCOMPARE(trouble.size(), 1);
        QVERIFY2(trouble.front().front().toString().contains(QDir::toNativeSeparators(spool)),
                 qPrintable(trouble.front().front().toString()));
        QCOMPARE(RecordsSpool(spool).files().size(), 2);

        if (fault == QLatin1String("stopped")) {
            QVERIFY(cluster(backend.state, "resume"));
        } else if (fault == QLatin1String("held")) {
            QVERIFY(QSqlQuery(holder.database()).exec(QStringLiteral("ROLLBACK")));
        } else {
            QVERIFY(immutable(false));
        }
        QTRY_COMPARE_WITH_TIMEOUT(caughtUp.size(), 1, 20000);
        QVERIFY(RecordsSpool(spool).files().isEmpty());
        RecordsStore look(backend.address);
        QVERIFY2(look.open(), qPrintable(look.error()));
        QCOMPARE(look.list({}).size(), std::size_t{2});
        QCOMPARE(trouble.size(), 1);
    }

    // The Service Records window over a SQLite file: filters, a hopper's history, a note kept,
    // and the exports of what it lists.
    void recordsWindowWalk() {
        QTemporaryDir dir;
        DatabaseAddress address;
        address.sqlitePath = dir.filePath(QStringLiteral("records.sqlite"));
        RecordsStore store(address);
        ServiceRun passed = hardwareTest("w-2", "2026-12-02T08:00:00.000Z", "S1");
        passed.outcome = Outcome::Pass;
        for (const ServiceRun& run : {hardwareTest("w-1", "2026-12-01T08:00:00.000Z", "S1"), passed,
                                      hardwareTest("w-3", "2026-12-03T08:00:00.000Z", "S2")}) {
            QVERIFY2(store.save(run), qPrintable(store.error()));
        }
        pellix::test::ScriptedFileDialogs dialogs;
        pellix::RecordsWindow window(address, dialogs);
        const auto field = [&](const char* name) {
            return window.findChild<QLineEdit*>(QLatin1String(name));
        };
        QCOMPARE(window.model().rowCount(), 3);
        field("serial")->setText(QStringLiteral("S1"));
        window.refresh();
        QCOMPARE(window.model().rowCount(), 2);
        auto* outcome = window.findChild<QComboBox*>(QStringLiteral("outcome"));
        outcome->setCurrentIndex(outcome->findText(QStringLiteral("pass")));
        QCOMPARE(window.model().rowCount(), 1);
        outcome->setCurrentIndex(0);
        field("serial")->clear();
        window.refresh();
        QCOMPARE(window.model().index(0, 4).data().toString(), QString("S2"));  // newest first
        window.findChild<QPushButton*>(QStringLiteral("history"))->click();
        QCOMPARE(window.model().rowCount(), 1);
        window.findChild<QPlainTextEdit*>(QStringLiteral("note"))->setPlainText("new brushes");
        window.findChild<QPushButton*>(QStringLiteral("saveNote"))->click();
        QCOMPARE(store.run(window.selectedRun())->note, std::string("new brushes"));

        dialogs.m_answer = dir.filePath(QStringLiteral("runs.csv"));
        window.findChild<QPushButton*>(QStringLiteral("csv"))->click();
        QFile csv(dialogs.m_answer);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), 2);  // the header and the one listed run
        dialogs.m_answer = dir.filePath(QStringLiteral("run.pdf"));
        window.findChild<QPushButton*>(QStringLiteral("report"))->click();
        QVERIFY(QFile(dialogs.m_answer).size() > 1000);
    }

    // The exports hold what the store holds: CSV with its quoting, a PDF report that reads as
    // the run's service document.
    void exports() {
        QTemporaryDir dir;
        ServiceRun run = hardwareTest("run-e", "2026-12-08T10:00:00.000Z", "S4242");
        RunRow row{7,      "2026-12-08T10:00:00.000Z", "hardware test", "COM3", "S4242",
                   "fail", "prism, shaft: NG",         "bench-1",       "tech"};
        QCOMPARE(runsCsv({row}).split(QStringLiteral("\r\n")).value(1),
                 QString("7,2026-12-08T10:00:00.000Z,hardware test,COM3,S4242,fail,"
                         "\"prism, shaft: NG\",bench-1,tech"));
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        QCOMPARE(writeServiceReport(run, 7, pdf), QString());
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, "-"});
        if (!text.waitForFinished(10000) || text.exitCode() != 0) {
            QSKIP("pdftotext is not installed (poppler-utils)");
        }
        const QString shown = QString::fromUtf8(text.readAllStandardOutput());
        for (const char* expected :
             {"Pellix hopper service report", "S4242", "PX-100", "prism sensor: NG", "result prism",
              "bench-1", "tech", "bent coin in the bowl", "COM3 (/dev/ttyUSB0)"}) {
            QVERIFY2(shown.contains(QLatin1String(expected)), expected);
        }
        QCOMPARE(writeServiceReport(run, 7, dir.filePath(QStringLiteral("none/r.pdf"))).isEmpty(),
                 false);
    }
};

QTEST_MAIN(RecordsTest)
#include "test_records.moc"
