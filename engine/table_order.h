// The live order behind a table-type recordset: every record of one table in the order of one of
// its indexes (row id order without one), as the table is now. A record added, changed or deleted
// through this connection's recordsets is placed at once in O(log n); a change this connection
// cannot place one by one (an action query, a rollback) or any commit by another connection makes
// the order re-read the table before its next use, keeping the entries of the records it still
// has. Bookmarks name records: they are shared by every table-type recordset of the table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/catalog.h"
#include "engine/database_core.h"
#include "engine/order_tree.h"
#include "engine/record_order.h"

namespace engine {

// The 4-byte bookmarks of one table's records, given out on first use. A record deleted through
// this connection keeps its bookmark, marked deleted, so that its row id can be used again by a
// new record with a bookmark of its own.
class RowBookmarks {
 public:
  uint32_t Of(int64_t rowid);
  // The row id named by `bookmark`; false when it names none. `deleted` tells a deleted record.
  bool RowIdOf(uint32_t bookmark, int64_t& rowid, bool& deleted) const;
  void Deleted(int64_t rowid);

 private:
  std::unordered_map<int64_t, uint32_t> of_rowid_;
  std::vector<int64_t> rowid_;          // by bookmark - 1
  std::vector<uint8_t> deleted_;        // by bookmark - 1
};

// Entry value answered by EntryOfBookmark for a bookmark of a deleted record.
constexpr int32_t kDeletedEntry = -2;

class TableOrder : public RecordOrder {
 public:
  // The order of `table` under its index `index` (empty: row id order). Read on first Sync.
  TableOrder(std::shared_ptr<DatabaseCore> db, const TableInfo& table, const std::string& index);

  const std::string& table() const { return table_; }
  const std::string& index() const { return index_; }

  // Re-reads the order when someone may have changed the table in a way it has not placed.
  void Sync();
  // Counts the re-reads: records read before the last one may be out of date.
  int64_t generation() const { return generation_; }
  // A record added, changed (in any column) or deleted through this connection.
  void Inserted(int64_t rowid);
  void Updated(int64_t rowid);
  void Deleted(int64_t rowid);

  int32_t LiveCount() const override { return tree_.LiveCount(); }
  bool IsEntry(int32_t entry) const override { return entry >= 0 && entry < tree_.NodeCount(); }
  bool IsLive(int32_t entry) const override { return tree_.IsLive(entry); }
  int64_t RowId(int32_t entry) const override { return tree_.RowId(entry); }
  int32_t Position(int32_t entry) const override { return tree_.Rank(entry); }
  int32_t EntryAt(int32_t position) const override { return tree_.Select(position); }
  int32_t EntryOf(int64_t rowid) override;
  void Kill(int32_t entry) override;
  uint32_t BookmarkOf(int32_t entry) override { return bookmarks_->Of(tree_.RowId(entry)); }
  // The bookmark of a record of the table, also one the order leaves out.
  uint32_t BookmarkOfRow(int64_t rowid) { return bookmarks_->Of(rowid); }
  // The entry of a bookmark, kDeletedEntry for a deleted record, -1 for no record of the table.
  int32_t EntryOfBookmark(uint32_t bookmark) override;

 private:
  void Rebuild();
  // Reads the index key of `rowid`; false when the row is gone or the index leaves it out.
  bool ReadKey(int64_t rowid, std::vector<Cell>& key);
  // The entry of the record that follows (rowid, key) in the order, -1 at the end; false when
  // that record is not in this order (the order is out of date).
  bool Successor(int64_t rowid, const std::vector<Cell>& key, int32_t& entry);
  // Places `node` (detached) where its record belongs, or leaves it out; false when out of date.
  bool Place(int32_t node);

  std::shared_ptr<DatabaseCore> db_;
  std::string table_;
  std::string index_;
  std::vector<IndexColumn> columns_;
  bool ignore_nulls_ = false;
  std::string filter_sql_;  // " AND NOT (all key columns Null)" for an index that ignores Nulls
  OrderTree tree_;
  std::unordered_map<int64_t, int32_t> node_of_;  // row id -> its newest node
  std::shared_ptr<RowBookmarks> bookmarks_;
  bool stale_ = true;
  int64_t data_version_ = -1;
  int64_t epoch_ = -1;
  int64_t generation_ = 0;
};

// The order of `table` under `index` shared by the table-type recordsets of a database.
std::shared_ptr<TableOrder> SharedTableOrder(const std::shared_ptr<DatabaseCore>& db, const TableInfo& table,
                                             const std::string& index);

// What happened to a record written through a recordset of this connection.
enum class RowChange { kInserted, kUpdated, kDeleted };
// Tells every table order of `table` about a record written through this connection.
void PlaceRowChange(DatabaseCore& db, const std::string& table, int64_t rowid, RowChange change);

}  // namespace engine
