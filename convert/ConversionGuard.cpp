#include "convert/ConversionGuard.h"

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/PathNames.h"
#include "tools/Paths.h"
#include "tools/StopRequest.h"

namespace quillet {

namespace {

// How often a waiting conversion looks whether the lock is free.
constexpr int kLockPollMs = 200;

}  // namespace

ConversionGuard::ConversionGuard(App& app)
    : app_(app), lock_(ProgramPath(app.ctx.programFolder, kLockFile)), outer_(app.cleanup) {
  app_.cleanup = &cleanup_;
}

void ConversionGuard::WaitForTurn() {
  if (lock_.TryLock()) return;
  SetProgress(app_, kWaitingForConversion);
  do {
    ThrowIfStopRequested();
    app_.ctx.ui.Sleep(kLockPollMs);
  } while (!lock_.TryLock());
}

ConversionGuard::~ConversionGuard() {
  app_.cleanup = outer_;
}

void ConversionGuard::Run(const std::function<void()>& conversion) {
  try {
    WaitForTurn();
    conversion();
  } catch (const RunStopped&) {
    cleanup_.Undo();
    // The flags of a split run would make every later conversion count as a part.
    app_.form.bSplit = false;
    app_.form.bSubs = false;
    app_.form.lblMulti.Visible = false;
    SetProgress(app_, kConversionStopped);
    throw;
  }
}

}  // namespace quillet
