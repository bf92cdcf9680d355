#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "coinsetting/coinsettingnotes.h"
#include "coinsetting/coinsettingprotocol.h"
#include "coinsetting/coinsettingrecorder.h"

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pellix {

class Capture;

class LockedComboBox;
class SerialLink;
class SerialLinePort;
class SettingFileCommands;
class WindowHost;
struct Services;

// The coin number setting window (Form1): reads the 16 coin numbers the hopper sends at
// power-on, lets the technician edit them and saves them back.
class CoinSettingWindow final : public QWidget, private CoinSettingView {
    Q_OBJECT
  public:
    // Builds the window for the program. When another copy of the program is running, the
    // window unloads itself while loading (storing its port number as every unload does), this
    // returns nullptr and `endProgram` ends the program.
    static CoinSettingWindow* create(Services& services, WindowHost& host, CoinSettingState& state,
                                     const std::function<void()>& endProgram = quitProgram,
                                     Capture* capture = nullptr);
    static void quitProgram();

    // Prefer create(); a window built directly that refused to run reports unloadedAtLoad().
    CoinSettingWindow(Services& services, WindowHost& host, CoinSettingState& state,
                      Capture* capture = nullptr);
    ~CoinSettingWindow() override;

    bool unloadedAtLoad() const { return m_unloadedAtLoad; }

    // The channel boxes as the setting files see them; index 0 is channel 1. Setting a text
    // runs the same digit check as typing.
    QString boxText(int index) const;
    void setBoxText(int index, const QString& text);
    QAction* openFileAction() const { return m_openFile; }
    QAction* saveFileAction() const { return m_saveFile; }

    SerialLink& link() { return *m_link; }
    const CoinSettingProtocol& protocol() const { return m_protocol; }
    // Each hopper's settings read and saved become a service run handed to `keep` (with this
    // window's capture); nothing on the window shows it.
    void keepRunsWith(CoinSettingRecorder::Keep keep) { m_keepRuns = std::move(keep); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // CoinSettingView
    void showStatus(StatusColour colour, std::string_view text) override;
    void applyStatus(StatusColour colour, const QString& text);
    // What a batch of received bytes asked to show, shown once the batch is handled.
    void showHeld();
    void setChannelText(int channelIndex, std::string_view text) override;
    void showReceiveError(std::string_view message) override;
    void unlockInputs() override;

    void buildControls();
    void load();
    void openRememberedPort();
    void onPortPicked(int position);
    // The records' recorder learns the port the following runs come through.
    void notePort();
    void keepRun(records::ServiceRun run);
    void onBoxTextChanged(int index);
    bool onBoxKey(int index, const QKeyEvent& key);
    void focusBox(int index);
    void onSave();
    void setInputsLocked(bool locked);
    void onManual();
    void onCloseKey();

    Services& m_services;
    WindowHost& m_host;
    Capture* m_capture = nullptr;
    CoinSettingRecorder::Keep m_keepRuns;
    // What the protocol tells goes through the notes for the traffic capture and the service
    // records' recorder to this window.
    CoinSettingRecorder m_recorder{*this, [this](records::ServiceRun run) { keepRun(run); }};
    CoinSettingNotes m_notes{m_recorder};
    // The line port (MSComm1, Timer1, Timer3) before the protocol that talks through it.
    SerialLinePort* m_line = nullptr;
    SerialLink* m_link = nullptr;
    CoinSettingProtocol m_protocol;
    bool m_unloadedAtLoad = false;
    // A "Receive Error" box is up; a block time-out meanwhile adds no second one.
    bool m_receiveErrorOpen = false;

    struct HeldStatus {
        StatusColour colour;
        QString text;
    };
    std::optional<HeldStatus> m_heldStatus;
    std::array<std::optional<QString>, kCoinChannels> m_heldTexts{};

    std::array<QLineEdit*, kCoinChannels> m_boxes{};
    QLabel* m_status = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_exit = nullptr;
    LockedComboBox* m_ports = nullptr;
    QLabel* m_panel = nullptr;
    QAction* m_openFile = nullptr;
    QAction* m_saveFile = nullptr;
    QAction* m_manual = nullptr;

    // CommonDialog1 and the "Parameter" menu's setting file commands.
    std::unique_ptr<SettingFileCommands> m_settingFiles;
};

}  // namespace pellix
