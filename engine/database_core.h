// The state of one open database that all its objects share: the SQLite connection, the
// catalog, the open mode, the read-cache epoch and the list of open recordsets.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/sqlite_connection.h"

namespace engine {

class RecordsetImpl;

struct DatabaseCore {
  std::string name;
  std::string connect;
  bool read_only = false;
  bool exclusive = false;
  bool closed = false;
  int32_t query_timeout = 60;
  int32_t records_affected = 0;
  // Bumped by DBEngine.Idle(dbRefreshCache) and by rollbacks: recordsets drop the rows they hold.
  int64_t cache_epoch = 0;
  std::unique_ptr<Connection> connection;
  std::unique_ptr<Catalog> catalog;
  std::vector<std::weak_ptr<RecordsetImpl>> recordsets;

  // Enters a newly opened recordset in `recordsets`, dropping the entries of recordsets released
  // since, so that the list stays as long as the number of open recordsets even when a caller
  // opens and drops a clone for every record it handles.
  void RememberRecordset(const std::shared_ptr<RecordsetImpl>& rs) {
    std::erase_if(recordsets, [](const std::weak_ptr<RecordsetImpl>& w) { return w.expired(); });
    recordsets.push_back(rs);
  }

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
      try {
        connection->Exec("ROLLBACK TO op; RELEASE op");
      } catch (...) {
      }
      throw;
    }
  }
};

}  // namespace engine
