// The Jet SQL parser and translator, fuzzed as a statement, as criteria (Filter, Find) and as a
// sort text, against a database with the birthday table. No text may crash them or exhaust the
// stack, and every refusal must be the engine's own error with a DAO number.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "engine/database.h"
#include "engine/engine.h"
#include "engine/jet_parser.h"
#include "engine/translator.h"

namespace {

std::shared_ptr<dao::Database> g_database;
std::shared_ptr<engine::DatabaseCore> g_core;

// Translation needs a catalog: one database made at start, never changed by the inputs.
void OpenDatabase() {
  auto engine = engine::CreateEngine();
  auto ws = engine->CreateWorkspace("Fuzz", dao::Variant("Admin"), dao::Variant(""), dao::Variant(dao::dbUseJet));
  const std::string path = "/tmp/geb_sql_fuzz_" + std::to_string(::getpid()) + ".mdb";
  ::unlink(path.c_str());
  g_database = ws->CreateDatabase(path);
  g_database->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter TEXT(255), "
                      "Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
  g_database->Execute("CREATE TABLE Abteilung (Nr LONG, Name TEXT(50), Leiter LONG)");
  g_core = engine::CoreOf(g_database);
}

void Translate(const std::string& text) {
  const engine::Catalog& catalog = *g_core->catalog;
  const engine::JetStatement statement = engine::ParseStatement(text);
  switch (statement.kind) {
    case engine::JetStatement::kSelect: {
      engine::QuerySource source;
      source.select = statement.select;
      source.declared = statement.parameters;
      engine::PlanSelect(catalog, source);
      break;
    }
    case engine::JetStatement::kInsert:
    case engine::JetStatement::kUpdate:
    case engine::JetStatement::kDelete:
      engine::PlanAction(catalog, statement);
      break;
    case engine::JetStatement::kSelectInto:
      engine::PlanMakeTable(catalog, statement);
      break;
    default:
      break;  // DDL is carried out, not translated
  }
}

void TranslateCriteriaAndSort(const std::string& text) {
  engine::QuerySource source;
  source.select = engine::ParseStatement("SELECT * FROM Geburtstag").select;
  const engine::SelectPlan plan = engine::PlanSelect(*g_core->catalog, source);
  std::vector<engine::Slot> slots;
  try {
    engine::TranslateCriteria(*g_core->catalog, plan, engine::ParseExpression(text), slots);
  } catch (const dao::EOleException& e) {
    if (e.ErrorCode() < 3000 || e.ErrorCode() > 3999) throw;
  }
  slots.clear();
  engine::TranslateOrder(*g_core->catalog, plan, engine::ParseOrderList(text), slots);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!g_core) OpenDatabase();
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (auto* run : {&Translate, &TranslateCriteriaAndSort}) {
    try {
      run(text);
    } catch (const dao::EOleException& e) {
      if (e.ErrorCode() < 3000 || e.ErrorCode() > 3999) {
        std::fprintf(stderr, "error %d is no DAO error: %s\n", e.ErrorCode(), e.Message().c_str());
        std::abort();
      }
    }
  }
  return 0;
}
