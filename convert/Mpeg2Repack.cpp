// A source whose video is MPEG-2 already: FFmpeg copies the video and the sound into an
// MPEG program stream in VOB form, strBaseName + ".mpg", without re-encoding.

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "convert/WholeResult.h"

namespace quillet {
namespace {

// A VOB carries AC3, DTS, LPCM and MPEG audio; FFmpeg would write AAC or Vorbis into it
// all the same (or fail), as a stream no player decodes. The copy takes a track of the
// source that FFmpeg picks, so every track must be one a VOB carries.
std::string SoundAVobCannotCarry(const TrackReport& report) {
  for (const std::string& id : report.audioCodecIds) {
    if (id.rfind("A_AAC", 0) == 0) return "AAC";
    if (id == "A_VORBIS") return "Vorbis";
  }
  return "";
}

void ReportUnplayableSound(App& app, const std::string& sound) {
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("The sound of " + FileNameFromPath(app.form.strFullname) + " is " + sound +
                          ". An MPEG-2 program stream (VOB) cannot carry " + sound +
                          " sound, so the film was not repacked. Recode it instead.",
                      MsgStyle::kCritical, "Audio error");
  });
  SetProgress(app, kConversionError);
}

std::string RepackCommand(const App& app, const std::string& result) {
  return Q(app.form.strFF) + " -threads 4 -i " + Q(app.form.strFullname) +
         " -vcodec copy -acodec copy -f vob -copyts -y " + Q(result) + " -bug ms";
}

}  // namespace

void RepackMpeg2(App& app, const ConvertRun& run) {
  const std::string sound = SoundAVobCannotCarry(app.report);
  if (!sound.empty()) return ReportUnplayableSound(app, sound);
  const std::string result = run.folder + run.strBaseName + ".mpg";
  // FFmpeg overwrites the earlier result first; it comes back when the repack fails.
  EarlierResult earlier(app, result);
  if (earlier.Refused()) return;
  IgnoringErrors([&] {
    SetProgress(app, "Repacking to mpeg2 container");
    RunStep(app, RepackCommand(app, result));
    if (!HoldsData(result)) return ReportMissingResult(app, result);
    if (!JudgeWholeResult(app, {result})) return;
    SetProgress(app, kConversionDone);
    for (const char* name : {work::kWav, work::kAvi, "movie.wma"}) DeleteWorkFile(run, name);
  });
  earlier.Settle(app.form.txtProgress.Text == kConversionDone);
}

}  // namespace quillet
