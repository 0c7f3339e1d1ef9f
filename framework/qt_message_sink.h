// Message boxes for the application object in a program with windows.
#pragma once

#include "framework/application.h"

namespace framework {

// Shows errors in a modal critical message box and messages in an information box.
class QtMessageSink : public MessageSink {
 public:
  void ShowError(const std::string& title, const std::string& message) override;
  void ShowMessage(const std::string& title, const std::string& message) override;
};

}  // namespace framework
