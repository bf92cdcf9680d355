#pragma once

#include <QWidget>

#include <memory>

#include "records/recordsstore.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSqlQueryModel;
class QTableView;
class QTextBrowser;

namespace pellix {

class FileDialogs;

// The "Service Records" window: the runs in the records database, newest first, narrowed by
// serial number, dates, interface and outcome; a hopper's history; the selected run's details,
// its note (editable) and its capture; CSV of the listed runs and a PDF service report of the
// selected one. Not part of any defined window: it only reads the records and writes the note.
class RecordsWindow final : public QWidget {
    Q_OBJECT
  public:
    RecordsWindow(records::DatabaseAddress address, FileDialogs& dialogs,
                  QWidget* parent = nullptr);
    ~RecordsWindow() override;

    // Runs the filters' query again; the status line says how many runs are listed.
    void refresh();
    qint64 selectedRun() const;
    QSqlQueryModel& model() { return *m_model; }

    bool exportCsv(const QString& path);
    bool exportReport(const QString& path);

  private:
    void buildControls();
    void wireControls();
    void showSelected();
    void showHistory();
    void saveNote();
    void tell(const QString& message);
    records::RunFilter filter() const;

    std::unique_ptr<records::RecordsStore> m_store;
    FileDialogs& m_dialogs;
    QSqlQueryModel* m_model = nullptr;
    QLineEdit* m_serial = nullptr;
    QLineEdit* m_since = nullptr;
    QLineEdit* m_until = nullptr;
    QComboBox* m_interface = nullptr;
    QComboBox* m_outcome = nullptr;
    QTableView* m_table = nullptr;
    QTextBrowser* m_details = nullptr;
    QPlainTextEdit* m_note = nullptr;
    QPlainTextEdit* m_capture = nullptr;
    QPushButton* m_history = nullptr;
    QPushButton* m_saveNote = nullptr;
    QPushButton* m_csv = nullptr;
    QPushButton* m_report = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_status = nullptr;
    std::optional<records::ServiceRun> m_shown;
};

}  // namespace pellix
