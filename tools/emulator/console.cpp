#include "console.h"

#include <charconv>
#include <functional>
#include <optional>

namespace pellix::emulator {
namespace {

using Words = std::vector<std::string_view>;

Words split(std::string_view text) {
    Words words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' &&
               text[i] != '\n') {
            ++i;
        }
        if (i > start) {
            words.push_back(text.substr(start, i - start));
        }
    }
    return words;
}

std::optional<int> number(std::string_view word, int low, int high, int base = 10) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (error != std::errc() || end != word.data() + word.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// One command. `run` handles one interface and returns an error text, or nothing.
struct Verb {
    std::string_view name;
    std::string_view arguments;
    std::string_view description;
    std::function<bool(Mode)> appliesTo;
    std::function<std::optional<std::string>(HopperLine&, const Words&, CommandResult&)> run;
};

bool any(Mode) {
    return true;
}
std::function<bool(Mode)> only(Mode mode) {
    return [mode](Mode m) { return m == mode; };
}

std::string tag(const HopperLine& line) {
    return "[" + std::string(modeName(line.mode())) + "] ";
}

void write(CommandResult& result, HopperLine& line, Delivery delivery, bool powerOn = false) {
    if (!delivery.empty()) {
        result.actions.push_back({Action::Kind::Write, line.mode(), std::move(delivery), powerOn});
    }
}

template <typename T>
T& model(HopperLine& line) {
    return static_cast<T&>(line.hopper());
}

const std::vector<Verb>& verbs() {
    static const std::vector<Verb> table{
        {"on", "", "switch the hopper on (it sends its power-on stream)", any,
         [](HopperLine& line, const Words&, CommandResult& r) -> std::optional<std::string> {
             const bool wasOn = line.hopper().isOn();
             write(r, line, line.powerOn(), true);
             r.output.push_back(tag(line) + (wasOn ? "already on" : "switched on"));
             return std::nullopt;
         }},
        {"off", "", "switch the hopper off", any,
         [](HopperLine& line, const Words&, CommandResult& r) -> std::optional<std::string> {
             line.hopper().powerOff();
             r.output.push_back(tag(line) + "switched off");
             return std::nullopt;
         }},
        {"cycle", "", "switch off and on again", any,
         [](HopperLine& line, const Words&, CommandResult& r) -> std::optional<std::string> {
             line.hopper().powerOff();
             write(r, line, line.powerOn(), true);
             r.output.push_back(tag(line) + "switched off and on");
             return std::nullopt;
         }},
        {"numbers", "N1 [N2 ...]", "coin numbers of channel 1, 2 ... (next power-on)",
         only(Mode::CoinSetting),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             auto& hopper = model<CoinSettingHopper>(line);
             if (args.empty() || args.size() > hopper.m_coinNumbers.size()) {
                 return "give 1 to 16 coin numbers";
             }
             auto numbers = hopper.m_coinNumbers;
             for (std::size_t i = 0; i < args.size(); ++i) {
                 const auto n = number(args[i], 0, 65535);
                 if (!n) {
                     return "a coin number is 0 to 65535";
                 }
                 numbers[i] = static_cast<std::uint16_t>(*n);
             }
             hopper.m_coinNumbers = numbers;
             r.output.push_back(tag(line) + "coin numbers set");
             return std::nullopt;
         }},
        {"skip", "N", "length of the block part the tool skips, 1 to 255 (next power-on)",
         only(Mode::CoinSetting),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto n = args.size() == 1 ? number(args[0], 1, 255) : std::nullopt;
             if (!n) {
                 return "give one length, 1 to 255";
             }
             model<CoinSettingHopper>(line).m_skipLength = static_cast<std::uint8_t>(*n);
             r.output.push_back(tag(line) + "skipped part " + std::to_string(*n) + " bytes");
             return std::nullopt;
         }},
        {"address", "N", "the hopper's address, 0 to 3", only(Mode::Cny),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto n = args.size() == 1 ? number(args[0], 0, 3) : std::nullopt;
             if (!n) {
                 return "give one address, 0 to 3";
             }
             model<CnyHopper>(line).m_address = static_cast<std::uint8_t>(*n);
             r.output.push_back(tag(line) + "address " + std::to_string(*n));
             return std::nullopt;
         }},
        {"status", "HEX", "status fault bits (01 motor, 02 coins, 08 prism, 10 shaft, 20 busy)",
         only(Mode::Cny),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto n = args.size() == 1 ? number(args[0], 0, 255, 16) : std::nullopt;
             if (!n) {
                 return "give the status byte in hexadecimal, 00 to FF";
             }
             model<CnyHopper>(line).m_status = static_cast<std::uint8_t>(*n);
             r.output.push_back(tag(line) + "status bits set");
             return std::nullopt;
         }},
        {"remain", "N", "coins left in the hopper, 0 to 255", only(Mode::Cny),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto n = args.size() == 1 ? number(args[0], 0, 255) : std::nullopt;
             if (!n) {
                 return "give one count, 0 to 255";
             }
             model<CnyHopper>(line).m_remain = static_cast<std::uint8_t>(*n);
             r.output.push_back(tag(line) + std::to_string(*n) + " coins left");
             return std::nullopt;
         }},
        {"variant", "NAME", "firmware: bearly, generic, hearly or hlate (next power-on)",
         only(Mode::HardwareTest),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto v = args.size() == 1 ? variantFromName(args[0]) : std::nullopt;
             if (!v) {
                 return "give bearly, generic, hearly or hlate";
             }
             model<HardwareTestHopper>(line).setVariant(*v);
             r.output.push_back(tag(line) + "firmware " +
                                model<HardwareTestHopper>(line).version());
             return std::nullopt;
         }},
        {"results", "PPFPPP",
         "self-test outcomes: motor forward, reverse, stop, empty, prism, shaft (next power-on)",
         only(Mode::HardwareTest),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto o = args.size() == 1 ? outcomesFromText(args[0]) : std::nullopt;
             if (!o) {
                 return "give six letters P (pass), F (fail) or U (undetermined)";
             }
             model<HardwareTestHopper>(line).m_outcomes = *o;
             r.output.push_back(tag(line) + "self-test outcomes set");
             return std::nullopt;
         }},
        {"dip", "HEX", "DIP switch state, bit 0 = SW1 (sent at once in the monitor phase)",
         only(Mode::HardwareTest),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto n = args.size() == 1 ? number(args[0], 0, 15, 16) : std::nullopt;
             if (!n) {
                 return "give the switch state in hexadecimal, 0 to F";
             }
             write(r, line,
                   line.deliver(
                       model<HardwareTestHopper>(line).setDip(static_cast<std::uint8_t>(*n))));
             r.output.push_back(tag(line) + "DIP switches set");
             return std::nullopt;
         }},
        {"prism", "[N]", "N coins past the prism in the monitor phase (3 by default)",
         only(Mode::HardwareTest),
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto n = args.empty()       ? std::optional<int>(3)
                            : args.size() == 1 ? number(args[0], 1, 99)
                                               : std::nullopt;
             if (!n) {
                 return "give a count, 1 to 99";
             }
             const Delivery d = line.deliver(model<HardwareTestHopper>(line).prismEvents(*n));
             if (d.empty()) {
                 return "the hopper is not in its monitor phase";
             }
             write(r, line, d);
             r.output.push_back(tag(line) + "prism events sent");
             return std::nullopt;
         }},
        {"fault", "KIND [N [MS]]",
         "next reply: checksum, split [N bytes first [MS pause]], silence, garbage [N], stray", any,
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             const auto f = !args.empty() ? faultFromName(args[0]) : std::nullopt;
             if (!f || args.size() > 3) {
                 return "give checksum, split, silence, garbage or stray";
             }
             const auto count = args.size() > 1 ? number(args[1], 1, 1000) : std::optional(0);
             const auto pause = args.size() > 2 ? number(args[2], 1, 10000) : std::optional(0);
             if (!count || !pause) {
                 return "counts are 1 to 1000, pauses 1 to 10000 ms";
             }
             if (auto error = line.arm(*f, *count, *pause)) {
                 return error;
             }
             r.output.push_back(tag(line) + "next reply: " + std::string(faultName(*f)));
             return std::nullopt;
         }},
        {"send", "HEX", "send raw bytes as they are (\"send 3A 01 FF\")", any,
         [](HopperLine& line, const Words& args, CommandResult& r) -> std::optional<std::string> {
             std::string joinedArgs;
             for (auto a : args) {
                 joinedArgs += a;
             }
             const auto bytes = bytesFromHex(joinedArgs);
             if (!bytes || bytes->empty()) {
                 return "give the bytes in hexadecimal";
             }
             write(r, line, {{0, *bytes}});
             return std::nullopt;
         }},
        {"unplug", "", "pull the cable: the port vanishes", any,
         [](HopperLine& line, const Words&, CommandResult& r) -> std::optional<std::string> {
             r.actions.push_back({Action::Kind::Unplug, line.mode(), {}, false});
             return std::nullopt;
         }},
        {"replug", "", "plug it in again: a new port behind the same link", any,
         [](HopperLine& line, const Words&, CommandResult& r) -> std::optional<std::string> {
             r.actions.push_back({Action::Kind::Replug, line.mode(), {}, false});
             return std::nullopt;
         }},
    };
    return table;
}

}  // namespace

std::optional<Bytes> bytesFromHex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ') {
            continue;
        }
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return out;
}

std::string Console::help() {
    std::string text =
        "Commands (one per line; put an interface name first to address one hopper,\n"
        "e.g. \"cny remain 20\"; without it a command goes to every hopper that knows it):\n";
    for (const Verb& v : verbs()) {
        std::string head = "  " + std::string(v.name) + " " + std::string(v.arguments);
        head.resize(std::max<std::size_t>(head.size() + 1, 24), ' ');
        text += head + std::string(v.description) + "\n";
    }
    text += "  help                  this list\n  quit                  stop the emulator\n";
    return text;
}

CommandResult Console::run(std::string_view commandLine) {
    CommandResult result;
    Words words = split(commandLine);
    if (words.empty()) {
        return result;
    }
    std::optional<Mode> target = modeFromName(words.front());
    if (target) {
        words.erase(words.begin());
        if (words.empty()) {
            result.output.push_back("a command must follow the interface name");
            return result;
        }
    }
    const std::string_view name = words.front();
    const Words args(words.begin() + 1, words.end());
    if (name == "help") {
        result.output.push_back(help());
        return result;
    }
    if (name == "quit") {
        result.actions.push_back({Action::Kind::Quit, Mode::CoinSetting, {}, false});
        return result;
    }
    const Verb* verb = nullptr;
    for (const Verb& v : verbs()) {
        if (v.name == name) {
            verb = &v;
        }
    }
    if (!verb) {
        result.output.push_back("unknown command \"" + std::string(name) + "\" (try help)");
        return result;
    }
    bool served = false;
    for (HopperLine* line : m_lines) {
        if ((target && line->mode() != *target) || !verb->appliesTo(line->mode())) {
            continue;
        }
        served = true;
        if (auto error = verb->run(*line, args, result)) {
            result.output.push_back(tag(*line) + std::string(name) + ": " + *error);
        }
    }
    if (!served) {
        result.output.push_back("\"" + std::string(name) + "\" is for no interface served here" +
                                (target ? " by that name" : ""));
    }
    return result;
}

}  // namespace pellix::emulator
