// The application object: where unhandled errors of a user action end up, the program's own
// path, and the request to end the program.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace framework {

// Shows messages to the user. The windowed program installs message boxes; without a display
// the default writes to standard error.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowError(const std::string& title, const std::string& message) = 0;
  virtual void ShowMessage(const std::string& title, const std::string& message) = 0;
};

// Writes each message as one line to standard error.
class StderrMessageSink : public MessageSink {
 public:
  void ShowError(const std::string& title, const std::string& message) override;
  void ShowMessage(const std::string& title, const std::string& message) override;
};

class TApplication {
 public:
  TApplication();

  // Takes the program's path from the running executable (argv0 when that cannot be read).
  void Initialize(const char* argv0);
  // Full path of the program file, and its folder with a trailing '/'.
  const std::string& ExeName() const { return exe_name_; }
  std::string ExeFolder() const;
  void SetExeName(const std::string& path) { exe_name_ = path; }

  // Title used for message boxes (the program's file name by default).
  std::string Title() const;
  void SetTitle(const std::string& title) { title_ = title; }

  bool Headless() const { return headless_; }
  void SetHeadless(bool headless) { headless_ = headless; }

  // Replaces where messages go; null restores standard error. The sink is not owned.
  void SetMessageSink(MessageSink* sink);

  // The default handler of an error that ended a user action: OnException when set, otherwise
  // the error's whole message, control characters escaped, in an error box. A stop request
  // (EStopRequested) shows no box: its message goes to standard error, the exit code becomes 1
  // and the program is asked to end. Counts the errors it has handled.
  void HandleException(const std::exception& error);
  // Handles the exception being processed (call from a catch block).
  void HandleCurrentException();
  // Runs one user action (a click, a menu choice); an error ends the action and goes to
  // HandleException. Returns false when the action failed.
  bool ProcessUserAction(const std::function<void()>& action);
  void ShowMessage(const std::string& message);
  int ErrorCount() const { return error_count_; }

  // Asks the program to end: sets Terminated and calls OnTerminate (the event loop's quit).
  void Terminate();
  bool Terminated() const { return terminated_; }
  // The exit status the program ends with (0 unless set).
  int ExitCode() const { return exit_code_; }
  void SetExitCode(int code) { exit_code_ = code; }

  std::function<void(const std::exception&)> OnException;
  std::function<void()> OnTerminate;

 private:
  std::string exe_name_;
  std::string title_;
  bool headless_ = false;
  bool terminated_ = false;
  int exit_code_ = 0;
  int error_count_ = 0;
  StderrMessageSink stderr_sink_;
  MessageSink* sink_;
};

// The process's application object.
TApplication& Application();

}  // namespace framework
