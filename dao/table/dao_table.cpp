// TUxDaoTable: construction, the settings with their refusals, the read-only values, component
// housekeeping and the form-file registration.
#include "dao/table/dao_table.h"
#include "dataset/dataset_form_classes.h"

#include <cctype>
#include <exception>

#include "dao/dao_constants.h"
#include "dao/table/dao_index_defs.h"
#include "dao/table/ignoring.h"
#include "dao/table/sql_text.h"
#include "dataset/data_source.h"
#include "dataset/db_error.h"
#include "dataset/field_defs.h"
#include "dataset/index_defs.h"
#include "framework/application.h"
#include "framework/com.h"
#include "framework/exception.h"
#include "framework/form_value.h"
#include "framework/strings.h"

namespace dao {

using daotable::Ignoring;
using framework::EDatabaseError;
using framework::TStringList;
using framework::Variant;

namespace {

constexpr const char* kOptionNames[] = {
    "dbDenyWrite",   "dbDenyRead",    "dbReadOnly",   "dbAppendOnly",
    "dbInconsistent", "dbConsistent", "dbSQLPassThrough", "dbFailOnError",
    "dbForwardOnly", "dbSeeChanges",  "dbRunAsync",   "dbExecDirect",
};
constexpr int kOptionCount = 12;

std::string VariantText(const Variant& value) {
  try {
    return value.ToString();
  } catch (const std::exception&) {
    return std::string();
  }
}

}  // namespace

const char* OpenOptionName(TOO option) { return kOptionNames[static_cast<int>(option)]; }

bool OpenOptionByName(const std::string& name, TOO& option) {
  for (int i = 0; i < kOptionCount; ++i) {
    if (framework::SameText(name, kOptionNames[i])) {
      option = static_cast<TOO>(i);
      return true;
    }
  }
  return false;
}

int OpenOptionsNumber(TOpenOptions options) {
  // DAO's option values happen to be the powers of two in the set's own order.
  int number = 0;
  for (int i = 0; i < kOptionCount; ++i)
    if (options & (1u << i)) number += 1 << i;
  return number;
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TUxDaoTable::TUxDaoTable(framework::TComponent* owner) : dataset::TDataSet(owner) {
  RegisterUxDaoTableClass();
  sql_.OnChange = [this](TStringList&) { SqlChanged(); };
  master_link_ = std::make_unique<dataset::TMasterDataLink>(this);
  master_link_->OnMasterChange = [this] { MasterChanged(); };
  master_link_->OnMasterDisable = [this] { MasterDisabled(); };
  const int result = framework::CoInitialize();
  if (result != framework::S_OK && result != framework::S_FALSE)
    throw EDatabaseError("Unable to init OLE objects!");
  ole_initialized_ = true;
  dao_fields_.resize(2);
  identifier_chars_ = daotable::IdentifierCharsText();
}

TUxDaoTable::~TUxDaoTable() {
  SetComponentState(framework::csDestroying);
  try {
    Close();
  } catch (const std::exception&) {
    // A destructor cannot report a failing close; the recordset is released below anyway.
  }
  if (Active() || open_flag_) {
    // Close failed half-way; the base insists on an inactive dataset.
    SetState(dataset::stInactive);
  }
  dao_fields_.clear();
  dao_recordset_.reset();
  base_recordset_.reset();
  FreeOldValues();
  for (TDaoRecordBuffer*& work : work_buffers_) {
    dataset::TRecordBuffer b = work;
    DisposeRecordBuffer(b);
    work = nullptr;
  }
  master_link_.reset();
  if (database_ != nullptr) database_->RemoveFreeNotification(this);
  if (encrypter_ != nullptr) encrypter_->RemoveFreeNotification(this);
  if (ole_initialized_) framework::CoUninitialize();
}

void TUxDaoTable::Loaded() {
  try {
    dataset::TDataSet::Loaded();
  } catch (const std::exception&) {
    framework::Application().HandleCurrentException();
  }
}

void TUxDaoTable::Notification(framework::TComponent* component, framework::TOperation operation) {
  if (operation == framework::TOperation::opRemove) {
    if (component == database_) database_ = nullptr;
    if (component == encrypter_ && component != nullptr) {
      if (open_flag_) Ignoring([&] { Close(); });
      encrypter_ready_ = false;
      encoded_property_ = nullptr;
      decoded_property_ = nullptr;
      encrypter_ = nullptr;
    }
  }
  dataset::TDataSet::Notification(component, operation);
}

// ---------------------------------------------------------------------------------------------
// Settings

void TUxDaoTable::RefuseWhileActive(const char* message) const {
  if (Active()) throw EDatabaseError(message);
}

void TUxDaoTable::ClearDefinitions() {
  field_captions_.Clear();
  FieldDefs().Clear();
  if (auto* defs = dynamic_cast<TUxDaoIndexDefs*>(&IndexDefs()))
    defs->Forget();
  else
    IndexDefs().Clear();
}

void TUxDaoTable::SetDatabase(TUxDaoDatabase* database) {
  RefuseWhileActive("TUxDaoTable.F_Set_Database: Cannot set Database while Table is Active!");
  if (database == database_) return;
  if (database_ != nullptr) database_->RemoveFreeNotification(this);
  database_ = database;
  if (database_ != nullptr) database_->FreeNotification(this);
}

void TUxDaoTable::SetTableName(const std::string& name) {
  RefuseWhileActive("TUxDaoTable.F_Set_TableName: Cannot set TableName while Table is active!");
  table_name_ = name;
  if (name.empty()) return;
  index_name_.clear();
  sql_.Clear();
  query_def_name_.clear();
  query_def_sql_text_.Clear();
  query_def_parameters_.Clear();
  sorted_by_.Clear();
  ClearDefinitions();
}

void TUxDaoTable::SetSQL(const TStringList& lines) {
  sql_.Assign(lines);
  if (sql_.Text().empty()) return;
  query_def_parameters_.Clear();
  query_def_sql_text_.Clear();
  query_def_name_.clear();
  index_name_.clear();
  table_name_.clear();
  ClearDefinitions();
}

void TUxDaoTable::SqlChanged() {
  if (HasState(framework::csReading)) return;
  if (!param_check_ && !HasState(framework::csDesigning)) return;
  dataset::TParams fresh;
  fresh.ParseSQL(sql_.Text("\n"), true);
  fresh.AssignValues(params_);
  params_.Assign(fresh);
}

void TUxDaoTable::SetQueryDefName(const std::string& name) {
  if (open_flag_)
    throw EDatabaseError(
        "TUxDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!");
  if (database_ != nullptr && database_->Connected()) {
    query_def_sql_text_.Clear();
    if (!name.empty()) Ignoring([&] { query_def_sql_text_.SetText(database_->GetQueryDefSQL(name)); });
  }
  query_def_name_ = name;
  QueryDefType();
  if (name.empty()) return;
  index_name_.clear();
  table_name_.clear();
  sql_.Clear();
  query_def_parameters_.Clear();
  detail_names_.clear();
  master_names_.clear();
  master_fields_.Clear();
  ClearDefinitions();
  if (table_type_ == dbOpenTable || table_type_ == dbOpenDynamic) table_type_ = dbOpenDynaset;
}

void TUxDaoTable::SetQueryDefSQLText(const TStringList& lines) {
  if (database_ == nullptr || !database_->Connected() || open_flag_ || query_def_name_.empty() ||
      !query_def_sql_modify_ || HasState(framework::csLoading))
    return;
  const std::string sql = daotable::ExpandSqlParams(lines, params_, param_check_,
                                                    daotable::IdentifierCharSet());
  if (database_->QueryDefNames().IndexOf(query_def_name_) < 0)
    database_->CreateQueryDef(query_def_name_, sql);
  else
    database_->SetQueryDefSQL(query_def_name_, sql);
  database_->RefreshNameLists();
  SetQueryDefName(query_def_name_);
}

void TUxDaoTable::SetQueryDefParameters(const TStringList& lines) {
  query_def_parameters_.Assign(lines);
}

void TUxDaoTable::SetTableType(int value) {
  RefuseWhileActive("TUxDaoTable.F_Set_TableType: Cannot set TableType while Table is active!");
  table_type_ = value;
  if (value == dbOpenTable) {
    sorted_by_.Clear();
  } else {
    index_name_.clear();
    IndexDefs().Clear();
  }
  if (value == dbOpenForwardOnly) sorted_by_.Clear();
}

void TUxDaoTable::SetLockType(int value) {
  RefuseWhileActive("TUxDaoTable.F_Set_LockType: Cannot set LockType while Table is active!");
  lock_type_ = value;
}

void TUxDaoTable::SetOpenOptions(TOpenOptions options) {
  open_options_ = options;
  if (open_flag_) ReopenDaoRecordset();
}

void TUxDaoTable::SetReadOnly(bool value) {
  read_only_ = value || (database_ != nullptr && database_->Connected() && database_->ReadOnly());
}

void TUxDaoTable::SetIndexName(const std::string& name) {
  static const char* const kRefused =
      "TUxDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!";
  if (Active()) {
    if (table_type_ == dbOpenTable) {
      sorted_by_.Clear();
      dao_recordset_->SetIndex(name);
      CheckBrowseMode();
      ClearBuffers();
      CursorPosChanged();
      current_index_ = -1;
      rec_no_stale_ = true;
      ActivateBuffers();
      GoFirst();
      index_name_ = name;
      return;
    }
    if (!name.empty()) throw EDatabaseError(kRefused);
    index_name_.clear();
    return;
  }
  if (table_type_ == dbOpenTable) {
    if (!name.empty()) sorted_by_.Clear();
    index_name_ = name;
    return;
  }
  if (!name.empty()) throw EDatabaseError(kRefused);
  index_name_.clear();
}

void TUxDaoTable::SetSortedBy(const TStringList& lines) {
  sorted_by_.Assign(lines);
  index_name_.clear();
  if (open_flag_) ReopenDaoRecordset();
}

void TUxDaoTable::SetFiltered(bool value) {
  if (value == filtered_) return;
  const bool old = filtered_;
  filtered_ = value;
  if (open_flag_) {
    try {
      ReopenForFilter();
    } catch (...) {
      filtered_ = old;
      throw;
    }
  }
  dataset::TDataSet::SetFiltered(value);
}

void TUxDaoTable::SetFilterText(const std::string& text) {
  filter_text_ = text;
  if (open_flag_ && filtered_) ReopenForFilter();
  dataset::TDataSet::SetFilterText(text);
}

void TUxDaoTable::SetOnFilterRecord(dataset::TFilterRecordEvent handler) {
  OnFilterRecord = std::move(handler);
  if (open_flag_ && filtered_) ReopenDaoRecordset();
}

void TUxDaoTable::ReopenAfterCacheChange() {
  if (HasState(framework::csLoading) || !open_flag_) return;
  Close();
  Open();
  GoFirst();
}

void TUxDaoTable::SetCacheMemos(bool value) {
  cache_memos_ = value;
  ReopenAfterCacheChange();
}

void TUxDaoTable::SetCacheBlobs(bool value) {
  cache_blobs_ = value;
  ReopenAfterCacheChange();
}

void TUxDaoTable::SetCacheLookups(bool value) {
  cache_lookups_ = value;
  ReopenAfterCacheChange();
}

void TUxDaoTable::SetShowGUID(bool value) {
  show_guid_ = value;
  ReopenAfterCacheChange();
}

void TUxDaoTable::SetEncrypter(framework::TComponent* encrypter) {
  if (encrypter == encrypter_) return;
  if (encrypter_ != nullptr) encrypter_->RemoveFreeNotification(this);
  encrypter_ = encrypter;
  if (encrypter_ != nullptr) encrypter_->FreeNotification(this);
  ReopenAfterCacheChange();
}

// ---------------------------------------------------------------------------------------------
// Read-only values

std::string TUxDaoTable::QueryDefType() {
  query_def_type_code_ = 0;
  if (database_ == nullptr || !database_->Connected() || query_def_name_.empty()) return "";
  try {
    query_def_type_code_ = database_->CoreDatabase()->QueryDefs()->Item(query_def_name_)->Type();
  } catch (const std::exception&) {
    query_def_type_code_ = 0;
    return "";
  }
  switch (query_def_type_code_) {
    case dbQSelect: return "dbQSelect";
    case dbQCrosstab: return "dbQCrosstab";
    case dbQDelete: return "dbQDelete";
    case dbQUpdate: return "dbQUpdate";
    case dbQAppend: return "dbQAppend";
    case dbQMakeTable: return "dbQMakeTable";
    case dbQDDL: return "dbQDDL";
    case dbQSQLPassThrough: return "dbQSQLPassThrough";
    case dbQSetOperation: return "dbQSetOperation";
    case dbQSPTBulk: return "dbQSPTBulk";
    case dbQCompound: return "dbQCompound";
    case dbQProcedure: return "dbQProcedure";
    case dbQAction: return "dbQAction";
    default: return "";
  }
}

std::string TUxDaoTable::TableDateCreated() {
  if (!open_flag_) return "";
  std::string text;
  Ignoring([&] {
    if (table_type_ == dbOpenTable)
      text = VariantText(dao_recordset_->DateCreated());
    else if (!query_def_name_.empty())
      text = VariantText(database_->CoreDatabase()->QueryDefs()->Item(query_def_name_)->DateCreated());
  });
  return text;
}

std::string TUxDaoTable::TableLastUpdated() {
  if (!open_flag_) return "";
  std::string text;
  Ignoring([&] {
    if (table_type_ == dbOpenTable)
      text = VariantText(dao_recordset_->LastUpdated());
    else if (!query_def_name_.empty())
      text = VariantText(database_->CoreDatabase()->QueryDefs()->Item(query_def_name_)->LastUpdated());
  });
  return text;
}

int TUxDaoTable::IndexFieldCount() {
  if (table_type_ != dbOpenTable || database_ == nullptr || !database_->Connected() ||
      table_name_.empty() || index_name_.empty())
    return 0;
  int count = 0;
  Ignoring([&] {
    count = database_->CoreDatabase()->TableDefs()->Item(table_name_)->Indexes()->Item(index_name_)
                ->Fields()->Count();
  });
  return count;
}

bool TUxDaoTable::LockEdits() {
  if (!Active() || database_ == nullptr || database_->DatabaseType() == "ODBC" ||
      database_->ReadOnly() || read_only_ ||
      (table_type_ != dbOpenTable && table_type_ != dbOpenDynaset) || !dao_recordset_)
    return false;
  bool lock = false;
  Ignoring([&] { lock = dao_recordset_->LockEdits(); });
  return lock;
}

TStringList TUxDaoTable::TableIndexNames() {
  TStringList names;
  if (database_ == nullptr || !database_->Connected() || table_name_.empty()) return names;
  try {
    const auto indexes = database_->CoreDatabase()->TableDefs()->Item(table_name_)->Indexes();
    const int count = indexes->Count();
    for (int i = 0; i < count; ++i) names.Add(indexes->Item(i)->Name());
  } catch (const std::exception&) {
    names.Clear();
  }
  return names;
}

bool TUxDaoTable::HasDaoProperty(const std::shared_ptr<dao::Properties>& properties,
                                 const std::string& name) {
  if (!properties) return false;
  try {
    const int count = properties->Count();
    for (int i = 0; i < count; ++i)
      if (framework::SameText(properties->Item(i)->Name(), name)) return true;
  } catch (const std::exception&) {
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Helpers shared by the other parts

int TUxDaoTable::EngineType() const { return database_ != nullptr ? database_->EngineType() : 0; }

void TUxDaoTable::FreeEngineCaches() {
  if (database_ != nullptr && database_->CoreEngine()) database_->FreeEngineCaches();
}

int TUxDaoTable::DaoErrorNumber(const std::exception& error) {
  const auto* ole = dynamic_cast<const framework::EOleException*>(&error);
  return ole != nullptr ? ole->ErrorCode() : 0;
}

std::string TUxDaoTable::StripSingleQuotes(const std::string& text) {
  std::string result = text;
  if (!result.empty() && result.front() == '\'') result.erase(0, 1);
  if (!result.empty() && result.back() == '\'') result.pop_back();
  return result;
}

// ---------------------------------------------------------------------------------------------
// Form files

namespace {

framework::TFormValue ParamValueToForm(const dataset::TParam& param) {
  const Variant& v = param.Value();
  using framework::TFormValue;
  using framework::VarType;
  switch (v.Type()) {
    case VarType::Boolean: return TFormValue::Boolean(v.ToBool());
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64:
      return TFormValue::Integer(v.ToInt64());
    case VarType::Single: case VarType::Double: case VarType::Currency: case VarType::Date:
      return TFormValue::Float(v.ToDouble());
    case VarType::Bytes: return TFormValue::Binary(v.ToBytes());
    default: return TFormValue::String(v.ToString());
  }
}

Variant FormToParamValue(const framework::TFormValue& value, dataset::TFieldType type) {
  using framework::TFormValue;
  switch (value.kind()) {
    case TFormValue::Kind::Integer:
      return type == dataset::ftFloat || type == dataset::ftCurrency
                 ? Variant(static_cast<double>(value.AsInteger()))
                 : Variant(static_cast<long long>(value.AsInteger()));
    case TFormValue::Kind::Float:
      if (type == dataset::ftDate || type == dataset::ftTime || type == dataset::ftDateTime)
        return Variant::Date(value.AsFloat());
      if (type == dataset::ftCurrency) return Variant::Currency(value.AsFloat());
      return Variant(value.AsFloat());
    case TFormValue::Kind::Identifier:
      if (framework::SameText(value.AsIdentifier(), "True")) return Variant(true);
      if (framework::SameText(value.AsIdentifier(), "False")) return Variant(false);
      return Variant::Null();
    case TFormValue::Kind::Binary: return Variant(value.AsBinary());
    case TFormValue::Kind::String: return Variant(value.AsString());
    default: return Variant::Null();
  }
}

dataset::TFieldType FieldTypeByName(const std::string& name) {
  for (int t = dataset::ftUnknown; t <= dataset::ftFMTBcd; ++t) {
    const auto type = static_cast<dataset::TFieldType>(t);
    if (framework::SameText(name, std::string("ft") + dataset::FieldTypeName(type))) return type;
  }
  return dataset::ftUnknown;
}

constexpr const char* kParamTypeNames[] = {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput",
                                           "ptResult"};

framework::TFormValue ParamsToForm(const dataset::TParams& params) {
  std::vector<framework::TFormItem> items;
  for (int i = 0; i < params.Count(); ++i) {
    const dataset::TParam& p = params.Items(i);
    framework::TFormItem item;
    item.emplace_back("DataType", framework::TFormValue::Identifier(
                                      std::string("ft") + dataset::FieldTypeName(p.DataType())));
    item.emplace_back("Name", framework::TFormValue::String(p.Name()));
    item.emplace_back("ParamType", framework::TFormValue::Identifier(kParamTypeNames[p.ParamType()]));
    if (!p.IsNull()) item.emplace_back("Value", ParamValueToForm(p));
    items.push_back(std::move(item));
  }
  return framework::TFormValue::Collection(std::move(items));
}

void FormToParams(const framework::TFormValue& value, dataset::TParams& params) {
  params.Clear();
  for (const framework::TFormItem& item : value.AsCollection()) {
    dataset::TFieldType type = dataset::ftUnknown;
    dataset::TParamType param_type = dataset::ptUnknown;
    std::string name;
    const framework::TFormValue* stored = nullptr;
    for (const auto& [key, v] : item) {
      if (framework::SameText(key, "DataType")) {
        type = FieldTypeByName(v.AsIdentifier());
      } else if (framework::SameText(key, "Name")) {
        name = v.AsString();
      } else if (framework::SameText(key, "ParamType")) {
        for (int t = 0; t < 5; ++t)
          if (framework::SameText(v.AsIdentifier(), kParamTypeNames[t]))
            param_type = static_cast<dataset::TParamType>(t);
      } else if (framework::SameText(key, "Value")) {
        stored = &v;
      }
    }
    dataset::TParam& param = params.CreateParam(type, name, param_type);
    if (stored != nullptr) {
      const Variant v = FormToParamValue(*stored, type);
      if (!v.IsNull()) param.SetValue(v);
      param.SetDataType(type);
    }
  }
}

}  // namespace

void RegisterUxDaoTableClass() {
  dataset::RegisterDatasetClasses();  // the base class TDataSet and the field classes
  static const bool registered = [] {
    using C = TUxDaoTable;
    using framework::TFormValue;
    framework::TPropertyInfo options;
    options.name = "OpenOptions";
    options.set = [](framework::TComponent& c, const TFormValue& v) {
      TOpenOptions set = 0;
      for (const std::string& member : v.AsSet()) {
        TOO option;
        if (!OpenOptionByName(member, option))
          throw framework::EComponentError("Invalid property value: " + member);
        set |= OptionBit(option);
      }
      dynamic_cast<C&>(c).SetOpenOptions(set);
    };
    options.get = [](const framework::TComponent& c) {
      std::vector<std::string> members;
      const TOpenOptions set = dynamic_cast<const C&>(c).OpenOptions();
      for (int i = 0; i < kOptionCount; ++i)
        if (set & (1u << i)) members.push_back(kOptionNames[i]);
      return TFormValue::Set(std::move(members));
    };
    framework::TPropertyInfo export_method;
    export_method.name = "ExportMethod";
    export_method.set = [](framework::TComponent& c, const TFormValue& v) {
      const std::string& id = v.AsIdentifier();
      if (framework::SameText(id, "VisibleFields"))
        dynamic_cast<C&>(c).SetExportMethod(TExportMethod::VisibleFields);
      else if (framework::SameText(id, "AllFields"))
        dynamic_cast<C&>(c).SetExportMethod(TExportMethod::AllFields);
      else
        throw framework::EComponentError("Invalid property value: " + id);
    };
    export_method.get = [](const framework::TComponent& c) {
      return TFormValue::Identifier(dynamic_cast<const C&>(c).ExportMethod() == TExportMethod::AllFields
                                        ? "AllFields"
                                        : "VisibleFields");
    };
    framework::TPropertyInfo param_data;
    param_data.name = "ParamData";
    param_data.set = [](framework::TComponent& c, const TFormValue& v) {
      FormToParams(v, dynamic_cast<C&>(c).Params());
    };
    param_data.get = [](const framework::TComponent& c) {
      return ParamsToForm(dynamic_cast<const C&>(c).Params());
    };
    param_data.stored = [](const framework::TComponent& c) {
      return dynamic_cast<const C&>(c).Params().Count() > 0;
    };
    framework::TPropertyInfo active;
    active.name = "Active";
    active.set = [](framework::TComponent& c, const TFormValue& v) {
      dynamic_cast<C&>(c).SetActive(v.AsBoolean());
    };
    active.get = [](const framework::TComponent& c) {
      return TFormValue::Boolean(dynamic_cast<const C&>(c).Active());
    };
    active.stored = [](const framework::TComponent& c) { return dynamic_cast<const C&>(c).Active(); };
    framework::TPropertyInfo filter;
    filter.name = "Filter";
    filter.set = [](framework::TComponent& c, const TFormValue& v) {
      dynamic_cast<C&>(c).SetFilterText(v.AsString());
    };
    filter.get = [](const framework::TComponent& c) {
      return TFormValue::String(dynamic_cast<const C&>(c).Filter());
    };
    filter.stored = [](const framework::TComponent& c) { return !dynamic_cast<const C&>(c).Filter().empty(); };
    framework::TPropertyInfo filtered;
    filtered.name = "Filtered";
    filtered.set = [](framework::TComponent& c, const TFormValue& v) {
      dynamic_cast<C&>(c).SetFiltered(v.AsBoolean());
    };
    filtered.get = [](const framework::TComponent& c) {
      return TFormValue::Boolean(dynamic_cast<const C&>(c).Filtered());
    };
    filtered.stored = [](const framework::TComponent& c) { return dynamic_cast<const C&>(c).Filtered(); };

    framework::TClassRegistrar<C>("TUxDaoTable", "TDataSet")
        .Creatable()
        .String("ComponentVersion", &C::ComponentVersion, &C::SetComponentVersion, std::nullopt)
        .Reference<TUxDaoDatabase>("Database", &C::Database, &C::SetDatabase)
        .String("TableName", &C::TableName, &C::SetTableName)
        .Integer("TableType", &C::TableType, &C::SetTableType, std::nullopt)
        .Integer("LockType", &C::LockType, &C::SetLockType, std::nullopt)
        .Property(options)
        .Boolean("ReadOnly", &C::ReadOnly, &C::SetReadOnly, false)
        .String("IndexName", &C::IndexName, &C::SetIndexName)
        .Strings("SortedBy.Strings", &C::SortedBy, &C::SetSortedBy)
        .Strings("SQL.Strings", static_cast<const TStringList& (C::*)() const>(&C::SQL), &C::SetSQL)
        .String("QueryDefName", &C::QueryDefName, &C::SetQueryDefName)
        .Strings("QueryDefParameters.Strings", &C::QueryDefParameters, &C::SetQueryDefParameters)
        .Boolean("QueryDefSQLModify", &C::QueryDefSQLModify, &C::SetQueryDefSQLModify, false)
        .Integer("QueryDefODBCMaxRecords", &C::QueryDefODBCMaxRecords, &C::SetQueryDefODBCMaxRecords, std::nullopt)
        .Boolean("ParamCheck", &C::ParamCheck, &C::SetParamCheck, true)
        .Property(param_data)
        .Property(filter)
        .Property(filtered)
        .Boolean("DatabaseAutoActivate", &C::DatabaseAutoActivate, &C::SetDatabaseAutoActivate, false)
        .Reference<dataset::TDataSource>("MasterSource", &C::MasterSource, &C::SetMasterSource)
        .Strings("MasterFields.Strings", &C::MasterFields, &C::SetMasterFields)
        .Boolean("MasterAutoActivate", &C::MasterAutoActivate, &C::SetMasterAutoActivate, true)
        .Boolean("UseDaoProperties", &C::UseDaoProperties, &C::SetUseDaoProperties, true)
        .Boolean("UseCaptions", &C::UseCaptions, &C::SetUseCaptions, false)
        .Boolean("CacheMemos", &C::CacheMemos, &C::SetCacheMemos, false)
        .Boolean("CacheBlobs", &C::CacheBlobs, &C::SetCacheBlobs, false)
        .Boolean("CacheLookups", &C::CacheLookups, &C::SetCacheLookups, false)
        .Boolean("ShowGUID", &C::ShowGUID, &C::SetShowGUID, false)
        .Reference<framework::TComponent>("Encrypter", &C::Encrypter, &C::SetEncrypter)
        .Boolean("UseGetRecNo", &C::UseGetRecNo, &C::SetUseGetRecNo, true)
        .Boolean("UseRecordCount", &C::UseRecordCount, &C::SetUseRecordCount, true)
        .Boolean("WarnOnBadDatabase", &C::WarnOnBadDatabase, &C::SetWarnOnBadDatabase, false)
        .Boolean("RefreshSorted", &C::RefreshSorted, &C::SetRefreshSorted, false)
        .Boolean("Translation", &C::Translation, &C::SetTranslation, false)
        .Boolean("UseBrackets", &C::UseBrackets, &C::SetUseBrackets, true)
        .Boolean("AutoFindIndex", &C::AutoFindIndex, &C::SetAutoFindIndex, true)
        .Property(export_method)
        .Boolean("ProcessMessages", &C::ProcessMessages, &C::SetProcessMessages, false)
        .Property(active)
        .Commit();
    return true;
  }();
  (void)registered;
}

namespace {
const bool kRegisteredAtStart = (RegisterUxDaoTableClass(), true);
}  // namespace

}  // namespace dao
