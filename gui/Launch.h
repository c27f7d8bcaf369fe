#pragma once
// Start-up of the executable: the real ports, then either the window or a run without
// a display.

#include <string>

#include "shell/CommandLineOptions.h"

namespace quillet {

// --help, --version and wrong arguments: prints what they ask for and returns the exit
// status (0, or 2 after one line saying what is wrong and the usage line); -1 when the
// command line asks for a run.
int AnswerWithoutRun(const CommandLine& commandLine);

// "--verbose" among the leading arguments: the tools print to our standard error, as
// they would in a console, instead of to tools.log. It is taken out of argv (argc
// shrinks) and handed on as QUILLET_VERBOSE=1, which asks for the same.
inline constexpr const char* kVerboseOption = "--verbose";
inline constexpr const char* kVerboseVariable = "QUILLET_VERBOSE";
void TakeVerboseOption(int& argc, char** argv);
// The same for a "--verbose" among the options of a conversion.
void AskForToolOutput();
bool VerboseRun();

// True when DISPLAY or WAYLAND_DISPLAY names a display (set and not empty).
bool HasDisplay(const char* display, const char* waylandDisplay);
bool HasDisplay();

// Converts the files and folders named and returns the exit status: 0 when every
// conversion succeeded, 1 otherwise, 2 when nothing is named or the options cannot stand.
int RunWithoutDisplay(int& argc, char** argv, const CommandLine& commandLine);

// Start-up with the window. A command-line conversion shows the window while it works
// and ends the program after a file (a folder run leaves it open). With
// QUILLET_SCREENSHOT=<file.png> in the environment the shown window saves a picture of
// itself to that file and the program ends.
// "quillet --check ...": the pre-flight report with the real tool runner; returns its exit
// status.
int RunCheckCommand(int argc, char** argv);

int RunWithWindow(int& argc, char** argv, const CommandLine& commandLine);

}  // namespace quillet
