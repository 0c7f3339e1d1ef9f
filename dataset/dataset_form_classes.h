// Makes the data source and the field classes known to the form reader, so that a form file can
// declare a dataset's persistent fields (as blocks nested in the dataset's block) and data
// sources.
#pragma once

namespace dataset {

// Registers TDataSet (the base of dataset classes, storing FieldDefs), TDataSource and the field
// classes with their stored properties (calling it again is harmless). A field block nested in a dataset's block is created owned by that dataset and added
// to its fields.
void RegisterDatasetClasses();

}  // namespace dataset
