// Paths as the program writes them, results that appear only whole, WAV headers.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TestApp.h"
#include "toolkit/Files.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;
using quillet::test::ReadFile;
using quillet::test::TempFolder;
using quillet::test::WriteFile;

TEST(ToolkitFiles, PathsAreFoundAsWindowsFindsThem) {
  TempFolder dir("toolkit-files");
  WriteFile(dir.path() / "Out Put" / "Movie.MP3", "x");
  std::string base = dir.str();
  EXPECT_EQ(base + "/Out Put/Movie.MP3", LocateInput(base + "/Out Put/Movie.MP3"));
  EXPECT_EQ(base + "/Out Put/Movie.MP3", LocateInput(base + "/out put/movie.mp3"));
  // "movie.mp3 " with the blank inside the quotes: Windows drops trailing blanks and dots.
  EXPECT_EQ(base + "/Out Put/Movie.MP3", LocateInput(base + "/out put/movie.mp3 "));
  EXPECT_EQ(base + "/Out Put/Movie.MP3", LocateInput(base + "/Out Put/Movie.MP3. "));
  EXPECT_EQ(base + "/nothing.mp3", LocateInput(base + "/nothing.mp3"));

  EXPECT_EQ(base + "/Out Put/new.wav", LocateOutput(base + "/out put/new.wav "));
  EXPECT_EQ(base + "/Out Put/Movie.MP3", LocateOutput(base + "/OUT PUT/movie.mp3"));
  EXPECT_EQ(base + "/missing/new.wav", LocateOutput(base + "/missing/new.wav"));
}

TEST(ToolkitFiles, ResultsAppearOnlyWhenCommitted) {
  TempFolder dir("toolkit-files");
  std::string result = (dir.path() / "movie.wav").string();
  WriteFile(result, "old");
  {
    Staging staging;
    std::string temp = staging.Add(result);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ("movie.wav", fs::path(temp).filename());
    EXPECT_EQ(dir.path(), fs::path(temp).parent_path().parent_path());
    WriteFile(temp, "half");
    // Abandoned: the old file stays, the temporary folder goes.
  }
  EXPECT_EQ("old", ReadFile(result));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));

  {
    Staging staging;
    std::string temp = staging.Add(result);
    WriteFile(temp, "new");
    // Files a tool adds beside its result (the parts of a split) come along.
    WriteFile(fs::path(temp).parent_path() / "movie-002.wav", "part");
    EXPECT_EQ(2, staging.FileCount());
    EXPECT_TRUE(staging.Add(result).empty()) << "one result named twice";
    std::string scratch = staging.Scratch(dir.str());
    ASSERT_FALSE(scratch.empty());
    WriteFile(fs::path(scratch) / "track0.mkv", "intermediate");
    EXPECT_TRUE(staging.Commit());
  }
  EXPECT_EQ("new", ReadFile(result));
  EXPECT_EQ("part", ReadFile(dir.path() / "movie-002.wav"));
  EXPECT_EQ(2, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
}

std::string Le(uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

std::string Fmt(int channels, int rate) {
  return "fmt " + Le(16, 4) + Le(1, 2) + Le(channels, 2) + Le(rate, 4) +
         Le(rate * channels * 2, 4) + Le(channels * 2, 2) + Le(16, 2);
}

TEST(ToolkitFiles, WavHeaders) {
  TempFolder dir("toolkit-files");
  std::string samples(4000, '\1');
  struct Case {
    const char* name;
    std::string bytes;
    bool valid;
    uint64_t data;
    int channels;
  } cases[] = {
      {"plain", "RIFF" + Le(0, 4) + "WAVE" + Fmt(2, 48000) + "data" + Le(4000, 4) + samples, true,
       4000, 2},
      // ffmpeg's header: JUNK reserved for RF64, then the format.
      {"junk",
       "RIFF" + Le(0, 4) + "WAVE" + "JUNK" + Le(28, 4) + std::string(28, '\0') + Fmt(6, 48000) +
           "data" + Le(4000, 4) + samples,
       true, 4000, 6},
      {"rf64",
       "RF64" + Le(0xFFFFFFFF, 4) + "WAVE" + "ds64" + Le(28, 4) + Le(0, 8) + Le(4000, 8) +
           Le(0, 8) + Le(0, 4) + Fmt(2, 44100) + "data" + Le(0xFFFFFFFF, 4) + samples,
       true, 4000, 2},
      // A writer that never came back to fill in the length.
      {"unfinished", "RIFF" + Le(0, 4) + "WAVE" + Fmt(2, 48000) + "data" + Le(0, 4) + samples, true,
       4000, 2},
      {"cut", "RIFF" + Le(0, 4) + "WAVE" + Fmt(2, 48000) + "data" + Le(99999, 4) + samples, true,
       4000, 2},
      {"empty", "RIFF" + Le(0, 4) + "WAVE" + Fmt(2, 48000) + "data" + Le(0, 4), true, 0, 2},
      {"noformat", "RIFF" + Le(0, 4) + "WAVE" + "data" + Le(4000, 4) + samples, false, 0, 0},
      {"aac", "\xFF\xF1\x50\x80" + samples, false, 0, 0},
  };
  for (const Case& c : cases) {
    std::string path = (dir.path() / (std::string(c.name) + ".wav")).string();
    WriteFile(path, c.bytes);
    WavInfo info = ReadWavInfo(path);
    EXPECT_EQ(c.valid, info.valid) << c.name;
    if (c.valid) {
      EXPECT_EQ(c.data, info.dataBytes) << c.name;
      EXPECT_EQ(c.channels, info.channels) << c.name;
    }
    EXPECT_EQ(c.valid && c.data > 0, CheckWav(path)) << c.name;
  }
  EXPECT_FALSE(CheckWav((dir.path() / "absent.wav").string()));
}

}  // namespace
}  // namespace quillet::toolkit
