// The data module: reads the program's configuration and owns the database objects.
#pragma once

#include <cstdint>
#include <string>

#include "framework/component.h"

namespace app {

class TData : public framework::TComponent {
 public:
  explicit TData(framework::TComponent* owner);
  std::string ClassName() const override { return "TData"; }

  // The create handler: reads [DB] Main and Pass and [option] startimport and datei from the
  // INI file `ini_file_name` (missing file or keys give the defaults ""/""/1/""), then connects
  // the database with Main and Pass. Errors of the connect leave this function.
  void DataModuleCreate(const std::string& ini_file_name);

  // Number of the first data line of the export file (1 = the file's first line).
  int32_t StartImport = 1;
  // Export file of the unattended run ("" for none).
  std::string ImportFile;

  // The database path and password read from the configuration, as handed to the connect.
  const std::string& DatabaseName() const { return database_name_; }
  const std::string& Password() const { return password_; }

 private:
  // Opens the database connection with the configured path and password. The connection
  // component arrives with the database layer; until then the values are only kept, and the
  // program runs without a database.
  void ConnectDatabase(const std::string& database_name, const std::string& password);

  std::string database_name_;
  std::string password_;
};

// The data module while the program runs (null before it is created).
extern TData* Data;

}  // namespace app
