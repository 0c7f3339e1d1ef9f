// Stand-in for the system registry: a tree of keys with string values under three roots.
// Components only read it; the process-wide instance can be replaced (tests inject their own
// contents) and is filled by default with the registered COM classes, the database engine's
// settings and the ODBC drivers and data sources that unixODBC's ini files declare.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace framework {

enum class HKEY { HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER };

// Key paths are '\'-separated ("SOFTWARE\Microsoft\JET\4.0\Engines"); a leading '\' is allowed,
// and key and value names compare without regard to ASCII case. Missing keys and values read as
// absent or empty; nothing here raises.
class TRegistryTree {
 public:
  TRegistryTree() = default;

  // When set, every ProgID registered in the COM stand-in also exists as a key under
  // HKEY_CLASSES_ROOT, as installing an automation server would make it.
  void SetMirrorOleClasses(bool mirror) { mirror_ole_classes_ = mirror; }

  bool KeyExists(HKEY root, const std::string& path) const;
  // Names of the direct subkeys, in the order they were created.
  std::vector<std::string> SubKeyNames(HKEY root, const std::string& path) const;
  // Names of the values of the key, in the order they were written.
  std::vector<std::string> ValueNames(HKEY root, const std::string& path) const;
  bool ValueExists(HKEY root, const std::string& path, const std::string& name) const;
  // The value, or "" when the key or the value is missing.
  std::string ReadString(HKEY root, const std::string& path, const std::string& name) const;

  // Creates the key and any missing parents.
  void CreateKey(HKEY root, const std::string& path);
  // Creates the key when needed and sets the value (replacing one of the same name).
  void WriteString(HKEY root, const std::string& path, const std::string& name,
                   const std::string& value);
  // Removes the key with its subkeys and values (nothing when it is missing).
  void DeleteKey(HKEY root, const std::string& path);

 private:
  struct Key {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::unique_ptr<Key>> subkeys;
    Key* Find(const std::string& subkey) const;
  };
  const Key* FindKey(HKEY root, const std::string& path) const;
  Key* Root(HKEY root) const;

  mutable std::map<HKEY, std::unique_ptr<Key>> roots_;
  bool mirror_ole_classes_ = false;
};

// Where the default registry reads the ODBC configuration from.
struct OdbcIniFiles {
  std::string odbcinst_ini;  // drivers
  std::string system_odbc_ini;  // system data sources
  std::string user_odbc_ini;  // the user's data sources
};

// unixODBC's files: $ODBCSYSINI (or /etc) with odbcinst.ini ($ODBCINSTINI names another file
// there) and odbc.ini, and $ODBCINI (or ~/.odbc.ini) for the user.
OdbcIniFiles DefaultOdbcIniFiles();

// Fills `tree` with the default contents: the COM classes mirrored under HKEY_CLASSES_ROOT; the
// engine keys SOFTWARE\Microsoft\JET\3.5 and 4.0 with their "Engines" (value "SystemDB", empty:
// no workgroup database) and "ISAM Formats" (no installable formats); under
// SOFTWARE\ODBC\ODBCINST.INI the value names of "ODBC Drivers" and a key per driver; under
// SOFTWARE\ODBC\ODBC.INI of HKEY_LOCAL_MACHINE (system) and HKEY_CURRENT_USER (user) the value
// names of "ODBC Data Sources" and a key per data source holding its settings. Files that do
// not exist give no entries.
void FillDefaultRegistry(TRegistryTree& tree, const OdbcIniFiles& files);

// The process's registry: the injected one, or the default contents built on first use.
TRegistryTree& Registry();
// Replaces the process's registry; null goes back to the default contents (built afresh).
void SetRegistry(std::shared_ptr<TRegistryTree> registry);

}  // namespace framework
