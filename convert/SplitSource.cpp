// Splitting a source that is too large for the players into parts of equal size, each
// converted by the "Convert" button as a source of its own.

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/Arithmetic.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "convert/RunCleanup.h"
#include "inspect/ReadInfo.h"
#include "sys/FileAPI.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

bool SplitConsidered(const Form1& form) {
  return form.Check1.Value == 1 && form.chkAVCHD.Value != 1 && form.chkDVD.Value != 1 &&
         !form.bSplit;
}

// The VOB muxer adds about 8 %, so its sources are split earlier.
int32_t SplitSizeFor(const Form1& form, int32_t threshold) {
  if (form.chkVob.Value == 1) return static_cast<int32_t>(RoundHalfEven(threshold * 100LL, 108));
  return threshold;
}

}  // namespace

bool SourceWillBeSplit(const Form1& form, int64_t sourceBytes, int32_t threshold) {
  return SplitConsidered(form) && ThousandsRounded(sourceBytes) / SplitSizeFor(form, threshold) > 0;
}

namespace {

void ChooseSplitSubtitle(App& app, ConvertRun& run) {
  Form1& form = app.form;
  run.strSubSelect.clear();
  if (form.chkSubs.Value != 1) return;
  const int i = form.cmbSubs.ListIndex;
  if (i >= 0 && i < kMaxTrackRows)
    run.strSubSelect = " -s " + app.report.strSubTracks.rows[i].trackId;
  form.bSubs = true;
}

std::string SplitterCommand(const App& app, const ConvertRun& run) {
  const Form1& form = app.form;
  const std::string& v = form.txtS1.Text;
  const std::string head = Q(form.strMKVmerge) + " -o " +
                           Q(run.folder + work::kSplitFolder + kSepStr + run.strBaseName + ".mkv") +
                           " -d " + v + " --compression " + v + ":none -a " + form.txtS2.Text +
                           " --compression " + Q(v + ":none");
  const std::string tail = " --split size:" + std::to_string(run.lngPartSize) + "K";
  const std::string& source = form.strFullname;
  // A subtitle file goes into every part in place of the source's subtitle tracks.
  const std::string subtitles = SubtitleFileOfRun(app);
  if (!subtitles.empty()) return head + " -S " + Q(source) + " -s 0 -D -A " + Q(subtitles) + tail;
  return head + " " + run.strSubSelect + " " + Q(source) + tail;
}

// Converts each part in listing order. Returns true when every part ended with the
// success text (and there was at least one part).
bool ConvertParts(App& app, const ConvertRun& run, const std::vector<std::string>& parts) {
  Form1& form = app.form;
  std::vector<std::string> names;
  for (const std::string& name : parts)
    if (!name.empty()) names.push_back(name);  // an empty listing holds one empty name
  bool allDone = !names.empty();
  const size_t m = names.size();
  // A part's run ends by dropping the browsed subtitle file, as any conversion does; the
  // next part still needs it.
  const std::string browsedSubtitles = form.strSubBrowse;
  for (size_t i = 0; i < m; ++i) {
    SetProgress(app, "Performing Split file conversion");
    form.lblMulti.Caption = std::to_string(i + 1) + " of " + std::to_string(m);
    form.lblMulti.Visible = true;
    form.progress.part = PositionText("part", i, m);
    form.Repaint();
    form.strFullname = run.folder + work::kSplitFolder + kSepStr + names[i];
    IgnoringErrors([&] { ReadInfo(app, form.strFullname); });
    if (form.bSubs) {
      form.chkSubs.SetValue(1);
      form.cmbSubs.SetListIndex(0);
    }
    form.strSubBrowse = browsedSubtitles;
    form.txtFile.Text = form.strFullname;
    IgnoringErrors([&] { Command2_Click(app); });
    allDone = allDone && form.txtProgress.Text == kConversionDone;
  }
  return allDone;
}

// The parts go into the folder "split", which is deleted with everything in it after
// the last part. A folder of that name that is already there is not this run's: its
// files would be converted as parts and then deleted.
bool FolderTaken(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(folder, ec));
}

void RefuseTakenFolder(App& app, const std::string& folder) {
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("The output folder already holds a folder \"" +
                          std::string(work::kSplitFolder) +
                          "\". The parts of a large source are made there, and it is deleted "
                          "with everything in it afterwards. Move or rename it, then convert "
                          "again.\r" +
                          folder,
                      MsgStyle::kCritical, "Split error");
  });
  SetProgress(app, kConversionError);
}

}  // namespace

bool SplitLargeSource(App& app, ConvertRun& run) {
  Form1& form = app.form;
  if (!SplitConsidered(form)) return false;
  run.lngSplitSize = SplitSizeFor(form, app.splitThreshold);
  int64_t bytes = 0;
  IgnoringErrors([&] { bytes = FileSize64(form.strFullname); });
  const int64_t k = ThousandsRounded(bytes);
  const int64_t n = k / run.lngSplitSize;
  if (n == 0) return false;

  const std::string splitFolder = run.folder + work::kSplitFolder;
  if (FolderTaken(splitFolder)) {
    RefuseTakenFolder(app, splitFolder);
    return true;
  }
  const std::string source = form.strFullname;
  form.bSplit = true;
  SetProgress(app, "Splitting MKV");
  run.lngPartSize = static_cast<int32_t>(k / (n + 1));
  std::error_code ec;
  std::filesystem::create_directory(splitFolder, ec);
  RegisterWorkFolder(app, splitFolder);
  bool allDone = false;
  // Whatever happens to a part, the flags are cleared and the parts deleted below, or
  // every later conversion would count as a part.
  IgnoringErrors([&] {
    ChooseSplitSubtitle(app, run);
    if (const std::string subtitles = SubtitleFileOfRun(app); !subtitles.empty())
      TellSubtitleFile(app, subtitles);
    const std::string command = SplitterCommand(app, run);
    RunStep(app, command);
    IgnoringErrors([&] { AppendDebugLog(app, command); });

    std::vector<std::string> parts;
    IgnoringErrors([&] { parts = ListFiles(splitFolder + kSepStr + "*.mkv"); });
    form.strH264Bitrate.clear();
    allDone = ConvertParts(app, run, parts);
  });

  form.strH264Bitrate.clear();
  form.bSubs = false;
  form.bSplit = false;
  IgnoringErrors([&] { DeleteFolderTree(splitFolder); });
  form.lblMulti.Visible = false;
  form.progress.part.clear();
  // The window goes back to the source: the parts are gone, and their inspection
  // (track ids renumbered by the splitter) is not the source's, so the next
  // conversion inspects the source afresh.
  form.txtFile.Text = source;
  form.strFullname = source;
  app.report = TrackReport{};
  // The last part's success text must not stand for a part that failed, nor for a
  // splitter that left no parts.
  if (!allDone) SetProgress(app, kConversionError);
  return true;
}

}  // namespace quillet
