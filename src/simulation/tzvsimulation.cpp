#include "simulation/tzvsimulation.h"

namespace pellix::tzv {

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
