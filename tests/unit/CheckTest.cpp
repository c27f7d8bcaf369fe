// The pre-flight report ("quillet --check"): verdicts, level figures, facts, the command.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "check/CheckReport.h"
#include "check/GatherFacts.h"
#include "check/PlayerLimits.h"
#include "check/ReportJson.h"
#include "check/Verdict.h"
#include "shell/CheckCommand.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
constexpr int64_t kGiB = 1024LL * 1024 * 1024;

MediaFacts Film(Container container, const std::string& videoCodec, const std::string& audioCodec,
                int channels = 2) {
  MediaFacts f;
  f.path = "film";
  f.container = container;
  f.readable = true;
  f.sizeBytes = 700LL * 1024 * 1024;
  f.durationSeconds = 5400;
  f.video = {.present = true, .codec = videoCodec, .width = 1280, .height = 720, .fps = 23.976};
  if (videoCodec == "h264") {
    f.video.profile = "High";
    f.video.level = 41;
    f.video.dpbChecked = true;
    f.video.refFrames = 4;
    f.video.dpbFrames = 9;
  }
  f.video.bitrate = 4000000;
  f.audio.push_back({audioCodec, channels, 48000});
  return f;
}

// A 1080p H.264 film of the given level and reference frames, as the checker sees it.
MediaFacts H264Film(Container container, int level, int refFrames, const std::string& audio,
                    int channels) {
  MediaFacts f = Film(container, "h264", audio, channels);
  f.video.width = 1920;
  f.video.height = 1080;
  f.video.level = level;
  f.video.refFrames = refFrames;
  f.video.dpbFrames = 4;
  f.video.dpbFits = refFrames <= 4;
  return f;
}

template <typename Change>
MediaFacts With(MediaFacts f, Change change) {
  change(f);
  return f;
}

std::string LimitsOf(const std::vector<Reason>& reasons) {
  std::string ids;
  for (const Reason& r : reasons) ids += (ids.empty() ? "" : " ") + std::string(LimitId(r.limit));
  return ids;
}

constexpr Player PS3 = Player::PS3, ST = Player::PS3Stereo, XB = Player::Xbox360,
                 BD = Player::BluRay;
constexpr Container kMkv = Container::Matroska, kMp4 = Container::Mp4, kAvi = Container::Avi,
                    kWmv = Container::Wmv;
const char *kAvchd = "AVCHD folder", *kAviRepair = "AVI (QL_ copy, the AVI check and repair)";

struct Case {
  const char* label;
  MediaFacts facts;
  Player player;
  const char* verdict;
  const char* limits;  // the reasons' limits, in order
  std::string output;  // the conversion offered, "" for none
  const char* notes;   // the notes' limits
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }
};

// clang-format off
const std::vector<Case>& Cases() {
  auto mp4 = [] { return Film(kMp4, "h264", "aac"); };
  auto bitrate = [](const char* profile, int64_t bps) {
    return With(Film(kMp4, "h264", "aac"), [=](MediaFacts& f) { f.video.profile = profile; f.video.bitrate = bps; });
  };
  static const std::vector<Case> cases = {
    // H.264 High 5.1 within level 4.1's buffer: only the level byte is wrong. The MP4 road
    // rewrites level 5.1 only, the AVCHD road any level.
    {"Level51FourRefsPs3", H264Film(kMkv, 51, 4, "ac3", 6), PS3, "level-patch", "container level audio-codec", "MP4", ""},
    {"Level51FourRefsBluRay", H264Film(kMkv, 51, 4, "ac3", 6), BD, "level-patch", "container level", kAvchd, ""},
    {"Level50Ps3", H264Film(kMkv, 50, 4, "aac", 2), PS3, "re-encode", "container level", "MP4", ""},
    {"Level42Mp4Xbox", H264Film(kMp4, 42, 4, "aac", 2), XB, "re-encode", "level", "MP4", ""},
    // Eight reference frames overflow the level 4.1 buffer at 1080 lines.
    {"EightRefsPs3", H264Film(kMkv, 51, 8, "ac3", 6), PS3, "re-encode", "container level level audio-codec", "MP4", ""},
    {"EightRefsBluRay", H264Film(kMkv, 51, 8, "ac3", 6), BD, "re-encode", "container level level", kAvchd, ""},
    // An MP4 the consoles take as it is, but no Blu-ray player; AAC 5.1 only on a PS3.
    {"Mp4AacStereoBluRay", mp4(), BD, "remux", "container audio-codec", kAvchd, ""},
    {"Mp4Aac51Xbox", Film(kMp4, "h264", "aac", 6), XB, "remux", "audio-channels", "MP4", ""},
    {"DtsMkvPs3", Film(kMkv, "h264", "dts", 6), PS3, "remux", "container audio-codec", "MP4", ""},
    // MPEG-2 in Matroska is repacked; VC-1 takes the VC-1 road.
    {"Mpeg2MkvPs3", Film(kMkv, "mpeg2", "ac3", 6), PS3, "remux", "container", "MPEG-2 file (.mpg)", ""},
    {"Vc1MkvPs3", Film(kMkv, "vc1", "ac3", 6), PS3, "remux", "container", "AVCHD folder (the VC-1 road)", ""},
    {"XvidInMkv", Film(kMkv, "mpeg4", "mp3"), PS3, "re-encode", "container audio-codec video-codec", "MP4", ""},
    // 4 GiB: no FAT32 stick holds it; the conversion cuts Matroska sources.
    {"BigMkvPs3", With(Film(kMkv, "h264", "aac"), [](MediaFacts& f) { f.sizeBytes = 4.5 * kGiB; }), PS3, "remux", "container file-size", "MP4", ""},
    {"BigMp4Xbox", With(mp4(), [](MediaFacts& f) { f.sizeBytes = 4 * kGiB; }), XB, "remux", "file-size", "MP4", ""},
    // Subtitles are notes: the film plays, the subtitles do not show.
    {"SrtInMkvPs3", With(Film(kMkv, "h264", "aac"), [](MediaFacts& f) { f.subtitles.push_back({"srt", false}); }), PS3, "remux", "container", "MP4", "text-subtitles"},
    {"MovTextInMp4", With(mp4(), [](MediaFacts& f) { f.subtitles.push_back({"mov_text", false}); }), PS3, "plays", "", "", "text-subtitles"},
    // Xvid AVI: QPel and GMC are re-encoded by the AVI repair.
    {"XvidQpelPs3", With(Film(kAvi, "mpeg4", "mp3"), [](MediaFacts& f) { f.video.qpel = true; }), PS3, "re-encode", "qpel-gmc", kAviRepair, ""},
    {"XvidPlainXbox", Film(kAvi, "mpeg4", "mp3"), XB, "plays", "", "", ""},
    {"XvidBluRay", Film(kAvi, "mpeg4", "mp3"), BD, "re-encode", "container video-codec audio-codec", "", "container"},
    // WMV8 plays on the Xbox 360 only; VC-1 also on a PS3 and, as AVCHD, on Blu-ray.
    {"Wmv2Ps3", Film(kWmv, "wmv2", "wmav2"), PS3, "re-encode", "video-codec", "", "container"},
    {"Vc1WmvBluRay", Film(kWmv, "vc1", "wmav2"), BD, "remux", "container audio-codec", "AVCHD folder (the WMV road)", ""},
    // Limits of the picture.
    {"InterlacedXbox", With(mp4(), [](MediaFacts& f) { f.video.interlaced = true; }), XB, "re-encode", "interlacing", "MP4", ""},
    {"Fps60At1080", With(H264Film(kMp4, 41, 4, "aac", 2), [](MediaFacts& f) { f.video.fps = 59.94; }), PS3, "re-encode", "frame-rate", "MP4", ""},
    // BD-ROM's rates: 720p at 25 is re-encoded at 50, 1080p at 25 goes on as 1080i (a note);
    // 44.1 kHz sound is resampled.
    {"Bd720p25", With(Film(kMkv, "h264", "ac3", 6), [](MediaFacts& f) { f.video.fps = 25; }), BD, "re-encode", "container frame-rate", kAvchd, ""},
    {"Bd1080p2997", With(H264Film(kMkv, 41, 4, "ac3", 6), [](MediaFacts& f) { f.video.fps = 29.97; }), BD, "remux", "container", kAvchd, "frame-rate"},
    {"Bd1080i25", With(H264Film(kMkv, 41, 4, "ac3", 6), [](MediaFacts& f) { f.video.fps = 25; f.video.interlaced = true; }), BD, "remux", "container", kAvchd, ""},
    {"Bd44kHz", With(Film(kMkv, "h264", "ac3", 6), [](MediaFacts& f) { f.audio[0].sampleRate = 44100; }), BD, "remux", "container sample-rate", kAvchd, ""},
    {"UltraHd", With(mp4(), [](MediaFacts& f) { f.video.width = 3840; f.video.height = 2160; }), XB, "re-encode", "frame-width", "MP4", ""},
    {"High10", With(mp4(), [](MediaFacts& f) { f.video.profile = "High 10"; }), PS3, "re-encode", "profile", "MP4", ""},
    // Level 4.1's VCL bitrate (the level table: MaxBR 50,000; x 1000 for Main, x 1250 for
    // High). A Main film between the VCL and NAL figures (50 and 60 Mbit/s) is over it.
    {"Main41AtVclLimit", bitrate("Main", 50000000), PS3, "plays", "", "", ""},
    {"Main41OverVclLimit", bitrate("Main", 55000000), PS3, "re-encode", "video-bitrate", "MP4", ""},
    {"High41AtVclLimit", bitrate("High", 62500000), PS3, "plays", "", "", ""},
    {"High41OverVclLimit", bitrate("High", 62500001), PS3, "re-encode", "video-bitrate", "MP4", ""},
    {"XboxNamedBitrateIsANote", bitrate("High", 12000000), XB, "plays", "", "", "video-bitrate"},
  };
  return cases;
}
// clang-format on

class CheckVerdict : public ::testing::TestWithParam<Case> {};

TEST_P(CheckVerdict, NamesTheWorkTheReasonsAndTheConversion) {
  const Case& c = GetParam();
  const Verdict v = JudgeForPlayer(c.facts, c.player);
  EXPECT_EQ(VerdictKindId(v.kind), std::string(c.verdict));
  EXPECT_EQ(LimitsOf(v.reasons), c.limits);
  EXPECT_EQ(v.output, c.output);
  EXPECT_EQ(LimitsOf(v.notes), c.notes);
  // A film that plays names no conversion; a re-encode names its format.
  if (v.kind == VerdictKind::PlaysAsIs) EXPECT_TRUE(v.options.empty());
  EXPECT_EQ(v.reencodeTo.empty(), v.kind != VerdictKind::ReEncode);
  for (const Reason& r : v.reasons) EXPECT_FALSE(r.value.empty() || r.allowed.empty()) << r.text;
}

INSTANTIATE_TEST_SUITE_P(Films, CheckVerdict, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CheckVerdictDetail, ValuesOptionsAndTheSplitOffered) {
  const Verdict patch = JudgeForPlayer(H264Film(kMkv, 51, 4, "ac3", 6), PS3);
  EXPECT_EQ(patch.reasons[1].value + " / " + patch.reasons[1].allowed, "5.1 / 4.1");
  const Verdict encode = JudgeForPlayer(H264Film(kMkv, 51, 8, "ac3", 6), PS3);
  EXPECT_EQ(encode.reencodeTo, "H.264");
  EXPECT_EQ(encode.options,
            (Args{"Target: PS3 (5.1)", "MPEG2 Recode ticked", "Re-encode to: H264"}));
  // The conversion cuts sources of 4,190,000 thousand bytes and more into equal parts.
  const auto optionsAt = [](int64_t bytes) {
    return JudgeForPlayer(
               With(Film(kMkv, "h264", "aac"), [&](MediaFacts& f) { f.sizeBytes = bytes; }), PS3)
        .options;
  };
  EXPECT_EQ(optionsAt(4189999999LL).size(), 1u);
  EXPECT_EQ(optionsAt(4190000000LL).back(), "Split > 4GB ? ticked (2 parts)");
  EXPECT_EQ(optionsAt(9000000000LL).back(), "Split > 4GB ? ticked (3 parts)");
  // What the AVCHD road does about BD-ROM's rates is said.
  const auto said = [](const char* label, bool note, const char* text) {
    for (const Case& c : Cases()) {
      if (c.label != std::string(label)) continue;
      const Verdict v = JudgeForPlayer(c.facts, BD);
      EXPECT_NE((note ? v.notes : v.reasons).back().text.find(text), std::string::npos) << label;
    }
  };
  said("Bd720p25", false, "re-encodes it to H.264 at 50.000 fps, each frame shown twice");
  said("Bd1080p2997", true, "1080p at 29.970 fps goes on the folder as 1080i at that rate");
  said("Bd44kHz", false, "resamples it to 48 kHz and encodes AC3 at 640 kbit/s");
}

// The H.264 level table: MaxBR x cpbBrVclFactor; MaxDpbMbs 32768 over 1088-line frames.
TEST(CheckLimits, LevelFiguresAreTheLevelTables) {
  EXPECT_EQ(MaxBitrateFor(41, "Main"), 50000000);
  EXPECT_EQ(MaxBitrateFor(41, "High"), 62500000);
  EXPECT_EQ(MaxBitrateFor(51, "High"), 300000000);
  EXPECT_EQ(MaxBitrateFor(99, "High"), 0);
  EXPECT_EQ(Level41DpbFrames(1920, 1080, false), 4);
  EXPECT_EQ(Level41DpbFrames(1920, 1080, true), 4);
  EXPECT_EQ(Level41DpbFrames(1280, 720, false), 9);
  EXPECT_EQ(Level41DpbFrames(720, 576, false), 16);
  // Without the checker's answer the reference frames are judged by the frame size.
  MediaFacts f = Film(kMp4, "h264", "aac");
  f.video.dpbChecked = false;
  f.video.refFrames = 10;
  EXPECT_EQ(JudgeForPlayer(f, PS3).kind, VerdictKind::ReEncode);
  f.video.refFrames = 9;
  EXPECT_EQ(JudgeForPlayer(f, PS3).kind, VerdictKind::PlaysAsIs);
}

// A re-encode fits the player's largest frame with the picture's shape kept, in even numbers.
TEST(CheckLimits, ReencodedFramesFitThePlayer) {
  const struct {
    int width, height;
    Player player;
    const char* scope;
    int fitWidth, fitHeight;
  } cases[] = {{3840, 1600, PS3, "mp4", 1920, 800},
               {2880, 2160, BD, "bdmv", 1440, 1080},
               {1920, 1080, PS3, "m2ts", 1920, 1080},
               {1920, 1080, XB, "avi", 1280, 720},
               {4096, 2160, PS3, "mp4", 1920, 1012}};
  for (const auto& c : cases) {
    const FrameSize fit = FrameSizeWithin(c.width, c.height, c.player, c.scope);
    EXPECT_EQ(std::to_string(fit.width) + "x" + std::to_string(fit.height),
              std::to_string(c.fitWidth) + "x" + std::to_string(c.fitHeight))
        << c.width << "x" << c.height << " " << c.scope;
  }
}

// --- Facts from the tools' texts ---

constexpr const char* kChecker1080 =
    "x264 checker: level 4.1 decoded picture buffer check\nfile: /films/a.mkv\n"
    "track 1: H.264 High @L5.1, 1920x1080 (120x68 macroblocks, progressive)\n"
    "reference frames: 8\nlevel 4.1 buffer: 4 frames of 8160 macroblocks\ndpb check: [FAILED]\n";

// Gathering with the tools scripted: the report in a temporary folder that is gone afterwards,
// nothing written beside the film or in the output folder, no option of the window touched.
class CheckGather : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tmp = std::getenv("TMPDIR")) tmp_ = tmp;
    setenv("TMPDIR", scratch.str().c_str(), 1);
    WriteFile(film, "not really a film, the report tool is scripted");
  }
  void TearDown() override { tmp_ ? setenv("TMPDIR", tmp_->c_str(), 1) : unsetenv("TMPDIR"); }

  TestApp t;
  TempFolder films{"quillet-films"};
  TempFolder scratch{"quillet-tmpdir"};
  std::string film = (films.path() / "A Film.mkv").string();
  std::optional<std::string> tmp_;
};

TEST_F(CheckGather, AMatroskaFilmIsReadWithTheConversionsParserAndTheChecker) {
  ScriptReportTool(t.runner, ReportFixture("h264_ac3.txt"));
  t.runner.Prints("x264_checker.exe", kChecker1080);
  t.form().txtS1.Text = "7";
  t.form().txtSFPS.Text = "29.970";
  const MediaFacts f = GatherMediaFacts(t.ctx, film);
  ASSERT_TRUE(f.readable) << f.problem;
  EXPECT_EQ(f.container, Container::Matroska);
  EXPECT_EQ(
      std::tuple(f.video.codec, f.video.level, f.video.width, f.video.fps, f.video.refFrames,
                 f.video.dpbFits, f.durationSeconds, f.audio.at(0).codec, f.audio[0].channels),
      std::tuple("h264", 51, 1920, 23.976, 8, false, 5423.0, "ac3", 6));
  // Without mkvmerge's statistics the whole file's bitrate stands for the video's.
  EXPECT_TRUE(f.video.bitrateOverall);
  const std::vector<std::string> commands = t.runner.CommandLines();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_NE(commands[0].find(" -o \"" + scratch.str() + "/quillet-check-"), std::string::npos)
      << commands[0];
  EXPECT_NE(commands[1].find("x264_checker.exe\" \"" + film + "\""), std::string::npos);
  EXPECT_TRUE(fs::is_empty(scratch.path()));
  EXPECT_TRUE(fs::is_empty(t.outputDir.path()));
  EXPECT_EQ(fs::directory_iterator(films.path())->path().filename(), "A Film.mkv");
  EXPECT_EQ(t.form().txtS1.Text + " " + t.form().txtSFPS.Text, "7 29.970");
  EXPECT_TRUE(t.DebugLogLines().empty());
  // The video track's statistics give its own bitrate.
  t.runner.Prints("ffprobe",
                  "streams.stream.0.codec_type=\"video\"\n"
                  "streams.stream.0.tags.BPS=\"9876543\"\n");
  EXPECT_EQ(GatherMediaFacts(t.ctx, film).video.bitrate, 9876543);
}

TEST_F(CheckGather, FilmsThatCannotBeReadSayWhy) {
  EXPECT_EQ(GatherMediaFacts(t.ctx, film).problem, "the Matroska reader found no tracks");
  EXPECT_EQ(GatherMediaFacts(t.ctx, (films.path() / "gone.mkv").string()).problem, "no such file");
  const std::string text = (films.path() / "notes.txt").string();
  WriteFile(text, "x");
  EXPECT_EQ(GatherMediaFacts(t.ctx, text).problem, "not a Matroska, AVI, WMV, MP4 or MPEG file");
  EXPECT_TRUE(fs::is_empty(scratch.path()));
}

// --- The command ---

TEST(CheckArguments, OptionsPlayersAndPaths) {
  struct Row {
    Args args;
    bool ok, json;
    Args players, paths;
  };
  const Args all = {"ps3", "ps3-stereo", "xbox360", "bluray"};
  // clang-format off
  const Row rows[] = {
      {{"a.mkv"}, true, false, all, {"a.mkv"}},
      {{"--json", "a.mkv", "films"}, true, true, all, {"a.mkv", "films"}},
      {{"a.mkv", "--player", "xbox360", "--player", "ps3"}, true, false, {"xbox360", "ps3"}, {"a.mkv"}},
      {{"--player=bluray", "--player", "bluray", "a.mkv"}, true, false, {"bluray"}, {"a.mkv"}},
      {{}, false, false, {}, {}},
      {{"--player", "wii", "a.mkv"}, false, false, {}, {}},
      {{"a.mkv", "--player"}, false, false, {}, {}},
      {{"--verbose", "a.mkv"}, false, false, {}, {}},
      {{"--player", "ps3", "--", "--json", "-a.mkv"}, true, false, {"ps3"}, {"--json", "-a.mkv"}},
  };
  // clang-format on
  for (const Row& r : rows) {
    CheckRequest request;
    std::string error;
    const bool ok = ParseCheckArguments(r.args, request, error);
    ASSERT_EQ(ok, r.ok) << ::testing::PrintToString(r.args);
    EXPECT_EQ(error.empty(), ok) << error;
    if (!ok) continue;
    EXPECT_EQ(request.json, r.json);
    Args players;
    for (Player p : request.players) players.push_back(InfoOf(p).id);
    EXPECT_EQ(players, r.players);
    EXPECT_EQ(request.paths, r.paths);
  }
}

class CheckRun : public ::testing::Test {
 protected:
  CheckRun() {
    ScriptReportTool(t.runner, ReportFixture("h264_ac3.txt"));
    t.runner.Prints("x264_checker.exe",
                    "track 1: H.264 High @L4.1, 1280x720 (80x45 macroblocks, progressive)\n"
                    "reference frames: 4\nlevel 4.1 buffer: 9 frames of 3600 macroblocks\n"
                    "dpb check: [OK]\n");
    // A 2.0 AAC MP4 at level 4.1: plays on both consoles as it is.
    t.runner.Prints("ffprobe",
                    "streams.stream.0.codec_type=\"video\"\nstreams.stream.0.codec_name=\"h264\"\n"
                    "streams.stream.0.profile=\"High\"\nstreams.stream.0.level=41\n"
                    "streams.stream.0.width=1280\nstreams.stream.0.height=720\n"
                    "streams.stream.0.field_order=\"progressive\"\n"
                    "streams.stream.0.avg_frame_rate=\"24000/1001\"\n"
                    "streams.stream.1.codec_type=\"audio\"\nstreams.stream.1.codec_name=\"aac\"\n"
                    "streams.stream.1.channels=2\nstreams.stream.1.sample_rate=\"48000\"\n"
                    "format.duration=\"10.0\"\nformat.bit_rate=\"3000000\"\n");
    WriteFile(mkv, "x");
    WriteFile(mp4, "x");
  }

  int Run(const Args& args) {
    out.str("");
    err.str("");
    return RunCheck(t.ctx, args, out, err);
  }
  bool Printed(const std::string& text) const { return out.str().find(text) != std::string::npos; }

  TestApp t;
  TempFolder films{"quillet-check-films"};
  std::string mkv = (films.path() / "film \"one\".mkv").string();
  std::string mp4 = (films.path() / "film.mp4").string();
  std::ostringstream out, err;
};

TEST_F(CheckRun, ExitStatusesFollowTheWorstFilm) {
  EXPECT_EQ(Run({mp4, "--player", "ps3", "--player", "xbox360"}), 0) << out.str() << err.str();
  EXPECT_TRUE(Printed("PS3: plays as it is")) << out.str();
  EXPECT_EQ(Run({mp4}), 1) << "no Blu-ray player plays an MP4 file";
  EXPECT_EQ(Run({mkv, "--player", "ps3"}), 1);
  EXPECT_TRUE(Printed("PS3: needs a remux: MP4 (Target: PS3 (5.1))")) << out.str();
  EXPECT_EQ(Run({mp4, (films.path() / "gone.mkv").string(), mkv}), 3);
  EXPECT_TRUE(Printed("gone.mkv: cannot be read: no such file"));
  EXPECT_EQ(Run({"--player", "n64", mkv}), 2);
  EXPECT_NE(err.str().find("unknown player \"n64\""), std::string::npos);
  EXPECT_EQ(out.str(), "");
  WriteFile(films.path() / "notes.txt", "x");
  EXPECT_EQ(Run({(films.path() / "notes.txt").string()}), 2);
  EXPECT_EQ(Run({films.str(), "--player", "ps3"}), 1) << "a folder checks its films";
}

TEST_F(CheckRun, TheJsonDocumentCarriesFactsVerdictsAndReasons) {
  ASSERT_EQ(Run({"--json", mkv, mp4, "--player", "xbox360"}), 1);
  const nlohmann::json doc = nlohmann::json::parse(out.str());
  const std::string film = "/files/0/", verdict = "/files/0/verdicts/0/";
  // clang-format off
  const std::pair<std::string, nlohmann::json> fields[] = {
      {"/schema", "quillet-check/1"}, {"/players", nlohmann::json::array({"xbox360"})},
      {"/exitStatus", 1}, {film + "path", mkv}, {film + "container", "mkv"},
      {film + "video/codec", "h264"}, {film + "video/refFrames", 4}, {film + "audio/0/channels", 6},
      {verdict + "player", "xbox360"}, {verdict + "verdict", "remux"}, {verdict + "output", "MP4"},
      {verdict + "reencodeTo", nullptr}, {verdict + "reasons/2/value", "6 channels"},
      {verdict + "reasons/2/allowed", "2 channels"}, {"/files/1/verdicts/0/verdict", "plays"}};
  // clang-format on
  for (const auto& [pointer, value] : fields)
    EXPECT_EQ(doc.at(nlohmann::json::json_pointer(pointer)), value) << pointer;
  EXPECT_EQ(doc["files"].size(), 2u);
  std::string limits;
  for (const auto& reason : doc["files"][0]["verdicts"][0]["reasons"])
    limits += reason["limit"].get<std::string>() + " ";
  EXPECT_EQ(limits, "container audio-codec audio-channels ");
}

// Paths of any bytes give valid JSON: text kept, bytes that are not UTF-8 replaced by U+FFFD.
TEST(CheckJson, AnyPathGivesValidJsonAndAnUnreadableFilmItsProblem) {
  const std::string kReplaced = "\xEF\xBF\xBD";
  // clang-format off
  const std::tuple<std::string, std::string, std::string> rows[] = {  // path, kept head, tail
      {"say \"hi\"\\", "say \"hi\"\\", ""}, {"a\nb\tc\rd", "a\nb\tc\rd", ""},
      {std::string("\x01\x1f\x7f", 3), std::string("\x01\x1f\x7f", 3), ""},
      {"Überfahrt ☂ 𝄞", "Überfahrt ☂ 𝄞", ""}, {"bad \xff\xfe end", "bad ", " end"},
      {"cut \xE2\x98", "cut ", ""}, {"overlong \xC0\xAF", "overlong ", ""},
      {"surrogate \xED\xA0\x80", "surrogate ", ""}};
  // clang-format on
  for (const auto& [path, head, tail] : rows) {
    MediaFacts broken;
    broken.path = path;
    broken.container = Container::Matroska;
    broken.problem = "no such file";
    const std::string text = ReportJson({{Player::PS3}, {JudgeFile(broken, {Player::PS3})}});
    nlohmann::json doc;
    ASSERT_NO_THROW(doc = nlohmann::json::parse(text)) << text;
    const std::string read = doc["files"][0]["path"];
    const bool valid = head.size() + tail.size() == path.size();
    if (valid) EXPECT_EQ(read, path);
    EXPECT_EQ(read.rfind(head, 0), 0u) << read;
    EXPECT_TRUE(read.ends_with(tail)) << read;
    EXPECT_EQ(read.find(kReplaced) != std::string::npos, !valid) << read;
    EXPECT_EQ(doc["exitStatus"], 3);
    EXPECT_EQ(doc["files"][0]["readable"], false);
    EXPECT_EQ(doc["files"][0]["problem"], "no such file");
    EXPECT_EQ(doc["files"][0]["video"], nullptr);
    EXPECT_TRUE(doc["files"][0]["verdicts"].empty());
  }
}

}  // namespace
}  // namespace quillet::test
