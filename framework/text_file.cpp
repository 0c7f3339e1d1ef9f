#include "framework/text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/exception.h"
#include "framework/text_encoding.h"

namespace framework {

namespace {

[[noreturn]] void RaiseIoError(const std::string& action, const std::string& file_name, int err) {
  throw EInOutError("I/O error " + std::to_string(err) + ": cannot " + action + " '" + file_name +
                    "': " + std::strerror(err));
}

// Closes the descriptor when it goes out of scope.
struct FileDescriptor {
  int fd;
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::string ReadFileBytes(const std::string& file_name) {
  FileDescriptor f{::open(file_name.c_str(), O_RDONLY | O_CLOEXEC)};
  if (f.fd < 0) RaiseIoError("open", file_name, errno);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(f.fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseIoError("read", file_name, errno);
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

std::vector<std::string> ReadTextFileLines(const std::string& file_name) {
  TStringList list;
  list.SetText(DecodeExternalText(ReadFileBytes(file_name)));
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

void SaveLinesToFile(const TStringList& lines, const std::string& file_name) {
  const std::string bytes = Utf8ToWindows1252(lines.Text("\r\n"));
  const std::string temp_name = file_name + ".tmp";
  {
    FileDescriptor f{::open(temp_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (f.fd < 0) RaiseIoError("create", temp_name, errno);
    size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = ::write(f.fd, bytes.data() + written, bytes.size() - written);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        ::unlink(temp_name.c_str());
        RaiseIoError("write", temp_name, err);
      }
      written += static_cast<size_t>(n);
    }
    if (::fsync(f.fd) != 0) {
      const int err = errno;
      ::unlink(temp_name.c_str());
      RaiseIoError("write", temp_name, err);
    }
  }
  if (::rename(temp_name.c_str(), file_name.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp_name.c_str());
    RaiseIoError("replace", file_name, err);
  }
}

}  // namespace framework
