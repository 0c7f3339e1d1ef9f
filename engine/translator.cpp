#include "engine/translator.h"

#include <functional>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/jet_parser.h"
#include "engine/values.h"

namespace engine {

using namespace dao;

namespace {

// What a name stands for.
struct Resolved {
  std::string sql;  // the value as SQL
  int type = 0;
  int32_t size = 0;
  const ColumnInfo* column = nullptr;
  std::string table;
  int row_column = -1;  // for row criteria
};

using Resolver = std::function<bool(const std::vector<std::string>& parts, Resolved& out)>;

bool IsTextual(int type) { return IsTextType(type); }
bool IsNumberLike(int type) { return IsNumericType(type) || IsDateType(type); }

std::string NameText(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ".") + p;
  return out;
}

class ExprTranslator {
 public:
  enum Mode { kParameters, kUnknownIsError };

  ExprTranslator(Resolver resolver, Mode mode, std::vector<Slot>& slots,
                 std::vector<ParamInfo>* parameters, const std::string& context, bool inline_literals = false)
      : resolve_(std::move(resolver)), mode_(mode), slots_(slots), parameters_(parameters),
        context_(context), inline_(inline_literals) {}

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
        int t;
        const std::string a = Translate(e->args[0], t);
        if (e->op == "NOT") { type = dbBoolean; return "(NOT " + a + ")"; }
        type = t;
        return e->op == "-" ? "(-" + a + ")" : a;
      }
      case Expr::kBinary: return Binary(e, type);
      case Expr::kLike: {
        int ta, tb;
        const std::string a = Translate(e->args[0], ta), b = Translate(e->args[1], tb);
        type = dbBoolean;
        return std::string(e->negated ? "(NOT " : "(") + "jet_like(" + a + ", " + b + "))";
      }
      case Expr::kIn: {
        int ta;
        const std::string a = Translate(e->args[0], ta);
        std::string list;
        bool text = IsTextual(ta);
        for (size_t k = 1; k < e->args.size(); ++k) {
          int t;
          list += (k > 1 ? ", " : "") + Translate(e->args[k], t);
          CheckComparable(ta, t, e->args[0], e->args[k]);
          text = text || IsTextual(t);
        }
        type = dbBoolean;
        return "(" + a + (text ? " COLLATE JET" : "") + (e->negated ? " NOT IN (" : " IN (") + list + "))";
      }
      case Expr::kBetween: {
        int ta, tb, tc;
        const std::string a = Translate(e->args[0], ta), b = Translate(e->args[1], tb),
                          c = Translate(e->args[2], tc);
        CheckComparable(ta, tb, e->args[0], e->args[1]);
        CheckComparable(ta, tc, e->args[0], e->args[2]);
        type = dbBoolean;
        const bool text = IsTextual(ta) || IsTextual(tb) || IsTextual(tc);
        return "(" + a + (text ? " COLLATE JET" : "") + (e->negated ? " NOT BETWEEN " : " BETWEEN ") + b + " AND " + c + ")";
      }
      case Expr::kIsNull: {
        int t;
        const std::string a = Translate(e->args[0], t);
        type = dbBoolean;
        return "(" + a + (e->negated ? " IS NOT NULL)" : " IS NULL)");
      }
      case Expr::kCall: return Call(e, type);
    }
    Raise(err::kExpressionSyntax, "Unsupported expression in " + Quoted(context_) + ".");
  }

  bool aggregate_seen = false;

 private:
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
      return r.sql;
    }
    const std::string name = NameText(e->parts);
    if (mode_ == kUnknownIsError || parameters_ == nullptr)
      Raise(err::kUnknownName, "The name " + Quoted(name) + " in the expression " + Quoted(context_) +
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

  void CheckComparable(int a, int b, const ExprPtr& ea, const ExprPtr& eb) {
    // Jet refuses to compare a number or date with a text constant.
    auto literal_text = [](const ExprPtr& e) { return e->kind == Expr::kString; };
    if ((IsNumberLike(a) && literal_text(eb)) || (IsNumberLike(b) && literal_text(ea)))
      Raise(err::kTypeMismatch, "Data type mismatch in the criteria " + Quoted(context_) +
                                    ": a number or date is compared with a text.");
  }

  std::string Binary(const ExprPtr& e, int& type) {
    int ta, tb;
    const std::string a = Translate(e->args[0], ta);
    const std::string b = Translate(e->args[1], tb);
    const std::string& op = e->op;
    if (op == "AND" || op == "OR") { type = dbBoolean; return "(" + a + " " + op + " " + b + ")"; }
    if (op == "XOR") { type = dbBoolean; return "((" + a + " <> 0) <> (" + b + " <> 0))"; }
    if (op == "EQV") { type = dbBoolean; return "((" + a + " <> 0) = (" + b + " <> 0))"; }
    if (op == "IMP") { type = dbBoolean; return "((" + a + " = 0) OR (" + b + " <> 0))"; }
    if (op == "&") { type = dbText; return "jet_concat(" + a + ", " + b + ")"; }
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
      CheckComparable(ta, tb, e->args[0], e->args[1]);
      type = dbBoolean;
      const bool text = IsTextual(ta) || IsTextual(tb);
      return "(" + a + (text ? " COLLATE JET " : " ") + op + " " + b + ")";
    }
    if (op == "+" && (IsTextual(ta) || IsTextual(tb))) { type = dbText; return "(" + a + " || " + b + ")"; }
    if (op == "+" && (IsDateType(ta) || IsDateType(tb))) type = dbDate;
    else if (op == "-" && IsDateType(ta) && !IsDateType(tb)) type = dbDate;
    else if (op == "/" || op == "^") type = dbDouble;
    else if (IsIntegerType(ta) && IsIntegerType(tb) && op != "/") type = dbLong;
    else if (ta == dbCurrency || tb == dbCurrency) type = dbCurrency;
    else type = dbDouble;
    if (op == "/") return "(CAST(" + a + " AS REAL) / " + b + ")";
    if (op == "\\") { type = dbLong; return "(CAST(jet_round(" + a + ") AS INTEGER) / CAST(jet_round(" + b + ") AS INTEGER))"; }
    if (op == "MOD") { type = dbLong; return "(CAST(jet_round(" + a + ") AS INTEGER) % CAST(jet_round(" + b + ") AS INTEGER))"; }
    if (op == "^") return "jet_pow(" + a + ", " + b + ")";
    return "(" + a + " " + op + " " + b + ")";
  }

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
        Raise(err::kExpressionSyntax, "Wrong number of arguments to " + f + " in " + Quoted(context_) + ".");
    };
    auto simple = [&](const char* sql_name, int result, size_t n) {
      need(n, n);
      type = result;
      std::string out = std::string(sql_name) + "(";
      for (size_t k = 0; k < a.size(); ++k) out += (k ? ", " : "") + a[k];
      return out + ")";
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
    if (f == "CHR" || f == "CHR$" || f == "CHRW" || f == "CHRW$") return simple("jet_chr", dbText, 1);
    if (f == "ASC" || f == "ASCW") return simple("jet_asc", dbInteger, 1);
    if (f == "MID" || f == "MID$") { need(2, 3); type = dbText; return "substr(" + a[0] + ", " + a[1] + (a.size() == 3 ? ", " + a[2] : "") + ")"; }
    if (f == "INSTR") { need(2, 3); type = dbLong; return simple("jet_instr", dbLong, a.size()); }
    if (f == "NZ") { need(1, 2); type = t[0]; return "coalesce(" + a[0] + ", " + (a.size() == 2 ? a[1] : "''") + ")"; }
    if (f == "IIF") { need(3, 3); type = t[1] ? t[1] : t[2]; return "(CASE WHEN " + a[0] + " THEN " + a[1] + " ELSE " + a[2] + " END)"; }
    if (f == "ISNULL") { need(1, 1); type = dbBoolean; return "jet_bool(" + a[0] + " IS NULL)"; }
    if (f == "YEAR") return simple("jet_year", dbInteger, 1);
    if (f == "MONTH") return simple("jet_month", dbInteger, 1);
    if (f == "DAY") return simple("jet_day", dbInteger, 1);
    if (f == "HOUR") return simple("jet_hour", dbInteger, 1);
    if (f == "MINUTE") return simple("jet_minute", dbInteger, 1);
    if (f == "SECOND") return simple("jet_second", dbInteger, 1);
    if (f == "WEEKDAY") return simple("jet_weekday", dbInteger, 1);
    if (f == "GENGUID") { need(0, 0); type = dbGUID; return "randomblob(16)"; }  // a new random GUID
    if (f == "NOW") return simple("jet_now", dbDate, 0);
    if (f == "DATE" || f == "DATE$") return simple("jet_date", dbDate, 0);
    if (f == "TIME" || f == "TIME$") return simple("jet_time", dbDate, 0);
    if (f == "DATESERIAL") return simple("jet_dateserial", dbDate, 3);
    if (f == "TIMESERIAL") return simple("jet_timeserial", dbDate, 3);
    if (f == "CDATE" || f == "DATEVALUE" || f == "CVDATE") return simple("jet_cdate", dbDate, 1);
    if (f == "CSTR" || f == "STR" || f == "STR$") return simple("jet_text", dbText, 1);
    if (f == "CLNG") { need(1, 1); type = dbLong; return "jet_store(4, 4, 'CLng', " + a[0] + ")"; }
    if (f == "CINT") { need(1, 1); type = dbInteger; return "jet_store(3, 2, 'CInt', " + a[0] + ")"; }
    if (f == "CBYTE") { need(1, 1); type = dbByte; return "jet_store(2, 1, 'CByte', " + a[0] + ")"; }
    if (f == "CDBL" || f == "CSNG" || f == "CDEC") { need(1, 1); type = dbDouble; return "jet_store(7, 8, '" + f + "', " + a[0] + ")"; }
    if (f == "CCUR") { need(1, 1); type = dbDouble; return "(jet_store(5, 8, 'CCur', " + a[0] + ") / 10000.0)"; }
    if (f == "CBOOL") return simple("jet_bool", dbBoolean, 1);
    if (f == "VAL") return simple("jet_val", dbDouble, 1);
    if (f == "ABS") { need(1, 1); type = t[0] ? t[0] : dbDouble; return "abs(" + a[0] + ")"; }
    if (f == "INT") { need(1, 1); type = t[0] ? t[0] : dbDouble; return "jet_int(" + a[0] + ")"; }
    if (f == "FIX") { need(1, 1); type = t[0] ? t[0] : dbDouble; return "jet_fix(" + a[0] + ")"; }
    if (f == "ROUND") { need(1, 2); type = dbDouble; return simple("jet_round", dbDouble, a.size()); }
    if (f == "SGN") return simple("jet_sgn", dbInteger, 1);
    if (f == "SQR") return simple("jet_sqr", dbDouble, 1);
    if (f == "SPACE" || f == "SPACE$") { need(1, 1); type = dbText; return "printf('%*s', " + a[0] + ", '')"; }
    Raise(3085, "Undefined function " + Quoted(f) + " in the expression " + Quoted(context_) + ".");
  }

  Resolver resolve_;
  Mode mode_;
  std::vector<Slot>& slots_;
  std::vector<ParamInfo>* parameters_;
  std::string context_;
  bool inline_;
};

// The tables of a FROM clause with their aliases.
struct FromTable {
  const TableInfo* table;
  std::string alias;
};

std::string ValueSql(const std::string& alias, const ColumnInfo& c) {
  const std::string raw = QuoteName(alias) + "." + QuoteName(c.name);
  return c.type == dbCurrency ? "(" + raw + " / 10000.0)" : raw;
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
      out.sql = ValueSql(found->alias, *column);
      out.type = column->type;
      out.size = column->size;
      out.column = column;
      out.table = found->table->name;
      return true;
    }
    const std::string& qualifier = parts[parts.size() - 2];
    for (const auto& ft : tables) {
      if (SameName(ft.alias, qualifier) || SameName(ft.table->name, qualifier)) {
        const ColumnInfo* c = ft.table->Column(parts.back());
        if (c == nullptr) return false;
        out.sql = ValueSql(ft.alias, *c);
        out.type = c->type;
        out.size = c->size;
        out.column = c;
        out.table = ft.table->name;
        return true;
      }
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
  const Select& s = source.select;
  SelectPlan plan;
  for (const auto& d : source.declared) plan.parameters.push_back({d.name, d.type, true});
  if (s.from.empty()) Raise(err::kSyntaxInFrom, "The query has no FROM clause.");

  std::vector<FromTable> tables;
  struct JoinSql { std::string sql; };
  std::string from = " FROM ";
  // Join conditions are translated after all tables are known.
  std::vector<std::pair<size_t, const Join*>> joins;
  for (size_t k = 0; k < s.from.size(); ++k) {
    const FromItem& item = s.from[k];
    const TableInfo& first = LookupTable(catalog, item.first.name);
    tables.push_back({&first, item.first.alias.empty() ? first.name : item.first.alias});
    for (const Join& j : item.joins) {
      const TableInfo& t = LookupTable(catalog, j.table.name);
      tables.push_back({&t, j.table.alias.empty() ? t.name : j.table.alias});
    }
  }
  const std::string context = "SELECT";
  const Resolver table_resolver = TableResolver(tables, context);
  {
    size_t ti = 0;
    for (size_t k = 0; k < s.from.size(); ++k) {
      const FromItem& item = s.from[k];
      if (k) from += ", ";
      from += QuoteName(tables[ti].table->name) + " AS " + QuoteName(tables[ti].alias);
      ++ti;
      for (const Join& j : item.joins) {
        if (j.kind == Join::kRight) Raise(err::kNotSupported, "RIGHT JOIN is not supported by this engine; write it as a LEFT JOIN.");
        from += j.kind == Join::kLeft ? " LEFT JOIN " : " INNER JOIN ";
        from += QuoteName(tables[ti].table->name) + " AS " + QuoteName(tables[ti].alias);
        ++ti;
        int type;
        ExprTranslator tr(table_resolver, ExprTranslator::kParameters, plan.from_slots, &plan.parameters, "JOIN ON");
        from += " ON " + tr.Translate(j.on, type);
      }
    }
  }
  plan.from_sql = from;

  // Result columns.
  bool aggregate = false;
  std::vector<std::string> select_items;
  for (const SelectItem& item : s.items) {
    if (item.star) {
      for (const auto& ft : tables) {
        if (!item.star_table.empty() && !SameName(item.star_table, ft.alias) && !SameName(item.star_table, ft.table->name)) continue;
        for (const ColumnInfo& c : ft.table->columns) {
          OutField f;
          f.name = tables.size() > 1 && !item.star_table.empty() ? c.name : c.name;
          if (tables.size() > 1 && item.star_table.empty()) f.name = ft.alias + "." + c.name;
          f.type = c.type;
          f.size = c.size;
          f.attributes = c.attributes;
          f.required = c.required;
          f.default_value = c.default_value;
          f.table = ft.table->name;
          f.column = c.name;
          f.sql = QuoteName(ft.alias) + "." + QuoteName(c.name);
          f.properties = c.properties;
          plan.fields.push_back(f);
        }
      }
      if (!item.star_table.empty() && plan.fields.empty())
        Raise(err::kUnknownTable, "The table " + Quoted(item.star_table) + " of " + Quoted(item.star_table + ".*") + " is not in the FROM clause.");
      continue;
    }
    OutField f;
    if (item.expr->kind == Expr::kName) {
      Resolved r;
      if (table_resolver(item.expr->parts, r)) {
        f.name = item.alias.empty() ? r.column->name : item.alias;
        f.type = r.column->type;
        f.size = r.column->size;
        f.attributes = r.column->attributes;
        f.required = r.column->required;
        f.default_value = r.column->default_value;
        f.table = r.table;
        f.column = r.column->name;
        for (const auto& ft : tables)
          if (ft.table->name == r.table && ft.table->Column(r.column->name) == r.column)
            f.sql = QuoteName(ft.alias) + "." + QuoteName(r.column->name);
        f.properties = r.column->properties;
        plan.fields.push_back(f);
        continue;
      }
    }
    int type = 0;
    ExprTranslator tr(table_resolver, ExprTranslator::kParameters, plan.select_slots, &plan.parameters, item.source);
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

  // Names in WHERE and ORDER BY may also be names of result columns.
  const Resolver with_aliases = [&](const std::vector<std::string>& parts, Resolved& out) {
    if (table_resolver(parts, out)) return true;
    if (parts.size() != 1) return false;
    for (const OutField& f : plan.fields) {
      if (SameName(f.name, parts[0])) {
        out.sql = f.type == dbCurrency ? "(" + f.sql + " / 10000.0)" : f.sql;
        out.type = f.type;
        out.size = f.size;
        return true;
      }
    }
    return false;
  };

  std::string where;
  if (s.where) {
    int type;
    ExprTranslator tr(with_aliases, ExprTranslator::kParameters, plan.where_slots, &plan.parameters, "WHERE");
    where = tr.Translate(s.where, type);
  }
  for (const ExprPtr& filter : source.filters) {
    int type;
    ExprTranslator tr(with_aliases, ExprTranslator::kUnknownIsError, plan.where_slots, &plan.parameters, "Filter");
    const std::string f = tr.Translate(filter, type);
    where = where.empty() ? f : "(" + where + ") AND (" + f + ")";
  }
  if (!where.empty()) plan.where_sql = " WHERE " + where;

  if (!s.group_by.empty() || s.having) {
    std::string tail;
    if (!s.group_by.empty()) {
      tail = " GROUP BY ";
      for (size_t k = 0; k < s.group_by.size(); ++k) {
        int type;
        ExprTranslator tr(table_resolver, ExprTranslator::kParameters, plan.tail_slots, &plan.parameters, "GROUP BY");
        tail += (k ? ", " : "") + tr.Translate(s.group_by[k], type);
      }
    }
    if (s.having) {
      int type;
      ExprTranslator tr(with_aliases, ExprTranslator::kParameters, plan.tail_slots, &plan.parameters, "HAVING");
      tail += " HAVING " + tr.Translate(s.having, type);
    }
    plan.tail_sql = tail;
  }

  const auto& order = source.sort.empty() ? s.order_by : source.sort;
  if (!order.empty()) {
    std::string o = " ORDER BY ";
    for (size_t k = 0; k < order.size(); ++k) {
      int type;
      ExprTranslator tr(with_aliases,
                        source.sort.empty() ? ExprTranslator::kParameters : ExprTranslator::kUnknownIsError,
                        plan.order_slots, &plan.parameters, "ORDER BY");
      o += (k ? ", " : "") + tr.Translate(order[k].expr, type) + (IsTextType(type) ? " COLLATE JET" : "") +
           (order[k].descending ? " DESC" : "");
    }
    plan.order_sql = o;
  }
  if (s.top >= 0) {
    if (s.top_percent) Raise(err::kNotSupported, "TOP ... PERCENT is not supported by this engine.");
    plan.limit_sql = " LIMIT " + std::to_string(s.top);
  }

  plan.keyset = tables.size() == 1 && !s.distinct && s.group_by.empty() && !s.having && !aggregate &&
                s.top < 0 && !tables[0].table->IsSystem();
  if (tables.size() == 1) {
    plan.base_table = tables[0].table->name;
    plan.base_alias = tables[0].alias;
  }
  std::string list;
  for (size_t k = 0; k < plan.fields.size(); ++k) list += (k ? ", " : "") + plan.fields[k].sql;
  plan.select_sql = (s.distinct ? "DISTINCT " : "") + list;
  for (OutField& f : plan.fields) {
    f.updatable = plan.keyset && !f.column.empty() && !(f.attributes & dbAutoIncrField);
    if (f.updatable) f.attributes |= dbUpdatableField;
  }
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
          out.sql = f.type == dbCurrency ? "(" + f.sql + " / 10000.0)" : f.sql;
          out.type = f.type;
          out.size = f.size;
          return true;
        }
      }
    }
    return table_resolver(parts, out);
  };
  int type;
  ExprTranslator tr(resolver, ExprTranslator::kUnknownIsError, slots, nullptr, "criteria");
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
  int type;
  ExprTranslator tr(resolver, ExprTranslator::kUnknownIsError, slots, nullptr, "criteria");
  return tr.Translate(criteria, type);
}

std::string TranslateOrder(const Catalog& catalog, const SelectPlan& plan,
                           const std::vector<OrderItem>& items, std::vector<Slot>& slots) {
  std::string out;
  for (const OrderItem& item : items) {
    std::vector<Slot> part;
    (void)catalog;
    const std::string sql = TranslateCriteria(catalog, plan, item.expr, part);
    slots.insert(slots.end(), part.begin(), part.end());
    out += (out.empty() ? "" : ", ") + sql + (item.descending ? " DESC" : "");
  }
  return out;
}

ActionPlan PlanAction(const Catalog& catalog, const JetStatement& st) {
  ActionPlan plan;
  for (const auto& d : st.parameters) plan.parameters.push_back({d.name, d.type, true});
  const TableInfo& table = LookupTable(catalog, st.table);
  if (table.IsSystem())
    Raise(err::kReadOnly, "The system table " + Quoted(table.name) + " cannot be changed by a query.");
  std::vector<FromTable> tables = {{&table, st.table_alias.empty() ? table.name : st.table_alias}};
  const Resolver resolver = TableResolver(tables, "query");
  auto store = [&](const ColumnInfo& c, const std::string& value_sql) {
    return "jet_store(" + std::to_string(c.type) + ", " + std::to_string(c.size) + ", " +
           QuoteText(table.name + "." + c.name) + ", " + value_sql + ")";
  };
  // The WHERE part of a DELETE or UPDATE; empty without a condition.
  auto where_clause = [&]() -> std::string {
    if (!st.where) return std::string();
    int type;
    ExprTranslator tr(resolver, ExprTranslator::kParameters, plan.slots, &plan.parameters, "WHERE");
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
        int type;
        ExprTranslator tr(resolver, ExprTranslator::kParameters, plan.slots, &plan.parameters, "SET");
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
          if (c == nullptr) Raise(err::kUnknownName, "The table " + Quoted(table.name) + " has no field " + Quoted(name) + ".");
          targets.push_back(c);
        }
      }
      plan.sql = "INSERT INTO " + QuoteName(table.name) + " (";
      for (size_t k = 0; k < targets.size(); ++k) plan.sql += (k ? ", " : "") + QuoteName(targets[k]->name);
      plan.sql += ") ";
      if (st.insert_select) {
        QuerySource src;
        src.select = st.select;
        SelectPlan sp = PlanSelect(catalog, src);
        if (sp.fields.size() != targets.size())
          Raise(3346, "The number of query values and destination fields are not the same.");
        std::string list;
        for (size_t k = 0; k < targets.size(); ++k) {
          const OutField& f = sp.fields[k];
          std::string v = f.type == dbCurrency ? "(" + f.sql + " / 10000.0)" : f.sql;
          if (f.type == dbGUID && !f.column.empty()) v = f.sql;
          list += (k ? ", " : "") + store(*targets[k], v);
        }
        plan.sql += "SELECT " + std::string(st.select.distinct ? "DISTINCT " : "") + list + sp.from_sql + sp.where_sql +
                    sp.tail_sql + sp.order_sql + sp.limit_sql;
        for (auto* part : {&sp.select_slots, &sp.from_slots, &sp.where_slots, &sp.tail_slots, &sp.order_slots})
          plan.slots.insert(plan.slots.end(), part->begin(), part->end());
        plan.parameters = sp.parameters;
        return plan;
      }
      plan.sql += "VALUES ";
      for (size_t r = 0; r < st.values.size(); ++r) {
        if (st.values[r].size() != targets.size())
          Raise(3346, "The number of query values and destination fields are not the same.");
        plan.sql += r ? ", (" : "(";
        for (size_t k = 0; k < targets.size(); ++k) {
          int type;
          ExprTranslator tr(resolver, ExprTranslator::kParameters, plan.slots, &plan.parameters, "VALUES");
          plan.sql += (k ? ", " : "") + store(*targets[k], tr.Translate(st.values[r][k], type));
        }
        plan.sql += ")";
      }
      return plan;
    }
    default: break;
  }
  Raise(err::kInvalidOperation, "The statement is not an action query.");
}

std::vector<ParamInfo> StatementParameters(const Catalog& catalog, const JetStatement& st) {
  if (st.kind == JetStatement::kSelect) {
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
  int type;
  ExprTranslator tr(nullptr, ExprTranslator::kUnknownIsError, slots, nullptr, expression, true);
  const std::string sql = tr.Translate(e, type);
  return "jet_store(" + std::to_string(column.type) + ", " + std::to_string(column.size) + ", " +
         QuoteText(column.name) + ", " + sql + ")";
}

}  // namespace engine
