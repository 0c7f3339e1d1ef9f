#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/exception.h"
#include "framework/stop_request.h"

namespace framework {
namespace {

class RecordingSink : public MessageSink {
 public:
  void ShowError(const std::string& title, const std::string& message) override {
    shown.push_back("error " + title + ": " + message);
  }
  void ShowMessage(const std::string& title, const std::string& message) override {
    shown.push_back("message " + title + ": " + message);
  }
  std::vector<std::string> shown;
};

TEST(Application, AFailedUserActionEndsInTheErrorBox) {
  TApplication app;
  RecordingSink sink;
  app.SetMessageSink(&sink);
  app.SetTitle("Geburtstage");
  bool after_error = false;
  EXPECT_FALSE(app.ProcessUserAction([&] {
    throw EInOutError("I/O error 5: cannot read 'x.csv'");
    after_error = true;
  }));
  EXPECT_FALSE(after_error);
  EXPECT_TRUE(app.ProcessUserAction([] {}));
  EXPECT_FALSE(app.ProcessUserAction([] { throw 42; }));
  app.ShowMessage("fertig");
  EXPECT_EQ((std::vector<std::string>{"error Geburtstage: I/O error 5: cannot read 'x.csv'",
                                      "error Geburtstage: Unknown error",
                                      "message Geburtstage: fertig"}),
            sink.shown);
  EXPECT_EQ(2, app.ErrorCount());
}

TEST(Application, ProgramPathAndTermination) {
  TApplication app;
  app.Initialize(nullptr);
  EXPECT_EQ('/', app.ExeName().front());
  EXPECT_EQ('/', app.ExeFolder().back());
  EXPECT_EQ(app.ExeName().rfind('/') + 1, app.ExeFolder().size());
  int quits = 0;
  app.OnTerminate = [&] { ++quits; };
  EXPECT_FALSE(app.Terminated());
  app.Terminate();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(1, quits);
}

TEST(Application, MessagesAreShownWholeWithControlCharactersEscaped) {
  TApplication app;
  RecordingSink sink;
  app.SetMessageSink(&sink);
  app.SetTitle("Geburtstage");
  // A number cell of a UTF-16 export read as single bytes: every other byte is NUL.
  const std::string cell("2\0" "0\0" "1\0", 6);
  app.ProcessUserAction([&] { throw EConvertError("'" + cell + "' is not a valid integer value"); });
  app.ProcessUserAction([] { throw Exception("bad\x1b[2Jname\r\x7f\ttab\nnext line"); });
  EXPECT_EQ((std::vector<std::string>{
                "error Geburtstage: '2\\x000\\x001\\x00' is not a valid integer value",
                "error Geburtstage: bad\\x1b[2Jname\\r\\x7f\ttab\nnext line"}),
            sink.shown);
}

TEST(Application, AStopRequestEndsTheProgramWithoutABox) {
  TApplication app;
  RecordingSink sink;
  app.SetMessageSink(&sink);
  int quits = 0;
  app.OnTerminate = [&] { ++quits; };
  RequestStop(15);
  int steps = 0;
  EXPECT_FALSE(app.ProcessUserAction([&] {
    for (;; ++steps) CheckStopRequest();
  }));
  ClearStopRequest();
  EXPECT_EQ(0, steps);
  EXPECT_TRUE(sink.shown.empty());  // nobody would be there to close a box
  EXPECT_EQ(1, quits);
  EXPECT_EQ(1, app.ExitCode());
  EXPECT_NO_THROW(CheckStopRequest());
}

}  // namespace
}  // namespace framework
