#include "engine/errors.h"

#include "engine/objects.h"
#include "framework/exception.h"

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

int IntArg(const framework::Variant& v, int fallback) {
  if (v.IsClear()) return fallback;
  try {
    return v.ToInt32();
  } catch (const framework::Exception&) {
    Raise(dao::err::kInvalidArgument, "Invalid argument " + Quoted(v.ToString()) + ".");
  }
}

}  // namespace engine
