#pragma once
// The guard of the conversion of one source (the outer run of the "Convert" button): it
// puts the run's cleanup registry in place for the whole run, split parts included, and
// when a stop unwinds the run it undoes it before the stop goes on up to the front end.

#include <functional>

#include "app/App.h"
#include "convert/RunCleanup.h"

namespace quillet {

class ConversionGuard {
 public:
  explicit ConversionGuard(App& app);
  ~ConversionGuard();
  ConversionGuard(const ConversionGuard&) = delete;
  ConversionGuard& operator=(const ConversionGuard&) = delete;

  // Runs the conversion. On RunStopped: deletes the run's working files and partial
  // results, puts earlier results back, shows the stop in the progress line and
  // rethrows.
  void Run(const std::function<void()>& conversion);

 private:
  App& app_;
  RunCleanup cleanup_;
  RunCleanup* outer_;
};

}  // namespace quillet
