// Key conditions of searches, lookups and master-detail links, built against the fields of an
// in-memory dataset, under German and US format settings; values that try to leave their
// literal.
#include "dao/table/key_conditions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dao/table/sql_text.h"
#include "framework/date_time.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "tests/dao/table/table_test_support.h"
#include "tests/dataset/memory_dataset.h"

namespace {

using daotable::BuildKeySQL;
using daotable::BuildSearchKeySQL;
using dataset::loCaseInsensitive;
using dataset::loPartialKey;
using framework::FormatSettings;
using framework::Variant;

const std::vector<uint8_t> kGuidBytes = {0x3D, 0x2C, 0x1B, 0x0A, 0x5F, 0x4E, 0x71, 0x60,
                                         0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9};
const char kGuidText[] = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";

using daotabletest::UsSettings;

// A table with a column of every kind the builders tell apart, holding one record.
class KeyConditionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = framework::DefaultFormatSettings();
    framework::SetFormatSettings(FormatSettings::German());
    ds_.AddColumn("Personalnr", dataset::ftInteger);
    ds_.AddColumn("Mitarbeiter", dataset::ftString, 40);
    ds_.AddColumn("Betrag", dataset::ftFloat);
    ds_.AddColumn("Datum", dataset::ftDate);
    ds_.AddColumn("Zeit", dataset::ftTime);
    ds_.AddColumn("Stempel", dataset::ftDateTime);
    ds_.AddColumn("Aktiv", dataset::ftBoolean);
    ds_.AddColumn("Kennung", dataset::ftBytes, 16);
    ds_.AddColumn("Roh", dataset::ftBytes, 4);
    ds_.AddColumn("Lang", dataset::ftVarBytes, 8);
    const framework::TDateTime stamp =
        framework::EncodeDate(2003, 1, 15) + framework::EncodeTime(22, 30, 5, 0);
    ds_.AddRow({Variant(4711), Variant("O\"Neil"), Variant(1234.5), Variant::Date(stamp),
                Variant::Date(stamp), Variant::Date(stamp), Variant(true), Variant(kGuidBytes),
                Variant("a\"b)"), Variant(std::vector<uint8_t>{1, 2})});
    ds_.Open();
    ds_.FieldNamed("Kennung").SetValidChars(dataset::CharSetOf("0123456789ABCDEFabcdef-{}"));
  }
  void TearDown() override { framework::SetFormatSettings(saved_); }

  std::string Key(const std::string& name, const std::string& value, bool use_brackets = true) {
    std::vector<std::string> values = {value};
    return BuildKeySQL({name}, values, ds_, use_brackets);
  }
  std::string Search(const std::string& name, std::string& value,
                     dataset::TLocateOptions options) {
    std::vector<std::string> values = {value};
    std::string condition = BuildSearchKeySQL({name}, values, options, ds_, true);
    value = values[0];
    return condition;
  }

  dataset_test::MemoryDataSet ds_;
  FormatSettings saved_;
};

TEST(SplitTest, FieldListsAndKeyValues) {
  using V = std::vector<std::string>;
  EXPECT_EQ(daotable::SplitFieldList("Personalnr"), V{"Personalnr"});
  EXPECT_EQ(daotable::SplitFieldList(" Name ; Vorname\t"), (V{"Name", "Vorname"}));
  EXPECT_EQ(daotable::SplitFieldList("a;;b"), (V{"a", "", "b"}));
  EXPECT_EQ(daotable::SplitFieldList(";a"), (V{"", "a"}));
  EXPECT_EQ(daotable::SplitFieldList("a;"), V{"a"});
  EXPECT_EQ(daotable::SplitFieldList(""), V{});

  const FormatSettings saved = framework::DefaultFormatSettings();
  framework::SetFormatSettings(FormatSettings::German());
  EXPECT_EQ(daotable::SplitKeyValues(Variant(4711)), V{"4711"});
  EXPECT_EQ(daotable::SplitKeyValues(Variant::Null()), V{"NULL"});
  EXPECT_EQ(daotable::SplitKeyValues(Variant()), V{""});
  EXPECT_EQ(daotable::SplitKeyValues(Variant::Array({Variant(1), Variant("Meier"), Variant::Null(),
                                                     Variant(1.5), Variant(true)},
                                                    1)),
            (V{"1", "Meier", "NULL", "1,5", "True"}));
  framework::SetFormatSettings(saved);
}

TEST_F(KeyConditionsTest, EachTypeInItsLiteralForm) {
  struct Case {
    std::string field, value, condition;
  };
  const std::vector<Case> cases = {
      {"Personalnr", "4711", "([Personalnr] = 4711)"},
      {"Personalnr", "NULL", "([Personalnr] IS NULL)"},
      {"Personalnr", "", "([Personalnr]  IS NULL)"},
      {"Mitarbeiter", "Meier", "([Mitarbeiter] = \"Meier\")"},
      {"Mitarbeiter", "12\"Rohr", "([Mitarbeiter] = \"12\"\"Rohr\")"},
      {"Mitarbeiter", "", "([Mitarbeiter] = \"\")"},
      {"Mitarbeiter", "NULL", "([Mitarbeiter] IS NULL)"},
      {"Mitarbeiter", "null", "([Mitarbeiter] = \"null\")"},
      {"Betrag", "1.234,5", "([Betrag] = 1234.5)"},
      {"Betrag", "-0,25", "([Betrag] = -0.25)"},
      {"Datum", "31.12.2001", "([Datum] = #12/31/2001#)"},
      {"Datum", "", "([Datum]  IS NULL)"},
      {"Zeit", "22:30:05", "([Zeit] = #22:30:05#)"},
      {"Stempel", "15.01.2003 г. 22:30:05", "([Stempel] = #01/15/2003 22:30:05#)"},
      {"Aktiv", "True", "([Aktiv] = True)"},
      {"Aktiv", "0", "([Aktiv] = 0)"},
      {"Kennung", "{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}", std::string("([Kennung] = {guid ") + kGuidText + "})"},
      {"Kennung", "", "([Kennung]  IS NULL)"},
      {"Roh", "ab", "([Roh] = \"ab\")"},
      {"Lang", "NULL", "([Lang] IS NULL)"},
  };
  for (const Case& c : cases) EXPECT_EQ(Key(c.field, c.value), c.condition) << c.field << " " << c.value;
  EXPECT_EQ(Key("Personalnr", "4711", false), "(Personalnr = 4711)");
}

TEST_F(KeyConditionsTest, SeveralKeysAndValuesStoredBack) {
  std::vector<std::string> values = {"4711", "Meier", "Datum 31. 12. 2001"};
  EXPECT_EQ(BuildKeySQL({"Personalnr", "Mitarbeiter", "Datum"}, values, ds_, true),
            "([Personalnr] = 4711) AND ([Mitarbeiter] = \"Meier\") AND ([Datum] = #12/31/2001#)");
  EXPECT_EQ(values[2], "31.12.2001");
  std::vector<std::string> none;
  EXPECT_EQ(BuildKeySQL({}, none, ds_, true), "");
  EXPECT_EQ(BuildSearchKeySQL({}, none, loPartialKey, ds_, true), "");
}

TEST_F(KeyConditionsTest, SearchOptionsOnStrings) {
  struct Case {
    std::string value;
    dataset::TLocateOptions options;
    std::string condition, stored;
  };
  const std::vector<Case> cases = {
      {"AbC", 0, "([Mitarbeiter] = \"AbC\")", "AbC"},
      {"AbC", loCaseInsensitive, "([Mitarbeiter] = LCASE(\"abc\"))", "abc"},
      {"a*b", loPartialKey, "([Mitarbeiter] LIKE \"a[*]b*\")", "a*b"},
      {"ÄRGER-?", loPartialKey | loCaseInsensitive, "([Mitarbeiter] LIKE LCASE(\"ärger[-][?]*\"))",
       "ärger-?"},
      {"", loPartialKey, "([Mitarbeiter] LIKE \"*\")", ""},
      {"NULL", loPartialKey | loCaseInsensitive, "([Mitarbeiter] IS NULL)", "NULL"},
  };
  for (const Case& c : cases) {
    std::string value = c.value;
    EXPECT_EQ(Search("Mitarbeiter", value, c.options), c.condition) << c.value;
    EXPECT_EQ(value, c.stored) << c.value;
  }
  // Other types ignore the options.
  std::string number = "4711";
  EXPECT_EQ(Search("Personalnr", number, loPartialKey | loCaseInsensitive),
            "([Personalnr] = 4711)");
}

TEST_F(KeyConditionsTest, UsSettings) {
  framework::SetFormatSettings(UsSettings());
  std::vector<std::string> values = {"1,234.5", "12/31/2001", "1/15/2003 10:30:05 PM"};
  EXPECT_EQ(BuildKeySQL({"Betrag", "Datum", "Stempel"}, values, ds_, true),
            "([Betrag] = 1234.5) AND ([Datum] = #12/31/2001#) AND ([Stempel] = #01/15/2003 22:30:05#)");
}

TEST_F(KeyConditionsTest, Refusals) {
  std::vector<std::string> values = {"x"};
  try {
    BuildKeySQL({"Lang"}, values, ds_, true);
    ADD_FAILURE() << "no error";
  } catch (const framework::EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Unable to build Key SQL!");
  }
  try {
    BuildSearchKeySQL({"Lang"}, values, 0, ds_, true);
    ADD_FAILURE() << "no error";
  } catch (const framework::EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Unable to build Lookup Key SQL!");
  }
  EXPECT_THROW(Key("Fehlt", "1"), framework::EDatabaseError);
  EXPECT_THROW(Key("Datum", "32.13.2001"), framework::EConvertError);
}

TEST_F(KeyConditionsTest, ValuesCannotLeaveTheirLiteral) {
  struct Case {
    std::string field, value;
  };
  // Texts that are no literal of their field's type are refused...
  const std::vector<Case> refused = {
      {"Personalnr", "1) OR (1=1"},
      {"Personalnr", "4711; DELETE FROM Geburtstag"},
      {"Betrag", "0 OR 1=1"},
      {"Aktiv", "True OR 1=1"},
      {"Kennung", "x}) OR (1=1"},
      {"Kennung", "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}) OR ({guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"},
      {"Datum", "1.1.2001#) OR (#1.1.2001"},
  };
  for (const Case& c : refused)
    EXPECT_THROW(Key(c.field, c.value), framework::EConvertError) << c.field << " " << c.value;

  // ...and texts stay inside their quotes.
  EXPECT_EQ(Key("Mitarbeiter", "x\") OR (\"1\"=\"1"),
            "([Mitarbeiter] = \"x\"\") OR (\"\"1\"\"=\"\"1\")");
  EXPECT_EQ(Key("Roh", "\") OR (1=1"), "([Roh] = \"\"\") OR (1=1\")");
  std::string pattern = "\"*";
  EXPECT_EQ(Search("Mitarbeiter", pattern, loPartialKey), "([Mitarbeiter] LIKE \"\"\"[*]*\")");
}

TEST(MasterFieldsTest, Parsing) {
  using V = std::vector<std::string>;
  framework::TStringList lines;
  lines.Add("ID;Jahr;");
  daotable::MasterFieldPairs pairs = daotable::ParseMasterFields(lines);
  EXPECT_EQ(pairs.detail, (V{"ID", "Jahr"}));
  EXPECT_EQ(pairs.master, (V{"ID", "Jahr"}));
  EXPECT_EQ(pairs.MasterNamesText(), "ID;Jahr");

  lines.Clear();
  lines.Add("PersNr -> Personalnr");
  lines.Add("Ohne Pfeil");
  lines.Add("Datum -> Geburtsdatum");
  lines.Add("a;b");
  pairs = daotable::ParseMasterFields(lines);
  EXPECT_EQ(pairs.detail, (V{"PersNr", "Datum"}));
  EXPECT_EQ(pairs.master, (V{"Personalnr", "Geburtsdatum"}));
  EXPECT_EQ(pairs.MasterNamesText(), "Personalnr;Geburtsdatum");

  lines.Clear();
  lines.Add("ID");
  pairs = daotable::ParseMasterFields(lines);
  EXPECT_TRUE(pairs.detail.empty() && pairs.master.empty());
  EXPECT_EQ(pairs.MasterNamesText(), "");
}

TEST_F(KeyConditionsTest, MasterDetailFromTheCurrentMasterRecord) {
  struct Case {
    std::string master, condition;
  };
  const std::vector<Case> cases = {
      {"Personalnr", "([D] = 4711)"},
      {"Mitarbeiter", "([D] = \"O\"\"Neil\")"},
      {"Betrag", "([D] = 1234.5)"},
      {"Datum", "([D] = #01/15/2003#)"},
      {"Zeit", "([D] = #22:30:05#)"},
      {"Stempel", "([D] = #01/15/2003 22:30:05#)"},
      {"Aktiv", "([D] = True)"},
      {"Kennung", std::string("([D] = {guid ") + kGuidText + "})"},
      {"Roh", std::string("([D] = \"a\"\"b)\")")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(daotable::BuildMasterDetailSQL({"D"}, {c.master}, ds_, true), c.condition) << c.master;

  EXPECT_EQ(daotable::BuildMasterDetailSQL({"PersNr", "Name"}, {"Personalnr", "Mitarbeiter"}, ds_,
                                           false),
            "(PersNr = 4711) AND (Name = \"O\"\"Neil\")");
  EXPECT_EQ(daotable::BuildMasterDetailSQL({}, {}, ds_, true), "");

  framework::SetFormatSettings(UsSettings());
  EXPECT_EQ(daotable::BuildMasterDetailSQL({"D"}, {"Betrag"}, ds_, true, UsSettings()),
            "([D] = 1234.5)");
}

TEST_F(KeyConditionsTest, MasterDetailNullsAndRefusals) {
  ds_.BeginEdit();
  ds_.FieldNamed("Personalnr").Clear();
  ds_.FieldNamed("Lang").Clear();
  ds_.FieldNamed("Aktiv").SetAsBoolean(false);
  ds_.PostRecord();
  EXPECT_EQ(daotable::BuildMasterDetailSQL({"D", "E", "F"}, {"Personalnr", "Lang", "Aktiv"}, ds_,
                                           true),
            "([D] IS NULL) AND ([E] IS NULL) AND ([F] = False)");

  ds_.BeginEdit();
  ds_.FieldNamed("Lang").SetValue(Variant(std::vector<uint8_t>{1}));
  ds_.PostRecord();
  try {
    daotable::BuildMasterDetailSQL({"D"}, {"Lang"}, ds_, true);
    ADD_FAILURE() << "no error";
  } catch (const framework::EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Unable to build Master/Detail SQL Relationship!");
  }
  try {
    daotable::BuildMasterDetailSQL({"D", "E"}, {"Personalnr"}, ds_, true);
    ADD_FAILURE() << "no error";
  } catch (const framework::EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "The number of Master and Detail fields must be equal!");
  }
  EXPECT_THROW(daotable::BuildMasterDetailSQL({"D"}, {"Fehlt"}, ds_, true),
               framework::EDatabaseError);
}

TEST(CombineFilterTest, Cases) {
  struct Case {
    std::string condition, filter;
    bool filtered;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"(a = 1)", "Jahr > 2000", true, "((a = 1)) AND (Jahr > 2000)"},
      {"(a = 1)", "Jahr > 2000", false, "(a = 1)"},
      {"", "Jahr > 2000", true, "Jahr > 2000"},
      {"", "Jahr > 2000", false, ""},
      {"(a = 1)", "", true, "(a = 1)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(daotable::CombineFilter(c.condition, c.filter, c.filtered), c.result);
}

}  // namespace
