#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "fakes.h"
#include "kitprocess.h"
#include "ptypair.h"

using pellix::test::KitProcess;
using pellix::test::Pty;
using pellix::test::VirtualDisplay;
using pellix::test::writeFile;

namespace {

// The launcher's image buttons in pixels within its window: one column, 49 pixels apart.
QPoint launcherButton(int index) {
    return {248 + 44, 48 * index + 24};
}

}  // namespace

class StartupEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        const QString missing = VirtualDisplay::missingTool();
        if (!missing.isEmpty()) {
            QSKIP(qPrintable(missing + QStringLiteral(" is not installed")));
        }
    }

    // A settings file that is a named pipe: the launcher shows, and opening the coin number
    // setting window (the first reader of settings) says once that the file could not be read
    // and then opens on the defaults. The pipe stays a pipe.
    void settingsFileThatIsAPipe() {
        VirtualDisplay display;
        QVERIFY(display.isUp());
        KitProcess kit;
        kit.onDisplay(display);
        const QString conf = kit.settingsFile();
        QVERIFY(QFileInfo(conf).dir().mkpath(QStringLiteral(".")));
        QVERIFY(::mkfifo(QFile::encodeName(conf).constData(), 0600) == 0);
        Pty com1(Pty::Slave::KeptOpen);
        QVERIFY(!com1.device.isEmpty());
        kit.setEnv(QStringLiteral("PELLIX_COM1"), com1.device);
        QVERIFY(kit.start());

        const qulonglong launcher = kit.waitForWindow(QStringLiteral("HOPPER SW TOOL"));
        QVERIFY2(launcher, "the launcher never showed");
        display.click(launcher, launcherButton(3));
        const qulonglong box = kit.waitForWindow(QStringLiteral("Pellix kit"));
        QVERIFY2(box, "no word about the settings file");
        display.key(box, QStringLiteral("Return"));
        QVERIFY(kit.waitForWindow(QStringLiteral("Hopper Setting Tool")));
        QTest::qWait(300);
        QVERIFY(!kit.waitForWindow(QStringLiteral("Pellix kit"), 0));  // said once
        QVERIFY(kit.running());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(conf).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    }

    // No lock can be made (the runtime folder is a file, the temporary folder is gone): that is
    // no second copy. The coin number setting window opens on the remembered port, and closing
    // it keeps that port remembered.
    void instanceLockThatCannotBeMade() {
        VirtualDisplay display;
        QVERIFY(display.isUp());
        KitProcess kit;
        kit.onDisplay(display);
        const QDir home(kit.home());
        Pty com5(Pty::Slave::KeptOpen);
        QVERIFY(!com5.device.isEmpty());
        {
            QSettings conf(kit.settingsFile(), QSettings::IniFormat);
            conf.setValue(QStringLiteral("Setting/COMPORT"), QStringLiteral("5"));
        }
        QVERIFY(writeFile(home.filePath(QStringLiteral("runtime")), "not a folder"));
        kit.setEnv(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        kit.setEnv(QStringLiteral("TMPDIR"), home.filePath(QStringLiteral("gone")));
        kit.setEnv(QStringLiteral("PELLIX_COM5"), com5.device);
        QVERIFY(kit.start());

        const qulonglong launcher = kit.waitForWindow(QStringLiteral("HOPPER SW TOOL"));
        QVERIFY2(launcher, "the launcher never showed");
        display.click(launcher, launcherButton(3));
        const qulonglong window = kit.waitForWindow(QStringLiteral("Hopper Setting Tool"));
        QVERIFY2(window, "the coin number setting window did not stay open");
        QVERIFY(kit.running());

        display.key(window, QStringLiteral("F2"));  // closes the port and the window
        QVERIFY(kit.waitForWindow(QStringLiteral("HOPPER SW TOOL")));
        display.click(kit.waitForWindow(QStringLiteral("HOPPER SW TOOL")), launcherButton(5));
        const KitProcess::Result ended = kit.finish(15000);
        QVERIFY(ended.finished);
        QCOMPARE(ended.code, 0);
        QSettings conf(kit.settingsFile(), QSettings::IniFormat);
        QCOMPARE(conf.value(QStringLiteral("Setting/COMPORT")).toString(), QStringLiteral("5"));
    }
};

QTEST_GUILESS_MAIN(StartupEndToEnd)
#include "test_e2e_startup.moc"
