// The POSIX tool runner against real child processes: small shell scripts in a
// temporary folder, called with quoted paths as the conversion code calls its tools.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/support/StartedProgram.h"
#include "tests/support/TestApp.h"
#include "tools/PosixToolRunner.h"
#include "tools/StopRequest.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) {
  return "\"" + path.string() + "\"";
}

class ToolRunnerTest : public ::testing::Test {
 protected:
  // Every path goes through a folder with blanks in its name, as "My Films" would.
  fs::path Script(const std::string& relative, const std::string& body) {
    fs::path path = dir.path() / "my tools" / relative;
    WriteFile(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    return path;
  }

  // Whatever a test did, no child of ours may be left unreaped.
  void TearDown() override {
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child was left behind";
    EXPECT_EQ(errno, ECHILD);
  }

  TempFolder dir{"quillet-runner"};
  PosixToolRunner runner;
};

TEST_F(ToolRunnerTest, ReturnsTheExitCodeOfTheChild) {
  struct Case {
    std::string body;
    int code;
  };
  // 127 and 126 are ordinary exit codes here, not start failures; a signal gives 128 + n.
  for (const Case& c : {Case{"exit 0", 0}, Case{"exit 3", 3}, Case{"exit 127", 127},
                        Case{"exit 126", 126}, Case{"kill -KILL $$", 128 + 9}}) {
    fs::path tool = Script("code.sh", c.body);
    EXPECT_EQ(runner.RunTool(Quoted(tool), ToolPriority::Low), c.code) << c.body;
  }
}

TEST_F(ToolRunnerTest, ProgramsThatCannotBeStartedGiveMinusOneAndTheFailureText) {
  WriteFile(dir.path() / "plain.txt", "not a program\n");
  fs::path noFormat = dir.path() / "garbage.exe";  // executable bit, but no program inside
  WriteFile(noFormat, "\x7f\x01garbage");
  fs::permissions(noFormat, fs::perms::owner_all);
  const std::string lines[] = {
      Quoted(dir.path() / "missing.exe") + " -x",
      Quoted(dir.path() / "plain.txt"),
      Quoted(noFormat),
      Quoted(dir.path()),  // a folder
      "",
      "   ",
  };
  for (const std::string& line : lines) {
    EXPECT_EQ(runner.RunTool(line, ToolPriority::Low), -1) << line;
    EXPECT_EQ(runner.GetCommandOutput(line, true, false, true), kCreateProcessFailed) << line;
    EXPECT_NO_THROW(runner.RunToolHidden(line, ToolPriority::High));
  }
}

TEST_F(ToolRunnerTest, ArgumentsArriveAsWindowsWouldPassThem) {
  fs::path tool = Script("args.sh", R"(for a in "$@"; do printf '[%s]' "$a"; done)");
  std::string line =
      Quoted(tool) + " -i " + Quoted(dir.path() / "a film.mkv") + "  -o  \"x\"\"y\" \"\" a\\\"b";
  EXPECT_EQ(runner.GetCommandOutput(line, true, false, true),
            "[-i][" + (dir.path() / "a film.mkv").string() + "][-o][x\"y][][a\"b]");
}

TEST_F(ToolRunnerTest, ChildInheritsEnvironmentAndFolderAndReadsNothing) {
  setenv("QUILLET_RUNNER_TEST", "from the parent", 1);
  fs::path tool =
      Script("env.sh", "echo \"$QUILLET_RUNNER_TEST\"; pwd -P; read x; echo \"read=$?\"");
  EXPECT_EQ(runner.GetCommandOutput(Quoted(tool), true, false, true),
            "from the parent\n" + fs::current_path().string() + "\nread=1\n");
  unsetenv("QUILLET_RUNNER_TEST");
}

TEST_F(ToolRunnerTest, CapturesLongReportsCompletelyAndInOrder) {
  fs::path tool = Script("long.sh",
                         "i=0; while [ $i -lt 12000 ]; do echo \"line $i of the report\"; "
                         "i=$((i+1)); done");
  std::string expected;
  for (int i = 0; i < 12000; ++i) expected += "line " + std::to_string(i) + " of the report\n";
  ASSERT_GT(expected.size(), 100000u);
  EXPECT_EQ(runner.GetCommandOutput(Quoted(tool), true, false, true), expected);
}

TEST_F(ToolRunnerTest, CapturesOnlyTheStreamsAskedFor) {
  fs::path tool = Script("streams.sh", "echo out1; echo err1 >&2; echo out2; echo err2 >&2");
  EXPECT_EQ(runner.GetCommandOutput(Quoted(tool), true, false, true), "out1\nout2\n");
  EXPECT_EQ(runner.GetCommandOutput(Quoted(tool), false, true, true), "err1\nerr2\n");
  EXPECT_EQ(runner.GetCommandOutput(Quoted(tool), true, true, true), "out1\nerr1\nout2\nerr2\n");
}

TEST_F(ToolRunnerTest, AskingForNoStreamIsRefusedBeforeAnythingRuns) {
  fs::path marker = dir.path() / "ran";
  fs::path tool = Script("touch.sh", "touch " + Quoted(marker));
  EXPECT_THROW(runner.GetCommandOutput(Quoted(tool), false, false, true), std::invalid_argument);
  EXPECT_FALSE(fs::exists(marker));
}

// A stop asked for (the signal handler's flag) ends the running tool with everything it
// started, and no tool starts after it.
class ToolRunnerStop : public ToolRunnerTest {
 protected:
  void TearDown() override {
    ClearStopRequest();
    ToolRunnerTest::TearDown();
  }

  // Writes its pid and process group, starts a program of its own and waits for it.
  fs::path WorkingTool() {
    return Script("work.sh",
                  "set -- $(cat /proc/$$/stat)\n"
                  "sleep 300 &\n"
                  "echo $! > " +
                      Quoted(dir.path() / "helper") + "\n" + "echo $5 > " +
                      Quoted(dir.path() / "group") + "\n" + "echo $$ > " +
                      Quoted(dir.path() / "pid") + "\nwait\n");
  }

  // The idle callback asks for the stop once the tool has told its pid.
  void StopOnceStarted() {
    runner.SetIdleCallback([this] {
      if (fs::exists(dir.path() / "pid") && !ReadFile(dir.path() / "pid").empty())
        RequestStop(SIGTERM);
    });
  }

  void ExpectGroupGone() {
    const pid_t pid = std::stoi(ReadFile(dir.path() / "pid"));
    const pid_t helper = std::stoi(AwaitFile((dir.path() / "helper").string(), 5));
    EXPECT_EQ(std::stoi(ReadFile(dir.path() / "group")), pid) << "a process group of its own";
    EXPECT_NE(pid, getpgrp());
    EXPECT_FALSE(ProcessRuns(pid));
    EXPECT_FALSE(ProcessRuns(helper));
    EXPECT_EQ(GroupMembers(pid), std::vector<pid_t>{});
  }
};

TEST_F(ToolRunnerStop, NoToolStartsOnceAStopIsAskedFor) {
  fs::path marker = dir.path() / "ran";
  const std::string line = Quoted(Script("touch.sh", "touch " + Quoted(marker)));
  RequestStop(SIGINT);
  EXPECT_THROW(runner.RunTool(line, ToolPriority::Low), RunStopped);
  EXPECT_THROW(runner.RunToolHidden(line, ToolPriority::Low), RunStopped);
  EXPECT_THROW(runner.GetCommandOutput(line, true, false, true), RunStopped);
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_EQ(StopExitStatus(), 130);
}

TEST_F(ToolRunnerStop, ARunningToolIsStoppedWithItsWholeGroup) {
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    ClearStopRequest();
    for (const char* name : {"pid", "helper", "group"}) fs::remove(dir.path() / name);
    const std::string line = Quoted(WorkingTool());
    StopOnceStarted();
    if (way == 0) EXPECT_THROW(runner.RunTool(line, ToolPriority::Low), RunStopped);
    if (way == 1) EXPECT_THROW(runner.RunToolHidden(line, ToolPriority::Low), RunStopped);
    if (way == 2) EXPECT_THROW(runner.GetCommandOutput(line, true, true, true), RunStopped);
    ExpectGroupGone();
    EXPECT_EQ(StopExitStatus(), 143);
  }
}

// The child writes the nice value it runs at (field 19 of its /proc stat line).
class ToolRunnerPriority : public ToolRunnerTest {
 protected:
  int NiceOfChild(ToolPriority priority, bool hidden = false) {
    fs::path out = dir.path() / "nice.txt";
    fs::remove(out);
    fs::path tool = Script("nice.sh", "out=$1; set -- $(cat /proc/$$/stat); echo ${19} > \"$out\"");
    std::string line = Quoted(tool) + " " + Quoted(out);
    if (hidden)
      runner.RunToolHidden(line, priority);
    else
      runner.RunTool(line, priority);
    return std::stoi(ReadFile(out));
  }
  int own = getpriority(PRIO_PROCESS, 0);
};

// Low runs ten steps nicer than us, High ahead of us where that is allowed, Normal at
// ours, whether the tool is shown or hidden; a report runs at our own priority.
TEST_F(ToolRunnerPriority, ToolsRunAtTheirPriorityAndReportsAtOurs) {
  const int high = geteuid() == 0 ? std::max(own - 5, -20) : own;
  for (bool hidden : {false, true}) {
    EXPECT_EQ(NiceOfChild(ToolPriority::Low, hidden), std::min(own + 10, 19)) << hidden;
    EXPECT_EQ(NiceOfChild(ToolPriority::High, hidden), high) << hidden;
    EXPECT_EQ(NiceOfChild(ToolPriority::Normal, hidden), own) << hidden;
  }
  fs::path tool = Script("nice-report.sh", "set -- $(cat /proc/$$/stat); echo ${19}");
  EXPECT_EQ(std::stoi(runner.GetCommandOutput(Quoted(tool), true, false, true)), own);
}

TEST_F(ToolRunnerTest, WaitsForTheChildAndCallsIdleMeanwhile) {
  int idleCalls = 0;
  runner.SetIdleCallback([&] { ++idleCalls; });
  fs::path tool = Script("slow.sh", "sleep 0.5; echo done");

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(runner.RunTool(Quoted(tool), ToolPriority::Low), 0);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(480));
  EXPECT_GE(idleCalls, 3);
  EXPECT_LE(idleCalls, waited / std::chrono::milliseconds(100) + 1);  // not a busy loop

  idleCalls = 0;
  EXPECT_EQ(runner.GetCommandOutput(Quoted(tool), true, false, true), "done\n");
  EXPECT_GE(idleCalls, 3);
}

// A report is complete when the tool closes its output; a tool that stays on after that
// does not hold the window up, and is still reaped once it has ended.
TEST_F(ToolRunnerTest, CaptureReturnsWhenTheOutputEndsAndALingeringChildIsReapedLater) {
  fs::path marker = dir.path() / "finished";
  fs::path tool =
      Script("linger.sh", "echo report; exec >&- 2>&-; sleep 2; touch " + Quoted(marker));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(runner.GetCommandOutput(Quoted(tool), true, true, true), "report\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_FALSE(fs::exists(marker));

  fs::path quick = Script("quick.sh", "exit 0");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool childrenLeft = true;
  while (childrenLeft && std::chrono::steady_clock::now() < deadline) {
    runner.RunTool(Quoted(quick), ToolPriority::Low);
    siginfo_t info{};
    // Looks without reaping: only the runner may reap its children.
    childrenLeft = waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0;
    if (childrenLeft) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(childrenLeft);
  EXPECT_TRUE(fs::exists(marker));
}

TEST_F(ToolRunnerTest, FindsTheProgramWithoutRegardToCase) {
  fs::path tool = Script("Tools/Run.sh", "exit 7");
  fs::path asWritten = dir.path() / "MY TOOLS" / "tools" / "run.sh";
  EXPECT_EQ(runner.RunTool(Quoted(asWritten), ToolPriority::Low), 7);
  // The tool table spells one folder "FFMpeg" and "ffmpeg".
  Script("ffmpeg/faad.exe", "echo faad");
  EXPECT_EQ(runner.GetCommandOutput(Quoted(dir.path() / "my tools" / "FFMpeg" / "faad.exe"), true,
                                    false, true),
            "faad\n");
}

TEST_F(ToolRunnerTest, FindsABareProgramNameInThePath) {
  EXPECT_EQ(runner.GetCommandOutput("sh -c \"echo in path\"", true, false, true), "in path\n");
}

}  // namespace
}  // namespace quillet::test
