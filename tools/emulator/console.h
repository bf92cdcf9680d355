#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hopperline.h"

namespace pellix::emulator {

// What a command asks of the program around the hoppers (which owns the ports).
struct Action {
    enum class Kind { Write, Unplug, Replug, Quit };
    Kind kind = Kind::Write;
    Mode mode = Mode::CoinSetting;
    Delivery delivery;  // for Write
    // A power-on stream waits for a program to open the port; other bytes are lost if none has.
    bool holdUntilOpen = false;
};

struct CommandResult {
    std::vector<std::string> output;  // lines for the operator
    std::vector<Action> actions;
};

// The operator's commands, one line each: an optional interface name, a command word, its
// arguments ("cny remain 20", "on", "fault split"). Without an interface name a command goes
// to every served interface that knows it. Plain C++, so every command is testable without a
// terminal; new commands are rows of the table in console.cpp.
class Console {
  public:
    explicit Console(std::vector<HopperLine*> lines) : m_lines(std::move(lines)) {}

    CommandResult run(std::string_view commandLine);
    static std::string help();

  private:
    std::vector<HopperLine*> m_lines;
};

// "3A 01 ff", "3a01FF": hex digit pairs with optional blanks; nothing when it is not that.
std::optional<Bytes> bytesFromHex(std::string_view text);

}  // namespace pellix::emulator
