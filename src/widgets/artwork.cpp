#include "widgets/artwork.h"

#include <QHash>

namespace pellix {
namespace {

QHash<QString, QPixmap>& pixmaps() {
    static QHash<QString, QPixmap> held;
    return held;
}

QHash<QString, QIcon>& icons() {
    static QHash<QString, QIcon> held;
    return held;
}

}  // namespace

QPixmap artworkPixmap(const QString& file) {
    auto& held = pixmaps();
    if (const auto it = held.constFind(file); it != held.constEnd()) {
        return *it;
    }
    QPixmap pixmap(file);
    if (!pixmap.isNull()) {
        held.insert(file, pixmap);
    }
    return pixmap;
}

QIcon artworkIcon(const QString& file) {
    auto& held = icons();
    if (const auto it = held.constFind(file); it != held.constEnd()) {
        return *it;
    }
    QIcon icon(file);
    // An icon reads its file lazily; one with no sizes found nothing to read.
    if (!icon.availableSizes().isEmpty()) {
        held.insert(file, icon);
    }
    return icon;
}

int artworkFilesHeld() {
    return static_cast<int>(pixmaps().size() + icons().size());
}

}  // namespace pellix
