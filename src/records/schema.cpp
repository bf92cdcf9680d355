#include "records/schema.h"

namespace pellix::records {
namespace {

// Version 1. Times are UTC text ("2026-12-09T10:15:00.123Z"), which sorts as time does on both
// databases; the run's values are rows of (name, value) in the order they happened.
std::vector<std::string> version1(Dialect dialect) {
    const bool pg = dialect == Dialect::Postgres;
    const std::string id = pg ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
    const std::string ref = pg ? "BIGINT" : "INTEGER";
    const std::string blob = pg ? "BYTEA" : "BLOB";
    return {
        "CREATE TABLE pellix_schema (version INTEGER NOT NULL)",
        "INSERT INTO pellix_schema (version) VALUES (0)",
        "CREATE TABLE hoppers (id " + id +
            ", serial_number TEXT NOT NULL, product_code TEXT NOT NULL,"
            " software_version TEXT NOT NULL, manufacturer TEXT NOT NULL,"
            " build_code TEXT NOT NULL, hopper_coin TEXT NOT NULL,"
            " identity_software TEXT NOT NULL, identity_checksum TEXT NOT NULL,"
            " last_seen_utc TEXT NOT NULL, UNIQUE (serial_number, product_code))",
        "CREATE TABLE runs (id " + id + ", run_key TEXT NOT NULL UNIQUE," +
            " started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL, bench TEXT NOT NULL,"
            " operator_name TEXT NOT NULL, interface TEXT NOT NULL, port TEXT NOT NULL,"
            " device TEXT NOT NULL, outcome TEXT NOT NULL, reason TEXT NOT NULL,"
            " serial_number TEXT NOT NULL, hopper_id " +
            ref + " REFERENCES hoppers (id), note TEXT NOT NULL, capture " + blob + ")",
        "CREATE TABLE run_values (run_id " + ref +
            " NOT NULL REFERENCES runs (id) ON DELETE CASCADE, position INTEGER NOT NULL,"
            " name TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (run_id, position))",
        "CREATE INDEX runs_by_start ON runs (started_utc, id)",
        "CREATE INDEX runs_by_serial ON runs (serial_number, started_utc)",
    };
}

// Version 2: serial numbers handed out to hoppers, unique across every bench on the database.
// One counter row, moved on in a single statement (a row lock on PostgreSQL, the write lock on
// SQLite), so two runners never get the same number; every number handed out is kept with
// where it went, and a number whose write failed is never handed out again.
std::vector<std::string> version2(Dialect dialect) {
    const std::string big = dialect == Dialect::Postgres ? "BIGINT" : "INTEGER";
    return {
        "CREATE TABLE serial_counter (id INTEGER PRIMARY KEY, last_value " + big + " NOT NULL)",
        "INSERT INTO serial_counter (id, last_value) VALUES (1, 0)",
        "CREATE TABLE serial_numbers (serial_number " + big +
            " PRIMARY KEY, allocated_utc TEXT NOT NULL, bench TEXT NOT NULL, port TEXT NOT NULL)",
    };
}

}  // namespace

std::vector<std::string> migrations(Dialect dialect, int fromVersion) {
    std::vector<std::string> out;
    if (fromVersion < 1) {
        out = version1(dialect);
    }
    if (fromVersion < 2) {
        const auto steps = version2(dialect);
        out.insert(out.end(), steps.begin(), steps.end());
    }
    if (!out.empty() || fromVersion < kSchemaVersion) {
        out.push_back("UPDATE pellix_schema SET version = " + std::to_string(kSchemaVersion));
    }
    return out;
}

}  // namespace pellix::records
