#include "framework/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "framework/exception.h"
#include "framework/stop_request.h"

namespace framework {

TFileLock& TFileLock::operator=(TFileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool TFileLock::Acquire(const std::string& path, std::chrono::milliseconds wait) {
  Release();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    const int err = errno;
    throw EInOutError("I/O error " + std::to_string(err) + ": cannot open the lock file '" + path +
                      "': " + std::strerror(err));
  }
  // Polled rather than blocking, so that a stop request ends the wait promptly.
  constexpr auto kPoll = std::chrono::milliseconds(20);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return true;
    }
    const int err = errno;
    if (err != EWOULDBLOCK && err != EINTR) {
      ::close(fd);
      throw EInOutError("I/O error " + std::to_string(err) + ": cannot lock '" + path +
                        "': " + std::strerror(err));
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      ::close(fd);
      return false;
    }
    try {
      CheckStopRequest();
    } catch (...) {
      ::close(fd);
      throw;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPoll, deadline - now));
  }
}

void TFileLock::Release() noexcept {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor of the open file drops its flock
  fd_ = -1;
}

}  // namespace framework
