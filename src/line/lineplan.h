#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hwtest/flashrecord.h"
#include "hwtest/teststreamreceiver.h"

namespace pellix::line {

// One position on the line: a COM number of the tool's stable numbering, or a device path (a
// link such as /dev/serial/by-id/... is kept as given, so a replugged adapter is found again).
struct PortRef {
    int number = 0;  // COMn; 0 for a path
    std::string path;

    std::string name() const;  // "COM5", or the path
    bool operator==(const PortRef&) const = default;
};

// "COM5-COM20,COM3,/dev/serial/by-id/usb-...": COM numbers 1..`highest`, ranges of them and
// device paths, each position once in the order given. Nothing, and `error` says why, for a
// list that names nothing or holds a part that is none of these.
std::optional<std::vector<PortRef>> parsePortList(std::string_view text, int highest,
                                                  std::string& error);

// What must be right for a hopper to pass: each of the six results OK and, when a record was
// written, the record read back equal to it.
struct PassRule {
    std::array<bool, hwtest::kTestItemCount> items{true, true, true, true, true, true};
    bool flash = true;

    bool asks(hwtest::TestItem item) const { return items[static_cast<std::size_t>(item)]; }
};

// The rule's name for a check: "motor-forward" ... "shaft-sensor", and "flash".
std::string_view checkName(hwtest::TestItem item);
inline constexpr std::string_view kFlashCheck = "flash";

// "all" (every check), a comma list of checks, or "all" less some ("all,-prism-sensor").
std::optional<PassRule> parsePassRule(std::string_view text, std::string& error);

// A flash record template, as `Key = value` lines (a [section] line, blank lines and lines
// starting with # or ; are skipped; a value may be put in double quotes to keep its outer
// blanks): SoftwareVersion, ProductCode, ManufacturerId, BuildCode, CategoryId, HopperCoin (texts)
// and CompanyMode, AddressMode, EncryptionMode (a list entry's text or its position). The serial
// number is not a template's: every hopper gets a fresh one. The whole record is checked as a
// write would check it, so a field that cannot be written is refused before anything is sent.
std::optional<hwtest::FlashRecord> parseFlashTemplate(std::string_view text, std::string& error);

// The template's key for a field ("ProductCode").
std::string_view templateKey(hwtest::FlashField field);

// What differs between the record written and the one read back ("serial number: wrote
// 00000017, read 00000000"), one entry per field; empty when they agree.
std::vector<std::string> recordDifferences(const hwtest::FlashRecord& written,
                                           const hwtest::FlashRecord& read);

}  // namespace pellix::line
