#include "engine/errors.h"

#include "engine/objects.h"

namespace engine {

void Raise(int number, const std::string& message) {
  RecordError(number, message, kErrorSource);
  throw dao::EOleException(number, message, kErrorSource);
}

std::string Quoted(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  out += text;
  out += '\'';
  return out;
}

}  // namespace engine
