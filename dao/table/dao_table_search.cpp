// TUxDaoTable: searching — Locate (Seek on an index for table-type recordsets, FindFirst on a
// clone otherwise, a walk of the recordset when it has no bookmarks), the four find operations
// on a clone, the dataset's find hook, and Lookup through a second recordset opened with a
// temporary Filter.
//
// Every search that can runs on a clone, so the dataset's own cursor, buffers and state change
// only when a record was found; a found record is reached through its bookmark, which clones
// share with their original.
#include <cstdlib>

#include "dao/dao_constants.h"
#include "dao/table/dao_table.h"
#include "dao/table/ignoring.h"
#include "dao/table/key_conditions.h"
#include "dao/table/sql_text.h"
#include "dataset/index_defs.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/strings.h"

namespace dao {

using daotable::Ignoring;
using framework::EDatabaseError;
using framework::Variant;

namespace {

const char kCountMismatch[] =
    "Number of elements in the KeyValues array must be equal to the number of fields.";
// Seek takes at most this many key values; DAO indexes have fewer fields.
constexpr int kSeekSlots = 13;

int IndexOfName(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (framework::SameText(names[i], name)) return static_cast<int>(i);
  return -1;
}

bool CoversAll(const std::vector<std::string>& index_fields, const std::vector<std::string>& keys) {
  for (const std::string& key : keys)
    if (IndexOfName(index_fields, key) < 0) return false;
  return true;
}

bool IsStringType(dataset::TFieldType type) {
  return type == dataset::ftString || type == dataset::ftMemo || type == dataset::ftBlob;
}

bool IsDateType(dataset::TFieldType type) {
  return type == dataset::ftDate || type == dataset::ftTime || type == dataset::ftDateTime;
}

// Whether a record's value satisfies a key text as the engine compared it in Seek: texts without
// regard to case (a prefix with `partial`), numbers by value, dates by their literal. Used to
// check the record that a ">=" Seek stopped at, which may lie past every matching record.
bool SeekValueMatches(const Variant& value, const std::string& key, dataset::TFieldType type,
                      bool partial) {
  try {
    if (key == "NULL") return value.IsClear();
    if (value.IsClear()) return key.empty() && !IsStringType(type);
    if (IsStringType(type)) {
      const std::string v = framework::LowerCase(value.ToString());
      const std::string k = framework::LowerCase(key);
      return partial ? v.compare(0, k.size(), k) == 0 : v == k;
    }
    if (IsDateType(type)) {
      const framework::FormatSettings& fs = framework::DefaultFormatSettings();
      const framework::TDateTime wanted =
          framework::StrToDateTime(daotable::NormalizeDateText(key, fs), fs);
      return daotable::JetDateLiteral(value.ToDate(), type) == daotable::JetDateLiteral(wanted, type);
    }
    if (value.IsNumeric() || value.Type() == framework::VarType::Boolean) {
      const std::string number = daotable::InvariantNumberText(key);
      if (daotable::IsJetNumber(number)) return value.ToDouble() == std::strtod(number.c_str(), nullptr);
    }
    if (value.Type() == framework::VarType::Bytes) {
      const std::string guid = daotable::NormalizeGuidText(key);
      if (!guid.empty()) return daotable::GuidRegistryText(value.ToBytes()) == guid;
    }
    return value.ToString() == key;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Moving to a found record

bool TUxDaoTable::MoveToClonedRecord(const std::shared_ptr<Recordset>& clone, bool by_position,
                                     dataset::TResyncOptions resync) {
  const int32_t bookmark = RecordsetBookmark(clone);
  if (bookmark == 0) {
    // The bookmark could not be read: nothing was moved to, but the cursor may have been reset.
    CursorPosChanged();
    return false;
  }
  CheckBrowseMode();
  CursorPosChanged();
  if (BeforeScroll) BeforeScroll(*this);
  const int32_t number =
      by_position ? clone->AbsolutePosition() : RecordNumberOfBookmark(clone, bookmark);
  GotoDaoBookmark(bookmark);
  current_index_ = number;
  ResyncBuffers(resync);
  if (AfterScroll) AfterScroll(*this);
  return true;
}

int32_t TUxDaoTable::RecordNumberOfBookmark(const std::shared_ptr<Recordset>& recordset,
                                            int32_t bookmark) {
  return IndexOfBookmark(recordset, bookmark);
}

// ---------------------------------------------------------------------------------------------
// Locate

std::string TUxDaoTable::IndexForFields(const std::string& fields) {
  dataset::TIndexDefs& defs = IndexDefs();
  if (defs.Count() == 0 || table_type_ != dbOpenTable || fields.empty()) return "";
  std::string text = fields;
  const bool exact = text[0] == '!';
  if (exact) text.erase(0, 1);
  const std::vector<std::string> keys = daotable::SplitFieldList(text);
  for (int i = 0; i < defs.Count(); ++i) {
    const dataset::TIndexDef& def = defs.Items(i);
    // This library keeps an index's descending fields apart from its ascending ones; both are
    // fields of the index.
    std::vector<std::string> index_fields = daotable::SplitFieldList(def.Fields());
    for (const std::string& name : daotable::SplitFieldList(def.DescFields()))
      index_fields.push_back(name);
    if (exact) {
      if (index_fields.size() == keys.size() && CoversAll(index_fields, keys)) return def.Name();
    } else if (index_fields.size() >= keys.size() && CoversAll(index_fields, keys) &&
               IndexOfName(keys, index_fields[0]) >= 0) {
      // A Seek gives its first key to the index's first field: an index led by another field
      // cannot find the key.
      return def.Name();
    }
  }
  return "";
}

bool TUxDaoTable::Locate(const std::string& key_fields, const Variant& key_values,
                         dataset::TLocateOptions options) {
  if (IsEmpty() || FilterActive() || database_ == nullptr || !database_->Connected() ||
      !dao_recordset_)
    return false;
  const std::vector<std::string> names = daotable::SplitFieldList(key_fields);
  std::vector<std::string> values = daotable::SplitKeyValues(key_values);
  if (names.size() != values.size()) throw EDatabaseError(kCountMismatch);
  const bool by_position =
      table_type_ == dbOpenDynaset || table_type_ == dbOpenSnapshot || table_type_ == dbOpenDynamic;
  CursorToRecord(StateBuffer());
  const int32_t p0 = current_index_;
  if (!bookmarks_supported_) return ScanForLocate(names, values, options, p0);

  std::string index_name;
  if (auto_find_index_) {
    index_name = IndexForFields("!" + key_fields);
    if (index_name.empty()) index_name = IndexForFields(key_fields);
    if (index_name.empty()) index_name = index_name_;
  } else {
    index_name = index_name_;
    if (index_name.empty()) index_name = IndexForFields("!" + key_fields);
    if (index_name.empty()) index_name = IndexForFields(key_fields);
  }
  if (table_type_ == dbOpenTable) {
    if (index_name.empty())
      throw EDatabaseError(
          "Index Property is Empty!\r\nYou must set an index before using Locate with StandardTables");
    // A Seek gives its first key to the index's first field; an index led by a field that is no
    // key field cannot find the record, so the table is walked instead.
    const auto index_fields =
        database_->CoreDatabase()->TableDefs()->Item(table_name_)->Indexes()->Item(index_name)->Fields();
    if (index_fields->Count() == 0 || IndexOfName(names, index_fields->Item(0)->Name()) < 0)
      return ScanForLocate(names, values, options, p0);
    return SeekForLocate(names, values, index_name, options, by_position);
  }

  const std::string condition =
      daotable::BuildSearchKeySQL(names, values, options, *this, use_brackets_);
  const std::shared_ptr<Recordset> clone = dao_recordset_->Clone();
  clone->MoveFirst();
  clone->FindFirst(condition);
  const bool found = !clone->NoMatch() && MoveToClonedRecord(clone, by_position, 0);
  Ignoring([&] { clone->Close(); });
  return found;
}

bool TUxDaoTable::SeekForLocate(const std::vector<std::string>& names,
                                const std::vector<std::string>& values,
                                const std::string& index_name, dataset::TLocateOptions options,
                                bool by_position) {
  const auto index_fields =
      database_->CoreDatabase()->TableDefs()->Item(table_name_)->Indexes()->Item(index_name)->Fields();
  const int n = index_fields->Count();
  std::vector<Variant> slots(kSeekSlots, Variant::Null());
  int last = 0;
  for (int i = 0; i < n && i < kSeekSlots; ++i) {
    const int k = IndexOfName(names, index_fields->Item(i)->Name());
    if (k < 0) continue;
    slots[i] = Variant(values[k]);
    last = i + 1;
  }
  const int count = std::min(last > 0 ? last : n, kSeekSlots);
  const bool partial = (options & dataset::loPartialKey) != 0;
  const bool exact = static_cast<int>(names.size()) == n && !partial;
  const std::shared_ptr<Recordset> clone = dao_recordset_->Clone();
  clone->SetIndex(index_name);
  clone->MoveFirst();
  clone->Seek(exact ? "=" : ">=", std::vector<Variant>(slots.begin(), slots.begin() + count));
  bool found = !clone->NoMatch();
  if (found && !exact) {
    // ">=" stops at the first record at or after the key, which need not match it.
    const auto fields = clone->Fields();
    for (size_t k = 0; k < names.size() && found; ++k)
      found = SeekValueMatches(fields->Item(names[k])->Value(), values[k],
                               FieldNamed(names[k]).DataType(), partial);
  }
  if (!found) {
    Ignoring([&] { clone->Close(); });
    return false;
  }
  // The record number counts in the dataset's order: a clone in that order is put on the found
  // record by its bookmark, which names the record whatever index a recordset walks.
  std::shared_ptr<Recordset> target = clone;
  if (!framework::SameText(dao_recordset_->Index(), clone->Index())) {
    target = dao_recordset_->Clone();
    if (!dao_recordset_->Index().empty()) target->SetIndex(dao_recordset_->Index());
    target->SetBookmark(clone->Bookmark());
  }
  found = found && MoveToClonedRecord(target, by_position, 0);
  Ignoring([&] { clone->Close(); });
  if (target != clone) Ignoring([&] { target->Close(); });
  return found;
}

bool TUxDaoTable::ScanForLocate(const std::vector<std::string>& names,
                                const std::vector<std::string>& values,
                                dataset::TLocateOptions options, int32_t p0) {
  const bool insensitive = (options & dataset::loCaseInsensitive) != 0;
  const bool partial = (options & dataset::loPartialKey) != 0;
  std::vector<int> ordinals;
  std::vector<std::string> keys;
  std::vector<bool> null_keys;
  for (size_t k = 0; k < names.size(); ++k) {
    ordinals.push_back(FieldNamed(names[k]).FieldNo() - 1);
    std::string key = values[k];
    null_keys.push_back(key == "NULL");
    if (insensitive) key = framework::LowerCase(key);
    if (partial) {
      if (!key.empty() && key.back() == '*') key.pop_back();
      if (!key.empty() && key.front() == '*') key.erase(0, 1);
    }
    keys.push_back(std::move(key));
  }
  CheckBrowseMode();
  CursorPosChanged();
  if (BeforeScroll) BeforeScroll(*this);
  const auto fields = dao_recordset_->Fields();
  bool found = false;
  dao_recordset_->MoveFirst();
  for (int32_t n = 0; !dao_recordset_->Eof(); ++n) {
    bool match = true;
    for (size_t k = 0; k < keys.size() && match; ++k) {
      const Variant value = fields->Item(ordinals[k])->Value();
      // The key text "NULL" stands for a null field, as in the search conditions.
      if (null_keys[k]) {
        match = value.IsClear();
        continue;
      }
      std::string text = value.ToString();
      if (insensitive) text = framework::LowerCase(text);
      match = partial ? text.find(keys[k]) != std::string::npos : text == keys[k];
    }
    if (match) {
      current_index_ = n;
      found = true;
      ResyncBuffers(0);
      break;
    }
    dao_recordset_->MoveNext();
  }
  if (!found) {
    dao_recordset_->MoveFirst();
    dao_recordset_->Move(p0);
    ResyncBuffers(dataset::rsExact | dataset::rsCenter);
  }
  if (AfterScroll) AfterScroll(*this);
  return found;
}

// ---------------------------------------------------------------------------------------------
// The find operations

bool TUxDaoTable::FindMatch(const std::string& key_fields, const Variant& key_values,
                            int direction, dataset::TLocateOptions options) {
  if (IsEmpty() || FilterActive() || !dao_recordset_) return false;
  const std::vector<std::string> names = daotable::SplitFieldList(key_fields);
  std::vector<std::string> values = daotable::SplitKeyValues(key_values);
  if (names.size() != values.size()) throw EDatabaseError(kCountMismatch);
  for (const std::string& name : names) FieldNamed(name);
  const bool by_position =
      table_type_ == dbOpenDynaset || table_type_ == dbOpenSnapshot || table_type_ == dbOpenDynamic;
  CursorToRecord(StateBuffer());
  const int32_t p0 = current_index_;
  if (!bookmarks_supported_) return false;
  const std::string condition =
      daotable::BuildSearchKeySQL(names, values, options, *this, use_brackets_);
  const std::shared_ptr<Recordset> clone = dao_recordset_->Clone();
  // The clone starts on the dataset's record. Its bookmark says which that is even where the
  // counted position is out of date (after an insert the new record sits at the keyset's end).
  if (!dao_recordset_->Bof() && !dao_recordset_->Eof()) {
    clone->SetBookmark(dao_recordset_->Bookmark());
  } else {
    clone->MoveFirst();
    clone->Move(p0);
  }
  switch (direction) {
    case 1: clone->FindFirst(condition); break;
    case 2: clone->FindLast(condition); break;
    case 3: clone->FindNext(condition); break;
    default: clone->FindPrevious(condition); break;
  }
  const bool found = !clone->NoMatch() &&
                     MoveToClonedRecord(clone, by_position, dataset::rsExact | dataset::rsCenter);
  Ignoring([&] { clone->Close(); });
  return found;
}

bool TUxDaoTable::FindFirstMatch(const std::string& key_fields, const Variant& key_values,
                                 dataset::TLocateOptions options) {
  return FindMatch(key_fields, key_values, 1, options);
}

bool TUxDaoTable::FindLastMatch(const std::string& key_fields, const Variant& key_values,
                                dataset::TLocateOptions options) {
  return FindMatch(key_fields, key_values, 2, options);
}

bool TUxDaoTable::FindNextMatch(const std::string& key_fields, const Variant& key_values,
                                dataset::TLocateOptions options) {
  return FindMatch(key_fields, key_values, 3, options);
}

bool TUxDaoTable::FindPriorMatch(const std::string& key_fields, const Variant& key_values,
                                 dataset::TLocateOptions options) {
  return FindMatch(key_fields, key_values, 4, options);
}

void TUxDaoTable::SetFindKey(const std::string& key_fields, const Variant& key_values,
                             dataset::TLocateOptions options) {
  find_key_fields_ = key_fields;
  find_key_values_ = key_values;
  find_options_ = options;
}

bool TUxDaoTable::FindRecordByKey(bool restart, bool go_forward) {
  if (find_key_fields_.empty() || find_key_values_.IsClear()) return false;
  if (restart)
    return go_forward ? FindFirstMatch(find_key_fields_, find_key_values_, find_options_)
                      : FindLastMatch(find_key_fields_, find_key_values_, find_options_);
  return go_forward ? FindNextMatch(find_key_fields_, find_key_values_, find_options_)
                    : FindPriorMatch(find_key_fields_, find_key_values_, find_options_);
}

// ---------------------------------------------------------------------------------------------
// Lookup

Variant TUxDaoTable::Lookup(const std::string& key_fields, const Variant& key_values,
                            const std::string& result_fields) {
  Variant result(false);
  if (IsEmpty() || !dao_recordset_) return result;
  const std::vector<std::string> names = daotable::SplitFieldList(key_fields);
  std::vector<std::string> values = daotable::SplitKeyValues(key_values);
  const std::vector<std::string> results = daotable::SplitFieldList(result_fields);
  if (names.size() != values.size()) throw EDatabaseError(kCountMismatch);
  if (results.empty() || result_fields.empty()) throw EDatabaseError("ResultFields are not defined");
  std::vector<int> ordinals;
  bool calculated = false;
  for (const std::string& name : results) {
    const dataset::TField* field = FindField(name);
    if (field == nullptr) throw EDatabaseError("Invalid field name: " + name);
    ordinals.push_back(field->FieldNo() - 1);
    if (field->FieldKind() != dataset::fkData) calculated = true;
  }
  const std::string condition = daotable::BuildKeySQL(names, values, *this, use_brackets_);

  const std::shared_ptr<Recordset> source = dao_recordset_;
  const std::string saved_filter = source->Filter();
  source->SetFilter(condition);
  try {
    if (database_ != nullptr && database_->CoreEngine()) {
      database_->CoreEngine()->Idle(Variant(dbFreeLocks));
      database_->CoreEngine()->Idle(Variant(dbRefreshCache));
    }
    const std::shared_ptr<Recordset> found = source->OpenRecordset(Variant(dbOpenSnapshot), Variant(2));
    try {
      if (!(found->Bof() && found->Eof())) {
        found->MoveFirst();
        std::vector<Variant> items;
        if (!calculated) {
          const auto fields = found->Fields();
          for (int ordinal : ordinals) items.push_back(fields->Item(ordinal)->Value());
        } else {
          // Calculated results need the whole record: it is loaded into the calculation buffer
          // and its calculated fields computed there, outside the ring.
          TDaoRecordBuffer* buffer = Buf(CalcBuffer());
          LoadRecord(found, false, buffer);
          const dataset::DataSetState old = SetTempState(dataset::stCalcFields);
          try {
            CalculateFields(buffer);
            for (const std::string& name : results) items.push_back(FieldNamed(name).Value());
          } catch (...) {
            RestoreState(old);
            throw;
          }
          RestoreState(old);
        }
        result = items.size() == 1 ? items[0] : Variant::Array(std::move(items));
      }
    } catch (...) {
      Ignoring([&] { found->Close(); });
      throw;
    }
    Ignoring([&] { found->Close(); });
  } catch (...) {
    // The filter is put back on every path: a later Lookup or reopen must not inherit it.
    Ignoring([&] { source->SetFilter(saved_filter); });
    throw;
  }
  source->SetFilter(saved_filter);
  return result;
}

}  // namespace dao
