// The two AVI repairs: the video re-encoded to a plain Xvid profile (and subtitles burnt
// in), or only the sound re-encoded to MP3. Both write "QL_" + the source's name into the
// output folder, which also marks the file as done for folder runs.

#include <cstdint>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/FreeSpace.h"
#include "convert/PathNames.h"
#include "convert/StepHelpers.h"
#include "convert/WholeResult.h"
#include "inspect/SubtitleBeside.h"
#include "inspect/TextPieces.h"
#include "sources/Sources.h"
#include "sys/FileAPI.h"
#include "sys/Power.h"

namespace quillet {
namespace {

// The Xvid profile the consoles play: no quarter-pixel motion, no global motion.
constexpr const char* kXvidProfile =
    ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:"
    "nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";

enum class SubtitleSource { kBesideSource, kBrowsed, kNone, kMissing };

SubtitleSource ChooseSubtitles(const Form1& form) {
  if (form.chkSubs.Value != 1) return SubtitleSource::kNone;
  if (form.lblSRTFound.Visible) return SubtitleSource::kBesideSource;
  if (!form.strSubBrowse.empty()) return SubtitleSource::kBrowsed;
  return SubtitleSource::kMissing;
}

// An AVI has no sound language to choose among subtitle files by.
std::string SubtitleFileOf(const Form1& form, SubtitleSource subtitles) {
  if (subtitles == SubtitleSource::kBesideSource) return SubtitleBesideSource(form.strFullname, "");
  return subtitles == SubtitleSource::kBrowsed ? form.strSubBrowse : "";
}

std::string RepairedPath(const App& app) {
  return app.form.txtTMP.Text + "QL_" + FileNameFromPath(app.form.strFullname);
}

// The encoder's Xvid options read a negative bitrate as the wanted size of the video in
// kilobytes: the repaired film comes out about as large as the source.
int64_t TargetSizeOption(const std::string& source) {
  return -(FileSize64(source) / 1024);
}

// The video repair's command line, or "" when subtitles are asked for but there are none.
std::string VideoRepairLine(const App& app) {
  const Form1& form = app.form;
  const SubtitleSource subtitles = ChooseSubtitles(form);
  if (subtitles == SubtitleSource::kMissing) return "";
  const bool burn = subtitles != SubtitleSource::kNone;
  std::string line = Q(ToolPath(app, tool::kMencoder));
  if (burn)
    line += " -oac copy -mc 0 -font " + Q(ToolPath(app, tool::kMencoderFont)) + " -utf8 " +
            form.strSubOpts + " -of avi -o ";
  else
    line += " -oac copy -mc 0 -of avi -o ";
  line += Q(RepairedPath(app));
  line += " -ovc xvid -xvidencopts bitrate=" + std::to_string(TargetSizeOption(form.strFullname));
  line += kXvidProfile;
  if (subtitles == SubtitleSource::kBesideSource)
    line += "  -vf harddup ";
  else if (subtitles == SubtitleSource::kBrowsed)
    line += " -vf harddup  ";
  else
    line += " -vf harddup ";
  line += Q(TrimBlanks(form.strFullname));
  if (subtitles == SubtitleSource::kNone) return line + " -noskip";
  return line + " -noskip -sub " + Q(SubtitleFileOf(form, subtitles));
}

// The repair is judged by its file: it must hold data, else the box names it.
void JudgeRepair(App& app, const std::string& result, EarlierResult& earlier) {
  int64_t bytes = 0;
  const bool made = CanOpenFile(result, &bytes) && bytes > 0;
  // A cut film (a full disk) is named and deleted by the judge, which says so itself.
  const bool whole = made && JudgeWholeResult(app, {result});
  earlier.Settle(whole);
  if (whole) {
    SetProgress(app, kConversionDoneStop);
  } else if (!made) {
    const std::string text = "Error: " + result + " was not created.";
    AppendDebugLog(app, "AVI repair: " + result + " was not created");
    // A folder run goes on to its next file without waiting for anyone.
    if (!app.bFolderMode)
      IgnoringErrors([&] { app.ctx.ui.MsgBox(text, MsgStyle::kCritical, "info"); });
    SetProgress(app, kConversionError);
  }
  if (app.form.chkShutDown.Value == 1 && !app.bFolderMode)
    IgnoringErrors([&] { app.ctx.power.ShutDownWindows(); });
}

}  // namespace

void RecodeAviVideo(App& app) {
  SetProgress(app, "Recoding video.");
  const std::string result = RepairedPath(app);
  // An earlier repaired file must not pass for this run's.
  EarlierResult earlier(app, result);
  if (earlier.Refused()) return;
  std::string line;
  IgnoringErrors([&] { line = VideoRepairLine(app); });
  const std::string subtitles = SubtitleFileOf(app.form, ChooseSubtitles(app.form));
  if (!line.empty() && !subtitles.empty()) TellSubtitleFile(app, subtitles);
  if (!line.empty()) RunStep(app, line);
  JudgeRepair(app, result, earlier);
}

void RecodeAviAudio(App& app) {
  SetProgress(app, "Recoding audio.");
  const std::string result = RepairedPath(app);
  EarlierResult earlier(app, result);
  if (earlier.Refused()) return;
  RunStep(app, Q(ToolPath(app, tool::kMencoder)) +
                   " -oac mp3lame -srate 48000 -lameopts cbr:br=160:mode=1 -of avi -o " +
                   Q(result) + " -ovc copy " + Q(TrimBlanks(app.form.strFullname)));
  JudgeRepair(app, result, earlier);
}

void ConvertAvi(App& app) {
  const Form1& form = app.form;
  if (!EnoughFreeSpace(app, form.strFullname, form.txtTMP.Text, Road::kAviRepair)) {
    SetProgress(app, kConversionError);
    return;
  }
  if (form.chkSubs.Value == 1 && (!form.strSubBrowse.empty() || form.lblSRTFound.Visible)) {
    RecodeAviVideo(app);
    return;
  }
  bool playable = false;
  IgnoringErrors([&] {
    playable = CheckAvi(app, form.txtFile.Text, ToolPath(app, tool::kAviInfo), form.txtTMP.Text);
  });
  if (playable)
    RecodeAviAudio(app);
  else
    RecodeAviVideo(app);
}

}  // namespace quillet
