#include "tools/access/access_schema.h"

#include "dao/dao_constants.h"

namespace access_file {

int DaoTypeOf(int access_type) {
  switch (access_type) {
    case kBoolean: return dao::dbBoolean;
    case kByte: return dao::dbByte;
    case kInteger: return dao::dbInteger;
    case kLong: return dao::dbLong;
    case kCurrency: return dao::dbCurrency;
    case kSingle: return dao::dbSingle;
    case kDouble: return dao::dbDouble;
    case kDateTime: return dao::dbDate;
    case kBinary: return dao::dbBinary;
    case kText: return dao::dbText;
    case kOle: return dao::dbLongBinary;
    case kMemo: return dao::dbMemo;
    case kGuid: return dao::dbGUID;
    case kNumeric: return dao::dbDecimal;
    default: return 0;
  }
}

const char* AccessTypeName(int access_type) {
  switch (access_type) {
    case kBoolean: return "Yes/No";
    case kByte: return "Byte";
    case kInteger: return "Integer";
    case kLong: return "Long Integer";
    case kCurrency: return "Currency";
    case kSingle: return "Single";
    case kDouble: return "Double";
    case kDateTime: return "Date/Time";
    case kBinary: return "Binary";
    case kText: return "Text";
    case kOle: return "OLE Object";
    case kMemo: return "Memo";
    case kGuid: return "Replication ID";
    case kNumeric: return "Decimal";
    case kComplex: return "attachment, multi-value or version-history";
    default: return "unknown";
  }
}

}  // namespace access_file
