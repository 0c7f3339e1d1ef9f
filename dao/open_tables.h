// The tables that are open on a database connection. A table enters itself under its name when
// it opens and leaves when it closes; when the connection closes, it closes every table still in
// the list, marking each as closed by its database first so that it does not try to leave the
// list while the list is being emptied. The connection knows tables only through IOpenTable.
#pragma once

#include <string>
#include <vector>

namespace dao {

// What the connection needs of an open table.
class IOpenTable {
 public:
  virtual ~IOpenTable() = default;
  // Set by the connection right before it closes the table; a table so marked leaves the list
  // alone when it closes.
  virtual void SetClosedByDatabase(bool closed) = 0;
  virtual bool ClosedByDatabase() const = 0;
  // Closes the table.
  virtual void CloseTable() = 0;
  // Makes the table read-only (the connection was switched to read-only).
  virtual void SetTableReadOnly(bool read_only) = 0;
};

class TOpenTableList {
 public:
  int Count() const { return static_cast<int>(entries_.size()); }
  const std::string& Name(int index) const;
  IOpenTable* Table(int index) const;
  // Position of the table of that name (without regard to case), or -1.
  int IndexOf(const std::string& name) const;
  // Position of the table, or -1.
  int IndexOfTable(const IOpenTable* table) const;

  // Enters `table` under `name`; a table already in the list only takes the new name. A null
  // table is refused with EDatabaseError.
  void Add(const std::string& name, IOpenTable* table);
  // Removes the table (nothing when it is not in the list).
  void Remove(const IOpenTable* table);
  void Clear() { entries_.clear(); }

  // Marks every table as closed by its database and closes it, going on when one of them fails
  // (the failures are returned, in list order, as their messages), then empties the list.
  std::vector<std::string> CloseAll();

 private:
  struct Entry {
    std::string name;
    IOpenTable* table;
  };
  std::vector<Entry> entries_;
};

}  // namespace dao
