#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

namespace pellix::test {

// A pseudo-terminal pair standing in for a serial device: `device` is the name a link or the
// program opens, as it would a real adapter; `master` is the far end of the cable, which the test
// reads and writes without blocking. The slave side is closed at once unless asked to stay open
// (raw, as a device the emulator serves).
struct Pty {
    enum class Slave { Closed, KeptOpen, KeptOpenRaw };

    explicit Pty(Slave slave = Slave::Closed);
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master >= 0; }
    void closeMaster();
    // Writes all of `bytes` to the far end; false when the pty took less.
    bool send(const QByteArray& bytes) const;
    // Everything written to the device, waiting up to `timeoutMs` for `expected` bytes while the
    // event loop runs.
    QByteArray receive(int expected, int timeoutMs = 2000) const;
    termios lineSettings() const;

    int master = -1;
    int slave = -1;
    QString device;
};

}  // namespace pellix::test
