#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "framework/exception.h"
#include "framework/file_lock.h"
#include "framework/ini_file.h"
#include "framework/stop_request.h"
#include "framework/string_list.h"
#include "framework/text_encoding.h"
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

// The lines of `bytes` as the whole-file reading gives them: the reader's oracle.
std::vector<std::string> WholeFileLines(const std::string& bytes) {
  TStringList list;
  list.SetText(DecodeExternalText(bytes));
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

TEST_F(FilesTest, LinesReadInChunksAreTheLinesOfTheWholeFile) {
  // Line ends, UTF-8 sequences and a byte-order mark cut at the reader's 64 KiB chunk borders,
  // and a byte that is no UTF-8 far behind the first chunk, which makes all of it Windows-1252.
  const std::string umlaut = "\xC3\xA4";
  std::vector<std::string> contents = {"", "\xEF\xBB\xBF", "\xEF\xBB\xBFx\r\ny", "\r", "\n\r", "a\r\r\nb\n\nc\r"};
  for (size_t cut : {65533u, 65534u, 65535u, 65536u, 65537u}) {
    contents.push_back(std::string(cut - 1, 'a') + "\r\n" + umlaut + "b\r\n");
    contents.push_back(std::string(cut - 1, 'a') + umlaut + "\r" + umlaut + "\n");
    contents.push_back(std::string(cut, 'x') + "\r" + std::string(70000, 'y') + "\n" + umlaut);
    contents.push_back("\xEF\xBB\xBF" + std::string(cut, 'z') + umlaut + "\n" +
                       std::string(200000, 'q') + "\xE4\r\n");
  }
  std::string random;
  unsigned seed = 7;
  for (int i = 0; i < 300000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const char pick[] = {'a', ';', '\r', '\n', '\xC3', '\xA4', '"', ' '};
    random += pick[(seed >> 16) % 8];
  }
  contents.push_back(random);
  for (size_t k = 0; k < contents.size(); ++k) {
    const std::string path = Write("c" + std::to_string(k) + ".csv", contents[k]);
    EXPECT_EQ(WholeFileLines(contents[k]), ReadTextFileLines(path)) << "content " << k;
  }
}

TEST_F(FilesTest, OnlyRegularFilesOfBoundedSizeAreRead) {
  // A FIFO without a writer would block the reading forever; a device would never end.
  const std::string fifo = dir_ + "/export.csv";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  for (const std::string& path : {fifo, std::string("/dev/zero"), dir_}) {
    try {
      TTextFileReader reader(path, 1000);
      FAIL() << path;
    } catch (const EInOutError& e) {
      EXPECT_NE(std::string::npos, e.Message().find("'" + path + "'")) << e.Message();
    }
  }
  const std::string big = Write("big.csv", std::string(1001, 'x'));
  try {
    TTextFileReader reader(big, 1000);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_NE(std::string::npos, e.Message().find("big.csv")) << e.Message();
    EXPECT_NE(std::string::npos, e.Message().find("1001 bytes")) << e.Message();
  }
  EXPECT_EQ(1u, ReadTextFileLines(big, 1001).size());
  // An INI file that is a FIFO or a device reads as empty instead of hanging.
  EXPECT_EQ(1, TIniFile(fifo).ReadInteger("option", "startimport", 1));
  EXPECT_EQ("", TIniFile("/dev/zero").ReadString("DB", "Main", ""));
}

TEST_F(FilesTest, TheFileLockAdmitsOneHolderAndIsFreedWithIt) {
  const std::string path = dir_ + "/db.mdb-import.lock";
  TFileLock first;
  ASSERT_TRUE(first.Acquire(path, std::chrono::milliseconds(0)));
  // A second open of the file is a second holder, as another process would be.
  TFileLock second;
  EXPECT_FALSE(second.Acquire(path, std::chrono::milliseconds(100)));
  EXPECT_FALSE(second.Held());
  RequestStop(2);
  EXPECT_THROW(second.Acquire(path, std::chrono::milliseconds(10000)), EStopRequested);
  ClearStopRequest();
  first.Release();
  EXPECT_TRUE(second.Acquire(path, std::chrono::milliseconds(0)));
  TFileLock moved(std::move(second));
  EXPECT_TRUE(moved.Held());
  EXPECT_FALSE(first.Acquire(path, std::chrono::milliseconds(0)));
  EXPECT_THROW(first.Acquire(dir_ + "/missing/x.lock", std::chrono::milliseconds(0)), EInOutError);
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
