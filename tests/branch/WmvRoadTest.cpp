// The WMV road: its command lines and job file, the wait for the WAV with each of its
// endings, the check of the authored folder, and the VC-1 Matroska films that need AVCHD
// or a re-encode.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "convert/PathNames.h"
#include "sources/Sources.h"
#include "tests/support/TsScaffold.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

// clang-format off
const char* const kAsfToVc1 = R"("{app}/TS/asf2vc1.exe" "{src}" "{out}movie.vc1")";
const char* const kEncWavToAc3 = R"("{app}/aften/EncWAVtoAC3.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")";
const char* const kVc1Meta =
    "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --split-size=4GB --vbv-len=500\r\n"
    "V_MS/VFW/WVC1, \"{out}movie.vc1\", fps=23.976\r\n"
    "A_AC3, \"{out}movie.ac3\"\r\n";
// clang-format on

bool Holds(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

// A graph that reports `state` on every poll and adds `bytesPerPoll` to the WAV each time.
class ScriptedGraph : public AudioGraph {
 public:
  ScriptedGraph(std::string wav, State state, int bytesPerPoll, std::string error, int* stops)
      : wav_(std::move(wav)),
        state_(state),
        bytes_(bytesPerPoll),
        error_(std::move(error)),
        stops_(stops) {}
  State Poll(std::string* error) override {
    if (bytes_ > 0)
      std::ofstream(wav_, std::ios::binary | std::ios::app) << std::string(bytes_, 'w');
    if (state_ == State::kFailed && error) *error = error_;
    return state_;
  }
  void Stop() override { ++*stops_; }

 private:
  std::string wav_;
  State state_;
  int bytes_;
  std::string error_;
  int* stops_;
};

struct WmvRoad : TsScaffold {
  WmvRoad() {
    source = (sourceDir.path() / "Film.wmv").string();
    MakeSource();
    form().strType = "wmv";
    ScriptTsTools();
    runner.On("asf2vc1.exe", [](const Argv& a) {
      if (a.size() == 3 && Holds(a[1])) WriteFile(a[2], "vc1 of " + a[1]);
      return std::string();
    });
    runner.On("EncWAVtoAC3.exe", [](const Argv& a) {
      if (a.size() == 5 && Holds(a[1])) WriteFile(a[4], "ac3 of " + a[1]);
      return std::string();
    });
  }
  // The graph the road polls; graphStops counts its stops.
  void UseGraph(AudioGraph::State state, int bytesPerPoll, std::string error = "") {
    media.makeGraph = [this, state, bytesPerPoll, error](const std::string& wav) {
      return std::unique_ptr<AudioGraph>(
          std::make_unique<ScriptedGraph>(wav, state, bytesPerPoll, error, &graphStops));
    };
  }
  int graphStops = 0;
  bool LogHas(const std::string& part) const {
    for (const std::string& line : DebugLogLines())
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
};

TEST(WmvRoad, RunsTheToolsInOrderAndWritesTheVc1JobFile) {
  WmvRoad run;
  run.Convert();
  EXPECT_EQ(run.Commands(), run.X(std::vector<std::string>{kAsfToVc1, kEncWavToAc3, kAuthorAvchd}));
  EXPECT_EQ(run.muxedMeta, run.X(kVc1Meta));
  EXPECT_EQ(run.media.graphSources, std::vector<std::string>{run.source});
  EXPECT_EQ(run.form().txtProgress.Text, "Conversion done.");
  EXPECT_TRUE(run.OutputHas("Film/BDMV/index.bdmv"));
  for (const char* name : {"movie.vc1", "movie.wav", "movie.ac3", "movie.meta"})
    EXPECT_FALSE(run.OutputHas(name)) << name;
  EXPECT_TRUE(run.ui.boxes.empty());
  EXPECT_EQ(run.app.conversionsSucceeded, 1);
}

// What the muxer leaves decides; the box names the first missing piece and the working
// files stay for a look.
TEST(WmvRoad, ReportsWhatTheMuxerDidNotWrite) {
  struct Case {
    const char* name;
    std::function<void(const Argv&)> muxer;
    const char* missing;
  };
  const Case cases[] = {
      {"nothing", [](const Argv&) {}, "Film/BDMV/index.bdmv"},
      {"an empty clip",
       [](const Argv& a) {
         fs::create_directories(fs::path(a[2]) / "BDMV" / "STREAM");
         WriteFile(fs::path(a[2]) / "BDMV" / "index.bdmv", "INDX0200");
         WriteFile(fs::path(a[2]) / "BDMV" / "STREAM" / "00000.m2ts", "");
       },
       "Film/BDMV/STREAM/00000.m2ts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WmvRoad run;
    run.runner.On("tsmuxer.exe", [&](const Argv& a) {
      c.muxer(a);
      return std::string();
    });
    run.Convert();
    ASSERT_EQ(run.ui.boxes.size(), 1u);
    EXPECT_EQ(run.ui.boxes[0].text, "Error: " + run.Out(c.missing) + " was not created.");
    EXPECT_EQ(run.form().txtProgress.Text, kConversionError);
    EXPECT_TRUE(run.OutputHas("movie.meta"));
    EXPECT_TRUE(run.OutputHas("movie.vc1"));
    EXPECT_EQ(run.app.conversionsSucceeded, 0);
  }
}

// A folder left by an earlier run is no proof of this one.
TEST(WmvRoad, AnEarlierFolderDoesNotPassForThisRun) {
  WmvRoad run;
  fs::create_directories(run.outputDir.path() / "Film" / "BDMV" / "STREAM");
  WriteFile(run.outputDir.path() / "Film" / "BDMV" / "index.bdmv", "old");
  WriteFile(run.outputDir.path() / "Film" / "BDMV" / "STREAM" / "00000.m2ts", "old clip");
  fs::last_write_time(run.outputDir.path() / "Film" / "BDMV" / "index.bdmv",
                      fs::file_time_type::clock::now() - std::chrono::hours(1));
  run.LeavesNothing("tsmuxer.exe");
  run.Convert();
  EXPECT_EQ(run.form().txtProgress.Text, kConversionError);
  ASSERT_EQ(run.ui.boxes.size(), 1u);
}

TEST(WmvRoad, AMissingFilterIsLoggedAndTheLaterStepsStillRun) {
  WmvRoad run;
  run.media.missingFilter = "WAV Dest";
  run.Convert();
  EXPECT_TRUE(run.LogHas("missing WAV Dest")) << "debug log names the missing filter";
  EXPECT_FALSE(run.OutputHas("movie.wav"));
  EXPECT_EQ(run.Commands(), run.X(std::vector<std::string>{kAsfToVc1, kEncWavToAc3, kAuthorAvchd}));
  // Without sound no AC3 is made, so the muxer writes nothing and the run says so.
  EXPECT_EQ(run.form().txtProgress.Text, kConversionError);
}

// Each way the wait for the WAV ends: how long it waited (in the Ui's waits, never real
// time), the text it leaves and what the debug log says.
TEST(WmvRoad, TheWaitForTheWavEnds) {
  using State = AudioGraph::State;
  struct Case {
    const char* name;
    State state;
    int bytesPerPoll;
    int waitedMs;
    const char* progress;  // left after the wait, "" when it is the byte count
    const char* logged;
  };
  const Case cases[] = {
      {"graph ends at once", State::kEnded, 100, 2000, "", "end of stream, 100 bytes"},
      {"graph fails", State::kFailed, 0, 2000, "WAV decoding failed: no WMA decoder",
       "WAV decoding failed after 0 bytes: no WMA decoder"},
      {"graph never writes", State::kRunning, 0, kWavQuietLimitMs,
       "WAV decoding stopped: no data for 60 seconds", "got no byte for 60 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WmvRoad run;
    run.UseGraph(c.state, c.bytesPerPoll, "no WMA decoder");
    std::vector<std::string> texts;
    run.ui.onRepaint = [&] { texts.push_back(run.form().txtProgress.Text); };
    run.Convert();
    EXPECT_EQ(run.ui.sleptMs, c.waitedMs);
    EXPECT_EQ(run.graphStops, 1);
    const auto converting = std::find(texts.begin(), texts.end(), "Converting to AC3");
    ASSERT_NE(converting, texts.end());
    const std::string left = *(converting - 1);
    EXPECT_EQ(left, *c.progress ? std::string(c.progress)
                                : std::to_string(c.bytesPerPoll) + " Bytes WAV written");
    EXPECT_TRUE(run.LogHas(c.logged));
  }
}

// The classic end: the file holds data and has not grown for one poll.
TEST(WmvRoad, TheWaitEndsWhenTheWavStopsGrowing) {
  WmvRoad run;
  int polls = 0;
  run.media.makeGraph = [&](const std::string& wav) {
    struct Growing : AudioGraph {
      std::string wav;
      int* polls;
      State Poll(std::string*) override {
        if (++*polls <= 3) std::ofstream(wav, std::ios::binary | std::ios::app) << "data";
        return State::kRunning;
      }
      void Stop() override {}
    };
    auto graph = std::make_unique<Growing>();
    graph->wav = wav;
    graph->polls = &polls;
    return std::unique_ptr<AudioGraph>(std::move(graph));
  };
  std::vector<std::string> texts;
  run.ui.onRepaint = [&] { texts.push_back(run.form().txtProgress.Text); };
  run.Convert();
  // Grows on polls 1 to 3, the same on poll 4: the check before poll 5 ends the wait.
  EXPECT_EQ(polls, 4);
  const std::vector<std::string> expected = {
      "Extracting VC1 data",  "Extracting Audio data", "4 Bytes WAV written", "8 Bytes WAV written",
      "12 Bytes WAV written", "12 Bytes WAV written",  "Converting to AC3"};
  ASSERT_GE(texts.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + expected.size()), expected);
  EXPECT_TRUE(run.LogHas("stopped growing at 12 bytes"));
}

// A VC-1 Matroska film with neither AVCHD nor a re-encode: one box, no tool.
TEST(Vc1Matroska, TellsTheUserWhatMakesAFilmOfIt) {
  TsScaffold run;
  run.ReadyTs();
  run.app.report.strVideoCodec = "vc1";
  run.Convert();
  EXPECT_TRUE(run.Commands().empty());
  ASSERT_EQ(run.ui.boxes.size(), 1u);
  EXPECT_NE(run.ui.boxes[0].text.find("VC-1"), std::string::npos);
  EXPECT_NE(run.ui.boxes[0].text.find("\"AVCHD (BR/PS3)\""), std::string::npos);
  EXPECT_NE(run.ui.boxes[0].text.find("re-encode"), std::string::npos);
  EXPECT_EQ(run.form().txtProgress.Text, kConversionError);
}

}  // namespace
}  // namespace quillet::test
