// The progress channel with real slots and the program's real tool runner: a slot started
// the way the program starts it tells how far it is while it works, the runner reads it
// at its idle ticks, and what the tools print goes to the tool log, not to our own output.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/StepProgress.h"
#include "tests/e2e/MediaTools.h"
#include "tests/support/TestApp.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kProgram = QUILLET_PROGRAM_DIR;

struct Reading {
  Clock::time_point at;
  double share;
};

// A runner that notes every share told, with the time it was read.
class WatchedRunner {
 public:
  explicit WatchedRunner(const std::string& toolLog) {
    EXPECT_TRUE(runner.SetToolLog(toolLog));
    runner.SetProgressCallback([this](double share) { readings.push_back({Clock::now(), share}); });
    runner.SetIdleCallback([this] { ++ticks; });
  }
  int Run(const std::string& commandLine) {
    started = Clock::now();
    return runner.RunTool(commandLine, ToolPriority::Low);
  }

  PosixToolRunner runner;
  std::vector<Reading> readings;
  Clock::time_point started;
  int ticks = 0;
};

::testing::AssertionResult OnlyGrowsToOne(const std::vector<Reading>& readings) {
  if (readings.empty()) return ::testing::AssertionFailure() << "no share was told";
  for (size_t i = 1; i < readings.size(); ++i)
    if (readings[i].share <= readings[i - 1].share)
      return ::testing::AssertionFailure()
             << "share " << readings[i].share << " after " << readings[i - 1].share;
  if (readings.back().share != 1.0)
    return ::testing::AssertionFailure() << "ended at " << readings.back().share;
  return ::testing::AssertionSuccess();
}

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// A 20-second film encoded with the slow settings of a real re-encode: the share is
// told along the way, only grows, ends at 1, and the time left the window would show
// shrinks as the encode goes on.
TEST(ToolkitProgressChannel, AnFfmpegEncodeTellsItsShareAlongTheWay) {
  TempFolder dir("progress-ffmpeg");
  const std::string film = (dir.path() / "film.mkv").string();
  ASSERT_TRUE(Made({"ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i",
                    "testsrc=size=640x360:rate=25", "-t", "20", "-c:v", "libx264", "-preset",
                    "ultrafast", film}));
  WatchedRunner watched((dir.path() / "tools.log").string());
  const std::string out = (dir.path() / "out.mp4").string();
  ASSERT_EQ(watched.Run(Quoted(kProgram + "/FFMpeg/FFmpeg.exe") + " -i " + Quoted(film) +
                        " -vcodec libx264 -preset veryslow -threads 1 -an -y " + Quoted(out)),
            0)
      << ReadFile(dir.path() / "tools.log");

  EXPECT_TRUE(OnlyGrowsToOne(watched.readings));
  // Seen at work, not only at the end.
  size_t along = 0;
  for (const Reading& r : watched.readings) along += r.share > 0.05 && r.share < 0.95;
  EXPECT_GE(along, 3u) << "shares told before the end: " << watched.readings.size();

  // The estimate the window shows, taken at each reading once the pace can be judged.
  std::vector<std::chrono::seconds> left;
  for (const Reading& r : watched.readings) {
    StepProgress p;
    p.toolRunning = true;
    p.share = r.share;
    p.toolStart = watched.started;
    if (auto l = TimeLeft(p, r.at); l && r.share < 1.0) left.push_back(*l);
  }
  ASSERT_GE(left.size(), 2u);
  for (size_t i = 1; i < left.size(); ++i)
    // A machine busy with other work may slow the pace for a while, not turn it round.
    EXPECT_LE(left[i].count(), left[i - 1].count() * 3 / 2 + 1) << "estimate " << i << " grew";
  EXPECT_LT(left.back() * 2, left.front());

  // ffmpeg's own words went to the tool log; its progress lines did not.
  const std::string log = ReadFile(dir.path() / "tools.log");
  EXPECT_NE(log.find("libx264"), std::string::npos) << log;
  EXPECT_EQ(log.find("out_time_us="), std::string::npos);
  EXPECT_GT(watched.ticks, 10);
}

// mkvextract prints "Progress: N%" rewritten with CR: the share reaches the program and
// ends at 1, the extractor's other lines reach the tool log without the progress lines.
TEST(ToolkitProgressChannel, MkvextractTellsItsShareAndKeepsTheLogShort) {
  TempFolder dir("progress-mkvextract");
  const std::string film = (dir.path() / "film.mkv").string();
  ASSERT_TRUE(MakeSmallFilm(film, 20));
  WatchedRunner watched((dir.path() / "tools.log").string());
  const std::string video = (dir.path() / "video.h264").string();
  ASSERT_EQ(watched.Run(Quoted(kProgram + "/MKVToolnix/mkvextract.exe") + " tracks " +
                        Quoted(film) + " 1:" + Quoted(video)),
            0);
  EXPECT_TRUE(OnlyGrowsToOne(watched.readings));
  EXPECT_GT(fs::file_size(video), 1000u);
  const std::string log = ReadFile(dir.path() / "tools.log");
  EXPECT_NE(log.find("Extracting track 0"), std::string::npos) << log;
  EXPECT_EQ(log.find("Progress:"), std::string::npos) << log;
}

// A tool that says nothing about its progress tells no share: the window shows only its
// step and the time spent. The tool log is emptied when it is set.
TEST(ToolkitProgressChannel, AToolThatTellsNothingGivesNoShare) {
  TempFolder dir("progress-silent");
  const fs::path log = dir.path() / "tools.log";
  WriteFile(log, "an earlier run's lines\n");
  WatchedRunner watched(log.string());
  EXPECT_EQ(watched.Run("/bin/sh -c \"echo said; sleep 0.3\""), 0);
  EXPECT_TRUE(watched.readings.empty());
  EXPECT_EQ(ReadFile(log), "said\n");
}

}  // namespace
}  // namespace quillet::test
