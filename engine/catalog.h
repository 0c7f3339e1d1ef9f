// The database's schema as the engine keeps it: tables with their Jet field and index
// attributes, stored queries and user-defined properties, held in the engine's system tables
// (MSys*) and mirrored into the SQLite schema. Every schema change goes through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/jet_ast.h"
#include "engine/sqlite_connection.h"
#include "framework/variant.h"

namespace engine {

struct PropertyValue {
  std::string name;
  int type = 10;
  framework::Variant value;
};

struct ColumnInfo {
  std::string name;
  int type = 10;
  int32_t size = 255;
  int32_t attributes = 0;  // dbAutoIncrField, dbFixedField, dbVariableField (dbUpdatableField is added when read)
  bool required = false;
  bool allow_zero_length = true;
  std::string default_value;  // as written
  std::string validation_rule;
  std::string validation_text;
  std::vector<PropertyValue> properties;  // user-defined: Format, Caption ...

  bool IsCounter() const;
};

struct IndexInfo {
  std::string name;
  bool primary = false;
  bool unique = false;
  bool required = false;
  bool ignore_nulls = false;
  bool foreign = false;
  std::vector<IndexColumn> columns;
};

struct TableInfo {
  std::string name;
  int32_t attributes = 0;
  double created = 0;
  double updated = 0;
  std::string validation_rule;
  std::string validation_text;
  std::vector<ColumnInfo> columns;
  std::vector<IndexInfo> indexes;
  std::vector<PropertyValue> properties;

  bool IsSystem() const;
  // Position of a column by name (no regard to case), or -1.
  int ColumnIndex(const std::string& name) const;
  const ColumnInfo* Column(const std::string& name) const;
  int IndexPosition(const std::string& name) const;
  // The counter column, or -1.
  int CounterColumn() const;
};

struct QueryInfo {
  std::string name;
  std::string sql;
  double created = 0;
  double updated = 0;
  std::vector<PropertyValue> properties;
};

// Translates a default-value expression to SQLite SQL (literals inline); set by the translator.
using DefaultTranslator = std::string (*)(const std::string& expression, const ColumnInfo& column);

class Catalog {
 public:
  explicit Catalog(Connection& connection) : connection_(connection) {}

  // Creates the system tables in a new, empty database.
  static void Initialize(Connection& connection, int collating_order);
  // True when the connection's file carries this engine's signature.
  static bool IsEngineDatabase(Connection& connection);

  // Reads everything from the system tables.
  void Load();
  // Reloads when another connection has changed the schema since the last load.
  void Refresh();

  const std::vector<TableInfo>& tables() const { return tables_; }
  const std::vector<QueryInfo>& queries() const { return queries_; }
  const TableInfo* FindTable(const std::string& name) const;
  const QueryInfo* FindQuery(const std::string& name) const;
  // The table, or 3078 naming it.
  const TableInfo& Table(const std::string& name) const;
  std::string EngineValue(const std::string& key) const;

  // ---- schema changes (each in one transaction; 3010 when the name exists)
  void CreateTable(TableInfo table);
  void DropTable(const std::string& name);
  void AddColumn(const std::string& table, ColumnInfo column);
  void DropColumn(const std::string& table, const std::string& column);
  // Replaces a column's definition (rebuilds the table; the data is kept).
  void AlterColumn(const std::string& table, const std::string& column, ColumnInfo changed);
  void CreateIndex(const std::string& table, IndexInfo index);
  void DropIndex(const std::string& table, const std::string& index);
  void RenameTable(const std::string& table, const std::string& new_name);
  void SetTableAttributes(const std::string& table, int32_t attributes);
  // Stores a user-defined property of a table (field empty) or of a field.
  void SetProperty(const std::string& object, const std::string& field, const PropertyValue& p);
  void DeleteProperty(const std::string& object, const std::string& field, const std::string& name);
  void SaveQuery(const QueryInfo& query);  // creates or replaces
  void DeleteQuery(const std::string& name);
  void RenameQuery(const std::string& name, const std::string& new_name);

  static void SetDefaultTranslator(DefaultTranslator translator) { default_translator_ = translator; }

 private:
  void WriteTableMeta(const TableInfo& t);
  // The MSysIndexes row of `index` of `table`.
  void WriteIndexMeta(const std::string& table, const IndexInfo& index);
  void DeleteTableMeta(const std::string& name);
  void CreateSqliteTable(const TableInfo& t, const std::string& sqlite_name);
  void CreateSqliteIndexes(const TableInfo& t);
  void Rebuild(const TableInfo& old_table, const TableInfo& new_table,
               const std::vector<std::pair<std::string, std::string>>& copied);
  void Touch();
  void CheckNewName(const std::string& name) const;
  template <class F>
  void InTransaction(F&& f);

  Connection& connection_;
  std::vector<TableInfo> tables_;
  std::vector<QueryInfo> queries_;
  std::vector<std::pair<std::string, std::string>> engine_values_;
  int64_t stamp_ = -1;
  static DefaultTranslator default_translator_;
};

// The SQLite name of an index of a table.
std::string SqliteIndexName(const std::string& table, const std::string& index);
// Case-insensitive comparison of names (Unicode-aware).
bool SameName(const std::string& a, const std::string& b);

}  // namespace engine
