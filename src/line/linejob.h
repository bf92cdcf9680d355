#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/lineport.h"
#include "records/servicerun.h"

namespace pellix::line {

// What a job tells the runner about the hoppers on its position.
class JobHost {
  public:
    // A hopper's stream began: a run starts.
    virtual void runStarted() = 0;
    // What the position does now, for the operator ("testing", "writing flash").
    virtual void phaseChanged(std::string_view phase) = 0;
    // Asks for a fresh serial number for the hopper about to be written, never handed out
    // before; the answer comes later through LineJob::serialNumberTaken.
    virtual void askSerialNumber() = 0;
    // The run is over and judged; the host adds the traffic and keeps it.
    virtual void runFinished(records::ServiceRun run) = 0;

  protected:
    ~JobHost() = default;
};

// One position's work on each hopper plugged into it: the tool's own engine for the interface,
// driven without a window. Bytes and time-outs come through the position's line port.
class LineJob : public LineEngine {
  public:
    virtual ~LineJob() = default;
    // The job's time-outs, numbered as the line port is to number them.
    virtual std::span<const LineTimeout> timeouts() const = 0;
    // The port the next runs come through ("COM5", "/dev/ttyUSB3").
    virtual void setPort(std::string port, std::string device) = 0;
    // Ends a run in progress as incomplete (the device went away, the operator stopped at once);
    // the job then waits for the next hopper.
    virtual void abandon(const std::string& why) = 0;
    virtual bool running() const = 0;
    // The answer to JobHost::askSerialNumber: the number, or nothing and why.
    virtual void serialNumberTaken(std::optional<std::uint32_t>, const std::string&) {}
};

// How long a job waits, in milliseconds.
struct JobTimes {
    int quietMs = 5000;   // no byte for this long in the middle of a stream: the hopper is silent
    int prismMs = 10000;  // for the prism sensor's result once the monitor phase has begun
    int recordMs = 3000;  // for a flash record after asking for it
    int settleMs = 500;   // after a flash write, before reading it back

    // Why a run that went quiet was given up.
    std::string silenceReason() const {
        return "the hopper went silent (nothing for " + std::to_string(quietMs) + " ms)";
    }
};

}  // namespace pellix::line
