#include "cny/cnytesterwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "app/windowhost.h"
#include "cny/cnylogmodel.h"
#include "cny/cnylogview.h"
#include "common/settingskeys.h"
#include "common/text.h"
#include "platform/services.h"
#include "platform/twips.h"
#include "serial/lockedcombobox.h"
#include "serial/seriallink.h"

namespace pellix {
namespace {

constexpr int kPorts = 12;
constexpr int kDialogFontPoints = 8;
// The hidden list only ever helped when debugging a line; the newest bytes are enough.
constexpr int kReceivedBytesBound = 4096;
constexpr std::array<int, cny::kCommands> kCommandTops = {240, 840, 1440, 2040, 2640};

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The command captions are longer than their buttons are wide; like the buttons they replace
// they wrap onto a second line instead of being cut off. text() stays the caption.
class WrappingButton final : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                             option.palette, isEnabled(), caption, QPalette::ButtonText);
    }
};

QLabel* label(QWidget* parent, const char* name, std::string_view text, QRect rect) {
    auto* l = new QLabel(qs(text), parent);
    l->setObjectName(QLatin1String(name));
    l->setAccessibleName(l->text());
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(rect);
    return l;
}

QLineEdit* textBox(QWidget* parent, const char* name, const QLabel* namedBy, QRect rect) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(namedBy->text());
    box->setGeometry(rect);
    return box;
}

// Drop-down lists keep their natural height; only their place and width come from the layout.
LockedComboBox* chooser(QWidget* parent, Clipboard& clipboard, const char* name,
                        std::string_view accessibleName, int left, int top, int width) {
    auto* combo = new LockedComboBox(clipboard, parent);
    combo->setObjectName(QLatin1String(name));
    combo->setAccessibleName(qs(accessibleName));
    combo->setGeometry(twips(left), twips(top), twips(width), combo->sizeHint().height());
    return combo;
}

QString askSavePathWithDialog(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, qs(cny::kSaveLogDialogTitle), QString(),
                                        qs(cny::kCsvFilter));
}

}  // namespace

CnyTesterWindow::CnyTesterWindow(Services& services, WindowHost& host, CnyState& state,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_services(services),
      m_host(host),
      m_state(state),
      m_askSavePath(askSavePathWithDialog) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(qs(cny::kWindowTitle));
    setWindowIcon(QIcon(services.folder.filePath(QStringLiteral("\\pellix.ico"))));
    // The layout was drawn for an 8-point dialog font; larger defaults cut the captions off.
    QFont dialogFont = font();
    dialogFont.setPointSize(kDialogFontPoints);
    setFont(dialogFont);

    m_link = new SerialLink(services, SerialLinkPolicy{}, this);
    m_link->setObjectName(QStringLiteral("MSComm1"));

    for (int i = 0; i < cny::kCommands; ++i) {
        const QString caption = qs(cny::kCommandCaptions[static_cast<std::size_t>(i)]);
        auto* button = new WrappingButton(caption, this);
        button->setObjectName(QStringLiteral("Command1_%1").arg(i));
        button->setAccessibleName(caption);
        button->setGeometry(twipsRect(120, kCommandTops[static_cast<std::size_t>(i)], 1215, 495));
        connect(button, &QPushButton::clicked, this, [this, i] { onCommand(i); });
        m_commands[static_cast<std::size_t>(i)] = button;
    }

    label(this, "Label4", cny::kAddressLabel, twipsRect(1560, 270, 1095, 255));
    m_address = chooser(this, services.clipboard, "Combo1", cny::kAddressLabel, 2760, 240, 1215);
    for (std::string_view entry : cny::kAddressEntries) {
        m_address->addItem(qs(entry));
    }
    // Shows the first address without choosing it; sending chooses it then.
    m_address->setPlaceholderText(qs(cny::kAddressEntries[0]));
    m_address->setCurrentIndex(-1);
    connect(m_address, &QComboBox::activated, this, [this] { m_services.clipboard.clear(); });

    const QLabel* payoutLabel =
        label(this, "Label3", cny::kPayoutLabel, twipsRect(1560, 840, 1095, 255));
    m_payout = textBox(this, "Text1", payoutLabel, twipsRect(2760, 720, 1215, 495));
    const QLabel* statusLabel =
        label(this, "Label1", cny::kStatusLabel, twipsRect(1560, 1440, 615, 255));
    m_status = textBox(this, "Text2", statusLabel, twipsRect(2760, 1320, 1215, 495));
    m_status->setEnabled(false);
    const QLabel* remainLabel =
        label(this, "Label2", cny::kRemainCoinLabel, twipsRect(1560, 2040, 1095, 255));
    m_remainCoin = textBox(this, "Text3", remainLabel, twipsRect(2760, 1920, 1215, 495));
    m_remainCoin->setEnabled(false);

    auto* closeButton = new QPushButton(qs(cny::kCloseCaption), this);
    closeButton->setObjectName(QStringLiteral("Command5"));
    closeButton->setAccessibleName(qs(cny::kCloseCaption).remove(QLatin1Char('&')));
    closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    closeButton->setGeometry(twipsRect(360, 3240, 735, 495));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    m_ports = chooser(this, services.clipboard, "Combo2", cny::kPortChooserName, 1440, 3360, 975);
    fillPortChooser(*m_ports, *m_link, kPorts);
    connect(m_ports, &QComboBox::activated, this, &CnyTesterWindow::onPortPicked);

    m_speeds =
        chooser(this, services.clipboard, "Combo3", cny::kSpeedChooserName, 2520, 3360, 1455);
    for (std::string_view entry : cny::kSpeedEntries) {
        m_speeds->addItem(qs(entry));
    }
    connect(m_speeds, &QComboBox::activated, this, &CnyTesterWindow::onSpeedPicked);

    m_logModel = new CnyLogModel(this);
    m_log = new CnyLogView(*m_logModel, this);
    m_log->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_log->setAccessibleName(qs(cny::kLogName));
    m_log->setGeometry(twipsRect(4080, 240, 7335, 3375));
    connect(m_log, &CnyLogView::clearRequested, this, &CnyTesterWindow::InitLogGrid);
    m_saveLog = new QAction(qs(cny::kSaveLogAction), m_log);
    m_saveLog->setObjectName(QStringLiteral("SaveLogAsCsv"));
    m_log->addAction(m_saveLog);
    connect(m_saveLog, &QAction::triggered, this, &CnyTesterWindow::onSaveLog);
    m_log->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_log, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(m_log);
        menu.addAction(m_saveLog);
        menu.exec(m_log->viewport()->mapToGlobal(at));
    });

    m_received = new QListWidget(this);
    m_received->setObjectName(QStringLiteral("List1"));
    m_received->setAccessibleName(qs(cny::kReceivedBytesName));
    m_received->setGeometry(twipsRect(2880, 3840, 2655, 2400));
    m_received->hide();

    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(false);
    m_linkPanel = new QLabel(statusBar);
    m_linkPanel->setObjectName(QStringLiteral("StatusBar1_Panel1"));
    m_linkPanel->setAccessibleName(qs(cny::kLinkPanelName));
    m_speedPanel = new QLabel(statusBar);
    m_speedPanel->setObjectName(QStringLiteral("StatusBar1_Panel2"));
    m_speedPanel->setAccessibleName(qs(cny::kSpeedPanelName));
    statusBar->addWidget(m_linkPanel, 1);
    statusBar->addWidget(m_speedPanel, 1);
    statusBar->setGeometry(twipsRect(0, 3900, 11565, 375));
    setFixedSize(twipsSize(11565, 4275));

    connect(m_link, &SerialLink::panelTextChanged, m_linkPanel, &QLabel::setText);
    connect(m_link, &SerialLink::portLost, this, [this] { setCommandsEnabled(false); });
    connect(m_link, &SerialLink::byteReceived, this,
            [this](std::uint8_t byte) { m_state.assembler.feed(byte, *this); });

    // Load.
    setCommandsEnabled(false);
    m_speeds->setCurrentIndex(0);
    onSpeedPicked(0);
    m_linkPanel->setText(kPanelClosed);
    m_link->Configure(qs(cny::kSpeedSettings[0]), InputMode::Bytes, 1, 1, 1);
    InitLogGrid();
    m_payout->clear();
    m_status->clear();
    m_remainCoin->clear();
}

void CnyTesterWindow::setCommandsEnabled(bool enabled) {
    for (QPushButton* button : m_commands) {
        button->setEnabled(enabled);
    }
}

void CnyTesterWindow::onCommand(int index) {
    if (!m_link->IsOpen()) {
        return;
    }
    if (m_address->currentIndex() < 0) {
        m_address->setCurrentIndex(0);
    }
    const cny::Command command = cny::commandAt(index);
    std::uint8_t count = 0;
    if (cny::takesPayoutCount(command)) {
        const auto read = cny::readPayoutCount(m_payout->text().toStdString());
        if (!read) {
            m_services.messages.show(qs(cny::kCountRange),
                                     QString::fromLatin1(keys::kApplicationTitle),
                                     MessageIcon::Exclamation);
            return;
        }
        count = *read;
    }
    m_state.transmit =
        cny::commandFrame(command, static_cast<std::uint8_t>(m_address->currentIndex()), count);
    // One write per byte, as the hopper's CNY mode has always been driven.
    for (std::uint8_t byte : m_state.transmit) {
        if (!m_link->WriteByte(byte)) {
            return;  // the link reports the lost port itself
        }
    }
    AddLogRow(CnyLogModel::Direction::Tx, m_state.transmit, cny::commandMessage(command));
}

void CnyTesterWindow::portFailed() {
    m_ports->setShownText(qs(cny::kFirstPort));
    setCommandsEnabled(false);
}

void CnyTesterWindow::onPortPicked(int position) {
    switch (m_link->SelectPort(position)) {
        case SelectResult::Opened:
            setCommandsEnabled(true);
            break;
        case SelectResult::PortError:
            portFailed();
            break;
        case SelectResult::OtherError:
            // Ended silently and the panel is left as it was, but the old port is closed by now;
            // buttons that send into a closed port would only mislead.
            setCommandsEnabled(false);
            break;
    }
}

void CnyTesterWindow::onSpeedPicked(int entry) {
    if (entry < 0 || entry >= static_cast<int>(cny::kSpeedEntries.size())) {
        return;
    }
    const bool wasOpen = m_link->IsOpen();
    m_link->Close();
    m_link->setSettings(qs(cny::kSpeedSettings[static_cast<std::size_t>(entry)]));
    m_speedPanel->setText(qs(cny::kSpeedEntries[static_cast<std::size_t>(entry)]));
    if (!wasOpen) {
        return;
    }
    // Reopening the same port can still fail (unplugged meanwhile, taken by another program);
    // it is reported like a failed pick and leaves the link closed.
    switch (m_link->SelectPort(m_link->PortNumber() - 1)) {
        case SelectResult::Opened:
            break;
        case SelectResult::PortError:
            portFailed();
            break;
        case SelectResult::OtherError:
            m_linkPanel->setText(kPanelClosed);
            setCommandsEnabled(false);
            break;
    }
}

void CnyTesterWindow::InitLogGrid() {
    m_logModel->InitLogGrid();
}

void CnyTesterWindow::AddLogRow(CnyLogModel::Direction direction, const cny::Frame& frame,
                                cny::LogMessage message) {
    m_logModel->AddLogRow(direction, frame, message);
    if (m_logModel->scrollsToNewest()) {
        m_log->scrollToNewestSoon();
    }
}

void CnyTesterWindow::onSaveLog() {
    const QString path = m_askSavePath(this);
    if (path.isEmpty()) {
        return;
    }
    // Written beside the target and renamed over it only when complete, so a failed save
    // leaves any earlier file as it was.
    // Unbuffered, so a short write is seen here: the buffered path lets commit() succeed on a
    // truncated file.
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
    } else if (!m_logModel->writeCsv(file)) {
        reason = file.errorString();
        file.cancelWriting();
    } else if (!file.commit()) {
        reason = file.errorString();
    }
    if (!reason.isEmpty()) {
        m_services.messages.show(
            qs(cny::kSaveLogFailed).arg(QDir::toNativeSeparators(path), reason),
            qs(cny::kErrorTitle), MessageIcon::Critical);
    }
}

void CnyTesterWindow::byteListed(std::uint8_t byte) {
    m_received->addItem(QString::fromStdString(hexDigits(byte)));
    if (m_received->count() > kReceivedBytesBound) {
        delete m_received->takeItem(0);
    }
}

void CnyTesterWindow::showStatus(std::string_view text) {
    m_status->setText(qs(text));
}

void CnyTesterWindow::showRemainCoin(std::string_view text) {
    m_remainCoin->setText(qs(text));
}

void CnyTesterWindow::logReply(const cny::Frame& frame, cny::LogMessage message) {
    AddLogRow(CnyLogModel::Direction::Rx, frame, message);
}

void CnyTesterWindow::closeEvent(QCloseEvent* event) {
    m_link->Close();
    m_host.showLauncher();
    event->accept();
}

}  // namespace pellix
