#include "simulation/tzvrecorder.h"

#include "records/newrun.h"

namespace pellix::tzv {

void TzvRecorder::setPort(std::string port, std::string device) {
    finish();
    m_port = std::move(port);
    m_device = std::move(device);
}

void TzvRecorder::note(std::string_view text) {
    if (m_capture) {
        m_capture->note(text);
    }
    if (!m_run) {
        m_run = records::newRun(records::Interface::Simulation, m_port, m_device);
        m_run->outcome = records::Outcome::Pass;
    }
    m_run->add("command " + std::to_string(m_run->values.size() + 1), std::string(text));
}

void TzvRecorder::finish() {
    if (!m_run) {
        return;
    }
    records::ServiceRun done = std::move(*m_run);
    m_run.reset();
    done.endedUtc = records::utcNow();
    m_keep(std::move(done));
}

}  // namespace pellix::tzv
