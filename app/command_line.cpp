#include "app/command_line.h"

#include "framework/exception.h"

namespace app {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // The value of "--option VALUE" or "--option=VALUE"; never empty.
    auto value = [&](const std::string& option) {
      std::string v;
      if (a.size() > option.size()) v = a.substr(option.size() + 1);
      else if (i + 1 < args.size()) v = args[++i];
      if (v.empty()) throw framework::Exception("Option " + option + " needs a file name");
      return v;
    };
    auto is = [&](const std::string& option) { return a == option || a.rfind(option + "=", 0) == 0; };
    if (a == "--help" || a == "-h") cl.help = true;
    else if (a == "--version") cl.version = true;
    else if (is("--config")) cl.config_file = value("--config");
    else if (is("--open")) cl.open_file = value("--open");
    else throw framework::Exception("Unknown option: " + a);
  }
  return cl;
}

std::string UsageText(const std::string& program_name) {
  return "Usage: " + program_name + " [--config FILE] [--open FILE]\n"
         "Keeps the table \"Geburtstag\" of a database in step with the export file of the\n"
         "personnel system.\n"
         "\n"
         "  --config FILE  read the configuration from FILE instead of the INI file beside\n"
         "                 the program\n"
         "  --open FILE    load the export file FILE into the import window at start\n"
         "  --help         show this text and exit\n"
         "  --version      show the version and exit\n"
         "\n"
         "Without a display (DISPLAY and WAYLAND_DISPLAY unset) the program runs headless:\n"
         "messages go to standard error, it imports the file of [option] datei and ends\n"
         "(exit status 0, or 1 after an error), and with no usable import file it says so\n"
         "and ends with exit status 1.\n";
}

}  // namespace app
