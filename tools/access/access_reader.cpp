#include "tools/access/access_reader.h"

// libmdb's header opens an extern "C" block around its includes of glib; glib's own C++ parts must
// be seen first, outside that block.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "engine/access_header.h"
#include "framework/strings.h"
#include "tools/access/access_values.h"

namespace access_file {

namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kVersionOffset = 0x14;
// Types of the file's objects (MSysObjects.Type).
constexpr int kObjectQuery = 5;
constexpr int kObjectLinkedOdbc = 4;
constexpr int kObjectLinkedTable = 6;
constexpr int kIndexForeign = 2;  // an index entry that only refers to another table's key
constexpr int kIndexPrimary = 1;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Checks, before libmdb sees the file, that it can be read, is an Access database and holds
// whole pages: libmdb itself reads past the end of a cut file without noticing. Only regular
// files are opened: opening a FIFO would wait for a writer that may never come.
void CheckFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw AccessError("cannot read " + Quoted(path) + ": " +
                      (S_ISDIR(st.st_mode) ? "it is a directory" : "it is no regular file (a device, FIFO or socket)"));
  std::ifstream in(path, std::ios::binary);
  if (!in) throw AccessError("cannot read " + Quoted(path) + ": " + std::strerror(errno));
  std::string header(kHeaderSize, '\0');
  in.read(header.data(), static_cast<std::streamsize>(header.size()));
  header.resize(static_cast<size_t>(in.gcount()));
  if (!engine::IsAccessHeader(header))
    throw AccessError(Quoted(path) + " is not a Microsoft Access database (.mdb or .accdb)");
  in.seekg(0, std::ios::end);
  const auto size = static_cast<uint64_t>(in.tellg());
  const uint64_t page = static_cast<unsigned char>(header[kVersionOffset]) == 0 ? 2048 : 4096;
  if (size % page != 0 || size < 2 * page)
    throw AccessError(Quoted(path) + " is damaged: it is cut short (" + std::to_string(size) +
                      " bytes is not a whole number of its " + std::to_string(page) + "-byte pages)");
}

MdbColumn* ColumnAt(MdbTableDef* t, unsigned k) { return static_cast<MdbColumn*>(g_ptr_array_index(t->columns, k)); }

std::string Prop(const MdbColumn* col, const char* key) {
  const char* value = mdb_col_get_prop(col, key);
  return value != nullptr ? value : "";
}

bool PropIsYes(const std::string& value) { return framework::SameText(value, "yes") || value == "1"; }

// The low bits of an entry in a data page's row table give the record's place on the page; the top
// two are flags. 0x4000 marks a record deleted or moved to another page (mdb_fetch_row passes over
// those) and 0x8000 alone one that was moved here because it grew (mdb_fetch_row reads it where it
// lies); mdb_find_row hands the flags back along with the place.
constexpr int kRowOffsetMask = 0x1FFF;

// Splits the record that mdb_fetch_row has just read from `t` into `fields` (one per column of the
// table) and answers whether it could. Everything libmdb answers is checked before it is used: the
// record lies within its page, and every value that is not Null lies within the record.
bool CrackRecord(MdbHandle* mdb, MdbTableDef* t, std::vector<MdbField>& fields) {
  int start = 0;
  size_t length = 0;
  if (t->cur_row == 0 || mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &length) != 0) return false;
  const int offset = start & kRowOffsetMask;
  if (length == 0 || static_cast<size_t>(offset) + length > static_cast<size_t>(mdb->fmt->pg_size)) return false;
  std::fill_n(fields.begin(), t->num_cols, MdbField{});
  if (mdb_crack_row(t, offset, length, fields.data()) <= 0) return false;
  const auto first = reinterpret_cast<uintptr_t>(mdb->pg_buf + offset);
  const uintptr_t end = first + length;
  for (unsigned k = 0; k < t->num_cols; ++k) {
    const MdbField& f = fields[k];
    if (f.is_null) continue;
    const auto value = reinterpret_cast<uintptr_t>(f.value);
    if (f.siz < 0 || (f.siz > 0 && (value < first || value > end || static_cast<uintptr_t>(f.siz) > end - value)))
      return false;
  }
  return true;
}

}  // namespace

struct AccessReader::Handle {
  MdbHandle* mdb = nullptr;
  ~Handle() {
    if (mdb != nullptr) mdb_close(mdb);
  }

  // A table definition of libmdb with its columns (and indexes) read; freed when it goes.
  struct Table {
    MdbTableDef* def = nullptr;
    ~Table() {
      if (def != nullptr) mdb_free_tabledef(def);
    }
  };

  void Open(Table& t, const std::string& name, bool indexes) const {
    std::string copy = name;
    t.def = mdb_read_table_by_name(mdb, copy.data(), MDB_TABLE);
    if (t.def == nullptr) throw AccessError("the table " + Quoted(name) + " cannot be read; the file is damaged");
    if (mdb_read_columns(t.def) == nullptr || t.def->columns == nullptr)
      throw AccessError("the columns of the table " + Quoted(name) + " cannot be read; the file is damaged");
    if (indexes) mdb_read_indices(t.def);  // answers no result worth testing; the list is in the table
    if (indexes && t.def->num_idxs > 0 && t.def->indices == nullptr)
      throw AccessError("the indexes of the table " + Quoted(name) + " cannot be read; the file is damaged");
  }

  // Text as the file stores it (Jet 4/ACE: UCS-2, maybe compressed; Jet 3: the file's code page)
  // converted to UTF-8.
  std::string Text(const void* data, size_t size) const {
    if (size == 0) return "";
    std::string out(size * 3 + 16, '\0');
    const int n = mdb_unicode2ascii(mdb, static_cast<const char*>(data), size, out.data(), out.size());
    out.resize(static_cast<size_t>(n > 0 ? n : 0));
    return out;
  }

  // A memo or OLE value whose 12-byte reference is `ref`: its bytes as stored.
  std::string LongValue(MdbColumn* col, const std::string& ref, const std::string& table) const {
    std::vector<char> buffer(std::max<size_t>(mdb->bind_size, ref.size()));
    std::memcpy(buffer.data(), ref.data(), ref.size());
    void* saved = col->bind_ptr;
    col->bind_ptr = buffer.data();
    size_t size = 0;
    void* data = mdb_ole_read_full(mdb, col, &size);
    col->bind_ptr = saved;
    if (data == nullptr && size != 0)
      throw AccessError("a value of " + Quoted(table + "." + col->name) + " cannot be read; the file is damaged");
    std::string out(static_cast<const char*>(data), data != nullptr ? size : 0);
    free(data);
    return out;
  }
};

AccessReader::AccessReader(const std::string& path) : path_(path), handle_(std::make_unique<Handle>()) {
  CheckFile(path);
  // Texts come as UTF-8 whatever the environment asks libmdb for.
  setenv("MDBICONV", "UTF-8", 1);
  handle_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (handle_->mdb == nullptr) throw AccessError("libmdb cannot open " + Quoted(path) + "; the file is damaged");
  MdbHandle* mdb = handle_->mdb;
  if (mdb->f->jet_version == MDB_VER_JET3 && mdb->f->code_page != 0 && getenv("MDB_JET3_CHARSET") == nullptr) {
    // Jet 3 stores texts in the code page named in the file, not in Unicode.
    setenv("MDB_JET3_CHARSET", ("CP" + std::to_string(mdb->f->code_page)).c_str(), 1);
    mdb_iconv_close(mdb);
    mdb_iconv_init(mdb);
  }
  if (mdb_read_catalog(mdb, MDB_ANY) == nullptr)
    throw AccessError("the catalog of " + Quoted(path) + " cannot be read; the file is damaged");
}

AccessReader::~AccessReader() = default;

std::string AccessReader::FormatName() const {
  switch (handle_->mdb->f->jet_version) {
    case MDB_VER_JET3: return "Jet 3 (Access 97)";
    case MDB_VER_JET4: return "Jet 4 (Access 2000-2003)";
    default: return "ACE (Access 2007 or later)";
  }
}

std::vector<std::string> AccessReader::TableNames() const {
  std::vector<std::string> out;
  MdbHandle* mdb = handle_->mdb;
  for (unsigned k = 0; k < mdb->num_catalog; ++k) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, k));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) out.push_back(entry->object_name);
  }
  return out;
}

AccessTable AccessReader::ReadTable(const std::string& name) const {
  Handle::Table t;
  handle_->Open(t, name, true);
  const bool jet3 = handle_->mdb->f->jet_version == MDB_VER_JET3;
  AccessTable table;
  table.name = t.def->name;
  table.record_count = t.def->num_rows;
  for (unsigned k = 0; k < t.def->num_cols; ++k) {
    MdbColumn* col = ColumnAt(t.def, k);
    AccessColumn c;
    c.name = col->name;
    c.type = col->col_type;
    c.size = col->col_size;
    if (c.type == kText && !jet3) c.size /= 2;  // Jet 4 and ACE give the size in bytes of UCS-2
    if (c.type == kNumeric) {
      // The two bytes hold precision and scale; the scale is never the larger.
      c.precision = std::max(col->col_prec, col->col_scale);
      c.scale = std::min(col->col_prec, col->col_scale);
    }
    c.auto_number = col->is_long_auto != 0;
    c.auto_guid = col->is_uuid_auto != 0;
    c.required = PropIsYes(Prop(col, "Required"));
    const std::string zero_length = Prop(col, "AllowZeroLength");
    c.allow_zero_length = zero_length.empty() || PropIsYes(zero_length);
    c.default_value = Prop(col, "DefaultValue");
    table.columns.push_back(c);
  }
  for (unsigned k = 0; k < t.def->num_idxs; ++k) {
    auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(t.def->indices, k));
    if (idx->index_type == kIndexForeign) continue;
    AccessIndex i;
    i.name = idx->name;
    i.primary = idx->index_type == kIndexPrimary;
    i.unique = (idx->flags & MDB_IDX_UNIQUE) != 0 || i.primary;
    i.ignore_nulls = (idx->flags & MDB_IDX_IGNORENULLS) != 0;
    i.required = (idx->flags & MDB_IDX_REQUIRED) != 0 || i.primary;
    for (unsigned j = 0; j < idx->num_keys && j < MDB_MAX_IDX_COLS; ++j) {
      // libmdb numbers the key columns by their place in the table's column list, from 1.
      const int place = idx->key_col_num[j];
      if (place < 1 || place > static_cast<int>(table.columns.size()))
        throw AccessError("the index " + Quoted(table.name + "." + i.name) + " names a column that the table does not have; the file is damaged");
      i.columns.push_back({table.columns[place - 1].name, idx->key_col_order[j] == MDB_DESC});
    }
    table.indexes.push_back(i);
  }
  return table;
}

void AccessReader::ReadRecords(const AccessTable& table,
                               const std::function<void(const std::vector<Variant>&)>& record) const {
  MdbHandle* mdb = handle_->mdb;
  Handle::Table t;
  handle_->Open(t, table.name, false);
  const unsigned n = t.def->num_cols;
  if (n != table.columns.size())
    throw AccessError("the table " + Quoted(table.name) + " changed while it was read");
  mdb_rewind_table(t.def);
  // mdb_crack_row fills one field per column of the table but is not told how many there is room
  // for; it is given as many as libmdb's own readers give it.
  std::vector<MdbField> fields(std::max<size_t>(n, MDB_MAX_COLS));
  std::vector<Variant> values(n);
  std::vector<std::string> long_refs(n);
  // Access keeps the record count of its own system tables loosely; that of a user table is exact,
  // and a table that yields another number of records was not read whole.
  const bool system = table.name.rfind("MSys", 0) == 0;
  uint64_t count = 0;
  while (mdb_fetch_row(t.def)) {
    if (!CrackRecord(mdb, t.def, fields)) {
      if (!system) throw AccessError("a record of " + Quoted(table.name) + " cannot be read; the file is damaged");
      ++unreadable_system_records_;
      continue;
    }
    // Fixed values and texts first: reading a long value replaces the page they point into.
    for (unsigned k = 0; k < n; ++k) {
      const MdbField& f = fields[k];
      const int type = table.columns[k].type;
      long_refs[k].clear();
      const auto* data = static_cast<const uint8_t*>(f.value);
      if (type == kBoolean) {
        values[k] = Variant(!f.is_null);  // a Yes/No value lives in the null mask
      } else if (f.is_null || type == kComplex) {
        values[k] = Variant::Null();
      } else if (type == kText) {
        values[k] = Variant(handle_->Text(f.value, static_cast<size_t>(f.siz)));
      } else if (type == kBinary) {
        values[k] = Variant(std::vector<uint8_t>(data, data + f.siz));
      } else if (type == kMemo || type == kOle) {
        long_refs[k].assign(static_cast<const char*>(f.value), static_cast<size_t>(f.siz));
      } else if (type == kNumeric) {
        values[k] = Variant(DecimalText(data, static_cast<size_t>(f.siz), table.columns[k].scale));
      } else {
        try {
          values[k] = DecodeFixed(type, data, static_cast<size_t>(f.siz), 0);
        } catch (const framework::Exception& e) {
          throw AccessError("a value of " + Quoted(table.name + "." + table.columns[k].name) + " cannot be read (" +
                            e.Message() + "); the file is damaged");
        }
      }
    }
    for (unsigned k = 0; k < n; ++k) {
      if (long_refs[k].empty()) continue;
      const std::string bytes = handle_->LongValue(ColumnAt(t.def, k), long_refs[k], table.name);
      if (table.columns[k].type == kMemo) values[k] = Variant(handle_->Text(bytes.data(), bytes.size()));
      else values[k] = Variant(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    ++count;
    record(values);
  }
  if (!system && count != table.record_count)
    throw AccessError("the table " + Quoted(table.name) + " states " + std::to_string(table.record_count) +
                      " records but " + std::to_string(count) + " could be read; the file is damaged");
}

const std::vector<AccessReader::SystemRow>& AccessReader::SystemRows(const std::string& name) const {
  const auto cached = system_rows_.find(name);
  if (cached != system_rows_.end()) return cached->second;
  std::vector<SystemRow> rows;
  MdbHandle* mdb = handle_->mdb;
  bool present = false;
  for (unsigned k = 0; k < mdb->num_catalog; ++k) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, k));
    if (entry->object_type == MDB_TABLE && name == entry->object_name) present = true;
  }
  if (present) {
    const AccessTable table = ReadTable(name);
    ReadRecords(table, [&](const std::vector<Variant>& values) {
      SystemRow row;
      for (size_t k = 0; k < values.size(); ++k) row.emplace_back(table.columns[k].name, values[k]);
      rows.push_back(std::move(row));
    });
  }
  return system_rows_.emplace(name, std::move(rows)).first->second;
}

namespace {

Variant Get(const std::vector<std::pair<std::string, Variant>>& row, const char* name) {
  for (const auto& [key, value] : row)
    if (framework::SameText(key, name)) return value;
  return Variant::Null();
}

std::string TextOf(const Variant& v) { return v.IsClear() ? "" : v.ToString(); }

}  // namespace

std::vector<AccessQuery> AccessReader::Queries() const {
  std::vector<AccessQuery> out;
  std::map<int32_t, size_t> by_id;
  for (const auto& row : SystemRows("MSysObjects")) {
    const Variant type = Get(row, "Type");
    if (type.IsClear() || (type.ToInt32() & 0x7F) != kObjectQuery) continue;
    const std::string name = TextOf(Get(row, "Name"));
    if (name.empty() || name[0] == '~') continue;  // Access's own hidden queries of forms and reports
    by_id[Get(row, "Id").ToInt32()] = out.size();
    out.push_back({name, {}});
  }
  for (const auto& row : SystemRows("MSysQueries")) {
    const auto found = by_id.find(Get(row, "ObjectId").ToInt32());
    if (found == by_id.end()) continue;
    QueryRow q;
    q.attribute = Get(row, "Attribute").ToInt32();
    q.name1 = TextOf(Get(row, "Name1"));
    q.name2 = TextOf(Get(row, "Name2"));
    q.expression = TextOf(Get(row, "Expression"));
    const Variant flag = Get(row, "Flag");
    q.has_flag = !flag.IsClear();
    q.flag = q.has_flag ? flag.ToInt32() : 0;
    out[found->second].rows.push_back(q);
  }
  return out;
}

std::vector<AccessLink> AccessReader::Links() const {
  std::vector<AccessLink> out;
  for (const auto& row : SystemRows("MSysObjects")) {
    const Variant type = Get(row, "Type");
    if (type.IsClear()) continue;
    const int t = type.ToInt32() & 0x7F;
    if (t != kObjectLinkedTable && t != kObjectLinkedOdbc) continue;
    const std::string where = t == kObjectLinkedOdbc ? TextOf(Get(row, "Connect")) : TextOf(Get(row, "Database"));
    out.push_back({TextOf(Get(row, "Name")), where + (where.empty() ? "" : ": ") + TextOf(Get(row, "ForeignName"))});
  }
  return out;
}

std::vector<AccessRelationship> AccessReader::Relationships() const {
  std::vector<AccessRelationship> out;
  std::map<std::string, size_t> by_name;
  for (const auto& row : SystemRows("MSysRelationships")) {
    const std::string name = TextOf(Get(row, "szRelationship"));
    const std::string table = TextOf(Get(row, "szObject"));
    if (table.rfind("MSys", 0) == 0) continue;  // between Access's own tables
    auto found = by_name.find(name);
    if (found == by_name.end()) {
      found = by_name.emplace(name, out.size()).first;
      out.push_back({name, table, TextOf(Get(row, "szReferencedObject")), {}, {}});
    }
    out[found->second].columns.push_back(TextOf(Get(row, "szColumn")));
    out[found->second].referenced_columns.push_back(TextOf(Get(row, "szReferencedColumn")));
  }
  return out;
}

}  // namespace access_file
