// A value of one of several kinds, as it crosses the database interface and the dataset's field
// objects: Empty, Null, Boolean, SmallInt, Integer, Int64, Single, Double, Currency, Date, String,
// Bytes and Array. Conversions follow the usual variant rules and raise EVariantError when a value
// cannot be represented in the requested kind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "framework/date_time.h"

namespace framework {

enum class VarType : uint8_t {
  Empty,
  Null,
  Boolean,
  SmallInt,
  Integer,
  Int64,
  Single,
  Double,
  Currency,  // fixed point, 4 decimals, held as value × 10000
  Date,      // a TDateTime
  String,    // UTF-8 text
  Bytes,     // raw bytes
  Array,     // variants with a low bound
};

// Name of a kind as used in conversion messages ("Null", "Integer", ...).
const char* VarTypeName(VarType type);

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool value) : type_(VarType::Boolean), data_(int64_t{value ? 1 : 0}) {}
  Variant(int value) : type_(VarType::Integer), data_(int64_t{value}) {}
  Variant(long value) : type_(VarType::Int64), data_(int64_t{value}) {}
  Variant(long long value) : type_(VarType::Int64), data_(int64_t{value}) {}
  Variant(double value) : type_(VarType::Double), data_(value) {}
  Variant(const char* value) : type_(VarType::String), data_(std::string(value)) {}
  Variant(std::string value) : type_(VarType::String), data_(std::move(value)) {}
  Variant(std::vector<uint8_t> value) : type_(VarType::Bytes), data_(std::move(value)) {}

  static Variant Null();
  static Variant SmallInt(int16_t value);
  static Variant Single(float value);
  // `scaled` is the amount × 10000.
  static Variant CurrencyScaled(int64_t scaled);
  // Rounds `amount` to four decimals.
  static Variant Currency(double amount);
  static Variant Date(TDateTime value);
  static Variant Array(std::vector<Variant> items, int low_bound = 0);

  VarType Type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::Empty; }
  bool IsNull() const { return type_ == VarType::Null; }
  // Empty or Null.
  bool IsClear() const { return type_ == VarType::Empty || type_ == VarType::Null; }
  bool IsArray() const { return type_ == VarType::Array; }
  bool IsNumeric() const;

  // Conversions. Empty converts to false, 0 and the empty text; Null converts to the empty text
  // and raises EVariantError for every other kind. A true Boolean is -1 as a number.
  bool ToBool() const;
  int32_t ToInt32() const;
  int64_t ToInt64() const;
  double ToDouble() const;
  int64_t ToCurrencyScaled() const;
  TDateTime ToDate() const;
  // Text in the conventions of the process's format settings.
  std::string ToString() const&;
  // The same; a String's text is moved out of a variant that is about to go.
  std::string ToString() &&;
  // Bytes as they are; a String gives its UTF-8 bytes.
  std::vector<uint8_t> ToBytes() const;

  // Array access; raise EVariantError when the variant is not an array or the index is out of
  // bounds.
  int ArrayLowBound() const;
  int ArrayHighBound() const;
  const Variant& ArrayItem(int index) const;
  const std::vector<Variant>& ArrayItems() const;

  // Same kind and same value (arrays element by element).
  bool operator==(const Variant& other) const;
  bool operator!=(const Variant& other) const { return !(*this == other); }

 private:
  struct ArrayData {
    std::vector<Variant> items;
    int low_bound = 0;
  };
  using Storage = std::variant<std::monostate, int64_t, double, std::string, std::vector<uint8_t>,
                               std::shared_ptr<const ArrayData>>;

  Variant(VarType type, Storage data) : type_(type), data_(std::move(data)) {}
  [[noreturn]] void ConversionError(VarType target) const;
  int64_t IntegerIn(int64_t low, int64_t high, VarType target) const;

  VarType type_ = VarType::Empty;
  Storage data_;
};

}  // namespace framework
