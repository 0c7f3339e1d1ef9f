// Jet SQL beyond the single select: subqueries (IN, EXISTS, scalar, ANY and ALL, correlated ones),
// UNION, RIGHT JOIN, INSERT INTO ... SELECT and SELECT ... INTO, through Execute, OpenRecordset
// and query definitions.
#include <gtest/gtest.h>

#include "tests/engine/jet_sql_support.h"

namespace engine_test {
namespace {

using namespace dao;

// A and a second table B (K, T) whose records point at records of A (K 6 points nowhere).
class JetSubqueryTest : public JetQueryTest {
 protected:
  void SetUp() override {
    JetQueryTest::SetUp();
    db_->Execute("CREATE TABLE B (ID COUNTER, K LONG, T TEXT(20))");
    for (const char* values : {"(1, 'a')", "(1, 'b')", "(3, 'c')", "(6, 'd')"})
      db_->Execute(std::string("INSERT INTO B (K, T) VALUES ") + values);
  }
};

TEST_F(JetSubqueryTest, InExistsAndScalarSubqueries) {
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q IN (SELECT Q FROM A WHERE K > 3) ORDER BY K", "K"), (Texts{"2", "4", "5"}));
  EXPECT_EQ(Select("SELECT K FROM A WHERE K NOT IN (SELECT K FROM B) ORDER BY K", "K"), (Texts{"2", "4", "5"}));
  // Correlated: the subquery names a field of the outer query's table.
  EXPECT_EQ(Select("SELECT S FROM A WHERE EXISTS (SELECT * FROM B WHERE B.K = A.K) ORDER BY K", "S"),
            (Texts{"eins", "drei"}));
  EXPECT_EQ(Select("SELECT K FROM A WHERE NOT EXISTS (SELECT 1 FROM B WHERE B.K = A.K) ORDER BY K", "K"),
            (Texts{"2", "4", "5"}));
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q = (SELECT Max(Q) FROM A)", "K"), (Texts{"5"}));
  EXPECT_EQ(Select("SELECT K, (SELECT Count(*) FROM B WHERE B.K = A.K) AS N FROM A ORDER BY K", "N"),
            (Texts{"2", "0", "1", "0", "0"}));
  // A TOP subquery with its own order; texts compare without regard to case.
  EXPECT_EQ(Select("SELECT K FROM A WHERE K IN (SELECT TOP 2 K FROM A ORDER BY Q DESC) ORDER BY K", "K"),
            (Texts{"3", "5"}));
  EXPECT_EQ(Select("SELECT K FROM A WHERE S IN (SELECT UCase(S) FROM A WHERE K = 1)", "K"), (Texts{"1"}));
  // A scalar subquery must give one record at most; IN and scalar subqueries one field.
  EXPECT_EQ(ErrorOf([&] { Select("SELECT K FROM A WHERE Q = (SELECT Q FROM A)", "K"); }), 3354);
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q = (SELECT Q FROM A WHERE K = 99)", "K"), Texts{});
  EXPECT_EQ(ErrorOf([&] { Select("SELECT K FROM A WHERE K IN (SELECT K, T FROM B)", "K"); }), 3306);
}

TEST_F(JetSubqueryTest, AnyAndAll) {
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q > ALL (SELECT Q FROM A WHERE K < 3) ORDER BY K", "K"), (Texts{"3", "5"}));
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q < ANY (SELECT Q FROM A WHERE K < 3) ORDER BY K", "K"), (Texts{"1"}));
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q = SOME (SELECT Q * 2 FROM A) ORDER BY K", "K"), (Texts{"2", "4", "5"}));
  // Over no records ALL holds and ANY does not.
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q > ALL (SELECT Q FROM A WHERE K > 9)", "K").size(), 5u);
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q > ANY (SELECT Q FROM A WHERE K > 9)", "K").size(), 0u);
  // In criteria of one shape the values keep their places (the left operand before the subquery).
  auto rs = db_->OpenRecordset("A", Variant(dbOpenDynaset));
  rs->FindFirst("K = 1 AND 3 > ALL (SELECT Q FROM A WHERE Q > 3)");
  EXPECT_TRUE(rs->NoMatch());
  rs->FindFirst("K = 1 AND 12 > ALL (SELECT Q FROM A WHERE Q > 9)");
  EXPECT_TRUE(rs->NoMatch());
  rs->FindFirst("K = 1 AND 13 > ALL (SELECT Q FROM A WHERE Q > 9)");
  EXPECT_FALSE(rs->NoMatch());
  // A Null among the values keeps ALL from holding.
  db_->Execute("INSERT INTO A (K) VALUES (6)");
  EXPECT_EQ(Select("SELECT K FROM A WHERE Q >= ALL (SELECT Q FROM A)", "K"), Texts{});
}

TEST_F(JetSubqueryTest, ValuesAndParametersKeepTheirPlacesAroundSubqueries) {
  // Literals and parameters before, inside and after subqueries in every clause.
  auto q = db_->CreateQueryDef(Variant("Gemischt"),
                               Variant("SELECT K, Q + 1 AS X, (SELECT Count(*) FROM B WHERE B.K = A.K AND B.T <> 'zz') + 100 AS N "
                                       "FROM A WHERE S <> 'nix' AND Q IN (SELECT Q + Plus FROM A WHERE K > 2) "
                                       "AND Q > ANY (SELECT Q - 1 FROM A WHERE K = Nr) ORDER BY X DESC"));
  q->Parameters()->Item("Plus")->SetValue(Variant(0));
  q->Parameters()->Item("Nr")->SetValue(Variant(3));
  auto rs = q->OpenRecordset(Variant(dbOpenSnapshot));
  EXPECT_EQ(Column(rs, "K"), (Texts{"5", "3"}));
  EXPECT_EQ(Column(rs, "N"), (Texts{"100", "101"}));
}

TEST_F(JetSubqueryTest, SubqueriesInActionQueriesFindsAndFilters) {
  EXPECT_EQ(ErrorOf([&] { db_->Execute("DELETE FROM B WHERE K NOT IN (SELECT K FROM A)"); }), 0);
  EXPECT_EQ(db_->RecordsAffected(), 1);
  db_->Execute("UPDATE A SET Q = (SELECT Count(*) FROM B WHERE B.K = A.K) WHERE K < 4");
  EXPECT_EQ(Select("SELECT Q FROM A ORDER BY K", "Q"), (Texts{"2", "0", "1", "6", "12"}));
  auto rs = db_->OpenRecordset("A", Variant(dbOpenDynaset));
  rs->FindFirst("K IN (SELECT K FROM B WHERE T = 'c')");
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(rs->Fields()->Item("K")->Value().ToInt32(), 3);
  rs->SetFilter("EXISTS (SELECT 1 FROM B WHERE B.K = A.K)");
  EXPECT_EQ(Column(rs->OpenRecordset(), "K"), (Texts{"1", "3"}));
  // A name neither query has is an error in criteria, not a parameter.
  EXPECT_EQ(ErrorOf([&] { rs->FindFirst("K IN (SELECT Nix FROM B)"); }), err::kUnknownName);
}

TEST_F(JetSubqueryTest, UnionAndUnionAll) {
  EXPECT_EQ(Select("SELECT K, S FROM A WHERE K < 3 UNION SELECT K, T FROM B WHERE K > 3 ORDER BY K DESC", "S"),
            (Texts{"d", "zwei", "eins"}));
  EXPECT_EQ(Select("SELECT Q FROM A UNION SELECT Q FROM A ORDER BY Q", "Q"), (Texts{"3", "6", "9", "12"}));
  EXPECT_EQ(Select("SELECT Q FROM A UNION ALL SELECT Q FROM A", "Q").size(), 10u);
  // The union's fields are named by the first select; texts that differ in case only are one.
  const Texts one = Select("SELECT S AS Name FROM A WHERE K = 1 UNION SELECT UCase(S) FROM A WHERE K = 1", "Name");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_TRUE(one[0] == "eins" || one[0] == "EINS") << one[0];
  EXPECT_EQ(ErrorOf([&] { Select("SELECT K FROM A UNION SELECT K, T FROM B", "K"); }), 3307);
  // A member with TOP keeps its own limit.
  EXPECT_EQ(Select("SELECT K FROM A WHERE K = 1 UNION ALL SELECT TOP 1 K FROM B ORDER BY K", "K"), (Texts{"1", "1"}));
}

TEST_F(JetSubqueryTest, AUnionStoredAsAQueryOpensReadOnly) {
  auto q = db_->CreateQueryDef(Variant("Alle"), Variant("SELECT K, S FROM A UNION SELECT K, T FROM B"));
  EXPECT_EQ(q->Type(), dbQSetOperation);
  auto rs = db_->OpenRecordset("Alle", Variant(dbOpenDynaset));
  EXPECT_FALSE(rs->Updatable());
  EXPECT_NE(ErrorOf([&] { rs->Edit(); }), 0);
  rs->MoveLast();
  EXPECT_EQ(rs->RecordCount(), 9);
  rs->SetFilter("K = 1");
  rs->SetSort("S DESC");
  EXPECT_EQ(Column(rs->OpenRecordset(), "S"), (Texts{"eins", "b", "a"}));
  rs->FindFirst("S = 'C'");
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(rs->Fields()->Item("K")->Value().ToInt32(), 3);
}

TEST_F(JetSubqueryTest, RightJoin) {
  // Every record of B, with the matching record of A or Nulls.
  auto rs = db_->OpenRecordset("SELECT A.S, B.T FROM A RIGHT JOIN B ON A.K = B.K ORDER BY B.T", Variant(dbOpenSnapshot));
  EXPECT_EQ(Column(rs, "T"), (Texts{"a", "b", "c", "d"}));
  EXPECT_EQ(Column(rs, "S"), (Texts{"eins", "eins", "drei", ""}));
  rs->MoveLast();
  EXPECT_TRUE(rs->Fields()->Item("S")->Value().IsNull());
  EXPECT_EQ(Select("SELECT B.T FROM A RIGHT OUTER JOIN B ON A.K = B.K WHERE A.K IS NULL", "T"), (Texts{"d"}));
}

TEST_F(JetSubqueryTest, InsertIntoSelect) {
  db_->Execute("INSERT INTO B (K, T) SELECT K, S & '!' FROM A WHERE Q = 6");
  EXPECT_EQ(db_->RecordsAffected(), 2);
  EXPECT_EQ(Select("SELECT T FROM B WHERE T LIKE '*!' ORDER BY K", "T"), (Texts{"zwei!", "vier!"}));
  // From a union, with a parameter.
  auto q = db_->CreateQueryDef(Variant(), Variant("INSERT INTO B (K, T) SELECT K, S FROM A WHERE K = Nr UNION SELECT 7, 'sieben' FROM A WHERE K = 1"));
  q->Parameters()->Item("Nr")->SetValue(Variant(5));
  EXPECT_EQ(q->Type(), dbQAppend);
  q->Execute();
  EXPECT_EQ(q->RecordsAffected(), 2);
  EXPECT_EQ(Select("SELECT T FROM B WHERE K >= 5 ORDER BY K", "T"), (Texts{"fünf", "d", "sieben"}));
  EXPECT_EQ(ErrorOf([&] { db_->Execute("INSERT INTO B (K, T) SELECT K FROM A"); }), 3346);
}

TEST_F(JetSubqueryTest, SelectIntoMakesATableWithTheFieldsTypes) {
  db_->Execute("SELECT K, S, Q * 1.5 AS R, Q > 5 AS Gross, CCur(Q) AS C, #1/2/2003# AS D INTO Neu FROM A WHERE K < 4");
  EXPECT_EQ(db_->RecordsAffected(), 3);
  auto fields = db_->TableDefs()->Item("Neu")->Fields();
  ASSERT_EQ(fields->Count(), 6);
  const std::vector<std::pair<std::string, int>> expected = {{"K", dbLong},      {"S", dbText},     {"R", dbDouble},
                                                             {"Gross", dbBoolean}, {"C", dbCurrency}, {"D", dbDate}};
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(fields->Item(k)->Name(), expected[static_cast<size_t>(k)].first);
    EXPECT_EQ(fields->Item(k)->Type(), expected[static_cast<size_t>(k)].second) << expected[static_cast<size_t>(k)].first;
  }
  EXPECT_EQ(fields->Item("S")->Size(), 20);
  auto rs = db_->OpenRecordset("SELECT * FROM Neu ORDER BY K", Variant(dbOpenSnapshot));
  EXPECT_EQ(Column(rs, "K"), (Texts{"1", "2", "3"}));
  rs->MoveFirst();
  EXPECT_EQ(rs->Fields()->Item("R")->Value().ToDouble(), 4.5);
  EXPECT_EQ(Column(rs, "Gross"), (Texts{"False", "True", "True"}));
  rs->MoveFirst();
  EXPECT_EQ(rs->Fields()->Item("C")->Value().Type(), framework::VarType::Currency);
  // An AutoNumber becomes a plain Long; an existing table is not replaced.
  db_->Execute("SELECT ID, T INTO Kopie FROM B");
  EXPECT_EQ(db_->TableDefs()->Item("Kopie")->Fields()->Item("ID")->Attributes() & dbAutoIncrField, 0);
  EXPECT_EQ(ErrorOf([&] { db_->Execute("SELECT K INTO Neu FROM A"); }), err::kObjectExists);
  EXPECT_EQ(Select("SELECT K FROM Neu", "K").size(), 3u);
  // A make-table query is not opened as a recordset; as a query definition it is of its type.
  EXPECT_NE(ErrorOf([&] { db_->OpenRecordset("SELECT K INTO Noch FROM A"); }), 0);
  EXPECT_EQ(db_->CreateQueryDef(Variant(), Variant("SELECT K INTO Noch FROM A"))->Type(), dbQMakeTable);
  // A failing make-table query leaves no table behind.
  EXPECT_EQ(ErrorOf([&] { db_->Execute("SELECT K, 1 / 0 ^ -1 AS X INTO Kaputt FROM A"); }), err::kInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { db_->TableDefs()->Item("Kaputt"); }), err::kNotInCollection);
}

}  // namespace
}  // namespace engine_test
