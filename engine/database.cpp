#include "engine/database.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "dao/dao_constants.h"
#include "engine/access_header.h"
#include "engine/definitions.h"
#include "engine/errors.h"
#include "engine/integrity.h"
#include "engine/objects.h"
#include "engine/recordset.h"
#include "engine/translator.h"
#include "engine/values.h"

namespace engine {

using namespace dao;

void DatabaseCore::CheckOpen() const {
  if (closed) Raise(err::kObjectInvalid, "The database " + Quoted(name) + " is closed.");
}

int64_t DatabaseCore::DataVersion() {
  auto st = connection->Prepare("PRAGMA data_version");
  st.Step();
  return st.ColumnInt(0);
}

void DatabaseCore::CheckWritable() const {
  CheckOpen();
  if (read_only) Raise(err::kReadOnly, "Cannot update: the database " + Quoted(name) + " is opened read-only.");
}

namespace {

constexpr int kDefaultBusyTimeoutMs = 5000;

// The value of KEY= in a connect text (keys without regard to case), or empty.
std::string ConnectValue(const std::string& connect, const std::string& key) {
  size_t start = 0;
  while (start <= connect.size()) {
    size_t end = connect.find(';', start);
    if (end == std::string::npos) end = connect.size();
    const std::string part = connect.substr(start, end - start);
    const size_t eq = part.find('=');
    if (eq != std::string::npos && SameName(part.substr(0, eq), key)) return part.substr(eq + 1);
    start = end + 1;
  }
  return "";
}

class DatabaseImpl : public dao::Database, public std::enable_shared_from_this<DatabaseImpl> {
 public:
  explicit DatabaseImpl(std::shared_ptr<DatabaseCore> core) : core_(std::move(core)) {}
  ~DatabaseImpl() override {
    if (!core_->closed) CloseCore();
  }

  std::string Name() override { return core_->name; }
  std::string Connect() override { return core_->connect; }
  void Close() override {
    core_->CheckOpen();
    CloseCore();
  }
  int32_t QueryTimeout() override { return core_->query_timeout; }
  void SetQueryTimeout(int32_t seconds) override {
    core_->CheckOpen();
    if (seconds < 0) Raise(err::kInvalidArgument, "QueryTimeout cannot be negative.");
    core_->query_timeout = seconds;
  }
  std::string Version() override {
    core_->CheckOpen();
    const std::string v = core_->catalog->EngineValue("Version");
    return v.empty() ? "4.0" : v;
  }
  int32_t CollatingOrder() override {
    core_->CheckOpen();
    const std::string v = core_->catalog->EngineValue("CollatingOrder");
    return v.empty() ? dbSortGeneral : std::atoi(v.c_str());
  }
  bool Updatable() override { return !core_->read_only; }
  bool Transactions() override { return true; }
  int32_t RecordsAffected() override { return core_->records_affected; }
  std::shared_ptr<dao::TableDefs> TableDefs() override {
    core_->CheckOpen();
    return MakeTableDefs(core_);
  }
  std::shared_ptr<dao::QueryDefs> QueryDefs() override {
    core_->CheckOpen();
    return MakeQueryDefs(core_);
  }
  std::shared_ptr<dao::Containers> Containers() override {
    core_->CheckOpen();
    return std::make_shared<ListCollection<dao::Container>>("Containers", [] {
      std::vector<std::shared_ptr<dao::Container>> out;
      for (const char* n : {"Databases", "Tables", "Relationships"}) out.push_back(std::make_shared<NamedObject>(n));
      return out;
    });
  }
  std::shared_ptr<dao::Relations> Relations() override {
    core_->CheckOpen();
    return std::make_shared<ListCollection<dao::Relation>>(
        "Relations", [] { return std::vector<std::shared_ptr<dao::Relation>>{}; });
  }
  std::shared_ptr<dao::Recordsets> Recordsets() override {
    core_->CheckOpen();
    auto core = core_;
    return std::make_shared<ListCollection<dao::Recordset>>("Recordsets", [core] {
      std::vector<std::shared_ptr<dao::Recordset>> out;
      std::erase_if(core->recordsets, [](const std::weak_ptr<RecordsetImpl>& w) {
        auto rs = w.lock();
        return !rs || rs->is_closed();
      });
      for (const auto& w : core->recordsets)
        if (auto rs = w.lock()) out.push_back(rs);
      return out;
    });
  }
  std::shared_ptr<dao::Properties> Properties() override {
    core_->CheckOpen();
    auto self = shared_from_this();
    return MakeProperties([self] {
      std::vector<std::shared_ptr<dao::Property>> out;
      out.push_back(std::make_shared<PropertyImpl>("Name", dbText, [self] { return Variant(self->Name()); }));
      out.push_back(std::make_shared<PropertyImpl>("Connect", dbText, [self] { return Variant(self->Connect()); }));
      out.push_back(std::make_shared<PropertyImpl>("Version", dbText, [self] { return Variant(self->Version()); }));
      out.push_back(std::make_shared<PropertyImpl>("CollatingOrder", dbLong, [self] { return Variant(self->CollatingOrder()); }));
      out.push_back(std::make_shared<PropertyImpl>("QueryTimeout", dbInteger, [self] { return Variant(self->QueryTimeout()); },
                                                   [self](const Variant& v) { self->SetQueryTimeout(v.ToInt32()); }));
      out.push_back(std::make_shared<PropertyImpl>("Updatable", dbBoolean, [self] { return Variant(self->Updatable()); }));
      out.push_back(std::make_shared<PropertyImpl>("Transactions", dbBoolean, [] { return Variant(true); }));
      return out;
    });
  }
  std::shared_ptr<dao::QueryDef> CreateQueryDef(const Variant& name, const Variant& sql) override {
    core_->CheckOpen();
    core_->catalog->Refresh();
    return MakeQueryDef(core_, name.IsClear() ? "" : name.ToString(), sql.IsClear() ? "" : sql.ToString());
  }
  std::shared_ptr<dao::TableDef> CreateTableDef(const Variant& name, const Variant& attributes,
                                                const Variant& source_table, const Variant& connect) override {
    core_->CheckOpen();
    if (!source_table.IsClear() && !source_table.ToString().empty())
      Raise(err::kNoInstallableIsam, "Attached (linked) tables are not supported by this engine.");
    if (!connect.IsClear() && !connect.ToString().empty())
      Raise(err::kNoInstallableIsam, "Attached (linked) tables are not supported by this engine.");
    return MakeDraftTableDef(core_, name.IsClear() ? "" : name.ToString(), IntArg(attributes, 0));
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant& name, const Variant& type, const Variant& value) override {
    return std::make_shared<PropertyImpl>(name.IsClear() ? "" : name.ToString(), IntArg(type, dbText), value);
  }
  std::shared_ptr<dao::Recordset> OpenRecordset(const std::string& source, const Variant& type, const Variant& options,
                                                const Variant& lock_edits) override {
    return OpenRecordsetOn(core_, source, type, options, lock_edits);
  }
  void Execute(const std::string& sql, const Variant&) override {
    core_->records_affected = ExecuteStatement(core_, sql, {});
  }

  const std::shared_ptr<DatabaseCore>& core() const { return core_; }

 private:
  void CloseCore() {
    for (const auto& w : core_->recordsets)
      if (auto rs = w.lock())
        if (!rs->is_closed()) rs->Close();
    core_->recordsets.clear();
    core_->closed = true;
    core_->catalog.reset();
    core_->connection.reset();
  }

  std::shared_ptr<DatabaseCore> core_;
};

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// What the thing at `path` is when it exists but is no regular file ("a directory", "a device"
// ...); "" when it does not exist or is a regular file.
std::string NonFileKind(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
  if (S_ISDIR(st.st_mode)) return "a directory";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "no regular file";
}

std::shared_ptr<DatabaseCore> NewCore(const std::string& path, bool exclusive, bool read_only, const std::string& connect) {
  Catalog::SetDefaultTranslator(&TranslateDefault);
  auto core = std::make_shared<DatabaseCore>();
  core->name = path;
  core->connect = connect;
  core->exclusive = exclusive;
  core->read_only = read_only;
  const int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  core->connection = std::make_unique<Connection>(path, flags);
  const std::string timeout = ConnectValue(connect, "BUSYTIMEOUT");
  core->connection->SetBusyTimeout(timeout.empty() ? kDefaultBusyTimeoutMs : std::atoi(timeout.c_str()));
  return core;
}

void FinishOpen(DatabaseCore& core) {
  Connection& c = *core.connection;
  if (core.exclusive) c.Exec("PRAGMA locking_mode = EXCLUSIVE");
  c.Exec("PRAGMA foreign_keys = ON");
  // A page cache that holds a table of some hundred thousand records, so that reading a record
  // by row id before an edit or delete does not go back to the file for every index page.
  c.Exec("PRAGMA cache_size = -16384");
  if (!core.read_only) {
    c.Exec("PRAGMA journal_mode = WAL");
    c.Exec("PRAGMA synchronous = NORMAL");
  }
  if (core.exclusive) {
    // Take the exclusive lock now, so that a database in use by others is refused at opening.
    try {
      c.Exec(core.read_only ? "BEGIN; SELECT count(*) FROM MSysEngine; COMMIT" : "BEGIN EXCLUSIVE; COMMIT");
    } catch (const dao::EOleException& e) {
      if (e.ErrorCode() == err::kLocked)
        Raise(err::kSystemFileInUse, "The database " + Quoted(core.name) +
                                         " is in use by another user and cannot be opened exclusively.");
      throw;
    }
  }
  core.catalog = std::make_unique<Catalog>(c);
  core.catalog->Load();
}

}  // namespace

std::shared_ptr<dao::Database> OpenDatabaseFile(const std::string& path, bool exclusive, bool read_only,
                                                const std::string& connect) {
  if (path.empty()) Raise(err::kFileNotFound, "Could not find file '': no database name was given.");
  if (!FileExists(path)) {
    const std::string kind = NonFileKind(path);
    if (!kind.empty())
      Raise(err::kCannotOpenFile, "Cannot open the database " + Quoted(path) + ": it is " + kind +
                                      ", not a database file.");
    Raise(err::kFileNotFound, "Could not find file " + Quoted(path) + ".");
  }
  if (IsAccessFile(path))
    Raise(err::kNotADatabase, "Unrecognized database format " + Quoted(path) +
                                  ": it is a Microsoft Access database, which this engine does not open. Convert it "
                                  "once with dbsh --import-access " + Quoted(path) + " DEST and open DEST instead.");
  auto core = NewCore(path, exclusive, read_only, connect);
  // A file cut short reads as no database or as a damaged one; its header tells which it is.
  auto raise_if_cut_short = [&path] {
    const std::string damage = HeaderDamage(path);
    if (!damage.empty())
      Raise(kDamagedDatabase, "The database " + Quoted(path) + " is damaged: " + damage + ". Repair it with " +
                                  RepairCommand(path) + " and use the new file in its place.");
  };
  bool ours = false;
  try {
    ours = Catalog::IsEngineDatabase(*core->connection);
  } catch (const dao::EOleException& e) {
    if (e.ErrorCode() == err::kLocked)
      Raise(err::kSystemFileInUse, "The database " + Quoted(path) + " is opened exclusively by another user.");
    if (e.ErrorCode() != err::kNotADatabase && e.ErrorCode() != err::kReserved && e.ErrorCode() != kDamagedDatabase)
      throw;
    raise_if_cut_short();
    if (e.ErrorCode() == kDamagedDatabase) throw;
  }
  if (!ours) {
    raise_if_cut_short();
    Raise(err::kNotADatabase, "Unrecognized database format " + Quoted(path) + ": the file is not a database of this engine.");
  }
  FinishOpen(*core);
  return std::make_shared<DatabaseImpl>(core);
}

std::shared_ptr<dao::Database> CreateDatabaseFile(const std::string& path, const std::string& locale) {
  if (path.empty()) Raise(err::kInvalidArgument, "CreateDatabase needs a file name.");
  if (FileExists(path)) Raise(3204, "Database already exists: " + Quoted(path) + ".");
  int order = dbSortGeneral;
  const std::string lang = ConnectValue(locale, "LANGID");
  if (!lang.empty()) order = static_cast<int>(std::strtol(lang.c_str(), nullptr, 0));
  Catalog::SetDefaultTranslator(&TranslateDefault);
  auto core = std::make_shared<DatabaseCore>();
  core->name = path;
  core->connection = std::make_unique<Connection>(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  core->connection->SetBusyTimeout(kDefaultBusyTimeoutMs);
  core->connection->Exec("PRAGMA journal_mode = WAL");
  Catalog::Initialize(*core->connection, order);
  FinishOpen(*core);
  return std::make_shared<DatabaseImpl>(core);
}

std::shared_ptr<DatabaseCore> CoreOf(const std::shared_ptr<dao::Database>& database) {
  auto* impl = dynamic_cast<DatabaseImpl*>(database.get());
  return impl ? impl->core() : nullptr;
}

}  // namespace engine
