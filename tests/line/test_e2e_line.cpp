// pellix-line through the real executables: an emulator fleet on pseudo-terminals, the runner
// writing to a real records database, its terminal table on a pty, its JSON, its signals.
#include <QtTest>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include "postgrescluster.h"
#include "ptypair.h"
#include "records/recordsstore.h"

using namespace pellix;

namespace {

QString program(const char* name) {
    return QDir(qEnvironmentVariable("PELLIX_RUNTIME_DIR")).filePath(QLatin1String(name));
}

// A fleet of emulated hoppers, offered as DIR/<interface>1 ... DIR/<interface>N.
struct Fleet {
    Fleet(const QString& dir, int count, const QStringList& extra) : dir(dir) {
        const QString interface = extra.last();  // the interface comes last
        process.setProgram(program("pellix-hopper-emulator"));
        process.setArguments(QStringList{QStringLiteral("--count"), QString::number(count),
                                         QStringLiteral("--link-dir"), dir,
                                         QStringLiteral("--quiet")} +
                             extra);
        process.start();
        last = QDir(dir).filePath(interface + QString::number(count));
    }
    ~Fleet() {
        process.terminate();
        process.waitForFinished(5000);
    }
    bool ready() {
        return QTest::qWaitFor([&] { return QFileInfo::exists(last); }, 10000);
    }
    QString ports(int count, const QString& interface = QStringLiteral("hwtest")) const {
        QStringList list;
        for (int n = 1; n <= count; ++n) {
            list << QDir(dir).filePath(interface + QString::number(n));
        }
        return list.join(QLatin1Char(','));
    }

    QString dir;
    QString last;
    QProcess process;
};

// The runner with its records, settings and spool in `dir`.
struct Runner {
    Runner(const QString& dir, const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir);
        env.remove(QStringLiteral("PELLIX_DATABASE"));
        process.setProcessEnvironment(env);
        process.setProgram(program("pellix-line"));
        process.setArguments(arguments);
    }
    // The JSON events so far, read from the runner's output.
    QList<QJsonObject> events() {
        buffer += process.readAllStandardOutput();
        QList<QJsonObject> out;
        for (const QByteArray& line : buffer.split('\n')) {
            if (!line.isEmpty()) {
                out << QJsonDocument::fromJson(line).object();
            }
        }
        return out;
    }
    QList<QJsonObject> finished() {
        QList<QJsonObject> out;
        for (const QJsonObject& e : events()) {
            if (e.value(QStringLiteral("event")).toString() == QLatin1String("finished")) {
                out << e;
            }
        }
        return out;
    }
    void interrupt() { ::kill(static_cast<pid_t>(process.processId()), SIGINT); }

    QProcess process;
    QByteArray buffer;
};

QString flashTemplate(const QString& dir, const QByteArray& text) {
    const QString path = QDir(dir).filePath(QStringLiteral("order.ini"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}

const QByteArray kOrder = "ProductCode = PX-410\nManufacturerId = PELLIX\nCompanyMode = TZV\n";

std::map<std::string, std::string> valuesOf(const records::ServiceRun& run) {
    return {run.values.begin(), run.values.end()};
}

}  // namespace

class TestE2eLine : public QObject {
    Q_OBJECT
  private slots:
    // Sixteen hoppers at once with mixed outcomes: every run recorded once with its results; the
    // one unplugged in the middle is incomplete and its position goes on with the next hopper;
    // the write that is not kept fails its verify, and its serial number is never handed out
    // again.
    void fleetOfSixteen() {
        QTemporaryDir dir;
        Fleet fleet(
            dir.path(), 16,
            {QStringLiteral("--results"), QStringLiteral("PPPPPP,PPPPPP,PPFPPP,PPPPPP"),
             QStringLiteral("--fault"), QStringLiteral("6=nostore"), QStringLiteral("--fault"),
             QStringLiteral("5=unplug"), QStringLiteral("--fault"), QStringLiteral("9=slow"),
             QStringLiteral("hwtest")});
        QVERIFY(fleet.ready());
        const QString database = dir.filePath(QStringLiteral("records.sqlite"));
        Runner runner(dir.path(),
                      {QStringLiteral("hwtest"), QStringLiteral("--ports"), fleet.ports(16),
                       QStringLiteral("--write-flash"), flashTemplate(dir.path(), kOrder),
                       QStringLiteral("--serial-from"), QStringLiteral("500"),
                       QStringLiteral("--database"), database, QStringLiteral("--json")});
        runner.process.start();
        QVERIFY2(QTest::qWaitFor([&] { return runner.finished().size() >= 17; }, 60000),
                 runner.buffer.constData());
        runner.interrupt();
        QVERIFY(runner.process.waitForFinished(10000));
        QCOMPARE(runner.process.exitCode(), 1);  // not every hopper passed

        records::RecordsStore store(*records::parseDatabaseAddress(database, nullptr));
        QVERIFY(store.open());
        const auto rows = store.list({});
        QCOMPARE(rows.size(), std::size_t(17));
        std::map<QString, QStringList> outcomes;  // by position
        QSet<QString> written;
        for (const records::RunRow& row : rows) {
            const records::ServiceRun run = *store.run(row.id);
            const auto values = valuesOf(run);
            const QString position = QFileInfo(row.port).fileName();
            outcomes[position].prepend(row.outcome);
            if (values.count("flash serial number written")) {
                const QString serial =
                    QString::fromStdString(values.at("flash serial number written"));
                QVERIFY2(!written.contains(serial), qPrintable(serial));
                QVERIFY(serial.toInt() >= 500);
                written.insert(serial);
            }
            const bool motorStopNG =
                position == QLatin1String("hwtest3") || position == QLatin1String("hwtest7") ||
                position == QLatin1String("hwtest11") || position == QLatin1String("hwtest15");
            if (row.outcome != QLatin1String("incomplete")) {
                QCOMPARE(values.at("result Motor Stop"), std::string(motorStopNG ? "NG" : "OK"));
            }
            if (position == QLatin1String("hwtest6")) {
                QVERIFY(row.reason.startsWith(QLatin1String("flash read back differs")));
            }
        }
        QCOMPARE(outcomes[QStringLiteral("hwtest5")],
                 (QStringList{QStringLiteral("incomplete"), QStringLiteral("pass")}));
        QCOMPARE(outcomes[QStringLiteral("hwtest9")], QStringList{QStringLiteral("pass")});
        QCOMPARE(outcomes[QStringLiteral("hwtest7")], QStringList{QStringLiteral("fail")});
        QCOMPARE(outcomes[QStringLiteral("hwtest6")], QStringList{QStringLiteral("fail")});
        QCOMPARE(written.size(), 16);  // the unplugged hopper never got as far as a write
        // The JSON says the same: every finished hopper has its serial number and result.
        for (const QJsonObject& e : runner.finished()) {
            QVERIFY(e.contains(QStringLiteral("port")) && e.contains(QStringLiteral("result")));
        }
    }

    // Two benches on one PostgreSQL database write flash records at once: no serial number twice,
    // no run lost.
    void twoBenchesOnePostgres() {
        QString why;
        const QString state = test::postgresState(&why);
        if (state.isEmpty() && test::postgresMaySkip(why)) {
            QSKIP(qPrintable(why));
        }
        const QString url = test::freshPostgresUrl(state);
        QTemporaryDir a;
        QTemporaryDir b;
        const QStringList fleetArgs{QStringLiteral("--next-hopper"), QStringLiteral("1500"),
                                    QStringLiteral("hwtest")};
        Fleet fleetA(a.path(), 4, fleetArgs);
        Fleet fleetB(b.path(), 4, fleetArgs);
        QVERIFY(fleetA.ready() && fleetB.ready());
        const auto runnerArgs = [&](const Fleet& fleet, const QString& dir) {
            return QStringList{QStringLiteral("hwtest"),
                               QStringLiteral("--ports"),
                               fleet.ports(4),
                               QStringLiteral("--write-flash"),
                               flashTemplate(dir, kOrder),
                               QStringLiteral("--database"),
                               url,
                               QStringLiteral("--hoppers"),
                               QStringLiteral("3"),
                               QStringLiteral("--json")};
        };
        Runner first(a.path(), runnerArgs(fleetA, a.path()));
        Runner second(b.path(), runnerArgs(fleetB, b.path()));
        first.process.start();
        second.process.start();
        QVERIFY(first.process.waitForFinished(60000) && second.process.waitForFinished(60000));
        QCOMPARE(first.process.exitCode(), 0);
        QCOMPARE(second.process.exitCode(), 0);

        records::RecordsStore store(*records::parseDatabaseAddress(url, nullptr));
        QVERIFY(store.open());
        const auto rows = store.list({});
        QCOMPARE(rows.size(), std::size_t(24));
        QSet<QString> serials;
        for (const records::RunRow& row : rows) {
            QCOMPARE(row.outcome, QStringLiteral("pass"));
            serials.insert(row.serialNumber);
        }
        QCOMPARE(serials.size(), 24);
    }

    // On a terminal, with the positions named by the tool's COM numbers: the table redrawn in
    // place and coloured; the first Ctrl+C lets the hoppers under test finish, the second stops
    // at once and records the rest as incomplete.
    void terminalTableAndSignals() {
        QTemporaryDir dir;
        Fleet fleet(dir.path(), 2,
                    {QStringLiteral("--fault"), QStringLiteral("1=slow"), QStringLiteral("--fault"),
                     QStringLiteral("2=silent"), QStringLiteral("hwtest")});
        QVERIFY(fleet.ready());
        test::Pty terminal(test::Pty::Slave::KeptOpen);
        QVERIFY(terminal.ok());
        const QString database = dir.filePath(QStringLiteral("records.sqlite"));
        Runner runner(dir.path(), {QStringLiteral("hwtest"), QStringLiteral("--ports"),
                                   QStringLiteral("COM7-COM8"), QStringLiteral("--database"),
                                   database, QStringLiteral("--silence"), QStringLiteral("60000")});
        QProcessEnvironment env = runner.process.processEnvironment();
        env.insert(QStringLiteral("PELLIX_COM7"), fleet.ports(1));
        env.insert(QStringLiteral("PELLIX_COM8"), fleet.ports(2).section(QLatin1Char(','), 1));
        env.insert(QStringLiteral("TERM"), QStringLiteral("xterm"));
        env.remove(QStringLiteral("NO_COLOR"));
        runner.process.setProcessEnvironment(env);
        runner.process.setStandardOutputFile(terminal.device);
        runner.process.start();
        QByteArray screen;
        const auto shows = [&](const QByteArray& text) {
            return QTest::qWaitFor(
                [&] {
                    screen += terminal.receive(1, 50);
                    return screen.contains(text);
                },
                20000);
        };
        QVERIFY2(shows("Position"), screen.constData());
        QVERIFY2(shows("COM8"), screen.constData());
        QVERIFY2(shows("testing"), screen.constData());
        runner.interrupt();
        QVERIFY2(shows("Stopping: 2 hopper(s) under test finish first"), screen.constData());
        QVERIFY2(shows("\x1b[32mpass"), screen.constData());  // the slow one finishes, in green
        QVERIFY(screen.contains("\x1b[") && screen.contains("F\x1b[J"));  // redrawn in place
        QCOMPARE(runner.process.state(), QProcess::Running);  // the silent one is still on
        runner.interrupt();
        QVERIFY(runner.process.waitForFinished(5000));
        QCOMPARE(runner.process.exitCode(), 1);

        records::RecordsStore store(*records::parseDatabaseAddress(database, nullptr));
        QVERIFY(store.open());
        QStringList seen;
        for (const records::RunRow& row : store.list({})) {
            seen << row.outcome + QLatin1Char(' ') + row.reason;
        }
        seen.sort();
        QCOMPARE(seen, (QStringList{QStringLiteral("incomplete stopped by the operator"),
                                    QStringLiteral("pass ")}));
    }

    // Coin numbers written to three hoppers at once, one of which does not keep them.
    void coinNumbersOnThreePositions() {
        QTemporaryDir dir;
        Fleet fleet(dir.path(), 3,
                    {QStringLiteral("--fault"), QStringLiteral("2=nostore"),
                     QStringLiteral("coinsetting")});
        QVERIFY(fleet.ready());
        const QString numbers = dir.filePath(QStringLiteral("euro.txt"));
        QFile file(numbers);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            " 1\r\n 2\r\n 5\r\n 10\r\n 20\r\n 50\r\n 100\r\n 200\r\n 0\r\n 0\r\n 0\r\n 0\r\n"
            " 0\r\n 0\r\n 0\r\n 500\r\n");
        file.close();
        Runner runner(
            dir.path(),
            {QStringLiteral("coinsetting"), QStringLiteral("--ports"),
             fleet.ports(3, QStringLiteral("coinsetting")), QStringLiteral("--numbers"), numbers,
             QStringLiteral("--hoppers"), QStringLiteral("1"), QStringLiteral("--database"),
             dir.filePath(QStringLiteral("r.sqlite")), QStringLiteral("--json")});
        runner.process.start();
        QVERIFY(runner.process.waitForFinished(20000));
        QCOMPARE(runner.process.exitCode(), 1);
        QStringList results;
        for (const QJsonObject& e : runner.finished()) {
            results << QFileInfo(e.value(QStringLiteral("port")).toString()).fileName() +
                           QLatin1Char(' ') + e.value(QStringLiteral("result")).toString();
        }
        results.sort();
        QCOMPARE(results, (QStringList{QStringLiteral("coinsetting1 pass"),
                                       QStringLiteral("coinsetting2 fail"),
                                       QStringLiteral("coinsetting3 pass")}));
    }

    // Arguments that cannot work are refused with a clear error before anything is sent.
    void badArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << "give one command";
        QTest::newRow("port list names nothing")
            << QStringList{"hwtest", "--ports", " , "} << "--ports: the port list names no port";
        QTest::newRow("not a port") << QStringList{"hwtest", "--ports", "LPT1"} << "is not a port";
        QTest::newRow("unknown check")
            << QStringList{"hwtest", "--ports", "PTY", "--pass", "all,-fan"} << "unknown check";
        QTest::newRow("field too long")
            << QStringList{"hwtest", "--ports", "PTY", "--write-flash", "LONG"}
            << "ProductCode cannot be written: longer than 20 characters";
        QTest::newRow("no numbers")
            << QStringList{"coinsetting", "--ports", "PTY"} << "coinsetting needs --numbers FILE";
        QTest::newRow("no database for serial numbers")
            << QStringList{"hwtest",
                           "--ports",
                           "PTY",
                           "--write-flash",
                           "GOOD",
                           "--database",
                           "/proc/pellix/records.sqlite"}
            << "no serial numbers to hand out";
    }
    void badArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir dir;
        test::Pty hopper;  // a hopper that must hear nothing
        QVERIFY(hopper.ok());
        for (QString& argument : arguments) {
            if (argument == QLatin1String("PTY")) {
                argument = hopper.device;
            } else if (argument == QLatin1String("LONG")) {
                argument = flashTemplate(dir.path(), "ProductCode = 123456789012345678901\n");
            } else if (argument == QLatin1String("GOOD")) {
                argument = flashTemplate(dir.path(), kOrder);
            }
        }
        Runner runner(dir.path(), arguments);
        runner.process.start();
        QVERIFY(runner.process.waitForFinished(10000));
        QCOMPARE(runner.process.exitCode(), 2);
        const QString error = QString::fromUtf8(runner.process.readAllStandardError());
        QVERIFY2(error.startsWith(QLatin1String("pellix-line: ")) && error.contains(message),
                 qPrintable(error));
        QVERIFY(hopper.receive(1, 100).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestE2eLine)
#include "test_e2e_line.moc"
