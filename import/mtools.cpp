#include "import/mtools.h"

#include <algorithm>
#include <cstring>

#include "framework/strings.h"

namespace mtools {

std::string SqlPath;
std::string TxtPath;
std::string WordPath;
std::string DatenPath;

std::string_view NextFieldAt(std::string_view line, size_t& pos, char delimiter) {
  if (pos >= line.size()) {
    pos = line.size();
    return {};
  }
  // The field runs from `start` to `stop` (the character that ends it, or the end of the line),
  // and `skip` more characters belong to its end.
  size_t start = pos;
  size_t stop;
  size_t skip;
  if (line[pos] == '"') {
    start = pos + 1;
    const char closing[2] = {'"', delimiter};
    stop = line.find(std::string_view(closing, 2), start);
    if (stop == std::string_view::npos && line.size() - pos > 1 && line.back() == '"') stop = line.size() - 1;
    skip = 1;
  } else {
    stop = line.find(delimiter, pos);
    skip = 0;
  }
  if (stop == std::string_view::npos) stop = line.size();
  std::string_view field = framework::TrimmedView(line.substr(start, stop - start));
  if (!field.empty() && field.back() == '"') field.remove_suffix(1);
  pos = std::min(stop + skip + 1, line.size());
  return field;
}

void NextField(std::string& line, char delimiter, std::string& field) {
  size_t pos = 0;
  field.assign(NextFieldAt(line, pos, delimiter));
  line.erase(0, pos);
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
