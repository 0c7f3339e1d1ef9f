#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "framework/date_time.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/stop_request.h"
#include "import/export_loader.h"

namespace import {
namespace {

TEST(CheckDate, KeepsGoodDatesAndReplacesBadOnes) {
  framework::TStringList protocol;
  EXPECT_EQ("24.12.1970", CheckDate("24.12.1970", "Meier", "Hans", protocol));
  EXPECT_EQ("24/12/1970", CheckDate("24/12/1970", "Meier", "Hans", protocol));
  EXPECT_EQ("", CheckDate("", "Meier", "Hans", protocol));
  EXPECT_EQ("24.12.1970 junk", CheckDate("24.12.1970 junk", "a", "b", protocol));
  EXPECT_EQ("24.1", CheckDate("24.1", "a", "b", protocol));  // shorter pieces are still digits
  EXPECT_EQ(0, protocol.Count());
  EXPECT_EQ("01.01.1900", CheckDate("1.2.1970", "Meier", "Hans", protocol));
  EXPECT_EQ("01.01.1900", CheckDate("xx.12.1970", "M\xC3\xBCller", "", protocol));
  EXPECT_EQ("01.01.1900", CheckDate(" 24.12.1970", "a", "b", protocol));  // not trimmed
  ASSERT_EQ(3, protocol.Count());
  EXPECT_EQ("Meier Hans 1.2.1970 Fehler im Datum", protocol.Strings(0));
  EXPECT_EQ("M\xC3\xBCller  xx.12.1970 Fehler im Datum", protocol.Strings(1));
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::SetFormatSettings(framework::FormatSettings::German());
    char tmpl[] = "/tmp/geb_loader_XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Write(const std::string& bytes) {
    const std::string path = dir_ + "/export.csv";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // A record line with `number`, names, birthday and phone in fields 2, 3, 4, 5 and 19.
  static std::string Record(const std::string& number, const std::string& name1,
                            const std::string& name2, const std::string& birthday,
                            const std::string& phone) {
    std::string line = "x;" + number + ";" + name1 + ";" + name2 + ";" + birthday;
    for (int i = 6; i <= 18; ++i) line += ";f" + std::to_string(i);
    return line + ";" + phone + ";after";
  }
  std::vector<std::string> Row(int row) const {
    return {grid_.Cell(0, row), grid_.Cell(1, row), grid_.Cell(2, row), grid_.Cell(3, row)};
  }

  std::string dir_;
  TStringGrid grid_{4, 2, 0, 1};
  framework::TStringList protocol_;
};

TEST_F(LoaderTest, SkipsTheHeaderAndFillsTheFourColumns) {
  const std::string path =
      Write("Kopf 1\r\nKopf 2\r\nKopf 3\r\n" + Record(" 4711 ", "Meier", "Hans", "24.12.1970", " 0711/1 ") +
            "\r\n" + Record("12", "", "", "01.02.1980", "") + "\r\n" +
            Record("13", "", "M\xFCller", "xx.02.1980", "5") + "\r\n" +
            "x;14;\"Weber; Dr.\";Eva;03.03.1963\r\n");
  LoadExportFile(path, 4, grid_, protocol_);
  ASSERT_EQ(5, grid_.RowCount());
  EXPECT_EQ(1, grid_.FixedRows());
  EXPECT_EQ((std::vector<std::string>{"Personalnummer", "Geburtstag", "Name", "Telefon"}), Row(0));
  EXPECT_EQ((std::vector<std::string>{"4711", "24.12.1970", "Meier Hans", "0711/1"}), Row(1));
  EXPECT_EQ((std::vector<std::string>{"12", "01.02.1980", "", ""}), Row(2));
  EXPECT_EQ((std::vector<std::string>{"13", "01.01.1900", "M\xC3\xBCller", "5"}), Row(3));
  EXPECT_EQ((std::vector<std::string>{"14", "03.03.1963", "Weber; Dr. Eva", ""}), Row(4));
  ASSERT_EQ(2, protocol_.Count());
  EXPECT_EQ("Importprotokoll vom " + framework::DateToStr(framework::Today()), protocol_.Strings(0));
  EXPECT_EQ(" M\xC3\xBCller xx.02.1980 Fehler im Datum", protocol_.Strings(1));
}

TEST_F(LoaderTest, FirstLinePositionBelowTwoSkipsNothing) {
  const std::string path = Write(Record("1", "a", "b", "01.01.2000", "p") + "\n" +
                                 Record("2", "c", "d", "02.01.2000", "q"));
  for (int position : {1, 0, -5}) {
    LoadExportFile(path, position, grid_, protocol_);
    EXPECT_EQ(3, grid_.RowCount()) << position;
    EXPECT_EQ("1", grid_.Cell(0, 1));
  }
}

TEST_F(LoaderTest, FewerLinesThanSkippedLeavesOnlyTheHeadingRow) {
  LoadExportFile(Write("eins\ntwo\n"), 4, grid_, protocol_);
  EXPECT_EQ(1, grid_.RowCount());
  EXPECT_EQ(0, grid_.FixedRows());  // the heading row is no longer fixed
  EXPECT_EQ("Personalnummer", grid_.Cell(0, 0));
  EXPECT_EQ(1, protocol_.Count());
}

TEST_F(LoaderTest, LoadingTwiceOverwritesAndCutsTheRowsAndAddsAProtocolLine) {
  LoadExportFile(Write("h\n" + Record("1", "a", "b", "01.01.2000", "p") + "\n" +
                       Record("2", "c", "d", "02.01.2000", "q") + "\n"),
                 2, grid_, protocol_);
  EXPECT_EQ(3, grid_.RowCount());
  LoadExportFile(Write("h\n" + Record("9", "z", "y", "03.01.2000", "r") + "\n"), 2, grid_,
                 protocol_);
  EXPECT_EQ(2, grid_.RowCount());
  EXPECT_EQ("9", grid_.Cell(0, 1));
  EXPECT_EQ("", grid_.Cell(0, 2));
  ASSERT_EQ(2, protocol_.Count());
  EXPECT_EQ(0, protocol_.Strings(1).rfind("Importprotokoll vom ", 0));
}

TEST_F(LoaderTest, AMissingFileChangesNothing) {
  LoadExportFile(dir_ + "/none.csv", 4, grid_, protocol_);
  LoadExportFile("", 4, grid_, protocol_);
  LoadExportFile(dir_, 4, grid_, protocol_);  // a folder is no file
  EXPECT_EQ(0, protocol_.Count());
  EXPECT_EQ(2, grid_.RowCount());
  EXPECT_EQ("", grid_.Cell(0, 0));
}

TEST_F(LoaderTest, AnUnreadableFileRaisesAnInputOutputError) {
  EXPECT_THROW(LoadExportFile("/proc/self/mem", 1, grid_, protocol_), framework::EInOutError);
  EXPECT_EQ("Personalnummer", grid_.Cell(0, 0));  // written before the failure
}

TEST_F(LoaderTest, OddFilesLoadWithoutHarm) {
  // Empty, binary with NUL bytes, a several-megabyte line, LF only, no final line end, UTF-8 with
  // and without a byte-order mark.
  LoadExportFile(Write(""), 1, grid_, protocol_);
  EXPECT_EQ(1, grid_.RowCount());

  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  LoadExportFile(Write(binary), 1, grid_, protocol_);
  EXPECT_GE(grid_.RowCount(), 2);

  const std::string huge(5 * 1024 * 1024, 'A');
  LoadExportFile(Write("x;1;" + huge + ";b;01.01.2000\n" + Record("2", "a", "b", "01.01.2000", "t")),
                 1, grid_, protocol_);
  ASSERT_EQ(3, grid_.RowCount());
  EXPECT_EQ(huge.size() + 2, grid_.Cell(2, 1).size());
  EXPECT_EQ("t", grid_.Cell(3, 2));

  for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF")}) {
    LoadExportFile(Write(prefix + Record("7", "J\xC3\xB6rg", "K\xC3\xBChn", "01.01.2000", "") + "\n"),
                   1, grid_, protocol_);
    ASSERT_EQ(2, grid_.RowCount());
    EXPECT_EQ("7", grid_.Cell(0, 1));  // the byte-order mark is not part of field 1
    EXPECT_EQ("J\xC3\xB6rg K\xC3\xBChn", grid_.Cell(2, 1));
  }
  LoadExportFile(Write(Record("8", "J\xF6rg", "K\xFChn", "01.01.2000", "")), 1, grid_, protocol_);
  EXPECT_EQ("J\xC3\xB6rg K\xC3\xBChn", grid_.Cell(2, 1));

  LoadExportFile(Write(std::string("x;5;a\0b;c;01.01.2000", 20)), 1, grid_, protocol_);
  EXPECT_EQ(std::string("a\0b c", 5), grid_.Cell(2, 1));
}

TEST_F(LoaderTest, OnlyRegularFilesOfSaneSizeAreRead) {
  // A FIFO would block the program for good, a device would be read until memory runs out, and
  // a file past the size limit likewise; each is refused with an error naming it.
  const std::string fifo = dir_ + "/export.csv";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  const std::string huge = dir_ + "/huge.csv";
  std::ofstream(huge, std::ios::binary) << "x";
  ASSERT_EQ(0, ::truncate(huge.c_str(), static_cast<off_t>(kMaxExportFileSize + 1)));  // sparse
  for (const std::string& path : {fifo, std::string("/dev/zero"), huge}) {
    try {
      LoadExportFile(path, 1, grid_, protocol_);
      FAIL() << path;
    } catch (const framework::EInOutError& e) {
      EXPECT_NE(std::string::npos, e.Message().find("'" + path + "'")) << e.Message();
    }
  }
  EXPECT_EQ(2, grid_.RowCount());
}

TEST_F(LoaderTest, AStopRequestEndsTheLoadingBetweenLines) {
  framework::RequestStop(15);
  EXPECT_THROW(LoadExportFile(Write(Record("1", "a", "b", "01.01.2000", "t") + "\n"), 1, grid_, protocol_),
               framework::EStopRequested);
  framework::ClearStopRequest();
  EXPECT_EQ("", grid_.Cell(0, 1));
}

TEST_F(LoaderTest, ALargeFileFillsTheGridRowByRow) {
  // Many more lines than one read of the file holds, in Windows-1252, each with its own values.
  std::string text = "Kopf\r\nKopf\r\nKopf\r\n";
  const int n = 20000;
  for (int i = 1; i <= n; ++i)
    text += "01;" + std::to_string(i) + ";M\xFCller;J" + std::to_string(i % 7) + ";01.02.1970" +
            std::string(13, ';') + ";0711 " + std::to_string(i) + "\r\n";
  LoadExportFile(Write(text), 4, grid_, protocol_);
  ASSERT_EQ(n + 1, grid_.RowCount());
  for (int i : {1, 2, 4096, 19999, n}) {
    EXPECT_EQ(std::to_string(i), grid_.Cell(0, i));
    EXPECT_EQ("M\xC3\xBCller J" + std::to_string(i % 7), grid_.Cell(2, i));
    EXPECT_EQ("0711 " + std::to_string(i), grid_.Cell(3, i));
  }
}

TEST_F(LoaderTest, WhyAFileCannotServeAndWhereARelativeNameIsFound) {
  const std::string file = Write("x");
  ASSERT_EQ(0, ::symlink((dir_ + "/gone.csv").c_str(), (dir_ + "/dangling.csv").c_str()));
  ASSERT_EQ(0, ::mkfifo((dir_ + "/fifo.csv").c_str(), 0600));
  EXPECT_EQ("", ExportFileProblem(file));
  EXPECT_EQ("keine Importdatei angegeben", ExportFileProblem(""));
  EXPECT_EQ("die Importdatei '" + dir_ + "/none.csv' gibt es nicht", ExportFileProblem(dir_ + "/none.csv"));
  EXPECT_EQ("die Importdatei '" + dir_ + "' ist ein Verzeichnis", ExportFileProblem(dir_));
  EXPECT_EQ("die Importdatei '" + dir_ + "/dangling.csv' ist ein Verweis auf eine fehlende Datei",
            ExportFileProblem(dir_ + "/dangling.csv"));
  EXPECT_EQ("die Importdatei '" + dir_ + "/fifo.csv' ist keine gew\xC3\xB6hnliche Datei",
            ExportFileProblem(dir_ + "/fifo.csv"));

  // A relative name missing from the current folder is taken from the program's folder.
  EXPECT_EQ(dir_ + "/export.csv", LocateExportFile("export.csv", dir_));
  EXPECT_EQ("missing.csv", LocateExportFile("missing.csv", dir_));
  EXPECT_EQ("/abs/export.csv", LocateExportFile("/abs/export.csv", dir_));
  EXPECT_EQ("", LocateExportFile("", dir_));
}

}  // namespace
}  // namespace import
