#pragma once

#include <QWidget>

#include <array>

class QAction;
class QLabel;
class QToolButton;

namespace pellix {

class WindowRegistry;
class ProgramFolder;

// The start window (Form6): version line and six picture buttons that open the tool windows
// or end the program.
class LauncherWindow final : public QWidget {
    Q_OBJECT
  public:
    LauncherWindow(WindowRegistry& registry, const ProgramFolder& folder,
                   QWidget* parent = nullptr);

    static QString versionLine();
    // Entries of the launcher's context menu (right click anywhere on it); the defined layout
    // has no menu bar, so extra windows are reached from here.
    void addMenuEntry(QAction* action);

  signals:
    // The close sequence is done: the program ends now, and only here (or through the second
    // copy rule), never because no window happens to be visible.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // The pictures are decoded once the window is on the screen, so the program shows up first.
    void showEvent(QShowEvent* event) override;

  private:
    void showPictures();
    void onImageClicked(int index);

    WindowRegistry& m_registry;
    const ProgramFolder& m_folder;
    QLabel* m_picture = nullptr;
    QLabel* m_banner = nullptr;
    bool m_picturesShown = false;
    QLabel* m_version = nullptr;
    std::array<QToolButton*, 6> m_buttons{};
};

}  // namespace pellix
