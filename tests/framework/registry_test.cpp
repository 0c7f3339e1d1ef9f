#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "framework/com.h"
#include "framework/ini_file.h"
#include "framework/registry.h"

namespace framework {
namespace {

using Names = std::vector<std::string>;

class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("geb_registry_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name, const std::string& contents) const {
    const std::string p = (path_ / name).string();
    std::ofstream(p) << contents;
    return p;
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

TEST(Registry, KeysAndValuesIgnoreCaseAndSurplusSeparators) {
  TRegistryTree tree;
  tree.WriteString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SystemDB",
                   "/x/system.mdw");
  tree.CreateKey(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\Text");
  tree.CreateKey(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\dBase 5.0");
  EXPECT_EQ("/x/system.mdw", tree.ReadString(HKEY::HKEY_LOCAL_MACHINE,
                                             "\\software\\MICROSOFT\\jet\\4.0\\engines\\", "systemdb"));
  EXPECT_EQ((Names{"Text", "dBase 5.0"}),
            tree.SubKeyNames(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats"));
  // Roots are separate, missing things read as absent.
  EXPECT_FALSE(tree.KeyExists(HKEY::HKEY_CURRENT_USER, "SOFTWARE\\Microsoft"));
  EXPECT_EQ("", tree.ReadString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", "SystemDB"));
  EXPECT_TRUE(tree.SubKeyNames(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing").empty());
  EXPECT_FALSE(tree.ValueExists(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "x"));
  // Writing again replaces; deleting removes the subtree only.
  tree.WriteString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SYSTEMDB", "");
  EXPECT_EQ((Names{"SystemDB"}),
            tree.ValueNames(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines"));
  tree.DeleteKey(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats");
  EXPECT_FALSE(tree.KeyExists(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\Text"));
  EXPECT_TRUE(tree.KeyExists(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines"));
}

TEST(Registry, MirrorsComClassesUnderClassesRoot) {
  TRegistryTree tree;
  RegisterOleClass("Geb.Test.Registry", [] { return std::make_shared<OleObject>(); });
  EXPECT_FALSE(tree.KeyExists(HKEY::HKEY_CLASSES_ROOT, "Geb.Test.Registry"));
  tree.SetMirrorOleClasses(true);
  EXPECT_TRUE(tree.KeyExists(HKEY::HKEY_CLASSES_ROOT, "geb.test.registry"));
  const Names roots = tree.SubKeyNames(HKEY::HKEY_CLASSES_ROOT, "");
  EXPECT_NE(roots.end(), std::find(roots.begin(), roots.end(), "Geb.Test.Registry"));
  UnregisterOleClass("Geb.Test.Registry");
  EXPECT_FALSE(tree.KeyExists(HKEY::HKEY_CLASSES_ROOT, "Geb.Test.Registry"));
}

TEST(Registry, DefaultContentsFromOdbcFiles) {
  TempDir dir;
  OdbcIniFiles files;
  files.odbcinst_ini = dir.File("odbcinst.ini",
                                "[ODBC]\nTrace=No\n[SQLite3]\nDriver=/usr/lib/libsqlite3odbc.so\n"
                                "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n");
  files.system_odbc_ini = dir.File("odbc.ini",
                                   "[Personal]\nDriver=SQLite3\nDBQ=/data/personal.db\n"
                                   "[NoFile]\nDriver=PostgreSQL Unicode\n");
  files.user_odbc_ini = dir.Path("missing.odbc.ini");
  TRegistryTree tree;
  FillDefaultRegistry(tree, files);

  EXPECT_EQ((Names{"SQLite3", "PostgreSQL Unicode"}),
            tree.ValueNames(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"));
  EXPECT_EQ("/usr/lib/libsqlite3odbc.so",
            tree.ReadString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\SQLite3", "Driver"));
  EXPECT_EQ((Names{"Personal", "NoFile"}),
            tree.ValueNames(HKEY::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources"));
  EXPECT_EQ("/data/personal.db",
            tree.ReadString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Personal", "DBQ"));
  // The user file is missing: its list exists and is empty.
  EXPECT_TRUE(tree.KeyExists(HKEY::HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"));
  EXPECT_TRUE(tree.ValueNames(HKEY::HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources").empty());
  // The engine keys: no workgroup database, no installable formats.
  EXPECT_TRUE(tree.ValueExists(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SystemDB"));
  EXPECT_EQ("", tree.ReadString(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\3.5\\Engines", "SystemDB"));
  EXPECT_TRUE(tree.SubKeyNames(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats").empty());
}

TEST(Registry, ProcessRegistryCanBeInjectedAndRestored) {
  auto mine = std::make_shared<TRegistryTree>();
  mine->WriteString(HKEY::HKEY_CURRENT_USER, "A", "b", "c");
  SetRegistry(mine);
  EXPECT_EQ("c", Registry().ReadString(HKEY::HKEY_CURRENT_USER, "A", "b"));
  SetRegistry(nullptr);
  EXPECT_EQ("", Registry().ReadString(HKEY::HKEY_CURRENT_USER, "A", "b"));
  EXPECT_TRUE(Registry().KeyExists(HKEY::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines"));
}

TEST(IniFile, SectionAndKeyNamesInFileOrderEachOnce) {
  TempDir dir;
  const std::string path = dir.File("x.ini", "[A]\nk1=1\nK2=2\nk1=3\n[b]\n[a]\nk3=4\n");
  TIniFile ini(path);
  EXPECT_EQ((Names{"A", "b"}), ini.ReadSections());
  EXPECT_EQ((Names{"k1", "K2", "k3"}), ini.ReadSection("a"));
  EXPECT_TRUE(ini.ReadSection("missing").empty());
}

}  // namespace
}  // namespace framework
