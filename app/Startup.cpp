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

// A run that converted nothing failed, unless it found nothing to do: a folder without
// Matroska files, or one whose files all have their results, is no failure of a nightly
// script.
int HeadlessExitStatus(const App& app) {
  if (app.conversionsStarted == 0) return app.nothingToConvert.empty() ? 1 : 0;
  return app.conversionsSucceeded == app.conversionsStarted ? 0 : 1;
}

}  // namespace quillet
