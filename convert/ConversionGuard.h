#pragma once
// The guard of the conversion of one source (the outer run of the "Convert" button), for
// its whole run, split parts included:
// - it holds the program folder's lock ("quillet.lock"), since two conversions through one
//   program folder share the files the tools rewrite beside their slots (the header
//   tool's ini, the encoder's two-pass log), and the output folder's lock
//   (".quillet-output.lock"), since two conversions into one output folder share its
//   working names, even when they run from two program folders (two users). A second
//   conversion waits for the first, saying so in the progress line;
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
  bool TryTurn();
  void WaitForTurn();

  App& app_;
  FileLock lock_;
  FileLock outputLock_;
  RunCleanup cleanup_;
  RunCleanup* outer_;
};

}  // namespace quillet
