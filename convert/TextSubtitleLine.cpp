// The one text subtitle track an AVCHD folder or a transport stream can carry: a browsed
// file first, then the ".srt" file beside the source, then the source's own text track.

#include "app/Ui.h"
#include "convert/ConvertSteps.h"
#include "convert/MetaFile.h"
#include "inspect/Languages.h"

namespace quillet {
namespace {

// The source's own track chosen in the subtitle list, when it is a text track the muxer
// can render; an SSA or ASS track is named in a warning instead (unless a browsed file
// takes its place anyway).
std::string SourceTrackLine(App& app, const ConvertRun& run, const meta::Picture& picture) {
  const Form1& f = app.form;
  const int row = f.cmbSubs.ListIndex;
  if (row < 0 || row >= kMaxTrackRows) return "";
  const TrackRow& track = app.report.strSubTracks.rows[static_cast<size_t>(row)];
  if (track.kind == "srt")
    return meta::SourceSubtitle(f.strFullname, picture, track.trackId, run.strEncFps,
                                f.cmbSubs.Text());
  if ((track.kind == "SSA" || track.kind == "ASS") && f.strSubBrowse.empty())
    IgnoringErrors([&] {
      app.ctx.ui.MsgBox(
          "SSA or ASS subtitles are not yet supported in AVCHD. No substitles will be used in "
          "this conversion.",
          MsgStyle::kCritical, "Subtitle warning");
    });
  return "";
}

// A subtitle file's language: the one its name gives, else the sound's.
std::string SubtitleFileLanguage(const App& app, const std::string& file) {
  const std::string named = LanguageOfFileName(file);
  return named.empty() ? ChosenAudioLanguage(app) : named;
}

}  // namespace

std::string TextSubtitleLine(App& app, const ConvertRun& run) {
  const Form1& f = app.form;
  if (f.chkMP2.Value == 1) return "";  // a re-encode burns no track in and carries none
  const meta::Picture picture{app.report.intPixelWidth, app.report.intPixelHeight};
  const std::string line = SourceTrackLine(app, run, picture);
  const std::string file = SubtitleFileOfRun(app);
  if (file.empty()) return line;
  if (!f.bSplit && !f.bSRT) TellSubtitleFile(app, file);  // the parts' run said it once
  const std::string language = SubtitleFileLanguage(app, file);
  return f.strSubBrowse.empty() ? meta::SrtBesideSource(file, picture, run.strEncFps, language)
                                : meta::BrowsedSubtitle(file, picture, run.strEncFps, language);
}

}  // namespace quillet
