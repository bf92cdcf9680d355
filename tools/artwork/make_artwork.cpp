// Draws the tool's artwork (launcher pictures, window icons, animation frames, result lights)
// into a folder. Run by make_artwork.sh; the pictures it makes are committed under
// resources/runtime so the build needs nothing but a copy.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

namespace {

const QColor kNavy(22, 48, 92);
const QColor kSteel(96, 116, 140);
const QColor kGold(226, 170, 44);
const QColor kGoldDark(160, 110, 20);

QImage canvas(int w, int h, const QColor& fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

void coin(QPainter& p, QPointF centre, qreal r) {
    p.setPen(QPen(kGoldDark, qMax<qreal>(1, r / 6)));
    p.setBrush(kGold);
    p.drawEllipse(centre, r, r * 0.45);
}

// A hopper: a box with a funnel top and coins inside.
void hopper(QPainter& p, QRectF box) {
    p.setPen(QPen(kNavy, 2));
    p.setBrush(kSteel);
    QPolygonF funnel;
    funnel << box.topLeft() << box.topRight()
           << QPointF(box.right() - box.width() * 0.15, box.top() + box.height() * 0.35)
           << QPointF(box.left() + box.width() * 0.15, box.top() + box.height() * 0.35);
    p.drawPolygon(funnel);
    p.drawRect(QRectF(box.left() + box.width() * 0.15, box.top() + box.height() * 0.35,
                      box.width() * 0.7, box.height() * 0.65));
    for (int i = 0; i < 3; ++i) {
        coin(p,
             QPointF(box.center().x() + (i - 1) * box.width() * 0.18,
                     box.top() + box.height() * 0.18),
             box.width() * 0.09);
    }
    p.setBrush(Qt::black);
    p.drawRect(QRectF(box.center().x() - box.width() * 0.12, box.bottom() - box.height() * 0.18,
                      box.width() * 0.24, box.height() * 0.08));
}

void save(const QImage& image, const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    if (!image.save(path)) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

QImage launcherButton(const QString& caption, const std::function<void(QPainter&, QRectF)>& glyph) {
    QImage image = canvas(178, 98);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 98);
    g.setColorAt(0, QColor(236, 242, 250));
    g.setColorAt(1, QColor(188, 204, 226));
    p.setPen(QPen(kNavy, 3));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 2, 174, 94), 14, 14);
    glyph(p, QRectF(10, 12, 60, 74));
    p.setPen(kNavy);
    QFont f(QStringLiteral("DejaVu Sans"), 13, QFont::Bold);
    p.setFont(f);
    p.drawText(QRectF(72, 8, 100, 82), Qt::AlignCenter | Qt::TextWordWrap, caption);
    return image;
}

void light(QPainter& p, QRectF r, const QColor& c, bool lit) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(lit ? c : c.darker(300));
    p.drawEllipse(r);
}

// Result lights: the colour and the shape both tell the result.
QImage resultIcon(int kind) {
    QImage image = canvas(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPen mark(Qt::white, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (kind) {
        case 0: {  // pass: green circle with a tick
            p.setPen(QPen(QColor(0, 90, 0), 3));
            p.setBrush(QColor(20, 170, 60));
            p.drawEllipse(QRectF(3, 3, 58, 58));
            p.setPen(mark);
            p.drawPolyline(QPolygonF({QPointF(17, 33), QPointF(28, 44), QPointF(47, 21)}));
            break;
        }
        case 1: {  // fail: red octagon with a cross
            QPolygonF octagon;
            for (int i = 0; i < 8; ++i) {
                const qreal a = qDegreesToRadians(22.5 + 45 * i);
                octagon << QPointF(32 + 29 * qCos(a), 32 + 29 * qSin(a));
            }
            p.setPen(QPen(QColor(110, 0, 0), 3));
            p.setBrush(QColor(210, 30, 30));
            p.drawPolygon(octagon);
            p.setPen(mark);
            p.drawLine(QPointF(21, 21), QPointF(43, 43));
            p.drawLine(QPointF(43, 21), QPointF(21, 43));
            break;
        }
        case 2: {  // undetermined: amber triangle with a question mark
            p.setPen(QPen(QColor(120, 80, 0), 3));
            p.setBrush(QColor(245, 190, 20));
            p.drawPolygon(QPolygonF({QPointF(32, 3), QPointF(61, 58), QPointF(3, 58)}));
            p.setPen(Qt::black);
            QFont f(QStringLiteral("DejaVu Sans"), 24, QFont::Bold);
            p.setFont(f);
            p.drawText(QRectF(3, 16, 58, 42), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        default: {  // not yet tested: an unlit three-light signal
            p.setPen(QPen(Qt::black, 2));
            p.setBrush(QColor(50, 50, 50));
            p.drawRoundedRect(QRectF(18, 2, 28, 60), 6, 6);
            light(p, QRectF(23, 6, 18, 16), QColor(220, 40, 40), false);
            light(p, QRectF(23, 24, 18, 16), QColor(240, 190, 20), false);
            light(p, QRectF(23, 42, 18, 16), QColor(30, 180, 60), false);
            break;
        }
    }
    return image;
}

QImage arrowFrame(int step) {
    // Three frames of coins moving from the host towards the hopper.
    QImage image = canvas(78, 33, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kNavy, 3));
    p.drawLine(QPointF(4, 16), QPointF(74, 16));
    p.setBrush(kNavy);
    p.drawPolygon(QPolygonF({QPointF(2, 16), QPointF(12, 8), QPointF(12, 24)}));
    for (int i = 0; i <= step; ++i) {
        coin(p, QPointF(66 - i * 20, 16), 7);
    }
    return image;
}

// Program icon: a hopper, drawn for each size rather than scaled from one picture.
QImage programIcon(int size) {
    QImage icon = canvas(size, size);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    hopper(p, QRectF(6, 4, 52, 56));
    p.end();
    return icon;
}

// The desktop icon theme layout: <folder>/<n>x<n>/apps/<name>.png for each size.
int saveThemeIcons(const QString& folder, const QString& name, const QStringList& sizes) {
    for (const QString& text : sizes) {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            qFatal("bad icon size %s", qPrintable(text));
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        QDir().mkpath(dir);
        save(programIcon(size), dir, name + QStringLiteral(".png"));
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() >= 4 && args.at(1) == QStringLiteral("--icons")) {
        return saveThemeIcons(args.at(2), args.at(3), args.mid(4));
    }
    if (argc < 2) {
        qFatal("usage: make_artwork <output folder> | --icons <folder> <name> <size>...");
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    save(programIcon(64), out, QStringLiteral("pellix.ico"));

    const std::array<std::pair<const char*, const char*>, 6> buttons{{
        {"launcher_hwtest.png", "Hardware\nTest"},
        {"launcher_tzv.png", "TZV\nTest"},
        {"launcher_cny.png", "China\nInterface"},
        {"launcher_coinsetting.png", "Coin\nNumbers"},
        {"launcher_manual.png", "Manual"},
        {"launcher_exit.png", "Exit"},
    }};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const auto glyph = [i](QPainter& p, QRectF r) {
            switch (i) {
                case 0: {  // wrench over a hopper
                    hopper(p, r.adjusted(6, 10, -6, 0));
                    p.setPen(QPen(Qt::darkRed, 6, Qt::SolidLine, Qt::RoundCap));
                    p.drawLine(r.topLeft() + QPointF(6, 6), r.bottomRight() - QPointF(10, 20));
                    break;
                }
                case 1:
                case 2: {  // plug and signal waves
                    p.setPen(QPen(kNavy, 3));
                    p.setBrush(i == 1 ? kSteel : QColor(200, 40, 40));
                    p.drawRoundedRect(QRectF(r.left() + 4, r.top() + 22, 30, 30), 5, 5);
                    p.setBrush(Qt::NoBrush);
                    for (int k = 0; k < 3; ++k) {
                        p.drawArc(
                            QRectF(r.left() + 22 + k * 8, r.top() + 18 + k * 0, 20 + k * 4, 38),
                            -60 * 16, 120 * 16);
                    }
                    break;
                }
                case 3: {  // a stack of coins
                    for (int k = 0; k < 5; ++k) {
                        coin(p, QPointF(r.center().x(), r.bottom() - 10 - k * 11), 24);
                    }
                    break;
                }
                case 4: {  // a book
                    p.setPen(QPen(kNavy, 3));
                    p.setBrush(QColor(250, 250, 240));
                    p.drawRect(QRectF(r.left() + 6, r.top() + 8, 48, 58));
                    for (int k = 0; k < 5; ++k) {
                        p.drawLine(QPointF(r.left() + 14, r.top() + 20 + k * 9),
                                   QPointF(r.left() + 46, r.top() + 20 + k * 9));
                    }
                    break;
                }
                default: {  // a power symbol
                    p.setPen(QPen(Qt::darkRed, 7, Qt::SolidLine, Qt::RoundCap));
                    p.drawArc(QRectF(r.left() + 6, r.top() + 14, 48, 48), 120 * 16, 300 * 16);
                    p.drawLine(QPointF(r.left() + 30, r.top() + 8),
                               QPointF(r.left() + 30, r.top() + 36));
                    break;
                }
            }
        };
        save(launcherButton(QString::fromLatin1(buttons[i].second), glyph), out,
             QString::fromLatin1(buttons[i].first));
    }

    {  // Large picture on the left of the launcher.
        QImage image = canvas(496, 574);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 0, 574);
        g.setColorAt(0, QColor(30, 60, 110));
        g.setColorAt(1, QColor(8, 20, 44));
        p.fillRect(image.rect(), g);
        hopper(p, QRectF(118, 150, 260, 300));
        for (int k = 0; k < 7; ++k) {
            coin(p, QPointF(248 + (k % 2 ? 30 : -30), 470 + k * 12), 26);
        }
        p.setPen(Qt::white);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 44, QFont::Bold));
        p.drawText(QRectF(0, 30, 496, 80), Qt::AlignCenter, QStringLiteral("PELLIX"));
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 20));
        p.drawText(QRectF(0, 95, 496, 40), Qt::AlignCenter, QStringLiteral("Coin Hopper"));
        p.end();
        save(image, out, QStringLiteral("launcher_large.png"));
    }
    {  // Banner along the bottom.
        QImage image = canvas(690, 164);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 690, 0);
        // Dark under the coins, light on the right where the version line stands.
        g.setColorAt(0, QColor(8, 20, 44));
        g.setColorAt(0.55, QColor(150, 175, 210));
        g.setColorAt(1, QColor(225, 233, 245));
        p.fillRect(image.rect(), g);
        for (int k = 0; k < 9; ++k) {
            coin(p, QPointF(30 + k * 28, 120 - (k % 3) * 8), 18);
        }
        p.setPen(kNavy);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 17, QFont::Bold));
        p.drawText(QRectF(330, 4, 352, 52), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Hopper Service Tool"));
        p.end();
        save(image, out, QStringLiteral("launcher_banner.png"));
    }

    // Protocol simulation pictures: the hopper on the left, the host on the right, and the
    // three animation frames between them.
    {
        QImage image = canvas(62, 102, Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        hopper(p, QRectF(2, 4, 58, 94));
        p.end();
        save(image.convertToFormat(QImage::Format_RGB32), out, QStringLiteral("sim_hopper.bmp"));
    }
    {
        QImage image = canvas(78, 82, Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kNavy, 2));
        p.setBrush(QColor(200, 220, 240));
        p.drawRect(QRectF(6, 4, 66, 48));
        p.setBrush(QColor(40, 60, 90));
        p.drawRect(QRectF(12, 10, 54, 36));
        p.setBrush(kSteel);
        p.drawRect(QRectF(28, 52, 22, 10));
        p.drawRect(QRectF(4, 62, 70, 16));
        p.end();
        save(image.convertToFormat(QImage::Format_RGB32), out, QStringLiteral("sim_host.bmp"));
    }
    for (int step = 0; step < 3; ++step) {
        save(arrowFrame(step).convertToFormat(QImage::Format_RGB32), out,
             QStringLiteral("Ar%1.bmp").arg(step + 1));
    }

    save(resultIcon(0), out, QStringLiteral("GREENSIG.ico"));
    save(resultIcon(1), out, QStringLiteral("REDSIG.ico"));
    save(resultIcon(2), out, QStringLiteral("YELLOWSIG.ico"));
    save(resultIcon(3), out, QStringLiteral("RYG.ico"));

    {  // The coin number setting window's icon once the hardware test window has been opened.
        QImage image = canvas(64, 64);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(120, 80, 0), 3));
        p.setBrush(QColor(250, 210, 40));
        p.drawEllipse(QRectF(3, 3, 58, 58));
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(19, 18, 8, 10));
        p.drawEllipse(QRectF(37, 18, 8, 10));
        p.setBrush(QColor(150, 20, 20));
        QPainterPath mouth;
        mouth.moveTo(16, 36);
        mouth.cubicTo(20, 56, 44, 56, 48, 36);
        mouth.closeSubpath();
        p.drawPath(mouth);
        p.end();
        save(image, out, QStringLiteral("laugh.ico"));
    }
    return 0;
}
