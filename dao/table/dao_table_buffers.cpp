// TUxDaoTable: record buffers, the buffer of each dataset state, loading a record from DAO into
// a buffer, and the conversions between a buffer's value texts and the fields' native values.
#include <cmath>
#include <cstring>

#include "dao/dao_constants.h"
#include "dao/table/blob_values.h"
#include "dao/table/dao_table.h"
#include "dao/table/key_conditions.h"
#include "dao/table/sql_text.h"
#include "dataset/field_defs.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/strings.h"
#include "framework/text_encoding.h"

namespace dao {

using framework::Variant;

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The 16 bytes of a GUID text in registry form (braced or bare); false when it is none. The
// first three groups are stored little-endian, as the registry form is read on Windows.
bool GuidTextToBytes(const std::string& text, uint8_t out[16]) {
  const std::string normal = daotable::NormalizeGuidText(text);
  if (normal.size() != 38) return false;
  std::string hex;
  for (char c : normal)
    if (HexValue(c) >= 0) hex += c;
  if (hex.size() != 32) return false;
  uint8_t raw[16];
  for (int i = 0; i < 16; ++i) raw[i] = static_cast<uint8_t>(HexValue(hex[2 * i]) * 16 + HexValue(hex[2 * i + 1]));
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) out[i] = raw[order[i]];
  return true;
}

[[noreturn]] void GuidError(const std::string& text) {
  throw framework::EConvertError("'" + text + "' is not a valid GUID value");
}

// The GUID of a GUID column's value text: "{guid {...}}" or a bare registry form.
std::string GuidPartOf(const std::string& text) {
  std::string rest = text;
  if (rest.compare(0, 6, "{guid ") == 0) {
    rest.erase(0, 6);
    if (rest.size() >= 2 && rest.compare(rest.size() - 2, 2, "}}") == 0) rest.erase(rest.size() - 2, 1);
  }
  return rest;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Buffers

dataset::TRecordBuffer TUxDaoTable::NewRecordBuffer() {
  auto* buffer = new TDaoRecordBuffer;
  buffer->Values = std::make_unique<TValueList>(static_cast<size_t>(open_flag_ || cursor_opening_ || value_count_ > 0
                                                                        ? value_count_
                                                                        : FieldDefs().Count()));
  buffer->CalcArea.assign(static_cast<size_t>(CalcFieldsSize()), 0);
  return buffer;
}

void TUxDaoTable::DisposeRecordBuffer(dataset::TRecordBuffer& buffer) {
  if (buffer == nullptr) return;
  TDaoRecordBuffer* b = Buf(buffer);
  if (b == old_values_buffer_) old_values_buffer_ = nullptr;
  if (b == filter_buffer_) filter_buffer_ = nullptr;
  b->Values.reset();
  delete b;
  buffer = nullptr;
}

uint16_t TUxDaoTable::RecordBufferSize() { return static_cast<uint16_t>(16 + CalcFieldsSize()); }

void TUxDaoTable::ClearCalcArea(dataset::TRecordBuffer buffer) {
  if (buffer == nullptr) return;
  std::vector<uint8_t>& area = Buf(buffer)->CalcArea;
  area.assign(static_cast<size_t>(CalcFieldsSize()), 0);
}

dataset::TBookmarkFlag TUxDaoTable::BookmarkFlagOf(dataset::TRecordBuffer buffer) {
  return Buf(buffer)->Flag;
}

void TUxDaoTable::SetBookmarkFlagOf(dataset::TRecordBuffer buffer, dataset::TBookmarkFlag flag) {
  Buf(buffer)->Flag = flag;
}

void TUxDaoTable::SetBookmarkOfBuffer(dataset::TRecordBuffer buffer, const void* data) {
  if (buffer == nullptr || data == nullptr) return;
  std::memcpy(&Buf(buffer)->Bookmark, data, 4);
}

void TUxDaoTable::BookmarkOfBuffer(dataset::TRecordBuffer buffer, void* out) {
  if (bookmarks_supported_ && buffer != nullptr && out != nullptr) {
    const TDaoRecordBuffer* b = Buf(buffer);
    std::memcpy(out, &b->Bookmark, 4);
    RememberBookmark(b->RecordIndex, b->Bookmark);
  } else if (out != nullptr) {
    std::memset(out, 0, 4);
  }
}

void TUxDaoTable::RememberBookmark(int32_t index, int32_t bookmark) {
  const auto old = bookmark_of_index_.find(index);
  if (old != bookmark_of_index_.end()) {
    const auto back = index_of_bookmark_.find(old->second);
    if (back != index_of_bookmark_.end() && back->second == index) index_of_bookmark_.erase(back);
  }
  bookmark_of_index_[index] = bookmark;
  index_of_bookmark_[bookmark] = index;
}

void TUxDaoTable::ClearBookmarkMap() {
  bookmark_of_index_.clear();
  index_of_bookmark_.clear();
}

void TUxDaoTable::CopyBuffer(const TDaoRecordBuffer& from, TDaoRecordBuffer& to) {
  to.Bookmark = from.Bookmark;
  to.Flag = from.Flag;
  to.RecordIndex = from.RecordIndex;
  *to.Values = *from.Values;
}

void TUxDaoTable::FreeOldValues() {
  if (old_values_buffer_ == nullptr) return;
  dataset::TRecordBuffer b = old_values_buffer_;
  DisposeRecordBuffer(b);
  old_values_buffer_ = nullptr;
}

void TUxDaoTable::ReplaceOldValues() {
  FreeOldValues();
  old_values_buffer_ = Buf(NewRecordBuffer());
  if (TDaoRecordBuffer* current = StateBuffer()) CopyBuffer(*current, *old_values_buffer_);
}

void TUxDaoTable::InitRecordBuffer(dataset::TRecordBuffer buffer) {
  ReplaceOldValues();
  TDaoRecordBuffer* b = Buf(buffer);
  b->Values->resize(static_cast<size_t>(value_count_));
  for (int i = 0; i < value_count_; ++i) {
    TFieldValue& value = (*b->Values)[i];
    value.Modified = false;
    dataset::TField* field = i < static_cast<int>(def_fields_.size()) ? def_fields_[i] : nullptr;
    if (field != nullptr && !field->DefaultExpression().empty() && i < field_defaults_.Count()) {
      field_defaults_.SetStrings(i, StripSingleQuotes(field->DefaultExpression()));
      value.Modified = true;
    }
    value.Text = i < field_defaults_.Count() ? field_defaults_.Strings(i) : std::string();
  }
  b->Flag = dataset::bmfInserted;
  b->Bookmark = 0;
  b->RecordIndex = -1;
}

bool TUxDaoTable::CopyActiveRecord(dataset::TRecordBuffer dest) {
  if (!open_flag_ || IsEmpty() || dest == nullptr) return false;
  TDaoRecordBuffer* source = StateBuffer();
  if (source == nullptr) return false;
  // The copy gets its own values: a shared list would be freed twice.
  TDaoRecordBuffer* d = Buf(dest);
  if (!d->Values) d->Values = std::make_unique<TValueList>();
  CopyBuffer(*source, *d);
  d->CalcArea = source->CalcArea;
  return true;
}

TDaoRecordBuffer* TUxDaoTable::StateBuffer() {
  using namespace dataset;
  switch (State()) {
    case stBrowse:
    case stBlockRead:
      return IsEmpty() ? nullptr : Buf(ActiveBuffer());
    case stEdit:
    case stInsert:
    case stNewValue:
    case stCurValue:
      return Buf(ActiveBuffer());
    case stCalcFields:
      return Buf(CalcBuffer());
    case stFilter:
      return filter_buffer_;
    case stOldValue:
      return old_values_buffer_ != nullptr ? old_values_buffer_ : Buf(ActiveBuffer());
    default:
      return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Loading a record

std::string TUxDaoTable::DayToText(int32_t day) { return std::to_string(day) + " 0"; }

std::string TUxDaoTable::MillisecondsToText(int32_t milliseconds) {
  return std::to_string(framework::kDateDelta) + " " + std::to_string(milliseconds);
}

std::string TUxDaoTable::DateTimeToText(double value) {
  const framework::TTimeStamp stamp = framework::DateTimeToTimeStamp(value);
  return std::to_string(stamp.Date) + " " + std::to_string(stamp.Time);
}

bool TUxDaoTable::LoadRecord(const std::shared_ptr<Recordset>& recordset, bool use_field_objects,
                             TDaoRecordBuffer* buffer) {
  FreeEngineCaches();
  buffer->Bookmark = bookmarks_supported_ ? RecordsetBookmark(recordset) : 0;
  buffer->RecordIndex = current_index_;
  buffer->Flag = dataset::bmfCurrent;
  if (static_cast<int>(buffer->Values->size()) < value_count_) buffer->Values->resize(value_count_);
  std::shared_ptr<dao::Fields> fields;
  for (int i = 0; i < value_count_ && i < static_cast<int>(def_fields_.size()); ++i) {
    dataset::TField* field = def_fields_[i];
    if (field == nullptr) continue;
    const dataset::TFieldType type = field->DataType();
    bool cached = true;
    if (field->IsBlob())
      cached = (type == dataset::ftMemo && cache_memos_) || (type == dataset::ftBlob && cache_blobs_);
    std::shared_ptr<Field> item;  // holds a field taken from the recordset's collection
    Field* dao_field = nullptr;
    Variant v = Variant::Null();
    try {
      if (use_field_objects && i < static_cast<int>(dao_fields_.size()) && dao_fields_[i]) {
        dao_field = dao_fields_[i].get();
      } else {
        if (!fields) fields = recordset->Fields();
        item = fields->Item(i);
        dao_field = item.get();
      }
      if (cached) v = dao_field->Value();
    } catch (const std::exception& error) {
      v = Variant::Null();
      if (DaoErrorNumber(error) == err::kRecordDeleted) return false;
    }
    std::string text;
    if (!cached) {
      int32_t size = 0;
      try {
        size = dao_field ? dao_field->FieldSize() : 0;
      } catch (const std::exception& error) {
        if (DaoErrorNumber(error) == err::kRecordDeleted) return false;
      }
      if (size != 0) text = std::to_string(size);
    } else if (v.IsClear()) {
      text.clear();
    } else if (type == dataset::ftBlob) {
      int32_t size = 0;
      try {
        size = dao_field->FieldSize();
      } catch (const std::exception&) {
      }
      text = daotable::BlobValueToText(v, size, type);
    } else if (v.Type() == framework::VarType::Bytes) {
      const std::vector<uint8_t> bytes = v.ToBytes();
      text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } else if (type == dataset::ftDate || type == dataset::ftTime || type == dataset::ftDateTime) {
      try {
        text = DateTimeToText(v.ToDate());
      } catch (const std::exception&) {
        text.clear();
      }
    } else if (type == dataset::ftBoolean) {
      text = v.ToBool() ? "True" : "False";
    } else {
      text = std::move(v).ToString();
    }
    if (encrypter_ready_ && cached && (type == dataset::ftString || field->IsBlob()))
      text = DecryptText(text);
    TFieldValue& entry = (*buffer->Values)[i];
    entry.Text = std::move(text);
    entry.Modified = false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Field values

bool TUxDaoTable::ReadFieldValue(dataset::TField& field, void* dest) {
  TDaoRecordBuffer* buffer = StateBuffer();
  if (buffer == nullptr || !open_flag_) return false;
  if (field.FieldKind() == dataset::fkCalculated || field.FieldKind() == dataset::fkLookup) {
    const int offset = field.Offset();
    if (offset < 0 || offset + 1 + field.DataSize() > static_cast<int>(buffer->CalcArea.size()))
      return false;
    if (buffer->CalcArea[offset] == 0) return false;
    if (dest != nullptr) std::memcpy(dest, &buffer->CalcArea[offset + 1], field.DataSize());
    return true;
  }
  const int index = field.FieldNo() - 1;
  if (index < 0 || index >= static_cast<int>(buffer->Values->size())) return false;
  const std::string& text = (*buffer->Values)[index].Text;
  if (dest == nullptr) return !text.empty();
  using namespace dataset;
  const bool guid = daotable::IsGuidField(field);
  switch (field.DataType()) {
    case ftString:
    case ftBytes: {
      if (field.DataType() == ftBytes && guid) {
        if (text.empty()) return false;
        const std::string part = framework::UpperCase(GuidPartOf(text));
        uint8_t bytes[16];
        if (!GuidTextToBytes(part, bytes)) GuidError(part);
        std::memset(dest, 0, static_cast<size_t>(field.DataSize()));
        std::memcpy(dest, bytes, std::min(16, field.DataSize()));
        return true;
      }
      // The destination holds DataSize() bytes; a longer text is cut to leave room for the zero.
      const size_t room = static_cast<size_t>(std::max(field.DataSize(), 1));
      const size_t n = std::min(text.size(), room - 1);
      std::memset(dest, 0, room);
      std::memcpy(dest, text.data(), n);
      return !text.empty();
    }
    case ftSmallint:
    case ftInteger:
    case ftAutoInc: {
      const std::string t = text.empty() ? "0" : text;
      int32_t value;
      double number;
      if (framework::TryStrToInt(t, value)) {
        std::memcpy(dest, &value, 4);
      } else if (framework::TryStrToFloat(t, number) && std::isfinite(number) &&
                 std::nearbyint(number) >= -2147483648.0 && std::nearbyint(number) <= 2147483647.0) {
        value = static_cast<int32_t>(std::nearbyint(number));
        std::memcpy(dest, &value, 4);
      }
      return !text.empty();
    }
    case ftBoolean: {
      if (text.empty()) return false;
      std::string t = text;
      if (!t.empty() && t.front() == '=') t.erase(0, 1);
      const std::string lower = framework::LowerCase(t);
      int16_t value;
      int32_t parsed;
      if (lower.empty() || lower == "false" || lower == "no" || lower == "off") {
        value = 0;
      } else if (lower == "true" || lower == "yes" || lower == "on" || lower == "-1") {
        value = 1;
      } else if (framework::TryStrToInt(t, parsed)) {
        value = static_cast<int16_t>(parsed);
      } else {
        return true;
      }
      std::memcpy(dest, &value, 2);
      return true;
    }
    case ftFloat:
    case ftCurrency: {
      double number;
      if (framework::TryStrToFloat(text.empty() ? "0" : text, number)) std::memcpy(dest, &number, 8);
      return !text.empty();
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
      const size_t space = text.find(' ');
      if (space == std::string::npos) return false;
      int32_t day;
      int32_t ms;
      if (!framework::TryStrToInt(text.substr(0, space), day) ||
          !framework::TryStrToInt(text.substr(space + 1), ms))
        return false;
      if (field.DataType() == ftDate) {
        std::memcpy(dest, &day, 4);
      } else if (field.DataType() == ftTime) {
        std::memcpy(dest, &ms, 4);
      } else {
        const double value = static_cast<double>(day) * framework::kMillisecondsPerDay + ms;
        std::memcpy(dest, &value, 8);
      }
      return true;
    }
    default:
      return false;
  }
}

void TUxDaoTable::WriteFieldValue(dataset::TField& field, const void* data) {
  using namespace dataset;
  TDaoRecordBuffer* buffer = StateBuffer();
  if (buffer == nullptr) return;
  if (field.FieldKind() == fkCalculated || field.FieldKind() == fkLookup) {
    const int offset = field.Offset();
    if (offset >= 0) {
      if (static_cast<int>(buffer->CalcArea.size()) < offset + 1 + field.DataSize())
        buffer->CalcArea.resize(static_cast<size_t>(offset + 1 + field.DataSize()), 0);
      buffer->CalcArea[offset] = data != nullptr ? 1 : 0;
      if (data != nullptr) std::memcpy(&buffer->CalcArea[offset + 1], data, field.DataSize());
    }
  } else {
    field.Validate(data);
    if (field.ReadOnly()) return;
    std::string text;
    if (data != nullptr) {
      switch (field.DataType()) {
        case ftString: {
          const char* chars = static_cast<const char*>(data);
          text.assign(chars, strnlen(chars, static_cast<size_t>(std::max(field.DataSize(), 1))));
          break;
        }
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc: {
          int32_t value;
          std::memcpy(&value, data, 4);
          text = std::to_string(value);
          break;
        }
        case ftBoolean: {
          int16_t value;
          std::memcpy(&value, data, 2);
          text = value == 0 ? "False" : "True";
          break;
        }
        case ftFloat:
        case ftCurrency:
        case ftBCD: {
          double value;
          std::memcpy(&value, data, 8);
          text = framework::FloatToStr(value);
          break;
        }
        case ftDate: {
          int32_t day;
          std::memcpy(&day, data, 4);
          text = DayToText(day);
          break;
        }
        case ftTime: {
          int32_t ms;
          std::memcpy(&ms, data, 4);
          text = MillisecondsToText(ms);
          break;
        }
        case ftDateTime: {
          double value;
          std::memcpy(&value, data, 8);
          const long long total = std::llround(value);
          long long day = total / framework::kMillisecondsPerDay;
          long long ms = total % framework::kMillisecondsPerDay;
          if (ms < 0) {
            ms += framework::kMillisecondsPerDay;
            --day;
          }
          text = std::to_string(day) + " " + std::to_string(ms);
          break;
        }
        case ftBytes: {
          const auto* bytes = static_cast<const uint8_t*>(data);
          if (daotable::IsGuidField(field)) {
            const std::string guid = daotable::GuidRegistryText(std::vector<uint8_t>(bytes, bytes + 16));
            if (!guid.empty()) text = "{guid " + guid + "}";
          } else {
            text.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(field.Size()));
          }
          break;
        }
        default:
          break;
      }
    }
    const int index = field.FieldNo() - 1;
    if (index >= 0 && index < static_cast<int>(buffer->Values->size())) {
      TFieldValue& entry = (*buffer->Values)[index];
      entry.Text = std::move(text);
      entry.Modified = true;
    }
  }
  const DataSetState state = State();
  if (state != stCalcFields && state != stFilter && state != stNewValue && state != stInternalCalc)
    DataEvent(deFieldChange, &field);
}

// ---------------------------------------------------------------------------------------------
// Display-text handlers

void TUxDaoTable::MemoDisplayText(dataset::TField& field, std::string& text) {
  if (!cache_memos_) return;
  TDaoRecordBuffer* buffer = StateBuffer();
  if (buffer == nullptr) {
    text.clear();
    return;
  }
  const int index = field.FieldNo() - 1;
  if (index < 0 || index >= static_cast<int>(buffer->Values->size())) {
    text.clear();
    return;
  }
  const std::string& entry = (*buffer->Values)[index].Text;
  text = entry.substr(0, entry.find('\r'));
}

void TUxDaoTable::GuidDisplayText(dataset::TField& field, std::string& text) {
  TDaoRecordBuffer* buffer = StateBuffer();
  const int index = field.FieldNo() - 1;
  if (buffer == nullptr || index < 0 || index >= static_cast<int>(buffer->Values->size())) {
    text.clear();
    return;
  }
  text = GuidPartOf((*buffer->Values)[index].Text);
}

void TUxDaoTable::GuidTextInput(dataset::TField& field, const std::string& text) {
  if (text.size() != 38) return;
  uint8_t bytes[16];
  if (!GuidTextToBytes(text, bytes)) GuidError(text);
  field.SetAsString(std::string(reinterpret_cast<const char*>(bytes), 16));
}

int TUxDaoTable::TranslateText(const char* src, char* dest, bool to_oem) {
  const int length = dataset::TDataSet::TranslateText(src, dest, to_oem);
  if (!translation_) return length;
  if (src == nullptr || src == dest || dest == nullptr) return 0;
  // Internal text is UTF-8: "OEM" is code page 850 and "ANSI" the UTF-8 text itself.
  std::string converted = to_oem ? framework::Utf8ToOem850(src) : framework::Oem850ToUtf8(src);
  // `dest` is only known to hold the source's length: a longer result is cut there, at the
  // start of a UTF-8 sequence, instead of writing past its end.
  const size_t room = std::strlen(src);
  if (converted.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(converted[cut]) & 0xC0) == 0x80) --cut;
    converted.resize(cut);
  }
  std::memcpy(dest, converted.c_str(), converted.size() + 1);
  return static_cast<int>(converted.size());
}

}  // namespace dao
