#include "convert/ConversionGuard.h"

#include "app/AppTools.h"
#include "convert/PathNames.h"
#include "tools/StopRequest.h"

namespace quillet {

ConversionGuard::ConversionGuard(App& app) : app_(app), outer_(app.cleanup) {
  app_.cleanup = &cleanup_;
}

ConversionGuard::~ConversionGuard() {
  app_.cleanup = outer_;
}

void ConversionGuard::Run(const std::function<void()>& conversion) {
  try {
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
