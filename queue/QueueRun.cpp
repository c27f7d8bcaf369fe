#include "queue/QueueRun.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "app/StepProgress.h"
#include "app/Ui.h"
#include "app/UnsafePath.h"
#include "base/StopRequest.h"
#include "batch/FolderConversion.h"
#include "convert/Convert.h"
#include "queue/JobOptions.h"
#include "sys/Power.h"

namespace quillet {
namespace {

using std::chrono::seconds;

uint64_t SourceSize(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<uint64_t>(size);
}

// "12 min", "1 h 05 min": a queue's estimate deserves no seconds.
std::string Minutes(seconds left) {
  const long long minutes = std::max<long long>(1, (left.count() + 30) / 60);
  if (minutes < 60) return std::to_string(minutes) + " min";
  const long long rest = minutes % 60;
  return std::to_string(minutes / 60) + " h " + (rest < 10 ? "0" : "") + std::to_string(rest) +
         " min";
}

// What the window holds of the run, taken before the queue and put back after it.
class WindowKept {
 public:
  explicit WindowKept(App& app)
      : app_(app),
        options_(TakeWindowOptions(app)),
        settingsAsRead_(app.settingsAsRead),
        folderMode_(app.bFolderMode) {
    // The films' options are this run's only: the settings file keeps the window's.
    if (!app.settingsAsRead) KeepSettingsAsRead(app);
    // Boxes that a folder run does not show are not shown to a queue either.
    app.bFolderMode = true;
  }
  ~WindowKept() {
    Form1& f = app_.form;
    RestoreWindowOptions(app_, options_);
    app_.settingsAsRead = settingsAsRead_;
    app_.bFolderMode = folderMode_;
    f.bSplit = false;
    f.lblMulti.Visible = false;
    f.progress.film.clear();
  }
  const WindowOptions& options() const { return options_; }

 private:
  App& app_;
  WindowOptions options_;
  std::optional<std::vector<std::string>> settingsAsRead_;
  bool folderMode_;
};

}  // namespace

std::optional<seconds> QueueTimeLeft(seconds spent, uint64_t bytesDone, uint64_t bytesLeft) {
  if (bytesDone == 0 || spent.count() <= 0) return std::nullopt;
  return seconds(
      static_cast<long long>(static_cast<double>(spent.count()) * static_cast<double>(bytesLeft) /
                             static_cast<double>(bytesDone)));
}

std::string QueueCounterText(size_t index, size_t count, std::optional<seconds> left) {
  std::string text = std::to_string(index + 1) + " of " + std::to_string(count);
  if (left) text += ", about " + Minutes(*left) + " left in all";
  return text;
}

int QueueRun::AnswerBox(const std::string& text, int style) {
  lastBox_ = text;
  AppendDebugLog(app_, "Queue: " + text);
  // The button a user's Enter would press: the first of the box.
  return (style & 0x0F) == MsgStyle::kYesNo ? MsgResult::kYes : MsgResult::kOk;
}

void QueueRun::Run() {
  queue_.DropDone();
  const size_t count = queue_.RunnableCount();
  if (count == 0) return;
  const bool shutDown = app_.form.chkShutDown.Value == 1;
  WindowKept kept(app_);
  base_ = kept.options();
  done_ = failed_ = 0;
  try {
    RunEach(count);
  } catch (const RunStopped&) {
    // As a folder run counts them: the films finished with, converted or failed.
    SetProgress(app_, StoppedRunText(done_ + failed_, count));
    throw;
  }
  // The last film's success text must not stand for the whole queue.
  if (failed_ > 0)
    SetProgress(app_, "Queue: " + std::to_string(failed_) + " of " + std::to_string(count) +
                          " films failed (see the list).");
  if (!shutDown) return;
  try {
    app_.ctx.power.ShutDownWindows();
  } catch (const std::exception&) {
    // A shutdown that fails leaves the program open, as after a folder.
  }
}

void QueueRun::RunEach(size_t count) {
  seconds spent{0};
  uint64_t bytesDone = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::optional<size_t> next = queue_.NextToRun();
    if (!next) return;
    uint64_t bytesLeft = 0;
    for (const Job& job : queue_.jobs())
      if (Runnable(job)) bytesLeft += SourceSize(job.source);
    ShowCounter(i, count, QueueTimeLeft(spent, bytesDone, bytesLeft));
    const Job job = queue_.jobs()[*next];
    queue_.Mark(*next, JobState::kRunning);
    const auto start = std::chrono::steady_clock::now();
    std::optional<std::string> failure;
    try {
      failure = RunJob(job);
    } catch (const RunStopped&) {
      queue_.Mark(*next, JobState::kStopped);
      throw;
    }
    queue_.Mark(*next, failure ? JobState::kFailed : JobState::kDone, failure.value_or(""));
    if (failure) {
      ++failed_;
      continue;
    }
    ++done_;
    spent += std::chrono::duration_cast<seconds>(std::chrono::steady_clock::now() - start);
    bytesDone += SourceSize(job.source);
  }
}

void QueueRun::ShowCounter(size_t index, size_t count, std::optional<seconds> left) {
  Form1& f = app_.form;
  f.lblMulti.Caption = QueueCounterText(index, count, left);
  f.lblMulti.Visible = true;
  f.progress.film = PositionText("film", index, count);
  f.Repaint();
}

std::optional<std::string> QueueRun::RunJob(const Job& job) {
  Form1& f = app_.form;
  lastBox_.clear();
  const auto why = [this, &f]() -> std::string {
    return lastBox_.empty() ? f.txtProgress.Text : lastBox_;
  };
  const CommandLine commandLine = JobCommandLine(job);
  if (!commandLine.error.empty()) return commandLine.error;
  if (std::optional<std::string> refused = ApplyJobOptions(app_, job, commandLine, base_))
    return refused;
  // The source as the file dialog takes it.
  if (!AcceptPathForTools(app_, job.source, "source file") || !AcceptSourceFile(app_, job.source))
    return why();
  f.lblSRTFound.Visible = false;
  f.cmbSubs.Visible = false;
  f.bSplit = false;
  ChooseSourceByType(app_, job.source);
  if (std::optional<std::string> refused = ApplyJobSourceOptions(app_, job, commandLine))
    return refused;
  lastBox_.clear();  // a box of the inspection that did not stop the film is no reason
  const int succeeded = app_.conversionsSucceeded;
  Command2_Click(app_);
  f.bSplit = false;
  if (app_.conversionsSucceeded > succeeded) return std::nullopt;
  return why();
}

}  // namespace quillet
