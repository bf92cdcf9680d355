#include "platform/qtserialport.h"

#include <QFileInfo>
#include <QProcessEnvironment>

#include "common/settingskeys.h"
#include "platform/services.h"

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
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(device)) {
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
    return m_port.write(bytes) == bytes.size();
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

QString QtSerialPortFactory::deviceFor(int portNumber) const {
    const QString name = QStringLiteral("COM%1").arg(portNumber);
#ifdef Q_OS_WIN
    return name;
#else
    const QString fromEnv = qEnvironmentVariable(qPrintable(QStringLiteral("PELLIX_") + name));
    if (!fromEnv.isEmpty()) {
        return fromEnv;
    }
    const QString fromSettings = m_settings.value(
        QString::fromLatin1(keys::kPortDevicePrefix) + QString::number(portNumber), QString());
    if (!fromSettings.isEmpty()) {
        return fromSettings;
    }
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

}  // namespace pellix
