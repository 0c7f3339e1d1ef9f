// TDbLogin: the modal dialog in which the user enters user name, password and database
// password when a connection logs in with LoginPrompt set; and the factory that hands it to the
// connections.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "dao/login_dialog.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace dao {

// The dialog only sets its modal result; the connection fills and reads it through the
// ILoginDialog that TDbLoginFactory wraps around it.
class TDbLogin : public QDialog {
 public:
  // Modal results.
  static constexpr int mrOk = 1;
  static constexpr int mrCancel = 2;

  explicit TDbLogin(QWidget* parent = nullptr);

  // Confirm (OK) and cancel; each closes the dialog with its modal result.
  void Button1Click();
  void Button2Click();

  // Escape and closing the window end with Cancel, as the cancel button does.
  void reject() override;

  QGroupBox* GroupBox1;
  QLabel* Label1;
  QLabel* DatabaseName;
  QWidget* Bevel1;
  QLabel* Label2;
  QLineEdit* Username;
  QLabel* Label3;
  QLineEdit* Password;
  QWidget* Bevel2;
  QLabel* Label4;
  QLineEdit* DbPassword;
  QPushButton* Button1;
  QPushButton* Button2;

 protected:
  void showEvent(QShowEvent* event) override;
};

// Creates a TDbLogin for every connect attempt.
class TDbLoginFactory : public ILoginDialogFactory {
 public:
  std::unique_ptr<ILoginDialog> CreateLoginDialog() override;
};

// Installs TDbLoginFactory as the factory of all connections that have none of their own.
void InstallDbLoginFactory();

}  // namespace dao
