#include "dao/dao_database.h"

#include <exception>
#include <fstream>
#include <utility>
#include <vector>

#include "dao/dao_constants.h"
#include "framework/application.h"
#include "framework/com.h"
#include "framework/exception.h"
#include "framework/form_classes.h"
#include "framework/registry.h"
#include "framework/strings.h"

namespace dao {

using framework::EDatabaseError;
using framework::HKEY;
using framework::SameText;

namespace {

const char kNoDao[] = "You does not have Microsoft DAO installed ot it is an OLD Version!";
const char kOleInit[] = "Unable to init OLE objects!";

const char kUserNameKey[] = "USER NAME";
const char kPasswordKey[] = "PASSWORD";
const char kDbPasswordKey[] = "DBPASSWORD";

std::shared_ptr<DBEngine> CreateEngineObject(const std::string& prog_id) {
  auto engine = std::dynamic_pointer_cast<DBEngine>(framework::CreateOleObject(prog_id));
  if (!engine) throw framework::EOleException(-2147467262, "No such interface supported", prog_id);
  return engine;
}

// The file name of a path written with '/' or, as configuration files from Windows have it,
// with '\'.
std::string FileNamePart(const std::string& path) {
  const size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool StartsText(const std::string& prefix, const std::string& text) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// Runs one step whose failure does not matter to the caller (refreshing collections that an
// engine may not offer).
template <class F>
void Ignoring(F&& step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TUxDaoDatabase::TUxDaoDatabase(framework::TComponent* owner) : framework::TComponent(owner) {
  RegisterUxDaoDatabaseClass();
  InitOle();
  try {
    private_engine_ = false;
    // A version counts as installed when its ProgID is registered and an engine can be made.
    for (const char* v : {"3.5", "3.6"}) {
      const std::string prog_id = std::string("DAO.DBEngine.") + v[0] + v[2];
      if (!framework::Registry().KeyExists(HKEY::HKEY_CLASSES_ROOT, prog_id)) continue;
      try {
        CreateEngineObject(prog_id);  // the probe is released at once
        dao_versions_.Add(v);
      } catch (const std::exception&) {
      }
    }
    if (dao_versions_.Count() == 0) throw EDatabaseError("Cannot find DAO on your system!");
    version_ = dao_versions_.Strings(0) == "3.5" ? "3.5" : "3.6";
    CreateEngine(version_);

    system_database_ = DefaultSystemDatabase();
    if (!system_database_.empty()) core_engine_->SetSystemDB(system_database_);

    user_name_ = "Admin";
    password_.clear();
    database_password_.clear();
    database_parameters_.clear();
    save_user_name_ = true;
    smart_open_ = true;
    core_engine_->SetDefaultUser("Admin");
    core_engine_->SetDefaultPassword("");
    engine_type_ = dbUseJet;
    core_engine_->SetDefaultType(dbUseJet);
    default_cursor_driver_ = -1;
    workspace_ = "DaoWorkspace";

    version_details_ = core_engine_->Version();
    SetVersionInfoFrom(version_details_);
    database_version_info_.clear();

    database_type_ = "Access";
    connected_ = false;
    database_.clear();
    read_only_ = exclusive_ = login_prompt_ = mdb_version_auto_detect_ = show_system_objects_ = false;
    query_timeout_ = 60;
    track_transactions_ = true;
    use_odbc_dialog_ = true;

    FillDatabaseTypes();
    FillOdbcLists();
  } catch (...) {
    core_engine_.reset();
    ReleaseOle();
    throw;
  }
}

TUxDaoDatabase::~TUxDaoDatabase() {
  try {
    if (connected_) SetConnected(false);
  } catch (const std::exception&) {
    // Nothing can report it any more; the objects are released below regardless.
  }
  if (core_workspace_) {
    try {
      core_workspace_->Close();
    } catch (const std::exception&) {
    }
  }
  core_database_.reset();
  core_workspace_.reset();
  core_engine_.reset();
  ReleaseOle();
}

void TUxDaoDatabase::InitOle() {
  const int result = framework::CoInitialize();
  if (result != framework::S_OK && result != framework::S_FALSE) throw EDatabaseError(kOleInit);
  // Both answers count an initialisation that this component must undo.
  ole_initialized_ = true;
}

void TUxDaoDatabase::ReleaseOle() {
  if (!ole_initialized_) return;
  framework::CoUninitialize();
  ole_initialized_ = false;
}

void TUxDaoDatabase::Loaded() {
  framework::TComponent::Loaded();
  if (!connected_) RebuildIgnoringErrors();
  if (streamed_connected_) {
    streamed_connected_ = false;
    SetConnected(true);
  }
}

// ---------------------------------------------------------------------------------------------
// Property setters

void TUxDaoDatabase::RefuseWhileConnected(const std::string& message) const {
  if (connected_) throw EDatabaseError(message);
}

template <class T>
void TUxDaoDatabase::RebuildWithRestore(T& field, const T& value,
                                        const std::function<void()>& on_change) {
  const T old = field;
  field = value;
  if (on_change) on_change();
  if (HasState(framework::csLoading)) return;
  try {
    CreateEngineAndWorkspace();
  } catch (...) {
    const std::exception_ptr first = std::current_exception();
    field = old;
    if (on_change) on_change();
    RebuildIgnoringErrors();
    std::rethrow_exception(first);
  }
}

void TUxDaoDatabase::RebuildIgnoringErrors() {
  try {
    CreateEngineAndWorkspace();
  } catch (const std::exception&) {
    // The next connect rebuilds again and reports the failure then.
  }
}

void TUxDaoDatabase::SetExclusive(bool value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_Exclusive: Cannot change Exclusive mode while Database is connected!");
  exclusive_ = value;
}

void TUxDaoDatabase::SetDatabaseType(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is connected!");
  database_type_ = value;
  database_.clear();
}

void TUxDaoDatabase::SetDatabase(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!");
  database_ = value;
}

void TUxDaoDatabase::SetDatabaseParameters(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_DatabaseParameters: Cannot set DatabaseParameters while Database is connected!");
  database_parameters_ = value;
}

void TUxDaoDatabase::SetReadOnly(bool value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!");
  read_only_ = value;
  if (value)
    for (int i = 0; i < active_tables_.Count(); ++i) active_tables_.Table(i)->SetTableReadOnly(true);
}

void TUxDaoDatabase::SetLoginPrompt(bool value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_LoginPrompt: Cannot change LoginPrompt while Database is connected!");
  login_prompt_ = value;
}

void TUxDaoDatabase::SetUserName(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!");
  user_name_ = value;
  if (!HasState(framework::csLoading)) RebuildIgnoringErrors();
}

void TUxDaoDatabase::SetPassword(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_Password: Cannot change Password while Database is connected!");
  password_ = value;
  if (!HasState(framework::csLoading)) RebuildIgnoringErrors();
}

void TUxDaoDatabase::SetDatabasePassword(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_DatabasePassword: Cannot change Database Password while Database is connected!");
  database_password_ = value;
}

void TUxDaoDatabase::SetSystemDatabase(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_SystemDatabase: Cannot set SystemDatabase while Database is connected!");
  RebuildWithRestore(system_database_, value.empty() ? DefaultSystemDatabase() : value);
}

void TUxDaoDatabase::SetShowSystemObjects(bool value) {
  show_system_objects_ = value;
  if (connected_) RefreshNameLists();
}

void TUxDaoDatabase::SetEngineType(int value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_EngineType: Cannot set EngineType Type while Database is connected!");
  RebuildWithRestore(engine_type_, value);
}

void TUxDaoDatabase::SetPrivateEngine(bool value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is connected!");
  RebuildWithRestore(private_engine_, value);
}

void TUxDaoDatabase::SetTrackTransactions(bool value) {
  RefuseWhileConnected("Cannot set TrackTransactions property when Database is connected!");
  track_transactions_ = value;
}

void TUxDaoDatabase::SetVersion(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!");
  RebuildWithRestore(version_, value.substr(0, 3), [this] { FillDatabaseTypes(); });
  if (core_engine_) version_details_ = core_engine_->Version();
}

void TUxDaoDatabase::SetWorkspace(const std::string& value) {
  RefuseWhileConnected("TUxDaoDatabase.F_Set_Workspace: Cannot set Workspace while Database is connected!");
  RebuildWithRestore(workspace_, value);
}

void TUxDaoDatabase::SetDefaultCursorDriver(int value) {
  default_cursor_driver_ = value;
  if (!HasState(framework::csLoading) && engine_type_ == dbUseODBC && core_workspace_)
    core_workspace_->SetDefaultCursorDriver(value);
}

void TUxDaoDatabase::SetVersionInfoFrom(const std::string& details) {
  const char third = details.size() >= 3 ? details[2] : '\0';
  if (third == '5') version_info_ = "(In Access'97 mode)";
  else if (third == '6') version_info_ = "(In Access'2000 mode)";
  else version_info_.clear();
}

// ---------------------------------------------------------------------------------------------
// Engine and workspace

DBEngine& TUxDaoDatabase::Engine() const {
  if (!core_engine_) throw EDatabaseError(kNoDao);
  return *core_engine_;
}

void TUxDaoDatabase::CreateEngine(const std::string& version) {
  const std::string id35 = private_engine_ ? "DAO.PrivateDBEngine.35" : "DAO.DBEngine.35";
  const std::string id36 = private_engine_ ? "DAO.PrivateDBEngine.36" : "DAO.DBEngine.36";
  uses_dyna_dao_ = true;
  if (version == "3.5") {
    try {
      core_engine_ = CreateEngineObject(id35);
      version_ = "3.5";
      return;
    } catch (const std::exception&) {
    }
  } else if (version != "3.6") {
    // No ProgID belongs to any other version; leaving the engine empty would only fail later.
    throw EDatabaseError("Unknown DAO version \"" + version + "\"! Use 3.5 or 3.6.");
  }
  try {
    core_engine_ = CreateEngineObject(id36);
    version_ = "3.6";
  } catch (const std::exception&) {
    throw EDatabaseError(kNoDao);
  }
}

void TUxDaoDatabase::CreateEngineAndWorkspace() {
  if (core_workspace_) {
    try {
      core_workspace_->Close();
    } catch (const std::exception&) {
    }
    core_workspace_.reset();
  }
  core_engine_.reset();
  ReleaseOle();
  InitOle();
  CreateEngine(version_);
  DBEngine& engine = *core_engine_;
  engine.SetSystemDB(system_database_);
  version_details_ = engine.Version();
  SetVersionInfoFrom(version_details_);
  engine.SetDefaultUser(user_name_);
  engine.SetDefaultPassword(password_);
  core_workspace_ = engine.CreateWorkspace(workspace_, Variant(user_name_), Variant(password_),
                                           Variant(engine_type_));
  engine.Workspaces()->Append(core_workspace_);
  if (engine_type_ == dbUseODBC) core_workspace_->SetDefaultCursorDriver(default_cursor_driver_);
  workspace_ = core_workspace_->Name();
}

void TUxDaoDatabase::DetectMdbVersion(const std::string& path) {
  if (database_type_ != "Access") return;
  try {
    std::ifstream file(path, std::ios::binary);
    if (!file) return;
    char header[160];
    file.read(header, sizeof header);
    if (file.gcount() < static_cast<std::streamsize>(sizeof header)) return;
    if (dao_versions_.IndexOf("3.5") >= 0) version_ = "3.5";
    if (header[156] == '4' && header[157] == '.' && version_ == "3.5" && uses_dyna_dao_)
      version_ = "3.6";
  } catch (const std::exception&) {
  }
}

// ---------------------------------------------------------------------------------------------
// Connecting and disconnecting

void TUxDaoDatabase::SetConnected(bool value) {
  if (HasState(framework::csReading)) {
    streamed_connected_ = value;
    return;
  }
  if (connected_ && value) return;
  if (value) {
    if (database_.empty())
      throw EDatabaseError("TUxDaoDatabase.F_Set_Active: Database property is not defined!");
    if (database_type_.empty())
      throw EDatabaseError("TUxDaoDatabase.F_Set_Active: DatabaseType property is not defined!");
    Connect();
  } else if (connected_) {
    Disconnect();
  }
}

void TUxDaoDatabase::Disconnect() {
  if (OnBeforeDisconnect) OnBeforeDisconnect(*this);
  table_names_.Clear();
  query_def_names_.Clear();
  CloseActiveTables();
  // The database is released and the component disconnected even when closing fails; the
  // failure is reported after that.
  std::exception_ptr close_error;
  if (core_database_) {
    try {
      core_database_->Close();
    } catch (...) {
      close_error = std::current_exception();
    }
    core_database_.reset();
  }
  transaction_log_.Clear();
  connected_ = false;
  if (OnAfterDisconnect) OnAfterDisconnect(*this);
  if (close_error) std::rethrow_exception(close_error);
}

void TUxDaoDatabase::CloseActiveTables() {
  // Each table is closed even when another fails to close; those failures are dropped.
  active_tables_.CloseAll();
}

void TUxDaoDatabase::FreeEngineCaches() {
  Engine().Idle(Variant(dbFreeLocks));
  Engine().Idle(Variant(dbRefreshCache));
}

void TUxDaoDatabase::Connect() {
  if (OnBeforeConnect) OnBeforeConnect(*this);
  if (!Login()) return;
  OpenDatabase();
  try {
    if (query_timeout_ != 60) core_database_->SetQueryTimeout(query_timeout_);
    if (database_type_ != "ODBC") database_version_info_ = core_database_->Version();
    RefreshNameLists();
    DatabaseLanguage();
  } catch (...) {
    // A connect that fails leaves nothing open behind a disconnected component.
    const std::exception_ptr error = std::current_exception();
    Ignoring([&] { core_database_->Close(); });
    core_database_.reset();
    table_names_.Clear();
    query_def_names_.Clear();
    std::rethrow_exception(error);
  }
  connected_ = true;
  FreeEngineCaches();
  if (OnAfterConnect) OnAfterConnect(*this);
}

void TUxDaoDatabase::ExchangeLoginValues() {
  framework::TStringList values;
  values.Add(std::string(kUserNameKey) + "=" + user_name_);
  values.Add(std::string(kPasswordKey) + "=" + password_);
  values.Add(std::string(kDbPasswordKey) + "=" + database_password_);
  OnLogin(*this, values);
  user_name_ = values.Values(kUserNameKey);
  password_ = values.Values(kPasswordKey);
  database_password_ = values.Values(kDbPasswordKey);
}

void TUxDaoDatabase::TakeLoginValues() {
  if (login_values_.IndexOfName(kUserNameKey) >= 0) user_name_ = login_values_.Values(kUserNameKey);
  if (login_values_.IndexOfName(kPasswordKey) >= 0) password_ = login_values_.Values(kPasswordKey);
  if (login_values_.IndexOfName(kDbPasswordKey) >= 0)
    database_password_ = login_values_.Values(kDbPasswordKey);
}

bool TUxDaoDatabase::Login() {
  // Values of the last attempt that failed without the dialog: handing the same values to the
  // engine again cannot succeed, and without a dialog nobody could stop the repetition.
  bool have_failed_values = false;
  std::string failed_user, failed_password, failed_db_password;
  for (;;) {
    bool cancelled = false;
    bool dialog_shown = false;
    if (login_prompt_) {
      ILoginDialogFactory* factory =
          login_dialog_factory_ != nullptr ? login_dialog_factory_ : DefaultLoginDialogFactory();
      if (factory == nullptr)
        throw EDatabaseError("TUxDaoDatabase.F_Set_Active: No login dialog is available!");
      std::unique_ptr<ILoginDialog> dialog = factory->CreateLoginDialog();
      dialog->SetUserName(save_user_name_ ? user_name_ : "");
      dialog->SetPassword("");
      dialog->SetDbPassword("");
      dialog->SetDatabaseName(database_);
      dialog->FocusUserName();
      if (OnLogin) {
        ExchangeLoginValues();
      } else if (login_values_.Count() == 0) {
        dialog_shown = true;
        if (dialog->Execute()) {
          user_name_ = dialog->UserName();
          password_ = dialog->Password();
          database_password_ = dialog->DbPassword();
        } else {
          framework::Application().ShowMessage(
              "If You not enter Username and Password You may not gain access to your data!");
          user_name_.clear();
          password_.clear();
          database_password_.clear();
          cancelled = true;
        }
      } else {
        TakeLoginValues();
      }
    } else if (OnLogin) {
      ExchangeLoginValues();
    } else if (login_values_.Count() > 0) {
      TakeLoginValues();
    }

    try {
      if (mdb_version_auto_detect_) DetectMdbVersion(database_);
      CreateEngineAndWorkspace();
      return true;
    } catch (const std::exception& e) {
      if (!login_prompt_) throw;
      if (cancelled) return false;
      if (!dialog_shown) {
        if (have_failed_values && failed_user == user_name_ && failed_password == password_ &&
            failed_db_password == database_password_)
          throw;
        have_failed_values = true;
        failed_user = user_name_;
        failed_password = password_;
        failed_db_password = database_password_;
      }
      framework::Application().ShowMessage(e.what());
    }
  }
}

void TUxDaoDatabase::OpenDatabase() {
  dao::Workspace& ws = *core_workspace_;
  if (SameText(database_type_, "Access")) {
    const std::string program_folder = framework::Application().ExeFolder();
    if (smart_open_ && !framework::FileExists(database_) && !program_folder.empty()) {
      // The file may have been moved next to the program. The setting is changed only when it
      // is found there, so a failure names the path the user gave.
      const std::string beside = program_folder + FileNamePart(database_);
      if (framework::FileExists(beside)) database_ = beside;
    }
    if (!framework::FileExists(database_))
      throw EDatabaseError("Cannot find Database:\r\n" + database_);
    if (engine_type_ != dbUseJet)
      throw EDatabaseError(
          "TUxDaoDatabase.F_Set_Active: ODBC direct workspaces\r\nare NOT supported for MS Access Databases!");
    const std::string connect = ";UID=" + user_name_ + ";PWD=" + database_password_ + ";" +
                                database_parameters_;
    core_database_ = ws.OpenDatabase(database_, Variant(exclusive_), Variant(read_only_), Variant(connect));
  } else if (SameText(database_type_, "ODBC")) {
    const std::string connect =
        StartsText("odbc;", database_)
            ? database_ + ";" + database_parameters_
            : database_type_ + ";UID=" + user_name_ + ";PWD=" + password_ + ";DSN=" + database_ +
                  ";" + database_parameters_;
    if (engine_type_ == dbUseJet)
      core_database_ = ws.OpenDatabase(database_, Variant(dbDriverNoPrompt), Variant(read_only_), Variant(connect));
    else
      core_database_ = ws.OpenConnection(database_, Variant(dbDriverNoPrompt), Variant(read_only_), Variant(connect));
  } else {
    if (engine_type_ != dbUseJet)
      throw EDatabaseError("TUxDaoDatabase.F_Set_Active: ODBC direct workspaces NOT supported!");
    const std::string connect =
        !password_.empty() && !user_name_.empty()
            ? database_type_ + ";UID=" + user_name_ + ";PWD=" + password_ + ";" + database_parameters_
            : database_type_ + ";" + database_parameters_;
    core_database_ = ws.OpenDatabase(database_, Variant(exclusive_), Variant(read_only_), Variant(connect));
  }
  if (!core_database_) throw EDatabaseError("TUxDaoDatabase.F_Set_Active: the engine opened no database!");
}

// ---------------------------------------------------------------------------------------------
// Services

void TUxDaoDatabase::RefreshNameLists() {
  table_names_.Clear();
  query_def_names_.Clear();
  const std::shared_ptr<dao::Database> db = core_database_;
  if (!db) return;
  const bool jet = engine_type_ == dbUseJet;
  if (jet) Ignoring([&] { db->TableDefs()->Refresh(); });
  Ignoring([&] { db->QueryDefs()->Refresh(); });
  if (database_type_ == "Access") {
    Ignoring([&] { db->Containers()->Refresh(); });
    Ignoring([&] { db->Relations()->Refresh(); });
  }
  Ignoring([&] { db->Recordsets()->Refresh(); });
  if (jet) Ignoring([&] { db->Properties()->Refresh(); });
  if (core_engine_) {
    Ignoring([&] { core_engine_->Errors()->Refresh(); });
    Ignoring([&] { core_engine_->Workspaces()->Refresh(); });
    Ignoring([&] { core_engine_->Properties()->Refresh(); });
  }
  if (core_workspace_) {
    if (jet) {
      Ignoring([&] { core_workspace_->Users()->Refresh(); });
      Ignoring([&] { core_workspace_->Groups()->Refresh(); });
    }
    Ignoring([&] { core_workspace_->Databases()->Refresh(); });
    Ignoring([&] { core_workspace_->Properties()->Refresh(); });
  }
  // One unreadable definition does not hide the others.
  if (jet) {
    Ignoring([&] {
      const auto defs = db->TableDefs();
      const int count = defs->Count();
      for (int i = 0; i < count; ++i) {
        Ignoring([&] {
          const auto def = defs->Item(i);
          if (show_system_objects_ || (def->Attributes() & dbSystemObject) == 0)
            table_names_.Add(def->Name());
        });
      }
    });
  }
  Ignoring([&] {
    const auto defs = db->QueryDefs();
    const int count = defs->Count();
    for (int i = 0; i < count; ++i) Ignoring([&] { query_def_names_.Add(defs->Item(i)->Name()); });
  });
}

std::string TUxDaoDatabase::CollatingOrderName(int order) {
  switch (order) {
    case 1024: return "Neutral";
    case 1025: return "Arabic";
    case 1028: return "Traditional Chinese";
    case 1029: return "Czech";
    case 1030: return "Norwegian or Danish";
    case 1032: return "Greek";
    case 1033: return "General (English, French, German, Portuguese, Italian, and Modern Spanish)";
    case 1034: return "Spanish";
    case 1037: return "Hebrew";
    case 1038: return "Hungarian";
    case 1039: return "Icelandic";
    case 1041: return "Japanese";
    case 1042: return "Korean";
    case 1043: return "Dutch";
    case 1045: return "Polish";
    case 1049: return "Bulgarian or Russian";
    case 1053: return "Swedish or Finnish";
    case 1054: return "Thai";
    case 1055: return "Turkish";
    case 1060: return "Slovenian";
    case 2052: return "Simplified Chinese";
    case -1: return "Undefined or unknown";
    default: return "";
  }
}

std::string TUxDaoDatabase::DatabaseLanguage() const {
  // The open database counts, also in the middle of a connect.
  if (!core_database_) {
    collating_order_ = 0;
    language_.clear();
    return language_;
  }
  int order = -1;
  try {
    order = core_database_->CollatingOrder();
  } catch (const std::exception&) {
    order = -1;
  }
  collating_order_ = order;
  language_ = CollatingOrderName(order);
  return language_;
}

std::string TUxDaoDatabase::DefaultSystemDatabase() const {
  const std::string key = version_ == "3.6" ? "4.0" : "3.5";
  return framework::Registry().ReadString(HKEY::HKEY_LOCAL_MACHINE,
                                          "SOFTWARE\\Microsoft\\JET\\" + key + "\\Engines", "SystemDB");
}

TDaoErrRec TUxDaoDatabase::LastDaoError() {
  TDaoErrRec rec;
  if (!core_engine_) return rec;
  const auto errors = core_engine_->Errors();
  if (errors->Count() > 0) {
    const auto e = errors->Item(0);
    rec.Number = e->Number();
    rec.Source = e->Source();
    rec.Description = e->Description();
    rec.HelpFile = e->HelpFile();
    rec.HelpContext = e->HelpContext();
  }
  return rec;
}

namespace {
std::shared_ptr<dao::Database> RequireDatabase(const std::shared_ptr<dao::Database>& db,
                                               const char* method) {
  if (!db) throw EDatabaseError(std::string("TUxDaoDatabase.") + method + ": Database is not connected!");
  return db;
}
}  // namespace

void TUxDaoDatabase::DeleteIndex(const std::string& table_name, const std::string& index_name) {
  const auto db = RequireDatabase(core_database_, "DeleteIndex");
  RefreshNameLists();
  db->TableDefs()->Item(table_name)->Indexes()->Delete(index_name);
  RefreshNameLists();
}

bool TUxDaoDatabase::CreateQueryDef(const std::string& query_name, const std::string& sql) {
  const auto db = RequireDatabase(core_database_, "CreateQueryDef");
  db->CreateQueryDef(Variant(query_name), Variant(sql));
  RefreshNameLists();
  return true;
}

void TUxDaoDatabase::SetQueryDefSQL(const std::string& query_name, const std::string& sql) {
  const auto db = RequireDatabase(core_database_, "SetQueryDefSQL");
  RefreshNameLists();
  db->QueryDefs()->Item(query_name)->SetSQL(sql);
  RefreshNameLists();
}

std::string TUxDaoDatabase::GetQueryDefSQL(const std::string& query_name) {
  if (!core_database_) return "";
  try {
    return core_database_->QueryDefs()->Item(query_name)->SQL();
  } catch (const std::exception&) {
    return "";
  }
}

void TUxDaoDatabase::TrackTransactionTable(const std::string& table_name, int number) {
  if (transaction_log_.Count() == 0) return;
  const int last = transaction_log_.Count() - 1;
  std::vector<std::string> pairs;
  const std::string entry = transaction_log_.Strings(last);
  if (!entry.empty()) pairs = framework::SplitString(entry, ',');
  bool found = false;
  for (std::string& pair : pairs) {
    const size_t eq = pair.find('=');
    if (SameText(pair.substr(0, eq), table_name)) {
      pair = table_name + "=" + std::to_string(number);
      found = true;
    }
  }
  if (!found) pairs.push_back(table_name + "=" + std::to_string(number));
  std::string joined;
  for (size_t i = 0; i < pairs.size(); ++i) joined += (i ? "," : "") + pairs[i];
  transaction_log_.SetStrings(last, joined);
}

// ---------------------------------------------------------------------------------------------
// Lists read from the registry

void TUxDaoDatabase::FillDatabaseTypes() {
  database_types_.BeginUpdate();
  database_types_.Clear();
  std::string key;
  if (version_ == "3.5") key = "SOFTWARE\\Microsoft\\JET\\3.5\\ISAM Formats";
  else if (version_ == "3.6") key = "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats";
  if (!key.empty())
    for (const std::string& name : framework::Registry().SubKeyNames(HKEY::HKEY_LOCAL_MACHINE, key))
      database_types_.Add(name);
  database_types_.Insert(0, "ODBC");
  database_types_.Insert(0, "Access");
  database_types_.EndUpdate();
}

void TUxDaoDatabase::FillOdbcLists() {
  const framework::TRegistryTree& reg = framework::Registry();
  odbc_drivers_.Clear();
  for (const std::string& name :
       reg.ValueNames(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"))
    odbc_drivers_.Add(name);
  system_dsns_.Clear();
  for (const std::string& name :
       reg.ValueNames(HKEY::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources"))
    system_dsns_.Add(name);
  user_dsns_.Clear();
  for (const std::string& name :
       reg.ValueNames(HKEY::HKEY_CURRENT_USER, "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources"))
    user_dsns_.Add(name);
  dsn_databases_.Clear();
  const auto add_databases = [&](HKEY root, const framework::TStringList& sources) {
    for (int i = 0; i < sources.Count(); ++i) {
      const std::string file =
          reg.ReadString(root, "SOFTWARE\\ODBC\\ODBC.INI\\" + sources.Strings(i), "DBQ");
      if (!file.empty()) dsn_databases_.Add(sources.Strings(i) + "=" + file);
    }
  };
  add_databases(HKEY::HKEY_CURRENT_USER, user_dsns_);
  add_databases(HKEY::HKEY_LOCAL_MACHINE, system_dsns_);
}

// ---------------------------------------------------------------------------------------------
// Form files

void RegisterUxDaoDatabaseClass() {
  static const bool registered = [] {
    using C = TUxDaoDatabase;
    framework::TClassRegistrar<C>("TUxDaoDatabase", "TComponent")
        .Creatable()
        .String("ComponentVersion", &C::ComponentVersion, &C::SetComponentVersion, std::nullopt)
        .Boolean("Exclusive", &C::Exclusive, &C::SetExclusive, false)
        .String("DatabaseLanguage", &C::DatabaseLanguage, &C::SetDatabaseLanguage)
        .String("DatabaseType", &C::DatabaseType, &C::SetDatabaseType, std::nullopt)
        .String("Database", &C::Database, &C::SetDatabase)
        .String("DatabaseParameters", &C::DatabaseParameters, &C::SetDatabaseParameters)
        .String("DatabaseVersionInfo", &C::DatabaseVersionInfo, &C::SetDatabaseVersionInfo)
        .Boolean("ReadOnly", &C::ReadOnly, &C::SetReadOnly, false)
        .Boolean("LoginPrompt", &C::LoginPrompt, &C::SetLoginPrompt, false)
        .String("UserName", &C::UserName, &C::SetUserName, std::nullopt)
        .Boolean("UseODBCDialog", &C::UseODBCDialog, &C::SetUseODBCDialog, true)
        .String("Password", &C::Password, &C::SetPassword)
        .String("DatabasePassword", &C::DatabasePassword, &C::SetDatabasePassword)
        .String("SystemDatabase", &C::SystemDatabase, &C::SetSystemDatabase)
        .Boolean("SaveUserName", &C::SaveUserName, &C::SetSaveUserName, true)
        .Boolean("ShowSystemObjects", &C::ShowSystemObjects, &C::SetShowSystemObjects, false)
        .Boolean("SmartOpen", &C::SmartOpen, &C::SetSmartOpen, true)
        .Integer("EngineType", &C::EngineType, &C::SetEngineType, std::nullopt)
        .Boolean("PrivateEngine", &C::PrivateEngine, &C::SetPrivateEngine, false)
        .Boolean("TrackTransactions", &C::TrackTransactions, &C::SetTrackTransactions, true)
        .Boolean("UsesDynaDao", &C::UsesDynaDao, &C::SetUsesDynaDao, std::nullopt)
        .String("Version", &C::Version, &C::SetVersion, std::nullopt)
        .String("VersionDetails", &C::VersionDetails, &C::SetVersionDetails)
        .String("VersionInfo", &C::VersionInfo, &C::SetVersionInfo)
        .String("Workspace", &C::Workspace, &C::SetWorkspace, std::nullopt)
        .Integer("DefaultCursorDriver", &C::DefaultCursorDriver, &C::SetDefaultCursorDriver, std::nullopt)
        .Integer("QueryTimeout", &C::QueryTimeout, &C::SetQueryTimeout, std::nullopt)
        .Boolean("MdbVersionAutoDetect", &C::MdbVersionAutoDetect, &C::SetMdbVersionAutoDetect, false)
        .Boolean("Connected", &C::Connected, &C::SetConnected, false)
        .Commit();
    return true;
  }();
  (void)registered;
}

namespace {
// Known to the form reader as soon as the program holds this component.
const bool kRegisteredAtStart = (RegisterUxDaoDatabaseClass(), true);
}  // namespace

}  // namespace dao
