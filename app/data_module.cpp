#include "app/data_module.h"

#include "framework/ini_file.h"

namespace app {

TData* Data = nullptr;

TData::TData(framework::TComponent* owner) : framework::TComponent(owner) { SetName("Data"); }

void TData::DataModuleCreate(const std::string& ini_file_name) {
  std::string main, pass;
  {
    const framework::TIniFile ini(ini_file_name);
    main = ini.ReadString("DB", "Main", "");
    pass = ini.ReadString("DB", "Pass", "");
    StartImport = ini.ReadInteger("option", "startimport", 1);
    ImportFile = ini.ReadString("option", "datei", "");
  }
  ConnectDatabase(main, pass);
}

void TData::ConnectDatabase(const std::string& database_name, const std::string& password) {
  database_name_ = database_name;
  password_ = password;
}

}  // namespace app
