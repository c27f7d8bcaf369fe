// The MPEG-2 recode for the PS3: the video re-encoded to MPEG-2 at a fixed rate
// (subtitles burnt in when asked), the sound as AC3, both muxed into a transport stream
// that takes the name strBaseName + ".mpg".

#include <filesystem>
#include <system_error>
#include <vector>

#include "app/AppTools.h"
#include "convert/Arithmetic.h"
#include "convert/ConvertSteps.h"
#include "convert/MetaFile.h"
#include "convert/PathNames.h"
#include "convert/WholeResult.h"

namespace quillet {
namespace {

using work::kMpeg2Video;
constexpr const char* kSubtitleEncode =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:"
    "vrc_maxrate=14900:vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
constexpr const char* kPlainEncode =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:"
    "vrc_maxrate=14900:vbitrate=14900:keyint=15:autoaspect:dia=2:trell:mv0 -ofps ";

std::string EncoderCommand(const App& app, const ConvertRun& run) {
  const Form1& f = app.form;
  const std::string encoder = Q(ToolPath(app, tool::kMencoder));
  const std::string video = Q(run.folder + kMpeg2Video);
  // A picture larger than the PS3's 1920x1080 is scaled down.
  const std::string source =
      run.strEncFps + " -vf harddup" + ScaleFilterFor(app) + " " + Q(TrimBlanks(f.strFullname));
  const std::string subtitled = encoder + " -nosound  -font " + BurnInFontOptions(app) + " -o " +
                                video + kSubtitleEncode + source;
  switch (ChooseBurnIn(app)) {
    case BurnIn::kSourceTrack:
      return subtitled + " -mc 0 -noskip -sid " + std::to_string(f.cmbSubs.ListIndex);
    case BurnIn::kFileTrack:
      return subtitled + " -mc 0 -noskip -sid 0";
    case BurnIn::kNone:
      break;
  }
  return encoder + " -nosound -o " + video + kPlainEncode + source + " -mc 0 -noskip -sid 99";
}

meta::Lines Mpeg2Lines(const App& app, const ConvertRun& run) {
  meta::Lines lines;
  lines.options = meta::Mpeg2Options();
  // The muxer gets the frame rate as typed, not the encoder's fraction.
  lines.video = meta::Mpeg2FromFolder(run.folder, app.form.txtSFPS.Text);
  lines.audio = meta::Ac3FromFolder(run.folder, ChosenAudioLanguage(app));
  return lines;
}

bool Rename(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::rename(from, to, ec);
  return !ec;
}

void CleanMpeg2Files(const ConvertRun& run) {
  for (const char* name : {work::kMeta, kMpeg2Video, work::kH264, "movie.mp4", work::kAc3,
                           work::kWav, work::kSrt, "movie.ass", "movie.ssa"})
    DeleteWorkFile(run, name);
}

// After the encode and the sound: job file, muxer, the rename to ".mpg", the clean-up.
void MuxMpeg2(App& app, const ConvertRun& run) {
  const std::string m2ts = run.folder + run.strBaseName + ".m2ts";
  const std::string mpg = run.folder + run.strBaseName + ".mpg";
  if (!meta::Write(run.folder, Mpeg2Lines(app, run)))
    return ReportMissingResult(app, run.folder + work::kMeta);
  RunStep(app,
          Q(ToolPath(app, tool::kTsMuxer)) + " " + Q(run.folder + work::kMeta) + " " + Q(m2ts));
  if (!HoldsData(m2ts)) return ReportMissingResult(app, m2ts);
  if (!Rename(m2ts, mpg) || !HoldsData(mpg)) return ReportMissingResult(app, mpg);
  if (!JudgeWholeResult(app, {mpg})) return;
  CleanMpeg2Files(run);
  SetProgress(app, kConversionDone);
}

void EncodeAndMuxMpeg2(App& app, ConvertRun& run) {
  if (!MakeRecodeAc3(app, run, "Encoding mpeg2.")) return;
  run.strEncFps = EncoderFpsText(app.form.txtSFPS.Text);
  SetProgress(app, "Encoding Mpeg2");
  RunStep(app, EncoderCommand(app, run));
  const std::string video = run.folder + kMpeg2Video;
  if (!HoldsData(video)) return ReportMissingResult(app, video);
  MuxMpeg2(app, run);
}

}  // namespace

void RecodeMpeg2(App& app, ConvertRun& run) {
  // An earlier result of either name would hide a failed mux, and an earlier ".mpg"
  // would stop the rename; both are set aside and settled by the outcome.
  std::vector<EarlierResult> earlier;
  for (const char* extension : {".m2ts", ".mpg"}) {
    earlier.emplace_back(app, run.folder + run.strBaseName + extension);
    if (earlier.back().Refused()) break;
  }
  if (!AnyRefused(earlier)) IgnoringErrors([&] { EncodeAndMuxMpeg2(app, run); });
  const bool converted = app.form.txtProgress.Text == kConversionDone;
  for (EarlierResult& result : earlier) result.Settle(converted);
}

}  // namespace quillet
