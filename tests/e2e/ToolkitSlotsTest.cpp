// The toolkit's slots with the real Debian tools, on small media made here: each slot is
// started through its link in the program folder with a command line as the program
// writes it, and judged by the files it leaves.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/MediaTools.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"
#include "toolkit/Files.h"
#include "toolkit/H264.h"
#include "toolkit/Process.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;
using quillet::test::DecodesCleanly;
using quillet::test::Entries;
using quillet::test::Made;
using quillet::test::Probe;
using quillet::test::Quiet;
using quillet::test::ReadFile;
using quillet::test::TempFolder;
using quillet::test::Words;
using quillet::test::WriteFile;
using Args = std::vector<std::string>;

const std::string kProgram = QUILLET_PROGRAM_DIR;

// Starts a slot through its link, as the program's runner does.
ToolResult Slot(const std::string& slot, const Args& args) {
  Args argv = {kProgram + "/" + slot};
  argv.insert(argv.end(), args.begin(), args.end());
  return Quiet(argv);
}

::testing::AssertionResult SlotOk(const std::string& slot, const Args& args) {
  ToolResult r = Slot(slot, args);
  if (r.Ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << slot << " failed:\n" << r.err;
}

// An ffmpeg run that makes sample media: the fixed words, then the output file.
::testing::AssertionResult Ffmpeg(const std::string& words, const std::string& output) {
  Args argv = Words("ffmpeg -nostdin -y " + words);
  argv.push_back(output);
  return Made(argv);
}

// Media shared by the tests, made once.
struct Media {
  TempFolder dir{"toolkit-media"};
  std::string film;      // 320x240 H.264 with B-frames, AC3 5.1 (ger, default), AAC (eng), SRT
  std::string subtitle;  // film.srt
  std::string h264;      // the film's video as a raw stream
  std::string aac;       // the film's AAC as ADTS
  std::string ac3;       // the film's AC3
  bool ok = false;

  Media() {
    std::string d = dir.str();
    film = d + "/film.mkv";
    subtitle = d + "/film.srt";
    h264 = d + "/movie.h264";
    aac = d + "/movie.aac";
    ac3 = d + "/movie.ac3";
    WriteFile(subtitle, "1\n00:00:00,500 --> 00:00:01,500\nHallo\n");
    ok = Ffmpeg(
             "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i "
             "sine=frequency=440:sample_rate=48000 -t 2 -c:v libx264 -preset fast -bf 2 -g 12 "
             "-pix_fmt yuv420p -c:a ac3 -ac 6 -b:a 192k",
             d + "/av.mkv") &&
         Ffmpeg("-f lavfi -i sine=frequency=300:sample_rate=44100 -t 2 -c:a aac -ac 2",
                d + "/aac.m4a") &&
         Made({"mkvmerge", "-q", "-o", film, "--display-dimensions", "0:427x240", "--language",
               "1:ger", "--default-track", "1:yes", d + "/av.mkv", "--language", "0:eng",
               "--default-track", "0:no", d + "/aac.m4a", "--language", "0:fre", subtitle}) &&
         Made({"mkvextract", film, "tracks", "0:" + h264, "1:" + ac3, "2:" + aac});
  }
};

const Media& GetMedia() {
  static Media media;
  return media;
}

class ToolkitSlots : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(GetMedia().ok) << "the sample media could not be made"; }
  const Media& media = GetMedia();
  TempFolder out{"toolkit-out"};
  std::string O(const std::string& name) const { return out.str() + "/" + name; }
};

TEST(ToolkitProgramFolder, EverySlotIsALinkToTheToolkit) {
  for (const char* slot :
       {"MKVToolnix/mkvinfo.exe", "MKVToolnix/mkvextract.exe", "MKVToolnix/mkvmerge.exe",
        "Checker/x264_checker.exe", "TS/wavgrab.exe", "FFMpeg/FFmpeg.exe", "FFMpeg/faad.exe",
        "Sounds/soundstretch.exe", "Sounds/normalize.exe", "ac3filter/valdec.exe",
        "besweet/BeSweet.exe", "MP4Box/MP4Box.exe", "MP4Box/mp4creator.exe",
        "h264info/h264info.exe", "Mencoder/Mencoder.exe", "avimux/avimux_gui.exe"}) {
    fs::path link = fs::path(kProgram) / slot;
    ASSERT_TRUE(fs::is_symlink(link)) << slot;
    EXPECT_EQ("../quillet-toolkit", fs::read_symlink(link).string()) << slot;
  }
  EXPECT_TRUE(fs::is_regular_file(fs::path(kProgram) / "Mencoder" / "font.ttf"));
  EXPECT_TRUE(fs::is_regular_file(fs::path(kProgram) / "avimux" / "quillet.amg"));
  EXPECT_FALSE(fs::exists(fs::path(kProgram) / "neroAacEnc.exe"));
}

TEST_F(ToolkitSlots, MkvinfoWritesTheClassicReport) {
  ASSERT_TRUE(SlotOk("MKVToolnix/mkvinfo.exe", {media.film, "-o", O("info.txt")}));
  EXPECT_EQ((std::vector<std::string>{"info.txt"}), Entries(out.path()));
  // Read back by the program's own parser.
  quillet::test::TestApp t;
  quillet::test::ParseReport(t, ReadFile(O("info.txt")));
  const TrackReport& r = t.app.report;
  EXPECT_EQ("avc", r.strVideoCodec);
  EXPECT_EQ("1", t.form().txtS1.Text);
  EXPECT_EQ("23.976", t.form().txtSFPS.Text);
  EXPECT_EQ(320, r.intPixelWidth);
  EXPECT_EQ(240, r.intPixelHeight);
  EXPECT_EQ(":par=427:320", r.strPar);
  EXPECT_EQ(2, r.lngDuration);
  EXPECT_EQ((std::vector<TrackRow>{{" ger", "0", "2"}, {" eng", "4", "3"}}),
            quillet::test::Rows(r.strAudioTracks));
  EXPECT_EQ((std::vector<TrackRow>{{"fre", "srt", "4"}}), quillet::test::Rows(r.strSubTracks));

  // No report for a file that is not there, and nothing left behind.
  EXPECT_FALSE(Slot("MKVToolnix/mkvinfo.exe", {O("none.mkv"), "-o", O("info2.txt")}).Ok());
  EXPECT_EQ((std::vector<std::string>{"info.txt"}), Entries(out.path()));
}

TEST_F(ToolkitSlots, MkvextractTakesTheTracksTheProgramMeans) {
  ASSERT_TRUE(SlotOk("MKVToolnix/mkvextract.exe",
                     {"tracks", media.film, "1:" + O("movie.h264"), "3:" + O("movie.aac"),
                      "2:" + O("movie.ac3"), "4:" + O("movie.srt")}));
  EXPECT_EQ("h264", Probe(O("movie.h264"), "v:0", "codec_name"));
  EXPECT_EQ(0u, ReadFile(O("movie.h264")).find(std::string("\0\0\0\1", 4)));  // Annex B
  EXPECT_EQ("aac", Probe(O("movie.aac"), "a:0", "codec_name"));
  EXPECT_EQ("44100", Probe(O("movie.aac"), "a:0", "sample_rate"));
  EXPECT_EQ(0xFF, static_cast<unsigned char>(ReadFile(O("movie.aac"))[0]));  // ADTS
  EXPECT_EQ("ac3", Probe(O("movie.ac3"), "a:0", "codec_name"));
  EXPECT_EQ("6", Probe(O("movie.ac3"), "a:0", "channels"));
  EXPECT_NE(std::string::npos, ReadFile(O("movie.srt")).find("Hallo"));

  // A track the file does not have: no file at all, not even the good ones.
  TempFolder other("toolkit-out");
  std::string o = other.str();
  EXPECT_FALSE(Slot("MKVToolnix/mkvextract.exe",
                    {"tracks", media.film, "1:" + o + "/v.h264", "5:" + o + "/x"})
                   .Ok());
  EXPECT_TRUE(Entries(other.path()).empty());
}

TEST_F(ToolkitSlots, MkvmergeSplitsWithTheOldTrackNumbers) {
  fs::create_directory(out.path() / "split");
  // Video 1 and audio 2 (the AC3) of the film with the external subtitle file.
  ASSERT_TRUE(
      SlotOk("MKVToolnix/mkvmerge.exe",
             {"-o", O("split/film.mkv"), "-d", "1", "--compression", "1:none", "-a", "2",
              "--compression", "1:none", "-S", media.film, "-s", "0", "-D", "-A", media.subtitle,
              "--split", "size:" + std::to_string(FileSize(media.film) / 3 / 1024) + "K"}));
  std::vector<std::string> parts = Entries(out.path() / "split");
  ASSERT_GE(parts.size(), 2u);
  EXPECT_EQ("film-001.mkv", parts[0]);
  EXPECT_EQ("film-002.mkv", parts[1]);
  std::string first = O("split/film-001.mkv");
  EXPECT_EQ("h264", Probe(first, "v:0", "codec_name"));
  EXPECT_EQ("ac3", Probe(first, "a:0", "codec_name"));
  EXPECT_EQ("", Probe(first, "a:1", "codec_name"));  // not the AAC
  EXPECT_EQ("subrip", Probe(first, "s:0", "codec_name"));
}

TEST_F(ToolkitSlots, CheckerFailsStreamsThatOverflowTheLevel41Buffer) {
  struct Case {
    const char* name;
    const char* size;
    const char* refs;
    const char* level;
    const char* marker;
  } cases[] = {
      {"fits.mkv", "1920x1080", "4", "4.1", "dpb check: [OK]"},
      {"relabelled.mkv", "1920x1080", "5", "4.1", "dpb check: [FAILED]"},
      {"small.mkv", "1280x720", "9", "5.1", "dpb check: [OK]"},
  };
  for (const Case& c : cases) {
    std::string file = O(c.name);
    ASSERT_TRUE(Ffmpeg(std::string("-f lavfi -i testsrc=rate=25:size=") + c.size +
                           " -frames:v 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -refs " +
                           c.refs + " -level " + c.level,
                       file));
    ToolResult r = Slot("Checker/x264_checker.exe", {file});
    EXPECT_TRUE(r.Ok()) << c.name;
    EXPECT_NE(std::string::npos, r.out.find(c.marker)) << c.name << ":\n" << r.out;
  }
  EXPECT_NE(std::string::npos, Slot("Checker/x264_checker.exe", {media.film}).out.find("[OK]"));
  ToolResult none = Slot("Checker/x264_checker.exe", {O("absent.mkv")});
  EXPECT_FALSE(none.Ok());
  EXPECT_EQ(std::string::npos, none.out.find("dpb check"));
}

TEST_F(ToolkitSlots, H264InfoSetsLevel41) {
  // A program folder of its own: the ini file lives beside the slot.
  TempFolder program("toolkit-program");
  fs::create_directory(program.path() / "h264info");
  fs::create_symlink(kProgram + "/quillet-toolkit", program.path() / "h264info" / "h264info.exe");
  std::string raw = O("movie_raw.h264");
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25 -frames:v 10 -c:v libx264 -pix_fmt yuv420p "
             "-level 5.1 -f h264",
             raw));
  WriteFile(program.path() / "h264info" / "h264info.ini",
            "[Paths]\r\nInputPath=" + raw + "\r\nOutputPath=" + O("movie.h264") + "\r\n");
  Args argv = {(program.path() / "h264info" / "h264info.exe").string()};
  ToolResult r = Quiet(argv);
  ASSERT_TRUE(r.Ok()) << r.err;
  auto in = SpsFromAnnexB(ReadFile(raw));
  auto written = SpsFromAnnexB(ReadFile(O("movie.h264")));
  ASSERT_FALSE(in.empty());
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(51, ParseSps(in[0])->levelIdc);
  EXPECT_EQ(41, ParseSps(written[0])->levelIdc);
  // The frames themselves are copied.
  ToolResult frames =
      Quiet({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=nb_read_frames", "-of", "default=nw=1:nk=1", O("movie.h264")});
  EXPECT_EQ("10", Trim(frames.out));
}

// Video packets in decoding order: some show earlier than the one before (B-frames).
bool HasReorderedFrames(const std::string& mp4) {
  ToolResult r = Quiet({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                        "packet=pts", "-of", "csv=p=0", mp4});
  long long previous = -1;
  for (const std::string& line : Split(r.out, '\n')) {
    auto pts = ParseInt(Trim(line));
    if (!pts) continue;
    if (previous >= 0 && *pts < previous) return true;
    previous = *pts;
  }
  return false;
}

TEST_F(ToolkitSlots, Mp4BoxBuildsAPlayableMp4WithRateAndAspect) {
  fs::copy_file(media.h264, O("movie.h264"));
  fs::copy_file(media.aac, O("movie.aac"));
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe",
                     {"-add", O("movie.aac"), "-add", O("movie.h264") + ":fps=23.976:par=4:3",
                      O("Film.mp4"), "-tmp", out.str()}));
  std::string mp4 = O("Film.mp4");
  EXPECT_EQ("24000/1001", Probe(mp4, "v:0", "r_frame_rate"));
  EXPECT_EQ("24000/1001", Probe(mp4, "v:0", "avg_frame_rate"));
  EXPECT_EQ("4:3", Probe(mp4, "v:0", "sample_aspect_ratio"));
  EXPECT_EQ("48", Probe(mp4, "v:0", "nb_frames"));
  EXPECT_EQ("aac", Probe(mp4, "a:0", "codec_name"));
  EXPECT_TRUE(HasReorderedFrames(mp4)) << "the B-frame order was lost";
  EXPECT_TRUE(DecodesCleanly(mp4));
  EXPECT_EQ((std::vector<std::string>{"Film.mp4", "movie.aac", "movie.h264"}), Entries(out.path()));

  // The same command over the result of an earlier run: a new MP4, not a second pair of
  // tracks in the old one.
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe",
                     {"-add", O("movie.aac"), "-add", O("movie.h264") + ":fps=23.976:par=4:3",
                      O("Film.mp4"), "-tmp", out.str()}));
  ToolResult count = Quiet(
      {"ffprobe", "-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", mp4});
  EXPECT_EQ("audio\nvideo", Trim(count.out));

  // The video added to an MP4 that holds the audio already, at the 25 fps rate.
  ASSERT_TRUE(
      Made({"ffmpeg", "-nostdin", "-y", "-i", O("movie.aac"), "-c", "copy", O("Nero.mp4")}));
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", {"-fps", "25.000", "-add", O("movie.h264"), O("Nero.mp4"),
                                           "-tmp", out.str()}));
  EXPECT_EQ("aac", Probe(O("Nero.mp4"), "a:0", "codec_name"));
  EXPECT_EQ("25/1", Probe(O("Nero.mp4"), "v:0", "r_frame_rate"));
  EXPECT_TRUE(DecodesCleanly(O("Nero.mp4")));

  // A missing stream: no MP4, and the earlier one is not touched.
  std::string before = ReadFile(mp4);
  EXPECT_FALSE(Slot("MP4Box/MP4Box.exe", {"-add", O("movie.aac"), "-add",
                                          O("gone.h264") + ":fps=25", mp4, "-tmp", out.str()})
                   .Ok());
  EXPECT_EQ(before, ReadFile(mp4));
}

TEST_F(ToolkitSlots, Mp4CreatorAddsAudioThenVideo) {
  fs::copy_file(media.h264, O("movie.264"));
  fs::copy_file(media.aac, O("movie.aac"));
  ASSERT_TRUE(
      Slot("MP4Box/mp4creator.exe", {"-rate=23.976", "-create=" + O("movie.aac"), O("Film.mp4")})
          .Ok());
  ASSERT_TRUE(SlotOk("MP4Box/mp4creator.exe", {"-rate=23.976", "-qtw=427", "-qth=240",
                                               "-create=" + O("movie.264"), O("Film.mp4")}));
  EXPECT_EQ("aac", Probe(O("Film.mp4"), "a:0", "codec_name"));
  EXPECT_EQ("24000/1001", Probe(O("Film.mp4"), "v:0", "r_frame_rate"));
  EXPECT_EQ("427:320", Probe(O("Film.mp4"), "v:0", "sample_aspect_ratio"));
  EXPECT_TRUE(DecodesCleanly(O("Film.mp4")));
}

TEST_F(ToolkitSlots, Mp4BoxSplitsIntoPartsThatEachPlay) {
  std::string mp4 = O("Long.mp4");
  ASSERT_TRUE(Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=sample_rate=48000 -t 4 -c:v "
      "libx264 -preset ultrafast -b:v 1500k -g 10 -pix_fmt yuv420p -c:a aac -b:a 64k",
      mp4));
  long long size = FileSize(mp4);
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", {"-splits", std::to_string(size / 3 / 1024), mp4}));
  std::vector<std::string> names = Entries(out.path());
  ASSERT_GE(names.size(), 4u);  // the source and at least three parts
  EXPECT_EQ("Long.mp4", names[0]);
  int frames = 0;
  for (size_t i = 1; i < names.size(); ++i) {
    std::string part = O(names[i]);
    EXPECT_EQ(Format("Long_%03zu.mp4", i), names[i]);
    EXPECT_LE(FileSize(part), size / 3 / 1024 * 1024) << names[i];
    EXPECT_TRUE(DecodesCleanly(part)) << names[i];
    EXPECT_EQ("aac", Probe(part, "a:0", "codec_name"));
    frames += std::stoi(Probe(part, "v:0", "nb_frames"));
  }
  EXPECT_EQ(100, frames);
}

TEST_F(ToolkitSlots, Mp4BoxWritesTheRawVideoOfAnAvi) {
  ASSERT_TRUE(Made({"ffmpeg", "-nostdin", "-y", "-i", media.film, "-map", "0:v", "-c", "copy",
                    "-bsf:v", "h264_mp4toannexb", O("movie.avi")}));
  ASSERT_TRUE(SlotOk("MP4Box/MP4Box.exe", {"-aviraw", "video", O("movie.avi")}));
  EXPECT_EQ(0u, ReadFile(O("movie_video.h264")).find(std::string("\0\0\0\1", 4)));
  EXPECT_EQ("h264", Probe(O("movie_video.h264"), "v:0", "codec_name"));
}

TEST_F(ToolkitSlots, AudioChainToWavAndBack) {
  // The WAV tool decodes the track a player would take: the default one, AC3 5.1.
  ASSERT_TRUE(SlotOk("TS/wavgrab.exe", {media.film, O("movie.wav")}));
  WavInfo grabbed = ReadWavInfo(O("movie.wav"));
  EXPECT_EQ(6, grabbed.channels);
  EXPECT_EQ(16, grabbed.bitsPerSample);
  EXPECT_EQ("5.1", Probe(O("movie.wav"), "a:0", "channel_layout"));  // back, not side

  fs::copy_file(media.ac3, O("movie.ac3"));
  const Args spk[] = {{"-spk:2", "-fmt:0", "-drc+", "-gain:8", "-drc_power:8"},
                      {"-spk:6", "-fmt:0", "-drc+", "-gain:8", "-drc_power:8"},
                      {"-spk:0", "-fmt:0"}};
  const int channels[] = {2, 6, 6};
  for (int i = 0; i < 3; ++i) {
    Args args = {O("movie.ac3"), "-wav", O("dec.wav")};
    args.insert(args.end(), spk[i].begin(), spk[i].end());
    ASSERT_TRUE(SlotOk("ac3filter/valdec.exe", args)) << i;
    EXPECT_EQ(channels[i], ReadWavInfo(O("dec.wav")).channels) << i;
    EXPECT_EQ(48000, ReadWavInfo(O("dec.wav")).sampleRate) << i;
    if (channels[i] == 6) {
      EXPECT_EQ("5.1", Probe(O("dec.wav"), "a:0", "channel_layout")) << i;
    }
  }

  fs::copy_file(media.aac, O("movie.aac"));
  ASSERT_TRUE(SlotOk("FFMpeg/faad.exe", {"-d", O("movie.aac"), "-o", O("faad.wav")}));
  EXPECT_EQ(2, ReadWavInfo(O("faad.wav")).channels);

  std::string beforeNormalize = ReadFile(O("dec.wav"));
  ASSERT_TRUE(SlotOk("Sounds/normalize.exe", {O("dec.wav")}));
  EXPECT_NE(beforeNormalize, ReadFile(O("dec.wav")));
  EXPECT_EQ(ReadWavInfo(O("dec.wav")).dataBytes, grabbed.dataBytes);

  ASSERT_TRUE(SlotOk("Sounds/soundstretch.exe", {O("dec.wav"), O("movie2.wav"), "-pitch=-1"}));
  ASSERT_TRUE(
      SlotOk("besweet/BeSweet.exe", {"-core(", "-input", O("movie2.wav"), "-2ch", "-output",
                                     O("fast.wav"), ")", "-ota(", "-r", "23976", "25000", ")"}));
  WavInfo in = ReadWavInfo(O("movie2.wav")), fast = ReadWavInfo(O("fast.wav"));
  EXPECT_EQ(2, fast.channels);
  EXPECT_EQ(in.sampleRate, fast.sampleRate);
  double ratio = (fast.dataBytes / 2.0) / (in.dataBytes / static_cast<double>(in.channels));
  EXPECT_NEAR(23976.0 / 25000.0, ratio, 0.005);

  // AAC through the FFmpeg slot with the old encoder name and bitrate.
  ASSERT_TRUE(SlotOk("FFMpeg/FFmpeg.exe", {"-f", "wav", "-i", O("fast.wav"), "-acodec", "libfaac",
                                           "-ac", "2", "-ab", "224kb", O("out.aac")}));
  EXPECT_EQ("aac", Probe(O("out.aac"), "a:0", "codec_name"));
  EXPECT_EQ("2", Probe(O("out.aac"), "a:0", "channels"));
}

TEST_F(ToolkitSlots, FailuresLeaveNoResult) {
  WriteFile(O("junk.aac"), std::string(4000, 'x'));
  WriteFile(O("junk.wav"), std::string(4000, 'x'));
  WriteFile(O("keep.wav"), "earlier result");
  EXPECT_FALSE(Slot("FFMpeg/faad.exe", {O("junk.aac"), "-o", O("faad.wav")}).Ok());
  EXPECT_FALSE(Slot("Sounds/normalize.exe", {O("junk.wav")}).Ok());
  EXPECT_EQ(std::string(4000, 'x'), ReadFile(O("junk.wav")));
  EXPECT_FALSE(Slot("Sounds/soundstretch.exe", {O("junk.wav"), O("s.wav"), "-pitch=-1"}).Ok());
  EXPECT_FALSE(Slot("ac3filter/valdec.exe", {O("junk.aac"), "-wav", O("keep.wav"), "-spk:2"}).Ok());
  EXPECT_FALSE(
      Slot("FFMpeg/FFmpeg.exe", {"-i", O("absent.wav"), "-acodec", "libfaac", O("keep.wav")}).Ok());
  EXPECT_FALSE(Slot("TS/wavgrab.exe", {O("junk.aac"), O("keep.wav")}).Ok());
  EXPECT_EQ("earlier result", ReadFile(O("keep.wav")));
  EXPECT_EQ((std::vector<std::string>{"junk.aac", "junk.wav", "keep.wav"}), Entries(out.path()));
}

TEST_F(ToolkitSlots, FfmpegReadsMp2AndPathsWithATrailingBlank) {
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=sample_rate=48000 -t 1 -c:a mp2 -f mp2", O("movie.mp2")));
  ASSERT_TRUE(SlotOk("FFMpeg/FFmpeg.exe", {"-f", "mp2", "-i", O("movie.mp2"), "-acodec", "libfaac",
                                           "-ac", "2", "-ab", "224kb", O("movie.aac")}));
  EXPECT_EQ("aac", Probe(O("movie.aac"), "a:0", "codec_name"));
  // The backup decode writes the blank inside the quotes: "movie.mp2 ".
  ASSERT_TRUE(
      SlotOk("FFMpeg/FFmpeg.exe", {"-i", O("movie.mp2 "), "-acodec", "pcm_s16le", O("movie.wav")}));
  EXPECT_TRUE(CheckWav(O("movie.wav")));
}

}  // namespace
}  // namespace quillet::toolkit
