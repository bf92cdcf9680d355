#pragma once

#include <string_view>

// Every text the coin number setting window and its protocol show, in one place. The spelling
// is the one technicians know from the hopper documentation; do not correct it.
namespace pellix::coinsetting::texts {

// Status label (Label2): progress in blue, errors in red.
inline constexpr std::string_view kSwitchOn = "Switch on Pellix";
inline constexpr std::string_view kBlockStarted = "";
inline constexpr std::string_view kChecksumError = "Checksum Error,Reset hopper";
inline constexpr std::string_view kCommunicationError = "Comunication Error,Reset hopper";
inline constexpr std::string_view kEnterData = "Enter Data (Do not Reset hopper)";
inline constexpr std::string_view kSaving = "Saving";
inline constexpr std::string_view kSaveComplete = "Save complete";
inline constexpr std::string_view kSaveFailed = "Save faild,Reset hopper";
inline constexpr std::string_view kNoResponse = "No Response";
inline constexpr std::string_view kDataError = "Data Error";

// Message boxes.
inline constexpr std::string_view kReceiveError =
    "Receive Error perhaps incorrect interface\r"
    "switch to TZV interface then Restart Hopper";
inline constexpr std::string_view kJustNumbers = "Hey man~~!Just number only";
inline constexpr std::string_view kExceedRange = "Exceed the range";
inline constexpr std::string_view kUnavailableSetting = "Unavailable setting";
// A missing manual or a missing setting file; the title is "Error" for both.
inline constexpr std::string_view kFileMissing = "File Does Not Exist";
inline constexpr std::string_view kManualLocked = "File Not Exist Or Be Opened";
inline constexpr std::string_view kErrorTitle = "Error";
inline constexpr std::string_view kUnableToLoad = "Unable to load , Please check file";
// Names the file and the reason, so the technician knows which file stayed as it was.
inline constexpr std::string_view kUnableToSave = "Unable to save %1\n%2";

// Window, controls and menus.
inline constexpr std::string_view kCaption = "Hopper Setting Tool";
inline constexpr std::string_view kFrameCaption = "Enter Change Coin Numbers";
inline constexpr std::string_view kChannelPrefix = "Channel";
inline constexpr std::string_view kSaveButton = "&Save";
inline constexpr std::string_view kSaveTooltip = "Save Setting and Auto Refresh";
inline constexpr std::string_view kExitButton = "&Exit";
inline constexpr std::string_view kPortChooser = "COM port";  // accessible names
inline constexpr std::string_view kStatusLabel = "Status";
inline constexpr std::string_view kParameterMenu = "Parameter";
inline constexpr std::string_view kOpenItem = "Open";
inline constexpr std::string_view kSaveItem = "Save";
inline constexpr std::string_view kManualItem = "[F1]Manual";

// Setting file dialogs ("Parameter" menu).
inline constexpr std::string_view kLoadTitle = "LOAD FILE";
inline constexpr std::string_view kSaveTitle = "SAVE FIEL";
inline constexpr std::string_view kFileFilter = "TXT File(*.TXT)|*.TXT|";
inline constexpr std::string_view kStartPattern = "*.TXT";     // the dialogs' initial name
inline constexpr std::string_view kSavePathPattern = "*.txt";  // the end of "Save_path"

// Program folder files.
inline constexpr std::string_view kManualFile = "\\Manual.rtf";
inline constexpr std::string_view kIconFile = "\\pellix.ico";

}  // namespace pellix::coinsetting::texts
