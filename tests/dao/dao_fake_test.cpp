// The scripted fake stands in for the engine: errors at a chosen call, collections by position
// and name, counts that differ between a recordset and its snapshot.
#include <gtest/gtest.h>

#include "tests/dao/fake/dao_fake.h"

namespace {

using ::testing::Return;
using namespace dao_fake;

TEST(DaoFake, ScriptsAnAutomationErrorAtAChosenCall) {
  auto rs = std::make_shared<::testing::NiceMock<MockRecordset>>();
  EXPECT_CALL(*rs, Edit()).WillOnce([] { ThrowDaoError(3167, "Record is deleted."); }).WillOnce(Return());
  std::shared_ptr<dao::Recordset> as_dao = rs;
  try {
    as_dao->Edit();
    FAIL() << "Edit should have failed";
  } catch (const dao::EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), 3167);
    EXPECT_EQ(e.Message(), "Record is deleted.");
  }
  EXPECT_NO_THROW(as_dao->Edit());
}

TEST(DaoFake, CollectionsServeItemsByPositionAndName) {
  auto fields = std::make_shared<::testing::NiceMock<MockCollection<dao::Field>>>();
  auto id = std::make_shared<::testing::NiceMock<MockField>>();
  ON_CALL(*id, Name()).WillByDefault(Return("ID"));
  fields->Serve({id}, {"ID"});
  std::shared_ptr<dao::Fields> as_dao = fields;
  EXPECT_EQ(as_dao->Count(), 1);
  EXPECT_EQ(as_dao->Item("id")->Name(), "ID");
  EXPECT_EQ(as_dao->Item(0), id);
  try {
    as_dao->Item(3);
    FAIL() << "Item(3) should fail";
  } catch (const dao::EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), dao::err::kNotInCollection);
  }
}

TEST(DaoFake, SnapshotCountCanDifferFromRecordCount) {
  auto table = std::make_shared<::testing::NiceMock<MockRecordset>>();
  auto snapshot = std::make_shared<::testing::NiceMock<MockRecordset>>();
  ON_CALL(*table, RecordCount()).WillByDefault(Return(10));
  ON_CALL(*snapshot, RecordCount()).WillByDefault(Return(12));
  EXPECT_CALL(*table, OpenRecordset(Variant(dao::dbOpenSnapshot), ::testing::_)).WillOnce(Return(snapshot));
  std::shared_ptr<dao::Recordset> rs = table;
  auto snap = rs->OpenRecordset(Variant(dao::dbOpenSnapshot));
  EXPECT_NE(snap->RecordCount(), rs->RecordCount());
}

}  // namespace
