#include "engine/odbc/odbc_api.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <mutex>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/objects.h"
#include "engine/values.h"
#include "framework/date_time.h"
#include "framework/exception.h"
#include "framework/strings.h"

namespace engine::odbc {

using namespace dao;

namespace {

constexpr const char* kOdbcSource = "ODBC";

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

bool HasState(const std::vector<Diagnostic>& d, const char* prefix) {
  for (const auto& x : d)
    if (x.state.compare(0, std::strlen(prefix), prefix) == 0) return true;
  return false;
}

bool TextMentions(const std::vector<Diagnostic>& d, const char* word) {
  for (const auto& x : d)
    if (framework::LowerCase(x.text).find(word) != std::string::npos) return true;
  return false;
}

// The environment is shared by every connection of the process and freed with the last one.
std::shared_ptr<void> SharedEnvironment() {
  static std::mutex mutex;
  static std::weak_ptr<void> shared;
  std::lock_guard<std::mutex> lock(mutex);
  if (auto env = shared.lock()) return env;
  SQLHENV env = SQL_NULL_HENV;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    Raise(err::kODBCCallFailed, "ODBC--call failed. The ODBC driver manager could not be initialised.");
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  std::shared_ptr<void> owned(env, [](void* h) { SQLFreeHandle(SQL_HANDLE_ENV, h); });
  shared = owned;
  return owned;
}

// Appends `count` bytes of a value to a parameter buffer.
template <class T>
void Store(std::vector<char>& data, const T& value) {
  data.resize(sizeof(T));
  std::memcpy(data.data(), &value, sizeof(T));
}

SQL_TIMESTAMP_STRUCT TimestampOf(double dao_date) {
  int y, mo, d, h, mi, s, ms;
  framework::DecodeDate(dao_date, y, mo, d);
  framework::DecodeTime(dao_date, h, mi, s, ms);
  SQL_TIMESTAMP_STRUCT ts{};
  ts.year = static_cast<SQLSMALLINT>(y);
  ts.month = static_cast<SQLUSMALLINT>(mo);
  ts.day = static_cast<SQLUSMALLINT>(d);
  ts.hour = static_cast<SQLUSMALLINT>(h);
  ts.minute = static_cast<SQLUSMALLINT>(mi);
  ts.second = static_cast<SQLUSMALLINT>(s);
  ts.fraction = static_cast<SQLUINTEGER>(ms) * 1000000u;
  return ts;
}

double DaoDateOf(int year, int month, int day, int hour, int minute, int second, int msec) {
  double date = 0, time = 0;
  if (!framework::TryEncodeDate(year, month, day, date)) return 0;
  framework::TryEncodeTime(hour, minute, second, msec, time);
  // A DAO date before 30 Dec 1899 counts its time of day away from zero as well.
  return date >= 0 ? date + time : date - time;
}

std::string CurrencyText(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t v = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string frac = std::to_string(v % 10000);
  frac.insert(0, 4 - frac.size(), '0');
  return (negative ? "-" : "") + std::to_string(v / 10000) + "." + frac;
}

// Parses a decimal text exactly into ten-thousandths (rounding half away from zero).
bool ScaledFromText(const std::string& text, int64_t& scaled) {
  std::string t = framework::Trim(text);
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.erase(0, 1);
  }
  std::string whole = t, frac;
  const size_t dot = t.find('.');
  if (dot != std::string::npos) {
    whole = t.substr(0, dot);
    frac = t.substr(dot + 1);
  }
  if (whole.empty() && frac.empty()) return false;
  for (char c : whole + frac)
    if (c < '0' || c > '9') return false;
  int64_t v = 0;
  for (char c : whole) v = v * 10 + (c - '0');
  int64_t f = 0;
  for (size_t k = 0; k < 4; ++k) f = f * 10 + (k < frac.size() ? frac[k] - '0' : 0);
  v = v * 10000 + f;
  if (frac.size() > 4 && frac[4] >= '5') ++v;
  scaled = negative ? -v : v;
  return true;
}

}  // namespace

std::u16string ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) cp = c, extra = 0;
    else if ((c & 0xE0) == 0xC0) cp = c & 0x1F, extra = 1;
    else if ((c & 0xF0) == 0xE0) cp = c & 0x0F, extra = 2;
    else if ((c & 0xF8) == 0xF0) cp = c & 0x07, extra = 3;
    else cp = 0xFFFD, extra = 0;
    ++i;
    for (int k = 0; k < extra; ++k, ++i) {
      if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
        cp = 0xFFFD;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp));
    }
  }
  return out;
}

std::string ToUtf8(const SQLWCHAR* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

namespace {

SQLWCHAR* Wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

}  // namespace

std::vector<Diagnostic> DiagnosticsOf(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::vector<Diagnostic> out;
  if (handle == SQL_NULL_HANDLE) return out;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR text[2048];
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(handle_type, handle, record, state, &native, text,
                                        static_cast<SQLSMALLINT>(sizeof text / sizeof text[0]), &length);
    if (!Succeeded(rc)) break;
    Diagnostic d;
    d.state = ToUtf8(state, 5);
    d.native = native;
    const size_t shown = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                          sizeof text / sizeof text[0] - 1);
    d.text = framework::TrimRight(ToUtf8(text, shown));
    out.push_back(std::move(d));
  }
  return out;
}

void RaiseDiagnostics(const std::vector<Diagnostic>& diagnostics, const std::string& what) {
  int number = err::kODBCCallFailed;
  std::string message = "ODBC--call failed.";
  // Servers name their integrity violations with class 23; drivers that say only 23000 or
  // HY000 still say in words which one it was.
  if (HasState(diagnostics, "23505") || TextMentions(diagnostics, "unique constraint") ||
      TextMentions(diagnostics, "duplicate key") ||
      (HasState(diagnostics, "23") && (TextMentions(diagnostics, "unique") || TextMentions(diagnostics, "duplicate")))) {
    number = err::kDuplicateKey;
    message = "The changes were not saved because they would create a duplicate value in an index, primary key "
              "or relationship.";
  } else if (HasState(diagnostics, "23502") || TextMentions(diagnostics, "not null constraint")) {
    number = err::kRequired;
    message = "A field that requires a value was left empty.";
  }
  if (!diagnostics.empty()) message += " " + diagnostics.front().text + " (SQLSTATE " + diagnostics.front().state + ")";
  message += " [" + what + "]";
  RecordError(number, message, kErrorSource);
  for (const Diagnostic& d : diagnostics) AppendRecordedError(d.native, "[" + d.state + "] " + d.text, kOdbcSource);
  throw dao::EOleException(number, message, kErrorSource);
}

void Check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const std::string& what) {
  if (Succeeded(rc)) return;
  if (rc == SQL_INVALID_HANDLE)
    RaiseDiagnostics({Diagnostic{"HY000", 0, "Invalid handle."}}, what);
  auto d = DiagnosticsOf(handle_type, handle);
  if (d.empty()) d.push_back(Diagnostic{"HY000", 0, "The driver reported a failure without a diagnostic."});
  RaiseDiagnostics(d, what);
}

int DaoTypeOf(SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits) {
  switch (sql_type) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_WCHAR: case SQL_WVARCHAR:
      // Jet keeps texts of up to 255 characters; longer ones are memos.
      return size > 0 && size <= 255 ? dbText : dbMemo;
    case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR: return dbMemo;
    case SQL_BIT: return dbBoolean;
    case SQL_TINYINT: return dbByte;
    case SQL_SMALLINT: return dbInteger;
    case SQL_INTEGER: return dbLong;
    case SQL_BIGINT: return dbBigInt;
    case SQL_REAL: return dbSingle;
    case SQL_FLOAT: case SQL_DOUBLE: return dbDouble;
    case SQL_DECIMAL: case SQL_NUMERIC:
      // Money kept with four decimals is what Jet calls currency.
      return digits == 4 && size >= 15 && size <= 19 ? dbCurrency : dbDouble;
    case SQL_TYPE_DATE: case SQL_TYPE_TIME: case SQL_TYPE_TIMESTAMP: case SQL_DATETIME: case SQL_TIMESTAMP:
    case SQL_TIME:
      return dbDate;
    case SQL_BINARY: case SQL_VARBINARY: return size > 0 && size <= 255 ? dbBinary : dbLongBinary;
    case SQL_LONGVARBINARY: return dbLongBinary;
    case SQL_GUID: return dbGUID;
    default: return dbText;
  }
}

// ---------------------------------------------------------------------------------------------
// Statement

Statement::Statement(Connection& connection) : connection_(connection) {
  Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &handle_), SQL_HANDLE_DBC, connection.handle(),
        "SQLAllocHandle");
}

Statement::~Statement() {
  if (handle_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
}

void Statement::Fail(const std::string& what) {
  auto d = DiagnosticsOf(SQL_HANDLE_STMT, handle_);
  // Closing gives back what a failed call holds (some drivers keep it otherwise).
  SQLFreeStmt(handle_, SQL_CLOSE);
  cursor_open_ = false;
  if (d.empty()) d.push_back(Diagnostic{"HY000", 0, "The driver reported a failure without a diagnostic."});
  RaiseDiagnostics(d, what + " of \"" + (sql_.size() > 300 ? sql_.substr(0, 300) + "..." : sql_) + "\"");
}

void Statement::Prepare(const std::string& sql) {
  CloseCursor();
  sql_ = sql;
  std::u16string w = ToUtf16(sql);
  if (!Succeeded(SQLPrepareW(handle_, Wide(w), static_cast<SQLINTEGER>(w.size())))) Fail("SQLPrepare");
}

void Statement::BindParams(const std::vector<Param>& params) {
  SQLFreeStmt(handle_, SQL_RESET_PARAMS);
  buffers_.assign(params.size(), Buffer{});
  for (size_t k = 0; k < params.size(); ++k) {
    const Param& p = params[k];
    Buffer& b = buffers_[k];
    SQLSMALLINT c_type = SQL_C_CHAR, sql_type = SQL_VARCHAR, digits = 0;
    SQLULEN column_size = 0;
    int type = p.type;
    if (type == 0) {
      switch (p.value.kind) {
        case Cell::kInt: type = dbBigInt; break;
        case Cell::kReal: type = dbDouble; break;
        case Cell::kBlob: type = dbLongBinary; break;
        default: type = dbText; break;
      }
    }
    const Cell& v = p.value;
    switch (type) {
      case dbBoolean:
        c_type = SQL_C_BIT, sql_type = SQL_BIT, column_size = 1;
        Store(b.data, static_cast<unsigned char>(v.kind == Cell::kReal ? v.r != 0 : v.i != 0));
        break;
      case dbByte: case dbInteger: case dbLong:
        c_type = SQL_C_SLONG, sql_type = SQL_INTEGER, column_size = 10;
        Store(b.data, static_cast<SQLINTEGER>(v.kind == Cell::kReal ? std::llround(v.r) : v.i));
        break;
      case dbBigInt:
        c_type = SQL_C_SBIGINT, sql_type = SQL_BIGINT, column_size = 19;
        Store(b.data, static_cast<SQLBIGINT>(v.kind == Cell::kReal ? std::llround(v.r) : v.i));
        break;
      case dbSingle: case dbDouble: case dbDecimal: case dbNumeric: case dbFloat:
        c_type = SQL_C_DOUBLE, sql_type = SQL_DOUBLE, column_size = 15;
        Store(b.data, v.kind == Cell::kInt ? static_cast<double>(v.i) : v.r);
        break;
      case dbCurrency: {
        c_type = SQL_C_CHAR, sql_type = SQL_DECIMAL, column_size = 19, digits = 4;
        const std::string text = CurrencyText(v.kind == Cell::kReal ? std::llround(v.r * 10000.0) : v.i);
        b.data.assign(text.begin(), text.end());
        break;
      }
      case dbDate: case dbTime: case dbTimeStamp:
        c_type = SQL_C_TYPE_TIMESTAMP, sql_type = SQL_TYPE_TIMESTAMP, column_size = 23, digits = 3;
        Store(b.data, TimestampOf(v.kind == Cell::kInt ? static_cast<double>(v.i) : v.r));
        break;
      case dbGUID: {
        c_type = SQL_C_CHAR, sql_type = SQL_GUID, column_size = 36;
        std::string text = v.kind == Cell::kBlob && v.text.size() == 16 ? GuidText(v.text) : v.text;
        if (text.size() == 38 && text.front() == '{') text = text.substr(1, 36);
        b.data.assign(text.begin(), text.end());
        break;
      }
      case dbBinary: case dbLongBinary: case dbVarBinary:
        c_type = SQL_C_BINARY;
        sql_type = v.text.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
        b.data.assign(v.text.begin(), v.text.end());
        column_size = std::max<SQLULEN>(1, b.data.size());
        break;
      default: {
        // Text, and any value bound as text.
        std::string text = v.kind == Cell::kText || v.kind == Cell::kBlob ? v.text
                           : v.kind == Cell::kInt                        ? std::to_string(v.i)
                           : v.kind == Cell::kReal                       ? InvariantNumber(v.r)
                                                                         : std::string();
        const std::u16string w = ToUtf16(text);
        c_type = SQL_C_WCHAR;
        sql_type = w.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        b.data.resize(w.size() * sizeof(char16_t) + sizeof(char16_t));
        std::memcpy(b.data.data(), w.data(), w.size() * sizeof(char16_t));
        b.data.resize(w.size() * sizeof(char16_t));
        column_size = std::max<SQLULEN>(1, w.size());
        break;
      }
    }
    if (v.IsNull()) {
      b.indicator = SQL_NULL_DATA;
      if (b.data.empty()) b.data.resize(8);
    } else {
      b.indicator = static_cast<SQLLEN>(b.data.size());
      if (b.data.empty()) b.data.resize(2);  // a zero-length value still needs a buffer
    }
    const SQLRETURN rc =
        SQLBindParameter(handle_, static_cast<SQLUSMALLINT>(k + 1), SQL_PARAM_INPUT, c_type, sql_type, column_size,
                         digits, b.data.data(), static_cast<SQLLEN>(b.data.size()), &b.indicator);
    if (!Succeeded(rc)) Fail("SQLBindParameter");
  }
}

void Statement::Execute(const std::vector<Param>& params) {
  CloseCursor();
  BindParams(params);
  const SQLRETURN rc = SQLExecute(handle_);
  if (rc == SQL_NO_DATA) return;  // an UPDATE or DELETE that touched no row
  if (!Succeeded(rc)) Fail("SQLExecute");
  cursor_open_ = true;
}

void Statement::Run(const std::string& sql, const std::vector<Param>& params) {
  Prepare(sql);
  Execute(params);
}

bool Statement::Fetch() {
  const SQLRETURN rc = SQLFetch(handle_);
  if (rc == SQL_NO_DATA) return false;
  if (!Succeeded(rc)) Fail("SQLFetch");
  return true;
}

int Statement::ColumnCount() {
  SQLSMALLINT n = 0;
  if (!Succeeded(SQLNumResultCols(handle_, &n))) Fail("SQLNumResultCols");
  return n;
}

ColumnDesc Statement::Describe(int column) {
  ColumnDesc d;
  SQLWCHAR name[512];
  SQLSMALLINT name_length = 0, nullable = SQL_NULLABLE_UNKNOWN;
  if (!Succeeded(SQLDescribeColW(handle_, static_cast<SQLUSMALLINT>(column + 1), name,
                                 static_cast<SQLSMALLINT>(sizeof name / sizeof name[0]), &name_length, &d.sql_type,
                                 &d.size, &d.digits, &nullable)))
    Fail("SQLDescribeCol");
  d.name = ToUtf8(name, std::min<size_t>(name_length, sizeof name / sizeof name[0] - 1));
  d.nullable = nullable != SQL_NO_NULLS;
  SQLLEN auto_unique = SQL_FALSE;
  if (Succeeded(SQLColAttributeW(handle_, static_cast<SQLUSMALLINT>(column + 1), SQL_DESC_AUTO_UNIQUE_VALUE, nullptr,
                                 0, nullptr, &auto_unique)))
    d.auto_increment = auto_unique == SQL_TRUE;
  auto text_attribute = [&](SQLUSMALLINT field) {
    SQLWCHAR buffer[512];
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLColAttributeW(handle_, static_cast<SQLUSMALLINT>(column + 1), field, buffer, sizeof buffer,
                                    &length, nullptr)))
      return std::string();
    return ToUtf8(buffer, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR),
                                           sizeof buffer / sizeof buffer[0] - 1));
  };
  d.base_table = text_attribute(SQL_DESC_BASE_TABLE_NAME);
  d.base_column = text_attribute(SQL_DESC_BASE_COLUMN_NAME);
  return d;
}

Cell Statement::Get(int column, int dao_type, SQLSMALLINT sql_type) {
  const auto col = static_cast<SQLUSMALLINT>(column + 1);
  SQLLEN indicator = 0;
  auto get = [&](SQLSMALLINT c_type, void* target, SQLLEN size) {
    const SQLRETURN rc = SQLGetData(handle_, col, c_type, target, size, &indicator);
    if (!Succeeded(rc)) Fail("SQLGetData");
    return rc;
  };
  switch (dao_type) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbBigInt: {
      if (dao_type == dbBoolean && sql_type != SQL_BIT) {
        // A driver that hands booleans out as text ("1", "t", "true").
        char text[16] = {};
        get(SQL_C_CHAR, text, sizeof text);
        if (indicator == SQL_NULL_DATA) return Cell();
        const std::string t = framework::LowerCase(framework::Trim(text));
        return Cell::Int(t == "1" || t == "t" || t == "true" || t == "-1" || t == "y" || t == "yes" ? -1 : 0);
      }
      SQLBIGINT v = 0;
      get(SQL_C_SBIGINT, &v, sizeof v);
      if (indicator == SQL_NULL_DATA) return Cell();
      if (dao_type == dbBoolean) return Cell::Int(v != 0 ? -1 : 0);
      return Cell::Int(v);
    }
    case dbSingle: case dbDouble: case dbDecimal: case dbNumeric: case dbFloat: {
      double v = 0;
      get(SQL_C_DOUBLE, &v, sizeof v);
      if (indicator == SQL_NULL_DATA) return Cell();
      return Cell::Real(v);
    }
    case dbCurrency: {
      char text[64] = {};
      get(SQL_C_CHAR, text, sizeof text);
      if (indicator == SQL_NULL_DATA) return Cell();
      int64_t scaled = 0;
      std::string t = text;
      // Money types may carry a currency sign or group separators.
      std::string digits;
      for (char c : t)
        if ((c >= '0' && c <= '9') || c == '.' || c == '-') digits += c;
      if (!ScaledFromText(digits, scaled)) return Cell::Text(t);
      return Cell::Int(scaled);
    }
    case dbDate: case dbTime: case dbTimeStamp: {
      if (sql_type == SQL_TYPE_TIME || sql_type == SQL_TIME) {
        SQL_TIME_STRUCT t{};
        get(SQL_C_TYPE_TIME, &t, sizeof t);
        if (indicator == SQL_NULL_DATA) return Cell();
        return Cell::Real(DaoDateOf(1899, 12, 30, t.hour, t.minute, t.second, 0));
      }
      SQL_TIMESTAMP_STRUCT ts{};
      get(SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts);
      if (indicator == SQL_NULL_DATA) return Cell();
      return Cell::Real(DaoDateOf(ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                                  static_cast<int>(ts.fraction / 1000000u)));
    }
    case dbGUID: {
      char text[64] = {};
      get(SQL_C_CHAR, text, sizeof text);
      if (indicator == SQL_NULL_DATA) return Cell();
      std::string bytes;
      if (ParseGuid(framework::Trim(text), bytes)) return Cell::Blob(bytes);
      return Cell::Text(text);
    }
    case dbBinary: case dbLongBinary: case dbVarBinary: {
      std::string out;
      char chunk[8192];
      for (;;) {
        const SQLRETURN rc = SQLGetData(handle_, col, SQL_C_BINARY, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!Succeeded(rc)) Fail("SQLGetData");
        if (indicator == SQL_NULL_DATA) return Cell();
        const size_t got = indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(sizeof chunk)
                               ? sizeof chunk
                               : static_cast<size_t>(indicator);
        out.append(chunk, got);
        if (rc == SQL_SUCCESS) break;
      }
      return Cell::Blob(std::move(out));
    }
    default: {
      std::u16string out;
      SQLWCHAR chunk[4096];
      for (;;) {
        const SQLRETURN rc = SQLGetData(handle_, col, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!Succeeded(rc)) Fail("SQLGetData");
        if (indicator == SQL_NULL_DATA) return Cell();
        // Each piece but the last fills the buffer less its terminating zero.
        const size_t capacity = sizeof chunk / sizeof chunk[0] - 1;
        const size_t got = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(SQLWCHAR) > capacity
                               ? capacity
                               : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
        out.append(reinterpret_cast<const char16_t*>(chunk), got);
        if (rc == SQL_SUCCESS) break;
      }
      return Cell::Text(ToUtf8(reinterpret_cast<const SQLWCHAR*>(out.data()), out.size()));
    }
  }
}

namespace {

// A catalog argument: null for "any" when empty.
struct CatalogArg {
  explicit CatalogArg(const std::string& text) : wide(ToUtf16(text)), given(!text.empty()) {}
  SQLWCHAR* ptr() { return given ? Wide(wide) : nullptr; }
  SQLSMALLINT length() const { return given ? static_cast<SQLSMALLINT>(wide.size()) : 0; }
  std::u16string wide;
  bool given;
};

}  // namespace

void Statement::Tables() {
  CloseCursor();
  sql_ = "SQLTables";
  std::u16string types = ToUtf16("TABLE,VIEW");
  if (!Succeeded(SQLTablesW(handle_, nullptr, 0, nullptr, 0, nullptr, 0, Wide(types),
                            static_cast<SQLSMALLINT>(types.size()))))
    Fail("SQLTables");
  cursor_open_ = true;
}

void Statement::Columns(const std::string& schema, const std::string& table) {
  CloseCursor();
  sql_ = "SQLColumns " + table;
  CatalogArg s(schema), t(table);
  if (!Succeeded(SQLColumnsW(handle_, nullptr, 0, s.ptr(), s.length(), t.ptr(), t.length(), nullptr, 0)))
    Fail("SQLColumns");
  cursor_open_ = true;
}

void Statement::PrimaryKeys(const std::string& schema, const std::string& table) {
  CloseCursor();
  sql_ = "SQLPrimaryKeys " + table;
  CatalogArg s(schema), t(table);
  if (!Succeeded(SQLPrimaryKeysW(handle_, nullptr, 0, s.ptr(), s.length(), t.ptr(), t.length())))
    Fail("SQLPrimaryKeys");
  cursor_open_ = true;
}

void Statement::Statistics(const std::string& schema, const std::string& table) {
  CloseCursor();
  sql_ = "SQLStatistics " + table;
  CatalogArg s(schema), t(table);
  if (!Succeeded(SQLStatisticsW(handle_, nullptr, 0, s.ptr(), s.length(), t.ptr(), t.length(), SQL_INDEX_ALL,
                                SQL_QUICK)))
    Fail("SQLStatistics");
  cursor_open_ = true;
}

int64_t Statement::RowCount() {
  SQLLEN n = 0;
  if (!Succeeded(SQLRowCount(handle_, &n))) Fail("SQLRowCount");
  return n;
}

void Statement::CloseCursor() {
  if (!cursor_open_) return;
  SQLFreeStmt(handle_, SQL_CLOSE);
  cursor_open_ = false;
}

void Statement::SetTimeout(int32_t seconds) {
  seconds = std::max(0, seconds);
  if (seconds == timeout_) return;  // a statement run per record sets it once
  timeout_ = seconds;
  // Drivers that cannot time out answer with a warning or an error; the statement then runs
  // without a limit, as it would on such a driver anyway.
  SQLSetStmtAttr(handle_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
}

// ---------------------------------------------------------------------------------------------
// Connection

Connection::Connection(const std::string& connect_text, int32_t login_timeout) : environment_(SharedEnvironment()) {
  Check(SQLAllocHandle(SQL_HANDLE_DBC, environment_.get(), &handle_), SQL_HANDLE_ENV, environment_.get(),
        "SQLAllocHandle");
  if (login_timeout > 0)
    SQLSetConnectAttr(handle_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(login_timeout)),
                      0);
  std::u16string in = ToUtf16(connect_text);
  SQLWCHAR out[2048];
  SQLSMALLINT out_length = 0;
  const SQLRETURN rc = SQLDriverConnectW(handle_, nullptr, Wide(in), static_cast<SQLSMALLINT>(in.size()), out,
                                         static_cast<SQLSMALLINT>(sizeof out / sizeof out[0]), &out_length,
                                         SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    auto d = DiagnosticsOf(SQL_HANDLE_DBC, handle_);
    SQLFreeHandle(SQL_HANDLE_DBC, handle_);
    handle_ = SQL_NULL_HDBC;
    if (d.empty()) d.push_back(Diagnostic{"08001", 0, "The data source could not be reached."});
    RaiseDiagnostics(d, "SQLDriverConnect");
  }
  connected_ = true;
  completed_ = ToUtf8(out, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(out_length, 0)),
                                            sizeof out / sizeof out[0] - 1));
  quote_ = InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
  if (quote_ == " ") quote_.clear();
  dbms_ = InfoText(SQL_DBMS_NAME);
  dbms_version_ = InfoText(SQL_DBMS_VER);
}

Connection::~Connection() {
  if (handle_ == SQL_NULL_HDBC) return;
  if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, handle_, SQL_ROLLBACK);
  if (connected_) SQLDisconnect(handle_);
  SQLFreeHandle(SQL_HANDLE_DBC, handle_);
}

std::string Connection::InfoText(SQLUSMALLINT info) {
  SQLWCHAR buffer[256];
  SQLSMALLINT length = 0;
  if (!Succeeded(SQLGetInfoW(handle_, info, buffer, sizeof buffer, &length))) return "";
  return ToUtf8(buffer, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR),
                                         sizeof buffer / sizeof buffer[0] - 1));
}

std::string Connection::Quote(const std::string& name) const {
  if (quote_.empty()) return name;
  std::string out = quote_;
  for (char c : name) {
    out += c;
    if (std::string(1, c) == quote_) out += c;
  }
  return out + quote_;
}

void Connection::BeginTransaction() {
  if (in_transaction_) return;
  Check(SQLSetConnectAttr(handle_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
        SQL_HANDLE_DBC, handle_, "BeginTrans");
  in_transaction_ = true;
}

void Connection::EndTransaction(SQLSMALLINT completion, const char* what) {
  if (!in_transaction_) return;
  const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, handle_, completion);
  // Autocommit comes back whatever the end of the transaction said.
  in_transaction_ = false;
  const SQLRETURN back =
      SQLSetConnectAttr(handle_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
  Check(rc, SQL_HANDLE_DBC, handle_, what);
  Check(back, SQL_HANDLE_DBC, handle_, what);
}

void Connection::Commit() { EndTransaction(SQL_COMMIT, "CommitTrans"); }
void Connection::Rollback() { EndTransaction(SQL_ROLLBACK, "Rollback"); }

void Connection::SetReadOnly(bool read_only) {
  SQLSetConnectAttr(handle_, SQL_ATTR_ACCESS_MODE,
                    reinterpret_cast<SQLPOINTER>(read_only ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE), 0);
}

}  // namespace engine::odbc
