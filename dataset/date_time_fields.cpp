#include "dataset/date_time_fields.h"

#include <cmath>
#include <cstring>

#include "dataset/dataset.h"
#include "dataset/db_error.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/strings.h"

namespace dataset {

namespace {

// 1 Jan 0001 and the day after 31 Dec 9999 as date-time values.
constexpr double kFirstDate = 1 - framework::kDateDelta;
constexpr double kDayAfterLastDate = 3652060 - framework::kDateDelta;

}  // namespace

TDateTimeField::TDateTimeField(framework::TComponent* owner)
    : TDateTimeField(owner, ftDateTime) {}

TDateTimeField::TDateTimeField(framework::TComponent* owner, TFieldType type)
    : TField(owner, type) {}

bool TDateTimeField::ReadDateTime(framework::TDateTime& value) const {
  std::vector<uint8_t> buffer;
  if (!ReadNative(buffer)) return false;
  double milliseconds;
  std::memcpy(&milliseconds, buffer.data(), sizeof milliseconds);
  framework::TTimeStamp stamp;
  const double days = std::floor(milliseconds / framework::kMillisecondsPerDay);
  stamp.Date = static_cast<int32_t>(days);
  stamp.Time = static_cast<int32_t>(milliseconds - days * framework::kMillisecondsPerDay);
  value = framework::TimeStampToDateTime(stamp);
  return true;
}

void TDateTimeField::StoreDateTime(framework::TDateTime value) {
  const framework::TTimeStamp stamp = framework::DateTimeToTimeStamp(value);
  const double milliseconds =
      static_cast<double>(stamp.Date) * framework::kMillisecondsPerDay + stamp.Time;
  SetData(&milliseconds);
}

std::string TDateTimeField::DefaultText(framework::TDateTime value) const {
  return framework::DateTimeToStr(value);
}

bool TDateTimeField::ParseText(const std::string& text, framework::TDateTime& value) const {
  return framework::TryStrToDateTime(text, value);
}

std::string TDateTimeField::AsString() const {
  framework::TDateTime value;
  return ReadDateTime(value) ? DefaultText(value) : std::string();
}

std::string TDateTimeField::GetText(bool display) const {
  framework::TDateTime value;
  if (!ReadDateTime(value)) return std::string();
  if (display && !display_format_.empty()) return framework::FormatDateTime(display_format_, value);
  return DefaultText(value);
}

void TDateTimeField::SetAsString(const std::string& value) {
  const std::string text = framework::Trim(value);
  if (text.empty()) {
    Clear();
    return;
  }
  framework::TDateTime parsed;
  if (!ParseText(text, parsed))
    throw framework::EConvertError("'" + value + "' is not a valid " +
                                   framework::LowerCase(FieldTypeName(DataType())) +
                                   " for field '" + DisplayLabel() + "'");
  SetAsDateTime(parsed);
}

framework::TDateTime TDateTimeField::AsDateTime() const {
  framework::TDateTime value;
  return ReadDateTime(value) ? value : 0.0;
}

void TDateTimeField::SetAsDateTime(framework::TDateTime value) {
  if (!(value >= kFirstDate && value < kDayAfterLastDate))
    RangeError(std::isfinite(value) ? framework::FloatToStr(value) : std::string("(not a number)"),
               "01.01.0001", "31.12.9999");
  StoreDateTime(value);
}

double TDateTimeField::AsFloat() const { return AsDateTime(); }

void TDateTimeField::SetAsFloat(double value) { SetAsDateTime(value); }

framework::Variant TDateTimeField::Value() const {
  framework::TDateTime value;
  if (!ReadDateTime(value)) return framework::Variant::Null();
  return framework::Variant::Date(value);
}

void TDateTimeField::SetValue(const framework::Variant& value) {
  if (value.IsClear())
    Clear();
  else if (value.Type() == framework::VarType::String)
    SetAsString(value.ToString());
  else
    SetAsDateTime(value.ToDate());
}

// ---------------------------------------------------------------------------------------------

TDateField::TDateField(framework::TComponent* owner) : TDateTimeField(owner, ftDate) {}

bool TDateField::ReadDateTime(framework::TDateTime& value) const {
  std::vector<uint8_t> buffer;
  if (!ReadNative(buffer)) return false;
  int32_t day;
  std::memcpy(&day, buffer.data(), sizeof day);
  value = static_cast<double>(day) - framework::kDateDelta;
  return true;
}

void TDateField::StoreDateTime(framework::TDateTime value) {
  const int32_t day = framework::DateTimeToTimeStamp(value).Date;
  SetData(&day);
}

std::string TDateField::DefaultText(framework::TDateTime value) const {
  return framework::DateToStr(value);
}

bool TDateField::ParseText(const std::string& text, framework::TDateTime& value) const {
  return framework::TryStrToDate(text, value);
}

TTimeField::TTimeField(framework::TComponent* owner) : TDateTimeField(owner, ftTime) {}

bool TTimeField::ReadDateTime(framework::TDateTime& value) const {
  std::vector<uint8_t> buffer;
  if (!ReadNative(buffer)) return false;
  int32_t milliseconds;
  std::memcpy(&milliseconds, buffer.data(), sizeof milliseconds);
  value = static_cast<double>(milliseconds) / framework::kMillisecondsPerDay;
  return true;
}

void TTimeField::StoreDateTime(framework::TDateTime value) {
  const int32_t milliseconds = framework::DateTimeToTimeStamp(value).Time;
  SetData(&milliseconds);
}

std::string TTimeField::DefaultText(framework::TDateTime value) const {
  return framework::TimeToStr(value);
}

bool TTimeField::ParseText(const std::string& text, framework::TDateTime& value) const {
  return framework::TryStrToTime(text, value);
}

}  // namespace dataset
