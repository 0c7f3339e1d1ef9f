#include "framework/com.h"

#include <algorithm>
#include <mutex>

#include "framework/exception.h"
#include "framework/strings.h"

namespace framework {

namespace {

thread_local int t_init_count = 0;

struct ClassEntry {
  std::string prog_id;
  OleFactory factory;
};

std::mutex g_classes_mutex;
std::vector<ClassEntry>& Classes() {
  static std::vector<ClassEntry> classes;
  return classes;
}

std::vector<ClassEntry>::iterator FindClass(const std::string& prog_id) {
  auto& classes = Classes();
  return std::find_if(classes.begin(), classes.end(),
                      [&](const ClassEntry& e) { return SameText(e.prog_id, prog_id); });
}

}  // namespace

int CoInitialize() { return t_init_count++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_init_count > 0) --t_init_count;
}

int CoInitializeCount() { return t_init_count; }

void RegisterOleClass(const std::string& prog_id, OleFactory factory) {
  std::lock_guard<std::mutex> lock(g_classes_mutex);
  auto it = FindClass(prog_id);
  if (it != Classes().end()) it->factory = std::move(factory);
  else Classes().push_back({prog_id, std::move(factory)});
}

void UnregisterOleClass(const std::string& prog_id) {
  std::lock_guard<std::mutex> lock(g_classes_mutex);
  auto it = FindClass(prog_id);
  if (it != Classes().end()) Classes().erase(it);
}

bool IsOleClassRegistered(const std::string& prog_id) {
  std::lock_guard<std::mutex> lock(g_classes_mutex);
  return FindClass(prog_id) != Classes().end();
}

std::vector<std::string> RegisteredProgIds() {
  std::lock_guard<std::mutex> lock(g_classes_mutex);
  std::vector<std::string> ids;
  for (const auto& e : Classes()) ids.push_back(e.prog_id);
  return ids;
}

std::shared_ptr<OleObject> CreateOleObject(const std::string& prog_id) {
  OleFactory factory;
  {
    std::lock_guard<std::mutex> lock(g_classes_mutex);
    auto it = FindClass(prog_id);
    if (it == Classes().end()) throw EOleException(-2147221005, "Invalid class string", prog_id);
    factory = it->factory;
  }
  return factory();
}

}  // namespace framework
