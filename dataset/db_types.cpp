#include "dataset/db_types.h"

namespace dataset {

const char* DataSetStateName(DataSetState state) {
  static const char* const kNames[] = {
      "stInactive", "stBrowse",   "stEdit",     "stInsert",    "stSetKey",
      "stCalcFields", "stFilter", "stNewValue", "stOldValue",  "stCurValue",
      "stBlockRead", "stInternalCalc", "stOpening"};
  return state <= stOpening ? kNames[state] : "stUnknown";
}

const char* FieldTypeName(TFieldType type) {
  static const char* const kNames[] = {
      "Unknown",  "String",     "SmallInt",   "Integer",     "Word",       "Boolean",
      "Float",    "Currency",   "BCD",        "Date",        "Time",       "DateTime",
      "Bytes",    "VarBytes",   "AutoInc",    "Blob",        "Memo",       "Graphic",
      "FmtMemo",  "ParadoxOle", "DBaseOle",   "TypedBinary", "Cursor",     "FixedChar",
      "WideString", "Largeint", "ADT",        "Array",       "Reference",  "DataSet",
      "OraBlob",  "OraClob",    "Variant",    "Interface",   "IDispatch",  "Guid",
      "TimeStamp", "FMTBcd"};
  return type <= ftFMTBcd ? kNames[type] : "Unknown";
}

}  // namespace dataset
