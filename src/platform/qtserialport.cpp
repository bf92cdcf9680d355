#include "platform/qtserialport.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include "platform/portdiscovery.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace pellix {
namespace {

QSerialPort::Parity toQtParity(Parity parity) {
    switch (parity) {
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

[[maybe_unused]] PortTarget toTarget(const PortAssignment& table, int number) {
    const ComPort& port = table.port(number);
    return {QString::fromStdString(port.device), QString::fromStdString(port.identity),
            QString::fromStdString(table.describe(number)), port.present};
}

bool userMayUse(const QString& device) {
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(device);
    return true;
#endif
}

}  // namespace

QtSerialPort::QtSerialPort() {
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

OpenError QtSerialPort::open(const QString& device) {
    m_failure.clear();
    if (device.isEmpty()) {
        m_failure = QStringLiteral("no device has this number");
        return OpenError::NoSuchPort;
    }
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(device)) {
        m_failure = QString::fromLocal8Bit(std::strerror(ENOENT));
        return OpenError::NoSuchPort;
    }
#endif
    m_port.setPortName(device);
    applySettings(m_settings);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite)) {
        return OpenError::None;
    }
    // Some pseudo-terminal drivers answer "Invalid argument" when the line is set to the state
    // it is already in during the open; open with the port's own settings and apply ours after.
    if (m_port.errorString().contains(QLatin1String("Invalid argument"))) {
        m_port.clearError();
        QSerialPort plain;
        m_port.setBaudRate(plain.baudRate());
        m_port.setParity(plain.parity());
        m_port.setDataBits(plain.dataBits());
        m_port.setStopBits(plain.stopBits());
        if (m_port.open(QIODevice::ReadWrite)) {
            applySettings(m_settings);
            return OpenError::None;
        }
    }
    m_failure = m_port.errorString();
    switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return OpenError::NoSuchPort;
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError:
            return userMayUse(device) ? OpenError::InUse : OpenError::AccessDenied;
        case QSerialPort::UnsupportedOperationError:
            return OpenError::NoSuchPort;  // a file that is not a serial device
        default:
            return OpenError::Other;
    }
}

void QtSerialPort::close() {
    if (m_port.isOpen()) {
        m_port.close();
    }
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen();
}

bool QtSerialPort::applySettings(const LineSettings& settings) {
    m_settings = settings;
    bool ok = m_port.setBaudRate(settings.baudRate);
    ok = m_port.setParity(toQtParity(settings.parity)) && ok;
    ok = m_port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) && ok;
    ok = m_port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
         ok;
    return ok;
}

qint64 QtSerialPort::bytesAvailable() const {
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray QtSerialPort::read(qint64 maxBytes) {
    return m_port.read(maxBytes);
}

bool QtSerialPort::write(const QByteArray& bytes) {
    if (!m_port.isOpen()) {
        return false;
    }
    if (m_port.write(bytes) != bytes.size()) {
        return false;
    }
    // Out now rather than on the next turn of the event loop: an answer to the hopper must not
    // wait behind the display work of the batch that called for it. Never blocks.
    m_port.flush();
    return true;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    // A vanished device keeps raising these as fast as the event loop spins; closing at the
    // first one keeps the CPU idle and the window usable.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                      error == QSerialPort::WriteError;
    if (lost && m_port.isOpen()) {
        m_port.close();
        emit deviceLost();
    }
}

std::unique_ptr<SerialPort> QtSerialPortFactory::create() {
    return std::make_unique<QtSerialPort>();
}

PortTarget QtSerialPortFactory::target(int portNumber) const {
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("COM%1").arg(portNumber);
    return {name, name, name, true};
#else
    return toTarget(m_comPorts.table(), portNumber);
#endif
}

void QtSerialPortFactory::setLastError(int portNumber, const QString& error) {
    m_comPorts.setLastError(portNumber, error);
}

std::vector<PortTarget> QtSerialPortFactory::targets(int count) const {
#ifdef Q_OS_WIN
    return SerialPortFactory::targets(count);
#else
    // One look at the system for the whole list.
    const PortAssignment table = m_comPorts.table();
    std::vector<PortTarget> out;
    for (int n = 1; n <= count; ++n) {
        out.push_back(toTarget(table, n));
    }
    return out;
#endif
}

}  // namespace pellix
