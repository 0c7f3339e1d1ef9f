#include <gtest/gtest.h>

#include "framework/exception.h"
#include "framework/string_list.h"
#include "framework/strings.h"
#include "framework/text_encoding.h"

namespace framework {
namespace {

TEST(TextEncoding, ExternalTextIsUtf8OrWindows1252) {
  EXPECT_EQ("M\xC3\xBCller", DecodeExternalText("M\xFCller"));             // Windows-1252 ü
  EXPECT_EQ("M\xC3\xBCller", DecodeExternalText("M\xC3\xBCller"));         // already UTF-8
  EXPECT_EQ("M\xC3\xBCller", DecodeExternalText("\xEF\xBB\xBFM\xC3\xBCller"));  // BOM dropped
  EXPECT_EQ("\xE2\x82\xAC", DecodeExternalText("\x80"));                   // euro sign
  EXPECT_EQ(std::string("a\0b", 3), DecodeExternalText(std::string("a\0b", 3)));
  EXPECT_EQ("", DecodeExternalText(""));
  EXPECT_FALSE(IsValidUtf8("\xC3"));          // cut off
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(TextEncoding, OutgoingTextAndCase) {
  EXPECT_EQ("L\xF6sche", Utf8ToWindows1252("L\xC3\xB6sche"));
  EXPECT_EQ("a?b", Utf8ToWindows1252("a\xE2\x98\x83" "b"));  // snowman has no place
  EXPECT_EQ("\x81", Utf8ToOem850("\xC3\xBC"));                // ü in code page 850
  EXPECT_EQ("\xC3\xBC", Oem850ToUtf8("\x81"));
  EXPECT_EQ("m\xC3\xBCller", Utf8LowerCase("M\xC3\x9CLLER"));
  EXPECT_EQ("STRASSE", Utf8UpperCase("Stra\xC3\x9F" "e"));
}

TEST(Strings, TrimAndPaths) {
  EXPECT_EQ("x", Trim(" \t\r x \x01"));
  EXPECT_EQ("x  ", TrimLeft("  x  "));
  EXPECT_TRUE(SameText("Personalnr", "PERSONALNR"));
  EXPECT_EQ("/opt/geb/geburtstage.ini", ChangeFileExt("/opt/geb/geburtstage", ".ini"));
  EXPECT_EQ("/opt/geb/prog.ini", ChangeFileExt("/opt/geb/prog.exe", ".ini"));
  EXPECT_EQ("/opt/ge.b/prog.ini", ChangeFileExt("/opt/ge.b/prog", ".ini"));
  EXPECT_EQ("/opt/geb/", ExtractFilePath("/opt/geb/prog"));
  EXPECT_EQ((std::vector<std::string>{"a", "", "b"}), SplitString("a;;b", ';'));
}

TEST(StringList, TextValuesAndNotification) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TStringList&) { ++changes; };
  list.SetText("eins\r\nzwei\ndrei\rvier\n\n");
  ASSERT_EQ(5, list.Count());
  EXPECT_EQ("vier", list.Strings(3));
  EXPECT_EQ("", list.Strings(4));
  EXPECT_EQ(1, changes);
  list.BeginUpdate();
  list.Add("Name=Wert");
  list.SetValues("name", "neu");
  list.EndUpdate();
  EXPECT_EQ(2, changes);
  EXPECT_EQ("neu", list.Values("NAME"));
  EXPECT_EQ(1, list.IndexOf("ZWEI"));
  EXPECT_EQ(-1, list.IndexOf("fünf"));
  EXPECT_THROW(list.Strings(99), Exception);
  TStringList empty;
  empty.SetText("");
  EXPECT_EQ(0, empty.Count());
}

}  // namespace
}  // namespace framework
