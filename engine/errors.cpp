#include "engine/errors.h"

namespace engine {

void Raise(int number, const std::string& message) {
  throw dao::EOleException(number, message, kErrorSource);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace engine
