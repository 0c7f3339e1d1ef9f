// Byte streams: the abstract stream that blob fields are read and written through, and a
// stream over bytes held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace framework {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Copies up to `count` bytes from the position into `buffer`; answers how many were copied
  // (0 at or past the end) and advances the position by that many.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes `count` bytes at the position, growing the stream when needed; answers the count
  // written and advances the position.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position and answers the new one. A position before 0 raises EInOutError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual int64_t Size();
  // Cuts or extends (with zero bytes) the stream to `size` bytes.
  virtual void SetSize(int64_t size);

  // Everything from the position to the end, as a byte string.
  std::string ReadAll();
  // Writes the bytes of `text` at the position.
  void WriteText(const std::string& text);
};

// A stream over a byte vector that it owns.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(bytes.begin(), bytes.end()) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  const std::vector<uint8_t>& Data() const { return data_; }
  std::string DataText() const { return std::string(data_.begin(), data_.end()); }
  void Clear();

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace framework
