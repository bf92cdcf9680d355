#pragma once

#include <optional>
#include <string>

#include "hwtest/teststreamreceiver.h"
#include "serial/capture.h"

namespace pellix::hwtest {

// Passes every receiver call on to the window unchanged and tells the port's capture what the
// stream meant: header checksum and software text, firmware variant, DIP state, each result,
// the fields of a received record and the requests the PC sent.
class HwTestNotes final : public TestStreamListener {
  public:
    explicit HwTestNotes(TestStreamListener& window) : m_window(window) {}
    void setSink(NoteSink* sink) { m_sink = sink; }

    // Called after each fed byte: a record field is noted once the receiver has left it.
    void stateNow(TestStreamState state);

    void firstChecksumByte(std::uint8_t byte) override;
    void secondChecksumByte(std::uint8_t byte) override;
    void versionCharacter(std::uint8_t byte) override;
    void firmwareVariantDecided(FirmwareVariant variant) override;
    void showDipSwitchState(std::uint8_t byte) override;
    void setResult(TestItem item, TestResult result) override;
    void recordTextByte(FlashField field, std::uint8_t byte) override;
    void showSerialNumber(std::string_view text) override;
    // A byte the PC sent (the line port's side), noted by the request it belongs to.
    void byteSent(std::uint8_t byte);

  private:
    void note(std::string_view text);
    void endField();

    TestStreamListener& m_window;
    NoteSink* m_sink = nullptr;
    std::string m_checksum;
    std::string m_software;
    std::optional<FlashField> m_field;
    std::string m_fieldText;
    int m_recordBytesToSend = 0;
};

std::string_view testItemName(TestItem item);

}  // namespace pellix::hwtest
