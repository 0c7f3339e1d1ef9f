// The connection component against a scripted engine: defaults, setters and their refusals,
// rebuilds, the connect with its events, login branches and database types, the disconnect,
// the services, and form files.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "framework/application.h"
#include "framework/com.h"
#include "framework/exception.h"
#include "framework/form_reader.h"
#include "framework/form_writer.h"
#include "tests/dao/fake_dao_world.h"

namespace dao {
namespace {

using daotest::FakeDao;
using framework::EDatabaseError;
using Lines = std::vector<std::string>;

// Collects the messages the component shows to the user.
class MessageLog : public framework::MessageSink {
 public:
  MessageLog() { framework::Application().SetMessageSink(this); }
  ~MessageLog() override { framework::Application().SetMessageSink(nullptr); }
  void ShowError(const std::string&, const std::string& m) override { messages.push_back(m); }
  void ShowMessage(const std::string&, const std::string& m) override { messages.push_back(m); }
  Lines messages;
};

// A login dialog that answers from a script: each Execute takes the next answer.
struct DialogAnswer {
  bool ok;
  std::string user, password, db_password;
};

class ScriptedDialogs : public ILoginDialogFactory {
 public:
  class Dialog : public ILoginDialog {
   public:
    explicit Dialog(ScriptedDialogs* owner) : owner_(owner) {}
    void SetUserName(const std::string& s) override { user_ = s; }
    void SetPassword(const std::string& s) override { password_ = s; }
    void SetDbPassword(const std::string& s) override { db_password_ = s; }
    void SetDatabaseName(const std::string& s) override { owner_->shown_database = s; }
    void FocusUserName() override { owner_->focused = true; }
    bool Execute() override {
      owner_->filled.push_back(user_ + "|" + password_ + "|" + db_password_);
      if (owner_->answers.empty()) throw std::logic_error("dialog shown more often than scripted");
      const DialogAnswer a = owner_->answers.front();
      owner_->answers.pop_front();
      user_ = a.user;
      password_ = a.password;
      db_password_ = a.db_password;
      return a.ok;
    }
    std::string UserName() const override { return user_; }
    std::string Password() const override { return password_; }
    std::string DbPassword() const override { return db_password_; }

   private:
    ScriptedDialogs* owner_;
    std::string user_, password_, db_password_;
  };

  std::unique_ptr<ILoginDialog> CreateLoginDialog() override {
    ++created;
    return std::make_unique<Dialog>(this);
  }

  std::deque<DialogAnswer> answers;
  Lines filled;  // what each shown dialog held: user|password|db password
  std::string shown_database;
  bool focused = false;
  int created = 0;
};

class TempFolder {
 public:
  TempFolder() {
    static int n = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("geb_dao_db_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  std::string File(const std::string& name, const std::string& contents = "db") const {
    std::ofstream(Path(name), std::ios::binary) << contents;
    return Path(name);
  }
  std::string Folder() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

class DaoDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_exe_ = framework::Application().ExeName();
    framework::Application().SetExeName(folder.Path("prog"));
    db_file = folder.File("data.mdb");
  }
  void TearDown() override { framework::Application().SetExeName(saved_exe_); }

  // A component whose events write to the world's log, connected to the scripted dialogs.
  std::unique_ptr<TUxDaoDatabase> Make() {
    auto db = std::make_unique<TUxDaoDatabase>(nullptr);
    db->SetName("Datenbank");
    db->OnBeforeConnect = [this](TUxDaoDatabase&) { world.log.push_back("event BeforeConnect"); };
    db->OnAfterConnect = [this](TUxDaoDatabase&) { world.log.push_back("event AfterConnect"); };
    db->OnBeforeDisconnect = [this](TUxDaoDatabase&) { world.log.push_back("event BeforeDisconnect"); };
    db->OnAfterDisconnect = [this](TUxDaoDatabase&) { world.log.push_back("event AfterDisconnect"); };
    db->SetLoginDialogFactory(&dialogs);
    return db;
  }

  std::unique_ptr<TUxDaoDatabase> MakeConnected() {
    auto db = Make();
    db->SetDatabase(db_file);
    db->SetConnected(true);
    world.log.clear();
    return db;
  }

  // The message of the EDatabaseError `action` raises ("" when it raises none).
  static std::string DbError(const std::function<void()>& action) {
    try {
      action();
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return "";
  }

  TempFolder folder;
  FakeDao world;
  ScriptedDialogs dialogs;
  MessageLog messages;
  std::string db_file;

 private:
  std::string saved_exe_;
};

// ---------------------------------------------------------------------------------------------
// Construction, defaults, registry lists

TEST_F(DaoDatabase, DefaultsAfterConstruction) {
  world.registry().WriteString(framework::HKEY::HKEY_LOCAL_MACHINE,
                               "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SystemDB", "/w/system.mdw");
  const int com_before = framework::CoInitializeCount();
  {
    auto db = Make();
    EXPECT_EQ(com_before + 1, framework::CoInitializeCount());
    EXPECT_EQ("9.10", db->ComponentVersion());
    EXPECT_FALSE(db->Exclusive());
    EXPECT_EQ("", db->DatabaseLanguage());
    EXPECT_EQ("Access", db->DatabaseType());
    EXPECT_EQ("", db->Database());
    EXPECT_EQ("", db->DatabaseParameters());
    EXPECT_EQ("", db->DatabaseVersionInfo());
    EXPECT_FALSE(db->ReadOnly());
    EXPECT_FALSE(db->LoginPrompt());
    EXPECT_EQ("Admin", db->UserName());
    EXPECT_TRUE(db->UseODBCDialog());
    EXPECT_EQ("", db->Password());
    EXPECT_EQ("", db->DatabasePassword());
    EXPECT_EQ("/w/system.mdw", db->SystemDatabase());
    EXPECT_TRUE(db->SaveUserName());
    EXPECT_FALSE(db->ShowSystemObjects());
    EXPECT_TRUE(db->SmartOpen());
    EXPECT_EQ(2, db->EngineType());
    EXPECT_FALSE(db->PrivateEngine());
    EXPECT_TRUE(db->TrackTransactions());
    EXPECT_TRUE(db->UsesDynaDao());
    EXPECT_EQ("3.6", db->Version());
    EXPECT_EQ("3.6", db->VersionDetails());
    EXPECT_EQ("(In Access'2000 mode)", db->VersionInfo());
    EXPECT_EQ("DaoWorkspace", db->Workspace());
    EXPECT_EQ(-1, db->DefaultCursorDriver());
    EXPECT_EQ(60, db->QueryTimeout());
    EXPECT_FALSE(db->MdbVersionAutoDetect());
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(Lines{"3.6"}, Lines({db->DaoVersions().Strings(0)}));
    EXPECT_EQ(1, db->DaoVersions().Count());
    ASSERT_TRUE(db->CoreEngine());
    EXPECT_FALSE(db->CoreWorkspace());  // made by the first rebuild
    EXPECT_FALSE(db->CoreDatabase());
    // The probe engine, then the engine kept, with its settings.
    EXPECT_EQ((Lines{"Create DAO.DBEngine.36", "Create DAO.DBEngine.36",
                     "Engine.SystemDB '/w/system.mdw'", "Engine.DefaultUser 'Admin'",
                     "Engine.DefaultPassword ''", "Engine.DefaultType 2"}),
              world.log);
  }
  EXPECT_EQ(com_before, framework::CoInitializeCount());
}

TEST_F(DaoDatabase, ListsFromTheRegistry) {
  using framework::HKEY;
  auto& reg = world.registry();
  reg.CreateKey(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\Text");
  reg.CreateKey(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\dBase 5.0");
  reg.CreateKey(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\3.5\\ISAM Formats\\Paradox 3.X");
  reg.WriteString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", "SQLite3", "Installed");
  reg.WriteString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Sys1", "SQLite3");
  reg.WriteString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Sys2", "SQLite3");
  reg.WriteString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys1", "DBQ", "/s/one.db");
  reg.WriteString(HKEY::HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Mine", "SQLite3");
  reg.WriteString(HKEY::HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", "DBQ", "/u/mine.db");
  auto db = Make();
  EXPECT_EQ("Access\nODBC\nText\ndBase 5.0\n", db->DatabaseTypes().Text());
  EXPECT_EQ("SQLite3\n", db->ODBCDrivers().Text());
  EXPECT_EQ("Sys1\nSys2\n", db->SystemDSNs().Text());
  EXPECT_EQ("Mine\n", db->UserDSNs().Text());
  // User sources first; a source without a database file is left out.
  EXPECT_EQ("Mine=/u/mine.db\nSys1=/s/one.db\n", db->DSNDatabases().Text());
}

TEST_F(DaoDatabase, WithoutOdbcSourcesTheListsAreEmpty) {
  auto db = Make();
  EXPECT_EQ(0, db->ODBCDrivers().Count());
  EXPECT_EQ(0, db->SystemDSNs().Count());
  EXPECT_EQ(0, db->UserDSNs().Count());
  EXPECT_EQ(0, db->DSNDatabases().Count());
  EXPECT_EQ("Access\nODBC\n", db->DatabaseTypes().Text());
}

TEST(DaoDatabaseInstall, NoDaoInstalledFailsConstructionAndUndoesCom) {
  FakeDao world(false, false);
  const int com_before = framework::CoInitializeCount();
  try {
    TUxDaoDatabase db(nullptr);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ("Cannot find DAO on your system!", e.Message());
  }
  EXPECT_EQ(com_before, framework::CoInitializeCount());
  // A registry key alone does not count: the class must be creatable.
  world.registry().CreateKey(framework::HKEY::HKEY_CLASSES_ROOT, "DAO.DBEngine.36");
  EXPECT_THROW(TUxDaoDatabase(nullptr), EDatabaseError);
}

TEST(DaoDatabaseInstall, OnlyDao35InstalledGivesVersion35) {
  FakeDao world(true, false);
  world.registry().WriteString(framework::HKEY::HKEY_LOCAL_MACHINE,
                               "SOFTWARE\\Microsoft\\JET\\3.5\\Engines", "SystemDB", "/w/35.mdw");
  world.registry().CreateKey(framework::HKEY::HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\JET\\3.5\\ISAM Formats\\Paradox 3.X");
  TUxDaoDatabase db(nullptr);
  EXPECT_EQ("3.5", db.Version());
  EXPECT_EQ("3.5", db.VersionDetails());
  EXPECT_EQ("(In Access'97 mode)", db.VersionInfo());
  EXPECT_EQ("/w/35.mdw", db.SystemDatabase());
  EXPECT_EQ("Access\nODBC\nParadox 3.X\n", db.DatabaseTypes().Text());
  // 3.6 is not there: asking for it fails and the old version comes back.
  EXPECT_EQ("You does not have Microsoft DAO installed ot it is an OLD Version!",
            [&] {
              try {
                db.SetVersion("3.6");
              } catch (const EDatabaseError& e) {
                return e.Message();
              }
              return std::string();
            }());
  EXPECT_EQ("3.5", db.Version());
  EXPECT_EQ("Access\nODBC\nParadox 3.X\n", db.DatabaseTypes().Text());
}

// ---------------------------------------------------------------------------------------------
// Setters

TEST_F(DaoDatabase, EverySetterRefusedWhileConnectedWithItsMessageAndNothingChanges) {
  auto db = MakeConnected();
  const std::string before = framework::WriteComponentText(*db);
  struct Case {
    std::function<void()> set;
    const char* message;
  };
  TUxDaoDatabase& d = *db;
  const std::vector<Case> cases = {
      {[&] { d.SetDatabase("x"); }, "TUxDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!"},
      {[&] { d.SetDatabaseParameters("x"); }, "TUxDaoDatabase.F_Set_DatabaseParameters: Cannot set DatabaseParameters while Database is connected!"},
      {[&] { d.SetDatabasePassword("x"); }, "TUxDaoDatabase.F_Set_DatabasePassword: Cannot change Database Password while Database is connected!"},
      {[&] { d.SetSystemDatabase("x"); }, "TUxDaoDatabase.F_Set_SystemDatabase: Cannot set SystemDatabase while Database is connected!"},
      {[&] { d.SetVersion("3.5"); }, "TUxDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!"},
      {[&] { d.SetWorkspace("x"); }, "TUxDaoDatabase.F_Set_Workspace: Cannot set Workspace while Database is connected!"},
      {[&] { d.SetDatabaseType("ODBC"); }, "TUxDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is connected!"},
      {[&] { d.SetEngineType(1); }, "TUxDaoDatabase.F_Set_EngineType: Cannot set EngineType Type while Database is connected!"},
      {[&] { d.SetPrivateEngine(true); }, "TUxDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is connected!"},
      {[&] { d.SetReadOnly(true); }, "TUxDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!"},
      {[&] { d.SetExclusive(true); }, "TUxDaoDatabase.F_Set_Exclusive: Cannot change Exclusive mode while Database is connected!"},
      {[&] { d.SetLoginPrompt(true); }, "TUxDaoDatabase.F_Set_LoginPrompt: Cannot change LoginPrompt while Database is connected!"},
      {[&] { d.SetUserName("x"); }, "TUxDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!"},
      {[&] { d.SetPassword("x"); }, "TUxDaoDatabase.F_Set_Password: Cannot change Password while Database is connected!"},
      {[&] { d.SetTrackTransactions(false); }, "Cannot set TrackTransactions property when Database is connected!"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.message, DbError(c.set));
  EXPECT_EQ(before, framework::WriteComponentText(*db));
  EXPECT_EQ(0, world.Count("Create"));  // no rebuild was tried
  // Plain stores are allowed while connected.
  db->SetQueryTimeout(5);
  db->SetSmartOpen(false);
  db->SetSaveUserName(false);
  db->SetMdbVersionAutoDetect(true);
  db->SetUseODBCDialog(false);
  EXPECT_EQ(5, db->QueryTimeout());
}

TEST_F(DaoDatabase, IgnoredAndTrimmedValues) {
  auto db = Make();
  db->SetComponentVersion("11.00");
  db->SetUsesDynaDao(false);
  db->SetVersionDetails("x");
  db->SetVersionInfo("x");
  db->SetDatabaseVersionInfo("x");
  db->SetDatabaseLanguage("Klingon");
  EXPECT_EQ("9.10", db->ComponentVersion());
  EXPECT_TRUE(db->UsesDynaDao());
  EXPECT_EQ("3.6", db->VersionDetails());
  EXPECT_EQ("(In Access'2000 mode)", db->VersionInfo());
  EXPECT_EQ("", db->DatabaseVersionInfo());
  EXPECT_EQ("", db->DatabaseLanguage());  // every read recomputes
  db->SetVersion("3.60");
  EXPECT_EQ("3.6", db->Version());
  db->SetDatabase("a.mdb");
  db->SetDatabaseType("Text");
  EXPECT_EQ("", db->Database());
}

TEST_F(DaoDatabase, RebuildingSettersCreateEngineAndWorkspaceAfresh) {
  auto db = Make();
  world.log.clear();
  db->SetWorkspace("Mine");
  EXPECT_EQ((Lines{"Create DAO.DBEngine.36", "Engine.SystemDB ''", "Engine.DefaultUser 'Admin'",
                   "Engine.DefaultPassword ''", "CreateWorkspace 'Mine' 'Admin' '' 2"}),
            world.log);
  world.workspace_name = "#Default Workspace#";
  db->SetPrivateEngine(true);
  EXPECT_EQ("Create DAO.PrivateDBEngine.36", world.Calls("Create DAO").back());
  EXPECT_EQ("#Default Workspace#", db->Workspace());  // the workspace's actual name
  world.workspace_name.clear();
  // The registered system database replaces an empty value.
  world.registry().WriteString(framework::HKEY::HKEY_LOCAL_MACHINE,
                               "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SystemDB", "/w/s.mdw");
  db->SetSystemDatabase("");
  EXPECT_EQ("/w/s.mdw", db->SystemDatabase());
  EXPECT_EQ("Engine.SystemDB '/w/s.mdw'", world.Calls("Engine.SystemDB").back());
  // The cursor driver reaches the workspace only with ODBC direct.
  world.log.clear();
  db->SetDefaultCursorDriver(2);
  EXPECT_EQ(0, world.Count("Workspace.DefaultCursorDriver"));
  db->SetEngineType(1);
  EXPECT_EQ("CreateWorkspace '#Default Workspace#' 'Admin' '' 1", world.Calls("CreateWorkspace").back());
  EXPECT_EQ(Lines{"Workspace.DefaultCursorDriver 2"}, world.Calls("Workspace.DefaultCursorDriver"));
  db->SetDefaultCursorDriver(3);
  EXPECT_EQ("Workspace.DefaultCursorDriver 3", world.Calls("Workspace.DefaultCursorDriver").back());
}

TEST_F(DaoDatabase, FailedRebuildPutsTheOldValueBackAndRaisesTheFirstError) {
  auto db = Make();
  db->SetWorkspace("Good");
  world.FailOn("CreateWorkspace 'Bad'", 3029, "Not a valid account name or password.");
  world.log.clear();
  try {
    db->SetWorkspace("Bad");
    FAIL();
  } catch (const framework::EOleException& e) {
    EXPECT_EQ(3029, e.ErrorCode());
  }
  EXPECT_EQ("Good", db->Workspace());
  EXPECT_EQ((Lines{"CreateWorkspace 'Bad' 'Admin' '' 2", "CreateWorkspace 'Good' 'Admin' '' 2"}),
            world.Calls("CreateWorkspace"));
  ASSERT_TRUE(db->CoreWorkspace());  // rebuilt with the old value
  // The same for the engine type and the version.
  world.FailOn("CreateWorkspace 'Good' 'Admin' '' 1", 3251, "Operation is not supported.");
  EXPECT_THROW(db->SetEngineType(1), framework::EOleException);
  EXPECT_EQ(2, db->EngineType());
  EXPECT_EQ("Unknown DAO version \"4.0\"! Use 3.5 or 3.6.", DbError([&] { db->SetVersion("4.0"); }));
  EXPECT_EQ("3.6", db->Version());
  EXPECT_EQ("Access\nODBC\n", db->DatabaseTypes().Text());
}

TEST_F(DaoDatabase, UserAndPasswordRebuildIgnoringErrorsWhichShowAtTheNextConnect) {
  auto db = Make();
  db->SetDatabase(db_file);
  world.FailOn("CreateWorkspace 'DaoWorkspace' 'Admin' 'secret'", 3029,
               "Not a valid account name or password.");
  world.log.clear();
  db->SetPassword("secret");  // no error here
  EXPECT_EQ(1, world.Count("CreateWorkspace 'DaoWorkspace' 'Admin' 'secret' 2"));
  EXPECT_EQ("secret", db->Password());
  try {
    db->SetConnected(true);
    FAIL();
  } catch (const framework::EOleException& e) {
    EXPECT_EQ("Not a valid account name or password.", e.Message());
  }
  EXPECT_FALSE(db->Connected());
  db->SetUserName("Someone");
  EXPECT_EQ("CreateWorkspace 'DaoWorkspace' 'Someone' 'secret' 2", world.Calls("CreateWorkspace").back());
}

// ---------------------------------------------------------------------------------------------
// Connecting

TEST_F(DaoDatabase, ConnectAccessCallsInOrderAndGathersNames) {
  world.AddTable("Geburtstag");
  world.AddTable("MSysObjects", dbSystemObject);
  world.AddTable("MSysHidden", 2);
  world.AddTable("Other", dbHiddenObject);
  world.AddQuery("Alle", "SELECT * FROM Geburtstag");
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetDatabasePassword("dbpw");
  db->SetDatabaseParameters("Extra=1");
  db->SetExclusive(true);
  world.log.clear();
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ((Lines{"event BeforeConnect", "Create DAO.DBEngine.36", "Engine.SystemDB ''",
                   "Engine.DefaultUser 'Admin'", "Engine.DefaultPassword ''",
                   "CreateWorkspace 'DaoWorkspace' 'Admin' '' 2",
                   "OpenDatabase '" + db_file + "' True False ';UID=Admin;PWD=dbpw;Extra=1'",
                   "Database.Version", "Database.CollatingOrder", "Engine.Idle 1", "Engine.Idle 8",
                   "event AfterConnect"}),
            world.log);
  EXPECT_EQ("4.0", db->DatabaseVersionInfo());
  EXPECT_EQ("Geburtstag\nOther\n", db->TableNames().Text());
  EXPECT_EQ("Alle\n", db->QueryDefNames().Text());
  EXPECT_EQ("General (English, French, German, Portuguese, Italian, and Modern Spanish)",
            db->DatabaseLanguage());
  EXPECT_EQ(1033, db->DatabaseCollatingOrder());
  // Connecting again does nothing.
  world.log.clear();
  db->SetConnected(true);
  EXPECT_TRUE(world.log.empty());
  // System tables appear at once when asked for.
  db->SetShowSystemObjects(true);
  EXPECT_EQ("Geburtstag\nMSysObjects\nMSysHidden\nOther\n", db->TableNames().Text());
}

TEST_F(DaoDatabase, QueryTimeoutIsSetOnlyWhenNotTheDefault) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetQueryTimeout(15);
  db->SetConnected(true);
  EXPECT_EQ(Lines{"Database.QueryTimeout 15"}, world.Calls("Database.QueryTimeout"));
}

TEST_F(DaoDatabase, BadSettingsFailBeforeAnyEventAndCanBeCorrected) {
  auto db = Make();
  world.log.clear();
  EXPECT_EQ("TUxDaoDatabase.F_Set_Active: Database property is not defined!",
            DbError([&] { db->SetConnected(true); }));
  db->SetDatabaseType("");
  db->SetDatabase(db_file);
  EXPECT_EQ("TUxDaoDatabase.F_Set_Active: DatabaseType property is not defined!",
            DbError([&] { db->SetConnected(true); }));
  EXPECT_TRUE(world.log.empty());
  // Disconnecting a disconnected component does nothing, also with nothing set.
  db->SetDatabase("");
  db->SetConnected(false);
  EXPECT_TRUE(world.log.empty());

  db->SetDatabaseType("Access");
  for (const std::string& bad : {folder.Folder(), folder.Path("missing.mdb")}) {
    db->SetDatabase(bad);
    EXPECT_EQ("Cannot find Database:\r\n" + bad, DbError([&] { db->SetConnected(true); }));
    EXPECT_EQ(bad, db->Database());  // the setting is kept as it was given
    EXPECT_FALSE(db->Connected());
  }
  EXPECT_EQ(0, world.Count("event AfterConnect"));
  db->SetDatabase(db_file);
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
}

TEST_F(DaoDatabase, SmartOpenFindsTheFileBesideTheProgram) {
  auto db = Make();
  const std::string elsewhere = "/nonexistent/place/data.mdb";
  db->SetSmartOpen(false);
  db->SetDatabase(elsewhere);
  EXPECT_EQ("Cannot find Database:\r\n" + elsewhere, DbError([&] { db->SetConnected(true); }));
  db->SetSmartOpen(true);
  db->SetConnected(true);
  EXPECT_EQ(db_file, db->Database());
  EXPECT_EQ(1, world.Count("OpenDatabase '" + db_file + "'"));
  db->SetConnected(false);
  // A path written with backslashes, as Windows configuration files have it.
  db->SetDatabase("C:\\Daten\\data.mdb");
  db->SetConnected(true);
  EXPECT_EQ(db_file, db->Database());
}

TEST_F(DaoDatabase, DatabaseTypesAndTheirConnectTexts) {
  auto db = Make();
  db->SetUserName("u");
  db->SetDatabaseParameters("P=1");
  world.log.clear();
  // Access with ODBC direct is refused.
  world.registry();  // (registry untouched)
  db->SetDatabase(db_file);
  db->SetEngineType(1);
  EXPECT_EQ("TUxDaoDatabase.F_Set_Active: ODBC direct workspaces\r\nare NOT supported for MS Access Databases!",
            DbError([&] { db->SetConnected(true); }));
  // ODBC through OpenConnection with ODBC direct, through OpenDatabase with Jet.
  db->SetDatabaseType("ODBC");
  db->SetDatabase("Personal");
  db->SetPassword("pw");
  db->SetReadOnly(true);
  db->SetConnected(true);
  EXPECT_EQ("OpenConnection 'Personal' 1 True 'ODBC;UID=u;PWD=pw;DSN=Personal;P=1'",
            world.Calls("OpenConnection").back());
  EXPECT_EQ("", db->DatabaseVersionInfo());  // not read for "ODBC"
  db->SetConnected(false);
  db->SetEngineType(2);
  db->SetDatabase("ODBC;DSN=Personal;UID=x");
  db->SetConnected(true);
  EXPECT_EQ("OpenDatabase 'ODBC;DSN=Personal;UID=x' 1 True 'ODBC;DSN=Personal;UID=x;P=1'",
            world.Calls("OpenDatabase").back());
  db->SetConnected(false);
  // The type compares without regard to case, except for the version check.
  db->SetDatabaseType("odbc");
  db->SetDatabase("Personal");
  db->SetConnected(true);
  EXPECT_EQ("OpenDatabase 'Personal' 1 True 'odbc;UID=u;PWD=pw;DSN=Personal;P=1'",
            world.Calls("OpenDatabase").back());
  EXPECT_EQ("4.0", db->DatabaseVersionInfo());
  db->SetConnected(false);
  // An installed format: user and password only when both are given.
  db->SetReadOnly(false);
  db->SetExclusive(true);
  db->SetDatabaseType("Text");
  db->SetDatabase(folder.Folder());
  db->SetConnected(true);
  EXPECT_EQ("OpenDatabase '" + folder.Folder() + "' True False 'Text;UID=u;PWD=pw;P=1'",
            world.Calls("OpenDatabase").back());
  db->SetConnected(false);
  db->SetPassword("");
  db->SetConnected(true);
  EXPECT_EQ("OpenDatabase '" + folder.Folder() + "' True False 'Text;P=1'", world.Calls("OpenDatabase").back());
  db->SetConnected(false);
  db->SetEngineType(1);
  EXPECT_EQ("TUxDaoDatabase.F_Set_Active: ODBC direct workspaces NOT supported!",
            DbError([&] { db->SetConnected(true); }));
}

TEST_F(DaoDatabase, EngineErrorsWhileOpeningLeaveTheComponentDisconnected) {
  auto db = Make();
  db->SetDatabase(db_file);
  world.FailOn("OpenDatabase", 3343, "Unrecognized database format '" + db_file + "'.", 1);
  try {
    db->SetConnected(true);
    FAIL();
  } catch (const framework::EOleException& e) {
    EXPECT_EQ(3343, e.ErrorCode());
  }
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(db->CoreDatabase());
  EXPECT_EQ(0, world.Count("event AfterConnect"));
  // A failure after opening closes the database again.
  world.FailOn("Database.Version", 3420, "Object invalid or no longer set.", 1);
  EXPECT_THROW(db->SetConnected(true), framework::EOleException);
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(db->CoreDatabase());
  EXPECT_EQ(1, world.Count("Database.Close"));
  EXPECT_EQ(0, db->TableNames().Count());
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
}

TEST_F(DaoDatabase, WorkspaceErrorWithoutLoginPromptPropagates) {
  auto db = Make();
  db->SetDatabase(db_file);
  world.FailOn("CreateWorkspace", 3029, "Not a valid account name or password.", 1);
  EXPECT_THROW(db->SetConnected(true), framework::EOleException);
  EXPECT_FALSE(db->Connected());
  EXPECT_TRUE(messages.messages.empty());
}

// ---------------------------------------------------------------------------------------------
// The login

TEST_F(DaoDatabase, LoginDialogOkTakesItsValues) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetUserName("Saved");
  db->SetPassword("old");
  db->SetLoginPrompt(true);
  dialogs.answers.push_back({true, "Admin", "", "dbpw"});
  world.log.clear();
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(Lines{"Saved||"}, dialogs.filled);  // saved user name, passwords empty
  EXPECT_EQ(db_file, dialogs.shown_database);
  EXPECT_TRUE(dialogs.focused);
  EXPECT_EQ("Admin", db->UserName());
  EXPECT_EQ("", db->Password());
  EXPECT_EQ("dbpw", db->DatabasePassword());
  EXPECT_EQ(1, world.Count("CreateWorkspace 'DaoWorkspace' 'Admin' '' 2"));
  EXPECT_EQ(1, world.Count("OpenDatabase '" + db_file + "' False False ';UID=Admin;PWD=dbpw;'"));
  EXPECT_EQ("event BeforeConnect", world.log.front());

  db->SetConnected(false);
  db->SetSaveUserName(false);
  dialogs.answers.push_back({true, "Admin", "", ""});
  db->SetConnected(true);
  EXPECT_EQ("||", dialogs.filled.back());
}

TEST_F(DaoDatabase, LoginDialogWrongPasswordAsksAgain) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetLoginPrompt(true);
  world.FailOn("CreateWorkspace 'DaoWorkspace' 'Admin' 'wrong'", 3029, "Not a valid account name or password.");
  dialogs.answers.push_back({true, "Admin", "wrong", ""});
  dialogs.answers.push_back({true, "Admin", "", ""});
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(2u, dialogs.filled.size());
  EXPECT_EQ(Lines{"Not a valid account name or password."}, messages.messages);
}

TEST_F(DaoDatabase, LoginDialogCancelledEndsSilentlyWhenTheWorkspaceFails) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetLoginPrompt(true);
  db->SetPassword("pw");
  db->SetDatabasePassword("dpw");
  world.FailOn("CreateWorkspace 'DaoWorkspace' ''", 3029, "Not a valid account name or password.");
  dialogs.answers.push_back({false, "ignored", "ignored", "ignored"});
  world.log.clear();
  db->SetConnected(true);  // no error
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(Lines{"If You not enter Username and Password You may not gain access to your data!"},
            messages.messages);
  EXPECT_EQ("", db->UserName());
  EXPECT_EQ("", db->Password());
  EXPECT_EQ("", db->DatabasePassword());
  EXPECT_EQ(0, world.Count("event AfterConnect"));
  EXPECT_EQ(0, world.Count("OpenDatabase"));
  // Corrected, it connects.
  db->SetUserName("Admin");
  db->SetLoginPrompt(false);
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
}

TEST_F(DaoDatabase, OnLoginAnswersInsteadOfTheDialog) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetPassword("p");
  db->SetDatabasePassword("d");
  db->SetLoginPrompt(true);
  Lines seen;
  db->OnLogin = [&](TUxDaoDatabase& d, framework::TStringList& values) {
    EXPECT_EQ(&d, db.get());
    seen.push_back(values.Text("|"));
    values.Clear();
    values.Add("USER NAME=Admin");
    values.Add("DBPASSWORD=geheim");  // PASSWORD missing: empty
  };
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(Lines{"USER NAME=Admin|PASSWORD=p|DBPASSWORD=d|"}, seen);
  EXPECT_EQ(1, dialogs.created);  // created and filled, never shown
  EXPECT_TRUE(dialogs.filled.empty());
  EXPECT_EQ("", db->Password());
  EXPECT_EQ("geheim", db->DatabasePassword());
  // Without LoginPrompt the exchange happens too.
  db->SetConnected(false);
  db->SetLoginPrompt(false);
  db->SetDatabasePassword("x");
  db->SetConnected(true);
  EXPECT_EQ(2u, seen.size());
  EXPECT_EQ("geheim", db->DatabasePassword());
}

TEST_F(DaoDatabase, LoginValuesAnswerWithoutTheDialog) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetPassword("p");
  db->SetLoginPrompt(true);
  db->LoginValues().Add("USER NAME=Admin2");
  world.FailOn("CreateWorkspace 'DaoWorkspace' 'Admin2'", 3029, "Not a valid account name or password.");
  // Only the user name changes; the same values a second time end the retries.
  EXPECT_THROW(db->SetConnected(true), framework::EOleException);
  EXPECT_EQ("Admin2", db->UserName());
  EXPECT_EQ("p", db->Password());
  EXPECT_TRUE(dialogs.filled.empty());
  EXPECT_EQ(Lines{"Not a valid account name or password."}, messages.messages);
  EXPECT_EQ(2, world.Count("CreateWorkspace 'DaoWorkspace' 'Admin2'"));
  // Without LoginPrompt the values are taken as well.
  db->SetLoginPrompt(false);
  db->LoginValues().Clear();
  db->LoginValues().Add("USER NAME=Admin");
  db->LoginValues().Add("PASSWORD=");
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ("", db->Password());
}

TEST_F(DaoDatabase, OnLoginThatChangesItsAnswerIsAskedAgain) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetLoginPrompt(true);
  int calls = 0;
  db->OnLogin = [&](TUxDaoDatabase&, framework::TStringList& values) {
    values.SetValues("USER NAME", ++calls == 1 ? "Nobody" : "Admin");
  };
  world.FailOn("CreateWorkspace 'DaoWorkspace' 'Nobody'", 3029, "Not a valid account name or password.");
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(2, calls);
}

TEST_F(DaoDatabase, LoginPromptWithoutAnyDialogFactoryIsAClearError) {
  auto db = Make();
  db->SetLoginDialogFactory(nullptr);
  db->SetDatabase(db_file);
  db->SetLoginPrompt(true);
  EXPECT_EQ("TUxDaoDatabase.F_Set_Active: No login dialog is available!",
            DbError([&] { db->SetConnected(true); }));
  SetDefaultLoginDialogFactory(&dialogs);
  dialogs.answers.push_back({true, "Admin", "", ""});
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
  SetDefaultLoginDialogFactory(nullptr);
}

TEST_F(DaoDatabase, MdbVersionAutoDetect) {
  FakeDao both(true, true);  // this world registers 3.5 as well and takes over the registry
  auto db = std::make_unique<TUxDaoDatabase>(nullptr);
  EXPECT_EQ("3.5", db->Version());
  std::string header(160, ' ');
  header[156] = '4';
  header[157] = '.';
  const std::string jet4 = folder.File("jet4.mdb", header);
  const std::string jet3 = folder.File("jet3.mdb", std::string(160, ' '));
  const std::string tiny = folder.File("tiny.mdb", "x");
  db->SetVersion("3.6");
  db->DetectMdbVersion(tiny);  // too short: nothing changes
  EXPECT_EQ("3.6", db->Version());
  db->DetectMdbVersion(jet3);
  EXPECT_EQ("3.5", db->Version());
  db->DetectMdbVersion(jet4);
  EXPECT_EQ("3.6", db->Version());
  db->DetectMdbVersion(folder.Path("none.mdb"));
  EXPECT_EQ("3.6", db->Version());
  db->SetDatabaseType("Text");
  db->DetectMdbVersion(jet3);
  EXPECT_EQ("3.6", db->Version());
  // On connect, before the engine is built.
  db->SetDatabaseType("Access");
  db->SetDatabase(jet3);
  db->SetMdbVersionAutoDetect(true);
  db->SetConnected(true);
  EXPECT_EQ("3.5", db->Version());
  EXPECT_EQ("(In Access'97 mode)", db->VersionInfo());
}

// ---------------------------------------------------------------------------------------------
// Disconnecting and the open tables

class FakeTable : public IOpenTable {
 public:
  FakeTable(std::string name, Lines* log, bool fail = false)
      : name_(std::move(name)), log_(log), fail_(fail) {}
  void SetClosedByDatabase(bool closed) override { closed_by_db_ = closed; }
  bool ClosedByDatabase() const override { return closed_by_db_; }
  void CloseTable() override {
    log_->push_back("close " + name_ + (closed_by_db_ ? " (by database)" : ""));
    if (fail_) throw framework::EOleException(3420, "Object invalid or no longer set.");
  }
  void SetTableReadOnly(bool ro) override { read_only = ro; }
  bool read_only = false;

 private:
  std::string name_;
  Lines* log_;
  bool fail_;
  bool closed_by_db_ = false;
};

TEST_F(DaoDatabase, DisconnectClosesEveryTableEvenWhenOneFails) {
  auto db = MakeConnected();
  FakeTable a("A", &world.log), b("B", &world.log, true), c("C", &world.log);
  db->ActiveTables().Add("A", &a);
  db->ActiveTables().Add("B", &b);
  db->ActiveTables().Add("C", &c);
  db->TransactionLog().Add("A=1");
  const auto engine = db->CoreEngine();
  db->SetConnected(false);
  EXPECT_EQ((Lines{"event BeforeDisconnect", "close A (by database)", "close B (by database)",
                   "close C (by database)", "Database.Close", "event AfterDisconnect"}),
            world.log);
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(0, db->ActiveTables().Count());
  EXPECT_EQ(0, db->TableNames().Count());
  EXPECT_EQ(0, db->TransactionLevel());
  EXPECT_FALSE(db->CoreDatabase());
  EXPECT_EQ(engine, db->CoreEngine());  // engine and workspace stay
  EXPECT_TRUE(db->CoreWorkspace());
  EXPECT_EQ("", db->DatabaseLanguage());
}

TEST_F(DaoDatabase, AFailingCloseStillDisconnects) {
  auto db = MakeConnected();
  world.FailOn("Database.Close", 3420, "Object invalid or no longer set.", 1);
  EXPECT_THROW(db->SetConnected(false), framework::EOleException);
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(db->CoreDatabase());
  EXPECT_EQ("event AfterDisconnect", world.log.back());
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
}

TEST_F(DaoDatabase, DestroyingAConnectedComponentDisconnectsAndReleasesCom) {
  const int com_before = framework::CoInitializeCount();
  auto db = MakeConnected();
  FakeTable a("A", &world.log);
  db->ActiveTables().Add("A", &a);
  db.reset();
  EXPECT_EQ((Lines{"event BeforeDisconnect", "close A (by database)", "Database.Close",
                   "event AfterDisconnect", "Workspace.Close"}),
            world.log);
  EXPECT_EQ(com_before, framework::CoInitializeCount());
}

TEST_F(DaoDatabase, ReadOnlyReachesTheOpenTables) {
  auto db = Make();
  FakeTable a("A", &world.log);
  db->ActiveTables().Add("A", &a);
  db->SetReadOnly(false);
  EXPECT_FALSE(a.read_only);
  db->SetReadOnly(true);
  EXPECT_TRUE(a.read_only);
}

TEST(OpenTableList, RegisterRenameRemove) {
  Lines log;
  FakeTable a("A", &log), b("B", &log);
  TOpenTableList list;
  list.Add("Geburtstag", &a);
  list.Add("Other", &b);
  list.Add("Renamed", &a);
  EXPECT_EQ(2, list.Count());
  EXPECT_EQ(0, list.IndexOf("RENAMED"));
  EXPECT_EQ(&b, list.Table(list.IndexOf("other")));
  list.Remove(&a);
  list.Remove(&a);
  EXPECT_EQ(1, list.Count());
  EXPECT_EQ(-1, list.IndexOfTable(&a));
  EXPECT_THROW(list.Add("x", nullptr), EDatabaseError);
}

TEST(OpenTableList, ATableThatRemovesItselfWhileClosingDoesNotDisturbTheOthers) {
  Lines log;
  TOpenTableList list;
  struct SelfRemoving : FakeTable {
    SelfRemoving(Lines* l, TOpenTableList* owner) : FakeTable("S", l), list(owner) {}
    void CloseTable() override {
      FakeTable::CloseTable();
      list->Remove(this);  // ignores the mark
    }
    TOpenTableList* list;
  } s(&log, &list);
  FakeTable t("T", &log, true);
  list.Add("S", &s);
  list.Add("T", &t);
  const Lines failures = list.CloseAll();
  EXPECT_EQ((Lines{"close S (by database)", "close T (by database)"}), log);
  EXPECT_EQ(Lines{"T: Object invalid or no longer set."}, failures);
  EXPECT_EQ(0, list.Count());
}

// ---------------------------------------------------------------------------------------------
// Services

TEST_F(DaoDatabase, CollatingOrders) {
  EXPECT_EQ("Neutral", TUxDaoDatabase::CollatingOrderName(1024));
  EXPECT_EQ("Norwegian or Danish", TUxDaoDatabase::CollatingOrderName(1030));
  EXPECT_EQ("Bulgarian or Russian", TUxDaoDatabase::CollatingOrderName(1049));
  EXPECT_EQ("Simplified Chinese", TUxDaoDatabase::CollatingOrderName(2052));
  EXPECT_EQ("Undefined or unknown", TUxDaoDatabase::CollatingOrderName(-1));
  EXPECT_EQ("", TUxDaoDatabase::CollatingOrderName(1031));
  EXPECT_EQ("", TUxDaoDatabase::CollatingOrderName(0));
  auto db = MakeConnected();
  world.collating_order = 1053;
  EXPECT_EQ("Swedish or Finnish", db->DatabaseLanguage());
  world.collating_order = 4711;
  EXPECT_EQ("", db->DatabaseLanguage());
  EXPECT_EQ(4711, db->DatabaseCollatingOrder());
  world.FailOn("Database.CollatingOrder", 3420, "Object invalid or no longer set.");
  EXPECT_EQ("Undefined or unknown", db->DatabaseLanguage());
  EXPECT_EQ(-1, db->DatabaseCollatingOrder());
}

TEST_F(DaoDatabase, LastDaoErrorIsTheFirstEngineError) {
  auto db = Make();
  TDaoErrRec none = db->LastDaoError();
  EXPECT_EQ(0, none.Number);
  EXPECT_EQ("", none.Description);
  world.AddEngineError(3024, "Could not find file 'x.mdb'.");
  world.AddEngineError(3000, "second");
  const TDaoErrRec e = db->LastDaoError();
  EXPECT_EQ(3024, e.Number);
  EXPECT_EQ("DAO.Database", e.Source);
  EXPECT_EQ("Could not find file 'x.mdb'.", e.Description);
  EXPECT_EQ("jeterr40.chm", e.HelpFile);
  EXPECT_EQ(5003024, e.HelpContext);
}

TEST_F(DaoDatabase, QueryDefinitionAndIndexServices) {
  world.AddTable("Geburtstag");
  world.AddQuery("Alle", "SELECT * FROM Geburtstag");
  auto idx = std::make_shared<testing::NiceMock<daofake::MockIndex>>();
  world.indexes->Add("Personalnr", idx);
  auto db = Make();
  // Without a connection the services refuse (reading answers empty).
  EXPECT_EQ("TUxDaoDatabase.CreateQueryDef: Database is not connected!",
            DbError([&] { db->CreateQueryDef("q", "SELECT 1"); }));
  EXPECT_EQ("TUxDaoDatabase.DeleteIndex: Database is not connected!",
            DbError([&] { db->DeleteIndex("Geburtstag", "Personalnr"); }));
  EXPECT_EQ("TUxDaoDatabase.SetQueryDefSQL: Database is not connected!",
            DbError([&] { db->SetQueryDefSQL("Alle", "x"); }));
  EXPECT_EQ("", db->GetQueryDefSQL("Alle"));
  db->SetDatabase(db_file);
  db->SetConnected(true);

  EXPECT_EQ("SELECT * FROM Geburtstag", db->GetQueryDefSQL("alle"));
  EXPECT_EQ("", db->GetQueryDefSQL("Missing"));
  EXPECT_TRUE(db->CreateQueryDef("Neu", "SELECT Personalnr FROM Geburtstag"));
  EXPECT_EQ(1, world.Count("Database.CreateQueryDef 'Neu' 'SELECT Personalnr FROM Geburtstag'"));
  EXPECT_EQ("Alle\nNeu\n", db->QueryDefNames().Text());
  db->SetQueryDefSQL("Neu", "SELECT ID FROM Geburtstag");
  EXPECT_EQ("SELECT ID FROM Geburtstag", db->GetQueryDefSQL("Neu"));
  EXPECT_THROW(db->SetQueryDefSQL("Missing", "x"), framework::EOleException);

  db->DeleteIndex("Geburtstag", "Personalnr");
  EXPECT_EQ(0, world.indexes->Count());
  EXPECT_THROW(db->DeleteIndex("Geburtstag", "Personalnr"), framework::EOleException);
  EXPECT_THROW(db->DeleteIndex("Nope", "x"), framework::EOleException);
}

TEST_F(DaoDatabase, TransactionBookkeeping) {
  auto db = Make();
  db->TrackTransactionTable("Fahrer", 1);  // no transaction: nothing
  EXPECT_EQ(0, db->TransactionLevel());
  db->TransactionLog().Add("");
  db->TransactionLog().Add("");
  EXPECT_EQ(2, db->TransactionLevel());
  db->TrackTransactionTable("Fahrer", 1);
  db->TrackTransactionTable("Query", 2);
  db->TrackTransactionTable("FAHRER", 3);
  EXPECT_EQ("\nFAHRER=3,Query=2\n", db->TransactionLog().Text());
}

TEST_F(DaoDatabase, RefreshNameListsIgnoresCollectionsTheEngineCannotRefresh) {
  world.AddTable("Geburtstag");
  auto db = MakeConnected();
  ON_CALL(*world.database, Containers())
      .WillByDefault(testing::Throw(framework::EOleException(3251, "Operation is not supported.")));
  world.AddTable("Later");
  db->RefreshNameLists();
  EXPECT_EQ("Geburtstag\nLater\n", db->TableNames().Text());
}

// ---------------------------------------------------------------------------------------------
// Form files

// The settings of the data module's Datenbank as the program's form stores them.
std::string DatenbankForm() {
  std::ifstream in(GEB_DAO_TEST_DIR "/datenbank.form", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(DaoDatabase, FormLoadsTheSettingsAndRebuildsOnceAfterLoading) {
  world.log.clear();
  std::unique_ptr<framework::TComponent> c(
      framework::CreateComponentFromText(DatenbankForm(), nullptr));
  auto* db = dynamic_cast<TUxDaoDatabase*>(c.get());
  ASSERT_NE(nullptr, db);
  EXPECT_EQ("Datenbank", db->Name());
  EXPECT_EQ("9.10", db->ComponentVersion());
  EXPECT_EQ("C:\\Entwicklung\\Geburtstage\\geburtstage.mdb", db->Database());
  EXPECT_EQ("system.mdb", db->SystemDatabase());
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(db->HasState(framework::csLoading));
  // Nothing was rebuilt while reading; once after loading, with the settings read.
  EXPECT_EQ(Lines{"CreateWorkspace 'DaoWorkspace' 'Admin' '' 2"}, world.Calls("CreateWorkspace"));
  EXPECT_EQ(1, world.Count("Engine.SystemDB 'system.mdb'"));
  // Connect at start: the configured path replaces the design-time one.
  db->SetConnected(false);
  db->SetDatabase(db_file);
  db->SetPassword("");
  db->SetConnected(true);
  EXPECT_TRUE(db->Connected());
}

TEST_F(DaoDatabase, FormRoundTripAndStreamedConnected) {
  auto db = Make();
  db->SetDatabase(db_file);
  db->SetDatabaseParameters("X=1");
  db->SetExclusive(true);
  db->SetQueryTimeout(30);
  db->SetLoginPrompt(true);
  db->SetSaveUserName(false);
  const std::string text = framework::WriteComponentText(*db);
  EXPECT_EQ(std::string::npos, text.find("Connected"));
  EXPECT_NE(std::string::npos, text.find("ComponentVersion = '9.10'"));
  std::unique_ptr<framework::TComponent> copy(framework::CreateComponentFromText(text, nullptr));
  EXPECT_EQ(text, framework::WriteComponentText(*copy));

  db->SetLoginPrompt(false);
  db->SetConnected(true);
  const std::string connected = framework::WriteComponentText(*db);
  EXPECT_NE(std::string::npos, connected.find("Connected = True"));
  world.log.clear();
  std::unique_ptr<framework::TComponent> opened(framework::CreateComponentFromText(connected, nullptr));
  auto* db2 = dynamic_cast<TUxDaoDatabase*>(opened.get());
  EXPECT_TRUE(db2->Connected());
  // The connect happened after loading, once, with every setting in place.
  EXPECT_EQ(Lines{"OpenDatabase '" + db_file + "' True False ';UID=Admin;PWD=;X=1'"},
            world.Calls("OpenDatabase"));
  EXPECT_EQ(1, world.Count("Database.QueryTimeout 30"));
}

}  // namespace
}  // namespace dao
