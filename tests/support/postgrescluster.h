#pragma once

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include "records/recordsstore.h"

namespace pellix::test {

// The tests' own PostgreSQL cluster (scripts/pg-test-cluster.sh, started by CTest;
// PELLIX_TEST_POSTGRES_STATE names its state folder): the folder, or empty with `why`.
inline QString postgresState(QString* why) {
    const QString state = qEnvironmentVariable("PELLIX_TEST_POSTGRES_STATE");
    if (state.isEmpty()) {
        *why = QStringLiteral("PELLIX_TEST_POSTGRES_STATE not set (run through ctest)");
        return {};
    }
    QFile skip(state + QStringLiteral("/skip"));
    if (skip.open(QIODevice::ReadOnly)) {
        *why = QString::fromUtf8(skip.readAll()).trimmed();
        return {};
    }
    return state;
}

// The cluster's connection URL, its database emptied of every records table.
inline QString freshPostgresUrl(const QString& state) {
    QFile file(state + QStringLiteral("/url"));
    file.open(QIODevice::ReadOnly);
    const QString url = QString::fromUtf8(file.readAll()).trimmed();
    const auto address = records::parseDatabaseAddress(url, nullptr);
    {
        QSqlDatabase wipe = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "wipe");
        wipe.setHostName(address->host);
        wipe.setDatabaseName(address->database);
        wipe.setUserName(address->user);
        if (wipe.open()) {
            QSqlQuery(wipe).exec(
                QStringLiteral("DROP TABLE IF EXISTS run_values, runs, hoppers, serial_numbers, "
                               "serial_counter, pellix_schema"));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("wipe"));
    return url;
}

// In CI the PostgreSQL cases must run (PELLIX_REQUIRE_POSTGRES); elsewhere they may skip.
inline bool postgresMaySkip(const QString& why) {
    if (qEnvironmentVariableIsSet("PELLIX_REQUIRE_POSTGRES")) {
        qFatal("PostgreSQL required but unavailable: %s", qPrintable(why));
    }
    return true;
}

}  // namespace pellix::test
