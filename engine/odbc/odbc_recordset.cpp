#include "engine/odbc/odbc_recordset.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/jet_parser.h"
#include "engine/objects.h"
#include "engine/odbc/odbc_row_criteria.h"
#include "engine/values.h"

namespace engine::odbc {

using namespace dao;

namespace {

constexpr size_t kMaxWindow = 64;

Variant MakeBookmark(int32_t entry) {
  const uint32_t v = static_cast<uint32_t>(entry) + 1;
  return Variant(std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                      static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
}

// The entry of a bookmark value (4 bytes, or an array of byte values), or -1.
int32_t BookmarkEntry(const Variant& bookmark) {
  std::vector<uint8_t> b;
  if (bookmark.Type() == framework::VarType::Bytes) {
    b = bookmark.ToBytes();
  } else if (bookmark.IsArray()) {
    for (const Variant& item : bookmark.ArrayItems()) b.push_back(static_cast<uint8_t>(item.ToInt32()));
  } else {
    return -1;
  }
  if (b.size() < 4) return -1;
  const uint32_t v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return v == 0 ? -1 : static_cast<int32_t>(v - 1);
}

// Reads the fields of the fetched row of `st` (columns from `first`).
std::vector<Cell> ReadRow(Statement& st, const std::vector<FieldInfo>& fields, int first = 0) {
  std::vector<Cell> row(fields.size());
  for (size_t k = 0; k < fields.size(); ++k) row[k] = st.Get(first + static_cast<int>(k), fields[k].type, fields[k].sql_type);
  return row;
}

std::vector<Cell> ReadKey(Statement& st, const std::vector<const OdbcColumn*>& key, int first) {
  std::vector<Cell> out(key.size());
  for (size_t k = 0; k < key.size(); ++k) out[k] = st.Get(first + static_cast<int>(k), key[k]->dao_type, key[k]->sql_type);
  return out;
}

// The key columns as a select list, each after `qualifier` and a dot when it is not empty.
std::string KeyList(const OdbcSource& s, const std::string& qualifier) {
  std::string out;
  for (size_t k = 0; k < s.key_columns.size(); ++k)
    out += (k ? ", " : "") + (qualifier.empty() ? "" : qualifier + ".") + s.db->connection->Quote(s.key_columns[k]->name);
  return out;
}

// How many of `count` rows a TOP and MaxRecords let through.
size_t Limit(const OdbcSource& s, size_t count) {
  size_t n = count;
  if (s.sql.top >= 0) {
    const size_t top = s.sql.top_percent ? static_cast<size_t>(std::ceil(count * static_cast<double>(s.sql.top) / 100.0))
                                         : static_cast<size_t>(s.sql.top);
    n = std::min(n, top);
  }
  if (s.max_records > 0) n = std::min(n, static_cast<size_t>(s.max_records));
  return n;
}

// A field of a result as the driver describes it.
FieldInfo DescribedField(const ColumnDesc& d) {
  FieldInfo f;
  f.name = d.name;
  f.sql_type = d.sql_type;
  f.type = DaoTypeOf(d.sql_type, d.size, d.digits);
  f.size = f.type == dbText ? static_cast<int32_t>(d.size) : FixedSize(f.type);
  f.required = !d.nullable;
  f.attributes = f.type == dbText || f.type == dbMemo ? dbVariableField : dbFixedField;
  if (d.auto_increment) f.attributes |= dbAutoIncrField;
  f.table = d.base_table;
  f.column = d.base_column;
  return f;
}

// The fields of a result the driver describes (pass-through).
std::vector<FieldInfo> DescribedFields(Statement& st) {
  std::vector<FieldInfo> out;
  const int n = st.ColumnCount();
  for (int k = 0; k < n; ++k) out.push_back(DescribedField(st.Describe(k)));
  return out;
}

// Translates the source and settles its fields and key.
void PrepareSource(OdbcSource& s, int type) {
  OdbcCore& db = *s.db;
  s.fields.clear();
  s.keyed = false;
  s.key_columns.clear();
  s.key_fields.clear();
  if (s.pass_through) return;  // the fields come with the result
  const auto values = s.param_values;
  Translator tr(*db.connection, *db.catalog, [values](const std::string& name, Variant& value) {
    for (const auto& kv : values)
      if (SameName(kv.first, name)) {
        value = kv.second;
        return true;
      }
    return false;
  });
  s.sql = tr.Select(s.select, s.declared, s.filters, s.sort);
  tr.CheckParameters();
  const bool dynaset = type == dbOpenDynaset || type == dbOpenDynamic;
  std::shared_ptr<OdbcTable> base = s.sql.scope.empty() ? nullptr : s.sql.scope.front().table;
  if (dynaset && s.sql.single_table && base && !base->view && !(s.sql.top >= 0 && s.sql.top_percent)) {
    for (const auto& name : base->KeyColumns())
      if (const OdbcColumn* c = base->Column(name)) s.key_columns.push_back(c);
    s.keyed = !s.key_columns.empty();
  }
  bool expressions = false;
  for (const OutColumn& oc : s.sql.columns) {
    if (oc.column != nullptr) {
      FieldInfo f = FieldInfoOf(*oc.table, *oc.column, s.keyed && oc.table == base);
      f.name = oc.name;
      s.fields.push_back(std::move(f));
    } else {
      FieldInfo f;
      f.name = oc.name;
      s.fields.push_back(std::move(f));
      expressions = true;
    }
  }
  if (expressions) {
    // The driver tells the types of computed columns, from a run that reads no row (run, not
    // only prepared: some drivers leak what they learn by describing an unrun statement).
    const SqlPiece full = s.sql.Full();
    auto st = db.NewStatement();
    st->Run("SELECT * FROM (" + full.sql + ") odbc_probe WHERE 1 = 0", full.params);
    const int n = std::min<int>(st->ColumnCount(), static_cast<int>(s.fields.size()));
    for (int k = 0; k < n; ++k) {
      if (!s.fields[k].column.empty()) continue;
      FieldInfo f = DescribedField(st->Describe(k));
      f.name = s.fields[k].name;
      f.table.clear();  // a computed value has no base column to write to
      f.column.clear();
      f.required = false;
      f.attributes &= ~dbAutoIncrField;
      s.fields[k] = std::move(f);
    }
  }
  for (const OdbcColumn* key : s.key_columns) {
    int at = -1;
    for (size_t k = 0; k < s.fields.size() && at < 0; ++k)
      if (s.sql.columns[k].column == key && s.sql.columns[k].table == base) at = static_cast<int>(k);
    s.key_fields.push_back(at);
  }
}

}  // namespace

std::string OdbcSource::KeyText(const std::vector<Cell>& key) {
  std::string out;
  for (const Cell& c : key) {
    switch (c.kind) {
      case Cell::kNull: out += "n;"; break;
      case Cell::kInt: out += "i" + std::to_string(c.i) + ";"; break;
      case Cell::kReal: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "r%.17g;", c.r);
        out += buf;
        break;
      }
      default: out += "t" + std::to_string(c.text.size()) + ":" + c.text; break;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Opening and building

std::shared_ptr<OdbcRecordset> OdbcRecordset::Open(std::shared_ptr<OdbcSource> source, int type, int options,
                                                   int lock_edits) {
  auto rs = std::shared_ptr<OdbcRecordset>(new OdbcRecordset(source, type));
  rs->updatable_ = source->keyed && !source->db->read_only && !(options & dbReadOnly) && lock_edits != dbReadOnlyLock;
  rs->lock_edits_ = lock_edits == dbPessimistic;
  if (rs->streaming()) {
    source->keyset = std::make_shared<Keyset>();
    rs->StartStream();
  } else {
    rs->Build();
    if (source->keyset->LiveCount() > 0) rs->GoTo(source->keyset->Next(-1));
  }
  std::erase_if(source->db->recordsets, [](const std::weak_ptr<OdbcRecordset>& w) { return w.expired(); });
  source->db->recordsets.push_back(rs);
  return rs;
}

void OdbcRecordset::Build() {
  OdbcSource& s = *source_;
  auto st = s.db->NewStatement(s.timeout);
  s.keys.clear();
  s.rows.clear();
  s.key_map.clear();
  size_t count = 0;
  if (s.keyed) {
    const SelectSql& q = s.sql;
    const std::string alias = q.scope.front().sql_alias;
    SqlPiece sql = SqlPiece{"SELECT " + KeyList(s, alias), {}};
    sql.Append(q.from);
    if (!q.where.empty()) {
      sql.sql += " WHERE ";
      sql.Append(q.where);
    }
    sql.sql += " ORDER BY ";
    if (!q.order.empty()) {
      sql.Append(q.order);
      sql.sql += ", ";
    }
    sql.sql += KeyList(s, alias);
    st->Run(sql.sql, sql.params);
    while (st->Fetch()) s.keys.push_back(ReadKey(*st, s.key_columns, 0));
    count = Limit(s, s.keys.size());
    s.keys.resize(count);
    s.key_map.reserve(count);
    for (size_t k = 0; k < count; ++k) s.key_map.emplace(OdbcSource::KeyText(s.keys[k]), static_cast<int32_t>(k));
  } else if (s.pass_through) {
    st->Run(s.pass_sql);
    if (st->ColumnCount() > 0) {
      s.fields = DescribedFields(*st);
      while (st->Fetch()) s.rows.push_back(ReadRow(*st, s.fields));
    }
    count = Limit(s, s.rows.size());
    s.rows.resize(count);
  } else {
    const SqlPiece sql = s.sql.Full();
    st->Run(sql.sql, sql.params);
    while (st->Fetch() && (s.max_records <= 0 || s.rows.size() < static_cast<size_t>(s.max_records)))
      s.rows.push_back(ReadRow(*st, s.fields));
    count = Limit(s, s.rows.size());
    s.rows.resize(count);
  }
  std::vector<int64_t> ids(count);
  for (size_t k = 0; k < count; ++k) ids[k] = static_cast<int64_t>(k);
  s.keyset = std::make_shared<Keyset>(std::move(ids));
  s.cache = std::make_shared<OdbcSource::RowCache>();
  last_read_entry_ = -1;
  current_entry_ = -1;
}

void OdbcRecordset::StartStream() {
  OdbcSource& s = *source_;
  stream_ = s.db->NewStatement(s.timeout);
  if (s.pass_through) {
    stream_->Run(s.pass_sql);
    s.fields = stream_->ColumnCount() > 0 ? DescribedFields(*stream_) : std::vector<FieldInfo>();
  } else {
    const SqlPiece sql = s.sql.Full();
    stream_->Run(sql.sql, sql.params);
  }
  forward_visited_ = 0;
  bof_ = eof_ = false;
  StreamNext();
  if (eof_) bof_ = true;
}

void OdbcRecordset::StreamNext() {
  const size_t limit = Limit(*source_, SIZE_MAX);
  if (stream_ == nullptr || static_cast<size_t>(forward_visited_) >= limit || source_->fields.empty() ||
      !stream_->Fetch()) {
    stream_.reset();
    eof_ = true;
    cur_ = -1;
    stream_row_.clear();
    return;
  }
  stream_row_ = ReadRow(*stream_, source_->fields);
  ++forward_visited_;
  cur_ = 0;
  bof_ = eof_ = false;
}

// ---------------------------------------------------------------------------------------------
// Position

void OdbcRecordset::CheckOpen() const {
  if (closed_) Raise(err::kObjectInvalid, "The recordset " + Quoted(source_->name) + " is closed.");
  source_->db->CheckOpen();
}

std::string OdbcRecordset::Name() {
  CheckOpen();
  return source_->name.size() > 256 ? source_->name.substr(0, 256) : source_->name;
}

void OdbcRecordset::LeaveEdit() {
  edit_mode_ = 0;
  edit_entry_ = -1;
}

void OdbcRecordset::AfterEmptyMove() {
  bof_ = eof_ = true;
  cur_ = -1;
}

void OdbcRecordset::GoTo(int32_t entry) {
  cur_ = entry;
  bof_ = eof_ = false;
}

void OdbcRecordset::CheckCurrent() {
  CheckOpen();
  if (bof_ || eof_ || cur_ < 0)
    Raise(err::kNoCurrentRecord, "No current record in the recordset " + Quoted(Name()) + ".");
}

void OdbcRecordset::MoveFirst() {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    if (bof_ && eof_) Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is empty.");
    if (forward_visited_ > 1 || eof_)
      Raise(err::kNotSupported, "A forward-only recordset cannot move back to its first record.");
    return;
  }
  Keyset& k = *source_->keyset;
  if (k.LiveCount() == 0) {
    AfterEmptyMove();
    Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is empty.");
  }
  GoTo(k.Next(-1));
}

void OdbcRecordset::MoveLast(const Variant&) {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    if (eof_) Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is at its end.");
    std::vector<Cell> last = stream_row_;
    while (stream_ != nullptr) {
      StreamNext();
      if (!eof_) last = stream_row_;
    }
    stream_row_ = std::move(last);
    cur_ = 0;
    bof_ = eof_ = false;
    return;
  }
  Keyset& k = *source_->keyset;
  if (k.LiveCount() == 0) {
    AfterEmptyMove();
    Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is empty.");
  }
  GoTo(k.Previous(k.Size()));
}

void OdbcRecordset::MoveNext() {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    if (eof_) Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is at its end.");
    StreamNext();
    return;
  }
  Step(true);
}

void OdbcRecordset::MovePrevious() {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset cannot move backwards.");
  LeaveEdit();
  Step(false);
}

void OdbcRecordset::Step(bool forward) {
  Keyset& k = *source_->keyset;
  if (k.LiveCount() == 0 && !bof_ && !eof_) {
    // The last record was deleted while current: the set is empty now, which is no error.
    AfterEmptyMove();
    return;
  }
  if ((forward ? eof_ : bof_) || k.LiveCount() == 0) {
    if (k.LiveCount() == 0) AfterEmptyMove();
    Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) +
                                     (forward ? " is at its end." : " is before its first record."));
  }
  const int32_t to = forward ? k.Next(bof_ ? -1 : cur_) : k.Previous(eof_ ? k.Size() : cur_);
  if (to < 0) {
    eof_ = forward;
    bof_ = !forward;
    cur_ = forward ? k.Size() : -1;
    return;
  }
  GoTo(to);
}

void OdbcRecordset::Move(int32_t rows, const Variant& start) {
  CheckOpen();
  if (streaming()) {
    if (!start.IsClear()) Raise(err::kNotSupported, "A forward-only recordset has no bookmarks to move from.");
    CheckCurrent();
    if (rows < 0) Raise(err::kNotSupported, "A forward-only recordset cannot move backwards.");
    if (rows > 0) LeaveEdit();
    for (int32_t n = 0; n < rows && !eof_; ++n) StreamNext();
    return;
  }
  Keyset& k = *source_->keyset;
  int32_t from = cur_;
  if (!start.IsClear()) {
    from = BookmarkEntry(start);
    if (from < 0 || from >= k.Size())
      Raise(err::kInvalidBookmark, "Not a valid bookmark for the recordset " + Quoted(Name()) + ".");
  } else {
    if (k.LiveCount() == 0) AfterEmptyMove();
    CheckCurrent();
  }
  LeaveEdit();
  if (rows == 0) {
    // Re-read the current record.
    GoTo(from);
    Cache().erase(from);
    current_entry_ = -1;
    if (!k.IsLive(from)) Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + ".");
    CurrentRow();
    return;
  }
  const int32_t base = k.Position(from);
  const int64_t target = k.IsLive(from) ? static_cast<int64_t>(base) + rows
                                        : (rows > 0 ? static_cast<int64_t>(base) + rows - 1
                                                    : static_cast<int64_t>(base) + rows);
  if (target < 0) {
    bof_ = true;
    eof_ = false;
    cur_ = -1;
    return;
  }
  if (target >= k.LiveCount()) {
    eof_ = true;
    bof_ = false;
    cur_ = k.Size();
    return;
  }
  GoTo(k.EntryAt(static_cast<int32_t>(target)));
}

// A record deleted while current stays current, so a set that has just lost its last record
// is at neither end until it moves.
bool OdbcRecordset::Bof() {
  CheckOpen();
  return bof_;
}

bool OdbcRecordset::Eof() {
  CheckOpen();
  return eof_;
}

int32_t OdbcRecordset::RecordCount() {
  CheckOpen();
  if (streaming()) return forward_visited_;
  return source_->keyset->LiveCount();
}

int32_t OdbcRecordset::AbsolutePosition() {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset has no AbsolutePosition.");
  const Keyset& k = *source_->keyset;
  if (bof_ || eof_ || cur_ < 0 || cur_ >= k.Size() || !k.IsLive(cur_)) return -1;
  return k.Position(cur_);
}

void OdbcRecordset::SetAbsolutePosition(int32_t position) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset has no AbsolutePosition.");
  const Keyset& k = *source_->keyset;
  if (position < 0 || position >= k.LiveCount())
    Raise(err::kInvalidArgument, "AbsolutePosition " + std::to_string(position) + " is outside the recordset " +
                                     Quoted(Name()) + ".");
  LeaveEdit();
  GoTo(k.EntryAt(position));
}

float OdbcRecordset::PercentPosition() {
  CheckOpen();
  const int32_t p = AbsolutePosition();
  const int32_t n = source_->keyset->LiveCount();
  return n <= 0 || p < 0 ? 0.0f : static_cast<float>(100.0 * p / n);
}

void OdbcRecordset::SetPercentPosition(float percent) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset has no PercentPosition.");
  if (percent < 0 || percent > 100) Raise(err::kInvalidArgument, "PercentPosition must be between 0 and 100.");
  const int32_t n = source_->keyset->LiveCount();
  if (n == 0) return;
  SetAbsolutePosition(std::min<int32_t>(n - 1, static_cast<int32_t>(percent * n / 100.0f)));
}

Variant OdbcRecordset::Bookmark() {
  CheckCurrent();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset has no bookmarks.");
  return MakeBookmark(cur_);
}

void OdbcRecordset::SetBookmark(const Variant& bookmark) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset has no bookmarks.");
  const Keyset& k = *source_->keyset;
  const int32_t entry = BookmarkEntry(bookmark);
  if (entry < 0 || entry >= k.Size())
    Raise(err::kInvalidBookmark, "Not a valid bookmark for the recordset " + Quoted(Name()) + ".");
  if (!k.IsLive(entry))
    Raise(err::kRecordDeleted, "Record is deleted: the bookmark's record of " + Quoted(Name()) + " was deleted.");
  LeaveEdit();
  GoTo(entry);
}

bool OdbcRecordset::Bookmarkable() {
  CheckOpen();
  return !streaming();
}

Variant OdbcRecordset::LastModified() {
  CheckOpen();
  return last_modified_ < 0 ? Variant::Null() : MakeBookmark(last_modified_);
}

int OdbcRecordset::EditMode() {
  CheckOpen();
  return edit_mode_;
}
bool OdbcRecordset::LockEdits() {
  CheckOpen();
  return lock_edits_;
}
void OdbcRecordset::SetLockEdits(bool lock) {
  CheckOpen();
  lock_edits_ = lock;
}
bool OdbcRecordset::Updatable() {
  CheckOpen();
  return updatable_;
}
bool OdbcRecordset::Transactions() {
  CheckOpen();
  return source_->keyed;
}
bool OdbcRecordset::Restartable() {
  CheckOpen();
  return true;
}
int32_t OdbcRecordset::RecordsAffected() {
  CheckOpen();
  return records_affected_;
}
bool OdbcRecordset::NoMatch() {
  CheckOpen();
  return no_match_;
}
Variant OdbcRecordset::DateCreated() {
  CheckOpen();
  Raise(err::kNotSupported, "DateCreated is only available on table-type recordsets, which ODBC data sources do not have.");
}
Variant OdbcRecordset::LastUpdated() {
  CheckOpen();
  Raise(err::kNotSupported, "LastUpdated is only available on table-type recordsets, which ODBC data sources do not have.");
}
int32_t OdbcRecordset::CacheSize() {
  CheckOpen();
  return cache_size_;
}
void OdbcRecordset::SetCacheSize(int32_t size) {
  CheckOpen();
  cache_size_ = size;
}
std::string OdbcRecordset::Index() {
  CheckOpen();
  Raise(err::kNotSupported, "Only table-type recordsets have an Index; ODBC data sources have none.");
}
void OdbcRecordset::SetIndex(const std::string&) {
  CheckOpen();
  Raise(err::kNotSupported, "Only table-type recordsets have an Index; ODBC data sources have none.");
}
void OdbcRecordset::Seek(const std::string&, const std::vector<Variant>&) {
  CheckOpen();
  Raise(err::kNotSupported, "Seek needs a table-type recordset, which ODBC data sources do not have; use FindFirst.");
}

std::string OdbcRecordset::Filter() {
  CheckOpen();
  return filter_;
}
void OdbcRecordset::SetFilter(const std::string& criteria) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "Filter is not available on forward-only recordsets.");
  if (!criteria.empty()) ParseExpression(criteria);  // refuse bad syntax now
  filter_ = criteria;
}
std::string OdbcRecordset::Sort() {
  CheckOpen();
  return sort_;
}
void OdbcRecordset::SetSort(const std::string& order) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "Sort is not available on forward-only recordsets.");
  ParseOrderList(order);
  sort_ = order;
}

std::shared_ptr<dao::Recordset> OdbcRecordset::Clone() {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset cannot be cloned.");
  auto rs = std::shared_ptr<OdbcRecordset>(new OdbcRecordset(source_, type_));
  rs->updatable_ = updatable_;
  rs->lock_edits_ = lock_edits_;
  rs->filter_ = filter_;
  rs->sort_ = sort_;
  // A clone starts before its first record.
  rs->bof_ = true;
  rs->eof_ = source_->keyset->LiveCount() == 0;
  rs->cur_ = -1;
  std::erase_if(source_->db->recordsets, [](const std::weak_ptr<OdbcRecordset>& w) { return w.expired(); });
  source_->db->recordsets.push_back(rs);
  return rs;
}

std::shared_ptr<dao::Recordset> OdbcRecordset::OpenRecordset(const Variant& type, const Variant& options) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A recordset cannot be opened from a forward-only recordset.");
  auto src = std::make_shared<OdbcSource>();
  const OdbcSource& from = *source_;
  src->db = from.db;
  src->name = from.name;
  src->pass_through = from.pass_through;
  src->pass_sql = from.pass_sql;
  src->select = from.select;
  src->declared = from.declared;
  src->filters = from.filters;
  src->sort = from.sort;
  src->param_values = from.param_values;
  src->max_records = from.max_records;
  src->timeout = from.timeout;
  if (src->pass_through && (!filter_.empty() || !sort_.empty()))
    Raise(err::kNotSupported, "Filter and Sort cannot narrow a pass-through query; write them into its SQL.");
  if (!filter_.empty()) src->filters.push_back(ParseExpression(filter_));
  if (!sort_.empty()) src->sort = ParseOrderList(sort_);
  int t = IntArg(type, type_ == dbOpenSnapshot ? dbOpenSnapshot : dbOpenDynaset);
  if (t == dbOpenTable) t = dbOpenDynaset;
  if (t != dbOpenDynaset && t != dbOpenSnapshot && t != dbOpenForwardOnly && t != dbOpenDynamic)
    Raise(err::kInvalidArgument, "Invalid recordset type " + std::to_string(t) + ".");
  const int opt = IntArg(options, 0);
  if (opt & dbForwardOnly) t = dbOpenForwardOnly;
  PrepareSource(*src, t);
  return Open(src, t, opt, updatable_ ? dbOptimistic : dbReadOnlyLock);
}

void OdbcRecordset::Requery(const Variant&) {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    StartStream();
    return;
  }
  // A new keyset; clones keep the old one.
  source_ = std::make_shared<OdbcSource>(*source_);
  Build();
  last_modified_ = -1;
  if (source_->keyset->LiveCount() > 0) GoTo(source_->keyset->Next(-1));
  else AfterEmptyMove();
}

// ---------------------------------------------------------------------------------------------
// Reading records

SqlPiece OdbcRecordset::KeyCondition(const std::vector<Cell>& key, const std::string& qualifier) {
  const OdbcSource& s = *source_;
  SqlPiece out;
  for (size_t k = 0; k < s.key_columns.size(); ++k) {
    out.sql += (k ? " AND " : "") + qualifier + "." + s.db->connection->Quote(s.key_columns[k]->name) + " = ?";
    out.params.push_back(Param{key[k], s.key_columns[k]->dao_type});
  }
  return out;
}

namespace {
constexpr size_t kMaxCachedRows = 4096;
}  // namespace

std::unordered_map<int32_t, std::vector<Cell>>& OdbcRecordset::Cache() {
  OdbcSource::RowCache& c = *source_->cache;
  if (c.stamp != source_->db->changes) {
    c.rows.clear();
    c.stamp = source_->db->changes;
  }
  return c.rows;
}

void OdbcRecordset::MakeRoom(size_t count) {
  auto& rows = Cache();
  if (rows.size() + count > kMaxCachedRows) rows.clear();
}

void OdbcRecordset::CacheRow(int32_t entry, std::vector<Cell> row) { Cache()[entry] = std::move(row); }

void OdbcRecordset::AfterOwnChange(int64_t changes_before) {
  OdbcSource::RowCache& c = *source_->cache;
  if (c.stamp == changes_before) c.stamp = source_->db->changes;
  else c.rows.clear();
  current_entry_ = -1;
}

void OdbcRecordset::ReadWindow() {
  OdbcSource& s = *source_;
  const Keyset& k = *s.keyset;
  // A walk from the record read last to the next one doubles the window.
  window_size_ = (last_read_entry_ >= 0 && k.Next(last_read_entry_) == cur_) ? std::min(kMaxWindow, window_size_ * 2) : 1;
  std::vector<int32_t> entries;
  for (int32_t e = cur_; e >= 0 && entries.size() < window_size_; e = k.Next(e)) entries.push_back(e);
  const size_t n = entries.size();
  // Statements for 1, 8 and 64 keys; a smaller window repeats its last key.
  const size_t slots = n <= 1 ? 1 : n <= 8 ? 8 : kMaxWindow;
  const std::string alias = s.sql.scope.front().sql_alias;
  const Connection& c = *s.db->connection;
  std::string sql = "SELECT " + s.sql.select_list.sql + ", " + KeyList(s, alias) + s.sql.from.sql + " WHERE ";
  if (s.key_columns.size() == 1) {
    sql += alias + "." + c.Quote(s.key_columns.front()->name) + " IN (";
    for (size_t i = 0; i < slots; ++i) sql += i ? ", ?" : "?";
    sql += ")";
  } else {
    for (size_t i = 0; i < slots; ++i) {
      sql += i ? " OR (" : "(";
      for (size_t j = 0; j < s.key_columns.size(); ++j)
        sql += (j ? " AND " : "") + alias + "." + c.Quote(s.key_columns[j]->name) + " = ?";
      sql += ")";
    }
  }
  std::vector<Param> params = s.sql.select_list.params;
  params.insert(params.end(), s.sql.from.params.begin(), s.sql.from.params.end());
  for (size_t i = 0; i < slots; ++i) {
    const auto& key = s.keys[static_cast<size_t>(k.RowId(entries[std::min(i, n - 1)]))];
    for (size_t j = 0; j < s.key_columns.size(); ++j) params.push_back(Param{key[j], s.key_columns[j]->dao_type});
  }
  auto reader = s.db->Prepared(sql, s.timeout);
  reader->Execute(params);
  std::unordered_map<std::string, int32_t> wanted;
  for (int32_t e : entries) wanted.emplace(OdbcSource::KeyText(s.keys[static_cast<size_t>(k.RowId(e))]), e);
  const int key_first = static_cast<int>(s.fields.size());
  MakeRoom(n);
  while (reader->Fetch()) {
    std::vector<Cell> row = ReadRow(*reader, s.fields);
    const auto it = wanted.find(OdbcSource::KeyText(ReadKey(*reader, s.key_columns, key_first)));
    if (it != wanted.end()) CacheRow(it->second, std::move(row));
  }
  reader->CloseCursor();
}

const std::vector<Cell>& OdbcRecordset::CurrentRow() {
  CheckCurrent();
  if (streaming()) return stream_row_;
  OdbcSource& s = *source_;
  const Keyset& k = *s.keyset;
  if (cur_ >= k.Size() || !k.IsLive(cur_))
    Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + " was deleted.");
  if (!s.keyed) return s.rows[static_cast<size_t>(k.RowId(cur_))];
  if (current_entry_ == cur_ && current_stamp_ == s.db->changes && s.cache->stamp == s.db->changes)
    return current_row_;
  auto& rows = Cache();
  auto it = rows.find(cur_);
  if (it == rows.end()) {
    ReadWindow();
    it = Cache().find(cur_);
  }
  last_read_entry_ = cur_;
  if (it == Cache().end()) {
    current_entry_ = -1;
    Raise(err::kRecordDeleted, "Record is deleted: another user deleted the current record of " + Quoted(Name()) + ".");
  }
  current_row_ = it->second;
  current_entry_ = cur_;
  current_stamp_ = s.db->changes;
  return current_row_;
}

bool OdbcRecordset::RowExists(const std::vector<Cell>& key) {
  OdbcSource& s = *source_;
  const std::string table = s.db->catalog->SqlName(*s.sql.scope.front().table);
  SqlPiece sql{"SELECT 1 FROM " + table + " WHERE ", {}};
  sql.Append(KeyCondition(key, table));
  auto st = s.db->Prepared(sql.sql, s.timeout);
  st->Execute(sql.params);
  const bool found = st->Fetch();
  st->CloseCursor();
  return found;
}

Variant OdbcRecordset::FieldValue(int index) {
  CheckOpen();
  const FieldInfo& f = source_->fields[static_cast<size_t>(index)];
  if (edit_mode_ != 0 && edit_set_[static_cast<size_t>(index)]) return CellToVariant(f.type, edit_values_[static_cast<size_t>(index)]);
  if (edit_mode_ == dbEditAdd) return Variant::Null();
  return CellToVariant(f.type, CurrentRow()[static_cast<size_t>(index)]);
}

void OdbcRecordset::SetFieldValue(int index, const Variant& value) {
  CheckOpen();
  const FieldInfo& f = source_->fields[static_cast<size_t>(index)];
  if (edit_mode_ == 0)
    Raise(err::kUpdateWithoutEdit, "The field " + Quoted(f.name) + " can only be changed after Edit or AddNew.");
  if (!f.updatable) Raise(3164, "The field " + Quoted(f.name) + " cannot be updated.");
  edit_values_[static_cast<size_t>(index)] = VariantToCell(f.type, f.size, value, f.table + "." + f.column);
  edit_set_[static_cast<size_t>(index)] = true;
}

// ---------------------------------------------------------------------------------------------
// Editing

void OdbcRecordset::CheckUpdatable(const char* operation) {
  CheckOpen();
  if (updatable_) return;
  if (source_->db->read_only)
    Raise(err::kReadOnly, std::string("Cannot ") + operation + ": the data source " + Quoted(source_->db->name) +
                              " is opened read-only.");
  Raise(err::kReadOnly, std::string("Cannot ") + operation + ": the recordset " + Quoted(Name()) +
                            " is not updatable (a snapshot, or a set without a primary key or unique index).");
}

void OdbcRecordset::AddNew() {
  CheckUpdatable("add a record");
  edit_mode_ = dbEditAdd;
  edit_entry_ = -1;
  edit_values_.assign(source_->fields.size(), Cell());
  edit_set_.assign(source_->fields.size(), false);
}

void OdbcRecordset::Edit() {
  CheckUpdatable("edit");
  CheckCurrent();
  if (!source_->keyset->IsLive(cur_))
    Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + " was deleted.");
  // The edit starts from the record as this set last read it; Update checks that the server
  // still holds those values in the columns it changes.
  edit_original_ = CurrentRow();
  edit_mode_ = dbEditInProgress;
  edit_entry_ = cur_;
  edit_values_.assign(source_->fields.size(), Cell());
  edit_set_.assign(source_->fields.size(), false);
}

void OdbcRecordset::Update(const Variant&, const Variant&) {
  CheckOpen();
  if (edit_mode_ == 0)
    Raise(err::kUpdateWithoutEdit, "Update without AddNew or Edit on the recordset " + Quoted(Name()) + ".");
  OdbcSource& s = *source_;
  OdbcCore& db = *s.db;
  const Connection& c = *db.connection;
  const std::string table = db.catalog->SqlName(*s.sql.scope.front().table);
  const int64_t changes_before = db.changes;
  if (edit_mode_ == dbEditInProgress) {
    const size_t entry_key = static_cast<size_t>(s.keyset->RowId(edit_entry_));
    std::vector<Cell> key = s.keys[entry_key];
    SqlPiece sql{"UPDATE " + table + " SET ", {}};
    SqlPiece check;
    bool any = false;
    for (size_t k = 0; k < s.fields.size(); ++k) {
      if (!edit_set_[k]) continue;
      const FieldInfo& f = s.fields[k];
      const std::string column = table + "." + c.Quote(f.column);
      sql.sql += (any ? ", " : "") + c.Quote(f.column) + " = ?";
      sql.params.push_back(Param{edit_values_[k], f.type});
      any = true;
      // Optimistic: the row must still hold what Edit read in the columns that change. Dates
      // are compared to the millisecond that was read.
      const Cell& was = edit_original_[k];
      check.sql += " AND ";
      if (was.IsNull()) {
        check.sql += column + " IS NULL";
      } else if (IsDateType(f.type) && was.kind == Cell::kReal) {
        check.sql += "(" + column + " >= ? AND " + column + " < ?)";
        check.params.push_back(Param{was, f.type});
        check.params.push_back(Param{Cell::Real(was.r + (was.r >= 0 ? 1.0 : -1.0) / 86400000.0), f.type});
      } else {
        check.sql += column + " = ?";
        check.params.push_back(Param{was, f.type});
      }
    }
    if (!any) {
      if (!RowExists(key))
        Raise(err::kRecordDeleted, "Record is deleted: another user deleted the record of " + Quoted(Name()) + ".");
    } else {
      sql.sql += " WHERE ";
      sql.Append(KeyCondition(key, table));
      sql.Append(check);
      auto st = db.Prepared(sql.sql, s.timeout);
      st->Execute(sql.params);
      ++db.changes;
      const int64_t changed = st->RowCount();
      if (changed == 0) {
        AfterOwnChange(changes_before);
        Cache().erase(edit_entry_);
        if (!RowExists(key))
          Raise(err::kRecordDeleted, "Record is deleted: another user deleted the record of " + Quoted(Name()) +
                                         " that was being edited; the change was not saved.");
        Raise(err::kWriteConflict, "The record of " + Quoted(Name()) +
                                     " was changed by another user since it was read; your change was not saved. "
                                     "Read the record again and repeat the change.");
      }
      // A changed key moves the record's key in the keyset.
      bool key_changed = false;
      for (size_t j = 0; j < s.key_fields.size(); ++j)
        if (s.key_fields[j] >= 0 && edit_set_[static_cast<size_t>(s.key_fields[j])]) {
          key[j] = edit_values_[static_cast<size_t>(s.key_fields[j])];
          key_changed = true;
        }
      if (key_changed) {
        s.key_map.erase(OdbcSource::KeyText(s.keys[entry_key]));
        s.keys[entry_key] = key;
        s.key_map[OdbcSource::KeyText(key)] = edit_entry_;
      }
      // The row now holds what was read with what was written over it.
      std::vector<Cell> row = edit_original_;
      for (size_t k = 0; k < s.fields.size(); ++k)
        if (edit_set_[k]) row[k] = edit_values_[k];
      AfterOwnChange(changes_before);
      MakeRoom(1);
      CacheRow(edit_entry_, std::move(row));
    }
    last_modified_ = edit_entry_;
  } else {
    std::string columns, marks;
    std::vector<Param> params;
    std::vector<Cell> key(s.key_columns.size());
    std::vector<bool> key_known(s.key_columns.size(), false);
    for (size_t k = 0; k < s.fields.size(); ++k) {
      if (!edit_set_[k]) continue;
      columns += (columns.empty() ? "" : ", ") + c.Quote(s.fields[k].column);
      marks += marks.empty() ? "?" : ", ?";
      params.push_back(Param{edit_values_[k], s.fields[k].type});
    }
    for (size_t j = 0; j < s.key_fields.size(); ++j)
      if (s.key_fields[j] >= 0 && edit_set_[static_cast<size_t>(s.key_fields[j])]) {
        key[j] = edit_values_[static_cast<size_t>(s.key_fields[j])];
        key_known[j] = true;
      }
    std::string sql = columns.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                                      : "INSERT INTO " + table + " (" + columns + ") VALUES (" + marks + ")";
    const bool all_known = std::all_of(key_known.begin(), key_known.end(), [](bool b) { return b; });
    // Where the server returns the new row, it is read back whole (serial numbers, defaults),
    // so that the new record need not be read again when it becomes current.
    const bool returning = db.returning();
    const bool plain = std::all_of(s.fields.begin(), s.fields.end(), [](const FieldInfo& f) { return !f.column.empty(); });
    const bool whole_row = returning && plain;
    if (returning) {
      sql += " RETURNING " + KeyList(s, "");
      if (whole_row)
        for (const FieldInfo& f : s.fields) sql += ", " + c.Quote(f.column);
    }
    auto st = db.Prepared(sql, s.timeout);
    st->Execute(params);
    ++db.changes;
    std::vector<Cell> row;
    bool have_row = false;
    if (returning) {
      if (st->Fetch()) {
        key = ReadKey(*st, s.key_columns, 0);
        if (whole_row) {
          row = ReadRow(*st, s.fields, static_cast<int>(s.key_columns.size()));
          have_row = true;
        }
      }
      st->CloseCursor();
    } else if (!all_known && db.sqlite()) {
      auto read = db.Prepared("SELECT " + KeyList(s, "") + " FROM " + table + " WHERE rowid = last_insert_rowid()");
      read->Execute();
      if (read->Fetch()) key = ReadKey(*read, s.key_columns, 0);
      read->CloseCursor();
    } else if (!all_known) {
      // A server without RETURNING: the key it made is the greatest one.
      if (s.key_columns.size() != 1)
        Raise(err::kODBCCallFailed, "ODBC--call failed. The key of the new record of " + Quoted(Name()) +
                                        " cannot be read back from this server.");
      auto read = db.Prepared("SELECT MAX(" + c.Quote(s.key_columns.front()->name) + ") FROM " + table);
      read->Execute();
      if (read->Fetch()) key = ReadKey(*read, s.key_columns, 0);
      read->CloseCursor();
    }
    s.keys.push_back(key);
    const int32_t entry = s.keyset->Append(static_cast<int64_t>(s.keys.size() - 1));
    s.key_map[OdbcSource::KeyText(key)] = entry;
    AfterOwnChange(changes_before);
    if (have_row) {
      MakeRoom(1);
      CacheRow(entry, std::move(row));
    }
    last_modified_ = entry;
    if (s.keyset->LiveCount() == 1 && bof_ && eof_) eof_ = false;  // no longer empty; still before the record
  }
  records_affected_ = 1;
  current_entry_ = -1;
  LeaveEdit();
}

void OdbcRecordset::CancelUpdate(const Variant&) {
  CheckOpen();
  if (edit_mode_ == 0)
    Raise(err::kUpdateWithoutEdit, "CancelUpdate without AddNew or Edit on the recordset " + Quoted(Name()) + ".");
  LeaveEdit();
}

void OdbcRecordset::Delete() {
  CheckUpdatable("delete");
  CheckCurrent();
  LeaveEdit();
  OdbcSource& s = *source_;
  if (!s.keyset->IsLive(cur_))
    Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + " was already deleted.");
  const std::string table = s.db->catalog->SqlName(*s.sql.scope.front().table);
  SqlPiece sql{"DELETE FROM " + table + " WHERE ", {}};
  sql.Append(KeyCondition(s.keys[static_cast<size_t>(s.keyset->RowId(cur_))], table));
  auto st = s.db->Prepared(sql.sql, s.timeout);
  st->Execute(sql.params);
  const int64_t changes_before = s.db->changes++;
  const int64_t changed = st->RowCount();
  AfterOwnChange(changes_before);
  Cache().erase(cur_);
  s.keyset->Kill(cur_);
  if (changed == 0)
    Raise(err::kRecordDeleted, "Record is deleted: another user already deleted the current record of " +
                                   Quoted(Name()) + ".");
  records_affected_ = 1;
}

// ---------------------------------------------------------------------------------------------
// Finding

void OdbcRecordset::Find(const std::string& criteria, int direction) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "The Find methods are not available on forward-only recordsets.");
  const ExprPtr e = ParseExpression(criteria);
  OdbcSource& s = *source_;
  Keyset& k = *s.keyset;
  const auto rank = [&](int32_t entry) {
    if (entry < 0) return -1;
    if (entry >= k.Size()) return 2 * k.LiveCount();
    return k.IsLive(entry) ? 2 * k.Position(entry) : 2 * k.Position(entry) - 1;
  };
  const int32_t here = bof_ ? -1 : eof_ ? 2 * k.LiveCount() : rank(cur_);
  int32_t best = -1, best_rank = 0;
  if (s.keyed) {
    // The server finds the matching keys (through its indexes); the keyset places them.
    Translator tr(*s.db->connection, *s.db->catalog);
    const SqlPiece where = tr.Criteria(s.sql, e);
    const std::string alias = s.sql.scope.front().sql_alias;
    // The rows come along, so that the record found need not be read again; a few are kept.
    SqlPiece sql{"SELECT " + KeyList(s, alias) + ", ", s.sql.select_list.params};
    sql.sql += s.sql.select_list.sql;
    sql.Append(s.sql.from);
    sql.sql += " WHERE ";
    sql.Append(where);
    auto st = s.db->Prepared(sql.sql, s.timeout);
    st->Execute(sql.params);
    const int first_field = static_cast<int>(s.key_columns.size());
    size_t cached = 0;
    MakeRoom(kMaxWindow);
    while (st->Fetch()) {
      const auto it = s.key_map.find(OdbcSource::KeyText(ReadKey(*st, s.key_columns, 0)));
      if (it == s.key_map.end() || !k.IsLive(it->second)) continue;
      if (cached++ < kMaxWindow) CacheRow(it->second, ReadRow(*st, s.fields, first_field));
      const int32_t r = 2 * k.Position(it->second);
      bool take = false;
      switch (direction) {
        case 1: take = best < 0 || r < best_rank; break;
        case 2: take = best < 0 || r > best_rank; break;
        case 3: take = r > here && (best < 0 || r < best_rank); break;
        default: take = r < here && (best < 0 || r > best_rank); break;
      }
      if (take) best = it->second, best_rank = r;
    }
  } else {
    const bool forward = direction == 1 || direction == 3;
    int32_t entry = direction == 1   ? k.Next(-1)
                    : direction == 2 ? k.Previous(k.Size())
                    : direction == 3 ? (bof_ ? k.Next(-1) : eof_ ? -1 : k.Next(cur_))
                                     : (eof_ ? k.Previous(k.Size()) : bof_ ? -1 : k.Previous(cur_));
    for (; entry >= 0; entry = forward ? k.Next(entry) : k.Previous(entry))
      if (RowMatches(e, s.fields, s.rows[static_cast<size_t>(k.RowId(entry))])) {
        best = entry;
        break;
      }
  }
  no_match_ = best < 0;
  if (!no_match_) {
    LeaveEdit();
    GoTo(best);
  }
}

// ---------------------------------------------------------------------------------------------
// The rest

Variant OdbcRecordset::GetRows(const Variant& rows) {
  CheckOpen();
  const int32_t wanted = IntArg(rows, 1);
  const size_t n = source_->fields.size();
  std::vector<std::vector<Variant>> columns(n);
  for (int32_t r = 0; r < wanted && !eof_ && !bof_ && (streaming() || source_->keyset->LiveCount() > 0); ++r) {
    for (size_t k = 0; k < n; ++k) columns[k].push_back(FieldValue(static_cast<int>(k)));
    MoveNext();
  }
  std::vector<Variant> fields(n);
  for (size_t k = 0; k < n; ++k) fields[k] = Variant::Array(std::move(columns[k]));
  return Variant::Array(std::move(fields));
}

std::shared_ptr<dao::Fields> OdbcRecordset::Fields() {
  CheckOpen();
  if (!fields_) {
    std::vector<std::shared_ptr<dao::Field>> list;
    std::weak_ptr<OdbcRecordset> self = weak_from_this();
    auto live = [self]() -> OdbcRecordset& {
      auto rs = self.lock();
      if (!rs || rs->is_closed()) Raise(err::kObjectInvalid, "The recordset of this field is closed.");
      return *rs;
    };
    for (size_t k = 0; k < source_->fields.size(); ++k) {
      const int index = static_cast<int>(k);
      OdbcField::ValueAccess access{[live, index] { return live().FieldValue(index); },
                                    [live, index](const Variant& v) { live().SetFieldValue(index, v); }};
      list.push_back(std::make_shared<OdbcField>(source_->fields[k], index, access));
    }
    fields_ = std::make_shared<ListCollection<dao::Field>>("Fields", [list] { return list; }, nullptr, nullptr, false);
  }
  return fields_;
}

std::shared_ptr<dao::Properties> OdbcRecordset::Properties() {
  CheckOpen();
  std::weak_ptr<OdbcRecordset> self = weak_from_this();
  return MakeProperties([self] {
    std::vector<std::shared_ptr<dao::Property>> out;
    auto rs = self.lock();
    if (!rs) return out;
    out.push_back(std::make_shared<PropertyImpl>("Name", dbText, [self] { return Variant(self.lock()->Name()); }));
    out.push_back(std::make_shared<PropertyImpl>("Type", dbInteger, [self] { return Variant(self.lock()->Type()); }));
    out.push_back(std::make_shared<PropertyImpl>("RecordCount", dbLong, [self] { return Variant(self.lock()->RecordCount()); }));
    out.push_back(std::make_shared<PropertyImpl>("Updatable", dbBoolean, [self] { return Variant(self.lock()->Updatable()); }));
    out.push_back(std::make_shared<PropertyImpl>("Bookmarkable", dbBoolean, [self] { return Variant(self.lock()->Bookmarkable()); }));
    return out;
  });
}

void OdbcRecordset::Close() {
  CheckOpen();
  closed_ = true;
  stream_.reset();
  stream_row_.clear();
  fields_.reset();
}

// ---------------------------------------------------------------------------------------------

std::shared_ptr<dao::Recordset> OpenOdbcRecordset(const std::shared_ptr<OdbcCore>& core, const std::string& text,
                                                  const Variant& type, const Variant& options,
                                                  const Variant& lock_edits,
                                                  const std::vector<std::pair<std::string, Variant>>& parameters,
                                                  int32_t max_records, int32_t timeout) {
  core->CheckOpen();
  auto src = std::make_shared<OdbcSource>();
  src->db = core;
  src->name = text;
  src->param_values = parameters;
  src->max_records = max_records;
  src->timeout = timeout;
  int opt = IntArg(options, 0);
  const int lock = IntArg(lock_edits, dbOptimistic);
  int t = IntArg(type, dbOpenDynaset);
  if (t == dbOpenTable)
    Raise(err::kInvalidOperation, "Invalid operation: ODBC data sources have no table-type recordsets; open " +
                                      Quoted(text) + " as a dynaset.");
  if (t != dbOpenDynaset && t != dbOpenSnapshot && t != dbOpenForwardOnly && t != dbOpenDynamic)
    Raise(err::kInvalidArgument, "Invalid recordset type " + std::to_string(t) + ".");
  if (opt & dbForwardOnly) t = dbOpenForwardOnly;
  if (opt & dbSQLPassThrough) {
    // The server's own SQL, read as it comes: a snapshot or a forward-only stream.
    src->pass_through = true;
    src->pass_sql = text;
    if (t != dbOpenForwardOnly) t = dbOpenSnapshot;
    return OdbcRecordset::Open(src, t, opt | dbReadOnly, dbReadOnlyLock);
  }
  std::string sql = text;
  if (core->catalog->Find(text) == nullptr) {
    for (const auto& q : core->queries)
      if (SameName(q->name, text)) sql = q->sql;
  }
  if (auto table = core->catalog->Find(sql)) {
    SelectItem star;
    star.star = true;
    src->select.items.push_back(star);
    FromItem from;
    from.first.name = table->name;
    src->select.from.push_back(from);
    src->name = table->name;
  } else {
    const JetStatement st = [&] {
      try {
        return ParseStatement(sql);
      } catch (const dao::EOleException&) {
        if (sql.find_first_of(" \t\r\n") == std::string::npos)
          Raise(err::kUnknownTable, "The table or query " + Quoted(text) + " does not exist in the data source.");
        throw;
      }
    }();
    if (st.kind != JetStatement::kSelect)
      Raise(err::kInvalidOperation, "OpenRecordset needs a select query; " + Quoted(text) + " is an action query.");
    src->select = st.select;
    src->declared = st.parameters;
  }
  PrepareSource(*src, t);
  return OdbcRecordset::Open(src, t, opt, lock);
}

std::vector<QueryParam> QueryParameters(const std::shared_ptr<OdbcCore>& core, const std::string& sql) {
  const JetStatement st = ParseStatement(sql);
  Translator tr(*core->connection, *core->catalog);
  if (st.kind == JetStatement::kSelect) tr.Select(st.select, st.parameters);
  else tr.Action(st);
  return tr.parameters();
}

}  // namespace engine::odbc
