#include <gtest/gtest.h>

#include "import/mtools.h"

namespace {

struct FieldCase {
  std::string before, field, after;
};

TEST(NextField, CutsOneFieldOffTheFront) {
  const FieldCase cases[] = {
      {"a;b", "a", "b"},
      {"b", "b", ""},
      {"", "", ""},
      {";x", "", "x"},
      {"\"a;b\";c", "a;b", "c"},
      {"\"abc\"", "abc", ""},
      {"\"abc", "abc", ""},
      {"\"ab\"c;d", "ab\"c;d", ""},
      {"abc\";d", "abc", "d"},
      {" \"abc\";d", "\"abc", "d"},
      {"  x  ;y", "x", "y"},
      {"\"\";y", "", "y"},
      {"\"", "", ""},
      {"\t\x01" "a\r;", "a", ""},
      {"M\xC3\xBCller;J\xC3\xB6rg", "M\xC3\xBCller", "J\xC3\xB6rg"},
  };
  for (const FieldCase& c : cases) {
    std::string line = c.before, field = "stale";
    mtools::NextField(line, ';', field);
    EXPECT_EQ(c.field, field) << "line [" << c.before << "]";
    EXPECT_EQ(c.after, line) << "line [" << c.before << "]";
  }
}

TEST(NextField, WalksAWholeLineAndReadsMissingFieldsAsEmpty) {
  std::string line = "1;4711;\"Meier; Dr.\";Hans;24.12.1970";
  std::string f;
  std::vector<std::string> fields;
  for (int i = 0; i < 7; ++i) {
    mtools::NextField(line, ';', f);
    fields.push_back(f);
  }
  EXPECT_EQ((std::vector<std::string>{"1", "4711", "Meier; Dr.", "Hans", "24.12.1970", "", ""}),
            fields);
}

TEST(IsDigitChar, OnlyTheTenDigits) {
  for (int c = 0; c < 256; ++c)
    EXPECT_EQ(c >= '0' && c <= '9', mtools::IsDigitChar(static_cast<char>(c))) << c;
}

TEST(FolderPaths, FollowTheProgramFolder) {
  mtools::InitFolderPaths("/opt/geb");
  EXPECT_EQ("/opt/geb/sql/", mtools::SqlPath);
  EXPECT_EQ("/opt/geb/txt/", mtools::TxtPath);
  EXPECT_EQ("/opt/geb/word/", mtools::WordPath);
  EXPECT_EQ("/opt/geb/daten/", mtools::DatenPath);
}

}  // namespace
