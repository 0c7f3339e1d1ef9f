// Editing, inserting, posting, cancelling, deleting and InsertValues of the generic dataset:
// the call orders, the error-event loop with each answer, and where the cursor ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataset/numeric_fields.h"
#include "framework/exception.h"
#include "tests/dataset/test_support.h"

namespace dataset_test {
namespace {

using ::testing::ElementsAre;
using framework::Variant;
using Strings = std::vector<std::string>;

class Editing : public ::testing::Test {
 protected:
  void SetUp() override {
    FillPeople(ds, 3);
    ds.Open();
    ds.GoNext();  // on record 2
    ds.LogEvents();
    ds.log.clear();
  }
  int Id() { return ds.FieldNamed("ID").AsInteger(); }
  std::string Name() { return ds.FieldNamed("Name").AsString(); }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int i = 0; i < ds.RowCount(); ++i) names.push_back(ds.Row(i)[1].ToString());
    return names;
  }
  MemoryDataSet ds;
};

const Strings kEditCalls = {"CanModifyData", "BeforeEdit",   "EditRecord",
                            "AfterEdit",     "BeforePost",   "StoreRecord", "ResyncBuffers",
                            "AfterPost",     "BeforeCancel", "CancelRecord", "AfterCancel",
                            "BookmarkFlagOf", "CursorToRecord", "CursorToFirst", "CursorToLast"};

TEST_F(Editing, BeginEditAndPost) {
  ds.BeginEdit();
  EXPECT_EQ(ds.State(), dataset::stEdit);
  ds.FieldNamed("Name").SetAsString("Zwei");
  EXPECT_TRUE(ds.Modified());
  ds.PostRecord();
  EXPECT_THAT(ds.LogOf(kEditCalls),
              ElementsAre("CanModifyData", "BeforeEdit", "EditRecord", "AfterEdit", "BeforePost",
                          "StoreRecord", "ResyncBuffers()", "AfterPost"));
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_FALSE(ds.Modified());
  EXPECT_EQ(Name(), "Zwei");
  EXPECT_THAT(Names(), ElementsAre("P1", "Zwei", "P3"));
}

TEST_F(Editing, BeginEditInEditStateDoesNothingAndOnAnEmptyDatasetInserts) {
  ds.BeginEdit();
  ds.log.clear();
  ds.BeginEdit();
  EXPECT_TRUE(ds.log.empty());

  MemoryDataSet empty;
  FillPeople(empty, 0);
  empty.Open();
  empty.BeginEdit();
  EXPECT_EQ(empty.State(), dataset::stInsert);
}

TEST_F(Editing, BeginEditRecalculatesCalculatedFields) {
  ds.Close();
  ds.log.clear();
  auto* id = new dataset::TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* twice = new dataset::TIntegerField(&ds);
  twice->SetFieldName("Twice");
  twice->SetFieldKind(dataset::fkCalculated);
  twice->SetDataSet(&ds);
  ds.OnCalcFields = [&](dataset::TDataSet&) { twice->SetAsInteger(id->AsInteger() * 2); };
  ds.Open();
  ds.GoNext();
  EXPECT_EQ(twice->AsInteger(), 4);
  ds.log.clear();
  ds.BeginEdit();
  EXPECT_THAT(ds.LogOf({"CanModifyData", "BeforeEdit", "EditRecord", "ClearCalcArea", "AfterEdit"}),
              ElementsAre("CanModifyData", "BeforeEdit", "EditRecord", "ClearCalcArea", "AfterEdit"));
  id->SetAsInteger(21);
  EXPECT_EQ(twice->AsInteger(), 42) << "a changed data field recalculates";
  ds.CancelEdit();
  EXPECT_EQ(twice->AsInteger(), 4);
}

TEST_F(Editing, ReadOnlyDatasetRefusesEveryChangeBeforeAnyEvent) {
  ds.read_only = true;
  ds.SetName("Fahrer");
  try {
    ds.BeginEdit();
    FAIL();
  } catch (const framework::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Fahrer: Cannot modify a read-only dataset");
  }
  EXPECT_THROW(ds.StartInsert(), framework::EDatabaseError);
  EXPECT_THROW(ds.DeleteRecord(), framework::EDatabaseError);
  EXPECT_THROW(ds.InsertValues({Variant(9)}), framework::EDatabaseError);
  EXPECT_TRUE(ds.LogOf({"BeforeEdit", "BeforeInsert", "BeforeDelete", "RemoveRecord"}).empty());
  EXPECT_EQ(ds.RowCount(), 3);
}

TEST_F(Editing, AssigningInBrowseStateIsRefused) {
  try {
    ds.FieldNamed("Name").SetAsString("X");
    FAIL();
  } catch (const framework::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
  }
}

TEST_F(Editing, StartInsertOpensABufferAtTheActivePosition) {
  ds.StartInsert();
  EXPECT_THAT(ds.LogOf({"CanModifyData", "BeforeInsert", "BookmarkText", "InitRecordBuffer",
                        "ClearCalcArea", "SetBookmarkFlagOf", "SetBookmarkOfBuffer",
                        "NewRecordHook", "OnNewRecord", "AfterInsert"}),
              ElementsAre("CanModifyData", "BeforeInsert", "BookmarkText", "InitRecordBuffer",
                          "ClearCalcArea", "SetBookmarkFlagOf(3)", "SetBookmarkOfBuffer",
                          "NewRecordHook", "OnNewRecord", "AfterInsert"));
  EXPECT_EQ(ds.State(), dataset::stInsert);
  EXPECT_TRUE(ds.FieldNamed("ID").IsNull());
  EXPECT_EQ(ds.Ring(ds.ActiveIndex())->bookmark, 2) << "carries the bookmark of the record it precedes";
  ds.FieldNamed("ID").SetAsInteger(7);
  ds.FieldNamed("Name").SetAsString("Neu");
  ds.PostRecord();
  EXPECT_THAT(Names(), ElementsAre("P1", "Neu", "P2", "P3"));
  EXPECT_EQ(Name(), "Neu");
  ds.GoNext();
  EXPECT_EQ(Name(), "P2");
}

TEST_F(Editing, InsertIntoAnEmptyDatasetFlagsTheBufferBof) {
  MemoryDataSet empty;
  FillPeople(empty, 0);
  empty.Open();
  empty.log.clear();
  empty.StartInsert();
  EXPECT_THAT(empty.LogOf({"SetBookmarkFlagOf", "SetBookmarkOfBuffer"}),
              ElementsAre("SetBookmarkFlagOf(3)", "SetBookmarkFlagOf(1)"));
  empty.log.clear();
  empty.CancelEdit();
  EXPECT_THAT(empty.LogOf({"BookmarkFlagOf", "CursorToFirst", "CursorToLast", "CursorToRecord"}),
              ElementsAre("BookmarkFlagOf", "CursorToFirst"))
      << "a bmfBof buffer is made current with CursorToFirst";
  EXPECT_TRUE(empty.IsEmpty());
}

TEST_F(Editing, CancelledInsertReturnsToTheRecordItPreceded) {
  ds.StartInsert();
  ds.FieldNamed("Name").SetAsString("Weg");
  ds.log.clear();
  ds.CancelEdit();
  EXPECT_THAT(ds.LogOf(kEditCalls),
              ElementsAre("BeforeCancel", "BookmarkFlagOf", "CursorToRecord", "CancelRecord",
                          "ResyncBuffers()", "AfterCancel"));
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_EQ(Name(), "P2");
  EXPECT_EQ(ds.RowCount(), 3);
}

TEST_F(Editing, AppendedRecordGoesLastAndIsMadeCurrentByCursorToLast) {
  ds.StartAppend();
  EXPECT_THAT(ds.LogOf({"CursorToLast", "SetBookmarkFlagOf"}),
              ElementsAre("CursorToLast", "SetBookmarkFlagOf(3)", "SetBookmarkFlagOf(2)"));
  EXPECT_TRUE(ds.AtEnd());
  ds.FieldNamed("Name").SetAsString("Ende");
  ds.log.clear();
  ds.PostRecord();
  EXPECT_THAT(ds.LogOf({"BookmarkFlagOf", "CursorToLast", "StoreRecord"}),
              ElementsAre("BookmarkFlagOf", "CursorToLast", "StoreRecord"));
  EXPECT_THAT(Names(), ElementsAre("P1", "P2", "P3", "Ende"));
  EXPECT_EQ(Name(), "Ende");
}

TEST_F(Editing, CheckBrowseModePostsAModifiedRecordAndCancelsAnUnmodifiedOne) {
  ds.BeginEdit();
  ds.FieldNamed("Name").SetAsString("Geändert");
  ds.GoNext();  // leaves edit by posting
  EXPECT_THAT(Names(), ElementsAre("P1", "Geändert", "P3"));
  ds.BeginEdit();
  ds.log.clear();
  ds.GoFirst();
  EXPECT_THAT(ds.LogOf({"StoreRecord", "CancelRecord"}), ElementsAre("CancelRecord"));
}

TEST_F(Editing, DeleteRemovesTheRecordAndTheNextBecomesCurrent) {
  ds.DeleteRecord();
  EXPECT_THAT(ds.LogOf(
                  {"CanModifyData", "BeforeDelete", "RemoveRecord", "ResyncBuffers", "AfterDelete"}),
              ElementsAre("CanModifyData", "BeforeDelete", "RemoveRecord", "ResyncBuffers()",
                          "AfterDelete"));
  EXPECT_THAT(Names(), ElementsAre("P1", "P3"));
  EXPECT_EQ(Name(), "P3");
  ds.DeleteRecord();
  EXPECT_EQ(Name(), "P1") << "deleting the last record makes the new last one current";
}

TEST_F(Editing, DeletingWhileWalkingEndsTheWalk) {
  // The shape of a synchronisation pass: delete what is not wanted, else move on.
  ds.GoFirst();
  int steps = 0;
  while (!ds.AtEnd() && steps++ < 20) {
    if (ds.FieldNamed("ID").AsInteger() != 2)
      ds.DeleteRecord();
    else
      ds.GoNext();
    if (ds.IsEmpty()) break;
  }
  EXPECT_THAT(Names(), ElementsAre("P2"));
  EXPECT_LT(steps, 20);
}

TEST_F(Editing, DeleteInEditStateCancelsAndOnAnEmptyDatasetIsRefused) {
  ds.BeginEdit();
  ds.FieldNamed("Name").SetAsString("X");
  ds.log.clear();
  ds.DeleteRecord();
  EXPECT_THAT(ds.LogOf({"RemoveRecord", "CancelRecord"}), ElementsAre("CancelRecord"));
  EXPECT_EQ(ds.RowCount(), 3);
  EXPECT_EQ(Name(), "P2");

  MemoryDataSet empty;
  FillPeople(empty, 0);
  empty.Open();
  EXPECT_THROW(empty.DeleteRecord(), framework::EDatabaseError);
}

// ---------------------------------------------------------------------------------------------
// InsertValues

TEST_F(Editing, InsertValuesInsertsAtTheActivePositionAndPosts) {
  ds.InsertValues({Variant(9), Variant("Neun")});
  EXPECT_THAT(ds.LogOf({"CanModifyData", "BeforeInsert", "InitRecordBuffer", "ClearCalcArea",
                        "SetBookmarkFlagOf", "SetBookmarkOfBuffer", "NewRecordHook", "AfterInsert",
                        "WriteFieldValue", "BeforePost", "AddRecordAt", "StoreRecord",
                        "ResyncBuffers", "AfterPost"}),
              ElementsAre("CanModifyData", "BeforeInsert", "InitRecordBuffer", "ClearCalcArea",
                          "SetBookmarkFlagOf(3)", "NewRecordHook", "AfterInsert",
                          "WriteFieldValue(ID)", "WriteFieldValue(Name)", "BeforePost",
                          "AddRecordAt(insert)", "ResyncBuffers()",
                          "ClearCalcArea" /* of the resync's fetch */, "AfterPost"));
  EXPECT_THAT(Names(), ElementsAre("P1", "Neun", "P2", "P3"));
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_EQ(Name(), "Neun");
}

TEST_F(Editing, InsertValuesMakesTheActiveRecordCurrentFirst) {
  ds.CursorPosChanged();  // as after a walk of the cursor by the subclass
  ds.log.clear();
  ds.InsertValues({Variant(8)});
  EXPECT_THAT(ds.LogOf({"BeforeInsert", "BookmarkFlagOf", "CursorToRecord", "InitRecordBuffer",
                        "AddRecordAt"}),
              ElementsAre("BeforeInsert", "BookmarkFlagOf", "CursorToRecord", "InitRecordBuffer",
                          "AddRecordAt(insert)"));
  EXPECT_EQ(ds.Row(1)[0].ToInt32(), 8) << "inserted in front of the active record 2";
}

TEST_F(Editing, InsertValuesThatFailPutTheBufferBack) {
  const std::vector<int32_t> ring = ds.RingIds();
  ds.fail_store = 1;
  EXPECT_THROW(ds.InsertValues({Variant(9), Variant("Neun")}), framework::EDatabaseError);
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_EQ(ds.RingIds(), ring);
  EXPECT_EQ(Name(), "P2");
  EXPECT_EQ(ds.RowCount(), 3);

  EXPECT_THROW(ds.InsertValues({Variant("zwölf")}), framework::EConvertError);
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_EQ(Name(), "P2");
  EXPECT_EQ(ds.RowCount(), 3);
  EXPECT_TRUE(ds.LogOf({"AddRecordAt"}).size() == 1) << "only the first attempt reached the store";
}

TEST_F(Editing, InsertValuesRefusesMoreValuesThanFields) {
  EXPECT_THROW(ds.InsertValues({Variant(1), Variant("a"), Variant("b")}), framework::EDatabaseError);
  EXPECT_TRUE(ds.LogOf({"BeforeInsert"}).empty());
}

TEST(InsertValuesImport, ConvertsTextsIntoTheFieldsInFieldOrder) {
  MemoryDataSet ds;
  ds.AddColumn("ID", dataset::ftAutoInc);
  ds.AddColumn("Mitarbeiter", dataset::ftString, 255);
  ds.AddColumn("Geburtsdatum", dataset::ftDateTime);
  ds.AddColumn("Telefon", dataset::ftString, 255);
  ds.AddColumn("Personalnr", dataset::ftInteger);
  // Persistent fields in the order the import relies on.
  for (auto [name, type] : std::vector<std::pair<std::string, dataset::TFieldType>>{
           {"Personalnr", dataset::ftInteger},
           {"Geburtsdatum", dataset::ftDateTime},
           {"Mitarbeiter", dataset::ftString},
           {"Telefon", dataset::ftString},
           {"ID", dataset::ftAutoInc}}) {
    dataset::TField* field = dataset::CreateFieldOfType(type, &ds);
    field->SetFieldName(name);
    if (type == dataset::ftString) field->SetSize(255);
    field->SetDataSet(&ds);
  }
  ds.Open();
  const double birthday = framework::EncodeDate(1970, 5, 17);
  ds.InsertValues({Variant("4711"), Variant(birthday), Variant("Müller"), Variant("0815")});
  ds.InsertValues({Variant(""), Variant(birthday), Variant("Ohne"), Variant("")});
  ASSERT_EQ(ds.RowCount(), 2);
  // The second insert went in front of the first (at the active position).
  EXPECT_EQ(ds.Row(1)[4].ToInt32(), 4711);
  EXPECT_EQ(ds.Row(1)[2].ToDate(), birthday);
  EXPECT_EQ(ds.Row(1)[1].ToString(), "Müller");
  EXPECT_TRUE(ds.Row(0)[4].IsNull()) << "an empty text leaves the integer field empty";
  EXPECT_THROW(ds.InsertValues({Variant("12a")}), framework::EConvertError);
  EXPECT_EQ(ds.RowCount(), 2);
}

TEST_F(Editing, RequiredFieldsMustHaveAValueBeforeStoring) {
  ds.FieldNamed("Name").SetRequired(true);
  ds.StartInsert();
  ds.FieldNamed("ID").SetAsInteger(5);
  try {
    ds.PostRecord();
    FAIL();
  } catch (const framework::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
  }
  EXPECT_EQ(ds.State(), dataset::stInsert);
  EXPECT_TRUE(ds.LogOf({"StoreRecord"}).empty());
}

// ---------------------------------------------------------------------------------------------
// The error-event loop

TEST_F(Editing, EditErrorFailRaises) {
  ds.fail_edit = 1;
  int calls = 0;
  ds.OnEditError = [&](dataset::TDataSet&, framework::Exception& e, dataset::TDataAction& action) {
    ++calls;
    EXPECT_STREQ(e.what(), "The record is locked");
    EXPECT_EQ(action, dataset::eaFail);
  };
  EXPECT_THROW(ds.BeginEdit(), framework::EDatabaseError);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_TRUE(ds.LogOf({"AfterEdit"}).empty());
}

TEST_F(Editing, EditErrorAbortGivesUpQuietly) {
  ds.fail_edit = 1;
  ds.OnEditError = [](dataset::TDataSet&, framework::Exception&, dataset::TDataAction& action) {
    action = dataset::eaAbort;
  };
  EXPECT_NO_THROW(ds.BeginEdit());
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_TRUE(ds.LogOf({"AfterEdit"}).empty());
}

TEST_F(Editing, EditErrorRetryCallsTheOperationAgain) {
  ds.fail_edit = 2;
  int calls = 0;
  ds.OnEditError = [&](dataset::TDataSet&, framework::Exception&, dataset::TDataAction& action) {
    ++calls;
    action = dataset::eaRetry;
  };
  ds.BeginEdit();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ds.LogOf({"EditRecord"}).size(), 3u);
  EXPECT_EQ(ds.State(), dataset::stEdit);
}

TEST_F(Editing, EditErrorWithoutHandlerRaises) {
  ds.fail_edit = 1;
  EXPECT_THROW(ds.BeginEdit(), framework::EDatabaseError);
  EXPECT_EQ(ds.State(), dataset::stBrowse);
}

TEST_F(Editing, PostErrorAnswers) {
  ds.BeginEdit();
  ds.FieldNamed("Name").SetAsString("Neu");
  dataset::TDataAction answer = dataset::eaFail;
  int calls = 0;
  ds.OnPostError = [&](dataset::TDataSet&, framework::Exception&, dataset::TDataAction& action) {
    ++calls;
    action = answer;
  };
  ds.fail_store = 1;
  EXPECT_THROW(ds.PostRecord(), framework::EDatabaseError);
  EXPECT_EQ(ds.State(), dataset::stEdit) << "a failed post keeps the edit";

  answer = dataset::eaAbort;
  ds.fail_store = 1;
  EXPECT_NO_THROW(ds.PostRecord());
  EXPECT_EQ(ds.State(), dataset::stEdit);
  EXPECT_TRUE(ds.LogOf({"AfterPost"}).empty());

  answer = dataset::eaRetry;
  ds.fail_store = 1;
  ds.log.clear();
  ds.PostRecord();
  EXPECT_THAT(ds.LogOf({"StoreRecord", "AfterPost"}),
              ElementsAre("StoreRecord", "StoreRecord", "AfterPost"));
  EXPECT_EQ(calls, 3);
  EXPECT_THAT(Names(), ElementsAre("P1", "Neu", "P3"));
}

TEST_F(Editing, DeleteErrorAnswers) {
  dataset::TDataAction answer = dataset::eaFail;
  ds.OnDeleteError = [&](dataset::TDataSet&, framework::Exception&, dataset::TDataAction& action) {
    action = answer;
  };
  ds.fail_remove = 1;
  EXPECT_THROW(ds.DeleteRecord(), framework::EDatabaseError);
  answer = dataset::eaAbort;
  ds.fail_remove = 1;
  EXPECT_NO_THROW(ds.DeleteRecord());
  EXPECT_EQ(ds.RowCount(), 3);
  EXPECT_TRUE(ds.LogOf({"AfterDelete"}).empty());
  answer = dataset::eaRetry;
  ds.fail_remove = 1;
  ds.DeleteRecord();
  EXPECT_EQ(ds.RowCount(), 2);
  EXPECT_EQ(ds.LogOf({"AfterDelete"}).size(), 1u);
}

}  // namespace
}  // namespace dataset_test
