// The engine's recordsets. Dynasets (type 2) over one base table hold a frozen keyset of row ids
// and read a record's values by row id when it becomes current, so changes by others are seen
// and a record deleted by another answers 3167. A table-type recordset (type 1) walks the live
// table in the order of its current index (engine/table_order.h). Snapshots (type 4), and every
// select over several tables or with grouping, hold their rows in memory and are read-only.
// Forward-only sets (type 8) stream: one open statement and the current row, nothing more.
// Bookmarks are 4 bytes, shared by clones: keyset entries + 1, or on tables names of records.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "engine/database_core.h"
#include "engine/keyset.h"
#include "engine/row_cache.h"
#include "engine/table_order.h"
#include "engine/translator.h"

namespace engine {

using dao::Variant;

// What a recordset is opened on; shared by a recordset and its clones.
struct RecordSource {
  std::shared_ptr<DatabaseCore> db;
  QuerySource query;
  std::vector<Cell> parameters;  // values of the plan's parameters
  SelectPlan plan;
  std::string name;          // table, query name or SQL text
  std::string table_index;   // the current index of a table-type recordset
  int32_t max_records = 0;   // 0: no limit
  std::shared_ptr<Keyset> keyset;            // dynasets and snapshots
  std::shared_ptr<TableOrder> table_order;   // table-type recordsets
  std::vector<std::vector<Cell>> rows;  // in-memory records (rowids of the keyset index them)
  bool keyed = false;        // records are read by row id from the base table
  std::string read_sql;      // SELECT <fields> FROM <base> WHERE rowid = ?
  // " RETURNING <fields>" when a write can hand back the record as stored (every field a column
  // of the base table, not renamed by an alias), else empty.
  std::string returning_sql;
  // "<base> AS <alias>", and the test that the record whose row id is bound first still holds
  // the values bound after it in every field that is a column (optimistic locking).
  std::string target_sql, unchanged_sql;
  RowCache cache;
  // Find criteria translated before, by the shape of their text (jet_parser.h LiteralShape):
  // criteria that differ only in their literals share a translation when its bound values are
  // exactly those literals, in order (literal_slots says where).
  struct Criteria {
    bool reusable = false;
    std::string where;
    std::vector<Slot> slots;
    std::vector<size_t> literal_slots;
  };
  std::unordered_map<std::string, Criteria> criteria;
};

class RecordsetImpl : public dao::Recordset, public std::enable_shared_from_this<RecordsetImpl> {
 public:
  // Opens a recordset; `type` is 1, 2, 4 or 8 (16 is refused by the caller).
  static std::shared_ptr<RecordsetImpl> Open(std::shared_ptr<RecordSource> source, int type,
                                             int options, int lock_edits);

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
  std::string ValidationRule() override;
  std::string ValidationText() override;
  std::shared_ptr<dao::Recordset> Clone() override;
  std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type, const Variant& options) override;
  void FindFirst(const std::string& criteria) override;
  void FindLast(const std::string& criteria) override;
  void FindNext(const std::string& criteria) override;
  void FindPrevious(const std::string& criteria) override;
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

  // ---- used by the recordset's fields
  const OutField& FieldInfo(int index) const { return source_->plan.fields[index]; }
  int FieldCount() const { return static_cast<int>(source_->plan.fields.size()); }
  Variant FieldValue(int index);
  void SetFieldValue(int index, const Variant& value);
  bool is_closed() const { return closed_; }
  const std::shared_ptr<RecordSource>& source() const { return source_; }

 private:
  RecordsetImpl(std::shared_ptr<RecordSource> source, int type);

  void CheckOpen() const;
  // The order of the records, brought up to date first for a table-type recordset.
  RecordOrder& Order();
  void CheckCurrent();                // 3021 without a current record
  void LeaveEdit();                   // a move cancels a pending Edit or AddNew
  void GoTo(int32_t entry);
  void AfterEmptyMove();              // sets BOF/EOF for an empty set
  // MoveNext (forward) or MovePrevious on the keyset, with DAO's rules at the edges.
  void Step(bool forward);
  const std::vector<Cell>& CurrentRow();  // the current record's stored values (3167, 3021)
  bool ReadRow(int32_t entry, std::vector<Cell>& row);
  // The shared row cache, emptied first when the connection changed what it does not account for.
  RowCache& Cache();
  // Puts the record `entry` as a write or a find returned it into the cache.
  void CacheRow(int32_t entry, std::vector<Cell> cells);
  // Tells the table orders of the base table about a record written through this recordset;
  // `changes_before` is the connection's change count before the write, so that a write that
  // changed more (cascades) makes every order read its table again.
  void NoteWrite(int64_t rowid, RowChange change, int64_t changes_before);
  // The AutoNumber value a new record will get (shown from AddNew on), reserved on first use.
  Cell NextCounterValue(int field);
  // Runs the optimistic UPDATE of the edited record: 3197 when someone changed it since Edit
  // read it, 3167 when it is gone; nothing is written then.
  void UpdateEdited(const std::string& assignments, std::vector<Cell> cells);
  void Find(const std::string& criteria, int direction);
  // The WHERE text of find criteria over the source; their bound values go to the end of `slots`.
  std::string CriteriaSql(const std::string& criteria, std::vector<Slot>& slots);
  void BuildKeyset();
  void CheckUpdatable(const char* operation);
  // Forward-only streaming: StartStream runs the select and stands on its first row (or at
  // BOF and EOF when there is none); StreamNext steps to the next row or to EOF. The statement
  // is given back as soon as it is exhausted, and by Close.
  bool streaming() const { return type_ == dao::dbOpenForwardOnly; }
  void StartStream();
  void StreamNext();
  int32_t Rank(int32_t entry) const;  // position for comparisons: live entries before *2, +1 live

  std::shared_ptr<RecordSource> source_;
  int type_;
  bool updatable_ = false;
  bool lock_edits_ = false;
  bool closed_ = false;
  bool bof_ = true, eof_ = true;
  int32_t cur_ = -1;
  int32_t forward_visited_ = 0;  // forward-only: records passed so far
  std::unique_ptr<Statement> stream_;  // forward-only: the running select, until exhausted
  std::vector<Cell> stream_row_;       // forward-only: the current record
  bool no_match_ = false;
  int edit_mode_ = 0;
  int32_t edit_entry_ = -1;
  std::vector<Cell> edit_values_;
  std::vector<bool> edit_set_;
  uint32_t last_modified_ = 0;       // bookmark of the record added or changed last, 0: none
  std::vector<Cell> edit_original_;  // the record as Edit read it (optimistic locking)
  int counter_field_ = -1;           // AddNew: the AutoNumber field whose value is reserved
  Cell counter_value_;
  int32_t records_affected_ = 0;
  std::string filter_, sort_;
  int32_t cache_size_ = 0;
  // Records read ahead: a sequential walk reads a window of following records with one statement,
  // twice as many (up to kMaxWindow) each time the walk used the previous window to its end, and
  // only as many as it used when a change dropped the window early; random access reads one
  // record. Returns the row of the current record.
  const RowCache::Row& FillWindow();
  size_t cache_slot_ = 0;            // slot of the record read last, for the next step of a walk
  // The row CurrentRow served last and what it was valid under.
  const RowCache::Row* served_ = nullptr;
  int32_t served_entry_ = -1;
  uint64_t served_version_ = 0, served_refresh_ = 0;
  int64_t served_changes_ = -1, served_epoch_ = -1;
  int64_t order_generation_ = -1;    // table-type: the order's re-reads the cache has seen
  int32_t last_read_entry_ = -1;     // the record read last
  int32_t window_last_ = -1;         // the last record of the window read last
  std::vector<int32_t> window_entries_;  // FillWindow's list, kept for its room
  int window_size_ = 1;
  int window_used_ = 0;              // rows of the window read last that the walk has used
  std::shared_ptr<dao::Fields> fields_;
};

// Opens `source_text` (table name, stored query name or SQL) on a database.
std::shared_ptr<dao::Recordset> OpenRecordsetOn(const std::shared_ptr<DatabaseCore>& db,
                                                const std::string& source_text, const Variant& type,
                                                const Variant& options, const Variant& lock_edits,
                                                const std::vector<std::pair<std::string, Variant>>& parameter_values = {},
                                                int32_t max_records = 0);

// Parameter values for a plan: each parameter's value by name, converted to its declared type;
// 3061 naming the count when values are missing.
std::vector<Cell> ResolveParameters(const std::vector<ParamInfo>& parameters,
                                    const std::vector<std::pair<std::string, Variant>>& values);

}  // namespace engine
