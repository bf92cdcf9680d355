#pragma once

#include <QElapsedTimer>
#include <QString>

#include <array>
#include <memory>
#include <optional>

#include "capture/capture.h"

namespace pellix {

// Which tool window's port a capture belongs to.
enum class CaptureSource { CoinSetting, Simulation, CnyTester, HardwareTest };
inline constexpr int kCaptureSources = 4;

// The traffic captures of the program, one per tool window, kept for the whole run so the
// traffic of a window that was closed can still be looked at and saved. Whoever builds a tool
// window hands it its capture.
class CaptureBook {
  public:
    // Without a clock the book keeps its own: monotonic time since it was made, and UTC.
    explicit CaptureBook(std::optional<CaptureClock> clock = std::nullopt);

    Capture& capture(CaptureSource source) { return *m_captures[index(source)]; }
    static QString title(CaptureSource source);

  private:
    static constexpr std::size_t index(CaptureSource s) { return static_cast<std::size_t>(s); }
    QElapsedTimer m_clock;
    std::array<std::unique_ptr<Capture>, kCaptureSources> m_captures;
};

}  // namespace pellix
