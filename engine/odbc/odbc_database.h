// An ODBC data source as a DAO Database: the connection, its catalog, the temporary query
// definitions, Execute, OpenRecordset and the transactions of the workspace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dao/dao_interfaces.h"
#include "engine/odbc/odbc_api.h"
#include "engine/odbc/odbc_catalog.h"

namespace engine::odbc {

class OdbcRecordset;

// A query definition of a connection; kept in memory for the connection's life.
struct StoredQuery {
  std::string name;
  std::string sql;
  std::string connect;
  bool returns_records = true;
  int32_t max_records = 0;
  int32_t timeout = 60;
  double created = 0, updated = 0;
};

// The state behind a Database object and all that it opened.
struct OdbcCore {
  std::string name;
  std::string connect;  // "ODBC;" and the text given to the driver
  bool read_only = false;
  bool closed = false;
  int32_t query_timeout = 60;
  int32_t records_affected = 0;
  // Bumped by every change made through this connection, so that records read ahead before it
  // are read again.
  int64_t changes = 0;
  std::unique_ptr<Connection> connection;
  std::unique_ptr<Catalog> catalog;
  std::vector<std::shared_ptr<StoredQuery>> queries;
  std::vector<std::weak_ptr<OdbcRecordset>> recordsets;
  std::unordered_map<std::string, std::shared_ptr<Statement>> prepared;

  // 3420 when the database has been closed.
  void CheckOpen() const;
  // 3027 when the database is read-only.
  void CheckWritable() const;
  // A statement with the database's QueryTimeout (or `timeout` when given).
  std::unique_ptr<Statement> NewStatement(int32_t timeout = -1);
  // The statement of `sql`, prepared once and kept for the connection, so that what runs per
  // record is bound and executed without being parsed again. It must be used up (its result
  // read or closed) before the same text is asked for again.
  std::shared_ptr<Statement> Prepared(const std::string& sql, int32_t timeout = -1);
  // The server takes INSERT ... RETURNING (and the driver hands the row out).
  bool returning() const;
  // SQLite, whose rows have a rowid that last_insert_rowid() names.
  bool sqlite() const;
};

// Opens a data source: `connect_text` is what follows "ODBC;" of a connect text. A text
// without DSN, DRIVER or FILEDSN takes `name` as the data source name.
std::shared_ptr<dao::Database> OpenOdbcDatabase(const std::string& name, const std::string& connect_text,
                                                bool read_only, int32_t login_timeout);

// True for a database that this module opened.
bool IsOdbcDatabase(const std::shared_ptr<dao::Database>& database);
// The workspace's transactions on such a database.
void BeginTransaction(const std::shared_ptr<dao::Database>& database);
void CommitTransaction(const std::shared_ptr<dao::Database>& database);
void RollbackTransaction(const std::shared_ptr<dao::Database>& database);
bool IsClosed(const std::shared_ptr<dao::Database>& database);

}  // namespace engine::odbc
