#include "app/launcherwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QToolButton>

#include "app/windowregistry.h"
#include "platform/services.h"
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

QLabel* picture(QWidget* parent, const QString& name, const QString& spokenName,
                const QString& file, QRect rect) {
    auto* label = addControl<QLabel>(parent, name, spokenName, rect);
    label->setScaledContents(true);
    label->setPixmap(QPixmap(file));
    return label;
}

}  // namespace

LauncherWindow::LauncherWindow(WindowRegistry& registry, const ProgramFolder& folder,
                               QWidget* parent)
    : QWidget(parent, kFixedToolWindowFlags), m_registry(registry) {
    setUpWindow(*this, QStringLiteral("Form6"), QStringLiteral("HOPPER SW TOOL"), folder,
                QStringLiteral("\\pellix.ico"));
    setFixedSize(twipsSize(5205, 5535));

    picture(this, QStringLiteral("Image1"), QStringLiteral("Pellix hopper"),
            folder.filePath(QStringLiteral("\\launcher_large.png")), twipsRect(0, 0, 3720, 4305));
    picture(this, QStringLiteral("Image2"), QStringLiteral("Pellix banner"),
            folder.filePath(QStringLiteral("\\launcher_banner.png")),
            twipsRect(-120, 4320, 5175, 1230));

    for (int i = 0; i < 6; ++i) {
        const QString tooltip = QString::fromLatin1(kImageButtons[i].tooltip);
        auto* button = addControl<QToolButton>(this, QStringLiteral("Image3_%1").arg(i), tooltip,
                                               twipsRect(3720, 720 * i, 1335, 735));
        button->setToolTip(tooltip);
        button->setIcon(QIcon(
            folder.filePath(QLatin1Char('\\') + QString::fromLatin1(kImageButtons[i].picture))));
        button->setIconSize(button->size());
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QToolButton::clicked, this, [this, i] { onImageClicked(i); });
        m_buttons[i] = button;
    }

    m_version = new QLabel(versionLine(), this);
    m_version->setObjectName(QStringLiteral("Label1"));
    // The line is a little wider than its design box so the digits never clip.
    m_version->setGeometry(twips(3600), twips(4800), twips(1500), twips(240));
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
}

}  // namespace pellix
