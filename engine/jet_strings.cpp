#include "engine/jet_strings.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <charconv>
#include <cmath>

#include "dao/dao_constants.h"
#include "engine/jet_dates.h"
#include "engine/jet_format.h"
#include "engine/jet_functions.h"
#include "engine/values.h"
#include "framework/strings.h"
#include "framework/text_encoding.h"

namespace engine {

namespace {

[[noreturn]] void Invalid(const std::string& message) { throw FunctionError{dao::err::kInvalidArgument, message}; }

// Byte offsets of the characters of UTF-8 text, with the text's length at the end.
std::vector<size_t> CharacterOffsets(const std::string& s) {
  std::vector<size_t> out;
  int32_t i = 0;
  const auto n = static_cast<int32_t>(s.size());
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  while (i < n) {
    out.push_back(static_cast<size_t>(i));
    UChar32 c;
    U8_NEXT(p, i, n, c);
  }
  out.push_back(s.size());
  return out;
}

// The digits of an &H (base 16) or &O (base 8) number at the start of `s`, read as Jet reads
// such a literal: up to FFFF a 16-bit, up to FFFFFFFF a 32-bit integer with its sign bit.
bool RadixNumber(const std::string& s, double& value, size_t* used = nullptr) {
  if (s.size() < 2 || s[0] != '&') return false;
  const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
  const int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
  if (base == 0) return false;
  uint64_t v = 0;
  size_t k = 2;
  for (; k < s.size(); ++k) {
    const int d = std::isdigit(static_cast<unsigned char>(s[k])) ? s[k] - '0'
                  : base == 16 && std::isxdigit(static_cast<unsigned char>(s[k]))
                      ? std::toupper(static_cast<unsigned char>(s[k])) - 'A' + 10
                      : -1;
    if (d < 0 || d >= base) break;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) throw FunctionError{dao::err::kInvalidArgument, "Overflow in the number " + s + "."};
  }
  if (k == 2) return false;
  value = v <= 0xFFFF ? static_cast<int16_t>(v) : static_cast<double>(static_cast<int32_t>(v));
  if (used != nullptr) *used = k;
  return true;
}

}  // namespace

std::vector<int32_t> CodePoints(const std::string& s) {
  std::vector<int32_t> out;
  out.reserve(s.size());
  int32_t i = 0;
  const auto n = static_cast<int32_t>(s.size());
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  while (i < n) {
    UChar32 c;
    U8_NEXT(p, i, n, c);
    if (c < 0) c = 0xFFFD;
    out.push_back(c);
  }
  return out;
}

int32_t FoldCase(int32_t c) { return u_foldCase(c, U_FOLD_CASE_DEFAULT); }

std::string JetReplace(const std::string& text, const std::string& find, const std::string& with, int64_t start,
                       int64_t count, bool binary) {
  if (start < 1) Invalid("Replace: the start must be 1 or more, not " + std::to_string(start) + ".");
  if (count < -1) Invalid("Replace: the count must be -1 or more, not " + std::to_string(count) + ".");
  const std::vector<size_t> at = CharacterOffsets(text);
  const size_t chars = at.size() - 1;
  if (static_cast<uint64_t>(start) > chars) return "";
  const std::vector<int32_t> t = CodePoints(text), f = CodePoints(find);
  std::string out;
  size_t i = static_cast<size_t>(start - 1);
  auto same = [&](int32_t a, int32_t b) { return binary ? a == b : FoldCase(a) == FoldCase(b); };
  while (i < chars) {
    bool found = count != 0 && !f.empty() && i + f.size() <= chars;
    for (size_t k = 0; found && k < f.size(); ++k) found = same(t[i + k], f[k]);
    if (found) {
      out += with;
      i += f.size();
      if (count > 0) --count;
    } else {
      out.append(text, at[i], at[i + 1] - at[i]);
      ++i;
    }
  }
  return out;
}

int JetStrComp(const std::string& a, const std::string& b, bool binary) {
  const int c = binary ? a.compare(b) : JetCompare(a, b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

double JetVal(const std::string& text) {
  std::string s;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
  double value = 0;
  if (RadixNumber(s, value)) return value;
  // [sign] digits [. digits] [E|D [sign] digits]
  size_t k = 0;
  std::string number;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) number += s[k++];
  size_t digits = 0;
  while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) number += s[k++], ++digits;
  if (k < s.size() && s[k] == '.') {
    number += s[k++];
    while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) number += s[k++], ++digits;
  }
  if (digits == 0) return 0;
  if (k + 1 < s.size() && std::string("eEdD").find(s[k]) != std::string::npos) {
    size_t m = k + 1;
    std::string exponent = "e";
    if (s[m] == '+' || s[m] == '-') exponent += s[m++];
    if (m < s.size() && std::isdigit(static_cast<unsigned char>(s[m]))) {
      while (m < s.size() && std::isdigit(static_cast<unsigned char>(s[m]))) exponent += s[m++];
      number += exponent;
    }
  }
  const bool negative = number[0] == '-';
  const size_t from = number[0] == '+' || negative ? 1 : 0;
  std::from_chars(number.data() + from, number.data() + number.size(), value);
  if (std::isinf(value)) Invalid("Val: the number " + number + " is too large.");
  return negative ? -value : value;
}

std::string JetStr(double value) {
  std::string out = GeneralNumber(value, '.');
  if (out.rfind("0.", 0) == 0) out.erase(0, 1);
  else if (out.rfind("-0.", 0) == 0) out.erase(1, 1);
  return value >= 0 ? " " + out : out;
}

std::string JetChr(int64_t code) {
  if (code < 0 || code > 255) Invalid("Chr: " + std::to_string(code) + " is not a character code (0 to 255).");
  return framework::Windows1252ToUtf8(std::string(1, static_cast<char>(code)));
}

int JetAsc(const std::string& text) {
  const std::vector<size_t> at = CharacterOffsets(text);
  if (at.size() < 2) Invalid("Asc of an empty text.");
  const std::string ansi = framework::Utf8ToWindows1252(text.substr(0, at[1]));
  return ansi.empty() ? '?' : static_cast<unsigned char>(ansi[0]);
}

std::string JetChrW(int64_t code) {
  if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    Invalid("ChrW: " + std::to_string(code) + " is not a character code.");
  std::string out;
  icu::UnicodeString(static_cast<UChar32>(code)).toUTF8String(out);
  return out;
}

int32_t JetAscW(const std::string& text) {
  const std::vector<int32_t> points = CodePoints(text);
  if (points.empty()) Invalid("AscW of an empty text.");
  return points[0];
}

std::string JetRepeat(int64_t count, const std::string& character) {
  if (count < 0) Invalid("String: the length must not be negative.");
  const std::vector<size_t> at = CharacterOffsets(character);
  if (at.size() < 2) Invalid("String: the character is empty.");
  const std::string one = character.substr(0, at[1]);
  std::string out;
  out.reserve(one.size() * static_cast<size_t>(count));
  for (int64_t k = 0; k < count; ++k) out += one;
  return out;
}

bool JetIsNumeric(const std::string& text) {
  double value;
  if (ParseInvariantNumber(text, value)) return true;
  const std::string t = framework::Trim(text);
  size_t used = 0;
  try {
    return RadixNumber(t, value, &used) && used == t.size();
  } catch (const FunctionError&) {
    return false;
  }
}

}  // namespace engine
