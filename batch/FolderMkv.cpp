// The Matroska folder run: every ".mkv" of a chosen folder converted through the
// "Convert" button with the window's options, files with an earlier result skipped.

#include "app/AppTools.h"
#include "app/Program.h"
#include "batch/FolderConversion.h"
#include "batch/FolderRun.h"
#include "convert/Convert.h"
#include "convert/PathNames.h"
#include "inspect/ReadInfo.h"

namespace quillet {
namespace {

// film.mkv is done when the output folder holds film.mp4 or film.mpg.
bool MkvAlreadyConverted(const FolderRun& run, const std::string& name) {
  const std::string stem = InOutputFolder(run, name.substr(0, name.size() - 3));
  return HasResult(stem + "mp4") || HasResult(stem + "mpg");
}

void ConvertOneMkv(App& app, FolderRun& run, bool subtitlesWanted) {
  Form1& f = app.form;
  ReadInfo(app, f.strFullname);
  FindSubtitleBeside(app, f.strFullname);
  // Subtitles are burnt in only where this file has them.
  f.chkSubs.SetValue(subtitlesWanted && f.chkSubs.Visible ? 1 : 0);
  f.txtFile.Text = f.strFullname;
  f.Repaint();
  const std::string source = f.strFullname;
  Command2_Click(app);
  f.bSplit = false;
  if (f.txtProgress.Text != kConversionDone) NoteFailure(app, run, source);
}

}  // namespace

void folderMKV(App& app) {
  Form1& f = app.form;
  f.SetTopMost(true);
  f.lblSRTFound.Visible = false;
  f.cmbSubs.Visible = false;
  const bool subtitlesWanted = f.chkSubs.Value == 1;
  app.bFolderMode = true;
  f.bSplit = false;

  FolderRun run;
  if (!ChooseFolder(app, "Please select a folder with MKV files to be converted.", "*.mkv", run))
    return;
  if (NoFiles(run)) {
    SetProgress(app, "No MKV files found.");
    return;
  }
  AskWhereResultsGo(app, run);
  // Kept here, not in intListConv: that variable holds the recode format the AVCHD
  // choice put aside, and unticking AVCHD after the run must still find it.
  run.recode = f.chkMP2.Value;

  ForEachListed(app, run, [&](size_t i) {
    const std::string& name = run.names[i];
    // A previous file's inspection may have ticked the recode box.
    f.chkMP2.SetValue(run.recode);
    ShowCounter(app, i, run.names.size());
    f.strFullname = SourcePath(run, name);
    if (MkvAlreadyConverted(run, name) || SkipNonSource(app, run, f.strFullname)) return;
    ConvertOneMkv(app, run, subtitlesWanted);
  });
  EndFolderRun(app, run);
}

}  // namespace quillet
