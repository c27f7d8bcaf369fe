// The MP4 muxer, its creator fallback and the final failure, the split of a large
// result, and what earlier runs leave in the output folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

// A PS3 (5.1) run of an AC3 source with an anamorphic 1440x1080 picture.
struct AnamorphicRun : ConvertScaffold {
  AnamorphicRun() {
    Ready();
    Anamorphic();
  }
};

// The creator's line for the video of the anamorphic run.
const char* const kCreateVideo =
    R"("{app}/MP4Box/mp4creator.exe" -rate=23.976  -qtw=1920 -qth=1080 -create="{out}movie.264" "{out}Film.mp4")";

TEST(Mp4Fallback, FailedMP4BoxRunFallsBackToTheCreator) {
  AnamorphicRun s;
  s.LeavesNothing("MP4Box.exe");

  s.Convert();

  EXPECT_EQ(
      s.Commands(),
      s.X({kExtractVideo, kWavGrab, kAacFromWav51,
           R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976:par=1920:1440" "{out}Film.mp4"  -tmp "{tmp}")",
           R"("{app}/MP4Box/mp4creator.exe" -rate=23.976 -create="{out}movie.aac" "{out}Film.mp4")",
           kCreateVideo}));
  EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mp4"),
            "[track " + s.Out("movie.aac") + "][track " + s.Out("movie.264") + "]");
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_FALSE(s.OutputHas("movie.264"));
  EXPECT_FALSE(s.OutputHas("movie.aac"));
  EXPECT_EQ(s.app.conversionsSucceeded, 1);
}

TEST(Mp4Fallback, FailedFallbackShowsTheBoxAndKeepsTheWorkingFiles) {
  AnamorphicRun s;
  s.LeavesNothing("MP4Box.exe");
  s.LeavesNothing("mp4creator.exe");
  s.form().strSubBrowse = s.Out("Film.srt");

  s.Convert();

  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].text, "Error creating " + s.Out("Film.mp4") +
                                    ", quitting attempt. Temp files (movie.h264 + movie.aac) "
                                    "not deleted.");
  EXPECT_EQ(s.ui.boxes[0].title, "MP4box error");
  EXPECT_EQ(s.ui.boxes[0].style, 16);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error, retrying with mp4create");
  EXPECT_TRUE(s.OutputHas("movie.264"));
  EXPECT_TRUE(s.OutputHas("movie.aac"));
  EXPECT_EQ(s.app.conversionsStarted, 1);
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
  // The end of the MP4 branch: the subtitle choice is dropped and the window raised.
  EXPECT_TRUE(s.form().strSubBrowse.empty());
  EXPECT_TRUE(s.ui.topMost.back());
}

// On a full disk the creator writes the audio, then fails to add the video: what it
// leaves holds no picture. That is a failure, and the audio-only file goes while an
// earlier result is put back.
TEST(Mp4Fallback, CreatorThatAddsOnlyTheAudioIsAFailure) {
  for (bool earlier : {false, true}) {
    SCOPED_TRACE(earlier);
    AnamorphicRun s;
    if (earlier) WriteFile(s.outputDir.path() / "Film.mp4", "[earlier result]");
    s.LeavesNothing("MP4Box.exe");
    s.runner.On("mp4creator.exe", [&s](const std::vector<std::string>& argv) -> std::string {
      const std::string audio = "-create=" + s.Out("movie.aac");
      if (std::find(argv.begin(), argv.end(), audio) != argv.end())
        WriteFile(argv.back(), "[track " + s.Out("movie.aac") + "]");
      return "";
    });

    s.Convert();

    ASSERT_EQ(s.ui.boxes.size(), 1u);
    EXPECT_EQ(s.ui.boxes[0].title, "MP4box error");
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
    EXPECT_TRUE(s.OutputHas("movie.264"));
    if (earlier)
      EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mp4"), "[earlier result]");
    else
      EXPECT_FALSE(s.OutputHas("Film.mp4"));
  }
}

// The Nero encoder leaves an MP4 with the audio alone; the creator adds only the video.
// A creator that fails too leaves that file as it was, which is no conversion.
TEST(Mp4Fallback, NeroRoadFallbackAddsOnlyTheVideo) {
  for (bool creatorFails : {false, true}) {
    ConvertScaffold s;
    s.Ready();
    s.MakeTool("neroAacEnc_SSE2.exe");
    s.LeavesNothing("MP4Box.exe");
    if (creatorFails) s.LeavesNothing("mp4creator.exe");

    s.Convert();

    const auto commands = s.Commands();
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(
        commands[2],
        s.X(R"("{app}/neroAacEnc_SSE2.exe" -lc -br 320000 -if "{out}movie.wav" -of  "{out}Film.mp4")"));
    EXPECT_EQ(
        commands[4],
        s.X(R"("{app}/MP4Box/mp4creator.exe" -rate=23.976  -create="{out}movie.264" "{out}Film.mp4")"));
    if (creatorFails) {
      ASSERT_EQ(s.ui.boxes.size(), 1u);
      EXPECT_EQ(s.ui.boxes[0].title, "MP4box error");
      EXPECT_EQ(s.app.conversionsSucceeded, 0);
    } else {
      EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
    }
  }
}

// A muxer that throws is a failed statement like any other: the fallback runs.
TEST(Mp4Fallback, ThrowingToolIsSkipped) {
  AnamorphicRun s;
  s.runner.On("MP4Box.exe", [](const std::vector<std::string>&) -> std::string {
    throw std::runtime_error("cannot start");
  });

  EXPECT_NO_THROW(s.Convert());

  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(s.Commands().size(), 6u);
}

TEST(StaleFiles, EarlierRunsFilesAreNotTakenForThisRunsOutput) {
  ConvertScaffold s;
  s.Ready();
  // What a failed earlier run left, and an earlier result of the same name.
  for (const char* name : {"movie.h264", "movie.aac", "movie.wav", "Film.mp4"})
    WriteFile(s.outputDir.path() / name, "stale");
  // This run's source cannot be read.
  s.LeavesNothing("mkvextract.exe");
  s.LeavesNothing("wavgrab.exe");

  s.Convert();

  ASSERT_FALSE(s.ui.boxes.empty());
  EXPECT_EQ(s.ui.boxes.back().title, "MP4box error");
  EXPECT_NE(s.form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

TEST(StaleFiles, MuxerWritesANewResultOverAnEarlierOne) {
  ConvertScaffold s;
  s.Ready();
  WriteFile(s.outputDir.path() / "Film.mp4", "[earlier result]");

  s.Convert();

  EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mp4"),
            "[track " + s.Out("movie.aac") + "][track " + s.Out("movie.h264") + "]");
  EXPECT_FALSE(s.OutputHas("Film.mp4.earlier"));
}

// A run that fails leaves the user's earlier result as it was, and whatever else the
// output folder held beside the names the MP4 road reads.
TEST(StaleFiles, FailedRunLosesNothing) {
  AnamorphicRun s;
  s.LeavesNothing("mkvextract.exe");  // no video comes out of the source
  s.LeavesNothing("MP4Box.exe");
  s.runner.On("mp4creator.exe", [](const std::vector<std::string>& argv) {
    WriteFile(argv.back(), "[audio alone]");
    return std::string();
  });
  WriteFile(s.outputDir.path() / "Film.mp4", "[earlier result]");
  WriteFile(s.outputDir.path() / "Film.mp4.earlier", "[kept from before]");
  for (const char* name : {"movie.srt", "movie.mp3", "movie.ogg"})
    WriteFile(s.outputDir.path() / name, "mine");

  s.Convert();

  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].title, "MP4box error");
  EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mp4"), "[earlier result]");
  EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mp4.earlier"), "[kept from before]");
  EXPECT_FALSE(s.OutputHas("Film.mp4.earlier2"));
  for (const char* name : {"movie.srt", "movie.mp3", "movie.ogg"})
    EXPECT_TRUE(s.OutputHas(name)) << name;
}

// The creator fallback without a video stream leaves an MP4 with the audio alone.
TEST(Mp4Fallback, ResultWithoutVideoIsAFailure) {
  for (bool vfw : {false, true}) {
    AnamorphicRun s;
    s.app.report.bVFW = vfw;
    // No video comes out of the source; the audio does.
    s.LeavesNothing("mkvextract.exe");
    s.LeavesNothing("MP4Box.exe");

    s.Convert();

    ASSERT_EQ(s.ui.boxes.size(), 1u) << vfw;
    EXPECT_EQ(s.ui.boxes[0].title, "MP4box error");
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
    EXPECT_EQ(s.Commands().back(), s.X(kCreateVideo));
  }
}

struct ResultSplitCase {
  const char* name;
  int64_t resultBytes;
  bool splitOption;
  const char* splitCommand;  // "" when the result is not split
};

const ResultSplitCase kResultSplits[] = {
    {"SixMillionKilobytesInTwo", 6000000000, true,
     R"("{app}/MP4Box/MP4Box.exe" -splits 3000000 "{out}Film.mp4")"},
    {"ThresholdInTwoHalves", 4190000000, true,
     R"("{app}/MP4Box/MP4Box.exe" -splits 2095000 "{out}Film.mp4")"},
    {"NineMillionKilobytesInThree", 9000000000, true,
     R"("{app}/MP4Box/MP4Box.exe" -splits 3000000 "{out}Film.mp4")"},
    // 4189999.5 kB rounds to the even 4190000.
    {"HalfKilobyteBelowRoundsToEven", 4189999500, true,
     R"("{app}/MP4Box/MP4Box.exe" -splits 2095000 "{out}Film.mp4")"},
    {"JustBelowThreshold", 4189999499, true, ""},
    {"OptionOff", 6000000000, false, ""},
};

class ResultSplit : public ::testing::TestWithParam<ResultSplitCase> {};

TEST_P(ResultSplit, LargeResultIsSplitBelowTheFat32Limit) {
  const ResultSplitCase& c = GetParam();
  ConvertScaffold s;
  s.Ready();
  s.runner.On("MP4Box.exe", [&](const std::vector<std::string>& argv) {
    if (argv[1] == "-add") {
      WriteFile(s.Out("Film.mp4"), "mp4");
      std::filesystem::resize_file(s.Out("Film.mp4"), c.resultBytes);
    }
    return std::string();
  });
  s.form().Check1.SetValue(c.splitOption ? 1 : 0);

  s.Convert();

  const auto commands = s.Commands();
  if (*c.splitCommand) {
    EXPECT_EQ(commands.back(), s.X(c.splitCommand));
    EXPECT_EQ(s.ui.sleptMs, 1010);
  } else {
    EXPECT_NE(commands.back().find(" -add "), std::string::npos);
    EXPECT_EQ(s.ui.sleptMs, 1000);
  }
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

INSTANTIATE_TEST_SUITE_P(Sizes, ResultSplit, ::testing::ValuesIn(kResultSplits),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet::test
