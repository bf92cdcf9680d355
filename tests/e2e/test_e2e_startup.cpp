#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fakes.h"

using pellix::test::writeFile;

namespace {

// The launcher's image buttons in pixels within its window: one column, 49 pixels apart.
QPoint launcherButton(int index) {
    return {248 + 44, 48 * index + 24};
}

// The real program on an X server of its own, driven and watched through the window system
// the way a technician would see it.
class RealKit {
  public:
    // The first tool this needs that is not installed, or nothing.
    static QString missingTool() {
        for (const char* tool : {"Xvfb", "xdotool"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                return QString::fromLatin1(tool);
            }
        }
        return {};
    }

    RealKit() {
        m_server.start(
            QStringLiteral("Xvfb"),
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
             QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
             QStringLiteral("tcp")});
        if (m_server.waitForReadyRead(15000)) {
            m_display = QLatin1Char(':') + QString::fromLatin1(m_server.readLine().trimmed());
        }
    }
    ~RealKit() {
        for (QProcess* p : {&m_kit, &m_server}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    bool serverUp() const { return m_display.size() > 1; }

    void start(QProcessEnvironment env) {
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_kit.setProcessEnvironment(env);
        m_kit.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_kit.start(QStringLiteral(PELLIX_KIT_PATH), {});
    }
    bool running() const { return m_kit.state() == QProcess::Running; }
    QProcess& process() { return m_kit; }

    // The id of the shown window whose title is `title`, waiting up to `ms` for it.
    QString waitForWindow(const QString& title, int ms = 15000) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const QString id =
                xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')})
                    .section(QLatin1Char('\n'), 0, 0);
            if (!id.isEmpty()) {
                return id;
            }
            if (m_kit.state() == QProcess::NotRunning || clock.elapsed() >= ms) {
                return {};
            }
            QTest::qWait(100);
        }
    }
    void click(const QString& window, QPoint at) {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                 QStringLiteral("1")});
    }
    void key(const QString& window, const QString& name) {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        xdotool({QStringLiteral("key"), QStringLiteral("--window"), window, name});
    }

  private:
    QString xdotool(const QStringList& args) {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        tool.waitForFinished(10000);
        return QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
    }

    QProcess m_server;
    QProcess m_kit;
    QString m_display;
};

// A pseudo-terminal standing in for a serial port; the far side stays open and silent.
struct Pty {
    Pty() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            device = QString::fromLocal8Bit(name);
        }
    }
    ~Pty() {
        if (!device.isEmpty()) {
            ::close(master);
            ::close(slave);
        }
    }
    int master = -1;
    int slave = -1;
    QString device;
};

QProcessEnvironment environmentWith(const QString& configHome) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return env;
}

}  // namespace

class StartupEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        const QString missing = RealKit::missingTool();
        if (!missing.isEmpty()) {
            QSKIP(qPrintable(missing + QStringLiteral(" is not installed")));
        }
    }

    // A settings file that is a named pipe: the launcher shows, and opening the coin number
    // setting window (the first reader of settings) says once that the file could not be read
    // and then opens on the defaults. The pipe stays a pipe.
    void settingsFileThatIsAPipe() {
        RealKit kit;
        QVERIFY(kit.serverUp());
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Pellix")));
        const QString conf = home.filePath(QStringLiteral("Pellix/Pellix kit.conf"));
        QVERIFY(::mkfifo(QFile::encodeName(conf).constData(), 0600) == 0);
        Pty com1;
        QVERIFY(!com1.device.isEmpty());
        QProcessEnvironment env = environmentWith(home.path());
        env.insert(QStringLiteral("PELLIX_COM1"), com1.device);
        kit.start(env);

        const QString launcher = kit.waitForWindow(QStringLiteral("HOPPER SW TOOL"));
        QVERIFY2(!launcher.isEmpty(), "the launcher never showed");
        kit.click(launcher, launcherButton(3));
        const QString box = kit.waitForWindow(QStringLiteral("Pellix kit"));
        QVERIFY2(!box.isEmpty(), "no word about the settings file");
        kit.key(box, QStringLiteral("Return"));
        QVERIFY(!kit.waitForWindow(QStringLiteral("Hopper Setting Tool")).isEmpty());
        QTest::qWait(300);
        QVERIFY(kit.waitForWindow(QStringLiteral("Pellix kit"), 0).isEmpty());  // said once
        QVERIFY(kit.running());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(conf).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    }

    // No lock can be made (the runtime folder is a file, the temporary folder is gone): that is
    // no second copy. The coin number setting window opens on the remembered port, and closing
    // it keeps that port remembered.
    void instanceLockThatCannotBeMade() {
        RealKit kit;
        QVERIFY(kit.serverUp());
        QTemporaryDir home;
        Pty com5;
        QVERIFY(!com5.device.isEmpty());
        {
            QSettings conf(home.filePath(QStringLiteral("Pellix/Pellix kit.conf")),
                           QSettings::IniFormat);
            conf.setValue(QStringLiteral("Setting/COMPORT"), QStringLiteral("5"));
        }
        QVERIFY(writeFile(home.filePath(QStringLiteral("runtime")), "not a folder"));
        QProcessEnvironment env = environmentWith(home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TMPDIR"), home.filePath(QStringLiteral("gone")));
        env.insert(QStringLiteral("PELLIX_COM5"), com5.device);
        kit.start(env);

        const QString launcher = kit.waitForWindow(QStringLiteral("HOPPER SW TOOL"));
        QVERIFY2(!launcher.isEmpty(), "the launcher never showed");
        kit.click(launcher, launcherButton(3));
        const QString window = kit.waitForWindow(QStringLiteral("Hopper Setting Tool"));
        QVERIFY2(!window.isEmpty(), "the coin number setting window did not stay open");
        QVERIFY(kit.running());

        kit.key(window, QStringLiteral("F2"));  // closes the port and the window
        QVERIFY(!kit.waitForWindow(QStringLiteral("HOPPER SW TOOL")).isEmpty());
        kit.click(kit.waitForWindow(QStringLiteral("HOPPER SW TOOL")), launcherButton(5));
        QVERIFY(kit.process().waitForFinished(15000));
        QCOMPARE(kit.process().exitCode(), 0);
        QSettings conf(home.filePath(QStringLiteral("Pellix/Pellix kit.conf")),
                       QSettings::IniFormat);
        QCOMPARE(conf.value(QStringLiteral("Setting/COMPORT")).toString(), QStringLiteral("5"));
    }
};

QTEST_GUILESS_MAIN(StartupEndToEnd)
#include "test_e2e_startup.moc"
