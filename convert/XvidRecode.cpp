// The Xvid AVI: the video re-encoded by the encoder straight from the source (subtitles
// burnt in when asked, scaled to 1280 wide for the Xbox 360), the sound as AC3, both
// joined by the AVI muxer from a script, cut into parts when asked.

#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/Arithmetic.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "convert/WholeResult.h"

namespace quillet {
namespace {

using work::kAviMuxScript;
constexpr int kMostParts = 999;
constexpr const char* kXvidOptions =
    ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:"
    "nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";

std::string XvidBitrate(const App& app, const ConvertRun& run) {
  int64_t target = run.lngTargetSize;
  if (app.form.chkDVD.Value != 1) {
    int64_t bytes = 0;
    CanOpenFile(app.form.strFullname, &bytes);
    target = RoundHalfEven(bytes * 8, 1000);
  }
  return XvidBitrateText(app.report.lngDuration, target);
}

std::string EncoderCommand(const App& app, const ConvertRun& run, const std::string& scale) {
  const Form1& f = app.form;
  const std::string middle = " -ovc xvid -xvidencopts bitrate=" + f.strH264Bitrate + kXvidOptions +
                             " -ofps " + run.strEncFps + " -vf harddup" + scale + " -nosound " +
                             Q(TrimBlanks(f.strFullname));
  const std::string encoder = Q(ToolPath(app, tool::kMencoder));
  const std::string output = " -of avi -o " + Q(run.folder + work::kAvi);
  switch (ChooseBurnIn(app)) {
    case BurnIn::kSourceTrack:
      return encoder + " -font " + BurnInFontOptions(app) + output + middle + "  -noskip -sid " +
             std::to_string(f.cmbSubs.ListIndex);
    case BurnIn::kFileTrack:
      return encoder + "  -font " + BurnInFontOptions(app) + output + middle + " -noskip -sid 0";
    case BurnIn::kNone:
      break;
  }
  return encoder + " " + output + middle + " -mc 0 -noskip -sid 99\"";
}

int64_t SplitSizeMb(const ConvertRun& run) {
  int64_t video = 0, sound = 0;
  CanOpenFile(run.folder + work::kAvi, &video);
  CanOpenFile(run.folder + work::kAc3, &sound);
  return AviSplitSizeMb(video + sound);
}

bool WriteScript(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return !out.fail();
}

void ReportTemplateError(App& app, const std::string& path) {
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("The AVI muxer script template " + path +
                          " is missing, cannot be read or has no ENDOFFILE line.",
                      MsgStyle::kCritical, "Template error");
  });
  SetProgress(app, kConversionError);
}

void CleanXvidFiles(const ConvertRun& run) {
  for (const char* name : {work::kAvi, kAviMuxScript, "movie.mp4", work::kAc3, work::kWav,
                           work::kSrt, "movie.ass", "movie.ssa"})
    DeleteWorkFile(run, name);
}

// After the encode and the sound: the muxer script, the muxer, the check of its first
// part, the clean-up.
void MuxAvi(App& app, const ConvertRun& run, const std::vector<std::string>& templateLines) {
  const std::string script = run.folder + kAviMuxScript;
  WriteScript(script, AviMuxScriptText(app, run, templateLines, SplitSizeMb(run)));
  RunStep(app, Q(ToolPath(app, tool::kAviMux)) + " " + Q(script));
  const std::string result = run.folder + AviPartName(run.strBaseName, 1);
  if (!HoldsData(result)) return ReportMissingResult(app, result);
  std::vector<std::string> parts;
  for (int part = 1;
       part <= kMostParts && HoldsData(run.folder + AviPartName(run.strBaseName, part)); ++part)
    parts.push_back(run.folder + AviPartName(run.strBaseName, part));
  if (!JudgeWholeResult(app, parts)) return;
  CleanXvidFiles(run);
  SetProgress(app, kConversionDone);
}

std::vector<EarlierResult> SetAsideEarlierAvi(App& app, const ConvertRun& run) {
  std::vector<EarlierResult> earlier;
  for (int part = 1; part <= kMostParts; ++part) {
    const std::string path = run.folder + AviPartName(run.strBaseName, part);
    std::error_code ec;
    if (part > 1 && !std::filesystem::exists(std::filesystem::symlink_status(path, ec))) break;
    earlier.emplace_back(app, path);
    if (earlier.back().Refused()) break;
  }
  return earlier;
}

void EncodeAndMuxXvid(App& app, ConvertRun& run) {
  Form1& f = app.form;
  // The template is read first: without it no AVI can be made, so nothing is encoded.
  std::vector<std::string> templateLines;
  const std::string templatePath = AviMuxTemplatePath(app);
  if (!ReadAviMuxTemplate(templatePath, &templateLines))
    return ReportTemplateError(app, templatePath);
  // The Xbox 360 plays AVI at most 1280x720, the PS3 1920x1080.
  const std::string scale = ScaleFilterFor(app);
  if (!MakeRecodeAc3(app, run, "Encoding Xvid.")) return;
  run.strEncFps = EncoderFpsText(f.txtSFPS.Text);
  f.strH264Bitrate = XvidBitrate(app, run);
  SetProgress(app, "Encoding Xvid");
  RunStep(app, EncoderCommand(app, run, scale));
  if (!HoldsData(run.folder + work::kAvi)) return ReportMissingResult(app, run.folder + work::kAvi);
  MuxAvi(app, run, templateLines);
}

}  // namespace

std::string AviPartName(const std::string& baseName, int part) {
  if (part <= 1) return baseName + ".avi";
  std::string number = std::to_string(part);
  while (number.size() < 3) number = "0" + number;
  return baseName + "_" + number + ".avi";
}

void RecodeXvid(App& app, ConvertRun& run) {
  // The muxer writes its parts only when all went well, so an earlier AVI of the same
  // name would pass for this run's; the earlier parts are set aside until the end.
  std::vector<EarlierResult> earlier = SetAsideEarlierAvi(app, run);
  if (!AnyRefused(earlier)) IgnoringErrors([&] { EncodeAndMuxXvid(app, run); });
  for (EarlierResult& part : earlier) part.Settle(app.form.txtProgress.Text == kConversionDone);
}

}  // namespace quillet
