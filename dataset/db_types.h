// The enumerations and small types shared by the dataset, its fields, definitions and links:
// dataset states, field kinds and types, bookmark flags, fetch modes and results, resync options,
// error-event answers, index and parameter options, data events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dataset {

// State of a dataset. Ordinals are fixed: subclasses and their peers test them by number.
enum DataSetState : uint8_t {
  stInactive = 0,
  stBrowse = 1,
  stEdit = 2,
  stInsert = 3,
  stSetKey = 4,
  stCalcFields = 5,
  stFilter = 6,
  stNewValue = 7,
  stOldValue = 8,
  stCurValue = 9,
  stBlockRead = 10,
  stInternalCalc = 11,
  stOpening = 12,
};

// Name of a state ("stBrowse"), for messages and logs.
const char* DataSetStateName(DataSetState state);

enum TFieldKind : uint8_t {
  fkData = 0,
  fkCalculated = 1,
  fkLookup = 2,
  fkInternalCalc = 3,
  fkAggregate = 4,
};

enum TFieldType : uint8_t {
  ftUnknown = 0,
  ftString = 1,
  ftSmallint = 2,
  ftInteger = 3,
  ftWord = 4,
  ftBoolean = 5,
  ftFloat = 6,
  ftCurrency = 7,
  ftBCD = 8,
  ftDate = 9,
  ftTime = 10,
  ftDateTime = 11,
  ftBytes = 12,
  ftVarBytes = 13,
  ftAutoInc = 14,
  ftBlob = 15,
  ftMemo = 16,
  ftGraphic = 17,
  ftFmtMemo = 18,
  ftParadoxOle = 19,
  ftDBaseOle = 20,
  ftTypedBinary = 21,
  ftCursor = 22,
  ftFixedChar = 23,
  ftWideString = 24,
  ftLargeint = 25,
  ftADT = 26,
  ftArray = 27,
  ftReference = 28,
  ftDataSet = 29,
  ftOraBlob = 30,
  ftOraClob = 31,
  ftVariant = 32,
  ftInterface = 33,
  ftIDispatch = 34,
  ftGuid = 35,
  ftTimeStamp = 36,
  ftFMTBcd = 37,
};

// Name of a field type ("Integer", "String"), as used in messages.
const char* FieldTypeName(TFieldType type);

// Where a buffer stands relative to the records: on a record, before the first, after the
// last, or a record being inserted.
enum TBookmarkFlag : uint8_t {
  bmfCurrent = 0,
  bmfBof = 1,
  bmfEof = 2,
  bmfInserted = 3,
};

enum TFetchMode : uint8_t {
  fetchCurrent = 0,
  fetchNext = 1,
  fetchPrior = 2,
};

enum TFetchResult : uint8_t {
  fetchOk = 0,
  fetchBof = 1,
  fetchEof = 2,
  fetchError = 3,
};

// Options of ResyncBuffers, combined as a bit set.
enum TResyncMode : uint8_t {
  rsExact = 1,   // the current record must be found again, else "record not found"
  rsCenter = 2,  // place the current record in the middle of the ring
};
using TResyncOptions = uint8_t;

// Answer of OnEditError, OnPostError and OnDeleteError.
enum TDataAction : uint8_t {
  eaFail = 0,   // raise the error
  eaAbort = 1,  // give up quietly
  eaRetry = 2,  // try the operation again
};

// Options of an index definition, combined as a bit set.
enum TIndexOption : uint8_t {
  ixPrimary = 1,
  ixUnique = 2,
  ixDescending = 4,
  ixCaseInsensitive = 8,
  ixExpression = 16,
};
using TIndexOptions = uint8_t;

// Direction of a query parameter.
enum TParamType : uint8_t {
  ptUnknown = 0,
  ptInput = 1,
  ptOutput = 2,
  ptInputOutput = 3,
  ptResult = 4,
};

// Options of Locate, combined as a bit set.
enum TLocateOption : uint8_t {
  loCaseInsensitive = 1,
  loPartialKey = 2,
};
using TLocateOptions = uint8_t;

// Notifications a dataset sends to its data sources and links.
enum TDataEvent : uint8_t {
  deFieldChange,      // info: the field
  deRecordChange,     // info: the field, or none for the whole record
  deDataSetChange,    // the records shown changed
  deDataSetScroll,    // info: distance the ring moved
  deLayoutChange,     // fields were added, removed or rearranged
  deUpdateRecord,     // controls must write their pending edits
  deUpdateState,      // the state changed
  deCheckBrowseMode,  // a post or cancel is about to happen
  deFocusControl,     // info: the field
};

// How a blob stream is opened.
enum TBlobStreamMode : uint8_t {
  bmRead = 0,
  bmWrite = 1,
  bmReadWrite = 2,
};

// A record buffer, opaque to the base. Buffers are created and freed only by the subclass
// (NewRecordBuffer/DisposeRecordBuffer), which derives its own buffer struct from this one and
// alone knows its layout; the base only moves the handles around its ring and hands them back.
struct RecordBufferData {};
using TRecordBuffer = RecordBufferData*;

// A bookmark taken from a dataset: the bytes of its announced bookmark size (empty = none).
using TBookmark = std::vector<uint8_t>;

}  // namespace dataset
