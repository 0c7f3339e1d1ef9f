#include <gtest/gtest.h>

#include "app/command_line.h"
#include "framework/exception.h"

namespace app {
namespace {

TEST(CommandLine, Options) {
  EXPECT_FALSE(ParseCommandLine({}).help);
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
  EXPECT_EQ("/x/a.ini", ParseCommandLine({"--config", "/x/a.ini"}).config_file);
  EXPECT_EQ("/x/a.ini", ParseCommandLine({"--config=/x/a.ini"}).config_file);
  const CommandLine both = ParseCommandLine({"--open", "e.csv", "--config", "c.ini"});
  EXPECT_EQ("e.csv", both.open_file);
  EXPECT_EQ("c.ini", both.config_file);
  EXPECT_THROW(ParseCommandLine({"--config"}), framework::Exception);
  EXPECT_THROW(ParseCommandLine({"--config="}), framework::Exception);
  EXPECT_THROW(ParseCommandLine({"--configx"}), framework::Exception);
  EXPECT_THROW(ParseCommandLine({"datei.csv"}), framework::Exception);
}

}  // namespace
}  // namespace app
