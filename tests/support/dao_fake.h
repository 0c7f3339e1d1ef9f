// GoogleMock versions of every DAO interface, for component tests that script the engine:
// results the real engine cannot produce, errors at a chosen call, calls checked in order.
// NamedCollection serves collections whose items a test supplies.
#pragma once

#include <gmock/gmock.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"
#include "framework/strings.h"

namespace daofake {

using dao::Variant;

class MockProperty : public dao::Property {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string& name), (override));
  MOCK_METHOD(Variant, Value, (), (override));
  MOCK_METHOD(void, SetValue, (const Variant& value), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, SetType, (int type), (override));
  MOCK_METHOD(bool, Inherited, (), (override));
};

class MockError : public dao::Error {
 public:
  MOCK_METHOD(int32_t, Number, (), (override));
  MOCK_METHOD(std::string, Source, (), (override));
  MOCK_METHOD(std::string, Description, (), (override));
  MOCK_METHOD(std::string, HelpFile, (), (override));
  MOCK_METHOD(int32_t, HelpContext, (), (override));
};

class MockField : public dao::Field {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string& name), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, SetType, (int type), (override));
  MOCK_METHOD(int32_t, Size, (), (override));
  MOCK_METHOD(void, SetSize, (int32_t size), (override));
  MOCK_METHOD(int32_t, Attributes, (), (override));
  MOCK_METHOD(void, SetAttributes, (int32_t attributes), (override));
  MOCK_METHOD(bool, Required, (), (override));
  MOCK_METHOD(void, SetRequired, (bool required), (override));
  MOCK_METHOD(bool, AllowZeroLength, (), (override));
  MOCK_METHOD(void, SetAllowZeroLength, (bool allow), (override));
  MOCK_METHOD(std::string, DefaultValue, (), (override));
  MOCK_METHOD(void, SetDefaultValue, (const std::string& expression), (override));
  MOCK_METHOD(std::string, ValidationRule, (), (override));
  MOCK_METHOD(void, SetValidationRule, (const std::string& rule), (override));
  MOCK_METHOD(std::string, ValidationText, (), (override));
  MOCK_METHOD(void, SetValidationText, (const std::string& text), (override));
  MOCK_METHOD(int, OrdinalPosition, (), (override));
  MOCK_METHOD(void, SetOrdinalPosition, (int position), (override));
  MOCK_METHOD(std::string, SourceTable, (), (override));
  MOCK_METHOD(std::string, SourceField, (), (override));
  MOCK_METHOD(Variant, Value, (), (override));
  MOCK_METHOD(void, SetValue, (const Variant& value), (override));
  MOCK_METHOD(int32_t, FieldSize, (), (override));
  MOCK_METHOD(Variant, GetChunk, (int32_t offset, int32_t bytes), (override));
  MOCK_METHOD(void, AppendChunk, (const Variant& data), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant& name, const Variant& type, const Variant& value), (override));
};

class MockIndex : public dao::Index {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string& name), (override));
  MOCK_METHOD(bool, Primary, (), (override));
  MOCK_METHOD(void, SetPrimary, (bool primary), (override));
  MOCK_METHOD(bool, Unique, (), (override));
  MOCK_METHOD(void, SetUnique, (bool unique), (override));
  MOCK_METHOD(bool, Required, (), (override));
  MOCK_METHOD(void, SetRequired, (bool required), (override));
  MOCK_METHOD(bool, IgnoreNulls, (), (override));
  MOCK_METHOD(void, SetIgnoreNulls, (bool ignore), (override));
  MOCK_METHOD(bool, Foreign, (), (override));
  MOCK_METHOD(bool, Clustered, (), (override));
  MOCK_METHOD(int32_t, DistinctCount, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Field>, CreateField, (const Variant& name, const Variant& type, const Variant& size), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant& name, const Variant& type, const Variant& value), (override));
};

class MockTableDef : public dao::TableDef {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string& name), (override));
  MOCK_METHOD(int32_t, Attributes, (), (override));
  MOCK_METHOD(void, SetAttributes, (int32_t attributes), (override));
  MOCK_METHOD(Variant, DateCreated, (), (override));
  MOCK_METHOD(Variant, LastUpdated, (), (override));
  MOCK_METHOD(std::string, Connect, (), (override));
  MOCK_METHOD(void, SetConnect, (const std::string& connect), (override));
  MOCK_METHOD(std::string, SourceTableName, (), (override));
  MOCK_METHOD(void, SetSourceTableName, (const std::string& name), (override));
  MOCK_METHOD(std::string, ValidationRule, (), (override));
  MOCK_METHOD(void, SetValidationRule, (const std::string& rule), (override));
  MOCK_METHOD(std::string, ValidationText, (), (override));
  MOCK_METHOD(void, SetValidationText, (const std::string& text), (override));
  MOCK_METHOD(int32_t, RecordCount, (), (override));
  MOCK_METHOD(bool, Updatable, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Indexes>, Indexes, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Field>, CreateField, (const Variant& name, const Variant& type, const Variant& size), (override));
  MOCK_METHOD(std::shared_ptr<dao::Index>, CreateIndex, (const Variant& name), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant& name, const Variant& type, const Variant& value), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const Variant& type, const Variant& options), (override));
  MOCK_METHOD(void, RefreshLink, (), (override));
};

class MockParameter : public dao::Parameter {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, SetType, (int type), (override));
  MOCK_METHOD(Variant, Value, (), (override));
  MOCK_METHOD(void, SetValue, (const Variant& value), (override));
  MOCK_METHOD(int, Direction, (), (override));
  MOCK_METHOD(void, SetDirection, (int direction), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
};

class MockQueryDef : public dao::QueryDef {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string& name), (override));
  MOCK_METHOD(std::string, SQL, (), (override));
  MOCK_METHOD(void, SetSQL, (const std::string& sql), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(std::string, Connect, (), (override));
  MOCK_METHOD(void, SetConnect, (const std::string& connect), (override));
  MOCK_METHOD(bool, ReturnsRecords, (), (override));
  MOCK_METHOD(void, SetReturnsRecords, (bool returns), (override));
  MOCK_METHOD(int32_t, MaxRecords, (), (override));
  MOCK_METHOD(void, SetMaxRecords, (int32_t max_records), (override));
  MOCK_METHOD(int32_t, ODBCTimeout, (), (override));
  MOCK_METHOD(void, SetODBCTimeout, (int32_t seconds), (override));
  MOCK_METHOD(int32_t, RecordsAffected, (), (override));
  MOCK_METHOD(bool, Updatable, (), (override));
  MOCK_METHOD(Variant, DateCreated, (), (override));
  MOCK_METHOD(Variant, LastUpdated, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Parameters>, Parameters, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant& name, const Variant& type, const Variant& value), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const Variant& type, const Variant& options, const Variant& lock_edits), (override));
  MOCK_METHOD(void, Execute, (const Variant& options), (override));
  MOCK_METHOD(void, Close, (), (override));
};

class MockRecordset : public dao::Recordset {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, MoveFirst, (), (override));
  MOCK_METHOD(void, MoveLast, (const Variant& options), (override));
  MOCK_METHOD(void, MoveNext, (), (override));
  MOCK_METHOD(void, MovePrevious, (), (override));
  MOCK_METHOD(void, Move, (int32_t rows, const Variant& start), (override));
  MOCK_METHOD(bool, Bof, (), (override));
  MOCK_METHOD(bool, Eof, (), (override));
  MOCK_METHOD(int32_t, RecordCount, (), (override));
  MOCK_METHOD(int32_t, AbsolutePosition, (), (override));
  MOCK_METHOD(void, SetAbsolutePosition, (int32_t position), (override));
  MOCK_METHOD(float, PercentPosition, (), (override));
  MOCK_METHOD(void, SetPercentPosition, (float percent), (override));
  MOCK_METHOD(Variant, Bookmark, (), (override));
  MOCK_METHOD(void, SetBookmark, (const Variant& bookmark), (override));
  MOCK_METHOD(bool, Bookmarkable, (), (override));
  MOCK_METHOD(Variant, LastModified, (), (override));
  MOCK_METHOD(int, EditMode, (), (override));
  MOCK_METHOD(bool, LockEdits, (), (override));
  MOCK_METHOD(void, SetLockEdits, (bool lock), (override));
  MOCK_METHOD(bool, Updatable, (), (override));
  MOCK_METHOD(bool, Transactions, (), (override));
  MOCK_METHOD(bool, Restartable, (), (override));
  MOCK_METHOD(int32_t, RecordsAffected, (), (override));
  MOCK_METHOD(bool, NoMatch, (), (override));
  MOCK_METHOD(Variant, DateCreated, (), (override));
  MOCK_METHOD(Variant, LastUpdated, (), (override));
  MOCK_METHOD(int32_t, CacheSize, (), (override));
  MOCK_METHOD(void, SetCacheSize, (int32_t size), (override));
  MOCK_METHOD(std::string, Index, (), (override));
  MOCK_METHOD(void, SetIndex, (const std::string& index), (override));
  MOCK_METHOD(std::string, Filter, (), (override));
  MOCK_METHOD(void, SetFilter, (const std::string& criteria), (override));
  MOCK_METHOD(std::string, Sort, (), (override));
  MOCK_METHOD(void, SetSort, (const std::string& order), (override));
  MOCK_METHOD(std::string, ValidationRule, (), (override));
  MOCK_METHOD(std::string, ValidationText, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, Clone, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const Variant& type, const Variant& options), (override));
  MOCK_METHOD(void, FindFirst, (const std::string& criteria), (override));
  MOCK_METHOD(void, FindLast, (const std::string& criteria), (override));
  MOCK_METHOD(void, FindNext, (const std::string& criteria), (override));
  MOCK_METHOD(void, FindPrevious, (const std::string& criteria), (override));
  MOCK_METHOD(void, Seek, (const std::string& comparison, const std::vector<Variant>& keys), (override));
  MOCK_METHOD(void, AddNew, (), (override));
  MOCK_METHOD(void, Edit, (), (override));
  MOCK_METHOD(void, Update, (const Variant& type, const Variant& force), (override));
  MOCK_METHOD(void, CancelUpdate, (const Variant& type), (override));
  MOCK_METHOD(void, Delete, (), (override));
  MOCK_METHOD(void, Requery, (const Variant& new_querydef), (override));
  MOCK_METHOD(Variant, GetRows, (const Variant& rows), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(void, Close, (), (override));
};

class MockContainer : public dao::Container {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(std::string, Owner, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
};

class MockRelation : public dao::Relation {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(std::string, Table, (), (override));
  MOCK_METHOD(std::string, ForeignTable, (), (override));
  MOCK_METHOD(int32_t, Attributes, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
};

class MockUser : public dao::User {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
};

class MockGroup : public dao::Group {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
};

class MockDatabase : public dao::Database {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(std::string, Connect, (), (override));
  MOCK_METHOD(void, Close, (), (override));
  MOCK_METHOD(int32_t, QueryTimeout, (), (override));
  MOCK_METHOD(void, SetQueryTimeout, (int32_t seconds), (override));
  MOCK_METHOD(std::string, Version, (), (override));
  MOCK_METHOD(int32_t, CollatingOrder, (), (override));
  MOCK_METHOD(bool, Updatable, (), (override));
  MOCK_METHOD(bool, Transactions, (), (override));
  MOCK_METHOD(int32_t, RecordsAffected, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::TableDefs>, TableDefs, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::QueryDefs>, QueryDefs, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Containers>, Containers, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Relations>, Relations, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordsets>, Recordsets, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::QueryDef>, CreateQueryDef, (const Variant& name, const Variant& sql), (override));
  MOCK_METHOD(std::shared_ptr<dao::TableDef>, CreateTableDef, (const Variant& name, const Variant& attributes, const Variant& source_table, const Variant& connect), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant& name, const Variant& type, const Variant& value), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const std::string& source, const Variant& type, const Variant& options, const Variant& lock_edits), (override));
  MOCK_METHOD(void, Execute, (const std::string& sql, const Variant& options), (override));
};

class MockWorkspace : public dao::Workspace {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string& name), (override));
  MOCK_METHOD(std::string, UserName, (), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(int, DefaultCursorDriver, (), (override));
  MOCK_METHOD(void, SetDefaultCursorDriver, (int driver), (override));
  MOCK_METHOD(int32_t, LoginTimeout, (), (override));
  MOCK_METHOD(void, SetLoginTimeout, (int32_t seconds), (override));
  MOCK_METHOD(bool, IsolateODBCTrans, (), (override));
  MOCK_METHOD(void, SetIsolateODBCTrans, (bool isolate), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, OpenDatabase, (const std::string& name, const Variant& options, const Variant& read_only, const Variant& connect), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, OpenConnection, (const std::string& name, const Variant& options, const Variant& read_only, const Variant& connect), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, CreateDatabase, (const std::string& name, const std::string& locale, const Variant& options), (override));
  MOCK_METHOD(void, BeginTrans, (), (override));
  MOCK_METHOD(void, CommitTrans, (const Variant& options), (override));
  MOCK_METHOD(void, Rollback, (), (override));
  MOCK_METHOD(void, Close, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Databases>, Databases, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Users>, Users, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Groups>, Groups, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
};

class MockDBEngine : public dao::DBEngine {
 public:
  MOCK_METHOD(std::string, Version, (), (override));
  MOCK_METHOD(std::string, SystemDB, (), (override));
  MOCK_METHOD(void, SetSystemDB, (const std::string& path), (override));
  MOCK_METHOD(std::string, DefaultUser, (), (override));
  MOCK_METHOD(void, SetDefaultUser, (const std::string& user), (override));
  MOCK_METHOD(std::string, DefaultPassword, (), (override));
  MOCK_METHOD(void, SetDefaultPassword, (const std::string& password), (override));
  MOCK_METHOD(int, DefaultType, (), (override));
  MOCK_METHOD(void, SetDefaultType, (int type), (override));
  MOCK_METHOD(std::string, IniPath, (), (override));
  MOCK_METHOD(void, SetIniPath, (const std::string& path), (override));
  MOCK_METHOD(int32_t, LoginTimeout, (), (override));
  MOCK_METHOD(void, SetLoginTimeout, (int32_t seconds), (override));
  MOCK_METHOD(std::shared_ptr<dao::Workspace>, CreateWorkspace, (const std::string& name, const Variant& user, const Variant& password, const Variant& type), (override));
  MOCK_METHOD(std::shared_ptr<dao::Workspaces>, Workspaces, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Errors>, Errors, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(void, Idle, (const Variant& action), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, OpenDatabase, (const std::string& name, const Variant& options, const Variant& read_only, const Variant& connect), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, CreateDatabase, (const std::string& name, const std::string& locale, const Variant& options), (override));
  MOCK_METHOD(void, CompactDatabase, (const std::string& source, const std::string& destination, const Variant& locale, const Variant& options, const Variant& password), (override));
  MOCK_METHOD(void, BeginTrans, (), (override));
  MOCK_METHOD(void, CommitTrans, (const Variant& options), (override));
  MOCK_METHOD(void, Rollback, (), (override));
};

// A collection over items a test supplies, each under a name. Item answers 3265 for a name or
// position that is not there, as the engine does; Append and Delete change the list.
template <class T>
class NamedCollection : public dao::Collection<T> {
 public:
  void Add(const std::string& name, std::shared_ptr<T> item) { items_.emplace_back(name, std::move(item)); }
  int Count() override { return static_cast<int>(items_.size()); }
  std::shared_ptr<T> Item(int index) override {
    if (index < 0 || index >= Count()) NotFound(std::to_string(index));
    return items_[static_cast<size_t>(index)].second;
  }
  std::shared_ptr<T> Item(const std::string& name) override {
    for (auto& [n, item] : items_)
      if (framework::SameText(n, name)) return item;
    NotFound(name);
  }
  void Refresh() override { ++refresh_count; }
  void Append(std::shared_ptr<T> object) override { items_.emplace_back(std::string(), std::move(object)); }
  void Delete(const std::string& name) override {
    for (auto it = items_.begin(); it != items_.end(); ++it)
      if (framework::SameText(it->first, name)) {
        items_.erase(it);
        return;
      }
    NotFound(name);
  }
  int refresh_count = 0;

 private:
  [[noreturn]] static void NotFound(const std::string& what) {
    throw dao::EOleException(dao::err::kNotInCollection, "Item not found in this collection: " + what);
  }
  std::vector<std::pair<std::string, std::shared_ptr<T>>> items_;
};

}  // namespace daofake
