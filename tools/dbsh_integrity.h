// dbsh --check and dbsh --repair: the integrity of a database file, and the salvage of a damaged
// one into a new file.
#pragma once

#include <ostream>
#include <string>

namespace dbsh {

// Checks the database file `path`: prints "ok" or one line per problem to `out`. Answers the
// exit status: 0 sound, 1 damaged or not readable (the reason on `err`).
int CheckDatabase(const std::string& path, std::ostream& out, std::ostream& err);

// Copies what can be read of `damaged` into the new file `repaired` and prints what was saved
// and lost to `out`. Answers the exit status: 0 when the new file holds everything, 1 when rows
// or schema entries were lost (the new file is written all the same) or nothing could be done.
int RepairDatabase(const std::string& damaged, const std::string& repaired, std::ostream& out,
                   std::ostream& err);

}  // namespace dbsh
