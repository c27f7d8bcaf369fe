// The Xvid AVI and MPEG-2 roads through the toolkit's slots with the real Debian tools:
// mencoder with the command lines the program writes ("@" stands for the output folder), the
// AVI muxer with the shipped template filled in as the program fills it, the muxer on
// mencoder's program stream, and ffmpeg's VOB repack.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/ToolkitRun.h"

namespace quillet::test {
namespace {

using toolkit::FileSize;
using toolkit::Format;

const std::string kXvid =
    " -ovc xvid -xvidencopts bitrate=1500:max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:"
    "me_quality=6:chroma_me:nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel"
    " -ofps 24000/1001 -vf harddup -nosound ";
const std::string kMpeg2 =
    " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate="
    "14900:vbitrate=14900:";
const std::string kSubtitles = "-font " + kProgram +
                               "/Mencoder/font.ttf -utf8 -subwidth 90 -subpos 90 "
                               "-subfont-autoscale 1 -subfont-text-scale 4 ";

// How much the bottom quarter of two films' frames at a time differs, on average per pixel.
double BottomDifference(const std::string& a, const std::string& b, double at) {
  std::string band[2];
  for (int i : {0, 1})
    band[i] =
        Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", Format("%.2f", at), "-i", i ? b : a,
               "-frames:v", "1", "-vf", "crop=iw:ih/4:0:ih*3/4,format=gray", "-f", "rawvideo", "-"})
            .out;
  if (band[0].empty() || band[0].size() != band[1].size()) return -1;
  double sum = 0;
  for (size_t i = 0; i < band[0].size(); ++i)
    sum += std::abs(uint8_t(band[0][i]) - uint8_t(band[1][i]));
  return sum / double(band[0].size());
}

class ToolkitAvi : public SlotTest {
 protected:
  // 6 s of 320x240 H.264 at 23.976 with AC3 5.1 and a subtitle track (a cue from 1 s to 3 s).
  static void SetUpTestSuite() {
    WriteFile(d_ + "film.srt", "1\n00:00:01,000 --> 00:00:03,000\nHallo Welt, ein langer Satz\n");
    made_ = Ffmpeg(
                "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i sine=f=440:"
                "sample_rate=48000 -t 6 -c:v libx264 -preset fast -bf 2 -g 24 -pix_fmt yuv420p "
                "-c:a ac3 -ac 6",
                d_ + "av.mkv") &&
            Made(At(d_, "mkvmerge -q -o @film.mkv @av.mkv @film.srt"));
  }
  void SetUp() override { ASSERT_TRUE(made_) << "the sample film could not be made"; }
  // The recodes' sound: "movie.ac3" at 640 kbit/s.
  void MakeAc3() {
    ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:a -c:a ac3 -b:a 640k", O("movie.ac3")));
  }
  // The template filled in: the output folder for the placeholder, the size line, START.
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
  static inline const std::string d_ = media_.withSep(), film_ = d_ + "film.mkv";
  static inline bool made_ = false;
};

TEST_F(ToolkitAvi, XvidLinesAndTheMuxerGiveAnAviWithXvidAc3AndBurntInSubtitles) {
  // The Xvid line without subtitles (-sid 99), and with track 0 burnt into the bottom band.
  ASSERT_TRUE(Run("Mencoder/Mencoder.exe",
                  "-of avi -o @movie.avi" + kXvid + film_ + " -mc 0 -noskip -sid 99"));
  ASSERT_TRUE(Run("Mencoder/Mencoder.exe",
                  kSubtitles + "-of avi -o @burnt.avi" + kXvid + film_ + " -noskip -sid 0"));
  // No quarter-pixel, no global motion, as mediainfo reads it.
  EXPECT_EQ("No|0|XVID", toolkit::Trim(Quiet({"mediainfo",
                                              "--Inform=Video;%Format_Settings_QPel%|%Format_"
                                              "Settings_GMC%|%CodecID%",
                                              O("movie.avi")})
                                           .out));
  EXPECT_EQ("mpeg4", Streams(O("movie.avi")));
  EXPECT_GT(BottomDifference(O("movie.avi"), O("burnt.avi"), 2.0), 4.0);
  EXPECT_LT(BottomDifference(O("movie.avi"), O("burnt.avi"), 4.5), 2.0);
  EXPECT_GE(BottomDifference(O("movie.avi"), O("burnt.avi"), 4.5), 0.0);

  MakeAc3();
  WriteScript("MAXFILESIZE OFF");
  ASSERT_TRUE(Run("avimux/avimux_gui.exe", "@quillet.amg"));
  const std::string film = O("Film.avi");
  EXPECT_EQ("avi", ProbeEntry(film, "format=format_name"));
  EXPECT_EQ("mpeg4 ac3,6", Streams(film, "codec_name,channels"));
  EXPECT_EQ("XVID", Probe(film, "v:0", "codec_tag_string"));
  EXPECT_NEAR(6.0, Seconds(film), 0.5);
  EXPECT_EQ(VideoFrames(O("movie.avi")), VideoFrames(film));
  EXPECT_TRUE(DecodesCleanly(film));
  EXPECT_FALSE(fs::exists(O("Film_002.avi")));
  // The AVI check reads it in the report layout.
  const std::string info = Slot("Checker/mmcl.exe", {"--info", film}).out;
  EXPECT_NE(std::string::npos, info.find("Codec ID:          XVID\n")) << info;
  EXPECT_NE(std::string::npos, info.find("QPel:              No\n")) << info;

  // The template as it ships (its Windows folder is not here), and an unknown command.
  TempFolder bad("toolkit-avi-bad");
  const std::string script = bad.withSep() + "quillet.amg", avi = bad.withSep() + "F.avi";
  WriteFile(script, ReadFile(kProgram + "/avimux/quillet.amg") + "START " + avi + "\n");
  EXPECT_FALSE(SlotOk("avimux/avimux_gui.exe", {script}));
  WriteFile(script, "CLEAR\nLOAD " + film + "\nSELECT FILE 1\nADD VIDEOSOURCE\nMUX\nSTART " + avi);
  EXPECT_TRUE(FailedNaming(Slot("avimux/avimux_gui.exe", {script}), "unknown command MUX"));
  EXPECT_EQ(Args{"quillet.amg"}, Entries(bad.path()));
}

TEST_F(ToolkitAvi, MaxFileSizeCutsAtKeyFramesIntoPartsThatHoldTheWholeFilm) {
  // About 2.5 MB of MPEG-4 with a key frame every second, parts of 1 MB.
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25 -t 6 -vf noise=alls=20:allf=t "
             "-c:v mpeg4 -vtag XVID -q:v 8 -g 25",
             O("movie.avi")));
  ASSERT_GT(FileSize(O("movie.avi")), 2 * 1024 * 1024) << "the sample must need three parts";
  WriteFile(O("Film_009.avi"), "left from an earlier run");
  MakeAc3();
  WriteScript("MAXFILESIZE 1");
  ASSERT_TRUE(Run("avimux/avimux_gui.exe", "@quillet.amg"));
  Args parts = {O("Film.avi")};
  for (int n = 2; fs::exists(O(Format("Film_%03d.avi", n))); ++n)
    parts.push_back(O(Format("Film_%03d.avi", n)));
  ASSERT_GE(parts.size(), 3u);
  EXPECT_FALSE(fs::exists(O("Film_009.avi"))) << "a part of an earlier run stays beside the set";
  double seconds = 0;
  long long frames = 0;
  for (const std::string& part : parts) {
    EXPECT_LE(FileSize(part), 1024 * 1024) << part;
    EXPECT_EQ("mpeg4 ac3", Streams(part)) << part;
    EXPECT_TRUE(DecodesCleanly(part));  // each part starts at a key frame
    seconds += Seconds(part);
    frames += VideoFrames(part);
  }
  EXPECT_EQ(150, frames);
  EXPECT_NEAR(6.0, seconds, 0.3);
}

TEST_F(ToolkitAvi, Mpeg2LinesAreMuxedByTrack224AndRepacked) {
  // The encoder's lines with track 0 burnt in, and without subtitles (the one muxed on).
  for (const std::string& line :
       {"-nosound " + kSubtitles + "-o @movie.mpg" + kMpeg2 +
            "autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps 31001/1293 -vf harddup " +
            film_ + " -mc 0 -noskip -sid 0",
        "-nosound -o @movie.mpg" + kMpeg2 +
            "keyint=15:autoaspect:dia=2:trell:mv0 -ofps 31001/1293 -vf harddup " + film_ +
            " -mc 0 -noskip -sid 99"}) {
    ASSERT_TRUE(Run("Mencoder/Mencoder.exe", line));
    EXPECT_EQ("mpeg", ProbeEntry(O("movie.mpg"), "format=format_name"));
    // The stream id the job's track=224 names.
    EXPECT_EQ("mpeg2video,0x1e0,24000/1001", Streams(O("movie.mpg"), "codec_name,id,r_frame_rate"));
    EXPECT_NEAR(6.0, Seconds(O("movie.mpg")), 0.5);
  }

  // The program stream and the AC3 joined by the muxer with the job of this road.
  MakeAc3();
  meta::Lines job = {meta::Mpeg2Options(), meta::Mpeg2FromFolder(out.withSep(), "23.976"),
                     meta::Ac3FromFolder(out.withSep()), ""};
  ASSERT_TRUE(Done(Mux(job, O("Film.m2ts"))));
  EXPECT_EQ("mpeg2video ac3", Streams(O("Film.m2ts")));
  EXPECT_EQ(VideoFrames(O("movie.mpg")), VideoFrames(O("Film.m2ts")));
  EXPECT_TRUE(DecodesCleanly(O("Film.m2ts")));
  // Another stream id than the encoder's video is no track of the source.
  job.video.replace(job.video.find("track=224"), 9, "track=225");
  EXPECT_FALSE(Done(Mux(job, O("Other.m2ts"))));
  EXPECT_FALSE(fs::exists(O("Other.m2ts")));

  // The repack line over an earlier result, on MPEG-2 and AC3 in Matroska.
  ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:v -map 0:a -c:v mpeg2video -b:v 2M -c:a copy",
                     O("mpeg2.mkv")));
  WriteFile(O("Film.mpg"), "an old result");
  ASSERT_TRUE(Run("FFMpeg/FFmpeg.exe",
                  "-threads 4 -i @mpeg2.mkv -vcodec copy -acodec copy -f vob "
                  "-copyts -y @Film.mpg -bug ms"));
  EXPECT_EQ("mpeg", ProbeEntry(O("Film.mpg"), "format=format_name"));
  EXPECT_EQ("mpeg2video ac3", Streams(O("Film.mpg")));
  EXPECT_NEAR(6.0, Seconds(O("Film.mpg")), 0.5);
}

}  // namespace
}  // namespace quillet::test
