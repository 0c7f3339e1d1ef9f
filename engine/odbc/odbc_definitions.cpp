#include "engine/odbc/odbc_definitions.h"

#include <algorithm>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/objects.h"
#include "engine/odbc/odbc_database.h"
#include "engine/odbc/odbc_recordset.h"
#include "engine/values.h"

namespace engine::odbc {

using namespace dao;
using framework::Variant;

FieldInfo FieldInfoOf(const OdbcTable& table, const OdbcColumn& column, bool updatable) {
  FieldInfo f;
  f.name = column.name;
  f.type = column.dao_type;
  f.sql_type = column.sql_type;
  f.size = column.dao_type == dbText || column.dao_type == dbBinary ? column.size : FixedSize(column.dao_type);
  f.required = column.required;
  f.default_value = column.default_value;
  f.table = table.name;
  f.column = column.name;
  f.updatable = updatable && !column.auto_increment;
  f.attributes = (column.dao_type == dbText || column.dao_type == dbMemo || IsBinaryType(column.dao_type))
                     ? dbVariableField
                     : dbFixedField;
  if (column.auto_increment) f.attributes |= dbAutoIncrField;
  if (f.updatable) f.attributes |= dbUpdatableField;
  return f;
}

// ---------------------------------------------------------------------------------------------
// OdbcField

void OdbcField::ReadOnly(const char* what) {
  Raise(err::kInvalidOperation, std::string("The property ") + what + " of the field " + Quoted(info_.name) +
                                    " of an ODBC data source cannot be changed.");
}

void OdbcField::SetName(const std::string& name) {
  if (!free_) ReadOnly("Name");
  info_.name = name;
}
void OdbcField::SetType(int type) {
  if (!free_) ReadOnly("Type");
  info_.type = type;
}
void OdbcField::SetSize(int32_t size) {
  if (!free_) ReadOnly("Size");
  info_.size = size;
}
void OdbcField::SetAttributes(int32_t attributes) {
  if (!free_) ReadOnly("Attributes");
  info_.attributes = attributes;
}

Variant OdbcField::Value() {
  if (!access_.get)
    Raise(err::kInvalidOperation, "The field " + Quoted(info_.name) + " is a definition and has no value.");
  return access_.get();
}

void OdbcField::SetValue(const Variant& value) {
  if (!access_.set)
    Raise(err::kInvalidOperation, "The field " + Quoted(info_.name) + " is a definition and has no value.");
  access_.set(value);
}

int32_t OdbcField::FieldSize() {
  const Variant v = Value();
  if (v.IsClear()) return 0;
  if (v.Type() == framework::VarType::Bytes) return static_cast<int32_t>(v.ToBytes().size());
  return static_cast<int32_t>(Utf8Length(v.ToString()));
}

Variant OdbcField::GetChunk(int32_t offset, int32_t bytes) {
  if (offset < 0 || bytes < 0)
    Raise(err::kInvalidArgument, "GetChunk on the field " + Quoted(info_.name) + ": invalid offset or length.");
  const Variant v = Value();
  if (v.IsClear()) return Variant::Null();
  if (v.Type() == framework::VarType::Bytes) {
    const auto b = v.ToBytes();
    const size_t from = std::min<size_t>(offset, b.size());
    const size_t to = std::min<size_t>(from + bytes, b.size());
    return Variant(std::vector<uint8_t>(b.begin() + from, b.begin() + to));
  }
  // Memo offsets count characters, so that a chunk never splits one.
  const std::string s = v.ToString();
  auto advance = [&](size_t at, int64_t count) {
    for (int64_t k = 0; k < count && at < s.size(); ++k) {
      ++at;
      while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
    }
    return at;
  };
  const size_t from = advance(0, offset);
  return Variant(s.substr(from, advance(from, bytes) - from));
}

void OdbcField::AppendChunk(const Variant& data) {
  const Variant v = Value();
  if (IsBinaryType(info_.type)) {
    auto b = v.IsClear() ? std::vector<uint8_t>() : v.ToBytes();
    const auto more = data.ToBytes();
    b.insert(b.end(), more.begin(), more.end());
    SetValue(Variant(std::move(b)));
  } else {
    SetValue(Variant((v.IsClear() ? std::string() : v.ToString()) + data.ToString()));
  }
}

std::shared_ptr<dao::Properties> OdbcField::Properties() {
  const FieldInfo f = info_;
  const int ordinal = ordinal_;
  return MakeProperties([f, ordinal] {
    return RecordsetFieldProperties(f.name, f.type, f.size, f.attributes, f.required, f.default_value, f.table,
                                    f.column, ordinal);
  });
}

std::shared_ptr<dao::Property> OdbcField::CreateProperty(const Variant&, const Variant&, const Variant&) {
  Raise(err::kNotSupported, "Properties cannot be added to the fields of an ODBC data source.");
}

namespace {

std::shared_ptr<dao::Fields> FieldList(std::vector<std::shared_ptr<dao::Field>> list,
                                       std::function<void(std::shared_ptr<dao::Field>)> append = nullptr) {
  auto items = std::make_shared<std::vector<std::shared_ptr<dao::Field>>>(std::move(list));
  std::function<void(std::shared_ptr<dao::Field>)> add;
  if (append) {
    add = [items, append](std::shared_ptr<dao::Field> f) {
      append(f);
      items->push_back(std::move(f));
    };
  }
  return std::make_shared<ListCollection<dao::Field>>("Fields", [items] { return *items; }, add);
}

// An index of a table, or a new one made by CreateIndex until it is appended.
class OdbcIndexObject : public dao::Index {
 public:
  explicit OdbcIndexObject(OdbcIndex index, bool free_standing)
      : index_(std::move(index)), free_(free_standing) {
    std::vector<std::shared_ptr<dao::Field>> list;
    for (const auto& c : index_.columns) {
      FieldInfo f;
      f.name = c.name;
      f.attributes = c.descending ? dbDescending : 0;
      list.push_back(std::make_shared<OdbcField>(f, static_cast<int>(list.size())));
    }
    fields_ = FieldList(std::move(list), free_ ? [](std::shared_ptr<dao::Field>) {}
                                               : std::function<void(std::shared_ptr<dao::Field>)>());
  }
  std::string Name() override { return index_.name; }
  void SetName(const std::string& name) override {
    Changeable("Name");
    index_.name = name;
  }
  bool Primary() override { return index_.primary; }
  void SetPrimary(bool primary) override {
    Changeable("Primary");
    index_.primary = primary;
  }
  bool Unique() override { return index_.unique; }
  void SetUnique(bool unique) override {
    Changeable("Unique");
    index_.unique = unique;
  }
  bool Required() override { return index_.primary; }
  void SetRequired(bool) override { Changeable("Required"); }
  bool IgnoreNulls() override { return false; }
  void SetIgnoreNulls(bool) override { Changeable("IgnoreNulls"); }
  bool Foreign() override { return false; }
  bool Clustered() override { return false; }
  int32_t DistinctCount() override { return 0; }
  std::shared_ptr<dao::Fields> Fields() override { return fields_; }
  std::shared_ptr<dao::Field> CreateField(const Variant& name, const Variant&, const Variant&) override {
    FieldInfo f;
    f.name = name.IsClear() ? "" : name.ToString();
    auto field = std::make_shared<OdbcField>(f, 0);
    field->MakeFreeStanding();
    return field;
  }
  std::shared_ptr<dao::Properties> Properties() override {
    const OdbcIndex i = index_;
    return MakeProperties([i] {
      return std::vector<std::shared_ptr<dao::Property>>{
          std::make_shared<PropertyImpl>("Name", dbText, [i] { return Variant(i.name); }),
          std::make_shared<PropertyImpl>("Primary", dbBoolean, [i] { return Variant(i.primary); }),
          std::make_shared<PropertyImpl>("Unique", dbBoolean, [i] { return Variant(i.unique); })};
    });
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant&, const Variant&, const Variant&) override {
    Raise(err::kNotSupported, "Properties cannot be added to the indexes of an ODBC data source.");
  }

  // The index with the fields appended to it (names and directions).
  OdbcIndex Definition() {
    OdbcIndex out = index_;
    out.columns.clear();
    for (int k = 0; k < fields_->Count(); ++k) {
      auto f = fields_->Item(k);
      out.columns.push_back({f->Name(), (f->Attributes() & dbDescending) != 0});
    }
    return out;
  }
  bool free_standing() const { return free_; }

 private:
  void Changeable(const char* what) {
    if (!free_)
      Raise(err::kInvalidOperation, std::string("The property ") + what + " of the index " + Quoted(index_.name) +
                                        " cannot be changed once it is in the table.");
  }
  OdbcIndex index_;
  bool free_;
  std::shared_ptr<dao::Fields> fields_;
};

class OdbcTableDef : public dao::TableDef {
 public:
  OdbcTableDef(std::shared_ptr<OdbcCore> core, std::shared_ptr<OdbcTable> table)
      : core_(std::move(core)), table_(std::move(table)) {}

  // The table with its columns and indexes as the catalog holds them now (read again after
  // a change of the schema made through this connection).
  const std::shared_ptr<OdbcTable>& Details() {
    auto full = core_->catalog->Find(table_->name);
    if (!full) Raise(err::kNotInCollection, "The table " + Quoted(table_->name) + " no longer exists.");
    table_ = full;
    return table_;
  }

  std::string Name() override { return table_->name; }
  void SetName(const std::string&) override { Unsupported("renamed"); }
  int32_t Attributes() override { return 0; }
  void SetAttributes(int32_t) override { Unsupported("given attributes"); }
  Variant DateCreated() override { return Variant::Null(); }
  Variant LastUpdated() override { return Variant::Null(); }
  std::string Connect() override { return ""; }
  void SetConnect(const std::string&) override { Unsupported("linked"); }
  std::string SourceTableName() override { return ""; }
  void SetSourceTableName(const std::string&) override { Unsupported("linked"); }
  std::string ValidationRule() override { return ""; }
  void SetValidationRule(const std::string&) override { Unsupported("given a validation rule"); }
  std::string ValidationText() override { return ""; }
  void SetValidationText(const std::string&) override { Unsupported("given a validation text"); }
  int32_t RecordCount() override {
    core_->CheckOpen();
    auto st = core_->NewStatement();
    st->Run("SELECT COUNT(*) FROM " + core_->catalog->SqlName(*table_));
    if (!st->Fetch()) return 0;
    const Cell c = st->Get(0, dbBigInt, SQL_BIGINT);
    return static_cast<int32_t>(c.i);
  }
  bool Updatable() override { return !core_->read_only; }
  std::shared_ptr<dao::Fields> Fields() override {
    std::vector<std::shared_ptr<dao::Field>> list;
    const auto& table = Details();
    const bool keyed = !table->KeyColumns().empty();
    for (const auto& c : table->columns)
      list.push_back(std::make_shared<OdbcField>(FieldInfoOf(*table, c, keyed), static_cast<int>(list.size())));
    return FieldList(std::move(list));
  }
  std::shared_ptr<dao::Indexes> Indexes() override {
    auto core = core_;
    auto table = Details();
    // Changes of the schema replace the catalog's tables; open recordsets keep the ones they
    // were opened with, so a table object is never changed in place.
    const std::string name = table->name;
    auto current = [core, name] {
      auto t = core->catalog->Find(name);
      if (!t) Raise(err::kNotInCollection, "The table " + Quoted(name) + " no longer exists.");
      return t;
    };
    return std::make_shared<ListCollection<dao::Index>>(
        "Indexes",
        [current] {
          std::vector<std::shared_ptr<dao::Index>> out;
          for (const auto& i : current()->indexes) out.push_back(std::make_shared<OdbcIndexObject>(i, false));
          return out;
        },
        [core, current](std::shared_ptr<dao::Index> index) {
          const auto table = current();
          auto* own = dynamic_cast<OdbcIndexObject*>(index.get());
          if (own == nullptr || !own->free_standing())
            Raise(err::kInvalidArgument, "Only an index made by CreateIndex can be appended.");
          const OdbcIndex def = own->Definition();
          if (def.primary)
            Raise(err::kNotSupported, "A primary key of an ODBC data source is made with the server's own SQL.");
          if (def.name.empty() || def.columns.empty())
            Raise(err::kInvalidArgument, "The index needs a name and at least one field.");
          std::string sql = std::string(def.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                            core->connection->Quote(def.name) + " ON " + core->catalog->SqlName(*table) + " (";
          for (size_t k = 0; k < def.columns.size(); ++k) {
            const OdbcColumn* c = table->Column(def.columns[k].name);
            if (c == nullptr)
              Raise(err::kUnknownName, "The field " + Quoted(def.columns[k].name) + " is not in the table " +
                                           Quoted(table->name) + ".");
            sql += (k ? ", " : "") + core->connection->Quote(c->name) + (def.columns[k].descending ? " DESC" : "");
          }
          core->CheckWritable();
          core->NewStatement()->Run(sql + ")");
          ++core->changes;
          core->catalog->Refresh();
        },
        [core, current](const std::string& name) {
          const auto table = current();
          const OdbcIndex* found = nullptr;
          for (const auto& i : table->indexes)
            if (SameName(i.name, name)) found = &i;
          if (found == nullptr)
            Raise(err::kNotInCollection, "The index " + Quoted(name) + " is not in the table " + Quoted(table->name) + ".");
          core->CheckWritable();
          const std::string qualified = table->schema.empty()
                                            ? core->connection->Quote(found->name)
                                            : core->connection->Quote(table->schema) + "." +
                                                  core->connection->Quote(found->name);
          core->NewStatement()->Run("DROP INDEX " + qualified);
          ++core->changes;
          core->catalog->Refresh();
        });
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto table = table_;
    return MakeProperties([table] {
      return std::vector<std::shared_ptr<dao::Property>>{
          std::make_shared<PropertyImpl>("Name", dbText, [table] { return Variant(table->name); }),
          std::make_shared<PropertyImpl>("Attributes", dbLong, [] { return Variant(0); })};
    });
  }
  std::shared_ptr<dao::Field> CreateField(const Variant& name, const Variant& type, const Variant& size) override {
    FieldInfo f;
    f.name = name.IsClear() ? "" : name.ToString();
    f.type = IntArg(type, dbText);
    f.size = IntArg(size, 0);
    auto field = std::make_shared<OdbcField>(f, 0);
    field->MakeFreeStanding();
    return field;
  }
  std::shared_ptr<dao::Index> CreateIndex(const Variant& name) override {
    OdbcIndex i;
    i.name = name.IsClear() ? "" : name.ToString();
    return std::make_shared<OdbcIndexObject>(i, true);
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant&, const Variant&, const Variant&) override {
    Raise(err::kNotSupported, "Properties cannot be added to the tables of an ODBC data source.");
  }
  std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type, const Variant& options) override;
  void RefreshLink() override { Unsupported("relinked"); }

 private:
  [[noreturn]] void Unsupported(const char* what) {
    Raise(err::kNotSupported, "A table of an ODBC data source cannot be " + std::string(what) +
                                  " through DAO; use the server's own SQL (dbSQLPassThrough).");
  }
  std::shared_ptr<OdbcCore> core_;
  std::shared_ptr<OdbcTable> table_;
};

}  // namespace

std::shared_ptr<dao::Recordset> OdbcTableDef::OpenRecordset(const Variant& type, const Variant& options) {
  return OpenOdbcRecordset(core_, table_->name, type, options, Variant());
}

std::shared_ptr<dao::TableDef> MakeTableDef(const std::shared_ptr<OdbcCore>& core, const std::string& name) {
  core->CheckOpen();
  auto table = core->catalog->Find(name);
  if (!table) Raise(err::kNotInCollection, "Item " + Quoted(name) + " is not in the collection TableDefs.");
  return std::make_shared<OdbcTableDef>(core, table);
}

std::shared_ptr<dao::TableDefs> MakeTableDefs(const std::shared_ptr<OdbcCore>& core) {
  auto defs = std::make_shared<ListCollection<dao::TableDef>>(
      "TableDefs",
      [core] {
        // Read anew, so that tables others made since are listed; their details are read
        // when a definition is looked into.
        core->CheckOpen();
        core->catalog->Refresh();
        std::vector<std::shared_ptr<dao::TableDef>> out;
        for (const auto& t : core->catalog->Tables()) out.push_back(std::make_shared<OdbcTableDef>(core, t));
        return out;
      },
      [](std::shared_ptr<dao::TableDef>) {
        Raise(err::kNotSupported, "Tables of an ODBC data source are made with the server's own SQL (dbSQLPassThrough).");
      },
      [core](const std::string& name) {
        core->CheckOpen();
        core->CheckWritable();
        auto table = core->catalog->Find(name);
        if (!table) Raise(err::kNotInCollection, "Item " + Quoted(name) + " is not in the collection TableDefs.");
        core->NewStatement()->Run("DROP TABLE " + core->catalog->SqlName(*table));
        ++core->changes;
        core->catalog->Refresh();
      },
      false);
  return defs;
}

}  // namespace engine::odbc
