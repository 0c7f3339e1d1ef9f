// Translation of parsed Jet SQL into SQLite SQL. Names are resolved against the catalog (and a
// recordset's fields); every literal and parameter becomes a bound value, so no text of the
// user ever reaches SQLite unparsed. Unknown names are parameters in queries and 3070 errors in
// criteria. Chains of operators are translated without recursing per term, AND, OR and & into
// balanced groups, so that long criteria stay within SQLite's limits on nesting.
#pragma once

#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/jet_ast.h"
#include "engine/sqlite_connection.h"

namespace engine {

// A value bound to one "?" of the translated SQL.
struct Slot {
  enum Kind { kValue, kParameter, kRowColumn } kind = kValue;
  Cell value;     // kValue
  int index = 0;  // kParameter: position in the parameter list; kRowColumn: field position
};

// A parameter of a query: declared by PARAMETERS or implied by an unknown name.
struct ParamInfo {
  std::string name;
  int type = 10;  // dbText
  bool declared = false;
};

// A result column of a select.
struct OutField {
  std::string name;
  int type = 10;
  int32_t size = 0;
  int32_t attributes = 0;
  bool required = false;
  std::string default_value;
  std::string table;   // base table of a plain column
  std::string column;  // base column, empty for expressions
  std::string sql;     // the value as SQLite SQL (as stored for plain columns, a Null Yes/No as No)
  std::vector<Slot> slots;  // the values bound to the "?" marks in `sql`
  bool updatable = false;
  std::vector<PropertyValue> properties;
};

// A translated SELECT: its parts, so that a keyset, a row read and a find can be built from it.
struct SelectPlan {
  std::vector<OutField> fields;
  bool keyset = false;  // one base table, no grouping or DISTINCT: records have row ids
  std::string base_table;
  std::string base_alias;
  std::string select_sql;  // "a, b, c" (with DISTINCT prefix when needed)
  std::string from_sql;    // " FROM ..."
  std::string where_sql;   // " WHERE ..." or empty
  std::string tail_sql;    // " GROUP BY ... HAVING ..." or empty
  std::string order_sql;   // " ORDER BY ..." or empty
  std::string limit_sql;   // " LIMIT n" or empty
  std::vector<Slot> select_slots, from_slots, where_slots, tail_slots, order_slots;
  std::vector<ParamInfo> parameters;
  bool distinct = false;  // select_sql begins with DISTINCT
};

// A recordset's source: the select, and the criteria and order of recordsets opened from it.
struct QuerySource {
  Select select;
  std::vector<ParamDecl> declared;
  std::vector<ExprPtr> filters;          // each ANDed; unknown names are 3070
  std::vector<OrderItem> sort;           // replaces the select's ORDER BY when not empty
};

// Builds the plan of a select.
SelectPlan PlanSelect(const Catalog& catalog, const QuerySource& source);

// Translates criteria over a plan's fields into SQL over its FROM clause (for finds on keysets).
std::string TranslateCriteria(const Catalog& catalog, const SelectPlan& plan, const ExprPtr& criteria,
                              std::vector<Slot>& slots);
// Translates criteria into an expression whose field references are row slots (kRowColumn),
// for testing rows held in memory.
std::string TranslateRowCriteria(const SelectPlan& plan, const ExprPtr& criteria,
                                 std::vector<Slot>& slots);
// Translates ORDER BY items over a plan's FROM clause.
std::string TranslateOrder(const Catalog& catalog, const SelectPlan& plan,
                           const std::vector<OrderItem>& items, std::vector<Slot>& slots);

// A translated action statement (INSERT, UPDATE, DELETE).
struct ActionPlan {
  std::string sql;
  std::vector<Slot> slots;
  std::vector<ParamInfo> parameters;
};
ActionPlan PlanAction(const Catalog& catalog, const JetStatement& statement);

// A make-table query (SELECT ... INTO): the new table, with the DAO types of the selected
// fields, and the INSERT that fills it once it exists.
struct MakeTablePlan {
  TableInfo table;
  ActionPlan insert;
};
MakeTablePlan PlanMakeTable(const Catalog& catalog, const JetStatement& statement);

// The parameters a statement needs (declared ones first, then implied ones in order).
std::vector<ParamInfo> StatementParameters(const Catalog& catalog, const JetStatement& statement);

// SQLite SQL of a default-value expression of a column, with literals inline.
std::string TranslateDefault(const std::string& expression, const ColumnInfo& column);

// Resolves a slot list into bound cells.
std::vector<Cell> BindSlots(const std::vector<Slot>& slots, const std::vector<Cell>& parameters,
                            const std::vector<Cell>* row = nullptr);

}  // namespace engine
