// The toolkit stopped while a Debian tool works for it: the tool must end with it, and
// the hidden folder its results are made in must go.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/support/StartedProgram.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

const fs::path kToolkit = fs::path(QUILLET_PROGRAM_DIR) / "quillet-toolkit";

struct Case {
  std::string label;
  int signal;
  int status;             // of the toolkit; 1000 + n: ended by signal n
  bool hiddenFolderGone;  // SIGKILL leaves the toolkit no time to tidy up
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

class ToolkitStop : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!fs::exists(kToolkit)) GTEST_SKIP() << "the toolkit is not built: " << kToolkit;
  }

  // Waits until the toolkit has started its tool; the tool's pid, or -1.
  static pid_t AwaitTool(pid_t toolkit) {
    for (int i = 0; i < 500; ++i) {
      const std::vector<pid_t> children = ChildrenOf(toolkit);
      if (!children.empty()) return children[0];
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  TempFolder output{"quillet-toolkit-stop"};
};

TEST_P(ToolkitStop, TheFfmpegSlotLeavesNoToolAndNoHiddenFolder) {
  const Case& c = GetParam();
  // A minute of picture made at its own pace: still running when the signal comes.
  StartedProgram toolkit(
      {kToolkit.string(), "FFMpeg/FFmpeg.exe", "-y", "-re", "-f", "lavfi", "-i",
       "testsrc=size=160x120:rate=25", "-t", "60", output.withSep() + "film.mkv"},
      output.str());
  const pid_t ffmpeg = AwaitTool(toolkit.pid());
  ASSERT_GT(ffmpeg, 0) << toolkit.Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(Entries(output.path()).size(), 1u) << "the hidden folder the result is made in";

  toolkit.Signal(c.signal);
  EXPECT_EQ(toolkit.Wait(30), c.status) << toolkit.Err();
  for (int i = 0; i < 100 && ProcessRuns(ffmpeg); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ProcessRuns(ffmpeg)) << "ffmpeg outlived the toolkit";
  if (ProcessRuns(ffmpeg)) kill(ffmpeg, SIGKILL);
  if (c.hiddenFolderGone) EXPECT_EQ(Entries(output.path()), std::vector<std::string>{});
}

// clang-format off
const Case kCases[] = {
    {"Term", SIGTERM, 143, true},
    {"Interrupt", SIGINT, 130, true},
    {"HangUp", SIGHUP, 129, true},
    {"Kill", SIGKILL, 1000 + SIGKILL, false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Signals, ToolkitStop, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace quillet::test
