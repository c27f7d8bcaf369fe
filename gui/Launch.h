#pragma once
// Start-up of the executable: the real ports, then either the window or a run without
// a display.

#include <string>

namespace quillet {

// The argument text of the command line: argv[1..] joined by single blanks, so an
// unquoted path with blanks still names one file. The program removes quotes itself. A
// first argument "--" is left out ("quillet -- -film.mkv").
std::string ArgumentText(int argc, const char* const* argv);

// "--verbose" among the leading arguments: the tools print to our standard error, as
// they would in a console, instead of to tools.log. It is taken out of argv (argc
// shrinks) and handed on as QUILLET_VERBOSE=1, which asks for the same.
inline constexpr const char* kVerboseOption = "--verbose";
inline constexpr const char* kVerboseVariable = "QUILLET_VERBOSE";
void TakeVerboseOption(int& argc, char** argv);
bool VerboseRun();

// True when DISPLAY or WAYLAND_DISPLAY names a display (set and not empty).
bool HasDisplay(const char* display, const char* waylandDisplay);
bool HasDisplay();

// Converts the file or folder named by the argument and returns the exit status:
// 0 when every conversion succeeded, 1 otherwise, 2 for an argument that names
// neither an ".mkv" file nor a folder.
int RunWithoutDisplay(int& argc, char** argv, const std::string& argumentText);

// Start-up with the window. A command-line file conversion ends the program without
// showing it. With QUILLET_SCREENSHOT=<file.png> in the environment the shown window
// saves a picture of itself to that file and the program ends.
// "quillet --check ...": the pre-flight report with the real tool runner; returns its exit
// status.
int RunCheckCommand(int argc, char** argv);

int RunWithWindow(int& argc, char** argv, const std::string& argumentText);

}  // namespace quillet
