#pragma once

#include <QRect>
#include <QSize>

namespace pellix {

// Window layouts are measured in twips (1/1440 inch); 15 twips are one pixel at 96 dpi.
// Qt scales logical pixels for other screens.
constexpr int twips(int value) {
    return value >= 0 ? (value + 7) / 15 : -((-value + 7) / 15);
}

inline QRect twipsRect(int x, int y, int width, int height) {
    return {twips(x), twips(y), twips(width), twips(height)};
}

inline QSize twipsSize(int width, int height) {
    return {twips(width), twips(height)};
}

}  // namespace pellix
