// TUxDaoIndexDefs: the IndexDefs collection of a TUxDaoTable. It mirrors the indexes of the DAO
// table definition behind a table-type dataset in both directions: the definitions are read
// from DAO, and updating the dataset's index definitions changes the DAO table to match the
// collection (indexes missing in DAO are created, indexes no longer in the collection dropped).
//
// Field lists are ";"-separated names without blanks. Fields holds the index fields in
// ascending order and DescFields those in descending order; the two never overlap, and
// ixDescending marks an index without an ascending field.
#pragma once

#include <string>
#include <vector>

#include "dataset/index_defs.h"

namespace dao {

class TUxDaoTable;

class TUxDaoIndexDefs : public dataset::TIndexDefs {
 public:
  // The collection of `table`, which is also its dataset.
  explicit TUxDaoIndexDefs(TUxDaoTable* table);

  TUxDaoTable& Table() const { return *table_; }

  // Rebuilds the collection from the indexes of the DAO table definition TableName. The
  // collection stays empty unless TableName is set, TableType is 1 (table) and the database is
  // not an ODBC one. Failures to read an index's name or flags give that index an empty name
  // and no flags; other DAO failures pass on.
  void ReadFromTable();
  // Empties the collection and forgets the table it was read from, for a table whose source
  // changed: until the table is opened or the collection read again, an update only reads.
  void Forget();
  // Changes the DAO table to match the collection: every definition whose name the DAO table
  // lacks is created, every DAO index that no definition names is dropped, and the collection is
  // then read again (also when a change failed, whose error then passes on). Only a table-type
  // dataset's collection mirrors its DAO table; for any other dataset nothing in DAO changes, nor
  // for an empty collection that was never read (a table not opened since its source was set).
  // When the DAO index names cannot be listed, every definition counts as missing.
  void SyncIndexesToTable();
  // Creates the index of `definition` in the DAO table TableName. Nothing happens when
  // TableName is not one of the database's tables or a field name of the definition is not a
  // field of the table. An active table is closed for the change and opened again afterwards,
  // also when DAO refuses the index (whose error then passes on).
  void CreateTableIndex(const dataset::TIndexDef& definition);
  // Drops the index `name` from the DAO table TableName, closing an active table for the change
  // and opening it again afterwards. False, without a change, when TableName is empty or the
  // table has no database; DAO errors pass on after the table was opened again.
  bool DropTableIndex(const std::string& name);

 private:
  // Whether the collection mirrors a DAO table definition (see ReadFromTable).
  bool MirrorsTable() const;
  // The names of the DAO table's indexes; empty without a connection or when DAO fails.
  std::vector<std::string> DaoIndexNames();
  // The names of the table's fields: its field definitions, or the DAO table definition's fields
  // while it has none yet.
  std::vector<std::string> TableFieldNames();

  TUxDaoTable* table_;
  // The table whose indexes this collection last read itself (empty: none).
  std::string read_from_;
};

}  // namespace dao
