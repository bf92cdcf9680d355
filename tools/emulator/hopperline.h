#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>

#include "hopperemulator.h"

namespace pellix::emulator {

// Faults a real hopper and cable produce, injected into the next reply.
enum class Fault {
    WrongChecksum,  // the next checksummed frame carries a wrong checksum
    Split,          // the next reply arrives in two writes with a pause between
    Silence,        // the next reply is lost
    Garbage,        // line noise before the next reply
    StrayStart,     // a stray 0x05 before the next reply
};
std::optional<Fault> faultFromName(std::string_view name);
std::string_view faultName(Fault fault);

// One interface's hopper and what the cable does to its replies. Every reply, whether it answers
// the PC, comes at power-on or is made by an operator command, passes through deliver().
class HopperLine {
  public:
    static constexpr int kDefaultSplitPauseMs = 150;
    static constexpr int kDefaultGarbageBytes = 4;

    explicit HopperLine(std::unique_ptr<Hopper> hopper, std::uint32_t seed = 1)
        : m_hopper(std::move(hopper)), m_random(seed) {}

    Hopper& hopper() { return *m_hopper; }
    // A new hopper on this line (the old one is taken away); faults armed stay armed.
    void replace(std::unique_ptr<Hopper> hopper) { m_hopper = std::move(hopper); }
    Mode mode() const { return m_hopper->mode(); }

    // Arms a fault for the next reply. `count` is the split point (bytes in the first write,
    // 0 = half) or the number of garbage bytes (0 = the default); `pauseMs` the split pause
    // (0 = the default). Returns why it cannot be armed, or nothing.
    std::optional<std::string> arm(Fault fault, int count = 0, int pauseMs = 0);
    std::optional<Fault> armed() const { return m_fault; }

    Delivery powerOn() { return deliver(m_hopper->powerOn()); }
    Delivery fromPc(std::span<const std::uint8_t> bytes) {
        return deliver(m_hopper->receive(bytes));
    }
    // Applies the armed fault (if any) to a reply that is not empty, and disarms it; a slow
    // hopper's reply then goes out a byte at a time.
    Delivery deliver(Delivery reply);
    // A slow hopper: every byte it sends comes `ms` after the one before (0: as fast as it can).
    void setPace(int ms) { m_paceMs = ms; }

  private:
    Delivery withFault(Delivery reply);

    std::unique_ptr<Hopper> m_hopper;
    std::mt19937 m_random;
    std::optional<Fault> m_fault;
    int m_count = 0;
    int m_pauseMs = 0;
    int m_paceMs = 0;
};

}  // namespace pellix::emulator
