// The audio track the user chose, decoded to "movie.wav". The WAV tool names no track:
// it decodes the source's first track flagged default, else its first audio track. When
// that is not the chosen track, the chosen track is extracted and decoded by the decoder
// of its format, which is handed the extracted file.

#include "app/AppTools.h"
#include "base/Files.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "inspect/Languages.h"

namespace quillet {
namespace {

// PS3 (2.0) and the Xbox 360 get stereo.
bool StereoTarget(const App& app) {
  return app.form.cmbPlatform.ListIndex == 2 || app.form.b360;
}

// The row of the track the WAV tool decodes, or null when the report lists no audio.
const TrackRow* WavToolRow(const TrackReport& report) {
  const TrackTable& audio = report.strAudioTracks;
  for (int i = 0; i < audio.count; ++i)
    if (audio.rows[i].isDefault) return &audio.rows[i];
  return audio.count > 0 ? &audio.rows[0] : nullptr;
}

const TrackRow* ChosenRow(const App& app) {
  const TrackTable& audio = app.report.strAudioTracks;
  for (int i = 0; i < audio.count; ++i)
    if (audio.rows[i].trackId == app.form.txtS2.Text) return &audio.rows[i];
  return nullptr;
}

// The decoder of the extracted track's format, keeping its channels unless the target
// is stereo.
std::string TrackDecoderCommand(const App& app, const ConvertRun& run) {
  const std::string& ext = run.strAudioExt;
  const std::string track = Q(run.folder + work::Audio(ext));
  const std::string wav = Q(run.folder + work::kWav);
  const bool stereo = StereoTarget(app);
  if (ext == "ac3" || ext == "dts")
    return Q(ToolPath(app, tool::kValDec)) + " " + track + " -wav " + wav +
           (stereo ? " -spk:2 -fmt:0" : " -spk:0 -fmt:0");
  if (ext == "aac")
    return Q(ToolPath(app, tool::kFaad)) + (stereo ? " -d " : " ") + track + " -o " + wav;
  // Vorbis, MP3 and MP2: FFmpeg decodes whatever it is handed.
  return Q(app.form.strFF) + " -i " + track + " -acodec pcm_s16le " + wav;
}

}  // namespace

bool WavToolTakesChosenTrack(const App& app) {
  const TrackRow* wavTool = WavToolRow(app.report);
  const TrackRow* chosen = ChosenRow(app);
  // Without a listed choice (a source inspected without its track lists) the WAV tool's
  // track is the only one known.
  return !wavTool || !chosen || wavTool == chosen;
}

bool ChosenAudioFormatUnknown(const App& app) {
  const TrackRow* chosen = ChosenRow(app);
  return chosen && chosen->kind.empty();
}

std::string ChosenAudioLanguage(const App& app) {
  const TrackRow* chosen = ChosenRow(app);
  return chosen ? TrackLanguage(chosen->language) : "";
}

int ChosenAudioSampleRate(const App& app) {
  const TrackRow* chosen = ChosenRow(app);
  return chosen ? chosen->sampleRate : 0;
}

void DecodeChosenAudioToWav(App& app, const ConvertRun& run) {
  if (WavToolTakesChosenTrack(app)) {
    RunStep(app, Q(ToolPath(app, tool::kWavGrab)) + " " + Q(app.form.strFullname) + " " +
                     Q(run.folder + work::kWav));
    return;
  }
  // The extraction step may have taken the chosen track out already.
  const std::string track = run.folder + work::Audio(run.strAudioExt);
  bool there = false;
  IgnoringErrors([&] { there = FileHasLength(track); });
  if (!there)
    RunStep(app, Q(app.form.strMKV) + " tracks " + Q(TrimBlanks(app.form.strFullname)) + " " +
                     app.form.txtS2.Text + ":" + Q(track));
  RunStep(app, TrackDecoderCommand(app, run));
  DeleteWorkFile(run, work::Audio(run.strAudioExt));
}

}  // namespace quillet
