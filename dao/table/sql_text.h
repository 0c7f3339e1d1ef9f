// Writing values into Jet SQL text: literals (quoted texts, #dates#, {guid {...}}, invariant
// numbers, bracketed names), the substitution of query parameters into an SQL statement, and the
// conversions between DAO's date default texts and the day/millisecond text of field defaults.
//
// Every function here is pure: it reads only its arguments and the format settings it is given.
// Text is UTF-8; word boundaries are decided byte by byte with an identifier-character set in
// which every byte of 128 and above counts as a letter, so a non-ASCII letter is one word part.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/db_types.h"
#include "dataset/field.h"
#include "dataset/params.h"
#include "framework/date_time.h"
#include "framework/format_settings.h"
#include "framework/string_list.h"
#include "framework/variant.h"

namespace daotable {

// ---- Identifier characters -------------------------------------------------------------------

// The bytes that continue a word of SQL text, as text in ascending order after a leading "_":
// "_", the ASCII digits and letters, then every byte from 128 to 255.
std::string IdentifierCharsText();
// The same bytes as a set (what the table keeps as its IdentifierChars).
dataset::TCharSet IdentifierCharSet();

// ---- Literal pieces --------------------------------------------------------------------------

// `text` with every double quote doubled, so that it can stand between double quotes.
std::string DoubleQuoteChars(std::string_view text);
// `text` between double quotes, inner double quotes doubled: a Jet text literal.
std::string QuotedText(std::string_view text);
// `text` with each LIKE pattern character # * - ? [ ] written as "[c]", so that it matches
// itself in a LIKE pattern. "!" is copied: outside brackets it already matches itself, and
// "[!]" would start a negated character list.
std::string BracketWildcards(std::string_view text);
// A number text of the locale with "." as decimal separator: each decimal separator of `fs`
// becomes ".", each thousands separator is dropped, everything else is copied (1.234,5 gives
// 1234.5 under German settings). The result is not checked; see IsJetNumber.
std::string InvariantNumberText(std::string_view text,
                                const framework::FormatSettings& fs =
                                    framework::DefaultFormatSettings());
// True when `text` is a Jet numeric literal: an optional sign, digits with at most one ".",
// an optional exponent (E or e, optional sign, digits); blanks around it are allowed. Texts that
// fail this test must not be written into SQL unquoted.
bool IsJetNumber(std::string_view text);
// `name` split at every "." with each part in square brackets: Kunden.Name gives
// [Kunden].[Name], Name gives [Name]. The parts are not checked.
std::string BracketQualifiedName(std::string_view name);
// The 16 bytes of a GUID in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper
// case (first three groups little-endian, as Windows lays out a GUID). Empty when `bytes` is not
// exactly 16 bytes long or all bytes are zero.
std::string GuidRegistryText(const std::vector<uint8_t>& bytes);
// The braced upper-case registry form of a GUID text given braced, bare or as a record value
// ("{8-4-4-4-12}", "8-4-4-4-12" or "{guid {8-4-4-4-12}}", hexadecimal digits of either case);
// empty when `text` is not such a GUID.
std::string NormalizeGuidText(std::string_view text);
// A Jet date literal of `value` for a column of type `type`: ftDate "#mm/dd/yyyy#", ftTime
// "#hh:nn:ss#", any other type "#mm/dd/yyyy hh:nn:ss#". The "/" and ":" are literal and the
// hours run 00 to 23 whatever the locale.
std::string JetDateLiteral(framework::TDateTime value, dataset::TFieldType type);

// ---- Parameters ------------------------------------------------------------------------------

// The Jet literal of a query parameter's value, by the parameter's data type: " IS NULL" (with
// the leading blank) for a null value; a quoted text for string, memo and blob types; an
// invariant number for float, currency and BCD; a #date# for date, time and date-time; "{guid "
// + registry GUID + "}" for ftBytes; the value's own text for the other types. A value that
// cannot be written in its type's form (a text that is no number for a numeric parameter, a text
// that is no date for a date parameter) is written as a quoted text, so that no value can end up
// as SQL outside a literal. Never raises.
std::string ParamLiteral(const dataset::TParam& param,
                         const framework::FormatSettings& fs = framework::DefaultFormatSettings());

// The SQL text of `sql` (each line followed by CR LF) with the parameter tokens ":name" replaced
// by the literals of `params` (ParamLiteral). Unchanged when `param_check` is false. Tokens are
// matched as whole words (neither neighbour in `identifier_chars`), ignoring case, and only
// where the framework's parameter parser finds tokens: never inside '...' or "..." strings,
// [...] names or #...# dates, never in "::". The text is scanned once, so a substituted value is
// never searched for further tokens; where several parameters share a name, the first one in
// the collection supplies the value. A parameter without a token changes nothing. Never raises.
std::string ExpandSqlParams(const framework::TStringList& sql, const dataset::TParams& params,
                            bool param_check, const dataset::TCharSet& identifier_chars,
                            const framework::FormatSettings& fs =
                                framework::DefaultFormatSettings());

// `text` with every whole-word occurrence of `token` replaced by `value`, case ignored. An
// occurrence is a whole word when neither the byte before nor the byte after it is in
// `identifier_chars` (the start and end of the text count as blanks). A plain text replacement:
// it knows nothing of SQL strings (ExpandSqlParams does); `value` is not searched again.
std::string ReplaceParamToken(const std::string& text, const std::string& token,
                              const std::string& value, const dataset::TCharSet& identifier_chars);

// ---- Date texts ------------------------------------------------------------------------------

// A date/time text of the locale reduced to digits and separators so that the locale's date
// parser accepts it: the first "г." (the Russian year abbreviation) is removed; every byte that
// is not a digit, "/", or the date or time separator of `fs` becomes a blank; blanks are reduced
// and trimmed; only the blank before the first time separator stays, as the separator between
// date and time. "15.01.2003 г. 10:30:00" gives "15.01.2003 10:30:00". Where the settings have
// AM/PM designators (a twelve-hour clock) and one follows the time, it is appended after a blank:
// "1/15/2003 10:30 PM" stays "1/15/2003 10:30 PM".
std::string NormalizeDateText(std::string_view text,
                              const framework::FormatSettings& fs =
                                  framework::DefaultFormatSettings());

// The day/millisecond text ("D T": day number with 1 Jan 0001 = 1, a blank, milliseconds since
// midnight) of a DAO date default without its "#" marks: "month/day/year", optionally followed
// by a blank and "hour:minute:second" with an optional " AM" or " PM". "1/15/2003" gives
// "731230 0". Empty for an empty text, a number that does not parse, or a date or time out of
// range. Never raises.
std::string DefaultDateToStampText(std::string_view text);

// The date-time value of a day/millisecond text, or Null when the text has no blank, a part does
// not parse, or the day or the milliseconds are out of range (a day outside 1 Jan 0001 to 31 Dec
// 9999, milliseconds outside one day). Never raises.
framework::Variant StampTextToDate(std::string_view text);

}  // namespace daotable
