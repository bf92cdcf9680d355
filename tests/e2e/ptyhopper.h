#pragma once

#include <memory>

#include "fakes.h"
#include "hopperline.h"
#include "ptyport.h"

namespace pellix::test {

// An emulated hopper at the far end of a real pseudo-terminal, served by the emulator's own
// port code: the tool opens the slave side through the real serial port code, the hopper answers
// on the master side from the event loop, with the emulator's fault injection at hand.
class PtyHopper {
  public:
    explicit PtyHopper(emulator::Mode mode, emulator::Variant variant = emulator::Variant::HEarly)
        : m_line(emulator::makeHopper(mode, variant)),
          m_port(m_line, QString(), QString(), [](const QString&) {}) {
        m_port.plug();
    }

    QString device() const { return m_port.path(); }
    emulator::Hopper& hopper() { return m_line.hopper(); }
    emulator::HopperLine& line() { return m_line; }
    emulator::PtyPort& port() { return m_port; }
    template <typename T>
    T& as() {
        return static_cast<T&>(m_line.hopper());
    }
    // The power-on stream waits until the tool has the port open.
    void powerOn() { m_port.write(m_line.powerOn(), true); }
    void send(const emulator::Bytes& bytes) { m_port.write({{0, bytes}}); }

  private:
    emulator::HopperLine m_line;
    emulator::PtyPort m_port;
};

}  // namespace pellix::test
