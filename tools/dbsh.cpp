// dbsh: a command-line shell for the engine's databases.
//
//   dbsh [--create] DATABASE [SCRIPT]
//   dbsh --import-access SOURCE DEST
//   dbsh --check DATABASE
//   dbsh --repair DAMAGED NEW
//
// Reads one statement per line from SCRIPT or standard input (blank lines and lines beginning
// with "--" are skipped). A statement that returns records prints its column names and rows
// separated by TABs; any other prints "ok N" with the number of records it affected. A failing
// statement prints "error N: message" and the shell goes on; the exit status is 1 when any
// statement failed. ".tables", ".schema TABLE" and ".indexes TABLE" describe the database.
// --import-access converts a genuine Access file into a new database DEST (tools/access).
// --check runs the full integrity check of a database file; --repair copies what can be read of
// a damaged one into the new file NEW (tools/dbsh_integrity.h).
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "engine/engine.h"
#include "framework/com.h"
#include "framework/exception.h"
#include "framework/strings.h"
#include "tools/access/access_import.h"
#include "tools/dbsh_integrity.h"
#include "tools/dbsh_output.h"

namespace {

using dao::Variant;

void Usage() {
  std::cerr << "usage: dbsh [--create] DATABASE [SCRIPT]\n"
               "       dbsh --import-access SOURCE DEST\n"
               "       dbsh --check DATABASE\n"
               "       dbsh --repair DAMAGED NEW\n";
}

bool StartsWithWord(const std::string& line, const char* word) {
  const size_t n = std::strlen(word);
  if (line.size() < n || !framework::SameText(line.substr(0, n), word)) return false;
  return line.size() == n || !std::isalnum(static_cast<unsigned char>(line[n]));
}

void PrintRecords(dao::Database& db, const std::string& sql) {
  auto rs = db.OpenRecordset(sql, Variant(dao::dbOpenForwardOnly));  // streams: any size of result
  auto fields = rs->Fields();
  const int n = fields->Count();
  std::vector<std::shared_ptr<dao::Field>> list;
  std::vector<int> types;
  std::string header;
  for (int k = 0; k < n; ++k) {
    list.push_back(fields->Item(k));
    types.push_back(list.back()->Type());
    header += (k ? "\t" : "") + dbsh::EscapeText(list.back()->Name());
  }
  std::cout << header << '\n';
  while (!rs->Eof()) {
    std::string line;
    for (int k = 0; k < n; ++k) line += (k ? "\t" : "") + dbsh::FormatValue(list[k]->Value(), types[k]);
    std::cout << line << '\n';
    rs->MoveNext();
  }
  rs->Close();
}

void PrintTables(dao::Database& db) {
  auto defs = db.TableDefs();
  for (int k = 0; k < defs->Count(); ++k) {
    auto t = defs->Item(k);
    if ((t->Attributes() & dao::dbSystemObject) == 0) std::cout << t->Name() << '\n';
  }
}

void PrintSchema(dao::Database& db, const std::string& table) {
  auto fields = db.TableDefs()->Item(table)->Fields();
  for (int k = 0; k < fields->Count(); ++k) {
    auto f = fields->Item(k);
    std::cout << f->Name() << '\t' << f->Type() << '\t' << f->Size() << '\t' << f->Attributes() << '\t'
              << (f->Required() ? "True" : "False") << '\t' << f->DefaultValue() << '\n';
  }
}

void PrintIndexes(dao::Database& db, const std::string& table) {
  auto indexes = db.TableDefs()->Item(table)->Indexes();
  for (int k = 0; k < indexes->Count(); ++k) {
    auto i = indexes->Item(k);
    std::string line = i->Name() + '\t' + (i->Primary() ? "True" : "False") + '\t' + (i->Unique() ? "True" : "False");
    auto fields = i->Fields();
    for (int j = 0; j < fields->Count(); ++j) {
      auto f = fields->Item(j);
      line += '\t' + f->Name() + ((f->Attributes() & dao::dbDescending) ? " DESC" : " ASC");
    }
    std::cout << line << '\n';
  }
}

// Runs one line; answers false when it failed.
bool RunLine(dao::Database& db, const std::string& line) {
  try {
    if (line[0] == '.') {
      const size_t space = line.find_first_of(" \t");
      const std::string command = line.substr(0, space);
      const std::string arg = space == std::string::npos ? "" : framework::Trim(line.substr(space));
      if (command == ".tables" && arg.empty()) PrintTables(db);
      else if (command == ".schema" && !arg.empty()) PrintSchema(db, arg);
      else if (command == ".indexes" && !arg.empty()) PrintIndexes(db, arg);
      else {
        std::cout << "error 0: unknown command " << line << " (use .tables, .schema TABLE, .indexes TABLE)\n";
        return false;
      }
      return true;
    }
    const bool select = StartsWithWord(line, "SELECT") || StartsWithWord(line, "PARAMETERS");
    if (select && db.CreateQueryDef(Variant(), Variant(line))->Type() != dao::dbQMakeTable) {
      PrintRecords(db, line);
    } else {
      db.Execute(line, Variant(dao::dbFailOnError));
      std::cout << "ok " << db.RecordsAffected() << '\n';
    }
    return true;
  } catch (const dao::EOleException& e) {
    std::cout << "error " << e.ErrorCode() << ": " << e.Message() << '\n';
  } catch (const framework::Exception& e) {
    std::cout << "error 0: " << e.Message() << '\n';
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--import-access") == 0) {
    if (argc != 4) {
      Usage();
      return 2;
    }
    return access_file::ImportAccess(argv[2], argv[3], std::cout, std::cerr);
  }
  if (argc >= 2 && (std::strcmp(argv[1], "--check") == 0 || std::strcmp(argv[1], "--repair") == 0)) {
    const bool check = argv[1][2] == 'c';
    if (argc != (check ? 3 : 4)) {
      Usage();
      return 2;
    }
    engine::RegisterEngineClasses();
    return check ? dbsh::CheckDatabase(argv[2], std::cout, std::cerr)
                 : dbsh::RepairDatabase(argv[2], argv[3], std::cout, std::cerr);
  }
  bool create = false;
  std::vector<std::string> args;
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "--create") create = true;
    else if (a == "--help" || a == "-h") {
      Usage();
      return 0;
    } else args.push_back(a);
  }
  if (args.empty() || args.size() > 2) {
    Usage();
    return 2;
  }
  engine::RegisterEngineClasses();
  framework::CoInitialize();
  std::shared_ptr<dao::Database> db;
  try {
    auto engine = std::dynamic_pointer_cast<dao::DBEngine>(framework::CreateOleObject("DAO.DBEngine.36"));
    auto ws = engine->CreateWorkspace("dbsh", Variant("Admin"), Variant(""), Variant(dao::dbUseJet));
    if (create && !std::filesystem::exists(args[0])) db = ws->CreateDatabase(args[0]);
    else db = ws->OpenDatabase(args[0]);
  } catch (const dao::EOleException& e) {
    std::cout << "error " << e.ErrorCode() << ": " << e.Message() << '\n';
    return 1;
  }
  std::ifstream file;
  if (args.size() == 2) {
    file.open(args[1]);
    if (!file) {
      std::cerr << "dbsh: cannot read the script " << args[1] << '\n';
      return 1;
    }
  }
  std::istream& in = args.size() == 2 ? static_cast<std::istream&>(file) : std::cin;
  bool failed = false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string text = framework::Trim(line);
    if (text.empty() || text.rfind("--", 0) == 0) continue;
    if (!RunLine(*db, text)) failed = true;
  }
  db->Close();
  return failed ? 1 : 0;
}
