#include "coinsetting/coinsettingwindow.h"
#include "platform/qttext.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>

#include <string>
#include <utility>

#include "capture/capture.h"
#include "coinsetting/coinsettinginput.h"
#include "coinsetting/coinsettingtexts.h"
#include "coinsetting/settingfile.h"
#include "coinsetting/settingfilecommands.h"
#include "common/settingskeys.h"
#include "common/text.h"
#include "platform/services.h"
#include "records/newrun.h"
#include "serial/portchooser.h"
#include "serial/seriallineport.h"
#include "serial/seriallink.h"
#include "widgets/formwidgets.h"
#include "widgets/lockedcombobox.h"
#include "widgets/twips.h"
#include "widgets/windowhost.h"

namespace pellix {
namespace {

namespace texts = coinsetting::texts;

constexpr int kPorts = 12;
constexpr int kRows = kCoinChannels / 2;
// The setting files fill and read these same boxes.
static_assert(kSettingChannels == kCoinChannels);
// Before the first selection the link holds port 2; that is what an early unload stores.
constexpr int kInitialPortNumber = 2;

const QString kApplicationTitle = QString::fromLatin1(keys::kApplicationTitle);

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

}  // namespace

CoinSettingWindow* CoinSettingWindow::create(Services& services, WindowHost& host,
                                             CoinSettingState& state,
                                             const std::function<void()>& endProgram,
                                             Capture* capture) {
    auto* window = new CoinSettingWindow(services, host, state, capture);
    if (window->unloadedAtLoad()) {
        delete window;
        if (endProgram) {
            endProgram();
        }
        return nullptr;
    }
    return window;
}

void CoinSettingWindow::quitProgram() {
    QCoreApplication::exit(0);
}

CoinSettingWindow::CoinSettingWindow(Services& services, WindowHost& host, CoinSettingState& state,
                                     Capture* capture)
    : QWidget(nullptr, kFixedToolWindowFlags),
      m_services(services),
      m_host(host),
      m_capture(capture),
      m_line(new SerialLinePort(services, SerialLinkPolicy{kInitialPortNumber, true},
                                kCoinSettingTimeouts, capture, this)),
      m_link(&m_line->link()),
      m_protocol(state, *m_line, m_notes) {
    setUpWindow(*this, QStringLiteral("Form1"), toQString(texts::kCaption), services.folder,
                toQString(texts::kIconFile));

    m_notes.setSink(capture);
    m_line->setEngine(&m_protocol);
    connect(m_line, &SerialLinePort::batchHandled, this, &CoinSettingWindow::showHeld);

    buildControls();

    // Setting files go through the window's own box accessors, so loaded text meets the same
    // digit check as typed text.
    m_settingFiles = std::make_unique<SettingFileCommands>(
        services,
        SettingBoxAccess{[this](int index) { return boxText(index); },
                         [this](int index, const QString& text) { setBoxText(index, text); }});
    connect(m_openFile, &QAction::triggered, this, [this] { m_settingFiles->load(); });
    connect(m_saveFile, &QAction::triggered, this, [this] { m_settingFiles->save(); });

    load();
}

CoinSettingWindow::~CoinSettingWindow() = default;

void CoinSettingWindow::buildControls() {
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MenuBar"));
    QMenu* parameter = menuBar->addMenu(toQString(texts::kParameterMenu));
    parameter->setObjectName(QStringLiteral("Parameter"));
    m_openFile = parameter->addAction(toQString(texts::kOpenItem));
    m_openFile->setObjectName(QStringLiteral("Openfile"));
    m_saveFile = parameter->addAction(toQString(texts::kSaveItem));
    m_saveFile->setObjectName(QStringLiteral("Savefile"));
    m_manual = menuBar->addAction(toQString(texts::kManualItem));
    m_manual->setObjectName(QStringLiteral("Manual"));
    connect(m_manual, &QAction::triggered, this, &CoinSettingWindow::onManual);

    // Everything below the menu bar sits in one client area, laid out in twips.
    const QSize clientSize = twipsSize(5655, 4950);
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, clientSize.width(), menuHeight);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setGeometry(QRect(QPoint(0, menuHeight), clientSize));

    QGroupBox* frame = addFrame(client, QStringLiteral("Frame1"), toQString(texts::kFrameCaption),
                                twipsRect(120, 60, 5415, 3765));
    for (int i = 0; i < kCoinChannels; ++i) {
        const int column = i / kRows;
        const int y = 360 + (i % kRows) * 420;
        const QString caption = toQString(texts::kChannelPrefix) + QString::number(i + 1);

        auto* label = new QLabel(caption, frame);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setGeometry(twipsRect(240 + column * 2760, y, 1020, 315));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

        auto* box = addControl<QLineEdit>(frame, QStringLiteral("Text1_%1").arg(i), caption,
                                          twipsRect(1380 + column * 2760, y, 1035, 315),
                                          QStringLiteral("0"));
        box->setMaxLength(static_cast<int>(kBoxMaxLength));
        box->installEventFilter(this);
        label->setBuddy(box);
        connect(box, &QLineEdit::textChanged, this, [this, i] { onBoxTextChanged(i); });
        if (i > 0) {
            QWidget::setTabOrder(m_boxes[static_cast<std::size_t>(i - 1)], box);
        }
        m_boxes[static_cast<std::size_t>(i)] = box;
    }

    m_status = addControl<QLabel>(client, QStringLiteral("Label2"), toQString(texts::kStatusLabel),
                                  twipsRect(120, 3900, 5415, 375));
    showsValue(*m_status, toQString(texts::kStatusLabel));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setTextFormat(Qt::PlainText);
    QFont statusFont = m_status->font();
    statusFont.setBold(true);
    m_status->setFont(statusFont);

    m_ports = new LockedComboBox(m_services.clipboard, client);
    nameControl(*m_ports, QStringLiteral("Combo1"), toQString(texts::kPortChooser));
    fillPortChooser(*m_ports, *m_link, kPorts);
    placeDropDown(*m_ports, twips(120), twips(4440), twips(1215));
    connect(m_ports, &QComboBox::activated, this, &CoinSettingWindow::onPortPicked);
    QWidget::setTabOrder(m_boxes.back(), m_ports);

    m_save = addButton(client, QStringLiteral("Command1"), toQString(texts::kSaveButton),
                       twipsRect(2640, 4395, 1335, 435));
    m_save->setToolTip(toQString(texts::kSaveTooltip));
    connect(m_save, &QPushButton::clicked, this, &CoinSettingWindow::onSave);
    m_exit = addButton(client, QStringLiteral("Command2"), toQString(texts::kExitButton),
                       twipsRect(4200, 4395, 1335, 435));
    connect(m_exit, &QPushButton::clicked, this, &QWidget::close);

    QStatusBar* statusBar = addStatusBar(this);
    m_panel = addStatusPanel(statusBar, 1);
    fixSizeWithStatusBar(*this, *statusBar, clientSize, menuHeight);
    connect(m_link, &SerialLink::panelTextChanged, m_panel, &QLabel::setText);

    // Window keys work wherever the focus is.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &CoinSettingWindow::onManual);
    auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), this);
    connect(f2, &QShortcut::activated, this, &CoinSettingWindow::onCloseKey);

    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void CoinSettingWindow::load() {
    if (m_services.instance.anotherInstanceRunning()) {
        // Only one copy may own the hopper line: unload (which stores the port number) and let
        // create() end the program.
        m_unloadedAtLoad = true;
        close();
        return;
    }
    openRememberedPort();
    m_protocol.load();
}

void CoinSettingWindow::openRememberedPort() {
    const QString stored = m_services.settings.value(QString::fromLatin1(keys::kComPort),
                                                     QString::number(kDefaultRememberedPort));
    const int portNumber = rememberedPortNumber(stored.toStdString());
    // A number that names no entry (COM0, COM15) is only shown; the port stays closed.
    const int position = m_ports->setShownText(QStringLiteral("COM%1").arg(portNumber));
    if (position >= 0) {
        m_link->SelectPort(position);
    }
    notePort();
    m_panel->setText(m_link->IsOpen() ? toQString(serial::texts::kPanelOpen)
                                      : toQString(serial::texts::kPanelClosed));
    m_link->Configure(kLine9600E81);
}

void CoinSettingWindow::onPortPicked(int position) {
    // After a port error the chooser keeps showing the entry that failed.
    m_link->SelectPort(position);
    notePort();
}

void CoinSettingWindow::notePort() {
    m_recorder.setPort(QStringLiteral("COM%1").arg(m_link->PortNumber()).toStdString(),
                       m_link->IsOpen() ? m_link->openDevice().toStdString() : std::string());
}

void CoinSettingWindow::keepRun(records::ServiceRun run) {
    if (m_keepRuns) {
        run.capture = records::captureText(m_capture);
        m_keepRuns(std::move(run));
    }
}

QString CoinSettingWindow::boxText(int index) const {
    if (index < 0 || index >= kCoinChannels) {
        return {};
    }
    return m_boxes[static_cast<std::size_t>(index)]->text();
}

void CoinSettingWindow::setBoxText(int index, const QString& text) {
    if (index < 0 || index >= kCoinChannels) {
        return;
    }
    m_boxes[static_cast<std::size_t>(index)]->setText(text);
}

void CoinSettingWindow::onBoxTextChanged(int index) {
    QLineEdit* box = m_boxes[static_cast<std::size_t>(index)];
    if (isAllDigits(box->text().toStdString())) {
        return;
    }
    m_services.messages.show(toQString(texts::kJustNumbers), kApplicationTitle, MessageIcon::None);
    box->setText(QStringLiteral("0"));
}

bool CoinSettingWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (int i = 0; i < kCoinChannels; ++i) {
            if (watched == m_boxes[static_cast<std::size_t>(i)]) {
                return onBoxKey(i, static_cast<const QKeyEvent&>(*event));
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Returns true when the key is used up here and must not reach the box.
bool CoinSettingWindow::onBoxKey(int index, const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Right:
        case Qt::Key_Down:
            focusBox((index + 1) % kCoinChannels);
            return true;
        case Qt::Key_Left:
        case Qt::Key_Up:
            focusBox((index + kCoinChannels - 1) % kCoinChannels);
            return true;
        default:
            break;
    }
    // Editing commands (Ctrl+V, Ctrl+Z ...) are no typed characters; what they put in the box
    // goes through the digit check like any other change. Only Ctrl and Ctrl+Shift mark them:
    // Alt and AltGr (Ctrl+Alt on Windows) combinations type characters like any other key.
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
        return false;
    }
    const QString text = key.text();
    if (text.isEmpty() || !text.at(0).isPrint()) {
        return false;  // backspace, delete, tab and other keys without a character
    }
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return true;
        }
    }
    return false;
}

void CoinSettingWindow::focusBox(int index) {
    QLineEdit* box = m_boxes[static_cast<std::size_t>(index)];
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void CoinSettingWindow::setInputsLocked(bool locked) {
    m_save->setEnabled(!locked);
    m_exit->setEnabled(!locked);
    for (QLineEdit* box : m_boxes) {
        box->setReadOnly(locked);
    }
}

void CoinSettingWindow::onSave() {
    if (!m_link->IsOpen()) {
        return;
    }
    setInputsLocked(true);
    std::array<std::string, kCoinChannels> storage;
    BoxTexts views;
    for (std::size_t i = 0; i < storage.size(); ++i) {
        storage[i] = m_boxes[i]->text().toStdString();
        views[i] = storage[i];
    }
    const SaveCheck check = checkBoxes(views);
    switch (check.outcome) {
        case SaveCheck::Outcome::OutOfRange:
            showStatus(StatusColour::Red, texts::kDataError);
            m_services.messages.show(toQString(texts::kExceedRange), kApplicationTitle,
                                     MessageIcon::Exclamation);
            setInputsLocked(false);
            focusBox(check.channelIndex);
            return;
        case SaveCheck::Outcome::AllZero:
            showStatus(StatusColour::Red, texts::kDataError);
            m_services.messages.show(toQString(texts::kUnavailableSetting), kApplicationTitle,
                                     MessageIcon::Exclamation);
            setInputsLocked(false);
            focusBox(0);
            return;
        case SaveCheck::Outcome::Send:
            // Stays locked until the save timer, whatever the hopper answers meanwhile.
            m_protocol.SendSettings(check.values);
            m_recorder.saveSent(check.values);
            return;
    }
}

void CoinSettingWindow::onManual() {
    const QString path = m_services.folder.filePath(toQString(texts::kManualFile));
    const QString errorTitle = toQString(texts::kErrorTitle);
    const QFileInfo info(path);
    if (!info.exists()) {
        m_services.messages.show(toQString(texts::kFileMissing), errorTitle, MessageIcon::Critical);
        return;
    }
    // A file that is there but cannot be read (locked, no permission, a folder or pipe by that
    // name) is the file access error: the technician is told and this window closes. Only a
    // regular file is opened: opening a pipe nobody writes to would never return.
    QFile probe(path);
    if (!info.isFile() || !probe.open(QIODevice::ReadOnly)) {
        m_services.messages.show(toQString(texts::kManualLocked), errorTitle,
                                 MessageIcon::Critical);
        close();
        return;
    }
    probe.close();
    m_host.open(WindowKind::Manual);
}

void CoinSettingWindow::onCloseKey() {
    m_link->Close();
    close();
}

void CoinSettingWindow::closeEvent(QCloseEvent* event) {
    m_recorder.finish("the window closed");
    m_line->stopTimeouts();
    m_link->Close();
    m_host.showLauncher();
    // Unload: whatever the link holds is remembered, also the number of a port that failed.
    m_services.settings.setValue(QString::fromLatin1(keys::kComPort),
                                 QString::number(m_link->PortNumber()));
    event->accept();
}

// CoinSettingView

void CoinSettingWindow::showStatus(StatusColour colour, std::string_view text) {
    if (m_line->feeding()) {
        m_heldStatus = HeldStatus{colour, toQString(text)};
        return;
    }
    applyStatus(colour, toQString(text));
}

void CoinSettingWindow::applyStatus(StatusColour colour, const QString& text) {
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText, colour == StatusColour::Blue ? kBlue : kRed);
    m_status->setPalette(palette);
    m_status->setText(text);
}

void CoinSettingWindow::setChannelText(int channelIndex, std::string_view text) {
    if (m_line->feeding() && channelIndex >= 0 && channelIndex < kCoinChannels) {
        m_heldTexts[static_cast<std::size_t>(channelIndex)] = toQString(text);
        return;
    }
    setBoxText(channelIndex, toQString(text));
}

void CoinSettingWindow::showHeld() {
    // Boxes first, then the status line: the order the hopper's block reads in. Accessibility
    // events follow each change as usual, now after the answer has gone out.
    for (int i = 0; i < kCoinChannels; ++i) {
        if (auto& held = m_heldTexts[static_cast<std::size_t>(i)]) {
            setBoxText(i, *held);
            held.reset();
        }
    }
    if (m_heldStatus) {
        const HeldStatus status = *std::exchange(m_heldStatus, std::nullopt);
        applyStatus(status.colour, status.text);
    }
}

void CoinSettingWindow::unlockInputs() {
    setInputsLocked(false);
}

void CoinSettingWindow::showReceiveError(std::string_view message) {
    // The box runs its own event loop, in which the block timer can expire again (a hopper
    // that keeps cutting its block short); one box open at a time is enough to tell.
    if (m_receiveErrorOpen) {
        return;
    }
    m_receiveErrorOpen = true;
    const QPointer<CoinSettingWindow> alive(this);
    m_services.messages.show(toQString(message), kApplicationTitle, MessageIcon::Exclamation);
    if (alive) {
        m_receiveErrorOpen = false;
    }
}

}  // namespace pellix
