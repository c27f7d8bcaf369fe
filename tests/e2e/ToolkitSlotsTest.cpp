// The toolkit's Matroska, MP4, audio, Xvid AVI and MPEG-2 slots with the real Debian tools,
// on one small film made here: each started through its link with a command line as the
// program writes it ("@" is the test's output folder), judged by the files it leaves.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "tests/support/ReportFixtures.h"
#include "tests/support/ToolkitRun.h"

namespace quillet::test {
namespace {

using quillet::FileSize;
using quillet::Format;
using toolkit::ReadWavInfo;

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
  auto band = [at](const std::string& film) {
    return Quiet(Words("ffmpeg -nostdin -v error -ss " + Format("%.2f -i ", at) + film +
                       " -frames:v 1 -vf crop=iw:ih/4:0:ih*3/4,format=gray -f rawvideo -"))
        .out;
  };
  const std::string x = band(a), y = band(b);
  double sum = x.empty() || x.size() != y.size() ? std::nan("") : 0;
  for (size_t i = 0; i < x.size() && i < y.size(); ++i)
    sum += std::abs(uint8_t(x[i]) - uint8_t(y[i]));
  return sum / double(x.size());
}

class ToolkitSlots : public SlotTest {
 protected:
  // 6 s of 320x240 H.264 with B-frames, AC3 5.1 (ger, default), AAC (eng), SRT (fre, a cue
  // from 1 s to 3 s), shown at 427x240.
  static void SetUpTestSuite() {
    WriteFile(d_ + "film.srt", "1\n00:00:01,000 --> 00:00:03,000\nHallo Welt, ein langer Satz\n");
    made_ =
        Ffmpeg(
            "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i sine=f=440:"
            "sample_rate=48000 -t 6 -c:v libx264 -preset fast -bf 2 -g 12 -pix_fmt "
            "yuv420p -c:a ac3 -ac 6",
            d_ + "av.mkv") &&
        Ffmpeg("-f lavfi -i sine=f=300:sample_rate=44100 -t 6 -c:a aac -ac 2", d_ + "aac.m4a") &&
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
  // The recodes' sound: "movie.ac3" at 640 kbit/s.
  void MakeAc3() {
    ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:a:0 -c:a ac3 -b:a 640k", O("movie.ac3")));
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
  static inline TempFolder media_{"toolkit-media"};
  static inline const std::string d_ = media_.withSep(), film_ = d_ + "film.mkv";
  static inline bool made_ = false;
};

TEST_F(ToolkitSlots, MatroskaSlotsKeepTheOldTrackNumbersAndTheLevelIsSet) {
  // The classic report, read back by the program's own parser; the display size in pixels.
  ASSERT_TRUE(Run("MKVToolnix/mkvinfo.exe", film_ + " -o @info.txt"));
  TestApp t;
  ParseReport(t, ReadFile(O("info.txt")));
  const TrackReport& r = t.app.report;
  EXPECT_EQ("avc 23.976 320 :par=427:320 6", r.strVideoCodec + " " + t.form().txtSFPS.Text + " " +
                                                 std::to_string(r.intPixelWidth) + " " + r.strPar +
                                                 " " + std::to_string(r.lngDuration));
  EXPECT_EQ((std::vector<TrackRow>{{" ger", "0", "2"}, {" eng", "4", "3"}}),
            Rows(r.strAudioTracks));
  EXPECT_EQ((std::vector<TrackRow>{{"fre", "srt", "4"}}), Rows(r.strSubTracks));
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
  // h264info, with its ini beside the slot in a program folder of its own, sets level 4.1
  // in every parameter set and changes nothing else, as ffmpeg's level filter does.
  const std::string slot = O("program/h264info/h264info.exe");
  fs::create_directories(O("program/h264info"));
  fs::create_symlink(kProgram + "/quillet-toolkit", slot);
  WriteFile(O("program/h264info/h264info.ini"),
            "[Paths]\r\nInputPath=" + O("sets.h264") + "\r\nOutputPath=" + O("l41.h264") + "\r\n");
  ASSERT_TRUE(Ffmpeg("-i " + film_ +
                         " -map 0:v -c:v libx264 -g 12 -x264-params "
                         "repeat-headers=1:slices=2 -f h264",
                     O("sets.h264")));
  ASSERT_TRUE(Made({slot}));
  ASSERT_TRUE(
      Ffmpeg("-f h264 -i " + O("sets.h264") + " -c copy -bsf:v h264_metadata=level=4.1 -f h264",
             O("ffmpeg.h264")));
  EXPECT_NE("41", Probe(O("sets.h264"), "v:0", "level"));
  EXPECT_TRUE(ReadFile(O("l41.h264")) == ReadFile(O("ffmpeg.h264")));
}

TEST_F(ToolkitSlots, Mp4SlotsBuildReplaceSplitAndUnwrap) {
  Extract();
  const std::string add = "-add @movie.aac -add @movie.h264:fps=23.976:par=4:3 @Film.mp4 -tmp @";
  ASSERT_TRUE(Run("MP4Box/MP4Box.exe", add));
  const std::string mp4 = O("Film.mp4");
  EXPECT_EQ("4:3\n24000/1001\n144",
            ProbeEntry(mp4, "stream=sample_aspect_ratio,avg_frame_rate,nb_frames"));
  EXPECT_TRUE(DecodesCleanly(mp4));
  EXPECT_LT(ReadFile(mp4).find("moov"), ReadFile(mp4).find("mdat"));  // the index in front
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
    EXPECT_EQ(quillet::Format("Film_%03zu.mp4", i), names[i]);
    EXPECT_TRUE(FileSize(part) <= limit * 1024 && DecodesCleanly(part)) << part;
    frames += VideoFrames(part);
  }
  EXPECT_EQ(144, frames);
  // The raw video of an AVI.
  ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:v -c copy -bsf:v h264_mp4toannexb", O("movie.avi")));
  ASSERT_TRUE(Run("MP4Box/MP4Box.exe", "-aviraw video @movie.avi"));
  EXPECT_EQ(144, VideoFrames(O("movie_video.h264")));
}

// Raw H.264 at a constant rate goes into the MP4 without a wrapped copy (no mkvmerge on the
// path), every sample with the time, duration and bytes a wrap at the rate gives it, the
// track with its start and pixel aspect, the sound untouched.
TEST_F(ToolkitSlots, Mp4FromRawVideoAsTheWrapAtItsRateWithoutMkvmerge) {
  struct Case {
    const char *name, *rate, *encode, *fps, *par, *timescale;
  };
  const Case cases[] = {{"B-frames, sets once", "24000/1001", "", "23.976", "427:320", "24000"},
                        {"no B-frames", "24000/1001", "-bf 0", "23.976", "", "24000"},
                        {"25", "25", "-bf 3", "25", "4:3", "25000"}};
  Extract();
  fs::create_directory(O("bin"));
  for (const std::string tool : {"ffmpeg", "ffprobe"})
    fs::create_symlink("/usr/bin/" + tool, O("bin/" + tool));
  const std::string probe =
      "ffprobe -v error -of csv -show_entries stream=time_base,start_time,"
      "duration:packet=stream_index,pts,dts,duration,size ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string rate = c.rate, par = c.par;
    ASSERT_TRUE(*c.encode ? Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=" + rate +
                                       " -t 3 -c:v libx264 -preset ultrafast -pix_fmt yuv420p " +
                                       c.encode,
                                   O("v.h264"))
                          : Made({"cp", O("movie.h264"), O("v.h264")}));
    ASSERT_TRUE(Made(At(out.withSep(),
                        "mkvmerge -q -o @v.mkv --timestamp-scale 1000 --default-"
                        "duration 0:" +
                            rate + "p @v.h264")));
    std::string ratio = par;
    std::replace(ratio.begin(), ratio.end(), ':', '/');
    const std::string bsf = par.empty() ? "" : " -bsf:v h264_metadata=sample_aspect_ratio=" + ratio;
    ASSERT_TRUE(Ffmpeg("-i " + O("movie.aac") + " -i " + O("v.mkv") + " -map 0 -map 1 -c copy" +
                           bsf + " -video_track_timescale " + c.timescale,
                       O("wrapped.mp4")));
    Args slot = At(out.withSep(), "-new -add @movie.aac -add @v.h264:fps=" + std::string(c.fps) +
                                      (par.empty() ? "" : ":par=") + par + " @Film.mp4");
    slot.insert(slot.begin(), {"env", "PATH=" + O("bin"), kProgram + "/MP4Box/MP4Box.exe"});
    ASSERT_TRUE(Done(Quiet(slot)));
    EXPECT_EQ(Quiet(Words(probe + O("wrapped.mp4"))).out, Quiet(Words(probe + O("Film.mp4"))).out);
    EXPECT_EQ(par.empty() ? "1:1" : par, ProbeEntry(O("Film.mp4"), "stream=sample_aspect_ratio"));
  }
}

TEST_F(ToolkitSlots, AudioChainToWavAndBackJudgedByItsOutput) {
  // The WAV tool decodes the default track, AC3 5.1, in the standard back-surround layout;
  // so does the decoder at 6 speakers or as the source (a stereo WAV names no layout).
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
  EXPECT_EQ(std::pair(2, in.sampleRate), std::pair(fast.channels, fast.sampleRate));
  EXPECT_NEAR(23976.0 / 25000.0, (fast.dataBytes / 2.0) / (in.dataBytes / double(in.channels)),
              0.005);
  // ffmpeg with the old encoder name and bitrate over an earlier result, an MP2 input, and
  // the backup decode's path with the blank inside the quotes.
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=sample_rate=48000 -t 1 -c:a mp2 -f mp2", O("movie.mp2")));
  ASSERT_TRUE(
      Run("FFMpeg/FFmpeg.exe", "-f mp2 -i @movie.mp2 -acodec libfaac -ac 2 -ab 224kb @movie.aac"));
  EXPECT_EQ("aac", Streams(O("movie.aac")));
  ASSERT_TRUE(
      Done(Slot("FFMpeg/FFmpeg.exe", {"-i", O("movie.mp2 "), "-acodec", "pcm_s16le", O("b.wav")})));
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

TEST_F(ToolkitSlots, XvidLinesAndTheMuxerGiveAnAviWithXvidAc3AndBurntInSubtitles) {
  // The Xvid line without subtitles (-sid 99), and with track 0 burnt into the bottom band.
  ASSERT_TRUE(Run("Mencoder/Mencoder.exe",
                  "-of avi -o @movie.avi" + kXvid + film_ + " -mc 0 -noskip -sid 99"));
  ASSERT_TRUE(Run("Mencoder/Mencoder.exe",
                  kSubtitles + "-of avi -o @burnt.avi" + kXvid + film_ + " -noskip -sid 0"));
  // No quarter-pixel, no global motion, as mediainfo reads it.
  EXPECT_EQ("No|0|XVID\n", Quiet(At(out.withSep(),
                                    "mediainfo --Inform=Video;%Format_Settings_QPel%|"
                                    "%Format_Settings_GMC%|%CodecID% @movie.avi"))
                               .out);
  EXPECT_EQ("mpeg4", Streams(O("movie.avi")));
  EXPECT_GT(BottomDifference(O("movie.avi"), O("burnt.avi"), 2.0), 4.0);
  EXPECT_LT(BottomDifference(O("movie.avi"), O("burnt.avi"), 4.5), 2.0);
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
  EXPECT_FALSE(Done(Slot("avimux/avimux_gui.exe", {script})));
  WriteFile(script, "CLEAR\nLOAD " + film + "\nSELECT FILE 1\nADD VIDEOSOURCE\nMUX\nSTART " + avi);
  EXPECT_TRUE(FailedNaming(Slot("avimux/avimux_gui.exe", {script}), "unknown command MUX"));
  EXPECT_EQ(Args{"quillet.amg"}, Entries(bad.path()));
}

TEST_F(ToolkitSlots, MaxFileSizeCutsAtKeyFramesIntoPartsThatHoldTheWholeFilm) {
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

TEST_F(ToolkitSlots, Mpeg2LinesAreMuxedByTrack224AndRepacked) {
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
  ASSERT_TRUE(Ffmpeg("-i " + film_ + " -map 0:v -map 0:a:0 -c:v mpeg2video -b:v 2M -c:a copy",
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
