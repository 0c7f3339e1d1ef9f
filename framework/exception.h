// The error types of the whole system. Every failure travels as an exception derived from
// framework::Exception, whose message is the text shown to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace framework {

// Base of all errors raised by this system; Message() is the user-visible text. It is kept
// whole: what() ends at the first NUL byte, Message() does not (a text read from a file may hold
// one).
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message), message_(message) {}
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// Refusal or failure of the dataset layer (a component's own checks).
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// A text that could not be converted to a number or date.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A file that could not be opened, read or written.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

// A component operation that was refused (a bad or duplicate name, a bad form file).
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

// A variant that could not be converted to the requested type.
class EVariantError : public Exception {
 public:
  using Exception::Exception;
};

// An error raised by an automation server (the database engine). ErrorCode() carries the
// server's own error number (for the database engine, the DAO error number such as 3167).
class EOleException : public Exception {
 public:
  EOleException(int error_code, const std::string& description, const std::string& source = "")
      : Exception(description), error_code_(error_code), source_(source) {}
  int ErrorCode() const { return error_code_; }
  const std::string& Source() const { return source_; }

 private:
  int error_code_;
  std::string source_;
};

}  // namespace framework
