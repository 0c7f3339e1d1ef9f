#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/data_module.h"
#include "dao/dao_interfaces.h"
#include "dataset/field_defs.h"
#include "engine/engine.h"
#include "framework/com.h"
#include "framework/exception.h"

namespace app {
namespace {

class DataModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { engine::RegisterEngineClasses(); }
  void SetUp() override {
    char tmpl[] = "/tmp/geb_data_XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Ini(const std::string& content) {
    const std::string path = dir_ + "/geburtstage.ini";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  // An empty database of the engine in the test's folder.
  std::string Database(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    auto engine = std::dynamic_pointer_cast<dao::DBEngine>(framework::CreateOleObject("DAO.DBEngine.36"));
    engine->CreateDatabase(path)->Close();
    return path;
  }
  std::string dir_;
};

TEST_F(DataModuleTest, TheFormGivesTheConnectionItsSettingsClosed) {
  TData data(nullptr);
  ASSERT_NE(nullptr, data.Datenbank);
  EXPECT_FALSE(data.Datenbank->Connected());
  EXPECT_EQ("Access", data.Datenbank->DatabaseType());
  EXPECT_EQ("3.6", data.Datenbank->Version());
  EXPECT_EQ("DaoWorkspace", data.Datenbank->Workspace());
  EXPECT_EQ("Admin", data.Datenbank->UserName());
  EXPECT_FALSE(data.Datenbank->LoginPrompt());
  EXPECT_TRUE(data.Datenbank->SmartOpen());
  EXPECT_EQ(60, data.Datenbank->QueryTimeout());
}

TEST_F(DataModuleTest, FahrerIsTheBirthdayTableWithItsFieldsInOrder) {
  const std::string db = Database("Geb.mdb");
  {
    auto engine = std::dynamic_pointer_cast<dao::DBEngine>(framework::CreateOleObject("DAO.DBEngine.36"));
    auto database = engine->OpenDatabase(db);
    database->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
                      "Mitarbeiter TEXT(255), Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
    database->Execute("INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Personalnr) "
                      "VALUES (\"M\xC3\xBCller\", #12/24/1970#, 4711)");
    database->Close();
  }
  TData data(nullptr);
  EXPECT_EQ(data.Fahrer, data.Fahrer1->DataSet());
  EXPECT_EQ(data.Datenbank, data.Fahrer->Database());
  EXPECT_EQ("Geburtstag", data.Fahrer->TableName());
  EXPECT_EQ(2, data.Fahrer->TableType());
  EXPECT_EQ(3, data.Fahrer->LockType());
  EXPECT_FALSE(data.Fahrer->Active());
  EXPECT_EQ("select * from tarvikfahrer", data.Query->SQL().Text("").substr(0, 26));
  ASSERT_EQ(3, data.Query->FieldDefs().Count());
  EXPECT_EQ(dataset::ftAutoInc, data.Query->FieldDefs().Items(0).DataType());
  EXPECT_EQ("Vorname", data.Query->FieldDefs().Items(2).Name());
  EXPECT_EQ(255, data.Query->FieldDefs().Items(2).Size());
  data.DataModuleCreate(Ini("[DB]\nMain=" + db + "\n"));
  data.Fahrer->Open();
  ASSERT_EQ(5, data.Fahrer->FieldCount());
  const char* order[] = {"Personalnr", "Geburtsdatum", "Mitarbeiter", "Telefon", "ID"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(order[i], data.Fahrer->Fields()[i]->FieldName());
  EXPECT_EQ(4711, data.FahrerPersonalnr->AsInteger());
  EXPECT_EQ("M\xC3\xBCller", data.FahrerMitarbeiter->AsString());
  EXPECT_TRUE(data.FahrerID->ReadOnly());
  EXPECT_FALSE(data.Query->Active());
}

TEST_F(DataModuleTest, ReadsTheFourValuesAndConnects) {
  const std::string db = Database("Geb.mdb");
  TData data(nullptr);
  data.DataModuleCreate(Ini("[DB]\nMain=" + db + "\nPass=\n[option]\nstartimport=4\n"
                            "datei=/import/export.csv\n"));
  EXPECT_EQ(4, data.StartImport);
  EXPECT_EQ("/import/export.csv", data.ImportFile);
  EXPECT_TRUE(data.Datenbank->Connected());
  EXPECT_EQ(db, data.Datenbank->Database());
}

TEST_F(DataModuleTest, MissingOrOddFilesGiveTheDefaultsAndTheConnectError) {
  for (const std::string& path :
       {dir_ + "/none.ini", Ini(""), Ini("[option]\nstartimport=vier\n"), Ini("\x01\x02\xFF=[")}) {
    TData data(nullptr);
    try {
      data.DataModuleCreate(path);
      FAIL() << path;
    } catch (const framework::EDatabaseError& e) {
      EXPECT_EQ("TUxDaoDatabase.F_Set_Active: Database property is not defined!", e.Message());
    }
    EXPECT_EQ(1, data.StartImport) << path;
    EXPECT_EQ("", data.ImportFile);
    EXPECT_FALSE(data.Datenbank->Connected());
  }
}

TEST_F(DataModuleTest, AWrongPasswordLeavesTheConnectionClosed) {
  const std::string db = Database("Geb.mdb");
  TData data(nullptr);
  EXPECT_THROW(data.DataModuleCreate(Ini("[DB]\nMain=" + db + "\nPass=falsch\n")), framework::Exception);
  EXPECT_FALSE(data.Datenbank->Connected());
  // Corrected, the same module connects.
  data.DataModuleCreate(Ini("[DB]\nMain=" + db + "\n"));
  EXPECT_TRUE(data.Datenbank->Connected());
}

}  // namespace
}  // namespace app
