#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "framework/exception.h"
#include "framework/ini_file.h"
#include "framework/text_file.h"

namespace framework {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/geb_files_XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

TEST_F(FilesTest, IniReadsSectionsAndKeysWithoutRegardToCase) {
  const std::string path = Write("prog.ini",
                                 "; comment\r\n[db]\r\n main = /data/Geb\xFC.mdb \r\nPass=geheim\r\n"
                                 "[OPTION]\r\nStartImport=4\r\ndatei=\"/x/export.csv\"\r\n"
                                 "startimport=9\r\n");
  TIniFile ini(path);
  EXPECT_EQ("/data/Geb\xC3\xBC.mdb", ini.ReadString("DB", "Main", ""));
  EXPECT_EQ("geheim", ini.ReadString("DB", "Pass", ""));
  EXPECT_EQ(4, ini.ReadInteger("option", "startimport", 1));  // the first occurrence wins
  EXPECT_EQ("/x/export.csv", ini.ReadString("option", "datei", ""));
  EXPECT_EQ("dflt", ini.ReadString("option", "missing", "dflt"));
  EXPECT_TRUE(ini.SectionExists("Db"));
}

TEST_F(FilesTest, IniWithOddContentYieldsDefaults) {
  const std::string cases[] = {
      "",
      std::string("\0\1\2\xFF\xFE[", 6),
      "Main=/outside/any/section\n[DB\nMain\n=nokey\n",
      "[option]\nstartimport=vier\nstartimport2=5\n",
      "[option]\nstartimport=99999999999\n",
  };
  for (const std::string& content : cases) {
    TIniFile ini(Write("odd.ini", content));
    EXPECT_EQ(1, ini.ReadInteger("option", "startimport", 1)) << content;
    EXPECT_EQ("", ini.ReadString("option", "datei", "")) << content;
  }
  TIniFile missing(dir_ + "/none.ini");
  EXPECT_EQ(1, missing.ReadInteger("option", "startimport", 1));
}

TEST_F(FilesTest, TextLinesAndErrors) {
  const std::string path = Write("t.csv", "a;\xE4\r\nb\nc");
  const auto lines = ReadTextFileLines(path);
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("a;\xC3\xA4", lines[0]);
  EXPECT_EQ("c", lines[2]);
  EXPECT_THROW(ReadTextFileLines(dir_ + "/missing.csv"), EInOutError);
  // The kernel refuses to read this one with an I/O error although it exists.
  try {
    ReadTextFileLines("/proc/self/mem");
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_NE(std::string::npos, e.Message().find("/proc/self/mem"));
  }
}

TEST_F(FilesTest, SavedLinesAreWindows1252WithCrLf) {
  TStringList lines;
  lines.Add("Importprotokoll vom 01.02.2026");
  lines.Add("L\xC3\xB6sche 24.12.1970 M\xC3\xBCller / 7");
  const std::string path = dir_ + "/Import.log";
  Write("Import.log", "old content that is longer than the new one ........................");
  SaveLinesToFile(lines, path);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ("Importprotokoll vom 01.02.2026\r\nL\xF6sche 24.12.1970 M\xFCller / 7\r\n", bytes);
  EXPECT_THROW(SaveLinesToFile(lines, dir_ + "/no/such/folder/Import.log"), EInOutError);
}

}  // namespace
}  // namespace framework
