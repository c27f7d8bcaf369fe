// The sound of the Xvid and MPEG-2 recodes: the chosen track as AC3 at 640 kbit/s in
// "movie.ac3". DTS, AC3 and AAC tracks are extracted (with the subtitle track to burn
// in) and decoded; other formats are decoded from the source by the WAV tool when it
// takes the chosen track, else extracted and decoded. The
// PS3 (5.1) takes an AC3 track as it is.

#include <initializer_list>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"

namespace quillet {
namespace {

bool StereoTarget(const App& app) {
  return app.form.cmbPlatform.ListIndex == 2;
}

std::string Wav(const ConvertRun& run) {
  return Q(run.folder + work::kWav);
}

std::string ExtractorStart(const App& app) {
  return Q(app.form.strMKV) + " tracks " + Q(TrimBlanks(app.form.strFullname));
}

void NormalizeAndEncode(App& app, const ConvertRun& run) {
  if (run.bNormalize) RunStep(app, Q(ToolPath(app, tool::kNormalize)) + " " + Wav(run));
  RunStep(app, Q(ToolPath(app, tool::kAften)) + " " + Wav(run) + " -b 640 " +
                   Q(run.folder + work::kAc3));
}

// Vorbis, MP3 and MP2: the chosen track decoded (by the WAV tool from the source when it
// takes that track).
void EncodeThroughWavTool(App& app, const ConvertRun& run, const std::string& subPart) {
  if (!subPart.empty()) RunStep(app, ExtractorStart(app) + " " + subPart);
  DecodeChosenAudioToWav(app, run);
  NormalizeAndEncode(app, run);
}

std::string DecoderCommand(const App& app, const ConvertRun& run) {
  const std::string& ext = run.strAudioExt;
  if (ext == "aac")
    return Q(ToolPath(app, tool::kFaad)) + (StereoTarget(app) ? " -d -s 48000 " : " -s 48000 ") +
           Q(run.folder + work::kAac) + " -o " + Wav(run);
  return Q(ToolPath(app, tool::kValDec)) + " " + Q(run.folder + work::Audio(ext)) + " -wav " +
         Wav(run) + (StereoTarget(app) ? " -spk:2 -fmt:0" : " -spk:0 -fmt:0");
}

// DTS, AC3 and AAC. Returns false when the extracted AC3 is the final sound.
bool EncodeExtractedTrack(App& app, const ConvertRun& run, const std::string& subPart) {
  RunStep(app, ExtractorStart(app) + " " + app.form.txtS2.Text + ":" +
                   Q(run.folder + work::Audio(run.strAudioExt)) + " " + subPart);
  if (run.strAudioExt == "ac3" && !StereoTarget(app)) return false;
  RunStep(app, DecoderCommand(app, run));
  DeleteWorkFile(run, work::Audio(run.strAudioExt));
  NormalizeAndEncode(app, run);
  DeleteWorkFile(run, work::kWav);
  return true;
}

void ReportAudioError(App& app) {
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("Error during audio extraction. Temp files not deleted.", MsgStyle::kCritical,
                      "Audio error");
  });
  SetProgress(app, kConversionError);
}

}  // namespace

bool HoldsData(const std::string& path) {
  int64_t size = 0;
  return CanOpenFile(path, &size) && size > 0;
}

void ReportMissingResult(App& app, const std::string& path) {
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("Error: " + path + " was not created. Temp files not deleted.",
                      MsgStyle::kCritical, "Conversion error");
  });
  SetProgress(app, kConversionError);
}

void ClearStaleRecodeFiles(const ConvertRun& run) {
  // A failed earlier run leaves its working files for a look; this run must not take an
  // old sound track or an old encode for its own.
  for (const char* name : {work::kAc3, work::kWav, work::kAvi, work::kMpeg2Video, work::kMeta})
    DeleteWorkFile(run, name);
  if (!run.strAudioExt.empty()) DeleteWorkFile(run, work::Audio(run.strAudioExt));
}

bool MakeRecodeAc3(App& app, const ConvertRun& run, const std::string& readyText) {
  const std::string subPart = SubtitlePart(app, run);
  const std::string& ext = run.strAudioExt;
  bool encoded = true;
  if (ext == "dts" || ext == "ac3" || ext == "aac")
    encoded = EncodeExtractedTrack(app, run, subPart);
  else
    EncodeThroughWavTool(app, run, subPart);
  if (encoded) IgnoringErrors([&] { app.ctx.ui.Sleep(100); });
  // The source's own AC3 is checked as well: a track the extractor could not write
  // would otherwise reach the muxer as nothing.
  if (!HoldsData(run.folder + work::kAc3)) {
    ReportAudioError(app);
    return false;
  }
  if (encoded) SetProgress(app, readyText);
  return true;
}

}  // namespace quillet
