// How Jet's field types are stored in SQLite, and the conversions between DAO values
// (framework::Variant) and stored values (Cell). Dates are days since 30 Dec 1899 (REAL),
// booleans -1/0, currency the amount × 10000 (INTEGER), GUIDs 16 bytes.
#pragma once

#include <cstdint>
#include <string>

#include "engine/sqlite_connection.h"
#include "framework/variant.h"

namespace engine {

using framework::Variant;

bool IsTextType(int type);     // dbText, dbMemo, dbChar
bool IsIntegerType(int type);  // dbByte, dbInteger, dbLong, dbBigInt
bool IsFloatType(int type);    // dbSingle, dbDouble, dbDecimal, dbNumeric, dbFloat
bool IsNumericType(int type);  // integers, floats, currency, boolean
bool IsBinaryType(int type);   // dbBinary, dbLongBinary, dbVarBinary
bool IsDateType(int type);     // dbDate, dbTime, dbTimeStamp
// The SQLite column type of a Jet type ("INTEGER", "REAL", "TEXT", "BLOB").
const char* StorageType(int type);
// Size of a field of a fixed-size type (dbLong 4 ...); 0 for memo and long binary.
int32_t FixedSize(int type);
// Jet's name of a type, as DDL writes it (TEXT, LONG ...).
const char* TypeName(int type);

// The DAO value of a stored cell of a field of `type`. GUIDs read as "{guid {...}}".
Variant CellToVariant(int type, const Cell& cell);
// The cell stored for `value` in a field of `type` and `size` (Null and Empty are No for a Yes/No
// field). Raises 3421 when the value cannot be converted and 3163 when a text is longer than
// `size`; `field` names the field for messages.
Cell VariantToCell(int type, int32_t size, const Variant& value, const std::string& field);
// A cell for a value of no declared type (implied parameters, expression results).
Cell NaturalCell(const Variant& value);
// The DAO value of a cell of no declared type.
Variant NaturalVariant(const Cell& cell);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case from 16 bytes (Windows byte order).
std::string GuidText(const std::string& bytes);
// Parses "{guid {...}}", "{...}" or the bare 36 characters into 16 bytes.
bool ParseGuid(const std::string& text, std::string& bytes);
// Shortest text that reads back exactly, with '.' as decimal point whatever the process locale;
// integral values without ".0".
std::string InvariantNumber(double value);
// Reads a whole text as a number written with '.' as decimal point whatever the process locale:
// blanks around it, an optional sign, digits with an optional fraction, an optional exponent.
bool ParseInvariantNumber(const std::string& text, double& result);
// Number of characters (code points) of UTF-8 text.
size_t Utf8Length(const std::string& text);

}  // namespace engine
