// The texts of the SQL helpers run on the real engine: rows written through parameter
// substitution are found again through key conditions, and values that try to leave their
// literal match only themselves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "dao/table/key_conditions.h"
#include "dao/table/sql_text.h"
#include "engine/engine.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "tests/dataset/memory_dataset.h"

namespace {

using framework::Variant;

const char kGuid[] = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
const char kTricky[] = "Hallo! 50%-Rabatt? [x]*#";
const char kInjection[] = "x\" OR \"1\"=\"1";

class SqlOnEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = framework::DefaultFormatSettings();
    framework::SetFormatSettings(framework::FormatSettings::German());
    dir_ = std::filesystem::temp_directory_path() / ("sql_text_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    engine_ = engine::CreateEngine();
    ws_ = engine_->CreateWorkspace("Test", Variant("Admin"), Variant(""), Variant(dao::dbUseJet));
    db_ = ws_->CreateDatabase((dir_ / "sql.db").string());
    db_->Execute("CREATE TABLE T (Nr LONG, Name TEXT(50), Betrag DOUBLE, Datum DATETIME, K GUID)");

    // The same columns as dataset fields, for the key builders.
    fields_.AddColumn("Nr", dataset::ftInteger);
    fields_.AddColumn("Name", dataset::ftString, 50);
    fields_.AddColumn("Betrag", dataset::ftFloat);
    fields_.AddColumn("Datum", dataset::ftDateTime);
    fields_.AddColumn("K", dataset::ftBytes, 16);
    fields_.Open();
    fields_.FieldNamed("K").SetValidChars(dataset::CharSetOf("0123456789ABCDEFabcdef-{}"));

    Insert(1, Variant("O\"Neil"), Variant("1234,5"), Variant("15.01.2003 22:30:05"), Variant(kGuid));
    Insert(2, Variant(kTricky), Variant(-0.25), Variant("31.12.2001"), Variant::Null());
    Insert(3, Variant(kInjection), Variant(0.0), Variant::Null(), Variant::Null());
    rs_ = db_->OpenRecordset("T", Variant(dao::dbOpenDynaset));
  }
  void TearDown() override {
    rs_.reset();
    db_.reset();
    ws_.reset();
    engine_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    framework::SetFormatSettings(saved_);
  }

  void Insert(int nr, const Variant& name, const Variant& betrag, const Variant& datum,
              const Variant& k) {
    dataset::TParams params;
    params.CreateParam(dataset::ftInteger, "nr", dataset::ptInput).SetValue(Variant(nr));
    params.CreateParam(dataset::ftString, "name", dataset::ptInput).SetValue(name);
    params.CreateParam(dataset::ftFloat, "betrag", dataset::ptInput).SetValue(betrag);
    params.CreateParam(dataset::ftDateTime, "datum", dataset::ptInput).SetValue(datum);
    params.CreateParam(dataset::ftBytes, "k", dataset::ptInput).SetValue(k);
    framework::TStringList sql;
    sql.Add("INSERT INTO T (Nr, Name, Betrag, Datum, K)");
    sql.Add("VALUES (:nr, :name, :betrag, :datum, :k)");
    std::string text = daotable::ExpandSqlParams(sql, params, true, daotable::IdentifierCharSet());
    // A null parameter is written for a comparison (" IS NULL"); in a VALUES list it is NULL.
    for (size_t p; (p = text.find(" IS NULL")) != std::string::npos;) text.replace(p, 8, " NULL");
    db_->Execute(text);
  }

  // The Nr of the first record matching `names` = `values`, or 0 when none matches.
  int Find(const std::vector<std::string>& names, std::vector<std::string> values,
           dataset::TLocateOptions options = 0) {
    rs_->FindFirst(daotable::BuildSearchKeySQL(names, values, options, fields_, true));
    return rs_->NoMatch() ? 0 : rs_->Fields()->Item("Nr")->Value().ToInt32();
  }

  framework::FormatSettings saved_;
  std::filesystem::path dir_;
  std::shared_ptr<dao::DBEngine> engine_;
  std::shared_ptr<dao::Workspace> ws_;
  std::shared_ptr<dao::Database> db_;
  std::shared_ptr<dao::Recordset> rs_;
  dataset_test::MemoryDataSet fields_;
};

TEST_F(SqlOnEngineTest, RowsWrittenWithParametersAreFoundByKey) {
  using dataset::loCaseInsensitive;
  using dataset::loPartialKey;
  EXPECT_EQ(Find({"Name"}, {"O\"Neil"}), 1);
  EXPECT_EQ(Find({"Name"}, {"o\"neil"}, loCaseInsensitive), 1);
  EXPECT_EQ(Find({"Name"}, {kTricky}), 2);
  EXPECT_EQ(Find({"Name"}, {"Hallo! 50%-Rabatt? [x]"}, loPartialKey), 2);
  EXPECT_EQ(Find({"Name"}, {"hallo! 50%-rabatt? [x]*#"}, loPartialKey | loCaseInsensitive), 2);
  EXPECT_EQ(Find({"Name"}, {"Hallo? 50"}, loPartialKey), 0);
  EXPECT_EQ(Find({"Betrag"}, {"1.234,5"}), 1);
  EXPECT_EQ(Find({"Betrag"}, {"-0,25"}), 2);
  EXPECT_EQ(Find({"Datum"}, {"15.01.2003 22:30:05"}), 1);
  EXPECT_EQ(Find({"Datum"}, {"31.12.2001"}), 2);
  EXPECT_EQ(Find({"Datum"}, {"NULL"}), 3);
  EXPECT_EQ(Find({"K"}, {"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}"}), 1);
  EXPECT_EQ(Find({"Nr", "Name"}, {"2", kTricky}), 2);
  EXPECT_EQ(Find({"Nr", "Name"}, {"1", kTricky}), 0);

  framework::FormatSettings us = framework::FormatSettings::German();
  us.DecimalSeparator = '.';
  us.ThousandSeparator = ',';
  us.DateSeparator = '/';
  us.ShortDateFormat = "mm/dd/yyyy";
  framework::SetFormatSettings(us);
  EXPECT_EQ(Find({"Betrag"}, {"1,234.5"}), 1);
  EXPECT_EQ(Find({"Datum"}, {"12/31/2001"}), 2);
}

TEST_F(SqlOnEngineTest, InjectedTextMatchesOnlyItself) {
  EXPECT_EQ(Find({"Name"}, {kInjection}), 3);
  EXPECT_EQ(Find({"Name"}, {"\" OR \"\"=\""}), 0);
  EXPECT_EQ(Find({"Name"}, {"\" OR \"\"=\""}, dataset::loPartialKey), 0);

  dataset::TParams params;
  params.CreateParam(dataset::ftString, "n", dataset::ptInput).SetValue(Variant(kInjection));
  params.CreateParam(dataset::ftInteger, "nr", dataset::ptInput).SetValue(Variant(2));
  framework::TStringList sql;
  sql.Add("SELECT * FROM T WHERE Name = :n OR Nr = :nr");
  auto open = [&] {
    auto found = db_->OpenRecordset(
        daotable::ExpandSqlParams(sql, params, true, daotable::IdentifierCharSet()),
        Variant(dao::dbOpenSnapshot));
    found->MoveLast();
    return found->RecordCount();
  };
  EXPECT_EQ(open(), 2);
  // A number parameter holding SQL stays a text, which the engine refuses to compare.
  params.Items(1).SetValue(Variant("0 OR 1=1"));
  EXPECT_THROW(open(), framework::EOleException);
}

}  // namespace
