// The Xvid AVI and MPEG-2 roads through the toolkit's slots with the real Debian tools:
// mencoder with the command lines the program writes, the AVI muxer with the shipped
// script template filled in as the program fills it, and ffmpeg's VOB repack. Each run is
// judged by the files it leaves.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/e2e/MediaTools.h"
#include "tests/support/TestApp.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;
using quillet::test::Made;
using quillet::test::Probe;
using quillet::test::Quiet;
using quillet::test::TempFolder;
using quillet::test::Words;
using quillet::test::WriteFile;
using Args = std::vector<std::string>;

const std::string kProgram = QUILLET_PROGRAM_DIR;
const std::string kXvidOptions =
    "max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:"
    "nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";
const std::string kSubOptions =
    "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4";
constexpr double kFilmSeconds = 6.0;

::testing::AssertionResult SlotOk(const std::string& slot, const Args& args) {
  Args argv = {kProgram + "/" + slot};
  argv.insert(argv.end(), args.begin(), args.end());
  ToolResult r = Quiet(argv);
  if (r.Ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << slot << " failed:\n" << r.err;
}

::testing::AssertionResult Ffmpeg(const std::string& words, const std::string& output) {
  Args argv = Words("ffmpeg -nostdin -y " + words);
  argv.push_back(output);
  return Made(argv);
}

double Seconds(const std::string& path) {
  ToolResult r = Quiet({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                        "default=nw=1:nk=1", path});
  return ParseDecimal(Trim(r.out)).value_or(-1);
}

std::string FormatName(const std::string& path) {
  ToolResult r = Quiet({"ffprobe", "-v", "error", "-show_entries", "format=format_name", "-of",
                        "default=nw=1:nk=1", path});
  return Trim(r.out);
}

long long VideoFrames(const std::string& path) {
  ToolResult r =
      Quiet({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=nb_read_frames", "-of", "default=nw=1:nk=1", path});
  return ParseInt(Trim(Split(r.out, '\n')[0])).value_or(-1);  // a transport stream lists it twice
}

// The video's features as mediainfo reports them: "QPel|GMC|CodecID".
std::string MediaInfoVideo(const std::string& path) {
  ToolResult r = Quiet(
      {"mediainfo", "--Inform=Video;%Format_Settings_QPel%|%Format_Settings_GMC%|%CodecID%", path});
  return Trim(r.out);
}

// The bottom quarter of the frame at a time, as grey bytes.
std::string BottomBand(const std::string& path, double at) {
  ToolResult r =
      Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", Format("%.2f", at), "-i", path,
             "-frames:v", "1", "-vf", "crop=iw:ih/4:0:ih*3/4,format=gray", "-f", "rawvideo", "-"});
  return r.out;
}

double MeanDifference(const std::string& a, const std::string& b) {
  if (a.empty() || a.size() != b.size()) return -1;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    sum += std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]));
  return sum / static_cast<double>(a.size());
}

// The chunk ids of an AVI's first movi list, in file order ("00dc", "01wb", ...).
std::vector<std::string> MoviChunks(const std::string& path) {
  std::vector<std::string> ids;
  auto data = ReadBytes(path);
  if (!data || data->size() < 12) return ids;
  const std::string& d = *data;
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, d.data() + at, 4);
    return static_cast<size_t>(v);
  };
  size_t movi = d.find("movi");
  if (movi == std::string::npos || movi < 8) return ids;
  size_t end = std::min(d.size(), movi + u32(movi - 4));
  for (size_t at = movi + 4; at + 8 <= end;) {
    std::string id = d.substr(at, 4);
    if (id == "LIST") {  // a rec list: step into it
      at += 12;
      continue;
    }
    ids.push_back(id);
    at += 8 + u32(at + 4) + (u32(at + 4) & 1);
  }
  return ids;
}

// The longest run of chunks of one stream with no chunk of the other between.
int LongestRun(const std::vector<std::string>& ids, const std::string& suffix) {
  int longest = 0, run = 0;
  for (const std::string& id : ids) {
    if (EndsWith(id, suffix))
      longest = std::max(longest, ++run);
    else if (!StartsWith(id, "ix"))
      run = 0;
  }
  return longest;
}

// How often four bytes occur in a file, read in blocks (the file may be gigabytes).
size_t Occurrences(const std::string& path, const std::string& fourcc) {
  std::ifstream in(path, std::ios::binary);
  std::string carry, block(16 << 20, '\0');
  size_t n = 0;
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    std::string text = carry + block.substr(0, static_cast<size_t>(in.gcount()));
    for (size_t at = text.find(fourcc); at != std::string::npos; at = text.find(fourcc, at + 1))
      ++n;
    carry = text.substr(text.size() - std::min<size_t>(text.size(), fourcc.size() - 1));
  }
  return n;
}

// The template shipped in the program folder, filled in as the program fills it: the
// output folder for the placeholder, the size line, the START line; CR LF line ends.
std::string FilledTemplate(const std::string& folder, const std::string& sizeLine,
                           const std::string& output) {
  std::ifstream in(kProgram + "/avimux/quillet.amg");
  std::string line, script;
  while (std::getline(in, line)) {
    if (line.find("ENDOFFILE") != std::string::npos) break;
    if (line.find("MAXFILESIZE") != std::string::npos) line = sizeLine;
    for (size_t at = 0; (at = line.find("D:\\QUILLET\\", at)) != std::string::npos;
         at += folder.size())
      line.replace(at, 11, folder);
    script += line + "\r\n";
  }
  return script + "START " + folder + output + "\r\n";
}

// Media shared by the tests, made once.
struct Media {
  TempFolder dir{"toolkit-avi"};
  std::string film;    // 320x240 H.264 at 23.976, AC3 5.1, 6 s
  std::string subbed;  // the film with a subtitle track (cue from 1 s to 3 s)
  std::string srt;     // that subtitle as a file
  std::string oldAvi;  // MPEG-4 ASP with quarter-pixel motion and MP3, 6 s, srt beside it
  std::string mpeg2;   // MPEG-2 video and AC3 in Matroska
  bool ok = false;

  Media() {
    std::string d = dir.str();
    film = d + "/film.mkv";
    subbed = d + "/subbed.mkv";
    srt = d + "/old.srt";
    oldAvi = d + "/old.avi";
    mpeg2 = d + "/mpeg2.mkv";
    WriteFile(srt, "1\n00:00:01,000 --> 00:00:03,000\nHallo Welt, ein langer Satz\n");
    const std::string picture =
        "-f lavfi -i testsrc=size=320x240:rate=24000/1001 -f lavfi -i "
        "sine=frequency=440:sample_rate=48000 -t 6 ";
    ok = Ffmpeg(picture + "-c:v libx264 -preset fast -bf 2 -g 24 -pix_fmt yuv420p -c:a ac3 -ac 6",
                film) &&
         Made({"mkvmerge", "-q", "-o", subbed, film, srt}) &&
         Ffmpeg(picture + "-c:v mpeg4 -vtag XVID -flags +qpel -b:v 800k -c:a libmp3lame -b:a 128k",
                oldAvi) &&
         Ffmpeg(picture + "-c:v mpeg2video -b:v 2M -c:a ac3", mpeg2);
  }
};

class ToolkitAvi : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { media_ = new Media; }
  static void TearDownTestSuite() {
    delete media_;
    media_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(media_->ok) << "sample media could not be made"; }
  static Media* media_;
  TempFolder out_{"toolkit-avi-out"};
  std::string Out(const std::string& name) const { return out_.str() + "/" + name; }

  // The Xvid line of the program: C without subtitles, A burning in subtitle track -sid.
  Args XvidLine(const std::string& source, const std::string& output, int sid) const {
    std::string subtitles =
        sid < 0 ? "" : "-font " + kProgram + "/Mencoder/font.ttf -utf8 " + kSubOptions;
    Args args = Words(Trim(subtitles + " -of avi -o"));
    args.push_back(output);
    Args rest = Words("-ovc xvid -xvidencopts bitrate=1500:" + kXvidOptions +
                      " -ofps 24000/1001 -vf harddup -nosound");
    args.insert(args.end(), rest.begin(), rest.end());
    args.push_back(source);
    Args tail = Words(sid < 0 ? "-mc 0 -noskip -sid 99" : "-noskip -sid " + std::to_string(sid));
    args.insert(args.end(), tail.begin(), tail.end());
    return args;
  }
};
Media* ToolkitAvi::media_ = nullptr;

TEST_F(ToolkitAvi, XvidLineThenTheMuxerGiveAnAviWithXvidAndAc3) {
  std::string movie = Out("movie.avi"), ac3 = Out("movie.ac3");
  ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe", XvidLine(media_->film, movie, -1)));
  EXPECT_EQ("mpeg4", Probe(movie, "v:0", "codec_name"));
  EXPECT_EQ("XVID", Probe(movie, "v:0", "codec_tag_string"));
  EXPECT_EQ("No|0|XVID", MediaInfoVideo(movie));  // no quarter-pixel, no global motion
  EXPECT_TRUE(Probe(movie, "a", "codec_name").empty());

  ASSERT_TRUE(Ffmpeg("-v error -i " + media_->film + " -map 0:a -c:a ac3 -b:a 640k", ac3));
  WriteFile(Out("quillet.amg"), FilledTemplate(out_.str() + "/", "MAXFILESIZE OFF", "Film.avi"));
  ASSERT_TRUE(SlotOk("avimux/avimux_gui.exe", {Out("quillet.amg")}));

  std::string film = Out("Film.avi");
  EXPECT_EQ("avi", FormatName(film));
  EXPECT_EQ("mpeg4", Probe(film, "v:0", "codec_name"));
  EXPECT_EQ("XVID", Probe(film, "v:0", "codec_tag_string"));
  EXPECT_EQ("ac3", Probe(film, "a:0", "codec_name"));
  EXPECT_EQ("6", Probe(film, "a:0", "channels"));
  EXPECT_NEAR(kFilmSeconds, Seconds(film), 0.5);
  EXPECT_EQ(VideoFrames(movie), VideoFrames(film));
  EXPECT_TRUE(quillet::test::DecodesCleanly(film));
  EXPECT_FALSE(fs::exists(Out("Film_002.avi")));

  // Audio lies beside the frames it plays with, not in long runs of one stream.
  std::vector<std::string> chunks = MoviChunks(film);
  ASSERT_GT(chunks.size(), 300u);
  EXPECT_LE(LongestRun(chunks, "dc"), 2);
  EXPECT_LE(LongestRun(chunks, "wb"), 3);
}

TEST_F(ToolkitAvi, MaxFileSizeCutsAtKeyFramesIntoPartsThatHoldTheWholeFilm) {
  // About 6 MB of MPEG-4 with a key frame every second, and AC3 at 640 kbit/s.
  std::string movie = Out("movie.avi"), ac3 = Out("movie.ac3");
  ASSERT_TRUE(
      Ffmpeg("-v error -f lavfi -i testsrc2=size=320x240:rate=25 -t 12 -vf noise=alls=20:allf=t "
             "-c:v mpeg4 -vtag XVID -q:v 8 -g 25",
             movie));
  ASSERT_TRUE(Ffmpeg(
      "-v error -f lavfi -i sine=frequency=440:sample_rate=48000 -t 12 -c:a ac3 -b:a 640k", ac3));
  ASSERT_GT(FileSize(movie), 4 * 1024 * 1024) << "the sample must need three parts or more";
  WriteFile(Out("Film_009.avi"), "left from an earlier run");
  WriteFile(Out("quillet.amg"), FilledTemplate(out_.str() + "/", "MAXFILESIZE 2", "Film.avi"));
  ASSERT_TRUE(SlotOk("avimux/avimux_gui.exe", {Out("quillet.amg")}));

  std::vector<std::string> parts = {Out("Film.avi")};
  for (int n = 2; fs::exists(Out(Format("Film_%03d.avi", n))); ++n)
    parts.push_back(Out(Format("Film_%03d.avi", n)));
  ASSERT_GE(parts.size(), 3u);
  double seconds = 0;
  long long frames = 0;
  for (const std::string& part : parts) {
    SCOPED_TRACE(part);
    EXPECT_LE(FileSize(part), 2 * 1024 * 1024);
    EXPECT_EQ("avi", FormatName(part));
    EXPECT_EQ("ac3", Probe(part, "a:0", "codec_name"));
    EXPECT_TRUE(quillet::test::DecodesCleanly(part));  // each part starts at a key frame
    seconds += Seconds(part);
    frames += VideoFrames(part);
  }
  EXPECT_EQ(300, frames);
  EXPECT_NEAR(12.0, seconds, 0.3);
  EXPECT_FALSE(fs::exists(Out("Film_009.avi")))
      << "a part of an earlier run stays beside the new set";
  EXPECT_FALSE(fs::exists(Out(Format("Film_%03d.avi", static_cast<int>(parts.size()) + 1))));
}

TEST_F(ToolkitAvi, BeyondOneGigabyteTheAviHasOpenDmlIndexes) {
  // 1.1 GB of video: 12 noisy seconds repeated for 20 minutes, and AC3 for as long.
  std::string sample = Out("sample.avi"), movie = Out("movie.avi"), ac3 = Out("movie.ac3");
  ASSERT_TRUE(
      Ffmpeg("-v error -f lavfi -i testsrc2=size=320x240:rate=25 -t 12 -vf "
             "noise=alls=20:allf=t -c:v mpeg4 -vtag XVID -q:v 4 -g 25",
             sample));
  ASSERT_TRUE(Ffmpeg("-v error -stream_loop -1 -i " + sample + " -c copy -t 1200", movie));
  fs::remove(sample);
  ASSERT_GT(FileSize(movie), 1100LL * 1024 * 1024);
  ASSERT_TRUE(Ffmpeg(
      "-v error -f lavfi -i sine=frequency=440:sample_rate=48000 -t 1200 -c:a ac3 -b:a 640k", ac3));
  WriteFile(Out("quillet.amg"), FilledTemplate(out_.str() + "/", "MAXFILESIZE OFF", "Film.avi"));
  ASSERT_TRUE(SlotOk("avimux/avimux_gui.exe", {Out("quillet.amg")}));

  std::string film = Out("Film.avi");
  auto count = [&film](const std::string& fourcc) { return Occurrences(film, fourcc); };
  EXPECT_EQ(1u, count("AVIX"));  // the second RIFF of an OpenDML file
  EXPECT_EQ(2u, count("indx"));  // a super index per stream
  EXPECT_GE(count("ix00"), 2u);  // a standard index per stream and RIFF
  EXPECT_GE(count("ix01"), 2u);
  EXPECT_EQ(1u, count("idx1"));  // the legacy index of the first RIFF, for old players
  EXPECT_EQ("30000", Probe(film, "v:0", "nb_frames"));
  EXPECT_NEAR(1200.0, Seconds(film), 0.5);
  // A seek into the second RIFF finds its frames.
  EXPECT_TRUE(Made({"ffmpeg", "-nostdin", "-v", "error", "-ss", "1150", "-i", film, "-t", "2", "-f",
                    "null", "-"}));
}

TEST_F(ToolkitAvi, MuxerFailuresLeaveNoResult) {
  std::string script = Out("quillet.amg");
  // The template as it ships, not filled in: its Windows folder does not exist here.
  ASSERT_TRUE(ReadBytes(kProgram + "/avimux/quillet.amg").has_value());
  WriteFile(script, *ReadBytes(kProgram + "/avimux/quillet.amg") + "START " + Out("F.avi") + "\n");
  EXPECT_FALSE(SlotOk("avimux/avimux_gui.exe", {script}));
  WriteFile(script, "CLEAR\nLOAD " + media_->oldAvi +
                        "\nSELECT FILE 1\nADD VIDEOSOURCE\nMUX\nSTART " + Out("F.avi") + "\n");
  ::testing::AssertionResult r = SlotOk("avimux/avimux_gui.exe", {script});
  EXPECT_FALSE(r);
  EXPECT_NE(std::string::npos, std::string(r.message()).find("unknown command MUX"));
  EXPECT_FALSE(fs::exists(Out("F.avi")));
  EXPECT_EQ((std::vector<std::string>{"quillet.amg"}), quillet::test::Entries(out_.str()));
}

TEST_F(ToolkitAvi, Mpeg2LinesWriteAProgramStreamWithMpeg2Video) {
  const std::string lavcC =
      "threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:vbitrate=14900:"
      "keyint=15:autoaspect:dia=2:trell:mv0";
  const std::string lavcA =
      "threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:vbitrate=14900:"
      "autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0";
  struct Case {
    std::string head, lavc, source, tail;
  } cases[] = {
      {"-nosound -o", lavcC, media_->film, "-mc 0 -noskip -sid 99"},
      {"-nosound -font " + kProgram + "/Mencoder/font.ttf -utf8 " + kSubOptions + " -o", lavcA,
       media_->subbed, "-mc 0 -noskip -sid 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lavc);
    std::string mpg = Out("movie.mpg");
    fs::remove(mpg);
    Args args = Words(c.head);
    args.push_back(mpg);
    Args rest = Words("-of mpeg -ovc lavc -lavcopts " + c.lavc + " -ofps 31001/1293 -vf harddup");
    args.insert(args.end(), rest.begin(), rest.end());
    args.push_back(c.source);
    Args tail = Words(c.tail);
    args.insert(args.end(), tail.begin(), tail.end());
    ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe", args));
    EXPECT_EQ("mpeg", FormatName(mpg));
    EXPECT_EQ("mpeg2video", Probe(mpg, "v:0", "codec_name"));
    EXPECT_EQ("0x1e0", Probe(mpg, "v:0", "id"));  // the stream id the meta file's track=224 names
    EXPECT_EQ("24000/1001", Probe(mpg, "v:0", "r_frame_rate"));
    EXPECT_NEAR(kFilmSeconds, Seconds(mpg), 0.5);
  }
}

TEST_F(ToolkitAvi, Mpeg2RecodeIsMuxedFromTheProgramStreamByTrack224) {
  // The encoder's program stream and the AC3, joined by the transport stream muxer with
  // the meta file the program writes for this road.
  std::string mpg = Out("movie.mpg"), ac3 = Out("movie.ac3"), meta = Out("movie.meta");
  Args args = {"-nosound", "-o", mpg};
  Args rest = Words(
      "-of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:"
      "vrc_maxrate=14900:vbitrate=14900:keyint=15:autoaspect:dia=2:trell:mv0 -ofps 31001/1293 "
      "-vf harddup");
  args.insert(args.end(), rest.begin(), rest.end());
  args.insert(args.end(), {media_->film, "-mc", "0", "-noskip", "-sid", "99"});
  ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe", args));
  ASSERT_TRUE(Ffmpeg("-v error -i " + media_->film + " -map 0:a -c:a ac3 -b:a 640k", ac3));
  WriteFile(meta,
            "MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500\r\n"
            "V_MPEG-2, \"" +
                mpg +
                "\", fps=23.976, track=224\r\n"
                "A_AC3, \"" +
                ac3 + "\"\r\n");
  std::string ts = Out("Film.m2ts");
  ASSERT_TRUE(SlotOk("TS/tsmuxer.exe", {meta, ts}));
  EXPECT_EQ("mpegts", FormatName(ts));
  EXPECT_EQ("mpeg2video", Probe(ts, "v:0", "codec_name"));
  EXPECT_EQ("24000/1001", Probe(ts, "v:0", "r_frame_rate"));
  EXPECT_EQ("ac3", Probe(ts, "a:0", "codec_name"));
  EXPECT_EQ(VideoFrames(mpg), VideoFrames(ts));
  EXPECT_NEAR(kFilmSeconds, Seconds(ts), 0.5);
  EXPECT_TRUE(quillet::test::DecodesCleanly(ts));

  // Another stream id than the encoder's video is no track of the source.
  WriteFile(meta,
            "MUXOPT --no-pcr-on-video-pid\r\nV_MPEG-2, \"" + mpg + "\", fps=23.976, track=225\r\n");
  EXPECT_FALSE(SlotOk("TS/tsmuxer.exe", {meta, Out("Other.m2ts")}));
  EXPECT_FALSE(fs::exists(Out("Other.m2ts")));
}

TEST_F(ToolkitAvi, RepackLineWritesAProgramStream) {
  std::string mpg = Out("Film.mpg");
  WriteFile(mpg, "an old result");
  ASSERT_TRUE(SlotOk("FFMpeg/FFmpeg.exe",
                     {"-threads", "4", "-i", media_->mpeg2, "-vcodec", "copy", "-acodec", "copy",
                      "-f", "vob", "-copyts", "-y", mpg, "-bug", "ms"}));
  EXPECT_EQ("mpeg", FormatName(mpg));
  EXPECT_EQ("mpeg2video", Probe(mpg, "v:0", "codec_name"));
  EXPECT_EQ("ac3", Probe(mpg, "a:0", "codec_name"));
  EXPECT_NEAR(kFilmSeconds, Seconds(mpg), 0.5);
}

TEST_F(ToolkitAvi, SubtitlesAreBurntIntoTheBottomBandAtTheirCueTimes) {
  // The Xvid line with the film's subtitle track, against the same line without.
  std::string plain = Out("plain.avi"), burnt = Out("burnt.avi");
  ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe", XvidLine(media_->subbed, plain, -1)));
  ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe", XvidLine(media_->subbed, burnt, 0)));
  EXPECT_GT(MeanDifference(BottomBand(plain, 2.0), BottomBand(burnt, 2.0)), 4.0);
  double outside = MeanDifference(BottomBand(plain, 4.5), BottomBand(burnt, 4.5));
  EXPECT_GE(outside, 0.0);
  EXPECT_LT(outside, 2.0);
}

TEST_F(ToolkitAvi, AviRepairLinesCheckRecodeAndBurnIn) {
  const std::string source = media_->oldAvi;
  ASSERT_EQ("Yes|0|XVID", MediaInfoVideo(source));

  // The check: the first 10 MB copied; the copy still tells of the quarter-pixel motion.
  std::string test = Out("test.avi");
  ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe",
                     {"-endpos", "10mb", "-ovc", "copy", "-oac", "copy", source, "-o", test}));
  EXPECT_EQ("Yes|0|XVID", MediaInfoVideo(test));

  // The video repair with the subtitle file beside the source: a size rate (the source's
  // size in kB, negated), audio copied, no quarter-pixel motion, subtitles burnt in with
  // the font named in another case, as Windows would find it.
  long long kb = FileSize(source) / 1024;
  std::string repaired = Out("QL_old.avi");
  Args args = Words("-oac copy -mc 0 -font " + kProgram + "/MENCODER/Font.TTF -utf8 " +
                    kSubOptions + " -of avi -o");
  args.push_back(repaired);
  Args rest = Words("-ovc xvid -xvidencopts bitrate=-" + std::to_string(kb) + ":" + kXvidOptions +
                    " -vf harddup");
  args.insert(args.end(), rest.begin(), rest.end());
  args.insert(args.end(), {source, "-noskip", "-sub", media_->srt});
  args.insert(args.begin(), kProgram + "/Mencoder/Mencoder.exe");
  ToolResult run = Quiet(args);
  ASSERT_TRUE(run.Ok()) << run.err;
  // mencoder falls back to another font without a word: the line it got tells.
  EXPECT_NE(std::string::npos, run.err.find("-font " + kProgram + "/Mencoder/font.ttf "))
      << run.err;
  EXPECT_EQ("No|0|XVID", MediaInfoVideo(repaired));
  EXPECT_EQ("mp3", Probe(repaired, "a:0", "codec_name"));
  EXPECT_EQ(VideoFrames(source), VideoFrames(repaired));  // every frame, not one repeated
  double ratio = static_cast<double>(FileSize(repaired)) / static_cast<double>(FileSize(source));
  EXPECT_GT(ratio, 0.5);  // about the source's size
  EXPECT_LT(ratio, 1.5);
  EXPECT_GT(MeanDifference(BottomBand(source, 2.0), BottomBand(repaired, 2.0)), 4.0);

  // The audio repair: MP3 at 160 kbit/s and 48 kHz, the video copied.
  std::string audio = Out("QL_audio.avi");
  Args line = Words("-oac mp3lame -srate 48000 -lameopts cbr:br=160:mode=1 -of avi -o");
  line.push_back(audio);
  line.insert(line.end(), {"-ovc", "copy", source});
  ASSERT_TRUE(SlotOk("Mencoder/Mencoder.exe", line));
  EXPECT_EQ("48000", Probe(audio, "a:0", "sample_rate"));
  EXPECT_EQ("160000", Probe(audio, "a:0", "bit_rate"));
  EXPECT_EQ("Yes|0|XVID", MediaInfoVideo(audio));
  EXPECT_EQ(VideoFrames(source), VideoFrames(audio));
}

}  // namespace
}  // namespace quillet::toolkit
