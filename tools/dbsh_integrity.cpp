#include "tools/dbsh_integrity.h"

#include "dao/dao_interfaces.h"
#include "engine/integrity.h"
#include "framework/exception.h"
#include "framework/strings.h"

namespace dbsh {

namespace {

// Prints an error of the engine or the system the way dbsh prints failing statements.
void PrintError(const std::exception& e, std::ostream& err) {
  const auto* ole = dynamic_cast<const dao::EOleException*>(&e);
  const auto* own = dynamic_cast<const framework::Exception*>(&e);
  err << "error " << (ole != nullptr ? ole->ErrorCode() : 0) << ": "
      << framework::EscapeControlCharacters(own != nullptr ? own->Message() : e.what()) << '\n';
}

std::string RowIdRange(const std::pair<int64_t, int64_t>& range) {
  if (range.second < 0) return "from row id " + std::to_string(range.first) + " to the end";
  if (range.first == range.second) return "row id " + std::to_string(range.first);
  return "row ids " + std::to_string(range.first) + " to " + std::to_string(range.second);
}

}  // namespace

int CheckDatabase(const std::string& path, std::ostream& out, std::ostream& err) {
  try {
    const std::vector<std::string> problems = engine::IntegrityProblems(path);
    if (problems.empty()) {
      out << "ok\n";
      return 0;
    }
    for (const std::string& p : problems) out << framework::EscapeControlCharacters(p) << '\n';
    out << "The database is damaged. Repair it with " << engine::RepairCommand(path) << ".\n";
  } catch (const std::exception& e) {
    PrintError(e, err);
  }
  return 1;
}

int RepairDatabase(const std::string& damaged, const std::string& repaired, std::ostream& out,
                   std::ostream& err) {
  engine::RepairReport report;
  try {
    report = engine::RepairDatabase(damaged, repaired);
  } catch (const std::exception& e) {
    PrintError(e, err);
    return 1;
  }
  for (const auto& t : report.tables) {
    out << t.name << ": " << t.rows_copied << " rows copied";
    if (!t.rows_refused.empty()) {
      out << ", " << t.rows_refused.size() << " refused by a unique index or a rule (row ids";
      for (size_t k = 0; k < t.rows_refused.size() && k < 20; ++k) out << ' ' << t.rows_refused[k];
      if (t.rows_refused.size() > 20) out << " ...";
      out << ')';
    }
    for (const auto& range : t.unreadable) out << ", unreadable: " << RowIdRange(range);
    out << '\n';
  }
  for (const std::string& lost : report.schema_lost) out << "not made again: " << lost << '\n';
  out << (report.Complete() ? "Everything was copied into " : "What could be read was copied into ")
      << repaired << ".\n";
  return report.Complete() ? 0 : 1;
}

}  // namespace dbsh
