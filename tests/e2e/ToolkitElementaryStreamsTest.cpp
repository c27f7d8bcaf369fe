// Elementary streams read straight from their files, against the Matroska road: mkvmerge wraps
// the raw stream at its frame rate, ffmpeg muxes it into a transport stream.

#include <gtest/gtest.h>

#include "base/BitStream.h"
#include "tests/support/ToolkitRun.h"
#include "toolkit/es/H264Units.h"

namespace quillet::test {
namespace {

// The video packets of a transport stream in decoding order: times, and whether a key frame.
using Packet = std::tuple<int64_t, int64_t, bool>;
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
    toolkit::es::H264Options options;
    options.level = c.level;
    if (!c.rateInStream) options.fpsNum = std::stoll(c.num), options.fpsDen = std::stoll(c.den);
    std::string error;
    auto units = toolkit::es::OpenH264Units(raw, options, &error);
    ASSERT_TRUE(units) << error;
    EXPECT_EQ(units->Summary().frames, made.size());
    toolkit::es::Unit unit;
    std::string bytes;
    int64_t first = 0;
    for (size_t i = 0; units->Next(unit); ++i) {
      bytes.append(unit.bytes.begin(), unit.bytes.end());
      if (i == 0) first = unit.dts;
      if (i >= made.size()) continue;
      EXPECT_EQ(unit.pts - first, std::get<0>(made[i]) - std::get<1>(made[0])) << "frame " << i;
      EXPECT_TRUE(int(i) < units->Summary().reorderDelay ||
                  unit.dts - first == std::get<1>(made[i]) - std::get<1>(made[0]))
          << i;
      EXPECT_EQ(unit.key, std::get<2>(made[i])) << "frame " << i;
    }
    EXPECT_EQ(units->Error(), "");
    EXPECT_TRUE(bytes == ReadFile(back)) << "the frames' bytes differ";
  }
}

// Field-coded pictures, which no encoder in Debian writes: each pair of fields is one frame,
// placed by its fields' counts (the third frame is shown second).
TEST(ToolkitElementaryStreams, H264FieldPairsAreOneFrameEach) {
  std::string stream;
  auto nal = [&](int header, const std::function<void(BitWriter&)>& fields) {
    BitWriter w;
    w.U32(1), w.U8(uint32_t(header)), fields(w), w.Bits(1, 1);
    while (!w.Aligned()) w.Bits(0, 1);
    stream.append(w.Bytes().begin(), w.Bytes().end());
  };
  // Main profile, 16x32, frame_num 4 bits, counts type 0 in 6 bits, field pictures allowed.
  nal(0x67, [](BitWriter& w) {
    w.U8(77), w.U16(30), w.Ue(0), w.Ue(0), w.Ue(0), w.Ue(2), w.Ue(1), w.Bits(0x64, 8);
  });
  nal(0x68, [](BitWriter& w) {
    w.Ue(0), w.Ue(0), w.Bits(0, 2), w.Ue(0), w.Ue(0), w.Ue(0), w.Bits(0, 3), w.Se(0), w.Se(0),
        w.Se(0), w.Bits(0, 3);
  });
  // Intra fields: (IDR, reference, frame_num, bottom, count).
  const int fields[][5] = {{1, 1, 0, 0, 0}, {0, 1, 0, 1, 1}, {0, 1, 1, 0, 8},
                           {0, 1, 1, 1, 9}, {0, 0, 2, 0, 4}, {0, 0, 2, 1, 5}};
  for (const auto& f : fields)
    nal((f[1] ? 0x60 : 0) | (f[0] ? 5 : 1), [&](BitWriter& w) {
      w.Ue(0), w.Ue(7), w.Ue(0), w.Bits(uint64_t(f[2]), 4), w.Bits(2 | uint64_t(f[3]), 2);
      if (f[0]) w.Ue(0);
      w.Bits(uint64_t(f[4]), 6), w.Bits(0, f[1] ? 1 + f[0] : 0);
    });
  TempFolder dir{"h264-fields"};
  WriteFile(dir.str() + "/f.h264", stream);
  std::string error;
  auto units = toolkit::es::OpenH264Units(dir.str() + "/f.h264", {25, 1, 0}, &error);
  ASSERT_TRUE(units) << error;
  std::vector<std::pair<int64_t, bool>> frames;
  for (toolkit::es::Unit unit; units->Next(unit);) frames.emplace_back(unit.pts, unit.key);
  EXPECT_EQ(frames,
            (std::vector<std::pair<int64_t, bool>>{{0, true}, {7200, false}, {3600, false}}));
  EXPECT_EQ(units->Summary().reorderDelay, 1);
}

}  // namespace
}  // namespace quillet::test
