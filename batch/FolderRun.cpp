#include "batch/FolderRun.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "app/UnsafePath.h"
#include "base/Files.h"
#include "base/StopRequest.h"
#include "batch/FolderConversion.h"
#include "convert/PathNames.h"
#include "sys/FileAPI.h"
#include "sys/Power.h"
#include "tools/Paths.h"

namespace quillet {

bool ChooseFolder(App& app, const std::string& prompt, const std::string& pattern, FolderRun& run) {
  run.folder = app.ctx.ui.BrowseForFolder(prompt);
  if (run.folder.empty()) return false;
  run.names = ListFiles(WithTrailingSep(run.folder) + pattern);
  return true;
}

bool NoFiles(const FolderRun& run) {
  return run.names.empty() || run.names.front().empty();
}

void AskWhereResultsGo(App& app, FolderRun& run) {
  Form1& f = app.form;
  const int answer =
      app.ctx.ui.MsgBox("Store resulting files in source folder ?", MsgStyle::kYesNo, "");
  run.outputFolder = f.txtTMP.Text;
  if (answer != MsgResult::kYes) return;
  f.txtTMP.Text = WithTrailingSep(run.folder);
  run.outputFolder = f.txtTMP.Text;
  run.folder = WithTrailingSep(run.folder);
}

void ShowCounter(App& app, size_t index, size_t count) {
  Form1& f = app.form;
  f.lblMulti.Caption = std::to_string(index + 1) + " of " + std::to_string(count);
  f.lblMulti.Visible = true;
  f.progress.film = PositionText("film", index, count);
  f.Repaint();
}

std::string SourcePath(const FolderRun& run, const std::string& name) {
  return WithTrailingSep(run.folder) + name;
}

bool HasResult(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  return FileSize64(path) > 0;
}

std::string InOutputFolder(const FolderRun& run, const std::string& name) {
  return WithTrailingSep(run.outputFolder) + name;
}

void NoteFailure(App& app, FolderRun& run, const std::string& path) {
  run.failed.push_back(path);
  AppendDebugLog(app, "Folder conversion: not converted: " + path);
}

bool SkipNonSource(App& app, FolderRun& run, const std::string& path) {
  const std::string why = WhyNotASource(path);
  if (why.empty()) return false;
  SetProgress(app, why);
  NoteFailure(app, run, path);
  return true;
}

std::string StoppedRunText(size_t done, size_t total) {
  return std::string(kConversionStopped) + " " + std::to_string(done) + " of " +
         std::to_string(total) + " films done.";
}

void ForEachListed(App& app, const FolderRun& run, const std::function<void(size_t)>& convertOne) {
  size_t index = 0;
  try {
    for (; index < run.names.size(); ++index) convertOne(index);
  } catch (const RunStopped&) {
    Form1& f = app.form;
    f.lblMulti.Visible = false;
    f.progress.film.clear();
    f.txtTMP.Text = run.outputFolder;
    SetProgress(app, StoppedRunText(index, run.names.size()));
    throw;
  }
}

void EndFolderRun(App& app, const FolderRun& run) {
  Form1& f = app.form;
  f.lblMulti.Visible = false;
  f.progress.film.clear();
  f.txtTMP.Text = run.outputFolder;
  // The last file's success text must not stand for the whole folder.
  if (!run.failed.empty()) {
    SetProgress(app, "Folder conversion: " + std::to_string(run.failed.size()) + " of " +
                         std::to_string(run.names.size()) + " files failed (see debug.log).");
  }
  f.Repaint();
  if (f.chkShutDown.Value != 1) return;
  try {
    app.ctx.power.ShutDownWindows();
  } catch (const std::exception&) {
    // A shutdown that fails leaves the program open; nothing is reported.
  }
}

}  // namespace quillet
