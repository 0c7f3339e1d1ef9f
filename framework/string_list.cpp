#include "framework/string_list.h"

#include "framework/exception.h"
#include "framework/strings.h"

namespace framework {

TStringList& TStringList::operator=(const TStringList& other) {
  Assign(other);
  return *this;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count())
    throw Exception("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index);
  return items_[index].text;
}

void TStringList::SetStrings(int index, const std::string& text) {
  CheckIndex(index);
  Changing();
  items_[index].text = text;
  Changed();
}

void* TStringList::Objects(int index) const {
  CheckIndex(index);
  return items_[index].object;
}

void TStringList::SetObjects(int index, void* object) {
  CheckIndex(index);
  items_[index].object = object;
}

int TStringList::Add(const std::string& text, void* object) {
  Changing();
  items_.push_back({text, object});
  Changed();
  return Count() - 1;
}

void TStringList::Insert(int index, const std::string& text, void* object) {
  if (index < 0 || index > Count())
    throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  Changing();
  items_.insert(items_.begin() + index, Item{text, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Assign(const TStringList& other) {
  if (&other == this) return;
  Changing();
  items_ = other.items_;
  Changed();
}

void TStringList::AddStrings(const TStringList& other) {
  Changing();
  const std::vector<Item> copy = other.items_;  // `other` may be this list
  items_.insert(items_.end(), copy.begin(), copy.end());
  Changed();
}

int TStringList::IndexOf(const std::string& text) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(items_[i].text, text)) return i;
  return -1;
}

int TStringList::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& t = items_[i].text;
    const size_t eq = t.find('=');
    if (eq != std::string::npos && SameText(std::string_view(t).substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  const int i = IndexOfName(name);
  if (i < 0) return "";
  const std::string& t = items_[i].text;
  return t.substr(t.find('=') + 1);
}

void TStringList::SetValues(const std::string& name, const std::string& value) {
  const int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i >= 0) {
    SetStrings(i, name + "=" + value);
  } else {
    Add(name + "=" + value);
  }
}

std::string TStringList::Names(int index) const {
  const std::string& t = Strings(index);
  const size_t eq = t.find('=');
  return eq == std::string::npos ? "" : t.substr(0, eq);
}

std::string TStringList::Text(const std::string& line_break) const {
  std::string out;
  for (const Item& item : items_) {
    out += item.text;
    out += line_break;
  }
  return out;
}

void TStringList::SetText(const std::string& text) {
  Changing();
  items_.clear();
  size_t start = 0;
  const size_t n = text.size();
  while (start < n) {
    size_t end = start;
    while (end < n && text[end] != '\n' && text[end] != '\r') ++end;
    items_.push_back({text.substr(start, end - start), nullptr});
    if (end < n && text[end] == '\r') ++end;
    if (end < n && text[end] == '\n') ++end;
    start = end;
  }
  Changed();
}

std::string TStringList::CommaText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) out += ',';
    const std::string& t = items_[i].text;
    bool quote = t.empty();
    for (char c : t)
      if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"') quote = true;
    if (!quote) {
      out += t;
      continue;
    }
    out += '"';
    for (char c : t) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

bool TStringList::operator==(const TStringList& other) const { return items_ == other.items_; }

void TStringList::BeginUpdate() {
  if (update_count_++ == 0) changed_while_updating_ = false;
}

void TStringList::EndUpdate() {
  if (update_count_ == 0) return;
  if (--update_count_ == 0 && changed_while_updating_) {
    changed_while_updating_ = false;
    if (OnChange) OnChange(*this);
  }
}

void TStringList::Changing() {
  if (update_count_ == 0 && OnChanging) OnChanging(*this);
}

void TStringList::Changed() {
  if (update_count_ > 0) {
    changed_while_updating_ = true;
    return;
  }
  if (OnChange) OnChange(*this);
}

}  // namespace framework
