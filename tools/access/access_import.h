// dbsh --import-access SOURCE DEST: converts a genuine Access file into a new engine database and
// reports what was carried over and what was not.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace access_file {

// What a conversion carried over (one line per table and per query) and what it did not, each
// item with its reason.
struct Summary {
  std::vector<std::string> carried;
  std::vector<std::string> not_carried;

  // The lines printed at the end of a conversion.
  std::string Text() const;
};

// Exit statuses of dbsh --import-access.
constexpr int kImportComplete = 0;
constexpr int kImportFailed = 1;
constexpr int kImportPartial = 3;  // some items were not carried over; the summary lists them

// When a conversion reports its progress: a table with more records than `threshold` shows a
// line every `step` records and one when it is done.
struct ProgressSteps {
  uint64_t threshold = 5000;
  uint64_t step = 5000;
};

// Converts `source` into a new engine database at `dest`, which must not exist, in this process.
// Progress of large tables goes to `progress`. Raises framework::Exception on failure, leaving
// whatever was written at `dest`.
Summary ConvertAccess(const std::string& source, const std::string& dest, std::ostream& progress,
                      const ProgressSteps& steps = {});

// The whole command: refuses an existing DEST, converts into a temporary file beside DEST in a
// child process (so that a file that makes libmdb fail in any way cannot take dbsh down with it or
// leave a half-written DEST) and renames it to DEST when the conversion succeeded. The summary goes
// to `out`, errors to `err`, progress to standard error. Answers the exit status.
int ImportAccess(const std::string& source, const std::string& dest, std::ostream& out, std::ostream& err);

}  // namespace access_file
