// The table component's index definitions: read from the DAO table definition behind a
// table-type dataset, and the DAO table changed to match them when they are updated. On the real
// engine, and on a scripted engine for DAO failures the real one does not produce.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "dao/table/dao_index_defs.h"
#include "dao/table/dao_table.h"
#include "dataset/index_defs.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "tests/dao/fake_dao_world.h"
#include "tests/dao/table/table_test_support.h"

namespace dao {
namespace {

using dataset::ixDescending;
using dataset::ixPrimary;
using dataset::ixUnique;
using framework::Variant;

// "name: fields / desc fields / options" of every definition, in order.
std::vector<std::string> Describe(const dataset::TIndexDefs& defs) {
  std::vector<std::string> out;
  for (int i = 0; i < defs.Count(); ++i) {
    const dataset::TIndexDef& d = defs.Items(i);
    out.push_back(d.Name() + ": " + d.Fields() + " / " + d.DescFields() + " / " +
                  std::to_string(d.Options()));
  }
  return out;
}

class IndexDefsOnEngine : public daotabletest::TableOnEngineTest {
 protected:
  void SetUp() override {
    CreateDatabase("geb_index", "termine.mdb", [](Database& db) {
      db.Execute(
          "CREATE TABLE Termine (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(50), "
          "Datum DATETIME, Ort TEXT(50))");
      db.Execute("CREATE INDEX NameDatum ON Termine (Name, Datum DESC)");
      db.Execute("CREATE INDEX Neueste ON Termine (Datum DESC)");
      auto rs = db.OpenRecordset("Termine", Variant(dbOpenDynaset));
      for (int i = 0; i < 3; ++i) {
        rs->AddNew();
        rs->Fields()->Item("Name")->SetValue(Variant("T" + std::to_string(i)));
        rs->Fields()->Item("Datum")->SetValue(Variant::Date(40000 + i));
        rs->Fields()->Item("Ort")->SetValue(Variant(i == 2 ? "Ulm" : "Bonn"));
        rs->Update();
      }
      rs->Close();
    });
    table_ = MakeTable("Termine", "Termine");
    table_->SetTableType(dbOpenTable);
  }

  TUxDaoIndexDefs& Defs() { return dynamic_cast<TUxDaoIndexDefs&>(table_->IndexDefs()); }

  // The index names of the DAO table, read past the component.
  std::vector<std::string> DaoIndexes() {
    std::vector<std::string> names;
    auto indexes = database_->CoreDatabase()->TableDefs()->Item("Termine")->Indexes();
    indexes->Refresh();
    for (int i = 0; i < indexes->Count(); ++i) names.push_back(indexes->Item(i)->Name());
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string Opt(int options) { return std::to_string(options); }
};

TEST_F(IndexDefsOnEngine, ReadsTheIndexesOfATableTypeDatasetOnly) {
  const std::vector<std::string> expected = {
      "Neueste:  / Datum / " + Opt(ixDescending),
      "NameDatum: Name / Datum / 0",
      "PrimaryKey: ID /  / " + Opt(ixPrimary | ixUnique),
  };
  table_->Open();
  std::vector<std::string> read = Describe(table_->IndexDefs());
  std::sort(read.begin(), read.end());
  std::vector<std::string> sorted = expected;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(read, sorted);
  // The collection's own reading gives the same.
  Defs().ReadFromTable();
  read = Describe(table_->IndexDefs());
  std::sort(read.begin(), read.end());
  EXPECT_EQ(read, sorted);
  table_->Close();

  // Setting the source again empties the collection; updating it before the table was opened
  // again only reads, it does not drop what the collection no longer lists.
  table_->SetTableName("Termine");
  EXPECT_EQ(table_->IndexDefs().Count(), 0);
  table_->IndexDefs().Update();
  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"NameDatum", "Neueste", "PrimaryKey"}));
  EXPECT_EQ(table_->IndexDefs().Count(), 3);

  // A dynaset has none, and updating its empty collection leaves the DAO table as it is.
  table_->SetTableType(dbOpenDynaset);
  table_->Open();
  EXPECT_EQ(table_->IndexDefs().Count(), 0);
  table_->IndexDefs().Update();
  EXPECT_EQ(table_->IndexDefs().Count(), 0);
  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"NameDatum", "Neueste", "PrimaryKey"}));
  EXPECT_TRUE(table_->Active());
}

TEST_F(IndexDefsOnEngine, UpdatingCreatesAndDropsIndexesAndKeepsTheTableOpen) {
  table_->Open();
  table_->GoNext();
  // One index removed from the collection, two added: descending fields in their own list.
  table_->IndexDefs().Delete(table_->IndexDefs().IndexOf("NameDatum"));
  table_->IndexDefs().Add("OrtName", "Ort;Name", ixUnique).SetDescFields("");
  table_->IndexDefs().Add("OrtDatum", "Ort", 0).SetDescFields("Datum");
  table_->IndexDefs().Update();

  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"Neueste", "OrtDatum", "OrtName", "PrimaryKey"}));
  EXPECT_TRUE(table_->Active());
  const dataset::TIndexDef* ort_name = table_->IndexDefs().Find("OrtName");
  ASSERT_NE(ort_name, nullptr);
  EXPECT_EQ(ort_name->Fields(), "Ort;Name");
  EXPECT_EQ(ort_name->Options(), ixUnique);
  const dataset::TIndexDef* ort_datum = table_->IndexDefs().Find("OrtDatum");
  ASSERT_NE(ort_datum, nullptr);
  EXPECT_EQ(ort_datum->Fields(), "Ort");
  EXPECT_EQ(ort_datum->DescFields(), "Datum");
  EXPECT_EQ(table_->IndexDefs().Find("NameDatum"), nullptr);
  EXPECT_EQ(table_->IndexDefs().Count(), 4);

  // The new index serves a seek on the reopened table.
  table_->SetIndexName("OrtName");
  EXPECT_EQ(table_->IndexName(), "OrtName");

  // Unknown field names create nothing and raise nothing; the update still reads afresh.
  table_->IndexDefs().Add("Falsch", "Ort;Strasse", 0);
  table_->IndexDefs().Add("AuchFalsch", "", 0).SetDescFields("Nirgends");
  EXPECT_NO_THROW(table_->IndexDefs().Update());
  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"Neueste", "OrtDatum", "OrtName", "PrimaryKey"}));
  EXPECT_EQ(table_->IndexDefs().Count(), 4);
}

TEST_F(IndexDefsOnEngine, ChangesOnAClosedTableAndFailuresOfDao) {
  // Never opened: the field names come from the table definition.
  TUxDaoIndexDefs& defs = Defs();
  EXPECT_EQ(defs.Count(), 0);
  defs.CreateTableIndex(dataset::TIndexDef("NurOrt", "Ort", 0));
  EXPECT_FALSE(table_->Active());
  EXPECT_TRUE(defs.DropTableIndex("Neueste"));
  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"NameDatum", "NurOrt", "PrimaryKey"}));
  // The collection of a table never opened was never read: updating it only reads.
  EXPECT_EQ(defs.Count(), 0);
  table_->IndexDefs().Update();
  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"NameDatum", "NurOrt", "PrimaryKey"}));
  EXPECT_EQ(defs.Count(), 3);

  // A unique index over duplicate values is refused by DAO: the error passes on, the table is
  // open again and the collection shows what DAO holds.
  table_->Open();
  table_->IndexDefs().Add("OrtEindeutig", "Ort", ixUnique);
  try {
    table_->IndexDefs().Update();
    ADD_FAILURE() << "the duplicate values should be refused";
  } catch (const framework::EOleException& e) {
    EXPECT_NE(e.ErrorCode(), 0);
  }
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(table_->IndexDefs().Find("OrtEindeutig"), nullptr);
  EXPECT_EQ(table_->IndexDefs().Count(), 3);
  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"NameDatum", "NurOrt", "PrimaryKey"}));

  // Dropping an index DAO does not have passes DAO's error on, after reopening.
  EXPECT_THROW(defs.DropTableIndex("Gibtsnicht"), framework::EOleException);
  EXPECT_TRUE(table_->Active());

  // Without a table name nothing can be dropped.
  table_->Close();
  table_->SetTableName("");
  EXPECT_FALSE(defs.DropTableIndex("NurOrt"));
  EXPECT_EQ(DaoIndexes(), (std::vector<std::string>{"NameDatum", "NurOrt", "PrimaryKey"}));
}

// ---- On a scripted engine ----

using ::testing::_;
using ::testing::Invoke;
using ::testing::NiceMock;
using ::testing::Return;

std::shared_ptr<NiceMock<daofake::MockField>> IndexField(const std::string& name, int32_t attributes) {
  auto f = std::make_shared<NiceMock<daofake::MockField>>();
  ON_CALL(*f, Name()).WillByDefault(Return(name));
  ON_CALL(*f, Attributes()).WillByDefault(Return(attributes));
  return f;
}

class IndexDefsOnFake : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::Application().Initialize(nullptr);
    dao_ = std::make_unique<daotest::FakeDao>();
    dao_->AddTable("Termine");
    auto def = std::dynamic_pointer_cast<daofake::MockTableDef>(dao_->tabledefs->Item("Termine"));
    table_def_ = def.get();
    auto columns = std::make_shared<daofake::NamedCollection<dao::Field>>();
    for (const char* name : {"ID", "Name", "Datum"}) columns->Add(name, IndexField(name, 0));
    ON_CALL(*def, Fields()).WillByDefault(Return(columns));
    ON_CALL(*def, CreateField(_, _, _)).WillByDefault(Invoke([](const Variant& name, const Variant&, const Variant&) {
      return std::shared_ptr<dao::Field>(IndexField(name.ToString(), 0));
    }));
    ON_CALL(*def, CreateIndex(_)).WillByDefault(Invoke([this](const Variant& name) {
      dao_->Record("CreateIndex " + name.ToString());
      auto index = std::make_shared<NiceMock<daofake::MockIndex>>();
      ON_CALL(*index, Name()).WillByDefault(Return(name.ToString()));
      auto fields = std::make_shared<daofake::NamedCollection<dao::Field>>();
      ON_CALL(*index, Fields()).WillByDefault(Return(fields));
      keep_.push_back(index);
      return std::shared_ptr<dao::Index>(index);
    }));

    folder_ = std::filesystem::temp_directory_path() / ("geb_index_fake_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    const std::string file = (folder_ / "termine.mdb").string();
    std::ofstream(file) << "x";
    database_ = std::make_unique<TUxDaoDatabase>(nullptr);
    database_->SetDatabase(file);
    database_->SetConnected(true);
    table_ = std::make_unique<TUxDaoTable>(nullptr);
    table_->SetDatabase(database_.get());
    table_->SetTableName("Termine");
    table_->SetTableType(dbOpenTable);
  }

  void TearDown() override {
    table_.reset();
    database_.reset();
    dao_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  void AddIndex(const std::string& name, bool unreadable,
                const std::vector<std::shared_ptr<NiceMock<daofake::MockField>>>& fields) {
    auto index = std::make_shared<NiceMock<daofake::MockIndex>>();
    if (unreadable) {
      ON_CALL(*index, Name()).WillByDefault(Invoke([]() -> std::string {
        throw EOleException(3251, "Operation is not supported for this type of object.");
      }));
    } else {
      ON_CALL(*index, Name()).WillByDefault(Return(name));
    }
    ON_CALL(*index, Primary()).WillByDefault(Return(true));
    ON_CALL(*index, Unique()).WillByDefault(Return(true));
    auto collection = std::make_shared<daofake::NamedCollection<dao::Field>>();
    for (const auto& f : fields) collection->Add(f->Name(), f);
    ON_CALL(*index, Fields()).WillByDefault(Return(collection));
    dao_->indexes->Add(name, index);
  }

  TUxDaoIndexDefs& Defs() { return dynamic_cast<TUxDaoIndexDefs&>(table_->IndexDefs()); }

  std::filesystem::path folder_;
  std::unique_ptr<daotest::FakeDao> dao_;
  daofake::MockTableDef* table_def_ = nullptr;
  std::vector<std::shared_ptr<void>> keep_;
  std::unique_ptr<TUxDaoDatabase> database_;
  std::unique_ptr<TUxDaoTable> table_;
};

TEST_F(IndexDefsOnFake, AnIndexWhoseNameCannotBeReadHasNoNameAndNoFlags) {
  AddIndex("PrimaryKey", false, {IndexField("ID", 0)});
  AddIndex("", true, {IndexField("Datum", dbDescending)});
  AddIndex("", true, {IndexField("Name", 0)});
  Defs().ReadFromTable();
  EXPECT_EQ(Describe(Defs()), (std::vector<std::string>{
                                  "PrimaryKey: ID /  / " + std::to_string(ixPrimary | ixUnique),
                                  ":  / Datum / " + std::to_string(ixDescending),
                              }));
  EXPECT_EQ(dao_->indexes->refresh_count, 1);
}

TEST_F(IndexDefsOnFake, IndexNamesThatCannotBeListedCountAsMissing) {
  AddIndex("PrimaryKey", false, {IndexField("ID", 0)});
  Defs().Add("PrimaryKey", "ID", ixPrimary | ixUnique);
  Defs().Add("NameDatum", "Name", 0).SetDescFields("Datum");
  // The listing asks the table definition for its indexes first; that one call fails.
  dao_->FailOn("TableDef.Indexes", 3001, "Invalid argument.", 1);
  table_->IndexDefs().Update();
  EXPECT_EQ(dao_->Calls("CreateIndex"), (std::vector<std::string>{"CreateIndex PrimaryKey", "CreateIndex NameDatum"}));
  // Nothing was dropped, and the collection was read again (the second PrimaryKey that DAO now
  // has shows once).
  EXPECT_EQ(dao_->Count("Database.DeleteIndex"), 0);
  EXPECT_EQ(dao_->indexes->Count(), 3);
  EXPECT_EQ(Defs().Count(), 2);
  EXPECT_NE(Defs().Find("PrimaryKey"), nullptr);
  EXPECT_NE(Defs().Find("NameDatum"), nullptr);
}

}  // namespace
}  // namespace dao
