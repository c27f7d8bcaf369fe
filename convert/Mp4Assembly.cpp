// Muxing the H.264 stream and the AAC audio into strBaseName + ".mp4" with MP4Box, the
// mp4creator fallback, and the split of a result that is too large for FAT32.

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/Arithmetic.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "convert/RunCleanup.h"
#include "convert/WholeResult.h"

namespace quillet {
namespace {

constexpr int64_t kMp4SplitThreshold = 4190000;  // kB

std::string ResultPath(const ConvertRun& run) {
  return run.folder + run.strBaseName + ".mp4";
}

// The folder without its trailing separator, for MP4Box's temporary files.
std::string TmpDir(const ConvertRun& run) {
  return run.folder.empty() ? run.folder : run.folder.substr(0, run.folder.size() - 1);
}

// The video's import: at the rate given, or, when the source's rate varies, with each
// frame's own time, so that no part of the picture is stretched against the sound.
std::string VideoImport(const App& app, const ConvertRun& run) {
  const std::string timing = KeepsFrameTimes(app, run)
                                 ? ":timestamps=" + run.folder + work::kTimestamps
                                 : ":fps=" + run.strEncFps;
  return Q(run.folder + work::kH264 + timing + app.report.strPar);
}

std::string FirstMp4Command(App& app, ConvertRun& run) {
  const TrackReport& r = app.report;
  const std::string result = Q(ResultPath(run));
  if (r.VideoThroughAvi()) {
    MoveWorkFile(run, work::kVideoH264, work::kVideo264);
    return Q(ToolPath(app, tool::kMp4Creator)) + " -rate=" + run.strEncFps + " " + r.strPar +
           " -create=" + Q(run.folder + work::kVideo264) + " " + result;
  }
  if (run.bNeroRoad)
    return Q(app.form.strMP4) + "  -fps " + run.strEncFps + " -add " +
           Q(run.folder + work::kH264 + r.strPar) + " " + result + " " + " -tmp " + Q(TmpDir(run));
  return Q(app.form.strMP4) + " -add " + Q(run.folder + work::kAac) + " -add " +
         VideoImport(app, run) + " " + result + " " + " -tmp " + Q(TmpDir(run));
}

// The result opens and holds something; on the Nero road it must also have grown
// beyond the audio-only file the encoder left, or the video never went in.
bool Mp4Made(const ConvertRun& run) {
  int64_t size = 0;
  if (!CanOpenFile(ResultPath(run), &size) || size <= 0) return false;
  if (run.bNeroRoad) return run.lngNeroAudioSize > 0 && size > run.lngNeroAudioSize;
  return true;
}

// Whether the audio the MP4 is to hold is there. Without it the creator fallback still
// makes a video-only file, which is no conversion. A VFW-mode source's MP4 holds the
// video alone; on the Nero road the audio is already inside the result.
bool AudioReady(const App& app, const ConvertRun& run) {
  if (app.report.VideoThroughAvi() || run.bNeroRoad) return true;
  int64_t size = 0;
  return CanOpenFile(run.folder + work::kAac, &size) && size > 0;
}

// Returns whether the creator's result holds the video. Without the stream it is given,
// or when its video step fails (a full disk), the creator still leaves an MP4 with the
// audio alone, which is no conversion: the result must grow beyond that file.
bool RetryWithMp4Creator(App& app, ConvertRun& run) {
  const std::string creator = Q(ToolPath(app, tool::kMp4Creator));
  const std::string result = Q(ResultPath(run));
  MoveWorkFile(run, work::kH264, work::k264);
  int64_t videoSize = 0;
  const bool videoReady = CanOpenFile(run.folder + work::k264, &videoSize) && videoSize > 0;
  if (!run.bNeroRoad)
    RunStep(app, creator + " -rate=" + run.strEncFps + " -create=" + Q(run.folder + work::kAac) +
                     " " + result);
  int64_t audioOnlySize = 0;
  CanOpenFile(ResultPath(run), &audioOnlySize);
  const std::string video = creator + " -rate=" + run.strEncFps + " " + app.report.strQTSize +
                            " -create=" + Q(run.folder + work::k264) + " " + result;
  SetProgress(app, "Conversion error, retrying with mp4create");
  RunStep(app, video);
  int64_t madeSize = 0;
  CanOpenFile(ResultPath(run), &madeSize);
  return videoReady && madeSize > audioOnlySize;
}

void SplitLargeMp4(App& app, const ConvertRun& run) {
  int64_t bytes = 0;
  CanOpenFile(ResultPath(run), &bytes);
  const int64_t k = ThousandsRounded(bytes);
  const int64_t p = k / kMp4SplitThreshold;
  if (p <= 0) return;
  SetProgress(app, "Splitting mp4");
  IgnoringErrors([&] { app.ctx.ui.Sleep(10); });
  RunStep(app, Q(app.form.strMP4) + " -splits " + std::to_string(k / (p + 1)) + " " +
                   Q(ResultPath(run)));
}

}  // namespace

void ClearStaleMp4Files(const ConvertRun& run) {
  // A working file that a failed earlier run left for inspection would otherwise be
  // taken for this run's output when a tool fails. Only the names this road reads or
  // tests go; the others are no danger and stay.
  for (const std::string& name :
       {std::string(work::kAac), std::string(work::kH264), std::string(work::k264),
        std::string(work::kAvi), std::string(work::kVideoH264), std::string(work::kVideo264),
        std::string(work::kWav), std::string(work::kWav2), std::string(work::kTimestamps),
        work::Audio(run.strAudioExt)})
    DeleteWorkFile(run, name);
}

void AssembleMp4(App& app, ConvertRun& run) {
  Form1& f = app.form;
  SetProgress(app, "Creating MP4");
  const bool audioReady = AudioReady(app, run);
  const std::string command = FirstMp4Command(app, run);
  RunStep(app, command);
  IgnoringErrors([&] { AppendDebugLog(app, command); });
  SetProgress(app, "Cleaning temporary files");
  IgnoringErrors([&] { app.ctx.ui.Sleep(1000); });

  if (!Mp4Made(run)) {
    const bool videoWentIn = RetryWithMp4Creator(app, run);
    if (!Mp4Made(run) || !audioReady || !videoWentIn) {
      // What the creator left holds no film; an earlier result is put back in its place.
      DeleteWorkFile(run, run.strBaseName + ".mp4");
      IgnoringErrors([&] {
        app.ctx.ui.MsgBox(
            "Error creating " + ResultPath(run) +
                ", quitting attempt. Temp files (movie.h264 + movie.aac) not deleted.",
            MsgStyle::kCritical, "MP4box error");
      });
      return;
    }
  }
  // The split leaves the whole file in place, so the whole file is judged.
  if (!JudgeWholeResult(app, {ResultPath(run)})) return;
  CleanMp4TempFiles(app);
  if (f.Check1.Value == 1) SplitLargeMp4(app, run);
  SetProgress(app, kConversionDone);
  f.cmbSubs.Visible = false;
  f.lblSRTFound.Visible = false;
  f.Repaint();
}

}  // namespace quillet
