// A text description of what the program's windows show, for tests that look at the running
// program from outside (the screenshot test): the windows with their titles and places, and the
// contents of grids, memos and message boxes.
#pragma once

#include <string>

namespace app {

// The environment variable that names the file the program describes its windows in, once they
// are shown at start (see DescribeWindows); unset in normal use.
constexpr const char* kWindowStateVariable = "GEBURTSTAGE_WINDOW_STATE";

// One line per visible top-level window ("window <class> '<title>' x y w h"), below it one line per
// child window of a multiple-document area ("subwindow '<title>' maximized|normal"), per string
// grid ("grid <name> x y w h", "heading a|b|...", the first `max_rows` rows as "row a|b|...") and
// per memo ("memo <name> x y w h", then "line <text>" per line); positions on the screen.
std::string DescribeWindows(int max_rows = 20);

// Writes DescribeWindows() to the file named by kWindowStateVariable, when it is set: to a
// temporary file renamed into place, so that a reader never sees half of it.
void WriteWindowStateFile();

}  // namespace app
