#pragma once

#include <QElapsedTimer>
#include <QString>

#include <array>
#include <memory>
#include <optional>

#include "serial/capture.h"

namespace pellix {

// Which tool window's port a capture belongs to.
enum class CaptureSource { CoinSetting, Simulation, CnyTester, HardwareTest };
inline constexpr int kCaptureSources = 4;

// The traffic captures of the program, one per tool window, kept for the whole run so the
// traffic of a window that was closed can still be looked at and saved. The serial link of the
// window being built takes the capture named by building().
class CaptureBook {
  public:
    // Without a clock the book keeps its own: monotonic time since it was made, and UTC.
    explicit CaptureBook(std::optional<CaptureClock> clock = std::nullopt);

    Capture& capture(CaptureSource source) { return *m_captures[index(source)]; }
    static QString title(CaptureSource source);

    // Set by whoever builds a window, around its construction: its serial link takes this
    // capture. Nothing is building outside that.
    void setBuilding(const CaptureSource* source);
    Capture* building() { return m_building ? m_captures[index(*m_building)].get() : nullptr; }

    void setEnabled(bool on);

  private:
    static constexpr std::size_t index(CaptureSource s) { return static_cast<std::size_t>(s); }
    QElapsedTimer m_clock;
    std::array<std::unique_ptr<Capture>, kCaptureSources> m_captures;
    std::optional<CaptureSource> m_building;
};

// Builds one window with its serial link capturing into the book.
class BuildingScope {
  public:
    BuildingScope(CaptureBook* book, CaptureSource source) : m_book(book) {
        if (m_book) {
            m_book->setBuilding(&source);
        }
    }
    ~BuildingScope() {
        if (m_book) {
            m_book->setBuilding(nullptr);
        }
    }
    BuildingScope(const BuildingScope&) = delete;
    BuildingScope& operator=(const BuildingScope&) = delete;

  private:
    CaptureBook* m_book;
};

}  // namespace pellix
