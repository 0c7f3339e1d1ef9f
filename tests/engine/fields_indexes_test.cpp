// Field and index definitions at work: Seek on multi-field and descending indexes, memo and
// long binary values in chunks, changing a stored field's definition, the constraints that
// fields and indexes impose (and keep after a reopen), and compacting a database.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/engine/engine_test_support.h"

namespace engine_test {
namespace {

using namespace dao;

std::string Key(const std::shared_ptr<Recordset>& rs) {
  const Variant c = rs->Fields()->Item("C")->Value();
  return std::to_string(rs->Fields()->Item("A")->Value().ToInt32()) + rs->Fields()->Item("B")->Value().ToString() +
         (c.IsNull() ? "-" : std::to_string(c.ToInt32()));
}

class SeekTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db_ = ws_->CreateDatabase(Path("seek.db"));
    db_->Execute("CREATE TABLE T (A LONG, B TEXT(10), C LONG)");
    db_->Execute("CREATE INDEX AB ON T (A, B DESC)");
    db_->Execute("CREATE INDEX CDesc ON T (C DESC)");
    for (const char* values : {"1, 'a', 5", "1, 'b', 3", "1, 'c', 9", "2, 'a', 1", "2, 'b', 7", "3, 'x', NULL"})
      db_->Execute(std::string("INSERT INTO T (A, B, C) VALUES (") + values + ")");
    rs_ = db_->OpenRecordset("T", Variant(dbOpenTable));
  }
  std::string Seek(const char* op, std::vector<Variant> keys) {
    rs_->Seek(op, keys);
    return rs_->NoMatch() ? "no match" : Key(rs_);
  }
  std::shared_ptr<Recordset> rs_;
};

TEST_F(SeekTest, MultiFieldIndexInIndexOrder) {
  rs_->SetIndex("AB");
  std::string order;
  for (rs_->MoveFirst(); !rs_->Eof(); rs_->MoveNext()) order += Key(rs_) + " ";
  EXPECT_EQ(order, "1c9 1b3 1a5 2b7 2a1 3x- ");
  // Full keys.
  EXPECT_EQ(Seek("=", {Variant(1), Variant("B")}), "1b3");  // text without regard to case
  EXPECT_EQ(Seek(">", {Variant(1), Variant("b")}), "1a5");  // B descends: "a" follows "b"
  EXPECT_EQ(Seek(">=", {Variant(1), Variant("b")}), "1b3");
  EXPECT_EQ(Seek("<", {Variant(1), Variant("b")}), "1c9");
  EXPECT_EQ(Seek("<=", {Variant(2), Variant("a")}), "2a1");
  EXPECT_EQ(Seek("=", {Variant(1), Variant("z")}), "no match");
  EXPECT_EQ(Key(rs_), "2a1");  // a failed Seek keeps the position
  EXPECT_EQ(Seek(">", {Variant(1), Variant("a")}), "2b7");  // across the first field
  EXPECT_EQ(Seek("<", {Variant(2), Variant("b")}), "1a5");
  // Fewer keys than fields compare the leading fields only.
  EXPECT_EQ(Seek("=", {Variant(2)}), "2b7");
  EXPECT_EQ(Seek(">", {Variant(1)}), "2b7");
  EXPECT_EQ(Seek(">=", {Variant(2)}), "2b7");
  EXPECT_EQ(Seek("<", {Variant(2)}), "1a5");
  EXPECT_EQ(Seek("<=", {Variant(1)}), "1a5");
  EXPECT_EQ(Seek(">", {Variant(3)}), "no match");
  // Keys are converted to the field types.
  EXPECT_EQ(Seek("=", {Variant("2"), Variant("a")}), "2a1");
  EXPECT_EQ(ErrorOf([&] { rs_->Seek("=", {Variant("zwei")}); }), err::kTypeConversion);
  EXPECT_EQ(ErrorOf([&] { rs_->Seek("=", {Variant(1), Variant("a"), Variant(5)}); }), err::kInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { rs_->Seek("<>", {Variant(1)}); }), err::kInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { rs_->Seek("=", {}); }), err::kInvalidArgument);
}

TEST_F(SeekTest, DescendingIndexAndNulls) {
  rs_->SetIndex("CDesc");
  std::string order;
  for (rs_->MoveFirst(); !rs_->Eof(); rs_->MoveNext()) order += Key(rs_) + " ";
  EXPECT_EQ(order, "1c9 2b7 1a5 1b3 2a1 3x- ");
  EXPECT_EQ(Seek("=", {Variant(7)}), "2b7");
  // The comparisons follow the index order: "greater" is later in it.
  EXPECT_EQ(Seek(">", {Variant(7)}), "1a5");
  EXPECT_EQ(Seek(">=", {Variant(6)}), "1a5");
  EXPECT_EQ(Seek("<", {Variant(5)}), "2b7");
  EXPECT_EQ(Seek("<=", {Variant(9)}), "1c9");
  EXPECT_EQ(Seek("<", {Variant(9)}), "no match");
  // Seek finds records added after opening, and not deleted ones.
  rs_->AddNew();
  rs_->Fields()->Item("A")->SetValue(Variant(4));
  rs_->Fields()->Item("B")->SetValue(Variant("n"));
  rs_->Fields()->Item("C")->SetValue(Variant(8));
  rs_->Update();
  EXPECT_EQ(Seek("=", {Variant(8)}), "4n8");
  rs_->Delete();
  EXPECT_EQ(Seek("=", {Variant(8)}), "no match");
  // Seek is for table-type recordsets with an index.
  rs_->SetIndex("");
  EXPECT_EQ(ErrorOf([&] { rs_->Seek("=", {Variant(7)}); }), err::kNoIndex);
  EXPECT_NE(ErrorOf([&] { rs_->SetIndex("Nix"); }), 0);
  auto dyn = db_->OpenRecordset("T", Variant(dbOpenDynaset));
  EXPECT_EQ(ErrorOf([&] { dyn->Seek("=", {Variant(7)}); }), err::kNotSupported);
}

TEST_F(EngineTest, MemoAndLongBinaryInChunks) {
  db_ = ws_->CreateDatabase(Path("chunks.db"));
  db_->Execute("CREATE TABLE T (ID COUNTER, M MEMO, B LONGBINARY, S TEXT(20))");
  auto rs = db_->OpenRecordset("T", Variant(dbOpenDynaset));
  auto m = rs->Fields()->Item("M");
  auto b = rs->Fields()->Item("B");
  EXPECT_EQ(ErrorOf([&] { m->AppendChunk(Variant("x")); }), err::kUpdateWithoutEdit);
  rs->AddNew();
  m->AppendChunk(Variant("Grüße "));
  m->AppendChunk(Variant("aus Köln"));
  b->AppendChunk(Variant(std::vector<uint8_t>{1, 2, 3}));
  b->AppendChunk(Variant(std::vector<uint8_t>{0, 255}));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(m->Value().ToString(), "Grüße aus Köln");
  // Memo sizes and offsets count characters, so a chunk never splits one.
  EXPECT_EQ(m->FieldSize(), 14);
  EXPECT_EQ(m->GetChunk(0, 5).ToString(), "Grüße");
  EXPECT_EQ(m->GetChunk(10, 100).ToString(), "Köln");
  EXPECT_EQ(m->GetChunk(3, 1).ToString(), "ß");
  EXPECT_EQ(m->GetChunk(14, 5).ToString(), "");
  EXPECT_EQ(m->GetChunk(40, 5).ToString(), "");
  EXPECT_EQ(ErrorOf([&] { m->GetChunk(-1, 5); }), err::kInvalidArgument);
  // Long binary sizes and offsets count bytes.
  EXPECT_EQ(b->FieldSize(), 5);
  EXPECT_EQ(b->GetChunk(1, 3).ToBytes(), (std::vector<uint8_t>{2, 3, 0}));
  EXPECT_EQ(b->GetChunk(4, 10).ToBytes(), (std::vector<uint8_t>{255}));
  EXPECT_TRUE(b->GetChunk(5, 1).ToBytes().empty());
  // AppendChunk during Edit adds to the stored value; GetChunk reads the edit buffer.
  rs->Edit();
  m->AppendChunk(Variant("!"));
  EXPECT_EQ(m->FieldSize(), 15);
  EXPECT_EQ(m->GetChunk(14, 1).ToString(), "!");
  rs->Update();
  EXPECT_EQ(m->Value().ToString(), "Grüße aus Köln!");
  // A large value in many chunks comes back whole.
  rs->AddNew();
  std::string big;
  for (int k = 0; k < 64; ++k) {
    const std::string chunk(1024, static_cast<char>('a' + k % 26));
    b->AppendChunk(Variant(std::vector<uint8_t>(chunk.begin(), chunk.end())));
    big += chunk;
  }
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(b->FieldSize(), 65536);
  const auto bytes = b->Value().ToBytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), big);
  // Null values have size 0 and a Null chunk.
  rs->AddNew();
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(m->FieldSize(), 0);
  EXPECT_TRUE(m->GetChunk(0, 10).IsNull());
  EXPECT_EQ(b->FieldSize(), 0);
  // The definitions of a table do not carry values.
  auto def = db_->TableDefs()->Item("T")->Fields()->Item("M");
  EXPECT_NE(ErrorOf([&] { def->FieldSize(); }), 0);
  EXPECT_NE(ErrorOf([&] { def->AppendChunk(Variant("x")); }), 0);
}

TEST_F(EngineTest, ChangingAStoredFieldDefinition) {
  CreateBirthdays(3);
  auto def = db_->TableDefs()->Item("Geburtstag");
  // Appending a field to a stored table keeps the records; the new field is Null in them.
  auto f = def->CreateField(Variant("Abteilung"), Variant(dbText), Variant(30));
  f->SetDefaultValue("\"Lager\"");
  def->Fields()->Append(f);
  EXPECT_EQ(def->Fields()->Count(), 6);
  auto rs = db_->OpenRecordset("SELECT * FROM Geburtstag ORDER BY Personalnr", Variant(dbOpenDynaset));
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_TRUE(rs->Fields()->Item("Abteilung")->Value().IsNull());
  rs->AddNew();
  EXPECT_EQ(rs->Fields()->Item("Abteilung")->Value().ToString(), "Lager");  // the default shows at once
  rs->Update();
  rs->Close();
  // The appended field object now reads and changes the stored definition.
  EXPECT_TRUE(f->Attributes() & dbUpdatableField);
  f->SetName("Bereich");
  EXPECT_EQ(def->Fields()->Item("Bereich")->Size(), 30);
  EXPECT_EQ(ErrorOf([&] { def->Fields()->Item("Abteilung"); }), err::kNotInCollection);
  // Renaming an indexed field keeps the index on it and the data in it.
  auto nr = def->Fields()->Item("Personalnr");
  nr->SetName("PNr");
  EXPECT_EQ(def->Indexes()->Item("Personalnr")->Fields()->Item(0)->Name(), "PNr");
  rs = db_->OpenRecordset("SELECT PNr, Bereich FROM Geburtstag ORDER BY ID", Variant(dbOpenSnapshot));
  EXPECT_EQ(rs->Fields()->Item("PNr")->Value().ToInt32(), 1000);
  rs->MoveLast();
  EXPECT_EQ(rs->Fields()->Item("Bereich")->Value().ToString(), "Lager");
  rs->Close();
  // Required cannot be set while records hold Null there; the definition stays as it was.
  auto tel = def->Fields()->Item("Telefon");
  db_->Execute("UPDATE Geburtstag SET Telefon = Null WHERE PNr = 1001");
  EXPECT_EQ(ErrorOf([&] { tel->SetRequired(true); }), err::kRequired);
  EXPECT_FALSE(tel->Required());
  db_->Execute("UPDATE Geburtstag SET Telefon = '-' WHERE Telefon IS NULL");
  tel->SetRequired(true);
  EXPECT_TRUE(tel->Required());
  // A stored field's type and size are fixed: changing them would reinterpret stored values.
  EXPECT_EQ(ErrorOf([&] { tel->SetType(dbLong); }), err::kInvalidOperation);
  EXPECT_EQ(ErrorOf([&] { tel->SetSize(10); }), err::kInvalidOperation);
  EXPECT_EQ(tel->Type(), dbText);
  EXPECT_EQ(tel->Size(), 255);
  // The changes survive close and reopen.
  db_->Close();
  db_ = ws_->OpenDatabase(Path("geb.db"));
  auto fields = db_->TableDefs()->Item("Geburtstag")->Fields();
  EXPECT_TRUE(fields->Item("Telefon")->Required());
  EXPECT_EQ(fields->Item("Bereich")->DefaultValue(), "\"Lager\"");
  EXPECT_EQ(fields->Item("PNr")->OrdinalPosition(), 4);
  // Deleting a field that an index uses is refused; other fields go.
  EXPECT_EQ(ErrorOf([&] { fields->Delete("PNr"); }), err::kInvalidOperation);
  fields->Delete("Bereich");
  EXPECT_EQ(db_->TableDefs()->Item("Geburtstag")->Fields()->Count(), 5);
  EXPECT_EQ(db_->TableDefs()->Item("Geburtstag")->RecordCount(), 4);
}

TEST_F(EngineTest, FieldAndIndexConstraintsAreEnforcedAfterReopen) {
  db_ = ws_->CreateDatabase(Path("rules.db"));
  auto t = db_->CreateTableDef(Variant("Artikel"));
  auto code = t->CreateField(Variant("Code"), Variant(dbText), Variant(10));
  auto name = t->CreateField(Variant("Name"), Variant(dbText), Variant(40));
  name->SetRequired(true);
  auto note = t->CreateField(Variant("Notiz"), Variant(dbMemo));
  note->SetAllowZeroLength(true);
  auto group = t->CreateField(Variant("Gruppe"), Variant(dbLong));
  auto shelf = t->CreateField(Variant("Fach"), Variant(dbText), Variant(5));
  shelf->SetAllowZeroLength(true);
  for (auto& f : {code, name, note, group, shelf}) t->Fields()->Append(f);
  auto pk = t->CreateIndex(Variant("PrimaryKey"));
  pk->SetPrimary(true);
  pk->Fields()->Append(pk->CreateField(Variant("Code")));
  t->Indexes()->Append(pk);
  auto by_group = t->CreateIndex(Variant("GruppeFach"));
  by_group->SetRequired(true);
  by_group->Fields()->Append(by_group->CreateField(Variant("Gruppe")));
  by_group->Fields()->Append(by_group->CreateField(Variant("Fach")));
  t->Indexes()->Append(by_group);
  db_->TableDefs()->Append(t);
  db_->Close();
  db_ = ws_->OpenDatabase(Path("rules.db"));
  auto def = db_->TableDefs()->Item("Artikel");
  EXPECT_TRUE(def->Indexes()->Item("PrimaryKey")->Required());
  EXPECT_TRUE(def->Indexes()->Item("GruppeFach")->Required());
  EXPECT_FALSE(def->Fields()->Item("Code")->AllowZeroLength());  // DAO's default for a new field
  EXPECT_TRUE(def->Fields()->Item("Notiz")->AllowZeroLength());

  auto rs = db_->OpenRecordset("Artikel", Variant(dbOpenDynaset));
  auto add = [&](Variant c, Variant n, Variant g, Variant f, Variant memo = Variant()) {
    return ErrorOf([&] {
      rs->AddNew();
      try {
        if (!c.IsEmpty()) rs->Fields()->Item("Code")->SetValue(c);
        if (!n.IsEmpty()) rs->Fields()->Item("Name")->SetValue(n);
        if (!g.IsEmpty()) rs->Fields()->Item("Gruppe")->SetValue(g);
        if (!f.IsEmpty()) rs->Fields()->Item("Fach")->SetValue(f);
        if (!memo.IsEmpty()) rs->Fields()->Item("Notiz")->SetValue(memo);
        rs->Update();
      } catch (...) {
        rs->CancelUpdate();
        throw;
      }
    });
  };
  EXPECT_EQ(add(Variant("A1"), Variant("Schraube"), Variant(1), Variant("")), 0);
  EXPECT_EQ(add(Variant("A2"), Variant("Mutter"), Variant(1), Variant("F1"), Variant("")), 0);
  // The primary key takes no Null and no duplicate.
  EXPECT_EQ(add(Variant(), Variant("Ohne Code"), Variant(1), Variant("F2")), err::kIndexNullKey);
  EXPECT_EQ(add(Variant("a1"), Variant("Doppelt"), Variant(1), Variant("F3")), err::kDuplicateKey);
  // A required field takes no Null.
  EXPECT_EQ(add(Variant("A3"), Variant(), Variant(1), Variant("F4")), err::kRequired);
  // A required index takes no Null in any of its fields.
  EXPECT_EQ(add(Variant("A4"), Variant("Ohne Gruppe"), Variant(), Variant("F5")), err::kIndexNullKey);
  EXPECT_EQ(add(Variant("A5"), Variant("Ohne Fach"), Variant(2), Variant::Null()), err::kIndexNullKey);
  // A zero-length text is refused where AllowZeroLength is False, taken where it is True.
  EXPECT_EQ(add(Variant(""), Variant("Leer"), Variant(3), Variant("F6")), err::kZeroLength);
  EXPECT_EQ(add(Variant("A6"), Variant(""), Variant(3), Variant("F7")), err::kZeroLength);
  EXPECT_EQ(rs->RecordCount(), 2);
  // Action queries meet the same rules, with the same errors.
  EXPECT_EQ(ErrorOf([&] { db_->Execute("UPDATE Artikel SET Name = '' WHERE Code = 'A1'"); }), err::kZeroLength);
  EXPECT_EQ(ErrorOf([&] { db_->Execute("UPDATE Artikel SET Gruppe = Null"); }), err::kIndexNullKey);
  EXPECT_EQ(ErrorOf([&] { db_->Execute("INSERT INTO Artikel (Name, Gruppe, Fach) VALUES ('x', 1, 'y')"); }),
            err::kIndexNullKey);
  // Edits too; the message names the field or index concerned.
  rs->MoveFirst();
  rs->Edit();
  rs->Fields()->Item("Code")->SetValue(Variant::Null());
  try {
    rs->Update();
    ADD_FAILURE() << "Update took a Null primary key";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), err::kIndexNullKey);
    EXPECT_NE(e.Message().find("PrimaryKey"), std::string::npos) << e.Message();
  }
  rs->CancelUpdate();
  rs->Edit();
  rs->Fields()->Item("Code")->SetValue(Variant(""));
  try {
    rs->Update();
    ADD_FAILURE() << "Update took a zero-length Code";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), err::kZeroLength);
    EXPECT_NE(e.Message().find("Code"), std::string::npos) << e.Message();
  }
  rs->CancelUpdate();
  // A required index cannot be made over records that already hold Null.
  db_->Execute("CREATE TABLE Lose (X LONG, Y LONG)");
  db_->Execute("INSERT INTO Lose (X) VALUES (1)");
  EXPECT_EQ(ErrorOf([&] { db_->Execute("CREATE INDEX XY ON Lose (X, Y) WITH DISALLOW NULL"); }), err::kIndexNullKey);
  EXPECT_EQ(db_->TableDefs()->Item("Lose")->Indexes()->Count(), 0);
  EXPECT_EQ(ErrorOf([&] { db_->Execute("CREATE INDEX PK ON Lose (Y) WITH PRIMARY"); }), err::kIndexNullKey);
  db_->Execute("CREATE INDEX X ON Lose (X) WITH DISALLOW NULL");
  EXPECT_EQ(ErrorOf([&] { db_->Execute("INSERT INTO Lose (Y) VALUES (5)"); }), err::kIndexNullKey);
  // Deleting the index lifts its rule.
  db_->TableDefs()->Item("Lose")->Indexes()->Delete("X");
  db_->Execute("INSERT INTO Lose (Y) VALUES (5)");
  EXPECT_EQ(db_->TableDefs()->Item("Lose")->RecordCount(), 2);
}

TEST_F(EngineTest, IgnoreNullsLeavesNullKeysOutOfTheIndexOrder) {
  db_ = ws_->CreateDatabase(Path("nulls.db"));
  db_->Execute("CREATE TABLE T (N LONG, S TEXT(5))");
  db_->Execute("CREATE INDEX N ON T (N) WITH IGNORE NULL");
  db_->Execute("CREATE INDEX S ON T (S)");
  db_->Execute("INSERT INTO T (N, S) VALUES (2, 'b')");
  db_->Execute("INSERT INTO T (S) VALUES ('n')");
  db_->Execute("INSERT INTO T (N, S) VALUES (1, 'a')");
  db_->Close();
  db_ = ws_->OpenDatabase(Path("nulls.db"));
  EXPECT_TRUE(db_->TableDefs()->Item("T")->Indexes()->Item("N")->IgnoreNulls());
  auto rs = db_->OpenRecordset("T", Variant(dbOpenTable));
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->SetIndex("N");
  EXPECT_EQ(rs->RecordCount(), 2);
  std::string order;
  for (; !rs->Eof(); rs->MoveNext()) order += rs->Fields()->Item("S")->Value().ToString();
  EXPECT_EQ(order, "ab");
  // An index without IgnoreNulls keeps Null keys, first in its order.
  db_->Execute("UPDATE T SET S = Null WHERE N = 2");
  rs->SetIndex("S");
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Fields()->Item("N")->Value().ToInt32(), 2);
}

TEST_F(EngineTest, CompactDatabaseCopiesIntoANewFile) {
  CreateBirthdays(50);
  db_->Execute("DELETE FROM Geburtstag WHERE Personalnr >= 1010");
  auto q = db_->CreateQueryDef(Variant("Alle"), Variant("SELECT * FROM Geburtstag"));
  db_->Close();
  engine_->CompactDatabase(Path("geb.db"), Path("compact.db"));
  auto copy = ws_->OpenDatabase(Path("compact.db"));
  EXPECT_EQ(copy->TableDefs()->Item("Geburtstag")->RecordCount(), 10);
  EXPECT_TRUE(copy->TableDefs()->Item("Geburtstag")->Fields()->Item("ID")->Attributes() & dbAutoIncrField);
  EXPECT_EQ(copy->TableDefs()->Item("Geburtstag")->Indexes()->Count(), 2);
  EXPECT_EQ(copy->QueryDefs()->Item("Alle")->OpenRecordset()->RecordCount(), 10);
  // The copy is a working database: it takes writes, and counters go on.
  auto rs = copy->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  rs->AddNew();
  rs->Fields()->Item("Personalnr")->SetValue(Variant(7));
  rs->Update();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Fields()->Item("ID")->Value().ToInt32(), 51);
  rs->Close();
  copy->Close();
  // An existing destination is not overwritten; a missing source is 3024.
  EXPECT_EQ(ErrorOf([&] { engine_->CompactDatabase(Path("geb.db"), Path("compact.db")); }), 3204);
  EXPECT_EQ(ErrorOf([&] { engine_->CompactDatabase(Path("nix.db"), Path("c2.db")); }), err::kFileNotFound);
  EXPECT_FALSE(std::filesystem::exists(Path("c2.db")));
}

}  // namespace
}  // namespace engine_test
