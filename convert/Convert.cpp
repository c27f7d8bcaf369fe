// PLACEHOLDER: replaced by the conversion work.
#include "convert/Convert.h"

#include "app/NotBuiltYet.h"
namespace quillet {
void Command2_Click(App& app) {
  ReportNotBuiltYet(app, "Conversion");
}
void Convert(App& app) {
  ReportNotBuiltYet(app, "Conversion");
}
void CleanMp4TempFiles(App&) {}
void CleanVc1TempFiles(App&) {}
void CleanTsTempFiles(App&) {}
}  // namespace quillet
