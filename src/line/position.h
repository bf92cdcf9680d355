#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "capture/capture.h"
#include "line/linejob.h"
#include "line/lineplan.h"
#include "platform/serialport.h"

namespace pellix::line {

class Position;

// What a position tells the runner, in order.
struct PositionEvent {
    enum class Kind { Present, Absent, Started, Phase, Finished, Stopped };
    Kind kind = Kind::Phase;
    std::string text;                          // device, why absent, or the phase
    const records::ServiceRun* run = nullptr;  // Finished: the run, judged
};

class PositionHost {
  public:
    virtual void positionEvent(Position& position, const PositionEvent& event) = 0;
    // The answer goes to position.serialNumberTaken.
    virtual void askSerialNumber(Position& position) = 0;

  protected:
    ~PositionHost() = default;
};

// One port of the line: opens its device (and opens it again after an unplug, or once it
// appears), hands received bytes to its job and the job's bytes to the line, runs the job's
// time-outs, and records the traffic of each run in a capture of its own.
class Position final : public QObject, public LinePort, private JobHost {
    Q_OBJECT
  public:
    using MakeJob = std::function<std::unique_ptr<LineJob>(LinePort&, JobHost&, NoteSink&)>;
    // The device to open for this position now; empty (and `why` said) when there is none.
    using Resolve = std::function<QString(QString& why)>;
    static constexpr int kRetryMs = 500;
    // A run's traffic is a few kilobytes (a minute of a busy line at 9600 baud is under 60);
    // a device that chatters without ever starting a run keeps no more than this per position.
    static constexpr std::size_t kCaptureBytes = 256 * 1024;

    Position(PortRef ref, Resolve resolve, const MakeJob& makeJob, PositionHost& host,
             std::unique_ptr<SerialPort> port, int hopperLimit = 0, QObject* parent = nullptr);
    ~Position() override;

    const PortRef& ref() const { return m_ref; }
    QString name() const { return QString::fromStdString(m_ref.name()); }
    QString device() const { return m_device; }
    void start();
    // Closes once the hopper under test is done (at once when none is).
    void stopWhenIdle();
    // Ends the run in progress as incomplete and closes.
    void stopNow(const std::string& why);
    bool stopped() const { return m_stopped; }
    // A hopper's run is in progress.
    bool testing() const { return m_job->running(); }
    void serialNumberTaken(std::optional<std::uint32_t> number, const std::string& error) {
        m_job->serialNumberTaken(number, error);
    }

    // LinePort
    bool send(std::span<const std::uint8_t> bytes) override;
    using LinePort::send;
    void discardInput() override;
    void startTimeout(std::size_t timeout) override;
    void stopTimeout(std::size_t timeout) override;

  private:
    // JobHost
    void runStarted() override;
    void phaseChanged(std::string_view phase) override;
    void askSerialNumber() override { m_host.askSerialNumber(*this); }
    void runFinished(records::ServiceRun run) override;

    void tryOpen();
    void readBytes();
    void lost();
    void tell(PositionEvent::Kind kind, std::string text = {});
    void close();

    PortRef m_ref;
    Resolve m_resolve;
    PositionHost& m_host;
    std::unique_ptr<SerialPort> m_port;
    QElapsedTimer m_clock;
    Capture m_capture;
    std::unique_ptr<LineJob> m_job;
    std::vector<QTimer*> m_timers;
    QTimer m_retry;
    QString m_device;
    QString m_absentWhy;
    int m_hopperLimit = 0;  // 0: no limit
    int m_hoppers = 0;
    bool m_stopping = false;
    bool m_stopped = false;
};

}  // namespace pellix::line
