#pragma once

#include "app/addedwindowaccess.h"
#include "serial/serialportswindow.h"

namespace pellix {

class ComPortMap;

// The Serial Ports window: "Serial Ports..." in the launcher's context menu and Ctrl+Shift+P.
class SerialPortsAccess final : public AddedWindowAccess {
    Q_OBJECT
  public:
    static const QKeySequence kShortcut;

    SerialPortsAccess(QWidget& launcher, const ComPortMap& comPorts);

    SerialPortsWindow* window() const { return qobject_cast<SerialPortsWindow*>(openWindow()); }
};

}  // namespace pellix
