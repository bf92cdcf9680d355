#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace pellix::test {

// Runs a real pellix-kit executable with its own settings and lock folders, so a test never
// touches the user's settings and never meets another copy's lock.
class ToolProcess {
  public:
    struct Result {
        bool finished = false;
        QProcess::ExitStatus status = QProcess::CrashExit;
        int code = -1;
        QString out;
        QString err;
    };

    explicit ToolProcess(QString program) : m_program(std::move(program)) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
    }
    ~ToolProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Leaves nothing to say which window system to use: the program must not need one.
    void withoutDisplay() {
        QProcessEnvironment env = m_process.processEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
            env.remove(QString::fromLatin1(name));
        }
        m_process.setProcessEnvironment(env);
    }

    // Options that print and end the program.
    Result run(const QStringList& arguments, int timeoutMs = 30000) {
        m_process.start(m_program, arguments);
        return finish(timeoutMs);
    }

    // Starts the windows, waits until the program handles SIGTERM (its windows are built and
    // the event loop is about to run), then asks it to end the way a logout does.
    Result startThenTerminate(const QStringList& arguments = {}, int timeoutMs = 60000) {
        m_process.start(m_program, arguments);
        if (!m_process.waitForStarted(timeoutMs) || !waitUntilCatching(SIGTERM, timeoutMs)) {
            return finish(0);
        }
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        return finish(timeoutMs);
    }

  private:
    // /proc/<pid>/status lists the signals a process catches as a hexadecimal mask.
    bool waitUntilCatching(int signal, int timeoutMs) {
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

    Result finish(int timeoutMs) {
        Result r;
        r.finished = m_process.waitForFinished(timeoutMs);
        r.status = m_process.exitStatus();
        r.code = m_process.exitCode();
        r.out = QString::fromLocal8Bit(m_process.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(m_process.readAllStandardError());
        return r;
    }

    QString m_program;
    QTemporaryDir m_home;
    QProcess m_process;
};

}  // namespace pellix::test
