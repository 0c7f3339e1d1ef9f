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
#include "engine/jet_dates.h"
#include "engine/jet_format.h"
#include "engine/jet_strings.h"
#include "engine/values.h"
#include "framework/date_time.h"
#include "framework/exception.h"

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

UChar32 Fold(UChar32 c) { return FoldCase(c); }

// One element of a LIKE pattern: every element but * stands for exactly one character.
struct PatternAtom {
  enum Kind { kStar, kAny, kDigit, kClass, kChar } kind = kChar;
  UChar32 c = 0;  // kChar, folded
  bool negate = false;
  std::vector<std::pair<UChar32, UChar32>> ranges;  // kClass: single characters have lo == hi

  bool Matches(UChar32 vc) const {
    switch (kind) {
      case kAny: return true;
      case kDigit: return u_isdigit(vc);
      case kChar: return Fold(vc) == c;
      case kClass: {
        const UChar32 f = Fold(vc);
        bool found = false;
        for (const auto& [lo, hi] : ranges)
          if (lo == hi ? Fold(lo) == f : (f >= Fold(lo) && f <= Fold(hi)) || (vc >= lo && vc <= hi)) found = true;
        return found != negate;
      }
      case kStar: break;
    }
    return false;
  }
};

std::vector<PatternAtom> CompilePattern(const std::vector<UChar32>& p) {
  std::vector<PatternAtom> out;
  for (size_t pi = 0; pi < p.size();) {
    PatternAtom a;
    const UChar32 pc = p[pi];
    if (pc == '*') {
      a.kind = PatternAtom::kStar;
      while (pi < p.size() && p[pi] == '*') ++pi;
      out.push_back(a);
      continue;
    }
    if (pc == '?') {
      a.kind = PatternAtom::kAny;
    } else if (pc == '#') {
      a.kind = PatternAtom::kDigit;
    } else if (pc == '[') {
      size_t k = pi + 1;
      if (k < p.size() && p[k] == '!') a.negate = true, ++k;
      const size_t start = k;
      // A ']' right after '[' or '[!' is one of the characters.
      while (k < p.size() && (p[k] != ']' || k == start)) {
        UChar32 lo = p[k], hi = p[k];
        if (k + 2 < p.size() && p[k + 1] == '-' && p[k + 2] != ']') {
          hi = p[k + 2];
          k += 3;
        } else {
          ++k;
        }
        a.ranges.emplace_back(lo, hi);
      }
      if (k < p.size()) {
        a.kind = PatternAtom::kClass;
        out.push_back(std::move(a));
        pi = k + 1;
        continue;
      }
      // An unclosed bracket matches itself.
      a.kind = PatternAtom::kChar;
      a.c = '[';
      a.ranges.clear();
      a.negate = false;
    } else {
      a.c = Fold(pc);
    }
    out.push_back(std::move(a));
    ++pi;
  }
  return out;
}

// Greedy matching that, on a mismatch, lets the last * take one more character. Every other
// element takes exactly one character, so this finds a match whenever there is one, in at most
// (value length) x (pattern length) steps.
bool Match(const std::vector<UChar32>& v, const std::vector<PatternAtom>& p) {
  size_t vi = 0, pi = 0;
  size_t star = std::string::npos, star_vi = 0;
  while (vi < v.size()) {
    if (pi < p.size() && p[pi].kind == PatternAtom::kStar) {
      star = ++pi;
      star_vi = vi;
    } else if (pi < p.size() && p[pi].Matches(v[vi])) {
      ++vi, ++pi;
    } else if (star != std::string::npos) {
      pi = star;
      vi = ++star_vi;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi].kind == PatternAtom::kStar) ++pi;
  return pi == p.size();
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

// A date argument: numbers are DAO dates, texts are read without regard to the locale.
bool ArgDate(sqlite3_context* ctx, sqlite3_value* v, double& out) {
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
    out = sqlite3_value_double(v);
    return true;
  }
  if (ParseDateText(ArgText(v), out)) return true;
  ResultError(ctx, dao::err::kTypeMismatch,
              "The value '" + ArgText(v) + "' is not a date (type mismatch in the expression).");
  return false;
}

// Jet's error for a Null where a function needs a value (Val, Asc, Chr, Space, Replace).
constexpr int kInvalidUseOfNull = 94;

bool RefuseNull(sqlite3_context* ctx, int argc, sqlite3_value** argv, const char* function) {
  if (!AnyNull(argc, argv)) return false;
  ResultError(ctx, kInvalidUseOfNull, std::string("Invalid use of Null in ") + function + ".");
  return true;
}

// An optional integer argument; `fallback` when it is missing or Null.
int64_t OptionalInt(int argc, sqlite3_value** argv, int k, int64_t fallback) {
  return k < argc && sqlite3_value_type(argv[k]) != SQLITE_NULL ? sqlite3_value_int64(argv[k]) : fallback;
}

// A text of `bytes` bytes, or SQLite's "too big" error when it would pass the connection's limit.
bool FitsLimit(sqlite3_context* ctx, double bytes) {
  if (bytes <= sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1)) return true;
  sqlite3_result_error_toobig(ctx);
  return false;
}

// The comparison of Replace, StrComp and InStr: without the argument Jet SQL compares as the
// database does (no regard to case); 0 is binary, 1 text, 2 the database's.
bool BinaryCompare(int argc, sqlite3_value** argv, int k) {
  const int64_t mode = OptionalInt(argc, argv, k, 1);
  if (mode < 0 || mode > 2) throw FunctionError{dao::err::kInvalidArgument, "The comparison must be 0, 1 or 2."};
  return mode == 0;
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
  if (in.IsNull()) return type == dao::dbBoolean ? sqlite3_result_int(ctx, 0) : sqlite3_result_null(ctx);
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

void FnVal(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (RefuseNull(ctx, argc, argv, "Val")) return;
  sqlite3_result_double(ctx, JetVal(ArgText(argv[0])));
}

void FnStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  double v = sqlite3_value_double(argv[0]);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && !ParseInvariantNumber(ArgText(argv[0]), v))
    return ResultError(ctx, dao::err::kTypeMismatch, "Str: '" + ArgText(argv[0]) + "' is not a number (type mismatch).");
  ResultText(ctx, JetStr(v));
}

void FnSpace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (RefuseNull(ctx, argc, argv, "Space")) return;
  const int64_t n = sqlite3_value_int64(argv[0]);
  if (n < 0) return ResultError(ctx, dao::err::kInvalidArgument, "Space: the length must not be negative.");
  if (FitsLimit(ctx, static_cast<double>(n))) ResultText(ctx, std::string(static_cast<size_t>(n), ' '));
}

// jet_string(count, character): a number as the character is its Windows-1252 code (modulo 256).
void FnString(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int64_t n = sqlite3_value_int64(argv[0]);
  const int t = sqlite3_value_type(argv[1]);
  const std::string c = t == SQLITE_INTEGER || t == SQLITE_FLOAT
                            ? JetChr(((sqlite3_value_int64(argv[1]) % 256) + 256) % 256)
                            : ArgText(argv[1]);
  if (FitsLimit(ctx, static_cast<double>(n) * static_cast<double>(c.size()))) ResultText(ctx, JetRepeat(n, c));
}

// jet_replace(text, find, with [, start [, count [, compare]]])
void FnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (RefuseNull(ctx, std::min(argc, 3), argv, "Replace")) return;
  ResultText(ctx, JetReplace(ArgText(argv[0]), ArgText(argv[1]), ArgText(argv[2]), OptionalInt(argc, argv, 3, 1),
                             OptionalInt(argc, argv, 4, -1), BinaryCompare(argc, argv, 5)));
}

// jet_strcomp(a, b [, compare])
void FnStrComp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, JetStrComp(ArgText(argv[0]), ArgText(argv[1]), BinaryCompare(argc, argv, 2)));
}

// jet_isnumeric(value, type) and jet_isdate(value, type): never Null.
void FnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  const int type = sqlite3_value_int(argv[1]);
  bool yes = false;
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) yes = !IsDateType(type);
  else if (t == SQLITE_TEXT) yes = JetIsNumeric(ArgText(argv[0]));
  sqlite3_result_int(ctx, yes ? -1 : 0);
}

void FnIsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  const int type = sqlite3_value_int(argv[1]);
  double d;
  bool yes = false;
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) yes = IsDateType(type);
  else if (t == SQLITE_TEXT) yes = ParseDateText(ArgText(argv[0]), d);
  sqlite3_result_int(ctx, yes ? -1 : 0);
}

template <bool Time>
void FnDateOrTimeValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  double d;
  if (ArgDate(ctx, argv[0], d)) sqlite3_result_double(ctx, Time ? TimePartOf(d) : DatePartOf(d));
}

// jet_dateadd(interval, number, date)
void FnDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  double d;
  if (ArgDate(ctx, argv[2], d)) sqlite3_result_double(ctx, JetDateAdd(ArgText(argv[0]), sqlite3_value_double(argv[1]), d));
}

// jet_datediff(interval, date1, date2 [, first day of week [, first week of year]])
void FnDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(3, argv)) return sqlite3_result_null(ctx);
  double a, b;
  if (!ArgDate(ctx, argv[1], a) || !ArgDate(ctx, argv[2], b)) return;
  sqlite3_result_int64(ctx, JetDateDiff(ArgText(argv[0]), a, b, static_cast<int>(OptionalInt(argc, argv, 3, 1)),
                                        static_cast<int>(OptionalInt(argc, argv, 4, 1))));
}

// jet_datepart(interval, date [, first day of week [, first week of year]])
void FnDatePartOf(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  double d;
  if (!ArgDate(ctx, argv[1], d)) return;
  sqlite3_result_int(ctx, JetDatePart(ArgText(argv[0]), d, static_cast<int>(OptionalInt(argc, argv, 2, 1)),
                                      static_cast<int>(OptionalInt(argc, argv, 3, 1))));
}

// jet_weekday(date [, first day of week])
void FnWeekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  double d;
  if (ArgDate(ctx, argv[0], d)) sqlite3_result_int(ctx, JetWeekday(d, static_cast<int>(OptionalInt(argc, argv, 1, 1))));
}

// jet_format(value, type [, format [, first day of week [, first week of year]]])
void FnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const std::string format = argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL ? ArgText(argv[2]) : "";
  std::string out;
  if (!JetFormat(ArgCell(argv[0]), sqlite3_value_int(argv[1]), format, static_cast<int>(OptionalInt(argc, argv, 3, 1)),
                 static_cast<int>(OptionalInt(argc, argv, 4, 1)), out))
    return sqlite3_result_null(ctx);
  ResultText(ctx, out);
}

// jet_timer(): the seconds since midnight.
void FnTimer(sqlite3_context* ctx, int, sqlite3_value**) {
  const double now = framework::Now();
  sqlite3_result_double(ctx, std::round((now - std::floor(now)) * 86400 * 100) / 100);
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
  if (places < 0) return ResultError(ctx, dao::err::kInvalidArgument, "Round: the number of places must not be negative.");
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

// jet_chr(code) and jet_asc(text) in Windows-1252, jet_chrw and jet_ascw in Unicode.
void FnChr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (!RefuseNull(ctx, argc, argv, "Chr")) ResultText(ctx, JetChr(sqlite3_value_int64(argv[0])));
}

void FnChrW(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (!RefuseNull(ctx, argc, argv, "ChrW")) ResultText(ctx, JetChrW(sqlite3_value_int64(argv[0])));
}

void FnAsc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (!RefuseNull(ctx, argc, argv, "Asc")) sqlite3_result_int(ctx, JetAsc(ArgText(argv[0])));
}

void FnAscW(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (!RefuseNull(ctx, argc, argv, "AscW")) sqlite3_result_int(ctx, JetAscW(ArgText(argv[0])));
}

// A function as SQLite may call it: no exception may leave it, a failure is the statement's error.
template <void (*F)(sqlite3_context*, int, sqlite3_value**)>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
  try {
    F(ctx, argc, argv);
  } catch (const FunctionError& e) {
    ResultError(ctx, e.number, e.message);
  } catch (const framework::EOleException& e) {
    ResultError(ctx, e.ErrorCode(), e.Message());
  } catch (const std::exception& e) {
    ResultError(ctx, dao::err::kReserved, e.what());
  }
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
  return Match(CodePoints(value), CompilePattern(CodePoints(pattern)));
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
      {"jet_like", 2, Guarded<FnLike>, true},         {"jet_lcase", 1, Guarded<FnLower>, true},
      {"jet_ucase", 1, Guarded<FnUpper>, true},       {"jet_concat", 2, Guarded<FnConcat>, true},
      {"jet_text", 1, Guarded<FnText>, true},         {"jet_store", 4, Guarded<FnStore>, true},
      {"jet_bool", 1, Guarded<FnBool>, true},         {"jet_year", 1, Guarded<FnDatePart<0>>, true},
      {"jet_month", 1, Guarded<FnDatePart<1>>, true}, {"jet_day", 1, Guarded<FnDatePart<2>>, true},
      {"jet_hour", 1, Guarded<FnDatePart<3>>, true},  {"jet_minute", 1, Guarded<FnDatePart<4>>, true},
      {"jet_second", 1, Guarded<FnDatePart<5>>, true}, {"jet_weekday", 1, Guarded<FnWeekday>, true},
      {"jet_weekday", 2, Guarded<FnWeekday>, true},   {"jet_now", 0, Guarded<FnNow>, false},
      {"jet_date", 0, Guarded<FnDate>, false},        {"jet_time", 0, Guarded<FnTime>, false},
      {"jet_timer", 0, Guarded<FnTimer>, false},      {"jet_dateserial", 3, Guarded<FnDateSerial>, true},
      {"jet_timeserial", 3, Guarded<FnTimeSerial>, true}, {"jet_cdate", 1, Guarded<FnCDate>, true},
      {"jet_datevalue", 1, Guarded<FnDateOrTimeValue<false>>, true},
      {"jet_timevalue", 1, Guarded<FnDateOrTimeValue<true>>, true},
      {"jet_dateadd", 3, Guarded<FnDateAdd>, true},   {"jet_datediff", -1, Guarded<FnDateDiff>, true},
      {"jet_datepart", -1, Guarded<FnDatePartOf>, true}, {"jet_format", -1, Guarded<FnFormat>, true},
      {"jet_val", 1, Guarded<FnVal>, true},           {"jet_str", 1, Guarded<FnStr>, true},
      {"jet_space", 1, Guarded<FnSpace>, true},       {"jet_string", 2, Guarded<FnString>, true},
      {"jet_replace", -1, Guarded<FnReplace>, true},  {"jet_strcomp", -1, Guarded<FnStrComp>, true},
      {"jet_isnumeric", 2, Guarded<FnIsNumeric>, true}, {"jet_isdate", 2, Guarded<FnIsDate>, true},
      {"jet_instr", 2, Guarded<FnInstr>, true},       {"jet_instr", 3, Guarded<FnInstr>, true},
      {"jet_round", 1, Guarded<FnRound>, true},       {"jet_round", 2, Guarded<FnRound>, true},
      {"jet_int", 1, Guarded<FnInt>, true},           {"jet_fix", 1, Guarded<FnFix>, true},
      {"jet_sgn", 1, Guarded<FnSgn>, true},           {"jet_sqr", 1, Guarded<FnSqr>, true},
      {"jet_error", 2, Guarded<FnError>, false},      {"jet_pow", 2, Guarded<FnPow>, true},
      {"jet_right", 2, Guarded<FnRight>, true},       {"jet_chr", 1, Guarded<FnChr>, true},
      {"jet_chrw", 1, Guarded<FnChrW>, true},         {"jet_asc", 1, Guarded<FnAsc>, true},
      {"jet_ascw", 1, Guarded<FnAscW>, true},
  };
  for (const Fn& f : functions) {
    sqlite3_create_function_v2(db, f.name, f.args,
                               SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0),
                               nullptr, f.fn, nullptr, nullptr, nullptr);
  }
}

}  // namespace engine
