// Subtitles of the recodes: which subtitle the encoder burns in, the extractor's part for
// a subtitle track of the source, and the pre-mux of a subtitle file into a copy of the
// source ("tempsrt"), which is then converted in place of the source.

#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/FreeSpace.h"
#include "convert/PathNames.h"
#include "convert/RunCleanup.h"
#include "inspect/ReadInfo.h"
#include "inspect/SubtitleBeside.h"
#include "sys/FileAPI.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTempSrtFolder = "tempsrt";

bool SubtitleFileChosen(const Form1& f) {
  return f.lblSRTFound.Visible || !f.strSubBrowse.empty();
}

// The row of the subtitle list, or -1 when none of the source's tracks is chosen.
int ChosenSourceTrack(const App& app) {
  const int row = app.form.cmbSubs.ListIndex;
  return row >= 0 && row < app.report.strSubTracks.count ? row : -1;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// A "tempsrt" an earlier run left (read-only files, sub-folders and all) goes first: the
// muxer would otherwise write beside stale files, and the copy could be an old one.
bool MakeEmptyTempFolder(const std::string& folder) {
  if (Exists(folder)) IgnoringErrors([&] { DeleteFolderTree(folder); });
  std::error_code ec;
  fs::create_directories(folder, ec);
  return !ec && fs::is_empty(folder, ec) && !ec;
}

void RemoveTempFolder(const std::string& folder, const std::string& copy) {
  IgnoringErrors([&] { DeleteFileQuietly(copy); });
  IgnoringErrors([&] {
    if (Exists(folder)) DeleteFolderTree(folder);
  });
}

std::string RemuxCommand(const App& app, const std::string& copy, const std::string& subtitle) {
  const Form1& f = app.form;
  return Q(ToolPath(app, tool::kMkvMerge)) + " -o " + Q(copy) + " -d " + f.txtS1.Text + " -a " +
         f.txtS2.Text + " -S " + Q(f.strFullname) + " -s 0 -D -A " + Q(subtitle) + " ";
}

// The copy is there and, as the report reads it, holds the subtitle track.
bool CopyHoldsSubtitles(App& app, const std::string& copy) {
  int64_t size = 0;
  if (!CanOpenFile(copy, &size) || size <= 0) return false;
  IgnoringErrors([&] { ReadInfo(app, copy); });
  return app.report.strSubTracks.count > 0;
}

void ReportRemuxFailure(App& app, const std::string& subtitle) {
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("The subtitle file " + subtitle +
                          " could not be muxed with the source, so nothing was converted.",
                      MsgStyle::kCritical, "Subtitle error");
  });
  SetProgress(app, kConversionError);
}

// Why the road this run takes would drop a subtitle file; "" when it carries it (as a
// track of its own, or burnt into the re-encoded video).
std::string WhyTheRoadDropsSubtitles(const App& app) {
  const bool recode = app.form.chkMP2.Value == 1;
  switch (MatroskaRoad(app)) {
    case Road::kMp4:
      return recode ? ""
                    : "an MP4 of the video as it is has no subtitle track the players show; "
                      "re-encode the video to burn them in, or make a transport stream or an "
                      "AVCHD folder";
    case Road::kAvchd:
      return recode ? "the re-encode of an AVCHD folder burns in no subtitle file; convert "
                      "without the re-encode to carry it as a subtitle track"
                    : "";
    case Road::kMpeg2Repack:
      return "an MPEG-2 film is repacked as it is, without subtitles";
    default:
      return "";
  }
}

}  // namespace

bool RefuseSubtitlesTheRoadDrops(App& app) {
  const std::string& file = app.form.strSubBrowse;
  if (file.empty()) return false;
  const std::string why = WhyTheRoadDropsSubtitles(app);
  if (why.empty()) return false;
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("The subtitle file " + FileNameFromPath(file) + " cannot be carried: " + why +
                          ". Nothing was converted.",
                      MsgStyle::kCritical, "Subtitle error");
  });
  SetProgress(app, kConversionError);
  return true;
}

std::string SubtitleFileOfRun(const App& app) {
  const Form1& f = app.form;
  if (!f.strSubBrowse.empty()) return f.strSubBrowse;
  return f.lblSRTFound.Visible ? SubtitleBesideSource(f.strFullname, ChosenAudioLanguage(app)) : "";
}

void TellSubtitleFile(App& app, const std::string& path) {
  IgnoringErrors([&] { app.ctx.ui.Tell("Subtitles: " + FileNameFromPath(path)); });
}

BurnIn ChooseBurnIn(const App& app) {
  const Form1& f = app.form;
  if (f.chkSubs.Value != 1) return BurnIn::kNone;
  if (SubtitleFileChosen(f)) return BurnIn::kFileTrack;
  // "Embed subs" with no track of the source chosen: there is nothing to burn in.
  return ChosenSourceTrack(app) >= 0 ? BurnIn::kSourceTrack : BurnIn::kNone;
}

std::string SubtitlePart(const App& app, const ConvertRun& run) {
  if (ChooseBurnIn(app) != BurnIn::kSourceTrack) return "";
  const TrackRow& row = app.report.strSubTracks.rows[ChosenSourceTrack(app)];
  return " " + row.trackId + ":" + Q(run.folder + "movie." + row.kind);
}

std::string BurnInFontOptions(const App& app) {
  return Q(ToolPath(app, tool::kMencoderFont)) + " -utf8 " + app.form.strSubOpts;
}

bool SubtitleRemuxWanted(const Form1& form) {
  // An AVCHD folder, and a transport stream of the video as it is, carry the file as a
  // subtitle track of their own (TextSubtitleLine).
  const bool carriedAsTrack = form.chkVob.Value == 1 && form.chkMP2.Value != 1;
  return form.chkAVCHD.Value != 1 && !carriedAsTrack && !form.bSplit && !form.bSRT &&
         form.chkSubs.Value == 1 && SubtitleFileChosen(form);
}

void SubtitleRemux(App& app, const ConvertRun& run) {
  Form1& f = app.form;
  f.bSRT = true;
  const std::string subtitle = SubtitleFileOfRun(app);
  TellSubtitleFile(app, subtitle);
  const std::string folder = run.folder + kTempSrtFolder;
  const std::string copy = folder + kSepStr + run.strBaseName + ".mkv";
  IgnoringErrors([&] {
    // Without the copy the nested run would convert nothing and could still end well;
    // a folder that cannot be emptied could hand it an old copy.
    const bool folderReady = MakeEmptyTempFolder(folder);
    RegisterWorkFolder(app, folder);
    if (folderReady) RunStep(app, RemuxCommand(app, copy, subtitle));
    if (!folderReady || !CopyHoldsSubtitles(app, copy)) {
      ReportRemuxFailure(app, subtitle);
      return;
    }
    f.strFullname = copy;
    f.lblSRTFound.Visible = false;
    f.chkSubs.SetValue(1);
    f.txtFile.Text = copy;
    Command2_Click(app);
  });
  // Whatever the nested run did, the copy and its folder go.
  RemoveTempFolder(folder, copy);
  f.bSRT = false;
}

}  // namespace quillet
