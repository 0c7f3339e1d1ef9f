#include "app/data_module.h"

#include "framework/exception.h"
#include "framework/form_classes.h"
#include "framework/form_reader.h"
#include "framework/ini_file.h"

namespace app {

TData* Data = nullptr;

namespace {

// The data module exists before its form is read, so the reader never creates one.
const bool kRegistered = [] {
  framework::RegisterComponentClass({"TData", "TComponent", nullptr, {}});
  dao::RegisterUxDaoDatabaseClass();
  return true;
}();

}  // namespace

TData::TData(framework::TComponent* owner) : framework::TComponent(owner) {
  (void)kRegistered;
  framework::ReadComponentText(kDataModuleForm, this);
  Datenbank = dynamic_cast<dao::TUxDaoDatabase*>(FindComponent("Datenbank"));
  if (Datenbank == nullptr)
    throw framework::EComponentError("The data module's form has no Datenbank connection");
}

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
  // Both settings are refused while connected, so the connection is closed first.
  Datenbank->SetConnected(false);
  Datenbank->SetDatabase(database_name);
  Datenbank->SetPassword(password);
  Datenbank->SetConnected(true);
}

}  // namespace app
