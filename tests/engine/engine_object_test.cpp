// The engine object through the COM stand-in: creation by ProgID, workspaces, Errors holding the
// last failure, transactions, and the objects that exist for counting and refreshing.
#include <gtest/gtest.h>

#include "framework/com.h"
#include "tests/engine/engine_test_support.h"
#include "tools/dbsh_output.h"

namespace engine_test {
namespace {

using namespace dao;

TEST_F(EngineTest, CreatedByProgIdWithWorkspacesAndErrors) {
  engine::RegisterEngineClasses();
  for (const char* id : {"DAO.DBEngine.36", "DAO.PrivateDBEngine.36"}) {
    auto engine = std::dynamic_pointer_cast<DBEngine>(framework::CreateOleObject(id));
    ASSERT_NE(engine, nullptr) << id;
    EXPECT_EQ(engine->Version(), "3.6");
    engine->SetSystemDB("system.mdb");
    engine->SetDefaultUser("Admin");
    engine->SetDefaultPassword("");
    engine->SetDefaultType(dbUseJet);
    auto ws = engine->CreateWorkspace("DaoWorkspace", Variant("Admin"), Variant(""), Variant(dbUseJet));
    engine->Workspaces()->Append(ws);
    engine->Workspaces()->Refresh();
    EXPECT_EQ(engine->Workspaces()->Item("daoworkspace")->Name(), "DaoWorkspace");
    engine->Idle(Variant(dbFreeLocks));
    engine->Idle(Variant(dbRefreshCache));
    engine->Properties()->Refresh();
    EXPECT_GT(engine->Properties()->Count(), 0);
  }
  EXPECT_FALSE(framework::IsOleClassRegistered("DAO.DBEngine.35"));
  // The last failure is item 0 of Errors.
  EXPECT_EQ(ErrorOf([&] { ws_->OpenDatabase(Path("nowhere.mdb")); }), err::kFileNotFound);
  auto errors = engine_->Errors();
  ASSERT_GT(errors->Count(), 0);
  EXPECT_EQ(errors->Item(0)->Number(), err::kFileNotFound);
  EXPECT_NE(errors->Item(0)->Description().find("nowhere.mdb"), std::string::npos);
  // ODBC workspaces connect through unixODBC; an unknown data source is "ODBC--call failed.".
  auto odbc = engine_->CreateWorkspace("odbc", Variant("x"), Variant("y"), Variant(dbUseODBC));
  EXPECT_EQ(ErrorOf([&] { odbc->OpenConnection("dsn", Variant(dbDriverNoPrompt), Variant(false), Variant("ODBC;DSN=keine_quelle_x")); }),
            err::kODBCCallFailed);
}

TEST_F(EngineTest, TransactionsAndCollectionsThatAnswer) {
  CreateBirthdays(3);
  ws_->BeginTrans();
  db_->Execute("DELETE FROM Geburtstag");
  EXPECT_EQ(db_->RecordsAffected(), 3);
  ws_->Rollback();
  EXPECT_EQ(db_->TableDefs()->Item("Geburtstag")->RecordCount(), 3);
  EXPECT_EQ(ErrorOf([&] { ws_->CommitTrans(); }), err::kTransactionState);
  for (auto refresh : {std::function<void()>([&] { db_->TableDefs()->Refresh(); }),
                       std::function<void()>([&] { db_->QueryDefs()->Refresh(); }),
                       std::function<void()>([&] { db_->Containers()->Refresh(); }),
                       std::function<void()>([&] { db_->Relations()->Refresh(); }),
                       std::function<void()>([&] { db_->Recordsets()->Refresh(); }),
                       std::function<void()>([&] { db_->Properties()->Refresh(); }),
                       std::function<void()>([&] { ws_->Users()->Refresh(); }),
                       std::function<void()>([&] { ws_->Groups()->Refresh(); }),
                       std::function<void()>([&] { ws_->Databases()->Refresh(); })})
    EXPECT_NO_THROW(refresh());
  EXPECT_EQ(ws_->Databases()->Count(), 1);
  EXPECT_EQ(db_->CollatingOrder(), dbSortGeneral);
  EXPECT_EQ(db_->Version(), "4.0");
  auto rs = db_->OpenRecordset("Geburtstag");
  EXPECT_EQ(rs->Type(), dbOpenTable);
  EXPECT_EQ(db_->Recordsets()->Count(), 1);
  db_->Close();
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), err::kObjectInvalid);
}

TEST(DbshOutput, InvariantForms) {
  using dbsh::FormatValue;
  EXPECT_EQ(FormatValue(Variant::Null(), dbText), "NULL");
  EXPECT_EQ(FormatValue(Variant("a\\b\tc\r\nd"), dbText), "a\\\\b\\tc\\r\\nd");
  EXPECT_EQ(FormatValue(Variant(42), dbLong), "42");
  EXPECT_EQ(FormatValue(Variant(0.1), dbDouble), "0.1");
  EXPECT_EQ(FormatValue(Variant(2.0), dbDouble), "2");
  EXPECT_EQ(FormatValue(Variant::Single(1.1f), dbSingle), "1.1");
  EXPECT_EQ(FormatValue(Variant::CurrencyScaled(123450), dbCurrency), "12.3450");
  EXPECT_EQ(FormatValue(Variant::CurrencyScaled(-5), dbCurrency), "-0.0005");
  EXPECT_EQ(FormatValue(Variant(true), dbBoolean), "True");
  EXPECT_EQ(FormatValue(Variant::Date(37636.9375), dbDate), "2003-01-15 22:30:00");
  EXPECT_EQ(FormatValue(Variant("{guid {abcdef01-2345-6789-abcd-ef0123456789}}"), dbGUID),
            "{ABCDEF01-2345-6789-ABCD-EF0123456789}");
  EXPECT_EQ(FormatValue(Variant(std::vector<uint8_t>{0x0a, 0xff}), dbLongBinary), "0x0AFF");
}

}  // namespace
}  // namespace engine_test
