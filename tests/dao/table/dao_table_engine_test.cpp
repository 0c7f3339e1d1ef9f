// The table component on the real engine: opening by table, SQL and saved query, field
// definitions, walking and counting, bookmarks, field values, editing, inserting and deleting as
// the import does, sorting and filtering, and records deleted by another user.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dataset/field_defs.h"
#include "dataset/date_time_fields.h"
#include "dataset/index_defs.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "framework/exception.h"
#include "tests/dao/table/table_test_support.h"

namespace dao {
namespace {

using framework::EDatabaseError;
using framework::Variant;

using daotabletest::MessageOf;

class DaoTableOnEngine : public daotabletest::TableOnEngineTest {
 protected:
  void SetUp() override {
    CreateDatabase("geb_table", "geb.mdb", [](Database& db) {
      daotabletest::CreateBirthdayTable(db);
      db.Execute("CREATE TABLE Vorgaben (ID COUNTER, Name TEXT(50) DEFAULT \"abc\", Zahl LONG DEFAULT 5)");
      db.CreateQueryDef(Variant("NachNummer"),
                        Variant("PARAMETERS Nr LONG; SELECT * FROM Geburtstag WHERE Personalnr >= Nr"));
      daotabletest::AddBirthdays(db, kRecords,
                                 [](int i) { return Variant("0711-" + std::to_string(i)); });
    });
    table_ = MakeTable("Fahrer", "Geburtstag");
  }

  // The Personalnr values of the table, in keyset order, read past the component.
  std::vector<int> Numbers() {
    std::vector<int> numbers;
    auto rs = database_->CoreDatabase()->OpenRecordset("SELECT Personalnr FROM Geburtstag ORDER BY ID",
                                                       Variant(dbOpenSnapshot));
    while (!rs->Eof()) {
      numbers.push_back(rs->Fields()->Item(0)->Value().ToInt32());
      rs->MoveNext();
    }
    rs->Close();
    return numbers;
  }

  static constexpr int kRecords = 6;
};

TEST_F(DaoTableOnEngine, OpensTheBirthdayTableWithItsFieldDefinitions) {
  table_->Open();
  ASSERT_TRUE(table_->Active());
  const dataset::TFieldDefs& defs = table_->FieldDefs();
  ASSERT_EQ(defs.Count(), 5);
  EXPECT_EQ(defs.Items(0).DataType(), dataset::ftAutoInc);
  EXPECT_EQ(defs.Items(1).DataType(), dataset::ftString);
  EXPECT_EQ(defs.Items(1).Size(), 255);
  EXPECT_EQ(defs.Items(2).DataType(), dataset::ftDateTime);
  EXPECT_EQ(defs.Items(4).DataType(), dataset::ftInteger);
  EXPECT_TRUE(table_->FieldNamed("ID").ReadOnly());
  EXPECT_FALSE(table_->ReadOnly());
  EXPECT_EQ(table_->IndexDefs().Count(), 0);  // a dynaset has none
  EXPECT_EQ(database_->ActiveTables().IndexOf("Fahrer"), 0);
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1000);
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 0");
  EXPECT_DOUBLE_EQ(table_->FieldNamed("Geburtsdatum").AsDateTime(), 20000);
  table_->Close();
  EXPECT_EQ(database_->ActiveTables().Count(), 0);
  EXPECT_FALSE(table_->OpenFlag());

  // Disconnecting closes the open table.
  table_->Open();
  database_->SetConnected(false);
  EXPECT_FALSE(table_->Active());
}

TEST_F(DaoTableOnEngine, RefusesToOpenWithoutASource) {
  TUxDaoTable bare(nullptr);
  EXPECT_EQ(MessageOf([&] { bare.Open(); }), "TUxDaoTable.OpenDaoRecordset: Missing Database Property");
  bare.SetDatabase(database_.get());
  EXPECT_EQ(MessageOf([&] { bare.Open(); }),
            "TUxDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!");
  EXPECT_FALSE(bare.Active());
  bare.SetTableName("Geburtstag");
  bare.SetTableType(16);
  EXPECT_EQ(MessageOf([&] { bare.Open(); }),
            "TUxDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!");
  bare.SetTableType(2);
  database_->SetConnected(false);
  EXPECT_EQ(MessageOf([&] { bare.Open(); }), "TUxDaoTable.OpenDaoRecordset: Database is NOT connected");
  bare.SetDatabaseAutoActivate(true);
  bare.Open();
  EXPECT_TRUE(database_->Connected());
  EXPECT_TRUE(bare.Active());
  // A table without a name gets one and keeps it.
  const std::string name = bare.Name();
  EXPECT_EQ(name.rfind("UxDaoTable_", 0), 0u);
  bare.Close();
  bare.Open();
  EXPECT_EQ(bare.Name(), name);
  EXPECT_EQ(MessageOf([&] { bare.SetTableName("x"); }),
            "TUxDaoTable.F_Set_TableName: Cannot set TableName while Table is active!");
  EXPECT_EQ(MessageOf([&] { bare.SetTableType(1); }),
            "TUxDaoTable.F_Set_TableType: Cannot set TableType while Table is active!");
  EXPECT_EQ(MessageOf([&] { bare.SetLockType(1); }),
            "TUxDaoTable.F_Set_LockType: Cannot set LockType while Table is active!");
  EXPECT_EQ(MessageOf([&] { bare.SetDatabase(nullptr); }),
            "TUxDaoTable.F_Set_Database: Cannot set Database while Table is Active!");
  EXPECT_EQ(MessageOf([&] { bare.SetQueryDefName("NachNummer"); }),
            "TUxDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!");
}

TEST_F(DaoTableOnEngine, SnapshotsAreReadOnly) {
  table_->SetTableType(dbOpenSnapshot);
  table_->Open();
  EXPECT_TRUE(table_->ReadOnly());
  EXPECT_FALSE(table_->CanModify());
  EXPECT_THROW(table_->BeginEdit(), EDatabaseError);
}

TEST_F(DaoTableOnEngine, WalksForwardAndBackCountsAndNumbers) {
  table_->Open();
  EXPECT_EQ(table_->RecordCount(), kRecords);
  std::vector<int> seen;
  for (table_->GoFirst(); !table_->AtEnd(); table_->GoNext()) {
    seen.push_back(table_->FieldNamed("Personalnr").AsInteger());
    EXPECT_EQ(table_->RecNo(), static_cast<int>(seen.size()));
  }
  EXPECT_EQ(seen, Numbers());
  table_->GoLast();
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1000 + kRecords - 1);
  EXPECT_EQ(table_->RecNo(), kRecords);
  int back = 1;
  while (table_->StepBy(-1) == -1) ++back;
  EXPECT_EQ(back, kRecords);
  EXPECT_TRUE(table_->AtStart());
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1000);
  table_->SetRecNo(4);
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1003);
  EXPECT_EQ(table_->RecNo(), 4);
}

TEST_F(DaoTableOnEngine, BookmarksReturnToTheirRecord) {
  table_->Open();
  table_->StepBy(2);
  const dataset::TBookmark mark = table_->TakeBookmark();
  ASSERT_EQ(mark.size(), 4u);
  table_->GoLast();
  table_->ReturnToBookmark(mark);
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1002);
  EXPECT_TRUE(table_->BookmarkValid(mark));
  dataset::TBookmark zero(4, 0);
  EXPECT_EQ(MessageOf([&] { table_->ReturnToBookmark(zero); }), "Bookmarks are not supported!");
  dataset::TBookmark unknown = {0x7f, 0x7f, 0x7f, 0x7f};
  EXPECT_EQ(MessageOf([&] { table_->ReturnToBookmark(unknown); }), "Invalid Bookmark!");
  EXPECT_EQ(table_->CompareBookmarks({}, {}), 0);
}

TEST_F(DaoTableOnEngine, EditsInsertsAndDeletesAsTheImportDoes) {
  // The data module's persistent fields, in its order.
  const auto add = [&](dataset::TField* field, const char* name, int size = 0) {
    field->SetFieldName(name);
    if (size > 0) field->SetSize(size);
    field->SetDataSet(table_.get());
  };
  add(new dataset::TIntegerField(table_.get()), "Personalnr");
  add(new dataset::TDateTimeField(table_.get()), "Geburtsdatum");
  add(new dataset::TStringField(table_.get()), "Mitarbeiter", 255);
  add(new dataset::TStringField(table_.get()), "Telefon", 255);
  add(new dataset::TAutoIncField(table_.get()), "ID");
  table_->Open();
  EXPECT_FALSE(table_->DefaultFields());
  // Pass 1: change the birthday of an existing record ...
  table_->SetRecNo(3);
  table_->BeginEdit();
  table_->FieldNamed("Geburtsdatum").SetAsDateTime(framework::EncodeDate(1970, 5, 17));
  table_->PostRecord();
  EXPECT_EQ(table_->State(), dataset::stBrowse);
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1002);
  // ... and insert a new one with four values.
  table_->InsertValues({Variant("4711"), Variant(framework::EncodeDate(1980, 1, 2)),
                        Variant("Neu, Anna"), Variant("0711-99")});
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 4711);
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Neu, Anna");
  EXPECT_FALSE(table_->FieldNamed("ID").IsNull());
  EXPECT_EQ(table_->RecordCount(), kRecords + 1);
  {
    auto rs = database_->CoreDatabase()->OpenRecordset(
        "SELECT Geburtsdatum FROM Geburtstag WHERE Personalnr = 1002", Variant(dbOpenSnapshot));
    EXPECT_DOUBLE_EQ(rs->Fields()->Item(0)->Value().ToDate(), framework::EncodeDate(1970, 5, 17));
  }
  // Pass 2: delete every record with an odd number while walking.
  table_->GoFirst();
  int deleted = 0;
  while (!table_->AtEnd()) {
    const int number = table_->FieldNamed("Personalnr").AsInteger();
    if (number % 2 != 0) {
      table_->DeleteRecord();
      ++deleted;
    } else {
      table_->GoNext();
    }
  }
  EXPECT_EQ(deleted, 4);  // 1001, 1003, 1005, 4711
  EXPECT_EQ(Numbers(), (std::vector<int>{1000, 1002, 1004}));
  EXPECT_EQ(table_->RecordCount(), 3);
}

TEST_F(DaoTableOnEngine, ARecordDeletedByAnotherUserIsDeletedSilently) {
  table_->Open();
  table_->SetRecNo(2);
  auto other = database_->CoreDatabase()->OpenRecordset("Geburtstag", Variant(dbOpenDynaset));
  other->FindFirst("Personalnr = 1001");
  other->Delete();
  other->Close();
  table_->DeleteRecord();
  EXPECT_EQ(Numbers().size(), static_cast<size_t>(kRecords - 1));
  EXPECT_TRUE(table_->Active());
  EXPECT_FALSE(table_->IsEmpty());
}

TEST_F(DaoTableOnEngine, CancelAndFailedPostLeaveTheRecordAsItWas) {
  table_->Open();
  table_->BeginEdit();
  table_->FieldNamed("Mitarbeiter").SetAsString("Geändert");
  table_->CancelEdit();
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 0");
  // A duplicate personnel number is refused by the unique index; the table stays usable.
  table_->BeginEdit();
  table_->FieldNamed("Personalnr").SetAsInteger(1001);
  EXPECT_THROW(table_->PostRecord(), framework::EOleException);
  table_->CancelEdit();
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1000);
  int answered = 0;
  table_->OnPostError = [&](dataset::TDataSet&, framework::Exception& e, dataset::TDataAction& action) {
    ++answered;
    EXPECT_FALSE(e.Message().empty());
    action = dataset::eaAbort;
  };
  table_->BeginEdit();
  table_->FieldNamed("Personalnr").SetAsInteger(1001);
  table_->PostRecord();
  EXPECT_EQ(answered, 1);
  table_->CancelEdit();
  EXPECT_EQ(Numbers()[0], 1000);
}

TEST_F(DaoTableOnEngine, APostOfARecordChangedMeanwhileIsRefusedThroughThePostErrorPath) {
  table_->Open();
  table_->BeginEdit();
  table_->FieldNamed("Telefon").SetAsString("meins");
  auto other = database_->CoreWorkspace()->OpenDatabase(database_->Database());
  other->Execute("UPDATE Geburtstag SET Mitarbeiter = 'von nebenan' WHERE Personalnr = 1000");
  int answered = 0;
  table_->OnPostError = [&](dataset::TDataSet&, framework::Exception& e, dataset::TDataAction& action) {
    ++answered;
    auto* ole = dynamic_cast<framework::EOleException*>(&e);
    ASSERT_NE(ole, nullptr);
    EXPECT_EQ(ole->ErrorCode(), err::kWriteConflict);
    action = dataset::eaAbort;
  };
  table_->PostRecord();
  EXPECT_EQ(answered, 1);
  table_->CancelEdit();
  // The other user's change stands; ours was not written.
  auto rs = database_->CoreDatabase()->OpenRecordset("SELECT Mitarbeiter, Telefon FROM Geburtstag WHERE Personalnr = 1000",
                                                     Variant(dbOpenSnapshot));
  EXPECT_EQ(rs->Fields()->Item(0)->Value().ToString(), "von nebenan");
  EXPECT_EQ(rs->Fields()->Item(1)->Value().ToString(), "0711-0");
}

TEST_F(DaoTableOnEngine, DeletingTheOnlyRecordEndsNormally) {
  database_->CoreDatabase()->Execute("DELETE FROM Geburtstag WHERE Personalnr <> 1003");
  table_->Open();
  int after_delete = 0;
  table_->AfterDelete = [&](dataset::TDataSet&) { ++after_delete; };
  table_->DeleteRecord();
  EXPECT_EQ(after_delete, 1);
  EXPECT_TRUE(table_->IsEmpty());
  EXPECT_TRUE(Numbers().empty());
  // An empty table walks from its first record without an error.
  table_->GoFirst();
  EXPECT_TRUE(table_->AtEnd());
}

TEST_F(DaoTableOnEngine, NewRecordsGetTheColumnDefaults) {
  table_->SetTableName("Vorgaben");
  table_->Open();
  EXPECT_EQ(table_->FieldDefaults().Strings(1), "abc");
  table_->StartInsert();
  EXPECT_EQ(table_->FieldNamed("Name").AsString(), "abc");
  table_->FieldNamed("Zahl").SetAsInteger(9);
  table_->PostRecord();
  EXPECT_EQ(table_->RecordCount(), 1);
  EXPECT_EQ(table_->FieldNamed("Name").AsString(), "abc");
  EXPECT_EQ(table_->FieldNamed("Zahl").AsInteger(), 9);
}

TEST_F(DaoTableOnEngine, SortedAndFilteredRecordsets) {
  framework::TStringList sort;
  sort.Add("Personalnr DESC");
  table_->SetSortedBy(sort);
  table_->Open();
  EXPECT_EQ(table_->SortText(), "Personalnr DESC ");
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1000 + kRecords - 1);
  table_->SetFilterText("Personalnr < 1003");
  table_->SetFiltered(true);
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 1002);
  EXPECT_EQ(table_->RecordCount(), 3);
  table_->SetFilterText("Personalnr > 5000");
  EXPECT_TRUE(table_->IsEmpty());
  table_->SetFiltered(false);
  EXPECT_EQ(table_->RecordCount(), kRecords);

  // With RefreshSorted a post requeries and shows the first record.
  table_->SetRefreshSorted(true);
  table_->GoLast();
  table_->BeginEdit();
  table_->FieldNamed("Personalnr").SetAsInteger(9999);
  table_->PostRecord();
  EXPECT_EQ(table_->FieldNamed("Personalnr").AsInteger(), 9999);
  EXPECT_EQ(table_->RecNo(), 1);
}

TEST_F(DaoTableOnEngine, SqlWithParametersAndSavedQueries) {
  framework::TStringList sql;
  sql.Add("SELECT * FROM Geburtstag WHERE Personalnr > :Nr");
  table_->SetSQL(sql);
  table_->Params().ParamByName("Nr").SetAsInteger(1003);
  table_->Open();
  EXPECT_EQ(table_->RecordCount(), 2);
  table_->Close();

  table_->SetQueryDefName("NachNummer");
  EXPECT_EQ(table_->QueryDefType(), "dbQSelect");
  EXPECT_EQ(MessageOf([&] { table_->Open(); }),
            "TUxDaoTable.OpenDaoRecordset: Invalid number of QueryDef parameters or parameter is "
            "not in valid format!");
  framework::TStringList values;
  values.Add("1004");
  table_->SetQueryDefParameters(values);
  table_->Open();
  EXPECT_EQ(table_->RecordCount(), 2);
  EXPECT_NE(table_->QueryDefSQLText().Text().find("Personalnr >= Nr"), std::string::npos);
}

TEST_F(DaoTableOnEngine, ValueTextsOfTheBuffer) {
  EXPECT_EQ(TUxDaoTable::DayToText(731230), "731230 0");
  EXPECT_EQ(TUxDaoTable::MillisecondsToText(1000), "693594 1000");
  EXPECT_EQ(TUxDaoTable::DateTimeToText(framework::EncodeDate(2003, 1, 15) + 0.5), "731230 43200000");
  table_->Open();
  // A date written through the field reads back through the value text.
  table_->BeginEdit();
  table_->FieldNamed("Geburtsdatum").SetAsDateTime(framework::EncodeDate(2003, 1, 15) + 0.5);
  EXPECT_DOUBLE_EQ(table_->FieldNamed("Geburtsdatum").AsDateTime(), framework::EncodeDate(2003, 1, 15) + 0.5);
  table_->FieldNamed("Telefon").Clear();
  table_->PostRecord();
  EXPECT_TRUE(table_->FieldNamed("Telefon").IsNull());
  // Writing to a read-only field changes nothing.
  table_->BeginEdit();
  const int id = table_->FieldNamed("ID").AsInteger();
  EXPECT_NO_THROW(table_->FieldNamed("ID").SetAsInteger(id + 100));
  EXPECT_EQ(table_->FieldNamed("ID").AsInteger(), id);
  table_->CancelEdit();
}

}  // namespace
}  // namespace dao
