// The AVCHD folder: the tools per sound format, the job file with its split option and
// subtitle line, the frame-size warnings, the re-encoded stream, the check of the folder
// the muxer wrote, and a folder of that name from before.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "tests/support/TsScaffold.h"

namespace quillet::test {
namespace {

// clang-format off
const char* const kExtractRaw = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie_raw.h264")";
const char* const kOptions = "MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --vbv-len=500";
const char* const kVideoFromFolder = R"(V_MPEG4/ISO/AVC, "{out}movie.h264", fps=23.976)";
const char* const kVideoFromSource = R"(V_MPEG4/ISO/AVC, "{src}", track=1, level=4.1, fps=23.976)";
const char* const kVc1FromSource = R"(V_MS/VFW/WVC1, "{src}", track=1, fps=23.976)";
const char* const kAc3FromFolder = R"(A_AC3, "{out}movie.ac3")";
const char* const kAc3FromSource = R"(A_AC3, "{src}", track=2)";
const char* const kDtsFromSource = R"(A_DTS, "{src}", track=2)";
// The rendering every text subtitle line carries, for a 1920 x 1080 picture.
const std::string kArial = R"( ,font-name="Arial",font-size=42,font-color=0x00FFFFFF,font-charset=1,bottom-offset=50,font-border=1,text-align=center,video-width=1920,video-height=1080)";
const std::string kTrackLine = R"(S_TEXT/UTF8, "{src}")" + kArial + ", track=3, fps=23.976, lang=eng";
const std::string kSrtBesideLine = R"(S_TEXT/UTF8, "{srcdir}/Film.srt")" + kArial + ", , fps=23.976";
const std::string kBrowsedLine = R"(S_TEXT/UTF8, "{srcdir}/browsed.srt")" + kArial + ", fps=23.976";
// clang-format on

// An AVCHD run of "Film.mkv" (1920 x 1080) with the tools scripted.
struct AvchdRun : TsScaffold {
  explicit AvchdRun(AudioType audio = kAudioAC3) {
    ReadyTs(audio);
    form().chkAVCHD.SetValue(1);
  }
  std::string Xs(const std::string& text) const {
    std::string out = X(text);
    const std::string mark = "{srcdir}";
    for (size_t at = out.find(mark); at != std::string::npos; at = out.find(mark))
      out.replace(at, mark.size(), sourceDir.str());
    return out;
  }
  std::vector<std::string> Xs(const std::vector<std::string>& texts) const {
    std::vector<std::string> out;
    for (const std::string& text : texts) out.push_back(Xs(text));
    return out;
  }
  void RecodeToH264() {
    form().chkMP2.SetValue(1);
    form().cmdConv.SetListIndex(1);
  }
  void FitTo(int size) {
    form().Check1.SetValue(0);
    form().chkDVD.SetValue(1);
    form().cmbSize.SetListIndex(size);
  }
  // The source's subtitle tracks: an SRT and an ASS track; the list shows them.
  void ChooseTrack(int index) {
    app.report.strSubTracks.Add({"eng", "srt", "3"});
    app.report.strSubTracks.Add({"fre", "ASS", "4"});
    form().cmbSubs.Items = {"eng", "fre"};
    form().cmbSubs.SetListIndex(index);
  }
  void SrtBesideTheSource() {
    WriteFile(sourceDir.path() / "Film.srt", "1");
    form().lblSRTFound.Visible = true;
  }
  void BrowsedSubtitle() {
    WriteFile(sourceDir.path() / "browsed.srt", "1");
    form().strSubBrowse = (sourceDir.path() / "browsed.srt").string();
  }
  std::vector<std::string> CommandsAfterEncoder() const {
    std::vector<std::string> after;
    for (const std::string& line : Commands())
      if (line.find("Mencoder.exe") == std::string::npos) after.push_back(line);
    return after;
  }
  bool FolderWritten() const { return OutputHas("Film/BDMV/index.bdmv"); }
};

struct AvchdCase {
  const char* name;
  AudioType audio;
  std::function<void(AvchdRun&)> setup;
  std::vector<std::string> commands;  // after the encoder's, when there is one
  std::vector<std::string> meta;
  std::vector<std::string> boxes = {};  // title: text of each box shown
};

const std::string kAssWarning =
    "Subtitle warning: SSA or ASS subtitles are not yet supported in AVCHD. No substitles will "
    "be used in this conversion.";

// clang-format off
const AvchdCase kCases[] = {
    // AC3, DTS, MP3 and MP2 are taken from the source unchanged.
    {"Ac3", kAudioAC3, [](AvchdRun&) {},
     {kExtractRaw, kHeaderTool, kAuthorAvchd}, {kOptions, kVideoFromFolder, kAc3FromSource}},
    {"DtsIsKept", kAudioDTS, [](AvchdRun& s) { s.form().chkNorm.SetValue(1); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd}, {kOptions, kVideoFromFolder, kDtsFromSource}},
    // AAC and Vorbis become AC3 at 640 kbit/s.
    {"AacNormalised", kAudioAAC, [](AvchdRun& s) { s.form().chkNorm.SetValue(1); },
     {kExtractRaw, kWavGrab, kNormalize, kAc3At640, kHeaderTool, kAuthorAvchd},
     {kOptions, kVideoFromFolder, kAc3FromFolder}},
    {"Vorbis", kAudioVorbis, [](AvchdRun&) {},
     {kExtractRaw, kWavGrab, kAc3At640, kHeaderTool, kAuthorAvchd},
     {kOptions, kVideoFromFolder, kAc3FromFolder}},
    {"FastMuxReadsTheSourcesVideo", kAudioAC3, [](AvchdRun& s) { s.form().chkFF.SetValue(1); },
     {kAuthorAvchd}, {kOptions, kVideoFromSource, kAc3FromSource}},
    {"Vc1FromTheSourceWithoutPatch", kAudioAC3, [](AvchdRun& s) { s.app.report.strVideoCodec = "vc1"; },
     {kAuthorAvchd}, {kOptions, kVc1FromSource, kAc3FromSource}},
    // A re-encoded stream is patched and muxed, whatever Fast Mux or the source's codec say.
    {"RecodeWithFastMuxMuxesTheNewStream", kAudioAC3,
     [](AvchdRun& s) { s.RecodeToH264(); s.form().chkFF.SetValue(1); },
     {kHeaderTool, kAuthorAvchd}, {kOptions, kVideoFromFolder, kAc3FromSource}},
    {"RecodedVc1MuxesTheNewStream", kAudioAC3,
     [](AvchdRun& s) { s.RecodeToH264(); s.app.report.strVideoCodec = "vc1"; },
     {kHeaderTool, kAuthorAvchd}, {kOptions, kVideoFromFolder, kAc3FromSource}},
    // Split options: "Fit to" a disc, or by size.
    {"FitToDvd5", kAudioAC3, [](AvchdRun& s) { s.FitTo(0); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {std::string(kOptions) + " --split-size=4300MB ", kVideoFromFolder, kAc3FromSource}},
    {"FitToDvd9", kAudioAC3, [](AvchdRun& s) { s.FitTo(1); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {std::string(kOptions) + " --split-size=7900MB ", kVideoFromFolder, kAc3FromSource}},
    {"FitToBluRay", kAudioAC3, [](AvchdRun& s) { s.FitTo(2); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {std::string(kOptions) + " --split-size=23GB ", kVideoFromFolder, kAc3FromSource}},
    // The source itself is never split for AVCHD; the muxer cuts 9000 MB into 3000MB parts.
    {"NineThousandMegabytes", kAudioAC3, [](AvchdRun& s) { s.MakeSource(9216000000); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {std::string(kOptions) + " --split-size=3000MB ", kVideoFromFolder, kAc3FromSource}},
    // Subtitles: browsed file, then the ".srt" beside the source, then the source's track.
    {"SourceTextTrack", kAudioAC3, [](AvchdRun& s) { s.ChooseTrack(0); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {kOptions, kVideoFromFolder, kAc3FromSource, kTrackLine}},
    {"SrtBesideTheSourceBeforeTheTrack", kAudioAC3,
     [](AvchdRun& s) { s.ChooseTrack(0); s.SrtBesideTheSource(); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {kOptions, kVideoFromFolder, kAc3FromSource, kSrtBesideLine}},
    {"BrowsedFileFirst", kAudioAC3,
     [](AvchdRun& s) { s.ChooseTrack(0); s.SrtBesideTheSource(); s.BrowsedSubtitle(); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {kOptions, kVideoFromFolder, kAc3FromSource, kBrowsedLine}},
    {"AssTrackIsWarnedAboutAndLeftOut", kAudioAC3, [](AvchdRun& s) { s.ChooseTrack(1); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd}, {kOptions, kVideoFromFolder, kAc3FromSource},
     {kAssWarning}},
    {"AssTrackWithABrowsedFileIsNoWarning", kAudioAC3,
     [](AvchdRun& s) { s.ChooseTrack(1); s.BrowsedSubtitle(); },
     {kExtractRaw, kHeaderTool, kAuthorAvchd},
     {kOptions, kVideoFromFolder, kAc3FromSource, kBrowsedLine}},
    {"ReencodeCarriesNoSubtitle", kAudioAC3,
     [](AvchdRun& s) { s.RecodeToH264(); s.BrowsedSubtitle(); },
     {kHeaderTool, kAuthorAvchd}, {kOptions, kVideoFromFolder, kAc3FromSource}},
};
// clang-format on

void PrintTo(const AvchdCase& c, std::ostream* os) {
  *os << c.name;
}

class AvchdCases : public ::testing::TestWithParam<AvchdCase> {};

TEST_P(AvchdCases, RunsTheToolsAndWritesTheJobFile) {
  const AvchdCase& c = GetParam();
  AvchdRun s(c.audio);
  c.setup(s);

  s.Convert();

  EXPECT_EQ(s.CommandsAfterEncoder(), s.Xs(c.commands));
  EXPECT_EQ(s.MuxedMeta(), s.Xs(c.meta));
  std::vector<std::string> boxes;
  for (const ShownBox& box : s.ui.boxes) boxes.push_back(box.title + ": " + box.text);
  EXPECT_EQ(boxes, c.boxes);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(FolderNames(s.outputDir.path()), std::vector<std::string>{"Film"});
  EXPECT_TRUE(s.FolderWritten());
  EXPECT_EQ(s.app.conversionsSucceeded, 1);
  EXPECT_EQ(s.ui.sleptMs, 100);
}

INSTANTIATE_TEST_SUITE_P(Outputs, AvchdCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Sizes players may refuse are named before the folder is made anyway; a re-encode makes
// a size of its own and is not warned about.
TEST(AvchdFrameSize, WarnsAboutSizesPlayersMayRefuse) {
  struct Case {
    int width, height;
    bool recode;
    const char* text;  // "" for no box
    int style;
  };
  const char* const kIncorrect = "Incorrect AVCHD resolution, issues might occur when playing.";
  for (const Case& c :
       {Case{1920, 800, false, "Resolution is not 1920 x 1080, issues might occur when playing.",
             0},
        Case{1280, 544, false, "Resolution is not 1280 x 720, issues might occur when playing.", 0},
        Case{1440, 1080, false, kIncorrect, 16}, Case{720, 576, false, kIncorrect, 16},
        Case{1920, 1080, false, "", 0}, Case{1280, 720, false, "", 0},
        Case{2048, 858, false, "", 0}, Case{720, 576, true, "", 0}}) {
    AvchdRun s;
    s.app.report.intPixelWidth = static_cast<int16_t>(c.width);
    s.app.report.intPixelHeight = static_cast<int16_t>(c.height);
    if (c.recode) s.RecodeToH264();

    s.Convert();

    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    if (std::string(c.text).empty()) {
      EXPECT_TRUE(s.ui.boxes.empty()) << size;
    } else {
      ASSERT_EQ(s.ui.boxes.size(), 1u) << size;
      EXPECT_EQ(s.ui.boxes[0].text, c.text) << size;
      EXPECT_EQ(s.ui.boxes[0].style, c.style) << size;
      EXPECT_EQ(s.ui.boxes[0].title, "AVCHD info.") << size;
    }
    EXPECT_TRUE(s.FolderWritten()) << size;
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion done") << size;
  }
}

// The folder counts as made when it holds the index and a clip with something in it;
// otherwise the run says so and keeps its working files.
TEST(AvchdResult, FolderWithoutIndexOrClipIsNotCreated) {
  struct Case {
    const char* name;
    bool index;
    const char* clip;  // nullptr: no clip file
  };
  for (const Case& c : {Case{"nothing", false, nullptr}, Case{"index only", true, nullptr},
                        Case{"empty clip", true, ""}, Case{"clip without index", false, "ts"}}) {
    AvchdRun s;
    s.runner.On("tsmuxer.exe", [&](const std::vector<std::string>&) {
      const std::filesystem::path bdmv = s.outputDir.path() / "Film" / "BDMV";
      std::filesystem::create_directories(bdmv / "STREAM");
      if (c.index) WriteFile(bdmv / "index.bdmv", "INDX0200");
      if (c.clip) WriteFile(bdmv / "STREAM" / "00000.m2ts", c.clip);
      return std::string();
    });

    s.Convert();

    ASSERT_EQ(s.ui.boxes.size(), 1u) << c.name;
    EXPECT_EQ(s.ui.boxes[0].text, "Error: " + s.Out("Film") + " was not created.") << c.name;
    EXPECT_EQ(s.ui.boxes[0].title, "info");
    EXPECT_EQ(s.ui.boxes[0].style, 0);
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.") << c.name;
    EXPECT_TRUE(s.OutputHas("movie.meta")) << c.name;
    EXPECT_TRUE(s.OutputHas("movie.h264")) << c.name;
    EXPECT_EQ(s.app.conversionsSucceeded, 0) << c.name;
  }
}

// A folder of the result's name is never written into: the run refuses before any tool
// and leaves the folder as it was.
TEST(AvchdResult, ExistingFolderOfTheSameNameIsRefused) {
  AvchdRun s;
  WriteFile(s.outputDir.path() / "Film" / "keep.txt", "mine");

  s.Convert();

  EXPECT_TRUE(s.Commands().empty());
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].text,
            "Error: " + s.Out("Film") + " already exists. Move or rename it, then convert again.");
  EXPECT_EQ(s.ui.boxes[0].title, "info");
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(FolderNames(s.outputDir.path() / "Film"), std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

// The AVCHD branch keeps the browsed subtitle file chosen and leaves the window where
// it is, unlike the MP4 and M2TS branches.
TEST(AvchdResult, BrowsedSubtitleStaysChosen) {
  AvchdRun s;
  s.BrowsedSubtitle();

  s.Convert();

  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_FALSE(s.form().strSubBrowse.empty());
  for (bool onTop : s.ui.topMost) EXPECT_FALSE(onTop);
  EXPECT_FALSE(s.form().cmbSubs.Visible);
  EXPECT_FALSE(s.form().lblSRTFound.Visible);
}

// Working files a failed earlier run left are not taken for this run's.
TEST(AvchdResult, StaleWorkingFilesAreNotMuxed) {
  AvchdRun s(kAudioAAC);
  for (const char* name : {"movie.ac3", "movie.h264", "movie_raw.h264"})
    WriteFile(s.outputDir.path() / name, "stale");
  s.LeavesNothing("mkvextract.exe");

  s.Convert();

  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

}  // namespace
}  // namespace quillet::test
