#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "coinsetting/coinsettingtexts.h"
#include "hwtest/hwtesttexts.h"
#include "kitprocess.h"
#include "platform/qttext.h"
#include "ptypair.h"
#include "widgets/twips.h"

using namespace pellix;
using namespace pellix::test;

namespace {

const QString kLauncher = QStringLiteral("HOPPER SW TOOL");
const QString kErrorBox = QStringLiteral("Error");

// Where the technician clicks the launcher's image button `index`.
QPoint imageButton(int index) {
    return twipsRect(3720, 720 * index, 1335, 735).center();
}

enum Button { kHardwareTest = 0, kCoinSetting = 3, kManual = 4, kExit = 5 };

// The real program copied into a program folder of its own (holding only `runtimeFiles`), on
// `display`, sharing the lock folder `lockFolder`.
struct ProgramRun : KitProcess {
    ProgramRun(const VirtualDisplay& display, const QString& lockFolder,
               const QStringList& runtimeFiles = {}) {
        onDisplay(display);
        setEnv(QStringLiteral("XDG_RUNTIME_DIR"), lockFolder);
        copied = copyProgramWith(runtimeFiles);
    }
    bool start() { return copied && KitProcess::start(); }
    bool copied = false;
};

}  // namespace

// The real program on a virtual display: what ends it and what must not.
class ProgramEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<VirtualDisplay> desktop;
    QTemporaryDir lockFolder;

    bool ready() const { return desktop && desktop->isUp(); }

  private slots:
    void initTestCase() {
        desktop = std::make_unique<VirtualDisplay>();
        if (!ready()) {
            QSKIP("needs Xvfb and xdotool (scripts/install-deps.sh installs them)");
        }
        QVERIFY(lockFolder.isValid());
    }
    void cleanupTestCase() { desktop.reset(); }

    // A window that fails its load (a message box, then nothing of it on screen) leaves the
    // program running with a window to go on from.
    void failedLoadKeepsTheProgramRunning_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shownAfter");
        QTest::newRow("manual without its instruction file") << int(kManual) << kLauncher;
        QTest::newRow("coin number setting whose remembered port is missing")
            << int(kCoinSetting) << toQString(coinsetting::texts::kCaption);
    }
    void failedLoadKeepsTheProgramRunning() {
        QFETCH(int, button);
        QFETCH(QString, shownAfter);
        QTemporaryDir lock;
        ProgramRun run(*desktop, lock.path());
        // The remembered port (COM1 by default) names a device that is not there.
        run.setEnv(QStringLiteral("PELLIX_COM1"), QStringLiteral("/nonexistent/ttyS0"));
        QVERIFY(run.start());
        const qulonglong launcher = run.waitForWindow(kLauncher);
        QVERIFY(launcher);
        desktop->click(launcher, imageButton(button));

        QVERIFY(run.waitForWindow(kErrorBox));
        // Every error box of the load is answered as the technician would, with Enter.
        for (int boxes = 0; boxes < 3 && run.waitForWindow(kErrorBox, 10000) != 0; ++boxes) {
            desktop->key(QStringLiteral("Return"));
            QTest::qWait(300);
        }
        QVERIFY(run.waitForWindow(shownAfter));
        QVERIFY(run.staysRunning(1500));
        QVERIFY(run.waitForWindow(shownAfter));
    }

    // The hardware test window leaves the coin number setting window unloaded, so the port that
    // window remembers (COM1 here, a live pseudo-terminal) stays free for the technician to pick.
    void hardwareTestLeavesTheCoinSettingPortFree() {
        QTemporaryDir lock;
        ProgramRun run(*desktop, lock.path());
        const Pty com1(Pty::Slave::KeptOpen);
        QVERIFY(com1.ok());
        run.setEnv(QStringLiteral("PELLIX_COM1"), com1.device);
        QVERIFY(run.start());
        const qulonglong launcher = run.waitForWindow(kLauncher);
        QVERIFY(launcher);
        desktop->click(launcher, imageButton(kHardwareTest));
        QVERIFY(run.waitForWindow(toQString(hwtest::texts::kWindowTitle)));
        QVERIFY(run.staysRunning(1000));
        const QString device = QFileInfo(com1.device).canonicalFilePath();
        for (const QFileInfo& fd :
             QDir(QStringLiteral("/proc/%1/fd").arg(run.pid())).entryInfoList(QDir::System)) {
            QVERIFY2(fd.symLinkTarget() != device, "the program holds the coin setting port");
        }
        QCOMPARE(run.waitForWindow(kErrorBox, 500), 0ULL);
    }

    void definedExitsEndTheProgram() {
        QTemporaryDir lock;
        ProgramRun run(*desktop, lock.path(), {QStringLiteral("Manual5.rtf")});
        QVERIFY(run.start());
        const qulonglong launcher = run.waitForWindow(kLauncher);
        QVERIFY(launcher);
        desktop->click(launcher, imageButton(kExit));
        QVERIFY(run.endsCleanly());
    }

    // The Traffic window, opened with F12 from the launcher, neither keeps the program running
    // nor stops the launcher's Exit from ending it.
    void trafficWindowLeavesTheEndToTheLauncher() {
        QTemporaryDir lock;
        ProgramRun run(*desktop, lock.path());
        QVERIFY(run.start());
        const qulonglong launcher = run.waitForWindow(kLauncher);
        QVERIFY(launcher);
        // A click on the launcher's picture gives it the keyboard.
        desktop->click(launcher, QPoint(20, 20));
        desktop->key(QStringLiteral("F12"));
        const qulonglong traffic = run.waitForWindow(QStringLiteral("Traffic"));
        QVERIFY(traffic);
        desktop->move(traffic, QPoint(400, 400));
        QVERIFY(run.staysRunning(300));
        desktop->click(launcher, imageButton(kExit));
        QVERIFY(run.endsCleanly());
    }

    // The coin number setting window of a second copy ends that copy at once; the first runs on.
    void secondCopyEndsAtTheCoinNumberSettingWindow() {
        QTemporaryDir lock;
        ProgramRun first(*desktop, lock.path());
        ProgramRun second(*desktop, lock.path());
        QVERIFY(first.start());
        QVERIFY(first.waitForWindow(kLauncher));
        QVERIFY(second.start());
        const qulonglong launcher = second.waitForWindow(kLauncher);
        QVERIFY(launcher);
        desktop->click(launcher, imageButton(kCoinSetting));
        QVERIFY(second.endsCleanly());
        QVERIFY(first.staysRunning(500));
        desktop->click(first.waitForWindow(kLauncher), imageButton(kExit));
        QVERIFY(first.endsCleanly());
    }
};

QTEST_MAIN(ProgramEndToEnd)
#include "test_e2e_program.moc"
