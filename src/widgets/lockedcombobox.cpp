#include "widgets/lockedcombobox.h"

#include <QKeyEvent>

#include "platform/services.h"

namespace pellix {

LockedComboBox::LockedComboBox(Clipboard& clipboard, QWidget* parent)
    : QComboBox(parent), m_clipboard(&clipboard) {
    setEditable(false);
}

LockedComboBox::LockedComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
}

int LockedComboBox::setShownText(const QString& text) {
    const int index = findText(text, Qt::MatchExactly);
    setPlaceholderText(text);
    setCurrentIndex(index);
    return index;
}

QString LockedComboBox::shownText() const {
    return currentIndex() >= 0 ? currentText() : placeholderText();
}

void LockedComboBox::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    // A character typed with Alt or AltGr would still pick an entry by its first letters; only
    // keys without text (arrows, Page Up/Down, Home/End) reach the list.
    const bool printable = !text.isEmpty() && text.at(0).isPrint();
    if (printable) {
        event->accept();  // typed characters never reach the list
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void LockedComboBox::focusInEvent(QFocusEvent* event) {
    if (m_clipboard) {
        m_clipboard->clear();
    }
    QComboBox::focusInEvent(event);
}

}  // namespace pellix
