// A SQLite VFS for tests that counts the lock calls SQLite makes (file locks and the WAL's shared
// memory locks) and otherwise hands every call to the default VFS. Install it as the default
// before a database is opened; the counts cover every file opened through it.
#pragma once

#include <cstdint>

namespace testsupport {

// Registers the counting VFS as SQLite's default (once; later calls do nothing).
void InstallCountingVfs();
// Lock calls (xLock, xUnlock, xShmLock) made through the counting VFS so far.
int64_t LockCalls();

}  // namespace testsupport
