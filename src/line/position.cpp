#include "line/position.h"

#include <QCoreApplication>
#include <QDateTime>

#include "records/newrun.h"

namespace pellix::line {

Position::Position(PortRef ref, Resolve resolve, const MakeJob& makeJob, PositionHost& host,
                   std::unique_ptr<SerialPort> port, int hopperLimit, QObject* parent)
    : QObject(parent),
      m_ref(std::move(ref)),
      m_resolve(std::move(resolve)),
      m_host(host),
      m_port(std::move(port)),
      m_capture(
          "pellix-line",
          CaptureClock{
              [this] { return m_clock.nsecsElapsed() / 1000; },
              [] {
                  return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
              }},
          kCaptureBytes),
      m_hopperLimit(hopperLimit) {
    m_clock.start();
    m_capture.setTool("pellix-line " + QCoreApplication::applicationVersion().toStdString());
    m_job = makeJob(*this, *this, m_capture);
    for (const LineTimeout& timeout : m_job->timeouts()) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(timeout.milliseconds);
        const std::size_t index = m_timers.size();
        connect(timer, &QTimer::timeout, this, [this, index] { m_job->timeoutExpired(index); });
        m_timers.push_back(timer);
    }
    m_port->applySettings(kLine9600E81);
    connect(m_port.get(), &SerialPort::readyRead, this, &Position::readBytes);
    connect(m_port.get(), &SerialPort::deviceLost, this, &Position::lost);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &Position::tryOpen);
}

Position::~Position() = default;

void Position::start() {
    tryOpen();
}

// Opens the device, or tries again every kRetryMs until it can.
void Position::tryOpen() {
    if (m_stopped || m_port->isOpen()) {
        return;
    }
    QString why;
    const QString device = m_resolve(why);
    if (!device.isEmpty()) {
        if (m_port->open(device) == OpenError::None) {
            m_port->applySettings(kLine9600E81);
            m_retry.stop();
            m_device = device;
            m_absentWhy.clear();
            m_capture.opened(m_ref.name(), device.toStdString(), "9600,E,8,1");
            m_job->setPort(m_ref.name(), device.toStdString());
            tell(PositionEvent::Kind::Present, device.toStdString());
            return;
        }
        why = device + QStringLiteral(": ") + m_port->openFailure();
    }
    if (why != m_absentWhy) {  // told once per reason, not at every try
        m_absentWhy = why;
        tell(PositionEvent::Kind::Absent, why.toStdString());
    }
    if (!m_retry.isActive()) {
        m_retry.start();  // tried again until it opens
    }
}

void Position::readBytes() {
    const QByteArray data = m_port->read(m_port->bytesAvailable());
    if (data.isEmpty()) {
        return;
    }
    const auto bytes =
        std::span(reinterpret_cast<const std::uint8_t*>(data.constData()), data.size());
    m_capture.received(bytes);
    if (m_job->feed(bytes).stop && m_port->isOpen()) {
        discardInput();
    }
}

void Position::lost() {
    m_capture.lost();
    m_job->abandon("the hopper was unplugged (" + m_device.toStdString() + " went away)");
    m_device.clear();
    if (m_stopping) {
        close();
        return;
    }
    tryOpen();
}

bool Position::send(std::span<const std::uint8_t> bytes) {
    if (!m_port->write(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                  static_cast<qsizetype>(bytes.size())))) {
        return false;
    }
    m_capture.sent(bytes);
    return true;
}

void Position::discardInput() {
    const QByteArray dropped = m_port->read(m_port->bytesAvailable());
    if (!dropped.isEmpty()) {
        m_capture.discarded(static_cast<std::size_t>(dropped.size()));
    }
}

void Position::startTimeout(std::size_t timeout) {
    m_timers.at(timeout)->start();
}

void Position::stopTimeout(std::size_t timeout) {
    m_timers.at(timeout)->stop();
}

void Position::runStarted() {
    m_capture.note("a hopper's stream began on " + m_device.toStdString());
    tell(PositionEvent::Kind::Started);
}

void Position::phaseChanged(std::string_view phase) {
    tell(PositionEvent::Kind::Phase, std::string(phase));
    if (phase == "waiting" && m_stopping) {
        close();
    }
}

void Position::runFinished(records::ServiceRun run) {
    run.capture = records::captureText(&m_capture);
    m_capture.clear();  // each run keeps the traffic since the one before ended
    PositionEvent event{PositionEvent::Kind::Finished, {}, &run};
    m_host.positionEvent(*this, event);
    if (m_hopperLimit > 0 && ++m_hoppers >= m_hopperLimit) {
        m_stopping = true;  // closes once the job is back to waiting
    }
}

void Position::stopWhenIdle() {
    m_stopping = true;
    if (!m_job->running()) {
        close();
    }
}

void Position::stopNow(const std::string& why) {
    m_stopping = true;
    m_job->abandon(why);
    close();
}

void Position::close() {
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    m_retry.stop();
    for (QTimer* timer : m_timers) {
        timer->stop();
    }
    if (m_port->isOpen()) {
        m_port->close();
        m_capture.closed();
    }
    tell(PositionEvent::Kind::Stopped);
}

void Position::tell(PositionEvent::Kind kind, std::string text) {
    m_host.positionEvent(*this, PositionEvent{kind, std::move(text), nullptr});
}

}  // namespace pellix::line
