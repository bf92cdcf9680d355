#include "hopperline.h"

#include <algorithm>
#include <array>
#include <utility>

namespace pellix::emulator {
namespace {

constexpr std::array<std::pair<std::string_view, Fault>, 5> kFaultNames{{
    {"checksum", Fault::WrongChecksum},
    {"split", Fault::Split},
    {"silence", Fault::Silence},
    {"garbage", Fault::Garbage},
    {"stray", Fault::StrayStart},
}};

// Noise is drawn from values no interface uses to start or mark anything, so it disturbs
// exactly what noise on a real line disturbs: a frame in progress or a handshake step.
constexpr std::uint8_t kNoiseLow = 0xC0;
constexpr std::uint8_t kNoiseHigh = 0xFE;

}  // namespace

std::optional<Fault> faultFromName(std::string_view name) {
    for (const auto& [n, f] : kFaultNames) {
        if (n == name) {
            return f;
        }
    }
    return std::nullopt;
}

std::string_view faultName(Fault fault) {
    for (const auto& [n, f] : kFaultNames) {
        if (f == fault) {
            return n;
        }
    }
    return {};
}

std::optional<std::string> HopperLine::arm(Fault fault, int count, int pauseMs) {
    if (count < 0 || pauseMs < 0) {
        return "counts and pauses cannot be negative";
    }
    if (fault == Fault::WrongChecksum) {
        // The hopper knows where its checksums are; the line does not.
        if (!m_hopper->corruptNextChecksum()) {
            return std::string("the ") + std::string(modeName(mode())) +
                   " interface sends no checksum";
        }
        return std::nullopt;
    }
    m_fault = fault;
    m_count = count;
    m_pauseMs = pauseMs;
    return std::nullopt;
}

Delivery HopperLine::deliver(Delivery reply) {
    reply = withFault(std::move(reply));
    if (m_paceMs <= 0) {
        return reply;
    }
    Delivery paced;
    for (const Chunk& chunk : reply) {
        for (std::size_t i = 0; i < chunk.bytes.size(); ++i) {
            paced.push_back({i == 0 ? chunk.delayMs + m_paceMs : m_paceMs, {chunk.bytes[i]}});
        }
    }
    return paced;
}

Delivery HopperLine::withFault(Delivery reply) {
    if (reply.empty() || !m_fault) {
        return reply;
    }
    const Fault fault = *std::exchange(m_fault, std::nullopt);
    Bytes& first = reply.front().bytes;
    switch (fault) {
        case Fault::WrongChecksum:
            break;
        case Fault::Split: {
            const std::size_t at =
                m_count > 0 ? std::min<std::size_t>(m_count, first.size()) : (first.size() + 1) / 2;
            if (at < first.size()) {
                Chunk rest{m_pauseMs > 0 ? m_pauseMs : kDefaultSplitPauseMs,
                           Bytes(first.begin() + static_cast<long>(at), first.end())};
                first.resize(at);
                reply.insert(reply.begin() + 1, std::move(rest));
            } else if (reply.size() > 1) {
                reply[1].delayMs += m_pauseMs > 0 ? m_pauseMs : kDefaultSplitPauseMs;
            }
            break;
        }
        case Fault::Silence:
            return {};
        case Fault::Garbage: {
            std::uniform_int_distribution<int> noise(kNoiseLow, kNoiseHigh);
            Bytes bytes(static_cast<std::size_t>(m_count > 0 ? m_count : kDefaultGarbageBytes));
            std::generate(bytes.begin(), bytes.end(),
                          [&] { return static_cast<std::uint8_t>(noise(m_random)); });
            first.insert(first.begin(), bytes.begin(), bytes.end());
            break;
        }
        case Fault::StrayStart:
            first.insert(first.begin(), 0x05);
            break;
    }
    return reply;
}

}  // namespace pellix::emulator
