#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "app/data_module.h"

namespace app {
namespace {

class DataModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/geb_data_XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Ini(const std::string& content) {
    const std::string path = dir_ + "/geburtstage.ini";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string dir_;
};

TEST_F(DataModuleTest, ReadsTheFourValues) {
  TData data(nullptr);
  data.DataModuleCreate(Ini("[DB]\nMain=/daten/Geb.mdb\nPass=pw\n[option]\nstartimport=4\n"
                            "datei=/import/export.csv\n"));
  EXPECT_EQ(4, data.StartImport);
  EXPECT_EQ("/import/export.csv", data.ImportFile);
  EXPECT_EQ("/daten/Geb.mdb", data.DatabaseName());
  EXPECT_EQ("pw", data.Password());
}

TEST_F(DataModuleTest, MissingOrOddFilesGiveTheDefaults) {
  for (const std::string& path :
       {dir_ + "/none.ini", Ini(""), Ini("[option]\nstartimport=vier\n"), Ini("\x01\x02\xFF=[")}) {
    TData data(nullptr);
    data.DataModuleCreate(path);
    EXPECT_EQ(1, data.StartImport) << path;
    EXPECT_EQ("", data.ImportFile);
    EXPECT_EQ("", data.DatabaseName());
    EXPECT_EQ("", data.Password());
  }
}

}  // namespace
}  // namespace app
