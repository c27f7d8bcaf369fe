// The film's video against the limits of the player the options aim at, judged as the
// pre-flight report judges it: a picture the player cannot take goes through a re-encode
// that fits the player's frame size, or the film is refused before any tool runs.

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "check/FactParsers.h"
#include "check/Verdict.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "shell/SourceVerdict.h"

namespace quillet {
namespace {

// The kind of file the options make, as the limit table names it.
std::string RoadScope(const Form1& form) {
  const bool recode = form.chkMP2.Value == 1;
  if (recode && form.cmdConv.ListIndex == 0) return "m2ts";  // the MPEG-2 transport stream
  if (recode && form.cmdConv.ListIndex == 2) return "avi";
  if (form.chkAVCHD.Value == 1) return "bdmv";
  if (form.chkVob.Value == 1) return "m2ts";
  return "mp4";
}

// Whether the video is encoded anew on the road the options choose.
bool RoadReEncodes(const App& app) {
  const int format = app.form.cmdConv.ListIndex;
  return (app.form.chkMP2.Value == 1 && format >= 0 && format <= 3) || AvchdDoublesFrameRate(app);
}

void Refuse(App& app, const std::string& text) {
  IgnoringErrors([&] { AppendDebugLog(app, text); });
  IgnoringErrors([&] { app.ctx.ui.MsgBox(text, MsgStyle::kCritical, "Video error"); });
  SetProgress(app, kConversionError);
}

}  // namespace

bool RefuseVideoThePlayerCannotTake(App& app) {
  const TrackReport& report = app.report;
  // Without a report the inspection tool failed: that is not a film without video.
  if (ScanReportTracks(report.lines).empty()) return false;
  const std::string film = FileNameFromPath(TrimBlanks(app.form.strFullname));
  const VideoFacts video = VideoOfReport(report.lines, report, app.form.txtSFPS.Text);
  if (!video.present) {
    Refuse(app, film + " has no video track: there is no film to convert.");
    return true;
  }
  // MPEG-2 and VC-1 video take roads of their own, which say what they cannot do.
  if (video.codec == "mpeg2" || video.codec == "vc1" || RoadReEncodes(app)) return false;
  // The muxer would stamp every frame at one rate, and the film would drift from its sound.
  if (video.variableRate && RoadScope(app.form) == "bdmv") {
    Refuse(app, film + ": " + kVariableRateOnBluRay +
                    ". Tick \"MPEG2 Recode\" with \"Re-encode to: H264\" to re-encode it.");
    return true;
  }
  const std::vector<Reason> reasons =
      ReasonsToReEncode(video, ChosenPlayer(app.form), RoadScope(app.form));
  if (reasons.empty()) return false;
  std::string why;
  for (const Reason& reason : reasons) why += (why.empty() ? "" : "; ") + reason.text;
  Refuse(app, film + ": " + why +
                  ". Tick \"MPEG2 Recode\" with \"Re-encode to: H264\" to re-encode it.");
  return true;
}

FrameSize RecodeFrameSize(const App& app) {
  return FrameSizeWithin(app.report.intPixelWidth, app.report.intPixelHeight,
                         ChosenPlayer(app.form), RoadScope(app.form));
}

std::string ScaleFilterFor(const App& app) {
  const FrameSize size = RecodeFrameSize(app);
  if (size.width == app.report.intPixelWidth && size.height == app.report.intPixelHeight) return "";
  return ",scale=" + std::to_string(size.width) + ":" + std::to_string(size.height);
}

}  // namespace quillet
