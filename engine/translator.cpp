#include "engine/translator.h"

#include <functional>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/jet_parser.h"
#include "engine/values.h"

namespace engine {

using namespace dao;

namespace {

// Jet's "You have written a subquery that can return more than one field ...".
constexpr int kSubqueryFields = 3306;
// Jet's "The number of columns in the two selected tables or queries of a union query do not match."
constexpr int kUnionColumns = 3307;
// Jet's "At most one record can be returned by this subquery."
constexpr int kSubqueryRecords = 3354;
// Jet's "Unknown field name" of an INSERT INTO's field list.
constexpr int kUnknownDestinationField = 3127;
// A row of + and - (or of *) is one flat SQL expression, which SQLite evaluates as a tree as deep
// as the row is long; it refuses trees deeper than 1000.
constexpr size_t kMaxRowTerms = 500;

// What a name stands for.
struct Resolved {
  std::string sql;  // the value as SQL
  int type = 0;
  int32_t size = 0;
  const ColumnInfo* column = nullptr;
  std::string table;
  int row_column = -1;       // for row criteria
  std::vector<Slot> slots;   // values bound in `sql` (a select-list expression named by its alias)
  std::string raw;           // a plain column as stored (a Yes/No may hold Null), else empty
};

using Resolver = std::function<bool(const std::vector<std::string>& parts, Resolved& out)>;

// What an unknown name is: a parameter of the query, or an error (criteria, Filter, Sort).
enum Mode { kParameters, kUnknownIsError };

bool IsTextual(int type) { return IsTextType(type); }
bool IsNumberLike(int type) { return IsNumericType(type) || IsDateType(type); }

std::string NameText(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ".") + p;
  return out;
}

// SQL text with the values bound to its "?" marks, kept in the order of the marks.
struct SqlText {
  std::string sql;
  std::vector<Slot> slots;

  SqlText& Add(const std::string& text) {
    sql += text;
    return *this;
  }
  SqlText& Add(const std::string& text, const std::vector<Slot>& values) {
    sql += text;
    slots.insert(slots.end(), values.begin(), values.end());
    return *this;
  }
  SqlText& Add(const SqlText& other) { return Add(other.sql, other.slots); }
};

// Where a select is planned: the parameters it adds to (null: unknown names are errors), what
// unknown names are, and the names of the enclosing query (for a correlated subquery).
struct Scope {
  std::vector<ParamInfo>* parameters = nullptr;
  Mode mode = kParameters;
  const Resolver* outer = nullptr;
};

SelectPlan PlanIn(const Catalog& catalog, const Select& s, const Scope& scope,
                  const std::vector<ExprPtr>& filters, const std::vector<OrderItem>& sort);

// A plan's SELECT from its FROM clause on, with its values.
SqlText FromOn(const SelectPlan& p) {
  SqlText out;
  out.Add(p.from_sql, p.from_slots)
      .Add(p.where_sql, p.where_slots)
      .Add(p.tail_sql, p.tail_slots)
      .Add(p.order_sql, p.order_slots)
      .Add(p.limit_sql);
  return out;
}

// The whole SELECT of a plan, with its values.
SqlText FullSelect(const SelectPlan& p) {
  SqlText out;
  return out.Add("SELECT " + p.select_sql, p.select_slots).Add(FromOn(p));
}

// The value of a field as an expression (a currency field is stored scaled).
std::string FieldValueSql(const OutField& f) {
  return f.type == dbCurrency ? "(" + f.sql + " / 10000.0)" : f.sql;
}

class ExprTranslator {
 public:
  ExprTranslator(Resolver resolver, Mode mode, std::vector<Slot>& slots, std::vector<ParamInfo>* parameters,
                 const std::string& context, const Catalog* catalog = nullptr, bool inline_literals = false)
      : resolve_(std::move(resolver)), mode_(mode), slots_(slots), parameters_(parameters),
        context_(context), catalog_(catalog), inline_(inline_literals) {}

  // The value of `e` as SQL; `type` receives its Jet type (0 when unknown or Null).
  std::string Translate(const ExprPtr& e, int& type) {
    switch (e->kind) {
      case Expr::kNull: type = 0; return "NULL";
      case Expr::kInteger: type = e->integer >= INT32_MIN && e->integer <= INT32_MAX ? dbLong : dbDouble; return Bind(Cell::Int(e->integer));
      case Expr::kReal: type = dbDouble; return Bind(Cell::Real(e->real));
      case Expr::kString: type = dbText; return Bind(Cell::Text(e->text));
      case Expr::kDate: type = dbDate; return Bind(Cell::Real(e->real));
      case Expr::kGuid: type = dbGUID; return Bind(Cell::Blob(e->text));
      case Expr::kBool: type = dbBoolean; return e->integer ? "-1" : "0";
      case Expr::kStar: Raise(err::kExpressionSyntax, "'*' is not a value in " + Quoted(context_) + ".");
      case Expr::kName: return Name(e, type);
      case Expr::kUnary: {
        int t = 0;
        const std::string a = Translate(e->args[0], t);
        if (e->op == "NOT") { type = dbBoolean; return "(NOT " + a + ")"; }
        type = t;
        return e->op == "-" ? "(-" + a + ")" : a;
      }
      case Expr::kBinary:
      case Expr::kLike:
      case Expr::kIn:
      case Expr::kBetween:
      case Expr::kIsNull:
      case Expr::kQuantified: return Chain(*e, type);
      case Expr::kCall: return Call(e, type);
      case Expr::kSubquery: {
        // Jet refuses a subquery that gives more than one record where one value is needed.
        SqlText sub = ValueSubquery(*e->subquery, type);
        slots_.insert(slots_.end(), sub.slots.begin(), sub.slots.end());
        std::string sql = "(SELECT CASE WHEN count(*) > 1 THEN jet_error(" + std::to_string(kSubqueryRecords) +
                          ", 'At most one record can be returned by this subquery.') ELSE max(jet_value) END FROM (" +
                          sub.sql + "))";
        return sql;
      }
      case Expr::kExists: {
        type = dbBoolean;
        const SqlText sub = FullSelect(PlanSubquery(*e->subquery));
        slots_.insert(slots_.end(), sub.slots.begin(), sub.slots.end());
        return "(EXISTS (" + sub.sql + "))";
      }
    }
    Raise(err::kExpressionSyntax, "Unsupported expression in " + Quoted(context_) + ".");
  }

  bool aggregate_seen = false;

 private:
  // A translated operand of a chain.
  struct Operand {
    std::string sql;          // when `row` is set: the terms of the row without enclosing parentheses
    int type = 0;
    const Expr* expr = nullptr;  // the node it was translated from
    size_t first_slot = 0;    // its values are slots_[first_slot ...]
    char row = 0;             // '+' (a row of + and -), '*' (a row of *) or 0
    size_t row_terms = 0;

    std::string Closed() const { return row ? "(" + sql + ")" : sql; }
  };

  static bool IsChainKind(Expr::Kind k) {
    return k == Expr::kBinary || k == Expr::kLike || k == Expr::kIn || k == Expr::kBetween ||
           k == Expr::kIsNull || k == Expr::kQuantified;
  }

  // A left-deep chain (a op b op c ...; every binary operator, LIKE, IN, BETWEEN and IS NULL take
  // their left operand first), walked as a loop from its innermost left operand outwards.
  std::string Chain(const Expr& top, int& type) {
    std::vector<const Expr*> spine;
    for (const Expr* n = &top; IsChainKind(n->kind); n = n->args[0].get()) spine.push_back(n);
    const ExprPtr& first = spine.back()->args[0];
    Operand acc;
    acc.first_slot = slots_.size();
    acc.sql = Translate(first, acc.type);
    acc.expr = first.get();
    size_t k = spine.size();
    while (k > 0) {
      const Expr& n = *spine[--k];
      if (n.kind == Expr::kBinary && (n.op == "AND" || n.op == "OR" || n.op == "&")) {
        // A run of one associative operator becomes a balanced tree: its depth in SQL grows with
        // the logarithm of its length, not with the length.
        std::vector<std::string> terms{acc.Closed()};
        while (true) {
          int t = 0;
          terms.push_back(Translate(spine[k]->args[1], t));
          if (k == 0 || spine[k - 1]->kind != Expr::kBinary || spine[k - 1]->op != n.op) break;
          --k;
        }
        acc.sql = Balanced(terms, 0, terms.size(), n.op);
        acc.type = n.op == "&" ? dbText : dbBoolean;
        acc.expr = spine[k];
        acc.row = 0;
        acc.row_terms = 0;
        continue;
      }
      acc = Step(n, std::move(acc));
    }
    type = acc.type;
    return acc.Closed();
  }

  static std::string Balanced(const std::vector<std::string>& terms, size_t lo, size_t hi, const std::string& op) {
    if (hi - lo == 1) return terms[lo];
    const size_t mid = lo + (hi - lo) / 2;
    const std::string a = Balanced(terms, lo, mid, op), b = Balanced(terms, mid, hi, op);
    if (op == "&") return "jet_concat(" + a + ", " + b + ")";
    return "(" + a + " " + op + " " + b + ")";
  }

  // One link of a chain: `left` (translated) with the operator and other operands of `n`.
  Operand Step(const Expr& n, Operand left) {
    Operand out;
    out.expr = &n;
    out.first_slot = left.first_slot;
    const std::string a = left.Closed();
    switch (n.kind) {
      case Expr::kLike: {
        int tb;
        const std::string b = Translate(n.args[1], tb);
        out.type = dbBoolean;
        out.sql = std::string(n.negated ? "(NOT " : "(") + "jet_like(" + a + ", " + b + "))";
        return out;
      }
      case Expr::kIn: {
        out.type = dbBoolean;
        if (n.subquery) {
          int ts;
          const SqlText sub = ValueSubquery(*n.subquery, ts);
          slots_.insert(slots_.end(), sub.slots.begin(), sub.slots.end());
          const bool text = IsTextual(left.type) || IsTextual(ts);
          out.sql = "(" + a + (text ? " COLLATE JET" : "") + (n.negated ? " NOT IN (" : " IN (") + sub.sql + "))";
          return out;
        }
        std::string list;
        bool text = IsTextual(left.type);
        for (size_t k = 1; k < n.args.size(); ++k) {
          int t = 0;
          list += (k > 1 ? ", " : "") + Translate(n.args[k], t);
          CheckComparable(left.type, t, left.expr, n.args[k].get());
          text = text || IsTextual(t);
        }
        out.sql = "(" + a + (text ? " COLLATE JET" : "") + (n.negated ? " NOT IN (" : " IN (") + list + "))";
        return out;
      }
      case Expr::kBetween: {
        int tb, tc;
        const std::string b = Translate(n.args[1], tb), c = Translate(n.args[2], tc);
        CheckComparable(left.type, tb, left.expr, n.args[1].get());
        CheckComparable(left.type, tc, left.expr, n.args[2].get());
        out.type = dbBoolean;
        const bool text = IsTextual(left.type) || IsTextual(tb) || IsTextual(tc);
        out.sql = "(" + a + (text ? " COLLATE JET" : "") + (n.negated ? " NOT BETWEEN " : " BETWEEN ") + b + " AND " + c + ")";
        return out;
      }
      case Expr::kIsNull:
        out.type = dbBoolean;
        out.sql = "(" + a + (n.negated ? " IS NOT NULL)" : " IS NULL)");
        return out;
      case Expr::kQuantified: return Quantified(n, std::move(left));
      default: return Binary(n, std::move(left));
    }
  }

  // left op ANY (SELECT ...) and left op ALL (SELECT ...): the comparison with each value of
  // the subquery, folded by max (ANY: one holds) or min (ALL: none fails; a Null fails) in the
  // subquery's select list, so that the left operand's values stay before the subquery's.
  Operand Quantified(const Expr& n, Operand left) {
    Operand out;
    out.expr = &n;
    out.first_slot = left.first_slot;
    out.type = dbBoolean;
    int ts;
    const SqlText sub = ValueSubquery(*n.subquery, ts);
    slots_.insert(slots_.end(), sub.slots.begin(), sub.slots.end());
    CheckComparable(left.type, ts, left.expr, nullptr);
    const bool text = IsTextual(left.type) || IsTextual(ts);
    const std::string test = "coalesce((" + left.Closed() + (text ? " COLLATE JET " : " ") + n.op + " jet_q.jet_value), 0)";
    const bool all = n.text == "ALL";
    out.sql = std::string("(coalesce((SELECT ") + (all ? "min(" : "max(") + test + ") FROM (" + sub.sql + ") AS jet_q), " +
              (all ? "1" : "0") + ") = 1)";
    return out;
  }

  // A Yes/No column compared with a constant: written so that a Null stored in the column (in
  // files from before Yes/No fields were kept from Null) counts as No, and so that an index on
  // the column still serves.
  bool YesNoComparison(const Expr& n, const Operand& left, Operand& out) {
    if ((n.op != "=" && n.op != "<>") || left.expr == nullptr || left.expr->kind != Expr::kName) return false;
    const Expr& c = *n.args[1];
    if (c.kind != Expr::kBool && c.kind != Expr::kInteger && c.kind != Expr::kReal) return false;
    Resolved r;
    if (!resolve_ || !resolve_(left.expr->parts, r) || r.raw.empty() || r.type != dbBoolean) return false;
    const std::string value = c.kind == Expr::kReal ? InvariantNumber(c.real) : std::to_string(c.integer);
    const bool no = c.kind == Expr::kReal ? c.real == 0 : c.integer == 0;
    out.type = dbBoolean;
    if (n.op == "=") out.sql = no ? "(" + r.raw + " = 0 OR " + r.raw + " IS NULL)" : "(" + r.raw + " = " + value + ")";
    else out.sql = no ? "(" + r.raw + " <> 0)" : "(" + r.raw + " <> " + value + " OR " + r.raw + " IS NULL)";
    return true;
  }

  Operand Binary(const Expr& n, Operand left) {
    Operand out;
    out.expr = &n;
    out.first_slot = left.first_slot;
    if (YesNoComparison(n, left, out)) return out;
    const std::string a = left.Closed();
    int tb;
    const std::string b = Translate(n.args[1], tb);
    const int ta = left.type;
    const std::string& op = n.op;
    int& type = out.type;
    auto closed = [&](std::string sql) {
      out.sql = std::move(sql);
      return out;
    };
    if (op == "XOR") { type = dbBoolean; return closed("((" + a + " <> 0) <> (" + b + " <> 0))"); }
    if (op == "EQV") { type = dbBoolean; return closed("((" + a + " <> 0) = (" + b + " <> 0))"); }
    if (op == "IMP") { type = dbBoolean; return closed("((" + a + " = 0) OR (" + b + " <> 0))"); }
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
      CheckComparable(ta, tb, left.expr, n.args[1].get());
      type = dbBoolean;
      const bool text = IsTextual(ta) || IsTextual(tb);
      return closed("(" + a + (text ? " COLLATE JET " : " ") + op + " " + b + ")");
    }
    if (op == "+" && (IsTextual(ta) || IsTextual(tb))) { type = dbText; return closed("(" + a + " || " + b + ")"); }
    if (op == "+" && (IsDateType(ta) || IsDateType(tb))) type = dbDate;
    else if (op == "-" && IsDateType(ta) && !IsDateType(tb)) type = dbDate;
    else if (op == "/" || op == "^") type = dbDouble;
    else if (IsIntegerType(ta) && IsIntegerType(tb) && op != "/") type = dbLong;
    else if (ta == dbCurrency || tb == dbCurrency) type = dbCurrency;
    else type = dbDouble;
    if (op == "/") return closed("(CAST(" + a + " AS REAL) / " + b + ")");
    if (op == "\\") { type = dbLong; return closed("(CAST(jet_round(" + a + ") AS INTEGER) / CAST(jet_round(" + b + ") AS INTEGER))"); }
    if (op == "MOD") { type = dbLong; return closed("(CAST(jet_round(" + a + ") AS INTEGER) % CAST(jet_round(" + b + ") AS INTEGER))"); }
    if (op == "^") return closed("jet_pow(" + a + ", " + b + ")");
    // + and - (and *) continue a flat row: SQLite reads "a + b - c" left to right as Jet does,
    // without one more level of parentheses per term.
    const char row = op == "*" ? '*' : '+';
    out.row = row;
    if (left.row == row) {
      out.sql = left.sql + " " + op + " " + b;
      out.row_terms = left.row_terms + 1;
    } else {
      out.sql = a + " " + op + " " + b;
      out.row_terms = 2;
    }
    if (out.row_terms > kMaxRowTerms)
      Raise(err::kExpressionSyntax, "Syntax error (more than " + std::to_string(kMaxRowTerms) + " terms joined by " +
                                        (row == '*' ? "*" : "+ and -") + ") in " + QuotedText(context_) + ".");
    return out;
  }

  std::string Bind(Cell c) {
    if (inline_) {
      switch (c.kind) {
        case Cell::kNull: return "NULL";
        case Cell::kInt: return std::to_string(c.i);
        case Cell::kReal: return InvariantNumber(c.r) == "NaN" ? "NULL" : (c.r == static_cast<double>(static_cast<int64_t>(c.r)) ? InvariantNumber(c.r) + ".0" : InvariantNumber(c.r));
        case Cell::kText: return QuoteText(c.text);
        case Cell::kBlob: {
          static const char* hex = "0123456789ABCDEF";
          std::string out = "X'";
          for (unsigned char b : c.text) out += std::string{hex[b >> 4], hex[b & 15]};
          return out + "'";
        }
      }
    }
    Slot s;
    s.kind = Slot::kValue;
    s.value = std::move(c);
    slots_.push_back(std::move(s));
    return "?";
  }

  std::string Name(const ExprPtr& e, int& type) {
    Resolved r;
    if (resolve_ && resolve_(e->parts, r)) {
      type = r.type;
      if (r.row_column >= 0) {
        Slot s;
        s.kind = Slot::kRowColumn;
        s.index = r.row_column;
        slots_.push_back(s);
        return type == dbCurrency ? "(? / 10000.0)" : "?";
      }
      slots_.insert(slots_.end(), r.slots.begin(), r.slots.end());
      return r.sql;
    }
    const std::string name = NameText(e->parts);
    if (mode_ == kUnknownIsError || parameters_ == nullptr)
      Raise(err::kUnknownName, "The name " + Quoted(name) + " in the expression " + QuotedText(context_) +
                                   " is not a field of the records searched.");
    // An unknown name in a query is a parameter.
    int index = -1;
    for (size_t k = 0; k < parameters_->size(); ++k)
      if (SameName((*parameters_)[k].name, name)) index = static_cast<int>(k);
    if (index < 0) {
      ParamInfo p;
      p.name = name;
      parameters_->push_back(p);
      index = static_cast<int>(parameters_->size() - 1);
    }
    type = (*parameters_)[index].declared ? (*parameters_)[index].type : 0;
    Slot s;
    s.kind = Slot::kParameter;
    s.index = index;
    slots_.push_back(s);
    return "?";
  }

  void CheckComparable(int a, int b, const Expr* ea, const Expr* eb) {
    // Jet refuses to compare a number or date with a text constant.
    auto literal_text = [](const Expr* e) { return e != nullptr && e->kind == Expr::kString; };
    if ((IsNumberLike(a) && literal_text(eb)) || (IsNumberLike(b) && literal_text(ea)))
      Raise(err::kTypeMismatch, "Data type mismatch in the criteria " + QuotedText(context_) +
                                    ": a number or date is compared with a text.");
  }

  // ---- subqueries

  SelectPlan PlanSubquery(const Select& s) {
    if (catalog_ == nullptr)
      Raise(err::kNotSupported, "Subqueries are not available in " + QuotedText(context_) + ".");
    Scope scope;
    scope.parameters = parameters_;
    scope.mode = mode_;
    scope.outer = resolve_ ? &resolve_ : nullptr;
    return PlanIn(*catalog_, s, scope, {}, {});
  }

  // A subquery that gives one value per record, as "SELECT value AS jet_value FROM ...".
  SqlText ValueSubquery(const Select& s, int& type) {
    const SelectPlan p = PlanSubquery(s);
    if (p.fields.size() != 1)
      Raise(kSubqueryFields, "You have written a subquery that can return more than one field without using the "
                             "EXISTS reserved word in the main query's FROM clause: " + QuotedText(context_) + ".");
    const OutField& f = p.fields[0];
    type = f.type;
    SqlText out;
    return out.Add(std::string("SELECT ") + (p.distinct ? "DISTINCT " : "") + FieldValueSql(f) + " AS jet_value", f.slots)
        .Add(FromOn(p));
  }

  // ---- functions

  std::string Call(const ExprPtr& e, int& type) {
    const std::string& f = e->op;
    std::vector<std::string> a;
    std::vector<int> t;
    const bool count_star = f == "COUNT" && e->args.size() == 1 && e->args[0]->kind == Expr::kStar;
    if (!count_star) {
      for (const auto& arg : e->args) {
        int at;
        a.push_back(Translate(arg, at));
        t.push_back(at);
      }
    }
    auto need = [&](size_t low, size_t high) {
      if (a.size() < low || a.size() > high)
        Raise(err::kExpressionSyntax, "Wrong number of arguments to " + f + " in " + QuotedText(context_) + ".");
    };
    auto list = [&](size_t from) {
      std::string out;
      for (size_t k = from; k < a.size(); ++k) out += (k > from ? ", " : "") + a[k];
      return out;
    };
    // name(arguments) with `low` to `high` arguments.
    auto call = [&](const char* sql_name, int result, size_t low, size_t high) {
      need(low, high);
      type = result;
      return std::string(sql_name) + "(" + list(0) + ")";
    };
    auto simple = [&](const char* sql_name, int result, size_t n) { return call(sql_name, result, n, n); };
    // name(value, type of value, further arguments): functions whose result depends on the
    // value's Jet type (a date and a number are both stored as a number).
    auto typed = [&](const char* sql_name, int result, size_t low, size_t high) {
      need(low, high);
      type = result;
      return std::string(sql_name) + "(" + a[0] + ", " + std::to_string(t[0]) + (a.size() > 1 ? ", " + list(1) : "") + ")";
    };
    if (f == "COUNT") {
      aggregate_seen = true;
      type = dbLong;
      if (count_star) return "count(*)";
      need(1, 1);
      return std::string("count(") + (e->negated ? "DISTINCT " : "") + a[0] + ")";
    }
    if (f == "SUM" || f == "MIN" || f == "MAX" || f == "AVG") {
      aggregate_seen = true;
      need(1, 1);
      type = f == "AVG" ? dbDouble : t[0];
      if (f == "SUM" && IsIntegerType(t[0])) type = dbLong;
      std::string lower = f;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return lower + "(" + a[0] + (IsTextual(t[0]) && f != "SUM" && f != "AVG" ? " COLLATE JET" : "") + ")";
    }
    if (f == "LCASE" || f == "LCASE$") return simple("jet_lcase", dbText, 1);
    if (f == "UCASE" || f == "UCASE$") return simple("jet_ucase", dbText, 1);
    if (f == "LEN") return simple("length", dbLong, 1);
    if (f == "TRIM" || f == "TRIM$") return simple("trim", dbText, 1);
    if (f == "LTRIM" || f == "LTRIM$") return simple("ltrim", dbText, 1);
    if (f == "RTRIM" || f == "RTRIM$") return simple("rtrim", dbText, 1);
    if (f == "LEFT" || f == "LEFT$") { need(2, 2); type = dbText; return "substr(" + a[0] + ", 1, " + a[1] + ")"; }
    if (f == "RIGHT" || f == "RIGHT$") return simple("jet_right", dbText, 2);
    if (f == "CHR" || f == "CHR$") return simple("jet_chr", dbText, 1);
    if (f == "CHRW" || f == "CHRW$") return simple("jet_chrw", dbText, 1);
    if (f == "ASC") return simple("jet_asc", dbInteger, 1);
    if (f == "ASCW") return simple("jet_ascw", dbInteger, 1);
    if (f == "MID" || f == "MID$") { need(2, 3); type = dbText; return "substr(" + a[0] + ", " + a[1] + (a.size() == 3 ? ", " + a[2] : "") + ")"; }
    if (f == "INSTR") return call("jet_instr", dbLong, 2, 3);
    if (f == "REPLACE") return call("jet_replace", dbText, 3, 6);
    if (f == "STRCOMP") return call("jet_strcomp", dbInteger, 2, 3);
    if (f == "SPACE" || f == "SPACE$") return simple("jet_space", dbText, 1);
    if (f == "STRING" || f == "STRING$") return simple("jet_string", dbText, 2);
    if (f == "NZ") { need(1, 2); type = t[0]; return "coalesce(" + a[0] + ", " + (a.size() == 2 ? a[1] : "''") + ")"; }
    // SQLite's iif() is its CASE WHEN, written so that it nests twice as deep before SQLite's
    // parser runs out of stack.
    if (f == "IIF") { need(3, 3); type = t[1] ? t[1] : t[2]; return "iif(" + a[0] + ", " + a[1] + ", " + a[2] + ")"; }
    if (f == "SWITCH") {
      // Switch(condition, value, ...): the value of the first true condition, else Null.
      if (a.empty() || a.size() % 2 != 0)
        Raise(err::kExpressionSyntax, "Switch takes pairs of a condition and a value in " + QuotedText(context_) + ".");
      std::string out = "(CASE";
      type = 0;
      for (size_t k = 0; k < a.size(); k += 2) {
        out += " WHEN " + a[k] + " THEN " + a[k + 1];
        if (type == 0) type = t[k + 1];
      }
      return out + " END)";
    }
    if (f == "CHOOSE") {
      // Choose(index, value1, value2, ...): the index loses its fraction; outside the list, Null.
      need(2, a.size());
      std::string out = "(CASE jet_fix(" + a[0] + ")";
      type = 0;
      for (size_t k = 1; k < a.size(); ++k) {
        out += " WHEN " + std::to_string(k) + " THEN " + a[k];
        if (type == 0) type = t[k];
      }
      return out + " END)";
    }
    if (f == "ISNULL") { need(1, 1); type = dbBoolean; return "jet_bool(" + a[0] + " IS NULL)"; }
    if (f == "ISNUMERIC") return typed("jet_isnumeric", dbBoolean, 1, 1);
    if (f == "ISDATE") return typed("jet_isdate", dbBoolean, 1, 1);
    if (f == "YEAR") return simple("jet_year", dbInteger, 1);
    if (f == "MONTH") return simple("jet_month", dbInteger, 1);
    if (f == "DAY") return simple("jet_day", dbInteger, 1);
    if (f == "HOUR") return simple("jet_hour", dbInteger, 1);
    if (f == "MINUTE") return simple("jet_minute", dbInteger, 1);
    if (f == "SECOND") return simple("jet_second", dbInteger, 1);
    if (f == "WEEKDAY") return call("jet_weekday", dbInteger, 1, 2);
    if (f == "GENGUID") { need(0, 0); type = dbGUID; return "randomblob(16)"; }  // a new random GUID
    if (f == "NOW") return simple("jet_now", dbDate, 0);
    if (f == "DATE" || f == "DATE$") return simple("jet_date", dbDate, 0);
    if (f == "TIME" || f == "TIME$") return simple("jet_time", dbDate, 0);
    if (f == "TIMER") return simple("jet_timer", dbSingle, 0);
    if (f == "DATESERIAL") return simple("jet_dateserial", dbDate, 3);
    if (f == "TIMESERIAL") return simple("jet_timeserial", dbDate, 3);
    if (f == "DATEVALUE") return simple("jet_datevalue", dbDate, 1);
    if (f == "TIMEVALUE") return simple("jet_timevalue", dbDate, 1);
    if (f == "DATEADD") return simple("jet_dateadd", dbDate, 3);
    if (f == "DATEDIFF") return call("jet_datediff", dbLong, 3, 5);
    if (f == "DATEPART") return call("jet_datepart", dbInteger, 2, 4);
    if (f == "FORMAT" || f == "FORMAT$") return typed("jet_format", dbText, 1, 4);
    if (f == "CDATE" || f == "CVDATE") return simple("jet_cdate", dbDate, 1);
    if (f == "CSTR") return simple("jet_text", dbText, 1);
    if (f == "STR" || f == "STR$") return simple("jet_str", dbText, 1);
    if (f == "CLNG") { need(1, 1); type = dbLong; return "jet_store(4, 4, 'CLng', " + a[0] + ")"; }
    if (f == "CINT") { need(1, 1); type = dbInteger; return "jet_store(3, 2, 'CInt', " + a[0] + ")"; }
    if (f == "CBYTE") { need(1, 1); type = dbByte; return "jet_store(2, 1, 'CByte', " + a[0] + ")"; }
    if (f == "CDBL" || f == "CSNG" || f == "CDEC") { need(1, 1); type = dbDouble; return "jet_store(7, 8, '" + f + "', " + a[0] + ")"; }
    if (f == "CCUR") { need(1, 1); type = dbCurrency; return "(jet_store(5, 8, 'CCur', " + a[0] + ") / 10000.0)"; }
    if (f == "CBOOL") return simple("jet_bool", dbBoolean, 1);
    if (f == "VAL") return simple("jet_val", dbDouble, 1);
    if (f == "ABS") { need(1, 1); type = t[0] ? t[0] : dbDouble; return "abs(" + a[0] + ")"; }
    if (f == "INT") { need(1, 1); type = t[0] ? t[0] : dbDouble; return "jet_int(" + a[0] + ")"; }
    if (f == "FIX") { need(1, 1); type = t[0] ? t[0] : dbDouble; return "jet_fix(" + a[0] + ")"; }
    if (f == "ROUND") return call("jet_round", dbDouble, 1, 2);
    if (f == "SGN") return simple("jet_sgn", dbInteger, 1);
    if (f == "SQR") return simple("jet_sqr", dbDouble, 1);
    Raise(3085, "Undefined function " + Quoted(f) + " in the expression " + QuotedText(context_) + ".");
  }

  Resolver resolve_;
  Mode mode_;
  std::vector<Slot>& slots_;
  std::vector<ParamInfo>* parameters_;
  std::string context_;
  const Catalog* catalog_;
  bool inline_;
};

// The tables of a FROM clause with their aliases.
struct FromTable {
  const TableInfo* table;
  std::string alias;
};

std::string RawSql(const std::string& alias, const ColumnInfo& c) { return QuoteName(alias) + "." + QuoteName(c.name); }

// A column's value in an expression: currency unscaled, a Yes/No's Null (only in files written
// before Yes/No fields were kept from Null) as No.
std::string ValueSql(const std::string& alias, const ColumnInfo& c) {
  const std::string raw = RawSql(alias, c);
  if (c.type == dbCurrency) return "(" + raw + " / 10000.0)";
  if (c.type == dbBoolean) return "coalesce(" + raw + ", 0)";
  return raw;
}

// A column as a result field: as stored, except that a Yes/No is never Null.
std::string FieldSql(const std::string& alias, const ColumnInfo& c) {
  const std::string raw = RawSql(alias, c);
  return c.type == dbBoolean ? "coalesce(" + raw + ", 0)" : raw;
}

void Describe(const FromTable& ft, const ColumnInfo& c, Resolved& out) {
  out.sql = ValueSql(ft.alias, c);
  out.raw = RawSql(ft.alias, c);
  out.type = c.type;
  out.size = c.size;
  out.column = &c;
  out.table = ft.table->name;
}

Resolver TableResolver(const std::vector<FromTable>& tables, const std::string& context) {
  return [&tables, context](const std::vector<std::string>& parts, Resolved& out) {
    if (parts.size() == 1) {
      const FromTable* found = nullptr;
      const ColumnInfo* column = nullptr;
      for (const auto& ft : tables) {
        if (const ColumnInfo* c = ft.table->Column(parts[0])) {
          if (found != nullptr)
            Raise(3079, "The field " + Quoted(parts[0]) + " could refer to more than one table in " + Quoted(context) + ".");
          found = &ft;
          column = c;
        }
      }
      if (found == nullptr) return false;
      Describe(*found, *column, out);
      return true;
    }
    const std::string& qualifier = parts[parts.size() - 2];
    for (const auto& ft : tables) {
      if (SameName(ft.alias, qualifier) || SameName(ft.table->name, qualifier)) {
        const ColumnInfo* c = ft.table->Column(parts.back());
        if (c == nullptr) return false;
        Describe(ft, *c, out);
        return true;
      }
    }
    return false;
  };
}

// Names of the result fields of a plan, as columns c0, c1 ... of the layer `alias` of a wrapped
// query; a qualified name matches by its last part.
Resolver OutputResolver(const std::vector<OutField>& fields, const std::string& alias) {
  return [&fields, alias](const std::vector<std::string>& parts, Resolved& out) {
    for (size_t k = 0; k < fields.size(); ++k) {
      const OutField& f = fields[k];
      if (!SameName(f.name, parts.back()) && !(parts.size() > 1 && SameName(f.column, parts.back()))) continue;
      const std::string column = QuoteName(alias) + "." + QuoteName("c" + std::to_string(k));
      out.sql = f.type == dbCurrency ? "(" + column + " / 10000.0)" : column;
      out.type = f.type;
      out.size = f.size;
      return true;
    }
    return false;
  };
}

const TableInfo& LookupTable(const Catalog& catalog, const std::string& name) {
  const TableInfo* t = catalog.FindTable(name);
  if (t == nullptr) {
    if (catalog.FindQuery(name) != nullptr)
      Raise(err::kUnknownTable, "The query " + Quoted(name) + " cannot be used as a table in a FROM clause here; open it by name.");
    Raise(err::kUnknownTable, "The table or query " + Quoted(name) + " does not exist in this database.");
  }
  return *t;
}

void AppendAll(std::vector<Slot>& to, const std::vector<Slot>& from) { to.insert(to.end(), from.begin(), from.end()); }

// A select as a member of a union or the innermost layer of a wrapped query: its fields named
// c0, c1 ..., and `keys` (hidden sort keys) named k0, k1 ....
SqlText LayerSelect(const SelectPlan& p, const std::vector<SqlText>& keys) {
  SqlText out;
  out.Add(std::string("SELECT ") + (p.distinct ? "DISTINCT " : ""));
  for (size_t k = 0; k < p.fields.size(); ++k)
    out.Add((k ? ", " : "") + p.fields[k].sql + " AS " + QuoteName("c" + std::to_string(k)), p.fields[k].slots);
  for (size_t k = 0; k < keys.size(); ++k) out.Add(", ").Add(keys[k]).Add(" AS " + QuoteName("k" + std::to_string(k)));
  return out.Add(FromOn(p));
}

// One key of an ORDER BY as SQL over a layer of a wrapped query.
struct SortKey {
  SqlText sql;
  bool text = false;
  bool descending = false;
};

std::string KeyList(const std::vector<SortKey>& keys, std::vector<Slot>& slots) {
  std::string out;
  for (size_t k = 0; k < keys.size(); ++k) {
    out += (k ? ", " : "") + keys[k].sql.sql + (keys[k].text ? " COLLATE JET" : "") + (keys[k].descending ? " DESC" : "");
    AppendAll(slots, keys[k].sql.slots);
  }
  return out;
}

SelectPlan PlanIn(const Catalog& catalog, const Select& s, const Scope& scope,
                  const std::vector<ExprPtr>& filters, const std::vector<OrderItem>& sort) {
  SelectPlan plan;
  if (s.from.empty()) Raise(err::kSyntaxInFrom, "The query has no FROM clause.");
  std::vector<ParamInfo>* parameters = scope.parameters;

  std::vector<FromTable> tables;
  for (const FromItem& item : s.from) {
    const TableInfo& first = LookupTable(catalog, item.first.name);
    tables.push_back({&first, item.first.alias.empty() ? first.name : item.first.alias});
    for (const Join& j : item.joins) {
      const TableInfo& t = LookupTable(catalog, j.table.name);
      tables.push_back({&t, j.table.alias.empty() ? t.name : j.table.alias});
    }
  }
  const std::string context = "SELECT";
  const Resolver own_tables = TableResolver(tables, context);
  // The select's own tables first; a name they do not have may belong to the enclosing query.
  const Resolver table_resolver = [&](const std::vector<std::string>& parts, Resolved& out) {
    return own_tables(parts, out) || (scope.outer != nullptr && (*scope.outer)(parts, out));
  };
  auto translator = [&](const Resolver& resolver, Mode mode, std::vector<Slot>& slots, const std::string& where) {
    return ExprTranslator(resolver, mode, slots, parameters, where, &catalog);
  };

  std::string from = " FROM ";
  {
    size_t ti = 0;
    for (size_t k = 0; k < s.from.size(); ++k) {
      const FromItem& item = s.from[k];
      if (k) from += ", ";
      from += QuoteName(tables[ti].table->name) + " AS " + QuoteName(tables[ti].alias);
      ++ti;
      for (const Join& j : item.joins) {
        from += j.kind == Join::kLeft ? " LEFT JOIN " : j.kind == Join::kRight ? " RIGHT JOIN " : " INNER JOIN ";
        from += QuoteName(tables[ti].table->name) + " AS " + QuoteName(tables[ti].alias);
        ++ti;
        int type = 0;
        from += " ON " + translator(table_resolver, scope.mode, plan.from_slots, "JOIN ON").Translate(j.on, type);
      }
    }
  }
  plan.from_sql = from;

  // Result columns.
  bool aggregate = false;
  for (const SelectItem& item : s.items) {
    if (item.star) {
      const size_t before = plan.fields.size();
      for (const auto& ft : tables) {
        if (!item.star_table.empty() && !SameName(item.star_table, ft.alias) && !SameName(item.star_table, ft.table->name)) continue;
        for (const ColumnInfo& c : ft.table->columns) {
          OutField f;
          f.name = c.name;
          if (tables.size() > 1 && item.star_table.empty()) f.name = ft.alias + "." + c.name;
          f.type = c.type;
          f.size = c.size;
          f.attributes = c.attributes;
          f.required = c.required;
          f.default_value = c.default_value;
          f.table = ft.table->name;
          f.column = c.name;
          f.sql = FieldSql(ft.alias, c);
          f.properties = c.properties;
          plan.fields.push_back(f);
        }
      }
      if (!item.star_table.empty() && plan.fields.size() == before)
        Raise(err::kUnknownTable, "The table " + Quoted(item.star_table) + " of " + Quoted(item.star_table + ".*") + " is not in the FROM clause.");
      continue;
    }
    OutField f;
    if (item.expr->kind == Expr::kName) {
      Resolved r;
      if (own_tables(item.expr->parts, r)) {
        f.name = item.alias.empty() ? r.column->name : item.alias;
        f.type = r.column->type;
        f.size = r.column->size;
        f.attributes = r.column->attributes;
        f.required = r.column->required;
        f.default_value = r.column->default_value;
        f.table = r.table;
        f.column = r.column->name;
        for (const auto& ft : tables)
          if (ft.table->name == r.table && ft.table->Column(r.column->name) == r.column) f.sql = FieldSql(ft.alias, *r.column);
        f.properties = r.column->properties;
        plan.fields.push_back(f);
        continue;
      }
    }
    int type = 0;
    ExprTranslator tr = translator(table_resolver, scope.mode, f.slots, item.source);
    std::string sql = tr.Translate(item.expr, type);
    aggregate = aggregate || tr.aggregate_seen;
    if (type == dbBoolean && item.expr->kind != Expr::kName) sql = "jet_bool(" + sql + ")";
    if (type == dbCurrency) sql = "CAST(round((" + sql + ") * 10000) AS INTEGER)";
    f.name = item.alias.empty() ? "Expr" + std::string(plan.fields.size() < 9 ? "100" : "10") + std::to_string(plan.fields.size() + 1) : item.alias;
    f.type = type ? type : dbText;
    f.size = IsTextType(f.type) ? 255 : FixedSize(f.type);
    f.sql = sql;
    plan.fields.push_back(f);
  }
  if (plan.fields.empty()) Raise(err::kExpressionSyntax, "The query selects no fields.");

  // Names in WHERE, HAVING and ORDER BY may also be names of result columns; the alias of an
  // expression brings the expression's values along.
  const Resolver with_aliases = [&](const std::vector<std::string>& parts, Resolved& out) {
    if (own_tables(parts, out)) return true;
    if (parts.size() == 1) {
      for (const OutField& f : plan.fields) {
        if (SameName(f.name, parts[0])) {
          out.sql = FieldValueSql(f);
          out.type = f.type;
          out.size = f.size;
          out.slots = f.slots;
          return true;
        }
      }
    }
    return scope.outer != nullptr && (*scope.outer)(parts, out);
  };

  const bool has_union = !s.unions.empty();
  const bool grouped_before = s.distinct || !s.group_by.empty() || s.having != nullptr;
  plan.distinct = s.distinct;

  std::string where;
  if (s.where) {
    int type = 0;
    where = translator(with_aliases, scope.mode, plan.where_slots, "WHERE").Translate(s.where, type);
  }

  if (!s.group_by.empty() || s.having) {
    std::string tail;
    if (!s.group_by.empty()) {
      tail = " GROUP BY ";
      for (size_t k = 0; k < s.group_by.size(); ++k) {
        int type = 0;
        tail += (k ? ", " : "") + translator(table_resolver, scope.mode, plan.tail_slots, "GROUP BY").Translate(s.group_by[k], type);
      }
    }
    if (s.having) {
      int type = 0;
      tail += " HAVING " + translator(with_aliases, scope.mode, plan.tail_slots, "HAVING").Translate(s.having, type);
    }
    plan.tail_sql = tail;
  }
  const bool grouped = grouped_before || aggregate;
  // Filter and Sort of a recordset apply to the records of its query: after grouping, TOP and
  // UNION they are a layer of their own.
  const bool derived = (!filters.empty() || !sort.empty()) && (grouped || s.top >= 0 || has_union);
  const bool wrapped = has_union || s.top_percent || (s.top >= 0 && !s.order_by.empty()) || derived;

  std::string list;
  for (size_t k = 0; k < plan.fields.size(); ++k) {
    list += (k ? ", " : "") + plan.fields[k].sql;
    AppendAll(plan.select_slots, plan.fields[k].slots);
  }
  plan.select_sql = (s.distinct ? "DISTINCT " : "") + list;

  if (!wrapped) {
    for (const ExprPtr& filter : filters) {
      int type = 0;
      const std::string f = translator(with_aliases, kUnknownIsError, plan.where_slots, "Filter").Translate(filter, type);
      where = where.empty() ? f : "(" + where + ") AND (" + f + ")";
    }
    if (!where.empty()) plan.where_sql = " WHERE " + where;
    const auto& order = sort.empty() ? s.order_by : sort;
    if (!order.empty()) {
      std::string o = " ORDER BY ";
      for (size_t k = 0; k < order.size(); ++k) {
        int type = 0;
        ExprTranslator tr = translator(with_aliases, sort.empty() ? scope.mode : kUnknownIsError, plan.order_slots, "ORDER BY");
        o += (k ? ", " : "") + tr.Translate(order[k].expr, type) + (IsTextType(type) ? " COLLATE JET" : "") +
             (order[k].descending ? " DESC" : "");
      }
      plan.order_sql = o;
    }
    if (s.top >= 0) plan.limit_sql = " LIMIT " + std::to_string(s.top);
    plan.keyset = tables.size() == 1 && !grouped && s.top < 0 && !tables[0].table->IsSystem();
    if (tables.size() == 1) {
      plan.base_table = tables[0].table->name;
      plan.base_alias = tables[0].alias;
    }
    for (OutField& f : plan.fields) {
      f.updatable = plan.keyset && !f.column.empty() && !(f.attributes & dbAutoIncrField);
      if (f.updatable) f.attributes |= dbUpdatableField;
    }
    return plan;
  }

  // A wrapped query: SELECT w.c0, w.c1 ... FROM (core) AS w [WHERE top AND filters] ORDER BY ...,
  // where core is the select (or the union of selects) with its fields named c0, c1 ..., and
  // for TOP the rank of every record in the query's order.
  if (!where.empty()) plan.where_sql = " WHERE " + where;
  std::vector<OutField> fields = plan.fields;
  SqlText base;
  std::vector<SortKey> inner_keys;  // the query's order over the layer "q" of the core
  std::vector<SortKey> outer_keys;  // the same over the outer layer "w"
  if (!has_union) {
    // ORDER BY items become hidden columns k0, k1 ... of the select (a name of a result field
    // of a DISTINCT select is that field, so that the hidden column cannot split its records).
    std::vector<SqlText> hidden;
    for (const OrderItem& o : s.order_by) {
      SortKey inner, outer;
      inner.descending = outer.descending = o.descending;
      int field = -1;
      if (s.distinct && o.expr->kind == Expr::kName) {
        const std::string& last = o.expr->parts.back();
        for (size_t k = 0; k < fields.size() && field < 0; ++k)
          if (SameName(fields[k].name, last) || (o.expr->parts.size() > 1 && SameName(fields[k].column, last)))
            field = static_cast<int>(k);
      }
      std::string column;
      int type = 0;
      if (field >= 0) {
        column = "c" + std::to_string(field);
        type = fields[static_cast<size_t>(field)].type;
      } else {
        if (s.distinct)
          Raise(3093, "ORDER BY clause (" + o.expr->text + ") conflicts with DISTINCT: order by a field of the query.");
        SqlText key;
        key.Add(translator(with_aliases, scope.mode, key.slots, "ORDER BY").Translate(o.expr, type));
        column = "k" + std::to_string(hidden.size());
        hidden.push_back(key);
      }
      inner.text = outer.text = IsTextType(type);
      inner.sql.Add(QuoteName("q") + "." + QuoteName(column));
      outer.sql.Add(QuoteName("w") + "." + QuoteName(column));
      inner_keys.push_back(inner);
      outer_keys.push_back(outer);
    }
    SelectPlan inner = plan;
    inner.order_sql.clear();
    inner.order_slots.clear();
    if (s.top >= 0 && s.order_by.empty() && !s.top_percent) inner.limit_sql = " LIMIT " + std::to_string(s.top);
    base = LayerSelect(inner, hidden);
  } else {
    SelectPlan first = plan;
    base = LayerSelect(first, {});
    for (const Select::UnionPart& part : s.unions) {
      const SelectPlan member = PlanIn(catalog, *part.select, scope, {}, {});
      if (member.fields.size() != fields.size())
        Raise(kUnionColumns, "The number of columns in the two selected tables or queries of a union query do not match.");
      SqlText text = LayerSelect(member, {});
      base.Add(part.all ? " UNION ALL " : " UNION ");
      // A member with its own TOP keeps its limit inside a layer of its own.
      if (!member.limit_sql.empty()) base.Add("SELECT * FROM (").Add(text).Add(")");
      else base.Add(text);
    }
    for (const OrderItem& o : s.order_by) {
      SortKey inner, outer;
      inner.descending = outer.descending = o.descending;
      int type = 0;
      inner.sql.Add(ExprTranslator(OutputResolver(fields, "q"), kUnknownIsError, inner.sql.slots, nullptr, "ORDER BY").Translate(o.expr, type));
      outer.sql.Add(ExprTranslator(OutputResolver(fields, "w"), kUnknownIsError, outer.sql.slots, nullptr, "ORDER BY").Translate(o.expr, type));
      inner.text = outer.text = IsTextType(type);
      inner_keys.push_back(inner);
      outer_keys.push_back(outer);
    }
  }

  SqlText core;
  std::string condition;
  std::string order;
  std::vector<Slot> order_slots;
  const bool ranked = s.top >= 0 && (s.top_percent || !s.order_by.empty() || has_union);
  if (ranked) {
    // Jet's TOP keeps the records that tie with the last one: rank() numbers ties alike.
    // TOP n PERCENT takes n percent of the records, rounded up.
    std::vector<Slot> window_slots;
    const std::string keys = KeyList(inner_keys, window_slots);
    const std::string over = keys.empty() ? "OVER ()" : "OVER (ORDER BY " + keys + ")";
    std::vector<Slot> window_slots2;
    KeyList(inner_keys, window_slots2);
    core.Add("SELECT " + QuoteName("q") + ".*, " + std::string(keys.empty() ? "row_number() " : "rank() ") + over + " AS jet_rank",
             window_slots);
    core.Add(", row_number() " + over + " AS jet_row", window_slots2);
    core.Add(", count(*) OVER () AS jet_count FROM (").Add(base).Add(") AS " + QuoteName("q"));
    const std::string n = std::to_string(s.top);
    condition = s.top_percent ? "(" + QuoteName("w") + ".jet_rank - 1) * 100 < " + n + " * " + QuoteName("w") + ".jet_count"
                              : QuoteName("w") + ".jet_rank <= " + n;
    order = QuoteName("w") + ".jet_row";
  } else {
    core = base;
    order = KeyList(outer_keys, order_slots);
  }

  SelectPlan out;
  out.fields = fields;
  out.distinct = false;
  for (size_t k = 0; k < out.fields.size(); ++k) {
    OutField& f = out.fields[k];
    f.sql = QuoteName("w") + "." + QuoteName("c" + std::to_string(k));
    f.slots.clear();
    f.updatable = false;
    f.attributes &= ~dbUpdatableField;
    out.select_sql += (k ? ", " : "") + f.sql;
  }
  out.from_sql = " FROM (" + core.sql + ") AS " + QuoteName("w");
  out.from_slots = core.slots;
  const Resolver outputs = OutputResolver(fields, "w");
  std::string outer_where = condition;
  for (const ExprPtr& filter : filters) {
    int type = 0;
    const std::string f = ExprTranslator(outputs, kUnknownIsError, out.where_slots, nullptr, "Filter", &catalog).Translate(filter, type);
    outer_where = outer_where.empty() ? f : "(" + outer_where + ") AND (" + f + ")";
  }
  if (!outer_where.empty()) out.where_sql = " WHERE " + outer_where;
  if (!sort.empty()) {
    order.clear();
    order_slots.clear();
    for (size_t k = 0; k < sort.size(); ++k) {
      int type = 0;
      const std::string key = ExprTranslator(outputs, kUnknownIsError, order_slots, nullptr, "Sort", &catalog).Translate(sort[k].expr, type);
      order += (k ? ", " : "") + key + (IsTextType(type) ? " COLLATE JET" : "") + (sort[k].descending ? " DESC" : "");
    }
  }
  if (!order.empty()) out.order_sql = " ORDER BY " + order;
  out.order_slots = order_slots;
  return out;
}

}  // namespace

std::vector<Cell> BindSlots(const std::vector<Slot>& slots, const std::vector<Cell>& parameters,
                            const std::vector<Cell>* row) {
  std::vector<Cell> out;
  out.reserve(slots.size());
  for (const Slot& s : slots) {
    switch (s.kind) {
      case Slot::kValue: out.push_back(s.value); break;
      case Slot::kParameter:
        out.push_back(s.index < static_cast<int>(parameters.size()) ? parameters[s.index] : Cell());
        break;
      case Slot::kRowColumn:
        out.push_back(row != nullptr && s.index < static_cast<int>(row->size()) ? (*row)[s.index] : Cell());
        break;
    }
  }
  return out;
}

SelectPlan PlanSelect(const Catalog& catalog, const QuerySource& source) {
  std::vector<ParamInfo> parameters;
  for (const auto& d : source.declared) parameters.push_back({d.name, d.type, true});
  Scope scope;
  scope.parameters = &parameters;
  SelectPlan plan = PlanIn(catalog, source.select, scope, source.filters, source.sort);
  plan.parameters = std::move(parameters);
  return plan;
}

std::string TranslateCriteria(const Catalog& catalog, const SelectPlan& plan, const ExprPtr& criteria,
                              std::vector<Slot>& slots) {
  const TableInfo* base = catalog.FindTable(plan.base_table);
  std::vector<FromTable> tables;
  if (base) tables.push_back({base, plan.base_alias});
  const Resolver table_resolver = TableResolver(tables, "criteria");
  const Resolver resolver = [&](const std::vector<std::string>& parts, Resolved& out) {
    if (parts.size() == 1) {
      for (const OutField& f : plan.fields) {
        if (SameName(f.name, parts[0])) {
          if (!f.column.empty() && base != nullptr) {
            if (const ColumnInfo* c = base->Column(f.column)) {
              Describe(tables[0], *c, out);
              return true;
            }
          }
          out.sql = FieldValueSql(f);
          out.type = f.type;
          out.size = f.size;
          out.slots = f.slots;
          return true;
        }
      }
    }
    return table_resolver(parts, out);
  };
  int type = 0;
  ExprTranslator tr(resolver, kUnknownIsError, slots, nullptr, "criteria", &catalog);
  return tr.Translate(criteria, type);
}

std::string TranslateRowCriteria(const SelectPlan& plan, const ExprPtr& criteria, std::vector<Slot>& slots) {
  const Resolver resolver = [&](const std::vector<std::string>& parts, Resolved& out) {
    const std::string& name = parts.back();
    for (size_t k = 0; k < plan.fields.size(); ++k) {
      const OutField& f = plan.fields[k];
      const bool qualified_ok = parts.size() == 1 || SameName(parts[parts.size() - 2], f.table);
      if (qualified_ok && (SameName(f.name, name) || (parts.size() > 1 && SameName(f.column, name)))) {
        out.row_column = static_cast<int>(k);
        out.type = f.type;
        out.size = f.size;
        return true;
      }
    }
    return false;
  };
  int type = 0;
  ExprTranslator tr(resolver, kUnknownIsError, slots, nullptr, "criteria");
  return tr.Translate(criteria, type);
}

std::string TranslateOrder(const Catalog& catalog, const SelectPlan& plan,
                           const std::vector<OrderItem>& items, std::vector<Slot>& slots) {
  std::string out;
  for (const OrderItem& item : items) {
    std::vector<Slot> part;
    const std::string sql = TranslateCriteria(catalog, plan, item.expr, part);
    slots.insert(slots.end(), part.begin(), part.end());
    out += (out.empty() ? "" : ", ") + sql + (item.descending ? " DESC" : "");
  }
  return out;
}

namespace {

std::string StoreSql(const std::string& table, const ColumnInfo& c, const std::string& value_sql) {
  return "jet_store(" + std::to_string(c.type) + ", " + std::to_string(c.size) + ", " +
         QuoteText(table + "." + c.name) + ", " + value_sql + ")";
}

// INSERT INTO table (targets) SELECT ...: the select's fields stored as the target columns.
void InsertSelect(const Catalog& catalog, const std::string& table, const std::vector<const ColumnInfo*>& targets,
                  const Select& select, const std::vector<ParamDecl>& declared, ActionPlan& plan) {
  QuerySource src;
  src.select = select;
  src.declared = declared;
  const SelectPlan sp = PlanSelect(catalog, src);
  if (sp.fields.size() != targets.size())
    Raise(3346, "The number of query values and destination fields are not the same.");
  SqlText sql;
  sql.Add(std::string("SELECT ") + (sp.distinct ? "DISTINCT " : ""));
  for (size_t k = 0; k < targets.size(); ++k) {
    const OutField& f = sp.fields[k];
    const std::string v = f.type == dbGUID && !f.column.empty() ? f.sql : FieldValueSql(f);
    sql.Add((k ? ", " : "") + StoreSql(table, *targets[k], v), f.slots);
  }
  sql.Add(FromOn(sp));
  plan.sql += sql.sql;
  AppendAll(plan.slots, sql.slots);
  plan.parameters = sp.parameters;
}

}  // namespace

ActionPlan PlanAction(const Catalog& catalog, const JetStatement& st) {
  ActionPlan plan;
  for (const auto& d : st.parameters) plan.parameters.push_back({d.name, d.type, true});
  const TableInfo& table = LookupTable(catalog, st.table);
  if (table.IsSystem())
    Raise(err::kReadOnly, "The system table " + Quoted(table.name) + " cannot be changed by a query.");
  std::vector<FromTable> tables = {{&table, st.table_alias.empty() ? table.name : st.table_alias}};
  const Resolver resolver = TableResolver(tables, "query");
  auto store = [&](const ColumnInfo& c, const std::string& value_sql) { return StoreSql(table.name, c, value_sql); };
  // The WHERE part of a DELETE or UPDATE; empty without a condition.
  auto where_clause = [&]() -> std::string {
    if (!st.where) return std::string();
    int type = 0;
    ExprTranslator tr(resolver, kParameters, plan.slots, &plan.parameters, "WHERE", &catalog);
    return " WHERE " + tr.Translate(st.where, type);
  };
  switch (st.kind) {
    case JetStatement::kDelete: {
      plan.sql = "DELETE FROM " + QuoteName(table.name);
      if (!st.table_alias.empty()) plan.sql += " AS " + QuoteName(st.table_alias);
      plan.sql += where_clause();
      return plan;
    }
    case JetStatement::kUpdate: {
      plan.sql = "UPDATE " + QuoteName(table.name);
      if (!st.table_alias.empty()) plan.sql += " AS " + QuoteName(st.table_alias);
      plan.sql += " SET ";
      for (size_t k = 0; k < st.assignments.size(); ++k) {
        const ColumnInfo* c = table.Column(st.assignments[k].first);
        if (c == nullptr)
          Raise(err::kUnknownName, "The table " + Quoted(table.name) + " has no field " + Quoted(st.assignments[k].first) + ".");
        if (c->IsCounter()) Raise(err::kInvalidOperation, "The counter field " + Quoted(c->name) + " cannot be updated.");
        int type = 0;
        ExprTranslator tr(resolver, kParameters, plan.slots, &plan.parameters, "SET", &catalog);
        plan.sql += (k ? ", " : "") + QuoteName(c->name) + " = " + store(*c, tr.Translate(st.assignments[k].second, type));
      }
      plan.sql += where_clause();
      return plan;
    }
    case JetStatement::kInsert: {
      std::vector<const ColumnInfo*> targets;
      if (st.columns.empty()) {
        for (const auto& c : table.columns) targets.push_back(&c);
      } else {
        for (const auto& name : st.columns) {
          const ColumnInfo* c = table.Column(name);
          if (c == nullptr)
            Raise(kUnknownDestinationField,
                  "Unknown field name " + Quoted(name) + ": the table " + Quoted(table.name) + " has no such field.");
          targets.push_back(c);
        }
      }
      // A Yes/No field left out is No (unless it has a default of its own).
      std::vector<const ColumnInfo*> no_fields;
      for (const auto& c : table.columns) {
        if (c.type != dbBoolean || !c.default_value.empty()) continue;
        bool listed = false;
        for (const ColumnInfo* t : targets) listed = listed || t == &c;
        if (!listed) no_fields.push_back(&c);
      }
      std::string columns;
      for (const ColumnInfo* c : targets) columns += (columns.empty() ? "" : ", ") + QuoteName(c->name);
      for (const ColumnInfo* c : no_fields) columns += (columns.empty() ? "" : ", ") + QuoteName(c->name);
      plan.sql = "INSERT INTO " + QuoteName(table.name) + " (" + columns + ") ";
      const std::string no_values = [&] {
        std::string out;
        for (size_t k = 0; k < no_fields.size(); ++k) out += ", 0";
        return out;
      }();
      if (st.insert_select) {
        // The select's values, then a 0 for each Yes/No field left out.
        if (!no_fields.empty()) plan.sql += "SELECT *" + no_values + " FROM (";
        InsertSelect(catalog, table.name, targets, st.select, st.parameters, plan);
        if (!no_fields.empty()) plan.sql += ")";
        return plan;
      }
      plan.sql += "VALUES ";
      for (size_t r = 0; r < st.values.size(); ++r) {
        if (st.values[r].size() != targets.size())
          Raise(3346, "The number of query values and destination fields are not the same.");
        plan.sql += r ? ", (" : "(";
        for (size_t k = 0; k < targets.size(); ++k) {
          int type = 0;
          ExprTranslator tr(resolver, kParameters, plan.slots, &plan.parameters, "VALUES", &catalog);
          plan.sql += (k ? ", " : "") + store(*targets[k], tr.Translate(st.values[r][k], type));
        }
        plan.sql += no_values + ")";
      }
      return plan;
    }
    default: break;
  }
  Raise(err::kInvalidOperation, "The statement is not an action query.");
}

MakeTablePlan PlanMakeTable(const Catalog& catalog, const JetStatement& st) {
  MakeTablePlan out;
  QuerySource src;
  src.select = st.select;
  src.declared = st.parameters;
  const SelectPlan sp = PlanSelect(catalog, src);
  TableInfo& t = out.table;
  t.name = st.table;
  for (const OutField& f : sp.fields) {
    for (const ColumnInfo& c : t.columns)
      if (SameName(c.name, f.name))
        Raise(err::kObjectExists, "The new table " + Quoted(st.table) + " would have two fields named " + Quoted(f.name) + ".");
    ColumnInfo c;
    c.name = f.name;
    // The new fields take the DAO types of the selected ones; an AutoNumber becomes a plain Long.
    c.type = f.type;
    c.size = IsTextType(f.type) || f.type == dbBinary ? (f.size > 0 ? f.size : 255) : FixedSize(f.type);
    if (f.type == dbMemo || f.type == dbLongBinary) c.size = 0;
    t.columns.push_back(c);
  }
  std::vector<const ColumnInfo*> targets;
  for (const ColumnInfo& c : t.columns) targets.push_back(&c);
  ActionPlan& plan = out.insert;
  for (const auto& d : st.parameters) plan.parameters.push_back({d.name, d.type, true});
  plan.sql = "INSERT INTO " + QuoteName(t.name) + " (";
  for (size_t k = 0; k < targets.size(); ++k) plan.sql += (k ? ", " : "") + QuoteName(targets[k]->name);
  plan.sql += ") ";
  InsertSelect(catalog, t.name, targets, st.select, st.parameters, plan);
  return out;
}

std::vector<ParamInfo> StatementParameters(const Catalog& catalog, const JetStatement& st) {
  if (st.kind == JetStatement::kSelect || st.kind == JetStatement::kSelectInto) {
    QuerySource src;
    src.select = st.select;
    src.declared = st.parameters;
    return PlanSelect(catalog, src).parameters;
  }
  if (st.kind == JetStatement::kInsert || st.kind == JetStatement::kUpdate || st.kind == JetStatement::kDelete)
    return PlanAction(catalog, st).parameters;
  return {};
}

std::string TranslateDefault(const std::string& expression, const ColumnInfo& column) {
  std::string text = expression;
  if (!text.empty() && text[0] == '=') text = text.substr(1);
  const ExprPtr e = ParseExpression(text);
  std::vector<Slot> slots;
  int type = 0;
  ExprTranslator tr(nullptr, kUnknownIsError, slots, nullptr, expression, nullptr, true);
  const std::string sql = tr.Translate(e, type);
  return "jet_store(" + std::to_string(column.type) + ", " + std::to_string(column.size) + ", " +
         QuoteText(column.name) + ", " + sql + ")";
}

}  // namespace engine
