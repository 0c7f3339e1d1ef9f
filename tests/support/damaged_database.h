// Damaging a database file the way a disk or a crash does, for the tests of the integrity check:
// an index page from an older state, so that the index misses rows its table has.
#pragma once

#include <sqlite3.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

namespace testsupport {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One integer that `sql` answers on the file `path`, read with SQLite itself.
inline int64_t RawQuery(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open " + path);
  sqlite3_stmt* st = nullptr;
  int64_t value = -1;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    value = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  sqlite3_close(db);
  return value;
}

// Makes the index `index` (SQLite's name, "Table.Index" in the engine) of the closed database
// file `path` miss the rows that `change` adds: the index's page as it was before `change` is
// written back over it afterwards. The index must fit on one page, and `change` must leave the
// file closed.
inline void LoseIndexEntries(const std::string& path, const std::string& index, const std::function<void()>& change) {
  const int64_t root = RawQuery(path, "SELECT rootpage FROM sqlite_master WHERE name = '" + index + "'");
  const int64_t page_size = RawQuery(path, "PRAGMA page_size");
  if (root <= 0 || page_size <= 0) throw std::runtime_error("no index " + index + " in " + path);
  const std::string before = ReadFile(path);
  change();
  std::string after = ReadFile(path);
  const size_t offset = static_cast<size_t>((root - 1) * page_size);
  after.replace(offset, static_cast<size_t>(page_size), before, offset, static_cast<size_t>(page_size));
  WriteFile(path, after);
}

}  // namespace testsupport
