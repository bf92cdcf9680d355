#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "hwtest/hardwaretestrecorder.h"
#include "hwtest/hwtestnotes.h"
#include "hwtest/teststreamreceiver.h"

class QLabel;
class QLineEdit;
class QSlider;
class QStatusBar;

namespace pellix {

class Capture;

class LockedComboBox;
class SerialLink;
class SerialLinePort;
class WindowHost;
struct Services;

namespace hwtest {
class FlashPanel;
class TestResultRows;
}  // namespace hwtest

// The hardware test window (Form5): follows the hopper's self-test stream, shows the six test
// items, the DIP switches and the identity, and reads, edits and writes the flash record. The
// test item rows and the flash panel are parts of their own; their controls stand on this
// window like all others.
//
// The receiver lives and dies with the window: every opening starts a fresh one, as the next
// hopper is tested from its header.
class HardwareTestWindow final : public QWidget, private hwtest::TestStreamView {
    Q_OBJECT
  public:
    HardwareTestWindow(Services& services, WindowHost& host, Capture* capture = nullptr);
    ~HardwareTestWindow() override;

    SerialLink& link() { return *m_link; }
    const hwtest::TestStreamReceiver& receiver() const { return m_receiver; }
    // Each hopper's test becomes a service run handed to `keep` (with this window's capture)
    // once it ends; nothing on the window shows it.
    void keepRunsWith(hwtest::HardwareTestRecorder::Keep keep) { m_keepRuns = std::move(keep); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildIdentityAndPort();
    void buildDipSwitches();
    void buildStatusBar();
    void placeStatusBar();
    void load();

    void onPortPicked(int position);
    void keepRun(records::ServiceRun run);
    void onReset();
    void onDipFinish();
    void onReadFlash();
    void onWriteFlash();
    void hideFlashPanel();
    // Shows what the bytes of a batch changed. Called when the batch is done and before any
    // operator action that reads or clears the boxes.
    void showPending();
    // The operator is told when a request cannot go out because the port is closed.
    bool portOpenOrSay();
    void say(std::string_view message);

    // hwtest::TestStreamView
    void showChecksum(std::string_view text) override;
    void appendSoftwareText(std::string_view character) override;
    void firmwareVariantDecided(hwtest::FirmwareVariant variant) override;
    void showDipSwitches(const hwtest::DipSwitches& on) override;
    void setResult(hwtest::TestItem item, hwtest::TestResult result) override;
    void appendRecordText(hwtest::FlashField field, std::string_view character) override;
    void showSerialNumber(std::string_view text) override;

    Services& m_services;
    WindowHost& m_host;
    SerialLinePort* m_line = nullptr;
    SerialLink* m_link = nullptr;
    Capture* m_capture = nullptr;
    // What the stream tells goes to this window and to the service records' recorder.
    hwtest::HardwareTestRecorder::Keep m_keepRuns;
    hwtest::HardwareTestRecorder m_recorder;
    hwtest::TestStreamViews m_views;
    // Between the receiver and those and the line: notes for the traffic capture.
    hwtest::HwTestNotes m_notes;
    hwtest::TestStreamReceiver m_receiver;

    QLineEdit* m_software = nullptr;  // Text1
    QLineEdit* m_checksum = nullptr;  // Text2
    LockedComboBox* m_ports = nullptr;
    std::array<QSlider*, 4> m_switches{};
    std::unique_ptr<hwtest::TestResultRows> m_results;
    hwtest::FlashPanel* m_flash = nullptr;  // a child of the window

    QStatusBar* m_statusBar = nullptr;
    QLabel* m_panel = nullptr;

    // What the bytes of the current batch changed, shown by showPending(). A storm of line
    // noise then costs one update per box per batch, not a re-layout of a growing box per byte.
    struct Pending {
        QString software;                 // appended to Text1
        std::optional<QString> checksum;  // replaces Text2
        std::optional<hwtest::DipSwitches> dipSwitches;
        std::array<std::optional<hwtest::TestResult>, hwtest::kTestItemCount> results{};
        std::array<QString, hwtest::FlashRecord::kLayout.size()> recordText{};  // appended
        std::optional<QString> serialNumber;
    };
    Pending m_pending;
};

}  // namespace pellix
