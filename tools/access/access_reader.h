// Reading a genuine Access file (Jet 3, Jet 4 or ACE) with libmdb, read-only: its user tables
// with columns, indexes and records, its saved queries, linked tables and relationships.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/exception.h"
#include "framework/variant.h"
#include "tools/access/access_schema.h"

namespace access_file {

using framework::Variant;

// A file that cannot be read as an Access database (missing, unreadable, not Access, damaged).
class AccessError : public framework::Exception {
 public:
  using framework::Exception::Exception;
};

class AccessReader {
 public:
  // Opens `path` for reading; the file is never written. Raises AccessError when it cannot be
  // read, is not an Access database or is cut short.
  explicit AccessReader(const std::string& path);
  ~AccessReader();
  AccessReader(const AccessReader&) = delete;
  AccessReader& operator=(const AccessReader&) = delete;

  // "Jet 3 (Access 97)", "Jet 4 (Access 2000-2003)" or "ACE (Access 2007 or later)".
  std::string FormatName() const;

  // The user tables, in the order of the file's catalog.
  std::vector<std::string> TableNames() const;
  // The definition of a table (user or system).
  AccessTable ReadTable(const std::string& name) const;
  // Calls `record` with the values of every record of `table`, in the order of its columns:
  // Null, or the value in the kind the DAO field of the column's type answers (texts as UTF-8,
  // OLE objects and binaries as bytes, Replication IDs as 16 bytes; decimals as their exact
  // decimal text, see DecimalText; complex columns give Null). Raises AccessError when fewer or
  // more records can be read than the table states (a damaged file).
  void ReadRecords(const AccessTable& table, const std::function<void(const std::vector<Variant>&)>& record) const;

  std::vector<AccessQuery> Queries() const;
  // Records of the file's own tables (object list, queries, relationships) that libmdb could not
  // make out and that were passed over; what they describe is missing from the lists below.
  uint64_t UnreadableSystemRecords() const { return unreadable_system_records_; }
  std::vector<AccessLink> Links() const;
  std::vector<AccessRelationship> Relationships() const;

 private:
  struct Handle;
  using SystemRow = std::vector<std::pair<std::string, Variant>>;
  // The records of one of the file's own tables as rows of name → value; each is read once, so
  // its unreadable records are counted once however many lists draw on it.
  const std::vector<SystemRow>& SystemRows(const std::string& table) const;

  std::string path_;
  std::unique_ptr<Handle> handle_;
  mutable uint64_t unreadable_system_records_ = 0;
  mutable std::map<std::string, std::vector<SystemRow>> system_rows_;
};

}  // namespace access_file
