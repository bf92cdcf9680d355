#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace pellix {

// Pictures and icons from the program folder, read and decoded once per run and shared by every
// window that shows them: a window opened forty times shows the same copy forty times instead of
// decoding its files again (and leaving each copy in Qt's pixmap cache). A file that cannot be
// read gives a null picture, as QPixmap(file) would, and is tried again on the next load.
// User-interface thread only.
QPixmap artworkPixmap(const QString& file);
QIcon artworkIcon(const QString& file);
// The picture as a label with scaled contents would show it at `size` (smoothly scaled to the
// screen's pixels), made once; only that size is held.
QPixmap artworkPixmap(const QString& file, QSize size, qreal pixelRatio);

// How many files are held; for tests.
int artworkFilesHeld();

}  // namespace pellix
