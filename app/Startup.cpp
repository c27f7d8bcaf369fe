#include "app/Program.h"
#include "base/StopRequest.h"

namespace quillet {

// A run that converted nothing failed, unless it found nothing to do: a folder without
// Matroska files, or one whose files all have their results, is no failure of a nightly
// script.
int HeadlessExitStatus(const App& app) {
  if (app.stopped) return StopExitStatus();
  if (app.conversionsStarted == 0) return app.nothingToConvert.empty() ? 1 : 0;
  return app.conversionsSucceeded == app.conversionsStarted ? 0 : 1;
}

}  // namespace quillet
