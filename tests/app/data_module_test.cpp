#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/data_module.h"
#include "dao/dao_interfaces.h"
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
