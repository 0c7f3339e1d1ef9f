#include "engine/engine.h"

#include <algorithm>
#include <filesystem>

#include "dao/dao_constants.h"
#include "engine/database.h"
#include "engine/errors.h"
#include "engine/objects.h"
#include "engine/odbc/odbc_database.h"
#include "framework/com.h"
#include "framework/strings.h"

namespace engine {

using namespace dao;

namespace {

class WorkspaceImpl : public dao::Workspace, public std::enable_shared_from_this<WorkspaceImpl> {
 public:
  WorkspaceImpl(std::string name, std::string user, int type)
      : name_(std::move(name)), user_(std::move(user)), type_(type) {}

  std::string Name() override { return name_; }
  void SetName(const std::string& name) override { name_ = name; }
  std::string UserName() override { return user_; }
  int Type() override { return type_; }
  int DefaultCursorDriver() override { return cursor_driver_; }
  void SetDefaultCursorDriver(int driver) override {
    if (type_ != dbUseODBC) Raise(err::kNotSupported, "DefaultCursorDriver applies to ODBC workspaces only.");
    cursor_driver_ = driver;
  }
  int32_t LoginTimeout() override { return login_timeout_; }
  void SetLoginTimeout(int32_t seconds) override { login_timeout_ = seconds; }
  bool IsolateODBCTrans() override { return isolate_; }
  void SetIsolateODBCTrans(bool isolate) override { isolate_ = isolate; }

  std::shared_ptr<dao::Database> OpenDatabase(const std::string& name, const Variant& options, const Variant& read_only,
                                              const Variant& connect) override {
    CheckOpen();
    const std::string connect_text = connect.IsClear() ? "" : connect.ToString();
    if (type_ == dbUseODBC || framework::SameText(connect_text.substr(0, 5), "ODBC;"))
      return OpenConnection(name, options, read_only, connect);
    if (!connect_text.empty() && connect_text[0] != ';') {
      const std::string format = connect_text.substr(0, connect_text.find(';'));
      Raise(err::kNoInstallableIsam, "Could not find installable ISAM for the format " + Quoted(format) + ".");
    }
    bool exclusive = false, ro = false;
    try {
      exclusive = !options.IsClear() && options.ToBool();
      ro = !read_only.IsClear() && read_only.ToBool();
    } catch (const framework::Exception&) {
      Raise(err::kInvalidArgument, "OpenDatabase: the exclusive and read-only arguments must be True or False.");
    }
    auto db = OpenDatabaseFile(name, exclusive, ro, connect_text);
    databases_.push_back(db);
    cores_.push_back(CoreOf(db));
    if (transaction_depth_ > 0) Raise(err::kTransactionState, "A database cannot be opened inside a transaction.");
    return db;
  }
  // An ODBC data source; the connect text after "ODBC;" goes to the driver unchanged.
  std::shared_ptr<dao::Database> OpenConnection(const std::string& name, const Variant&, const Variant& read_only,
                                                const Variant& connect) override {
    CheckOpen();
    if (transaction_depth_ > 0) Raise(err::kTransactionState, "A database cannot be opened inside a transaction.");
    std::string text = connect.IsClear() ? "" : connect.ToString();
    if (framework::SameText(text.substr(0, 5), "ODBC;")) text.erase(0, 5);
    bool ro = false;
    try {
      ro = !read_only.IsClear() && read_only.ToBool();
    } catch (const framework::Exception&) {
      Raise(err::kInvalidArgument, "OpenConnection: the read-only argument must be True or False.");
    }
    auto db = odbc::OpenOdbcDatabase(name, text, ro, login_timeout_);
    odbc_databases_.push_back(db);
    return db;
  }
  std::shared_ptr<dao::Database> CreateDatabase(const std::string& name, const std::string& locale,
                                                const Variant&) override {
    CheckOpen();
    auto db = CreateDatabaseFile(name, locale);
    databases_.push_back(db);
    cores_.push_back(CoreOf(db));
    return db;
  }
  void BeginTrans() override {
    CheckOpen();
    for (auto& db : OpenDatabases()) CoreOf(db)->connection->Exec("SAVEPOINT ws");
    if (transaction_depth_ == 0)
      for (auto& db : OdbcDatabases()) odbc::BeginTransaction(db);
    ++transaction_depth_;
  }
  void CommitTrans(const Variant&) override {
    CheckOpen();
    if (transaction_depth_ == 0) Raise(err::kTransactionState, "CommitTrans without BeginTrans.");
    for (auto& db : OpenDatabases()) CoreOf(db)->connection->Exec("RELEASE ws");
    // ODBC data sources have one level of transaction; inner levels end with the outer one.
    if (transaction_depth_ == 1)
      for (auto& db : OdbcDatabases()) odbc::CommitTransaction(db);
    --transaction_depth_;
  }
  void Rollback() override {
    CheckOpen();
    if (transaction_depth_ == 0) Raise(err::kTransactionState, "Rollback without BeginTrans.");
    for (auto& db : OpenDatabases()) {
      auto core = CoreOf(db);
      core->connection->Exec("ROLLBACK TO ws; RELEASE ws");
      // Records read inside the transaction may show changes that are gone now.
      ++core->cache_epoch;
      ++core->order_epoch;
    }
    if (transaction_depth_ == 1)
      for (auto& db : OdbcDatabases()) odbc::RollbackTransaction(db);
    --transaction_depth_;
  }
  void Close() override {
    CheckOpen();
    while (transaction_depth_ > 0) Rollback();
    for (auto& db : OpenDatabases()) db->Close();
    for (auto& db : OdbcDatabases()) db->Close();
    databases_.clear();
    cores_.clear();
    odbc_databases_.clear();
    closed_ = true;
  }
  std::shared_ptr<dao::Databases> Databases() override {
    auto self = shared_from_this();
    return std::make_shared<ListCollection<dao::Database>>("Databases", [self] {
      auto all = self->OpenDatabases();
      for (auto& db : self->OdbcDatabases()) all.push_back(db);
      return all;
    });
  }
  std::shared_ptr<dao::Users> Users() override {
    const std::string user = user_;
    return std::make_shared<ListCollection<dao::User>>("Users", [user] {
      return std::vector<std::shared_ptr<dao::User>>{std::make_shared<NamedObject>(user)};
    });
  }
  std::shared_ptr<dao::Groups> Groups() override {
    return std::make_shared<ListCollection<dao::Group>>("Groups", [] {
      return std::vector<std::shared_ptr<dao::Group>>{std::make_shared<NamedObject>("Admins"),
                                                      std::make_shared<NamedObject>("Users")};
    });
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto self = shared_from_this();
    return MakeProperties([self] {
      std::vector<std::shared_ptr<dao::Property>> out;
      out.push_back(std::make_shared<PropertyImpl>("Name", dbText, [self] { return Variant(self->Name()); }));
      out.push_back(std::make_shared<PropertyImpl>("UserName", dbText, [self] { return Variant(self->UserName()); }));
      out.push_back(std::make_shared<PropertyImpl>("Type", dbLong, [self] { return Variant(self->Type()); }));
      return out;
    });
  }

  // DBEngine.Idle(dbRefreshCache): every open database reads again what it read before its last
  // statement. Called before every record a table loads, so it allocates nothing.
  void RefreshCaches() {
    std::erase_if(cores_, [](const std::weak_ptr<DatabaseCore>& w) { return w.expired(); });
    for (const auto& w : cores_)
      if (auto core = w.lock(); core && !core->closed) core->refresh_mark = core->connection->StatementCount();
  }
 private:
  void CheckOpen() const {
    if (closed_) Raise(err::kObjectInvalid, "The workspace " + Quoted(name_) + " is closed.");
  }
  std::vector<std::shared_ptr<dao::Database>> OpenDatabases() {
    std::erase_if(databases_, [](const std::weak_ptr<dao::Database>& w) {
      auto db = w.lock();
      return !db || CoreOf(db)->closed;
    });
    std::vector<std::shared_ptr<dao::Database>> out;
    for (const auto& w : databases_)
      if (auto db = w.lock()) out.push_back(db);
    return out;
  }
  std::vector<std::shared_ptr<dao::Database>> OdbcDatabases() {
    std::erase_if(odbc_databases_, [](const std::weak_ptr<dao::Database>& w) {
      auto db = w.lock();
      return !db || odbc::IsClosed(db);
    });
    std::vector<std::shared_ptr<dao::Database>> out;
    for (const auto& w : odbc_databases_)
      if (auto db = w.lock()) out.push_back(db);
    return out;
  }

  std::string name_, user_;
  int type_;
  int cursor_driver_ = dbUseDefaultCursor;
  int32_t login_timeout_ = 20;
  bool isolate_ = false;
  bool closed_ = false;
  int transaction_depth_ = 0;
  std::vector<std::weak_ptr<dao::Database>> databases_;
  std::vector<std::weak_ptr<DatabaseCore>> cores_;  // of databases_, for the refresh
  std::vector<std::weak_ptr<dao::Database>> odbc_databases_;
};

class DBEngineImpl : public dao::DBEngine, public std::enable_shared_from_this<DBEngineImpl> {
 public:
  std::string Version() override { return "3.6"; }
  std::string SystemDB() override { return system_db_; }
  void SetSystemDB(const std::string& path) override { system_db_ = path; }
  std::string DefaultUser() override { return default_user_; }
  void SetDefaultUser(const std::string& user) override { default_user_ = user; }
  std::string DefaultPassword() override { return default_password_; }
  void SetDefaultPassword(const std::string& password) override { default_password_ = password; }
  int DefaultType() override { return default_type_; }
  void SetDefaultType(int type) override {
    if (type != dbUseJet && type != dbUseODBC) Raise(err::kInvalidArgument, "DefaultType must be 1 (ODBC) or 2 (Jet).");
    default_type_ = type;
  }
  std::string IniPath() override { return ini_path_; }
  void SetIniPath(const std::string& path) override { ini_path_ = path; }
  int32_t LoginTimeout() override { return login_timeout_; }
  void SetLoginTimeout(int32_t seconds) override { login_timeout_ = seconds; }

  std::shared_ptr<dao::Workspace> CreateWorkspace(const std::string& name, const Variant& user, const Variant& password,
                                                  const Variant& type) override {
    const std::string u = user.IsClear() ? default_user_ : user.ToString();
    const std::string p = password.IsClear() ? default_password_ : password.ToString();
    const int t = IntArg(type, default_type_);
    if (t != dbUseJet && t != dbUseODBC) Raise(err::kInvalidArgument, "Invalid workspace type " + std::to_string(t) + ".");
    // Without a workgroup (security) database only Admin with the empty password exists.
    if (t == dbUseJet && (!framework::SameText(u, "Admin") || !p.empty()))
      Raise(err::kAccount, "Not a valid account name or password: only the user 'Admin' with an empty password "
                           "can log on to this engine (user " + Quoted(u) + ").");
    auto ws = std::make_shared<WorkspaceImpl>(name, u.empty() ? "admin" : u, t);
    std::erase_if(created_, [](const std::weak_ptr<WorkspaceImpl>& w) { return w.expired(); });
    created_.push_back(ws);
    return ws;
  }
  std::shared_ptr<dao::Workspaces> Workspaces() override {
    auto self = shared_from_this();
    return std::make_shared<ListCollection<dao::Workspace>>(
        "Workspaces",
        [self] {
          self->DefaultWorkspace();
          return self->workspaces_;
        },
        [self](std::shared_ptr<dao::Workspace> w) {
          self->DefaultWorkspace();
          for (const auto& existing : self->workspaces_)
            if (existing == w || SameName(existing->Name(), w->Name()))
              Raise(err::kObjectExists, "A workspace named " + Quoted(w->Name()) + " is already in the collection.");
          self->workspaces_.push_back(std::move(w));
        },
        [self](const std::string& name) {
          std::erase_if(self->workspaces_, [&](const std::shared_ptr<dao::Workspace>& w) { return SameName(w->Name(), name); });
        });
  }
  std::shared_ptr<dao::Errors> Errors() override { return LastErrors(); }
  std::shared_ptr<dao::Properties> Properties() override {
    auto self = shared_from_this();
    return MakeProperties([self] {
      std::vector<std::shared_ptr<dao::Property>> out;
      out.push_back(std::make_shared<PropertyImpl>("Version", dbText, [self] { return Variant(self->Version()); }));
      out.push_back(std::make_shared<PropertyImpl>("DefaultType", dbLong, [self] { return Variant(self->DefaultType()); }));
      out.push_back(std::make_shared<PropertyImpl>("SystemDB", dbText, [self] { return Variant(self->SystemDB()); }));
      return out;
    });
  }
  void Idle(const Variant& action) override {
    const int a = IntArg(action, dbFreeLocks | dbRefreshCache);
    // Every workspace of this engine, whether or not it was appended to Workspaces.
    if (a & dbRefreshCache)
      for (const auto& w : created_)
        if (auto ws = w.lock()) ws->RefreshCaches();
  }
  std::shared_ptr<dao::Database> OpenDatabase(const std::string& name, const Variant& options, const Variant& read_only,
                                              const Variant& connect) override {
    return DefaultWorkspace()->OpenDatabase(name, options, read_only, connect);
  }
  std::shared_ptr<dao::Database> CreateDatabase(const std::string& name, const std::string& locale,
                                                const Variant& options) override {
    return DefaultWorkspace()->CreateDatabase(name, locale, options);
  }
  void CompactDatabase(const std::string& source, const std::string& destination, const Variant&, const Variant&,
                       const Variant&) override {
    if (destination.empty()) Raise(err::kInvalidArgument, "CompactDatabase needs the name of the new file.");
    if (std::filesystem::exists(destination))
      Raise(err::kDatabaseExists, "Database already exists: " + Quoted(destination) + ".");
    auto db = OpenDatabaseFile(source, true, false, "");
    {
      // The statement must be given back before the connection closes.
      auto core = CoreOf(db);
      auto st = core->connection->Prepare("VACUUM INTO ?");
      st.Bind(1, Cell::Text(destination));
      st.Run();
    }
    db->Close();
  }
  void BeginTrans() override { DefaultWorkspace()->BeginTrans(); }
  void CommitTrans(const Variant& options) override { DefaultWorkspace()->CommitTrans(options); }
  void Rollback() override { DefaultWorkspace()->Rollback(); }

 private:
  std::shared_ptr<dao::Workspace> DefaultWorkspace() {
    if (workspaces_.empty()) {
      auto ws = std::make_shared<WorkspaceImpl>("#Default Workspace#", "admin", dbUseJet);
      created_.push_back(ws);
      workspaces_.push_back(ws);
    }
    return workspaces_.front();
  }

  std::string system_db_, default_user_ = "admin", default_password_, ini_path_;
  int default_type_ = dbUseJet;
  int32_t login_timeout_ = 20;
  std::vector<std::shared_ptr<dao::Workspace>> workspaces_;
  std::vector<std::weak_ptr<WorkspaceImpl>> created_;  // every workspace made by this engine
};

}  // namespace

std::shared_ptr<dao::DBEngine> CreateEngine() { return std::make_shared<DBEngineImpl>(); }

void RegisterEngineClasses(bool also_35) {
  auto factory = [] { return std::static_pointer_cast<framework::OleObject>(CreateEngine()); };
  framework::RegisterOleClass("DAO.DBEngine.36", factory);
  framework::RegisterOleClass("DAO.PrivateDBEngine.36", factory);
  if (also_35) {
    framework::RegisterOleClass("DAO.DBEngine.35", factory);
    framework::RegisterOleClass("DAO.PrivateDBEngine.35", factory);
  }
}

}  // namespace engine
