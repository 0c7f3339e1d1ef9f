// The data module: reads the program's configuration and owns the database objects.
#pragma once

#include <cstdint>
#include <string>

#include "dao/dao_database.h"
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
  // Datenbank with Main and Pass. Errors of the connect leave this function; StartImport and
  // ImportFile are set by then.
  void DataModuleCreate(const std::string& ini_file_name);

  // Number of the first data line of the export file (1 = the file's first line).
  int32_t StartImport = 1;
  // Export file of the unattended run ("" for none).
  std::string ImportFile;

  // The program's database connection; closed until DataModuleCreate connects it.
  dao::TUxDaoDatabase* Datenbank = nullptr;

 private:
  // Sets the configured database and password (allowed only while disconnected) and connects.
  void ConnectDatabase(const std::string& database_name, const std::string& password);
};

// The data module while the program runs (null before it is created).
extern TData* Data;

}  // namespace app
