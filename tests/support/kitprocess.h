#pragma once

#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace pellix::test {

// A virtual X server of its own for running the real program, driven with synthetic input
// (xdotool) the way a technician would use it: no test hooks inside the program.
class VirtualDisplay {
  public:
    // The first tool a display needs that is not installed, or nothing.
    static QString missingTool();

    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool isUp() const { return !m_name.isEmpty(); }
    QString name() const { return m_name; }

    // The first visible window of `pid` titled exactly `title`, or 0.
    qulonglong visibleWindow(qint64 pid, const QString& title) const;
    void click(qulonglong window, QPoint at) const;
    // Keys go to whatever window has the focus, as typed on a keyboard.
    void key(const QString& keys) const;
    // Gives `window` the focus first.
    void key(qulonglong window, const QString& keys) const;
    // With no window manager every window opens at the top left; this puts one elsewhere.
    void move(qulonglong window, QPoint to) const;

  private:
    // Runs xdotool on this display; its standard output, trimmed.
    QString xdotool(const QStringList& arguments) const;

    QProcess m_server;
    QString m_name;
};

// The real pellix-kit with a home, settings folder and runtime (lock) folder of its own, so a
// test never touches the user's settings or port overrides and never meets another copy's lock
// unless it shares a runtime folder on purpose. Without a display it runs offscreen.
class KitProcess {
  public:
    struct Result {
        bool finished = false;
        QProcess::ExitStatus status = QProcess::CrashExit;
        int code = -1;
        QString out;
        QString err;
    };

    // The program in the build tree, runtime files beside it.
    static QString builtProgram();

    explicit KitProcess(QString program = builtProgram());
    ~KitProcess();
    KitProcess(const KitProcess&) = delete;
    KitProcess& operator=(const KitProcess&) = delete;

    // The private folder; the settings folder and the runtime folder are inside it.
    QString home() const { return m_home.path(); }
    // The settings file the program reads and writes.
    QString settingsFile() const;

    void setEnv(const QString& name, const QString& value) { m_env.insert(name, value); }
    // Leaves nothing to say which window system to use: the program must not need one.
    void withoutDisplay();
    // Shows the windows on `display`; error output goes to the test's own.
    void onDisplay(const VirtualDisplay& display);
    // Runs a copy of the program from a folder of its own holding only the named runtime files.
    bool copyProgramWith(const QStringList& runtimeFiles = {});

    bool start(const QStringList& arguments = {});
    // Starts, waits for the end, and collects what was printed.
    Result run(const QStringList& arguments, int timeoutMs = 30000);
    // Starts the windows, waits until the program handles SIGTERM (its windows are built and
    // the event loop is about to run), then asks it to end the way a logout does.
    Result startThenTerminate(const QStringList& arguments = {}, int timeoutMs = 60000);
    // Waits for the end (killing the program after `timeoutMs`) and collects what was printed.
    Result finish(int timeoutMs);

    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // True when the program ended normally with status 0 within `ms`; the event loop spins.
    // The waits are long because a sanitizer build on a busy machine starts and ends slowly;
    // they end as soon as what they wait for happens.
    bool endsCleanly(int ms = 20000);
    // Stays running for `ms` while the event loop spins.
    bool staysRunning(int ms);
    // The visible window titled `title` on the display, waiting up to `ms` for it; 0 when it
    // never came or the program ended.
    qulonglong waitForWindow(const QString& title, int ms = 30000) const;

  private:
    bool waitUntilCatching(int signal, int timeoutMs);

    QString m_program;
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    const VirtualDisplay* m_display = nullptr;
    QProcess m_process;
};

}  // namespace pellix::test
