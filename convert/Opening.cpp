// `Convert`: the opening (output folder, inspection, tool paths, option snapshot), the
// split of a large source, the branch selection and the closing with the shutdown.

#include <cctype>
#include <filesystem>

#include "app/AppTools.h"
#include "app/Settings.h"
#include "app/Ui.h"
#include "app/UnsafePath.h"
#include "base/Files.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/FreeSpace.h"
#include "convert/PathNames.h"
#include "convert/RunCleanup.h"
#include "inspect/ReadInfo.h"
#include "sys/Power.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

constexpr const char* kDefaultH264Opts =
    ":threads=4:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8,"
    "i8x8,i4x4:me=hex:me_range=12:subq=5:chroma_me:mixed_refs:trellis=1:weight_b:b_pyramid:nr=0";
constexpr const char* kDefaultSubOpts =
    "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4";

int32_t TargetSizeFor(int cmbSizeIndex) {
  if (cmbSizeIndex == 1) return 63500000;   // DVD9
  if (cmbSizeIndex == 2) return 190000000;  // Blu-ray
  return 34500000;                          // DVD5
}

// The first Nero encoder present beside the program; without one the last name tried
// stays in strAacEncoder.
void FindAacEncoder(App& app, ConvertRun& run) {
  for (const char* name : tool::kNeroEncoders) {
    run.strAacEncoder = ToolPath(app, name);
    bool present = false;
    IgnoringErrors([&] { present = FileHasLength(run.strAacEncoder); });
    if (present) {
      run.bAacEncoder = true;
      return;
    }
  }
}

std::string AudioExtOf(const Form1& form) {
  const int selected = form.SelectedOption1();
  if (selected < 0) return "";
  std::string ext = form.Option1[selected].Caption;
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// The output folder as the user knows it: without the separator the program adds.
std::string FolderShown(const std::string& folder) {
  return folder.size() > 1 && folder.back() == kSep ? folder.substr(0, folder.size() - 1) : folder;
}

// A missing output folder: the window offers to create it (with its parents). Runs that
// go on without the user (a folder, the command line) end, as the console would answer
// Yes to a box nobody reads.
bool OutputFolderReady(App& app, const std::string& folder) {
  bool exists = false;
  IgnoringErrors([&] { exists = FileExists(folder, true); });
  if (exists) return true;
  const std::string text = "Output folder " + FolderShown(folder) + " does not exist.";
  const bool offer = !app.bFolderMode && !app.bCommandLine;
  int answer = MsgResult::kNo;
  IgnoringErrors([&] {
    if (offer)
      answer = app.ctx.ui.MsgBox(text + " Create it?", MsgStyle::kYesNo | MsgStyle::kQuestion,
                                 "Folder error");
    else
      app.ctx.ui.MsgBox(text, MsgStyle::kCritical, "Folder error");
  });
  std::error_code ec;
  if (answer == MsgResult::kYes && std::filesystem::create_directories(folder, ec) && !ec)
    return true;
  // Nothing was converted: the progress line must not keep an earlier run's success text.
  SetProgress(app, kConversionError);
  return false;
}

// The window's text boxes can be typed into: a path that cannot stand inside the quotes
// of a command line would hand the tools other arguments than meant.
bool PathsAcceptedForTools(App& app, const std::string& source, const std::string& folder) {
  bool accepted = false;
  IgnoringErrors([&] {
    // The output folder stands in the muxer's "-tmp" argument without its separator.
    accepted = AcceptPathForTools(app, source, "source file") &&
               AcceptPathForTools(app, folder.substr(0, folder.size() - 1), "output folder") &&
               AcceptPathForTools(app, app.form.strSubBrowse, "subtitle file");
  });
  return accepted;
}

// A track of a format the program does not know would go down another format's road.
bool RefuseUnknownAudio(App& app) {
  if (!ChosenAudioFormatUnknown(app)) return false;
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox(
        "The chosen audio track is in a format Quillet cannot convert. Choose another audio "
        "track in the audio list.",
        MsgStyle::kCritical, "Audio error");
  });
  SetProgress(app, kConversionError);
  return true;
}

// The closing: when asked (after the "Folder error" box and at the end of the MP4 and
// M2TS branches) the browsed subtitle file is forgotten and the window goes back on top;
// then the machine is shut down when that was ticked.
void CloseConversion(App& app, bool clearSubtitleAndRaise) {
  Form1& form = app.form;
  if (clearSubtitleAndRaise) {
    form.strSubBrowse.clear();
    IgnoringErrors([&] { form.SetTopMost(true); });
  }
  // The copy with the subtitle file muxed in is converted inside the run that made it;
  // that run shuts down once its folder "tempsrt" is gone.
  if (form.chkShutDown.Value == 1 && !form.bSplit && !form.bSRT && !app.bFolderMode)
    IgnoringErrors([&] { app.ctx.power.ShutDownWindows(); });
}

}  // namespace

void InstallOptionDefaults(Form1& form) {
  if (!(Contains(form.strH264Opts, "frameref") && !Contains(form.strH264Opts, "bime")))
    form.strH264Opts = kDefaultH264Opts;
  if (!Contains(form.strSubOpts, "subfont")) form.strSubOpts = kDefaultSubOpts;
}

std::string BaseNameOf(const std::string& fullname) {
  // Only the extension goes: "film..mkv" keeps its "film.", "noext" stays whole.
  return std::filesystem::path(FileNameFromPath(fullname)).stem().string();
}

void OpenConversion(App& app, ConvertRun& run) {
  Form1& form = app.form;
  if (app.report.strVideoCodec.empty()) IgnoringErrors([&] { ReadInfo(app, form.strFullname); });
  run.lngTargetSize = TargetSizeFor(form.cmbSize.ListIndex);
  run.bAacEncoder = false;
  form.strMKV = ToolPath(app, tool::kMkvExtract);
  form.strMKVmerge = ToolPath(app, tool::kMkvMerge);
  form.strFF = ToolPath(app, tool::kFFmpeg);
  form.strMP4 = ToolPath(app, tool::kMP4Box);
  IgnoringErrors([&] { form.SetTopMost(false); });
  InstallOptionDefaults(form);
  FindAacEncoder(app, run);
  run.bNormalize = form.chkNorm.Value == 1;
  run.strVideoTrack = form.txtS1.Text;
  run.strEncFps = form.txtSFPS.Text;
  run.strAudioExt = AudioExtOf(form);
  IgnoringErrors([&] {
    run.strBaseName = BaseNameOf(form.strFullname);
    form.strMKVPath = ReplaceAll(form.strFullname, FileNameFromPath(form.strFullname), "");
  });
  IgnoringErrors([&] { SaveSettings(app); });
}

void Convert(App& app) {
  // Typed into the window, the paths may be relative: the tools get them absolute.
  Form1& form = app.form;
  form.txtFile.Text = AbsolutePath(form.txtFile.Text);
  form.txtTMP.Text = AbsolutePath(form.txtTMP.Text);
  form.strSubBrowse = AbsolutePath(form.strSubBrowse);
  ConvertRun run;
  run.folder = form.txtTMP.Text;
  const std::string source = form.txtFile.Text;
  if (source.empty()) {
    IgnoringErrors([&] { app.ctx.ui.MsgBox("No film is chosen.", MsgStyle::kCritical, ""); });
    SetProgress(app, kConversionError);
    CloseConversion(app, true);
    return;
  }
  if (!OutputFolderReady(app, run.folder)) {
    CloseConversion(app, true);
    return;
  }
  if (!PathsAcceptedForTools(app, source, run.folder)) {
    SetProgress(app, kConversionError);
    CloseConversion(app, true);
    return;
  }
  // The parts of a split source and the remuxed copy were counted with their source.
  const bool outerRun = !app.form.bSplit && !app.form.bSRT;
  if (outerRun && !EnoughFreeSpace(app, source, run.folder, MatroskaRoad(app))) {
    SetProgress(app, kConversionError);
    CloseConversion(app, true);
    return;
  }
  app.form.strFullname = source;
  // Every branch makes its working files under the fixed names there.
  RegisterOutputFolder(app, run.folder);
  bool clearSubtitleAndRaise = false;
  IgnoringErrors([&] {
    OpenConversion(app, run);
    if (RefuseVideoThePlayerCannotTake(app) || RefuseUnknownAudio(app) ||
        RefuseSubtitlesTheRoadDrops(app))
      return;
    if (!SplitLargeSource(app, run)) clearSubtitleAndRaise = RunBranchSelection(app, run);
  });
  CloseConversion(app, clearSubtitleAndRaise);
}

}  // namespace quillet
