// The AVCHD folder tree for Blu-ray players and the PS3: AC3 or the source's own sound,
// the H.264 stream (or the source's VC-1), one optional text subtitle track, authored by
// the transport-stream muxer into the folder strBaseName in the output folder.

#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/MetaFile.h"
#include "convert/PathNames.h"
#include "convert/RunCleanup.h"
#include "convert/WholeResult.h"
#include "inspect/SetHeaderMod.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

// The folder the muxer authors the tree into, in the output folder.
constexpr const char* kAuthoringFolder = "movie.avchd";

// False when the sound could not be made (the run has said so).
bool ConvertAvchdAudio(App& app, const ConvertRun& run) {
  app.form.txtProgress.Text = "Creating AVCHD";
  return !AvchdEncodesAudio(app, run) || EncodeSourceAudioAt640(app, run, true);
}

// Players are made for 1920 x 1080 and 1280 x 720; other sizes may not play.
void WarnAboutFrameSize(App& app, const ConvertRun& run) {
  if (run.bRecodeH264) return;
  const int w = app.report.intPixelWidth;
  const int h = app.report.intPixelHeight;
  std::string text;
  int style = MsgStyle::kOkOnly;
  if (w == 1920 && h < 1080) {
    text = "Resolution is not 1920 x 1080, issues might occur when playing.";
  } else if (w == 1280 && h < 720) {
    text = "Resolution is not 1280 x 720, issues might occur when playing.";
  } else if (w < 1920 && w != 1280) {
    text = "Incorrect AVCHD resolution, issues might occur when playing.";
    style = MsgStyle::kCritical;
  }
  if (!text.empty()) IgnoringErrors([&] { app.ctx.ui.MsgBox(text, style, "AVCHD info."); });
}

std::string AvchdSplitOption(const App& app) {
  const Form1& f = app.form;
  if (f.Check1.Value == 1) {
    int64_t bytes = 0;
    CanOpenFile(f.strFullname, &bytes);
    return meta::SizeSplitOption(bytes);
  }
  if (f.chkDVD.Value != 1) return "";
  switch (f.cmbSize.ListIndex) {
    case 0:
      return " --split-size=4300MB ";
    case 1:
      return " --split-size=7900MB ";
    case 2:
      return " --split-size=23GB ";
    default:
      return "";
  }
}

// A re-encoded stream is always the one muxed: it is renamed for the header patch,
// which writes it back as "movie.h264".
void AdjustHeader(App& app, const ConvertRun& run) {
  const bool vc1 = app.report.strVideoCodec == "vc1";
  if (run.bRecodeH264) MoveWorkFile(run, work::kH264, work::kRawH264);
  if ((app.form.chkFF.Value != 1 && !vc1) || run.bRecodeH264)
    IgnoringErrors([&] { RunH264Info(app, run.folder); });
}

std::string AvchdVideoLine(const App& app, const ConvertRun& run) {
  const Form1& f = app.form;
  if (run.bRecodeH264) return meta::H264FromFolder(run.folder, run.strEncFps);
  if (app.report.strVideoCodec == "vc1")
    return meta::Vc1FromSource(f.strFullname, f.txtS1.Text, run.strEncFps);
  if (f.chkFF.Value != 1) return meta::H264FromFolder(run.folder, run.strEncFps);
  return meta::H264FromSource(f.strFullname, f.txtS1.Text, run.strEncFps);
}

std::string AvchdAudioLine(const App& app, const ConvertRun& run) {
  if (AvchdEncodesAudio(app, run)) return meta::Ac3FromFolder(run.folder, ChosenAudioLanguage(app));
  return meta::SourceAudio(run.strAudioExt, app.form.strFullname, app.form.txtS2.Text);
}

// The muxer wrote a playable tree: the index and at least one clip that holds something.
bool AvchdTreeWritten(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path bdmv = fs::path(folder) / "BDMV";
  if (!fs::is_regular_file(bdmv / "index.bdmv", ec)) return false;
  for (fs::directory_iterator it(bdmv / "STREAM", ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec) && it->file_size(ec) > 0 && !ec) return true;
  return false;
}

// The muxer authors into a working folder, moved to the film's name once the tree is
// whole: a slot takes a name the Windows way (trailing dots and blanks dropped, bytes
// that are no UTF-8 read in the code page), so "film." would come out as "film".
void AuthorAndCheck(App& app, const ConvertRun& run, bool withSubtitles) {
  namespace fs = std::filesystem;
  const std::string folder = run.folder + run.strBaseName;
  const std::string authored = run.folder + kAuthoringFolder;
  std::error_code ec;
  fs::remove_all(authored, ec);  // what an earlier run that died left
  RegisterWorkFolder(app, authored);
  RunStep(app,
          Q(ToolPath(app, tool::kTsMuxer)) + " " + Q(run.folder + work::kMeta) + " " + Q(authored));
  IgnoringErrors([&] { app.ctx.ui.Sleep(100); });
  bool written = AvchdTreeWritten(authored);
  if (written) {
    fs::rename(authored, folder, ec);
    written = !ec;
  }
  CleanTsTempFiles(app);
  if (written) {
    WantedStreams wanted = WantedFromSource(app, app.form.strFullname);
    wanted.subtitles = withSubtitles;
    if (!JudgeWholeResult(app, {folder}, wanted)) return;
    SetProgress(app, kConversionDone);
    return;
  }
  fs::remove_all(authored, ec);
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("Error: " + folder + " was not created.", MsgStyle::kOkOnly, "info");
  });
  SetProgress(app, kConversionError);
}

}  // namespace

bool AvchdEncodesAudio(const App& app, const ConvertRun& run) {
  const int rate = ChosenAudioSampleRate(app);
  return run.strAudioExt == "ogg" || run.strAudioExt == "aac" || (rate != 0 && rate != 48000);
}

bool AvchdFolderIsFree(App& app, const ConvertRun& run) {
  const std::string folder = run.folder + run.strBaseName;
  bool taken = true;
  IgnoringErrors([&] { taken = FileExists(folder, true); });
  if (!taken) {
    // Whatever a stopped run authored there is this run's own.
    RegisterWorkFolder(app, folder);
    return true;
  }
  // An earlier folder is never written into or replaced: the muxer would mix its clips
  // with the old ones, and the folder may hold anything, even the source itself.
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox(
        "Error: " + folder + " already exists. Move or rename it, then convert again.",
        MsgStyle::kCritical, "info");
  });
  SetProgress(app, kConversionError);
  return false;
}

void AuthorAvchd(App& app, ConvertRun& run) {
  Form1& f = app.form;
  if (!ConvertAvchdAudio(app, run)) return;
  WarnAboutFrameSize(app, run);
  meta::Lines lines;
  lines.options = meta::AvchdOptions(AvchdSplitOption(app));
  lines.subtitle = TextSubtitleLine(app, run);
  AdjustHeader(app, run);
  lines.video = AvchdVideoLine(app, run);
  lines.audio = AvchdAudioLine(app, run);
  if (!meta::Write(run.folder, lines))
    IgnoringErrors([&] { AppendDebugLog(app, "movie.meta could not be written"); });
  AuthorAndCheck(app, run, !lines.subtitle.empty());
  f.cmbSubs.Visible = false;
  f.lblSRTFound.Visible = false;
  f.Repaint();
}

}  // namespace quillet
