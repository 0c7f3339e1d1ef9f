// Shared set-up of the engine tests: a temporary folder, an engine and a workspace, and a
// database with the birthday table.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "engine/engine.h"
#include "framework/variant.h"

namespace engine_test {

using dao::Variant;

// Runs `f` and answers the DAO error number it raised (0 when it raised none).
template <class F>
int ErrorOf(F&& f) {
  try {
    f();
  } catch (const dao::EOleException& e) {
    return e.ErrorCode();
  }
  return 0;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("engine_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::create_directories(dir_);
    engine_ = engine::CreateEngine();
    ws_ = engine_->CreateWorkspace("Test", Variant("Admin"), Variant(""), Variant(dao::dbUseJet));
  }
  void TearDown() override {
    db_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Creates the birthday table with `n` records (Personalnr 1000 + i).
  void CreateBirthdays(int n) {
    db_ = ws_->CreateDatabase(Path("geb.db"));
    db_->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter TEXT(255), "
                 "Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
    db_->Execute("CREATE INDEX Personalnr ON Geburtstag (Personalnr)");
    auto rs = db_->OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
    for (int i = 0; i < n; ++i) {
      rs->AddNew();
      rs->Fields()->Item("Mitarbeiter")->SetValue(Variant("Mitarbeiter " + std::to_string(i)));
      rs->Fields()->Item("Geburtsdatum")->SetValue(Variant::Date(20000 + i));
      rs->Fields()->Item("Telefon")->SetValue(Variant("0711-" + std::to_string(i)));
      rs->Fields()->Item("Personalnr")->SetValue(Variant(1000 + i));
      rs->Update();
    }
    rs->Close();
  }

  static inline int counter_ = 0;
  std::filesystem::path dir_;
  std::shared_ptr<dao::DBEngine> engine_;
  std::shared_ptr<dao::Workspace> ws_;
  std::shared_ptr<dao::Database> db_;
};

}  // namespace engine_test
