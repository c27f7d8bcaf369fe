// Re-encoding the video to H.264 with the encoder, optionally burning in subtitles, at
// a bitrate that the duration and the size target give.

#include "app/AppTools.h"
#include "base/Files.h"
#include "convert/Arithmetic.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "sys/FileAPI.h"

namespace quillet {
namespace {

constexpr const char* kHqFirstPass = ":pass=1:turbo=1";
constexpr const char* kHqSecondPass = ":pass=2";

// The encoder pads a letterboxed HD picture to full height for AVCHD.
std::string PadFilterFor(const App& app) {
  if (app.form.chkAVCHD.Value != 1) return "";
  const TrackReport& r = app.report;
  if (r.intPixelWidth == 1920 && r.intPixelHeight < 1080) return ",expand=1920:1080";
  if (r.intPixelWidth == 1280 && r.intPixelHeight < 720) return ",expand=1280:720";
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

}  // namespace

std::string RecodeH264(App& app, ConvertRun& run) {
  Form1& f = app.form;
  run.strExpand = PadFilterFor(app);
  int sourceSubtitle = -1;
  if (f.chkSubs.Value == 1 && !f.lblSRTFound.Visible && f.strSubBrowse.empty())
    sourceSubtitle = f.cmbSubs.ListIndex;
  run.strEncFps = EncoderFpsText(f.txtSFPS.Text);
  SetProgress(app, "Encoding H264");
  f.strH264Bitrate = ComputeBitrate(app, run);
  const bool hq = f.cmdConv.ListIndex == 3;
  if (hq) f.strH264Bitrate += kHqFirstPass;

  std::string command = ReplaceAll(EncoderCommand(app, run, sourceSubtitle), "bime:", "");
  RunStep(app, command);
  if (hq) {
    command = ReplaceAll(command, kHqFirstPass, kHqSecondPass);
    RunStep(app, command);
  }
  DeleteWorkFile(run, work::kVideoH264);
  run.strEncFps = f.txtSFPS.Text;
  return command;
}

}  // namespace quillet
