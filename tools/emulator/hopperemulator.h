#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::emulator {

// The hopper's end of the cable, for trying the tool without a hopper and for tests. Plain C++:
// the models are fed the PC's bytes and say what the hopper sends back; the program around them
// (or a test) owns the line and the clock.

using Bytes = std::vector<std::uint8_t>;

// One write on the line, made `delayMs` after the previous one.
struct Chunk {
    int delayMs = 0;
    Bytes bytes;
    bool operator==(const Chunk&) const = default;
};
// What the hopper sends in answer to one event, in order.
using Delivery = std::vector<Chunk>;

Bytes joined(const Delivery& delivery);

enum class Mode { CoinSetting, Tzv, Cny, HardwareTest };
inline constexpr std::array<Mode, 4> kModes = {Mode::CoinSetting, Mode::Tzv, Mode::Cny,
                                               Mode::HardwareTest};
// The name used on the command line, in commands and for the symbolic links.
std::string_view modeName(Mode mode);
std::optional<Mode> modeFromName(std::string_view name);

class Hopper {
  public:
    virtual ~Hopper() = default;
    virtual Mode mode() const = 0;

    // Switching on returns what the hopper sends by itself at power-on.
    Delivery powerOn();
    void powerOff();
    bool isOn() const { return m_on; }

    // Bytes from the PC; returns what the hopper answers. A hopper that is off hears nothing.
    Delivery receive(std::span<const std::uint8_t> bytes);

    // The next frame that carries a checksum goes out with a wrong one. False when this
    // interface sends no checksum at all.
    virtual bool corruptNextChecksum() { return false; }

    // Everything the PC sent so far, on or off.
    const Bytes& received() const { return m_received; }
    // What the hopper made of the PC's bytes since the last call, one line per event, for the
    // emulator's log.
    std::vector<std::string> takeNotes();

  protected:
    virtual Delivery onPowerOn() { return {}; }
    virtual void onPowerOff() {}
    virtual void onByte(std::uint8_t byte, Delivery& out) = 0;
    void note(std::string text) { m_notes.push_back(std::move(text)); }

  private:
    bool m_on = false;
    Bytes m_received;
    std::vector<std::string> m_notes;
};

// TZV interface: takes start-up and dispense commands, notes them and answers nothing.
class TzvHopper final : public Hopper {
  public:
    Mode mode() const override { return Mode::Tzv; }

  protected:
    void onByte(std::uint8_t byte, Delivery& out) override;

  private:
    Bytes m_command;
};

// CNY mode: a slave at one address answering the PC's 6-byte frames. Payouts pay real coins
// from `m_remain`; an active-reply payout reports each coin (0x07) and then the end (0x08).
// A frame with a wrong checksum, for another address or with an unknown code gets a NAK.
class CnyHopper final : public Hopper {
  public:
    static constexpr int kCoinIntervalMs = 60;  // one coin every so often, like the motor

    Mode mode() const override { return Mode::Cny; }
    bool corruptNextChecksum() override {
        m_corruptChecksum = true;
        return true;
    }

    std::uint8_t m_address = 0;
    std::uint8_t m_status = 0;   // fault bits reported by the status query
    std::uint8_t m_remain = 50;  // coins left

  protected:
    void onByte(std::uint8_t byte, Delivery& out) override;

  private:
    Bytes reply(std::uint8_t code, std::uint8_t data);
    void command(std::uint8_t code, std::uint8_t data, Delivery& out);
    Bytes m_frame;
    bool m_corruptChecksum = false;
};

// Coin number setting interface: the settings block at power-on, the ready/entry handshake,
// then any number of save frames, each acknowledged with 84 and the refreshed block.
class CoinSettingHopper final : public Hopper {
  public:
    Mode mode() const override { return Mode::CoinSetting; }
    bool corruptNextChecksum() override {
        m_corruptChecksum = true;
        return true;
    }

    std::array<std::uint16_t, 16> m_coinNumbers{1000, 500, 200, 100, 50, 20, 10, 5,
                                                2,    1,   0,   0,   0,  0,  0,  0};
    std::uint8_t m_skipLength = 4;  // N: length of the block part the tool skips, 1 to 255
    bool m_storesWrites = true;     // false: a save is acknowledged but not kept
    bool m_silent = false;          // true: nothing after the ready answer

  protected:
    Delivery onPowerOn() override;
    void onPowerOff() override { m_stage = Stage::Off; }
    void onByte(std::uint8_t byte, Delivery& out) override;

  private:
    Bytes coinData();
    enum class Stage { Off, WaitReadyAnswer, Entry, SaveFrame };
    Stage m_stage = Stage::Off;
    Bytes m_saveFrame;
    bool m_corruptChecksum = false;
};

// Firmware families of the hardware test stream; each shapes the stream differently.
enum class Variant { BEarly, Generic, HEarly, HLate };
std::string_view variantName(Variant variant);
std::optional<Variant> variantFromName(std::string_view name);

// What the self-test finds, in the tool's item order: motor forward, motor reverse, motor stop,
// empty sensor, prism sensor, shaft sensor.
enum class Outcome { Pass, Fail, Undetermined };
using Outcomes = std::array<Outcome, 6>;
// Six letters P, F or U ("PPFPPP"); nothing when the text is not that.
std::optional<Outcomes> outcomesFromText(std::string_view text);

// Hardware test mode: identity header (and for some firmware a block ending with the DIP
// state), prompt, motor results, sensor cycles, then the monitor phase with prism events, DIP
// state and the flash record on request.
class HardwareTestHopper final : public Hopper {
  public:
    static constexpr std::size_t kRecordSize = 105;

    explicit HardwareTestHopper(Variant variant = Variant::HEarly, std::uint32_t seed = 1);
    Mode mode() const override { return Mode::HardwareTest; }

    Variant variant() const { return m_variant; }
    // Takes effect at the next power-on.
    void setVariant(Variant variant) { m_variant = variant; }
    std::string version() const;
    // The DIP switches were moved: in the monitor phase the hopper reports them at once.
    Delivery setDip(std::uint8_t dip);
    // Coins passing the prism in the monitor phase.
    Delivery prismEvents(int count);

    Outcomes m_outcomes{Outcome::Pass, Outcome::Pass, Outcome::Pass,
                        Outcome::Pass, Outcome::Pass, Outcome::Pass};
    std::uint8_t m_dip = 0x05;
    std::array<std::uint8_t, kRecordSize> m_record{};
    bool m_storesWrites = true;  // false: a flash write is taken but not kept
    bool m_silent = false;       // true: nothing after the prompt reply
    // The serial number in the flash record (3 bytes, least significant first).
    void setSerialNumber(std::uint32_t serial);

  protected:
    Delivery onPowerOn() override;
    void onPowerOff() override { m_stage = Stage::Off; }
    void onByte(std::uint8_t byte, Delivery& out) override;

  private:
    Bytes selfTest() const;
    Variant m_variant;
    std::uint32_t m_seed;
    enum class Stage { Off, WaitPromptReply, Monitor, ReceivingRecord };
    Stage m_stage = Stage::Off;
    Bytes m_incomingRecord;
};

std::unique_ptr<Hopper> makeHopper(Mode mode, Variant variant = Variant::HEarly,
                                   std::uint32_t seed = 1);

}  // namespace pellix::emulator
