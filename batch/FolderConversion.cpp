#include "app/NotBuiltYet.h"
#include "app/Program.h"

namespace quillet {

void cmdFolder_Click(App& app) {
  ReportNotBuiltYet(app, "Folder conversion");
}

}  // namespace quillet
