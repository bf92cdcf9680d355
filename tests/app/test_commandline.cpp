#include <QDir>
#include <QFileInfo>
#include <QTest>

#include "kitprocess.h"

using namespace pellix::test;

// The options go through the real executable: they must work in a terminal with no display,
// before any window system is touched.
class CommandLineTest : public QObject {
    Q_OBJECT
  private:
    static QString version() {
        return QStringLiteral("%1.%2.%3")
            .arg(PELLIX_VERSION_MAJOR)
            .arg(PELLIX_VERSION_MINOR)
            .arg(PELLIX_VERSION_PATCH);
    }

  private slots:
    void printingOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("help");  // else the version line
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << true;
        QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << true;
        QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << false;
        QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << false;
        QTest::newRow("first option wins")
            << QStringList{QStringLiteral("--version"), QStringLiteral("--help")} << false;
        QTest::newRow("window system option passed over")
            << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"),
                           QStringLiteral("--version")}
            << false;
        QTest::newRow("plain argument beside an option")
            << QStringList{QStringLiteral("notes.txt"), QStringLiteral("--help")} << true;
    }
    void printingOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, help);
        KitProcess tool;
        tool.withoutDisplay();
        const auto r = tool.run(arguments);
        QVERIFY(r.finished);
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        if (help) {
            QVERIFY2(r.out.startsWith(QStringLiteral("Usage: pellix-kit [options]\n")),
                     qPrintable(r.out));
            for (const char* option : {"-h, --help", "-v, --version"}) {
                QVERIFY2(r.out.contains(QLatin1String(option)), option);
            }
            QVERIFY2(!r.out.contains(QStringLiteral("platform")), "window system options hidden");
        } else {
            QCOMPARE(r.out, QStringLiteral("pellix-kit %1\n").arg(version()));
        }
    }

    // The emulator beside the tool says its version, names its replay mode in its help, and
    // names the device and the system's reason when it cannot serve one.
    void emulatorSaysWhatItDoes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << "pellix-hopper-emulator %version\n";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "pellix-hopper-emulator replay FILE";
        QTest::newRow("device that is not there")
            << QStringList{"--quiet", "hwtest=/nonexistent/ttyS9"} << 2
            << "cannot serve hwtest: cannot open /nonexistent/ttyS9: No such file or directory";
        QTest::newRow("capture that is not there")
            << QStringList{"replay", "/nonexistent/cap.txt"} << 1
            << "/nonexistent/cap.txt: cannot open: No such file or directory";
    }
    void emulatorSaysWhatItDoes() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, says);
        KitProcess emulator(
            QFileInfo(KitProcess::builtProgram()).dir().filePath("pellix-hopper-emulator"));
        emulator.withoutDisplay();
        const auto r = emulator.run(arguments);
        QCOMPARE(r.code, code);
        const QString told = r.out + r.err;
        QVERIFY2(told.contains(says.replace("%version", version())), qPrintable(told));
    }

    void unknownOptionIsAUsageError_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        QTest::newRow("long") << QStringList{QStringLiteral("--bogus")} << "bogus";
        QTest::newRow("short") << QStringList{QStringLiteral("-x")} << "x";
        QTest::newRow("after a good one")
            << QStringList{QStringLiteral("--version"), QStringLiteral("--nope")} << "nope";
        QTest::newRow("value given to a flag")
            << QStringList{QStringLiteral("--help=all")} << "--help";
    }
    void unknownOptionIsAUsageError() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        KitProcess tool;
        tool.withoutDisplay();
        const auto r = tool.run(arguments);
        QVERIFY(r.finished);
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.code, 2);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(QStringLiteral("pellix-kit: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QLatin1Char('\'') + named + QLatin1Char('\'')), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("--help")), qPrintable(r.err));
    }

    // Anything that is not an option starts the tool as without arguments.
    void plainArgumentsStartTheTool() {
        KitProcess tool;
        const auto r = tool.startThenTerminate({QStringLiteral("notes.txt"), QStringLiteral("--")});
        QVERIFY2(r.finished, qPrintable(r.err));
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString());
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_commandline.moc"
