#include "engine/sqlite_connection.h"

#include <cassert>
#include <cstdlib>

#include "engine/errors.h"
#include "engine/integrity.h"
#include "engine/jet_functions.h"

namespace engine {

namespace {

constexpr size_t kMaxCachedStatements = 256;
// Jet's "Query is too complex."
constexpr int kQueryTooComplex = 3360;

// Extracts "table.column" from SQLite's "... constraint failed: table.column[, ...]" text.
std::string ConstraintTarget(const std::string& message) {
  const auto colon = message.find("failed: ");
  return colon == std::string::npos ? message : message.substr(colon + 8);
}

}  // namespace

Statement::Statement(Statement&& other) noexcept
    : connection_(other.connection_), stmt_(other.stmt_), sql_(other.sql_), home_(other.home_) {
  other.stmt_ = nullptr;
}

Statement::~Statement() {
  if (stmt_ != nullptr) connection_->Release(stmt_, home_);
}

void Statement::Bind(int index, const Cell& value) {
  int rc = SQLITE_OK;
  switch (value.kind) {
    case Cell::kNull: rc = sqlite3_bind_null(stmt_, index); break;
    case Cell::kInt: rc = sqlite3_bind_int64(stmt_, index, value.i); break;
    case Cell::kReal: rc = sqlite3_bind_double(stmt_, index, value.r); break;
    case Cell::kText:
      rc = sqlite3_bind_text64(stmt_, index, value.text.data(), value.text.size(),
                               SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case Cell::kBlob:
      rc = sqlite3_bind_blob64(stmt_, index, value.text.data(), value.text.size(),
                               SQLITE_TRANSIENT);
      break;
  }
  if (rc != SQLITE_OK) connection_->Fail(rc, *sql_);
}

void Statement::BindInt(int index, int64_t value) {
  const int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) connection_->Fail(rc, *sql_);
}

void Statement::BindAll(const std::vector<Cell>& values, int first_index) {
  for (size_t k = 0; k < values.size(); ++k) Bind(first_index + static_cast<int>(k), values[k]);
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  connection_->Fail(rc, *sql_);
}

void Statement::Run() {
  while (Step()) {
  }
}

int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }

Cell Statement::Column(int index) const {
  switch (sqlite3_column_type(stmt_, index)) {
    case SQLITE_INTEGER: return Cell::Int(sqlite3_column_int64(stmt_, index));
    case SQLITE_FLOAT: return Cell::Real(sqlite3_column_double(stmt_, index));
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
      return Cell::Text(std::string(p, sqlite3_column_bytes(stmt_, index)));
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, index));
      const int n = sqlite3_column_bytes(stmt_, index);
      return Cell::Blob(n > 0 ? std::string(p, n) : std::string());
    }
    default: return Cell();
  }
}

void Statement::ColumnInto(int index, Cell& out) const {
  switch (sqlite3_column_type(stmt_, index)) {
    case SQLITE_INTEGER:
      out.kind = Cell::kInt;
      out.i = sqlite3_column_int64(stmt_, index);
      return;
    case SQLITE_FLOAT:
      out.kind = Cell::kReal;
      out.r = sqlite3_column_double(stmt_, index);
      return;
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
      out.kind = Cell::kText;
      out.text.assign(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, index)));
      return;
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, index));
      const int n = sqlite3_column_bytes(stmt_, index);
      out.kind = Cell::kBlob;
      if (n > 0) out.text.assign(p, static_cast<size_t>(n));
      else out.text.clear();
      return;
    }
    default: out.kind = Cell::kNull;
  }
}

std::string Statement::ColumnName(int index) const {
  const char* name = sqlite3_column_name(stmt_, index);
  return name != nullptr ? name : "";
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Connection::Connection(const std::string& path, int flags) : path_(path) {
  // SQLite's memory statistics take a global mutex on every allocation; nothing reads them. The
  // setting only takes before SQLite's first use, so a refusal later is no error.
  static const int no_memory_statistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)no_memory_statistics;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
    if (rc == SQLITE_CANTOPEN)
      Raise(dao::err::kCannotOpenFile,
            "Cannot open the database file " + Quoted(path) + ": " + message + ".");
    Raise(dao::err::kNotADatabase,
          "The file " + Quoted(path) + " is not a database of this engine (" + message + ").");
  }
  sqlite3_extended_result_codes(db_, 1);
  RegisterJetFunctions(db_);
}

Connection::~Connection() {
  for (auto& entry : cache_)
    for (sqlite3_stmt* stmt : entry.second.free) sqlite3_finalize(stmt);
  if (db_ != nullptr) sqlite3_close_v2(db_);
}

Statement Connection::Prepare(const std::string& sql) {
  ++statements_;
  auto it = cache_.try_emplace(sql).first;
  CachedStatements& home = it->second;
  sqlite3_stmt* stmt = nullptr;
  if (!home.free.empty()) {
    stmt = home.free.back();
    home.free.pop_back();
    --cached_;
  } else {
    const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) Fail(rc, sql);
    assert(stmt != nullptr);
  }
  return Statement(this, stmt, &it->first, &home);
}

void Connection::Release(sqlite3_stmt* stmt, CachedStatements* home) {
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (cached_ >= kMaxCachedStatements) {
    sqlite3_finalize(stmt);
    return;
  }
  home->free.push_back(stmt);
  ++cached_;
}

void Connection::Exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (error != nullptr) sqlite3_free(error);
  if (rc != SQLITE_OK) Fail(rc, sql);
}

void Connection::SetBusyTimeout(int milliseconds) {
  busy_timeout_ = milliseconds;
  sqlite3_busy_timeout(db_, milliseconds);
}

void Connection::Fail(int rc, const std::string& sql) const {
  const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "";
  // Errors raised by the engine's own SQL functions carry their DAO number: "\x01NNNN:text".
  if (!message.empty() && message[0] == '\x01') {
    const int number = std::atoi(message.c_str() + 1);
    const auto colon = message.find(':');
    Raise(number, colon == std::string::npos ? message.substr(1) : message.substr(colon + 1));
  }
  switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
      Raise(dao::err::kDuplicateKey,
            "The record was not saved because it would duplicate a value in a unique index "
            "or primary key on " + ConstraintTarget(message) + ".");
    case SQLITE_CONSTRAINT_NOTNULL:
      Raise(dao::err::kRequired, "The field " + Quoted(ConstraintTarget(message)) +
                                     " is required and cannot contain a Null value.");
    case SQLITE_CONSTRAINT_CHECK: {
      // Length checks are named "len:table.field:size".
      const std::string target = ConstraintTarget(message);
      if (target.rfind("azl:", 0) == 0)
        Raise(dao::err::kZeroLength, "Field " + Quoted(target.substr(4)) +
                                         " cannot be a zero-length string (its AllowZeroLength is False).");
      if (target.rfind("len:", 0) == 0) {
        const auto last = target.rfind(':');
        Raise(dao::err::kValueTooLong,
              "The value is too long for the field " + Quoted(target.substr(4, last - 4)) +
                  " (at most " + target.substr(last + 1) + " characters).");
      }
      Raise(dao::err::kInvalidOperation, "A validation rule refused the value: " + message + ".");
    }
    default: break;
  }
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(dao::err::kLocked, "The database " + Quoted(path_) +
                                   " is locked by another user; gave up after waiting " +
                                   std::to_string(busy_timeout_) + " ms.");
    case SQLITE_READONLY:
      Raise(dao::err::kReadOnly,
            "Cannot update: the database " + Quoted(path_) + " is opened read-only.");
    case SQLITE_NOTADB:
      Raise(dao::err::kNotADatabase, "The file " + Quoted(path_) + " is not a database of this engine.");
    case SQLITE_CORRUPT:
      // Said plainly, so that a damaged page is not taken for a record another user changed.
      Raise(kDamagedDatabase, "The database " + Quoted(path_) + " is damaged (" + message +
                                  "). Check it with dbsh --check " + Quoted(path_) + " and repair it with " +
                                  RepairCommand(path_) + ".");
    case SQLITE_FULL:
      Raise(dao::err::kDiskError, "The disk is full; the database " + Quoted(path_) +
                                      " could not be written.");
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
      Raise(dao::err::kDiskError,
            "Disk error on the database " + Quoted(path_) + ": " + message + ".");
    case SQLITE_CONSTRAINT:
      Raise(dao::err::kInvalidOperation, "The change was refused: " + message + ".");
    default: break;
  }
  // SQLite's own limits on how deeply expressions nest, which the engine's translation of a
  // deeply nested Jet expression can reach: Jet's "Query is too complex", without the SQL text.
  if (message == "parser stack overflow" || message.rfind("Expression tree is too large", 0) == 0)
    Raise(kQueryTooComplex, "Query is too complex: its expressions are nested too deeply (" + message + ").");
  Raise(dao::err::kReserved, "Database engine failure: " + message +
                                 (sql.empty() ? "" : " (in: " + sql + ")") + ".");
}

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string QuoteText(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

}  // namespace engine
