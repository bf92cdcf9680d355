#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "capture/notesink.h"
#include "common/lineport.h"

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

// What the protocol simulation window shows of the commands the host sends.
class HostView {
  public:
    // A command went out: the animation starts again from its first picture.
    virtual void commandSent() = 0;
    // Start-up went out: the hint line now asks for a channel and Dispense.
    virtual void showStartUpHint() = 0;

  protected:
    ~HostView() = default;
};

// The host side of the TZV interface: sends start-up and dispense for the chosen channel through
// its line port, each byte as its own write. The hopper's answers are not read (the line port
// drops them). The caller only asks for a command while the line is open.
class Host final {
  public:
    Host(LinePort& line, HostView& view) : m_line(line), m_view(view) {}
    // Where each command sent is noted for the traffic capture; none by default.
    void setNotes(NoteSink* notes) { m_notes = notes; }

    // `listPosition` is the position in the channel list (0 for channel 1).
    void selectChannel(int listPosition) { m_channelByte = channelByteFor(listPosition); }
    void startUp();
    void dispense();

    std::uint8_t channelByte() const { return m_channelByte; }

  private:
    bool send(std::span<const std::uint8_t> bytes);
    void note(std::string_view text);

    LinePort& m_line;
    HostView& m_view;
    NoteSink* m_notes = nullptr;
    std::uint8_t m_channelByte = kFirstChannel;
};

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
