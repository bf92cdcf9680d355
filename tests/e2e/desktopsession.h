#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace pellix::test {

// A virtual X server of its own for running the real program, driven with synthetic input
// (xdotool), the way a technician would use it: no test hooks inside the program.
class DesktopSession {
  public:
    DesktopSession() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfb.isEmpty() || m_xdotool.isEmpty()) {
            return;
        }
        // -displayfd picks a free display and writes its number once the server is up.
        m_server.start(
            xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp")});
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && !m_server.canReadLine() &&
               m_server.state() != QProcess::NotRunning) {
            m_server.waitForReadyRead(100);
        }
        const QByteArray number = m_server.readLine().trimmed();
        if (!number.isEmpty()) {
            m_display = QStringLiteral(":") + QString::fromLatin1(number);
        }
    }
    ~DesktopSession() {
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool isUp() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }

    // Runs xdotool on this display; its standard output, trimmed.
    QString xdotool(const QStringList& arguments) const {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        tool.setProcessEnvironment(env);
        tool.start(m_xdotool, arguments);
        tool.waitForFinished(5000);
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

    // The first visible window of `pid` titled exactly `title`, or 0.
    qulonglong visibleWindow(qint64 pid, const QString& title) const {
        const QString found = xdotool(
            {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
             QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
        return found.section(QLatin1Char('\n'), 0, 0).toULongLong();
    }
    // Waits until that window is visible; 0 when it never came.
    qulonglong waitForWindow(qint64 pid, const QString& title, int ms = 10000) const {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            if (const qulonglong id = visibleWindow(pid, title)) {
                return id;
            }
            QTest::qWait(100);
        }
        return 0;
    }
    void click(qulonglong window, QPoint at) const {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                 QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                 QStringLiteral("1")});
    }
    // Keys go to whatever window has the focus, as typed on a keyboard.
    void key(const QString& keys) const { xdotool({QStringLiteral("key"), keys}); }
    // With no window manager every window opens at the top left; this puts one elsewhere.
    void move(qulonglong window, QPoint to) const {
        xdotool({QStringLiteral("windowmove"), QString::number(window), QString::number(to.x()),
                 QString::number(to.y())});
    }

  private:
    QProcess m_server;
    QString m_xdotool;
    QString m_display;
};

// The real pellix-kit copied into a program folder of its own (holding only the files a test
// puts there), with its own settings, lock folder and port names.
class ProgramRun {
  public:
    ProgramRun(const DesktopSession& desktop, const QString& lockFolder)
        : m_desktop(desktop), m_lockFolder(lockFolder) {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), desktop.display());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder.filePath(QStringLiteral("cfg")));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), lockFolder);
    }
    ~ProgramRun() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    // Copies a file the program ships beside it into this program folder.
    bool ship(const QString& name) const {
        return QFile::copy(QDir(runtimeDir()).filePath(name), programDir().filePath(name));
    }
    void setEnv(const QString& name, const QString& value) { m_env.insert(name, value); }

    bool start() {
        const QString program = programDir().filePath(QStringLiteral("pellix-kit"));
        if (!programDir().mkpath(QStringLiteral(".")) ||
            !QFile::copy(QDir(runtimeDir()).filePath(QStringLiteral("pellix-kit")), program)) {
            return false;
        }
        m_process.setProcessEnvironment(m_env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {});
        return m_process.waitForStarted(5000);
    }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // True when the program ended normally with status 0 within `ms`.
    bool endsCleanly(int ms = 10000) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            QTest::qWait(50);
        }
        return m_process.state() == QProcess::NotRunning &&
               m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    // Stays running for `ms` while the event loop spins.
    bool staysRunning(int ms) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && running()) {
            QTest::qWait(50);
        }
        return running();
    }
    qulonglong waitForWindow(const QString& title) const {
        return m_desktop.waitForWindow(pid(), title);
    }

  private:
    static QString runtimeDir() { return qEnvironmentVariable("PELLIX_RUNTIME_DIR"); }
    QDir programDir() const { return QDir(m_folder.filePath(QStringLiteral("program"))); }

    const DesktopSession& m_desktop;
    QString m_lockFolder;
    QTemporaryDir m_folder;
    QProcessEnvironment m_env;
    QProcess m_process;
};

}  // namespace pellix::test
