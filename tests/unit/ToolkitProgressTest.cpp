// How far a slot's tool is: the share read from what ffmpeg, mkvmerge/mkvextract and
// mencoder print, in pieces cut anywhere, and the file the program reads it from.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TestApp.h"
#include "toolkit/progress/ProgressFile.h"
#include "toolkit/progress/ProgressParsers.h"
#include "tools/ProgressChannel.h"

namespace quillet::test {
namespace {

using toolkit::FfmpegProgress;
using toolkit::MencoderProgress;
using toolkit::MkvToolNixProgress;
using toolkit::ProgressParser;

struct ParserCase {
  std::string label;
  std::function<std::unique_ptr<ProgressParser>()> make;
  std::string output;          // what the tool prints
  double share;                // the share after all of it
  std::string passedToTheLog;  // the lines that are not progress
};

std::vector<ParserCase> ParserCases() {
  const auto ffmpeg = [] { return std::make_unique<FfmpegProgress>(20.0); };
  const auto mkv = [] { return std::make_unique<MkvToolNixProgress>(); };
  const auto mencoder = [] { return std::make_unique<MencoderProgress>(); };
  return {
      {"ffmpeg half way", ffmpeg,
       "frame=250\nfps=0.00\nout_time_us=10000000\nout_time=00:00:10.000000\nprogress=continue\n",
       0.5, ""},
      {"ffmpeg before the first frame", ffmpeg, "out_time_us=N/A\nprogress=continue\n", -1, ""},
      {"ffmpeg at the end", ffmpeg, "out_time_us=19960000\nprogress=end\n", 1.0, ""},
      {"ffmpeg past the probed length", ffmpeg, "out_time_ms=21000000\n", 1.0, ""},
      {"mkvextract, status rewritten with CR", mkv,
       "Extracting track 0 to the file 'v.h264'.\nProgress: 25%\rProgress: 49%\rProgress: 73%\r",
       0.73, "Extracting track 0 to the file 'v.h264'.\n"},
      {"mkvmerge's last words", mkv,
       "Progress: 100%\rThe cue entries (the index) are being written...\nMultiplexing took 0 "
       "seconds.\n",
       1.0, "The cue entries (the index) are being written...\nMultiplexing took 0 seconds.\n"},
      {"mencoder status line", mencoder,
       "Pos:   0.4s     10f ( 2%)  0.00fps Trem:   0min   0mb  A-V:0.000 [0:0]\r"
       "Pos:  12.3s    308f (61%) 41.00fps Trem:   0min   2mb  A-V:0.000 [1200:192]\r"
       "Video stream: 1200.000 kbit/s\n",
       0.61, "Video stream: 1200.000 kbit/s\n"},
      {"mencoder status without a share yet", mencoder, "Pos:   0.0s      1f \r", -1, ""},
  };
}

TEST(ToolkitProgress, TheShareIsReadWhereverTheReadsCutTheLines) {
  for (const ParserCase& c : ParserCases()) {
    for (size_t piece : {c.output.size(), size_t{1}, size_t{7}}) {
      std::unique_ptr<ProgressParser> parser = c.make();
      std::string passed;
      for (size_t at = 0; at < c.output.size(); at += piece)
        passed += parser->Feed(std::string_view(c.output).substr(at, piece));
      passed += parser->Finish();
      SCOPED_TRACE(c.label + ", pieces of " + std::to_string(piece));
      if (c.share < 0) {
        EXPECT_FALSE(parser->Fraction().has_value());
      } else {
        ASSERT_TRUE(parser->Fraction().has_value());
        EXPECT_NEAR(*parser->Fraction(), c.share, 1e-9);
      }
      EXPECT_EQ(passed, c.passedToTheLog);
    }
  }
}

// A cut line is held back until its end arrives, not taken as a share of its own.
TEST(ToolkitProgress, APartialLineWaitsForItsEnd) {
  MkvToolNixProgress parser;
  parser.Feed("Progress: 4");
  EXPECT_FALSE(parser.Fraction().has_value());
  parser.Feed("2%\r");
  EXPECT_NEAR(*parser.Fraction(), 0.42, 1e-9);
}

TEST(ToolkitProgress, WithoutAKnownLengthFfmpegOnlyTellsTheEnd) {
  FfmpegProgress parser(0);
  parser.Feed("out_time_us=5000000\nprogress=continue\n");
  EXPECT_FALSE(parser.Fraction().has_value());
  parser.Feed("progress=end\n");
  EXPECT_EQ(parser.Fraction(), 1.0);
}

// What the slot writes is what the program reads; a lower share (a second tool of the
// slot starting at 0) never replaces a higher one, and the end is written at once.
TEST(ToolkitProgress, TheFileOnlyGrowsAndTheProgramReadsIt) {
  TempFolder folder;
  const std::string path = (folder.path() / "progress").string();
  toolkit::ProgressFile file(path);
  file.Report(0.25);
  EXPECT_EQ(ParseProgressShare(ReadFile(path)), 0.25);
  file.Report(0.1);
  EXPECT_EQ(ParseProgressShare(ReadFile(path)), 0.25);
  file.Report(1.0);
  EXPECT_EQ(ParseProgressShare(ReadFile(path)), 1.0);
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST(ToolkitProgress, TheProgramTakesOnlyAShareFromZeroToOne) {
  const struct {
    std::string text;
    std::optional<double> share;
  } cases[] = {{"0.4213\n", 0.4213},
               {"1.0000\n", 1.0},
               {"0\n", 0.0},
               {"", std::nullopt},
               {"0.4", 0.4},
               {"1.5\n", std::nullopt},
               {"-0.1\n", std::nullopt},
               {"nan\n", std::nullopt},
               {"0.5x\n", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ParseProgressShare(c.text), c.share) << c.text;
}

TEST(ToolkitProgress, TheChannelStartsEmptyAndIsRemoved) {
  std::string path;
  {
    ProgressChannel channel;
    path = channel.Path();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(channel.EnvironmentEntry(), "QUILLET_PROGRESS=" + path);
    EXPECT_FALSE(channel.Read().has_value());
    toolkit::ProgressFile(path).Report(0.5);
    EXPECT_EQ(channel.Read(), 0.5);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace quillet::test
