// Real conversions of films with two audio tracks, run in this process with the real
// tool runner and the built program folder's slots: the track chosen in the audio list
// is the one heard (its channels and its tone tell it apart from the other), on the MP4
// and AVCHD roads and in every part of a split film; the sound retimed with the picture
// at 25 frames per second; the stereo PS3 given stereo.

#include <gtest/gtest.h>

#include <cstdint>
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
using Args = std::vector<std::string>;

// One audio track of a film: format, channels and the frequency of its tone.
struct Track {
  std::string codec;  // ffmpeg encoder options
  std::string file;   // elementary file name, its extension tells mkvmerge the format
  int channels;
  int hertz;
};

const Track kAacStereo440{"-c:a aac -b:a 192k", "a.m4a", 2, 440};
const Track kAacSurround440{"-c:a aac -b:a 256k", "a.m4a", 6, 440};
const Track kAc3Surround1000{"-c:a ac3 -b:a 448k", "b.ac3", 6, 1000};
const Track kAc3Surround440{"-c:a ac3 -b:a 448k", "a.ac3", 6, 440};
const Track kAacStereo1000{"-c:a aac -b:a 192k", "b.m4a", 2, 1000};

struct Film {
  std::string size;  // frame size
  double seconds;
  Track first;   // flagged default, Japanese
  Track second;  // not default, English
};

// The tone in every channel, so any channel or a down-mix carries it.
::testing::AssertionResult MakeTrack(const Track& t, double seconds, const std::string& path) {
  std::string pan = t.channels == 6 ? "pan=5.1" : "pan=stereo";
  for (int c = 0; c < t.channels; ++c) pan += "|c" + std::to_string(c) + "=c0";
  Args args =
      Words("ffmpeg -nostdin -y -v error -f lavfi -i sine=f=" + std::to_string(t.hertz) +
            ":d=" + toolkit::Format("%g", seconds) + " -af " + pan + " -ar 48000 " + t.codec);
  args.push_back(path);
  return Made(args);
}

// H.264 at 23.976 frames per second with a key frame each second (so the splitter can
// cut it), and the two tracks; only the first is flagged default.
::testing::AssertionResult MakeFilm(const Film& film, const fs::path& folder, std::string* path) {
  const std::string d = folder.string() + "/";
  Args video = Words("ffmpeg -nostdin -y -v error -f lavfi -i testsrc=size=" + film.size +
                     ":rate=24000/1001 -t " + toolkit::Format("%g", film.seconds) +
                     " -c:v libx264 -preset ultrafast -g 24 -profile:v high -pix_fmt yuv420p");
  video.push_back(d + "video.mkv");
  auto made = Made(video);
  if (!made) return made;
  if (!(made = MakeTrack(film.first, film.seconds, d + film.first.file))) return made;
  if (!(made = MakeTrack(film.second, film.seconds, d + film.second.file))) return made;
  *path = d + "Film.mkv";
  return Made({"mkvmerge", "-q", "-o", *path, d + "video.mkv", "--language", "0:jpn",
               "--default-track", "0:1", d + film.first.file, "--language", "0:eng",
               "--default-track", "0:0", d + film.second.file});
}

// The frequency of the tone in the first audio track's first channel, counted from the
// sign changes of its samples: each period changes sign twice.
double ToneHertz(const std::string& path) {
  toolkit::SetLogEnabled(false);
  toolkit::RunOptions options;
  options.captureOut = true;
  options.captureErr = true;
  const toolkit::ToolResult r =
      toolkit::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-af",
                           "pan=mono|c0=c0", "-ar", "48000", "-f", "s16le", "-"},
                          options);
  const size_t samples = r.out.size() / 2;
  if (samples == 0) return -1;
  int changes = 0;
  bool negative = false;
  for (size_t i = 0; i < samples; ++i) {
    const int16_t sample =
        static_cast<int16_t>(static_cast<unsigned char>(r.out[2 * i]) |
                             (static_cast<unsigned char>(r.out[2 * i + 1]) << 8));
    if (i > 0 && (sample < 0) != negative) ++changes;
    negative = sample < 0;
  }
  return changes / 2.0 / (samples / 48000.0);
}

struct Heard {
  std::string codec;
  int channels = 0;
  double soundSeconds = -1, videoSeconds = -1;
};

Heard HeardIn(const std::string& path) {
  const toolkit::JsonValue probe = ProbeJson(path);
  Heard h;
  if (const toolkit::JsonValue* a = StreamOf(probe, "audio")) {
    h.codec = toolkit::StringOf(toolkit::Member(*a, "codec_name"));
    h.channels = static_cast<int>(toolkit::IntOf(toolkit::Member(*a, "channels")));
    h.soundSeconds = toolkit::NumberOf(toolkit::Member(*a, "duration"), -1);
  }
  if (const toolkit::JsonValue* v = StreamOf(probe, "video"))
    h.videoSeconds = toolkit::NumberOf(toolkit::Member(*v, "duration"), -1);
  return h;
}

// The clips of an AVCHD folder.
std::vector<std::string> Clips(const fs::path& folder) {
  std::vector<std::string> clips;
  std::error_code ec;
  if (!fs::is_directory(folder / "BDMV" / "STREAM", ec)) return clips;
  for (const std::string& name : Entries(folder / "BDMV" / "STREAM"))
    clips.push_back((folder / "BDMV" / "STREAM" / name).string());
  return clips;
}

enum class Road { kMp4, kAvchd, kMp4Split, kMp4At25Fps };

struct Case {
  std::string label;
  Film film;
  int chosenRow;  // clicked in the audio list
  int platform;   // 0 PS3 (5.1), 2 PS3 (2.0)
  Road road;
  std::string codec;  // of the sound heard
  int channels;
  int hertz;  // the chosen track's tone
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

// The built program folder's slots, copied with the toolkit they lead to.
bool ToolkitBuilt() {
  return fs::exists(RealProgram::BuiltFolder() / "quillet-toolkit") &&
         fs::exists(RealProgram::BuiltFolder() / "TS");
}

class ChosenAudioEndToEnd : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!ToolkitBuilt())
      GTEST_FAIL() << "the program folder's slots are not built: " << RealProgram::BuiltFolder();
  }
  TempFolder work{"quillet-e2e-audio"};
};

// The results a run leaves in the output folder: the MP4 files, or the AVCHD clips.
std::vector<std::string> Results(const Case& c, const fs::path& output) {
  std::vector<std::string> results;
  if (c.road == Road::kAvchd) return Clips(output / "Film");
  for (const std::string& name : Entries(output)) results.push_back((output / name).string());
  return results;
}

TEST_P(ChosenAudioEndToEnd, TheChosenTrackIsHeardInSync) {
  const Case& c = GetParam();
  const fs::path output = work.path() / "out folder";
  fs::create_directories(output);
  std::string source;
  ASSERT_TRUE(MakeFilm(c.film, work.path(), &source));

  RealProgram program(work.path() / "program");
  PosixToolRunner runner;
  FakeUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{program.folder().string(), runner, ui, power, components, media};
  App app(ctx);
  Form1& f = app.form;
  f.txtTMP.Text = output.string() + "/";
  f.txtFile.Text = source;
  f.strType = "mkv";
  f.cmbPrio.SetListIndex(0);
  f.cmbPlatform.SetListIndex(c.platform);
  ReadInfo(app, source);
  ASSERT_EQ(f.cmbAudio.Items.size(), 2u);
  f.cmbAudio.SetListIndex(c.chosenRow);  // the user's click
  if (c.road == Road::kAvchd) f.chkAVCHD.SetValue(1);
  if (c.road == Road::kMp4At25Fps) f.chk25.SetValue(1);
  if (c.road == Road::kMp4Split) {
    f.Check1.SetValue(1);
    // Two parts: the threshold a little over half the film's size.
    app.splitThreshold = static_cast<int32_t>(fs::file_size(source) / 1000 * 6 / 10);
  }

  Command2_Click(app);

  ASSERT_EQ(f.txtProgress.Text, "Conversion done");
  const std::vector<std::string> results = Results(c, output);
  ASSERT_EQ(results.size(), c.road == Road::kMp4Split ? 2u : 1u);
  // At 25 frames per second the sound plays faster, a semitone lowered first.
  const double speed = c.road == Road::kMp4At25Fps ? 25 / 23.976 / 1.059463 : 1;
  double videoSeconds = 0, soundSeconds = 0;
  for (const std::string& result : results) {
    SCOPED_TRACE(result);
    const Heard h = HeardIn(result);
    EXPECT_EQ(h.codec, c.codec);
    EXPECT_EQ(h.channels, c.channels);
    // The chosen track's tone; the other track's is more than twice or half of it.
    EXPECT_NEAR(ToneHertz(result), c.hertz * speed, c.hertz * 0.05);
    videoSeconds += h.videoSeconds;
    soundSeconds += h.soundSeconds;
  }
  const double picture =
      c.road == Road::kMp4At25Fps ? c.film.seconds * 23.976 / 25 : c.film.seconds;
  EXPECT_NEAR(videoSeconds, picture, 0.2);
  EXPECT_NEAR(soundSeconds, videoSeconds, c.road == Road::kAvchd ? 0.3 : 0.1);
}

constexpr int kPs3Surround = 0, kPs3Stereo = 2;
const Film kAacThenAc3{"320x240", 6, kAacStereo440, kAc3Surround1000};

// clang-format off
const Case kCases[] = {
    {"Mp4SecondTrackAc3Chosen", kAacThenAc3, 1, kPs3Surround, Road::kMp4, "aac", 6, 1000},
    {"Mp4DefaultAacChosen", kAacThenAc3, 0, kPs3Surround, Road::kMp4, "aac", 2, 440},
    {"AvchdSecondTrackAacChosen", {"1280x720", 4, kAc3Surround440, kAacStereo1000}, 1,
     kPs3Surround, Road::kAvchd, "ac3", 2, 1000},
    {"SplitFilmEveryPartHasTheChosenTrack", kAacThenAc3, 1, kPs3Surround, Road::kMp4Split, "aac",
     6, 1000},
    {"TwentyFiveFpsKeepsPassedAacInSync", {"320x240", 10, kAacSurround440, kAc3Surround1000}, 0,
     kPs3Surround, Road::kMp4At25Fps, "aac", 2, 440},
    {"Ps3StereoMixesDownSurroundAac", {"320x240", 6, kAacSurround440, kAc3Surround1000}, 0,
     kPs3Stereo, Road::kMp4, "aac", 2, 440},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Films, ChosenAudioEndToEnd, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace quillet::test
