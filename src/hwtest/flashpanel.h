#pragma once

#include <QObject>

#include <cstdint>
#include <vector>

#include "hwtest/flashrecord.h"

class QComboBox;
class QWidget;

namespace pellix::hwtest {

class LimitedTextBox;

// The flash record panel of the hardware test window: the record's boxes and mode lists with
// their captions, and the "Write_Flash", "Read_Flash" and "Clear_Data" buttons. Its controls
// stand on the window itself, beside all others there; the panel builds them, shows and hides
// them together, and moves a record between them and the window. Write and read are the
// window's business: they go to the hopper.
class FlashPanel final : public QObject {
    Q_OBJECT
  public:
    // Builds the controls on `window`, hidden; the panel belongs to the window.
    explicit FlashPanel(QWidget& window);
    ~FlashPanel() override;

    void show();
    void hide();
    // "Clear_Data": empties the text boxes; the mode lists keep what they show.
    void clear();
    // Each mode list on its first entry, as the window's load leaves them.
    void chooseFirstModes();
    // The record as the boxes and lists hold it now.
    FlashRecord record() const;
    // Text of a received record, added to the end of its field's box as far as the box's
    // maximum length allows. The mode bytes are not shown.
    void appendRecordText(FlashField field, const QString& text);
    // How many more characters the field's box takes (0 for a field without a box).
    qsizetype recordTextRoom(FlashField field) const;
    void showSerialNumber(const QString& text);

  signals:
    void writeClicked();
    void readClicked();

  private:
    LimitedTextBox* boxFor(FlashField field) const;

    LimitedTextBox* m_softwareVersion = nullptr;  // Text3
    LimitedTextBox* m_productCode = nullptr;      // Text4
    LimitedTextBox* m_manufacturerId = nullptr;   // Text5
    LimitedTextBox* m_serialNumber = nullptr;     // Text6
    LimitedTextBox* m_buildCode = nullptr;        // Text7
    LimitedTextBox* m_categoryId = nullptr;       // Text8
    LimitedTextBox* m_hopperCoin = nullptr;       // Text9
    QComboBox* m_companyMode = nullptr;           // Combo2
    QComboBox* m_addressMode = nullptr;           // Combo3
    QComboBox* m_encryptionMode = nullptr;        // Combo4
    // The controls in the order they appear, and in the order they go.
    std::vector<QWidget*> m_showOrder;
    std::vector<QWidget*> m_hideOrder;
};

}  // namespace pellix::hwtest
