#include "dataset/field_defs.h"

#include "dataset/binary_fields.h"
#include "dataset/dataset.h"
#include "dataset/date_time_fields.h"
#include "dataset/db_error.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "framework/strings.h"

namespace dataset {

TField* CreateFieldOfType(TFieldType type, framework::TComponent* owner) {
  switch (type) {
    case ftString: case ftFixedChar: case ftWideString: return new TStringField(owner);
    case ftSmallint: return new TSmallintField(owner);
    case ftInteger: return new TIntegerField(owner);
    case ftWord: return new TWordField(owner);
    case ftAutoInc: return new TAutoIncField(owner);
    case ftBoolean: return new TBooleanField(owner);
    case ftFloat: return new TFloatField(owner);
    case ftCurrency: return new TCurrencyField(owner);
    case ftBCD: return new TBCDField(owner);
    case ftDate: return new TDateField(owner);
    case ftTime: return new TTimeField(owner);
    case ftDateTime: return new TDateTimeField(owner);
    case ftBytes: return new TBytesField(owner);
    case ftVarBytes: return new TVarBytesField(owner);
    case ftBlob: case ftGraphic: case ftTypedBinary: return new TBlobField(owner);
    case ftMemo: case ftFmtMemo: return new TMemoField(owner);
    default: return nullptr;
  }
}

TField* TFieldDef::CreateField(framework::TComponent* owner, TDataSet* dataset) const {
  TField* field = CreateFieldOfType(data_type_, owner);
  if (field == nullptr) return nullptr;
  try {
    switch (data_type_) {
      case ftString: case ftFixedChar: case ftWideString: case ftBytes: case ftVarBytes:
        field->SetSize(size_ > 0 ? size_ : (data_type_ == ftBytes || data_type_ == ftVarBytes ? 16 : 255));
        break;
      default:
        field->SetSize(size_);
    }
    field->SetFieldName(name_);
    field->SetRequired(required_);
    if (dataset != nullptr) field->SetDataSet(dataset);
  } catch (...) {
    delete field;
    throw;
  }
  return field;
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  if (name.empty()) DatabaseError("A field definition needs a name", dataset_);
  if (IndexOf(name) >= 0) DatabaseError("Duplicate field name '" + name + "'", dataset_);
  items_.push_back(std::make_unique<TFieldDef>(name, type, size, required, Count() + 1));
  return *items_.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (framework::SameText(items_[i]->Name(), name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(const std::string& name) {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : items_[index].get();
}

TFieldDef& TFieldDefs::FieldDefNamed(const std::string& name) {
  TFieldDef* def = Find(name);
  if (def == nullptr) DatabaseError("Field '" + name + "' not found", dataset_);
  return *def;
}

void TFieldDefs::Update() {
  if (dataset_ != nullptr) dataset_->UpdateFieldDefs();
}

}  // namespace dataset
