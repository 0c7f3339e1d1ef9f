// TUxDaoDatabase: the database connection component. It owns one DAO engine, one workspace and
// at most one open database; table components attach to it and enter themselves in its list of
// open tables while they are open.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dao/dao_interfaces.h"
#include "dao/login_dialog.h"
#include "dao/open_tables.h"
#include "framework/component.h"
#include "framework/string_list.h"

namespace dao {

// The first error of the engine's Errors collection.
struct TDaoErrRec {
  int32_t Number = 0;
  std::string Source;
  std::string Description;
  std::string HelpFile;
  int32_t HelpContext = 0;
};

class TUxDaoDatabase : public framework::TComponent {
 public:
  using TDatabaseEvent = std::function<void(TUxDaoDatabase& database)>;
  using TLoginEvent = std::function<void(TUxDaoDatabase& database, framework::TStringList& values)>;

  // Initialises COM for the thread, finds the installed DAO versions and creates the engine of
  // the first one; raises "Unable to init OLE objects!" or "Cannot find DAO on your system!".
  explicit TUxDaoDatabase(framework::TComponent* owner);
  // Disconnects (errors are dropped: a destructor cannot report them), closes the workspace,
  // releases the DAO objects and undoes this component's COM initialisation.
  ~TUxDaoDatabase() override;

  std::string ClassName() const override { return "TUxDaoDatabase"; }
  // After reading from a form: rebuilds engine and workspace with the settings read (errors are
  // ignored), then connects when the form said Connected = True.
  void Loaded() override;

  // ---- Published properties, in declaration order ----
  // "9.10"; writes are ignored.
  std::string ComponentVersion() const { return "9.10"; }
  void SetComponentVersion(const std::string&) {}
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  // The collating order's name of the open database, read afresh on every call; empty when not
  // connected. A written value is kept only until the next read.
  std::string DatabaseLanguage() const;
  void SetDatabaseLanguage(const std::string& value) { language_ = value; }
  // "Access", "ODBC" or an installed format of DatabaseTypes; setting it empties Database.
  const std::string& DatabaseType() const { return database_type_; }
  void SetDatabaseType(const std::string& value);
  // The database file (Access), the data source (ODBC) or the path (other formats).
  const std::string& Database() const { return database_; }
  void SetDatabase(const std::string& value);
  // Appended to the connect text.
  const std::string& DatabaseParameters() const { return database_parameters_; }
  void SetDatabaseParameters(const std::string& value);
  // The open database's version (set on connect); writes are ignored.
  const std::string& DatabaseVersionInfo() const { return database_version_info_; }
  void SetDatabaseVersionInfo(const std::string&) {}
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);
  bool LoginPrompt() const { return login_prompt_; }
  void SetLoginPrompt(bool value);
  // Outside form loading, changing it rebuilds engine and workspace (errors ignored: they show
  // at the next connect).
  const std::string& UserName() const { return user_name_; }
  void SetUserName(const std::string& value);
  bool UseODBCDialog() const { return use_odbc_dialog_; }
  void SetUseODBCDialog(bool value) { use_odbc_dialog_ = value; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value);
  const std::string& DatabasePassword() const { return database_password_; }
  void SetDatabasePassword(const std::string& value);
  // The workgroup database; an empty value means the registered one.
  const std::string& SystemDatabase() const { return system_database_; }
  void SetSystemDatabase(const std::string& value);
  bool SaveUserName() const { return save_user_name_; }
  void SetSaveUserName(bool value) { save_user_name_ = value; }
  // When connected, changing it refreshes the name lists.
  bool ShowSystemObjects() const { return show_system_objects_; }
  void SetShowSystemObjects(bool value);
  // Look for a missing Access file in the program's folder.
  bool SmartOpen() const { return smart_open_; }
  void SetSmartOpen(bool value) { smart_open_ = value; }
  // 2 (Jet) or 1 (ODBC direct).
  int EngineType() const { return engine_type_; }
  void SetEngineType(int value);
  bool PrivateEngine() const { return private_engine_; }
  void SetPrivateEngine(bool value);
  bool TrackTransactions() const { return track_transactions_; }
  void SetTrackTransactions(bool value);
  // True once an engine has been created; writes are ignored.
  bool UsesDynaDao() const { return uses_dyna_dao_; }
  void SetUsesDynaDao(bool) {}
  // The DAO version, "3.5" or "3.6"; only the first three characters of a value count.
  const std::string& Version() const { return version_; }
  void SetVersion(const std::string& value);
  // The engine's own version text; writes are ignored.
  const std::string& VersionDetails() const { return version_details_; }
  void SetVersionDetails(const std::string&) {}
  // "(In Access'97 mode)" or "(In Access'2000 mode)"; writes are ignored.
  const std::string& VersionInfo() const { return version_info_; }
  void SetVersionInfo(const std::string&) {}
  // After a rebuild, the workspace's actual name.
  const std::string& Workspace() const { return workspace_; }
  void SetWorkspace(const std::string& value);
  int DefaultCursorDriver() const { return default_cursor_driver_; }
  void SetDefaultCursorDriver(int value);
  int QueryTimeout() const { return query_timeout_; }
  void SetQueryTimeout(int value) { query_timeout_ = value; }
  bool MdbVersionAutoDetect() const { return mdb_version_auto_detect_; }
  void SetMdbVersionAutoDetect(bool value) { mdb_version_auto_detect_ = value; }

  TLoginEvent OnLogin;
  TDatabaseEvent OnBeforeConnect;
  TDatabaseEvent OnAfterConnect;
  TDatabaseEvent OnBeforeDisconnect;
  TDatabaseEvent OnAfterDisconnect;

  bool Connected() const { return connected_; }
  // Connects or disconnects (while reading a form, the value is applied by Loaded).
  void SetConnected(bool value);

  // ---- DAO objects (each may be empty) ----
  std::shared_ptr<DBEngine> CoreEngine() const { return core_engine_; }
  std::shared_ptr<dao::Workspace> CoreWorkspace() const { return core_workspace_; }
  std::shared_ptr<dao::Database> CoreDatabase() const { return core_database_; }

  // ---- Connecting ----
  // Creates CoreEngine for version "3.5" (falling back to 3.6) or "3.6"; sets Version to the
  // version created.
  void CreateEngine(const std::string& version);
  // Closes and releases workspace and engine, initialises COM afresh and creates both from the
  // properties.
  void CreateEngineAndWorkspace();
  // Picks the DAO version that fits the Access file at `path` (only for DatabaseType "Access");
  // any failure ends the detection silently.
  void DetectMdbVersion(const std::string& path);
  // Closes every table in ActiveTables (all of them, even when one fails), then empties it.
  void CloseActiveTables();
  // Lets the engine drop its locks and read caches.
  void FreeEngineCaches();

  // ---- Services ----
  // Re-reads the table and query names of the open database.
  void RefreshNameLists();
  // The collating order read with DatabaseLanguage (0 when not connected, -1 when unreadable).
  int DatabaseCollatingOrder() const { return collating_order_; }
  // The name of a collating order ("" for one that has none).
  static std::string CollatingOrderName(int order);
  // The workgroup database registered for the engine of Version ("" when none).
  std::string DefaultSystemDatabase() const;
  // The engine's first error; all fields empty when there is none.
  TDaoErrRec LastDaoError();
  void DeleteIndex(const std::string& table_name, const std::string& index_name);
  // Stores a query; answers true.
  bool CreateQueryDef(const std::string& query_name, const std::string& sql);
  void SetQueryDefSQL(const std::string& query_name, const std::string& sql);
  // The SQL of the stored query; "" when it cannot be read.
  std::string GetQueryDefSQL(const std::string& query_name);
  // Records `table_name` with `number` in the current transaction level (the last entry of
  // TransactionLog); nothing when no transaction is logged.
  void TrackTransactionTable(const std::string& table_name, int number);
  int TransactionLevel() const { return transaction_log_.Count(); }

  // ---- Lists ----
  const framework::TStringList& TableNames() const { return table_names_; }
  const framework::TStringList& QueryDefNames() const { return query_def_names_; }
  TOpenTableList& ActiveTables() { return active_tables_; }
  const framework::TStringList& DatabaseTypes() const { return database_types_; }
  const framework::TStringList& ODBCDrivers() const { return odbc_drivers_; }
  const framework::TStringList& SystemDSNs() const { return system_dsns_; }
  const framework::TStringList& UserDSNs() const { return user_dsns_; }
  const framework::TStringList& DSNDatabases() const { return dsn_databases_; }
  const framework::TStringList& DaoVersions() const { return dao_versions_; }
  // name=value lines ("USER NAME", "PASSWORD", "DBPASSWORD") that answer the login.
  framework::TStringList& LoginValues() { return login_values_; }
  framework::TStringList& TransactionLog() { return transaction_log_; }

  // The factory of login dialogs for this component; null uses DefaultLoginDialogFactory().
  void SetLoginDialogFactory(ILoginDialogFactory* factory) { login_dialog_factory_ = factory; }

 private:
  void InitOle();
  void ReleaseOle();
  void RefuseWhileConnected(const std::string& message) const;
  // Stores `value` into `field`; outside form loading rebuilds engine and workspace and, when
  // that fails, puts the old value back, rebuilds with it and re-raises the first error.
  template <class T>
  void RebuildWithRestore(T& field, const T& value, const std::function<void()>& on_change = {});
  void RebuildIgnoringErrors();
  DBEngine& Engine() const;
  void SetVersionInfoFrom(const std::string& details);

  void Connect();
  void Disconnect();
  // The login loop; false when the login was cancelled and the connect ends without error.
  bool Login();
  void ExchangeLoginValues();
  void TakeLoginValues();
  void OpenDatabase();

  void FillDatabaseTypes();
  void FillOdbcLists();

  std::shared_ptr<DBEngine> core_engine_;
  std::shared_ptr<dao::Workspace> core_workspace_;
  std::shared_ptr<dao::Database> core_database_;
  bool ole_initialized_ = false;

  bool exclusive_ = false;
  mutable std::string language_;
  mutable int collating_order_ = 0;
  std::string database_type_ = "Access";
  std::string database_;
  std::string database_parameters_;
  std::string database_version_info_;
  bool read_only_ = false;
  bool login_prompt_ = false;
  std::string user_name_ = "Admin";
  bool use_odbc_dialog_ = true;
  std::string password_;
  std::string database_password_;
  std::string system_database_;
  bool save_user_name_ = true;
  bool show_system_objects_ = false;
  bool smart_open_ = true;
  int engine_type_ = 2;
  bool private_engine_ = false;
  bool track_transactions_ = true;
  bool uses_dyna_dao_ = false;
  std::string version_ = "3.6";
  std::string version_details_;
  std::string version_info_;
  std::string workspace_ = "DaoWorkspace";
  int default_cursor_driver_ = -1;
  int query_timeout_ = 60;
  bool mdb_version_auto_detect_ = false;
  bool connected_ = false;
  bool streamed_connected_ = false;

  framework::TStringList table_names_;
  framework::TStringList query_def_names_;
  TOpenTableList active_tables_;
  framework::TStringList database_types_;
  framework::TStringList odbc_drivers_;
  framework::TStringList system_dsns_;
  framework::TStringList user_dsns_;
  framework::TStringList dsn_databases_;
  framework::TStringList login_values_;
  framework::TStringList transaction_log_;
  framework::TStringList dao_versions_;

  ILoginDialogFactory* login_dialog_factory_ = nullptr;
};

// Makes TUxDaoDatabase known to the form reader with its stored properties (also done when the
// program starts; calling it again is harmless).
void RegisterUxDaoDatabaseClass();

}  // namespace dao
