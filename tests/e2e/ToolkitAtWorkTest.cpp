// A slot at work: started by the program's own tool runner, an encode tells how far it is
// while it works and ffmpeg's words go to the tool log without its progress lines; stopped
// by a signal, the toolkit takes ffmpeg with it and removes the hidden folder of its result.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "tests/support/StartedProgram.h"
#include "tests/support/ToolkitRun.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

using ToolkitProgressChannel = SlotTest;

TEST_F(ToolkitProgressChannel, AnFfmpegEncodeTellsItsShareAlongTheWay) {
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=320x180 -t 24 -c:v libx264 -preset ultrafast",
                     O("film.mkv")));
  PosixToolRunner runner;
  ASSERT_TRUE(runner.SetToolLog(O("tools.log")));
  std::vector<double> told;
  runner.SetProgressCallback([&told](double share) { told.push_back(share); });
  int ticks = 0;
  runner.SetIdleCallback([&ticks] { ++ticks; });
  // The slow settings of a real re-encode, at the program's own priority.
  ASSERT_EQ(0, runner.RunTool("\"" + kProgram + "/FFMpeg/FFmpeg.exe\" -i \"" + O("film.mkv") +
                                  "\" -vcodec libx264 -preset veryslow -threads 1 -an -y \"" +
                                  O("out.mp4") + "\"",
                              ToolPriority::Normal))
      << ReadFile(O("tools.log"));
  EXPECT_TRUE(std::is_sorted(told.begin(), told.end(), std::less_equal<double>()));
  EXPECT_EQ(1.0, told.empty() ? 0 : told.back());
  EXPECT_GE(std::count_if(told.begin(), told.end(), [](double s) { return s > 0.05 && s < 0.95; }),
            3)
      << "shares told: " << told.size();
  const std::string log = ReadFile(O("tools.log"));
  EXPECT_NE(log.find("libx264"), std::string::npos) << log;
  EXPECT_EQ(log.find("out_time_us="), std::string::npos);
  EXPECT_GT(ticks, 10);
}

// The toolkit's status: 1000 + n when signal n ended it, which leaves it no time to tidy up.
struct Case {
  const char* label;
  int signal, status;
};
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

class ToolkitStop : public ::testing::TestWithParam<Case> {};

TEST_P(ToolkitStop, TheFfmpegSlotLeavesNoToolAndNoHiddenFolder) {
  TempFolder out("quillet-toolkit-stop");
  // A minute of picture made at its own pace: still running when the signal comes.
  StartedProgram toolkit(
      {kProgram + "/quillet-toolkit", "FFMpeg/FFmpeg.exe", "-y", "-re", "-f", "lavfi", "-i",
       "testsrc=size=160x120:rate=25", "-t", "60", out.withSep() + "film.mkv"},
      out.str());
  for (int i = 0; i < 500 && ChildrenOf(toolkit.pid()).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_FALSE(ChildrenOf(toolkit.pid()).empty()) << toolkit.Err();
  const pid_t ffmpeg = ChildrenOf(toolkit.pid())[0];
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(1u, Entries(out.path()).size()) << "the hidden folder the result is made in";
  toolkit.Signal(GetParam().signal);
  EXPECT_EQ(GetParam().status, toolkit.Wait(30)) << toolkit.Err();
  for (int i = 0; i < 100 && ProcessRuns(ffmpeg); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ProcessRuns(ffmpeg)) << "ffmpeg outlived the toolkit";
  if (ProcessRuns(ffmpeg)) kill(ffmpeg, SIGKILL);
  if (GetParam().status < 1000) {
    EXPECT_EQ(Args{}, Entries(out.path()));
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, ToolkitStop,
                         ::testing::Values(Case{"Term", SIGTERM, 143},
                                           Case{"Interrupt", SIGINT, 130},
                                           Case{"HangUp", SIGHUP, 129},
                                           Case{"Kill", SIGKILL, 1000 + SIGKILL}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace quillet::test
