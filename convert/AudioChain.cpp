// The audio chain of the MP4 road: decode the chosen track to "movie.wav" (with a
// backup decoder chain), normalise, retime for 25 frames per second, encode to AAC.

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"

namespace quillet {
namespace {

// PS3 (2.0) and the Xbox 360 get stereo; the PS3 (5.1) keeps the decoded channels.
bool StereoRule(const App& app) {
  return app.form.cmbPlatform.ListIndex == 2 || app.form.b360;
}

bool DecodeToWavWanted(const App& app, const std::string& ext) {
  // The Xbox 360's AAC is re-encoded from a WAV, Safe Sync or not: the direct encode
  // cannot read and write "movie.aac" at once.
  if (ext == "aac" && app.form.b360) return true;
  if (app.form.chkFF.Value == 1) return false;
  return ext == "ac3" || ext == "dts" || ext == "mp3" || ext == "mp2";
}

// The picture is retimed to 25 frames per second, so the sound must be too.
bool RetimeWanted(const App& app) {
  return app.form.chk25.Value == 1 && app.form.txtSFPS.Text != "25.000";
}

// An AAC track that is not stereo cannot pass unchanged to the stereo PS3: it is
// decoded and encoded in stereo like every other format. A track whose channels the
// report does not give is treated the same way.
bool AacNeedsDownmix(const App& app, const std::string& ext) {
  if (ext != "aac" || app.form.cmbPlatform.ListIndex != 2) return false;
  const TrackTable& audio = app.report.strAudioTracks;
  for (int i = 0; i < audio.count; ++i)
    if (audio.rows[i].trackId == app.form.txtS2.Text) return audio.rows[i].channels != 2;
  return true;
}

// The frame-rate text with its dots removed, read as a number the way the settings
// and the window read numbers: blanks skipped, digits up to the first other character.
std::string RateAsNumber(const std::string& frameRate) {
  int64_t value = 0;
  int digits = 0;
  for (char c : ReplaceAll(frameRate, ".", "")) {
    if (c == ' ' || c == '\t') continue;
    if (c < '0' || c > '9' || digits == 18) break;
    value = value * 10 + (c - '0');
    ++digits;
  }
  return std::to_string(value);
}

std::string BackupDecoderCommand(const App& app, const ConvertRun& run) {
  const std::string& ext = run.strAudioExt;
  const std::string wav = Q(run.folder + work::kWav);
  if (ext == "aac" && StereoRule(app))
    return Q(ToolPath(app, tool::kFaad)) + " -d " + Q(run.folder + work::kAac) + " -o " + wav;
  if (ext == "mp3" || ext == "mp2")  // the blank before the closing quote is the tool's habit
    return Q(app.form.strFF) + " -i " + Q(run.folder + work::Audio(ext) + " ") +
           " -acodec pcm_s16le " + wav;
  const std::string speakers = StereoRule(app) ? "2" : "6";
  return Q(ToolPath(app, tool::kValDec)) + " " + Q(run.folder + work::Audio(ext)) + " -wav " + wav +
         " -spk:" + speakers + " -fmt:0 -drc+ -gain:8 -drc_power:8 ";
}

std::string ExtractAudioCommand(const App& app, const ConvertRun& run, const std::string& ext) {
  return Q(app.form.strMKV) + " tracks " + Q(TrimBlanks(app.form.strFullname)) + " " +
         app.form.txtS2.Text + ":" + Q(run.folder + work::Audio(ext));
}

// The chosen track decoded, and when its WAV cannot be opened the backup decoders.
void DecodeToWav(App& app, const ConvertRun& run) {
  DecodeChosenAudioToWav(app, run);
  if (CanOpenFile(run.folder + work::kWav)) return;
  SetProgress(app, "Extracting audio with backup method.");
  RunStep(app, ExtractAudioCommand(app, run, run.strAudioExt));
  RunStep(app, BackupDecoderCommand(app, run));
  DeleteWorkFile(run, work::Audio(run.strAudioExt));
}

// With "25 FPS output" the video will play at 25 frames per second, so the audio is
// lowered by a semitone and stretched in time from the source rate to 25000.
void RetimeTo25Fps(App& app, ConvertRun& run) {
  const std::string rate = RateAsNumber(app.form.txtSFPS.Text);
  run.strEncFps = "25.000";
  RunStep(app, Q(ToolPath(app, tool::kSoundStretch)) + " " + Q(run.folder + work::kWav) + " " +
                   Q(run.folder + work::kWav2) + " -pitch=-1 ");
  DeleteWorkFile(run, work::kWav);
  RunStep(app, Q(ToolPath(app, tool::kBeSweet)) + " -core( -input " + Q(run.folder + work::kWav2) +
                   " -2ch -output " + Q(run.folder + work::kWav) + " ) -ota( -r " + rate +
                   " 25000 ) ");
  DeleteWorkFile(run, work::kWav2);
}

void EncodeTrackDirectly(App& app, const ConvertRun& run) {
  const std::string& ext = run.strAudioExt;
  const std::string channels =
      StereoRule(app) ? " -acodec libfaac -ac 2 -ab 224kb " : " -acodec libfaac -ac 6 -ab 224kb ";
  // A re-encode reads the source itself and extracts nothing, so the track to encode
  // has to be taken out of the source first.
  if (run.bRecodeH264) RunStep(app, ExtractAudioCommand(app, run, ext));
  RunStep(app, Q(app.form.strFF) + " -f " + ext + " -i " + Q(run.folder + work::Audio(ext)) +
                   channels + Q(run.folder + work::kAac));
  DeleteWorkFile(run, work::Audio(ext));
}

void EncodeWithNero(App& app, ConvertRun& run) {
  const std::string result = run.folder + run.strBaseName + ".mp4";
  RunStep(app, Q(run.strAacEncoder) + " -lc -br 320000 -if " + Q(run.folder + work::kWav) +
                   " -of  " + Q(result));
  DeleteWorkFile(run, work::kWav);
  run.bNeroRoad = true;
  CanOpenFile(result, &run.lngNeroAudioSize);
}

void EncodeWavWithFFmpeg(App& app, const ConvertRun& run) {
  const std::string channels =
      StereoRule(app) ? " -acodec libfaac -ac 2 -ab 224kb " : " -acodec libfaac -ab 224kb ";
  RunStep(app, Q(app.form.strFF) + " -f wav -i " + Q(run.folder + work::kWav) + channels +
                   Q(run.folder + work::kAac));
  bool made = false;
  IgnoringErrors([&] { made = FileExists(run.folder + work::kAac, false); });
  if (!made)
    IgnoringErrors([&] {
      app.ctx.ui.MsgBox("Error during aac conversion.", MsgStyle::kCritical, "Audio error");
    });
  DeleteWorkFile(run, work::kWav);
}

// The AAC encode. An AAC track is never encoded "directly": that would read and write
// "movie.aac" at once and then delete it. Sound that went through the WAV (retimed or
// down-mixed) is encoded from it, whatever its format.
void EncodeToAac(App& app, ConvertRun& run, bool fromWav) {
  SetProgress(app, "Encoding Audio");
  const std::string& ext = run.strAudioExt;
  const bool ff = app.form.chkFF.Value == 1;
  if (!fromWav && (ext == "ogg" || (ff && ext != "dts" && ext != "aac"))) {
    EncodeTrackDirectly(app, run);
    return;
  }
  if (!fromWav && ext == "aac") return;  // the source's AAC track is used unchanged
  // An AAC track the extraction took out must not pass for the new encode.
  if (ext == "aac") DeleteWorkFile(run, work::kAac);
  if (run.bAacEncoder)
    EncodeWithNero(app, run);
  else
    EncodeWavWithFFmpeg(app, run);
}

}  // namespace

void RunAudioChain(App& app, ConvertRun& run) {
  const std::string& ext = run.strAudioExt;
  const bool retime = RetimeWanted(app);
  const bool fromWav = DecodeToWavWanted(app, ext) || retime || AacNeedsDownmix(app, ext);
  if (fromWav) DecodeToWav(app, run);
  if (run.bNormalize)
    RunStep(app, Q(ToolPath(app, tool::kNormalize)) + " " + Q(run.folder + work::kWav));
  if (retime) RetimeTo25Fps(app, run);
  EncodeToAac(app, run, fromWav);
  // After a re-encode nothing extracted the AAC track that is passed through unchanged.
  // A track encoded anew above must not be replaced.
  if (ext == "aac" && run.bRecodeH264 && !fromWav)
    RunStep(app, ExtractAudioCommand(app, run, "aac"));
}

}  // namespace quillet
