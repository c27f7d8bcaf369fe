// The pre-mux of a subtitle file: when it runs, the Matroska muxer's line, the nested
// conversion of the copy with the subtitle burnt in, the "tempsrt" folder gone after
// success and failure alike, a stale folder replaced, a muxer that writes nothing, the
// encoder's subtitle options, and one shutdown at the very end.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "inspect/ReadInfo.h"
#include "tests/support/RecodeScaffold.h"
#include "tests/support/ReportFixtures.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// clang-format off
const char* const kRemux = R"("{app}/MKVToolnix/mkvmerge.exe" -o "{out}tempsrt/Film.mkv" -d 1 -a 2 -S "{src}" -s 0 -D -A "{sub}" )";
const char* const kReport = R"("{app}/MKVToolnix/mkvinfo.exe" "{out}tempsrt/Film.mkv" -o ")";
const char* const kChecker = R"("{app}/Checker/x264_checker.exe" "{out}tempsrt/Film.mkv")";
const char* const kDefaultSubOpts = "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4";
const char* const kOpts = ":threads=4:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8,i8x8,i4x4:me=hex:me_range=12:subq=5:chroma_me:mixed_refs:trellis=1:weight_b:b_pyramid:nr=0";
// clang-format on

// The copy's encode: its only subtitle track, burnt in with the given options. The
// copy is small, so the rate is the floor.
std::string CopyEncode(const std::string& subOpts) {
  return std::string(
             R"("{app}/Mencoder/Mencoder.exe" -oac copy -font "{app}/Mencoder/font.ttf" -utf8 )") +
         subOpts +
         R"( -nosound -noskip -mc 0 -of rawvideo -o "{out}movie.h264" -ovc x264 -x264encopts bitrate=6000)" +
         kOpts + R"( -ofps 31001/1293 -vf harddup "{out}tempsrt/Film.mkv" -mc 0 -noskip -sid 0)";
}

// The copy as the report tool describes it: the source's video and sound and one text
// subtitle track.
std::string CopyReport(bool withSubtitles = true) {
  std::string report = ReportFixture("h264_ac3.txt");
  const std::string subtitleTrack =
      "| + A track\n|  + Track number: 3\n|  + Track type: subtitles\n"
      "|  + Codec ID: S_TEXT/UTF8\n|  + Language: eng\n";
  if (withSubtitles) report.insert(report.find("|+ EbmlVoid"), subtitleTrack);
  return report;
}

// An MP4 with the H.264 re-encode of "Film.mkv", "Embed subs" ticked, a subtitle file
// browsed for and one beside the source.
struct RemuxRun : RecodeScaffold {
  RemuxRun() {
    ReadyRecode();
    form().chkMP2.SetValue(1);
    form().cmdConv.SetListIndex(1);
    browsed = (sourceDir.path() / "Browsed.srt").string();
    beside = source.substr(0, source.size() - 3) + "srt";
    WriteFile(browsed, "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n");
    WriteFile(beside, "1\r\n00:00:01,000 --> 00:00:02,000\r\nBeside\r\n");
    form().strSubBrowse = browsed;
    form().lblSRTFound.Visible = true;
    form().chkSubs.SetValue(1);
    ScriptReportTool(runner, CopyReport());
  }
  std::string Remux(const std::string& subtitle) const {
    std::string line = X(kRemux);
    return line.replace(line.find("{sub}"), 5, subtitle);
  }
  bool TempFolderGone() const { return !fs::exists(outputDir.path() / "tempsrt"); }
  std::string browsed, beside;
};

TEST(SubtitleRemux, BrowsedFileIsMuxedInAndTheCopyIsConvertedWithItBurntIn) {
  RemuxRun s;
  s.Convert();

  const std::vector<std::string> expected = {
      s.Remux(s.browsed),
      s.X(kReport) + ReportPath(s.app) + "\"",
      s.X(kChecker),
      s.X(CopyEncode(kDefaultSubOpts)),
      s.X(R"("{app}/TS/wavgrab.exe" "{out}tempsrt/Film.mkv" "{out}movie.wav")"),
      s.X(kAacFromWav51),
      s.X(R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976" "{out}Film.mp4"  -tmp "{tmp}")")};
  EXPECT_EQ(s.Commands(), expected);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.TempFolderGone());
  EXPECT_FALSE(s.form().bSRT);
  EXPECT_FALSE(s.form().lblSRTFound.Visible);
  EXPECT_EQ(FolderNames(s.outputDir.path()), std::vector<std::string>{"Film.mp4"});
  EXPECT_EQ(s.app.conversionsStarted, 1);
  EXPECT_EQ(s.app.conversionsSucceeded, 1);
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST(SubtitleRemux, FileBesideTheSourceWhenNoneWasBrowsed) {
  RemuxRun s;
  s.form().strSubBrowse.clear();
  s.Convert();
  ASSERT_FALSE(s.Commands().empty());
  EXPECT_EQ(s.Commands()[0], s.Remux(s.beside));
  // The copy's only subtitle track is the first of the list.
  EXPECT_NE(s.Commands()[3].find(R"(-vf  harddup ")" + s.Out("tempsrt/Film.mkv") +
                                 "\" -mc 0 -noskip -sid 0"),
            std::string::npos)
      << s.Commands()[3];
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.TempFolderGone());
}

struct NoRemuxCase {
  const char* name;
  std::function<void(RemuxRun&)> setup;
};

class NoRemux : public ::testing::TestWithParam<NoRemuxCase> {};

TEST_P(NoRemux, TheSourceIsConvertedAsItIs) {
  RemuxRun s;
  GetParam().setup(s);
  s.Convert();
  for (const std::string& line : s.Commands())
    EXPECT_EQ(line.find("mkvmerge"), std::string::npos) << line;
  EXPECT_TRUE(s.TempFolderGone());
}

// clang-format off
const NoRemuxCase kNoRemux[] = {
    {"EmbedSubsNotTicked", [](RemuxRun& s) { s.form().chkSubs.SetValue(0); }},
    {"NoSubtitleFile", [](RemuxRun& s) { s.form().strSubBrowse.clear(); s.form().lblSRTFound.Visible = false; }},
    {"Avchd", [](RemuxRun& s) { s.form().chkAVCHD.SetValue(1); }},
    {"InsideTheCopysRun", [](RemuxRun& s) { s.form().bSRT = true; }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Options, NoRemux, ::testing::ValuesIn(kNoRemux),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadCopyCase {
  const char* name;
  std::function<void(RemuxRun&)> setup;
};

class BadCopy : public ::testing::TestWithParam<BadCopyCase> {};

// Without the copy the nested run would convert nothing at all.
TEST_P(BadCopy, StopsNamingTheSubtitleFile) {
  RemuxRun s;
  GetParam().setup(s);
  s.Convert();
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].text.find(s.browsed), std::string::npos) << s.ui.boxes[0].text;
  EXPECT_EQ(s.ui.boxes[0].style, 16);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
  for (const std::string& line : s.Commands())
    EXPECT_EQ(line.find("Mencoder"), std::string::npos) << line;
  EXPECT_TRUE(s.TempFolderGone());
  EXPECT_FALSE(s.form().bSRT);
}

// clang-format off
const BadCopyCase kBadCopies[] = {
    {"MuxerWritesNothing", [](RemuxRun& s) { s.LeavesNothing("mkvmerge.exe"); }},
    {"SubtitleFileUnreadable", [](RemuxRun& s) { fs::remove(s.browsed); }},
    {"CopyWithoutSubtitles", [](RemuxRun& s) { ScriptReportTool(s.runner, CopyReport(false)); }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Faults, BadCopy, ::testing::ValuesIn(kBadCopies),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SubtitleRemux, FolderIsRemovedWhenTheCopysConversionFails) {
  RemuxRun s;
  s.LeavesNothing("Mencoder.exe");
  s.Convert();
  EXPECT_NE(s.form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
  EXPECT_TRUE(s.TempFolderGone());
  EXPECT_FALSE(s.form().bSRT);
}

TEST(SubtitleRemux, StaleFolderWithReadOnlyFileAndSubFolderIsReplaced) {
  RemuxRun s;
  const fs::path stale = s.outputDir.path() / "tempsrt";
  WriteFile(stale / "old" / "deep.txt", "old");
  WriteFile(stale / "Film.mkv", "an old copy");
  fs::permissions(stale / "Film.mkv", fs::perms::owner_read);
  std::vector<std::string> seen = {"(the muxer did not run)"};
  s.runner.On("mkvmerge.exe", [&](const std::vector<std::string>& argv) {
    seen = FolderNames(stale);  // what the muxer finds
    WriteFile(argv[2], "copy");
    return std::string();
  });
  s.Convert();
  EXPECT_EQ(seen, std::vector<std::string>{});
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.TempFolderGone());
}

// The copy's own run does not shut down: the run that made it does, once.
TEST(SubtitleRemux, ShutsDownOnce) {
  RemuxRun s;
  s.form().chkShutDown.SetValue(1);
  s.Convert();
  EXPECT_EQ(s.power.shutdowns, 1);
  EXPECT_TRUE(s.TempFolderGone());
}

TEST(SubtitleOptions, StoredOptionsWithoutSubfontAreReplaced) {
  struct Case {
    const char* stored;
    const char* used;
  };
  for (const Case& c : {Case{"-subpos 80", kDefaultSubOpts}, Case{"", kDefaultSubOpts},
                        Case{"-subfont-text-scale 2", "-subfont-text-scale 2"}}) {
    RemuxRun s;
    s.form().strSubOpts = c.stored;
    s.Convert();
    ASSERT_GE(s.Commands().size(), 4u);
    EXPECT_EQ(s.Commands()[3], s.X(CopyEncode(c.used))) << c.stored;
  }
}

}  // namespace
}  // namespace quillet::test
