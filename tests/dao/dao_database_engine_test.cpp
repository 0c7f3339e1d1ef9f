// The connection component on the real engine: databases in a temporary folder, the file beside
// the test program, name lists, query definitions, indexes, bad input, and the data module's
// settings read from their form file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "engine/engine.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "framework/form_reader.h"
#include "framework/registry.h"

namespace dao {
namespace {

using framework::EDatabaseError;
using framework::EOleException;

class Messages : public framework::MessageSink {
 public:
  Messages() { framework::Application().SetMessageSink(this); }
  ~Messages() override { framework::Application().SetMessageSink(nullptr); }
  void ShowError(const std::string&, const std::string& m) override { shown.push_back(m); }
  void ShowMessage(const std::string&, const std::string& m) override { shown.push_back(m); }
  std::vector<std::string> shown;
};

class CancellingDialogs : public ILoginDialogFactory {
  struct Dialog : ILoginDialog {
    void SetUserName(const std::string&) override {}
    void SetPassword(const std::string&) override {}
    void SetDbPassword(const std::string&) override {}
    void SetDatabaseName(const std::string&) override {}
    void FocusUserName() override {}
    bool Execute() override { return false; }
    std::string UserName() const override { return ""; }
    std::string Password() const override { return ""; }
    std::string DbPassword() const override { return ""; }
  };

 public:
  std::unique_ptr<ILoginDialog> CreateLoginDialog() override { return std::make_unique<Dialog>(); }
};

class DaoDatabaseOnEngine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    engine::RegisterEngineClasses();
    framework::SetRegistry(nullptr);  // the default contents mirror the registered engine
    framework::Application().Initialize(nullptr);
  }

  void SetUp() override {
    static int n = 0;
    folder_ = std::filesystem::temp_directory_path() /
              ("geb_dao_engine_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
    std::filesystem::create_directories(folder_);
    db_file = Path("geburtstage.mdb");
    CreateSampleDatabase(db_file);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  // A database with the birthday table, an index on the personnel number and a stored query.
  static void CreateSampleDatabase(const std::string& path) {
    auto eng = engine::CreateEngine();
    auto db = eng->CreateDatabase(path);
    db->Execute(
        "CREATE TABLE Geburtstag (ID COUNTER, Mitarbeiter TEXT(255), Geburtsdatum DATETIME, "
        "Telefon TEXT(255), Personalnr LONG)");
    db->Execute("CREATE UNIQUE INDEX Personalnr ON Geburtstag (Personalnr)");
    db->Execute("CREATE TABLE Abteilung (ID COUNTER, Name TEXT(50))");
    db->CreateQueryDef(Variant("Alle"), Variant("SELECT * FROM Geburtstag"));
    db->Close();
  }

  std::string db_file;

 private:
  std::filesystem::path folder_;
};

TEST_F(DaoDatabaseOnEngine, ConnectsListsNamesAndDisconnects) {
  TUxDaoDatabase db(nullptr);
  EXPECT_EQ("3.6", db.Version());
  EXPECT_EQ("3.6", db.VersionDetails());
  EXPECT_EQ("Access\nODBC\n", db.DatabaseTypes().Text());
  db.SetDatabase(db_file);
  db.SetConnected(true);
  ASSERT_TRUE(db.Connected());
  EXPECT_FALSE(db.DatabaseVersionInfo().empty());
  EXPECT_EQ(TUxDaoDatabase::CollatingOrderName(db.DatabaseCollatingOrder()), db.DatabaseLanguage());
  EXPECT_NE("", db.DatabaseLanguage());
  EXPECT_EQ("Abteilung\nGeburtstag\n", db.TableNames().Text());
  EXPECT_EQ("Alle\n", db.QueryDefNames().Text());

  // The engine's own tables appear only when asked for.
  db.SetShowSystemObjects(true);
  EXPECT_GT(db.TableNames().Count(), 2);
  for (int i = 0; i < db.TableNames().Count(); ++i) {
    const std::string& name = db.TableNames().Strings(i);
    if (name == "Abteilung" || name == "Geburtstag") continue;
    EXPECT_NE(0, db.CoreDatabase()->TableDefs()->Item(name)->Attributes() & dbSystemObject) << name;
  }
  db.SetShowSystemObjects(false);
  EXPECT_EQ(2, db.TableNames().Count());

  db.SetConnected(false);
  EXPECT_FALSE(db.Connected());
  EXPECT_EQ(0, db.TableNames().Count());
  EXPECT_TRUE(db.CoreWorkspace());
  db.SetConnected(true);  // again, on the same engine and workspace
  EXPECT_TRUE(db.Connected());
}

TEST_F(DaoDatabaseOnEngine, SmartOpenUsesTheFileBesideTheProgram) {
  const std::string name = "geb_smartopen_" + std::to_string(::getpid()) + ".mdb";
  const std::string beside = framework::Application().ExeFolder() + name;
  std::filesystem::copy_file(db_file, beside, std::filesystem::copy_options::overwrite_existing);
  struct Remove {
    std::string path;
    ~Remove() { std::filesystem::remove(path); }
  } remove{beside};
  TUxDaoDatabase db(nullptr);
  db.SetDatabase(Path("moved/away/") + name);
  db.SetConnected(true);
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(beside, db.Database());
  db.SetConnected(false);
  db.SetSmartOpen(false);
  db.SetDatabase(Path("moved/away/") + name);
  try {
    db.SetConnected(true);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ("Cannot find Database:\r\n" + Path("moved/away/") + name, e.Message());
  }
}

TEST_F(DaoDatabaseOnEngine, QueryDefinitionAndIndexServices) {
  TUxDaoDatabase db(nullptr);
  db.SetDatabase(db_file);
  db.SetConnected(true);
  EXPECT_EQ("SELECT * FROM Geburtstag", db.GetQueryDefSQL("Alle"));
  EXPECT_EQ("", db.GetQueryDefSQL("Missing"));
  EXPECT_TRUE(db.CreateQueryDef("NachNummer", "SELECT * FROM Geburtstag ORDER BY Personalnr"));
  EXPECT_EQ("Alle\nNachNummer\n", db.QueryDefNames().Text());
  db.SetQueryDefSQL("NachNummer", "SELECT Personalnr FROM Geburtstag");
  EXPECT_EQ("SELECT Personalnr FROM Geburtstag", db.GetQueryDefSQL("NachNummer"));
  EXPECT_THROW(db.SetQueryDefSQL("Missing", "SELECT 1"), EOleException);

  EXPECT_EQ(1, db.CoreDatabase()->TableDefs()->Item("Geburtstag")->Indexes()->Count());
  db.DeleteIndex("Geburtstag", "Personalnr");
  EXPECT_EQ(0, db.CoreDatabase()->TableDefs()->Item("Geburtstag")->Indexes()->Count());
  EXPECT_THROW(db.DeleteIndex("Geburtstag", "Personalnr"), EOleException);
  // The engine keeps the failure as its first error.
  EXPECT_NE(0, db.LastDaoError().Number);

  // Stored queries survive the connection.
  db.SetConnected(false);
  db.SetConnected(true);
  EXPECT_EQ("SELECT Personalnr FROM Geburtstag", db.GetQueryDefSQL("NachNummer"));
}

TEST_F(DaoDatabaseOnEngine, BadInputEndsInAClearErrorAndCanBeCorrected) {
  Messages messages;
  TUxDaoDatabase db(nullptr);
  auto connect_error = [&]() -> std::string {
    try {
      db.SetConnected(true);
    } catch (const framework::Exception& e) {
      EXPECT_FALSE(db.Connected());
      return e.Message();
    }
    return "";
  };
  EXPECT_EQ("TUxDaoDatabase.F_Set_Active: Database property is not defined!", connect_error());
  const std::string folder = Path("");
  db.SetDatabase(folder);
  EXPECT_EQ("Cannot find Database:\r\n" + folder, connect_error());
  const std::string text_file = Path("notes.mdb");
  std::ofstream(text_file) << "this is not a database, just some text that is long enough\n";
  db.SetDatabase(text_file);
  const std::string not_db = connect_error();
  EXPECT_NE("", not_db);
  EXPECT_EQ(err::kNotADatabase, db.LastDaoError().Number) << not_db;

  db.SetDatabase(db_file);
  db.SetUserName("Fremder");
  EXPECT_NE("", connect_error());  // not a valid account
  db.SetUserName("Admin");
  db.SetPassword("falsch");
  EXPECT_NE("", connect_error());
  db.SetPassword("");

  // A cancelled login: the engine refuses the empty user, and the connect ends quietly.
  CancellingDialogs cancelling;
  db.SetLoginDialogFactory(&cancelling);
  db.SetLoginPrompt(true);
  EXPECT_EQ("", connect_error());
  EXPECT_FALSE(db.Connected());
  EXPECT_EQ(1u, messages.shown.size());

  db.SetLoginPrompt(false);
  db.SetUserName("Admin");
  db.SetConnected(true);
  EXPECT_TRUE(db.Connected());
}

TEST_F(DaoDatabaseOnEngine, OdbcAndInstalledFormatsAnswerWithTheEnginesError) {
  TUxDaoDatabase db(nullptr);
  db.SetDatabaseType("ODBC");
  db.SetDatabase("KeineSolcheQuelle");
  try {
    db.SetConnected(true);
    FAIL();
  } catch (const EOleException& e) {
    // An unknown ODBC data source: the call fails with the driver manager's reason.
    EXPECT_EQ(err::kODBCCallFailed, e.ErrorCode());
    EXPECT_NE(std::string::npos, std::string(e.what()).find("IM002")) << e.what();
  }
  db.SetDatabaseType("Text");
  db.SetDatabase(Path(""));
  try {
    db.SetConnected(true);
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(err::kNoInstallableIsam, e.ErrorCode());
  }
  EXPECT_FALSE(db.Connected());
}

TEST_F(DaoDatabaseOnEngine, DataModuleSettingsFromTheFormFileOpenTheDatabase) {
  std::ifstream in(GEB_DAO_TEST_DIR "/datenbank.form", std::ios::binary);
  const std::string form((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(form.empty());
  framework::TComponent data(nullptr);
  data.SetName("Data");
  framework::ReadComponentText("object Data: TComponent\n" + form + "end\n", &data);
  auto* db = dynamic_cast<TUxDaoDatabase*>(data.FindComponent("Datenbank"));
  ASSERT_NE(nullptr, db);
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ("system.mdb", db->SystemDatabase());
  // The connect at start.
  db->SetConnected(false);
  db->SetDatabase(db_file);
  db->SetPassword("");
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ("Abteilung\nGeburtstag\n", db->TableNames().Text());
}

}  // namespace
}  // namespace dao
