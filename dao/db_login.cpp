#include "dao/db_login.h"

#include <QApplication>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <initializer_list>

namespace dao {

namespace {

// A separator drawn as a sunken line along its top edge.
class TopLine : public QWidget {
 public:
  explicit TopLine(QWidget* parent) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, 0, width() - 1, 0);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, 1, width() - 1, 1);
  }
};

QLabel* MakeLabel(QWidget* parent, const char* text, int left, int top, int width, int height) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setGeometry(left, top, width, height);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, int left, int top, bool hidden_text) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(left, top, 232, 21);
  if (hidden_text) {
    // Every character shows as '*'.
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet("lineedit-password-character: 42");
  }
  return edit;
}

std::string ToStd(const QString& s) { return s.toUtf8().toStdString(); }
QString FromStd(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// The connection's view of a TDbLogin.
class TDbLoginDialog : public ILoginDialog {
 public:
  void SetUserName(const std::string& user_name) override { form_.Username->setText(FromStd(user_name)); }
  void SetPassword(const std::string& password) override { form_.Password->setText(FromStd(password)); }
  void SetDbPassword(const std::string& password) override { form_.DbPassword->setText(FromStd(password)); }
  void SetDatabaseName(const std::string& database) override {
    form_.DatabaseName->setText(FromStd(database));
  }
  void FocusUserName() override { form_.Username->setFocus(); }
  bool Execute() override { return form_.exec() == TDbLogin::mrOk; }
  std::string UserName() const override { return ToStd(form_.Username->text()); }
  std::string Password() const override { return ToStd(form_.Password->text()); }
  std::string DbPassword() const override { return ToStd(form_.DbPassword->text()); }

 private:
  TDbLogin form_;
};

}  // namespace

TDbLogin::TDbLogin(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName("DbLogin");
  setWindowTitle("Database Login");
  setModal(true);
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  setFont(font);
  setFixedSize(375, 180);

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setGeometry(8, 1, 361, 169);

  Label1 = MakeLabel(GroupBox1, "Database ................:", 13, 13, 100, 13);
  DatabaseName = MakeLabel(GroupBox1, "DatabaseName", 120, 13, 229, 17);
  Bevel1 = new TopLine(GroupBox1);
  Bevel1->setGeometry(2, 34, 357, 9);

  Label2 = MakeLabel(GroupBox1, "&User Name .............:", 13, 48, 100, 13);
  Username = MakeEdit(GroupBox1, 118, 44, false);
  Label2->setBuddy(Username);
  Label3 = MakeLabel(GroupBox1, "&Password ...............:", 13, 77, 100, 13);
  Password = MakeEdit(GroupBox1, 118, 73, true);
  Label3->setBuddy(Password);
  Bevel2 = new TopLine(GroupBox1);
  Bevel2->setGeometry(2, 103, 357, 9);
  Label4 = MakeLabel(GroupBox1, "&Database Password:", 13, 116, 100, 13);
  DbPassword = MakeEdit(GroupBox1, 118, 112, true);
  Label4->setBuddy(DbPassword);

  Button1 = new QPushButton("Ok", GroupBox1);
  Button1->setGeometry(197, 138, 75, 25);
  Button1->setDefault(true);  // Enter in any edit confirms
  Button2 = new QPushButton("Cancel", GroupBox1);
  Button2->setGeometry(276, 138, 75, 25);
  Button2->setAutoDefault(false);
  QObject::connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  QObject::connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

  // The labels were laid out for a font that other systems replace by a wider one: where a
  // label needs more room than its 100 pixels, everything right of the labels moves right by
  // the difference and the dialog grows with it, so that no label is cut.
  int label_width = 100;
  for (QLabel* label : {Label1, Label2, Label3, Label4}) {
    label->adjustSize();
    label_width = std::max(label_width, label->width());
  }
  if (const int extra = label_width + 5 - 105; extra > 0) {
    for (QWidget* w : std::initializer_list<QWidget*>{DatabaseName, Username, Password, DbPassword, Button1, Button2})
      w->move(w->x() + extra, w->y());
    for (QWidget* w : std::initializer_list<QWidget*>{GroupBox1, Bevel1, Bevel2}) w->resize(w->width() + extra, w->height());
    setFixedSize(width() + extra, height());
  }
  DatabaseName->setFocusPolicy(Qt::NoFocus);
  QWidget::setTabOrder(Username, Password);
  QWidget::setTabOrder(Password, DbPassword);
  QWidget::setTabOrder(DbPassword, Button1);
  QWidget::setTabOrder(Button1, Button2);
}

void TDbLogin::Button1Click() { done(mrOk); }

void TDbLogin::Button2Click() { done(mrCancel); }

void TDbLogin::reject() { Button2Click(); }

void TDbLogin::showEvent(QShowEvent* event) {
  if (QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  QDialog::showEvent(event);
}

std::unique_ptr<ILoginDialog> TDbLoginFactory::CreateLoginDialog() {
  return std::make_unique<TDbLoginDialog>();
}

void InstallDbLoginFactory() {
  static TDbLoginFactory factory;
  SetDefaultLoginDialogFactory(&factory);
}

}  // namespace dao
