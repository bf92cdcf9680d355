#pragma once

#include <QString>
#include <QWidget>

#include <memory>

#include "serial/capturebook.h"
#include "traffic/trafficmodel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace pellix {

class CaptureFile;
class Clipboard;
class FileDialogs;

// The "Traffic" window: one tool window's capture as rows (time since the port was first
// opened, direction, bytes, printable characters, the engines' notes), live while open, with
// follow/pause, a direction filter, copy, clear, "Save Capture As..." and "Record to file".
// It only reads the captures; the tool windows never notice it.
class TrafficWindow final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 100;

    TrafficWindow(CaptureBook& book, FileDialogs& dialogs, Clipboard& clipboard,
                  QWidget* parent = nullptr);
    ~TrafficWindow() override;

    void showSource(CaptureSource source);
    CaptureSource source() const { return m_source; }
    TrafficModel& model() { return *m_model; }

    // Writes the capture's ring to `path` through the atomic save: the file is replaced only
    // when complete. A failure is told on the status line, naming the file, until the next
    // action.
    bool saveTo(const QString& path);
    // Records every event from now on into `path`, which starts afresh, one line each.
    bool startRecording(const QString& path);
    void stopRecording();
    bool recording() const { return static_cast<bool>(m_recording); }
    // Copies the selected rows as tab-separated lines; returns the text.
    QString copySelection();
    // One timer tick: takes what is new and scrolls to it when following.
    void refresh();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void wireControls();
    void onSourcePicked(int index);
    void onFilterChanged();
    void onClear();
    void onSaveAs();
    void onRecordToggled(bool on);
    // Asks for a file to save or record to; empty when cancelled.
    QString askFileName(const QString& title);
    void updateStatus();
    // A failure stays on the status line until the technician does something else.
    void tell(const QString& message);

    CaptureBook& m_book;
    FileDialogs& m_dialogs;
    Clipboard& m_clipboard;
    CaptureSource m_source = CaptureSource::CoinSetting;
    TrafficModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    QComboBox* m_sources = nullptr;
    QCheckBox* m_tx = nullptr;
    QCheckBox* m_rx = nullptr;
    QCheckBox* m_other = nullptr;
    QCheckBox* m_follow = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_saveAs = nullptr;
    QPushButton* m_record = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_timer = nullptr;
    QTimer* m_recordFlush = nullptr;

    std::unique_ptr<CaptureFile> m_recording;
    QString m_message;
};

}  // namespace pellix
