// Feeds arbitrary bytes to the hardware test stream receiver, in the chunks the input's first
// byte chooses and once more one byte at a time, and checks what must hold for any line noise:
// both ways call the listener identically, only the prompt reply is ever sent, serial numbers
// are 8 digits, record texts never carry 0x00 or 0xFF and belong to text fields, and a received
// record decodes and, where its texts allow, writes back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "fuzzcheck.h"
#include "hwtest/flashrecord.h"
#include "hwtest/teststreamreceiver.h"

namespace {

using namespace pellix::hwtest;

// Checks every call and logs it as one number (kind, then up to two bytes), so two runs can be
// compared call for call.
struct Checker : TestStreamView, pellix::LinePort {
    std::vector<std::uint32_t> calls;

    void log(std::uint32_t kind, std::uint32_t a = 0, std::uint32_t b = 0) {
        calls.push_back(kind << 16 | a << 8 | b);
    }
    // A character arrives whole: one to three bytes of UTF-8.
    void logCharacter(std::uint32_t kind, std::uint32_t a, std::string_view c) {
        FUZZ_CHECK(!c.empty() && c.size() <= 3);
        for (char byte : c) {
            log(kind, a, static_cast<std::uint8_t>(byte));
        }
    }
    void showChecksum(std::string_view text) override {
        FUZZ_CHECK(text.size() == 4 || text.size() == 6);
        log(1, static_cast<std::uint8_t>(text.back()), static_cast<std::uint32_t>(text.size()));
    }
    void appendSoftwareText(std::string_view c) override { logCharacter(3, 0, c); }
    void firmwareVariantDecided(FirmwareVariant v) override {
        FUZZ_CHECK(v != FirmwareVariant::Undecided);
        log(4, static_cast<std::uint32_t>(v));
    }
    void showDipSwitches(const DipSwitches& on) override {
        log(5, static_cast<std::uint32_t>(on[0] | on[1] << 1 | on[2] << 2 | on[3] << 3));
    }
    void setResult(TestItem item, TestResult result) override {
        log(6, static_cast<std::uint32_t>(item), static_cast<std::uint32_t>(result));
    }
    void appendRecordText(FlashField field, std::string_view c) override {
        logCharacter(7, static_cast<std::uint32_t>(field), c);
        // 0x00 and 0xFF never reach the boxes.
        FUZZ_CHECK(c != std::string_view("\0", 1) && c != "\xC3\xBF");
        FUZZ_CHECK(field != FlashField::SerialNumber && field != FlashField::CompanyMode &&
                   field != FlashField::AddressMode && field != FlashField::EncryptionMode);
    }
    void showSerialNumber(std::string_view text) override {
        FUZZ_CHECK(text.size() == FlashRecord::kSerialDigits);
        std::uint32_t value = 0;
        for (char c : text) {
            FUZZ_CHECK(c >= '0' && c <= '9');
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        }
        FUZZ_CHECK(value < FlashRecord::kSerialLimit);
        log(8);
        calls.push_back(value);
    }
    bool send(std::span<const std::uint8_t> bytes) override {
        for (std::uint8_t b : bytes) {
            sendByte(b);
        }
        return true;
    }
    void discardInput() override {}
    void startTimeout(std::size_t) override {}
    void stopTimeout(std::size_t) override {}
    void sendByte(std::uint8_t b) {
        FUZZ_CHECK(b == kPromptReply);
        log(9, b);
    }
};

void recordRoundTrip(std::span<const std::uint8_t, FlashRecord::kSize> record) {
    FlashRecord decoded = FlashRecord::decode(record);
    decoded.companyMode %= 3;
    decoded.addressMode %= 2;
    decoded.encryptionMode %= 3;
    const FlashWrite write = decoded.encodeForWrite();
    // Every decoded text fits its field and has a code, so the write always succeeds.
    FUZZ_CHECK(write.ok() && write.frame.size() == 1 + FlashRecord::kSize);
    const auto again = std::span<const std::uint8_t>(write.frame).subspan<1, FlashRecord::kSize>();
    FUZZ_CHECK(FlashRecord::decode(again) == decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t chunk = data[0] == 0 ? 1 : data[0];
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    // Now and then, what the "Reset" button does: after the chunk that starts with 0x52, and in
    // the byte-wise run after that chunk's last byte.
    const auto resetAfter = [&](std::size_t at) { return stream[at] == 0x52; };
    Checker inChunks;
    TestStreamReceiver chunked(inChunks, inChunks);
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        chunked.feed(stream.subspan(at, std::min(chunk, stream.size() - at)));
        if (resetAfter(at)) {
            chunked.restartAtHeader();
        }
    }
    Checker byteWise;
    TestStreamReceiver single(byteWise, byteWise);
    for (std::size_t at = 0; at < stream.size(); ++at) {
        single.feed(stream[at]);
        const std::size_t chunkStart = at - at % chunk;
        const bool lastOfChunk = (at + 1) % chunk == 0 || at + 1 == stream.size();
        if (lastOfChunk && resetAfter(chunkStart)) {
            single.restartAtHeader();
        }
    }
    FUZZ_CHECK(inChunks.calls == byteWise.calls);
    FUZZ_CHECK(chunked.state() == single.state());

    if (stream.size() >= FlashRecord::kSize) {
        recordRoundTrip(stream.first<FlashRecord::kSize>());
    }
    return 0;
}
