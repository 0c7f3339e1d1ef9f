// A text column. Values are UTF-8; Size() is the most characters (code points) a value may
// hold (at least 1). The empty text is null, as everywhere in this system.
#pragma once

#include "dataset/field.h"

namespace dataset {

class TStringField : public TField {
 public:
  explicit TStringField(framework::TComponent* owner);
  std::string ClassName() const override { return "TStringField"; }

  // Room for Size() characters of up to four UTF-8 bytes each and the zero byte, so that a
  // value of Size() characters is never cut.
  int DataSize() const override;

  std::string AsString() const override;
  // Refuses invalid characters, zero bytes and texts longer than Size() characters; the
  // empty text clears the field.
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  framework::TDateTime AsDateTime() const override;
  void SetAsDateTime(framework::TDateTime value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  framework::Variant Value() const override;
  void SetValue(const framework::Variant& value) override;

 protected:
  int DefaultDisplayWidth() const override { return Size() > 0 ? Size() : 20; }
};

// Number of code points of a UTF-8 text (bytes that do not start a sequence are not counted).
int Utf8Length(const std::string& text);

}  // namespace dataset
