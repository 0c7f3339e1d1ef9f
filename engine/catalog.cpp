#include "engine/catalog.h"

#include <algorithm>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/jet_functions.h"
#include "engine/values.h"
#include "framework/date_time.h"

namespace engine {

using namespace dao;

DefaultTranslator Catalog::default_translator_ = nullptr;

namespace {

constexpr const char* kSignature = "geburtstage-jet-sqlite";
constexpr int kKindTable = 1;
constexpr int kKindQuery = 5;

std::string EncodeIndexFields(const std::vector<IndexColumn>& columns) {
  std::string out;
  for (const auto& c : columns) {
    if (!out.empty()) out += ';';
    out += (c.descending ? '-' : '+') + c.name;
  }
  return out;
}

std::vector<IndexColumn> DecodeIndexFields(const std::string& text) {
  std::vector<IndexColumn> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    if (!item.empty()) out.push_back({item.substr(1), item[0] == '-'});
    start = end + 1;
  }
  return out;
}

std::string CellText(const Cell& c) { return c.kind == Cell::kText ? c.text : NaturalVariant(c).ToString(); }

const char* kSystemTablesSql =
    "CREATE TABLE MSysEngine (Name TEXT PRIMARY KEY, Value TEXT);"
    "CREATE TABLE MSysObjects (Name TEXT NOT NULL COLLATE JET, Kind INTEGER NOT NULL,"
    " Attributes INTEGER NOT NULL DEFAULT 0, DateCreated REAL, LastUpdated REAL, SqlText TEXT,"
    " ValidationRule TEXT, ValidationText TEXT, PRIMARY KEY (Kind, Name));"
    "CREATE TABLE MSysColumns (TableName TEXT NOT NULL COLLATE JET, Ordinal INTEGER NOT NULL,"
    " Name TEXT NOT NULL, Type INTEGER, Size INTEGER, Attributes INTEGER, Required INTEGER,"
    " AllowZeroLength INTEGER, DefaultValue TEXT, ValidationRule TEXT, ValidationText TEXT,"
    " PRIMARY KEY (TableName, Ordinal));"
    "CREATE TABLE MSysIndexes (TableName TEXT NOT NULL COLLATE JET, Name TEXT NOT NULL COLLATE JET,"
    " IsPrimary INTEGER, IsUnique INTEGER, IsRequired INTEGER, IgnoreNulls INTEGER,"
    " IsForeign INTEGER, Fields TEXT, PRIMARY KEY (TableName, Name));"
    "CREATE TABLE MSysProperties (ObjectName TEXT NOT NULL COLLATE JET,"
    " FieldName TEXT NOT NULL COLLATE JET, Name TEXT NOT NULL COLLATE JET, Type INTEGER,"
    " Value TEXT, PRIMARY KEY (ObjectName, FieldName, Name));";

ColumnInfo Col(const char* name, int type, int32_t size = 0) {
  ColumnInfo c;
  c.name = name;
  c.type = type;
  c.size = size ? size : FixedSize(type);
  c.attributes = IsTextType(type) || IsBinaryType(type) ? dbVariableField : dbFixedField;
  return c;
}

std::vector<TableInfo> SystemTables(double now) {
  std::vector<TableInfo> out;
  auto add = [&](const char* name, std::vector<ColumnInfo> cols) {
    TableInfo t;
    t.name = name;
    t.attributes = dbSystemObject;
    t.created = t.updated = now;
    t.columns = std::move(cols);
    out.push_back(std::move(t));
  };
  add("MSysEngine", {Col("Name", dbText, 255), Col("Value", dbMemo)});
  add("MSysObjects", {Col("Name", dbText, 255), Col("Kind", dbLong), Col("Attributes", dbLong),
                      Col("DateCreated", dbDate), Col("LastUpdated", dbDate),
                      Col("SqlText", dbMemo), Col("ValidationRule", dbMemo),
                      Col("ValidationText", dbMemo)});
  add("MSysColumns", {Col("TableName", dbText, 255), Col("Ordinal", dbLong), Col("Name", dbText, 255),
                      Col("Type", dbLong), Col("Size", dbLong), Col("Attributes", dbLong),
                      Col("Required", dbLong), Col("AllowZeroLength", dbLong),
                      Col("DefaultValue", dbMemo), Col("ValidationRule", dbMemo),
                      Col("ValidationText", dbMemo)});
  add("MSysIndexes", {Col("TableName", dbText, 255), Col("Name", dbText, 255), Col("IsPrimary", dbLong),
                      Col("IsUnique", dbLong), Col("IsRequired", dbLong), Col("IgnoreNulls", dbLong),
                      Col("IsForeign", dbLong), Col("Fields", dbMemo)});
  add("MSysProperties", {Col("ObjectName", dbText, 255), Col("FieldName", dbText, 255),
                         Col("Name", dbText, 255), Col("Type", dbLong), Col("Value", dbMemo)});
  return out;
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
  // ASCII names, by far the most, compare without ICU; only other letters need its case folding.
  const auto ascii = [](const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  };
  if (ascii(a) && ascii(b))
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
  return JetLower(a) == JetLower(b);
}

std::string SqliteIndexName(const std::string& table, const std::string& index) {
  return table + "." + index;
}

bool ColumnInfo::IsCounter() const { return (attributes & dbAutoIncrField) != 0; }

bool TableInfo::IsSystem() const { return (attributes & dbSystemObject) == dbSystemObject; }

int TableInfo::ColumnIndex(const std::string& n) const {
  for (size_t k = 0; k < columns.size(); ++k)
    if (SameName(columns[k].name, n)) return static_cast<int>(k);
  return -1;
}

const ColumnInfo* TableInfo::Column(const std::string& n) const {
  const int k = ColumnIndex(n);
  return k < 0 ? nullptr : &columns[k];
}

int TableInfo::IndexPosition(const std::string& n) const {
  for (size_t k = 0; k < indexes.size(); ++k)
    if (SameName(indexes[k].name, n)) return static_cast<int>(k);
  return -1;
}

int TableInfo::CounterColumn() const {
  for (size_t k = 0; k < columns.size(); ++k)
    if (columns[k].IsCounter()) return static_cast<int>(k);
  return -1;
}

void Catalog::Initialize(Connection& c, int collating_order) {
  c.Exec("SAVEPOINT init");
  try {
    c.Exec(kSystemTablesSql);
    auto put = [&](const char* k, const std::string& v) {
      auto st = c.Prepare("INSERT INTO MSysEngine (Name, Value) VALUES (?, ?)");
      st.Bind(1, Cell::Text(k));
      st.Bind(2, Cell::Text(v));
      st.Run();
    };
    put("Signature", kSignature);
    put("Version", "4.0");
    put("CollatingOrder", std::to_string(collating_order));
    put("Stamp", "1");
    Catalog catalog(c);
    for (const TableInfo& t : SystemTables(framework::Now())) catalog.WriteTableMeta(t);
    c.Exec("RELEASE init");
  } catch (...) {
    c.Exec("ROLLBACK TO init; RELEASE init");
    throw;
  }
}

bool Catalog::IsEngineDatabase(Connection& c) {
  auto probe = c.Prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'MSysEngine'");
  if (!probe.Step() || probe.ColumnInt(0) == 0) return false;
  auto st = c.Prepare("SELECT Value FROM MSysEngine WHERE Name = 'Signature'");
  return st.Step() && st.Column(0).text == kSignature;
}

std::string Catalog::EngineValue(const std::string& key) const {
  for (const auto& kv : engine_values_)
    if (kv.first == key) return kv.second;
  return "";
}

void Catalog::Refresh() {
  auto st = connection_.Prepare("SELECT Value FROM MSysEngine WHERE Name = 'Stamp'");
  const int64_t stamp = st.Step() ? std::atoll(st.Column(0).text.c_str()) : 0;
  if (stamp != stamp_) Load();
}

void Catalog::Load() {
  std::vector<TableInfo> tables;
  std::vector<QueryInfo> queries;
  engine_values_.clear();
  {
    auto st = connection_.Prepare("SELECT Name, Value FROM MSysEngine");
    while (st.Step()) engine_values_.emplace_back(st.Column(0).text, CellText(st.Column(1)));
  }
  stamp_ = std::atoll(EngineValue("Stamp").c_str());
  {
    auto st = connection_.Prepare(
        "SELECT Name, Kind, Attributes, DateCreated, LastUpdated, SqlText, ValidationRule,"
        " ValidationText FROM MSysObjects ORDER BY Name COLLATE JET");
    while (st.Step()) {
      if (st.ColumnInt(1) == kKindTable) {
        TableInfo t;
        t.name = st.Column(0).text;
        t.attributes = static_cast<int32_t>(st.ColumnInt(2));
        t.created = st.Column(3).r;
        t.updated = st.Column(4).r;
        t.validation_rule = st.Column(6).text;
        t.validation_text = st.Column(7).text;
        tables.push_back(std::move(t));
      } else if (st.ColumnInt(1) == kKindQuery) {
        QueryInfo q;
        q.name = st.Column(0).text;
        q.created = st.Column(3).r;
        q.updated = st.Column(4).r;
        q.sql = st.Column(5).text;
        queries.push_back(std::move(q));
      }
    }
  }
  auto table_of = [&](const std::string& name) -> TableInfo* {
    for (auto& t : tables)
      if (SameName(t.name, name)) return &t;
    return nullptr;
  };
  {
    auto st = connection_.Prepare(
        "SELECT TableName, Name, Type, Size, Attributes, Required, AllowZeroLength, DefaultValue,"
        " ValidationRule, ValidationText FROM MSysColumns ORDER BY TableName, Ordinal");
    while (st.Step()) {
      TableInfo* t = table_of(st.Column(0).text);
      if (t == nullptr) continue;
      ColumnInfo c;
      c.name = st.Column(1).text;
      c.type = static_cast<int>(st.ColumnInt(2));
      c.size = static_cast<int32_t>(st.ColumnInt(3));
      c.attributes = static_cast<int32_t>(st.ColumnInt(4));
      c.required = st.ColumnInt(5) != 0;
      c.allow_zero_length = st.ColumnInt(6) != 0;
      c.default_value = st.Column(7).text;
      c.validation_rule = st.Column(8).text;
      c.validation_text = st.Column(9).text;
      t->columns.push_back(std::move(c));
    }
  }
  {
    auto st = connection_.Prepare(
        "SELECT TableName, Name, IsPrimary, IsUnique, IsRequired, IgnoreNulls, IsForeign, Fields"
        " FROM MSysIndexes ORDER BY TableName, Name COLLATE JET");
    while (st.Step()) {
      TableInfo* t = table_of(st.Column(0).text);
      if (t == nullptr) continue;
      IndexInfo i;
      i.name = st.Column(1).text;
      i.primary = st.ColumnInt(2) != 0;
      i.unique = st.ColumnInt(3) != 0;
      i.required = st.ColumnInt(4) != 0;
      i.ignore_nulls = st.ColumnInt(5) != 0;
      i.foreign = st.ColumnInt(6) != 0;
      i.columns = DecodeIndexFields(st.Column(7).text);
      t->indexes.push_back(std::move(i));
    }
  }
  {
    auto st = connection_.Prepare("SELECT ObjectName, FieldName, Name, Type, Value FROM MSysProperties");
    while (st.Step()) {
      PropertyValue p;
      p.name = st.Column(2).text;
      p.type = static_cast<int>(st.ColumnInt(3));
      const Cell v = st.Column(4);
      p.value = v.IsNull() ? framework::Variant::Null() : framework::Variant(v.text);
      if (!v.IsNull() && p.type != dbText && p.type != dbMemo) {
        try {
          p.value = CellToVariant(p.type, VariantToCell(p.type, 0, p.value, p.name));
        } catch (const framework::Exception&) {
        }
      }
      const std::string object = st.Column(0).text, field = st.Column(1).text;
      if (TableInfo* t = table_of(object)) {
        if (field.empty()) {
          t->properties.push_back(p);
        } else {
          const int k = t->ColumnIndex(field);
          if (k >= 0) t->columns[k].properties.push_back(p);
        }
      } else {
        for (auto& q : queries)
          if (SameName(q.name, object)) q.properties.push_back(p);
      }
    }
  }
  tables_ = std::move(tables);
  queries_ = std::move(queries);
}

const TableInfo* Catalog::FindTable(const std::string& name) const {
  for (const auto& t : tables_)
    if (SameName(t.name, name)) return &t;
  return nullptr;
}

const QueryInfo* Catalog::FindQuery(const std::string& name) const {
  for (const auto& q : queries_)
    if (SameName(q.name, name)) return &q;
  return nullptr;
}

const TableInfo& Catalog::Table(const std::string& name) const {
  const TableInfo* t = FindTable(name);
  if (t == nullptr)
    Raise(err::kUnknownTable, "The table " + Quoted(name) + " does not exist in this database.");
  return *t;
}

template <class F>
void Catalog::InTransaction(F&& f) {
  connection_.Exec("SAVEPOINT ddl");
  try {
    f();
    Touch();
    connection_.Exec("RELEASE ddl");
  } catch (...) {
    try {
      connection_.Exec("ROLLBACK TO ddl; RELEASE ddl");
    } catch (...) {
    }
    Load();
    throw;
  }
  Load();
}

void Catalog::Touch() {
  auto st = connection_.Prepare(
      "UPDATE MSysEngine SET Value = CAST(Value AS INTEGER) + 1 WHERE Name = 'Stamp'");
  st.Run();
}

void Catalog::CheckNewName(const std::string& name) const {
  if (name.empty() || name.size() > 64 * 4)
    Raise(err::kInvalidArgument, "The name " + Quoted(name) + " is not a valid object name.");
  for (char c : name)
    if (c == '.' || c == '!' || c == '[' || c == ']' || c == '`' || (static_cast<unsigned char>(c) < 32))
      Raise(err::kInvalidArgument, "The name " + Quoted(name) +
                                       " contains a character that names may not contain.");
  if (FindTable(name) != nullptr || FindQuery(name) != nullptr)
    Raise(err::kObjectExists, "An object named " + Quoted(name) + " already exists.");
}

void Catalog::WriteTableMeta(const TableInfo& t) {
  {
    auto st = connection_.Prepare(
        "INSERT INTO MSysObjects (Name, Kind, Attributes, DateCreated, LastUpdated,"
        " ValidationRule, ValidationText) VALUES (?, 1, ?, ?, ?, ?, ?)");
    st.Bind(1, Cell::Text(t.name));
    st.BindInt(2, t.attributes);
    st.Bind(3, Cell::Real(t.created));
    st.Bind(4, Cell::Real(t.updated));
    st.Bind(5, Cell::Text(t.validation_rule));
    st.Bind(6, Cell::Text(t.validation_text));
    st.Run();
  }
  for (size_t k = 0; k < t.columns.size(); ++k) {
    const ColumnInfo& c = t.columns[k];
    auto st = connection_.Prepare(
        "INSERT INTO MSysColumns (TableName, Ordinal, Name, Type, Size, Attributes, Required,"
        " AllowZeroLength, DefaultValue, ValidationRule, ValidationText)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    st.Bind(1, Cell::Text(t.name));
    st.BindInt(2, static_cast<int64_t>(k));
    st.Bind(3, Cell::Text(c.name));
    st.BindInt(4, c.type);
    st.BindInt(5, c.size);
    st.BindInt(6, c.attributes & ~dbUpdatableField);
    st.BindInt(7, c.required ? 1 : 0);
    st.BindInt(8, c.allow_zero_length ? 1 : 0);
    st.Bind(9, Cell::Text(c.default_value));
    st.Bind(10, Cell::Text(c.validation_rule));
    st.Bind(11, Cell::Text(c.validation_text));
    st.Run();
    for (const auto& p : c.properties) SetProperty(t.name, c.name, p);
  }
  for (const IndexInfo& i : t.indexes) WriteIndexMeta(t.name, i);
  for (const auto& p : t.properties) SetProperty(t.name, "", p);
}

void Catalog::WriteIndexMeta(const std::string& table, const IndexInfo& index) {
  auto st = connection_.Prepare(
      "INSERT INTO MSysIndexes (TableName, Name, IsPrimary, IsUnique, IsRequired, IgnoreNulls,"
      " IsForeign, Fields) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  st.Bind(1, Cell::Text(table));
  st.Bind(2, Cell::Text(index.name));
  st.BindInt(3, index.primary);
  st.BindInt(4, index.unique);
  st.BindInt(5, index.required);
  st.BindInt(6, index.ignore_nulls);
  st.BindInt(7, index.foreign);
  st.Bind(8, Cell::Text(EncodeIndexFields(index.columns)));
  st.Run();
}

void Catalog::DeleteTableMeta(const std::string& name) {
  for (const char* sql : {"DELETE FROM MSysObjects WHERE Kind = 1 AND Name = ?",
                          "DELETE FROM MSysColumns WHERE TableName = ?",
                          "DELETE FROM MSysIndexes WHERE TableName = ?",
                          "DELETE FROM MSysProperties WHERE ObjectName = ?"}) {
    auto st = connection_.Prepare(sql);
    st.Bind(1, Cell::Text(name));
    st.Run();
  }
}

void Catalog::CreateSqliteTable(const TableInfo& t, const std::string& sqlite_name) {
  std::string sql = "CREATE TABLE " + QuoteName(sqlite_name) + " (";
  for (size_t k = 0; k < t.columns.size(); ++k) {
    const ColumnInfo& c = t.columns[k];
    if (k) sql += ", ";
    sql += QuoteName(c.name);
    if (c.IsCounter()) {
      sql += " INTEGER PRIMARY KEY AUTOINCREMENT";
      continue;
    }
    sql += std::string(" ") + StorageType(c.type);
    if (IsTextType(c.type)) sql += " COLLATE JET";
    if (c.required) sql += " NOT NULL";
    if (!c.default_value.empty() && default_translator_ != nullptr)
      sql += " DEFAULT (" + default_translator_(c.default_value, c) + ")";
    else if (c.type == dbBoolean)
      sql += " DEFAULT 0";  // a Yes/No field is never Null: without a value it is No
    if (IsTextType(c.type) && !c.allow_zero_length)
      sql += " CONSTRAINT " + QuoteName("azl:" + t.name + "." + c.name) + " CHECK (length(" + QuoteName(c.name) + ") > 0)";
    if (c.type == dbText && c.size > 0)
      sql += " CONSTRAINT " + QuoteName("len:" + t.name + "." + c.name + ":" + std::to_string(c.size)) +
             " CHECK (length(" + QuoteName(c.name) + ") <= " + std::to_string(c.size) + ")";
  }
  sql += ")";
  connection_.Exec(sql);
}

namespace {

// The triggers that keep Null out of a required index (and a primary key): SQLite's indexes
// take Nulls, Jet's required ones refuse them with 3058. The failure text carries the DAO
// number in the form the connection turns into the error ("\x01NNNN:message").
std::vector<std::string> NullKeyTriggerNames(const std::string& table, const IndexInfo& i) {
  return {"nonull:" + table + "." + i.name + ":insert", "nonull:" + table + "." + i.name + ":update"};
}

void CreateNullKeyTriggers(Connection& connection, const TableInfo& t, const IndexInfo& i) {
  std::string when, columns;
  for (const IndexColumn& ic : i.columns) {
    const ColumnInfo* c = t.Column(ic.name);
    if (c == nullptr || c->IsCounter()) continue;  // a counter is never Null
    when += (when.empty() ? "" : " OR ") + std::string("NEW.") + QuoteName(c->name) + " IS NULL";
    columns += (columns.empty() ? "" : ", ") + QuoteName(c->name);
  }
  if (when.empty()) return;
  const std::string message = std::string("\x01") + std::to_string(err::kIndexNullKey) +
                              ":Index or primary key cannot contain a Null value: the " +
                              (i.primary ? "primary key " : "index ") + Quoted(t.name + "." + i.name) +
                              " needs a value in each of its fields.";
  const auto names = NullKeyTriggerNames(t.name, i);
  const std::string body = " WHEN " + when + " BEGIN SELECT RAISE(ABORT, " + QuoteText(message) + "); END";
  connection.Exec("CREATE TRIGGER " + QuoteName(names[0]) + " BEFORE INSERT ON " + QuoteName(t.name) + body);
  connection.Exec("CREATE TRIGGER " + QuoteName(names[1]) + " BEFORE UPDATE OF " + columns + " ON " +
                  QuoteName(t.name) + body);
}

void DropNullKeyTriggers(Connection& connection, const std::string& table, const IndexInfo& i) {
  for (const std::string& name : NullKeyTriggerNames(table, i))
    connection.Exec("DROP TRIGGER IF EXISTS " + QuoteName(name));
}

}  // namespace

void Catalog::CreateSqliteIndexes(const TableInfo& t) {
  for (const IndexInfo& i : t.indexes) {
    if (i.columns.empty()) continue;
    if (i.required || i.primary) CreateNullKeyTriggers(connection_, t, i);
    // An index of the counter alone is the table's own row id order, unique by nature: a SQLite
    // index of it would only double the writes.
    if (i.columns.size() == 1) {
      const ColumnInfo* c = t.Column(i.columns[0].name);
      if (c != nullptr && c->IsCounter()) continue;
    }
    std::string sql = std::string("CREATE ") + (i.unique || i.primary ? "UNIQUE " : "") + "INDEX " +
                      QuoteName(SqliteIndexName(t.name, i.name)) + " ON " + QuoteName(t.name) + " (";
    for (size_t k = 0; k < i.columns.size(); ++k) {
      if (k) sql += ", ";
      sql += QuoteName(i.columns[k].name) + (i.columns[k].descending ? " DESC" : "");
    }
    connection_.Exec(sql + ")");
  }
}

void Catalog::CreateTable(TableInfo table) {
  CheckNewName(table.name);
  if (table.columns.empty())
    Raise(err::kInvalidOperation, "The table " + Quoted(table.name) + " has no fields.");
  int counters = 0;
  for (size_t k = 0; k < table.columns.size(); ++k) {
    ColumnInfo& c = table.columns[k];
    if (c.name.empty()) Raise(err::kInvalidArgument, "A field of the table " + Quoted(table.name) + " has no name.");
    for (size_t j = 0; j < k; ++j)
      if (SameName(table.columns[j].name, c.name))
        Raise(err::kObjectExists, "The field " + Quoted(c.name) + " is defined twice in the table " + Quoted(table.name) + ".");
    if (c.IsCounter()) ++counters;
    if (IsTextType(c.type) || IsBinaryType(c.type)) c.attributes |= dbVariableField;
    else c.attributes |= dbFixedField;
  }
  if (counters > 1)
    Raise(err::kInvalidOperation, "The table " + Quoted(table.name) + " has more than one counter field.");
  for (const IndexInfo& i : table.indexes)
    for (const IndexColumn& ic : i.columns)
      if (table.ColumnIndex(ic.name) < 0)
        Raise(err::kUnknownName, "The index " + Quoted(i.name) + " names the field " + Quoted(ic.name) +
                                     ", which the table " + Quoted(table.name) + " does not have.");
  table.created = table.updated = framework::Now();
  InTransaction([&] {
    CreateSqliteTable(table, table.name);
    CreateSqliteIndexes(table);
    WriteTableMeta(table);
  });
}

void Catalog::DropTable(const std::string& name) {
  const TableInfo t = Table(name);
  if (t.IsSystem()) Raise(err::kInvalidOperation, "The system table " + Quoted(t.name) + " cannot be deleted.");
  InTransaction([&] {
    connection_.Exec("DROP TABLE " + QuoteName(t.name));
    DeleteTableMeta(t.name);
  });
}

void Catalog::Rebuild(const TableInfo& old_table, const TableInfo& new_table,
                      const std::vector<std::pair<std::string, std::string>>& copied) {
  const std::string temp = new_table.name + "$rebuild";
  CreateSqliteTable(new_table, temp);
  std::string targets = "rowid", sources = "rowid";
  for (const auto& [to, from] : copied) {
    targets += ", " + QuoteName(to);
    sources += from.empty() ? ", NULL" : ", " + QuoteName(from);
  }
  connection_.Exec("INSERT INTO " + QuoteName(temp) + " (" + targets + ") SELECT " + sources +
                   " FROM " + QuoteName(old_table.name));
  connection_.Exec("DROP TABLE " + QuoteName(old_table.name));
  connection_.Exec("ALTER TABLE " + QuoteName(temp) + " RENAME TO " + QuoteName(new_table.name));
  CreateSqliteIndexes(new_table);
  DeleteTableMeta(old_table.name);
  WriteTableMeta(new_table);
}

void Catalog::AddColumn(const std::string& table, ColumnInfo column) {
  const TableInfo t = Table(table);
  if (t.IsSystem()) Raise(err::kInvalidOperation, "The system table " + Quoted(t.name) + " cannot be changed.");
  if (t.ColumnIndex(column.name) >= 0)
    Raise(err::kObjectExists, "The table " + Quoted(t.name) + " already has a field " + Quoted(column.name) + ".");
  if (column.IsCounter() && t.CounterColumn() >= 0)
    Raise(err::kInvalidOperation, "The table " + Quoted(t.name) + " already has a counter field.");
  if (IsTextType(column.type) || IsBinaryType(column.type)) column.attributes |= dbVariableField;
  else column.attributes |= dbFixedField;
  TableInfo changed = t;
  changed.columns.push_back(column);
  changed.updated = framework::Now();
  std::vector<std::pair<std::string, std::string>> copied;
  for (const auto& c : t.columns) copied.emplace_back(c.name, c.name);
  // The records there are get Null in the new field, not its default: the default is for
  // records added from now on. A Yes/No field is never Null: it is No in them.
  copied.emplace_back(column.name, "");
  InTransaction([&] {
    Rebuild(t, changed, copied);
    if (column.type == dbBoolean)
      connection_.Exec("UPDATE " + QuoteName(t.name) + " SET " + QuoteName(column.name) + " = 0");
  });
}

void Catalog::DropColumn(const std::string& table, const std::string& column) {
  const TableInfo t = Table(table);
  const int k = t.ColumnIndex(column);
  if (k < 0) Raise(err::kNotInCollection, "The table " + Quoted(t.name) + " has no field " + Quoted(column) + ".");
  for (const auto& i : t.indexes)
    for (const auto& ic : i.columns)
      if (SameName(ic.name, column))
        Raise(err::kInvalidOperation, "The field " + Quoted(column) + " is part of the index " +
                                          Quoted(i.name) + "; delete the index first.");
  TableInfo changed = t;
  changed.columns.erase(changed.columns.begin() + k);
  changed.updated = framework::Now();
  std::vector<std::pair<std::string, std::string>> copied;
  for (const auto& c : changed.columns) copied.emplace_back(c.name, c.name);
  InTransaction([&] { Rebuild(t, changed, copied); });
}

void Catalog::AlterColumn(const std::string& table, const std::string& column, ColumnInfo replacement) {
  const TableInfo t = Table(table);
  const int k = t.ColumnIndex(column);
  if (k < 0) Raise(err::kNotInCollection, "The table " + Quoted(t.name) + " has no field " + Quoted(column) + ".");
  TableInfo changed = t;
  changed.columns[k] = replacement;
  changed.updated = framework::Now();
  if (!SameName(column, replacement.name)) {
    if (t.ColumnIndex(replacement.name) >= 0)
      Raise(err::kObjectExists, "The table " + Quoted(t.name) + " already has a field " + Quoted(replacement.name) + ".");
    for (auto& i : changed.indexes)
      for (auto& ic : i.columns)
        if (SameName(ic.name, column)) ic.name = replacement.name;
  }
  std::vector<std::pair<std::string, std::string>> copied;
  for (size_t j = 0; j < t.columns.size(); ++j) copied.emplace_back(changed.columns[j].name, t.columns[j].name);
  InTransaction([&] { Rebuild(t, changed, copied); });
}

void Catalog::CreateIndex(const std::string& table, IndexInfo index) {
  const TableInfo t = Table(table);
  if (t.IsSystem()) Raise(err::kInvalidOperation, "The system table " + Quoted(t.name) + " cannot be changed.");
  if (t.IndexPosition(index.name) >= 0)
    Raise(err::kObjectExists, "The table " + Quoted(t.name) + " already has an index " + Quoted(index.name) + ".");
  if (index.columns.empty())
    Raise(err::kInvalidOperation, "The index " + Quoted(index.name) + " has no fields.");
  for (auto& ic : index.columns) {
    const ColumnInfo* c = t.Column(ic.name);
    if (c == nullptr)
      Raise(err::kUnknownName, "The table " + Quoted(t.name) + " has no field " + Quoted(ic.name) + " for the index " + Quoted(index.name) + ".");
    ic.name = c->name;
  }
  if (index.primary) {
    for (const auto& i : t.indexes)
      if (i.primary) Raise(err::kInvalidOperation, "The table " + Quoted(t.name) + " already has a primary key.");
    index.unique = true;
    index.required = true;
  }
  if (index.required || index.primary) {
    std::string any_null;
    for (const auto& ic : index.columns)
      if (!t.Column(ic.name)->IsCounter())
        any_null += (any_null.empty() ? "" : " OR ") + QuoteName(ic.name) + " IS NULL";
    if (!any_null.empty()) {
      auto st = connection_.Prepare("SELECT 1 FROM " + QuoteName(t.name) + " WHERE " + any_null + " LIMIT 1");
      if (st.Step())
        Raise(err::kIndexNullKey, "Index or primary key cannot contain a Null value: records of " + Quoted(t.name) +
                                      " hold Null in a field of the index " + Quoted(index.name) + ".");
    }
  }
  TableInfo changed = t;
  changed.indexes = {index};
  InTransaction([&] {
    CreateSqliteIndexes(changed);
    WriteIndexMeta(t.name, index);
  });
}

void Catalog::DropIndex(const std::string& table, const std::string& index) {
  const TableInfo t = Table(table);
  const int k = t.IndexPosition(index);
  if (k < 0) Raise(err::kNotInCollection, "The table " + Quoted(t.name) + " has no index " + Quoted(index) + ".");
  const std::string name = t.indexes[k].name;
  InTransaction([&] {
    connection_.Exec("DROP INDEX IF EXISTS " + QuoteName(SqliteIndexName(t.name, name)));
    DropNullKeyTriggers(connection_, t.name, t.indexes[k]);
    auto st = connection_.Prepare("DELETE FROM MSysIndexes WHERE TableName = ? AND Name = ?");
    st.Bind(1, Cell::Text(t.name));
    st.Bind(2, Cell::Text(name));
    st.Run();
  });
}

void Catalog::RenameTable(const std::string& table, const std::string& new_name) {
  const TableInfo t = Table(table);
  if (SameName(table, new_name) && t.name == new_name) return;
  if (!SameName(table, new_name)) CheckNewName(new_name);
  TableInfo changed = t;
  changed.name = new_name;
  InTransaction([&] {
    for (const auto& i : t.indexes) {
      connection_.Exec("DROP INDEX IF EXISTS " + QuoteName(SqliteIndexName(t.name, i.name)));
      DropNullKeyTriggers(connection_, t.name, i);
    }
    connection_.Exec("ALTER TABLE " + QuoteName(t.name) + " RENAME TO " + QuoteName(new_name));
    CreateSqliteIndexes(changed);
    DeleteTableMeta(t.name);
    WriteTableMeta(changed);
  });
}

void Catalog::SetTableAttributes(const std::string& table, int32_t attributes) {
  const TableInfo t = Table(table);
  InTransaction([&] {
    auto st = connection_.Prepare("UPDATE MSysObjects SET Attributes = ? WHERE Kind = 1 AND Name = ?");
    st.BindInt(1, attributes);
    st.Bind(2, Cell::Text(t.name));
    st.Run();
  });
}

void Catalog::SetProperty(const std::string& object, const std::string& field, const PropertyValue& p) {
  auto st = connection_.Prepare(
      "INSERT OR REPLACE INTO MSysProperties (ObjectName, FieldName, Name, Type, Value) VALUES (?, ?, ?, ?, ?)");
  st.Bind(1, Cell::Text(object));
  st.Bind(2, Cell::Text(field));
  st.Bind(3, Cell::Text(p.name));
  st.BindInt(4, p.type);
  if (p.value.IsClear()) st.Bind(5, Cell());
  else if (p.value.Type() == framework::VarType::Date) st.Bind(5, Cell::Text(InvariantNumber(p.value.ToDouble())));
  else st.Bind(5, Cell::Text(p.value.ToString()));
  st.Run();
  if (!connection_.InTransaction()) {
    Touch();
    Load();
  }
}

void Catalog::DeleteProperty(const std::string& object, const std::string& field, const std::string& name) {
  InTransaction([&] {
    auto st = connection_.Prepare("DELETE FROM MSysProperties WHERE ObjectName = ? AND FieldName = ? AND Name = ?");
    st.Bind(1, Cell::Text(object));
    st.Bind(2, Cell::Text(field));
    st.Bind(3, Cell::Text(name));
    st.Run();
  });
}

void Catalog::SaveQuery(const QueryInfo& query) {
  const QueryInfo* existing = FindQuery(query.name);
  if (existing == nullptr) CheckNewName(query.name);
  const double now = framework::Now();
  const double created = existing ? existing->created : now;
  const std::string name = existing ? existing->name : query.name;
  InTransaction([&] {
    auto del = connection_.Prepare("DELETE FROM MSysObjects WHERE Kind = 5 AND Name = ?");
    del.Bind(1, Cell::Text(name));
    del.Run();
    auto st = connection_.Prepare(
        "INSERT INTO MSysObjects (Name, Kind, Attributes, DateCreated, LastUpdated, SqlText)"
        " VALUES (?, 5, 0, ?, ?, ?)");
    st.Bind(1, Cell::Text(name));
    st.Bind(2, Cell::Real(created));
    st.Bind(3, Cell::Real(now));
    st.Bind(4, Cell::Text(query.sql));
    st.Run();
  });
}

void Catalog::DeleteQuery(const std::string& name) {
  const QueryInfo* q = FindQuery(name);
  if (q == nullptr) Raise(err::kNotInCollection, "There is no query named " + Quoted(name) + ".");
  const std::string stored = q->name;
  InTransaction([&] {
    auto st = connection_.Prepare("DELETE FROM MSysObjects WHERE Kind = 5 AND Name = ?");
    st.Bind(1, Cell::Text(stored));
    st.Run();
    auto props = connection_.Prepare("DELETE FROM MSysProperties WHERE ObjectName = ?");
    props.Bind(1, Cell::Text(stored));
    props.Run();
  });
}

void Catalog::RenameQuery(const std::string& name, const std::string& new_name) {
  const QueryInfo* q = FindQuery(name);
  if (q == nullptr) Raise(err::kNotInCollection, "There is no query named " + Quoted(name) + ".");
  if (!SameName(name, new_name)) CheckNewName(new_name);
  const std::string stored = q->name;
  InTransaction([&] {
    auto st = connection_.Prepare("UPDATE MSysObjects SET Name = ? WHERE Kind = 5 AND Name = ?");
    st.Bind(1, Cell::Text(new_name));
    st.Bind(2, Cell::Text(stored));
    st.Run();
  });
}

}  // namespace engine
