// How the connection reaches its login dialog: it asks a factory for a dialog, fills it, shows
// it modally and reads it back. The windowed program installs the Qt dialog (dao/db_login.h);
// tests install dialogs that answer by themselves.
#pragma once

#include <memory>
#include <string>

namespace dao {

// One login dialog, used for one connect attempt.
class ILoginDialog {
 public:
  virtual ~ILoginDialog() = default;
  virtual void SetUserName(const std::string& user_name) = 0;
  virtual void SetPassword(const std::string& password) = 0;
  virtual void SetDbPassword(const std::string& password) = 0;
  // The database shown as the dialog's caption line.
  virtual void SetDatabaseName(const std::string& database) = 0;
  // Puts the focus on the user name when the dialog is shown.
  virtual void FocusUserName() = 0;
  // Shows the dialog modally; true when the user confirmed it with OK.
  virtual bool Execute() = 0;
  virtual std::string UserName() const = 0;
  virtual std::string Password() const = 0;
  virtual std::string DbPassword() const = 0;
};

class ILoginDialogFactory {
 public:
  virtual ~ILoginDialogFactory() = default;
  virtual std::unique_ptr<ILoginDialog> CreateLoginDialog() = 0;
};

// The factory connections use when they have none of their own; null when none is installed.
// The factory is not owned.
ILoginDialogFactory* DefaultLoginDialogFactory();
void SetDefaultLoginDialogFactory(ILoginDialogFactory* factory);

}  // namespace dao
