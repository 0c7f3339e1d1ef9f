#include "tools/access/table_writer.h"

#include <cstdlib>

#include "dao/dao_constants.h"
#include "tools/access/access_values.h"

namespace access_file {

namespace {

std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

bool IsText(int type) { return type == kText || type == kMemo; }

}  // namespace

// Where the records go.
class TableWriter::Rows {
 public:
  virtual ~Rows() = default;
  // `values` holds the kept columns only.
  virtual void Add(const std::vector<Variant>& values) = 0;
};

// A table without AutoNumber: AddNew and Update on a recordset, which converts every value
// exactly.
class TableWriter::RecordsetRows : public Rows {
 public:
  RecordsetRows(dao::Database& db, const std::string& table, size_t columns) {
    rs_ = db.OpenRecordset(table, Variant(dao::dbOpenDynaset));
    auto fields = rs_->Fields();
    for (size_t k = 0; k < columns; ++k) fields_.push_back(fields->Item(static_cast<int>(k)));
  }
  ~RecordsetRows() override { rs_->Close(); }
  void Add(const std::vector<Variant>& values) override {
    rs_->AddNew();
    for (size_t k = 0; k < values.size(); ++k) fields_[k]->SetValue(values[k]);
    rs_->Update();
  }

 private:
  std::shared_ptr<dao::Recordset> rs_;
  std::vector<std::shared_ptr<dao::Field>> fields_;
};

// A table with an AutoNumber: an AutoNumber is not assigned through a recordset, so every
// record is appended with INSERT INTO ... VALUES, as an append query keeps AutoNumbers. The
// engine carries an SQL value through a double, which holds a currency amount exactly only below
// 2^50 ten-thousandths; a larger one is written afterwards through a recordset.
class TableWriter::InsertRows : public Rows {
 public:
  InsertRows(std::shared_ptr<dao::Database> db, const std::string& table, const std::vector<AccessColumn>& columns)
      : db_(std::move(db)), table_(table), columns_(columns) {
    std::string names, values;
    for (size_t k = 0; k < columns.size(); ++k) {
      names += (k ? ", " : "") + Bracketed(columns[k].name);
      values += (k ? ", " : "") + Bracketed(ParameterName(k));
      if (columns[k].auto_number) counter_ = static_cast<int>(k);
    }
    query_ = db_->CreateQueryDef(Variant(), Variant("INSERT INTO " + Bracketed(table) + " (" + names + ") VALUES (" + values + ")"));
    auto parameters = query_->Parameters();
    for (size_t k = 0; k < columns.size(); ++k) parameters_.push_back(parameters->Item(ParameterName(k)));
  }
  void Add(const std::vector<Variant>& values) override {
    std::vector<size_t> rewrite;
    for (size_t k = 0; k < values.size(); ++k) {
      if (columns_[k].type == kCurrency && !values[k].IsClear() && !ExactThroughDouble(values[k].ToCurrencyScaled())) {
        // Nothing but Required holds a value of the record while its table is filled (the indexes
        // come afterwards), so a placeholder stands in until the exact amount is written.
        parameters_[k]->SetValue(Variant::CurrencyScaled(0));
        rewrite.push_back(k);
      } else {
        parameters_[k]->SetValue(values[k]);
      }
    }
    query_->Execute(Variant(dao::dbFailOnError));
    for (size_t k : rewrite) Rewrite(values[counter_], k, values[k]);
  }

 private:
  static std::string ParameterName(size_t k) { return "value " + std::to_string(k + 1); }
  static bool ExactThroughDouble(int64_t scaled) {
    constexpr int64_t kLimit = int64_t{1} << 50;
    return scaled > -kLimit && scaled < kLimit;
  }
  void Rewrite(const Variant& id, size_t column, const Variant& value) {
    auto rs = db_->OpenRecordset("SELECT " + Bracketed(columns_[column].name) + " FROM " + Bracketed(table_) +
                                     " WHERE " + Bracketed(columns_[counter_].name) + " = " + std::to_string(id.ToInt32()),
                                 Variant(dao::dbOpenDynaset));
    rs->Edit();
    rs->Fields()->Item(0)->SetValue(value);
    rs->Update();
    rs->Close();
  }

  std::shared_ptr<dao::Database> db_;
  std::string table_;
  std::vector<AccessColumn> columns_;
  int counter_ = -1;
  std::shared_ptr<dao::QueryDef> query_;
  std::vector<std::shared_ptr<dao::Parameter>> parameters_;
};

TableWriter::TableWriter(std::shared_ptr<dao::Database> db, const AccessTable& table, const NotCarried& not_carried)
    : db_(std::move(db)), table_(table), not_carried_(not_carried) {
  auto def = db_->CreateTableDef(Variant(table.name));
  bool counter = false;
  std::vector<AccessColumn> kept_columns;
  for (size_t k = 0; k < table.columns.size(); ++k) {
    const AccessColumn& c = table.columns[k];
    const std::string item = table.name + "." + c.name;
    const int type = DaoTypeOf(c.type);
    if (type == 0) {
      not_carried_(item + ": " + AccessTypeName(c.type) + " field; the engine has no such field type, its values are left out");
      continue;
    }
    const bool sized = c.type == kText || c.type == kBinary;
    auto f = def->CreateField(Variant(c.name), Variant(type), sized ? Variant(static_cast<int>(c.size)) : Variant());
    if (c.auto_number) {
      f->SetAttributes(dao::dbAutoIncrField);
      counter = true;
    }
    f->SetRequired(c.required);
    if (IsText(c.type)) f->SetAllowZeroLength(c.allow_zero_length);
    if (!c.default_value.empty() && !c.auto_number) {
      try {
        f->SetDefaultValue(c.default_value);
      } catch (const dao::EOleException& e) {
        not_carried_(item + ": default value " + c.default_value + "; the engine refuses it (" + e.Message() + ")");
      }
    }
    def->Fields()->Append(f);
    kept_.push_back(static_cast<int>(k));
    kept_columns.push_back(c);
  }
  if (kept_.empty()) throw framework::Exception("the table " + table.name + " has no field the engine can hold");
  db_->TableDefs()->Append(def);
  inexact_decimals_.assign(table.columns.size(), 0);
  if (counter) rows_ = std::make_unique<InsertRows>(db_, table.name, kept_columns);
  else rows_ = std::make_unique<RecordsetRows>(*db_, table.name, kept_columns.size());
}

TableWriter::~TableWriter() = default;

void TableWriter::Add(const std::vector<Variant>& values) {
  std::vector<Variant> row;
  row.reserve(kept_.size());
  for (int k : kept_) {
    const Variant& v = values[k];
    if (table_.columns[k].type == kNumeric && !v.IsClear()) {
      // The engine keeps decimals as doubles.
      const std::string text = v.ToString();
      if (!DoubleHoldsDecimal(text)) ++inexact_decimals_[k];
      row.emplace_back(std::strtod(text.c_str(), nullptr));
    } else {
      row.push_back(v);
    }
  }
  rows_->Add(row);
  ++records_;
}

int TableWriter::Finish() {
  rows_.reset();
  for (size_t k = 0; k < inexact_decimals_.size(); ++k)
    if (inexact_decimals_[k] > 0)
      not_carried_(table_.name + "." + table_.columns[k].name + ": " + std::to_string(inexact_decimals_[k]) +
                   " decimal value(s) with more digits than the engine's decimal fields hold (a double); the nearest double was written");
  auto def = db_->TableDefs()->Item(table_.name);
  int created = 0;
  for (const AccessIndex& i : table_.indexes) {
    std::string missing;
    for (const auto& c : i.columns) {
      bool kept = false;
      for (int k : kept_) kept = kept || table_.columns[k].name == c.column;
      if (!kept) missing = c.column;
    }
    if (!missing.empty()) {
      not_carried_(table_.name + ": index " + i.name + "; its field " + missing + " is not carried over");
      continue;
    }
    auto index = def->CreateIndex(Variant(i.name));
    index->SetPrimary(i.primary);
    index->SetUnique(i.unique);
    index->SetRequired(i.required);
    index->SetIgnoreNulls(i.ignore_nulls);
    for (const auto& c : i.columns) {
      auto f = index->CreateField(Variant(c.column));
      if (c.descending) f->SetAttributes(dao::dbDescending);
      index->Fields()->Append(f);
    }
    def->Indexes()->Append(index);
    ++created;
  }
  return created;
}

}  // namespace access_file
