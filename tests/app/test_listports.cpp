// --list-ports through the real executable, with no display at all: it reads the same settings
// and overrides the windows use.
#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

#include "fakes.h"
#include "kitprocess.h"
#include "ptypair.h"

using pellix::test::KitProcess;
using pellix::test::Pty;

namespace {

// With no display at all; `kit` holds the settings and overrides the run reads.
KitProcess::Result runKit(KitProcess& kit, const QStringList& arguments) {
    kit.withoutDisplay();
    return kit.run(arguments, 20000);
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
        KitProcess kit;
        const auto run = runKit(kit, {QStringLiteral("--help")});
        QVERIFY(run.finished);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(QStringLiteral("--list-ports")), qPrintable(run.out));
    }

    void listPortsPrintsTheComTable() {
        KitProcess kit;
        // A remembered adapter that is not plugged in, and an override naming a live pty.
        QVERIFY(QFileInfo(kit.settingsFile()).dir().mkpath(QStringLiteral(".")));
        const QString absent = QStringLiteral("/dev/serial/by-id/usb-Pellix_Cable_NOTHERE");
        QVERIFY(pellix::test::writeFile(kit.settingsFile(),
                                        "[Ports]\nCOM11=" + absent.toUtf8() + "\n"));
        const Pty pty(Pty::Slave::KeptOpen);
        QVERIFY(pty.ok());
        kit.setEnv(QStringLiteral("PELLIX_COM12"), pty.device);

        const auto run = runKit(kit, {QStringLiteral("--list-ports")});
        QVERIFY(run.finished);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.code, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 13);  // heading and COM1 .. COM12
        for (const char* column : {"Port", "Path", "Description", "Serial", "Present"}) {
            QVERIFY(lines.first().contains(QLatin1String(column)));
        }
        const QString overridden = lineFor(run.out, QStringLiteral("COM12"));
        QVERIFY2(overridden.contains(pty.device) && overridden.endsWith(QLatin1String("yes")),
                 qPrintable(overridden));
        const QString remembered = lineFor(run.out, QStringLiteral("COM11"));
        QVERIFY2(remembered.contains(absent) && remembered.endsWith(QLatin1String("no")),
                 qPrintable(remembered));
    }
};

QTEST_GUILESS_MAIN(ListPortsTest)
#include "test_listports.moc"
