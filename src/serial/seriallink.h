#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/serialport.h"

namespace pellix {

struct Services;
class Capture;

inline const QString kPanelOpen = QStringLiteral("RS232 開啟");
inline const QString kPanelClosed = QStringLiteral("RS232 關閉");

enum class InputMode { Text, Bytes };

// How one window's link differs from the others.
struct SerialLinkPolicy {
    int initialPortNumber = 1;
    // The coin number setting window empties the clipboard on every port selection.
    bool clearClipboardOnSelect = false;
};

enum class SelectResult {
    Opened,
    PortError,   // "Port Number Error", "Port Already In Use" or no access: the port stays closed
    OtherError,  // ended silently (no message); the port is closed and the panel says so
};

// The serial port of one tool window: opening on the operator's pick, the two port errors,
// line settings, byte-wise reading and writing. Received bytes are drained on the port's
// ready-read notification and handed out one at a time through byteReceived().
class SerialLink : public QObject {
    Q_OBJECT
  public:
    SerialLink(Services& services, SerialLinkPolicy policy, QObject* parent = nullptr);
    ~SerialLink() override;

    SelectResult SelectPort(int chooserPosition);
    void Configure(const QString& settings, InputMode mode, int readLength, int receiveThreshold,
                   int sendThreshold);
    // Changes only the line settings, keeping the rest of the configuration.
    void setSettings(const QString& settings);
    bool WriteBytes(std::span<const std::uint8_t> bytes);
    bool WriteByte(std::uint8_t byte) { return WriteBytes(std::span(&byte, 1)); }
    int BytesAvailable() const;
    std::vector<std::uint8_t> ReadBytes();
    void DiscardInput();
    void Close();

    bool IsOpen() const;
    int PortNumber() const { return m_portNumber; }
    QString Settings() const { return m_settings; }
    InputMode inputMode() const { return m_inputMode; }
    int readLength() const { return m_readLength; }
    QString deviceFor(int portNumber) const;
    // Where this port's traffic is recorded; none unless the window was built with one.
    Capture* capture() const { return m_capture; }

  signals:
    void byteReceived(std::uint8_t byte);
    // Panel 1 of the window's status bar.
    void panelTextChanged(const QString& text);
    // The device vanished while open; the port is closed and the panel says so.
    void portLost();

  private:
    void drain();
    void onDeviceLost();
    void applyLineSettings();

    Services& m_services;
    SerialLinkPolicy m_policy;
    std::unique_ptr<SerialPort> m_port;
    Capture* m_capture = nullptr;
    int m_portNumber = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    InputMode m_inputMode = InputMode::Text;
    int m_readLength = 0;
    int m_receiveThreshold = 0;
    int m_sendThreshold = 0;
    bool m_draining = false;
};

}  // namespace pellix
