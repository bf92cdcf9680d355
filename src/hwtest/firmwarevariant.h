#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pellix::hwtest {

// Firmware families whose test streams differ after the header. The values are the hopper
// tool's long-standing numbers; Undecided only until the first header has ended.
enum class FirmwareVariant : std::uint8_t {
    Undecided = 0,
    BEarly = 1,
    Generic = 2,
    HEarly = 3,
    HLate = 4,
};

// Follows the software text as the header brings it, one byte (one single-byte character) at
// a time, and keeps only what the variant rule looks at: whether "TD3&B" or "TD3&H" occurs
// anywhere (exact case) and the last two characters. So the text can grow over several
// headers without the receiver storing it.
//
// The rule: r is the number that the last two characters read as (one character when the
// text has one, 0 for an empty text; leading blanks skipped, sign and decimal point allowed,
// 0 when they do not start with a number: "B4" reads 0, "5x" reads 5). "TD3&B" with r <= 40
// is BEarly; otherwise "TD3&H" is HEarly for r <= 52 and HLate above; anything else Generic.
class SoftwareTextTracker {
  public:
    void append(std::uint8_t character);
    void clear();
    FirmwareVariant variant() const;

  private:
    static constexpr std::size_t kTail = 4;  // "TD3&" before the family letter
    std::array<std::uint8_t, kTail> m_tail{};
    std::size_t m_length = 0;
    bool m_hasB = false;
    bool m_hasH = false;
};

// The rule on a whole software text (single-byte characters).
FirmwareVariant firmwareVariantOf(std::string_view softwareText);

}  // namespace pellix::hwtest
