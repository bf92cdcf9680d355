#include "fakes.h"

#include <QCoreApplication>

namespace pellix::test {

FixedProgramFolder::FixedProgramFolder() {
    m_path = qEnvironmentVariable("PELLIX_RUNTIME_DIR");
    if (m_path.isEmpty()) {
        m_path = QCoreApplication::applicationDirPath();
    }
}

OpenError FakeSerialPort::open(const QString& device) {
    const OpenError error = m_factory.m_openErrors.value(device, OpenError::None);
    m_failure = error == OpenError::None ? QString() : QStringLiteral("refused by the test");
    if (error != OpenError::None) {
        return error;
    }
    if (m_factory.m_openDevices.contains(device)) {
        m_failure = QStringLiteral("held by another port");
        return OpenError::InUse;
    }
    m_open = true;
    m_device = device;
    m_factory.m_openDevices.append(device);
    return OpenError::None;
}

void FakeSerialPort::close() {
    if (m_open) {
        m_open = false;
        m_factory.m_openDevices.removeOne(m_device);
    }
}

bool FakeSerialPort::write(const QByteArray& bytes) {
    if (!m_open || m_failWrites) {
        return false;
    }
    m_written += bytes;
    m_writes.append(bytes);
    return true;
}

void FakeSerialPort::inject(const QByteArray& bytes) {
    m_incoming += bytes;
    if (m_open) {
        emit readyRead();
    }
}

void FakeSerialPort::unplug() {
    if (m_open) {
        close();
        emit deviceLost();
    }
}

std::unique_ptr<SerialPort> FakeSerialPortFactory::create() {
    auto port = std::make_unique<FakeSerialPort>(*this);
    m_ports.append(port.get());
    QObject::connect(port.get(), &QObject::destroyed,
                     [this, raw = port.get()] { m_ports.removeOne(raw); });
    return port;
}

}  // namespace pellix::test
