// A detail table following a master table on the real engine: by the detail's table name (the
// engine narrows with a WHERE), by a query or SQL text (a filtered base recordset), and by the
// parameters of SQL text; moving, editing, closing and disabling the master; new detail records
// taking the master's key.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dataset/data_source.h"
#include "dataset/params.h"
#include "framework/exception.h"
#include "tests/dao/table/table_test_support.h"
#include "tests/dataset/memory_dataset.h"

namespace dao {
namespace {

using framework::Variant;

using daotabletest::MessageOf;

framework::TStringList Lines(const std::vector<std::string>& lines) {
  framework::TStringList list;
  for (const std::string& line : lines) list.Add(line);
  return list;
}

class MasterDetailOnEngine : public daotabletest::TableOnEngineTest {
 protected:
  void SetUp() override {
    CreateDatabase("geb_master", "geb.mdb", [](Database& db) {
      db.Execute("CREATE TABLE Jahre (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Jahr LONG, "
                 "Name TEXT(50))");
      db.Execute("CREATE TABLE Termine (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, JahrNr LONG, "
                 "Jahr LONG, Text TEXT(50))");
      db.Execute("INSERT INTO Jahre (Jahr, Name) VALUES (2001, \"eins\")");
      db.Execute("INSERT INTO Jahre (Jahr, Name) VALUES (2002, \"zwei\")");
      db.Execute("INSERT INTO Jahre (Jahr, Name) VALUES (NULL, \"leer\")");
      db.Execute("INSERT INTO Jahre (Jahr, Name) VALUES (2004, \"ohne\")");
      for (const char* row : {"1, 2001, \"c1\"", "2, 2002, \"a2\"", "1, 2001, \"a1\"",
                              "NULL, NULL, \"n\"", "2, 2002, \"b2\"", "1, 2000, \"b1\""})
        db.Execute(std::string("INSERT INTO Termine (JahrNr, Jahr, Text) VALUES (") + row + ")");
    });
    master_ = MakeTable("Jahr", "Jahre");
    source_ = std::make_unique<dataset::TDataSource>(nullptr);
    source_->SetDataSet(master_.get());
    detail_ = MakeTable("Termin", "Termine");
    detail_->SetMasterSource(source_.get());
    detail_->SetMasterFields(Lines({"JahrNr -> ID"}));
  }

  void TearDown() override {
    detail_.reset();
    source_.reset();
    master_.reset();
    TableOnEngineTest::TearDown();
  }

  // Turns the detail into one on SQL text (clearing its table name).
  void UseSql(const std::string& text) {
    detail_->SetSQL(Lines({text}));
    detail_->SetMasterFields(Lines({"JahrNr -> ID"}));
  }

  // The values of `field` of every record of `table`, walked from the first one.
  static std::vector<std::string> Column(TUxDaoTable& table, const std::string& field = "Text") {
    std::vector<std::string> out;
    table.GoFirst();
    while (!table.AtEnd()) {
      out.push_back(table.FieldNamed(field).AsString());
      table.GoNext();
    }
    return out;
  }

  // The detail's texts, sorted, so that checks do not depend on the keyset order.
  std::vector<std::string> DetailTexts() {
    std::vector<std::string> texts = Column(*detail_);
    std::sort(texts.begin(), texts.end());
    return texts;
  }

  // Moves the master to the record whose Name is `name`.
  void MasterTo(const std::string& name) {
    master_->GoFirst();
    while (!master_->AtEnd() && master_->FieldNamed("Name").AsString() != name) master_->GoNext();
    ASSERT_FALSE(master_->AtEnd()) << name;
  }

  using Texts = std::vector<std::string>;

  std::unique_ptr<TUxDaoTable> master_;
  std::unique_ptr<dataset::TDataSource> source_;
  std::unique_ptr<TUxDaoTable> detail_;
};

TEST_F(MasterDetailOnEngine, ATableDetailFollowsTheMasterRecord) {
  detail_->Open();  // opens the master too (MasterAutoActivate)
  ASSERT_TRUE(master_->Active());
  EXPECT_FALSE(detail_->MasterIdle());
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));
  EXPECT_EQ(detail_->RecordCount(), 3);
  master_->GoNext();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  EXPECT_EQ(detail_->RecordCount(), 2);
  MasterTo("ohne");
  EXPECT_TRUE(DetailTexts().empty());
  EXPECT_TRUE(detail_->IsEmpty());
  EXPECT_EQ(detail_->RecordCount(), 0);
  master_->GoLast();
  master_->GoFirst();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));

  // A null link value in the master restricts with IS NULL.
  detail_->SetMasterFields(Lines({"Jahr -> Jahr"}));
  MasterTo("leer");
  EXPECT_EQ(DetailTexts(), (Texts{"n"}));
  MasterTo("zwei");
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));

  // Two pairs, named the same on both sides, as one line with ";".
  detail_->SetMasterFields(Lines({"ID;Jahr"}));
  EXPECT_EQ(DetailTexts(), (Texts{"a2"}));
  master_->GoFirst();
  EXPECT_EQ(DetailTexts(), (Texts{"c1"}));

  // Pairs the master cannot serve fail the reopening; the detail is closed, not left open
  // without records to show.
  EXPECT_EQ(MessageOf([&] { detail_->SetMasterFields(Lines({"Jahr;Text"})); }),
            "Jahr: Field 'Text' not found");
  EXPECT_FALSE(detail_->Active());
  detail_->SetMasterFields(Lines({"JahrNr -> ID", "Jahr"}));
  EXPECT_EQ(MessageOf([&] { detail_->Open(); }), "");
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));
}

TEST_F(MasterDetailOnEngine, OwnFilterAndSortOrderStayWithTheMasterCondition) {
  detail_->SetFilterText("Jahr > 2000");
  detail_->SetFiltered(true);
  detail_->SetSortedBy(Lines({"Text DESC"}));
  detail_->Open();
  EXPECT_EQ(Column(*detail_), (Texts{"c1", "a1"}));
  master_->GoNext();
  EXPECT_EQ(Column(*detail_), (Texts{"b2", "a2"}));
  master_->GoPrior();
  EXPECT_EQ(Column(*detail_), (Texts{"c1", "a1"}));
}

TEST_F(MasterDetailOnEngine, AnSqlDetailIsNarrowedFromItsBaseRecordset) {
  UseSql("SELECT * FROM Termine WHERE Jahr >= 2001");
  detail_->Open();
  ASSERT_TRUE(detail_->BaseRecordset() != nullptr);
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  // Each move narrows the base again; a second move must not narrow an already narrowed set.
  master_->GoNext();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  master_->GoPrior();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  MasterTo("ohne");
  EXPECT_TRUE(DetailTexts().empty());
  MasterTo("zwei");
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));

  // Changing the link while open reopens with the new pairs.
  detail_->SetMasterFields(Lines({"Jahr -> Jahr"}));
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  master_->GoFirst();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  master_->GoNext();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
}

TEST_F(MasterDetailOnEngine, AnSqlDetailTakesTheMastersValuesAsParameters) {
  UseSql("SELECT * FROM Termine WHERE Jahr = :Jahr");
  ASSERT_EQ(detail_->Params().Count(), 1);
  // A parameter that has a type keeps it; only the value comes from the master.
  detail_->Params().ParamByName("Jahr").SetDataType(dataset::ftFloat);
  detail_->Open();
  EXPECT_EQ(detail_->Params().ParamByName("Jahr").Value().ToInt32(), 2001);
  EXPECT_EQ(detail_->Params().ParamByName("Jahr").DataType(), dataset::ftFloat);
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  master_->GoNext();
  EXPECT_EQ(detail_->Params().ParamByName("Jahr").Value().ToInt32(), 2002);
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  master_->GoLast();  // "ohne"
  EXPECT_TRUE(DetailTexts().empty());
  // A null parameter is written as IS NULL, which this text cannot take: the error reaches the
  // master's move and the detail, left without a recordset, is closed.
  EXPECT_NE(MessageOf([&] { master_->GoPrior(); }), "");  // "leer"
  EXPECT_FALSE(detail_->Active());
  master_->GoFirst();
  detail_->Open();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  EXPECT_NE(MessageOf([&] { MasterTo("leer"); }), "");
  EXPECT_FALSE(detail_->Active());

  // With the pairs on a field that the parameter does not cover, both restrict.
  detail_->Close();
  detail_->SetSQL(Lines({"SELECT * FROM Termine WHERE Jahr >= :Jahr"}));
  detail_->SetMasterFields(Lines({"JahrNr -> ID"}));
  detail_->Params().ParamByName("Jahr").SetDataType(dataset::ftUnknown);
  MasterTo("eins");
  detail_->Open();
  EXPECT_EQ(detail_->Params().ParamByName("Jahr").DataType(), dataset::ftInteger);
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
}

TEST_F(MasterDetailOnEngine, ASavedQueryDetailFollowsToo) {
  database_->CoreDatabase()->CreateQueryDef(Variant("AlleTermine"),
                                            Variant("SELECT * FROM Termine"));
  detail_->SetQueryDefName("AlleTermine");  // clears MasterFields
  EXPECT_EQ(detail_->MasterFields().Count(), 0);
  detail_->SetMasterFields(Lines({"JahrNr -> ID"}));
  detail_->Open();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));
  master_->GoNext();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  master_->GoNext();
  master_->GoNext();
  EXPECT_TRUE(DetailTexts().empty());
  // New pairs while open: later moves narrow the base recordset by the new pairs alone.
  detail_->SetMasterFields(Lines({"Jahr -> Jahr"}));
  EXPECT_TRUE(DetailTexts().empty());
  master_->GoFirst();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  master_->GoNext();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
}

TEST_F(MasterDetailOnEngine, AMasterInEditHoldsTheDetailUntilPosted) {
  detail_->SetMasterFields(Lines({"Jahr -> Jahr"}));
  detail_->Open();
  ASSERT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  master_->BeginEdit();
  master_->FieldNamed("Jahr").SetAsInteger(2000);
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "c1"}));
  master_->PostRecord();
  EXPECT_EQ(DetailTexts(), (Texts{"b1"}));
  master_->BeginEdit();
  master_->FieldNamed("Jahr").SetAsInteger(2001);
  master_->CancelEdit();
  EXPECT_EQ(DetailTexts(), (Texts{"b1"}));
  detail_->SetMasterFields(Lines({"JahrNr -> ID"}));

  // A pending detail edit is posted when the master moves.
  detail_->GoFirst();
  const std::string first = detail_->FieldNamed("Text").AsString();
  detail_->BeginEdit();
  detail_->FieldNamed("Text").SetAsString(first + "x");
  master_->GoNext();
  EXPECT_EQ(detail_->State(), dataset::stBrowse);
  master_->GoFirst();
  Texts texts = DetailTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), first + "x"), texts.end());
}

TEST_F(MasterDetailOnEngine, ClosingOrDisablingTheMasterLeavesTheDetailAsItIs) {
  detail_->Open();
  master_->GoNext();
  ASSERT_EQ(DetailTexts(), (Texts{"a2", "b2"}));

  master_->Close();
  EXPECT_TRUE(detail_->Active());
  EXPECT_TRUE(detail_->MasterIdle());
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  // Reopened, the master stands on its first record and the detail follows it again.
  master_->Open();
  EXPECT_FALSE(detail_->MasterIdle());
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));

  source_->SetEnabled(false);
  EXPECT_TRUE(detail_->MasterIdle());
  master_->GoNext();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));
  source_->SetEnabled(true);
  EXPECT_FALSE(detail_->MasterIdle());
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));

  // Closed before the detail opens, and not to be opened for it: the detail shows everything.
  detail_->Close();
  master_->Close();
  detail_->SetMasterAutoActivate(false);
  detail_->Open();
  EXPECT_FALSE(master_->Active());
  EXPECT_TRUE(detail_->MasterIdle());
  EXPECT_EQ(detail_->RecordCount(), 6);
  // Once the master opens, the detail follows it.
  master_->Open();
  EXPECT_FALSE(detail_->MasterIdle());
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));
  master_->GoNext();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
}

TEST_F(MasterDetailOnEngine, NewDetailRecordsTakeTheMastersKey) {
  detail_->Open();
  master_->GoNext();
  std::string seen_in_event;
  detail_->OnNewRecord = [&](dataset::TDataSet& d) {
    seen_in_event = d.FieldNamed("JahrNr").AsString();
    d.FieldNamed("Jahr").SetAsInteger(2002);
  };
  detail_->StartInsert();
  EXPECT_EQ(seen_in_event, "2");
  EXPECT_EQ(detail_->FieldNamed("JahrNr").AsInteger(), 2);
  detail_->FieldNamed("Text").SetAsString("c2");
  detail_->PostRecord();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2", "c2"}));

  // InsertValues with the link field left Empty keeps the master's value.
  MasterTo("ohne");
  detail_->OnNewRecord = nullptr;
  detail_->InsertValues({Variant(), Variant(), Variant(2004), Variant("a4")});
  EXPECT_EQ(DetailTexts(), (Texts{"a4"}));
  EXPECT_EQ(detail_->FieldNamed("JahrNr").AsInteger(), 4);

  // An insert left pending is posted when the master moves, with the key of its master.
  detail_->StartInsert();
  detail_->FieldNamed("Text").SetAsString("b4");
  master_->GoFirst();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));
  MasterTo("ohne");
  EXPECT_EQ(DetailTexts(), (Texts{"a4", "b4"}));

  // Without an active link nothing is copied.
  detail_->Close();
  detail_->SetMasterSource(nullptr);
  EXPECT_EQ(detail_->MasterFields().Count(), 0);
  detail_->Open();
  EXPECT_EQ(detail_->RecordCount(), 9);
  detail_->StartInsert();
  EXPECT_TRUE(detail_->FieldNamed("JahrNr").IsNull());
  detail_->CancelEdit();
}

TEST_F(MasterDetailOnEngine, SettingTheLinkWhileOpenReopens) {
  detail_->Open();
  ASSERT_EQ(detail_->RecordCount(), 3);
  // Lines without " -> " (and not one line with ";") give no pairs: no restriction.
  detail_->SetMasterFields(Lines({"JahrNr", "ID"}));
  EXPECT_EQ(detail_->RecordCount(), 6);
  detail_->SetMasterFields(Lines({"JahrNr -> ID"}));
  EXPECT_EQ(detail_->RecordCount(), 3);
  detail_->SetMasterSource(nullptr);
  EXPECT_EQ(detail_->MasterFields().Count(), 0);
  EXPECT_EQ(detail_->RecordCount(), 6);
  master_->GoNext();
  EXPECT_EQ(detail_->RecordCount(), 6);

  // A link back to the detail itself is refused and changes nothing.
  dataset::TDataSource detail_source(nullptr);
  detail_source.SetDataSet(detail_.get());
  detail_->SetMasterSource(source_.get());
  EXPECT_EQ(MessageOf([&] { master_->SetMasterSource(&detail_source); }),
            "Circular links not allowed!");
  EXPECT_EQ(master_->MasterSource(), nullptr);
  EXPECT_EQ(MessageOf([&] { detail_->SetMasterSource(&detail_source); }),
            "Circular links not allowed!");
  EXPECT_EQ(detail_->MasterSource(), source_.get());
}

TEST_F(MasterDetailOnEngine, ANewMasterSourceReplacesTheOldMastersFields) {
  detail_->Open();
  auto other = MakeTable("Jahr2", "Jahre");
  dataset::TDataSource other_source(nullptr);
  other_source.SetDataSet(other.get());
  other->Open();
  other->GoNext();  // "zwei"
  detail_->SetMasterSource(&other_source);
  detail_->SetMasterFields(Lines({"JahrNr -> ID"}));
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  // The old master no longer moves the detail, and may go away.
  master_->GoFirst();
  EXPECT_EQ(DetailTexts(), (Texts{"a2", "b2"}));
  source_->SetDataSet(nullptr);
  master_.reset();
  detail_->StartInsert();
  EXPECT_EQ(detail_->FieldNamed("JahrNr").AsInteger(), 2);
  detail_->CancelEdit();
  other->GoFirst();
  EXPECT_EQ(DetailTexts(), (Texts{"a1", "b1", "c1"}));
  detail_->Close();
  detail_->SetMasterSource(nullptr);
}

TEST_F(MasterDetailOnEngine, ADetailThatCannotFollowIsClosed) {
  // A master whose link field has a type no condition can be written for: null it restricts
  // with IS NULL, a value cannot be written.
  dataset_test::MemoryDataSet memory;
  memory.AddColumn("Nr", dataset::ftInteger);
  memory.AddColumn("Roh", dataset::ftVarBytes, 8);
  memory.AddRow({Variant(1), Variant::Null()});
  memory.AddRow({Variant(2), Variant("abc")});
  dataset::TDataSource memory_source(nullptr);
  memory_source.SetDataSet(&memory);
  detail_->SetMasterSource(&memory_source);
  detail_->SetMasterFields(Lines({"Text -> Roh"}));
  detail_->Open();
  EXPECT_TRUE(detail_->IsEmpty());
  EXPECT_EQ(MessageOf([&] { memory.GoNext(); }),
            "Unable to build Master/Detail SQL Relationship!");
  EXPECT_FALSE(detail_->Active());
  EXPECT_EQ(MessageOf([&] { detail_->Open(); }),
            "Unable to build Master/Detail SQL Relationship!");
  EXPECT_FALSE(detail_->Active());
  // The memory master follows no detail order; its first record again opens the detail.
  memory.GoFirst();
  detail_->Open();
  EXPECT_TRUE(detail_->Active());
  detail_->Close();
  detail_->SetMasterSource(nullptr);
}

}  // namespace
}  // namespace dao
