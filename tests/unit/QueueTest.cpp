// The queue of films: a film's options taken from the window and put back, the queue
// file, and which films the list lets the user remove and move.
#include <gtest/gtest.h>

#include <functional>

#include "app/Program.h"
#include "app/ReplaceFile.h"
#include "inspect/TextPieces.h"
#include "queue/JobOptions.h"
#include "queue/JobQueue.h"
#include "queue/QueueFile.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

std::string Joined(const std::vector<std::string>& words, const std::string& folder) {
  std::string text;  // the folder's names shortened: "--output", "SUBS"
  for (const std::string& word : words)
    if (word != folder)
      text += (text.empty() ? "" : " ") + (word == folder + "film.srt" ? "SUBS" : word);
  return text;
}

// The window set up as a user would, added to the queue, then changed to another state
// and the film applied over it: the window is back where the film was added.
TEST(QueueJob, TheWindowsOptionsComeBackFromTheFilm) {
  const auto platform = [](Form1& f, int index) {
    f.cmbPlatform.SetListIndex(index), f.cmbPlatform_Change();
  };
  // clang-format off
  const struct { const char* words; std::function<void(App&)> steps; } cases[] = {
    {"--target ps3 --output --mp4 --split --priority low", [&](App& a) { platform(a.form, 0); }},
    {"--target xbox360 --output --mp4 --no-split --normalize --priority low",
     [&](App& a) { platform(a.form, 1), a.form.Check1.Click(), a.form.chkNorm.Click(); }},
    {"--target ps3 --output --avchd --fast-mux --fit dvd9 --split --priority high",
     [&](App& a) { platform(a.form, 0), a.form.chkAVCHD.Click(), a.form.chkFF.Click(), a.form.chkDVD.Click(),
                   a.form.cmbSize.SetListIndex(1), a.form.cmbPrio.SetListIndex(1); }},
    {"--target ps3-stereo --output --m2ts --recode h264hq --split --embed-subs --priority low",
     [&](App& a) { platform(a.form, 2), a.form.chkVob.Click(), a.form.chkMP2.Click(), a.form.cmdConv.SetListIndex(3), a.form.chkSubs.Visible = true,
                   a.form.chkSubs.Click(), a.form.chkChapters.Click(); }},
    {"--target ps3 --output --mp4 --fast-mux --split --priority high",
     [&](App& a) { platform(a.form, 0), a.form.chkFF.Click(), a.form.cmbPrio.SetListIndex(1); }},
    {"--target ps3 --output --mp4 --split --25fps --subs SUBS --priority low",
     [&](App& a) { platform(a.form, 0), a.form.chk25.Click(), UseSubtitleFile(a, a.form.txtTMP.Text + "film.srt"),
                   a.form.chkSubs.Click(); }},
  };
  // clang-format on
  TestApp other;  // the state the window is in when the film starts
  platform(other.form(), 1);
  other.form().chkNorm.Click(), other.form().chk25.Click(), other.form().cmbPrio.SetListIndex(1);
  const WindowOptions base = TakeWindowOptions(other.app);
  for (const auto& c : cases) {
    TestApp t;
    for (const char* name : {"film.mkv", "film.srt"}) WriteFile(t.outputDir.path() / name, "1");
    t.form().strFullname = t.outputDir.withSep() + "film.mkv";
    t.form().cmbPrio.SetListIndex(0);
    c.steps(t.app);
    const WindowOptions added = TakeWindowOptions(t.app);
    const Job job = JobFromWindow(t.app);
    EXPECT_EQ(Joined(job.options, t.outputDir.withSep()), c.words);
    t.form().strSubBrowse = "/another.srt", t.form().chkShutDown.Value = 1;  // not the base's
    const CommandLine commandLine = JobCommandLine(job);
    ASSERT_EQ(commandLine.error, "") << c.words;
    EXPECT_EQ(ApplyJobOptions(t.app, job, commandLine, base), std::nullopt) << c.words;
    EXPECT_EQ(ApplyJobSourceOptions(t.app, job, commandLine), std::nullopt) << c.words;
    EXPECT_TRUE(TakeWindowOptions(t.app) == added) << c.words;
  }
}

// Any name survives the file; a film that was running when the program ended waits again.
TEST(QueueFile, NamesSurviveAndARunningFilmWaitsAgain) {
  TempFolder dir;
  const std::string path = QueueFilePath(dir.str());
  EXPECT_EQ(path, dir.str() + "/Quillet.queue");
  // clang-format off
  std::vector<Job> jobs = {
      {"/films/a film \"with\" quotes\tand tab.mkv", {"--output", "/out\\dir/ é ü 字/"}, 0, 2, JobState::kRunning, ""},
      {"/films/line\nbreak\r.mkv", {"--m2ts"}, 1, -1, JobState::kFailed, "Error:\r\nno \\t"},
      {"/films/stopped.mkv", {}, 1, -1, JobState::kStopped, ""}};
  // clang-format on
  ASSERT_TRUE(SaveQueue(path, jobs));
  const LoadedQueue loaded = LoadQueue(path);
  EXPECT_EQ(loaded.problem, "");
  jobs[0].state = JobState::kWaiting;
  EXPECT_TRUE(loaded.jobs == jobs);
  EXPECT_TRUE(LoadQueue(dir.str() + "/none").jobs.empty());

  // A write that cannot finish leaves the file as it was.
  fs::create_directory(ReplacementTempPath(path));
  EXPECT_FALSE(SaveQueue(path, {}));
  EXPECT_EQ(LoadQueue(path).jobs.size(), 3u);
}

// A file that is no queue is renamed aside, not dropped or overwritten, and named.
TEST(QueueFile, ADamagedFileIsKeptAsideAndReported) {
  const char* damaged[] = {
      "",
      "Quillet queue 1\nsource\t/a.mkv\n",
      "Quillet queue 1\njob\twaiting\nsource\t/a.mkv\ncolour\tred\n",
      "Quillet queue 1\njob\tsleeping\nsource\t/a.mkv\n",
      "Quillet queue 1\njob\twaiting\nsource\t/a\\q.mkv\n",
      "Quillet queue 1\njob\twaiting\nsource\t/a.mkv\nchapters\tx\n",
  };
  for (const char* text : damaged) {
    TempFolder dir;
    const std::string path = QueueFilePath(dir.str());
    WriteFile(path, text);
    WriteFile(path + ".damaged", "an earlier one");
    const LoadedQueue loaded = LoadQueue(path);
    EXPECT_TRUE(loaded.jobs.empty() && !fs::exists(path)) << text;
    EXPECT_EQ(ReadFile(path + ".damaged-2") + "|" + ReadFile(path + ".damaged"),
              text + std::string("|an earlier one"));
    EXPECT_TRUE(Contains(loaded.problem, "is damaged") &&
                Contains(loaded.problem, path + ".damaged-2"))
        << loaded.problem;
  }
}

// Films that are running or done stay where they are; the others move and go.
TEST(JobQueue, OnlyFilmsNotRunningOrDoneMoveAndGo) {
  const auto queue = [] {
    std::vector<Job> jobs;
    int n = 0;
    for (JobState state : {JobState::kWaiting, JobState::kRunning, JobState::kDone,
                           JobState::kFailed, JobState::kWaiting, JobState::kStopped})
      jobs.push_back({std::to_string(n++), {}, 1, -1, state, ""});
    JobQueue q;
    q.Load(jobs);
    return q;
  };
  const auto order = [](const JobQueue& q) {
    std::string text;
    for (const Job& job : q.jobs()) text += job.source;
    return text;
  };
  // clang-format off
  const struct { std::function<bool(JobQueue&)> change; bool changed; const char* order; } cases[] = {
    {[](JobQueue& q) { return q.Remove(0); }, true, "12345"},
    {[](JobQueue& q) { return q.Remove(1); }, false, "012345"},
    {[](JobQueue& q) { return q.Remove(2); }, false, "012345"},
    {[](JobQueue& q) { return q.Remove(3); }, true, "01245"},
    {[](JobQueue& q) { return q.MoveDown(0); }, false, "012345"},  // not past the running one
    {[](JobQueue& q) { return q.MoveUp(3); }, false, "012345"},    // not past a done one
    {[](JobQueue& q) { return q.MoveDown(3); }, true, "012435"},
    {[](JobQueue& q) { return q.MoveUp(5); }, true, "012354"},
    {[](JobQueue& q) { q.DropDone(); return true; }, true, "01345"},
  };
  // clang-format on
  for (const auto& c : cases) {
    JobQueue q = queue();
    int told = 0;
    q.OnChange([&told] { ++told; });
    EXPECT_EQ(c.change(q), c.changed) << c.order;
    EXPECT_EQ(order(q), c.order);
    EXPECT_EQ(told, c.changed ? 1 : 0) << c.order;
  }
  EXPECT_EQ(queue().RunnableCount(), 3u);  // waiting, waiting, stopped
}

}  // namespace
}  // namespace quillet::test
