// The toolkit stopped while a Debian tool works for it: the tool must end with it, and the
// hidden folder its result is made in must go.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "tests/support/StartedProgram.h"
#include "tests/support/ToolkitRun.h"

namespace quillet::test {
namespace {

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
