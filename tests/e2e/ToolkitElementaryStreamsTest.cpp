// Elementary streams read straight from their files, against what the Matroska road makes of
// them: mkvmerge wraps the raw stream at its frame rate and ffmpeg muxes it into a transport
// stream, whose packets ffprobe reads back.

#include <gtest/gtest.h>

#include "tests/support/ToolkitRun.h"
#include "toolkit/es/H264Units.h"

namespace quillet::test {
namespace {

struct Packet {
  int64_t pts = 0, dts = 0;
  bool key = false;
};

// The video packets of a transport stream, in decoding order.
std::vector<Packet> TsPackets(const std::string& ts) {
  std::vector<Packet> packets;
  const auto r =
      Quiet(Words("ffprobe -v error -show_entries packet=pts,dts,flags -of csv=p=0 " + ts));
  for (const std::string& line : quillet::Split(r.out, '\n')) {
    const auto fields = quillet::Split(line, ',');
    if (fields.size() < 3) continue;
    packets.push_back({quillet::ParseInt(fields[0]).value_or(-1),
                       quillet::ParseInt(fields[1]).value_or(-1), fields[2][0] == 'K'});
  }
  return packets;
}

// Frames timed and packed as the Matroska road times and packs them: every presentation time
// and the decoding times from the reorder delay on (both counted from the first decoding
// time, which places the film on the muxer's clock), the key frames, and the bytes with
// their delimiters, parameter sets and level.
TEST(ToolkitElementaryStreams, H264FramesAreTimedAndPackedAsTheMatroskaRoadDoes) {
  struct Case {
    const char *name, *num, *den, *encode;
    int level;
    bool rateInStream;  // the frame rate comes from the stream's timing information
  };
  const Case cases[] = {
      {"B-pyramid", "24000", "1001", "-bf 3", 0, false},
      {"open GOP", "24000", "1001", "-bf 3 -x264-params open-gop=1:keyint=30", 41, false},
      {"MBAFF", "24000", "1001", "-bf 2 -flags +ildct+ilme", 0, false},
      {"no B-frames", "24000", "1001", "-bf 0", 0, true},
      {"25", "25", "1", "-bf 3", 41, true},
      {"29.97", "30000", "1001", "-bf 3", 0, false},
  };
  TempFolder dir{"h264-units"};
  const std::string raw = dir.str() + "/f.h264", mkv = dir.str() + "/f.mkv",
                    ts = dir.str() + "/f.m2ts", back = dir.str() + "/back.h264";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string rate = std::string(c.num) + "/" + c.den;
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=" + rate +
                           " -t 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p " + c.encode +
                           " -f h264",
                       raw));
    ASSERT_TRUE(Made({"mkvmerge", "-q", "-o", mkv, "--default-duration", "0:" + rate + "p", raw}));
    std::string filters = "h264_mp4toannexb,dump_extra=freq=keyframe";
    if (c.level) filters = "h264_metadata=level=4.1," + filters;
    ASSERT_TRUE(Ffmpeg(
        "-i " + mkv + " -map 0:0 -c copy -bsf:0 " + filters + " -f mpegts -mpegts_m2ts_mode 1",
        ts));
    ASSERT_TRUE(Ffmpeg("-i " + ts + " -map 0:0 -c copy -f h264", back));
    const std::vector<Packet> made = TsPackets(ts);
    ASSERT_FALSE(made.empty());

    toolkit::es::H264Options options;
    options.level = c.level;
    if (!c.rateInStream) options.fpsNum = std::stoll(c.num), options.fpsDen = std::stoll(c.den);
    std::string error;
    auto units = toolkit::es::OpenH264Units(raw, options, &error);
    ASSERT_TRUE(units) << error;
    const int delay = units->Summary().reorderDelay;
    EXPECT_EQ(units->Summary().frames, made.size());
    toolkit::es::Unit unit;
    std::string bytes;
    int64_t first = 0;
    for (size_t i = 0; units->Next(unit); ++i) {
      bytes.append(unit.bytes.begin(), unit.bytes.end());
      if (i == 0) first = unit.dts;
      if (i >= made.size()) continue;
      EXPECT_EQ(unit.pts - first, made[i].pts - made[0].dts) << "frame " << i;
      if (int(i) >= delay) {
        EXPECT_EQ(unit.dts - first, made[i].dts - made[0].dts) << "frame " << i;
      }
      EXPECT_EQ(unit.key, made[i].key) << "frame " << i;
    }
    EXPECT_EQ(units->Error(), "");
    EXPECT_TRUE(bytes == ReadFile(back)) << "the frames' bytes differ";
  }
}

}  // namespace
}  // namespace quillet::test
