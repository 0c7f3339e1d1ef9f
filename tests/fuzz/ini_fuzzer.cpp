// The INI reader, fuzzed: whatever it reads must be found again the way it was listed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/ini_file.h"
#include "framework/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const framework::TIniFile ini =
      framework::TIniFile::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const std::string& section : ini.ReadSections()) {
    if (!ini.SectionExists(section)) std::abort();
    for (const std::string& key : ini.ReadSection(section)) {
      if (!ini.ValueExists(section, key)) std::abort();
      // Names are found without regard to case.
      const std::string value = ini.ReadString(section, key, "");
      if (!ini.ValueExists(framework::UpperCase(section), framework::LowerCase(key)) ||
          ini.ReadString(framework::UpperCase(section), framework::LowerCase(key), "") != value) {
        std::fprintf(stderr, "[%s] %s lost\n", section.c_str(), key.c_str());
        std::abort();
      }
      ini.ReadInteger(section, key, 0);
    }
  }
  ini.ReadString("DB", "Main", "");
  ini.ReadInteger("option", "startimport", 1);
  return 0;
}
