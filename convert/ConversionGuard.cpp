#include "convert/ConversionGuard.h"

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/StopRequest.h"
#include "convert/PathNames.h"
#include "tools/Paths.h"

namespace quillet {

namespace {

// How often a waiting conversion looks whether the lock is free.
constexpr int kLockPollMs = 200;

}  // namespace

ConversionGuard::ConversionGuard(App& app)
    : app_(app),
      lock_(ProgramPath(app.ctx.files.lockFolder, kLockFile)),
      outputLock_(WithTrailingSep(AbsolutePath(app.form.txtTMP.Text)) + kOutputLockFile,
                  FileLock::Lifetime::kRemovedWhenDone),
      outer_(app.cleanup) {
  app_.cleanup = &cleanup_;
}

// The program folder's lock first, then the output folder's: every run takes them in
// that order, so two runs never each hold one and wait for the other.
bool ConversionGuard::TryTurn() {
  return lock_.TryLock() && outputLock_.TryLock();
}

void ConversionGuard::WaitForTurn() {
  if (TryTurn()) return;
  SetProgress(app_, kWaitingForConversion);
  do {
    ThrowIfStopRequested();
    app_.ctx.ui.Sleep(kLockPollMs);
  } while (!TryTurn());
}

ConversionGuard::~ConversionGuard() {
  app_.cleanup = outer_;
}

void ConversionGuard::Run(const std::function<void()>& conversion) {
  Form1& form = app_.form;
  const std::string source = form.txtFile.Text;
  try {
    WaitForTurn();
    conversion();
    // The run has ended as it stands (a stop that came after its last tool changes
    // nothing now): the earlier results it replaced go.
    cleanup_.Commit();
  } catch (const RunStopped&) {
    app_.stopped = true;
    cleanup_.Undo();
    // The flags of a split run would make every later conversion count as a part, and
    // the window would show a part that is gone.
    form.bSplit = false;
    form.bSubs = false;
    form.lblMulti.Visible = false;
    form.progress.part.clear();
    if (form.txtFile.Text != source) {
      form.txtFile.Text = form.strFullname = source;
      app_.report = TrackReport{};
    }
    SetProgress(app_, kConversionStopped);
    throw;
  }
}

}  // namespace quillet
