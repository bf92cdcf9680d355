#pragma once

#include <QPointer>

#include <functional>
#include <optional>

#include "platform/services.h"
#include "serial/capturebook.h"
#include "traffic/trafficwindow.h"

class QAction;
class QWidget;

namespace pellix {

// Opens the one Traffic window of the program: with F12 from a tool window (showing that
// window's capture) and from the launcher's context menu. The window is built on first use and
// deleted when closed, like the tool windows; it never keeps the program running on its own.
class TrafficOpener {
  public:
    TrafficOpener(CaptureBook& book, Services& services) : m_book(book), m_services(services) {}
    ~TrafficOpener();
    TrafficOpener(const TrafficOpener&) = delete;
    TrafficOpener& operator=(const TrafficOpener&) = delete;

    TrafficWindow* open(std::optional<CaptureSource> source = std::nullopt);
    TrafficWindow* window() const { return m_window; }
    // F12 in `toolWindow` opens the Traffic window on its capture.
    void addShortcut(QWidget* toolWindow, CaptureSource source);
    // The launcher's context menu entry ("Traffic", F12).
    QAction* launcherAction(QWidget* launcher);

    // A window factory that hands `build` the capture of `source` for the window's serial link
    // and gives the built window F12.
    template <typename Build>
    auto building(CaptureSource source, Build build) {
        return [this, source, build](auto& host) -> QWidget* {
            QWidget* window = build(host, &m_book.capture(source));
            if (window) {
                addShortcut(window, source);
            }
            return window;
        };
    }

  private:
    CaptureBook& m_book;
    Services& m_services;
    QPointer<TrafficWindow> m_window;
};

}  // namespace pellix
