#include "dao/open_tables.h"

#include <exception>

#include "framework/exception.h"
#include "framework/strings.h"

namespace dao {

const std::string& TOpenTableList::Name(int index) const { return entries_.at(static_cast<size_t>(index)).name; }

IOpenTable* TOpenTableList::Table(int index) const { return entries_.at(static_cast<size_t>(index)).table; }

int TOpenTableList::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (framework::SameText(entries_[i].name, name)) return static_cast<int>(i);
  return -1;
}

int TOpenTableList::IndexOfTable(const IOpenTable* table) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].table == table) return static_cast<int>(i);
  return -1;
}

void TOpenTableList::Add(const std::string& name, IOpenTable* table) {
  if (table == nullptr) throw framework::EDatabaseError("Cannot register an undefined table!");
  const int at = IndexOfTable(table);
  if (at >= 0) entries_[static_cast<size_t>(at)].name = name;
  else entries_.push_back({name, table});
}

void TOpenTableList::Remove(const IOpenTable* table) {
  const int at = IndexOfTable(table);
  if (at >= 0) entries_.erase(entries_.begin() + at);
}

std::vector<std::string> TOpenTableList::CloseAll() {
  std::vector<std::string> failures;
  // A copy: a table that ignores the mark and removes itself must not disturb the walk.
  const std::vector<Entry> tables = entries_;
  for (const Entry& e : tables) {
    if (IndexOfTable(e.table) < 0) continue;  // closing an earlier table took it out
    try {
      e.table->SetClosedByDatabase(true);
      e.table->CloseTable();
    } catch (const std::exception& ex) {
      failures.push_back(e.name + ": " + ex.what());
    } catch (...) {
      failures.push_back(e.name + ": unknown error");
    }
  }
  entries_.clear();
  return failures;
}

}  // namespace dao
