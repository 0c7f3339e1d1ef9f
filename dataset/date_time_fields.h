// Date, time and date-time columns. Their values are framework::TDateTime (days since
// 30 Dec 1899); natively they are day numbers and milliseconds (see field.h).
#pragma once

#include "dataset/field.h"

namespace dataset {

// The common part: conversions to and from text and variants through AsDateTime.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(framework::TComponent* owner);
  std::string ClassName() const override { return "TDateTimeField"; }
  int DataSize() const override { return 8; }

  // Format of the display text (FormatDateTime letters); empty: the locale's default form.
  const std::string& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(const std::string& format) { display_format_ = format; }

  std::string AsString() const override;
  // The empty text clears; other texts are parsed in the locale's date and time formats.
  void SetAsString(const std::string& value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  framework::TDateTime AsDateTime() const override;
  // Refuses values outside 1 Jan 0001 .. 31 Dec 9999.
  void SetAsDateTime(framework::TDateTime value) override;
  framework::Variant Value() const override;
  void SetValue(const framework::Variant& value) override;

 protected:
  TDateTimeField(framework::TComponent* owner, TFieldType type);
  // Reads the native value as a date-time; false when null.
  virtual bool ReadDateTime(framework::TDateTime& value) const;
  // Stores a date-time (already checked) natively.
  virtual void StoreDateTime(framework::TDateTime value);
  // Text of a value in the locale's default form of this field type.
  virtual std::string DefaultText(framework::TDateTime value) const;
  virtual bool ParseText(const std::string& text, framework::TDateTime& value) const;
  std::string GetText(bool display) const override;
  int DefaultDisplayWidth() const override { return 18; }

 private:
  std::string display_format_;
};

// A date column (the time of day is dropped on assignment).
class TDateField : public TDateTimeField {
 public:
  explicit TDateField(framework::TComponent* owner);
  std::string ClassName() const override { return "TDateField"; }
  int DataSize() const override { return 4; }

 protected:
  bool ReadDateTime(framework::TDateTime& value) const override;
  void StoreDateTime(framework::TDateTime value) override;
  std::string DefaultText(framework::TDateTime value) const override;
  bool ParseText(const std::string& text, framework::TDateTime& value) const override;
  int DefaultDisplayWidth() const override { return 10; }
};

// A time-of-day column (the date is dropped on assignment).
class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(framework::TComponent* owner);
  std::string ClassName() const override { return "TTimeField"; }
  int DataSize() const override { return 4; }

 protected:
  bool ReadDateTime(framework::TDateTime& value) const override;
  void StoreDateTime(framework::TDateTime value) override;
  std::string DefaultText(framework::TDateTime value) const override;
  bool ParseText(const std::string& text, framework::TDateTime& value) const override;
  int DefaultDisplayWidth() const override { return 8; }
};

}  // namespace dataset
