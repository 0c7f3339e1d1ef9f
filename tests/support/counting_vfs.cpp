#include "tests/support/counting_vfs.h"

#include <sqlite3.h>

#include <atomic>

namespace testsupport {

namespace {

std::atomic<int64_t> g_locks{0};
sqlite3_vfs* g_base = nullptr;

// A file of the counting VFS: the real file of the default VFS follows it in the same memory.
struct File {
  sqlite3_file base;
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

File* Of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
const sqlite3_io_methods* Real(sqlite3_file* f) { return Of(f)->real()->pMethods; }

int Close(sqlite3_file* f) { return Real(f)->xClose(Of(f)->real()); }
int Read(sqlite3_file* f, void* p, int n, sqlite3_int64 off) { return Real(f)->xRead(Of(f)->real(), p, n, off); }
int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 off) { return Real(f)->xWrite(Of(f)->real(), p, n, off); }
int Truncate(sqlite3_file* f, sqlite3_int64 size) { return Real(f)->xTruncate(Of(f)->real(), size); }
int Sync(sqlite3_file* f, int flags) { return Real(f)->xSync(Of(f)->real(), flags); }
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->xFileSize(Of(f)->real(), size); }
int Lock(sqlite3_file* f, int level) {
  ++g_locks;
  return Real(f)->xLock(Of(f)->real(), level);
}
int Unlock(sqlite3_file* f, int level) {
  ++g_locks;
  return Real(f)->xUnlock(Of(f)->real(), level);
}
int CheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->xCheckReservedLock(Of(f)->real(), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->xFileControl(Of(f)->real(), op, arg); }
int SectorSize(sqlite3_file* f) { return Real(f)->xSectorSize(Of(f)->real()); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->xDeviceCharacteristics(Of(f)->real()); }
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** p) {
  return Real(f)->xShmMap(Of(f)->real(), region, size, extend, p);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  ++g_locks;
  return Real(f)->xShmLock(Of(f)->real(), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Real(f)->xShmBarrier(Of(f)->real()); }
int ShmUnmap(sqlite3_file* f, int remove) { return Real(f)->xShmUnmap(Of(f)->real(), remove); }
int Fetch(sqlite3_file* f, sqlite3_int64 off, int n, void** p) { return Real(f)->xFetch(Of(f)->real(), off, n, p); }
int Unfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return Real(f)->xUnfetch(Of(f)->real(), off, p); }

const sqlite3_io_methods kMethods = {3,         Close,       Read,        Write,    Truncate, Sync,
                                     FileSize,  Lock,        Unlock,      CheckReservedLock,  FileControl,
                                     SectorSize, DeviceCharacteristics,   ShmMap,   ShmLock,  ShmBarrier,
                                     ShmUnmap,  Fetch,       Unfetch};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out_flags) {
  File* file = Of(f);
  file->base.pMethods = nullptr;
  const int rc = g_base->xOpen(g_base, name, file->real(), flags, out_flags);
  // The real file's methods are older than version 3 only for files without shared memory.
  if (rc == SQLITE_OK && file->real()->pMethods != nullptr) file->base.pMethods = &kMethods;
  return rc;
}

sqlite3_vfs g_vfs;

}  // namespace

void InstallCountingVfs() {
  if (g_base != nullptr) return;
  g_base = sqlite3_vfs_find(nullptr);
  g_vfs = *g_base;
  g_vfs.zName = "counting";
  g_vfs.szOsFile = static_cast<int>(sizeof(File)) + g_base->szOsFile;
  g_vfs.xOpen = Open;
  sqlite3_vfs_register(&g_vfs, 1);
}

int64_t LockCalls() { return g_locks.load(); }

}  // namespace testsupport
