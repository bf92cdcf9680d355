#include "app/serialportsaccess.h"

#include <QAction>
#include <QEvent>
#include <QShortcut>
#include <QWidget>

#include "serial/serialportswindow.h"

namespace pellix {

const QKeySequence SerialPortsAccess::kShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_P);

SerialPortsAccess::SerialPortsAccess(QWidget& launcher, const ComPortMap& comPorts)
    : QObject(&launcher), m_comPorts(comPorts), m_action(new QAction(&launcher)) {
    m_action->setObjectName(QStringLiteral("SerialPortsAction"));
    m_action->setText(QStringLiteral("Serial Ports..."));
    m_action->setShortcut(kShortcut);
    m_action->setShortcutContext(Qt::WindowShortcut);
    connect(m_action, &QAction::triggered, this, [this] { open(); });
    launcher.addAction(m_action);
    launcher.setContextMenuPolicy(Qt::ActionsContextMenu);
    launcher.installEventFilter(this);
}

SerialPortsWindow* SerialPortsAccess::open() {
    if (!m_window) {
        m_window = new SerialPortsWindow(m_comPorts);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return m_window;
}

void SerialPortsAccess::addShortcut(QWidget* toolWindow) {
    auto* key = new QShortcut(kShortcut, toolWindow);
    key->setObjectName(QStringLiteral("serialPortsShortcut"));
    connect(key, &QShortcut::activated, this, [this] { open(); });
}

bool SerialPortsAccess::eventFilter(QObject* watched, QEvent* event) {
    // Closing the launcher ends the program; this window must not keep it alive.
    if (event->type() == QEvent::Close && m_window) {
        m_window->close();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pellix
