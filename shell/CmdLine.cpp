#include "shell/CmdLine.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "app/AppTools.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "app/StepProgress.h"
#include "app/Ui.h"
#include "app/UnsafePath.h"
#include "base/Files.h"
#include "base/Text.h"
#include "batch/FolderConversion.h"
#include "batch/FolderRun.h"
#include "convert/Convert.h"
#include "inspect/ReadInfo.h"
#include "sys/FileAPI.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

// The controls the choice of an AVI or WMV source ticks, as they were before it: put
// back after its conversion, so the next source of the call gets the options given.
class SourceTypeChoice {
 public:
  explicit SourceTypeChoice(Form1& f)
      : f_(f),
        avchd_(f.chkAVCHD.Value),
        recode_(f.chkMP2.Value),
        format_(f.cmdConv.ListIndex),
        subs_(f.chkSubs.Value),
        enabled_{f.chk25.Enabled, f.chkFF.Enabled, f.chkVob.Enabled, f.chkSubs.Enabled} {}
  ~SourceTypeChoice() {
    f_.chkAVCHD.SetValue(avchd_);
    f_.chkMP2.SetValue(recode_);
    f_.cmdConv.SetListIndex(format_);
    f_.chk25.Enabled = enabled_[0];
    f_.chkFF.Enabled = enabled_[1];
    f_.chkVob.Enabled = enabled_[2];
    f_.chkSubs.Value = subs_;  // as it was, without the rule that ran when it was ticked
    f_.chkSubs.Enabled = enabled_[3];
  }

 private:
  Form1& f_;
  int avchd_, recode_, format_, subs_;
  bool enabled_[4];
};

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

// A source the tools cannot be handed is refused, and counts as a conversion that failed:
// the run's status must not say all went well because the other films did.
bool AcceptSource(App& app, const std::string& path, const std::string& what) {
  if (AcceptPathForTools(app, path, what)) return true;
  ++app.conversionsStarted;
  return false;
}

void ConvertWithSourceOptions(App& app, const CommandLine& commandLine) {
  if (!ApplySourceOptions(app, commandLine)) {
    // Counted as a conversion that failed: the script asked for a track the film lacks.
    ++app.conversionsStarted;
    app.ctx.ui.MsgBox("This source has no audio track " + std::to_string(commandLine.AudioTrack()) +
                          ":\r" + app.form.strFullname,
                      MsgStyle::kExclamation, "");
    return;
  }
  Command2_Click(app);
}

}  // namespace

std::optional<std::string> LoadWithOptions(App& app, const CommandLine& commandLine) {
  LoadSettings(app);
  // Options given for this run only: the settings file keeps what it held.
  if (!commandLine.options.empty() && !commandLine.save) KeepSettingsAsRead(app);
  return ApplyOptions(app, commandLine);
}

std::optional<std::string> Form_Load(App& app, const CommandLine& commandLine) {
  if (std::optional<std::string> refused = LoadWithOptions(app, commandLine)) return refused;
  if (commandLine.Empty()) {
    app.bCommandLine = false;
    return std::nullopt;
  }
  // The files and folders named are converted before the window shows.
  cmdLine(app, commandLine);
  return std::nullopt;
}

void cmdLine(App& app, const CommandLine& commandLine) {
  app.bCommandLine = true;
  for (const std::string& given : commandLine.sources) {
    const std::string path = AbsolutePath(given);
    if (IsFolder(path))
      cmdlineFolder(app, path, commandLine);
    else
      cmdlineFile(app, path, commandLine);
  }
  if (!commandLine.aviFolder.empty()) cmdlineAviFolder(app, AbsolutePath(commandLine.aviFolder));
}

void cmdlineFile(App& app, const std::string& strfile, const CommandLine& commandLine) {
  // A quote or a line break would break the tools' command lines.
  if (!AcceptSource(app, strfile, "source file")) return;
  // A device the user names on purpose (a disc) is read; a FIFO or a folder never ends.
  if (!AcceptSourceFile(app, strfile, true)) {
    ++app.conversionsStarted;  // a film that could not be converted: the run failed
    return;
  }
  Form1& f = app.form;
  const std::string extension = Lower(std::filesystem::path(strfile).extension().string());
  std::optional<SourceTypeChoice> typeChoice;
  if (extension == ".avi" || extension == ".wmv") {
    typeChoice.emplace(f);
    ChooseSourceByType(app, strfile);
  } else {
    // A Matroska file (or any other name) goes to Convert, which inspects it.
    f.strType = "mkv";
    ReadInfo(app, strfile);
    FindSubtitleBeside(app, strfile);
    f.txtFile.Text = strfile;
    f.strFullname = strfile;
  }
  ConvertWithSourceOptions(app, commandLine);
  f.bSplit = false;
  f.bUnload = true;
}

void cmdlineAviFolder(App& app, const std::string& strpath) {
  if (!AcceptSource(app, strpath, "source folder")) return;
  folderAVI(app, strpath);
  app.form.bUnload = true;
}

void cmdlineFolder(App& app, const std::string& strpath, const CommandLine& commandLine) {
  Form1& f = app.form;
  app.bFolderMode = true;
  f.bSplit = false;
  if (strpath.empty()) return;
  if (!AcceptSource(app, strpath, "source folder")) return;
  const std::string outputFolder = f.txtTMP.Text;

  // Names are joined to the folder texts as they stand: a folder named with its trailing
  // separator gives a doubled one, which every tool reads as one.
  std::vector<std::string> names = ListFiles(strpath + kSepStr + "*.mkv");
  if (names.empty() || (names.size() == 1 && names[0].empty())) {
    app.nothingToConvert = "No MKV files found in " + strpath + ".";
    return;
  }
  const size_t count = names.size();
  size_t done = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::string& name = names[i];
    f.lblMulti.Caption = std::to_string(i + 1) + " of " + std::to_string(count);
    f.lblMulti.Visible = true;
    f.progress.film = PositionText("film", i, count);
    f.Repaint();
    const std::string fullName = strpath + kSepStr + name;
    if (!AcceptSource(app, fullName, "source file")) continue;
    if (const std::string why = WhyNotASource(fullName); !why.empty()) {
      // The rest of the folder is converted; the run fails.
      ++app.conversionsStarted;
      SetProgress(app, why);
      AppendDebugLog(app, why);
      continue;
    }
    f.strFullname = fullName;

    // A file with an earlier result in the output folder is not converted again; an empty
    // one is what a failed run left, not a result.
    const std::string stem = outputFolder + kSepStr + name.substr(0, name.size() - 3);
    if (HasResult(stem + "mp4") || HasResult(stem + "mpg")) {
      AppendDebugLog(app, "Already converted, skipped: " + fullName);
      ++done;
      continue;
    }
    ReadInfo(app, f.strFullname);
    FindSubtitleBeside(app, f.strFullname);
    f.txtFile.Text = f.strFullname;
    ConvertWithSourceOptions(app, commandLine);
    f.bSplit = false;
  }
  if (done == count) {
    app.nothingToConvert =
        "Nothing to convert in " + strpath + ": all " + std::to_string(count) + " files are done.";
  }
  f.lblMulti.Visible = false;
  f.progress.film.clear();
}

}  // namespace quillet
