// The PS3 transport stream: the tools run per sound format and target, the job file the
// muxer reads, the split option, the parts the muxer writes, the check of the result,
// and what earlier runs left in the output folder.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "convert/ConvertSteps.h"
#include "convert/MetaFile.h"
#include "tests/support/TsScaffold.h"

namespace quillet::test {
namespace {

// clang-format off
const char* const kExtractWith = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264" 2:"{out}movie.)";
const char* const kOptions = "MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --vbv-len=500";
const char* const kVideoFromFolder = R"(V_MPEG4/ISO/AVC, "{out}movie.h264", fps=23.976)";
const char* const kVideoFromSource = R"(V_MPEG4/ISO/AVC, "{src}", track=1, level=4.1, fps=23.976)";
const char* const kAc3FromFolder = R"(A_AC3, "{out}movie.ac3")";
const char* const kAc3FromSource = R"(A_AC3, "{src}", track=2)";
// clang-format on

// The extraction of the video and of the sound track with the given extension.
std::string ExtractWith(const std::string& ext) {
  return kExtractWith + ext + "\"";
}

std::string Valdec(const std::string& ext, const std::string& speakers) {
  return R"("{app}/ac3filter/valdec.exe" "{out}movie.)" + ext + R"(" -wav "{out}movie.wav" -spk:)" +
         speakers + " -fmt:0";
}

std::string WavGrabOf(const std::string& ext) {
  return R"("{app}/TS/wavgrab.exe" "{out}movie.)" + ext + R"(" "{out}movie.wav")";
}

// A PS3 transport-stream run of "Film.mkv" with the tools scripted.
struct M2tsRun : TsScaffold {
  explicit M2tsRun(AudioType audio = kAudioAC3) {
    ReadyTs(audio);
    form().chkVob.SetValue(1);
  }
  void Platform(int index) { form().cmbPlatform.SetListIndex(index); }
  void FastMux() { form().chkFF.SetValue(1); }
  void RecodeToH264() {
    form().chkMP2.SetValue(1);
    form().cmdConv.SetListIndex(1);
  }
  // The command lines after the encoder's.
  std::vector<std::string> CommandsAfterEncoder() const {
    std::vector<std::string> after;
    for (const std::string& line : Commands())
      if (line.find("Mencoder.exe") == std::string::npos) after.push_back(line);
    return after;
  }
};

struct M2tsCase {
  const char* name;
  AudioType audio;
  std::function<void(M2tsRun&)> setup;
  std::vector<std::string> commands;  // after the encoder's, when there is one
  std::vector<std::string> meta;
  int waitedMs;  // the fixed waits: 50 after the header rename, 100 after each AC3 encode
                 // at the default rate and after the result rename
};

// clang-format off
const M2tsCase kCases[] = {
    // Sound as the PS3 (5.1) plays it: the source's AC3 track, untouched.
    {"Ac3Ps3Surround", kAudioAC3, [](M2tsRun&) {},
     {kExtractVideo, kHeaderTool, kMuxM2ts}, {kOptions, kVideoFromFolder, kAc3FromSource}, 150},
    {"Ac3FastMuxReadsTheSourcesVideo", kAudioAC3, [](M2tsRun& s) { s.FastMux(); },
     {kMuxM2ts}, {kOptions, kVideoFromSource, kAc3FromSource}, 150},
    // Decoded and encoded anew at the encoder's own rate.
    {"DtsPs3StereoIsMixedDown", kAudioDTS, [](M2tsRun& s) { s.Platform(2); },
     {ExtractWith("dts"), kHeaderTool, Valdec("dts", "2"), kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 250},
    {"DtsPs3SurroundKeepsItsChannels", kAudioDTS, [](M2tsRun&) {},
     {ExtractWith("dts"), kHeaderTool, Valdec("dts", "0"), kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 250},
    {"AacPs3Surround", kAudioAAC, [](M2tsRun&) {},
     {ExtractWith("aac"), kHeaderTool,
      R"("{app}/ffmpeg/faad.exe" -s 48000 "{out}movie.aac" -o "{out}movie.wav")", kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 250},
    {"AacPs3StereoIsMixedDown", kAudioAAC, [](M2tsRun& s) { s.Platform(2); },
     {ExtractWith("aac"), kHeaderTool,
      R"("{app}/ffmpeg/faad.exe" -d -s 48000 "{out}movie.aac" -o "{out}movie.wav")", kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 250},
    {"Ac3NormalisedIsDecodedFromTheExtractedTrack", kAudioAC3,
     [](M2tsRun& s) { s.form().chkNorm.SetValue(1); },
     {ExtractWith("ac3"), kHeaderTool, Valdec("ac3", "0"), kNormalize, kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 250},
    // MP3 for the PS3 (5.1): the WAV tool reads the source, AC3 at 640 kbit/s.
    {"Mp3Ps3SurroundAt640", kAudioMP3, [](M2tsRun&) {},
     {ExtractWith("mp3"), kHeaderTool, kWavGrab, kAc3At640, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 150},
    // Vorbis, MP3 and MP2 to be decoded: the WAV tool reads the extracted track, so the
    // AC3 encoder has its input.
    {"Mp3Ps3StereoDecodesTheExtractedTrack", kAudioMP3, [](M2tsRun& s) { s.Platform(2); },
     {ExtractWith("mp3"), kHeaderTool, WavGrabOf("mp3"), kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 250},
    {"VorbisNormalisedDecodesTheExtractedTrack", kAudioVorbis,
     [](M2tsRun& s) { s.form().chkNorm.SetValue(1); },
     {ExtractWith("ogg"), kHeaderTool, WavGrabOf("ogg"), kNormalize, kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromFolder}, 250},
    {"Mp2FastMuxStereo", kAudioMP2, [](M2tsRun& s) { s.Platform(2); s.FastMux(); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.mp2")", WavGrabOf("mp2"),
      kAc3AtDefault, kMuxM2ts},
     {kOptions, kVideoFromSource, kAc3FromFolder}, 250},
    // Fast Mux with a stream that exists only in the output folder: it is patched and
    // muxed from there.
    {"FastMuxWithARecodeMuxesTheNewStream", kAudioAC3, [](M2tsRun& s) { s.RecodeToH264(); s.FastMux(); },
     {kHeaderTool, kMuxM2ts}, {kOptions, kVideoFromFolder, kAc3FromSource}, 150},
    {"FastMuxOfAVfwSourceExtractsItsVideo", kAudioAC3,
     [](M2tsRun& s) { s.app.report.bVFW = true; s.FastMux(); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie_raw.h264")", kHeaderTool, kMuxM2ts},
     {kOptions, kVideoFromFolder, kAc3FromSource}, 150},
    // Splitting by size: 2929.6875 MB rounds to 2930, under 4000: no split.
    {"ThreeBillionBytesAreNotSplit", kAudioAC3,
     [](M2tsRun& s) { s.MakeSource(3000000000); s.form().Check1.SetValue(1); },
     {kExtractVideo, kHeaderTool, kMuxM2ts}, {kOptions, kVideoFromFolder, kAc3FromSource}, 150},
    // 9000 MB: N = 2, three parts of 3000MB. A part of a split source is not split again
    // by the driver.
    {"NineThousandMegabytesInThreeParts", kAudioAC3,
     [](M2tsRun& s) { s.MakeSource(9216000000); s.form().Check1.SetValue(1); s.form().bSplit = true; },
     {kExtractVideo, kHeaderTool, kMuxM2ts},
     {"MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --split-size=3000MB  --vbv-len=500",
      kVideoFromFolder, kAc3FromSource}, 150},
    {"FitToGivesDvdParts", kAudioAC3, [](M2tsRun& s) {
       s.form().Check1.SetValue(0);
       s.form().chkDVD.SetValue(1);
     },
     {kExtractVideo, kHeaderTool, kMuxM2ts},
     {"MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --split-size=4.3GB  --vbv-len=500",
      kVideoFromFolder, kAc3FromSource}, 150},
};
// clang-format on

void PrintTo(const M2tsCase& c, std::ostream* os) {
  *os << c.name;
}

class M2tsCases : public ::testing::TestWithParam<M2tsCase> {};

TEST_P(M2tsCases, RunsTheToolsAndWritesTheJobFile) {
  const M2tsCase& c = GetParam();
  M2tsRun s(c.audio);
  c.setup(s);

  s.Convert();

  EXPECT_EQ(s.CommandsAfterEncoder(), s.X(c.commands));
  EXPECT_EQ(s.MuxedMeta(), s.X(c.meta));
  EXPECT_EQ(s.ui.sleptMs, c.waitedMs);
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  // Only the result stays, named ".mpg".
  EXPECT_EQ(FolderNames(s.outputDir.path()), std::vector<std::string>{"Film.mpg"});
  EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mpg"), "ts of " + s.muxedMeta);
  EXPECT_EQ(s.app.conversionsSucceeded, s.form().bSplit ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Outputs, M2tsCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(M2tsSplitSize, MegabytesOf1024000BytesRoundedHalvesToEven) {
  struct Case {
    int64_t bytes;
    const char* option;
  };
  for (const Case& c :
       {Case{0, ""}, Case{3000000000, ""},
        // 3999.9999990 MB kept to four decimals is 4000: two parts.
        Case{4095999999, " --split-size=2000MB "}, Case{4096000000, " --split-size=2000MB "},
        // 4000.5 rounds down to 4000, 4001.5 up to 4002.
        Case{4096512000, " --split-size=2000MB "}, Case{4097536000, " --split-size=2001MB "},
        Case{9216000000, " --split-size=3000MB "}, Case{20480000000, " --split-size=3333MB "}})
    EXPECT_EQ(meta::SizeSplitOption(c.bytes), c.option) << c.bytes;
}

// The forms of the other outputs, which write the same job file.
TEST(MetaFile, OtherOutputsLineForms) {
  EXPECT_EQ(meta::Mpeg2Options(),
            "MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500");
  EXPECT_EQ(meta::Vc1Options(),
            "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 "
            "--split-size=4GB --vbv-len=500");
  EXPECT_EQ(meta::Mpeg2FromFolder("/o/", "25.000"),
            R"(V_MPEG-2, "/o/movie.mpg", fps=25.000, track=224)");
  EXPECT_EQ(meta::Vc1FromFolder("/o/"), R"(V_MS/VFW/WVC1, "/o/movie.vc1", fps=23.976)");
  EXPECT_EQ(meta::Text({"O", "V", "A", ""}), "O\r\nV\r\nA\r\n");
  EXPECT_EQ(meta::Text({"O", "V", "A", "S"}), "O\r\nV\r\nA\r\nS\r\n");
}

TEST(M2tsResult, NothingMuxedShowsTheBoxAndKeepsTheWorkingFiles) {
  M2tsRun s;
  s.LeavesNothing("tsmuxer.exe");
  s.form().strSubBrowse = "/subs/Film.srt";

  s.Convert();

  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].text, "Error: " + s.Out("Film.mpg") + " was not created.");
  EXPECT_EQ(s.ui.boxes[0].style, 0);
  EXPECT_EQ(s.ui.boxes[0].title, "info");
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(FolderNames(s.outputDir.path()),
            (std::vector<std::string>{"movie.h264", "movie.meta"}));
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
  // The branch ends like the MP4 one: the subtitle choice dropped, the window raised.
  EXPECT_TRUE(s.form().strSubBrowse.empty());
  EXPECT_TRUE(s.ui.topMost.back());
  EXPECT_FALSE(s.form().cmbSubs.Visible);
}

// The muxer writes the parts of a split result under its own names; each takes ".mpg".
TEST(M2tsResult, EveryPartTakesTheMpgName) {
  EXPECT_EQ(M2tsPartName("Film", 1), "Film.m2ts");
  EXPECT_EQ(M2tsPartName("Film", 2), "Film.2.m2ts");
  struct Case {
    std::vector<int> written;  // parts the muxer leaves; 0 bytes for a negative number
    std::vector<std::string> left;
    bool done;
  };
  for (const Case& c :
       {Case{{1, 2, 3}, {"Film.2.mpg", "Film.3.mpg", "Film.mpg"}, true},
        Case{{1}, {"Film.mpg"}, true},
        // No first part: nothing was made under the name the muxer was given.
        Case{{2}, {"Film.2.m2ts", "movie.h264", "movie.meta"}, false},
        Case{{1, -2}, {"Film.2.mpg", "Film.mpg", "movie.h264", "movie.meta"}, false},
        Case{{}, {"movie.h264", "movie.meta"}, false}}) {
    M2tsRun s;
    s.runner.On("tsmuxer.exe", [&](const std::vector<std::string>&) {
      for (int part : c.written)
        WriteFile(s.outputDir.path() / M2tsPartName("Film", part < 0 ? -part : part),
                  part < 0 ? "" : "part " + std::to_string(part));
      return std::string();
    });

    s.Convert();

    EXPECT_EQ(FolderNames(s.outputDir.path()), c.left) << c.written.size();
    EXPECT_EQ(s.form().txtProgress.Text == "Conversion done", c.done) << c.written.size();
    EXPECT_EQ(s.ui.boxes.size(), c.done ? 0u : 1u);
    if (c.done) EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mpg"), "part 1");
  }
}

// An earlier result of the same name is not taken for this run's: it is set aside and
// comes back when the run fails, and gives way to the new result when the run succeeds.
TEST(M2tsResult, EarlierResultIsSetAsideAndSettled) {
  struct Case {
    std::vector<std::string> earlier;
    bool muxerWorks;
    std::vector<std::string> left;
  };
  for (const Case& c : {Case{{"Film.mpg"}, false, {"Film.mpg", "movie.h264", "movie.meta"}},
                        Case{{"Film.mpg", "Film.2.mpg"}, true, {"Film.mpg"}},
                        Case{{"Film.m2ts"}, false, {"Film.m2ts", "movie.h264", "movie.meta"}},
                        Case{{"Film.m2ts", "Film.mpg"}, true, {"Film.mpg"}}}) {
    M2tsRun s;
    for (const std::string& name : c.earlier) WriteFile(s.outputDir.path() / name, "earlier");
    if (!c.muxerWorks) s.LeavesNothing("tsmuxer.exe");

    s.Convert();

    EXPECT_EQ(FolderNames(s.outputDir.path()), c.left) << c.earlier.size() << c.muxerWorks;
    EXPECT_EQ(s.form().txtProgress.Text == "Conversion done", c.muxerWorks);
    for (const std::string& name : c.left)
      if (name.rfind("Film", 0) == 0)
        EXPECT_EQ(ReadFile(s.outputDir.path() / name) == "earlier", !c.muxerWorks) << name;
  }
}

// Working files a failed earlier run left are not taken for this run's: an old AC3 is
// not muxed when the sound cannot be made now.
TEST(M2tsResult, StaleWorkingFilesAreNotMuxed) {
  M2tsRun s(kAudioMP3);
  s.Platform(2);
  for (const char* name : {"movie.mp3", "movie.ac3", "movie.wav"})
    WriteFile(s.outputDir.path() / name, "stale");
  s.LeavesNothing("wavgrab.exe");

  s.Convert();

  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_FALSE(s.OutputHas("Film.mpg"));
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

}  // namespace
}  // namespace quillet::test
