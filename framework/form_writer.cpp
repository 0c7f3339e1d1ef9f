#include "framework/form_writer.h"

#include <cmath>
#include <charconv>

#include "framework/exception.h"
#include "framework/form_classes.h"

namespace framework {

namespace {

std::string Indent(int n) { return std::string(static_cast<size_t>(n) * 2, ' '); }

// A form nested deeper than the reader takes could not be read back.
void CheckNesting(int level) {
  if (level > kMaxFormNesting)
    throw EComponentError("Form file: nested more than " + std::to_string(kMaxFormNesting) +
                          " levels deep, it could not be read back");
}

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

// Appends the value to `out`, indented by `indent` levels; `depth` is the nesting of the block
// that holds it, as the reader counts nesting (blocks, lists, collections; not items). Nested
// lists and collections append in place, so the text costs time in proportion to its length.
void AppendValue(const TFormValue& v, int indent, int depth, std::string& out) {
  auto new_line = [&](int level) {
    out += '\n';
    out.append(static_cast<size_t>(level) * 2, ' ');
  };
  switch (v.kind()) {
    case TFormValue::Kind::Integer: out += std::to_string(v.AsInteger()); return;
    case TFormValue::Kind::Float: out += FormatFloat(v.AsFloat()); return;
    case TFormValue::Kind::String: out += QuoteText(v.AsString()); return;
    case TFormValue::Kind::Identifier: out += v.AsIdentifier(); return;
    case TFormValue::Kind::Set: {
      out += '[';
      for (size_t i = 0; i < v.AsSet().size(); ++i) out += (i ? ", " : "") + v.AsSet()[i];
      out += ']';
      return;
    }
    case TFormValue::Kind::List: {
      CheckNesting(depth + 1);
      out += '(';
      for (const TFormValue& item : v.AsList()) {
        new_line(indent + 1);
        AppendValue(item, indent + 1, depth + 1, out);
      }
      out += ')';
      return;
    }
    case TFormValue::Kind::Collection: {
      CheckNesting(depth + 1);
      out += '<';
      for (const TFormItem& item : v.AsCollection()) {
        new_line(indent + 1);
        out += "item";
        for (const auto& [name, value] : item) {
          new_line(indent + 2);
          out += name + " = ";
          AppendValue(value, indent + 2, depth + 1, out);
        }
        new_line(indent + 1);
        out += "end";
      }
      out += '>';
      return;
    }
    case TFormValue::Kind::Binary: {
      static const char hex[] = "0123456789ABCDEF";
      out += '{';
      const auto& bytes = v.AsBinary();
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 32 == 0) new_line(indent + 1);
        out += hex[bytes[i] >> 4];
        out += hex[bytes[i] & 15];
      }
      out += '}';
      return;
    }
  }
}

void WriteObject(const TComponent& c, int indent, std::string& out) {
  CheckNesting(indent + 1);
  out += Indent(indent) + "object " + (c.Name().empty() ? "" : c.Name() + ": ") + c.ClassName() +
         "\n";
  for (const TPropertyInfo* p : StoredProperties(c.ClassName())) {
    if (!p->get) continue;
    if (p->stored && !p->stored(c)) continue;
    out += Indent(indent + 1) + p->name + " = ";
    AppendValue(p->get(c), indent + 1, indent + 1, out);
    out += '\n';
  }
  for (int i = 0; i < c.ComponentCount(); ++i) {
    const TComponent* child = c.Components(i);
    if (child->Name().empty() || FindComponentClass(child->ClassName()) == nullptr) continue;
    WriteObject(*child, indent + 1, out);
  }
  out += Indent(indent) + "end\n";
}

}  // namespace

std::string FormatFormValue(const TFormValue& value, int indent) {
  std::string out;
  AppendValue(value, indent, indent, out);
  return out;
}

std::string WriteComponentText(const TComponent& root) {
  std::string out;
  WriteObject(root, 0, out);
  return out;
}

}  // namespace framework
