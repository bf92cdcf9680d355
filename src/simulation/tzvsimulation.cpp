#include "simulation/tzvsimulation.h"

#include <algorithm>

namespace pellix::tzv {

bool Host::send(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) {
        if (!m_line.send(byte)) {
            return false;
        }
    }
    return true;
}

void Host::note(std::string_view text) {
    if (m_notes != nullptr) {
        m_notes->note(text);
    }
}

void Host::startUp() {
    send(startUpCommand());
    note(kStartUpNote);
    m_view.commandSent();
    m_view.showStartUpHint();
}

void Host::dispense() {
    m_view.commandSent();
    send(dispenseCommand(m_channelByte));
    note(dispenseNote(m_channelByte));
}

std::string_view HintTyper::tick() {
    ++m_counter;
    const std::string_view shown = std::string_view(m_text).substr(
        0, std::min(static_cast<std::size_t>(m_counter), m_text.size()));
    if (m_counter == static_cast<int>(m_text.size()) + 1) {
        m_counter = 0;
    }
    return shown;
}

Animation::Frame Animation::tick() {
    switch (m_step) {
        case 1:
            m_step = 2;
            return Frame::Picture1;
        case 2:
            m_step = 3;
            return Frame::Picture2;
        case 3:
            m_step = 4;
            return Frame::Picture3;
        default:
            return Frame::Clear;
    }
}

std::string dispenseNote(std::uint8_t channelByte) {
    return "dispense channel " + std::to_string(channelByte - kFirstChannel + 1);
}

}  // namespace pellix::tzv
