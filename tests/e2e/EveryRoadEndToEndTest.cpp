// Every road against the films people have and the ones no player takes as they are. A run
// that exits 0 holds every kind of stream the source has, each as long as the source, in a
// form the player decodes, and nothing of ours beside it; any other run exits 1 with a line
// naming the film and leaves no working file. "quillet --check" agrees with the road.

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/JsonFields.h"
#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"

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
std::string Uhd() {
  return TestFilm("uhd.mkv", "3840x2160", 1, "-c:v libx264 -preset ultrafast" + kAc3);
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
std::string Qpel() {
  return XvidAvi("qpel.avi", ":qpel");
}
std::string Zero() {
  return "/dev/zero";
}

enum class Outcome { Whole, Refused };

struct Case {
  const char* label;
  std::string (*source)();
  Args options;
  Outcome outcome;
  const char* player = "ps3";  // whose verdict on the source the road must agree with
  double fps = 0;              // the result's frame rate, where the road keeps the source's
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
    {"SoundOnlyMp4", SoundOnly, {}, Outcome::Refused},
    {"SoundOnlyFolderRun", SoundOnly, {"folder"}, Outcome::Refused},
    {"HevcMp4", Hevc, {}, Outcome::Refused},
    {"HevcRecodedMp4", Hevc, {"--recode", "h264"}, Outcome::Whole},
    {"HevcAvchd", Hevc, {"--avchd"}, Outcome::Refused, "bluray"},
    {"High10M2ts", High10, {"--m2ts"}, Outcome::Refused},
    {"High10RecodedM2ts", High10, {"--m2ts", "--recode", "h264"}, Outcome::Whole},
    {"UhdMp4", Uhd, {}, Outcome::Refused},
    {"UhdRecodedMp4", Uhd, {"--recode", "h264"}, Outcome::Whole},
    {"VfwMatroskaMp4", VfwMatroska, {}, Outcome::Whole, "ps3", 25, true},
    {"VfwMatroskaM2ts", VfwMatroska, {"--m2ts"}, Outcome::Whole, "ps3", 25, true},
    {"VfwMatroskaXvid", VfwMatroska, {"--recode", "xvid"}, Outcome::Whole, "ps3", 25},
    {"VfwMatroskaRecodedMp4", VfwMatroska, {"--recode", "h264"}, Outcome::Whole, "ps3", 25},
    {"VfwMatroskaRecodedM2ts", VfwMatroska, {"--m2ts", "--recode", "h264"}, Outcome::Whole, "ps3", 25},
    {"Vc1WmvAt25", Vc1At25, {}, Outcome::Whole, "bluray", 25},
    {"QpelAviRepair", Qpel, {}, Outcome::Whole},
    {"ZeroDeviceRecoded", Zero, {"--recode", "h264"}, Outcome::Refused},
};
// clang-format on

// What ffprobe finds of one kind of stream in a file: its codec, its picture format and
// size, its frame rate and its length (the file's where the stream has none).
struct Kind {
  std::string codec, pixels;
  int width = 0, height = 0;
  double fps = 0, seconds = 0;
};

std::map<std::string, Kind> Kinds(const std::string& path) {
  const quillet::JsonValue probe =
      quillet::ParseJson(
          Quiet(Around("ffprobe -v error -show_streams -show_format -of json", path, "")).out)
          .value_or(quillet::JsonValue());
  const double whole = quillet::ParseDecimal(quillet::TextOf(quillet::Member(
                                                 quillet::Member(probe, "format"), "duration")))
                           .value_or(0);
  std::map<std::string, Kind> kinds;
  for (const quillet::JsonValue& s : quillet::Elements(quillet::Member(probe, "streams"))) {
    auto text = [&](const char* name) { return quillet::TextOf(quillet::Member(s, name)); };
    Kind& k = kinds[text("codec_type")];
    k = {text("codec_name"),
         text("pix_fmt"),
         std::atoi(text("width").c_str()),
         std::atoi(text("height").c_str()),
         0,
         quillet::ParseDecimal(text("duration")).value_or(whole)};
    const std::vector<std::string> rate = quillet::Split(text("avg_frame_rate"), '/');
    if (rate.size() == 2 && std::atof(rate[1].c_str()) > 0)
      k.fps = std::atof(rate[0].c_str()) / std::atof(rate[1].c_str());
  }
  return kinds;
}

class EveryRoad : public ProgramTest, public ::testing::WithParamInterface<Case> {
 protected:
  // The verdict "quillet --check" gives the film on the player.
  std::string Verdict(const std::string& film, const std::string& player) const {
    const std::string json = (work.path() / "check.json").string();
    program.Run({"--check", "--json", "--player", player, film}, start.string(), "", json);
    const auto doc = quillet::ParseJson(ReadFile(json), nullptr);
    if (!doc || doc->at("files").empty()) return "(none)";
    return doc->at("files").at(0).at("verdicts").at(0).value("verdict", "(none)");
  }

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
  const std::string verdict = source == Zero() ? "(none)" : Verdict(source, c.player);
  const bool asItIs = verdict == "plays" || verdict == "remux" || verdict == "level-patch";
  if (c.outcome == Outcome::Refused) {
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Holds(run.err, name));
    EXPECT_TRUE(Results().empty());
    if (!recoded) {
      EXPECT_FALSE(asItIs) << verdict;
    }
    return;
  }
  ASSERT_EQ(run.status, 0) << run.err;
  if (c.recodes) {
    EXPECT_EQ(verdict, "re-encode");
  } else if (!recoded) {
    EXPECT_TRUE(asItIs) << verdict;
  }
  const std::map<std::string, Kind> from = Kinds(source);
  const std::vector<std::string> results = Results();
  ASSERT_FALSE(results.empty()) << run.err;
  std::map<std::string, double> seconds;  // the parts of a disc folder or a split add up
  for (const std::string& result : results)
    for (const auto& [kind, k] : Kinds(result)) {
      seconds[kind] += k.seconds;
      if (kind != "video") continue;
      EXPECT_TRUE(k.codec == "h264" || k.codec == "mpeg2video" || k.codec == "mpeg4" ||
                  k.codec == "vc1")
          << k.codec << " in " << result;
      EXPECT_EQ(k.pixels, "yuv420p") << result;
      EXPECT_TRUE(k.width <= 1920 && k.height <= 1080) << k.width << "x" << k.height;
      if (c.fps) {
        EXPECT_NEAR(k.fps, c.fps, 0.01) << result;
      }
    }
  for (const auto& [kind, k] : from)
    EXPECT_NEAR(seconds[kind], k.seconds, 0.5) << kind << " of " << name << "\n" << run.err;
}

INSTANTIATE_TEST_SUITE_P(Roads, EveryRoad, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

// A FIFO under a film's name blocks the first tool for ever: it is refused before any tool
// runs, alone or in a folder, where the other films are converted.
TEST_F(ProgramTest, AFifoIsRefusedAndTheRestConverted) {
  const fs::path films = work.path() / "films";
  fs::create_directories(films);
  ASSERT_EQ(mkfifo((films / "film.mkv").c_str(), 0644), 0);
  fs::copy_file(Plain(), films / "plain.mkv");
  for (const Args& args : {Args{(films / "film.mkv").string()}, Args{films.string()}}) {
    const ProgramRun run = Run(args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Holds(run.err, "film.mkv"));
  }
  EXPECT_EQ(Entries(output), Args{"plain.mp4"});
  ExpectLength(Out("plain.mp4"), 3, 0.5);
}

}  // namespace
}  // namespace quillet::test
