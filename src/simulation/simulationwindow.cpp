#include "simulation/simulationwindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>

#include "app/windowhost.h"
#include "platform/services.h"
#include "platform/twips.h"
#include "serial/lockedcombobox.h"
#include "serial/seriallink.h"

namespace pellix {
namespace {

constexpr int kAnimationMs = 150;
constexpr int kHintMs = 70;
constexpr int kPorts = 8;

QLabel* fixedPicture(QWidget* parent, const QString& name, const QString& file, QPoint at) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    const QPixmap pixmap(file);
    label->setPixmap(pixmap);
    label->setGeometry(QRect(at, pixmap.isNull() ? QSize(1, 1) : pixmap.size()));
    return label;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    b->setGeometry(rect);
    return b;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, QPoint at) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(at);
    l->adjustSize();
    return l;
}

}  // namespace

SimulationWindow::SimulationWindow(Services& services, WindowHost& host, SimulationState& state,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_services(services),
      m_host(host),
      m_state(state) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("TZV Protocol Simulation"));
    setWindowIcon(QIcon(services.folder.filePath(QStringLiteral("\\pellix.ico"))));

    m_link = new SerialLink(services, SerialLinkPolicy{}, this);
    m_link->setObjectName(QStringLiteral("MSComm1"));

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("Label1"));
    m_hint->setAccessibleName(QStringLiteral("Hint"));
    m_hint->setGeometry(twipsRect(0, 0, 3615, 495));
    m_hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setWordWrap(true);

    auto* startUp = button(this, QStringLiteral("Command2"), QStringLiteral("Start up"),
                           twipsRect(240, 480, 1095, 375));
    auto* dispense = button(this, QStringLiteral("Command1"), QStringLiteral("Dispense"),
                            twipsRect(2400, 480, 1095, 375));
    connect(startUp, &QPushButton::clicked, this, &SimulationWindow::onStartUp);
    connect(dispense, &QPushButton::clicked, this, &SimulationWindow::onDispense);

    fixedPicture(this, QStringLiteral("Image1"),
                 services.folder.filePath(QStringLiteral("\\sim_hopper.bmp")),
                 QPoint(twips(120), twips(1080)))
        ->setAccessibleName(QStringLiteral("Hopper"));
    fixedPicture(this, QStringLiteral("Image2"),
                 services.folder.filePath(QStringLiteral("\\sim_host.bmp")),
                 QPoint(twips(2400), twips(1200)))
        ->setAccessibleName(QStringLiteral("Host"));

    m_animation = new QLabel(this);
    m_animation->setObjectName(QStringLiteral("Image3"));
    m_animation->setAccessibleName(QStringLiteral("Command animation"));
    m_animation->setGeometry(twipsRect(1200, 1920, 1170, 495));

    auto* channelLabel = label(this, QStringLiteral("Label5"), QStringLiteral("Channel"),
                               QPoint(twips(1080), twips(1440)));
    m_channels = new LockedComboBox(services.clipboard, this);
    m_channels->setObjectName(QStringLiteral("Combo2"));
    for (int c = 1; c <= tzv::kChannels; ++c) {
        m_channels->addItem(QString::number(c));
    }
    m_channels->setShownText(QStringLiteral("1"));
    m_channels->setGeometry(twips(1680), twips(1410), twips(615), m_channels->sizeHint().height());
    // The caption ends just before its list even where the font runs wider than designed.
    channelLabel->move(std::min(channelLabel->x(), m_channels->x() - channelLabel->width() - 2),
                       channelLabel->y());
    m_channels->setAccessibleName(channelLabel->text());
    connect(m_channels, &QComboBox::activated, this,
            [this](int position) { m_channelByte = tzv::channelByteFor(position); });

    auto* portLabel = label(this, QStringLiteral("Label6"), QStringLiteral("COM PORT"),
                            QPoint(twips(240), twips(2940)));
    m_ports = new LockedComboBox(services.clipboard, this);
    m_ports->setObjectName(QStringLiteral("Combo1"));
    fillPortChooser(*m_ports, *m_link, kPorts);
    m_ports->setGeometry(twips(1320), twips(2880), twips(975), m_ports->sizeHint().height());
    m_ports->setAccessibleName(portLabel->text());
    connect(m_ports, &QComboBox::activated, this, &SimulationWindow::onPortPicked);

    auto* closeButton = button(this, QStringLiteral("Command5"), QStringLiteral("&Close"),
                               twipsRect(2850, 2760, 735, 495));
    closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(false);
    m_panel = new QLabel(statusBar);
    m_panel->setObjectName(QStringLiteral("StatusBar1_Panel1"));
    statusBar->addWidget(m_panel, 1);
    const QSize client = twipsSize(3735, 3810);
    const int barHeight = statusBar->sizeHint().height();
    statusBar->setGeometry(0, client.height(), client.width(), barHeight);
    setFixedSize(client.width(), client.height() + barHeight);
    connect(m_link, &SerialLink::panelTextChanged, m_panel, &QLabel::setText);

    m_animationTimer = new QTimer(this);
    m_animationTimer->setObjectName(QStringLiteral("Timer2"));
    m_animationTimer->setInterval(kAnimationMs);
    connect(m_animationTimer, &QTimer::timeout, this, &SimulationWindow::onAnimationTick);
    m_hintTimer = new QTimer(this);
    m_hintTimer->setObjectName(QStringLiteral("Timer3"));
    m_hintTimer->setInterval(kHintMs);
    connect(m_hintTimer, &QTimer::timeout, this, &SimulationWindow::onHintTick);

    // Load.
    m_panel->setText(kPanelClosed);
    m_link->Configure(QStringLiteral("9600,E,8,1"), InputMode::Bytes, m_link->readLength(), 1, 0);
    m_channelByte = tzv::kFirstChannel;
    m_state.hint.setText(tzv::kLoadHint);
    m_hintTimer->start();

    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void SimulationWindow::onPortPicked(int position) {
    if (m_link->SelectPort(position) == SelectResult::PortError) {
        m_ports->setShownText(QStringLiteral("COM1"));
    }
}

void SimulationWindow::send(std::span<const std::uint8_t> bytes) {
    // Each byte goes out as its own one-byte write, back to back.
    for (std::uint8_t byte : bytes) {
        if (!m_link->WriteByte(byte)) {
            return;
        }
    }
}

void SimulationWindow::onStartUp() {
    if (!m_link->IsOpen()) {
        return;
    }
    send(tzv::startUpCommand());
    restartAnimation();
    m_hint->clear();
    m_state.hint.setText(tzv::kStartUpHint);
    m_state.hint.restart();
}

void SimulationWindow::onDispense() {
    if (!m_link->IsOpen()) {
        return;
    }
    restartAnimation();
    send(tzv::dispenseCommand(m_channelByte));
}

void SimulationWindow::restartAnimation() {
    m_state.animation.restart();
    m_animationTimer->start();
}

void SimulationWindow::onHintTick() {
    const std::string_view shown = m_state.hint.tick();
    m_hint->setText(QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
}

void SimulationWindow::onAnimationTick() {
    static const char* const kFrames[] = {"\\Ar1.bmp", "\\Ar2.bmp", "\\Ar3.bmp"};
    const tzv::Animation::Frame frame = m_state.animation.tick();
    if (frame == tzv::Animation::Frame::Clear) {
        m_animation->clear();
        m_animationTimer->stop();
        return;
    }
    // Read each time a frame is shown; a missing or unreadable file leaves the picture empty.
    const QPixmap pixmap(
        m_services.folder.filePath(QString::fromLatin1(kFrames[static_cast<int>(frame)])));
    m_animation->setPixmap(pixmap);
    if (pixmap.isNull()) {
        m_animation->clear();
    }
}

void SimulationWindow::closeEvent(QCloseEvent* event) {
    m_link->Close();
    m_host.showLauncher();
    event->accept();
}

}  // namespace pellix
