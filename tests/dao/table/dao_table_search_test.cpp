// The table component's searches on the real engine: the find operations as the import uses
// them, the four directions and the dataset's find hook, Locate by condition and by Seek on a
// table-type recordset, index choice, and Lookup.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dataset/date_time_fields.h"
#include "dataset/index_defs.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "framework/exception.h"
#include "tests/dao/table/table_test_support.h"

namespace dao {
namespace {

using framework::Variant;

const char kCountMismatch[] =
    "Number of elements in the KeyValues array must be equal to the number of fields.";

using daotabletest::MessageOf;

// Records 0..5: Personalnr 1000+i, Mitarbeiter "Name i", Telefon "0711-i" (i = 2 and 4 share
// "gleich", i = 5 has none), Geburtsdatum day 20000+i.
class DaoTableSearch : public daotabletest::TableOnEngineTest {
 protected:
  void SetUp() override {
    CreateDatabase(
        "geb_search", "geb.mdb",
        [](Database& db) {
          daotabletest::CreateBirthdayTable(db);
          db.Execute("CREATE INDEX NameTelefon ON Geburtstag (Mitarbeiter, Telefon)");
          db.Execute("CREATE TABLE Leer (ID COUNTER, Personalnr LONG)");
          daotabletest::AddBirthdays(db, kRecords, [](int i) {
            if (i == 2 || i == 4) return Variant("gleich");
            if (i == 5) return Variant();
            return Variant("0711-" + std::to_string(i));
          });
        },
        "");
    table_ = MakeTable("Fahrer", "Geburtstag");
  }

  int Number() { return table_->FieldNamed("Personalnr").AsInteger(); }

  // Counts the scroll events the table fires.
  void CountScrolls() {
    table_->BeforeScroll = [this](dataset::TDataSet&) { ++before_scroll_; };
    table_->AfterScroll = [this](dataset::TDataSet&) { ++after_scroll_; };
  }

  static constexpr int kRecords = 6;
  int before_scroll_ = 0;
  int after_scroll_ = 0;
};

TEST_F(DaoTableSearch, FindFirstMatchMakesTheFoundRecordCurrentForTheImportsEdit) {
  table_->Open();
  ASSERT_TRUE(table_->FindFirstMatch("Personalnr", Variant("1003"), 0));
  EXPECT_EQ(Number(), 1003);
  EXPECT_EQ(table_->RecNo(), 4);
  table_->BeginEdit();
  table_->FieldNamed("Geburtsdatum").SetAsDateTime(framework::EncodeDate(1970, 5, 17));
  table_->PostRecord();
  auto rs = database_->CoreDatabase()->OpenRecordset(
      "SELECT Personalnr FROM Geburtstag WHERE Geburtsdatum = #05/17/1970#", Variant(dbOpenSnapshot));
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Fields()->Item(0)->Value().ToInt32(), 1003);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  // A number that is not there: false, and the record stays.
  EXPECT_FALSE(table_->FindFirstMatch("Personalnr", Variant("4711"), 0));
  EXPECT_EQ(Number(), 1003);

  // A record inserted at the current position is found again, and found from there onward.
  // (Default fields: ID, Mitarbeiter, Geburtsdatum, Telefon, Personalnr.)
  table_->InsertValues({Variant(), Variant("Neu"), Variant(framework::EncodeDate(1980, 1, 2)),
                        Variant("0711-99"), Variant("4711")});
  ASSERT_TRUE(table_->FindFirstMatch("Personalnr", Variant("1001"), 0));
  ASSERT_TRUE(table_->FindFirstMatch("Personalnr", Variant("4711"), 0));
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Neu");
  EXPECT_EQ(table_->RecNo(), kRecords + 1);
  EXPECT_FALSE(table_->FindNextMatch("Personalnr", Variant("1002"), 0));
  EXPECT_TRUE(table_->FindPriorMatch("Personalnr", Variant("1002"), 0));
  EXPECT_EQ(Number(), 1002);
  // Searching onward straight after an insert starts from the new record, which stands at the
  // end of the recordset although it was inserted in the middle.
  table_->InsertValues({Variant(), Variant("Neuer"), Variant(framework::EncodeDate(1981, 1, 2)),
                        Variant("gleich"), Variant("4712")});
  EXPECT_FALSE(table_->FindNextMatch("Telefon", Variant("gleich"), 0));
  EXPECT_EQ(Number(), 4712);
  ASSERT_TRUE(table_->FindPriorMatch("Telefon", Variant("gleich"), 0));
  EXPECT_EQ(Number(), 1004);
}

TEST_F(DaoTableSearch, SearchesOnAnEmptyTableReportNoMatchWithoutError) {
  table_->SetTableName("Leer");
  table_->Open();
  EXPECT_FALSE(table_->FindFirstMatch("Personalnr", Variant("4711"), 0));
  EXPECT_FALSE(table_->FindLastMatch("Personalnr", Variant("4711"), 0));
  EXPECT_FALSE(table_->Locate("Personalnr", Variant(4711), 0));
  const Variant none = table_->Lookup("Personalnr", Variant(4711), "ID");
  EXPECT_EQ(none.Type(), framework::VarType::Boolean);
  EXPECT_FALSE(none.ToBool());
}

TEST_F(DaoTableSearch, WrongKeysAreRefusedBeforeAnythingMoves) {
  table_->Open();
  table_->SetRecNo(3);
  CountScrolls();
  EXPECT_EQ(MessageOf([&] { table_->FindFirstMatch("Personalnr;Mitarbeiter", Variant("1003"), 0); }),
            kCountMismatch);
  EXPECT_EQ(MessageOf([&] { table_->Locate("Personalnr;Mitarbeiter", Variant(1003), 0); }),
            kCountMismatch);
  EXPECT_NE(MessageOf([&] { table_->FindFirstMatch("Gibtsnicht", Variant("1"), 0); }), "");
  // Values that would leave their literal are refused, not written into the condition.
  EXPECT_THROW(table_->FindFirstMatch("Personalnr", Variant("1 OR 1=1"), 0), framework::EConvertError);
  EXPECT_FALSE(table_->FindFirstMatch("Mitarbeiter", Variant("x\" OR \"1\"=\"1"), 0));
  EXPECT_EQ(Number(), 1002);
  EXPECT_EQ(before_scroll_ + after_scroll_, 0);
}

TEST_F(DaoTableSearch, TheFourDirectionsAndTheFindHook) {
  table_->Open();
  ASSERT_TRUE(table_->FindLastMatch("Telefon", Variant("gleich"), 0));
  EXPECT_EQ(Number(), 1004);
  // Past the last match: false, and the current record does not change.
  EXPECT_FALSE(table_->FindNextMatch("Telefon", Variant("gleich"), 0));
  EXPECT_EQ(Number(), 1004);
  ASSERT_TRUE(table_->FindPriorMatch("Telefon", Variant("gleich"), 0));
  EXPECT_EQ(Number(), 1002);
  EXPECT_FALSE(table_->FindPriorMatch("Telefon", Variant("gleich"), 0));
  table_->GoFirst();
  ASSERT_TRUE(table_->FindNextMatch("Telefon", Variant("gleich"), 0));
  EXPECT_EQ(Number(), 1002);
  EXPECT_EQ(table_->RecNo(), 3);

  // The dataset's FindFirst ... FindPrior repeat the stored key; without one they find nothing.
  table_->GoFirst();
  EXPECT_FALSE(table_->FindFirst());
  EXPECT_EQ(Number(), 1000);
  table_->SetFindKey("Telefon", Variant("GLEICH"), dataset::loCaseInsensitive);
  EXPECT_TRUE(table_->FindFirst());
  EXPECT_EQ(Number(), 1002);
  EXPECT_TRUE(table_->FindNext());
  EXPECT_EQ(Number(), 1004);
  EXPECT_FALSE(table_->FindNext());
  EXPECT_FALSE(table_->Found());
  EXPECT_TRUE(table_->FindPrior());
  EXPECT_EQ(Number(), 1002);
  EXPECT_TRUE(table_->FindLast());
  EXPECT_EQ(Number(), 1004);
  table_->SetFindKey("Telefon", Variant::Null());
  EXPECT_FALSE(table_->FindFirst());
}

TEST_F(DaoTableSearch, OptionsNullKeysAndSeveralFields) {
  table_->Open();
  EXPECT_TRUE(table_->FindFirstMatch("Mitarbeiter", Variant("NAME 3"), dataset::loCaseInsensitive));
  EXPECT_EQ(Number(), 1003);
  EXPECT_TRUE(table_->FindFirstMatch("Mitarbeiter", Variant("name"),
                                     dataset::loPartialKey | dataset::loCaseInsensitive));
  EXPECT_EQ(Number(), 1000);
  // A wildcard in the key is a plain character.
  EXPECT_FALSE(table_->FindFirstMatch("Mitarbeiter", Variant("N*"), dataset::loPartialKey));
  // Null and the text NULL both stand for a null field.
  EXPECT_TRUE(table_->FindFirstMatch("Telefon", Variant::Null(), 0));
  EXPECT_EQ(Number(), 1005);
  table_->GoFirst();
  EXPECT_TRUE(table_->FindFirstMatch("Telefon", Variant("NULL"), 0));
  EXPECT_EQ(Number(), 1005);
  EXPECT_TRUE(table_->Locate("Telefon;Personalnr",
                             Variant::Array({Variant("gleich"), Variant(1004)}), 0));
  EXPECT_EQ(Number(), 1004);
  EXPECT_TRUE(table_->FindFirstMatch("Geburtsdatum", Variant::Date(20003), 0));
  EXPECT_EQ(Number(), 1003);
}

TEST_F(DaoTableSearch, LocateOnADynasetMovesOnlyWhenItFinds) {
  table_->Open();
  table_->SetRecNo(2);
  CountScrolls();
  ASSERT_TRUE(table_->Locate("Personalnr", Variant(1004), 0));
  EXPECT_EQ(Number(), 1004);
  EXPECT_EQ(table_->RecNo(), 5);
  EXPECT_EQ(before_scroll_, 1);
  EXPECT_EQ(after_scroll_, 1);
  EXPECT_FALSE(table_->Locate("Personalnr", Variant(4711), 0));
  EXPECT_EQ(Number(), 1004);
  EXPECT_EQ(before_scroll_ + after_scroll_, 2);

  // A record being edited is posted before the found one becomes current.
  table_->BeginEdit();
  table_->FieldNamed("Mitarbeiter").SetAsString("Geändert");
  ASSERT_TRUE(table_->Locate("Personalnr", Variant(1000), 0));
  EXPECT_EQ(table_->State(), dataset::stBrowse);
  ASSERT_TRUE(table_->Locate("Mitarbeiter", Variant("geändert"), dataset::loCaseInsensitive));
  EXPECT_EQ(Number(), 1004);

  // Without a connection Locate does nothing.
  TUxDaoTable other(nullptr);
  EXPECT_FALSE(other.Locate("Personalnr", Variant(1000), 0));
}

TEST_F(DaoTableSearch, LocateOnATableTypeRecordsetSeeksOnAnIndex) {
  // Personalnr runs against the order of ID: 2000 (Name 0) down to 1995 (Name 5).
  database_->CoreDatabase()->Execute("UPDATE Geburtstag SET Personalnr = 3000 - Personalnr");
  table_->SetTableType(dbOpenTable);
  table_->SetIndexName("PrimaryKey");
  table_->Open();
  ASSERT_GT(table_->IndexDefs().Count(), 0);
  // AutoFindIndex picks the index of the key field although IndexName names another one; the
  // record found in that index's order is the one that becomes current in the table's order.
  ASSERT_TRUE(table_->Locate("Personalnr", Variant(1997), 0));
  EXPECT_EQ(Number(), 1997);
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 3");
  EXPECT_EQ(table_->RecNo(), 4);
  table_->GoNext();
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 4");

  // One key field of a two-field index: a ">=" seek, which must not stop at a record that only
  // comes after the key.
  ASSERT_TRUE(table_->Locate("Mitarbeiter", Variant("name 2"), 0));
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 2");
  EXPECT_FALSE(table_->Locate("Mitarbeiter", Variant("Name 25"), 0));
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 2");
  ASSERT_TRUE(table_->Locate("Mitarbeiter", Variant("Name 4"), dataset::loPartialKey));
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 4");
  EXPECT_FALSE(table_->Locate("Mitarbeiter", Variant("Nbme"), dataset::loPartialKey));
  ASSERT_TRUE(table_->Locate("Telefon;Mitarbeiter",
                             Variant::Array({Variant("gleich"), Variant("Name 4")}), 0));
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 4");

  // A field no index covers: IndexName is used, which does not hold the key.
  table_->SetAutoFindIndex(false);
  table_->SetIndexName("");
  EXPECT_EQ(MessageOf([&] { table_->Locate("Geburtsdatum", Variant(20001.0), 0); }),
            "Index Property is Empty!\r\nYou must set an index before using Locate with StandardTables");
  // Without AutoFindIndex an empty IndexName still falls back to an index by the fields.
  ASSERT_TRUE(table_->Locate("Personalnr", Variant(1999), 0));
  EXPECT_EQ(table_->FieldNamed("Mitarbeiter").AsString(), "Name 1");
  // The find operations have no Find on a table-type recordset: DAO's error passes on.
  EXPECT_THROW(table_->FindFirstMatch("Personalnr", Variant("1999"), 0), framework::EOleException);
}

TEST_F(DaoTableSearch, LocateOnAStandardTableAfterAnInsertFindsAndEditsTheRightRecord) {
  database_->CoreDatabase()->Execute("DELETE FROM Geburtstag WHERE Personalnr = 1002");
  table_->SetTableType(dbOpenTable);
  table_->SetIndexName("Personalnr");
  table_->Open();
  // A record that takes its place in the middle of the index, added through the table.
  table_->StartAppend();
  table_->FieldNamed("Personalnr").SetAsInteger(1002);
  table_->FieldNamed("Mitarbeiter").SetAsString("Neu");
  table_->PostRecord();
  for (const int number : {1001, 1002, 1003, 1005}) {
    ASSERT_TRUE(table_->Locate("Personalnr", Variant(number), 0)) << number;
    EXPECT_EQ(Number(), number);
  }
  ASSERT_TRUE(table_->Locate("Personalnr", Variant(1003), 0));
  table_->BeginEdit();
  table_->FieldNamed("Telefon").SetAsString("geändert");
  table_->PostRecord();
  auto rs = database_->CoreDatabase()->OpenRecordset("SELECT Personalnr FROM Geburtstag WHERE Telefon = 'geändert'",
                                                     Variant(dbOpenSnapshot));
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Fields()->Item(0)->Value().ToInt32(), 1003);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  // The record count needs no repair check warning when another connection added records.
  auto other = database_->CoreWorkspace()->OpenDatabase(database_->Database());
  other->Execute("INSERT INTO Geburtstag (Personalnr) VALUES (4000)");
  table_->SetWarnOnBadDatabase(true);
  table_->Refresh();
  EXPECT_NO_THROW(table_->GoLast());
  EXPECT_EQ(table_->RecordCount(), kRecords + 1);
  EXPECT_EQ(Number(), 4000);
}

TEST_F(DaoTableSearch, LocateOnTheSecondFieldOfTheOnlyIndexFindsTheRecord) {
  table_->SetTableType(dbOpenTable);
  table_->SetIndexName("NameTelefon");
  table_->Open();
  // The only index holding Telefon is led by Mitarbeiter: a Seek cannot find a Telefon.
  ASSERT_TRUE(table_->Locate("Telefon", Variant("0711-3"), 0));
  EXPECT_EQ(Number(), 1003);
  ASSERT_TRUE(table_->Locate("Telefon", Variant("gleich"), 0));
  EXPECT_EQ(table_->FieldNamed("Telefon").AsString(), "gleich");
  EXPECT_FALSE(table_->Locate("Telefon", Variant("0711-9"), 0));
  EXPECT_EQ(table_->FieldNamed("Telefon").AsString(), "gleich");
}

TEST_F(DaoTableSearch, IndexForFieldsChoosesByCoverage) {
  table_->SetTableType(dbOpenTable);
  table_->Open();
  dataset::TIndexDefs& defs = table_->IndexDefs();
  defs.Clear();
  defs.Add("Breit", "Telefon;Mitarbeiter;Personalnr", 0);
  defs.Add("NameTel", "Mitarbeiter", 0).SetDescFields("Telefon");
  defs.Add("Nur", "Telefon", 0);
  EXPECT_EQ(table_->IndexForFields("!Telefon"), "Nur");
  EXPECT_EQ(table_->IndexForFields("!telefon;MITARBEITER"), "NameTel");  // descending fields count
  // Loose: the first covering index that starts with a key field wins.
  EXPECT_EQ(table_->IndexForFields("Telefon"), "Breit");
  EXPECT_EQ(table_->IndexForFields("Mitarbeiter"), "NameTel");
  // Covering but not starting with a key field: no index, since a Seek could not find the key.
  EXPECT_EQ(table_->IndexForFields("Personalnr"), "");
  EXPECT_EQ(table_->IndexForFields("Geburtsdatum"), "");
  EXPECT_EQ(table_->IndexForFields(""), "");
  table_->Close();
  table_->SetTableType(dbOpenDynaset);
  table_->Open();
  table_->IndexDefs().Add("Nur", "Telefon", 0);
  EXPECT_EQ(table_->IndexForFields("Telefon"), "");
}

TEST_F(DaoTableSearch, LookupReadsAnotherRecordWithoutMoving) {
  table_->Open();
  table_->SetRecNo(2);
  CountScrolls();
  EXPECT_EQ(table_->Lookup("Personalnr", Variant(1003), "Telefon").ToString(), "0711-3");
  const Variant both = table_->Lookup("Personalnr", Variant(1003), "Mitarbeiter;Telefon");
  ASSERT_TRUE(both.IsArray());
  EXPECT_EQ(both.ArrayLowBound(), 0);
  ASSERT_EQ(both.ArrayHighBound(), 1);
  EXPECT_EQ(both.ArrayItem(0).ToString(), "Name 3");
  EXPECT_EQ(both.ArrayItem(1).ToString(), "0711-3");
  EXPECT_EQ(table_->Lookup("Telefon", Variant::Null(), "Personalnr").ToInt32(), 1005);
  EXPECT_EQ(table_->Lookup("Telefon;Mitarbeiter", Variant::Array({Variant("gleich"), Variant("Name 4")}),
                           "Personalnr")
                .ToInt32(),
            1004);
  // No match: the Boolean false, for one and for several result fields.
  for (const char* results : {"Telefon", "Mitarbeiter;Telefon"}) {
    const Variant none = table_->Lookup("Personalnr", Variant(4711), results);
    EXPECT_EQ(none.Type(), framework::VarType::Boolean);
    EXPECT_FALSE(none.ToBool());
  }
  EXPECT_EQ(Number(), 1001);
  EXPECT_EQ(table_->State(), dataset::stBrowse);
  EXPECT_EQ(before_scroll_ + after_scroll_, 0);

  // Refusals come before the recordset's Filter is touched.
  EXPECT_EQ(MessageOf([&] { table_->Lookup("Personalnr", Variant(1003), "Gibtsnicht"); }),
            "Invalid field name: Gibtsnicht");
  EXPECT_EQ(MessageOf([&] { table_->Lookup("Personalnr", Variant(1003), ""); }),
            "ResultFields are not defined");
  EXPECT_EQ(MessageOf([&] { table_->Lookup("Personalnr;ID", Variant(1003), "Telefon"); }),
            kCountMismatch);
  EXPECT_EQ(table_->DaoRecordset()->Filter(), "");
  // A failing engine call puts the Filter back too.
  EXPECT_THROW(table_->Lookup("Personalnr", Variant("1 OR 1=1"), "Telefon"), framework::EConvertError);
  EXPECT_EQ(table_->DaoRecordset()->Filter(), "");
}

TEST_F(DaoTableSearch, LookupOfACalculatedFieldComputesItForTheFoundRecord) {
  auto* number = new dataset::TIntegerField(table_.get());
  number->SetFieldName("Personalnr");
  number->SetDataSet(table_.get());
  auto* name = new dataset::TStringField(table_.get());
  name->SetFieldName("Mitarbeiter");
  name->SetSize(255);
  name->SetDataSet(table_.get());
  auto* twice = new dataset::TIntegerField(table_.get());
  twice->SetFieldName("Doppelt");
  twice->SetFieldKind(dataset::fkCalculated);
  twice->SetDataSet(table_.get());
  table_->OnCalcFields = [&](dataset::TDataSet&) { twice->SetAsInteger(number->AsInteger() * 2); };
  table_->Open();
  const Variant values = table_->Lookup("Personalnr", Variant(1004), "Mitarbeiter;Doppelt");
  ASSERT_TRUE(values.IsArray());
  EXPECT_EQ(values.ArrayItem(0).ToString(), "Name 4");
  EXPECT_EQ(values.ArrayItem(1).ToInt32(), 2008);
  EXPECT_EQ(table_->Lookup("Personalnr", Variant(1001), "Doppelt").ToInt32(), 2002);
  // The current record and its calculated field are untouched.
  EXPECT_EQ(number->AsInteger(), 1000);
  EXPECT_EQ(twice->AsInteger(), 2000);
  EXPECT_EQ(table_->State(), dataset::stBrowse);
}

// A forward-only recordset has no bookmarks: Locate walks it instead, and the find operations
// find nothing.
TEST_F(DaoTableSearch, WithoutBookmarksLocateWalksTheRecordset) {
  table_->SetTableType(dbOpenForwardOnly);
  table_->Open();
  ASSERT_FALSE(table_->BookmarksSupported());
  EXPECT_FALSE(table_->FindFirstMatch("Personalnr", Variant("1003"), 0));
  CountScrolls();
  ASSERT_TRUE(table_->Locate("Mitarbeiter", Variant("*ME 3*"),
                             dataset::loPartialKey | dataset::loCaseInsensitive));
  EXPECT_EQ(Number(), 1003);
  EXPECT_EQ(after_scroll_, 1);
}

}  // namespace
}  // namespace dao
