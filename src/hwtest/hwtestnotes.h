#pragma once

#include <optional>
#include <string>

#include "capture/notesink.h"
#include "hwtest/teststreamreceiver.h"

namespace pellix::hwtest {

// Passes every receiver call on to the window and every byte the receiver sends on to the
// line, unchanged, and tells the port's capture what the stream meant: header checksum and
// software text, firmware variant, DIP state, each result, the fields of a received record and
// the requests the PC sent.
class HwTestNotes final : public TestStreamView, public LinePort {
  public:
    HwTestNotes(TestStreamView& window, LinePort& line) : m_window(window), m_line(line) {}
    void setSink(NoteSink* sink) { m_sink = sink; }

    void showChecksum(std::string_view text) override;
    void appendSoftwareText(std::string_view character) override;
    void firmwareVariantDecided(FirmwareVariant variant) override;
    void showDipSwitches(const DipSwitches& on) override;
    void setResult(TestItem item, TestResult result) override;
    void appendRecordText(FlashField field, std::string_view character) override;
    void showSerialNumber(std::string_view text) override;
    void recordMode(FlashField field, std::uint8_t value) override {
        m_window.recordMode(field, value);
    }
    // A record field is noted once the receiver has left it.
    void stateChanged(TestStreamState state) override;

    // LinePort: what the line took is noted by the request it belongs to.
    bool send(std::span<const std::uint8_t> bytes) override;
    using LinePort::send;
    void discardInput() override { m_line.discardInput(); }
    void startTimeout(std::size_t timeout) override { m_line.startTimeout(timeout); }
    void stopTimeout(std::size_t timeout) override { m_line.stopTimeout(timeout); }

  private:
    void note(std::string_view text);
    void endField();
    void byteSent(std::uint8_t byte);

    TestStreamView& m_window;
    LinePort& m_line;
    NoteSink* m_sink = nullptr;
    std::string m_software;
    std::optional<FlashField> m_field;
    std::string m_fieldText;
    int m_recordBytesToSend = 0;
};

std::string_view testItemName(TestItem item);

}  // namespace pellix::hwtest
