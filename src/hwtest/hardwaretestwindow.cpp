#include "hwtest/hardwaretestwindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTextLayout>
#include <QValidator>

#include <algorithm>
#include <span>
#include <string>

#include "app/windowhost.h"
#include "common/codepage.h"
#include "hwtest/hwtesttexts.h"
#include "platform/formwidgets.h"
#include "platform/services.h"
#include "platform/twips.h"
#include "serial/lockedcombobox.h"
#include "serial/seriallink.h"

namespace pellix {
namespace hwtest {

// A flash record box. Typing stops at the field's limit, but text the program puts in may run
// longer: a received record is appended to whatever the box holds, and "Write_Flash" then
// names the field that no longer fits.
class LimitedTextBox final : public QLineEdit {
  public:
    LimitedTextBox(int limit, QWidget* parent)
        : QLineEdit(parent), m_limit(new TypingLimit(limit, *this)) {
        setValidator(m_limit);
    }

    void setTextFromProgram(const QString& text) {
        m_limit->m_fromProgram = true;
        setText(text);
        m_limit->m_fromProgram = false;
    }
    void appendFromProgram(const QString& text) { setTextFromProgram(this->text() + text); }

  private:
    // Refuses an edit that leaves the box longer than the limit and longer than before, so
    // the operator can still shorten a text that came in too long.
    class TypingLimit final : public QValidator {
      public:
        TypingLimit(int limit, QLineEdit& box) : QValidator(&box), m_limit(limit) {
            connect(&box, &QLineEdit::textChanged, this,
                    [this](const QString& text) { m_accepted = characters(text); });
        }
        State validate(QString& text, int&) const override {
            const qsizetype length = characters(text);
            return m_fromProgram || length <= m_limit || length <= m_accepted ? Acceptable
                                                                              : Invalid;
        }
        static qsizetype characters(const QString& text) { return text.toUcs4().size(); }

        int m_limit = 0;
        qsizetype m_accepted = 0;
        bool m_fromProgram = false;
    };

    TypingLimit* m_limit = nullptr;
};

}  // namespace hwtest

namespace {

namespace texts = hwtest::texts;
using hwtest::FlashField;
using hwtest::LimitedTextBox;

constexpr int kPorts = 8;
constexpr int kCaptionFontPoints = 10;
constexpr int kStatusFontPoints = 9;

// Client area and the places the layout is drawn around (twips).
constexpr int kClientWidth = 10695;
constexpr int kClientHeight = 7605;
constexpr int kIdentityBoxLeft = 1035;
constexpr int kCaptionLeft = 120;
constexpr int kLeftColumnRight = 3240;
constexpr int kItemCaptionLeft = 6480;
constexpr int kItemIconLeft = 7800;
constexpr int kItemStatusLeft = 8640;
constexpr int kItemTop = 150;
constexpr int kItemPitch = 570;
constexpr int kIconSize = 480;
// Rows from the top by item index: Prism Sensor (4) sits below Shaft Sensor (5).
constexpr std::array<int, hwtest::kTestItemCount> kItemRow = {0, 1, 2, 3, 5, 4};
constexpr int kPanelLeft = 3420;
constexpr int kPanelRightColumn = 6480;
constexpr int kPanelTop = 3690;
constexpr int kPanelPitch = 600;
constexpr int kPanelBoxOffset = 240;  // a box below its caption
constexpr int kFlashButtonLeft = 9360;
constexpr int kBoxHeight = 330;
constexpr int kCaptionHeight = 195;
constexpr int kButtonHeight = 435;

int textWidth(const QWidget* widget, const QString& text) {
    return widget->fontMetrics().horizontalAdvance(text);
}

QLabel* caption(QWidget* parent, const QString& name, std::string_view text, QRect rect) {
    return addCaption(parent, name, toQString(text), rect);
}

QPushButton* button(QWidget* parent, const QString& name, std::string_view text, QRect rect) {
    return addButton(parent, name, toQString(text), rect);
}

// Paints its caption word-wrapped, one line per step of a list's height, so that a list can
// stand in the blank part of the first line without covering the second. text() stays the
// caption as it is.
class SpacedCaption final : public QLabel {
  public:
    SpacedCaption(const QString& text, int lineStep, QWidget* parent)
        : QLabel(text, parent), m_lineStep(lineStep) {
        setTextFormat(Qt::PlainText);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QTextLayout layout(text(), font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        // Each line is centred in its step, whatever fallback font one of its characters needs.
        qreal top = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width());
            line.setPosition(QPointF(0, top + (m_lineStep - line.height()) / 2));
            top += m_lineStep;
        }
        layout.endLayout();
        QPainter painter(this);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText));
        layout.draw(&painter, QPointF(0, 0));
    }

  private:
    int m_lineStep = 0;
};

// A mode list: the operator may pick an entry or type; typed text is never added to the list.
QComboBox* modeList(QWidget* parent, const QString& name, const QLabel* namedBy,
                    std::span<const std::string_view> entries, std::string_view preload, QPoint at,
                    int width) {
    auto* list = new QComboBox(parent);
    nameControl(*list, name, namedBy->text().simplified());
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    for (std::string_view entry : entries) {
        list->addItem(toQString(entry));
    }
    list->setCurrentIndex(-1);
    list->setEditText(toQString(preload));
    placeDropDown(*list, at.x(), at.y(), width);
    return list;
}

// The entry the list's text names; -1 when the operator typed something that is no entry.
int chosenEntry(const QComboBox* list) {
    const int current = list->currentIndex();
    if (current >= 0 && list->itemText(current) == list->currentText()) {
        return current;
    }
    return list->findText(list->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

}  // namespace

HardwareTestWindow::HardwareTestWindow(Services& services, WindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_host(host) {
    setUpWindow(*this, QStringLiteral("Form5"), toQString(texts::kWindowTitle), services.folder,
                toQString(texts::kWindowIconFile));
    useDialogFont(*this);

    m_link = new SerialLink(services, SerialLinkPolicy{}, this);
    m_link->setObjectName(QStringLiteral("MSComm1"));
    connect(m_link, &SerialLink::byteReceived, this,
            [this](std::uint8_t byte) { m_receiver.feed(byte); });

    buildIdentityAndPort();
    buildDipSwitches();
    buildResults();
    buildFlashPanel();
    buildStatusBar();
    resize(twipsSize(kClientWidth, kClientHeight));
    placeStatusBar();

    load();
}

HardwareTestWindow::~HardwareTestWindow() = default;

void HardwareTestWindow::buildIdentityAndPort() {
    const QFont captionFont = pointFont(*this, kCaptionFontPoints);
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
    placeCaptionBeside(*software, twips(kCaptionLeft), m_software->geometry());
    placeCaptionBeside(*checksum, twips(kCaptionLeft), m_checksum->geometry());

    m_ports = new LockedComboBox(m_services.clipboard, this);
    nameControl(*m_ports, QStringLiteral("Combo1"), port->text());
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
    const QPixmap hopper(m_services.folder.filePath(toQString(texts::kHopperPictureFile)));
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

void HardwareTestWindow::buildResults() {
    const QFont captionFont = pointFont(*this, kCaptionFontPoints);
    const QFont statusFont = pointFont(*this, kStatusFontPoints);
    std::array<QLabel*, hwtest::kTestItemCount> captions{};
    for (int i = 0; i < hwtest::kTestItemCount; ++i) {
        auto* label = caption(this, QStringLiteral("Label3_%1").arg(i),
                              texts::kTestItemCaptions[static_cast<std::size_t>(i)], QRect());
        label->setFont(captionFont);
        captions[static_cast<std::size_t>(i)] = label;
    }
    // Icons and status captions stand where designed unless the captions run wider.
    const int iconLeft =
        columnBesideCaptions(captions, twips(kItemCaptionLeft), twips(kItemIconLeft));
    const int statusLeft =
        std::max(twips(kItemStatusLeft), iconLeft + twips(kIconSize) + kCaptionGapPixels);
    for (int i = 0; i < hwtest::kTestItemCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const int top = twips(kItemTop + kItemRow[slot] * kItemPitch);
        // Spoken names come with the light each picture shows.
        auto* picture =
            addControl<QLabel>(this, QStringLiteral("Picture1_%1").arg(i), QString(),
                               QRect(iconLeft, top, twips(kIconSize), twips(kIconSize)));
        picture->setScaledContents(true);
        m_pictures[slot] = picture;
        placeCaptionBeside(*captions[slot], twips(kItemCaptionLeft), picture->geometry());

        auto* status = caption(this, QStringLiteral("Label5_%1").arg(i), texts::kUnknownCaption,
                               QRect(statusLeft, top, twips(1200), twips(kIconSize)));
        status->setFont(statusFont);
        status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        status->setAccessibleName(captions[slot]->text());
        m_statuses[slot] = status;
    }
}

void HardwareTestWindow::buildFlashPanel() {
    const auto fieldCaption = [this](const char* name, std::string_view text, int left, int row) {
        return caption(this, QString::fromLatin1(name), text,
                       twipsRect(left, kPanelTop + row * kPanelPitch, 2850, kCaptionHeight));
    };
    const auto box = [this](const char* name, const QLabel* namedBy, int limit, int left, int row,
                            int width) {
        return addControl<LimitedTextBox>(
            this, QString::fromLatin1(name), namedBy->text(),
            twipsRect(left, kPanelTop + row * kPanelPitch + kPanelBoxOffset, width, kBoxHeight),
            limit);
    };
    const auto limitOf = [](FlashField field) {
        return static_cast<int>(hwtest::FlashRecord::layoutOf(field).length);
    };
    const int serialLimit = static_cast<int>(hwtest::FlashRecord::kSerialDigits);

    // Left column: the long texts.
    auto* softwareLabel = fieldCaption("Label9", texts::kSoftwareVersionLabel, kPanelLeft, 0);
    m_softwareVersion =
        box("Text3", softwareLabel, limitOf(FlashField::SoftwareVersion), kPanelLeft, 0, 2850);
    auto* productLabel = fieldCaption("Label10", texts::kProductCodeLabel, kPanelLeft, 1);
    m_productCode =
        box("Text4", productLabel, limitOf(FlashField::ProductCode), kPanelLeft, 1, 2850);
    auto* makerLabel = fieldCaption("Label11", texts::kManufacturerIdLabel, kPanelLeft, 2);
    m_manufacturerId =
        box("Text5", makerLabel, limitOf(FlashField::ManufacturerId), kPanelLeft, 2, 2850);
    auto* buildLabel = fieldCaption("Label16", texts::kBuildCodeLabel, kPanelLeft, 3);
    m_buildCode = box("Text7", buildLabel, limitOf(FlashField::BuildCode), kPanelLeft, 3, 2850);

    // Right column: the short texts and two of the mode lists.
    constexpr int kCoinLeft = 7920;
    auto* serialLabel = fieldCaption("Label12", texts::kSerialNumberLabel, kPanelRightColumn, 0);
    serialLabel->resize(twips(kCoinLeft - kPanelRightColumn), serialLabel->height());
    m_serialNumber = box("Text6", serialLabel, serialLimit, kPanelRightColumn, 0, 1335);
    auto* coinLabel = fieldCaption("Label18", texts::kHopperCoinLabel, kCoinLeft, 0);
    coinLabel->resize(twips(kFlashButtonLeft - 120 - kCoinLeft), coinLabel->height());
    m_hopperCoin = box("Text9", coinLabel, limitOf(FlashField::HopperCoin), kCoinLeft, 0, 1320);
    auto* categoryLabel = fieldCaption("Label17", texts::kCategoryIdLabel, kPanelRightColumn, 1);
    m_categoryId =
        box("Text8", categoryLabel, limitOf(FlashField::CategoryId), kPanelRightColumn, 1, 1500);
    auto* companyLabel = fieldCaption("Label13", texts::kCompanyModeLabel, kPanelRightColumn, 2);
    m_companyMode = modeList(this, QStringLiteral("Combo2"), companyLabel,
                             texts::kCompanyModeEntries, texts::kCompanyModePreload,
                             QPoint(twips(kPanelRightColumn),
                                    twips(kPanelTop + 2 * kPanelPitch) + twips(kPanelBoxOffset)),
                             twips(2400));
    auto* addressLabel = fieldCaption("Label14", texts::kAddressModeLabel, kPanelRightColumn, 3);
    m_addressMode = modeList(this, QStringLiteral("Combo3"), addressLabel,
                             texts::kAddressModeEntries, texts::kAddressModePreload,
                             QPoint(twips(kPanelRightColumn),
                                    twips(kPanelTop + 3 * kPanelPitch) + twips(kPanelBoxOffset)),
                             twips(2400));

    // Across the bottom: the encryption mode caption, wrapped onto two lines, with its list in
    // the blank part of the first line.
    const QString encryptionText = toQString(texts::kEncryptionModeLabel);
    const qsizetype blanksAt = encryptionText.indexOf(QStringLiteral("  "));
    const qsizetype standardAt = encryptionText.indexOf(QLatin1Char('('));
    const int lineStep = m_companyMode->height() + 2;
    auto* encryptionLabel = new SpacedCaption(encryptionText, lineStep, this);
    encryptionLabel->setObjectName(QStringLiteral("Label15"));
    encryptionLabel->setAccessibleName(encryptionText.simplified());
    const int headWidth = textWidth(encryptionLabel, encryptionText.left(blanksAt));
    const int standardWidth = textWidth(encryptionLabel, encryptionText.mid(standardAt));
    const int encryptionTop = twips(kPanelTop + 4 * kPanelPitch + 60);
    encryptionLabel->setGeometry(twips(kPanelLeft), encryptionTop,
                                 standardWidth + kCaptionGapPixels, 2 * lineStep);
    const int listLeft = twips(kPanelLeft) + headWidth + 2 * kCaptionGapPixels;
    m_encryptionMode =
        modeList(this, QStringLiteral("Combo4"), encryptionLabel, texts::kEncryptionModeEntries,
                 texts::kEncryptionModePreload,
                 QPoint(listLeft, encryptionTop + (lineStep - m_companyMode->height()) / 2),
                 encryptionLabel->geometry().right() + 1 - listLeft);

    auto* write = button(this, QStringLiteral("Command3"), texts::kWriteFlashButton,
                         twipsRect(kFlashButtonLeft, 3870, 1215, kButtonHeight));
    auto* read = button(this, QStringLiteral("Command4"), texts::kReadFlashButton,
                        twipsRect(kFlashButtonLeft, 3870 + kPanelPitch, 1215, kButtonHeight));
    auto* clear = button(this, QStringLiteral("Command5"), texts::kClearDataButton,
                         twipsRect(kFlashButtonLeft, 3870 + 2 * kPanelPitch, 1215, kButtonHeight));
    connect(write, &QPushButton::clicked, this, &HardwareTestWindow::onWriteFlash);
    connect(read, &QPushButton::clicked, this, &HardwareTestWindow::onReadFlash);
    connect(clear, &QPushButton::clicked, this, &HardwareTestWindow::onClearData);

    // Keyboard order follows the reading order rather than the order of creation.
    const std::vector<QWidget*> tabOrder = {m_softwareVersion,
                                            m_productCode,
                                            m_manufacturerId,
                                            m_buildCode,
                                            m_serialNumber,
                                            m_hopperCoin,
                                            m_categoryId,
                                            m_companyMode,
                                            m_addressMode,
                                            m_encryptionMode,
                                            write,
                                            read,
                                            clear};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    m_flashShowOrder = {softwareLabel,
                        productLabel,
                        makerLabel,
                        serialLabel,
                        m_softwareVersion,
                        m_productCode,
                        m_manufacturerId,
                        m_serialNumber,
                        write,
                        read,
                        clear,
                        m_companyMode,
                        m_addressMode,
                        m_encryptionMode,
                        companyLabel,
                        addressLabel,
                        encryptionLabel,
                        buildLabel,
                        categoryLabel,
                        coinLabel,
                        m_buildCode,
                        m_categoryId,
                        m_hopperCoin};
    m_flashHideOrder = {softwareLabel, productLabel,     makerLabel,      serialLabel,
                        companyLabel,  addressLabel,     encryptionLabel, m_softwareVersion,
                        m_productCode, m_manufacturerId, m_serialNumber,  m_companyMode,
                        m_addressMode, m_encryptionMode, write,           read,
                        clear,         buildLabel,       categoryLabel,   coinLabel,
                        m_buildCode,   m_categoryId,     m_hopperCoin};
    for (QWidget* widget : m_flashShowOrder) {
        widget->hide();
    }
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
    m_panel->setText(kPanelClosed);
    m_link->Configure(QStringLiteral("9600,E,8,1"), InputMode::Bytes, 1, 1, 0);
    // Loading the coin number setting window, when it is not loaded yet, makes it open its
    // remembered port in the background.
    if (QWidget* coinSetting = m_host.load(WindowKind::CoinSetting)) {
        coinSetting->setWindowIcon(
            QIcon(m_services.folder.filePath(toQString(texts::kCoinSettingIconFile))));
    }
    m_receiver.resetReceiver();
    m_companyMode->setCurrentIndex(0);
    m_addressMode->setCurrentIndex(0);
    m_encryptionMode->setCurrentIndex(0);
    for (int i = 0; i < hwtest::kTestItemCount; ++i) {
        showLight(i, Light::NotTested);
    }
}

void HardwareTestWindow::onPortPicked(int position) {
    // No remembered port here: a failed pick goes back to the first entry, port closed.
    if (m_link->SelectPort(position) == SelectResult::PortError) {
        m_ports->setShownText(toQString(texts::kFirstPort));
    }
}

void HardwareTestWindow::onReset() {
    // Ready for the next hopper: its header is read afresh and its software text starts empty.
    m_receiver.resetReceiver();
    m_receiver.clearSoftwareText();
    hideFlashPanel();
    m_software->clear();
    m_checksum->clear();
    for (int i = 0; i < hwtest::kTestItemCount; ++i) {
        showLight(i, Light::NotTested);
    }
}

void HardwareTestWindow::onDipFinish() {
    for (QSlider* slider : m_switches) {
        slider->setEnabled(false);
    }
    if (!portOpenOrSay()) {
        return;
    }
    m_receiver.sendDipFinished();
    showFlashPanel();
}

void HardwareTestWindow::onReadFlash() {
    if (!portOpenOrSay()) {
        return;  // the boxes keep what they hold: nothing would come to replace it
    }
    onClearData();
    m_receiver.sendReadFlashRequest();
}

void HardwareTestWindow::onClearData() {
    for (LimitedTextBox* box : {m_softwareVersion, m_productCode, m_manufacturerId, m_serialNumber,
                                m_buildCode, m_categoryId, m_hopperCoin}) {
        box->clear();
    }
}

void HardwareTestWindow::onWriteFlash() {
    if (!portOpenOrSay()) {
        return;
    }
    for (const hwtest::FieldMessage& message : m_receiver.writeFlash(recordFromBoxes())) {
        say(message.text);
    }
}

hwtest::FlashRecord HardwareTestWindow::recordFromBoxes() const {
    hwtest::FlashRecord record;
    record.softwareVersion = m_softwareVersion->text().toStdString();
    record.productCode = m_productCode->text().toStdString();
    record.manufacturerId = m_manufacturerId->text().toStdString();
    record.serialNumber = m_serialNumber->text().toStdString();
    record.companyMode = chosenEntry(m_companyMode);
    record.addressMode = chosenEntry(m_addressMode);
    record.encryptionMode = chosenEntry(m_encryptionMode);
    record.buildCode = m_buildCode->text().toStdString();
    record.categoryId = m_categoryId->text().toStdString();
    record.hopperCoin = m_hopperCoin->text().toStdString();
    return record;
}

void HardwareTestWindow::showFlashPanel() {
    for (QWidget* widget : m_flashShowOrder) {
        widget->show();
    }
}

void HardwareTestWindow::hideFlashPanel() {
    for (QSlider* slider : m_switches) {
        slider->setEnabled(true);
    }
    for (QWidget* widget : m_flashHideOrder) {
        widget->hide();
    }
}

void HardwareTestWindow::showLight(int itemIndex, Light light) {
    struct Look {
        std::string_view iconFile;
        std::string_view caption;
        std::string_view spoken;
    };
    Look look{};
    switch (light) {
        case Light::Pass:
            look = {texts::kPassIconFile, texts::kPassCaption, texts::kPassSpoken};
            break;
        case Light::Fail:
            look = {texts::kFailIconFile, texts::kFailCaption, texts::kFailSpoken};
            break;
        case Light::Undetermined:
            look = {texts::kUndeterminedIconFile, texts::kUnknownCaption,
                    texts::kUndeterminedSpoken};
            break;
        case Light::NotTested:
            look = {texts::kNotTestedIconFile, texts::kUnknownCaption, texts::kNotTestedSpoken};
            break;
    }
    const auto slot = static_cast<std::size_t>(itemIndex);
    QLabel* picture = m_pictures[slot];
    // Read every time, as the icons may be replaced beside the program; a missing or
    // unreadable file leaves the picture empty.
    const QPixmap icon(m_services.folder.filePath(toQString(look.iconFile)));
    if (icon.isNull()) {
        picture->clear();
    } else {
        picture->setPixmap(icon);
    }
    const QString spoken =
        toQString(texts::kTestItemCaptions[slot]) + QStringLiteral(": ") + toQString(look.spoken);
    picture->setAccessibleName(spoken);
    picture->setToolTip(spoken);
    m_statuses[slot]->setText(toQString(look.caption));
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

LimitedTextBox* HardwareTestWindow::boxFor(FlashField field) const {
    switch (field) {
        case FlashField::SoftwareVersion:
            return m_softwareVersion;
        case FlashField::ProductCode:
            return m_productCode;
        case FlashField::ManufacturerId:
            return m_manufacturerId;
        case FlashField::SerialNumber:
            return m_serialNumber;
        case FlashField::BuildCode:
            return m_buildCode;
        case FlashField::CategoryId:
            return m_categoryId;
        case FlashField::HopperCoin:
            return m_hopperCoin;
        case FlashField::CompanyMode:
        case FlashField::AddressMode:
        case FlashField::EncryptionMode:
            break;
    }
    return nullptr;  // the mode bytes of a received record are not shown
}

void HardwareTestWindow::firstChecksumByte(std::uint8_t byte) {
    m_checksum->setText(QString::fromStdString(hwtest::checksumFirstText(byte)));
}

void HardwareTestWindow::secondChecksumByte(std::uint8_t byte) {
    m_checksum->setText(
        QString::fromStdString(hwtest::checksumSecondText(m_checksum->text().toStdString(), byte)));
}

void HardwareTestWindow::versionCharacter(std::uint8_t byte) {
    std::string character;
    appendWindows1252(character, byte);
    m_software->setText(m_software->text() + QString::fromStdString(character));
}

void HardwareTestWindow::firmwareVariantDecided(hwtest::FirmwareVariant) {
    // The variant only steers the receiver through the rest of the stream; nothing shows it.
}

void HardwareTestWindow::showDipSwitchState(std::uint8_t byte) {
    const std::array<std::uint8_t, 4> values = hwtest::dipSwitchValues(byte);
    for (std::size_t i = 0; i < values.size(); ++i) {
        m_switches[i]->setValue(values[i]);
    }
}

void HardwareTestWindow::setResult(hwtest::TestItem item, hwtest::TestResult result) {
    Light light = Light::Undetermined;
    switch (result) {
        case hwtest::TestResult::Pass:
            light = Light::Pass;
            break;
        case hwtest::TestResult::Fail:
            light = Light::Fail;
            break;
        case hwtest::TestResult::Undetermined:
            light = Light::Undetermined;
            break;
    }
    showLight(static_cast<int>(item), light);
}

void HardwareTestWindow::recordTextByte(FlashField field, std::uint8_t byte) {
    if (LimitedTextBox* box = boxFor(field)) {
        std::string character;
        appendWindows1252(character, byte);
        box->appendFromProgram(QString::fromStdString(character));
    }
}

void HardwareTestWindow::showSerialNumber(std::string_view text) {
    m_serialNumber->setTextFromProgram(toQString(text));
}

void HardwareTestWindow::sendByte(std::uint8_t byte) {
    // One write per byte, also within the 106 bytes of a flash write. A lost port is reported
    // by the link itself; the remaining bytes then find it closed and go nowhere.
    m_link->WriteByte(byte);
}

void HardwareTestWindow::closeEvent(QCloseEvent* event) {
    m_link->Close();
    m_host.showLauncher();
    event->accept();
}

}  // namespace pellix
