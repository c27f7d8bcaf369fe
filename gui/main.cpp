// Quillet: the window when there is a display, a console run when there is none.

#include "gui/Launch.h"
#include "tools/StopRequest.h"

int main(int argc, char** argv) {
  // Before anything can start a tool: a signal from now on stops the program cleanly.
  quillet::InstallStopSignals();
  const std::string argumentText = quillet::ArgumentText(argc, argv);
  if (!quillet::HasDisplay()) return quillet::RunWithoutDisplay(argc, argv, argumentText);
  return quillet::RunWithWindow(argc, argv, argumentText);
}
