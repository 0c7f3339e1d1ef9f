#include "tools/access/access_queries.h"

#include <algorithm>
#include <set>

#include "framework/strings.h"

namespace access_file {

namespace {

// The parts of a stored query (QueryRow::attribute).
enum Part {
  kType = 1,
  kParameter = 2,
  kOptions = 3,
  kInput = 5,
  kOutput = 6,
  kJoin = 7,
  kWhere = 8,
  kGroupBy = 9,
  kHaving = 10,
  kOrderBy = 11,
};

// kOptions flags.
constexpr int kAllFields = 0x01;
constexpr int kDistinct = 0x02;
constexpr int kDistinctRow = 0x08;
constexpr int kTop = 0x10;
constexpr int kPercent = 0x20;

// kJoin flags.
constexpr int kInnerJoin = 1;
constexpr int kLeftJoin = 2;
constexpr int kRightJoin = 3;

const char* KindName(int type) {
  switch (type) {
    case 1: return "select query";
    case 2: return "make-table query";
    case 3: return "append query";
    case 4: return "update query";
    case 5: return "delete query";
    case 6: return "crosstab query";
    case 7: return "data-definition query";
    case 8: return "pass-through query";
    case 9: return "union query";
    default: return "query of an unknown kind";
  }
}

std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

const char* ParameterType(int dao_type) {
  switch (dao_type) {
    case 1: return "Bit";
    case 2: return "Byte";
    case 3: return "Short";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "IEEESingle";
    case 7: return "IEEEDouble";
    case 8: return "DateTime";
    case 9: return "Binary";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "Guid";
    case 20: return "Decimal";
    default: return "Text";
  }
}

struct Input {
  std::string name, alias;
  std::string Key() const { return alias.empty() ? name : alias; }
  std::string Reference() const { return Bracketed(name) + (alias.empty() ? "" : " AS " + Bracketed(alias)); }
};

struct JoinEdge {
  std::string left, right;
  int kind = kInnerJoin;
  std::vector<std::string> conditions;
};

const char* JoinWord(int kind) { return kind == kLeftJoin ? "LEFT JOIN" : kind == kRightJoin ? "RIGHT JOIN" : "INNER JOIN"; }

std::string Condition(const JoinEdge& e) {
  if (e.conditions.size() == 1) return e.conditions[0];
  std::string out;
  for (const auto& c : e.conditions) out += (out.empty() ? "(" : " AND (") + c + ")";
  return out;
}

// The FROM clause: every joined group of inputs as one nested join, the others after commas.
// Answers false when the joins form a cycle, which one nested join cannot express.
bool FromClause(const std::vector<Input>& inputs, std::vector<JoinEdge> edges, std::string& from) {
  auto input = [&](const std::string& key) -> const Input* {
    for (const auto& i : inputs)
      if (framework::SameText(i.Key(), key)) return &i;
    return nullptr;
  };
  std::vector<std::pair<std::set<std::string>, std::string>> groups;  // members (upper case), SQL
  while (!edges.empty()) {
    const Input* l = input(edges[0].left);
    const Input* r = input(edges[0].right);
    if (l == nullptr || r == nullptr) return false;
    std::set<std::string> members{framework::UpperCase(l->Key()), framework::UpperCase(r->Key())};
    std::string sql = l->Reference() + " " + JoinWord(edges[0].kind) + " " + r->Reference() + " ON " + Condition(edges[0]);
    edges.erase(edges.begin());
    for (bool grew = true; grew;) {
      grew = false;
      for (auto e = edges.begin(); e != edges.end(); ++e) {
        const bool has_left = members.count(framework::UpperCase(e->left)) != 0;
        const bool has_right = members.count(framework::UpperCase(e->right)) != 0;
        if (has_left && has_right) return false;
        if (!has_left && !has_right) continue;
        const Input* added = input(has_left ? e->right : e->left);
        if (added == nullptr) return false;
        // Joined from the other side, a left join is a right join and the other way round.
        int kind = e->kind;
        if (!has_left && kind != kInnerJoin) kind = kind == kLeftJoin ? kRightJoin : kLeftJoin;
        sql = "(" + sql + ") " + JoinWord(kind) + " " + added->Reference() + " ON " + Condition(*e);
        members.insert(framework::UpperCase(added->Key()));
        edges.erase(e);
        grew = true;
        break;
      }
    }
    groups.emplace_back(std::move(members), std::move(sql));
  }
  std::vector<bool> written(groups.size(), false);
  for (const auto& i : inputs) {
    std::string item;
    bool in_group = false;
    for (size_t g = 0; g < groups.size(); ++g) {
      if (groups[g].first.count(framework::UpperCase(i.Key())) == 0) continue;
      in_group = true;
      if (!written[g]) item = groups[g].second;
      written[g] = true;
    }
    if (!in_group) item = i.Reference();
    if (!item.empty()) from += (from.empty() ? "" : ", ") + item;
  }
  return true;
}

std::string List(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& i : items) out += (out.empty() ? "" : ", ") + i;
  return out;
}

}  // namespace

QuerySql QueryToSql(const std::vector<QueryRow>& rows) {
  int type = 0;
  for (const auto& r : rows)
    if (r.attribute == kType) type = r.flag;
  QuerySql out;
  out.kind = KindName(type);
  if (type != 1) return out;
  out.select = true;

  std::vector<std::string> parameters, outputs, where, group_by, having, order_by;
  std::vector<Input> inputs;
  std::vector<JoinEdge> edges;
  int options = 0;
  std::string top;
  for (const auto& r : rows) {
    switch (r.attribute) {
      case kParameter:
        parameters.push_back(Bracketed(r.name1) + " " + ParameterType(r.flag));
        break;
      case kOptions:
        options = r.flag;
        top = r.name1;
        break;
      case kInput: inputs.push_back({r.name1, r.name2}); break;
      case kOutput: outputs.push_back(r.expression + (r.name1.empty() ? "" : " AS " + Bracketed(r.name1))); break;
      case kJoin: {
        auto same = std::find_if(edges.begin(), edges.end(), [&](const JoinEdge& e) {
          return framework::SameText(e.left, r.name1) && framework::SameText(e.right, r.name2) && e.kind == r.flag;
        });
        if (same != edges.end()) same->conditions.push_back(r.expression);
        else edges.push_back({r.name1, r.name2, r.flag, {r.expression}});
        break;
      }
      case kWhere: where.push_back(r.expression); break;
      case kGroupBy: group_by.push_back(r.expression); break;
      case kHaving: having.push_back(r.expression); break;
      case kOrderBy: order_by.push_back(r.expression + (framework::SameText(r.name1, "D") ? " DESC" : "")); break;
      default: break;
    }
  }
  std::string from;
  if (!FromClause(inputs, edges, from)) return out;

  std::string sql;
  if (!parameters.empty()) sql += "PARAMETERS " + List(parameters) + ";\n";
  sql += "SELECT ";
  if (options & kDistinct) sql += "DISTINCT ";
  else if (options & kDistinctRow) sql += "DISTINCTROW ";
  if ((options & kTop) && !top.empty()) sql += "TOP " + top + ((options & kPercent) ? " PERCENT " : " ");
  if (options & kAllFields) outputs.insert(outputs.begin(), "*");
  sql += List(outputs);
  if (!from.empty()) sql += "\nFROM " + from;
  auto joined = [](const std::vector<std::string>& parts, const char* glue) {
    std::string s;
    for (const auto& p : parts) s += (s.empty() ? "" : glue) + p;
    return s;
  };
  if (!where.empty()) sql += "\nWHERE " + joined(where, " AND ");
  if (!group_by.empty()) sql += "\nGROUP BY " + List(group_by);
  if (!having.empty()) sql += "\nHAVING " + joined(having, " AND ");
  if (!order_by.empty()) sql += "\nORDER BY " + List(order_by);
  out.sql = sql + ";";
  return out;
}

}  // namespace access_file
