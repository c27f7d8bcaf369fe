// Presentation-graphics streams as the toolkit writes them, read back here: the
// run-length code, the palette, the segments of each display set with their times, the
// drawn glyphs, and the language the PMT is given.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "toolkit/M2tsPackets.h"
#include "toolkit/PmtLanguages.h"
#include "toolkit/Process.h"
#include "toolkit/pgs/CueDrawing.h"
#include "toolkit/pgs/PgsBitmap.h"
#include "toolkit/pgs/PgsRle.h"
#include "toolkit/pgs/PgsStream.h"

namespace quillet::toolkit::pgs {
namespace {

std::vector<uint8_t> Noise(int width, int height, int colours, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
  for (auto& p : pixels) p = static_cast<uint8_t>(random() % colours);
  return pixels;
}

TEST(ToolkitPgsStream, RunLengthCodeRoundTrips) {
  struct Case {
    const char* name;
    int width, height;
    std::vector<uint8_t> pixels;
  };
  std::vector<uint8_t> runs;
  for (int length : {1, 2, 3, 63, 64, 65, 300, 16383, 16384, 20000})
    for (uint8_t colour : {0, 7, 255}) runs.insert(runs.end(), length, colour);
  const Case cases[] = {
      {"one pixel", 1, 1, {5}},
      {"transparent line", 100, 1, std::vector<uint8_t>(100, 0)},
      {"runs of every length class", static_cast<int>(runs.size()), 1, runs},
      {"noise of few colours", 97, 31, Noise(97, 31, 3, 1)},
      {"noise of every colour", 64, 64, Noise(64, 64, 256, 2)},
  };
  for (const Case& c : cases) {
    auto code = EncodeRle(c.pixels, c.width, c.height);
    auto back = DecodeRle(code, c.width, c.height);
    ASSERT_TRUE(back) << c.name;
    EXPECT_EQ(c.pixels, *back) << c.name;
  }
  // A flat picture takes four bytes a line at most.
  EXPECT_LE(EncodeRle(std::vector<uint8_t>(1920 * 4, 9), 1920, 4).size(), 4u * 6);
}

TEST(ToolkitPgsStream, BrokenRunLengthCodeIsRefused) {
  auto code = EncodeRle({1, 1, 1, 2}, 2, 2);
  EXPECT_FALSE(DecodeRle(code, 3, 2)) << "wrong width";
  EXPECT_FALSE(DecodeRle(code, 2, 3)) << "wrong height";
  code.pop_back();
  EXPECT_FALSE(DecodeRle(code, 2, 2)) << "cut short";
}

TEST(ToolkitPgsStream, ColoursBecomeYCbCrBothWays) {
  PaletteEntry white = ToYCbCr(0xFFFFFFFF, true), black = ToYCbCr(0x80000000, true);
  EXPECT_EQ((PaletteEntry{235, 128, 128, 255}), white);
  EXPECT_EQ((PaletteEntry{16, 128, 128, 128}), black);
  // Pure red differs between BT.709 and BT.601.
  EXPECT_EQ(63, ToYCbCr(0xFFFF0000, true).y);
  EXPECT_EQ(81, ToYCbCr(0xFFFF0000, false).y);
  for (uint32_t argb : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xC0808040u, 0xFF123456u})
    for (bool hd : {true, false}) {
      uint32_t back = ToArgb(ToYCbCr(argb, hd), hd);
      for (int shift : {0, 8, 16, 24})
        EXPECT_NEAR((argb >> shift) & 0xFF, (back >> shift) & 0xFF, 3) << std::hex << argb;
    }
}

TEST(ToolkitPgsStream, ManyColoursFitThePalette) {
  Bitmap b;
  b.width = 256;
  b.height = 64;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)  // an outlined, anti-aliased edge: grey and alpha ramps
      b.argb.push_back(y < 4 ? 0 : (static_cast<uint32_t>(x) << 24) | (y * 4 * 0x010101u));
  IndexedBitmap q = QuantizeBitmap(b, true);
  ASSERT_LE(q.palette.size(), 256u);
  EXPECT_GT(q.palette.size(), 200u) << "the edge keeps its shades";
  EXPECT_EQ(0, q.palette[0].alpha);
  for (size_t i = 0; i < b.argb.size(); ++i) {
    if ((b.argb[i] >> 24) == 0) {
      EXPECT_EQ(0, q.pixels[i]);
      continue;
    }
    ASSERT_NE(0, q.pixels[i]) << "a visible pixel became transparent";
    uint32_t back = ToArgb(q.palette[q.pixels[i]], true);
    for (int shift : {0, 24})
      ASSERT_NEAR((b.argb[i] >> shift) & 0xFF, (back >> shift) & 0xFF, 20) << i;
  }
}

Composition Picture(int64_t start, int64_t end, int width, int height, unsigned seed) {
  Composition c;
  c.start = start;
  c.end = end;
  c.x = 100;
  c.y = 900;
  c.picture.width = width;
  c.picture.height = height;
  c.picture.pixels = Noise(width, height, 200, seed);
  for (int i = 0; i < 200; ++i)
    c.picture.palette.push_back({static_cast<uint8_t>(16 + i), 128, 128, 255});
  return c;
}

uint16_t Be16(const std::vector<uint8_t>& d, size_t at) {
  return static_cast<uint16_t>(d[at] << 8 | d[at + 1]);
}

// The object of the display set that starts at `from`, put together from its fragments.
IndexedBitmap ObjectAt(const std::vector<Segment>& segments, size_t from, int* fragments) {
  IndexedBitmap out;
  std::vector<uint8_t> code;
  *fragments = 0;
  for (size_t i = from; i < segments.size() && segments[i].type != kEndSegment; ++i) {
    const auto& d = segments[i].data;
    if (segments[i].type == kPaletteSegment) out.palette.resize((d.size() - 2) / 5);
    if (segments[i].type != kObjectSegment) continue;
    bool first = d[3] & 0x80;
    EXPECT_EQ(first, *fragments == 0);
    if (first) {
      out.width = Be16(d, 7);
      out.height = Be16(d, 9);
    }
    code.insert(code.end(), d.begin() + (first ? 11 : 4), d.end());
    ++*fragments;
    bool last = d[3] & 0x40;
    EXPECT_EQ(last, i + 1 < segments.size() && segments[i + 1].type == kEndSegment);
  }
  out.pixels = DecodeRle(code, out.width, out.height).value_or(std::vector<uint8_t>{});
  return out;
}

TEST(ToolkitPgsStream, DisplaySetsReadBackInOrder) {
  CanvasFormat canvas{1920, 1080};
  // A big picture (fragments), one that follows it at once (no clearing between), and a
  // small one after a pause.
  std::vector<Composition> pictures = {Picture(90000, 180000, 1200, 160, 1),
                                       Picture(180000, 270000, 300, 50, 2),
                                       Picture(450000, 540000, 40, 10, 3)};
  auto written = SerializeSegments(BuildSegments(pictures, canvas));
  auto segments = ParseSegments(written);
  ASSERT_TRUE(segments);
  ASSERT_FALSE(ParseSegments(written.substr(0, written.size() - 1))) << "a cut stream";
  std::vector<size_t> compositions;
  for (size_t i = 0; i < segments->size(); ++i) {
    const Segment& s = (*segments)[i];
    EXPECT_LE(s.dts, s.pts) << i;
    if (i > 0) EXPECT_LT((*segments)[i - 1].dts, s.dts) << "decode times rise, " << i;
    EXPECT_LE(s.data.size(), 0xFFFFu);
    if (s.type == kCompositionSegment) compositions.push_back(i);
  }
  // The opening empty set, three pictures, clearing after the second and third.
  ASSERT_EQ(6u, compositions.size());
  const int64_t shownAt[] = {0, 90000, 180000, 270000, 450000, 540000};
  const int objects[] = {0, 1, 1, 0, 1, 0};
  for (size_t k = 0; k < compositions.size(); ++k) {
    const Segment& pcs = (*segments)[compositions[k]];
    EXPECT_EQ(shownAt[k], pcs.pts) << k;
    EXPECT_EQ(1920, Be16(pcs.data, 0));
    EXPECT_EQ(1080, Be16(pcs.data, 2));
    EXPECT_EQ(k, Be16(pcs.data, 5)) << "composition number";
    EXPECT_EQ(objects[k], pcs.data[10]) << k;
  }
  const size_t pictureSets[] = {compositions[1], compositions[2], compositions[4]};
  for (size_t p = 0; p < 3; ++p) {
    const Segment& pcs = (*segments)[pictureSets[p]];
    EXPECT_EQ(0x80, pcs.data[7]) << "epoch start";
    EXPECT_EQ(pictures[p].x, Be16(pcs.data, 15));
    EXPECT_EQ(pictures[p].y, Be16(pcs.data, 17));
    int fragments = 0;
    IndexedBitmap object = ObjectAt(*segments, pictureSets[p], &fragments);
    EXPECT_EQ(pictures[p].picture.width, object.width);
    EXPECT_EQ(pictures[p].picture.pixels, object.pixels) << p;
    EXPECT_EQ(pictures[p].picture.palette.size(), object.palette.size());
    // Segments hold 65535 bytes: the first fragment 11 of them for its head, the others 4.
    const auto& pic = pictures[p].picture;
    size_t code = EncodeRle(pic.pixels, pic.width, pic.height).size();
    size_t expected = code <= 65524 ? 1 : 1 + (code - 65524 + 65530) / 65531;
    EXPECT_EQ(expected, static_cast<size_t>(fragments)) << p;
    if (p == 0) EXPECT_GE(fragments, 3) << "the big picture comes in pieces";
    // Decoding starts early enough: before the picture is due by the decoder's times.
    int64_t needed = ObjectDecodeTicks(object.width, object.height);
    EXPECT_LE((*segments)[pictureSets[p]].dts + needed, pictures[p].start) << p;
  }
}

TEST(ToolkitPgsStream, DrawnGlyphsAreDistinctShapes) {
  SubtitleStyle style;
  style.width = 640;
  style.height = 360;
  // A font without a letter would draw the same empty box for each of them.
  const char* letters[] = {"Ж", "Я", "Д", "ß", "Ä", "ö", "é", "ç", "A"};
  std::vector<std::vector<uint32_t>> shapes;
  for (const char* letter : letters) {
    auto drawn = DrawCues({{{{letter, false, false}}}}, style);
    ASSERT_TRUE(drawn) << letter;
    EXPECT_GT(drawn->height, 20) << letter;
    int lit = 0;
    for (uint32_t p : drawn->argb) lit += (p >> 24) > 200 && (p & 0xFF) > 200;
    EXPECT_GT(lit, 20) << letter << " has too few white pixels";
    for (size_t k = 0; k < shapes.size(); ++k)
      EXPECT_NE(shapes[k], drawn->argb) << letter << " looks like " << letters[k];
    shapes.push_back(drawn->argb);
  }
}

// The job's "Arial" is found through fontconfig, which names a metric-compatible face
// (Liberation Sans) on systems without it.
TEST(ToolkitPgsStream, TheFontNameGoesThroughFontconfig) {
  RunOptions capture;
  capture.captureOut = true;
  ToolResult r = RunProgram({"fc-match", "-f", "%{family[0]}", "Arial"}, capture);
  if (!r.Ok()) GTEST_SKIP() << "needs fc-match (fontconfig)";
  SubtitleStyle style;
  EXPECT_EQ(r.out, ResolvedFontFamily(style));
}

TEST(ToolkitPgsStream, LinesSitAboveTheOffsetAndWrap) {
  SubtitleStyle style;
  style.width = 640;
  style.height = 360;
  style.bottomOffset = 30;
  // Letters that reach down to the descent, which stands on the offset.
  auto one = DrawCues({{{{"Shy gap", false, false}}}}, style);
  ASSERT_TRUE(one);
  EXPECT_NEAR(style.height - style.bottomOffset, one->y + one->height, 3);
  EXPECT_NEAR(style.width / 2, one->x + one->width / 2, 3) << "centred";
  auto italic = DrawCues({{{{"Shy gap", true, false}}}}, style);
  EXPECT_NE(one->argb, italic->argb);
  std::string longText;
  for (int i = 0; i < 30; ++i) longText += "words ";
  auto wrapped = DrawCues({{{{longText, false, false}}}}, style);
  ASSERT_TRUE(wrapped);
  EXPECT_LE(wrapped->width, style.width * 0.92);
  EXPECT_GE(wrapped->height, 3 * one->height) << "wrapped on three lines at least";
  // Two cues seen together stand one above the other.
  auto both = DrawCues({{{{"Shy gap", false, false}}}, {{{"Other", false, false}}}}, style);
  EXPECT_GE(both->height, 2 * one->height - 4);
  EXPECT_FALSE(DrawCues({{}}, style)) << "nothing to draw";
}

// A PMT packet as ffmpeg writes it: video, audio with its language, PGS without.
std::vector<uint8_t> PmtPacket() {
  std::vector<uint8_t> s = {0x02, 0xB0, 0, 0x00, 0x01, 0xC1, 0, 0, 0xF0, 0x11, 0xF0, 0};
  s.insert(s.end(), {0x1B, 0xF0, 0x11, 0xF0, 0});
  s.insert(s.end(), {0x81, 0xF1, 0x00, 0xF0, 6, 0x0A, 4, 'g', 'e', 'r', 0});
  s.insert(s.end(), {0x90, 0xF2, 0x00, 0xF0, 0});
  s[2] = static_cast<uint8_t>(s.size() - 3 + 4);
  uint32_t crc = m2ts::MpegCrc32(s.data(), s.size());
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  std::vector<uint8_t> ts = {0x47, 0x41, 0x00, 0x10, 0x00};
  ts.insert(ts.end(), s.begin(), s.end());
  ts.resize(188, 0xFF);
  return ts;
}

TEST(ToolkitPgsStream, ThePmtNamesTheSubtitleLanguage) {
  std::vector<uint8_t> ts = PmtPacket();
  ASSERT_TRUE(m2ts::AddPmtLanguages(ts.data(), {{0x1200, "rus"}, {0x1100, "eng"}}));
  const uint8_t* s = ts.data() + 5;
  size_t length = ((s[1] & 0x0F) << 8) | s[2];
  EXPECT_EQ(0u, m2ts::MpegCrc32(s, 3 + length)) << "the CRC holds";
  std::string section(reinterpret_cast<const char*>(s), 3 + length);
  EXPECT_NE(std::string::npos,
            section.find(std::string("\x90\xF2\x00\xF0\x06\x0A\x04rus\x00", 11)));
  EXPECT_NE(std::string::npos, section.find("ger")) << "audio keeps its own language";
  EXPECT_EQ(std::string::npos, section.find("eng")) << "no second language for the audio";
  std::vector<uint8_t> notPmt(188, 0xFF);
  notPmt[0] = 0x47;
  EXPECT_FALSE(m2ts::AddPmtLanguages(notPmt.data(), {{0x1200, "rus"}}));
}

}  // namespace
}  // namespace quillet::toolkit::pgs
