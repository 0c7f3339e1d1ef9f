// What a genuine Access file holds, as the converter sees it: tables with their columns and
// indexes, saved queries, linked tables and relationships. Filled by AccessReader, written into an
// engine database by the converter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace access_file {

// Access's own codes of the column types (as stored in the file).
enum AccessType : int {
  kBoolean = 0x01,
  kByte = 0x02,
  kInteger = 0x03,
  kLong = 0x04,
  kCurrency = 0x05,
  kSingle = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,
  kText = 0x0a,
  kOle = 0x0b,
  kMemo = 0x0c,
  kGuid = 0x0f,
  kNumeric = 0x10,
  kComplex = 0x12,  // attachment, multi-value and version-history fields (ACE)
};

struct AccessColumn {
  std::string name;
  int type = kText;
  int32_t size = 0;       // in characters for text, in bytes otherwise
  int precision = 0;      // numeric only
  int scale = 0;          // numeric only
  bool auto_number = false;  // a Long AutoNumber
  bool auto_guid = false;    // a Replication ID filled by GenGUID()
  bool required = false;
  bool allow_zero_length = true;
  std::string default_value;  // as Access stores it, without a leading "="
};

struct AccessIndexColumn {
  std::string column;
  bool descending = false;
};

struct AccessIndex {
  std::string name;
  bool primary = false;
  bool unique = false;
  bool ignore_nulls = false;
  bool required = false;
  std::vector<AccessIndexColumn> columns;
};

struct AccessTable {
  std::string name;
  std::vector<AccessColumn> columns;
  std::vector<AccessIndex> indexes;
  uint32_t record_count = 0;  // as the table's definition states it
};

// One row of the file's query definitions table (MSysQueries).
struct QueryRow {
  int attribute = 0;
  std::string name1, name2, expression;
  int flag = 0;
  bool has_flag = false;
};

struct AccessQuery {
  std::string name;
  std::vector<QueryRow> rows;
};

struct AccessLink {
  std::string name;
  std::string source;  // the linked file or connect text and the table's name there
};

struct AccessRelationship {
  std::string name;
  std::string table, referenced_table;
  std::vector<std::string> columns, referenced_columns;
};

// The DAO type of an Access column type (dbText ...), or 0 for types that have none.
int DaoTypeOf(int access_type);
// Access's name of a column type, as its table design shows it ("Text", "Yes/No" ...).
const char* AccessTypeName(int access_type);

}  // namespace access_file
