#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAction;

namespace pellix {

// Opens a window added beside the defined ones (Serial Ports, Service Records) from the
// launcher: an entry in the launcher's context menu and a keyboard shortcut, beside the
// launcher's own controls, which stay as they are; the same shortcut in every tool window,
// where the launcher is hidden. The window is one per program, deleted when closed, and closes
// with the launcher.
class AddedWindowAccess : public QObject {
    Q_OBJECT
  public:
    using Build = std::function<QWidget*()>;

    AddedWindowAccess(QWidget& launcher, const QString& name, const QString& text,
                      const QKeySequence& shortcut, Build build);

    QWidget* open();
    // The shortcut in a tool window too.
    void addShortcut(QWidget* toolWindow);
    QWidget* openWindow() const { return m_window; }
    QAction* action() const { return m_action; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QString m_name;
    QKeySequence m_shortcut;
    Build m_build;
    QAction* m_action = nullptr;
    QPointer<QWidget> m_window;
};

}  // namespace pellix
