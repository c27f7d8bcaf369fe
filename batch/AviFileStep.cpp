// One AVI of a folder run: checked, and its video repaired into "QL_" + its name when the
// consoles cannot play it. A playable file is left alone; its sound is not re-encoded as
// the "Convert" button would.

#include "app/AppTools.h"
#include "batch/FolderConversion.h"
#include "convert/PathNames.h"
#include "convert/StepHelpers.h"
#include "sources/Sources.h"

namespace quillet {

void CheckAndRepairAvi(App& app) {
  Form1& f = app.form;
  bool playable = false;
  IgnoringErrors([&] {
    playable = CheckAvi(app, f.txtFile.Text, ToolPath(app, tool::kAviInfo), f.txtTMP.Text);
  });
  if (playable) return;
  SetProgress(app, "Converting file");
  RecodeAviVideo(app);
}

}  // namespace quillet
