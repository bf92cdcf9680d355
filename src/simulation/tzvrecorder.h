#pragma once

#include <functional>
#include <optional>
#include <string>

#include "capture/notesink.h"
#include "records/servicerun.h"

namespace pellix::tzv {

// Stands between the TZV host and the window's capture: passes every note on and makes a
// service run of the commands sent through one opening of the port (the hopper's answers are
// not read on this interface, so a run that sent its commands passes). It ends with a port
// change or the window's close, and is handed to `keep` when any command was sent.
class TzvRecorder final : public NoteSink {
  public:
    using Keep = std::function<void(records::ServiceRun)>;
    explicit TzvRecorder(Keep keep) : m_keep(std::move(keep)) {}

    void setCapture(NoteSink* capture) { m_capture = capture; }
    void setPort(std::string port, std::string device);
    void finish();

    void note(std::string_view text) override;

  private:
    Keep m_keep;
    NoteSink* m_capture = nullptr;
    std::string m_port;
    std::string m_device;
    std::optional<records::ServiceRun> m_run;
};

}  // namespace pellix::tzv
