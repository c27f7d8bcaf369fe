// The transport-stream muxer slot with the real Debian tools, on films made here: started
// through its link with the job files the program writes, the results judged by ffprobe, by
// ffmpeg laying the drawn subtitles over the picture, and by libbluray.

#include <gtest/gtest.h>
#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <libbluray/log_control.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <map>
#include <set>
#include <thread>

#include "tests/support/StartedProgram.h"
#include "tests/support/ToolkitRun.h"
#include "toolkit/M2tsMux.h"
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

// Per stream of the parts ("0x1011 h264"), each packet as ffprobe reads it: "pts dts flags",
// the decoding time left out for the first two video frames, which each road extrapolates.
std::map<std::string, Args> PacketsOf(const Args& parts) {
  std::map<std::string, Args> packets;
  for (const std::string& part : parts) {
    Args ids = quillet::Split(Streams(part, "id,codec_name"), ' ');
    for (const std::string& line :
         quillet::Split(Quiet(Words("ffprobe -v error -of csv=p=0 -show_entries packet=stream_"
                                    "index,pts,dts,flags " +
                                    part))
                            .out,
                        '\n')) {
      const Args f = quillet::Split(line, ',');
      if (f.size() < 4) continue;
      Args& stream = packets[ids.at(std::stoul(f[0]))];
      stream.push_back(f[1] + " " + (stream.size() < 2 ? "" : f[2]) + " " + f[3]);
    }
  }
  return packets;
}

// Raw streams muxed by the toolkit's own packetizer give the packets ffmpeg gives (the way
// taken before, still taken for Matroska sources): same streams, times and key frames.
TEST_F(ToolkitTsmuxer, OwnPacketizerGivesFfmpegsPackets) {
  ASSERT_TRUE(Ffmpeg("-i " + mkv_ + " -map 0:a -c:a dca -strict -2 -ac 2 -f dts", O("movie.dts")));
  // the sound of a Matroska film, starting 100 ms after its picture
  ASSERT_TRUE(Made({"mkvmerge", "-q", "-o", O("late.mkv"), "--sync", "1:100", mkv_}));
  const std::string video = meta::H264FromFolder(d_, "23.976"), ac3 = meta::Ac3FromFolder(d_);
  const std::string srt = meta::SrtBesideSource(d_ + "film.srt", kPicture, "23.976", "heb");
  const std::pair<std::string, meta::Lines> rows[] = {
      {"ac3", {meta::M2tsOptions(""), video, ac3, ""}},
      {"srt", {meta::M2tsOptions(""), video, ac3, srt}},
      {"dts", {meta::M2tsOptions(""), video, meta::SourceAudio("dts", O("movie.dts"), "1"), srt}},
      {"mkv", {meta::M2tsOptions(""), video, meta::Ac3FromSource(O("late.mkv"), "2"), ""}},
      {"parts", {meta::M2tsOptions(" --split-size=0.2MB "), video, ac3, srt}}};
  namespace b = toolkit::bluray;
  for (const auto& [name, job] : rows) {
    ASSERT_TRUE(Done(Mux(job, O(name + "/own.m2ts")))) << name;
    setenv("QUILLET_MUX_THROUGH_FFMPEG", "1", 1);
    ASSERT_TRUE(Done(Mux(job, O(name + "/ffmpeg.m2ts")))) << name;
    unsetenv("QUILLET_MUX_THROUGH_FFMPEG");
    Args own, ffmpeg;  // parts in their order: own.m2ts, own.2.m2ts, ...
    for (int n = 1; FileSize(toolkit::PartName(O(name + "/own.m2ts"), n)) > 0; ++n) {
      own.push_back(toolkit::PartName(O(name + "/own.m2ts"), n));
      ffmpeg.push_back(toolkit::PartName(O(name + "/ffmpeg.m2ts"), n));
    }
    ASSERT_FALSE(own.empty()) << name;
    EXPECT_EQ(PacketsOf(ffmpeg), PacketsOf(own)) << name;
    for (const std::string& part : own) {
      const b::StrictResult read = b::CheckTransportStreamFile(part, b::StreamUse::kPlainStream);
      EXPECT_TRUE(read.readable) << read.problem;
      for (const b::BrokenRule& broken : read.broken)
        // the raw audio lines name no language
        EXPECT_TRUE(broken.rule == "picture-size" || broken.rule == "language")
            << part << ": " << broken.text;
    }
  }
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
                     meta::SrtBesideSource(d_ + "film.srt", kPicture, "23.976")};
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
  // The strict reader finds in them nothing but the source's picture size.
  namespace b = toolkit::bluray;
  const std::set<std::string> stillBroken = {"picture-size"};
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

// A Blu-ray folder as libbluray plays it in navigation mode (first play, as a player starts a
// disc): the film's bytes read, how often its playlist started, whether navigation ended
// rather than waiting on the last picture; and the first clip's video codes and rate.
struct Played {
  long long bytes = 0;
  int filmStarts = 0;
  bool ended = false;
  int format = 0, rate = 0;
  uint32_t recordingRate = 0;
};
Played PlayFolder(const std::string& folder) {
  Played p;
  bd_set_debug_mask(0);
  BLURAY* bd = bd_open(folder.c_str(), nullptr);
  if (!bd) return p;
  if (bd_get_titles(bd, TITLES_ALL, 0) > 0)
    if (BLURAY_TITLE_INFO* title = bd_get_title_info(bd, 0, 0)) {
      if (title->clip_count > 0 && title->clips[0].video_stream_count > 0)
        p.format = title->clips[0].video_streams[0].format,
        p.rate = title->clips[0].video_streams[0].rate;
      bd_free_title_info(title);
    }
  if (clpi_cl* clip = bd_read_clpi((folder + "/BDMV/CLIPINF/00000.clpi").c_str())) {
    p.recordingRate = clip->clip.ts_recording_rate;
    bd_free_clpi(clip);
  }
  bd_get_event(bd, nullptr);
  unsigned char unit[6144];
  const bool started = bd_play(bd);
  for (int reads = 0, idle = 0; started && reads < 20000 && idle < 100 && !p.ended; ++reads) {
    BD_EVENT ev;
    const int got = bd_read_ext(bd, unit, sizeof unit, &ev);
    p.ended = got < 0;
    p.bytes += std::max(got, 0);
    bool events = false;
    do {
      events |= ev.event != BD_EVENT_NONE;
      p.filmStarts += ev.event == BD_EVENT_PLAYLIST && ev.param == 0;
    } while (bd_get_event(bd, &ev));
    idle = got == 0 && !events ? idle + 1 : 0;
  }
  bd_close(bd);
  return p;
}

// The stream libbluray gives a player that seeks `seconds` into the folder's title.
std::string ReadFromSeek(const std::string& folder, int seconds) {
  std::string bytes;
  BLURAY* bd = bd_open(folder.c_str(), nullptr);
  if (bd && bd_get_titles(bd, TITLES_RELEVANT, 0) > 0 && bd_select_title(bd, 0) &&
      bd_seek_time(bd, seconds * 90000ULL) >= 0) {
    unsigned char unit[6144];
    for (int got; (got = bd_read(bd, unit, sizeof unit)) > 0;)
      bytes.append(reinterpret_cast<const char*>(unit), static_cast<size_t>(got));
  }
  if (bd) bd_close(bd);
  return bytes;
}

// What a strict demultiplexer counts in a clip: arrival stamps (27 MHz, 30 bits) and the
// longest wait for a PAT.
struct Timing {
  bool rising = true;
  uint32_t shortestGap = ~0u, longestPatGap = 0;
};
Timing TimingOf(const std::string& bytes) {
  Timing t;
  uint32_t last = 0, lastPat = 0;
  for (size_t n = 0; (n + 1) * 192 <= bytes.size(); ++n) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + n * 192);
    const uint32_t ats = (uint32_t(p[0] & 0x3F) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    const uint32_t gap = (ats - last) & 0x3FFFFFFF, pid = ((p[5] & 0x1F) << 8) | p[6];
    if (n > 0)
      t.rising &= gap > 0 && gap < (1u << 29), t.shortestGap = std::min(t.shortestGap, gap);
    last = ats;
    if (pid == 0 && (p[5] & 0x40)) {
      if (lastPat > 0) t.longestPatGap = std::max(t.longestPatGap, (ats - lastPat) & 0x3FFFFFFF);
      lastPat = ats;
    }
  }
  return t;
}

// The MD5 of the first picture ffmpeg decodes from a stream, or of picture `frame` of it.
std::string PictureMd5(const std::string& input, int frame = 0) {
  return Quiet({"ffmpeg", "-nostdin", "-v", "error", "-i", input, "-map", "0:v", "-vf",
                Format("select=eq(n\\,%d)", frame), "-frames:v", "1", "-f", "md5", "-"})
      .out;
}

// 1440x1080 at 25 frames with a seconds counter, its parameter sets only in front of the first
// picture, as raw H.264 and wrapped by mkvmerge: a seek to 4 s shows the picture at 4 s, the
// clip is read whole, keeps a strict player's timing, and its title ends.
TEST_F(ToolkitTsmuxer, BluRayClipsPlayFromEveryEntryAndTheTitleEnds) {
  const std::string f =
      ShelvedFilm("once",
                  "mkdir once && cd once && ffmpeg -v error -f lavfi -i testsrc=size=1440x"
                  "1080:rate=25:duration=6 -f lavfi -i sine=r=48000:d=6 -pix_fmt yuv420p "
                  "-c:v libx264 -preset ultrafast -g 25 -map 0:v all.h264 -map 1:a -c:a "
                  "ac3 movie.ac3 && ffmpeg -v error -i all.h264 -c copy -bsf:v filter_"
                  "units=pass_types=7-8 -frames:v 1 head.h264 && ffmpeg -v error -i all."
                  "h264 -c copy -bsf:v filter_units=remove_types=7-8 body.h264 && cat "
                  "head.h264 body.h264 >movie.h264 && mkvmerge -q -o film.mkv movie.h264 "
                  "movie.ac3") +
      "/";
  const std::pair<std::string, meta::Lines> rows[] = {
      {"raw", {"", meta::H264FromFolder(f, "25"), meta::Ac3FromFolder(f), ""}},
      {"mkv",
       {"", meta::H264FromSource(f + "film.mkv", "1", "25"),
        meta::Ac3FromSource(f + "film.mkv", "2"), ""}}};
  for (auto [name, job] : rows) {
    job.options = meta::M2tsOptions(" --blu-ray");
    ASSERT_TRUE(Done(Mux(job, O(name))));
    const std::string clip = O(name + "/BDMV/STREAM/00000.m2ts");
    const std::string bytes = quillet::ReadBytes(clip).value_or("");
    const Played played = PlayFolder(O(name));
    EXPECT_EQ(std::tuple(FileSize(clip) % 6144, played.bytes, played.filmStarts, played.ended),
              std::tuple(0LL, FileSize(clip), 1, true))
        << name << ": whole aligned units, read whole, played once, then navigation ends";
    EXPECT_EQ(std::pair(played.format, played.rate), std::pair(4, 3)) << name << ": 1080i, 25";
    const Timing t = TimingOf(bytes);
    EXPECT_TRUE(t.rising) << name << ": two packets arrive at the same time";
    const uint64_t rate = played.recordingRate,
                   atRate = rate ? (192 * 27000000ULL + rate - 1) / rate : ~0ULL;
    EXPECT_GE(t.shortestGap + 1, atRate) << name << ": packets faster than the recording rate";
    EXPECT_LE(t.longestPatGap, 27000000u / 10) << name << ": the PAT more than 100 ms apart";
    WriteFile(O("seek.m2ts"), ReadFromSeek(O(name), 4));
    EXPECT_EQ(PictureMd5(clip, 100), PictureMd5(O("seek.m2ts")))
        << name << ": no picture, or another one, after a seek to 4 s";
  }
}

// Whether the process holds the file open.
bool HoldsOpen(pid_t pid, const std::string& file) {
  std::error_code e;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", e))
    if (fs::read_symlink(fd.path(), e) == file) return true;
  return false;
}

// A SIGTERM while a SubRip file of a million cues is read ends the slot there, and the
// hidden folder the drawing went to goes with it.
TEST_F(ToolkitTsmuxer, AStopEndsTheSubtitleDrawing) {
  std::string srt;
  for (int n = 0; n < 1000000; ++n) srt += "1\n00:00:12,000 --> 00:00:13,000\nafter the film\n\n";
  WriteFile(O("long.srt"), srt);
  WriteFile(O("movie.meta"),
            meta::Text({meta::M2tsOptions(""), meta::H264FromSource(mkv_, "1", "25"),
                        meta::Ac3FromSource(mkv_, "2"),
                        meta::BrowsedSubtitle(O("long.srt"), kPicture, "25")}));
  StartedProgram muxer({kProgram + "/TS/tsmuxer.exe", O("movie.meta"), O("film.m2ts")}, out.str());
  for (int i = 0; i < 5000 && !HoldsOpen(muxer.pid(), O("long.srt")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  muxer.Signal(SIGTERM);
  EXPECT_EQ(143, muxer.Wait(5)) << muxer.Err();
  EXPECT_NE(std::string::npos, muxer.Err().find("stopped while reading the subtitles of"))
      << muxer.Err();
  EXPECT_EQ((Args{"long.srt", "movie.meta"}), Entries(out.path()));
}

}  // namespace
}  // namespace quillet::test
