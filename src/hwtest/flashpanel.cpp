#include "hwtest/flashpanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>
#include <QValidator>

#include <span>
#include <string_view>

#include "hwtest/hwtestlayout.h"
#include "hwtest/hwtesttexts.h"
#include "widgets/formwidgets.h"
#include "widgets/twips.h"

namespace pellix::hwtest {

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
    // Stops at the box's maximum length: a full box is left as it is rather than set again.
    void appendFromProgram(const QString& text) {
        if (room() > 0) {
            setTextFromProgram(this->text() + text.left(room()));
        }
    }
    qsizetype room() const { return maxLength() - this->text().size(); }

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

namespace {

using layout::kBoxHeight;
using layout::kButtonHeight;
using layout::kCaptionHeight;

// Where the panel's rows and columns are drawn (twips).
constexpr int kPanelLeft = 3420;
constexpr int kPanelRightColumn = 6480;
constexpr int kPanelTop = 3690;
constexpr int kPanelPitch = 600;
constexpr int kPanelBoxOffset = 240;  // a box below its caption
constexpr int kFlashButtonLeft = 9360;

int textWidth(const QWidget* widget, const QString& text) {
    return widget->fontMetrics().horizontalAdvance(text);
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
QComboBox* modeList(QWidget* parent, const QString& name, QLabel* namedBy,
                    std::span<const std::string_view> entries, std::string_view preload, QPoint at,
                    int width) {
    auto* list = new QComboBox(parent);
    nameControl(*list, name, namedBy->text().simplified());
    namedBy->setBuddy(list);
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

QPushButton* flashButton(QWidget* window, const char* name, std::string_view caption, int row) {
    return addButton(window, QString::fromLatin1(name), toQString(caption),
                     twipsRect(kFlashButtonLeft, 3870 + row * kPanelPitch, 1215, kButtonHeight));
}

}  // namespace

FlashPanel::FlashPanel(QWidget& window) : QObject(&window) {
    QWidget* const parent = &window;
    const auto fieldCaption = [parent](const char* name, std::string_view text, int left, int row) {
        return addCaption(parent, QString::fromLatin1(name), toQString(text),
                          twipsRect(left, kPanelTop + row * kPanelPitch, 2850, kCaptionHeight));
    };
    const auto box = [parent](const char* name, QLabel* namedBy, int limit, int left, int row,
                              int width) {
        auto* control = addControl<LimitedTextBox>(
            parent, QString::fromLatin1(name), namedBy->text(),
            twipsRect(left, kPanelTop + row * kPanelPitch + kPanelBoxOffset, width, kBoxHeight),
            limit);
        namedBy->setBuddy(control);
        return control;
    };
    const auto limitOf = [](FlashField field) {
        return static_cast<int>(FlashRecord::layoutOf(field).length);
    };
    const int serialLimit = static_cast<int>(FlashRecord::kSerialDigits);

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
    m_companyMode = modeList(parent, QStringLiteral("Combo2"), companyLabel,
                             texts::kCompanyModeEntries, texts::kCompanyModePreload,
                             QPoint(twips(kPanelRightColumn),
                                    twips(kPanelTop + 2 * kPanelPitch) + twips(kPanelBoxOffset)),
                             twips(2400));
    auto* addressLabel = fieldCaption("Label14", texts::kAddressModeLabel, kPanelRightColumn, 3);
    m_addressMode = modeList(parent, QStringLiteral("Combo3"), addressLabel,
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
    auto* encryptionLabel = new SpacedCaption(encryptionText, lineStep, parent);
    nameControl(*encryptionLabel, QStringLiteral("Label15"), encryptionText.simplified());
    const int headWidth = textWidth(encryptionLabel, encryptionText.left(blanksAt));
    const int standardWidth = textWidth(encryptionLabel, encryptionText.mid(standardAt));
    const int encryptionTop = twips(kPanelTop + 4 * kPanelPitch + 60);
    encryptionLabel->setGeometry(twips(kPanelLeft), encryptionTop,
                                 standardWidth + kCaptionGapPixels, 2 * lineStep);
    const int listLeft = twips(kPanelLeft) + headWidth + 2 * kCaptionGapPixels;
    m_encryptionMode =
        modeList(parent, QStringLiteral("Combo4"), encryptionLabel, texts::kEncryptionModeEntries,
                 texts::kEncryptionModePreload,
                 QPoint(listLeft, encryptionTop + (lineStep - m_companyMode->height()) / 2),
                 encryptionLabel->geometry().right() + 1 - listLeft);

    auto* write = flashButton(parent, "Command3", texts::kWriteFlashButton, 0);
    auto* read = flashButton(parent, "Command4", texts::kReadFlashButton, 1);
    auto* clearButton = flashButton(parent, "Command5", texts::kClearDataButton, 2);
    connect(write, &QPushButton::clicked, this, &FlashPanel::writeClicked);
    connect(read, &QPushButton::clicked, this, &FlashPanel::readClicked);
    connect(clearButton, &QPushButton::clicked, this, &FlashPanel::clear);

    // Keyboard order follows the reading order rather than the order of creation.
    const std::vector<QWidget*> tabOrder = {m_softwareVersion, m_productCode,  m_manufacturerId,
                                            m_buildCode,       m_serialNumber, m_hopperCoin,
                                            m_categoryId,      m_companyMode,  m_addressMode,
                                            m_encryptionMode,  write,          read,
                                            clearButton};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    m_showOrder = {softwareLabel,
                   productLabel,
                   makerLabel,
                   serialLabel,
                   m_softwareVersion,
                   m_productCode,
                   m_manufacturerId,
                   m_serialNumber,
                   write,
                   read,
                   clearButton,
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
    m_hideOrder = {softwareLabel, productLabel,     makerLabel,      serialLabel,
                   companyLabel,  addressLabel,     encryptionLabel, m_softwareVersion,
                   m_productCode, m_manufacturerId, m_serialNumber,  m_companyMode,
                   m_addressMode, m_encryptionMode, write,           read,
                   clearButton,   buildLabel,       categoryLabel,   coinLabel,
                   m_buildCode,   m_categoryId,     m_hopperCoin};
    for (QWidget* widget : m_showOrder) {
        widget->hide();
    }
}

FlashPanel::~FlashPanel() = default;

void FlashPanel::show() {
    for (QWidget* widget : m_showOrder) {
        widget->show();
    }
}

void FlashPanel::hide() {
    for (QWidget* widget : m_hideOrder) {
        widget->hide();
    }
}

void FlashPanel::clear() {
    for (LimitedTextBox* box : {m_softwareVersion, m_productCode, m_manufacturerId, m_serialNumber,
                                m_buildCode, m_categoryId, m_hopperCoin}) {
        box->clear();
    }
}

void FlashPanel::chooseFirstModes() {
    m_companyMode->setCurrentIndex(0);
    m_addressMode->setCurrentIndex(0);
    m_encryptionMode->setCurrentIndex(0);
}

FlashRecord FlashPanel::record() const {
    FlashRecord record;
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

void FlashPanel::appendRecordText(FlashField field, const QString& text) {
    if (LimitedTextBox* box = boxFor(field)) {
        box->appendFromProgram(text);
    }
}

qsizetype FlashPanel::recordTextRoom(FlashField field) const {
    const LimitedTextBox* box = boxFor(field);
    return box != nullptr ? box->room() : 0;
}

void FlashPanel::showSerialNumber(const QString& text) {
    m_serialNumber->setTextFromProgram(text);
}

LimitedTextBox* FlashPanel::boxFor(FlashField field) const {
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

}  // namespace pellix::hwtest
