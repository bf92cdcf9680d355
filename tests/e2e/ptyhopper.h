#pragma once

#include <QStringList>

#include "fakes.h"
#include "hopperline.h"
#include "ptyport.h"

namespace pellix::test {

// An emulated hopper at the far end of a real pseudo-terminal, served by the emulator's own
// port code: the tool opens the slave side through the real serial port code, the hopper answers
// on the master side from the event loop, with the emulator's fault injection at hand.
class PtyHopper {
  public:
    // With a `link`, the port is offered under that name, which survives unplug and replug.
    explicit PtyHopper(emulator::Mode mode, QString link = {},
                       emulator::Variant variant = emulator::Variant::HEarly)
        : m_line(emulator::makeHopper(mode, variant)),
          m_port(m_line, std::move(link), QString(), [this](const QString& t) { log << t; }) {
        m_port.plug();
    }

    // What the tool should open.
    QString device() const { return m_port.portName(); }
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

    // The port's log: traffic ("PC     -> ...", "hopper -> ...") and the hopper's notes.
    QStringList log;
    int hopperWrites() const {
        return static_cast<int>(log.filter(QStringLiteral("hopper ->")).size());
    }

  private:
    emulator::HopperLine m_line;
    emulator::PtyPort m_port;
};

}  // namespace pellix::test
