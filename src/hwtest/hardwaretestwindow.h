#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "hwtest/teststreamreceiver.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QStatusBar;

namespace pellix {

class LockedComboBox;
class SerialLink;
class WindowHost;
struct Services;

namespace hwtest {
class LimitedTextBox;
}

// The hardware test window (Form5): follows the hopper's self-test stream, shows the six test
// items, the DIP switches and the identity, and reads, edits and writes the flash record.
//
// The receiver lives and dies with the window: every opening starts a fresh one, as the next
// hopper is tested from its header.
class HardwareTestWindow final : public QWidget, private hwtest::TestStreamListener {
    Q_OBJECT
  public:
    HardwareTestWindow(Services& services, WindowHost& host, QWidget* parent = nullptr);
    ~HardwareTestWindow() override;

    SerialLink& link() { return *m_link; }
    const hwtest::TestStreamReceiver& receiver() const { return m_receiver; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // What a test item's icon and status caption show.
    enum class Light { Pass, Fail, Undetermined, NotTested };

    void buildIdentityAndPort();
    void buildDipSwitches();
    void buildResults();
    void buildFlashPanel();
    void buildStatusBar();
    void placeStatusBar();
    void load();

    void onPortPicked(int position);
    void onReset();
    void onDipFinish();
    void onReadFlash();
    void onClearData();
    void onWriteFlash();
    void showFlashPanel();
    void hideFlashPanel();
    void showLight(int itemIndex, Light light);
    // The operator is told when a request cannot go out because the port is closed.
    bool portOpenOrSay();
    void say(std::string_view message);
    hwtest::FlashRecord recordFromBoxes() const;
    hwtest::LimitedTextBox* boxFor(hwtest::FlashField field) const;

    // hwtest::TestStreamListener
    void firstChecksumByte(std::uint8_t byte) override;
    void secondChecksumByte(std::uint8_t byte) override;
    void versionCharacter(std::uint8_t byte) override;
    void firmwareVariantDecided(hwtest::FirmwareVariant variant) override;
    void showDipSwitchState(std::uint8_t byte) override;
    void setResult(hwtest::TestItem item, hwtest::TestResult result) override;
    void recordTextByte(hwtest::FlashField field, std::uint8_t byte) override;
    void showSerialNumber(std::string_view text) override;
    void sendByte(std::uint8_t byte) override;

    Services& m_services;
    WindowHost& m_host;
    hwtest::TestStreamReceiver m_receiver{*this};
    SerialLink* m_link = nullptr;

    QLineEdit* m_software = nullptr;  // Text1
    QLineEdit* m_checksum = nullptr;  // Text2
    LockedComboBox* m_ports = nullptr;
    std::array<QSlider*, 4> m_switches{};
    std::array<QLabel*, hwtest::kTestItemCount> m_pictures{};
    std::array<QLabel*, hwtest::kTestItemCount> m_statuses{};

    hwtest::LimitedTextBox* m_softwareVersion = nullptr;  // Text3
    hwtest::LimitedTextBox* m_productCode = nullptr;      // Text4
    hwtest::LimitedTextBox* m_manufacturerId = nullptr;   // Text5
    hwtest::LimitedTextBox* m_serialNumber = nullptr;     // Text6
    hwtest::LimitedTextBox* m_buildCode = nullptr;        // Text7
    hwtest::LimitedTextBox* m_categoryId = nullptr;       // Text8
    hwtest::LimitedTextBox* m_hopperCoin = nullptr;       // Text9
    QComboBox* m_companyMode = nullptr;                   // Combo2
    QComboBox* m_addressMode = nullptr;                   // Combo3
    QComboBox* m_encryptionMode = nullptr;                // Combo4
    // The flash panel's controls in the order they appear, and in the order they go.
    std::vector<QWidget*> m_flashShowOrder;
    std::vector<QWidget*> m_flashHideOrder;

    QStatusBar* m_statusBar = nullptr;
    QLabel* m_panel = nullptr;
};

}  // namespace pellix
