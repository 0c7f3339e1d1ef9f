// Translation of parsed Jet SQL into the standard SQL that ODBC drivers take. Table and column
// names are resolved against the data source's catalog without regard to case and written with
// the driver's identifier quote; every literal becomes a bound parameter typed after the column
// it is compared with (dates as timestamps), so no text of the user reaches the server
// unparsed. What has no standard form (Jet's character classes in LIKE, XOR, subqueries and
// other statements the translator does not know) is refused with a clear error.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/jet_ast.h"
#include "engine/odbc/odbc_api.h"
#include "engine/odbc/odbc_catalog.h"
#include "framework/variant.h"

namespace engine::odbc {

// SQL text and the values of its markers, in order.
struct SqlPiece {
  std::string sql;
  std::vector<Param> params;
  void Append(const SqlPiece& other) {
    sql += other.sql;
    params.insert(params.end(), other.params.begin(), other.params.end());
  }
  bool empty() const { return sql.empty(); }
};

// A parameter of a query: declared by PARAMETERS or implied by a name that is no column.
struct QueryParam {
  std::string name;
  int type = 0;  // the declared DAO type; 0 for an implied parameter
  bool declared = false;
};

// A result column of a translated select.
struct OutColumn {
  std::string name;
  std::shared_ptr<OdbcTable> table;  // the base table of a plain column
  const OdbcColumn* column = nullptr;  // the base column, null for an expression
};

// A table of a FROM clause.
struct ScopeTable {
  std::string alias;  // as the query names it
  std::string sql_alias;  // quoted, as the translated SQL names it
  std::shared_ptr<OdbcTable> table;
};

// A translated SELECT in parts, so that a keyset, a read by key and a find can be built on it.
struct SelectSql {
  bool distinct = false;
  int64_t top = -1;
  bool top_percent = false;
  SqlPiece select_list;  // "a, b AS c"
  SqlPiece from;         // " FROM ..."
  SqlPiece where;        // the condition alone, or empty
  SqlPiece group;        // " GROUP BY ... HAVING ..." or empty
  SqlPiece unions;       // " UNION [ALL] SELECT ..." for each further select, or empty
  SqlPiece order;        // the ORDER BY list alone (of the whole union), or empty
  std::vector<OutColumn> columns;
  std::vector<ScopeTable> scope;
  std::vector<std::pair<std::string, ExprPtr>> aliases;  // select-list aliases
  // One table, no join, union, grouping, aggregate or DISTINCT: each record is a row of
  // `scope[0]`.
  bool single_table = false;

  // The whole statement.
  SqlPiece Full() const;
};

// Supplies the value of a parameter by name; false when it has none.
using ParamValues = std::function<bool(const std::string& name, framework::Variant& value)>;

class Translator {
 public:
  // Without `values` every parameter is bound as Null (to learn the parameters and columns).
  Translator(Connection& connection, Catalog& catalog, ParamValues values = nullptr)
      : connection_(connection), catalog_(catalog), values_(std::move(values)) {}

  // A select with further criteria ANDed to its WHERE and, when `sort` is not empty, that order
  // in place of its own.
  SelectSql Select(const engine::Select& select, const std::vector<ParamDecl>& declared,
                   const std::vector<ExprPtr>& filters = {}, const std::vector<OrderItem>& sort = {});
  // Criteria over the names of a translated select (a Find or Filter); names that are neither
  // columns nor aliases are 3070.
  SqlPiece Criteria(const SelectSql& select, const ExprPtr& criteria);
  // An INSERT, UPDATE or DELETE.
  SqlPiece Action(const JetStatement& statement);
  // CREATE TABLE, CREATE INDEX, DROP, ALTER TABLE ADD/DROP in the server's SQL, with Jet's
  // types named as the server names them. Values are written inline (DDL takes no parameters),
  // quoted after the standard.
  std::string Ddl(const JetStatement& statement);

  // Parameters met so far, in order of appearance (declared ones first).
  const std::vector<QueryParam>& parameters() const { return parameters_; }
  // 3061 naming the parameters that had no value; nothing when all had one or no values
  // were asked for.
  void CheckParameters() const;

 private:
  enum class Names { kQuery, kCriteria };
  SqlPiece Expr(const ExprPtr& e, int hint = 0);
  SqlPiece Literal(const Cell& value, int type);
  SqlPiece Name(const engine::Expr& e, int hint);
  SqlPiece Call(const engine::Expr& e);
  SqlPiece Like(const engine::Expr& e);
  std::string ColumnSql(const ColumnDecl& column, bool lone_primary_counter);
  std::string TypeSql(const ColumnDecl& column);
  int TypeOf(const ExprPtr& e);
  const OdbcColumn* Resolve(const engine::Expr& e, const ScopeTable** table);
  SqlPiece Parameter(const std::string& name);
  // "(SELECT ...)" of a subquery, whose names may also be those of the enclosing selects.
  SqlPiece Subquery(const engine::Select& select);
  void Declare(const std::vector<ParamDecl>& declared);
  void AddTable(const TableRef& ref, SqlPiece& from);
  [[noreturn]] void Unsupported(const std::string& what);

  Connection& connection_;
  Catalog& catalog_;
  ParamValues values_;
  Names names_ = Names::kQuery;
  std::vector<ScopeTable> scope_;
  std::vector<std::vector<ScopeTable>> outer_;  // scopes of the selects a subquery is in
  std::vector<std::pair<std::string, ExprPtr>> aliases_;
  std::vector<QueryParam> parameters_;
  std::vector<std::string> missing_;
  int alias_depth_ = 0;
};

// The Jet LIKE pattern as a standard one with "\" as escape character; false when it holds
// what standard LIKE cannot say ("#" for a digit, character classes; a bracketed single
// character such as "[*]" is that character).
bool StandardLikePattern(const std::string& jet, std::string& standard);

}  // namespace engine::odbc
