#include "simulation/simulationwindow.h"
#include "platform/qttext.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>

#include "capture/capture.h"
#include "platform/services.h"
#include "records/newrun.h"
#include "serial/portchooser.h"
#include "serial/seriallineport.h"
#include "simulation/simulationtexts.h"
#include "widgets/artwork.h"
#include "widgets/formwidgets.h"
#include "widgets/lockedcombobox.h"
#include "widgets/twips.h"
#include "widgets/windowhost.h"

namespace pellix {
namespace {

namespace texts = simulation::texts;

constexpr int kAnimationMs = 150;
constexpr int kHintMs = 70;
constexpr int kPorts = 8;

// A picture shown at its own size; a missing file leaves a one-pixel empty box.
QLabel* fixedPicture(QWidget* parent, const QString& name, const QString& spokenName,
                     const QString& file, QPoint at) {
    const QPixmap pixmap = artworkPixmap(file);
    auto* label = addControl<QLabel>(parent, name, spokenName,
                                     QRect(at, pixmap.isNull() ? QSize(1, 1) : pixmap.size()));
    label->setPixmap(pixmap);
    return label;
}

}  // namespace

SimulationWindow::SimulationWindow(Services& services, WindowHost& host, SimulationState& state,
                                   Capture* capture)
    : QWidget(nullptr, kFixedToolWindowFlags),
      m_services(services),
      m_host(host),
      m_state(state),
      m_line(new SerialLinePort(services, SerialLinkPolicy{}, {}, capture, this)),
      m_link(&m_line->link()),
      m_capture(capture),
      m_hostEngine(*m_line, *this) {
    m_recorder.setCapture(capture);
    m_hostEngine.setNotes(&m_recorder);
    setUpWindow(*this, QStringLiteral("Form3"), toQString(texts::kCaption), services.folder,
                toQString(texts::kIconFile));

    buildControls();
    wireControls();
    load();
}

// The controls at their places, in the order the keyboard visits them.
void SimulationWindow::buildControls() {
    m_hint = addControl<QLabel>(this, QStringLiteral("Label1"), toQString(texts::kHintName),
                                twipsRect(0, 0, 3615, 495));
    showsValue(*m_hint, QStringLiteral("Hint"));
    m_hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setWordWrap(true);

    m_startUp = addButton(this, QStringLiteral("Command2"), toQString(texts::kStartUpButton),
                          twipsRect(240, 480, 1095, 375));
    m_dispense = addButton(this, QStringLiteral("Command1"), toQString(texts::kDispenseButton),
                           twipsRect(2400, 480, 1095, 375));

    fixedPicture(this, QStringLiteral("Image1"), toQString(texts::kHopperPictureName),
                 m_services.folder.filePath(toQString(texts::kHopperPictureFile)),
                 QPoint(twips(120), twips(1080)));
    fixedPicture(this, QStringLiteral("Image2"), toQString(texts::kHostPictureName),
                 m_services.folder.filePath(toQString(texts::kHostPictureFile)),
                 QPoint(twips(2400), twips(1200)));

    m_animation =
        addControl<QLabel>(this, QStringLiteral("Image3"), toQString(texts::kAnimationName),
                           twipsRect(1200, 1920, 1170, 495));

    auto* channelLabel = addCaption(this, QStringLiteral("Label5"), toQString(texts::kChannelLabel),
                                    QPoint(twips(1080), twips(1440)));
    // The channel list only discards typed keys; the clipboard is the port chooser's concern.
    m_channels = new LockedComboBox(this);
    nameControl(*m_channels, QStringLiteral("Combo2"), channelLabel->text());
    channelLabel->setBuddy(m_channels);
    for (int c = 1; c <= tzv::kChannels; ++c) {
        m_channels->addItem(QString::number(c));
    }
    m_channels->setShownText(toQString(texts::kFirstChannel));
    placeDropDown(*m_channels, twips(1680), twips(1410), twips(615));
    // The caption ends just before its list even where the font runs wider than designed.
    channelLabel->move(std::min(channelLabel->x(), m_channels->x() - channelLabel->width() - 2),
                       channelLabel->y());

    auto* portLabel = addCaption(this, QStringLiteral("Label6"), toQString(texts::kPortLabel),
                                 QPoint(twips(240), twips(2940)));
    m_ports = new LockedComboBox(m_services.clipboard, this);
    nameControl(*m_ports, QStringLiteral("Combo1"), portLabel->text());
    portLabel->setBuddy(m_ports);
    fillPortChooser(*m_ports, *m_link, kPorts);
    placeDropDown(*m_ports, twips(1320), twips(2880), twips(975));

    m_close = addButton(this, QStringLiteral("Command5"), toQString(texts::kCloseButton),
                        twipsRect(2850, 2760, 735, 495));
    m_close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

    QStatusBar* statusBar = addStatusBar(this);
    m_panel = addStatusPanel(statusBar, 1);
    fixSizeWithStatusBar(*this, *statusBar, twipsSize(3735, 3810));

    m_animationTimer = new QTimer(this);
    m_animationTimer->setObjectName(QStringLiteral("Timer2"));
    m_animationTimer->setInterval(kAnimationMs);
    m_hintTimer = new QTimer(this);
    m_hintTimer->setObjectName(QStringLiteral("Timer3"));
    m_hintTimer->setInterval(kHintMs);
}

void SimulationWindow::wireControls() {
    connect(m_startUp, &QPushButton::clicked, this, &SimulationWindow::onStartUp);
    connect(m_dispense, &QPushButton::clicked, this, &SimulationWindow::onDispense);
    connect(m_channels, &QComboBox::activated, this,
            [this](int position) { m_hostEngine.selectChannel(position); });
    connect(m_ports, &QComboBox::activated, this, &SimulationWindow::onPortPicked);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_link, &SerialLink::panelTextChanged, m_panel, &QLabel::setText);
    connect(m_animationTimer, &QTimer::timeout, this, &SimulationWindow::onAnimationTick);
    connect(m_hintTimer, &QTimer::timeout, this, &SimulationWindow::onHintTick);
}

void SimulationWindow::load() {
    m_panel->setText(toQString(serial::texts::kPanelClosed));
    m_link->Configure(kLine9600E81);
    m_state.hint.setText(tzv::kLoadHint);
    m_hintTimer->start();

    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void SimulationWindow::onPortPicked(int position) {
    if (m_link->SelectPort(position) == SelectResult::PortError) {
        m_ports->setShownText(toQString(texts::kFirstPort));
    }
    m_recorder.setPort(QStringLiteral("COM%1").arg(m_link->PortNumber()).toStdString(),
                       m_link->IsOpen() ? m_link->openDevice().toStdString() : std::string());
}

void SimulationWindow::keepRun(records::ServiceRun run) {
    if (m_keepRuns) {
        run.capture = records::captureText(m_capture);
        m_keepRuns(std::move(run));
    }
}

void SimulationWindow::onStartUp() {
    if (m_link->IsOpen()) {
        m_hostEngine.startUp();
    }
}

void SimulationWindow::onDispense() {
    if (m_link->IsOpen()) {
        m_hostEngine.dispense();
    }
}

void SimulationWindow::commandSent() {
    m_state.animation.restart();
    m_animationTimer->start();
}

void SimulationWindow::showStartUpHint() {
    m_hint->clear();
    m_state.hint.setText(tzv::kStartUpHint);
    m_state.hint.restart();
}

void SimulationWindow::onHintTick() {
    const std::string_view shown = m_state.hint.tick();
    m_hint->setText(QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
}

void SimulationWindow::onAnimationTick() {
    const tzv::Animation::Frame frame = m_state.animation.tick();
    if (frame == tzv::Animation::Frame::Clear) {
        m_animation->clear();
        m_animationTimer->stop();
        return;
    }
    // Read each time a frame is shown; a missing or unreadable file leaves the picture empty.
    const QPixmap pixmap(m_services.folder.filePath(
        toQString(texts::kAnimationFiles[static_cast<std::size_t>(frame)])));
    m_animation->setPixmap(pixmap);
    if (pixmap.isNull()) {
        m_animation->clear();
    }
}

void SimulationWindow::closeEvent(QCloseEvent* event) {
    m_recorder.finish();
    m_link->Close();
    m_host.showLauncher();
    event->accept();
}

}  // namespace pellix
