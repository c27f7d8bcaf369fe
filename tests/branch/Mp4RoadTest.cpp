// The MP4 road per audio format, target and kind of source: the extraction, the H.264
// re-encode, the sound chain with the track the user chose, the muxer with its creator
// fallback, the split of a large result, and what earlier runs left in the output folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "convert/ConvertSteps.h"
#include "inspect/StreamControls.h"
#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

using S = ConvertScaffold;
using Argv = std::vector<std::string>;
using Lines = std::vector<std::string>;

// clang-format off
const std::string kExtract = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" )";
const std::string kMp4Box25 = R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=25.000" "{out}Film.mp4"  -tmp "{tmp}")";
const std::string kMp4BoxPar = R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976:par=1920:1440" "{out}Film.mp4"  -tmp "{tmp}")";
const std::string kMp4BoxVideo = R"("{app}/MP4Box/MP4Box.exe"  -fps 23.976 -add "{out}movie.h264" "{out}Film.mp4"  -tmp "{tmp}")";
const std::string kStretch = R"("{app}/Sounds/soundstretch.exe" "{out}movie.wav" "{out}movie2.wav" -pitch=-1 )";
const std::string kBeSweet = R"("{app}/besweet/BeSweet.exe" -core( -input "{out}movie2.wav" -2ch -output "{out}movie.wav" ) -ota( -r 23976 25000 ) )";
const std::string kCreateAudio = R"("{app}/MP4Box/mp4creator.exe" -rate=23.976 -create="{out}movie.aac" "{out}Film.mp4")";
const std::string kCreateVideo = R"("{app}/MP4Box/mp4creator.exe" -rate=23.976  -qtw=1920 -qth=1080 -create="{out}movie.264" "{out}Film.mp4")";
const std::string kAviRaw = R"("{app}/MP4Box/MP4Box.exe" -aviraw video "{out}movie.avi")";
const std::string kCreateVfw = R"("{app}/MP4Box/mp4creator.exe" -rate=23.976  -create="{out}movie_video.264" "{out}Film.mp4")";
const std::string kFaad = R"("{app}/ffmpeg/faad.exe" -d "{out}movie.aac" -o "{out}movie.wav")";
const std::string kMp3ToWav = R"("{app}/FFMpeg/FFmpeg.exe" -i "{out}movie.mp3" -acodec pcm_s16le "{out}movie.wav")";
const std::string kRaw = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie_raw.h264")";
const std::string kMuxError = "MP4box error (16): Error creating {out}Film.mp4, quitting attempt. Temp files (movie.h264 + movie.aac) not deleted.";
const std::string kAacError = "Audio error (16): Error during aac conversion.";
const std::string kDrc = " -drc+ -gain:8 -drc_power:8 ";
const std::string kOpts = ":threads=4:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8,i8x8,i4x4:me=hex:me_range=12:subq=5:chroma_me:mixed_refs:trellis=1:weight_b:b_pyramid:nr=0";
const std::string kEncoder = R"("{app}/Mencoder/Mencoder.exe")";
const std::string kVideoOut = R"( -nosound -noskip -mc 0 -of rawvideo -o "{out}movie.h264" -ovc x264 -x264encopts bitrate=)";
const std::string kSubtitles = R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4)";
// clang-format on

std::string Track(const std::string& id, const std::string& ext) {
  return kExtract + id + R"(:"{out}movie.)" + ext + "\"";
}
std::string VideoAnd(const std::string& ext, const std::string& id = "2") {
  return kExtractVideo + " " + id + R"(:"{out}movie.)" + ext + "\"";
}
std::string Valdec(const std::string& ext, const std::string& spk) {
  return R"("{app}/ac3filter/valdec.exe" "{out}movie.)" + ext + R"(" -wav "{out}movie.wav" -spk:)" +
         spk + " -fmt:0";
}
std::string AacFrom(const std::string& ext, const std::string& channels) {
  return R"("{app}/FFMpeg/FFmpeg.exe" -f )" + ext + R"( -i "{out}movie.)" + ext +
         R"(" -acodec libfaac -ac )" + channels + R"( -ab 224kb "{out}movie.aac")";
}
// The encoder at the given bitrate text with `subtitles` and the rest of the line.
std::string Encode(const std::string& bitrate, const std::string& rest = "-vf harddup",
                   const std::string& sid = "99", const std::string& subtitles = "",
                   const std::string& fps = "31001/1293") {
  return kEncoder + subtitles + kVideoOut + bitrate + " -ofps " + fps + " " + rest +
         R"( "{src}" -mc 0 -noskip -sid )" + sid;
}
std::string Nero(const std::string& exe) {
  return R"("{app}/)" + exe + R"(" -lc -br 320000 -if "{out}movie.wav" -of  "{out}Film.mp4")";
}

// --- The road, one row per source and options ---

enum Options {
  kFF = 1,
  kNorm = 2,
  kNero = 4,
  kWavFails = 8,
  k25 = 16,
  kPar = 32,
  kVfw = 64,
  kVob = 128,
  kAvchd = 256,
  kXvid = 512,
  kH264 = 1024
};

struct RoadRow {
  const char* name;
  int platform;  // 0 PS3 (5.1), 1 Xbox 360, 2 PS3 (2.0)
  AudioType audio;
  int options;
  Lines commands;
  const char* fps = "23.976";  // the source's frame-rate text
};

// clang-format off
const RoadRow kRoad[] = {
    {"Ps3SurroundAc3", 0, kAudioAC3, 0, {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box}},
    {"Xbox360AacIsDecodedToStereo", 1, kAudioAAC, 0, {kExtractVideo, kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"Ps3AacPassesThrough", 0, kAudioAAC, 0, {VideoAnd("aac"), kMp4Box}},
    {"DtsOnStereoPs3", 2, kAudioDTS, 0, {kExtractVideo, kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"NormalisedAc3", 0, kAudioAC3, kNorm, {kExtractVideo, kWavGrab, kNormalize, kAacFromWav51, kMp4Box}},
    {"SafeSyncAc3Surround", 0, kAudioAC3, kFF, {VideoAnd("ac3"), AacFrom("ac3", "6"), kMp4Box}},
    {"SafeSyncAc3Stereo", 2, kAudioAC3, kFF, {VideoAnd("ac3"), AacFrom("ac3", "2"), kMp4Box}},
    // Vorbis is encoded straight from the track, so the track is extracted.
    {"VorbisIsExtractedAndEncoded", 0, kAudioVorbis, 0, {VideoAnd("ogg"), AacFrom("ogg", "6"), kMp4Box}},
    // Safe Sync left ticked after an AC3 source: the AAC track is not encoded onto itself.
    {"SafeSyncLeftOnKeepsAacTrack", 0, kAudioAAC, kFF, {VideoAnd("aac"), kMp4Box}},
    // The Xbox 360 encodes stereo from the WAV; the track Safe Sync took is not the result.
    {"Xbox360SafeSyncAacIsEncodedFromTheWav", 1, kAudioAAC, kFF, {VideoAnd("aac"), kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"NeroEncoderMakesTheMp4AndMP4BoxAddsVideo", 1, kAudioAC3, kNero, {kExtractVideo, kWavGrab, Nero("neroAacEnc.exe"), kMp4BoxVideo}},
    {"BackupDecodeDtsSurround", 0, kAudioDTS, kWavFails, {kExtractVideo, kWavGrab, Track("2", "dts"), Valdec("dts", "6") + kDrc, kAacFromWav51, kMp4Box}},
    {"BackupDecodeAc3Stereo", 2, kAudioAC3, kWavFails, {kExtractVideo, kWavGrab, Track("2", "ac3"), Valdec("ac3", "2") + kDrc, kAacFromWavStereo, kMp4Box}},
    {"BackupDecodeMp3", 2, kAudioMP3, kWavFails, {kExtractVideo, kWavGrab, Track("2", "mp3"), R"("{app}/FFMpeg/FFmpeg.exe" -i "{out}movie.mp3 " -acodec pcm_s16le "{out}movie.wav")", kAacFromWavStereo, kMp4Box}},
    {"BackupDecodeAacOnXbox360", 1, kAudioAAC, kWavFails, {kExtractVideo, kWavGrab, Track("2", "aac"), kFaad, kAacFromWavStereo, kMp4Box}},
    // The muxer gets the pixel aspect of a picture shown wider than it is stored.
    {"AnamorphicSource", 0, kAudioAC3, kPar, {kExtractVideo, kWavGrab, kAacFromWav51, kMp4BoxPar}},
    // A VFW-mode video goes through an AVI into the creator, which adds it alone.
    {"VfwSource", 0, kAudioAC3, kVfw, {Track("1", "avi"), kAviRaw, kWavGrab, kAacFromWav51, kCreateVfw}},
    // Its Vorbis track is never extracted: the MP4 holds the video alone.
    {"VfwVorbisSource", 0, kAudioVorbis, kVfw, {Track("1", "avi"), kAviRaw, AacFrom("ogg", "6"), kCreateVfw}},
    {"TwentyFiveFpsRetimesTheAudioAndTheVideo", 0, kAudioAC3, k25, {kExtractVideo, kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}},
    // The source rate is handed over as a number: what follows the digits is not part of it.
    {"TwentyFiveFpsRateIsTheNumberOfTheRateText", 0, kAudioAC3, k25, {kExtractVideo, kWavGrab, kStretch, R"("{app}/besweet/BeSweet.exe" -core( -input "{out}movie2.wav" -2ch -output "{out}movie.wav" ) -ota( -r 2997 25000 ) )", kAacFromWav51, kMp4Box25}, "29.97 "},
    {"TwentyFiveFpsSourceIsNotRetimed", 0, kAudioAC3, k25, {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box25}, "25.000"},
};
// clang-format on

class Mp4Road : public ::testing::TestWithParam<RoadRow> {};

TEST_P(Mp4Road, RunsEachToolWithItsExactCommandLine) {
  const RoadRow& c = GetParam();
  S s;
  s.Ready(c.audio);
  s.form().txtSFPS.Text = c.fps;
  if (c.options & kPar) s.Anamorphic();
  s.app.report.bVFW = c.options & kVfw;
  if (c.options & kWavFails) s.LeavesNothing("wavgrab.exe");
  if (c.options & kNero) s.MakeTool("neroAacEnc.exe");
  s.form().cmbPlatform.SetListIndex(c.platform);
  s.form().chkNorm.SetValue(c.options & kNorm ? 1 : 0);
  s.form().chkFF.SetValue(c.options & kFF ? 1 : 0);
  s.form().chk25.SetValue(c.options & k25 ? 1 : 0);

  s.Convert();

  EXPECT_EQ(s.Commands(), s.X(c.commands));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.ui.boxes.empty());
  // The working files are gone; the VFW road leaves the creator's input.
  EXPECT_EQ(s.OutputNames(),
            (c.options & kVfw ? Lines{"Film.mp4", "movie_video.264"} : Lines{"Film.mp4"}));
  // The debug log holds the extractor's (VFW: the AVI reader's) and the muxer's lines.
  EXPECT_EQ(s.DebugLogLines(), s.X({c.commands[c.options & kVfw ? 1 : 0], c.commands.back()}));
  EXPECT_EQ(s.app.conversionsStarted, 1);
  EXPECT_EQ(s.app.conversionsSucceeded, 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, Mp4Road, ::testing::ValuesIn(kRoad), RowName());

// The stream the muxer reads declares level 4.1 where the source's said 5.1.
TEST(Mp4Road, MuxedStreamDeclaresLevel41) {
  for (bool vfw : {false, true}) {
    S s;
    s.Ready();
    s.app.report.bVFW = vfw;
    const std::string stream = s.Out(vfw ? "movie_video.h264" : "movie.h264");
    s.runner.On(vfw ? "MP4Box.exe" : "mkvextract.exe", [&](const Argv&) {
      WriteFile(stream, std::string("\x00\x00\x00\x01\x67\x64\x00\x33\xAC", 9));  // High, 5.1
      return std::string();
    });
    int level = -1;
    s.runner.On(vfw ? "mp4creator.exe" : "MP4Box.exe", [&](const Argv&) {
      const std::string muxed = ReadFile(vfw ? s.Out("movie_video.264") : stream);
      if (muxed.size() > 7) level = static_cast<unsigned char>(muxed[7]);
      return std::string();
    });
    s.Convert();
    EXPECT_EQ(level, 0x29) << vfw;
  }
}

// --- The muxer's failures, its creator fallback, and what earlier runs left ---

// The creator writes only the audio, as on a full disk.
void CreatorWritesOnlyTheAudio(S& s) {
  s.LeavesNothing("MP4Box.exe");
  s.runner.On("mp4creator.exe", [&s](const Argv& a) {
    if (a[2] == "-create=" + s.Out("movie.aac")) WriteFile(a.back(), "[audio alone]");
    return std::string();
  });
}
void NoMP4Box(S& s) {
  s.LeavesNothing("MP4Box.exe");
}
void Earlier(S& s) {
  WriteFile(s.Out("Film.mp4"), "earlier");
}

// clang-format off
const Scenario kMux[] = {
    {"FailedMP4BoxFallsBackToTheCreator", NoMP4Box, {kExtractVideo, kWavGrab, kAacFromWav51, kMp4BoxPar, kCreateAudio, kCreateVideo}, {}, {"Film.mp4:[track {out}movie.aac][track {out}movie.264]"}},
    {"MuxerThatThrowsIsAFailedStatement", [](S& s) { s.runner.On("MP4Box.exe", [](const Argv&) -> std::string { throw std::runtime_error("x"); }); }, {}, {}, {"Film.mp4:[track {out}movie.aac][track {out}movie.264]"}},
    {"CreatorThatAddsOnlyTheAudioIsAFailure", CreatorWritesOnlyTheAudio, {}, {kMuxError}, {"movie.264", "movie.aac"}},
    {"CreatorThatAddsOnlyTheAudioPutsTheEarlierResultBack", [](S& s) { CreatorWritesOnlyTheAudio(s); Earlier(s); }, {}, {kMuxError}, {"Film.mp4:earlier", "movie.264", "movie.aac"}},
    // No video comes out of the source: the creator's result has the audio alone.
    {"ResultWithoutVideoIsAFailure", [](S& s) { NoMP4Box(s); s.LeavesNothing("mkvextract.exe"); }, {kExtractVideo, kWavGrab, kAacFromWav51, kMp4BoxPar, kCreateAudio, kCreateVideo}, {kMuxError}, {"movie.aac"}},
    {"VfwResultWithoutVideoIsAFailure", [](S& s) { NoMP4Box(s); s.LeavesNothing("mkvextract.exe"); s.app.report.bVFW = true; }, {}, {kMuxError}, {"movie.aac"}},
    // The Nero encoder leaves the audio alone in the MP4; the creator adds only the video.
    {"NeroRoadFallbackAddsTheVideo", [](S& s) { NoMP4Box(s); s.MakeTool("neroAacEnc_SSE2.exe"); }, {kExtractVideo, kWavGrab, Nero("neroAacEnc_SSE2.exe"), R"("{app}/MP4Box/MP4Box.exe"  -fps 23.976 -add "{out}movie.h264:par=1920:1440" "{out}Film.mp4"  -tmp "{tmp}")", kCreateVideo}, {}, {"Film.mp4:data of {out}movie.wav[track {out}movie.264]"}},
    {"NeroRoadWhoseCreatorFailsIsAFailure", [](S& s) { NoMP4Box(s); s.MakeTool("neroAacEnc_SSE2.exe"); s.LeavesNothing("mp4creator.exe"); }, {}, {kMuxError}, {"movie.264"}},
    // A failed encode is named, and not hidden by an AAC track Safe Sync extracted.
    {"FailedAacEncode", [](S& s) { s.LeavesNothing("FFmpeg.exe"); }, {}, {kAacError, kMuxError}, {"movie.264"}},
    {"FailedAacEncodeOfXbox360SafeSync", [](S& s) { s.Ready(kAudioAAC); s.form().cmbPlatform.SetListIndex(1); s.form().chkFF.SetValue(1); s.LeavesNothing("FFmpeg.exe"); }, {}, {kAacError, kMuxError}, {"movie.264"}},
    // What a failed earlier run left is not taken for this run's output.
    {"StaleWorkingFilesAreNotMuxed", [](S& s) { for (const char* name : {"movie.h264", "movie.aac", "movie.wav"}) WriteFile(s.Out(name), "stale"); Earlier(s); s.LeavesNothing("mkvextract.exe"); s.LeavesNothing("wavgrab.exe"); }, {}, {kAacError, kMuxError}, {"Film.mp4:earlier"}},
    // A failed fallback keeps the working files, and loses nothing the folder held.
    {"FailedFallbackLosesNothing", [](S& s) { NoMP4Box(s); s.LeavesNothing("mp4creator.exe"); for (const char* name : {"Film.mp4.earlier", "movie.srt", "movie.mp3", "movie.ogg"}) WriteFile(s.Out(name), "mine"); }, {}, {kMuxError}, {"Film.mp4.earlier:mine", "movie.264", "movie.aac", "movie.mp3:mine", "movie.ogg:mine", "movie.srt:mine"}},
    {"NewResultReplacesAnEarlierOne", Earlier, {}, {}, {"Film.mp4:[track {out}movie.aac][track {out}movie.h264]"}},
};
// clang-format on

class Mp4Mux : public ::testing::TestWithParam<Scenario> {};

TEST_P(Mp4Mux, SettlesTheResult) {
  S s;
  s.Ready();
  s.Anamorphic();
  s.Check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, Mp4Mux, ::testing::ValuesIn(kMux), RowName());

// A large result is split below the FAT32 limit when the option asks for it.
TEST(Mp4Mux, LargeResultIsSplit) {
  struct Case {
    int64_t bytes;
    int option;
    const char* split;  // "" when not split
  };
  for (const Case& c : {Case{6000000000, 1, "3000000"}, Case{4190000000, 1, "2095000"},
                        Case{4189999499, 1, ""}, Case{6000000000, 0, ""}}) {
    S s;
    s.Ready();
    s.runner.On("MP4Box.exe", [&](const Argv& a) {
      if (a[1] != "-add") return std::string();
      WriteFile(s.Out("Film.mp4"), "mp4");
      std::filesystem::resize_file(s.Out("Film.mp4"), c.bytes);
      return std::string();
    });
    s.form().Check1.SetValue(c.option);
    s.Convert();
    const std::string split = R"("{app}/MP4Box/MP4Box.exe" -splits )" + std::string(c.split);
    EXPECT_EQ(s.Commands().back(), s.X(*c.split ? split + R"( "{out}Film.mp4")" : kMp4Box));
    EXPECT_EQ(s.ui.sleptMs, *c.split ? 1010 : 1000);
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  }
}

// --- The extraction step alone, for every output the Matroska pipeline feeds ---

struct ExtractionRow {
  const char* name;
  AudioType audio;
  int options;
  Lines commands;
  int width = 1920, height = 1080;
};

// clang-format off
const ExtractionRow kExtraction[] = {
    {"VobSafeSyncTakesTheAudioOnly", kAudioDTS, kVob | kFF, {Track("2", "dts")}},
    {"VobAc3TakesTheVideoOnly", kAudioAC3, kVob, {kExtractVideo}},
    {"VobAc3NormalisedTakesBoth", kAudioAC3, kVob | kNorm, {VideoAnd("ac3")}},
    {"VobDtsTakesBoth", kAudioDTS, kVob, {VideoAnd("dts")}},
    {"VobFastMuxAc3IsNotExtracted", kAudioAC3, kVob | kFF, {}},
    {"AvchdTakesTheRawVideoOnly", kAudioDTS, kAvchd, {kRaw}},
    {"AvchdFastMuxTakesBoth", kAudioDTS, kAvchd | kFF, {VideoAnd("dts")}},
    // AVCHD decodes a Vorbis track from the source itself.
    {"AvchdVorbisTakesTheRawVideoOnly", kAudioVorbis, kAvchd, {kRaw}},
    {"AvchdFastMuxVorbisIsNotExtracted", kAudioVorbis, kAvchd | kFF, {}},
    {"Mp4VorbisTakesBoth", kAudioVorbis, 0, {VideoAnd("ogg")}},
    {"XvidReadsTheSourceItself", kAudioAC3, kXvid, {}},
    // The encoder pads a letterboxed HD picture to the full frame, for AVCHD only.
    {"AvchdPadsLetterboxedHd", kAudioAC3, kAvchd | kH264, {Encode("6000" + kOpts, "-vf harddup,expand=1920:1080")}, 1920, 800},
    {"AvchdPadsLetterboxed720", kAudioAC3, kAvchd | kH264, {Encode("6000" + kOpts, "-vf harddup,expand=1280:720")}, 1280, 544},
    {"AvchdFullFrameIsNotPadded", kAudioAC3, kAvchd | kH264, {Encode("6000" + kOpts)}},
    {"Mp4IsNotPadded", kAudioAC3, kH264, {Encode("6000" + kOpts)}, 1920, 800},
};
// clang-format on

class Extraction : public ::testing::TestWithParam<ExtractionRow> {};

TEST_P(Extraction, TakesTheStreamsTheOutputNeeds) {
  const ExtractionRow& c = GetParam();
  S s;
  s.Ready(c.audio);
  s.app.report.intPixelWidth = static_cast<int16_t>(c.width);
  s.app.report.intPixelHeight = static_cast<int16_t>(c.height);
  s.form().chkVob.SetValue(c.options & kVob ? 1 : 0);
  s.form().chkAVCHD.SetValue(c.options & kAvchd ? 1 : 0);
  s.form().chkNorm.SetValue(c.options & kNorm ? 1 : 0);
  s.form().chkFF.SetValue(c.options & kFF ? 1 : 0);
  if (c.options & (kXvid | kH264)) s.Recode(c.options & kXvid ? 2 : 1);
  ConvertRun run;
  run.folder = s.outputDir.withSep();
  OpenConversion(s.app, run);

  ExtractAndRecode(s.app, run);

  EXPECT_EQ(s.Commands(), s.X(c.commands));
}

INSTANTIATE_TEST_SUITE_P(Rows, Extraction, ::testing::ValuesIn(kExtraction), RowName());

// --- The H.264 re-encode of an AC3 source of 4,000,000 kB and 5400 s ---

// The HQ encoder's passes, with the stored subtitle options but without "-bime".
std::string HqPass(const std::string& pass) {
  return Encode("7008:pass=" + pass + kOpts, "-vf  harddup", "0",
                R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 -subfont-text-scale 3 -x)");
}
// The encoder's lines, then the PS3 (5.1) audio from the WAV tool and the muxer.
Lines WithAc3(Lines encoder) {
  encoder.insert(encoder.end(), {kWavGrab, kAacFromWav51, kMp4Box});
  return encoder;
}
void FitTo(S& s, int size) {
  s.form().chkDVD.SetValue(1);
  s.form().cmbSize.SetListIndex(size);
}

struct RecodeRow {
  const char* name;
  std::function<void(S&)> setup;
  Lines commands;
};

// clang-format off
const RecodeRow kRecode[] = {
    // 0.98 x (4000000 - 138240) x 10 / 5400 = 7008.4
    {"SourceSizeGivesTheBitrate", [](S&) {}, WithAc3({Encode("7008" + kOpts)})},
    // DVD5: 0.99 x (34500000 - 138240) / 5400 = 6299.7; Blu-ray is capped; no size is DVD5.
    {"FitToDvd5", [](S& s) { FitTo(s, 0); }, WithAc3({Encode("6300" + kOpts)})},
    {"FitToBluRay", [](S& s) { FitTo(s, 2); }, WithAc3({Encode("25000" + kOpts)})},
    {"FitToWithoutASize", [](S& s) { FitTo(s, -1); }, WithAc3({Encode("6300" + kOpts)})},
    {"NoDurationGives8000", [](S& s) { s.app.report.lngDuration = 0; }, WithAc3({Encode("8000" + kOpts)})},
    {"TinySourceGives6000", [](S& s) { s.MakeSource(1000); }, WithAc3({Encode("6000" + kOpts)})},
    {"HqRunsTwoPassesWithoutBime", [](S& s) { s.Recode(3); s.form().strSubOpts = "-subfont-text-scale 3 -bime:x"; s.ChooseSubtitle(0); }, WithAc3({HqPass("1:turbo=1"), HqPass("2")})},
    {"SourceSubtitleIsChosenByItsListIndex", [](S& s) { s.ChooseSubtitle(1); }, WithAc3({Encode("7008" + kOpts, "-vf  harddup", "1", kSubtitles)})},
    // The subtitle-remuxed copy: its only subtitle track is the external file.
    {"ExternalSubtitleOfTheRemuxedCopy", [](S& s) { s.form().bSRT = true; s.form().strSubBrowse = "/films/Film.srt"; s.form().chkSubs.SetValue(1); }, WithAc3({Encode("7008" + kOpts, "-vf harddup", "0", kSubtitles)})},
    // The encoder's rate is a fraction; the muxer gets the source's rate text again.
    {"FrameRateOfTheEncoderIsRestoredForTheMuxer", [](S& s) { s.form().txtSFPS.Text = "29.970"; }, {Encode("7008" + kOpts, "-vf harddup", "99", "", "30000/1001"), kWavGrab, kAacFromWav51, R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=29.970" "{out}Film.mp4"  -tmp "{tmp}")"}},
    {"Ps3AacTrackIsExtractedAfterTheEncode", [](S& s) { s.form().SelectOption1(kAudioAAC); }, {Encode("7008" + kOpts), Track("2", "aac"), kMp4Box}},
    // The Xbox 360's stereo encode of the AAC track is not overwritten by the source's track.
    {"Xbox360AacKeepsItsStereoEncode", [](S& s) { s.form().SelectOption1(kAudioAAC); s.form().cmbPlatform.SetListIndex(1); }, {Encode("7008" + kOpts), kWavGrab, kAacFromWavStereo, kMp4Box}},
    // Stored encoder options with "bime" are replaced by the program's; others are kept.
    {"StoredEncoderOptionsWithBimeAreReplaced", [](S& s) { s.form().strH264Opts = ":frameref=3:bime=1"; }, WithAc3({Encode("7008" + kOpts)})},
    {"StoredEncoderOptionsWithoutBimeAreKept", [](S& s) { s.form().strH264Opts = ":frameref=4"; }, WithAc3({Encode("7008:frameref=4")})},
};
// clang-format on

class H264Recode : public ::testing::TestWithParam<RecodeRow> {};

TEST_P(H264Recode, RunsTheEncoderThenTheAudioAndTheMuxer) {
  S s;
  s.Ready(kAudioAC3, 4000000000);
  s.Recode(1);
  GetParam().setup(s);
  const int counted = s.form().bSRT ? 0 : 1;  // the copy is counted by the run that made it

  s.Convert();

  const Lines expected = s.X(GetParam().commands);
  EXPECT_EQ(s.Commands(), expected);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  // The debug log holds the encoder's last command line and the muxer's.
  const size_t lastPass = s.form().cmdConv.ListIndex == 3 ? 1 : 0;
  EXPECT_EQ(s.DebugLogLines(), (Lines{expected[lastPass], expected.back()}));
  EXPECT_EQ(s.app.conversionsStarted, counted);
}

INSTANTIATE_TEST_SUITE_P(Rows, H264Recode, ::testing::ValuesIn(kRecode), RowName());

// --- The audio track the user chose in a film of two, the first flagged default ---

struct ChoiceRow {
  const char* name;
  AudioType first;
  int firstChannels;
  AudioType second;
  int secondChannels;
  int chosenRow;  // the row the user clicks in the audio list
  int platform;
  int options;  // kVob: the transport stream; k25
  Lines commands;
};

// clang-format off
const ChoiceRow kChoices[] = {
    // The chosen track is the one the WAV tool decodes: the command lines are unchanged.
    {"DefaultAc3ChosenKeepsTheWavTool", kAudioAC3, 6, kAudioAAC, 2, 0, 0, 0, {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box}},
    {"DefaultAacChosenPassesThrough", kAudioAAC, 2, kAudioAC3, 6, 0, 0, 0, {VideoAnd("aac"), kMp4Box}},
    // The second track: extracted and decoded by the decoder that names its input.
    {"SecondAc3ChosenIsExtractedAndDecoded", kAudioAAC, 2, kAudioAC3, 6, 1, 0, 0, {kExtractVideo, Track("3", "ac3"), Valdec("ac3", "0"), kAacFromWav51, kMp4Box}},
    {"SecondDtsChosenOnStereoPs3", kAudioAC3, 6, kAudioDTS, 6, 1, 2, 0, {kExtractVideo, Track("3", "dts"), Valdec("dts", "2"), kAacFromWavStereo, kMp4Box}},
    {"SecondAacChosenOnXbox360", kAudioAC3, 6, kAudioAAC, 6, 1, 1, 0, {kExtractVideo, Track("3", "aac"), kFaad, kAacFromWavStereo, kMp4Box}},
    // The transport stream: the chosen MP3 track the extraction took out is decoded.
    {"M2tsDefaultMp3KeepsTheWavTool", kAudioMP3, 2, kAudioAC3, 6, 0, 0, kVob, {VideoAnd("mp3"), kHeaderTool, kWavGrab, kAc3At640, kMuxM2ts}},
    {"M2tsSecondMp3IsDecodedFromTheExtractedTrack", kAudioAC3, 6, kAudioMP3, 2, 1, 0, kVob, {VideoAnd("mp3", "3"), kHeaderTool, kMp3ToWav, kAc3At640, kMuxM2ts}},
    // The stereo PS3 gets stereo: a 5.1 AAC track is mixed down, a stereo one passes.
    {"Ps3StereoMixesDownSurroundAac", kAudioAAC, 6, kAudioAC3, 6, 0, 2, 0, {VideoAnd("aac"), kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"Ps3StereoPassesStereoAac", kAudioAAC, 2, kAudioAC3, 6, 0, 2, 0, {VideoAnd("aac"), kMp4Box}},
    // At 25 frames per second every sound is retimed with the picture.
    {"TwentyFiveFpsRetimesPassedAac", kAudioAAC, 6, kAudioAC3, 6, 0, 0, k25, {VideoAnd("aac"), kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}},
    {"TwentyFiveFpsRetimesVorbis", kAudioVorbis, 2, kAudioAC3, 6, 0, 0, k25, {VideoAnd("ogg"), kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}},
};
// clang-format on

class ChosenAudio : public ::testing::TestWithParam<ChoiceRow> {};

TEST_P(ChosenAudio, DecodesTheTrackTheUserChose) {
  const ChoiceRow& c = GetParam();
  S s;
  s.Ready(c.first);
  TrackTable& audio = s.app.report.strAudioTracks;
  audio.Reset();
  audio.Add({"jpn", std::to_string(c.first), "2", true, c.firstChannels});
  audio.Add({"eng", std::to_string(c.second), "3", false, c.secondChannels});
  ShowTrackReport(s.app);
  s.form().cmbAudio.SetListIndex(c.chosenRow);
  s.form().cmbPlatform.SetListIndex(c.platform);
  s.form().chkVob.SetValue(c.options & kVob ? 1 : 0);
  s.form().chk25.SetValue(c.options & k25 ? 1 : 0);

  s.Convert();

  EXPECT_EQ(s.Commands(), s.X(c.commands));
  EXPECT_TRUE(s.ui.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, ChosenAudio, ::testing::ValuesIn(kChoices), RowName());

// A track of a format the program does not know is refused before any tool runs.
TEST(ChosenAudio, UnknownFormatIsRefused) {
  S s;
  s.Ready();
  s.app.report.strAudioTracks.Reset();
  s.app.report.strAudioTracks.Add({"jpn", "0", "2"});
  s.app.report.strAudioTracks.Add({"eng", "", "3"});  // e.g. FLAC
  ShowTrackReport(s.app);
  s.form().cmbAudio.SetListIndex(1);

  s.Convert();

  EXPECT_TRUE(s.Commands().empty());
  EXPECT_EQ(s.Boxes(), Lines{"Audio error (16): The chosen audio track is in a format Quillet "
                             "cannot convert. Choose another audio track in the audio list."});
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
}

}  // namespace
}  // namespace quillet::test
