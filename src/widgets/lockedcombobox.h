#pragma once

#include <QComboBox>

#include <functional>

namespace pellix {

class Clipboard;

// A drop-down list whose entries can only be picked: typed characters are discarded, with or
// without Alt, Ctrl or AltGr (arrow keys, Page Up/Down, Home/End and the mouse still choose).
// Given a clipboard, the list empties it when it gets the focus so nothing can be pasted in.
// Text that is no entry can still be shown (setShownText) with no entry chosen.
class LockedComboBox : public QComboBox {
    Q_OBJECT
  public:
    LockedComboBox(Clipboard& clipboard, QWidget* parent = nullptr);
    // A list that only discards typed characters and leaves the clipboard alone.
    explicit LockedComboBox(QWidget* parent = nullptr);

    // Shows `text`; when it equals an entry that entry becomes current, otherwise nothing is
    // chosen and the text stands as it is. Returns the chosen index or -1.
    int setShownText(const QString& text);
    QString shownText() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    Clipboard* m_clipboard = nullptr;
};

}  // namespace pellix
