// The PS3 transport stream: the extracted H.264 stream with its level set to 4.1 (or the
// source's own stream with Fast Mux), AC3 sound and text subtitles drawn by the muxer,
// muxed into strBaseName + ".mpg".

#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/MetaFile.h"
#include "convert/PathNames.h"
#include "convert/WholeResult.h"
#include "inspect/SetHeaderMod.h"

namespace quillet {
namespace {

constexpr int kMostParts = 999;

// Fast Mux reads the video straight from the source, but a re-encoded stream and the
// stream of a VFW-mode source exist only in the output folder, under "movie.h264". A
// video whose rate varies is read from the source too: there each frame keeps its own
// time, where the extracted stream would be muxed at one rate and drift from the sound.
bool VideoFromSource(const App& app, const ConvertRun& run) {
  return (app.form.chkFF.Value == 1 || app.report.bVariableRate) && !run.bRecodeH264 &&
         !app.report.VideoThroughAvi();
}

void AdjustHeader(App& app, const ConvertRun& run) {
  SetProgress(app, "Adjusting Header");
  MoveWorkFile(run, work::kH264, work::kRawH264);
  IgnoringErrors([&] { app.ctx.ui.Sleep(50); });
  if (VideoFromSource(app, run)) return;
  // With Fast Mux the extraction took only the sound; a VFW-mode source's video is
  // needed from the output folder all the same.
  if (app.form.chkFF.Value == 1 && !run.bRecodeH264 && !CanOpenFile(run.folder + work::kRawH264))
    RunStep(app, Q(app.form.strMKV) + " tracks " + Q(TrimBlanks(app.form.strFullname)) + " " +
                     app.form.txtS1.Text + ":" + Q(run.folder + work::kRawH264));
  IgnoringErrors([&] { RunH264Info(app, run.folder); });
}

std::string M2tsSplitOption(const App& app) {
  const Form1& f = app.form;
  if (f.Check1.Value != 1) return f.chkDVD.Value == 1 ? " --split-size=4.3GB " : "";
  int64_t bytes = 0;
  CanOpenFile(f.strFullname, &bytes);
  return meta::SizeSplitOption(bytes);
}

meta::Lines M2tsLines(App& app, const ConvertRun& run, const std::string& split) {
  const std::string& source = app.form.strFullname;
  meta::Lines lines;
  lines.options = meta::M2tsOptions(split);
  lines.video = VideoFromSource(app, run)
                    ? meta::H264FromSource(source, app.form.txtS1.Text, run.strEncFps)
                    : meta::H264FromFolder(run.folder, run.strEncFps);
  lines.audio = TsTakesAc3FromSource(app, run)
                    ? meta::Ac3FromSource(source, app.form.txtS2.Text)
                    : meta::Ac3FromFolder(run.folder, ChosenAudioLanguage(app));
  lines.subtitle = TextSubtitleLine(app, run);
  return lines;
}

std::string MpgNameOf(const std::string& m2tsName) {
  return m2tsName.substr(0, m2tsName.size() - 5) + ".mpg";
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Every part the muxer wrote takes the ".mpg" extension, in order; returns their paths.
std::vector<std::string> RenameMuxedParts(const ConvertRun& run) {
  std::vector<std::string> parts;
  for (int part = 1; part <= kMostParts; ++part) {
    const std::string m2ts = M2tsPartName(run.strBaseName, part);
    if (!Exists(run.folder + m2ts)) break;
    MoveWorkFile(run, m2ts, MpgNameOf(m2ts));
    parts.push_back(run.folder + MpgNameOf(m2ts));
  }
  return parts;
}

bool AllPartsHoldSomething(const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    int64_t size = 0;
    if (!CanOpenFile(part, &size) || size <= 0) return false;
  }
  return !parts.empty();
}

void MuxAndCheck(App& app, const ConvertRun& run, bool withSubtitles) {
  const std::string first = run.folder + M2tsPartName(run.strBaseName, 1);
  RunStep(app,
          Q(ToolPath(app, tool::kTsMuxer)) + " " + Q(run.folder + work::kMeta) + " " + Q(first));
  const std::vector<std::string> parts = RenameMuxedParts(run);
  IgnoringErrors([&] { app.ctx.ui.Sleep(100); });
  if (AllPartsHoldSomething(parts)) {
    WantedStreams wanted = WantedFromSource(app, app.form.strFullname);
    wanted.subtitles = withSubtitles;
    if (!JudgeWholeResult(app, parts, wanted)) return;
    CleanTsTempFiles(app);
    SetProgress(app, kConversionDone);
    return;
  }
  // The working files stay for a look at what went wrong.
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("Error: " + MpgNameOf(first) + " was not created.", MsgStyle::kOkOnly,
                      "info");
  });
  SetProgress(app, kConversionError);
}

}  // namespace

std::string M2tsPartName(const std::string& baseName, int part) {
  if (part <= 1) return baseName + ".m2ts";
  return baseName + "." + std::to_string(part) + ".m2ts";
}

std::vector<EarlierResult> SetAsideEarlierM2ts(App& app, const ConvertRun& run) {
  std::vector<EarlierResult> earlier;
  for (int part = 1; part <= kMostParts; ++part) {
    const std::string m2ts = run.folder + M2tsPartName(run.strBaseName, part);
    const std::string mpg = MpgNameOf(m2ts);
    if (part > 1 && !Exists(m2ts) && !Exists(mpg)) break;
    for (const std::string& path : {m2ts, mpg}) {
      earlier.emplace_back(app, path);
      if (earlier.back().Refused()) return earlier;
    }
  }
  return earlier;
}

void MuxM2ts(App& app, ConvertRun& run) {
  Form1& f = app.form;
  AdjustHeader(app, run);
  ConvertTsAudio(app, run);
  SetProgress(app, "Muxing M2TS");
  const std::string split = M2tsSplitOption(app);
  const meta::Lines lines = M2tsLines(app, run, split);
  if (!meta::Write(run.folder, lines))
    IgnoringErrors([&] { AppendDebugLog(app, "movie.meta could not be written"); });
  MuxAndCheck(app, run, !lines.subtitle.empty());
  f.cmbSubs.Visible = false;
  f.lblSRTFound.Visible = false;
  f.Repaint();
}

}  // namespace quillet
