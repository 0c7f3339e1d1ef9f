// Table-type recordsets walk the live table in the order of their index: records added through
// them or by another connection take their place, deleted ones disappear, bookmarks name records
// across clones with other indexes. Also the DAO rules around deleting the last record, optimistic
// locking and the AutoNumber value of a new record, which every updatable recordset shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/keyset.h"
#include "engine/order_tree.h"
#include "tests/engine/engine_test_support.h"

namespace engine_test {
namespace {

using namespace dao;

int32_t Nr(const std::shared_ptr<Recordset>& rs) { return rs->Fields()->Item("Personalnr")->Value().ToInt32(); }

// The Personalnr values of a walk from the first record.
std::vector<int32_t> Walk(const std::shared_ptr<Recordset>& rs) {
  std::vector<int32_t> out;
  if (rs->RecordCount() == 0) return out;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) out.push_back(Nr(rs));
  return out;
}

void Add(const std::shared_ptr<Recordset>& rs, int32_t nr, const std::string& name = "neu") {
  rs->AddNew();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(nr));
  rs->Fields()->Item("Mitarbeiter")->SetValue(Variant(name));
  rs->Update();
}

class TableTypeTest : public EngineTest {
 protected:
  // Birthdays with Personalnr 1000, 1010, ... so that new numbers fit between them.
  void CreateSpaced(int n) {
    CreateBirthdays(n);
    db_->Execute("UPDATE Geburtstag SET Personalnr = 1000 + (Personalnr - 1000) * 10");
  }
  std::shared_ptr<Recordset> OpenTable(const std::string& index = "Personalnr") {
    auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenTable));
    if (!index.empty()) rs->SetIndex(index);
    return rs;
  }
  std::shared_ptr<Database> SecondConnection() { return ws_->OpenDatabase(Path("geb.db")); }
};

TEST_F(TableTypeTest, AddedRecordsTakeTheirPlaceInTheIndexOrder) {
  CreateSpaced(4);  // 1000 1010 1020 1030
  auto rs = OpenTable();
  rs->Move(1);
  Add(rs, 1015);
  // The record current before AddNew stays current; the new one is where the index puts it.
  EXPECT_EQ(Nr(rs), 1010);
  EXPECT_EQ(rs->RecordCount(), 5);
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 1015);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(Nr(rs), 1015);
  Add(rs, 999);
  Add(rs, 2000);
  EXPECT_EQ(Walk(rs), (std::vector<int32_t>{999, 1000, 1010, 1015, 1020, 1030, 2000}));
  // A changed key moves the record, and it stays current.
  rs->Seek("=", {Variant(1015)});
  ASSERT_FALSE(rs->NoMatch());
  rs->Edit();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(1500));
  rs->Update();
  EXPECT_EQ(Nr(rs), 1500);
  EXPECT_EQ(rs->AbsolutePosition(), 5);
  EXPECT_EQ(Walk(rs), (std::vector<int32_t>{999, 1000, 1010, 1020, 1030, 1500, 2000}));
}

TEST_F(TableTypeTest, ChangesOfOtherConnectionsAndStatementsAreSeenAtOnce) {
  CreateSpaced(4);
  auto rs = OpenTable();
  rs->Move(2);  // 1020
  auto other = SecondConnection();
  other->Execute("INSERT INTO Geburtstag (Personalnr, Mitarbeiter) VALUES (1005, 'fremd')");
  other->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1030");
  // The current record stays current and its position follows.
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(Nr(rs), 1020);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  // A snapshot of the same recordset counts the same records.
  auto snapshot = rs->OpenRecordset(Variant(dbOpenSnapshot));
  snapshot->MoveLast();
  EXPECT_EQ(snapshot->RecordCount(), rs->RecordCount());
  // Another connection changes a key: the record moves in this order too.
  other->Execute("UPDATE Geburtstag SET Personalnr = 1 WHERE Personalnr = 1020");
  EXPECT_EQ(Nr(rs), 1);
  EXPECT_EQ(rs->AbsolutePosition(), 0);
  // Statements of this connection and a dynaset beside the table are seen as well.
  db_->Execute("INSERT INTO Geburtstag (Personalnr) VALUES (1003)");
  auto dynaset = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  Add(dynaset, 1004);
  EXPECT_EQ(Walk(rs), (std::vector<int32_t>{1, 1000, 1003, 1004, 1005, 1010}));
  // Everything deleted by the other: the set is empty, the position is lost only on a move.
  rs->MoveFirst();
  other->Execute("DELETE FROM Geburtstag");
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(ErrorOf([&] { Nr(rs); }), err::kRecordDeleted);
  rs->MoveNext();
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
  // ... and an empty set that the other fills stands before its first record.
  other->Execute("INSERT INTO Geburtstag (Personalnr) VALUES (7)");
  EXPECT_TRUE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 7);
}

TEST_F(TableTypeTest, BookmarksNameRecordsAcrossClonesAndInserts) {
  CreateSpaced(5);
  auto rs = OpenTable();
  rs->Move(3);  // 1030
  const Variant mark = rs->Bookmark();
  // A clone walks the table without an index until one is set; its bookmarks are the original's.
  auto clone = rs->Clone();
  EXPECT_EQ(clone->Index(), "");
  clone->SetIndex("PrimaryKey");
  Add(rs, 1025);
  Add(clone, 1001);
  clone->MoveLast();
  EXPECT_EQ(Nr(clone), 1001);  // last by ID
  rs->SetBookmark(clone->Bookmark());
  EXPECT_EQ(Nr(rs), 1001);
  rs->SetBookmark(mark);
  EXPECT_EQ(Nr(rs), 1030);
  clone->SetBookmark(mark);
  EXPECT_EQ(Nr(clone), 1030);
  // Records added by another connection do not move bookmarks either.
  SecondConnection()->Execute("INSERT INTO Geburtstag (Personalnr) VALUES (1029)");
  rs->MoveFirst();
  rs->SetBookmark(mark);
  EXPECT_EQ(Nr(rs), 1030);
  rs->MovePrevious();
  EXPECT_EQ(Nr(rs), 1029);
  // A deleted record's bookmark answers 3167; one that names nothing 3159.
  rs->SetBookmark(mark);
  rs->Delete();
  EXPECT_EQ(ErrorOf([&] { clone->SetBookmark(mark); }), err::kRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(Variant(std::vector<uint8_t>{0xFF, 0xFF, 0, 0})); }), err::kInvalidBookmark);
}

TEST_F(TableTypeTest, IndexIgnoringNullsLeavesNullKeysOut) {
  CreateSpaced(3);
  db_->Execute("CREATE INDEX Telefonnummer ON Geburtstag (Telefon) WITH IGNORE NULL");
  auto rs = OpenTable("Telefonnummer");
  EXPECT_EQ(rs->RecordCount(), 3);
  Add(rs, 5000);  // no Telefon: not in this index
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->AddNew();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(5001));
  rs->Fields()->Item("Telefon")->SetValue(Variant("0000"));
  rs->Update();
  EXPECT_EQ(rs->RecordCount(), 4);
  rs->MoveFirst();
  EXPECT_EQ(Nr(rs), 5001);
}

TEST_F(TableTypeTest, DescendingAndMultiFieldIndexesPlaceNewRecords) {
  CreateSpaced(4);
  db_->Execute("CREATE INDEX NameNr ON Geburtstag (Mitarbeiter, Personalnr DESC)");
  auto rs = OpenTable("NameNr");
  Add(rs, 1, "Mitarbeiter 1");
  Add(rs, 99999, "Mitarbeiter 1");
  Add(rs, 5, "A");
  rs->AddNew();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(6));
  rs->Update();  // a Null name sorts first
  rs->AddNew();
  rs->Update();  // and a Null number last among the Null names
  EXPECT_EQ(rs->RecordCount(), 9);
  rs->MoveFirst();
  EXPECT_EQ(Nr(rs), 6);
  rs->MoveNext();
  EXPECT_TRUE(rs->Fields()->Item("Personalnr")->Value().IsNull());
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 5);
  rs->Seek("=", {Variant("Mitarbeiter 1")});
  EXPECT_EQ(Nr(rs), 99999);
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 1010);
  rs->MoveNext();
  EXPECT_EQ(Nr(rs), 1);
}

// Deleting the only remaining record leaves it current (BOF and EOF false) until a move.
TEST_F(TableTypeTest, DeletingTheOnlyRecordKeepsItCurrentUntilAMove) {
  for (int type : {dbOpenTable, dbOpenDynaset}) {
    CreateBirthdays(1);
    auto rs = db_->OpenRecordset("Geburtstag", Variant(type));
    rs->Delete();
    EXPECT_FALSE(rs->Bof()) << type;
    EXPECT_FALSE(rs->Eof()) << type;
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(ErrorOf([&] { Nr(rs); }), err::kRecordDeleted);
    rs->MoveNext();
    EXPECT_TRUE(rs->Bof()) << type;
    EXPECT_TRUE(rs->Eof()) << type;
    EXPECT_EQ(ErrorOf([&] { rs->MoveLast(); }), err::kNoCurrentRecord);
    rs.reset();
    db_->Close();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(Path(std::string("geb.db") + suffix));
  }
}

// Optimistic locking: an edit whose record changed since Edit read it writes nothing (3197).
TEST_F(TableTypeTest, AnUpdateOfARecordChangedMeanwhileIsRefused) {
  CreateBirthdays(3);
  auto other = SecondConnection();
  for (int type : {dbOpenTable, dbOpenDynaset}) {
    const std::string mine = "von B " + std::to_string(type);
    auto b = db_->OpenRecordset("Geburtstag", Variant(type));
    b->Edit();
    b->Fields()->Item("Telefon")->SetValue(Variant(mine));
    auto a = other->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
    a->Edit();
    a->Fields()->Item("Mitarbeiter")->SetValue(Variant("von A " + std::to_string(type)));
    a->Update();
    EXPECT_EQ(ErrorOf([&] { b->Update(); }), err::kWriteConflict) << type;
    EXPECT_EQ(b->EditMode(), dbEditInProgress);
    b->CancelUpdate();
    b->Move(0);
    EXPECT_EQ(b->Fields()->Item("Mitarbeiter")->Value().ToString(), "von A " + std::to_string(type));
    EXPECT_NE(b->Fields()->Item("Telefon")->Value().ToString(), mine);
    // Edited again from the current record, the change goes in.
    b->Edit();
    b->Fields()->Item("Telefon")->SetValue(Variant(mine));
    b->Update();
    EXPECT_EQ(b->Fields()->Item("Telefon")->Value().ToString(), mine);
  }
  // A change of case only is a change, and an Update without changed fields checks as well.
  auto b = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  b->Edit();
  other->Execute("UPDATE Geburtstag SET Telefon = 'VON B 2' WHERE Personalnr = 1000");
  EXPECT_EQ(ErrorOf([&] { b->Update(); }), err::kWriteConflict);
  b->CancelUpdate();
  // Two recordsets of one connection conflict just like two users.
  auto c = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  b->Edit();
  c->Edit();
  c->Fields()->Item("Telefon")->SetValue(Variant("von C"));
  c->Update();
  b->Fields()->Item("Telefon")->SetValue(Variant("von B"));
  EXPECT_EQ(ErrorOf([&] { b->Update(); }), err::kWriteConflict);
  // A record deleted meanwhile is 3167.
  b->CancelUpdate();
  b->Edit();
  other->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1000");
  EXPECT_EQ(ErrorOf([&] { b->Update(); }), err::kRecordDeleted);
}

TEST_F(TableTypeTest, TheAutoNumberOfANewRecordIsShownFromAddNew) {
  CreateBirthdays(3);
  db_->Execute("DELETE FROM Geburtstag WHERE ID = 3");  // numbers are not given again
  auto rs = db_->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  rs->AddNew();
  EXPECT_EQ(rs->Fields()->Item("ID")->Value().ToInt32(), 4);
  rs->Fields()->Item("Personalnr")->SetValue(Variant(77));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Fields()->Item("ID")->Value().ToInt32(), 4);
  // Another user took the number shown meanwhile: the record gets the next free one.
  rs->AddNew();
  EXPECT_EQ(rs->Fields()->Item("ID")->Value().ToInt32(), 5);
  SecondConnection()->Execute("INSERT INTO Geburtstag (Personalnr) VALUES (78)");
  rs->Fields()->Item("Personalnr")->SetValue(Variant(79));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(Nr(rs), 79);
  EXPECT_EQ(rs->Fields()->Item("ID")->Value().ToInt32(), 6);
}

// A keyset finds the entry of a row id by binary search while its row ids ascend, and through a
// map once an appended row id breaks the order.
TEST(KeysetTest, FindsEntriesInAscendingAndInMixedOrder) {
  engine::Keyset k({3, 7, 9});
  EXPECT_EQ(k.EntryOf(7), 1);
  EXPECT_EQ(k.EntryOf(8), -1);
  EXPECT_EQ(k.Append(12), 3);
  EXPECT_EQ(k.EntryOf(12), 3);
  EXPECT_EQ(k.Append(5), 4);  // no longer ascending
  EXPECT_EQ(k.EntryOf(5), 4);
  EXPECT_EQ(k.EntryOf(9), 2);
  EXPECT_EQ(k.EntryOf(4), -1);
  k.Kill(2);
  EXPECT_EQ(k.EntryOf(9), 2);  // a deleted record keeps its entry
  engine::Keyset unsorted({9, 3, 7});
  EXPECT_EQ(unsorted.EntryOf(3), 1);
  EXPECT_EQ(unsorted.EntryOf(7), 2);
}

// The order tree against a plain vector through random inserts, detaches, deaths and rebuilds.
TEST(OrderTreeTest, AgreesWithAPlainSequence) {
  engine::OrderTree tree;
  std::vector<int32_t> model;  // node ids in order
  std::mt19937 random(7);
  auto check = [&] {
    ASSERT_EQ(tree.Sequence(), model);
    std::vector<int32_t> live;
    for (const int32_t n : model)
      if (tree.IsLive(n)) live.push_back(n);
    ASSERT_EQ(tree.LiveCount(), static_cast<int32_t>(live.size()));
    int32_t before = 0;
    for (const int32_t n : model) {
      ASSERT_EQ(tree.Rank(n), before);
      if (tree.IsLive(n)) {
        ASSERT_EQ(tree.Select(before), n);
        ++before;
      }
    }
  };
  for (int step = 0; step < 3000; ++step) {
    const int what = static_cast<int>(random() % 10);
    if (what < 5 || model.empty()) {
      const int32_t node = tree.NewNode(step);
      const size_t at = random() % (model.size() + 1);
      tree.InsertBefore(node, at == model.size() ? -1 : model[at]);
      model.insert(model.begin() + static_cast<long>(at), node);
    } else if (what < 7) {
      const size_t at = random() % model.size();
      tree.Detach(model[at]);
      model.erase(model.begin() + static_cast<long>(at));
    } else if (what < 9) {
      const int32_t node = model[random() % model.size()];
      tree.SetLive(node, !tree.IsLive(node));
    } else if (step % 50 == 9) {
      std::shuffle(model.begin(), model.end(), random);
      tree.Build(model);
    }
    if (step % 97 == 0) check();
  }
  check();
}

}  // namespace
}  // namespace engine_test
