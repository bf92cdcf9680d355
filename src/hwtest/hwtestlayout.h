#pragma once

// Measures the parts of the hardware test window share, in twips unless named otherwise.
namespace pellix::hwtest::layout {

inline constexpr int kBoxHeight = 330;
inline constexpr int kCaptionHeight = 195;
inline constexpr int kButtonHeight = 435;
// The identity and test item captions stand out from the 8-point dialog font.
inline constexpr int kCaptionFontPoints = 10;

}  // namespace pellix::hwtest::layout
