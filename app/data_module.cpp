#include "app/data_module.h"

#include "dataset/dataset_form_classes.h"
#include "framework/exception.h"
#include "framework/form_classes.h"
#include "framework/form_reader.h"
#include "framework/ini_file.h"
#include "framework/strings.h"

namespace app {

TData* Data = nullptr;

namespace {

// The data module exists before its form is read, so the reader never creates one.
const bool kRegistered = [] {
  framework::RegisterComponentClass({"TData", "TComponent", nullptr, {}});
  dao::RegisterUxDaoDatabaseClass();
  dao::RegisterUxDaoTableClass();
  dataset::RegisterDatasetClasses();
  return true;
}();

}  // namespace

namespace {

// The component `name` of class T below `owner`; a form without it is a build mistake.
template <class T>
T* Part(const framework::TComponent& owner, const std::string& name) {
  T* part = dynamic_cast<T*>(owner.FindComponent(name));
  if (part == nullptr)
    throw framework::EComponentError("The data module's form has no component " + name);
  return part;
}

}  // namespace

TData::TData(framework::TComponent* owner) : framework::TComponent(owner) {
  (void)kRegistered;
  framework::ReadComponentText(kDataModuleForm, this);
  Datenbank = Part<dao::TUxDaoDatabase>(*this, "Datenbank");
  Fahrer1 = Part<dataset::TDataSource>(*this, "Fahrer1");
  Fahrer = Part<dao::TUxDaoTable>(*this, "Fahrer");
  Query = Part<dao::TUxDaoTable>(*this, "Query");
  FahrerPersonalnr = Part<dataset::TIntegerField>(*Fahrer, "FahrerPersonalnr");
  FahrerGeburtsdatum = Part<dataset::TDateTimeField>(*Fahrer, "FahrerGeburtsdatum");
  FahrerMitarbeiter = Part<dataset::TStringField>(*Fahrer, "FahrerMitarbeiter");
  FahrerTelefon = Part<dataset::TStringField>(*Fahrer, "FahrerTelefon");
  FahrerID = Part<dataset::TAutoIncField>(*Fahrer, "FahrerID");
}

void TData::DataModuleCreate(const std::string& ini_file_name) {
  std::string main, pass, type, user;
  {
    const framework::TIniFile ini(ini_file_name);
    main = ini.ReadString("DB", "Main", "");
    pass = ini.ReadString("DB", "Pass", "");
    type = framework::Trim(ini.ReadString("DB", "Typ", ""));
    user = ini.ReadString("DB", "Benutzer", "");
    StartImport = ini.ReadInteger("option", "startimport", 1);
    ImportFile = ini.ReadString("option", "datei", "");
  }
  if (framework::SameText(type, "ODBC")) {
    ConnectOdbc(main, user, pass);
    return;
  }
  if (!type.empty() && !framework::SameText(type, "Access"))
    throw framework::EDatabaseError("[DB] Typ=" + type + " in " + ini_file_name +
                                    " is not a database type of this program (Access or ODBC).");
  ConnectDatabase(main, pass);
}

void TData::ConnectDatabase(const std::string& database_name, const std::string& password) {
  // Both settings are refused while connected, so the connection is closed first.
  Datenbank->SetConnected(false);
  Datenbank->SetDatabase(database_name);
  Datenbank->SetPassword(password);
  Datenbank->SetConnected(true);
}

void TData::ConnectOdbc(const std::string& source, const std::string& user, const std::string& password) {
  // The form's Jet workspace (user Admin) opens the source with a whole connect text that
  // carries the server's user and password.
  std::string connect = source;
  if (!framework::SameText(source.substr(0, 5), "ODBC;")) {
    connect = "ODBC;DSN=" + source;
    if (!user.empty()) connect += ";UID=" + user;
    if (!password.empty()) connect += ";PWD=" + password;
  }
  Datenbank->SetConnected(false);
  Datenbank->SetDatabaseType("ODBC");
  Datenbank->SetDatabase(connect);
  Datenbank->SetConnected(true);
}

}  // namespace app
