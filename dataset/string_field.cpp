#include "dataset/string_field.h"

#include <algorithm>
#include <cstring>

#include "dataset/dataset.h"
#include "dataset/db_error.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/strings.h"

namespace dataset {

int Utf8Length(const std::string& text) {
  int count = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

TStringField::TStringField(framework::TComponent* owner) : TField(owner, ftString) {
  SetSize(20);
}

int TStringField::DataSize() const { return std::max(Size(), 1) * 4 + 1; }

std::string TStringField::AsString() const {
  std::vector<uint8_t> buffer;
  if (!ReadNative(buffer)) return std::string();
  const char* text = reinterpret_cast<const char*>(buffer.data());
  return std::string(text, strnlen(text, buffer.size()));
}

void TStringField::SetAsString(const std::string& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  CheckValidChars(value);
  if (value.find('\0') != std::string::npos)
    DatabaseError("A value for field '" + DisplayLabel() + "' may not contain a zero byte",
                  DataSet());
  const int limit = std::max(Size(), 1);
  if (Utf8Length(value) > limit)
    DatabaseError("Value is too long for field '" + DisplayLabel() + "' (" +
                      std::to_string(Utf8Length(value)) + " characters, at most " +
                      std::to_string(limit) + ")",
                  DataSet());
  // Within the limit the UTF-8 bytes always fit DataSize() with the zero byte.
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  std::memcpy(buffer.data(), value.data(), value.size());
  SetData(buffer.data());
}

int32_t TStringField::AsInteger() const {
  const std::string text = framework::Trim(AsString());
  return text.empty() ? 0 : framework::StrToInt(text);
}

void TStringField::SetAsInteger(int32_t value) { SetAsString(std::to_string(value)); }

double TStringField::AsFloat() const {
  const std::string text = framework::Trim(AsString());
  return text.empty() ? 0.0 : framework::StrToFloat(text);
}

void TStringField::SetAsFloat(double value) { SetAsString(framework::FloatToStr(value)); }

framework::TDateTime TStringField::AsDateTime() const {
  const std::string text = framework::Trim(AsString());
  return text.empty() ? 0.0 : framework::StrToDateTime(text);
}

void TStringField::SetAsDateTime(framework::TDateTime value) {
  SetAsString(framework::DateTimeToStr(value));
}

bool TStringField::AsBoolean() const {
  const std::string text = framework::LowerCase(framework::Trim(AsString()));
  if (text.empty() || text == "false" || text == "no" || text == "0") return false;
  if (text == "true" || text == "yes" || text == "1" || text == "-1") return true;
  throw framework::EConvertError("'" + AsString() + "' is not a valid boolean value");
}

void TStringField::SetAsBoolean(bool value) { SetAsString(value ? "True" : "False"); }

framework::Variant TStringField::Value() const {
  if (IsNull()) return framework::Variant::Null();
  return framework::Variant(AsString());
}

void TStringField::SetValue(const framework::Variant& value) {
  if (value.IsClear())
    Clear();
  else
    SetAsString(value.ToString());
}

}  // namespace dataset
