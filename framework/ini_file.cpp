#include "framework/ini_file.h"

#include <sys/stat.h>

#include <fstream>

#include "framework/format_settings.h"
#include "framework/string_list.h"
#include "framework/strings.h"
#include "framework/text_encoding.h"

namespace framework {

TIniFile::TIniFile(const std::string& file_name) : file_name_(file_name) {
  struct stat st {};
  if (::stat(file_name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > kMaxIniFileSize)
    return;
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return;
  std::string bytes(kMaxIniFileSize + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (bytes.size() > kMaxIniFileSize) return;  // it grew meanwhile
  Parse(bytes);
}

TIniFile TIniFile::FromText(std::string_view bytes) {
  TIniFile ini;
  ini.Parse(bytes);
  return ini;
}

void TIniFile::Parse(std::string_view bytes) {
  TStringList lines;
  lines.SetText(DecodeExternalText(bytes));
  std::string section;
  bool in_section = false;  // keys before the first [section] belong to none
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string line = Trim(lines.Strings(i));
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      section = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      in_section = true;
      sections_.push_back(section);
      continue;
    }
    const size_t eq = line.find('=');
    if (!in_section || eq == std::string::npos) continue;
    std::string key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    std::string value = Trim(line.substr(eq + 1));
    // A value written in matching quotes stands without them.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    entries_.push_back({section, std::move(key), std::move(value)});
  }
}

const TIniFile::Entry* TIniFile::Find(const std::string& section, const std::string& key) const {
  // The first occurrence wins, as when a key is written twice by hand.
  for (const Entry& e : entries_)
    if (SameText(e.section, section) && SameText(e.key, key)) return &e;
  return nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  const Entry* e = Find(section, key);
  return e != nullptr ? e->value : fallback;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t fallback) const {
  const Entry* e = Find(section, key);
  return e != nullptr ? StrToIntDef(e->value, fallback) : fallback;
}

bool TIniFile::SectionExists(const std::string& section) const {
  for (const std::string& s : sections_)
    if (SameText(s, section)) return true;
  return false;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Find(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const std::string& s : sections_) {
    bool seen = false;
    for (const std::string& n : names) seen = seen || SameText(n, s);
    if (!seen) names.push_back(s);
  }
  return names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  for (const Entry& e : entries_) {
    if (!SameText(e.section, section)) continue;
    bool seen = false;
    for (const std::string& k : keys) seen = seen || SameText(k, e.key);
    if (!seen) keys.push_back(e.key);
  }
  return keys;
}

}  // namespace framework
