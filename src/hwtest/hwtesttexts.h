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

}  // namespace pellix::hwtest::texts
