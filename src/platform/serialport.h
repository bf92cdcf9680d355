#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

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

class SerialPortFactory {
  public:
    virtual ~SerialPortFactory() = default;
    virtual std::unique_ptr<SerialPort> create() = 0;
    // The device a chooser entry "COMn" stands for.
    virtual QString deviceFor(int portNumber) const = 0;
};

}  // namespace pellix
