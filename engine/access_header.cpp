#include "engine/access_header.h"

#include <fstream>

namespace engine {

namespace {

// Every Jet and ACE file begins with a page of type 0 whose format name follows the first four
// bytes: "Standard Jet DB" (Access 97 to 2003) or "Standard ACE DB" (Access 2007 and later),
// each ended by a NUL.
constexpr size_t kNameOffset = 4;
constexpr const char* kFormatNames[] = {"Standard Jet DB", "Standard ACE DB"};
constexpr size_t kNameLength = 16;  // with its NUL

}  // namespace

bool IsAccessHeader(const std::string& header) {
  if (header.size() < kNameOffset + kNameLength) return false;
  if (header[0] != '\0' || header[1] != '\x01') return false;
  for (const char* name : kFormatNames)
    if (header.compare(kNameOffset, kNameLength, std::string(name, kNameLength)) == 0) return true;
  return false;
}

bool IsAccessFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string header(kNameOffset + kNameLength, '\0');
  in.read(header.data(), static_cast<std::streamsize>(header.size()));
  header.resize(static_cast<size_t>(in.gcount()));
  return IsAccessHeader(header);
}

}  // namespace engine
