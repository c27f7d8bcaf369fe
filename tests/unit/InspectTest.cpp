// Inspecting a source: the track report parser, the report tool and checker runs, the level patch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "app/Ui.h"
#include "inspect/Languages.h"
#include "inspect/ReadInfo.h"
#include "inspect/SetHeaderMod.h"
#include "inspect/SubtitleBeside.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// Window and report state an earlier source left, to show what the parser sets or resets.
void LeaveEarlierSource(TestApp& t) {
  Form1& f = t.form();
  f.txtS1.Text = "S1", f.txtS2.Text = "S2", f.txtSFPS.Text = "FPS";
  f.SelectOption1(kAudioVorbis);
  f.cmbAudio.Items = {"old audio"}, f.cmbSubs.Items = {"old subs"};
  f.cmbAudio.ListIndex = f.cmbSubs.ListIndex = 0;
  f.cmbSubs.Visible = f.chkSubs.Visible = f.lblSubs.Visible = true;
  f.chkSubs.Value = 1;
  TrackReport& r = t.app.report;
  r.strVideoCodec = "old", r.bVFW = true, r.lngDuration = 42;
  r.intPixelWidth = 777, r.intPixelHeight = 555;
  r.strPar = ":par=old", r.strQTSize = " -qtw=old";
  r.strAudioTracks.Add({"old", "0", "9"});
  r.strSubTracks.Add({"old", "srt", "9"});
}

struct ReportCase {
  const char* fixture;
  const char* codec;
  bool vfw;
  int32_t duration;
  const char *txtS1, *txtSFPS, *txtS2;
  int option1;  // selected audio-format button; 2 (left by the earlier source) when untouched
  bool chkFFEnabled;
  int16_t pixelWidth, pixelHeight;  // 777 / 555: left by the earlier source
  const char *strPar, *strQTSize;
  std::vector<TrackRow> audio, subs;
  std::vector<std::string> findings;  // debug-log lines after the copied report
  bool crlf = false;                  // the report's lines end in CR LF
  friend void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.fixture; }
};

std::string VideoInfo(const char* size, const char* par) {
  return std::string("Video info: Pixel resolution: ") + size +
         ". Display resolution adaptation: " + par;
}

// clang-format off
const ReportCase kCases[] = {
    {"h264_ac3.txt", "avc", false, 5423, "1", "23.976", "2", kAudioAC3, true, 1920, 1080, "", "",
     {{" ger", "0", "2"}}, {},
     {"AVC mkv", "Video found on track 1", VideoInfo("1920x 1080", "")}},
    // Seven audio formats, one without a language line, one "und", one the program does not
    // know (FLAC, recorded without a format code); text and bitmap subtitles.
    {"multi_audio.txt", "avc", false, 754, "1", "25.000", "2", kAudioAAC, false, 1280, 720, "", "",
     {{" eng", "4", "2"}, {" ger", "0", "3"}, {" fre", "1", "4"}, {"undefined", "2", "5"},
      {"undefined", "3", "6"}, {" spa", "5", "7"}, {" ita", "", "8"}},
     {{"eng", "srt", "9"}, {"ger", "SSA", "10"}, {"undefined", "ASS", "11"},
      {"undefined", "srt", "14"}, {"jpn", "srt", "15"}},
     {"AVC mkv", "Video found on track 1", VideoInfo("1280x 720", "")}},
    // 1440 pixels shown 1920 wide (the QuickTime size from the trimmed height); a second,
    // also anamorphic video track is passed over.
    {"anamorphic.txt", "avc", false, 2711, "1", "23.976", "2", kAudioAC3, false, 1440, 1080,
     ":par=1920:1440", " -qtw=1920 -qth=1080", {{" eng", "0", "2"}, {" jpn", "1", "4"}}, {},
     {"AVC mkv", "AVC mkv", "Video found on track 1", VideoInfo("1440x 1080", ":par=1920:1440")}},
    // VC-1 in compatibility mode is parsed fully; here the video is the second track.
    {"vc1_compat.txt", "vc1", true, 7262, "2", "23.976", "1", kAudioAC3, true, 1920, 1080, "", "",
     {{" eng", "0", "1"}}, {{"dut", "srt", "3"}},
     {"VC1 mkv", "Video found on track 2", VideoInfo("1920x 1080", "")}},
    // Xvid in compatibility mode is known by its FourCC and parsed fully: it is re-encoded.
    {"vfw_xvid.txt", "mpeg4", true, 5940, "1", "25.000", "2", kAudioMP3, false, 720, 304, "", "",
     {{" eng", "3", "2"}}, {{"eng", "srt", "3"}},
     {"Xvid/DivX (MPEG-4 Part 2) mkv", "Video found on track 1", VideoInfo("720x 304", "")}},
    {"mpeg2.txt", "mpeg2", false, 6632, "S1", "FPS", "", kAudioVorbis, true, 777, 555, "", "", {}, {},
     {"mpeg2 mkv"}},
    // No duration, no language lines; a DVD picture shown 1024 wide. The last track, a
    // text subtitle track, has no language line before the report ends: not offered.
    {"no_language.txt", "avc", false, 0, "1", "25.000", "2", kAudioAC3, false, 720, 576,
     ":par=1024:720", " -qtw=1024 -qth=576", {{"undefined", "0", "2"}, {"undefined", "4", "3"}}, {},
     {"AVC mkv", "Video found on track 1", VideoInfo("720x 576", ":par=1024:720")},
     true},  // with Windows line ends
    // A video track without frame-rate and size lines: the search runs into the next track,
    // which must still be read as a track of its own.
    {"vfr_no_frame_rate.txt", "avc", false, 1320, "1", "", "2", kAudioAAC, false, 0, 555, "", "",
     {{" jpn", "4", "2"}, {" eng", "0", "3"}}, {},
     {"AVC mkv", "Video found on track 1", "Video has no default duration: variable frame rate",
      VideoInfo("0x", "")}},
};
// clang-format on

class ParseTrackReportCases : public ::testing::TestWithParam<ReportCase> {
 protected:
  TestApp t;
};

TEST_P(ParseTrackReportCases, RecordsTracksFillsTheWindowAndLogsTheReport) {
  const ReportCase& c = GetParam();
  const std::string report = ReportFixture(c.fixture);
  LeaveEarlierSource(t);
  std::string crlf;
  for (const std::string& line : SplitLines(report)) crlf += line + "\r\n";
  ParseReport(t, c.crlf ? crlf : report);
  const TrackReport& r = t.app.report;
  const Form1& f = t.form();
  EXPECT_EQ(std::tuple(r.strVideoCodec, r.bVFW, r.lngDuration, r.intPixelWidth, r.intPixelHeight),
            std::tuple(std::string(c.codec), c.vfw, c.duration, c.pixelWidth, c.pixelHeight));
  EXPECT_EQ(r.strPar + "|" + r.strQTSize, std::string(c.strPar) + "|" + c.strQTSize);
  EXPECT_EQ(Rows(r.strAudioTracks), c.audio);
  EXPECT_EQ(Rows(r.strSubTracks), c.subs);
  EXPECT_EQ(f.txtS1.Text + "|" + f.txtSFPS.Text + "|" + f.txtS2.Text,
            std::string(c.txtS1) + "|" + c.txtSFPS + "|" + c.txtS2);
  EXPECT_EQ(f.SelectedOption1(), c.option1);
  EXPECT_EQ(f.chkFF.Enabled, c.chkFFEnabled);
  std::vector<std::string> subItems;
  for (const TrackRow& row : c.subs) subItems.push_back(row.language);
  EXPECT_EQ(f.cmbAudio.Items.size(), c.audio.size());
  EXPECT_EQ(f.cmbAudio.ListIndex, c.audio.empty() ? -1 : 0);
  const bool subs = !c.subs.empty();
  EXPECT_EQ(f.cmbSubs.Items, subItems);
  EXPECT_EQ(f.cmbSubs.ListIndex, subs ? 0 : -1);
  EXPECT_EQ(f.cmbSubs.Visible && f.chkSubs.Visible && f.lblSubs.Visible, subs);
  if (subs) EXPECT_EQ(f.chkSubs.Value, 0);
  // The report line by line (the VFW finding right after its line), then the findings.
  std::vector<std::string> expectedLog;
  for (const std::string& line : SplitLines(report)) {
    expectedLog.push_back(line);
    if (line == "|  + Codec ID: V_MS/VFW/FOURCC")
      expectedLog.push_back("Embedded VFW/FOURCC file in mkv");
  }
  expectedLog.insert(expectedLog.end(), c.findings.begin(), c.findings.end());
  EXPECT_EQ(t.DebugLogLines(), expectedLog);
  EXPECT_FALSE(fs::exists(ReportPath(t.app)));
}

INSTANTIATE_TEST_SUITE_P(Reports, ParseTrackReportCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name = info.param.fixture;
                           return name.substr(0, name.find('.')) + (info.param.crlf ? "_crlf" : "");
                         });

// The audio list says what a choice depends on: number, language, format, channel layout
// and the track's name; a format the program does not know is marked.
TEST(AudioList, ShowsNumberLanguageFormatLayoutAndName) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"multi_audio.txt",
       {"1: eng, AAC 2.0, \"Stereo\"", "2: ger, AC3 5.1", "3: fre, DTS 5.1",
        "4: undefined, Vorbis 2.0", "5: undefined, MP3 2.0", "6: spa, MP2 2.0",
        "7: ita, FLAC 2.0 (unknown format)"}},
      {"anamorphic.txt", {"1: eng, AC3 5.1", "2: jpn, DTS 5.1"}},
      {"no_language.txt", {"1: undefined, AC3 5.1", "2: undefined, AAC 2.0"}},
  };
  for (const auto& [fixture, items] : cases) {
    TestApp t;
    ParseReport(t, ReportFixture(fixture));
    EXPECT_EQ(t.form().cmbAudio.Items, items) << fixture;
  }
}

class ParseTrackReport_ : public ::testing::Test {
 protected:
  void Parse(const std::string& report) { ParseReport(t, report); }
  TestApp t;
  Form1& f = t.form();
};

// A track of a format the program does not know selects none (never the format of the track
// before it); each records its default flag (no flag line: default), its channels and the
// rate its decoder gives (an SBR track's output rate).
TEST_F(ParseTrackReport_, ChoosingAnAudioTrackSelectsItsFormatAndId) {
  Parse(ReportFixture("multi_audio.txt"));
  const std::tuple<int, int, const char*> choices[] = {
      {2, kAudioDTS, "4"}, {3, kAudioVorbis, "5"}, {4, kAudioMP3, "6"}, {6, -1, "8"},
      {5, kAudioMP2, "7"}, {1, kAudioAC3, "3"},    {0, kAudioAAC, "2"}};
  for (auto [index, option, id] : choices) {
    f.cmbAudio.SetListIndex(index);
    EXPECT_EQ(f.SelectedOption1(), option) << "row " << index;
    EXPECT_EQ(f.txtS2.Text, id) << "row " << index;
  }
  std::string flags;
  for (int i = 0; i < t.app.report.strAudioTracks.count; ++i) {
    const TrackRow& row = t.app.report.strAudioTracks.rows[i];
    flags += (row.isDefault ? "d" : "-") + std::to_string(row.channels) + "@" +
             std::to_string(row.sampleRate) + " ";
  }
  EXPECT_EQ(flags, "d2@48000 -6@48000 -6@48000 -2@44100 -2@48000 -2@48000 -2@96000 ");
}

// Languages as Blu-ray folders list them (ISO 639-2, bibliographic form), from a track's
// language and from a subtitle file's name; "" names none.
TEST(Languages, TrackLanguagesAndSubtitleFileNames) {
  const std::pair<const char*, const char*> tracks[] = {
      {"ger", "ger"},    {" deu", "ger"},    {"FRA", "fre"}, {"zho", "chi"},
      {"de", "ger"},     {"English", "eng"}, {"tlh", "tlh"}, {"und", ""},
      {"undefined", ""}, {"", ""},           {"xx", ""}};
  for (auto [text, code] : tracks) EXPECT_EQ(TrackLanguage(text), code) << text;
  const std::pair<const char*, const char*> names[] = {{"/films/Film.en.srt", "eng"},
                                                       {"Film.ENG.srt", "eng"},
                                                       {"Film.German.srt", "ger"},
                                                       {"C:\\subs\\Film.ces.srt", "cze"},
                                                       {"Film.srt", ""},
                                                       {"Film.2009.srt", ""},
                                                       {"Film.tlh.srt", ""},
                                                       {"/films/en.srt", ""},
                                                       {"/sub.en/Film.srt", ""}};
  for (auto [name, code] : names) EXPECT_EQ(LanguageOfFileName(name), code) << name;
}

// The subtitle file beside a film: "Film.srt" first, else one named with its language, in
// the sound's language when there are several, else the first by name; none of another film.
TEST(SubtitleBeside, FilmSrtThenTheSoundsLanguageThenTheFirstByName) {
  struct Case {
    std::vector<std::string> files;
    const char* sound;
    const char* found;
  } cases[] = {
      {{"Film.srt"}, "", "Film.srt"},
      {{"Film.en.srt"}, "", "Film.en.srt"},
      {{"Film.eng.srt"}, "", "Film.eng.srt"},
      {{"Film.English.srt"}, "ger", "Film.English.srt"},
      {{"film.HE.SRT"}, "", "film.HE.SRT"},
      {{"Film.de.srt", "Film.English.srt", "Film.srt"}, "eng", "Film.srt"},
      {{"Film.de.srt", "Film.English.srt", "Film.fr.srt"}, "eng", "Film.English.srt"},
      {{"Film.fr.srt", "Film.German.srt"}, "", "Film.fr.srt"},
      {{"Film 2.srt", "Film.2009.srt", "Film.en.forced.srt", "Other.en.srt", "Film.mkv"}, "", ""},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    for (const std::string& name : c.files) WriteFile(folder.path() / name, "1");
    const std::string found = SubtitleBesideSource((folder.path() / "Film.mkv").string(), c.sound);
    EXPECT_EQ(found.empty() ? "" : fs::path(found).filename().string(), c.found) << c.files[0];
  }
}

// A DTS source disables Safe Sync; the next AC3 source enables it unless 25 FPS is ticked.
TEST_F(ParseTrackReport_, SafeSyncIsEnabledAgainForTheNextSource) {
  for (bool twentyFive : {false, true}) {
    f.chk25.SetValue(twentyFive ? 1 : 0);
    f.chkFF.Enabled = !twentyFive;
    Parse(ReportFixture("anamorphic.txt"));  // AC3 and DTS
    EXPECT_FALSE(f.chkFF.Enabled);
    Parse(ReportFixture("h264_ac3.txt"));
    EXPECT_EQ(f.chkFF.Enabled, !twentyFive);
  }
}

TEST_F(ParseTrackReport_, SubtitleLanguageSearchEndsAtTheNextTrackOrRecordsNothingAtTheEnd) {
  const auto sub = [](const char* codec, const char* languageLine) {
    return std::string("| + A track\n|  + Track type: subtitles\n|  + Codec ID: ") + codec + "\n" +
           languageLine;
  };
  const std::string video = "| + A track\n|  + Track type: video\n|  + Codec ID: V_MPEG4/ISO/AVC\n";
  const struct {
    std::string tracks;
    std::vector<TrackRow> subs;
  } cases[] = {
      {sub("S_TEXT/UTF8", "|  + Name: Signs\n") + sub("S_TEXT/UTF8", "|  + Language: jpn\n"),
       {{"undefined", "srt", "2"}, {"jpn", "srt", "3"}}},
      {sub("S_TEXT/SSA", "") + sub("S_TEXT/ASS", "|  + Language: ger\n"),
       {{"undefined", "SSA", "2"}, {"ger", "ASS", "3"}}},
      {sub("S_TEXT/SSA", ""), {}},
      {sub("S_TEXT/ASS", "|  + Language: und"), {{"undefined", "ASS", "2"}}},
      {sub("S_TEXT/UTF8", "|  + Language: eng\n") + sub("S_VOBSUB", "|  + Language: fre\n") +
           sub("S_TEXT/UTF8", "|  + Language: ita\n"),
       {{"eng", "srt", "2"}, {"ita", "srt", "4"}}},
  };
  for (const auto& c : cases) {
    Parse(video + c.tracks);
    EXPECT_EQ(Rows(t.app.report.strSubTracks), c.subs) << c.tracks;
    EXPECT_EQ(f.cmbSubs.Visible, !c.subs.empty());
  }
}

// --- ReadInfo: the report tool, then the checker ---

constexpr const char* kSource = "/videos/My Film (2009).mkv";
constexpr const char* kCheckerFailed =
    "x264 checker 0.3\r\nlevel check: [OK]\r\ndpb check: [FAILED]\r\nref frames: 16\r\n";

struct InfoApp : TestApp {
  // The output folder as typed, without its trailing separator.
  explicit InfoApp(const char* fixture = "h264_ac3.txt", const char* checker = kCheckerFailed) {
    form().txtTMP.Text = outputDir.str();
    ScriptReportTool(runner, ReportFixture(fixture));
    runner.Prints("x264_checker.exe", checker);
  }
  std::string ReportCommand() const {
    return "\"" + programDir.str() + "/MKVToolnix/mkvinfo.exe\" \"" + kSource + "\" -o \"" +
           outputDir.str() + "/info." + std::to_string(getpid()) + ".txt\"";
  }
};

TEST(ReadInfo, RunsTheReportToolIntoTheOutputFolderThenTheChecker) {
  InfoApp t("h264_ac3.txt", "x264 checker 0.3\r\ndpb check: [OK]\r\nref frames: 4\r\n");
  ReadInfo(t.app, std::string("  ") + kSource + "  ");
  EXPECT_EQ(t.form().txtTMP.Text, t.outputDir.withSep());
  EXPECT_EQ(t.runner.CommandLines(),
            (std::vector<std::string>{
                t.ReportCommand(),
                "\"" + t.programDir.str() + "/Checker/x264_checker.exe\" \"" + kSource + "\""}));
  for (const auto& call : t.runner.calls) EXPECT_EQ(call.kind, CallKind::Capture);
  EXPECT_EQ(t.app.report.strAudioTracks.count, 1);
  EXPECT_FALSE(fs::exists(ReportPath(t.app)));
  // A stream that passes the check changes no option.
  EXPECT_TRUE(t.ui.boxes.empty());
  const Form1& f = t.form();
  EXPECT_EQ(f.chkMP2.Value, 0);
  for (const CheckBox* c : {&f.chkVob, &f.chk25, &f.chkFF, &f.chkMP2}) EXPECT_TRUE(c->Enabled);
}

// A failed stream ticks the recode (its click rule runs) in every kind of run, and warns
// only in the window; with no format chosen H264 is taken, as the warning promises.
TEST(ReadInfo, AFailedStreamTicksTheRecodeToH264AndWarnsOnlyWhenTheUserIsThere) {
  const struct {
    bool folderMode, commandLine, split, warns;
    int chosen;
  } runs[] = {{false, false, false, true, -1},
              {true, false, false, false, 0},
              {false, true, false, false, 2},
              {false, false, true, false, 3}};
  for (const auto& run : runs) {
    InfoApp t;
    t.app.bFolderMode = run.folderMode;
    t.app.bCommandLine = run.commandLine;
    t.form().bSplit = run.split;
    t.form().cmdConv.SetListIndex(run.chosen);
    ReadInfo(t.app, kSource);
    ASSERT_EQ(t.ui.boxes.size(), run.warns ? 1u : 0u);
    if (run.warns) {
      EXPECT_EQ(t.ui.boxes[0].text,
                "This AVC file is not playable on PS3 (black screen) or 360 (extreme "
                "artifacts).\rRecode to Xvid(both), MPEG2(PS3) or h264(both), to be able to "
                "play this file.\rThe normal output format (MP4/AVCHD/M2TS) is  kept when "
                "recoding to h264.");
      EXPECT_EQ(t.ui.boxes[0].style, MsgStyle::kOkOnly);
      EXPECT_EQ(t.ui.boxes[0].title, kProgramTitle);
    }
    const Form1& f = t.form();
    EXPECT_EQ(f.chkMP2.Value, 1);
    EXPECT_FALSE(f.chk25.Enabled);
    EXPECT_TRUE(f.chkSubs.Enabled);
    EXPECT_EQ(f.cmdConv.ListIndex, run.chosen < 0 ? 1 : run.chosen);
    const std::vector<std::string> log = t.DebugLogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "Re-encode to: none chosen, H264 taken for the stream that fails the "
                         "dpb check"),
              run.chosen < 0 ? 1 : 0);
  }
}

// A report left behind by an earlier run is not this source's report.
TEST(ReadInfo, AReportToolThatWritesNothingLeavesAnEmptyReport) {
  TestApp t;
  t.form().txtTMP.Text = t.outputDir.str();
  WriteFile(ReportPath(t.app), ReportFixture("multi_audio.txt"));
  t.runner.Prints("mkvinfo.exe", "Error: Couldn't open input file\r\n");
  ReadInfo(t.app, kSource);
  EXPECT_EQ(t.app.report.strVideoCodec, "");
  EXPECT_EQ(t.app.report.strAudioTracks.count, 0);
  EXPECT_TRUE(t.form().cmbAudio.Items.empty());
  EXPECT_EQ(t.runner.calls.size(), 1u);
  EXPECT_FALSE(fs::exists(ReportPath(t.app)));
}

// --- Level 5.1 to 4.1 ---

using Bytes = std::string;
const Bytes kHigh51("\x64\x00\x33", 3), kMain51("\x4D\x40\x33", 3), kExt51("\x58\xA0\x33", 3),
    kBase51("\x42\xC0\x33", 3);
// Start code and NAL header of a sequence parameter set, then the High 5.1 bytes.
const Bytes kSpsHigh51 = Bytes("\x00\x00\x00\x01\x67", 5) + kHigh51;

// A stream of `size` filler bytes with each pattern written at its 1-based position.
Bytes Stream(int size, std::initializer_list<std::pair<int, Bytes>> placed) {
  Bytes bytes(size, '\x11');
  for (const auto& [position, pattern] : placed)
    bytes.replace(position - 1, pattern.size(), pattern);
  return bytes;
}

TEST(SetHeaderLevel, PatchesOnlyTheLevelBytesItFinds) {
  // Twelve parameter sets: the table holds eleven positions, the twelfth is left alone.
  Bytes twelve(2000, '\x11');
  std::vector<int> eleven;
  for (int n = 0; n < 12; ++n) {
    twelve.replace(100 + n * 50 - 1, 3, kHigh51);
    if (n < 11) eleven.push_back(100 + n * 50 + 2);
  }
  // clang-format off
  const struct {
    const char* name;
    Bytes stream;
    std::vector<int> levelBytes;  // 1-based positions expected to hold 0x29 afterwards
  } cases[] = {
      {"High, two SPS", Stream(9000, {{1, kSpsHigh51}, {5990, kSpsHigh51}}), {8, 5997}},
      {"High from 6000", Stream(9000, {{6000, kHigh51}}), {6002}},
      {"High from 6001", Stream(9000, {{6001, kHigh51}}), {}},
      {"Main without High", Stream(4000, {{6, kMain51}}), {8}},
      {"Main ignored when High exists", Stream(9000, {{6, kMain51}, {5000, kHigh51}}), {5002}},
      {"Main from 3000", Stream(4000, {{3000, kMain51}}), {3002}},
      {"Main from 3001", Stream(4000, {{3001, kMain51}}), {}},
      {"Extended before Baseline", Stream(4000, {{10, kBase51}, {20, kExt51}}), {22}},
      {"Baseline alone", Stream(4000, {{10, kBase51}}), {12}},
      {"Baseline from 3001", Stream(4000, {{3001, kBase51}}), {}},
      {"level 4.1 and 4.0 unchanged", Stream(4000, {{6, Bytes("\x64\x00\x29", 3)}, {100, Bytes("\x4D\x40\x28", 3)}}), {}},
      {"repeated first byte", Stream(100, {{10, Bytes("\x64") + kHigh51}}), {13}},
      {"restart inside a failed match", Stream(100, {{10, Bytes("\x64\x00", 2) + kHigh51}}), {14}},
      {"shorter than the scan", kHigh51 + Bytes("\x11\x64\x00", 3), {3}},
      {"cut-off pattern", Bytes("\x11\x11\x64\x00", 4), {}},
      {"empty", Bytes(), {}},
      {"twelve matches", twelve, eleven},
  };
  // clang-format on
  TempFolder folder;
  const fs::path path = folder.path() / "movie.h264";
  for (const auto& c : cases) {
    WriteFile(path, c.stream);
    SetHeaderLevel(path.string());
    Bytes expected = c.stream;
    for (int position : c.levelBytes) expected[position - 1] = '\x29';
    const Bytes after = ReadFile(path);
    ASSERT_EQ(after.size(), c.stream.size()) << c.name;
    for (std::size_t i = 0; i < after.size(); ++i)
      if (after[i] != expected[i]) ADD_FAILURE() << c.name << ": byte " << i + 1 << " differs";
  }
  fs::remove(path);
  SetHeaderLevel(path.string());
  EXPECT_FALSE(fs::exists(path)) << "a missing stream is not created";
}

TEST(RunH264Info, WritesTheIniRunsTheToolQuotedAndRemovesTheRawStream) {
  TestApp t;
  const std::string out = t.outputDir.withSep();
  const std::string folder = t.programDir.str() + "/Program Files/Quillet";
  const std::string iniPath = folder + "/h264info/h264info.ini";
  WriteFile(iniPath, "[Paths]\r\nInputPath=C:\\old\\a very long earlier path\\x.h264\r\n");
  WriteFile(out + "movie_raw.h264", kSpsHigh51);
  Context ctx{folder, t.runner, t.ui, t.power, t.components, t.media};
  App app(ctx);
  std::string iniWhenRun;
  t.runner.On("h264info.exe", [&](const std::vector<std::string>& argv) {
    EXPECT_EQ(argv, std::vector<std::string>{folder + "/h264info/h264info.exe"});
    iniWhenRun = ReadFile(iniPath);
    return std::string();  // and writes nothing: the raw stream goes all the same
  });
  RunH264Info(app, out);
  EXPECT_EQ(iniWhenRun, "[Paths]\r\nInputPath=" + out + "movie_raw.h264\r\nOutputPath=" + out +
                            "movie.h264\r\n");
  ASSERT_EQ(t.runner.calls.size(), 1u);
  EXPECT_EQ(t.runner.calls[0].kind, CallKind::RunHidden);
  EXPECT_EQ(t.runner.calls[0].commandLine, "\"" + folder + "/h264info/h264info.exe\"");
  EXPECT_FALSE(fs::exists(out + "movie_raw.h264"));
}

}  // namespace
}  // namespace quillet::test
