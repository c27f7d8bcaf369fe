// Real recodes: small Matroska films made here with ffmpeg and mkvmerge, converted by the
// built program (the toolkit in its slots), and each result judged as a player meets it:
// Xvid AVI files, MPEG-2 transport streams, repacked program streams, subtitles burnt
// into the picture through the pre-muxed copy, and a text track drawn for an AVCHD folder.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "app/App.h"
#include "convert/Convert.h"
#include "inspect/ReadInfo.h"
#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"
#include "base/JsonFields.h"
#include "toolkit/Process.h"
#include "base/Text.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Json = toolkit::JsonValue;
using toolkit::IntOf;
using toolkit::Member;
using toolkit::StringOf;
using Args = std::vector<std::string>;

constexpr double kSeconds = 4;

enum class Video { kH264, kMpeg2 };
enum class Sound { kAc3, kAac, kMp2 };

struct Film {
  std::string name;
  std::string size;
  Video video;
  Sound sound;
  int channels;
  bool subtitleTrack = false;  // an SRT track muxed in
};

// Two cues: one from 1 s to 2 s, one from 2.5 s to 3 s.
const char* const kSrt =
    "1\r\n00:00:01,000 --> 00:00:02,000\r\nWHITE TEXT HERE\r\n\r\n"
    "2\r\n00:00:02,500 --> 00:00:03,000\r\nSECOND CUE\r\n\r\n";

::testing::AssertionResult MakeFilm(const Film& film, const fs::path& folder, std::string* path) {
  const std::string d = folder.string() + "/";
  const std::string seconds = toolkit::Format("%g", kSeconds);
  const std::string codec = film.video == Video::kH264
                                ? "-c:v libx264 -preset ultrafast -pix_fmt yuv420p"
                                : "-c:v mpeg2video -b:v 3M -pix_fmt yuv420p";
  // A still grey picture with a moving square: the bottom band stays plain.
  Args video = Words("ffmpeg -nostdin -y -v error -f lavfi -i color=c=gray:size=" + film.size +
                     ":rate=24000/1001 -vf drawbox=x=t*20:y=10:w=40:h=40:color=blue:t=fill -t " +
                     seconds + " " + codec);
  video.push_back(d + "video.mkv");
  auto made = Made(video);
  if (!made) return made;
  const std::pair<const char*, const char*> kinds[] = {{"-c:a ac3 -b:a 448k", "sound.ac3"},
                                                       {"-c:a aac -b:a 192k", "sound.m4a"},
                                                       {"-c:a mp2 -b:a 192k", "sound.mp2"}};
  const auto& [soundCodec, file] = kinds[static_cast<int>(film.sound)];
  const std::string layout = film.channels == 6 ? "5.1" : "stereo";
  Args sound = Words("ffmpeg -nostdin -y -v error -f lavfi -i sine=f=440:d=" + seconds +
                     " -af aformat=channel_layouts=" + layout + " -ar 48000 " + soundCodec);
  sound.push_back(d + file);
  if (!(made = Made(sound))) return made;
  *path = d + film.name;
  Args mux = {"mkvmerge", "-q", "-o", *path, d + "video.mkv", d + file};
  if (film.subtitleTrack) {
    WriteFile(d + "track.srt", kSrt);
    mux.insert(mux.end(), {"--language", "0:eng", d + "track.srt"});
  }
  return Made(mux);
}

double Seconds(const Json& value) {
  return toolkit::NumberOf(value, -1);
}

struct Seen {
  std::string format, videoCodec, videoTag, soundCodec;
  int width = 0, height = 0, channels = 0;
  double videoSeconds = -1, soundSeconds = -1;
};

// The picture's length as a player shows it: the frames decoded at the stream's rate.
// (The encoder stamps only some MPEG-2 frames, so the stream's duration entry is short.)
double PictureSeconds(const std::string& path) {
  const Json probe = ProbeJson(path, {"-count_frames", "-select_streams", "v:0"});
  const Json* v = StreamOf(probe, "video");
  if (!v) return -1;
  const std::vector<std::string> rate = toolkit::Split(StringOf(Member(*v, "r_frame_rate")), '/');
  const double frames = toolkit::ParseInt(StringOf(Member(*v, "nb_read_frames"))).value_or(0);
  if (rate.size() != 2) return -1;
  const double num = toolkit::ParseInt(rate[0]).value_or(0);
  const double den = toolkit::ParseInt(rate[1]).value_or(0);
  return num > 0 && den > 0 ? frames * den / num : -1;
}

// Stream durations, or the file's where the container keeps none per stream.
Seen SeenIn(const std::string& path) {
  const Json probe = ProbeJson(path);
  Seen s;
  s.format = StringOf(Member(Member(probe, "format"), "format_name"));
  const double whole = Seconds(Member(Member(probe, "format"), "duration"));
  if (const Json* v = StreamOf(probe, "video")) {
    s.videoCodec = StringOf(Member(*v, "codec_name"));
    s.videoTag = StringOf(Member(*v, "codec_tag_string"));
    s.width = static_cast<int>(IntOf(Member(*v, "width")));
    s.height = static_cast<int>(IntOf(Member(*v, "height")));
    s.videoSeconds = PictureSeconds(path);
  }
  if (const Json* a = StreamOf(probe, "audio")) {
    s.soundCodec = StringOf(Member(*a, "codec_name"));
    s.channels = static_cast<int>(IntOf(Member(*a, "channels")));
    s.soundSeconds = Seconds(Member(*a, "duration"));
    if (s.soundSeconds < 0) s.soundSeconds = whole;
  }
  return s;
}

#ifdef QUILLET_PROGRAM_IN_BUILD
#define REQUIRE_PROGRAM()    \
  if (!RealProgram::Built()) \
  GTEST_FAIL() << "the program folder is not built: " << RealProgram::BuiltFolder()
#else
#define REQUIRE_PROGRAM() GTEST_SKIP() << "this build makes no quillet program"
#endif

// A film converted by "quillet SOURCE" with the options of the settings file.
struct ProgramConversion {
  explicit ProgramConversion(const std::string& stem) : work(stem) {
    fs::create_directories(sources);
    fs::create_directories(output);
  }
  ProgramRun Convert(const std::string& source, ConversionSettings settings) {
    RealProgram program(work.path() / "program");
    settings.outputFolder = output.string() + "/";
    settings.sourceFolder = sources.string() + "/";
    program.WriteSettings(settings);
    return program.Convert(source, work.path().string());
  }
  TempFolder work;
  fs::path sources = work.path() / "films";
  fs::path output = work.path() / "out folder";
};

struct Case {
  std::string label;
  Film film;
  ConversionSettings settings;
  std::string result, format, videoCodec, videoTag, size, soundCodec;
  int channels;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

ConversionSettings Recode(int format, int platform) {
  ConversionSettings s;
  s.recode = true;
  s.recodeFormat = format;
  s.platform = platform;
  return s;
}

constexpr int kMpeg2 = 0, kXvid = 2;
constexpr int kPs3Surround = 0, kXbox360 = 1, kPs3Stereo = 2;

class RecodeEndToEnd : public ::testing::TestWithParam<Case> {};

TEST_P(RecodeEndToEnd, GivesWhatThePlayerPlays) {
  REQUIRE_PROGRAM();
  const Case& c = GetParam();
  ProgramConversion conversion("quillet-e2e-recode");
  std::string source;
  ASSERT_TRUE(MakeFilm(c.film, conversion.sources, &source));

  const ProgramRun run = conversion.Convert(source, c.settings);

  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Conversion done"), std::string::npos) << run.err;
  ASSERT_EQ(Entries(conversion.output), std::vector<std::string>{c.result});
  const std::string result = (conversion.output / c.result).string();
  const Seen seen = SeenIn(result);
  EXPECT_EQ(seen.format, c.format);
  EXPECT_EQ(seen.videoCodec, c.videoCodec);
  if (!c.videoTag.empty()) EXPECT_EQ(seen.videoTag, c.videoTag);
  EXPECT_EQ(toolkit::Format("%dx%d", seen.width, seen.height), c.size);
  EXPECT_EQ(seen.soundCodec, c.soundCodec);
  EXPECT_EQ(seen.channels, c.channels);
  EXPECT_NEAR(seen.videoSeconds, kSeconds, 0.5);
  EXPECT_NEAR(seen.soundSeconds, kSeconds, 0.5);
  if (c.videoTag == "XVID") {
    // The consoles play no quarter-pixel motion and no global motion compensation.
    const toolkit::ToolResult info =
        Quiet({"mediainfo", "--Inform=Video;%Format_Settings_QPel%|%Format_Settings_GMC%", result});
    EXPECT_EQ(toolkit::Trim(info.out), "No|0");
  }
  EXPECT_TRUE(DecodesCleanly(result));
}

// clang-format off
const Case kCases[] = {
    {"XvidWithTheSourcesAc3", {"Film.mkv", "320x240", Video::kH264, Sound::kAc3, 6},
     Recode(kXvid, kPs3Surround), "Film.avi", "avi", "mpeg4", "XVID", "320x240", "ac3", 6},
    {"Xvid1080pForTheXbox360Is720p", {"Big Film.mkv", "1920x1080", Video::kH264, Sound::kAac, 2},
     Recode(kXvid, kXbox360), "Big Film.avi", "avi", "mpeg4", "XVID", "1280x720", "ac3", 2},
    {"Mpeg2ForTheStereoPs3", {"Film.mkv", "320x240", Video::kH264, Sound::kAc3, 6},
     Recode(kMpeg2, kPs3Stereo), "Film.mpg", "mpegts", "mpeg2video", "", "320x240", "ac3", 2},
    {"Mpeg2FromAacSurround", {"Film.mkv", "320x240", Video::kH264, Sound::kAac, 6},
     Recode(kMpeg2, kPs3Surround), "Film.mpg", "mpegts", "mpeg2video", "", "320x240", "ac3", 6},
    {"RepackMpeg2WithAc3", {"Old Film.mkv", "352x288", Video::kMpeg2, Sound::kAc3, 6},
     ConversionSettings{}, "Old Film.mpg", "mpeg", "mpeg2video", "", "352x288", "ac3", 6},
    {"RepackMpeg2WithMp2", {"Old Film.mkv", "352x288", Video::kMpeg2, Sound::kMp2, 2},
     Recode(kXvid, kPs3Surround), "Old Film.mpg", "mpeg", "mpeg2video", "", "352x288", "mp2", 2},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Outputs, RecodeEndToEnd, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.label; });

TEST(RepackEndToEnd, AacSoundIsRefusedWithABox) {
  REQUIRE_PROGRAM();
  ProgramConversion conversion("quillet-e2e-repack");
  std::string source;
  ASSERT_TRUE(MakeFilm({"Film.mkv", "352x288", Video::kMpeg2, Sound::kAac, 2}, conversion.sources,
                       &source));
  const ProgramRun run = conversion.Convert(source, ConversionSettings{});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Audio error: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("cannot carry AAC"), std::string::npos) << run.err;
  EXPECT_TRUE(Entries(conversion.output).empty());
}

// The one text track of the source, drawn as presentation graphics in the folder's clip.
TEST(AvchdSubtitlesEndToEnd, SrtTrackBecomesAPgsStream) {
  REQUIRE_PROGRAM();
  ProgramConversion conversion("quillet-e2e-pgs");
  std::string source;
  ASSERT_TRUE(MakeFilm({"Film.mkv", "1280x720", Video::kH264, Sound::kAc3, 6, true},
                       conversion.sources, &source));
  ConversionSettings settings;
  settings.avchd = true;
  const ProgramRun run = conversion.Convert(source, settings);
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Entries(conversion.output), std::vector<std::string>{"Film"});
  const fs::path stream = conversion.output / "Film" / "BDMV" / "STREAM";
  ASSERT_TRUE(fs::is_directory(stream));
  const std::vector<std::string> clips = Entries(stream);
  ASSERT_FALSE(clips.empty());
  const Json probe = ProbeJson((stream / clips[0]).string());
  const Json* subtitles = StreamOf(probe, "subtitle");
  ASSERT_NE(subtitles, nullptr);
  EXPECT_EQ(StringOf(Member(*subtitles, "codec_name")), "hdmv_pgs_subtitle");
}

// The bottom quarter of the picture at a moment, as grey levels.
std::vector<unsigned char> BottomBand(const std::string& path, double at) {
  const toolkit::ToolResult r =
      Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", toolkit::Format("%g", at), "-i", path,
             "-frames:v", "1", "-vf", "crop=iw:ih/4:0:ih*3/4", "-pix_fmt", "gray", "-f", "rawvideo",
             "-"});
  return std::vector<unsigned char>(r.out.begin(), r.out.end());
}

// The pixels that differ by more than a third of the grey range: letters drawn in white
// on the grey picture, not the encoder's small differences between two encodes.
int ChangedPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.empty() || a.size() != b.size()) return -1;
  int changed = 0;
  for (size_t i = 0; i < a.size(); ++i) changed += std::abs(int(a[i]) - int(b[i])) > 80 ? 1 : 0;
  return changed;
}

// "Convert" pressed in this process with the real tools: "Embed subs" is not kept in the
// settings file, so the window's state is set as a user sets it.
struct InProcessConversion {
  InProcessConversion(const RealProgram& program, const fs::path& out, const std::string& source,
                      bool embedSubs)
      : ctx{program.folder().string(), runner, ui, power, components, media}, app(ctx) {
    fs::create_directories(out);
    Form1& f = app.form;
    f.txtTMP.Text = out.string() + "/";
    f.txtFile.Text = source;
    f.strFullname = source;
    f.strType = "mkv";
    f.cmbPlatform.SetListIndex(0);
    f.cmbPrio.SetListIndex(0);
    ReadInfo(app, source);
    f.Check1.SetValue(0);
    f.chkMP2.SetValue(1);
    f.cmdConv.SetListIndex(1);
    f.chkSubs.SetValue(embedSubs ? 1 : 0);
    f.lblSRTFound.Visible = true;  // the ".srt" beside the source, as choosing it shows
    Command2_Click(app);
  }
  PosixToolRunner runner;
  FakeUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx;
  App app;
};

TEST(SubtitleBurnInEndToEnd, SrtBesideTheSourceIsBurntIntoTheH264Encode) {
  REQUIRE_PROGRAM();
  TempFolder work{"quillet-e2e-burn"};
  std::string source;
  ASSERT_TRUE(
      MakeFilm({"Film.mkv", "640x360", Video::kH264, Sound::kAc3, 6}, work.path(), &source));
  WriteFile(source.substr(0, source.size() - 3) + "srt", kSrt);
  RealProgram program(work.path() / "program");

  InProcessConversion with(program, work.path() / "with", source, true);
  InProcessConversion without(program, work.path() / "without", source, false);

  ASSERT_EQ(with.app.form.txtProgress.Text, "Conversion done");
  ASSERT_EQ(without.app.form.txtProgress.Text, "Conversion done");
  EXPECT_TRUE(with.ui.boxes.empty());
  EXPECT_EQ(Entries(work.path() / "with"), std::vector<std::string>{"Film.mp4"});
  EXPECT_FALSE(with.app.form.bSRT);
  const std::string a = (work.path() / "with" / "Film.mp4").string();
  const std::string b = (work.path() / "without" / "Film.mp4").string();
  EXPECT_NEAR(SeenIn(a).videoSeconds, kSeconds, 0.5);
  // While a cue shows, letters stand in the band; before the first cue it is the same
  // picture.
  const int atCue = ChangedPixels(BottomBand(a, 1.5), BottomBand(b, 1.5));
  const int atSecondCue = ChangedPixels(BottomBand(a, 2.75), BottomBand(b, 2.75));
  const int beforeCues = ChangedPixels(BottomBand(a, 0.4), BottomBand(b, 0.4));
  EXPECT_GT(atCue, 300);
  EXPECT_GT(atSecondCue, 300);
  EXPECT_GE(beforeCues, 0);
  EXPECT_LT(beforeCues, 20);
}

}  // namespace
}  // namespace quillet::test
