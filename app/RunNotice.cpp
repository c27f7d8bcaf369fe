#include "app/RunNotice.h"

#include "app/App.h"
#include "app/Ui.h"

namespace quillet {

RunNotice::RunNotice(const App& app, Clock now)
    : app_(app), now_(std::move(now)), start_(now_()), conversionsBefore_(app.conversionsStarted) {}

void RunNotice::End() const {
  // A dialog left open for long is no run; only a handler that converted is told.
  if (app_.conversionsStarted == conversionsBefore_ || now_() - start_ <= kLongRun) return;
  app_.ctx.ui.Notify(app_.form.txtProgress.Text, "");
}

}  // namespace quillet
