#include "tests/support/dao_fake.h"

#include <gtest/gtest.h>

namespace daofake {
namespace {

using ::testing::Return;
using ::testing::Throw;

TEST(DaoFake, EveryInterfaceCanBeScripted) {
  // Building one of each proves that the mocks cover every member of the interfaces.
  auto engine = std::make_shared<MockDBEngine>();
  auto workspace = std::make_shared<MockWorkspace>();
  auto database = std::make_shared<MockDatabase>();
  auto recordset = std::make_shared<MockRecordset>();
  MockField field;
  MockIndex index;
  MockTableDef tabledef;
  MockQueryDef querydef;
  MockParameter parameter;
  MockProperty property;
  MockError error;
  MockContainer container;
  MockRelation relation;
  MockUser user;
  MockGroup group;

  EXPECT_CALL(*engine, CreateWorkspace("DaoWorkspace", Variant("Admin"), Variant(""), Variant(2)))
      .WillOnce(Return(workspace));
  EXPECT_CALL(*workspace, OpenDatabase("x.mdb", Variant(false), Variant(false), Variant("")))
      .WillOnce(Throw(dao::EOleException(dao::err::kNotADatabase, "Unrecognized database format")));
  dao::DBEngine& e = *engine;
  auto ws = e.CreateWorkspace("DaoWorkspace", Variant("Admin"), Variant(""), Variant(2));
  try {
    ws->OpenDatabase("x.mdb", Variant(false), Variant(false), Variant(""));
    FAIL();
  } catch (const dao::EOleException& ex) {
    EXPECT_EQ(3343, ex.ErrorCode());
  }
}

TEST(DaoFake, NamedCollectionFindsByNameOrPositionAndAnswers3265) {
  NamedCollection<dao::TableDef> tables;
  auto a = std::make_shared<MockTableDef>();
  tables.Add("Geburtstag", a);
  EXPECT_EQ(1, tables.Count());
  EXPECT_EQ(a, tables.Item("GEBURTSTAG"));
  EXPECT_EQ(a, tables.Item(0));
  try {
    tables.Item("Fahrer");
    FAIL();
  } catch (const dao::EOleException& ex) {
    EXPECT_EQ(dao::err::kNotInCollection, ex.ErrorCode());
  }
  EXPECT_THROW(tables.Item(1), dao::EOleException);
  tables.Refresh();
  EXPECT_EQ(1, tables.refresh_count);
  tables.Delete("geburtstag");
  EXPECT_EQ(0, tables.Count());
}

}  // namespace
}  // namespace daofake
