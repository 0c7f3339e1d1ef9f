// genexport: writes a personnel system export file of N records, and optionally the dbsh script
// of a birthday table that partly matches it, for trying and timing the import on large data.
//
//   genexport N EXPORT_FILE [SQL_FILE]
//
// The export file has three header lines and N records with personnel numbers 1..N, names with
// umlauts, valid birthdays and a telephone number in field 19 (Windows-1252, CR LF). The script
// creates the table "Geburtstag" with an index on Personalnr and holds records for every second
// number of the file plus N/10 numbers the file does not have, so an import updates half the
// table, adds the other half of the file and deletes the rest.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "framework/text_encoding.h"

namespace {

const char* const kLastNames[] = {"Müller", "Schäfer", "Weiß", "Groß", "Köhler", "Bäcker",
                                  "Hübner", "Zöller", "Krüger", "Lößl"};
const char* const kFirstNames[] = {"Jürgen", "Anna", "Günther", "Björn", "Käthe",
                                   "Sören", "Jörg", "Ute", "Élodie", "Max"};

std::string Birthday(long i, bool jet) {
  const int day = static_cast<int>(i % 28) + 1;
  const int month = static_cast<int>(i / 28 % 12) + 1;
  const int year = 1940 + static_cast<int>(i % 60);
  char text[16];
  if (jet) std::snprintf(text, sizeof text, "#%02d/%02d/%04d#", month, day, year);
  else std::snprintf(text, sizeof text, "%02d.%02d.%04d", day, month, year);
  return text;
}

std::string Name(long i) {
  return std::string(kLastNames[i % 10]) + ";" + kFirstNames[i / 10 % 10];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::cerr << "Usage: genexport N EXPORT_FILE [SQL_FILE]\n";
    return 2;
  }
  const long n = std::strtol(argv[1], nullptr, 10);
  if (n < 0) {
    std::cerr << "genexport: N must not be negative\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << "Personalstamm Export;Mandant 01\r\nGesellschaft;Personalnummer;Nachname;Vorname;"
         "Geburtsdatum\r\n\r\n";
  for (long i = 1; i <= n; ++i) {
    std::string line = "01;" + std::to_string(i) + ";" + Name(i) + ";" + Birthday(i, false);
    for (int field = 6; field <= 18; ++field) line += ";x";
    line += ";0711 " + std::to_string(100000 + i) + "\r\n";
    out << framework::Utf8ToWindows1252(line);
  }
  if (!out) {
    std::cerr << "genexport: cannot write " << argv[2] << "\n";
    return 1;
  }
  if (argc == 4) {
    std::ofstream sql(argv[3], std::ios::binary);
    sql << "CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
           "Mitarbeiter TEXT(255), Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)\n"
           "CREATE INDEX Personalnr ON Geburtstag (Personalnr)\n";
    auto insert = [&](long number, long seed) {
      std::string name = Name(seed);
      name.replace(name.find(';'), 1, " ");
      sql << "INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES (\""
          << name << "\", " << Birthday(seed + 7, true) << ", \"0711 1\", " << number << ")\n";
    };
    for (long i = 2; i <= n; i += 2) insert(i, i);
    for (long i = 1; i <= n / 10; ++i) insert(n + i, i);
    if (!sql) {
      std::cerr << "genexport: cannot write " << argv[3] << "\n";
      return 1;
    }
  }
  return 0;
}
