// Whether an AVI plays on the consoles as it is: they cannot play MPEG-4 video that uses
// quarter-pixel motion or global motion compensation. The information tool reads a
// stream copy of the first 10 MB, which is quick even for a large film.

#include "app/AppTools.h"
#include "base/Files.h"
#include "convert/PathNames.h"
#include "convert/StepHelpers.h"
#include "inspect/TextPieces.h"
#include "sources/Sources.h"

namespace quillet {
namespace {

// The report's layout: the field name, blanks up to column 20, then the answer.
constexpr const char* kNoQpel = "QPel:              No";
constexpr const char* kNoGmc = "GMC:               No";

bool IsReport(const std::string& output) {
  return Contains(output, "QPel") || Contains(output, "Error:");
}

bool ReportSaysPlayable(const std::string& report) {
  return (Contains(report, kNoQpel) && Contains(report, kNoGmc)) || Contains(report, "DIV3");
}

}  // namespace

bool CheckAvi(App& app, const std::string& aviPath, const std::string& infoTool,
              const std::string& folder) {
  const std::string test = folder + "test.avi";
  // A test file of an earlier check would be read if this test encode wrote nothing.
  IgnoringErrors([&] { DeleteFileQuietly(test); });
  IgnoringErrors([&] {
    GetCommandOutput(app,
                     Q(ToolPath(app, tool::kMencoderCheck)) + " -endpos 10mb -ovc copy -oac copy " +
                         Q(aviPath) + " -o " + Q(test),
                     true, false, true);
  });
  std::string report;
  bool answered = false;
  for (int attempt = 0; attempt < kAviInfoTries && !answered; ++attempt) {
    IgnoringErrors([&] {
      report = GetCommandOutput(app, Q(infoTool) + " --info " + Q(test), true, false, true);
    });
    answered = IsReport(report);
  }
  if (!answered)
    AppendDebugLog(app, "AVI check: " + infoTool + " gave no report on " + test + " in " +
                            std::to_string(kAviInfoTries) + " tries; " + aviPath +
                            " counts as not compatible");
  const bool playable = answered && ReportSaysPlayable(report);
  IgnoringErrors([&] { DeleteFileQuietly(test); });
  return playable;
}

}  // namespace quillet
