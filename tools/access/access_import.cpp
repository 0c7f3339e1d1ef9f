#include "tools/access/access_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "dao/dao_constants.h"
#include "engine/engine.h"
#include "framework/exception.h"
#include "tools/access/access_queries.h"
#include "tools/access/access_reader.h"
#include "tools/access/table_writer.h"

namespace access_file {

namespace {

// Records written in one transaction.
constexpr uint64_t kTransactionSize = 10000;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::string Counted(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void ConvertTable(AccessReader& reader, dao::Workspace& ws, const std::shared_ptr<dao::Database>& db,
                  const std::string& name, Summary& summary, std::ostream& progress, const ProgressSteps& steps) {
  const AccessTable table = reader.ReadTable(name);
  TableWriter writer(db, table, [&](const std::string& item) { summary.not_carried.push_back(item); });
  const bool show = table.record_count > steps.threshold;
  const auto report = [&](uint64_t n) {
    progress << table.name << ": " << n << " of " << table.record_count << " records" << std::endl;
  };
  ws.BeginTrans();
  try {
    reader.ReadRecords(table, [&](const std::vector<Variant>& values) {
      writer.Add(values);
      const uint64_t n = writer.records();
      if (n % kTransactionSize == 0) {
        ws.CommitTrans();
        ws.BeginTrans();
      }
      if (show && n % steps.step == 0 && n < table.record_count) report(n);
    });
    ws.CommitTrans();
    if (show) report(writer.records());
  } catch (const framework::Exception& e) {
    ws.Rollback();
    throw framework::Exception("table " + table.name + ", record " + std::to_string(writer.records() + 1) + ": " + e.Message());
  }
  const int indexes = writer.Finish();
  summary.carried.push_back(table.name + ": " + Counted(writer.records(), "record", "records") + ", " +
                            Counted(static_cast<uint64_t>(indexes), "index", "indexes"));
}

void ConvertQueries(AccessReader& reader, dao::Database& db, Summary& summary) {
  for (const AccessQuery& q : reader.Queries()) {
    const QuerySql sql = QueryToSql(q.rows);
    if (!sql.select) {
      summary.not_carried.push_back(q.name + ": " + sql.kind + "; only select queries are carried over");
      continue;
    }
    if (sql.sql.empty()) {
      summary.not_carried.push_back(q.name + ": select query whose joins cannot be written as one FROM clause");
      continue;
    }
    try {
      db.CreateQueryDef(Variant(q.name), Variant(sql.sql));
      summary.carried.push_back(q.name + ": select query");
    } catch (const dao::EOleException& e) {
      summary.not_carried.push_back(q.name + ": select query that the engine's SQL does not accept (" + e.Message() + ")");
    }
  }
}

// The temporary file beside `dest` that the conversion writes.
std::string TemporaryBeside(const std::string& dest) {
  const std::filesystem::path d(dest);
  return (d.parent_path() / ("." + d.filename().string() + ".import-" + std::to_string(::getpid()))).string();
}

void RemoveDatabaseFiles(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

// Renames `from` to `to` unless `to` exists (atomically where the file system can).
bool RenameIfAbsent(const std::string& from, const std::string& to, std::string& error) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) errno = EEXIST;
    else if (::rename(from.c_str(), to.c_str()) == 0) return true;
  }
  error = std::strerror(errno);
  return false;
}

// Writes all of `text` to `fd`.
void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace

std::string Summary::Text() const {
  std::string text;
  for (const auto& line : carried) text += line + "\n";
  if (!not_carried.empty()) {
    text += "Not carried over (" + std::to_string(not_carried.size()) + "):\n";
    for (const auto& line : not_carried) text += "  " + line + "\n";
  }
  return text;
}

Summary ConvertAccess(const std::string& source, const std::string& dest, std::ostream& progress,
                      const ProgressSteps& steps) {
  assert(steps.step > 0);
  AccessReader reader(source);
  auto eng = engine::CreateEngine();
  auto ws = eng->CreateWorkspace("import", Variant("Admin"), Variant(""), Variant(dao::dbUseJet));
  std::shared_ptr<dao::Database> db = ws->CreateDatabase(dest);
  Summary summary;
  for (const std::string& name : reader.TableNames()) ConvertTable(reader, *ws, db, name, summary, progress, steps);
  ConvertQueries(reader, *db, summary);
  for (const AccessLink& link : reader.Links())
    summary.not_carried.push_back(link.name + ": linked table (" + link.source + "); linked tables are not carried over");
  for (const AccessRelationship& r : reader.Relationships()) {
    std::string columns, referenced;
    for (size_t k = 0; k < r.columns.size(); ++k) {
      columns += (k ? ", " : "") + r.columns[k];
      referenced += (k ? ", " : "") + r.referenced_columns[k];
    }
    summary.not_carried.push_back(r.name + ": relationship " + r.table + " (" + columns + ") to " + r.referenced_table + " (" +
                                  referenced + "); the engine keeps no relationships");
  }
  if (reader.UnreadableSystemRecords() > 0)
    summary.not_carried.push_back("the file's own tables: " + std::to_string(reader.UnreadableSystemRecords()) +
                                  " record(s) could not be read; queries, linked tables or relationships they describe are not listed");
  db->Close();
  return summary;
}

int ImportAccess(const std::string& source, const std::string& dest, std::ostream& out, std::ostream& err) {
  const std::string failed = "dbsh: cannot convert " + Quoted(source) + ": ";
  struct stat st {};
  if (::lstat(dest.c_str(), &st) == 0) {
    err << failed << Quoted(dest) << " already exists; the conversion writes a new database and replaces no file" << std::endl;
    return kImportFailed;
  }
  const std::string temporary = TemporaryBeside(dest);
  RemoveDatabaseFiles(temporary);
  int channel[2];
  if (::pipe(channel) != 0) {
    err << failed << "no pipe: " << std::strerror(errno) << std::endl;
    return kImportFailed;
  }
  out.flush();
  err.flush();
  std::cout.flush();
  std::cerr.flush();
  const pid_t child = ::fork();
  if (child < 0) {
    err << failed << "no process: " << std::strerror(errno) << std::endl;
    return kImportFailed;
  }
  if (child == 0) {
    // The conversion itself; its report goes through the pipe, its status is the exit status.
    ::close(channel[0]);
    int status = kImportFailed;
    std::string report;
    try {
      const Summary summary = ConvertAccess(source, temporary, std::cerr);
      report = summary.Text();
      status = summary.not_carried.empty() ? kImportComplete : kImportPartial;
    } catch (const framework::Exception& e) {
      report = e.Message();
    } catch (const std::exception& e) {
      report = e.what();
    }
    WriteAll(channel[1], report);
    std::cerr.flush();
    ::_exit(status);
  }
  ::close(channel[1]);
  const std::string report = ReadAll(channel[0]);
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int code = kImportFailed;
  if (WIFEXITED(status)) code = WEXITSTATUS(status);
  if (code != kImportComplete && code != kImportPartial) {
    RemoveDatabaseFiles(temporary);
    if (WIFSIGNALED(status))
      err << failed << "reading it stopped with signal " << WTERMSIG(status) << "; the file is damaged" << std::endl;
    else
      err << failed << (report.empty() ? "the conversion failed" : report) << std::endl;
    return kImportFailed;
  }
  std::string error;
  if (!RenameIfAbsent(temporary, dest, error)) {
    RemoveDatabaseFiles(temporary);
    err << failed << "the converted database cannot be renamed to " << Quoted(dest) << ": " << error << std::endl;
    return kImportFailed;
  }
  RemoveDatabaseFiles(temporary);  // the side files of the database, if any are left
  out << report;
  out.flush();
  return code;
}

}  // namespace access_file
