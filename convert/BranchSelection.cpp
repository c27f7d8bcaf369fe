// Choosing the output branch of a source that is not split (or is a part of one).

#include "app/AppTools.h"
#include "convert/ConvertSteps.h"
#include "convert/FreeSpace.h"
#include "convert/PathNames.h"

namespace quillet {
namespace {

// Extraction (and re-encode), the audio chain and the MP4 assembly.
void RunMp4Branch(App& app, ConvertRun& run) {
  ClearStaleMp4Files(run);
  EarlierResult earlier(app, run);
  if (earlier.Refused()) return;
  IgnoringErrors([&] {
    ExtractAndRecode(app, run);
    RunAudioChain(app, run);
    AssembleMp4(app, run);
  });
  earlier.Settle(app.form.txtProgress.Text == kConversionDone);
}

// The PS3 transport stream: extraction (and re-encode), then header, sound and mux.
void RunM2tsBranch(App& app, ConvertRun& run) {
  ClearStaleTsFiles(run);
  std::vector<EarlierResult> earlier = SetAsideEarlierM2ts(app, run);
  if (!AnyRefused(earlier))
    IgnoringErrors([&] {
      ExtractAndRecode(app, run);
      MuxM2ts(app, run);
    });
  for (EarlierResult& result : earlier) result.Settle(app.form.txtProgress.Text == kConversionDone);
}

// The AVCHD folder: extraction (and re-encode), then sound, job file and authoring.
void RunAvchdBranch(App& app, ConvertRun& run) {
  if (!AvchdFolderIsFree(app, run)) return;
  ClearStaleTsFiles(run);
  IgnoringErrors([&] {
    ExtractAndRecode(app, run);
    AuthorAvchd(app, run);
  });
}

// The Xvid AVI and the MPEG-2 transport stream: the extraction step only sets its text
// (the encoder reads the source itself), then the recode.
void RunRecodeBranch(App& app, ConvertRun& run, void (*recode)(App&, ConvertRun&)) {
  ClearStaleRecodeFiles(run);
  IgnoringErrors([&] {
    ExtractAndRecode(app, run);
    recode(app, run);
  });
}

}  // namespace

bool RunBranchSelection(App& app, ConvertRun& run) {
  const Form1& form = app.form;
  if (SubtitleRemuxWanted(form)) {
    SubtitleRemux(app, run);
    return false;
  }
  const std::string& codec = app.report.strVideoCodec;
  if (codec == "vc1" && form.chkMP2.Value != 1 && form.chkAVCHD.Value != 1) {
    TellVc1NeedsAvchdOrRecode(app);
    return false;
  }
  switch (MatroskaRoad(app)) {
    case Road::kMpeg2Repack:
      RepackMpeg2(app, run);
      return false;
    case Road::kMp4:
      RunMp4Branch(app, run);
      return true;
    case Road::kM2ts:
      RunM2tsBranch(app, run);
      return true;
    case Road::kAvchd:
      // The AVCHD branch ends without the closing steps that drop the browsed subtitle
      // file and raise the window.
      RunAvchdBranch(app, run);
      return false;
    case Road::kXvid:
      RunRecodeBranch(app, run, RecodeXvid);
      return false;
    case Road::kMpeg2Recode:
      RunRecodeBranch(app, run, RecodeMpeg2);
      return false;
    case Road::kAviRepair:
    case Road::kWmvToAvchd:
      break;
  }
  return false;
}

}  // namespace quillet
