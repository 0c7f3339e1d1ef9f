#include "tools/access/access_values.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/exception.h"
#include "tools/access/access_schema.h"

namespace access_file {

namespace {

template <class T>
T Read(const uint8_t* data) {
  T value;
  std::memcpy(&value, data, sizeof value);  // the files are little endian, as this machine
  return value;
}

constexpr size_t kDecimalSize = 17;
constexpr size_t kGuidSize = 16;

size_t FixedSizeOf(int access_type) {
  switch (access_type) {
    case kByte: return 1;
    case kInteger: return 2;
    case kLong: case kSingle: return 4;
    case kCurrency: case kDouble: case kDateTime: return 8;
    case kGuid: return kGuidSize;
    case kNumeric: return kDecimalSize;
    default: return 0;
  }
}

// The significant digits of a decimal text: without sign, point, leading and trailing zeros.
std::string SignificantDigits(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c >= '0' && c <= '9') digits += c;
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "";
  digits.erase(0, first);
  digits.erase(digits.find_last_not_of('0') + 1);
  return digits;
}

}  // namespace

Variant DecodeFixed(int access_type, const uint8_t* data, size_t size, int scale) {
  const size_t expected = FixedSizeOf(access_type);
  if (expected == 0 || size != expected)
    throw framework::Exception("a stored " + std::string(AccessTypeName(access_type)) + " value has " +
                               std::to_string(size) + " bytes instead of " + std::to_string(expected));
  switch (access_type) {
    case kByte: return Variant::SmallInt(data[0]);
    case kInteger: return Variant::SmallInt(Read<int16_t>(data));
    case kLong: return Variant(static_cast<int>(Read<int32_t>(data)));
    case kSingle: return Variant::Single(Read<float>(data));
    case kDouble: return Variant(Read<double>(data));
    case kCurrency: return Variant::CurrencyScaled(Read<int64_t>(data));
    case kDateTime: return Variant::Date(Read<double>(data));
    case kGuid: return Variant(std::vector<uint8_t>(data, data + kGuidSize));
    case kNumeric: return Variant(std::strtod(DecimalText(data, size, scale).c_str(), nullptr));
    default: break;
  }
  throw framework::Exception("no fixed-size value of the type " + std::string(AccessTypeName(access_type)));
}

std::string DecimalText(const uint8_t* data, size_t size, int scale) {
  if (size != kDecimalSize) throw framework::Exception("a stored decimal has " + std::to_string(size) + " bytes");
  // The magnitude as four 32-bit words, most significant first; divided by 10 repeatedly to get
  // its decimal digits (at most 39).
  uint32_t words[4];
  for (int k = 0; k < 4; ++k) words[k] = Read<uint32_t>(data + 1 + 4 * k);
  std::string digits;
  while (words[0] | words[1] | words[2] | words[3]) {
    uint64_t remainder = 0;
    for (uint32_t& w : words) {
      const uint64_t current = (remainder << 32) | w;
      w = static_cast<uint32_t>(current / 10);
      remainder = current % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  }
  if (scale < 0) scale = 0;
  if (digits.size() <= static_cast<size_t>(scale)) digits.insert(0, scale + 1 - digits.size(), '0');
  std::string text = digits;
  if (scale > 0) text.insert(text.size() - scale, ".");
  const bool negative = (data[0] & 0x80) != 0 && SignificantDigits(text) != "";
  return negative ? "-" + text : text;
}

bool DoubleHoldsDecimal(const std::string& text) {
  const std::string digits = SignificantDigits(text);
  if (digits.empty()) return true;
  const double value = std::strtod(text.c_str(), nullptr);
  // The double written with as many significant digits as the decimal has.
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%.*e", static_cast<int>(digits.size()) - 1, value);
  std::string mantissa = buffer;
  mantissa.erase(mantissa.find('e'));
  return SignificantDigits(mantissa) == digits;
}

}  // namespace access_file
