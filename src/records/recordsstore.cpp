#include "records/recordsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

#include <atomic>

#include "records/newrun.h"

namespace pellix::records {
namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::string toStd(const QVariant& value) {
    return value.toString().toStdString();
}

QString sqlError(const QSqlError& error) {
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

}  // namespace

QString DatabaseAddress::shown() const {
    if (dialect == Dialect::Sqlite) {
        return QDir::toNativeSeparators(sqlitePath);
    }
    QString out = QStringLiteral("postgresql://");
    if (!user.isEmpty()) {
        out += user + QLatin1Char('@');
    }
    if (!host.startsWith(QLatin1Char('/'))) {
        out += host;
    }
    if (port > 0) {
        out += QLatin1Char(':') + QString::number(port);
    }
    out += QLatin1Char('/') + database;
    if (host.startsWith(QLatin1Char('/'))) {
        out += QStringLiteral("?host=") + host;
    }
    return out;
}

QString defaultDatabasePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty()) {
        folder = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return folder + QStringLiteral("/Pellix/Pellix kit/records.sqlite");
}

QString chosenDatabase(const QString& setting) {
    const QString fromEnvironment = qEnvironmentVariable("PELLIX_DATABASE");
    return !fromEnvironment.isEmpty() ? fromEnvironment : setting;
}

std::optional<DatabaseAddress> parseDatabaseAddress(const QString& text, QString* error) {
    DatabaseAddress address;
    const bool url = text.startsWith(QLatin1String("postgresql://")) ||
                     text.startsWith(QLatin1String("postgres://"));
    if (!url) {
        address.sqlitePath = text.isEmpty() ? defaultDatabasePath() : text;
        return address;
    }
    const QUrl parsed(text, QUrl::StrictMode);
    const QString database = parsed.path().mid(1);
    if (!parsed.isValid() || database.isEmpty() || database.contains(QLatin1Char('/'))) {
        if (error) {
            *error = QStringLiteral(
                         "not a PostgreSQL connection URL (postgresql://user@host/"
                         "database): %1")
                         .arg(parsed.isValid() ? QStringLiteral("no database named")
                                               : parsed.errorString());
        }
        return std::nullopt;
    }
    address.dialect = Dialect::Postgres;
    address.host = parsed.host();
    address.port = parsed.port(-1);
    address.database = database;
    address.user = parsed.userName();
    address.password = parsed.password();
    const QUrlQuery query(parsed);
    if (query.hasQueryItem(QStringLiteral("host"))) {
        address.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    }
    return address;
}

RecordsStore::RecordsStore(DatabaseAddress address) : m_address(std::move(address)) {
    static std::atomic<int> stores{0};
    m_connection = QStringLiteral("pellix-records-%1").arg(++stores);
}

RecordsStore::~RecordsStore() {
    m_statements.clear();  // before the connection goes
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlDatabase RecordsStore::database() const {
    return QSqlDatabase::database(m_connection, false);
}

bool RecordsStore::fail(const QString& what, const QString& why) {
    m_error = QStringLiteral("%1 %2: %3").arg(what, m_address.shown(), why);
    return false;
}

QSqlQuery& RecordsStore::prepared(const QString& sql, const QVariantList& values) {
    auto& query = m_statements[sql];
    if (!query) {
        query = std::make_unique<QSqlQuery>(database());
        // A failure shows when it runs; the next open prepares it anew.
        query->prepare(sql);
    }
    for (int i = 0; i < values.size(); ++i) {
        query->bindValue(i, values[i]);
    }
    return *query;
}

bool RecordsStore::open() {
    m_ready = false;
    m_statements.clear();
    const bool pg = m_address.dialect == Dialect::Postgres;
    QSqlDatabase db = database();
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                       m_connection);
    }
    if (!db.isValid() || !db.isDriverAvailable(db.driverName())) {
        return fail(QStringLiteral("cannot open the records"),
                    QStringLiteral("the %1 driver is not installed").arg(db.driverName()));
    }
    if (pg) {
        db.setHostName(m_address.host);
        if (m_address.port > 0) {
            db.setPort(m_address.port);
        }
        db.setDatabaseName(m_address.database);
        db.setUserName(m_address.user);
        db.setPassword(m_address.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    } else {
        QDir().mkpath(QFileInfo(m_address.sqlitePath).absolutePath());
        db.setDatabaseName(m_address.sqlitePath);
        // Two copies of the tool on one PC wait for each other instead of failing.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    }
    if (!db.open()) {
        return fail(QStringLiteral("cannot open the records"), sqlError(db.lastError()));
    }
    if (!pg) {
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        // A file that cannot be written stays in its own journal mode; writing then fails and
        // says why.
        pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    }
    if (!migrate()) {
        db.close();
        return false;
    }
    m_ready = true;
    return true;
}

bool RecordsStore::migrate() {
    QSqlDatabase db = database();
    const auto version = [&]() -> std::optional<int> {
        if (!db.tables().contains(QStringLiteral("pellix_schema"))) {
            return 0;
        }
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT version FROM pellix_schema")) || !query.next()) {
            return std::nullopt;
        }
        return query.value(0).toInt();
    };
    // Two benches opening a new database at once: the second finds the first one's tables.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::optional<int> from = version();
        if (!from) {
            return fail(QStringLiteral("cannot read the records' schema in"),
                        sqlError(db.lastError()));
        }
        if (*from > kSchemaVersion) {
            return fail(QStringLiteral("refused"),
                        QStringLiteral("its records are at schema version %1, newer than this "
                                       "program's %2; nothing was changed")
                            .arg(*from)
                            .arg(kSchemaVersion));
        }
        const auto steps = migrations(
            m_address.dialect == Dialect::Postgres ? Dialect::Postgres : Dialect::Sqlite, *from);
        if (steps.empty()) {
            return true;
        }
        db.transaction();
        QSqlQuery query(db);
        bool ok = true;
        for (const std::string& step : steps) {
            if (!query.exec(fromStd(step))) {
                ok = false;
                break;
            }
        }
        if (ok && db.commit()) {
            return true;
        }
        const QString why = sqlError(query.lastError());
        db.rollback();
        if (attempt == 1) {
            return fail(QStringLiteral("cannot set up the records in"), why);
        }
    }
    return false;
}

std::optional<qint64> RecordsStore::hopperId(const ServiceRun& run) {
    if (!run.hopper.known()) {
        return std::nullopt;
    }
    const HopperIdentity& h = run.hopper;
    QSqlQuery& find = prepared(
        QStringLiteral("SELECT id FROM hoppers WHERE serial_number = ? AND product_code = ?"),
        {fromStd(h.serialNumber), fromStd(h.productCode)});
    if (!find.exec()) {
        return std::nullopt;
    }
    const bool known = find.next();
    QVariantList values;
    for (const std::string* field :
         {&h.softwareVersion, &h.manufacturer, &h.buildCode, &h.hopperCoin, &h.identitySoftware,
          &h.identityChecksum, &run.startedUtc}) {
        values << fromStd(*field);
    }
    if (known) {
        values << find.value(0);
    } else {
        values << fromStd(h.serialNumber) << fromStd(h.productCode);
    }
    find.finish();
    QSqlQuery& write = prepared(
        known ? QStringLiteral("UPDATE hoppers SET software_version = ?, manufacturer = ?, "
                               "build_code = ?, hopper_coin = ?, identity_software = ?, "
                               "identity_checksum = ?, last_seen_utc = ? WHERE id = ? RETURNING id")
              : QStringLiteral("INSERT INTO hoppers (software_version, manufacturer, build_code, "
                               "hopper_coin, identity_software, identity_checksum, last_seen_utc, "
                               "serial_number, product_code) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) "
                               "RETURNING id"),
        values);
    if (!write.exec() || !write.next()) {
        m_error = sqlError(write.lastError());
        return std::nullopt;
    }
    const qint64 id = write.value(0).toLongLong();
    write.finish();
    return id;
}

bool RecordsStore::save(const ServiceRun& run) {
    return save(std::span(&run, 1));
}

bool RecordsStore::save(std::span<const ServiceRun> runs) {
    if (!m_ready && !open()) {
        return false;
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        m_ready = false;  // the server went away: the next save connects afresh
        return fail(QStringLiteral("cannot write to"), sqlError(db.lastError()));
    }
    // After a failed write the next one connects afresh: a file opened read-only or a server
    // that went away is looked at again.
    const auto giveUp = [&](const QString& why) {
        db.rollback();
        m_statements.clear();
        db.close();
        m_ready = false;
        return fail(QStringLiteral("cannot write to"), why);
    };
    for (const ServiceRun& run : runs) {
        const QString why = insertRun(run);
        if (!why.isEmpty()) {
            return giveUp(why);
        }
    }
    if (!db.commit()) {
        return giveUp(sqlError(db.lastError()));
    }
    return true;
}

QString RecordsStore::insertRun(const ServiceRun& run) {
    QSqlQuery& there =
        prepared(QStringLiteral("SELECT id FROM runs WHERE run_key = ?"), {fromStd(run.key)});
    if (!there.exec()) {
        return sqlError(there.lastError());
    }
    if (there.next()) {
        there.finish();
        return {};  // sent before: once is enough
    }
    there.finish();
    m_error.clear();
    const std::optional<qint64> hopper = hopperId(run);
    if (run.hopper.known() && !hopper) {
        return m_error;
    }
    QVariantList fields;
    for (const std::string* field :
         {&run.key, &run.startedUtc, &run.endedUtc, &run.bench, &run.operatorName}) {
        fields << fromStd(*field);
    }
    fields << fromStd(std::string(interfaceName(run.interface))) << fromStd(run.port)
           << fromStd(run.device) << fromStd(std::string(outcomeName(run.outcome)))
           << fromStd(run.reason) << fromStd(run.hopper.serialNumber)
           << (hopper ? QVariant(*hopper) : QVariant(QMetaType(QMetaType::LongLong)))
           << fromStd(run.note) << qCompress(QByteArray::fromStdString(run.capture));
    QSqlQuery& insert = prepared(
        QStringLiteral(
            "INSERT INTO runs (run_key, started_utc, ended_utc, bench, operator_name, interface, "
            "port, device, outcome, reason, serial_number, hopper_id, note, capture) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"),
        fields);
    if (!insert.exec() || !insert.next()) {
        return sqlError(insert.lastError());
    }
    const qint64 id = insert.value(0).toLongLong();
    insert.finish();
    QVariantList ids, positions, names, values;
    for (std::size_t i = 0; i < run.values.size(); ++i) {
        ids << id;
        positions << static_cast<int>(i);
        names << fromStd(run.values[i].first);
        values << fromStd(run.values[i].second);
    }
    if (!run.values.empty()) {
        QSqlQuery& value = prepared(
            QStringLiteral(
                "INSERT INTO run_values (run_id, position, name, value) VALUES (?, ?, ?, ?)"),
            {QVariant(ids), QVariant(positions), QVariant(names), QVariant(values)});
        if (!value.execBatch()) {
            return sqlError(value.lastError());
        }
    }
    return {};
}

std::optional<qint64> RecordsStore::takeSerialNumber(qint64 atLeast, qint64 limit,
                                                     const QString& bench, const QString& port) {
    if (!m_ready && !open()) {
        return std::nullopt;
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        m_ready = false;
        fail(QStringLiteral("no serial number from"), sqlError(db.lastError()));
        return std::nullopt;
    }
    const auto giveUp = [&](const QString& why) -> std::optional<qint64> {
        db.rollback();
        fail(QStringLiteral("no serial number from"), why);
        return std::nullopt;
    };
    QSqlQuery& next = prepared(
        QStringLiteral("UPDATE serial_counter SET last_value = CASE WHEN last_value + 1 < "
                       "? THEN ? ELSE last_value + 1 END WHERE id = 1 RETURNING last_value"),
        {atLeast, atLeast});
    if (!next.exec() || !next.next()) {
        m_ready = false;
        return giveUp(sqlError(next.lastError()));
    }
    const qint64 number = next.value(0).toLongLong();
    next.finish();
    if (number >= limit) {
        return giveUp(QStringLiteral("the serial numbers are used up (the next would be %1, the "
                                     "last there is %2)")
                          .arg(number)
                          .arg(limit - 1));
    }
    QSqlQuery keep(db);
    keep.prepare(
        QStringLiteral("INSERT INTO serial_numbers (serial_number, allocated_utc, bench, "
                       "port) VALUES (?, ?, ?, ?)"));
    keep.addBindValue(number);
    keep.addBindValue(QString::fromStdString(utcNow()));
    keep.addBindValue(bench);
    keep.addBindValue(port);
    if (!keep.exec()) {
        return giveUp(sqlError(keep.lastError()));
    }
    if (!db.commit()) {
        return giveUp(sqlError(db.lastError()));
    }
    return number;
}

bool RecordsStore::setNote(qint64 id, const std::string& note) {
    if (!m_ready && !open()) {
        return false;
    }
    QSqlQuery query(database());
    query.prepare(QStringLiteral("UPDATE runs SET note = ? WHERE id = ?"));
    query.addBindValue(fromStd(note));
    query.addBindValue(id);
    if (!query.exec() || query.numRowsAffected() != 1) {
        return fail(QStringLiteral("cannot write to"), query.lastError().isValid()
                                                           ? sqlError(query.lastError())
                                                           : QStringLiteral("no run %1").arg(id));
    }
    return true;
}

QString RecordsStore::listQuery(const RunFilter& filter, QVariantList* values) {
    QStringList where;
    const auto add = [&](const QString& condition, const QVariant& value) {
        where << condition;
        values->append(value);
    };
    if (!filter.serialNumber.isEmpty()) {
        add(QStringLiteral("serial_number = ?"), filter.serialNumber);
    }
    if (!filter.since.isEmpty()) {
        add(QStringLiteral("started_utc >= ?"), filter.since);
    }
    if (!filter.until.isEmpty()) {
        add(QStringLiteral("started_utc < ?"), filter.until);
    }
    if (filter.interface) {
        add(QStringLiteral("interface = ?"),
            fromStd(std::string(interfaceName(*filter.interface))));
    }
    if (filter.outcome) {
        add(QStringLiteral("outcome = ?"), fromStd(std::string(outcomeName(*filter.outcome))));
    }
    QString sql = QStringLiteral(
        "SELECT id, started_utc, interface, port, serial_number, outcome, reason, bench, "
        "operator_name FROM runs");
    if (!where.isEmpty()) {
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    }
    sql += QStringLiteral(" ORDER BY started_utc DESC, id DESC LIMIT %1").arg(filter.limit);
    return sql;
}

std::vector<RunRow> RecordsStore::list(const RunFilter& filter) {
    std::vector<RunRow> rows;
    if (!m_ready && !open()) {
        return rows;
    }
    QVariantList values;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(listQuery(filter, &values));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        fail(QStringLiteral("cannot read"), sqlError(query.lastError()));
        return rows;
    }
    while (query.next()) {
        rows.push_back(
            {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString(),
             query.value(3).toString(), query.value(4).toString(), query.value(5).toString(),
             query.value(6).toString(), query.value(7).toString(), query.value(8).toString()});
    }
    return rows;
}

std::optional<ServiceRun> RecordsStore::run(qint64 id) {
    if (!m_ready && !open()) {
        return std::nullopt;
    }
    QSqlQuery query(database());
    query.prepare(QStringLiteral(
        "SELECT r.run_key, r.started_utc, r.ended_utc, r.bench, r.operator_name, r.interface, "
        "r.port, r.device, r.outcome, r.reason, r.note, r.capture, r.serial_number, "
        "h.product_code, h.software_version, h.manufacturer, h.build_code, h.hopper_coin, "
        "h.identity_software, h.identity_checksum FROM runs r LEFT JOIN hoppers h ON h.id = "
        "r.hopper_id WHERE r.id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) {
        fail(QStringLiteral("cannot read"), query.lastError().isValid()
                                                ? sqlError(query.lastError())
                                                : QStringLiteral("no run %1").arg(id));
        return std::nullopt;
    }
    ServiceRun run;
    run.key = toStd(query.value(0));
    run.startedUtc = toStd(query.value(1));
    run.endedUtc = toStd(query.value(2));
    run.bench = toStd(query.value(3));
    run.operatorName = toStd(query.value(4));
    run.interface = interfaceFromName(toStd(query.value(5))).value_or(Interface::HardwareTest);
    run.port = toStd(query.value(6));
    run.device = toStd(query.value(7));
    run.outcome = outcomeFromName(toStd(query.value(8))).value_or(Outcome::Incomplete);
    run.reason = toStd(query.value(9));
    run.note = toStd(query.value(10));
    if (const QByteArray packed = query.value(11).toByteArray(); !packed.isEmpty()) {
        run.capture = qUncompress(packed).toStdString();
    }
    HopperIdentity& h = run.hopper;
    h.serialNumber = toStd(query.value(12));
    for (auto [field, column] : {std::pair{&h.productCode, 13},
                                 {&h.softwareVersion, 14},
                                 {&h.manufacturer, 15},
                                 {&h.buildCode, 16},
                                 {&h.hopperCoin, 17},
                                 {&h.identitySoftware, 18},
                                 {&h.identityChecksum, 19}}) {
        *field = toStd(query.value(column));
    }
    QSqlQuery values(database());
    values.prepare(
        QStringLiteral("SELECT name, value FROM run_values WHERE run_id = ? ORDER BY position"));
    values.addBindValue(id);
    if (!values.exec()) {
        fail(QStringLiteral("cannot read"), sqlError(values.lastError()));
        return std::nullopt;
    }
    while (values.next()) {
        run.add(toStd(values.value(0)), toStd(values.value(1)));
    }
    return run;
}

}  // namespace pellix::records
