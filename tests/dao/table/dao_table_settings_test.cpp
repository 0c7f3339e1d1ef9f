// The table component's settings without a database: defaults, refusals, what each setter
// clears, the parameters that follow the SQL text, and the form file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "dao/table/dao_table.h"
#include "framework/exception.h"
#include "framework/form_reader.h"
#include "framework/form_writer.h"
#include "framework/string_list.h"
#include "tests/dao/table/table_test_support.h"

namespace dao {
namespace {

using framework::EDatabaseError;
using framework::TStringList;

TStringList Lines(std::initializer_list<const char*> lines) {
  TStringList list;
  for (const char* line : lines) list.Add(line);
  return list;
}

using daotabletest::MessageOf;

TEST(DaoTableSettings, DefaultsOfANewTable) {
  TUxDaoTable table(nullptr);
  EXPECT_EQ(table.TableType(), 2);
  EXPECT_EQ(table.LockType(), 3);
  EXPECT_EQ(table.ComponentVersion(), "9.10");
  EXPECT_TRUE(table.UseDaoProperties());
  EXPECT_FALSE(table.UseCaptions());
  EXPECT_TRUE(table.UseBrackets() && table.MasterAutoActivate() && table.UseRecordCount() &&
              table.UseGetRecNo() && table.AutoFindIndex() && table.ParamCheck());
  EXPECT_FALSE(table.ReadOnly() || table.ProcessMessages() || table.RefreshSorted() ||
               table.Translation() || table.QueryDefSQLModify() || table.DatabaseAutoActivate() ||
               table.Filtered() || table.WarnOnBadDatabase() || table.CacheMemos() ||
               table.CacheBlobs() || table.CacheLookups() || table.ShowGUID());
  EXPECT_EQ(table.OpenOptions(), 0);
  EXPECT_EQ(table.QueryDefODBCMaxRecords(), 0);
  EXPECT_EQ(table.ExportMethod(), TExportMethod::VisibleFields);
  EXPECT_EQ(table.Encrypter(), nullptr);
  EXPECT_EQ(table.DaoFields().size(), 2u);
  EXPECT_EQ(table.IdentifierChars().substr(0, 11), "_0123456789");
  // Reading values without a database never raises.
  EXPECT_EQ(table.QueryDefType(), "");
  EXPECT_EQ(table.TableDateCreated(), "");
  EXPECT_EQ(table.IndexFieldCount(), 0);
  EXPECT_FALSE(table.LockEdits());
  EXPECT_EQ(table.TableIndexNames().Count(), 0);
}

TEST(DaoTableSettings, SourcesClearEachOther) {
  TUxDaoTable table(nullptr);
  table.SetSQL(Lines({"select * from t"}));
  table.SetTableName("");  // an empty name clears nothing
  EXPECT_EQ(table.SQL().Count(), 1);
  table.SetTableName("Geburtstag");
  EXPECT_EQ(table.SQL().Count(), 0);
  EXPECT_EQ(table.QueryDefName(), "");
  table.SetSQL(Lines({"select 1"}));
  EXPECT_EQ(table.TableName(), "");
  table.SetTableType(16);
  table.SetQueryDefName("Abfrage");
  EXPECT_EQ(table.TableType(), 2);
  EXPECT_EQ(table.SQL().Count(), 0);
}

TEST(DaoTableSettings, IndexNameOnlyOnStandardTables) {
  TUxDaoTable table(nullptr);
  EXPECT_EQ(MessageOf([&] { table.SetIndexName("Personalnr"); }),
            "TUxDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!");
  table.SetIndexName("");
  table.SetTableType(1);
  table.SetSortedBy(Lines({"Name"}));
  table.SetIndexName("Personalnr");
  EXPECT_EQ(table.IndexName(), "Personalnr");
  EXPECT_EQ(table.SortedBy().Count(), 0);
  table.SetTableType(4);
  EXPECT_EQ(table.IndexName(), "");
  table.SetSortedBy(Lines({"Name"}));
  table.SetTableType(1);
  EXPECT_EQ(table.SortedBy().Count(), 0);
}

TEST(DaoTableSettings, OpenOptionsNumbers) {
  EXPECT_EQ(OpenOptionsNumber(OptionBit(TOO::dbDenyWrite) | OptionBit(TOO::dbSeeChanges)), 513);
  EXPECT_EQ(OpenOptionsNumber(OptionBit(TOO::dbForwardOnly)), 256);
  EXPECT_EQ(OpenOptionsNumber(OptionBit(TOO::dbExecDirect)), 2048);
}

TEST(DaoTableSettings, ParamsFollowTheSqlText) {
  TUxDaoTable table(nullptr);
  table.SQL().Add("select * from t where Jahr = :Jahr");
  ASSERT_EQ(table.Params().Count(), 1);
  table.Params().ParamByName("Jahr").SetAsInteger(2003);
  table.SQL().SetText("select * from t where Jahr = :Jahr and Monat = :Monat");
  ASSERT_EQ(table.Params().Count(), 2);
  EXPECT_EQ(table.Params().ParamByName("Jahr").AsInteger(), 2003);
  EXPECT_TRUE(table.Params().ParamByName("Monat").IsNull());

  table.SetParamCheck(false);
  table.SQL().SetText("select * from t where x = :x");
  EXPECT_EQ(table.Params().Count(), 2);

  // Setting Params takes values by name only.
  dataset::TParams other;
  other.CreateParam(dataset::ftInteger, "Monat", dataset::ptInput).SetAsInteger(5);
  other.CreateParam(dataset::ftInteger, "Tag", dataset::ptInput).SetAsInteger(1);
  table.SetParams(other);
  EXPECT_EQ(table.Params().Count(), 2);
  EXPECT_EQ(table.Params().ParamByName("Monat").AsInteger(), 5);
}

TEST(DaoTableSettings, FormFileKeepsParametersAndIgnoresTheVersion) {
  framework::TComponent root(nullptr);
  root.SetName("Data");
  const std::string text =
      "object Data: TComponent\n"
      "  object Query: TUxDaoTable\n"
      "    ComponentVersion = '11.00'\n"
      "    TableType = 4\n"
      "    OpenOptions = [dbDenyWrite, dbSeeChanges]\n"
      "    SQL.Strings = (\n"
      "      'select * from t where a = :a and b = :b')\n"
      "    ParamData = <\n"
      "      item\n"
      "        DataType = ftInteger\n"
      "        Name = 'b'\n"
      "        ParamType = ptInput\n"
      "        Value = 7\n"
      "      end\n"
      "      item\n"
      "        DataType = ftString\n"
      "        Name = 'a'\n"
      "        ParamType = ptInput\n"
      "        Value = 'x'\n"
      "      end>\n"
      "    ExportMethod = AllFields\n"
      "  end\n"
      "end\n";
  framework::ReadComponentText(text, &root);
  auto* query = dynamic_cast<TUxDaoTable*>(root.FindComponent("Query"));
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(query->ComponentVersion(), "9.10");
  EXPECT_EQ(query->TableType(), 4);
  EXPECT_EQ(OpenOptionsNumber(query->OpenOptions()), 513);
  EXPECT_EQ(query->ExportMethod(), TExportMethod::AllFields);
  // The stored parameters stand as stored: the SQL change while reading did not rebuild them.
  ASSERT_EQ(query->Params().Count(), 2);
  EXPECT_EQ(query->Params()[0].Name(), "b");
  EXPECT_EQ(query->Params()[0].DataType(), dataset::ftInteger);
  EXPECT_EQ(query->Params()[0].AsInteger(), 7);
  EXPECT_EQ(query->Params()[1].AsString(), "x");

  const std::string written = framework::WriteComponentText(root);
  EXPECT_NE(written.find("ParamData = <"), std::string::npos) << written;
  EXPECT_NE(written.find("OpenOptions = [dbDenyWrite, dbSeeChanges]"), std::string::npos) << written;
  framework::TComponent copy(nullptr);
  copy.SetName("Data");
  framework::ReadComponentText(written, &copy);
  auto* again = dynamic_cast<TUxDaoTable*>(copy.FindComponent("Query"));
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->Params().IsEqual(query->Params()));
}

TEST(DaoTableSettings, TranslationNeverWritesPastTheSourceLength) {
  TUxDaoTable table(nullptr);
  char dest[8] = "xxxxxxx";
  EXPECT_EQ(table.TranslateText("abc", dest, true), 3);  // without Translation: a copy
  EXPECT_STREQ(dest, "abc");
  table.SetTranslation(true);
  // Four OEM bytes of 128 and above become eight UTF-8 bytes; the result is cut to four.
  const char oem[] = "\x81\x84\x94\xe1";
  char out[5] = {};
  std::memcpy(out, oem, 5);
  char target[5] = {};
  std::memcpy(target, oem, 5);
  const int length = table.TranslateText(out, target, false);
  EXPECT_EQ(length, 4);
  EXPECT_STREQ(target, "\xc3\xbc\xc3\xa4");  // "üä"
  EXPECT_EQ(table.TranslateText(out, out, false), 0);
}

}  // namespace
}  // namespace dao
