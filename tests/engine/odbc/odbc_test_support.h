// What the ODBC tests share: a throw-away PostgreSQL cluster for the whole test binary (made
// with initdb in a temporary folder, reached only through a Unix socket there, stopped and
// removed when the binary ends, also when it crashes), a temporary odbc.ini naming it and a
// SQLite data source, and small helpers to run the server's own SQL.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "framework/variant.h"

namespace odbc_test {

using dao::Variant;

// The cluster and the data sources. Start() is called once by the test environment.
class Servers {
 public:
  // Makes the temporary folder, the cluster, the databases "geb" and "geb2" and the odbc.ini
  // (ODBCINI points at it); fails the test program when something is missing.
  static void Start();
  // Stops the cluster and removes the folder (also done by a guard process when the test
  // program dies).
  static void Stop();

  static const std::string& Folder();
  // The PostgreSQL data source (Unicode driver) and its user and password.
  static std::string PgDsn() { return "GebPG"; }
  static std::string PgUser() { return "geb"; }
  static std::string PgPassword() { return "Geheim-42"; }
  // A second data source on the same server's other database, for the benchmark-like runs.
  static std::string PgDsn2() { return "GebPG2"; }
  // The SQLite data source (libsqliteodbc) on a file in the folder.
  static std::string SqliteDsn() { return "GebSQLite"; }
  // The connect text of the PostgreSQL source with user and password: "ODBC;DSN=...;UID=...;PWD=...".
  static std::string PgConnect();
};

// Runs the server's own SQL on a data source (pass-through), for setting tables up.
void Exec(dao::Database& db, const std::string& sql);
// Opens a data source through a fresh engine's ODBCDirect workspace.
std::shared_ptr<dao::Database> OpenPg(const std::string& dsn = Servers::PgDsn());
std::shared_ptr<dao::Database> OpenSqlite();

// The DAO error number `f` raises, 0 when none.
template <class F>
int ErrorOf(F&& f) {
  try {
    f();
  } catch (const dao::EOleException& e) {
    return e.ErrorCode();
  }
  return 0;
}

// The birthday table as the program wants it, on PostgreSQL (dropped first when it exists).
void CreatePgBirthdays(dao::Database& db);

}  // namespace odbc_test
