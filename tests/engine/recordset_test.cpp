// Recordset behaviour through the DAO interface: moves and bounds per type, bookmarks across
// clones, edits and their errors, deletes seen by a second recordset, finds and seeks.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/engine/engine_test_support.h"

namespace engine_test {
namespace {

using namespace dao;

int32_t Nr(const std::shared_ptr<Recordset>& rs) { return rs->Fields()->Item("Personalnr")->Value().ToInt32(); }

TEST_F(EngineTest, DynasetMovesAndBounds) {
  CreateBirthdays(5);
  auto rs = db_->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr", Variant(dbOpenDynaset));
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_FALSE(rs->Bof());
  EXPECT_EQ(Nr(rs), 1000);
  EXPECT_EQ(rs->AbsolutePosition(), 0);
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(rs->AbsolutePosition(), -1);
  EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->Value(); }), err::kNoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), err::kNoCurrentRecord);
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 1000);
  rs->MoveLast();
  EXPECT_EQ(Nr(rs), 1004);
  EXPECT_EQ(rs->AbsolutePosition(), 4);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kNoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { rs->Bookmark(); }), err::kNoCurrentRecord);
  rs->MovePrevious();
  EXPECT_EQ(Nr(rs), 1004);
  rs->Move(-2);
  EXPECT_EQ(Nr(rs), 1002);
  rs->Move(10);
  EXPECT_TRUE(rs->Eof());
  rs->SetAbsolutePosition(1);
  EXPECT_EQ(Nr(rs), 1001);
  EXPECT_FLOAT_EQ(rs->PercentPosition(), 20.0f);
  EXPECT_FALSE(rs->NoMatch());
}

TEST_F(EngineTest, EmptyRecordsetRules) {
  CreateBirthdays(0);
  for (int type : {dbOpenTable, dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
    auto rs = db_->OpenRecordset("Geburtstag", Variant(type));
    EXPECT_TRUE(rs->Bof()) << type;
    EXPECT_TRUE(rs->Eof()) << type;
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), err::kNoCurrentRecord) << type;
    EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kNoCurrentRecord) << type;
    EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item(0)->Value(); }), err::kNoCurrentRecord) << type;
  }
}

TEST_F(EngineTest, SnapshotAndForwardOnly) {
  CreateBirthdays(3);
  auto snap = db_->OpenRecordset("Geburtstag", Variant(dbOpenSnapshot));
  EXPECT_FALSE(snap->Updatable());
  EXPECT_EQ(ErrorOf([&] { snap->Edit(); }), err::kReadOnly);
  snap->MoveLast();
  EXPECT_EQ(Nr(snap), 1002);
  auto fwd = db_->OpenRecordset("SELECT Personalnr FROM Geburtstag ORDER BY Personalnr DESC", Variant(dbOpenForwardOnly));
  EXPECT_EQ(Nr(fwd), 1002);
  fwd->MoveNext();
  EXPECT_EQ(Nr(fwd), 1001);
  EXPECT_EQ(ErrorOf([&] { fwd->MovePrevious(); }), err::kNotSupported);
  EXPECT_FALSE(fwd->Bookmarkable());
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Geburtstag", Variant(dbOpenDynamic)); }), err::kInvalidArgument);
}

TEST_F(EngineTest, BookmarksAreSharedByClones) {
  CreateBirthdays(10);
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  auto clone = rs->Clone();
  clone->MoveFirst();
  clone->Move(7);
  const Variant mark = clone->Bookmark();
  ASSERT_EQ(mark.ToBytes().size(), 4u);
  uint32_t value = 0;
  std::memcpy(&value, mark.ToBytes().data(), 4);
  EXPECT_NE(value, 0u);
  rs->SetBookmark(mark);
  EXPECT_EQ(Nr(rs), 1007);
  EXPECT_EQ(rs->AbsolutePosition(), 7);
  EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(Variant(std::vector<uint8_t>{0, 0, 0, 9})); }), err::kInvalidBookmark);
}

TEST_F(EngineTest, EditAddNewAndTheirErrors) {
  CreateBirthdays(3);
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kUpdateWithoutEdit);
  EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item("Telefon")->SetValue(Variant("x")); }), err::kUpdateWithoutEdit);
  rs->MoveFirst();
  rs->Move(1);
  rs->Edit();
  EXPECT_EQ(rs->EditMode(), dbEditInProgress);
  rs->Fields()->Item("Telefon")->SetValue(Variant("089-1"));
  EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item("Personalnr")->SetValue(Variant("abc")); }), err::kTypeConversion);
  EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item("Telefon")->SetValue(Variant(std::string(256, 'x'))); }),
            err::kValueTooLong);
  EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item("ID")->SetValue(Variant(5)); }), 3164);
  rs->Update();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "089-1");
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  // AddNew keeps the current record; LastModified is the new one.
  rs->AddNew();
  EXPECT_EQ(rs->EditMode(), dbEditAdd);
  rs->Fields()->Item("Mitarbeiter")->SetValue(Variant("Jürgen Müller"));
  rs->Fields()->Item("Personalnr")->SetValue(Variant("4711"));
  rs->Update();
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_EQ(rs->RecordCount(), 4);
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(Nr(rs), 4711);
  EXPECT_EQ(rs->Fields()->Item("Mitarbeiter")->Value().ToString(), "Jürgen Müller");
  EXPECT_EQ(rs->Fields()->Item("ID")->Value().ToInt32(), 4);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  // CancelUpdate drops the changes.
  rs->Edit();
  rs->Fields()->Item("Telefon")->SetValue(Variant("nope"));
  rs->CancelUpdate();
  EXPECT_TRUE(rs->Fields()->Item("Telefon")->Value().IsNull());
}

TEST_F(EngineTest, DuplicateAndRequiredViolations) {
  db_ = ws_->CreateDatabase(Path("c.db"));
  db_->Execute("CREATE TABLE T (ID COUNTER, Code TEXT(10) NOT NULL, CONSTRAINT U UNIQUE (Code))");
  auto rs = db_->OpenRecordset("T", Variant(dbOpenDynaset));
  rs->AddNew();
  rs->Fields()->Item("Code")->SetValue(Variant("abc"));
  rs->Update();
  rs->AddNew();
  rs->Fields()->Item("Code")->SetValue(Variant("ABC"));  // the same key without regard to case
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kDuplicateKey);
  rs->CancelUpdate();
  rs->AddNew();
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kRequired);
  rs->CancelUpdate();
  EXPECT_EQ(rs->RecordCount(), 1);
  // The failure is also item 0 of the engine's Errors.
  EXPECT_EQ(engine_->Errors()->Item(0)->Number(), err::kRequired);
}

TEST_F(EngineTest, DeleteSeenBySecondRecordset) {
  CreateBirthdays(4);
  auto a = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  auto b = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  a->Move(2);
  b->Move(2);
  EXPECT_EQ(Nr(b), 1002);
  a->Delete();
  // The deleted record stays current on a until a move.
  EXPECT_EQ(ErrorOf([&] { a->Fields()->Item(0)->Value(); }), err::kRecordDeleted);
  EXPECT_EQ(a->RecordCount(), 3);
  a->MoveNext();
  EXPECT_EQ(Nr(a), 1003);
  a->MovePrevious();
  EXPECT_EQ(Nr(a), 1001);
  // b still holds the row id: reading it, re-reading it or editing it is 3167.
  EXPECT_EQ(ErrorOf([&] { b->Move(0); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { b->Fields()->Item(0)->Value(); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { b->Edit(); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { b->Delete(); }), err::kRecordDeleted);
  b->Requery();
  EXPECT_EQ(b->RecordCount(), 3);
  EXPECT_EQ(Nr(b), 1000);
}

TEST_F(EngineTest, FindsInKeysetOrder) {
  CreateBirthdays(20);
  auto rs = db_->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr DESC", Variant(dbOpenDynaset));
  rs->FindFirst("([Personalnr] = 1007)");
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(Nr(rs), 1007);
  EXPECT_EQ(rs->AbsolutePosition(), 12);
  rs->FindNext("Personalnr < 1010");
  EXPECT_EQ(Nr(rs), 1006);
  rs->FindPrevious("Personalnr < 1010");
  EXPECT_EQ(Nr(rs), 1007);
  rs->FindPrevious("Personalnr < 1005 AND Personalnr > 1003");
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_EQ(Nr(rs), 1007);  // a failed find keeps the position
  // "Mitarbeiter 1" and "Mitarbeiter 10" to "19" match; the last in this order is 1001.
  rs->FindLast("Mitarbeiter LIKE 'mitarbeiter 1*'");
  EXPECT_EQ(Nr(rs), 1001);
  rs->FindPrevious("Mitarbeiter LIKE 'MITARBEITER 1#'");
  EXPECT_EQ(Nr(rs), 1010);
  rs->FindFirst("Personalnr >= 1018");
  EXPECT_EQ(Nr(rs), 1019);
  rs->FindFirst("Personalnr <> 1019");
  EXPECT_EQ(Nr(rs), 1018);
  rs->FindFirst("Personalnr IN (1003, 1004) OR Personalnr BETWEEN 1001 AND 1001");
  EXPECT_EQ(Nr(rs), 1004);
  EXPECT_EQ(ErrorOf([&] { rs->FindFirst("Unbekannt = 1"); }), err::kUnknownName);
  EXPECT_EQ(ErrorOf([&] { rs->FindFirst("Personalnr = "); }), err::kExpressionSyntax);
  EXPECT_EQ(ErrorOf([&] { rs->FindFirst("Personalnr = \"abc\""); }), err::kTypeMismatch);
  // Finds work on snapshots too.
  auto snap = db_->OpenRecordset("Geburtstag", Variant(dbOpenSnapshot));
  snap->FindFirst("[Personalnr] = 1015");
  EXPECT_EQ(Nr(snap), 1015);
  snap->FindNext("Personalnr > 1013");
  EXPECT_EQ(Nr(snap), 1016);
}

TEST_F(EngineTest, SeekOnTheCurrentIndex) {
  CreateBirthdays(10);
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenTable));
  EXPECT_EQ(ErrorOf([&] { rs->Seek("=", {Variant(1003)}); }), err::kNoIndex);
  rs->SetIndex("Personalnr");
  rs->Seek("=", {Variant(1003)});
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(Nr(rs), 1003);
  rs->Seek(">", {Variant(1003)});
  EXPECT_EQ(Nr(rs), 1004);
  rs->Seek(">=", {Variant(1003)});
  EXPECT_EQ(Nr(rs), 1003);
  rs->Seek("<", {Variant(1003)});
  EXPECT_EQ(Nr(rs), 1002);
  rs->Seek("<=", {Variant(1003)});
  EXPECT_EQ(Nr(rs), 1003);
  rs->Seek("=", {Variant(5)});
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_EQ(Nr(rs), 1003);
  rs->Seek(">=", {Variant("1009")});
  EXPECT_EQ(Nr(rs), 1009);
  rs->Seek(">", {Variant(1009)});
  EXPECT_TRUE(rs->NoMatch());
}

}  // namespace
}  // namespace engine_test
