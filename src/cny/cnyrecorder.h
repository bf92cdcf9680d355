#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cny/cnysession.h"
#include "records/servicerun.h"

namespace pellix::cny {

// Passes a CNY session's view events on to the window and makes a service run of each stretch
// of work on one port: every command sent and reply accepted (with its frame), every reply
// that never came and every frame dropped. The run fails when a command went unanswered, a
// frame was dropped, or a status reply named a fault. It ends with a port change or the
// window's close, and is handed to `keep` when any command was sent.
class CnyRecorder final : public SessionView {
  public:
    using Keep = std::function<void(records::ServiceRun)>;
    CnyRecorder(SessionView& window, Keep keep) : m_window(window), m_keep(std::move(keep)) {}

    void setPort(std::string port, std::string device);
    void finish();

    void logCommand(const Frame& frame, LogMessage message) override;
    void showCountRangeError() override { m_window.showCountRangeError(); }
    void replyMissing(LogMessage command) override;
    void byteListed(std::uint8_t byte) override { m_window.byteListed(byte); }
    void showStatus(std::string_view text) override { m_window.showStatus(text); }
    void showRemainCoin(std::string_view text) override { m_window.showRemainCoin(text); }
    void logReply(const Frame& frame, LogMessage message) override;
    void frameDropped(const Frame& frame, std::size_t length,
                      std::uint8_t expectedChecksum) override;

  private:
    records::ServiceRun& run();
    void trouble(const std::string& what);

    SessionView& m_window;
    Keep m_keep;
    std::string m_port;
    std::string m_device;
    std::optional<records::ServiceRun> m_run;
    int m_commands = 0;
};

}  // namespace pellix::cny
