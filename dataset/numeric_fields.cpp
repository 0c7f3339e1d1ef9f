#include "dataset/numeric_fields.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dataset/dataset.h"
#include "dataset/db_error.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/strings.h"

namespace dataset {

namespace {

double RoundHalfEven(double v) { return v - std::remainder(v, 1.0); }

TCharSet FloatChars() {
  std::string chars = "+-0123456789Ee.";
  chars += framework::DefaultFormatSettings().DecimalSeparator;
  return CharSetOf(chars);
}

// `value` written with `precision` significant digits, in the locale's decimal form.
std::string FloatText(double value, int precision) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", precision, value);
  return framework::FloatToStr(std::strtod(text, nullptr));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The integer family

TIntegerField::TIntegerField(framework::TComponent* owner)
    : TIntegerField(owner, ftInteger, INT32_MIN, INT32_MAX) {}

TIntegerField::TIntegerField(framework::TComponent* owner, TFieldType type, int64_t low,
                             int64_t high)
    : TField(owner, type), type_low_(low), type_high_(high) {
  SetValidChars(CharSetOf("+-0123456789"));
}

bool TIntegerField::ReadValue(int32_t& value) const {
  std::vector<uint8_t> buffer;
  if (!ReadNative(buffer)) return false;
  int32_t native;
  std::memcpy(&native, buffer.data(), sizeof native);
  if (DataType() == ftSmallint)
    native = static_cast<int16_t>(native);
  else if (DataType() == ftWord)
    native = static_cast<uint16_t>(native);
  value = native;
  return true;
}

void TIntegerField::StoreValue(int64_t value) {
  int64_t low = type_low_;
  int64_t high = type_high_;
  if (min_value_ != 0 || max_value_ != 0) {
    low = std::max<int64_t>(low, min_value_);
    high = std::min<int64_t>(high, max_value_);
  }
  if (value < low || value > high)
    RangeError(std::to_string(value), std::to_string(low), std::to_string(high));
  const int32_t native = static_cast<int32_t>(value);
  SetData(&native);
}

std::string TIntegerField::AsString() const {
  int32_t value;
  return ReadValue(value) ? std::to_string(value) : std::string();
}

void TIntegerField::SetAsString(const std::string& value) {
  const std::string text = framework::Trim(value);
  if (text.empty()) {
    Clear();
    return;
  }
  int64_t number;
  if (!framework::TryStrToInt64(text, number))
    throw framework::EConvertError("'" + value + "' is not a valid integer value");
  StoreValue(number);
}

int32_t TIntegerField::AsInteger() const {
  int32_t value;
  return ReadValue(value) ? value : 0;
}

void TIntegerField::SetAsInteger(int32_t value) { StoreValue(value); }

double TIntegerField::AsFloat() const { return AsInteger(); }

void TIntegerField::SetAsFloat(double value) {
  const double rounded = RoundHalfEven(value);
  if (!std::isfinite(rounded) || rounded < -9.2e18 || rounded > 9.2e18)
    RangeError(framework::FloatToStr(value), std::to_string(type_low_), std::to_string(type_high_));
  StoreValue(static_cast<int64_t>(rounded));
}

bool TIntegerField::AsBoolean() const { return AsInteger() != 0; }

void TIntegerField::SetAsBoolean(bool value) { StoreValue(value ? 1 : 0); }

framework::Variant TIntegerField::Value() const {
  int32_t value;
  if (!ReadValue(value)) return framework::Variant::Null();
  if (DataType() == ftSmallint) return framework::Variant::SmallInt(static_cast<int16_t>(value));
  return framework::Variant(value);
}

void TIntegerField::SetValue(const framework::Variant& value) {
  using framework::VarType;
  switch (value.Type()) {
    case VarType::Empty: case VarType::Null: Clear(); break;
    case VarType::String: SetAsString(value.ToString()); break;
    case VarType::Boolean: SetAsBoolean(value.ToBool()); break;
    case VarType::Single: case VarType::Double: case VarType::Currency: case VarType::Date:
      SetAsFloat(value.ToDouble());
      break;
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64:
      StoreValue(value.ToInt64());
      break;
    default: AccessError(framework::VarTypeName(value.Type()));
  }
}

TSmallintField::TSmallintField(framework::TComponent* owner)
    : TIntegerField(owner, ftSmallint, INT16_MIN, INT16_MAX) {}

TWordField::TWordField(framework::TComponent* owner)
    : TIntegerField(owner, ftWord, 0, UINT16_MAX) {}

TAutoIncField::TAutoIncField(framework::TComponent* owner)
    : TIntegerField(owner, ftAutoInc, INT32_MIN, INT32_MAX) {}

// ---------------------------------------------------------------------------------------------
// TBooleanField

TBooleanField::TBooleanField(framework::TComponent* owner) : TField(owner, ftBoolean) {}

void TBooleanField::SetDisplayValues(const std::string& values) {
  const size_t separator = values.find(';');
  if (separator == std::string::npos)
    DatabaseError("'" + values + "' are no display values for field '" + DisplayLabel() +
                      "' (expected: true text;false text)",
                  DataSet());
  true_text_ = values.substr(0, separator);
  false_text_ = values.substr(separator + 1);
  display_values_ = values;
}

bool TBooleanField::AsBoolean() const {
  std::vector<uint8_t> buffer;
  if (!ReadNative(buffer)) return false;
  int16_t native;
  std::memcpy(&native, buffer.data(), sizeof native);
  return native != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  const int16_t native = value ? 1 : 0;
  SetData(&native);
}

std::string TBooleanField::AsString() const {
  if (IsNull()) return std::string();
  return AsBoolean() ? true_text_ : false_text_;
}

void TBooleanField::SetAsString(const std::string& value) {
  const std::string text = framework::Trim(value);
  if (text.empty()) {
    Clear();
    return;
  }
  const std::string lower = framework::LowerCase(text);
  if (!true_text_.empty() && framework::SameText(text, true_text_)) return SetAsBoolean(true);
  if (!false_text_.empty() && framework::SameText(text, false_text_)) return SetAsBoolean(false);
  if (lower == "true" || lower == "yes" || lower == "on" || lower == "1" || lower == "-1")
    return SetAsBoolean(true);
  if (lower == "false" || lower == "no" || lower == "off" || lower == "0")
    return SetAsBoolean(false);
  throw framework::EConvertError("'" + value + "' is not a valid boolean value for field '" +
                                 DisplayLabel() + "'");
}

int32_t TBooleanField::AsInteger() const { return AsBoolean() ? 1 : 0; }

void TBooleanField::SetAsInteger(int32_t value) { SetAsBoolean(value != 0); }

framework::Variant TBooleanField::Value() const {
  if (IsNull()) return framework::Variant::Null();
  return framework::Variant(AsBoolean());
}

void TBooleanField::SetValue(const framework::Variant& value) {
  if (value.IsClear())
    Clear();
  else if (value.Type() == framework::VarType::String)
    SetAsString(value.ToString());
  else
    SetAsBoolean(value.ToBool());
}

// ---------------------------------------------------------------------------------------------
// TFloatField and its kin

TFloatField::TFloatField(framework::TComponent* owner) : TFloatField(owner, ftFloat) {}

TFloatField::TFloatField(framework::TComponent* owner, TFieldType type) : TField(owner, type) {
  SetValidChars(FloatChars());
}

void TFloatField::SetPrecision(int digits) { precision_ = std::min(std::max(digits, 1), 17); }

bool TFloatField::ReadValue(double& value) const {
  std::vector<uint8_t> buffer;
  if (!ReadNative(buffer)) return false;
  std::memcpy(&value, buffer.data(), sizeof value);
  return true;
}

std::string TFloatField::AsString() const {
  double value;
  return ReadValue(value) ? framework::FloatToStr(value) : std::string();
}

std::string TFloatField::GetText(bool display) const {
  double value;
  if (!ReadValue(value)) return std::string();
  return display ? FloatText(value, precision_) : framework::FloatToStr(value);
}

void TFloatField::SetAsString(const std::string& value) {
  const std::string text = framework::Trim(value);
  if (text.empty()) {
    Clear();
    return;
  }
  double number;
  if (!framework::TryStrToFloat(text, number))
    throw framework::EConvertError("'" + value + "' is not a valid floating point value");
  SetAsFloat(number);
}

double TFloatField::AsFloat() const {
  double value;
  return ReadValue(value) ? value : 0.0;
}

void TFloatField::SetAsFloat(double value) {
  if (!std::isfinite(value))
    DatabaseError("Field '" + DisplayLabel() + "' cannot hold an infinite or undefined number",
                  DataSet());
  if ((min_value_ != 0 || max_value_ != 0) && (value < min_value_ || value > max_value_))
    RangeError(framework::FloatToStr(value), framework::FloatToStr(min_value_),
               framework::FloatToStr(max_value_));
  SetData(&value);
}

int32_t TFloatField::AsInteger() const {
  const double rounded = RoundHalfEven(AsFloat());
  if (!(rounded >= INT32_MIN && rounded <= INT32_MAX))
    throw framework::EConvertError("Value " + framework::FloatToStr(AsFloat()) + " of field '" +
                                   DisplayLabel() + "' does not fit an integer");
  return static_cast<int32_t>(rounded);
}

void TFloatField::SetAsInteger(int32_t value) { SetAsFloat(value); }

framework::Variant TFloatField::Value() const {
  double value;
  if (!ReadValue(value)) return framework::Variant::Null();
  return framework::Variant(value);
}

void TFloatField::SetValue(const framework::Variant& value) {
  if (value.IsClear())
    Clear();
  else if (value.Type() == framework::VarType::String)
    SetAsString(value.ToString());
  else
    SetAsFloat(value.ToDouble());
}

TCurrencyField::TCurrencyField(framework::TComponent* owner) : TFloatField(owner, ftCurrency) {}

framework::Variant TCurrencyField::Value() const {
  if (IsNull()) return framework::Variant::Null();
  return framework::Variant::Currency(AsFloat());
}

std::string TCurrencyField::GetText(bool display) const {
  if (IsNull()) return std::string();
  if (!display) return AsString();
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", AsFloat());
  std::string result(text);
  const size_t point = result.find('.');
  if (point != std::string::npos) result[point] = framework::DefaultFormatSettings().DecimalSeparator;
  return result;
}

TBCDField::TBCDField(framework::TComponent* owner) : TFloatField(owner, ftBCD) {}

}  // namespace dataset
