#include "dataset/params.h"

#include <cctype>

#include "dataset/db_error.h"
#include "dataset/field.h"
#include "framework/strings.h"

namespace dataset {

namespace {

bool IsNameChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 128 || std::isalnum(u) || c == '_';
}

TFieldType TypeOfValue(const framework::Variant& value) {
  using framework::VarType;
  switch (value.Type()) {
    case VarType::Boolean: return ftBoolean;
    case VarType::SmallInt: return ftSmallint;
    case VarType::Integer: return ftInteger;
    case VarType::Int64: return ftLargeint;
    case VarType::Single: case VarType::Double: return ftFloat;
    case VarType::Currency: return ftCurrency;
    case VarType::Date: return ftDateTime;
    case VarType::String: return ftString;
    case VarType::Bytes: return ftBytes;
    default: return ftUnknown;
  }
}

// Index just past the literal that starts at `start` with `open` and ends with `close`
// (a doubled `close` inside quotes stands for itself); the end of `text` when it is not closed.
size_t SkipLiteral(const std::string& text, size_t start, char close, bool doubling) {
  size_t i = start + 1;
  while (i < text.size()) {
    if (text[i] == close) {
      if (doubling && i + 1 < text.size() && text[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return text.size();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TParam

void TParam::SetValue(const framework::Variant& value) {
  if (data_type_ == ftUnknown) data_type_ = TypeOfValue(value);
  value_ = value.IsEmpty() ? framework::Variant::Null() : value;
  bound_ = true;
}

void TParam::Clear() {
  value_ = framework::Variant::Null();
  bound_ = false;
}

void TParam::SetAsString(const std::string& value) {
  data_type_ = ftString;
  SetValue(framework::Variant(value));
}

void TParam::SetAsInteger(int32_t value) {
  data_type_ = ftInteger;
  SetValue(framework::Variant(value));
}

void TParam::SetAsFloat(double value) {
  data_type_ = ftFloat;
  SetValue(framework::Variant(value));
}

void TParam::SetAsDateTime(framework::TDateTime value) {
  data_type_ = ftDateTime;
  SetValue(framework::Variant::Date(value));
}

void TParam::SetAsDate(framework::TDateTime value) {
  data_type_ = ftDate;
  SetValue(framework::Variant::Date(value));
}

void TParam::SetAsBoolean(bool value) {
  data_type_ = ftBoolean;
  SetValue(framework::Variant(value));
}

void TParam::AssignFieldValue(const TField& field, const framework::Variant& value) {
  if (data_type_ == ftUnknown) data_type_ = field.DataType();
  SetValue(value);
}

void TParam::AssignField(const TField& field) {
  data_type_ = field.DataType();
  if (name_.empty()) name_ = field.FieldName();
  SetValue(field.Value());
}

void TParam::Assign(const TParam& other) {
  name_ = other.name_;
  data_type_ = other.data_type_;
  param_type_ = other.param_type_;
  value_ = other.value_;
  bound_ = other.bound_;
}

bool TParam::operator==(const TParam& other) const {
  return framework::SameText(name_, other.name_) && data_type_ == other.data_type_ &&
         param_type_ == other.param_type_ && value_ == other.value_;
}

// ---------------------------------------------------------------------------------------------
// TParams

TParam& TParams::CreateParam(TFieldType type, const std::string& name, TParamType param_type) {
  items_.push_back(std::make_unique<TParam>(name, type, param_type));
  return *items_.back();
}

void TParams::Delete(int index) { items_.erase(items_.begin() + index); }

TParam* TParams::FindParam(const std::string& name) {
  for (auto& item : items_)
    if (framework::SameText(item->Name(), name)) return item.get();
  return nullptr;
}

const TParam* TParams::FindParam(const std::string& name) const {
  for (const auto& item : items_)
    if (framework::SameText(item->Name(), name)) return item.get();
  return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) {
  TParam* param = FindParam(name);
  if (param == nullptr) DatabaseError("Parameter '" + name + "' not found");
  return *param;
}

void TParams::Assign(const TParams& other) {
  if (&other == this) return;
  items_.clear();
  for (const auto& item : other.items_) {
    items_.push_back(std::make_unique<TParam>(item->Name(), item->DataType(), item->ParamType()));
    items_.back()->Assign(*item);
  }
}

void TParams::AssignValues(const TParams& other) {
  for (auto& item : items_) {
    const TParam* source = other.FindParam(item->Name());
    if (source == nullptr || source == item.get()) continue;
    const std::string name = item->Name();
    const TParamType direction = item->ParamType();
    item->Assign(*source);
    item->SetName(name);
    item->SetParamType(direction);
  }
}

bool TParams::IsEqual(const TParams& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (!(*items_[i] == *other.items_[i])) return false;
  return true;
}

std::vector<std::string> TParams::ParseSQL(const std::string& sql, bool create) {
  std::vector<std::string> names;
  auto note = [&](const std::string& name) {
    for (const std::string& known : names)
      if (framework::SameText(known, name)) return;
    names.push_back(name);
    if (create && FindParam(name) == nullptr) CreateParam(ftUnknown, name, ptInput);
  };
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      i = SkipLiteral(sql, i, c, true);
    } else if (c == '[') {
      i = SkipLiteral(sql, i, ']', false);
    } else if (c == '#') {
      // A date literal closes on the same line; a lone '#' is an ordinary character.
      const size_t close = sql.find_first_of("#\r\n", i + 1);
      i = close != std::string::npos && sql[close] == '#' ? close + 1 : i + 1;
    } else if (c == ':') {
      if (i + 1 < sql.size() && sql[i + 1] == ':') {
        i += 2;
      } else if (i > 0 && IsNameChar(sql[i - 1])) {
        ++i;  // 10:30, a:b
      } else if (i + 1 < sql.size() && sql[i + 1] == '"') {
        const size_t close = sql.find('"', i + 2);
        if (close == std::string::npos) {
          i = sql.size();
        } else {
          if (close > i + 2) note(sql.substr(i + 2, close - i - 2));
          i = close + 1;
        }
      } else {
        size_t end = i + 1;
        while (end < sql.size() && IsNameChar(sql[end])) ++end;
        if (end > i + 1) note(sql.substr(i + 1, end - i - 1));
        i = end > i + 1 ? end : i + 1;
      }
    } else {
      ++i;
    }
  }
  return names;
}

}  // namespace dataset
