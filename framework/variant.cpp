#include "framework/variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/strings.h"

namespace framework {

namespace {

// Rounds half to even, as variant conversions to integers do.
double RoundHalfEven(double v) { return v - std::remainder(v, 1.0); }

std::string CurrencyToText(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : scaled;
  std::string text = std::to_string(magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04llu", static_cast<unsigned long long>(fraction));
    std::string f(digits);
    while (!f.empty() && f.back() == '0') f.pop_back();
    text += DefaultFormatSettings().DecimalSeparator + f;
  }
  return negative ? "-" + text : text;
}

}  // namespace

const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Boolean: return "Boolean";
    case VarType::SmallInt: return "SmallInt";
    case VarType::Integer: return "Integer";
    case VarType::Int64: return "Int64";
    case VarType::Single: return "Single";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Bytes: return "Array of Byte";
    case VarType::Array: return "Array";
  }
  return "Unknown";
}

Variant Variant::Null() { return Variant(VarType::Null, std::monostate{}); }
Variant Variant::SmallInt(int16_t value) { return Variant(VarType::SmallInt, int64_t{value}); }
Variant Variant::Single(float value) { return Variant(VarType::Single, double{value}); }
Variant Variant::CurrencyScaled(int64_t scaled) { return Variant(VarType::Currency, scaled); }
Variant Variant::Currency(double amount) {
  return Variant(VarType::Currency, static_cast<int64_t>(RoundHalfEven(amount * 10000.0)));
}
Variant Variant::Date(TDateTime value) { return Variant(VarType::Date, value); }
Variant Variant::Array(std::vector<Variant> items, int low_bound) {
  auto data = std::make_shared<ArrayData>();
  data->items = std::move(items);
  data->low_bound = low_bound;
  return Variant(VarType::Array, std::shared_ptr<const ArrayData>(std::move(data)));
}

bool Variant::IsNumeric() const {
  switch (type_) {
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64: case VarType::Single:
    case VarType::Double: case VarType::Currency: case VarType::Boolean:
      return true;
    default:
      return false;
  }
}

void Variant::ConversionError(VarType target) const {
  throw EVariantError(std::string("Could not convert variant of type (") + VarTypeName(type_) +
                      ") into type (" + VarTypeName(target) + ")");
}

int64_t Variant::IntegerIn(int64_t low, int64_t high, VarType target) const {
  int64_t v = 0;
  switch (type_) {
    case VarType::Empty: return 0;
    case VarType::Boolean: v = std::get<int64_t>(data_) ? -1 : 0; break;
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64: v = std::get<int64_t>(data_); break;
    case VarType::Currency: {
      const int64_t scaled = std::get<int64_t>(data_);
      v = static_cast<int64_t>(RoundHalfEven(static_cast<double>(scaled) / 10000.0));
      break;
    }
    case VarType::Single: case VarType::Double: case VarType::Date: {
      const double d = RoundHalfEven(std::get<double>(data_));
      if (!(d >= static_cast<double>(low) && d <= static_cast<double>(high))) ConversionError(target);
      v = static_cast<int64_t>(d);
      break;
    }
    case VarType::String: {
      const std::string& s = std::get<std::string>(data_);
      if (!TryStrToInt64(s, v)) {
        double d;
        if (!TryStrToFloat(s, d) || !std::isfinite(d)) ConversionError(target);
        d = RoundHalfEven(d);
        if (!(d >= static_cast<double>(low) && d <= static_cast<double>(high))) ConversionError(target);
        v = static_cast<int64_t>(d);
      }
      break;
    }
    default: ConversionError(target);
  }
  if (v < low || v > high) ConversionError(target);
  return v;
}

bool Variant::ToBool() const {
  switch (type_) {
    case VarType::Empty: return false;
    case VarType::Boolean: case VarType::SmallInt: case VarType::Integer: case VarType::Int64:
    case VarType::Currency:
      return std::get<int64_t>(data_) != 0;
    case VarType::Single: case VarType::Double: case VarType::Date:
      return std::get<double>(data_) != 0;
    case VarType::String: {
      const std::string& s = std::get<std::string>(data_);
      if (SameText(s, "true")) return true;
      if (SameText(s, "false")) return false;
      double d;
      if (TryStrToFloat(s, d)) return d != 0;
      ConversionError(VarType::Boolean);
    }
    default: ConversionError(VarType::Boolean);
  }
}

int32_t Variant::ToInt32() const {
  return static_cast<int32_t>(IntegerIn(INT32_MIN, INT32_MAX, VarType::Integer));
}

int64_t Variant::ToInt64() const { return IntegerIn(INT64_MIN, INT64_MAX, VarType::Int64); }

double Variant::ToDouble() const {
  switch (type_) {
    case VarType::Empty: return 0;
    case VarType::Boolean: return std::get<int64_t>(data_) ? -1.0 : 0.0;
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64:
      return static_cast<double>(std::get<int64_t>(data_));
    case VarType::Currency: return static_cast<double>(std::get<int64_t>(data_)) / 10000.0;
    case VarType::Single: case VarType::Double: case VarType::Date: return std::get<double>(data_);
    case VarType::String: {
      double d;
      if (TryStrToFloat(std::get<std::string>(data_), d)) return d;
      ConversionError(VarType::Double);
    }
    default: ConversionError(VarType::Double);
  }
}

int64_t Variant::ToCurrencyScaled() const {
  switch (type_) {
    case VarType::Currency: return std::get<int64_t>(data_);
    case VarType::Boolean: case VarType::SmallInt: case VarType::Integer: case VarType::Int64: {
      const int64_t v = IntegerIn(INT64_MIN / 10000, INT64_MAX / 10000, VarType::Currency);
      return v * 10000;
    }
    default: {
      const double d = RoundHalfEven(ToDouble() * 10000.0);
      if (!(std::fabs(d) < 9.2e18)) ConversionError(VarType::Currency);
      return static_cast<int64_t>(d);
    }
  }
}

TDateTime Variant::ToDate() const {
  if (type_ == VarType::String) {
    TDateTime d;
    if (TryStrToDateTime(std::get<std::string>(data_), d)) return d;
    ConversionError(VarType::Date);
  }
  if (type_ == VarType::Null || type_ == VarType::Bytes || type_ == VarType::Array)
    ConversionError(VarType::Date);
  return ToDouble();
}

std::string Variant::ToString() && {
  if (type_ == VarType::String) return std::move(std::get<std::string>(data_));
  return static_cast<const Variant&>(*this).ToString();
}

std::string Variant::ToString() const& {
  switch (type_) {
    case VarType::Empty: case VarType::Null: return "";
    case VarType::Boolean: return std::get<int64_t>(data_) ? "True" : "False";
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64:
      return std::to_string(std::get<int64_t>(data_));
    case VarType::Single: {
      // Shortest text of the float itself, not of its widened double.
      const float f = static_cast<float>(std::get<double>(data_));
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.9g", f);
      for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, f);
        if (std::strtof(buf, nullptr) == f) break;
      }
      return FloatToStr(std::strtod(buf, nullptr));
    }
    case VarType::Double: return FloatToStr(std::get<double>(data_));
    case VarType::Currency: return CurrencyToText(std::get<int64_t>(data_));
    case VarType::Date: {
      const double d = std::get<double>(data_);
      if (d >= 0 && d < 1) return d == 0 ? DateToStr(d) : TimeToStr(d);
      return DateTimeToStr(d);
    }
    case VarType::String: return std::get<std::string>(data_);
    case VarType::Bytes: {
      const auto& b = std::get<std::vector<uint8_t>>(data_);
      return std::string(b.begin(), b.end());
    }
    case VarType::Array: ConversionError(VarType::String);
  }
  return "";
}

std::vector<uint8_t> Variant::ToBytes() const {
  if (type_ == VarType::Bytes) return std::get<std::vector<uint8_t>>(data_);
  if (type_ == VarType::String) {
    const std::string& s = std::get<std::string>(data_);
    return std::vector<uint8_t>(s.begin(), s.end());
  }
  if (type_ == VarType::Empty) return {};
  ConversionError(VarType::Bytes);
}

const std::vector<Variant>& Variant::ArrayItems() const {
  if (type_ != VarType::Array) ConversionError(VarType::Array);
  return std::get<std::shared_ptr<const ArrayData>>(data_)->items;
}

int Variant::ArrayLowBound() const {
  if (type_ != VarType::Array) ConversionError(VarType::Array);
  return std::get<std::shared_ptr<const ArrayData>>(data_)->low_bound;
}

int Variant::ArrayHighBound() const {
  return ArrayLowBound() + static_cast<int>(ArrayItems().size()) - 1;
}

const Variant& Variant::ArrayItem(int index) const {
  const auto& items = ArrayItems();
  const int offset = index - ArrayLowBound();
  if (offset < 0 || offset >= static_cast<int>(items.size()))
    throw EVariantError("Variant array index out of bounds");
  return items[offset];
}

bool Variant::operator==(const Variant& other) const {
  if (type_ != other.type_) return false;
  if (type_ == VarType::Array) {
    return ArrayLowBound() == other.ArrayLowBound() && ArrayItems() == other.ArrayItems();
  }
  return data_ == other.data_;
}

}  // namespace framework
