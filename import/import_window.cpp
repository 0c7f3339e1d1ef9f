#include "import/import_window.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "framework/application.h"
#include "framework/exception.h"
#include "framework/strings.h"
#include "import/export_loader.h"
#include "import/grid_view_model.h"
#include "import/synchronisation.h"

namespace import {

Tfgeburtstage* fgeburtstage = nullptr;

const char* const kOpenFilter = "csv-Dateinen|*.csv|Alle Dateien|*.*";

QString QtFileFilter(const std::string& filter) {
  const std::vector<std::string> parts = framework::SplitString(filter, '|');
  QStringList entries;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string pattern = parts[i + 1];
    if (pattern == "*.*") pattern = "*";
    entries << QString::fromStdString(parts[i] + " (" + pattern + ")");
  }
  return entries.join(";;");
}

namespace {

QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& caption,
                         QStyle::StandardPixmap glyph) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(caption);
  button->setIcon(parent->style()->standardIcon(glyph));
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button->setAutoRaise(true);  // flat
  return button;
}

// The progress bar as the synchronisation sees it. The run reports every record, but the bar is
// only set and painted when the new position moves it by at least a pixel.
class ProgressBarSink : public ProgressSink {
 public:
  explicit ProgressBarSink(QProgressBar* bar) : bar_(bar) {}
  void SetMax(int max) override {
    bar_->setMaximum(max);
    pixel_ = -1;
  }
  void SetPosition(int position) override {
    const int span = std::max(1, bar_->maximum() - bar_->minimum());
    const int pixel = static_cast<int>(static_cast<int64_t>(position - bar_->minimum()) * bar_->width() / span);
    moved_ = pixel != pixel_;
    if (!moved_) return;
    pixel_ = pixel;
    bar_->setValue(position);
  }
  void Repaint() override {
    if (moved_) bar_->repaint();
  }

 private:
  QProgressBar* bar_;
  int pixel_ = -1;      // the pixel the bar was set to last
  bool moved_ = true;   // the last SetPosition moved the bar
};

}  // namespace

Tfgeburtstage::Tfgeburtstage(QWidget* parent, const ImportSettings& settings)
    : QMdiSubWindow(parent), Settings(settings) {
  setObjectName("fgeburtstage");
  setWindowTitle("Geburtstag importieren");
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  setFont(font);
  resize(979, 563);

  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  Panel1 = new QFrame(client);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  Panel1->setFixedHeight(41);
  Panel1->setAccessibleName(" ");  // the panel's caption is a single blank
  auto* bar = new QHBoxLayout(Panel1);
  bar->setContentsMargins(4, 2, 4, 2);
  btopen = SpeedButton(Panel1, "btopen", QString::fromUtf8("Öffnen"), QStyle::SP_DialogOpenButton);
  btdb = SpeedButton(Panel1, "btdb", "Import", QStyle::SP_DriveHDIcon);
  Start1 = new QSpinBox(Panel1);
  Start1->setObjectName("Start1");
  Start1->setRange(1, 1000);
  Start1->setValue(4);
  Start1->setGroupSeparatorShown(false);
  Start1->setWrapping(false);
  Start = Start1->findChild<QLineEdit*>();
  Start->setObjectName("Start");
  // Wide enough for the largest position, 1000, in whatever font the system puts in place of the
  // form's: the 26 pixels of the original edit cut the last digit.
  Start1->setFixedWidth(std::max(26 + 20, Start1->sizeHint().width()));
  Progress = new QProgressBar(Panel1);
  Progress->setObjectName("Progress");
  Progress->setRange(0, 100);
  Progress->setValue(0);
  Progress->setTextVisible(false);
  bar->addWidget(btopen);
  bar->addWidget(btdb);
  bar->addWidget(Start1);
  bar->addWidget(Progress, 1);
  column->addWidget(Panel1);

  auto* body = new QHBoxLayout();
  body->setSpacing(0);
  Gitter = new QTableView(client);
  Gitter->setObjectName("Gitter");
  grid_model_ = new GridViewModel(GitterData, Gitter);
  Gitter->setModel(grid_model_);
  Gitter->setFixedWidth(556);
  Gitter->horizontalHeader()->setDefaultSectionSize(120);
  Gitter->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  Gitter->horizontalHeader()->setHighlightSections(false);
  Gitter->verticalHeader()->setVisible(false);  // no fixed columns
  Gitter->verticalHeader()->setDefaultSectionSize(18);
  Gitter->verticalHeader()->setMinimumSectionSize(18);
  Gitter->setShowGrid(true);
  Gitter->setSelectionMode(QAbstractItemView::ContiguousSelection);
  Gitter->setSelectionBehavior(QAbstractItemView::SelectItems);
  Gitter->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Gitter->setWordWrap(false);
  Memo1 = new QPlainTextEdit(client);
  Memo1->setObjectName("Memo1");
  Memo1->setFixedWidth(380);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setReadOnly(false);
  // The protocol grows by a line per deleted record, a hundred thousand lines and more in a large
  // run; an undo history of every line appended would take as much memory again.
  Memo1->setUndoRedoEnabled(false);
  body->addWidget(Gitter);
  body->addWidget(Memo1);
  body->addStretch(1);
  column->addLayout(body, 1);
  setWidget(client);

  Open = new QFileDialog(this);
  Open->setObjectName("Open");
  Open->setNameFilter(QtFileFilter(kOpenFilter));
  Open->setFileMode(QFileDialog::ExistingFile);
  Open->setAcceptMode(QFileDialog::AcceptOpen);

  Memo1Lines.OnChange = [this](framework::TStringList&) { SyncMemo(); };
  connect(btopen, &QToolButton::clicked, this,
          [this] { framework::Application().ProcessUserAction([this] { btopenClick(); }); });
  connect(btdb, &QToolButton::clicked, this,
          [this] { framework::Application().ProcessUserAction([this] { btdbClick(); }); });

  fgeburtstage = this;
  FormCreate();
}

Tfgeburtstage::~Tfgeburtstage() {
  Memo1Lines.OnChange = nullptr;
  if (fgeburtstage == this) fgeburtstage = nullptr;
}

void Tfgeburtstage::FormCreate() {
  // The up-down control holds a 16-bit position and keeps it within its range.
  Start1->setValue(static_cast<int16_t>(Settings.StartImport));
}

void Tfgeburtstage::btopenClick() {
  if (Open->exec() != QDialog::Accepted || Open->selectedFiles().isEmpty()) return;
  FileName = Open->selectedFiles().first().toStdString();
  LoadExportFile();
}

void Tfgeburtstage::LoadExportFile() {
  import::LoadExportFile(FileName, Start1->value(), GitterData, Memo1Lines);
}

void Tfgeburtstage::btdbClick() {
  if (Settings.Table == nullptr)
    throw framework::EDatabaseError("Keine Datenbanktabelle: die Verbindung fehlt.");
  const std::shared_ptr<void> prepared = Settings.PrepareImport ? Settings.PrepareImport() : nullptr;
  ProgressBarSink progress(Progress);
  SynchroniseTable(GitterData, *Settings.Table, Memo1Lines, progress);
  SaveProtocol(Memo1Lines, Settings.ProtocolFolder);
}

void Tfgeburtstage::FormShow() {
  if (!framework::FileExists(Settings.ImportFile)) return;
  FileName = Settings.ImportFile;
  LoadExportFile();
  btdbClick();
  framework::Application().Terminate();
}

void Tfgeburtstage::showEvent(QShowEvent* event) {
  QMdiSubWindow::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  framework::TApplication& application = framework::Application();
  if (!application.ProcessUserAction([this] { FormShow(); })) {
    if (application.Headless()) {
      // Nobody could close the error box: end the program and say so in its exit status.
      application.SetExitCode(1);
      application.Terminate();
    }
  } else if (application.Headless() && !application.Terminated()) {
    // Without a display the window cannot be used, so a start without an import file to run
    // with would wait for good.
    application.HandleException(framework::EInOutError(
        "Ohne Bildschirm gibt es nichts zu tun: " + ExportFileProblem(Settings.ImportFile) +
        ". Ohne Bildschirm importiert das Programm die Datei aus [option] datei der Konfiguration."));
    application.SetExitCode(1);
    application.Terminate();
  }
}

void Tfgeburtstage::SyncMemo() {
  // Lines are only ever appended in practice; anything else redraws the whole protocol.
  const int count = Memo1Lines.Count();
  if (count > memo_lines_shown_) {
    QStringList added;
    for (int i = memo_lines_shown_; i < count; ++i)
      added << QString::fromStdString(Memo1Lines.Strings(i));
    Memo1->appendPlainText(added.join('\n'));
  } else {
    Memo1->setPlainText(QString::fromStdString(Memo1Lines.Text()).chopped(count > 0 ? 1 : 0));
  }
  memo_lines_shown_ = count;
}

void Tfgeburtstage::closeEvent(QCloseEvent* event) {
  setAttribute(Qt::WA_DeleteOnClose);
  if (fgeburtstage == this) fgeburtstage = nullptr;
  QMdiSubWindow::closeEvent(event);
}

}  // namespace import
