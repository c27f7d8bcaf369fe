// The slot adapters' command-line translation: the command lines the program writes, as
// the Debian tools must receive them.

#include <gtest/gtest.h>

#include "tests/support/TestApp.h"
#include "toolkit/Mp4Build.h"
#include "toolkit/SlotTable.h"
#include "base/Text.h"
#include "toolkit/TrackIds.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

using Args = std::vector<std::string>;
using quillet::test::Words;

bool ByExtension(const std::string& source) {
  return IEndsWith(source, ".mkv") || IEndsWith(source, ".mks");
}

TEST(ToolkitMkvextract, OldTrackNumbersBecomeTodaysIds) {
  std::string error;
  auto call = ParseMkvextractArgs(
      Words("tracks /in/film.mkv 1:/out/movie.h264 2:/out/movie.ac3 4:/out/movie.srt"), &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(Words("mkvextract /in/film.mkv tracks 0:/out/movie.h264 1:/out/movie.ac3 "
                  "3:/out/movie.srt"),
            MkvextractArgv(*call));

  call = ParseMkvextractArgs(Words("tracks /in/a:b.mkv -c cp1252 --raw 3:/o/x:y.bin"), &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(Words("mkvextract /in/a:b.mkv tracks -c cp1252 --raw 2:/o/x:y.bin"),
            MkvextractArgv(*call));
}

TEST(ToolkitMkvextract, RefusesWhatWouldTakeAWrongTrack) {
  const Args bad[] = {
      {"tracks", "/in/film.mkv", "0:/out/movie.h264"},  // no track 0 in the old numbering
      {"tracks", "/in/film.mkv", ":/out/movie.h264"},   // an empty track id (no audio track)
      {"tracks", "/in/film.mkv", "x:/out/movie.h264"},   {"tracks", "/in/film.mkv"},
      {"/in/film.mkv", "tracks", "1:/out/movie.h264"},  // today's form is not the program's
      {"tracks", "/in/film.mkv", "--bogus", "1:/out/a"},
  };
  for (const Args& args : bad) {
    std::string error;
    EXPECT_FALSE(ParseMkvextractArgs(args, &error).has_value()) << Join(args, " ");
    EXPECT_FALSE(error.empty());
  }
}

TEST(ToolkitMkvmerge, SplitCommandShiftsOnlyTheMatroskaSource) {
  // The splitter line with an external subtitle file (video 1, audio 2).
  std::string error;
  auto call = TranslateMkvmergeArgs(
      Words("-o /out/split/film.mkv -d 1 --compression 1:none -a 2 --compression 1:none -S "
            "/in/film.mkv -s 0 -D -A /in/film.srt --split size:2095000K"),
      ByExtension, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(Words("-o /out/split/film.mkv -d 0 --compression 0:none -a 1 --compression 0:none -S "
                  "/in/film.mkv -s 0 -D -A /in/film.srt --split size:2095000K"),
            call->args);
  EXPECT_EQ(1, call->outputIndex);
  EXPECT_EQ((std::vector<int>{11, 16}), call->sources);
}

TEST(ToolkitMkvmerge, TrackListsAndPrefixedOptionsOfEachSource) {
  struct Case {
    const char *in, *out;
  } cases[] = {
      // Embedded subtitle track chosen for the parts (" -s 4").
      {"-o o.mkv -d 1 -a 3 -s 4 a.mkv", "-o o.mkv -d 0 -a 2 -s 3 a.mkv"},
      // The remux for an external subtitle file.
      {"-o t.mkv -d 1 -a 2 -S a.mkv -s 0 -D -A s.srt",
       "-o t.mkv -d 0 -a 1 -S a.mkv -s 0 -D -A s.srt"},
      // Lists, negation, language selectors, all-tracks ids.
      {"-o o.mkv -a !2,3 -s eng --sync -1:200 --language 2:ger a.mkv",
       "-o o.mkv -a !1,2 -s eng --sync -1:200 --language 1:ger a.mkv"},
      // Options of the second source only, after a first Matroska source.
      {"-o o.mkv -a 2 a.mkv --language 0:fre b.srt + c.mkv",
       "-o o.mkv -a 1 a.mkv --language 0:fre b.srt + c.mkv"},
      {"-o o.mkv a.mkv -d 2 +c.mkv", "-o o.mkv a.mkv -d 1 + c.mkv"},
  };
  for (const Case& c : cases) {
    std::string error;
    auto call = TranslateMkvmergeArgs(Words(c.in), ByExtension, &error);
    ASSERT_TRUE(call.has_value()) << c.in << ": " << error;
    EXPECT_EQ(Words(c.out), call->args) << c.in;
  }
}

TEST(ToolkitMkvmerge, RefusesWhatItCannotTranslateSafely) {
  for (const char* bad : {
           "-o o.mkv -d 0 a.mkv",                  // old numbering has no track 0
           "-o o.mkv --compression 0:none a.mkv",  // same, prefixed
           "-o o.mkv -s 0 subs.mks",               // a Matroska subtitle file
           "-o o.mkv --frobnicate 1 a.mkv",        // unknown: value or not?
           "-o o.mkv a.mkv -a",                    // value missing
           "a.mkv",                                // no output
           "-o o.mkv",                             // no source
           "-o o.mkv ( a.mkv )",
       }) {
    std::string error;
    EXPECT_FALSE(TranslateMkvmergeArgs(Words(bad), ByExtension, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(ToolkitFfmpeg, OldEncoderNamesBitratesAndDemuxers) {
  struct Case {
    Args in, out;
    int input, output;  // positions of the one input and the one output file
  } cases[] = {
      {Words("-f wav -i /o/movie.wav -acodec libfaac -ac 2 -ab 224kb /o/movie.aac"),
       Words("-f wav -i /o/movie.wav -acodec aac -ac 2 -ab 224k /o/movie.aac"), 3, 10},
      {Words("-f mp2 -i /o/movie.mp2 -acodec libfaac -ac 6 -ab 224kb /o/movie.aac"),
       Words("-f mp3 -i /o/movie.mp2 -acodec aac -ac 6 -ab 224k /o/movie.aac"), 3, 10},
      // An output format mp2 is a real muxer and stays.
      {Words("-i a.wav -c:a mp2 -f mp2 -b:a 192kb out.mp2"),
       Words("-i a.wav -c:a mp2 -f mp2 -b:a 192k out.mp2"), 1, 8},
      {{"-i", "/o/movie.mp3 ", "-acodec", "pcm_s16le", "/o/movie.wav"},
       {"-i", "/o/movie.mp3 ", "-acodec", "pcm_s16le", "/o/movie.wav"},
       1,
       4},
      // The MPEG-2 repack: -y is the adapter's business, "ms" belongs to -bug.
      {Words(
           "-threads 4 -i /in/f.mkv -vcodec copy -acodec copy -f vob -copyts -y /o/f.mpg -bug ms"),
       Words("-threads 4 -i /in/f.mkv -vcodec copy -acodec copy -f vob -copyts /o/f.mpg -bug ms"),
       3, 11},
  };
  for (const Case& c : cases) {
    FfmpegCall call = TranslateFfmpegArgs(c.in);
    EXPECT_EQ(c.out, call.args) << Join(c.in, " ");
    EXPECT_EQ(std::vector<int>{c.input}, call.inputs) << Join(c.in, " ");
    EXPECT_EQ(std::vector<int>{c.output}, call.outputs) << Join(c.in, " ");
    EXPECT_FALSE(call.noOverwrite);
  }
  EXPECT_TRUE(TranslateFfmpegArgs({"-n", "-i", "a", "b"}).noOverwrite);
}

TEST(ToolkitMencoder, BarePyramidGetsAModeAndTheOutputIsFound) {
  const std::string opts =
      "bitrate=6000:threads=4:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:"
      "partitions=p8x8,b8x8,i8x8,i4x4:me=hex:me_range=12:subq=5:chroma_me:mixed_refs:"
      "trellis=1:weight_b:b_pyramid:nr=0:pass=1:turbo=1";
  MencoderCall call = TranslateMencoderArgs(
      Words("-nosound -noskip -mc 0 -of rawvideo -o /o/movie.h264 -ovc x264 -x264encopts " + opts +
            " -ofps 24000/1001 -vf harddup /in/f.mkv -sid 99"));
  EXPECT_EQ(7, call.outputIndex);
  EXPECT_EQ("/o/movie.h264", call.args[7]);
  std::string fixed = call.args[11];
  EXPECT_NE(std::string::npos, fixed.find(":weight_b:b_pyramid=normal:nr=0:"));
  EXPECT_EQ(opts.size() + 7, fixed.size());  // nothing else changed

  EXPECT_EQ("b_pyramid=strict:bframes=3", FixX264EncOpts("b_pyramid=strict:bframes=3"));
  EXPECT_EQ("b_pyramid=normal", FixX264EncOpts("b_pyramid"));
  EXPECT_EQ(-1, TranslateMencoderArgs({"-ovc", "copy", "in.avi"}).outputIndex);

  // Only a pass of a multi-pass encode needs a place for its statistics, unless it names one.
  EXPECT_TRUE(call.needsPassLog);
  EXPECT_TRUE(TranslateMencoderArgs({"-x264encopts", "bitrate=900:pass=2"}).needsPassLog);
  EXPECT_FALSE(TranslateMencoderArgs({"-x264encopts", "bitrate=900:bypass=1"}).needsPassLog);
  EXPECT_FALSE(TranslateMencoderArgs({"-x264encopts", "bitrate=900:level=41"}).needsPassLog);
  EXPECT_FALSE(
      TranslateMencoderArgs({"-passlogfile", "/t/p.log", "-x264encopts", "pass=1"}).needsPassLog);
}

// The options Debian's mencoder refuses or reads otherwise, each with the form it takes.
TEST(ToolkitMencoder, OptionsPutAsDebiansEncoderReadsThem) {
  struct Case {
    const char *option, *in, *out;
  } cases[] = {
      // lavc: mv0 is a flag of mpv_flags, lmin a lambda (quantiser x 118).
      {"-lavcopts", "vcodec=mpeg2video:lmin=1:vstrict=0:mv0",
       "vcodec=mpeg2video:o=lmin=118:vstrict=0:o=mpv_flags=+mv0"},
      {"-lavcopts", "lmin=2.5:vqmin=1", "o=lmin=295:vqmin=1"},
      {"-lavcopts", "keyint=15:dia=2:trell", "keyint=15:dia=2:trell"},
      {"-lavcopts", "lmin=x", "lmin=x"},  // not a number: left for mencoder to refuse
      // Xvid: from 16000 on the encoder counts bits/s; the program means kbit/s.
      {"-xvidencopts", "bitrate=25000:max_bframes=2", "bitrate=25000000:max_bframes=2"},
      {"-xvidencopts", "bitrate=16000:nogmc", "bitrate=16000000:nogmc"},
      {"-xvidencopts", "bitrate=15999:nogmc", "bitrate=15999:nogmc"},
      {"-xvidencopts", "bitrate=-716800:noqpel", "bitrate=-716800:noqpel"},
      // x264: a bare b_pyramid takes a mode.
      {"-x264encopts", "bframes=2:b_pyramid:nr=0", "bframes=2:b_pyramid=normal:nr=0"},
      // Other options' values are not touched.
      {"-vf", "harddup,scale=1280:720", "harddup,scale=1280:720"},
  };
  for (const Case& c : cases) {
    MencoderCall call = TranslateMencoderArgs({c.option, c.in, "in.mkv"});
    ASSERT_EQ(3u, call.args.size()) << c.in;
    EXPECT_EQ(c.out, call.args[1]) << c.option << " " << c.in;
    EXPECT_EQ(c.option, call.args[0]);
  }
}

TEST(ToolkitMencoder, RepairLineWithSubtitleFileAndSizeRate) {
  const std::string xvid =
      "bitrate=-716800:max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:"
      "chroma_me:nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";
  MencoderCall call = TranslateMencoderArgs(
      Words("-oac copy -mc 0 -font /p/Mencoder/font.ttf -utf8 -subwidth 90 -subpos 90 "
            "-subfont-autoscale 1 -subfont-text-scale 4 -of avi -o /o/QL_f.avi -ovc xvid "
            "-xvidencopts " +
            xvid + " -vf harddup /in/f.avi -noskip -sub /in/f.srt"));
  EXPECT_EQ("/o/QL_f.avi", call.args[static_cast<size_t>(call.outputIndex)]);
  std::vector<std::string> read;
  for (int i : call.inputs) read.push_back(call.args[static_cast<size_t>(i)]);
  EXPECT_EQ(Words("/p/Mencoder/font.ttf /in/f.avi /in/f.srt"), read);
  ASSERT_EQ(1u, call.sources.size());
  EXPECT_EQ("/in/f.avi", call.args[static_cast<size_t>(call.sources[0])]);
  EXPECT_EQ(716800, call.wantedVideoKb);
  EXPECT_EQ(xvid, call.args[static_cast<size_t>(call.xvidOptsIndex)]);
  EXPECT_EQ("xvid", call.videoCodec);

  // 700 MB over 100 minutes: 700 x 1024 x 8 / 6000 s = 978.6 kbit/s.
  EXPECT_EQ("bitrate=979:nogmc", XvidOptsForSize("bitrate=-716800:nogmc", 716800, 6000));
  // A big size over a short time: given in bits/s, as the encoder reads large values.
  EXPECT_EQ("bitrate=81920000:nogmc", XvidOptsForSize("bitrate=-100000:nogmc", 100000, 10));
  EXPECT_EQ(0, TranslateMencoderArgs(Words("-xvidencopts bitrate=900 in.avi")).wantedVideoKb);
}

TEST(ToolkitMencoder, VideoEncodesFromAnAviReadItWithLibavformat) {
  auto isAvi = [](const std::string& path) { return IEndsWith(path, ".avi"); };
  struct Case {
    const char* line;
    bool lavf;
  } cases[] = {
      {"-oac copy -of avi -o /o/QL_f.avi -ovc xvid -xvidencopts bitrate=900 /in/f.avi", true},
      {"-endpos 10mb -ovc copy -oac copy /in/f.avi -o /o/test.avi", false},
      {"-oac mp3lame -of avi -o /o/QL_f.avi -ovc copy /in/f.avi", false},
      {"-of avi -o /o/movie.avi -ovc xvid -nosound /in/f.mkv -sid 99", false},
      {"-demuxer mkv -ovc xvid -o /o/m.avi /in/f.avi", false},    // the caller chose
      {"-ovc lavc -o /o/m.mpg /in/f.mkv -sub /in/x.avi", false},  // only sources count
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.lavf, NeedsLavfDemuxer(TranslateMencoderArgs(Words(c.line)), isAvi)) << c.line;
}

TEST(ToolkitValdec, CommandLinesOfTheAudioChain) {
  std::string error;
  auto stereo = ParseValdecArgs(
      Words("/o/movie.dts -wav /o/movie.wav -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8"), &error);
  ASSERT_TRUE(stereo.has_value()) << error;
  EXPECT_EQ("/o/movie.dts", stereo->input);
  EXPECT_EQ("/o/movie.wav", stereo->output);
  EXPECT_EQ(2, stereo->speakers);
  EXPECT_TRUE(stereo->drc);
  EXPECT_DOUBLE_EQ(8.0, stereo->gainDb);

  Args ac3 = ValdecFfmpegArgv(*stereo, true, "5.1(side)", "in.ac3", "out.wav");
  std::string line = Join(ac3, " ");
  EXPECT_NE(std::string::npos, line.find("-drc_scale 1 -i in.ac3"));
  EXPECT_NE(std::string::npos,
            line.find("-af aformat=channel_layouts=stereo,volume=8.00dB,alimiter="));
  EXPECT_NE(std::string::npos, line.find("-c:a pcm_s16le -rf64 auto -f wav out.wav"));
  EXPECT_EQ(std::string::npos,
            Join(ValdecFfmpegArgv(*stereo, false, "5.1(side)", "a.dts", "o.wav"), " ")
                .find("drc_scale"));  // only AC3 carries range data

  auto keep = ParseValdecArgs({"/o/movie.ac3", "-wav", "/o/movie.wav", "-spk:0", "-fmt:0"}, &error);
  ASSERT_TRUE(keep.has_value()) << error;
  line = Join(ValdecFfmpegArgv(*keep, true, "stereo", "in.ac3", "out.wav"), " ");
  EXPECT_EQ(std::string::npos, line.find("-af"));  // channels as in the source, no gain
  // 5.1 with side channels is named 5.1 with back channels, not mixed.
  line = Join(ValdecFfmpegArgv(*keep, true, "5.1(side)", "in.ac3", "out.wav"), " ");
  EXPECT_NE(std::string::npos, line.find("-af channelmap=channel_layout=5.1 "));
  EXPECT_NE(std::string::npos, line.find("-drc_scale 0"));

  auto six = ParseValdecArgs({"a.ac3", "-wav", "b.wav", "-spk:6", "-fmt:0", "-drc+"}, &error);
  ASSERT_TRUE(six.has_value());
  EXPECT_NE(
      std::string::npos,
      Join(ValdecFfmpegArgv(*six, true, "5.1(side)", "a", "b"), " ").find("channel_layouts=5.1 "));

  for (const Args& bad : {Args{"a.ac3", "-spk:2"}, Args{"a.ac3", "-wav", "b.wav", "-spk:9"},
                          Args{"a.ac3", "-raw", "b.raw"}, Args{"-wav", "b.wav"}})
    EXPECT_FALSE(ParseValdecArgs(bad, &error).has_value()) << Join(bad, " ");
}

TEST(ToolkitBeSweet, TimeScaleIsASpeedChange) {
  std::string error;
  auto call = ParseBeSweetArgs(
      Words("-core( -input /o/movie2.wav -2ch -output /o/movie.wav ) -ota( -r 23976 25000 )"),
      &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ("/o/movie2.wav", call->input);
  EXPECT_EQ("/o/movie.wav", call->output);
  EXPECT_TRUE(call->stereo);
  EXPECT_EQ(23976, call->from);
  EXPECT_EQ(25000, call->to);
  // 48 kHz relabelled so that 23.976 fps of sound play in the time of 25.
  EXPECT_EQ(50050, SpeedChangedRate(48000, 23976, 25000));
  EXPECT_EQ(45983, SpeedChangedRate(44100, 23976, 25000));
  EXPECT_EQ(48000, SpeedChangedRate(48000, 25000, 25000));

  for (const char* bad : {"-core( -input a.wav )", "-core( -input a -output b ) -ota( -r x 1",
                          "-core( -input a -output b -logfile c )"})
    EXPECT_FALSE(ParseBeSweetArgs(Words(bad), &error).has_value()) << bad;
}

TEST(ToolkitH264Info, ReadsTheIniTheProgramWrites) {
  auto paths = ParseH264InfoIni(
      "[Paths]\r\nInputPath=/home/u/out put/movie_raw.h264\r\nOutputPath=/home/u/out "
      "put/movie.h264\r\n");
  ASSERT_TRUE(paths.has_value());
  EXPECT_EQ("/home/u/out put/movie_raw.h264", paths->input);
  EXPECT_EQ("/home/u/out put/movie.h264", paths->output);

  paths = ParseH264InfoIni("[other]\nInputPath=x\n[paths]\ninputpath=/a=b.h264\nOUTPUTPATH=/c\n");
  ASSERT_TRUE(paths.has_value());
  EXPECT_EQ("/a=b.h264", paths->input);
  EXPECT_FALSE(ParseH264InfoIni("InputPath=/a\nOutputPath=/b\n").has_value());
  EXPECT_FALSE(ParseH264InfoIni("[Paths]\r\nInputPath=/a\r\n").has_value());
}

TEST(ToolkitMp4Box, CommandLinesOfTheMp4Road) {
  auto none = [](const std::string&) { return false; };
  std::string error;
  // First attempt: audio and anamorphic video.
  auto call = ParseMp4BoxArgs(
      Words("-add /o/movie.aac -add /o/movie.h264:fps=23.976:par=1920:1440 /o/Film.mp4 -tmp /o"),
      none, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(Mp4BoxCall::Mode::Add, call->mode);
  ASSERT_EQ(2u, call->inputs.size());
  EXPECT_EQ("/o/movie.aac", call->inputs[0].path);
  EXPECT_EQ("/o/movie.h264", call->inputs[1].path);
  EXPECT_EQ("23.976", call->inputs[1].fps);
  EXPECT_EQ("1920:1440", call->inputs[1].par);
  EXPECT_EQ("/o/Film.mp4", call->file);
  EXPECT_EQ("/o", call->tmpDir);

  // Video added to the MP4 the AAC encoder made.
  call = ParseMp4BoxArgs(Words("-fps 25.000 -add /o/movie.h264:par=64:45 /o/Film.mp4 -tmp /o"),
                         none, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ("25.000", call->globalFps);
  EXPECT_EQ("", call->inputs[0].fps);
  EXPECT_EQ("64:45", call->inputs[0].par);

  call = ParseMp4BoxArgs({"-splits", "2095000", "/o/Film.mp4"}, none, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(Mp4BoxCall::Mode::Split, call->mode);
  EXPECT_EQ(2095000, call->splitKb);

  call = ParseMp4BoxArgs({"-aviraw", "video", "/o/movie.avi"}, none, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(Mp4BoxCall::Mode::AviRaw, call->mode);
  EXPECT_EQ("/o/movie.avi", call->file);
}

TEST(ToolkitMp4Box, ColonsInFoldersAndSelectors) {
  auto exists = [](const std::string& p) {
    return p == "/o/a:b/movie.h264" || p == "/o/odd:name.aac" || p == "/o/x#video.mp4";
  };
  std::string error;
  auto input = ParseMp4BoxInput("/o/a:b/movie.h264:fps=25", exists, &error);
  ASSERT_TRUE(input.has_value()) << error;
  EXPECT_EQ("/o/a:b/movie.h264", input->path);
  EXPECT_EQ("25", input->fps);

  input = ParseMp4BoxInput("/o/odd:name.aac", exists, &error);
  ASSERT_TRUE(input.has_value());
  EXPECT_EQ("/o/odd:name.aac", input->path);

  input = ParseMp4BoxInput("/o/film.mp4#audio", exists, &error);
  ASSERT_TRUE(input.has_value());
  EXPECT_EQ("/o/film.mp4", input->path);
  EXPECT_EQ("audio", input->selector);
  input = ParseMp4BoxInput("/o/x#video.mp4", exists, &error);
  ASSERT_TRUE(input.has_value());
  EXPECT_EQ("/o/x#video.mp4", input->path);  // an existing name keeps its '#'

  EXPECT_FALSE(ParseMp4BoxInput("/o/m.h264:lang=eng", exists, &error).has_value());
  EXPECT_FALSE(ParseMp4BoxInput("/o/m.mp4#trackID=2", exists, &error).has_value());
  auto none = [](const std::string&) { return false; };
  EXPECT_FALSE(ParseMp4BoxArgs({"-splits", "100", "-add", "a.aac", "b.mp4"}, none, &error));
  EXPECT_FALSE(ParseMp4BoxArgs({"-add", "a.aac"}, none, &error));
  EXPECT_FALSE(ParseMp4BoxArgs({"-splits", "0", "b.mp4"}, none, &error));
  EXPECT_FALSE(ParseMp4BoxArgs({"-aviraw", "audio", "b.avi"}, none, &error));
  EXPECT_FALSE(ParseMp4BoxArgs({"-hint", "b.mp4"}, none, &error));
}

TEST(ToolkitMp4Creator, CommandLinesOfTheFallback) {
  std::string error;
  auto call = ParseMp4CreatorArgs({"-rate=23.976", "-create=/o/movie.aac", "/o/Film.mp4"}, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ("/o/movie.aac", call->create);
  EXPECT_EQ("23.976", call->rate);
  EXPECT_EQ("/o/Film.mp4", call->file);

  call = ParseMp4CreatorArgs(
      Words("-rate=23.976 -qtw=1920 -qth=1080 -create=/o/movie.264 /o/Film.mp4"), &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ(1920, call->qtw);
  EXPECT_EQ(1080, call->qth);

  // The VFW road hands the pixel aspect over as a word of its own.
  call = ParseMp4CreatorArgs(
      {"-rate=25.000", ":par=1920:1440", "-create=/o/movie_video.264", "/o/Film.mp4"}, &error);
  ASSERT_TRUE(call.has_value()) << error;
  EXPECT_EQ("1920:1440", call->par);

  EXPECT_FALSE(ParseMp4CreatorArgs({"-rate=25", "/o/Film.mp4"}, &error));
  EXPECT_FALSE(ParseMp4CreatorArgs({"-create=/o/a.aac"}, &error));
  EXPECT_FALSE(ParseMp4CreatorArgs({"-create=/o/a.aac", "-hint", "/o/b.mp4"}, &error));
  EXPECT_FALSE(ParseMp4CreatorArgs({"-create=/o/a.264", "-qtw=x", "/o/b.mp4"}, &error));
}

TEST(ToolkitMp4Box, FrameRatesAndAspects) {
  struct Case {
    const char* text;
    long long num, den;
  } rates[] = {{"23.976", 24000, 1001}, {"29.970", 30000, 1001}, {"59.940", 60000, 1001},
               {"25.000", 25, 1},       {"50", 50, 1},           {"24000/1001", 24000, 1001},
               {"12.5", 25, 2},         {"24.000", 24, 1}};
  for (const Case& c : rates) {
    auto r = ParseFrameRate(c.text);
    ASSERT_TRUE(r.has_value()) << c.text;
    EXPECT_EQ((Rational{c.num, c.den}), *r) << c.text;
  }
  for (const char* bad : {"", "abc", "0", "25/0", "-25", "1.2.3"})
    EXPECT_FALSE(ParseFrameRate(bad).has_value()) << bad;

  EXPECT_EQ((Rational{4, 3}), *ParseRatio("1920:1440"));
  EXPECT_EQ((Rational{64, 45}), *ParseRatio("64/45"));
  EXPECT_FALSE(ParseRatio("1920").has_value());
  EXPECT_FALSE(ParseRatio("0:1").has_value());
  EXPECT_EQ((Rational{4, 3}), *ParFromDisplaySize(1440, 1080, 1920, 1080));
  EXPECT_EQ((Rational{64, 45}), *ParFromDisplaySize(720, 576, 1024, 576));
  EXPECT_EQ((Rational{1, 1}), *ParFromDisplaySize(1280, 720, 1280, 720));
  EXPECT_FALSE(ParFromDisplaySize(0, 720, 1280, 720).has_value());
}

TEST(ToolkitMp4Box, AddingExtendsAnMp4OnlyWithKindsItLacks) {
  using Kinds = std::vector<std::string>;
  EXPECT_TRUE(ExtendsExisting({"audio"}, {"video"}));  // video beside the encoder's AAC
  EXPECT_TRUE(ExtendsExisting({}, {"audio"}));
  EXPECT_FALSE(ExtendsExisting(Kinds{"video", "audio"}, Kinds{"audio", "video"}));
  EXPECT_FALSE(ExtendsExisting({"audio"}, {"audio"}));  // the creator's first call, again
}

// Raw bytes of each part of a plan.
std::vector<long long> PartBytes(const std::vector<PacketInfo>& packets,
                                 const std::vector<long long>& cuts) {
  std::vector<long long> parts(1, 0);
  long long video = 0;
  size_t next = 0;
  for (const PacketInfo& p : packets) {
    if (p.stream == 0) {
      if (next < cuts.size() && video == cuts[next]) {
        parts.push_back(0);
        ++next;
      }
      ++video;
    }
    parts.back() += p.size;
  }
  return parts;
}

// A video of groups of pictures (key frame first) with an audio packet after each frame.
std::vector<PacketInfo> Movie(const std::vector<int>& groupSizes, int frameBytes) {
  std::vector<PacketInfo> packets;
  double t = 0;
  for (int frames : groupSizes)
    for (int i = 0; i < frames; ++i) {
      packets.push_back({0, t, frameBytes, i == 0});
      packets.push_back({1, t + 0.001, 1000, true});
      t += 0.04;
    }
  return packets;
}

TEST(ToolkitMp4Split, PartsStartAtKeyFramesAndStayWithinTheLimit) {
  std::vector<PacketInfo> packets = Movie(std::vector<int>(20, 25), 10000);  // 20 x 275 kB
  const long long limit = 1024 * 1024;
  std::vector<long long> cuts = PlanSplit(packets, 0, limit);
  ASSERT_FALSE(cuts.empty());
  for (long long cut : cuts) EXPECT_EQ(0, cut % 25) << "cut inside a group at frame " << cut;
  std::vector<long long> parts = PartBytes(packets, cuts);
  long long total = 0;
  for (long long bytes : parts) {
    EXPECT_LE(bytes, limit);
    total += bytes;
  }
  EXPECT_EQ(20 * 25 * 11000, total);
  // Three groups (825 kB) fit in 1 MB, four (1.1 MB) do not: 7 parts for 20 groups.
  EXPECT_EQ(7u, parts.size());
}

TEST(ToolkitMp4Split, SmallFilesStayWholeAndHugeGroupsStandAlone) {
  EXPECT_TRUE(PlanSplit(Movie({25, 25}, 1000), 0, 1024 * 1024).empty());
  // The third group alone is larger than the limit: it gets a part of its own.
  std::vector<PacketInfo> packets = Movie({10, 10, 200, 10}, 10000);
  std::vector<long long> cuts = PlanSplit(packets, 0, 1024 * 1024);
  EXPECT_EQ((std::vector<long long>{20, 220}), cuts);
  // Interleaving in the input does not matter: packets are taken in decoding order.
  std::vector<PacketInfo> shuffled = packets;
  std::reverse(shuffled.begin(), shuffled.end());
  EXPECT_EQ(cuts, PlanSplit(shuffled, 0, 1024 * 1024));
}

TEST(ToolkitSlotTable, SlotsAreFoundWithoutRegardToCase) {
  struct Case {
    const char* invoked;
    const char* slot;
  } cases[] = {
      {"/opt/q/MKVToolnix/mkvinfo.exe", "MKVToolnix/mkvinfo.exe"},
      {"/opt/q/mkvtoolnix/MKVINFO.EXE", "MKVToolnix/mkvinfo.exe"},
      {"/opt/q/ffmpeg/faad.exe", "FFMpeg/faad.exe"},
      {"/opt/q/mencoder/mencoder.exe", "Mencoder/Mencoder.exe"},
      {"C:\\Quillet\\Checker\\x264_checker.exe", "Checker/x264_checker.exe"},
      {"MP4Box/mp4creator.exe", "MP4Box/mp4creator.exe"},
      {"D:\\Q\\AVIMUX\\AviMux_GUI.exe", "avimux/avimux_gui.exe"},
  };
  for (const Case& c : cases) {
    const Slot* slot = FindSlot(c.invoked);
    ASSERT_NE(nullptr, slot) << c.invoked;
    EXPECT_STREQ(c.slot, slot->path);
  }
  EXPECT_EQ(nullptr, FindSlot("/opt/q/other/mkvinfo.exe"));
  EXPECT_EQ(nullptr, FindSlot("/opt/q/MKVToolnix/xmkvinfo.exe"));
  EXPECT_EQ(nullptr, FindSlot("/opt/q/quillet-toolkit"));
}

}  // namespace
}  // namespace quillet::toolkit
