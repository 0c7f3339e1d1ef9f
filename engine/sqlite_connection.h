// A thin layer over the SQLite C API: one connection, prepared statements taken from and given
// back to a cache, values as Cells, and SQLite's failures turned into DAO errors.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <unordered_map>
#include <memory>
#include <string>
#include <vector>

namespace engine {

// One SQLite value. Text and blobs keep their bytes in `text`.
struct Cell {
  enum Kind : uint8_t { kNull, kInt, kReal, kText, kBlob };
  Kind kind = kNull;
  int64_t i = 0;
  double r = 0;
  std::string text;

  static Cell Int(int64_t v) { Cell c; c.kind = kInt; c.i = v; return c; }
  static Cell Real(double v) { Cell c; c.kind = kReal; c.r = v; return c; }
  static Cell Text(std::string v) { Cell c; c.kind = kText; c.text = std::move(v); return c; }
  static Cell Blob(std::string v) { Cell c; c.kind = kBlob; c.text = std::move(v); return c; }
  bool IsNull() const { return kind == kNull; }
};

class Connection;
struct CachedStatements;

// A prepared statement borrowed from the connection's cache; given back (reset) on destruction.
class Statement {
 public:
  Statement(Connection* connection, sqlite3_stmt* stmt, const std::string* sql, CachedStatements* home)
      : connection_(connection), stmt_(stmt), sql_(sql), home_(home) {}
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement(Statement&& other) noexcept;
  ~Statement();

  void Bind(int index, const Cell& value);  // index from 1
  void BindInt(int index, int64_t value);
  // Binds values to ?1, ?2 ... in order.
  void BindAll(const std::vector<Cell>& values, int first_index = 1);
  // True when a row is ready; false at the end. Failures raise the mapped DAO error.
  bool Step();
  // Runs to the end, ignoring rows.
  void Run();
  int ColumnCount() const;
  Cell Column(int index) const;
  // Column into an existing cell, reusing the room its text already has.
  void ColumnInto(int index, Cell& out) const;
  int64_t ColumnInt(int index) const { return sqlite3_column_int64(stmt_, index); }
  bool ColumnIsNull(int index) const { return sqlite3_column_type(stmt_, index) == SQLITE_NULL; }
  std::string ColumnName(int index) const;
  void Reset();
  sqlite3_stmt* handle() const { return stmt_; }

 private:
  Connection* connection_;
  sqlite3_stmt* stmt_;
  const std::string* sql_;  // the cache's key: lives as long as the connection
  CachedStatements* home_;  // where the statement goes back to
};

// The prepared statements of one SQL text that are not in use.
struct CachedStatements {
  std::vector<sqlite3_stmt*> free;
};

// An open SQLite database file with the engine's collation and functions registered.
class Connection {
 public:
  // Opens `path` with SQLite open flags; failures raise DAO errors naming the path.
  Connection(const std::string& path, int flags);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }

  // A statement for `sql`, from the cache when one is free. Each call counts as one statement.
  Statement Prepare(const std::string& sql);
  // Statements prepared so far: the number of the last one. Read caches tag rows with it.
  uint64_t StatementCount() const { return statements_; }
  // Runs SQL text without results (several statements allowed).
  void Exec(const std::string& sql);
  // Busy timeout in milliseconds, used when another connection holds a lock.
  void SetBusyTimeout(int milliseconds);
  int busy_timeout() const { return busy_timeout_; }
  int64_t Changes() const { return sqlite3_changes64(db_); }
  int64_t LastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }
  // Counts changes made through this connection; a cheap staleness check for read caches.
  int64_t TotalChanges() const { return sqlite3_total_changes64(db_); }
  bool InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

  // Raises the DAO error for SQLite result `rc` (with the connection's message).
  [[noreturn]] void Fail(int rc, const std::string& sql = "") const;

  // Gives a statement back to the cache (Statement's destructor).
  void Release(sqlite3_stmt* stmt, CachedStatements* home);

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
  int busy_timeout_ = 0;
  uint64_t statements_ = 0;
  // Statements by SQL text. Entries are never removed while the connection lives, so statements
  // may point at their key and list; the number of free statements kept is bounded.
  std::unordered_map<std::string, CachedStatements> cache_;
  size_t cached_ = 0;
};

// Quotes a name for SQLite SQL: "name" with inner double quotes doubled.
std::string QuoteName(const std::string& name);
// Quotes a text literal for SQLite SQL: 'text' with inner single quotes doubled.
std::string QuoteText(const std::string& text);

}  // namespace engine
