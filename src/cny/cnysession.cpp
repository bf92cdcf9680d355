#include "cny/cnysession.h"

namespace pellix::cny {

void Session::sendCommand(Command command, std::uint8_t address, std::string_view payoutText) {
    std::uint8_t count = 0;
    if (takesPayoutCount(command)) {
        const auto read = readPayoutCount(payoutText);
        if (!read) {
            m_view.showCountRangeError();
            return;
        }
        count = *read;
    }
    const Frame transmit = commandFrame(command, address, count);
    // One write per byte, as the hopper's CNY mode has always been driven.
    for (std::uint8_t byte : transmit) {
        if (!m_line.send(byte)) {
            return;  // the line reports the lost port itself
        }
    }
    m_view.logCommand(transmit, commandMessage(command));
    m_awaiting = commandMessage(command);
    m_line.startTimeout(kReplyTimeout);
}

FeedResult Session::feed(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) {
        if (m_assembler.feed(byte, m_view)) {
            m_line.stopTimeout(kReplyTimeout);
        }
    }
    return {};
}

void Session::timeoutExpired(std::size_t timeout) {
    if (timeout == kReplyTimeout) {
        m_view.replyMissing(m_awaiting);
    }
}

}  // namespace pellix::cny
