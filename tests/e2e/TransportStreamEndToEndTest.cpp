// Real conversions to the PS3 transport stream and to AVCHD folders: small Matroska films
// made here with ffmpeg and mkvmerge, converted by the built program without a display
// (the toolkit in its slots), and each result judged as a player meets it: ffprobe on the
// ".mpg" file or the folder's clips, bd_list_titles on the folder, H.264 at level 4.1,
// the sound in the target's format, and the whole length of sound and picture.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
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
using toolkit::TextOf;
using Args = std::vector<std::string>;

enum class Sound { kAc3, kDts, kAac };

struct Film {
  std::string name;  // file name of the source, blanks and all
  std::string size;  // frame size
  Sound sound;
  int channels;  // 6 (5.1) or 2
};

constexpr double kSeconds = 4;

// H.264 High at level 5.1 (which the players refuse) and the sound of the given kind,
// in a Matroska file made by mkvmerge.
::testing::AssertionResult MakeFilm(const Film& film, const fs::path& folder, std::string* path) {
  const std::string d = folder.string() + "/";
  const std::string seconds = toolkit::Format("%g", kSeconds);
  Args video = Words("ffmpeg -nostdin -y -v error -f lavfi -i testsrc=size=" + film.size +
                     ":rate=24000/1001 -t " + seconds +
                     " -c:v libx264 -preset ultrafast -x264-params cabac=1:8x8dct=1:bframes=2 "
                     "-profile:v high -level 5.1 -pix_fmt yuv420p");
  video.push_back(d + "video.mkv");
  auto made = Made(video);
  if (!made) return made;
  const std::pair<const char*, const char*> kinds[] = {{"-c:a ac3 -b:a 448k", "sound.ac3"},
                                                       {"-c:a dca -strict -2", "sound.dts"},
                                                       {"-c:a aac -b:a 256k", "sound.m4a"}};
  const auto& [codec, file] = kinds[static_cast<int>(film.sound)];
  const std::string layout = film.channels == 6 ? "5.1" : "stereo";
  Args sound = Words("ffmpeg -nostdin -y -v error -f lavfi -i sine=f=440:d=" + seconds +
                     " -af aformat=channel_layouts=" + layout + " -ar 48000 " + codec);
  sound.push_back(d + file);
  if (!(made = Made(sound))) return made;
  *path = d + film.name;
  return Made({"mkvmerge", "-q", "-o", *path, d + "video.mkv", d + file});
}

double Seconds(const Json& value) {
  return toolkit::NumberOf(value, -1);
}

// The sound packets of the first audio track, as a checksum: equal when the track was
// carried over unchanged.
std::string SoundChecksum(const std::string& path) {
  return toolkit::Trim(Quiet({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0",
                              "-c", "copy", "-f", "md5", "-"})
                           .out);
}

// What a player gets: the picture and sound of one file or clip.
struct Heard {
  std::string videoCodec, profile, soundCodec;
  int level = 0, width = 0, height = 0, channels = 0;
  long long soundBitRate = 0;
  double videoSeconds = -1, soundSeconds = -1;
};

Heard HeardIn(const std::string& path) {
  const Json probe = ProbeJson(path);
  Heard h;
  if (const Json* v = StreamOf(probe, "video")) {
    h.videoCodec = StringOf(Member(*v, "codec_name"));
    h.profile = StringOf(Member(*v, "profile"));
    h.level = static_cast<int>(IntOf(Member(*v, "level")));
    h.width = static_cast<int>(IntOf(Member(*v, "width")));
    h.height = static_cast<int>(IntOf(Member(*v, "height")));
    h.videoSeconds = Seconds(Member(*v, "duration"));
  }
  if (const Json* a = StreamOf(probe, "audio")) {
    h.soundCodec = StringOf(Member(*a, "codec_name"));
    h.channels = static_cast<int>(IntOf(Member(*a, "channels")));
    h.soundBitRate = toolkit::ParseInt(TextOf(Member(*a, "bit_rate"))).value_or(0);
    h.soundSeconds = Seconds(Member(*a, "duration"));
  }
  return h;
}

// The folder's clips in play order.
std::vector<std::string> Clips(const fs::path& folder) {
  std::vector<std::string> clips;
  std::error_code ec;
  if (!fs::is_directory(folder / "BDMV" / "STREAM", ec)) return clips;
  for (const std::string& name : Entries(folder / "BDMV" / "STREAM"))
    clips.push_back((folder / "BDMV" / "STREAM" / name).string());
  return clips;
}

struct Case {
  std::string label;
  Film film;
  int platform;  // 0 PS3 (5.1), 2 PS3 (2.0)
  bool avchd;    // else the PS3 transport stream
  std::string soundCodec;
  int channels;
  long long soundBitRate;  // 0: not checked
  bool soundCopied;        // the source's own sound packets
  std::string warning;     // a line the run shows, or ""
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label << " (" << c.film.name << ")";
}

class TransportStreamEndToEnd : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { RequireBuiltProgram(); }

  TempFolder work{"quillet-e2e-ts"};
};

TEST_P(TransportStreamEndToEnd, GivesWhatThePlayerPlays) {
  const Case& c = GetParam();
  const fs::path sources = work.path() / "films";
  const fs::path output = work.path() / "out folder";
  fs::create_directories(sources);
  fs::create_directories(output);
  std::string source;
  ASSERT_TRUE(MakeFilm(c.film, sources, &source));

  RealProgram program(work.path() / "program");
  ConversionSettings settings;
  settings.outputFolder = output.string() + "/";
  settings.sourceFolder = sources.string() + "/";
  settings.platform = c.platform;
  settings.vob = !c.avchd;
  settings.avchd = c.avchd;
  program.WriteSettings(settings);
  const ProgramRun run = program.Convert(source, work.path().string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Conversion done"), std::string::npos) << run.err;
  if (!c.warning.empty()) EXPECT_NE(run.err.find(c.warning), std::string::npos) << run.err;

  // Nothing of the work is left beside the result.
  const std::string base = c.film.name.substr(0, c.film.name.size() - 4);
  const std::string result = (output / (base + (c.avchd ? "" : ".mpg"))).string();
  ASSERT_EQ(Entries(output), std::vector<std::string>{fs::path(result).filename().string()});

  std::vector<std::string> played = {result};
  double tolerance = 0.2;
  if (c.avchd) {
    played = Clips(result);
    ASSERT_FALSE(played.empty());
    tolerance = 0.5;
    const toolkit::ToolResult titles = Quiet({"bd_list_titles", result});
    EXPECT_TRUE(titles.Ok()) << titles.err;
    EXPECT_NE(titles.out.find("V:1 A:1"), std::string::npos) << titles.out;
  } else {
    EXPECT_NE(StringOf(Member(Member(ProbeJson(result), "format"), "format_name")).find("mpegts"),
              std::string::npos);
  }
  double videoSeconds = 0, soundSeconds = 0;
  for (const std::string& clip : played) {
    const Heard h = HeardIn(clip);
    EXPECT_EQ(h.videoCodec, "h264") << clip;
    EXPECT_EQ(h.profile, "High") << clip;
    EXPECT_EQ(h.level, 41) << clip;
    EXPECT_EQ(toolkit::Format("%dx%d", h.width, h.height), c.film.size) << clip;
    EXPECT_EQ(h.soundCodec, c.soundCodec) << clip;
    EXPECT_EQ(h.channels, c.channels) << clip;
    if (c.soundBitRate) EXPECT_EQ(h.soundBitRate, c.soundBitRate) << clip;
    videoSeconds += h.videoSeconds;
    soundSeconds += h.soundSeconds;
  }
  EXPECT_NEAR(videoSeconds, kSeconds, tolerance);
  EXPECT_NEAR(soundSeconds, kSeconds, tolerance);
  if (c.soundCopied) EXPECT_EQ(SoundChecksum(played[0]), SoundChecksum(source));
  for (const std::string& clip : played) EXPECT_TRUE(DecodesCleanly(clip));
}

constexpr int kPs3Surround = 0, kPs3Stereo = 2;

// clang-format off
const Case kCases[] = {
    {"M2tsAc3SurroundTakenFromTheSource", {"Holiday 2009.mkv", "320x240", Sound::kAc3, 6},
     kPs3Surround, false, "ac3", 6, 448000, true, ""},
    {"M2tsDtsForThePs3Stereo", {"dts film.mkv", "320x240", Sound::kDts, 6},
     kPs3Stereo, false, "ac3", 2, 0, false, ""},
    {"M2tsAacSurround", {"aac film.mkv", "320x240", Sound::kAac, 6},
     kPs3Surround, false, "ac3", 6, 0, false, ""},
    {"M2tsNameWithBlanksAndAccents", {"Mon été à Åre.mkv", "320x240", Sound::kAc3, 6},
     kPs3Surround, false, "ac3", 6, 448000, true, ""},
    {"AvchdAc3", {"Holiday 2009.mkv", "1280x720", Sound::kAc3, 6},
     kPs3Surround, true, "ac3", 6, 448000, true, ""},
    {"AvchdDtsIsKept", {"dts film.mkv", "1280x720", Sound::kDts, 6},
     kPs3Surround, true, "dts", 6, 0, true, ""},
    {"AvchdAacBecomesAc3At640", {"aac film.mkv", "1280x720", Sound::kAac, 6},
     kPs3Surround, true, "ac3", 6, 640000, false, ""},
    {"Avchd1440x1080IsWarnedAboutAndMade", {"wide film.mkv", "1440x1080", Sound::kAc3, 6},
     kPs3Surround, true, "ac3", 6, 448000, true,
     "AVCHD info.: Incorrect AVCHD resolution, issues might occur when playing."},
    {"AvchdNameWithBlanksAndAccents", {"Mon été à Åre.mkv", "1280x720", Sound::kAc3, 6},
     kPs3Surround, true, "ac3", 6, 448000, true, ""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Outputs, TransportStreamEndToEnd, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.label; });

// The real runner, keeping the job file as the muxer finds it (the clean-up deletes it).
class JobFileKeepingRunner : public PosixToolRunner {
 public:
  explicit JobFileKeepingRunner(std::string folder) : folder_(std::move(folder)) {}
  int RunTool(const std::string& commandLine, ToolPriority priority) override {
    if (commandLine.find("tsmuxer") != std::string::npos)
      jobFile = ReadFile(folder_ + "movie.meta");
    return PosixToolRunner::RunTool(commandLine, priority);
  }
  std::string jobFile;

 private:
  std::string folder_;
};

// "Fit to" is not kept in the settings file, so the window's state is set the way a user
// sets it, and the "Convert" button pressed, in this process with the real tools.
TEST(TransportStreamEndToEndFitTo, Dvd9SplitOptionReachesTheMuxer) {
#ifndef QUILLET_PROGRAM_IN_BUILD
  GTEST_SKIP() << "this build makes no quillet program (the window is switched off)";
#endif
  TempFolder work{"quillet-e2e-fit"};
  const fs::path output = work.path() / "out";
  fs::create_directories(output);
  std::string source;
  ASSERT_TRUE(MakeFilm({"Film.mkv", "1280x720", Sound::kAc3, 6}, work.path(), &source));
  RealProgram program(work.path() / "program");

  JobFileKeepingRunner runner(output.string() + "/");
  FakeUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{program.folder().string(), runner, ui, power, components, media};
  App app(ctx);
  app.form.txtTMP.Text = output.string() + "/";
  app.form.txtFile.Text = source;
  app.form.strType = "mkv";
  app.form.cmbPlatform.SetListIndex(0);
  app.form.cmbPrio.SetListIndex(0);
  ReadInfo(app, source);
  app.form.Check1.SetValue(0);
  app.form.chkAVCHD.SetValue(1);
  app.form.chkDVD.SetValue(1);
  app.form.cmbSize.SetListIndex(1);

  Command2_Click(app);

  ASSERT_EQ(app.form.txtProgress.Text, "Conversion done");
  const std::vector<std::string> lines = CrLfLines(runner.jobFile);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0],
            "MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  "
            "--auto-chapters=5 --vbv-len=500 --split-size=7900MB ");
  EXPECT_EQ(Entries(output), std::vector<std::string>{"Film"});
  const std::vector<std::string> clips = Clips(output / "Film");
  ASSERT_EQ(clips.size(), 1u);  // far below a DVD9
  EXPECT_NEAR(HeardIn(clips[0]).videoSeconds, kSeconds, 0.5);
}

}  // namespace
}  // namespace quillet::test
