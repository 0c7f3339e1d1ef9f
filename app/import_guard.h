// What the program does before an import changes anything: it takes the database's import lock,
// so that only one import at a time works on a database, and checks the database's integrity,
// so that an import never spreads damage.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "dao/dao_interfaces.h"

namespace app {

// How long an import waits for another import of the same database to finish.
constexpr std::chrono::seconds kImportLockWait{60};

// The lock file of the database file `path`: its real path (links resolved, so that every way of
// naming the file finds the same lock) with "-import.lock" appended.
std::string ImportLockFile(const std::string& path);

// Prepares an import into `database`: takes the import lock of its file, waiting up to `wait`,
// then runs the integrity check. Answers the lock, held until the answer is dropped. Raises
// framework::EDatabaseError when another import kept the lock for all of `wait`, and the engine's
// error when the database is damaged; nothing is changed either way. A database that is no file
// of this engine (an ODBC data source) gets neither: its server keeps concurrent sessions apart
// and answers for its own integrity, so the answer is then null.
std::shared_ptr<void> PrepareImport(const std::shared_ptr<dao::Database>& database,
                                    std::chrono::milliseconds wait);

}  // namespace app
