#pragma once

#include <array>
#include <string_view>

// Every text and file name the protocol simulation window shows, in one place. UTF-8.
namespace pellix::simulation::texts {

inline constexpr std::string_view kCaption = "TZV Protocol Simulation";
inline constexpr std::string_view kIconFile = "\\pellix.ico";
inline constexpr std::string_view kHintName = "Hint";
inline constexpr std::string_view kStartUpButton = "Start up";
inline constexpr std::string_view kDispenseButton = "Dispense";
inline constexpr std::string_view kHopperPictureName = "Hopper";
inline constexpr std::string_view kHopperPictureFile = "\\sim_hopper.bmp";
inline constexpr std::string_view kHostPictureName = "Host";
inline constexpr std::string_view kHostPictureFile = "\\sim_host.bmp";
inline constexpr std::string_view kAnimationName = "Command animation";
inline constexpr std::array<std::string_view, 3> kAnimationFiles = {"\\Ar1.bmp", "\\Ar2.bmp",
                                                                    "\\Ar3.bmp"};
inline constexpr std::string_view kChannelLabel = "Channel";
inline constexpr std::string_view kFirstChannel = "1";
inline constexpr std::string_view kPortLabel = "COM PORT";
inline constexpr std::string_view kFirstPort = "COM1";
inline constexpr std::string_view kCloseButton = "&Close";

}  // namespace pellix::simulation::texts
