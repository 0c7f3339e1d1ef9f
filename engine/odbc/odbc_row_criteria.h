// Criteria tested on records held in memory (the Find methods of snapshots and of sets without a
// key), with Jet's comparison: texts without regard to case, Null matching nothing.
#pragma once

#include <string>
#include <vector>

#include "engine/jet_ast.h"
#include "engine/odbc/odbc_definitions.h"
#include "engine/sqlite_connection.h"

namespace engine::odbc {

// True when `row` (one cell per field of `fields`) meets `criteria`. A name that is no field is
// 3070; a function or operator that is not supported here is 3251.
bool RowMatches(const ExprPtr& criteria, const std::vector<FieldInfo>& fields, const std::vector<Cell>& row);

}  // namespace engine::odbc
