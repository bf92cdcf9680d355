#pragma once

#include <QWidget>

class QTextEdit;

namespace pellix {

class WindowHost;
struct Services;

// The manual window (Form2): product information above the instruction text, which is read
// from "Manual5.rtf" in the program's folder each time the window loads.
class ManualWindow final : public QWidget {
    Q_OBJECT
  public:
    ManualWindow(Services& services, WindowHost& host, QWidget* parent = nullptr);

    // Once the load has failed the window only waits to close; it is never shown.
    void setVisible(bool visible) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void loadInstruction();

    Services& m_services;
    WindowHost& m_host;
    QTextEdit* m_instruction = nullptr;
    bool m_loadFailed = false;
};

}  // namespace pellix
