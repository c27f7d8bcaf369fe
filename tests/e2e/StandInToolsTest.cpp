// The built quillet program in a program folder of its own with stand-in tools (shell
// scripts that record how they were called and leave a hand-written Matroska report):
// what a script or CI job gets from it without a display, and what is left when a signal
// stops it while a tool works.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/StartedProgram.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const fs::path kBuiltProgram = fs::path(QUILLET_PROGRAM_DIR) / "quillet";

// Each call appends one line to calls.log in the program folder: the tool's name and its
// arguments, separated by tabs.
constexpr const char* kRecordCall =
    "#!/bin/sh\nlog=\"$(dirname \"$0\")/../calls.log\"\nprintf '%s' \"$(basename \"$0\")\" >> "
    "\"$log\"\nfor a in \"$@\"; do printf '\\t%s' \"$a\" >> \"$log\"; done\nprintf '\\n' >> "
    "\"$log\"\n";

// A tool that leaves a working file, starts a program of its own and waits for it, after
// writing both pids into the program folder.
std::string WorkingTool(const std::string& prologue) {
  return "#!/bin/sh\n" + prologue +
         "dir=\"$(dirname \"$0\")/..\"\nfor a in \"$@\"; do case \"$a\" in *movie.h264) echo "
         "partial > \"${a#*:}\";; esac; done\nsleep 300 &\necho $! > \"$dir/helper.pid\"\necho $$ "
         "> \"$dir/tool.pid\"\nwait\n";
}

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuiltProgram)) GTEST_SKIP() << "quillet is not built: " << kBuiltProgram;
    fs::copy_file(kBuiltProgram, program.path() / "quillet");
    ReportTool(ReportFixture("h264_ac3.txt"));
    Tool("Checker/x264_checker.exe", std::string(kRecordCall) + "echo 'dpb check: [OK]'\n");
    // A settings file as a user might leave it: LF line ends, short format and priority lines.
    WriteFile(program.path() / "Quillet.conf",
              "C:\\old\\mkvextract.exe\nC:\\old\\ffmpeg.exe\nC:\\old\\MP4Box.exe\n" +
                  output.withSep() + "\n 0 \n 1 \n/films/\n\n2\n\n 0 \n 0 \n 0 \n1\n 1 \n");
  }

  // The report tool writes `report` to the path after "-o", then runs `then`.
  void ReportTool(const std::string& report, const std::string& then = "") {
    Tool("MKVToolnix/mkvinfo.exe", std::string(kRecordCall) +
                                       "out=''; prev=''\nfor a in \"$@\"; do [ \"$prev\" = -o ] "
                                       "&& out=\"$a\"; prev=\"$a\"; done\ncat > \"$out\" "
                                       "<<'REPORT'\n" +
                                       report + "REPORT\n" + then);
  }
  void Tool(const std::string& relative, const std::string& script) {
    WriteFile(program.path() / relative, script);
    fs::permissions(program.path() / relative, fs::perms::owner_all, fs::perm_options::add);
  }
  std::string Source(const std::string& name) {
    WriteFile(sources.path() / name, "not really a film");
    return (sources.path() / name).string();
  }

  // Runs the copied program without a display, with a home folder of its own.
  ProgramRun Quillet(const Args& args) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY HOME=" + ShellQuoted(home.str()) +
                          " timeout 120 " + ShellQuoted((program.path() / "quillet").string());
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    return RunShell(command);
  }

  // The recorded calls of one tool, each as its argument list.
  std::vector<Args> Calls(const std::string& tool) const {
    std::vector<Args> calls;
    std::istringstream log(ReadFile(program.path() / "calls.log"));
    for (std::string line; std::getline(log, line);) {
      Args call = toolkit::Split(line, '\t');
      if (call[0] == tool) calls.emplace_back(call.begin() + 1, call.end());
    }
    return calls;
  }

  pid_t Pid(const std::string& file) {
    const std::string text = AwaitFile((program.path() / file).string(), 30);
    return text.empty() ? -1 : std::stoi(text);
  }

  TempFolder program{"quillet-e2e-program"};
  TempFolder output{"quillet-e2e-output"};
  TempFolder sources{"quillet-e2e-sources"};
  TempFolder home{"quillet-e2e-home"};
};

// Runs that convert nothing: a wrong or missing argument, an unsafe path, a folder with
// nothing to do; each says why on standard error with the exit status README gives.
TEST_F(StandIn, RunsThatConvertNothingSayWhy) {
  const std::string done = home.str() + "/done";
  WriteFile(done + "/film.mkv", "converted last night");
  WriteFile(output.path() / "film.mp4", "converted last night");
  const std::string usage =
      "\nusage: quillet [OPTION]... [--] FILE.mkv|FILE.avi|FILE.wmv|FOLDER...";
  const struct {
    Args args;
    int status;
    std::string says;
  } rows[] = {
      {{}, 2, usage},
      {{sources.str() + "/missing.mkv"}, 2, usage},
      {{"--", "-x.mkv"}, 2, usage},
      {{sources.str()}, 0, "No MKV files found in " + sources.str() + "."},
      {{done}, 0, "Nothing to convert in " + done + ": all 1 files are done."},
      // A line break cannot travel inside a tool's command line.
      {{home.str() + "/two\nlines.mkv"},
       1,
       "Unsafe path: This source file cannot be used: its path holds a double quote or a line "
       "break"}};
  WriteFile(home.str() + "/two\nlines.mkv", "");
  for (const auto& [args, status, says] : rows) {
    const ProgramRun run = Quillet(args);
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
    if (status == 2) EXPECT_EQ(run.err.rfind("quillet: ", 0), 0u) << run.err;
  }
  EXPECT_FALSE(fs::exists(program.path() / "calls.log"));
}

TEST_F(StandIn, AMatroskaPathWithBlanksReachesTheReportToolQuotedOrNot) {
  const std::string path = Source("my film.mkv");
  for (const Args& args : std::vector<Args>{
           {path},                               // quoted by the shell: one argument
           {sources.str() + "/my", "film.mkv"},  // unquoted: split at the blank
           {"\"" + path + "\""},                 // the quotes themselves reach the program
       }) {
    SCOPED_TRACE(args[0]);
    fs::remove(program.path() / "calls.log");
    const ProgramRun run = Quillet(args);
    EXPECT_EQ(run.status, 1) << run.err;  // the stand-ins convert nothing
    const auto calls = Calls("mkvinfo.exe");
    ASSERT_FALSE(calls.empty()) << run.err;
    // The report has a name of the program's own in the output folder, and is gone after.
    ASSERT_EQ(calls[0].size(), 3u);
    EXPECT_EQ(Args(calls[0].begin(), calls[0].begin() + 2), (Args{path, "-o"}));
    EXPECT_TRUE(std::regex_match(calls[0][2], std::regex(".*/info\\.[0-9]+\\.txt"))) << calls[0][2];
    EXPECT_EQ(fs::path(calls[0][2]).parent_path(), output.path());
    EXPECT_FALSE(fs::exists(calls[0][2]));
    EXPECT_EQ(Calls("x264_checker.exe"), std::vector<Args>{{path}});
  }
  // "Convert" rewrote the settings file: 15 lines ended by CR LF, numbers printed as the
  // program prints them, the short lines read by their rules.
  const Args lines = CrLfLines(ReadFile(program.path() / "Quillet.conf"));
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(Args(lines.begin() + 3, lines.begin() + 7),
            (Args{output.withSep(), " 0 ", " 1 ", sources.withSep()}));
  EXPECT_EQ(lines[8], " 0 ");  // "2" is not a stored index: MPEG2
  // "1" on line 14 is not a stored index either: Low.
  EXPECT_EQ(Args(lines.begin() + 10, lines.end()), (Args{" 0 ", " 0 ", " 0 ", " 0 ", " 1 "}));
}

// Stopping a run from outside while a tool works: the tool and everything it started end
// with the program, the working files and the partial result go, an earlier result is back
// in its place, and the exit status tells which signal stopped the run.
TEST_F(StandIn, ASignalEndsTheToolAndUndoesTheRun) {
  const Args window = {"DISPLAY=:99", "QT_QPA_PLATFORM=offscreen"};  // Qt draws off screen
  const struct {
    int signal, status;
    const char* tool;  // the stand-in that works until the signal comes
    std::string prologue;
    Args environment;
  } rows[] = {{SIGTERM, 143, "MKVToolnix/mkvextract.exe", "", {}},
              {SIGINT, 130, "MKVToolnix/mkvextract.exe", "", {}},
              {SIGHUP, 143, "MKVToolnix/mkvextract.exe", "", {}},
              // SIGKILL comes after five seconds, and only when SIGTERM was not enough.
              {SIGTERM, 143, "MKVToolnix/mkvextract.exe", "trap '' TERM\n", {}},
              {SIGTERM, 143, "MKVToolnix/mkvextract.exe", "", window},
              {SIGTERM, 143, "MKVToolnix/mkvinfo.exe", "", {}}};
  WriteFile(sources.path() / "film.mkv", "the source");
  for (const auto& [signal, status, tool, prologue, environment] : rows) {
    SCOPED_TRACE(std::string(tool) + " " + std::to_string(signal) + " " + prologue);
    WriteFile(output.path() / "film.mp4", "an earlier result");
    for (const char* stale : {"tool.pid", "helper.pid"}) fs::remove(program.path() / stale);
    const bool inspecting = std::string(tool).find("mkvinfo") != std::string::npos;
    fs::remove(program.path() / "MKVToolnix/mkvextract.exe");
    if (inspecting)
      ReportTool(ReportFixture("h264_ac3.txt"), WorkingTool(prologue));
    else
      Tool(tool, WorkingTool(prologue));
    StartedProgram quillet({(program.path() / "quillet").string(), "film.mkv"}, sources.str(),
                           environment);
    const pid_t worker = Pid("tool.pid"), helper = Pid("helper.pid");
    ASSERT_GT(worker, 0) << quillet.Err();
    ASSERT_GT(helper, 0);
    if (!inspecting) {
      ASSERT_TRUE(fs::exists(output.path() / "movie.h264"));
      ASSERT_TRUE(fs::exists(output.path() / "film.mp4.earlier")) << "set aside while it works";
    }
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
    if (!inspecting && environment.empty())
      EXPECT_NE(quillet.Err().find("Conversion stopped"), std::string::npos) << quillet.Err();
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
