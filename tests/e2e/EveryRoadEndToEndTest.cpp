// Every road against the films people have and the ones no player takes as they are. A run
// that exits 0 holds every kind of stream the source has, each as long as the source, in a
// form the player decodes, and nothing of ours beside it; any other run exits 1 with a line
// naming the film and leaves no working file. "quillet --check" agrees with the road.

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/StartedProgram.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const std::string kAvc = " -c:v libx264 -preset veryfast";
const std::string kAc3 = " -c:a ac3 -ac 2";

std::string Plain() {
  return TestFilm("plain.mkv", "320x240", 3, kAvc + kAc3);
}
// A size a Blu-ray player takes.
std::string Plain720() {
  return TestFilm("plain 720.mkv", "1280x720", 3, kAvc + kAc3);
}
// 60 frames a second for five seconds, then 30: the time stamps carry the rate.
std::string VariableRate() {
  return ShelvedFilm(
      "vfr.mkv",
      "ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=60:duration=10 -f lavfi "
      "-i sine=r=48000:d=10 -vf 'select=lt(t\\,5)+not(mod(n\\,2))' -fps_mode vfr -pix_fmt yuv420p" +
          kAvc + kAc3 + " vfr.mkv");
}
std::string SoundOnly() {
  return ShelvedFilm("sound only.mkv",
                     "ffmpeg -v error -f lavfi -i sine=r=48000:d=3" + kAc3 + " 'sound only.mkv'");
}
std::string Hevc() {
  return TestFilm("hevc.mkv", "320x240", 2, "-c:v libx265 -preset ultrafast" + kAc3);
}
std::string High10() {
  return TestFilm("high10.mkv", "320x240", 2,
                  "-c:v libx264 -preset ultrafast -pix_fmt yuv420p10le" + kAc3);
}
// Xvid and MP3 in Matroska's compatibility mode, as films of 2008 were made from AVI files.
std::string VfwMatroska() {
  return ShelvedFilm("old xvid.mkv",
                     "ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi "
                     "-i sine=r=48000:d=3 -c:v mpeg4 -vtag XVID -q:v 3 -c:a libmp3lame x.avi && "
                     "mkvmerge -q -o 'old xvid.mkv' x.avi");
}
std::string Vc1At25() {
  return Vc1Wmv("vc1 25.wmv", 75);
}
std::string Vc1At25RateInAsfOnly() {
  return Vc1Wmv("vc1 25 bare.wmv", 75, false);
}
std::string Qpel() {
  return XvidAvi("qpel.avi", ":qpel");
}

enum class Outcome { Whole, Refused };

struct Case {
  const char* label;
  std::string (*source)();
  Args options;
  Outcome outcome;
  const char* player = "ps3";  // whose verdict on the source the road must agree with
  bool keeps25 = false;        // the result keeps the source's 25 frames a second
  bool recodes = false;        // the road re-encodes unasked, as the check says it must
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

// clang-format off
const Case kCases[] = {
    {"PlainMp4", Plain, {}, Outcome::Whole},
    {"PlainM2ts", Plain, {"--m2ts"}, Outcome::Whole},
    {"PlainAvchd", Plain720, {"--avchd"}, Outcome::Whole, "bluray"},
    {"PlainXvid", Plain, {"--recode", "xvid"}, Outcome::Whole},
    {"PlainMpeg2", Plain, {"--recode", "mpeg2"}, Outcome::Whole},
    {"PlainFolderRun", Plain, {"folder"}, Outcome::Whole},
    {"VariableRateMp4", VariableRate, {}, Outcome::Whole},
    {"VariableRateM2ts", VariableRate, {"--m2ts"}, Outcome::Whole},
    {"VariableRateAvchd", VariableRate, {"--avchd"}, Outcome::Refused, "bluray"},
    {"SoundOnlyFolderRun", SoundOnly, {"folder"}, Outcome::Refused},
    {"HevcAvchd", Hevc, {"--avchd"}, Outcome::Refused, "bluray"},
    {"High10M2ts", High10, {"--m2ts"}, Outcome::Refused},
    {"High10RecodedM2ts", High10, {"--m2ts", "--recode", "h264"}, Outcome::Whole},
    {"VfwMatroskaMp4", VfwMatroska, {}, Outcome::Whole, "ps3", true, true},
    {"VfwMatroskaM2ts", VfwMatroska, {"--m2ts"}, Outcome::Whole, "ps3", true, true},
    {"VfwMatroskaXvid", VfwMatroska, {"--recode", "xvid"}, Outcome::Whole, "ps3", true},
    {"VfwMatroskaRecodedMp4", VfwMatroska, {"--recode", "h264"}, Outcome::Whole, "ps3", true},
    {"VfwMatroskaRecodedM2ts", VfwMatroska, {"--m2ts", "--recode", "h264"}, Outcome::Whole, "ps3", true},
    {"Vc1WmvAt25", Vc1At25, {}, Outcome::Whole, "bluray", true},
    {"Vc1WmvAt25RateInAsfOnly", Vc1At25RateInAsfOnly, {}, Outcome::Whole, "bluray", true},
    {"QpelAviRepair", Qpel, {}, Outcome::Whole},
};
// clang-format on

class EveryRoad : public ProgramTest, public ::testing::WithParamInterface<Case> {
 protected:
  // The results in the output folder, by their streams; anything else there is a working
  // file left behind (a disc folder's navigation files are part of its result).
  std::vector<std::string> Results() const {
    std::vector<std::string> results;
    for (const auto& entry : fs::recursive_directory_iterator(output)) {
      if (!entry.is_regular_file()) continue;
      const std::string ext = entry.path().extension().string();
      if (ext == ".mp4" || ext == ".mpg" || ext == ".m2ts" || ext == ".avi")
        results.push_back(entry.path().string());
      else if (ext != ".bdmv" && ext != ".clpi" && ext != ".mpls")
        ADD_FAILURE() << "left in the output folder: " << entry.path();
    }
    return results;
  }
};

TEST_P(EveryRoad, DoneHoldsTheWholeFilmElseOneLineSaysWhy) {
  const Case& c = GetParam();
  const std::string source = c.source();
  ASSERT_FALSE(source.empty());
  const bool folderRun = !c.options.empty() && c.options[0] == "folder";
  Args args = folderRun ? Args{} : c.options;
  if (folderRun) {
    const fs::path films = work.path() / "films";
    fs::create_directories(films);
    fs::copy_file(source, films / fs::path(source).filename());
    args.push_back(films.string());
  } else {
    args.push_back(source);
  }
  const ProgramRun run = Run(args);
  const std::string name = fs::path(source).filename().string();
  // A road that re-encodes (an AVI repair does) takes what the check says needs it.
  const bool recoded = std::find(args.begin(), args.end(), "--recode") != args.end() ||
                       fs::path(source).extension() == ".avi";
  const std::string verdict = Verdict(source, c.player);
  if (c.outcome == Outcome::Refused) {
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Holds(run.err, name));
    EXPECT_TRUE(Results().empty());
    if (!recoded) {
      EXPECT_NE(verdict, "plays");
    }
    return;
  }
  ASSERT_EQ(run.status, 0) << run.err;
  if (c.recodes) {
    EXPECT_EQ(verdict, "re-encode");
  } else if (!recoded) {
    EXPECT_NE(verdict, "re-encode");
  }
  const std::vector<std::string> results = Results();
  ASSERT_FALSE(results.empty()) << run.err;
  std::map<std::string, double> seconds;  // the clips of a disc folder or the parts add up
  for (const std::string& result : results) {
    std::map<std::string, std::string> facts = Facts(result);
    for (const char* kind : {"video", "audio"})
      if (facts.count(kind + std::string(".codec_name")))
        seconds[kind] += ParseDecimal(facts[kind + std::string(".duration")])
                             .value_or(ParseDecimal(facts["format.duration"]).value_or(0));
    EXPECT_TRUE(Holds("h264 mpeg2video mpeg4 vc1", facts["video.codec_name"]));
    EXPECT_EQ(facts["video.pix_fmt"], "yuv420p") << result;
    EXPECT_LE(std::stoi(facts["video.width"]), 1920);
    EXPECT_LE(std::stoi(facts["video.height"]), 1080);
    if (c.keeps25) {
      EXPECT_EQ(facts["video.avg_frame_rate"], "25/1") << result;
    }
  }
  std::map<std::string, std::string> from = Facts(source);
  for (const char* kind : {"video", "audio"}) {
    const double length = ParseDecimal(from[kind + std::string(".duration")])
                              .value_or(ParseDecimal(from["format.duration"]).value_or(0));
    EXPECT_NEAR(seconds[kind], length, 0.5) << kind << " of " << name << "\n" << run.err;
    // A player reads an AVI's sound length from its header, as mediainfo does, and times
    // the sound by its chunks, as ffmpeg's decoder does.
    for (const std::string& result : results)
      if (kind == std::string("audio") && fs::path(result).extension() == ".avi")
        for (double heard : {HeaderSoundSeconds(result), DecodedSoundSeconds(result)})
          EXPECT_NEAR(heard, length, 0.5) << result;
  }
}

INSTANTIATE_TEST_SUITE_P(Roads, EveryRoad, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

// A stop while the WMV road decodes the sound ends the graph and every tool at once, and
// leaves neither a working file nor the folder this run began.
TEST_F(ProgramTest, AStopOnTheWmvRoadLeavesNothing) {
  const std::string film = Vc1Wmv("vc1 long.wmv", 25 * 40);
  StartedProgram quillet({(program.folder() / "quillet").string(), film}, start.string());
  for (int i = 0; i < 600 && !fs::exists(output / "movie.wav"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(fs::exists(output / "movie.wav")) << quillet.Err();
  const auto sent = std::chrono::steady_clock::now();
  quillet.Signal(SIGTERM);
  EXPECT_EQ(quillet.Wait(30), 143) << quillet.Err();
  EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
  EXPECT_EQ(Entries(output), Args{});
  // The pattern's brackets keep the shell that runs pgrep from matching itself.
  const std::string path = program.folder().string();
  const ProgramRun left =
      RunShell("pgrep -fa " + ShellQuoted("[" + path.substr(0, 1) + "]" + path.substr(1)) + " >&2");
  EXPECT_EQ(left.status, 1) << "still running: " << left.err;
}

}  // namespace
}  // namespace quillet::test
