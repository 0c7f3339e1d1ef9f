#include <gtest/gtest.h>

#include "dataset/data_source.h"
#include "dataset/dataset_form_classes.h"
#include "dataset/numeric_fields.h"
#include "framework/form_classes.h"
#include "framework/form_reader.h"
#include "memory_dataset.h"

namespace dataset_test {
namespace {

TEST(DatasetFormClasses, PersistentFieldsAndDataSourcesComeFromAForm) {
  dataset::RegisterDatasetClasses();
  framework::TComponent module(nullptr);
  auto* table = new MemoryDataSet(&module);
  table->SetName("Fahrer");
  framework::ReadComponentText(
      "object Data: TComponent\n"
      "  object Fahrer1: TDataSource\n"
      "    DataSet = Fahrer\n"
      "  end\n"
      "  object Fahrer: TDataSet\n"
      "    FieldDefs = <\n"
      "      item\n"
      "        Name = 'ID'\n"
      "        DataType = ftAutoInc\n"
      "      end\n"
      "      item\n"
      "        Name = 'Mitarbeiter'\n"
      "        DataType = ftString\n"
      "        Size = 255\n"
      "      end>\n"
      "    object FahrerPersonalnr: TIntegerField\n"
      "      FieldName = 'Personalnr'\n"
      "    end\n"
      "    object FahrerMitarbeiter: TStringField\n"
      "      FieldName = 'Mitarbeiter'\n"
      "      Size = 255\n"
      "    end\n"
      "    object FahrerID: TAutoIncField\n"
      "      FieldName = 'ID'\n"
      "      ReadOnly = True\n"
      "    end\n"
      "  end\n"
      "end\n",
      &module);
  auto* source = dynamic_cast<dataset::TDataSource*>(module.FindComponent("Fahrer1"));
  ASSERT_NE(nullptr, source);
  EXPECT_EQ(table, source->DataSet());
  ASSERT_EQ(3, table->FieldCount());
  EXPECT_EQ("Personalnr", table->Fields()[0]->FieldName());
  EXPECT_EQ(dataset::ftInteger, table->Fields()[0]->DataType());
  EXPECT_EQ(255, table->FieldNamed("Mitarbeiter").Size());
  EXPECT_TRUE(table->FieldNamed("ID").ReadOnly());
  EXPECT_EQ(table, table->FieldNamed("ID").DataSet());
  ASSERT_EQ(2, table->FieldDefs().Count());
  EXPECT_EQ(dataset::ftAutoInc, table->FieldDefs().Items(0).DataType());
  EXPECT_EQ("Mitarbeiter", table->FieldDefs().Items(1).Name());
  EXPECT_EQ(255, table->FieldDefs().Items(1).Size());
}

}  // namespace
}  // namespace dataset_test
