#include "engine/jet_functions.h"

#include <unicode/coll.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "dao/dao_constants.h"
#include "engine/values.h"
#include "framework/date_time.h"
#include "framework/exception.h"
#include "framework/variant.h"

namespace engine {

namespace {

UCollator* Collator() {
  static UCollator* collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open("", &status);
    if (U_FAILURE(status)) return static_cast<UCollator*>(nullptr);
    // Secondary strength: accents count, case does not.
    ucol_setStrength(c, UCOL_SECONDARY);
    return c;
  }();
  return collator;
}

int CollateJet(void*, int la, const void* a, int lb, const void* b) {
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r = ucol_strcollUTF8(Collator(), static_cast<const char*>(a), la,
                                              static_cast<const char*>(b), lb, &status);
  if (U_FAILURE(status)) {
    const int c = std::memcmp(a, b, static_cast<size_t>(std::min(la, lb)));
    return c != 0 ? c : la - lb;
  }
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

std::vector<UChar32> CodePoints(const std::string& s) {
  std::vector<UChar32> out;
  out.reserve(s.size());
  int32_t i = 0;
  const int32_t n = static_cast<int32_t>(s.size());
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  while (i < n) {
    UChar32 c;
    U8_NEXT(p, i, n, c);
    if (c < 0) c = 0xFFFD;
    out.push_back(c);
  }
  return out;
}

UChar32 Fold(UChar32 c) { return u_foldCase(c, U_FOLD_CASE_DEFAULT); }

bool Match(const std::vector<UChar32>& v, size_t vi, const std::vector<UChar32>& p, size_t pi) {
  while (pi < p.size()) {
    const UChar32 pc = p[pi];
    if (pc == '*') {
      while (pi < p.size() && p[pi] == '*') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = vi; k <= v.size(); ++k)
        if (Match(v, k, p, pi)) return true;
      return false;
    }
    if (vi >= v.size()) return false;
    const UChar32 vc = v[vi];
    if (pc == '?') {
      ++vi, ++pi;
      continue;
    }
    if (pc == '#') {
      if (!u_isdigit(vc)) return false;
      ++vi, ++pi;
      continue;
    }
    if (pc == '[') {
      size_t k = pi + 1;
      bool negate = false;
      if (k < p.size() && p[k] == '!') negate = true, ++k;
      bool found = false;
      const size_t start = k;
      while (k < p.size() && (p[k] != ']' || k == start)) {
        UChar32 lo = p[k], hi = p[k];
        if (k + 2 < p.size() && p[k + 1] == '-' && p[k + 2] != ']') {
          hi = p[k + 2];
          k += 3;
        } else {
          ++k;
        }
        const UChar32 f = Fold(vc);
        if (lo == hi ? Fold(lo) == f : (f >= Fold(lo) && f <= Fold(hi)) || (vc >= lo && vc <= hi))
          found = true;
      }
      if (k >= p.size()) {
        // An unclosed bracket matches itself.
        if (vc != '[') return false;
        ++vi, ++pi;
        continue;
      }
      if (found == negate) return false;
      ++vi;
      pi = k + 1;
      continue;
    }
    if (Fold(pc) != Fold(vc)) return false;
    ++vi, ++pi;
  }
  return vi == v.size();
}

// ---- SQL function helpers

void ResultError(sqlite3_context* ctx, int number, const std::string& message) {
  const std::string text = "\x01" + std::to_string(number) + ":" + message;
  sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
}

Cell ArgCell(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Cell::Int(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return Cell::Real(sqlite3_value_double(v));
    case SQLITE_TEXT:
      return Cell::Text(std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                    sqlite3_value_bytes(v)));
    case SQLITE_BLOB: {
      const int n = sqlite3_value_bytes(v);
      return Cell::Blob(n ? std::string(static_cast<const char*>(sqlite3_value_blob(v)), n) : "");
    }
    default: return Cell();
  }
}

std::string ArgText(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_FLOAT) return InvariantNumber(sqlite3_value_double(v));
  const auto* t = sqlite3_value_text(v);
  return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_value_bytes(v)) : "";
}

void ResultCell(sqlite3_context* ctx, const Cell& c) {
  switch (c.kind) {
    case Cell::kNull: sqlite3_result_null(ctx); break;
    case Cell::kInt: sqlite3_result_int64(ctx, c.i); break;
    case Cell::kReal: sqlite3_result_double(ctx, c.r); break;
    case Cell::kText:
      sqlite3_result_text64(ctx, c.text.data(), c.text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case Cell::kBlob: sqlite3_result_blob64(ctx, c.text.data(), c.text.size(), SQLITE_TRANSIENT); break;
  }
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int k = 0; k < argc; ++k)
    if (sqlite3_value_type(argv[k]) == SQLITE_NULL) return true;
  return false;
}

// A date argument: numbers are DAO dates, texts are converted by the locale's rules.
bool ArgDate(sqlite3_context* ctx, sqlite3_value* v, double& out) {
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
    out = sqlite3_value_double(v);
    return true;
  }
  try {
    out = framework::Variant(ArgText(v)).ToDate();
    return true;
  } catch (const framework::Exception&) {
    ResultError(ctx, dao::err::kTypeMismatch,
                "The value '" + ArgText(v) + "' is not a date (type mismatch in the expression).");
    return false;
  }
}

void FnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, JetLike(ArgText(argv[0]), ArgText(argv[1])) ? 1 : 0);
}

void FnLower(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, JetLower(ArgText(argv[0])));
}

void FnUpper(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, JetUpper(ArgText(argv[0])));
}

// a & b: Null counts as the empty text unless both are Null.
void FnConcat(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const bool n0 = sqlite3_value_type(argv[0]) == SQLITE_NULL;
  const bool n1 = sqlite3_value_type(argv[1]) == SQLITE_NULL;
  if (n0 && n1) return sqlite3_result_null(ctx);
  ResultText(ctx, (n0 ? "" : ArgText(argv[0])) + (n1 ? "" : ArgText(argv[1])));
}

void FnText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, ArgText(argv[0]));
}

// jet_store(type, size, field, value): the value converted for storage in a field.
void FnStore(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_int(argv[0]);
  const int size = sqlite3_value_int(argv[1]);
  const std::string field = ArgText(argv[2]);
  const Cell in = ArgCell(argv[3]);
  if (in.IsNull()) return sqlite3_result_null(ctx);
  try {
    ResultCell(ctx, VariantToCell(type, size, NaturalVariant(in), field));
  } catch (const framework::EOleException& e) {
    ResultError(ctx, e.ErrorCode(), e.Message());
  }
}

// jet_bool(x): a truth value as Jet's -1/0.
void FnBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, sqlite3_value_double(argv[0]) != 0 ? -1 : 0);
}

template <int Part>
void FnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  double d;
  if (!ArgDate(ctx, argv[0], d)) return;
  int y, m, day, h, n, s, ms;
  framework::DecodeDate(d, y, m, day);
  framework::DecodeTime(d, h, n, s, ms);
  int result = 0;
  switch (Part) {
    case 0: result = y; break;
    case 1: result = m; break;
    case 2: result = day; break;
    case 3: result = h; break;
    case 4: result = n; break;
    case 5: result = s; break;
    case 6: result = framework::DayOfWeek(d); break;
  }
  sqlite3_result_int(ctx, result);
}

void FnNow(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, framework::Now()); }
void FnDate(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, framework::Today()); }
void FnTime(sqlite3_context* ctx, int, sqlite3_value**) {
  const double now = framework::Now();
  sqlite3_result_double(ctx, now - std::floor(now));
}

void FnDateSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(3, argv)) return sqlite3_result_null(ctx);
  int y = sqlite3_value_int(argv[0]), m = sqlite3_value_int(argv[1]);
  const int d = sqlite3_value_int(argv[2]);
  // Months and days outside their range roll over as in Jet.
  y += (m - 1) / 12;
  m = (m - 1) % 12;
  if (m < 0) m += 12, --y;
  double base;
  if (!framework::TryEncodeDate(y, m + 1, 1, base))
    return ResultError(ctx, dao::err::kTypeConversion, "DateSerial: the date is out of range.");
  sqlite3_result_double(ctx, base + (d - 1));
}

void FnTimeSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(3, argv)) return sqlite3_result_null(ctx);
  const double secs = sqlite3_value_double(argv[0]) * 3600 + sqlite3_value_double(argv[1]) * 60 +
                      sqlite3_value_double(argv[2]);
  sqlite3_result_double(ctx, secs / 86400.0);
}

void FnCDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  double d;
  if (ArgDate(ctx, argv[0], d)) sqlite3_result_double(ctx, d);
}

void FnVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string t = ArgText(argv[0]);
  std::string digits;
  for (char c : t)
    if (c != ' ' && c != '\t') digits += c;
  sqlite3_result_double(ctx, std::strtod(digits.c_str(), nullptr));
}

void FnInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  int start = 1, k = 0;
  if (argc == 3) start = sqlite3_value_int(argv[k++]);
  const auto hay = CodePoints(ArgText(argv[k]));
  const auto needle = CodePoints(ArgText(argv[k + 1]));
  if (start < 1) return ResultError(ctx, dao::err::kInvalidArgument, "InStr: invalid start.");
  for (size_t i = static_cast<size_t>(start - 1); i + needle.size() <= hay.size(); ++i) {
    bool ok = true;
    for (size_t j = 0; j < needle.size() && ok; ++j) ok = Fold(hay[i + j]) == Fold(needle[j]);
    if (ok) return sqlite3_result_int64(ctx, static_cast<int64_t>(i + 1));
  }
  sqlite3_result_int(ctx, 0);
}

void FnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int places = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
  const double scale = std::pow(10.0, places);
  const double v = sqlite3_value_double(argv[0]) * scale;
  sqlite3_result_double(ctx, (v - std::remainder(v, 1.0)) / scale);
}

void FnInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
  sqlite3_result_double(ctx, std::floor(sqlite3_value_double(argv[0])));
}

void FnFix(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
  sqlite3_result_double(ctx, std::trunc(sqlite3_value_double(argv[0])));
}

void FnSgn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const double v = sqlite3_value_double(argv[0]);
  sqlite3_result_int(ctx, v > 0 ? 1 : v < 0 ? -1 : 0);
}

void FnSqr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const double v = sqlite3_value_double(argv[0]);
  if (v < 0) return ResultError(ctx, dao::err::kInvalidArgument, "Sqr of a negative number.");
  sqlite3_result_double(ctx, std::sqrt(v));
}

// jet_pow(x, y): x ^ y. A result that is not a number (0 ^ -1, (-8) ^ 0.5) is an error, as in
// Jet, rather than a NaN or infinity stored somewhere.
void FnPow(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const double x = sqlite3_value_double(argv[0]), y = sqlite3_value_double(argv[1]);
  const double r = std::pow(x, y);
  if (!std::isfinite(r))
    return ResultError(ctx, dao::err::kInvalidArgument,
                       "Invalid use of ^: " + InvariantNumber(x) + " ^ " + InvariantNumber(y) + " has no value.");
  sqlite3_result_double(ctx, r);
}

// jet_right(text, n): the last n characters (all of them when there are fewer).
void FnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return ResultError(ctx, dao::err::kInvalidArgument, "Right: the length must not be negative.");
  const std::string text = ArgText(argv[0]);
  // Walk back n code points from the end.
  size_t start = text.size();
  for (int64_t k = 0; k < n && start > 0; ++k) {
    --start;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  }
  ResultText(ctx, text.substr(start));
}

// jet_chr(code): the character of a Unicode code point.
void FnChr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int64_t code = sqlite3_value_int64(argv[0]);
  if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return ResultError(ctx, dao::err::kInvalidArgument, "Chr: " + std::to_string(code) + " is not a character code.");
  std::string out;
  icu::UnicodeString(static_cast<UChar32>(code)).toUTF8String(out);
  ResultText(ctx, out);
}

// jet_asc(text): the code point of the first character (an error for an empty text).
void FnAsc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto points = CodePoints(ArgText(argv[0]));
  if (points.empty()) return ResultError(ctx, dao::err::kInvalidArgument, "Asc of an empty text.");
  sqlite3_result_int64(ctx, points[0]);
}

// jet_error(number, message): raises an engine error at run time (used for unknown names in
// criteria that are only detected per row).
void FnError(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ResultError(ctx, sqlite3_value_int(argv[0]), ArgText(argv[1]));
}

}  // namespace

int JetCompare(const std::string& a, const std::string& b) {
  return CollateJet(nullptr, static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()),
                    b.data());
}

bool JetLike(const std::string& value, const std::string& pattern) {
  return Match(CodePoints(value), 0, CodePoints(pattern), 0);
}

std::string JetLower(const std::string& text) {
  std::string out;
  icu::UnicodeString::fromUTF8(text).toLower(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

std::string JetUpper(const std::string& text) {
  std::string out;
  icu::UnicodeString::fromUTF8(text).toUpper(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

void RegisterJetFunctions(sqlite3* db) {
  sqlite3_create_collation_v2(db, "JET", SQLITE_UTF8, nullptr, CollateJet, nullptr);
  struct Fn {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
  };
  static const Fn functions[] = {
      {"jet_like", 2, FnLike, true},         {"jet_lcase", 1, FnLower, true},
      {"jet_ucase", 1, FnUpper, true},       {"jet_concat", 2, FnConcat, true},
      {"jet_text", 1, FnText, true},         {"jet_store", 4, FnStore, true},
      {"jet_bool", 1, FnBool, true},         {"jet_year", 1, FnDatePart<0>, true},
      {"jet_month", 1, FnDatePart<1>, true}, {"jet_day", 1, FnDatePart<2>, true},
      {"jet_hour", 1, FnDatePart<3>, true},  {"jet_minute", 1, FnDatePart<4>, true},
      {"jet_second", 1, FnDatePart<5>, true}, {"jet_weekday", 1, FnDatePart<6>, true},
      {"jet_now", 0, FnNow, false},          {"jet_date", 0, FnDate, false},
      {"jet_time", 0, FnTime, false},        {"jet_dateserial", 3, FnDateSerial, true},
      {"jet_timeserial", 3, FnTimeSerial, true}, {"jet_cdate", 1, FnCDate, true},
      {"jet_val", 1, FnVal, true},           {"jet_instr", 2, FnInstr, true},
      {"jet_instr", 3, FnInstr, true},       {"jet_round", 1, FnRound, true},
      {"jet_round", 2, FnRound, true},       {"jet_int", 1, FnInt, true},
      {"jet_fix", 1, FnFix, true},           {"jet_sgn", 1, FnSgn, true},
      {"jet_sqr", 1, FnSqr, true},           {"jet_error", 2, FnError, false},
      {"jet_pow", 2, FnPow, true},           {"jet_right", 2, FnRight, true},
      {"jet_chr", 1, FnChr, true},           {"jet_asc", 1, FnAsc, true},
  };
  for (const Fn& f : functions) {
    sqlite3_create_function_v2(db, f.name, f.args,
                               SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0),
                               nullptr, f.fn, nullptr, nullptr, nullptr);
  }
}

}  // namespace engine
