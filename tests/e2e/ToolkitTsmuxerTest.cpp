// The transport-stream muxer slot with the real Debian tools, on films made here: started
// through its link with the job files the program writes, the results judged by ffprobe, by
// ffmpeg laying the drawn subtitles over the picture, and by libbluray.

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tests/support/ToolkitRun.h"
#include "toolkit/bluray/StrictFolder.h"
#include "toolkit/bluray/StrictTransportStream.h"

namespace quillet::test {
namespace {

using quillet::FileSize;
using quillet::Format;

constexpr int kWidth = 640, kHeight = 360;
constexpr double kFps = 24000.0 / 1001;
const meta::Picture kPicture = {kWidth, kHeight};

// The cues of a SubRip file with a byte-order mark, CR LF, a numbering gap, a blank run,
// accents, Cyrillic letters on two lines and italics.
const std::pair<double, double> kCues[] = {{1.0, 2.5}, {3.0, 4.5}, {5.0, 7.0}, {8.0, 9.5}};
const char kSrt[] =
    "\xEF\xBB\xBF"
    "1\r\n00:00:01,000 --> 00:00:02,500\r\nCaf\xC3\xA9, Stra\xC3\x9F"
    "e\r\n\r\n2\r\n00:00:03,000 --> "
    "00:00:04,500\r\n\xD0\x9F\xD1\x80\xD0\xB8\r\n\xD0\x96\xD0\xB8\r\n"
    "\r\n\r\n7\r\n00:00:05,000 --> 00:00:07,000\r\n<i>Italic words</i> here\r\n\r\n8\r\n"
    "00:00:08,000 --> 00:00:09,500\r\nthe last\r\n";

class ToolkitTsmuxer : public SlotTest {
 protected:
  // 11 s of dark 640x360 H.264 with B-frames and AC3 5.1 (ger) in a folder with an umlaut, its
  // raw streams, the SubRip file beside it, and the film with that file as a track (rus).
  static void SetUpTestSuite() {
    fs::create_directories(d_);
    WriteFile(d_ + "film.srt", kSrt);
    made_ = Ffmpeg(
                "-f lavfi -i color=c=0x202020:s=640x360:r=24000/1001 -f lavfi -i sine=f=440:"
                "sample_rate=48000 -t 11 -c:v libx264 -preset veryfast -bf 2 -g 24 -pix_fmt "
                "yuv420p -c:a ac3 -ac 6 -b:a 384k -metadata:s:a:0 language=ger",
                mkv_) &&
            Ffmpeg("-i " + mkv_ + " -map 0:v -c copy -f h264", d_ + "movie.h264") &&
            Ffmpeg("-i " + mkv_ + " -map 0:a -c copy -f ac3", d_ + "movie.ac3") &&
            Made({"mkvmerge", "-q", "-o", text_, mkv_, "--language", "0:rus", d_ + "film.srt"});
  }
  void SetUp() override { ASSERT_TRUE(made_) << "the sample film could not be made"; }
  static inline TempFolder media_{"tsmuxer-media"};
  static inline const std::string d_ = media_.str() + "/Filme-\xC3\x9Cmlaut/";
  static inline const std::string mkv_ = d_ + "film.mkv", text_ = d_ + "with-text.mkv";
  static inline bool made_ = false;
};

TEST_F(ToolkitTsmuxer, RawAndMatroskaSourcesBecomeBluRayStreamsAndBadJobsLeaveNothing) {
  // Jobs that cannot be done: one line naming what is wrong, and no result.
  WriteFile(O("empty.srt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\n<i></i>\r\n\r\n");
  const std::string options = meta::M2tsOptions(""), video = meta::H264FromSource(mkv_, "1", "25");
  const std::string audio = meta::Ac3FromSource(mkv_, "2");
  const std::pair<meta::Lines, std::string> bad[] = {
      {{options, video, meta::Ac3FromFolder(out.withSep()), ""}, "movie.ac3"},
      {{options, video, meta::Ac3FromSource(mkv_, "7"), ""}, "track 7"},
      {{options, video, meta::SourceAudio("dts", mkv_, "2"), ""}, "A_DTS"},
      {{options, video, audio, meta::BrowsedSubtitle(mkv_, kPicture, "25")}, "no subtitle track"},
      {{options, video, audio, meta::BrowsedSubtitle(O("empty.srt"), kPicture, "25")},
       "no subtitle"},
  };
  for (const auto& [lines, named] : bad) {
    EXPECT_TRUE(FailedNaming(Mux(lines, O("film.m2ts")), named));
    EXPECT_EQ((Args{"empty.srt", "movie.meta"}), Entries(out.path())) << named;
  }
  // V1 + A1: the raw streams (the video with B-frames), the level left as it is.
  ASSERT_TRUE(Done(
      Mux({meta::M2tsOptions(""), meta::H264FromFolder(d_, "23.976"), meta::Ac3FromFolder(d_), ""},
          O("raw.m2ts"))));
  EXPECT_EQ(Probe(d_ + "movie.h264", "v:0", "level"), Probe(O("raw.m2ts"), "v:0", "level"));
  EXPECT_NEAR(11, StreamSeconds(O("raw.m2ts"), "v:0"), 0.2);
  EXPECT_TRUE(DecodesCleanly(O("raw.m2ts")));
  // V2 + A2: straight from the Matroska source, the level patched; 192-byte packets.
  const std::string m2ts = O("film.m2ts");
  const meta::Lines job = {meta::M2tsOptions(""), meta::H264FromSource(mkv_, "1", "23.976"),
                           meta::Ac3FromSource(mkv_, "2"), ""};
  ASSERT_TRUE(Done(Mux(job, m2ts)));
  EXPECT_EQ((Args{"empty.srt", "film.m2ts", "movie.meta", "raw.m2ts"}), Entries(out.path()));
  EXPECT_TRUE(FileSize(m2ts) % 192 == 0 && quillet::ReadBytes(m2ts, 5).value_or("")[4] == '\x47');
  EXPECT_EQ("h264,41,0x1011 ac3,6,0x1100", Streams(m2ts, "codec_name,level,channels,id"));
  EXPECT_EQ("ger", ProbeEntry(m2ts, "stream_tags=language", "a:0"));
  EXPECT_NEAR(11, StreamSeconds(m2ts, "v:0"), 0.2);
  EXPECT_NEAR(11, StreamSeconds(m2ts, "a:0"), 0.2);
  EXPECT_TRUE(DecodesCleanly(m2ts));
  // Parts within the size that together last the film.
  meta::Lines split = job;
  split.options = meta::M2tsOptions(" --split-size=0.2MB ");
  ASSERT_TRUE(Done(Mux(split, O("parts/film.m2ts"))));
  const Args names = Entries(out.path() / "parts");  // film.m2ts, film.2.m2ts, ...
  EXPECT_TRUE(names.size() >= 3 && names[0] == "film.2.m2ts" && names.back() == "film.m2ts");
  double seconds = 0;
  for (const std::string& name : names) {
    EXPECT_LE(FileSize(O("parts/" + name)), 200000) << name;
    EXPECT_EQ("h264,0x1011 ac3,0x1100", Streams(O("parts/" + name), "codec_name,id")) << name;
    seconds += StreamSeconds(O("parts/" + name), "v:0");
  }
  EXPECT_NEAR(11, seconds, 0.2);
}

// The runs of frames (first, last) with light pixels low in the picture, subtitles laid over.
std::vector<std::pair<int, int>> TextRuns(const std::string& input, const std::string& raw) {
  EXPECT_TRUE(
      Ffmpeg("-i " + input + " -filter_complex [0:v][0:s]overlay -f rawvideo -pix_fmt gray", raw));
  const std::string bytes = quillet::ReadBytes(raw).value_or("");
  std::vector<std::pair<int, int>> runs;
  const size_t size = kWidth * kHeight;
  for (int n = 0; (n + 1) * size <= bytes.size(); ++n) {
    const auto frame = bytes.begin() + n * size;
    if (std::none_of(frame + size / 2, frame + size, [](char c) { return uint8_t(c) > 200; }))
      continue;
    if (runs.empty() || runs.back().second != n - 1) runs.push_back({n, n});
    runs.back().second = n;
  }
  return runs;
}

TEST_F(ToolkitTsmuxer, TextSubtitlesAreDrawnOnTheirFramesAndKeepTheirLanguage) {
  // The SubRip file beside the film: each cue shown from its first to its last frame, within
  // one frame, and nothing between.
  meta::Lines job = {meta::M2tsOptions(""), meta::H264FromSource(mkv_, "1", "23.976"),
                     meta::Ac3FromSource(mkv_, "2"),
                     meta::SrtBesideSource(mkv_, kPicture, "23.976")};
  ASSERT_TRUE(Done(Mux(job, O("film.m2ts"))));
  EXPECT_EQ("h264,0x1011 ac3,0x1100 hdmv_pgs_subtitle,0x1200",
            Streams(O("film.m2ts"), "codec_name,id"));
  EXPECT_EQ((Args{"film.m2ts", "movie.meta"}), Entries(out.path())) << "the drawn stream stays";
  const auto runs = TextRuns(O("film.m2ts"), O("frames.gray"));
  ASSERT_EQ(std::size(kCues), runs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    EXPECT_NEAR(std::lround(kCues[i].first * kFps), runs[i].first, 1) << "cue " << i;
    EXPECT_NEAR(std::lround(kCues[i].second * kFps) - 1, runs[i].second, 1) << "cue " << i;
  }
  // A Matroska text track: its language in the PMT, and in the folder's navigation files.
  job.subtitle = meta::SourceSubtitle(text_, kPicture, "3", "23.976", "rus");
  ASSERT_TRUE(Done(Mux(job, O("rus.m2ts"))));
  EXPECT_EQ("rus", ProbeEntry(O("rus.m2ts"), "stream_tags=language", "s:0"));
  job.options = meta::AvchdOptions(" --split-size=0.2MB");
  ASSERT_TRUE(Done(Mux(job, O("disc"))));
  const size_t clips = Entries(out.path() / "disc/BDMV/STREAM").size();
  ASSERT_GE(clips, 3u);
  const std::string titles = Quiet({"bd_list_titles", "-l", O("disc")}).out;
  for (const std::string& seen : {std::string("duration: 00:00:11"), Format("clips:   %zu", clips),
                                  std::string("V:1 A:1  PG:1"), std::string("PG : rus")})
    EXPECT_NE(std::string::npos, titles.find(seen)) << seen << " in\n" << titles;
  EXPECT_EQ("hdmv_pgs_subtitle", Probe(O("disc/BDMV/STREAM/00000.m2ts"), "s:0", "codec_name"));
  // The strict reader finds in them only what the writers are known to break still.
  namespace b = toolkit::bluray;
  const std::set<std::string> stillBroken = {"continuity",    "arrival-order",  "psi-gap",
                                             "aligned-units", "recording-rate", "video-format",
                                             "title-end"};
  for (const b::StrictResult& read :
       {b::CheckBluRayFolder(O("disc")),
        b::CheckTransportStreamFile(O("rus.m2ts"), b::StreamUse::kPlainStream)}) {
    EXPECT_TRUE(read.readable) << read.problem;
    for (const b::BrokenRule& broken : read.broken)
      EXPECT_TRUE(stillBroken.count(broken.rule)) << broken.file << ": " << broken.text;
  }
}

// The picture at a second, as an MD5.
std::string FrameAt(const std::string& input, int second) {
  return Quiet(Words("ffmpeg -nostdin -v error -ss " + std::to_string(second) + " -i " + input +
                     " -map 0:v -frames:v 1 -f md5 -"))
      .out;
}

// ffmpeg plays a folder's title from three minutes up: 200 s in two clips, a chapter mark
// each minute, read by libbluray and by ffmpeg, which seeks through the EP map.
TEST_F(ToolkitTsmuxer, ABluRayFolderOfTwoClipsPlaysAsOneTitle) {
  const std::string film = O("long.mkv");
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i testsrc2=size=320x180:rate=24000/1001 -f lavfi -i sine=f=440:"
             "sample_rate=48000 -t 200 -c:v libx264 -preset ultrafast -g 24 -pix_fmt "
             "yuv420p -c:a ac3 -b:a 96k",
             film));
  meta::Lines job = {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr",
                     meta::H264FromSource(film, "1", "23.976"), meta::Ac3FromSource(film, "2"), ""};
  ASSERT_TRUE(Done(Mux(job, O("film.m2ts"))));
  job.options += " --blu-ray --auto-chapters=1 --split-size=" +
                 std::to_string(FileSize(O("film.m2ts")) / 1900) + "KB";
  ASSERT_TRUE(Done(Mux(job, O("disc"))));
  const std::string list = Quiet({"bd_list_titles", "-l", O("disc")}).out;
  for (const char* seen : {"duration: 00:03:19", "chapters:   4", "clips:   2", "V:1 A:1"})
    EXPECT_NE(std::string::npos, list.find(seen)) << seen << " in\n" << list;
  EXPECT_NEAR(200, Seconds("bluray:" + O("disc")), 0.5);
  const std::string at130 = FrameAt(O("film.m2ts"), 130);
  EXPECT_EQ(at130, FrameAt("bluray:" + O("disc"), 130));
  EXPECT_NE(at130, FrameAt("bluray:" + O("disc"), 30));
}

}  // namespace
}  // namespace quillet::test
