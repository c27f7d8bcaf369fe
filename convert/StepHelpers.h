#pragma once
// What every road's steps share, in convert/ and in the roads beside it (sources/,
// batch/): running a tool as one step, a statement whose failure is skipped, the file
// check, and the earlier result set aside while a run makes its own.

#include <cstdint>
#include <string>
#include <vector>

#include "app/App.h"
#include "base/StopRequest.h"
#include "convert/ConvertRun.h"

namespace quillet {

// --- WorkFiles.cpp ---
// Runs a tool; a tool that cannot be started is skipped like any failed statement.
void RunStep(App& app, const std::string& commandLine);
// Whether the file can be opened, and its size (0 when it cannot be opened).
bool CanOpenFile(const std::string& path, int64_t* size = nullptr);

// --- Subtitles.cpp ---
// The subtitle file this conversion takes: the one browsed for (or given with --subs),
// else the one beside the source, in the chosen sound's language when there are several;
// "" when there is none.
std::string SubtitleFileOfRun(const App& app);
// Names the subtitle file a road takes in the output: "Subtitles: film.en.srt".
void TellSubtitleFile(App& app, const std::string& path);

// --- BluRayAudio.cpp ---
// The sample rate a WAV file's header gives (RIFF or RF64), 0 when it gives none.
int WavSampleRate(const std::string& path);
// Blu-ray folders take sound at 48 kHz only. When "movie.wav" in `folder` is at another
// rate (its header's, or `reportedRate` when the header gives none), FFmpeg resamples it
// to "movie48k.wav", which then takes its place. False, after saying which file is
// missing, when that step leaves no sound.
bool ResampleWavTo48k(App& app, const std::string& folder, int reportedRate);

// --- EarlierResult.cpp ---
// An earlier result of the same name (strBaseName + ".mp4", or the file named) is moved
// aside while the run makes its own, so the muxer writes a new file and the success test
// sees only this run's file. Settle removes it when the new result stands, and otherwise
// puts it back in place of whatever the failed run left. Both names are registered with
// the run's cleanup, so a stop puts the earlier result back too. When it cannot be moved,
// the run is refused (a box says why, the progress line shows the error) and Refused()
// tells the road to convert nothing; the earlier result stays as it was.
class EarlierResult {
 public:
  EarlierResult(App& app, const ConvertRun& run);
  EarlierResult(App& app, std::string path);
  bool Refused() const { return refused_; }
  void Settle(bool converted);

 private:
  void SetAside();

  App& app_;
  std::string result_;
  std::string aside_;  // empty when nothing was moved aside
  bool refused_ = false;
};

// Whether one of the earlier results could not be set aside (the run is refused).
bool AnyRefused(const std::vector<EarlierResult>& earlier);

// Runs one statement of a road: a failure is skipped and the next statement runs, so no
// error leaves the conversion. A stop (RunStopped) is no failure: it leaves the
// conversion for its guard, which undoes the run.
template <typename Statement>
void IgnoringErrors(Statement&& statement) {
  try {
    statement();
  } catch (const RunStopped&) {
    throw;
  } catch (...) {
  }
}

}  // namespace quillet
