// Stopping a running conversion from outside: SIGTERM, SIGINT or SIGHUP to the program
// while a tool works. The tool and everything it started must end with the program, the
// working files and the partial result must go, an earlier result must be back in its
// place, and the exit status must tell which signal stopped the run.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/StartedProgram.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

const fs::path kBuiltProgram = fs::path(QUILLET_PROGRAM_DIR) / "quillet";

// A tool that leaves a working file, starts a program of its own and waits for it, after
// writing both pids into the program folder. `prologue` comes first (to ignore SIGTERM).
std::string WorkingTool(const std::string& prologue) {
  return "#!/bin/sh\n" + prologue +
         "dir=\"$(dirname \"$0\")/..\"\n"
         "for a in \"$@\"; do case \"$a\" in *movie.h264) echo partial > \"${a#*:}\";; esac; "
         "done\n"
         "sleep 300 &\n"
         "echo $! > \"$dir/helper.pid\"\n"
         "echo $$ > \"$dir/tool.pid\"\n"
         "wait\n";
}

struct Case {
  std::string label;
  int signal;
  int status;
  bool toolIgnoresTerm;  // only SIGKILL ends it, after the grace time
};

class Stop : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuiltProgram))
      GTEST_SKIP() << "the quillet program is not built: " << kBuiltProgram;
    fs::copy_file(kBuiltProgram, program.path() / "quillet");
    Tool("Checker/x264_checker.exe", "#!/bin/sh\necho 'dpb check: [OK]'\n");
    ReportTool("");
    WriteFile(
        program.path() / "Quillet.conf",
        "\n\n\n" + output.withSep() + "\n 0 \n 0 \n/films/\n\n 1 \n\n 0 \n 0 \n 0 \n 0 \n 0 \n");
    WriteFile(sources.path() / "film.mkv", "the source");
    WriteFile(output.path() / "film.mp4", "an earlier result");
  }

  // The report tool writes the report to the path after "-o", then runs `then`.
  void ReportTool(const std::string& then) {
    Tool("MKVToolnix/mkvinfo.exe",
         "#!/bin/sh\nout=''; prev=''\n"
         "for a in \"$@\"; do [ \"$prev\" = -o ] && out=\"$a\"; prev=\"$a\"; done\n"
         "cat > \"$out\" <<'REPORT'\n" +
             ReportFixture("h264_ac3.txt") + "REPORT\n" + then);
  }

  void Tool(const std::string& relative, const std::string& script) {
    WriteFile(program.path() / relative, script);
    fs::permissions(program.path() / relative, fs::perms::owner_all, fs::perm_options::add);
  }

  pid_t Pid(const std::string& file) {
    const std::string text = AwaitFile((program.path() / file).string(), 30);
    return text.empty() ? -1 : std::stoi(text);
  }

  // What must hold after any stop: the tool's group is gone, only the earlier result is
  // in the output folder, the source and the settings file are where they were.
  void ExpectCleanStop(pid_t tool, pid_t helper) {
    EXPECT_FALSE(ProcessRuns(tool));
    EXPECT_FALSE(ProcessRuns(helper)) << "the tool's own program outlived the stop";
    if (ProcessRuns(helper)) kill(helper, SIGKILL);
    EXPECT_EQ(GroupMembers(tool), std::vector<pid_t>{});
    EXPECT_EQ(Entries(output.path()), std::vector<std::string>{"film.mp4"});
    EXPECT_EQ(ReadFile(output.path() / "film.mp4"), "an earlier result");
    EXPECT_EQ(ReadFile(sources.path() / "film.mkv"), "the source");
    EXPECT_TRUE(fs::exists(program.path() / "Quillet.conf"));
  }

  TempFolder program{"quillet-stop-program"};
  TempFolder output{"quillet-stop-output"};
  TempFolder sources{"quillet-stop-sources"};
};

TEST_P(Stop, DuringExtractionEndsTheToolAndUndoesTheRun) {
  const Case& c = GetParam();
  Tool("MKVToolnix/mkvextract.exe", WorkingTool(c.toolIgnoresTerm ? "trap '' TERM\n" : ""));
  StartedProgram quillet({(program.path() / "quillet").string(), "film.mkv"}, sources.str());
  const pid_t tool = Pid("tool.pid");
  const pid_t helper = Pid("helper.pid");
  ASSERT_GT(tool, 0) << quillet.Err();
  ASSERT_GT(helper, 0);
  ASSERT_TRUE(fs::exists(output.path() / "movie.h264"));
  ASSERT_TRUE(fs::exists(output.path() / "film.mp4.earlier")) << "set aside while the run works";

  const auto sent = std::chrono::steady_clock::now();
  quillet.Signal(c.signal);
  EXPECT_EQ(quillet.Wait(30), c.status) << quillet.Err();
  const auto took = std::chrono::steady_clock::now() - sent;
  // SIGKILL comes after five seconds, not before, and only when SIGTERM was not enough.
  if (c.toolIgnoresTerm)
    EXPECT_GE(took, std::chrono::milliseconds(4900));
  else
    EXPECT_LT(took, std::chrono::seconds(4));
  ExpectCleanStop(tool, helper);
  EXPECT_NE(quillet.Err().find("Conversion stopped"), std::string::npos) << quillet.Err();
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

// clang-format off
const Case kCases[] = {
    {"Term", SIGTERM, 143, false},
    {"Interrupt", SIGINT, 130, false},
    {"HangUp", SIGHUP, 143, false},
    {"TermIgnoredByTheTool", SIGTERM, 143, true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Signals, Stop, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.label; });

TEST_F(Stop, DuringInspectionLeavesNoReportBehind) {
  ReportTool(WorkingTool(""));
  StartedProgram quillet({(program.path() / "quillet").string(), "film.mkv"}, sources.str());
  const pid_t tool = Pid("tool.pid");
  const pid_t helper = Pid("helper.pid");
  ASSERT_GT(tool, 0) << quillet.Err();
  quillet.Signal(SIGTERM);
  EXPECT_EQ(quillet.Wait(30), 143) << quillet.Err();
  ExpectCleanStop(tool, helper);
}

// The window: the same stop of a conversion started from the command line, and of a
// window that waits for input. Qt draws off screen here.
const std::vector<std::string> kOffscreenDisplay = {"DISPLAY=:99", "QT_QPA_PLATFORM=offscreen"};

TEST_F(Stop, WithAWindowTheConversionIsUndoneToo) {
  Tool("MKVToolnix/mkvextract.exe", WorkingTool(""));
  StartedProgram quillet({(program.path() / "quillet").string(), "film.mkv"}, sources.str(),
                         kOffscreenDisplay);
  const pid_t tool = Pid("tool.pid");
  const pid_t helper = Pid("helper.pid");
  ASSERT_GT(tool, 0) << quillet.Err();
  quillet.Signal(SIGTERM);
  EXPECT_EQ(quillet.Wait(30), 143) << quillet.Err();
  ExpectCleanStop(tool, helper);
}

TEST_F(Stop, AWindowWaitingForInputEndsWithTheSignalsStatus) {
  for (const auto& [signal, status] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
    StartedProgram quillet({(program.path() / "quillet").string()}, sources.str(),
                           kOffscreenDisplay);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the window is up
    quillet.Signal(signal);
    EXPECT_EQ(quillet.Wait(10), status) << quillet.Err();
  }
  EXPECT_EQ(Entries(output.path()), std::vector<std::string>{"film.mp4"});
}

}  // namespace
}  // namespace quillet::test
