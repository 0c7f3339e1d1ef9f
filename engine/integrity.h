// The integrity of a database file: a check before work that must not spread damage (the
// import), and the salvage of a damaged file into a new one (dbsh --check, dbsh --repair).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_interfaces.h"

namespace engine {

// Jet's number for a database file that is damaged.
constexpr int kDamagedDatabase = 3049;

// What is wrong with the file at `path` as a glance at its header tells: "" when it is not a
// database file at all or its header is sound; otherwise a description such as "the file is cut
// short: 30000 bytes where its header promises 61440". While a write-ahead log beside the file
// is in use, the header's size is not the database's, and only a file shorter than its header is
// reported. Never raises.
std::string HeaderDamage(const std::string& path);

// The problems SQLite's full integrity check finds in the database file `path`, opened read-only:
// pages that do not read back, rows missing from an index or an index entry without its row,
// broken free lists. Empty when the file is sound. A file that cannot be opened, or is no
// database, raises the engine's error for it.
std::vector<std::string> IntegrityProblems(const std::string& path);

// Raises kDamagedDatabase when the open database `database` of this engine is damaged, with a
// message that names the file and the first problem and says how to repair it. Databases of
// other implementations (ODBC data sources) are not checked: their server answers for them.
void CheckIntegrity(const std::shared_ptr<dao::Database>& database);

// The command that repairs the damaged database `path` (for messages).
std::string RepairCommand(const std::string& path);

// What RepairDatabase saved and lost.
struct RepairReport {
  struct Table {
    std::string name;
    int64_t rows_copied = 0;
    // Rows that were read but refused by the new file's constraints (the second of two rows
    // with one key of a unique index), by row id.
    std::vector<int64_t> rows_refused;
    // Ranges of row ids [first, last] that could not be read; last is -1 when the rest of the
    // table from `first` on is lost.
    std::vector<std::pair<int64_t, int64_t>> unreadable;
  };
  std::vector<Table> tables;
  // Schema entries (indexes, views, triggers) that could not be made again, with the reason.
  std::vector<std::string> schema_lost;
  bool Complete() const;
};

// Copies what can be read of the damaged database `damaged` into the new file `repaired` (which
// must not exist): the schema, then every table's rows in row-id order, skipping over pages that
// cannot be read, then the AutoNumber counters. Indexes are built anew from the rows, so an index
// that missed rows or held stale ones is sound afterwards. `damaged` is only read. Raises the
// engine's error when `repaired` exists or either file cannot be opened, and kDamagedDatabase
// when not even the list of tables of `damaged` can be read.
RepairReport RepairDatabase(const std::string& damaged, const std::string& repaired);

}  // namespace engine
