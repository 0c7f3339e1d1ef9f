#include "engine/values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "framework/exception.h"
#include "framework/format_settings.h"

namespace engine {

using namespace dao;

bool IsTextType(int type) { return type == dbText || type == dbMemo || type == dbChar; }
bool IsIntegerType(int type) {
  return type == dbByte || type == dbInteger || type == dbLong || type == dbBigInt;
}
bool IsFloatType(int type) {
  return type == dbSingle || type == dbDouble || type == dbDecimal || type == dbNumeric ||
         type == dbFloat;
}
bool IsNumericType(int type) {
  return IsIntegerType(type) || IsFloatType(type) || type == dbCurrency || type == dbBoolean;
}
bool IsBinaryType(int type) {
  return type == dbBinary || type == dbLongBinary || type == dbVarBinary;
}
bool IsDateType(int type) { return type == dbDate || type == dbTime || type == dbTimeStamp; }

const char* StorageType(int type) {
  if (IsTextType(type)) return "TEXT";
  if (IsBinaryType(type) || type == dbGUID) return "BLOB";
  if (IsFloatType(type) || IsDateType(type)) return "REAL";
  return "INTEGER";
}

int32_t FixedSize(int type) {
  switch (type) {
    case dbBoolean: case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong: case dbSingle: return 4;
    case dbCurrency: case dbDouble: case dbDate: case dbBigInt: case dbTime: case dbTimeStamp:
    case dbFloat: return 8;
    case dbGUID: case dbDecimal: case dbNumeric: return 16;
    default: return 0;
  }
}

const char* TypeName(int type) {
  switch (type) {
    case dbBoolean: return "BIT";
    case dbByte: return "BYTE";
    case dbInteger: return "SHORT";
    case dbLong: return "LONG";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "SINGLE";
    case dbDouble: return "DOUBLE";
    case dbDate: return "DATETIME";
    case dbBinary: return "BINARY";
    case dbText: return "TEXT";
    case dbLongBinary: return "LONGBINARY";
    case dbMemo: return "MEMO";
    case dbGUID: return "GUID";
    case dbBigInt: return "BIGINT";
    case dbDecimal: return "DECIMAL";
    default: return "VALUE";
  }
}

std::string GuidText(const std::string& b) {
  if (b.size() != 16) return "";
  const auto* u = reinterpret_cast<const unsigned char*>(b.data());
  char out[40];
  std::snprintf(out, sizeof out,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", u[3],
                u[2], u[1], u[0], u[5], u[4], u[7], u[6], u[8], u[9], u[10], u[11], u[12], u[13],
                u[14], u[15]);
  return out;
}

bool ParseGuid(const std::string& text_in, std::string& bytes) {
  std::string text = text_in;
  // Strip "{guid " ... "}" and the braces.
  if (text.size() > 6 && (text.compare(0, 6, "{guid ") == 0 || text.compare(0, 6, "{GUID ") == 0)) {
    text = text.substr(6);
    if (!text.empty() && text.back() == '}') text.pop_back();
  }
  while (!text.empty() && text.front() == ' ') text.erase(0, 1);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return false;
  std::string hex;
  for (size_t k = 0; k < 36; ++k) {
    const char c = text[k];
    if (k == 8 || k == 13 || k == 18 || k == 23) {
      if (c != '-') return false;
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    hex += c;
  }
  unsigned char raw[16];
  for (int k = 0; k < 16; ++k) raw[k] = static_cast<unsigned char>(std::stoi(hex.substr(2 * k, 2), nullptr, 16));
  const unsigned char order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  bytes.assign(16, '\0');
  for (int k = 0; k < 16; ++k) bytes[order[k]] = static_cast<char>(raw[k]);
  return true;
}

std::string InvariantNumber(double value) {
  // std::to_chars and std::from_chars, unlike printf and strtod, never take the decimal point
  // from the process locale.
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  char buf[64];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 0);
    const std::string out(buf, r.ptr);
    return out == "-0" ? "0" : out;
  }
  std::string out;
  for (int precision = 1; precision <= 17; ++precision) {
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
    out.assign(buf, r.ptr);
    double back = 0;
    std::from_chars(out.data(), out.data() + out.size(), back);
    if (back == value) break;
  }
  return out;
}

bool ParseInvariantNumber(const std::string& text, double& result) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  bool negative = false;
  if (b < e && (text[b] == '+' || text[b] == '-')) negative = text[b++] == '-';
  // from_chars takes no sign of its own here, no "inf", "nan" or hexadecimal.
  if (b == e || !(std::isdigit(static_cast<unsigned char>(text[b])) || text[b] == '.')) return false;
  for (size_t k = b; k < e; ++k)
    if (std::isalpha(static_cast<unsigned char>(text[k])) && text[k] != 'e' && text[k] != 'E') return false;
  double value = 0;
  const auto r = std::from_chars(text.data() + b, text.data() + e, value, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != text.data() + e) return false;
  result = negative ? -value : value;
  return true;
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

Variant CellToVariant(int type, const Cell& cell) {
  if (cell.IsNull()) return Variant::Null();
  if (cell.kind == Cell::kText && !IsTextType(type) && type != dbGUID) {
    // A value of another kind in the column (written by plain SQL); give it as it is.
    return NaturalVariant(cell);
  }
  switch (type) {
    case dbBoolean:
      return Variant(cell.kind == Cell::kReal ? cell.r != 0 : cell.i != 0);
    case dbByte:
    case dbInteger:
      if (cell.kind == Cell::kInt) return Variant::SmallInt(static_cast<int16_t>(cell.i));
      return NaturalVariant(cell);
    case dbLong:
      if (cell.kind == Cell::kInt) return Variant(static_cast<int>(cell.i));
      return NaturalVariant(cell);
    case dbBigInt: return Variant(static_cast<long long>(cell.kind == Cell::kInt ? cell.i : std::llround(cell.r)));
    case dbCurrency:
      if (cell.kind == Cell::kInt) return Variant::CurrencyScaled(cell.i);
      return Variant::Currency(cell.r / 10000.0);
    case dbSingle: return Variant::Single(static_cast<float>(cell.kind == Cell::kInt ? cell.i : cell.r));
    case dbDouble: case dbDecimal: case dbNumeric: case dbFloat:
      return Variant(cell.kind == Cell::kInt ? static_cast<double>(cell.i) : cell.r);
    case dbDate: case dbTime: case dbTimeStamp:
      return Variant::Date(cell.kind == Cell::kInt ? static_cast<double>(cell.i) : cell.r);
    case dbGUID:
      if (cell.kind == Cell::kBlob && cell.text.size() == 16)
        return Variant("{guid " + GuidText(cell.text) + "}");
      return NaturalVariant(cell);
    case dbText: case dbMemo: case dbChar:
      if (cell.kind == Cell::kText || cell.kind == Cell::kBlob) return Variant(cell.text);
      return Variant(NaturalVariant(cell).ToString());
    case dbBinary: case dbLongBinary: case dbVarBinary:
      if (cell.kind == Cell::kBlob || cell.kind == Cell::kText)
        return Variant(std::vector<uint8_t>(cell.text.begin(), cell.text.end()));
      return NaturalVariant(cell);
    default: return NaturalVariant(cell);
  }
}

Variant NaturalVariant(const Cell& cell) {
  switch (cell.kind) {
    case Cell::kNull: return Variant::Null();
    case Cell::kInt:
      if (cell.i >= INT32_MIN && cell.i <= INT32_MAX) return Variant(static_cast<int>(cell.i));
      return Variant(static_cast<long long>(cell.i));
    case Cell::kReal: return Variant(cell.r);
    case Cell::kText: return Variant(cell.text);
    case Cell::kBlob: return Variant(std::vector<uint8_t>(cell.text.begin(), cell.text.end()));
  }
  return Variant::Null();
}

Cell NaturalCell(const Variant& value) {
  using framework::VarType;
  switch (value.Type()) {
    case VarType::Empty: case VarType::Null: return Cell();
    case VarType::Boolean: return Cell::Int(value.ToBool() ? -1 : 0);
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64:
      return Cell::Int(value.ToInt64());
    case VarType::Currency: case VarType::Single: case VarType::Double: case VarType::Date:
      return Cell::Real(value.ToDouble());
    case VarType::String: return Cell::Text(value.ToString());
    case VarType::Bytes: {
      const auto bytes = value.ToBytes();
      return Cell::Blob(std::string(bytes.begin(), bytes.end()));
    }
    case VarType::Array: break;
  }
  Raise(dao::err::kTypeConversion, "An array cannot be used as a single value.");
}

namespace {

[[noreturn]] void ConversionFailed(const Variant& value, int type, const std::string& field) {
  std::string shown;
  try {
    shown = value.ToString();
  } catch (const framework::Exception&) {
    shown = framework::VarTypeName(value.Type());
  }
  Raise(dao::err::kTypeConversion, "The value " + Quoted(shown) + " cannot be converted to the type " +
                                       TypeName(type) + " of the field " + Quoted(field) + ".");
}

int64_t ToInteger(const Variant& value, int64_t low, int64_t high, int type,
                  const std::string& field) {
  double d;
  if (value.Type() == framework::VarType::String) {
    int64_t i;
    const std::string text = value.ToString();
    if (framework::TryStrToInt64(text, i)) {
      d = static_cast<double>(i);
      if (i < low || i > high) ConversionFailed(value, type, field);
      return i;
    }
    if (!framework::TryStrToFloat(text, d)) ConversionFailed(value, type, field);
  } else {
    try {
      if (value.Type() == framework::VarType::Int64 || value.Type() == framework::VarType::Integer ||
          value.Type() == framework::VarType::SmallInt || value.Type() == framework::VarType::Boolean) {
        const int64_t i = value.ToInt64();
        if (value.Type() == framework::VarType::Boolean) return i ? -1 : 0;
        if (i < low || i > high) ConversionFailed(value, type, field);
        return i;
      }
      d = value.ToDouble();
    } catch (const framework::Exception&) {
      ConversionFailed(value, type, field);
    }
  }
  const double rounded = d - std::remainder(d, 1.0);  // halves to even, as Jet rounds
  if (!(rounded >= static_cast<double>(low) && rounded <= static_cast<double>(high)))
    ConversionFailed(value, type, field);
  return static_cast<int64_t>(rounded);
}

}  // namespace

Cell VariantToCell(int type, int32_t size, const Variant& value, const std::string& field) {
  using framework::VarType;
  // A Yes/No field is never Null: without a value it is No.
  if (value.IsClear()) return type == dbBoolean ? Cell::Int(0) : Cell();
  if (value.IsArray()) ConversionFailed(value, type, field);
  switch (type) {
    case dbBoolean: {
      if (value.Type() == VarType::String) {
        std::string lower = value.ToString();
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "true" || lower == "yes" || lower == "on") return Cell::Int(-1);
        if (lower == "false" || lower == "no" || lower == "off") return Cell::Int(0);
      }
      try {
        return Cell::Int(value.ToBool() ? -1 : 0);
      } catch (const framework::Exception&) {
        ConversionFailed(value, type, field);
      }
    }
    case dbByte: return Cell::Int(ToInteger(value, 0, 255, type, field));
    case dbInteger: return Cell::Int(ToInteger(value, INT16_MIN, INT16_MAX, type, field));
    case dbLong: return Cell::Int(ToInteger(value, INT32_MIN, INT32_MAX, type, field));
    case dbBigInt: return Cell::Int(ToInteger(value, INT64_MIN, INT64_MAX, type, field));
    case dbCurrency:
      try {
        return Cell::Int(value.ToCurrencyScaled());
      } catch (const framework::Exception&) {
        ConversionFailed(value, type, field);
      }
    case dbSingle: case dbDouble: case dbDecimal: case dbNumeric: case dbFloat:
      try {
        if (value.Type() == VarType::Bytes) ConversionFailed(value, type, field);
        double d = value.ToDouble();
        if (type == dbSingle) d = static_cast<float>(d);
        return Cell::Real(d);
      } catch (const framework::Exception&) {
        ConversionFailed(value, type, field);
      }
    case dbDate: case dbTime: case dbTimeStamp:
      try {
        return Cell::Real(value.ToDate());
      } catch (const framework::Exception&) {
        ConversionFailed(value, type, field);
      }
    case dbGUID: {
      if (value.Type() == VarType::Bytes) {
        const auto b = value.ToBytes();
        if (b.size() != 16) ConversionFailed(value, type, field);
        return Cell::Blob(std::string(b.begin(), b.end()));
      }
      std::string bytes;
      if (value.Type() != VarType::String || !ParseGuid(value.ToString(), bytes))
        ConversionFailed(value, type, field);
      return Cell::Blob(bytes);
    }
    case dbText: case dbMemo: case dbChar: {
      std::string text;
      if (value.Type() == VarType::Bytes) {
        const auto b = value.ToBytes();
        text.assign(b.begin(), b.end());
      } else if (value.Type() == VarType::Double || value.Type() == VarType::Single) {
        text = value.ToString();
      } else {
        text = value.ToString();
      }
      if (type != dbMemo && size > 0 && Utf8Length(text) > static_cast<size_t>(size))
        Raise(dao::err::kValueTooLong, "The value is too long for the field " + Quoted(field) +
                                           " (at most " + std::to_string(size) + " characters).");
      return Cell::Text(std::move(text));
    }
    case dbBinary: case dbLongBinary: case dbVarBinary: {
      const auto b = value.ToBytes();
      if (type == dbBinary && size > 0 && b.size() > static_cast<size_t>(size))
        Raise(dao::err::kValueTooLong, "The value is too long for the field " + Quoted(field) +
                                           " (at most " + std::to_string(size) + " bytes).");
      return Cell::Blob(std::string(b.begin(), b.end()));
    }
    default: return NaturalCell(value);
  }
}

}  // namespace engine
