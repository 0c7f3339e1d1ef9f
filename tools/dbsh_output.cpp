#include "tools/dbsh_output.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dao/dao_constants.h"
#include "framework/date_time.h"

namespace dbsh {

namespace {

std::string ShortestDouble(double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return std::strcmp(buf, "-0") == 0 ? "0" : buf;
  }
  char buf[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, v);
    if (std::strtod(buf, nullptr) == v) break;
  }
  return buf;
}

std::string ShortestFloat(float v) {
  if (v == std::floor(v) && std::fabs(v) < 1e7f) return ShortestDouble(v);
  char buf[40];
  for (int precision = 1; precision <= 9; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(v));
    if (std::strtof(buf, nullptr) == v) break;
  }
  return buf;
}

std::string Currency(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t m = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "", static_cast<unsigned long long>(m / 10000),
                static_cast<unsigned long long>(m % 10000));
  return buf;
}

std::string DateText(double d) {
  int y, m, day, h, n, s, ms;
  framework::DecodeDate(d, y, m, day);
  framework::DecodeTime(d, h, n, s, ms);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, day, h, n, s);
  return buf;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out = "0x";
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

}  // namespace

std::string EscapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FormatValue(const framework::Variant& value, int type) {
  using framework::VarType;
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null: return "NULL";
    case VarType::Boolean: return value.ToBool() ? "True" : "False";
    case VarType::SmallInt:
    case VarType::Integer:
    case VarType::Int64:
      if (type == dao::dbBoolean) return value.ToInt64() != 0 ? "True" : "False";
      return std::to_string(value.ToInt64());
    case VarType::Currency: return Currency(value.ToCurrencyScaled());
    case VarType::Single: return ShortestFloat(static_cast<float>(value.ToDouble()));
    case VarType::Double:
      if (type == dao::dbDate) return DateText(value.ToDouble());
      return ShortestDouble(value.ToDouble());
    case VarType::Date: return DateText(value.ToDouble());
    case VarType::String: {
      std::string s = value.ToString();
      if (type == dao::dbGUID && s.rfind("{guid ", 0) == 0 && s.size() > 7) {
        s = s.substr(6, s.size() - 7);
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
      }
      return EscapeText(s);
    }
    case VarType::Bytes: return Hex(value.ToBytes());
    case VarType::Array: return "NULL";
  }
  return "NULL";
}

}  // namespace dbsh
