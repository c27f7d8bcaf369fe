// The guard of a conversion: it waits while another conversion holds the program folder,
// and a stop anywhere in the run leaves the output folder as it was before the run.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/PathNames.h"
#include "tests/support/ConvertScaffold.h"
#include "tests/support/ReportFixtures.h"
#include "tools/FileLock.h"
#include "base/StopRequest.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

struct GuardRun : ConvertScaffold {
  GuardRun() {
    MakeSource(1000);
    Inspected(kAudioAC3);
    ScriptStandardTools();
    ScriptReportTool(runner, ReportFixture("h264_ac3.txt"));
  }
  ~GuardRun() { ClearStopRequest(); }

  // Another conversion holds the program folder until `other` is reset.
  void AnotherConversionRuns() {
    other = std::make_unique<FileLock>(programDir.str() + "/quillet.lock");
    ASSERT_TRUE(other->TryLock());
  }
  // Calls `then` at the repaint that shows the waiting text, counting those repaints.
  void WhenWaitingShows(std::function<void()> then) {
    ui.onRepaint = [this, then] {
      if (form().txtProgress.Text != kWaitingForConversion) return;
      ++waitingShown;
      then();
    };
  }
  // The tool is stopped while it works, after leaving `leaves` (when not empty).
  void StoppedIn(const std::string& tool, const std::string& leaves = "") {
    runner.On(tool, [leaves](const Argv&) -> std::string {
      if (!leaves.empty()) WriteFile(leaves, "partial");
      RequestStop(SIGTERM);
      throw RunStopped();
    });
  }
  std::vector<std::string> OutputNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(outputDir.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<FileLock> other;
  int waitingShown = 0;
};

TEST(ConversionGuard, WaitsForTheConversionAlreadyRunningAndSaysSo) {
  GuardRun s;
  s.AnotherConversionRuns();
  s.WhenWaitingShows([&] {
    EXPECT_TRUE(s.Commands().empty()) << "no tool runs while it waits";
    s.other.reset();  // the other conversion ends
  });
  s.Convert();
  EXPECT_EQ(s.waitingShown, 1);
  EXPECT_GT(s.ui.sleptMs, 0);
  EXPECT_EQ(s.form().txtProgress.Text, kConversionDone);
  EXPECT_TRUE(s.OutputHas("Film.mp4"));
}

TEST(ConversionGuard, AStopWhileWaitingRunsNoTool) {
  GuardRun s;
  s.AnotherConversionRuns();
  s.WhenWaitingShows([] { RequestStop(SIGINT); });
  EXPECT_THROW(s.Convert(), RunStopped);
  EXPECT_EQ(s.waitingShown, 1);
  EXPECT_TRUE(s.Commands().empty());
  EXPECT_EQ(s.form().txtProgress.Text, kConversionStopped);
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

TEST(ConversionGuard, AFreeProgramFolderIsNotWaitedFor) {
  GuardRun s;
  s.WhenWaitingShows([] {});
  s.Convert();
  EXPECT_EQ(s.waitingShown, 0);
  EXPECT_EQ(s.ui.sleptMs, 1000) << "only the MP4 road's own pause";
  EXPECT_EQ(s.form().txtProgress.Text, kConversionDone);
}

TEST(ConversionGuard, AStopAnywhereInTheMp4RoadPutsTheEarlierResultBack) {
  struct Case {
    const char* tool;
    const char* leaves;  // what the stopped tool had written, in the output folder
  };
  for (const Case& c : {Case{"mkvextract.exe", "movie.h264"}, Case{"FFmpeg.exe", "movie.aac"},
                        Case{"MP4Box.exe", "Film.mp4"}}) {
    SCOPED_TRACE(c.tool);
    GuardRun s;
    WriteFile(s.outputDir.path() / "Film.mp4", "earlier result");
    s.StoppedIn(c.tool, s.Out(c.leaves));
    EXPECT_THROW(s.Convert(), RunStopped);
    EXPECT_EQ(s.OutputNames(), std::vector<std::string>{"Film.mp4"});
    EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mp4"), "earlier result");
    EXPECT_EQ(s.form().txtProgress.Text, kConversionStopped);
    EXPECT_EQ(s.app.conversionsStarted, 1);
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
    EXPECT_EQ(s.app.cleanup, nullptr);
    EXPECT_TRUE(fs::exists(s.source));
  }
}

TEST(ConversionGuard, AStopInASplitRunRemovesThePartsAndTheirResults) {
  GuardRun s;
  fs::resize_file(s.source, 9000000000);
  s.runner.On("mkvmerge.exe", [&](const Argv&) {
    for (const char* part : {"Film-001.mkv", "Film-002.mkv"})
      WriteFile(s.outputDir.path() / "split" / part, "mkv");
    return std::string();
  });
  WriteFile(s.outputDir.path() / "Film-002.mp4", "earlier part");
  int muxed = 0;
  s.runner.On("MP4Box.exe", [&](const Argv& a) -> std::string {
    WriteFile(a[a.size() - 3], "part result");  // the result before "-tmp DIR"
    if (++muxed < 2) return "";
    throw RunStopped();
  });
  EXPECT_THROW(s.Convert(), RunStopped);
  EXPECT_EQ(muxed, 2);
  EXPECT_EQ(s.OutputNames(), std::vector<std::string>{"Film-002.mp4"});
  EXPECT_EQ(ReadFile(s.outputDir.path() / "Film-002.mp4"), "earlier part");
  EXPECT_FALSE(s.form().bSplit);
  EXPECT_FALSE(s.form().lblMulti.Visible);
  EXPECT_EQ(s.form().txtFile.Text, s.source);
  EXPECT_EQ(s.form().strFullname, s.source);
}

}  // namespace
}  // namespace quillet::test
