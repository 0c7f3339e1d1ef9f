// Raising the engine's errors: every failure leaves the engine as dao::EOleException with a DAO
// error number and a message of this engine that names the object or text concerned. Also the
// reading of optional integer arguments, which fail with such an error.
#pragma once

#include <string>

#include "dao/dao_constants.h"
#include "dao/dao_interfaces.h"

namespace engine {

// Source text of every error the engine raises.
constexpr const char* kErrorSource = "DAO.Engine";

// Throws dao::EOleException(number, message).
[[noreturn]] void Raise(int number, const std::string& message);

// Quotes a name or text for a message: 'text'.
std::string Quoted(const std::string& text);

// The integer of an optional argument: `fallback` when it is omitted (Empty) or Null. A value
// that is no integer raises err::kInvalidArgument "Invalid argument '<value>'.".
int IntArg(const framework::Variant& v, int fallback);

}  // namespace engine
