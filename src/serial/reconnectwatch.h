#pragma once

#include <QObject>
#include <QString>

#include "platform/serialport.h"

class QTimer;

namespace pellix {

// Waits for a lost device to come back. While watching it asks once a second what the port
// number stands for and reports when the same device (by its stable identity) is there again;
// nothing runs while it is not watching, so a port that stays lost costs one look a second.
class ReconnectWatch : public QObject {
    Q_OBJECT
  public:
    static constexpr int kIntervalMs = 1000;

    ReconnectWatch(const SerialPortFactory& ports, QObject* parent = nullptr);

    void watch(int portNumber, const QString& identity);
    void stop();
    bool watching() const;

  signals:
    void deviceBack(const pellix::PortTarget& target);

  private:
    void poll();

    const SerialPortFactory& m_ports;
    QTimer* m_timer = nullptr;
    int m_portNumber = 0;
    QString m_identity;
};

}  // namespace pellix
