// One property value of a form file: a number, text, identifier, set, list, collection of
// items, or binary data, as the form reader parses it and the form writer prints it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/string_list.h"

namespace framework {

// How deep blocks, lists and collections of a form file may nest. Real forms nest a few levels;
// the reader refuses more (its parser is recursive) and the writer never writes more.
constexpr int kMaxFormNesting = 100;

class TFormValue;
// The properties of one collection item, in file order.
using TFormItem = std::vector<std::pair<std::string, TFormValue>>;

class TFormValue {
 public:
  enum class Kind { Integer, Float, String, Identifier, Set, List, Collection, Binary };

  TFormValue() : kind_(Kind::Identifier) {}
  static TFormValue Integer(int64_t value);
  static TFormValue Float(double value);
  static TFormValue String(std::string value);
  // An identifier: an enumeration value, True/False, or the name of another component.
  static TFormValue Identifier(std::string name);
  static TFormValue Boolean(bool value) { return Identifier(value ? "True" : "False"); }
  static TFormValue Set(std::vector<std::string> members);
  static TFormValue List(std::vector<TFormValue> items);
  static TFormValue Strings(const TStringList& lines);
  static TFormValue Collection(std::vector<TFormItem> items);
  static TFormValue Binary(std::vector<uint8_t> bytes);

  Kind kind() const { return kind_; }

  // Conversions for property setters; each raises EComponentError "Invalid property value"
  // when the value is of another kind.
  bool AsBoolean() const;          // the identifiers True and False (any case)
  int64_t AsInteger() const;       // an integer
  int32_t AsInt32() const;         // an integer within 32 bits
  double AsFloat() const;          // an integer or a float
  const std::string& AsString() const;      // a quoted text
  const std::string& AsIdentifier() const;  // an identifier
  const std::vector<std::string>& AsSet() const;
  const std::vector<TFormValue>& AsList() const;
  // A list whose items are all texts.
  TStringList AsStrings() const;
  const std::vector<TFormItem>& AsCollection() const;
  const std::vector<uint8_t>& AsBinary() const;

  bool operator==(const TFormValue& other) const;
  bool operator!=(const TFormValue& other) const { return !(*this == other); }

 private:
  explicit TFormValue(Kind kind) : kind_(kind) {}
  [[noreturn]] static void Invalid();

  Kind kind_;
  int64_t integer_ = 0;
  double float_ = 0;
  std::string text_;  // String and Identifier
  std::vector<std::string> members_;
  std::vector<TFormValue> items_;
  std::vector<TFormItem> collection_;
  std::vector<uint8_t> bytes_;
};

}  // namespace framework
