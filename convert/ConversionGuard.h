#pragma once
// The guard of the conversion of one source (the outer run of the "Convert" button), for
// its whole run, split parts included:
// - it holds the program folder's lock ("quillet.lock"), so two conversions never run at
//   once: they share the working names of the output folder and the files the tools
//   rewrite beside their slots (the header tool's ini, the encoder's two-pass log). A
//   second conversion waits for the first, saying so in the progress line;
// - it puts the run's cleanup registry in place, and when a stop unwinds the run it
//   undoes it before the stop goes on up to the front end.

#include <functional>

#include "app/App.h"
#include "convert/RunCleanup.h"
#include "tools/FileLock.h"

namespace quillet {

class ConversionGuard {
 public:
  explicit ConversionGuard(App& app);
  ~ConversionGuard();
  ConversionGuard(const ConversionGuard&) = delete;
  ConversionGuard& operator=(const ConversionGuard&) = delete;

  // Waits for the lock, then runs the conversion. On RunStopped: deletes the run's working files
  // and partial results, puts earlier results back, shows the stop in the progress line and
  // rethrows.
  void Run(const std::function<void()>& conversion);

 private:
  void WaitForTurn();

  App& app_;
  FileLock lock_;
  RunCleanup cleanup_;
  RunCleanup* outer_;
};

}  // namespace quillet
