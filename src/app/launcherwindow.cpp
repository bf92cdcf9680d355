#include "app/launcherwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTimer>
#include <QToolButton>

#include "app/windowregistry.h"
#include "platform/services.h"
#include "widgets/artwork.h"
#include "widgets/formwidgets.h"
#include "widgets/twips.h"

namespace pellix {
namespace {

struct ImageButton {
    const char* tooltip;
    const char* picture;
};

constexpr std::array<ImageButton, 6> kImageButtons{{
    {"Hopper HardWare Testing", "launcher_hwtest.png"},
    {"TZV Protocol Testing", "launcher_tzv.png"},
    {"China Interface Testing", "launcher_cny.png"},
    {"TZV Protocol Coin Number Setting", "launcher_coinsetting.png"},
    {"Manual", "launcher_manual.png"},
    {"Exit Hopper Tool", "launcher_exit.png"},
}};

constexpr std::array<WindowKind, 5> kOpens{WindowKind::HardwareTest, WindowKind::Simulation,
                                           WindowKind::CnyTester, WindowKind::CoinSetting,
                                           WindowKind::Manual};

// A picture button a technician without a mouse can use: it takes the focus by Tab, Space
// (as every button) and Enter press it, and the focus shows as a frame over the picture.
class KeyboardImageButton final : public QToolButton {
  public:
    using QToolButton::QToolButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            event->modifiers() == Qt::NoModifier) {
            animateClick();
            return;
        }
        QToolButton::keyPressEvent(event);
    }
    void paintEvent(QPaintEvent* event) override {
        QToolButton::paintEvent(event);
        if (!hasFocus()) {
            return;
        }
        QStylePainter painter(this);
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
};

QLabel* picture(QWidget* parent, const QString& name, const QString& spokenName, QRect rect) {
    return addControl<QLabel>(parent, name, spokenName, rect);
}

void showPicture(QLabel& label, const QString& file) {
    label.setPixmap(artworkPixmap(file, label.size(), label.devicePixelRatioF()));
}

}  // namespace

LauncherWindow::LauncherWindow(WindowRegistry& registry, const ProgramFolder& folder,
                               QWidget* parent)
    : QWidget(parent, kFixedToolWindowFlags), m_registry(registry), m_folder(folder) {
    setUpWindow(*this, QStringLiteral("Form6"), QStringLiteral("HOPPER SW TOOL"), folder,
                QStringLiteral("\\pellix.ico"));
    setFixedSize(twipsSize(5205, 5535));

    m_picture = picture(this, QStringLiteral("Image1"), QStringLiteral("Pellix hopper"),
                        twipsRect(0, 0, 3720, 4305));
    m_banner = picture(this, QStringLiteral("Image2"), QStringLiteral("Pellix banner"),
                       twipsRect(-120, 4320, 5175, 1230));
    // The pictures stop a few pixels short of the client area's right edge: the banner runs on
    // to the edge.
    m_banner->resize(width() - m_banner->x(), m_banner->height());

    for (int i = 0; i < 6; ++i) {
        const QString tooltip = QString::fromLatin1(kImageButtons[i].tooltip);
        auto* button = addControl<KeyboardImageButton>(
            this, QStringLiteral("Image3_%1").arg(i), tooltip, twipsRect(3720, 720 * i, 1335, 735));
        button->setToolTip(tooltip);
        button->setIconSize(button->size());
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);  // Tab goes down the column by index
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QToolButton::clicked, this, [this, i] { onImageClicked(i); });
        m_buttons[i] = button;
    }

    m_version = new QLabel(versionLine(), this);
    m_version->setObjectName(QStringLiteral("Label1"));
    // The line is a little wider than its design box so the digits never clip.
    m_version->setGeometry(twips(3600), twips(4800), twips(1500), twips(240));
}

void LauncherWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_picturesShown) {
        m_picturesShown = true;
        QTimer::singleShot(0, this, &LauncherWindow::showPictures);
    }
}

void LauncherWindow::showPictures() {
    showPicture(*m_picture, m_folder.filePath(QStringLiteral("\\launcher_large.png")));
    const QString bannerFile = m_folder.filePath(QStringLiteral("\\launcher_banner.png"));
    showPicture(*m_banner, bannerFile);
    // The strip beside the buttons takes the colour the banner ends in.
    if (const QImage banner(bannerFile); !banner.isNull()) {
        QPalette edge = palette();
        edge.setColor(QPalette::Window, banner.pixelColor(banner.width() - 1, 0));
        setPalette(edge);
        setAutoFillBackground(true);
    }
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i]->setIcon(artworkIcon(
            m_folder.filePath(QLatin1Char('\\') + QString::fromLatin1(kImageButtons[i].picture))));
    }
}

QString LauncherWindow::versionLine() {
    return QStringLiteral("VERSION:%1.%2.%3")
        .arg(PELLIX_VERSION_MAJOR)
        .arg(PELLIX_VERSION_MINOR)
        .arg(PELLIX_VERSION_PATCH);
}

void LauncherWindow::addMenuEntry(QAction* action) {
    setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction(action);
}

void LauncherWindow::onImageClicked(int index) {
    if (index == 5) {
        m_registry.close(WindowKind::HardwareTest);
        close();
        return;
    }
    if (!m_registry.canBuild(kOpens[index])) {
        return;  // that window is not part of this build
    }
    hide();
    if (!m_registry.open(kOpens[index])) {
        show();  // the window refused to stay (it ended itself while loading)
    }
}

void LauncherWindow::closeEvent(QCloseEvent* event) {
    m_registry.closeAll();
    event->accept();
    emit closed();
}

}  // namespace pellix
