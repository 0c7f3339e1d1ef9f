#include "tests/engine/odbc/odbc_test_support.h"

#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "engine/engine.h"

namespace odbc_test {

namespace {

std::string g_folder;
std::string g_run_as;     // "runuser -u nobody -- " when the tests run as root
std::string g_bin;        // PostgreSQL's programs
std::string g_pg_driver;  // psqlodbcw.so
int g_guard_pipe = -1;
pid_t g_guard = -1;

std::string FirstMatch(const std::vector<std::string>& patterns) {
  for (const auto& pattern : patterns) {
    glob_t g{};
    if (glob(pattern.c_str(), 0, nullptr, &g) == 0 && g.gl_pathc > 0) {
      // The last match is the newest version where versions are folders.
      std::string found = g.gl_pathv[g.gl_pathc - 1];
      globfree(&g);
      return found;
    }
    globfree(&g);
  }
  return "";
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

void Run(const std::string& command, const std::string& what) {
  const int status = std::system(command.c_str());
  if (status != 0) {
    std::ifstream log(g_folder + "/sock/setup.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    throw std::runtime_error(what + " failed (" + command + "):\n" + text);
  }
}

std::string Driver(const char* file) {
  return FirstMatch({std::string("/usr/lib/*/odbc/") + file, std::string("/usr/lib/odbc/") + file,
                     std::string("/usr/lib64/odbc/") + file, std::string("/usr/lib64/") + file});
}

// A process that waits until the test program has gone, however it went, and then stops the
// cluster and removes the folder.
void StartGuard() {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  const std::string cleanup = "read x; " + g_run_as + Quote(g_bin + "/pg_ctl") + " -D " + Quote(g_folder + "/pg") +
                              " -m fast -w stop > /dev/null 2>&1; rm -rf " + Quote(g_folder);
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    dup2(fds[0], 0);
    close(fds[0]);
    close(fds[1]);
    execl("/bin/sh", "sh", "-c", cleanup.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[0]);
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  g_guard_pipe = fds[1];
  g_guard = pid;
}

class ServersEnvironment : public ::testing::Environment {
 public:
  // Without the servers no test can run; the program ends with the reason (the guard then
  // removes what was made).
  void SetUp() override {
    try {
      Servers::Start();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "The ODBC test servers could not be started: %s\n", e.what());
      std::exit(1);
    }
  }
  void TearDown() override { Servers::Stop(); }
};

const bool kRegistered = [] {
  ::testing::AddGlobalTestEnvironment(new ServersEnvironment);
  return true;
}();

}  // namespace

const std::string& Servers::Folder() { return g_folder; }

std::string Servers::PgConnect() {
  return "ODBC;DSN=" + PgDsn() + ";UID=" + PgUser() + ";PWD=" + PgPassword();
}

void Servers::Start() {
  (void)kRegistered;
  engine::RegisterEngineClasses();
  char tmpl[] = "/tmp/geb_odbc_XXXXXX";
  if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp");
  g_folder = tmpl;
  chmod(g_folder.c_str(), 0755);
  g_bin = FirstMatch({"/usr/lib/postgresql/*/bin"});
  if (g_bin.empty() || access((g_bin + "/initdb").c_str(), X_OK) != 0)
    throw std::runtime_error("PostgreSQL's initdb was not found under /usr/lib/postgresql/*/bin "
                             "(scripts/install-deps installs the package postgresql)");
  g_pg_driver = Driver("psqlodbcw.so");
  const std::string sqlite_driver = Driver("libsqlite3odbc.so");
  if (g_pg_driver.empty() || sqlite_driver.empty())
    throw std::runtime_error("the ODBC drivers psqlodbcw.so and libsqlite3odbc.so were not found "
                             "(scripts/install-deps installs odbc-postgresql and libsqliteodbc)");
  // PostgreSQL refuses to run as root; the cluster then belongs to nobody.
  uid_t uid = geteuid();
  gid_t gid = getegid();
  if (uid == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) throw std::runtime_error("no user nobody to run PostgreSQL as");
    uid = nobody->pw_uid;
    gid = nobody->pw_gid;
    g_run_as = FirstMatch({"/usr/sbin/runuser", "/sbin/runuser", "/usr/bin/runuser"});
    if (g_run_as.empty()) throw std::runtime_error("runuser was not found (package util-linux)");
    g_run_as += " -u nobody -- ";
  }
  for (const char* sub : {"/pg", "/sock"}) {
    const std::string path = g_folder + sub;
    mkdir(path.c_str(), 0700);
    if (chown(path.c_str(), uid, gid) != 0) throw std::runtime_error("chown " + path);
  }
  chmod((g_folder + "/sock").c_str(), 0755);
  const std::string pwfile = g_folder + "/sock/pwfile";
  std::ofstream(pwfile) << PgPassword() << "\n";
  chmod(pwfile.c_str(), 0644);
  StartGuard();
  const std::string log = " >> " + Quote(g_folder + "/sock/setup.log") + " 2>&1";
  Run(g_run_as + Quote(g_bin + "/initdb") + " -D " + Quote(g_folder + "/pg") + " -U " + PgUser() +
          " --pwfile=" + Quote(pwfile) + " -A scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync" + log,
      "initdb");
  Run(g_run_as + Quote(g_bin + "/pg_ctl") + " -D " + Quote(g_folder + "/pg") + " -l " +
          Quote(g_folder + "/sock/server.log") + " -w -t 60 -o " +
          Quote("-k " + g_folder + "/sock -c listen_addresses='' -F -c max_connections=40") + " start" + log,
      "pg_ctl start");

  std::ofstream ini(g_folder + "/odbc.ini");
  for (const auto& [dsn, database] : {std::pair<std::string, std::string>{PgDsn(), "geb"}, {PgDsn2(), "geb2"}})
    ini << "[" << dsn << "]\nDescription=geb test cluster\nDriver=" << g_pg_driver
        << "\nServername=" << g_folder << "/sock\nPort=5432\nDatabase=" << database << "\n\n";
  ini << "[" << SqliteDsn() << "]\nDriver=" << sqlite_driver << "\nDatabase=" << g_folder << "/sqlite.db\n";
  ini.close();
  setenv("ODBCINI", (g_folder + "/odbc.ini").c_str(), 1);

  // The databases, made through the server's "postgres" database.
  auto engine = engine::CreateEngine();
  auto ws = engine->CreateWorkspace("setup", Variant(), Variant(), Variant(dao::dbUseODBC));
  auto db = ws->OpenConnection("setup", Variant(dao::dbDriverNoPrompt), Variant(false),
                               Variant("ODBC;Driver=" + g_pg_driver + ";Servername=" + g_folder +
                                       "/sock;Port=5432;Database=postgres;UID=" + PgUser() + ";PWD=" + PgPassword()));
  Exec(*db, "CREATE DATABASE geb");
  Exec(*db, "CREATE DATABASE geb2");
  db->Close();
}

void Servers::Stop() {
  if (g_guard_pipe >= 0) {
    close(g_guard_pipe);
    g_guard_pipe = -1;
  }
  if (g_guard > 0) {
    int status = 0;
    waitpid(g_guard, &status, 0);
    g_guard = -1;
  }
}

void Exec(dao::Database& db, const std::string& sql) { db.Execute(sql, Variant(dao::dbSQLPassThrough)); }

std::shared_ptr<dao::Database> OpenPg(const std::string& dsn) {
  auto engine = engine::CreateEngine();
  auto ws = engine->CreateWorkspace("pg", Variant(), Variant(), Variant(dao::dbUseODBC));
  return ws->OpenConnection(dsn, Variant(dao::dbDriverNoPrompt), Variant(false),
                            Variant("ODBC;DSN=" + dsn + ";UID=" + Servers::PgUser() + ";PWD=" + Servers::PgPassword()));
}

std::shared_ptr<dao::Database> OpenSqlite() {
  auto engine = engine::CreateEngine();
  auto ws = engine->CreateWorkspace("sqlite", Variant(), Variant(), Variant(dao::dbUseODBC));
  return ws->OpenConnection(Servers::SqliteDsn(), Variant(dao::dbDriverNoPrompt), Variant(false),
                            Variant("ODBC;DSN=" + Servers::SqliteDsn()));
}

void CreatePgBirthdays(dao::Database& db) {
  Exec(db, "DROP TABLE IF EXISTS Geburtstag");
  Exec(db, "CREATE TABLE Geburtstag (ID serial PRIMARY KEY, Mitarbeiter varchar(255), Geburtsdatum timestamp, "
           "Telefon varchar(255), Personalnr integer)");
  Exec(db, "CREATE INDEX Geburtstag_Personalnr ON Geburtstag (Personalnr)");
}

}  // namespace odbc_test
