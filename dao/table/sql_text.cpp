#include "dao/table/sql_text.h"

#include <cctype>
#include <cstdio>

#include "framework/exception.h"
#include "framework/strings.h"
#include "framework/text_encoding.h"

namespace daotable {

namespace {

using framework::FormatSettings;
using framework::TDateTime;
using framework::Variant;
using framework::VarType;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Byte length of the UTF-8 sequence starting at `i`; 1 for a byte that starts no valid sequence,
// so that broken text is still walked byte by byte.
size_t SequenceLength(std::string_view text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (i + length > text.size()) return 1;
  for (size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  return length;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Appends the lower case of the character at `i` to `out` and returns the position after it.
// Characters are lowered one at a time so that every match found in lowered text maps back to
// whole characters of the original, whatever the case mapping does to byte lengths.
size_t AppendLowerChar(std::string_view text, size_t i, std::string& out) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    out += static_cast<char>(std::tolower(c));
    return i + 1;
  }
  const size_t length = SequenceLength(text, i);
  if (length == 1) {
    out += static_cast<char>(c);
    return i + 1;
  }
  out += framework::Utf8LowerCase(text.substr(i, length));
  return i + length;
}

std::string LowerByChars(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) i = AppendLowerChar(text, i, out);
  return out;
}

// The end of a match of `lowered_token` (lowered with LowerByChars) at `i` of `text`, ignoring
// case, or npos.
size_t MatchAt(std::string_view text, size_t i, std::string_view lowered_token) {
  if (lowered_token.empty()) return std::string::npos;
  std::string piece;
  size_t matched = 0;
  size_t j = i;
  while (matched < lowered_token.size()) {
    if (j >= text.size()) return std::string::npos;
    piece.clear();
    j = AppendLowerChar(text, j, piece);
    if (lowered_token.compare(matched, piece.size(), piece) != 0) return std::string::npos;
    matched += piece.size();
  }
  return j;
}

// Skips a quoted text or bracketed name starting at `start`; with `doubling`, two closing
// characters in a row stand for one. Returns the position after the closing character (the end
// of the text when it is missing). The same rules as the framework's parameter parser.
size_t SkipLiteral(std::string_view text, size_t start, char close, bool doubling) {
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

bool InDateRange(TDateTime value) {
  // 1 Jan 0001 up to the end of 31 Dec 9999.
  return value >= -693593.0 && value < 2958466.0;
}

std::string TrimBlanks(std::string_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

// A decimal number without sign, blanks allowed around it; false when it does not parse or has
// more than nine digits.
bool ParseDecimal(std::string_view text, int64_t& result) {
  const std::string digits = TrimBlanks(text);
  if (digits.empty() || digits.size() > 9) return false;
  int64_t value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  result = value;
  return true;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// True when `word` occurs in `text` at or after `from`, ignoring ASCII case, without an ASCII
// letter right before or after it.
bool ContainsWordAfter(std::string_view text, std::string_view word, size_t from) {
  for (size_t i = from; i + word.size() <= text.size(); ++i) {
    bool equal = true;
    for (size_t k = 0; k < word.size() && equal; ++k)
      equal = std::tolower(static_cast<unsigned char>(text[i + k])) ==
              std::tolower(static_cast<unsigned char>(word[k]));
    if (!equal) continue;
    const bool before_ok = i == 0 || !IsAsciiLetter(text[i - 1]);
    const bool after_ok = i + word.size() == text.size() || !IsAsciiLetter(text[i + word.size()]);
    if (before_ok && after_ok) return true;
  }
  return false;
}

bool IsBooleanWord(std::string_view text) {
  const std::string word = framework::LowerCase(TrimBlanks(text));
  return word == "true" || word == "false";
}

std::string NumberKindText(const Variant& value) {
  // Variants write numbers with the process's decimal separator.
  return InvariantNumberText(value.ToString(), framework::DefaultFormatSettings());
}

bool IsNumberKind(VarType type) {
  switch (type) {
    case VarType::SmallInt: case VarType::Integer: case VarType::Int64:
    case VarType::Single: case VarType::Double: case VarType::Currency:
      return true;
    default:
      return false;
  }
}

std::string SafeText(const Variant& value) {
  try {
    return value.ToString();
  } catch (const framework::Exception&) {
    return std::string();
  }
}

}  // namespace

// ---- Identifier characters -------------------------------------------------------------------

std::string IdentifierCharsText() {
  std::string chars = "_";
  for (int c = 32; c <= 255; ++c)
    if (c >= 128 || std::isalnum(c)) chars += static_cast<char>(c);
  return chars;
}

dataset::TCharSet IdentifierCharSet() { return dataset::CharSetOf(IdentifierCharsText()); }

// ---- Literal pieces --------------------------------------------------------------------------

std::string DoubleQuoteChars(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

std::string QuotedText(std::string_view text) { return '"' + DoubleQuoteChars(text) + '"'; }

std::string BracketWildcards(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // "!" is special only as the first character inside brackets and matches itself elsewhere;
  // "[!]" would open a negated list instead of matching "!", so it is left alone.
  for (char c : text) {
    switch (c) {
      case '#': case '*': case '-': case '?': case '[': case ']':
        out += '[';
        out += c;
        out += ']';
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string InvariantNumberText(std::string_view text, const FormatSettings& fs) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == fs.DecimalSeparator) out += '.';
    else if (c == fs.ThousandSeparator) continue;
    else out += c;
  }
  return out;
}

bool IsJetNumber(std::string_view text) {
  size_t i = 0;
  size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (n > i && IsBlank(text[n - 1])) --n;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == n;
}

std::string BracketQualifiedName(std::string_view name) {
  std::string out = "[";
  for (char c : name) {
    if (c == '.') out += "].[";
    else out += c;
  }
  out += ']';
  return out;
}

std::string GuidRegistryText(const std::vector<uint8_t>& b) {
  if (b.size() != 16) return std::string();
  bool all_zero = true;
  for (uint8_t byte : b)
    if (byte != 0) all_zero = false;
  if (all_zero) return std::string();
  char out[40];
  std::snprintf(out, sizeof out,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return out;
}

std::string NormalizeGuidText(std::string_view text) {
  std::string_view t = text;
  // The record value form "{guid {...}}" is accepted too.
  if (t.size() > 6 && (t.substr(0, 6) == "{guid " || t.substr(0, 6) == "{GUID ")) {
    t.remove_prefix(6);
    if (t.size() >= 2 && t.substr(t.size() - 2) == "}}") t.remove_suffix(1);
  }
  if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
  if (t.size() != 36) return std::string();
  std::string out = "{";
  for (size_t k = 0; k < 36; ++k) {
    const char c = t[k];
    if (k == 8 || k == 13 || k == 18 || k == 23) {
      if (c != '-') return std::string();
    } else if (!IsHexDigit(c)) {
      return std::string();
    }
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  out += '}';
  return out;
}

std::string JetDateLiteral(TDateTime value, dataset::TFieldType type) {
  if (!InDateRange(value)) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    throw framework::EConvertError(std::string("'") + text + "' is not a valid date and time");
  }
  int year, month, day, hour, minute, second, msec;
  framework::DecodeDate(value, year, month, day);
  framework::DecodeTime(value, hour, minute, second, msec);
  char out[32];
  if (type == dataset::ftDate)
    std::snprintf(out, sizeof out, "#%02d/%02d/%04d#", month, day, year);
  else if (type == dataset::ftTime)
    std::snprintf(out, sizeof out, "#%02d:%02d:%02d#", hour, minute, second);
  else
    std::snprintf(out, sizeof out, "#%02d/%02d/%04d %02d:%02d:%02d#", month, day, year, hour,
                  minute, second);
  return out;
}

// ---- Parameters ------------------------------------------------------------------------------

std::string ParamLiteral(const dataset::TParam& param, const FormatSettings& fs) {
  using namespace dataset;
  if (param.IsNull()) return " IS NULL";
  const Variant& value = param.Value();
  const bool is_text = value.Type() == VarType::String;
  switch (param.DataType()) {
    case ftString: case ftBlob: case ftMemo:
      return QuotedText(SafeText(value));

    case ftFloat: case ftCurrency: case ftBCD: {
      if (IsNumberKind(value.Type())) return NumberKindText(value);
      const std::string text = SafeText(value);
      const std::string number = InvariantNumberText(text, fs);
      return IsJetNumber(number) ? number : QuotedText(text);
    }

    case ftDate: case ftTime: case ftDateTime: {
      TDateTime date = 0;
      bool ok = false;
      if (is_text) {
        ok = framework::TryStrToDateTime(value.ToString(), date, fs);
      } else {
        try {
          date = value.ToDate();
          ok = true;
        } catch (const framework::Exception&) {
        }
      }
      if (ok && InDateRange(date)) return JetDateLiteral(date, param.DataType());
      return QuotedText(SafeText(value));
    }

    case ftBytes: {
      if (is_text) {
        // A GUID given as text rather than as its 16 bytes.
        const std::string guid = NormalizeGuidText(value.ToString());
        if (!guid.empty()) return "{guid " + guid + "}";
      }
      std::vector<uint8_t> bytes;
      try {
        bytes = value.ToBytes();
      } catch (const framework::Exception&) {
      }
      return "{guid " + GuidRegistryText(bytes) + "}";
    }

    default:
      break;
  }
  // Every other type: the value's own text, but only where that text is a literal by itself.
  switch (value.Type()) {
    case VarType::Boolean:
      return value.ToString();
    case VarType::Date:
      if (InDateRange(value.ToDate())) return JetDateLiteral(value.ToDate(), ftDateTime);
      return QuotedText(SafeText(value));
    default:
      if (IsNumberKind(value.Type())) return NumberKindText(value);
      break;
  }
  const std::string text = SafeText(value);
  if (IsJetNumber(text) || IsBooleanWord(text)) return text;
  return QuotedText(text);
}

std::string ExpandSqlParams(const framework::TStringList& sql, const dataset::TParams& params,
                            bool param_check, const dataset::TCharSet& identifier_chars,
                            const FormatSettings& fs) {
  const std::string text = sql.Text("\r\n");
  if (!param_check) return text;

  struct Token {
    std::string lowered;  // ":name", lower case
    int param;
  };
  std::vector<Token> tokens;
  for (int k = 0; k < params.Count(); ++k)
    if (!params.Items(k).Name().empty())
      tokens.push_back({LowerByChars(":" + params.Items(k).Name()), k});
  if (tokens.empty()) return text;
  std::vector<std::string> literals(params.Count());
  std::vector<bool> made(params.Count(), false);
  auto is_word_char = [&](char c) { return identifier_chars.test(static_cast<unsigned char>(c)); };

  std::string out;
  out.reserve(text.size());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    size_t next = i + 1;
    if (c == '\'' || c == '"') {
      next = SkipLiteral(text, i, c, true);
    } else if (c == '[') {
      next = SkipLiteral(text, i, ']', false);
    } else if (c == '#') {
      // A date literal closes on the same line; a lone '#' is an ordinary character.
      const size_t close = text.find_first_of("#\r\n", i + 1);
      if (close != std::string::npos && text[close] == '#') next = close + 1;
    } else if (c == ':') {
      if (i + 1 < n && text[i + 1] == ':') {
        next = i + 2;
      } else if (i == 0 || !is_word_char(text[i - 1])) {
        for (const Token& token : tokens) {
          const size_t end = MatchAt(text, i, token.lowered);
          if (end == std::string::npos || (end < n && is_word_char(text[end]))) continue;
          if (!made[token.param]) {
            literals[token.param] = ParamLiteral(params.Items(token.param), fs);
            made[token.param] = true;
          }
          out += literals[token.param];
          i = end;
          next = std::string::npos;
          break;
        }
        if (next == std::string::npos) continue;
      }
    }
    out.append(text, i, next - i);
    i = next;
  }
  return out;
}

std::string ReplaceParamToken(const std::string& text, const std::string& token,
                              const std::string& value,
                              const dataset::TCharSet& identifier_chars) {
  if (text.empty() || token.empty()) return text;
  const std::string lowered = LowerByChars(token);
  auto is_word_char = [&](char c) { return identifier_chars.test(static_cast<unsigned char>(c)); };
  std::string out;
  size_t done = 0;  // the text before this position is in `out`
  size_t i = 0;
  while (i < text.size()) {
    if (IsContinuationByte(text[i])) {
      ++i;
      continue;
    }
    const size_t end = MatchAt(text, i, lowered);
    if (end == std::string::npos) {
      ++i;
      continue;
    }
    // The search goes on behind each occurrence as if the text started there, so the byte
    // before an occurrence right after the previous one counts as a blank.
    const bool blank_before = i == done || !is_word_char(text[i - 1]);
    const bool blank_after = end == text.size() || !is_word_char(text[end]);
    out.append(text, done, i - done);
    if (blank_before && blank_after) out += value;
    else out.append(text, i, end - i);
    done = end;
    i = end;
  }
  out.append(text, done, std::string::npos);
  return out;
}

// ---- Date texts ------------------------------------------------------------------------------

std::string NormalizeDateText(std::string_view text, const FormatSettings& fs) {
  if (text.empty()) return std::string();
  std::string s(text);
  const size_t year_mark = s.find("\xD0\xB3.");  // "г."
  if (year_mark != std::string::npos) s.erase(year_mark, 3);
  // The blanking below would drop the AM/PM designator of a twelve-hour clock and with it half
  // a day; it is kept and put back at the end.
  std::string designator;
  const size_t first_time_sep = s.find(fs.TimeSeparator);
  if (first_time_sep != std::string::npos) {
    for (const std::string* word : {&fs.TimeAMString, &fs.TimePMString}) {
      if (!word->empty() && ContainsWordAfter(s, *word, first_time_sep)) {
        designator = *word;
        break;
      }
    }
  }
  for (char& c : s)
    if (!IsDigit(c) && c != '/' && c != fs.DateSeparator && c != fs.TimeSeparator) c = ' ';
  std::string reduced;
  for (char c : s)
    if (c != ' ' || (!reduced.empty() && reduced.back() != ' ')) reduced += c;
  while (!reduced.empty() && reduced.back() == ' ') reduced.pop_back();
  const size_t time_sep = reduced.find(fs.TimeSeparator);
  const size_t keep =
      time_sep == std::string::npos || time_sep == 0 ? std::string::npos
                                                      : reduced.rfind(' ', time_sep - 1);
  std::string out;
  for (size_t k = 0; k < reduced.size(); ++k)
    if (reduced[k] != ' ' || k == keep) out += reduced[k];
  if (!designator.empty() && !out.empty()) out += ' ' + designator;
  return out;
}

std::string DefaultDateToStampText(std::string_view text) {
  if (text.empty()) return std::string();
  int64_t month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  const size_t slash1 = text.find('/');
  if (slash1 == std::string_view::npos || !ParseDecimal(text.substr(0, slash1), month))
    return std::string();
  std::string_view rest = text.substr(slash1 + 1);
  const size_t slash2 = rest.find('/');
  if (slash2 == std::string_view::npos || !ParseDecimal(rest.substr(0, slash2), day))
    return std::string();
  rest = rest.substr(slash2 + 1);
  const size_t blank = rest.find(' ');
  if (blank == std::string_view::npos) {
    if (!ParseDecimal(rest, year)) return std::string();
  } else {
    if (!ParseDecimal(rest.substr(0, blank), year)) return std::string();
    std::string time(rest.substr(blank + 1));
    size_t colon = time.find(':');
    if (colon != std::string::npos) {
      if (!ParseDecimal(std::string_view(time).substr(0, colon), hour)) return std::string();
      time.erase(0, colon + 1);
    }
    const size_t am = time.find(" AM");
    if (am != std::string::npos) {
      time.erase(am, 3);
      if (hour == 12) hour = 0;
    }
    const size_t pm = time.find(" PM");
    if (pm != std::string::npos) {
      time.erase(pm, 3);
      if (hour >= 1 && hour <= 11) hour += 12;
    }
    colon = time.find(':');
    if (colon != std::string::npos) {
      if (!ParseDecimal(std::string_view(time).substr(0, colon), minute)) return std::string();
      time.erase(0, colon + 1);
    }
    if (!time.empty() && !ParseDecimal(time, second)) return std::string();
  }
  TDateTime date = 0;
  TDateTime time_of_day = 0;
  if (!framework::TryEncodeDate(static_cast<int>(year), static_cast<int>(month),
                                static_cast<int>(day), date) ||
      !framework::TryEncodeTime(static_cast<int>(hour), static_cast<int>(minute),
                                static_cast<int>(second), 0, time_of_day))
    return std::string();
  const int64_t day_number = static_cast<int64_t>(date) + framework::kDateDelta;
  const int64_t msec = ((hour * 60 + minute) * 60 + second) * 1000;
  return std::to_string(day_number) + " " + std::to_string(msec);
}

Variant StampTextToDate(std::string_view text) {
  const size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return Variant::Null();
  int64_t day = 0, msec = 0;
  if (!ParseDecimal(text.substr(0, blank), day) || !ParseDecimal(text.substr(blank + 1), msec))
    return Variant::Null();
  // 31 Dec 9999 is day 3652059.
  if (day < 1 || day > 3652059 || msec >= framework::kMillisecondsPerDay) return Variant::Null();
  framework::TTimeStamp stamp;
  stamp.Date = static_cast<int32_t>(day);
  stamp.Time = static_cast<int32_t>(msec);
  return Variant::Date(framework::TimeStampToDateTime(stamp));
}

}  // namespace daotable
