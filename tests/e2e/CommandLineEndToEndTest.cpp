// The built program run from command lines as scripts write them: two runs at once, names
// that look like options, a wrong option, and what a log or a terminal gets meanwhile.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/StartedProgram.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class CommandLine : public ProgramTest {
 protected:
  // A small film with 5.1 AC3 sound, copied into "films".
  std::string Film(const std::string& name, int seconds) {
    fs::create_directories(films);
    fs::copy_file(
        TestFilm(name, "160x120", seconds, "-c:v libx264 -preset veryfast -c:a ac3 -ac 6"),
        films / name);
    return (films / name).string();
  }
  fs::path films = work.path() / "films";
};

// Two conversions into one output folder share its working names: the second waits for
// the first, whether both run from one program folder or each from its own (two users).
TEST_F(CommandLine, TwoRunsAtOnceTakeTurnsAndEachResultHoldsItsOwnFilm) {
  const std::vector<std::pair<std::string, int>> made = {{"long film", 4}, {"short film", 2}};
  Args films;
  for (const auto& [name, seconds] : made) films.push_back(Film(name + ".mkv", seconds));
  const RealProgram other(work.path() / "another program");
  other.WriteSettings({output.string() + "/", work.str() + "/"});
  const RealProgram* first = &program;
  for (const RealProgram* second : {first, &other}) {
    fs::remove_all(output);
    fs::create_directories(output);
    std::vector<std::unique_ptr<StartedProgram>> runs;
    for (const RealProgram* run : {first, second})
      runs.push_back(std::make_unique<StartedProgram>(
          Args{(run->folder() / "quillet").string(), films[runs.size()]}, start.string(),
          runs.empty() ? Args{} : Args{"QUILLET_VERBOSE=1"}));
    int waited = 0;
    for (auto& run : runs) {
      EXPECT_EQ(run->Wait(300), 0) << run->Err();
      waited += run->Err().find("Waiting for the conversion already running") != std::string::npos;
    }
    EXPECT_EQ(waited, 1) << "they were started together: one of them had to wait";
    // QUILLET_VERBOSE=1 gives the tools' words to standard error, as --verbose does.
    EXPECT_FALSE(Holds(runs[0]->Err(), "running: mkvextract"));
    EXPECT_TRUE(Holds(runs[1]->Err(), "running: mkvextract"));
    EXPECT_EQ(Entries(output), (Args{"long film.mp4", "short film.mp4"}));
    for (const auto& [name, seconds] : made) ExpectLength(Out(name + ".mp4"), seconds);
  }
}

// Only the extension of a film's name changes in its result, whatever bytes the name
// holds; a film refused or failed makes the exit status 1, and an earlier result of a name
// too long for "NAME.earlier" still comes back whole when the run fails.
TEST_F(CommandLine, OddNamesKeepEveryByteAndFailuresSaySo) {
  const std::string film = Film("film.mkv", 2), latin1 = "caf\xe9", longName(246, 'x');
  for (const std::string& name :
       Args{"film..mkv", latin1 + ".mkv", "noext", "say \"hi\".mkv", longName + ".mkv"})
    fs::copy_file(film, films / name);
  const struct {
    Args args;
    int status;
    Args results;
  } cases[] = {
      {{"--avchd", "film..mkv"}, 0, {"film."}},
      {{"--m2ts", latin1 + ".mkv"}, 0, {latin1 + ".mpg"}},
      {{"--avchd", latin1 + ".mkv"}, 0, {latin1}},
      {{"noext"}, 0, {"noext.mp4"}},
      {{"say \"hi\".mkv", "film.mkv"}, 1, {"film.mp4"}},
      // Without the MP4 muxer the run fails; the road keeps its working files then.
      {{longName + ".mkv"}, 1, {"movie.264", "movie.aac", longName + ".mp4"}},
  };
  for (const auto& c : cases) {
    fs::remove_all(output);
    fs::create_directories(output);
    if (c.args[0] == longName + ".mkv") {
      WriteFile(output / (longName + ".mp4"), "earlier");
      fs::rename(program.folder() / "MP4Box", work.path() / "MP4Box");
    }
    const ProgramRun run = program.Run(c.args, films.string());
    EXPECT_EQ(run.status, c.status) << c.args[0] << run.err;
    EXPECT_EQ(Entries(output), c.results) << c.args[0] << run.err;
  }
  EXPECT_EQ(ReadFile(output / (longName + ".mp4")), "earlier");
}

// Sources named like options, relative to the folder the program starts in, one before
// "--" and one after, converted in the order given; --verbose shows the tools' words.
TEST_F(CommandLine, NamesLikeOptionsAreFilmsConvertedInOrder) {
  Film("-p.mkv", 3);
  Film("-o.mkv", 2);
  const ProgramRun run =
      program.Run({"--verbose", "--priority", "normal", "-p.mkv", "--", "-o.mkv"}, films.string());
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Entries(output), (Args{"-o.mp4", "-p.mp4"})) << run.err;
  ExpectLength(Out("-p.mp4"), 3);
  ExpectLength(Out("-o.mp4"), 2);
  const std::string log = ReadFile(program.folder() / "debug.log");
  ASSERT_NE(log.find("-p.mkv"), std::string::npos) << log;
  EXPECT_LT(log.find("-p.mkv"), log.find("-o.mkv")) << log;
  EXPECT_TRUE(Holds(run.err, "MKVToolnix/mkvextract.exe: running: mkvextract"));
}

// A wrong option or a refused pair is answered before anything runs or is written.
TEST_F(CommandLine, AWrongOptionSaysWhichRunsNothingAndWritesNothing) {
  WriteFile(start / "film.mkv", "a film it never looks at");
  const std::string before = ReadFile(program.folder() / "Quillet.conf");
  const Args programFiles = Entries(program.folder());
  for (const Args& args :
       {Args{"--recode", "divx", "film.mkv"}, Args{"--recode", "h264", "--25fps", "film.mkv"}}) {
    const ProgramRun run = Run(args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err.rfind("quillet: " + args[args.size() == 3 ? 0 : 2], 0), 0u) << run.err;
    EXPECT_TRUE(Holds(run.err, "\nusage: quillet"));
    EXPECT_EQ(ReadFile(program.folder() / "Quillet.conf"), before);
    EXPECT_EQ(Entries(program.folder()), programFiles);  // no debug log either
    EXPECT_EQ(Entries(output), Args{});
  }
}

// A FIFO never ends, nor does a device: the first tool would wait for a writer, or read,
// for ever. Each is refused with one line before any tool runs; a folder run converts the
// rest, and the check says it cannot read it.
TEST_F(CommandLine, AFifoOrADeviceIsRefusedAndNothingHangs) {
  Film("real.mkv", 2);
  for (const char* name : {"film.mkv", "film.avi", "film.wmv"})
    ASSERT_EQ(mkfifo((films / name).c_str(), 0600), 0);
  const std::string fifo = (films / "film.mkv").string();
  struct Case {
    Args args;
    std::string refused;  // "<what> is not a regular file (<kind>)"
    Args results;
    int status = 1;  // a film refused fails the run; --check: it cannot be read
  };
  for (const Case& c : std::vector<Case>{
           {{fifo}, fifo + " is not a regular file (a FIFO)", {}},
           {{(films / "film.avi").string()}, "film.avi is not a regular file (a FIFO)", {}},
           {{(films / "film.wmv").string()}, "film.wmv is not a regular file (a FIFO)", {}},
           {{"--recode", "h264", "/dev/zero"}, "/dev/zero is not a regular file (a character", {}},
           {{"--check", fifo}, "not a regular file (a FIFO)", {}, 3},
           {{films.string()}, fifo + " is not a regular file (a FIFO)", {"real.mp4"}}}) {
    SCOPED_TRACE(c.args.back());
    const std::string out = (work.path() / "stdout.txt").string();
    const ProgramRun run = program.Run(c.args, start.string(), "", out, 60);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_TRUE(Holds(run.err + ReadFile(out), c.refused)) << run.err << ReadFile(out);
    EXPECT_EQ(Entries(output), c.results);
  }
}

size_t CountOf(const std::string& text, char c) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), c));
}

// Piped into a log: one line per step, a progress line at most every 10 seconds, no tool
// chatter. The tools' words are in tools.log, which holds this run's only.
TEST_F(CommandLine, ALogOfAnEncodeStaysShort) {
  WriteFile(program.folder() / "tools.log", "an earlier run\n");
  const auto started = std::chrono::steady_clock::now();
  const ProgramRun run = Run({"--recode", "h264", Film("film.mkv", 40)});
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(run.status, 0) << run.err;
  size_t stepLines = 0, progressLines = 0;
  const std::regex progressLine("  (\\d+ %|[0-9hmins ]+ in this step).*");
  for (const std::string& line : quillet::Split(run.err, '\n')) {
    if (line.empty()) continue;
    ++(line.rfind("  ", 0) == 0 ? progressLines : stepLines);
    if (line.rfind("  ", 0) == 0) EXPECT_TRUE(std::regex_match(line, progressLine)) << line;
  }
  EXPECT_LE(stepLines, 10u) << run.err;
  EXPECT_LE(progressLines, static_cast<size_t>(took / std::chrono::seconds(10)) + 1) << run.err;
  EXPECT_EQ(CountOf(run.err, '\r'), 0u) << run.err;
  EXPECT_TRUE(Holds(run.err, "Encoding H264\n"));
  EXPECT_TRUE(Holds(run.err, "Conversion done\n"));
  for (const char* noise : {"running:", "ffmpeg", "mkvmerge", "Progress:", "x264"})
    EXPECT_FALSE(Holds(run.err, noise));
  const std::string log = ReadFile(program.folder() / "tools.log");
  EXPECT_FALSE(Holds(log, "an earlier run"));
  EXPECT_TRUE(Holds(log, "FFMpeg/FFmpeg.exe: running: ffmpeg"));
}

// On a terminal (a pseudo-terminal here) the encode's status line is rewritten in place
// with a growing share: "\rEncoding H264 — 42 %..." again and again before its line ends.
TEST_F(CommandLine, OnATerminalTheStatusLineRewritesItself) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY timeout -k 10 300 " +
                              ShellQuoted((program.folder() / "quillet").string()) +
                              " --recode h264 " + ShellQuoted(Film("film.mkv", 40));
  const ProgramRun run = RunShell("script -qec " + ShellQuoted(command) + " /dev/null 1>&2");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(output / "film.mp4"));
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

}  // namespace
}  // namespace quillet::test
