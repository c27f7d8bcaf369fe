// Reading H.264 sequence parameter sets and the level 4.1 buffer check of the checker slot.

#include <gtest/gtest.h>

#include "toolkit/H264.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

class BitWriter {
 public:
  void Bits(unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) Bit((value >> i) & 1);
  }
  void Bit(unsigned b) {
    if (used_ % 8 == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> (used_ % 8));
    ++used_;
  }
  void Ue(unsigned value) {
    unsigned code = value + 1;
    int length = 0;
    while ((code >> length) > 1) ++length;
    Bits(0, length);
    Bits(code, length + 1);
  }
  void Se(int value) {
    Ue(value > 0 ? 2 * static_cast<unsigned>(value) - 1 : 2 * static_cast<unsigned>(-value));
  }
  // rbsp_trailing_bits, then the emulation prevention bytes a NAL unit carries.
  std::vector<uint8_t> Nal(uint8_t header) {
    Bit(1);
    while (used_ % 8) Bit(0);
    std::vector<uint8_t> nal = {header};
    int zeros = 0;
    for (uint8_t byte : bytes_) {
      if (zeros >= 2 && byte <= 3) {
        nal.push_back(3);
        zeros = 0;
      }
      zeros = byte == 0 ? zeros + 1 : 0;
      nal.push_back(byte);
    }
    return nal;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

struct SpsShape {
  int profile = 100;
  int level = 41;
  int width = 1920, height = 1080;
  int refs = 4;
  bool frameMbsOnly = true;
  int pocType = 0;
  int bigOffset = 0;  // offset_for_non_ref_pic for POC type 1 (long codes, zero bytes)
  bool scalingMatrix = false;
};

// A NAL unit holds an emulation prevention byte (0 0 3).
bool HasEscape(const std::vector<uint8_t>& nal) {
  for (size_t i = 2; i < nal.size(); ++i)
    if (nal[i - 2] == 0 && nal[i - 1] == 0 && nal[i] == 3) return true;
  return false;
}

std::vector<uint8_t> MakeSps(const SpsShape& s) {
  BitWriter w;
  w.Bits(static_cast<unsigned>(s.profile), 8);
  w.Bits(0, 8);
  w.Bits(static_cast<unsigned>(s.level), 8);
  w.Ue(0);  // seq_parameter_set_id
  if (s.profile == 100) {
    w.Ue(1);  // chroma_format_idc 4:2:0
    w.Ue(0);
    w.Ue(0);
    w.Bit(0);
    w.Bit(s.scalingMatrix);
    if (s.scalingMatrix) {
      w.Bit(1);  // list 0 present: 16 deltas
      for (int j = 0; j < 16; ++j) w.Se(j == 0 ? 8 : 1);
      for (int i = 1; i < 8; ++i) w.Bit(0);
    }
  }
  w.Ue(0);  // log2_max_frame_num_minus4
  w.Ue(static_cast<unsigned>(s.pocType));
  if (s.pocType == 0) {
    w.Ue(2);
  } else {
    w.Bit(0);
    w.Se(s.bigOffset);
    w.Se(-s.bigOffset);
    w.Ue(2);  // num_ref_frames_in_pic_order_cnt_cycle
    w.Se(s.bigOffset);
    w.Se(3);
  }
  w.Ue(static_cast<unsigned>(s.refs));
  w.Bit(0);
  int widthMbs = (s.width + 15) / 16;
  int frameHeightMbs = (s.height + 15) / 16;
  if (!s.frameMbsOnly) frameHeightMbs = (frameHeightMbs + 1) / 2 * 2;
  w.Ue(static_cast<unsigned>(widthMbs - 1));
  w.Ue(static_cast<unsigned>((s.frameMbsOnly ? frameHeightMbs : frameHeightMbs / 2) - 1));
  w.Bit(s.frameMbsOnly);
  if (!s.frameMbsOnly) w.Bit(0);
  w.Bit(1);  // direct_8x8_inference_flag
  int cropBottom = frameHeightMbs * 16 - s.height;
  bool crop = cropBottom > 0 || widthMbs * 16 != s.width;
  w.Bit(crop);
  if (crop) {
    int unitY = 2 * (s.frameMbsOnly ? 1 : 2);
    w.Ue(0);
    w.Ue(static_cast<unsigned>((widthMbs * 16 - s.width) / 2));
    w.Ue(0);
    w.Ue(static_cast<unsigned>(cropBottom / unitY));
  }
  w.Bit(0);  // vui_parameters_present_flag
  return w.Nal(0x67);
}

TEST(ToolkitH264, ReadsSizeRefsAndLevelOfTheSequenceParameterSet) {
  struct Case {
    SpsShape shape;
    int widthMbs, heightMbs;
  } cases[] = {
      {{100, 41, 1920, 1080, 4}, 120, 68},
      {{100, 51, 1920, 1080, 6, true, 0, 0, true}, 120, 68},
      {{77, 40, 1280, 720, 9}, 80, 45},
      // Long codes that need emulation prevention bytes are read through.
      {{66, 30, 720, 576, 3, true, 1, 40000}, 45, 36},
      {{100, 41, 1920, 1080, 4, false}, 120, 68},
      {{100, 41, 320, 240, 1}, 20, 15},
  };
  for (const Case& c : cases) {
    const SpsShape& shape = c.shape;
    SCOPED_TRACE(Format("%dx%d refs %d", shape.width, shape.height, shape.refs));
    const std::vector<uint8_t> nal = MakeSps(shape);
    if (shape.bigOffset) ASSERT_TRUE(HasEscape(nal)) << "the case must carry an escape byte";
    auto sps = ParseSps(nal);
    ASSERT_TRUE(sps.has_value());
    EXPECT_EQ(shape.profile, sps->profileIdc);
    EXPECT_EQ(shape.level, sps->levelIdc);
    EXPECT_EQ(shape.refs, sps->maxNumRefFrames);
    EXPECT_EQ(c.widthMbs, sps->widthInMbs);
    EXPECT_EQ(c.heightMbs, sps->heightInMbs);
    EXPECT_EQ(shape.frameMbsOnly, sps->frameMbsOnly);
    EXPECT_EQ(shape.width, sps->width);
    EXPECT_EQ(shape.height, sps->height);
  }
}

TEST(ToolkitH264, ReadsTheParameterSetAnEncoderWrote) {
  // x264, 320x240, from a Matroska codec private record (with an escape byte).
  auto avcc = FromHex(
      "0164000dffe100176764000dacd94141fb011000003e90000bb800f142996001000668ebe3cb22c0fdf8f800");
  ASSERT_TRUE(avcc.has_value());
  auto units = SpsFromAvcC(*avcc);
  ASSERT_EQ(1u, units.size());
  auto sps = ParseSps(units[0]);
  ASSERT_TRUE(sps.has_value());
  EXPECT_EQ(100, sps->profileIdc);
  EXPECT_EQ(13, sps->levelIdc);
  EXPECT_EQ(320, sps->width);
  EXPECT_EQ(240, sps->height);
}

// The declared level does not change the check.
TEST(ToolkitH264, Level41BufferHoldsFourFramesOf1080AndNineOf720) {
  struct Case {
    int width, height, refs;
    bool fits;
    int maxFrames;
    int level = 41;
  } cases[] = {
      {1920, 1080, 4, true, 4},  {1920, 1080, 5, false, 4},     {1920, 1080, 16, false, 4},
      {1280, 720, 9, true, 9},   {1280, 720, 10, false, 9},     {1440, 1080, 5, true, 5},
      {1440, 1080, 6, false, 5}, {720, 576, 16, true, 16},      {720, 576, 17, false, 16},
      {1920, 1080, 6, false, 4}, {1920, 1080, 6, false, 4, 51}, {1920, 1080, 6, false, 4, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Format("%dx%d refs %d level %d", c.width, c.height, c.refs, c.level));
    SpsShape shape;
    shape.width = c.width;
    shape.height = c.height;
    shape.refs = c.refs;
    shape.level = c.level;
    auto sps = ParseSps(MakeSps(shape));
    ASSERT_TRUE(sps.has_value());
    DpbFit fit = CheckLevel41Dpb(*sps);
    EXPECT_EQ(c.fits, fit.fits);
    EXPECT_EQ(c.maxFrames, fit.maxDpbFrames);
  }
}

TEST(ToolkitH264, FindsParameterSetsInRecordsAndStreams) {
  std::vector<uint8_t> a = MakeSps({100, 41, 1920, 1080, 4});
  std::vector<uint8_t> b = MakeSps({100, 41, 1280, 720, 3});
  std::vector<uint8_t> avcc = {1, 100, 0, 41, 0xFF, 0xE2};
  for (const auto& unit : {a, b}) {
    avcc.push_back(static_cast<uint8_t>(unit.size() >> 8));
    avcc.push_back(static_cast<uint8_t>(unit.size()));
    avcc.insert(avcc.end(), unit.begin(), unit.end());
  }
  auto units = SpsFromAvcC(avcc);
  ASSERT_EQ(2u, units.size());
  EXPECT_EQ(a, units[0]);
  EXPECT_EQ(b, units[1]);
  avcc.resize(avcc.size() - 3);  // cut into the second unit
  EXPECT_EQ(1u, SpsFromAvcC(avcc).size());
  EXPECT_TRUE(SpsFromAvcC({0, 1, 2}).empty());

  std::string stream("\0\0\0\1\x09\xf0", 6);
  stream += std::string("\0\0\0\1", 4) + std::string(a.begin(), a.end());
  stream += std::string("\0\0\1\x68\xeb\xe3\xcb", 7);
  auto found = SpsFromAnnexB(stream);
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(a, found[0]);  // without the zero byte of the next start code
  EXPECT_FALSE(ParseSps({0x68, 0xeb, 0xe3, 0xcb}).has_value());
}

}  // namespace
}  // namespace quillet::toolkit
