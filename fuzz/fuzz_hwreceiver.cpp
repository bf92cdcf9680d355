// Feeds arbitrary bytes to the hardware test stream receiver, in the chunks the input's first
// byte chooses, and checks what must hold for any line noise: only the prompt reply is ever
// sent, every result names a test item, serial numbers are 8 digits, record texts never carry
// 0x00 or 0xFF, and a received record decodes and, where its texts allow, writes back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "hwtest/flashrecord.h"
#include "hwtest/teststreamreceiver.h"

namespace {

using namespace pellix::hwtest;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Checker : TestStreamListener {
    void firstChecksumByte(std::uint8_t) override {}
    void secondChecksumByte(std::uint8_t) override {}
    void versionCharacter(std::uint8_t) override {}
    void firmwareVariantDecided(FirmwareVariant v) override {
        check(v != FirmwareVariant::Undecided);
    }
    void showDipSwitchState(std::uint8_t) override {}
    void setResult(TestItem item, TestResult result) override {
        check(static_cast<int>(item) < kTestItemCount);
        check(result == TestResult::Pass || result == TestResult::Fail ||
              result == TestResult::Undetermined);
    }
    void recordTextByte(FlashField field, std::uint8_t b) override {
        check(isShownRecordByte(b));
        check(field != FlashField::SerialNumber && field != FlashField::CompanyMode &&
              field != FlashField::AddressMode && field != FlashField::EncryptionMode);
    }
    void showSerialNumber(std::string_view text) override {
        check(text.size() == FlashRecord::kSerialDigits);
        for (char c : text) {
            check(c >= '0' && c <= '9');
        }
        check(text <= "16777215");
    }
    void sendByte(std::uint8_t b) override { check(b == kPromptReply); }
};

void recordRoundTrip(std::span<const std::uint8_t, FlashRecord::kSize> record) {
    FlashRecord decoded = FlashRecord::decode(record);
    decoded.companyMode %= 3;
    decoded.addressMode %= 2;
    decoded.encryptionMode %= 3;
    const FlashWrite write = decoded.encodeForWrite();
    // Every decoded text fits its field and has a code, so the write always succeeds.
    check(write.ok() && write.frame.size() == 1 + FlashRecord::kSize);
    const auto again = std::span<const std::uint8_t>(write.frame).subspan<1, FlashRecord::kSize>();
    check(FlashRecord::decode(again) == decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t chunk = data[0] == 0 ? 1 : data[0];
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    Checker checker;
    TestStreamReceiver receiver(checker);
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        receiver.feed(stream.subspan(at, std::min(chunk, stream.size() - at)));
        if (stream[at] == 0x52) {  // now and then, what the "Reset" button does
            receiver.resetReceiver();
        }
    }

    if (stream.size() >= FlashRecord::kSize) {
        recordRoundTrip(stream.first<FlashRecord::kSize>());
    }
    return 0;
}
