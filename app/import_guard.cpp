#include "app/import_guard.h"

#include <climits>
#include <cstdlib>

#include "engine/database.h"
#include "engine/integrity.h"
#include "framework/exception.h"
#include "framework/file_lock.h"

namespace app {

std::string ImportLockFile(const std::string& path) {
  char resolved[PATH_MAX];
  const std::string real = ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  return real + "-import.lock";
}

std::shared_ptr<void> PrepareImport(const std::shared_ptr<dao::Database>& database,
                                    std::chrono::milliseconds wait) {
  if (!database || !engine::CoreOf(database)) return nullptr;
  // Two imports at once would each insert the numbers the other is inserting (a dynaset does not
  // see another connection's new records), so the second waits for the first. flock, not a row
  // in the database: a killed import must not leave the lock held.
  auto lock = std::make_shared<framework::TFileLock>();
  const std::string lock_file = ImportLockFile(database->Name());
  if (!lock->Acquire(lock_file, wait))
    throw framework::EDatabaseError(
        "Die Datenbank '" + database->Name() + "' wird gerade von einem anderen Import bearbeitet; nach " +
        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) +
        " Sekunden Wartezeit aufgegeben. Die Tabelle ist unver\xC3\xA4ndert.");
  engine::CheckIntegrity(database);
  return lock;
}

}  // namespace app
