#include "serial/seriallineport.h"

#include <QTimer>

namespace pellix {

SerialLinePort::SerialLinePort(Services& services, SerialLinkPolicy policy,
                               std::span<const LineTimeout> timeouts, Capture* capture,
                               QObject* parent)
    : QObject(parent), m_link(new SerialLink(services, policy, capture, this)) {
    m_link->setObjectName(QStringLiteral("MSComm1"));
    m_link->setReceiver([this](std::span<const std::uint8_t> bytes) { return feed(bytes); });
    connect(m_link, &SerialLink::batchDelivered, this, &SerialLinePort::batchHandled);
    for (std::size_t i = 0; i < timeouts.size(); ++i) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromUtf8(timeouts[i].name.data(),
                                               static_cast<qsizetype>(timeouts[i].name.size())));
        timer->setInterval(timeouts[i].milliseconds);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, i] {
            // A tick delivered by hand (tests) leaves the timer stopped all the same.
            m_timers[i]->stop();
            if (m_engine != nullptr) {
                m_engine->timeoutExpired(i);
            }
        });
        m_timers.push_back(timer);
    }
}

SerialLinePort::~SerialLinePort() = default;

FeedResult SerialLinePort::feed(std::span<const std::uint8_t> bytes) {
    if (m_engine == nullptr) {
        return {};
    }
    m_feeding = true;
    const FeedResult result = m_engine->feed(bytes);
    m_feeding = false;
    return result;
}

bool SerialLinePort::send(std::span<const std::uint8_t> bytes) {
    return m_link->WriteBytes(bytes);
}

void SerialLinePort::discardInput() {
    m_link->DiscardInput();
}

void SerialLinePort::startTimeout(std::size_t timeout) {
    if (timeout < m_timers.size()) {
        m_timers[timeout]->start();
    }
}

void SerialLinePort::stopTimeout(std::size_t timeout) {
    if (timeout < m_timers.size()) {
        m_timers[timeout]->stop();
    }
}

void SerialLinePort::stopTimeouts() {
    for (QTimer* timer : m_timers) {
        timer->stop();
    }
}

}  // namespace pellix
