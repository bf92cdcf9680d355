#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "kitprocess.h"

using namespace pellix::test;

namespace {

// Relative names of the regular files under `root`.
QStringList filesUnder(const QString& root) {
    QStringList names;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        names.append(QDir(root).relativeFilePath(it.next()));
    }
    names.sort();
    return names;
}

}  // namespace

// Installs the build into a temporary prefix, as `make install PREFIX=...` does, and runs the
// installed program from there.
class InstallTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir m_prefix;

    QString installed(const QString& relative) const { return m_prefix.filePath(relative); }
    QString dataDir() const { return installed(QStringLiteral("share/pellix-kit")); }

  private slots:
    void initTestCase() {
        QVERIFY(m_prefix.isValid());
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(PELLIX_BUILD_DIR),
                       QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 install.readAll().constData());
    }

    void layout() {
        // Every runtime file, nothing else beside them but the screenshots.
        QStringList shipped = filesUnder(QStringLiteral(PELLIX_SOURCE_RESOURCES "/runtime"));
        for (const QString& shot :
             filesUnder(QStringLiteral(PELLIX_SOURCE_RESOURCES "/screenshots"))) {
            shipped.append(QStringLiteral("screenshots/") + shot);
        }
        shipped.sort();
        QCOMPARE(filesUnder(dataDir()), shipped);

        for (const char* program : {"bin/pellix-kit", "bin/pellix-hopper-emulator"}) {
            QVERIFY2(QFileInfo(installed(QLatin1String(program))).isExecutable(), program);
        }
        for (const char* file :
             {"share/applications/" PELLIX_APP_ID ".desktop",
              "share/metainfo/" PELLIX_APP_ID ".metainfo.xml", "share/man/man1/pellix-kit.1.gz",
              "share/man/man1/pellix-hopper-emulator.1.gz", "share/doc/pellix-kit/copyright",
              "share/doc/pellix-kit/changelog.gz"}) {
            QVERIFY2(QFileInfo(installed(QLatin1String(file))).isFile(), file);
        }
        // The desktop entry's icon in each theme size the build drew.
        const QStringList icons = filesUnder(installed(QStringLiteral("share/icons/hicolor")));
        QCOMPARE(icons, filesUnder(QStringLiteral(PELLIX_BUILD_DIR "/icons/hicolor")));
        QVERIFY(icons.contains(QStringLiteral("256x256/apps/" PELLIX_APP_ID ".png")));
        QVERIFY(icons.contains(QStringLiteral("16x16/apps/" PELLIX_APP_ID ".png")));
        for (const QString& icon : icons) {
            const QString size = icon.section(QLatin1Char('/'), 0, 0);
            const QImage image(installed(QStringLiteral("share/icons/hicolor/") + icon));
            QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), size);
        }
    }

    // The installed program and the one in the build tree each find all their runtime files
    // (it names any it lacks), and end cleanly on SIGTERM: the launcher's close sequence, exit 0.
    void startsFindsItsFilesAndEnds_data() {
        QTest::addColumn<bool>("fromPrefix");
        QTest::addColumn<QString>("hidden");  // a runtime file taken away for the run
        QTest::newRow("installed") << true << QString();
        QTest::newRow("build tree") << false << QString();
        QTest::newRow("installed, manual missing") << true << "Manual5.rtf";
        QTest::newRow("installed, status icon missing") << true << "GREENSIG.ico";
        QTest::newRow("installed, animation picture missing") << true << "Ar2.bmp";
    }
    void startsFindsItsFilesAndEnds() {
        QFETCH(bool, fromPrefix);
        QFETCH(QString, hidden);
        const QString program =
            fromPrefix ? installed(QStringLiteral("bin/pellix-kit")) : KitProcess::builtProgram();
        const QString missing = QDir(dataDir()).filePath(hidden);
        if (!hidden.isEmpty()) {
            QVERIFY(QFile::rename(missing, missing + QStringLiteral(".away")));
        }
        const auto restore = qScopeGuard([&] {
            if (!hidden.isEmpty()) {
                QFile::rename(missing + QStringLiteral(".away"), missing);
            }
        });

        KitProcess tool(program);
        const auto r = tool.startThenTerminate();
        QVERIFY2(r.finished, qPrintable(r.err));
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.code, 0);
        const QStringList reported =
            r.err.split(QLatin1Char('\n')).filter(QStringLiteral("runtime file missing"));
        if (hidden.isEmpty()) {
            QVERIFY2(reported.isEmpty(), qPrintable(r.err));
        } else {
            QCOMPARE(reported,
                     QStringList{QStringLiteral("pellix-kit: runtime file missing: ") + missing});
        }
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "test_install.moc"
