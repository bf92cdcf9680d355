#pragma once

// What every fuzz target shares: an invariant check that names itself when it breaks (so a
// finding says what went wrong, not only where), and a reader that hands out the input's bytes
// as the target's choices.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace pellix::fuzz {

[[noreturn]] inline void broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

// Takes bytes from the front of a fuzz input; past its end every byte reads as 0.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : m_bytes(data, size) {}

    bool empty() const { return m_at >= m_bytes.size(); }
    std::size_t left() const { return m_bytes.size() - m_at; }
    std::uint8_t byte() { return empty() ? 0 : m_bytes[m_at++]; }
    // Up to `count` bytes, fewer at the end.
    std::span<const std::uint8_t> take(std::size_t count) {
        const std::size_t n = count < left() ? count : left();
        const auto out = m_bytes.subspan(m_at, n);
        m_at += n;
        return out;
    }
    std::span<const std::uint8_t> rest() { return take(left()); }

  private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

}  // namespace pellix::fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? void(0) : ::pellix::fuzz::broken(#condition, __FILE__, __LINE__))
