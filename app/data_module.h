// The data module: reads the program's configuration and owns the database objects.
#pragma once

#include <cstdint>
#include <string>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dataset/data_source.h"
#include "dataset/date_time_fields.h"
#include "dataset/numeric_fields.h"
#include "dataset/string_field.h"
#include "framework/component.h"

namespace app {

// The data module's components and their settings as a form file (app/data_module.form),
// embedded in the program when it is built.
extern const char* const kDataModuleForm;

class TData : public framework::TComponent {
 public:
  // Creates the components of the data module from its form. Errors of their construction (no
  // database engine installed, for one) leave the constructor.
  explicit TData(framework::TComponent* owner);
  std::string ClassName() const override { return "TData"; }

  // The create handler: reads [DB] Main and Pass and [option] startimport and datei from the
  // INI file `ini_file_name` (missing file or keys give the defaults ""/""/1/""), then connects
  // Datenbank with Main and Pass. With [DB] Typ=ODBC, Main names an ODBC data source (or is a
  // whole "ODBC;..." connect text) reached as the server's user [DB] Benutzer with the password
  // Pass; another Typ than Access or ODBC is an error. Errors
  // of the connect leave this function; StartImport and ImportFile are set by then.
  void DataModuleCreate(const std::string& ini_file_name);

  // Number of the first data line of the export file (1 = the file's first line).
  int32_t StartImport = 1;
  // Export file of the unattended run ("" for none).
  std::string ImportFile;

  // The program's database connection; closed until DataModuleCreate connects it.
  dao::TUxDaoDatabase* Datenbank = nullptr;
  // A data source on Fahrer (no control is bound to it).
  dataset::TDataSource* Fahrer1 = nullptr;
  // The birthday table "Geburtstag" as a dynaset; closed until the import opens it.
  dao::TUxDaoTable* Fahrer = nullptr;
  // Fahrer's persistent fields, in the order of its field list.
  dataset::TIntegerField* FahrerPersonalnr = nullptr;
  dataset::TDateTimeField* FahrerGeburtsdatum = nullptr;
  dataset::TStringField* FahrerMitarbeiter = nullptr;
  dataset::TStringField* FahrerTelefon = nullptr;
  dataset::TAutoIncField* FahrerID = nullptr;
  // A second table on an SQL text; nothing opens it.
  dao::TUxDaoTable* Query = nullptr;

 private:
  // Sets the configured database and password (allowed only while disconnected) and connects.
  void ConnectDatabase(const std::string& database_name, const std::string& password);
  // Sets the ODBC data source, its user and password and connects.
  void ConnectOdbc(const std::string& source, const std::string& user, const std::string& password);
};

// The data module while the program runs (null before it is created).
extern TData* Data;

}  // namespace app
