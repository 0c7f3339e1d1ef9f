#include "dao/table/key_conditions.h"

#include "dao/table/sql_text.h"
#include "framework/exception.h"
#include "framework/strings.h"
#include "framework/text_encoding.h"

namespace daotable {

namespace {

using dataset::TFieldType;
using framework::EConvertError;
using framework::EDatabaseError;
using framework::FormatSettings;

std::string Term(const std::string& name, const std::string& comparison, bool use_brackets) {
  return "(" + (use_brackets ? BracketQualifiedName(name) : name) + " " + comparison + ")";
}

void AppendTerm(std::string& condition, const std::string& term) {
  if (!condition.empty()) condition += " AND ";
  condition += term;
}

bool IsNumericType(TFieldType type) {
  switch (type) {
    case dataset::ftSmallint: case dataset::ftInteger: case dataset::ftWord:
    case dataset::ftBoolean: case dataset::ftFloat: case dataset::ftCurrency:
    case dataset::ftBCD: case dataset::ftAutoInc:
      return true;
    default:
      return false;
  }
}

bool IsDateType(TFieldType type) {
  return type == dataset::ftDate || type == dataset::ftTime || type == dataset::ftDateTime;
}

bool IsStringType(TFieldType type) {
  return type == dataset::ftString || type == dataset::ftBlob || type == dataset::ftMemo;
}

bool IsJetBooleanWord(const std::string& text) {
  const std::string word = framework::LowerCase(framework::Trim(text));
  return word == "true" || word == "false" || word == "yes" || word == "no" || word == "on" ||
         word == "off";
}

// "= n" for a numeric key text; refuses a text that would not be a number in the SQL.
std::string NumberComparison(const std::string& value, TFieldType type, const FormatSettings& fs) {
  const std::string number = InvariantNumberText(value, fs);
  if (IsJetNumber(number)) return "= " + number;
  if (type == dataset::ftBoolean && IsJetBooleanWord(value)) return "= " + framework::Trim(value);
  throw EConvertError("'" + value + "' is not a valid number");
}

std::string GuidComparison(const std::string& value) {
  const std::string guid = NormalizeGuidText(value);
  if (guid.empty()) throw EConvertError("'" + value + "' is not a valid GUID");
  return "= {guid " + guid + "}";
}

// The comparison shared by both key builders for every type but the string types; `error` is
// the builder's message for unsupported types.
std::string KeyComparison(const dataset::TField& field, std::string& value, const char* error,
                          const FormatSettings& fs) {
  const TFieldType type = field.DataType();
  if (IsNumericType(type)) {
    if (value.empty()) return " IS NULL";
    return NumberComparison(value, type, fs);
  }
  if (IsDateType(type)) {
    if (value.empty()) return " IS NULL";
    value = NormalizeDateText(value, fs);
    return "= " + JetDateLiteral(framework::StrToDateTime(value, fs), type);
  }
  if (type == dataset::ftBytes) {
    if (value.empty()) return " IS NULL";
    if (IsGuidField(field)) return GuidComparison(value);
    return "= " + QuotedText(value);
  }
  throw EDatabaseError(error);
}

std::string BuildKeyCondition(const std::vector<std::string>& names,
                              std::vector<std::string>& values, dataset::TLocateOptions options,
                              bool search, const dataset::TDataSet& dataset, bool use_brackets,
                              const FormatSettings& fs) {
  const char* error = search ? "Unable to build Lookup Key SQL!" : "Unable to build Key SQL!";
  const bool case_insensitive = search && (options & dataset::loCaseInsensitive) != 0;
  const bool partial = search && (options & dataset::loPartialKey) != 0;
  std::string condition;
  for (size_t i = 0; i < names.size(); ++i) {
    const dataset::TField& field = dataset.FieldNamed(names[i]);
    std::string& value = values.at(i);
    std::string comparison;
    if (value == "NULL") {
      comparison = "IS NULL";
    } else if (IsStringType(field.DataType())) {
      if (case_insensitive) value = framework::Utf8LowerCase(value);
      if (partial) {
        const std::string pattern = '"' + DoubleQuoteChars(BracketWildcards(value)) + "*\"";
        comparison = case_insensitive ? "LIKE LCASE(" + pattern + ")" : "LIKE " + pattern;
      } else {
        comparison = case_insensitive ? "= LCASE(" + QuotedText(value) + ")"
                                      : "= " + QuotedText(value);
      }
    } else {
      comparison = KeyComparison(field, value, error, fs);
    }
    AppendTerm(condition, Term(names[i], comparison, use_brackets));
  }
  return condition;
}

}  // namespace

// ---- Splitting -------------------------------------------------------------------------------

std::vector<std::string> SplitFieldList(const std::string& names) {
  std::string text = names;
  for (char& c : text)
    if (c == ';') c = '\n';
  framework::TStringList list;
  list.SetText(text);
  std::vector<std::string> result;
  result.reserve(list.Count());
  for (int i = 0; i < list.Count(); ++i) result.push_back(framework::Trim(list.Strings(i)));
  return result;
}

std::vector<std::string> SplitKeyValues(const framework::Variant& key_values) {
  auto text_of = [](const framework::Variant& value) {
    return value.IsNull() ? std::string("NULL") : value.ToString();
  };
  std::vector<std::string> result;
  if (key_values.IsArray()) {
    for (int i = key_values.ArrayLowBound(); i <= key_values.ArrayHighBound(); ++i)
      result.push_back(text_of(key_values.ArrayItem(i)));
  } else {
    result.push_back(text_of(key_values));
  }
  return result;
}

// ---- Field kinds -----------------------------------------------------------------------------

bool IsGuidField(const dataset::TField& field) {
  static const dataset::TCharSet guid_chars = dataset::CharSetOf("0123456789ABCDEFabcdef-{}");
  return field.DataType() == dataset::ftBytes && field.ValidChars() == guid_chars;
}

// ---- Key conditions --------------------------------------------------------------------------

std::string BuildKeySQL(const std::vector<std::string>& names, std::vector<std::string>& values,
                        const dataset::TDataSet& dataset, bool use_brackets,
                        const FormatSettings& fs) {
  return BuildKeyCondition(names, values, 0, false, dataset, use_brackets, fs);
}

std::string BuildSearchKeySQL(const std::vector<std::string>& names,
                              std::vector<std::string>& values, dataset::TLocateOptions options,
                              const dataset::TDataSet& dataset, bool use_brackets,
                              const FormatSettings& fs) {
  return BuildKeyCondition(names, values, options, true, dataset, use_brackets, fs);
}

// ---- Master-detail ---------------------------------------------------------------------------

std::string MasterFieldPairs::MasterNamesText() const {
  std::string text;
  for (size_t i = 0; i < master.size(); ++i) {
    if (i > 0) text += ';';
    text += master[i];
  }
  return text;
}

MasterFieldPairs ParseMasterFields(const framework::TStringList& master_fields) {
  MasterFieldPairs pairs;
  if (master_fields.Count() == 1 && master_fields.Strings(0).find(';') != std::string::npos) {
    for (const std::string& piece : framework::SplitString(master_fields.Strings(0), ';')) {
      if (piece.empty()) continue;
      pairs.detail.push_back(piece);
      pairs.master.push_back(piece);
    }
    return pairs;
  }
  for (int i = 0; i < master_fields.Count(); ++i) {
    const std::string& line = master_fields.Strings(i);
    const size_t arrow = line.find(" -> ");
    if (arrow == std::string::npos) continue;
    pairs.detail.push_back(line.substr(0, arrow));
    pairs.master.push_back(line.substr(arrow + 4));
  }
  return pairs;
}

std::string BuildMasterDetailSQL(const std::vector<std::string>& detail_names,
                                 const std::vector<std::string>& master_names,
                                 const dataset::TDataSet& master, bool use_brackets,
                                 const FormatSettings& fs) {
  if (detail_names.size() != master_names.size())
    throw EDatabaseError("The number of Master and Detail fields must be equal!");
  std::string condition;
  for (size_t i = 0; i < detail_names.size(); ++i) {
    const dataset::TField& field = master.FieldNamed(master_names[i]);
    const TFieldType type = field.DataType();
    std::string comparison;
    if (field.IsNull()) {
      comparison = "IS NULL";
    } else if (type == dataset::ftUnknown || type == dataset::ftVarBytes ||
               type >= dataset::ftGraphic) {
      throw EDatabaseError("Unable to build Master/Detail SQL Relationship!");
    } else if (IsStringType(type)) {
      comparison = "= " + QuotedText(field.AsString());
    } else if (field.AsString().empty()) {
      comparison = " IS NULL";
    } else if (type == dataset::ftBoolean) {
      comparison = field.AsBoolean() ? "= True" : "= False";
    } else if (IsDateType(type)) {
      comparison = "= " + JetDateLiteral(field.AsDateTime(), type);
    } else if (type == dataset::ftBytes) {
      if (IsGuidField(field))
        comparison = "= {guid " + GuidRegistryText(field.Value().ToBytes()) + "}";
      else
        comparison = "= " + QuotedText(field.AsString());
    } else {
      // Numbers are written from the value, so that the text cannot carry separators or
      // symbols of a display format.
      const bool integral = type == dataset::ftSmallint || type == dataset::ftInteger ||
                            type == dataset::ftWord || type == dataset::ftAutoInc;
      const std::string text =
          integral ? field.AsString() : framework::FloatToStr(field.AsFloat(), fs);
      comparison = NumberComparison(text, type, fs);
    }
    AppendTerm(condition, Term(detail_names[i], comparison, use_brackets));
  }
  return condition;
}

// ---- Filter ----------------------------------------------------------------------------------

std::string CombineFilter(const std::string& condition, const std::string& filter, bool filtered) {
  const std::string own = filtered ? filter : std::string();
  if (condition.empty()) return own;
  if (own.empty()) return condition;
  return "(" + condition + ") AND (" + own + ")";
}

}  // namespace daotable
