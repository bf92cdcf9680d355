#include "cny/cnynotes.h"

#include "common/text.h"

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

void CnyNotes::frameDropped(const Frame& frame, std::size_t length, std::uint8_t expectedChecksum) {
    m_window.frameDropped(frame, length, expectedChecksum);
    if (length < frame.size()) {
        m_text.assign("frame dropped: address ").append(hexDigits(frame[2], 2));
        m_text.append(" is not 00 to 03");
    } else {
        m_text.assign("frame dropped: checksum ").append(hexDigits(frame[5], 2));
        m_text.append(", the bytes sum to ").append(hexDigits(expectedChecksum, 2));
    }
    note(m_text);
}

void CnyNotes::replyMissing(LogMessage command) {
    m_window.replyMissing(command);
    m_text.assign("no reply to ").append(logMessageText(command));
    m_text.append(" within ").append(std::to_string(kSessionTimeouts[kReplyTimeout].milliseconds));
    m_text.append(" ms");
    note(m_text);
}

}  // namespace pellix::cny
