#include "serial/seriallink.h"
#include "platform/qttext.h"

#include <QTimer>

#include "capture/capture.h"
#include "platform/devicenode.h"
#include "platform/services.h"
#include "serial/reconnectwatch.h"

namespace pellix {
namespace {

// "9600,E,8,1", as the capture file names the line.
std::string settingsText(const LineSettings& s) {
    static constexpr char kParity[] = "NEOMS";
    return std::to_string(s.baudRate) + ',' + kParity[static_cast<int>(s.parity)] + ',' +
           std::to_string(s.dataBits) + ',' + std::to_string(s.stopBits);
}

}  // namespace
namespace texts = serial::texts;

SerialLink::SerialLink(Services& services, SerialLinkPolicy policy, Capture* capture,
                       QObject* parent)
    : QObject(parent),
      m_services(services),
      m_policy(policy),
      m_port(services.ports.create()),
      m_capture(capture),
      m_portNumber(policy.initialPortNumber),
      m_reconnect(new ReconnectWatch(services.ports, this)) {
    connect(m_port.get(), &SerialPort::readyRead, this, &SerialLink::drain);
    connect(m_port.get(), &SerialPort::deviceLost, this, &SerialLink::onDeviceLost);
    connect(m_reconnect, &ReconnectWatch::deviceBack, this, &SerialLink::onDeviceBack);
}

SerialLink::~SerialLink() {
    Close();
}

PortTarget SerialLink::target(int portNumber) const {
    return m_services.ports.target(portNumber);
}

std::vector<PortTarget> SerialLink::targets(int count) const {
    return m_services.ports.targets(count);
}

SelectResult SerialLink::SelectPort(int chooserPosition) {
    if (m_policy.clearClipboardOnSelect) {
        m_services.clipboard.clear();
    }
    Close();
    m_portNumber = chooserPosition + 1;
    const PortTarget target = m_services.ports.target(m_portNumber);
    const QString& device = target.device;
    const OpenError error = m_port->open(device);
    noteOpenOutcome(device, error);
    switch (error) {
        case OpenError::None:
            m_openDevice = device;
            m_openIdentity = target.identity;
            m_openNode = deviceNode(device);
            m_port->applySettings(m_settings);
            if (m_capture) {
                m_capture->opened(QStringLiteral("COM%1").arg(m_portNumber).toStdString(),
                                  device.toStdString(), settingsText(m_settings));
            }
            emit panelTextChanged(toQString(texts::kPanelOpen));
            // Bytes that were already waiting when the port opened get no fresh notification.
            if (m_port->bytesAvailable() > 0) {
                QTimer::singleShot(0, this, &SerialLink::drain);
            }
            return SelectResult::Opened;
        case OpenError::NoSuchPort:
            m_services.messages.show(toQString(texts::kPortNumberError),
                                     toQString(texts::kErrorTitle), MessageIcon::Critical);
            break;
        case OpenError::InUse:
            m_services.messages.show(toQString(texts::kPortInUse), toQString(texts::kErrorTitle),
                                     MessageIcon::Critical);
            break;
        case OpenError::AccessDenied:
            m_services.messages.show(toQString(texts::kNoPermission).arg(device).arg(m_portNumber),
                                     toQString(texts::kErrorTitle), MessageIcon::Critical);
            break;
        case OpenError::Other:
            // No message for it, but the old port is closed by now and the panel says so.
            emit panelTextChanged(toQString(texts::kPanelClosed));
            return SelectResult::OtherError;
    }
    emit panelTextChanged(toQString(texts::kPanelClosed));
    return SelectResult::PortError;
}

// The defined messages name neither the device nor the reason; the capture and the Serial
// Ports window's row for the port do.
void SerialLink::noteOpenOutcome(const QString& device, OpenError error) {
    if (error == OpenError::None) {
        m_services.ports.setLastError(m_portNumber, {});
        return;
    }
    QString why = m_port->openFailure();
    if (why.isEmpty()) {
        why = QStringLiteral("could not be opened");
    }
    const QString what = device.isEmpty() ? why : QStringLiteral("%1: %2").arg(device, why);
    m_services.ports.setLastError(m_portNumber, what);
    if (m_capture) {
        m_capture->note(
            QStringLiteral("COM%1 not opened: %2").arg(m_portNumber).arg(what).toStdString());
    }
}

void SerialLink::Configure(const LineSettings& settings) {
    const bool changed = !(settings == m_settings);
    m_settings = settings;
    m_port->applySettings(m_settings);
    if (changed && m_capture && IsOpen()) {
        m_capture->settingsChanged(settingsText(m_settings));
    }
}

std::optional<SelectResult> SerialLink::reopenWith(const LineSettings& settings) {
    const bool wasOpen = IsOpen();
    Close();
    Configure(settings);
    if (!wasOpen) {
        return std::nullopt;
    }
    return SelectPort(m_portNumber - 1);
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

void SerialLink::DiscardInput() {
    std::size_t dropped = 0;
    while (m_port->bytesAvailable() > 0) {
        dropped += static_cast<std::size_t>(m_port->read(m_port->bytesAvailable()).size());
    }
    if (m_capture && IsOpen()) {
        m_capture->discarded(dropped);
    }
}

void SerialLink::Close() {
    // A window that closes its port no longer waits for a lost device.
    m_reconnect->stop();
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
    // Everything waiting in one read; the receiver stops the delivery right after a byte that
    // discarded the input or closed the port, and the rest of the batch goes with the discard.
    while (m_port->isOpen() && m_port->bytesAvailable() > 0) {
        const QByteArray batch = m_port->read(m_port->bytesAvailable());
        if (batch.isEmpty()) {
            break;
        }
        emit bytesRead(batch);
        const std::span bytes(reinterpret_cast<const std::uint8_t*>(batch.constData()),
                              static_cast<std::size_t>(batch.size()));
        if (m_capture) {
            // Recorded before the engine sees them, so its notes on the bytes attach to them.
            m_capture->received(bytes);
        }
        if (m_receiver && m_receiver(bytes).stop) {
            break;
        }
    }
    m_draining = false;
    emit batchDelivered();
}

void SerialLink::onDeviceLost() {
    if (m_capture) {
        m_capture->lost();
    }
    emit panelTextChanged(toQString(texts::kPanelClosed));
    emit portLost();
    // Watched from now on, so a replug while the box below is still up reopens the port: the
    // box only informs.
    m_reconnect->watch(m_portNumber, m_openIdentity);
    // The port is closed already, so this is said once per loss however the device failed.
    m_services.messages.show(toQString(texts::kDeviceGone).arg(m_openDevice).arg(m_portNumber),
                             toQString(texts::kErrorTitle), MessageIcon::Critical);
}

void SerialLink::onDeviceBack(const PortTarget& target) {
    // A stable identity (an adapter's serial number) already says it is the same device. A
    // port known only by its path reopens only the same device: another program's
    // pseudo-terminal that took the freed node, or something else now at the path, is left
    // alone and the watch goes on.
    const DeviceNode now = deviceNode(target.device);
    if (target.identity == target.device && !mayBeTheSameDevice(m_openNode, now)) {
        return;
    }
    if (m_port->isOpen() || m_port->open(target.device) != OpenError::None) {
        return;  // still busy or not ready yet (permissions settle after a plug): next look
    }
    m_reconnect->stop();
    m_openDevice = target.device;
    m_openNode = now;
    m_port->applySettings(m_settings);
    if (m_capture) {
        m_capture->reopened(target.device.toStdString());
    }
    emit panelTextChanged(toQString(texts::kPanelOpen));
    emit portReopened();
    if (m_port->bytesAvailable() > 0) {
        QTimer::singleShot(0, this, &SerialLink::drain);
    }
}

}  // namespace pellix
