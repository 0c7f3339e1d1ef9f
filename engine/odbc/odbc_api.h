// A thin layer over unixODBC's C API: the environment, a connection, a statement with bound
// parameters, the reading of column values as the engine's cells, and the driver's diagnostics
// turned into DAO errors. Text crosses the driver manager as UTF-16 (the wide functions), so
// the driver's own idea of a narrow character set never matters.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/sqlite_connection.h"

namespace engine::odbc {

// One diagnostic record of the driver or the driver manager.
struct Diagnostic {
  std::string state;  // SQLSTATE, five characters
  int32_t native = 0;
  std::string text;
};

// The diagnostics of a handle.
std::vector<Diagnostic> DiagnosticsOf(SQLSMALLINT handle_type, SQLHANDLE handle);

// Raises the DAO error for failed diagnostics: 3022 for a duplicate key, 3314 for a missing
// required value, 3146 "ODBC--call failed." otherwise. Item 0 of the engine's Errors is that
// error; every diagnostic follows as a further item (number: native code, description:
// "[SQLSTATE] text", source: "ODBC"). `what` says which call failed.
[[noreturn]] void RaiseDiagnostics(const std::vector<Diagnostic>& diagnostics, const std::string& what);

// Raises for `rc` unless it is SQL_SUCCESS or SQL_SUCCESS_WITH_INFO.
void Check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const std::string& what);

std::u16string ToUtf16(const std::string& utf8);
std::string ToUtf8(const SQLWCHAR* text, size_t length);

// A value to bind: the cell and the DAO type of what it is compared with or stored into (0: the
// cell's own kind decides). Dates are DAO dates (kReal), booleans -1/0, currency scaled by
// 10000 (kInt), GUIDs 16 bytes (kBlob).
struct Param {
  Cell value;
  int type = 0;
};

// What the driver says about a result column.
struct ColumnDesc {
  std::string name;
  SQLSMALLINT sql_type = SQL_VARCHAR;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  bool nullable = true;
  bool auto_increment = false;
  std::string base_table;  // empty when the driver does not tell
  std::string base_column;
};

// The DAO type of an SQL type (size: the column size, digits: its scale).
int DaoTypeOf(SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits);

class Connection;

// A statement handle of a connection. Parameters stay bound until the next Execute.
class Statement {
 public:
  explicit Statement(Connection& connection);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Prepare(const std::string& sql);
  // Binds `params` to the prepared text's markers and runs it.
  void Execute(const std::vector<Param>& params = {});
  // Prepares and runs in one go.
  void Run(const std::string& sql, const std::vector<Param>& params = {});
  // True when a row is ready.
  bool Fetch();
  // The value of column `column` (from 0) of the fetched row, read for a field of DAO type
  // `dao_type` whose SQL type is `sql_type`.
  Cell Get(int column, int dao_type, SQLSMALLINT sql_type);
  int ColumnCount();
  ColumnDesc Describe(int column);
  // Rows changed by the last INSERT, UPDATE or DELETE.
  int64_t RowCount();
  // The catalog functions; each leaves its result set to Fetch and Get.
  void Tables();
  void Columns(const std::string& schema, const std::string& table);
  void PrimaryKeys(const std::string& schema, const std::string& table);
  void Statistics(const std::string& schema, const std::string& table);
  // Ends a result set so that the statement can run again.
  void CloseCursor();
  // Seconds before the driver cancels; 0 waits for ever.
  void SetTimeout(int32_t seconds);
  const std::string& sql() const { return sql_; }
  SQLHSTMT handle() const { return handle_; }

 private:
  void BindParams(const std::vector<Param>& params);
  [[noreturn]] void Fail(const std::string& what);

  Connection& connection_;
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
  std::string sql_;
  bool cursor_open_ = false;
  int32_t timeout_ = -1;  // as last set; -1 before
  // Buffers of the bound parameters; they must live until the statement has run.
  struct Buffer {
    std::vector<char> data;
    SQLLEN indicator = 0;
  };
  std::vector<Buffer> buffers_;
};

// One connection to a data source.
class Connection {
 public:
  // Connects with SQLDriverConnect and `connect_text` (no prompt).
  Connection(const std::string& connect_text, int32_t login_timeout);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  SQLHDBC handle() const { return handle_; }
  // The quote character of identifiers (" for most servers); blank when the driver quotes none.
  const std::string& identifier_quote() const { return quote_; }
  // The server's product name as SQLGetInfo reports it ("PostgreSQL", "SQLite" ...).
  const std::string& dbms_name() const { return dbms_; }
  const std::string& dbms_version() const { return dbms_version_; }
  // The connect text the driver completed (with the data source's settings).
  const std::string& completed_connect() const { return completed_; }

  // Outside a transaction every statement commits at once.
  void BeginTransaction();
  void Commit();
  void Rollback();
  bool in_transaction() const { return in_transaction_; }
  void SetReadOnly(bool read_only);

  // Quotes an identifier with the driver's quote, doubling quotes inside it.
  std::string Quote(const std::string& name) const;

 private:
  std::string InfoText(SQLUSMALLINT info);
  void EndTransaction(SQLSMALLINT completion, const char* what);

  std::shared_ptr<void> environment_;
  SQLHDBC handle_ = SQL_NULL_HDBC;
  bool connected_ = false;
  bool in_transaction_ = false;
  std::string quote_, dbms_, dbms_version_, completed_;
};

}  // namespace engine::odbc
