#include "ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace pellix::test {

Pty::Pty(Slave keep) {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    device = QString::fromLocal8Bit(name);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // A program the test starts must not inherit either end: it would hold the device open.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    if (keep == Slave::KeptOpenRaw) {
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
    } else if (keep == Slave::Closed) {
        ::close(slave);
        slave = -1;
    }
}

Pty::~Pty() {
    closeMaster();
    if (slave >= 0) {
        ::close(slave);
    }
}

void Pty::closeMaster() {
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
}

bool Pty::send(const QByteArray& bytes) const {
    return ::write(master, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
}

QByteArray Pty::receive(int expected, int timeoutMs) const {
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (out.size() < expected && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        char buffer[256];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, n);
        } else {
            QThread::msleep(2);
        }
    }
    return out;
}

termios Pty::lineSettings() const {
    termios t{};
    ::tcgetattr(master, &t);
    return t;
}

}  // namespace pellix::test
