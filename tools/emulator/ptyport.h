#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

#include "hopperline.h"

namespace pellix::emulator {

// Serves one hopper line on the master side of a pseudo-terminal (or on a serial device given
// by path). The program under test opens the slave side, directly or through a symbolic link
// that stays the same when the cable is pulled and plugged in again.
//
// A pseudo-terminal whose slave nobody holds open reports a hang-up, which is how the port
// sees that a program opened or closed the far end: it watches the slave for opens and closes
// and reads only while someone has it open (so a closed port costs no CPU).
class PtyPort : public QObject {
    Q_OBJECT
  public:
    using Log = std::function<void(const QString&)>;

    // `link` may be empty (no link); `device` empty means a new pseudo-terminal.
    PtyPort(HopperLine& line, QString link, QString device, Log log, QObject* parent = nullptr);
    ~PtyPort() override;

    // Opens the line; false when that fails, with failure() naming the device and the reason.
    bool plug();
    QString failure() const { return m_failure; }
    // Closes the master side: to the program on the far end the device is gone.
    void unplug();
    bool plugged() const { return m_master >= 0; }

    // The slave's path (changes at every plug) and the link to it (never changes).
    QString path() const { return m_path; }
    QString link() const { return m_link; }
    // What the far end's program should open.
    QString portName() const { return m_link.isEmpty() ? m_path : m_link; }

    // Writes a delivery chunk by chunk after each chunk's delay. With `holdUntilOpen` a delivery
    // made while nobody has the far end open waits for the next open (a power-on stream nobody
    // would hear otherwise); without it, it is lost like bytes on an unconnected cable.
    void write(const Delivery& delivery, bool holdUntilOpen = false);

    // Traffic in and out as raw bytes, told as it passes (`fromPc` for the PC's bytes); the log
    // then need not spell it out.
    using TrafficObserver = std::function<void(bool fromPc, const Bytes& bytes)>;
    void setTrafficObserver(TrafficObserver observer) { m_observer = std::move(observer); }
    void setTrafficLogged(bool logged) { m_logTraffic = logged; }

  signals:
    void farEndOpened();
    void farEndClosed();

  private:
    void readFromFarEnd();
    void checkFarEnd();
    void writeNext();
    void logBytes(const char* direction, const Bytes& bytes);

    HopperLine& m_line;
    QString m_link;
    QString m_device;
    Log m_log;
    QString m_failure;
    QString m_path;
    int m_master = -1;
    int m_watch = -1;  // inotify descriptor on the slave
    bool m_farEndOpen = false;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_watcher;
    std::deque<Chunk> m_queue;
    Delivery m_held;
    QTimer m_pace;
    TrafficObserver m_observer;
    bool m_logTraffic = true;
};

}  // namespace pellix::emulator
