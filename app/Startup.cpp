#include "app/CmdLine.h"
#include "app/Program.h"
#include "app/Settings.h"

namespace quillet {

void Form_Load(App& app, const std::string& argumentText) {
  LoadSettings(app);
  // A file or folder named on the command line is converted before the window shows.
  cmdLine(app, argumentText);
}

bool IsConvertibleArgument(const std::string& argumentText) {
  const std::string path = ArgumentPath(argumentText);
  return IsMatroskaFileArgument(path) || IsFolderArgument(path);
}

// A run that converted nothing failed: it was started to convert something (a folder
// without Matroska files, or one whose files all have results already, ends with 1).
int HeadlessExitStatus(const App& app) {
  const bool allSucceeded =
      app.conversionsStarted > 0 && app.conversionsSucceeded == app.conversionsStarted;
  return allSucceeded ? 0 : 1;
}

}  // namespace quillet
