#include "framework/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
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

namespace {

constexpr size_t kChunk = 1 << 16;

// Length of the sequence a UTF-8 lead byte starts (1 for ASCII and for bytes that start none).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Where a chunk may be cut so that no UTF-8 sequence is split: before a lead byte among the last
// three bytes whose sequence runs past the end.
size_t CompleteSequencesEnd(const std::string& bytes) {
  const size_t n = bytes.size();
  for (size_t back = 1; back <= 3 && back <= n; ++back) {
    const unsigned char c = static_cast<unsigned char>(bytes[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    return SequenceLength(c) > back ? n - back : n;
  }
  return n;
}

bool HasUtf8Bom(const std::string& bytes) {
  return bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

}  // namespace

TTextFileReader::TTextFileReader(const std::string& file_name, uint64_t max_size)
    : file_name_(file_name), max_size_(max_size) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked right after.
  fd_ = ::open(file_name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) RaiseIoError("open", file_name, errno);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail("read", errno);
  if (!S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EInOutError("Cannot read '" + file_name +
                      "': it is not a regular file (only ordinary files are read).");
  }
  if (static_cast<uint64_t>(st.st_size) > max_size) {
    ::close(fd_);
    fd_ = -1;
    throw EInOutError("Cannot read '" + file_name + "': it holds " + std::to_string(st.st_size) +
                      " bytes, more than the " + std::to_string(max_size) + " bytes allowed.");
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);

  // First pass: is all of it UTF-8? Sequences cut at a chunk's end are carried over.
  std::string carry;
  bool first = true;
  uint64_t total = 0;
  while (utf8_) {
    std::string chunk = carry;
    const size_t before = chunk.size();
    chunk.resize(before + kChunk);
    const ssize_t n = ::read(fd_, chunk.data() + before, kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("read", errno);
    }
    chunk.resize(before + static_cast<size_t>(n));
    total += static_cast<uint64_t>(n);
    if (total > max_size_) Fail("read", EFBIG);
    if (n == 0) {
      utf8_ = chunk.empty() || IsValidUtf8(chunk);
      break;
    }
    if (first && chunk.size() >= 3) {
      if (HasUtf8Bom(chunk)) chunk.erase(0, 3);
      first = false;
    }
    const size_t end = first ? 0 : CompleteSequencesEnd(chunk);
    utf8_ = IsValidUtf8(std::string_view(chunk).substr(0, end));
    carry = chunk.substr(end);
  }
  if (::lseek(fd_, 0, SEEK_SET) != 0) Fail("read", errno);
}

TTextFileReader::~TTextFileReader() {
  if (fd_ >= 0) ::close(fd_);
}

void TTextFileReader::Fail(const std::string& action, int err) const {
  if (err == EFBIG)
    throw EInOutError("Cannot read '" + file_name_ + "': it grew past the " +
                      std::to_string(max_size_) + " bytes allowed while it was read.");
  RaiseIoError(action, file_name_, err);
}

bool TTextFileReader::Fill() {
  if (eof_) return false;
  buffer_.erase(0, pos_);
  pos_ = 0;
  const size_t before = buffer_.size();
  buffer_.resize(before + kChunk);
  ssize_t n;
  do {
    n = ::read(fd_, buffer_.data() + before, kChunk);
  } while (n < 0 && errno == EINTR);
  if (n < 0) Fail("read", errno);
  buffer_.resize(before + static_cast<size_t>(n));
  consumed_ += static_cast<uint64_t>(n);
  if (consumed_ > max_size_) Fail("read", EFBIG);
  if (n == 0) eof_ = true;
  return n > 0;
}

namespace {

// The first CR or LF in `text` at or after `from`, or npos. Found with memchr for the LF and then
// for a CR only in front of it, so that each byte is looked at about twice, also in files whose
// lines end in LF alone.
size_t FindLineEnd(const std::string& text, size_t from) {
  if (from >= text.size()) return std::string::npos;
  const char* begin = text.data() + from;
  const size_t n = text.size() - from;
  const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', n));
  const size_t until = lf != nullptr ? static_cast<size_t>(lf - begin) : n;
  const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', until));
  if (cr != nullptr) return from + static_cast<size_t>(cr - begin);
  return lf != nullptr ? from + until : std::string::npos;
}

}  // namespace

bool TTextFileReader::ReadLine(std::string& line) {
  if (!bom_checked_) {
    while (buffer_.size() < 3 && Fill()) {
    }
    if (HasUtf8Bom(buffer_)) pos_ = 3;
    bom_checked_ = true;
  }
  size_t scanned = 0;  // bytes after pos_ known to hold no line end
  size_t end;
  for (;;) {
    end = FindLineEnd(buffer_, pos_ + scanned);
    if (end == std::string::npos) {
      scanned = buffer_.size() - pos_;
    } else if (buffer_[end] == '\r' && end + 1 == buffer_.size() && !eof_) {
      scanned = end - pos_;  // a CR at the end may be the first half of a CR LF: look again
    } else {
      break;
    }
    if (!Fill()) {  // the end of the file
      if (pos_ >= buffer_.size()) return false;
      end = FindLineEnd(buffer_, pos_ + scanned);
      if (end == std::string::npos) end = buffer_.size();
      break;
    }
  }
  const std::string_view raw = std::string_view(buffer_).substr(pos_, end - pos_);
  if (utf8_) line.assign(raw);
  else line = Windows1252ToUtf8(raw);
  pos_ = end;
  if (pos_ < buffer_.size() && buffer_[pos_] == '\r') ++pos_;
  if (pos_ < buffer_.size() && buffer_[pos_] == '\n' && (pos_ == end || buffer_[end] == '\r'))
    ++pos_;
  return true;
}

std::vector<std::string> ReadTextFileLines(const std::string& file_name, uint64_t max_size) {
  TTextFileReader reader(file_name, max_size);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line);
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
