// Flash record codec: decode of any 105 bytes, encode of any texts and list positions, and
// decode(encode) giving back what was encoded.
//
// Input: the first 105 bytes (zero-filled when short) are a received record; the rest are the
// operator's edits: ten texts separated by 0x1F (mode fields take their first byte as the list
// position, 0xFF for "no entry chosen").
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/codepage.h"
#include "fuzzcheck.h"
#include "hwtest/flashrecord.h"

namespace {

using namespace pellix;
using namespace pellix::hwtest;

bool wellFormedUtf8(std::string_view text) {
    std::string again;
    for (char32_t c : utf8ToCharacters(text)) {
        appendUtf8(again, c);
    }
    return again == text;
}

void checkDecoded(FlashRecord& decoded) {
    for (const FlashFieldLayout& layout : FlashRecord::kLayout) {
        if (const std::string* text = decoded.textField(layout.field)) {
            FUZZ_CHECK(wellFormedUtf8(*text));
            FUZZ_CHECK(utf8ToCharacters(*text).size() <= layout.length);
        }
    }
    FUZZ_CHECK(decoded.serialNumber.size() == FlashRecord::kSerialDigits);
    FUZZ_CHECK(decoded.serialNumber.find_first_not_of("0123456789") == std::string::npos);
    FUZZ_CHECK(decoded.serialNumber < "16777216");
}

// A text as a received record shows it after a write: padding and erased-flash codes vanish.
std::string shownAfterWrite(std::string_view text) {
    std::string out;
    for (char32_t c : utf8ToCharacters(text)) {
        const auto byte = windows1252Byte(c);
        if (byte && isShownRecordByte(*byte)) {
            appendWindows1252(out, *byte);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pellix::fuzz::Input input(data, size);

    std::array<std::uint8_t, FlashRecord::kSize> received{};
    const auto head = input.take(received.size());
    std::copy(head.begin(), head.end(), received.begin());
    FlashRecord decoded = FlashRecord::decode(received);
    checkDecoded(decoded);
    // A decoded record with its modes inside their lists writes back byte for byte, except
    // that the codes never shown (padding, erased flash) are written as padding.
    FlashRecord rewritable = decoded;
    rewritable.companyMode %= 3;
    rewritable.addressMode %= 2;
    rewritable.encryptionMode %= 3;
    const FlashWrite rewrite = rewritable.encodeForWrite();
    FUZZ_CHECK(rewrite.ok() && rewrite.frame.size() == 1 + FlashRecord::kSize);
    FUZZ_CHECK(FlashRecord::decode(std::span(rewrite.frame).subspan<1, FlashRecord::kSize>()) ==
               rewritable);

    // The operator's edits.
    FlashRecord edited;
    const auto rest = input.rest();
    std::vector<std::string> parts(1);
    for (std::uint8_t b : rest) {
        if (b == 0x1F && parts.size() < FlashRecord::kLayout.size()) {
            parts.emplace_back();
        } else {
            parts.back().push_back(static_cast<char>(b));
        }
    }
    parts.resize(FlashRecord::kLayout.size());
    const auto position = [](const std::string& part) {
        return part.empty() ? 0 : (part[0] == '\xFF' ? -1 : static_cast<std::uint8_t>(part[0]));
    };
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const FlashField field = FlashRecord::kLayout[i].field;
        if (std::string* text = edited.textField(field)) {
            *text = parts[i];
        }
    }
    edited.serialNumber = parts[static_cast<std::size_t>(FlashField::SerialNumber)];
    edited.companyMode = position(parts[static_cast<std::size_t>(FlashField::CompanyMode)]);
    edited.addressMode = position(parts[static_cast<std::size_t>(FlashField::AddressMode)]);
    edited.encryptionMode = position(parts[static_cast<std::size_t>(FlashField::EncryptionMode)]);

    const FlashWrite write = edited.encodeForWrite();
    // Either the whole frame or nothing, never a record with a field left out.
    FUZZ_CHECK(write.ok() == (write.frame.size() == 1 + FlashRecord::kSize));
    FUZZ_CHECK(write.ok() || write.frame.empty());
    for (std::size_t i = 1; i < write.messages.size(); ++i) {
        FUZZ_CHECK(write.messages[i - 1].field < write.messages[i].field);
    }
    for (const FieldMessage& message : write.messages) {
        FUZZ_CHECK(!message.text.empty());
    }
    if (!write.ok()) {
        return 0;
    }
    FUZZ_CHECK(write.frame[0] == FlashRecord::kFrameStart);
    FlashRecord back = FlashRecord::decode(std::span(write.frame).subspan<1, FlashRecord::kSize>());
    checkDecoded(back);
    for (const FlashFieldLayout& layout : FlashRecord::kLayout) {
        if (const std::string* text = edited.textField(layout.field)) {
            FUZZ_CHECK(*back.textField(layout.field) == shownAfterWrite(*text));
        }
    }
    FUZZ_CHECK(back.companyMode == edited.companyMode);
    FUZZ_CHECK(back.addressMode == edited.addressMode);
    FUZZ_CHECK(back.encryptionMode == edited.encryptionMode);
    const bool plainSerial =
        edited.serialNumber.size() == FlashRecord::kSerialDigits &&
        edited.serialNumber.find_first_not_of("0123456789") == std::string::npos;
    FUZZ_CHECK(!plainSerial || back.serialNumber == edited.serialNumber);
    // What was read back writes again and reads the same: a record survives any number of
    // read and write rounds once it has been through one.
    const FlashWrite second = back.encodeForWrite();
    FUZZ_CHECK(second.ok());
    FUZZ_CHECK(FlashRecord::decode(std::span(second.frame).subspan<1, FlashRecord::kSize>()) ==
               back);
    return 0;
}
