// Conditions in Jet SQL syntax built from key fields and values: the criteria of the table's
// find operations, locate and lookup, the WHERE part that restricts a detail to its master
// record, and the joining of such a condition with the table's own filter. Also the splitting of
// key field lists and key values that the searches start with, and the parsing of the master
// field pairs.
//
// Every value ends up inside a literal of its field's type: texts are quoted with inner quotes
// doubled, numbers and GUIDs are checked before they are written, dates are parsed and written
// anew. A value that cannot be written as its field's literal raises EConvertError.
#pragma once

#include <string>
#include <vector>

#include "dataset/dataset.h"
#include "dataset/db_types.h"
#include "dataset/field.h"
#include "framework/format_settings.h"
#include "framework/string_list.h"
#include "framework/variant.h"

namespace daotable {

// ---- Splitting -------------------------------------------------------------------------------

// The names of a key field list: `names` is cut at every ";" (and at line breaks), each name is
// trimmed of blanks and control characters at both ends. Empty names are kept ("a;;b" gives
// three names), except that an empty list gives no name and a final ";" adds none.
std::vector<std::string> SplitFieldList(const std::string& names);

// The texts of key values: for an array each element from its low to its high bound, otherwise
// the value itself. Null becomes the text "NULL" (which the builders below read as null); other
// values become their text in the process's format settings. Empty gives the empty text.
std::vector<std::string> SplitKeyValues(const framework::Variant& key_values);

// ---- Field kinds -----------------------------------------------------------------------------

// True when `field` is a GUID column: of type ftBytes and accepting exactly the characters
// 0-9, A-F, a-f, "-", "{" and "}".
bool IsGuidField(const dataset::TField& field);

// ---- Key conditions --------------------------------------------------------------------------

// Equality on every key field, for Lookup: terms "(name comparison)" joined by " AND ". Each
// field is looked up by name in `dataset` (its "Field 'x' not found" error passes on). With
// `use_brackets` the names are written bracketed (BracketQualifiedName). The value text "NULL"
// gives "IS NULL"; an empty value of a numeric or date field gives " IS NULL" (two blanks in the
// term); strings compare with = "text"; numbers are written invariant; date, time and date-time
// texts are normalised (NormalizeDateText, stored back into `values`), parsed with the locale
// and written as #literals#; GUID columns as {guid {...}}, other ftBytes quoted. Fields of other
// types raise EDatabaseError "Unable to build Key SQL!". A numeric text that is no number or a
// GUID text that is no GUID raises EConvertError, a date the locale cannot parse its
// EConvertError. `values` must have at least as many entries as `names` (the callers check that
// the counts agree). Empty when `names` is empty.
std::string BuildKeySQL(const std::vector<std::string>& names, std::vector<std::string>& values,
                        const dataset::TDataSet& dataset, bool use_brackets,
                        const framework::FormatSettings& fs = framework::DefaultFormatSettings());

// As BuildKeySQL, for Locate and the find operations, honouring `options`: with
// loCaseInsensitive a string value is lower-cased (and stored back into `values`) and compared
// as = LCASE("value"); with loPartialKey a string value is compared as LIKE "value*" with its
// pattern characters bracketed (LIKE LCASE("value*") with both options). The field name is never
// wrapped in LCASE. Unsupported field types raise EDatabaseError "Unable to build Lookup Key
// SQL!".
std::string BuildSearchKeySQL(const std::vector<std::string>& names,
                              std::vector<std::string>& values, dataset::TLocateOptions options,
                              const dataset::TDataSet& dataset, bool use_brackets,
                              const framework::FormatSettings& fs =
                                  framework::DefaultFormatSettings());

// ---- Master-detail ---------------------------------------------------------------------------

// The pairs of detail and master field names of a MasterFields list.
struct MasterFieldPairs {
  std::vector<std::string> detail;
  std::vector<std::string> master;
  // The master names joined by ";", as the master data link takes them.
  std::string MasterNamesText() const;
};

// Parses MasterFields: one line holding ";" pairs every non-empty piece with itself ("ID;Jahr");
// otherwise every line "detail -> master" gives a pair and lines without " -> " are ignored.
// Names are not trimmed.
MasterFieldPairs ParseMasterFields(const framework::TStringList& master_fields);

// The condition restricting a detail to the current record of `master`: for each pair the
// detail name (bracketed with `use_brackets`) compared with the value of the master field of
// the paired name (looked up in `master`; its not-found error passes on). A null master field
// gives "IS NULL"; otherwise by the master field's type: quoted text for strings, memos and
// blobs; True/False for booleans; #literals# for dates and times; GUID columns as
// {guid {...}}, other ftBytes quoted; invariant numbers for the numeric types; a non-null field
// whose text is empty gives " IS NULL". ftUnknown, ftVarBytes and ftGraphic and later types raise
// EDatabaseError "Unable to build Master/Detail SQL Relationship!". Different numbers of detail
// and master names raise EDatabaseError "The number of Master and Detail fields must be equal!".
// Empty when there are no pairs.
std::string BuildMasterDetailSQL(const std::vector<std::string>& detail_names,
                                 const std::vector<std::string>& master_names,
                                 const dataset::TDataSet& master, bool use_brackets,
                                 const framework::FormatSettings& fs =
                                     framework::DefaultFormatSettings());

// ---- Filter ----------------------------------------------------------------------------------

// `condition` joined with the table's filter: the filter counts only when `filtered`; with both
// present "(condition) AND (filter)", otherwise whichever is not empty.
std::string CombineFilter(const std::string& condition, const std::string& filter, bool filtered);

}  // namespace daotable
