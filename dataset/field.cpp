#include "dataset/field.h"

#include <algorithm>

#include "dataset/dataset.h"
#include "dataset/db_error.h"
#include "framework/strings.h"

namespace dataset {

namespace {

// The text by which a key value (one value or an array) is found in a lookup list.
std::string KeyText(const framework::Variant& key) {
  if (!key.IsArray()) return key.IsNull() ? std::string("\x01null") : key.ToString();
  std::string text;
  for (const framework::Variant& item : key.ArrayItems()) {
    text += KeyText(item);
    text += '\x1f';
  }
  return text;
}

}  // namespace

TCharSet CharSetOf(std::string_view chars) {
  TCharSet set;
  for (unsigned char c : chars) set.set(c);
  return set;
}

TCharSet AllChars() {
  TCharSet set;
  set.set();
  return set;
}

std::vector<std::string> SplitFieldNames(const std::string& names) {
  std::vector<std::string> result;
  for (const std::string& part : framework::SplitString(names, ';')) {
    std::string name = framework::Trim(part);
    if (!name.empty()) result.push_back(std::move(name));
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// TField

TField::TField(framework::TComponent* owner) : TField(owner, ftUnknown) {}

TField::TField(framework::TComponent* owner, TFieldType type)
    : framework::TComponent(owner), data_type_(type), valid_chars_(AllChars()) {}

TField::~TField() {
  if (dataset_ != nullptr) dataset_->RemoveField(this);
  dataset_ = nullptr;
}

void TField::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if ((dataset_ != nullptr && dataset_->Active()) || (dataset != nullptr && dataset->Active()))
    DatabaseError("Cannot perform this operation on an open dataset",
                  dataset_ != nullptr ? dataset_ : dataset);
  if (dataset != nullptr) dataset->AddField(this);
  if (dataset_ != nullptr) {
    dataset_->fields_.Remove(this);
    dataset_->DataEvent(deLayoutChange);
  }
  dataset_ = dataset;
}

void TField::SetFieldName(const std::string& name) {
  if (name == field_name_) return;
  if (dataset_ != nullptr) {
    dataset_->CheckInactive();
    TField* other = dataset_->FindField(name);
    if (other != nullptr && other != this)
      DatabaseError("Duplicate field name '" + name + "'", dataset_);
  }
  field_name_ = name;
}

void TField::SetFieldKind(TFieldKind kind) {
  if (dataset_ != nullptr) dataset_->CheckInactive();
  kind_ = kind;
}

void TField::SetSize(int size) {
  if (dataset_ != nullptr) dataset_->CheckInactive();
  if (size < 0) DatabaseError("Invalid size " + std::to_string(size) + " for field '" + field_name_ + "'");
  size_ = size;
}

int TField::Index() const { return dataset_ != nullptr ? dataset_->fields_.IndexOf(this) : -1; }

std::string TField::DisplayLabel() const {
  return display_label_.empty() ? field_name_ : display_label_;
}

int TField::DisplayWidth() const {
  return display_width_ > 0 ? display_width_ : DefaultDisplayWidth();
}

bool TField::CanModify() const {
  return !read_only_ && kind_ != fkLookup && dataset_ != nullptr && dataset_->CanModify();
}

void TField::Notification(framework::TComponent* component, framework::TOperation operation) {
  framework::TComponent::Notification(component, operation);
  if (operation == framework::TOperation::opRemove && component == lookup_dataset_) {
    lookup_dataset_ = nullptr;
    lookup_list_valid_ = false;
    lookup_list_.clear();
  }
}

// ---------------------------------------------------------------------------------------------
// Lookup

void TField::SetLookupDataSet(TDataSet* dataset) {
  if (dataset == lookup_dataset_) return;
  if (lookup_dataset_ != nullptr) RemoveFreeNotification(lookup_dataset_);
  lookup_dataset_ = dataset;
  if (dataset != nullptr) FreeNotification(dataset);
  lookup_list_valid_ = false;
  lookup_list_.clear();
}

void TField::SetLookupCache(bool value) {
  lookup_cache_ = value;
  lookup_list_valid_ = false;
  lookup_list_.clear();
}

void TField::RefreshLookupList() {
  lookup_list_.clear();
  lookup_list_valid_ = false;
  if (lookup_dataset_ == nullptr || !lookup_dataset_->Active()) return;
  TDataSet& source = *lookup_dataset_;
  std::vector<TField*> keys;
  for (const std::string& name : SplitFieldNames(lookup_key_fields_))
    keys.push_back(&source.FieldNamed(name));
  TField& result = source.FieldNamed(lookup_result_field_);
  const TBookmark start = source.TakeBookmark();
  source.DisableControls();
  try {
    source.GoFirst();
    while (!source.AtEnd()) {
      std::vector<framework::Variant> values;
      for (TField* key : keys) values.push_back(key->Value());
      const framework::Variant key =
          values.size() == 1 ? values[0] : framework::Variant::Array(std::move(values));
      lookup_list_.emplace(KeyText(key), result.Value());
      source.GoNext();
    }
    if (!start.empty()) source.ReturnToBookmark(start);
  } catch (...) {
    source.EnableControls();
    lookup_list_.clear();
    throw;
  }
  source.EnableControls();
  lookup_list_valid_ = true;
}

framework::Variant TField::LookupValue(const framework::Variant& key_values) {
  if (lookup_dataset_ == nullptr || !lookup_dataset_->Active() || lookup_result_field_.empty())
    return framework::Variant::Null();
  if (!lookup_cache_)
    return lookup_dataset_->Lookup(lookup_key_fields_, key_values, lookup_result_field_);
  if (!lookup_list_valid_) RefreshLookupList();
  const auto it = lookup_list_.find(KeyText(key_values));
  return it == lookup_list_.end() ? framework::Variant::Null() : it->second;
}

// ---------------------------------------------------------------------------------------------
// Values

TDataSet& TField::CheckDataSet() const {
  if (dataset_ == nullptr) DatabaseError("Field '" + field_name_ + "' has no dataset");
  return *dataset_;
}

bool TField::GetData(void* buffer) const { return CheckDataSet().GetFieldValue(*this, buffer); }

void TField::SetData(const void* buffer) { CheckDataSet().SetFieldValue(*this, buffer); }

void TField::Validate(const void* /*buffer*/) {
  if (OnValidate) OnValidate(*this);
}

void TField::Change() {
  if (OnChange) OnChange(*this);
}

bool TField::IsNull() const { return !GetData(nullptr); }

bool TField::ReadNative(std::vector<uint8_t>& buffer) const {
  buffer.assign(static_cast<size_t>(std::max(DataSize(), 1)), 0);
  return GetData(buffer.data());
}

void TField::AccessError(const char* type_name) const {
  DatabaseError("Field '" + DisplayLabel() + "' of type " + FieldTypeName(data_type_) +
                    " cannot be accessed as " + type_name,
                dataset_);
}

void TField::RangeError(const std::string& value, const std::string& low,
                        const std::string& high) const {
  DatabaseError("Value " + value + " is out of range for field '" + DisplayLabel() + "' (" + low +
                    " to " + high + ")",
                dataset_);
}

void TField::CheckValidChars(const std::string& text) const {
  for (unsigned char c : text) {
    if (valid_chars_.test(c)) continue;
    const std::string shown = c >= 32 && c < 127 ? "'" + std::string(1, static_cast<char>(c)) + "'"
                                                 : "#" + std::to_string(c);
    DatabaseError("Invalid character " + shown + " in a value for field '" + DisplayLabel() + "'",
                  dataset_);
  }
}

std::string TField::AsString() const { AccessError("String"); }
void TField::SetAsString(const std::string&) { AccessError("String"); }
int32_t TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int32_t) { AccessError("Integer"); }
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
framework::TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(framework::TDateTime) { AccessError("DateTime"); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
framework::Variant TField::Value() const { AccessError("Variant"); }
void TField::SetValue(const framework::Variant&) { AccessError("Variant"); }

std::string TField::GetText(bool /*display*/) const { return AsString(); }

std::string TField::DisplayText() const {
  if (OnGetText) {
    std::string text;
    OnGetText(const_cast<TField&>(*this), text, true);
    return text;
  }
  return GetText(true);
}

std::string TField::Text() const {
  if (OnGetText) {
    std::string text;
    OnGetText(const_cast<TField&>(*this), text, false);
    return text;
  }
  return GetText(false);
}

void TField::SetText(const std::string& text) {
  if (OnSetText) {
    OnSetText(*this, text);
    return;
  }
  CheckValidChars(text);
  SetAsString(text);
}

// ---------------------------------------------------------------------------------------------
// TFields

TField* TFields::FindField(const std::string& name) const {
  for (TField* field : fields_)
    if (framework::SameText(field->FieldName(), name)) return field;
  return nullptr;
}

TField& TFields::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) DatabaseError("Field '" + name + "' not found", dataset_);
  return *field;
}

int TFields::IndexOf(const TField* field) const {
  const auto it = std::find(fields_.begin(), fields_.end(), field);
  return it == fields_.end() ? -1 : static_cast<int>(it - fields_.begin());
}

void TFields::Remove(TField* field) {
  fields_.erase(std::remove(fields_.begin(), fields_.end(), field), fields_.end());
}

}  // namespace dataset
