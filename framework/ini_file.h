// Read-only access to an INI file: [sections] of key=value lines, names compared without regard
// to case, values running to the end of the line. A missing or unreadable file reads as empty, and
// so does anything but a regular file of at most kMaxIniFileSize bytes (a FIFO or a device
// could block or never end).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace framework {

class TIniFile {
 public:
  static constexpr uint64_t kMaxIniFileSize = 1 << 20;

  // Reads the whole file at once; the file is not kept open. Text that is not UTF-8 is taken as
  // Windows-1252.
  explicit TIniFile(const std::string& file_name);
  // The INI file whose content is `bytes` (FileName() is empty).
  static TIniFile FromText(std::string_view bytes);

  const std::string& FileName() const { return file_name_; }
  // The value of `key` in `section`, blanks around it removed; `fallback` when either is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // The value as a decimal (or $hex) integer; `fallback` when missing or not a number.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  // The section names in file order, each once (the spelling of its first occurrence).
  std::vector<std::string> ReadSections() const;
  // The key names of `section` in file order, each once.
  std::vector<std::string> ReadSection(const std::string& section) const;

 private:
  struct Entry {
    std::string section, key, value;
  };
  TIniFile() = default;
  void Parse(std::string_view bytes);
  const Entry* Find(const std::string& section, const std::string& key) const;

  std::string file_name_;
  std::vector<Entry> entries_;
  std::vector<std::string> sections_;
};

}  // namespace framework
