#include "records/recordswriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "platform/atomicsave.h"

namespace pellix::records {
namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string s(const QJsonValue& value) {
    return value.toString().toStdString();
}

// The fields of a run in the order the spool file lists them.
QJsonObject toJson(const ServiceRun& run) {
    QJsonObject o;
    o[QStringLiteral("key")] = q(run.key);
    o[QStringLiteral("started")] = q(run.startedUtc);
    o[QStringLiteral("ended")] = q(run.endedUtc);
    o[QStringLiteral("bench")] = q(run.bench);
    o[QStringLiteral("operator")] = q(run.operatorName);
    o[QStringLiteral("interface")] = q(std::string(interfaceName(run.interface)));
    o[QStringLiteral("port")] = q(run.port);
    o[QStringLiteral("device")] = q(run.device);
    o[QStringLiteral("outcome")] = q(std::string(outcomeName(run.outcome)));
    o[QStringLiteral("reason")] = q(run.reason);
    o[QStringLiteral("note")] = q(run.note);
    o[QStringLiteral("capture")] =
        QString::fromLatin1(QByteArray::fromStdString(run.capture).toBase64());
    const HopperIdentity& h = run.hopper;
    o[QStringLiteral("hopper")] = QJsonArray{
        q(h.serialNumber), q(h.productCode), q(h.softwareVersion),  q(h.manufacturer),
        q(h.buildCode),    q(h.hopperCoin),  q(h.identitySoftware), q(h.identityChecksum)};
    QJsonArray values;
    for (const auto& [name, value] : run.values) {
        values.append(QJsonArray{q(name), q(value)});
    }
    o[QStringLiteral("values")] = values;
    return o;
}

std::optional<ServiceRun> fromJson(const QJsonObject& o) {
    ServiceRun run;
    run.key = s(o[QStringLiteral("key")]);
    const auto interface = interfaceFromName(s(o[QStringLiteral("interface")]));
    const auto outcome = outcomeFromName(s(o[QStringLiteral("outcome")]));
    const QJsonArray hopper = o[QStringLiteral("hopper")].toArray();
    if (run.key.empty() || !interface || !outcome || hopper.size() != 8) {
        return std::nullopt;
    }
    run.startedUtc = s(o[QStringLiteral("started")]);
    run.endedUtc = s(o[QStringLiteral("ended")]);
    run.bench = s(o[QStringLiteral("bench")]);
    run.operatorName = s(o[QStringLiteral("operator")]);
    run.interface = *interface;
    run.port = s(o[QStringLiteral("port")]);
    run.device = s(o[QStringLiteral("device")]);
    run.outcome = *outcome;
    run.reason = s(o[QStringLiteral("reason")]);
    run.note = s(o[QStringLiteral("note")]);
    run.capture =
        QByteArray::fromBase64(o[QStringLiteral("capture")].toString().toLatin1()).toStdString();
    HopperIdentity& h = run.hopper;
    std::string* fields[] = {&h.serialNumber,     &h.productCode,     &h.softwareVersion,
                             &h.manufacturer,     &h.buildCode,       &h.hopperCoin,
                             &h.identitySoftware, &h.identityChecksum};
    for (int i = 0; i < 8; ++i) {
        *fields[i] = s(hopper[i]);
    }
    for (const QJsonValue& pair : o[QStringLiteral("values")].toArray()) {
        run.add(s(pair.toArray().at(0)), s(pair.toArray().at(1)));
    }
    return run;
}

QString spoolName(const ServiceRun& run) {
    QString name = q(run.key);
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-')) {
            c = QLatin1Char('_');
        }
    }
    return QStringLiteral("run-%1.json").arg(name);
}

}  // namespace

QString defaultSpoolFolder() {
    return QFileInfo(defaultDatabasePath()).absolutePath() + QStringLiteral("/spool");
}

QString RecordsSpool::put(const ServiceRun& run) const {
    if (!QDir().mkpath(m_folder)) {
        return QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(m_folder));
    }
    return saveFileAtomically(QDir(m_folder).filePath(spoolName(run)),
                              QJsonDocument(toJson(run)).toJson(QJsonDocument::Compact));
}

QStringList RecordsSpool::files() const {
    QStringList out;
    const QDir dir(m_folder);
    for (const QString& name :
         dir.entryList({QStringLiteral("run-*.json")}, QDir::Files, QDir::Name)) {
        out << dir.filePath(name);
    }
    return out;
}

std::optional<ServiceRun> RecordsSpool::read(const QString& file) const {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll());
    return doc.isObject() ? fromJson(doc.object()) : std::nullopt;
}

// Lives on the writer's thread: the database connection belongs to it.
class RecordsWriter::Worker final : public QObject {
  public:
    Worker(RecordsWriter& owner, DatabaseAddress address, QString spoolFolder, int retryMs)
        : m_owner(owner),
          m_store(std::move(address)),
          m_spool(std::move(spoolFolder)),
          m_retry(new QTimer(this)) {
        m_retry->setInterval(retryMs);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, [this] { sendSpooled(); });
    }

    void start() { sendSpooled(); }

    // Runs that come while one is being written go in together, in one transaction, on the
    // next turn of this thread's loop: a busy line commits a few times a second, not once per
    // hopper. While runs wait in the spool new ones join them, in order, and the retry sends them.
    void write(ServiceRun run) {
        m_pending.push_back(std::move(run));
        if (m_pending.size() == 1) {
            QMetaObject::invokeMethod(
                this, [this] { writePending(); }, Qt::QueuedConnection);
        }
    }
    void writePending() {
        if (m_pending.empty()) {
            return;
        }
        std::vector<ServiceRun> runs = std::exchange(m_pending, {});
        const bool stored = m_spoolWaiting == 0 && m_store.save(runs);
        for (const ServiceRun& run : runs) {
            if (!stored) {
                const QString kept = m_spool.put(run);
                tellTrouble(kept);
                ++m_spoolWaiting;
                m_retry->start();
            }
            emit m_owner.handled(QString::fromStdString(run.key), stored);
        }
    }

  private:
    void sendSpooled() {
        const QStringList files = m_spool.files();
        m_spoolWaiting = static_cast<int>(files.size());
        for (const QString& file : files) {
            const std::optional<ServiceRun> run = m_spool.read(file);
            if (!run) {
                // Not ours or damaged: set aside, never sent, never lost.
                QFile::rename(file, file + QStringLiteral(".unreadable"));
            } else if (!m_store.save(*run)) {
                tellTrouble({});
                m_retry->start();
                return;
            }
            QFile::remove(file);
            --m_spoolWaiting;
        }
        if (m_troubled) {
            m_troubled = false;
            emit m_owner.caughtUp();
        }
    }

    void tellTrouble(const QString& spoolFailure) {
        if (m_troubled && spoolFailure.isEmpty()) {
            return;
        }
        m_troubled = true;
        const QString folder = QDir::toNativeSeparators(m_spool.folder());
        emit m_owner.trouble(
            spoolFailure.isEmpty()
                ? QStringLiteral("Service records not written (%1); kept in %2 and sent when the "
                                 "database is back.")
                      .arg(m_store.error(), folder)
                : QStringLiteral("Service records not written (%1) and not kept (%2).")
                      .arg(m_store.error(), spoolFailure));
    }

    RecordsWriter& m_owner;
    RecordsStore m_store;
    RecordsSpool m_spool;
    QTimer* m_retry;
    int m_spoolWaiting = 0;
    bool m_troubled = false;
    std::vector<ServiceRun> m_pending;
};

RecordsWriter::RecordsWriter(DatabaseAddress address, QString spoolFolder, int retryMs,
                             QObject* parent)
    : QObject(parent), m_thread(new QThread(this)) {
    m_thread->setObjectName(QStringLiteral("RecordsWriter"));
    m_worker = new Worker(*this, std::move(address), std::move(spoolFolder), retryMs);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    // Writing never competes with the thread that answers the hoppers: on Linux this is the idle
    // scheduling class, so the answering thread takes the processor back at once when a byte
    // comes (a plain low priority changes nothing there).
    m_thread->start(QThread::IdlePriority);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->start(); });
}

RecordsWriter::~RecordsWriter() {
    // Runs handed over before this are written (or spooled) before the thread ends.
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->writePending(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void RecordsWriter::record(ServiceRun run) {
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, run = std::move(run)]() mutable {
        worker->write(std::move(run));
    });
}

}  // namespace pellix::records
