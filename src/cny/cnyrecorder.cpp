#include "cny/cnyrecorder.h"

#include <cstdio>

#include "cny/cnytexts.h"
#include "records/newrun.h"

namespace pellix::cny {
namespace {

std::string described(const Frame& frame, LogMessage message) {
    std::string out(logMessageText(message));
    for (std::uint8_t byte : frame) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        out += hex;
    }
    return out;
}

bool isFault(LogMessage message) {
    return message == LogMessage::MotorProblem || message == LogMessage::InsufficientCoins ||
           message == LogMessage::PrismSensorFailure || message == LogMessage::ShaftSensorFailure ||
           message == LogMessage::ResponseNak;
}

}  // namespace

void CnyRecorder::setPort(std::string port, std::string device) {
    finish();
    m_port = std::move(port);
    m_device = std::move(device);
}

records::ServiceRun& CnyRecorder::run() {
    if (!m_run) {
        m_run = records::newRun(records::Interface::CnyTester, m_port, m_device);
        m_run->outcome = records::Outcome::Pass;
        m_commands = 0;
    }
    return *m_run;
}

void CnyRecorder::trouble(const std::string& what) {
    records::ServiceRun& r = run();
    r.outcome = records::Outcome::Fail;
    if (r.reason.find(what) == std::string::npos) {
        r.reason += (r.reason.empty() ? "" : "; ") + what;
    }
}

void CnyRecorder::finish() {
    if (!m_run) {
        return;
    }
    records::ServiceRun done = std::move(*m_run);
    m_run.reset();
    if (m_commands == 0) {
        return;  // nothing was asked of the hopper
    }
    done.endedUtc = records::utcNow();
    m_keep(std::move(done));
}

void CnyRecorder::logCommand(const Frame& frame, LogMessage message) {
    m_window.logCommand(frame, message);
    records::ServiceRun& current = run();
    ++m_commands;
    current.add("command " + std::to_string(m_commands), described(frame, message));
}

void CnyRecorder::replyMissing(LogMessage command) {
    m_window.replyMissing(command);
    run().add("no reply", std::string(logMessageText(command)));
    trouble("no reply to " + std::string(logMessageText(command)));
}

void CnyRecorder::logReply(const Frame& frame, LogMessage message) {
    m_window.logReply(frame, message);
    run().add("reply", described(frame, message));
    if (isFault(message)) {
        trouble(std::string(logMessageText(message)));
    }
}

void CnyRecorder::frameDropped(const Frame& frame, std::size_t length,
                               std::uint8_t expectedChecksum) {
    m_window.frameDropped(frame, length, expectedChecksum);
    run().add("frame dropped", described(frame, LogMessage::None));
    trouble(length == 6 ? "a reply with a bad checksum" : "a reply with a bad address");
}

}  // namespace pellix::cny
