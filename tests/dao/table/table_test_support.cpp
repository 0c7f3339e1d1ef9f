#include "tests/dao/table/table_test_support.h"

#include <unistd.h>

#include <exception>
#include <system_error>

#include "dao/dao_constants.h"
#include "engine/engine.h"
#include "framework/application.h"
#include "framework/format_settings.h"
#include "framework/registry.h"

namespace daotabletest {

using framework::Variant;

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

void CreateBirthdayTable(dao::Database& db) {
  db.Execute(
      "CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter "
      "TEXT(255), Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
  db.Execute("CREATE UNIQUE INDEX Personalnr ON Geburtstag (Personalnr)");
}

void AddBirthdays(dao::Database& db, int count, const std::function<Variant(int)>& phone) {
  auto rs = db.OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
  for (int i = 0; i < count; ++i) {
    rs->AddNew();
    rs->Fields()->Item("Mitarbeiter")->SetValue(Variant("Name " + std::to_string(i)));
    rs->Fields()->Item("Geburtsdatum")->SetValue(Variant::Date(20000 + i));
    const Variant number = phone(i);
    if (!number.IsEmpty()) rs->Fields()->Item("Telefon")->SetValue(number);
    rs->Fields()->Item("Personalnr")->SetValue(Variant(1000 + i));
    rs->Update();
  }
  rs->Close();
}

void TableOnEngineTest::SetUpTestSuite() {
  engine::RegisterEngineClasses();
  framework::SetRegistry(nullptr);
  framework::Application().Initialize(nullptr);
  framework::SetFormatSettings(framework::FormatSettings::German());
}

void TableOnEngineTest::CreateDatabase(const std::string& prefix, const std::string& file_name,
                                       const std::function<void(dao::Database&)>& fill,
                                       const std::string& database_name) {
  static int n = 0;
  folder_ = std::filesystem::temp_directory_path() /
            (prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
  std::filesystem::create_directories(folder_);
  file_ = (folder_ / file_name).string();
  {
    auto eng = engine::CreateEngine();
    auto db = eng->CreateDatabase(file_);
    fill(*db);
    db->Close();
  }
  database_ = std::make_unique<dao::TUxDaoDatabase>(nullptr);
  if (!database_name.empty()) database_->SetName(database_name);
  database_->SetDatabase(file_);
  database_->SetConnected(true);
}

std::unique_ptr<dao::TUxDaoTable> TableOnEngineTest::MakeTable(const std::string& name,
                                                               const std::string& table) {
  auto t = std::make_unique<dao::TUxDaoTable>(nullptr);
  t->SetName(name);
  t->SetDatabase(database_.get());
  t->SetTableName(table);
  return t;
}

void TableOnEngineTest::TearDown() {
  table_.reset();
  database_.reset();
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

}  // namespace daotabletest
