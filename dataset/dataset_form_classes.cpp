#include "dataset/dataset_form_classes.h"

#include "dataset/binary_fields.h"
#include "dataset/data_source.h"
#include "dataset/dataset.h"
#include "dataset/date_time_fields.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "framework/form_classes.h"

namespace dataset {

namespace {

// A field created by the form reader belongs to the dataset whose block encloses it.
template <class F>
framework::TComponent* CreateField(framework::TComponent* owner) {
  auto* field = new F(owner);
  if (auto* dataset = dynamic_cast<TDataSet*>(owner)) field->SetDataSet(dataset);
  return field;
}

template <class F>
void RegisterField(const char* name, const char* parent) {
  framework::TClassRegistrar<F>(name, parent).Create(CreateField<F>).Commit();
}

}  // namespace

void RegisterDatasetClasses() {
  static const bool registered = [] {
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
