// The program's command-line options.
#pragma once

#include <string>
#include <vector>

namespace app {

struct CommandLine {
  bool help = false;
  bool version = false;
  // INI file to read instead of the one beside the program ("" for that one).
  std::string config_file;
  // Export file to load into the import window at start, for a look before importing.
  std::string open_file;
};

// Parses the arguments after the program name. Raises framework::Exception with a message for
// an unknown option or a missing value.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text printed by --help.
std::string UsageText(const std::string& program_name);

}  // namespace app
