// Quillet: the window when there is a display, a console run when there is none.

#include "base/StopRequest.h"
#include "gui/Launch.h"
#include "shell/CheckCommand.h"

int main(int argc, char** argv) {
  // Before anything reads the arguments or starts a thread (it may set the environment).
  quillet::TakeVerboseOption(argc, argv);
  // The pre-flight report needs no window, whatever the display.
  if (quillet::IsCheckCommand(argc, argv)) return quillet::RunCheckCommand(argc, argv);
  // Before anything can start a tool: a signal from now on stops the program cleanly.
  quillet::InstallStopSignals();
  const quillet::CommandLine commandLine = quillet::ParseCommandLine(argc, argv);
  if (commandLine.verbose) quillet::AskForToolOutput();
  if (const int status = quillet::AnswerWithoutRun(commandLine); status >= 0) return status;
  if (!quillet::HasDisplay()) return quillet::RunWithoutDisplay(argc, argv, commandLine);
  return quillet::RunWithWindow(argc, argv, commandLine);
}
