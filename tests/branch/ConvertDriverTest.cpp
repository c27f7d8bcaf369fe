// The "Convert" button and the frame of `Convert`: the output-folder check, the split
// of large sources into parts converted one by one, the branch selection, the
// shutdown rule and the count of conversions for the exit status.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "app/StepProgress.h"
#include "tests/support/ConvertScaffold.h"
#include "tests/support/ReportFixtures.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;
using Run = ConvertScaffold;

const char* const kSplitter =
    R"("{app}/MKVToolnix/mkvmerge.exe" -o "{out}split/Film.mkv" -d 1 --compression 1:none -a 2 --compression "1:none")";

// The MP4 road of a PS3 (5.1) run on an AC3 source `src`, result `base`.mp4.
std::vector<std::string> Mp4RoadOf(const std::string& src, const std::string& base) {
  return {
      R"("{app}/MKVToolnix/mkvextract.exe" tracks ")" + src + R"(" 1:"{out}movie.h264")",
      R"("{app}/TS/wavgrab.exe" ")" + src + R"(" "{out}movie.wav")", kAacFromWav51,
      R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976" "{out})" +
          base + R"(.mp4"  -tmp "{tmp}")"};
}

// An inspected AC3 source of the given size, tools scripted.
struct DriverRun : ConvertScaffold {
  explicit DriverRun(int64_t bytes = 1000) {
    MakeSource(bytes);
    Inspected(kAudioAC3);
    ScriptStandardTools();
    ScriptReportTool(runner, ReportFixture("h264_ac3.txt"));
  }
  // The splitter leaves the named parts in the "split" folder.
  void SplitterMakes(std::vector<std::string> parts) {
    runner.On("mkvmerge.exe", [this, parts](const Argv&) {
      for (const std::string& part : parts) WriteFile(outputDir.path() / "split" / part, "mkv");
      return std::string();
    });
  }
  std::vector<std::string> multiCaptions;
  std::vector<std::string> positions;  // the run's overall position beside the progress
  void RecordPartCaptions() {
    ui.onRepaint = [this] {
      const std::string position = OverallPosition(form().progress);
      if (!position.empty() && (positions.empty() || positions.back() != position))
        positions.push_back(position);
      const std::string& caption = form().lblMulti.Caption;
      if (form().lblMulti.Visible && !caption.empty() &&
          (multiCaptions.empty() || multiCaptions.back() != caption))
        multiCaptions.push_back(caption);
    };
  }
};

TEST(FolderError, MissingFolderOrSourceStopsBeforeAnyTool) {
  for (bool emptySource : {false, true}) {
    DriverRun s;
    s.form().txtProgress.Text = "Conversion done";  // left by an earlier run
    if (emptySource)
      s.form().txtFile.Text.clear();
    else
      s.form().txtTMP.Text = (s.outputDir.path() / "missing").string();
    s.form().strSubBrowse = "/subs/Film.srt";

    s.Convert();

    ASSERT_EQ(s.ui.boxes.size(), 1u);
    EXPECT_EQ(s.ui.boxes[0].text, "Output folder does not exist.");
    EXPECT_EQ(s.ui.boxes[0].title, "Folder error");
    EXPECT_EQ(s.ui.boxes[0].style, 16);
    EXPECT_TRUE(s.Commands().empty());
    EXPECT_TRUE(s.form().strSubBrowse.empty());
    EXPECT_EQ(s.ui.topMost, (std::vector<bool>{false, true}));
    EXPECT_NE(s.form().txtProgress.Text, "Conversion done");
    EXPECT_EQ(s.app.conversionsStarted, 1);
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
  }
}

// A path typed into the window that cannot be quoted on a command line never reaches
// a tool.
TEST(UnsafePath, TypedPathWithAQuoteIsRefused) {
  for (const std::string field : {"source", "subtitle", "subtitle\\", "folder\\"}) {
    DriverRun s;
    if (field == "source") {
      const std::string typed = (s.sourceDir.path() / "Film\" -o \"x.mkv").string();
      WriteFile(typed, "mkv");
      s.form().txtFile.Text = typed;
    } else if (field == "subtitle") {
      s.form().strSubBrowse = "/subs/a\"b.srt";
    } else if (field == "subtitle\\") {
      s.form().strSubBrowse = "/subs/a.srt\\";
    } else {
      // The muxer's "-tmp" argument is the folder without its separator; a closing
      // quote after a backslash would be a literal one.
      const fs::path folder = s.outputDir.path() / "out\\";
      fs::create_directories(folder);
      s.form().txtTMP.Text = folder.string() + "/";
    }

    s.Convert();

    EXPECT_TRUE(s.Commands().empty()) << field;
    ASSERT_EQ(s.ui.boxes.size(), 1u) << field;
    EXPECT_EQ(s.ui.boxes[0].title, "Unsafe path");
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
  }
}

TEST(ConvertButton, SettlesFolderTextSourceFolderAndTarget) {
  DriverRun s;
  s.form().txtTMP.Text = s.outputDir.str();  // typed without the separator
  s.form().cmbPlatform.ListIndex = -1;       // no selection counts as Xbox 360

  s.Convert();

  EXPECT_EQ(s.form().txtTMP.Text, s.outputDir.withSep());
  EXPECT_EQ(s.form().strMKVPath, s.sourceDir.withSep());
  EXPECT_TRUE(s.form().b360);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(fs::exists(s.programDir.path() / "Quillet.conf"));
}

TEST(ConvertOpening, UninspectedSourceIsInspectedFirst) {
  DriverRun s;
  s.app.report = TrackReport{};
  s.form().SelectOption1(kAudioDTS);

  s.Convert();

  std::vector<std::string> expected = {
      R"("{app}/MKVToolnix/mkvinfo.exe" "{src}" -o "{out}info.{pid}.txt")",
      R"("{app}/Checker/x264_checker.exe" "{src}")"};
  for (const std::string& line : Mp4RoadOf("{src}", "Film")) expected.push_back(line);
  EXPECT_EQ(s.Commands(), s.X(expected));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

TEST(ConvertOpening, FirstNeroEncoderFoundIsUsed) {
  struct Case {
    std::vector<const char*> present;
    const char* used;
  };
  for (const Case& c : {Case{{"neroAacEnc_SSE.exe"}, "neroAacEnc_SSE.exe"},
                        Case{{"neroAacEnc.exe", "neroAacEnc_SSE2.exe"}, "neroAacEnc_SSE2.exe"},
                        Case{{"neroAacEnc_SSE.exe", "neroAacEnc.exe"}, "neroAacEnc.exe"}}) {
    DriverRun s;
    for (const char* tool : c.present) s.MakeTool(tool);
    s.Convert();
    ASSERT_GE(s.Commands().size(), 3u);
    EXPECT_EQ(s.Commands()[2].rfind(s.X("\"{app}/") + c.used + "\" -lc", 0), 0u) << c.used;
  }
}

TEST(SplitSource, NineGigabytesAreConvertedInThreeParts) {
  DriverRun s(9000000000);
  s.SplitterMakes({"Film-001.mkv", "Film-002.mkv", "Film-003.mkv"});
  s.RecordPartCaptions();
  s.form().chkShutDown.SetValue(1);

  s.Convert();

  std::vector<std::string> expected = {std::string(kSplitter) +
                                       R"(  "{src}" --split size:3000000K)"};
  for (const char* part : {"Film-001", "Film-002", "Film-003"}) {
    const std::string src = std::string("{out}split/") + part + ".mkv";
    expected.push_back(R"("{app}/MKVToolnix/mkvinfo.exe" ")" + src +
                       R"(" -o "{out}info.{pid}.txt")");
    expected.push_back(R"("{app}/Checker/x264_checker.exe" ")" + src + "\"");
    for (const std::string& line : Mp4RoadOf(src, part)) expected.push_back(line);
  }
  EXPECT_EQ(s.Commands(), s.X(expected));
  EXPECT_EQ(s.DebugLogLines().front(), s.X(expected.front()));
  EXPECT_EQ(s.multiCaptions, (std::vector<std::string>{"1 of 3", "2 of 3", "3 of 3"}));
  EXPECT_EQ(s.positions, (std::vector<std::string>{"part 1 of 3", "part 2 of 3", "part 3 of 3"}));
  EXPECT_EQ(OverallPosition(s.form().progress), "");
  EXPECT_FALSE(s.form().lblMulti.Visible);
  EXPECT_FALSE(fs::exists(s.outputDir.path() / "split"));
  for (const char* result : {"Film-001.mp4", "Film-002.mp4", "Film-003.mp4"})
    EXPECT_TRUE(s.OutputHas(result)) << result;
  EXPECT_FALSE(s.form().bSplit);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  // Shut down once, after the last part; the parts count as one conversion.
  EXPECT_EQ(s.power.shutdowns, 1);
  EXPECT_EQ(s.app.conversionsStarted, 1);
  EXPECT_EQ(s.app.conversionsSucceeded, 1);

  // The parts are gone: the window goes back to the source, and the next conversion
  // inspects it again rather than trusting the last part's track ids.
  EXPECT_EQ(s.form().txtFile.Text, s.source);
  EXPECT_EQ(s.form().strFullname, s.source);
  s.runner.calls.clear();
  s.Convert();
  ASSERT_FALSE(s.Commands().empty());
  EXPECT_EQ(s.Commands()[0],
            s.X(R"("{app}/MKVToolnix/mkvinfo.exe" "{src}" -o "{out}info.{pid}.txt")"));
}

TEST(SplitSource, FailedPartIsNotHiddenByTheLastPartsSuccess) {
  DriverRun s(9000000000);
  s.SplitterMakes({"Film-001.mkv", "Film-002.mkv", "Film-003.mkv"});
  s.RecordPartCaptions();
  // The muxers fail on the second part only.
  s.LeavesNothing("mp4creator.exe");
  s.runner.On("MP4Box.exe", [](const Argv& argv) {
    const std::string& result = argv[argv.size() - 3];  // -add A -add V RESULT -tmp DIR
    if (result.find("Film-002") == std::string::npos) WriteFile(result, "mp4");
    return std::string();
  });

  s.Convert();

  EXPECT_EQ(s.multiCaptions.back(), "3 of 3");
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].title, "MP4box error");
  EXPECT_TRUE(s.OutputHas("Film-003.mp4"));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

// A failure between the parts must not leave the run marked as a split: every later
// conversion would be taken for a part (no split, no shutdown).
TEST(SplitSource, FailureDuringThePartsClearsTheSplitState) {
  DriverRun s(9000000000);
  s.SplitterMakes({"Film-001.mkv", "Film-002.mkv"});
  bool thrown = false;
  s.ui.onRepaint = [&] {
    if (!thrown && s.form().lblMulti.Caption == "2 of 2") {
      thrown = true;
      throw std::runtime_error("window gone");
    }
  };

  EXPECT_NO_THROW(s.Convert());

  EXPECT_TRUE(thrown);
  EXPECT_FALSE(s.form().bSplit);
  EXPECT_FALSE(s.form().bSubs);
  EXPECT_FALSE(s.form().lblMulti.Visible);
  EXPECT_FALSE(fs::exists(s.outputDir.path() / "split"));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
}

// A "split" folder that is already there is not this run's to fill and delete.
TEST(SplitSource, ExistingSplitFolderIsLeftAlone) {
  DriverRun s(9000000000);
  WriteFile(s.outputDir.path() / "split" / "Holiday.mkv", "mine");
  s.form().chkShutDown.SetValue(1);

  s.Convert();

  EXPECT_TRUE(s.Commands().empty());
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].title, "Split error");
  EXPECT_EQ(s.ui.boxes[0].style, 16);
  EXPECT_EQ(ReadFile(s.outputDir.path() / "split" / "Holiday.mkv"), "mine");
  EXPECT_FALSE(s.form().bSplit);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.power.shutdowns, 1);  // the end of the conversion as after any failure
}

TEST(SplitSource, SplitterWithoutPartsIsAFailure) {
  DriverRun s(9000000000);
  s.LeavesNothing("mkvmerge.exe");

  s.Convert();

  EXPECT_EQ(s.Commands().size(), 1u);  // nothing to convert
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_FALSE(fs::exists(s.outputDir.path() / "split"));
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

struct SplitCase {
  const char* name;
  int64_t bytes;
  std::function<void(Run&)> options;
  const char* tail;  // what follows the common head of the splitter; "" when not split
};

// clang-format off
const SplitCase kSplits[] = {
    {"JustBelowThreshold", 4189999499, [](Run&) {}, ""},
    {"HalfKilobyteBelowRoundsUpAndSplits", 4189999500, [](Run&) {},
     R"(  "{src}" --split size:2095000K)"},
    {"ThresholdInHalves", 4190000000, [](Run&) {}, R"(  "{src}" --split size:2095000K)"},
    {"VobThreshold", 3879630000, [](Run& s) { s.form().chkVob.SetValue(1); },
     R"(  "{src}" --split size:1939815K)"},
    {"BelowVobThreshold", 3879629499, [](Run& s) { s.form().chkVob.SetValue(1); }, ""},
    {"FitToNeverSplits", 9000000000, [](Run& s) { s.form().chkDVD.SetValue(1); }, ""},
    {"AvchdNeverSplits", 9000000000, [](Run& s) { s.form().chkAVCHD.SetValue(1); }, ""},
    {"OptionOff", 9000000000, [](Run& s) { s.form().Check1.SetValue(0); }, ""},
    {"ExternalSubtitleFile", 9000000000,
     [](Run& s) { s.form().strSubBrowse = "/subs/Film.srt"; s.form().chkSubs.SetValue(1); },
     R"( -S "{src}" -s 0 -D -A "/subs/Film.srt" --split size:3000000K)"},
    {"SubtitleBesideTheSource", 9000000000,
     [](Run& s) { s.form().lblSRTFound.Visible = true; s.form().chkSubs.SetValue(1); },
     R"( -S "{src}" -s 0 -D -A "{srt}" --split size:3000000K)"},
    // The chosen subtitle track of the source goes into each part.
    {"ChosenSubtitleTrack", 9000000000,
     [](Run& s) {
       s.app.report.strSubTracks.Add({"eng", "srt", "3"});
       s.app.report.strSubTracks.Add({"fre", "srt", "4"});
       s.form().cmbSubs.Items = {"eng", "fre"};
       s.form().cmbSubs.SetListIndex(1);
       s.form().chkSubs.SetValue(1);
     },
     R"(  -s 4 "{src}" --split size:3000000K)"},
};
// clang-format on

class SplitDecision : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitDecision, SizeAndOptionsDecideTheParts) {
  const SplitCase& c = GetParam();
  DriverRun s(c.bytes);
  s.LeavesNothing("mkvmerge.exe");
  c.options(s);

  s.Convert();

  const auto commands = s.Commands();
  const bool split = !commands.empty() && commands[0].find("mkvmerge.exe") != std::string::npos;
  EXPECT_FALSE(s.form().bSubs);
  if (!*c.tail) {
    EXPECT_FALSE(split);
    return;
  }
  std::string expected = s.X(std::string(kSplitter) + c.tail);
  if (const size_t at = expected.find("{srt}"); at != std::string::npos)
    expected.replace(at, 5, s.source.substr(0, s.source.size() - 3) + "srt");
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands[0], expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SplitDecision, ::testing::ValuesIn(kSplits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Shutdown, OnlyWhenTickedAndNotInAFolderRun) {
  struct Case {
    bool ticked, folderMode, folderError;
    int shutdowns;
  };
  for (const Case& c :
       {Case{true, false, false, 1}, Case{true, true, false, 0}, Case{false, false, false, 0},
        Case{true, false, true, 1}, Case{true, true, true, 0}}) {
    DriverRun s;
    s.form().chkShutDown.SetValue(c.ticked ? 1 : 0);
    s.app.bFolderMode = c.folderMode;
    if (c.folderError) s.form().txtFile.Text.clear();
    s.Convert();
    EXPECT_EQ(s.power.shutdowns, c.shutdowns) << c.ticked << c.folderMode << c.folderError;
  }
}

}  // namespace
}  // namespace quillet::test
