// Recordset rules in depth, per recordset type: Move(n) from the current record and from a
// bookmark, the AbsolutePosition and PercentPosition setters, LastModified and EditMode through
// edits, what holds after Delete, Requery, and GetRows.
#include <gtest/gtest.h>

#include "tests/engine/engine_test_support.h"

namespace engine_test {
namespace {

using namespace dao;

int32_t Nr(const std::shared_ptr<Recordset>& rs) { return rs->Fields()->Item("Personalnr")->Value().ToInt32(); }

// The three types that keep every record reachable, each over the birthdays in Personalnr order.
class EveryScrollableType : public EngineTest, public ::testing::WithParamInterface<int> {
 protected:
  std::shared_ptr<Recordset> Open() {
    if (GetParam() == dbOpenTable) {
      auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenTable));
      rs->SetIndex("Personalnr");
      return rs;
    }
    return db_->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr", Variant(GetParam()));
  }
};

INSTANTIATE_TEST_SUITE_P(Types, EveryScrollableType, ::testing::Values(dbOpenTable, dbOpenDynaset, dbOpenSnapshot),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_P(EveryScrollableType, MoveFromTheCurrentRecordAndFromABookmark) {
  CreateBirthdays(10);
  auto rs = Open();
  rs->Move(3);
  EXPECT_EQ(Nr(rs), 1003);
  rs->Move(-2);
  EXPECT_EQ(Nr(rs), 1001);
  rs->Move(8);
  EXPECT_EQ(Nr(rs), 1009);
  // Past either end stands at BOF or EOF; from there a Move without a start has no record.
  rs->Move(1);
  EXPECT_TRUE(rs->Eof());
  EXPECT_FALSE(rs->Bof());
  EXPECT_EQ(ErrorOf([&] { rs->Move(-1); }), err::kNoCurrentRecord);
  rs->MoveFirst();
  rs->Move(-1);
  EXPECT_TRUE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(rs->AbsolutePosition(), -1);
  EXPECT_EQ(ErrorOf([&] { rs->Move(2); }), err::kNoCurrentRecord);

  // With a start bookmark the move counts from that record, wherever the recordset stands.
  EXPECT_EQ(ErrorOf([&] { rs->Move(5, Variant()); }), err::kNoCurrentRecord);  // an omitted start
  rs->MoveFirst();
  rs->Move(5);
  const Variant at5 = rs->Bookmark();
  rs->MoveFirst();
  rs->Move(2, at5);
  EXPECT_EQ(Nr(rs), 1007);
  rs->Move(-5, at5);
  EXPECT_EQ(Nr(rs), 1000);
  rs->Move(0, at5);
  EXPECT_EQ(Nr(rs), 1005);
  rs->Move(-6, at5);
  EXPECT_TRUE(rs->Bof());
  rs->Move(1, at5);  // a start bookmark needs no current record
  EXPECT_EQ(Nr(rs), 1006);
  rs->Move(4, at5);
  EXPECT_EQ(Nr(rs), 1009);
  rs->Move(5, at5);
  EXPECT_TRUE(rs->Eof());
  // A bookmark taken on a clone serves as the start on its original.
  auto clone = rs->Clone();
  clone->MoveLast();
  rs->Move(-3, clone->Bookmark());
  EXPECT_EQ(Nr(rs), 1006);
  EXPECT_EQ(ErrorOf([&] { rs->Move(1, Variant(std::vector<uint8_t>{0x77, 0, 0, 0})); }), err::kInvalidBookmark);
  EXPECT_EQ(ErrorOf([&] { rs->Move(1, Variant(std::vector<uint8_t>{0, 0, 0, 0})); }), err::kInvalidBookmark);
  EXPECT_EQ(Nr(rs), 1006);  // a refused move leaves the position
}

TEST_P(EveryScrollableType, PositionSetters) {
  CreateBirthdays(10);
  auto rs = Open();
  EXPECT_EQ(rs->AbsolutePosition(), 0);
  EXPECT_FLOAT_EQ(rs->PercentPosition(), 0.0f);
  rs->SetAbsolutePosition(9);
  EXPECT_EQ(Nr(rs), 1009);
  EXPECT_FLOAT_EQ(rs->PercentPosition(), 90.0f);
  rs->SetAbsolutePosition(0);
  EXPECT_EQ(Nr(rs), 1000);
  rs->SetAbsolutePosition(4);
  EXPECT_EQ(ErrorOf([&] { rs->SetAbsolutePosition(10); }), err::kInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { rs->SetAbsolutePosition(-1); }), err::kInvalidArgument);
  EXPECT_EQ(Nr(rs), 1004);
  rs->SetPercentPosition(50.0f);
  EXPECT_EQ(Nr(rs), 1005);
  rs->SetPercentPosition(100.0f);
  EXPECT_EQ(Nr(rs), 1009);
  rs->SetPercentPosition(0.0f);
  EXPECT_EQ(Nr(rs), 1000);
  rs->SetPercentPosition(35.0f);
  EXPECT_EQ(Nr(rs), 1003);
  EXPECT_EQ(ErrorOf([&] { rs->SetPercentPosition(100.5f); }), err::kInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { rs->SetPercentPosition(-1.0f); }), err::kInvalidArgument);
  EXPECT_EQ(Nr(rs), 1003);
  // The setters also bring a recordset back from EOF.
  rs->MoveLast();
  rs->MoveNext();
  ASSERT_TRUE(rs->Eof());
  EXPECT_EQ(rs->AbsolutePosition(), -1);
  rs->SetAbsolutePosition(2);
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(Nr(rs), 1002);
  // The setters cancel a pending edit, as any move does.
  if (rs->Updatable()) {
    rs->Edit();
    rs->Fields()->Item("Telefon")->SetValue(Variant("verworfen"));
    rs->SetAbsolutePosition(3);
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "0711-2");
  }
}

TEST_P(EveryScrollableType, PositionSettersOnAnEmptySet) {
  CreateBirthdays(0);
  auto rs = Open();
  EXPECT_EQ(rs->AbsolutePosition(), -1);
  EXPECT_EQ(ErrorOf([&] { rs->SetAbsolutePosition(0); }), err::kInvalidArgument);
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
}

TEST_P(EveryScrollableType, EditModeAndLastModifiedThroughEdits) {
  CreateBirthdays(5);
  auto rs = Open();
  if (GetParam() == dbOpenSnapshot) {
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), err::kReadOnly);
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    EXPECT_TRUE(rs->LastModified().IsNull());
    return;
  }
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_TRUE(rs->LastModified().IsNull());
  rs->Move(2);
  // Edit + Update: the edited record stays current and becomes LastModified.
  rs->Edit();
  EXPECT_EQ(rs->EditMode(), dbEditInProgress);
  rs->Fields()->Item("Telefon")->SetValue(Variant("neu"));
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "neu");  // the edit buffer
  rs->Update();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(Nr(rs), 1002);
  EXPECT_EQ(rs->LastModified(), rs->Bookmark());
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kUpdateWithoutEdit);
  EXPECT_EQ(ErrorOf([&] { rs->CancelUpdate(); }), err::kUpdateWithoutEdit);
  // AddNew + CancelUpdate adds nothing and leaves LastModified.
  const Variant edited = rs->LastModified();
  rs->AddNew();
  EXPECT_EQ(rs->EditMode(), dbEditAdd);
  rs->Fields()->Item("Personalnr")->SetValue(Variant(2000));
  rs->CancelUpdate();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(rs->LastModified(), edited);
  EXPECT_EQ(Nr(rs), 1002);
  // A move during AddNew drops the new record.
  rs->AddNew();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(2001));
  rs->MoveNext();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(Nr(rs), 1003);
  EXPECT_EQ(db_->TableDefs()->Item("Geburtstag")->RecordCount(), 5);
  // AddNew + Update: the current record stays, LastModified is the new record.
  rs->AddNew();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(2002));
  rs->Update();
  EXPECT_EQ(Nr(rs), 1003);
  EXPECT_EQ(rs->RecordCount(), 6);
  ASSERT_FALSE(rs->LastModified().IsNull());
  EXPECT_NE(rs->LastModified(), edited);
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(Nr(rs), 2002);
  // A clone does not share the original's LastModified.
  auto clone = rs->Clone();
  EXPECT_TRUE(clone->LastModified().IsNull());
  // Edit without a current record is 3021 and leaves EditMode alone.
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kNoCurrentRecord);
  EXPECT_EQ(rs->EditMode(), dbEditNone);
}

TEST_P(EveryScrollableType, RulesAfterDelete) {
  CreateBirthdays(5);
  auto rs = Open();
  if (GetParam() == dbOpenSnapshot) {
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), err::kReadOnly);
    return;
  }
  auto clone = rs->Clone();
  rs->Move(2);
  const Variant mark = rs->Bookmark();
  clone->SetBookmark(mark);
  rs->Edit();
  rs->Delete();  // cancels the edit
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(clone->RecordCount(), 4);  // the clone shares the keyset
  EXPECT_EQ(ErrorOf([&] { rs->Fields()->Item("Personalnr")->Value(); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { clone->Fields()->Item("Personalnr")->Value(); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { rs->Move(0); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(mark); }), err::kRecordDeleted);
  // Moves from the deleted record reach its neighbours; Move(n) counts as if it stood between them.
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 1003);
  clone->MovePrevious();
  EXPECT_EQ(Nr(clone), 1001);
  clone->SetBookmark(rs->Bookmark());
  rs->MoveFirst();
  rs->Move(2);  // 1000, 1001, (1002 deleted), 1003
  EXPECT_EQ(Nr(rs), 1003);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  rs->Move(-1, mark);
  EXPECT_EQ(Nr(rs), 1001);
  rs->Move(2, mark);
  EXPECT_EQ(Nr(rs), 1004);
  // Deleting the last records one by one empties the set: BOF and EOF, RecordCount 0.
  rs->MoveFirst();
  while (!rs->Eof()) {
    rs->Delete();
    rs->MoveNext();
  }
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), err::kNoCurrentRecord);
  EXPECT_EQ(db_->TableDefs()->Item("Geburtstag")->RecordCount(), 0);
}

TEST_P(EveryScrollableType, RequeryRebuildsAndStandsOnTheFirstRecord) {
  CreateBirthdays(4);
  auto rs = Open();
  rs->MoveLast();
  db_->Execute("INSERT INTO Geburtstag (Personalnr) VALUES (999)");
  db_->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1001");
  if (GetParam() == dbOpenDynaset) {
    // The keyset does not see the insert and answers 3167 for the deleted record.
    EXPECT_EQ(rs->RecordCount(), 4);
    rs->MoveFirst();
    rs->MoveNext();
    EXPECT_EQ(ErrorOf([&] { Nr(rs); }), err::kRecordDeleted);
  } else if (GetParam() == dbOpenTable) {
    // The table is live: the new record stands first in the index, the deleted one is gone.
    EXPECT_EQ(rs->RecordCount(), 4);
    rs->MoveFirst();
    EXPECT_EQ(Nr(rs), 999);
    rs->MoveNext();
    rs->MoveNext();
    EXPECT_EQ(Nr(rs), 1002);
  }
  if (rs->Updatable()) {
    rs->MoveFirst();
    rs->Edit();
  }
  rs->Requery();
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(rs->AbsolutePosition(), 0);
  EXPECT_EQ(Nr(rs), 999);
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 1000);
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 1002);
  db_->Execute("DELETE FROM Geburtstag");
  rs->Requery();
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_P(EveryScrollableType, GetRowsReturnsFieldArraysAndMovesPastThem) {
  CreateBirthdays(5);
  auto rs = Open();
  rs->Move(1);
  const Variant rows = rs->GetRows(Variant(3));
  ASSERT_TRUE(rows.IsArray());
  ASSERT_EQ(rows.ArrayItems().size(), 5u);  // one array per field
  const Variant& nr = rows.ArrayItem(rs->Fields()->Item("Personalnr")->OrdinalPosition());
  ASSERT_EQ(nr.ArrayItems().size(), 3u);
  EXPECT_EQ(nr.ArrayItem(0).ToInt32(), 1001);
  EXPECT_EQ(nr.ArrayItem(2).ToInt32(), 1003);
  EXPECT_EQ(rows.ArrayItem(1).ArrayItem(0).ToString(), "Mitarbeiter 1");
  EXPECT_EQ(Nr(rs), 1004);
  // Asking for more than there is answers what there is and stands at EOF.
  const Variant rest = rs->GetRows(Variant(100));
  EXPECT_EQ(rest.ArrayItem(0).ArrayItems().size(), 1u);
  EXPECT_TRUE(rs->Eof());
  // An omitted count is one record.
  rs->MoveFirst();
  EXPECT_EQ(rs->GetRows().ArrayItem(0).ArrayItems().size(), 1u);
  EXPECT_EQ(Nr(rs), 1001);
}

TEST_F(EngineTest, ForwardOnlyStreamsForwardAndRefusesTheRest) {
  CreateBirthdays(6);
  auto rs = db_->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr", Variant(dbOpenForwardOnly));
  EXPECT_EQ(rs->Type(), dbOpenForwardOnly);
  EXPECT_FALSE(rs->Updatable());
  EXPECT_FALSE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(Nr(rs), 1000);
  rs->Move(2);
  EXPECT_EQ(Nr(rs), 1002);
  rs->Move(0);  // re-reads
  EXPECT_EQ(Nr(rs), 1002);
  EXPECT_EQ(ErrorOf([&] { rs->Move(-1); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { rs->Bookmark(); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { rs->AbsolutePosition(); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { rs->Clone(); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { rs->FindFirst("Personalnr = 1004"); }), err::kNotSupported);
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), err::kReadOnly);
  EXPECT_EQ(Nr(rs), 1002);  // refused calls leave the position
  const Variant rows = rs->GetRows(Variant(2));
  EXPECT_EQ(rows.ArrayItem(4).ArrayItem(1).ToInt32(), 1003);
  EXPECT_EQ(Nr(rs), 1004);
  rs->MoveLast();
  EXPECT_EQ(Nr(rs), 1005);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kNoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { Nr(rs); }), err::kNoCurrentRecord);
  // Requery starts the stream again and sees what changed meanwhile.
  db_->Execute("DELETE FROM Geburtstag WHERE Personalnr < 1003");
  rs->Requery();
  EXPECT_EQ(Nr(rs), 1003);
  int n = 0;
  for (; !rs->Eof(); rs->MoveNext()) ++n;
  EXPECT_EQ(n, 3);
  rs->Close();
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kObjectInvalid);
  // A forward-only set can be opened while another recordset writes to the same table.
  auto writer = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  auto reader = db_->OpenRecordset("Geburtstag", Variant(dbOpenForwardOnly));
  writer->Edit();
  writer->Fields()->Item("Telefon")->SetValue(Variant("x"));
  writer->Update();
  n = 0;
  for (; !reader->Eof(); reader->MoveNext()) ++n;
  EXPECT_EQ(n, 3);
  // The dbForwardOnly option opens a forward-only set too.
  auto opt = db_->OpenRecordset("Geburtstag", Variant(dbOpenSnapshot), Variant(dbForwardOnly));
  EXPECT_EQ(ErrorOf([&] { opt->MovePrevious(); }), err::kNotSupported);
}

TEST_F(EngineTest, ForwardOnlyOnAnEmptySetAndADatabaseClosedUnderIt) {
  CreateBirthdays(3);
  auto empty = db_->OpenRecordset("SELECT * FROM Geburtstag WHERE Personalnr < 0", Variant(dbOpenForwardOnly));
  EXPECT_TRUE(empty->Bof());
  EXPECT_TRUE(empty->Eof());
  EXPECT_EQ(ErrorOf([&] { empty->MoveNext(); }), err::kNoCurrentRecord);
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenForwardOnly));
  rs->MoveNext();
  db_->Close();  // closes the recordset with it; its stream must not outlive the connection
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kObjectInvalid);
  rs.reset();
}

TEST_F(EngineTest, TransactionsAndTheRecordsARecordsetShows) {
  CreateBirthdays(5);
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  rs->Move(1);
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "0711-1");
  // A rolled-back edit is not shown afterwards, even for the record read inside the transaction.
  ws_->BeginTrans();
  rs->Edit();
  rs->Fields()->Item("Telefon")->SetValue(Variant("zurück"));
  rs->Update();
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "zurück");
  rs->MoveNext();
  rs->MovePrevious();
  ws_->Rollback();
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "0711-1");
  rs->MoveNext();
  rs->MovePrevious();
  EXPECT_EQ(rs->Fields()->Item("Telefon")->Value().ToString(), "0711-1");
  // A record added in a rolled-back transaction is gone: its entry answers 3167.
  ws_->BeginTrans();
  rs->AddNew();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(4711));
  rs->Update();
  const Variant added = rs->LastModified();
  ws_->Rollback();
  EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(added); Nr(rs); }), err::kRecordDeleted);
  EXPECT_EQ(db_->TableDefs()->Item("Geburtstag")->RecordCount(), 5);
  // Committed work stays.
  ws_->BeginTrans();
  rs->MoveFirst();
  rs->Delete();
  ws_->CommitTrans();
  EXPECT_EQ(db_->TableDefs()->Item("Geburtstag")->RecordCount(), 4);
  EXPECT_EQ(ErrorOf([&] { ws_->CommitTrans(); }), err::kTransactionState);
}

TEST_F(EngineTest, ChangesThroughAnotherConnectionAreSeenOnReading) {
  CreateBirthdays(5);
  auto other = ws_->OpenDatabase(Path("geb.db"));
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  auto snap = db_->OpenRecordset("Geburtstag", Variant(dbOpenSnapshot));
  EXPECT_EQ(Nr(rs), 1000);
  rs->MoveNext();  // a walk reads ahead
  other->Execute("UPDATE Geburtstag SET Personalnr = 2002 WHERE Personalnr = 1002");
  other->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1003");
  // Move(0) re-reads; the engine's read-ahead is dropped by Idle(dbRefreshCache).
  engine_->Idle(Variant(dbRefreshCache));
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 2002);
  rs->MoveNext();
  EXPECT_EQ(ErrorOf([&] { Nr(rs); }), err::kRecordDeleted);
  rs->MoveFirst();
  other->Execute("UPDATE Geburtstag SET Personalnr = 3000 WHERE Personalnr = 1000");
  rs->Move(0);
  EXPECT_EQ(Nr(rs), 3000);
  // A snapshot keeps what it read.
  snap->Move(2);
  EXPECT_EQ(Nr(snap), 1002);
  snap->MoveNext();
  EXPECT_EQ(Nr(snap), 1003);
  // An edit of a record that another deleted meanwhile fails at Update with 3167, not silently.
  rs->MoveLast();
  rs->Edit();
  other->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1004");
  rs->Fields()->Item("Telefon")->SetValue(Variant("weg"));
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), err::kRecordDeleted);
  other->Close();
}

TEST_F(EngineTest, FilterSortAndCloneOnSnapshotsAndNarrowedSets) {
  CreateBirthdays(10);
  auto snap = db_->OpenRecordset("SELECT * FROM Geburtstag WHERE Personalnr >= 1002", Variant(dbOpenSnapshot));
  snap->SetFilter("Personalnr < 1006 OR Mitarbeiter LIKE '*9'");
  snap->SetSort("Geburtsdatum DESC");
  auto narrowed = snap->OpenRecordset();
  EXPECT_EQ(narrowed->Type(), dbOpenSnapshot);  // a snapshot's child is a snapshot
  EXPECT_FALSE(narrowed->Updatable());
  std::string order;
  for (; !narrowed->Eof(); narrowed->MoveNext()) order += std::to_string(Nr(narrowed) - 1000) + " ";
  EXPECT_EQ(order, "9 5 4 3 2 ");  // the source's WHERE and the filter both hold
  // A narrowed set of a narrowed set keeps both filters; a forward-only child streams them.
  narrowed->SetFilter("Personalnr <> 1004");
  auto twice = narrowed->OpenRecordset(Variant(dbOpenForwardOnly));
  order.clear();
  for (; !twice->Eof(); twice->MoveNext()) order += std::to_string(Nr(twice) - 1000) + " ";
  EXPECT_EQ(order, "9 5 3 2 ");
  // Clones of a snapshot share its rows and bookmarks, each with its own position.
  auto clone = snap->Clone();
  EXPECT_EQ(clone->RecordCount(), 8);
  clone->MoveLast();
  snap->SetBookmark(clone->Bookmark());
  EXPECT_EQ(Nr(snap), 1009);
  auto clone2 = clone->Clone();
  clone2->MoveFirst();
  EXPECT_EQ(Nr(clone2), 1002);
  EXPECT_EQ(Nr(clone), 1009);
  // After Requery the original has a new keyset; its old bookmarks stay good on the clones.
  const Variant mark = snap->Bookmark();
  snap->Requery();
  clone->SetBookmark(mark);
  EXPECT_EQ(Nr(clone), 1009);
  // Filter and Sort do not apply to table-type recordsets; Sort text is checked when set.
  auto table = db_->OpenRecordset("Geburtstag", Variant(dbOpenTable));
  EXPECT_EQ(ErrorOf([&] { table->SetFilter("Personalnr > 1"); }), err::kNotSupported);
  auto dyn = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  EXPECT_NE(ErrorOf([&] { dyn->SetSort("Personalnr DESC,"); }), 0);
  dyn->SetSort("Unbekannt");
  EXPECT_EQ(ErrorOf([&] { dyn->OpenRecordset(); }), err::kUnknownName);
}

}  // namespace
}  // namespace engine_test
