// The DAO object model as abstract C++ classes: the engine, workspaces, databases, table and
// query definitions, parameters, fields, indexes, recordsets, properties, errors and their
// collections. This is all that the components know about the database engine; the engine in
// engine/ implements it and the tests also script it with a fake.
//
// Objects are held by std::shared_ptr; releasing an object is dropping the pointer. Values cross
// as framework::Variant. A failing call throws dao::EOleException carrying DAO's error number
// (dao_constants.h, namespace err) and also leaves that error as item 0 of the engine's Errors.
// Optional DAO arguments are Variants whose Empty value means "omitted".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/com.h"
#include "framework/exception.h"
#include "framework/variant.h"

namespace dao {

using framework::Variant;
// The automation error of a failing DAO call; ErrorCode() is the DAO error number.
using EOleException = framework::EOleException;

// A DAO collection: items by position from 0 or by name (compared without regard to case).
// Item throws 3265 for a position or name that is not there. Append and Delete throw 3251 on
// collections that DAO does not let grow or shrink.
template <class T>
class Collection {
 public:
  virtual ~Collection() = default;
  virtual int Count() = 0;
  virtual std::shared_ptr<T> Item(int index) = 0;
  virtual std::shared_ptr<T> Item(const std::string& name) = 0;
  // Re-reads the collection from the database where it mirrors stored objects.
  virtual void Refresh() = 0;
  virtual void Append(std::shared_ptr<T> object) = 0;
  virtual void Delete(const std::string& name) = 0;
};

// A named value attached to an object (built-in, or user-defined such as "Format", "Caption").
class Property {
 public:
  virtual ~Property() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  virtual Variant Value() = 0;
  virtual void SetValue(const Variant& value) = 0;
  // DAO type code of the value (dbText, dbLong ...).
  virtual int Type() = 0;
  virtual void SetType(int type) = 0;
  // True when the property comes from an underlying object (a query field from its table field).
  virtual bool Inherited() = 0;
};
using Properties = Collection<Property>;

// One error of the engine's Errors collection.
class Error {
 public:
  virtual ~Error() = default;
  virtual int32_t Number() = 0;
  virtual std::string Source() = 0;
  virtual std::string Description() = 0;
  virtual std::string HelpFile() = 0;
  virtual int32_t HelpContext() = 0;
};
using Errors = Collection<Error>;

// A field: of a table definition or index (its definition), or of a recordset or query (its
// definition and the value in the current record).
class Field {
 public:
  virtual ~Field() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  // DAO type code (dbText ...).
  virtual int Type() = 0;
  virtual void SetType(int type) = 0;
  // Maximum size in characters (text) or bytes; fixed for numeric types; 0 for memo and blobs.
  virtual int32_t Size() = 0;
  virtual void SetSize(int32_t size) = 0;
  // dbAutoIncrField, dbUpdatableField, dbFixedField, dbVariableField, dbSystemField; in an
  // index's Fields also dbDescending.
  virtual int32_t Attributes() = 0;
  virtual void SetAttributes(int32_t attributes) = 0;
  virtual bool Required() = 0;
  virtual void SetRequired(bool required) = 0;
  virtual bool AllowZeroLength() = 0;
  virtual void SetAllowZeroLength(bool allow) = 0;
  // The default value expression as it was written (e.g. "abc" with its quotes, Date()).
  virtual std::string DefaultValue() = 0;
  virtual void SetDefaultValue(const std::string& expression) = 0;
  virtual std::string ValidationRule() = 0;
  virtual void SetValidationRule(const std::string& rule) = 0;
  virtual std::string ValidationText() = 0;
  virtual void SetValidationText(const std::string& text) = 0;
  virtual int OrdinalPosition() = 0;
  virtual void SetOrdinalPosition(int position) = 0;
  // Table and column a recordset field comes from (empty for computed fields).
  virtual std::string SourceTable() = 0;
  virtual std::string SourceField() = 0;
  // The value in the recordset's current record (or in the edit buffer while editing). Reading
  // without a current record is 3021; a record deleted meanwhile is 3167.
  virtual Variant Value() = 0;
  // Assigns while the recordset is in Edit or AddNew (else 3020); converts to the field's type
  // (3421 when it cannot, 3163 when the text is too long).
  virtual void SetValue(const Variant& value) = 0;
  // Size in bytes (characters for memos) of a memo or long binary value in the current record.
  virtual int32_t FieldSize() = 0;
  // Part of a memo or long binary value, from `offset` for `bytes` bytes.
  virtual Variant GetChunk(int32_t offset, int32_t bytes) = 0;
  // Appends to the memo or long binary value in the edit buffer.
  virtual void AppendChunk(const Variant& data) = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
  virtual std::shared_ptr<dao::Property> CreateProperty(const Variant& name = Variant(),
                                                   const Variant& type = Variant(),
                                                   const Variant& value = Variant()) = 0;
};
using Fields = Collection<Field>;

// An index of a table definition.
class Index {
 public:
  virtual ~Index() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  virtual bool Primary() = 0;
  virtual void SetPrimary(bool primary) = 0;
  virtual bool Unique() = 0;
  virtual void SetUnique(bool unique) = 0;
  // No field of the index may be Null.
  virtual bool Required() = 0;
  virtual void SetRequired(bool required) = 0;
  // Records whose key fields are all Null are left out of the index.
  virtual bool IgnoreNulls() = 0;
  virtual void SetIgnoreNulls(bool ignore) = 0;
  virtual bool Foreign() = 0;
  virtual bool Clustered() = 0;
  virtual int32_t DistinctCount() = 0;
  // The index's fields, in key order; a field's Attributes carry dbDescending.
  virtual std::shared_ptr<dao::Fields> Fields() = 0;
  // A field object for Fields().Append (name; type and size are ignored for index fields).
  virtual std::shared_ptr<dao::Field> CreateField(const Variant& name = Variant(),
                                             const Variant& type = Variant(),
                                             const Variant& size = Variant()) = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
  virtual std::shared_ptr<dao::Property> CreateProperty(const Variant& name = Variant(),
                                                   const Variant& type = Variant(),
                                                   const Variant& value = Variant()) = 0;
};
using Indexes = Collection<Index>;

class Recordset;

// The definition of a stored table.
class TableDef {
 public:
  virtual ~TableDef() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  // dbSystemObject bits for the engine's own tables; dbHiddenObject; attachment flags.
  virtual int32_t Attributes() = 0;
  virtual void SetAttributes(int32_t attributes) = 0;
  virtual Variant DateCreated() = 0;
  virtual Variant LastUpdated() = 0;
  virtual std::string Connect() = 0;
  virtual void SetConnect(const std::string& connect) = 0;
  virtual std::string SourceTableName() = 0;
  virtual void SetSourceTableName(const std::string& name) = 0;
  virtual std::string ValidationRule() = 0;
  virtual void SetValidationRule(const std::string& rule) = 0;
  virtual std::string ValidationText() = 0;
  virtual void SetValidationText(const std::string& text) = 0;
  // Number of records in the table.
  virtual int32_t RecordCount() = 0;
  virtual bool Updatable() = 0;
  virtual std::shared_ptr<dao::Fields> Fields() = 0;
  virtual std::shared_ptr<dao::Indexes> Indexes() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
  // A new field object for Fields().Append or an index's Fields().Append.
  virtual std::shared_ptr<dao::Field> CreateField(const Variant& name = Variant(),
                                             const Variant& type = Variant(),
                                             const Variant& size = Variant()) = 0;
  virtual std::shared_ptr<dao::Index> CreateIndex(const Variant& name = Variant()) = 0;
  virtual std::shared_ptr<dao::Property> CreateProperty(const Variant& name = Variant(),
                                                   const Variant& type = Variant(),
                                                   const Variant& value = Variant()) = 0;
  virtual std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type = Variant(),
                                                   const Variant& options = Variant()) = 0;
  virtual void RefreshLink() = 0;
};
using TableDefs = Collection<TableDef>;

// A parameter of a query definition.
class Parameter {
 public:
  virtual ~Parameter() = default;
  virtual std::string Name() = 0;
  virtual int Type() = 0;
  virtual void SetType(int type) = 0;
  virtual Variant Value() = 0;
  // Converts to the parameter's type (3421 when it cannot).
  virtual void SetValue(const Variant& value) = 0;
  // dbParamInput, dbParamOutput, dbParamInputOutput, dbParamReturnValue.
  virtual int Direction() = 0;
  virtual void SetDirection(int direction) = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
};
using Parameters = Collection<Parameter>;

// A stored (or temporary, when unnamed) query.
class QueryDef {
 public:
  virtual ~QueryDef() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  virtual std::string SQL() = 0;
  // Stores the text; a text that does not parse is refused with the parser's error.
  virtual void SetSQL(const std::string& sql) = 0;
  // dbQSelect, dbQUpdate, dbQDDL ...
  virtual int Type() = 0;
  virtual std::string Connect() = 0;
  virtual void SetConnect(const std::string& connect) = 0;
  virtual bool ReturnsRecords() = 0;
  virtual void SetReturnsRecords(bool returns) = 0;
  virtual int32_t MaxRecords() = 0;
  virtual void SetMaxRecords(int32_t max_records) = 0;
  virtual int32_t ODBCTimeout() = 0;
  virtual void SetODBCTimeout(int32_t seconds) = 0;
  virtual int32_t RecordsAffected() = 0;
  virtual bool Updatable() = 0;
  virtual Variant DateCreated() = 0;
  virtual Variant LastUpdated() = 0;
  // Declared (PARAMETERS) and implied (unknown names) parameters, in order of appearance.
  virtual std::shared_ptr<dao::Parameters> Parameters() = 0;
  // The result columns of a select query.
  virtual std::shared_ptr<dao::Fields> Fields() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
  virtual std::shared_ptr<dao::Property> CreateProperty(const Variant& name = Variant(),
                                                   const Variant& type = Variant(),
                                                   const Variant& value = Variant()) = 0;
  virtual std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type = Variant(),
                                                   const Variant& options = Variant(),
                                                   const Variant& lock_edits = Variant()) = 0;
  // Runs an action query; a select query is 3065.
  virtual void Execute(const Variant& options = Variant()) = 0;
  virtual void Close() = 0;
};
using QueryDefs = Collection<QueryDef>;

// An open set of records. Positions and bookmarks follow DAO's rules (see engine/ for the
// details this engine guarantees).
class Recordset {
 public:
  virtual ~Recordset() = default;
  virtual std::string Name() = 0;
  // dbOpenTable, dbOpenDynaset, dbOpenSnapshot or dbOpenForwardOnly.
  virtual int Type() = 0;

  virtual void MoveFirst() = 0;
  virtual void MoveLast(const Variant& options = Variant()) = 0;
  virtual void MoveNext() = 0;
  virtual void MovePrevious() = 0;
  // Moves `rows` from the current record, or from the record of bookmark `start` when given.
  virtual void Move(int32_t rows, const Variant& start = Variant()) = 0;
  virtual bool Bof() = 0;
  virtual bool Eof() = 0;

  virtual int32_t RecordCount() = 0;
  // 0-based position of the current record; -1 without one.
  virtual int32_t AbsolutePosition() = 0;
  virtual void SetAbsolutePosition(int32_t position) = 0;
  virtual float PercentPosition() = 0;
  virtual void SetPercentPosition(float percent) = 0;

  // A 4-byte array; valid on clones of this recordset too.
  virtual Variant Bookmark() = 0;
  virtual void SetBookmark(const Variant& bookmark) = 0;
  virtual bool Bookmarkable() = 0;
  // Bookmark of the record last added or changed through this recordset; Null when none.
  virtual Variant LastModified() = 0;

  virtual int EditMode() = 0;
  virtual bool LockEdits() = 0;
  virtual void SetLockEdits(bool lock) = 0;
  virtual bool Updatable() = 0;
  virtual bool Transactions() = 0;
  virtual bool Restartable() = 0;
  virtual int32_t RecordsAffected() = 0;
  virtual bool NoMatch() = 0;
  virtual Variant DateCreated() = 0;
  virtual Variant LastUpdated() = 0;
  virtual int32_t CacheSize() = 0;
  virtual void SetCacheSize(int32_t size) = 0;

  // The current index of a table-type recordset (by name); its order is the record order.
  virtual std::string Index() = 0;
  virtual void SetIndex(const std::string& index) = 0;
  // Criteria and order applied to recordsets opened later from this one.
  virtual std::string Filter() = 0;
  virtual void SetFilter(const std::string& criteria) = 0;
  virtual std::string Sort() = 0;
  virtual void SetSort(const std::string& order) = 0;
  virtual std::string ValidationRule() = 0;
  virtual std::string ValidationText() = 0;

  // A second recordset over the same records, with its own position and shared bookmarks.
  virtual std::shared_ptr<dao::Recordset> Clone() = 0;
  // A new recordset of this one's records, narrowed by Filter and ordered by Sort.
  virtual std::shared_ptr<dao::Recordset> OpenRecordset(const Variant& type = Variant(),
                                                   const Variant& options = Variant()) = 0;

  virtual void FindFirst(const std::string& criteria) = 0;
  virtual void FindLast(const std::string& criteria) = 0;
  virtual void FindNext(const std::string& criteria) = 0;
  virtual void FindPrevious(const std::string& criteria) = 0;
  // comparison is "=", ">=", ">", "<=" or "<"; keys as many as the index has fields or fewer.
  virtual void Seek(const std::string& comparison, const std::vector<Variant>& keys) = 0;

  // Starts a new record; an AutoNumber field shows the value the record will get.
  virtual void AddNew() = 0;
  // Starts editing the current record from its values as this recordset last read them (after
  // DBEngine.Idle(dbRefreshCache) that is a read of the file no older than the connection's
  // last statement); Edit itself need not read the record again. 3167 when it was deleted.
  virtual void Edit() = 0;
  // Writes the record started by AddNew or Edit. After Edit the record is written only if nobody
  // (another connection or another recordset) changed it since Edit's values were read, else
  // 3197 (3167 when it was deleted) and nothing is written; values equal to those read are not
  // written again, but the check is still made.
  virtual void Update(const Variant& type = Variant(), const Variant& force = Variant()) = 0;
  virtual void CancelUpdate(const Variant& type = Variant()) = 0;
  virtual void Delete() = 0;
  virtual void Requery(const Variant& new_querydef = Variant()) = 0;
  // Up to `rows` records from the current one as an array of field arrays; moves past them.
  virtual Variant GetRows(const Variant& rows = Variant()) = 0;

  virtual std::shared_ptr<dao::Fields> Fields() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
  virtual void Close() = 0;
};
using Recordsets = Collection<Recordset>;

// Containers, relations, users and groups exist for callers that refresh and count them.
class Container {
 public:
  virtual ~Container() = default;
  virtual std::string Name() = 0;
  virtual std::string Owner() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
};
using Containers = Collection<Container>;

class Relation {
 public:
  virtual ~Relation() = default;
  virtual std::string Name() = 0;
  virtual std::string Table() = 0;
  virtual std::string ForeignTable() = 0;
  virtual int32_t Attributes() = 0;
  virtual std::shared_ptr<dao::Fields> Fields() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
};
using Relations = Collection<Relation>;

class User {
 public:
  virtual ~User() = default;
  virtual std::string Name() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
};
using Users = Collection<User>;

class Group {
 public:
  virtual ~Group() = default;
  virtual std::string Name() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
};
using Groups = Collection<Group>;

// An open database file.
class Database {
 public:
  virtual ~Database() = default;
  // The file name as it was opened.
  virtual std::string Name() = 0;
  virtual std::string Connect() = 0;
  virtual void Close() = 0;
  virtual int32_t QueryTimeout() = 0;
  virtual void SetQueryTimeout(int32_t seconds) = 0;
  // Version of the file format as text ("4.0").
  virtual std::string Version() = 0;
  virtual int32_t CollatingOrder() = 0;
  virtual bool Updatable() = 0;
  virtual bool Transactions() = 0;
  virtual int32_t RecordsAffected() = 0;
  virtual std::shared_ptr<dao::TableDefs> TableDefs() = 0;
  virtual std::shared_ptr<dao::QueryDefs> QueryDefs() = 0;
  virtual std::shared_ptr<dao::Containers> Containers() = 0;
  virtual std::shared_ptr<dao::Relations> Relations() = 0;
  // The recordsets open on this database.
  virtual std::shared_ptr<dao::Recordsets> Recordsets() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
  // A named query is stored at once; an unnamed one is temporary.
  virtual std::shared_ptr<dao::QueryDef> CreateQueryDef(const Variant& name = Variant(),
                                                   const Variant& sql = Variant()) = 0;
  // A new table definition for TableDefs().Append.
  virtual std::shared_ptr<dao::TableDef> CreateTableDef(const Variant& name = Variant(),
                                                   const Variant& attributes = Variant(),
                                                   const Variant& source_table = Variant(),
                                                   const Variant& connect = Variant()) = 0;
  virtual std::shared_ptr<dao::Property> CreateProperty(const Variant& name = Variant(),
                                                   const Variant& type = Variant(),
                                                   const Variant& value = Variant()) = 0;
  // Source: a table name, a stored query's name or Jet SQL text.
  virtual std::shared_ptr<dao::Recordset> OpenRecordset(const std::string& source,
                                                   const Variant& type = Variant(),
                                                   const Variant& options = Variant(),
                                                   const Variant& lock_edits = Variant()) = 0;
  // Runs an action query or DDL statement in Jet SQL, or a stored action query by name.
  virtual void Execute(const std::string& sql, const Variant& options = Variant()) = 0;
};
using Databases = Collection<Database>;

// A session of one user with the engine.
class Workspace {
 public:
  virtual ~Workspace() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  virtual std::string UserName() = 0;
  // dbUseJet or dbUseODBC.
  virtual int Type() = 0;
  virtual int DefaultCursorDriver() = 0;
  virtual void SetDefaultCursorDriver(int driver) = 0;
  virtual int32_t LoginTimeout() = 0;
  virtual void SetLoginTimeout(int32_t seconds) = 0;
  virtual bool IsolateODBCTrans() = 0;
  virtual void SetIsolateODBCTrans(bool isolate) = 0;
  // options: exclusive flag (Jet) or a driver option (ODBC); read_only; connect text.
  virtual std::shared_ptr<dao::Database> OpenDatabase(const std::string& name,
                                                 const Variant& options = Variant(),
                                                 const Variant& read_only = Variant(),
                                                 const Variant& connect = Variant()) = 0;
  virtual std::shared_ptr<dao::Database> OpenConnection(const std::string& name,
                                                   const Variant& options = Variant(),
                                                   const Variant& read_only = Variant(),
                                                   const Variant& connect = Variant()) = 0;
  // Creates a new, empty database file; an existing file is 3204.
  virtual std::shared_ptr<dao::Database> CreateDatabase(const std::string& name,
                                                   const std::string& locale = dbLangGeneralText(),
                                                   const Variant& options = Variant()) = 0;
  virtual void BeginTrans() = 0;
  virtual void CommitTrans(const Variant& options = Variant()) = 0;
  virtual void Rollback() = 0;
  virtual void Close() = 0;
  virtual std::shared_ptr<dao::Databases> Databases() = 0;
  virtual std::shared_ptr<dao::Users> Users() = 0;
  virtual std::shared_ptr<dao::Groups> Groups() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;

  static std::string dbLangGeneralText() { return ";LANGID=0x0409;CP=1252;COUNTRY=0"; }
};
using Workspaces = Collection<Workspace>;

// The engine object, created by ProgID ("DAO.DBEngine.36" ...) through the COM stand-in.
class DBEngine : public framework::OleObject {
 public:
  // Text such as "3.6".
  virtual std::string Version() = 0;
  virtual std::string SystemDB() = 0;
  virtual void SetSystemDB(const std::string& path) = 0;
  virtual std::string DefaultUser() = 0;
  virtual void SetDefaultUser(const std::string& user) = 0;
  virtual std::string DefaultPassword() = 0;
  virtual void SetDefaultPassword(const std::string& password) = 0;
  virtual int DefaultType() = 0;
  virtual void SetDefaultType(int type) = 0;
  virtual std::string IniPath() = 0;
  virtual void SetIniPath(const std::string& path) = 0;
  virtual int32_t LoginTimeout() = 0;
  virtual void SetLoginTimeout(int32_t seconds) = 0;
  // A new workspace; only user "Admin" with the empty password is valid without a workgroup
  // (3029 otherwise). Omitted arguments take DefaultUser, DefaultPassword, DefaultType.
  virtual std::shared_ptr<dao::Workspace> CreateWorkspace(const std::string& name,
                                                     const Variant& user = Variant(),
                                                     const Variant& password = Variant(),
                                                     const Variant& type = Variant()) = 0;
  virtual std::shared_ptr<dao::Workspaces> Workspaces() = 0;
  // The errors of the last failing call, the error itself as item 0.
  virtual std::shared_ptr<dao::Errors> Errors() = 0;
  virtual std::shared_ptr<dao::Properties> Properties() = 0;
  // dbFreeLocks and/or dbRefreshCache. dbRefreshCache makes the engine read again every record
  // it holds in memory that it read before each connection's last statement; what that statement
  // read or wrote is as fresh as the file was then.
  virtual void Idle(const Variant& action = Variant()) = 0;
  // On the default workspace (Workspaces(0), created on first use).
  virtual std::shared_ptr<dao::Database> OpenDatabase(const std::string& name,
                                                 const Variant& options = Variant(),
                                                 const Variant& read_only = Variant(),
                                                 const Variant& connect = Variant()) = 0;
  virtual std::shared_ptr<dao::Database> CreateDatabase(const std::string& name,
                                                   const std::string& locale =
                                                       Workspace::dbLangGeneralText(),
                                                   const Variant& options = Variant()) = 0;
  // Copies a closed database into a new, compacted file.
  virtual void CompactDatabase(const std::string& source, const std::string& destination,
                               const Variant& locale = Variant(),
                               const Variant& options = Variant(),
                               const Variant& password = Variant()) = 0;
  virtual void BeginTrans() = 0;
  virtual void CommitTrans(const Variant& options = Variant()) = 0;
  virtual void Rollback() = 0;
};

}  // namespace dao
