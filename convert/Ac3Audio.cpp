// The sound of the transport-stream outputs: the chosen track decoded to "movie.wav"
// and encoded to "movie.ac3", or left in the source for the muxer to take.

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"

namespace quillet {
namespace {

bool StereoPs3(const App& app) {
  return app.form.cmbPlatform.ListIndex == 2;
}

std::string WavPath(const ConvertRun& run) {
  return Q(run.folder + work::kWav);
}

void Normalize(App& app, const ConvertRun& run) {
  RunStep(app, Q(ToolPath(app, tool::kNormalize)) + " " + WavPath(run));
}

// The source's track A written to "movie." + extension, unless it is there already.
void ExtractTrackIfMissing(App& app, const ConvertRun& run) {
  const std::string track = run.folder + work::Audio(run.strAudioExt);
  bool there = false;
  IgnoringErrors([&] { there = FileHasLength(track); });
  if (there) return;
  RunStep(app, Q(ToolPath(app, tool::kMkvExtract)) + " tracks " +
                   Q(TrimBlanks(app.form.strFullname)) + " " + app.form.txtS2.Text + ":" +
                   Q(track) + " ");
}

// Decodes the extracted track to "movie.wav" and deletes it.
void DecodeExtractedTrack(App& app, const ConvertRun& run) {
  const std::string& ext = run.strAudioExt;
  const std::string track = Q(run.folder + work::Audio(ext));
  if (ext == "dts" || ext == "ac3") {
    const char* speakers = StereoPs3(app) ? " -spk:2 -fmt:0" : " -spk:0 -fmt:0";
    RunStep(app,
            Q(ToolPath(app, tool::kValDec)) + " " + track + " -wav " + WavPath(run) + speakers);
  } else if (ext == "aac") {
    const char* options = StereoPs3(app) ? " -d -s 48000 " : " -s 48000 ";
    RunStep(app, Q(ToolPath(app, tool::kFaad)) + options + Q(run.folder + work::kAac) + " -o " +
                     WavPath(run));
  } else {
    // Vorbis, MP3 and MP2 have no decoder of their own here: the WAV tool reads the
    // extracted track, so it is the chosen track that is heard, and the encoder below
    // finds its input.
    RunStep(app, Q(ToolPath(app, tool::kWavGrab)) + " " + track + " " + WavPath(run));
  }
  DeleteWorkFile(run, work::Audio(ext));
}

// Stereo, normalised, DTS or AAC sound is decoded from the extracted track and encoded
// at the encoder's own rate.
void ReencodeExtractedTrack(App& app, const ConvertRun& run) {
  ExtractTrackIfMissing(app, run);
  DecodeExtractedTrack(app, run);
  if (run.bNormalize) Normalize(app, run);
  RunStep(app,
          Q(ToolPath(app, tool::kAften)) + " " + WavPath(run) + " " + Q(run.folder + work::kAc3));
  DeleteWorkFile(run, work::kWav);
  IgnoringErrors([&] { app.ctx.ui.Sleep(100); });
}

}  // namespace

bool TsDecodesAudio(const App& app, const ConvertRun& run) {
  const std::string& ext = run.strAudioExt;
  return ext == "dts" || ext == "aac" || run.bNormalize || StereoPs3(app);
}

bool TsTakesAc3FromSource(const App& app, const ConvertRun& run) {
  return run.strAudioExt == "ac3" && !run.bNormalize && app.form.cmbPlatform.ListIndex == 0;
}

bool EncodeSourceAudioAt640(App& app, const ConvertRun& run, bool at48k) {
  DecodeChosenAudioToWav(app, run);
  if (at48k && !ResampleWavTo48k(app, run.folder, ChosenAudioSampleRate(app))) return false;
  if (run.bNormalize) Normalize(app, run);
  RunStep(app, Q(ToolPath(app, tool::kAften)) + " " + WavPath(run) + " -b 640 " +
                   Q(run.folder + work::kAc3));
  DeleteWorkFile(run, work::kWav);
  return true;
}

void ConvertTsAudio(App& app, const ConvertRun& run) {
  SetProgress(app, "Converting Audio");
  if (TsDecodesAudio(app, run))
    ReencodeExtractedTrack(app, run);
  else if (!TsTakesAc3FromSource(app, run))
    EncodeSourceAudioAt640(app, run);
}

}  // namespace quillet
