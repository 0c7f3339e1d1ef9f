#include "framework/stream.h"

#include <algorithm>
#include <cstring>

#include "framework/exception.h"

namespace framework {

int64_t TStream::Size() {
  const int64_t here = Seek(0, TSeekOrigin::soCurrent);
  const int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::SetSize(int64_t /*size*/) {
  throw EInOutError("This stream cannot change its size");
}

std::string TStream::ReadAll() {
  std::string result;
  char chunk[4096];
  for (;;) {
    const int64_t n = Read(chunk, sizeof chunk);
    if (n <= 0) break;
    result.append(chunk, static_cast<size_t>(n));
  }
  return result;
}

void TStream::WriteText(const std::string& text) {
  if (!text.empty() && Write(text.data(), static_cast<int64_t>(text.size())) !=
                           static_cast<int64_t>(text.size()))
    throw EInOutError("Stream write error");
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == TSeekOrigin::soCurrent) target += position_;
  if (origin == TSeekOrigin::soEnd) target += Size();
  if (target < 0) throw EInOutError("Stream position before its start");
  position_ = target;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EInOutError("Negative stream size");
  data_.resize(static_cast<size_t>(size));
  if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

}  // namespace framework
