#include "framework/form_writer.h"

#include <cmath>
#include <charconv>

#include "framework/exception.h"
#include "framework/form_classes.h"

namespace framework {

namespace {

std::string Indent(int n) { return std::string(static_cast<size_t>(n) * 2, ' '); }

// 'text' with quotes doubled; control characters as #nn between quoted parts.
std::string QuoteText(const std::string& s) {
  std::string out;
  bool open = false;
  for (const char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32) {
      if (open) out += '\'';
      open = false;
      out += '#' + std::to_string(u);
    } else {
      if (!open) out += '\'';
      open = true;
      if (c == '\'') out += "''";
      else out += c;
    }
  }
  if (open) out += '\'';
  if (out.empty()) out = "''";
  return out;
}

std::string FormatFloat(double d) {
  if (!std::isfinite(d)) throw EComponentError("Form file: a float value is not finite");
  // Shortest text that reads back to the same value, independent of the locale.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, d);
  std::string s(buf, res.ptr);
  // Reads back as a float, not an integer.
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

std::string FormatValue(const TFormValue& v, int indent) {
  switch (v.kind()) {
    case TFormValue::Kind::Integer: return std::to_string(v.AsInteger());
    case TFormValue::Kind::Float: return FormatFloat(v.AsFloat());
    case TFormValue::Kind::String: return QuoteText(v.AsString());
    case TFormValue::Kind::Identifier: return v.AsIdentifier();
    case TFormValue::Kind::Set: {
      std::string out = "[";
      for (size_t i = 0; i < v.AsSet().size(); ++i) out += (i ? ", " : "") + v.AsSet()[i];
      return out + "]";
    }
    case TFormValue::Kind::List: {
      std::string out = "(";
      for (const TFormValue& item : v.AsList())
        out += "\n" + Indent(indent + 1) + FormatValue(item, indent + 1);
      return out + ")";
    }
    case TFormValue::Kind::Collection: {
      std::string out = "<";
      for (const TFormItem& item : v.AsCollection()) {
        out += "\n" + Indent(indent + 1) + "item";
        for (const auto& [name, value] : item)
          out += "\n" + Indent(indent + 2) + name + " = " + FormatValue(value, indent + 2);
        out += "\n" + Indent(indent + 1) + "end";
      }
      return out + ">";
    }
    case TFormValue::Kind::Binary: {
      static const char hex[] = "0123456789ABCDEF";
      std::string out = "{";
      const auto& bytes = v.AsBinary();
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 32 == 0) out += "\n" + Indent(indent + 1);
        out += hex[bytes[i] >> 4];
        out += hex[bytes[i] & 15];
      }
      return out + "}";
    }
  }
  return "";
}

void WriteObject(const TComponent& c, int indent, std::string& out) {
  out += Indent(indent) + "object " + (c.Name().empty() ? "" : c.Name() + ": ") + c.ClassName() +
         "\n";
  for (const TPropertyInfo* p : StoredProperties(c.ClassName())) {
    if (!p->get) continue;
    if (p->stored && !p->stored(c)) continue;
    out += Indent(indent + 1) + p->name + " = " + FormatValue(p->get(c), indent + 1) + "\n";
  }
  for (int i = 0; i < c.ComponentCount(); ++i) {
    const TComponent* child = c.Components(i);
    if (child->Name().empty() || FindComponentClass(child->ClassName()) == nullptr) continue;
    WriteObject(*child, indent + 1, out);
  }
  out += Indent(indent) + "end\n";
}

}  // namespace

std::string FormatFormValue(const TFormValue& value, int indent) { return FormatValue(value, indent); }

std::string WriteComponentText(const TComponent& root) {
  std::string out;
  WriteObject(root, 0, out);
  return out;
}

}  // namespace framework
