#pragma once

#include <QObject>

#include <span>
#include <vector>

#include "common/lineport.h"
#include "serial/seriallink.h"

class QTimer;

namespace pellix {

// The line port of one tool window: owns the window's SerialLink and one single-shot QTimer per
// time-out of its engine (named after the timer control). Received bytes go from the link to
// the engine and the engine's answers back to the link, never through the window.
class SerialLinePort final : public QObject, public LinePort {
    Q_OBJECT
  public:
    // `capture`, when given, records the port's traffic; the engine's notes go there too, made
    // by whoever builds the window from the engine's view events.
    SerialLinePort(Services& services, SerialLinkPolicy policy,
                   std::span<const LineTimeout> timeouts = {}, Capture* capture = nullptr,
                   QObject* parent = nullptr);
    ~SerialLinePort() override;

    SerialLink& link() { return *m_link; }
    // Bytes received before an engine is set are read and dropped.
    void setEngine(LineEngine* engine) { m_engine = engine; }
    // Stops every time-out, e.g. when the window closes.
    void stopTimeouts();
    // True while the engine handles received bytes: a window holds what it is told to show
    // until batchHandled, so the engine's answers go out before any display work.
    bool feeding() const { return m_feeding; }

    // LinePort
    bool send(std::span<const std::uint8_t> bytes) override;
    using LinePort::send;
    void discardInput() override;
    void startTimeout(std::size_t timeout) override;
    void stopTimeout(std::size_t timeout) override;

  signals:
    // Everything the port had waiting went through the engine: the one moment a window shows
    // what the batch changed.
    void batchHandled();

  private:
    FeedResult feed(std::span<const std::uint8_t> bytes);

    SerialLink* m_link = nullptr;
    LineEngine* m_engine = nullptr;
    std::vector<QTimer*> m_timers;
    bool m_feeding = false;
};

}  // namespace pellix
