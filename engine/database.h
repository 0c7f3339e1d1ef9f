// The engine's Database object: one open database file.
#pragma once

#include <memory>
#include <string>

#include "dao/dao_interfaces.h"
#include "engine/database_core.h"

namespace engine {

// Opens an existing database file (3024 when missing, 3343 when it is not one of this engine's
// databases, 3045 when another holds it exclusively). `connect` may carry ";BUSYTIMEOUT=ms".
std::shared_ptr<dao::Database> OpenDatabaseFile(const std::string& path, bool exclusive, bool read_only,
                                                const std::string& connect);
// Creates a new database file (3204 when the file exists).
std::shared_ptr<dao::Database> CreateDatabaseFile(const std::string& path, const std::string& locale);

// The shared state behind a Database object of this engine (null for other objects).
std::shared_ptr<DatabaseCore> CoreOf(const std::shared_ptr<dao::Database>& database);

}  // namespace engine
