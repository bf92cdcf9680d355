#include "hopperemulator.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <utility>

namespace pellix::emulator {
namespace {

std::uint8_t sum8(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

std::string hex(std::uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

}  // namespace

Bytes joined(const Delivery& delivery) {
    Bytes out;
    for (const Chunk& c : delivery) {
        out.insert(out.end(), c.bytes.begin(), c.bytes.end());
    }
    return out;
}

std::string_view modeName(Mode mode) {
    switch (mode) {
        case Mode::CoinSetting:
            return "coinsetting";
        case Mode::Tzv:
            return "tzv";
        case Mode::Cny:
            return "cny";
        case Mode::HardwareTest:
            return "hwtest";
    }
    return {};
}

std::optional<Mode> modeFromName(std::string_view name) {
    for (Mode m : kModes) {
        if (modeName(m) == name) {
            return m;
        }
    }
    return std::nullopt;
}

Delivery Hopper::powerOn() {
    if (m_on) {
        return {};
    }
    m_on = true;
    return onPowerOn();
}

void Hopper::powerOff() {
    m_on = false;
    onPowerOff();
}

Delivery Hopper::receive(std::span<const std::uint8_t> bytes) {
    m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    Delivery out;
    if (!m_on) {
        note("switched off: " + std::to_string(bytes.size()) + " byte(s) not heard");
        return out;
    }
    for (std::uint8_t b : bytes) {
        onByte(b, out);
    }
    return out;
}

std::vector<std::string> Hopper::takeNotes() {
    return std::exchange(m_notes, {});
}

// --- TZV ---------------------------------------------------------------------------------------

void TzvHopper::onByte(std::uint8_t byte, Delivery&) {
    // 80 = start-up; 81, channel 40..4F, 10 = dispense.
    m_command.push_back(byte);
    if (m_command.front() == 0x80) {
        note("start-up");
    } else if (m_command.front() != 0x81) {
        note("unexpected byte " + hex(byte));
    } else if (m_command.size() == 2 && (byte < 0x40 || byte > 0x4F)) {
        note("dispense with a bad channel byte " + hex(byte));
    } else if (m_command.size() < 3) {
        return;
    } else if (byte != 0x10) {
        note("dispense without its end byte 10 (got " + hex(byte) + ")");
    } else {
        note("dispense channel " + std::to_string(m_command[1] - 0x40 + 1));
    }
    m_command.clear();
}

// --- CNY ---------------------------------------------------------------------------------------

Bytes CnyHopper::reply(std::uint8_t code, std::uint8_t data) {
    Bytes frame{0x05, 0x01, m_address, code, data};
    std::uint8_t check = sum8(frame);
    if (std::exchange(m_corruptChecksum, false)) {
        check = static_cast<std::uint8_t>(check + 1);
    }
    frame.push_back(check);
    return frame;
}

void CnyHopper::onByte(std::uint8_t byte, Delivery& out) {
    // A command frame starts 05 10; anything else is skipped until one does.
    m_frame.push_back(byte);
    if ((m_frame.size() == 1 && byte != 0x05) || (m_frame.size() == 2 && byte != 0x10)) {
        m_frame.clear();
        return;
    }
    if (m_frame.size() < 6) {
        return;
    }
    const Bytes frame = std::exchange(m_frame, {});
    if (sum8(std::span(frame).first(5)) != frame[5]) {
        note("frame with a wrong checksum: NAK");
        out.push_back({0, reply(0xBB, m_remain)});
    } else if (frame[2] != m_address) {
        note("frame for address " + std::to_string(frame[2]) + ", this hopper is " +
             std::to_string(m_address) + ": NAK");
        out.push_back({0, reply(0xBB, m_remain)});
    } else {
        command(frame[3], frame[4], out);
    }
}

void CnyHopper::command(std::uint8_t code, std::uint8_t data, Delivery& out) {
    constexpr std::uint8_t kMotorOrSensorFault = 0x01 | 0x08 | 0x10;
    constexpr std::uint8_t kInsufficientCoins = 0x02;
    switch (code) {
        case 0x11:
            note("status query: status " + hex(m_status));
            out.push_back({0, reply(0x04, m_status)});
            return;
        case 0x13:
            note("remain coin query: " + std::to_string(m_remain));
            out.push_back({0, reply(0xAA, m_remain)});
            return;
        case 0x12:
            m_status = 0;
            note("reset: status cleared");
            out.push_back({0, reply(0xAA, m_remain)});
            return;
        case 0x10:
        case 0x14:
            break;
        default:
            note("unknown command " + hex(code) + ": NAK");
            out.push_back({0, reply(0xBB, m_remain)});
            return;
    }
    const bool active = code == 0x14;
    if ((m_status & kMotorOrSensorFault) != 0 || (data > 0 && m_remain == 0)) {
        m_status = static_cast<std::uint8_t>(m_status | (m_remain == 0 ? kInsufficientCoins : 0));
        note("payout of " + std::to_string(data) + " refused (status " + hex(m_status) + "): NAK");
        out.push_back({0, reply(0xBB, m_remain)});
        return;
    }
    const std::uint8_t paid = std::min(data, m_remain);
    for (int i = 0; i < paid; ++i) {
        --m_remain;
        if (active) {
            out.push_back({kCoinIntervalMs, reply(0x07, m_remain)});
        }
    }
    if (paid < data) {
        m_status |= kInsufficientCoins;
    }
    note(std::string(active ? "payout with a reply per coin: " : "payout without reply: ") +
         std::to_string(paid) + " of " + std::to_string(data) + " paid, " +
         std::to_string(m_remain) + " left");
    if (active) {
        out.push_back({paid == 0 ? 0 : kCoinIntervalMs, reply(0x08, m_remain)});
    }
}

// --- Coin number setting -----------------------------------------------------------------------

Bytes CoinSettingHopper::coinData() {
    Bytes data;
    for (std::uint16_t n : m_coinNumbers) {
        data.push_back(static_cast<std::uint8_t>(n >> 8));
        data.push_back(static_cast<std::uint8_t>(n & 0xFF));
    }
    std::uint8_t check = sum8(data);
    if (std::exchange(m_corruptChecksum, false)) {
        check = static_cast<std::uint8_t>(check + 1);
    }
    data.push_back(check);
    return data;
}

Delivery CoinSettingHopper::onPowerOn() {
    // Start byte, two header bytes, N, a part of N bytes the tool skips (the model name, repeated
    // as far as needed), the coin numbers with their checksum; then the ready byte.
    static constexpr std::string_view kModel = "PX30";
    const int skip = std::max<int>(1, m_skipLength);
    Bytes block{0x3A, 0x01, 0x00, static_cast<std::uint8_t>(skip)};
    for (int i = 0; i < skip; ++i) {
        block.push_back(static_cast<std::uint8_t>(kModel[static_cast<std::size_t>(i) % 4]));
    }
    const Bytes data = coinData();
    block.insert(block.end(), data.begin(), data.end());
    m_stage = Stage::WaitReadyAnswer;
    return {{0, block}, {20, {0x82}}};
}

void CoinSettingHopper::onByte(std::uint8_t byte, Delivery& out) {
    switch (m_stage) {
        case Stage::Off:
            break;
        case Stage::WaitReadyAnswer:
            if (byte == 0x82 && m_silent) {
                note("ready answered, but this hopper says nothing more");
                m_stage = Stage::Off;
            } else if (byte == 0x82) {
                note("ready answered: data entry offered");
                out.push_back({0, {0x83}});
                m_stage = Stage::Entry;
            } else {
                note("unexpected byte " + hex(byte) + " while waiting for the ready answer");
            }
            break;
        case Stage::Entry:
            if (byte == 0x83) {
                m_saveFrame.clear();
                m_stage = Stage::SaveFrame;
            } else {
                note("unexpected byte " + hex(byte) + " while waiting for a save frame");
            }
            break;
        case Stage::SaveFrame: {
            m_saveFrame.push_back(byte);
            if (m_saveFrame.size() < 32) {
                break;
            }
            std::string saved = m_storesWrites ? "saved:" : "save acknowledged but not stored:";
            for (std::size_t c = 0; c < 16; ++c) {
                const auto value =
                    static_cast<std::uint16_t>(m_saveFrame[2 * c] << 8 | m_saveFrame[2 * c + 1]);
                if (m_storesWrites) {
                    m_coinNumbers[c] = value;
                }
                saved += " " + std::to_string(value);
            }
            note(saved);
            Bytes answer{0x84};
            const Bytes data = coinData();
            answer.insert(answer.end(), data.begin(), data.end());
            out.push_back({0, answer});
            m_stage = Stage::Entry;
            break;
        }
    }
}

// --- Hardware test -----------------------------------------------------------------------------

std::string_view variantName(Variant variant) {
    switch (variant) {
        case Variant::BEarly:
            return "bearly";
        case Variant::Generic:
            return "generic";
        case Variant::HEarly:
            return "hearly";
        case Variant::HLate:
            return "hlate";
    }
    return {};
}

std::optional<Variant> variantFromName(std::string_view name) {
    for (Variant v : {Variant::BEarly, Variant::Generic, Variant::HEarly, Variant::HLate}) {
        if (variantName(v) == name) {
            return v;
        }
    }
    return std::nullopt;
}

std::optional<Outcomes> outcomesFromText(std::string_view text) {
    Outcomes out{};
    if (text.size() != out.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        switch (text[i]) {
            case 'P':
            case 'p':
                out[i] = Outcome::Pass;
                break;
            case 'F':
            case 'f':
                out[i] = Outcome::Fail;
                break;
            case 'U':
            case 'u':
                out[i] = Outcome::Undetermined;
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

namespace {

enum Item { MotorForward, MotorReverse, MotorStop, EmptySensor, PrismSensor, ShaftSensor };

constexpr std::uint8_t kPass = 0x3D;
constexpr std::uint8_t kFail = 0x3B;  // also clears a sensor count
constexpr std::uint8_t kShaft = 0x41;
constexpr std::uint8_t kEmpty = 0x43;
constexpr std::uint8_t kPrism = 0x46;
constexpr std::uint8_t kDip = 0x58;
constexpr std::uint8_t kRecord = 0x7B;
constexpr std::uint8_t kOffGrammar = 0x00;  // a byte no result state accepts

}  // namespace

HardwareTestHopper::HardwareTestHopper(Variant variant, std::uint32_t seed)
    : m_variant(variant), m_seed(seed) {
    const auto put = [this](std::size_t offset, std::string_view text) {
        std::copy(text.begin(), text.end(), m_record.begin() + static_cast<long>(offset));
    };
    put(0, version());
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

std::string HardwareTestHopper::version() const {
    switch (m_variant) {
        case Variant::BEarly:
            return "TD3&B35";
        case Variant::Generic:
            return "TD3&B45";
        case Variant::HEarly:
            return "TD3&H50";
        case Variant::HLate:
            return "TD3&H60";
    }
    return {};
}

Delivery HardwareTestHopper::onPowerOn() {
    // Header: 3A, two firmware checksum bytes, length (text + 1), the version text, 3A.
    static constexpr std::array<std::array<std::uint8_t, 2>, 4> kChecksums{
        {{0x4B, 0x10}, {0x5C, 0x07}, {0x1F, 0x2E}, {0x22, 0x91}}};
    const std::string text = version();
    const auto& check = kChecksums[static_cast<std::size_t>(m_variant)];
    Bytes out{0x3A, check[0], check[1], static_cast<std::uint8_t>(text.size() + 1)};
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0x3A);
    if (m_variant == Variant::BEarly || m_variant == Variant::Generic) {
        // These firmware send their 34-byte parameter block, then the DIP switch state.
        std::mt19937 random(m_seed);
        for (int i = 0; i < 34; ++i) {
            out.push_back(static_cast<std::uint8_t>(random() & 0xFF));
        }
        out.push_back(m_dip);
    }
    out.push_back(0x3C);
    m_stage = Stage::WaitPromptReply;
    return {{0, out}};
}

Bytes HardwareTestHopper::selfTest() const {
    const auto motor = [this](Item item) {
        switch (m_outcomes[item]) {
            case Outcome::Pass:
                return kPass;
            case Outcome::Fail:
                return kFail;
            case Outcome::Undetermined:
                break;
        }
        return kOffGrammar;
    };
    Bytes out{0x3C, motor(MotorForward), motor(MotorReverse), motor(MotorStop)};

    // A sensor passes when its count stands at exactly 3 after the last cycle, and 3B clears
    // it: a failing sensor clears its count in the last cycle.
    const auto sensor = [this](Item item, std::uint8_t seen, int cycle) -> std::uint8_t {
        switch (m_outcomes[item]) {
            case Outcome::Pass:
                return seen;
            case Outcome::Fail:
                return cycle == 2 ? kFail : seen;
            case Outcome::Undetermined:
                break;
        }
        return kOffGrammar;
    };
    for (int cycle = 0; cycle < 3; ++cycle) {
        out.push_back(sensor(ShaftSensor, kShaft, cycle));
        if (m_variant != Variant::BEarly) {
            out.push_back(sensor(EmptySensor, kEmpty, cycle));
            if (m_variant == Variant::HEarly && cycle < 2) {
                out.insert(out.end(), {0x00, 0x00, 0x00});
            }
            continue;
        }
        // This firmware checks the empty sensor twice in the first two cycles, so a healthy
        // one clears its count once early on to end the three cycles at exactly 3, and a
        // failing one does not, ending at 5.
        if (cycle == 2) {
            out.push_back(m_outcomes[EmptySensor] == Outcome::Undetermined ? kOffGrammar : kEmpty);
            break;
        }
        const bool healthy = m_outcomes[EmptySensor] == Outcome::Pass;
        out.push_back(m_outcomes[EmptySensor] == Outcome::Undetermined ? kOffGrammar : kEmpty);
        out.push_back(healthy && cycle == 0 ? kFail : kEmpty);
        out.push_back(0x00);
    }
    // Monitor phase: three coins past the prism make it pass; a dirty prism sees one.
    switch (m_outcomes[PrismSensor]) {
        case Outcome::Pass:
            out.insert(out.end(), {kPrism, kPrism, kPrism});
            break;
        case Outcome::Fail:
            out.push_back(kPrism);
            break;
        case Outcome::Undetermined:
            break;
    }
    out.insert(out.end(), {kDip, m_dip});
    return out;
}

void HardwareTestHopper::setSerialNumber(std::uint32_t serial) {
    m_record[60] = static_cast<std::uint8_t>(serial);
    m_record[61] = static_cast<std::uint8_t>(serial >> 8);
    m_record[62] = static_cast<std::uint8_t>(serial >> 16);
}

Delivery HardwareTestHopper::setDip(std::uint8_t dip) {
    m_dip = dip;
    if (!isOn() || m_stage != Stage::Monitor) {
        return {};
    }
    return {{0, {kDip, dip}}};
}

Delivery HardwareTestHopper::prismEvents(int count) {
    Delivery out;
    if (!isOn() || m_stage != Stage::Monitor) {
        return out;
    }
    for (int i = 0; i < count; ++i) {
        out.push_back({i == 0 ? 0 : 100, {kPrism}});
    }
    return out;
}

void HardwareTestHopper::onByte(std::uint8_t byte, Delivery& out) {
    switch (m_stage) {
        case Stage::Off:
            break;
        case Stage::WaitPromptReply:
            if (byte == 0x60 && m_silent) {
                note("prompt answered, but this hopper says nothing more");
                m_stage = Stage::Off;
            } else if (byte == 0x60) {
                note("prompt answered: self-test runs");
                out.push_back({0, selfTest()});
                m_stage = Stage::Monitor;
            } else {
                note("unexpected byte " + hex(byte) + " while waiting for the prompt reply");
            }
            break;
        case Stage::Monitor:
            if (byte == 0x7C) {
                note("flash record read");
                Bytes record{kRecord};
                record.insert(record.end(), m_record.begin(), m_record.end());
                out.push_back({0, record});
            } else if (byte == kRecord) {
                m_incomingRecord.clear();
                m_stage = Stage::ReceivingRecord;
            } else if (byte == 0x7D) {
                note("DIP setting finished");
            } else {
                note("unexpected byte " + hex(byte) + " in the monitor phase");
            }
            break;
        case Stage::ReceivingRecord:
            m_incomingRecord.push_back(byte);
            if (m_incomingRecord.size() == m_record.size() && !m_storesWrites) {
                note("flash record write not stored");
                m_stage = Stage::Monitor;
            } else if (m_incomingRecord.size() == m_record.size()) {
                std::copy(m_incomingRecord.begin(), m_incomingRecord.end(), m_record.begin());
                const auto text = [this](std::size_t offset, std::size_t length) {
                    std::string s(m_record.begin() + static_cast<long>(offset),
                                  m_record.begin() + static_cast<long>(offset + length));
                    return s.substr(0, s.find('\0'));
                };
                const unsigned serial = m_record[60] | m_record[61] << 8 | m_record[62] << 16;
                note("flash record written: software \"" + text(0, 20) + "\", product \"" +
                     text(20, 20) + "\", serial " + std::to_string(serial));
                m_stage = Stage::Monitor;
            }
            break;
    }
}

std::unique_ptr<Hopper> makeHopper(Mode mode, Variant variant, std::uint32_t seed) {
    switch (mode) {
        case Mode::Tzv:
            return std::make_unique<TzvHopper>();
        case Mode::Cny:
            return std::make_unique<CnyHopper>();
        case Mode::CoinSetting:
            return std::make_unique<CoinSettingHopper>();
        case Mode::HardwareTest:
            return std::make_unique<HardwareTestHopper>(variant, seed);
    }
    return nullptr;
}

}  // namespace pellix::emulator
