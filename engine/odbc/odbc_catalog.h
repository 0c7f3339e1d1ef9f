// What a data source holds, as the ODBC catalog functions tell it: the tables and views, their
// columns with DAO types, their primary key and indexes. Read on first use and kept until
// Refresh; names are found without regard to case, as Jet finds them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/odbc/odbc_api.h"

namespace engine::odbc {

struct OdbcColumn {
  std::string name;
  SQLSMALLINT sql_type = SQL_VARCHAR;
  int dao_type = 10;  // dbText
  int32_t size = 0;   // characters of a text, bytes of a binary, 0 for memos and long binaries
  bool required = false;
  bool auto_increment = false;
  std::string server_default;  // as the server states it
  std::string default_value;   // the same as a Jet expression, or empty when it is none
  int ordinal = 0;
};

struct OdbcIndexColumn {
  std::string name;
  bool descending = false;
};

struct OdbcIndex {
  std::string name;
  bool primary = false;
  bool unique = false;
  std::vector<OdbcIndexColumn> columns;
};

struct OdbcTable {
  std::string schema;
  std::string name;
  bool view = false;
  bool details_loaded = false;
  std::vector<OdbcColumn> columns;
  std::vector<OdbcIndex> indexes;  // the primary key first when there is one

  const OdbcColumn* Column(const std::string& name) const;
  // The columns that identify a row: the primary key, else the first unique index whose
  // columns are all required, else none.
  std::vector<std::string> KeyColumns() const;
};

class Catalog {
 public:
  explicit Catalog(Connection& connection) : connection_(connection) {}

  // Forgets what was read; the next access reads again.
  void Refresh();
  // The tables and views (without their details).
  const std::vector<std::shared_ptr<OdbcTable>>& Tables();
  // The table named `name` with its columns and indexes, or null.
  std::shared_ptr<OdbcTable> Find(const std::string& name);
  // The table's name as the server wants it in SQL (schema-qualified and quoted).
  std::string SqlName(const OdbcTable& table) const;

 private:
  void LoadDetails(OdbcTable& table);

  Connection& connection_;
  bool loaded_ = false;
  std::vector<std::shared_ptr<OdbcTable>> tables_;
};

// The Jet form of a server's default expression: numbers as they are, texts in double quotes,
// booleans as True/False; anything else (functions, sequences, casts of expressions) gives "".
std::string JetDefault(const std::string& server_default);

}  // namespace engine::odbc
