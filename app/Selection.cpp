#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "app/Program.h"
#include "app/Ui.h"
#include "app/UnsafePath.h"
#include "base/Files.h"
#include "convert/Convert.h"
#include "inspect/ReadInfo.h"
#include "inspect/SubtitleBeside.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

// Both file dialogs open in the folder of the last source, else in the home folder.
std::string DialogStartFolder(const Form1& f) {
  if (!f.strMKVPath.empty()) return f.strMKVPath;
  const char* home = std::getenv("HOME");
  return WithTrailingSep(home && *home ? home : "/");
}

// The file dialogs' buffers hold 511 characters with the end mark: a longer path does
// not fit, and the dialog gives nothing, as when it is cancelled.
constexpr size_t kDialogPathLimit = 510;

std::string AskForFile(App& app, const OpenFileRequest& request) {
  std::string chosen = app.ctx.ui.OpenFile(request);
  return chosen.size() > kDialogPathLimit ? "" : chosen;
}

// A dialog's answer without NUL characters and without surrounding blanks.
std::string CleanDialogPath(std::string path) {
  path.erase(std::remove(path.begin(), path.end(), '\0'), path.end());
  const size_t first = path.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return path.substr(first, path.find_last_not_of(' ') - first + 1);
}

std::string LastThreeLower(const std::string& path) {
  std::string tail = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail;
}

}  // namespace

void Command1_Click(App& app) {
  Form1& f = app.form;
  app.bFolderMode = false;
  f.SetTopMost(true);
  f.lblSRTFound.Visible = false;
  f.cmbSubs.Visible = false;
  f.bSplit = false;

  OpenFileRequest request;
  request.title = "Select the MKV";
  request.filters = {{"mkv Files (*.mkv)", "*.MKV"},
                     {"WMV Files (*.wmv)", "*.WMV"},
                     {"AVI Files (*.avi)", "*.AVI"}};
  request.startFolder = DialogStartFolder(f);
  const std::string chosen = AskForFile(app, request);
  if (chosen.empty()) return;
  const std::string path = CleanDialogPath(chosen);
  if (!AcceptPathForTools(app, path, "source file") || !AcceptSourceFile(app, path)) return;
  ChooseSourceByType(app, path);
}

bool ChooseTypedSource(App& app, const std::string& path) {
  Form1& f = app.form;
  app.bFolderMode = false;
  f.lblSRTFound.Visible = false;
  f.cmbSubs.Visible = false;
  f.bSplit = false;
  if (!AcceptPathForTools(app, path, "source file") || !AcceptSourceFile(app, path)) return false;
  ChooseSourceByType(app, path);
  return true;
}

void ChooseSourceByType(App& app, const std::string& path) {
  Form1& f = app.form;
  f.strFullname = path;
  f.txtFile.Text = path;

  const std::string extension = LastThreeLower(path);
  if (extension == "mkv") {
    f.strType = "mkv";
    ReadInfo(app, path);
    if (FindSubtitleBeside(app, path)) f.cmbSubs.Visible = false;
  } else if (extension == "avi") {
    f.strType = "avi";
    f.chkMP2.SetValue(1);
    f.cmdConv.SetListIndex(2);  // Xvid
    FindSubtitleBeside(app, path);
  } else {
    // Everything else takes the WMV road, which authors an AVCHD tree.
    f.strType = "wmv";
    f.chkAVCHD.SetValue(1);
    f.chk25.Enabled = false;
    f.chkFF.Enabled = false;
    f.chkVob.Enabled = false;
  }
}

bool FindSubtitleBeside(App& app, const std::string& source) {
  Form1& f = app.form;
  // Which of several languages is taken waits for the sound chosen when converting.
  f.lblSRTFound.Visible = !SubtitleBesideSource(source, "").empty();
  if (f.lblSRTFound.Visible) f.chkSubs.Visible = true;
  return f.lblSRTFound.Visible;
}

void cmdSubs_Click(App& app) {
  Form1& f = app.form;
  f.SetTopMost(true);
  OpenFileRequest request;
  request.title = "Select the Subtitle file";
  request.filters = {{"Subtitle Files", "*.srt; *.ssa"}};
  request.startFolder = DialogStartFolder(f);
  const std::string chosen = AskForFile(app, request);
  if (chosen.empty()) return;
  const std::string path = CleanDialogPath(chosen);
  if (!AcceptPathForTools(app, path, "subtitle file")) return;

  UseSubtitleFile(app, path);
}

void UseSubtitleFile(App& app, const std::string& path) {
  Form1& f = app.form;
  f.chkMP2.Enabled = true;
  f.chkSubs.Enabled = true;
  f.chkSubs.Visible = true;
  f.cmbSubs.Visible = false;
  f.lblSRTFound.Visible = false;
  f.chkSubs.SetValue(1);
  f.strSubBrowse = path;
}

void cmdTargetFolder_Click(App& app) {
  Form1& f = app.form;
  f.SetTopMost(false);
  const std::string folder =
      app.ctx.ui.BrowseForFolder("Please select a folder where the converted file is stored.");
  if (folder.empty()) return;
  if (!AcceptPathForTools(app, folder, "output folder")) return;
  f.txtTMP.Text = WithTrailingSep(folder);
}

void DropFiles(App& app, const std::vector<std::string>& paths) {
  // Each file is converted before the next one is looked at, by the road the last
  // file-dialog choice selected.
  for (const std::string& dropped : paths) {
    const std::string path = AbsolutePath(dropped);
    if (!AcceptPathForTools(app, path, "source file") || !AcceptSourceFile(app, path)) continue;
    ReadInfo(app, path);
    FindSubtitleBeside(app, path);
    app.form.txtFile.Text = path;
    app.form.strFullname = path;
    Command2_Click(app);
  }
}

}  // namespace quillet
