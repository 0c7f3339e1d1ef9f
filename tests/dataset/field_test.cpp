// Field objects: conversions between native values and strings, numbers, dates, booleans and
// variants, validation on assignment, display texts, calculated and lookup fields, filtering.
#include <cmath>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataset/binary_fields.h"
#include "dataset/date_time_fields.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "tests/dataset/test_support.h"

namespace dataset_test {
namespace {

using ::testing::ElementsAre;
using framework::Variant;

// One column of every kind, one record, in edit state.
class Fields : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::SetFormatSettings(framework::FormatSettings::German());
    ds.AddColumn("S", dataset::ftString, 5);
    ds.AddColumn("I", dataset::ftInteger);
    ds.AddColumn("SI", dataset::ftSmallint);
    ds.AddColumn("W", dataset::ftWord);
    ds.AddColumn("B", dataset::ftBoolean);
    ds.AddColumn("F", dataset::ftFloat);
    ds.AddColumn("C", dataset::ftCurrency);
    ds.AddColumn("D", dataset::ftDate);
    ds.AddColumn("T", dataset::ftTime);
    ds.AddColumn("DT", dataset::ftDateTime);
    ds.AddColumn("BY", dataset::ftBytes, 4);
    ds.AddColumn("VB", dataset::ftVarBytes, 4);
    ds.AddColumn("M", dataset::ftMemo);
    ds.AddColumn("BL", dataset::ftBlob);
    ds.AddColumn("A", dataset::ftAutoInc);
    ds.AddRow({});
    ds.Open();
    ds.BeginEdit();
  }
  dataset::TField& F(const char* name) { return ds.FieldNamed(name); }
  MemoryDataSet ds;
};

TEST_F(Fields, DefaultFieldsHaveTheClassesAndNumbersOfTheirDefinitions) {
  EXPECT_EQ(F("S").ClassName(), "TStringField");
  EXPECT_EQ(F("SI").ClassName(), "TSmallintField");
  EXPECT_EQ(F("C").ClassName(), "TCurrencyField");
  EXPECT_EQ(F("DT").ClassName(), "TDateTimeField");
  EXPECT_EQ(F("VB").ClassName(), "TVarBytesField");
  EXPECT_EQ(F("M").ClassName(), "TMemoField");
  EXPECT_EQ(F("A").ClassName(), "TAutoIncField");
  EXPECT_EQ(F("S").FieldNo(), 1);
  EXPECT_EQ(F("A").FieldNo(), 15);
  EXPECT_EQ(F("S").Size(), 5);
  EXPECT_EQ(F("I").DataType(), dataset::ftInteger);
  EXPECT_TRUE(F("M").IsBlob());
  EXPECT_FALSE(F("BY").IsBlob());
  EXPECT_EQ(F("S").DisplayLabel(), "S");
  F("S").SetDisplayLabel("Kurz");
  EXPECT_EQ(F("S").DisplayLabel(), "Kurz");
  EXPECT_EQ(F("S").DisplayWidth(), 5);
}

TEST_F(Fields, NullValuesReadAsEmptyAndZero) {
  for (dataset::TField* field : ds.Fields()) {
    EXPECT_TRUE(field->IsNull()) << field->FieldName();
    EXPECT_TRUE(field->Value().IsNull()) << field->FieldName();
    EXPECT_EQ(field->AsString(), "") << field->FieldName();
  }
  EXPECT_EQ(F("I").AsInteger(), 0);
  EXPECT_EQ(F("F").AsFloat(), 0.0);
  EXPECT_FALSE(F("B").AsBoolean());
}

TEST_F(Fields, StringFieldValidatesLengthCharactersAndConverts) {
  F("S").SetAsString("Müßig");  // five characters, seven bytes
  EXPECT_EQ(F("S").AsString(), "Müßig");
  EXPECT_THROW(F("S").SetAsString("sechs!"), framework::EDatabaseError);
  EXPECT_EQ(F("S").AsString(), "Müßig") << "a refused value changes nothing";
  F("S").SetValidChars(dataset::CharSetOf("0123456789"));
  EXPECT_THROW(F("S").SetAsString("12a"), framework::EDatabaseError);
  F("S").SetAsInteger(123);
  EXPECT_EQ(F("S").AsInteger(), 123);
  F("S").SetAsString("");
  EXPECT_TRUE(F("S").IsNull()) << "the empty text is null";
  F("S").SetValidChars(dataset::AllChars());
  F("S").SetAsString("abc");
  EXPECT_THROW(F("S").AsInteger(), framework::EConvertError);
}

TEST_F(Fields, IntegerFieldsParseAndCheckTheirRange) {
  F("I").SetAsString(" 4711 ");
  EXPECT_EQ(F("I").AsInteger(), 4711);
  EXPECT_EQ(F("I").Value(), Variant(4711));
  EXPECT_THROW(F("I").SetAsString("47x"), framework::EConvertError);
  F("I").SetAsString("");
  EXPECT_TRUE(F("I").IsNull());
  F("I").SetAsFloat(2.5);
  EXPECT_EQ(F("I").AsInteger(), 2) << "halves round to even";
  EXPECT_THROW(F("I").SetAsFloat(1e12), framework::EDatabaseError);

  F("SI").SetAsInteger(-32768);
  EXPECT_EQ(F("SI").AsInteger(), -32768);
  EXPECT_EQ(F("SI").Value().Type(), framework::VarType::SmallInt);
  EXPECT_THROW(F("SI").SetAsInteger(40000), framework::EDatabaseError);
  EXPECT_THROW(F("W").SetAsInteger(-1), framework::EDatabaseError);
  F("W").SetAsInteger(65535);
  EXPECT_EQ(F("W").AsInteger(), 65535);

  auto& bounded = static_cast<dataset::TIntegerField&>(F("I"));
  bounded.SetMinValue(1);
  bounded.SetMaxValue(10);
  try {
    bounded.SetAsInteger(11);
    FAIL();
  } catch (const framework::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Value 11 is out of range for field 'I' (1 to 10)");
  }
  F("I").SetValue(Variant("7"));
  EXPECT_EQ(F("I").AsInteger(), 7);
  F("I").SetValue(Variant::Null());
  EXPECT_TRUE(F("I").IsNull());
}

TEST_F(Fields, BooleanFieldUnderstandsItsTexts) {
  F("B").SetAsString("Yes");
  EXPECT_TRUE(F("B").AsBoolean());
  EXPECT_EQ(F("B").AsString(), "True");
  F("B").SetAsString("off");
  EXPECT_FALSE(F("B").AsBoolean());
  EXPECT_FALSE(F("B").IsNull());
  auto& flag = static_cast<dataset::TBooleanField&>(F("B"));
  flag.SetDisplayValues("Ja;Nein");
  F("B").SetAsString("ja");
  EXPECT_EQ(F("B").AsString(), "Ja");
  EXPECT_EQ(F("B").Value(), Variant(true));
  EXPECT_THROW(F("B").SetAsString("vielleicht"), framework::EConvertError);
  EXPECT_THROW(flag.SetDisplayValues("Ja"), framework::EDatabaseError);
}

TEST_F(Fields, FloatAndCurrencyFieldsUseTheLocale) {
  F("F").SetAsString("1234,5");
  EXPECT_DOUBLE_EQ(F("F").AsFloat(), 1234.5);
  EXPECT_EQ(F("F").AsString(), "1234,5");
  static_cast<dataset::TFloatField&>(F("F")).SetPrecision(3);
  F("F").SetAsFloat(3.14159);
  EXPECT_EQ(F("F").DisplayText(), "3,14");
  EXPECT_EQ(F("F").AsString(), "3,14159");
  EXPECT_THROW(F("F").SetAsFloat(std::nan("")), framework::EDatabaseError);
  EXPECT_THROW(F("F").SetAsString("1,2,3"), framework::EConvertError);
  F("C").SetAsFloat(12.5);
  EXPECT_EQ(F("C").DisplayText(), "12,50");
  EXPECT_EQ(F("C").Value().Type(), framework::VarType::Currency);
}

TEST_F(Fields, DateAndTimeFieldsKeepTheirPart) {
  const double moment = framework::EncodeDate(2003, 1, 15) + framework::EncodeTime(22, 30, 5, 0);
  F("D").SetAsDateTime(moment);
  F("T").SetAsDateTime(moment);
  F("DT").SetAsDateTime(moment);
  EXPECT_DOUBLE_EQ(F("D").AsDateTime(), framework::EncodeDate(2003, 1, 15));
  EXPECT_NEAR(F("T").AsDateTime(), framework::EncodeTime(22, 30, 5, 0), 1e-9);
  EXPECT_NEAR(F("DT").AsDateTime(), moment, 1e-9);
  EXPECT_EQ(F("D").AsString(), "15.01.2003");
  EXPECT_EQ(F("T").AsString(), "22:30:05");
  EXPECT_EQ(F("DT").AsString(), "15.01.2003 22:30:05");
  EXPECT_EQ(F("DT").Value().Type(), framework::VarType::Date);
  F("D").SetAsString("01.02.1999");
  EXPECT_DOUBLE_EQ(F("D").AsDateTime(), framework::EncodeDate(1999, 2, 1));
  EXPECT_THROW(F("D").SetAsString("31.02.1999"), framework::EConvertError);
  EXPECT_THROW(F("DT").SetAsDateTime(1e9), framework::EDatabaseError);
  static_cast<dataset::TDateTimeField&>(F("D")).SetDisplayFormat("yyyy-mm-dd");
  EXPECT_EQ(F("D").DisplayText(), "1999-02-01");
  F("DT").SetValue(Variant(37636.5));
  EXPECT_EQ(F("DT").AsString(), "15.01.2003 12:00:00");
}

TEST_F(Fields, BytesFieldsPadAndRefuseTooMuch) {
  F("BY").SetAsString("ab");
  EXPECT_EQ(F("BY").AsString(), std::string("ab\0\0", 4));
  EXPECT_THROW(F("BY").SetAsString("abcde"), framework::EDatabaseError);
  F("VB").SetValue(Variant(std::vector<uint8_t>{1, 0, 2}));
  EXPECT_EQ(F("VB").Value(), Variant(std::vector<uint8_t>{1, 0, 2}));
}

TEST_F(Fields, BlobAndMemoFieldsGoThroughTheBlobStream) {
  F("M").SetAsString("Zeile 1\r\nZeile 2");
  EXPECT_EQ(F("M").AsString(), "Zeile 1\r\nZeile 2");
  EXPECT_EQ(F("M").Value().Type(), framework::VarType::String);
  EXPECT_EQ(F("M").DisplayText(), "(MEMO)");
  F("BL").SetValue(Variant(std::vector<uint8_t>{0, 1, 2}));
  EXPECT_EQ(static_cast<dataset::TBlobField&>(F("BL")).BlobSize(), 3);
  ds.PostRecord();
  EXPECT_EQ(ds.Row(0)[12].ToString(), "Zeile 1\r\nZeile 2");
  EXPECT_THROW(F("M").SetAsString("x"), framework::EDatabaseError) << "not in edit mode";
}

TEST_F(Fields, TextHandlersReplaceTheFieldsOwnConversion) {
  F("I").OnGetText = [](dataset::TField& field, std::string& text, bool display) {
    text = display ? "#" + std::to_string(field.AsInteger()) : std::to_string(field.AsInteger());
  };
  F("I").OnSetText = [](dataset::TField& field, const std::string& text) {
    field.SetAsInteger(static_cast<int32_t>(text.size()));
  };
  F("I").SetText("abcd");
  EXPECT_EQ(F("I").AsInteger(), 4);
  EXPECT_EQ(F("I").DisplayText(), "#4");
  EXPECT_EQ(F("I").Text(), "4");
  F("I").OnSetText = nullptr;
  EXPECT_THROW(F("I").SetText("x1"), framework::EDatabaseError) << "invalid character for integers";
}

TEST_F(Fields, FieldNamedRaisesForAnUnknownName) {
  ds.SetName("Fahrer");
  try {
    ds.FieldNamed("Nope");
    FAIL();
  } catch (const framework::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Fahrer: Field 'Nope' not found");
  }
  EXPECT_EQ(ds.FindField("nope"), nullptr);
  EXPECT_EQ(ds.FindField("s"), &F("S")) << "names ignore case";
}

TEST_F(Fields, ValidateAndChangeEventsRunAroundAWrite) {
  std::vector<std::string> seen;
  F("I").OnValidate = [&](dataset::TField&) { seen.push_back("validate"); };
  F("I").OnChange = [&](dataset::TField&) { seen.push_back("change"); };
  F("I").SetAsInteger(3);
  EXPECT_THAT(seen, ElementsAre("validate", "change"));
  F("I").OnValidate = [](dataset::TField&) { throw framework::EDatabaseError("nein"); };
  EXPECT_THROW(F("I").SetAsInteger(4), framework::EDatabaseError);
  EXPECT_EQ(F("I").AsInteger(), 3);
}

TEST(FieldLayout, PersistentFieldsOfAnOpenDatasetCannotChange) {
  MemoryDataSet ds;
  FillPeople(ds, 1);
  auto* id = new dataset::TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  ds.Open();
  EXPECT_THROW(id->SetFieldName("X"), framework::EDatabaseError);
  EXPECT_THROW(id->SetFieldKind(dataset::fkCalculated), framework::EDatabaseError);
  auto* other = new dataset::TStringField(nullptr);
  EXPECT_THROW(other->SetDataSet(&ds), framework::EDatabaseError);
  delete other;
}

TEST(FieldLayout, ATypeMismatchOfAPersistentFieldRefusesToOpen) {
  MemoryDataSet ds;
  FillPeople(ds, 1);
  auto* name = new dataset::TIntegerField(&ds);
  name->SetFieldName("Name");
  name->SetDataSet(&ds);
  EXPECT_THROW(ds.Open(), framework::EDatabaseError);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.live_buffers, 0);
}

TEST(FieldLayout, DestroyingAFieldOfAnOpenDatasetClosesItFirst) {
  MemoryDataSet ds;
  FillPeople(ds, 1);
  auto* id = new dataset::TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  ds.Open();
  delete id;
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 0);
  EXPECT_EQ(ds.live_buffers, 0);
}

// ---------------------------------------------------------------------------------------------
// Calculated and lookup fields, filtering

TEST(CalculatedFields, HaveSlotsInTheCalculatedAreaAndAreComputedPerRecord) {
  MemoryDataSet ds;
  FillPeople(ds, 3);
  auto* id = new dataset::TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* label = new dataset::TStringField(&ds);
  label->SetFieldName("Label");
  label->SetSize(10);
  label->SetFieldKind(dataset::fkCalculated);
  label->SetDataSet(&ds);
  auto* square = new dataset::TIntegerField(&ds);
  square->SetFieldName("Square");
  square->SetFieldKind(dataset::fkCalculated);
  square->SetDataSet(&ds);
  ds.OnCalcFields = [&](dataset::TDataSet& d) {
    EXPECT_EQ(d.State(), dataset::stCalcFields);
    label->SetAsString("Nr. " + id->AsString());
    square->SetAsInteger(id->AsInteger() * id->AsInteger());
  };
  ds.Open();
  EXPECT_EQ(label->Offset(), 0);
  EXPECT_EQ(square->Offset(), 1 + label->DataSize());
  EXPECT_EQ(ds.CalcFieldsSize(), 2 + label->DataSize() + 4);
  EXPECT_EQ(square->FieldNo(), 0);
  ds.GoLast();
  EXPECT_EQ(label->AsString(), "Nr. 3");
  EXPECT_EQ(square->AsInteger(), 9);
  EXPECT_THROW(square->SetAsInteger(1), framework::EDatabaseError) << "not in edit mode";
}

TEST(CalculatedFields, LookupFieldsFetchFromAnotherDataset) {
  MemoryDataSet cities;
  cities.AddColumn("Code", dataset::ftInteger);
  cities.AddColumn("City", dataset::ftString, 20);
  cities.AddRow({Variant(1), Variant("Bonn")});
  cities.AddRow({Variant(2), Variant("Köln")});
  cities.Open();

  for (bool cached : {false, true}) {
    MemoryDataSet people;
    people.AddColumn("Name", dataset::ftString, 20);
    people.AddColumn("Code", dataset::ftInteger);
    people.AddRow({Variant("A"), Variant(2)});
    people.AddRow({Variant("B"), Variant(3)});
    for (const char* name : {"Name", "Code"}) {
      dataset::TField* field =
          dataset::CreateFieldOfType(std::string(name) == "Code" ? dataset::ftInteger : dataset::ftString, &people);
      field->SetFieldName(name);
      field->SetDataSet(&people);
    }
    auto* city = new dataset::TStringField(&people);
    city->SetFieldName("City");
    city->SetFieldKind(dataset::fkLookup);
    city->SetLookupDataSet(&cities);
    city->SetKeyFields("Code");
    city->SetLookupKeyFields("Code");
    city->SetLookupResultField("City");
    city->SetLookupCache(cached);
    city->SetDataSet(&people);
    people.Open();
    EXPECT_EQ(city->AsString(), "Köln") << "cached " << cached;
    people.GoNext();
    EXPECT_TRUE(city->IsNull()) << "no city with code 3";
    people.Close();
  }
  EXPECT_EQ(cities.FieldNamed("City").AsString(), "Bonn") << "the lookup source did not move";
}

TEST(Filtering, OnFilterRecordSkipsRecordsWhileFiltered) {
  MemoryDataSet ds;
  FillPeople(ds, 6);
  ds.OnFilterRecord = [](dataset::TDataSet& d, bool& accept) {
    EXPECT_EQ(d.State(), dataset::stFilter);
    accept = d.FieldNamed("ID").AsInteger() % 2 == 0;
  };
  ds.Open();
  EXPECT_EQ(ds.FieldNamed("ID").AsInteger(), 1) << "not filtered yet";
  ds.SetFiltered(true);
  std::vector<int> ids;
  for (ds.GoFirst(); !ds.AtEnd(); ds.GoNext()) ids.push_back(ds.FieldNamed("ID").AsInteger());
  EXPECT_THAT(ids, ElementsAre(2, 4, 6));
  EXPECT_EQ(ds.RecordCount(), 3);
  ds.GoLast();
  EXPECT_EQ(ds.RecNo(), 3);
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 6);
}

TEST(Searching, LocateAndLookupWalkTheRecords) {
  MemoryDataSet ds;
  FillPeople(ds, 5);
  ds.Open();
  EXPECT_TRUE(ds.Locate("Name", Variant("p4"), dataset::loCaseInsensitive));
  EXPECT_EQ(ds.FieldNamed("ID").AsInteger(), 4);
  EXPECT_TRUE(ds.Found());
  EXPECT_FALSE(ds.Locate("ID;Name", Variant::Array({Variant(2), Variant("P3")}), 0));
  EXPECT_EQ(ds.FieldNamed("ID").AsInteger(), 4) << "no match leaves the record current";
  EXPECT_TRUE(ds.Locate("Name", Variant("P"), dataset::loPartialKey));
  EXPECT_EQ(ds.FieldNamed("ID").AsInteger(), 1);
  EXPECT_THROW(ds.Locate("ID;Name", Variant(1), 0), framework::EDatabaseError);
  EXPECT_THROW(ds.Locate("Nope", Variant(1), 0), framework::EDatabaseError);

  ds.GoLast();
  EXPECT_EQ(ds.Lookup("ID", Variant(2), "Name"), Variant("P2"));
  EXPECT_EQ(ds.Lookup("ID", Variant(3), "Name;ID"),
            Variant::Array({Variant("P3"), Variant(3)}));
  EXPECT_TRUE(ds.Lookup("ID", Variant(9), "Name").IsNull());
  EXPECT_EQ(ds.FieldNamed("ID").AsInteger(), 5) << "Lookup does not move";
  ds.GoPrior();
  EXPECT_EQ(ds.FieldNamed("ID").AsInteger(), 4) << "and the cursor still matches the ring";
}

}  // namespace
}  // namespace dataset_test
