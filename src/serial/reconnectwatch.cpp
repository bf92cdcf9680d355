#include "serial/reconnectwatch.h"

#include <QTimer>

namespace pellix {

ReconnectWatch::ReconnectWatch(const SerialPortFactory& ports, QObject* parent)
    : QObject(parent), m_ports(ports), m_timer(new QTimer(this)) {
    m_timer->setObjectName(QStringLiteral("ReconnectTimer"));
    m_timer->setInterval(kIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &ReconnectWatch::poll);
}

void ReconnectWatch::watch(int portNumber, const QString& identity) {
    m_portNumber = portNumber;
    m_identity = identity;
    if (!m_identity.isEmpty()) {
        m_timer->start();
    }
}

void ReconnectWatch::stop() {
    m_timer->stop();
}

bool ReconnectWatch::watching() const {
    return m_timer->isActive();
}

void ReconnectWatch::poll() {
    if (!watching()) {
        return;  // stopped while the tick was queued
    }
    const PortTarget target = m_ports.target(m_portNumber);
    if (target.present && target.identity == m_identity && !target.device.isEmpty()) {
        emit deviceBack(target);
    }
}

}  // namespace pellix
