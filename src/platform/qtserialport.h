#pragma once

#include <QSerialPort>

#include "platform/serialport.h"

namespace pellix {

class SettingsStore;

class QtSerialPort final : public SerialPort {
    Q_OBJECT
  public:
    QtSerialPort();
    OpenError open(const QString& device) override;
    void close() override;
    bool isOpen() const override;
    bool applySettings(const LineSettings& settings) override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxBytes) override;
    bool write(const QByteArray& bytes) override;

  private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    LineSettings m_settings;
};

// Resolves "COMn": on Windows the name itself; elsewhere $PELLIX_COMn, then the setting
// "Ports/COMn", then /dev/ttyS<n-1>.
class QtSerialPortFactory final : public SerialPortFactory {
  public:
    explicit QtSerialPortFactory(const SettingsStore& settings) : m_settings(settings) {}
    std::unique_ptr<SerialPort> create() override;
    QString deviceFor(int portNumber) const override;

  private:
    const SettingsStore& m_settings;
};

}  // namespace pellix
