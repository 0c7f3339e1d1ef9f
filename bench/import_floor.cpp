// The floor of the import: the same row-by-row work as the program's unattended run, written
// directly against the SQLite C API with prepared statements. For each export line the personnel
// number is looked up; a found record gets the birthday (an UPDATE, each its own transaction), a
// new number a record (an INSERT); then every record whose number the file does not hold is
// deleted, one by one. WAL mode and synchronous=NORMAL, as the engine runs SQLite.
//
//   import_floor DATABASE EXPORT [FIRST_LINE]     (FIRST_LINE: default 4)
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

[[noreturn]] void Die(sqlite3* db, const char* what) {
  std::fprintf(stderr, "import_floor: %s: %s\n", what, db ? sqlite3_errmsg(db) : "");
  std::exit(1);
}

sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) Die(db, sql);
  return st;
}

void Finish(sqlite3* db, sqlite3_stmt* st) {
  if (sqlite3_step(st) != SQLITE_DONE) Die(db, sqlite3_sql(st));
  sqlite3_reset(st);
}

// Windows-1252 bytes as UTF-8 (the export's names hold umlauts).
std::string FromCp1252(const std::string& s) {
  static const char16_t high[32] = {0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160,
                                    0x2039, 0x152, 0x8D, 0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                    0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178};
  std::string out;
  for (unsigned char c : s) {
    const unsigned u = c < 0x80 ? c : c < 0xA0 ? high[c - 0x80] : c;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

// The day number of DAO dates (30 Dec 1899 is 0) of d.m.y.
double DayNumber(int d, int m, int y) {
  // Days from the civil calendar (proleptic Gregorian), then shifted to 1899-12-30.
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days = static_cast<long>(era) * 146097 + doe - 719468;  // since 1970-01-01
  return static_cast<double>(days + 25569);
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    const size_t end = line.find(';', start);
    f.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  f.resize(std::max<size_t>(f.size(), 19));
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: import_floor DATABASE EXPORT [FIRST_LINE]\n");
    return 2;
  }
  const int first = argc > 3 ? std::atoi(argv[3]) : 4;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) Die(db, argv[1]);
  sqlite3_busy_timeout(db, 5000);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  sqlite3_stmt* find = Prepare(db, "SELECT ID FROM Geburtstag WHERE Personalnr = ?");
  sqlite3_stmt* update = Prepare(db, "UPDATE Geburtstag SET Geburtsdatum = ? WHERE ID = ?");
  sqlite3_stmt* insert =
      Prepare(db, "INSERT INTO Geburtstag (Personalnr, Geburtsdatum, Mitarbeiter, Telefon) VALUES (?, ?, ?, ?)");
  sqlite3_stmt* walk = Prepare(db, "SELECT ID, Personalnr FROM Geburtstag");
  sqlite3_stmt* remove = Prepare(db, "DELETE FROM Geburtstag WHERE ID = ?");

  std::ifstream in(argv[2], std::ios::binary);
  if (!in) Die(nullptr, argv[2]);
  std::unordered_set<long long> seen;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (n < first) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> f = Split(line);
    const long long nr = std::atoll(f[1].c_str());
    int d = 0, m = 0, y = 0;
    if (std::sscanf(f[4].c_str(), "%d.%d.%d", &d, &m, &y) != 3) continue;
    const double born = DayNumber(d, m, y);
    seen.insert(nr);
    sqlite3_bind_int64(find, 1, nr);
    const bool found = sqlite3_step(find) == SQLITE_ROW;
    const long long id = found ? sqlite3_column_int64(find, 0) : 0;
    sqlite3_reset(find);
    if (found) {
      sqlite3_bind_double(update, 1, born);
      sqlite3_bind_int64(update, 2, id);
      Finish(db, update);
    } else {
      const std::string name = FromCp1252(f[2] + " " + f[3]), phone = FromCp1252(f[18]);
      sqlite3_bind_int64(insert, 1, nr);
      sqlite3_bind_double(insert, 2, born);
      sqlite3_bind_text(insert, 3, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 4, phone.c_str(), static_cast<int>(phone.size()), SQLITE_TRANSIENT);
      Finish(db, insert);
    }
  }
  std::vector<long long> gone;
  while (sqlite3_step(walk) == SQLITE_ROW)
    if (!seen.count(sqlite3_column_int64(walk, 1))) gone.push_back(sqlite3_column_int64(walk, 0));
  sqlite3_reset(walk);
  for (const long long id : gone) {
    sqlite3_bind_int64(remove, 1, id);
    Finish(db, remove);
  }
  for (sqlite3_stmt* st : {find, update, insert, walk, remove}) sqlite3_finalize(st);
  sqlite3_close(db);
  std::printf("import_floor: %zu numbers, %zu deleted\n", seen.size(), gone.size());
  return 0;
}
