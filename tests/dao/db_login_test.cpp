// The Qt login dialog: its layout and texts, hidden passwords, Enter and Escape, and the
// dialog as the connection sees it through the factory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "dao/db_login.h"

namespace dao {
namespace {

// The application object lives from before the first test to after the last and is destroyed
// before the program exits: one destroyed during exit would meet Qt's own globals gone once
// keyboard input has been delivered.
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app_ = new QApplication(argc_, argv_);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  int argc_ = 1;
  char name_[16] = "dao_login_tests";
  char* argv_[2] = {name_, nullptr};
  QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// A key pressed and released on `target`, as the keyboard delivers it (ignored keys travel on to
// the parents).
void KeyClick(QWidget* target, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}

void KeyClicks(QWidget* target, const QString& text) {
  for (const QChar c : text) KeyClick(target, c.toUpper().unicode(), QString(c));
}

bool WaitForWindowActive(QWidget* window) {
  QDeadlineTimer deadline(5000);
  while (!window->isActiveWindow() && !deadline.hasExpired()) QApplication::processEvents();
  return window->isActiveWindow();
}

// Runs `during` once the modal loop of `dialog` is running.
int ExecWith(QDialog& dialog, const std::function<void()>& during) {
  QTimer::singleShot(0, &dialog, during);
  return dialog.exec();
}

TEST(DbLogin, LayoutAndTexts) {
  TDbLogin form;
  EXPECT_EQ("Database Login", form.windowTitle());
  // Laid out for 375 x 180; where the system's replacement for the font is wider, everything
  // right of the labels moves right and the dialog grows by the same amount.
  const int extra = form.width() - 375;
  EXPECT_GE(extra, 0);
  EXPECT_EQ(QSize(375 + extra, 180), form.size());
  EXPECT_EQ(QSize(375 + extra, 180), form.minimumSize());
  EXPECT_EQ(QSize(375 + extra, 180), form.maximumSize());
  EXPECT_EQ("MS Sans Serif", form.font().family());
  EXPECT_EQ(11, form.font().pixelSize());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_EQ(QRect(8, 1, 361 + extra, 169), form.GroupBox1->geometry());
  EXPECT_EQ("", form.GroupBox1->title());

  EXPECT_EQ("Database ................:", form.Label1->text());
  EXPECT_EQ(QPoint(13, 13), form.Label1->pos());
  EXPECT_EQ("DatabaseName", form.DatabaseName->text());
  EXPECT_EQ(QRect(120 + extra, 13, 229, 17), form.DatabaseName->geometry());
  EXPECT_EQ(QRect(2, 34, 357 + extra, 9), form.Bevel1->geometry());
  EXPECT_EQ(QRect(2, 103, 357 + extra, 9), form.Bevel2->geometry());
  EXPECT_EQ("&User Name .............:", form.Label2->text());
  EXPECT_EQ(QPoint(13, 48), form.Label2->pos());
  EXPECT_EQ(form.Username, form.Label2->buddy());
  EXPECT_EQ("&Password ...............:", form.Label3->text());
  EXPECT_EQ(QPoint(13, 77), form.Label3->pos());
  EXPECT_EQ(form.Password, form.Label3->buddy());
  EXPECT_EQ("&Database Password:", form.Label4->text());
  EXPECT_EQ(QPoint(13, 116), form.Label4->pos());
  EXPECT_EQ(form.DbPassword, form.Label4->buddy());
  EXPECT_EQ(QRect(118 + extra, 44, 232, 21), form.Username->geometry());
  EXPECT_EQ(QRect(118 + extra, 73, 232, 21), form.Password->geometry());
  EXPECT_EQ(QRect(118 + extra, 112, 232, 21), form.DbPassword->geometry());
  EXPECT_EQ("Ok", form.Button1->text());
  EXPECT_EQ(QRect(197 + extra, 138, 75, 25), form.Button1->geometry());
  EXPECT_TRUE(form.Button1->isDefault());
  EXPECT_EQ("Cancel", form.Button2->text());
  EXPECT_EQ(QRect(276 + extra, 138, 75, 25), form.Button2->geometry());
  EXPECT_FALSE(form.Button2->isDefault());
  // No label is cut: each has the width its text needs and ends before what stands right of it.
  for (QLabel* label : {form.Label1, form.Label2, form.Label3, form.Label4}) {
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    EXPECT_LT(label->geometry().right(), form.Username->x()) << label->text().toStdString();
  }

  // Tab order: the three edits, then Ok and Cancel.
  auto next_tab_stop = [](QWidget* w) {
    do w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus));
    return w;
  };
  EXPECT_EQ(form.Password, next_tab_stop(form.Username));
  EXPECT_EQ(form.DbPassword, next_tab_stop(form.Password));
  EXPECT_EQ(form.Button1, next_tab_stop(form.DbPassword));
  EXPECT_EQ(form.Button2, next_tab_stop(form.Button1));
}

TEST(DbLogin, PasswordsNeverShowTheirText) {
  TDbLogin form;
  form.Password->setText("geheim");
  form.DbPassword->setText("auch");
  form.Username->setText("Admin");
  EXPECT_EQ(QLineEdit::Password, form.Password->echoMode());
  EXPECT_EQ(QLineEdit::Password, form.DbPassword->echoMode());
  EXPECT_EQ(QLineEdit::Normal, form.Username->echoMode());
  EXPECT_EQ(QString(6, QChar('*')), form.Password->displayText());
  EXPECT_EQ(QString(4, QChar('*')), form.DbPassword->displayText());
  EXPECT_EQ("Admin", form.Username->displayText());
}

TEST(DbLogin, EnterInAnyEditConfirmsEscapeAndClosingCancel) {
  for (int which = 0; which < 3; ++which) {
    TDbLogin form;
    QLineEdit* edits[] = {form.Username, form.Password, form.DbPassword};
    EXPECT_EQ(TDbLogin::mrOk, ExecWith(form, [&] {
                edits[which]->setFocus();
                KeyClick(edits[which], Qt::Key_Return);
              }));
  }
  {
    TDbLogin form;
    EXPECT_EQ(TDbLogin::mrCancel, ExecWith(form, [&] { KeyClick(form.Username, Qt::Key_Escape); }));
  }
  {
    TDbLogin form;
    EXPECT_NE(TDbLogin::mrOk, ExecWith(form, [&] { form.close(); }));
  }
  {
    TDbLogin form;
    EXPECT_EQ(TDbLogin::mrCancel, ExecWith(form, [&] { form.Button2->click(); }));
    EXPECT_EQ(TDbLogin::mrOk, ExecWith(form, [&] { form.Button1->click(); }));
  }
}

TEST(DbLogin, TheConnectionsViewThroughTheFactory) {
  TDbLoginFactory factory;
  auto dialog = factory.CreateLoginDialog();
  dialog->SetUserName("Admin");
  dialog->SetPassword("");
  dialog->SetDbPassword("");
  dialog->SetDatabaseName("/daten/geb.mdb");
  dialog->FocusUserName();
  QString shown_database;
  QWidget* focused = nullptr;
  QTimer::singleShot(0, [&] {
    auto* form = dynamic_cast<TDbLogin*>(QApplication::activeModalWidget());
    ASSERT_NE(nullptr, form);
    shown_database = form->DatabaseName->text();
    EXPECT_TRUE(WaitForWindowActive(form));
    focused = QApplication::focusWidget() == form->Username ? form->Username : nullptr;
    // The given name is selected, so typing replaces it.
    EXPECT_EQ("Admin", form->Username->selectedText());
    KeyClicks(form->Username, "Admin2");
    KeyClicks(form->Password, "pw");
    KeyClicks(form->DbPassword, "dbpw");
    KeyClick(form->DbPassword, Qt::Key_Return);
  });
  EXPECT_TRUE(dialog->Execute());
  EXPECT_EQ("/daten/geb.mdb", shown_database);
  EXPECT_NE(nullptr, focused);
  EXPECT_EQ("Admin2", dialog->UserName());
  EXPECT_EQ("pw", dialog->Password());
  EXPECT_EQ("dbpw", dialog->DbPassword());

  auto cancelled = factory.CreateLoginDialog();
  QTimer::singleShot(0, [] { KeyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
  EXPECT_FALSE(cancelled->Execute());

  InstallDbLoginFactory();
  EXPECT_NE(nullptr, dynamic_cast<TDbLoginFactory*>(DefaultLoginDialogFactory()));
  SetDefaultLoginDialogFactory(nullptr);
}

}  // namespace
}  // namespace dao
