// The recodes: Xvid AVI with its muxer script, MPEG-2 transport stream, the repack of an
// MPEG-2 source, and the pre-mux of a subtitle file into a copy with it burnt in.

#include <gtest/gtest.h>

#include "tests/support/ConvertScaffold.h"
#include "tests/support/ReportFixtures.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using S = ConvertScaffold;
using Lines = std::vector<std::string>;

// clang-format off
const std::string kFont = R"("{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4)";
const std::string kXvidOpts = ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";
const std::string kExtractAc3 = kExtract + R"(2:"{out}movie.ac3" )";
const std::string kAften = R"("{app}/aften/aften.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")";
const std::string kWavGrabOf = R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")";
const std::string kAviMux = R"("{app}/avimux/avimux_gui.exe" "{out}quillet.amg")";
const std::string kMpeg2Opts = " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:vbitrate=14900:";
const std::string kAc3Eng = R"(A_AC3, "{out}movie.ac3", lang=eng)";
const std::string kMpeg2Meta = "MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500";
const std::string kMpeg2Video = R"(V_MPEG-2, "{out}movie.mpg", fps=23.976, track=224)";
const std::string kRepackLine = R"("{app}/FFMpeg/FFmpeg.exe" -threads 4 -i "{src}" -vcodec copy -acodec copy -f vob -copyts -y "{out}Film.mpg" -bug ms)";
const std::string kRemuxLine = R"("{app}/MKVToolnix/mkvmerge.exe" -o "{out}tempsrt/Film.mkv" -d 1 -a 2 -S "{src}" -s 0 -D -A "{srcdir}/)";
const std::string kCopy = "{out}tempsrt/Film.mkv";
const std::string kCopyReport = R"("{app}/MKVToolnix/mkvinfo.exe" "{out}tempsrt/Film.mkv" -o "{out}info.{pid}.txt")";
const std::string kCopyChecker = R"("{app}/Checker/x264_checker.exe" "{out}tempsrt/Film.mkv")";
const std::string kDefaultSubOpts = "-subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4";
const std::string kTemplateError = "Template error (16): The AVI muxer script template {app}/avimux/quillet.amg is missing, cannot be read or has no ENDOFFILE line.";
const std::string kSoundError = "Audio error (16): Error during audio extraction. Temp files not deleted.";
const std::string kAviNotCreated = "Conversion error (16): Error: {out}Film.avi was not created. Temp files not deleted.";
const std::string kRemuxError = "Subtitle error (16): The subtitle file {srcdir}/Browsed.srt could not be muxed with the source, so nothing was converted.";
// A template as shipped: loads from the placeholder folder, the size line, options copied
// unchanged, the end marker and a line after it.
const Lines kTemplate = {"CLEAR", R"(LOAD D:\QUILLET\movie.avi)", R"(LOAD D:\QUILLET\movie.ac3)", "SELECT FILE 1", "ADD VIDEOSOURCE", "WITH SET OPTION", "MAXFILESIZE size", R"(d:\quillet\ stays as it is)", "END WITH", "ENDOFFILE", R"(LOAD D:\QUILLET\after.avi)"};
// The AVI muxer's script: the template's lines up to its end marker, its placeholder folder
// replaced, the size line by the split rules, then the start line.
Lines Script(const std::string& size) {
  return {"CLEAR", "LOAD {out}movie.avi", "LOAD {out}movie.ac3", "SELECT FILE 1", "ADD VIDEOSOURCE", "WITH SET OPTION", "MAXFILESIZE " + size, R"(d:\quillet\ stays as it is)", "END WITH", "START {out}Film.avi"};
}
// clang-format on

// The Xvid encoder: 4,000,000,000 bytes over 5400 s give 0.98 x (32,000,000 - 345,600) /
// 5400 = 5744.7 kbit/s. Forms C (no subtitle), A<sid> (a track of the source), B (the
// copy's).
std::string Xvid(const std::string& form = "C", const std::string& scale = "",
                 const std::string& bitrate = "5745") {
  const std::string font = form == "C" ? " " : (form[0] == 'A' ? " -font " : "  -font ") + kFont;
  const std::string end = form == "C"   ? " -mc 0 -noskip -sid 99\""
                          : form == "B" ? " -noskip -sid 0"
                                        : "  -noskip -sid " + form.substr(1);
  return kEncoder + font + R"( -of avi -o "{out}movie.avi" -ovc xvid -xvidencopts bitrate=)" +
         bitrate + kXvidOpts + " -ofps 31001/1293 -vf harddup" + scale + R"( -nosound "{src}")" +
         end;
}
std::string Mpeg2(const std::string& fps = "31001/1293") {
  return kEncoder + R"( -nosound -o "{out}movie.mpg")" + kMpeg2Opts +
         "keyint=15:autoaspect:dia=2:trell:mv0 -ofps " + fps +
         R"( -vf harddup "{src}" -mc 0 -noskip -sid 99)";
}
std::string Mpeg2Subtitled() {
  return kEncoder + " -nosound  -font " + kFont + R"( -o "{out}movie.mpg")" + kMpeg2Opts +
         R"(autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps 31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid 0)";
}
// The H.264 encode of `input` with a subtitle burnt in at 6000 kbit/s (the films are small).
std::string Burn(const std::string& input, const std::string& filter = "-vf harddup",
                 const std::string& sid = "0", const std::string& subOpts = kDefaultSubOpts) {
  return H264("6000" + kH264Opts, filter, sid, kBurnIn + subOpts, "31001/1293", input);
}
// The pre-mux of `subtitle` into the copy, and the copy's conversion with `encode`.
Lines CopyRun(const std::string& subtitle, const std::string& encode) {
  return {kRemuxLine + subtitle + "\" ",
          kCopyReport,
          kCopyChecker,
          encode,
          R"("{app}/TS/wavgrab.exe" "{out}tempsrt/Film.mkv" "{out}movie.wav")",
          kAacFromWav51,
          kMp4Box};
}

std::string TemplatePath(const S& s) {
  return (s.programDir.path() / "avimux" / "quillet.amg").string();
}
void WriteTemplate(const S& s, const Lines& lines, const std::string& lineEnd = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + lineEnd;
  WriteFile(TemplatePath(s), text);
}

// The copy of the source as the report tool describes it: the source's video and sound and
// one text subtitle track (none when `subtitles` is false).
std::string CopyReport(bool subtitles = true) {
  std::string report = ReportFixture("h264_ac3.txt");
  if (subtitles)
    report.insert(report.find("|+ EbmlVoid"),
                  "| + A track\n|  + Track number: 3\n|  + Track type: subtitles\n"
                  "|  + Codec ID: S_TEXT/UTF8\n|  + Language: eng\n");
  return report;
}

enum Road { kXvid, kMpeg2, kRepack, kRemux };

// An AC3 film of 4,000,000,000 bytes for the PS3 (5.1) down each road.
void Ready(S& s, Road road, AudioType audio = kAudioAC3) {
  s.Ready(audio, road == kXvid ? 4000000000 : 1000);
  WriteTemplate(s, kTemplate);
  s.Recode(road == kXvid ? 2 : road == kRemux ? 1 : 0);
  if (road == kRepack) {  // the video is MPEG-2 already
    s.app.report.strVideoCodec = "mpeg2";
    s.app.report.audioCodecIds = {"A_DTS"};
    s.runner.On("FFmpeg.exe", [](const Lines& a) {
      WriteFile(a[a.size() - 3], "vob of " + a[4]);
      return std::string();
    });
  }
  if (road == kRemux) {  // a subtitle file browsed for, and one beside the source
    WriteFile(s.sourceDir.path() / "Browsed.srt", "1\r\n00:00:01,000 --> 00:00:02,000\r\nHi\r\n");
    WriteFile(s.sourceDir.path() / "Film.srt", "1\r\n00:00:01,000 --> 00:00:02,000\r\nBy\r\n");
    s.form().strSubBrowse = (s.sourceDir.path() / "Browsed.srt").string();
    s.form().lblSRTFound.Visible = true;
    s.form().chkSubs.SetValue(1);
    ScriptReportTool(s.runner, CopyReport());
  }
}

// clang-format off
const Scenario kRecodes[] = {
    // Xvid: the PS3 (5.1) takes the source's AC3 as it is.
    {"XvidAc3Surround", [](S& s) { Ready(s, kXvid); }, {kExtractAc3, Xvid(), kAviMux}, {}, {"Film.avi"}, Script("4000")},
    // Parts of 4000 MB unless the split is off; a template with LF line ends, any size
    // line, and the placeholder twice on a line.
    {"XvidWithoutSplit", [](S& s) { Ready(s, kXvid); s.form().Check1.SetValue(0); }, {kExtractAc3, Xvid(), kAviMux}, {}, {"Film.avi"}, Script("OFF")},
    {"XvidTemplateWithLfLineEnds", [](S& s) { Ready(s, kXvid); s.form().Check1.SetValue(0); WriteTemplate(s, {R"(LOAD D:\QUILLET\movie.avi)", "MAXFILESIZE 1000", R"(REM D:\QUILLET\D:\QUILLET\)", "ENDOFFILE here"}, "\n"); }, {kExtractAc3, Xvid(), kAviMux}, {}, {"Film.avi"}, {"LOAD {out}movie.avi", "MAXFILESIZE OFF", "REM {out}{out}", "START {out}Film.avi"}},
    {"XvidAc3StereoIsMixedDown", [](S& s) { Ready(s, kXvid); s.form().cmbPlatform.SetListIndex(2); }, {kExtractAc3, Valdec("ac3", "2"), kAften, Xvid(), kAviMux}, {}, {"Film.avi"}},
    {"XvidDtsSurroundNormalised", [](S& s) { Ready(s, kXvid, kAudioDTS); s.form().chkNorm.SetValue(1); }, {kExtract + R"(2:"{out}movie.dts" )", Valdec("dts", "0"), kNormalize, kAften, Xvid(), kAviMux}, {}, {"Film.avi"}},
    // The Xbox 360 gets its picture 1280 wide: 1080 x 1280 / 1920 = 720.
    {"XvidAacXbox360IsScaled", [](S& s) { Ready(s, kXvid, kAudioAAC); s.form().cmbPlatform.SetListIndex(1); }, {kExtract + R"(2:"{out}movie.aac" )", R"("{app}/ffmpeg/faad.exe" -s 48000 "{out}movie.aac" -o "{out}movie.wav")", kAften, Xvid("C", ",scale=1280:720"), kAviMux}, {}, {"Film.avi"}},
    {"XvidAacStereo", [](S& s) { Ready(s, kXvid, kAudioAAC); s.form().cmbPlatform.SetListIndex(2); }, {kExtract + R"(2:"{out}movie.aac" )", R"("{app}/ffmpeg/faad.exe" -d -s 48000 "{out}movie.aac" -o "{out}movie.wav")", kAften, Xvid(), kAviMux}, {}, {"Film.avi"}},
    {"XvidLetterboxedXbox360KeepsItsProportions", [](S& s) { Ready(s, kXvid, kAudioVorbis); s.form().cmbPlatform.SetListIndex(1); s.app.report.intPixelHeight = 800; }, {kWavGrabOf, kAften, Xvid("C", ",scale=1280:532"), kAviMux}, {}, {"Film.avi"}},
    {"XvidNarrowXbox360IsNotScaled", [](S& s) { Ready(s, kXvid, kAudioMP3); s.form().cmbPlatform.SetListIndex(1); s.app.report.intPixelWidth = 1280; s.app.report.intPixelHeight = 720; }, {kWavGrabOf, kAften, Xvid(), kAviMux}, {}, {"Film.avi"}},
    // A subtitle track of the source is extracted with the sound and burnt in.
    {"XvidSourceSubtitleWithTheSound", [](S& s) { Ready(s, kXvid); s.ChooseSubtitle(1); }, {kExtract + R"(2:"{out}movie.ac3"  4:"{out}movie.ASS")", Xvid("A1"), kAviMux}, {}, {"Film.avi"}},
    {"XvidSourceSubtitleBeforeTheWavTool", [](S& s) { Ready(s, kXvid, kAudioMP2); s.ChooseSubtitle(0); }, {kExtract + R"( 3:"{out}movie.srt")", kWavGrabOf, kAften, Xvid("A0"), kAviMux}, {}, {"Film.avi"}},
    // "Embed subs" with no track chosen has nothing to burn in.
    {"XvidEmbedSubsWithoutATrack", [](S& s) { Ready(s, kXvid); s.form().chkSubs.SetValue(1); }, {kExtractAc3, Xvid(), kAviMux}, {}, {"Film.avi"}},
    // The copy with the browsed subtitle file muxed in: its only subtitle track.
    {"XvidSubtitleFileOfTheCopy", [](S& s) { Ready(s, kXvid); s.form().bSRT = true; s.form().strSubBrowse = "/films/Film.srt"; s.form().chkSubs.SetValue(1); }, {kExtractAc3, Xvid("B"), kAviMux}, {}, {"Film.avi"}},
    // 0.98 x (63,500,000 - 345,600) / 5400
    {"XvidFitToDvd9", [](S& s) { Ready(s, kXvid); s.form().Check1.SetValue(0); s.form().chkDVD.SetValue(1); s.form().cmbSize.SetListIndex(1); }, {kExtractAc3, Xvid("C", "", "11461"), kAviMux}, {}, {"Film.avi"}, Script("4500")},
    // MPEG-2 in a transport stream, renamed ".mpg".
    {"Mpeg2Ac3Surround", [](S& s) { Ready(s, kMpeg2); }, {kExtractAc3, Mpeg2(), kMuxM2ts}, {}, {"Film.mpg"}, {kMpeg2Meta, kMpeg2Video, kAc3Eng}},
    {"Mpeg2VorbisThroughTheWavTool", [](S& s) { Ready(s, kMpeg2, kAudioVorbis); }, {kWavGrabOf, kAften, Mpeg2(), kMuxM2ts}, {}, {"Film.mpg"}, {kMpeg2Meta, kMpeg2Video, kAc3Eng}},
    // The encoder gets the fraction, the job file the frame rate as typed.
    {"Mpeg2FrameRateAsTypedInTheJobFile", [](S& s) { Ready(s, kMpeg2); s.form().txtSFPS.Text = "29.970"; }, {kExtractAc3, Mpeg2("30000/1001"), kMuxM2ts}, {}, {"Film.mpg"}, {kMpeg2Meta, R"(V_MPEG-2, "{out}movie.mpg", fps=29.970, track=224)", kAc3Eng}},
    {"Mpeg2SourceSubtitle", [](S& s) { Ready(s, kMpeg2); s.ChooseSubtitle(0); }, {kExtract + R"(2:"{out}movie.ac3"  3:"{out}movie.srt")", Mpeg2Subtitled(), kMuxM2ts}, {}, {"Film.mpg"}, {kMpeg2Meta, kMpeg2Video, kAc3Eng}},
    {"Mpeg2SubtitleFileOfTheCopy", [](S& s) { Ready(s, kMpeg2); s.form().bSRT = true; s.form().lblSRTFound.Visible = true; s.form().chkSubs.SetValue(1); }, {kExtractAc3, Mpeg2Subtitled(), kMuxM2ts}, {}, {"Film.mpg"}, {kMpeg2Meta, kMpeg2Video, kAc3Eng}},
    // No resize and no "Fit to" on this road.
    {"Mpeg2Xbox360AndFitToChangeNothing", [](S& s) { Ready(s, kMpeg2); s.form().cmbPlatform.SetListIndex(1); s.form().chkDVD.SetValue(1); }, {kExtractAc3, Mpeg2(), kMuxM2ts}, {}, {"Film.mpg"}, {kMpeg2Meta, kMpeg2Video, kAc3Eng}},
    // An MPEG-2 source is copied into a program stream, whatever the options.
    {"RepackAc3", [](S& s) { Ready(s, kRepack); WriteFile(s.Out("movie.wav"), "stale"); }, {kRepackLine}, {}, {"Film.mpg"}},
    {"RepackDts", [](S& s) { Ready(s, kRepack, kAudioDTS); }, {kRepackLine}, {}, {"Film.mpg"}},
    // The subtitle pre-mux: the browsed file is muxed into a copy, which is converted
    // with it burnt in.
    {"RemuxBrowsedFile", [](S& s) { Ready(s, kRemux); }, CopyRun("Browsed.srt", Burn(kCopy)), {}, {"Film.mp4"}},
    // A stale "tempsrt" (a read-only file, a sub-folder) is gone before the muxer runs; the
    // copy's own run does not shut the machine down, the run that made it does, once.
    {"RemuxReplacesAStaleFolderAndShutsDownOnce", [](S& s) { Ready(s, kRemux); s.form().chkShutDown.SetValue(1); WriteFile(s.Out("tempsrt/old/deep.txt"), "old"); WriteFile(s.Out("tempsrt/Film.mkv"), "an old copy"); fs::permissions(s.Out("tempsrt/Film.mkv"), fs::perms::owner_read); s.runner.On("mkvmerge.exe", [&s](const Lines& a) { WriteFile(FolderNames(s.Out("tempsrt")).empty() ? a[2] : s.Out("stale copy seen"), "copy"); return std::string(); }); }, CopyRun("Browsed.srt", Burn(kCopy)), {}, {"Film.mp4"}},
    {"RemuxFileBesideTheSource", [](S& s) { Ready(s, kRemux); s.form().strSubBrowse.clear(); }, CopyRun("Film.srt", Burn(kCopy, "-vf  harddup")), {}, {"Film.mp4"}},
    // Stored encoder subtitle options without "subfont" are replaced.
    {"RemuxStoredSubtitleOptionsWithoutSubfont", [](S& s) { Ready(s, kRemux); s.form().strSubOpts = "-subpos 80"; }, CopyRun("Browsed.srt", Burn(kCopy)), {}, {"Film.mp4"}},
    {"RemuxStoredSubtitleOptionsWithSubfont", [](S& s) { Ready(s, kRemux); s.form().strSubOpts = "-subfont-text-scale 2"; }, CopyRun("Browsed.srt", Burn(kCopy, "-vf harddup", "0", "-subfont-text-scale 2")), {}, {"Film.mp4"}},
    // No pre-mux: the source is converted as it is.
    {"NoRemuxWithoutEmbedSubs", [](S& s) { Ready(s, kRemux); s.form().chkSubs.SetValue(0); }, {H264("6000" + kH264Opts), kWavGrabOf, kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
    {"NoRemuxWithoutASubtitleFile", [](S& s) { Ready(s, kRemux); s.form().strSubBrowse.clear(); s.form().lblSRTFound.Visible = false; }, {Burn("{src}", "-vf  harddup", "-1"), kWavGrabOf, kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
    {"NoRemuxInsideTheCopysRun", [](S& s) { Ready(s, kRemux); s.form().bSRT = true; }, {Burn("{src}"), kWavGrabOf, kAacFromWav51, kMp4Box}, {}, {"Film.mp4"}},
};
// clang-format on

// clang-format off
const Scenario kFailures[] = {
    // A template the program cannot use is named, and nothing runs.
    {"XvidTemplateMissing", [](S& s) { Ready(s, kXvid); fs::remove(TemplatePath(s)); }, {kNoTool}, {kTemplateError}, {}},
    {"XvidTemplateUnreadable", [](S& s) { Ready(s, kXvid); fs::remove(TemplatePath(s)); fs::create_directories(TemplatePath(s)); }, {kNoTool}, {kTemplateError}, {}},
    {"XvidTemplateWithoutMarker", [](S& s) { Ready(s, kXvid); WriteTemplate(s, {"LOAD D:\\QUILLET\\movie.avi", "MAXFILESIZE size"}); }, {kNoTool}, {kTemplateError}, {}},
    // Sound missing: no encoder runs.
    {"XvidSoundMissing", [](S& s) { Ready(s, kXvid); s.form().cmbPlatform.SetListIndex(2); s.LeavesNothing("aften.exe"); }, {}, {kSoundError}, {}},
    {"XvidEncoderLeavesNothing", [](S& s) { Ready(s, kXvid); s.LeavesNothing("Mencoder.exe"); }, {}, {"Conversion error (16): Error: {out}movie.avi was not created. Temp files not deleted."}, {"movie.ac3"}},
    {"XvidMuxerLeavesNothing", [](S& s) { Ready(s, kXvid); s.LeavesNothing("avimux_gui.exe"); }, {}, {kAviNotCreated}, {"movie.ac3", "movie.avi", "quillet.amg"}},
    // An earlier AVI is set aside, comes back when the run fails and gives way with its
    // parts when the run succeeds; an old run's sound is not taken.
    {"XvidEarlierAviComesBack", [](S& s) { Ready(s, kXvid); s.Earlier({"Film.avi"}); s.LeavesNothing("avimux_gui.exe"); }, {}, {kAviNotCreated}, {"Film.avi:earlier", "movie.ac3", "movie.avi", "quillet.amg"}},
    {"XvidEarlierPartsAndStaleSoundStay", [](S& s) { Ready(s, kXvid); s.Earlier({"Film.avi", "Film_002.avi", "movie.ac3"}); s.LeavesNothing("mkvextract.exe"); }, {}, {kSoundError}, {"Film.avi:earlier", "Film_002.avi:earlier"}},
    {"XvidEarlierPartsGiveWay", [](S& s) { Ready(s, kXvid); s.Earlier({"Film.avi", "Film_002.avi"}); }, {}, {}, {"Film.avi"}},
    // MPEG-2: each tool's result checked, an earlier ".mpg" set aside.
    {"Mpeg2EncoderLeavesNothing", [](S& s) { Ready(s, kMpeg2); s.form().cmbPlatform.SetListIndex(2); s.Earlier({"Film.mpg"}); s.LeavesNothing("Mencoder.exe"); }, {}, {"Conversion error (16): Error: {out}movie.mpg was not created. Temp files not deleted."}, {"Film.mpg:earlier", "movie.ac3"}},
    {"Mpeg2MuxerLeavesNothing", [](S& s) { Ready(s, kMpeg2); s.form().cmbPlatform.SetListIndex(2); s.Earlier({"Film.mpg"}); s.LeavesNothing("tsmuxer.exe"); }, {}, {"Conversion error (16): Error: {out}Film.m2ts was not created. Temp files not deleted."}, {"Film.mpg:earlier", "movie.ac3", "movie.meta", "movie.mpg"}},
    {"Mpeg2SoundMissing", [](S& s) { Ready(s, kMpeg2); s.form().SelectOption1(kAudioDTS); s.LeavesNothing("aften.exe"); }, {}, {kSoundError}, {}},
    {"Mpeg2EarlierResultsGiveWay", [](S& s) { Ready(s, kMpeg2); s.Earlier({"Film.mpg", "Film.m2ts", "movie.meta"}); }, {}, {}, {"Film.mpg"}},
    // A sound a VOB cannot carry is refused, whatever track the window chose.
    {"RepackRefusesAac", [](S& s) { Ready(s, kRepack); s.app.report.audioCodecIds = {"A_AC3", "A_AAC"}; }, {kNoTool}, {"Audio error (16): The sound of Film.mkv is AAC. An MPEG-2 program stream (VOB) cannot carry AAC sound, so the film was not repacked. Recode it instead."}, {}},
    {"RepackRefusesVorbis", [](S& s) { Ready(s, kRepack); s.app.report.audioCodecIds = {"A_AC3", "A_VORBIS"}; }, {kNoTool}, {"Audio error (16): The sound of Film.mkv is Vorbis. An MPEG-2 program stream (VOB) cannot carry Vorbis sound, so the film was not repacked. Recode it instead."}, {}},
    {"RepackWritesNothing", [](S& s) { Ready(s, kRepack); s.Earlier({"Film.mpg"}); s.LeavesNothing("FFmpeg.exe"); }, {}, {"Conversion error (16): Error: {out}Film.mpg was not created. Temp files not deleted."}, {"Film.mpg:earlier"}},
    // Without the copy the nested run would convert nothing: the subtitle file is named.
    {"RemuxMuxerWritesNothing", [](S& s) { Ready(s, kRemux); s.LeavesNothing("mkvmerge.exe"); }, {}, {kRemuxError}, {}},
    {"RemuxSubtitleFileUnreadable", [](S& s) { Ready(s, kRemux); fs::remove(s.sourceDir.path() / "Browsed.srt"); }, {}, {kRemuxError}, {}},
    {"RemuxCopyWithoutSubtitles", [](S& s) { Ready(s, kRemux); ScriptReportTool(s.runner, CopyReport(false)); }, {}, {kRemuxError}, {}},
    // The "tempsrt" folder goes when the copy's conversion fails too.
    {"RemuxCopysConversionFails", [](S& s) { Ready(s, kRemux); s.LeavesNothing("Mencoder.exe"); }, {}, {"MP4box error (16): Error creating {out}Film.mp4, quitting attempt. Temp files (movie.h264 + movie.aac) not deleted."}, {"movie.aac"}},
};
// clang-format on

class Recode : public ::testing::TestWithParam<Scenario> {};

TEST_P(Recode, RunsTheToolsAndSettlesTheOutputFolder) {
  S s;
  s.Check(GetParam());
  // A run that made the subtitle copy is not taken for the copy's own run afterwards.
  EXPECT_FALSE(s.form().bSRT && !s.Commands().empty() &&
               s.Commands()[0].find("mkvmerge") != std::string::npos);
  EXPECT_EQ(s.power.shutdowns, s.form().chkShutDown.Value);
}

INSTANTIATE_TEST_SUITE_P(Rows, Recode, ::testing::ValuesIn(kRecodes), RowName());
INSTANTIATE_TEST_SUITE_P(Failures, Recode, ::testing::ValuesIn(kFailures), RowName());

// The inspection leaves the track tables of an MPEG-2 source empty but keeps what its
// sound tracks are, for the repack to judge.
TEST(Recode, Mpeg2SourceReportKeepsTheSoundCodecIds) {
  TestApp t;
  std::string report = ReportFixture("mpeg2.txt");
  ParseReport(t, report);
  EXPECT_EQ(t.app.report.strVideoCodec, "mpeg2");
  EXPECT_EQ(t.app.report.strAudioTracks.count, 0);
  EXPECT_EQ(t.app.report.audioCodecIds, Lines{"A_DTS"});
  ParseReport(t, report.replace(report.find("A_DTS"), 5, "A_AAC/MPEG4/LC"));
  EXPECT_EQ(t.app.report.audioCodecIds, Lines{"A_AAC/MPEG4/LC"});
}

}  // namespace
}  // namespace quillet::test
