// The state of one open database that all its objects share: the SQLite connection, the
// catalog, the open mode, the read-cache epoch and the list of open recordsets.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/sqlite_connection.h"

namespace engine {

class RecordsetImpl;
class RowBookmarks;
class TableOrder;

struct DatabaseCore {
  std::string name;
  std::string connect;
  bool read_only = false;
  bool exclusive = false;
  bool closed = false;
  int32_t query_timeout = 60;
  int32_t records_affected = 0;
  // Bumped by rollbacks: recordsets drop the rows they hold.
  int64_t cache_epoch = 0;
  // Set by DBEngine.Idle(dbRefreshCache) to the connection's last statement: rows read before it
  // are read again when needed; what that statement read is as fresh as the file was then.
  uint64_t refresh_mark = 0;
  std::unique_ptr<Connection> connection;
  std::unique_ptr<Catalog> catalog;
  std::vector<std::weak_ptr<RecordsetImpl>> recordsets;
  // The live orders of table-type recordsets, and the bookmarks they share per table (by the
  // catalog's name of the table).
  std::vector<std::weak_ptr<TableOrder>> table_orders;
  std::map<std::string, std::shared_ptr<RowBookmarks>> row_bookmarks;
  // Bumped by every change of this connection that table orders cannot place record by record
  // (action queries, schema changes, rollbacks): they read their table again before next use.
  int64_t order_epoch = 0;

  // Enters a newly opened recordset in `recordsets`, dropping the entries of recordsets released
  // since, so that the list stays as long as the number of open recordsets even when a caller
  // opens and drops a clone for every record it handles.
  void RememberRecordset(const std::shared_ptr<RecordsetImpl>& rs) {
    std::erase_if(recordsets, [](const std::weak_ptr<RecordsetImpl>& w) { return w.expired(); });
    recordsets.push_back(rs);
  }

  // SQLite's data version: it changes when another connection commits to the file.
  int64_t DataVersion();
  // 3420 when the database has been closed.
  void CheckOpen() const;
  // 3027 when the database is read-only.
  void CheckWritable() const;
  // Runs `f` as one transaction (a savepoint, so that it nests in a workspace transaction).
  template <class F>
  void Atomically(F&& f) {
    connection->Exec("SAVEPOINT op");
    try {
      f();
      connection->Exec("RELEASE op");
    } catch (...) {
      ++cache_epoch;  // rows read meanwhile may show what is undone now
      ++order_epoch;
      try {
        connection->Exec("ROLLBACK TO op; RELEASE op");
      } catch (...) {
      }
      throw;
    }
  }
};

}  // namespace engine
