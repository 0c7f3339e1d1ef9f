// The syntax tree of Jet SQL statements and expressions, as the parser builds it and the
// translator reads it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

struct Expr;
struct Select;
using ExprPtr = std::shared_ptr<const Expr>;

struct Expr {
  enum Kind {
    kNull,
    kInteger,   // integer
    kReal,      // real
    kString,    // text
    kDate,      // real: a DAO date
    kGuid,      // text: 16 bytes
    kBool,      // integer: -1 or 0
    kName,      // parts: qualifier(s) and name; text: as written
    kStar,      // * in Count(*) or a select list (text: table qualifier or empty)
    kUnary,     // op: "-", "+", "NOT"; args[0]
    kBinary,    // op: "+", "-", "*", "/", "\\", "MOD", "^", "&", "=", "<>", "<", ">", "<=", ">=",
                //     "AND", "OR", "XOR", "EQV", "IMP"; args[0], args[1]
    kLike,      // args[0] LIKE args[1]; negated
    kIn,        // args[0] IN (args[1..]); negated
    kBetween,   // args[0] BETWEEN args[1] AND args[2]; negated
    kIsNull,    // args[0] IS NULL; negated
    kCall,      // op: function name in upper case; args
    kSubquery,  // (SELECT ...) as a value: subquery
    kExists,    // EXISTS (SELECT ...): subquery
    kQuantified,  // args[0] op ANY|ALL (SELECT ...): op the comparison, text "ANY" or "ALL"; subquery
  };
  Kind kind = kNull;
  std::string op;
  std::string text;
  std::vector<std::string> parts;
  int64_t integer = 0;
  double real = 0;
  bool negated = false;
  std::vector<ExprPtr> args;
  // kSubquery, kExists, kQuantified; and kIn with a subquery in place of a list (args = {value}).
  std::shared_ptr<const Select> subquery;

  Expr() = default;
  Expr(const Expr&) = default;
  Expr(Expr&&) = default;
  Expr& operator=(const Expr&) = default;
  Expr& operator=(Expr&&) = default;
  // Releases the children without recursion, so that a chain of many thousand terms cannot
  // exhaust the stack when it is destroyed.
  ~Expr();
};

struct SelectItem {
  ExprPtr expr;       // null for a star
  std::string alias;  // AS name
  bool star = false;
  std::string star_table;  // T.* names T
  std::string source;      // the item as written
};

struct TableRef {
  std::string name;
  std::string alias;
};

struct Join {
  enum Kind { kInner, kLeft, kRight } kind = kInner;
  TableRef table;
  ExprPtr on;
};

struct FromItem {
  TableRef first;
  std::vector<Join> joins;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct Select {
  bool distinct = false;
  int64_t top = -1;
  bool top_percent = false;
  std::vector<SelectItem> items;
  std::vector<FromItem> from;
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
  std::vector<OrderItem> order_by;  // with UNION: the order of the whole result
  // Further selects joined by UNION (all = UNION ALL); they have no ORDER BY of their own.
  struct UnionPart {
    bool all = false;
    std::shared_ptr<const Select> select;
  };
  std::vector<UnionPart> unions;
};

struct ParamDecl {
  std::string name;
  int type = 10;  // dbText
  int32_t size = 0;
};

struct ColumnDecl {
  std::string name;
  int type = 10;
  int32_t size = 0;
  bool counter = false;
  bool not_null = false;
  bool has_default = false;
  std::string default_text;  // as written
  bool primary = false;      // PRIMARY KEY on the column
  bool unique = false;
  std::string constraint_name;
};

struct ConstraintDecl {
  enum Kind { kPrimary, kUnique, kForeign } kind = kPrimary;
  std::string name;
  std::vector<std::string> columns;
  std::string ref_table;
  std::vector<std::string> ref_columns;
};

struct IndexColumn {
  std::string name;
  bool descending = false;
};

struct JetStatement {
  enum Kind {
    kSelect,
    kInsert,
    kUpdate,
    kDelete,
    kCreateTable,
    kCreateIndex,
    kDropTable,
    kDropIndex,
    kAlterAddColumn,
    kAlterDropColumn,
    kSelectInto,  // SELECT ... INTO table: `table` and `select`
  };
  Kind kind = kSelect;
  std::vector<ParamDecl> parameters;
  Select select;  // kSelect, kSelectInto, and kInsert ... SELECT
  // kInsert, kUpdate, kDelete, DDL
  std::string table;
  std::string table_alias;
  std::vector<std::string> columns;                        // INSERT column list
  std::vector<std::vector<ExprPtr>> values;                // INSERT VALUES rows
  bool insert_select = false;
  std::vector<std::pair<std::string, ExprPtr>> assignments;  // UPDATE SET
  ExprPtr where;
  std::vector<ColumnDecl> column_decls;       // CREATE TABLE, ALTER ADD
  std::vector<ConstraintDecl> constraints;    // CREATE TABLE, ALTER ADD CONSTRAINT
  std::string index;                          // CREATE/DROP INDEX name; ALTER DROP column
  std::vector<IndexColumn> index_columns;
  bool unique = false, primary = false, disallow_null = false, ignore_null = false;
};

}  // namespace engine
