#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

#include "records/recordsstore.h"
#include "records/servicerun.h"

class QThread;

namespace pellix::records {

// Runs waiting for the database, one file each in a folder of their own: a run is written whole
// (beside its name, then renamed) or not at all, and removed only once the database has it.
class RecordsSpool {
  public:
    explicit RecordsSpool(QString folder) : m_folder(std::move(folder)) {}
    // Empty, or why the run could not be kept.
    QString put(const ServiceRun& run) const;
    QStringList files() const;
    std::optional<ServiceRun> read(const QString& file) const;
    const QString& folder() const { return m_folder; }

  private:
    QString m_folder;
};

// The user's data folder's spool: .../Pellix/Pellix kit/spool.
QString defaultSpoolFolder();

// Records runs without keeping the caller waiting: each run goes to a thread of its own that
// writes it to the database, or, when the database cannot take it (a full disk, a server down,
// a read-only file), to the spool; what is spooled is sent when the database is back (tried
// again every `retryMs` and before each new run). Trouble is told once per spell, not per run.
class RecordsWriter final : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRetryMs = 30'000;

    RecordsWriter(DatabaseAddress address, QString spoolFolder, int retryMs = kRetryMs,
                  QObject* parent = nullptr);
    // Waits for the run being written; spooled runs stay for the next start.
    ~RecordsWriter() override;

    void record(ServiceRun run);

  signals:
    // "Service records not written (why); kept in FOLDER and sent when the database is back."
    void trouble(const QString& message);
    // Everything spooled has reached the database.
    void caughtUp();
    // A run reached the database (or the spool): for tests and the status line.
    void handled(const QString& key, bool stored);

  private:
    class Worker;
    QThread* m_thread = nullptr;
    Worker* m_worker = nullptr;
};

}  // namespace pellix::records
