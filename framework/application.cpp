#include "framework/application.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "framework/exception.h"
#include "framework/stop_request.h"
#include "framework/strings.h"

namespace framework {

void StderrMessageSink::ShowError(const std::string& title, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
  std::fflush(stderr);
}

void StderrMessageSink::ShowMessage(const std::string& title, const std::string& message) {
  ShowError(title, message);
}

TApplication::TApplication() : sink_(&stderr_sink_) {}

void TApplication::Initialize(const char* argv0) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) {
    exe_name_.assign(buffer, static_cast<size_t>(n));
  } else if (argv0 != nullptr) {
    char resolved[PATH_MAX];
    exe_name_ = ::realpath(argv0, resolved) != nullptr ? resolved : argv0;
  }
}

std::string TApplication::ExeFolder() const { return ExtractFilePath(exe_name_); }

std::string TApplication::Title() const {
  if (!title_.empty()) return title_;
  const std::string name = ExtractFileName(exe_name_);
  return name.empty() ? "Error" : name;
}

void TApplication::SetMessageSink(MessageSink* sink) { sink_ = sink != nullptr ? sink : &stderr_sink_; }

void TApplication::HandleException(const std::exception& error) {
  ++error_count_;
  if (OnException) {
    OnException(error);
    return;
  }
  const auto* own = dynamic_cast<const Exception*>(&error);
  const std::string message = EscapeControlCharacters(own != nullptr ? own->Message() : error.what());
  if (dynamic_cast<const EStopRequested*>(&error) != nullptr) {
    // A stop request ends the program: no box that would wait for a click.
    stderr_sink_.ShowError(Title(), message);
    if (exit_code_ == 0) exit_code_ = 1;
    Terminate();
    return;
  }
  sink_->ShowError(Title(), message);
}

void TApplication::HandleCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    HandleException(Exception("Unknown error"));
  }
}

bool TApplication::ProcessUserAction(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (...) {
    HandleCurrentException();
    return false;
  }
}

void TApplication::ShowMessage(const std::string& message) {
  sink_->ShowMessage(Title(), EscapeControlCharacters(message));
}

void TApplication::Terminate() {
  terminated_ = true;
  if (OnTerminate) OnTerminate();
}

TApplication& Application() {
  static TApplication app;
  return app;
}

}  // namespace framework
