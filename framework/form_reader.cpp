#include "framework/form_reader.h"

#include <cctype>
#include <charconv>
#include <memory>

#include "framework/exception.h"
#include "framework/form_classes.h"
#include "framework/strings.h"

namespace framework {

namespace {

[[noreturn]] void FormError(int line, const std::string& message) {
  throw EComponentError("Form file, line " + std::to_string(line) + ": " + message);
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

// A recursive-descent parser over the raw text; `line_` follows the position for messages.
class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  TFormObject ParseRoot() {
    SkipBlanks();
    TFormObject root = ParseObject();
    SkipBlanks();
    if (pos_ < s_.size()) FormError(line_, "text after the end of the form");
    return root;
  }

 private:
  void SkipBlanks() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (static_cast<unsigned char>(c) <= ' ') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  bool AtEnd() {
    SkipBlanks();
    return pos_ >= s_.size();
  }

  char Peek() {
    SkipBlanks();
    return pos_ < s_.size() ? s_[pos_] : '\0';
  }

  void Expect(char c) {
    if (Peek() != c) FormError(line_, std::string("'") + c + "' expected");
    ++pos_;
  }

  std::string Identifier() {
    SkipBlanks();
    if (pos_ >= s_.size() || !IsIdentStart(s_[pos_])) FormError(line_, "identifier expected");
    const size_t start = pos_;
    while (pos_ < s_.size() && IsIdentChar(s_[pos_])) ++pos_;
    return s_.substr(start, pos_ - start);
  }

  // The next word without consuming it ("" when the next token is not an identifier).
  std::string PeekWord() {
    SkipBlanks();
    size_t p = pos_;
    if (p >= s_.size() || !IsIdentStart(s_[p])) return "";
    while (p < s_.size() && IsIdentChar(s_[p])) ++p;
    return s_.substr(pos_, p - pos_);
  }

  // Counts one level of nesting while it lives.
  class Nesting {
   public:
    explicit Nesting(Parser& p) : p_(p) {
      // The limit keeps a hostile file from exhausting the stack of this recursive parser.
      if (++p_.depth_ > kMaxFormNesting)
        FormError(p_.line_, "nested more than " + std::to_string(kMaxFormNesting) + " levels deep");
    }
    ~Nesting() { --p_.depth_; }

   private:
    Parser& p_;
  };

  TFormObject ParseObject() {
    const Nesting nesting(*this);
    TFormObject obj;
    obj.line = line_;
    const std::string keyword = Identifier();
    if (SameText(keyword, "inherited") || SameText(keyword, "inline")) obj.inherited = true;
    else if (!SameText(keyword, "object")) FormError(obj.line, "'object' expected");
    obj.name = Identifier();
    if (Peek() == ':') {
      ++pos_;
      obj.class_name = Identifier();
    } else {
      // A block without a name ("object TFoo") names only the class.
      obj.class_name = obj.name;
      obj.name.clear();
    }
    for (;;) {
      if (AtEnd()) FormError(line_, "'end' expected");
      const std::string word = PeekWord();
      if (SameText(word, "end")) {
        Identifier();
        break;
      }
      if (SameText(word, "object") || SameText(word, "inherited") || SameText(word, "inline")) {
        obj.children.push_back(ParseObject());
        continue;
      }
      TFormObject::Property prop;
      prop.line = line_;
      prop.name = Identifier();
      Expect('=');
      prop.value = ParseValue();
      obj.properties.push_back(std::move(prop));
    }
    return obj;
  }

  TFormValue ParseValue() {
    const char c = Peek();
    if (c == '\'' || c == '#') return TFormValue::String(ParseString());
    if (c == '-' || c == '+' || c == '$' || std::isdigit(static_cast<unsigned char>(c)))
      return ParseNumber();
    if (IsIdentStart(c)) return TFormValue::Identifier(Identifier());
    if (c == '[') return ParseSet();
    if (c == '(') return ParseList();
    if (c == '<') return ParseCollection();
    if (c == '{') return ParseBinary();
    FormError(line_, "property value expected");
  }

  // 'abc'#13#10'def' + 'ghi', across lines at the '+'. Parts join only when nothing stands
  // between them; a '+' may have blanks and line breaks around it.
  std::string ParseString() {
    std::string out;
    SkipBlanks();
    for (;;) {
      const char c = pos_ < s_.size() ? s_[pos_] : '\0';
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (pos_ >= s_.size() || s_[pos_] == '\n') FormError(line_, "unterminated text");
          if (s_[pos_] == '\'') {
            if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
              out += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          out += s_[pos_++];
        }
      } else if (c == '#') {
        ++pos_;
        const size_t start = pos_;
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        if (start == pos_ || pos_ - start > 7) FormError(line_, "character code expected");
        const unsigned long code = std::stoul(s_.substr(start, pos_ - start));
        if (code > 0x10FFFF) FormError(line_, "character code out of range");
        AppendUtf8(out, static_cast<uint32_t>(code));
      } else {
        const size_t save = pos_;
        const int save_line = line_;
        if (Peek() == '+') {
          ++pos_;
          const char n = Peek();
          if (n == '\'' || n == '#') continue;
        }
        pos_ = save;
        line_ = save_line;
        break;
      }
    }
    return out;
  }

  TFormValue ParseNumber() {
    SkipBlanks();
    const int line = line_;
    const size_t start = pos_;
    bool negative = false;
    if (s_[pos_] == '-' || s_[pos_] == '+') {
      negative = s_[pos_] == '-';
      ++pos_;
    }
    if (pos_ < s_.size() && s_[pos_] == '$') {
      ++pos_;
      const size_t digits = pos_;
      while (pos_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      if (digits == pos_ || pos_ - digits > 16) FormError(line, "hexadecimal number expected");
      const uint64_t v = std::stoull(s_.substr(digits, pos_ - digits), nullptr, 16);
      const int64_t i = static_cast<int64_t>(v);
      return TFormValue::Integer(negative ? -i : i);
    }
    bool is_float = false;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (std::isdigit(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '.' || c == 'e' || c == 'E') {
        is_float = true;
        ++pos_;
        if ((c == 'e' || c == 'E') && pos_ < s_.size() && (s_[pos_] == '-' || s_[pos_] == '+'))
          ++pos_;
      } else {
        break;
      }
    }
    const std::string number = s_.substr(start, pos_ - start);
    // Single, currency and date floats carry a type letter; the value is the same.
    if (pos_ < s_.size() && (s_[pos_] == 's' || s_[pos_] == 'c' || s_[pos_] == 'd')) {
      is_float = true;
      ++pos_;
    }
    if (pos_ < s_.size() && IsIdentChar(s_[pos_])) FormError(line, "invalid number");
    // from_chars takes no leading '+' and reads independently of the locale.
    const std::string digits = !number.empty() && number[0] == '+' ? number.substr(1) : number;
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    if (is_float) {
      double d = 0;
      const auto res = std::from_chars(first, last, d);
      if (res.ec != std::errc() || res.ptr != last) FormError(line, "invalid number " + number);
      return TFormValue::Float(d);
    }
    int64_t i = 0;
    const auto res = std::from_chars(first, last, i);
    if (res.ec != std::errc() || res.ptr != last) FormError(line, "invalid number " + number);
    return TFormValue::Integer(i);
  }

  TFormValue ParseSet() {
    Expect('[');
    std::vector<std::string> members;
    if (Peek() != ']') {
      for (;;) {
        members.push_back(Identifier());
        if (Peek() != ',') break;
        ++pos_;
      }
    }
    Expect(']');
    return TFormValue::Set(std::move(members));
  }

  TFormValue ParseList() {
    const Nesting nesting(*this);
    Expect('(');
    std::vector<TFormValue> items;
    while (Peek() != ')') {
      if (AtEnd()) FormError(line_, "')' expected");
      items.push_back(ParseValue());
    }
    ++pos_;
    return TFormValue::List(std::move(items));
  }

  TFormValue ParseCollection() {
    const Nesting nesting(*this);
    Expect('<');
    std::vector<TFormItem> items;
    while (Peek() != '>') {
      if (!SameText(Identifier(), "item")) FormError(line_, "'item' expected");
      TFormItem item;
      for (;;) {
        if (AtEnd()) FormError(line_, "'end' expected");
        if (SameText(PeekWord(), "end")) {
          Identifier();
          break;
        }
        std::string name = Identifier();
        Expect('=');
        item.emplace_back(std::move(name), ParseValue());
      }
      items.push_back(std::move(item));
    }
    ++pos_;
    return TFormValue::Collection(std::move(items));
  }

  TFormValue ParseBinary() {
    Expect('{');
    std::vector<uint8_t> bytes;
    std::string pending;
    for (;;) {
      SkipBlanks();
      if (pos_ >= s_.size()) FormError(line_, "'}' expected");
      const char c = s_[pos_++];
      if (c == '}') break;
      if (!std::isxdigit(static_cast<unsigned char>(c))) FormError(line_, "hexadecimal digit expected");
      pending += c;
      if (pending.size() == 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(pending, nullptr, 16)));
        pending.clear();
      }
    }
    if (!pending.empty()) FormError(line_, "odd number of hexadecimal digits");
    return TFormValue::Binary(std::move(bytes));
  }

  const std::string& s_;
  size_t pos_ = 0;
  int line_ = 1;
  int depth_ = 0;
};

// The state of one read: what was touched, what was created, what waits for resolution.
class Reading {
 public:
  void Run(const TFormObject& form, TComponent* root, bool root_created) {
    if (root_created) created_.push_back(root);
    try {
      Apply(form, root);
      for (TComponent* c : loaded_) c->ClearComponentState(csReading);
      ResolveReferences();
    } catch (...) {
      for (TComponent* c : loaded_) c->ClearComponentState(csLoading | csReading);
      // Children were created after their owners: destroying in reverse never frees twice.
      for (auto it = created_.rbegin(); it != created_.rend(); ++it) delete *it;
      throw;
    }
    try {
      CallLoaded();
    } catch (...) {
      // A root made for this read would be lost to the caller; components read into an
      // existing root stay with it, complete.
      if (root_created) delete root;
      throw;
    }
  }

 private:
  struct Fixup {
    TComponent* component;
    const TPropertyInfo* property;
    std::string target;
    int line;
  };

  static std::string Where(const TComponent* c, const std::string& property) {
    return (c->Name().empty() ? c->ClassName() : c->Name()) + "." + property;
  }

  void Apply(const TFormObject& form, TComponent* component) {
    component->SetComponentState(csLoading | csReading);
    loaded_.push_back(component);
    if (!form.name.empty() && form.name != component->Name()) component->SetName(form.name);
    const std::string class_name = component->ClassName();
    for (const auto& prop : form.properties) {
      const TPropertyInfo* info = FindStoredProperty(class_name, prop.name);
      if (info == nullptr)
        FormError(prop.line, "error reading " + Where(component, prop.name) + ": property " +
                                 prop.name + " does not exist");
      if (info->is_reference()) {
        if (prop.value.kind() != TFormValue::Kind::Identifier)
          FormError(prop.line, "error reading " + Where(component, prop.name) +
                                   ": invalid property value");
        fixups_.push_back({component, info, prop.value.AsIdentifier(), prop.line});
        continue;
      }
      if (!info->set)
        FormError(prop.line, "error reading " + Where(component, prop.name) +
                                 ": property is read-only");
      try {
        info->set(*component, prop.value);
      } catch (const EComponentError& e) {
        // Conversions of the value raise this; say where it happened.
        FormError(prop.line, "error reading " + Where(component, prop.name) + ": " + e.Message());
      }
    }
    for (const TFormObject& child_form : form.children) {
      TComponent* child = child_form.name.empty() ? nullptr : component->FindComponent(child_form.name);
      if (child != nullptr) {
        if (!SameText(child->ClassName(), child_form.class_name))
          FormError(child_form.line, child_form.name + " is a " + child->ClassName() + ", not a " +
                                         child_form.class_name);
      } else {
        if (child_form.inherited)
          FormError(child_form.line, "inherited component " + child_form.name + " not found");
        const TComponentClass* cls = FindComponentClass(child_form.class_name);
        if (cls == nullptr) FormError(child_form.line, "class " + child_form.class_name + " not found");
        if (!cls->create)
          FormError(child_form.line, "class " + child_form.class_name + " cannot be created");
        child = cls->create(component);
        created_.push_back(child);
      }
      Apply(child_form, child);
    }
  }

  // The component `name` (possibly dotted) as seen from `from`: a child of its owner, of that
  // one's owner, and so on; the owners themselves count by their own names too.
  static TComponent* Lookup(TComponent* from, const std::string& name) {
    const std::vector<std::string> parts = SplitString(name, '.');
    for (TComponent* scope = from->Owner() != nullptr ? from->Owner() : from; scope != nullptr;
         scope = scope->Owner()) {
      TComponent* found = SameText(scope->Name(), parts[0]) ? scope : scope->FindComponent(parts[0]);
      for (size_t i = 1; found != nullptr && i < parts.size(); ++i)
        found = found->FindComponent(parts[i]);
      if (found != nullptr) return found;
    }
    return nullptr;
  }

  void ResolveReferences() {
    for (const Fixup& f : fixups_) {
      TComponent* target = nullptr;
      if (!SameText(f.target, "nil")) {
        target = Lookup(f.component, f.target);
        if (target == nullptr)
          FormError(f.line, "error reading " + Where(f.component, f.property->name) +
                                ": component " + f.target + " not found");
      }
      try {
        f.property->set_reference(*f.component, target);
      } catch (const EComponentError& e) {
        FormError(f.line, "error reading " + Where(f.component, f.property->name) + ": " +
                              e.Message());
      }
    }
  }

  void CallLoaded() {
    // Every component gets its Loaded even when an earlier one fails; the first error wins.
    std::exception_ptr first;
    auto call = [&](TComponent* c) {
      try {
        c->Loaded();
      } catch (...) {
        c->ClearComponentState(csLoading);
        if (!first) first = std::current_exception();
      }
    };
    for (size_t i = 1; i < loaded_.size(); ++i) call(loaded_[i]);
    if (!loaded_.empty()) call(loaded_[0]);
    if (first) std::rethrow_exception(first);
  }

  std::vector<TComponent*> loaded_;
  std::vector<TComponent*> created_;
  std::vector<Fixup> fixups_;
};

}  // namespace

TFormObject ParseFormText(const std::string& text) { return Parser(text).ParseRoot(); }

void ReadComponent(const TFormObject& form, TComponent* root) {
  if (root == nullptr) throw EComponentError("Form file: no component to read into");
  Reading().Run(form, root, false);
}

void ReadComponentText(const std::string& text, TComponent* root) {
  ReadComponent(ParseFormText(text), root);
}

TComponent* CreateComponentFromText(const std::string& text, TComponent* owner) {
  const TFormObject form = ParseFormText(text);
  const TComponentClass* cls = FindComponentClass(form.class_name);
  if (cls == nullptr) FormError(form.line, "class " + form.class_name + " not found");
  if (!cls->create) FormError(form.line, "class " + form.class_name + " cannot be created");
  TComponent* root = cls->create(owner);
  Reading().Run(form, root, true);
  return root;
}

}  // namespace framework
