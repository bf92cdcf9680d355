#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/lineport.h"
#include "platform/devicenode.h"
#include "platform/serialport.h"
#include "serial/serialtexts.h"

namespace pellix {

struct Services;
class Capture;
class ReconnectWatch;

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
// line settings, reading and writing. On the port's ready-read notification everything waiting is
// read in one call and handed to the receiver, which says whether the rest must be dropped.
class SerialLink : public QObject {
    Q_OBJECT
  public:
    SerialLink(Services& services, SerialLinkPolicy policy, Capture* capture = nullptr,
               QObject* parent = nullptr);
    ~SerialLink() override;

    SelectResult SelectPort(int chooserPosition);
    // Sets the line parameters; an open port takes them at once.
    void Configure(const LineSettings& settings);
    // A new line speed the way the hopper tools have always taken it: an open port is closed,
    // set and opened again (the result of that opening); a closed port only takes the settings.
    std::optional<SelectResult> reopenWith(const LineSettings& settings);
    bool WriteBytes(std::span<const std::uint8_t> bytes);
    int BytesAvailable() const;
    void DiscardInput();
    void Close();

    bool IsOpen() const;
    int PortNumber() const { return m_portNumber; }
    // The device the port was opened on; empty while closed.
    const QString& openDevice() const { return m_openDevice; }
    LineSettings Settings() const { return m_settings; }
    PortTarget target(int portNumber) const;
    std::vector<PortTarget> targets(int count) const;
    // Where this port's traffic is recorded; none unless the window was given one.
    Capture* capture() const { return m_capture; }

    // Takes every batch read; a stop result drops the rest of the batch and ends the reading.
    using Receiver = std::function<FeedResult(std::span<const std::uint8_t>)>;
    void setReceiver(Receiver receiver) { m_receiver = std::move(receiver); }

  signals:
    // Every batch read from the port, before the receiver sees it.
    void bytesRead(const QByteArray& bytes);
    // Everything waiting when the port signalled has been handed to the receiver: a window that
    // gathers what its bytes change shows it now, once per batch rather than once per byte.
    void batchDelivered();
    // Panel 1 of the window's status bar.
    void panelTextChanged(const QString& text);
    // The device vanished while open; the port is closed and the panel says so.
    void portLost();
    // The lost device came back and the port is open again with the same line settings; for
    // the window this is a fresh start, as after a pick.
    void portReopened();

  private:
    void noteOpenOutcome(const QString& device, OpenError error);
    void drain();
    void onDeviceLost();
    void onDeviceBack(const PortTarget& target);

    Services& m_services;
    SerialLinkPolicy m_policy;
    std::unique_ptr<SerialPort> m_port;
    Capture* m_capture = nullptr;
    int m_portNumber = 1;
    LineSettings m_settings;
    Receiver m_receiver;
    bool m_draining = false;
    // What the open port stands for, to recognise the device after a replug.
    QString m_openDevice;
    QString m_openIdentity;
    DeviceNode m_openNode;
    ReconnectWatch* m_reconnect = nullptr;
};

}  // namespace pellix
