// A scripted fake of the DAO interfaces with GoogleMock, for component tests that need what the
// real engine cannot produce: an automation error at a chosen call, a query output parameter,
// a snapshot whose count differs from RecordCount. Use ON_CALL/EXPECT_CALL on these classes;
// FakeCollection serves any collection from a list of items.
#pragma once

#include <gmock/gmock.h>

#include <cctype>

#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"

namespace dao_fake {

using dao::Variant;

// A collection mock; Items() fills it with a fixed list that Count and both Item overloads use.
template <class T>
class MockCollection : public dao::Collection<T> {
 public:
  MOCK_METHOD(int, Count, (), (override));
  MOCK_METHOD(std::shared_ptr<T>, Item, (int), (override));
  MOCK_METHOD(std::shared_ptr<T>, Item, (const std::string&), (override));
  MOCK_METHOD(void, Refresh, (), (override));
  MOCK_METHOD(void, Append, (std::shared_ptr<T>), (override));
  MOCK_METHOD(void, Delete, (const std::string&), (override));

  // Serves Count and Item from `items`; Item(name) matches `names` (same order) without regard
  // to case; a missing item throws 3265 as DAO does.
  void Serve(std::vector<std::shared_ptr<T>> items, std::vector<std::string> names = {}) {
    items_ = std::move(items);
    names_ = std::move(names);
    using ::testing::_;
    ON_CALL(*this, Count()).WillByDefault([this] { return static_cast<int>(items_.size()); });
    ON_CALL(*this, Item(::testing::A<int>())).WillByDefault([this](int i) {
      if (i < 0 || i >= static_cast<int>(items_.size())) throw dao::EOleException(dao::err::kNotInCollection, "Item not found in this collection.");
      return items_[i];
    });
    ON_CALL(*this, Item(::testing::A<const std::string&>())).WillByDefault([this](const std::string& n) {
      for (size_t k = 0; k < names_.size() && k < items_.size(); ++k)
        if (SameText(names_[k], n)) return items_[k];
      throw dao::EOleException(dao::err::kNotInCollection, "Item not found in this collection.");
      return std::shared_ptr<T>();
    });
  }

 private:
  static bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
      if (std::tolower(static_cast<unsigned char>(a[k])) != std::tolower(static_cast<unsigned char>(b[k]))) return false;
    return true;
  }
  std::vector<std::shared_ptr<T>> items_;
  std::vector<std::string> names_;
};

class MockProperty : public dao::Property {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string&), (override));
  MOCK_METHOD(Variant, Value, (), (override));
  MOCK_METHOD(void, SetValue, (const Variant&), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, SetType, (int), (override));
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
  MOCK_METHOD(void, SetName, (const std::string&), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, SetType, (int), (override));
  MOCK_METHOD(int32_t, Size, (), (override));
  MOCK_METHOD(void, SetSize, (int32_t), (override));
  MOCK_METHOD(int32_t, Attributes, (), (override));
  MOCK_METHOD(void, SetAttributes, (int32_t), (override));
  MOCK_METHOD(bool, Required, (), (override));
  MOCK_METHOD(void, SetRequired, (bool), (override));
  MOCK_METHOD(bool, AllowZeroLength, (), (override));
  MOCK_METHOD(void, SetAllowZeroLength, (bool), (override));
  MOCK_METHOD(std::string, DefaultValue, (), (override));
  MOCK_METHOD(void, SetDefaultValue, (const std::string&), (override));
  MOCK_METHOD(std::string, ValidationRule, (), (override));
  MOCK_METHOD(void, SetValidationRule, (const std::string&), (override));
  MOCK_METHOD(std::string, ValidationText, (), (override));
  MOCK_METHOD(void, SetValidationText, (const std::string&), (override));
  MOCK_METHOD(int, OrdinalPosition, (), (override));
  MOCK_METHOD(void, SetOrdinalPosition, (int), (override));
  MOCK_METHOD(std::string, SourceTable, (), (override));
  MOCK_METHOD(std::string, SourceField, (), (override));
  MOCK_METHOD(Variant, Value, (), (override));
  MOCK_METHOD(void, SetValue, (const Variant&), (override));
  MOCK_METHOD(int32_t, FieldSize, (), (override));
  MOCK_METHOD(Variant, GetChunk, (int32_t, int32_t), (override));
  MOCK_METHOD(void, AppendChunk, (const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant&, const Variant&, const Variant&), (override));
};

class MockIndex : public dao::Index {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string&), (override));
  MOCK_METHOD(bool, Primary, (), (override));
  MOCK_METHOD(void, SetPrimary, (bool), (override));
  MOCK_METHOD(bool, Unique, (), (override));
  MOCK_METHOD(void, SetUnique, (bool), (override));
  MOCK_METHOD(bool, Required, (), (override));
  MOCK_METHOD(void, SetRequired, (bool), (override));
  MOCK_METHOD(bool, IgnoreNulls, (), (override));
  MOCK_METHOD(void, SetIgnoreNulls, (bool), (override));
  MOCK_METHOD(bool, Foreign, (), (override));
  MOCK_METHOD(bool, Clustered, (), (override));
  MOCK_METHOD(int32_t, DistinctCount, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Field>, CreateField, (const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant&, const Variant&, const Variant&), (override));
};

class MockTableDef : public dao::TableDef {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string&), (override));
  MOCK_METHOD(int32_t, Attributes, (), (override));
  MOCK_METHOD(void, SetAttributes, (int32_t), (override));
  MOCK_METHOD(Variant, DateCreated, (), (override));
  MOCK_METHOD(Variant, LastUpdated, (), (override));
  MOCK_METHOD(std::string, Connect, (), (override));
  MOCK_METHOD(void, SetConnect, (const std::string&), (override));
  MOCK_METHOD(std::string, SourceTableName, (), (override));
  MOCK_METHOD(void, SetSourceTableName, (const std::string&), (override));
  MOCK_METHOD(std::string, ValidationRule, (), (override));
  MOCK_METHOD(void, SetValidationRule, (const std::string&), (override));
  MOCK_METHOD(std::string, ValidationText, (), (override));
  MOCK_METHOD(void, SetValidationText, (const std::string&), (override));
  MOCK_METHOD(int32_t, RecordCount, (), (override));
  MOCK_METHOD(bool, Updatable, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Indexes>, Indexes, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Field>, CreateField, (const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Index>, CreateIndex, (const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const Variant&, const Variant&), (override));
  MOCK_METHOD(void, RefreshLink, (), (override));
};

class MockParameter : public dao::Parameter {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, SetType, (int), (override));
  MOCK_METHOD(Variant, Value, (), (override));
  MOCK_METHOD(void, SetValue, (const Variant&), (override));
  MOCK_METHOD(int, Direction, (), (override));
  MOCK_METHOD(void, SetDirection, (int), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
};

class MockQueryDef : public dao::QueryDef {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string&), (override));
  MOCK_METHOD(std::string, SQL, (), (override));
  MOCK_METHOD(void, SetSQL, (const std::string&), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(std::string, Connect, (), (override));
  MOCK_METHOD(void, SetConnect, (const std::string&), (override));
  MOCK_METHOD(bool, ReturnsRecords, (), (override));
  MOCK_METHOD(void, SetReturnsRecords, (bool), (override));
  MOCK_METHOD(int32_t, MaxRecords, (), (override));
  MOCK_METHOD(void, SetMaxRecords, (int32_t), (override));
  MOCK_METHOD(int32_t, ODBCTimeout, (), (override));
  MOCK_METHOD(void, SetODBCTimeout, (int32_t), (override));
  MOCK_METHOD(int32_t, RecordsAffected, (), (override));
  MOCK_METHOD(bool, Updatable, (), (override));
  MOCK_METHOD(Variant, DateCreated, (), (override));
  MOCK_METHOD(Variant, LastUpdated, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Parameters>, Parameters, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Fields>, Fields, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(void, Execute, (const Variant&), (override));
  MOCK_METHOD(void, Close, (), (override));
};

class MockRecordset : public dao::Recordset {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(void, MoveFirst, (), (override));
  MOCK_METHOD(void, MoveLast, (const Variant&), (override));
  MOCK_METHOD(void, MoveNext, (), (override));
  MOCK_METHOD(void, MovePrevious, (), (override));
  MOCK_METHOD(void, Move, (int32_t, const Variant&), (override));
  MOCK_METHOD(bool, Bof, (), (override));
  MOCK_METHOD(bool, Eof, (), (override));
  MOCK_METHOD(int32_t, RecordCount, (), (override));
  MOCK_METHOD(int32_t, AbsolutePosition, (), (override));
  MOCK_METHOD(void, SetAbsolutePosition, (int32_t), (override));
  MOCK_METHOD(float, PercentPosition, (), (override));
  MOCK_METHOD(void, SetPercentPosition, (float), (override));
  MOCK_METHOD(Variant, Bookmark, (), (override));
  MOCK_METHOD(void, SetBookmark, (const Variant&), (override));
  MOCK_METHOD(bool, Bookmarkable, (), (override));
  MOCK_METHOD(Variant, LastModified, (), (override));
  MOCK_METHOD(int, EditMode, (), (override));
  MOCK_METHOD(bool, LockEdits, (), (override));
  MOCK_METHOD(void, SetLockEdits, (bool), (override));
  MOCK_METHOD(bool, Updatable, (), (override));
  MOCK_METHOD(bool, Transactions, (), (override));
  MOCK_METHOD(bool, Restartable, (), (override));
  MOCK_METHOD(int32_t, RecordsAffected, (), (override));
  MOCK_METHOD(bool, NoMatch, (), (override));
  MOCK_METHOD(Variant, DateCreated, (), (override));
  MOCK_METHOD(Variant, LastUpdated, (), (override));
  MOCK_METHOD(int32_t, CacheSize, (), (override));
  MOCK_METHOD(void, SetCacheSize, (int32_t), (override));
  MOCK_METHOD(std::string, Index, (), (override));
  MOCK_METHOD(void, SetIndex, (const std::string&), (override));
  MOCK_METHOD(std::string, Filter, (), (override));
  MOCK_METHOD(void, SetFilter, (const std::string&), (override));
  MOCK_METHOD(std::string, Sort, (), (override));
  MOCK_METHOD(void, SetSort, (const std::string&), (override));
  MOCK_METHOD(std::string, ValidationRule, (), (override));
  MOCK_METHOD(std::string, ValidationText, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, Clone, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const Variant&, const Variant&), (override));
  MOCK_METHOD(void, FindFirst, (const std::string&), (override));
  MOCK_METHOD(void, FindLast, (const std::string&), (override));
  MOCK_METHOD(void, FindNext, (const std::string&), (override));
  MOCK_METHOD(void, FindPrevious, (const std::string&), (override));
  MOCK_METHOD(void, Seek, (const std::string&, const std::vector<Variant>&), (override));
  MOCK_METHOD(void, AddNew, (), (override));
  MOCK_METHOD(void, Edit, (), (override));
  MOCK_METHOD(void, Update, (const Variant&, const Variant&), (override));
  MOCK_METHOD(void, CancelUpdate, (const Variant&), (override));
  MOCK_METHOD(void, Delete, (), (override));
  MOCK_METHOD(void, Requery, (const Variant&), (override));
  MOCK_METHOD(Variant, GetRows, (const Variant&), (override));
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
  MOCK_METHOD(void, SetQueryTimeout, (int32_t), (override));
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
  MOCK_METHOD(std::shared_ptr<dao::QueryDef>, CreateQueryDef, (const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::TableDef>, CreateTableDef, (const Variant&, const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Property>, CreateProperty, (const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Recordset>, OpenRecordset, (const std::string&, const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(void, Execute, (const std::string&, const Variant&), (override));
};

class MockWorkspace : public dao::Workspace {
 public:
  MOCK_METHOD(std::string, Name, (), (override));
  MOCK_METHOD(void, SetName, (const std::string&), (override));
  MOCK_METHOD(std::string, UserName, (), (override));
  MOCK_METHOD(int, Type, (), (override));
  MOCK_METHOD(int, DefaultCursorDriver, (), (override));
  MOCK_METHOD(void, SetDefaultCursorDriver, (int), (override));
  MOCK_METHOD(int32_t, LoginTimeout, (), (override));
  MOCK_METHOD(void, SetLoginTimeout, (int32_t), (override));
  MOCK_METHOD(bool, IsolateODBCTrans, (), (override));
  MOCK_METHOD(void, SetIsolateODBCTrans, (bool), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, OpenDatabase, (const std::string&, const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, OpenConnection, (const std::string&, const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, CreateDatabase, (const std::string&, const std::string&, const Variant&), (override));
  MOCK_METHOD(void, BeginTrans, (), (override));
  MOCK_METHOD(void, CommitTrans, (const Variant&), (override));
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
  MOCK_METHOD(void, SetSystemDB, (const std::string&), (override));
  MOCK_METHOD(std::string, DefaultUser, (), (override));
  MOCK_METHOD(void, SetDefaultUser, (const std::string&), (override));
  MOCK_METHOD(std::string, DefaultPassword, (), (override));
  MOCK_METHOD(void, SetDefaultPassword, (const std::string&), (override));
  MOCK_METHOD(int, DefaultType, (), (override));
  MOCK_METHOD(void, SetDefaultType, (int), (override));
  MOCK_METHOD(std::string, IniPath, (), (override));
  MOCK_METHOD(void, SetIniPath, (const std::string&), (override));
  MOCK_METHOD(int32_t, LoginTimeout, (), (override));
  MOCK_METHOD(void, SetLoginTimeout, (int32_t), (override));
  MOCK_METHOD(std::shared_ptr<dao::Workspace>, CreateWorkspace, (const std::string&, const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Workspaces>, Workspaces, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Errors>, Errors, (), (override));
  MOCK_METHOD(std::shared_ptr<dao::Properties>, Properties, (), (override));
  MOCK_METHOD(void, Idle, (const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, OpenDatabase, (const std::string&, const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(std::shared_ptr<dao::Database>, CreateDatabase, (const std::string&, const std::string&, const Variant&), (override));
  MOCK_METHOD(void, CompactDatabase, (const std::string&, const std::string&, const Variant&, const Variant&, const Variant&), (override));
  MOCK_METHOD(void, BeginTrans, (), (override));
  MOCK_METHOD(void, CommitTrans, (const Variant&), (override));
  MOCK_METHOD(void, Rollback, (), (override));
};

// Throws the automation error of DAO error `number`, as the engine does (for WillOnce(...)).
[[noreturn]] inline void ThrowDaoError(int number, const std::string& description) {
  throw dao::EOleException(number, description, "DAO.Fake");
}

}  // namespace dao_fake
