#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "common/linesettings.h"

// Every text the CNY mode tester shows or logs, in one place so the wording, blanks included, can
// be checked at a glance. UTF-8.
namespace pellix::cny {

// What a log row says about its frame. The order is the order of kLogMessageTexts below.
enum class LogMessage : std::uint8_t {
    None,
    // Commands.
    PayoutNoActiveReply,
    PayoutActiveReply,
    StatusQuery,
    RemainCoinQuery,
    HopperReset,
    // Status replies.
    NoError,
    MotorProblem,
    InsufficientCoins,
    PrismSensorFailure,
    ShaftSensorFailure,
    DispenserIsBusy,
    // Other replies.
    PayoutOneCoin,
    PayoutFinished,
    ClearCoinboxStart,
    ResponseAckOrRemainCoin,
    ResponseNak,
};

inline constexpr std::array<std::string_view, 17> kLogMessageTexts = {
    "",
    "PAYOUT NO ACTIVE REPLY",
    "PAYOUT ACTIVE REPLY",
    "STATUS QUERY",
    "REMAIN COIN QUERY",
    "HOPPER RESET",
    "NO ERROR",
    "MOTOR PROBLEM",
    "INSUFFICIENT COINS",
    "PRISM SENSOR FAILURE",
    "SHAFT SENSOR FAILURE",
    "DISPENSER IS BUSY",
    "PAYOUT ONE COIN",
    "PAYOUT FINISHED",
    "CLEAR_COINBOX_START",
    "RESPONSE ACK OR REMAIN COIN",
    "RESPONSE NAK",
};

static_assert(kLogMessageTexts.size() == static_cast<std::size_t>(LogMessage::ResponseNak) + 1,
              "one text per log message");

constexpr std::string_view logMessageText(LogMessage message) {
    return kLogMessageTexts[static_cast<std::size_t>(message)];
}

namespace texts {

// Status box texts.
inline constexpr std::string_view kNoError = "No Error";
inline constexpr std::string_view kMotorProblem = "Motor Problem";
inline constexpr std::string_view kInsufficientCoins = "Insufficient Coins";
inline constexpr std::string_view kPrismSensorFailure = "Prism Sensor Failure";
inline constexpr std::string_view kShaftSensorFailure = "Shaft Sensor Failure";
inline constexpr std::string_view kDispenserIsBusy = "Dispenser Is Busy";
inline constexpr std::string_view kCommandDeny = "Command deny";
inline constexpr std::array<std::string_view, 7> kStatusTexts = {
    kNoError,         kMotorProblem, kInsufficientCoins, kPrismSensorFailure, kShaftSensorFailure,
    kDispenserIsBusy, kCommandDeny};
// Remain Coin box text of the payout-finished reply.
inline constexpr std::string_view kPayoutFinished = "Payout Finished";

// Log direction column.
inline constexpr std::string_view kTx = "TX";
inline constexpr std::string_view kRx = "RX";

// Window.
inline constexpr std::string_view kWindowTitle = "HOPPER CNY MODE";
inline constexpr std::string_view kWindowIconFile = "\\pellix.ico";
// Button 0 has two blanks before "No"; technicians know the caption that way.
inline constexpr std::array<std::string_view, 5> kCommandCaptions = {
    "PayoutCoin  No Reply", "PayoutCoin Reply", "Request Status", "Request Remain Coin",
    "Reset Hopper"};
inline constexpr std::string_view kAddressLabel = "Hopper Addr";
inline constexpr std::string_view kPayoutLabel = "PayOut Coin";
inline constexpr std::string_view kStatusLabel = "Status";
inline constexpr std::string_view kRemainCoinLabel = "Remain Coin";
inline constexpr std::string_view kCloseCaption = "&Close";
inline constexpr std::array<std::string_view, 4> kAddressEntries = {"Address 0", "Address 1",
                                                                    "Address 2", "Address 3"};
inline constexpr std::array<std::string_view, 2> kSpeedEntries = {"9600/E/8/1", "19200/E/8/1"};
// The line settings each speed entry stands for.
inline constexpr std::string_view kFirstPort = "COM1";
inline constexpr std::string_view kLogFont = "新細明體";
inline constexpr int kLogFontPoints = 9;
inline constexpr std::array<std::string_view, 8> kLogHeaders = {"TX/RX", "1", "2", "3",
                                                                "4",     "5", "6", "Message"};

// Accessible names of controls that no caption or label names.
inline constexpr std::string_view kPortChooserName = "COM Port";
inline constexpr std::string_view kSpeedChooserName = "Line Settings";
inline constexpr std::string_view kLogName = "Transaction Log";
inline constexpr std::string_view kReceivedBytesName = "Received Bytes";
inline constexpr std::string_view kLinkPanelName = "Link State";
inline constexpr std::string_view kSpeedPanelName = "Speed";

// Messages.
inline constexpr std::string_view kCountRange = "The payout count must be 0 to 255.";
inline constexpr std::string_view kErrorTitle = "Error";
inline constexpr std::string_view kSaveLogAction = "Save Log As CSV...";
inline constexpr std::string_view kSaveLogDialogTitle = "Save Log As CSV";
inline constexpr std::string_view kCsvFilter = "CSV files (*.csv);;All files (*)";
// %1: file, %2: reason given by the system.
inline constexpr std::string_view kSaveLogFailed = "The log could not be saved to %1.\n%2";

}  // namespace texts

// The line settings behind the speed entries, in the same order.
inline constexpr std::array<LineSettings, 2> kSpeedSettings = {kLine9600E81, kLine19200E81};
}  // namespace pellix::cny
