// The transport-stream muxer and AC3 encoder slots with the real Debian tools, on small
// films made here: started through their links with the job files and command lines the
// program writes, judged by what ffprobe and libbluray read in their results.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/e2e/MediaTools.h"
#include "tests/support/TestApp.h"
#include "toolkit/Files.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;
using quillet::test::Entries;
using quillet::test::Made;
using quillet::test::Probe;
using quillet::test::Quiet;
using quillet::test::TempFolder;
using quillet::test::Words;
using quillet::test::WriteFile;
using Args = std::vector<std::string>;

const std::string kProgram = QUILLET_PROGRAM_DIR;
const std::string kM2tsOptions =
    "MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5 ";

ToolResult Slot(const std::string& slot, const Args& args) {
  Args argv = {kProgram + "/" + slot};
  argv.insert(argv.end(), args.begin(), args.end());
  return Quiet(argv);
}

::testing::AssertionResult Ffmpeg(const std::string& words, const std::string& output) {
  Args argv = Words("ffmpeg -nostdin -y -v error " + words);
  argv.push_back(output);
  return Made(argv);
}

double Number(const std::string& text) {
  return ParseDecimal(text).value_or(-1);
}

// ffprobe's value of one format entry.
std::string FormatEntry(const std::string& path, const std::string& entry) {
  ToolResult r = Quiet({"ffprobe", "-v", "error", "-show_entries", "format=" + entry, "-of",
                        "default=nw=1:nk=1", path});
  return Trim(r.out);
}

// The language tag of the first audio stream.
std::string AudioLanguage(const std::string& path) {
  ToolResult r = Quiet({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                        "stream_tags=language", "-of", "default=nw=1:nk=1", path});
  return Trim(r.out);
}

// Films shared by the tests, made once: H.264 (B-frames) with AC3 5.1 in Matroska, the
// same as raw streams, and a longer one for splitting.
struct Films {
  TempFolder dir{"tsmuxer-media"};
  std::string mkv, h264, ac3, longMkv, mpg;
  bool ok = false;
  Films() {
    std::string d = dir.str() + "/Filme-Ümlaut";
    fs::create_directories(d);
    mkv = d + "/film.mkv";
    h264 = d + "/movie.h264";
    ac3 = d + "/movie.ac3";
    longMkv = d + "/long.mkv";
    mpg = d + "/movie.mpg";
    ok = Ffmpeg(
             "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i "
             "sine=frequency=440:sample_rate=48000 -t 4 -c:v libx264 -preset ultrafast -bf 2 "
             "-g 24 -pix_fmt yuv420p -c:a ac3 -ac 6 -b:a 384k -metadata:s:a:0 language=ger",
             mkv) &&
         Ffmpeg("-i " + mkv + " -map 0:v -c copy -f h264", h264) &&
         Ffmpeg("-i " + mkv + " -map 0:a -c copy -f ac3", ac3) &&
         Ffmpeg(
             "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i "
             "sine=frequency=300:sample_rate=48000 -t 12 -c:v libx264 -preset ultrafast -g 25 "
             "-pix_fmt yuv420p -c:a ac3 -ac 2 -b:a 192k",
             longMkv) &&
         Ffmpeg("-f lavfi -i testsrc=size=352x288:rate=25 -t 3 -c:v mpeg2video -f mpeg", mpg);
  }
};

const Films& GetFilms() {
  static Films films;
  return films;
}

class ToolkitTsmuxer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(GetFilms().ok) << "the sample films could not be made"; }
  const Films& films = GetFilms();
  TempFolder out{"tsmuxer-out"};
  std::string O(const std::string& name) const { return out.str() + "/" + name; }

  // Writes the job (lines joined with CR LF, as the program writes them) and runs it.
  ToolResult Mux(const Args& lines, const std::string& result) {
    WriteFile(O("movie.meta"), Join(lines, "\r\n") + "\r\n");
    return Slot("TS/tsmuxer.exe", {O("movie.meta"), result});
  }

  // A 192-byte-packet transport stream with H.264 level 4.1 on 0x1011 and AC3 on 0x1100.
  void ExpectBluRayStream(const std::string& path, int channels, double seconds) {
    EXPECT_EQ("mpegts", FormatEntry(path, "format_name"));
    EXPECT_EQ(0, FileSize(path) % 192);
    auto head = ReadBytes(path, 192 * 3);
    ASSERT_TRUE(head && head->size() == 192 * 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0x47, static_cast<unsigned char>((*head)[192 * i + 4]));
    EXPECT_EQ("0x1011", Probe(path, "v:0", "id"));
    EXPECT_EQ("h264", Probe(path, "v:0", "codec_name"));
    EXPECT_EQ("41", Probe(path, "v:0", "level"));
    EXPECT_EQ("0x1100", Probe(path, "a:0", "id"));
    EXPECT_EQ("ac3", Probe(path, "a:0", "codec_name"));
    EXPECT_EQ(std::to_string(channels), Probe(path, "a:0", "channels"));
    EXPECT_NEAR(seconds, Number(Probe(path, "v:0", "duration")), 0.2);
    EXPECT_NEAR(seconds, Number(Probe(path, "a:0", "duration")), 0.2);
    EXPECT_TRUE(quillet::test::DecodesCleanly(path));
  }
};

TEST_F(ToolkitTsmuxer, RawStreamsAndAMatroskaSourceBecomeOneBluRayStream) {
  // V1 + A1: the extracted streams; V2 + A2: straight from the source, level patched.
  struct Case {
    Args lines;
  };
  const Case cases[] = {
      {{kM2tsOptions + " --vbv-len=500", "V_MPEG4/ISO/AVC, \"" + films.h264 + "\", fps=23.976",
        "A_AC3, \"" + films.ac3 + "\""}},
      {{kM2tsOptions + " --vbv-len=500",
        "V_MPEG4/ISO/AVC, \"" + films.mkv + "\", track=1, level=4.1, fps=23.976",
        "A_AC3, \"" + films.mkv + "\", track=2"}},
  };
  for (const Case& c : cases) {
    TempFolder o{"tsmuxer-case"};
    WriteFile(o.path() / "movie.meta", Join(c.lines, "\r\n") + "\r\n");
    ToolResult r =
        Slot("TS/tsmuxer.exe", {(o.path() / "movie.meta").string(), o.str() + "/film.m2ts"});
    ASSERT_TRUE(r.Ok()) << r.err;
    EXPECT_EQ((std::vector<std::string>{"film.m2ts", "movie.meta"}), Entries(o.path()));
    // The raw stream says level 1.3; only the line with level=4.1 changes it.
    if (c.lines[1].find("level") == std::string::npos) {
      EXPECT_EQ("13", Probe(o.str() + "/film.m2ts", "v:0", "level"));
      continue;
    }
    ExpectBluRayStream(o.str() + "/film.m2ts", 6, 4.0);
    EXPECT_EQ("ger", AudioLanguage(o.str() + "/film.m2ts"));
  }
}

TEST_F(ToolkitTsmuxer, ALanguageFromTheJobAndAProgramStreamTrack) {
  ASSERT_TRUE(Mux({"MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500",
                   "V_MPEG-2, \"" + films.mpg + "\", fps=25.000, track=224",
                   "A_AC3, \"" + films.ac3 + "\", lang=fre"},
                  O("film.m2ts"))
                  .Ok());
  EXPECT_EQ("mpeg2video", Probe(O("film.m2ts"), "v:0", "codec_name"));
  EXPECT_EQ("0x1011", Probe(O("film.m2ts"), "v:0", "id"));
  EXPECT_EQ("fre", AudioLanguage(O("film.m2ts")));
}

TEST_F(ToolkitTsmuxer, SplitPartsStayWithinTheSizeAndTogetherLastTheFilm) {
  ASSERT_TRUE(Mux({kM2tsOptions + " --split-size=0.3MB  --vbv-len=500",
                   "V_MPEG4/ISO/AVC, \"" + films.longMkv + "\", track=1, level=4.1, fps=25",
                   "A_AC3, \"" + films.longMkv + "\", track=2"},
                  O("film.m2ts"))
                  .Ok());
  std::vector<std::string> names = Entries(out.path());
  ASSERT_GE(names.size(), 4u);  // film.m2ts, film.2.m2ts, film.3.m2ts ..., movie.meta
  double total = 0;
  for (int n = 1; n < static_cast<int>(names.size()); ++n) {
    std::string part = O(n == 1 ? "film.m2ts" : Format("film.%d.m2ts", n));
    ASSERT_TRUE(fs::exists(part)) << part;
    EXPECT_LE(FileSize(part), 300000) << part;
    EXPECT_EQ("0x1011", Probe(part, "v:0", "id"));
    EXPECT_EQ("2", Probe(part, "a:0", "channels"));
    total += Number(Probe(part, "v:0", "duration"));
  }
  EXPECT_NEAR(12.0, total, 0.2);
}

TEST_F(ToolkitTsmuxer, BadJobsFailWithOneLineAndLeaveNothing) {
  struct Case {
    Args lines;
    std::string named;
  };
  const std::string video = "V_MPEG4/ISO/AVC, \"" + films.mkv + "\", track=1, fps=23.976";
  const Case cases[] = {
      {{"MUXOPT --vbr --no-such-option", video}, "--no-such-option"},
      {{"MUXOPT --vbr", "V_MPEGH/ISO/HEVC, \"" + films.mkv + "\""}, "V_MPEGH/ISO/HEVC"},
      {{"MUXOPT --vbr", video + ", colour=red"}, "colour"},
      {{"MUXOPT --vbr", video, "A_AC3, \"" + out.str() + "/missing.ac3\""}, "missing.ac3"},
      {{"MUXOPT --vbr", video, "A_AC3, \"" + films.mkv + "\", track=7"}, "track 7"},
      {{"MUXOPT --vbr", video, "A_DTS, \"" + films.mkv + "\", track=2"}, "A_DTS"},
      {{"MUXOPT --vbr", video,
        "S_TEXT/UTF8, \"" + films.mkv + "\" ,font-name=\"Arial\",font-size=42, , fps=23.976"},
       "has no subtitle track"},
  };
  for (const Case& c : cases) {
    ToolResult r = Mux(c.lines, O("film.m2ts"));
    EXPECT_FALSE(r.Ok()) << c.named;
    std::vector<std::string> said = Split(Trim(r.err), '\n');
    ASSERT_FALSE(said.empty());
    EXPECT_NE(std::string::npos, said.back().find(c.named)) << r.err;
    EXPECT_EQ((std::vector<std::string>{"movie.meta"}), Entries(out.path())) << c.named;
  }
}

TEST_F(ToolkitTsmuxer, TheBluRayFolderIsReadByLibbluray) {
  ASSERT_TRUE(Mux({"MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  "
                   "--auto-chapters=5 --vbv-len=500 --split-size=0.3MB ",
                   "V_MPEG4/ISO/AVC, \"" + films.longMkv + "\", track=1, level=4.1, fps=25",
                   "A_AC3, \"" + films.longMkv + "\", track=2"},
                  O("film"))
                  .Ok());
  EXPECT_EQ((std::vector<std::string>{"film", "movie.meta"}), Entries(out.path()));
  std::vector<std::string> clips = Entries(out.path() / "film" / "BDMV" / "STREAM");
  ASSERT_GE(clips.size(), 3u);
  EXPECT_EQ("00000.m2ts", clips[0]);
  ToolResult titles = Quiet({"bd_list_titles", O("film")});
  ASSERT_TRUE(titles.Ok()) << titles.err;
  EXPECT_NE(std::string::npos, titles.out.find("duration: 00:00:12")) << titles.out;
  EXPECT_NE(std::string::npos, titles.out.find(Format("clips:   %zu", clips.size()))) << titles.out;
  EXPECT_NE(std::string::npos, titles.out.find("V:1 A:1")) << titles.out;
}

TEST_F(ToolkitTsmuxer, AftenDefaultRatesByChannels) {
  const std::pair<std::string, int> layouts[] = {{"mono", 96},  {"stereo", 192}, {"3.0", 256},
                                                 {"quad", 384}, {"5.1", 448},    {"2.1", 192}};
  for (const auto& [layout, kbps] : layouts) {
    std::string wav = O(layout + ".wav"), ac3 = O(layout + ".ac3");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=sample_rate=48000 -t 1 -af aformat=channel_layouts=" +
                           layout + " -c:a pcm_s16le",
                       wav));
    ToolResult r = Slot("aften/aften.exe", {wav, ac3});
    ASSERT_TRUE(r.Ok()) << r.err;
    EXPECT_EQ(std::to_string(kbps * 1000), Probe(ac3, "a:0", "bit_rate")) << layout;
    EXPECT_EQ("ac3", Probe(ac3, "a:0", "codec_name"));
  }
  ASSERT_TRUE(Slot("aften/aften.exe", {O("5.1.wav"), "-b", "640", O("rate.ac3")}).Ok());
  EXPECT_EQ("640000", Probe(O("rate.ac3"), "a:0", "bit_rate"));
  EXPECT_EQ("6", Probe(O("rate.ac3"), "a:0", "channels"));
  // No WAV: no AC3.
  WriteFile(O("bad.wav"), "not a wav");
  EXPECT_FALSE(Slot("aften/aften.exe", {O("bad.wav"), O("bad.ac3")}).Ok());
  EXPECT_FALSE(fs::exists(O("bad.ac3")));
}

}  // namespace
}  // namespace quillet::toolkit
