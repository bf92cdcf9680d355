#include "kitprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <csignal>

namespace pellix::test {

QString VirtualDisplay::missingTool() {
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            return QString::fromLatin1(tool);
        }
    }
    return {};
}

VirtualDisplay::VirtualDisplay() {
    if (!missingTool().isEmpty()) {
        return;
    }
    // -displayfd picks a free display and writes its number once the server is up.
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && !m_server.canReadLine() &&
           m_server.state() != QProcess::NotRunning) {
        m_server.waitForReadyRead(100);
    }
    const QByteArray number = m_server.readLine().trimmed();
    if (!number.isEmpty()) {
        m_name = QLatin1Char(':') + QString::fromLatin1(number);
    }
}

VirtualDisplay::~VirtualDisplay() {
    m_server.terminate();
    if (!m_server.waitForFinished(3000)) {
        m_server.kill();
        m_server.waitForFinished(3000);
    }
}

QString VirtualDisplay::xdotool(const QStringList& arguments) const {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_name);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

qulonglong VirtualDisplay::visibleWindow(qint64 pid, const QString& title) const {
    const QString found =
        xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
                 QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
    return found.section(QLatin1Char('\n'), 0, 0).toULongLong();
}

void VirtualDisplay::click(qulonglong window, QPoint at) const {
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
             QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QStringLiteral("1")});
}

void VirtualDisplay::key(const QString& keys) const {
    xdotool({QStringLiteral("key"), keys});
}

void VirtualDisplay::key(qulonglong window, const QString& keys) const {
    const QString id = QString::number(window);
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
    xdotool({QStringLiteral("key"), QStringLiteral("--window"), id, keys});
}

void VirtualDisplay::move(qulonglong window, QPoint to) const {
    xdotool({QStringLiteral("windowmove"), QString::number(window), QString::number(to.x()),
             QString::number(to.y())});
}

QString KitProcess::builtProgram() {
    return QStringLiteral(PELLIX_KIT_EXE);
}

KitProcess::KitProcess(QString program)
    : m_program(std::move(program)), m_env(QProcessEnvironment::systemEnvironment()) {
    for (const QString& name : m_env.keys()) {
        if (name.startsWith(QLatin1String("PELLIX_COM"))) {
            m_env.remove(name);
        }
    }
    m_env.insert(QStringLiteral("HOME"), m_home.path());
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

KitProcess::~KitProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString KitProcess::settingsFile() const {
    return m_home.filePath(QStringLiteral("config/Pellix/Pellix kit.conf"));
}

void KitProcess::withoutDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        m_env.remove(QString::fromLatin1(name));
    }
}

void KitProcess::onDisplay(const VirtualDisplay& display) {
    m_display = &display;
    m_env.insert(QStringLiteral("DISPLAY"), display.name());
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

bool KitProcess::copyProgramWith(const QStringList& runtimeFiles) {
    const QDir from = QFileInfo(m_program).dir();
    const QDir to(m_home.filePath(QStringLiteral("program")));
    const QString program = QFileInfo(m_program).fileName();
    if (!to.mkpath(QStringLiteral(".")) ||
        !QFile::copy(from.filePath(program), to.filePath(program))) {
        return false;
    }
    for (const QString& name : runtimeFiles) {
        if (!QFile::copy(from.filePath(name), to.filePath(name))) {
            return false;
        }
    }
    m_program = to.filePath(program);
    return true;
}

bool KitProcess::start(const QStringList& arguments) {
    m_process.setProcessEnvironment(m_env);
    m_process.start(m_program, arguments);
    return m_process.waitForStarted(5000);
}

KitProcess::Result KitProcess::run(const QStringList& arguments, int timeoutMs) {
    m_process.setProcessEnvironment(m_env);
    m_process.start(m_program, arguments);
    return finish(timeoutMs);
}

KitProcess::Result KitProcess::startThenTerminate(const QStringList& arguments, int timeoutMs) {
    m_process.setProcessEnvironment(m_env);
    m_process.start(m_program, arguments);
    if (!m_process.waitForStarted(timeoutMs) || !waitUntilCatching(SIGTERM, timeoutMs)) {
        return finish(0);
    }
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    return finish(timeoutMs);
}

KitProcess::Result KitProcess::finish(int timeoutMs) {
    Result r;
    r.finished = m_process.waitForFinished(timeoutMs);
    if (!r.finished && m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    r.status = m_process.exitStatus();
    r.code = m_process.exitCode();
    r.out = QString::fromLocal8Bit(m_process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(m_process.readAllStandardError());
    return r;
}

// /proc/<pid>/status lists the signals a process catches as a hexadecimal mask.
bool KitProcess::waitUntilCatching(int signal, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    const QString status = QStringLiteral("/proc/%1/status").arg(m_process.processId());
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QFile file(status);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.startsWith("SigCgt:") &&
                    (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1U) {
                    return true;
                }
            }
        }
        QThread::msleep(20);
    }
    return false;
}

bool KitProcess::endsCleanly(int ms) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        QTest::qWait(50);
    }
    return m_process.state() == QProcess::NotRunning &&
           m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool KitProcess::staysRunning(int ms) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && running()) {
        QTest::qWait(50);
    }
    return running();
}

qulonglong KitProcess::waitForWindow(const QString& title, int ms) const {
    if (m_display == nullptr) {
        return 0;
    }
    const QDeadlineTimer deadline(ms);
    // An ended program shows no windows (and has no process id to search by).
    while (running()) {
        if (const qulonglong id = m_display->visibleWindow(pid(), title)) {
            return id;
        }
        if (deadline.hasExpired()) {
            return 0;
        }
        QTest::qWait(100);
    }
    return 0;
}

}  // namespace pellix::test
