#include "ptyport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pellix::emulator {
namespace {

void makeRaw(int fd, bool serialDevice) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        return;
    }
    ::cfmakeraw(&t);
    if (serialDevice) {
        // A real cable to the PC: the tool's own line settings, 9600 baud, even parity.
        ::cfsetspeed(&t, B9600);
        t.c_cflag |= PARENB | CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(PARODD | CSTOPB);
    }
    ::tcsetattr(fd, TCSANOW, &t);
}

}  // namespace

PtyPort::PtyPort(HopperLine& line, QString link, QString device, Log log, QObject* parent)
    : QObject(parent),
      m_line(line),
      m_link(std::move(link)),
      m_device(std::move(device)),
      m_log(std::move(log)) {
    m_pace.setSingleShot(true);
    connect(&m_pace, &QTimer::timeout, this, &PtyPort::writeNext);
}

PtyPort::~PtyPort() {
    unplug();
    if (!m_link.isEmpty()) {
        QFile::remove(m_link);
    }
}

bool PtyPort::plug() {
    if (plugged()) {
        return true;
    }
    if (!m_device.isEmpty()) {
        m_master = ::open(QFile::encodeName(m_device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0) {
            m_failure = QStringLiteral("cannot open %1: %2")
                            .arg(m_device, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        makeRaw(m_master, true);
        m_path = m_device;
    } else {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            m_failure = QStringLiteral("cannot make a pseudo-terminal: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno)));
            m_master = -1;
            return false;
        }
        makeRaw(slave, false);
        // Nobody holds the slave: its hang-up tells when the far end is open.
        ::close(slave);
        m_path = QString::fromLocal8Bit(name);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_watch >= 0) {
            ::inotify_add_watch(m_watch, name, IN_OPEN | IN_CLOSE);
            m_watcher = std::make_unique<QSocketNotifier>(m_watch, QSocketNotifier::Read);
            connect(m_watcher.get(), &QSocketNotifier::activated, this, [this] {
                char events[4096];
                while (::read(m_watch, events, sizeof events) > 0) {
                }
                checkFarEnd();
            });
        }
    }
    if (!m_link.isEmpty()) {
        // Point the link at the new device in one step, so nobody ever finds it missing.
        QDir().mkpath(QFileInfo(m_link).absolutePath());
        const QByteArray target = QFile::encodeName(m_path);
        const QByteArray temporary = QFile::encodeName(m_link + QStringLiteral(".new"));
        ::unlink(temporary.constData());
        if (::symlink(target.constData(), temporary.constData()) != 0 ||
            ::rename(temporary.constData(), QFile::encodeName(m_link).constData()) != 0) {
            m_log(QStringLiteral("cannot make the link %1 to %2: %3")
                      .arg(m_link, m_path, QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    m_reader = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_reader.get(), &QSocketNotifier::activated, this, &PtyPort::readFromFarEnd);
    if (m_device.isEmpty()) {
        m_reader->setEnabled(false);
        checkFarEnd();
    } else {
        m_farEndOpen = true;
    }
    return true;
}

void PtyPort::unplug() {
    m_pace.stop();
    m_queue.clear();
    m_reader.reset();
    m_watcher.reset();
    if (m_watch >= 0) {
        ::close(m_watch);
        m_watch = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    if (m_farEndOpen) {
        m_farEndOpen = false;
        emit farEndClosed();
    }
}

void PtyPort::checkFarEnd() {
    if (m_master < 0 || !m_device.isEmpty()) {
        return;
    }
    pollfd p{m_master, POLLIN, 0};
    ::poll(&p, 1, 0);
    const bool open = (p.revents & POLLHUP) == 0;
    if (open == m_farEndOpen) {
        return;
    }
    m_farEndOpen = open;
    m_reader->setEnabled(open);
    if (open) {
        emit farEndOpened();
        if (!m_held.empty()) {
            write(std::exchange(m_held, {}));
        }
    } else {
        // Whatever was still on its way is lost with the closed port.
        m_pace.stop();
        m_queue.clear();
        emit farEndClosed();
    }
}

void PtyPort::readFromFarEnd() {
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EIO) {
                checkFarEnd();  // the far end has just closed
            }
            return;
        }
        const Bytes in(buffer, buffer + n);
        logBytes("PC     ->", in);
        const Delivery reply = m_line.fromPc(in);
        for (const std::string& note : m_line.hopper().takeNotes()) {
            m_log(QString::fromStdString(note));
        }
        write(reply);
    }
}

void PtyPort::write(const Delivery& delivery, bool holdUntilOpen) {
    if (delivery.empty()) {
        return;
    }
    if (!m_farEndOpen) {
        checkFarEnd();  // it may have been opened since the last look
    }
    if (!plugged() || !m_farEndOpen) {
        if (holdUntilOpen && plugged()) {
            m_held.insert(m_held.end(), delivery.begin(), delivery.end());
            m_log(QStringLiteral("held until a program opens %1").arg(portName()));
        } else {
            m_log(QStringLiteral("nobody has the port open: %1 byte(s) lost")
                      .arg(joined(delivery).size()));
        }
        return;
    }
    const bool idle = m_queue.empty();
    m_queue.insert(m_queue.end(), delivery.begin(), delivery.end());
    if (idle) {
        m_pace.start(m_queue.front().delayMs);
    }
}

void PtyPort::writeNext() {
    if (m_queue.empty() || m_master < 0) {
        return;
    }
    const Chunk chunk = m_queue.front();
    m_queue.pop_front();
    logBytes("hopper ->", chunk.bytes);
    std::size_t done = 0;
    while (done < chunk.bytes.size()) {
        const ssize_t n = ::write(m_master, chunk.bytes.data() + done, chunk.bytes.size() - done);
        if (n <= 0) {
            m_log(QStringLiteral("write to %1 failed: %2")
                      .arg(portName(), QString::fromLocal8Bit(std::strerror(errno))));
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!m_queue.empty()) {
        m_pace.start(m_queue.front().delayMs);
    }
}

void PtyPort::logBytes(const char* direction, const Bytes& bytes) {
    if (m_observer) {
        m_observer(direction[0] == 'P', bytes);
    }
    if (!m_logTraffic) {
        return;
    }
    QString hex;
    for (std::uint8_t b : bytes) {
        hex += QStringLiteral(" %1").arg(b, 2, 16, QLatin1Char('0'));
    }
    m_log(QString::fromLatin1(direction) + hex.toUpper());
}

}  // namespace pellix::emulator
