#pragma once

#include <string_view>

// Every text the serial link shows, in one place.
namespace pellix::serial::texts {

// Panel 1 of every tool window's status bar.
inline constexpr std::string_view kPanelOpen = "RS232 開啟";
inline constexpr std::string_view kPanelClosed = "RS232 關閉";

inline constexpr std::string_view kErrorTitle = "Error";
inline constexpr std::string_view kPortNumberError = "Port Number Error";
inline constexpr std::string_view kPortInUse = "Port Already In Use";
// %1: device, %2: port number.
inline constexpr std::string_view kNoPermission =
    "No permission to use the serial device %1 (COM%2).\n"
    "Add your user to the group that owns it (usually \"dialout\": "
    "sudo adduser $USER dialout), then log in again.";
// %1: device, %2: port number.
inline constexpr std::string_view kDeviceGone =
    "The serial device %1 (COM%2) is gone; the port was closed. It reopens by itself when the "
    "device is back.";

}  // namespace pellix::serial::texts
