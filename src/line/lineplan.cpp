#include "line/lineplan.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "hwtest/hwtesttexts.h"

namespace pellix::line {
namespace {

using hwtest::FlashField;
using hwtest::FlashRecord;
using hwtest::TestItem;

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// "COM12" (any case) -> 12.
std::optional<int> comNumber(std::string_view text) {
    if (text.size() < 4 || !sameLetters(text.substr(0, 3), "COM")) {
        return std::nullopt;
    }
    return wholeNumber(text.substr(3));
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

constexpr std::array<std::string_view, hwtest::kTestItemCount> kCheckNames{
    "motor-forward", "motor-reverse", "motor-stop", "empty-sensor", "prism-sensor", "shaft-sensor"};

struct TemplateKey {
    FlashField field;
    std::string_view key;
};
constexpr std::array<TemplateKey, 10> kKeys{{
    {FlashField::SoftwareVersion, "SoftwareVersion"},
    {FlashField::ProductCode, "ProductCode"},
    {FlashField::ManufacturerId, "ManufacturerId"},
    {FlashField::SerialNumber, "SerialNumber"},
    {FlashField::CompanyMode, "CompanyMode"},
    {FlashField::AddressMode, "AddressMode"},
    {FlashField::EncryptionMode, "EncryptionMode"},
    {FlashField::BuildCode, "BuildCode"},
    {FlashField::CategoryId, "CategoryId"},
    {FlashField::HopperCoin, "HopperCoin"},
}};

std::span<const std::string_view> modeEntries(FlashField field) {
    switch (field) {
        case FlashField::CompanyMode:
            return hwtest::texts::kCompanyModeEntries;
        case FlashField::AddressMode:
            return hwtest::texts::kAddressModeEntries;
        default:
            return hwtest::texts::kEncryptionModeEntries;
    }
}

std::optional<int> modePosition(FlashField field, std::string_view value) {
    const auto entries = modeEntries(field);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (sameLetters(entries[i], value)) {
            return static_cast<int>(i);
        }
    }
    const auto number = wholeNumber(value);
    if (number && *number >= 0 && static_cast<std::size_t>(*number) < entries.size()) {
        return number;
    }
    return std::nullopt;
}

}  // namespace

std::string PortRef::name() const {
    return number > 0 ? "COM" + std::to_string(number) : path;
}

std::optional<std::vector<PortRef>> parsePortList(std::string_view text, int highest,
                                                  std::string& error) {
    std::vector<PortRef> out;
    const auto add = [&out](PortRef ref) {
        if (std::find(out.begin(), out.end(), ref) == out.end()) {
            out.push_back(std::move(ref));
        }
    };
    for (std::string_view part : split(text, ',')) {
        part = trimmed(part);
        if (part.empty()) {
            continue;
        }
        if (part.front() == '/' || part.front() == '.') {
            add({0, std::string(part)});
            continue;
        }
        const std::size_t dash = part.find('-');
        const auto first = comNumber(trimmed(part.substr(0, dash)));
        const auto last =
            dash == std::string_view::npos ? first : comNumber(trimmed(part.substr(dash + 1)));
        if (!first || !last) {
            error = "\"" + std::string(part) +
                    "\" is not a port: give COMn, a range COMm-COMn or a device path";
            return std::nullopt;
        }
        if (*first < 1 || *last > highest || *first > *last) {
            error = "\"" + std::string(part) +
                    "\" names no port: COM numbers run from COM1 to COM" + std::to_string(highest) +
                    ", a range from low to high";
            return std::nullopt;
        }
        for (int n = *first; n <= *last; ++n) {
            add({n, {}});
        }
    }
    if (out.empty()) {
        error = "the port list names no port";
        return std::nullopt;
    }
    return out;
}

std::string_view checkName(TestItem item) {
    return kCheckNames[static_cast<std::size_t>(item)];
}

std::optional<PassRule> parsePassRule(std::string_view text, std::string& error) {
    PassRule rule;
    rule.items.fill(false);
    rule.flash = false;
    bool any = false;
    for (std::string_view part : split(text, ',')) {
        part = trimmed(part);
        if (part.empty()) {
            continue;
        }
        const bool on = part.front() != '-';
        const std::string_view name = on ? part : part.substr(1);
        if (name == "all") {
            rule.items.fill(on);
            rule.flash = on;
        } else if (name == kFlashCheck) {
            rule.flash = on;
        } else {
            const auto it = std::find(kCheckNames.begin(), kCheckNames.end(), name);
            if (it == kCheckNames.end()) {
                error = "unknown check \"" + std::string(name) +
                        "\" in the pass rule: use all, flash, motor-forward, motor-reverse, "
                        "motor-stop, empty-sensor, prism-sensor, shaft-sensor, each may start "
                        "with - to leave it out";
                return std::nullopt;
            }
            rule.items[static_cast<std::size_t>(it - kCheckNames.begin())] = on;
        }
        any = true;
    }
    if (!any) {
        error = "the pass rule names no check";
        return std::nullopt;
    }
    return rule;
}

std::string_view templateKey(FlashField field) {
    return kKeys[static_cast<std::size_t>(field)].key;
}

std::optional<FlashRecord> parseFlashTemplate(std::string_view text, std::string& error) {
    FlashRecord record;
    std::array<bool, kKeys.size()> seen{};
    int lineNumber = 0;
    for (std::string_view line : split(text, '\n')) {
        ++lineNumber;
        line = trimmed(line);
        if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '[') {
            continue;
        }
        const auto where = "line " + std::to_string(lineNumber) + ": ";
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            error = where + "not a Key = value line";
            return std::nullopt;
        }
        const std::string_view key = trimmed(line.substr(0, equals));
        std::string_view value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        const auto it = std::find_if(kKeys.begin(), kKeys.end(),
                                     [&](const TemplateKey& k) { return sameLetters(k.key, key); });
        if (it == kKeys.end()) {
            error = where + "unknown key \"" + std::string(key) + "\"";
            return std::nullopt;
        }
        if (it->field == FlashField::SerialNumber) {
            error = where +
                    "SerialNumber is not a template's: each hopper gets the next one "
                    "from the database (--serial-from sets the first)";
            return std::nullopt;
        }
        const auto index = static_cast<std::size_t>(it - kKeys.begin());
        if (seen[index]) {
            error = where + std::string(it->key) + " is given twice";
            return std::nullopt;
        }
        seen[index] = true;
        if (std::string* field = record.textField(it->field)) {
            *field = std::string(value);
        } else if (const auto position = modePosition(it->field, value)) {
            *record.modeField(it->field) = *position;
        } else {
            error = where + std::string(it->key) + " \"" + std::string(value) +
                    "\" is none of its list's entries";
            return std::nullopt;
        }
    }
    FlashRecord check = record;
    check.serialNumber = "00000001";
    const hwtest::FlashWrite write = check.encodeForWrite();
    if (!write.ok()) {
        const FlashField field = write.messages.front().field;
        error = std::string(templateKey(field)) + " cannot be written: longer than " +
                std::to_string(FlashRecord::layoutOf(field).length) +
                " characters, or a character with no single-byte code";
        return std::nullopt;
    }
    return record;
}

std::vector<std::string> recordDifferences(const FlashRecord& written, const FlashRecord& read) {
    std::vector<std::string> out;
    for (const TemplateKey& k : kKeys) {
        std::string wrote = written.serialNumber;
        std::string got = read.serialNumber;
        if (const std::string* text = written.textField(k.field)) {
            wrote = *text;
            got = *read.textField(k.field);
        } else if (const int* mode = written.modeField(k.field)) {
            wrote = std::to_string(*mode);
            got = std::to_string(*read.modeField(k.field));
        }
        if (wrote != got) {
            out.push_back(std::string(k.key) + ": wrote \"" + wrote + "\", read \"" + got + "\"");
        }
    }
    return out;
}

}  // namespace pellix::line
