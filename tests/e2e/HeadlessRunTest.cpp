// The quillet program run without a display, as a script or CI job runs it: the real
// executable in a program folder of its own, with stand-in tools that record how they
// were called and leave a hand-written Matroska report.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const fs::path kBuiltProgram = fs::path(QUILLET_PROGRAM_DIR) / "quillet";

// Each call appends one line to calls.log in the program folder: the tool's name and
// its arguments, separated by tabs.
constexpr const char* kRecordCall =
    "#!/bin/sh\n"
    "log=\"$(dirname \"$0\")/../calls.log\"\n"
    "printf '%s' \"$(basename \"$0\")\" >> \"$log\"\n"
    "for a in \"$@\"; do printf '\\t%s' \"$a\" >> \"$log\"; done\n"
    "printf '\\n' >> \"$log\"\n";

class HeadlessRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuiltProgram))
      GTEST_SKIP() << "the quillet program is not built: " << kBuiltProgram;
    fs::copy_file(kBuiltProgram, program.path() / "quillet");
    ReportTool(ReportFixture("h264_ac3.txt"));
    Tool("Checker/x264_checker.exe", std::string(kRecordCall) + "echo 'dpb check: [OK]'\n");
    // A settings file as a user might leave it: LF line ends, short format and priority lines.
    WriteFile(program.path() / "Quillet.conf",
              "C:\\old\\mkvextract.exe\nC:\\old\\ffmpeg.exe\nC:\\old\\MP4Box.exe\n" +
                  output.withSep() + "\n 0 \n 1 \n/films/\n\n2\n\n 0 \n 0 \n 0 \n1\n 1 \n");
  }

  // The report tool writes `report` to the path after "-o".
  void ReportTool(const std::string& report) {
    Tool("MKVToolnix/mkvinfo.exe",
         std::string(kRecordCall) +
             "out=''; prev=''\n"
             "for a in \"$@\"; do [ \"$prev\" = -o ] && out=\"$a\"; prev=\"$a\"; done\n"
             "[ -n \"$out\" ] && cat > \"$out\" <<'REPORT'\n" +
             report + "REPORT\n");
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
      std::istringstream fields(line);
      Args call;
      for (std::string field; std::getline(fields, field, '\t');) call.push_back(field);
      if (call[0] == tool) calls.emplace_back(call.begin() + 1, call.end());
    }
    return calls;
  }
  Args ReportedSources() const {
    Args seen;
    for (const Args& call : Calls("mkvinfo.exe"))
      if (!call.empty()) seen.push_back(call[0]);
    return seen;
  }

  TempFolder program{"quillet-e2e-program"};
  TempFolder output{"quillet-e2e-output"};
  TempFolder sources{"quillet-e2e-sources"};
  TempFolder home{"quillet-e2e-home"};
};

TEST_F(HeadlessRun, ArgumentsThatNameNothingToConvertGetTheUsageLine) {
  for (const Args& args :
       std::vector<Args>{{}, {sources.str() + "/missing.mkv"}, {"--", "-x.mkv"}}) {
    SCOPED_TRACE(args.empty() ? "(no argument)" : args.back());
    ProgramRun run = Quillet(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("quillet: ", 0), 0u) << run.err;
    EXPECT_NE(
        run.err.find("\nusage: quillet [OPTION]... [--] FILE.mkv|FILE.avi|FILE.wmv|FOLDER..."),
        std::string::npos)
        << run.err;
  }
  EXPECT_FALSE(fs::exists(program.path() / "calls.log"));
}

TEST_F(HeadlessRun, AMatroskaPathWithBlanksReachesTheReportToolQuotedOrNot) {
  const std::string path = Source("my film.mkv");
  for (const Args& args : std::vector<Args>{
           {path},                               // quoted by the shell: one argument
           {sources.str() + "/my", "film.mkv"},  // unquoted: split at the blank
           {"\"" + path + "\""},                 // the quotes themselves reach the program
       }) {
    SCOPED_TRACE(args[0]);
    fs::remove(program.path() / "calls.log");
    ProgramRun run = Quillet(args);
    // The stand-in tools cannot convert anything, so the run fails.
    EXPECT_EQ(run.status, 1) << run.err;
    const auto calls = Calls("mkvinfo.exe");
    ASSERT_FALSE(calls.empty()) << run.err;
    // The output folder comes from the settings file; the report has a name of the
    // program's own there ("info.<pid>.txt") and is gone afterwards.
    ASSERT_EQ(calls[0].size(), 3u);
    EXPECT_EQ(Args(calls[0].begin(), calls[0].begin() + 2), (Args{path, "-o"}));
    EXPECT_TRUE(std::regex_match(calls[0][2], std::regex(".*/info\\.[0-9]+\\.txt"))) << calls[0][2];
    EXPECT_EQ(fs::path(calls[0][2]).parent_path(), output.path());
    EXPECT_FALSE(fs::exists(calls[0][2]));
    EXPECT_EQ(Calls("x264_checker.exe"), std::vector<Args>{{path}});
  }
}

TEST_F(HeadlessRun, TheSettingsFileIsReadAndRewrittenByItsRules) {
  const std::string path = Source("film.mkv");
  Quillet({path});
  EXPECT_EQ(ReportedSources(), Args{path});

  // "Convert" rewrote it: 15 lines ended by CR LF, numbers printed as the program
  // prints them, the short lines read by their rules.
  const Args lines = CrLfLines(ReadFile(program.path() / "Quillet.conf"));
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[3], output.withSep());
  EXPECT_EQ(Args(lines.begin() + 4, lines.begin() + 6), (Args{" 0 ", " 1 "}));
  EXPECT_EQ(lines[6], sources.withSep());  // the folder of the last source
  EXPECT_EQ(lines[8], " 0 ");              // "2" is not a stored index: MPEG2
  // "1" on line 14 is not a stored index either: Low.
  EXPECT_EQ(Args(lines.begin() + 10, lines.end()), (Args{" 0 ", " 0 ", " 0 ", " 0 ", " 1 "}));
}

// The older layout of the report tool, with AAC, then AC3 audio, and subtitles.
TEST_F(HeadlessRun, ALegacyReportWithTwoAudioTracksIsLoggedAndItsFirstTrackExtracted) {
  const std::string report = ReportFixture("multi_audio.txt");
  ReportTool(report);
  Tool("MKVToolnix/mkvextract.exe", kRecordCall);
  const std::string path = Source("anime.mkv");
  ProgramRun run = Quillet({path});
  EXPECT_EQ(run.status, 1) << run.err;  // the stand-ins convert nothing
  ASSERT_EQ(ReportedSources(), Args{path});

  // The log starts with the whole report, line by line, then what the parser found.
  Args expected = SplitLines(report);
  for (const char* finding :
       {"AVC mkv", "Video found on track 1",
        "Video info: Pixel resolution: 1280x 720. Display resolution adaptation: "})
    expected.push_back(finding);
  Args logged = CrLfLines(ReadFile(program.path() / "debug.log"));
  logged.resize(std::min(logged.size(), expected.size()));
  EXPECT_EQ(logged, expected);

  // The first audio track is the one converted: track 2, as AAC, beside video track 1.
  const auto extractions = Calls("mkvextract.exe");
  ASSERT_FALSE(extractions.empty()) << run.err;
  const Args& call = extractions[0];
  ASSERT_GE(call.size(), 3u);
  EXPECT_EQ(Args(call.begin(), call.begin() + 2), (Args{"tracks", path}));
  for (const std::string& arg :
       {"1:" + output.withSep() + "movie.h264", "2:" + output.withSep() + "movie.aac"})
    EXPECT_NE(std::find(call.begin(), call.end(), arg), call.end()) << arg;
}

TEST_F(HeadlessRun, MessageBoxesAppearOnStandardErrorAsTitleAndText) {
  // A line break cannot travel inside a tool's command line: the source is refused.
  ProgramRun run = Quillet({Source("two\nlines.mkv")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Unsafe path: This source file cannot be used: its path holds a "
                         "double quote or a line break"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(program.path() / "calls.log"));
}

TEST_F(HeadlessRun, AFolderWithNothingToConvertSaysWhyAndSucceeds) {
  ProgramRun empty = Quillet({sources.str()});
  EXPECT_EQ(empty.status, 0) << empty.err;
  EXPECT_NE(empty.err.find("No MKV files found in " + sources.str() + "."), std::string::npos)
      << empty.err;

  Source("film.mkv");
  WriteFile(output.path() / "film.mp4", "converted last night");
  ProgramRun allDone = Quillet({sources.str()});
  EXPECT_EQ(allDone.status, 0) << allDone.err;
  EXPECT_NE(allDone.err.find("Nothing to convert in " + sources.str() + ": all 1 files are done."),
            std::string::npos)
      << allDone.err;
  EXPECT_FALSE(fs::exists(program.path() / "calls.log"));
}

}  // namespace
}  // namespace quillet::test
