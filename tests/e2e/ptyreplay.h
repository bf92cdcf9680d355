#pragma once

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include <memory>
#include <sstream>

#include "ptypair.h"
#include "replay.h"

namespace pellix::test {

// The emulator's replay at the far end of a real pseudo-terminal, driven from the event loop:
// the hopper's side of a capture goes to the tool, the tool's bytes are matched against it.
class PtyReplay {
  public:
    PtyReplay(const std::string& captureText, emulator::ReplayOptions options)
        : m_capture(captureText) {
        std::istringstream check(captureText);
        if (!emulator::checkReplay(check, &m_error)) {
            return;
        }
        m_replayer = std::make_unique<emulator::Replayer>(m_capture, options);
        if (!m_pty.ok()) {
            return;
        }
        m_notifier = std::make_unique<QSocketNotifier>(m_pty.master, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { pump(); });
        m_wake.setSingleShot(true);
        QObject::connect(&m_wake, &QTimer::timeout, [this] { step(); });
        m_clock.start();
    }
    ~PtyReplay() { m_notifier.reset(); }

    QString device() const { return m_pty.device; }
    const std::string& error() const { return m_error; }
    emulator::Replayer& replayer() { return *m_replayer; }
    void start() {
        m_replayer->start(now());
        step();
    }

  private:
    std::int64_t now() const { return m_clock.nsecsElapsed() / 1000; }
    void pump() {
        std::uint8_t buffer[512];
        ssize_t n;
        while ((n = ::read(m_pty.master, buffer, sizeof buffer)) > 0) {
            m_replayer->toolSent(std::span(buffer, static_cast<std::size_t>(n)), now());
        }
        step();
    }
    void step() {
        const auto out = m_replayer->poll(now());
        if (!out.empty()) {
            [[maybe_unused]] const ssize_t n = ::write(m_pty.master, out.data(), out.size());
        }
        if (const auto wake = m_replayer->wakeAt()) {
            m_wake.start(static_cast<int>(std::max<std::int64_t>(0, *wake - now()) / 1000));
        }
    }

    std::istringstream m_capture;
    std::unique_ptr<emulator::Replayer> m_replayer;
    std::string m_error;
    Pty m_pty{Pty::Slave::KeptOpenRaw};
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_wake;
    QElapsedTimer m_clock;
};

}  // namespace pellix::test
