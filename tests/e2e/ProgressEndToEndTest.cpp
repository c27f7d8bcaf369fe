// The built program without a display, converting real films through the toolkit: what a
// script's log and a terminal get while the steps run. A log gets a handful of lines for a
// two-minute film, a terminal one status line per step that rewrites itself, and the
// tools' own words go to tools.log unless --verbose asks for them.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

size_t CountOf(const std::string& text, char c) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), c));
}

class HeadlessProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RealProgram::Built()) GTEST_SKIP() << "the program is not built";
    fs::create_directories(sources);
    fs::create_directories(output);
  }

  // A film of `seconds` at 160x120 and the settings of a conversion for the PS3.
  std::string Film(int seconds, bool recode) {
    const std::string film = (sources / "film.mkv").string();
    EXPECT_TRUE(MakeSmallFilm(film, seconds));
    ConversionSettings settings;
    settings.outputFolder = output.string() + "/";
    settings.sourceFolder = sources.string() + "/";
    settings.recode = recode;
    program.WriteSettings(settings);
    return film;
  }

  // The program started the way a terminal starts it: standard error is a pseudo-terminal.
  ProgramRun OnTerminal(const std::string& film) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY timeout -k 10 300 " +
                                ShellQuoted((program.folder() / "quillet").string()) + " " +
                                ShellQuoted(film);
    return RunShell("script -qec " + ShellQuoted(command) + " /dev/null 1>&2");
  }

  std::string ToolLog() const { return ReadFile(program.folder() / "tools.log"); }

  TempFolder dir{"progress-headless"};
  fs::path sources = dir.path() / "sources";
  fs::path output = dir.path() / "output";
  RealProgram program{dir.path() / "program"};
};

// Piped into a log: one line per step, a progress line at most every 10 seconds, no tool
// chatter. The tools' words are in tools.log, which holds this run's only.
TEST_F(HeadlessProgress, ALogOfATwoMinuteEncodeStaysShort) {
  const std::string film = Film(120, true);
  WriteFile(program.folder() / "tools.log", "an earlier run\n");
  const auto started = std::chrono::steady_clock::now();
  const ProgramRun run = program.Convert(film, dir.str());
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(output / "film.mp4"));

  // A line per step and, on a machine however busy, no more than one more every 10 s.
  size_t stepLines = 0, progressLines = 0;
  for (const std::string& line : toolkit::Split(run.err, '\n'))
    if (!line.empty()) ++(line.rfind("  ", 0) == 0 ? progressLines : stepLines);
  EXPECT_LE(stepLines, 10u) << run.err;
  EXPECT_LE(progressLines, static_cast<size_t>(took / std::chrono::seconds(10)) + 1) << run.err;
  EXPECT_LE(stepLines + progressLines, 30u) << run.err;
  EXPECT_EQ(CountOf(run.err, '\r'), 0u) << run.err;
  EXPECT_NE(run.err.find("Encoding H264\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Conversion done\n"), std::string::npos) << run.err;
  for (const char* noise : {"running:", "ffmpeg", "mkvmerge", "Progress:", "x264"})
    EXPECT_EQ(run.err.find(noise), std::string::npos) << noise << " in\n" << run.err;
  // Every line that is not a step says how far one is, or how long it has taken when its
  // tool tells nothing.
  const std::regex progressLine("  (\\d+ %|[0-9hmins ]+ in this step).*");
  for (const std::string& line : toolkit::Split(run.err, '\n'))
    if (line.rfind("  ", 0) == 0) EXPECT_TRUE(std::regex_match(line, progressLine)) << line;

  const std::string log = ToolLog();
  EXPECT_EQ(log.find("an earlier run"), std::string::npos);
  EXPECT_NE(log.find("FFMpeg/FFmpeg.exe: running: ffmpeg"), std::string::npos) << log;
}

// On a terminal the encode's status line is rewritten in place with a growing share.
TEST_F(HeadlessProgress, OnATerminalTheStatusLineRewritesItself) {
  const std::string film = Film(60, true);
  const ProgramRun run = OnTerminal(film);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(output / "film.mp4"));

  // The encode's line: "\rEncoding H264 — 42 %..." again and again before its line ends.
  const size_t start = run.err.find("\rEncoding H264");
  ASSERT_NE(start, std::string::npos) << run.err;
  const std::string encodeLine = run.err.substr(start, run.err.find('\n', start) - start);
  std::set<int> shares;
  const std::regex share("\rEncoding H264 \u2014 (\\d+) %");
  for (auto m = std::sregex_iterator(encodeLine.begin(), encodeLine.end(), share);
       m != std::sregex_iterator(); ++m)
    shares.insert(std::stoi((*m)[1]));
  EXPECT_GE(shares.size(), 3u) << encodeLine;
  EXPECT_EQ(shares.count(100), 1u) << encodeLine;
  // One line per step, however often each was rewritten.
  EXPECT_LE(CountOf(run.err, '\n'), 15u) << run.err;
  EXPECT_GT(CountOf(run.err, '\r'), CountOf(run.err, '\n') * 2) << run.err;
}

// --verbose (or QUILLET_VERBOSE=1) gives the tools our standard error, as a console
// would; the option itself is not taken for a file name.
TEST_F(HeadlessProgress, VerboseRunsShowTheToolsWords) {
  const std::string film = Film(10, false);
  const ProgramRun verbose = program.Run({"--verbose", film}, dir.str());
  ASSERT_EQ(verbose.status, 0) << verbose.err;
  EXPECT_NE(verbose.err.find("MKVToolnix/mkvextract.exe: running: mkvextract"), std::string::npos)
      << verbose.err;
  EXPECT_NE(verbose.err.find("Conversion done"), std::string::npos);

  fs::remove(output / "film.mp4");
  const ProgramRun byVariable =
      RunShell("cd " + ShellQuoted(dir.str()) +
               " && env -u DISPLAY -u WAYLAND_DISPLAY QUILLET_VERBOSE=1 timeout -k 10 300 " +
               ShellQuoted((program.folder() / "quillet").string()) + " " + ShellQuoted(film));
  ASSERT_EQ(byVariable.status, 0) << byVariable.err;
  EXPECT_NE(byVariable.err.find("running: mkvextract"), std::string::npos) << byVariable.err;
}

}  // namespace
}  // namespace quillet::test
