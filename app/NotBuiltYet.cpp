#include "app/NotBuiltYet.h"

#include "app/AppTools.h"
#include "app/Ui.h"

namespace quillet {

void ReportNotBuiltYet(App& app, const std::string& what) {
  app.ctx.ui.MsgBox(what + " is not built yet.", MsgStyle::kCritical, "Not built yet");
  SetProgress(app, "Conversion error.");
}

}  // namespace quillet
