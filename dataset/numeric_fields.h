// Numeric and boolean columns: the integer family (integer, small integer, word, autoincrement),
// booleans, floating-point numbers and currency amounts.
#pragma once

#include <cstdint>

#include "dataset/field.h"

namespace dataset {

// A 32-bit integer column. MinValue/MaxValue narrow the accepted range when not both 0.
class TIntegerField : public TField {
 public:
  explicit TIntegerField(framework::TComponent* owner);
  std::string ClassName() const override { return "TIntegerField"; }
  int DataSize() const override { return 4; }

  int32_t MinValue() const { return min_value_; }
  int32_t MaxValue() const { return max_value_; }
  void SetMinValue(int32_t value) { min_value_ = value; }
  void SetMaxValue(int32_t value) { max_value_ = value; }

  std::string AsString() const override;
  // The empty text clears the field; other texts must be decimal integers.
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  // Rounds to the nearest integer (halves to even).
  void SetAsFloat(double value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  framework::Variant Value() const override;
  void SetValue(const framework::Variant& value) override;

 protected:
  TIntegerField(framework::TComponent* owner, TFieldType type, int64_t low, int64_t high);
  // Reads the native value; false when null.
  bool ReadValue(int32_t& value) const;
  void StoreValue(int64_t value);
  int DefaultDisplayWidth() const override { return 11; }

 private:
  int64_t type_low_;
  int64_t type_high_;
  int32_t min_value_ = 0;
  int32_t max_value_ = 0;
};

// A 16-bit signed integer column (-32768 to 32767).
class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(framework::TComponent* owner);
  std::string ClassName() const override { return "TSmallintField"; }

 protected:
  int DefaultDisplayWidth() const override { return 6; }
};

// A 16-bit unsigned integer column (0 to 65535).
class TWordField : public TIntegerField {
 public:
  explicit TWordField(framework::TComponent* owner);
  std::string ClassName() const override { return "TWordField"; }

 protected:
  int DefaultDisplayWidth() const override { return 5; }
};

// An integer column whose values the database assigns; read-only for users unless set otherwise.
class TAutoIncField : public TIntegerField {
 public:
  explicit TAutoIncField(framework::TComponent* owner);
  std::string ClassName() const override { return "TAutoIncField"; }
};

// A boolean column. DisplayValues holds the texts for true and false ("True;False").
class TBooleanField : public TField {
 public:
  explicit TBooleanField(framework::TComponent* owner);
  std::string ClassName() const override { return "TBooleanField"; }
  int DataSize() const override { return 2; }

  const std::string& DisplayValues() const { return display_values_; }
  // "yes-text;no-text"; raises EDatabaseError without the ";".
  void SetDisplayValues(const std::string& values);

  std::string AsString() const override;
  // The empty text clears; the display texts (ignoring case) and True, False, Yes, No, On,
  // Off, 1, 0, -1 are understood; anything else raises EConvertError.
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  framework::Variant Value() const override;
  void SetValue(const framework::Variant& value) override;

 protected:
  int DefaultDisplayWidth() const override { return 5; }

 private:
  std::string true_text_ = "True";
  std::string false_text_ = "False";
  std::string display_values_ = "True;False";
};

// A 64-bit floating-point column. Precision is the number of significant digits of the display
// text; MinValue/MaxValue narrow the accepted range when not both 0.
class TFloatField : public TField {
 public:
  explicit TFloatField(framework::TComponent* owner);
  std::string ClassName() const override { return "TFloatField"; }
  int DataSize() const override { return 8; }

  int Precision() const { return precision_; }
  void SetPrecision(int digits);
  double MinValue() const { return min_value_; }
  double MaxValue() const { return max_value_; }
  void SetMinValue(double value) { min_value_ = value; }
  void SetMaxValue(double value) { max_value_ = value; }

  std::string AsString() const override;
  // The empty text clears; other texts are numbers in the locale's format.
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  // Refuses infinities, NaN and values outside MinValue..MaxValue.
  void SetAsFloat(double value) override;
  framework::Variant Value() const override;
  void SetValue(const framework::Variant& value) override;

 protected:
  TFloatField(framework::TComponent* owner, TFieldType type);
  bool ReadValue(double& value) const;
  std::string GetText(bool display) const override;
  int DefaultDisplayWidth() const override { return 10; }

 private:
  int precision_ = 15;
  double min_value_ = 0;
  double max_value_ = 0;
};

// A currency column: a float column whose variant is a Currency and whose display text has two
// decimals.
class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(framework::TComponent* owner);
  std::string ClassName() const override { return "TCurrencyField"; }
  framework::Variant Value() const override;

 protected:
  std::string GetText(bool display) const override;
};

// A BCD column, held natively as a floating-point number.
class TBCDField : public TFloatField {
 public:
  explicit TBCDField(framework::TComponent* owner);
  std::string ClassName() const override { return "TBCDField"; }
};

}  // namespace dataset
