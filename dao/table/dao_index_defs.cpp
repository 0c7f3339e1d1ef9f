#include "dao/table/dao_index_defs.h"

#include <algorithm>
#include <memory>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/table/key_conditions.h"
#include "dataset/field_defs.h"
#include "framework/strings.h"

namespace dao {

using framework::Variant;

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return framework::SameText(n, name); });
}

// Runs `change` with the table closed when it is active (DAO changes an index only on a table
// definition nobody has open) and opens it again afterwards. An error of the change passes on
// after the reopening; a failing reopen then does not hide it.
template <class F>
void WithTableClosed(TUxDaoTable& table, F&& change) {
  const bool was_active = table.Active();
  if (was_active) table.Close();
  try {
    change();
  } catch (...) {
    if (was_active) {
      try {
        table.Open();
      } catch (const std::exception&) {
      }
    }
    throw;
  }
  if (was_active) table.Open();
}

}  // namespace

TUxDaoIndexDefs::TUxDaoIndexDefs(TUxDaoTable* table) : dataset::TIndexDefs(table), table_(table) {}

bool TUxDaoIndexDefs::MirrorsTable() const {
  const TUxDaoDatabase* database = table_->Database();
  return !table_->TableName().empty() && table_->TableType() == dbOpenTable &&
         database != nullptr && database->EngineType() != dbUseODBC;
}

// ---------------------------------------------------------------------------------------------
// Reading

void TUxDaoIndexDefs::ReadFromTable() {
  Clear();
  read_from_.clear();
  if (!MirrorsTable()) return;
  const std::shared_ptr<dao::Database> db = table_->Database()->CoreDatabase();
  if (!db) return;
  const std::shared_ptr<dao::Indexes> indexes = db->TableDefs()->Item(table_->TableName())->Indexes();
  read_from_ = table_->TableName();
  try {
    indexes->Refresh();
  } catch (const std::exception&) {
  }
  const int count = indexes->Count();
  for (int i = 0; i < count; ++i) {
    const std::shared_ptr<dao::Index> index = indexes->Item(i);
    std::string name;
    bool primary = false;
    bool unique = false;
    try {
      name = index->Name();
      primary = index->Primary();
      unique = index->Unique();
    } catch (const std::exception&) {
      name.clear();
      primary = false;
      unique = false;
    }
    std::string ascending;
    std::string descending;
    bool all_descending = true;
    const std::shared_ptr<dao::Fields> fields = index->Fields();
    const int field_count = fields->Count();
    for (int j = 0; j < field_count; ++j) {
      const std::shared_ptr<dao::Field> field = fields->Item(j);
      if ((field->Attributes() & dbDescending) != 0) {
        descending += field->Name() + ";";
      } else {
        ascending += field->Name() + ";";
        all_descending = false;
      }
    }
    if (!ascending.empty()) ascending.pop_back();
    if (!descending.empty()) descending.pop_back();
    dataset::TIndexOptions options = 0;
    if (primary) options |= dataset::ixPrimary;
    if (unique) options |= dataset::ixUnique;
    if (all_descending) options |= dataset::ixDescending;
    // The collection refuses a second definition of one name, which a second index with an
    // unreadable (empty) name would be; the first one stands for both.
    if (IndexOf(name) >= 0) continue;
    dataset::TIndexDef& def = Add(name, ascending, options);
    def.SetDescFields(descending);
  }
}

void TUxDaoIndexDefs::Forget() {
  Clear();
  read_from_.clear();
}

// ---------------------------------------------------------------------------------------------
// Synchronising

std::vector<std::string> TUxDaoIndexDefs::DaoIndexNames() {
  std::vector<std::string> names;
  TUxDaoDatabase* database = table_->Database();
  if (database == nullptr || !database->Connected()) return names;
  try {
    database->RefreshNameLists();
    const std::shared_ptr<dao::Indexes> indexes =
        database->CoreDatabase()->TableDefs()->Item(table_->TableName())->Indexes();
    const int count = indexes->Count();
    for (int i = 0; i < count; ++i) names.push_back(indexes->Item(i)->Name());
  } catch (const std::exception&) {
    names.clear();
  }
  return names;
}

void TUxDaoIndexDefs::SyncIndexesToTable() {
  // Closing and reopening the table around each change reads the collection afresh from DAO,
  // so the wanted definitions are taken before the first change.
  std::vector<dataset::TIndexDef> wanted;
  wanted.reserve(static_cast<size_t>(Count()));
  for (int i = 0; i < Count(); ++i) wanted.push_back(Items(i));
  try {
    // A collection that does not mirror the DAO table is empty by construction, and so is the
    // collection of a table never opened since its source was set; taking either for the wanted
    // state would drop every index of the DAO table.
    const bool never_read = wanted.empty() && table_->FieldDefs().Count() == 0 &&
                            !framework::SameText(read_from_, table_->TableName());
    if (MirrorsTable() && !never_read) {
      const std::vector<std::string> existing = DaoIndexNames();
      for (const dataset::TIndexDef& def : wanted)
        if (!Contains(existing, def.Name())) CreateTableIndex(def);
      for (const std::string& name : existing) {
        const bool kept = std::any_of(wanted.begin(), wanted.end(), [&](const dataset::TIndexDef& d) {
          return framework::SameText(d.Name(), name);
        });
        if (!kept) DropTableIndex(name);
      }
    }
  } catch (...) {
    try {
      ReadFromTable();
    } catch (const std::exception&) {
    }
    throw;
  }
  ReadFromTable();
}

std::vector<std::string> TUxDaoIndexDefs::TableFieldNames() {
  std::vector<std::string> names;
  const dataset::TFieldDefs& defs = table_->FieldDefs();
  for (int i = 0; i < defs.Count(); ++i) names.push_back(defs.Items(i).Name());
  if (!names.empty()) return names;
  // Never opened: the table definition itself knows its fields.
  const std::shared_ptr<dao::Fields> fields =
      table_->Database()->CoreDatabase()->TableDefs()->Item(table_->TableName())->Fields();
  const int count = fields->Count();
  for (int i = 0; i < count; ++i) names.push_back(fields->Item(i)->Name());
  return names;
}

void TUxDaoIndexDefs::CreateTableIndex(const dataset::TIndexDef& definition) {
  TUxDaoDatabase* database = table_->Database();
  const std::string table_name = table_->TableName();
  if (table_name.empty() || database == nullptr || !database->CoreDatabase() ||
      database->TableNames().IndexOf(table_name) < 0)
    return;
  // The definition may be an item of this collection, which reopening the table rebuilds.
  const dataset::TIndexDef def = definition;
  const std::vector<std::string> ascending = daotable::SplitFieldList(def.Fields());
  const std::vector<std::string> descending = daotable::SplitFieldList(def.DescFields());
  const std::vector<std::string> known = TableFieldNames();
  for (const std::string& name : ascending)
    if (!Contains(known, name)) return;
  for (const std::string& name : descending)
    if (!Contains(known, name)) return;
  WithTableClosed(*table_, [&] {
    database->RefreshNameLists();
    const std::shared_ptr<dao::TableDef> table_def =
        database->CoreDatabase()->TableDefs()->Item(table_name);
    const std::shared_ptr<dao::Index> index = table_def->CreateIndex(Variant(def.Name()));
    if (def.HasOption(dataset::ixPrimary)) index->SetPrimary(true);
    if (def.HasOption(dataset::ixUnique)) index->SetUnique(true);
    for (const std::string& name : ascending) index->Fields()->Append(table_def->CreateField(Variant(name)));
    for (const std::string& name : descending) {
      const std::shared_ptr<dao::Field> column = table_def->CreateField(Variant(name));
      column->SetAttributes(column->Attributes() | dbDescending);
      index->Fields()->Append(column);
    }
    table_def->Indexes()->Append(index);
    database->RefreshNameLists();
  });
}

bool TUxDaoIndexDefs::DropTableIndex(const std::string& name) {
  TUxDaoDatabase* database = table_->Database();
  if (table_->TableName().empty() || database == nullptr) return false;
  const std::string table_name = table_->TableName();
  WithTableClosed(*table_, [&] { database->DeleteIndex(table_name, name); });
  return true;
}

}  // namespace dao
