// The AVI folder run: every ".avi" of a chosen folder checked, and repaired into
// "QL_" + its name when the consoles cannot play it.

#include "app/AppTools.h"
#include "batch/FolderConversion.h"
#include "batch/FolderRun.h"
#include "convert/PathNames.h"
#include "sys/FileAPI.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

constexpr const char* kRepairedPrefix = "QL_";

// QL_film.avi is a repaired copy, and film.avi is done when its copy is there.
bool AviAlreadyDone(const FolderRun& run, const std::string& name) {
  return name.rfind(kRepairedPrefix, 0) == 0 ||
         HasResult(InOutputFolder(run, kRepairedPrefix + name));
}

// A step that ends "done" must have left its repaired copy; one that ends in the error
// text failed; one that says nothing more found the file playable and left it alone.
bool AviStepFailed(const App& app, const FolderRun& run, const std::string& name) {
  const std::string& text = app.form.txtProgress.Text;
  if (text == kConversionError) return true;
  if (text.rfind(kConversionDone, 0) == 0)
    return !HasResult(InOutputFolder(run, kRepairedPrefix + name));
  return false;
}

// The run over the listed files: each file checked counts as one conversion of the
// run (its exit status), a repair that fails as a failed one.
void CheckAviFiles(App& app, FolderRun& run, const AviFileStep& checkAndRepair) {
  Form1& f = app.form;
  run.recode = f.chkMP2.Value;
  ForEachListed(app, run, [&](size_t i) {
    const std::string& name = run.names[i];
    f.chkMP2.SetValue(run.recode);
    ShowCounter(app, i, run.names.size());
    f.strFullname = SourcePath(run, name);
    f.txtFile.Text = f.strFullname;
    SetProgress(app, "Checking AVI compatibility");
    if (AviAlreadyDone(run, name)) return;
    ++app.conversionsStarted;
    if (SkipNonSource(app, run, f.strFullname)) return;
    checkAndRepair(app);
    if (AviStepFailed(app, run, name))
      NoteFailure(app, run, f.strFullname);
    else
      ++app.conversionsSucceeded;
  });
  SetProgress(app, "Folder Conversion done");
  EndFolderRun(app, run);
}

}  // namespace

void folderAVI(App& app, const AviFileStep& checkAndRepair) {
  Form1& f = app.form;
  f.SetTopMost(true);
  app.bFolderMode = true;

  FolderRun run;
  if (!ChooseFolder(app, "Please select a folder with AVI files to be checked/converted.", "*.avi",
                    run))
    return;
  if (NoFiles(run)) {
    SetProgress(app, "No AVI files found.");
    return;
  }
  AskWhereResultsGo(app, run);
  CheckAviFiles(app, run, checkAndRepair);
}

void folderAVI(App& app, const std::string& folder, const AviFileStep& checkAndRepair) {
  app.bFolderMode = true;
  FolderRun run;
  run.folder = folder;
  run.names = ListFiles(WithTrailingSep(folder) + "*.avi");
  run.outputFolder = app.form.txtTMP.Text;
  if (NoFiles(run)) {
    SetProgress(app, "No AVI files found.");
    app.nothingToConvert = "No AVI files found in " + folder + ".";
    return;
  }
  CheckAviFiles(app, run, checkAndRepair);
  if (app.conversionsStarted == 0)
    app.nothingToConvert = "Nothing to check in " + folder + ": every file has its repaired copy.";
}

}  // namespace quillet
