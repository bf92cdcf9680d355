#pragma once

#include <QSerialPort>

#include "platform/serialport.h"

namespace pellix {

class ComPortMap;

class QtSerialPort final : public SerialPort {
    Q_OBJECT
  public:
    QtSerialPort();
    OpenError open(const QString& device) override;
    QString openFailure() const override { return m_failure; }
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
    QString m_failure;
};

// Resolves "COMn": on Windows the name itself; elsewhere through the machine's COM numbers
// (ComPortMap).
class QtSerialPortFactory final : public SerialPortFactory {
  public:
    explicit QtSerialPortFactory(const ComPortMap& comPorts) : m_comPorts(comPorts) {}
    std::unique_ptr<SerialPort> create() override;
    PortTarget target(int portNumber) const override;
    std::vector<PortTarget> targets(int count) const override;
    void setLastError(int portNumber, const QString& error) override;

  private:
    const ComPortMap& m_comPorts;
};

}  // namespace pellix
