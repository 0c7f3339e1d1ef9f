#include "engine/recordset.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "dao/dao_constants.h"
#include "engine/errors.h"
#include "engine/jet_parser.h"
#include "engine/objects.h"
#include "engine/values.h"

namespace engine {

using namespace dao;

namespace {

// The byte offset `count` characters after byte offset `from` of UTF-8 text (at most its size).
size_t Utf8Offset(const std::string& s, size_t from, int64_t count) {
  size_t at = from;
  for (int64_t k = 0; k < count && at < s.size(); ++k) {
    ++at;
    while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

// A field of a recordset: its definition from the plan and the value of the current record.
class RecordsetField : public dao::Field {
 public:
  RecordsetField(std::weak_ptr<RecordsetImpl> rs, int index) : rs_(std::move(rs)), raw_(rs_.lock().get()), index_(index) {}

  std::string Name() override { return Info().name; }
  void SetName(const std::string&) override { ReadOnlyProperty("Name"); }
  int Type() override { return Info().type; }
  void SetType(int) override { ReadOnlyProperty("Type"); }
  int32_t Size() override { return Info().size; }
  void SetSize(int32_t) override { ReadOnlyProperty("Size"); }
  int32_t Attributes() override { return Info().attributes; }
  void SetAttributes(int32_t) override { ReadOnlyProperty("Attributes"); }
  bool Required() override { return Info().required; }
  void SetRequired(bool) override { ReadOnlyProperty("Required"); }
  bool AllowZeroLength() override { return true; }
  void SetAllowZeroLength(bool) override { ReadOnlyProperty("AllowZeroLength"); }
  std::string DefaultValue() override { return Info().default_value; }
  void SetDefaultValue(const std::string&) override { ReadOnlyProperty("DefaultValue"); }
  std::string ValidationRule() override { return ""; }
  void SetValidationRule(const std::string&) override { ReadOnlyProperty("ValidationRule"); }
  std::string ValidationText() override { return ""; }
  void SetValidationText(const std::string&) override { ReadOnlyProperty("ValidationText"); }
  int OrdinalPosition() override { return index_; }
  void SetOrdinalPosition(int) override { ReadOnlyProperty("OrdinalPosition"); }
  std::string SourceTable() override { return Info().table; }
  std::string SourceField() override { return Info().column; }
  Variant Value() override { return Rs().FieldValue(index_); }
  void SetValue(const Variant& value) override { Rs().SetFieldValue(index_, value); }
  // Memo sizes and offsets count characters, so that a chunk never splits one; long binary
  // sizes and offsets count bytes.
  int32_t FieldSize() override {
    const Variant v = Value();
    if (v.IsClear()) return 0;
    if (v.Type() == framework::VarType::Bytes) return static_cast<int32_t>(v.ToBytes().size());
    return static_cast<int32_t>(Utf8Length(v.ToString()));
  }
  Variant GetChunk(int32_t offset, int32_t bytes) override {
    if (offset < 0 || bytes < 0)
      Raise(err::kInvalidArgument, "GetChunk on the field " + Quoted(Name()) + ": invalid offset or length.");
    const Variant v = Value();
    if (v.IsClear()) return Variant::Null();
    if (v.Type() == framework::VarType::Bytes) {
      const auto b = v.ToBytes();
      const size_t from = std::min<size_t>(offset, b.size());
      const size_t to = std::min<size_t>(from + bytes, b.size());
      return Variant(std::vector<uint8_t>(b.begin() + from, b.begin() + to));
    }
    const std::string s = v.ToString();
    const size_t from = Utf8Offset(s, 0, offset);
    return Variant(s.substr(from, Utf8Offset(s, from, bytes) - from));
  }
  void AppendChunk(const Variant& data) override {
    if (Rs().EditMode() == dbEditNone)
      Raise(err::kUpdateWithoutEdit, "AppendChunk on the field " + Quoted(Name()) + " needs Edit or AddNew first.");
    const Variant v = Value();
    if (IsBinaryType(Type())) {
      auto b = v.IsClear() ? std::vector<uint8_t>() : v.ToBytes();
      const auto more = data.ToBytes();
      b.insert(b.end(), more.begin(), more.end());
      SetValue(Variant(std::move(b)));
    } else {
      SetValue(Variant((v.IsClear() ? std::string() : v.ToString()) + data.ToString()));
    }
  }
  std::shared_ptr<dao::Properties> Properties() override {
    auto self = rs_;
    const int index = index_;
    return MakeProperties([self, index] {
      std::vector<std::shared_ptr<dao::Property>> out;
      auto rs = self.lock();
      if (!rs) return out;
      const OutField f = rs->FieldInfo(index);
      out = RecordsetFieldProperties(f.name, f.type, f.size, f.attributes, f.required, f.default_value, f.table,
                                     f.column, index);
      for (const PropertyValue& p : f.properties)
        out.push_back(std::make_shared<PropertyImpl>(p.name, p.type, [v = p.value] { return v; }, nullptr, true));
      return out;
    });
  }
  std::shared_ptr<dao::Property> CreateProperty(const Variant&, const Variant&, const Variant&) override {
    Raise(err::kInvalidOperation, "Properties cannot be created on the field " + Quoted(Name()) + " of a recordset.");
  }

 private:
  // The recordset owns its fields; a field kept after the recordset went knows it by `rs_`.
  RecordsetImpl& Rs() {
    if (rs_.expired() || raw_->is_closed()) Raise(err::kObjectInvalid, "The recordset of this field is closed.");
    return *raw_;
  }
  const OutField& Info() { return Rs().FieldInfo(index_); }
  [[noreturn]] void ReadOnlyProperty(const char* what) {
    Raise(err::kInvalidOperation, std::string("The property ") + what + " of the recordset field " +
                                      Quoted(Name()) + " cannot be changed.");
  }

  std::weak_ptr<RecordsetImpl> rs_;
  RecordsetImpl* raw_;
  int index_;
};

// Whether two stored values are the same, byte for byte.
bool SameCell(const Cell& a, const Cell& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case Cell::kNull: return true;
    case Cell::kInt: return a.i == b.i;
    case Cell::kReal: return a.r == b.r;
    default: return a.text == b.text;
  }
}

Variant MakeBookmark(uint32_t v) {
  return Variant(std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                      static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
}

// The 32-bit value of a bookmark (4 bytes, or an array of byte values), or 0.
uint32_t BookmarkValue(const Variant& bookmark) {
  std::vector<uint8_t> b;
  if (bookmark.Type() == framework::VarType::Bytes) {
    b = bookmark.ToBytes();
  } else if (bookmark.IsArray()) {
    for (const Variant& item : bookmark.ArrayItems()) b.push_back(static_cast<uint8_t>(item.ToInt32()));
  } else {
    return 0;
  }
  if (b.size() < 4) return 0;
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

}  // namespace

std::vector<Cell> ResolveParameters(const std::vector<ParamInfo>& parameters,
                                    const std::vector<std::pair<std::string, Variant>>& values) {
  std::vector<Cell> out;
  int missing = 0;
  for (const ParamInfo& p : parameters) {
    const Variant* value = nullptr;
    for (const auto& kv : values)
      if (SameName(kv.first, p.name)) value = &kv.second;
    if (value == nullptr || value->IsEmpty()) {
      ++missing;
      out.emplace_back();
      continue;
    }
    out.push_back(p.declared ? VariantToCell(p.type, 0, *value, p.name) : NaturalCell(*value));
  }
  if (missing > 0)
    Raise(err::kTooFewParameters, "Too few parameters. Expected " + std::to_string(missing) + " (" +
                                      [&] {
                                        std::string names;
                                        for (size_t k = 0; k < parameters.size(); ++k)
                                          if (out[k].IsNull()) {
                                            bool given = false;
                                            for (const auto& kv : values)
                                              if (SameName(kv.first, parameters[k].name) && !kv.second.IsEmpty()) given = true;
                                            if (!given) names += (names.empty() ? "" : ", ") + parameters[k].name;
                                          }
                                        return names;
                                      }() + ").");
  return out;
}

RecordsetImpl::RecordsetImpl(std::shared_ptr<RecordSource> source, int type)
    : source_(std::move(source)), type_(type) {}

std::shared_ptr<RecordsetImpl> RecordsetImpl::Open(std::shared_ptr<RecordSource> source, int type,
                                                   int options, int lock_edits) {
  auto rs = std::shared_ptr<RecordsetImpl>(new RecordsetImpl(source, type));
  const SelectPlan& plan = source->plan;
  source->keyed = plan.keyset && (type == dbOpenTable || type == dbOpenDynaset);
  if (source->keyed) {
    source->read_sql = "SELECT " + plan.select_sql + plan.from_sql + " WHERE " + QuoteName(plan.base_alias) +
                       ".rowid = ?";
    const bool columns_only = std::all_of(plan.fields.begin(), plan.fields.end(),
                                          [](const OutField& f) { return !f.column.empty(); });
    if (columns_only && plan.select_slots.empty() && plan.base_alias == plan.base_table)
      source->returning_sql = " RETURNING " + plan.select_sql;
    // Compared byte for byte, not by the columns' case-blind collation.
    const std::string alias = QuoteName(plan.base_alias);
    source->target_sql = QuoteName(plan.base_table) + " AS " + alias;
    source->unchanged_sql = " WHERE " + alias + ".rowid = ?";
    for (const OutField& f : plan.fields)
      if (!f.column.empty()) source->unchanged_sql += " AND (" + f.sql + ") IS ? COLLATE BINARY";
  }
  rs->updatable_ = source->keyed && !source->db->read_only && !(options & dbReadOnly) &&
                   lock_edits != dbReadOnlyLock;
  rs->lock_edits_ = lock_edits == dbPessimistic;
  if (rs->streaming()) {
    source->keyset = std::make_shared<Keyset>();
    rs->StartStream();
  } else {
    rs->BuildKeyset();
    rs->cur_ = rs->Order().First();
    rs->bof_ = rs->eof_ = rs->cur_ < 0;
  }
  source->db->RememberRecordset(rs);
  return rs;
}

void RecordsetImpl::StartStream() {
  assert(streaming());
  RecordSource& s = *source_;
  const SelectPlan& plan = s.plan;
  stream_.reset();
  std::string sql = "SELECT " + plan.select_sql + plan.from_sql + plan.where_sql + plan.tail_sql + plan.order_sql +
                    plan.limit_sql;
  if (s.max_records > 0 && plan.limit_sql.empty()) sql += " LIMIT " + std::to_string(s.max_records);
  std::vector<Slot> slots = plan.select_slots;
  for (auto* part : {&plan.from_slots, &plan.where_slots, &plan.tail_slots, &plan.order_slots})
    slots.insert(slots.end(), part->begin(), part->end());
  stream_ = std::make_unique<Statement>(s.db->connection->Prepare(sql));
  stream_->BindAll(BindSlots(slots, s.parameters));
  forward_visited_ = 0;
  bof_ = false;
  eof_ = false;
  StreamNext();
  if (eof_) bof_ = true;  // an empty set
}

void RecordsetImpl::StreamNext() {
  assert(streaming());
  if (stream_ == nullptr || !stream_->Step()) {
    stream_.reset();
    eof_ = true;
    cur_ = -1;
    stream_row_.clear();
    return;
  }
  const int n = stream_->ColumnCount();
  stream_row_.resize(n);
  for (int k = 0; k < n; ++k) stream_row_[k] = stream_->Column(k);
  ++forward_visited_;
  cur_ = 0;
  bof_ = eof_ = false;
}

void RecordsetImpl::BuildKeyset() {
  RecordSource& s = *source_;
  const SelectPlan& plan = s.plan;
  Connection& c = *s.db->connection;
  s.cache.Clear();
  last_read_entry_ = -1;
  if (type_ == dbOpenTable) {
    s.table_order = SharedTableOrder(s.db, s.db->catalog->Table(plan.base_table), s.table_index);
    s.table_order->Sync();
    return;
  }
  std::vector<int64_t> ids;
  s.rows.clear();
  if (s.keyed) {
    const std::string order = plan.order_sql.empty() ? " ORDER BY " + QuoteName(plan.base_alias) + ".rowid" : plan.order_sql;
    std::string sql = "SELECT " + QuoteName(plan.base_alias) + ".rowid" + plan.from_sql + plan.where_sql + order;
    if (s.max_records > 0) sql += " LIMIT " + std::to_string(s.max_records);
    std::vector<Slot> slots = plan.from_slots;
    slots.insert(slots.end(), plan.where_slots.begin(), plan.where_slots.end());
    slots.insert(slots.end(), plan.order_slots.begin(), plan.order_slots.end());
    auto st = c.Prepare(sql);
    st.BindAll(BindSlots(slots, s.parameters));
    while (st.Step()) ids.push_back(st.ColumnInt(0));
  } else {
    std::string sql = "SELECT " + plan.select_sql + plan.from_sql + plan.where_sql + plan.tail_sql + plan.order_sql +
                      plan.limit_sql;
    if (s.max_records > 0 && plan.limit_sql.empty()) sql += " LIMIT " + std::to_string(s.max_records);
    std::vector<Slot> slots = plan.select_slots;
    for (auto* part : {&plan.from_slots, &plan.where_slots, &plan.tail_slots, &plan.order_slots})
      slots.insert(slots.end(), part->begin(), part->end());
    auto st = c.Prepare(sql);
    st.BindAll(BindSlots(slots, s.parameters));
    const int n = st.ColumnCount();
    while (st.Step()) {
      std::vector<Cell> row(n);
      for (int k = 0; k < n; ++k) row[k] = st.Column(k);
      ids.push_back(static_cast<int64_t>(s.rows.size()));
      s.rows.push_back(std::move(row));
    }
  }
  s.keyset = std::make_shared<Keyset>(std::move(ids));
}

void RecordsetImpl::CheckOpen() const {
  if (closed_) Raise(err::kObjectInvalid, "The recordset " + Quoted(source_->name) + " is closed.");
  source_->db->CheckOpen();
}

std::string RecordsetImpl::Name() {
  CheckOpen();
  return source_->name.size() > 256 ? source_->name.substr(0, 256) : source_->name;
}

RecordOrder& RecordsetImpl::Order() {
  RecordSource& s = *source_;
  if (!s.table_order) return *s.keyset;
  s.table_order->Sync();
  if (s.table_order->generation() != order_generation_) {
    // Someone else changed the table: records read before may be out of date.
    order_generation_ = s.table_order->generation();
    s.cache.Clear();
  }
  // Records added by others to a set that stood empty: the position is before the first one.
  if (bof_ && eof_ && s.table_order->LiveCount() > 0) eof_ = false;
  return *s.table_order;
}

void RecordsetImpl::LeaveEdit() {
  edit_mode_ = 0;
  edit_entry_ = -1;
}

void RecordsetImpl::AfterEmptyMove() {
  bof_ = eof_ = true;
  cur_ = -1;
}

void RecordsetImpl::GoTo(int32_t entry) {
  cur_ = entry;
  bof_ = eof_ = false;
}

void RecordsetImpl::CheckCurrent() {
  CheckOpen();
  if (bof_ || eof_ || cur_ < 0)
    Raise(err::kNoCurrentRecord, "No current record in the recordset " + Quoted(Name()) + ".");
}

void RecordsetImpl::MoveFirst() {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    // Only a set that still stands on its first record is there already.
    if (bof_ && eof_)
      Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is empty.");
    if (forward_visited_ > 1 || eof_)
      Raise(err::kNotSupported, "A forward-only recordset cannot move back to its first record.");
    return;
  }
  RecordOrder& k = Order();
  if (k.LiveCount() == 0) {
    AfterEmptyMove();
    Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is empty.");
  }
  GoTo(k.First());
}

void RecordsetImpl::MoveLast(const Variant&) {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    if (eof_)
      Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is at its end.");
    // Read to the end, keeping the last record.
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
  RecordOrder& k = Order();
  if (k.LiveCount() == 0) {
    AfterEmptyMove();
    Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is empty.");
  }
  GoTo(k.Last());
}

void RecordsetImpl::MoveNext() {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    if (eof_)
      Raise(err::kNoCurrentRecord, "No current record: the recordset " + Quoted(Name()) + " is at its end.");
    StreamNext();
    return;
  }
  Step(true);
}

void RecordsetImpl::MovePrevious() {
  CheckOpen();
  if (type_ == dbOpenForwardOnly)
    Raise(err::kNotSupported, "A forward-only recordset cannot move backwards.");
  LeaveEdit();
  Step(false);
}

void RecordsetImpl::Step(bool forward) {
  RecordOrder& k = Order();
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
  const int32_t to = forward ? (bof_ ? k.First() : k.Next(cur_)) : (eof_ ? k.Last() : k.Previous(cur_));
  if (to < 0) {
    // Past the edge: stand at EOF (BOF) from where the opposite move comes back.
    eof_ = forward;
    bof_ = !forward;
    cur_ = -1;
    return;
  }
  GoTo(to);
}

int32_t RecordsetImpl::Rank(int32_t entry) const {
  const RecordOrder& k = source_->table_order ? static_cast<const RecordOrder&>(*source_->table_order) : *source_->keyset;
  return k.IsLive(entry) ? 2 * k.Position(entry) : 2 * k.Position(entry) - 1;
}

void RecordsetImpl::Move(int32_t rows, const Variant& start) {
  CheckOpen();
  if (streaming()) {
    if (!start.IsClear()) Raise(err::kNotSupported, "A forward-only recordset has no bookmarks to move from.");
    CheckCurrent();
    if (rows < 0) Raise(err::kNotSupported, "A forward-only recordset cannot move backwards.");
    if (rows > 0) LeaveEdit();
    for (int32_t n = 0; n < rows && !eof_; ++n) StreamNext();
    return;
  }
  RecordOrder& k = Order();
  int32_t from = cur_;
  if (!start.IsClear()) {
    from = k.EntryOfBookmark(BookmarkValue(start));
    if (from == kDeletedEntry)
      Raise(err::kRecordDeleted, "Record is deleted: the start bookmark's record of " + Quoted(Name()) + " was deleted.");
    if (from < 0) Raise(err::kInvalidBookmark, "Not a valid bookmark for the recordset " + Quoted(Name()) + ".");
  } else {
    if (k.LiveCount() == 0 && rows != 0 && !bof_ && !eof_) {
      // From the deleted last record of the set: the move finds the set empty, which is no error.
      LeaveEdit();
      AfterEmptyMove();
      return;
    }
    CheckCurrent();
  }
  if (rows == 0) {
    // Re-read the current record.
    LeaveEdit();
    GoTo(from);
    if (!k.IsLive(from))
      Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + " no longer exists.");
    if (source_->keyed) {
      Cache().Erase(from);
      last_read_entry_ = -1;
      CurrentRow();
    }
    return;
  }
  LeaveEdit();
  // Position of the start: a deleted entry stands between its neighbours.
  const int32_t base = k.Position(from);
  int64_t target = k.IsLive(from) ? static_cast<int64_t>(base) + rows
                                   : (rows > 0 ? static_cast<int64_t>(base) + rows - 1 : static_cast<int64_t>(base) + rows);
  if (target < 0 || target >= k.LiveCount()) {
    bof_ = target < 0;
    eof_ = !bof_;
    cur_ = -1;
    return;
  }
  GoTo(k.EntryAt(static_cast<int32_t>(target)));
}

// A deleted record stays current until a move, even the last one of the set: BOF and EOF tell
// the position, not whether records are left.
bool RecordsetImpl::Bof() {
  CheckOpen();
  if (!streaming()) Order();
  return bof_;
}

bool RecordsetImpl::Eof() {
  CheckOpen();
  if (!streaming()) Order();
  return eof_;
}

int32_t RecordsetImpl::RecordCount() {
  CheckOpen();
  if (type_ == dbOpenForwardOnly) return forward_visited_;
  return Order().LiveCount();
}

int32_t RecordsetImpl::AbsolutePosition() {
  CheckOpen();
  if (type_ == dbOpenForwardOnly) Raise(err::kNotSupported, "A forward-only recordset has no AbsolutePosition.");
  const RecordOrder& k = Order();
  if (bof_ || eof_ || cur_ < 0 || !k.IsLive(cur_)) return -1;
  return k.Position(cur_);
}

void RecordsetImpl::SetAbsolutePosition(int32_t position) {
  CheckOpen();
  if (type_ == dbOpenForwardOnly) Raise(err::kNotSupported, "A forward-only recordset has no AbsolutePosition.");
  const RecordOrder& k = Order();
  if (position < 0 || position >= k.LiveCount())
    Raise(err::kInvalidArgument, "AbsolutePosition " + std::to_string(position) + " is outside the recordset " +
                                     Quoted(Name()) + " (" + std::to_string(k.LiveCount()) + " records).");
  LeaveEdit();
  GoTo(k.EntryAt(position));
}

float PercentOf(int32_t position, int32_t count) {
  return count <= 0 || position < 0 ? 0.0f : static_cast<float>(100.0 * position / count);
}

float RecordsetImpl::PercentPosition() {
  CheckOpen();
  const int32_t p = AbsolutePosition();
  return PercentOf(p, Order().LiveCount());
}

void RecordsetImpl::SetPercentPosition(float percent) {
  CheckOpen();
  if (streaming()) Raise(err::kNotSupported, "A forward-only recordset has no PercentPosition.");
  if (percent < 0 || percent > 100) Raise(err::kInvalidArgument, "PercentPosition must be between 0 and 100.");
  const int32_t n = Order().LiveCount();
  if (n == 0) return;
  SetAbsolutePosition(std::min<int32_t>(n - 1, static_cast<int32_t>(percent * n / 100.0f)));
}

Variant RecordsetImpl::Bookmark() {
  CheckCurrent();
  if (type_ == dbOpenForwardOnly) Raise(err::kNotSupported, "A forward-only recordset has no bookmarks.");
  return MakeBookmark(Order().BookmarkOf(cur_));
}

void RecordsetImpl::SetBookmark(const Variant& bookmark) {
  CheckOpen();
  if (type_ == dbOpenForwardOnly) Raise(err::kNotSupported, "A forward-only recordset has no bookmarks.");
  RecordOrder& k = Order();
  const int32_t entry = k.EntryOfBookmark(BookmarkValue(bookmark));
  if (entry != kDeletedEntry && entry < 0)
    Raise(err::kInvalidBookmark, "Not a valid bookmark for the recordset " + Quoted(Name()) + ".");
  if (entry == kDeletedEntry || !k.IsLive(entry))
    Raise(err::kRecordDeleted, "Record is deleted: the bookmark's record of " + Quoted(Name()) + " was deleted.");
  LeaveEdit();
  GoTo(entry);
}

bool RecordsetImpl::Bookmarkable() {
  CheckOpen();
  return type_ != dbOpenForwardOnly;
}

Variant RecordsetImpl::LastModified() {
  CheckOpen();
  if (last_modified_ == 0) return Variant::Null();
  return MakeBookmark(last_modified_);
}

int RecordsetImpl::EditMode() {
  CheckOpen();
  return edit_mode_;
}

bool RecordsetImpl::LockEdits() {
  CheckOpen();
  return lock_edits_;
}

void RecordsetImpl::SetLockEdits(bool lock) {
  CheckOpen();
  lock_edits_ = lock;
}

bool RecordsetImpl::Updatable() {
  CheckOpen();
  return updatable_;
}

bool RecordsetImpl::Transactions() {
  CheckOpen();
  return source_->keyed;
}

bool RecordsetImpl::Restartable() {
  CheckOpen();
  return true;
}

int32_t RecordsetImpl::RecordsAffected() {
  CheckOpen();
  return records_affected_;
}

bool RecordsetImpl::NoMatch() {
  CheckOpen();
  return no_match_;
}

Variant RecordsetImpl::DateCreated() {
  CheckOpen();
  if (type_ != dbOpenTable) Raise(err::kNotSupported, "DateCreated is only available on table-type recordsets.");
  return Variant::Date(source_->db->catalog->Table(source_->plan.base_table).created);
}

Variant RecordsetImpl::LastUpdated() {
  CheckOpen();
  if (type_ != dbOpenTable) Raise(err::kNotSupported, "LastUpdated is only available on table-type recordsets.");
  return Variant::Date(source_->db->catalog->Table(source_->plan.base_table).updated);
}

int32_t RecordsetImpl::CacheSize() {
  CheckOpen();
  return cache_size_;
}

void RecordsetImpl::SetCacheSize(int32_t size) {
  CheckOpen();
  cache_size_ = size;
}

std::string RecordsetImpl::Index() {
  CheckOpen();
  if (type_ != dbOpenTable) Raise(err::kNotSupported, "Only table-type recordsets have an Index.");
  return source_->table_index;
}

void RecordsetImpl::SetIndex(const std::string& index) {
  CheckOpen();
  if (type_ != dbOpenTable) Raise(err::kNotSupported, "Only table-type recordsets have an Index.");
  const TableInfo& t = source_->db->catalog->Table(source_->plan.base_table);
  std::string name;
  if (!index.empty()) {
    const int k = t.IndexPosition(index);
    if (k < 0) Raise(3800, Quoted(index) + " is not an index of the table " + Quoted(t.name) + ".");
    name = t.indexes[k].name;
  }
  LeaveEdit();
  // Another order of the same records: bookmarks name records, so they stay valid. Clones keep
  // the order they had.
  auto fresh = std::make_shared<RecordSource>(*source_);
  fresh->table_index = name;
  source_ = fresh;
  served_ = nullptr;
  BuildKeyset();
  cur_ = Order().First();
  if (cur_ >= 0) GoTo(cur_);
  else AfterEmptyMove();
}

std::string RecordsetImpl::Filter() {
  CheckOpen();
  return filter_;
}

void RecordsetImpl::SetFilter(const std::string& criteria) {
  CheckOpen();
  if (type_ == dbOpenTable || type_ == dbOpenForwardOnly)
    Raise(err::kNotSupported, "Filter is not available on table-type and forward-only recordsets.");
  if (!criteria.empty()) ParseExpression(criteria);  // refuse bad syntax now
  filter_ = criteria;
}

std::string RecordsetImpl::Sort() {
  CheckOpen();
  return sort_;
}

void RecordsetImpl::SetSort(const std::string& order) {
  CheckOpen();
  if (type_ == dbOpenTable || type_ == dbOpenForwardOnly)
    Raise(err::kNotSupported, "Sort is not available on table-type and forward-only recordsets.");
  ParseOrderList(order);
  sort_ = order;
}

std::string RecordsetImpl::ValidationRule() {
  CheckOpen();
  return "";
}

std::string RecordsetImpl::ValidationText() {
  CheckOpen();
  return "";
}

std::shared_ptr<dao::Recordset> RecordsetImpl::Clone() {
  CheckOpen();
  if (type_ == dbOpenForwardOnly) Raise(err::kNotSupported, "A forward-only recordset cannot be cloned.");
  std::shared_ptr<RecordSource> source = source_;
  if (type_ == dbOpenTable && !source_->table_index.empty()) {
    // A clone of a table walks the table without an index until one is set on it.
    source = std::make_shared<RecordSource>(*source_);
    source->table_index.clear();
  }
  auto rs = std::shared_ptr<RecordsetImpl>(new RecordsetImpl(source, type_));
  if (source != source_) rs->BuildKeyset();
  rs->updatable_ = updatable_;
  rs->lock_edits_ = lock_edits_;
  rs->filter_ = filter_;
  rs->sort_ = sort_;
  // A clone starts without a current record: before the first one, or at BOF and EOF when the
  // set is empty.
  rs->cur_ = -1;
  rs->bof_ = true;
  rs->eof_ = rs->Order().LiveCount() == 0;
  source_->db->RememberRecordset(rs);
  return rs;
}

std::shared_ptr<dao::Recordset> RecordsetImpl::OpenRecordset(const Variant& type, const Variant& options) {
  CheckOpen();
  if (type_ == dbOpenForwardOnly) Raise(err::kNotSupported, "A recordset cannot be opened from a forward-only recordset.");
  auto src = std::make_shared<RecordSource>();
  src->db = source_->db;
  src->query = source_->query;
  src->name = source_->name;
  src->max_records = source_->max_records;
  if (!filter_.empty()) src->query.filters.push_back(ParseExpression(filter_));
  if (!sort_.empty()) src->query.sort = ParseOrderList(sort_);
  src->plan = PlanSelect(*src->db->catalog, src->query);
  // The parameters of the source keep their values.
  std::vector<std::pair<std::string, Variant>> values;
  for (size_t k = 0; k < source_->plan.parameters.size() && k < source_->parameters.size(); ++k)
    values.emplace_back(source_->plan.parameters[k].name, NaturalVariant(source_->parameters[k]));
  src->parameters = ResolveParameters(src->plan.parameters, values);
  int t = IntArg(type, type_ == dbOpenSnapshot ? dbOpenSnapshot : dbOpenDynaset);
  if (t == dbOpenTable) t = dbOpenDynaset;
  if (t == dbOpenDynamic) Raise(err::kInvalidArgument, "Dynamic recordsets (type 16) are not supported by this database.");
  if (t != dbOpenDynaset && t != dbOpenSnapshot && t != dbOpenForwardOnly)
    Raise(err::kInvalidArgument, "Invalid recordset type " + std::to_string(t) + ".");
  const int opt = IntArg(options, 0);
  if (opt & dbForwardOnly) t = dbOpenForwardOnly;
  return Open(src, t, opt, updatable_ ? dbOptimistic : dbReadOnlyLock);
}

bool RecordsetImpl::ReadRow(int32_t entry, std::vector<Cell>& row) {
  RecordSource& s = *source_;
  const int64_t rowid = Order().RowId(entry);
  if (!s.keyed) {
    row = s.rows[static_cast<size_t>(rowid)];
    return true;
  }
  auto st = s.db->connection->Prepare(s.read_sql);
  int index = 1;
  for (const Cell& c : BindSlots(s.plan.select_slots, s.parameters)) st.Bind(index++, c);
  for (const Cell& c : BindSlots(s.plan.from_slots, s.parameters)) st.Bind(index++, c);
  st.BindInt(index, rowid);
  if (!st.Step()) return false;
  const int n = st.ColumnCount();
  row.resize(n);
  for (int k = 0; k < n; ++k) row[k] = st.Column(k);
  return true;
}

RowCache& RecordsetImpl::Cache() {
  const DatabaseCore& db = *source_->db;
  source_->cache.Validate(db.connection->TotalChanges(), db.cache_epoch);
  return source_->cache;
}

void RecordsetImpl::CacheRow(int32_t entry, std::vector<Cell> cells) {
  RowCache::Row row;
  row.entry = entry;
  row.statement = source_->db->connection->StatementCount();
  row.cells = std::move(cells);
  Cache().Put(std::move(row));
}

namespace {
constexpr int kMaxWindow = 64;
}  // namespace

const RowCache::Row& RecordsetImpl::FillWindow() {
  RecordSource& s = *source_;
  const RecordOrder& k = Order();
  Connection& c = *s.db->connection;
  if (last_read_entry_ < 0 || k.Next(last_read_entry_) != cur_)
    window_size_ = 1;  // not a walk
  else if (last_read_entry_ == window_last_)
    window_size_ = std::min(kMaxWindow, window_size_ * 2);  // the walk used the last window up
  else
    window_size_ = std::max(1, window_used_);  // the walk left it early (a change dropped it)
  window_used_ = 0;
  window_entries_.clear();
  for (int32_t e = cur_; e >= 0 && static_cast<int>(window_entries_.size()) < window_size_; e = k.Next(e))
    window_entries_.push_back(e);
  const size_t n = window_entries_.size();
  window_last_ = window_entries_.back();
  std::vector<RowCache::Row>& rows = Cache().StartWindow(n);
  for (size_t i = 0; i < n; ++i) {
    rows[i].entry = window_entries_[i];
    rows[i].present = false;
  }
  if (n == 1) {
    rows[0].present = ReadRow(cur_, rows[0].cells);
  } else {
    bool ascending = true;
    for (size_t i = 1; i < n && ascending; ++i) ascending = k.RowId(rows[i].entry) > k.RowId(rows[i - 1].entry);
    const std::string rowid = QuoteName(s.plan.base_alias) + ".rowid";
    std::string sql = "SELECT " + rowid + ", " + s.plan.select_sql + s.plan.from_sql + " WHERE " + rowid;
    if (ascending) {
      sql += " BETWEEN ? AND ? ORDER BY " + rowid;
    } else {
      sql += " IN (";
      for (size_t i = 0; i < n; ++i) sql += i ? ", ?" : "?";
      sql += ")";
    }
    auto st = c.Prepare(sql);
    int index = 1;
    for (const Cell& cell : BindSlots(s.plan.select_slots, s.parameters)) st.Bind(index++, cell);
    for (const Cell& cell : BindSlots(s.plan.from_slots, s.parameters)) st.Bind(index++, cell);
    if (ascending) {
      st.BindInt(index++, k.RowId(rows.front().entry));
      st.BindInt(index++, k.RowId(rows.back().entry));
    } else {
      for (size_t i = 0; i < n; ++i) st.BindInt(index++, k.RowId(rows[i].entry));
    }
    const int columns = st.ColumnCount() - 1;
    size_t next = 0;
    while (st.Step()) {
      const int64_t id = st.ColumnInt(0);
      size_t slot = n;
      if (ascending) {
        // Rows added by others between the window's records are passed over.
        while (next < n && k.RowId(rows[next].entry) < id) ++next;
        if (next < n && k.RowId(rows[next].entry) == id) slot = next;
      } else {
        for (size_t i = 0; i < n; ++i)
          if (k.RowId(rows[i].entry) == id) slot = i;
      }
      if (slot == n) continue;
      RowCache::Row& row = rows[slot];
      row.cells.resize(columns);
      for (int col = 0; col < columns; ++col) st.ColumnInto(col + 1, row.cells[col]);
      row.present = true;
    }
  }
  const uint64_t statement = c.StatementCount();
  for (RowCache::Row& row : rows) row.statement = statement;
  cache_slot_ = 0;
  return rows[0];
}

const std::vector<Cell>& RecordsetImpl::CurrentRow() {
  CheckCurrent();
  if (streaming()) return stream_row_;
  const RecordOrder& k = Order();
  if (!k.IsLive(cur_))
    Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + " was deleted.");
  if (!source_->keyed) return source_->rows[static_cast<size_t>(k.RowId(cur_))];
  const DatabaseCore& db = *source_->db;
  // Every field of a record asks again; while nothing changed the row served last serves.
  if (served_ != nullptr && served_entry_ == cur_ && served_version_ == source_->cache.version() &&
      served_refresh_ == db.refresh_mark && served_changes_ == db.connection->TotalChanges() &&
      served_epoch_ == db.cache_epoch)
    return served_->cells;
  RowCache& cache = Cache();
  const RowCache::Row* row = cache.Find(cur_, source_->db->refresh_mark, cache_slot_);
  if (row == nullptr) row = &FillWindow();
  if (cache_slot_ < cache.window() && last_read_entry_ != cur_)
    window_used_ = std::max(window_used_, static_cast<int>(cache_slot_) + 1);
  last_read_entry_ = cur_;
  if (!row->present)
    Raise(err::kRecordDeleted, "Record is deleted: another user deleted the current record of " + Quoted(Name()) + ".");
  served_ = row;
  served_entry_ = cur_;
  served_version_ = cache.version();
  served_refresh_ = db.refresh_mark;
  served_changes_ = db.connection->TotalChanges();
  served_epoch_ = db.cache_epoch;
  return row->cells;
}

Variant RecordsetImpl::FieldValue(int index) {
  CheckOpen();
  const OutField& f = source_->plan.fields[index];
  if (edit_mode_ != 0 && edit_set_[index]) return CellToVariant(f.type, edit_values_[index]);
  if (edit_mode_ == dbEditAdd) {
    if (f.column.empty()) return Variant::Null();
    if (f.attributes & dbAutoIncrField) return CellToVariant(f.type, NextCounterValue(index));
    // A Yes/No field without a default is No, never Null.
    if (f.default_value.empty()) return f.type == dbBoolean ? Variant(false) : Variant::Null();
    // The default as the engine would store it.
    const TableInfo& t = source_->db->catalog->Table(f.table);
    const ColumnInfo* c = t.Column(f.column);
    if (c == nullptr) return Variant::Null();
    auto st = source_->db->connection->Prepare("SELECT " + TranslateDefault(c->default_value, *c));
    st.Step();
    return CellToVariant(f.type, st.Column(0));
  }
  return CellToVariant(f.type, CurrentRow()[index]);
}

Cell RecordsetImpl::NextCounterValue(int field) {
  if (counter_field_ == field) return counter_value_;
  // SQLite gives an AUTOINCREMENT column one more than the largest value it ever had.
  const std::string table = source_->plan.base_table;
  auto st = source_->db->connection->Prepare(
      "SELECT max(ifnull((SELECT seq FROM sqlite_sequence WHERE name = ?1), 0), ifnull((SELECT max(rowid) FROM " +
      QuoteName(table) + "), 0)) + 1");
  st.Bind(1, Cell::Text(table));
  st.Step();
  counter_field_ = field;
  counter_value_ = Cell::Int(st.ColumnInt(0));
  return counter_value_;
}

void RecordsetImpl::SetFieldValue(int index, const Variant& value) {
  CheckOpen();
  const OutField& f = source_->plan.fields[index];
  if (edit_mode_ == 0)
    Raise(err::kUpdateWithoutEdit, "The field " + Quoted(f.name) + " can only be changed after Edit or AddNew.");
  if (!f.updatable)
    Raise(3164, "The field " + Quoted(f.name) + " cannot be updated.");
  edit_values_[index] = VariantToCell(f.type, f.size, value, f.table + "." + f.column);
  edit_set_[index] = true;
}

void RecordsetImpl::CheckUpdatable(const char* operation) {
  CheckOpen();
  if (!updatable_) {
    if (source_->db->read_only)
      Raise(err::kReadOnly, std::string("Cannot ") + operation + ": the database " + Quoted(source_->db->name) +
                                " is opened read-only.");
    Raise(err::kReadOnly, std::string("Cannot ") + operation + ": the recordset " + Quoted(Name()) +
                              " is not updatable.");
  }
}

void RecordsetImpl::AddNew() {
  CheckUpdatable("add a record");
  edit_mode_ = dbEditAdd;
  edit_entry_ = -1;
  edit_values_.assign(FieldCount(), Cell());
  edit_set_.assign(FieldCount(), false);
  counter_field_ = -1;
}

void RecordsetImpl::Edit() {
  CheckUpdatable("edit");
  CheckCurrent();
  if (!Order().IsLive(cur_))
    Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + " was deleted.");
  // The edit starts from the record as this recordset last read it (a refresh makes that a read
  // of the file); Update writes only when nobody changed it since.
  edit_original_ = CurrentRow();
  edit_mode_ = dbEditInProgress;
  edit_entry_ = cur_;
  edit_values_.assign(FieldCount(), Cell());
  edit_set_.assign(FieldCount(), false);
}

void RecordsetImpl::NoteWrite(int64_t rowid, RowChange change, int64_t changes_before) {
  DatabaseCore& db = *source_->db;
  if (db.connection->TotalChanges() - changes_before != 1) {
    // Cascades or triggers changed more than this record.
    ++db.order_epoch;
    return;
  }
  PlaceRowChange(db, source_->plan.base_table, rowid, change);
}

void RecordsetImpl::UpdateEdited(const std::string& assignments, std::vector<Cell> cells) {
  RecordSource& s = *source_;
  DatabaseCore& db = *s.db;
  // Optimistic locking: the row is written only when every column the edit read still holds the
  // value read. Without a changed value the same test runs as a query and nothing is written.
  const int64_t rowid = Order().RowId(edit_entry_);
  cells.push_back(Cell::Int(rowid));
  for (int k = 0; k < FieldCount(); ++k)
    if (!s.plan.fields[k].column.empty()) cells.push_back(edit_original_[k]);
  const int64_t before = db.connection->TotalChanges();
  bool written;
  if (assignments.empty()) {
    auto st = db.connection->Prepare("SELECT 1 FROM " + s.target_sql + s.unchanged_sql);
    st.BindAll(cells);
    written = st.Step();
    // The record is as it was read: what the cache holds is as fresh as this check.
    if (written) CacheRow(edit_entry_, edit_original_);
  } else {
    auto st = db.connection->Prepare("UPDATE " + s.target_sql + " SET " + assignments + s.unchanged_sql +
                                     s.returning_sql);
    st.BindAll(cells);
    std::vector<Cell> stored;
    if (st.Step() && !s.returning_sql.empty()) {
      stored.resize(st.ColumnCount());
      for (int col = 0; col < st.ColumnCount(); ++col) stored[col] = st.Column(col);
    }
    st.Run();
    written = db.connection->Changes() == 1;
    if (written) {
      const int64_t delta = db.connection->TotalChanges() - before;
      s.cache.Accounts(before, delta);
      if (stored.empty()) s.cache.Erase(edit_entry_);
      else CacheRow(edit_entry_, std::move(stored));
      NoteWrite(rowid, RowChange::kUpdated, before);
    }
  }
  if (written) return;
  std::vector<Cell> row;
  if (!ReadRow(edit_entry_, row))
    Raise(err::kRecordDeleted, "Record is deleted: another user deleted the record of " + Quoted(Name()) +
                                   " that was being edited; the change was not saved.");
  Raise(err::kWriteConflict, "Data has changed: another user changed the record of " + Quoted(Name()) +
                                 " since it was read for editing; the change was not saved.");
}

void RecordsetImpl::Update(const Variant&, const Variant&) {
  CheckOpen();
  if (edit_mode_ == 0)
    Raise(err::kUpdateWithoutEdit, "Update without AddNew or Edit on the recordset " + Quoted(Name()) + ".");
  RecordSource& s = *source_;
  DatabaseCore& db = *s.db;
  RecordOrder& order = Order();
  const std::string table = s.plan.base_table;
  if (edit_mode_ == dbEditInProgress) {
    if (!order.IsLive(edit_entry_))
      Raise(err::kRecordDeleted, "Record is deleted: the edited record of " + Quoted(Name()) + " was deleted.");
    // Only values that differ from what Edit read are written.
    std::string assignments;
    std::vector<Cell> cells;
    for (int k = 0; k < FieldCount(); ++k) {
      if (!edit_set_[k] || SameCell(edit_values_[k], edit_original_[k])) continue;
      assignments += (assignments.empty() ? "" : ", ") + QuoteName(s.plan.fields[k].column) + " = ?";
      cells.push_back(edit_values_[k]);
    }
    UpdateEdited(assignments, std::move(cells));
    last_modified_ = order.BookmarkOf(edit_entry_);
  } else {
    const int64_t before = db.connection->TotalChanges();
    std::vector<Cell> stored;  // the record as the insert stored it
    // The AutoNumber value shown since AddNew goes in with the record; when another user took it
    // meanwhile, the record gets the next free one instead.
    auto insert = [&](bool with_counter) {
      std::string columns, values;
      std::vector<Cell> cells;
      for (int k = 0; k < FieldCount(); ++k) {
        const bool counter = with_counter && k == counter_field_ && !edit_set_[k];
        if (!edit_set_[k] && !counter) continue;
        columns += (columns.empty() ? "" : ", ") + QuoteName(s.plan.fields[k].column);
        values += values.empty() ? "?" : ", ?";
        cells.push_back(counter ? counter_value_ : edit_values_[k]);
      }
      auto st = db.connection->Prepare(
          (columns.empty() ? "INSERT INTO " + QuoteName(table) + " DEFAULT VALUES"
                           : "INSERT INTO " + QuoteName(table) + " (" + columns + ") VALUES (" + values + ")") +
          s.returning_sql);
      st.BindAll(cells);
      if (st.Step() && !s.returning_sql.empty()) {
        stored.resize(st.ColumnCount());
        for (int col = 0; col < st.ColumnCount(); ++col) stored[col] = st.Column(col);
      }
      st.Run();
    };
    const bool reserved = counter_field_ >= 0 && !edit_set_[counter_field_];
    try {
      insert(reserved);
    } catch (const dao::EOleException& e) {
      if (e.ErrorCode() != err::kDuplicateKey || !reserved) throw;
      insert(false);
    }
    const int64_t rowid = db.connection->LastInsertRowid();
    const int64_t delta = db.connection->TotalChanges() - before;
    int32_t entry = -1;
    if (s.keyset) {
      entry = s.keyset->Append(rowid);
      last_modified_ = s.keyset->BookmarkOf(entry);
    }
    NoteWrite(rowid, RowChange::kInserted, before);
    if (s.table_order) {
      entry = s.table_order->EntryOf(rowid);
      last_modified_ = s.table_order->BookmarkOfRow(rowid);
    }
    s.cache.Accounts(before, delta);
    if (entry >= 0 && !stored.empty()) CacheRow(entry, std::move(stored));
    if (order.LiveCount() > 0 && bof_ && eof_) {
      // The first record of an empty set: the set is no longer empty, the position is before it.
      eof_ = false;
    }
  }
  records_affected_ = 1;
  LeaveEdit();
}

void RecordsetImpl::CancelUpdate(const Variant&) {
  CheckOpen();
  if (edit_mode_ == 0)
    Raise(err::kUpdateWithoutEdit, "CancelUpdate without AddNew or Edit on the recordset " + Quoted(Name()) + ".");
  LeaveEdit();
}

void RecordsetImpl::Delete() {
  CheckUpdatable("delete");
  CheckCurrent();
  LeaveEdit();
  RecordSource& s = *source_;
  RecordOrder& order = Order();
  if (!order.IsLive(cur_))
    Raise(err::kRecordDeleted, "Record is deleted: the current record of " + Quoted(Name()) + " was already deleted.");
  const int64_t rowid = order.RowId(cur_);
  const int64_t before = s.db->connection->TotalChanges();
  auto st = s.db->connection->Prepare("DELETE FROM " + QuoteName(s.plan.base_table) + " WHERE rowid = ?");
  st.BindInt(1, rowid);
  st.Run();
  const bool gone_before = s.db->connection->Changes() == 0;
  order.Kill(cur_);
  if (gone_before)
    Raise(err::kRecordDeleted, "Record is deleted: another user already deleted the current record of " +
                                   Quoted(Name()) + ".");
  s.cache.Accounts(before, s.db->connection->TotalChanges() - before);
  s.cache.Erase(cur_);
  NoteWrite(rowid, RowChange::kDeleted, before);
  records_affected_ = 1;
}

void RecordsetImpl::Requery(const Variant&) {
  CheckOpen();
  LeaveEdit();
  if (streaming()) {
    StartStream();
    return;
  }
  auto fresh = std::make_shared<RecordSource>(*source_);
  source_ = fresh;
  served_ = nullptr;
  BuildKeyset();
  last_modified_ = 0;
  cur_ = Order().First();
  if (cur_ >= 0) GoTo(cur_);
  else AfterEmptyMove();
}

Variant RecordsetImpl::GetRows(const Variant& rows) {
  CheckOpen();
  const int32_t wanted = IntArg(rows, 1);
  std::vector<Variant> fields(FieldCount());
  std::vector<std::vector<Variant>> columns(FieldCount());
  for (int32_t n = 0; n < wanted && !eof_ && !bof_ && (streaming() || Order().LiveCount() > 0); ++n) {
    for (int k = 0; k < FieldCount(); ++k) columns[k].push_back(FieldValue(k));
    MoveNext();
  }
  for (int k = 0; k < FieldCount(); ++k) fields[k] = Variant::Array(std::move(columns[k]));
  return Variant::Array(std::move(fields));
}

std::shared_ptr<dao::Fields> RecordsetImpl::Fields() {
  CheckOpen();
  if (!fields_) {
    std::vector<std::shared_ptr<dao::Field>> list;
    for (int k = 0; k < FieldCount(); ++k)
      list.push_back(std::make_shared<RecordsetField>(weak_from_this(), k));
    fields_ = std::make_shared<ListCollection<dao::Field>>(
        "Fields", [list] { return list; }, nullptr, nullptr, false);
  }
  return fields_;
}

std::shared_ptr<dao::Properties> RecordsetImpl::Properties() {
  CheckOpen();
  auto self = weak_from_this();
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

void RecordsetImpl::Close() {
  CheckOpen();
  closed_ = true;
  stream_.reset();
  stream_row_.clear();
  fields_.reset();
}

void RecordsetImpl::FindFirst(const std::string& criteria) { Find(criteria, 1); }
void RecordsetImpl::FindLast(const std::string& criteria) { Find(criteria, 2); }
void RecordsetImpl::FindNext(const std::string& criteria) { Find(criteria, 3); }
void RecordsetImpl::FindPrevious(const std::string& criteria) { Find(criteria, 4); }

void RecordsetImpl::Find(const std::string& criteria, int direction) {
  CheckOpen();
  if (type_ == dbOpenTable || type_ == dbOpenForwardOnly)
    Raise(err::kNotSupported, "The Find methods are not available on table-type and forward-only recordsets; use Seek.");
  RecordSource& s = *source_;
  RecordOrder& k = Order();
  const int32_t here = bof_ ? -1 : eof_ ? 2 * k.LiveCount() : Rank(cur_);
  int32_t best = -1;
  int32_t best_rank = 0;
  auto consider = [&](int32_t entry) {
    if (entry < 0 || !k.IsLive(entry)) return;
    const int32_t r = 2 * k.Position(entry);
    bool ok = false;
    switch (direction) {
      case 1: ok = best < 0 || r < best_rank; break;
      case 2: ok = best < 0 || r > best_rank; break;
      case 3: ok = r > here && (best < 0 || r < best_rank); break;
      case 4: ok = r < here && (best < 0 || r > best_rank); break;
    }
    if (ok) best = entry, best_rank = r;
  };
  std::vector<Cell> found;  // the found record's values, which serve the move to it
  if (s.keyed) {
    // The engine finds the matching records (through an index where one serves), the keyset
    // places them.
    std::vector<Slot> slots = s.plan.select_slots;
    slots.insert(slots.end(), s.plan.from_slots.begin(), s.plan.from_slots.end());
    const std::string where = CriteriaSql(criteria, slots);
    auto st = s.db->connection->Prepare("SELECT " + QuoteName(s.plan.base_alias) + ".rowid, " + s.plan.select_sql +
                                        s.plan.from_sql + " WHERE " + where);
    st.BindAll(BindSlots(slots, s.parameters));
    while (st.Step()) {
      const int32_t before = best;
      consider(k.EntryOf(st.ColumnInt(0)));
      if (best == before) continue;
      found.resize(st.ColumnCount() - 1);
      for (size_t col = 0; col < found.size(); ++col) found[col] = st.Column(static_cast<int>(col) + 1);
    }
    if (best >= 0) CacheRow(best, std::move(found));
  } else {
    std::vector<Slot> slots;
    const std::string test = TranslateRowCriteria(s.plan, ParseExpression(criteria), slots);
    auto st = s.db->connection->Prepare("SELECT " + test);
    const bool forward = direction == 1 || direction == 3;
    int32_t entry = direction == 1 ? k.First() : direction == 2 ? k.Last()
                    : direction == 3 ? (bof_ ? k.First() : eof_ ? -1 : k.Next(cur_))
                                     : (eof_ ? k.Last() : bof_ ? -1 : k.Previous(cur_));
    for (; entry >= 0; entry = forward ? k.Next(entry) : k.Previous(entry)) {
      const auto& row = s.rows[static_cast<size_t>(k.RowId(entry))];
      st.Reset();
      st.BindAll(BindSlots(slots, s.parameters, &row));
      if (st.Step() && !st.ColumnIsNull(0) && sqlite3_column_double(st.handle(), 0) != 0) {
        best = entry;
        break;
      }
    }
  }
  no_match_ = best < 0;
  if (!no_match_) {
    LeaveEdit();
    GoTo(best);
  }
}

std::string RecordsetImpl::CriteriaSql(const std::string& criteria, std::vector<Slot>& slots) {
  auto& cache = source_->criteria;
  std::string shape;
  std::vector<Cell> literals;
  const bool shaped = LiteralShape(criteria, shape, literals);
  if (shaped) {
    const auto it = cache.find(shape);
    if (it != cache.end() && it->second.reusable) {
      const RecordSource::Criteria& c = it->second;
      const size_t first = slots.size();
      slots.insert(slots.end(), c.slots.begin(), c.slots.end());
      for (size_t k = 0; k < literals.size(); ++k) slots[first + c.literal_slots[k]].value = literals[k];
      return c.where;
    }
  }
  std::vector<Slot> own;
  RecordSource::Criteria c;
  c.where = TranslateCriteria(*source_->db->catalog, source_->plan, ParseExpression(criteria), own);
  const std::string where = c.where;
  if (shaped) {
    // Reusable when the bound values are the text's literals, in order, and nothing else varies.
    for (size_t k = 0; k < own.size(); ++k)
      if (own[k].kind == Slot::kValue) c.literal_slots.push_back(k);
    c.reusable = c.literal_slots.size() == literals.size();
    for (size_t k = 0; c.reusable && k < literals.size(); ++k)
      c.reusable = SameCell(own[c.literal_slots[k]].value, literals[k]);
    c.slots = own;
    if (cache.size() >= 64) cache.clear();
    cache[shape] = std::move(c);
  }
  slots.insert(slots.end(), own.begin(), own.end());
  return where;
}

void RecordsetImpl::Seek(const std::string& comparison, const std::vector<Variant>& keys) {
  CheckOpen();
  if (type_ != dbOpenTable) Raise(err::kNotSupported, "Seek is only available on table-type recordsets.");
  RecordSource& s = *source_;
  RecordOrder& records = Order();
  if (s.table_index.empty())
    Raise(err::kNoIndex, "Seek needs a current index: set the Index of the recordset " + Quoted(Name()) + " first.");
  const TableInfo& t = s.db->catalog->Table(s.plan.base_table);
  const IndexInfo& index = t.indexes[t.IndexPosition(s.table_index)];
  if (keys.empty() || keys.size() > index.columns.size())
    Raise(err::kInvalidArgument, "Seek on the index " + Quoted(index.name) + " takes 1 to " +
                                     std::to_string(index.columns.size()) + " key values.");
  std::string op = comparison;
  op.erase(std::remove(op.begin(), op.end(), ' '), op.end());
  if (op != "=" && op != ">=" && op != ">" && op != "<=" && op != "<")
    Raise(err::kInvalidArgument, "Seek comparison " + Quoted(comparison) + " must be =, >=, >, <= or <.");
  std::vector<Cell> values;
  std::vector<std::string> cols;
  std::vector<bool> desc;
  for (size_t i = 0; i < keys.size(); ++i) {
    const ColumnInfo* c = t.Column(index.columns[i].name);
    values.push_back(VariantToCell(c->type, c->size, keys[i], t.name + "." + c->name));
    cols.push_back(QuoteName(c->name));
    desc.push_back(index.columns[i].descending);
  }
  const bool backward = op == "<" || op == "<=";
  std::string where;
  std::vector<Cell> binds;
  if (op == "=") {
    for (size_t i = 0; i < cols.size(); ++i) {
      where += (i ? " AND " : "") + cols[i] + " = ?";
      binds.push_back(values[i]);
    }
  } else {
    // Lexicographic comparison in index order: (k0 > v0) OR (k0 = v0 AND k1 > v1) ...
    const bool strict = op == ">" || op == "<";
    for (size_t i = 0; i < cols.size(); ++i) {
      std::string term;
      for (size_t j = 0; j < i; ++j) {
        term += cols[j] + " = ? AND ";
        binds.push_back(values[j]);
      }
      const bool greater = backward == desc[i];  // in index order "after" the key
      term += cols[i] + (greater ? " > ?" : " < ?");
      binds.push_back(values[i]);
      where += (i ? " OR (" : "(") + term + ")";
    }
    if (!strict) {
      std::string eq;
      for (size_t i = 0; i < cols.size(); ++i) {
        eq += (i ? " AND " : "") + cols[i] + " = ?";
        binds.push_back(values[i]);
      }
      where += " OR (" + eq + ")";
    }
  }
  std::string order;
  for (const auto& ic : index.columns)
    order += QuoteName(ic.name) + ((ic.descending != backward) ? " DESC, " : ", ");
  order += backward ? "rowid DESC" : "rowid";
  auto st = s.db->connection->Prepare("SELECT rowid FROM " + QuoteName(t.name) + " WHERE " + where + " ORDER BY " + order);
  st.BindAll(binds);
  int32_t found = -1;
  while (found < 0 && st.Step()) {
    const int32_t entry = records.EntryOf(st.ColumnInt(0));
    if (entry >= 0 && records.IsLive(entry)) found = entry;
  }
  no_match_ = found < 0;
  if (!no_match_) {
    LeaveEdit();
    GoTo(found);
  }
}

std::shared_ptr<dao::Recordset> OpenRecordsetOn(const std::shared_ptr<DatabaseCore>& db, const std::string& text,
                                                const Variant& type, const Variant& options,
                                                const Variant& lock_edits,
                                                const std::vector<std::pair<std::string, Variant>>& parameter_values,
                                                int32_t max_records) {
  db->CheckOpen();
  db->catalog->Refresh();
  auto src = std::make_shared<RecordSource>();
  src->db = db;
  src->name = text;
  src->max_records = max_records;
  const TableInfo* table = db->catalog->FindTable(text);
  const QueryInfo* query = table ? nullptr : db->catalog->FindQuery(text);
  int default_type = dbOpenDynaset;
  if (table != nullptr) {
    SelectItem star;
    star.star = true;
    src->query.select.items.push_back(star);
    FromItem from;
    from.first.name = table->name;
    src->query.select.from.push_back(from);
    src->name = table->name;
    default_type = dbOpenTable;
  } else {
    const std::string sql = query ? query->sql : text;
    const JetStatement st = [&] {
      try {
        return ParseStatement(sql);
      } catch (const dao::EOleException& e) {
        // A single word that is neither a table nor a query names an unknown object.
        if (query == nullptr && sql.find_first_of(" \t\r\n") == std::string::npos)
          Raise(err::kUnknownTable, "The table or query " + Quoted(text) + " does not exist in this database.");
        throw;
      }
    }();
    if (st.kind != JetStatement::kSelect)
      Raise(err::kInvalidOperation, "OpenRecordset needs a select query; " + Quoted(text) + " is an action query.");
    src->query.select = st.select;
    src->query.declared = st.parameters;
  }
  int t = IntArg(type, default_type);
  const int opt = IntArg(options, 0);
  const int lock = IntArg(lock_edits, dbOptimistic);
  if (t == dbOpenDynamic)
    Raise(err::kInvalidArgument, "Dynamic recordsets (type 16) are not supported by this database; open a dynaset.");
  if (t != dbOpenTable && t != dbOpenDynaset && t != dbOpenSnapshot && t != dbOpenForwardOnly)
    Raise(err::kInvalidArgument, "Invalid recordset type " + std::to_string(t) + ".");
  if (t == dbOpenTable && table == nullptr)
    Raise(err::kInvalidOperation, "A table-type recordset can only be opened on a table; " + Quoted(text) + " is not one.");
  if (opt & dbForwardOnly) t = dbOpenForwardOnly;
  src->plan = PlanSelect(*db->catalog, src->query);
  src->parameters = ResolveParameters(src->plan.parameters, parameter_values);
  return RecordsetImpl::Open(src, t, opt, lock);
}

}  // namespace engine
