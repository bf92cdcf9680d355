#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::hwtest {

// The fields of the identity and configuration record in the hopper's flash, in wire order.
enum class FlashField : std::uint8_t {
    SoftwareVersion,
    ProductCode,
    ManufacturerId,
    SerialNumber,
    CompanyMode,
    AddressMode,
    EncryptionMode,
    BuildCode,
    CategoryId,
    HopperCoin,
};

struct FlashFieldLayout {
    FlashField field;
    std::size_t offset;  // from the first byte after the 0x7B that introduces a record
    std::size_t length;  // bytes on the wire; for a text field also its most characters
};

// A problem that keeps a record from being written, with the message the operator sees.
struct FieldMessage {
    FlashField field;
    std::string_view text;
    bool operator==(const FieldMessage&) const = default;
};

struct FlashWrite {
    // 0x7B followed by the 105-byte record; empty when any field failed its check, because a
    // record with a field left out would shift every later field in the hopper's flash.
    std::vector<std::uint8_t> frame;
    // Every failing field's message, in field order.
    std::vector<FieldMessage> messages;
    bool ok() const { return messages.empty(); }
};

// The ten field values as the operator edits and sees them. Texts are UTF-8; the mode fields
// are list positions (-1 for "no entry chosen", as list widgets report it).
struct FlashRecord {
    static constexpr std::size_t kSize = 105;
    static constexpr std::uint8_t kFrameStart = 0x7B;
    static constexpr std::size_t kSerialDigits = 8;
    static constexpr std::uint32_t kSerialLimit = 16777216;  // the three value bytes overflow here

    static constexpr std::array<FlashFieldLayout, 10> kLayout = {{
        {FlashField::SoftwareVersion, 0, 20},
        {FlashField::ProductCode, 20, 20},
        {FlashField::ManufacturerId, 40, 20},
        {FlashField::SerialNumber, 60, 6},  // value in 3 bytes, least significant first, 3 zero
        {FlashField::CompanyMode, 66, 1},
        {FlashField::AddressMode, 67, 1},
        {FlashField::EncryptionMode, 68, 1},
        {FlashField::BuildCode, 69, 20},
        {FlashField::CategoryId, 89, 10},
        {FlashField::HopperCoin, 99, 6},
    }};
    static constexpr const FlashFieldLayout& layoutOf(FlashField field) {
        return kLayout[static_cast<std::size_t>(field)];
    }

    std::string softwareVersion;
    std::string productCode;
    std::string manufacturerId;
    std::string serialNumber;
    int companyMode = 0;
    int addressMode = 0;
    int encryptionMode = 0;
    std::string buildCode;
    std::string categoryId;
    std::string hopperCoin;

    bool operator==(const FlashRecord&) const = default;

    // One of the six text fields, or null for the serial number and the modes.
    std::string* textField(FlashField field);
    const std::string* textField(FlashField field) const;
    // One of the three mode fields, or null for the others.
    int* modeField(FlashField field);
    const int* modeField(FlashField field) const;

    // Checks every field first and builds the 106 bytes of "Write_Flash" only when all pass.
    // Texts: at most the field length in characters, each with a single-byte code, padded with
    // 0x00. Serial number: fewer than 8 characters get leading zeros; 8 characters must read
    // wholly as one number (see readsAsSerialNumber), rounded halves to even, below 16777216;
    // 9 or more are too long. Modes: a position inside its list.
    FlashWrite encodeForWrite() const;

    // A received record as the boxes show it: text bytes 0x00 and 0xFF dropped, the rest
    // through the code page; the serial number as its 8-digit text; the mode bytes as numbers.
    static FlashRecord decode(std::span<const std::uint8_t, kSize> record);
};

// Whether an 8-character serial text is one number from its first to its last character, as
// the number reading understands numbers: blanks, tabs and line feeds anywhere are skipped;
// then a sign, digits with an optional fraction and an optional exponent (E or D, with
// digits), or "&H" and hexadecimal digits, or "&O" and octal digits, and nothing else.
// "1234567x", "ABCDEFGH", eight blanks and "000000-1" (a sign after digits) do not.
bool readsAsSerialNumber(std::string_view text);

// "00000001" .. "16777215": s0 + 256 * s1 + 65536 * s2 in decimal, zero-padded to 8 digits.
std::string serialNumberText(std::uint8_t s0, std::uint8_t s1, std::uint8_t s2);

// Writes the same 8 digits without allocating; used per received record.
void formatSerialNumber(std::uint8_t s0, std::uint8_t s1, std::uint8_t s2,
                        std::span<char, FlashRecord::kSerialDigits> out);

// Received record text bytes 0x00 (padding) and 0xFF (erased flash) are never shown.
constexpr bool isShownRecordByte(std::uint8_t byte) {
    return byte != 0x00 && byte != 0xFF;
}

}  // namespace pellix::hwtest
