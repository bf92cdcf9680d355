#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pellix::emulator {

using Bytes = std::vector<std::uint8_t>;

enum class Mode { Tzv, Cny, CoinSetting, HardwareTest };

// The hopper's end of the cable, for trying the tool without a hopper and for end-to-end tests.
// It answers the PC's bytes the way a hopper in the chosen interface mode does.
class Hopper {
  public:
    virtual ~Hopper() = default;
    // What the hopper sends by itself when it is switched on.
    virtual Bytes powerOn() { return {}; }
    // Bytes from the PC; returns what the hopper answers.
    virtual Bytes receive(std::span<const std::uint8_t> bytes) = 0;
    // Everything the PC sent so far.
    const Bytes& received() const { return m_received; }

  protected:
    Bytes m_received;
};

// TZV interface: takes start-up and dispense commands and answers nothing.
class TzvHopper final : public Hopper {
  public:
    Bytes receive(std::span<const std::uint8_t> bytes) override;
};

// CNY mode: answers addressed 6-byte frames.
class CnyHopper final : public Hopper {
  public:
    Bytes receive(std::span<const std::uint8_t> bytes) override;
    std::uint8_t m_status = 0;   // fault bits reported by the status query
    std::uint8_t m_remain = 50;  // coins left
    int m_address = -1;          // -1 answers every address 0..3

  private:
    void answer(Bytes& out, std::uint8_t address, std::uint8_t code, std::uint8_t data) const;
    Bytes m_frame;
};

// Coin number setting interface: settings block at power-on, ready/entry handshake, save frame.
class CoinSettingHopper final : public Hopper {
  public:
    Bytes powerOn() override;
    Bytes receive(std::span<const std::uint8_t> bytes) override;
    std::array<std::uint16_t, 16> m_coinNumbers{1000, 500, 200, 100, 50, 20, 10, 5,
                                                2,    1,   0,   0,   0,  0,  0,  0};

  private:
    Bytes coinData() const;
    enum class Stage { Off, WaitReadyAnswer, WaitSaveFrame, Saving };
    Stage m_stage = Stage::Off;
    Bytes m_saveFrame;
};

// Hardware test mode: identity header, prompt, motor and sensor results, then the monitor
// phase with DIP switch state, prism events and the flash record on request.
class HardwareTestHopper final : public Hopper {
  public:
    HardwareTestHopper();
    Bytes powerOn() override;
    Bytes receive(std::span<const std::uint8_t> bytes) override;
    std::string m_version = "TD3&H50";
    std::uint8_t m_dip = 0x05;
    std::array<std::uint8_t, 105> m_record{};

  private:
    enum class Stage { Off, WaitPromptReply, Monitor, ReceivingRecord };
    Stage m_stage = Stage::Off;
    Bytes m_incomingRecord;
};

std::unique_ptr<Hopper> makeHopper(Mode mode);

}  // namespace pellix::emulator
