#pragma once

#include <array>
#include <string_view>

// Every text the hardware test tool shows, in one place so they can be found and checked.
namespace pellix::hwtest::texts {

// Input limits of "Write_Flash"; each is also the title of its message box.
inline constexpr std::string_view kSoftwareVersionTooLong = "軟體版本超過輸入上限";
inline constexpr std::string_view kProductCodeTooLong = "產品代碼超過輸入上限";
inline constexpr std::string_view kManufacturerIdTooLong = "廠商ID超過輸入上限";
inline constexpr std::string_view kSerialValueTooLarge = "序號數值超過上限";
inline constexpr std::string_view kSerialTooLong = "序號長度超過輸入上限";
// Shared by build code, equipment category ID and hopper coin.
inline constexpr std::string_view kCodeTooLong = "碼超過輸入上限";

// "DIP_Finish" with the port closed.
inline constexpr std::string_view kPortNotOpen = "RS232未開啟";

// Our own checks before a write: a record with a field we cannot put into bytes is not sent.
inline constexpr std::string_view kSerialNotWholeNumber = "Serial Number is not a whole number";
inline constexpr std::string_view kSoftwareVersionUnencodable =
    "Software Version contains a character that cannot be written to the hopper";
inline constexpr std::string_view kProductCodeUnencodable =
    "Product Code contains a character that cannot be written to the hopper";
inline constexpr std::string_view kManufacturerIdUnencodable =
    "Manufacturer ID contains a character that cannot be written to the hopper";
inline constexpr std::string_view kBuildCodeUnencodable =
    "Build Code contains a character that cannot be written to the hopper";
inline constexpr std::string_view kCategoryIdUnencodable =
    "Equipment Category ID contains a character that cannot be written to the hopper";
inline constexpr std::string_view kHopperCoinUnencodable =
    "Hopper Coin contains a character that cannot be written to the hopper";
inline constexpr std::string_view kCompanyModeNotChosen = "Company Mode has no entry chosen";
inline constexpr std::string_view kAddressModeNotChosen = "Address Mode has no entry chosen";
inline constexpr std::string_view kEncryptionModeNotChosen = "Encryption Mode has no entry chosen";

// Mode lists; the byte written is the position of the chosen entry.
inline constexpr std::array<std::string_view, 3> kCompanyModeEntries = {"TZV", "Alberici",
                                                                        "Azkoyen"};
inline constexpr std::array<std::string_view, 2> kAddressModeEntries = {"Dip Switches Setting",
                                                                        "Address Line"};
inline constexpr std::array<std::string_view, 3> kEncryptionModeEntries = {
    "Password = Encryption", "Password = 0", "Password = Serial Number"};

// The hardware test window (Form5).
inline constexpr std::string_view kWindowTitle = "PX_TEST";
inline constexpr std::string_view kWindowIconFile = "\\pellix.ico";
// The coin number setting window shows this icon once the hardware test window has been opened.
inline constexpr std::string_view kCoinSettingIconFile = "\\laugh.ico";
inline constexpr std::string_view kHopperPictureFile = "\\launcher_large.png";
inline constexpr std::string_view kHopperPictureName = "Hopper";

inline constexpr std::string_view kSoftwareLabel = "Software";
inline constexpr std::string_view kChecksumLabel = "Checksum";
inline constexpr std::string_view kResetButton = "Reset";
inline constexpr std::string_view kPortLabel = "COM PORT";
inline constexpr std::string_view kFirstPort = "COM1";
inline constexpr std::string_view kDipFrame = "DIP SWITCH";
inline constexpr std::string_view kDipOn = "ON";
inline constexpr std::string_view kDipOff = "OFF";
inline constexpr std::array<std::string_view, 4> kSwitchCaptions = {"SW1", "SW2", "SW3", "SW4"};
inline constexpr std::string_view kDipFinishButton = "DIP_Finish";

// Test item captions by item index (TestItem); the Prism Sensor row is shown below the Shaft
// Sensor row.
inline constexpr std::array<std::string_view, 6> kTestItemCaptions = {
    "Motor Forward", "Motor Reverse", "Motor Stop", "Empty Sensor", "Prism Sensor", "Shaft Sensor"};
// Status captions and signal-light icons of a test item.
inline constexpr std::string_view kPassCaption = "OK";
inline constexpr std::string_view kFailCaption = "FAILD";
inline constexpr std::string_view kUnknownCaption = "UNKNOW";
inline constexpr std::string_view kPassIconFile = "\\GREENSIG.ico";
inline constexpr std::string_view kFailIconFile = "\\REDSIG.ico";
inline constexpr std::string_view kUndeterminedIconFile = "\\YELLOWSIG.ico";
inline constexpr std::string_view kNotTestedIconFile = "\\RYG.ico";
// What a screen reader says for an icon, after the item's caption and ": ".
inline constexpr std::string_view kPassSpoken = "pass";
inline constexpr std::string_view kFailSpoken = "fail";
inline constexpr std::string_view kUndeterminedSpoken = "undetermined";
inline constexpr std::string_view kNotTestedSpoken = "not yet tested";

// Flash panel captions; the full-width colons belong to the captions.
inline constexpr std::string_view kSoftwareVersionLabel = "Software Version：";
inline constexpr std::string_view kProductCodeLabel = "Product Code：";
inline constexpr std::string_view kManufacturerIdLabel = "Manufacturer ID：";
inline constexpr std::string_view kSerialNumberLabel = "Serial Number：";
inline constexpr std::string_view kCompanyModeLabel = "Company Mode：";
inline constexpr std::string_view kAddressModeLabel = "Address Mode：";
// One caption: the blanks make the label wrap the standard's name onto a second line, and the
// encryption list stands in the blank part of the first.
inline constexpr std::string_view kEncryptionModeLabel =
    "Encryption Mode："
    "                                                       "
    "(ccTalk Serial Hopper Encryption Standard CMF 1-1)";
inline constexpr std::string_view kBuildCodeLabel = "Build Code：";
inline constexpr std::string_view kCategoryIdLabel = "Equipment Category ID :";
inline constexpr std::string_view kHopperCoinLabel = "Hopper Coin :";
inline constexpr std::string_view kWriteFlashButton = "Write_Flash";
inline constexpr std::string_view kReadFlashButton = "Read_Flash";
inline constexpr std::string_view kClearDataButton = "Clear_Data";

// What the mode lists show before the window has loaded and chosen their first entries.
inline constexpr std::string_view kCompanyModePreload = "FACTORY_SETTING";
inline constexpr std::string_view kAddressModePreload = "USE_DIP";
inline constexpr std::string_view kEncryptionModePreload = "DECRYPT_MODE";

}  // namespace pellix::hwtest::texts
