#include "hwtest/hardwaretestrecorder.h"

#include "hwtest/hwtestnotes.h"
#include "records/newrun.h"

namespace pellix::hwtest {
namespace {

std::string fieldName(FlashField field) {
    static constexpr std::array<std::string_view, 10> kNames{
        "software version", "product code",    "manufacturer id", "serial number", "company mode",
        "address mode",     "encryption mode", "build code",      "category id",   "hopper coin"};
    return std::string(kNames[static_cast<std::size_t>(field)]);
}

std::string resultText(TestResult result) {
    switch (result) {
        case TestResult::Pass:
            return "OK";
        case TestResult::Fail:
            return "NG";
        case TestResult::Undetermined:
            break;
    }
    return "not determined";
}

}  // namespace

void HardwareTestRecorder::setPort(std::string port, std::string device) {
    finish("the port changed");
    m_port = std::move(port);
    m_device = std::move(device);
}

records::ServiceRun& HardwareTestRecorder::run() {
    if (!m_run) {
        m_run = records::newRun(records::Interface::HardwareTest, m_port, m_device);
        m_results = {};
        m_dips.reset();
    }
    return *m_run;
}

void HardwareTestRecorder::finish(const std::string& why) {
    if (!m_run) {
        return;
    }
    if (m_readingField) {
        appendRecordText(*m_readingField, {});  // closes the field being read
    }
    records::ServiceRun done = std::move(*m_run);
    m_run.reset();
    done.endedUtc = records::utcNow();
    if (m_dips) {
        for (std::size_t i = 0; i < m_dips->size(); ++i) {
            done.add("dip " + std::to_string(i + 1), (*m_dips)[i] ? "on" : "off");
        }
    }
    std::string failed;
    bool complete = true;
    for (int i = 0; i < kTestItemCount; ++i) {
        const auto item = static_cast<TestItem>(i);
        const auto& result = m_results[static_cast<std::size_t>(i)];
        done.add("result " + std::string(testItemName(item)),
                 result ? resultText(*result) : "not tested");
        complete = complete && result && *result != TestResult::Undetermined;
        if (result == TestResult::Fail) {
            failed += (failed.empty() ? "" : ", ") + std::string(testItemName(item));
        }
    }
    if (!failed.empty()) {
        done.outcome = records::Outcome::Fail;
        done.reason = failed + ": NG";
    } else if (complete) {
        done.outcome = records::Outcome::Pass;
    } else {
        done.outcome = records::Outcome::Incomplete;
        done.reason = "not every result came (" + why + ")";
    }
    m_keep(std::move(done));
}

void HardwareTestRecorder::showChecksum(std::string_view text) {
    // A header after results: the next hopper's test has begun.
    const bool anyResult = std::any_of(m_results.begin(), m_results.end(),
                                       [](const auto& r) { return r.has_value(); });
    if (m_run && anyResult && text.size() <= 4) {
        finish("the next test stream began");
    }
    run().hopper.identityChecksum = std::string(text);
}

void HardwareTestRecorder::appendSoftwareText(std::string_view character) {
    run().hopper.identitySoftware += character;
}

void HardwareTestRecorder::showDipSwitches(const DipSwitches& on) {
    run();
    m_dips = on;
}

void HardwareTestRecorder::setResult(TestItem item, TestResult result) {
    run();
    m_results[static_cast<std::size_t>(item)] = result;
}

void HardwareTestRecorder::appendRecordText(FlashField field, std::string_view character) {
    records::ServiceRun& r = run();
    if (m_readingField && (*m_readingField != field || character.empty())) {
        r.add("flash " + fieldName(*m_readingField) + " read", m_fieldText);
        records::HopperIdentity& h = r.hopper;
        switch (*m_readingField) {
            case FlashField::SoftwareVersion:
                h.softwareVersion = m_fieldText;
                break;
            case FlashField::ProductCode:
                h.productCode = m_fieldText;
                break;
            case FlashField::ManufacturerId:
                h.manufacturer = m_fieldText;
                break;
            case FlashField::BuildCode:
                h.buildCode = m_fieldText;
                break;
            case FlashField::HopperCoin:
                h.hopperCoin = m_fieldText;
                break;
            default:
                break;
        }
        m_readingField.reset();
        m_fieldText.clear();
    }
    if (!character.empty()) {
        m_readingField = field;
        m_fieldText += character;
    }
}

void HardwareTestRecorder::showSerialNumber(std::string_view text) {
    if (m_readingField) {
        appendRecordText(*m_readingField, {});
    }
    run().hopper.serialNumber = std::string(text);
    run().add("flash serial number read", std::string(text));
}

void HardwareTestRecorder::flashWriteSent() {
    run().add("flash write", "sent");
}

}  // namespace pellix::hwtest
