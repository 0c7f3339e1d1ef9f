#include "engine/table_order.h"

#include <algorithm>
#include <cassert>

#include "dao/dao_constants.h"
#include "engine/errors.h"

namespace engine {

// ---------------------------------------------------------------------------------------------
// RowBookmarks

uint32_t RowBookmarks::Of(int64_t rowid) {
  const auto it = of_rowid_.find(rowid);
  if (it != of_rowid_.end()) return it->second;
  if (rowid_.size() >= 0xFFFFFFFEu) Raise(dao::err::kInvalidOperation, "Too many bookmarks on one table.");
  rowid_.push_back(rowid);
  deleted_.push_back(0);
  const auto bookmark = static_cast<uint32_t>(rowid_.size());
  of_rowid_.emplace(rowid, bookmark);
  return bookmark;
}

bool RowBookmarks::RowIdOf(uint32_t bookmark, int64_t& rowid, bool& deleted) const {
  if (bookmark == 0 || bookmark > rowid_.size()) return false;
  rowid = rowid_[bookmark - 1];
  deleted = deleted_[bookmark - 1] != 0;
  return true;
}

void RowBookmarks::Deleted(int64_t rowid) {
  const auto it = of_rowid_.find(rowid);
  if (it == of_rowid_.end()) return;
  deleted_[it->second - 1] = 1;
  of_rowid_.erase(it);
}

// ---------------------------------------------------------------------------------------------
// TableOrder

TableOrder::TableOrder(std::shared_ptr<DatabaseCore> db, const TableInfo& table, const std::string& index)
    : db_(std::move(db)), table_(table.name) {
  if (!index.empty()) {
    const int k = table.IndexPosition(index);
    assert(k >= 0);
    index_ = table.indexes[k].name;
    columns_ = table.indexes[k].columns;
    ignore_nulls_ = table.indexes[k].ignore_nulls;
  }
  if (ignore_nulls_) {
    std::string all_null;
    for (const auto& c : columns_) all_null += (all_null.empty() ? "" : " AND ") + QuoteName(c.name) + " IS NULL";
    filter_sql_ = " AND NOT (" + all_null + ")";
  }
  auto& bookmarks = db_->row_bookmarks[table_];
  if (!bookmarks) bookmarks = std::make_shared<RowBookmarks>();
  bookmarks_ = bookmarks;
}

void TableOrder::Sync() {
  const int64_t version = db_->DataVersion();
  if (!stale_ && version == data_version_ && epoch_ == db_->order_epoch) return;
  data_version_ = version;
  epoch_ = db_->order_epoch;
  Rebuild();
  stale_ = false;
  ++generation_;
}

// Reads the whole order again and merges it into the tree: a record that is still there keeps its
// node (and with it every recordset standing on it, bookmarks and positions), a record that is
// gone keeps a dead node near its old place, and new records get new nodes.
void TableOrder::Rebuild() {
  std::string sql = "SELECT rowid FROM " + QuoteName(table_) + " WHERE 1" + filter_sql_ + " ORDER BY ";
  for (const auto& c : columns_) sql += QuoteName(c.name) + (c.descending ? " DESC, " : ", ");
  sql += "rowid";
  std::vector<int64_t> fresh;
  {
    auto st = db_->connection->Prepare(sql);
    while (st.Step()) fresh.push_back(st.ColumnInt(0));
  }
  const std::vector<int32_t> old = tree_.Sequence();
  std::vector<int32_t> old_index(tree_.NodeCount(), -1);
  for (size_t i = 0; i < old.size(); ++i) old_index[old[i]] = static_cast<int32_t>(i);

  // The node of each fresh record: its live node when it has one; the nodes whose old places
  // still ascend along the fresh order stay where they are (kept), the others are moved.
  std::vector<int32_t> node_at(fresh.size(), -1);
  std::vector<uint8_t> used(tree_.NodeCount(), 0), kept(tree_.NodeCount(), 0);
  int32_t last_kept = -1;
  for (size_t p = 0; p < fresh.size(); ++p) {
    const auto it = node_of_.find(fresh[p]);
    // A live node outside the sequence (a change that could not be placed) is moved in.
    if (it == node_of_.end() || !tree_.IsLive(it->second)) continue;
    const int32_t node = it->second;
    node_at[p] = node;
    used[node] = 1;
    if (old_index[node] > last_kept) {
      kept[node] = 1;
      last_kept = old_index[node];
    }
  }
  // Dead nodes (and live ones whose record is gone) go right before the next kept node.
  std::vector<std::vector<int32_t>> dead_before;
  std::vector<int32_t> dead_slot(tree_.NodeCount(), -1), pending;
  for (const int32_t node : old) {
    if (kept[node]) {
      if (!pending.empty()) {
        dead_slot[node] = static_cast<int32_t>(dead_before.size());
        dead_before.push_back(std::move(pending));
        pending.clear();
      }
    } else if (!used[node]) {
      tree_.SetLive(node, false);
      pending.push_back(node);
    }
  }
  std::vector<int32_t> sequence;
  sequence.reserve(fresh.size() + old.size());
  for (size_t p = 0; p < fresh.size(); ++p) {
    int32_t node = node_at[p];
    if (node < 0) {
      node = tree_.NewNode(fresh[p]);
      node_of_[fresh[p]] = node;
    } else if (dead_slot[node] >= 0) {
      for (const int32_t dead : dead_before[dead_slot[node]]) sequence.push_back(dead);
    }
    sequence.push_back(node);
  }
  sequence.insert(sequence.end(), pending.begin(), pending.end());
  tree_.Build(sequence);
}

bool TableOrder::ReadKey(int64_t rowid, std::vector<Cell>& key) {
  std::string sql = "SELECT 1";
  for (const auto& c : columns_) sql += ", " + QuoteName(c.name);
  sql += " FROM " + QuoteName(table_) + " WHERE rowid = ?" + filter_sql_;
  auto st = db_->connection->Prepare(sql);
  st.BindInt(1, rowid);
  if (!st.Step()) return false;
  key.resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) key[i] = st.Column(static_cast<int>(i) + 1);
  return true;
}

// The record after (key, rowid) in index order is the first hit of these searches, most specific
// first: the same key and a greater row id; then, for each key column from the last to the
// first, the same values before it and a value after it there. Each search is one range of the
// index, so finding the successor costs O(log n) whatever the key's columns hold.
bool TableOrder::Successor(int64_t rowid, const std::vector<Cell>& key, int32_t& entry) {
  const std::string from = "SELECT rowid FROM " + QuoteName(table_) + " WHERE 1" + filter_sql_;
  for (int level = static_cast<int>(columns_.size()); level >= 0; --level) {
    std::string same;
    std::vector<Cell> binds;
    for (int i = 0; i < level; ++i) {
      same += " AND " + QuoteName(columns_[i].name) + " IS ?";
      binds.push_back(key[i]);
    }
    std::vector<std::string> after;  // alternatives, in order
    std::string order = " ORDER BY ";
    if (level == static_cast<int>(columns_.size())) {
      after.push_back(" AND rowid > ?");
      order += "rowid";
    } else {
      const IndexColumn& c = columns_[level];
      const std::string name = QuoteName(c.name);
      // SQLite sorts Null below every value: first when ascending, last when descending.
      if (!c.descending)
        after.push_back(key[level].IsNull() ? " AND " + name + " IS NOT NULL" : " AND " + name + " > ?");
      else if (!key[level].IsNull())
        after = {" AND " + name + " < ?", " AND " + name + " IS NULL"};
      for (size_t i = level; i < columns_.size(); ++i)
        order += QuoteName(columns_[i].name) + (columns_[i].descending ? " DESC, " : ", ");
      order += "rowid";
    }
    for (const std::string& condition : after) {
      auto st = db_->connection->Prepare(from + same + condition + order + " LIMIT 1");
      st.BindAll(binds);
      if (condition.find('?') != std::string::npos) {
        if (level == static_cast<int>(columns_.size()))
          st.BindInt(level + 1, rowid);
        else
          st.Bind(level + 1, key[level]);
      }
      if (!st.Step()) continue;
      const int64_t next = st.ColumnInt(0);
      const auto it = node_of_.find(next);
      if (it == node_of_.end() || !tree_.InSequence(it->second) || !tree_.IsLive(it->second)) return false;
      entry = it->second;
      return true;
    }
  }
  entry = -1;
  return true;
}

bool TableOrder::Place(int32_t node) {
  std::vector<Cell> key;
  const int64_t rowid = tree_.RowId(node);
  if (!ReadKey(rowid, key)) {
    // Left out by an index that ignores Nulls (or gone): the node waits outside the sequence.
    return true;
  }
  int32_t next = -1;
  if (!Successor(rowid, key, next)) return false;
  tree_.InsertBefore(node, next);
  return true;
}

void TableOrder::Inserted(int64_t rowid) {
  if (stale_) return;
  const auto it = node_of_.find(rowid);
  if (it != node_of_.end() && tree_.IsLive(it->second)) {
    stale_ = true;  // a record we still hold: the order missed its deletion
    return;
  }
  const int32_t node = tree_.NewNode(rowid);
  node_of_[rowid] = node;
  if (!Place(node)) stale_ = true;
}

void TableOrder::Updated(int64_t rowid) {
  if (stale_) return;
  const auto it = node_of_.find(rowid);
  if (it == node_of_.end() || !tree_.IsLive(it->second)) {
    stale_ = true;
    return;
  }
  const int32_t node = it->second;
  if (tree_.InSequence(node)) tree_.Detach(node);
  if (!Place(node)) stale_ = true;
}

void TableOrder::Deleted(int64_t rowid) {
  const auto it = node_of_.find(rowid);
  if (it != node_of_.end()) tree_.SetLive(it->second, false);
}

int32_t TableOrder::EntryOf(int64_t rowid) {
  const auto it = node_of_.find(rowid);
  return it == node_of_.end() || !tree_.InSequence(it->second) ? -1 : it->second;
}

void TableOrder::Kill(int32_t entry) { tree_.SetLive(entry, false); }

int32_t TableOrder::EntryOfBookmark(uint32_t bookmark) {
  int64_t rowid = 0;
  bool deleted = false;
  if (!bookmarks_->RowIdOf(bookmark, rowid, deleted)) return -1;
  const auto it = node_of_.find(rowid);
  if (it == node_of_.end()) return deleted ? kDeletedEntry : -1;
  // The dead node of a deleted record still has its place, unless a new record took its row id.
  if (deleted && tree_.IsLive(it->second)) return kDeletedEntry;
  // A record that an index ignoring Nulls leaves out is no record of this order.
  if (!tree_.InSequence(it->second)) return -1;
  return it->second;
}

// ---------------------------------------------------------------------------------------------

std::shared_ptr<TableOrder> SharedTableOrder(const std::shared_ptr<DatabaseCore>& db, const TableInfo& table,
                                             const std::string& index) {
  std::erase_if(db->table_orders, [](const std::weak_ptr<TableOrder>& w) { return w.expired(); });
  for (const auto& w : db->table_orders)
    if (auto order = w.lock())
      if (SameName(order->table(), table.name) && SameName(order->index(), index)) return order;
  auto order = std::make_shared<TableOrder>(db, table, index);
  db->table_orders.push_back(order);
  return order;
}

void PlaceRowChange(DatabaseCore& db, const std::string& table, int64_t rowid, RowChange change) {
  if (change == RowChange::kDeleted) {
    const auto it = db.row_bookmarks.find(table);
    if (it != db.row_bookmarks.end()) it->second->Deleted(rowid);
  }
  for (const auto& w : db.table_orders) {
    auto order = w.lock();
    if (!order || !SameName(order->table(), table)) continue;
    switch (change) {
      case RowChange::kInserted: order->Inserted(rowid); break;
      case RowChange::kUpdated: order->Updated(rowid); break;
      case RowChange::kDeleted: order->Deleted(rowid); break;
    }
  }
}

}  // namespace engine
