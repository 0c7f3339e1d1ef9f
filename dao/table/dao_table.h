// TUxDaoTable: the dataset component over one DAO recordset of a TUxDaoDatabase — a stored
// table, a saved query (QueryDef) or a free SQL statement. It plugs into the generic dataset
// (dataset::TDataSet) by supplying its overridable operations: record buffers hold each field's
// value as text, the recordset's own cursor is followed by counting positions and by 4-byte
// bookmarks, and changes reach DAO only when a record is posted.
//
// The implementation is split by area: dao_table.cpp (settings), dao_table_open.cpp (opening and
// field definitions), dao_table_buffers.cpp (record buffers and field values),
// dao_table_navigation.cpp (positioning and counting), dao_table_editing.cpp (posting, deleting).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dao/dao_database.h"
#include "dao/dao_interfaces.h"
#include "dao/open_tables.h"
#include "framework/exception.h"
#include "dataset/dataset.h"
#include "dataset/master_data_link.h"
#include "dataset/params.h"
#include "framework/component.h"
#include "framework/form_classes.h"
#include "framework/string_list.h"

namespace dataset {
class TDataSource;
}

namespace dao {

// The twelve DAO recordset options, in the order of their bits in TOpenOptions.
enum class TOO : uint8_t {
  dbDenyWrite, dbDenyRead, dbReadOnly, dbAppendOnly, dbInconsistent, dbConsistent,
  dbSQLPassThrough, dbFailOnError, dbForwardOnly, dbSeeChanges, dbRunAsync, dbExecDirect,
};
// A set of TOO: element n is bit n.
using TOpenOptions = uint16_t;
constexpr TOpenOptions OptionBit(TOO option) { return TOpenOptions(1u << static_cast<int>(option)); }
// The name of an option as a form file writes it ("dbDenyWrite"), and back (false: unknown).
const char* OpenOptionName(TOO option);
bool OpenOptionByName(const std::string& name, TOO& option);
// The DAO options number of a set (dbDenyWrite 1, dbDenyRead 2, ... dbExecDirect 2048).
int OpenOptionsNumber(TOpenOptions options);

// The field type of a DAO type code, or of the table's own codes 22 (a date column shown as a
// time), 23 (a date column shown as date and time) and 40000 (an autoincrement long integer).
dataset::TFieldType DaoTypeToFieldType(int code);
// The size of a field definition: the DAO field's Size for texts and binaries, 0 otherwise.
int DaoTypeSize(int code, int size);

enum class TExportMethod : uint8_t { VisibleFields, AllFields };

// Precision of a field definition that stands for a DAO GUID column ("GUID" in hexadecimal
// bytes); no other definition carries it.
constexpr int kGuidPrecisionMarker = 47554944;
// The characters a GUID field accepts.
constexpr const char* kGuidChars = "-0123456789ABCDEFabcdef{}";

// One value of a buffered record: its text (empty = null) and whether it was changed since it
// was read.
struct TFieldValue {
  std::string Text;
  bool Modified = false;
};
using TValueList = std::vector<TFieldValue>;

// One record buffer of the table. The logical layout is a 16-byte header (record index, value
// list, flag, bookmark) followed by the calculated area.
struct TDaoRecordBuffer : dataset::RecordBufferData {
  int32_t RecordIndex = -1;  // 0-based position as the table counted it; -1 = not stored
  std::unique_ptr<TValueList> Values;  // one entry per field definition
  dataset::TBookmarkFlag Flag = dataset::bmfCurrent;
  int32_t Bookmark = 0;  // first four bytes of the DAO bookmark; 0 = none
  std::vector<uint8_t> CalcArea;  // presence byte and data per calculated or lookup field
};

class TUxDaoTable : public dataset::TDataSet, public IOpenTable {
 public:
  using TExportProgressEvent = std::function<void(TUxDaoTable& table, int current, int total)>;
  using TImportProgressEvent = std::function<void(TUxDaoTable& table, int current)>;

  // Sets the defaults, creates the owned lists, the master link and the parameters, and
  // initialises COM on the thread ("Unable to init OLE objects!" when that fails).
  explicit TUxDaoTable(framework::TComponent* owner);
  // Closes the table (errors are dropped) and releases what it created.
  ~TUxDaoTable() override;

  std::string ClassName() const override { return "TUxDaoTable"; }
  // Runs the dataset's Loaded; an error (a table streamed Active that fails to open) goes to the
  // application's exception handler instead of aborting the form.
  void Loaded() override;

  // ---- Source of the records ----
  TUxDaoDatabase* Database() const { return database_; }
  void SetDatabase(TUxDaoDatabase* database);
  const std::string& TableName() const { return table_name_; }
  void SetTableName(const std::string& name);
  // The free SQL statement; parameters are written ":name". Editing the list in place rebuilds
  // Params; SetSQL also clears the other sources when the text is not empty.
  framework::TStringList& SQL() { return sql_; }
  const framework::TStringList& SQL() const { return sql_; }
  void SetSQL(const framework::TStringList& lines);
  const std::string& QueryDefName() const { return query_def_name_; }
  void SetQueryDefName(const std::string& name);
  // One line per input parameter of the saved query; "NULL" stands for Null.
  const framework::TStringList& QueryDefParameters() const { return query_def_parameters_; }
  void SetQueryDefParameters(const framework::TStringList& lines);
  const framework::TStringList& QueryDefParametersText() const { return query_def_parameters_; }
  void SetQueryDefParametersText(const framework::TStringList& lines) { SetQueryDefParameters(lines); }
  // The saved query's SQL as last read. Assigning writes it back to the saved query when that is
  // allowed (QueryDefSQLModify, connected, closed, not loading); otherwise it has no effect.
  const framework::TStringList& QueryDefSQLText() const { return query_def_sql_text_; }
  void SetQueryDefSQLText(const framework::TStringList& lines);
  bool QueryDefSQLModify() const { return query_def_sql_modify_; }
  void SetQueryDefSQLModify(bool value) { query_def_sql_modify_ = value; }
  int QueryDefODBCMaxRecords() const { return query_def_odbc_max_records_; }
  void SetQueryDefODBCMaxRecords(int value) { query_def_odbc_max_records_ = value; }
  // The saved query's type as its DAO constant name ("dbQSelect"); empty when unknown.
  std::string QueryDefType();
  void SetQueryDefType(const std::string&) {}
  // The numeric type of the last read (0 when not read).
  int QueryDefTypeCode() const { return query_def_type_code_; }
  dataset::TParams& Params() { return params_; }
  const dataset::TParams& Params() const { return params_; }
  // Takes over the values of the parameters of the same names; membership does not change.
  void SetParams(const dataset::TParams& params) { params_.AssignValues(params); }
  bool ParamCheck() const { return param_check_; }
  void SetParamCheck(bool value) { param_check_ = value; }

  // ---- How the recordset is opened ----
  int TableType() const { return table_type_; }
  void SetTableType(int value);
  int LockType() const { return lock_type_; }
  void SetLockType(int value);
  TOpenOptions OpenOptions() const { return open_options_; }
  void SetOpenOptions(TOpenOptions options);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);
  const std::string& IndexName() const { return index_name_; }
  void SetIndexName(const std::string& name);
  // One sort term per line ("Name" or "Datum DESC"), for recordsets that are not tables.
  const framework::TStringList& SortedBy() const { return sorted_by_; }
  void SetSortedBy(const framework::TStringList& lines);
  const framework::TStringList& SortedByText() const { return sorted_by_; }
  void SetSortedByText(const framework::TStringList& lines) { SetSortedBy(lines); }
  // The DAO filter text and whether it applies; an open table reopens.
  void SetFiltered(bool value) override;
  void SetFilterText(const std::string& text) override;
  // Installs OnFilterRecord; an open, filtered table reopens.
  void SetOnFilterRecord(dataset::TFilterRecordEvent handler);
  bool DatabaseAutoActivate() const { return database_auto_activate_; }
  void SetDatabaseAutoActivate(bool value) { database_auto_activate_ = value; }
  dataset::TDataSource* MasterSource() const;
  void SetMasterSource(dataset::TDataSource* source);
  const framework::TStringList& MasterFields() const { return master_fields_; }
  void SetMasterFields(const framework::TStringList& lines);
  bool MasterAutoActivate() const { return master_auto_activate_; }
  void SetMasterAutoActivate(bool value) { master_auto_activate_ = value; }
  dataset::TDataSource* DataSource() const override { return MasterSource(); }

  // ---- How field definitions and fields are made ----
  bool UseDaoProperties() const { return use_dao_properties_; }
  void SetUseDaoProperties(bool value) { use_dao_properties_ = value; }
  bool UseCaptions() const { return use_captions_; }
  void SetUseCaptions(bool value) { use_captions_ = value; }
  bool CacheMemos() const { return cache_memos_; }
  void SetCacheMemos(bool value);
  bool CacheBlobs() const { return cache_blobs_; }
  void SetCacheBlobs(bool value);
  bool CacheLookups() const { return cache_lookups_; }
  void SetCacheLookups(bool value);
  bool ShowGUID() const { return show_guid_; }
  void SetShowGUID(bool value);
  // A component whose class has the stored string properties EncodedString and DecodedString;
  // field values of text, memo and blob fields pass through it.
  framework::TComponent* Encrypter() const { return encrypter_; }
  void SetEncrypter(framework::TComponent* encrypter);

  // ---- Read by record access, searching and linking ----
  bool UseGetRecNo() const { return use_get_rec_no_; }
  void SetUseGetRecNo(bool value) { use_get_rec_no_ = value; }
  bool UseRecordCount() const { return use_record_count_; }
  void SetUseRecordCount(bool value) { use_record_count_ = value; }
  bool WarnOnBadDatabase() const { return warn_on_bad_database_; }
  void SetWarnOnBadDatabase(bool value) { warn_on_bad_database_ = value; }
  bool RefreshSorted() const { return refresh_sorted_; }
  void SetRefreshSorted(bool value) { refresh_sorted_ = value; }
  // OEM/ANSI conversion of texts (TranslateText).
  bool Translation() const { return translation_; }
  void SetTranslation(bool value) { translation_ = value; }
  bool UseBrackets() const { return use_brackets_; }
  void SetUseBrackets(bool value) { use_brackets_ = value; }
  bool AutoFindIndex() const { return auto_find_index_; }
  void SetAutoFindIndex(bool value) { auto_find_index_ = value; }
  // Streamed with the form; nothing here reads or raises them.
  TExportMethod ExportMethod() const { return export_method_; }
  void SetExportMethod(TExportMethod value) { export_method_ = value; }
  bool ProcessMessages() const { return process_messages_; }
  void SetProcessMessages(bool value) { process_messages_ = value; }
  TExportProgressEvent OnExportProgress;
  TImportProgressEvent OnImportProgress;

  // ---- Published read-only values (assignments are ignored) ----
  std::string ComponentVersion() const { return "9.10"; }
  void SetComponentVersion(const std::string&) {}
  std::string TableDateCreated();
  void SetTableDateCreated(const std::string&) {}
  std::string TableLastUpdated();
  void SetTableLastUpdated(const std::string&) {}
  int IndexFieldCount();
  void SetIndexFieldCount(int) {}
  bool LockEdits();
  void SetLockEdits(bool) {}

  // ---- Services ----
  // The index names of TableName's definition; empty without a connection or on failure.
  framework::TStringList TableIndexNames();
  // Whether `properties` holds a property of that name (ignoring case); false on failure.
  static bool HasDaoProperty(const std::shared_ptr<dao::Properties>& properties,
                             const std::string& name);
  // Opens the recordset from the settings (see dao_table_open.cpp).
  void OpenDaoRecordset();
  // Nulls the field references, closes and drops the recordset; failures are ignored.
  void CloseDaoRecordset();
  // Posts or cancels an edit, then closes and reopens the recordset and goes to the first record;
  // field definitions and fields stay.
  void ReopenDaoRecordset();
  // The 32-bit bookmark of a recordset's current record (0 at BOF/EOF or without bookmarks) and
  // of its LastModified record.
  int32_t RecordsetBookmark(const std::shared_ptr<Recordset>& recordset);
  int32_t LastModifiedBookmark(const std::shared_ptr<Recordset>& recordset);
  // Makes the record of a 32-bit bookmark the recordset's current one; a record deleted by
  // another user (3167) goes to the first record before the error passes on.
  void GotoDaoBookmark(int32_t bookmark);
  // Resynchronises the buffers with the recordset and, when that fails, reopens the recordset
  // and returns to about the same record number.
  void ResyncOrReopen();
  // Text conversions between the field types and their value texts.
  static std::string DayToText(int32_t day);
  static std::string MillisecondsToText(int32_t milliseconds);
  static std::string DateTimeToText(double value);

  // ---- Inner state shared by the table's parts ----
  const std::shared_ptr<Recordset>& DaoRecordset() const { return dao_recordset_; }
  const std::shared_ptr<Recordset>& BaseRecordset() const { return base_recordset_; }
  const std::vector<std::shared_ptr<Field>>& DaoFields() const { return dao_fields_; }
  int OpenOptionsValue() const { return open_options_value_; }
  const std::string& SortText() const { return sort_text_; }
  bool BookmarksSupported() const { return bookmarks_supported_; }
  const framework::TStringList& FieldDefaults() const { return field_defaults_; }
  const std::vector<bool>& FieldWritable() const { return field_writable_; }
  const framework::TStringList& FieldCaptions() const { return field_captions_; }
  bool OpenFlag() const { return open_flag_; }
  bool MasterIdle() const { return master_idle_; }
  bool EncrypterReady() const { return encrypter_ready_; }
  const std::string& IdentifierChars() const { return identifier_chars_; }
  dataset::TMasterDataLink& MasterLink() { return *master_link_; }
  // Position bookkeeping of the recordset's cursor.
  int32_t CursorIndex() const { return current_index_; }
  int32_t KnownCount() const { return known_count_; }
  bool CountStale() const { return count_stale_; }

  // ---- IOpenTable ----
  void SetClosedByDatabase(bool closed) override { closed_by_database_ = closed; }
  bool ClosedByDatabase() const override { return closed_by_database_; }
  void CloseTable() override { Close(); }
  void SetTableReadOnly(bool read_only) override { read_only_ = read_only; }

  // The buffer of a field value operation in the current state (null when there is none).
  TDaoRecordBuffer* StateBuffer();

 protected:
  void Notification(framework::TComponent* component, framework::TOperation operation) override;

  // ---- The dataset contract ----
  void ClearCalcArea(dataset::TRecordBuffer buffer) override;
  std::string BookmarkText() override;
  bool CanModifyData() override;
  int CountRecords() override;
  int CurrentRecNo() override;
  void CancelRecord() override;
  void EditRecord() override;
  void RefreshRecords() override;
  void GotoBookmarkText(const std::string& text) override;
  void MoveToRecNo(int rec_no) override;
  dataset::TRecordBuffer NewRecordBuffer() override;
  void DisposeRecordBuffer(dataset::TRecordBuffer& buffer) override;
  void BookmarkOfBuffer(dataset::TRecordBuffer buffer, void* out) override;
  dataset::TBookmarkFlag BookmarkFlagOf(dataset::TRecordBuffer buffer) override;
  uint16_t RecordBufferSize() override;
  void AddRecordAt(dataset::TRecordBuffer buffer, bool append) override;
  void RemoveRecord() override;
  void CursorToFirst() override;
  void CursorToLast() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InitRecordBuffer(dataset::TRecordBuffer buffer) override;
  void StoreRecord() override;
  void CursorToRecord(dataset::TRecordBuffer buffer) override;
  void SetBookmarkFlagOf(dataset::TRecordBuffer buffer, dataset::TBookmarkFlag flag) override;
  void SetBookmarkOfBuffer(dataset::TRecordBuffer buffer, const void* data) override;
  void WriteFieldValue(dataset::TField& field, const void* data) override;
  dataset::TFetchResult FetchRecord(dataset::TRecordBuffer buffer, dataset::TFetchMode mode,
                                    bool check) override;
  void CursorClose() override;
  void BuildFieldDefs() override;
  void CursorOpen() override;
  bool CursorIsOpen() override { return open_flag_; }
  bool BookmarkIsValid(const void* bookmark) override;
  int OrderBookmarks(const void* a, const void* b) override;
  bool CopyActiveRecord(dataset::TRecordBuffer dest) override;
  bool ReadFieldValue(dataset::TField& field, void* dest) override;

 public:
  // Posts through the dataset; with SortedBy and RefreshSorted the recordset is requeried and
  // the first record shown.
  void PostRecord() override;
  // OEM/ANSI conversion of a zero-terminated text when Translation is on.
  int TranslateText(const char* src, char* dest, bool to_oem) override;

 private:
  static TDaoRecordBuffer* Buf(dataset::TRecordBuffer buffer) {
    return static_cast<TDaoRecordBuffer*>(buffer);
  }
  void RefuseWhileActive(const char* message) const;
  void SqlChanged();
  // Settings whose change closes and reopens an open table.
  void ReopenAfterCacheChange();
  void ClearDefinitions();
  // A reopen for Filtered/Filter: as ReopenDaoRecordset, but First only on a non-empty table.
  void ReopenForFilter();
  int EngineType() const;
  void FreeEngineCaches();
  // The DAO error number of an exception (0 for errors that are not DAO's).
  static int DaoErrorNumber(const std::exception& error);
  // Recordset walking and bookkeeping.
  bool FilterActive() const;
  bool AcceptRecord(TDaoRecordBuffer* buffer);
  int32_t IndexOfBookmark(const std::shared_ptr<Recordset>& recordset, int32_t bookmark);
  void RememberBookmark(int32_t index, int32_t bookmark);
  void ClearBookmarkMap();
  void CheckTableCount(int32_t& count);
  // Record loading and writing.
  bool LoadRecord(const std::shared_ptr<Recordset>& recordset, bool use_field_objects,
                  TDaoRecordBuffer* buffer);
  void PutFieldValue(int index, dataset::TField& field, std::string text);
  void WriteMarkedValues(TDaoRecordBuffer* buffer);
  // The exception an error event is given: the engine's description and number of `error`.
  framework::EOleException EventError(const std::exception& error);
  void CopyBuffer(const TDaoRecordBuffer& from, TDaoRecordBuffer& to);
  void ReplaceOldValues();
  void FreeOldValues();
  std::string EncryptText(const std::string& text);
  std::string DecryptText(const std::string& text);
  void SettleEncrypter();
  void ApplyFieldSettings();
  void OpenNarrowing();
  void RefillDaoFields();
  void ResetPositions();
  void CopyMasterValuesToParams();
  void Reopen();
  void MemoDisplayText(dataset::TField& field, std::string& text);
  void GuidDisplayText(dataset::TField& field, std::string& text);
  void GuidTextInput(dataset::TField& field, const std::string& text);
  void AddToOpenTables();
  void RemoveFromOpenTables();
  static std::string StripSingleQuotes(const std::string& text);

  // Settings.
  TUxDaoDatabase* database_ = nullptr;
  std::string table_name_;
  framework::TStringList sql_;
  std::string query_def_name_;
  framework::TStringList query_def_parameters_;
  framework::TStringList query_def_sql_text_;
  bool query_def_sql_modify_ = false;
  int query_def_odbc_max_records_ = 0;
  int query_def_type_code_ = 0;
  dataset::TParams params_;
  bool param_check_ = true;
  int table_type_ = 2;
  int lock_type_ = 3;
  TOpenOptions open_options_ = 0;
  bool read_only_ = false;
  std::string index_name_;
  framework::TStringList sorted_by_;
  bool filtered_ = false;
  std::string filter_text_;
  bool database_auto_activate_ = false;
  framework::TStringList master_fields_;
  bool master_auto_activate_ = true;
  bool use_dao_properties_ = true;
  bool use_captions_ = false;
  bool cache_memos_ = false;
  bool cache_blobs_ = false;
  bool cache_lookups_ = false;
  bool show_guid_ = false;
  framework::TComponent* encrypter_ = nullptr;
  bool use_get_rec_no_ = true;
  bool use_record_count_ = true;
  bool warn_on_bad_database_ = false;
  bool refresh_sorted_ = false;
  bool translation_ = false;
  bool use_brackets_ = true;
  bool auto_find_index_ = true;
  TExportMethod export_method_ = TExportMethod::VisibleFields;
  bool process_messages_ = false;

  // Inner state.
  bool ole_initialized_ = false;
  std::shared_ptr<Recordset> dao_recordset_;
  std::shared_ptr<Recordset> base_recordset_;
  std::vector<std::shared_ptr<Field>> dao_fields_;
  int open_options_value_ = 0;
  std::string sort_text_;
  bool bookmarks_supported_ = false;
  framework::TStringList field_defaults_;
  std::vector<bool> field_writable_;
  framework::TStringList field_captions_;
  bool open_flag_ = false;
  bool master_idle_ = true;
  bool encrypter_ready_ = false;
  const framework::TPropertyInfo* encoded_property_ = nullptr;
  const framework::TPropertyInfo* decoded_property_ = nullptr;
  std::string identifier_chars_;
  std::unique_ptr<dataset::TMasterDataLink> master_link_;
  std::vector<std::string> detail_names_;  // parsed MasterFields, detail side
  std::vector<std::string> master_names_;  // and master side
  bool closed_by_database_ = false;
  bool cursor_opening_ = false;  // BuildFieldDefs runs inside CursorOpen
  int value_count_ = 0;          // entries of a value list, fixed at opening
  std::vector<dataset::TField*> def_fields_;  // the field object of each definition, or null
  bool in_store_ = false;        // StoreRecord runs: fetches must not post again

  // Position bookkeeping.
  int32_t current_index_ = -1;
  int32_t forward_index_ = -1;
  int32_t known_count_ = -1;
  bool count_stale_ = true;
  int32_t cached_count_ = -1;
  bool rec_no_stale_ = false;
  TDaoRecordBuffer* old_values_buffer_ = nullptr;
  TDaoRecordBuffer* filter_buffer_ = nullptr;
  TDaoRecordBuffer* work_buffers_[3] = {nullptr, nullptr, nullptr};
  // The bookmark map (IndexList/BookmarkList): record index -> bookmark and back.
  std::map<int32_t, int32_t> bookmark_of_index_;
  std::unordered_map<int32_t, int32_t> index_of_bookmark_;

  // ---- Master-detail linking (dao_table_master.cpp) ----
 public:
  // Opens the recordset again for the master's current record, without closing the previous
  // one (the caller has): a table-name detail reads the records of the new condition, a query
  // or SQL detail requeries its base recordset and narrows it anew. Raises when that is not
  // possible (no master names, no base recordset) or DAO refuses; the caller then opens fully.
  void ReopenDetailRecordset();

 protected:
  // Fills the detail's link fields of a new record from the master's record, then runs
  // OnNewRecord.
  void DoOnNewRecord() override;

 private:
  // Notifications of the master data link.
  void MasterChanged();
  void MasterDisabled();
  // Reopens the detail for the master's current record unless something holds it back (the
  // master inactive, in edit or with controls disabled, no link fields); goes to the first
  // record.
  void RefreshDetail();
  // The master part of the opening: settles MasterIdle (opening the master when
  // MasterAutoActivate asks for it), parses MasterFields and narrows the recordset to the
  // master's current record.
  void RestrictToMaster();
  // Opens a closed master when MasterAutoActivate asks for it and settles MasterIdle.
  void SettleMasterIdle();
  // Parses MasterFields into the pair lists and gives the master names to the link, without the
  // link's change notice reaching the detail.
  void ParseMasterLink();
  // The reopening of a changed link; a detail that cannot be opened again is closed.
  void ReopenForLink();
  void CloseAfterFailedOpen();
  bool master_notices_held_ = false;

  // ---- Searching: Locate, the find operations and Lookup (dao_table_search.cpp) ----
 public:
  // Makes current the first record whose `key_fields` (names separated by ";") equal
  // `key_values` (one value, or an array with one element per name; Null or the text "NULL"
  // stands for a null field). A table-type recordset is searched with Seek on an index chosen by
  // the key fields (or IndexName), other recordsets with FindFirst on a clone; the dataset moves
  // only when a record is found. False, without moving and without error, on an empty dataset,
  // while a filter handler is active, or without a connected database. A different number of
  // names and values raises EDatabaseError; a table-type recordset without a usable index raises
  // "Index Property is Empty!...".
  bool Locate(const std::string& key_fields, const framework::Variant& key_values,
              dataset::TLocateOptions options) override;
  // The first, last, next or previous record (from the current one) whose key fields match, by
  // the recordset's own Find methods on a clone; a match becomes the current record, otherwise
  // nothing moves. False without error on an empty dataset, while a filter handler is active and
  // on a recordset without bookmarks. Unknown field names raise the field lookup's error; DAO
  // errors (a table-type recordset has no Find) pass on.
  bool FindFirstMatch(const std::string& key_fields, const framework::Variant& key_values,
                      dataset::TLocateOptions options = 0);
  bool FindLastMatch(const std::string& key_fields, const framework::Variant& key_values,
                     dataset::TLocateOptions options = 0);
  bool FindNextMatch(const std::string& key_fields, const framework::Variant& key_values,
                     dataset::TLocateOptions options = 0);
  bool FindPriorMatch(const std::string& key_fields, const framework::Variant& key_values,
                      dataset::TLocateOptions options = 0);
  // Stores the key that the dataset's FindFirst, FindLast, FindNext and FindPrior search for.
  void SetFindKey(const std::string& key_fields, const framework::Variant& key_values,
                  dataset::TLocateOptions options = 0);
  // The values of `result_fields` (";"-separated) of the first record whose key fields equal
  // the key values: one value for one name, an array from 0 otherwise; the Boolean false when no
  // record matches or the dataset is empty. The database engine searches a second recordset
  // opened with a temporary Filter, so the dataset's record, buffers and state stay as they are.
  // Raises EDatabaseError for a count mismatch, no result fields or an unknown result field,
  // before anything is changed.
  framework::Variant Lookup(const std::string& key_fields, const framework::Variant& key_values,
                            const std::string& result_fields) override;
  // The name of an index definition whose fields cover `fields` (";"-separated, a leading "!"
  // asks for an index of exactly those fields); empty unless TableType is 1 and IndexDefs is not
  // empty. In loose mode only an index that starts with one of the fields serves.
  std::string IndexForFields(const std::string& fields);
  // The 0-based record number of `bookmark` found by walking `recordset` from an estimate of its
  // position; -1 when UseGetRecNo is false. Moves `recordset`.
  int32_t RecordNumberOfBookmark(const std::shared_ptr<Recordset>& recordset, int32_t bookmark);

 protected:
  // The dataset's find hook: the stored find key searched from the start or end (restart) or
  // from the current record, forward or backward.
  bool FindRecordByKey(bool restart, bool go_forward) override;

 private:
  // direction: 1 FindFirst, 2 FindLast, 3 FindNext, 4 FindPrevious.
  bool FindMatch(const std::string& key_fields, const framework::Variant& key_values,
                 int direction, dataset::TLocateOptions options);
  // Makes the record the clone stands on the dataset's current record.
  bool MoveToClonedRecord(const std::shared_ptr<Recordset>& clone, bool by_position,
                          dataset::TResyncOptions resync);
  bool SeekForLocate(const std::vector<std::string>& names, const std::vector<std::string>& values,
                     const std::string& index_name, dataset::TLocateOptions options,
                     bool by_position);
  bool ScanForLocate(const std::vector<std::string>& names, const std::vector<std::string>& values,
                     dataset::TLocateOptions options, int32_t p0);
  std::string find_key_fields_;
  framework::Variant find_key_values_ = framework::Variant::Null();
  dataset::TLocateOptions find_options_ = 0;

  // ---- Blob streams and index definitions (dao_table_blobs_indexes.cpp) ----
 public:
  // A TUxBlobStream over `field` of the record of the current state (see blob_stream.h).
  std::unique_ptr<framework::TStream> CreateBlobStream(dataset::TField& field,
                                                       dataset::TBlobStreamMode mode) override;

 protected:
  // Changes the DAO table's indexes to match IndexDefs, a TUxDaoIndexDefs, and reads them again.
  void UpdateIndexDefs() override;

 private:
  friend class TUxBlobStream;
  // Installs the table's own index-definition collection while the table is being built.
  struct TIndexDefsInstaller {
    explicit TIndexDefsInstaller(TUxDaoTable* table);
  };
  TIndexDefsInstaller index_defs_installer_{this};
};

// Makes TUxDaoTable known to the form reader with its stored properties, "ParamData" included
// (also done when the program starts; calling it again is harmless).
void RegisterUxDaoTableClass();

}  // namespace dao
