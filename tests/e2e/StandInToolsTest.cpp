// The built program with stand-in tools (shell scripts that record their calls and leave a
// hand-written report): runs that convert nothing, and signals while a tool works.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/StartedProgram.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Each call appends the tool's name and arguments, tab-separated, to calls.log.
const std::string kRecordCall =
    "#!/bin/sh\nlog=\"$(dirname \"$0\")/../calls.log\"\nprintf '%s' \"$(basename \"$0\")\" >> "
    "\"$log\"\nfor a in \"$@\"; do printf '\\t%s' \"$a\" >> \"$log\"; done\necho >> \"$log\"\n";

// A tool that leaves a working file and waits for a program of its own; both pids are kept.
std::string WorkingTool(const std::string& prologue) {
  return "#!/bin/sh\n" + prologue +
         "dir=\"$(dirname \"$0\")/..\"\nfor a in \"$@\"; do case \"$a\" in *movie.h264) echo "
         "partial > \"${a#*:}\";; esac; done\nsleep 300 &\necho $! > \"$dir/helper.pid\"\necho $$ "
         "> \"$dir/tool.pid\"\nwait\n";
}

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireBuiltProgram();
    fs::copy_file(RealProgram::BuiltFolder() / "quillet", program.path() / "quillet");
    ReportTool("");
    Tool("Checker/x264_checker.exe", kRecordCall + "echo 'dpb check: [OK]'\n");
    WriteFile(program.path() / "Quillet.conf", "\n\n\n" + output.withSep() + "\n");
  }
  // The report tool writes a report to the path after "-o", then runs `then`.
  void ReportTool(const std::string& then) {
    Tool("MKVToolnix/mkvinfo.exe", kRecordCall +
                                       "out=''; prev=''\nfor a in \"$@\"; do [ \"$prev\" = -o ] "
                                       "&& out=\"$a\"; prev=\"$a\"; done\ncat > \"$out\" "
                                       "<<'REPORT'\n" +
                                       ReportFixture("h264_ac3.txt") + "REPORT\n" + then);
  }
  void Tool(const std::string& relative, const std::string& script) {
    WriteFile(program.path() / relative, script);
    fs::permissions(program.path() / relative, fs::perms::owner_all, fs::perm_options::add);
  }
  // Runs the copied program without a display, with a home folder of its own.
  ProgramRun Quillet(const Args& args) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY HOME=" + ShellQuoted(home.str()) +
                          " timeout 120 " + ShellQuoted((program.path() / "quillet").string());
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    return RunShell(command);
  }
  pid_t Pid(const std::string& file) {  // 0 when the tool never wrote it
    return std::atoi(AwaitFile((program.path() / file).string(), 30).c_str());
  }

  TempFolder program{"quillet-e2e-program"}, output{"quillet-e2e-output"};
  TempFolder sources{"quillet-e2e-sources"}, home{"quillet-e2e-home"};
};

// Runs that convert nothing: a wrong or missing argument, a folder with nothing to do, an
// unsafe path; each says why on standard error, with the exit status README gives.
TEST_F(StandIn, RunsThatConvertNothingSayWhy) {
  const std::string done = home.str() + "/done", unsafe = home.str() + "/two\nlines.mkv";
  WriteFile(done + "/film.mkv", "converted last night");
  WriteFile(output.path() / "film.mp4", "converted last night");
  WriteFile(unsafe, "");
  const std::string usage =
      "\nusage: quillet [OPTION]... [--] FILE.mkv|FILE.avi|FILE.wmv|FOLDER...";
  const struct {
    Args args;
    int status;
    std::string says;
  } rows[] = {{{}, 2, usage},
              {{sources.str() + "/missing.mkv"}, 2, usage},
              {{"--", "-x.mkv"}, 2, usage},
              {{sources.str()}, 0, "No MKV files found in " + sources.str() + "."},
              {{done}, 0, "Nothing to convert in " + done + ": all 1 files are done."},
              // A line break cannot travel inside a tool's command line.
              {{unsafe},
               1,
               "Unsafe path: This source file cannot be used: its path holds a "
               "double quote or a line break"}};
  for (const auto& [args, status, says] : rows) {
    const ProgramRun run = Quillet(args);
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_TRUE(Holds(run.err, says));
    if (status == 2) EXPECT_EQ(run.err.rfind("quillet: ", 0), 0u) << run.err;
  }
  EXPECT_FALSE(fs::exists(program.path() / "calls.log"));
}

// Stopping a run from outside while a tool works: the tool and everything it started end
// with the program, the working files and the partial result go, an earlier result is back
// in its place, and the exit status tells which signal stopped the run.
TEST_F(StandIn, ASignalEndsTheToolAndUndoesTheRun) {
  const Args window = {"DISPLAY=:99", "QT_QPA_PLATFORM=offscreen"};  // Qt draws off screen
  const struct {
    int signal, status;
    bool extracting;  // else inspecting
    std::string prologue;
    Args environment;
  } rows[] = {{SIGTERM, 143, true, "", {}},
              {SIGINT, 130, true, "", {}},
              {SIGHUP, 143, true, "", {}},
              // SIGKILL comes after five seconds, and only when SIGTERM was not enough.
              {SIGTERM, 143, true, "trap '' TERM\n", {}},
              {SIGTERM, 143, true, "", window},
              {SIGTERM, 143, false, "", {}}};
  WriteFile(sources.path() / "film.mkv", "the source");
  for (const auto& [signal, status, extracting, prologue, environment] : rows) {
    SCOPED_TRACE(std::to_string(signal) + (extracting ? " extracting " : " inspecting ") +
                 prologue + (environment.empty() ? "" : "with a window"));
    WriteFile(output.path() / "film.mp4", "an earlier result");
    for (const char* stale : {"tool.pid", "helper.pid"}) fs::remove(program.path() / stale);
    if (extracting)
      Tool("MKVToolnix/mkvextract.exe", WorkingTool(prologue));
    else
      ReportTool(WorkingTool(prologue));
    StartedProgram quillet({(program.path() / "quillet").string(), "film.mkv"}, sources.str(),
                           environment);
    const pid_t worker = Pid("tool.pid"), helper = Pid("helper.pid");
    ASSERT_GT(worker, 0) << quillet.Err();
    ASSERT_GT(helper, 0);
    ASSERT_EQ(fs::exists(output.path() / "movie.h264"), extracting);
    ASSERT_EQ(fs::exists(output.path() / "film.mp4.earlier"), extracting) << "set aside";
    const auto sent = std::chrono::steady_clock::now();
    quillet.Signal(signal);
    EXPECT_EQ(quillet.Wait(30), status) << quillet.Err();
    const auto took = std::chrono::steady_clock::now() - sent;
    if (prologue.empty())
      EXPECT_LT(took, std::chrono::seconds(4));
    else
      EXPECT_GE(took, std::chrono::milliseconds(4900));
    EXPECT_FALSE(ProcessRuns(worker));
    EXPECT_FALSE(ProcessRuns(helper)) << "the tool's own program outlived the stop";
    if (ProcessRuns(helper)) kill(helper, SIGKILL);
    EXPECT_EQ(GroupMembers(worker), std::vector<pid_t>{});
    EXPECT_EQ(Entries(output.path()), Args{"film.mp4"});
    EXPECT_EQ(ReadFile(output.path() / "film.mp4"), "an earlier result");
    EXPECT_EQ(ReadFile(sources.path() / "film.mkv"), "the source");
    EXPECT_TRUE(fs::exists(program.path() / "Quillet.conf"));
    if (extracting && environment.empty()) EXPECT_TRUE(Holds(quillet.Err(), "Conversion stopped"));
  }
  // A window waiting for input ends with the signal's status too.
  for (const auto& [signal, status] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
    StartedProgram quillet({(program.path() / "quillet").string()}, sources.str(), window);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the window is up
    quillet.Signal(signal);
    EXPECT_EQ(quillet.Wait(10), status) << quillet.Err();
  }
}

}  // namespace
}  // namespace quillet::test
