// The export file's way into the grid, fuzzed: the line reader against the whole-file reading,
// the tokenizer against a plain reading of its rules, and the date check against its rules.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/string_list.h"
#include "framework/text_encoding.h"
#include "framework/text_file.h"
#include "import/export_loader.h"
#include "import/mtools.h"

namespace {

// The tokenizer's rules read plainly, positions counted from 1 as they are written.
void PlainNextField(std::string& line, char delimiter, std::string& field) {
  if (line.empty()) {
    field.clear();
    return;
  }
  size_t stop = 0, skip = 0;
  if (line[0] == '"') {
    line.erase(0, 1);
    for (size_t i = 0; i + 1 < line.size(); ++i)
      if (line[i] == '"' && line[i + 1] == delimiter) {
        stop = i + 1;
        break;
      }
    if (stop == 0 && !line.empty() && line.back() == '"') stop = line.size();
    skip = 1;
  } else {
    for (size_t i = 0; i < line.size(); ++i)
      if (line[i] == delimiter) {
        stop = i + 1;
        break;
      }
  }
  if (stop == 0) stop = line.size() + 1;
  std::string f = line.substr(0, stop - 1);
  while (!f.empty() && static_cast<unsigned char>(f.front()) <= 32) f.erase(0, 1);
  while (!f.empty() && static_cast<unsigned char>(f.back()) <= 32) f.pop_back();
  if (!f.empty() && f.back() == '"') f.pop_back();
  field = f;
  const size_t from = stop + skip + 1;
  line = from <= line.size() ? line.substr(from - 1) : std::string();
}

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string Piece(const std::string& s, size_t from, size_t count) {
  return from - 1 < s.size() ? s.substr(from - 1, count) : std::string();
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "oracle disagrees: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // The streamed lines are the lines of the whole file.
  static const std::string path = "/tmp/geb_export_fuzz_" + std::to_string(::getpid()) + ".csv";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    framework::TStringList whole;
    whole.SetText(framework::DecodeExternalText(bytes));
    const std::vector<std::string> streamed = framework::ReadTextFileLines(path);
    Check(static_cast<int>(streamed.size()) == whole.Count(), "line count");
    for (size_t i = 0; i < streamed.size(); ++i) Check(streamed[i] == whole.Strings(static_cast<int>(i)), "line");
  }

  // Every line cut into fields as the loader cuts it, and each birthday vetted.
  framework::TStringList lines;
  lines.SetText(bytes);
  for (int i = 0; i < lines.Count() && i < 64; ++i) {
    std::string a = lines.Strings(i), b = a, fa, fb;
    for (int k = 0; k < 20; ++k) {
      mtools::NextField(a, ';', fa);
      PlainNextField(b, ';', fb);
      Check(fa == fb && a == b, "NextField");
    }
    framework::TStringList protocol;
    const std::string raw = lines.Strings(i).substr(0, 16);
    const std::string checked = import::CheckDate(raw, "x", "y", protocol);
    const bool good = AllDigits(Piece(raw, 1, 2) + Piece(raw, 4, 2) + Piece(raw, 7, 4));
    Check(good ? checked == raw && protocol.Count() == 0
               : checked == "01.01.1900" && protocol.Count() == 1 &&
                     protocol.Strings(0) == "x y " + raw + " Fehler im Datum",
          "CheckDate");
  }
  return 0;
}
