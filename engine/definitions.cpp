#include "engine/definitions.h"

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/jet_parser.h"
#include "engine/objects.h"
#include "engine/recordset.h"
#include "engine/translator.h"
#include "engine/values.h"

namespace engine {

using namespace dao;

namespace {

std::string TextArg(const Variant& v) { return v.IsClear() ? std::string() : v.ToString(); }

[[noreturn]] void NotForDefinitions(const std::string& what) {
  Raise(err::kInvalidOperation, what + " is only available on the fields of a recordset.");
}

// A field of a table definition, of an index, or a draft made by CreateField.
class FieldDef : public dao::Field, public std::enable_shared_from_this<FieldDef> {
 public:
  // A draft.
  explicit FieldDef(ColumnInfo draft) : draft_(std::move(draft)) {}
  // A field of a stored table.
  FieldDef(std::shared_ptr<DatabaseCore> db, std::string table, std::string column)
      : db_(std::move(db)), table_(std::move(table)), column_(std::move(column)) {}

  bool attached() const { return db_ != nullptr; }
  // A draft appended to a stored table becomes that table's field.
  void AttachTo(std::shared_ptr<DatabaseCore> db, std::string table) {
    db_ = std::move(db);
    table_ = std::move(table);
    column_ = draft_.name;
  }
  ColumnInfo Info() const {
    if (!attached()) return draft_;
    db_->CheckOpen();
    const TableInfo& t = db_->catalog->Table(table_);
    const ColumnInfo* c = t.Column(column_);
    if (c == nullptr) Raise(err::kObjectInvalid, "The field " + Quoted(column_) + " no longer exists.");
    return *c;
  }
  template <class F>
  void Change(F&& f) {
    ColumnInfo c = Info();
    f(c);
    if (!attached()) {
      draft_ = c;
      return;
    }
    db_->CheckWritable();
    db_->catalog->AlterColumn(table_, column_, c);
    column_ = c.name;
  }

  std::string Name() override { return Info().name; }
  void SetName(const std::string& name) override { Change([&](ColumnInfo& c) { c.name = name; }); }
  int Type() override { return Info().type; }
  void SetType(int type) override {
    RefuseOnStoredField("Type");
    Change([&](ColumnInfo& c) {
      c.type = type;
      if (!IsTextType(type) && type != dbBinary) c.size = FixedSize(type);
      else if (type == dbMemo) c.size = 0;
    });
  }
  int32_t Size() override { return Info().size; }
  void SetSize(int32_t size) override {
    RefuseOnStoredField("Size");
    Change([&](ColumnInfo& c) { c.size = size; });
  }
  int32_t Attributes() override {
    const ColumnInfo c = Info();
    return attached() && !c.IsCounter() ? c.attributes | dbUpdatableField : c.attributes;
  }
  void SetAttributes(int32_t attributes) override {
    Change([&](ColumnInfo& c) {
      constexpr int32_t kStorage = dbAutoIncrField | dbFixedField | dbVariableField;
      if (attached() && ((c.attributes ^ attributes) & kStorage) != 0) RefuseOnStoredField("Attributes");
      c.attributes = attributes & ~dbUpdatableField;
    });
  }
  bool Required() override { return Info().required; }
  void SetRequired(bool required) override { Change([&](ColumnInfo& c) { c.required = required; }); }
  bool AllowZeroLength() override { return Info().allow_zero_length; }
  void SetAllowZeroLength(bool allow) override { Change([&](ColumnInfo& c) { c.allow_zero_length = allow; }); }
  std::string DefaultValue() override { return Info().default_value; }
  void SetDefaultValue(const std::string& e) override {
    if (!e.empty()) {
      ColumnInfo probe = Info();
      TranslateDefault(e, probe);  // refuse a default that does not parse
    }
    Change([&](ColumnInfo& c) { c.default_value = e; });
  }
  std::string ValidationRule() override { return Info().validation_rule; }
  void SetValidationRule(const std::string& r) override { Change([&](ColumnInfo& c) { c.validation_rule = r; }); }
  std::string ValidationText() override { return Info().validation_text; }
  void SetValidationText(const std::string& t) override { Change([&](ColumnInfo& c) { c.validation_text = t; }); }
  int OrdinalPosition() override {
    if (!attached()) return ordinal_;
    return db_->catalog->Table(table_).ColumnIndex(column_);
  }
  void SetOrdinalPosition(int position) override { ordinal_ = position; }
  std::string SourceTable() override { return attached() ? table_ : ""; }
  std::string SourceField() override { return attached() ? Info().name : ""; }
  Variant Value() override { NotForDefinitions("Value"); }
  void SetValue(const Variant&) override { NotForDefinitions("Value"); }
  int32_t FieldSize() override { NotForDefinitions("FieldSize"); }
  Variant GetChunk(int32_t, int32_t) override { NotForDefinitions("GetChunk"); }
  void AppendChunk(const Variant&) override { NotForDefinitions("AppendChunk"); }
  std::shared_ptr<dao::Properties> Properties() override {
    auto self = shared_from_this();
    return MakeProperties(
        [self] {
          std::vector<std::shared_ptr<dao::Property>> out;
          auto add = [&](const char* name, int type, std::function<Variant()> get,
                         std::function<void(const Variant&)> set) {
            out.push_back(std::make_shared<PropertyImpl>(name, type, std::move(get), std::move(set)));
          };
          add("Name", dbText, [self] { return Variant(self->Name()); }, [self](const Variant& v) { self->SetName(v.ToString()); });
          add("Type", dbInteger, [self] { return Variant(self->Type()); }, [self](const Variant& v) { self->SetType(v.ToInt32()); });
          add("Size", dbLong, [self] { return Variant(self->Size()); }, [self](const Variant& v) { self->SetSize(v.ToInt32()); });
          add("Attributes", dbLong, [self] { return Variant(self->Attributes()); }, [self](const Variant& v) { self->SetAttributes(v.ToInt32()); });
          add("Required", dbBoolean, [self] { return Variant(self->Required()); }, [self](const Variant& v) { self->SetRequired(v.ToBool()); });
          add("AllowZeroLength", dbBoolean, [self] { return Variant(self->AllowZeroLength()); }, [self](const Variant& v) { self->SetAllowZeroLength(v.ToBool()); });
          add("DefaultValue", dbText, [self] { return Variant(self->DefaultValue()); }, [self](const Variant& v) { self->SetDefaultValue(v.ToString()); });
          add("ValidationRule", dbText, [self] { return Variant(self->ValidationRule()); }, [self](const Variant& v) { self->SetValidationRule(v.ToString()); });
          add("ValidationText", dbText, [self] { return Variant(self->ValidationText()); }, [self](const Variant& v) { self->SetValidationText(v.ToString()); });
          add("OrdinalPosition", dbInteger, [self] { return Variant(self->OrdinalPosition()); }, nullptr);
          add("SourceTable", dbText, [self] { return Variant(self->SourceTable()); }, nullptr);
          add("SourceField", dbText, [self] { return Variant(self->SourceField()); }, nullptr);
          for (const PropertyValue& p : self->Info().properties) {
            const std::string name = p.name;
            out.push_back(std::make_shared<PropertyImpl>(
                p.name, p.type,
                [self, name] {
                  for (const auto& q : self->Info().properties)
                    if (SameName(q.name, name)) return q.value;
                  return Variant::Null();
                },
                [self, name, type = p.type](const Variant& v) { self->StoreProperty({name, type, v}); }));
          }
          return out;
        },
        [self](const PropertyValue& p) { self->StoreProperty(p); },
        [self](const std::string& name) { self->RemoveProperty(name); });
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant& name, const Variant& type, const Variant& value) override {
    return std::make_shared<PropertyImpl>(TextArg(name), IntArg(type, dbText), value);
  }

  // Type, size and the counter attribute of a stored field are fixed, as in Jet: changing them
  // would reinterpret the values already stored.
  void RefuseOnStoredField(const char* property) {
    if (attached())
      Raise(err::kInvalidOperation, std::string("The ") + property + " of the stored field " + Quoted(Info().name) +
                                        " cannot be changed; create a new field and copy the values.");
  }

  void StoreProperty(const PropertyValue& p) {
    if (!attached()) {
      for (auto& q : draft_.properties)
        if (SameName(q.name, p.name)) {
          q = p;
          return;
        }
      draft_.properties.push_back(p);
      return;
    }
    db_->CheckWritable();
    db_->catalog->SetProperty(table_, Info().name, p);
  }
  void RemoveProperty(const std::string& name) {
    if (!attached()) {
      std::erase_if(draft_.properties, [&](const PropertyValue& q) { return SameName(q.name, name); });
      return;
    }
    db_->CheckWritable();
    db_->catalog->DeleteProperty(table_, Info().name, name);
  }

 private:
  std::shared_ptr<DatabaseCore> db_;
  std::string table_, column_;
  ColumnInfo draft_;
  int ordinal_ = 0;
};

ColumnInfo DraftColumn(const Variant& name, const Variant& type, const Variant& size) {
  ColumnInfo c;
  c.name = TextArg(name);
  c.type = IntArg(type, dbText);
  c.size = IntArg(size, c.type == dbText ? 255 : FixedSize(c.type));
  if (c.type == dbMemo || c.type == dbLongBinary) c.size = 0;
  c.allow_zero_length = false;
  return c;
}

ColumnInfo ColumnOf(const std::shared_ptr<dao::Field>& field) {
  auto* def = dynamic_cast<FieldDef*>(field.get());
  if (def == nullptr) Raise(err::kInvalidArgument, "Only a field made by CreateField can be appended.");
  return def->Info();
}

// An index of a table definition, or a draft made by CreateIndex.
class IndexDef : public dao::Index, public std::enable_shared_from_this<IndexDef> {
 public:
  explicit IndexDef(IndexInfo draft) : draft_(std::move(draft)) {}
  IndexDef(std::shared_ptr<DatabaseCore> db, std::string table, std::string name)
      : db_(std::move(db)), table_(std::move(table)), name_(std::move(name)) {}

  bool attached() const { return db_ != nullptr; }
  // A draft appended to a stored table becomes that table's index.
  void AttachTo(std::shared_ptr<DatabaseCore> db, std::string table) {
    db_ = std::move(db);
    table_ = std::move(table);
    name_ = draft_.name;
  }
  IndexInfo Info() const {
    if (!attached()) return draft_;
    db_->CheckOpen();
    const TableInfo& t = db_->catalog->Table(table_);
    const int k = t.IndexPosition(name_);
    if (k < 0) Raise(err::kObjectInvalid, "The index " + Quoted(name_) + " no longer exists.");
    return t.indexes[k];
  }
  template <class F>
  void Change(F&& f) {
    if (attached())
      Raise(err::kInvalidOperation, "The index " + Quoted(name_) + " is stored; delete it and create it anew to change it.");
    f(draft_);
  }

  std::string Name() override { return Info().name; }
  void SetName(const std::string& name) override { Change([&](IndexInfo& i) { i.name = name; }); }
  bool Primary() override { return Info().primary; }
  void SetPrimary(bool v) override { Change([&](IndexInfo& i) { i.primary = v; }); }
  bool Unique() override { return Info().unique; }
  void SetUnique(bool v) override { Change([&](IndexInfo& i) { i.unique = v; }); }
  bool Required() override { return Info().required; }
  void SetRequired(bool v) override { Change([&](IndexInfo& i) { i.required = v; }); }
  bool IgnoreNulls() override { return Info().ignore_nulls; }
  void SetIgnoreNulls(bool v) override { Change([&](IndexInfo& i) { i.ignore_nulls = v; }); }
  bool Foreign() override { return Info().foreign; }
  bool Clustered() override { return false; }
  int32_t DistinctCount() override {
    const IndexInfo i = Info();
    if (!attached() || i.columns.empty()) return 0;
    std::string cols;
    for (const auto& c : i.columns) cols += (cols.empty() ? "" : ", ") + QuoteName(c.name);
    auto st = db_->connection->Prepare("SELECT count(*) FROM (SELECT DISTINCT " + cols + " FROM " + QuoteName(table_) + ")");
    st.Step();
    return static_cast<int32_t>(st.ColumnInt(0));
  }
  std::shared_ptr<dao::Fields> Fields() override {
    auto self = shared_from_this();
    return std::make_shared<ListCollection<dao::Field>>(
        "Fields",
        [self] {
          std::vector<std::shared_ptr<dao::Field>> out;
          for (const auto& ic : self->Info().columns) {
            ColumnInfo c;
            c.name = ic.name;
            c.attributes = ic.descending ? dbDescending : 0;
            c.size = 0;
            out.push_back(std::make_shared<FieldDef>(c));
          }
          return out;
        },
        [self](std::shared_ptr<dao::Field> f) {
          const ColumnInfo c = ColumnOf(f);
          self->Change([&](IndexInfo& i) {
            for (const auto& ic : i.columns)
              if (SameName(ic.name, c.name))
                Raise(err::kObjectExists, "The index already has the field " + Quoted(c.name) + ".");
            i.columns.push_back({c.name, (c.attributes & dbDescending) != 0});
          });
        },
        [self](const std::string& name) {
          self->Change([&](IndexInfo& i) {
            std::erase_if(i.columns, [&](const IndexColumn& ic) { return SameName(ic.name, name); });
          });
        });
  }
  std::shared_ptr<dao::Field> CreateField(const Variant& name, const Variant& type, const Variant& size) override {
    return std::make_shared<FieldDef>(DraftColumn(name, type, size));
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto self = shared_from_this();
    return MakeProperties([self] {
      std::vector<std::shared_ptr<dao::Property>> out;
      out.push_back(std::make_shared<PropertyImpl>("Name", dbText, [self] { return Variant(self->Name()); }));
      out.push_back(std::make_shared<PropertyImpl>("Primary", dbBoolean, [self] { return Variant(self->Primary()); }));
      out.push_back(std::make_shared<PropertyImpl>("Unique", dbBoolean, [self] { return Variant(self->Unique()); }));
      out.push_back(std::make_shared<PropertyImpl>("Required", dbBoolean, [self] { return Variant(self->Required()); }));
      out.push_back(std::make_shared<PropertyImpl>("IgnoreNulls", dbBoolean, [self] { return Variant(self->IgnoreNulls()); }));
      return out;
    });
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant& name, const Variant& type, const Variant& value) override {
    return std::make_shared<PropertyImpl>(TextArg(name), IntArg(type, dbText), value);
  }

 private:
  std::shared_ptr<DatabaseCore> db_;
  std::string table_, name_;
  IndexInfo draft_;
};

IndexInfo IndexOf(const std::shared_ptr<dao::Index>& index) {
  auto* def = dynamic_cast<IndexDef*>(index.get());
  if (def == nullptr) Raise(err::kInvalidArgument, "Only an index made by CreateIndex can be appended.");
  IndexInfo i = def->Info();
  if (i.name.empty()) Raise(err::kInvalidArgument, "The index has no name.");
  return i;
}

class TableDefImpl : public dao::TableDef, public std::enable_shared_from_this<TableDefImpl> {
 public:
  TableDefImpl(std::shared_ptr<DatabaseCore> db, TableInfo draft) : db_(std::move(db)), draft_(std::move(draft)) {}
  TableDefImpl(std::shared_ptr<DatabaseCore> db, std::string name)
      : db_(std::move(db)), name_(std::move(name)), attached_(true) {}

  bool attached() const { return attached_; }
  TableInfo Info() const {
    if (!attached_) return draft_;
    db_->CheckOpen();
    return db_->catalog->Table(name_);
  }
  void Attach() {
    db_->CheckWritable();
    db_->catalog->CreateTable(draft_);
    name_ = draft_.name;
    attached_ = true;
    for (const auto& f : appended_fields_) f->AttachTo(db_, name_);
    for (const auto& i : appended_indexes_) i->AttachTo(db_, name_);
    appended_fields_.clear();
    appended_indexes_.clear();
  }

  std::string Name() override { return Info().name; }
  void SetName(const std::string& name) override {
    if (!attached_) {
      draft_.name = name;
      return;
    }
    db_->CheckWritable();
    db_->catalog->RenameTable(name_, name);
    name_ = name;
  }
  int32_t Attributes() override { return Info().attributes; }
  void SetAttributes(int32_t attributes) override {
    if (!attached_) {
      draft_.attributes = attributes;
      return;
    }
    if (Info().IsSystem()) Raise(err::kInvalidOperation, "The attributes of a system table cannot be changed.");
    db_->CheckWritable();
    db_->catalog->SetTableAttributes(name_, attributes & dbHiddenObject);
  }
  Variant DateCreated() override { return attached_ ? Variant::Date(Info().created) : Variant::Null(); }
  Variant LastUpdated() override { return attached_ ? Variant::Date(Info().updated) : Variant::Null(); }
  std::string Connect() override { return ""; }
  void SetConnect(const std::string& connect) override {
    if (!connect.empty()) Raise(err::kNoInstallableIsam, "Attached (linked) tables are not supported by this engine.");
  }
  std::string SourceTableName() override { return ""; }
  void SetSourceTableName(const std::string& name) override {
    if (!name.empty()) Raise(err::kNoInstallableIsam, "Attached (linked) tables are not supported by this engine.");
  }
  std::string ValidationRule() override { return Info().validation_rule; }
  void SetValidationRule(const std::string& rule) override {
    if (attached_) Raise(err::kNotSupported, "Table validation rules cannot be changed on a stored table.");
    draft_.validation_rule = rule;
  }
  std::string ValidationText() override { return Info().validation_text; }
  void SetValidationText(const std::string& text) override {
    if (attached_) Raise(err::kNotSupported, "Table validation rules cannot be changed on a stored table.");
    draft_.validation_text = text;
  }
  int32_t RecordCount() override {
    if (!attached_) return 0;
    auto st = db_->connection->Prepare("SELECT count(*) FROM " + QuoteName(Info().name));
    st.Step();
    return static_cast<int32_t>(st.ColumnInt(0));
  }
  bool Updatable() override { return !db_->read_only && !Info().IsSystem(); }
  std::shared_ptr<dao::Fields> Fields() override {
    auto self = shared_from_this();
    return std::make_shared<ListCollection<dao::Field>>(
        "Fields",
        [self] {
          std::vector<std::shared_ptr<dao::Field>> out;
          const TableInfo t = self->Info();
          for (size_t k = 0; k < t.columns.size(); ++k) {
            if (self->attached_) out.push_back(std::make_shared<FieldDef>(self->db_, t.name, t.columns[k].name));
            else out.push_back(std::make_shared<FieldDef>(t.columns[k]));
          }
          return out;
        },
        [self](std::shared_ptr<dao::Field> f) {
          ColumnInfo c = ColumnOf(f);
          if (c.name.empty()) Raise(err::kInvalidArgument, "The field has no name.");
          if (!self->attached_) {
            if (self->draft_.ColumnIndex(c.name) >= 0)
              Raise(err::kObjectExists, "The table definition already has a field " + Quoted(c.name) + ".");
            self->draft_.columns.push_back(c);
            self->appended_fields_.push_back(std::static_pointer_cast<FieldDef>(f));
            return;
          }
          self->db_->CheckWritable();
          self->db_->catalog->AddColumn(self->name_, c);
          static_cast<FieldDef*>(f.get())->AttachTo(self->db_, self->name_);
        },
        [self](const std::string& name) {
          if (!self->attached_) {
            std::erase_if(self->draft_.columns, [&](const ColumnInfo& c) { return SameName(c.name, name); });
            return;
          }
          self->db_->CheckWritable();
          self->db_->catalog->DropColumn(self->name_, name);
        });
  }
  std::shared_ptr<dao::Indexes> Indexes() override {
    auto self = shared_from_this();
    return std::make_shared<ListCollection<dao::Index>>(
        "Indexes",
        [self] {
          std::vector<std::shared_ptr<dao::Index>> out;
          const TableInfo t = self->Info();
          for (const auto& i : t.indexes) {
            if (self->attached_) out.push_back(std::make_shared<IndexDef>(self->db_, t.name, i.name));
            else out.push_back(std::make_shared<IndexDef>(i));
          }
          return out;
        },
        [self](std::shared_ptr<dao::Index> index) {
          IndexInfo i = IndexOf(index);
          if (!self->attached_) {
            if (self->draft_.IndexPosition(i.name) >= 0)
              Raise(err::kObjectExists, "The table definition already has an index " + Quoted(i.name) + ".");
            if (i.primary) i.unique = i.required = true;
            self->draft_.indexes.push_back(i);
            self->appended_indexes_.push_back(std::static_pointer_cast<IndexDef>(index));
            return;
          }
          self->db_->CheckWritable();
          self->db_->catalog->CreateIndex(self->name_, i);
          static_cast<IndexDef*>(index.get())->AttachTo(self->db_, self->name_);
        },
        [self](const std::string& name) {
          if (!self->attached_) {
            std::erase_if(self->draft_.indexes, [&](const IndexInfo& i) { return SameName(i.name, name); });
            return;
          }
          self->db_->CheckWritable();
          self->db_->catalog->DropIndex(self->name_, name);
        });
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto self = shared_from_this();
    return MakeProperties(
        [self] {
          std::vector<std::shared_ptr<dao::Property>> out;
          out.push_back(std::make_shared<PropertyImpl>("Name", dbText, [self] { return Variant(self->Name()); }));
          out.push_back(std::make_shared<PropertyImpl>("Attributes", dbLong, [self] { return Variant(self->Attributes()); }));
          out.push_back(std::make_shared<PropertyImpl>("DateCreated", dbDate, [self] { return self->DateCreated(); }));
          out.push_back(std::make_shared<PropertyImpl>("LastUpdated", dbDate, [self] { return self->LastUpdated(); }));
          out.push_back(std::make_shared<PropertyImpl>("RecordCount", dbLong, [self] { return Variant(self->RecordCount()); }));
          for (const auto& p : self->Info().properties)
            out.push_back(std::make_shared<PropertyImpl>(p.name, p.type, [v = p.value] { return v; }));
          return out;
        },
        [self](const PropertyValue& p) {
          if (!self->attached_) {
            self->draft_.properties.push_back(p);
            return;
          }
          self->db_->CheckWritable();
          self->db_->catalog->SetProperty(self->name_, "", p);
        });
  }
  std::shared_ptr<dao::Field> CreateField(const Variant& name, const Variant& type, const Variant& size) override {
    return std::make_shared<FieldDef>(DraftColumn(name, type, size));
  }
  std::shared_ptr<dao::Index> CreateIndex(const Variant& name) override {
    IndexInfo i;
    i.name = TextArg(name);
    return std::make_shared<IndexDef>(i);
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant& name, const Variant& type, const Variant& value) override {
    return std::make_shared<PropertyImpl>(TextArg(name), IntArg(type, dbText), value);
  }
  std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type, const Variant& options) override {
    if (!attached_) Raise(err::kInvalidOperation, "The table definition has not been appended yet.");
    return OpenRecordsetOn(db_, Info().name, type, options, Variant());
  }
  void RefreshLink() override {}

 private:
  std::shared_ptr<DatabaseCore> db_;
  std::string name_;
  TableInfo draft_;
  bool attached_ = false;
  // The objects appended to the draft, which become the stored table's when it is appended.
  std::vector<std::shared_ptr<FieldDef>> appended_fields_;
  std::vector<std::shared_ptr<IndexDef>> appended_indexes_;
};

// A parameter of a query definition; its value lives in the query definition.
class QueryDefImpl;
class ParameterImpl : public dao::Parameter {
 public:
  ParameterImpl(std::shared_ptr<QueryDefImpl> q, ParamInfo info) : q_(std::move(q)), info_(std::move(info)) {}
  std::string Name() override { return info_.name; }
  int Type() override { return info_.declared ? info_.type : dbText; }
  void SetType(int type) override {
    info_.type = type;
    info_.declared = true;
  }
  Variant Value() override;
  void SetValue(const Variant& value) override;
  int Direction() override { return dbParamInput; }
  void SetDirection(int direction) override {
    if (direction != dbParamInput) Raise(err::kNotSupported, "Jet queries have input parameters only.");
  }
  std::shared_ptr<dao::Properties> Properties() override {
    const std::string name = info_.name;
    return MakeProperties([name] {
      return std::vector<std::shared_ptr<dao::Property>>{
          std::make_shared<PropertyImpl>("Name", dbText, [name] { return Variant(name); })};
    });
  }

 private:
  std::shared_ptr<QueryDefImpl> q_;
  ParamInfo info_;
};

class QueryDefImpl : public dao::QueryDef, public std::enable_shared_from_this<QueryDefImpl> {
 public:
  QueryDefImpl(std::shared_ptr<DatabaseCore> db, std::string name, std::string sql, bool stored)
      : db_(std::move(db)), name_(std::move(name)), sql_(std::move(sql)), stored_(stored) {}

  std::string Name() override { return name_; }
  void SetName(const std::string& name) override {
    if (stored_) {
      db_->CheckWritable();
      db_->catalog->RenameQuery(name_, name);
    }
    name_ = name;
  }
  std::string SQL() override {
    if (stored_) {
      db_->CheckOpen();
      db_->catalog->Refresh();
      if (const QueryInfo* q = db_->catalog->FindQuery(name_)) sql_ = q->sql;
    }
    return sql_;
  }
  void SetSQL(const std::string& sql) override {
    ParseStatement(sql);
    if (stored_) {
      db_->CheckWritable();
      db_->catalog->SaveQuery({name_, sql, 0, 0, {}});
    }
    sql_ = sql;
  }
  int Type() override {
    const JetStatement st = ParseStatement(SQL());
    switch (st.kind) {
      case JetStatement::kSelect: return st.select.unions.empty() ? dbQSelect : dbQSetOperation;
      case JetStatement::kSelectInto: return dbQMakeTable;
      case JetStatement::kInsert: return dbQAppend;
      case JetStatement::kUpdate: return dbQUpdate;
      case JetStatement::kDelete: return dbQDelete;
      default: return dbQDDL;
    }
  }
  std::string Connect() override { return ""; }
  void SetConnect(const std::string& connect) override {
    if (!connect.empty()) Raise(err::kODBCFailed, "ODBC pass-through queries are not supported by this engine.");
  }
  bool ReturnsRecords() override { return Type() == dbQSelect; }
  void SetReturnsRecords(bool) override {}
  int32_t MaxRecords() override { return max_records_; }
  void SetMaxRecords(int32_t n) override { max_records_ = n; }
  int32_t ODBCTimeout() override { return odbc_timeout_; }
  void SetODBCTimeout(int32_t s) override { odbc_timeout_ = s; }
  int32_t RecordsAffected() override { return records_affected_; }
  bool Updatable() override { return !db_->read_only; }
  Variant DateCreated() override {
    const QueryInfo* q = stored_ ? db_->catalog->FindQuery(name_) : nullptr;
    return q ? Variant::Date(q->created) : Variant::Null();
  }
  Variant LastUpdated() override {
    const QueryInfo* q = stored_ ? db_->catalog->FindQuery(name_) : nullptr;
    return q ? Variant::Date(q->updated) : Variant::Null();
  }
  std::vector<ParamInfo> ParameterList() {
    db_->CheckOpen();
    return StatementParameters(*db_->catalog, ParseStatement(SQL()));
  }
  std::shared_ptr<dao::Parameters> Parameters() override {
    auto self = shared_from_this();
    return std::make_shared<ListCollection<dao::Parameter>>(
        "Parameters",
        [self] {
          std::vector<std::shared_ptr<dao::Parameter>> out;
          for (const ParamInfo& p : self->ParameterList()) out.push_back(std::make_shared<ParameterImpl>(self, p));
          return out;
        },
        nullptr, nullptr);
  }
  std::shared_ptr<dao::Fields> Fields() override {
    auto rs = OpenRecordset(Variant(dbOpenSnapshot), Variant(), Variant());
    return rs->Fields();
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto self = shared_from_this();
    return MakeProperties([self] {
      std::vector<std::shared_ptr<dao::Property>> out;
      out.push_back(std::make_shared<PropertyImpl>("Name", dbText, [self] { return Variant(self->Name()); }));
      out.push_back(std::make_shared<PropertyImpl>("SQL", dbMemo, [self] { return Variant(self->SQL()); },
                                                   [self](const Variant& v) { self->SetSQL(v.ToString()); }));
      out.push_back(std::make_shared<PropertyImpl>("Type", dbInteger, [self] { return Variant(self->Type()); }));
      return out;
    });
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant& name, const Variant& type, const Variant& value) override {
    return std::make_shared<PropertyImpl>(TextArg(name), IntArg(type, dbText), value);
  }
  std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type, const Variant& options,
                                                const Variant& lock_edits) override {
    db_->CheckOpen();
    return OpenRecordsetOn(db_, SQL(), type, options, lock_edits, values_, max_records_);
  }
  void Execute(const Variant&) override {
    db_->CheckOpen();
    records_affected_ = ExecuteStatement(db_, SQL(), values_);
    db_->records_affected = records_affected_;
  }
  void Close() override {}

  Variant ParamValue(const std::string& name) const {
    for (const auto& kv : values_)
      if (SameName(kv.first, name)) return kv.second;
    return Variant();
  }
  void SetParamValue(const ParamInfo& p, const Variant& value) {
    Variant v = value;
    if (p.declared && !value.IsClear())
      v = CellToVariant(p.type, VariantToCell(p.type, 0, value, p.name));
    for (auto& kv : values_)
      if (SameName(kv.first, p.name)) {
        kv.second = v;
        return;
      }
    values_.emplace_back(p.name, v);
  }

 private:
  std::shared_ptr<DatabaseCore> db_;
  std::string name_, sql_;
  bool stored_;
  int32_t max_records_ = 0;
  int32_t odbc_timeout_ = 60;
  int32_t records_affected_ = 0;
  std::vector<std::pair<std::string, Variant>> values_;
};

Variant ParameterImpl::Value() { return q_->ParamValue(info_.name); }
void ParameterImpl::SetValue(const Variant& value) { q_->SetParamValue(info_, value); }

TableInfo TableFromDdl(const JetStatement& st) {
  TableInfo t;
  t.name = st.table;
  for (const ColumnDecl& d : st.column_decls) {
    ColumnInfo c;
    c.name = d.name;
    c.type = d.type;
    c.size = d.type == dbMemo || d.type == dbLongBinary ? 0 : d.size;
    c.required = d.not_null;
    c.default_value = d.has_default ? d.default_text : "";
    if (d.counter) c.attributes |= dbAutoIncrField;
    if (!c.default_value.empty()) TranslateDefault(c.default_value, c);
    t.columns.push_back(c);
    if (d.primary || d.unique) {
      IndexInfo i;
      i.name = !d.constraint_name.empty() ? d.constraint_name : d.primary ? "PrimaryKey" : "Index_" + d.name;
      i.primary = d.primary;
      i.unique = true;
      i.required = d.primary;
      i.columns.push_back({d.name, false});
      t.indexes.push_back(i);
    }
  }
  for (const ConstraintDecl& k : st.constraints) {
    IndexInfo i;
    i.name = k.name;
    i.primary = k.kind == ConstraintDecl::kPrimary;
    i.unique = k.kind != ConstraintDecl::kForeign;
    i.required = i.primary;
    i.foreign = k.kind == ConstraintDecl::kForeign;
    for (const auto& c : k.columns) i.columns.push_back({c, false});
    t.indexes.push_back(i);
  }
  return t;
}

}  // namespace

int32_t ExecuteStatement(const std::shared_ptr<DatabaseCore>& db, const std::string& sql,
                         const std::vector<std::pair<std::string, Variant>>& parameters) {
  db->CheckOpen();
  db->catalog->Refresh();
  const QueryInfo* stored = db->catalog->FindQuery(sql);
  const JetStatement st = ParseStatement(stored ? stored->sql : sql);
  Catalog& catalog = *db->catalog;
  if (st.kind == JetStatement::kSelect)
    Raise(err::kCannotExecuteSelect, "Cannot execute a select query: " + Quoted(sql) + " returns records; open it as a recordset.");
  db->CheckWritable();
  // Table-type recordsets read their tables again after any statement.
  ++db->order_epoch;
  switch (st.kind) {
    case JetStatement::kCreateTable: catalog.CreateTable(TableFromDdl(st)); return 0;
    case JetStatement::kDropTable: catalog.DropTable(st.table); return 0;
    case JetStatement::kCreateIndex: {
      IndexInfo i;
      if (!st.constraints.empty()) {
        const ConstraintDecl& k = st.constraints[0];
        i.name = k.name;
        i.primary = k.kind == ConstraintDecl::kPrimary;
        i.unique = k.kind != ConstraintDecl::kForeign;
        i.foreign = k.kind == ConstraintDecl::kForeign;
        for (const auto& c : k.columns) i.columns.push_back({c, false});
      } else {
        i.name = st.index;
        i.primary = st.primary;
        i.unique = st.unique || st.primary;
        i.required = st.disallow_null || st.primary;
        i.ignore_nulls = st.ignore_null;
        i.columns = st.index_columns;
      }
      catalog.CreateIndex(st.table, i);
      return 0;
    }
    case JetStatement::kDropIndex: catalog.DropIndex(st.table, st.index); return 0;
    case JetStatement::kAlterAddColumn: {
      const TableInfo t = TableFromDdl(st);
      catalog.AddColumn(st.table, t.columns[0]);
      for (const auto& i : t.indexes) catalog.CreateIndex(st.table, i);
      return 0;
    }
    case JetStatement::kAlterDropColumn: catalog.DropColumn(st.table, st.index); return 0;
    default: break;
  }
  // A make-table query (SELECT ... INTO) creates its table in the transaction that fills it.
  const bool make_table = st.kind == JetStatement::kSelectInto;
  const MakeTablePlan made = make_table ? PlanMakeTable(catalog, st) : MakeTablePlan{};
  const ActionPlan plan = make_table ? made.insert : PlanAction(catalog, st);
  const std::vector<Cell> values = ResolveParameters(plan.parameters, parameters);
  int32_t affected = 0;
  try {
    db->Atomically([&] {
      if (make_table) catalog.CreateTable(made.table);
      auto stmt = db->connection->Prepare(plan.sql);
      stmt.BindAll(BindSlots(plan.slots, values));
      stmt.Run();
      affected = static_cast<int32_t>(db->connection->Changes());
    });
  } catch (...) {
    if (make_table) catalog.Load();  // the table was rolled back with the records
    throw;
  }
  return affected;
}

std::shared_ptr<dao::TableDefs> MakeTableDefs(const std::shared_ptr<DatabaseCore>& db) {
  return std::make_shared<ListCollection<dao::TableDef>>(
      "TableDefs",
      [db] {
        db->CheckOpen();
        db->catalog->Refresh();
        std::vector<std::shared_ptr<dao::TableDef>> out;
        for (const auto& t : db->catalog->tables()) out.push_back(std::make_shared<TableDefImpl>(db, t.name));
        return out;
      },
      [db](std::shared_ptr<dao::TableDef> t) {
        auto* impl = dynamic_cast<TableDefImpl*>(t.get());
        if (impl == nullptr || impl->attached())
          Raise(err::kInvalidArgument, "Only a new table definition made by CreateTableDef can be appended.");
        impl->Attach();
      },
      [db](const std::string& name) {
        db->CheckWritable();
        db->catalog->DropTable(name);
      });
}

std::shared_ptr<dao::QueryDefs> MakeQueryDefs(const std::shared_ptr<DatabaseCore>& db) {
  return std::make_shared<ListCollection<dao::QueryDef>>(
      "QueryDefs",
      [db] {
        db->CheckOpen();
        db->catalog->Refresh();
        std::vector<std::shared_ptr<dao::QueryDef>> out;
        for (const auto& q : db->catalog->queries())
          out.push_back(std::make_shared<QueryDefImpl>(db, q.name, q.sql, true));
        return out;
      },
      [db](std::shared_ptr<dao::QueryDef> q) {
        auto* impl = dynamic_cast<QueryDefImpl*>(q.get());
        if (impl == nullptr) Raise(err::kInvalidArgument, "Only a query definition of this database can be appended.");
        db->CheckWritable();
        if (impl->Name().empty()) Raise(err::kInvalidArgument, "A query definition needs a name to be appended.");
        db->catalog->SaveQuery({impl->Name(), impl->SQL(), 0, 0, {}});
      },
      [db](const std::string& name) {
        db->CheckWritable();
        db->catalog->DeleteQuery(name);
      });
}

std::shared_ptr<dao::TableDef> MakeDraftTableDef(const std::shared_ptr<DatabaseCore>& db, const std::string& name,
                                                 int32_t attributes) {
  TableInfo t;
  t.name = name;
  t.attributes = attributes;
  return std::make_shared<TableDefImpl>(db, t);
}

std::shared_ptr<dao::QueryDef> MakeQueryDef(const std::shared_ptr<DatabaseCore>& db, const std::string& name,
                                            const std::string& sql) {
  if (!sql.empty()) ParseStatement(sql);
  if (!name.empty()) {
    db->CheckWritable();
    db->catalog->SaveQuery({name, sql, 0, 0, {}});
  }
  return std::make_shared<QueryDefImpl>(db, name, sql, !name.empty());
}

}  // namespace engine
