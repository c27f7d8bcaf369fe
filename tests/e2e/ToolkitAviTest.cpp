// The Xvid AVI and MPEG-2 roads through the toolkit's slots with the real Debian tools:
// mencoder with the command lines the program writes, the AVI muxer with the shipped script
// template filled in as the program fills it, the transport-stream muxer on mencoder's
// program stream, and ffmpeg's VOB repack. Each run is judged by the files it leaves.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "convert/MetaFile.h"
#include "tests/support/ToolkitRun.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using toolkit::FileSize;
using toolkit::Format;

const std::string kXvidOptions =
    "max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:"
    "nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";
const std::string kSubtitles = "-font " + kProgram +
                               "/Mencoder/font.ttf -utf8 -subwidth 90 -subpos 90 "
                               "-subfont-autoscale 1 -subfont-text-scale 4 ";
const std::string kMpeg2 =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate="
    "14900:vbitrate=14900:";

// The bottom quarter of the frame at a time, as grey bytes.
std::string BottomBand(const std::string& path, double at) {
  return Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", Format("%.2f", at), "-i", path,
                "-frames:v", "1", "-vf", "crop=iw:ih/4:0:ih*3/4,format=gray", "-f", "rawvideo",
                "-"})
      .out;
}

double MeanDifference(const std::string& a, const std::string& b) {
  if (a.empty() || a.size() != b.size()) return -1;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    sum += std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]));
  return sum / static_cast<double>(a.size());
}

class ToolkitAvi : public SlotTest {
 protected:
  // 6 s of 320x240 H.264 at 23.976 with AC3 5.1 and a subtitle track (a cue from 1 s to 3 s).
  static void SetUpTestSuite() {
    WriteFile(media_.str() + "/film.srt",
              "1\n00:00:01,000 --> 00:00:03,000\nHallo Welt, ein "
              "langer Satz\n");
    made_ =
        Ffmpeg(
            "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i sine=f=440:"
            "sample_rate=48000 -t 6 -c:v libx264 -preset fast -bf 2 -g 24 -pix_fmt yuv420p "
            "-c:a ac3 -ac 6",
            media_.str() + "/av.mkv") &&
        Made({"mkvmerge", "-q", "-o", film_, media_.str() + "/av.mkv", media_.str() + "/film.srt"});
  }
  void SetUp() override { ASSERT_TRUE(made_) << "the sample film could not be made"; }

  // The program's AC3 of the recodes, "movie.ac3" at 640 kbit/s.
  ::testing::AssertionResult MakeAc3(const std::string& source) {
    return Ffmpeg("-i " + source + " -map 0:a -c:a ac3 -b:a 640k", O("movie.ac3"));
  }
  // The template shipped in the program folder as the program fills it: the output folder
  // for the placeholder, the size line, the START line; CR LF line ends.
  void WriteScript(const std::string& sizeLine) {
    std::ifstream in(kProgram + "/avimux/quillet.amg");
    std::string line, script;
    while (std::getline(in, line) && line.find("ENDOFFILE") == std::string::npos) {
      if (line.find("MAXFILESIZE") != std::string::npos) line = sizeLine;
      for (size_t at = 0; (at = line.find("D:\\QUILLET\\", at)) != std::string::npos;)
        line.replace(at, 11, out.withSep());
      script += line + "\r\n";
    }
    WriteFile(O("quillet.amg"), script + "START " + O("Film.avi") + "\r\n");
  }

  static inline TempFolder media_{"toolkit-avi"};
  static inline const std::string film_ = media_.str() + "/film.mkv";
  static inline bool made_ = false;
};

// The video's features as mediainfo reports them: "QPel|GMC|CodecID".
std::string MediaInfoVideo(const std::string& path) {
  return toolkit::Trim(
      Quiet({"mediainfo", "--Inform=Video;%Format_Settings_QPel%|%Format_Settings_GMC%|%CodecID%",
             path})
          .out);
}

TEST_F(ToolkitAvi, XvidLinesAndTheMuxerGiveAnAviWithXvidAc3AndBurntInSubtitles) {
  // The program's Xvid line without subtitles (-sid 99), and with track 0 burnt in.
  for (const auto& [result, head, tail] :
       {std::tuple{O("movie.avi"), std::string(), std::string(" -mc 0 -noskip -sid 99")},
        std::tuple{O("burnt.avi"), kSubtitles, std::string(" -noskip -sid 0")}}) {
    ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe",
                       Words(head + "-of avi -o " + result +
                             " -ovc xvid -xvidencopts bitrate=1500:" + kXvidOptions +
                             " -ofps 24000/1001 -vf harddup -nosound " + film_ + tail)));
  }
  EXPECT_EQ("No|0|XVID", MediaInfoVideo(O("movie.avi")));  // no quarter-pixel, no global motion
  EXPECT_EQ("", Probe(O("movie.avi"), "a", "codec_name"));
  EXPECT_GT(MeanDifference(BottomBand(O("movie.avi"), 2.0), BottomBand(O("burnt.avi"), 2.0)), 4.0);
  const double outside =
      MeanDifference(BottomBand(O("movie.avi"), 4.5), BottomBand(O("burnt.avi"), 4.5));
  EXPECT_GE(outside, 0.0);
  EXPECT_LT(outside, 2.0);

  ASSERT_TRUE(MakeAc3(film_));
  WriteScript("MAXFILESIZE OFF");
  ASSERT_TRUE(SlotOk("avimux/avimux_gui.exe", {O("quillet.amg")}));
  const std::string film = O("Film.avi");
  EXPECT_EQ("avi", FormatEntry(film, "format_name"));
  EXPECT_EQ("XVID", Probe(film, "v:0", "codec_tag_string"));
  EXPECT_EQ("6", Probe(film, "a:0", "channels"));
  EXPECT_NEAR(6.0, Seconds(film), 0.5);
  EXPECT_EQ(VideoFrames(O("movie.avi")), VideoFrames(film));
  EXPECT_TRUE(DecodesCleanly(film));
  EXPECT_FALSE(fs::exists(O("Film_002.avi")));
  // The AVI check reads it in the report layout.
  const toolkit::ToolResult info = Slot("Checker/mmcl.exe", {"--info", film});
  EXPECT_NE(std::string::npos, info.out.find("Codec ID:          XVID\n")) << info.out;
  EXPECT_NE(std::string::npos, info.out.find("QPel:              No\n")) << info.out;

  // The template as it ships (its Windows folder is not here), and an unknown command.
  TempFolder bad("toolkit-avi-bad");
  const std::string script = bad.str() + "/quillet.amg", avi = bad.str() + "/F.avi";
  WriteFile(script, ReadFile(kProgram + "/avimux/quillet.amg") + "START " + avi + "\n");
  EXPECT_FALSE(SlotOk("avimux/avimux_gui.exe", {script}));
  WriteFile(script, "CLEAR\nLOAD " + film + "\nSELECT FILE 1\nADD VIDEOSOURCE\nMUX\nSTART " + avi);
  EXPECT_TRUE(FailedNaming(Slot("avimux/avimux_gui.exe", {script}), "unknown command MUX"));
  EXPECT_EQ(Args{"quillet.amg"}, Entries(bad.path()));
}

TEST_F(ToolkitAvi, MaxFileSizeCutsAtKeyFramesIntoPartsThatHoldTheWholeFilm) {
  // About 2.5 MB of MPEG-4 with a key frame every second, and the AC3.
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25 -t 6 -vf noise=alls=20:allf=t "
             "-c:v mpeg4 -vtag XVID -q:v 8 -g 25",
             O("movie.avi")));
  ASSERT_TRUE(MakeAc3(film_));
  ASSERT_GT(FileSize(O("movie.avi")), 2 * 1024 * 1024) << "the sample must need three parts";
  WriteFile(O("Film_009.avi"), "left from an earlier run");
  WriteScript("MAXFILESIZE 1");
  ASSERT_TRUE(SlotOk("avimux/avimux_gui.exe", {O("quillet.amg")}));
  std::vector<std::string> parts = {O("Film.avi")};
  for (int n = 2; fs::exists(O(Format("Film_%03d.avi", n))); ++n)
    parts.push_back(O(Format("Film_%03d.avi", n)));
  ASSERT_GE(parts.size(), 3u);
  EXPECT_FALSE(fs::exists(O("Film_009.avi")))
      << "a part of an earlier run stays beside the new set";
  double seconds = 0;
  long long frames = 0;
  for (const std::string& part : parts) {
    EXPECT_LE(FileSize(part), 1024 * 1024) << part;
    EXPECT_EQ("ac3", Probe(part, "a:0", "codec_name")) << part;
    EXPECT_TRUE(DecodesCleanly(part));  // each part starts at a key frame
    seconds += Seconds(part);
    frames += VideoFrames(part);
  }
  EXPECT_EQ(150, frames);
  EXPECT_NEAR(6.0, seconds, 0.3);
}

TEST_F(ToolkitAvi, Mpeg2LinesAreMuxedByTrack224AndRepacked) {
  // The encoder's lines without subtitles, and with track 0 burnt in.
  for (const auto& [lavc, tail, head] :
       {std::tuple{"keyint=15:autoaspect:dia=2:trell:mv0", " -mc 0 -noskip -sid 99", ""},
        std::tuple{"autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0", " -mc 0 -noskip -sid 0",
                   kSubtitles.c_str()}}) {
    SCOPED_TRACE(lavc);
    ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe",
                       Words(std::string("-nosound ") + head + "-o " + O("movie.mpg") + kMpeg2 +
                             lavc + " -ofps 31001/1293 -vf harddup " + film_ + tail)));
    EXPECT_EQ("mpeg", FormatEntry(O("movie.mpg"), "format_name"));
    EXPECT_EQ("mpeg2video", Probe(O("movie.mpg"), "v:0", "codec_name"));
    EXPECT_EQ("0x1e0", Probe(O("movie.mpg"), "v:0", "id"));
    EXPECT_EQ("24000/1001", Probe(O("movie.mpg"), "v:0", "r_frame_rate"));
    EXPECT_NEAR(6.0, Seconds(O("movie.mpg")), 0.5);
  }

  // The program stream and the AC3 joined by the muxer with the job of this road.
  ASSERT_TRUE(MakeAc3(film_));
  meta::Lines job = {meta::Mpeg2Options(), meta::Mpeg2FromFolder(out.withSep(), "23.976"),
                     meta::Ac3FromFolder(out.withSep()), ""};
  WriteFile(O("movie.meta"), meta::Text(job));
  const std::string ts = O("Film.m2ts");
  ASSERT_TRUE(SlotOk("TS/tsmuxer.exe", {O("movie.meta"), ts}));
  EXPECT_EQ("mpeg2video", Probe(ts, "v:0", "codec_name"));
  EXPECT_EQ("ac3", Probe(ts, "a:0", "codec_name"));
  EXPECT_EQ(VideoFrames(O("movie.mpg")), VideoFrames(ts));
  EXPECT_TRUE(DecodesCleanly(ts));
  // Another stream id than the encoder's video is no track of the source.
  job.video.replace(job.video.find("track=224"), 9, "track=225");
  WriteFile(O("movie.meta"), meta::Text(job));
  EXPECT_FALSE(SlotOk("TS/tsmuxer.exe", {O("movie.meta"), O("Other.m2ts")}));
  EXPECT_FALSE(fs::exists(O("Other.m2ts")));

  // The repack line over an earlier result, on MPEG-2 and AC3 in Matroska.
  ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:v -map 0:a -c:v mpeg2video -b:v 2M -c:a copy",
                     O("mpeg2.mkv")));
  WriteFile(O("Film.mpg"), "an old result");
  ASSERT_TRUE(SlotOk("FFMpeg/FFmpeg.exe", Words("-threads 4 -i " + O("mpeg2.mkv") +
                                                " -vcodec copy -acodec copy -f vob -copyts -y " +
                                                O("Film.mpg") + " -bug ms")));
  EXPECT_EQ("mpeg", FormatEntry(O("Film.mpg"), "format_name"));
  EXPECT_EQ("mpeg2video", Probe(O("Film.mpg"), "v:0", "codec_name"));
  EXPECT_EQ("ac3", Probe(O("Film.mpg"), "a:0", "codec_name"));
  EXPECT_NEAR(6.0, Seconds(O("Film.mpg")), 0.5);
}

}  // namespace
}  // namespace quillet::test
