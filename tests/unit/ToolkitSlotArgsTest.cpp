// The toolkit's slots: the program's command lines and job files as Debian's tools take them,
// the classic Matroska report as the program reads it, the share of work the tools print.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

#include "base/Text.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"
#include "toolkit/Identification.h"
#include "toolkit/LegacyReport.h"
#include "toolkit/Mp4Build.h"
#include "toolkit/MuxJob.h"
#include "toolkit/SlotTable.h"
#include "toolkit/TrackIds.h"
#include "toolkit/progress/ProgressParsers.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

using Args = std::vector<std::string>;
using quillet::test::Words;

bool ByExtension(const std::string& source) {
  return IEndsWith(source, ".mkv") || IEndsWith(source, ".mks");
}

// --- Matroska track numbers: the program counts from 1, today's tools from 0 ---

TEST(ToolkitArgs, OldTrackNumbersBecomeTodaysIdsOrAreRefused) {
  const std::pair<const char*, const char*> extract[] = {
      {"tracks /in/film.mkv 1:/out/movie.h264 2:/out/movie.ac3 4:/out/movie.srt",
       "mkvextract /in/film.mkv tracks 0:/out/movie.h264 1:/out/movie.ac3 3:/out/movie.srt"},
      {"tracks /in/a:b.mkv -c cp1252 --raw 3:/o/x:y.bin",
       "mkvextract /in/a:b.mkv tracks -c cp1252 --raw 2:/o/x:y.bin"}};
  std::string error;
  for (auto [in, out] : extract) {
    auto call = ParseMkvextractArgs(Words(in), &error);
    ASSERT_TRUE(call.has_value()) << error;
    EXPECT_EQ(Join(MkvextractArgv(*call), " "), out);
  }
  // No track 0 in the old numbering, an empty id (no audio track), today's form.
  for (const char* bad : {"tracks /in/film.mkv 0:/out/movie.h264", "tracks /in/film.mkv :/out/m",
                          "tracks /in/film.mkv x:/out/m", "tracks /in/film.mkv",
                          "/in/film.mkv tracks 1:/out/m", "tracks /in/film.mkv --bogus 1:/out/a"}) {
    error.clear();
    EXPECT_FALSE(ParseMkvextractArgs(Words(bad), &error).has_value()) << bad;
    EXPECT_FALSE(error.empty());
  }
  // The splitter line, an embedded subtitle track for the parts, the remux for an external
  // subtitle file, lists, negation, all-tracks ids, options of a later source only.
  const std::pair<const char*, const char*> merge[] = {
      {"-o /out/split/film.mkv -d 1 --compression 1:none -a 2 --compression 1:none -S "
       "/in/film.mkv -s 0 -D -A /in/film.srt --split size:2095000K",
       "-o /out/split/film.mkv -d 0 --compression 0:none -a 1 --compression 0:none -S "
       "/in/film.mkv -s 0 -D -A /in/film.srt --split size:2095000K"},
      {"-o o.mkv -a !2,3 -s eng --sync -1:200 --language 2:ger a.mkv",
       "-o o.mkv -a !1,2 -s eng --sync -1:200 --language 1:ger a.mkv"},
      {"-o o.mkv -a 2 a.mkv --language 0:fre b.srt + c.mkv",
       "-o o.mkv -a 1 a.mkv --language 0:fre b.srt + c.mkv"},
  };
  for (auto [in, out] : merge) {
    auto call = TranslateMkvmergeArgs(Words(in), ByExtension, &error);
    ASSERT_TRUE(call.has_value()) << in << ": " << error;
    EXPECT_EQ(Join(call->args, " "), out);
  }
  auto split = TranslateMkvmergeArgs(Words(merge[0].first), ByExtension, &error);
  EXPECT_EQ(split->outputIndex, 1);
  EXPECT_EQ(split->sources, (std::vector<int>{11, 16}));
  for (const char* bad : {"-o o.mkv -d 0 a.mkv", "-o o.mkv --compression 0:none a.mkv",
                          "-o o.mkv -s 0 subs.mks", "-o o.mkv --frobnicate 1 a.mkv",
                          "-o o.mkv a.mkv -a", "a.mkv", "-o o.mkv", "-o o.mkv ( a.mkv )"}) {
    error.clear();
    EXPECT_FALSE(TranslateMkvmergeArgs(Words(bad), ByExtension, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(ToolkitArgs, FfmpegTakesTodaysNamesAndAlwaysReplacesItsOutput) {
  // clang-format off
  const struct {
    Args in, out;
    int input, output;
  } cases[] = {
      {Words("-f wav -i /o/movie.wav -acodec libfaac -ac 2 -ab 224kb /o/movie.aac"),
       Words("-f wav -i /o/movie.wav -acodec aac -ac 2 -ab 224k /o/movie.aac"), 3, 10},
      {Words("-f mp2 -i /o/movie.mp2 -acodec libfaac -ac 6 -ab 224kb /o/movie.aac"),
       Words("-f mp3 -i /o/movie.mp2 -acodec aac -ac 6 -ab 224k /o/movie.aac"), 3, 10},
      {Words("-i a.wav -c:a mp2 -f mp2 -b:a 192kb out.mp2"),  // an output mp2 muxer stays
       Words("-i a.wav -c:a mp2 -f mp2 -b:a 192k out.mp2"), 1, 8},
      // The MPEG-2 repack: -y is the adapter's business, "ms" belongs to -bug.
      {Words(
           "-threads 4 -i /in/f.mkv -vcodec copy -acodec copy -f vob -copyts -y /o/f.mpg -bug ms"),
       Words("-threads 4 -i /in/f.mkv -vcodec copy -acodec copy -f vob -copyts /o/f.mpg -bug ms"),
       3, 11},
  };
  // clang-format on
  for (const auto& c : cases) {
    FfmpegCall call = TranslateFfmpegArgs(c.in);
    EXPECT_EQ(call.args, c.out);
    EXPECT_EQ(call.inputs, std::vector<int>{c.input});
    EXPECT_EQ(call.outputs, std::vector<int>{c.output});
    EXPECT_FALSE(call.noOverwrite);
  }
  EXPECT_TRUE(TranslateFfmpegArgs({"-n", "-i", "a", "b"}).noOverwrite);
}

// The options Debian's mencoder refuses or reads otherwise, each with the form it takes.
TEST(ToolkitArgs, MencoderOptionsPutAsDebiansEncoderReadsThem) {
  const struct {
    const char *option, *in, *out;
  } cases[] = {
      // lavc: mv0 is a flag of mpv_flags, lmin a lambda (quantiser x 118).
      {"-lavcopts", "vcodec=mpeg2video:lmin=1:vstrict=0:mv0",
       "vcodec=mpeg2video:o=lmin=118:vstrict=0:o=mpv_flags=+mv0"},
      {"-lavcopts", "lmin=2.5:vqmin=1", "o=lmin=295:vqmin=1"},
      // Xvid: from 16000 on the encoder counts bits/s; the program means kbit/s.
      {"-xvidencopts", "bitrate=16000:nogmc", "bitrate=16000000:nogmc"},
      {"-xvidencopts", "bitrate=15999:nogmc", "bitrate=15999:nogmc"},
      {"-xvidencopts", "bitrate=-716800:noqpel", "bitrate=-716800:noqpel"},
      // x264: a bare b_pyramid takes a mode.
      {"-x264encopts", "bframes=2:b_pyramid:nr=0", "bframes=2:b_pyramid=normal:nr=0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TranslateMencoderArgs({c.option, c.in, "in.mkv"}).args,
              (Args{c.option, c.out, "in.mkv"}));
  // The repair line: inputs, the source, the output, a size given as a negative rate
  // (700 MB over 100 minutes: 978.6 kbit/s; a big size over a short time in bits/s).
  MencoderCall call = TranslateMencoderArgs(
      Words("-oac copy -mc 0 -font /p/Mencoder/font.ttf -utf8 -of avi -o /o/QL_f.avi -ovc xvid "
            "-xvidencopts bitrate=-716800:nogmc -vf harddup /in/f.avi -noskip -sub /in/f.srt"));
  EXPECT_EQ(call.args[static_cast<size_t>(call.outputIndex)], "/o/QL_f.avi");
  Args read;
  for (int i : call.inputs) read.push_back(call.args[static_cast<size_t>(i)]);
  EXPECT_EQ(read, Words("/p/Mencoder/font.ttf /in/f.avi /in/f.srt"));
  EXPECT_EQ(call.sources, std::vector<int>{17});
  EXPECT_EQ(call.wantedVideoKb, 716800);
  EXPECT_EQ(XvidOptsForSize("bitrate=-716800:nogmc", 716800, 6000), "bitrate=979:nogmc");
  EXPECT_EQ(XvidOptsForSize("bitrate=-100000:nogmc", 100000, 10), "bitrate=81920000:nogmc");
  // Only a pass of a multi-pass encode needs a place for its statistics (beside the slot,
  // not in the user's current folder), unless it names one.
  EXPECT_TRUE(TranslateMencoderArgs({"-x264encopts", "bitrate=900:pass=2"}).needsPassLog);
  EXPECT_FALSE(TranslateMencoderArgs({"-x264encopts", "bitrate=900:bypass=1"}).needsPassLog);
  EXPECT_FALSE(
      TranslateMencoderArgs({"-passlogfile", "/t/p.log", "-x264encopts", "pass=1"}).needsPassLog);
}

// The WAV decode: 5.1 with side channels is named 5.1 with back channels, not mixed; only
// AC3 carries range data.
TEST(ToolkitArgs, TheAudioChain) {
  std::string error;
  auto stereo = ParseValdecArgs(
      Words("/o/movie.dts -wav /o/movie.wav -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8"), &error);
  ASSERT_TRUE(stereo.has_value()) << error;
  EXPECT_EQ(stereo->input + " " + stereo->output, "/o/movie.dts /o/movie.wav");
  const std::string mixed =
      Join(ValdecFfmpegArgv(*stereo, true, "5.1(side)", "in.ac3", "out.wav"), " ");
  for (const char* part :
       {"-drc_scale 1 -i in.ac3", "-af aformat=channel_layouts=stereo,volume=8.00dB,alimiter=",
        "-c:a pcm_s16le -rf64 auto -f wav out.wav"})
    EXPECT_NE(mixed.find(part), std::string::npos) << part << " in " << mixed;
  EXPECT_EQ(
      Join(ValdecFfmpegArgv(*stereo, false, "5.1(side)", "a.dts", "o.wav"), " ").find("drc_scale"),
      std::string::npos);
  auto keep = ParseValdecArgs({"/o/movie.ac3", "-wav", "/o/movie.wav", "-spk:0", "-fmt:0"}, &error);
  ASSERT_TRUE(keep.has_value()) << error;
  EXPECT_EQ(Join(ValdecFfmpegArgv(*keep, true, "stereo", "in.ac3", "out.wav"), " ").find("-af"),
            std::string::npos);
  const std::string relabelled =
      Join(ValdecFfmpegArgv(*keep, true, "5.1(side)", "in.ac3", "out.wav"), " ");
  EXPECT_NE(relabelled.find("-af channelmap=channel_layout=5.1 "), std::string::npos) << relabelled;
  EXPECT_NE(relabelled.find("-drc_scale 0"), std::string::npos);
  // BeSweet's time scale: 48 kHz relabelled so that 23.976 fps of sound play in the time of 25.
  EXPECT_EQ(SpeedChangedRate(48000, 23976, 25000), 50050);
}

TEST(ToolkitArgs, Mp4RatesAspectsTracksAndSplits) {
  std::string error;
  // The VFW road hands the pixel aspect over as a word of its own.
  auto creator = ParseMp4CreatorArgs(
      {"-rate=25.000", ":par=1920:1440", "-create=/o/movie_video.264", "/o/Film.mp4"}, &error);
  ASSERT_TRUE(creator.has_value()) << error;
  EXPECT_EQ(creator->par, "1920:1440");
  // An MP4 that already holds a track of the kind being added gets it replaced, not doubled.
  EXPECT_TRUE(ExtendsExisting({"audio"}, {"video"}));
  EXPECT_FALSE(ExtendsExisting({"video", "audio"}, {"audio", "video"}));
  EXPECT_FALSE(ExtendsExisting({"audio"}, {"audio"}));
  // Parts start at key frames and stay within the limit; a group larger than the limit
  // stands alone; packets are taken in decoding order.
  const auto movie = [](const std::vector<int>& groups, int frameBytes) {
    std::vector<PacketInfo> packets;
    double t = 0;
    for (int frames : groups)
      for (int i = 0; i < frames; ++i, t += 0.04) {
        packets.push_back({0, t, frameBytes, i == 0});
        packets.push_back({1, t + 0.001, 1000, true});
      }
    return packets;
  };
  const long long mb = 1024 * 1024;
  EXPECT_EQ(PlanSplit(movie(std::vector<int>(20, 25), 10000), 0, mb),
            (std::vector<long long>{75, 150, 225, 300, 375, 450}));  // 3 groups of 275 kB a part
  EXPECT_TRUE(PlanSplit(movie({25, 25}, 1000), 0, mb).empty());
  std::vector<PacketInfo> packets = movie({10, 10, 200, 10}, 10000);
  EXPECT_EQ(PlanSplit(packets, 0, mb), (std::vector<long long>{20, 220}));
}

TEST(ToolkitArgs, SlotsAreFoundWithoutRegardToCase) {
  const std::pair<const char*, const char*> slots[] = {
      {"/opt/q/mkvtoolnix/MKVINFO.EXE", "MKVToolnix/mkvinfo.exe"},
      {"/opt/q/mencoder/mencoder.exe", "Mencoder/Mencoder.exe"},
      {"C:\\Quillet\\Checker\\x264_checker.exe", "Checker/x264_checker.exe"},
      {"D:\\Q\\AVIMUX\\AviMux_GUI.exe", "avimux/avimux_gui.exe"}};
  for (auto [invoked, slot] : slots) {
    ASSERT_NE(FindSlot(invoked), nullptr) << invoked;
    EXPECT_STREQ(FindSlot(invoked)->path, slot);
  }
  EXPECT_EQ(FindSlot("/opt/q/other/mkvinfo.exe"), nullptr);
  EXPECT_EQ(FindSlot("/opt/q/MKVToolnix/xmkvinfo.exe"), nullptr);
}

// --- The classic Matroska report, read back by the program's own parser ---

// mkvmerge -J of a film: anamorphic H.264, AC3, DTS without a language, two subtitles;
// names that would pass for report lines, a UID above 63 bits.
const char* kFilm = R"({
  "attachments": [{"content_type": "font/ttf", "file_name": "+ A track.ttf", "id": 0, "size": 10}],
  "container": {"properties": {"duration": 5423123000000, "title": "Language: xyz"},
                "recognized": true, "supported": true, "type": "Matroska"},
  "tracks": [
    {"codec": "AVC/H.264/MPEG-4p10", "id": 0, "type": "video", "properties": {
      "codec_id": "V_MPEG4/ISO/AVC", "codec_private_data": "01640033ffe1", "codec_private_length": 6,
      "default_duration": 41708333, "display_dimensions": "1920x1080", "display_unit": 0,
      "language": "und", "number": 1, "pixel_dimensions": "1440x1080",
      "track_name": "English subtitles", "uid": 18446744073709551615}},
    {"codec": "AC-3", "id": 1, "type": "audio", "properties": {"audio_channels": 6,
      "codec_id": "A_AC3", "language": "ger", "number": 2}},
    {"codec": "DTS", "id": 2, "type": "audio", "properties": {"codec_id": "A_DTS", "number": 3}},
    {"codec": "SubRip/SRT", "id": 3, "type": "subtitles", "properties": {"codec_id": "S_TEXT/UTF8",
      "language": "fre", "number": 4, "track_name": "Director's comments\nCodec ID: A_AAC"}},
    {"codec": "SubStationAlpha", "id": 4, "type": "subtitles", "properties": {
      "codec_id": "S_TEXT/ASS", "language": "eng", "number": 5}}]})";

TEST(ToolkitReport, TheProgramReadsTheReportAsItReadTheOldTool) {
  auto id = ParseIdentification(kFilm);
  ASSERT_TRUE(id.has_value());
  const std::string report = WriteLegacyReport(*id, EbmlHead{});
  const std::vector<std::string> lines = quillet::test::SplitLines(report);
  for (const char* line :
       {"|+ Segment tracks", "|  + Default duration: 41.708ms (23.976 fps for a video track)",
        "|   + Pixel width: 1440", "|   + Display width: 1920", "|  + Language: ger",
        "| + Duration: 5423.123s (01:30:23.123)", "|  + Track UID: 18446744073709551615",
        "|  + CodecPrivate, length 6 (h.264 profile: High @L5.1)"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << report;
  EXPECT_EQ(report.find('\r'), std::string::npos);
  // Free text could pass for report lines: track names come percent-encoded in quotes, the
  // other names not at all.
  for (const char* text : {"English subtitles", "Director's", "Codec ID: A_AAC", ".ttf", "xyz"})
    EXPECT_EQ(report.find(text), std::string::npos) << text;
  EXPECT_NE(report.find("|  + Name: \"Director%27s%20comments%0ACodec%20ID%3A%20A_AAC\"\n"),
            std::string::npos);
  quillet::test::TestApp t;
  quillet::test::ParseReport(t, report);
  const TrackReport& r = t.app.report;
  std::string read = r.strVideoCodec + " " + t.form().txtSFPS.Text + " " +
                     std::to_string(r.intPixelWidth) + "x" + std::to_string(r.intPixelHeight) +
                     " " + r.strPar + " " + std::to_string(r.lngDuration) + " audio ";
  for (const TrackRow& row : quillet::test::Rows(r.strAudioTracks))
    read += "{" + row.language + "," + row.kind + "," + row.trackId + "}";
  read += " subs ";
  for (const TrackRow& row : quillet::test::Rows(r.strSubTracks))
    read += "{" + row.language + "," + row.kind + "," + row.trackId + "}";
  EXPECT_EQ(read,
            "avc 23.976 1440x1080 :par=1920:1440 5423 audio { ger,0,2}{undefined,1,3} subs "
            "{fre,srt,4}{eng,ASS,5}");
}

TEST(ToolkitReport, DisplaySizeInPixels) {
  const std::array<int, 7> sizes[] = {// pixels, display, unit -> display in pixels
                                      {1440, 1080, 1920, 1080, 0, 1920, 1080},
                                      {720, 576, 16, 9, 3, 1024, 576},
                                      {720, 480, 4, 3, 3, 640, 480},
                                      {1920, 800, 0, 0, 0, 1920, 800}};
  for (const auto& s : sizes) {
    MkvTrack t;
    t.pixelWidth = s[0], t.pixelHeight = s[1], t.displayWidth = s[2], t.displayHeight = s[3];
    t.displayUnit = s[4];
    int w = 0, h = 0;
    DisplayInPixels(t, w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(s[5], s[6])) << s[0] << "x" << s[1] << " unit " << s[4];
  }
}

// An absent QPel or GMC field never reads as "No": the program would pass the file unchecked.
TEST(ToolkitReport, TheAviInformationReport) {
  const auto json = [](const std::string& fields) {
    return R"({"media":{"track":[{"@type":"General","Format":"AVI"},{"@type":"Video")" + fields +
           "}]}}";
  };
  const std::pair<std::string, std::string> cases[] = {
      {R"(,"CodecID":"XVID","Format_Settings_QPel":"No","Format_Settings_GMC":"0")",
       "Codec ID:          XVID\nQPel:              No\nGMC:               No\n"},
      {R"(,"CodecID":"XVID","Format_Settings_QPel":"Yes","Format_Settings_GMC":"3")",
       "QPel:              Yes\nGMC:               Yes\n"},
      {R"(,"CodecID":"DX50","Format_Settings_GMC":"No warppoints")",
       "QPel:              Unknown\nGMC:               No\n"},
      {R"(,"CodecID":"DIV3")", "QPel:              Unknown\nGMC:               Unknown\n"}};
  for (const auto& [fields, lines] : cases) {
    const std::string report = AviInfoReport(json(fields), "t.avi");
    for (const std::string& line : quillet::test::SplitLines(lines))
      EXPECT_NE(report.find(line + "\n"), std::string::npos) << line << " in " << report;
    EXPECT_EQ(report.find("Error:"), std::string::npos) << report;
  }
  for (const char* bad :
       {R"({"media":null})", "not json", R"({"media":{"track":[{"@type":"General"}]}})"}) {
    const std::string report = AviInfoReport(bad, "t.avi");
    EXPECT_EQ(report.rfind("Error: ", 0), 0u) << report;
    EXPECT_EQ(report.find("QPel"), std::string::npos) << report;
  }
}

const std::string kVideo = "V_MPEG4/ISO/AVC, \"D:\\out\\movie.h264\", fps=23.976\r\n";

TEST(ToolkitMuxJob, TheOptionLinesAndTrackLinesTheProgramWrites) {
  // clang-format off
  const std::pair<std::string, std::string> options[] = {  // MUXOPT line, what it sets
      {"MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --split-size=3000MB  --vbv-len=500", "0 0 5 3000000000"},
      {"MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --vbv-len=500 --split-size=7900MB ", "1 1 5 7900000000"},
      {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500", "0 0 0 0"},
      {"MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr --split-size=4.3GB ", "0 0 0 4300000000"}};
  // clang-format on
  std::string error;
  for (const auto& [line, sets] : options) {
    auto job = ParseMuxJob(line + "\r\n" + kVideo, &error);
    ASSERT_TRUE(job.has_value()) << line << ": " << error;
    const MuxOptions& o = job->options;
    EXPECT_EQ(Format("%d %d %d %lld", o.bluRay, o.insertBlankPlaylist, o.chapterMinutes,
                     static_cast<long long>(o.splitBytes)),
              sets);
  }
  // A path with commas in the Windows code page, a subtitle style, MPEG-2 from a program
  // stream (track 224), languages, LF line ends and a byte-order mark.
  auto job = ParseMuxJob(
      "MUXOPT --blu-ray\r\n"
      "V_MPEG4/ISO/AVC, \"D:\\My Films\\\xDC"
      "ber, das Boot \x80.mkv\", track=1, level=4.1, fps=23.976\r\n"
      "A_DTS, \"D:\\x.mkv\", track=3\r\n"
      "S_TEXT/UTF8, \"D:\\x.srt\" ,font-name=\"Arial\",font-size=42,video-width=1920,"
      "video-height=800, , fps=23.976\r\n",
      &error);
  ASSERT_TRUE(job.has_value()) << error;
  ASSERT_EQ(job->tracks.size(), 3u);
  const MuxTrack& v = job->tracks[0];
  EXPECT_EQ(v.path, "D:\\My Films\\Über, das Boot €.mkv");
  EXPECT_EQ(std::tuple(v.codec, v.track.value_or(0), v.level, v.fps, v.line),
            std::tuple(TrackCodec::H264, 1, 41, std::string("23.976"), 2));
  EXPECT_EQ(std::pair(job->tracks[1].codec, job->tracks[1].track.value_or(0)),
            std::pair(TrackCodec::Dts, 3LL));
  const MuxTrack& s = job->tracks[2];
  EXPECT_EQ(s.codec, TrackCodec::TextSubtitle);
  EXPECT_EQ(
      s.style.at("font-name") + " " + s.style.at("video-width") + "x" + s.style.at("video-height"),
      "Arial 1920x800");
  EXPECT_FALSE(s.track.has_value());
  job = ParseMuxJob(
      "\xEF\xBB\xBFMUXOPT --vbr\nV_MPEG-2, \"/w/movie.mpg\", fps=25.000, track=224\n"
      "A_MP3, \"/w/film.mkv\", track=2, lang=ger\n"
      "S_TEXT/UTF8, \"/w/film.mkv\" ,font-name=\"Arial\", track=4, fps=25, lang=undefined\n",
      &error);
  ASSERT_TRUE(job.has_value()) << error;
  EXPECT_EQ(job->tracks[0].track.value_or(0), 224);
  EXPECT_EQ(job->tracks[1].language + job->tracks[2].language, "gerund");
  EXPECT_EQ(ParseMuxJob("V_MS/VFW/WVC1, \"/w/movie.vc1\", fps=23.976", &error)->tracks[0].codec,
            TrackCodec::Vc1);

  EXPECT_EQ(ParseSplitSize("23gb").value_or(-1), 23000000000LL);
  EXPECT_EQ(ParseSplitSize("500KB").value_or(-1), 500000);
  for (const char* bad : {"", "4", "MB", "-3MB", "0MB", "4TB", "4 GiB"})
    EXPECT_FALSE(ParseSplitSize(bad).has_value()) << bad;
}

TEST(ToolkitMuxJob, RefusalsNameWhatIsWrongInOneLine) {
  const std::pair<std::string, const char*> cases[] = {
      {"MUXOPT --vbr --cut-start=10\n" + kVideo, "--cut-start=10"},
      {"MUXOPT --vbr\nV_MPEG4/ISO/HEVC, \"/w/a.h265\"\n", "V_MPEG4/ISO/HEVC"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", bitrate=640\n", "bitrate"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", track=0\n", "track=0"},
      {"MUXOPT --vbr\nA_AC3, \"/w/a.ac3\", lang=english\n", "lang=english"},
      {"MUXOPT --vbr\n", "no track"},
      {"MUXOPT --vbr\n" + kVideo + kVideo, "more than one video"},
      {"MUXOPT\n\nA_AC3, \"/a.ac3\", fps=x\n", "line 3"},
  };
  for (const auto& [text, named] : cases) {
    std::string error;
    EXPECT_FALSE(ParseMuxJob(text, &error).has_value()) << text;
    EXPECT_NE(error.find(named), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(ToolkitProgress, TheShareIsReadWhereverTheReadsCutTheLines) {
  const auto ffmpeg = [] { return std::make_unique<FfmpegProgress>(20.0); };
  const auto mkv = [] { return std::make_unique<MkvToolNixProgress>(); };
  const auto mencoder = [] { return std::make_unique<MencoderProgress>(); };
  const struct {
    std::function<std::unique_ptr<ProgressParser>()> make;
    std::string output;
    double share;  // -1: none yet
    std::string passedToTheLog;
  } cases[] = {
      {ffmpeg, "frame=250\nout_time_us=10000000\nout_time=00:00:10.000000\nprogress=continue\n",
       0.5, ""},
      {mkv,
       "Extracting track 0 to the file 'v.h264'.\nProgress: 25%\rProgress: 49%\rProgress: 73%\r",
       0.73, "Extracting track 0 to the file 'v.h264'.\n"},
      {mkv, "Progress: 100%\rThe cue entries (the index) are being written...\n", 1.0,
       "The cue entries (the index) are being written...\n"},
      {mencoder,
       "Pos:   0.4s     10f ( 2%)  0.00fps Trem:   0min   0mb  A-V:0.000 [0:0]\r"
       "Pos:  12.3s    308f (61%) 41.00fps Trem:   0min   2mb  A-V:0.000 [1200:192]\r"
       "Video stream: 1200.000 kbit/s\n",
       0.61, "Video stream: 1200.000 kbit/s\n"},
      {mencoder, "Pos:   0.0s      1f \r", -1, ""},
  };
  for (const auto& c : cases) {
    for (size_t piece : {c.output.size(), size_t{1}, size_t{7}}) {
      std::unique_ptr<ProgressParser> parser = c.make();
      std::string passed;
      for (size_t at = 0; at < c.output.size(); at += piece)
        passed += parser->Feed(std::string_view(c.output).substr(at, piece));
      passed += parser->Finish();
      SCOPED_TRACE(c.output.substr(0, 20) + ", pieces of " + std::to_string(piece));
      EXPECT_NEAR(parser->Fraction().value_or(-1), c.share, 1e-9);
      EXPECT_EQ(passed, c.passedToTheLog);
    }
  }
}

}  // namespace
}  // namespace quillet::toolkit
