// One AVI of a folder run goes down the "Convert" button's road for AVI sources, which
// checks the file and repairs what the consoles cannot play.

#include "batch/FolderConversion.h"
#include "convert/Convert.h"

namespace quillet {

void CheckAndRepairAvi(App& app) {
  Form1& f = app.form;
  // The button dispatches on the source type; a later drop must still find the type the
  // user's last file choice set.
  const std::string type = f.strType;
  f.strType = "avi";
  Command2_Click(app);
  f.strType = type;
}

}  // namespace quillet
