#include "import/mtools.h"

#include <cstring>

#include "framework/strings.h"

namespace mtools {

std::string SqlPath;
std::string TxtPath;
std::string WordPath;
std::string DatenPath;

void NextField(std::string& line, char delimiter, std::string& field) {
  if (line.empty()) {
    field.clear();
    return;
  }
  // Positions below are 0-based; `stop` is the index of the character that ends the field, so it
  // equals the field's length (npos: the field runs to the end of the line).
  size_t stop;
  size_t skip;
  if (line[0] == '"') {
    line.erase(0, 1);
    const char closing[2] = {'"', delimiter};
    stop = line.find(std::string_view(closing, 2));
    if (stop == std::string::npos && !line.empty() && line.back() == '"') stop = line.size() - 1;
    skip = 1;
  } else {
    stop = line.find(delimiter);
    skip = 0;
  }
  if (stop == std::string::npos) stop = line.size();
  field = framework::Trim(std::string_view(line).substr(0, stop));
  if (!field.empty() && field.back() == '"') field.pop_back();
  const size_t rest = stop + skip + 1;
  line = rest < line.size() ? line.substr(rest) : std::string();
}

bool IsDigitChar(char c) { return c != '\0' && std::strchr("0123456789", c) != nullptr; }

void InitFolderPaths(const std::string& program_folder) {
  const std::string base = framework::IncludeTrailingPathDelimiter(program_folder);
  SqlPath = base + "sql/";
  TxtPath = base + "txt/";
  WordPath = base + "word/";
  DatenPath = base + "daten/";
}

}  // namespace mtools
