// The toolkit's Matroska, MP4 and audio slots with the real Debian tools, on one small film
// made here: each slot started through its link with a command line as the program writes
// it, and judged by the files it leaves.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ReportFixtures.h"
#include "tests/support/ToolkitRun.h"
#include "toolkit/H264.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using toolkit::FileSize;
using toolkit::ReadWavInfo;

// 2 s of 320x240 H.264 with B-frames, AC3 5.1 (ger, default), AAC (eng), SRT (fre), shown
// at 427x240; and its video, AC3 and AAC as the extractor gives them.
class ToolkitSlots : public SlotTest {
 protected:
  static void SetUpTestSuite() {
    const std::string d = media_.str();
    WriteFile(d + "/film.srt", "1\n00:00:00,500 --> 00:00:01,500\nHallo\n");
    made_ =
        Ffmpeg(
            "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i sine=f=440:"
            "sample_rate=48000 -t 2 -c:v libx264 -preset fast -bf 2 -g 12 -pix_fmt "
            "yuv420p -c:a ac3 -ac 6",
            d + "/av.mkv") &&
        Ffmpeg("-f lavfi -i sine=f=300:sample_rate=44100 -t 2 -c:a aac -ac 2", d + "/aac.m4a") &&
        Made({"mkvmerge", "-q", "-o", film_, "--display-dimensions", "0:427x240", "--language",
              "1:ger", "--default-track", "1:yes", d + "/av.mkv", "--language", "0:eng",
              "--default-track", "0:no", d + "/aac.m4a", "--language", "0:fre", d + "/film.srt"});
  }
  void SetUp() override { ASSERT_TRUE(made_) << "the sample film could not be made"; }
  // The film's tracks extracted by the slot: 1 video, 2 AC3, 3 AAC, 4 SubRip.
  void Extract() {
    ASSERT_TRUE(SlotOk("MKVToolnix/mkvextract.exe",
                       {"tracks", film_, "1:" + O("movie.h264"), "3:" + O("movie.aac"),
                        "2:" + O("movie.ac3"), "4:" + O("movie.srt")}));
  }
  static inline TempFolder media_{"toolkit-media"};
  static inline const std::string film_ = media_.str() + "/film.mkv";
  static inline bool made_ = false;
};

TEST_F(ToolkitSlots, MatroskaSlotsKeepTheOldTrackNumbersAndTheChecksReadTheStream) {
  // The classic report, read back by the program's own parser; the display size in pixels.
  ASSERT_TRUE(SlotOk("MKVToolnix/mkvinfo.exe", {film_, "-o", O("info.txt")}));
  TestApp t;
  ParseReport(t, ReadFile(O("info.txt")));
  const TrackReport& r = t.app.report;
  EXPECT_EQ("avc", r.strVideoCodec);
  EXPECT_EQ("23.976", t.form().txtSFPS.Text);
  EXPECT_EQ(320, r.intPixelWidth);
  EXPECT_EQ(":par=427:320", r.strPar);
  EXPECT_EQ(2, r.lngDuration);
  EXPECT_EQ((std::vector<TrackRow>{{" ger", "0", "2"}, {" eng", "4", "3"}}),
            Rows(r.strAudioTracks));
  EXPECT_EQ((std::vector<TrackRow>{{"fre", "srt", "4"}}), Rows(r.strSubTracks));
  EXPECT_FALSE(Slot("MKVToolnix/mkvinfo.exe", {O("none.mkv"), "-o", O("info2.txt")}).Ok());

  Extract();
  EXPECT_EQ(0u, ReadFile(O("movie.h264")).find(std::string("\0\0\0\1", 4)));  // Annex B
  EXPECT_EQ("44100", Probe(O("movie.aac"), "a:0", "sample_rate"));
  EXPECT_EQ(0xFF, static_cast<unsigned char>(ReadFile(O("movie.aac"))[0]));  // ADTS
  EXPECT_EQ("6", Probe(O("movie.ac3"), "a:0", "channels"));
  EXPECT_NE(std::string::npos, ReadFile(O("movie.srt")).find("Hallo"));
  // A track the film lacks: no file at all, not even the good ones.
  fs::create_directory(out.path() / "none");
  EXPECT_FALSE(Slot("MKVToolnix/mkvextract.exe",
                    {"tracks", film_, "1:" + O("none/v.h264"), "5:" + O("none/x")})
                   .Ok());
  EXPECT_TRUE(Entries(out.path() / "none").empty());

  // Video 1 and audio 2 (the AC3) split, with the subtitle file beside the film.
  fs::create_directory(out.path() / "split");
  ASSERT_TRUE(SlotOk(
      "MKVToolnix/mkvmerge.exe",
      {"-o", O("split/film.mkv"), "-d", "1", "--compression", "1:none", "-a", "2", "--compression",
       "1:none", "-S", film_, "-s", "0", "-D", "-A", media_.str() + "/film.srt", "--split",
       "size:" + std::to_string(FileSize(film_) / 3 / 1024) + "K"}));
  const std::vector<std::string> parts = Entries(out.path() / "split");
  ASSERT_GE(parts.size(), 2u);
  EXPECT_EQ("film-002.mkv", parts[1]);
  EXPECT_EQ("ac3", Probe(O("split/film-001.mkv"), "a:0", "codec_name"));
  EXPECT_EQ("", Probe(O("split/film-001.mkv"), "a:1", "codec_name"));  // not the AAC
  EXPECT_EQ("subrip", Probe(O("split/film-001.mkv"), "s:0", "codec_name"));

  // The buffer check reads the stream's own parameter set.
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i testsrc=rate=25:size=1920x1080 -frames:v 2 -c:v libx264 "
             "-preset ultrafast -pix_fmt yuv420p -refs 5 -level 4.1",
             O("refs.mkv")));
  EXPECT_NE(std::string::npos,
            Slot("Checker/x264_checker.exe", {O("refs.mkv")}).out.find("dpb check: [FAILED]"));
  EXPECT_NE(std::string::npos,
            Slot("Checker/x264_checker.exe", {film_}).out.find("dpb check: [OK]"));
  EXPECT_FALSE(Slot("Checker/x264_checker.exe", {O("absent.mkv")}).Ok());

  // h264info, with its ini beside the slot in a program folder of its own, sets level 4.1.
  TempFolder program("toolkit-program");
  fs::create_directory(program.path() / "h264info");
  fs::create_symlink(kProgram + "/quillet-toolkit", program.path() / "h264info/h264info.exe");
  WriteFile(program.path() / "h264info/h264info.ini",
            "[Paths]\r\nInputPath=" + O("movie.h264") + "\r\nOutputPath=" + O("l41.h264") + "\r\n");
  ASSERT_TRUE(Made({(program.path() / "h264info/h264info.exe").string()}));
  EXPECT_NE(41, toolkit::ParseSps(toolkit::SpsFromAnnexB(ReadFile(O("movie.h264")))[0])->levelIdc);
  EXPECT_EQ(41, toolkit::ParseSps(toolkit::SpsFromAnnexB(ReadFile(O("l41.h264")))[0])->levelIdc);
  EXPECT_EQ(48, VideoFrames(O("l41.h264")));
}

// Video packets in decoding order: some show earlier than the one before (B-frames).
bool HasReorderedFrames(const std::string& mp4) {
  long long previous = -1;
  for (const std::string& line :
       toolkit::Split(Quiet({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                             "packet=pts", "-of", "csv=p=0", mp4})
                          .out,
                      '\n')) {
    const auto pts = toolkit::ParseInt(toolkit::Trim(line));
    if (pts && previous >= 0 && *pts < previous) return true;
    if (pts) previous = *pts;
  }
  return false;
}

TEST_F(ToolkitSlots, Mp4SlotsBuildReplaceSplitAndUnwrap) {
  Extract();
  const Args add = {
      "-add",        O("movie.aac"), "-add",   O("movie.h264") + ":fps=23.976:par=4:3",
      O("Film.mp4"), "-tmp",         out.str()};
  const std::string mp4 = O("Film.mp4");
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", add));
  EXPECT_EQ("24000/1001", Probe(mp4, "v:0", "avg_frame_rate"));
  EXPECT_EQ("4:3", Probe(mp4, "v:0", "sample_aspect_ratio"));
  EXPECT_EQ("48", Probe(mp4, "v:0", "nb_frames"));
  EXPECT_TRUE(HasReorderedFrames(mp4)) << "the B-frame order was lost";
  EXPECT_TRUE(DecodesCleanly(mp4));
  // Over the result of an earlier run: a new MP4, not a second pair of tracks.
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", add));
  EXPECT_EQ("audio\nvideo", toolkit::Trim(Quiet({"ffprobe", "-v", "error", "-show_entries",
                                                 "stream=codec_type", "-of", "csv=p=0", mp4})
                                              .out));
  // A missing stream: no MP4, and the earlier one is not touched.
  const std::string before = ReadFile(mp4);
  EXPECT_FALSE(Slot("MP4Box/MP4Box.exe", {"-add", O("gone.h264") + ":fps=25", mp4}).Ok());
  EXPECT_EQ(before, ReadFile(mp4));

  // The video added to an MP4 that holds the audio already, at the 25 fps rate.
  ASSERT_TRUE(Ffmpeg("-i " + O("movie.aac") + " -c copy", O("Nero.mp4")));
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", {"-fps", "25.000", "-add", O("movie.h264"), O("Nero.mp4"),
                                           "-tmp", out.str()}));
  EXPECT_EQ("aac", Probe(O("Nero.mp4"), "a:0", "codec_name"));
  EXPECT_EQ("25/1", Probe(O("Nero.mp4"), "v:0", "r_frame_rate"));

  // The fallback: the creator adds the audio, then the video with its display size.
  fs::rename(O("movie.h264"), O("movie.264"));
  ASSERT_TRUE(SlotOk("MP4Box/mp4creator.exe",
                     {"-rate=23.976", "-create=" + O("movie.aac"), O("Creator.mp4")}));
  ASSERT_TRUE(SlotOk("MP4Box/mp4creator.exe", {"-rate=23.976", "-qtw=427", "-qth=240",
                                               "-create=" + O("movie.264"), O("Creator.mp4")}));
  EXPECT_EQ("aac", Probe(O("Creator.mp4"), "a:0", "codec_name"));
  EXPECT_EQ("427:320", Probe(O("Creator.mp4"), "v:0", "sample_aspect_ratio"));
  EXPECT_TRUE(DecodesCleanly(O("Creator.mp4")));

  // Parts of at most a third of the film, cut at key frames, together the whole film.
  fs::create_directory(out.path() / "parts");
  fs::copy_file(mp4, O("parts/Film.mp4"));
  const long long limit = FileSize(mp4) / 3 / 1024;
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", {"-splits", std::to_string(limit), O("parts/Film.mp4")}));
  const std::vector<std::string> names = Entries(out.path() / "parts");
  ASSERT_GE(names.size(), 4u);  // the film and at least three parts
  int frames = 0;
  for (size_t i = 1; i < names.size(); ++i) {
    const std::string part = O("parts/" + names[i]);
    EXPECT_EQ(toolkit::Format("Film_%03zu.mp4", i), names[i]);
    EXPECT_LE(FileSize(part), limit * 1024) << names[i];
    EXPECT_TRUE(DecodesCleanly(part)) << names[i];
    frames += std::stoi(Probe(part, "v:0", "nb_frames"));
  }
  EXPECT_EQ(48, frames);

  // The raw video of an AVI, as Annex B.
  ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:v -c copy -bsf:v h264_mp4toannexb", O("movie.avi")));
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", {"-aviraw", "video", O("movie.avi")}));
  EXPECT_EQ(0u, ReadFile(O("movie_video.h264")).find(std::string("\0\0\0\1", 4)));
  EXPECT_EQ(48, VideoFrames(O("movie_video.h264")));
}

TEST_F(ToolkitSlots, AudioChainToWavAndBackJudgedByItsOutput) {
  // The WAV tool decodes the track a player would take: the default one, AC3 5.1, in the
  // standard back-surround layout.
  ASSERT_TRUE(SlotOk("TS/wavgrab.exe", {film_, O("movie.wav")}));
  const toolkit::WavInfo grabbed = ReadWavInfo(O("movie.wav"));
  EXPECT_EQ(6, grabbed.channels);
  EXPECT_EQ(16, grabbed.bitsPerSample);
  EXPECT_EQ("5.1", Probe(O("movie.wav"), "a:0", "channel_layout"));

  Extract();
  const std::pair<Args, int> speakers[] = {{{"-spk:2", "-fmt:0", "-drc+", "-gain:8"}, 2},
                                           {{"-spk:6", "-fmt:0", "-drc+", "-gain:8"}, 6},
                                           {{"-spk:0", "-fmt:0"}, 6}};
  for (const auto& [options, channels] : speakers) {
    Args args = {O("movie.ac3"), "-wav", O("dec.wav")};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_TRUE(SlotOk("ac3filter/valdec.exe", args)) << options[0];
    EXPECT_EQ(channels, ReadWavInfo(O("dec.wav")).channels) << options[0];
    if (channels == 6) {
      EXPECT_EQ("5.1", Probe(O("dec.wav"), "a:0", "channel_layout"));
    }
  }
  ASSERT_TRUE(SlotOk("FFMpeg/faad.exe", {"-d", O("movie.aac"), "-o", O("faad.wav")}));
  EXPECT_EQ(2, ReadWavInfo(O("faad.wav")).channels);

  // aften's own rate for 5.1 without -b, the program's rate with it.
  ASSERT_TRUE(SlotOk("aften/aften.exe", {O("dec.wav"), O("own.ac3")}));
  EXPECT_EQ("448000", Probe(O("own.ac3"), "a:0", "bit_rate"));
  ASSERT_TRUE(SlotOk("aften/aften.exe", {O("dec.wav"), "-b", "640", O("rate.ac3")}));
  EXPECT_EQ("640000", Probe(O("rate.ac3"), "a:0", "bit_rate"));
  EXPECT_EQ("6", Probe(O("rate.ac3"), "a:0", "channels"));

  const std::string beforeNormalize = ReadFile(O("dec.wav"));
  ASSERT_TRUE(SlotOk("Sounds/normalize.exe", {O("dec.wav")}));
  EXPECT_NE(beforeNormalize, ReadFile(O("dec.wav")));
  EXPECT_EQ(ReadWavInfo(O("dec.wav")).dataBytes, grabbed.dataBytes);
  ASSERT_TRUE(SlotOk("Sounds/soundstretch.exe", {O("dec.wav"), O("movie2.wav"), "-pitch=-1"}));
  ASSERT_TRUE(
      SlotOk("besweet/BeSweet.exe", {"-core(", "-input", O("movie2.wav"), "-2ch", "-output",
                                     O("fast.wav"), ")", "-ota(", "-r", "23976", "25000", ")"}));
  const toolkit::WavInfo in = ReadWavInfo(O("movie2.wav")), fast = ReadWavInfo(O("fast.wav"));
  EXPECT_EQ(2, fast.channels);
  EXPECT_EQ(in.sampleRate, fast.sampleRate);
  EXPECT_NEAR(23976.0 / 25000.0, (fast.dataBytes / 2.0) / (in.dataBytes / double(in.channels)),
              0.005);

  // ffmpeg with the old encoder name and bitrate, an MP2 input, and the backup decode's
  // path with the blank inside the quotes; its output is replaced.
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=sample_rate=48000 -t 1 -c:a mp2 -f mp2", O("movie.mp2")));
  WriteFile(O("movie.aac"), "an earlier result");
  ASSERT_TRUE(SlotOk("FFMpeg/FFmpeg.exe", {"-f", "mp2", "-i", O("movie.mp2"), "-acodec", "libfaac",
                                           "-ac", "2", "-ab", "224kb", O("movie.aac")}));
  EXPECT_EQ("aac", Probe(O("movie.aac"), "a:0", "codec_name"));
  ASSERT_TRUE(
      SlotOk("FFMpeg/FFmpeg.exe", {"-i", O("movie.mp2 "), "-acodec", "pcm_s16le", O("mp2.wav")}));
  EXPECT_TRUE(toolkit::CheckWav(O("mp2.wav")));

  // Tools that exit 0 on failure are judged by what they wrote: nothing is left.
  TempFolder bad("toolkit-bad");
  const std::string b = bad.str() + "/";
  WriteFile(b + "junk.aac", std::string(4000, 'x'));
  WriteFile(b + "junk.wav", std::string(4000, 'x'));
  WriteFile(b + "keep.wav", "earlier result");
  EXPECT_FALSE(Slot("FFMpeg/faad.exe", {b + "junk.aac", "-o", b + "faad.wav"}).Ok());
  EXPECT_FALSE(Slot("Sounds/normalize.exe", {b + "junk.wav"}).Ok());
  EXPECT_FALSE(Slot("Sounds/soundstretch.exe", {b + "junk.wav", b + "s.wav", "-pitch=-1"}).Ok());
  EXPECT_FALSE(
      Slot("ac3filter/valdec.exe", {b + "junk.aac", "-wav", b + "keep.wav", "-spk:2"}).Ok());
  EXPECT_FALSE(Slot("TS/wavgrab.exe", {b + "junk.aac", b + "keep.wav"}).Ok());
  EXPECT_FALSE(Slot("aften/aften.exe", {b + "junk.wav", b + "bad.ac3"}).Ok());
  EXPECT_EQ(std::string(4000, 'x'), ReadFile(b + "junk.wav"));
  EXPECT_EQ("earlier result", ReadFile(b + "keep.wav"));
  EXPECT_EQ((Args{"junk.aac", "junk.wav", "keep.wav"}), Entries(bad.path()));
}

}  // namespace
}  // namespace quillet::test
