// Recognises a genuine Microsoft Access database (Jet 3/4 .mdb, ACE .accdb) by its first page,
// so that opening one can say how to convert it instead of calling it damaged.
#pragma once

#include <string>

namespace engine {

// True when the first bytes of `header` are those of a Jet or ACE database file.
bool IsAccessHeader(const std::string& header);
// True when the file at `path` starts like a Jet or ACE database file; false when it does not or
// cannot be read.
bool IsAccessFile(const std::string& path);

}  // namespace engine
