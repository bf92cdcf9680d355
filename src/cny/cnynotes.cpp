#include "cny/cnynotes.h"

namespace pellix::cny {

void CnyNotes::note(std::string_view text) {
    if (m_sink) {
        m_sink->note(text);
    }
}

void CnyNotes::logCommand(const Frame& frame, LogMessage message) {
    m_window.logCommand(frame, message);
    note(logMessageText(message));
}

// The box texts come before the reply's log row; they are noted after its message so the
// line reads like the log.
void CnyNotes::showStatus(std::string_view text) {
    m_window.showStatus(text);
    m_boxes.append(" | Status \"").append(text).append("\"");
}

void CnyNotes::showRemainCoin(std::string_view text) {
    m_window.showRemainCoin(text);
    m_boxes.append(" | Remain Coin \"").append(text).append("\"");
}

void CnyNotes::logReply(const Frame& frame, LogMessage message) {
    m_window.logReply(frame, message);
    // A reply the log shows without a message is still a frame the tester took.
    m_text.assign(message == LogMessage::None ? std::string_view("reply, no message")
                                              : logMessageText(message));
    m_text.append(m_boxes);
    m_boxes.clear();
    note(m_text);
}

}  // namespace pellix::cny
