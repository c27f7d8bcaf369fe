// The muxer's job file as the program writes it: the MUXOPT line of every target, the
// video, audio and subtitle line forms, and the one-line refusals of anything else.

#include <gtest/gtest.h>

#include "toolkit/MuxInputs.h"
#include "toolkit/MuxJob.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

MuxJob Parsed(const std::string& text) {
  std::string error;
  auto job = ParseMuxJob(text, &error);
  EXPECT_TRUE(job.has_value()) << error << "\n" << text;
  return job.value_or(MuxJob{});
}

std::string Refusal(const std::string& text) {
  std::string error;
  auto job = ParseMuxJob(text, &error);
  EXPECT_FALSE(job.has_value()) << text;
  return error;
}

const std::string kVideo = "V_MPEG4/ISO/AVC, \"D:\\out\\movie.h264\", fps=23.976\r\n";

TEST(ToolkitMuxJob, TheOptionLinesOfEveryTarget) {
  struct Case {
    std::string line;
    bool bluRay, blankPlaylist;
    int chapters;
    long long split;
  };
  const Case cases[] = {
      {"MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --vbv-len=500", false,
       false, 5, 0},
      {"MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --split-size=3000MB  "
       "--vbv-len=500",
       false, false, 5, 3000000000LL},
      {"MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  "
       "--auto-chapters=5 --vbv-len=500 --split-size=7900MB ",
       true, true, 5, 7900000000LL},
      {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500", false, false, 0, 0},
      {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 "
       "--split-size=4GB --vbv-len=500",
       true, false, 5, 4000000000LL},
      {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr --split-size=4.3GB ", false, false, 0,
       4300000000LL},
  };
  for (const Case& c : cases) {
    MuxJob job = Parsed(c.line + "\r\n" + kVideo);
    EXPECT_EQ(c.bluRay, job.options.bluRay) << c.line;
    EXPECT_EQ(c.blankPlaylist, job.options.insertBlankPlaylist) << c.line;
    EXPECT_EQ(c.chapters, job.options.chapterMinutes) << c.line;
    EXPECT_EQ(c.split, job.options.splitBytes) << c.line;
    ASSERT_EQ(1u, job.tracks.size()) << c.line;
  }
}

TEST(ToolkitMuxJob, TheTrackLineForms) {
  const std::string text =
      "MUXOPT --blu-ray\r\n"
      "V_MPEG4/ISO/AVC, \"D:\\My Films\\Über, das Boot.mkv\", track=1, level=4.1, fps=23.976\r\n"
      "A_DTS, \"D:\\My Films\\Über, das Boot.mkv\", track=3\r\n"
      "S_TEXT/UTF8, \"D:\\My Films\\Über, das Boot.srt\" ,font-name=\"Arial\",font-size=42,"
      "font-color=0x00FFFFFF,font-charset=1,bottom-offset=50,font-border=1,text-align=center,"
      "video-width=1920,video-height=800, , fps=23.976\r\n";
  MuxJob job = Parsed(text);
  ASSERT_EQ(3u, job.tracks.size());
  const MuxTrack& v = job.tracks[0];
  EXPECT_EQ(TrackCodec::H264, v.codec);
  EXPECT_EQ("D:\\My Films\\Über, das Boot.mkv", v.path);
  EXPECT_EQ(1, v.track.value_or(0));
  EXPECT_EQ(41, v.level);
  EXPECT_EQ("23.976", v.fps);
  EXPECT_EQ(2, v.line);
  EXPECT_EQ(TrackCodec::Dts, job.tracks[1].codec);
  EXPECT_EQ(3, job.tracks[1].track.value_or(0));
  EXPECT_EQ(0, job.tracks[1].level);
  const MuxTrack& s = job.tracks[2];
  EXPECT_EQ(TrackCodec::TextSubtitle, s.codec);
  EXPECT_EQ("D:\\My Films\\Über, das Boot.srt", s.path);
  EXPECT_EQ("Arial", s.style.at("font-name"));
  EXPECT_EQ("1920", s.style.at("video-width"));
  EXPECT_EQ("800", s.style.at("video-height"));
  EXPECT_FALSE(s.track.has_value());

  // The other forms, with LF line ends: MPEG-2 from a program stream, VC-1, MP3, languages.
  job = Parsed(
      "MUXOPT --vbr\n"
      "V_MPEG-2, \"/w/movie.mpg\", fps=25.000, track=224\n"
      "A_MP3, \"/w/film.mkv\", track=2, lang=ger\n"
      "S_TEXT/UTF8, \"/w/film.mkv\" ,font-name=\"Arial\", track=4, fps=25, lang=undefined\n");
  ASSERT_EQ(3u, job.tracks.size());
  EXPECT_EQ(224, job.tracks[0].track.value_or(0));
  EXPECT_EQ("ger", job.tracks[1].language);
  EXPECT_EQ("und", job.tracks[2].language);
  EXPECT_EQ(TrackCodec::Vc1, Parsed("V_MS/VFW/WVC1, \"/w/movie.vc1\", fps=23.976").tracks[0].codec);
}

TEST(ToolkitMuxJob, APathInTheWindowsCodePageIsReadAsSuch) {
  // "Über" written by the program in Windows-1252: 0xDC, not UTF-8.
  MuxJob job = Parsed(
      "MUXOPT --vbr\r\nA_AC3, \"D:\\\xDC"
      "ber \x80.ac3\"\r\n");
  ASSERT_EQ(1u, job.tracks.size());
  EXPECT_EQ("D:\\Über €.ac3", job.tracks[0].path);
  // A byte-order mark in front of the first line is no part of it.
  EXPECT_EQ(1u, Parsed("\xEF\xBB\xBFMUXOPT --vbr\n" + kVideo).tracks.size());
}

TEST(ToolkitMuxJob, RefusalsNameWhatIsWrong) {
  struct Case {
    std::string text;
    std::string named;
  };
  const Case cases[] = {
      {"MUXOPT --vbr --cut-start=10\n" + kVideo, "--cut-start=10"},
      {"MUXOPT --split-size=12XB\n" + kVideo, "--split-size=12XB"},
      {"MUXOPT --auto-chapters=x\n" + kVideo, "--auto-chapters=x"},
      {"MUXOPT --vbr\nV_MPEG4/ISO/HEVC, \"/w/a.h265\"\n", "V_MPEG4/ISO/HEVC"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", bitrate=640\n", "bitrate"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", track=0\n", "track=0"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", track=two\n", "track=two"},
      {"MUXOPT --vbr\nV_MPEG4/ISO/AVC, \"/w/a.h264\", fps=fast\n", "fps=fast"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", level=4.1\n", "level=4.1"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", lang=english\n", "lang=english"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", noequals\n", "noequals"},
      {"MUXOPT --vbr\nA_AC3\n", "A_AC3"},
      {"MUXOPT --vbr\n", "no track"},
      {"MUXOPT --vbr\n" + kVideo + kVideo, "more than one video"},
  };
  for (const Case& c : cases) {
    std::string error = Refusal(c.text);
    EXPECT_NE(std::string::npos, error.find(c.named)) << error;
    EXPECT_EQ(std::string::npos, error.find('\n')) << error;
  }
  // The line is named too.
  EXPECT_NE(std::string::npos, Refusal("MUXOPT\n\nA_AC3, \"/a.ac3\", fps=x\n").find("line 3"));
}

TEST(ToolkitMuxJob, SplitSizesAreDecimal) {
  const std::pair<std::string, long long> good[] = {
      {"3000MB", 3000000000LL}, {"4GB", 4000000000LL}, {"4.3GB", 4300000000LL},
      {"23gb", 23000000000LL},  {"500KB", 500000},     {"0.3MB", 300000},
  };
  for (const auto& [text, bytes] : good)
    EXPECT_EQ(bytes, ParseSplitSize(text).value_or(-1)) << text;
  for (const char* bad : {"", "4", "MB", "-3MB", "0MB", "4TB", "4 GiB", "four GB"})
    EXPECT_FALSE(ParseSplitSize(bad).has_value()) << bad;
}

TEST(ToolkitMuxJob, CodecIdsAndProbeNamesAgree) {
  EXPECT_TRUE(CodecMatches(TrackCodec::H264, "h264"));
  EXPECT_FALSE(CodecMatches(TrackCodec::H264, "hevc"));
  EXPECT_TRUE(CodecMatches(TrackCodec::Mp2, "mp3"));  // one demuxer reads both layers
  EXPECT_FALSE(CodecMatches(TrackCodec::Ac3, "eac3"));
  EXPECT_TRUE(CodecMatches(TrackCodec::Mpeg2Video, "mpeg2video"));
  EXPECT_FALSE(CodecMatches(TrackCodec::Dts, "ac3"));
}

TEST(ToolkitMuxJob, ProbeAnswersAreRead) {
  auto probe = ParseProbeJson(R"({"streams":[
    {"index":0,"codec_name":"h264","codec_type":"video","width":1920,"height":1080,
     "field_order":"tt","avg_frame_rate":"30000/1001","level":41,
     "tags":{"DURATION":"00:01:02.500000000"}},
    {"index":1,"codec_name":"mp2","codec_type":"audio","channels":2,"sample_rate":"48000",
     "id":"0x1c0","duration":"61.9","tags":{"language":"ger"}}],
    "format":{"format_name":"matroska,webm","duration":"62.5"}})");
  ASSERT_TRUE(probe.has_value());
  EXPECT_EQ("matroska,webm", probe->format);
  EXPECT_DOUBLE_EQ(62.5, probe->duration);
  ASSERT_EQ(2u, probe->streams.size());
  const ProbedStream& v = probe->streams[0];
  EXPECT_TRUE(v.interlaced);
  EXPECT_NEAR(29.97, v.fps, 0.001);
  EXPECT_EQ(41, v.level);
  EXPECT_DOUBLE_EQ(62.5, v.duration);
  const ProbedStream& a = probe->streams[1];
  EXPECT_EQ(0x1c0, a.id);
  EXPECT_EQ(48000, a.sampleRate);
  EXPECT_EQ("ger", a.language);
  EXPECT_DOUBLE_EQ(61.9, a.duration);
  EXPECT_FALSE(ParseProbeJson("not json").has_value());
}

TEST(ToolkitAften, DefaultRatesFollowTheChannelsWithoutLfe) {
  const std::pair<int, int> rates[] = {{1, 96}, {2, 192}, {3, 256}, {4, 384}, {5, 448}};
  for (auto [channels, kbps] : rates) EXPECT_EQ(kbps, AftenDefaultKbps(channels)) << channels;

  std::string error;
  auto call = ParseAftenArgs({"/w/movie.wav", "-b", "640", "/w/movie.ac3"}, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(640, call->kbps);
  EXPECT_EQ("/w/movie.wav", call->input);
  EXPECT_EQ("/w/movie.ac3", call->output);
  call = ParseAftenArgs({"/w/movie.wav", "/w/movie.ac3"}, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(0, call->kbps);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"-b", "1000", "a.wav", "a.ac3"},
        {"-b"},
        {"a.wav"},
        {"-v", "a.wav", "a.ac3"},
        {"a.wav", "b.wav", "a.ac3"}})
    EXPECT_FALSE(ParseAftenArgs(bad, &error).has_value()) << bad.size();
}

}  // namespace
}  // namespace quillet::toolkit
