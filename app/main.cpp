// The program: creates the main window, the data module and the import window, then runs the
// event loop until the main window closes.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMdiArea>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/data_module.h"
#include "app/import_guard.h"
#include "app/main_window.h"
#include "app/window_state.h"
#include "dao/db_login.h"
#include "engine/engine.h"
#include "framework/application.h"
#include "framework/qt_message_sink.h"
#include "framework/stop_request.h"
#include "framework/strings.h"
#include "import/export_loader.h"
#include "import/import_window.h"
#include "import/mtools.h"

namespace {

int g_signal_pipe[2] = {-1, -1};

void OnStopSignal(int signal) {
  // Only async-signal-safe work here. Work in progress (loading, waiting for the import lock,
  // the import) sees the request between two steps and stops; an idle event loop reads the byte
  // and quits.
  framework::RequestStop(signal);
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the program at any point: work in progress stops between two steps
// (an import between two records, without writing its protocol), and the event loop ends
// normally, so the program closes its windows and its database like a click on "Beenden" would.
// Installed before anything that may take a while, so that no stop is lost.
void QuitOnStopSignals(QApplication& qapp) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &qapp);
  QObject::connect(notifier, &QSocketNotifier::activated, &qapp, [] {
    char byte;
    [[maybe_unused]] ssize_t n = ::read(g_signal_pipe[0], &byte, 1);
    QCoreApplication::quit();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

// Without a display, Qt's notes about the window system (sizes, runtime folders) mean nothing to
// the user and would mix with the program's own messages on standard error; only Qt's critical
// and fatal messages are passed on.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// Qt warns under X when XDG_RUNTIME_DIR is not set and then uses a folder of its own in /tmp.
// The program makes that folder itself, private to the user, and names it, so the warning never
// reaches the user; when the folder cannot be had safely the variable stays unset.
void EnsureRuntimeDir() {
  const char* set = std::getenv("XDG_RUNTIME_DIR");
  if (set != nullptr && *set != 0) return;
  const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
  ::mkdir(dir.c_str(), 0700);
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 077) != 0)
    return;
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != 0) || (wayland != nullptr && *wayland != 0);
}

}  // namespace

int main(int argc, char** argv) {
  app::CommandLine options;
  try {
    options = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n%s", e.what(),
                 app::UsageText(framework::ExtractFileName(argv[0])).c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(app::UsageText(framework::ExtractFileName(argv[0])).c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("geburtstage %s\n", GEB_VERSION);
    return 0;
  }

  // 1. The application object.
  const bool headless = !HasDisplay();
  if (headless) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(QuietQtMessages);
  }
  EnsureRuntimeDir();
  QApplication qapp(argc, argv);
  framework::TApplication& application = framework::Application();
  application.Initialize(argv[0]);
  application.SetTitle("Geburtstage");
  application.SetHeadless(headless);
  framework::QtMessageSink message_boxes;
  if (!headless) application.SetMessageSink(&message_boxes);
  application.OnTerminate = [] { QMetaObject::invokeMethod(qApp, "quit", Qt::QueuedConnection); };
  QuitOnStopSignals(qapp);
  mtools::InitFolderPaths(application.ExeFolder());

  // Declared before the windows so that it is destroyed after them: the windows show its data.
  std::unique_ptr<app::TData> data;

  // 2. The main window.
  app::Tfmain main_window;
  main_window.show();

  // 3. The data module. An error while its components are built ends the program; an error of
  // its create handler (a failed connect) is shown and start-up goes on.
  engine::RegisterEngineClasses();
  dao::InstallDbLoginFactory();
  if (!application.ProcessUserAction([&] { data = std::make_unique<app::TData>(nullptr); }))
    return 1;
  app::Data = data.get();
  const std::string ini_file = options.config_file.empty()
                                   ? framework::ChangeFileExt(application.ExeName(), ".ini")
                                   : options.config_file;
  application.ProcessUserAction([&] { data->DataModuleCreate(ini_file); });

  // 4. The import window, shown maximised inside the main window; showing it starts the
  // unattended run when the configured import file exists.
  import::ImportSettings settings;
  settings.StartImport = data->StartImport;
  // A relative name is looked up beside the program when it is not where it was given, as the
  // database is.
  settings.ImportFile = import::LocateExportFile(data->ImportFile, application.ExeFolder());
  settings.Table = data->Fahrer;
  settings.ProtocolFolder = application.ExeFolder();
  app::TData* module = data.get();
  settings.PrepareImport = [module] {
    return app::PrepareImport(module->Datenbank->CoreDatabase(), app::kImportLockWait);
  };
  auto* import_window = new import::Tfgeburtstage(main_window.ClientArea, settings);
  main_window.ClientArea->addSubWindow(import_window);
  import_window->showMaximized();
  if (!options.open_file.empty()) {
    application.ProcessUserAction([&] {
      import_window->FileName = options.open_file;
      import_window->LoadExportFile();
    });
  }

  // For tests that look at the program from outside: what the windows show once they are up.
  if (std::getenv(app::kWindowStateVariable) != nullptr)
    QTimer::singleShot(300, &qapp, [] { app::WriteWindowStateFile(); });

  // 5. The event loop (it ends at once when the unattended run has asked the program to end).
  const int status = qapp.exec();
  app::Data = nullptr;
  // Without a display a stop always breaks off the unattended run, which did not finish then.
  if (headless && framework::StopRequested() && application.ExitCode() == 0) return 1;
  return application.ExitCode() != 0 ? application.ExitCode() : status;
}
