// The transport-stream muxer slot with the real Debian tools, on one small dark film made
// here: started through its link with the job files the program writes (CR LF lines), the
// results judged by ffprobe, by ffmpeg laying the drawn subtitles over the picture, and by
// libbluray.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "convert/MetaFile.h"
#include "tests/support/ToolkitRun.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using toolkit::FileSize;
using toolkit::Format;

constexpr int kWidth = 640, kHeight = 360;
constexpr double kFps = 24000.0 / 1001, kSeconds = 11;
const meta::Picture kPicture = {kWidth, kHeight};

// Cue times; the SubRip file has CR LF, a byte-order mark, numbering gaps, blank runs,
// accents, German and Cyrillic letters, a three-line and an italic cue.
const std::pair<double, double> kCues[] = {{1.0, 2.5}, {3.0, 4.5}, {5.0, 7.0}, {8.0, 9.5}};
const char kSrt[] =
    "\xEF\xBB\xBF"
    "1\r\n00:00:01,000 --> 00:00:02,500\r\nCaf\xC3\xA9 cr\xC3\xA8me \xC3\xA0 la fran\xC3\xA7"
    "aise\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,500\r\nStra\xC3\x9F"
    "e, \xC3\x84pfel und \xC3\x96l\r\n\r\n\r\n\r\n"
    "7\r\n00:00:05,000 --> 00:00:07,000\r\n\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
    "\xD0\xBC\xD0\xB8\xD1\x80\r\n\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C\r\nthird line\r\n\r\n"
    "8\r\n00:00:08,000 --> 00:00:09,500\r\n<i>Italic words</i> here\r\n";

// Job files as the program writes them, for one small dark film made here.
class ToolkitTsmuxer : public SlotTest {
 protected:
  // 11 s of dark 640x360 H.264 with B-frames and AC3 5.1 (ger); its raw streams as the
  // program extracts them; the SubRip file beside it, and as a text track (rus).
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

  toolkit::ToolResult Mux(const meta::Lines& lines, const std::string& result) {
    WriteFile(O("movie.meta"), meta::Text(lines));
    return Slot("TS/tsmuxer.exe", {O("movie.meta"), result});
  }
  ::testing::AssertionResult MuxOk(const meta::Lines& lines, const std::string& result) {
    WriteFile(O("movie.meta"), meta::Text(lines));
    return SlotOk("TS/tsmuxer.exe", {O("movie.meta"), result});
  }

  static inline TempFolder media_{"tsmuxer-media"};
  static inline const std::string d_ = media_.str() + "/Filme-\xC3\x9Cmlaut/";
  static inline const std::string mkv_ = d_ + "film.mkv", text_ = d_ + "with-text.mkv";
  static inline bool made_ = false;
};

// The clock on PID 0x1001 at most 40 ms apart, and arrival stamps that never go back.
::testing::AssertionResult ClockAndArrivalsHold(const std::string& m2ts) {
  const std::string d = toolkit::ReadBytes(m2ts).value_or("");
  auto byte = [&d](size_t at) { return static_cast<uint64_t>(static_cast<unsigned char>(d[at])); };
  uint64_t lastArrival = 0, lastPcr = 0;
  int clocks = 0;
  for (size_t at = 0; at + 192 <= d.size(); at += 192) {
    const uint64_t arrival =
        (byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3)) & 0x3FFFFFFF;
    if (arrival < lastArrival) return ::testing::AssertionFailure() << "arrival back at " << at;
    lastArrival = arrival;
    const size_t p = at + 4;
    if (((byte(p + 1) & 0x1F) << 8 | byte(p + 2)) != 0x1001) continue;
    if (!(byte(p + 3) & 0x20) || byte(p + 4) == 0 || !(byte(p + 5) & 0x10)) continue;
    const uint64_t pcr = (byte(p + 6) << 25 | byte(p + 7) << 17 | byte(p + 8) << 9 |
                          byte(p + 9) << 1 | byte(p + 10) >> 7) *
                         300;
    if (clocks++ && pcr - lastPcr > 27000000 / 25)
      return ::testing::AssertionFailure() << "clock gap of " << (pcr - lastPcr) / 27000 << " ms";
    lastPcr = pcr;
  }
  if (clocks > 100) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << clocks << " clock packets on 0x1001";
}

TEST_F(ToolkitTsmuxer, RawAndMatroskaSourcesBecomeBluRayStreamsAndBadJobsLeaveNothing) {
  // V1 + A1: the raw streams (the video with B-frames), the level left as it is.
  ASSERT_TRUE(MuxOk(
      {meta::M2tsOptions(""), meta::H264FromFolder(d_, "23.976"), meta::Ac3FromFolder(d_), ""},
      O("raw.m2ts")));
  EXPECT_EQ(Probe(d_ + "movie.h264", "v:0", "level"), Probe(O("raw.m2ts"), "v:0", "level"));
  EXPECT_NEAR(kSeconds, StreamSeconds(O("raw.m2ts"), "v:0"), 0.2);
  EXPECT_TRUE(DecodesCleanly(O("raw.m2ts")));

  // V2 + A2: straight from the Matroska source, the level patched.
  const std::string m2ts = O("film.m2ts");
  const meta::Lines fromSource = {meta::M2tsOptions(""), meta::H264FromSource(mkv_, "1", "23.976"),
                                  meta::Ac3FromSource(mkv_, "2"), ""};
  ASSERT_TRUE(MuxOk(fromSource, m2ts));
  EXPECT_EQ((Args{"film.m2ts", "movie.meta", "raw.m2ts"}), Entries(out.path()));
  EXPECT_EQ(0, FileSize(m2ts) % 192);
  EXPECT_EQ(0x47, static_cast<unsigned char>(toolkit::ReadBytes(m2ts, 5).value_or("")[4]));
  EXPECT_EQ("0x1011", Probe(m2ts, "v:0", "id"));
  EXPECT_EQ("41", Probe(m2ts, "v:0", "level"));
  EXPECT_EQ("0x1100", Probe(m2ts, "a:0", "id"));
  EXPECT_EQ("6", Probe(m2ts, "a:0", "channels"));
  EXPECT_EQ("ger", Language(m2ts, "a:0"));
  EXPECT_NEAR(kSeconds, StreamSeconds(m2ts, "v:0"), 0.2);
  EXPECT_NEAR(kSeconds, StreamSeconds(m2ts, "a:0"), 0.2);
  EXPECT_TRUE(DecodesCleanly(m2ts));
  EXPECT_TRUE(ClockAndArrivalsHold(m2ts));

  // Parts within the size that together last the film.
  TempFolder parts("tsmuxer-parts");
  meta::Lines split = fromSource;
  split.options = meta::M2tsOptions(" --split-size=0.2MB ");
  ASSERT_TRUE(MuxOk(split, parts.str() + "/film.m2ts"));
  const std::vector<std::string> names = Entries(parts.path());
  ASSERT_GE(names.size(), 3u);
  double total = 0;
  for (size_t n = 1; n <= names.size(); ++n) {
    const std::string part = parts.str() + (n == 1 ? "/film.m2ts" : Format("/film.%zu.m2ts", n));
    EXPECT_LE(FileSize(part), 200000) << part;
    EXPECT_EQ("0x1011", Probe(part, "v:0", "id")) << part;
    total += StreamSeconds(part, "v:0");
  }
  EXPECT_NEAR(kSeconds, total, 0.2);

  // Jobs that cannot be done: one line naming what is wrong, and no result.
  fs::remove(m2ts);
  fs::remove(O("raw.m2ts"));
  WriteFile(O("empty.srt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\n<i></i>\r\n\r\n");
  const std::string video = meta::H264FromSource(mkv_, "1", "23.976");
  const std::string audio = meta::Ac3FromSource(mkv_, "2"), opt = "MUXOPT --vbr";
  const std::pair<meta::Lines, std::string> bad[] = {
      {{opt + " --no-such-option", video, audio, ""}, "--no-such-option"},
      {{opt, "V_MPEGH/ISO/HEVC, \"" + mkv_ + "\"", audio, ""}, "V_MPEGH/ISO/HEVC"},
      {{opt, video + ", colour=red", audio, ""}, "colour"},
      {{opt, video, meta::Ac3FromFolder(out.str() + "/"), ""}, "movie.ac3"},
      {{opt, video, meta::Ac3FromSource(mkv_, "7"), ""}, "track 7"},
      {{opt, video, meta::SourceAudio("dts", mkv_, "2"), ""}, "A_DTS"},
      {{opt, video, audio, meta::BrowsedSubtitle(mkv_, kPicture, "23.976")},
       "has no subtitle track"},
      {{opt, video, audio, meta::BrowsedSubtitle(O("empty.srt"), kPicture, "23.976")},
       "no subtitle"},
      {{opt, video, audio, meta::SourceSubtitle(text_, kPicture, "2", "23.976", "rus")},
       "not S_TEXT/UTF8"},
  };
  for (const auto& [lines, named] : bad) {
    EXPECT_TRUE(FailedNaming(Mux(lines, m2ts), named));
    EXPECT_EQ((Args{"empty.srt", "movie.meta"}), Entries(out.path())) << named;
  }
}

// How many light pixels each frame has in the lower half of the picture, the subtitle
// stream laid over the video.
std::vector<int> LitPerFrame(const std::string& input, const std::string& raw) {
  EXPECT_TRUE(Made({"ffmpeg", "-nostdin", "-y", "-v", "error", "-i", input, "-filter_complex",
                    "[0:v][0:s]overlay", "-f", "rawvideo", "-pix_fmt", "gray", raw}));
  const std::string bytes = toolkit::ReadBytes(raw).value_or("");
  fs::remove(raw);
  std::vector<int> lit;
  const size_t frame = kWidth * kHeight;
  for (size_t at = 0; at + frame <= bytes.size(); at += frame) {
    int n = 0;
    for (size_t i = at + frame / 2; i < at + frame; ++i)
      n += static_cast<unsigned char>(bytes[i]) > 200;
    lit.push_back(n);
  }
  return lit;
}

// Every cue is seen from its first to its last frame (within one frame), nothing between.
void ExpectCuesOnTheirFrames(const std::vector<int>& lit) {
  ASSERT_GT(lit.size(), static_cast<size_t>(10.5 * kFps));
  auto frameOf = [](double seconds) { return static_cast<int>(std::lround(seconds * kFps)); };
  for (const auto& [start, end] : kCues) {
    const int first = frameOf(start), last = frameOf(end) - 1;
    EXPECT_GT(lit[(first + last) / 2], 100) << "no text in the middle of the cue at " << start;
    int shownFrom = first - 3, shownTo = last + 3;
    while (shownFrom < last && lit[shownFrom] == 0) ++shownFrom;
    while (shownTo > first && lit[shownTo] == 0) --shownTo;
    EXPECT_LE(std::abs(shownFrom - first), 1) << "cue at " << start << " starts late/early";
    EXPECT_LE(std::abs(shownTo - last), 1) << "cue at " << start << " ends late/early";
  }
  for (double between : {0.5, 2.75, 4.75, 7.5, 10.5})
    EXPECT_EQ(0, lit[frameOf(between)]) << "text at " << between << " s";
}

TEST_F(ToolkitTsmuxer, TextSubtitlesAreDrawnOnTheirFramesAndKeepTheirLanguage) {
  meta::Lines job = {meta::M2tsOptions(""), meta::H264FromSource(mkv_, "1", "23.976"),
                     meta::Ac3FromSource(mkv_, "2"),
                     meta::SrtBesideSource(mkv_, kPicture, "23.976")};
  ASSERT_TRUE(MuxOk(job, O("film.m2ts")));
  EXPECT_EQ("hdmv_pgs_subtitle", Probe(O("film.m2ts"), "s:0", "codec_name"));
  EXPECT_EQ("0x1200", Probe(O("film.m2ts"), "s:0", "id"));
  EXPECT_EQ((Args{"film.m2ts", "movie.meta"}), Entries(out.path())) << "the drawn stream stays";
  ExpectCuesOnTheirFrames(LitPerFrame(O("film.m2ts"), O("frames.gray")));

  // A Matroska text track: its language in the PMT, and in the folder's navigation files.
  job.subtitle = meta::SourceSubtitle(text_, kPicture, "3", "23.976", "rus");
  ASSERT_TRUE(MuxOk(job, O("rus.m2ts")));
  EXPECT_EQ("rus", Language(O("rus.m2ts"), "s:0"));
  job.options = meta::AvchdOptions(" --split-size=0.2MB");
  ASSERT_TRUE(MuxOk(job, O("disc")));
  const std::vector<std::string> clips = Entries(out.path() / "disc/BDMV/STREAM");
  ASSERT_GE(clips.size(), 3u);
  EXPECT_EQ("00000.m2ts", clips[0]);
  const toolkit::ToolResult titles = Quiet({"bd_list_titles", "-l", O("disc")});
  ASSERT_TRUE(titles.Ok()) << titles.err;
  for (const std::string& seen :
       {std::string("duration: 00:00:11"), Format("clips:   %zu", clips.size()),
        std::string("V:1 A:1  PG:1"), std::string("PG : rus"), std::string("AUD: ger")})
    EXPECT_NE(std::string::npos, titles.out.find(seen)) << seen << " in\n" << titles.out;
  const std::string clip = O("disc/BDMV/STREAM/00000.m2ts");
  EXPECT_EQ("hdmv_pgs_subtitle", Probe(clip, "s:0", "codec_name"));
  EXPECT_EQ("0x1200", Probe(clip, "s:0", "id"));
}

// The picture at a second, as an MD5.
std::string FrameAt(const std::string& input, int second) {
  return toolkit::Trim(Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", std::to_string(second),
                              "-i", input, "-map", "0:v", "-frames:v", "1", "-f", "md5", "-"})
                           .out);
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
  // The film whole, and in a folder cut into two clips.
  meta::Lines job = {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr",
                     meta::H264FromSource(film, "1", "23.976"), meta::Ac3FromSource(film, "2"), ""};
  ASSERT_TRUE(MuxOk(job, O("film.m2ts")));
  job.options += " --blu-ray --auto-chapters=1 --split-size=" +
                 std::to_string(FileSize(O("film.m2ts")) / 1900) + "KB";
  ASSERT_TRUE(MuxOk(job, O("disc")));
  const std::string list = Quiet({"bd_list_titles", "-l", O("disc")}).out;
  for (const char* seen : {"duration: 00:03:19", "chapters:   4", "clips:   2", "V:1 A:1"})
    EXPECT_NE(std::string::npos, list.find(seen)) << seen << " in\n" << list;
  const std::string bluray = "bluray:" + O("disc");
  EXPECT_NEAR(200, Seconds(bluray), 0.5);
  EXPECT_EQ("h264", Probe(bluray, "v:0", "codec_name"));
  const std::string at130 = FrameAt(O("film.m2ts"), 130);
  EXPECT_EQ(at130, FrameAt(bluray, 130));
  EXPECT_NE(at130, FrameAt(bluray, 30));
}

}  // namespace
}  // namespace quillet::test
