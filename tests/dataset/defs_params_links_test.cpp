// Field and index definitions, parameters and their SQL parser, data sources, data links and
// the master link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataset/index_defs.h"
#include "dataset/master_data_link.h"
#include "dataset/params.h"
#include "framework/exception.h"
#include "tests/dataset/test_support.h"

namespace dataset_test {
namespace {

using ::testing::ElementsAre;
using framework::Variant;

TEST(FieldDefs, AreNumberedAndFoundByNameIgnoringCase) {
  MemoryDataSet ds;
  dataset::TFieldDefs& defs = ds.FieldDefs();
  defs.Add("ID", dataset::ftAutoInc);
  defs.Add("Name", dataset::ftString, 50, true);
  EXPECT_EQ(defs.Count(), 2);
  EXPECT_EQ(defs.FieldDefNamed("name").FieldNo(), 2);
  EXPECT_TRUE(defs.Items(1).Required());
  EXPECT_EQ(defs.IndexOf("Nope"), -1);
  EXPECT_THROW(defs.Add("NAME", dataset::ftInteger), framework::EDatabaseError);
  EXPECT_THROW(defs.FieldDefNamed("Nope"), framework::EDatabaseError);
}

TEST(FieldDefs, UpdateReadsThemFromAClosedDataset) {
  MemoryDataSet ds;
  FillPeople(ds, 1);
  ds.FieldDefs().Update();
  EXPECT_EQ(ds.FieldDefs().Count(), 2);
  EXPECT_EQ(ds.FieldDefs().Items(1).Size(), 20);
  EXPECT_EQ(ds.FieldCount(), 0) << "no fields are made by reading definitions";
}

TEST(IndexDefs, HoldFieldsDescendingFieldsAndOptions) {
  MemoryDataSet ds;
  dataset::TIndexDefs& defs = ds.IndexDefs();
  defs.Add("PrimaryKey", "ID", dataset::ixPrimary | dataset::ixUnique);
  dataset::TIndexDef& by_name = defs.Add("ByName", "Name", 0);
  by_name.SetDescFields("Datum");
  defs.Add("ByNameCity", "Name;City", 0);
  EXPECT_TRUE(defs.IndexNamed("primarykey").HasOption(dataset::ixUnique));
  EXPECT_EQ(defs.IndexNamed("ByName").DescFields(), "Datum");
  EXPECT_EQ(defs.FindIndexForFields("name"), &by_name);
  EXPECT_EQ(defs.FindIndexForFields("Name;City")->Name(), "ByNameCity");
  EXPECT_EQ(defs.FindIndexForFields("City"), nullptr);
  EXPECT_THROW(defs.Add("BYNAME", "X", 0), framework::EDatabaseError);
  EXPECT_THROW(defs.IndexNamed("Nope"), framework::EDatabaseError);
  defs.Delete(0);
  EXPECT_EQ(defs.IndexOf("PrimaryKey"), -1);
}

TEST(Params, ParserCollectsNamesOutsideLiterals) {
  dataset::TParams params;
  const std::vector<std::string> names = params.ParseSQL(
      "select * from [a:b] where Jahr = :Jahr and Monat=:monat and x = ':nein' and "
      "y = \":auch nicht\" and d = #01/15/2003 10:30:00# and t = '10:30' and z = :JAHR and "
      "w = :\"Ort Name\" and v::text",
      true);
  EXPECT_THAT(names, ElementsAre("Jahr", "monat", "Ort Name"));
  ASSERT_EQ(params.Count(), 3);
  EXPECT_EQ(params[0].DataType(), dataset::ftUnknown);
  EXPECT_EQ(params[0].ParamType(), dataset::ptInput);
  EXPECT_TRUE(params[0].IsNull());
  EXPECT_TRUE(params.ParseSQL("a:id, 12:30", false).empty());
}

TEST(Params, ValuesCarryOverByNameWhenTheTextChanges) {
  dataset::TParams current;
  current.ParseSQL("where Jahr = :Jahr", true);
  current.ParamByName("jahr").SetAsInteger(2003);
  dataset::TParams rebuilt;
  rebuilt.ParseSQL("where Jahr = :Jahr and Monat = :Monat", true);
  rebuilt.AssignValues(current);
  EXPECT_EQ(rebuilt.ParamByName("Jahr").Value(), Variant(2003));
  EXPECT_EQ(rebuilt.ParamByName("Jahr").DataType(), dataset::ftInteger);
  EXPECT_TRUE(rebuilt.ParamByName("Monat").IsNull());
  EXPECT_FALSE(rebuilt.ParamByName("Monat").Bound());
  dataset::TParams copy = rebuilt;
  EXPECT_TRUE(copy.IsEqual(rebuilt));
  copy.ParamByName("Monat").SetAsString("Mai");
  EXPECT_FALSE(copy.IsEqual(rebuilt));
  EXPECT_THROW(copy.ParamByName("Tag"), framework::EDatabaseError);
}

TEST(Params, TakeTypeAndValueFromAField) {
  MemoryDataSet ds;
  FillPeople(ds, 1);
  ds.Open();
  dataset::TParams params;
  dataset::TParam& id = params.CreateParam(dataset::ftUnknown, "ID", dataset::ptInput);
  id.AssignFieldValue(ds.FieldNamed("ID"), ds.FieldNamed("ID").Value());
  EXPECT_EQ(id.DataType(), dataset::ftInteger);
  EXPECT_EQ(id.AsInteger(), 1);
  dataset::TParam& name = params.CreateParam(dataset::ftMemo, "Name", dataset::ptInput);
  name.AssignFieldValue(ds.FieldNamed("Name"), Variant("x"));
  EXPECT_EQ(name.DataType(), dataset::ftMemo) << "a known type is kept";
  name.AssignField(ds.FieldNamed("Name"));
  EXPECT_EQ(name.DataType(), dataset::ftString);
  EXPECT_EQ(name.AsString(), "P1");
}

TEST(DataSources, PassNotificationsWhileEnabledAndRefuseCircularLinks) {
  MemoryDataSet ds;
  FillPeople(ds, 2);
  dataset::TDataSource source(nullptr);
  RecordingLink link;
  link.SetDataSource(&source);
  source.SetDataSet(&ds);
  std::vector<dataset::DataSetState> states;
  source.OnStateChange = [&](dataset::TDataSource& s) { states.push_back(s.State()); };
  ds.Open();
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(link.DataSet(), &ds);
  ds.BeginEdit();
  EXPECT_TRUE(link.Editing());
  ds.CancelEdit();
  source.SetEnabled(false);
  EXPECT_FALSE(link.Active());
  link.events.clear();
  ds.GoNext();
  EXPECT_TRUE(link.events.empty());
  source.SetEnabled(true);
  EXPECT_THAT(states, ElementsAre(dataset::stBrowse, dataset::stEdit, dataset::stBrowse,
                                  dataset::stInactive, dataset::stBrowse));

  // A dataset whose master is `source` cannot become `source`'s dataset.
  class Detail : public MemoryDataSet {
   public:
    dataset::TDataSource* master = nullptr;
    dataset::TDataSource* DataSource() const override { return master; }
  } detail;
  detail.master = &source;
  EXPECT_TRUE(source.IsLinkedTo(&detail));
  EXPECT_TRUE(detail.IsLinkedTo(&source) == false);
  EXPECT_THROW(source.SetDataSet(&detail), framework::EDatabaseError);
  EXPECT_EQ(source.DataSet(), &ds);
  dataset::TDataSource own(nullptr);
  own.SetDataSet(&detail);
  detail.master = nullptr;
  EXPECT_TRUE(detail.IsLinkedTo(&own));
  ds.Close();
}

TEST(DataSources, DisableControlsHoldsNotificationsBack) {
  MemoryDataSet ds;
  FillPeople(ds, 3);
  dataset::TDataSource source(nullptr);
  source.SetDataSet(&ds);
  RecordingLink link;
  link.SetDataSource(&source);
  ds.Open();
  link.events.clear();
  ds.DisableControls();
  EXPECT_TRUE(ds.ControlsDisabled());
  ds.GoNext();
  ds.GoNext();
  EXPECT_TRUE(link.events.empty());
  ds.EnableControls();
  EXPECT_THAT(link.events, ElementsAre("changed"));
}

TEST(DataSources, DestroyingEitherSideDetachesTheOther) {
  auto* ds = new MemoryDataSet;
  FillPeople(*ds, 1);
  auto* source = new dataset::TDataSource(nullptr);
  RecordingLink link;
  link.SetDataSource(source);
  source->SetDataSet(ds);
  ds->Open();
  delete ds;
  EXPECT_EQ(source->DataSet(), nullptr);
  EXPECT_FALSE(link.Active());
  delete source;
  EXPECT_EQ(link.DataSource(), nullptr);
}

TEST(MasterLink, ResolvesMasterFieldsAndReportsChanges) {
  MemoryDataSet master;
  FillPeople(master, 3);
  dataset::TDataSource source(nullptr);
  source.SetDataSet(&master);
  MemoryDataSet detail;
  FillPeople(detail, 1);
  detail.Open();
  dataset::TMasterDataLink link(&detail);
  std::vector<std::string> seen;
  link.OnMasterChange = [&] { seen.push_back("change"); };
  link.OnMasterDisable = [&] { seen.push_back("disable"); };
  link.SetFieldNames("ID;Name");
  link.SetDataSource(&source);
  EXPECT_TRUE(link.Fields().empty()) << "inactive while the master is closed";
  master.Open();
  ASSERT_EQ(link.Fields().size(), 2u);
  EXPECT_EQ(link.Fields()[1], &master.FieldNamed("Name"));
  master.GoNext();
  master.BeginEdit();
  master.FieldNamed("Name").SetAsString("X");  // a link field changed
  master.CancelEdit();
  master.Close();
  // Naming the fields while the master is closed: disable. Then the master opens, scrolls,
  // enters edit (whole record), changes a link field, is re-read by the cancel, and closes.
  EXPECT_THAT(seen, ElementsAre("disable", "change", "change", "change", "change", "change",
                                "disable"));
  EXPECT_TRUE(link.Fields().empty());
  master.Open();
  EXPECT_THROW(link.SetFieldNames("Nope"), framework::EDatabaseError);
}

}  // namespace
}  // namespace dataset_test
