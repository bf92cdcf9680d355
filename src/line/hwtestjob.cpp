#include "line/hwtestjob.h"

#include "hwtest/hwtestnotes.h"

namespace pellix::line {

using hwtest::FlashField;
using hwtest::TestItem;
using hwtest::TestResult;
using hwtest::TestStreamState;
using records::Outcome;

namespace {

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) {
        out += (out.empty() ? "" : "; ") + part;
    }
    return out;
}

bool inRecord(TestStreamState state) {
    return state >= TestStreamState::RecordSoftwareVersion;
}

}  // namespace

HwtestJob::HwtestJob(LinePort& line, JobHost& host, NoteSink& notes, HwtestPlan plan)
    : m_line(line),
      m_host(host),
      m_plan(std::move(plan)),
      m_timeouts{{{"quiet", m_plan.times.quietMs},
                  {"prism", m_plan.times.prismMs},
                  {"record", m_plan.times.recordMs},
                  {"settle", m_plan.times.settleMs}}},
      m_notes(m_views, line),
      m_recorder([this](records::ServiceRun run) { m_kept = std::move(run); }) {
    m_receiver.emplace(m_notes, m_notes);
    m_views.add(*this);
    m_views.add(m_recorder);
    m_notes.setSink(&notes);
}

void HwtestJob::setPort(std::string port, std::string device) {
    m_recorder.setPort(std::move(port), std::move(device));
    m_kept.reset();  // a run the port change ended is abandoned, not judged
}

FeedResult HwtestJob::feed(std::span<const std::uint8_t> bytes) {
    if (m_phase == Phase::Stream) {
        m_line.startTimeout(kQuiet);  // the hopper is still talking
    }
    m_feeding = true;
    const FeedResult result = m_receiver->feed(bytes);
    m_feeding = false;
    return result;
}

void HwtestJob::timeoutExpired(std::size_t timeout) {
    switch (timeout) {
        case kQuiet:
            if (m_phase == Phase::Stream) {
                finish(Outcome::Incomplete, m_plan.times.silenceReason());
            }
            break;
        case kPrism:
            if (m_phase == Phase::Monitor) {
                m_waitOver = true;  // go on without them; the judgement tells what is missing
                proceedIfReady();
            }
            break;
        case kRecord:
            if (m_phase == Phase::ReadRecord || m_phase == Phase::ReadBack) {
                finish(Outcome::Fail, "no flash record came when asked for");
            }
            break;
        case kSettle:
            if (m_phase == Phase::Settle) {
                enter(Phase::ReadBack, "verifying");
                readFlash();
            }
            break;
        default:
            break;
    }
}

void HwtestJob::enter(Phase phase, std::string_view shown) {
    m_phase = phase;
    m_host.phaseChanged(shown);
}

void HwtestJob::stateChanged(TestStreamState state) {
    if (m_phase == Phase::Idle && state == TestStreamState::ChecksumFirst) {
        m_results = {};
        m_dipSeen = false;
        m_waitOver = false;
        m_expected.reset();
        m_written.clear();
        m_readBack.clear();
        m_host.runStarted();
        enter(Phase::Stream, "testing");
        m_line.startTimeout(kQuiet);
        return;
    }
    if (m_phase == Phase::Stream && state == TestStreamState::WaitHeader) {
        const std::string missing = joined(resultFaults(false));
        finish(Outcome::Fail, "the test stream broke off" +
                                  (missing.empty() ? std::string() : " (" + missing + ")"));
        return;
    }
    if (m_phase == Phase::Stream && state == TestStreamState::Monitor) {
        m_line.stopTimeout(kQuiet);
        enter(Phase::Monitor, "testing");
        m_line.startTimeout(kPrism);
        proceedIfReady();
        return;
    }
    if ((m_phase == Phase::ReadRecord || m_phase == Phase::ReadBack) && inRecord(state) &&
        !m_readingRecord) {
        m_readingRecord = true;
        m_record = {};
        return;
    }
    if (m_readingRecord && state == TestStreamState::Monitor) {
        m_readingRecord = false;
        recordRead();
    }
}

void HwtestJob::showDipSwitches(const hwtest::DipSwitches&) {
    m_dipSeen = true;
    proceedIfReady();
}

void HwtestJob::setResult(TestItem item, TestResult result) {
    m_results[static_cast<std::size_t>(item)] = result;
    proceedIfReady();
}

void HwtestJob::appendRecordText(FlashField field, std::string_view character) {
    if (std::string* text = m_record.textField(field)) {
        *text += character;
    }
}

void HwtestJob::showSerialNumber(std::string_view text) {
    m_record.serialNumber = std::string(text);
}

void HwtestJob::recordMode(FlashField field, std::uint8_t value) {
    if (int* mode = m_record.modeField(field)) {
        *mode = value;
    }
}

// Once in the monitor phase: go on when the prism sensor has its result (or the rule does not
// ask for it) and the DIP switches were reported, or when the prism wait has run out.
void HwtestJob::proceedIfReady() {
    if (m_phase != Phase::Monitor) {
        return;
    }
    const bool prism = m_results[static_cast<std::size_t>(TestItem::PrismSensor)].has_value() ||
                       !m_plan.rule.asks(TestItem::PrismSensor);
    if ((!prism || !m_dipSeen) && !m_waitOver) {
        return;
    }
    m_line.stopTimeout(kPrism);
    m_receiver->sendDipFinished();
    enter(Phase::ReadRecord, "reading flash");
    readFlash();
}

void HwtestJob::readFlash() {
    m_readingRecord = false;
    m_receiver->sendReadFlashRequest();
    m_line.startTimeout(kRecord);
}

void HwtestJob::recordRead() {
    m_line.stopTimeout(kRecord);
    if (m_phase == Phase::ReadRecord && m_plan.flashTemplate) {
        enter(Phase::Serial, "taking serial number");
        m_host.askSerialNumber();
    } else if (m_phase == Phase::ReadRecord || m_phase == Phase::ReadBack) {
        judge();
    }
}

void HwtestJob::serialNumberTaken(std::optional<std::uint32_t> serial, const std::string& error) {
    if (m_phase != Phase::Serial) {
        return;  // the hopper went meanwhile; the number stays used, as any number handed out
    }
    if (!serial) {
        finish(Outcome::Incomplete, "no serial number to write: " + error);
        return;
    }
    writeFlash(*serial);
}

void HwtestJob::writeFlash(std::uint32_t serial) {
    hwtest::FlashRecord record = *m_plan.flashTemplate;
    record.serialNumber = hwtest::serialNumberText(static_cast<std::uint8_t>(serial),
                                                   static_cast<std::uint8_t>(serial >> 8),
                                                   static_cast<std::uint8_t>(serial >> 16));
    const hwtest::FlashWrite write = record.encodeForWrite();
    if (!write.ok()) {  // the template was checked at start; only a serial could fail here
        finish(Outcome::Incomplete,
               "the record with serial number " + record.serialNumber + " cannot be written");
        return;
    }
    m_written = record.serialNumber;
    m_expected =
        hwtest::FlashRecord::decode(std::span<const std::uint8_t, hwtest::FlashRecord::kSize>(
            write.frame.data() + 1, hwtest::FlashRecord::kSize));
    enter(Phase::Settle, "writing flash");
    m_receiver->writeFlash(record);
    m_recorder.flashWriteSent();
    m_line.startTimeout(kSettle);
}

// "Motor Stop: NG" for each item that did not pass: every one without a pass result when
// `asked` is false and the stream broke off (a fail is a result), else those the rule asks for.
std::vector<std::string> HwtestJob::resultFaults(bool asked) const {
    std::vector<std::string> faults;
    for (int i = 0; i < hwtest::kTestItemCount; ++i) {
        const auto item = static_cast<TestItem>(i);
        const auto& result = m_results[static_cast<std::size_t>(i)];
        const bool counts = asked ? m_plan.rule.asks(item) : result != TestResult::Fail;
        if (counts && result != TestResult::Pass) {
            faults.push_back(std::string(hwtest::testItemName(item)) +
                             (!result                       ? ": no result"
                              : *result == TestResult::Fail ? ": NG"
                                                            : ": not determined"));
        }
    }
    return faults;
}

void HwtestJob::judge() {
    std::vector<std::string> faults = resultFaults(true);
    if (m_expected) {
        const std::vector<std::string> differences = recordDifferences(*m_expected, m_record);
        m_readBack = differences.empty() ? "equal" : "differs";
        if (!differences.empty() && m_plan.rule.flash) {
            faults.push_back("flash read back differs (" + joined(differences) + ")");
        }
    }
    finish(faults.empty() ? Outcome::Pass : Outcome::Fail, joined(faults));
}

void HwtestJob::abandon(const std::string& why) {
    if (m_phase != Phase::Idle) {
        finish(Outcome::Incomplete, why);
    }
}

void HwtestJob::finish(Outcome outcome, std::string reason) {
    for (std::size_t t = 0; t < kTimeoutCount; ++t) {
        m_line.stopTimeout(t);
    }
    m_recorder.finish(reason);
    m_phase = Phase::Idle;
    m_readingRecord = false;
    // Back at the header with a fresh software text: the next hopper's power-on stream starts
    // the next run, whatever this one's monitor phase still sends. A run that ended outside
    // the stream (a time-out, an unplug) may have left a record half read: the next hopper
    // gets a receiver of its own.
    if (m_feeding) {
        m_receiver->restartAtHeader();
        m_receiver->clearSoftwareText();
    } else {
        m_receiver.emplace(m_notes, m_notes);
    }
    if (!m_kept) {
        m_host.phaseChanged("waiting");
        return;
    }
    records::ServiceRun run = std::move(*m_kept);
    m_kept.reset();
    if (!m_written.empty()) {
        run.add("flash serial number written", m_written);
        run.add("flash read back", m_readBack.empty() ? "not read" : m_readBack);
    }
    run.outcome = outcome;
    run.reason = std::move(reason);
    m_host.runFinished(std::move(run));
    m_host.phaseChanged("waiting");
}

}  // namespace pellix::line
