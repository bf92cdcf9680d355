#pragma once

// Where the tool keeps what it remembers between runs. Keys are paths below the application's
// settings: "Setting/..." for the values the windows remember, "Ports/COMn" for the device a
// COM name stands for on systems without COM ports.
namespace pellix::keys {

inline constexpr const char* kOrganization = "Pellix";
inline constexpr const char* kApplication = "Pellix kit";
// Title of the message boxes that carry the application's title.
inline constexpr const char* kApplicationTitle = "Pellix kit";

inline constexpr const char* kComPort = "Setting/COMPORT";
inline constexpr const char* kLoadPath = "Setting/Load_path";
inline constexpr const char* kSavePath = "Setting/Save_path";
inline constexpr const char* kPortDevicePrefix = "Ports/COM";

}  // namespace pellix::keys
