// A genuine Access file is not opened in place: the engine and the connection component refuse it
// with 3343 and a message that names the file and the command that converts it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "engine/access_header.h"
#include "engine/engine.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "framework/registry.h"

namespace {

using dao::Variant;

const std::string kSamples = GEB_ACCESS_SAMPLES;

// The message of the 3343 raised by `f`; fails the test when `f` raises nothing or another error.
template <class F>
std::string RefusalOf(F&& f) {
  try {
    f();
  } catch (const framework::EOleException& e) {
    EXPECT_EQ(dao::err::kNotADatabase, e.ErrorCode()) << e.Message();
    return e.Message();
  }
  ADD_FAILURE() << "no error raised";
  return "";
}

TEST(AccessHeader, RecognisesJetAndAceFilesOnly) {
  for (const char* name : {"testV1997.mdb", "test2V2000.mdb", "testV2007.accdb"})
    EXPECT_TRUE(engine::IsAccessFile(kSamples + "/" + name)) << name;
  EXPECT_FALSE(engine::IsAccessFile(kSamples + "/README.md"));
  EXPECT_FALSE(engine::IsAccessFile(kSamples + "/no such file.mdb"));
  const std::string jet("\0\x01\0\0Standard Jet DB\0", 20);
  EXPECT_TRUE(engine::IsAccessHeader(jet));
  EXPECT_FALSE(engine::IsAccessHeader(jet.substr(0, 19)));  // cut short
  std::string other = jet;
  other[9] = 'X';
  EXPECT_FALSE(engine::IsAccessHeader(other));
  EXPECT_FALSE(engine::IsAccessHeader(""));
}

TEST(AccessRefusal, OpenDatabaseNamesTheFileAndTheConversion) {
  auto engine = engine::CreateEngine();
  for (const char* name : {"testV1997.mdb", "indexTestV2000.mdb", "testV2007.accdb"}) {
    const std::string path = kSamples + "/" + name;
    for (bool read_only : {false, true}) {
      const std::string message =
          RefusalOf([&] { engine->OpenDatabase(path, Variant(false), Variant(read_only)); });
      EXPECT_NE(std::string::npos, message.find("'" + path + "'")) << message;
      EXPECT_NE(std::string::npos, message.find("dbsh --import-access '" + path + "' DEST")) << message;
      // The last error of the engine is the same refusal.
      EXPECT_EQ(dao::err::kNotADatabase, engine->Errors()->Item(0)->Number());
    }
  }
}

TEST(AccessRefusal, ConnectionComponentPassesTheRefusalOn) {
  engine::RegisterEngineClasses();
  framework::SetRegistry(nullptr);
  framework::Application().Initialize(nullptr);
  dao::TUxDaoDatabase db(nullptr);
  const std::string path = kSamples + "/test2V2000.mdb";
  db.SetDatabase(path);
  const std::string message = RefusalOf([&] { db.SetConnected(true); });
  EXPECT_FALSE(db.Connected());
  EXPECT_NE(std::string::npos, message.find("dbsh --import-access '" + path + "' DEST")) << message;
}

}  // namespace
