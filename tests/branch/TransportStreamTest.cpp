// The transport-stream outputs: the PS3 M2TS and the AVCHD folder per sound format and
// options, with the job file the muxer reads; the WMV road to AVCHD with its wait for the
// WAV; and how each road judges what the muxer left and what earlier runs left.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "sources/Sources.h"
#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using S = ConvertScaffold;
using Argv = std::vector<std::string>;
using Lines = std::vector<std::string>;

// clang-format off
const std::string kExtract = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" )";
const std::string kRaw = kExtract + R"(1:"{out}movie_raw.h264")";
const std::string kM2ts = "MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --vbv-len=500";
const std::string kM2tsSplit = "MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --split-size=";
const std::string kBd = "MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --vbv-len=500";
const std::string kFolderVideo = R"(V_MPEG4/ISO/AVC, "{out}movie.h264", fps=23.976)";
const std::string kSourceVideo = R"(V_MPEG4/ISO/AVC, "{src}", track=1, level=4.1, fps=23.976)";
const std::string kAc3 = R"(A_AC3, "{out}movie.ac3")";
const std::string kSourceAc3 = R"(A_AC3, "{src}", track=2)";
// The rendering every text subtitle line carries, for a 1920 x 1080 picture.
const std::string kArial = R"( ,font-name="Arial",font-size=42,font-color=0x00FFFFFF,font-charset=1,bottom-offset=50,font-border=1,text-align=center,video-width=1920,video-height=1080)";
const std::string kBrowsedLine = R"(S_TEXT/UTF8, "{srcdir}/browsed.srt")" + kArial + ", fps=23.976";
const std::string kAssWarning = "Subtitle warning (16): SSA or ASS subtitles are not yet supported in AVCHD. No substitles will be used in this conversion.";
const std::string kNotCreated = "info (0): Error: {out}Film.mpg was not created.";
const std::string kAvchdNotCreated = "info (0): Error: {out}Film was not created.";
const std::string kWmvNotCreated = "info (16): Error: {out}Film/BDMV/index.bdmv was not created.";
// clang-format on

std::string ExtractWith(const std::string& ext) {
  return kExtractVideo + R"( 2:"{out}movie.)" + ext + "\"";
}
std::string Valdec(const std::string& ext, const std::string& speakers) {
  return R"("{app}/ac3filter/valdec.exe" "{out}movie.)" + ext + R"(" -wav "{out}movie.wav" -spk:)" +
         speakers + " -fmt:0";
}
std::string WavGrabOf(const std::string& ext) {
  return R"("{app}/TS/wavgrab.exe" "{out}movie.)" + ext + R"(" "{out}movie.wav")";
}
std::string Faad(const std::string& option) {
  return R"("{app}/ffmpeg/faad.exe" )" + option +
         R"(-s 48000 "{out}movie.aac" -o "{out}movie.wav")";
}
// The options of a row, set in this order.
enum Options {
  kAvchd = 1,
  kFF = 2,
  kNorm = 4,
  kStereo = 8,
  kRecode = 16,
  kVfw = 32,
  kVc1 = 64,
  kSplit = 128,
  kPart = 256,
  kTrack = 512,
  kAss = 1024,
  kBeside = 2048,
  kBrowsed = 4096,
  kFitTo = 8192
};

void Road(S& s, int options, int fitTo = 0) {
  s.form().chkVob.SetValue(options & kAvchd ? 0 : 1);
  s.form().chkAVCHD.SetValue(options & kAvchd ? 1 : 0);
  if (options & kFF) s.form().chkFF.SetValue(1);
  if (options & kNorm) s.form().chkNorm.SetValue(1);
  if (options & kStereo) s.form().cmbPlatform.SetListIndex(2);
  if (options & kRecode) s.Recode(1);
  s.app.report.bVFW = options & kVfw;
  if (options & kVc1) s.app.report.strVideoCodec = "vc1";
  s.form().Check1.SetValue(options & (kSplit | kPart) ? 1 : 0);
  s.form().bSplit = options & kPart;
  if (options & (kTrack | kAss)) {
    s.ChooseSubtitle(options & kAss ? 1 : 0);
    s.form().chkSubs.SetValue(0);
  }
  if (options & kBeside) {
    WriteFile(s.sourceDir.path() / "Film.srt", "1");
    s.form().lblSRTFound.Visible = true;
  }
  if (options & kBrowsed) {
    WriteFile(s.sourceDir.path() / "browsed.srt", "1");
    s.form().strSubBrowse = (s.sourceDir.path() / "browsed.srt").string();
  }
  if (options & kFitTo) {
    s.form().chkDVD.SetValue(1);
    s.form().cmbSize.SetListIndex(fitTo);
  }
}

struct TsRow {
  const char* name;
  AudioType audio;
  int options;
  Lines commands;  // after the encoder's, when there is one
  Lines meta;
  Lines boxes = {};  // as ConvertScaffold::Boxes() gives them
  int64_t bytes = 1000;
  int fitTo = 0;
  int width = 1920, height = 1080;
};

// clang-format off
const TsRow kTs[] = {
    // M2TS: the PS3 (5.1) plays the source's AC3 track untouched.
    {"M2tsAc3", kAudioAC3, 0, {kExtractVideo, kHeaderTool, kMuxM2ts}, {kM2ts, kFolderVideo, kSourceAc3}},
    {"M2tsAc3FastMuxReadsTheSourcesVideo", kAudioAC3, kFF, {kMuxM2ts}, {kM2ts, kSourceVideo, kSourceAc3}},
    // Decoded and encoded anew at the encoder's own rate.
    {"M2tsDtsStereoIsMixedDown", kAudioDTS, kStereo, {ExtractWith("dts"), kHeaderTool, Valdec("dts", "2"), kAc3AtDefault, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsDtsSurroundKeepsItsChannels", kAudioDTS, 0, {ExtractWith("dts"), kHeaderTool, Valdec("dts", "0"), kAc3AtDefault, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsAacSurround", kAudioAAC, 0, {ExtractWith("aac"), kHeaderTool, Faad(""), kAc3AtDefault, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsAacStereoIsMixedDown", kAudioAAC, kStereo, {ExtractWith("aac"), kHeaderTool, Faad("-d "), kAc3AtDefault, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsAc3NormalisedIsDecodedFromTheTrack", kAudioAC3, kNorm, {ExtractWith("ac3"), kHeaderTool, Valdec("ac3", "0"), kNormalize, kAc3AtDefault, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsMp3SurroundAt640", kAudioMP3, 0, {ExtractWith("mp3"), kHeaderTool, kWavGrab, kAc3At640, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    // Vorbis, MP3 and MP2 to be decoded: the WAV tool reads the extracted track.
    {"M2tsMp3StereoDecodesTheExtractedTrack", kAudioMP3, kStereo, {ExtractWith("mp3"), kHeaderTool, WavGrabOf("mp3"), kAc3AtDefault, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsVorbisNormalisedDecodesTheExtractedTrack", kAudioVorbis, kNorm, {ExtractWith("ogg"), kHeaderTool, WavGrabOf("ogg"), kNormalize, kAc3AtDefault, kMuxM2ts}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsMp2FastMuxStereo", kAudioMP2, kStereo | kFF, {kExtract + R"(2:"{out}movie.mp2")", WavGrabOf("mp2"), kAc3AtDefault, kMuxM2ts}, {kM2ts, kSourceVideo, kAc3}},
    // Fast Mux with a stream only the output folder holds: it is patched and muxed from there.
    {"M2tsFastMuxWithARecodeMuxesTheNewStream", kAudioAC3, kRecode | kFF, {kHeaderTool, kMuxM2ts}, {kM2ts, kFolderVideo, kSourceAc3}},
    {"M2tsFastMuxOfAVfwSourceExtractsItsVideo", kAudioAC3, kVfw | kFF, {kRaw, kHeaderTool, kMuxM2ts}, {kM2ts, kFolderVideo, kSourceAc3}},
    // Split by size in MB of 1,024,000 bytes: 2930 MB is one part, 9000 MB three.
    {"M2tsThreeBillionBytesAreNotSplit", kAudioAC3, kSplit, {kExtractVideo, kHeaderTool, kMuxM2ts}, {kM2ts, kFolderVideo, kSourceAc3}, {}, 3000000000},
    // A part of a split source is not split again by the driver.
    {"M2tsNineThousandMegabytesInThreeParts", kAudioAC3, kPart, {kExtractVideo, kHeaderTool, kMuxM2ts}, {kM2tsSplit + "3000MB  --vbv-len=500", kFolderVideo, kSourceAc3}, {}, 9216000000},
    {"M2tsFitToGivesDvdParts", kAudioAC3, kFitTo, {kExtractVideo, kHeaderTool, kMuxM2ts}, {kM2tsSplit + "4.3GB  --vbv-len=500", kFolderVideo, kSourceAc3}},
    // AVCHD takes AC3, DTS, MP3 and MP2 from the source unchanged.
    {"AvchdAc3", kAudioAC3, kAvchd, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}},
    {"AvchdDtsIsKept", kAudioDTS, kAvchd | kNorm, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, R"(A_DTS, "{src}", track=2)"}},
    // AAC and Vorbis become AC3 at 640 kbit/s.
    {"AvchdAacNormalised", kAudioAAC, kAvchd | kNorm, {kRaw, kWavGrab, kNormalize, kAc3At640, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kAc3}},
    {"AvchdVorbis", kAudioVorbis, kAvchd, {kRaw, kWavGrab, kAc3At640, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kAc3}},
    {"AvchdFastMuxReadsTheSourcesVideo", kAudioAC3, kAvchd | kFF, {kAuthorAvchd}, {kBd, kSourceVideo, kSourceAc3}},
    {"AvchdVc1FromTheSourceWithoutPatch", kAudioAC3, kAvchd | kVc1, {kAuthorAvchd}, {kBd, R"(V_MS/VFW/WVC1, "{src}", track=1, fps=23.976)", kSourceAc3}},
    // A re-encoded stream is patched and muxed, whatever Fast Mux or the source's codec say.
    {"AvchdRecodeWithFastMuxMuxesTheNewStream", kAudioAC3, kAvchd | kRecode | kFF, {kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}},
    {"AvchdRecodedVc1MuxesTheNewStream", kAudioAC3, kAvchd | kRecode | kVc1, {kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}},
    // Split options: "Fit to" a disc, or by size; the source itself is never split.
    {"AvchdFitToDvd5", kAudioAC3, kAvchd | kFitTo, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd + " --split-size=4300MB ", kFolderVideo, kSourceAc3}},
    {"AvchdFitToDvd9", kAudioAC3, kAvchd | kFitTo, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd + " --split-size=7900MB ", kFolderVideo, kSourceAc3}, {}, 1000, 1},
    {"AvchdFitToBluRay", kAudioAC3, kAvchd | kFitTo, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd + " --split-size=23GB ", kFolderVideo, kSourceAc3}, {}, 1000, 2},
    {"AvchdNineThousandMegabytes", kAudioAC3, kAvchd | kSplit, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd + " --split-size=3000MB ", kFolderVideo, kSourceAc3}, {}, 9216000000},
    // Subtitles: the browsed file, then the ".srt" beside the source, then the source's track.
    {"AvchdSourceTextTrack", kAudioAC3, kAvchd | kTrack, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3, R"(S_TEXT/UTF8, "{src}")" + kArial + ", track=3, fps=23.976, lang=eng"}},
    {"AvchdSrtBesideTheSourceBeforeTheTrack", kAudioAC3, kAvchd | kTrack | kBeside, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3, R"(S_TEXT/UTF8, "{srcdir}/Film.srt")" + kArial + ", , fps=23.976"}},
    {"AvchdBrowsedFileFirst", kAudioAC3, kAvchd | kTrack | kBeside | kBrowsed, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3, kBrowsedLine}},
    {"AvchdAssTrackIsWarnedAboutAndLeftOut", kAudioAC3, kAvchd | kAss, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {kAssWarning}},
    {"AvchdAssTrackWithABrowsedFileIsNoWarning", kAudioAC3, kAvchd | kAss | kBrowsed, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3, kBrowsedLine}},
    {"AvchdReencodeCarriesNoSubtitle", kAudioAC3, kAvchd | kRecode | kBrowsed, {kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}},
    // Sizes players may refuse are named before the folder is made anyway; a re-encode
    // makes a size of its own.
    {"AvchdLetterboxed1080IsWarned", kAudioAC3, kAvchd, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {"AVCHD info. (0): Resolution is not 1920 x 1080, issues might occur when playing."}, 1000, 0, 1920, 800},
    {"AvchdLetterboxed720IsWarned", kAudioAC3, kAvchd, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {"AVCHD info. (0): Resolution is not 1280 x 720, issues might occur when playing."}, 1000, 0, 1280, 544},
    {"Avchd1440x1080IsIncorrect", kAudioAC3, kAvchd, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {"AVCHD info. (16): Incorrect AVCHD resolution, issues might occur when playing."}, 1000, 0, 1440, 1080},
    {"AvchdPalIsIncorrect", kAudioAC3, kAvchd, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {"AVCHD info. (16): Incorrect AVCHD resolution, issues might occur when playing."}, 1000, 0, 720, 576},
    {"Avchd720pIsFine", kAudioAC3, kAvchd, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {}, 1000, 0, 1280, 720},
    {"AvchdCinemaScopeIsFine", kAudioAC3, kAvchd, {kRaw, kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {}, 1000, 0, 2048, 858},
    {"AvchdRecodedPalIsNotWarned", kAudioAC3, kAvchd | kRecode, {kHeaderTool, kAuthorAvchd}, {kBd, kFolderVideo, kSourceAc3}, {}, 1000, 0, 720, 576},
};
// clang-format on

class TransportStream : public ::testing::TestWithParam<TsRow> {};

TEST_P(TransportStream, RunsTheToolsAndWritesTheJobFile) {
  const TsRow& c = GetParam();
  S s;
  s.Ready(c.audio, c.bytes);
  s.app.report.intPixelWidth = static_cast<int16_t>(c.width);
  s.app.report.intPixelHeight = static_cast<int16_t>(c.height);
  Road(s, c.options, c.fitTo);
  const bool avchd = c.options & kAvchd;

  s.Convert();

  Lines commands;  // after the encoder's
  for (const std::string& line : s.Commands())
    if (line.find("Mencoder.exe") == std::string::npos) commands.push_back(line);
  EXPECT_EQ(commands, s.X(c.commands));
  EXPECT_EQ(CrLfLines(s.muxedMeta), s.X(c.meta));
  EXPECT_EQ(s.Boxes(), c.boxes);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(s.OutputNames(), Lines{avchd ? "Film" : "Film.mpg"});  // only the result stays
  EXPECT_TRUE(avchd ? s.OutputHas("Film/BDMV/index.bdmv")
                    : ReadFile(s.Out("Film.mpg")) == "ts of " + s.muxedMeta);
  EXPECT_EQ(s.app.conversionsSucceeded, s.form().bSplit ? 0 : 1);
  // The fixed waits: 50 after the header rename, 100 after each AC3 encode at the
  // default rate and after the result rename.
  const bool encodesAc3 = !avchd && s.Commands().size() > 1 &&
                          s.Commands()[s.Commands().size() - 2] == s.X(kAc3AtDefault);
  EXPECT_EQ(s.ui.sleptMs, avchd ? 100 : encodesAc3 ? 250 : 150);
}

INSTANTIATE_TEST_SUITE_P(Rows, TransportStream, ::testing::ValuesIn(kTs), RowName());

// --- What the muxer left, and what earlier runs left ---

// The WMV source "Film.wmv" for the AVCHD road.
void Wmv(S& s) {
  s.source = (s.sourceDir.path() / "Film.wmv").string();
  s.MakeSource();
  s.form().strType = "wmv";
}
// The muxer makes the BD folder tree with or without its index and clip.
void MuxerWritesTree(S& s, bool index, const char* clip) {
  s.runner.On("tsmuxer.exe", [index, clip](const Argv& a) {
    fs::create_directories(fs::path(a[2]) / "BDMV" / "STREAM");
    if (index) WriteFile(fs::path(a[2]) / "BDMV" / "index.bdmv", "INDX0200");
    if (clip) WriteFile(fs::path(a[2]) / "BDMV" / "STREAM" / "00000.m2ts", clip);
    return std::string();
  });
}
// The muxer leaves the given parts of a split stream; 0 bytes for a negative number.
void MuxerWritesParts(S& s, std::vector<int> parts) {
  s.runner.On("tsmuxer.exe", [&s, parts](const Argv&) {
    for (int part : parts)
      WriteFile(s.Out(part == 1 ? "Film.m2ts" : "Film." + std::to_string(std::abs(part)) + ".m2ts"),
                part < 0 ? "" : "part " + std::to_string(part));
    return std::string();
  });
}
void Stale(S& s, const Lines& names) {
  for (const std::string& name : names) WriteFile(s.Out(name), "earlier");
}

struct ResultRow {
  const char* name;
  std::function<void(S&)> setup;
  Lines boxes;  // as ConvertScaffold::Boxes() gives them; none when the run is done
  Lines left;   // the output folder afterwards; "=NAME" for a file as it was before
  bool toolsRun = true;
};

// clang-format off
const ResultRow kResults[] = {
    {"M2tsNothingMuxedKeepsTheWorkingFiles", [](S& s) { s.LeavesNothing("tsmuxer.exe"); }, {kNotCreated}, {"movie.h264", "movie.meta"}},
    // The parts of a split stream take the ".mpg" name in order and are judged together.
    {"M2tsPartsTakeTheMpgName", [](S& s) { MuxerWritesParts(s, {1, 2, 3}); }, {}, {"Film.2.mpg", "Film.3.mpg", "Film.mpg"}},
    {"M2tsWithoutTheFirstPartIsNotCreated", [](S& s) { MuxerWritesParts(s, {2}); }, {kNotCreated}, {"Film.2.m2ts", "movie.h264", "movie.meta"}},
    {"M2tsWithAnEmptyPartIsNotCreated", [](S& s) { MuxerWritesParts(s, {1, -2}); }, {kNotCreated}, {"Film.2.mpg", "Film.mpg", "movie.h264", "movie.meta"}},
    // An earlier result is set aside, and comes back when the run fails.
    {"M2tsEarlierResultComesBack", [](S& s) { Stale(s, {"Film.mpg"}); s.LeavesNothing("tsmuxer.exe"); }, {kNotCreated}, {"=Film.mpg", "movie.h264", "movie.meta"}},
    {"M2tsEarlierPartsGiveWay", [](S& s) { Stale(s, {"Film.mpg", "Film.2.mpg"}); }, {}, {"Film.mpg"}},
    {"M2tsEarlierStreamComesBack", [](S& s) { Stale(s, {"Film.m2ts"}); s.LeavesNothing("tsmuxer.exe"); }, {kNotCreated}, {"=Film.m2ts", "movie.h264", "movie.meta"}},
    {"M2tsEarlierStreamGivesWay", [](S& s) { Stale(s, {"Film.m2ts", "Film.mpg"}); }, {}, {"Film.mpg"}},
    // An old AC3 is not muxed when the sound cannot be made now.
    {"M2tsStaleWorkingFilesAreNotMuxed", [](S& s) { s.form().SelectOption1(kAudioMP3); s.form().cmbPlatform.SetListIndex(2); Stale(s, {"movie.mp3", "movie.ac3", "movie.wav"}); s.LeavesNothing("wavgrab.exe"); }, {kNotCreated}, {"movie.h264", "movie.meta"}},
    // The AVCHD folder counts as made when it holds the index and a clip with data.
    {"AvchdFolderWithNothing", [](S& s) { Road(s, kAvchd); MuxerWritesTree(s, false, nullptr); }, {kAvchdNotCreated}, {"Film", "movie.h264", "movie.meta"}},
    {"AvchdFolderWithTheIndexOnly", [](S& s) { Road(s, kAvchd); MuxerWritesTree(s, true, nullptr); }, {kAvchdNotCreated}, {"Film", "movie.h264", "movie.meta"}},
    {"AvchdFolderWithAnEmptyClip", [](S& s) { Road(s, kAvchd); MuxerWritesTree(s, true, ""); }, {kAvchdNotCreated}, {"Film", "movie.h264", "movie.meta"}},
    {"AvchdFolderWithoutIndex", [](S& s) { Road(s, kAvchd); MuxerWritesTree(s, false, "ts"); }, {kAvchdNotCreated}, {"Film", "movie.h264", "movie.meta"}},
    // A folder of the result's name is never written into: no tool runs.
    {"AvchdExistingFolderIsRefused", [](S& s) { Road(s, kAvchd); WriteFile(s.Out("Film/keep.txt"), "mine"); }, {"info (16): Error: {out}Film already exists. Move or rename it, then convert again."}, {"Film"}, false},
    {"AvchdStaleWorkingFilesAreNotMuxed", [](S& s) { Road(s, kAvchd); s.form().SelectOption1(kAudioAAC); Stale(s, {"movie.ac3", "movie.h264", "movie_raw.h264"}); s.LeavesNothing("mkvextract.exe"); }, {kAvchdNotCreated}, {"movie.ac3", "movie.meta"}},
    // The WMV road names the first piece the muxer did not write.
    {"WmvNothingMuxed", [](S& s) { Wmv(s); s.LeavesNothing("tsmuxer.exe"); }, {kWmvNotCreated}, {"movie.ac3", "movie.meta", "movie.vc1"}},
    {"WmvEmptyClip", [](S& s) { Wmv(s); MuxerWritesTree(s, true, ""); }, {"info (16): Error: {out}Film/BDMV/STREAM/00000.m2ts was not created."}, {"Film", "movie.ac3", "movie.meta", "movie.vc1"}},
    // A folder left by an earlier run is no proof of this one.
    {"WmvEarlierFolderDoesNotPass", [](S& s) { Wmv(s); Stale(s, {"Film/BDMV/index.bdmv", "Film/BDMV/STREAM/00000.m2ts"}); fs::last_write_time(s.Out("Film/BDMV/index.bdmv"), fs::file_time_type::clock::now() - std::chrono::hours(1)); s.LeavesNothing("tsmuxer.exe"); }, {kWmvNotCreated}, {"Film", "movie.ac3", "movie.meta", "movie.vc1"}},
    // Without the WMA decoder no sound is made, so the muxer writes nothing.
    {"WmvMissingFilter", [](S& s) { Wmv(s); s.media.missingFilter = "WAV Dest"; }, {kWmvNotCreated}, {"movie.meta", "movie.vc1"}},
    // A VC-1 Matroska film needs AVCHD or a re-encode: the box says so and no tool runs.
    {"Vc1MatroskaTellsWhatMakesAFilmOfIt", [](S& s) { s.form().chkVob.SetValue(0); s.app.report.strVideoCodec = "vc1"; }, {R"x(VC-1 video (48): This film's video is VC-1: tick "AVCHD (BR/PS3)" to author it as it is, or "MPEG2 Recode" to re-encode it.)x"}, {}, false},
};
// clang-format on

class TransportStreamResult : public ::testing::TestWithParam<ResultRow> {};

TEST_P(TransportStreamResult, IsJudgedByWhatTheMuxerLeft) {
  const ResultRow& c = GetParam();
  S s;
  s.Ready();
  s.form().chkVob.SetValue(1);
  c.setup(s);

  s.Convert();

  EXPECT_EQ(s.Boxes(), s.X(c.boxes));
  EXPECT_EQ(s.Commands().empty(), !c.toolsRun);
  const bool done = c.boxes.empty();
  EXPECT_EQ(s.form().txtProgress.Text, done ? "Conversion done" : "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, done ? 1 : 0);
  Lines left;
  for (const std::string& name : c.left) {
    left.push_back(name[0] == '=' ? name.substr(1) : name);
    EXPECT_EQ(ReadFile(s.Out(left.back())) == "earlier", name[0] == '=') << name;
  }
  EXPECT_EQ(s.OutputNames(), left);
}

INSTANTIATE_TEST_SUITE_P(Rows, TransportStreamResult, ::testing::ValuesIn(kResults), RowName());

// The M2TS road ends like the MP4 one, dropping the subtitle choice and raising the
// window; the AVCHD road keeps the browsed file chosen and the window where it is.
TEST(TransportStreamResult, OnlyAvchdKeepsTheBrowsedSubtitle) {
  for (int road : {0, int(kAvchd)}) {
    S s;
    s.Ready();
    Road(s, road | kBrowsed);
    s.Convert();
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
    EXPECT_EQ(s.form().strSubBrowse.empty(), road == 0);
    EXPECT_EQ(s.ui.topMost.back(), road == 0);
    EXPECT_FALSE(s.form().cmbSubs.Visible);
  }
}

// --- The WMV road ---

TEST(Wmv, RunsTheToolsAndWritesTheVc1JobFile) {
  S s;
  Wmv(s);
  s.Convert();
  EXPECT_EQ(s.Commands(),
            s.X({R"("{app}/TS/asf2vc1.exe" "{src}" "{out}movie.vc1")",
                 R"("{app}/aften/EncWAVtoAC3.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")",
                 kAuthorAvchd}));
  EXPECT_EQ(CrLfLines(s.muxedMeta),
            s.X({"MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 "
                 "--split-size=4GB --vbv-len=500",
                 R"(V_MS/VFW/WVC1, "{out}movie.vc1", fps=23.976)", kAc3}));
  EXPECT_EQ(s.media.graphSources, Lines{s.source});
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done.");
  EXPECT_EQ(s.OutputNames(), Lines{"Film"});
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(s.app.conversionsSucceeded, 1);
}

// A graph whose every poll runs `poll` with the poll's number, the WAV path and the error.
struct ScriptedGraph : AudioGraph {
  using Script = std::function<State(int, const std::string&, std::string*)>;
  ScriptedGraph(Script poll, std::string wav, int* polls, int* stops)
      : poll_(std::move(poll)), wav_(std::move(wav)), polls_(polls), stops_(stops) {}
  State Poll(std::string* error) override { return poll_(++*polls_, wav_, error); }
  void Stop() override { ++*stops_; }
  Script poll_;
  std::string wav_;
  int *polls_, *stops_;
};

void Grow(const std::string& wav, int bytes) {
  std::ofstream(wav, std::ios::binary | std::ios::app) << std::string(bytes, 'w');
}

// Each way the wait for the WAV ends: how long it waited (in the Ui's waits, never real
// time), the text it leaves and what the debug log says.
TEST(Wmv, TheWaitForTheWavEnds) {
  using State = AudioGraph::State;
  struct Case {
    ScriptedGraph::Script poll;
    int polls, waitedMs;
    const char* progress;  // left after the wait
    const char* logged;
  };
  const Case cases[] = {
      {[](int, const std::string& wav, std::string*) { return Grow(wav, 100), State::kEnded; }, 1,
       2000, "100 Bytes WAV written", "end of stream, 100 bytes"},
      {[](int, const std::string&, std::string* error) {
         return *error = "no WMA decoder", State::kFailed;
       },
       1, 2000, "WAV decoding failed: no WMA decoder",
       "WAV decoding failed after 0 bytes: no WMA decoder"},
      {[](int, const std::string&, std::string*) { return State::kRunning; }, 30, kWavQuietLimitMs,
       "WAV decoding stopped: no data for 60 seconds", "got no byte for 60 s"},
      // The classic end: the file holds data and has not grown for one poll.
      {[](int poll, const std::string& wav, std::string*) {
         if (poll <= 3) Grow(wav, 4);
         return State::kRunning;
       },
       4, 8000, "12 Bytes WAV written", "stopped growing at 12 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.logged);
    S s;
    Wmv(s);
    int polls = 0, stops = 0;
    s.media.makeGraph = [&](const std::string& wav) {
      return std::unique_ptr<AudioGraph>(new ScriptedGraph(c.poll, wav, &polls, &stops));
    };
    std::string left;
    s.ui.onRepaint = [&] {
      if (s.form().txtProgress.Text != "Converting to AC3") left = s.form().txtProgress.Text;
      if (s.form().txtProgress.Text == "Converting to AC3") s.ui.onRepaint = nullptr;
    };
    s.Convert();
    EXPECT_EQ(polls, c.polls);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(s.ui.sleptMs, c.waitedMs);
    EXPECT_EQ(left, c.progress);
    const Lines log = s.DebugLogLines();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
      return line.find(c.logged) != std::string::npos;
    }));
  }
}

}  // namespace
}  // namespace quillet::test
