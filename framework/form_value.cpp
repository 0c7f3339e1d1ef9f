#include "framework/form_value.h"

#include <limits>

#include "framework/exception.h"
#include "framework/strings.h"

namespace framework {

TFormValue TFormValue::Integer(int64_t value) {
  TFormValue v(Kind::Integer);
  v.integer_ = value;
  return v;
}

TFormValue TFormValue::Float(double value) {
  TFormValue v(Kind::Float);
  v.float_ = value;
  return v;
}

TFormValue TFormValue::String(std::string value) {
  TFormValue v(Kind::String);
  v.text_ = std::move(value);
  return v;
}

TFormValue TFormValue::Identifier(std::string name) {
  TFormValue v(Kind::Identifier);
  v.text_ = std::move(name);
  return v;
}

TFormValue TFormValue::Set(std::vector<std::string> members) {
  TFormValue v(Kind::Set);
  v.members_ = std::move(members);
  return v;
}

TFormValue TFormValue::List(std::vector<TFormValue> items) {
  TFormValue v(Kind::List);
  v.items_ = std::move(items);
  return v;
}

TFormValue TFormValue::Strings(const TStringList& lines) {
  std::vector<TFormValue> items;
  for (int i = 0; i < lines.Count(); ++i) items.push_back(String(lines.Strings(i)));
  return List(std::move(items));
}

TFormValue TFormValue::Collection(std::vector<TFormItem> items) {
  TFormValue v(Kind::Collection);
  v.collection_ = std::move(items);
  return v;
}

TFormValue TFormValue::Binary(std::vector<uint8_t> bytes) {
  TFormValue v(Kind::Binary);
  v.bytes_ = std::move(bytes);
  return v;
}

void TFormValue::Invalid() { throw EComponentError("Invalid property value"); }

bool TFormValue::AsBoolean() const {
  if (kind_ == Kind::Identifier) {
    if (SameText(text_, "True")) return true;
    if (SameText(text_, "False")) return false;
  }
  Invalid();
}

int64_t TFormValue::AsInteger() const {
  if (kind_ != Kind::Integer) Invalid();
  return integer_;
}

int32_t TFormValue::AsInt32() const {
  const int64_t v = AsInteger();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    Invalid();
  return static_cast<int32_t>(v);
}

double TFormValue::AsFloat() const {
  if (kind_ == Kind::Integer) return static_cast<double>(integer_);
  if (kind_ != Kind::Float) Invalid();
  return float_;
}

const std::string& TFormValue::AsString() const {
  if (kind_ != Kind::String) Invalid();
  return text_;
}

const std::string& TFormValue::AsIdentifier() const {
  if (kind_ != Kind::Identifier) Invalid();
  return text_;
}

const std::vector<std::string>& TFormValue::AsSet() const {
  if (kind_ != Kind::Set) Invalid();
  return members_;
}

const std::vector<TFormValue>& TFormValue::AsList() const {
  if (kind_ != Kind::List) Invalid();
  return items_;
}

TStringList TFormValue::AsStrings() const {
  TStringList lines;
  for (const TFormValue& item : AsList()) lines.Add(item.AsString());
  return lines;
}

const std::vector<TFormItem>& TFormValue::AsCollection() const {
  if (kind_ != Kind::Collection) Invalid();
  return collection_;
}

const std::vector<uint8_t>& TFormValue::AsBinary() const {
  if (kind_ != Kind::Binary) Invalid();
  return bytes_;
}

bool TFormValue::operator==(const TFormValue& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case Kind::Integer: return integer_ == other.integer_;
    case Kind::Float: return float_ == other.float_;
    case Kind::String: return text_ == other.text_;
    case Kind::Identifier: return SameText(text_, other.text_);
    case Kind::Set: return members_ == other.members_;
    case Kind::List: return items_ == other.items_;
    case Kind::Collection: return collection_ == other.collection_;
    case Kind::Binary: return bytes_ == other.bytes_;
  }
  return false;
}

}  // namespace framework
