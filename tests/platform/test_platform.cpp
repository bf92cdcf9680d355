#include <QClipboard>
#include <QGuiApplication>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include "fakes.h"
#include "platform/qtservices.h"
#include "platform/serialport.h"
#include "widgets/lockedcombobox.h"

using namespace pellix;
using namespace pellix::test;

class PlatformTest : public QObject {
    Q_OBJECT
  private slots:
    void lineSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QChar>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("tool default") << "9600,E,8,1" << true << 9600 << QChar('E') << 1;
        QTest::newRow("fast cny") << "19200,E,8,1" << true << 19200 << QChar('E') << 1;
        QTest::newRow("lower case, blanks") << " 4800, o ,7,2" << true << 4800 << QChar('O') << 2;
        QTest::newRow("three fields") << "9600,E,8" << false << 0 << QChar() << 0;
        QTest::newRow("bad parity") << "9600,X,8,1" << false << 0 << QChar() << 0;
        QTest::newRow("bad speed") << "fast,E,8,1" << false << 0 << QChar() << 0;
        QTest::newRow("nine data bits") << "9600,E,9,1" << false << 0 << QChar() << 0;
        QTest::newRow("three stop bits") << "9600,E,8,3" << false << 0 << QChar() << 0;
        QTest::newRow("empty") << "" << false << 0 << QChar() << 0;
    }
    void lineSettings() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto parsed = LineSettings::parse(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid) {
            QFETCH(int, baud);
            QFETCH(QChar, parity);
            QFETCH(int, stopBits);
            QCOMPARE(parsed->baudRate, baud);
            QCOMPARE(QChar(parsed->parity), parity);
            QCOMPARE(parsed->stopBits, stopBits);
        }
    }

    void programFolderNamesFilesTheTraditionalWay() {
        FixedProgramFolder folder;
        folder.m_path = QStringLiteral("/opt/pellix");
        QCOMPARE(folder.filePath(QStringLiteral("\\Ar1.bmp")),
                 QStringLiteral("/opt/pellix/Ar1.bmp"));
        QCOMPARE(folder.filePath(QStringLiteral("Manual5.rtf")),
                 QStringLiteral("/opt/pellix/Manual5.rtf"));
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
