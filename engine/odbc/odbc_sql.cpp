#include "engine/odbc/odbc_sql.h"

#include <algorithm>
#include <iterator>

#include "dao/dao_constants.h"
#include "engine/catalog.h"
#include "engine/errors.h"
#include "engine/jet_parser.h"
#include "engine/values.h"
#include "framework/format_settings.h"
#include "framework/strings.h"

namespace engine::odbc {

using namespace dao;

namespace {

std::string NameText(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ".") + p;
  return out;
}

bool IsAggregate(const std::string& f) {
  return f == "COUNT" || f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX" || f == "FIRST" || f == "LAST" ||
         f == "STDEV" || f == "VAR";
}

bool HasAggregate(const ExprPtr& e) {
  if (!e) return false;
  if (e->kind == engine::Expr::kCall && IsAggregate(e->op)) return true;
  for (const auto& a : e->args)
    if (HasAggregate(a)) return true;
  return false;
}

SqlPiece Text(std::string sql) { return SqlPiece{std::move(sql), {}}; }

}  // namespace

SqlPiece SelectSql::Full() const {
  SqlPiece out = Text(distinct ? "SELECT DISTINCT " : "SELECT ");
  out.Append(select_list);
  out.Append(from);
  if (!where.empty()) {
    out.sql += " WHERE ";
    out.Append(where);
  }
  out.Append(group);
  out.Append(unions);
  if (!order.empty()) {
    out.sql += " ORDER BY ";
    out.Append(order);
  }
  return out;
}

bool StandardLikePattern(const std::string& jet, std::string& standard) {
  standard.clear();
  for (size_t k = 0; k < jet.size(); ++k) {
    char c = jet[k];
    if (c == '[') {
      // A bracketed single character stands for itself ("[*]" is a star); real classes have
      // no standard form.
      if (k + 2 < jet.size() && jet[k + 2] == ']' && jet[k + 1] != '!') {
        c = jet[k + 1];
        k += 2;
        if (c == '%' || c == '_' || c == '\\') standard += '\\';
        standard += c;
        continue;
      }
      return false;
    }
    switch (c) {
      case '*': standard += '%'; break;
      case '?': standard += '_'; break;
      case '#': return false;
      case '%': case '_': case '\\':
        standard += '\\';
        standard += c;
        break;
      default: standard += c;
    }
  }
  return true;
}

void Translator::Unsupported(const std::string& what) {
  Raise(err::kNotSupported, what + " is not supported on ODBC data sources; run the statement with dbSQLPassThrough "
                                   "in the server's own SQL instead.");
}

void Translator::Declare(const std::vector<ParamDecl>& declared) {
  for (const ParamDecl& d : declared) {
    bool known = false;
    for (const auto& p : parameters_) known = known || SameName(p.name, d.name);
    if (!known) parameters_.push_back({d.name, d.type, true});
  }
}

void Translator::CheckParameters() const {
  if (missing_.empty()) return;
  std::string names;
  for (const auto& m : missing_) names += (names.empty() ? "" : ", ") + m;
  Raise(err::kTooFewParameters,
        "Too few parameters. Expected " + std::to_string(missing_.size()) + " (" + names + ").");
}

SqlPiece Translator::Parameter(const std::string& name) {
  const QueryParam* known = nullptr;
  for (const auto& p : parameters_)
    if (SameName(p.name, name)) known = &p;
  if (known == nullptr) {
    parameters_.push_back({name, 0, false});
    known = &parameters_.back();
  }
  framework::Variant value;
  Cell cell;
  if (values_ && values_(known->name, value) && !value.IsEmpty()) {
    cell = known->declared ? VariantToCell(known->type, 0, value, known->name) : NaturalCell(value);
  } else if (values_) {
    bool listed = false;
    for (const auto& m : missing_) listed = listed || SameName(m, known->name);
    if (!listed) missing_.push_back(known->name);
  }
  SqlPiece out = Text("?");
  out.params.push_back(Param{cell, known->declared ? known->type : 0});
  return out;
}

const OdbcColumn* Translator::Resolve(const engine::Expr& e, const ScopeTable** table) {
  const auto& parts = e.parts;
  if (parts.empty()) return nullptr;
  const std::string& column = parts.back();
  // The select's own tables first, then those of the selects around a subquery, inside out.
  auto in = [&](const std::vector<ScopeTable>& scope) -> const OdbcColumn* {
    for (const auto& t : scope) {
      if (parts.size() >= 2 && !SameName(t.alias, parts[parts.size() - 2]) &&
          !(t.table && SameName(t.table->name, parts[parts.size() - 2])))
        continue;
      if (const OdbcColumn* c = t.table->Column(column)) {
        *table = &t;
        return c;
      }
    }
    return nullptr;
  };
  if (const OdbcColumn* c = in(scope_)) return c;
  for (auto it = outer_.rbegin(); it != outer_.rend(); ++it)
    if (const OdbcColumn* c = in(*it)) return c;
  return nullptr;
}

SqlPiece Translator::Subquery(const engine::Select& select) {
  const Names names = names_;
  auto scope = scope_;
  auto aliases = aliases_;
  const int depth = alias_depth_;
  outer_.push_back(scope);
  SqlPiece out;
  try {
    alias_depth_ = 0;
    const SelectSql inner = Select(select, {});
    if (inner.top >= 0) Unsupported("TOP in a subquery");
    out = Text("(");
    out.Append(inner.Full());
    out.sql += ")";
  } catch (...) {
    outer_.pop_back();
    names_ = names, scope_ = std::move(scope), aliases_ = std::move(aliases), alias_depth_ = depth;
    throw;
  }
  outer_.pop_back();
  names_ = names, scope_ = std::move(scope), aliases_ = std::move(aliases), alias_depth_ = depth;
  return out;
}

int Translator::TypeOf(const ExprPtr& e) {
  if (!e) return 0;
  switch (e->kind) {
    case engine::Expr::kName: {
      const ScopeTable* t = nullptr;
      if (const OdbcColumn* c = Resolve(*e, &t)) return c->dao_type;
      return 0;
    }
    case engine::Expr::kCall:
      if (e->op == "LCASE" || e->op == "UCASE" || e->op == "TRIM" || e->op == "LTRIM" || e->op == "RTRIM" ||
          e->op == "MID" || e->op == "LEFT")
        return dbText;
      return 0;
    default: return 0;
  }
}

SqlPiece Translator::Literal(const Cell& value, int type) {
  SqlPiece out = Text("?");
  out.params.push_back(Param{value, type});
  return out;
}

SqlPiece Translator::Name(const engine::Expr& e, int hint) {
  (void)hint;
  const ScopeTable* t = nullptr;
  if (const OdbcColumn* c = Resolve(e, &t))
    return Text(t->sql_alias + "." + connection_.Quote(c->name));
  // A select-list alias stands for its expression (once: an alias of itself is no column).
  if (e.parts.size() == 1 && alias_depth_ == 0) {
    for (const auto& [alias, expr] : aliases_)
      if (SameName(alias, e.parts.back())) {
        ++alias_depth_;
        SqlPiece out;
        try {
          out = Text("(");
          out.Append(Expr(expr));
          out.sql += ")";
        } catch (...) {
          --alias_depth_;
          throw;
        }
        --alias_depth_;
        return out;
      }
  }
  if (names_ == Names::kCriteria)
    Raise(err::kUnknownName, "The name " + Quoted(NameText(e.parts)) + " is not a field of the recordset.");
  return Parameter(NameText(e.parts));
}

SqlPiece Translator::Like(const engine::Expr& e) {
  SqlPiece out = Text("(");
  out.Append(Expr(e.args[0]));
  // Jet's LIKE ignores case; PostgreSQL says so with ILIKE, other servers' LIKE mostly does.
  const char* like = connection_.dbms_name() == "PostgreSQL" ? " ILIKE " : " LIKE ";
  out.sql += std::string(e.negated ? " NOT" : "") + like;
  const ExprPtr& pattern = e.args[1];
  if (pattern->kind == engine::Expr::kString) {
    std::string standard;
    if (!StandardLikePattern(pattern->text, standard))
      Unsupported("The LIKE pattern " + Quoted(pattern->text) + " (with # or a character class [...])");
    out.Append(Literal(Cell::Text(standard), dbText));
    out.sql += " ESCAPE '\\')";
    return out;
  }
  // A pattern computed by the query (a LCASE of a literal, a parameter) is taken as it comes.
  if (pattern->kind == engine::Expr::kCall && pattern->args.size() == 1 &&
      pattern->args[0]->kind == engine::Expr::kString && (pattern->op == "LCASE" || pattern->op == "UCASE")) {
    std::string standard;
    if (!StandardLikePattern(pattern->args[0]->text, standard))
      Unsupported("The LIKE pattern " + Quoted(pattern->args[0]->text) + " (with # or a character class [...])");
    out.sql += pattern->op == "LCASE" ? "LOWER(" : "UPPER(";
    out.Append(Literal(Cell::Text(standard), dbText));
    out.sql += ") ESCAPE '\\')";
    return out;
  }
  out.Append(Expr(pattern));
  out.sql += ")";
  return out;
}

SqlPiece Translator::Call(const engine::Expr& e) {
  const std::string& f = e.op;
  auto args = [&](size_t low, size_t high) {
    if (e.args.size() < low || e.args.size() > high)
      Raise(err::kExpressionSyntax, "Wrong number of arguments for the function " + f + ".");
  };
  auto call = [&](const std::string& name) {
    SqlPiece out = Text(name + "(");
    for (size_t k = 0; k < e.args.size(); ++k) {
      if (k) out.sql += ", ";
      if (e.args[k]->kind == engine::Expr::kStar) out.sql += "*";
      else out.Append(Expr(e.args[k]));
    }
    out.sql += ")";
    return out;
  };
  if (f == "COUNT" || f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX") {
    args(1, 1);
    return call(f);
  }
  if (f == "LCASE" || f == "LCASE$") return args(1, 1), call("LOWER");
  if (f == "UCASE" || f == "UCASE$") return args(1, 1), call("UPPER");
  if (f == "LEN") return args(1, 1), call("LENGTH");
  if (f == "TRIM" || f == "LTRIM" || f == "RTRIM" || f == "ABS" || f == "ROUND") return args(1, 2), call(f);
  if (f == "MID" || f == "MID$") return args(2, 3), call("SUBSTR");
  if (f == "LEFT" || f == "LEFT$") {
    args(2, 2);
    SqlPiece out = Text("SUBSTR(");
    out.Append(Expr(e.args[0]));
    out.sql += ", 1, ";
    out.Append(Expr(e.args[1]));
    out.sql += ")";
    return out;
  }
  if (f == "NZ") {
    args(1, 2);
    SqlPiece out = Text("COALESCE(");
    out.Append(Expr(e.args[0]));
    out.sql += ", ";
    if (e.args.size() == 2) out.Append(Expr(e.args[1], TypeOf(e.args[0])));
    else out.Append(Literal(Cell::Text(""), dbText));
    out.sql += ")";
    return out;
  }
  if (f == "IIF") {
    args(3, 3);
    SqlPiece out = Text("(CASE WHEN ");
    out.Append(Expr(e.args[0]));
    out.sql += " THEN ";
    out.Append(Expr(e.args[1]));
    out.sql += " ELSE ";
    out.Append(Expr(e.args[2]));
    out.sql += " END)";
    return out;
  }
  if (f == "NOW") return args(0, 0), Text("CURRENT_TIMESTAMP");
  if (f == "DATE") return args(0, 0), Text("CURRENT_DATE");
  Unsupported("The function " + f);
}

SqlPiece Translator::Expr(const ExprPtr& e, int hint) {
  using K = engine::Expr;
  switch (e->kind) {
    case K::kNull: return Text("NULL");
    case K::kInteger:
      if (hint != 0 && hint != dbText && hint != dbMemo)
        return Literal(VariantToCell(hint, 0, framework::Variant(static_cast<long long>(e->integer)), "literal"), hint);
      return Literal(Cell::Int(e->integer), e->integer >= INT32_MIN && e->integer <= INT32_MAX ? dbLong : dbBigInt);
    case K::kReal: return Literal(Cell::Real(e->real), dbDouble);
    case K::kString:
      // A text compared with a column of another type is taken as a value of that type.
      if (hint != 0 && hint != dbText && hint != dbMemo && hint != dbChar) {
        try {
          return Literal(VariantToCell(hint, 0, framework::Variant(e->text), "literal"), hint);
        } catch (const dao::EOleException&) {
        }
      }
      return Literal(Cell::Text(e->text), dbText);
    case K::kDate: return Literal(Cell::Real(e->real), dbDate);
    case K::kGuid: return Literal(Cell::Blob(e->text), dbGUID);
    case K::kBool:
      if (hint == dbBoolean) return Literal(Cell::Int(e->integer ? -1 : 0), dbBoolean);
      if (hint != 0) return Literal(Cell::Int(e->integer ? -1 : 0), dbLong);
      return Text(e->integer ? "TRUE" : "FALSE");
    case K::kName: return Name(*e, hint);
    case K::kStar: Raise(err::kExpressionSyntax, "'*' is not a value.");
    case K::kUnary: {
      if (e->op == "NOT") {
        SqlPiece out = Text("(NOT ");
        out.Append(Expr(e->args[0]));
        out.sql += ")";
        return out;
      }
      SqlPiece out = Text(e->op == "-" ? "(-" : "(");
      out.Append(Expr(e->args[0], hint));
      out.sql += ")";
      return out;
    }
    case K::kBinary: {
      const std::string& op = e->op;
      std::string sql_op;
      if (op == "AND" || op == "OR" || op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" ||
          op == ">=" || op == "+" || op == "-" || op == "*" || op == "/")
        sql_op = op;
      else if (op == "&") sql_op = "||";
      else if (op == "MOD") sql_op = "%";
      else Unsupported("The operator " + op);
      const bool comparison = op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
      const int left_type = comparison ? TypeOf(e->args[0]) : 0;
      const int right_type = comparison ? TypeOf(e->args[1]) : 0;
      SqlPiece out = Text("(");
      out.Append(Expr(e->args[0], comparison ? right_type : hint));
      out.sql += " " + sql_op + " ";
      out.Append(Expr(e->args[1], comparison ? left_type : hint));
      out.sql += ")";
      return out;
    }
    case K::kLike: return Like(*e);
    case K::kIn: {
      const int t = TypeOf(e->args[0]);
      SqlPiece out = Text("(");
      out.Append(Expr(e->args[0]));
      if (e->subquery) {
        out.sql += e->negated ? " NOT IN " : " IN ";
        out.Append(Subquery(*e->subquery));
        out.sql += ")";
        return out;
      }
      out.sql += e->negated ? " NOT IN (" : " IN (";
      for (size_t k = 1; k < e->args.size(); ++k) {
        if (k > 1) out.sql += ", ";
        out.Append(Expr(e->args[k], t));
      }
      out.sql += "))";
      return out;
    }
    case K::kBetween: {
      const int t = TypeOf(e->args[0]);
      SqlPiece out = Text("(");
      out.Append(Expr(e->args[0]));
      out.sql += e->negated ? " NOT BETWEEN " : " BETWEEN ";
      out.Append(Expr(e->args[1], t));
      out.sql += " AND ";
      out.Append(Expr(e->args[2], t));
      out.sql += ")";
      return out;
    }
    case K::kIsNull: {
      SqlPiece out = Text("(");
      out.Append(Expr(e->args[0]));
      out.sql += e->negated ? " IS NOT NULL)" : " IS NULL)";
      return out;
    }
    case K::kCall: return Call(*e);
    case K::kSubquery:
      if (!e->subquery) break;
      return Subquery(*e->subquery);
    case K::kExists: {
      if (!e->subquery) break;
      SqlPiece out = Text(e->negated ? "(NOT EXISTS " : "(EXISTS ");
      out.Append(Subquery(*e->subquery));
      out.sql += ")";
      return out;
    }
    case K::kQuantified: {
      if (!e->subquery || e->args.empty()) break;
      static const std::string kComparisons[] = {"=", "<>", "<", ">", "<=", ">="};
      if (std::find(std::begin(kComparisons), std::end(kComparisons), e->op) == std::end(kComparisons))
        Unsupported("The comparison " + e->op + " with ANY or ALL");
      SqlPiece out = Text("(");
      out.Append(Expr(e->args[0]));
      out.sql += " " + e->op + (e->text == "ALL" ? " ALL " : " ANY ");
      out.Append(Subquery(*e->subquery));
      out.sql += ")";
      return out;
    }
    default: break;
  }
  Unsupported("This kind of expression (a form the translator does not know)");
}

void Translator::AddTable(const TableRef& ref, SqlPiece& from) {
  auto table = catalog_.Find(ref.name);
  if (!table)
    Raise(err::kUnknownTable, "The table or query " + Quoted(ref.name) + " does not exist in the data source.");
  ScopeTable t;
  t.alias = ref.alias.empty() ? ref.name : ref.alias;
  t.sql_alias = connection_.Quote(ref.alias.empty() ? table->name : ref.alias);
  t.table = table;
  from.sql += catalog_.SqlName(*table) + " " + t.sql_alias;
  scope_.push_back(std::move(t));
}

SelectSql Translator::Select(const engine::Select& s, const std::vector<ParamDecl>& declared,
                             const std::vector<ExprPtr>& filters, const std::vector<OrderItem>& sort) {
  names_ = Names::kQuery;
  Declare(declared);
  SelectSql out;
  scope_.clear();
  aliases_.clear();
  if (s.from.empty()) Unsupported("A SELECT without FROM");
  if (!s.unions.empty() && !filters.empty()) Unsupported("A Filter on a UNION query");
  // FROM first, so that the select list's names resolve.
  out.from = Text(" FROM ");
  bool joined = s.from.size() > 1;
  std::vector<std::pair<size_t, const Join*>> ons;
  for (size_t k = 0; k < s.from.size(); ++k) {
    if (k) out.from.sql += ", ";
    const FromItem& item = s.from[k];
    AddTable(item.first, out.from);
    for (const Join& j : item.joins) {
      joined = true;
      out.from.sql += j.kind == Join::kLeft ? " LEFT JOIN " : j.kind == Join::kRight ? " RIGHT JOIN " : " INNER JOIN ";
      AddTable(j.table, out.from);
      ons.emplace_back(out.from.sql.size(), &j);
      // The ON condition may name tables joined later only in Jet's nested form; they are all
      // known once the FROM is read, so it is translated afterwards and put in place.
      out.from.sql += " ON ";
    }
  }
  // Put in the ON conditions from the last to the first so that the offsets stay right.
  std::vector<SqlPiece> on_pieces;
  for (const auto& [at, join] : ons) on_pieces.push_back(Expr(join->on));
  {
    SqlPiece rebuilt;
    size_t last = 0;
    for (size_t k = 0; k < ons.size(); ++k) {
      const size_t at = ons[k].first + 4;  // after " ON "
      rebuilt.sql += out.from.sql.substr(last, at - last);
      rebuilt.Append(on_pieces[k]);
      last = at;
    }
    rebuilt.sql += out.from.sql.substr(last);
    out.from = rebuilt;
  }

  for (const SelectItem& item : s.items)
    if (!item.star && !item.alias.empty()) aliases_.emplace_back(item.alias, item.expr);

  // The select list.
  bool aggregate = false;
  int expression_number = 1000;
  for (size_t k = 0; k < s.items.size(); ++k) {
    const SelectItem& item = s.items[k];
    if (!out.select_list.empty()) out.select_list.sql += ", ";
    if (item.star) {
      bool first = true;
      for (const auto& t : scope_) {
        if (!item.star_table.empty() && !SameName(item.star_table, t.alias) && !SameName(item.star_table, t.table->name))
          continue;
        for (const auto& c : t.table->columns) {
          if (!first) out.select_list.sql += ", ";
          first = false;
          out.select_list.sql += t.sql_alias + "." + connection_.Quote(c.name);
          out.columns.push_back(OutColumn{c.name, t.table, &c});
        }
      }
      if (first) Raise(err::kUnknownName, "The table " + Quoted(item.star_table) + " of " + Quoted(item.source) +
                                              " is not in the FROM clause.");
      continue;
    }
    aggregate = aggregate || HasAggregate(item.expr);
    const ScopeTable* t = nullptr;
    const OdbcColumn* c = item.expr->kind == engine::Expr::kName ? Resolve(*item.expr, &t) : nullptr;
    alias_depth_ = 1;  // the select list does not refer to its own aliases
    out.select_list.Append(Expr(item.expr));
    alias_depth_ = 0;
    std::string name = item.alias;
    if (name.empty()) name = c ? c->name : "Expr" + std::to_string(expression_number++);
    out.select_list.sql += " AS " + connection_.Quote(name);
    out.columns.push_back(OutColumn{name, c ? t->table : nullptr, c});
  }

  // WHERE: the query's own condition and the filters, each in parentheses.
  auto and_into = [](SqlPiece& where, SqlPiece piece) {
    if (!where.empty()) where.sql += " AND ";
    where.sql += "(";
    where.Append(piece);
    where.sql += ")";
  };
  if (s.where) and_into(out.where, Expr(s.where));
  for (const auto& f : filters) {
    names_ = Names::kCriteria;
    and_into(out.where, Expr(f));
    names_ = Names::kQuery;
  }
  if (!s.group_by.empty() || s.having) {
    out.group = Text("");
    if (!s.group_by.empty()) {
      out.group.sql += " GROUP BY ";
      for (size_t k = 0; k < s.group_by.size(); ++k) {
        if (k) out.group.sql += ", ";
        out.group.Append(Expr(s.group_by[k]));
      }
    }
    if (s.having) {
      out.group.sql += " HAVING ";
      out.group.Append(Expr(s.having));
    }
  }
  const std::vector<OrderItem>& order = sort.empty() ? s.order_by : sort;
  // The further selects of a UNION, each with scopes of its own; the first select's tables
  // are those of the set.
  const auto first_scope = scope_;
  const auto first_aliases = aliases_;
  for (const auto& part : s.unions) {
    if (!part.select) continue;
    const SelectSql next = Select(*part.select, {});
    if (next.columns.size() != out.columns.size())
      Raise(err::kExpressionSyntax, "The selects of a UNION have different numbers of columns.");
    out.unions.sql += part.all ? " UNION ALL " : " UNION ";
    out.unions.Append(next.Full());
  }
  scope_ = first_scope;
  aliases_ = first_aliases;
  if (!sort.empty()) names_ = Names::kCriteria;
  for (size_t k = 0; k < order.size(); ++k) {
    if (k) out.order.sql += ", ";
    if (!s.unions.empty()) {
      // A union is ordered by its result columns, named as the first select names them.
      const ExprPtr& item = order[k].expr;
      size_t found = out.columns.size();
      if (item->kind == engine::Expr::kName)
        for (size_t c = 0; c < out.columns.size() && found == out.columns.size(); ++c)
          if (SameName(out.columns[c].name, item->parts.back())) found = c;
      if (item->kind == engine::Expr::kInteger && item->integer >= 1 &&
          item->integer <= static_cast<int64_t>(out.columns.size()))
        found = static_cast<size_t>(item->integer - 1);
      if (found == out.columns.size()) Unsupported("An ORDER BY of a UNION that is not one of its columns");
      out.order.sql += std::to_string(found + 1);
    } else {
      out.order.Append(Expr(order[k].expr));
    }
    if (order[k].descending) out.order.sql += " DESC";
  }
  names_ = Names::kQuery;
  out.distinct = s.distinct;
  out.top = s.top;
  out.top_percent = s.top_percent;
  out.scope = scope_;
  out.aliases = aliases_;
  out.single_table = !joined && s.unions.empty() && !s.distinct && s.group_by.empty() && !s.having && !aggregate;
  return out;
}

SqlPiece Translator::Criteria(const SelectSql& select, const ExprPtr& criteria) {
  scope_ = select.scope;
  aliases_ = select.aliases;
  names_ = Names::kCriteria;
  SqlPiece out = Expr(criteria);
  names_ = Names::kQuery;
  return out;
}

SqlPiece Translator::Action(const JetStatement& st) {
  names_ = Names::kQuery;
  Declare(st.parameters);
  scope_.clear();
  aliases_.clear();
  if (st.kind != JetStatement::kInsert && st.kind != JetStatement::kUpdate && st.kind != JetStatement::kDelete)
    Unsupported(st.kind == JetStatement::kSelectInto ? "SELECT ... INTO" : "This statement");
  auto table = catalog_.Find(st.table);
  if (!table) Raise(err::kUnknownTable, "The table " + Quoted(st.table) + " does not exist in the data source.");
  const std::string table_sql = catalog_.SqlName(*table);
  ScopeTable t{st.table_alias.empty() ? st.table : st.table_alias, table_sql, table};
  auto column_of = [&](const std::string& name) {
    const OdbcColumn* c = table->Column(name);
    if (!c) Raise(err::kUnknownName, "The field " + Quoted(name) + " is not in the table " + Quoted(table->name) + ".");
    return c;
  };
  SqlPiece out;
  if (st.kind == JetStatement::kInsert) {
    out.sql = "INSERT INTO " + table_sql;
    std::vector<const OdbcColumn*> columns;
    for (const auto& name : st.columns) columns.push_back(column_of(name));
    if (!columns.empty()) {
      out.sql += " (";
      for (size_t k = 0; k < columns.size(); ++k) out.sql += (k ? ", " : "") + connection_.Quote(columns[k]->name);
      out.sql += ")";
    }
    if (st.insert_select) {
      const SelectSql s = Select(st.select, {});
      out.sql += " ";
      out.Append(s.Full());
      return out;
    }
    scope_ = {t};
    out.sql += " VALUES ";
    for (size_t r = 0; r < st.values.size(); ++r) {
      out.sql += r ? ", (" : "(";
      for (size_t k = 0; k < st.values[r].size(); ++k) {
        if (k) out.sql += ", ";
        out.Append(Expr(st.values[r][k], k < columns.size() ? columns[k]->dao_type : 0));
      }
      out.sql += ")";
    }
    return out;
  }
  // UPDATE and DELETE name their table's columns without an alias in standard SQL.
  t.sql_alias = table_sql;
  scope_ = {t};
  if (st.kind == JetStatement::kUpdate) {
    out.sql = "UPDATE " + table_sql + " SET ";
    for (size_t k = 0; k < st.assignments.size(); ++k) {
      const OdbcColumn* c = column_of(st.assignments[k].first);
      out.sql += (k ? ", " : "") + connection_.Quote(c->name) + " = ";
      out.Append(Expr(st.assignments[k].second, c->dao_type));
    }
  } else {
    out.sql = "DELETE FROM " + table_sql;
  }
  if (st.where) {
    out.sql += " WHERE ";
    out.Append(Expr(st.where));
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// DDL

namespace {

// A standard SQL literal of a Jet default expression: numbers, texts, True/False, dates, Null.
std::string DefaultLiteral(const std::string& expression, const std::string& column) {
  const ExprPtr e = ParseExpression(expression);
  auto text = [](const std::string& t) {
    std::string out = "'";
    for (char c : t) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  };
  switch (e->kind) {
    case engine::Expr::kNull: return "NULL";
    case engine::Expr::kInteger: return std::to_string(e->integer);
    case engine::Expr::kReal: return InvariantNumber(e->real);
    case engine::Expr::kString: return text(e->text);
    case engine::Expr::kBool: return e->integer ? "TRUE" : "FALSE";
    case engine::Expr::kDate: return "TIMESTAMP " + text(framework::FormatDateTime("yyyy-mm-dd hh:nn:ss", e->real));
    case engine::Expr::kUnary:
      if (e->op == "-" && e->args[0]->kind == engine::Expr::kInteger) return "-" + std::to_string(e->args[0]->integer);
      if (e->op == "-" && e->args[0]->kind == engine::Expr::kReal) return "-" + InvariantNumber(e->args[0]->real);
      break;
    default: break;
  }
  Raise(err::kNotSupported, "The default " + Quoted(expression) + " of the field " + Quoted(column) +
                                " is not a plain value; ODBC data sources take plain default values only.");
}

}  // namespace

std::string Translator::TypeSql(const ColumnDecl& c) {
  const std::string dbms = framework::LowerCase(connection_.dbms_name());
  const bool pg = dbms.find("postgres") != std::string::npos;
  const bool sqlite = dbms.find("sqlite") != std::string::npos;
  if (c.counter) return pg ? "serial" : sqlite ? "INTEGER" : "INTEGER GENERATED BY DEFAULT AS IDENTITY";
  switch (c.type) {
    case dbBoolean: return "BOOLEAN";
    case dbByte: case dbInteger: return "SMALLINT";
    case dbLong: return "INTEGER";
    case dbBigInt: return "BIGINT";
    case dbCurrency: return "NUMERIC(19,4)";
    case dbSingle: return "REAL";
    case dbDouble: case dbFloat: return "DOUBLE PRECISION";
    case dbDecimal: case dbNumeric: return "NUMERIC(28,6)";
    case dbDate: case dbTime: case dbTimeStamp: return "TIMESTAMP";
    case dbText: case dbChar: return "VARCHAR(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case dbMemo: return pg || sqlite ? "TEXT" : "VARCHAR(8000)";
    case dbBinary: case dbVarBinary:
      return pg ? "BYTEA" : sqlite ? "BLOB" : "VARBINARY(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case dbLongBinary: return pg ? "BYTEA" : sqlite ? "BLOB" : "VARBINARY(8000)";
    case dbGUID: return pg ? "UUID" : "CHAR(36)";
    default: Unsupported("The type " + std::to_string(c.type) + " of the field " + Quoted(c.name));
  }
}

std::string Translator::ColumnSql(const ColumnDecl& c, bool lone_primary_counter) {
  std::string out = connection_.Quote(c.name) + " " + TypeSql(c);
  // SQLite numbers a row only in its INTEGER PRIMARY KEY.
  if (lone_primary_counter) return out + " PRIMARY KEY AUTOINCREMENT";
  if (c.not_null) out += " NOT NULL";
  if (c.has_default) out += " DEFAULT " + DefaultLiteral(c.default_text, c.name);
  if (!c.constraint_name.empty() && (c.primary || c.unique)) out += " CONSTRAINT " + connection_.Quote(c.constraint_name);
  if (c.primary) out += " PRIMARY KEY";
  else if (c.unique) out += " UNIQUE";
  return out;
}

std::string Translator::Ddl(const JetStatement& st) {
  const Connection& c = connection_;
  auto columns = [&](const std::vector<std::string>& names) {
    std::string out;
    for (size_t k = 0; k < names.size(); ++k) out += (k ? ", " : "") + c.Quote(names[k]);
    return out;
  };
  auto constraint = [&](const ConstraintDecl& k) {
    std::string out = k.name.empty() ? "" : "CONSTRAINT " + c.Quote(k.name) + " ";
    switch (k.kind) {
      case ConstraintDecl::kPrimary: return out + "PRIMARY KEY (" + columns(k.columns) + ")";
      case ConstraintDecl::kUnique: return out + "UNIQUE (" + columns(k.columns) + ")";
      default:
        return out + "FOREIGN KEY (" + columns(k.columns) + ") REFERENCES " + c.Quote(k.ref_table) +
               (k.ref_columns.empty() ? "" : " (" + columns(k.ref_columns) + ")");
    }
  };
  auto table = [&](const std::string& name) {
    auto t = catalog_.Find(name);
    if (!t) Raise(err::kUnknownTable, "The table " + Quoted(name) + " does not exist in the data source.");
    return t;
  };
  const bool sqlite = framework::LowerCase(c.dbms_name()).find("sqlite") != std::string::npos;
  switch (st.kind) {
    case JetStatement::kCreateTable: {
      std::string out = "CREATE TABLE " + c.Quote(st.table) + " (";
      for (size_t k = 0; k < st.column_decls.size(); ++k) {
        const ColumnDecl& d = st.column_decls[k];
        out += (k ? ", " : "") + ColumnSql(d, sqlite && d.counter && d.primary);
      }
      for (const ConstraintDecl& k : st.constraints) {
        // SQLite's counter is its INTEGER PRIMARY KEY: a key constraint on it alone is written there.
        if (sqlite && k.kind == ConstraintDecl::kPrimary && k.columns.size() == 1) {
          bool counter = false;
          for (const ColumnDecl& d : st.column_decls) counter = counter || (d.counter && SameName(d.name, k.columns[0]));
          if (counter) {
            std::string rebuilt = "CREATE TABLE " + c.Quote(st.table) + " (";
            for (size_t j = 0; j < st.column_decls.size(); ++j) {
              const ColumnDecl& d = st.column_decls[j];
              rebuilt += (j ? ", " : "") + ColumnSql(d, d.counter && (d.primary || SameName(d.name, k.columns[0])));
            }
            for (const ConstraintDecl& other : st.constraints)
              if (&other != &k) rebuilt += ", " + constraint(other);
            return rebuilt + ")";
          }
        }
        out += ", " + constraint(k);
      }
      return out + ")";
    }
    case JetStatement::kCreateIndex: {
      if (!st.constraints.empty())
        return "ALTER TABLE " + catalog_.SqlName(*table(st.table)) + " ADD " + constraint(st.constraints.front());
      if (st.ignore_null) Unsupported("An index WITH IGNORE NULL");
      const auto t = table(st.table);
      if (st.primary) {
        std::vector<std::string> names;
        for (const auto& ic : st.index_columns) names.push_back(ic.name);
        return "ALTER TABLE " + catalog_.SqlName(*t) + " ADD CONSTRAINT " + c.Quote(st.index) + " PRIMARY KEY (" +
               columns(names) + ")";
      }
      std::string out = std::string(st.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + c.Quote(st.index) +
                        " ON " + catalog_.SqlName(*t) + " (";
      for (size_t k = 0; k < st.index_columns.size(); ++k)
        out += (k ? ", " : "") + c.Quote(st.index_columns[k].name) + (st.index_columns[k].descending ? " DESC" : "");
      return out + ")";
    }
    case JetStatement::kDropTable: return "DROP TABLE " + catalog_.SqlName(*table(st.table));
    case JetStatement::kDropIndex: {
      const auto t = table(st.table);
      for (const auto& index : t->indexes)
        if (SameName(index.name, st.index) && index.primary)
          return "ALTER TABLE " + catalog_.SqlName(*t) + " DROP CONSTRAINT " + c.Quote(index.name);
      // An index lives in its table's schema.
      return "DROP INDEX " + (t->schema.empty() ? "" : c.Quote(t->schema) + ".") + c.Quote(st.index);
    }
    case JetStatement::kAlterAddColumn:
      return "ALTER TABLE " + catalog_.SqlName(*table(st.table)) + " ADD COLUMN " + ColumnSql(st.column_decls.front(), false);
    case JetStatement::kAlterDropColumn:
      return "ALTER TABLE " + catalog_.SqlName(*table(st.table)) + " DROP COLUMN " + c.Quote(st.index);
    default: Unsupported("This statement");
  }
}

}  // namespace engine::odbc
