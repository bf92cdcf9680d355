#pragma once

#include <functional>
#include <optional>
#include <string>

#include "hwtest/teststreamreceiver.h"
#include "records/servicerun.h"

namespace pellix::hwtest {

// Listens to the hardware test stream beside the window and makes a service run of each
// hopper's test: the identity header, the DIP switches, the six results and every flash record
// read, with the hopper's identity from the record. A run ends when the next hopper's header
// begins, when the port changes or the window closes; it is handed to `keep` then.
class HardwareTestRecorder final : public TestStreamView {
  public:
    using Keep = std::function<void(records::ServiceRun)>;
    explicit HardwareTestRecorder(Keep keep) : m_keep(std::move(keep)) {}

    // The port the following runs come through ("COM3", "/dev/ttyUSB0").
    void setPort(std::string port, std::string device);
    void flashWriteSent();
    // Hands over the run in progress, if anything was seen.
    void finish(const std::string& why);

    void showChecksum(std::string_view text) override;
    void appendSoftwareText(std::string_view character) override;
    void firmwareVariantDecided(FirmwareVariant) override {}
    void showDipSwitches(const DipSwitches& on) override;
    void setResult(TestItem item, TestResult result) override;
    void appendRecordText(FlashField field, std::string_view character) override;
    void showSerialNumber(std::string_view text) override;

  private:
    records::ServiceRun& run();

    Keep m_keep;
    std::string m_port;
    std::string m_device;
    std::optional<records::ServiceRun> m_run;
    std::array<std::optional<TestResult>, kTestItemCount> m_results{};
    std::optional<DipSwitches> m_dips;
    std::optional<FlashField> m_readingField;
    std::string m_fieldText;
};

}  // namespace pellix::hwtest
