// The PS3 M2TS and the AVCHD folder per sound format and options, with the muxer's job file;
// the WMV road with its wait for the WAV; what the muxer and earlier runs left.

#include <gtest/gtest.h>

#include "sources/Sources.h"
#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using S = ConvertScaffold;
using Argv = std::vector<std::string>;
using Lines = std::vector<std::string>;

// clang-format off
const std::string kM2ts = "MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --vbv-len=500";
const std::string kM2tsSplit = "MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --split-size=";
const std::string kBd = "MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --vbv-len=500";
const std::string kFolderVideo = R"(V_MPEG4/ISO/AVC, "{out}movie.h264", fps=23.976)";
const std::string kSourceVideo = R"(V_MPEG4/ISO/AVC, "{src}", track=1, level=4.1, fps=23.976)";
const std::string kAc3 = R"(A_AC3, "{out}movie.ac3", lang=eng)";  // the chosen track's language
const std::string kSourceAc3 = R"(A_AC3, "{src}", track=2)";
// The rendering every text subtitle line carries, for a 1920 x 1080 picture.
const std::string kArial = R"( ,font-name="Arial",font-size=42,font-color=0x00FFFFFF,font-charset=1,bottom-offset=50,font-border=1,text-align=center,video-width=1920,video-height=1080)";
const std::string kBrowsedLine = R"(S_TEXT/UTF8, "{srcdir}/browsed.srt")" + kArial + ", fps=23.976, lang=eng";
const std::string kAssWarning = "Subtitle warning (16): SSA or ASS subtitles are not yet supported in AVCHD. No substitles will be used in this conversion.";
const std::string kNotCreated = "info (0): Error: {out}Film.mpg was not created.";
const std::string kAvchdNotCreated = "info (0): Error: {out}Film was not created.";
const std::string kWmvNotCreated = "info (16): Error: {out}Film/BDMV/index.bdmv was not created.";
// clang-format on

// The H.264 re-encode of the small source, at 6000 kbit/s.
std::string Encoded(const std::string& pad = "") {
  return H264("6000" + kH264Opts, "-vf harddup" + pad);
}
std::string WavGrabOf(const std::string& ext) {
  return R"("{app}/TS/wavgrab.exe" "{out}movie.)" + ext + R"(" "{out}movie.wav")";
}
std::string Faad(const std::string& option) {
  return R"("{app}/ffmpeg/faad.exe" )" + option +
         R"(-s 48000 "{out}movie.aac" -o "{out}movie.wav")";
}
void Track(S& s, int index) {  // a subtitle track of the source chosen, "Embed subs" not
  s.ChooseSubtitle(index);
  s.form().chkSubs.SetValue(0);
}
void Beside(S& s, const Lines& names = {"Film.srt"}) {  // subtitle files beside the source
  for (const std::string& name : names) WriteFile(s.sourceDir.path() / name, "1");
  s.form().lblSRTFound.Visible = true;
}
void Browsed(S& s, const char* name = "browsed.srt") {  // a subtitle file browsed for
  WriteFile(s.sourceDir.path() / name, "1");
  s.form().strSubBrowse = (s.sourceDir.path() / name).string();
}
Setup Audio(const char* language, int rate) {  // the chosen track as the report gives it
  return [=](S& s) {
    s.app.report.strAudioTracks.rows[0].language = language;
    s.app.report.strAudioTracks.rows[0].sampleRate = rate;
  };
}
const std::string kResample =
    R"("{app}/FFMpeg/FFmpeg.exe" -i "{out}movie.wav" -ar 48000 -rf64 auto "{out}movie48k.wav")";
// 720 lines at 25 frames, which an AVCHD folder takes only at twice the rate.
Setup At(const char* fps) {
  return [=](S& s) { Picture(1280, 720)(s), s.form().txtSFPS.Text = fps; };
}
std::string Doubled(const std::string& fps) {  // the encoder may repeat frames: no -noskip
  return kEncoder +
         R"( -nosound -mc 0 -of rawvideo -o "{out}movie.h264" -ovc x264 -x264encopts bitrate=6000)" +
         kH264Opts + " -ofps " + fps + R"( -vf harddup "{src}" -mc 0 -sid 99)";
}

// clang-format off
const Scenario kTs[] = {
    // M2TS: the PS3 (5.1) plays the source's AC3 track untouched.
    {"M2tsAc3", Opts(kAudioAC3, kVob), {kExtractVideo, kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kSourceAc3}},
    {"M2tsAc3FastMuxReadsTheSourcesVideo", Opts(kAudioAC3, kVob | kFF), {kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kSourceVideo, kSourceAc3}},
    // Decoded and encoded anew at the encoder's own rate.
    {"M2tsDtsStereoIsMixedDown", Opts(kAudioDTS, kVob | kStereo), {VideoAnd("dts"), kHeaderTool, Valdec("dts", "2"), kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsAacSurround", Opts(kAudioAAC, kVob), {VideoAnd("aac"), kHeaderTool, Faad(""), kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsAacStereoIsMixedDown", Opts(kAudioAAC, kVob | kStereo), {VideoAnd("aac"), kHeaderTool, Faad("-d "), kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsAc3NormalisedIsDecodedFromTheTrack", Opts(kAudioAC3, kVob | kNorm), {VideoAnd("ac3"), kHeaderTool, Valdec("ac3", "0"), kNormalize, kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsMp3SurroundAt640", Opts(kAudioMP3, kVob), {VideoAnd("mp3"), kHeaderTool, kWavGrab, kAc3At640, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kAc3}},
    // Vorbis, MP3 and MP2 to be decoded: the WAV tool reads the extracted track.
    {"M2tsMp3StereoDecodesTheExtractedTrack", Opts(kAudioMP3, kVob | kStereo), {VideoAnd("mp3"), kHeaderTool, WavGrabOf("mp3"), kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsVorbisNormalisedDecodesTheExtractedTrack", Opts(kAudioVorbis, kVob | kNorm), {VideoAnd("ogg"), kHeaderTool, WavGrabOf("ogg"), kNormalize, kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kAc3}},
    {"M2tsMp2FastMuxStereo", Opts(kAudioMP2, kVob | kStereo | kFF), {kExtract + R"(2:"{out}movie.mp2")", WavGrabOf("mp2"), kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kSourceVideo, kAc3}},
    // Fast Mux with a stream only the output folder holds: it is patched and muxed from there.
    {"M2tsFastMuxWithARecodeMuxesTheNewStream", Opts(kAudioAC3, kVob | kH264 | kFF), {Encoded(), kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kSourceAc3}},
    {"M2tsFastMuxOfAVfwSourceExtractsItsVideo", Opts(kAudioAC3, kVob | kVfw | kFF), {kRaw, kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kSourceAc3}},
    // Split by size in MB of 1,024,000 bytes: 2930 MB is one part, 9000 MB three.
    {"M2tsThreeBillionBytesAreNotSplit", Opts(kAudioAC3, kVob, nullptr, 3000000000), {kExtractVideo, kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kSourceAc3}},
    // A part of a split source is not split again by the driver.
    {"M2tsNineThousandMegabytesInThreeParts", Opts(kAudioAC3, kVob, [](S& s) { s.form().bSplit = true; }, 9216000000), {kExtractVideo, kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2tsSplit + "3000MB  --vbv-len=500", kFolderVideo, kSourceAc3}},
    {"M2tsFitToGivesDvdParts", Opts(kAudioAC3, kVob | kWhole, [](S& s) { s.FitTo(0); }), {kExtractVideo, kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2tsSplit + "4.3GB  --vbv-len=500", kFolderVideo, kSourceAc3}},
    // AVCHD takes AC3, DTS, MP3 and MP2 from the source unchanged.
    {"AvchdAc3", Opts(kAudioAC3, kAvchd), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}},
    {"AvchdDtsIsKept", Opts(kAudioDTS, kAvchd | kNorm, Audio("eng", 48000)), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, R"(A_DTS, "{src}", track=2)"}},
    // AAC, Vorbis and sound not at 48 kHz become AC3 at 640 kbit/s, resampled to 48 kHz
    // (judged by the WAV's header, else by the report), with the track's language.
    {"AvchdAc3At44kIsResampled", Opts(kAudioAC3, kAvchd, Audio("deu", 44100)), {kRaw, kWavGrab, kResample, kAc3At640, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, R"(A_AC3, "{out}movie.ac3", lang=ger)"}},
    {"M2tsUndefinedLanguageNamesNone", Opts(kAudioAAC, kVob, Audio("undefined", 44100)), {VideoAnd("aac"), kHeaderTool, Faad(""), kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, R"(A_AC3, "{out}movie.ac3")"}},
    {"AvchdAacNormalised", Opts(kAudioAAC, kAvchd | kNorm), {kRaw, kWavGrab, kNormalize, kAc3At640, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kAc3}},
    {"AvchdVorbis", Opts(kAudioVorbis, kAvchd), {kRaw, kWavGrab, kAc3At640, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kAc3}},
    {"AvchdFastMuxReadsTheSourcesVideo", Opts(kAudioAC3, kAvchd | kFF), {kAuthorAvchd}, {}, {"Film"}, {kBd, kSourceVideo, kSourceAc3}},
    {"AvchdVc1FromTheSourceWithoutPatch", Opts(kAudioAC3, kAvchd | kVc1), {kAuthorAvchd}, {}, {"Film"}, {kBd, R"(V_MS/VFW/WVC1, "{src}", track=1, fps=23.976)", kSourceAc3}},
    // A re-encoded stream is patched and muxed, whatever Fast Mux or the source's codec say.
    {"AvchdRecodeWithFastMuxMuxesTheNewStream", Opts(kAudioAC3, kAvchd | kH264 | kFF), {Encoded(), kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}},
    {"AvchdRecodedVc1MuxesTheNewStream", Opts(kAudioAC3, kAvchd | kH264 | kVc1), {Encoded(), kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}},
    // Split options: "Fit to" a disc, or by size; the source itself is never split.
    {"AvchdFitToDvd5", Opts(kAudioAC3, kAvchd | kWhole, [](S& s) { s.FitTo(0); }), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd + " --split-size=4300MB ", kFolderVideo, kSourceAc3}},
    {"AvchdFitToBluRay", Opts(kAudioAC3, kAvchd | kWhole, [](S& s) { s.FitTo(2); }), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd + " --split-size=23GB ", kFolderVideo, kSourceAc3}},
    {"AvchdNineThousandMegabytes", Opts(kAudioAC3, kAvchd, nullptr, 9216000000), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd + " --split-size=3000MB ", kFolderVideo, kSourceAc3}},
    // Subtitles: the browsed file, then the ".srt" beside the source, then the source's track.
    {"AvchdSourceTextTrack", Opts(kAudioAC3, kAvchd, [](S& s) { Track(s, 0); }), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3, R"(S_TEXT/UTF8, "{src}")" + kArial + ", track=3, fps=23.976, lang=eng"}},
    {"AvchdSrtBesideTheSourceBeforeTheTrack", Opts(kAudioAC3, kAvchd, [](S& s) { Track(s, 0); Beside(s); }), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3, R"(S_TEXT/UTF8, "{srcdir}/Film.srt")" + kArial + ", , fps=23.976, lang=eng"}},
    {"AvchdSubtitleFileNamesItsLanguage", Opts(kAudioAC3, kAvchd, [](S& s) { Browsed(s, "Film.French.srt"); }), {}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3, R"(S_TEXT/UTF8, "{srcdir}/Film.French.srt")" + kArial + ", fps=23.976, lang=fre"}},
    {"AvchdBrowsedFileFirst", Opts(kAudioAC3, kAvchd, [](S& s) { Track(s, 0); Beside(s); Browsed(s); }), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3, kBrowsedLine}},
    {"AvchdAssTrackIsWarnedAboutAndLeftOut", Opts(kAudioAC3, kAvchd, [](S& s) { Track(s, 1); }), {kRaw, kHeaderTool, kAuthorAvchd}, {kAssWarning}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}, true},
    {"AvchdAssTrackWithABrowsedFileIsNoWarning", Opts(kAudioAC3, kAvchd, [](S& s) { Track(s, 1); Browsed(s); }), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3, kBrowsedLine}},
    {"AvchdReencodeRefusesASubtitleFile", Opts(kAudioAC3, kAvchd | kH264, [](S& s) { Browsed(s); }), {kNoTool}, {"Subtitle error (16): The subtitle file browsed.srt cannot be carried: the re-encode of an AVCHD folder burns in no subtitle file; convert without the re-encode to carry it as a subtitle track. Nothing was converted."}, {}},
    // The transport stream carries a subtitle file as the AVCHD folder does; of several
    // beside the source, the one in the sound's language (English).
    {"M2tsCarriesTheSubtitleFileGiven", Opts(kAudioAC3, kVob, [](S& s) { Browsed(s, "Film.he.srt"); s.form().chkSubs.SetValue(1); }), {kExtractVideo, kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kSourceAc3, R"(S_TEXT/UTF8, "{srcdir}/Film.he.srt")" + kArial + ", fps=23.976, lang=heb"}},
    {"M2tsTakesTheFileBesideInTheSoundsLanguage", Opts(kAudioAC3, kVob, [](S& s) { Beside(s, {"Film.de.srt", "Film.English.srt"}); }), {kExtractVideo, kHeaderTool, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kFolderVideo, kSourceAc3, R"(S_TEXT/UTF8, "{srcdir}/Film.English.srt")" + kArial + ", , fps=23.976, lang=eng"}},
    // Fast Mux takes only what the muxer cannot read from the source.
    {"M2tsDtsFastMuxTakesTheAudioOnly", Opts(kAudioDTS, kVob | kFF), {kExtract + R"(2:"{out}movie.dts")", Valdec("dts", "0"), kAc3AtDefault, kMuxM2ts}, {}, {"Film.mpg"}, {kM2ts, kSourceVideo, kAc3}},
    {"AvchdDtsFastMux", Opts(kAudioDTS, kAvchd | kFF), {VideoAnd("dts"), kAuthorAvchd}, {}, {"Film"}, {kBd, kSourceVideo, R"(A_DTS, "{src}", track=2)"}},
    {"AvchdVorbisFastMux", Opts(kAudioVorbis, kAvchd | kFF), {kWavGrab, kAc3At640, kAuthorAvchd}, {}, {"Film"}, {kBd, kSourceVideo, kAc3}},
    // The encoder pads a letterboxed HD picture to the full frame.
    {"AvchdRecodePadsLetterboxedHd", Opts(kAudioAC3, kAvchd | kH264, Picture(1920, 800)), {Encoded(",expand=1920:1080"), kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}},
    {"AvchdRecodePadsLetterboxed720", Opts(kAudioAC3, kAvchd | kH264, Picture(1280, 544)), {Encoded(",expand=1280:720"), kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}},
    // Sizes players may refuse are named before the folder is made anyway; a re-encode
    // makes a size of its own.
    {"AvchdLetterboxed1080IsWarned", Opts(kAudioAC3, kAvchd, Picture(1920, 800)), {kRaw, kHeaderTool, kAuthorAvchd}, {"AVCHD info. (0): Resolution is not 1920 x 1080, issues might occur when playing."}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}, true},
    {"AvchdLetterboxed720IsWarned", Opts(kAudioAC3, kAvchd, Picture(1280, 544)), {kRaw, kHeaderTool, kAuthorAvchd}, {"AVCHD info. (0): Resolution is not 1280 x 720, issues might occur when playing."}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}, true},
    {"Avchd1440x1080IsIncorrect", Opts(kAudioAC3, kAvchd, Picture(1440, 1080)), {kRaw, kHeaderTool, kAuthorAvchd}, {"AVCHD info. (16): Incorrect AVCHD resolution, issues might occur when playing."}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}, true},
    // 720 lines at 25 or 29.97 frames are re-encoded at twice the rate, ticked or not.
    {"Avchd720pAt25IsDoubled", Opts(kAudioAC3, kAvchd, At("25.000")), {Doubled("50"), kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, R"(V_MPEG4/ISO/AVC, "{out}movie.h264", fps=50.000)", kSourceAc3}},
    {"Avchd720pAt2997RecodedIsDoubled", Opts(kAudioAC3, kAvchd | kH264, At("29.970")), {Doubled("60000/1001"), kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, R"(V_MPEG4/ISO/AVC, "{out}movie.h264", fps=59.940)", kSourceAc3}},
    {"Avchd720pIsFine", Opts(kAudioAC3, kAvchd, Picture(1280, 720)), {kRaw, kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}},
    {"AvchdRecodedPalIsNotWarned", Opts(kAudioAC3, kAvchd | kH264, Picture(720, 576)), {Encoded(), kHeaderTool, kAuthorAvchd}, {}, {"Film"}, {kBd, kFolderVideo, kSourceAc3}},
};
// clang-format on

// The header of a 16-bit stereo WAV at `rate`, its sound to follow.
std::string WavHeader(uint32_t rate) {
  std::string h = std::string("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0", 24) + "    ";
  for (int i = 0; i < 4; ++i) h[24 + i] = static_cast<char>(rate >> (8 * i));
  return h + std::string("\0\0\0\0\x04\0\x10\0data\0\0\0\0", 16);
}
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
                part < 0 ? "" : "part " + std::to_string(part) + " seconds=1800");
    return std::string();
  });
}

// clang-format off
const Scenario kResults[] = {
    {"M2tsNothingMuxedKeepsTheWorkingFiles", Opts(kAudioAC3, kVob, [](S& s) { s.LeavesNothing("tsmuxer.exe"); }), {}, {kNotCreated}, {"movie.h264", "movie.meta"}},
    // The parts of a split stream take the ".mpg" name in order and are judged together.
    {"M2tsPartsTakeTheMpgName", Opts(kAudioAC3, kVob, [](S& s) { MuxerWritesParts(s, {1, 2, 3}); }), {}, {}, {"Film.2.mpg", "Film.3.mpg", "Film.mpg"}},
    {"M2tsPartsShortOfTheFilmAreNoResult", Opts(kAudioAC3, kVob, [](S& s) { MuxerWritesParts(s, {1, 2}); }), {}, {"Incomplete result (16): Film.mpg holds 3600.0 s of video of the 5400.0 s film Film.mkv."}, {"movie.h264", "movie.meta"}},
    {"M2tsWithoutTheFirstPartIsNotCreated", Opts(kAudioAC3, kVob, [](S& s) { MuxerWritesParts(s, {2}); }), {}, {kNotCreated}, {"Film.2.m2ts", "movie.h264", "movie.meta"}},
    {"M2tsWithAnEmptyPartIsNotCreated", Opts(kAudioAC3, kVob, [](S& s) { MuxerWritesParts(s, {1, -2}); }), {}, {kNotCreated}, {"Film.2.mpg", "Film.mpg", "movie.h264", "movie.meta"}},
    // An earlier result is set aside, and comes back when the run fails.
    {"M2tsEarlierResultComesBack", Opts(kAudioAC3, kVob, [](S& s) { s.Earlier({"Film.mpg"}); s.LeavesNothing("tsmuxer.exe"); }), {}, {kNotCreated}, {"Film.mpg:earlier", "movie.h264", "movie.meta"}},
    {"M2tsEarlierPartsGiveWay", Opts(kAudioAC3, kVob, [](S& s) { s.Earlier({"Film.mpg", "Film.2.mpg"}); }), {}, {}, {"Film.mpg"}},
    {"M2tsEarlierStreamComesBack", Opts(kAudioAC3, kVob, [](S& s) { s.Earlier({"Film.m2ts"}); s.LeavesNothing("tsmuxer.exe"); }), {}, {kNotCreated}, {"Film.m2ts:earlier", "movie.h264", "movie.meta"}},
    {"M2tsEarlierStreamGivesWay", Opts(kAudioAC3, kVob, [](S& s) { s.Earlier({"Film.m2ts", "Film.mpg"}); }), {}, {}, {"Film.mpg"}},
    // An old AC3 is not muxed when the sound cannot be made now.
    {"M2tsStaleWorkingFilesAreNotMuxed", Opts(kAudioAC3, kVob, [](S& s) { s.form().SelectOption1(kAudioMP3); s.form().cmbPlatform.SetListIndex(2); s.Earlier({"movie.mp3", "movie.ac3", "movie.wav"}); s.LeavesNothing("wavgrab.exe"); }), {}, {kNotCreated}, {"movie.h264", "movie.meta"}},
    // The AVCHD folder counts as made when it holds the index and a clip with data.
    {"AvchdFolderWithTheIndexOnly", Opts(kAudioAC3, kAvchd, [](S& s) { MuxerWritesTree(s, true, nullptr); }), {}, {kAvchdNotCreated}, {}},
    {"AvchdFolderWithAnEmptyClip", Opts(kAudioAC3, kAvchd, [](S& s) { MuxerWritesTree(s, true, ""); }), {}, {kAvchdNotCreated}, {}},
    {"AvchdFolderWithoutIndex", Opts(kAudioAC3, kAvchd, [](S& s) { MuxerWritesTree(s, false, "ts"); }), {}, {kAvchdNotCreated}, {}},
    // A folder of the result's name is never written into: no tool runs.
    {"AvchdExistingFolderIsRefused", Opts(kAudioAC3, kAvchd, [](S& s) { WriteFile(s.Out("Film/keep.txt"), "mine"); }), {kNoTool}, {"info (16): Error: {out}Film already exists. Move or rename it, then convert again."}, {"Film"}},
    {"AvchdStaleWorkingFilesAreNotMuxed", Opts(kAudioAC3, kAvchd, [](S& s) { s.form().SelectOption1(kAudioAAC); s.Earlier({"movie.ac3", "movie.h264", "movie_raw.h264"}); s.LeavesNothing("mkvextract.exe"); }), {}, {kAvchdNotCreated}, {}},
    // The WMV road: VC-1 to AVCHD; the first piece the muxer did not write is named.
    {"WmvToAvchd", Opts(kAudioAC3, 0, Wmv), {R"("{app}/TS/asf2vc1.exe" "{src}" "{out}movie.vc1")", R"("{app}/aften/EncWAVtoAC3.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")", kAuthorWmv}, {}, {"Film"}, {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --split-size=4GB --vbv-len=500", R"(V_MS/VFW/WVC1, "{out}movie.vc1", fps=23.976)", R"(A_AC3, "{out}movie.ac3")"}},
    {"WmvNothingMuxed", Opts(kAudioAC3, 0, [](S& s) { Wmv(s); s.LeavesNothing("tsmuxer.exe"); }), {}, {kWmvNotCreated}, {"movie.ac3", "movie.meta", "movie.vc1"}},
    {"WmvEmptyClip", Opts(kAudioAC3, 0, [](S& s) { Wmv(s); MuxerWritesTree(s, true, ""); }), {}, {"info (16): Error: {out}Film/BDMV/STREAM/00000.m2ts was not created."}, {"Film", "movie.ac3", "movie.meta", "movie.vc1"}},
    // A folder left by an earlier run is no proof of this one.
    {"WmvEarlierFolderDoesNotPass", Opts(kAudioAC3, 0, [](S& s) { Wmv(s); s.Earlier({"Film/BDMV/index.bdmv", "Film/BDMV/STREAM/00000.m2ts"}); fs::last_write_time(s.Out("Film/BDMV/index.bdmv"), fs::file_time_type::clock::now() - std::chrono::hours(1)); s.LeavesNothing("tsmuxer.exe"); }), {}, {kWmvNotCreated}, {"Film", "movie.ac3", "movie.meta", "movie.vc1"}},
    {"WmvAt44kIsResampled", Opts(kAudioAC3, 0, [](S& s) { Wmv(s); s.media.wav = WavHeader(44100); }), {R"("{app}/TS/asf2vc1.exe" "{src}" "{out}movie.vc1")", kResample, R"("{app}/aften/EncWAVtoAC3.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")", kAuthorWmv}, {}, {"Film"}},
    {"AvchdResampleLeavingNothingFails", Opts(kAudioAAC, kAvchd, [](S& s) { Audio("eng", 44100)(s); s.LeavesNothing("FFmpeg.exe"); }), {}, {"Audio error (16): Error: {out}movie48k.wav was not created."}, {"movie.wav", "movie_raw.h264"}},
    // Without the WMA decoder no sound is made, so the muxer writes nothing.
    {"WmvMissingFilter", Opts(kAudioAC3, 0, [](S& s) { Wmv(s); s.media.missingFilter = "WAV Dest"; }), {}, {kWmvNotCreated}, {"movie.meta", "movie.vc1"}},
    // A VC-1 Matroska film needs AVCHD or a re-encode: the box says so and no tool runs.
    {"Vc1MatroskaTellsWhatMakesAFilmOfIt", Opts(kAudioAC3, kVob, [](S& s) { s.form().chkVob.SetValue(0); s.app.report.strVideoCodec = "vc1"; }), {kNoTool}, {R"x(VC-1 video (48): This film's video is VC-1: tick "AVCHD (BR/PS3)" to author it as it is, or "MPEG2 Recode" to re-encode it.)x"}, {}},
};
// clang-format on

class TransportStream : public ::testing::TestWithParam<Scenario> {};

TEST_P(TransportStream, RunsTheToolsAndJudgesWhatTheMuxerLeft) {
  S s;
  s.Check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, TransportStream, ::testing::ValuesIn(kTs), RowName());
INSTANTIATE_TEST_SUITE_P(Results, TransportStream, ::testing::ValuesIn(kResults), RowName());

// A graph whose every poll runs `poll` with the poll's number, the WAV path and the error.
struct ScriptedGraph : AudioGraph {
  using Script = std::function<State(int, const std::string&, std::string*)>;
  ScriptedGraph(Script p, std::string w, int& n, int& s) : poll(p), wav(w), polls(n), stops(s) {}
  State Poll(std::string* error) override { return poll(++polls, wav, error); }
  void Stop() override { ++stops; }
  Script poll;
  std::string wav;
  int &polls, &stops;
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
      return std::unique_ptr<AudioGraph>(new ScriptedGraph(c.poll, wav, polls, stops));
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
    EXPECT_TRUE(s.Logged(c.logged));
  }
}

}  // namespace
}  // namespace quillet::test
