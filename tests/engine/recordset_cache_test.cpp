// What the recordsets keep in memory, and when they read again: find criteria translated once per
// shape of their text must still find the record their own literals name; a refresh reads again
// what was read before the connection's last statement; records written come back as stored.
#include <gtest/gtest.h>

#include "tests/engine/engine_test_support.h"

namespace engine_test {
namespace {

using namespace dao;

int32_t Nr(const std::shared_ptr<Recordset>& rs) { return rs->Fields()->Item("Personalnr")->Value().ToInt32(); }

TEST_F(EngineTest, CriteriaOfOneShapeFindTheRecordOfTheirOwnLiterals) {
  CreateBirthdays(6);
  db_->Execute("UPDATE Geburtstag SET Mitarbeiter = 'O''Hara' WHERE Personalnr = 1005");
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  auto find = [&](const std::string& criteria) {
    rs->FindFirst(criteria);
    return rs->NoMatch() ? -1 : Nr(rs);
  };
  for (int n : {1001, 1003, 1000, 1005}) EXPECT_EQ(find("Personalnr = " + std::to_string(n)), n);
  EXPECT_EQ(find("Personalnr = 4711"), -1);
  EXPECT_EQ(find("Personalnr = 1002.0"), 1002);
  EXPECT_EQ(find("Personalnr = 1e3"), 1000);
  for (int n : {2, 4}) EXPECT_EQ(find("Mitarbeiter = \"Mitarbeiter " + std::to_string(n) + "\""), 1000 + n);
  EXPECT_EQ(find("Mitarbeiter = 'O''Hara'"), 1005);
  EXPECT_EQ(find("Mitarbeiter = 'o''hara'"), 1005);  // without regard to case
  EXPECT_EQ(find("Mitarbeiter LIKE 'Mit*3'"), 1003);
  EXPECT_EQ(find("Mitarbeiter LIKE '*1'"), 1001);
  EXPECT_EQ(find("Mitarbeiter LIKE '[!M]*'"), 1005);
  EXPECT_EQ(find("Personalnr > 1003 AND Personalnr < 1005"), 1004);
  EXPECT_EQ(find("Personalnr > 1000 AND Personalnr < 1002"), 1001);
  EXPECT_EQ(find("Personalnr IN (1009, 1002)"), 1002);
  EXPECT_EQ(find("Personalnr IN (1009, 1004)"), 1004);
  // The Find methods move from the current record with the same shape of criteria.
  rs->MoveFirst();
  rs->FindNext("Personalnr >= 1002");
  EXPECT_EQ(Nr(rs), 1002);
  rs->FindNext("Personalnr >= 1004");
  EXPECT_EQ(Nr(rs), 1004);
  rs->FindPrevious("Personalnr <= 1001");
  EXPECT_EQ(Nr(rs), 1001);
  // A date literal is no shape of its own: it is translated each time.
  EXPECT_EQ(find("Geburtsdatum = #10/04/1954#"), 1001);  // day 20001
  EXPECT_EQ(find("Geburtsdatum = #10/06/1954#"), 1003);
}

TEST_F(EngineTest, ARefreshReadsAgainWhatWasReadBeforeTheLastStatement) {
  CreateBirthdays(3);
  auto rs = db_->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr", Variant(dbOpenDynaset));
  auto telefon = [&] { return rs->Fields()->Item("Telefon")->Value().ToString(); };
  EXPECT_EQ(telefon(), "0711-0");
  auto other = ws_->OpenDatabase(Path("geb.db"));
  other->Execute("UPDATE Geburtstag SET Telefon = 'neu' WHERE Personalnr = 1000");
  // The record read stays as read until the cache is refreshed ...
  EXPECT_EQ(telefon(), "0711-0");
  // ... and a refresh right after the read keeps it: nothing this connection did since could have
  // seen the other's change.
  engine_->Idle(Variant(dbRefreshCache));
  EXPECT_EQ(telefon(), "0711-0");
  // Once this connection ran a statement after the read, a refresh reads the record again.
  db_->OpenRecordset("SELECT Count(*) FROM Geburtstag", Variant(dbOpenSnapshot));
  engine_->Idle(Variant(dbRefreshCache));
  EXPECT_EQ(telefon(), "neu");
  // Move(0) always reads again.
  other->Execute("UPDATE Geburtstag SET Telefon = 'neuer' WHERE Personalnr = 1000");
  rs->Move(0);
  EXPECT_EQ(telefon(), "neuer");
}

TEST_F(EngineTest, WrittenRecordsComeBackAsStored) {
  CreateBirthdays(2);
  db_->Execute("CREATE TABLE Werte (ID COUNTER, Betrag CURRENCY, Ja BIT, Wann DATETIME, Name TEXT(20) DEFAULT 'ohne')");
  auto rs = db_->OpenRecordset("Werte", Variant(dbOpenDynaset));
  rs->AddNew();
  rs->Fields()->Item("Betrag")->SetValue(Variant(12.345));
  rs->Fields()->Item("Wann")->SetValue(Variant::Date(20000.5));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  // The defaults and the AutoNumber as the file holds them, the values in their field types.
  EXPECT_EQ(rs->Fields()->Item("ID")->Value().ToInt32(), 1);
  EXPECT_EQ(rs->Fields()->Item("Name")->Value().ToString(), "ohne");
  EXPECT_FALSE(rs->Fields()->Item("Ja")->Value().ToBool());
  EXPECT_EQ(rs->Fields()->Item("Betrag")->Value().Type(), framework::VarType::Currency);
  EXPECT_DOUBLE_EQ(rs->Fields()->Item("Betrag")->Value().ToDouble(), 12.345);
  rs->Edit();
  rs->Fields()->Item("Ja")->SetValue(Variant(true));
  rs->Fields()->Item("Name")->SetValue(Variant("mit"));
  rs->Update();
  const Variant ja = rs->Fields()->Item("Ja")->Value();
  const Variant name = rs->Fields()->Item("Name")->Value();
  rs->Move(0);  // what the file holds
  EXPECT_EQ(ja.ToBool(), rs->Fields()->Item("Ja")->Value().ToBool());
  EXPECT_EQ(name.ToString(), rs->Fields()->Item("Name")->Value().ToString());
  EXPECT_TRUE(rs->Fields()->Item("Ja")->Value().ToBool());
}

}  // namespace
}  // namespace engine_test
