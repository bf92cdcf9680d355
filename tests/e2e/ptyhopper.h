#pragma once

#include <QSocketNotifier>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

#include "fakes.h"
#include "hopperemulator.h"

namespace pellix::test {

// An emulated hopper at the far end of a real pseudo-terminal: the tool opens the slave side
// through the real serial port code, the hopper answers on the master side from the event loop.
class PtyHopper {
  public:
    explicit PtyHopper(emulator::Mode mode) : m_hopper(emulator::makeHopper(mode)) {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            return;
        }
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        m_slaveFd = slave;  // kept open so the device survives the tool closing it
        m_slave = QString::fromLocal8Bit(name);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { pump(); });
    }
    ~PtyHopper() {
        m_notifier.reset();
        ::close(m_master);
        ::close(m_slaveFd);
    }

    QString device() const { return m_slave; }
    emulator::Hopper& hopper() { return *m_hopper; }
    template <typename T>
    T& as() {
        return static_cast<T&>(*m_hopper);
    }
    void powerOn() { send(m_hopper->powerOn()); }
    void send(const emulator::Bytes& bytes) {
        if (!bytes.empty()) {
            [[maybe_unused]] const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        }
    }

  private:
    void pump() {
        std::uint8_t buffer[512];
        ssize_t n;
        while ((n = ::read(m_master, buffer, sizeof buffer)) > 0) {
            send(m_hopper->receive(std::span(buffer, static_cast<std::size_t>(n))));
        }
    }

    std::unique_ptr<emulator::Hopper> m_hopper;
    int m_master = -1;
    int m_slaveFd = -1;
    QString m_slave;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace pellix::test
