#include "engine/integrity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <climits>
#include <cstring>
#include <fstream>

#include "engine/catalog.h"
#include "engine/database.h"
#include "engine/errors.h"
#include "engine/sqlite_connection.h"
#include "framework/exception.h"

namespace engine {

namespace err = dao::err;

namespace {

// SQLite's file header: the magic text, the page size at 16, the change counter at 24, the page
// count at 28 and the change counter it is valid for at 92.
constexpr size_t kHeaderSize = 100;
constexpr char kMagic[] = "SQLite format 3";

uint32_t BigEndian(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

// SQLite's own words for the failure `e` of the connection (the engine's message when SQLite has
// none), to be quoted in a longer message.
std::string SqliteMessage(Connection& c, const dao::EOleException& e) {
  const int code = sqlite3_errcode(c.handle());
  if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) return e.Message();
  return sqlite3_errmsg(c.handle());
}

// The problems SQLite's integrity check reports (none when it answers "ok"). A check that cannot
// run raises the engine's error through the connection.
std::vector<std::string> RunIntegrityCheck(Connection& c) {
  std::vector<std::string> problems;
  // The full check, not quick_check: only it compares each index with its table, and an index
  // that misses a row is exactly what lets an import insert a record twice.
  auto st = c.Prepare("PRAGMA integrity_check(100)");
  while (st.Step()) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.handle(), 0));
    if (text != nullptr && std::strcmp(text, "ok") != 0) problems.emplace_back(text);
  }
  return problems;
}

// The name under which a table's row id can be selected: the first of SQLite's three names that
// no column of the table takes for itself.
std::string RowIdName(Connection& c, const std::string& table) {
  std::vector<std::string> columns;
  auto info = c.Prepare("SELECT name FROM pragma_table_info(?1)");
  info.Bind(1, Cell::Text(table));
  while (info.Step()) columns.push_back(info.Column(0).text);
  for (const char* name : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const std::string& col : columns) taken = taken || strcasecmp(col.c_str(), name) == 0;
    if (!taken) return name;
  }
  return "";
}

std::vector<std::string> ColumnNames(Connection& c, const std::string& table) {
  std::vector<std::string> columns;
  auto info = c.Prepare("SELECT name FROM pragma_table_info(?1)");
  info.Bind(1, Cell::Text(table));
  while (info.Step()) columns.push_back(info.Column(0).text);
  return columns;
}

// Whether a failed insert was refused for the row's values (a duplicate key, a missing value).
bool IsRefusal(int error) {
  return error == err::kDuplicateKey || error == err::kRequired || error == err::kValueTooLong ||
         error == err::kZeroLength || error == err::kInvalidOperation;
}

// The highest row id of `table`, read from the right edge of its tree; when that is unreadable
// too, the largest row id there can be.
int64_t HighestRowId(Connection& from, const std::string& table, const std::string& rowid) {
  try {
    auto st = from.Prepare("SELECT max(" + rowid + ") FROM " + QuoteName(table));
    if (st.Step() && !st.ColumnIsNull(0)) return st.ColumnInt(0);
    return INT64_MIN;
  } catch (const dao::EOleException&) {
    return INT64_MAX;
  }
}

// Copies the rows of `table` in row-id order. A row that cannot be read ends the current scan;
// the scan starts again after it, at growing distances, until a row reads or no row id is left.
void CopyTable(Connection& from, Connection& to, const std::string& table, RepairReport::Table& report) {
  const std::string rowid = RowIdName(from, table);
  const std::vector<std::string> columns = ColumnNames(from, table);
  std::string select = "SELECT " + rowid;
  std::string insert = "INSERT INTO " + QuoteName(table) + " (" + rowid;
  std::string values = "?1";
  for (size_t k = 0; k < columns.size(); ++k) {
    select += ", " + QuoteName(columns[k]);
    insert += ", " + QuoteName(columns[k]);
    values += ", ?" + std::to_string(k + 2);
  }
  select += " FROM " + QuoteName(table) + " WHERE " + rowid + " > ?1 ORDER BY " + rowid;
  insert += ") VALUES (" + values + ")";

  int64_t last = INT64_MIN;  // the last row id read or given up
  for (;;) {
    bool failed = false;
    try {
      auto st = from.Prepare(select);
      st.BindInt(1, last);
      while (st.Step()) {
        last = st.ColumnInt(0);
        auto put = to.Prepare(insert);
        for (int k = 0; k <= static_cast<int>(columns.size()); ++k) put.Bind(k + 1, st.Column(k));
        try {
          put.Run();
          ++report.rows_copied;
        } catch (const dao::EOleException& e) {
          if (!IsRefusal(e.ErrorCode()))  // not the row's fault: give up (not taken for a bad page)
            throw framework::Exception("Cannot write " + Quoted(to.path()) + ": " + e.Message());
          report.rows_refused.push_back(last);
        }
      }
    } catch (const dao::EOleException&) {
      failed = true;
    }
    if (!failed) return;
    // Skip ahead past the unreadable part: 1, 2, 4 ... row ids, until a scan reads a row. A damaged
    // page may also read as empty or give made-up row ids, so only a row id up to the highest one
    // counts, and an empty probe ends the search only past it.
    const int64_t first_lost = last == INT64_MIN ? INT64_MIN : last + 1;
    const int64_t highest = HighestRowId(from, table, rowid);
    bool resumed = false;
    for (int64_t step = 1; step > 0 && step < (int64_t{1} << 62); step *= 2) {
      const int64_t probe = first_lost == INT64_MIN ? step : first_lost + step;
      try {
        auto st = from.Prepare("SELECT " + rowid + " FROM " + QuoteName(table) + " WHERE " + rowid +
                               " >= ?1 ORDER BY " + rowid + " LIMIT 1");
        st.BindInt(1, probe);
        if (!st.Step()) {
          if (probe > highest) break;  // nothing readable after the damage
          continue;
        }
        const int64_t next = st.ColumnInt(0);
        if (next < probe || next > highest) continue;
        report.unreadable.emplace_back(first_lost == INT64_MIN ? 0 : first_lost, next - 1);
        last = next - 1;
        resumed = true;
        break;
      } catch (const dao::EOleException&) {
      }
    }
    if (!resumed) {
      report.unreadable.emplace_back(first_lost == INT64_MIN ? 0 : first_lost, -1);
      return;
    }
  }
}

struct SchemaEntry {
  std::string type, name, table, sql;
};

// The copy of RepairDatabase, into the new, empty database `to`.
void CopyDatabase(Connection& from, Connection& to, const std::vector<SchemaEntry>& schema,
                  RepairReport& report) {
  {
    auto page = from.Prepare("PRAGMA page_size");
    if (page.Step()) to.Exec("PRAGMA page_size = " + std::to_string(page.ColumnInt(0)));
  }
  to.Exec("BEGIN");
  // Tables and their indexes first, so that a row the indexes refuse is reported rather than
  // failing the index afterwards; views and triggers last, once the rows are in.
  for (const SchemaEntry& e : schema)
    if (e.type == "table" && e.name.rfind("sqlite_", 0) != 0) to.Exec(e.sql);
  for (const SchemaEntry& e : schema) {
    if (e.type != "index") continue;
    try {
      to.Exec(e.sql);
    } catch (const dao::EOleException& error) {
      report.schema_lost.push_back("index " + e.name + ": " + error.Message());
    }
  }
  for (const SchemaEntry& e : schema) {
    if (e.type != "table" || e.name.rfind("sqlite_", 0) == 0) continue;
    RepairReport::Table table;
    table.name = e.name;
    CopyTable(from, to, e.name, table);
    report.tables.push_back(std::move(table));
  }
  try {
    // The AutoNumber counters, so that new records do not take the numbers of lost ones.
    auto seq = from.Prepare("SELECT name, seq FROM sqlite_sequence");
    while (seq.Step()) {
      auto put = to.Prepare("UPDATE sqlite_sequence SET seq = max(seq, ?2) WHERE name = ?1");
      put.Bind(1, seq.Column(0));
      put.Bind(2, seq.Column(1));
      put.Run();
      if (to.Changes() == 0) {
        auto add = to.Prepare("INSERT INTO sqlite_sequence (name, seq) VALUES (?1, ?2)");
        add.Bind(1, seq.Column(0));
        add.Bind(2, seq.Column(1));
        add.Run();
      }
    }
  } catch (const dao::EOleException& error) {
    report.schema_lost.push_back("AutoNumber counters: " + SqliteMessage(from, error));
  }
  for (const SchemaEntry& e : schema) {
    if (e.type != "view" && e.type != "trigger") continue;
    try {
      to.Exec(e.sql);
    } catch (const dao::EOleException& error) {
      report.schema_lost.push_back(e.type + " " + e.name + ": " + error.Message());
    }
  }
  to.Exec("COMMIT");
}

}  // namespace

std::string HeaderDamage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  unsigned char header[kHeaderSize] = {};
  in.read(reinterpret_cast<char*>(header), kHeaderSize);
  const size_t got = static_cast<size_t>(in.gcount());
  if (got < sizeof kMagic || std::memcmp(header, kMagic, sizeof kMagic) != 0) return "";
  if (got < kHeaderSize)
    return "the file is cut short: " + std::to_string(got) + " bytes, less than its own header";
  uint32_t page_size = BigEndian(header + 16, 2);
  if (page_size == 1) page_size = 65536;
  const uint32_t pages = BigEndian(header + 28, 4);
  const bool count_valid = BigEndian(header + 24, 4) == BigEndian(header + 92, 4);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || page_size < 512) return "";
  // While a write-ahead log is in use the log, not the header, knows the database's size.
  struct stat wal {};
  if (::stat((path + "-wal").c_str(), &wal) == 0 && wal.st_size > 0) return "";
  const uint64_t promised = uint64_t{page_size} * pages;
  if (count_valid && pages > 0 && static_cast<uint64_t>(st.st_size) < promised)
    return "the file is cut short: " + std::to_string(st.st_size) + " bytes where its header promises " +
           std::to_string(promised);
  return "";
}

std::string RepairCommand(const std::string& path) { return "dbsh --repair " + Quoted(path) + " NEW_FILE"; }

std::vector<std::string> IntegrityProblems(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) Raise(err::kFileNotFound, "Could not find file " + Quoted(path) + ".");
  // SQLite would take an empty device for an empty, sound database.
  if (!S_ISREG(st.st_mode))
    Raise(err::kCannotOpenFile, "Cannot check " + Quoted(path) + ": it is no regular file, not a database file.");
  const std::string header = HeaderDamage(path);
  if (!header.empty()) return {header};
  Connection c(path, SQLITE_OPEN_READONLY);
  std::vector<std::string> problems;
  try {
    problems = RunIntegrityCheck(c);
  } catch (const dao::EOleException& e) {
    if (e.ErrorCode() == err::kLocked) throw;
    return {SqliteMessage(c, e)};
  }
  if (problems.empty() && !Catalog::IsEngineDatabase(c))
    Raise(err::kNotADatabase, "Unrecognized database format " + Quoted(path) + ": the file is not a database of this engine.");
  return problems;
}

void CheckIntegrity(const std::shared_ptr<dao::Database>& database) {
  const std::shared_ptr<DatabaseCore> core = CoreOf(database);
  if (!core) return;
  core->CheckOpen();
  std::vector<std::string> problems;
  try {
    problems = RunIntegrityCheck(*core->connection);
  } catch (const dao::EOleException& e) {
    if (e.ErrorCode() == err::kLocked) throw;
    problems.push_back(SqliteMessage(*core->connection, e));
  }
  if (problems.empty()) return;
  Raise(kDamagedDatabase, "The database " + Quoted(core->name) + " is damaged (" + problems.front() +
                              (problems.size() > 1 ? ", and " + std::to_string(problems.size() - 1) + " more" : "") +
                              "); nothing was changed. Repair it with " + RepairCommand(core->name) +
                              " and use the new file in its place.");
}

bool RepairReport::Complete() const {
  if (!schema_lost.empty()) return false;
  for (const Table& t : tables)
    if (!t.rows_refused.empty() || !t.unreadable.empty()) return false;
  return true;
}

RepairReport RepairDatabase(const std::string& damaged, const std::string& repaired) {
  struct stat st {};
  if (::stat(repaired.c_str(), &st) == 0) Raise(err::kDatabaseExists, "Database already exists: " + Quoted(repaired) + ".");
  Connection from(damaged, SQLITE_OPEN_READONLY);
  // Lets SQLite read a file shorter than its header says, and a schema it would otherwise
  // refuse; nothing is ever written through this connection.
  from.Exec("PRAGMA writable_schema = ON");
  std::vector<SchemaEntry> schema;
  try {
    auto st = from.Prepare("SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
    while (st.Step())
      schema.push_back({st.Column(0).text, st.Column(1).text, st.Column(2).text, st.Column(3).text});
  } catch (const dao::EOleException& e) {
    Raise(kDamagedDatabase, "The list of tables of " + Quoted(damaged) + " cannot be read (" +
                                SqliteMessage(from, e) + "); nothing can be saved from it.");
  }

  RepairReport report;
  try {
    Connection to(repaired, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    CopyDatabase(from, to, schema, report);
    to.Exec("PRAGMA journal_mode = WAL");
  } catch (...) {
    // No half-made file is left behind to be taken for the repaired one.
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((repaired + suffix).c_str());
    throw;
  }
  return report;
}

}  // namespace engine
