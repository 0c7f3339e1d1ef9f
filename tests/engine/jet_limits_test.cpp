// Hostile Jet SQL: texts nested or chained far beyond what anyone writes must answer an error or
// a result, never exhaust the stack (in parsing, translating or freeing the tree); LIKE patterns
// with many stars must not take exponential time. Also the rules of LIKE's wildcards.
#include <gtest/gtest.h>

#include <string>

#include "engine/jet_functions.h"
#include "engine/jet_parser.h"
#include "tests/engine/jet_sql_support.h"

namespace engine_test {
namespace {

using namespace dao;

std::string Repeat(const std::string& part, int n) {
  std::string out;
  out.reserve(part.size() * static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) out += part;
  return out;
}

// A chain "first op first op ..." of n terms.
std::string Chain(const std::string& term, const std::string& op, int n) {
  std::string out = term;
  for (int k = 1; k < n; ++k) out += op + term;
  return out;
}

// The error number and message of `f`.
template <class F>
std::pair<int, std::string> Failure(F&& f) {
  try {
    f();
  } catch (const EOleException& e) {
    return {e.ErrorCode(), e.Message()};
  }
  return {0, ""};
}

class JetLimitsTest : public JetQueryTest {
 protected:
  // The text as criteria of a Find, a Filter, a WHERE of a query and an UPDATE: each must fail
  // with a syntax error that says what is wrong (when `parsed`, only the translation refuses it).
  void ExpectRefusedEverywhere(const std::string& criteria, const std::string& reason, bool parsed = false) {
    auto rs = db_->OpenRecordset("A", Variant(dbOpenDynaset));
    const std::vector<std::pair<std::string, std::function<void()>>> uses = {
        {"Find", [&] { rs->FindFirst(criteria); }},
        {"Filter", [&] { rs->SetFilter(criteria); rs->OpenRecordset(); }},
        {"Sort", [&] { rs->SetSort(criteria); rs->OpenRecordset(); }},
        {"SELECT", [&] { db_->OpenRecordset("SELECT K FROM A WHERE " + criteria); }},
        {"UPDATE", [&] { db_->Execute("UPDATE A SET Q = 1 WHERE " + criteria); }},
        {"parser", [&] { engine::ParseExpression(criteria); }},
    };
    for (const auto& [use, run] : uses) {
      if (parsed && use == "parser") continue;
      const auto [number, message] = Failure(run);
      EXPECT_EQ(number, err::kExpressionSyntax) << use << ": " << message.substr(0, 300);
      EXPECT_NE(message.find(reason), std::string::npos) << use << ": " << message.substr(0, 300);
      EXPECT_LT(message.size(), 1000u) << use;  // the text is cut short in the message
    }
  }
};

TEST_F(JetLimitsTest, DeepNestingIsASyntaxErrorNotACrash) {
  const std::string nested = "nested more than";
  ExpectRefusedEverywhere(Repeat("(", 4000) + "K = 1" + Repeat(")", 4000), nested);
  ExpectRefusedEverywhere(Repeat("Abs(", 10000) + "K" + Repeat(")", 10000) + " = 1", nested);
  ExpectRefusedEverywhere(Repeat("NOT ", 100000) + "K = 1", nested);
  ExpectRefusedEverywhere("K = " + Repeat("-", 100000) + "1", nested);
  ExpectRefusedEverywhere("K = 2 ^ " + Repeat("-", 100000) + "1", nested);
  ExpectRefusedEverywhere("K IN " + Repeat("(SELECT K FROM A WHERE K IN ", 2000) + "(1)" + Repeat(")", 2000), nested);
  // Below that limit SQLite's own may be reached: Jet's "Query is too complex", said plainly.
  const auto [number, message] = Failure([&] { Eval(Repeat("Abs(", 60) + "K" + Repeat(")", 60)); });
  EXPECT_EQ(number, 3360);
  EXPECT_NE(message.find("nested too deeply"), std::string::npos) << message;
  EXPECT_EQ(Str(Repeat("IIf(K = 1, ", 16) + "'x'" + Repeat(", 0)", 16)), "x");
  // Just within the parser's limit (a subquery counts five levels), the deepest trees the
  // translator walks: SQLite refuses them.
  EXPECT_EQ(ErrorOf([&] { Eval("K IN " + Repeat("(SELECT K FROM A WHERE K IN ", 19) + "(1)" + Repeat(")", 19)); }), 3360);
  EXPECT_EQ(ErrorOf([&] { Eval("K IN " + Repeat("(SELECT K FROM A WHERE K IN ", 20) + "(1)" + Repeat(")", 20)); }),
            err::kExpressionSyntax);
  EXPECT_EQ(Select("SELECT K FROM A WHERE K IN " + Repeat("(SELECT K FROM A WHERE K IN ", 8) + "(2)" + Repeat(")", 8), "K"),
            (Texts{"2"}));
  EXPECT_EQ(ErrorOf([&] { Eval(Repeat("K = 1 AND (", 99) + "K = 1" + Repeat(")", 99)); }), 3360);
  // Within the limit, redundant parentheses cost nothing.
  EXPECT_EQ(Select("SELECT K FROM A WHERE " + Repeat("(", 90) + "K = 2" + Repeat(")", 90), "K"), (Texts{"2"}));
}

TEST_F(JetLimitsTest, LongChainsOfOperatorsNeitherRecurseNorNest) {
  // 10,000 terms joined by AND, OR and &: parsed, translated and run.
  EXPECT_EQ(Select("SELECT K FROM A WHERE " + Chain("K > 1", " AND ", 10000), "K").size(), 4u);
  std::string any = "K = 0";
  for (int k = 1; k < 10000; ++k) any += " OR K = " + std::to_string(k % 2 == 0 ? k + 10 : 3);
  EXPECT_EQ(Select("SELECT K FROM A WHERE " + any, "K"), (Texts{"3"}));
  EXPECT_EQ(Str(Chain("'x'", " & ", 10000)), Repeat("x", 10000));
  auto rs = db_->OpenRecordset("A", Variant(dbOpenDynaset));
  rs->FindFirst(Chain("S <> 'nix'", " AND ", 10000) + " AND K = 4");
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(rs->Fields()->Item("K")->Value().ToInt32(), 4);
  // Rows of + and - run flat up to 500 terms; longer ones are refused by name.
  EXPECT_EQ(Num(Chain("1", " + ", 500)), 500);
  EXPECT_EQ(Num("K " + Chain(" - 1", "", 400)), -399);
  ExpectRefusedEverywhere("K = " + Chain("1", " + ", 10000), "more than 500 terms", true);
  ExpectRefusedEverywhere("K = " + Chain("2", " * ", 10000), "more than 500 terms", true);
  // Chains of comparisons, LIKE and IS NULL are walked without recursion as well.
  EXPECT_EQ(ErrorOf([&] { engine::ParseExpression(Chain("K", " = ", 100000)); }), 0);
  EXPECT_EQ(ErrorOf([&] { engine::ParseExpression("K" + Repeat(" IS NULL", 100000)); }), 0);
  EXPECT_EQ(ErrorOf([&] { engine::ParseExpression(Chain("S", " LIKE ", 100000)); }), 0);
  // A tree of 300,000 terms is parsed and freed without exhausting the stack.
  EXPECT_EQ(ErrorOf([&] { engine::ParseExpression(Chain("K = 1", " AND ", 300000)); }), 0);
}

TEST_F(JetLimitsTest, LikeWithManyStarsIsLinear) {
  // Exponential backtracking would take minutes here; the answers must still be right.
  const std::string a250 = Repeat("a", 250);
  EXPECT_FALSE(engine::JetLike(a250, "*a*a*a*a*b"));
  EXPECT_TRUE(engine::JetLike(a250 + "b", "*a*a*a*a*b"));
  EXPECT_FALSE(engine::JetLike(Repeat("a", 10000), Repeat("*a", 100) + "*b"));
  EXPECT_TRUE(engine::JetLike(Repeat("ab", 5000), Repeat("*a", 100) + "*b"));
  db_->Execute("INSERT INTO A (K, S) VALUES (9, '" + Repeat("a", 20) + "')");
  db_->Execute("ALTER TABLE A ADD COLUMN M MEMO");
  db_->Execute("UPDATE A SET M = '" + a250 + "' WHERE K = 9");
  EXPECT_EQ(Select("SELECT K FROM A WHERE M LIKE '*a*a*a*a*b'", "K"), Texts{});
  EXPECT_EQ(Select("SELECT K FROM A WHERE M LIKE '*a*a*a*a*a'", "K"), (Texts{"9"}));
}

TEST(JetLikeTest, WildcardsCharacterClassesAndCase) {
  struct Case {
    const char* value;
    const char* pattern;
    bool match;
  };
  const Case cases[] = {
      {"abc", "a?c", true},       {"ac", "a?c", false},         {"abc", "a*", true},      {"", "*", true},
      {"", "", true},             {"a", "", false},             {"abc", "*c", true},      {"abc", "*b", false},
      {"a1c", "a#c", true},       {"abc", "a#c", false},        {"b", "[a-c]", true},     {"d", "[a-c]", false},
      {"d", "[!a-c]", true},      {"b", "[!a-c]", false},       {"B", "[a-c]", true},     {"x", "[xyz]", true},
      {"]", "[]]", true},         {"a[b", "a[b", true},         {"Müller", "m*LLER", true}, {"Muller", "Mü*", false},
      {"aXbXc", "*x*x*", true},   {"mississippi", "*sip*", true}, {"abcabd", "*abd", true}, {"abcab", "*abd", false},
      {"straße", "STRASSE", false}, {"ÄRGER", "ä*", true},       {"a*c", "a[*]c", true},   {"abc", "a[*]c", false},
  };
  for (const Case& c : cases) EXPECT_EQ(engine::JetLike(c.value, c.pattern), c.match) << c.value << " LIKE " << c.pattern;
}

}  // namespace
}  // namespace engine_test
