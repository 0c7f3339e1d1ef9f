// Whole text files in and out, with the conversions of the system's edges: files are read as
// UTF-8 or Windows-1252 (see DecodeExternalText) and written as Windows-1252 with CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/string_list.h"

namespace framework {

// Reads a text file line by line without ever holding it whole. The file is decoded as
// DecodeExternalText does for a whole file: UTF-8 when all of it is valid UTF-8 (a byte-order
// mark dropped), Windows-1252 otherwise; this takes a first pass over the bytes. Lines end at
// CR LF, LF or CR; a last line without a line end counts; an empty file has no lines.
// Only regular files are read: a FIFO or a device could block or never end.
class TTextFileReader {
 public:
  // Opens `file_name`. Raises EInOutError naming the file when it cannot be opened or read, is
  // not a regular file, or holds more than `max_size` bytes.
  TTextFileReader(const std::string& file_name, uint64_t max_size);
  ~TTextFileReader();
  TTextFileReader(const TTextFileReader&) = delete;
  TTextFileReader& operator=(const TTextFileReader&) = delete;

  // The next line, as UTF-8, into `line`; false at the end of the file. Raises EInOutError as
  // above (also when the file grows past `max_size` while it is read).
  bool ReadLine(std::string& line);
  bool IsUtf8() const { return utf8_; }

 private:
  // Refills the buffer; false at the end of the file.
  bool Fill();
  [[noreturn]] void Fail(const std::string& action, int err) const;

  std::string file_name_;
  uint64_t max_size_;
  int fd_ = -1;
  bool utf8_ = true;
  uint64_t consumed_ = 0;  // bytes read from the file in the second pass
  std::string buffer_;
  size_t pos_ = 0;  // next unread byte of buffer_
  bool eof_ = false;
  bool bom_checked_ = false;
};

// The raw bytes of a file. Raises EInOutError naming the file and the system's reason when it
// cannot be opened or read.
std::string ReadFileBytes(const std::string& file_name);

// The lines of a text file as UTF-8, read with TTextFileReader (regular files of at most
// `max_size` bytes). Raises EInOutError as ReadFileBytes and TTextFileReader.
std::vector<std::string> ReadTextFileLines(const std::string& file_name,
                                           uint64_t max_size = uint64_t{1} << 30);

// Writes the lines in Windows-1252, each ended by CR LF, replacing the file. The data goes to a
// temporary file that is renamed over the target, so a failed write never leaves a cut-off file.
// Raises EInOutError naming the file and the reason.
void SaveLinesToFile(const TStringList& lines, const std::string& file_name);

}  // namespace framework
