// "quillet --check": its arguments, the films a folder names, the exit statuses, the JSON
// document, and the verdict the window shows in the source box's tool tip.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "check/ReportJson.h"
#include "shell/CheckCommand.h"
#include "shell/SourceVerdict.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(CheckArguments, OptionsPlayersAndPaths) {
  struct Row {
    Args args;
    bool ok;
    bool json;
    std::vector<std::string> players;
    Args paths;
  };
  const std::vector<std::string> all = {"ps3", "ps3-stereo", "xbox360", "bluray"};
  const Row rows[] = {
      {{"a.mkv"}, true, false, all, {"a.mkv"}},
      {{"--json", "a.mkv", "films"}, true, true, all, {"a.mkv", "films"}},
      {{"a.mkv", "--player", "xbox360", "--player", "ps3"},
       true,
       false,
       {"xbox360", "ps3"},
       {"a.mkv"}},
      {{"--player=bluray", "--player", "bluray", "a.mkv"}, true, false, {"bluray"}, {"a.mkv"}},
      {{"-", "a.mkv"}, true, false, all, {"-", "a.mkv"}},
      {{}, false, false, {}, {}},
      {{"--json"}, false, false, {}, {}},
      {{"--player", "wii", "a.mkv"}, false, false, {}, {}},
      {{"a.mkv", "--player"}, false, false, {}, {}},
      {{"--verbose", "a.mkv"}, false, false, {}, {}},
  };
  for (const Row& r : rows) {
    CheckRequest request;
    std::string error;
    const bool ok = ParseCheckArguments(r.args, request, error);
    ASSERT_EQ(ok, r.ok) << ::testing::PrintToString(r.args);
    EXPECT_EQ(error.empty(), ok) << error;
    if (!ok) continue;
    EXPECT_EQ(request.json, r.json);
    std::vector<std::string> players;
    for (Player p : request.players) players.push_back(InfoOf(p).id);
    EXPECT_EQ(players, r.players);
    EXPECT_EQ(request.paths, r.paths);
  }
}

TEST(CheckArguments, OnlyAFirstArgumentCheckAsksForTheReport) {
  const char* check[] = {"quillet", "--check", "a.mkv"};
  const char* convert[] = {"quillet", "a.mkv", "--check"};
  const char* bare[] = {"quillet"};
  EXPECT_TRUE(IsCheckCommand(3, check));
  EXPECT_FALSE(IsCheckCommand(3, convert));
  EXPECT_FALSE(IsCheckCommand(1, bare));
}

TEST(CheckArguments, AFolderNamesItsFilmsByNameWithoutCase) {
  TempFolder folder{"quillet-check-folder"};
  for (const char* name : {"b.MKV", "A.avi", "c.wmv", "d.mp4", "notes.txt", "e.mkv.part"})
    WriteFile(folder.path() / name, "x");
  fs::create_directories(folder.path() / "sub.mkv");
  WriteFile(folder.path() / "sub.mkv" / "inner.mkv", "x");
  std::vector<std::string> films;
  ASSERT_TRUE(FilmsOfPath(folder.str(), films));
  std::vector<std::string> names;
  for (const std::string& film : films) names.push_back(fs::path(film).filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"A.avi", "b.MKV", "c.wmv", "d.mp4"}));

  films.clear();
  EXPECT_FALSE(FilmsOfPath((folder.path() / "notes.txt").string(), films));
  EXPECT_TRUE(FilmsOfPath((folder.path() / "missing.mkv").string(), films));
  EXPECT_EQ(films.size(), 1u) << "a missing film is reported as one that cannot be read";
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

  TestApp t;
  TempFolder films{"quillet-check-films"};
  std::string mkv = (films.path() / "film \"one\".mkv").string();
  std::string mp4 = (films.path() / "film.mp4").string();
  std::ostringstream out, err;
};

TEST_F(CheckRun, ExitStatusesFollowTheWorstFilm) {
  EXPECT_EQ(Run({mp4, "--player", "ps3", "--player", "xbox360"}), 0) << out.str() << err.str();
  EXPECT_NE(out.str().find("PS3: plays as it is"), std::string::npos) << out.str();
  EXPECT_EQ(Run({mp4}), 1) << "no Blu-ray player plays an MP4 file";
  EXPECT_EQ(Run({mkv, "--player", "ps3"}), 1);
  EXPECT_NE(out.str().find("PS3: needs a remux: MP4 (Target: PS3 (5.1))"), std::string::npos)
      << out.str();
  EXPECT_EQ(Run({mp4, (films.path() / "gone.mkv").string(), mkv}), 3);
  EXPECT_NE(out.str().find("gone.mkv: cannot be read: no such file"), std::string::npos);
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
  EXPECT_EQ(doc["schema"], "quillet-check/1");
  EXPECT_EQ(doc["players"], nlohmann::json::array({"xbox360"}));
  EXPECT_EQ(doc["exitStatus"], 1);
  ASSERT_EQ(doc["files"].size(), 2u);
  const nlohmann::json& film = doc["files"][0];
  EXPECT_EQ(film["path"], mkv) << "quotes in a name survive";
  EXPECT_EQ(film["container"], "mkv");
  EXPECT_EQ(film["video"]["codec"], "h264");
  EXPECT_EQ(film["video"]["refFrames"], 4);
  EXPECT_EQ(film["audio"][0]["channels"], 6);
  const nlohmann::json& verdict = film["verdicts"][0];
  EXPECT_EQ(verdict["player"], "xbox360");
  EXPECT_EQ(verdict["verdict"], "remux");
  EXPECT_EQ(verdict["output"], "MP4");
  EXPECT_EQ(verdict["reencodeTo"], nullptr);
  std::vector<std::string> limits;
  for (const auto& reason : verdict["reasons"]) limits.push_back(reason["limit"]);
  EXPECT_EQ(limits, (std::vector<std::string>{"container", "audio-codec", "audio-channels"}));
  EXPECT_EQ(verdict["reasons"][2]["value"], "6 channels");
  EXPECT_EQ(verdict["reasons"][2]["allowed"], "2 channels");
  EXPECT_EQ(doc["files"][1]["verdicts"][0]["verdict"], "plays");
}

TEST(CheckJson, StringsAreEscapedAndAlwaysUtf8) {
  struct Row {
    std::string text, json;
  };
  const Row rows[] = {
      {"plain", "\"plain\""},
      {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
      {"a\nb\tc\rd", "\"a\\nb\\tc\\rd\""},
      {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
      {"Überfahrt ☂ 𝄞", "\"Überfahrt ☂ 𝄞\""},
      {"bad \xff\xfe end", "\"bad \xEF\xBF\xBD\xEF\xBF\xBD end\""},
      {"cut \xE2\x98", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"overlong \xC0\xAF", "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"surrogate \xED\xA0\x80", "\"surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(JsonString(r.text), r.json);
    EXPECT_NO_THROW(nlohmann::json::parse(JsonString(r.text))) << r.json;
  }
}

TEST(CheckJson, AnUnreadableFilmHasItsProblemAndNoVerdicts) {
  MediaFacts broken;
  broken.path = "gone.mkv";
  broken.container = Container::Matroska;
  broken.problem = "no such file";
  const CheckReport report{{Player::PS3}, {JudgeFile(broken, {Player::PS3})}};
  const nlohmann::json doc = nlohmann::json::parse(ReportJson(report));
  EXPECT_EQ(doc["exitStatus"], 3);
  EXPECT_EQ(doc["files"][0]["readable"], false);
  EXPECT_EQ(doc["files"][0]["problem"], "no such file");
  EXPECT_EQ(doc["files"][0]["video"], nullptr);
  EXPECT_TRUE(doc["files"][0]["verdicts"].empty());
}

// The window: the verdict for the chosen target in the source box's tool tip.
class SourceVerdictTest : public CheckRun {};

TEST_F(SourceVerdictTest, TheChosenTargetsVerdictGoesIntoTheToolTipAndTheLog) {
  struct Row {
    int platform;
    bool avchd;
    std::string headline;
  };
  const Row rows[] = {{0, false, "PS3: needs a remux: MP4 (Target: PS3 (5.1))"},
                      {2, false, "PS3 stereo: needs a remux: MP4 (Target: PS3  (2.0))"},
                      {1, false, "Xbox 360: needs a remux: MP4 (Target: Xbox 360)"},
                      {-1, false, "Xbox 360: needs a remux"},
                      {0, true, "Blu-ray/AVCHD: needs a remux: AVCHD folder"}};
  for (const Row& r : rows) {
    Form1& f = t.form();
    f.cmbPlatform.ListIndex = r.platform;
    f.chkAVCHD.Value = r.avchd ? 1 : 0;
    f.txtFile.Text = mkv;
    ShowSourceVerdict(t.app);
    EXPECT_EQ(f.txtFile.ToolTip.rfind(r.headline, 0), 0u) << f.txtFile.ToolTip;
    EXPECT_NE(f.txtFile.ToolTip.find("\n  - Matroska files are not played"), std::string::npos);
    EXPECT_EQ(t.DebugLogLines().back().find("  - "), 0u);
  }
  EXPECT_NE(std::find(t.DebugLogLines().begin(), t.DebugLogLines().end(), "Will it play? " + mkv),
            t.DebugLogLines().end());
}

TEST_F(SourceVerdictTest, ChoosingASourceShowsTheVerdictAndKeepsEveryOption) {
  Form1& f = t.form();
  f.cmbPlatform.SetListIndex(1);
  f.chkMP2.SetValue(1);
  f.cmdConv.SetListIndex(3);
  f.Check1.SetValue(0);
  const auto options = [&] {
    return std::vector<int>{f.cmbPlatform.ListIndex, f.chkMP2.Value,   f.cmdConv.ListIndex,
                            f.Check1.Value,          f.chkAVCHD.Value, f.chkVob.Value,
                            f.chk25.Value,           f.chkFF.Value,    f.chkNorm.Value};
  };
  FileButton_Click(t.app);  // cancelled: no source, no verdict
  EXPECT_EQ(f.txtFile.ToolTip, "");

  // (A name with a double quote is refused before any tool runs.)
  const std::string plain = (films.path() / "plain.mkv").string();
  WriteFile(plain, "x");
  t.ui.openFileAnswers = {plain};
  FileButton_Click(t.app);
  const std::vector<int> chosen = options();
  EXPECT_EQ(f.txtFile.ToolTip.rfind("Xbox 360: needs a remux", 0), 0u) << f.txtFile.ToolTip;
  // The verdict is read after the source's own inspection; it changes none of the options.
  f.txtFile.ToolTip.clear();
  ShowSourceVerdict(t.app);
  EXPECT_EQ(options(), chosen);
  EXPECT_EQ(f.cmbPlatform.ListIndex, 1);
  EXPECT_EQ(f.cmdConv.ListIndex, 3);
  EXPECT_EQ(f.Check1.Value, 0);
}

TEST_F(SourceVerdictTest, AnUnreadableSourceSaysSo) {
  t.form().txtFile.Text = (films.path() / "gone.mkv").string();
  ShowSourceVerdict(t.app);
  EXPECT_NE(t.form().txtFile.ToolTip.find("cannot be read: no such file"), std::string::npos);
}

}  // namespace
}  // namespace quillet::test
