#include "hwtest/firmwarevariant.h"

#include <algorithm>

#include "common/numbertext.h"

namespace pellix::hwtest {
namespace {

constexpr std::array<std::uint8_t, 4> kFamilyPrefix = {'T', 'D', '3', '&'};
constexpr double kLastBEarly = 40;
constexpr double kLastHEarly = 52;

}  // namespace

void SoftwareTextTracker::append(std::uint8_t character) {
    if (m_length >= kTail && m_tail == kFamilyPrefix) {
        m_hasB = m_hasB || character == 'B';
        m_hasH = m_hasH || character == 'H';
    }
    std::rotate(m_tail.begin(), m_tail.begin() + 1, m_tail.end());
    m_tail.back() = character;
    if (m_length < kTail) {
        ++m_length;
    }
}

void SoftwareTextTracker::clear() {
    *this = SoftwareTextTracker{};
}

FirmwareVariant SoftwareTextTracker::variant() const {
    const std::size_t used = std::min<std::size_t>(m_length, 2);
    const char lastTwo[2] = {static_cast<char>(m_tail[kTail - 2]),
                             static_cast<char>(m_tail[kTail - 1])};
    // The number reading skips blanks, takes a sign, a decimal point and a fraction, and
    // stops at the first character that does not belong to a number; on two characters it
    // cannot reach an exponent's or a "&H" number's digits, so it reads exactly a decimal.
    const double r = readNumber(std::string_view(lastTwo + (2 - used), used));
    if (m_hasB && r <= kLastBEarly) {
        return FirmwareVariant::BEarly;
    }
    if (m_hasH) {
        return r <= kLastHEarly ? FirmwareVariant::HEarly : FirmwareVariant::HLate;
    }
    return FirmwareVariant::Generic;
}

FirmwareVariant firmwareVariantOf(std::string_view softwareText) {
    SoftwareTextTracker tracker;
    for (char c : softwareText) {
        tracker.append(static_cast<std::uint8_t>(c));
    }
    return tracker.variant();
}

}  // namespace pellix::hwtest
