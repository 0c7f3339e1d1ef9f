#include "tests/dao/fake_dao_world.h"

#include "framework/exception.h"

namespace daotest {

using ::testing::_;
using ::testing::Invoke;
using ::testing::Return;
using dao::Variant;

std::string Show(const Variant& v) {
  switch (v.Type()) {
    case framework::VarType::Empty: return "-";
    case framework::VarType::Boolean: return v.ToBool() ? "True" : "False";
    case framework::VarType::String: return "'" + v.ToString() + "'";
    default: return v.ToString();
  }
}

template <class T>
std::shared_ptr<NamedCollection<T>> Collection() {
  return std::make_shared<NamedCollection<T>>();
}

FakeDao::FakeDao(bool with_35, bool with_36) {
  if (with_35) prog_ids_ = {"DAO.DBEngine.35", "DAO.PrivateDBEngine.35"};
  if (with_36) {
    prog_ids_.push_back("DAO.DBEngine.36");
    prog_ids_.push_back("DAO.PrivateDBEngine.36");
  }
  for (const std::string& id : prog_ids_)
    framework::RegisterOleClass(id, [this, id] { return MakeEngine(id); });
  registry_ = std::make_shared<framework::TRegistryTree>();
  registry_->SetMirrorOleClasses(true);
  framework::SetRegistry(registry_);
  tabledefs = Collection<dao::TableDef>();
  querydefs = Collection<dao::QueryDef>();
  errors = Collection<dao::Error>();
  indexes = Collection<dao::Index>();
  SetUpDatabase();
}

FakeDao::~FakeDao() {
  for (const std::string& id : prog_ids_) framework::UnregisterOleClass(id);
  framework::SetRegistry(nullptr);
}

void FakeDao::FailOn(const std::string& prefix, int code, const std::string& text, int times) {
  rules_.push_back({prefix, code, text, times});
}

void FakeDao::Record(const std::string& entry) {
  log.push_back(entry);
  for (Rule& r : rules_) {
    if (r.times == 0 || entry.compare(0, r.prefix.size(), r.prefix) != 0) continue;
    if (r.times > 0) --r.times;
    throw framework::EOleException(r.code, r.text, "DAO");
  }
}

std::vector<std::string> FakeDao::Calls(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& e : log)
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
  return out;
}

void FakeDao::AddTable(const std::string& name, int32_t attributes) {
  auto def = std::make_shared<NiceMock<daofake::MockTableDef>>();
  ON_CALL(*def, Name()).WillByDefault(Return(name));
  ON_CALL(*def, Attributes()).WillByDefault(Return(attributes));
  ON_CALL(*def, Indexes()).WillByDefault(Invoke([this, name] {
    Record("TableDef.Indexes " + name);
    return indexes;
  }));
  tabledefs->Add(name, def);
}

void FakeDao::AddQuery(const std::string& name, const std::string& sql) {
  auto def = std::make_shared<NiceMock<daofake::MockQueryDef>>();
  auto text = std::make_shared<std::string>(sql);
  ON_CALL(*def, Name()).WillByDefault(Return(name));
  ON_CALL(*def, SQL()).WillByDefault(Invoke([text] { return *text; }));
  ON_CALL(*def, SetSQL(_)).WillByDefault(Invoke([this, name, text](const std::string& s) {
    Record("QueryDef.SetSQL " + name + " " + s);
    *text = s;
  }));
  querydefs->Add(name, def);
}

void FakeDao::AddEngineError(int32_t number, const std::string& description) {
  auto e = std::make_shared<NiceMock<daofake::MockError>>();
  ON_CALL(*e, Number()).WillByDefault(Return(number));
  ON_CALL(*e, Source()).WillByDefault(Return("DAO.Database"));
  ON_CALL(*e, Description()).WillByDefault(Return(description));
  ON_CALL(*e, HelpFile()).WillByDefault(Return("jeterr40.chm"));
  ON_CALL(*e, HelpContext()).WillByDefault(Return(5003024));
  errors->Add("", e);
}

void FakeDao::SetUpDatabase() {
  database = std::make_shared<NiceMock<daofake::MockDatabase>>();
  auto& db = *database;
  ON_CALL(db, Close()).WillByDefault(Invoke([this] { Record("Database.Close"); }));
  ON_CALL(db, SetQueryTimeout(_)).WillByDefault(Invoke([this](int32_t s) {
    Record("Database.QueryTimeout " + std::to_string(s));
  }));
  ON_CALL(db, Version()).WillByDefault(Invoke([this] {
    Record("Database.Version");
    return database_version;
  }));
  ON_CALL(db, CollatingOrder()).WillByDefault(Invoke([this] {
    Record("Database.CollatingOrder");
    return collating_order;
  }));
  ON_CALL(db, TableDefs()).WillByDefault(Invoke([this] { return tabledefs; }));
  ON_CALL(db, QueryDefs()).WillByDefault(Invoke([this] { return querydefs; }));
  auto containers = Collection<dao::Container>();
  auto relations = Collection<dao::Relation>();
  auto recordsets = Collection<dao::Recordset>();
  auto properties = Collection<dao::Property>();
  ON_CALL(db, Containers()).WillByDefault(Return(containers));
  ON_CALL(db, Relations()).WillByDefault(Return(relations));
  ON_CALL(db, Recordsets()).WillByDefault(Return(recordsets));
  ON_CALL(db, Properties()).WillByDefault(Return(properties));
  ON_CALL(db, CreateQueryDef(_, _)).WillByDefault(Invoke([this](const Variant& n, const Variant& s) {
    Record("Database.CreateQueryDef " + Show(n) + " " + Show(s));
    AddQuery(n.ToString(), s.ToString());
    return std::shared_ptr<dao::QueryDef>(querydefs->Item(n.ToString()));
  }));
}

std::shared_ptr<framework::OleObject> FakeDao::MakeEngine(const std::string& prog_id) {
  Record("Create " + prog_id);
  auto engine = std::make_shared<NiceMock<daofake::MockDBEngine>>();
  auto& e = *engine;
  const bool is_35 = prog_id.back() == '5';
  ON_CALL(e, Version()).WillByDefault(Invoke([this, is_35] { return is_35 ? std::string("3.5") : engine_version; }));
  ON_CALL(e, SetSystemDB(_)).WillByDefault(Invoke([this](const std::string& s) {
    Record("Engine.SystemDB '" + s + "'");
  }));
  ON_CALL(e, SetDefaultUser(_)).WillByDefault(Invoke([this](const std::string& s) {
    Record("Engine.DefaultUser '" + s + "'");
  }));
  ON_CALL(e, SetDefaultPassword(_)).WillByDefault(Invoke([this](const std::string& s) {
    Record("Engine.DefaultPassword '" + s + "'");
  }));
  ON_CALL(e, SetDefaultType(_)).WillByDefault(Invoke([this](int t) {
    Record("Engine.DefaultType " + std::to_string(t));
  }));
  ON_CALL(e, CreateWorkspace(_, _, _, _))
      .WillByDefault(Invoke([this](const std::string& name, const Variant& user,
                                   const Variant& password, const Variant& type) {
        Record("CreateWorkspace '" + name + "' " + Show(user) + " " + Show(password) + " " + Show(type));
        return MakeWorkspace(name);
      }));
  auto workspaces_coll = Collection<dao::Workspace>();
  ON_CALL(e, Workspaces()).WillByDefault(Return(workspaces_coll));
  ON_CALL(e, Errors()).WillByDefault(Invoke([this] { return errors; }));
  auto properties = Collection<dao::Property>();
  ON_CALL(e, Properties()).WillByDefault(Return(properties));
  ON_CALL(e, Idle(_)).WillByDefault(Invoke([this](const Variant& a) { Record("Engine.Idle " + Show(a)); }));
  engines.push_back(engine);
  return engine;
}

std::shared_ptr<dao::Workspace> FakeDao::MakeWorkspace(const std::string& name) {
  auto ws = std::make_shared<NiceMock<daofake::MockWorkspace>>();
  auto& w = *ws;
  ON_CALL(w, Name()).WillByDefault(Invoke([this, name] { return workspace_name.empty() ? name : workspace_name; }));
  ON_CALL(w, Close()).WillByDefault(Invoke([this] { Record("Workspace.Close"); }));
  ON_CALL(w, SetDefaultCursorDriver(_)).WillByDefault(Invoke([this](int d) {
    Record("Workspace.DefaultCursorDriver " + std::to_string(d));
  }));
  ON_CALL(w, OpenDatabase(_, _, _, _))
      .WillByDefault(Invoke([this](const std::string& n, const Variant& o, const Variant& r, const Variant& c) {
        Record("OpenDatabase '" + n + "' " + Show(o) + " " + Show(r) + " " + Show(c));
        return std::shared_ptr<dao::Database>(database);
      }));
  ON_CALL(w, OpenConnection(_, _, _, _))
      .WillByDefault(Invoke([this](const std::string& n, const Variant& o, const Variant& r, const Variant& c) {
        Record("OpenConnection '" + n + "' " + Show(o) + " " + Show(r) + " " + Show(c));
        return std::shared_ptr<dao::Database>(database);
      }));
  auto users = Collection<dao::User>();
  auto groups = Collection<dao::Group>();
  auto databases = Collection<dao::Database>();
  auto properties = Collection<dao::Property>();
  ON_CALL(w, Users()).WillByDefault(Return(users));
  ON_CALL(w, Groups()).WillByDefault(Return(groups));
  ON_CALL(w, Databases()).WillByDefault(Return(databases));
  ON_CALL(w, Properties()).WillByDefault(Return(properties));
  workspaces.push_back(ws);
  return ws;
}

}  // namespace daotest
