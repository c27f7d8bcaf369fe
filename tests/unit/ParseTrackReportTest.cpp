// The track report parser over whole reports in the report tool's layout: what it records,
// what it puts into the window, what it writes to the debug log.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "inspect/ReadInfo.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

constexpr const char* kVfwMessage = "Embedded VFW/FOURCC file in mkv";

std::vector<std::string> Languages(const std::vector<TrackRow>& rows) {
  std::vector<std::string> languages;
  for (const TrackRow& row : rows) languages.push_back(row.language);
  return languages;
}

// The audio list's items: the languages, a track of unknown format marked as such.
std::vector<std::string> AudioItems(const std::vector<TrackRow>& rows) {
  std::vector<std::string> items;
  for (const TrackRow& row : rows)
    items.push_back(row.language + (row.kind.empty() ? " (unknown format)" : ""));
  return items;
}

// Window and report state left by an earlier source, so every field the parser must
// set or reset shows whether it did.
void LeaveEarlierSource(TestApp& t) {
  Form1& f = t.form();
  f.txtS1.Text = "S1";
  f.txtS2.Text = "S2";
  f.txtSFPS.Text = "FPS";
  f.SelectOption1(kAudioVorbis);
  f.cmbAudio.Items = {"old audio"};
  f.cmbAudio.ListIndex = 0;
  f.cmbSubs.Items = {"old subs"};
  f.cmbSubs.ListIndex = 0;
  f.cmbSubs.Visible = f.chkSubs.Visible = f.lblSubs.Visible = true;
  f.chkSubs.Value = 1;
  TrackReport& r = t.app.report;
  r.strVideoCodec = "old";
  r.bVFW = true;
  r.lngDuration = 42;
  r.intPixelWidth = 777;
  r.intPixelHeight = 555;
  r.strPar = ":par=old";
  r.strQTSize = " -qtw=old";
  r.strAudioTracks.Add({"old", "0", "9"});
  r.strSubTracks.Add({"old", "srt", "9"});
}

struct ReportCase {
  const char* fixture;
  const char* codec;
  bool vfw;
  int32_t duration;
  const char* txtS1;
  const char* txtSFPS;
  const char* txtS2;
  int option1;  // selected audio-format button; 2 (left by the earlier source) when untouched
  bool chkFFEnabled;
  int16_t pixelWidth;  // 777 / 555: left by the earlier source
  int16_t pixelHeight;
  const char* strPar;
  const char* strQTSize;
  std::vector<TrackRow> audio;
  std::vector<TrackRow> subs;
  std::vector<std::string> findings;  // debug-log lines after the copied report
  bool crlf = false;                  // the report's lines end in CR LF
};

void PrintTo(const ReportCase& c, std::ostream* os) {
  *os << c.fixture;
}

// Columns: fixture, codec, VFW, duration, txtS1, txtSFPS, txtS2, format button, chkFF
// enabled, pixel width and height, strPar, strQTSize; audio rows; subtitle rows; findings.
// clang-format off
const ReportCase kCases[] = {
    {"h264_ac3.txt", "avc", false, 5423, "1", "23.976", "2", kAudioAC3, true, 1920, 1080, "", "",
     {{" ger", "0", "2"}},
     {},
     {"AVC mkv", "Video found on track 1",
      "Video info: Pixel resolution: 1920x 1080. Display resolution adaptation: "}},
    // Seven audio formats, one without a language line, one "und", one the program does not
    // know (FLAC, recorded without a format code); text and bitmap subtitles.
    {"multi_audio.txt", "avc", false, 754, "1", "25.000", "2", kAudioAAC, false, 1280, 720, "", "",
     {{" eng", "4", "2"}, {" ger", "0", "3"}, {" fre", "1", "4"}, {"undefined", "2", "5"},
      {"undefined", "3", "6"}, {" spa", "5", "7"}, {" ita", "", "8"}},
     {{"eng", "srt", "9"}, {"ger", "SSA", "10"}, {"undefined", "ASS", "11"},
      {"undefined", "srt", "14"}, {"jpn", "srt", "15"}},
     {"AVC mkv", "Video found on track 1",
      "Video info: Pixel resolution: 1280x 720. Display resolution adaptation: "}},
    // 1440 pixels shown 1920 wide; a second, also anamorphic video track is passed over.
    {"anamorphic.txt", "avc", false, 2711, "1", "23.976", "2", kAudioAC3, false, 1440, 1080,
     ":par=1920:1440", " -qtw=1920 -qth=1080",
     {{" eng", "0", "2"}, {" jpn", "1", "4"}},
     {},
     {"AVC mkv", "AVC mkv", "Video found on track 1",
      "Video info: Pixel resolution: 1440x 1080. Display resolution adaptation: :par=1920:1440"}},
    // The same with Windows line ends reads the same.
    {"anamorphic.txt", "avc", false, 2711, "1", "23.976", "2", kAudioAC3, false, 1440, 1080,
     ":par=1920:1440", " -qtw=1920 -qth=1080",
     {{" eng", "0", "2"}, {" jpn", "1", "4"}},
     {},
     {"AVC mkv", "AVC mkv", "Video found on track 1",
      "Video info: Pixel resolution: 1440x 1080. Display resolution adaptation: :par=1920:1440"},
     true},
    // VC-1 in compatibility mode is parsed fully; here the video is the second track.
    {"vc1_compat.txt", "vc1", true, 7262, "2", "23.976", "1", kAudioAC3, true, 1920, 1080, "", "",
     {{" eng", "0", "1"}},
     {{"dut", "srt", "3"}},
     {"VC1 mkv", "Video found on track 2",
      "Video info: Pixel resolution: 1920x 1080. Display resolution adaptation: "}},
    // Any other VFW video is converted from track 1 without track lists.
    {"vfw_xvid.txt", "", true, 5940, "1", "FPS", "", kAudioVorbis, true, 777, 555, "", "",
     {}, {}, {}},
    {"mpeg2.txt", "mpeg2", false, 6632, "S1", "FPS", "", kAudioVorbis, true, 777, 555, "", "",
     {}, {}, {"mpeg2 mkv"}},
    // No duration, no language lines; a DVD picture shown 1024 wide. The last track, a
    // text subtitle track, has no language line before the report ends: not offered.
    {"no_language.txt", "avc", false, 0, "1", "25.000", "2", kAudioAC3, false, 720, 576,
     ":par=1024:720", " -qtw=1024 -qth=576",
     {{"undefined", "0", "2"}, {"undefined", "4", "3"}},
     {},
     {"AVC mkv", "Video found on track 1",
      "Video info: Pixel resolution: 720x 576. Display resolution adaptation: :par=1024:720"}},
    // A video track without a frame-rate line: the search runs into the next track, which
    // must still be read as a track of its own.
    {"vfr_no_frame_rate.txt", "avc", false, 1320, "1", "", "2", kAudioAAC, false, 0, 555, "", "",
     {{" jpn", "4", "2"}, {" eng", "0", "3"}},
     {},
     {"AVC mkv", "Video found on track 1",
      "Video info: Pixel resolution: 0x. Display resolution adaptation: "}},
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
  EXPECT_EQ(r.strVideoCodec, c.codec);
  EXPECT_EQ(r.bVFW, c.vfw);
  EXPECT_EQ(r.lngDuration, c.duration);
  EXPECT_EQ(r.intPixelWidth, c.pixelWidth);
  EXPECT_EQ(r.intPixelHeight, c.pixelHeight);
  EXPECT_EQ(r.strPar, c.strPar);
  EXPECT_EQ(r.strQTSize, c.strQTSize);
  EXPECT_EQ(Rows(r.strAudioTracks), c.audio);
  EXPECT_EQ(Rows(r.strSubTracks), c.subs);

  EXPECT_EQ(f.txtS1.Text, c.txtS1);
  EXPECT_EQ(f.txtSFPS.Text, c.txtSFPS);
  EXPECT_EQ(f.txtS2.Text, c.txtS2);
  EXPECT_EQ(f.SelectedOption1(), c.option1);
  EXPECT_EQ(f.chkFF.Enabled, c.chkFFEnabled);

  EXPECT_EQ(f.cmbAudio.Items, AudioItems(c.audio));
  EXPECT_EQ(f.cmbAudio.ListIndex, c.audio.empty() ? -1 : 0);
  const bool subs = !c.subs.empty();
  EXPECT_EQ(f.cmbSubs.Items, Languages(c.subs));
  EXPECT_EQ(f.cmbSubs.ListIndex, subs ? 0 : -1);
  EXPECT_EQ(f.cmbSubs.Visible, subs);
  EXPECT_EQ(f.chkSubs.Visible, subs);
  EXPECT_EQ(f.lblSubs.Visible, subs);
  if (subs) {
    EXPECT_EQ(f.chkSubs.Value, 0);
  }

  // The report line by line (the VFW finding right after its line), then the findings.
  std::vector<std::string> expectedLog;
  for (const std::string& line : SplitLines(report)) {
    expectedLog.push_back(line);
    if (line == "|  + Codec ID: V_MS/VFW/FOURCC") expectedLog.push_back(kVfwMessage);
  }
  expectedLog.insert(expectedLog.end(), c.findings.begin(), c.findings.end());
  EXPECT_EQ(t.DebugLogLines(), expectedLog);

  EXPECT_FALSE(std::filesystem::exists(ReportPath(t.app)));
}

INSTANTIATE_TEST_SUITE_P(Reports, ParseTrackReportCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name = info.param.fixture;
                           return name.substr(0, name.find('.')) + (info.param.crlf ? "_crlf" : "");
                         });

class ParseTrackReport_ : public ::testing::Test {
 protected:
  void Parse(const std::string& report) { ParseReport(t, report); }
  TestApp t;
};

TEST_F(ParseTrackReport_, MissingReportLeavesAnEmptyReportAndEmptyLists) {
  Parse(ReportFixture("multi_audio.txt"));
  ASSERT_EQ(t.app.report.strAudioTracks.count, 7);
  std::filesystem::remove(t.programDir.path() / "debug.log");
  t.form().SelectOption1(kAudioMP3);

  ParseTrackReport(t.app);  // the report tool wrote nothing this time

  const TrackReport& r = t.app.report;
  EXPECT_EQ(r.strVideoCodec, "");
  EXPECT_EQ(r.lngDuration, 0);
  EXPECT_EQ(r.strAudioTracks.count, 0);
  EXPECT_EQ(r.strSubTracks.count, 0);
  const Form1& f = t.form();
  EXPECT_TRUE(f.cmbAudio.Items.empty());
  EXPECT_EQ(f.cmbAudio.ListIndex, -1);
  EXPECT_EQ(f.txtS2.Text, "");
  EXPECT_EQ(f.SelectedOption1(), kAudioMP3);  // no track, no format choice
  EXPECT_TRUE(f.cmbSubs.Items.empty());
  EXPECT_FALSE(f.cmbSubs.Visible);
  EXPECT_FALSE(f.chkSubs.Visible);
  EXPECT_FALSE(f.lblSubs.Visible);
  // The log was opened for the parse, but nothing was written to it.
  EXPECT_TRUE(std::filesystem::exists(t.programDir.path() / "debug.log"));
  EXPECT_EQ(ReadFile(t.programDir.path() / "debug.log"), "");
}

// A report with `audioTracks` AC3 tracks after one video track.
std::string ReportWithAudioTracks(int audioTracks) {
  std::string report =
      "|+ Segment tracks\n| + A track\n|  + Track number: 1\n|  + Track type: video\n"
      "|  + Codec ID: V_MPEG4/ISO/AVC\n"
      "|  + Default duration: 41.708ms (23.976 fps for a video track)\n"
      "|  + Video track\n|   + Pixel width: 1920\n|   + Pixel height: 1080\n"
      "|   + Display width: 1920\n";
  for (int n = 2; n <= audioTracks + 1; ++n) {
    report += "| + A track\n|  + Track number: " + std::to_string(n) +
              "\n|  + Track type: audio\n|  + Codec ID: " + (n == 3 ? "A_DTS" : "A_AC3") +
              "\n|  + Language: l" + std::to_string(n) +
              "\n|  + Audio track\n"
              "|   + Channels: 6\n";
  }
  return report;
}

TEST_F(ParseTrackReport_, KeepsThirtyThreeAudioTracksAndDropsTheRest) {
  Parse(ReportWithAudioTracks(40));
  const TrackTable& audio = t.app.report.strAudioTracks;
  ASSERT_EQ(audio.count, kMaxTrackRows);
  EXPECT_EQ(audio.rows[0], (TrackRow{" l2", "0", "2"}));
  EXPECT_EQ(audio.rows[1], (TrackRow{" l3", "1", "3"}));
  EXPECT_EQ(audio.rows[32], (TrackRow{" l34", "0", "34"}));
  EXPECT_EQ(t.form().cmbAudio.Items.size(), 33u);
  EXPECT_EQ(t.form().cmbAudio.Items.back(), " l34");

  // The last of the 33 is still selectable.
  t.form().cmbAudio.SetListIndex(32);
  EXPECT_EQ(t.form().txtS2.Text, "34");
  EXPECT_EQ(t.form().SelectedOption1(), kAudioAC3);
}

TEST_F(ParseTrackReport_, ChoosingAnAudioTrackSelectsItsFormatAndId) {
  Parse(ReportFixture("multi_audio.txt"));
  Form1& f = t.form();
  const struct {
    int index;
    int option;
    const char* id;
  } choices[] = {{2, kAudioDTS, "4"}, {3, kAudioVorbis, "5"}, {4, kAudioMP3, "6"},
                 {5, kAudioMP2, "7"}, {1, kAudioAC3, "3"},    {0, kAudioAAC, "2"}};
  for (const auto& choice : choices) {
    f.cmbAudio.SetListIndex(choice.index);
    EXPECT_EQ(f.SelectedOption1(), choice.option) << "row " << choice.index;
    EXPECT_EQ(f.txtS2.Text, choice.id) << "row " << choice.index;
  }
  // An index without a row changes nothing.
  f.cmbAudio.ListIndex = 40;
  cmbAudio_Click(t.app);
  EXPECT_EQ(f.SelectedOption1(), kAudioAAC);
  EXPECT_EQ(f.txtS2.Text, "2");
}

TEST_F(ParseTrackReport_, DurationIsTheWholeSecondsOrStaysZero) {
  const struct {
    const char* line;
    int32_t seconds;
  } cases[] = {
      {"| + Duration: 5423.123s (01:30:23.123)", 5423},
      {"| + Duration: 59.999s (00:00:59.999)", 59},
      {"| + Duration: 01:30:23.123000000", 0},  // the newer layout: no whole seconds
      {"| + Duration: 120s", 0},                // no fraction, no full stop
      {"| + Duration: 99999999999.5s", 0},      // beyond 32 bits
  };
  for (const auto& c : cases) {
    Parse(std::string("|+ Segment information\n") + c.line + "\n");
    EXPECT_EQ(t.app.report.lngDuration, c.seconds) << c.line;
  }
}

// A subtitle track as the report tool lists it, after one video track (track 1).
std::string SubtitleTrack(const char* codec, const char* languageLine) {
  return std::string("| + A track\n|  + Track type: subtitles\n|  + Codec ID: ") + codec + "\n" +
         languageLine;
}

TEST_F(ParseTrackReport_, SubtitleLanguageSearchEndsAtTheNextTrackOrRecordsNothingAtTheEnd) {
  const std::string video = "| + A track\n|  + Track type: video\n|  + Codec ID: V_MPEG4/ISO/AVC\n";
  const struct {
    const char* name;
    std::string tracks;
    std::vector<TrackRow> subs;
  } cases[] = {
      {"text track without language, then another",
       SubtitleTrack("S_TEXT/UTF8", "|  + Name: Signs\n") +
           SubtitleTrack("S_TEXT/UTF8", "|  + Language: jpn\n"),
       {{"undefined", "srt", "2"}, {"jpn", "srt", "3"}}},
      {"SSA track without language, then another",
       SubtitleTrack("S_TEXT/SSA", "") + SubtitleTrack("S_TEXT/ASS", "|  + Language: ger\n"),
       {{"undefined", "SSA", "2"}, {"ger", "ASS", "3"}}},
      {"last text track without language", SubtitleTrack("S_TEXT/UTF8", "|  + Name: x\n"), {}},
      {"last SSA track without language", SubtitleTrack("S_TEXT/SSA", ""), {}},
      {"language found on the last line",
       SubtitleTrack("S_TEXT/ASS", "|  + Language: und"),
       {{"undefined", "ASS", "2"}}},
      {"bitmap track between text tracks",
       SubtitleTrack("S_TEXT/UTF8", "|  + Language: eng\n") +
           SubtitleTrack("S_VOBSUB", "|  + Language: fre\n") +
           SubtitleTrack("S_TEXT/UTF8", "|  + Language: ita\n"),
       {{"eng", "srt", "2"}, {"ita", "srt", "4"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Parse(video + c.tracks);
    EXPECT_EQ(Rows(t.app.report.strSubTracks), c.subs);
    EXPECT_EQ(t.form().cmbSubs.Visible, !c.subs.empty());
  }
}

TEST_F(ParseTrackReport_, PixelSizesBeyondSixteenBitsAreNotTaken) {
  t.app.report.intPixelWidth = 11;
  Parse(
      "| + A track\n|  + Track type: video\n"
      "|  + Default duration: 41.708ms (23.976 fps for a video track)\n"
      "|   + Pixel width: 40000\n|   + Pixel height: 1080\n|   + Display width: 50000\n");
  EXPECT_EQ(t.app.report.intPixelWidth, 11);
  EXPECT_EQ(t.app.report.intPixelHeight, 1080);
  EXPECT_EQ(t.app.report.strPar, "");
}

}  // namespace
}  // namespace quillet::test

namespace quillet::test {
namespace {

// What the WAV tool needs to know of each audio track: which one is flagged default (no
// flag line means default) and how many channels it has.
TEST_F(ParseTrackReport_, RecordsTheDefaultFlagAndChannelsOfEachAudioTrack) {
  Parse(ReportFixture("multi_audio.txt"));
  const TrackTable& audio = t.app.report.strAudioTracks;
  ASSERT_EQ(audio.count, 7);
  const bool defaults[] = {true, false, false, false, false, false, false};
  const int channels[] = {2, 6, 6, 2, 2, 2, 2};
  for (int i = 0; i < audio.count; ++i) {
    EXPECT_EQ(audio.rows[i].isDefault, defaults[i]) << "row " << i;
    EXPECT_EQ(audio.rows[i].channels, channels[i]) << "row " << i;
  }
}

// A track of a format the program does not know is listed as such and selects no format,
// so it is never converted as the format of the track before it.
TEST_F(ParseTrackReport_, UnknownAudioFormatIsListedAsSuchAndSelectsNoFormat) {
  Parse(ReportFixture("multi_audio.txt"));
  Form1& f = t.form();
  ASSERT_EQ(f.cmbAudio.Items.size(), 7u);
  EXPECT_EQ(f.cmbAudio.Items[6], " ita (unknown format)");
  EXPECT_EQ(f.cmbAudio.Items[5], " spa");
  f.cmbAudio.SetListIndex(6);
  EXPECT_EQ(f.SelectedOption1(), -1);
  EXPECT_EQ(f.txtS2.Text, "8");
  f.cmbAudio.SetListIndex(5);
  EXPECT_EQ(f.SelectedOption1(), kAudioMP2);
  EXPECT_EQ(f.txtS2.Text, "7");
}

// One window, one source after the other: the DTS source disables Safe Sync, the AC3
// source after it finds it enabled again, unless "25 FPS output" disables it.
TEST_F(ParseTrackReport_, SafeSyncIsEnabledAgainForTheNextSource) {
  const struct {
    bool twentyFive;
    bool enabledAfterAc3;
  } cases[] = {{false, true}, {true, false}};
  for (const auto& c : cases) {
    Form1& f = t.form();
    f.chk25.SetValue(c.twentyFive ? 1 : 0);
    f.chkFF.Enabled = !c.twentyFive;
    Parse(ReportFixture("anamorphic.txt"));  // AC3 and DTS
    EXPECT_FALSE(f.chkFF.Enabled);
    Parse(ReportFixture("h264_ac3.txt"));
    EXPECT_EQ(f.chkFF.Enabled, c.enabledAfterAc3) << "25 fps " << c.twentyFive;
  }
}

}  // namespace
}  // namespace quillet::test
