// Recordsets of an ODBC data source. A dynaset keeps the ordered key values (primary key or a
// unique index) of its rows and reads rows by key in windows when they become current, so it
// sees what others changed; Edit/Update writes UPDATE ... WHERE the key and the values read of
// the changed columns (no row changed: 3197, nothing overwritten), AddNew writes INSERT and
// reads the new key back, Delete writes DELETE WHERE the key. A set without such a key, over
// several tables, grouped or DISTINCT, and every snapshot, holds its rows in memory and is
// read-only; forward-only sets stream. Bookmarks are keyset entries + 1, shared by clones.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "engine/keyset.h"
#include "engine/odbc/odbc_database.h"
#include "engine/odbc/odbc_definitions.h"
#include "engine/odbc/odbc_sql.h"

namespace engine::odbc {

using dao::Variant;

// What a recordset is opened on; shared by a recordset and its clones.
struct OdbcSource {
  std::shared_ptr<OdbcCore> db;
  std::string name;        // table name, query name or SQL text
  bool pass_through = false;
  std::string pass_sql;    // pass-through: the server's SQL as given
  engine::Select select;
  std::vector<ParamDecl> declared;
  std::vector<ExprPtr> filters;
  std::vector<OrderItem> sort;
  std::vector<std::pair<std::string, Variant>> param_values;
  int32_t max_records = 0;
  int32_t timeout = -1;     // -1: the database's QueryTimeout

  SelectSql sql;
  std::vector<FieldInfo> fields;
  bool keyed = false;
  std::vector<const OdbcColumn*> key_columns;  // of sql.scope[0]
  std::vector<int> key_fields;                 // position of each key column among the fields, or -1
  std::vector<std::vector<Cell>> keys;         // per entry, when keyed
  std::vector<std::vector<Cell>> rows;         // per entry, when not keyed
  std::unordered_map<std::string, int32_t> key_map;
  std::shared_ptr<Keyset> keyset;
  // Rows read by key, shared by clones: valid while the connection made no change that this
  // source did not account for (OdbcCore::changes == stamp), and bounded in size.
  struct RowCache {
    std::unordered_map<int32_t, std::vector<Cell>> rows;  // by entry
    int64_t stamp = -1;
  };
  std::shared_ptr<RowCache> cache = std::make_shared<RowCache>();

  // The key of a row as one text, for the map.
  static std::string KeyText(const std::vector<Cell>& key);
};

class OdbcRecordset : public dao::Recordset, public std::enable_shared_from_this<OdbcRecordset> {
 public:
  // Opens a recordset of type 2, 4, 8 or 16 (treated as 2) on a prepared source.
  static std::shared_ptr<OdbcRecordset> Open(std::shared_ptr<OdbcSource> source, int type, int options,
                                             int lock_edits);

  std::string Name() override;
  int Type() override { return type_; }
  void MoveFirst() override;
  void MoveLast(const Variant& options) override;
  void MoveNext() override;
  void MovePrevious() override;
  void Move(int32_t rows, const Variant& start) override;
  bool Bof() override;
  bool Eof() override;
  int32_t RecordCount() override;
  int32_t AbsolutePosition() override;
  void SetAbsolutePosition(int32_t position) override;
  float PercentPosition() override;
  void SetPercentPosition(float percent) override;
  Variant Bookmark() override;
  void SetBookmark(const Variant& bookmark) override;
  bool Bookmarkable() override;
  Variant LastModified() override;
  int EditMode() override;
  bool LockEdits() override;
  void SetLockEdits(bool lock) override;
  bool Updatable() override;
  bool Transactions() override;
  bool Restartable() override;
  int32_t RecordsAffected() override;
  bool NoMatch() override;
  Variant DateCreated() override;
  Variant LastUpdated() override;
  int32_t CacheSize() override;
  void SetCacheSize(int32_t size) override;
  std::string Index() override;
  void SetIndex(const std::string& index) override;
  std::string Filter() override;
  void SetFilter(const std::string& criteria) override;
  std::string Sort() override;
  void SetSort(const std::string& order) override;
  std::string ValidationRule() override { return ""; }
  std::string ValidationText() override { return ""; }
  std::shared_ptr<dao::Recordset> Clone() override;
  std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type, const Variant& options) override;
  void FindFirst(const std::string& criteria) override { Find(criteria, 1); }
  void FindLast(const std::string& criteria) override { Find(criteria, 2); }
  void FindNext(const std::string& criteria) override { Find(criteria, 3); }
  void FindPrevious(const std::string& criteria) override { Find(criteria, 4); }
  void Seek(const std::string& comparison, const std::vector<Variant>& keys) override;
  void AddNew() override;
  void Edit() override;
  void Update(const Variant& type, const Variant& force) override;
  void CancelUpdate(const Variant& type) override;
  void Delete() override;
  void Requery(const Variant& new_querydef) override;
  Variant GetRows(const Variant& rows) override;
  std::shared_ptr<dao::Fields> Fields() override;
  std::shared_ptr<dao::Properties> Properties() override;
  void Close() override;

  Variant FieldValue(int index);
  void SetFieldValue(int index, const Variant& value);
  bool is_closed() const { return closed_; }

 private:
  OdbcRecordset(std::shared_ptr<OdbcSource> source, int type) : source_(std::move(source)), type_(type) {}

  bool streaming() const { return type_ == dao::dbOpenForwardOnly; }
  void CheckOpen() const;
  void CheckCurrent();
  void CheckUpdatable(const char* operation);
  void LeaveEdit();
  void GoTo(int32_t entry);
  void AfterEmptyMove();
  void Step(bool forward);
  void Build();                 // the keyset or the rows of the source
  void StartStream();
  void StreamNext();
  const std::vector<Cell>& CurrentRow();
  void ReadWindow();            // the current record and those that follow, by key, into the cache
  std::unordered_map<int32_t, std::vector<Cell>>& Cache();  // the valid rows of the cache
  // Empties the cache when `count` more rows would take it past its bound (before a fill, never
  // during one, so that the rows of one read stay together).
  void MakeRoom(size_t count);
  void CacheRow(int32_t entry, std::vector<Cell> row);
  // After a change made through this source: its cache stays valid when it was before.
  void AfterOwnChange(int64_t changes_before);
  bool RowExists(const std::vector<Cell>& key);
  SqlPiece KeyCondition(const std::vector<Cell>& key, const std::string& qualifier);
  void Find(const std::string& criteria, int direction);

  std::shared_ptr<OdbcSource> source_;
  int type_;
  bool updatable_ = false;
  bool lock_edits_ = false;
  bool closed_ = false;
  bool bof_ = true, eof_ = true;
  int32_t cur_ = -1;
  bool no_match_ = false;
  int edit_mode_ = 0;
  int32_t edit_entry_ = -1;
  std::vector<Cell> edit_values_;
  std::vector<bool> edit_set_;
  std::vector<Cell> edit_original_;  // the record as Edit read it
  int32_t last_modified_ = -1;
  int32_t records_affected_ = 0;
  std::string filter_, sort_;
  int32_t cache_size_ = 0;
  // Forward-only streaming.
  std::unique_ptr<Statement> stream_;
  std::vector<Cell> stream_row_;
  int32_t forward_visited_ = 0;
  // Rows read ahead by key: a walk from one record to the next reads a growing window.
  int32_t last_read_entry_ = -1;
  size_t window_size_ = 1;
  // The current record's values, as last taken from the cache.
  std::vector<Cell> current_row_;
  int32_t current_entry_ = -1;
  int64_t current_stamp_ = -1;
  std::shared_ptr<dao::Fields> fields_;
};

// Opens a table, a query definition or SQL text of a data source.
std::shared_ptr<dao::Recordset> OpenOdbcRecordset(const std::shared_ptr<OdbcCore>& core, const std::string& source,
                                                  const Variant& type, const Variant& options,
                                                  const Variant& lock_edits,
                                                  const std::vector<std::pair<std::string, Variant>>& parameters = {},
                                                  int32_t max_records = 0, int32_t timeout = -1);

// The parameters a Jet SQL text needs on a data source (declared ones first).
std::vector<QueryParam> QueryParameters(const std::shared_ptr<OdbcCore>& core, const std::string& sql);

}  // namespace engine::odbc
