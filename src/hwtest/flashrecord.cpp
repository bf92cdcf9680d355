#include "hwtest/flashrecord.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "common/codepage.h"
#include "common/numbertext.h"
#include "hwtest/hwtesttexts.h"

namespace pellix::hwtest {
namespace {

struct TextRule {
    std::string_view tooLong;
    std::string_view unencodable;
};

TextRule textRule(FlashField field) {
    switch (field) {
        case FlashField::SoftwareVersion:
            return {texts::kSoftwareVersionTooLong, texts::kSoftwareVersionUnencodable};
        case FlashField::ProductCode:
            return {texts::kProductCodeTooLong, texts::kProductCodeUnencodable};
        case FlashField::ManufacturerId:
            return {texts::kManufacturerIdTooLong, texts::kManufacturerIdUnencodable};
        case FlashField::BuildCode:
            return {texts::kCodeTooLong, texts::kBuildCodeUnencodable};
        case FlashField::CategoryId:
            return {texts::kCodeTooLong, texts::kCategoryIdUnencodable};
        case FlashField::HopperCoin:
        default:
            return {texts::kCodeTooLong, texts::kHopperCoinUnencodable};
    }
}

using Record = std::array<std::uint8_t, FlashRecord::kSize>;

// layoutOf indexes the table by field, and the receiver walks the fields back to back: the table
// must list every field in wire order with no gap or overlap, ending at the record's size.
constexpr bool layoutIsWireOrder() {
    std::size_t at = 0;
    for (std::size_t i = 0; i < FlashRecord::kLayout.size(); ++i) {
        const FlashFieldLayout& layout = FlashRecord::kLayout[i];
        if (static_cast<std::size_t>(layout.field) != i || layout.offset != at) {
            return false;
        }
        at += layout.length;
    }
    return at == FlashRecord::kSize;
}
static_assert(layoutIsWireOrder());

// A text field: the code page bytes, zero-padded to the field length. A text too long for its
// field is reported as such even when it also holds an unencodable character: one message per
// field, and shortening it is what the operator has to do first anyway.
void encodeText(FlashField field, std::string_view utf8, Record& record,
                std::vector<FieldMessage>& messages) {
    const auto& layout = FlashRecord::layoutOf(field);
    const std::u32string characters = utf8ToCharacters(utf8);
    if (characters.size() > layout.length) {
        messages.push_back({field, textRule(field).tooLong});
        return;
    }
    const Windows1252Text encoded = encodeWindows1252(characters);
    if (!encoded.complete()) {
        messages.push_back({field, textRule(field).unencodable});
        return;
    }
    std::copy(encoded.bytes.begin(), encoded.bytes.end(),
              record.begin() + static_cast<std::ptrdiff_t>(layout.offset));
}

void encodeSerial(std::string_view utf8, Record& record, std::vector<FieldMessage>& messages) {
    const std::size_t characters = utf8ToCharacters(utf8).size();
    if (characters > FlashRecord::kSerialDigits) {
        messages.push_back({FlashField::SerialNumber, texts::kSerialTooLong});
        return;
    }
    // The box may hold fewer digits than the flash keeps; "256" means serial 00000256.
    std::string text(FlashRecord::kSerialDigits - characters, '0');
    text += utf8;
    if (!readsAsSerialNumber(text)) {
        messages.push_back({FlashField::SerialNumber, texts::kSerialNotWholeNumber});
        return;
    }
    const double value = roundHalfEven(readNumber(text));
    if (value >= FlashRecord::kSerialLimit) {
        messages.push_back({FlashField::SerialNumber, texts::kSerialValueTooLarge});
        return;
    }
    // A negative value goes out as the low three bytes of its 32-bit two's complement; one
    // beyond 32 bits (only reachable through an exponent) has no such form.
    if (!(value >= static_cast<double>(std::numeric_limits<std::int32_t>::min()))) {
        messages.push_back({FlashField::SerialNumber, texts::kSerialNotWholeNumber});
        return;
    }
    const auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    const std::size_t at = FlashRecord::layoutOf(FlashField::SerialNumber).offset;
    record[at] = static_cast<std::uint8_t>(bits & 0xFFu);
    record[at + 1] = static_cast<std::uint8_t>((bits >> 8) & 0xFFu);
    record[at + 2] = static_cast<std::uint8_t>((bits >> 16) & 0xFFu);
}

void encodeMode(FlashField field, int position, std::size_t entries, std::string_view message,
                Record& record, std::vector<FieldMessage>& messages) {
    if (position < 0 || static_cast<std::size_t>(position) >= entries) {
        messages.push_back({field, message});
        return;
    }
    record[FlashRecord::layoutOf(field).offset] = static_cast<std::uint8_t>(position);
}

std::string decodeText(std::span<const std::uint8_t, FlashRecord::kSize> record, FlashField field) {
    const auto& layout = FlashRecord::layoutOf(field);
    std::string out;
    for (std::uint8_t b : record.subspan(layout.offset, layout.length)) {
        if (isShownRecordByte(b)) {
            appendWindows1252(out, b);
        }
    }
    return out;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigitOf(char c, int base) {
    if (c >= '0' && c <= '9') {
        return c - '0' < base;
    }
    if (base == 16) {
        return (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    }
    return false;
}

}  // namespace

bool readsAsSerialNumber(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (!isBlank(c)) {
            s.push_back(c);
        }
    }
    std::size_t i = 0;
    const auto digitsFrom = [&](int base) {
        const std::size_t start = i;
        while (i < s.size() && isDigitOf(s[i], base)) {
            ++i;
        }
        return i - start;
    };

    if (s.size() >= 2 && s[0] == '&') {
        const char radix = s[1];
        int base = 0;
        if (radix == 'H' || radix == 'h') {
            base = 16;
        } else if (radix == 'O' || radix == 'o') {
            base = 8;
        } else {
            return false;
        }
        i = 2;
        return digitsFrom(base) > 0 && i == s.size();
    }

    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t mantissaDigits = digitsFrom(10);
    if (i < s.size() && s[i] == '.') {
        ++i;
        mantissaDigits += digitsFrom(10);
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        if (digitsFrom(10) == 0) {
            return false;
        }
    }
    return i == s.size();
}

void formatSerialNumber(std::uint8_t s0, std::uint8_t s1, std::uint8_t s2,
                        std::span<char, FlashRecord::kSerialDigits> out) {
    // 16777215 has eight digits, so the value always fits and nothing is ever cut.
    std::uint32_t value = s0 + 256u * s1 + 65536u * s2;
    for (std::size_t i = out.size(); i-- > 0;) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

std::string serialNumberText(std::uint8_t s0, std::uint8_t s1, std::uint8_t s2) {
    std::array<char, FlashRecord::kSerialDigits> digits{};
    formatSerialNumber(s0, s1, s2, digits);
    return std::string(digits.begin(), digits.end());
}

FlashWrite FlashRecord::encodeForWrite() const {
    Record record{};
    FlashWrite out;
    encodeText(FlashField::SoftwareVersion, softwareVersion, record, out.messages);
    encodeText(FlashField::ProductCode, productCode, record, out.messages);
    encodeText(FlashField::ManufacturerId, manufacturerId, record, out.messages);
    encodeSerial(serialNumber, record, out.messages);
    encodeMode(FlashField::CompanyMode, companyMode, texts::kCompanyModeEntries.size(),
               texts::kCompanyModeNotChosen, record, out.messages);
    encodeMode(FlashField::AddressMode, addressMode, texts::kAddressModeEntries.size(),
               texts::kAddressModeNotChosen, record, out.messages);
    encodeMode(FlashField::EncryptionMode, encryptionMode, texts::kEncryptionModeEntries.size(),
               texts::kEncryptionModeNotChosen, record, out.messages);
    encodeText(FlashField::BuildCode, buildCode, record, out.messages);
    encodeText(FlashField::CategoryId, categoryId, record, out.messages);
    encodeText(FlashField::HopperCoin, hopperCoin, record, out.messages);
    if (out.ok()) {
        out.frame.reserve(1 + kSize);
        out.frame.push_back(kFrameStart);
        out.frame.insert(out.frame.end(), record.begin(), record.end());
    }
    return out;
}

FlashRecord FlashRecord::decode(std::span<const std::uint8_t, kSize> record) {
    FlashRecord out;
    out.softwareVersion = decodeText(record, FlashField::SoftwareVersion);
    out.productCode = decodeText(record, FlashField::ProductCode);
    out.manufacturerId = decodeText(record, FlashField::ManufacturerId);
    const std::size_t serial = layoutOf(FlashField::SerialNumber).offset;
    out.serialNumber = serialNumberText(record[serial], record[serial + 1], record[serial + 2]);
    out.companyMode = record[layoutOf(FlashField::CompanyMode).offset];
    out.addressMode = record[layoutOf(FlashField::AddressMode).offset];
    out.encryptionMode = record[layoutOf(FlashField::EncryptionMode).offset];
    out.buildCode = decodeText(record, FlashField::BuildCode);
    out.categoryId = decodeText(record, FlashField::CategoryId);
    out.hopperCoin = decodeText(record, FlashField::HopperCoin);
    return out;
}

std::string* FlashRecord::textField(FlashField field) {
    switch (field) {
        case FlashField::SoftwareVersion:
            return &softwareVersion;
        case FlashField::ProductCode:
            return &productCode;
        case FlashField::ManufacturerId:
            return &manufacturerId;
        case FlashField::BuildCode:
            return &buildCode;
        case FlashField::CategoryId:
            return &categoryId;
        case FlashField::HopperCoin:
            return &hopperCoin;
        default:
            return nullptr;
    }
}

const std::string* FlashRecord::textField(FlashField field) const {
    return const_cast<FlashRecord*>(this)->textField(field);
}

int* FlashRecord::modeField(FlashField field) {
    switch (field) {
        case FlashField::CompanyMode:
            return &companyMode;
        case FlashField::AddressMode:
            return &addressMode;
        case FlashField::EncryptionMode:
            return &encryptionMode;
        default:
            return nullptr;
    }
}

const int* FlashRecord::modeField(FlashField field) const {
    return const_cast<FlashRecord*>(this)->modeField(field);
}

}  // namespace pellix::hwtest
