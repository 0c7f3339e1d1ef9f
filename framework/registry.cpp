#include "framework/registry.h"

#include <cstdlib>
#include <mutex>

#include "framework/com.h"
#include "framework/ini_file.h"
#include "framework/strings.h"

namespace framework {

namespace {

// The parts of a key path; empty parts (a leading, trailing or doubled '\') are dropped.
std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  for (const std::string& part : SplitString(path, '\\'))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

TRegistryTree::Key* TRegistryTree::Key::Find(const std::string& subkey) const {
  for (const auto& k : subkeys)
    if (SameText(k->name, subkey)) return k.get();
  return nullptr;
}

TRegistryTree::Key* TRegistryTree::Root(HKEY root) const {
  auto& slot = roots_[root];
  if (!slot) slot = std::make_unique<Key>();
  return slot.get();
}

const TRegistryTree::Key* TRegistryTree::FindKey(HKEY root, const std::string& path) const {
  const std::vector<std::string> parts = SplitKeyPath(path);
  const Key* key = Root(root);
  for (const std::string& part : parts) {
    key = key->Find(part);
    if (key == nullptr) break;
  }
  if (key != nullptr) return key;
  // A ProgID of the COM stand-in is a one-level key under HKEY_CLASSES_ROOT.
  if (root == HKEY::HKEY_CLASSES_ROOT && mirror_ole_classes_ && parts.size() == 1 &&
      IsOleClassRegistered(parts[0])) {
    static const Key empty;
    return &empty;
  }
  return nullptr;
}

bool TRegistryTree::KeyExists(HKEY root, const std::string& path) const {
  return FindKey(root, path) != nullptr;
}

std::vector<std::string> TRegistryTree::SubKeyNames(HKEY root, const std::string& path) const {
  std::vector<std::string> names;
  if (const Key* key = FindKey(root, path)) {
    for (const auto& k : key->subkeys) names.push_back(k->name);
  }
  if (root == HKEY::HKEY_CLASSES_ROOT && mirror_ole_classes_ && SplitKeyPath(path).empty()) {
    for (const std::string& id : RegisteredProgIds()) {
      bool seen = false;
      for (const std::string& n : names) seen = seen || SameText(n, id);
      if (!seen) names.push_back(id);
    }
  }
  return names;
}

std::vector<std::string> TRegistryTree::ValueNames(HKEY root, const std::string& path) const {
  std::vector<std::string> names;
  if (const Key* key = FindKey(root, path))
    for (const auto& v : key->values) names.push_back(v.first);
  return names;
}

bool TRegistryTree::ValueExists(HKEY root, const std::string& path,
                                const std::string& name) const {
  if (const Key* key = FindKey(root, path))
    for (const auto& v : key->values)
      if (SameText(v.first, name)) return true;
  return false;
}

std::string TRegistryTree::ReadString(HKEY root, const std::string& path,
                                      const std::string& name) const {
  if (const Key* key = FindKey(root, path))
    for (const auto& v : key->values)
      if (SameText(v.first, name)) return v.second;
  return "";
}

void TRegistryTree::CreateKey(HKEY root, const std::string& path) {
  Key* key = Root(root);
  for (const std::string& part : SplitKeyPath(path)) {
    Key* next = key->Find(part);
    if (next == nullptr) {
      key->subkeys.push_back(std::make_unique<Key>());
      next = key->subkeys.back().get();
      next->name = part;
    }
    key = next;
  }
}

void TRegistryTree::WriteString(HKEY root, const std::string& path, const std::string& name,
                                const std::string& value) {
  CreateKey(root, path);
  Key* key = Root(root);
  for (const std::string& part : SplitKeyPath(path)) key = key->Find(part);
  for (auto& v : key->values) {
    if (SameText(v.first, name)) {
      v.second = value;
      return;
    }
  }
  key->values.emplace_back(name, value);
}

void TRegistryTree::DeleteKey(HKEY root, const std::string& path) {
  const std::vector<std::string> parts = SplitKeyPath(path);
  if (parts.empty()) return;  // a root itself stays
  Key* parent = Root(root);
  for (size_t i = 0; i + 1 < parts.size() && parent != nullptr; ++i) parent = parent->Find(parts[i]);
  if (parent == nullptr) return;
  auto& subs = parent->subkeys;
  for (auto it = subs.begin(); it != subs.end(); ++it) {
    if (SameText((*it)->name, parts.back())) {
      subs.erase(it);
      return;
    }
  }
}

OdbcIniFiles DefaultOdbcIniFiles() {
  OdbcIniFiles files;
  const char* sys = std::getenv("ODBCSYSINI");
  const std::string sys_dir = IncludeTrailingPathDelimiter(sys != nullptr && *sys ? sys : "/etc");
  const char* inst = std::getenv("ODBCINSTINI");
  files.odbcinst_ini = sys_dir + (inst != nullptr && *inst ? inst : "odbcinst.ini");
  files.system_odbc_ini = sys_dir + "odbc.ini";
  // unixODBC takes the user's data sources from $ODBCINI when it is set.
  const char* user_ini = std::getenv("ODBCINI");
  const char* home = std::getenv("HOME");
  if (user_ini != nullptr && *user_ini) files.user_odbc_ini = user_ini;
  else if (home != nullptr && *home) files.user_odbc_ini = IncludeTrailingPathDelimiter(home) + ".odbc.ini";
  return files;
}

namespace {

const char kOdbcInst[] = "SOFTWARE\\ODBC\\ODBCINST.INI";
const char kOdbcIni[] = "SOFTWARE\\ODBC\\ODBC.INI";

// unixODBC keeps its own settings in an [ODBC] section; it is neither a driver nor a source.
bool IsOdbcSettingsSection(const std::string& section) {
  return SameText(section, "ODBC") || SameText(section, "ODBC Data Sources") ||
         SameText(section, "ODBC Drivers");
}

void FillDrivers(TRegistryTree& tree, const std::string& file) {
  tree.CreateKey(HKEY::HKEY_LOCAL_MACHINE, std::string(kOdbcInst) + "\\ODBC Drivers");
  if (file.empty() || !FileExists(file)) return;
  TIniFile ini(file);
  for (const std::string& driver : ini.ReadSections()) {
    if (IsOdbcSettingsSection(driver)) continue;
    tree.WriteString(HKEY::HKEY_LOCAL_MACHINE, std::string(kOdbcInst) + "\\ODBC Drivers", driver,
                     "Installed");
    const std::string key = std::string(kOdbcInst) + "\\" + driver;
    tree.CreateKey(HKEY::HKEY_LOCAL_MACHINE, key);
    for (const std::string& name : ini.ReadSection(driver))
      tree.WriteString(HKEY::HKEY_LOCAL_MACHINE, key, name, ini.ReadString(driver, name, ""));
  }
}

void FillDataSources(TRegistryTree& tree, HKEY root, const std::string& file) {
  const std::string list = std::string(kOdbcIni) + "\\ODBC Data Sources";
  tree.CreateKey(root, list);
  if (file.empty() || !FileExists(file)) return;
  TIniFile ini(file);
  for (const std::string& source : ini.ReadSections()) {
    if (IsOdbcSettingsSection(source)) continue;
    // Windows lists the driver's name beside the source; unixODBC calls it Driver.
    tree.WriteString(root, list, source, ini.ReadString(source, "Driver", ""));
    const std::string key = std::string(kOdbcIni) + "\\" + source;
    tree.CreateKey(root, key);
    for (const std::string& name : ini.ReadSection(source))
      tree.WriteString(root, key, name, ini.ReadString(source, name, ""));
  }
}

std::mutex g_registry_mutex;
std::shared_ptr<TRegistryTree> g_registry;

}  // namespace

void FillDefaultRegistry(TRegistryTree& tree, const OdbcIniFiles& files) {
  tree.SetMirrorOleClasses(true);
  for (const char* jet : {"3.5", "4.0"}) {
    const std::string base = std::string("SOFTWARE\\Microsoft\\JET\\") + jet;
    tree.WriteString(HKEY::HKEY_LOCAL_MACHINE, base + "\\Engines", "SystemDB", "");
    tree.CreateKey(HKEY::HKEY_LOCAL_MACHINE, base + "\\ISAM Formats");
  }
  FillDrivers(tree, files.odbcinst_ini);
  FillDataSources(tree, HKEY::HKEY_LOCAL_MACHINE, files.system_odbc_ini);
  FillDataSources(tree, HKEY::HKEY_CURRENT_USER, files.user_odbc_ini);
}

TRegistryTree& Registry() {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  if (!g_registry) {
    g_registry = std::make_shared<TRegistryTree>();
    FillDefaultRegistry(*g_registry, DefaultOdbcIniFiles());
  }
  return *g_registry;
}

void SetRegistry(std::shared_ptr<TRegistryTree> registry) {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  g_registry = std::move(registry);
}

}  // namespace framework
