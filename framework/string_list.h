// An ordered list of text lines with optional attached objects, name=value access and change
// notification; the common currency for SQL text, protocol lines and name lists.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace framework {

class TStringList {
 public:
  TStringList() = default;
  TStringList(const TStringList& other) : items_(other.items_) {}
  TStringList& operator=(const TStringList& other);

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const;
  void SetStrings(int index, const std::string& text);
  void* Objects(int index) const;
  void SetObjects(int index, void* object);

  // Appends a line (and its object); returns its index.
  int Add(const std::string& text, void* object = nullptr);
  void Insert(int index, const std::string& text, void* object = nullptr);
  void Delete(int index);
  void Clear();
  // Replaces the contents with those of `other` (one change notification).
  void Assign(const TStringList& other);
  void AddStrings(const TStringList& other);

  // Index of the first line equal to `text` ignoring ASCII case, or -1.
  int IndexOf(const std::string& text) const;
  // Index of the first line "name=..." whose name matches ignoring ASCII case, or -1.
  int IndexOfName(const std::string& name) const;
  // The part after '=' of the line named `name`, or "" when there is none.
  std::string Values(const std::string& name) const;
  // Sets the value of `name`; an empty value removes the line.
  void SetValues(const std::string& name, const std::string& value);
  std::string Names(int index) const;

  // All lines, each followed by `line_break`.
  std::string Text(const std::string& line_break = "\n") const;
  // Replaces the contents by the lines of `text`, split at CR LF, LF or CR.
  void SetText(const std::string& text);
  // The lines joined with ',' (lines holding blanks, commas or quotes quoted).
  std::string CommaText() const;

  bool operator==(const TStringList& other) const;

  // Called after every change (the list itself is passed); may be empty.
  std::function<void(TStringList&)> OnChange;
  // Called before every change; may be empty.
  std::function<void(TStringList&)> OnChanging;

  // Groups changes: notifications are held back until the matching EndUpdate, which sends one.
  void BeginUpdate();
  void EndUpdate();

 private:
  struct Item {
    std::string text;
    void* object = nullptr;
    bool operator==(const Item& o) const { return text == o.text; }
  };
  void Changing();
  void Changed();
  void CheckIndex(int index) const;

  std::vector<Item> items_;
  int update_count_ = 0;
  bool changed_while_updating_ = false;
};

}  // namespace framework
