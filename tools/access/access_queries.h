// Writing a saved query of an Access file back as Jet SQL: Access keeps a query not as text but
// as rows of its parts (tables, output columns, joins, criteria, grouping, order, parameters).
#pragma once

#include <string>
#include <vector>

#include "tools/access/access_schema.h"

namespace access_file {

struct QuerySql {
  bool select = false;  // a select query, written as `sql`
  std::string sql;
  std::string kind;     // "select query", "update query" ...
};

// The SQL of a select query; for every other kind of query only its kind. A select query whose
// joins cannot be written as one FROM clause answers select with an empty `sql`.
QuerySql QueryToSql(const std::vector<QueryRow>& rows);

}  // namespace access_file
