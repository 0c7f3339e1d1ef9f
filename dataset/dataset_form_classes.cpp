#include "dataset/dataset_form_classes.h"

#include "dataset/binary_fields.h"
#include "dataset/data_source.h"
#include "dataset/dataset.h"
#include "dataset/date_time_fields.h"
#include "dataset/field_defs.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "framework/exception.h"
#include "framework/form_classes.h"
#include "framework/strings.h"

namespace dataset {

namespace {

// A field created by the form reader belongs to the dataset whose block encloses it.
template <class F>
framework::TComponent* CreateField(framework::TComponent* owner) {
  auto* field = new F(owner);
  if (auto* dataset = dynamic_cast<TDataSet*>(owner)) field->SetDataSet(dataset);
  return field;
}

// "ftAutoInc" and the other field type names as form files write them.
std::string FieldTypeIdentifier(TFieldType type) { return std::string("ft") + FieldTypeName(type); }

TFieldType FieldTypeOfIdentifier(const std::string& id) {
  for (int t = 0; t <= ftFMTBcd; ++t)
    if (framework::SameText(id, FieldTypeIdentifier(static_cast<TFieldType>(t))))
      return static_cast<TFieldType>(t);
  throw framework::EComponentError("Invalid property value: " + id);
}

// FieldDefs: a collection of items with Name, DataType, Size and Required.
framework::TPropertyInfo FieldDefsProperty() {
  framework::TPropertyInfo p;
  p.name = "FieldDefs";
  p.set = [](framework::TComponent& c, const framework::TFormValue& v) {
    TFieldDefs& defs = dynamic_cast<TDataSet&>(c).FieldDefs();
    defs.Clear();
    for (const framework::TFormItem& item : v.AsCollection()) {
      std::string name;
      TFieldType type = ftUnknown;
      int size = 0;
      bool required = false;
      for (const auto& [key, value] : item) {
        if (framework::SameText(key, "Name")) name = value.AsString();
        else if (framework::SameText(key, "DataType")) type = FieldTypeOfIdentifier(value.AsIdentifier());
        else if (framework::SameText(key, "Size")) size = value.AsInt32();
        else if (framework::SameText(key, "Required")) required = value.AsBoolean();
        else throw framework::EComponentError("Unknown property of a field definition: " + key);
      }
      defs.Add(name, type, size, required);
    }
  };
  p.get = [](const framework::TComponent& c) {
    const TFieldDefs& defs = dynamic_cast<const TDataSet&>(c).FieldDefs();
    std::vector<framework::TFormItem> items;
    for (int i = 0; i < defs.Count(); ++i) {
      const TFieldDef& def = defs.Items(i);
      framework::TFormItem item{{"Name", framework::TFormValue::String(def.Name())},
                                {"DataType", framework::TFormValue::Identifier(FieldTypeIdentifier(def.DataType()))}};
      if (def.Size() != 0) item.emplace_back("Size", framework::TFormValue::Integer(def.Size()));
      if (def.Required()) item.emplace_back("Required", framework::TFormValue::Boolean(true));
      items.push_back(std::move(item));
    }
    return framework::TFormValue::Collection(std::move(items));
  };
  p.stored = [](const framework::TComponent& c) {
    return dynamic_cast<const TDataSet&>(c).FieldDefs().Count() > 0;
  };
  return p;
}

template <class F>
void RegisterField(const char* name, const char* parent) {
  framework::TClassRegistrar<F>(name, parent).Create(CreateField<F>).Commit();
}

}  // namespace

void RegisterDatasetClasses() {
  static const bool registered = [] {
    // The base of every dataset class: what any dataset stores.
    framework::TClassRegistrar<TDataSet>("TDataSet", "TComponent").Property(FieldDefsProperty()).Commit();

    framework::TClassRegistrar<TDataSource>("TDataSource", "TComponent")
        .Creatable()
        .Reference<TDataSet>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
        .Boolean("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled, true)
        .Boolean("AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit, true)
        .Commit();

    // The properties every field class stores; the classes themselves add none.
    framework::TClassRegistrar<TField>("TField", "TComponent")
        .String("FieldName", &TField::FieldName, &TField::SetFieldName)
        .Integer("Size", &TField::Size, &TField::SetSize, 0)
        .Boolean("Required", &TField::Required, &TField::SetRequired, false)
        .Boolean("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly, false)
        .Boolean("Visible", &TField::Visible, &TField::SetVisible, true)
        .String("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel)
        .Integer("DisplayWidth", &TField::DisplayWidth, &TField::SetDisplayWidth)
        .String("DefaultExpression", &TField::DefaultExpression, &TField::SetDefaultExpression)
        .Commit();
    RegisterField<TStringField>("TStringField", "TField");
    RegisterField<TIntegerField>("TIntegerField", "TField");
    RegisterField<TSmallintField>("TSmallintField", "TField");
    RegisterField<TWordField>("TWordField", "TField");
    RegisterField<TAutoIncField>("TAutoIncField", "TField");
    RegisterField<TBooleanField>("TBooleanField", "TField");
    RegisterField<TFloatField>("TFloatField", "TField");
    RegisterField<TCurrencyField>("TCurrencyField", "TField");
    RegisterField<TBCDField>("TBCDField", "TField");
    RegisterField<TDateField>("TDateField", "TField");
    RegisterField<TTimeField>("TTimeField", "TField");
    RegisterField<TDateTimeField>("TDateTimeField", "TField");
    RegisterField<TBytesField>("TBytesField", "TField");
    RegisterField<TVarBytesField>("TVarBytesField", "TField");
    RegisterField<TBlobField>("TBlobField", "TField");
    RegisterField<TMemoField>("TMemoField", "TField");
    return true;
  }();
  (void)registered;
}

}  // namespace dataset
