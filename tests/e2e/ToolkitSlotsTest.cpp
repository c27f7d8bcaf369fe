// The toolkit's Matroska, MP4 and audio slots with the real Debian tools, on one small film
// made here: each slot started through its link with a command line as the program writes
// it ("@" stands for the test's output folder), and judged by the files it leaves.

#include <gtest/gtest.h>

#include "tests/support/ReportFixtures.h"
#include "tests/support/ToolkitRun.h"
#include "toolkit/H264.h"

namespace quillet::test {
namespace {

using toolkit::FileSize;
using toolkit::ReadWavInfo;

class ToolkitSlots : public SlotTest {
 protected:
  // 2 s of 320x240 H.264 with B-frames, AC3 5.1 (ger, default), AAC (eng), SRT (fre), shown
  // at 427x240.
  static void SetUpTestSuite() {
    WriteFile(d_ + "film.srt", "1\n00:00:00,500 --> 00:00:01,500\nHallo\n");
    made_ =
        Ffmpeg(
            "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i sine=f=440:"
            "sample_rate=48000 -t 2 -c:v libx264 -preset fast -bf 2 -g 12 -pix_fmt "
            "yuv420p -c:a ac3 -ac 6",
            d_ + "av.mkv") &&
        Ffmpeg("-f lavfi -i sine=f=300:sample_rate=44100 -t 2 -c:a aac -ac 2", d_ + "aac.m4a") &&
        Made(At(d_,
                "mkvmerge -q -o @film.mkv --display-dimensions 0:427x240 --language 1:ger "
                "--default-track 1:yes @av.mkv --language 0:eng --default-track 0:no "
                "@aac.m4a --language 0:fre @film.srt"));
  }
  void SetUp() override { ASSERT_TRUE(made_) << "the sample film could not be made"; }
  // The film's tracks by their old numbers: 1 video, 2 AC3, 3 AAC, 4 SubRip.
  void Extract() {
    ASSERT_TRUE(Run("MKVToolnix/mkvextract.exe",
                    "tracks " + film_ + " 1:@movie.h264 3:@movie.aac 2:@movie.ac3 4:@movie.srt"));
  }
  static inline TempFolder media_{"toolkit-media"};
  static inline const std::string d_ = media_.withSep(), film_ = d_ + "film.mkv";
  static inline bool made_ = false;
};

int Level(const std::string& h264) {
  return toolkit::ParseSps(toolkit::SpsFromAnnexB(ReadFile(h264)).at(0))->levelIdc;
}

TEST_F(ToolkitSlots, MatroskaSlotsKeepTheOldTrackNumbersAndTheLevelIsSet) {
  // The classic report, read back by the program's own parser; the display size in pixels.
  ASSERT_TRUE(Run("MKVToolnix/mkvinfo.exe", film_ + " -o @info.txt"));
  TestApp t;
  ParseReport(t, ReadFile(O("info.txt")));
  const TrackReport& r = t.app.report;
  EXPECT_EQ("avc 23.976 320 :par=427:320 2", r.strVideoCodec + " " + t.form().txtSFPS.Text + " " +
                                                 std::to_string(r.intPixelWidth) + " " + r.strPar +
                                                 " " + std::to_string(r.lngDuration));
  EXPECT_EQ((std::vector<TrackRow>{{" ger", "0", "2"}, {" eng", "4", "3"}}),
            Rows(r.strAudioTracks));
  EXPECT_EQ((std::vector<TrackRow>{{"fre", "srt", "4"}}), Rows(r.strSubTracks));
  EXPECT_FALSE(Run("MKVToolnix/mkvinfo.exe", "@none.mkv -o @info2.txt"));

  Extract();
  EXPECT_EQ(0u, ReadFile(O("movie.h264")).find(std::string("\0\0\0\1", 4)));  // Annex B
  EXPECT_EQ('\xFF', ReadFile(O("movie.aac"))[0]);                             // ADTS
  EXPECT_EQ("aac,44100 ac3,6", Streams(O("movie.aac"), "codec_name,sample_rate") + " " +
                                   Streams(O("movie.ac3"), "codec_name,channels"));
  EXPECT_NE(std::string::npos, ReadFile(O("movie.srt")).find("Hallo"));
  // A track the film lacks: no file at all, not even the good ones.
  fs::create_directory(out.path() / "none");
  EXPECT_FALSE(Run("MKVToolnix/mkvextract.exe", "tracks " + film_ + " 1:@none/v.h264 5:@none/x"));
  EXPECT_EQ(Args{}, Entries(out.path() / "none"));

  // Video 1 and audio 2 (the AC3) in parts, with the subtitle file beside the film.
  ASSERT_TRUE(Run("MKVToolnix/mkvmerge.exe",
                  "-o @film.mkv -d 1 --compression 1:none -a 2 --compression 1:none -S " + film_ +
                      " -s 0 -D -A " + d_ +
                      "film.srt --split size:" + std::to_string(FileSize(film_) / 3 / 1024) + "K"));
  EXPECT_EQ("h264 ac3 subrip/h264 ac3 subrip",
            Streams(O("film-001.mkv")) + "/" + Streams(O("film-002.mkv")));

  // h264info, with its ini beside the slot in a program folder of its own, sets level 4.1.
  const std::string slot = O("program/h264info/h264info.exe");
  fs::create_directories(O("program/h264info"));
  fs::create_symlink(kProgram + "/quillet-toolkit", slot);
  WriteFile(O("program/h264info/h264info.ini"),
            "[Paths]\r\nInputPath=" + O("movie.h264") + "\r\nOutputPath=" + O("l41.h264") + "\r\n");
  ASSERT_TRUE(Made({slot}));
  EXPECT_NE(41, Level(O("movie.h264")));
  EXPECT_EQ(41, Level(O("l41.h264")));
  EXPECT_EQ(48, VideoFrames(O("l41.h264")));
}

TEST_F(ToolkitSlots, Mp4SlotsBuildReplaceSplitAndUnwrap) {
  Extract();
  const std::string add = "-add @movie.aac -add @movie.h264:fps=23.976:par=4:3 @Film.mp4 -tmp @";
  ASSERT_TRUE(Run("MP4Box/MP4Box.exe", add));
  const std::string mp4 = O("Film.mp4");
  EXPECT_EQ("4:3\n24000/1001\n48",
            ProbeEntry(mp4, "stream=sample_aspect_ratio,avg_frame_rate,nb_frames"));
  EXPECT_TRUE(DecodesCleanly(mp4));
  // Packets in decoding order, some shown before the one before: the B-frames kept.
  const Args pts = toolkit::Split(ProbeEntry(mp4, "packet=pts"), '\n');
  EXPECT_FALSE(std::is_sorted(pts.begin(), pts.end(),
                              [](auto& a, auto& b) { return std::stoll(a) < std::stoll(b); }));
  // Over the result of an earlier run: a new MP4, not a second pair of tracks.
  ASSERT_TRUE(Run("MP4Box/MP4Box.exe", add));
  EXPECT_EQ("aac h264", Streams(mp4));

  // The fallback: the creator adds the audio, then the video with its display size.
  fs::rename(O("movie.h264"), O("movie.264"));
  ASSERT_TRUE(Run("MP4Box/mp4creator.exe", "-rate=23.976 -create=@movie.aac @Creator.mp4"));
  ASSERT_TRUE(Run("MP4Box/mp4creator.exe",
                  "-rate=23.976 -qtw=427 -qth=240 -create=@movie.264 @Creator.mp4"));
  EXPECT_EQ("aac h264,427:320", Streams(O("Creator.mp4"), "codec_name,sample_aspect_ratio"));
  EXPECT_TRUE(DecodesCleanly(O("Creator.mp4")));

  // Parts of at most a third of the film, cut at key frames, together the whole film.
  fs::create_directory(out.path() / "parts");
  fs::copy_file(mp4, O("parts/Film.mp4"));
  const long long limit = FileSize(mp4) / 3 / 1024;
  ASSERT_TRUE(Run("MP4Box/MP4Box.exe", "-splits " + std::to_string(limit) + " @parts/Film.mp4"));
  const Args names = Entries(out.path() / "parts");
  ASSERT_GE(names.size(), 4u);  // the film and at least three parts
  long long frames = 0;
  for (size_t i = 1; i < names.size(); ++i) {
    const std::string part = O("parts/" + names[i]);
    EXPECT_EQ(toolkit::Format("Film_%03zu.mp4", i), names[i]);
    EXPECT_TRUE(FileSize(part) <= limit * 1024 && DecodesCleanly(part)) << part;
    frames += VideoFrames(part);
  }
  EXPECT_EQ(48, frames);

  // The raw video of an AVI, as Annex B.
  ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:v -c copy -bsf:v h264_mp4toannexb", O("movie.avi")));
  ASSERT_TRUE(Run("MP4Box/MP4Box.exe", "-aviraw video @movie.avi"));
  EXPECT_EQ(0u, ReadFile(O("movie_video.h264")).find(std::string("\0\0\0\1", 4)));
  EXPECT_EQ(48, VideoFrames(O("movie_video.h264")));
}

TEST_F(ToolkitSlots, AudioChainToWavAndBackJudgedByItsOutput) {
  // The WAV tool decodes the track a player would take: the default one, AC3 5.1, in the
  // standard back-surround layout; so does the decoder at 6 speakers or as the source (a
  // plain stereo WAV names no layout).
  ASSERT_TRUE(Run("TS/wavgrab.exe", film_ + " @movie.wav"));
  const toolkit::WavInfo grabbed = ReadWavInfo(O("movie.wav"));
  EXPECT_EQ("16 6,5.1", std::to_string(grabbed.bitsPerSample) + " " +
                            Streams(O("movie.wav"), "channels,channel_layout"));
  Extract();
  for (const auto& [options, layout] :
       {std::pair{"-spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8", "2,unknown"},
        {"-spk:6 -fmt:0 -drc+ -gain:8 -drc_power:8", "6,5.1"},
        {"-spk:0 -fmt:0", "6,5.1"}}) {
    ASSERT_TRUE(Run("ac3filter/valdec.exe", std::string("@movie.ac3 -wav @dec.wav ") + options));
    EXPECT_EQ(layout, Streams(O("dec.wav"), "channels,channel_layout"));
  }
  ASSERT_TRUE(Run("FFMpeg/faad.exe", "-d @movie.aac -o @faad.wav"));
  EXPECT_EQ(2, ReadWavInfo(O("faad.wav")).channels);

  // aften's own rate for 5.1 without -b, the program's rate with it.
  ASSERT_TRUE(Run("aften/aften.exe", "@dec.wav @own.ac3"));
  ASSERT_TRUE(Run("aften/aften.exe", "@dec.wav -b 640 @rate.ac3"));
  EXPECT_EQ("448000 640000", ProbeEntry(O("own.ac3"), "stream=bit_rate", "a:0") + " " +
                                 ProbeEntry(O("rate.ac3"), "stream=bit_rate", "a:0"));

  const std::string beforeNormalize = ReadFile(O("dec.wav"));
  ASSERT_TRUE(Run("Sounds/normalize.exe", "@dec.wav"));
  EXPECT_NE(beforeNormalize, ReadFile(O("dec.wav")));
  EXPECT_EQ(ReadWavInfo(O("dec.wav")).dataBytes, grabbed.dataBytes);
  ASSERT_TRUE(Run("Sounds/soundstretch.exe", "@dec.wav @movie2.wav -pitch=-1"));
  ASSERT_TRUE(Run("besweet/BeSweet.exe",
                  "-core( -input @movie2.wav -2ch -output @fast.wav ) -ota( -r 23976 25000 )"));
  const toolkit::WavInfo in = ReadWavInfo(O("movie2.wav")), fast = ReadWavInfo(O("fast.wav"));
  EXPECT_EQ(2, fast.channels);
  EXPECT_EQ(in.sampleRate, fast.sampleRate);
  EXPECT_NEAR(23976.0 / 25000.0, (fast.dataBytes / 2.0) / (in.dataBytes / double(in.channels)),
              0.005);

  // ffmpeg with the old encoder name and bitrate over an earlier result, an MP2 input, and
  // the backup decode's path with the blank inside the quotes.
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=sample_rate=48000 -t 1 -c:a mp2 -f mp2", O("movie.mp2")));
  ASSERT_TRUE(
      Run("FFMpeg/FFmpeg.exe", "-f mp2 -i @movie.mp2 -acodec libfaac -ac 2 -ab 224kb @movie.aac"));
  EXPECT_EQ("aac", Streams(O("movie.aac")));
  ASSERT_TRUE(
      SlotOk("FFMpeg/FFmpeg.exe", {"-i", O("movie.mp2 "), "-acodec", "pcm_s16le", O("b.wav")}));
  EXPECT_TRUE(toolkit::CheckWav(O("b.wav")));

  // Tools that exit 0 on failure are judged by what they wrote: nothing is left.
  TempFolder bad("toolkit-bad");
  for (const char* name : {"junk.aac", "junk.wav"})
    WriteFile(bad.withSep() + name, std::string(4000, 'x'));
  WriteFile(bad.withSep() + "keep.wav", "earlier result");
  for (const auto& [slot, line] : {std::pair{"FFMpeg/faad.exe", "@junk.aac -o @faad.wav"},
                                   {"Sounds/normalize.exe", "@junk.wav"},
                                   {"Sounds/soundstretch.exe", "@junk.wav @s.wav -pitch=-1"},
                                   {"ac3filter/valdec.exe", "@junk.aac -wav @keep.wav -spk:2"},
                                   {"TS/wavgrab.exe", "@junk.aac @keep.wav"},
                                   {"aften/aften.exe", "@junk.wav @bad.ac3"}})
    EXPECT_FALSE(Done(Slot(slot, At(bad.withSep(), line)))) << slot;
  EXPECT_EQ(std::string(4000, 'x'), ReadFile(bad.withSep() + "junk.wav"));
  EXPECT_EQ("earlier result", ReadFile(bad.withSep() + "keep.wav"));
  EXPECT_EQ((Args{"junk.aac", "junk.wav", "keep.wav"}), Entries(bad.path()));
}

}  // namespace
}  // namespace quillet::test
