// Opening, closing, the buffer ring with one and with ten buffers, navigation, bookmarks and
// record numbers of the generic dataset, checked through the call log of the memory dataset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataset/numeric_fields.h"
#include "framework/exception.h"
#include "tests/dataset/test_support.h"

namespace dataset_test {
namespace {

using ::testing::ElementsAre;
using Strings = std::vector<std::string>;

TEST(DataSetOpenClose, OpenCallsCursorOpenThenAllocatesAndFillsTheRing) {
  MemoryDataSet ds;
  FillPeople(ds, 3);
  ds.LogEvents();
  ds.Open();
  EXPECT_THAT(ds.LogOf({"BeforeOpen", "CursorOpen", "NewRecordBuffer", "FetchRecord", "AfterOpen"}),
              ElementsAre("BeforeOpen", "CursorOpen", "NewRecordBuffer", "NewRecordBuffer",
                          "NewRecordBuffer", "NewRecordBuffer", "FetchRecord(next)", "AfterOpen"));
  EXPECT_EQ(ds.State(), dataset::stBrowse);
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 2);
  EXPECT_TRUE(ds.DefaultFields());
  EXPECT_EQ(ds.FieldNamed("Name").AsString(), "P1");
  EXPECT_TRUE(ds.AtStart());
  EXPECT_FALSE(ds.AtEnd());

  ds.log.clear();
  ds.Close();
  EXPECT_THAT(ds.LogOf({"BeforeClose", "DisposeRecordBuffer", "CursorClose", "AfterClose"}),
              ElementsAre("BeforeClose", "DisposeRecordBuffer", "DisposeRecordBuffer",
                          "DisposeRecordBuffer", "DisposeRecordBuffer", "CursorClose", "AfterClose"));
  EXPECT_EQ(ds.State(), dataset::stInactive);
  EXPECT_EQ(ds.live_buffers, 0);
  EXPECT_EQ(ds.FieldCount(), 0) << "default fields are destroyed on close";
}

TEST(DataSetOpenClose, StateIsBrowseOnlyAfterTheRingIsFilled) {
  MemoryDataSet ds;
  FillPeople(ds, 1);
  std::vector<dataset::DataSetState> seen;
  ds.BeforeOpen = [&](dataset::TDataSet& d) { seen.push_back(d.State()); };
  ds.AfterOpen = [&](dataset::TDataSet& d) { seen.push_back(d.State()); };
  ds.Open();
  EXPECT_THAT(seen, ElementsAre(dataset::stInactive, dataset::stBrowse));
  ds.Open();  // already open: nothing happens
  EXPECT_EQ(seen.size(), 2u);
}

TEST(DataSetOpenClose, PersistentFieldsStayAndAreRebound) {
  MemoryDataSet ds;
  FillPeople(ds, 2);
  auto* id = new dataset::TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  ds.Open();
  EXPECT_FALSE(ds.DefaultFields());
  EXPECT_EQ(ds.FieldCount(), 1) << "only the persistent field, no default fields";
  EXPECT_EQ(id->FieldNo(), 1);
  EXPECT_EQ(id->AsInteger(), 1);
  ds.Close();
  ASSERT_EQ(ds.FieldCount(), 1);
  EXPECT_EQ(ds.Fields()[0], id);
  EXPECT_EQ(id->FieldNo(), 0);
  ds.Open();
  EXPECT_EQ(id->AsInteger(), 1);
}

TEST(DataSetOpenClose, AFailedOpenLeavesTheDatasetClosedWithoutBuffers) {
  MemoryDataSet ds;
  FillPeople(ds, 2);
  auto* missing = new dataset::TIntegerField(&ds);
  missing->SetFieldName("Nummer");
  missing->SetDataSet(&ds);
  EXPECT_THROW(
      try { ds.Open(); } catch (const framework::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Nummer' not found");
        throw;
      },
      framework::EDatabaseError);
  EXPECT_EQ(ds.State(), dataset::stInactive);
  EXPECT_EQ(ds.live_buffers, 0);
  EXPECT_FALSE(ds.CursorIsOpenForTest());
}

TEST(DataSetOpenClose, ClosedDatasetRefusesRecordOperations) {
  MemoryDataSet ds;
  ds.SetName("Fahrer");
  FillPeople(ds, 1);
  try {
    ds.GoFirst();
    FAIL() << "expected a refusal";
  } catch (const framework::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Fahrer: Cannot perform this operation on a closed dataset");
  }
  EXPECT_THROW(ds.RecordCount(), framework::EDatabaseError);
  EXPECT_THROW(ds.BeginEdit(), framework::EDatabaseError);
}

// ---------------------------------------------------------------------------------------------
// Navigation with one buffer

class OneBuffer : public ::testing::Test {
 protected:
  void SetUp() override {
    FillPeople(ds, 5);
    ds.Open();
    ds.LogEvents();
    ds.log.clear();
  }
  int Id() { return ds.FieldNamed("ID").AsInteger(); }
  Strings Moves() {
    return ds.LogOf({"BeforeScroll", "AfterScroll", "CursorToFirst", "CursorToLast",
                     "FetchRecord", "CursorToRecord", "BookmarkFlagOf"});
  }
  MemoryDataSet ds;
};

TEST_F(OneBuffer, GoFirstPlacesTheCursorThenFetchesForward) {
  ds.GoNext();
  ds.log.clear();
  ds.GoFirst();
  EXPECT_THAT(Moves(), ElementsAre("BeforeScroll", "CursorToFirst", "FetchRecord(next)",
                                   "AfterScroll"));
  EXPECT_EQ(Id(), 1);
  EXPECT_TRUE(ds.AtStart());
  EXPECT_FALSE(ds.AtEnd());
}

TEST_F(OneBuffer, GoLastPlacesTheCursorAfterTheEndThenFetchesBackward) {
  ds.GoLast();
  EXPECT_THAT(Moves(), ElementsAre("BeforeScroll", "CursorToLast", "FetchRecord(prior)",
                                   "AfterScroll"));
  EXPECT_EQ(Id(), 5);
  EXPECT_TRUE(ds.AtEnd());
}

TEST_F(OneBuffer, GoNextFetchesPastTheRingAndSetsTheEndMark) {
  ds.GoNext();
  EXPECT_THAT(Moves(), ElementsAre("BeforeScroll", "FetchRecord(next)", "AfterScroll"));
  EXPECT_EQ(Id(), 2);
  int visited = 1;
  while (!ds.AtEnd()) {
    ds.GoNext();
    if (!ds.AtEnd()) ++visited;
  }
  EXPECT_EQ(visited, 4);
  EXPECT_EQ(Id(), 5) << "the last record stays active when the end mark is set";
}

TEST_F(OneBuffer, StepByCountsTheRecordsItMoved) {
  EXPECT_EQ(ds.StepBy(3), 3);
  EXPECT_EQ(Id(), 4);
  EXPECT_EQ(ds.StepBy(5), 1);
  EXPECT_TRUE(ds.AtEnd());
  EXPECT_EQ(ds.StepBy(1), 0) << "nothing moves past the end mark";
  EXPECT_EQ(ds.StepBy(-10), -4);
  EXPECT_TRUE(ds.AtStart());
  EXPECT_EQ(Id(), 1);
}

TEST_F(OneBuffer, AnEmptyDatasetIsAtBothEnds) {
  MemoryDataSet empty;
  FillPeople(empty, 0);
  empty.Open();
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(empty.AtStart());
  EXPECT_TRUE(empty.AtEnd());
  empty.GoNext();
  empty.GoLast();
  EXPECT_TRUE(empty.AtEnd());
  EXPECT_TRUE(empty.FieldNamed("ID").IsNull());
}

TEST_F(OneBuffer, RecordCountAndRecNoGoThroughTheSubclass) {
  EXPECT_EQ(ds.RecordCount(), 5);
  ds.GoNext();
  EXPECT_EQ(ds.RecNo(), 2);
  ds.log.clear();
  ds.SetRecNo(4);
  EXPECT_EQ(ds.log.front(), "MoveToRecNo(4)");
  EXPECT_EQ(Id(), 4);
  EXPECT_EQ(ds.RecNo(), 4);
}

TEST_F(OneBuffer, BookmarksReturnToTheRecordExactlyAndCentered) {
  ds.GoNext();
  const dataset::TBookmark mark = ds.TakeBookmark();
  ASSERT_EQ(mark.size(), 4u);
  ds.GoLast();
  ds.log.clear();
  ds.ReturnToBookmark(mark);
  EXPECT_THAT(ds.LogOf({"InternalGotoBookmark", "ResyncBuffers", "BeforeScroll", "AfterScroll"}),
              ElementsAre("BeforeScroll", "InternalGotoBookmark", "ResyncBuffers(exact,center)",
                          "AfterScroll"));
  EXPECT_EQ(Id(), 2);
  EXPECT_TRUE(ds.BookmarkValid(mark));
  const dataset::TBookmark last = [&] {
    ds.GoLast();
    return ds.TakeBookmark();
  }();
  EXPECT_EQ(ds.CompareBookmarks(mark, last), -1);
  EXPECT_EQ(ds.CompareBookmarks(last, mark), 1);
  EXPECT_EQ(ds.CompareBookmarks(mark, mark), 0);
}

TEST_F(OneBuffer, BookmarkTextGoesThroughTheSubclass) {
  ds.GoNext();
  const std::string text = ds.Bookmark();
  ASSERT_EQ(text.size(), 4u);
  ds.GoFirst();
  ds.SetBookmark(text);
  EXPECT_EQ(Id(), 2);
  EXPECT_THROW(ds.SetBookmark("xy"), framework::EDatabaseError);
}

TEST_F(OneBuffer, ExactResyncOnAVanishedRecordRaisesRecordNotFound) {
  ds.GoNext();
  const dataset::TBookmark mark = ds.TakeBookmark();
  ds.DeleteRecord();
  EXPECT_FALSE(ds.BookmarkValid(mark));
  EXPECT_THROW(ds.ReturnToBookmark(mark), framework::EDatabaseError);
}

TEST(DataSetBookmarks, WithoutBookmarksNoneIsTaken) {
  MemoryDataSet ds;
  ds.bookmarks = false;
  FillPeople(ds, 2);
  ds.Open();
  EXPECT_EQ(ds.BookmarkSize(), 0);
  EXPECT_TRUE(ds.TakeBookmark().empty());
  EXPECT_TRUE(ds.Bookmark().empty());
  ds.ReturnToBookmark({});  // nothing to return to: no move, no error
  EXPECT_EQ(ds.FieldNamed("ID").AsInteger(), 1);
}

// ---------------------------------------------------------------------------------------------
// The ring with several buffers

class TenBuffers : public ::testing::Test {
 protected:
  void SetUp() override {
    FillPeople(ds, 25);
    source.SetDataSet(&ds);
    link.SetDataSource(&source);
    link.SetBufferCount(10);
    ds.Open();
  }
  int Id() { return ds.FieldNamed("ID").AsInteger(); }
  static std::vector<int32_t> Range(int from, int to) {
    std::vector<int32_t> ids;
    for (int i = from; i <= to; ++i) ids.push_back(i);
    return ids;
  }
  MemoryDataSet ds;
  dataset::TDataSource source{nullptr};
  RecordingLink link;
};

TEST_F(TenBuffers, OpeningFillsAllTenBuffers) {
  EXPECT_EQ(ds.BufferCount(), 10);
  EXPECT_EQ(ds.FilledCount(), 10);
  EXPECT_EQ(ds.RingIds(), Range(1, 10));
  EXPECT_EQ(ds.ActiveIndex(), 0);
  EXPECT_EQ(ds.live_buffers, 13) << "ten buffers, the spare, the temporary and the calculation buffer";
  EXPECT_EQ(link.RecordCount(), 10);
  EXPECT_EQ(link.ActiveRecord(), 0);
}

TEST_F(TenBuffers, MovingInsideTheRingFetchesNothing) {
  ds.log.clear();
  EXPECT_EQ(ds.StepBy(9), 9);
  EXPECT_TRUE(ds.LogOf({"FetchRecord"}).empty());
  EXPECT_EQ(Id(), 10);
  EXPECT_EQ(link.ActiveRecord(), 9);
}

TEST_F(TenBuffers, MovingPastTheRingDropsTheFirstRecord) {
  ds.StepBy(9);
  ds.log.clear();
  ds.GoNext();
  EXPECT_THAT(ds.LogOf({"FetchRecord"}), ElementsAre("FetchRecord(next)"));
  EXPECT_EQ(ds.RingIds(), Range(2, 11));
  EXPECT_EQ(ds.ActiveIndex(), 9);
  EXPECT_EQ(Id(), 11);
  ds.StepBy(20);
  EXPECT_TRUE(ds.AtEnd());
  EXPECT_EQ(ds.RingIds(), Range(16, 25));
  EXPECT_EQ(Id(), 25);
}

TEST_F(TenBuffers, MovingBackPastTheRingMakesTheFirstBufferCurrentAndFetchesPrior) {
  ds.GoLast();
  EXPECT_EQ(ds.RingIds(), Range(16, 25));
  EXPECT_EQ(ds.ActiveIndex(), 9);
  ds.GoFirst();
  ds.StepBy(12);  // ring 4..13, the cursor on 13
  ds.StepBy(-9);
  EXPECT_EQ(Id(), 4);
  ds.log.clear();
  ds.GoPrior();
  EXPECT_THAT(ds.LogOf({"BookmarkFlagOf", "CursorToRecord", "FetchRecord"}),
              ElementsAre("BookmarkFlagOf", "CursorToRecord", "FetchRecord(prior)"));
  EXPECT_EQ(ds.RingIds(), Range(3, 12));
  EXPECT_EQ(Id(), 3);
  ds.log.clear();
  ds.GoPrior();  // the cursor already stands on the first buffer's record
  EXPECT_THAT(ds.LogOf({"BookmarkFlagOf", "CursorToRecord", "FetchRecord"}),
              ElementsAre("FetchRecord(prior)"));
}

TEST_F(TenBuffers, ResyncCentersTheRecordOrKeepsItsPlace) {
  ds.StepBy(14);  // record 15
  ASSERT_EQ(Id(), 15);
  const dataset::TBookmark mark = ds.TakeBookmark();
  ds.GoFirst();
  ds.ReturnToBookmark(mark);
  EXPECT_EQ(Id(), 15);
  EXPECT_EQ(ds.ActiveIndex(), 4) << "(10 - 1) / 2 records before it";
  EXPECT_EQ(ds.RingIds(), Range(11, 20));
  ds.StepBy(2);  // record 17 at index 6; the cursor stands on record 20
  ds.log.clear();
  ds.Refresh();  // makes the active record current, then resyncs keeping its place
  const Strings calls =
      ds.LogOf({"BookmarkFlagOf", "CursorToRecord", "RefreshRecords", "ResyncBuffers"});
  ASSERT_GE(calls.size(), 4u);
  EXPECT_THAT(Strings(calls.begin(), calls.begin() + 4),
              ElementsAre("BookmarkFlagOf", "CursorToRecord", "RefreshRecords", "ResyncBuffers()"));
  EXPECT_EQ(ds.ActiveIndex(), 6);
  EXPECT_EQ(Id(), 17);
  EXPECT_EQ(ds.RingIds(), Range(11, 20));
}

TEST_F(TenBuffers, ChangingTheLinksBufferCountResizesTheRing) {
  ds.StepBy(7);
  link.SetBufferCount(3);
  EXPECT_EQ(ds.BufferCount(), 3);
  EXPECT_EQ(ds.FilledCount(), 3);
  EXPECT_EQ(Id(), 8) << "the active record survives the shrink";
  EXPECT_EQ(ds.live_buffers, 6);
  link.SetBufferCount(6);
  EXPECT_EQ(ds.FilledCount(), 6);
  EXPECT_EQ(Id(), 8);
  EXPECT_EQ(link.RecordCount(), 6);
}

TEST_F(TenBuffers, LinkSeesScrollsAndEditing) {
  link.events.clear();
  ds.GoNext();
  ds.BeginEdit();
  ds.FieldNamed("Name").SetAsString("X");
  ds.PostRecord();
  EXPECT_THAT(link.events, ElementsAre("scrolled", "editing", "record", "record:Name",
                                       "update", "not editing", "changed"));
}

}  // namespace
}  // namespace dataset_test
