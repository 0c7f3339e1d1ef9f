// A scripted DAO installation for tests of the connection component: engines registered under
// their ProgIDs, a registry with the engine's keys, and one database whose tables and queries a
// test supplies. Every call the component makes is written to `log` as one line; `FailOn` makes
// chosen calls raise the engine's automation error.
#pragma once

#include <gmock/gmock.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/com.h"
#include "framework/registry.h"
#include "tests/support/dao_fake.h"

namespace daotest {

using ::testing::NiceMock;
using daofake::NamedCollection;

// A Variant as it appears in the log: texts in quotes, booleans as True/False, empty as -.
std::string Show(const dao::Variant& v);

class FakeDao {
 public:
  // Registers "DAO.DBEngine.36" and "DAO.PrivateDBEngine.36" (and the 3.5 ones when asked) and
  // installs a registry whose HKEY_CLASSES_ROOT holds the ProgIDs that are registered.
  explicit FakeDao(bool with_35 = false, bool with_36 = true);
  ~FakeDao();
  FakeDao(const FakeDao&) = delete;
  FakeDao& operator=(const FakeDao&) = delete;

  framework::TRegistryTree& registry() { return *registry_; }

  // Makes every call whose log line starts with `prefix` raise `code`/`text`, `times` times
  // (-1: always).
  void FailOn(const std::string& prefix, int code, const std::string& text, int times = -1);
  void ClearFailures() { rules_.clear(); }
  // Logs `entry` and raises when a rule says so.
  void Record(const std::string& entry);
  // The log lines that start with `prefix`.
  std::vector<std::string> Calls(const std::string& prefix) const;
  int Count(const std::string& prefix) const { return static_cast<int>(Calls(prefix).size()); }

  void AddTable(const std::string& name, int32_t attributes = 0);
  void AddQuery(const std::string& name, const std::string& sql);
  void AddEngineError(int32_t number, const std::string& description);

  std::vector<std::string> log;
  std::string engine_version = "3.6";
  std::string database_version = "4.0";
  int32_t collating_order = 1033;
  // The name workspaces report; empty: the name they were created with.
  std::string workspace_name;

  std::shared_ptr<NiceMock<daofake::MockDatabase>> database;
  std::shared_ptr<NamedCollection<dao::TableDef>> tabledefs;
  std::shared_ptr<NamedCollection<dao::QueryDef>> querydefs;
  std::shared_ptr<NamedCollection<dao::Error>> errors;
  // Indexes of every table, shared (DeleteIndex is checked through the log).
  std::shared_ptr<NamedCollection<dao::Index>> indexes;
  std::vector<std::shared_ptr<NiceMock<daofake::MockDBEngine>>> engines;
  std::vector<std::shared_ptr<NiceMock<daofake::MockWorkspace>>> workspaces;

 private:
  std::shared_ptr<framework::OleObject> MakeEngine(const std::string& prog_id);
  std::shared_ptr<dao::Workspace> MakeWorkspace(const std::string& name);
  void SetUpDatabase();

  struct Rule {
    std::string prefix;
    int code;
    std::string text;
    int times;
  };
  std::vector<Rule> rules_;
  std::vector<std::string> prog_ids_;
  std::shared_ptr<framework::TRegistryTree> registry_;
  std::vector<std::shared_ptr<void>> keep_;  // mocks handed out by reference
};

}  // namespace daotest
