#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "cny/cnyframe.h"
#include "cny/cnylogmodel.h"
#include "cny/cnynotes.h"
#include "cny/cnyrecorder.h"
#include "cny/cnyreplyassembler.h"
#include "cny/cnysession.h"
#include "cny/cnytexts.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace pellix {

class Capture;
enum class SelectResult;

class CnyLogView;
class LockedComboBox;
class SerialLink;
class SerialLinePort;
class WindowHost;
struct Services;

// What the CNY mode tester keeps between its loads: a reply cut short when the window closed is
// completed by the bytes that arrive after it is opened again.
struct CnyState {
    cny::ReplyAssembler assembler;
};

// The CNY mode tester window (Form4): five addressed commands, reply decoding and the
// transaction log.
class CnyTesterWindow final : public QWidget, private cny::SessionView {
    Q_OBJECT
  public:
    CnyTesterWindow(Services& services, WindowHost& host, CnyState& state,
                    Capture* capture = nullptr);

    SerialLink& link() { return *m_link; }
    // Each stretch of commands on one port becomes a service run handed to `keep` (with this
    // window's capture); nothing on the window shows it.
    void keepRunsWith(cny::CnyRecorder::Keep keep) { m_keepRuns = std::move(keep); }
    CnyLogModel& logModel() { return *m_logModel; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void onCommand(int index);
    void buildControls();
    void wireControls();
    void load();
    void onPortPicked(int position);
    // Buttons and chooser after an opening: enabled when open, the first entry after an error.
    void showPortResult(SelectResult result);
    void keepRun(records::ServiceRun run);
    void onSpeedPicked(int entry);
    void onSaveLog();
    void setCommandsEnabled(bool enabled);
    void portFailed();
    void InitLogGrid();
    void AddLogRow(CnyLogModel::Direction direction, const cny::Frame& frame,
                   cny::LogMessage message);
    void onLogBeat();
    void showWaitingRows();

    // cny::SessionView
    void logCommand(const cny::Frame& frame, cny::LogMessage message) override;
    void showCountRangeError() override;
    void byteListed(std::uint8_t byte) override;
    void showStatus(std::string_view text) override;
    void showRemainCoin(std::string_view text) override;
    void logReply(const cny::Frame& frame, cny::LogMessage message) override;

    Services& m_services;
    WindowHost& m_host;
    SerialLinePort* m_line = nullptr;
    SerialLink* m_link = nullptr;
    Capture* m_capture = nullptr;
    cny::CnyRecorder::Keep m_keepRuns;
    // Between the session and this window: notes for the traffic capture, then the service
    // records' recorder.
    cny::CnyRecorder m_recorder{*this, [this](records::ServiceRun run) { keepRun(run); }};
    cny::CnyNotes m_notes{m_recorder};
    cny::Session m_session;

    std::array<QPushButton*, cny::kCommands> m_commands{};
    QPushButton* m_close = nullptr;
    LockedComboBox* m_address = nullptr;
    QLineEdit* m_payout = nullptr;
    QLineEdit* m_status = nullptr;
    QLineEdit* m_remainCoin = nullptr;
    LockedComboBox* m_ports = nullptr;
    LockedComboBox* m_speeds = nullptr;
    CnyLogModel* m_logModel = nullptr;
    CnyLogView* m_log = nullptr;
    // Rows reach the grid on a beat: at once when it has been quiet, otherwise gathered and
    // shown together when the beat comes, so a fast hopper costs one insert and one scroll per
    // beat instead of one per frame.
    std::vector<CnyLogModel::Entry> m_waitingRows;
    QTimer* m_logBeat = nullptr;
    QListWidget* m_received = nullptr;
    QLabel* m_linkPanel = nullptr;
    QLabel* m_speedPanel = nullptr;
    QAction* m_saveLog = nullptr;
};

}  // namespace pellix
