#include "app/trafficopener.h"

#include <QAction>
#include <QShortcut>
#include <QWidget>

#include "traffic/trafficwindow.h"

namespace pellix {

// The window reads the captures, so it goes before them.
TrafficOpener::~TrafficOpener() {
    delete m_window;
}

TrafficWindow* TrafficOpener::open(std::optional<CaptureSource> source) {
    if (!m_window) {
        m_window = new TrafficWindow(m_book, m_services.dialogs, m_services.clipboard);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setAttribute(Qt::WA_QuitOnClose, false);
    }
    if (source) {
        m_window->showSource(*source);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return m_window;
}

void TrafficOpener::addShortcut(QWidget* toolWindow, CaptureSource source) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F12), toolWindow);
    key->setObjectName(QStringLiteral("trafficShortcut"));
    QObject::connect(key, &QShortcut::activated, toolWindow, [this, source] { open(source); });
}

QAction* TrafficOpener::launcherAction(QWidget* launcher) {
    auto* action = new QAction(QStringLiteral("Traffic"), launcher);
    action->setObjectName(QStringLiteral("trafficAction"));
    action->setShortcut(QKeySequence(Qt::Key_F12));
    QObject::connect(action, &QAction::triggered, launcher, [this] { open(); });
    return action;
}

}  // namespace pellix
