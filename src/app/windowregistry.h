#pragma once

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

#include "widgets/windowhost.h"

namespace pellix {

// One instance per window kind: created on first use, deleted when it closes, built afresh
// the next time. Closing order and the launcher's visibility are kept here.
class WindowRegistry final : public WindowHost {
  public:
    using Factory = std::function<QWidget*(WindowHost&)>;

    void setLauncher(QWidget* launcher) { m_launcher = launcher; }
    void setFactory(WindowKind kind, Factory factory);

    void showLauncher() override;
    QWidget* open(WindowKind kind) override;
    QWidget* load(WindowKind kind) override;
    void setIcon(WindowKind kind, const QIcon& icon) override;

    bool canBuild(WindowKind kind) const { return static_cast<bool>(m_factories[slot(kind)]); }
    QWidget* loaded(WindowKind kind) const;
    // Closes one window if it is loaded; its own close handling runs.
    void close(WindowKind kind);
    // The launcher's close sequence: every tool window in the fixed order.
    void closeAll();

  private:
    static constexpr std::size_t kKinds = 5;
    static constexpr std::size_t slot(WindowKind kind) { return static_cast<std::size_t>(kind); }
    std::array<Factory, kKinds> m_factories;
    std::array<QPointer<QWidget>, kKinds> m_windows;
    // Icons waiting for their window's next load.
    std::array<std::optional<QIcon>, kKinds> m_nextIcons;
    QPointer<QWidget> m_launcher;
    bool m_closingAll = false;
};

}  // namespace pellix
