#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fakes.h"
#include "platform/devicenode.h"
#include "platform/qtservices.h"
#include "platform/runtimefolder.h"
#include "platform/serialport.h"
#include "widgets/lockedcombobox.h"

using namespace pellix;
using namespace pellix::test;

class PlatformTest : public QObject {
    Q_OBJECT
  private slots:
    // What may reopen by itself at a lost port's path.
    void sameDeviceAtTheLostPath_data() {
        QTest::addColumn<QByteArray>("openedNode");
        QTest::addColumn<int>("openedMajor");
        QTest::addColumn<QByteArray>("openedLink");
        QTest::addColumn<QByteArray>("nowNode");
        QTest::addColumn<int>("nowMajor");  // -1: not a character device
        QTest::addColumn<QByteArray>("nowLink");
        QTest::addColumn<bool>("reopens");
        QTest::newRow("serial port back at its node")
            << QByteArray("/dev/ttyS2") << 4 << QByteArray() << QByteArray("/dev/ttyS2") << 4
            << QByteArray() << true;
        QTest::newRow("pseudo-terminal at the vanished node, same link: someone else's")
            << QByteArray("/dev/pts/7") << 136 << QByteArray("9:1") << QByteArray("/dev/pts/7")
            << 136 << QByteArray("9:1") << false;
        QTest::newRow("pseudo-terminal at the vanished node, no link: someone else's")
            << QByteArray("/dev/pts/7") << 136 << QByteArray() << QByteArray("/dev/pts/7") << 136
            << QByteArray() << false;
        QTest::newRow("pseudo-terminal behind a link pointed anew")
            << QByteArray("/dev/pts/7") << 136 << QByteArray("9:1") << QByteArray("/dev/pts/7")
            << 136 << QByteArray("9:2") << true;
        QTest::newRow("another kind of device")
            << QByteArray("/dev/pts/7") << 136 << QByteArray() << QByteArray("/dev/null") << 1
            << QByteArray() << false;
        QTest::newRow("a plain file") << QByteArray("/dev/ttyUSB0") << 188 << QByteArray()
                                      << QByteArray("/tmp/x") << -1 << QByteArray() << false;
    }
    void sameDeviceAtTheLostPath() {
        QFETCH(QByteArray, openedNode);
        QFETCH(int, openedMajor);
        QFETCH(QByteArray, openedLink);
        QFETCH(QByteArray, nowNode);
        QFETCH(int, nowMajor);
        QFETCH(QByteArray, nowLink);
        QFETCH(bool, reopens);
        const DeviceNode opened{openedNode, true, static_cast<unsigned>(openedMajor), openedLink};
        const DeviceNode now{nowNode, nowMajor >= 0, static_cast<unsigned>(std::max(nowMajor, 0)),
                             nowLink};
        QCOMPARE(mayBeTheSameDevice(opened, now), reopens);
    }

    void programFolderNamesFilesTheTraditionalWay() {
        FixedProgramFolder folder;
        folder.m_path = QStringLiteral("/opt/pellix");
        QCOMPARE(folder.filePath(QStringLiteral("\\Ar1.bmp")),
                 QStringLiteral("/opt/pellix/Ar1.bmp"));
        QCOMPARE(folder.filePath(QStringLiteral("Manual5.rtf")),
                 QStringLiteral("/opt/pellix/Manual5.rtf"));
    }

    // A build tree keeps the runtime files next to the executable, an installation in the data
    // folder beside bin/; the manual tells which one holds them.
    void runtimeFolderIsWhereTheFilesAre_data() {
        QTest::addColumn<bool>("beside");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("expectInstalled");
        QTest::newRow("build tree") << true << false << false;
        QTest::newRow("installed") << false << true << true;
        QTest::newRow("both: the files beside the program win") << true << true << false;
        QTest::newRow("neither: the program folder, so errors name it") << false << false << false;
    }
    void runtimeFolderIsWhereTheFilesAre() {
        QFETCH(bool, beside);
        QFETCH(bool, installed);
        QFETCH(bool, expectInstalled);
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("bin"));
        const QString data =
            QDir::cleanPath(QDir(bin).filePath(QStringLiteral(PELLIX_DATA_FROM_BIN)));
        QVERIFY(data.startsWith(root.path()));
        QVERIFY(QDir().mkpath(bin));
        for (const auto& [wanted, dir] : {std::pair{beside, bin}, std::pair{installed, data}}) {
            if (wanted) {
                QVERIFY(QDir().mkpath(dir));
                QFile manual(QDir(dir).filePath(QStringLiteral("Manual5.rtf")));
                QVERIFY(manual.open(QIODevice::WriteOnly));
            }
        }
        QCOMPARE(locateRuntimeFolder(bin), expectInstalled ? data : bin);
    }

    void settingsStoreKeepsValuesPerUser() {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(false);
        {
            QtSettingsStore store;
            QCOMPARE(store.value(QStringLiteral("Setting/COMPORT"), QStringLiteral("1")),
                     QStringLiteral("1"));
            store.setValue(QStringLiteral("Setting/COMPORT"), QStringLiteral("3"));
        }
        QtSettingsStore again;
        QCOMPARE(again.value(QStringLiteral("Setting/COMPORT"), QStringLiteral("1")),
                 QStringLiteral("3"));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("Pellix/Pellix kit.conf"))));
    }

    void secondCopyIsDetectedAndACrashedOneIsNot() {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        {
            QtInstanceLock first;
            QVERIFY(!first.anotherInstanceRunning());
            QtInstanceLock second;
            QVERIFY(second.anotherInstanceRunning());
        }
        // A lock file left by a process that no longer runs does not count.
        QFile stale(runtime.filePath(QStringLiteral("pellix-kit.lock")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("4194000\ntest_platform\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        stale.close();
        QtInstanceLock afterCrash;
        QVERIFY(!afterCrash.anotherInstanceRunning());
    }

    // QSettings would read whatever lies at the settings file's name; a named pipe there
    // stopped the program before its launcher showed. Anything but a readable regular file:
    // defaults, values kept for the run, one word to the technician, the name left alone.
    void settingsFileThatCannotBeReadGivesDefaults_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "pipe";
        QTest::newRow("folder") << "folder";
    }
    void settingsFileThatCannotBeReadGivesDefaults() {
        QFETCH(QString, kind);
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        QVERIFY(QDir(home.path()).mkdir("Pellix"));
        const QString file = home.filePath("Pellix/Pellix kit.conf");
        if (kind == "pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        } else {
            QVERIFY(QDir(home.path()).mkdir("Pellix/Pellix kit.conf"));
        }
        QCOMPARE(QtSettingsStore::location(), file);
        QStringList told;
        {
            QtSettingsStore store([&told](const QString& name) { told << name; });
            QCOMPARE(store.value("Setting/COMPORT", "1"), QString("1"));
            store.setValue("Setting/COMPORT", "4");
            QCOMPARE(store.value("Setting/COMPORT", "1"), QString("4"));
            QCOMPARE(store.value("Setting/Load_path", "/opt"), QString("/opt"));
        }
        QCOMPARE(told, QStringList{file});
        const QFileInfo after(file);
        QCOMPARE(after.isFile(), false);
        QCOMPARE(after.isDir(), kind == "folder");
    }

    // Only a lock another live copy holds means a second copy. A lock that cannot be made
    // (no runtime folder, a file in its place) tells nothing: this copy runs on.
    void lockThatCannotBeMadeIsNoSecondCopy_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("runtime folder missing") << "missing";
        QTest::newRow("runtime folder is a file") << "file";
        QTest::newRow("runtime folder read-only") << "read-only";
    }
    void lockThatCannotBeMadeIsNoSecondCopy() {
        QFETCH(QString, kind);
        QTemporaryDir base;
        QString folder = base.filePath("runtime");
        if (kind == "file") {
            QVERIFY(writeFile(folder, "not a folder"));
        } else if (kind == "read-only") {
            QVERIFY(QDir(base.path()).mkdir("runtime"));
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            if (::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
                QSKIP("permission bits do not stop this user");
            }
        }
        QtInstanceLock lock(folder);
        QVERIFY(!lock.anotherInstanceRunning());
    }

    // The lock held by another live process (a child that waits until told to end).
    void lockHeldByAnotherProcessIsASecondCopy() {
        QTemporaryDir runtime;
        int go[2];
        int ready[2];
        QVERIFY(::pipe(go) == 0 && ::pipe(ready) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(go[1]);
            ::close(ready[0]);
            QtInstanceLock held(runtime.path());
            const char state = held.anotherInstanceRunning() ? 'n' : 'y';
            char byte = 0;
            if (::write(ready[1], &state, 1) != 1 || ::read(go[0], &byte, 1) < 0) {
                ::_exit(2);
            }
            ::_exit(0);
        }
        ::close(go[0]);
        ::close(ready[1]);
        char state = 0;
        const ssize_t got = ::read(ready[0], &state, 1);
        ::close(ready[0]);
        QCOMPARE(got, ssize_t(1));
        QCOMPARE(state, 'y');
        const bool second = QtInstanceLock(runtime.path()).anotherInstanceRunning();
        ::close(go[1]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(second);
        QVERIFY(!QtInstanceLock(runtime.path()).anotherInstanceRunning());  // ended with it
    }

    void lockedComboBoxTakesOnlyPicks() {
        CountingClipboard clipboard;
        LockedComboBox box(clipboard);
        box.addItems({QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3")});
        QCOMPARE(box.setShownText(QStringLiteral("COM15")), -1);
        QCOMPARE(box.shownText(), QStringLiteral("COM15"));
        QCOMPARE(box.setShownText(QStringLiteral("COM2")), 1);
        QCOMPARE(box.shownText(), QStringLiteral("COM2"));

        box.show();
        box.setFocus();
        QTRY_VERIFY(box.hasFocus());
        QVERIFY(clipboard.m_clears >= 1);
        QTest::keyClicks(&box, QStringLiteral("C3"));
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box.shownText(), QStringLiteral("COM2"));
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.shownText(), QStringLiteral("COM3"));
    }
};

QTEST_MAIN(PlatformTest)
#include "test_platform.moc"
