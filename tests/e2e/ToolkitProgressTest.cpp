// The progress channel with a real slot and the program's own tool runner: an encode started
// as the program starts it tells how far it is while it works, the runner reads the share at
// its idle ticks, and ffmpeg's words go to the tool log without its progress lines.

#include <gtest/gtest.h>

#include <chrono>

#include "app/StepProgress.h"
#include "tests/support/ToolkitRun.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

using ToolkitProgressChannel = SlotTest;

TEST_F(ToolkitProgressChannel, AnFfmpegEncodeTellsItsShareAlongTheWay) {
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i testsrc=size=640x360:rate=25 -t 18 -c:v libx264 -preset "
             "ultrafast",
             O("film.mkv")));
  PosixToolRunner runner;
  ASSERT_TRUE(runner.SetToolLog(O("tools.log")));
  // Each share told, with the time left the window would show when it was read.
  std::vector<std::pair<double, std::optional<std::chrono::seconds>>> told;
  StepProgress p;
  p.toolRunning = true;
  p.toolStart = StepProgress::Clock::now();
  runner.SetProgressCallback([&](double share) {
    p.share = share;
    told.push_back({share, TimeLeft(p, StepProgress::Clock::now())});
  });
  int ticks = 0;
  runner.SetIdleCallback([&ticks] { ++ticks; });
  // The slow settings of a real re-encode.
  ASSERT_EQ(0, runner.RunTool("\"" + kProgram + "/FFMpeg/FFmpeg.exe\" -i \"" + O("film.mkv") +
                                  "\" -vcodec libx264 -preset veryslow -threads 1 -an -y \"" +
                                  O("out.mp4") + "\"",
                              ToolPriority::Low))
      << ReadFile(O("tools.log"));

  ASSERT_FALSE(told.empty());
  EXPECT_EQ(1.0, told.back().first);
  std::vector<long long> left;  // seconds, once the pace can be judged
  for (size_t i = 0; i < told.size(); ++i) {
    EXPECT_TRUE(i == 0 || told[i].first > told[i - 1].first) << "share " << told[i].first;
    if (told[i].second && told[i].first < 0.95) left.push_back(told[i].second->count());
  }
  ASSERT_GE(left.size(), 2u) << "shares told before the end: " << told.size();
  for (size_t i = 1; i < left.size(); ++i)  // a busy machine may slow the pace, not turn it
    EXPECT_LE(left[i], left[i - 1] * 3 / 2 + 1) << "estimate " << i << " grew";
  EXPECT_LT(left.back(), left.front());
  const std::string log = ReadFile(O("tools.log"));
  EXPECT_NE(log.find("libx264"), std::string::npos) << log;
  EXPECT_EQ(log.find("out_time_us="), std::string::npos);
  EXPECT_GT(ticks, 10);
}

}  // namespace
}  // namespace quillet::test
