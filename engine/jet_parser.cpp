#include "engine/jet_parser.h"

#include <cctype>
#include <charconv>
#include <string_view>
#include <cstdlib>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/values.h"
#include "framework/date_time.h"
#include "framework/strings.h"

namespace engine {

using namespace dao;

namespace {

struct Token {
  enum Kind { kEnd, kWord, kBracket, kString, kNumber, kDate, kGuid, kSymbol } kind = kEnd;
  std::string text;  // word, name, string value, symbol, number text, date body, guid bytes
  size_t pos = 0;
  size_t end = 0;
};

std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80 || c == '$'; }

// The value of a number literal: an integer unless it has a point or an exponent or is too long.
Cell NumberValue(const std::string& text) {
  if (text.find_first_of(".eE") == std::string::npos && text.size() < 19)
    return Cell::Int(std::strtoll(text.c_str(), nullptr, 10));
  double value = 0;
  // from_chars reads '.' as the decimal point whatever the process locale.
  std::from_chars(text.data(), text.data() + text.size(), value);
  return Cell::Real(value);
}

class Lexer {
 public:
  Lexer(const std::string& text, int error_number) : s_(text), error_(error_number) {}

  std::vector<Token> Run() {
    std::vector<Token> out;
    out.reserve(16);
    size_t i = 0;
    while (true) {
      while (i < s_.size() && std::isspace(static_cast<unsigned char>(s_[i]))) ++i;
      Token t;
      t.pos = i;
      if (i >= s_.size()) {
        t.kind = Token::kEnd;
        t.end = i;
        out.push_back(t);
        return out;
      }
      const char c = s_[i];
      if (c == '[') {
        const size_t close = s_.find(']', i + 1);
        if (close == std::string::npos) Fail("a name in brackets is not closed", i);
        t.kind = Token::kBracket;
        t.text = s_.substr(i + 1, close - i - 1);
        i = close + 1;
      } else if (c == '"' || c == '\'') {
        t.kind = Token::kString;
        size_t k = i + 1;
        while (true) {
          if (k >= s_.size()) Fail("a text in quotes is not closed", i);
          if (s_[k] == c) {
            if (k + 1 < s_.size() && s_[k + 1] == c) {
              t.text += c;
              k += 2;
              continue;
            }
            break;
          }
          t.text += s_[k++];
        }
        i = k + 1;
      } else if (c == '#') {
        const size_t close = s_.find('#', i + 1);
        if (close == std::string::npos) Fail("a date in # signs is not closed", i);
        t.kind = Token::kDate;
        t.text = s_.substr(i + 1, close - i - 1);
        i = close + 1;
      } else if (c == '{') {
        // {guid {XXXXXXXX-...}}
        const size_t close = s_.find('}', i + 1);
        size_t end = close;
        if (close != std::string::npos && close + 1 < s_.size() && s_[close + 1] == '}') end = close + 1;
        std::string bytes;
        if (close == std::string::npos || !ParseGuid(s_.substr(i, end - i + 1), bytes))
          Fail("invalid GUID literal", i);
        t.kind = Token::kGuid;
        t.text = bytes;
        i = end + 1;
      } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                 (c == '.' && i + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i + 1])))) {
        size_t k = i;
        while (k < s_.size() && std::isdigit(static_cast<unsigned char>(s_[k]))) ++k;
        if (k < s_.size() && s_[k] == '.') {
          ++k;
          while (k < s_.size() && std::isdigit(static_cast<unsigned char>(s_[k]))) ++k;
        }
        if (k < s_.size() && (s_[k] == 'e' || s_[k] == 'E')) {
          size_t m = k + 1;
          if (m < s_.size() && (s_[m] == '+' || s_[m] == '-')) ++m;
          if (m < s_.size() && std::isdigit(static_cast<unsigned char>(s_[m]))) {
            k = m;
            while (k < s_.size() && std::isdigit(static_cast<unsigned char>(s_[k]))) ++k;
          }
        }
        t.kind = Token::kNumber;
        t.text = s_.substr(i, k - i);
        i = k;
      } else if (IsWordChar(static_cast<unsigned char>(c))) {
        size_t k = i;
        while (k < s_.size() && IsWordChar(static_cast<unsigned char>(s_[k]))) ++k;
        t.kind = Token::kWord;
        t.text = s_.substr(i, k - i);
        i = k;
      } else {
        static const char* two[] = {"<>", "<=", ">=", "!="};
        t.kind = Token::kSymbol;
        t.text = std::string(1, c);
        for (const char* op : two)
          if (s_.compare(i, 2, op) == 0) t.text = op;
        if (std::string_view("=<>+-*/\\^&(),;.!?:").find(c) == std::string_view::npos)
          Fail("unexpected character '" + std::string(1, c) + "'", i);
        i += t.text.size();
      }
      t.end = i;
      out.push_back(std::move(t));
    }
  }

  [[noreturn]] void Fail(const std::string& why, size_t) {
    Raise(error_, "Syntax error (" + why + ") in " + QuotedText(s_) + ".");
  }

 private:
  const std::string& s_;
  int error_;
};

bool IsReserved(const std::string& upper) {
  static const char* words[] = {"SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "ORDER", "GROUP",
                                "BY", "HAVING", "AS", "ON", "INNER", "LEFT", "RIGHT", "JOIN",
                                "LIKE", "IN", "BETWEEN", "IS", "NULL", "UNION", "INTO", "VALUES",
                                "SET", "ASC", "DESC", "DISTINCT", "XOR", "MOD", "EQV", "IMP",
                                "TOP", "DISTINCTROW", "OUTER", "WITH", "PARAMETERS"};
  for (const char* w : words)
    if (upper == w) return true;
  return false;
}

class Parser {
 public:
  Parser(const std::string& text, int error_number)
      : text_(text), error_(error_number), tokens_(Lexer(text, error_number).Run()) {}

  const Token& Peek(size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  Token Next() {
    Token t = Peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return t;
  }
  bool AtEnd() const { return Peek().kind == Token::kEnd; }
  bool IsWord(const char* word, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == Token::kWord && Upper(t.text) == word;
  }
  bool IsSymbol(const char* symbol, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == Token::kSymbol && t.text == symbol;
  }
  bool AcceptWord(const char* word) {
    if (!IsWord(word)) return false;
    Next();
    return true;
  }
  bool AcceptSymbol(const char* symbol) {
    if (!IsSymbol(symbol)) return false;
    Next();
    return true;
  }
  void ExpectWord(const char* word) {
    if (!AcceptWord(word)) Fail(std::string("expected ") + word);
  }
  void ExpectSymbol(const char* symbol) {
    if (!AcceptSymbol(symbol)) Fail(std::string("expected '") + symbol + "'");
  }
  [[noreturn]] void Fail(const std::string& why) { Fail(why, error_); }
  [[noreturn]] void Fail(const std::string& why, int number) {
    const Token& t = Peek();
    std::string near = t.kind == Token::kEnd ? "at the end" : "near " + QuotedText(text_.substr(t.pos, 40));
    Raise(number, "Syntax error (" + why + ") " + near + " in " + QuotedText(text_) + ".");
  }

  // A name: a bracketed name or a word that is not reserved.
  std::string Name(const char* what) {
    const Token& t = Peek();
    if (t.kind == Token::kBracket) return Next().text;
    if (t.kind == Token::kWord && !IsReserved(Upper(t.text))) return Next().text;
    Fail(std::string("expected ") + what);
  }
  bool AtName() const {
    const Token& t = Peek();
    return t.kind == Token::kBracket || (t.kind == Token::kWord && !IsReserved(Upper(t.text)));
  }

  // ---- expressions
  //
  // Precedence climbing: one loop per call takes a whole chain of operators of one level (a AND b
  // AND c ... builds a left-deep tree without recursing per term). Recursion happens only for
  // an operand of a higher level (bounded by the number of levels) and for nesting (parentheses,
  // function calls, prefix operators, subqueries), which NestingGuard counts and limits.

  enum Level {
    kLevelImp = 1,
    kLevelEqv,
    kLevelXor,
    kLevelOr,
    kLevelAnd,
    kLevelNot,
    kLevelCompare,
    kLevelConcat,
    kLevelAdd,
    kLevelMod,
    kLevelIntDiv,
    kLevelMul,
    kLevelNegate,
    kLevelPower,
  };

  // Counts `levels` levels of nesting for as long as it lives; past kMaxNesting the text is
  // refused.
  class NestingGuard {
   public:
    explicit NestingGuard(Parser& p, int levels = 1) : p_(p), levels_(levels) {
      p_.nesting_ += levels_;
      if (p_.nesting_ > kMaxNesting) {
        p_.nesting_ -= levels_;
        p_.Fail("the expression is nested more than " + std::to_string(kMaxNesting) + " levels deep");
      }
    }
    ~NestingGuard() { p_.nesting_ -= levels_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

   private:
    Parser& p_;
    int levels_;
  };

  // A subquery counts as this many levels: planning one takes far more stack than a parenthesis
  // (and SQLite itself runs no more than about 18 nested subqueries).
  static constexpr int kSubqueryLevels = 5;

  ExprPtr Expression() { return Climb(kLevelImp); }

  static ExprPtr MakeBinary(const std::string& op, ExprPtr a, ExprPtr b) {
    auto e = std::make_shared<Expr>();
    e->kind = Expr::kBinary;
    e->op = op;
    e->args = {std::move(a), std::move(b)};
    return e;
  }

  // The level of the infix operator at the current token, or 0 when there is none.
  int InfixLevel() const {
    const Token& t = Peek();
    if (t.kind == Token::kSymbol) {
      const std::string& s = t.text;
      if (s == "=" || s == "<>" || s == "<" || s == ">" || s == "<=" || s == ">=" || s == "!=") return kLevelCompare;
      if (s == "&") return kLevelConcat;
      if (s == "+" || s == "-") return kLevelAdd;
      if (s == "\\") return kLevelIntDiv;
      if (s == "*" || s == "/") return kLevelMul;
      if (s == "^") return kLevelPower;
      return 0;
    }
    if (t.kind != Token::kWord) return 0;
    const std::string up = Upper(t.text);
    if (up == "IMP") return kLevelImp;
    if (up == "EQV") return kLevelEqv;
    if (up == "XOR") return kLevelXor;
    if (up == "OR") return kLevelOr;
    if (up == "AND") return kLevelAnd;
    if (up == "LIKE" || up == "IN" || up == "BETWEEN" || up == "IS") return kLevelCompare;
    if (up == "NOT" && (IsWord("LIKE", 1) || IsWord("IN", 1) || IsWord("BETWEEN", 1))) return kLevelCompare;
    if (up == "MOD") return kLevelMod;
    return 0;
  }

  // An expression whose operators are all of `level` or higher.
  ExprPtr Climb(int level) {
    ExprPtr left = Prefix();
    while (true) {
      const int op_level = InfixLevel();
      if (op_level == 0 || op_level < level) return left;
      left = Infix(std::move(left), op_level);
    }
  }

  ExprPtr Unary(const std::string& op, ExprPtr operand) {
    auto e = std::make_shared<Expr>();
    e->kind = Expr::kUnary;
    e->op = op;
    e->args = {std::move(operand)};
    return e;
  }

  ExprPtr Prefix() {
    if (IsWord("NOT")) {
      NestingGuard guard(*this);
      Next();
      return Unary("NOT", Climb(kLevelCompare));
    }
    if (IsSymbol("-") || IsSymbol("+")) {
      NestingGuard guard(*this);
      const std::string op = Next().text;
      return Unary(op, Climb(kLevelPower));
    }
    return Primary();
  }

  // The right operand of ^ may carry a sign of its own: 2 ^ -1.
  ExprPtr Exponent() {
    if (IsSymbol("-") || IsSymbol("+")) {
      NestingGuard guard(*this);
      const std::string op = Next().text;
      return Unary(op, Exponent());
    }
    return Primary();
  }

  // One operator of `level` after `left`, with its right operand.
  ExprPtr Infix(ExprPtr left, int level) {
    if (level != kLevelCompare) {
      std::string op = Upper(Next().text);
      ExprPtr right = level == kLevelPower ? Exponent() : Climb(level + 1);
      return MakeBinary(op, std::move(left), std::move(right));
    }
    const Token& t = Peek();
    if (t.kind == Token::kSymbol) {
      std::string op = Next().text;
      if (op == "!=") op = "<>";
      if ((IsWord("ANY") || IsWord("SOME") || IsWord("ALL")) && IsSymbol("(", 1) && IsWord("SELECT", 2)) {
        auto e = std::make_shared<Expr>();
        e->kind = Expr::kQuantified;
        e->op = op;
        e->text = IsWord("ALL") ? "ALL" : "ANY";
        Next();
        e->args = {std::move(left)};
        e->subquery = Subquery();
        return e;
      }
      return MakeBinary(op, std::move(left), Climb(kLevelConcat));
    }
    bool negated = false;
    if (AcceptWord("NOT")) negated = true;
    auto e = std::make_shared<Expr>();
    e->negated = negated;
    if (AcceptWord("LIKE")) {
      e->kind = Expr::kLike;
      e->args = {std::move(left), Climb(kLevelConcat)};
      return e;
    }
    if (AcceptWord("IN")) {
      e->kind = Expr::kIn;
      e->args.push_back(std::move(left));
      if (IsSymbol("(") && IsWord("SELECT", 1)) {
        e->subquery = Subquery();
        return e;
      }
      NestingGuard guard(*this);
      ExpectSymbol("(");
      do {
        e->args.push_back(Expression());
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
      return e;
    }
    if (AcceptWord("BETWEEN")) {
      e->kind = Expr::kBetween;
      auto low = Climb(kLevelConcat);
      ExpectWord("AND");
      e->args = {std::move(left), std::move(low), Climb(kLevelConcat)};
      return e;
    }
    ExpectWord("IS");
    e->kind = Expr::kIsNull;
    e->negated = AcceptWord("NOT");
    ExpectWord("NULL");
    e->args = {std::move(left)};
    return e;
  }

  // "(SELECT ...)": a subquery in an expression.
  std::shared_ptr<const Select> Subquery() {
    NestingGuard guard(*this, kSubqueryLevels);
    ExpectSymbol("(");
    ExpectWord("SELECT");
    auto s = std::make_shared<Select>(SelectQuery(nullptr));
    ExpectSymbol(")");
    return s;
  }

  ExprPtr Primary() {
    const Token t = Peek();
    auto e = std::make_shared<Expr>();
    switch (t.kind) {
      case Token::kNumber: {
        Next();
        e->text = t.text;
        const Cell value = NumberValue(t.text);
        if (value.kind == Cell::kInt) {
          e->kind = Expr::kInteger;
          e->integer = value.i;
        } else {
          e->kind = Expr::kReal;
          e->real = value.r;
        }
        return e;
      }
      case Token::kString:
        Next();
        e->kind = Expr::kString;
        e->text = t.text;
        return e;
      case Token::kDate:
        Next();
        e->kind = Expr::kDate;
        e->text = t.text;
        if (!ParseJetDate(t.text, e->real))
          Raise(dao::err::kExpressionSyntax,
                "Syntax error in the date #" + t.text + "# in " + QuotedText(text_) + ".");
        return e;
      case Token::kGuid:
        Next();
        e->kind = Expr::kGuid;
        e->text = t.text;
        return e;
      case Token::kSymbol:
        if (t.text == "(") {
          if (IsWord("SELECT", 1)) {
            e->kind = Expr::kSubquery;
            e->subquery = Subquery();
            return e;
          }
          NestingGuard guard(*this);
          Next();
          auto inner = Expression();
          ExpectSymbol(")");
          return inner;
        }
        if (t.text == "*") {
          Next();
          e->kind = Expr::kStar;
          return e;
        }
        Fail("expected a value");
      case Token::kWord: {
        const std::string up = Upper(t.text);
        if (up == "NULL") {
          Next();
          e->kind = Expr::kNull;
          return e;
        }
        if (up == "TRUE" || up == "YES" || up == "ON") {
          Next();
          e->kind = Expr::kBool;
          e->integer = -1;
          return e;
        }
        if (up == "FALSE" || up == "NO" || up == "OFF") {
          Next();
          e->kind = Expr::kBool;
          e->integer = 0;
          return e;
        }
        if (up == "EXISTS" && IsSymbol("(", 1) && IsWord("SELECT", 2)) {
          Next();
          e->kind = Expr::kExists;
          e->subquery = Subquery();
          return e;
        }
        // LEFT, RIGHT and ASC are keywords, and also functions when a "(" follows.
        const bool string_function =
            (up == "LEFT" || up == "RIGHT" || up == "LEFT$" || up == "RIGHT$" || up == "ASC") && IsSymbol("(", 1);
        if (IsReserved(up) && !string_function) Fail("unexpected " + t.text);
        if (IsSymbol("(", 1)) {
          NestingGuard guard(*this);
          Next();
          Next();
          e->kind = Expr::kCall;
          e->op = up;
          if (!AcceptSymbol(")")) {
            if (up == "COUNT" && AcceptWord("DISTINCT")) e->negated = true;  // Count(DISTINCT x)
            do {
              e->args.push_back(Expression());
            } while (AcceptSymbol(","));
            ExpectSymbol(")");
          }
          return e;
        }
        return QualifiedName();
      }
      case Token::kBracket: return QualifiedName();
      case Token::kEnd: Fail("the expression is incomplete");
    }
    Fail("expected a value");
  }

  ExprPtr QualifiedName() {
    auto e = std::make_shared<Expr>();
    e->kind = Expr::kName;
    const size_t start = Peek().pos;
    e->parts.push_back(Name("a name"));
    while ((IsSymbol(".") || IsSymbol("!")) &&
           (Peek(1).kind == Token::kBracket || Peek(1).kind == Token::kWord ||
            (Peek(1).kind == Token::kSymbol && Peek(1).text == "*"))) {
      Next();
      if (AcceptSymbol("*")) {
        auto star = std::make_shared<Expr>();
        star->kind = Expr::kStar;
        star->text = e->parts.back();
        return star;
      }
      e->parts.push_back(Name("a name"));
    }
    e->text = text_.substr(start, Peek().pos > start ? tokens_[pos_ - 1].end - start : 0);
    return e;
  }

  // ---- statements

  JetStatement Parse() {
    JetStatement st;
    if (AcceptWord("PARAMETERS")) {
      do {
        ParamDecl p;
        p.name = ParamName();
        if (!IsSymbol(",") && !IsSymbol(";")) {
          bool counter = false;
          const std::string type_name = Next().text;
          p.type = JetTypeCode(type_name, counter);
          if (p.type == 0) Fail("unknown data type " + type_name, dao::err::kSyntaxInStatement);
          if (AcceptSymbol("(")) {
            p.size = static_cast<int32_t>(std::strtol(Next().text.c_str(), nullptr, 10));
            if (AcceptSymbol(",")) Next();
            ExpectSymbol(")");
          }
        }
        st.parameters.push_back(p);
      } while (AcceptSymbol(","));
      ExpectSymbol(";");
    }
    if (IsWord("SELECT")) {
      Next();
      std::string into;
      st.select = SelectQuery(&into);
      st.kind = into.empty() ? JetStatement::kSelect : JetStatement::kSelectInto;
      st.table = into;
    } else if (AcceptWord("INSERT")) {
      ParseInsert(st);
    } else if (AcceptWord("UPDATE")) {
      ParseUpdate(st);
    } else if (AcceptWord("DELETE")) {
      ParseDelete(st);
    } else if (AcceptWord("CREATE")) {
      ParseCreate(st);
    } else if (AcceptWord("DROP")) {
      ParseDrop(st);
    } else if (AcceptWord("ALTER")) {
      ParseAlter(st);
    } else {
      Raise(3129, "Invalid SQL statement; expected DELETE, INSERT, PROCEDURE, SELECT, UPDATE, "
                  "CREATE, DROP or ALTER: " + QuotedText(text_) + ".");
    }
    AcceptSymbol(";");
    if (!AtEnd())
      Raise(dao::err::kSyntaxInQuery,
            "Characters found after the end of the SQL statement: " +
                QuotedText(text_.substr(Peek().pos)) + ".");
    return st;
  }

  std::string ParamName() {
    // A parameter name may be a bracketed text with blanks or a word.
    const Token& t = Peek();
    if (t.kind == Token::kBracket || t.kind == Token::kWord) return Next().text;
    Fail("expected a parameter name");
  }

  // A select after its SELECT keyword: the select proper, further selects joined by UNION, and
  // the ORDER BY of the whole. `into` receives the table of SELECT ... INTO; null where INTO is
  // not allowed (subqueries, INSERT ... SELECT).
  Select SelectQuery(std::string* into) {
    Select s = SelectCore(into);
    while (AcceptWord("UNION")) {
      Select::UnionPart part;
      part.all = AcceptWord("ALL");
      const bool parenthesized = AcceptSymbol("(");
      ExpectWord("SELECT");
      part.select = std::make_shared<Select>(SelectCore(nullptr));
      if (parenthesized) ExpectSymbol(")");
      s.unions.push_back(std::move(part));
    }
    if (AcceptWord("ORDER")) {
      ExpectWord("BY");
      s.order_by = OrderItems();
    }
    return s;
  }

  Select SelectCore(std::string* into) {
    Select s;
    if (AcceptWord("DISTINCT")) s.distinct = true;
    else AcceptWord("DISTINCTROW") || AcceptWord("ALL");
    if (AcceptWord("TOP")) {
      const Token n = Next();
      if (n.kind != Token::kNumber || n.text.find_first_of(".eE") != std::string::npos)
        Fail("expected a whole number after TOP");
      s.top = std::strtoll(n.text.c_str(), nullptr, 10);
      if (AcceptWord("PERCENT")) {
        s.top_percent = true;
        if (s.top > 100) Fail("TOP ... PERCENT takes at most 100");
      }
    }
    do {
      SelectItem item;
      const size_t start = Peek().pos;
      if (AcceptSymbol("*")) {
        item.star = true;
      } else {
        auto e = Expression();
        if (e->kind == Expr::kStar) {
          item.star = true;
          item.star_table = e->text;
        } else {
          item.expr = e;
        }
      }
      item.source = Trim(text_.substr(start, tokens_[pos_ - 1].end - start));
      if (AcceptWord("AS")) item.alias = Name("an alias");
      else if (!item.star && AtName() && !IsWord("FROM")) item.alias = Name("an alias");
      s.items.push_back(item);
    } while (AcceptSymbol(","));
    if (IsWord("INTO")) {
      if (into == nullptr) Fail("INTO is only allowed in the outermost SELECT");
      Next();
      *into = Name("a table name");
      if (IsWord("IN")) Fail("SELECT ... INTO another database is not supported");
    }
    if (AcceptWord("FROM")) {
      do {
        s.from.push_back(FromEntry());
      } while (AcceptSymbol(","));
    }
    if (AcceptWord("WHERE")) s.where = Expression();
    if (AcceptWord("GROUP")) {
      ExpectWord("BY");
      do {
        s.group_by.push_back(Expression());
      } while (AcceptSymbol(","));
    }
    if (AcceptWord("HAVING")) s.having = Expression();
    return s;
  }

  static std::string Trim(const std::string& s) { return framework::Trim(s); }

  std::vector<OrderItem> OrderItems() {
    std::vector<OrderItem> out;
    do {
      OrderItem o;
      o.expr = Expression();
      if (AcceptWord("DESC")) o.descending = true;
      else AcceptWord("ASC");
      out.push_back(o);
    } while (AcceptSymbol(","));
    return out;
  }

  TableRef TableReference() {
    TableRef t;
    if (!AtName()) Fail("expected a table name", dao::err::kSyntaxInFrom);
    t.name = Name("a table name");
    // Owner-qualified names keep only the last part.
    while (AcceptSymbol(".")) t.name = Name("a table name");
    if (AcceptWord("AS")) t.alias = Name("an alias");
    else if (AtName()) t.alias = Name("an alias");
    return t;
  }

  // table [join ...], with Jet's parentheses around nested joins.
  FromItem FromEntry() {
    FromItem item;
    int open = 0;
    while (AcceptSymbol("(")) ++open;
    item.first = TableReference();
    while (true) {
      Join j;
      if (AcceptWord("INNER")) j.kind = Join::kInner;
      else if (AcceptWord("LEFT")) { j.kind = Join::kLeft; AcceptWord("OUTER"); }
      else if (AcceptWord("RIGHT")) { j.kind = Join::kRight; AcceptWord("OUTER"); }
      else if (open > 0 && AcceptSymbol(")")) { --open; continue; }
      else if (IsWord("JOIN")) Fail("JOIN needs INNER, LEFT or RIGHT before it", dao::err::kSyntaxInFrom);
      else break;
      ExpectWord("JOIN");
      while (AcceptSymbol("(")) ++open;
      j.table = TableReference();
      ExpectWord("ON");
      j.on = Expression();
      item.joins.push_back(j);
    }
    if (open != 0) Fail("unbalanced parentheses in FROM", dao::err::kSyntaxInFrom);
    return item;
  }

  void ParseInsert(JetStatement& st) {
    st.kind = JetStatement::kInsert;
    ExpectWord("INTO");
    st.table = Name("a table name");
    if (AcceptSymbol("(")) {
      do {
        st.columns.push_back(Name("a column name"));
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
    }
    if (AcceptWord("VALUES")) {
      do {
        ExpectSymbol("(");
        std::vector<ExprPtr> row;
        do {
          row.push_back(Expression());
        } while (AcceptSymbol(","));
        ExpectSymbol(")");
        st.values.push_back(std::move(row));
      } while (AcceptSymbol(","));
    } else if (AcceptWord("SELECT")) {
      st.insert_select = true;
      st.select = SelectQuery(nullptr);
    } else {
      Fail("expected VALUES or SELECT");
    }
  }

  void ParseUpdate(JetStatement& st) {
    st.kind = JetStatement::kUpdate;
    st.table = Name("a table name");
    if (AcceptWord("AS")) st.table_alias = Name("an alias");
    ExpectWord("SET");
    do {
      auto target = QualifiedName();
      ExpectSymbol("=");
      st.assignments.emplace_back(target->parts.back(), Expression());
    } while (AcceptSymbol(","));
    if (AcceptWord("WHERE")) st.where = Expression();
  }

  void ParseDelete(JetStatement& st) {
    st.kind = JetStatement::kDelete;
    if (!IsWord("FROM")) {
      // DELETE * FROM t, DELETE t.* FROM t
      if (!AcceptSymbol("*")) {
        Name("a table name");
        ExpectSymbol(".");
        ExpectSymbol("*");
      }
    }
    ExpectWord("FROM");
    st.table = Name("a table name");
    if (AcceptWord("AS")) st.table_alias = Name("an alias");
    else if (AtName()) st.table_alias = Name("an alias");
    if (AcceptWord("WHERE")) st.where = Expression();
  }

  int32_t SizeArgument() {
    const Token n = Next();
    if (n.kind != Token::kNumber) Fail("expected a size", dao::err::kSyntaxInStatement);
    return static_cast<int32_t>(std::strtol(n.text.c_str(), nullptr, 10));
  }

  ColumnDecl ColumnDefinition() {
    ColumnDecl c;
    c.name = Name("a column name");
    const Token type = Next();
    if (type.kind != Token::kWord)
      Fail("expected a data type for " + c.name, dao::err::kSyntaxInStatement);
    c.type = JetTypeCode(type.text, c.counter);
    if (c.type == 0) Raise(dao::err::kSyntaxInStatement, "Syntax error in field definition: unknown data type " + Quoted(type.text) + " in " + QuotedText(text_) + ".");
    if (Upper(type.text) == "TEXT" || Upper(type.text) == "VARCHAR" || Upper(type.text) == "CHAR")
      c.size = 255;
    if (AcceptSymbol("(")) {
      c.size = SizeArgument();
      if (AcceptSymbol(",")) SizeArgument();
      ExpectSymbol(")");
      if (c.counter) c.size = 4;
    }
    if (c.type == dbText && (c.size < 1 || c.size > 255))
      Raise(dao::err::kSyntaxInStatement, "The size of the text field " + Quoted(c.name) + " must be between 1 and 255.");
    if (c.size == 0 || !(IsTextType(c.type) || c.type == dbBinary)) c.size = c.type == dbText ? 255 : FixedSize(c.type);
    if (c.type == dbBinary && c.size == 0) c.size = 255;
    while (true) {
      if (IsWord("NOT") && IsWord("NULL", 1)) {
        Next(), Next();
        c.not_null = true;
      } else if (AcceptWord("NULL")) {
      } else if (AcceptWord("DEFAULT")) {
        const size_t start = Peek().pos;
        Expression();
        c.has_default = true;
        c.default_text = Trim(text_.substr(start, tokens_[pos_ - 1].end - start));
      } else if (AcceptWord("CONSTRAINT")) {
        c.constraint_name = Name("a constraint name");
      } else if (AcceptWord("PRIMARY")) {
        ExpectWord("KEY");
        c.primary = true;
      } else if (AcceptWord("UNIQUE")) {
        c.unique = true;
      } else if (AcceptWord("WITH")) {
        ExpectWord("COMPRESSION");
      } else {
        break;
      }
    }
    return c;
  }

  std::vector<std::string> NameList() {
    std::vector<std::string> out;
    ExpectSymbol("(");
    do {
      out.push_back(Name("a column name"));
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    return out;
  }

  ConstraintDecl TableConstraint() {
    ConstraintDecl k;
    k.name = Name("a constraint name");
    if (AcceptWord("PRIMARY")) {
      ExpectWord("KEY");
      k.kind = ConstraintDecl::kPrimary;
    } else if (AcceptWord("UNIQUE")) {
      k.kind = ConstraintDecl::kUnique;
    } else if (AcceptWord("FOREIGN")) {
      ExpectWord("KEY");
      k.kind = ConstraintDecl::kForeign;
    } else {
      Fail("expected PRIMARY KEY, UNIQUE or FOREIGN KEY", dao::err::kSyntaxInStatement);
    }
    k.columns = NameList();
    if (k.kind == ConstraintDecl::kForeign) {
      ExpectWord("REFERENCES");
      k.ref_table = Name("a table name");
      if (IsSymbol("(")) k.ref_columns = NameList();
    }
    return k;
  }

  void ParseCreate(JetStatement& st) {
    bool unique = AcceptWord("UNIQUE");
    if (AcceptWord("TABLE")) {
      if (unique) Fail("UNIQUE before TABLE", dao::err::kSyntaxInStatement);
      st.kind = JetStatement::kCreateTable;
      st.table = Name("a table name");
      ExpectSymbol("(");
      do {
        if (AcceptWord("CONSTRAINT")) st.constraints.push_back(TableConstraint());
        else st.column_decls.push_back(ColumnDefinition());
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
      return;
    }
    if (AcceptWord("INDEX")) {
      st.kind = JetStatement::kCreateIndex;
      st.unique = unique;
      st.index = Name("an index name");
      ExpectWord("ON");
      st.table = Name("a table name");
      ExpectSymbol("(");
      do {
        IndexColumn col;
        col.name = Name("a column name");
        if (AcceptWord("DESC")) col.descending = true;
        else AcceptWord("ASC");
        st.index_columns.push_back(col);
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
      if (AcceptWord("WITH")) {
        do {
          if (AcceptWord("PRIMARY")) st.primary = true;
          else if (AcceptWord("DISALLOW")) { ExpectWord("NULL"); st.disallow_null = true; }
          else if (AcceptWord("IGNORE")) { ExpectWord("NULL"); st.ignore_null = true; }
          else Fail("expected PRIMARY, DISALLOW NULL or IGNORE NULL", dao::err::kSyntaxInStatement);
        } while (!AtEnd() && !IsSymbol(";"));
      }
      return;
    }
    Fail("expected TABLE or INDEX after CREATE", dao::err::kSyntaxInStatement);
  }

  void ParseDrop(JetStatement& st) {
    if (AcceptWord("TABLE")) {
      st.kind = JetStatement::kDropTable;
      st.table = Name("a table name");
      return;
    }
    if (AcceptWord("INDEX")) {
      st.kind = JetStatement::kDropIndex;
      st.index = Name("an index name");
      ExpectWord("ON");
      st.table = Name("a table name");
      return;
    }
    Fail("expected TABLE or INDEX after DROP", dao::err::kSyntaxInStatement);
  }

  void ParseAlter(JetStatement& st) {
    ExpectWord("TABLE");
    st.table = Name("a table name");
    if (AcceptWord("ADD")) {
      if (AcceptWord("CONSTRAINT")) {
        st.kind = JetStatement::kCreateIndex;
        st.constraints.push_back(TableConstraint());
        return;
      }
      AcceptWord("COLUMN");
      st.kind = JetStatement::kAlterAddColumn;
      st.column_decls.push_back(ColumnDefinition());
      return;
    }
    if (AcceptWord("DROP")) {
      if (AcceptWord("CONSTRAINT")) {
        st.kind = JetStatement::kDropIndex;
        st.index = Name("a constraint name");
        return;
      }
      AcceptWord("COLUMN");
      st.kind = JetStatement::kAlterDropColumn;
      st.index = Name("a column name");
      return;
    }
    Fail("expected ADD or DROP", dao::err::kSyntaxInStatement);
  }

  const std::string& text_;
  int error_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int nesting_ = 0;
};

int ReadNumber(const std::string& s, size_t& i) {
  int v = 0, digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && digits < 6) {
    v = v * 10 + (s[i++] - '0');
    ++digits;
  }
  return digits ? v : -1;
}

}  // namespace

std::string QuotedText(const std::string& text) {
  constexpr size_t kShownBytes = 200;
  if (text.size() <= kShownBytes) return Quoted(text);
  size_t cut = kShownBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return Quoted(text.substr(0, cut) + "...");
}

Expr::~Expr() {
  std::vector<ExprPtr> pending = std::move(args);
  while (!pending.empty()) {
    ExprPtr e = std::move(pending.back());
    pending.pop_back();
    if (e.use_count() == 1) {
      // The last owner: take its children over before it goes, so that its own destructor
      // finds nothing to release.
      auto& children = const_cast<Expr&>(*e).args;
      for (auto& c : children) pending.push_back(std::move(c));
      children.clear();
    }
  }
}

bool ParseJetDate(const std::string& body_in, double& result) {
  const std::string body = framework::Trim(body_in);
  size_t i = 0;
  double date = 0, time = 0;
  bool have_date = false;
  const size_t colon = body.find(':');
  const size_t first_sep = body.find_first_of("/-.");
  if (first_sep != std::string::npos && (colon == std::string::npos || first_sep < colon)) {
    const int a = ReadNumber(body, i);
    if (a < 0 || i >= body.size()) return false;
    const char sep = body[i++];
    const int b = ReadNumber(body, i);
    if (b < 0) return false;
    int y, m, d;
    if (i < body.size() && body[i] == sep) {
      ++i;
      const int c = ReadNumber(body, i);
      if (c < 0) return false;
      if (sep == '-' && a > 31) y = a, m = b, d = c;  // yyyy-mm-dd
      else if (sep == '.') d = a, m = b, y = c;       // dd.mm.yyyy
      else m = a, d = b, y = c;                       // mm/dd/yyyy
    } else {
      m = a, d = b;
      int dummy, dm;
      framework::DecodeDate(framework::Today(), y, dummy, dm);
    }
    if (y < 100) y += y < 30 ? 2000 : 1900;
    if (!framework::TryEncodeDate(y, m, d, date)) return false;
    have_date = true;
    while (i < body.size() && body[i] == ' ') ++i;
  }
  if (i < body.size()) {
    const int h = ReadNumber(body, i);
    if (h < 0 || i >= body.size() || body[i] != ':') return false;
    ++i;
    const int n = ReadNumber(body, i);
    if (n < 0) return false;
    int s = 0;
    if (i < body.size() && body[i] == ':') {
      ++i;
      s = ReadNumber(body, i);
      if (s < 0) return false;
    }
    while (i < body.size() && body[i] == ' ') ++i;
    int hour = h;
    const std::string rest = Upper(body.substr(i));
    if (rest == "PM") hour = h % 12 + 12;
    else if (rest == "AM") hour = h % 12;
    else if (!rest.empty()) return false;
    if (!framework::TryEncodeTime(hour, n, s, 0, time)) return false;
  } else if (!have_date) {
    return false;
  }
  result = date + (date < 0 ? -time : time);
  return true;
}

int JetTypeCode(const std::string& name, bool& counter) {
  const std::string t = Upper(name);
  counter = false;
  if (t == "COUNTER" || t == "AUTOINCREMENT" || t == "AUTONUMBER" || t == "IDENTITY") {
    counter = true;
    return dbLong;
  }
  if (t == "LONG" || t == "INTEGER" || t == "INT" || t == "INTEGER4") return dbLong;
  if (t == "SHORT" || t == "SMALLINT" || t == "INTEGER2") return dbInteger;
  if (t == "BYTE" || t == "TINYINT" || t == "INTEGER1") return dbByte;
  if (t == "BIT" || t == "YESNO" || t == "LOGICAL" || t == "LOGICAL1" || t == "BOOLEAN") return dbBoolean;
  if (t == "CURRENCY" || t == "MONEY") return dbCurrency;
  if (t == "SINGLE" || t == "REAL" || t == "FLOAT4" || t == "IEEESINGLE") return dbSingle;
  if (t == "DOUBLE" || t == "FLOAT" || t == "FLOAT8" || t == "NUMBER" || t == "IEEEDOUBLE") return dbDouble;
  if (t == "DATETIME" || t == "DATE" || t == "TIME" || t == "TIMESTAMP") return dbDate;
  if (t == "TEXT" || t == "VARCHAR" || t == "CHAR" || t == "STRING" || t == "ALPHANUMERIC" ||
      t == "NVARCHAR" || t == "NCHAR" || t == "CHARACTER")
    return dbText;
  if (t == "MEMO" || t == "LONGTEXT" || t == "LONGCHAR" || t == "NOTE" || t == "NTEXT") return dbMemo;
  if (t == "BINARY" || t == "VARBINARY") return dbBinary;
  if (t == "LONGBINARY" || t == "OLEOBJECT" || t == "GENERAL" || t == "IMAGE") return dbLongBinary;
  if (t == "GUID" || t == "UNIQUEIDENTIFIER") return dbGUID;
  if (t == "DECIMAL" || t == "NUMERIC" || t == "DEC") return dbDecimal;
  if (t == "BIGINT") return dbBigInt;
  return 0;
}

JetStatement ParseStatement(const std::string& sql) {
  Parser p(sql, dao::err::kExpressionSyntax);
  return p.Parse();
}

ExprPtr ParseExpression(const std::string& text) {
  Parser p(text, dao::err::kExpressionSyntax);
  if (p.AtEnd()) Raise(dao::err::kExpressionSyntax, "The expression " + Quoted(text) + " is empty.");
  auto e = p.Expression();
  if (!p.AtEnd()) p.Fail("missing operator");
  return e;
}

bool LiteralShape(const std::string& text, std::string& shape, std::vector<Cell>& literals) {
  std::vector<Token> tokens;
  try {
    tokens = Lexer(text, err::kExpressionSyntax).Run();
  } catch (const dao::EOleException&) {
    return false;  // the parser reports it
  }
  shape.clear();
  shape.reserve(text.size() + tokens.size());
  literals.clear();
  for (Token& t : tokens) {
    switch (t.kind) {
      case Token::kEnd: break;
      case Token::kNumber:
        literals.push_back(NumberValue(t.text));
        shape += literals.back().kind == Cell::kInt ? '\x01' : '\x02';
        break;
      case Token::kString:
        literals.push_back(Cell::Text(std::move(t.text)));
        shape += '\x03';
        break;
      case Token::kDate:
      case Token::kGuid: return false;
      case Token::kBracket: shape.append(1, '[').append(t.text).append(1, ']'); break;
      default: shape += t.text; break;
    }
    shape += ' ';
  }
  return true;
}

std::vector<OrderItem> ParseOrderList(const std::string& text) {
  Parser p(text, dao::err::kExpressionSyntax);
  if (p.AtEnd()) return {};
  auto items = p.OrderItems();
  if (!p.AtEnd()) p.Fail("missing operator");
  return items;
}

}  // namespace engine
