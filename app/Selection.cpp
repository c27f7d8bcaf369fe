// PLACEHOLDER: replaced by the source-selection work.
#include "app/NotBuiltYet.h"
#include "app/Program.h"
namespace quillet {
void Command1_Click(App& app) {
  ReportNotBuiltYet(app, "Choosing a source");
}
void cmdSubs_Click(App& app) {
  ReportNotBuiltYet(app, "Choosing subtitles");
}
void cmdTargetFolder_Click(App& app) {
  ReportNotBuiltYet(app, "Choosing the output folder");
}
void DropFiles(App& app, const std::vector<std::string>&) {
  ReportNotBuiltYet(app, "Dropping files");
}
}  // namespace quillet
