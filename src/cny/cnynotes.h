#pragma once

#include <string>

#include "cny/cnyreplyassembler.h"
#include "serial/capture.h"

namespace pellix::cny {

// Passes every reply call on to the window unchanged and tells the port's capture what the
// accepted replies meant (their log message and box texts) and which command went out.
class CnyNotes final : public ReplyListener {
  public:
    explicit CnyNotes(ReplyListener& window) : m_window(window) {}
    void setSink(NoteSink* sink) { m_sink = sink; }

    // A command frame was written; noted with its log message.
    void commandSent(LogMessage message);

    void byteListed(std::uint8_t byte) override { m_window.byteListed(byte); }
    void showStatus(std::string_view text) override;
    void showRemainCoin(std::string_view text) override;
    void logReply(const Frame& frame, LogMessage message) override;

  private:
    void note(std::string_view text);

    ReplyListener& m_window;
    NoteSink* m_sink = nullptr;
    std::string m_text;
    std::string m_boxes;
};

}  // namespace pellix::cny
