#include "line/coinsettingjob.h"

#include "coinsetting/coinsettingtexts.h"
#include "records/newrun.h"

namespace pellix::line {

using records::Outcome;

CoinSettingJob::CoinSettingJob(LinePort& line, JobHost& host, NoteSink& notes, CoinNumbers numbers,
                               JobTimes times)
    : m_line(line),
      m_host(host),
      m_numbers(numbers),
      m_times(times),
      m_timeouts{{kCoinSettingTimeouts[0], kCoinSettingTimeouts[1], {"quiet", times.quietMs}}},
      m_recorder(*this, [this](records::ServiceRun run) { kept(std::move(run)); }),
      m_notes(m_recorder),
      m_protocol(m_state, line, m_notes) {
    m_notes.setSink(&notes);
    m_protocol.load();
}

void CoinSettingJob::setPort(std::string port, std::string device) {
    m_port = port;
    m_device = device;
    m_finishing = true;  // a run the port change ended is abandoned, not judged
    m_recorder.setPort(std::move(port), std::move(device));
    m_finishing = false;
    m_kept.reset();
}

FeedResult CoinSettingJob::feed(std::span<const std::uint8_t> bytes) {
    if (m_running) {
        m_line.startTimeout(kQuiet);
    }
    const FeedResult result = m_protocol.feed(bytes);
    // The save goes out once the hopper's bytes are handled, as the window's button would.
    if (m_entryOffered && m_running && !m_saved) {
        m_entryOffered = false;
        m_saved = true;
        m_host.phaseChanged("writing coin numbers");
        m_recorder.saveSent(m_numbers);
        m_protocol.SendSettings(m_numbers);
    }
    return result;
}

void CoinSettingJob::timeoutExpired(std::size_t timeout) {
    if (timeout < kQuiet) {
        m_protocol.timeoutExpired(timeout);
    } else if (m_running) {
        finish(Outcome::Incomplete, m_times.silenceReason());
    }
}

void CoinSettingJob::stageChanged(ReceiveStage stage) {
    if (!m_running && stage == ReceiveStage::Header) {
        m_running = true;
        m_saved = false;
        m_entryOffered = false;
        m_host.runStarted();
        m_host.phaseChanged("reading coin numbers");
        m_line.startTimeout(kQuiet);
    }
}

void CoinSettingJob::showStatus(StatusColour colour, std::string_view text) {
    if (colour == StatusColour::Red && m_running) {
        finish(Outcome::Fail, std::string(text));
    } else if (text == coinsetting::texts::kEnterData) {
        m_entryOffered = true;
    }
}

void CoinSettingJob::showReceiveError(std::string_view message) {
    if (m_running) {
        finish(Outcome::Fail, std::string(message));
    }
}

// The recorder judged the refreshed block against the numbers saved, or hands over what it had
// when this job ends the run.
void CoinSettingJob::kept(records::ServiceRun run) {
    if (m_finishing) {
        m_kept = std::move(run);
        return;
    }
    if (!m_running) {
        return;  // a block read outside a run of ours
    }
    m_line.stopTimeout(kQuiet);
    m_running = false;
    m_host.runFinished(std::move(run));
    m_host.phaseChanged("waiting");
}

void CoinSettingJob::finish(Outcome outcome, std::string reason) {
    m_line.stopTimeout(kQuiet);
    m_finishing = true;
    m_recorder.finish(reason);
    m_finishing = false;
    // A hopper that failed before its block was read still counts, with what it sent.
    records::ServiceRun run =
        m_kept ? std::move(*m_kept)
               : records::newRun(records::Interface::CoinSetting, m_port, m_device);
    m_kept.reset();
    run.endedUtc = records::utcNow();
    run.outcome = outcome;
    run.reason = std::move(reason);
    m_running = false;
    m_host.runFinished(std::move(run));
    m_host.phaseChanged("waiting");
}

void CoinSettingJob::abandon(const std::string& why) {
    if (m_running) {
        finish(Outcome::Incomplete, why);
    }
}

}  // namespace pellix::line
