// --list-ports through the real executable, with no display at all: it reads the same settings
// and overrides the windows use.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <unistd.h>

#include "fakes.h"

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// `home` stands in for the user's home and settings folder.
Run runKit(const QStringList& arguments, const QString& home,
           const QProcessEnvironment& extra = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(name));
    }
    for (int n = 1; n <= 12; ++n) {
        env.remove(QStringLiteral("PELLIX_COM%1").arg(n));
    }
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(extra);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PELLIX_KIT_EXE), arguments);
    Run run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString lineFor(const QString& text, const QString& port) {
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(port + QLatin1Char(' '))) {
            return line;
        }
    }
    return {};
}

}  // namespace

class ListPortsTest : public QObject {
    Q_OBJECT
  private slots:
    void helpNamesTheOption() {
        QTemporaryDir home;
        const Run run = runKit({QStringLiteral("--help")}, home.path());
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("--list-ports")), qPrintable(run.out));
    }

    void listPortsPrintsTheComTable() {
        QTemporaryDir home;
        // A remembered adapter that is not plugged in, and an override naming a live pty.
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral(".config/Pellix")));
        const QString absent = QStringLiteral("/dev/serial/by-id/usb-Pellix_Cable_NOTHERE");
        QVERIFY(
            pellix::test::writeFile(home.path() + QStringLiteral("/.config/Pellix/Pellix kit.conf"),
                                    "[Ports]\nCOM11=" + absent.toUtf8() + "\n"));
        int master = -1;
        int slave = -1;
        char name[256] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        const QString pty = QString::fromLocal8Bit(name);
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("PELLIX_COM12"), pty);

        const Run run = runKit({QStringLiteral("--list-ports")}, home.path(), extra);
        ::close(slave);
        ::close(master);
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 13);  // heading and COM1 .. COM12
        for (const char* column : {"Port", "Path", "Description", "Serial", "Present"}) {
            QVERIFY(lines.first().contains(QLatin1String(column)));
        }
        const QString overridden = lineFor(run.out, QStringLiteral("COM12"));
        QVERIFY2(overridden.contains(pty) && overridden.endsWith(QLatin1String("yes")),
                 qPrintable(overridden));
        const QString remembered = lineFor(run.out, QStringLiteral("COM11"));
        QVERIFY2(remembered.contains(absent) && remembered.endsWith(QLatin1String("no")),
                 qPrintable(remembered));
    }
};

QTEST_GUILESS_MAIN(ListPortsTest)
#include "test_listports.moc"
