#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/lineport.h"
#include "hwtest/firmwarevariant.h"
#include "hwtest/flashrecord.h"

namespace pellix::hwtest {

// Bytes the PC sends to a hopper in hardware test mode.
inline constexpr std::uint8_t kPromptReply = 0x60;
inline constexpr std::uint8_t kReadFlashRequest = 0x7C;
inline constexpr std::uint8_t kDipFinished = 0x7D;
// "Write_Flash" sends FlashRecord::kFrameStart (0x7B) and the 105-byte record.

// Index = position in the window's arrays of test item controls (not the row order on screen:
// the Prism Sensor row lies below the Shaft Sensor row).
enum class TestItem : std::uint8_t {
    MotorForward = 0,
    MotorReverse = 1,
    MotorStop = 2,
    EmptySensor = 3,
    PrismSensor = 4,
    ShaftSensor = 5,
};
inline constexpr int kTestItemCount = 6;

enum class TestResult : std::uint8_t { Pass, Fail, Undetermined };

// Where the receiver stands in the hopper's test stream (rules in teststreamreceiver.cpp).
enum class TestStreamState : std::uint8_t {
    WaitHeader,
    ChecksumFirst,
    ChecksumSecond,
    VersionLength,
    VersionText,
    WaitVersionEnd,
    SkipBlock,
    DipStatus,
    WaitPrompt,
    WaitSecondPrompt,
    MotorForwardResult,
    MotorReverseResult,
    MotorStopResult,
    ShaftCheck,
    EmptyCheck,
    CycleFiller,
    Monitor,
    DipUpdate,
    RecordSoftwareVersion,
    RecordProductCode,
    RecordManufacturerId,
    RecordSerial,
    RecordModes,
    RecordBuildCode,
    RecordCategoryId,
    RecordHopperCoin,
};

// The four DIP switches, SW1 first: 1 for ON, 0 for OFF.
using DipSwitches = std::array<std::uint8_t, 4>;

// The receiver's view port: what the test stream tells the window to show, in stream order and
// already decoded. The PC's bytes go out through the receiver's line port, never through the
// view. Every call happens inside feed() or one of the send operations, on the caller's thread.
class TestStreamView {
  public:
    virtual ~TestStreamView() = default;

    // The header checksum as the box shows it: "0x0F" after its first byte, "0x0F10" once the
    // second came.
    virtual void showChecksum(std::string_view text) = 0;
    // One character of the software text in UTF-8, from every byte including 0x00 and 0xFF
    // (read through the single-byte code page); appended to the software box.
    virtual void appendSoftwareText(std::string_view character) = 0;
    // The header has ended and the variant of the whole software text since the last
    // clearSoftwareText() is decided.
    virtual void firmwareVariantDecided(FirmwareVariant variant) = 0;
    // The DIP switch state, at the end of the early block and after every 0x58 in the monitor
    // phase.
    virtual void showDipSwitches(const DipSwitches& on) = 0;
    virtual void setResult(TestItem item, TestResult result) = 0;
    // One character in UTF-8 of a received flash record's text field, only the ones to show
    // (0x00 and 0xFF are dropped); appended to the field's box.
    virtual void appendRecordText(FlashField field, std::string_view character) = 0;
    // The serial number of a received record as its 8-digit text; replaces the box.
    virtual void showSerialNumber(std::string_view text) = 0;
    // One of a received record's three mode bytes (CompanyMode, AddressMode, EncryptionMode).
    // The window does not show them; a runner verifying a write compares them.
    virtual void recordMode(FlashField, std::uint8_t) {}
    // The receiver moved to another state; nothing on screen shows it, the capture notes it.
    virtual void stateChanged(TestStreamState) {}
};

// One stream of view events to several listeners (the window, the service records), each
// called in the order added.
class TestStreamViews final : public TestStreamView {
  public:
    void add(TestStreamView& view) { m_views.push_back(&view); }

    void showChecksum(std::string_view text) override { each(&TestStreamView::showChecksum, text); }
    void appendSoftwareText(std::string_view c) override {
        each(&TestStreamView::appendSoftwareText, c);
    }
    void firmwareVariantDecided(FirmwareVariant v) override {
        each(&TestStreamView::firmwareVariantDecided, v);
    }
    void showDipSwitches(const DipSwitches& on) override {
        each(&TestStreamView::showDipSwitches, on);
    }
    void setResult(TestItem item, TestResult result) override {
        for (TestStreamView* view : m_views) {
            view->setResult(item, result);
        }
    }
    void appendRecordText(FlashField field, std::string_view c) override {
        for (TestStreamView* view : m_views) {
            view->appendRecordText(field, c);
        }
    }
    void showSerialNumber(std::string_view text) override {
        each(&TestStreamView::showSerialNumber, text);
    }
    void recordMode(FlashField field, std::uint8_t value) override {
        for (TestStreamView* view : m_views) {
            view->recordMode(field, value);
        }
    }
    void stateChanged(TestStreamState state) override {
        each(&TestStreamView::stateChanged, state);
    }

  private:
    template <typename Event, typename Value>
    void each(Event event, const Value& value) {
        for (TestStreamView* view : m_views) {
            (view->*event)(value);
        }
    }
    std::vector<TestStreamView*> m_views;
};

// Follows the stream a hopper sends in hardware test mode, one byte at a time, and sends the
// PC's bytes through its line port, each byte as its own write. Pure: no I/O, no clock, no
// allocation per byte.
class TestStreamReceiver final : public LineEngine {
  public:
    TestStreamReceiver(LinePort& line, TestStreamView& view) : m_line(line), m_view(view) {}

    void feed(std::uint8_t byte);
    // Stops right after a prompt whose answer the line could not take.
    FeedResult feed(std::span<const std::uint8_t> bytes) override;
    void timeoutExpired(std::size_t) override {}

    // Back to WaitHeader with the position count at 0. Every other count and the variant stay
    // as they are; the grammar clears them where it needs them cleared.
    void restartAtHeader();
    // The software box was emptied: the next variant is decided on the new text alone.
    void clearSoftwareText();

    void sendReadFlashRequest();
    void sendDipFinished();
    // Checks the record, and only when every field passes sends 0x7B and its 105 bytes, each
    // byte on its own. Returns the messages of the failing fields in field order.
    std::vector<FieldMessage> writeFlash(const FlashRecord& record);

    TestStreamState state() const { return m_state; }
    FirmwareVariant firmwareVariant() const { return m_variant; }

  private:
    // The dispatcher: one function below per state (or a few alike).
    void handle(std::uint8_t byte);
    void waitHeader(std::uint8_t byte);
    void checksumByte(std::uint8_t byte);
    void versionLength(std::uint8_t byte);
    void versionText(std::uint8_t byte);
    void waitVersionEnd(std::uint8_t byte);
    void skipBlock();
    void dipSwitches(std::uint8_t byte, TestStreamState next);
    void waitPrompt(std::uint8_t byte);
    void motorResult(std::uint8_t byte, TestItem item, TestStreamState next);
    void shaftCheck(std::uint8_t byte);
    void emptyCheck(std::uint8_t byte);
    void cycleFiller();
    void monitor(std::uint8_t byte);
    void recordSerial(std::uint8_t byte);
    void recordModes(std::uint8_t byte);
    void recordText(FlashField field, std::uint8_t byte, TestStreamState next);
    void endSensorCycles();

    void send(std::uint8_t byte);

    LinePort& m_line;
    TestStreamView& m_view;
    bool m_stop = false;
    SoftwareTextTracker m_softwareText;
    TestStreamState m_state = TestStreamState::WaitHeader;
    std::int16_t m_positionCount = 0;
    std::uint8_t m_versionLength = 0;
    FirmwareVariant m_variant = FirmwareVariant::Undecided;
    std::uint8_t m_cycleCount = 0;
    std::uint8_t m_shaftCount = 0;
    std::uint8_t m_emptyCount = 0;
    std::uint8_t m_fillerCount = 0;
    std::uint8_t m_prismCount = 0;
    std::uint8_t m_fieldCount = 0;
    std::array<std::uint8_t, 6> m_serialBytes{};
    // Short enough to stay in the strings' own storage: no allocation per byte.
    std::string m_checksumText;
    std::string m_character;
};

// The DIP switch state a byte carries, bit 0 = SW1.
DipSwitches dipSwitchValues(std::uint8_t byte);

}  // namespace pellix::hwtest
