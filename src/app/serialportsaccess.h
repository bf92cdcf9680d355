#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include "serial/serialportswindow.h"

class QAction;
class QWidget;

namespace pellix {

class ComPortMap;

// Opens the Serial Ports window from the launcher: an entry in the launcher's context menu and
// a keyboard shortcut, beside the launcher's own controls, which stay as they are; the same
// shortcut in every tool window, where the launcher is hidden. The window is one per program
// and closes with the launcher.
class SerialPortsAccess final : public QObject {
    Q_OBJECT
  public:
    static const QKeySequence kShortcut;

    SerialPortsAccess(QWidget& launcher, const ComPortMap& comPorts);

    SerialPortsWindow* open();
    // The shortcut in a tool window too.
    void addShortcut(QWidget* toolWindow);
    SerialPortsWindow* window() const { return m_window; }
    QAction* action() const { return m_action; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const ComPortMap& m_comPorts;
    QAction* m_action = nullptr;
    QPointer<SerialPortsWindow> m_window;
};

}  // namespace pellix
