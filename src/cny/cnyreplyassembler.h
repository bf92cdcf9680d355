#pragma once

#include <cstdint>
#include <string_view>

#include "cny/cnyframe.h"
#include "cny/cnytexts.h"

namespace pellix::cny {

// What the reply assembler tells its window.
class ReplyListener {
  public:
    // Every byte read, in order, before it is judged (the received-bytes list).
    virtual void byteListed(std::uint8_t byte) = 0;
    // An accepted reply's new box texts, given before its log row.
    virtual void showStatus(std::string_view text) = 0;
    virtual void showRemainCoin(std::string_view text) = 0;
    // An accepted reply; `message` may be LogMessage::None.
    virtual void logReply(const Frame& frame, LogMessage message) = 0;
    // A frame was given up after its first `length` bytes: an address above 3 (length 3) or a
    // checksum that does not match (length 6, `expectedChecksum` what the sum gives). Nothing on
    // screen shows it; the capture notes it.
    virtual void frameDropped(const Frame&, std::size_t /*length*/,
                              std::uint8_t /*expectedChecksum*/) {}

  protected:
    ~ReplyListener() = default;
};

// Gathers hopper replies from the line one byte at a time. Its position and running checksum
// belong to the window's whole lifetime: a reply cut short by closing the port, changing speed
// or sending a command is completed by whatever bytes come next.
class ReplyAssembler {
  public:
    // One state per receive position (bytes of the reply gathered so far), in frame order.
    enum class State : std::uint8_t {
        WaitStart,    // any byte; 0x05 starts a frame
        SecondByte,   // 0x01, anything else is dropped
        AddressByte,  // 0 to 3
        CodeByte,
        DataByte,
        ChecksumByte,
    };

    // True when `byte` completed a reply that was accepted.
    bool feed(std::uint8_t byte, ReplyListener& listener);

    State state() const { return m_state; }

  private:
    Frame m_frame{};
    State m_state = State::WaitStart;
    // Kept 16 bits wide like the hopper tools always have; only the low byte is compared.
    std::int16_t m_checksum = 0;
};

}  // namespace pellix::cny
