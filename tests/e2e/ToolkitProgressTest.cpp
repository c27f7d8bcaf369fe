// The progress channel with real slots and the program's own tool runner: a slot started as
// the program starts it tells how far it is while it works, the runner reads the share at
// its idle ticks, and the tools' words go to the tool log without their progress lines.

#include <gtest/gtest.h>

#include <chrono>

#include "app/StepProgress.h"
#include "tests/support/ToolkitRun.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

using Clock = std::chrono::steady_clock;

// The program's runner, noting every share told with the time it was read.
struct WatchedRunner {
  explicit WatchedRunner(const std::string& toolLog) {
    EXPECT_TRUE(runner.SetToolLog(toolLog));
    runner.SetProgressCallback([this](double share) { readings.push_back({Clock::now(), share}); });
    runner.SetIdleCallback([this] { ++ticks; });
  }
  int Run(const std::string& slot, const std::string& args) {
    started = Clock::now();
    return runner.RunTool("\"" + kProgram + "/" + slot + "\" " + args, ToolPriority::Low);
  }
  ::testing::AssertionResult OnlyGrewToOne() const {
    for (size_t i = 1; i < readings.size(); ++i)
      if (readings[i].second <= readings[i - 1].second)
        return ::testing::AssertionFailure()
               << readings[i].second << " after " << readings[i - 1].second;
    if (!readings.empty() && readings.back().second == 1.0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << readings.size() << " shares, not ending at 1";
  }
  PosixToolRunner runner;
  std::vector<std::pair<Clock::time_point, double>> readings;
  Clock::time_point started;
  int ticks = 0;
};

using ToolkitProgressChannel = SlotTest;

// An encode with the slow settings of a real re-encode: the share is told along the way and
// the time left the window would show shrinks as the encode goes on.
TEST_F(ToolkitProgressChannel, AnFfmpegEncodeTellsItsShareAlongTheWay) {
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i testsrc=size=640x360:rate=25 -t 18 -c:v libx264 -preset "
             "ultrafast",
             O("film.mkv")));
  WatchedRunner watched(O("tools.log"));
  ASSERT_EQ(0, watched.Run("FFMpeg/FFmpeg.exe", "-i \"" + O("film.mkv") +
                                                    "\" -vcodec libx264 -preset veryslow "
                                                    "-threads 1 -an -y \"" +
                                                    O("out.mp4") + "\""))
      << ReadFile(O("tools.log"));
  EXPECT_TRUE(watched.OnlyGrewToOne());
  std::vector<std::chrono::seconds> left;
  for (const auto& [at, share] : watched.readings) {
    StepProgress p;
    p.toolRunning = true;
    p.share = share;
    p.toolStart = watched.started;
    if (auto l = TimeLeft(p, at); l && share > 0.05 && share < 0.95) left.push_back(*l);
  }
  ASSERT_GE(left.size(), 2u) << "shares told before the end: " << watched.readings.size();
  for (size_t i = 1; i < left.size(); ++i)  // a busy machine may slow the pace, not turn it
    EXPECT_LE(left[i].count(), left[i - 1].count() * 3 / 2 + 1) << "estimate " << i << " grew";
  EXPECT_LT(left.back(), left.front());
  const std::string log = ReadFile(O("tools.log"));
  EXPECT_NE(log.find("libx264"), std::string::npos) << log;
  EXPECT_EQ(log.find("out_time_us="), std::string::npos);
  EXPECT_GT(watched.ticks, 10);
}

// mkvextract's "Progress: N%" lines, rewritten with CR, reach the program and not the log; a
// tool that tells nothing gives no share, and the log is emptied when it is set.
TEST_F(ToolkitProgressChannel, MkvextractTellsItsShareAndASilentToolNone) {
  ASSERT_TRUE(MakeSmallFilm(O("film.mkv"), 20));
  WatchedRunner watched(O("tools.log"));
  ASSERT_EQ(0, watched.Run("MKVToolnix/mkvextract.exe",
                           "tracks \"" + O("film.mkv") + "\" 1:\"" + O("video.h264") + "\""));
  EXPECT_TRUE(watched.OnlyGrewToOne());
  EXPECT_GT(toolkit::FileSize(O("video.h264")), 1000);
  const std::string log = ReadFile(O("tools.log"));
  EXPECT_NE(log.find("Extracting track 0"), std::string::npos) << log;
  EXPECT_EQ(log.find("Progress:"), std::string::npos) << log;

  WatchedRunner silent(O("tools.log"));
  EXPECT_EQ(0, silent.runner.RunTool("/bin/sh -c \"echo said; sleep 0.3\"", ToolPriority::Low));
  EXPECT_TRUE(silent.readings.empty());
  EXPECT_EQ("said\n", ReadFile(O("tools.log")));
}

}  // namespace
}  // namespace quillet::test
