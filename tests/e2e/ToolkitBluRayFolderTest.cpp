// Blu-ray folders written around clips muxed by ffmpeg, judged by independent readers:
// libbluray's bd_list_titles, and ffmpeg through its bluray: protocol (which only takes
// titles of three minutes or more, hence the 200-second film).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "tests/e2e/MediaTools.h"
#include "tests/support/TestApp.h"
#include "toolkit/Files.h"
#include "base/Text.h"
#include "toolkit/bluray/BluRayFolder.h"
#include "toolkit/bluray/ClipInfoFile.h"
#include "toolkit/bluray/PlaylistFile.h"

namespace quillet::toolkit::bluray {
namespace {

namespace fs = std::filesystem;
using quillet::test::Made;
using quillet::test::Quiet;
using quillet::test::TempFolder;
using quillet::test::Words;

bool Have(const std::string& tool) {
  return Quiet({"sh", "-c", "command -v " + tool}).Ok();
}

#define REQUIRE_TOOLS()                                               \
  if (!Have("ffmpeg") || !Have("ffprobe") || !Have("bd_list_titles")) \
  GTEST_SKIP() << "needs ffmpeg, ffprobe and bd_list_titles (package libbluray-bin)"

// ffmpeg's m2ts as the muxer slot makes it: video on 0x1011, audio from 0x1100.
const char* kM2tsOut = "-mpegts_m2ts_mode 1 -f mpegts";

::testing::AssertionResult Ffmpeg(const std::string& words, const std::string& output) {
  std::vector<std::string> argv = Words("ffmpeg -nostdin -y -v error " + words);
  argv.push_back(output);
  return Made(argv);
}

ClipStream VideoStream(int width, int height) {
  ClipStream s;
  s.pid = 0x1011;
  s.width = width;
  s.height = height;
  s.framesPerSecond = 24000.0 / 1001;
  return s;
}

ClipStream Ac3(uint16_t pid, int channels, const std::string& language) {
  ClipStream s;
  s.pid = pid;
  s.coding = StreamCoding::kAc3;
  s.channels = channels;
  s.sampleRate = 48000;
  s.language = language;
  return s;
}

// A 200-second 320x180 film, H.264 with a key frame every second, AC3 5.1 and stereo.
struct Film {
  TempFolder dir{"bluray-film"};
  std::string m2ts = (dir.path() / "film.m2ts").string();
  // The film cut at 100 s by the segment muxer: the time stamps run on across the cut.
  std::string firstHalf = (dir.path() / "half0.m2ts").string();
  std::string secondHalf = (dir.path() / "half1.m2ts").string();
  bool made = false;

  Film() {
    made = Ffmpeg(std::string("-f lavfi -i testsrc2=size=320x180:rate=24000/1001 -f lavfi -i "
                              "sine=f=440:sample_rate=48000 -t 200 -map 0:v -map 1:a -map 1:a "
                              "-c:v libx264 -preset ultrafast -g 24 -bf 0 -pix_fmt yuv420p "
                              "-c:a ac3 -b:a 96k -ac:a:0 6 -ac:a:1 2 -streamid 0:0x1011 "
                              "-streamid 1:0x1100 -streamid 2:0x1101 ") +
                      kM2tsOut,
                  m2ts) &&
           Ffmpeg("-i " + m2ts +
                      " -map 0 -c copy -f segment -segment_times 100 -segment_format mpegts "
                      "-segment_format_options mpegts_m2ts_mode=1",
                  (dir.path() / "half%d.m2ts").string()) &&
           fs::exists(secondHalf);
  }
  std::vector<ClipStream> Streams() const {
    return {VideoStream(320, 180), Ac3(0x1100, 6, "eng"), Ac3(0x1101, 2, "ger")};
  }
};

Film& SharedFilm() {
  static Film film;
  return film;
}

// A copy of a clip for the writer to move away.
std::string Copy(const std::string& clip, const fs::path& dir, const std::string& name) {
  const fs::path target = dir / name;
  fs::copy_file(clip, target, fs::copy_options::overwrite_existing);
  return target.string();
}

double Seconds(const std::string& text) {
  return std::atof(text.c_str());
}

std::string TitleList(const std::string& folder) {
  return Quiet({"bd_list_titles", "-l", folder}).out;
}

// "index:   1 duration: 00:03:20 chapters:   4 ..." for the main title.
std::string MainTitleLine(const std::string& list) {
  for (const std::string& line : Split(list, '\n'))
    if (line.find("00000.mpls") != std::string::npos) return line;
  return "";
}

// The title's length as bd_list_titles shows it (whole seconds, cut short).
int ListedSeconds(const std::string& titleLine) {
  const size_t at = titleLine.find("duration: ");
  if (at == std::string::npos) return -1;
  int h = 0, m = 0, s = 0;
  if (std::sscanf(titleLine.c_str() + at + 10, "%d:%d:%d", &h, &m, &s) != 3) return -1;
  return h * 3600 + m * 60 + s;
}

std::string Md5OfFrameAt(const std::string& input, int second) {
  const auto r = Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", std::to_string(second), "-i",
                        input, "-map", "0:v", "-frames:v", "1", "-f", "md5", "-"});
  return Trim(r.out);
}

TEST(ToolkitBluRayFolder, OneClipIsOneTitleWithChaptersStreamsAndSeeking) {
  REQUIRE_TOOLS();
  Film& film = SharedFilm();
  ASSERT_TRUE(film.made);
  TempFolder out("bluray-one");
  const std::string folder = (out.path() / "disc").string();
  TitleOptions options;
  options.chapterMinutes = 1;
  std::string error;
  const std::string clip = Copy(film.m2ts, out.path(), "muxed.m2ts");
  ASSERT_TRUE(WriteBluRayFolder(folder, {{clip, film.Streams()}}, options, &error)) << error;
  EXPECT_FALSE(fs::exists(clip)) << "the clip is moved into the tree";
  for (const char* path :
       {"BDMV/index.bdmv", "BDMV/MovieObject.bdmv", "BDMV/PLAYLIST/00000.mpls",
        "BDMV/CLIPINF/00000.clpi", "BDMV/STREAM/00000.m2ts", "BDMV/BACKUP/index.bdmv",
        "BDMV/BACKUP/MovieObject.bdmv", "BDMV/BACKUP/PLAYLIST/00000.mpls",
        "BDMV/BACKUP/CLIPINF/00000.clpi", "CERTIFICATE/BACKUP"})
    EXPECT_TRUE(fs::exists(fs::path(folder) / path)) << path;
  EXPECT_FALSE(fs::exists(fs::path(folder) / ".bdmv-writing"));

  // libbluray: one title of 3:20 with a chapter each minute, both audio languages.
  const std::string list = TitleList(folder);
  const std::string title = MainTitleLine(list);
  EXPECT_NEAR(ListedSeconds(title), 199.5, 0.5) << list;
  EXPECT_NE(title.find("chapters:   4"), std::string::npos) << list;
  EXPECT_NE(title.find("clips:   1"), std::string::npos) << list;
  EXPECT_NE(title.find("V:1 A:2"), std::string::npos) << list;
  EXPECT_NE(list.find("AUD: eng ger"), std::string::npos) << list;

  // ffmpeg reads the title: codecs and duration.
  const std::string bluray = "bluray:" + folder;
  EXPECT_EQ(quillet::test::Probe(bluray, "v:0", "codec_name"), "h264");
  EXPECT_EQ(quillet::test::Probe(bluray, "a:0", "codec_name"), "ac3");
  const auto probe = Quiet({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                            "default=nw=1:nk=1", bluray});
  EXPECT_NEAR(Seconds(probe.out), 200.0, 0.5) << probe.err;

  // A seek through the EP map lands on the same picture as a seek in the film itself.
  const std::string atFilm = Md5OfFrameAt(film.m2ts, 130);
  ASSERT_FALSE(atFilm.empty());
  EXPECT_EQ(Md5OfFrameAt(bluray, 130), atFilm);
  EXPECT_NE(Md5OfFrameAt(bluray, 30), atFilm);
}

TEST(ToolkitBluRayFolder, TwoClipsPlayAsOneTitleOfTheWholeLength) {
  REQUIRE_TOOLS();
  Film& film = SharedFilm();
  ASSERT_TRUE(film.made);
  TempFolder out("bluray-two");
  const std::string folder = (out.path() / "disc").string();
  std::vector<Clip> clips = {{Copy(film.firstHalf, out.path(), "a.m2ts"), film.Streams()},
                             {Copy(film.secondHalf, out.path(), "b.m2ts"), film.Streams()}};
  TitleOptions options;
  options.chapterMinutes = 1;
  std::string error;
  ASSERT_TRUE(WriteBluRayFolder(folder, clips, options, &error)) << error;
  EXPECT_TRUE(fs::exists(fs::path(folder) / "BDMV/STREAM/00001.m2ts"));
  EXPECT_TRUE(fs::exists(fs::path(folder) / "BDMV/CLIPINF/00001.clpi"));

  const std::string list = TitleList(folder);
  const std::string title = MainTitleLine(list);
  EXPECT_NEAR(ListedSeconds(title), 199.5, 0.5) << list;
  EXPECT_NE(title.find("clips:   2"), std::string::npos) << list;
  EXPECT_NE(title.find("chapters:   4"), std::string::npos) << list;
  const auto probe = Quiet({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                            "default=nw=1:nk=1", "bluray:" + folder});
  EXPECT_NEAR(Seconds(probe.out), 200.0, 0.5) << probe.err;
  // The picture 30 s into the second clip is reached through the title.
  EXPECT_EQ(Md5OfFrameAt("bluray:" + folder, 130), Md5OfFrameAt(film.m2ts, 130));
}

TEST(ToolkitBluRayFolder, FullHdClipDescribesItsPictureAndTime) {
  REQUIRE_TOOLS();
  TempFolder out("bluray-hd");
  const std::string clip = (out.path() / "hd.m2ts").string();
  ASSERT_TRUE(Ffmpeg(std::string("-f lavfi -i testsrc2=size=1920x1080:rate=24000/1001 -t 12 "
                                 "-c:v libx264 -preset ultrafast -g 24 -bf 0 -pix_fmt yuv420p "
                                 "-streamid 0:0x1011 ") +
                         kM2tsOut,
                     clip));
  const std::string folder = (out.path() / "disc").string();
  std::string error;
  ASSERT_TRUE(
      WriteBluRayFolder(folder, {{clip, {VideoStream(1920, 1080)}}}, TitleOptions(), &error))
      << error;
  const auto bytes = ReadBytes(folder + "/BDMV/CLIPINF/00000.clpi");
  ASSERT_TRUE(bytes);
  ClipInfoView view;
  ASSERT_TRUE(ReadClipInfo(std::vector<uint8_t>(bytes->begin(), bytes->end()), &view, &error));
  ASSERT_EQ(view.streams.size(), 1u);
  EXPECT_EQ(view.streams[0].format, 6);  // 1080p
  EXPECT_EQ(view.streams[0].rate, 1);    // 23.976
  EXPECT_NEAR((view.presentationEnd - view.presentationStart) / 45000.0, 12.0, 0.1);
  EXPECT_EQ(view.ep.fine.size(), 12u);  // a key frame every second
  EXPECT_EQ(view.sourcePackets * 192, fs::file_size(folder + "/BDMV/STREAM/00000.m2ts"));
  EXPECT_NEAR(ListedSeconds(MainTitleLine(TitleList(folder))), 11.5, 0.5) << TitleList(folder);
}

TEST(ToolkitBluRayFolder, AClipWithoutVideoLeavesNoTreeAndKeepsTheClip) {
  REQUIRE_TOOLS();
  TempFolder out("bluray-novideo");
  const std::string clip = (out.path() / "audio.m2ts").string();
  ASSERT_TRUE(
      Ffmpeg(std::string("-f lavfi -i sine -t 3 -c:a ac3 -streamid 0:0x1100 ") + kM2tsOut, clip));
  const std::string folder = (out.path() / "disc").string();
  std::string error;
  EXPECT_FALSE(WriteBluRayFolder(folder, {{clip, {VideoStream(320, 180), Ac3(0x1100, 1, "eng")}}},
                                 TitleOptions(), &error));
  EXPECT_NE(error.find("no time stamps"), std::string::npos) << error;
  EXPECT_TRUE(fs::exists(clip));
  EXPECT_FALSE(fs::exists(fs::path(folder) / "BDMV"));
}

}  // namespace
}  // namespace quillet::toolkit::bluray
