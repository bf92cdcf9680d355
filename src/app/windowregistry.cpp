#include "app/windowregistry.h"

namespace pellix {
void WindowRegistry::setFactory(WindowKind kind, Factory factory) {
    m_factories[slot(kind)] = std::move(factory);
}

void WindowRegistry::showLauncher() {
    // During the close sequence the launcher is about to go away; showing it would only flash.
    if (m_launcher && !m_closingAll) {
        m_launcher->show();
    }
}

QWidget* WindowRegistry::loaded(WindowKind kind) const {
    // A closed window waits for its deferred deletion; Qt clears WA_DeleteOnClose when it
    // schedules it, so from then on the window counts as unloaded.
    QWidget* window = m_windows[slot(kind)];
    return window && window->testAttribute(Qt::WA_DeleteOnClose) ? window : nullptr;
}

QWidget* WindowRegistry::load(WindowKind kind) {
    QPointer<QWidget>& window = m_windows[slot(kind)];
    if (!loaded(kind) && m_factories[slot(kind)]) {
        QWidget* created = m_factories[slot(kind)](*this);
        if (created) {
            created->setAttribute(Qt::WA_DeleteOnClose);
            window = created;
            if (std::optional<QIcon>& icon = m_nextIcons[slot(kind)]) {
                created->setWindowIcon(*icon);
                icon.reset();
            }
        }
    }
    return loaded(kind);
}

void WindowRegistry::setIcon(WindowKind kind, const QIcon& icon) {
    if (QWidget* window = loaded(kind)) {
        window->setWindowIcon(icon);
    } else {
        m_nextIcons[slot(kind)] = icon;
    }
}

QWidget* WindowRegistry::open(WindowKind kind) {
    QWidget* window = load(kind);
    // Loading may already have closed it again (a window may refuse to run at load).
    if (window && loaded(kind)) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    return loaded(kind);
}

void WindowRegistry::close(WindowKind kind) {
    if (QWidget* window = loaded(kind)) {
        window->close();
    }
}

void WindowRegistry::closeAll() {
    m_closingAll = true;
    for (WindowKind kind : {WindowKind::CoinSetting, WindowKind::Manual, WindowKind::Simulation,
                            WindowKind::CnyTester, WindowKind::HardwareTest}) {
        close(kind);
    }
    m_closingAll = false;
}

}  // namespace pellix
