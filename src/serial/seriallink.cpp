#include "serial/seriallink.h"

#include <QTimer>

#include "platform/services.h"
#include "serial/capture.h"
#include "serial/capturebook.h"

namespace pellix {
namespace {

const QString kErrorTitle = QStringLiteral("Error");

}  // namespace

SerialLink::SerialLink(Services& services, SerialLinkPolicy policy, QObject* parent)
    : QObject(parent),
      m_services(services),
      m_policy(policy),
      m_port(services.ports.create()),
      m_portNumber(policy.initialPortNumber) {
    if (services.captures) {
        m_capture = services.captures->building();
    }
    connect(m_port.get(), &SerialPort::readyRead, this, &SerialLink::drain);
    connect(m_port.get(), &SerialPort::deviceLost, this, &SerialLink::onDeviceLost);
}

SerialLink::~SerialLink() {
    Close();
}

QString SerialLink::deviceFor(int portNumber) const {
    return m_services.ports.deviceFor(portNumber);
}

SelectResult SerialLink::SelectPort(int chooserPosition) {
    if (m_policy.clearClipboardOnSelect) {
        m_services.clipboard.clear();
    }
    Close();
    m_portNumber = chooserPosition + 1;
    const QString device = deviceFor(m_portNumber);
    switch (m_port->open(device)) {
        case OpenError::None:
            applyLineSettings();
            if (m_capture) {
                m_capture->opened(QStringLiteral("COM%1").arg(m_portNumber).toStdString(),
                                  device.toStdString(), m_settings.toStdString());
            }
            emit panelTextChanged(kPanelOpen);
            // Bytes that were already waiting when the port opened get no fresh notification.
            if (m_port->bytesAvailable() > 0) {
                QTimer::singleShot(0, this, &SerialLink::drain);
            }
            return SelectResult::Opened;
        case OpenError::NoSuchPort:
            m_services.messages.show(QStringLiteral("Port Number Error"), kErrorTitle,
                                     MessageIcon::Critical);
            break;
        case OpenError::InUse:
            m_services.messages.show(QStringLiteral("Port Already In Use"), kErrorTitle,
                                     MessageIcon::Critical);
            break;
        case OpenError::AccessDenied:
            m_services.messages.show(
                QStringLiteral("No permission to use the serial device %1 (COM%2).\n"
                               "Add your user to the group that owns it (usually \"dialout\": "
                               "sudo adduser $USER dialout), then log in again.")
                    .arg(device)
                    .arg(m_portNumber),
                kErrorTitle, MessageIcon::Critical);
            break;
        case OpenError::Other:
            // No message for it, but the old port is closed by now and the panel says so.
            emit panelTextChanged(kPanelClosed);
            return SelectResult::OtherError;
    }
    emit panelTextChanged(kPanelClosed);
    return SelectResult::PortError;
}

void SerialLink::Configure(const QString& settings, InputMode mode, int readLength,
                           int receiveThreshold, int sendThreshold) {
    m_inputMode = mode;
    m_readLength = readLength;
    m_receiveThreshold = receiveThreshold;
    m_sendThreshold = sendThreshold;
    setSettings(settings);
}

void SerialLink::setSettings(const QString& settings) {
    const bool changed = settings != m_settings;
    m_settings = settings;
    applyLineSettings();
    if (changed && m_capture && IsOpen()) {
        m_capture->settingsChanged(m_settings.toStdString());
    }
}

void SerialLink::applyLineSettings() {
    if (const auto parsed = LineSettings::parse(m_settings)) {
        m_port->applySettings(*parsed);
    }
}

bool SerialLink::WriteBytes(std::span<const std::uint8_t> bytes) {
    if (!IsOpen()) {
        return false;
    }
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    if (!m_port->write(data)) {
        // A port that cannot take bytes any more is treated like an unplugged adapter.
        if (m_port->isOpen()) {
            m_port->close();
            onDeviceLost();
        }
        return false;
    }
    if (m_capture) {
        m_capture->sent(bytes);
    }
    return true;
}

int SerialLink::BytesAvailable() const {
    const qint64 n = m_port->bytesAvailable();
    return n > 0x7FFF ? 0x7FFF : static_cast<int>(n);
}

std::vector<std::uint8_t> SerialLink::ReadBytes() {
    if (!m_port->isOpen()) {
        return {};
    }
    const QByteArray data =
        m_port->read(m_readLength > 0 ? m_readLength : m_port->bytesAvailable());
    return {data.begin(), data.end()};
}

void SerialLink::DiscardInput() {
    // Text mode and read everything, then back to one byte per read: whatever the window had
    // configured, the reads after a discard deliver single bytes.
    m_inputMode = InputMode::Text;
    m_readLength = 0;
    std::size_t dropped = 0;
    while (m_port->bytesAvailable() > 0) {
        dropped += static_cast<std::size_t>(m_port->read(m_port->bytesAvailable()).size());
    }
    if (m_capture && IsOpen()) {
        m_capture->discarded(dropped);
    }
    m_inputMode = InputMode::Bytes;
    m_readLength = 1;
}

void SerialLink::Close() {
    if (m_port->isOpen()) {
        m_port->close();
        if (m_capture) {
            m_capture->closed();
        }
    }
}

bool SerialLink::IsOpen() const {
    return m_port->isOpen();
}

void SerialLink::drain() {
    // A message box opened by a byte handler runs a nested event loop; the outer loop keeps
    // reading, so a nested notification has nothing to add.
    if (m_draining) {
        return;
    }
    m_draining = true;
    // One byte per read whatever the read length, so a handler that discards the input or
    // closes the port stops the delivery right after its byte.
    while (m_port->isOpen() && m_port->bytesAvailable() > 0) {
        const QByteArray byte = m_port->read(1);
        if (byte.isEmpty()) {
            break;
        }
        if (m_capture) {
            // Recorded before the engine sees it, so its notes on the byte attach to it.
            m_capture->received(std::span(reinterpret_cast<const std::uint8_t*>(byte.data()), 1));
        }
        emit byteReceived(static_cast<std::uint8_t>(byte.at(0)));
    }
    m_draining = false;
}

void SerialLink::onDeviceLost() {
    if (m_capture) {
        m_capture->lost();
    }
    emit panelTextChanged(kPanelClosed);
    emit portLost();
    // The port is closed already, so this is said once per loss however the device failed.
    m_services.messages.show(QStringLiteral("The serial device %1 (COM%2) is gone; the port was "
                                            "closed. Pick the port again once it is back.")
                                 .arg(deviceFor(m_portNumber))
                                 .arg(m_portNumber),
                             kErrorTitle, MessageIcon::Critical);
}

}  // namespace pellix
