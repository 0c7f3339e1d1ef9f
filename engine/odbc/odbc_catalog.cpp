#include "engine/odbc/odbc_catalog.h"

#include <algorithm>
#include <map>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "engine/catalog.h"
#include "framework/strings.h"

namespace engine::odbc {

using namespace dao;

namespace {

std::string TextAt(Statement& st, int column) {
  const Cell c = st.Get(column, dbText, SQL_WVARCHAR);
  return c.IsNull() ? std::string() : c.text;
}

int64_t IntAt(Statement& st, int column, int64_t fallback) {
  const Cell c = st.Get(column, dbLong, SQL_INTEGER);
  return c.IsNull() ? fallback : c.i;
}

bool Mentions(const std::string& text, const char* word) {
  return framework::LowerCase(text).find(word) != std::string::npos;
}

}  // namespace

std::string JetDefault(const std::string& server_default) {
  std::string t = framework::Trim(server_default);
  if (t.empty() || framework::SameText(t, "NULL")) return "";
  // A text literal, perhaps with a cast behind it ('abc'::character varying).
  if (t.front() == '\'') {
    std::string value;
    size_t k = 1;
    for (; k < t.size(); ++k) {
      if (t[k] == '\'') {
        if (k + 1 < t.size() && t[k + 1] == '\'') {
          value += '\'';
          ++k;
          continue;
        }
        break;
      }
      value += t[k];
    }
    if (k >= t.size()) return "";
    const std::string rest = t.substr(k + 1);
    if (!rest.empty() && rest.compare(0, 2, "::") != 0) return "";
    std::string quoted = "\"";
    for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
  }
  if (framework::SameText(t, "true")) return "True";
  if (framework::SameText(t, "false")) return "False";
  // A number, perhaps in parentheses as some servers write negative ones.
  while (t.size() > 2 && t.front() == '(' && t.back() == ')') t = t.substr(1, t.size() - 2);
  size_t k = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  bool digits = false, dot = false;
  for (; k < t.size(); ++k) {
    if (t[k] >= '0' && t[k] <= '9') digits = true;
    else if (t[k] == '.' && !dot) dot = true;
    else return "";
  }
  return digits ? t : "";
}

const OdbcColumn* OdbcTable::Column(const std::string& wanted) const {
  for (const auto& c : columns)
    if (c.name == wanted) return &c;
  for (const auto& c : columns)
    if (SameName(c.name, wanted)) return &c;
  return nullptr;
}

std::vector<std::string> OdbcTable::KeyColumns() const {
  for (const auto& index : indexes)
    if (index.primary) {
      std::vector<std::string> out;
      for (const auto& c : index.columns) out.push_back(c.name);
      return out;
    }
  for (const auto& index : indexes) {
    if (!index.unique || index.columns.empty()) continue;
    bool all_required = true;
    for (const auto& ic : index.columns) {
      const OdbcColumn* c = Column(ic.name);
      all_required = all_required && c != nullptr && (c->required || c->auto_increment);
    }
    if (!all_required) continue;
    std::vector<std::string> out;
    for (const auto& c : index.columns) out.push_back(c.name);
    return out;
  }
  return {};
}

void Catalog::Refresh() {
  loaded_ = false;
  tables_.clear();
}

const std::vector<std::shared_ptr<OdbcTable>>& Catalog::Tables() {
  if (loaded_) return tables_;
  tables_.clear();
  Statement st(connection_);
  st.Tables();
  // SQLTables: TABLE_CAT, TABLE_SCHEM, TABLE_NAME, TABLE_TYPE, REMARKS
  while (st.Fetch()) {
    auto t = std::make_shared<OdbcTable>();
    t->schema = TextAt(st, 1);
    t->name = TextAt(st, 2);
    t->view = framework::SameText(TextAt(st, 3), "VIEW");
    tables_.push_back(std::move(t));
  }
  loaded_ = true;
  return tables_;
}

std::shared_ptr<OdbcTable> Catalog::Find(const std::string& wanted) {
  std::string name = wanted;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  std::shared_ptr<OdbcTable> found;
  for (const auto& t : Tables())
    if (t->name == name) {
      found = t;
      break;
    }
  if (!found)
    for (const auto& t : Tables())
      if (SameName(t->name, name)) {
        found = t;
        break;
      }
  if (found && !found->details_loaded) LoadDetails(*found);
  return found;
}

std::string Catalog::SqlName(const OdbcTable& table) const {
  return table.schema.empty() ? connection_.Quote(table.name)
                              : connection_.Quote(table.schema) + "." + connection_.Quote(table.name);
}

void Catalog::LoadDetails(OdbcTable& table) {
  Statement st(connection_);
  table.columns.clear();
  table.indexes.clear();
  // SQLColumns: 3 COLUMN_NAME, 4 DATA_TYPE, 5 TYPE_NAME, 6 COLUMN_SIZE, 8 DECIMAL_DIGITS,
  // 10 NULLABLE, 12 COLUMN_DEF, 16 ORDINAL_POSITION (all from 0)
  st.Columns(table.schema, table.name);
  while (st.Fetch()) {
    OdbcColumn c;
    c.name = TextAt(st, 3);
    c.sql_type = static_cast<SQLSMALLINT>(IntAt(st, 4, SQL_VARCHAR));
    const std::string type_name = TextAt(st, 5);
    const int64_t size = IntAt(st, 6, 0);
    const auto digits = static_cast<SQLSMALLINT>(IntAt(st, 8, 0));
    c.required = IntAt(st, 10, SQL_NULLABLE) == SQL_NO_NULLS;
    c.server_default = TextAt(st, 12);
    c.ordinal = static_cast<int>(IntAt(st, 16, static_cast<int64_t>(table.columns.size()) + 1));
    c.dao_type = DaoTypeOf(c.sql_type, static_cast<SQLULEN>(std::max<int64_t>(size, 0)), digits);
    // Drivers that hand booleans out as text still name their type.
    if (framework::SameText(type_name, "bool") || framework::SameText(type_name, "boolean")) c.dao_type = dbBoolean;
    if (c.dao_type == dbText || c.dao_type == dbBinary) c.size = static_cast<int32_t>(size);
    c.auto_increment = Mentions(type_name, "serial") || Mentions(type_name, "identity") ||
                       Mentions(type_name, "autoincrement") || Mentions(type_name, "counter") ||
                       framework::LowerCase(c.server_default).rfind("nextval(", 0) == 0;
    c.default_value = c.auto_increment ? "" : JetDefault(c.server_default);
    table.columns.push_back(std::move(c));
  }
  std::stable_sort(table.columns.begin(), table.columns.end(),
                   [](const OdbcColumn& a, const OdbcColumn& b) { return a.ordinal < b.ordinal; });

  // The driver says which columns number themselves when it is asked about a result.
  if (!table.columns.empty()) {
    try {
      // Run, not only prepared: some drivers leak what they learn by describing an unrun statement.
      Statement probe(connection_);
      probe.Run("SELECT * FROM " + SqlName(table) + " WHERE 1 = 0");
      const int n = probe.ColumnCount();
      for (int k = 0; k < n; ++k) {
        const ColumnDesc d = probe.Describe(k);
        for (auto& c : table.columns)
          if (c.name == d.name && d.auto_increment) {
            c.auto_increment = true;
            c.default_value.clear();
          }
      }
    } catch (const dao::EOleException&) {
      // A driver that cannot describe without running is left with what SQLColumns said.
    }
  }

  // SQLPrimaryKeys: 3 COLUMN_NAME, 4 KEY_SEQ, 5 PK_NAME
  std::map<int64_t, std::string> key;
  std::string key_name;
  st.PrimaryKeys(table.schema, table.name);
  while (st.Fetch()) {
    const std::string column = TextAt(st, 3);
    key[IntAt(st, 4, static_cast<int64_t>(key.size()) + 1)] = column;
    key_name = TextAt(st, 5);
  }
  if (!key.empty()) {
    OdbcIndex primary;
    primary.name = key_name.empty() ? "PrimaryKey" : key_name;
    primary.primary = primary.unique = true;
    for (const auto& [seq, column] : key) primary.columns.push_back({column, false});
    table.indexes.push_back(std::move(primary));
  }
  // SQLStatistics: 3 NON_UNIQUE, 5 INDEX_NAME, 6 TYPE, 7 ORDINAL_POSITION, 8 COLUMN_NAME,
  // 9 ASC_OR_DESC
  st.Statistics(table.schema, table.name);
  std::vector<std::pair<int64_t, std::pair<std::string, OdbcIndexColumn>>> rows;
  std::vector<std::pair<std::string, bool>> order;  // index names in order of appearance
  while (st.Fetch()) {
    if (IntAt(st, 6, SQL_TABLE_STAT) == SQL_TABLE_STAT) continue;
    const std::string name = TextAt(st, 5);
    const bool unique = IntAt(st, 3, SQL_TRUE) == SQL_FALSE;
    OdbcIndexColumn ic{TextAt(st, 8), framework::SameText(TextAt(st, 9), "D")};
    if (std::none_of(order.begin(), order.end(), [&](const auto& o) { return o.first == name; }))
      order.emplace_back(name, unique);
    rows.push_back({IntAt(st, 7, 0), {name, ic}});
  }
  for (const auto& [name, unique] : order) {
    if (!table.indexes.empty() && table.indexes.front().primary && table.indexes.front().name == name) continue;
    OdbcIndex index;
    index.name = name;
    index.unique = unique;
    std::vector<std::pair<int64_t, OdbcIndexColumn>> cols;
    for (const auto& r : rows)
      if (r.second.first == name) cols.emplace_back(r.first, r.second.second);
    std::stable_sort(cols.begin(), cols.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& c : cols) index.columns.push_back(c.second);
    // The primary key's own index has the same columns; it is listed once.
    if (!table.indexes.empty() && table.indexes.front().primary && index.unique &&
        index.columns.size() == table.indexes.front().columns.size()) {
      bool same = true;
      for (size_t k = 0; k < index.columns.size(); ++k)
        same = same && index.columns[k].name == table.indexes.front().columns[k].name;
      if (same) continue;
    }
    table.indexes.push_back(std::move(index));
  }
  table.details_loaded = true;
}

}  // namespace engine::odbc
