#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

#include "common/linesettings.h"

namespace pellix {

// Why an open failed, in the terms the operator is told about.
enum class OpenError {
    None,
    NoSuchPort,    // missing device or not a serial device ("Port Number Error")
    InUse,         // locked or busy ("Port Already In Use")
    AccessDenied,  // the user may not use the device (permissions)
    Other,
};

// One serial device. The Qt implementation wraps QSerialPort; tests use an in-memory fake.
class SerialPort : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    virtual OpenError open(const QString& device) = 0;
    // The system's words for why the last open failed ("Permission denied"); the defined
    // messages never say it, the capture and the Serial Ports window do.
    virtual QString openFailure() const = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool applySettings(const LineSettings& settings) = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    virtual bool write(const QByteArray& bytes) = 0;

  signals:
    void readyRead();
    // The device went away while open (adapter unplugged, pty closed).
    void deviceLost();
};

// What a chooser entry "COMn" stands for right now.
struct PortTarget {
    QString device;    // what opening the entry opens; empty when nothing can be opened
    QString identity;  // recognises the same device after a replug, whatever node it gets
    QString label;     // the device in one line, for the entry's tooltip
    bool present = false;
};

class SerialPortFactory {
  public:
    virtual ~SerialPortFactory() = default;
    virtual std::unique_ptr<SerialPort> create() = 0;
    virtual PortTarget target(int portNumber) const = 0;
    // COM1 .. COM<count> at one look.
    virtual std::vector<PortTarget> targets(int count) const;
    // What the last open of COM`portNumber` in this run ran into, empty once one succeeded;
    // kept for the Serial Ports window, never stored.
    virtual void setLastError(int portNumber, const QString& error) = 0;
    QString deviceFor(int portNumber) const { return target(portNumber).device; }
};

}  // namespace pellix
