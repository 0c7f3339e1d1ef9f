// The definition objects: table definitions, their fields and indexes, and query definitions
// with their parameters. An object made by CreateTableDef, CreateField, CreateIndex is a draft
// until it is appended; after that it reads and changes the catalog.
#pragma once

#include <memory>
#include <string>

#include "dao/dao_interfaces.h"
#include "engine/database_core.h"

namespace engine {

// Makes the TableDefs and QueryDefs collections of a database.
std::shared_ptr<dao::TableDefs> MakeTableDefs(const std::shared_ptr<DatabaseCore>& db);
std::shared_ptr<dao::QueryDefs> MakeQueryDefs(const std::shared_ptr<DatabaseCore>& db);
// A draft table definition (Database.CreateTableDef).
std::shared_ptr<dao::TableDef> MakeDraftTableDef(const std::shared_ptr<DatabaseCore>& db, const std::string& name,
                                                 int32_t attributes);
// A query definition; stored at once when it has a name.
std::shared_ptr<dao::QueryDef> MakeQueryDef(const std::shared_ptr<DatabaseCore>& db, const std::string& name,
                                            const std::string& sql);
// Runs a Jet SQL statement (action query or DDL) with parameter values; answers the number of
// records affected.
int32_t ExecuteStatement(const std::shared_ptr<DatabaseCore>& db, const std::string& sql,
                         const std::vector<std::pair<std::string, dao::Variant>>& parameters);

}  // namespace engine
