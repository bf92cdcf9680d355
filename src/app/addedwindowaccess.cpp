#include "app/addedwindowaccess.h"

#include <QAction>
#include <QEvent>
#include <QShortcut>

namespace pellix {

AddedWindowAccess::AddedWindowAccess(QWidget& launcher, const QString& name, const QString& text,
                                     const QKeySequence& shortcut, Build build)
    : QObject(&launcher),
      m_name(name),
      m_shortcut(shortcut),
      m_build(std::move(build)),
      m_action(new QAction(&launcher)) {
    m_action->setObjectName(name + QStringLiteral("Action"));
    m_action->setText(text);
    m_action->setShortcut(shortcut);
    m_action->setShortcutContext(Qt::WindowShortcut);
    connect(m_action, &QAction::triggered, this, [this] { open(); });
    launcher.addAction(m_action);
    launcher.setContextMenuPolicy(Qt::ActionsContextMenu);
    launcher.installEventFilter(this);
}

QWidget* AddedWindowAccess::open() {
    if (!m_window) {
        m_window = m_build();
        m_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return m_window;
}

void AddedWindowAccess::addShortcut(QWidget* toolWindow) {
    auto* key = new QShortcut(m_shortcut, toolWindow);
    key->setObjectName(m_name + QStringLiteral("Shortcut"));
    connect(key, &QShortcut::activated, this, [this] { open(); });
}

bool AddedWindowAccess::eventFilter(QObject* watched, QEvent* event) {
    // Closing the launcher ends the program; the added window must not keep it alive.
    if (event->type() == QEvent::Close && m_window) {
        m_window->close();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pellix
