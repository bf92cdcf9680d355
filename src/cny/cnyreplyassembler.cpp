// CNY mode replies arrive as 05 01 <address 0..3> <code> <data> <checksum>, where the checksum
// is the low byte of the sum of the first five bytes. There is no pairing with commands and no
// time-out: bytes are judged one at a time as they come.
//
//   WaitStart     0x05 starts a frame; anything else is dropped.
//   SecondByte    0x01 goes on. Anything else is dropped and is not looked at again as a
//                 possible start, even 0x05 (so "05 05 01 ..." loses the reply).
//   AddressByte   below 4 goes on; 4 or more drops the frame. The address is not compared with
//                 the one chosen in the window: a reply from any hopper on the line counts.
//   CodeByte, DataByte  taken as they are, summed.
//   ChecksumByte  equal to the sum: the reply is decoded and logged; either way back to WaitStart.
//
// Every byte is listed for the window before it is judged, so dropped bytes still show there.

#include "cny/cnyreplyassembler.h"

#include "cny/cnydecoder.h"

namespace pellix::cny {

// A state's value is its receive position: where in the frame its byte is stored.
static_assert(static_cast<std::size_t>(ReplyAssembler::State::ChecksumByte) + 1 == Frame{}.size());

bool ReplyAssembler::feed(std::uint8_t byte, ReplyListener& listener) {
    m_frame[static_cast<std::size_t>(m_state)] = byte;
    listener.byteListed(byte);
    switch (m_state) {
        case State::WaitStart:
            m_checksum = 0;
            m_state = byte == kStart ? State::SecondByte : State::WaitStart;
            break;
        case State::SecondByte:
            m_state = byte == kReplyMarker ? State::AddressByte : State::WaitStart;
            break;
        case State::AddressByte:
            if (byte < kAddresses) {
                m_checksum = static_cast<std::int16_t>(byte + kStart + kReplyMarker);
                m_state = State::CodeByte;
            } else {
                m_state = State::WaitStart;
                listener.frameDropped(m_frame, 3, 0);
            }
            break;
        case State::CodeByte:
            m_checksum = static_cast<std::int16_t>(m_checksum + byte);
            m_state = State::DataByte;
            break;
        case State::DataByte:
            m_checksum = static_cast<std::int16_t>((m_checksum + byte) & 0xFF);
            m_state = State::ChecksumByte;
            break;
        case State::ChecksumByte:
            m_state = State::WaitStart;
            if (m_checksum == byte) {
                const Reply reply = decodeReply(m_frame);
                if (reply.status) {
                    listener.showStatus(*reply.status);
                }
                if (reply.remainCoin) {
                    listener.showRemainCoin(*reply.remainCoin);
                }
                listener.logReply(m_frame, reply.message);
                return true;
            }
            listener.frameDropped(m_frame, m_frame.size(), static_cast<std::uint8_t>(m_checksum));
            break;
    }
    return false;
}

}  // namespace pellix::cny
