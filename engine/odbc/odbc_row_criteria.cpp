#include "engine/odbc/odbc_row_criteria.h"

#include <cmath>

#include "dao/dao_constants.h"
#include "engine/catalog.h"
#include "engine/errors.h"
#include "engine/jet_functions.h"
#include "engine/values.h"

namespace engine::odbc {

using namespace dao;

namespace {

bool IsNumber(const Cell& c) { return c.kind == Cell::kInt || c.kind == Cell::kReal; }
double Number(const Cell& c) { return c.kind == Cell::kInt ? static_cast<double>(c.i) : c.r; }
Cell Bool(bool b) { return Cell::Int(b ? -1 : 0); }
bool Truth(const Cell& c) { return IsNumber(c) && Number(c) != 0; }

std::string TextOf(const Cell& c) {
  if (c.kind == Cell::kText || c.kind == Cell::kBlob) return c.text;
  if (c.kind == Cell::kInt) return std::to_string(c.i);
  if (c.kind == Cell::kReal) return InvariantNumber(c.r);
  return "";
}

class Evaluator {
 public:
  Evaluator(const std::vector<FieldInfo>& fields, const std::vector<Cell>& row) : fields_(fields), row_(row) {}

  Cell Eval(const ExprPtr& e) {
    using K = engine::Expr;
    switch (e->kind) {
      case K::kNull: return Cell();
      case K::kInteger: return Cell::Int(e->integer);
      case K::kReal: case K::kDate: return Cell::Real(e->real);
      case K::kString: return Cell::Text(e->text);
      case K::kGuid: return Cell::Blob(e->text);
      case K::kBool: return Bool(e->integer != 0);
      case K::kName: {
        const std::string& name = e->parts.back();
        for (size_t k = 0; k < fields_.size(); ++k)
          if (SameName(fields_[k].name, name)) return row_[k];
        Raise(err::kUnknownName, "The name " + Quoted(name) + " is not a field of the recordset.");
      }
      case K::kUnary: {
        const Cell a = Eval(e->args[0]);
        if (e->op == "NOT") return a.IsNull() ? Cell() : Bool(!Truth(a));
        if (a.IsNull() || !IsNumber(a)) return a;
        if (e->op == "-") return a.kind == Cell::kInt ? Cell::Int(-a.i) : Cell::Real(-a.r);
        return a;
      }
      case K::kBinary: return Binary(*e);
      case K::kLike: {
        const Cell a = Eval(e->args[0]), p = Eval(e->args[1]);
        if (a.IsNull() || p.IsNull()) return Cell();
        return Bool(JetLike(TextOf(a), TextOf(p)) != e->negated);
      }
      case K::kIn: {
        const Cell a = Eval(e->args[0]);
        if (a.IsNull()) return Cell();
        bool found = false;
        for (size_t k = 1; k < e->args.size() && !found; ++k) {
          const Cell b = Eval(e->args[k]);
          found = !b.IsNull() && Compare(a, b) == 0;
        }
        return Bool(found != e->negated);
      }
      case K::kBetween: {
        const Cell a = Eval(e->args[0]), lo = Eval(e->args[1]), hi = Eval(e->args[2]);
        if (a.IsNull() || lo.IsNull() || hi.IsNull()) return Cell();
        return Bool((Compare(a, lo) >= 0 && Compare(a, hi) <= 0) != e->negated);
      }
      case K::kIsNull: return Bool(Eval(e->args[0]).IsNull() != e->negated);
      case K::kCall: {
        if (e->args.size() == 1 && (e->op == "LCASE" || e->op == "UCASE")) {
          const Cell a = Eval(e->args[0]);
          if (a.IsNull()) return a;
          return Cell::Text(e->op == "LCASE" ? JetLower(TextOf(a)) : JetUpper(TextOf(a)));
        }
        if (e->op == "NZ" && !e->args.empty()) {
          const Cell a = Eval(e->args[0]);
          if (!a.IsNull()) return a;
          return e->args.size() > 1 ? Eval(e->args[1]) : Cell::Text("");
        }
        Raise(err::kNotSupported, "The function " + e->op + " cannot be used in the criteria of this recordset.");
      }
      default:
        Raise(err::kNotSupported, "This kind of expression cannot be used in the criteria of this recordset.");
    }
  }

 private:
  // Numbers by value, texts by Jet's comparison, mixed kinds by their text.
  int Compare(const Cell& a, const Cell& b) {
    if (IsNumber(a) && IsNumber(b)) {
      const double x = Number(a), y = Number(b);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    if (IsNumber(a) != IsNumber(b)) {
      // A text holding a number compares as that number.
      const Cell& text = IsNumber(a) ? b : a;
      char* end = nullptr;
      const double v = std::strtod(text.text.c_str(), &end);
      if (end != nullptr && *end == '\0' && !text.text.empty()) {
        const double x = IsNumber(a) ? Number(a) : v, y = IsNumber(b) ? Number(b) : v;
        return x < y ? -1 : x > y ? 1 : 0;
      }
    }
    return JetCompare(TextOf(a), TextOf(b));
  }

  Cell Binary(const engine::Expr& e) {
    const std::string& op = e.op;
    if (op == "AND" || op == "OR") {
      const Cell a = Eval(e.args[0]), b = Eval(e.args[1]);
      if (op == "AND") return Bool(Truth(a) && Truth(b));
      return Bool(Truth(a) || Truth(b));
    }
    const Cell a = Eval(e.args[0]), b = Eval(e.args[1]);
    if (op == "&") return Cell::Text(TextOf(a) + TextOf(b));
    if (a.IsNull() || b.IsNull()) return Cell();
    if (op == "=") return Bool(Compare(a, b) == 0);
    if (op == "<>") return Bool(Compare(a, b) != 0);
    if (op == "<") return Bool(Compare(a, b) < 0);
    if (op == ">") return Bool(Compare(a, b) > 0);
    if (op == "<=") return Bool(Compare(a, b) <= 0);
    if (op == ">=") return Bool(Compare(a, b) >= 0);
    if (!IsNumber(a) || !IsNumber(b))
      Raise(err::kTypeMismatch, "The operator " + op + " needs numbers in the criteria of this recordset.");
    const bool ints = a.kind == Cell::kInt && b.kind == Cell::kInt;
    if (op == "+") return ints ? Cell::Int(a.i + b.i) : Cell::Real(Number(a) + Number(b));
    if (op == "-") return ints ? Cell::Int(a.i - b.i) : Cell::Real(Number(a) - Number(b));
    if (op == "*") return ints ? Cell::Int(a.i * b.i) : Cell::Real(Number(a) * Number(b));
    if (op == "/") return Number(b) == 0 ? Cell() : Cell::Real(Number(a) / Number(b));
    Raise(err::kNotSupported, "The operator " + op + " cannot be used in the criteria of this recordset.");
  }

  const std::vector<FieldInfo>& fields_;
  const std::vector<Cell>& row_;
};

}  // namespace

bool RowMatches(const ExprPtr& criteria, const std::vector<FieldInfo>& fields, const std::vector<Cell>& row) {
  return Truth(Evaluator(fields, row).Eval(criteria));
}

}  // namespace engine::odbc
