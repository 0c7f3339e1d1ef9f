// The form reader, fuzzed: no text may crash it, and every value it reads is written back by the
// form writer as text that reads back to the same value.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/exception.h"
#include "framework/form_reader.h"
#include "framework/form_writer.h"

namespace {

void RoundTrip(const framework::TFormObject& object, int depth) {
  for (const auto& p : object.properties) {
    std::string text;
    try {
      text = framework::FormatFormValue(p.value, depth);
    } catch (const framework::EComponentError&) {
      continue;  // a value the writer cannot write (a float out of range)
    }
    std::string form;
    for (int i = 1; i < depth; ++i) form += "object A: T\n";
    form += "object X: T\n P = " + text + "\nend\n";
    for (int i = 1; i < depth; ++i) form += "end\n";
    framework::TFormObject again = framework::ParseFormText(form);
    for (int i = 1; i < depth; ++i) again = again.children.at(0);
    if (again.properties.size() != 1 || !(again.properties[0].value == p.value)) {
      std::fprintf(stderr, "round trip changed property %s:\n%s\n", p.name.c_str(), text.c_str());
      std::abort();
    }
  }
  for (const auto& child : object.children) RoundTrip(child, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  framework::TFormObject form;
  try {
    form = framework::ParseFormText(text);
  } catch (const framework::EComponentError&) {
    return 0;  // not a form: refused with a message, as it should be
  }
  RoundTrip(form, 1);
  return 0;
}
