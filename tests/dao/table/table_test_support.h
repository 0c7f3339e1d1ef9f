// What the table component's tests on the real engine share: a fixture base that builds a
// database file in a fresh temporary folder, connects a TUxDaoDatabase to it and removes the
// folder again, the "Geburtstag" table several fixtures fill, the message of a raised error,
// and the US format settings of the SQL text tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "dao/dao_database.h"
#include "dao/dao_interfaces.h"
#include "dao/table/dao_table.h"
#include "framework/format_settings.h"
#include "framework/variant.h"

namespace daotabletest {

// The message of the error `f` raises; empty when it raises none.
std::string MessageOf(const std::function<void()>& f);

// The German settings with US number and date formats and AM/PM strings.
inline framework::FormatSettings UsSettings() {
  framework::FormatSettings fs = framework::FormatSettings::German();
  fs.DecimalSeparator = '.';
  fs.ThousandSeparator = ',';
  fs.DateSeparator = '/';
  fs.ShortDateFormat = "mm/dd/yyyy";
  fs.TimeAMString = "AM";
  fs.TimePMString = "PM";
  return fs;
}

// Creates the birthday table "Geburtstag" (ID, Mitarbeiter, Geburtsdatum, Telefon, Personalnr)
// with its primary key and a unique index on Personalnr.
void CreateBirthdayTable(dao::Database& db);
// Adds `count` records to "Geburtstag": record i is "Name i", born on day 20000 + i, with
// Personalnr 1000 + i and the phone `phone(i)`, which stays Null when that is Empty.
void AddBirthdays(dao::Database& db, int count, const std::function<framework::Variant(int)>& phone);

// A fixture on the real engine. Every test gets its own database file; the fixture fills it
// and makes its tables in SetUp, and a TearDown of its own drops those tables before calling
// this one.
class TableOnEngineTest : public ::testing::Test {
 protected:
  // Registers the engine classes and the default registry, initialises the application and
  // takes the German format settings.
  static void SetUpTestSuite();

  // Makes a fresh folder "<prefix>_<pid>_<n>" in the temporary directory and the database file
  // `file_name` in it, lets `fill` create its schema and data, and connects database_ to it. The
  // component is named `database_name` unless that is empty.
  void CreateDatabase(const std::string& prefix, const std::string& file_name,
                      const std::function<void(dao::Database&)>& fill,
                      const std::string& database_name = "Datenbank");
  // A table component `name` on database_ for the DAO table `table`.
  std::unique_ptr<dao::TUxDaoTable> MakeTable(const std::string& name, const std::string& table);

  // Drops table_, then database_, then removes the folder.
  void TearDown() override;

  std::filesystem::path folder_;
  std::string file_;
  std::unique_ptr<dao::TUxDaoDatabase> database_;
  std::unique_ptr<dao::TUxDaoTable> table_;
};

}  // namespace daotabletest
