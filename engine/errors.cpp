#include "engine/errors.h"

#include "engine/objects.h"

namespace engine {

void Raise(int number, const std::string& message) {
  RecordError(number, message, kErrorSource);
  throw dao::EOleException(number, message, kErrorSource);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace engine
