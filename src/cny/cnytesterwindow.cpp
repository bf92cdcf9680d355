#include "cny/cnytesterwindow.h"
#include "platform/qttext.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QTimer>

#include <algorithm>
#include <span>

#include "capture/capture.h"
#include "cny/cnylogmodel.h"
#include "cny/cnylogview.h"
#include "common/settingskeys.h"
#include "common/text.h"
#include "platform/atomicsave.h"
#include "platform/filedialogs.h"
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

constexpr int kPorts = 12;
// The hidden list only ever helped when debugging a line; the newest bytes are enough.
constexpr int kReceivedBytesBound = 4096;
// At most this often new rows are inserted and the grid scrolled.
constexpr int kLogBeatMs = 50;
constexpr std::array<int, cny::kCommands> kCommandTops = {240, 840, 1440, 2040, 2640};

// The command captions are longer than their buttons are wide; like the buttons they replace
// they wrap onto a second line instead of being cut off. text() stays the caption.
class WrappingButton final : public QPushButton {
  public:
    template <typename... Args>
    explicit WrappingButton(Args&&... args) : QPushButton(std::forward<Args>(args)...) {
        // Lets a measuring check know the caption may take more than one line.
        setProperty("wrapsText", true);
    }

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
    QLabel* caption = addCaption(parent, QLatin1String(name), toQString(text), rect);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return caption;
}

QLineEdit* textBox(QWidget* parent, const char* name, QLabel* namedBy, QRect rect) {
    auto* box = addControl<QLineEdit>(parent, QLatin1String(name), namedBy->text(), rect);
    namedBy->setBuddy(box);
    return box;
}

// A box that only shows what the hopper said: uneditable and out of the Tab chain, yet drawn
// in the normal text colour, and with a font small enough for its longest text to show whole
// in the box the layout gives it.
void showOnly(QLineEdit& box, std::span<const std::string_view> texts) {
    box.setEnabled(false);
    QPalette palette = box.palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::Base}) {
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    }
    box.setPalette(palette);
    box.setTextMargins(0, 0, 0, 0);
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.rect();
    option.lineWidth = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box);
    // The line edit keeps two pixels free on either side of its contents.
    const int room =
        box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box).width() - 4;
    QFont font = box.font();
    const auto widest = [&texts](const QFont& f) {
        const QFontMetrics metrics(f);
        int width = 0;
        for (std::string_view text : texts) {
            width = std::max(width, metrics.horizontalAdvance(toQString(text)));
        }
        return width;
    };
    while (widest(font) > room && font.pointSizeF() > 5) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    box.setFont(font);
}

LockedComboBox* chooser(QWidget* parent, Clipboard& clipboard, const char* name,
                        std::string_view accessibleName, int left, int top, int width) {
    auto* combo = new LockedComboBox(clipboard, parent);
    nameControl(*combo, QLatin1String(name), toQString(accessibleName));
    placeDropDown(*combo, twips(left), twips(top), twips(width));
    return combo;
}

}  // namespace

CnyTesterWindow::CnyTesterWindow(Services& services, WindowHost& host, CnyState& state,
                                 Capture* capture)
    : QWidget(nullptr, kFixedToolWindowFlags),
      m_services(services),
      m_host(host),
      m_line(
          new SerialLinePort(services, SerialLinkPolicy{}, cny::kSessionTimeouts, capture, this)),
      m_link(&m_line->link()),
      m_capture(capture),
      m_session(state.assembler, *m_line, m_notes) {
    setUpWindow(*this, QStringLiteral("Form4"), toQString(cny::texts::kWindowTitle),
                services.folder, toQString(cny::texts::kWindowIconFile));
    useDialogFont(*this);

    m_notes.setSink(capture);
    m_line->setEngine(&m_session);

    buildControls();
    wireControls();
    load();
}

void CnyTesterWindow::buildControls() {
    for (int i = 0; i < cny::kCommands; ++i) {
        const QString caption =
            toQString(cny::texts::kCommandCaptions[static_cast<std::size_t>(i)]);
        m_commands[static_cast<std::size_t>(i)] = addButton<WrappingButton>(
            this, QStringLiteral("Command1_%1").arg(i), caption,
            twipsRect(120, kCommandTops[static_cast<std::size_t>(i)], 1215, 495));
    }

    QLabel* addressLabel =
        label(this, "Label4", cny::texts::kAddressLabel, twipsRect(1560, 270, 1095, 255));
    m_address =
        chooser(this, m_services.clipboard, "Combo1", cny::texts::kAddressLabel, 2760, 240, 1215);
    addressLabel->setBuddy(m_address);
    for (std::string_view entry : cny::texts::kAddressEntries) {
        m_address->addItem(toQString(entry));
    }
    // Shows the first address without choosing it; sending chooses it then.
    m_address->setPlaceholderText(toQString(cny::texts::kAddressEntries[0]));
    m_address->setCurrentIndex(-1);

    QLabel* payoutLabel =
        label(this, "Label3", cny::texts::kPayoutLabel, twipsRect(1560, 840, 1095, 255));
    m_payout = textBox(this, "Text1", payoutLabel, twipsRect(2760, 720, 1215, 495));
    QLabel* statusLabel =
        label(this, "Label1", cny::texts::kStatusLabel, twipsRect(1560, 1440, 615, 255));
    m_status = textBox(this, "Text2", statusLabel, twipsRect(2760, 1320, 1215, 495));
    showOnly(*m_status, cny::texts::kStatusTexts);
    QLabel* remainLabel =
        label(this, "Label2", cny::texts::kRemainCoinLabel, twipsRect(1560, 2040, 1095, 255));
    m_remainCoin = textBox(this, "Text3", remainLabel, twipsRect(2760, 1920, 1215, 495));
    // Numbers up to 65535 or the payout-finished text.
    constexpr std::array<std::string_view, 2> kRemainCoinTexts{"65535",
                                                               cny::texts::kPayoutFinished};
    showOnly(*m_remainCoin, kRemainCoinTexts);

    m_close = addButton(this, QStringLiteral("Command5"), toQString(cny::texts::kCloseCaption),
                        twipsRect(360, 3240, 735, 495));
    m_close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

    m_ports = chooser(this, m_services.clipboard, "Combo2", cny::texts::kPortChooserName, 1440,
                      3360, 975);
    fillPortChooser(*m_ports, *m_link, kPorts);

    m_speeds = chooser(this, m_services.clipboard, "Combo3", cny::texts::kSpeedChooserName, 2520,
                       3360, 1455);
    for (std::string_view entry : cny::texts::kSpeedEntries) {
        m_speeds->addItem(toQString(entry));
    }

    m_logModel = new CnyLogModel(this);
    m_log =
        addControl<CnyLogView>(this, QStringLiteral("MSFlexGrid1"), toQString(cny::texts::kLogName),
                               twipsRect(4080, 240, 7335, 3375), *m_logModel);
    m_logBeat = new QTimer(this);
    m_logBeat->setObjectName(QStringLiteral("LogBeat"));
    m_logBeat->setInterval(kLogBeatMs);
    m_saveLog = new QAction(toQString(cny::texts::kSaveLogAction), m_log);
    m_saveLog->setObjectName(QStringLiteral("SaveLogAsCsv"));
    m_log->addAction(m_saveLog);
    m_log->setContextMenuPolicy(Qt::CustomContextMenu);

    m_received = addControl<QListWidget>(this, QStringLiteral("List1"),
                                         toQString(cny::texts::kReceivedBytesName),
                                         twipsRect(2880, 3840, 2655, 2400));
    m_received->hide();

    QStatusBar* statusBar = addStatusBar(this);
    m_linkPanel = addStatusPanel(statusBar, 1, toQString(cny::texts::kLinkPanelName));
    m_speedPanel = addStatusPanel(statusBar, 2, toQString(cny::texts::kSpeedPanelName));
    // The bar has the height the layout gives it, not its natural one.
    fixSizeWithStatusBar(*this, *statusBar, twipsSize(11565, 3900), 0, twips(375));
}

void CnyTesterWindow::wireControls() {
    for (int i = 0; i < cny::kCommands; ++i) {
        connect(m_commands[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { onCommand(i); });
    }
    connect(m_address, &QComboBox::activated, this, [this] { m_services.clipboard.clear(); });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ports, &QComboBox::activated, this, &CnyTesterWindow::onPortPicked);
    connect(m_speeds, &QComboBox::activated, this, &CnyTesterWindow::onSpeedPicked);
    connect(m_log, &CnyLogView::clearRequested, this, &CnyTesterWindow::InitLogGrid);
    connect(m_logBeat, &QTimer::timeout, this, &CnyTesterWindow::onLogBeat);
    connect(m_saveLog, &QAction::triggered, this, &CnyTesterWindow::onSaveLog);
    connect(m_log, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(m_log);
        menu.addAction(m_saveLog);
        menu.exec(m_log->viewport()->mapToGlobal(at));
    });
    connect(m_link, &SerialLink::panelTextChanged, m_linkPanel, &QLabel::setText);
    connect(m_link, &SerialLink::portLost, this, [this] { setCommandsEnabled(false); });
    connect(m_link, &SerialLink::portReopened, this, [this] { setCommandsEnabled(true); });
}

void CnyTesterWindow::load() {
    setCommandsEnabled(false);
    m_speeds->setCurrentIndex(0);
    onSpeedPicked(0);
    m_linkPanel->setText(toQString(serial::texts::kPanelClosed));
    m_link->Configure(cny::kSpeedSettings[0]);
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
    m_session.sendCommand(cny::commandAt(index),
                          static_cast<std::uint8_t>(m_address->currentIndex()),
                          m_payout->text().toStdString());
}

void CnyTesterWindow::portFailed() {
    m_ports->setShownText(toQString(cny::texts::kFirstPort));
    setCommandsEnabled(false);
}

void CnyTesterWindow::onPortPicked(int position) {
    showPortResult(m_link->SelectPort(position));
}

void CnyTesterWindow::keepRun(records::ServiceRun run) {
    if (m_keepRuns) {
        run.capture = records::captureText(m_capture);
        m_keepRuns(std::move(run));
    }
}

void CnyTesterWindow::showPortResult(SelectResult result) {
    m_recorder.setPort(QStringLiteral("COM%1").arg(m_link->PortNumber()).toStdString(),
                       m_link->IsOpen() ? m_link->openDevice().toStdString() : std::string());
    switch (result) {
        case SelectResult::Opened:
            setCommandsEnabled(true);
            break;
        case SelectResult::PortError:
            portFailed();
            break;
        case SelectResult::OtherError:
            // Ended silently, but the old port is closed by now; buttons that send into a closed
            // port would only mislead.
            setCommandsEnabled(false);
            break;
    }
}

void CnyTesterWindow::onSpeedPicked(int entry) {
    if (entry < 0 || entry >= static_cast<int>(cny::texts::kSpeedEntries.size())) {
        return;
    }
    const auto index = static_cast<std::size_t>(entry);
    m_speedPanel->setText(toQString(cny::texts::kSpeedEntries[index]));
    // Reopening the same port can still fail (unplugged meanwhile, taken by another program);
    // it is reported like a failed pick and leaves the link closed.
    if (const auto reopened = m_link->reopenWith(cny::kSpeedSettings[index])) {
        showPortResult(*reopened);
    }
}

void CnyTesterWindow::InitLogGrid() {
    // Rows still waiting for the beat were logged before the clear; they go with the rest.
    m_waitingRows.clear();
    m_logBeat->stop();  // an empty log is quiet: its next row shows at once
    m_logModel->InitLogGrid();
}

void CnyTesterWindow::AddLogRow(CnyLogModel::Direction direction, const cny::Frame& frame,
                                cny::LogMessage message) {
    m_waitingRows.push_back({direction, frame, message});
    if (!m_logBeat->isActive()) {
        // Quiet until now: show it at once and let the next rows wait for the beat.
        showWaitingRows();
        m_logBeat->start();
    }
}

void CnyTesterWindow::onLogBeat() {
    if (m_waitingRows.empty()) {
        m_logBeat->stop();  // quiet again: the next row shows at once
        return;
    }
    showWaitingRows();
}

void CnyTesterWindow::showWaitingRows() {
    m_logModel->addLogRows(m_waitingRows);
    m_waitingRows.clear();
    if (m_logModel->scrollsToNewest()) {
        m_log->scrollToNewestSoon();
    }
}

void CnyTesterWindow::onSaveLog() {
    // What is saved is what the grid shows once the waiting rows are in.
    showWaitingRows();
    FileDialogs& dialogs = m_services.dialogs;
    const QString path =
        dialogs.saveFileName(toQString(cny::texts::kSaveLogDialogTitle),
                             toQString(cny::texts::kCsvFilter), dialogs.startFolder());
    if (path.isEmpty()) {
        return;
    }
    // Written whole or not at all, so a failed save leaves any earlier file as it was.
    const QString reason = saveFileAtomically(path, m_logModel->csv());
    if (!reason.isEmpty()) {
        m_services.messages.show(
            toQString(cny::texts::kSaveLogFailed).arg(QDir::toNativeSeparators(path), reason),
            toQString(cny::texts::kErrorTitle), MessageIcon::Critical);
    }
}

void CnyTesterWindow::logCommand(const cny::Frame& frame, cny::LogMessage message) {
    AddLogRow(CnyLogModel::Direction::Tx, frame, message);
}

void CnyTesterWindow::showCountRangeError() {
    m_services.messages.show(toQString(cny::texts::kCountRange),
                             QString::fromLatin1(keys::kApplicationTitle),
                             MessageIcon::Exclamation);
}

void CnyTesterWindow::byteListed(std::uint8_t byte) {
    m_received->addItem(QString::fromStdString(hexDigits(byte)));
    if (m_received->count() > kReceivedBytesBound) {
        delete m_received->takeItem(0);
    }
}

void CnyTesterWindow::showStatus(std::string_view text) {
    m_status->setText(toQString(text));
}

void CnyTesterWindow::showRemainCoin(std::string_view text) {
    m_remainCoin->setText(toQString(text));
}

void CnyTesterWindow::logReply(const cny::Frame& frame, cny::LogMessage message) {
    AddLogRow(CnyLogModel::Direction::Rx, frame, message);
}

void CnyTesterWindow::closeEvent(QCloseEvent* event) {
    m_recorder.finish();
    m_link->Close();
    m_host.showLauncher();
    event->accept();
}

}  // namespace pellix
