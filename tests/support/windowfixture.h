#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

#include <memory>
#include <variant>

#include "fakes.h"

namespace pellix::test {

// What every window test stands on: the desktop fakes, a recording host, the state the window
// keeps across its loads, and the window's controls found by their names. A test class derives
// from it beside QObject, calls makeFakes() in init() and dropAll() in cleanup(), and builds
// the window itself (some tests build it twice).
template <typename Window, typename State = std::monostate>
class WindowFixture {
  protected:
    void makeFakes() {
        dropAll();
        s = std::make_unique<TestServices>();
        host = std::make_unique<RecordingHost>();
        state = std::make_unique<State>();
    }
    // The window goes first: it may still talk to the fakes while it closes.
    void dropAll() {
        window.reset();
        state.reset();
        host.reset();
        s.reset();
    }

    template <typename T = QWidget>
    T* child(const QString& name) const {
        T* widget = window->template findChild<T*>(name);
        if (!widget) {
            qFatal("no control %s", qPrintable(name));
        }
        return widget;
    }
    QString panel(int n = 1) const {
        return child<QLabel>(QStringLiteral("StatusBar1_Panel%1").arg(n))->text();
    }
    FakeSerialPort* port() const { return s->ports.last(); }

    std::unique_ptr<TestServices> s;
    std::unique_ptr<RecordingHost> host;
    std::unique_ptr<State> state;
    std::unique_ptr<Window> window;
};

}  // namespace pellix::test
