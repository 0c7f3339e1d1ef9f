// The engine against the SQLite C API on the same data (the birthday table at 10 000 and
// 100 000 records): walking a dynaset reading all five fields, FindFirst on the indexed
// personnel number, Edit + Update, AddNew + Update and Delete. Each engine figure has a direct
// counterpart doing the same work with prepared statements.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "engine/engine.h"

namespace {

using dao::Variant;

std::filesystem::path Folder() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("engine_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

std::shared_ptr<dao::DBEngine> Engine() {
  static auto engine = engine::CreateEngine();
  return engine;
}

std::shared_ptr<dao::Workspace> Workspace() {
  static auto ws = Engine()->CreateWorkspace("bench", Variant("Admin"), Variant(""), Variant(dao::dbUseJet));
  return ws;
}

// A fresh database file with `n` records of the birthday table.
std::string MakeDatabase(const std::string& tag, int n) {
  const std::string path = (Folder() / (tag + "_" + std::to_string(n) + ".db")).string();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  auto db = Workspace()->CreateDatabase(path);
  db->Execute("CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter TEXT(255), "
              "Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)");
  db->Execute("CREATE INDEX Personalnr ON Geburtstag (Personalnr)");
  Workspace()->BeginTrans();
  auto rs = db->OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
  auto f = rs->Fields();
  auto name = f->Item("Mitarbeiter"), date = f->Item("Geburtsdatum"), phone = f->Item("Telefon"),
       nr = f->Item("Personalnr");
  for (int i = 0; i < n; ++i) {
    rs->AddNew();
    name->SetValue(Variant("Müller, Jürgen " + std::to_string(i)));
    date->SetValue(Variant::Date(20000 + i % 20000));
    phone->SetValue(Variant("0711 " + std::to_string(100000 + i)));
    nr->SetValue(Variant(100000 + i));
    rs->Update();
  }
  rs->Close();
  Workspace()->CommitTrans();
  db->Close();
  return path;
}

// One database per (tag, size), made on first use.
const std::string& Database(const std::string& tag, int n) {
  static std::map<std::string, std::string> made;
  const std::string key = tag + std::to_string(n);
  auto it = made.find(key);
  if (it == made.end()) it = made.emplace(key, MakeDatabase(tag, n)).first;
  return it->second;
}

struct Direct {
  sqlite3* db = nullptr;
  explicit Direct(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  }
  ~Direct() { sqlite3_close_v2(db); }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) std::abort();
    return st;
  }
};

// ---- walk

void BM_Walk_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto db = Workspace()->OpenDatabase(Database("walk", n));
  for (auto _ : state) {
    auto rs = db->OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
    auto f = rs->Fields();
    std::shared_ptr<dao::Field> fields[5] = {f->Item(0), f->Item(1), f->Item(2), f->Item(3), f->Item(4)};
    int64_t sum = 0;
    while (!rs->Eof()) {
      for (auto& field : fields) {
        const Variant v = field->Value();
        benchmark::DoNotOptimize(v);
      }
      sum += fields[4]->Value().ToInt32();
      rs->MoveNext();
    }
    benchmark::DoNotOptimize(sum);
    rs->Close();
  }
  state.SetItemsProcessed(state.iterations() * n);
  db->Close();
}

void BM_Walk_Sqlite(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Direct d(Database("walk", n));
  sqlite3_stmt* st = d.Prepare("SELECT ID, Mitarbeiter, Geburtsdatum, Telefon, Personalnr FROM Geburtstag");
  for (auto _ : state) {
    int64_t sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      sum += sqlite3_column_int64(st, 0);
      std::string name(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)), sqlite3_column_bytes(st, 1));
      benchmark::DoNotOptimize(sqlite3_column_double(st, 2));
      std::string phone(reinterpret_cast<const char*>(sqlite3_column_text(st, 3)), sqlite3_column_bytes(st, 3));
      sum += sqlite3_column_int(st, 4);
      benchmark::DoNotOptimize(name);
      benchmark::DoNotOptimize(phone);
    }
    sqlite3_reset(st);
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(st);
  state.SetItemsProcessed(state.iterations() * n);
}

// ---- find

void BM_Find_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto db = Workspace()->OpenDatabase(Database("find", n));
  auto rs = db->OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
  std::mt19937 random(42);
  for (auto _ : state) {
    const int nr = 100000 + static_cast<int>(random() % n);
    rs->FindFirst("([Personalnr] = " + std::to_string(nr) + ")");
    if (rs->NoMatch()) state.SkipWithError("not found");
  }
  rs->Close();
  db->Close();
}

void BM_Find_Sqlite(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Direct d(Database("find", n));
  sqlite3_stmt* st = d.Prepare("SELECT rowid FROM Geburtstag WHERE Personalnr = ?");
  std::mt19937 random(42);
  for (auto _ : state) {
    sqlite3_bind_int(st, 1, 100000 + static_cast<int>(random() % n));
    if (sqlite3_step(st) != SQLITE_ROW) state.SkipWithError("not found");
    benchmark::DoNotOptimize(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
}

// ---- edit

void BM_Edit_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto db = Workspace()->OpenDatabase(Database("edit_engine", n));
  auto rs = db->OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
  auto phone = rs->Fields()->Item("Telefon");
  std::mt19937 random(42);
  int k = 0;
  for (auto _ : state) {
    rs->SetAbsolutePosition(static_cast<int32_t>(random() % n));
    rs->Edit();
    phone->SetValue(Variant("089 " + std::to_string(k++)));
    rs->Update();
  }
  rs->Close();
  db->Close();
}

void BM_Edit_Sqlite(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Direct d(Database("edit_direct", n));
  sqlite3_stmt* st = d.Prepare("UPDATE Geburtstag SET Telefon = ? WHERE ID = ?");
  std::mt19937 random(42);
  int k = 0;
  for (auto _ : state) {
    const std::string phone = "089 " + std::to_string(k++);
    sqlite3_bind_text(st, 1, phone.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 2, 1 + static_cast<int>(random() % n));
    if (sqlite3_step(st) != SQLITE_DONE) state.SkipWithError("update failed");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
}

// ---- add

void BM_AddNew_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto db = Workspace()->OpenDatabase(Database("add_engine", n));
  auto rs = db->OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
  auto f = rs->Fields();
  auto name = f->Item("Mitarbeiter"), date = f->Item("Geburtsdatum"), phone = f->Item("Telefon"),
       nr = f->Item("Personalnr");
  int k = 0;
  for (auto _ : state) {
    rs->AddNew();
    name->SetValue(Variant("Neu " + std::to_string(k)));
    date->SetValue(Variant::Date(30000));
    phone->SetValue(Variant("0711 0"));
    nr->SetValue(Variant(900000 + k++));
    rs->Update();
  }
  rs->Close();
  db->Close();
}

void BM_AddNew_Sqlite(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Direct d(Database("add_direct", n));
  sqlite3_stmt* st = d.Prepare(
      "INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES (?, ?, ?, ?)");
  int k = 0;
  for (auto _ : state) {
    const std::string name = "Neu " + std::to_string(k);
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(st, 2, 30000);
    sqlite3_bind_text(st, 3, "0711 0", -1, SQLITE_STATIC);
    sqlite3_bind_int(st, 4, 900000 + k++);
    if (sqlite3_step(st) != SQLITE_DONE) state.SkipWithError("insert failed");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
}

// ---- delete (a fixed number of iterations, so that the table keeps its size class)

void BM_Delete_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto db = Workspace()->OpenDatabase(Database("delete_engine", n));
  auto rs = db->OpenRecordset("Geburtstag", Variant(dao::dbOpenDynaset));
  std::mt19937 random(42);
  for (auto _ : state) {
    rs->SetAbsolutePosition(static_cast<int32_t>(random() % rs->RecordCount()));
    rs->Delete();
  }
  rs->Close();
  db->Close();
}

void BM_Delete_Sqlite(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Direct d(Database("delete_direct", n));
  sqlite3_stmt* st = d.Prepare("DELETE FROM Geburtstag WHERE ID = ?");
  std::mt19937 random(42);
  for (auto _ : state) {
    sqlite3_bind_int(st, 1, 1 + static_cast<int>(random() % n));
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
}

constexpr int kWrites = 2000;

BENCHMARK(BM_Walk_Engine)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Walk_Sqlite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_Engine)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Find_Sqlite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Edit_Engine)->Arg(10000)->Arg(100000)->Iterations(kWrites)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Edit_Sqlite)->Arg(10000)->Arg(100000)->Iterations(kWrites)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddNew_Engine)->Arg(10000)->Arg(100000)->Iterations(kWrites)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddNew_Sqlite)->Arg(10000)->Arg(100000)->Iterations(kWrites)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Delete_Engine)->Arg(10000)->Arg(100000)->Iterations(kWrites)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Delete_Sqlite)->Arg(10000)->Arg(100000)->Iterations(kWrites)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(Folder(), ec);
  return 0;
}
