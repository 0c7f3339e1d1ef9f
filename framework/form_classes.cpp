#include "framework/form_classes.h"

#include <memory>
#include <mutex>

#include "framework/strings.h"

namespace framework {

namespace {

std::mutex g_mutex;

// Classes are kept by pointer so that the pointers handed out stay valid when more are added.
std::vector<std::unique_ptr<TComponentClass>>& Classes() {
  static std::vector<std::unique_ptr<TComponentClass>> classes = [] {
    std::vector<std::unique_ptr<TComponentClass>> v;
    auto base = std::make_unique<TComponentClass>();
    base->name = "TComponent";
    v.push_back(std::move(base));
    return v;
  }();
  return classes;
}

const TComponentClass* Find(const std::string& name) {
  for (const auto& c : Classes())
    if (SameText(c->name, name)) return c.get();
  return nullptr;
}

}  // namespace

void RegisterComponentClass(TComponentClass cls) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& c : Classes()) {
    if (SameText(c->name, cls.name)) {
      *c = std::move(cls);
      return;
    }
  }
  Classes().push_back(std::make_unique<TComponentClass>(std::move(cls)));
}

const TComponentClass* FindComponentClass(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return Find(name);
}

std::vector<const TPropertyInfo*> StoredProperties(const std::string& class_name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<const TComponentClass*> chain;
  for (const TComponentClass* c = Find(class_name); c != nullptr;
       c = c->parent.empty() ? nullptr : Find(c->parent)) {
    // A class naming itself (or a loop) as its base would never end.
    bool seen = false;
    for (const TComponentClass* k : chain) seen = seen || k == c;
    if (seen) break;
    chain.push_back(c);
  }
  std::vector<const TPropertyInfo*> props;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropertyInfo& p : (*it)->properties) props.push_back(&p);
  return props;
}

const TPropertyInfo* FindStoredProperty(const std::string& class_name, const std::string& name) {
  const TPropertyInfo* found = nullptr;
  // The most derived registration of a name wins.
  for (const TPropertyInfo* p : StoredProperties(class_name))
    if (SameText(p->name, name)) found = p;
  return found;
}

}  // namespace framework
