// Copying the elementary streams out of the source, the re-encode decision, the debug
// log line and the level adjustment of the extracted H.264 stream.

#include "app/AppTools.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "inspect/SetHeaderMod.h"

namespace quillet {
namespace {

struct ExtractorForms {
  std::string audioOnly, videoOnly, videoAndAudio;
  std::string VideoTo(const App& app, const ConvertRun& run, const std::string& name) const {
    return Q(app.form.strMKV) + " tracks " + Q(TrimBlanks(app.form.strFullname)) + " " +
           app.form.txtS1.Text + ":" + Q(run.folder + name);
  }
};

ExtractorForms BuildExtractorForms(const App& app, const ConvertRun& run) {
  const Form1& form = app.form;
  const std::string audioFile = Q(run.folder + work::Audio(run.strAudioExt));
  ExtractorForms forms;
  forms.audioOnly = Q(form.strMKV) + " tracks " + Q(TrimBlanks(form.strFullname)) + " " +
                    form.txtS2.Text + ":" + audioFile;
  forms.videoOnly = forms.VideoTo(app, run, work::kH264);
  forms.videoAndAudio = forms.videoOnly + " " + form.txtS2.Text + ":" + audioFile;
  return forms;
}

bool ExtractionSkipped(const App& app, const ConvertRun& run) {
  const Form1& f = app.form;
  return app.report.strVideoCodec == "vc1" || f.chkMP2.Value == 1 || AvchdDoublesFrameRate(app) ||
         ((f.chkAVCHD.Value == 1 || f.chkVob.Value == 1) && f.chkFF.Value == 1 &&
          run.strAudioExt == "ac3");
}

// Chooses (and for a VFW-mode source partly runs) the extractor command; returns the
// command still to run, or "" when there is none.
std::string ChooseExtraction(App& app, ConvertRun& run, const ExtractorForms& forms) {
  const Form1& f = app.form;
  const std::string& ext = run.strAudioExt;
  const bool vob = f.chkVob.Value == 1;
  const bool ff = f.chkFF.Value == 1;
  if (ext == "ogg" || vob) {
    if (vob && ff) return forms.audioOnly;
    if (ext == "ac3" && vob && !run.bNormalize) return forms.videoOnly;
    if (vob) return forms.videoAndAudio;
    // Vorbis without VOB. AVCHD decodes it from the source itself and needs nothing
    // here; the MP4 road encodes the extracted track, so it takes the video as for any
    // other format (a VFW-mode source through "movie.avi") and the Vorbis track beside
    // an ordinary one.
    if (f.chkAVCHD.Value == 1) return "";
    if (!app.report.VideoThroughAvi()) return forms.videoAndAudio;
  }
  if (app.report.VideoThroughAvi()) {
    RunStep(app, forms.VideoTo(app, run, work::kAvi));
    return Q(f.strMP4) + " -aviraw video " + Q(run.folder + work::kAvi);
  }
  if ((ext == "aac" && !app.form.b360) || ff) return forms.videoAndAudio;
  return forms.videoOnly;
}

// Returns the last extractor or MP4 tool command built ("" when none).
std::string ExtractTracks(App& app, ConvertRun& run) {
  SetProgress(app, "Extracting video/audio stream");
  if (ExtractionSkipped(app, run)) return "";
  SetProgress(app, "Extracting tracks");
  const ExtractorForms forms = BuildExtractorForms(app, run);
  std::string command = ChooseExtraction(app, run, forms);
  if (app.form.chkAVCHD.Value == 1 && app.form.chkFF.Value != 1)
    command = forms.VideoTo(app, run, work::kRawH264);
  if (!command.empty()) RunStep(app, command);
  return command;
}

void AdjustHeaderLevel(App& app, const ConvertRun& run) {
  SetProgress(app, "Adjusting header");
  const std::string stream =
      run.folder + (app.report.VideoThroughAvi() ? work::kVideoH264 : work::kH264);
  IgnoringErrors([&] { SetHeaderLevel(stream); });
}

void ExtractFrameTimes(App& app, const ConvertRun& run) {
  RunStep(app, Q(app.form.strMKV) + " timestamps_v2 " + Q(TrimBlanks(app.form.strFullname)) + " " +
                   app.form.txtS1.Text + ":" + Q(run.folder + work::kTimestamps));
}

}  // namespace

bool KeepsFrameTimes(const App& app, const ConvertRun& run) {
  const Form1& f = app.form;
  return app.report.bVariableRate && app.report.strVideoCodec == "avc" &&
         !app.report.VideoThroughAvi() && !run.bRecodeH264 && f.chkAVCHD.Value != 1 &&
         f.chkVob.Value != 1;
}

void ExtractAndRecode(App& app, ConvertRun& run) {
  const Form1& f = app.form;
  std::string lastCommand = ExtractTracks(app, run);

  const bool recode = f.chkMP2.Value == 1;
  const int conv = f.cmdConv.ListIndex;
  // An AVCHD folder has no 720-line picture at 25 or 29.97 frames: such video is
  // re-encoded at twice the rate whatever the options say.
  run.bRecodeH264 = (recode && (conv == 1 || conv == 3)) || AvchdDoublesFrameRate(app);
  run.bRecodeXvid = recode && conv == 2;
  if (run.bRecodeH264) lastCommand = RecodeH264(app, run);
  if (KeepsFrameTimes(app, run)) ExtractFrameTimes(app, run);

  const bool mpeg2Recode = recode && conv == 0;
  if (!mpeg2Recode && !run.bRecodeXvid) IgnoringErrors([&] { AppendDebugLog(app, lastCommand); });

  if (f.chkVob.Value != 1 && f.chkAVCHD.Value != 1 && !run.bRecodeH264) AdjustHeaderLevel(app, run);
}

}  // namespace quillet
