// Shared set-up of the dataset tests: a memory dataset of people and a data link that asks for
// a number of buffers.
#pragma once

#include <string>
#include <vector>

#include "dataset/data_link.h"
#include "dataset/data_source.h"
#include "tests/dataset/memory_dataset.h"

namespace dataset_test {

// Columns ID (integer) and Name (string of 20); rows with ids 1..count named "P1".."Pn".
inline void FillPeople(MemoryDataSet& ds, int count) {
  ds.AddColumn("ID", dataset::ftInteger);
  ds.AddColumn("Name", dataset::ftString, 20);
  for (int i = 1; i <= count; ++i)
    ds.AddRow({framework::Variant(i), framework::Variant("P" + std::to_string(i))});
}

// A link that records what it is told.
class RecordingLink : public dataset::TDataLink {
 public:
  std::vector<std::string> events;

 protected:
  void ActiveChanged() override { events.push_back(Active() ? "active" : "inactive"); }
  void DataSetChanged() override { events.push_back("changed"); }
  void DataSetScrolled(int) override { events.push_back("scrolled"); }
  void EditingChanged() override { events.push_back(Editing() ? "editing" : "not editing"); }
  void RecordChanged(dataset::TField* field) override {
    events.push_back(field != nullptr ? "record:" + field->FieldName() : "record");
  }
  void UpdateData() override { events.push_back("update"); }
};

}  // namespace dataset_test
