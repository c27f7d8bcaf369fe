// The frame of every conversion: the checks before any tool, the split of a large source,
// the shutdown and the count, and the guard that waits and puts the folder back on a stop.

#include <gtest/gtest.h>
#include <signal.h>

#include <stdexcept>

#include "app/Program.h"
#include "app/StepProgress.h"
#include "base/StopRequest.h"
#include "convert/FreeSpace.h"
#include "convert/PathNames.h"
#include "convert/WholeResult.h"
#include "tests/support/ConvertScaffold.h"
#include "tests/support/ReportFixtures.h"
#include "tools/FileLock.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;
using Lines = std::vector<std::string>;

const std::string kSplitter =
    R"("{app}/MKVToolnix/mkvmerge.exe" -o "{out}split/Film.mkv" -d 1 --compression 1:none -a 2 --compression "1:none")";
const std::string kReport = R"("{app}/MKVToolnix/mkvinfo.exe" "{src}" -o "{out}info.{pid}.txt")";

// An inspected AC3 source of the given size that the report tool describes again; the
// splitter makes three parts.
struct Job : ConvertScaffold {
  explicit Job(int64_t bytes = 1000) {
    Ready(kAudioAC3, bytes);
    ScriptReportTool(runner, ReportFixture("h264_ac3.txt"));
    SplitterMakes({"Film-001.mkv", "Film-002.mkv", "Film-003.mkv"});
  }
  ~Job() { ClearStopRequest(); }
  // The splitter leaves the named parts in the "split" folder.
  void SplitterMakes(const Lines& parts) {
    runner.On("mkvmerge.exe", [this, parts](const Argv&) {
      for (const std::string& part : parts) WriteFile(Out("split/" + part), "mkv");
      return std::string();
    });
  }
};

// The MP4 road of a PS3 (5.1) run on the AC3 source `src`, result `base`.mp4, with the
// inspection of the source before it.
Lines InspectedMp4Road(const std::string& src, const std::string& base) {
  return {
      R"("{app}/MKVToolnix/mkvinfo.exe" ")" + src + R"(" -o "{out}info.{pid}.txt")",
      R"("{app}/Checker/x264_checker.exe" ")" + src + "\"",
      R"("{app}/MKVToolnix/mkvextract.exe" tracks ")" + src + R"(" 1:"{out}movie.h264")",
      R"("{app}/TS/wavgrab.exe" ")" + src + R"(" "{out}movie.wav")",
      kAacFromWav51,
      R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976" "{out})" +
          base + R"(.mp4"  -tmp "{tmp}")"};
}

struct RefusalRow {
  const char* name;
  std::function<void(Job&)> setup;
  std::string box;     // as ConvertScaffold::Boxes() gives it
  bool closes = true;  // the branch's end: the subtitle choice dropped, the window raised
};

// clang-format off
const RefusalRow kRefusals[] = {
    {"MissingOutputFolderNotCreated", [](Job& s) { s.form().txtTMP.Text = s.Out("missing/deeper"); s.ui.boxAnswers = {MsgResult::kNo}; }, "Folder error (36): Output folder {out}missing/deeper does not exist. Create it?"},
    // Runs without the user are not asked: a box nobody reads would answer Yes.
    {"MissingOutputFolderInACommandLineRun", [](Job& s) { s.form().txtTMP.Text = s.Out("missing"); s.app.bCommandLine = true; }, "Folder error (16): Output folder {out}missing does not exist."},
    {"NoSource", [](Job& s) { s.form().txtFile.Text.clear(); }, " (16): No film is chosen."},
    // A path that cannot be quoted on a command line never reaches a tool.
    {"SourceWithAQuote", [](Job& s) { s.form().txtFile.Text = s.source + "\" -o \"x.mkv"; WriteFile(s.form().txtFile.Text, "mkv"); }, "Unsafe path (48): This source file cannot be used: its path holds a double quote or a line break, which cannot be passed to the conversion tools. Please rename it.\r{src}\" -o \"x.mkv"},
    {"SubtitleWithAQuote", [](Job& s) { s.form().strSubBrowse = "/subs/a\"b.srt"; }, "Unsafe path (48): This subtitle file cannot be used: its path holds a double quote or a line break, which cannot be passed to the conversion tools. Please rename it.\r/subs/a\"b.srt"},
    {"SubtitleEndingInABackslash", [](Job& s) { s.form().strSubBrowse = "/subs/a.srt\\"; }, "Unsafe path (48): This subtitle file cannot be used: its name ends in a backslash, which cannot be passed to the conversion tools. Please rename it.\r/subs/a.srt\\"},
    // The muxer's "-tmp" is the folder without its separator: a quote after a backslash.
    {"FolderEndingInABackslash", [](Job& s) { fs::create_directories(s.Out("out\\")); s.form().txtTMP.Text = s.Out("out\\/"); }, "Unsafe path (48): This output folder cannot be used: its name ends in a backslash, which cannot be passed to the conversion tools. Please rename it.\r{out}out\\"},
    // A "split" folder already there is not this run's to fill and delete.
    {"ExistingSplitFolder", [](Job& s) { s.MakeSource(9000000000); s.Recode(1); WriteFile(s.Out("split/Holiday.mkv"), "mine"); }, "Split error (16): The output folder already holds a folder \"split\". The parts of a large source are made there, and it is deleted with everything in it afterwards. Move or rename it, then convert again.\r{out}split", false},
};
// clang-format on

class Refusal : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(Refusal, StopsBeforeAnyToolAndEndsTheConversion) {
  Job s;
  s.form().txtProgress.Text = "Conversion done";  // left by an earlier run
  s.form().strSubBrowse = "/subs/Film.srt";
  s.form().chkShutDown.SetValue(1);
  GetParam().setup(s);
  s.Convert();
  EXPECT_TRUE(s.Commands().empty());
  EXPECT_EQ(s.Boxes(), Lines{s.X(GetParam().box)});
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
  EXPECT_EQ(s.power.shutdowns, 1);  // the end of the conversion as after any failure
  EXPECT_EQ(s.form().strSubBrowse.empty(), GetParam().closes);
  EXPECT_EQ(s.ui.topMost, (std::vector<bool>{false, GetParam().closes}));
  EXPECT_FALSE(s.form().bSplit);
  EXPECT_EQ(ReadFile(s.Out("split/Holiday.mkv")), fs::exists(s.Out("split")) ? "mine" : "");
}

INSTANTIATE_TEST_SUITE_P(Rows, Refusal, ::testing::ValuesIn(kRefusals), RowName());

// Yes to the box about a missing output folder creates it, with its parents, and converts.
TEST(OutputFolder, AMissingOneIsCreatedOnYesAndTheRunGoesOn) {
  Job s;
  s.form().txtTMP.Text = s.Out("new/deeper/");
  s.Convert();  // the box's default answer here: Yes
  EXPECT_EQ(s.Boxes(), Lines{"Folder error (36): Output folder " + s.Out("new/deeper") +
                             " does not exist. Create it?"});
  EXPECT_TRUE(fs::is_directory(s.Out("new/deeper")));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

TEST(SplitSource, NineGigabytesAreConvertedInThreeParts) {
  Job s(9000000000);
  s.RecordShown();
  s.form().chkShutDown.SetValue(1);
  s.Convert();
  Lines expected = {kSplitter + R"(  "{src}" --split size:3000000K)"};
  for (const char* part : {"Film-001", "Film-002", "Film-003"})
    for (const std::string& line :
         InspectedMp4Road("{out}split/" + std::string(part) + ".mkv", part))
      expected.push_back(line);
  EXPECT_EQ(s.Commands(), s.X(expected));
  EXPECT_EQ(s.DebugLogLines().front(), s.X(expected.front()));
  EXPECT_EQ(s.shown,
            (Lines{"1 of 3", "part 1 of 3", "2 of 3", "part 2 of 3", "3 of 3", "part 3 of 3"}));
  EXPECT_EQ(OverallPosition(s.form().progress), "");
  EXPECT_FALSE(s.form().lblMulti.Visible);
  EXPECT_EQ(s.OutputNames(), (Lines{"Film-001.mp4", "Film-002.mp4", "Film-003.mp4"}));
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
  EXPECT_EQ(s.Commands()[0], s.X(kReport));
}

// Failures during the parts: the run is not taken for a success, and is no longer marked
// as a split (every later conversion would be taken for a part).
TEST(SplitSource, FailuresAreNotHiddenAndClearTheSplitState) {
  struct Case {
    const char* name;
    std::function<void(Job&)> fault;
    Lines boxes, left;
  };
  const Case cases[] = {
      {"second part's muxers fail",
       [](Job& s) {
         s.LeavesNothing("mp4creator.exe");
         s.runner.On("MP4Box.exe", [](const Argv& a) {  // -add A -add V RESULT -tmp DIR
           if (a[a.size() - 3].find("Film-002") == std::string::npos)
             WriteFile(a[a.size() - 3], "mp4");
           return std::string();
         });
       },
       {"MP4box error (16): Error creating {out}Film-002.mp4, quitting attempt. Temp files "
        "(movie.h264 + movie.aac) not deleted."},
       {"Film-001.mp4", "Film-003.mp4"}},
      {"window gone at the second part",
       [](Job& s) {
         s.ui.onRepaint = [&s] {
           if (s.form().lblMulti.Caption == "2 of 3") throw std::runtime_error("window gone");
         };
       },
       {},
       {"Film-001.mp4"}},
      {"splitter leaves no parts", [](Job& s) { s.LeavesNothing("mkvmerge.exe"); }, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Job s(9000000000);
    c.fault(s);
    EXPECT_NO_THROW(s.Convert());
    EXPECT_EQ(s.Boxes(), s.X(c.boxes));
    EXPECT_EQ(s.OutputNames(), c.left);
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
    EXPECT_FALSE(s.form().bSplit);
    EXPECT_FALSE(s.form().bSubs);
    EXPECT_FALSE(s.form().lblMulti.Visible);
  }
}

// Each part is converted with the subtitle file the user browsed, not only the first.
TEST(SplitSource, EveryPartKeepsTheBrowsedSubtitles) {
  Job s(9000000000);
  Lines browsedPerPart;
  s.runner.On("wavgrab.exe", [&s, &browsedPerPart](const Argv& a) {
    browsedPerPart.push_back(s.form().strSubBrowse);
    WriteFile(a[2], "wav");
    return std::string();
  });
  const std::string subtitles = (s.sourceDir.path() / "Film.srt").string();
  WriteFile(subtitles, "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n");
  s.form().strSubBrowse = subtitles;
  s.Recode(1);  // the parts' MP4 carries them burnt in
  s.Convert();
  EXPECT_EQ(browsedPerPart, Lines(3, subtitles));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

struct SplitRow {
  const char* name;
  int64_t bytes;
  std::function<void(Job&)> options;
  std::string first;  // the first command line: the splitter's, or the road's own
};

// clang-format off
const SplitRow kSplits[] = {
    {"JustBelowThreshold", 4189999499, [](Job&) {}, kExtractVideo},
    {"ThresholdInHalves", 4190000000, [](Job&) {}, kSplitter + R"(  "{src}" --split size:2095000K)"},
    {"VobThreshold", 3879630000, [](Job& s) { s.form().chkVob.SetValue(1); }, kSplitter + R"(  "{src}" --split size:1939815K)"},
    {"BelowVobThreshold", 3879629499, [](Job& s) { s.form().chkVob.SetValue(1); }, kExtractVideo},
    {"FitToNeverSplits", 9000000000, [](Job& s) { s.form().chkDVD.SetValue(1); }, kExtractVideo},
    {"AvchdNeverSplits", 9000000000, [](Job& s) { s.form().chkAVCHD.SetValue(1); }, R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie_raw.h264")"},
    {"OptionOff", 9000000000, [](Job& s) { s.form().Check1.SetValue(0); }, kExtractVideo},
    {"ExternalSubtitleFile", 9000000000, [](Job& s) { s.form().strSubBrowse = "/subs/Film.srt"; s.Recode(1); s.form().chkSubs.SetValue(1); }, kSplitter + R"( -S "{src}" -s 0 -D -A "/subs/Film.srt" --split size:3000000K)"},
    {"SubtitleBesideTheSource", 9000000000, [](Job& s) { WriteFile(s.sourceDir.path() / "Film.srt", "1"); s.form().lblSRTFound.Visible = true; s.form().chkSubs.SetValue(1); }, kSplitter + R"( -S "{src}" -s 0 -D -A "{srcdir}/Film.srt" --split size:3000000K)"},
    // The chosen subtitle track of the source goes into each part.
    {"ChosenSubtitleTrack", 9000000000, [](Job& s) { s.ChooseSubtitle(1); }, kSplitter + R"(  -s 4 "{src}" --split size:3000000K)"},
};
// clang-format on

class SplitDecision : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitDecision, SizeAndOptionsDecideTheParts) {
  Job s(GetParam().bytes);
  s.LeavesNothing("mkvmerge.exe");
  GetParam().options(s);
  s.Convert();
  ASSERT_FALSE(s.Commands().empty());
  EXPECT_EQ(s.Commands()[0], s.X(GetParam().first));
  EXPECT_FALSE(s.form().bSubs);
}

INSTANTIATE_TEST_SUITE_P(Rows, SplitDecision, ::testing::ValuesIn(kSplits), RowName());

TEST(ConversionGuard, WaitsForTheConversionAlreadyRunningAndSaysSo) {
  for (bool stop : {false, true}) {
    Job s;
    auto other = std::make_unique<FileLock>(s.programDir.str() + "/quillet.lock");
    ASSERT_TRUE(other->TryLock());
    int waitingShown = 0;
    s.ui.onRepaint = [&] {
      if (s.form().txtProgress.Text != kWaitingForConversion) return;
      ++waitingShown;
      EXPECT_TRUE(s.Commands().empty()) << "no tool runs while it waits";
      if (stop)
        RequestStop(SIGINT);
      else
        other.reset();  // the other conversion ends
    };
    if (stop) {
      EXPECT_THROW(s.Convert(), RunStopped);
    } else {
      s.Convert();
    }
    EXPECT_EQ(waitingShown, 1);
    EXPECT_EQ(s.form().txtProgress.Text, stop ? kConversionStopped : kConversionDone);
    EXPECT_EQ(s.OutputNames(), stop ? Lines{} : Lines{"Film.mp4"});
  }
}

// A stop anywhere puts the earlier results back, of every part, and removes what the run
// wrote.
TEST(ConversionGuard, AStopPutsTheOutputFolderBack) {
  struct Case {
    const char* tool;
    const char* leaves;  // what the stopped tool had written
    int64_t bytes;
    const char* earlier;
  };
  for (const Case& c : {Case{"mkvextract.exe", "movie.h264", 1000, "Film.mp4"},
                        Case{"FFmpeg.exe", "movie.aac", 1000, "Film.mp4"},
                        Case{"MP4Box.exe", "Film.mp4", 1000, "Film.mp4"},
                        Case{"MP4Box.exe", "Film-002.mp4", 9000000000, "Film-002.mp4"},
                        Case{"MP4Box.exe", "Film-002.mp4", 9000000000, "Film-001.mp4"}}) {
    SCOPED_TRACE(std::string(c.leaves) + " " + c.earlier);
    Job s(c.bytes);
    s.SplitterMakes({"Film-001.mkv", "Film-002.mkv"});
    WriteFile(s.Out(c.earlier), "earlier result");
    int runs = 0;
    s.runner.On(c.tool, [&](const Argv& a) -> std::string {
      if (c.tool == std::string("MP4Box.exe")) WriteFile(a[a.size() - 3], "part result");
      if (c.bytes > 1000 && ++runs < 2) return "";
      WriteFile(s.Out(c.leaves), "partial");
      RequestStop(SIGTERM);
      throw RunStopped();
    });
    EXPECT_THROW(s.Convert(), RunStopped);
    EXPECT_EQ(s.OutputNames(), Lines{c.earlier});
    EXPECT_EQ(ReadFile(s.Out(c.earlier)), "earlier result");
    EXPECT_EQ(s.form().txtProgress.Text, kConversionStopped);
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
    EXPECT_EQ(HeadlessExitStatus(s.app), 143);
    EXPECT_EQ(s.app.cleanup, nullptr);
    EXPECT_FALSE(s.form().bSplit);
    EXPECT_FALSE(s.form().lblMulti.Visible);
    EXPECT_EQ(s.form().txtFile.Text, s.source);
    EXPECT_TRUE(fs::exists(s.source));
  }
}

// A result judged by ffprobe's answers about its parts, against a 10 s film with sound.
TEST(WholeResult, EveryKindOfStreamAsLongAsTheFilm) {
  const auto part = [](const std::string& streams, const char* length = "10.0") {
    return *ParseProbeJson(std::string(R"({"format":{"duration":")") + length +
                           R"("},"streams":[)" + streams + "]}");
  };
  const std::string v10 = R"({"codec_type":"video","duration":"10.0"})";
  const std::string a = R"({"codec_type":"audio","duration":")";
  const std::string film = " of the 10.0 s film Film.mkv.";
  const struct {
    std::vector<ProbedFile> parts;
    std::string fault;
  } rows[] = {
      {{part(v10 + "," + a + "9.6\"}")}, ""},
      {{part(v10 + "," + a + "4.2\"}")}, "Film.mp4 holds 4.2 s of sound" + film},
      {{part(a + "10.0\"}")}, "Film.mp4 holds no video" + film},
      {{part(v10)}, "Film.mp4 holds no sound" + film},
      {{part(R"({"codec_type":"video"},)" + a + "5.1\"}", "5.0"),
        part(R"({"codec_type":"video"},)" + a + "5.0\"}", "5.0")},
       ""},
      {{part(v10 + "," + a + "11.0\"}")}, "Film.mp4 holds 11.0 s of sound" + film},
      {{}, "Film.mp4 holds no video" + film},
  };
  for (const auto& row : rows)
    EXPECT_EQ(WholeResultFault("Film.mp4", "Film.mkv", {10.0, 0.5, true, true, false},
                               LengthsHeld(row.parts)),
              row.fault);
}

// The free-space message gives sizes in the unit that says something at their size.
TEST(FreeSpace, SizesInAUsefulUnit) {
  const std::pair<int64_t, std::string> rows[] = {
      {180000, "180 kB"},      {1234567, "1.2 MB"},    {45600000, "46 MB"},
      {4700000000, "4.70 GB"}, {25000000000, "25 GB"},
  };
  for (const auto& [bytes, text] : rows) EXPECT_EQ(SizeText(bytes), text);
}

// A stop that comes as the last tool ends, while its result is put in place, lets the run
// end as it stands: done, the new result in place of the earlier one, and success.
TEST(ConversionGuard, AStopAsTheLastToolEndsLetsTheRunEndDone) {
  Job s;
  WriteFile(s.Out("Film.mp4"), "earlier result");
  s.runner.On("MP4Box.exe", [&](const Argv& a) {
    WriteFile(a[a.size() - 3], "new result");
    RequestStop(SIGTERM);
    return std::string();
  });
  s.Convert();
  EXPECT_EQ(s.form().txtProgress.Text, kConversionDone);
  EXPECT_EQ(s.OutputNames(), Lines{"Film.mp4"});
  EXPECT_EQ(ReadFile(s.Out("Film.mp4")), "new result");
  EXPECT_EQ(HeadlessExitStatus(s.app), 0);
}

}  // namespace
}  // namespace quillet::test
