#include "app/serialportsaccess.h"

namespace pellix {

const QKeySequence SerialPortsAccess::kShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_P);

SerialPortsAccess::SerialPortsAccess(QWidget& launcher, const ComPortMap& comPorts)
    : AddedWindowAccess(launcher, QStringLiteral("serialPorts"), QStringLiteral("Serial Ports..."),
                        kShortcut, [&comPorts] { return new SerialPortsWindow(comPorts); }) {}

}  // namespace pellix
