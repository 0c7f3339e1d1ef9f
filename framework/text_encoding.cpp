#include "framework/text_encoding.h"

#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <memory>
#include <vector>

#include "framework/exception.h"

namespace framework {

namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open(name, &status));
  if (U_FAILURE(status)) throw Exception(std::string("Text converter not available: ") + name);
  return conv;
}

std::string ToUtf8(std::string_view bytes, const char* codepage) {
  if (bytes.empty()) return "";
  ConverterPtr conv = OpenConverter(codepage);
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString u(bytes.data(), static_cast<int32_t>(bytes.size()), conv.get(), status);
  if (U_FAILURE(status)) throw Exception(std::string("Cannot convert text from ") + codepage);
  std::string out;
  u.toUTF8String(out);
  return out;
}

std::string FromUtf8(std::string_view text, const char* codepage) {
  if (text.empty()) return "";
  ConverterPtr conv = OpenConverter(codepage);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setSubstChars(conv.get(), "?", 1, &status);
  status = U_ZERO_ERROR;
  const icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  const int32_t capacity = u.length() * ucnv_getMaxCharSize(conv.get()) + 1;
  std::string out(static_cast<size_t>(capacity), '\0');
  const int32_t length = u.extract(out.data(), capacity, conv.get(), status);
  if (U_FAILURE(status)) throw Exception(std::string("Cannot convert text to ") + codepage);
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { extra = 1; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { extra = 2; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { extra = 3; cp = c & 0x07; }
    else return false;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= n) return false;
      const unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

std::string DecodeExternalText(std::string_view bytes) {
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
      static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF)
    bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Windows1252ToUtf8(bytes);
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  // Each byte stands for one character, so a table made once with the converter serves every
  // later call (files are decoded a line at a time).
  static const std::vector<std::string> table = [] {
    std::vector<std::string> t(256);
    for (int b = 0; b < 256; ++b) t[b] = ToUtf8(std::string(1, static_cast<char>(b)), "windows-1252");
    return t;
  }();
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (const char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80) out += c;
    else out += table[u];
  }
  return out;
}
std::string Utf8ToWindows1252(std::string_view text) { return FromUtf8(text, "windows-1252"); }
std::string Oem850ToUtf8(std::string_view bytes) { return ToUtf8(bytes, "ibm-850"); }
std::string Utf8ToOem850(std::string_view text) { return FromUtf8(text, "ibm-850"); }

std::string Utf8LowerCase(std::string_view text) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  std::string out;
  u.toLower(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

std::string Utf8UpperCase(std::string_view text) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  std::string out;
  u.toUpper(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

}  // namespace framework
