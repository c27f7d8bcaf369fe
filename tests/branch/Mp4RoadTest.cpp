// The MP4 road per sound format, target and source: extraction, H.264 re-encode, the chosen
// track's sound chain, the muxer and its creator fallback, the split of a large result.

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "inspect/StreamControls.h"
#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

using S = ConvertScaffold;
using Argv = std::vector<std::string>;
using Lines = std::vector<std::string>;

// clang-format off
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
const std::string kMuxError = "MP4box error (16): Error creating {out}Film.mp4, quitting attempt. Temp files (movie.h264 + movie.aac) not deleted.";
const std::string kAacError = "Audio error (16): Error during aac conversion.";
const std::string kDrc = " -drc+ -gain:8 -drc_power:8 ";
const std::string kSubtitles = kBurnIn + "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4";
// clang-format on

std::string Track(const std::string& id, const std::string& ext) {
  return kExtract + id + R"(:"{out}movie.)" + ext + "\"";
}
std::string AacFrom(const std::string& ext, const std::string& channels) {
  return R"("{app}/FFMpeg/FFmpeg.exe" -f )" + ext + R"( -i "{out}movie.)" + ext +
         R"(" -acodec libfaac -ac )" + channels + R"( -ab 224kb "{out}movie.aac")";
}
std::string Nero(const std::string& exe) {
  return R"("{app}/)" + exe + R"(" -lc -br 320000 -if "{out}movie.wav" -of  "{out}Film.mp4")";
}

// The HQ encoder's passes, with the stored subtitle options but without "-bime".
std::string HqPass(const std::string& pass) {
  return H264("7008:pass=" + pass + kH264Opts, "-vf  harddup", "0",
              kBurnIn + "-subfont-text-scale 3 -x");
}
// The encoder's lines, then the PS3 (5.1) audio from the WAV tool and the muxer.
Lines WithAc3(Lines encoder) {
  encoder.insert(encoder.end(), {kWavGrab, kAacFromWav51, kMp4Box});
  return encoder;
}
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
// A film of two audio tracks, the first (as inspected) flagged default, and the row the
// user clicks in the audio list.
Setup TwoTracks(int firstChannels, AudioType second, int secondChannels, int chosen) {
  return [=](S& s) {
    TrackTable& audio = s.app.report.strAudioTracks;
    audio.rows[0].isDefault = true;
    audio.rows[0].channels = firstChannels;
    audio.Add({"eng", second < 0 ? "" : std::to_string(second), "3", false, secondChannels});
    ShowTrackReport(s.app);
    s.form().cmbAudio.SetListIndex(chosen);
  };
}

// clang-format off
// The road per source and options.
const Scenario kRoad[] = {
    {"Ps3SurroundAc3", Opts(kAudioAC3), {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
    {"Xbox360AacIsDecodedToStereo", Opts(kAudioAAC, kXbox), {kExtractVideo, kWavGrab, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    {"Ps3AacPassesThrough", Opts(kAudioAAC), {VideoAnd("aac"), kMp4Box}, {}, {"Film.mp4"}},
    {"DtsOnStereoPs3", Opts(kAudioDTS, kStereo), {kExtractVideo, kWavGrab, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    {"NormalisedAc3", Opts(kAudioAC3, kNorm), {kExtractVideo, kWavGrab, kNormalize, kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
    {"SafeSyncAc3Surround", Opts(kAudioAC3, kFF), {VideoAnd("ac3"), AacFrom("ac3", "6"), kMp4Box}, {}, {"Film.mp4"}},
    // Vorbis is encoded straight from the track, so the track is extracted.
    {"VorbisIsExtractedAndEncoded", Opts(kAudioVorbis), {VideoAnd("ogg"), AacFrom("ogg", "6"), kMp4Box}, {}, {"Film.mp4"}},
    // Safe Sync left ticked after an AC3 source: the AAC track is not encoded onto itself.
    {"SafeSyncLeftOnKeepsAacTrack", Opts(kAudioAAC, kFF), {VideoAnd("aac"), kMp4Box}, {}, {"Film.mp4"}},
    // The Xbox 360 encodes stereo from the WAV; the track Safe Sync took is not the result.
    {"Xbox360SafeSyncAacIsEncodedFromTheWav", Opts(kAudioAAC, kXbox | kFF), {VideoAnd("aac"), kWavGrab, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    {"NeroEncoderMakesTheMp4AndMP4BoxAddsVideo", Opts(kAudioAC3, kXbox, [](S& s) { s.MakeTool("neroAacEnc.exe"); }), {kExtractVideo, kWavGrab, Nero("neroAacEnc.exe"), kMp4BoxVideo}, {}, {"Film.mp4"}},
    {"BackupDecodeDtsSurround", Opts(kAudioDTS, 0, [](S& s) { s.LeavesNothing("wavgrab.exe"); }), {kExtractVideo, kWavGrab, Track("2", "dts"), Valdec("dts", "6") + kDrc, kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
    {"BackupDecodeAc3Stereo", Opts(kAudioAC3, kStereo, [](S& s) { s.LeavesNothing("wavgrab.exe"); }), {kExtractVideo, kWavGrab, Track("2", "ac3"), Valdec("ac3", "2") + kDrc, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    {"BackupDecodeMp3", Opts(kAudioMP3, kStereo, [](S& s) { s.LeavesNothing("wavgrab.exe"); }), {kExtractVideo, kWavGrab, Track("2", "mp3"), R"("{app}/FFMpeg/FFmpeg.exe" -i "{out}movie.mp3 " -acodec pcm_s16le "{out}movie.wav")", kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    {"BackupDecodeAacOnXbox360", Opts(kAudioAAC, kXbox, [](S& s) { s.LeavesNothing("wavgrab.exe"); }), {kExtractVideo, kWavGrab, Track("2", "aac"), kFaad, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    // The muxer gets the pixel aspect of a picture shown wider than it is stored.
    {"AnamorphicSource", Opts(kAudioAC3, kPar), {kExtractVideo, kWavGrab, kAacFromWav51, kMp4BoxPar}, {}, {"Film.mp4"}},
    // A VFW-mode video goes through an AVI into the creator, which adds it alone.
    {"VfwSource", Opts(kAudioAC3, kVfw), {Track("1", "avi"), kAviRaw, kWavGrab, kAacFromWav51, kCreateVfw}, {}, {"Film.mp4", "movie_video.264"}},
    // Its Vorbis track is never extracted: the MP4 holds the video alone.
    {"VfwVorbisSource", Opts(kAudioVorbis, kVfw), {Track("1", "avi"), kAviRaw, AacFrom("ogg", "6"), kCreateVfw}, {}, {"Film.mp4", "movie_video.264"}},
    {"TwentyFiveFpsRetimesTheAudioAndTheVideo", Opts(kAudioAC3, k25), {kExtractVideo, kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}, {}, {"Film.mp4"}},
    // The source rate is handed over as a number: what follows the digits is not part of it.
    {"TwentyFiveFpsRateIsTheNumberOfTheRateText", Opts(kAudioAC3, k25, [](S& s) { s.form().txtSFPS.Text = "29.97 "; }), {kExtractVideo, kWavGrab, kStretch, R"("{app}/besweet/BeSweet.exe" -core( -input "{out}movie2.wav" -2ch -output "{out}movie.wav" ) -ota( -r 2997 25000 ) )", kAacFromWav51, kMp4Box25}, {}, {"Film.mp4"}},
    {"TwentyFiveFpsSourceIsNotRetimed", Opts(kAudioAC3, k25, [](S& s) { s.form().txtSFPS.Text = "25.000"; }), {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box25}, {}, {"Film.mp4"}},
};

// The muxer's failures, its creator fallback, and what earlier runs left.
const Scenario kMux[] = {
    {"FailedMP4BoxFallsBackToTheCreator", Opts(kAudioAC3, kPar, NoMP4Box), {kExtractVideo, kWavGrab, kAacFromWav51, kMp4BoxPar, kCreateAudio, kCreateVideo}, {}, {"Film.mp4:[track {out}movie.aac][track {out}movie.264]"}},
    {"MuxerThatThrowsIsAFailedStatement", Opts(kAudioAC3, kPar, [](S& s) { s.runner.On("MP4Box.exe", [](const Argv&) -> std::string { throw std::runtime_error("x"); }); }), {}, {}, {"Film.mp4:[track {out}movie.aac][track {out}movie.264]"}},
    {"CreatorThatAddsOnlyTheAudioIsAFailure", Opts(kAudioAC3, kPar, CreatorWritesOnlyTheAudio), {}, {kMuxError}, {"movie.264", "movie.aac"}},
    {"CreatorThatAddsOnlyTheAudioPutsTheEarlierResultBack", Opts(kAudioAC3, kPar, [](S& s) { CreatorWritesOnlyTheAudio(s); s.Earlier({"Film.mp4"}); }), {}, {kMuxError}, {"Film.mp4:earlier", "movie.264", "movie.aac"}},
    // No video comes out of the source: the creator's result has the audio alone.
    {"ResultWithoutVideoIsAFailure", Opts(kAudioAC3, kPar, [](S& s) { NoMP4Box(s); s.LeavesNothing("mkvextract.exe"); }), {kExtractVideo, kWavGrab, kAacFromWav51, kMp4BoxPar, kCreateAudio, kCreateVideo}, {kMuxError}, {"movie.aac"}},
    {"VfwResultWithoutVideoIsAFailure", Opts(kAudioAC3, kPar, [](S& s) { NoMP4Box(s); s.LeavesNothing("mkvextract.exe"); s.app.report.bVFW = true; }), {}, {kMuxError}, {"movie.aac"}},
    // The Nero encoder leaves the audio alone in the MP4; the creator adds only the video.
    {"NeroRoadFallbackAddsTheVideo", Opts(kAudioAC3, kPar, [](S& s) { NoMP4Box(s); s.MakeTool("neroAacEnc_SSE2.exe"); }), {kExtractVideo, kWavGrab, Nero("neroAacEnc_SSE2.exe"), R"("{app}/MP4Box/MP4Box.exe"  -fps 23.976 -add "{out}movie.h264:par=1920:1440" "{out}Film.mp4"  -tmp "{tmp}")", kCreateVideo}, {}, {"Film.mp4:data of {out}movie.wav[track {out}movie.264]"}},
    {"NeroRoadWhoseCreatorFailsIsAFailure", Opts(kAudioAC3, kPar, [](S& s) { NoMP4Box(s); s.MakeTool("neroAacEnc_SSE2.exe"); s.LeavesNothing("mp4creator.exe"); }), {}, {kMuxError}, {"movie.264"}},
    // A failed encode is named, and not hidden by an AAC track Safe Sync extracted.
    {"FailedAacEncode", Opts(kAudioAC3, kPar, [](S& s) { s.LeavesNothing("FFmpeg.exe"); }), {}, {kAacError, kMuxError}, {"movie.264"}},
    {"FailedAacEncodeOfXbox360SafeSync", Opts(kAudioAC3, kPar, [](S& s) { s.Ready(kAudioAAC); s.form().cmbPlatform.SetListIndex(1); s.form().chkFF.SetValue(1); s.LeavesNothing("FFmpeg.exe"); }), {}, {kAacError, kMuxError}, {"movie.264"}},
    // What a failed earlier run left is not taken for this run's output.
    {"StaleWorkingFilesAreNotMuxed", Opts(kAudioAC3, kPar, [](S& s) { for (const char* name : {"movie.h264", "movie.aac", "movie.wav"}) WriteFile(s.Out(name), "stale"); s.Earlier({"Film.mp4"}); s.LeavesNothing("mkvextract.exe"); s.LeavesNothing("wavgrab.exe"); }), {}, {kAacError, kMuxError}, {"Film.mp4:earlier"}},
    // A failed fallback keeps the working files, and loses nothing the folder held.
    {"FailedFallbackLosesNothing", Opts(kAudioAC3, kPar, [](S& s) { NoMP4Box(s); s.LeavesNothing("mp4creator.exe"); for (const char* name : {"Film.mp4.earlier", "movie.srt", "movie.mp3", "movie.ogg"}) WriteFile(s.Out(name), "mine"); }), {}, {kMuxError}, {"Film.mp4.earlier:mine", "movie.264", "movie.aac", "movie.mp3:mine", "movie.ogg:mine", "movie.srt:mine"}},
    {"NewResultReplacesAnEarlierOne", Opts(kAudioAC3, kPar, [](S& s) { s.Earlier({"Film.mp4"}); }), {}, {}, {"Film.mp4:[track {out}movie.aac][track {out}movie.h264]"}},
};

// The H.264 re-encode of an AC3 source of 4,000,000 kB and 5400 s.
const Scenario kRecode[] = {
    // 0.98 x (4000000 - 138240) x 10 / 5400 = 7008.4
    {"SourceSizeGivesTheBitrate", Opts(kAudioAC3, kH264, nullptr, 4000000000), WithAc3({H264("7008" + kH264Opts)}), {}, {"Film.mp4"}},
    // DVD5: 0.99 x (34500000 - 138240) / 5400 = 6299.7; Blu-ray is capped.
    {"FitToDvd5", Opts(kAudioAC3, kH264, [](S& s) { s.FitTo(0); }, 4000000000), WithAc3({H264("6300" + kH264Opts)}), {}, {"Film.mp4"}},
    {"FitToBluRay", Opts(kAudioAC3, kH264, [](S& s) { s.FitTo(2); }, 4000000000), WithAc3({H264("25000" + kH264Opts)}), {}, {"Film.mp4"}},
    {"NoDurationGives8000", Opts(kAudioAC3, kH264, [](S& s) { s.app.report.lngDuration = 0; }, 4000000000), WithAc3({H264("8000" + kH264Opts)}), {}, {"Film.mp4"}},
    {"TinySourceGives6000", Opts(kAudioAC3, kH264, [](S& s) { s.MakeSource(1000); }, 4000000000), WithAc3({H264("6000" + kH264Opts)}), {}, {"Film.mp4"}},
    {"HqRunsTwoPassesWithoutBime", Opts(kAudioAC3, kH264, [](S& s) { s.Recode(3); s.form().strSubOpts = "-subfont-text-scale 3 -bime:x"; s.ChooseSubtitle(0); }, 4000000000), WithAc3({HqPass("1:turbo=1"), HqPass("2")}), {}, {"Film.mp4"}},
    {"SourceSubtitleIsChosenByItsListIndex", Opts(kAudioAC3, kH264, [](S& s) { s.ChooseSubtitle(1); }, 4000000000), WithAc3({H264("7008" + kH264Opts, "-vf  harddup", "1", kSubtitles)}), {}, {"Film.mp4"}},
    // The subtitle-remuxed copy: its only subtitle track is the external file.
    {"ExternalSubtitleOfTheRemuxedCopy", Opts(kAudioAC3, kH264, [](S& s) { s.form().bSRT = true; s.form().strSubBrowse = "/films/Film.srt"; s.form().chkSubs.SetValue(1); }, 4000000000), WithAc3({H264("7008" + kH264Opts, "-vf harddup", "0", kSubtitles)}), {}, {"Film.mp4"}},
    // The encoder's rate is a fraction; the muxer gets the source's rate text again.
    {"FrameRateOfTheEncoderIsRestoredForTheMuxer", Opts(kAudioAC3, kH264, [](S& s) { s.form().txtSFPS.Text = "29.970"; }, 4000000000), {H264("7008" + kH264Opts, "-vf harddup", "99", "", "30000/1001"), kWavGrab, kAacFromWav51, R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=29.970" "{out}Film.mp4"  -tmp "{tmp}")"}, {}, {"Film.mp4"}},
    {"Ps3AacTrackIsExtractedAfterTheEncode", Opts(kAudioAC3, kH264, [](S& s) { s.form().SelectOption1(kAudioAAC); }, 4000000000), {H264("7008" + kH264Opts), Track("2", "aac"), kMp4Box}, {}, {"Film.mp4"}},
    // The Xbox 360's stereo encode of the AAC track is not overwritten by the source's track.
    {"Xbox360AacKeepsItsStereoEncode", Opts(kAudioAC3, kH264, [](S& s) { s.form().SelectOption1(kAudioAAC); s.form().cmbPlatform.SetListIndex(1); }, 4000000000), {H264("7008" + kH264Opts), kWavGrab, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    // Stored encoder options with "bime" are replaced by the program's; others are kept.
    {"StoredEncoderOptionsWithBimeAreReplaced", Opts(kAudioAC3, kH264, [](S& s) { s.form().strH264Opts = ":frameref=3:bime=1"; }, 4000000000), WithAc3({H264("7008" + kH264Opts)}), {}, {"Film.mp4"}},
    {"StoredEncoderOptionsWithoutBimeAreKept", Opts(kAudioAC3, kH264, [](S& s) { s.form().strH264Opts = ":frameref=4"; }, 4000000000), WithAc3({H264("7008:frameref=4")}), {}, {"Film.mp4"}},
};

// The audio track the user chose in a film of two.
const Scenario kChoices[] = {
    // The chosen track is the one the WAV tool decodes: the command lines are unchanged.
    {"DefaultAc3ChosenKeepsTheWavTool", Opts(kAudioAC3, 0, TwoTracks(6, kAudioAAC, 2, 0)), {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
    // The second track: extracted and decoded by the decoder that names its input.
    {"SecondAc3ChosenIsExtractedAndDecoded", Opts(kAudioAAC, 0, TwoTracks(2, kAudioAC3, 6, 1)), {kExtractVideo, Track("3", "ac3"), Valdec("ac3", "0"), kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
    {"SecondDtsChosenOnStereoPs3", Opts(kAudioAC3, kStereo, TwoTracks(6, kAudioDTS, 6, 1)), {kExtractVideo, Track("3", "dts"), Valdec("dts", "2"), kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    {"SecondAacChosenOnXbox360", Opts(kAudioAC3, kXbox, TwoTracks(6, kAudioAAC, 6, 1)), {kExtractVideo, Track("3", "aac"), kFaad, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    // The transport stream: the chosen MP3 track the extraction took out is decoded.
    {"M2tsDefaultMp3KeepsTheWavTool", Opts(kAudioMP3, kVob, TwoTracks(2, kAudioAC3, 6, 0)), {VideoAnd("mp3"), kHeaderTool, kWavGrab, kAc3At640, kMuxM2ts}, {}, {"Film.mpg"}},
    {"M2tsSecondMp3IsDecodedFromTheExtractedTrack", Opts(kAudioAC3, kVob, TwoTracks(6, kAudioMP3, 2, 1)), {VideoAnd("mp3", "3"), kHeaderTool, kMp3ToWav, kAc3At640, kMuxM2ts}, {}, {"Film.mpg"}},
    // The stereo PS3 gets stereo: a 5.1 AAC track is mixed down, a stereo one passes.
    {"Ps3StereoMixesDownSurroundAac", Opts(kAudioAAC, kStereo, TwoTracks(6, kAudioAC3, 6, 0)), {VideoAnd("aac"), kWavGrab, kAacFromWavStereo, kMp4Box}, {}, {"Film.mp4"}},
    {"Ps3StereoPassesStereoAac", Opts(kAudioAAC, kStereo, TwoTracks(2, kAudioAC3, 6, 0)), {VideoAnd("aac"), kMp4Box}, {}, {"Film.mp4"}},
    // At 25 frames per second every sound is retimed with the picture.
    {"TwentyFiveFpsRetimesPassedAac", Opts(kAudioAAC, k25, TwoTracks(6, kAudioAC3, 6, 0)), {VideoAnd("aac"), kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}, {}, {"Film.mp4"}},
    {"TwentyFiveFpsRetimesVorbis", Opts(kAudioVorbis, k25, TwoTracks(2, kAudioAC3, 6, 0)), {VideoAnd("ogg"), kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}, {}, {"Film.mp4"}},
    // A track of a format the program does not know is refused before any tool runs.
    {"UnknownFormatIsRefused", Opts(kAudioAC3, 0, TwoTracks(6, AudioType(-1), 2, 1)), {kNoTool}, {"Audio error (16): The chosen audio track is in a format Quillet cannot convert. Choose another audio track in the audio list."}},
};
// clang-format on

class Mp4Road : public ::testing::TestWithParam<Scenario> {};

TEST_P(Mp4Road, RunsEachToolWithItsExactCommandLine) {
  S s;
  s.Check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Road, Mp4Road, ::testing::ValuesIn(kRoad), RowName());
INSTANTIATE_TEST_SUITE_P(Mux, Mp4Road, ::testing::ValuesIn(kMux), RowName());
INSTANTIATE_TEST_SUITE_P(H264, Mp4Road, ::testing::ValuesIn(kRecode), RowName());
INSTANTIATE_TEST_SUITE_P(ChosenAudio, Mp4Road, ::testing::ValuesIn(kChoices), RowName());

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

// A large result is split below the FAT32 limit when the option asks for it ("" when not).
TEST(Mp4Mux, LargeResultIsSplit) {
  // clang-format off
  const std::tuple<int64_t, int, std::string> cases[] = {  // bytes, option, split
      {6000000000, 1, "3000000"}, {4190000000, 1, "2095000"}, {4189999499, 1, ""}, {6000000000, 0, ""}};
  // clang-format on
  for (const auto& [bytes, option, split] : cases) {
    S s;
    s.Ready();
    s.runner.On("MP4Box.exe", [&](const Argv& a) {
      if (a[1] == "-add") WriteFile(s.Out("Film.mp4"), "mp4");
      if (a[1] == "-add") std::filesystem::resize_file(s.Out("Film.mp4"), bytes);
      return std::string();
    });
    s.form().Check1.SetValue(option);
    s.Convert();
    const std::string splits =
        R"("{app}/MP4Box/MP4Box.exe" -splits )" + split + R"( "{out}Film.mp4")";
    EXPECT_EQ(s.Commands().back(), s.X(split.empty() ? kMp4Box : splits));
    EXPECT_EQ(s.ui.sleptMs, split.empty() ? 1000 : 1010);
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  }
}

}  // namespace
}  // namespace quillet::test
