#include "widgets/artwork.h"

#include <QHash>
#include <QImage>

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

QPixmap artworkPixmap(const QString& file, QSize size, qreal pixelRatio) {
    const QString key = QStringLiteral("%1@%2x%3x%4")
                            .arg(file)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(pixelRatio);
    auto& held = pixmaps();
    if (const auto it = held.constFind(key); it != held.constEnd()) {
        return *it;
    }
    // Only the shown size is held: the full-size picture goes once it is scaled (made from the
    // image, as QPixmap(file) would leave it in Qt's pixmap cache). It is scaled from the
    // pixmap's own pixels (premultiplied where the picture has alpha), as a label scales its
    // contents, so it looks the same to the last pixel.
    const QPixmap art = QPixmap::fromImage(QImage(file));
    if (art.isNull()) {
        return {};
    }
    QPixmap scaled = QPixmap::fromImage(
        art.toImage().scaled(size * pixelRatio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    scaled.setDevicePixelRatio(pixelRatio);
    held.insert(key, scaled);
    return scaled;
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
