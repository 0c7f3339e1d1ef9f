// TUxDaoTable: opening and closing the recordset, the field definitions and the field settings
// made at opening, the index definitions of a standard table, and the Encrypter hook.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

#include "dao/dao_constants.h"
#include "dao/table/dao_index_defs.h"
#include "dao/table/dao_table.h"
#include "dao/table/ignoring.h"
#include "dao/table/key_conditions.h"
#include "dao/table/sql_text.h"
#include "dataset/binary_fields.h"
#include "dataset/data_source.h"
#include "dataset/field_defs.h"
#include "dataset/index_defs.h"
#include "dataset/numeric_fields.h"
#include "framework/exception.h"
#include "framework/strings.h"
#include "framework/text_encoding.h"

namespace dao {

using daotable::Ignoring;
using framework::EDatabaseError;
using framework::Variant;

namespace {

// Internal type codes beside DAO's: a date column shown as a time, a date column shown as date
// and time, and an autoincrement long integer.
constexpr int kTimeCode = 22;
constexpr int kDateTimeCode = 23;
constexpr int kAutoIncCode = 40000;

}  // namespace

// The field type of a DAO (or internal) type code.
dataset::TFieldType DaoTypeToFieldType(int code) {
  using namespace dataset;
  switch (code) {
    case dbBoolean: return ftBoolean;
    case dbByte: case dbInteger: return ftSmallint;
    case dbLong: case dbBigInt: return ftInteger;
    case dbCurrency: return ftCurrency;
    case dbSingle: case dbDouble: case dbNumeric: case dbDecimal: case dbFloat: return ftFloat;
    case dbDate: return ftDate;
    case dbBinary: case dbGUID: return ftBytes;
    case dbText: case dbChar: return ftString;
    case dbLongBinary: case dbVarBinary: return ftBlob;
    case dbMemo: return ftMemo;
    case kTimeCode: return ftTime;
    case kDateTimeCode: return ftDateTime;
    case kAutoIncCode: return ftAutoInc;
    default: return ftUnknown;
  }
}

// The definition size of a DAO column: its Size for texts and binaries, 0 otherwise.
int DaoTypeSize(int code, int size) {
  switch (code) {
    case dbBinary: case dbText: case dbLongBinary: case dbMemo: case dbGUID: case dbVarBinary:
    case dbChar:
      return size;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------------------
// OpenDaoRecordset

void TUxDaoTable::OpenDaoRecordset() {
  if (database_ == nullptr) throw EDatabaseError("TUxDaoTable.OpenDaoRecordset: Missing Database Property");
  if (table_name_.empty() && sql_.Count() == 0 && query_def_name_.empty())
    throw EDatabaseError(
        "TUxDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!");
  if (!database_->Connected()) {
    if (!database_auto_activate_)
      throw EDatabaseError("TUxDaoTable.OpenDaoRecordset: Database is NOT connected");
    database_->SetConnected(true);
    // A connect that ended without error but without a connection (a cancelled login).
    if (!database_->Connected())
      throw EDatabaseError("TUxDaoTable.OpenDaoRecordset: Database is NOT connected");
  }
  if (table_type_ == dbOpenDynamic && database_->DatabaseType() != "ODBC")
    throw EDatabaseError(
        "TUxDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!");
  if (database_->ReadOnly() || table_type_ == dbOpenForwardOnly || table_type_ == dbOpenSnapshot)
    read_only_ = true;
  open_options_value_ = OpenOptionsNumber(open_options_);
  if (base_recordset_) {
    Ignoring([&] { base_recordset_->Close(); });
    base_recordset_.reset();
  }
  const std::shared_ptr<dao::Database> db = database_->CoreDatabase();

  std::string source = table_name_;
  if (sql_.Count() > 0) {
    if (MasterSource() != nullptr) {
      // The parameters take the master's values, so a master to be opened is opened first.
      SettleMasterIdle();
      CopyMasterValuesToParams();
    }
    source = daotable::ExpandSqlParams(sql_, params_, param_check_, daotable::IdentifierCharSet());
  }
  std::shared_ptr<QueryDef> query_def;
  if (!query_def_name_.empty()) {
    source = query_def_name_;
    try {
      query_def = db->QueryDefs()->Item(query_def_name_);
      const auto parameters = query_def->Parameters();
      const int n = parameters->Count();
      int k = 0;
      for (int i = 0; i < n; ++i) {
        const auto parameter = parameters->Item(i);
        const int direction = parameter->Direction();
        if (direction != dbParamInput && direction != dbParamInputOutput) continue;
        const std::string& line = query_def_parameters_.Strings(k);
        parameter->SetValue(line == "NULL" ? Variant::Null() : Variant(line));
        ++k;
      }
    } catch (const std::exception&) {
      throw EDatabaseError(
          "TUxDaoTable.OpenDaoRecordset: Invalid number of QueryDef parameters or parameter is "
          "not in valid format!");
    }
  }

  const Variant type(table_type_);
  const Variant options(open_options_value_);
  const Variant lock(lock_type_);
  if (query_def) {
    query_def_sql_text_.Clear();
    query_def_sql_text_.SetText(database_->GetQueryDefSQL(query_def_name_));
    query_def->SetMaxRecords(query_def_odbc_max_records_);
    if (database_->QueryTimeout() != 60) query_def->SetODBCTimeout(database_->QueryTimeout());
    dao_recordset_ = query_def->OpenRecordset(type, options, lock);
  } else {
    query_def_sql_text_.Clear();
    dao_recordset_ = db->OpenRecordset(source, type, options, lock);
  }
  try {
    OpenNarrowing();
  } catch (...) {
    CloseDaoRecordset();
    if (base_recordset_) {
      Ignoring([&] { base_recordset_->Close(); });
      base_recordset_.reset();
    }
    throw;
  }
}

// Steps of the opening after the recordset exists: its properties, the per-field lists, sort,
// filter and master restriction, the field references and the bookkeeping.
void TUxDaoTable::OpenNarrowing() {
  FreeEngineCaches();
  if (!dao_recordset_->Updatable()) read_only_ = true;
  bookmarks_supported_ = dao_recordset_->Bookmarkable();
  ClearBookmarkMap();
  database_->RefreshNameLists();
  if (!index_name_.empty()) Ignoring([&] { dao_recordset_->SetIndex(index_name_); });

  const auto fields = dao_recordset_->Fields();
  const int c = fields->Count();
  field_writable_.assign(c, true);
  field_defaults_.Clear();
  for (int i = 0; i < c; ++i) field_defaults_.Add("");
  if (!read_only_ && use_dao_properties_) {
    field_writable_.clear();
    field_defaults_.Clear();
    for (int i = 0; i < c; ++i) {
      const auto field = fields->Item(i);
      const int32_t attributes = field->Attributes();
      field_writable_.push_back((attributes & dbUpdatableField) != 0 &&
                                (attributes & (dbAutoIncrField | dbSystemField)) == 0);
      std::string def;
      try {
        if (EngineType() == dbUseJet) def = field->DefaultValue();
        const int code = field->Type();
        if ((code == dbText || code == dbMemo) && def.size() > 1 && def.front() == '"' &&
            def.back() == '"') {
          def = def.substr(1, def.size() - 2);
        } else if (code == dbDate) {
          if (def.size() > 1 && def.front() == '#' && def.back() == '#')
            def = daotable::DefaultDateToStampText(def.substr(1, def.size() - 2));
          else
            def.clear();
        }
        if (framework::SameText(def, "Null")) def.clear();
      } catch (const std::exception&) {
        def.clear();
      }
      field_defaults_.Add(def);
    }
  }

  sort_text_.clear();
  if (sorted_by_.Count() > 0) {
    for (int i = 0; i < sorted_by_.Count(); ++i)
      sort_text_ += sorted_by_.Strings(i) + (i + 1 < sorted_by_.Count() ? ", " : " ");
    dao_recordset_->SetSort(sort_text_);
    const auto sorted = dao_recordset_->OpenRecordset(Variant(table_type_), Variant(open_options_value_));
    Ignoring([&] { dao_recordset_->Close(); });
    dao_recordset_ = sorted;
  }
  if (filtered_ && !filter_text_.empty()) {
    dao_recordset_->SetFilter(filter_text_);
    const auto narrowed = dao_recordset_->OpenRecordset(Variant(table_type_), Variant(open_options_value_));
    Ignoring([&] { dao_recordset_->Close(); });
    dao_recordset_ = narrowed;
  }

  RestrictToMaster();

  RefillDaoFields();
  ResetPositions();
  FreeEngineCaches();
}

void TUxDaoTable::RefillDaoFields() {
  const auto fields = dao_recordset_->Fields();
  const int c = fields->Count();
  dao_fields_.assign(c, nullptr);
  for (int i = 0; i < c; ++i) dao_fields_[i] = fields->Item(i);
}

void TUxDaoTable::ResetPositions() {
  CursorPosChanged();
  current_index_ = -1;
  forward_index_ = -1;
  known_count_ = -1;
  cached_count_ = -1;
  count_stale_ = true;
}

void TUxDaoTable::CloseDaoRecordset() {
  if (dao_recordset_) {
    Ignoring([&] {
      const int count = dao_recordset_->Fields()->Count();
      for (int i = 0; i < count && i < static_cast<int>(dao_fields_.size()); ++i)
        dao_fields_[i].reset();
    });
    Ignoring([&] { dao_recordset_->Close(); });
  }
  // Field objects of a closed recordset are of no further use, whatever the count said.
  for (auto& field : dao_fields_) field.reset();
  dao_recordset_.reset();
}

void TUxDaoTable::ReopenDaoRecordset() {
  CheckBrowseMode();
  ClearBuffers();
  CloseDaoRecordset();
  OpenDaoRecordset();
  ActivateBuffers();
  GoFirst();
}

void TUxDaoTable::ReopenForFilter() {
  CheckBrowseMode();
  ClearBuffers();
  CloseDaoRecordset();
  OpenDaoRecordset();
  ActivateBuffers();
  if (!(dao_recordset_->Bof() && dao_recordset_->Eof())) {
    GoFirst();
  } else {
    // An empty result: nothing to show, and no buffer stands for a record.
    ClearBuffers();
    DataEvent(dataset::deDataSetChange);
  }
}

// ---------------------------------------------------------------------------------------------
// CursorOpen and CursorClose

void TUxDaoTable::CursorOpen() {
  OpenDaoRecordset();
  try {
    if (Name().empty()) {
      std::random_device seed;
      std::mt19937 random(seed());
      const long long tick = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
      const long long number = std::llabs(static_cast<long long>(random() % 10000) + tick);
      SetName("UxDaoTable_" + std::to_string(number));
    }
    cursor_opening_ = true;
    try {
      BuildFieldDefs();
    } catch (...) {
      cursor_opening_ = false;
      throw;
    }
    cursor_opening_ = false;
    if (DefaultFields()) CreateFields();
    if (cache_lookups_)
      for (dataset::TField* field : Fields())
        if (field->FieldKind() == dataset::fkLookup) field->SetLookupCache(true);
    BindFields(true);
    def_fields_.assign(static_cast<size_t>(FieldDefs().Count()), nullptr);
    for (dataset::TField* field : Fields()) {
      const int no = field->FieldNo();
      if (no >= 1 && no <= FieldDefs().Count() && field->FieldKind() == dataset::fkData)
        def_fields_[no - 1] = field;
    }
    if (use_captions_) {
      for (int i = 0; i < FieldDefs().Count() && i < field_captions_.Count(); ++i) {
        dataset::TField* field = FindField(FieldDefs().Items(i).Name());
        if (field != nullptr) field->SetDisplayLabel(field_captions_.Strings(i));
      }
    }
    SetBookmarkSize(bookmarks_supported_ ? 4 : 0);
    value_count_ = FieldDefs().Count();
    ApplyFieldSettings();
    SettleEncrypter();

    FreeOldValues();
    for (TDaoRecordBuffer*& work : work_buffers_) {
      if (work == nullptr) work = Buf(NewRecordBuffer());
    }
    open_flag_ = true;
    if (table_type_ == dbOpenTable) Ignoring([&] { CountRecords(); });
    CursorToFirst();
    AddToOpenTables();
    FreeEngineCaches();
  } catch (...) {
    open_flag_ = false;
    CloseDaoRecordset();
    if (base_recordset_) {
      Ignoring([&] { base_recordset_->Close(); });
      base_recordset_.reset();
    }
    for (TDaoRecordBuffer*& work : work_buffers_) {
      dataset::TRecordBuffer b = work;
      DisposeRecordBuffer(b);
      work = nullptr;
    }
    throw;
  }
}

void TUxDaoTable::CursorClose() {
  if (!open_flag_) return;
  if (State() == dataset::stEdit && dao_recordset_) Ignoring([&] { dao_recordset_->CancelUpdate(); });
  open_flag_ = false;
  open_options_value_ = 0;
  sort_text_.clear();
  // The base unbinds the fields and destroys default fields once this returns.
  CloseDaoRecordset();
  if (base_recordset_) {
    Ignoring([&] { base_recordset_->Close(); });
    base_recordset_.reset();
  }
  RemoveFromOpenTables();
  def_fields_.clear();
  FreeOldValues();
  for (TDaoRecordBuffer*& work : work_buffers_) {
    dataset::TRecordBuffer b = work;
    DisposeRecordBuffer(b);
    work = nullptr;
  }
}

void TUxDaoTable::AddToOpenTables() {
  if (database_ == nullptr) return;
  database_->ActiveTables().Add(Name(), this);
  if (database_->TrackTransactions() && database_->TransactionLevel() > 0)
    database_->TrackTransactionTable(Name(), 1);
}

void TUxDaoTable::RemoveFromOpenTables() {
  if (database_ == nullptr) return;
  if (closed_by_database_) {
    closed_by_database_ = false;
    return;
  }
  database_->ActiveTables().Remove(this);
}

// ---------------------------------------------------------------------------------------------
// Field definitions

void TUxDaoTable::BuildFieldDefs() {
  FieldDefs().Clear();
  field_captions_.Clear();
  const bool opened_here = !cursor_opening_ && !open_flag_;
  if (opened_here) OpenDaoRecordset();
  try {
    const int count = dao_recordset_->Fields()->Count();
    for (int i = 0; i < count; ++i) {
      const std::shared_ptr<Field>& field = dao_fields_.at(i);
      int code = field->Type();
      const std::string name = field->Name();
      int size = DaoTypeSize(code, field->Size());
      if (code == dbDate) {
        const auto properties = field->Properties();
        if (HasDaoProperty(properties, "Format")) {
          const std::string format =
              framework::LowerCase(properties->Item("Format")->Value().ToString());
          if (format == "long time" || format == "medium time" || format == "short time")
            code = kTimeCode;
          else if (format == "general date")
            code = kDateTimeCode;
        } else {
          code = kDateTimeCode;
        }
      }
      if (code == dbText && size == 0) size = 255;
      if (code == dbLong && (field->Attributes() & dbAutoIncrField) != 0) code = kAutoIncCode;
      if (EngineType() == dbUseJet && i < field_defaults_.Count()) {
        bool drop = code == kAutoIncCode;
        if (!drop) {
          switch (code) {
            case dbInteger: case dbLong: case dbCurrency: case dbSingle: case dbDouble:
            case dbBigInt: case dbNumeric: case dbDecimal: case dbFloat:
              drop = framework::LowerCase(field->DefaultValue()).find("genuniqueid") != std::string::npos;
              break;
            case dbGUID:
              drop = framework::LowerCase(field->DefaultValue()).find("genguid") != std::string::npos;
              break;
            default:
              break;
          }
        }
        if (drop) field_defaults_.SetStrings(i, "");
      }
      const dataset::TFieldType type = DaoTypeToFieldType(code);
      const bool required = read_only_ ? false : (use_dao_properties_ ? field->Required() : false);
      dataset::TFieldDef& def = FieldDefs().Add(name, type, size, required);
      if (type == dataset::ftBlob && i < field_defaults_.Count()) field_defaults_.SetStrings(i, "");
      std::string caption = name;
      if (use_captions_) {
        const auto properties = field->Properties();
        if (HasDaoProperty(properties, "Caption"))
          caption = properties->Item("Caption")->Value().ToString();
      }
      field_captions_.Add(caption);
      if (code == dbGUID) def.SetPrecision(kGuidPrecisionMarker);
    }
    if (auto* defs = dynamic_cast<TUxDaoIndexDefs*>(&IndexDefs()))
      defs->ReadFromTable();
    else
      IndexDefs().Clear();
  } catch (...) {
    if (opened_here) CloseDaoRecordset();
    throw;
  }
  if (opened_here) CloseDaoRecordset();
}

void TUxDaoTable::ApplyFieldSettings() {
  const bool idle = master_idle_;
  master_idle_ = true;
  for (int i = 0; i < FieldDefs().Count(); ++i) {
    const dataset::TFieldDef& def = FieldDefs().Items(i);
    dataset::TField* field = FindField(def.Name());
    if (field == nullptr) continue;
    if (i < static_cast<int>(field_writable_.size()) && !field_writable_[i]) field->SetReadOnly(true);
    if (!field->DefaultExpression().empty() && i < field_defaults_.Count())
      field_defaults_.SetStrings(i, StripSingleQuotes(field->DefaultExpression()));
    switch (field->DataType()) {
      case dataset::ftDateTime:
        if (DefaultFields() && field->DisplayWidth() < 20) field->SetDisplayWidth(20);
        break;
      case dataset::ftMemo:
        if (cache_memos_) {
          if (DefaultFields() && field->DisplayWidth() < 30) field->SetDisplayWidth(30);
          field->OnGetText = [this](dataset::TField& f, std::string& text, bool) {
            MemoDisplayText(f, text);
          };
        }
        break;
      case dataset::ftFloat:
        if (auto* f = dynamic_cast<dataset::TFloatField*>(field)) f->SetPrecision(7);
        break;
      case dataset::ftBytes:
        if (def.Precision() == kGuidPrecisionMarker) {
          field->SetValidChars(dataset::CharSetOf(kGuidChars));
          if (show_guid_) {
            if (DefaultFields() && field->DisplayWidth() < 38) field->SetDisplayWidth(38);
            field->OnGetText = [this](dataset::TField& f, std::string& text, bool) {
              GuidDisplayText(f, text);
            };
            field->OnSetText = [this](dataset::TField& f, const std::string& text) {
              GuidTextInput(f, text);
            };
          }
        }
        break;
      default:
        break;
    }
  }
  master_idle_ = idle;
}

// ---------------------------------------------------------------------------------------------
// Encrypter

void TUxDaoTable::SettleEncrypter() {
  encrypter_ready_ = false;
  encoded_property_ = nullptr;
  decoded_property_ = nullptr;
  if (encrypter_ == nullptr) return;
  const std::string cls = encrypter_->ClassName();
  const framework::TPropertyInfo* encoded = framework::FindStoredProperty(cls, "EncodedString");
  if (encoded == nullptr || !encoded->set || !encoded->get) return;
  const framework::TPropertyInfo* decoded = framework::FindStoredProperty(cls, "DecodedString");
  if (decoded == nullptr || !decoded->set || !decoded->get) return;
  encoded_property_ = encoded;
  decoded_property_ = decoded;
  encrypter_ready_ = true;
}

std::string TUxDaoTable::EncryptText(const std::string& text) {
  if (!encrypter_ready_ || encrypter_ == nullptr) return text;
  decoded_property_->set(*encrypter_, framework::TFormValue::String(text));
  return encoded_property_->get(*encrypter_).AsString();
}

std::string TUxDaoTable::DecryptText(const std::string& text) {
  if (!encrypter_ready_ || encrypter_ == nullptr) return text;
  encoded_property_->set(*encrypter_, framework::TFormValue::String(text));
  return decoded_property_->get(*encrypter_).AsString();
}

}  // namespace dao
