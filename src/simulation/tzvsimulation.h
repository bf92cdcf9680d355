#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellix::tzv {

// Host side of the TZV interface: start-up and dispense for one of 16 channels.
inline constexpr std::uint8_t kStartUp = 0x80;
inline constexpr std::uint8_t kDispense = 0x81;
inline constexpr std::uint8_t kDispenseEnd = 0x10;
inline constexpr std::uint8_t kFirstChannel = 0x40;
inline constexpr int kChannels = 16;

inline constexpr std::string_view kLoadHint =
    "After Save Setting Please Reset Hopper!While Hopper Ready Press [Startup]";
inline constexpr std::string_view kStartUpHint = "       Select a Channel Then Press Dispense";

inline constexpr std::array<std::uint8_t, 1> startUpCommand() {
    return {kStartUp};
}

// `channelByte` is 0x40 + the channel list position (0x40 for channel 1 .. 0x4F for 16).
inline constexpr std::array<std::uint8_t, 3> dispenseCommand(std::uint8_t channelByte) {
    return {kDispense, channelByte, kDispenseEnd};
}

inline constexpr std::uint8_t channelByteFor(int listPosition) {
    return static_cast<std::uint8_t>(kFirstChannel + listPosition);
}

// What the traffic capture says about a command sent.
inline constexpr std::string_view kStartUpNote = "start-up";
std::string dispenseNote(std::uint8_t channelByte);

// The hint line types its text out one character per tick, stays complete for two ticks and
// starts again: a text of length L cycles every L + 1 ticks.
class HintTyper {
  public:
    void setText(std::string_view text) { m_text = text; }
    void restart() { m_counter = 0; }
    // Advances one tick and returns the part of the text to show now.
    std::string_view tick();
    int counter() const { return m_counter; }

  private:
    std::string m_text;
    int m_counter = 0;
};

// The three-picture animation after each command: frames 1, 2, 3, then cleared and stopped.
class Animation {
  public:
    enum class Frame { Picture1, Picture2, Picture3, Clear };
    void restart() { m_step = 1; }
    // The frame to show at this tick; after Clear the timer stops and the step stays 4.
    Frame tick();
    bool running() const { return m_step < 4; }

  private:
    int m_step = 4;
};

}  // namespace pellix::tzv
