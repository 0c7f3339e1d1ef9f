// An exclusive lock held on a lock file, for work of which only one process at a time may run
// (one import per database). It is an flock(2) lock: the system drops it when its holder ends in
// any way, killed or crashed included, so a lock is never left behind held.
#pragma once

#include <chrono>
#include <string>

namespace framework {

class TFileLock {
 public:
  TFileLock() = default;
  ~TFileLock() { Release(); }
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;
  TFileLock(TFileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFileLock& operator=(TFileLock&& other) noexcept;

  // Takes the lock on `path`, creating the file when it is missing, and waits up to `wait` for a
  // holder to give it up; answers false when the holder kept it that long. The file is left in
  // place afterwards (removing it could let two processes hold locks on two different files).
  // Raises EInOutError naming the file when it cannot be opened, and EStopRequested when a stop
  // is requested while waiting.
  bool Acquire(const std::string& path, std::chrono::milliseconds wait);
  // Gives the lock up (nothing when none is held).
  void Release() noexcept;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace framework
