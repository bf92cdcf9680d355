#pragma once

#include <string>

#include "capture/notesink.h"
#include "cny/cnysession.h"

namespace pellix::cny {

// Passes every session call on to the window unchanged and tells the port's capture what the
// accepted replies meant (their log message and box texts) and which command went out.
class CnyNotes final : public SessionView {
  public:
    explicit CnyNotes(SessionView& window) : m_window(window) {}
    void setSink(NoteSink* sink) { m_sink = sink; }

    // A command frame went out whole; noted with its log message.
    void logCommand(const Frame& frame, LogMessage message) override;
    void showCountRangeError() override { m_window.showCountRangeError(); }
    void byteListed(std::uint8_t byte) override { m_window.byteListed(byte); }
    void showStatus(std::string_view text) override;
    void showRemainCoin(std::string_view text) override;
    void logReply(const Frame& frame, LogMessage message) override;
    void frameDropped(const Frame& frame, std::size_t length,
                      std::uint8_t expectedChecksum) override;
    void replyMissing(LogMessage command) override;

  private:
    void note(std::string_view text);

    SessionView& m_window;
    NoteSink* m_sink = nullptr;
    std::string m_text;
    std::string m_boxes;
};

}  // namespace pellix::cny
