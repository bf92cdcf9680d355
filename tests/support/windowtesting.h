#pragma once

#include <QByteArray>
#include <QComboBox>

namespace pellix::test {

// The operator picks an entry with the mouse: the list changes and reports the pick.
inline void pick(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// Bytes written as hexadecimal text, spaces allowed between them: "3A 00 01".
inline QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

}  // namespace pellix::test
