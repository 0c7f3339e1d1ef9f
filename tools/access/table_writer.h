// Writing one table of an Access file into an engine database through the DAO interfaces: its
// definition (CreateTableDef, CreateField), its records and then its indexes (CreateIndex).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_interfaces.h"
#include "tools/access/access_schema.h"

namespace access_file {

using framework::Variant;

// Something of the source that was not carried over, with the reason ("Table1.Photo: ...").
using NotCarried = std::function<void(const std::string& item)>;

class TableWriter {
 public:
  // Appends the definition of `table` to `db`: every column with a DAO type, with its size,
  // AutoNumber, Required, AllowZeroLength and DefaultValue. Columns and defaults that cannot be
  // carried over are reported through `not_carried`.
  TableWriter(std::shared_ptr<dao::Database> db, const AccessTable& table, const NotCarried& not_carried);
  ~TableWriter();

  // Adds one record; `values` in the order of the table's columns, as AccessReader gives them.
  // The values of an AutoNumber column are kept (and the next number follows the largest).
  void Add(const std::vector<Variant>& values);
  // Ends the records (reporting decimals that lost digits) and creates the table's indexes.
  // Answers the number of indexes created.
  int Finish();

  uint64_t records() const { return records_; }

 private:
  class Rows;
  class RecordsetRows;
  class InsertRows;

  std::shared_ptr<dao::Database> db_;
  AccessTable table_;
  NotCarried not_carried_;
  std::vector<int> kept_;  // positions of the columns carried over
  std::vector<uint64_t> inexact_decimals_;  // per column
  std::unique_ptr<Rows> rows_;
  uint64_t records_ = 0;
};

}  // namespace access_file
