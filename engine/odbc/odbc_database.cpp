#include "engine/odbc/odbc_database.h"

#include <map>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/jet_parser.h"
#include "engine/objects.h"
#include "engine/odbc/odbc_definitions.h"
#include "engine/odbc/odbc_recordset.h"
#include "engine/odbc/odbc_sql.h"
#include "engine/values.h"
#include "framework/date_time.h"
#include "framework/strings.h"

namespace engine::odbc {

using namespace dao;
using framework::Variant;

void OdbcCore::CheckOpen() const {
  if (closed) Raise(err::kObjectInvalid, "The connection to " + Quoted(name) + " is closed.");
}

void OdbcCore::CheckWritable() const {
  if (read_only) Raise(err::kReadOnly, "The data source " + Quoted(name) + " is opened read-only.");
}

std::unique_ptr<Statement> OdbcCore::NewStatement(int32_t timeout) {
  CheckOpen();
  auto st = std::make_unique<Statement>(*connection);
  const int32_t seconds = timeout >= 0 ? timeout : query_timeout;
  if (seconds > 0) st->SetTimeout(seconds);
  return st;
}

std::shared_ptr<Statement> OdbcCore::Prepared(const std::string& sql, int32_t timeout) {
  CheckOpen();
  auto found = prepared.find(sql);
  if (found != prepared.end()) {
    found->second->CloseCursor();
    found->second->SetTimeout(timeout >= 0 ? timeout : query_timeout);
    return found->second;
  }
  // Texts vary only with the shape of criteria; a run of odd ones must not grow the cache.
  // Callers hold what they were given, so dropping the cache frees nothing in use.
  if (prepared.size() >= 128) prepared.clear();
  std::shared_ptr<Statement> st = NewStatement(timeout);
  st->Prepare(sql);
  prepared.emplace(sql, st);
  return st;
}

bool OdbcCore::sqlite() const {
  return framework::LowerCase(connection->dbms_name()).find("sqlite") != std::string::npos;
}

bool OdbcCore::returning() const {
  const std::string dbms = framework::LowerCase(connection->dbms_name());
  return dbms.find("postgres") != std::string::npos;
}

namespace {

bool IsPassThrough(const StoredQuery& q) { return framework::SameText(q.connect.substr(0, 5), "ODBC;"); }

// Runs an action statement in Jet SQL (or the server's own SQL when passed through).
int32_t RunAction(OdbcCore& core, const std::string& sql, int options,
                  const std::vector<std::pair<std::string, Variant>>& values, int32_t timeout) {
  core.CheckOpen();
  auto st = core.NewStatement(timeout);
  if (options & dbSQLPassThrough) {
    st->Run(sql);
  } else {
    const JetStatement parsed = ParseStatement(sql);
    if (parsed.kind == JetStatement::kSelect)
      Raise(err::kCannotExecuteSelect, "Cannot execute a select query: " + Quoted(sql) + ".");
    Translator tr(*core.connection, *core.catalog, [&values](const std::string& name, Variant& value) {
      for (const auto& kv : values)
        if (SameName(kv.first, name)) {
          value = kv.second;
          return true;
        }
      return false;
    });
    const bool ddl = parsed.kind != JetStatement::kInsert && parsed.kind != JetStatement::kUpdate &&
                     parsed.kind != JetStatement::kDelete && parsed.kind != JetStatement::kSelectInto;
    if (ddl) {
      const std::string sql_text = tr.Ddl(parsed);
      core.CheckWritable();
      st->Run(sql_text);
      core.catalog->Refresh();
    } else {
      const SqlPiece piece = tr.Action(parsed);
      tr.CheckParameters();
      core.CheckWritable();
      st->Run(piece.sql, piece.params);
    }
  }
  ++core.changes;
  int64_t n = 0;
  try {
    n = st->RowCount();
  } catch (const dao::EOleException&) {
    n = 0;  // a statement that changes no rows (DDL) may have no count
  }
  core.records_affected = static_cast<int32_t>(n < 0 ? 0 : n);
  // DDL run through may have changed what the catalog holds.
  if (options & dbSQLPassThrough) core.catalog->Refresh();
  return core.records_affected;
}

class OdbcParameter : public dao::Parameter {
 public:
  OdbcParameter(QueryParam info, std::shared_ptr<Variant> value) : info_(std::move(info)), value_(std::move(value)) {}
  std::string Name() override { return info_.name; }
  int Type() override { return info_.type == 0 ? dbText : info_.type; }
  void SetType(int type) override { info_.type = type; }
  Variant Value() override { return *value_; }
  void SetValue(const Variant& value) override {
    if (info_.type != 0 && !value.IsClear()) CellToVariant(info_.type, VariantToCell(info_.type, 0, value, info_.name));
    *value_ = value;
  }
  int Direction() override { return dbParamInput; }
  void SetDirection(int direction) override {
    if (direction != dbParamInput)
      Raise(err::kNotSupported, "Parameters of queries on ODBC data sources are input parameters.");
  }
  std::shared_ptr<dao::Properties> Properties() override {
    const std::string name = info_.name;
    return MakeProperties([name] {
      return std::vector<std::shared_ptr<dao::Property>>{
          std::make_shared<PropertyImpl>("Name", dbText, [name] { return Variant(name); })};
    });
  }

 private:
  QueryParam info_;
  std::shared_ptr<Variant> value_;
};

class OdbcQueryDef : public dao::QueryDef {
 public:
  OdbcQueryDef(std::shared_ptr<OdbcCore> core, std::shared_ptr<StoredQuery> query)
      : core_(std::move(core)), query_(std::move(query)) {}

  std::string Name() override { return query_->name; }
  void SetName(const std::string& name) override {
    for (const auto& q : core_->queries)
      if (q != query_ && SameName(q->name, name))
        Raise(err::kObjectExists, "A query named " + Quoted(name) + " already exists.");
    query_->name = name;
  }
  std::string SQL() override { return query_->sql; }
  void SetSQL(const std::string& sql) override {
    if (!IsPassThrough(*query_)) ParseStatement(sql);  // refuse what does not parse now
    query_->sql = sql;
    query_->updated = framework::Now();
    values_.clear();
  }
  int Type() override {
    if (IsPassThrough(*query_)) return dbQSQLPassThrough;
    try {
      switch (ParseStatement(query_->sql).kind) {
        case JetStatement::kSelect: return dbQSelect;
        case JetStatement::kInsert: return dbQAppend;
        case JetStatement::kUpdate: return dbQUpdate;
        case JetStatement::kDelete: return dbQDelete;
        default: return dbQDDL;
      }
    } catch (const dao::EOleException&) {
      return dbQSelect;
    }
  }
  std::string Connect() override { return query_->connect; }
  void SetConnect(const std::string& connect) override { query_->connect = connect; }
  bool ReturnsRecords() override { return query_->returns_records; }
  void SetReturnsRecords(bool returns) override { query_->returns_records = returns; }
  int32_t MaxRecords() override { return query_->max_records; }
  void SetMaxRecords(int32_t max_records) override { query_->max_records = max_records; }
  int32_t ODBCTimeout() override { return query_->timeout; }
  void SetODBCTimeout(int32_t seconds) override { query_->timeout = seconds; }
  int32_t RecordsAffected() override { return records_affected_; }
  bool Updatable() override { return true; }
  Variant DateCreated() override { return Variant::Date(query_->created); }
  Variant LastUpdated() override { return Variant::Date(query_->updated); }
  std::shared_ptr<dao::Parameters> Parameters() override {
    std::vector<std::shared_ptr<dao::Parameter>> list;
    if (!IsPassThrough(*query_)) {
      for (const QueryParam& p : QueryParameters(core_, query_->sql)) {
        auto& value = values_[framework::LowerCase(p.name)];
        if (!value) value = std::make_shared<Variant>();
        list.push_back(std::make_shared<OdbcParameter>(p, value));
      }
    }
    return std::make_shared<ListCollection<dao::Parameter>>("Parameters", [list] { return list; });
  }
  std::shared_ptr<dao::Fields> Fields() override {
    auto rs = OpenRecordset(Variant(dbOpenSnapshot), Variant(), Variant());
    return rs->Fields();
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto q = query_;
    return MakeProperties([q] {
      return std::vector<std::shared_ptr<dao::Property>>{
          std::make_shared<PropertyImpl>("Name", dbText, [q] { return Variant(q->name); }),
          std::make_shared<PropertyImpl>("SQL", dbMemo, [q] { return Variant(q->sql); })};
    });
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant&, const Variant&, const Variant&) override {
    Raise(err::kNotSupported, "Properties cannot be added to the queries of an ODBC data source.");
  }
  std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type, const Variant& options,
                                                const Variant& lock_edits) override {
    int opt = IntArg(options, 0);
    if (IsPassThrough(*query_)) opt |= dbSQLPassThrough;
    return OpenOdbcRecordset(core_, query_->sql, type, Variant(opt), lock_edits, Values(), query_->max_records,
                             query_->timeout);
  }
  void Execute(const Variant& options) override {
    int opt = IntArg(options, 0);
    if (IsPassThrough(*query_)) opt |= dbSQLPassThrough;
    records_affected_ = RunAction(*core_, query_->sql, opt, Values(), query_->timeout);
  }
  void Close() override {}

 private:
  std::vector<std::pair<std::string, Variant>> Values() const {
    std::vector<std::pair<std::string, Variant>> out;
    for (const auto& [name, value] : values_)
      if (!value->IsEmpty()) out.emplace_back(name, *value);
    return out;
  }

  std::shared_ptr<OdbcCore> core_;
  std::shared_ptr<StoredQuery> query_;
  std::map<std::string, std::shared_ptr<Variant>> values_;  // by lower-case name
  int32_t records_affected_ = 0;
};

class OdbcDatabase : public dao::Database {
 public:
  explicit OdbcDatabase(std::shared_ptr<OdbcCore> core) : core_(std::move(core)) {}
  ~OdbcDatabase() override {
    try {
      if (!core_->closed) Close();
    } catch (...) {
      // A connection that fails to close is dropped all the same.
    }
  }

  std::string Name() override { return core_->name; }
  std::string Connect() override { return core_->connect; }
  void Close() override {
    core_->CheckOpen();
    for (auto& w : core_->recordsets)
      if (auto rs = w.lock())
        if (!rs->is_closed()) rs->Close();
    core_->recordsets.clear();
    core_->prepared.clear();
    core_->closed = true;
    core_->catalog.reset();
    core_->connection.reset();  // rolls back what a transaction left open
  }
  int32_t QueryTimeout() override { return core_->query_timeout; }
  void SetQueryTimeout(int32_t seconds) override {
    if (seconds < 0) Raise(err::kInvalidArgument, "QueryTimeout cannot be negative.");
    core_->query_timeout = seconds;
  }
  std::string Version() override {
    core_->CheckOpen();
    return core_->connection->dbms_version();
  }
  int32_t CollatingOrder() override { return dbSortUndefined; }
  bool Updatable() override { return !core_->read_only; }
  bool Transactions() override { return true; }
  int32_t RecordsAffected() override { return core_->records_affected; }
  std::shared_ptr<dao::TableDefs> TableDefs() override {
    core_->CheckOpen();
    return MakeTableDefs(core_);
  }
  std::shared_ptr<dao::QueryDefs> QueryDefs() override {
    auto core = core_;
    return std::make_shared<ListCollection<dao::QueryDef>>(
        "QueryDefs",
        [core] {
          std::vector<std::shared_ptr<dao::QueryDef>> out;
          for (const auto& q : core->queries) out.push_back(std::make_shared<OdbcQueryDef>(core, q));
          return out;
        },
        [](std::shared_ptr<dao::QueryDef>) {
          Raise(err::kNotSupported, "Named queries are stored by CreateQueryDef on ODBC data sources.");
        },
        [core](const std::string& name) {
          const auto before = core->queries.size();
          std::erase_if(core->queries, [&](const auto& q) { return SameName(q->name, name); });
          if (core->queries.size() == before)
            Raise(err::kNotInCollection, "Item " + Quoted(name) + " is not in the collection QueryDefs.");
        });
  }
  std::shared_ptr<dao::Containers> Containers() override {
    return std::make_shared<ListCollection<dao::Container>>("Containers", [] {
      return std::vector<std::shared_ptr<dao::Container>>{};
    });
  }
  std::shared_ptr<dao::Relations> Relations() override {
    return std::make_shared<ListCollection<dao::Relation>>("Relations", [] {
      return std::vector<std::shared_ptr<dao::Relation>>{};
    });
  }
  std::shared_ptr<dao::Recordsets> Recordsets() override {
    auto core = core_;
    return std::make_shared<ListCollection<dao::Recordset>>("Recordsets", [core] {
      std::vector<std::shared_ptr<dao::Recordset>> out;
      for (const auto& w : core->recordsets)
        if (auto rs = w.lock())
          if (!rs->is_closed()) out.push_back(rs);
      return out;
    });
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto core = core_;
    return MakeProperties([core] {
      std::vector<std::shared_ptr<dao::Property>> out;
      out.push_back(std::make_shared<PropertyImpl>("Name", dbText, [core] { return Variant(core->name); }));
      out.push_back(std::make_shared<PropertyImpl>("Connect", dbText, [core] { return Variant(core->connect); }));
      out.push_back(std::make_shared<PropertyImpl>("Updatable", dbBoolean, [core] { return Variant(!core->read_only); }));
      out.push_back(std::make_shared<PropertyImpl>("QueryTimeout", dbInteger,
                                                   [core] { return Variant(core->query_timeout); }));
      out.push_back(std::make_shared<PropertyImpl>("DBMS Name", dbText, [core] {
        return Variant(core->connection ? core->connection->dbms_name() : std::string());
      }));
      return out;
    });
  }
  std::shared_ptr<dao::QueryDef> CreateQueryDef(const Variant& name, const Variant& sql) override {
    core_->CheckOpen();
    auto q = std::make_shared<StoredQuery>();
    q->name = name.IsClear() ? "" : name.ToString();
    q->timeout = core_->query_timeout;
    q->created = q->updated = framework::Now();
    auto def = std::make_shared<OdbcQueryDef>(core_, q);
    if (!sql.IsClear()) def->SetSQL(sql.ToString());
    if (!q->name.empty()) {
      for (const auto& other : core_->queries)
        if (SameName(other->name, q->name))
          Raise(err::kObjectExists, "A query named " + Quoted(q->name) + " already exists.");
      core_->queries.push_back(q);
    }
    return def;
  }
  std::shared_ptr<dao::TableDef> CreateTableDef(const Variant&, const Variant&, const Variant&,
                                                const Variant&) override {
    Raise(err::kNotSupported, "Tables of an ODBC data source are made with the server's own SQL (dbSQLPassThrough).");
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant&, const Variant&, const Variant&) override {
    Raise(err::kNotSupported, "Properties cannot be added to an ODBC data source.");
  }
  std::shared_ptr<dao::Recordset> OpenRecordset(const std::string& source, const Variant& type, const Variant& options,
                                                const Variant& lock_edits) override {
    return OpenOdbcRecordset(core_, source, type, options, lock_edits);
  }
  void Execute(const std::string& sql, const Variant& options) override {
    core_->CheckOpen();
    std::string text = sql;
    int opt = IntArg(options, 0);
    for (const auto& q : core_->queries)
      if (SameName(q->name, sql)) {
        text = q->sql;
        if (IsPassThrough(*q)) opt |= dbSQLPassThrough;
      }
    RunAction(*core_, text, opt, {}, -1);
  }

  const std::shared_ptr<OdbcCore>& core() const { return core_; }

 private:
  std::shared_ptr<OdbcCore> core_;
};

OdbcCore& CoreOf(const std::shared_ptr<dao::Database>& database) {
  auto* db = dynamic_cast<OdbcDatabase*>(database.get());
  if (db == nullptr) Raise(err::kInvalidArgument, "The database is not an ODBC data source.");
  return *db->core();
}

}  // namespace

std::shared_ptr<dao::Database> OpenOdbcDatabase(const std::string& name, const std::string& connect_text,
                                                bool read_only, int32_t login_timeout) {
  std::string text = connect_text;
  const std::string upper = framework::UpperCase(";" + text);
  if (upper.find(";DSN=") == std::string::npos && upper.find(";DRIVER=") == std::string::npos &&
      upper.find(";FILEDSN=") == std::string::npos) {
    if (name.empty())
      Raise(err::kODBCCallFailed, "ODBC--call failed. The connect text names no data source (DSN=...).");
    text = "DSN=" + name + (text.empty() || text.front() == ';' ? "" : ";") + text;
  }
  auto core = std::make_shared<OdbcCore>();
  core->name = name;
  core->connect = "ODBC;" + connect_text;
  core->read_only = read_only;
  core->connection = std::make_unique<Connection>(text, login_timeout);
  if (read_only) core->connection->SetReadOnly(true);
  core->catalog = std::make_unique<Catalog>(*core->connection);
  return std::make_shared<OdbcDatabase>(core);
}

bool IsOdbcDatabase(const std::shared_ptr<dao::Database>& database) {
  return dynamic_cast<OdbcDatabase*>(database.get()) != nullptr;
}

bool IsClosed(const std::shared_ptr<dao::Database>& database) { return CoreOf(database).closed; }

void BeginTransaction(const std::shared_ptr<dao::Database>& database) {
  OdbcCore& core = CoreOf(database);
  core.CheckOpen();
  core.connection->BeginTransaction();
}

void CommitTransaction(const std::shared_ptr<dao::Database>& database) {
  OdbcCore& core = CoreOf(database);
  core.CheckOpen();
  core.connection->Commit();
}

void RollbackTransaction(const std::shared_ptr<dao::Database>& database) {
  OdbcCore& core = CoreOf(database);
  core.CheckOpen();
  core.connection->Rollback();
  ++core.changes;  // records read inside the transaction may show what is undone now
}

}  // namespace engine::odbc
