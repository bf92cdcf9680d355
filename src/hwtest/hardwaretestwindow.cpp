#include "hwtest/hardwaretestwindow.h"
#include "platform/qttext.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>

#include <string>
#include <utility>

#include "capture/capture.h"
#include "hwtest/flashpanel.h"
#include "hwtest/hwtestlayout.h"
#include "hwtest/hwtesttexts.h"
#include "hwtest/testresultrows.h"
#include "platform/services.h"
#include "records/newrun.h"
#include "serial/portchooser.h"
#include "serial/seriallineport.h"
#include "serial/seriallink.h"
#include "widgets/artwork.h"
#include "widgets/formwidgets.h"
#include "widgets/lockedcombobox.h"
#include "widgets/twips.h"
#include "widgets/windowhost.h"

namespace pellix {
namespace {

namespace texts = hwtest::texts;
using hwtest::FlashField;
using hwtest::layout::kBoxHeight;
using hwtest::layout::kButtonHeight;
using hwtest::layout::kCaptionHeight;

constexpr int kPorts = 8;

// Client area and the places the identity column is drawn around (twips).
constexpr int kClientWidth = 10695;
constexpr int kClientHeight = 7605;
constexpr int kIdentityBoxLeft = 1035;
constexpr int kCaptionLeft = 120;
constexpr int kLeftColumnRight = 3240;

QLabel* caption(QWidget* parent, const QString& name, std::string_view text, QRect rect) {
    return addCaption(parent, name, toQString(text), rect);
}

QPushButton* button(QWidget* parent, const QString& name, std::string_view text, QRect rect) {
    return addButton(parent, name, toQString(text), rect);
}

}  // namespace

HardwareTestWindow::HardwareTestWindow(Services& services, WindowHost& host, Capture* capture)
    : QWidget(nullptr, Qt::Window),
      m_services(services),
      m_host(host),
      m_line(new SerialLinePort(services, SerialLinkPolicy{}, {}, capture, this)),
      m_link(&m_line->link()),
      m_capture(capture),
      m_recorder([this](records::ServiceRun run) { keepRun(std::move(run)); }),
      m_notes(m_views, *m_line),
      m_receiver(m_notes, m_notes) {
    m_views.add(*this);
    m_views.add(m_recorder);
    setUpWindow(*this, QStringLiteral("Form5"), toQString(texts::kWindowTitle), services.folder,
                toQString(texts::kWindowIconFile));
    useDialogFont(*this);

    m_notes.setSink(capture);
    m_line->setEngine(&m_receiver);
    connect(m_line, &SerialLinePort::batchHandled, this, &HardwareTestWindow::showPending);

    buildIdentityAndPort();
    buildDipSwitches();
    m_results = std::make_unique<hwtest::TestResultRows>(*this, services.folder);
    m_flash = new hwtest::FlashPanel(*this);
    connect(m_flash, &hwtest::FlashPanel::writeClicked, this, &HardwareTestWindow::onWriteFlash);
    connect(m_flash, &hwtest::FlashPanel::readClicked, this, &HardwareTestWindow::onReadFlash);
    buildStatusBar();
    resize(twipsSize(kClientWidth, kClientHeight));
    placeStatusBar();

    load();
}

HardwareTestWindow::~HardwareTestWindow() = default;

void HardwareTestWindow::buildIdentityAndPort() {
    const QFont captionFont = pointFont(*this, hwtest::layout::kCaptionFontPoints);
    const std::array<QLabel*, 3> captions = {
        caption(this, QStringLiteral("Label1"), texts::kSoftwareLabel, QRect()),
        caption(this, QStringLiteral("Label2"), texts::kChecksumLabel, QRect()),
        caption(this, QStringLiteral("Label6"), texts::kPortLabel, QRect())};
    auto [software, checksum, port] = captions;
    for (QLabel* label : captions) {
        label->setFont(captionFont);
    }
    const int boxLeft =
        columnBesideCaptions(captions, twips(kCaptionLeft), twips(kIdentityBoxLeft));

    m_software = addControl<QLineEdit>(
        this, QStringLiteral("Text1"), software->text(),
        QRect(boxLeft, twips(180), twips(kLeftColumnRight) - boxLeft, twips(kBoxHeight)));
    m_checksum = addControl<QLineEdit>(this, QStringLiteral("Text2"), checksum->text(),
                                       QRect(boxLeft, twips(720), twips(1215), twips(kBoxHeight)));
    // The identity comes from the hopper; the variant it decides follows the stream, so these
    // two only show it.
    m_software->setReadOnly(true);
    m_checksum->setReadOnly(true);
    software->setBuddy(m_software);
    checksum->setBuddy(m_checksum);
    placeCaptionBeside(*software, twips(kCaptionLeft), m_software->geometry());
    placeCaptionBeside(*checksum, twips(kCaptionLeft), m_checksum->geometry());

    m_ports = new LockedComboBox(m_services.clipboard, this);
    nameControl(*m_ports, QStringLiteral("Combo1"), port->text());
    port->setBuddy(m_ports);
    fillPortChooser(*m_ports, *m_link, kPorts);
    placeDropDown(*m_ports, boxLeft, twips(1440), twips(975));
    placeCaptionBeside(*port, twips(kCaptionLeft), m_ports->geometry());
    connect(m_ports, &QComboBox::activated, this, &HardwareTestWindow::onPortPicked);

    auto* reset = button(this, QStringLiteral("Command1"), texts::kResetButton,
                         twipsRect(2400, 1320, 855, 495));
    connect(reset, &QPushButton::clicked, this, &HardwareTestWindow::onReset);

    auto* picture =
        addControl<QLabel>(this, QStringLiteral("Image1"), toQString(texts::kHopperPictureName),
                           twipsRect(3360, 0, 3000, 3600));
    picture->setAlignment(Qt::AlignCenter);
    const QPixmap hopper =
        artworkPixmap(m_services.folder.filePath(toQString(texts::kHopperPictureFile)));
    if (!hopper.isNull()) {
        picture->setPixmap(
            hopper.scaled(picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

void HardwareTestWindow::buildDipSwitches() {
    QGroupBox* frame = addFrame(this, QStringLiteral("Frame1"), toQString(texts::kDipFrame),
                                twipsRect(120, 3840, 2775, 1695));

    // Four switches side by side, centred in the frame; "ON" above them, "OFF" below, each
    // switch named underneath.
    constexpr int kPitch = 600;
    constexpr int kSliderWidth = 300;
    constexpr int kGroupWidth = 3 * kPitch + kSliderWidth;
    constexpr int kGroupLeft = (2775 - kGroupWidth) / 2;
    auto* on = caption(frame, QStringLiteral("Label7"), texts::kDipOn,
                       twipsRect(kGroupLeft, 270, kGroupWidth, kCaptionHeight));
    on->setAlignment(Qt::AlignCenter);
    auto* off = caption(frame, QStringLiteral("Label8"), texts::kDipOff,
                        twipsRect(kGroupLeft, 1125, kGroupWidth, kCaptionHeight));
    off->setAlignment(Qt::AlignCenter);
    for (int i = 0; i < 4; ++i) {
        const int left = kGroupLeft + i * kPitch;
        const auto name = texts::kSwitchCaptions[static_cast<std::size_t>(i)];
        auto* slider =
            addControl<QSlider>(frame, QStringLiteral("VScroll1_%1").arg(i), toQString(name),
                                twipsRect(left, 480, kSliderWidth, 630), Qt::Vertical);
        // 1 (ON) at the top, 0 (OFF) at the bottom. Only the hopper moves them: a hand on a
        // slider changes nothing anywhere else.
        slider->setRange(0, 1);
        slider->setPageStep(1);
        slider->setValue(0);
        m_switches[static_cast<std::size_t>(i)] = slider;
        auto* label =
            caption(frame, QStringLiteral("Label4_%1").arg(i), name,
                    twipsRect(left + kSliderWidth / 2 - kPitch / 2, 1380, kPitch, kCaptionHeight));
        label->setAlignment(Qt::AlignCenter);
    }

    auto* finish = button(this, QStringLiteral("Command7"), texts::kDipFinishButton,
                          twipsRect(120, 5760, 1215, kButtonHeight));
    connect(finish, &QPushButton::clicked, this, &HardwareTestWindow::onDipFinish);
}

void HardwareTestWindow::buildStatusBar() {
    m_statusBar = addStatusBar(this, true);
    m_panel = addStatusPanel(m_statusBar, 1);
    connect(m_link, &SerialLink::panelTextChanged, m_panel, &QLabel::setText);
}

void HardwareTestWindow::placeStatusBar() {
    const int barHeight = m_statusBar->sizeHint().height();
    m_statusBar->setGeometry(0, height() - barHeight, width(), barHeight);
}

void HardwareTestWindow::resizeEvent(QResizeEvent* event) {
    // The status bar keeps to the bottom edge of the sizable window.
    placeStatusBar();
    QWidget::resizeEvent(event);
}

void HardwareTestWindow::load() {
    m_panel->setText(toQString(serial::texts::kPanelClosed));
    m_link->Configure(kLine9600E81);
    // The coin number setting window shows this icon from its next load on. It is not loaded
    // for it: loaded hidden, it would open its remembered port in the background and take the
    // port and the hopper's bytes from this window.
    m_host.setIcon(WindowKind::CoinSetting,
                   artworkIcon(m_services.folder.filePath(toQString(texts::kCoinSettingIconFile))));
    m_receiver.restartAtHeader();
    m_flash->chooseFirstModes();
    m_results->showAllNotTested();
}

void HardwareTestWindow::onPortPicked(int position) {
    // No remembered port here: a failed pick goes back to the first entry, port closed.
    const SelectResult result = m_link->SelectPort(position);
    if (result == SelectResult::PortError) {
        m_ports->setShownText(toQString(texts::kFirstPort));
    }
    m_recorder.setPort(QStringLiteral("COM%1").arg(m_link->PortNumber()).toStdString(),
                       m_link->IsOpen() ? m_link->openDevice().toStdString() : std::string());
}

void HardwareTestWindow::keepRun(records::ServiceRun run) {
    if (!m_keepRuns) {
        return;
    }
    run.capture = records::captureText(m_capture);
    m_keepRuns(std::move(run));
}

void HardwareTestWindow::onReset() {
    showPending();
    // Ready for the next hopper: its header is read afresh and its software text starts empty.
    m_receiver.restartAtHeader();
    m_receiver.clearSoftwareText();
    hideFlashPanel();
    m_software->clear();
    m_checksum->clear();
    m_results->showAllNotTested();
}

void HardwareTestWindow::onDipFinish() {
    for (QSlider* slider : m_switches) {
        slider->setEnabled(false);
    }
    if (!portOpenOrSay()) {
        return;
    }
    m_receiver.sendDipFinished();
    m_flash->show();
}

void HardwareTestWindow::onReadFlash() {
    showPending();
    if (!portOpenOrSay()) {
        return;  // the boxes keep what they hold: nothing would come to replace it
    }
    m_flash->clear();
    m_receiver.sendReadFlashRequest();
}

void HardwareTestWindow::onWriteFlash() {
    showPending();
    if (!portOpenOrSay()) {
        return;
    }
    m_recorder.flashWriteSent();
    for (const hwtest::FieldMessage& message : m_receiver.writeFlash(m_flash->record())) {
        say(message.text);
    }
}

void HardwareTestWindow::hideFlashPanel() {
    for (QSlider* slider : m_switches) {
        slider->setEnabled(true);
    }
    m_flash->hide();
}

bool HardwareTestWindow::portOpenOrSay() {
    if (m_link->IsOpen()) {
        return true;
    }
    say(texts::kPortNotOpen);
    return false;
}

void HardwareTestWindow::say(std::string_view message) {
    m_services.messages.show(toQString(message), toQString(message), MessageIcon::Information);
}

void HardwareTestWindow::showChecksum(std::string_view text) {
    m_pending.checksum = toQString(text);
}

void HardwareTestWindow::appendSoftwareText(std::string_view character) {
    // Nothing is gathered beyond what the box can still take.
    if (m_software->text().size() + m_pending.software.size() < m_software->maxLength()) {
        m_pending.software += toQString(character);
    }
}

void HardwareTestWindow::firmwareVariantDecided(hwtest::FirmwareVariant) {
    // The variant only steers the receiver through the rest of the stream; nothing shows it.
}

void HardwareTestWindow::showDipSwitches(const hwtest::DipSwitches& on) {
    m_pending.dipSwitches = on;
}

void HardwareTestWindow::setResult(hwtest::TestItem item, hwtest::TestResult result) {
    m_pending.results[static_cast<std::size_t>(item)] = result;
}

void HardwareTestWindow::appendRecordText(FlashField field, std::string_view character) {
    QString& text = m_pending.recordText[static_cast<std::size_t>(field)];
    if (text.size() < m_flash->recordTextRoom(field)) {
        text += toQString(character);
    }
}

void HardwareTestWindow::showSerialNumber(std::string_view text) {
    m_pending.serialNumber = toQString(text);
}

void HardwareTestWindow::showPending() {
    Pending pending = std::exchange(m_pending, {});
    if (!pending.software.isEmpty()) {
        m_software->setText(m_software->text() + pending.software);
    }
    if (pending.checksum) {
        m_checksum->setText(*pending.checksum);
    }
    if (pending.dipSwitches) {
        for (std::size_t i = 0; i < pending.dipSwitches->size(); ++i) {
            m_switches[i]->setValue((*pending.dipSwitches)[i]);
        }
    }
    for (std::size_t i = 0; i < pending.results.size(); ++i) {
        if (pending.results[i]) {
            m_results->showResult(static_cast<hwtest::TestItem>(i), *pending.results[i]);
        }
    }
    for (std::size_t i = 0; i < pending.recordText.size(); ++i) {
        if (!pending.recordText[i].isEmpty()) {
            m_flash->appendRecordText(static_cast<FlashField>(i), pending.recordText[i]);
        }
    }
    if (pending.serialNumber) {
        m_flash->showSerialNumber(*pending.serialNumber);
    }
}

void HardwareTestWindow::closeEvent(QCloseEvent* event) {
    showPending();
    m_recorder.finish("the window closed");
    m_link->Close();
    m_host.showLauncher();
    event->accept();
}

}  // namespace pellix
