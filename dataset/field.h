// The field object: one column of a dataset as seen by its users. It carries the column's
// description (kind, type, number, size, flags, display settings) and converts between the
// dataset's native value of the column and strings, numbers, dates, booleans and variants.
//
// Native values are what the dataset's ReadFieldValue fills and WriteFieldValue receives, a
// block of DataSize() bytes:
//   string, bytes      characters followed by a zero byte (bytes: Size() bytes, zero padded)
//   integer kinds      32-bit signed integer (smallint and word use its low 16 bits)
//   boolean            16-bit integer, 0 = false
//   float, currency    64-bit floating point
//   date               32-bit day number (1 Jan of year 1 is day 1)
//   time               32-bit milliseconds since midnight
//   date-time          64-bit floating point: day number × 86 400 000 + milliseconds
//   var-bytes          16-bit length followed by the bytes
//   blob, memo         none (their content goes through a blob stream)
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/db_types.h"
#include "framework/component.h"
#include "framework/date_time.h"
#include "framework/variant.h"

namespace dataset {

class TDataSet;
class TField;

// A set of byte values, as valid characters of a field are given.
using TCharSet = std::bitset<256>;
// The set holding exactly the bytes of `chars`.
TCharSet CharSetOf(std::string_view chars);
// The set of all 256 byte values.
TCharSet AllChars();

using TFieldNotifyEvent = std::function<void(TField& field)>;
// Produces the text of a field: the display text when `display_text`, else the edit text.
using TFieldGetTextEvent =
    std::function<void(TField& field, std::string& text, bool display_text)>;
// Takes a text typed for a field in place of the field's own conversion.
using TFieldSetTextEvent = std::function<void(TField& field, const std::string& text)>;

class TField : public framework::TComponent {
 public:
  explicit TField(framework::TComponent* owner);
  // Leaves its dataset's field list.
  ~TField() override;

  std::string ClassName() const override { return "TField"; }

  // --- Description. Setters of kind, name, size and dataset are refused while the dataset
  // is open, because the record layout depends on them.
  TDataSet* DataSet() const { return dataset_; }
  // Adds the field to `dataset`'s fields (leaving its former one); null detaches it.
  void SetDataSet(TDataSet* dataset);
  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(const std::string& name);
  TFieldKind FieldKind() const { return kind_; }
  void SetFieldKind(TFieldKind kind);
  TFieldType DataType() const { return data_type_; }
  // 1-based position of the field's definition among the dataset's field definitions; 0 for a
  // field that is not bound to a definition (calculated and lookup fields, closed datasets).
  int FieldNo() const { return field_no_; }
  // Position in the dataset's field list, -1 without a dataset.
  int Index() const;
  int Size() const { return size_; }
  void SetSize(int size);
  // Bytes of the native value (see the top of this file).
  virtual int DataSize() const { return 0; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  bool Required() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  // An expression (as text) that new records get for this field; applied by the dataset.
  const std::string& DefaultExpression() const { return default_expression_; }
  void SetDefaultExpression(const std::string& text) { default_expression_ = text; }
  // The bytes accepted in a typed text (and in string values).
  const TCharSet& ValidChars() const { return valid_chars_; }
  void SetValidChars(const TCharSet& chars) { valid_chars_ = chars; }
  bool IsValidChar(unsigned char c) const { return valid_chars_.test(c); }
  // Offset of the field's slot (a presence byte and DataSize() bytes) in the calculated area of
  // a record buffer; -1 for fields that have no slot.
  int Offset() const { return offset_; }
  virtual bool IsBlob() const { return false; }
  // Calculated, lookup and internally calculated fields hold no column of the records.
  bool Calculated() const { return kind_ == fkCalculated || kind_ == fkInternalCalc; }
  bool Lookup() const { return kind_ == fkLookup; }
  // The label shown in headings: DisplayLabel when set, else the field name.
  std::string DisplayLabel() const;
  void SetDisplayLabel(const std::string& label) { display_label_ = label; }
  // Width in characters for display; a default by type until set.
  int DisplayWidth() const;
  void SetDisplayWidth(int width) { display_width_ = width; }
  // True when a value may be assigned now: the field is not read-only and its dataset can
  // modify data.
  bool CanModify() const;

  // --- Lookup fields: the value of LookupResultField of the record of LookupDataSet whose
  // LookupKeyFields equal this dataset's KeyFields (lists separated by ";").
  TDataSet* LookupDataSet() const { return lookup_dataset_; }
  void SetLookupDataSet(TDataSet* dataset);
  const std::string& KeyFields() const { return key_fields_; }
  void SetKeyFields(const std::string& names) { key_fields_ = names; }
  const std::string& LookupKeyFields() const { return lookup_key_fields_; }
  void SetLookupKeyFields(const std::string& names) { lookup_key_fields_ = names; }
  const std::string& LookupResultField() const { return lookup_result_field_; }
  void SetLookupResultField(const std::string& name) { lookup_result_field_ = name; }
  // With the cache on, lookup results are taken from a list read once from the lookup dataset
  // (RefreshLookupList) instead of a search per record.
  bool LookupCache() const { return lookup_cache_; }
  void SetLookupCache(bool value);
  // Rebuilds the cached list of key → result of a lookup field.
  void RefreshLookupList();
  // The lookup value for the key values (one value, or an array for several key fields).
  framework::Variant LookupValue(const framework::Variant& key_values);

  // --- Values. Reading a null field gives the empty text, 0, 0.0, false or a Null variant;
  // conversions that make no sense for the field's type raise EDatabaseError, texts that do not
  // parse raise EConvertError, values that do not fit raise EDatabaseError.
  bool IsNull() const;
  // Assigns null.
  void Clear() { SetData(nullptr); }
  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& value);
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual framework::TDateTime AsDateTime() const;
  virtual void SetAsDateTime(framework::TDateTime value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  // The value as a variant of the field's natural kind; Null when null.
  virtual framework::Variant Value() const;
  // Null or Empty clear the field; other kinds are converted to the field's type.
  virtual void SetValue(const framework::Variant& value);
  // The text for display (OnGetText when set) and the text for editing.
  std::string DisplayText() const;
  std::string Text() const;
  // Takes a typed text: OnSetText when set, else the valid characters are checked and the text
  // is assigned as the field's string.
  void SetText(const std::string& text);

  // --- Native access through the dataset.
  // Fills `buffer` (DataSize() bytes, or null for the null test only); false when null.
  bool GetData(void* buffer) const;
  // Stores the native value in `buffer` (null = null) through the dataset.
  void SetData(const void* buffer);
  // Called by datasets before a native value of a data field is stored: runs OnValidate.
  void Validate(const void* buffer);
  // Called by the dataset after the field's value changed: runs OnChange.
  void Change();

  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;
  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;

 protected:
  TField(framework::TComponent* owner, TFieldType type);
  // Drops the reference to a lookup dataset that goes away.
  void Notification(framework::TComponent* component, framework::TOperation operation) override;
  void SetDataType(TFieldType type) { data_type_ = type; }
  // The text of the value; `display` selects the display form. The default is AsString.
  virtual std::string GetText(bool display) const;
  // Default display width when none was set.
  virtual int DefaultDisplayWidth() const { return 10; }
  // Reads the native value into `buffer` (resized to DataSize()); false when null.
  bool ReadNative(std::vector<uint8_t>& buffer) const;
  [[noreturn]] void AccessError(const char* type_name) const;
  [[noreturn]] void RangeError(const std::string& value, const std::string& low,
                               const std::string& high) const;
  // Refuses a text holding a byte that is not a valid character of the field.
  void CheckValidChars(const std::string& text) const;
  // The dataset, or an error when the field has none.
  TDataSet& CheckDataSet() const;

 private:
  friend class TDataSet;

  TDataSet* dataset_ = nullptr;
  std::string field_name_;
  TFieldKind kind_ = fkData;
  TFieldType data_type_ = ftUnknown;
  int field_no_ = 0;
  int size_ = 0;
  int offset_ = -1;
  bool read_only_ = false;
  bool required_ = false;
  bool visible_ = true;
  std::string default_expression_;
  TCharSet valid_chars_;
  std::string display_label_;
  int display_width_ = 0;
  TDataSet* lookup_dataset_ = nullptr;
  std::string key_fields_;
  std::string lookup_key_fields_;
  std::string lookup_result_field_;
  bool lookup_cache_ = false;
  bool lookup_list_valid_ = false;
  std::map<std::string, framework::Variant> lookup_list_;
};

// The ordered field objects of a dataset. It does not own them.
class TFields {
 public:
  explicit TFields(TDataSet* dataset) : dataset_(dataset) {}

  int Count() const { return static_cast<int>(fields_.size()); }
  TField* Fields(int index) const { return fields_.at(index); }
  TField* operator[](int index) const { return fields_.at(index); }
  // The field of that name (ignoring case), or null.
  TField* FindField(const std::string& name) const;
  // As FindField; raises EDatabaseError "Field 'name' not found" when there is none.
  TField& FieldByName(const std::string& name) const;
  int IndexOf(const TField* field) const;
  TDataSet* DataSet() const { return dataset_; }

  std::vector<TField*>::const_iterator begin() const { return fields_.begin(); }
  std::vector<TField*>::const_iterator end() const { return fields_.end(); }

 private:
  friend class TDataSet;
  friend class TField;
  void Add(TField* field) { fields_.push_back(field); }
  void Remove(TField* field);

  TDataSet* dataset_;
  std::vector<TField*> fields_;
};

// Splits a field-name list at ";" and trims blanks around each name; empty names are dropped.
std::vector<std::string> SplitFieldNames(const std::string& names);

}  // namespace dataset
