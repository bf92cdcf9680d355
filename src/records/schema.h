#pragma once

#include <string>
#include <vector>

namespace pellix::records {

// The two databases the records live in: one file on one bench, or a server for many.
enum class Dialect { Sqlite, Postgres };

// The records' schema version this program writes. A database at a newer version is refused
// untouched; an older one is brought forward by the migrations below, each in one transaction.
inline constexpr int kSchemaVersion = 2;

// The statements that take a database from `fromVersion` to kSchemaVersion, in order; empty
// when it is there already. Version 0 is an empty database.
std::vector<std::string> migrations(Dialect dialect, int fromVersion);

}  // namespace pellix::records
