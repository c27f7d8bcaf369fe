// Re-encoding the video to H.264 with the encoder, optionally burning in subtitles, at
// a bitrate that the duration and the size target give.

#include <cstdio>
#include <cstdlib>

#include "app/AppTools.h"
#include "base/Files.h"
#include "check/PlayerLimits.h"
#include "convert/Arithmetic.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "sys/FileAPI.h"

namespace quillet {
namespace {

constexpr const char* kHqFirstPass = ":pass=1:turbo=1";
constexpr const char* kHqSecondPass = ":pass=2";

// The encoder pads a letterboxed HD picture (as it is scaled for the player) to full
// height for AVCHD.
std::string PadFilterFor(const App& app) {
  if (app.form.chkAVCHD.Value != 1) return "";
  const FrameSize r = RecodeFrameSize(app);
  if (r.width == 1920 && r.height < 1080) return ",expand=1920:1080";
  if (r.width == 1280 && r.height < 720) return ",expand=1280:720";
  return "";
}

std::string ComputeBitrate(App& app, const ConvertRun& run) {
  const Form1& f = app.form;
  BitrateInputs in;
  in.durationSeconds = app.report.lngDuration;
  in.audioExt = run.strAudioExt;
  in.fitTo = f.chkDVD.Value == 1;
  in.avchd = f.chkAVCHD.Value == 1;
  in.vob = f.chkVob.Value == 1;
  if (in.fitTo) {
    in.target = run.lngTargetSize;
  } else {
    int64_t bytes = 0;
    IgnoringErrors([&] { bytes = FileSize64(f.strFullname); });
    in.target = ThousandsRounded(bytes);
  }
  return H264BitrateText(in);
}

bool ExternalSubtitles(const Form1& f) {
  return f.chkSubs.Value == 1 && (f.lblSRTFound.Visible || !f.strSubBrowse.empty());
}

std::string EncoderCommand(App& app, const ConvertRun& run, int sourceSubtitle) {
  const Form1& f = app.form;
  const std::string encoder = Q(ToolPath(app, tool::kMencoder));
  const std::string video = " -nosound -noskip -mc 0 -of rawvideo -o " +
                            Q(run.folder + work::kH264) +
                            " -ovc x264 -x264encopts bitrate=" + f.strH264Bitrate + f.strH264Opts +
                            " -ofps " + run.strEncFps;
  const std::string source = " " + Q(TrimBlanks(f.strFullname));
  if (f.chkSubs.Value != 1)
    return encoder + video + " -vf harddup" + run.strExpand + source + " -mc 0 -noskip -sid 99";
  const std::string fontAndSubs =
      " -oac copy -font " + Q(ToolPath(app, tool::kMencoderFont)) + " -utf8 " + f.strSubOpts;
  // External subtitles: the source is the remuxed copy whose only subtitle track is them.
  if (ExternalSubtitles(f))
    return encoder + fontAndSubs + video + " -vf harddup" + run.strExpand + source +
           " -mc 0 -noskip -sid 0";
  return encoder + fontAndSubs + video + " -vf  harddup" + run.strExpand + source +
         " -mc 0 -noskip -sid " + std::to_string(sourceSubtitle);
}

// "25.000" -> "50.000", "29.970" -> "59.940".
std::string DoubledRateText(const std::string& frameRate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", 2 * std::atof(frameRate.c_str()));
  return text;
}

}  // namespace

bool AvchdDoublesFrameRate(const App& app) {
  const Form1& f = app.form;
  const bool otherRecode =
      f.chkMP2.Value == 1 && (f.cmdConv.ListIndex == 0 || f.cmdConv.ListIndex == 2);
  return f.chkAVCHD.Value == 1 && !otherRecode &&
         BluRayRateOf(app.report.intPixelWidth, app.report.intPixelHeight,
                      std::atof(f.txtSFPS.Text.c_str())) == BluRayRate::Doubled;
}

std::string RecodeH264(App& app, ConvertRun& run) {
  Form1& f = app.form;
  // The player's decoder takes 8-bit 4:2:0 pictures up to its largest frame: the encoder
  // makes 8-bit 4:2:0 of any source, and scales a larger picture down.
  run.strExpand = ScaleFilterFor(app) + PadFilterFor(app);
  int sourceSubtitle = -1;
  if (f.chkSubs.Value == 1 && !f.lblSRTFound.Visible && f.strSubBrowse.empty())
    sourceSubtitle = f.cmbSubs.ListIndex;
  // Each frame is encoded twice: the encoder may duplicate frames to keep the rate.
  const bool doubled = AvchdDoublesFrameRate(app);
  const std::string fps = doubled ? DoubledRateText(f.txtSFPS.Text) : f.txtSFPS.Text;
  run.strEncFps = EncoderFpsText(fps);
  std::string step = "Encoding H264";
  if (doubled) {
    step += " at " + fps + " fps: Blu-ray has no 720p at " + f.txtSFPS.Text +
            " fps, so each frame is shown twice";
    IgnoringErrors([&] { AppendDebugLog(app, step); });
  }
  SetProgress(app, step);
  f.strH264Bitrate = ComputeBitrate(app, run);
  const bool hq = f.cmdConv.ListIndex == 3;
  if (hq) f.strH264Bitrate += kHqFirstPass;

  std::string command = ReplaceAll(EncoderCommand(app, run, sourceSubtitle), "bime:", "");
  if (doubled) command = ReplaceAll(command, " -noskip", "");
  RunStep(app, command);
  if (hq) {
    command = ReplaceAll(command, kHqFirstPass, kHqSecondPass);
    RunStep(app, command);
  }
  DeleteWorkFile(run, work::kVideoH264);
  run.strEncFps = fps;
  return command;
}

}  // namespace quillet
