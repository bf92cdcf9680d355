#include "hopperemulator.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace pellix::emulator {
namespace {

std::uint8_t sum8(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

void append(Bytes& out, std::initializer_list<std::uint8_t> bytes) {
    out.insert(out.end(), bytes);
}

}  // namespace

Bytes TzvHopper::receive(std::span<const std::uint8_t> bytes) {
    m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    return {};
}

void CnyHopper::answer(Bytes& out, std::uint8_t address, std::uint8_t code,
                       std::uint8_t data) const {
    const std::uint8_t frame[5] = {0x05, 0x01, address, code, data};
    out.insert(out.end(), std::begin(frame), std::end(frame));
    out.push_back(sum8(frame));
}

Bytes CnyHopper::receive(std::span<const std::uint8_t> bytes) {
    Bytes out;
    for (std::uint8_t b : bytes) {
        m_received.push_back(b);
        m_frame.push_back(b);
        // Resynchronise on the command header 05 10.
        if (m_frame.size() == 1 && b != 0x05) {
            m_frame.clear();
        } else if (m_frame.size() == 2 && b != 0x10) {
            m_frame.clear();
        }
        if (m_frame.size() < 6) {
            continue;
        }
        const Bytes frame = std::exchange(m_frame, {});
        if (sum8(std::span(frame).first(5)) != frame[5] || frame[2] > 3) {
            continue;
        }
        const std::uint8_t address = frame[2];
        if (m_address >= 0 && address != m_address) {
            continue;
        }
        switch (frame[3]) {
            case 0x11:  // status query
                answer(out, address, 0x04, m_status);
                break;
            case 0x13:  // remain coin query
                answer(out, address, 0xAA, m_remain);
                break;
            case 0x12:  // reset
                m_status = 0;
                answer(out, address, 0xAA, m_remain);
                break;
            case 0x10:    // payout, no active reply
            case 0x14: {  // payout with a reply per coin
                const std::uint8_t count = frame[4];
                if (count > m_remain) {
                    answer(out, address, 0xBB, m_remain);
                    break;
                }
                for (int i = 0; i < count; ++i) {
                    --m_remain;
                    if (frame[3] == 0x14) {
                        answer(out, address, 0x07, m_remain);
                    }
                }
                if (frame[3] == 0x14) {
                    answer(out, address, 0x08, m_remain);
                }
                break;
            }
            default:
                answer(out, address, 0xBB, 0);
                break;
        }
    }
    return out;
}

Bytes CoinSettingHopper::coinData() const {
    Bytes data;
    for (std::uint16_t n : m_coinNumbers) {
        data.push_back(static_cast<std::uint8_t>(n >> 8));
        data.push_back(static_cast<std::uint8_t>(n & 0xFF));
    }
    data.push_back(sum8(data));
    return data;
}

Bytes CoinSettingHopper::powerOn() {
    // Start byte, two header bytes, the length of a part the tool skips, that part, then the
    // coin numbers with their checksum, and the ready byte.
    Bytes out{0x3A, 0x01, 0x00, 0x04, 'P', 'X', '3', '0'};
    const Bytes data = coinData();
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(0x82);
    m_stage = Stage::WaitReadyAnswer;
    return out;
}

Bytes CoinSettingHopper::receive(std::span<const std::uint8_t> bytes) {
    Bytes out;
    for (std::uint8_t b : bytes) {
        m_received.push_back(b);
        switch (m_stage) {
            case Stage::Off:
                break;
            case Stage::WaitReadyAnswer:
                if (b == 0x82) {
                    out.push_back(0x83);  // ready for data entry
                    m_stage = Stage::WaitSaveFrame;
                }
                break;
            case Stage::WaitSaveFrame:
                if (b == 0x83) {
                    m_saveFrame.clear();
                    m_stage = Stage::Saving;
                }
                break;
            case Stage::Saving:
                m_saveFrame.push_back(b);
                if (m_saveFrame.size() == 32) {
                    for (std::size_t c = 0; c < 16; ++c) {
                        m_coinNumbers[c] = static_cast<std::uint16_t>(m_saveFrame[2 * c] << 8 |
                                                                      m_saveFrame[2 * c + 1]);
                    }
                    out.push_back(0x84);
                    const Bytes data = coinData();
                    out.insert(out.end(), data.begin(), data.end());
                    m_stage = Stage::WaitSaveFrame;
                }
                break;
        }
    }
    return out;
}

HardwareTestHopper::HardwareTestHopper() {
    const auto put = [this](std::size_t offset, const std::string& text) {
        std::copy(text.begin(), text.end(), m_record.begin() + static_cast<long>(offset));
    };
    put(0, "TD3&H50");
    put(20, "PX-310");
    put(40, "PELLIX");
    m_record[60] = 0x4E;  // serial number 12345678 = 0xBC614E
    m_record[61] = 0x61;
    m_record[62] = 0xBC;
    m_record[66] = 1;
    put(69, "B2026");
    put(89, "HOPPER");
    put(99, "1EURO");
}

Bytes HardwareTestHopper::powerOn() {
    Bytes out{0x3A, 0x1F, 0x2E, static_cast<std::uint8_t>(m_version.size() + 1)};
    out.insert(out.end(), m_version.begin(), m_version.end());
    append(out, {0x3A, 0x3C});
    m_stage = Stage::WaitPromptReply;
    return out;
}

Bytes HardwareTestHopper::receive(std::span<const std::uint8_t> bytes) {
    Bytes out;
    for (std::uint8_t b : bytes) {
        m_received.push_back(b);
        switch (m_stage) {
            case Stage::Off:
                break;
            case Stage::WaitPromptReply:
                if (b == 0x60) {
                    // Second prompt, three motor results, three sensor cycles (this firmware
                    // sends three filler bytes after each of the first two), prism events, DIP.
                    append(out, {0x3C, 0x3D, 0x3D, 0x3D});
                    append(out, {0x41, 0x43, 0x00, 0x00, 0x00, 0x41, 0x43, 0x00, 0x00, 0x00, 0x41,
                                 0x43});
                    append(out, {0x46, 0x46, 0x46, 0x58, m_dip});
                    m_stage = Stage::Monitor;
                }
                break;
            case Stage::Monitor:
                if (b == 0x7C) {  // read the flash record
                    out.push_back(0x7B);
                    out.insert(out.end(), m_record.begin(), m_record.end());
                } else if (b == 0x7B) {
                    m_incomingRecord.clear();
                    m_stage = Stage::ReceivingRecord;
                }
                break;
            case Stage::ReceivingRecord:
                m_incomingRecord.push_back(b);
                if (m_incomingRecord.size() == m_record.size()) {
                    std::copy(m_incomingRecord.begin(), m_incomingRecord.end(), m_record.begin());
                    m_stage = Stage::Monitor;
                }
                break;
        }
    }
    return out;
}

std::unique_ptr<Hopper> makeHopper(Mode mode) {
    switch (mode) {
        case Mode::Tzv:
            return std::make_unique<TzvHopper>();
        case Mode::Cny:
            return std::make_unique<CnyHopper>();
        case Mode::CoinSetting:
            return std::make_unique<CoinSettingHopper>();
        case Mode::HardwareTest:
            return std::make_unique<HardwareTestHopper>();
    }
    return nullptr;
}

}  // namespace pellix::emulator
