// The numeric constants of the DAO object model, with DAO's own values: recordset types and
// options, lock types, field types and attributes, table attributes, edit modes, parameter
// directions, query types, idle actions, workspace types, collating orders and error numbers.
#pragma once

#include <cstdint>

namespace dao {

// Recordset types (OpenRecordset's type argument).
constexpr int dbOpenTable = 1;
constexpr int dbOpenDynaset = 2;
constexpr int dbOpenSnapshot = 4;
constexpr int dbOpenForwardOnly = 8;
constexpr int dbOpenDynamic = 16;

// Recordset and Execute options (a sum of these).
constexpr int dbDenyWrite = 1;
constexpr int dbDenyRead = 2;
constexpr int dbReadOnly = 4;
constexpr int dbAppendOnly = 8;
constexpr int dbInconsistent = 16;
constexpr int dbConsistent = 32;
constexpr int dbSQLPassThrough = 64;
constexpr int dbFailOnError = 128;
constexpr int dbForwardOnly = 256;
constexpr int dbSeeChanges = 512;
constexpr int dbRunAsync = 1024;
constexpr int dbExecDirect = 2048;

// Lock types (OpenRecordset's lockedits argument).
constexpr int dbOptimisticValue = 1;
constexpr int dbPessimistic = 2;
constexpr int dbOptimistic = 3;
constexpr int dbReadOnlyLock = 4;  // DAO's dbReadOnly, which shares its value with the option
constexpr int dbOptimisticBatch = 5;

// Field data types (Field.Type, Parameter.Type, CreateField's type).
constexpr int dbBoolean = 1;
constexpr int dbByte = 2;
constexpr int dbInteger = 3;
constexpr int dbLong = 4;
constexpr int dbCurrency = 5;
constexpr int dbSingle = 6;
constexpr int dbDouble = 7;
constexpr int dbDate = 8;
constexpr int dbBinary = 9;
constexpr int dbText = 10;
constexpr int dbLongBinary = 11;
constexpr int dbMemo = 12;
constexpr int dbGUID = 15;
constexpr int dbBigInt = 16;
constexpr int dbVarBinary = 17;
constexpr int dbChar = 18;
constexpr int dbNumeric = 19;
constexpr int dbDecimal = 20;
constexpr int dbFloat = 21;
constexpr int dbTime = 22;
constexpr int dbTimeStamp = 23;

// Field attributes (Field.Attributes).
constexpr int dbFixedField = 1;
constexpr int dbVariableField = 2;
constexpr int dbAutoIncrField = 16;
constexpr int dbUpdatableField = 32;
constexpr int dbSystemField = 8192;
constexpr int dbHyperlinkField = 32768;
// Index field attribute: the field is sorted descending.
constexpr int dbDescending = 1;

// Table definition attributes (TableDef.Attributes).
constexpr int32_t dbHiddenObject = 1;
constexpr int32_t dbSystemObject = static_cast<int32_t>(0x80000002u);
constexpr int32_t dbAttachExclusive = 65536;
constexpr int32_t dbAttachSavePWD = 131072;
constexpr int32_t dbAttachedODBC = 536870912;
constexpr int32_t dbAttachedTable = 1073741824;

// Recordset.EditMode.
constexpr int dbEditNone = 0;
constexpr int dbEditInProgress = 1;
constexpr int dbEditAdd = 2;

// Parameter.Direction.
constexpr int dbParamInput = 1;
constexpr int dbParamOutput = 2;
constexpr int dbParamInputOutput = 3;
constexpr int dbParamReturnValue = 4;

// QueryDef.Type.
constexpr int dbQSelect = 0;
constexpr int dbQCrosstab = 16;
constexpr int dbQDelete = 32;
constexpr int dbQUpdate = 48;
constexpr int dbQAppend = 64;
constexpr int dbQMakeTable = 80;
constexpr int dbQDDL = 96;
constexpr int dbQSQLPassThrough = 112;
constexpr int dbQSetOperation = 128;
constexpr int dbQSPTBulk = 144;
constexpr int dbQCompound = 160;
constexpr int dbQProcedure = 224;
constexpr int dbQAction = 240;

// DBEngine.Idle actions.
constexpr int dbFreeLocks = 1;
constexpr int dbRefreshCache = 8;

// Workspace types (CreateWorkspace, DefaultType).
constexpr int dbUseODBC = 1;
constexpr int dbUseJet = 2;

// Workspace.DefaultCursorDriver.
constexpr int dbUseDefaultCursor = -1;
constexpr int dbUseODBCCursor = 1;
constexpr int dbUseServerCursor = 2;
constexpr int dbUseClientBatchCursor = 3;
constexpr int dbUseNoCursor = 4;

// OpenDatabase's options for ODBC sources.
constexpr int dbDriverNoPrompt = 1;
constexpr int dbDriverPrompt = 2;
constexpr int dbDriverComplete = 0;
constexpr int dbDriverCompleteRequired = 3;

// CreateDatabase options and Database.Version texts.
constexpr int dbEncrypt = 2;
constexpr int dbDecrypt = 4;
constexpr int dbVersion30 = 32;
constexpr int dbVersion40 = 64;
// The locale text of CreateDatabase for the general sort order.
constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";

// Collating orders (Database.CollatingOrder).
constexpr int dbSortNeutral = 1024;
constexpr int dbSortArabic = 1025;
constexpr int dbSortGeneral = 1033;
constexpr int dbSortUndefined = -1;

// Property types (Property.Type) share the field type codes.

// Error numbers that the engine raises (EOleException::ErrorCode()).
namespace err {
constexpr int kReserved = 3000;
constexpr int kInvalidArgument = 3001;
constexpr int kUpdateWithoutEdit = 3020;
constexpr int kNoCurrentRecord = 3021;
constexpr int kDuplicateKey = 3022;
constexpr int kFileNotFound = 3024;
constexpr int kReadOnly = 3027;
constexpr int kAccount = 3029;
constexpr int kObjectExists = 3010;
constexpr int kNoIndex = 3019;
constexpr int kSystemFileInUse = 3045;
constexpr int kCannotOpenFile = 3051;
constexpr int kIndexNullKey = 3058;
constexpr int kTooFewParameters = 3061;
constexpr int kCannotExecuteSelect = 3065;
constexpr int kUnknownName = 3070;
constexpr int kExpressionSyntax = 3075;
constexpr int kUnknownTable = 3078;
constexpr int kInvalidBookmark = 3159;
constexpr int kValueTooLong = 3163;
constexpr int kRecordDeleted = 3167;
constexpr int kWriteConflict = 3197;    // the record changed since it was read (optimistic locking)
constexpr int kNoInstallableIsam = 3170;
constexpr int kObjectInvalid = 3420;  // the object is closed or no longer set
constexpr int kODBCFailed = 3151;
constexpr int kODBCCallFailed = 3146;  // "ODBC--call failed."
constexpr int kLocked = 3218;
constexpr int kInvalidOperation = 3219;
constexpr int kNotSupported = 3251;
constexpr int kNotInCollection = 3265;
constexpr int kRequired = 3314;
constexpr int kZeroLength = 3315;      // a zero-length string where AllowZeroLength is False
constexpr int kDatabaseExists = 3204;
constexpr int kSyntaxInStatement = 3290;  // syntax error in a DDL statement
constexpr int kSyntaxInFrom = 3131;
constexpr int kSyntaxInQuery = 3142;      // characters after the end of the statement
constexpr int kNotADatabase = 3343;
constexpr int kTypeConversion = 3421;
constexpr int kTypeMismatch = 3464;
constexpr int kDiskError = 3043;
constexpr int kTransactionState = 3034;
constexpr int kNameTooLong = 3125;
}  // namespace err

}  // namespace dao
