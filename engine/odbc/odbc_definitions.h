// The definitions an ODBC data source shows through DAO: a field's description (shared by the
// table definitions and the recordsets), and the table definitions with their fields and
// indexes as the catalog reads them. Tables are made and changed with the server's own SQL
// (dbSQLPassThrough); indexes can be created and dropped through the Indexes collection.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_interfaces.h"
#include "engine/odbc/odbc_catalog.h"

namespace engine::odbc {

struct OdbcCore;

// What DAO tells about a field.
struct FieldInfo {
  std::string name;
  int type = 10;
  SQLSMALLINT sql_type = SQL_WVARCHAR;
  int32_t size = 0;
  int32_t attributes = 0;
  bool required = false;
  std::string default_value;
  std::string table;   // base table, empty for expressions
  std::string column;  // base column
  bool updatable = false;
};

// The description of a catalog column (`updatable`: the field may be written through the set).
FieldInfo FieldInfoOf(const OdbcTable& table, const OdbcColumn& column, bool updatable);

// A field object: a definition only, or bound to a recordset's current record through the
// value functions.
class OdbcField : public dao::Field {
 public:
  struct ValueAccess {
    std::function<dao::Variant()> get;
    std::function<void(const dao::Variant&)> set;
  };
  OdbcField(FieldInfo info, int ordinal, ValueAccess access = {})
      : info_(std::move(info)), ordinal_(ordinal), access_(std::move(access)) {}

  std::string Name() override { return info_.name; }
  void SetName(const std::string& name) override;
  int Type() override { return info_.type; }
  void SetType(int type) override;
  int32_t Size() override { return info_.size; }
  void SetSize(int32_t size) override;
  int32_t Attributes() override { return info_.attributes; }
  void SetAttributes(int32_t attributes) override;
  bool Required() override { return info_.required; }
  void SetRequired(bool) override { ReadOnly("Required"); }
  bool AllowZeroLength() override { return true; }
  void SetAllowZeroLength(bool) override { ReadOnly("AllowZeroLength"); }
  std::string DefaultValue() override { return info_.default_value; }
  void SetDefaultValue(const std::string&) override { ReadOnly("DefaultValue"); }
  std::string ValidationRule() override { return ""; }
  void SetValidationRule(const std::string&) override { ReadOnly("ValidationRule"); }
  std::string ValidationText() override { return ""; }
  void SetValidationText(const std::string&) override { ReadOnly("ValidationText"); }
  int OrdinalPosition() override { return ordinal_; }
  void SetOrdinalPosition(int) override { ReadOnly("OrdinalPosition"); }
  std::string SourceTable() override { return info_.table; }
  std::string SourceField() override { return info_.column; }
  dao::Variant Value() override;
  void SetValue(const dao::Variant& value) override;
  int32_t FieldSize() override;
  dao::Variant GetChunk(int32_t offset, int32_t bytes) override;
  void AppendChunk(const dao::Variant& data) override;
  std::shared_ptr<dao::Properties> Properties() override;
  std::shared_ptr<dao::Property> CreateProperty(const dao::Variant&, const dao::Variant&,
                                                const dao::Variant&) override;

  const FieldInfo& info() const { return info_; }
  bool free_standing() const { return free_; }
  void MakeFreeStanding() { free_ = true; }

 private:
  [[noreturn]] void ReadOnly(const char* what);

  FieldInfo info_;
  int ordinal_;
  ValueAccess access_;
  bool free_ = false;  // made by CreateField for an index: its name may be set
};

// The table definitions of a data source.
std::shared_ptr<dao::TableDefs> MakeTableDefs(const std::shared_ptr<OdbcCore>& core);
// The definition of one table, or 3265 when the source has no such table.
std::shared_ptr<dao::TableDef> MakeTableDef(const std::shared_ptr<OdbcCore>& core, const std::string& name);

}  // namespace engine::odbc
