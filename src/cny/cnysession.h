#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "cny/cnyframe.h"
#include "cny/cnyreplyassembler.h"
#include "common/lineport.h"

namespace pellix::cny {

// What the CNY mode tester window shows for the session: the reply side (received bytes, boxes,
// reply rows) and the command rows.
class SessionView : public ReplyListener {
  public:
    // A command frame that went out whole.
    virtual void logCommand(const Frame& frame, LogMessage message) = 0;
    // The payout box holds no count from 0 to 255; nothing was sent.
    virtual void showCountRangeError() = 0;
    // No reply was accepted within kReplyTimeout of the command; nothing on screen shows it,
    // the capture notes it.
    virtual void replyMissing(LogMessage /*command*/) {}

  protected:
    ~SessionView() = default;
};

// The session's one time-out: how long after a command a missing reply is noted. A hopper
// answers within a few milliseconds; a second covers a slow adapter with room to spare.
inline constexpr std::size_t kReplyTimeout = 0;
inline constexpr std::array<LineTimeout, 1> kSessionTimeouts = {{{"ReplyTimer", 1000}}};

// One CNY mode session over the line: builds, writes and logs the technician's commands and
// hands the hopper's replies to the assembler, which outlives the window.
class Session final : public LineEngine {
  public:
    Session(ReplyAssembler& assembler, LinePort& line, SessionView& view)
        : m_assembler(assembler), m_line(line), m_view(view) {}

    // A command button was clicked with `address` chosen and `payoutText` in the payout box.
    void sendCommand(Command command, std::uint8_t address, std::string_view payoutText);

    FeedResult feed(std::span<const std::uint8_t> bytes) override;
    void timeoutExpired(std::size_t timeout) override;

  private:
    LogMessage m_awaiting = LogMessage::None;
    ReplyAssembler& m_assembler;
    LinePort& m_line;
    SessionView& m_view;
};

}  // namespace pellix::cny
