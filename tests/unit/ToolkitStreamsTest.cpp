// Streams the toolkit writes, where the end-to-end tests cannot reach: the muxer's pass over
// a transport stream made here, and subtitles from SubRip text.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "base/Text.h"
#include "tests/support/ProgramRun.h"
#include "toolkit/H264Level.h"
#include "toolkit/M2tsPackets.h"
#include "toolkit/es/AudioUnits.h"
#include "toolkit/es/SupUnits.h"
#include "toolkit/pgs/CueDrawing.h"
#include "toolkit/pgs/CueTimeline.h"
#include "toolkit/pgs/PgsBitmap.h"
#include "toolkit/pgs/PgsEncoder.h"
#include "toolkit/pgs/PgsStream.h"
#include "toolkit/pgs/SrtReader.h"

namespace quillet::toolkit {
namespace {

using Bytes = std::vector<uint8_t>;

// --- The muxer's transport stream ---

namespace m = m2ts;
using Packet = Bytes;  // 192 bytes
constexpr uint16_t kPmtPid = 0x0100;
constexpr uint64_t kFrame = m::kClock / 25;

Packet Empty(uint16_t pid, bool start, uint8_t counter) {
  Packet p(m::kPacket, 0xFF);
  p[0] = 0x3F;  // an arrival time that the pass must replace
  p[4] = 0x47;
  p[5] = static_cast<uint8_t>((start ? 0x40 : 0) | (pid >> 8));
  p[6] = static_cast<uint8_t>(pid);
  p[7] = static_cast<uint8_t>(0x10 | (counter & 0x0F));
  return p;
}

// A section after a zero pointer field, its CRC appended.
Packet Section(uint16_t pid, Bytes section) {
  Packet p = Empty(pid, true, 0);
  const size_t length = section.size() + 4 - 3;
  section[1] = static_cast<uint8_t>(0xB0 | (length >> 8));
  section[2] = static_cast<uint8_t>(length);
  const uint32_t crc = m::MpegCrc32(section.data(), section.size());
  for (int i = 0; i < 4; ++i) section.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  p[8] = 0;
  std::memcpy(p.data() + 9, section.data(), section.size());
  return p;
}

Packet Pat() {
  return Section(0, {0x00, 0, 0, 0x00, 0x01, 0xC1, 0, 0, 0x00, 0x01, 0xE1, 0x00});
}
Packet Pmt() {  // the clock on the video PID 0x1011
  return Section(kPmtPid, {0x02, 0,    0,    0x00, 0x01, 0xC1, 0,    0,    0xF0, 0x11, 0xF0,
                           0x00, 0x1B, 0xF0, 0x11, 0xF0, 0x00, 0x81, 0xF1, 0x00, 0xF0, 0x00});
}

// The first packet of a frame starts a PES, carries the clock when asked, and is flagged
// for random access on key frames; payload bytes mark frame and packet.
Packet Video(int frame, int index, bool key, std::optional<uint64_t> pcr) {
  Packet p = Empty(m::kVideoPid, index == 0, static_cast<uint8_t>(frame * 8 + index));
  if (index == 0 && (key || pcr)) {
    p[7] |= 0x20;
    p[8] = pcr ? 7 : 1;
    p[9] = static_cast<uint8_t>((key ? 0x40 : 0) | (pcr ? 0x10 : 0));
    if (pcr) {
      const uint64_t base = *pcr / 300, ext = *pcr % 300;
      for (int i = 0; i < 4; ++i) p[10 + i] = static_cast<uint8_t>(base >> (25 - 8 * i));
      p[14] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
      p[15] = static_cast<uint8_t>(ext);
    }
  }
  p[m::kPacket - 2] = static_cast<uint8_t>(frame);
  p[m::kPacket - 1] = static_cast<uint8_t>(index);
  return p;
}

// 25 fps, `perFrame` video packets a frame, a key frame every `gop` frames, the clock on
// every third frame (120 ms apart, more than players allow), audio and PAT/PMT between,
// and a service table Blu-ray streams do not have.
Bytes Stream(int frames, int perFrame, int gop) {
  Bytes out;
  auto add = [&](const Packet& p) { out.insert(out.end(), p.begin(), p.end()); };
  add(Empty(0x0011, true, 0));
  for (int f = 0; f < frames; ++f) {
    if (f % 10 == 0) add(Pat()), add(Pmt());
    std::optional<uint64_t> pcr;
    if (f % 3 == 0) pcr = m::kClock * 7 / 10 + f * kFrame;
    for (int i = 0; i < perFrame; ++i) add(Video(f, i, f % gop == 0, i == 0 ? pcr : std::nullopt));
    Packet audio = Empty(0x1100, true, static_cast<uint8_t>(f));
    audio[m::kPacket - 1] = static_cast<uint8_t>(f);
    add(audio);
  }
  return out;
}

std::vector<Packet> Packets(const Bytes& bytes) {
  std::vector<Packet> packets;
  for (size_t at = 0; at + m::kPacket <= bytes.size(); at += m::kPacket)
    packets.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + m::kPacket));
  return packets;
}

m::MemoryParts Rewrite(const Bytes& stream, long long splitBytes, size_t chunk) {
  m::MemoryParts parts;
  m::RewriteOptions options;
  options.splitBytes = splitBytes;
  m::M2tsRewriter rewriter(options, parts);
  for (size_t at = 0; at < stream.size(); at += chunk)
    EXPECT_TRUE(rewriter.Feed(stream.data() + at, std::min(chunk, stream.size() - at)))
        << rewriter.Error();
  EXPECT_TRUE(rewriter.Finish()) << rewriter.Error();
  return parts;
}

const uint8_t* Ts(const Packet& p) {
  return p.data() + 4;
}

TEST(ToolkitH264Level, EveryParameterSetIsFoundInPiecesOfAnySize) {
  // Parameter sets behind 3- and 4-byte start codes, at the very start and end; a slice
  // and an SPS type byte behind no start code stay as they are.
  const Bytes stream = {0,    0, 1, 0x67, 100,  0,  51, 9,    0,  0, 0, 1,
                        0x65, 0, 0, 1,    0x67, 77, 64, 40,   0,  0, 1, 0x41,
                        0x67, 1, 2, 51,   0,    0,  1,  0x27, 66, 0, 30};
  Bytes expected = stream;
  for (size_t at : {6, 19, 34}) expected[at] = 41;
  for (size_t piece : {1, 2, 3, 4, 5, 7, 64}) {
    Bytes data = stream;
    SpsLevelPatcher patcher(41);
    for (size_t from = 0; from < data.size(); from += piece)
      patcher.Patch(data.data() + from, std::min(piece, data.size() - from));
    EXPECT_EQ(data, expected) << "pieces of " << piece;
  }
}

TEST(ToolkitM2ts, TheClockGetsItsOwnPidAndArrivalTimesFollowIt) {
  EXPECT_EQ(m::MpegCrc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x0376E6E7u);
  const Bytes stream = Stream(40, 3, 12);
  const std::vector<Packet> out = Packets(Rewrite(stream, 0, 1000).parts.at(0));
  uint64_t lastArrival = 0, lastPcr = 0;
  int videoIn = 0, videoOut = 0, pcrs = 0, nulls = 0;
  for (const Packet& p : Packets(stream)) videoIn += m::PidOf(Ts(p)) == m::kVideoPid;
  for (const Packet& p : out) {
    const uint8_t* ts = Ts(p);
    const uint16_t pid = m::PidOf(ts);
    EXPECT_NE(pid, 0x0011);
    const uint32_t arrival = m::ArrivalTimeOf(p.data());
    EXPECT_GT(arrival, lastArrival) << "two packets arrive at the same time or out of order";
    lastArrival = arrival;
    nulls += pid == 0x1FFF;
    EXPECT_TRUE(pid == 0x1FFF || nulls == 0) << "null packets only pad the end";
    if (pid == m::kVideoPid) {
      ++videoOut;
      EXPECT_FALSE(m::PcrOf(ts).has_value());
    }
    if (pid == kPmtPid) {
      EXPECT_EQ(m::PcrPidOfPmt(ts).value_or(0), m::kPcrPid);
      const uint8_t* section = ts + 5;  // the rewritten PMT's CRC holds
      EXPECT_EQ(m::MpegCrc32(section, 3 + (((section[1] & 0x0F) << 8) | section[2])), 0u);
    }
    if (pid == m::kPcrPid) {
      const uint64_t pcr = m::PcrOf(ts).value();
      EXPECT_EQ(pcr & 0x3FFFFFFF, arrival);
      if (pcrs++ > 0) EXPECT_LE(pcr - lastPcr, m::kClock / 25);
      lastPcr = pcr;
    }
  }
  EXPECT_EQ(videoIn, videoOut);
  EXPECT_EQ(out.size() % 32, 0u) << "whole aligned units of 32 packets";
  EXPECT_EQ(lastPcr, m::kClock * 7 / 10 + 39 * kFrame);
}

// Parts after the first start with PAT, PMT, the clock, a key frame, and end with whole
// aligned units, their stamps rising throughout; joined without the tables and the padding,
// the whole stream.
TEST(ToolkitM2ts, PartsStartAtKeyFramesWithTheTables) {
  const Bytes stream = Stream(120, 4, 12);
  Bytes whole;
  for (const Packet& p : Packets(Rewrite(stream, 0, 4096).parts.at(0)))
    if (m::PidOf(Ts(p)) != 0x1FFF) whole.insert(whole.end(), p.begin(), p.end());
  const long long limit = 100 * m::kPacket;
  const m::MemoryParts split = Rewrite(stream, limit, 333);
  ASSERT_GE(split.parts.size(), 3u);
  Bytes joined;
  for (size_t n = 0; n < split.parts.size(); ++n) {
    const std::vector<Packet> part = Packets(split.parts[n]);
    EXPECT_LE(static_cast<long long>(split.parts[n].size()), limit) << n;
    EXPECT_EQ(part.size() % 32, 0u) << n;
    for (size_t i = 1; i < part.size(); ++i)
      EXPECT_GT(m::ArrivalTimeOf(part[i].data()), m::ArrivalTimeOf(part[i - 1].data())) << n;
    if (n > 0) {
      ASSERT_GE(part.size(), 4u);
      EXPECT_EQ(std::tuple(m::PidOf(Ts(part[0])), m::PidOf(Ts(part[1])), m::PidOf(Ts(part[2])),
                           m::PidOf(Ts(part[3]))),
                std::tuple(uint16_t{0}, kPmtPid, m::kPcrPid, m::kVideoPid));
      EXPECT_TRUE(m::IsRandomAccess(Ts(part[3]))) << n;
    }
    for (size_t i = n > 0 ? 2 : 0; i < part.size(); ++i)
      if (m::PidOf(Ts(part[i])) != 0x1FFF)
        joined.insert(joined.end(), part[i].begin(), part[i].end());
  }
  EXPECT_EQ(whole, joined);
}

// --- Presentation graphics ---

namespace p = pgs;

TEST(ToolkitPgs, ManyColoursFitThePalette) {
  // An outlined, anti-aliased edge (grey and alpha ramps): at most 256 entries, visible
  // pixels never transparent, colours kept close.
  p::Bitmap bitmap;
  bitmap.width = 256;
  bitmap.height = 64;
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < bitmap.width; ++x)
      bitmap.argb.push_back(y < 4 ? 0 : (static_cast<uint32_t>(x) << 24) | (y * 4 * 0x010101u));
  const p::IndexedBitmap q = p::QuantizeBitmap(bitmap, true);
  ASSERT_LE(q.palette.size(), 256u);
  EXPECT_GT(q.palette.size(), 200u) << "the edge keeps its shades";
  EXPECT_EQ(q.palette[0].alpha, 0);
  for (size_t i = 0; i < bitmap.argb.size(); ++i) {
    if ((bitmap.argb[i] >> 24) == 0) continue;
    ASSERT_NE(q.pixels[i], 0) << "a visible pixel became transparent";
    const uint32_t back = p::ToArgb(q.palette[q.pixels[i]], true);
    for (int shift : {0, 24})
      ASSERT_NEAR((bitmap.argb[i] >> shift) & 0xFF, (back >> shift) & 0xFF, 20) << i;
  }
}

p::Composition Picture(int64_t start, int64_t end, int width, int height) {
  p::Composition c{start, end, 100, 900, {width, height, {}, {{}, {200, 128, 128, 255}}}};
  for (int i = 0; i < width * height; ++i) c.picture.pixels.push_back(uint8_t(i * 7919 % 3 / 2));
  return c;
}

// Each picture at 1080p gets the decoder's time before it is shown (the plane cleared at an
// epoch start, its object decoded, its window drawn), a frame late at most; every segment
// fits one PES; the opening display set has a window; cue times lie where the video's are.
TEST(ToolkitPgs, PicturesGetTheirDecodeTimeAndFitThePes) {
  const double fps = 24000.0 / 1001;
  const int64_t frame = 3754;
  const std::vector<p::Composition> cases[] = {
      {Picture(0, 90090, 600, 60)},                                         // a cue at 0
      {Picture(0, 9000, 90, 60), Picture(9000 + frame, 99000, 1200, 120)},  // a frame's gap
      {Picture(90090, 180180, 1500, 300)}};                                 // a large object
  for (const auto& pictures : cases) {
    SCOPED_TRACE(pictures.back().picture.width);
    const auto segments = p::BuildSegments(pictures, {1920, 1080, fps});
    EXPECT_TRUE(segments[1].type == p::kWindowSegment && segments[1].data[0] == 1)
        << "the opening display set defines one window";
    size_t shown = 0;
    for (size_t i = 1; i < segments.size(); ++i) {
      const p::Segment& s = segments[i];
      EXPECT_LE(s.data.size() + 3 + 13, 0xFFFFu) << "a segment longer than a PES holds";
      EXPECT_GE(s.dts, segments[i - 1].dts);
      if (s.type != p::kObjectSegment || !(s.data[3] & 0x80)) continue;
      const p::Composition& c = pictures.at(shown++);
      const auto pcs = std::find_if(segments.rend() - long(i), segments.rend(),
                                    [](auto& x) { return x.type == p::kCompositionSegment; });
      int64_t room = p::ObjectDecodeTicks(c.picture.width, c.picture.height);
      if (pcs->data[7] & 0x80) room = std::max(room, p::PlaneClearTicks({1920, 1080}));
      EXPECT_GE(pcs->pts - pcs->dts, room + p::WindowDrawTicks(c.picture.width, c.picture.height));
      EXPECT_TRUE(pcs->pts >= c.start && pcs->pts - c.start <= frame) << pcs->pts - c.start;
    }
    EXPECT_EQ(shown, pictures.size());
  }
  for (auto [ms, ticks] : {std::pair{1042, 93870}, {83, 7470}, {500, 45000}})
    EXPECT_EQ(p::FrameTime90k(ms, fps), ticks) << ms;
}

// A font without a letter would draw the same empty box for each of them.
TEST(ToolkitPgs, DrawnGlyphsAreDistinct) {
  p::SubtitleStyle style;
  style.width = 640, style.height = 360, style.bottomOffset = 30;
  const char* letters[] = {"Ж", "Я", "Д", "ß", "Ä", "ö", "é", "ç", "A"};
  std::vector<std::vector<uint32_t>> shapes;
  for (const char* letter : letters) {
    auto drawn = p::DrawCues({{{{letter, false, false}}}}, style);
    ASSERT_TRUE(drawn) << letter;
    int lit = 0;
    for (uint32_t px : drawn->argb) lit += (px >> 24) > 200 && (px & 0xFF) > 200;
    EXPECT_GT(lit, 20) << letter << " has too few white pixels";
    for (size_t k = 0; k < shapes.size(); ++k)
      EXPECT_NE(shapes[k], drawn->argb) << letter << " looks like " << letters[k];
    shapes.push_back(drawn->argb);
  }
}

// The Hebrew text tesseract reads in a drawn cue, put dark on white with a margin as it likes.
std::string ReadHebrew(const p::Bitmap& drawn) {
  test::TempFolder folder("quillet-ocr");
  const int pad = 20, width = drawn.width + 2 * pad, height = drawn.height + 2 * pad;
  std::string pixels(static_cast<size_t>(width) * height, '\xFF');
  for (int y = 0; y < drawn.height; ++y)
    for (int x = 0; x < drawn.width; ++x) {
      const uint32_t px = drawn.argb[static_cast<size_t>(y) * drawn.width + x];
      pixels[static_cast<size_t>(y + pad) * width + x + pad] =
          static_cast<char>(255 - (px >> 24) * (px & 0xFF) / 255);
    }
  test::WriteFile(folder.path() / "cue.pgm", Format("P5\n%d %d\n255\n", width, height) + pixels);
  const auto run = test::RunShell("cd " + test::ShellQuoted(folder.str()) +
                                  " && tesseract cue.pgm text --psm 7 -l heb");
  EXPECT_EQ(run.status, 0) << run.err;
  return Trim(test::ReadFile(folder.path() / "text.txt"));
}

// Every script in its order, wrapped within the safe area (0.9 of the width), the box
// centred above the bottom offset.
TEST(ToolkitPgs, LinesAreLaidOutInTheirScriptsOrderAndWrappedWithinTheSafeArea) {
  const p::SubtitleStyle style;  // 1920 x 1080
  const struct {
    std::string text;
    bool read;  // by tesseract: the words in their order
    bool wraps;
  } cases[] = {
      {"שלום לכולם, מה שלומכם היום?", true, false},
      {"これは日本語の長い字幕の行です。画面の幅を超えるので、折り返されなければなりません。"
       "本当に長い行ですね。",
       false, true},
      {"https://example.com/a/very/long/address/without/any/blanks/so/that/it/never/fits/"
       "on/one/line/of/the/picture/index.html",
       false, true},
      {"Quickly, the judge paid every bill", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto drawn = p::DrawCues({{{{c.text, false, false}}}}, style);
    ASSERT_TRUE(drawn);
    const int right = drawn->x + drawn->width, bottom = drawn->y + drawn->height;
    EXPECT_GE(drawn->x, style.width * 0.05 - style.border - 1);
    EXPECT_LE(right, style.width * 0.95 + style.border + 1);
    EXPECT_NEAR(drawn->x + right, style.width, 8) << "centred";
    EXPECT_LE(bottom, style.height - style.bottomOffset + style.border + 1);
    EXPECT_GE(bottom, style.height - style.bottomOffset - style.fontSize / 3);
    EXPECT_EQ(drawn->height > style.fontSize * 3 / 2, c.wraps) << "lines: " << drawn->height;
    if (c.read) {
      EXPECT_EQ(ReadHebrew(*drawn), c.text);
    }
  }
}

// The cues of a SubRip file as "start-end:text|" each.
std::string CuesOf(const std::string& bytes) {
  auto file = p::SrtFile::Read(std::make_unique<std::istringstream>(bytes));
  std::string cues;
  for (const p::CueSpan& cue : file->cues())
    cues += Format("%d-%d:%s|", cue.startMs, cue.endMs, file->Text(cue).c_str());
  return cues;
}

TEST(ToolkitPgs, SubtitleBytesBecomeUtf8AndEveryLayoutGivesTheSameCues) {
  const std::string one = "1\n00:00:01,000 --> 00:00:02,000\n", cue = "1000-2000:";
  const std::pair<std::string, std::string> text[] = {
      {one + "Caf\xC3\xA9 \xD0\x96", cue + "Caf\xC3\xA9 \xD0\x96|"},
      {"\xEF\xBB\xBF" + one + "Stra\xC3\x9F!", cue + "Stra\xC3\x9F!|"},           // byte-order mark
      {one + "Caf\xE9 \xC4pfel", cue + "Caf\xC3\xA9 \xC3\x84pfel|"},              // Latin-1
      {one + "\x80 \x93q\x94", cue + "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D|"},  // Windows
      {one + "end\xC3", cue + "end\xC3\x83|"},                 // a cut UTF-8 sequence is Latin-1
      {"-00:00:01,000 --> 00:00:02,000\nx", "-1000-2000:x|"},  // before the film
      {"00:00:09,000 --> 00:00:10,000\nlater\n\n00:00:05,000 --> 00:00:04,000\nends before\n\n"
       "00:00:0x,000 --> 00:00:06,000\nbroken\n\n" +
           one + "first",
       cue + "first|9000-10000:later|"}};  // bad cues left out, the rest sorted
  for (const auto& [raw, cues] : text) EXPECT_EQ(CuesOf(raw), cues);

  const std::string layouts[] = {
      "1\n00:00:01,000 --> 00:00:02,500\nFirst line\nsecond line\n\n"
      "2\n00:01:02,250 --> 01:00:00,000\n<i>Last</i>\n",
      "1\r\n00:00:01,000 --> 00:00:02,500\r\nFirst line\r\nsecond line\r\n\r\n"
      "2\r\n00:01:02,250 --> 01:00:00,000\r\n<i>Last</i>\r\n",
      "00:00:01.000 --> 00:00:02.500\rFirst line\rsecond line\r\r"  // no numbers, dots, CR
      "00:01:02.250 --> 01:00:00.000\r<i>Last</i>",
      "1\n00:00:01,000 --> 00:00:02,500 X1:10 X2:20\n  First line \nsecond line\n"
      "2\n00:01:02,250-->01:00:00,000\n<i>Last</i>\n"};  // no blank line after a cue
  for (const std::string& layout : layouts)
    EXPECT_EQ(CuesOf(layout), "1000-2500:First line\nsecond line|62250-3600000:<i>Last</i>|")
        << layout;
}

// The display sets drawn from a SubRip file for a 30 s film at 25 frames: what fitting to
// the film did (shifted/ended before/started after), then "+ms" for a picture, "-ms" for
// the window cleared.
std::string ShownOf(const std::string& srt) {
  auto file = p::SrtFile::Read(std::make_unique<std::istringstream>(srt));
  p::SubtitleStyle style;
  style.width = 640, style.height = 360, style.bottomOffset = 30;
  std::ostringstream out;
  const p::FilmFit fit = p::EncodePgs(*file, style, 25, 30000, out).fit;
  std::string shown = Format("%zu/%zu/%zu", fit.shifted, fit.endedBefore, fit.startedAfter);
  const auto segments = p::ParseSegments(out.str());
  for (const p::Segment& s : segments.value())
    if (s.type == p::kCompositionSegment && (s.data[10] > 0 || s.pts >= 90))  // not the anchor
      shown += Format(" %c%u", s.data[10] > 0 ? '+' : '-', s.pts / 90);
  return shown;
}

TEST(ToolkitPgs, CuesAreFittedToTheFilmAndEachSetIsShownAsOnePicture) {
  const std::pair<std::string, std::string> cases[] = {
      {"-00:00:01,000 --> 00:00:02,000\nbefore", "1/0/0 +0 -2000"},
      {"-00:00:03,000 --> -00:00:01,000\ngone\n\n00:00:04,000 --> 00:00:05,000\nkept",
       "0/1/0 +4000 -5000"},
      {"00:00:10,000 --> 00:00:12,000\nin\n\n00:00:33,000 --> 00:00:34,000\nafter\n\n"
       "00:00:40,000 --> 00:00:41,000\nlater",
       "0/0/2 +10000 -12000"},
      {"00:00:01,000 --> 00:00:03,000\nA\n\n00:00:02,000 --> 00:00:04,000\nB",
       "0/0/0 +1000 +2000 +3000 -4000"},
      {"00:00:01,000 --> 00:00:02,000\nSame\n\n00:00:02,000 --> 00:00:03,000\nSame\n\n"
       "00:00:05,000 --> 00:00:06,000\nSame",
       "0/0/0 +1000 -3000 +5000 -6000"}};
  for (const auto& [srt, shown] : cases) EXPECT_EQ(ShownOf(srt), shown) << srt;
}

// Access units read from elementary-stream files: a hash of the bytes, pts, dts.
using Units = std::vector<std::tuple<size_t, int64_t, int64_t>>;
const std::hash<std::string> kHash;
Units Read(es::UnitReader& reader) {
  Units units;
  for (es::Unit u; reader.Next(u);)
    units.emplace_back(kHash(std::string(u.bytes.begin(), u.bytes.end())), u.pts, u.dts);
  return units;
}

// ffmpeg's packets of the file read raw as `format` (in a .sup, after "PG" and the times).
Units Probe(const std::string& file, const std::string& format) {
  test::RunShell("ffprobe -v error -of csv=p=0 -show_entries packet=pts,dts,size,pos:stream=" +
                 ("time_base -f " + format + " " + file + " >" + file + ".csv"));
  const std::string bytes = test::ReadFile(file);
  std::istringstream lines(test::ReadFile(file + ".csv"));
  long long pts, dts, size, pos, num = 1, den = 1;
  Units units;
  for (std::string line; std::getline(lines, line);)
    if (std::sscanf(line.c_str(), "%lld,%lld,%lld,%lld", &pts, &dts, &size, &pos) == 4)
      units.emplace_back(kHash(bytes.substr(pos + 10 * (format == "sup"), size)), pts, dts);
    else  // the time base, after the packets
      std::sscanf(line.c_str(), "%lld/%lld", &num, &den);
  auto ticks = [&](int64_t& t) { t = (t * 90000 * num * 2 + den) / (2 * den); };
  for (auto& [unit, pts, dts] : units) ticks(pts), ticks(dts);
  return units;
}

// Units are ffmpeg's packets of files it wrote or the subtitle drawing made: tags are no frames,
// a cut frame spliced in is passed over and logged, a decoding time of 0 (many tools') is none.
TEST(ToolkitUnits, UnitsAreThePacketsFfmpegReads) {
  const std::tuple<const char*, const char*, const char*, TrackCodec, es::AudioFormat> cases[] = {
      {"a.ac3", "-ac 6", "ac3", TrackCodec::Ac3, {48000, 6}},
      {"cut.ac3", "-ac 6", "ac3", TrackCodec::Ac3, {48000, 6}},
      {"a.eac3", "-ac 2", "eac3", TrackCodec::Ac3, {48000, 2}},
      {"a.dts", "-ac 2 -strict -2", "dts", TrackCodec::Dts, {48000, 2}},
      {"a.aac", "-ar 44100 -f adts", "aac", TrackCodec::Aac, {44100, 1}},
      {"a.mp2", "", "mp3", TrackCodec::Mp2, {48000, 1}},
      {"a.mp3", "-ar 44100 -write_id3v1 1 -metadata title=x", "mp3", TrackCodec::Mp3, {44100, 1}}};
  test::TempFolder folder("quillet-units");
  std::string error;
  for (const auto& [name, options, format, codec, first] : cases) {
    SCOPED_TRACE(name);
    const std::string file = folder.str() + "/" + name;
    const bool cut = name[0] == 'c';
    test::RunShell("ffmpeg -v 0 -f lavfi -i sine=r=48000:d=3 " + std::string(options) + " " + file);
    const Units frames = Probe(file, format);
    std::string bytes = test::ReadFile(file);
    if (cut) test::WriteFile(file, bytes.insert(10 * bytes.size() / frames.size(), bytes, 0, 999));
    testing::internal::CaptureStderr();
    auto reader = es::OpenAudioUnits(codec, file, &error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(Read(*reader), frames);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.find("passed over") != std::string::npos, cut) << log;
    EXPECT_EQ(reader->Format(), first);
  }
  auto segments = p::BuildSegments({Picture(0, 90090, 600, 60), Picture(99000, 180000, 30, 9)},
                                   {1920, 1080, 24000.0 / 1001});
  for (int pass = 0; pass < 2; ++pass) {
    test::WriteFile(folder.path() / "a.sup", p::SerializeSegments(segments));
    auto reader = es::OpenSupUnits(folder.str() + "/a.sup", &error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(Read(*reader), Probe(folder.str() + "/a.sup", "sup")) << pass;
    for (auto& s : segments) s.dts = 0;
  }
}

}  // namespace
}  // namespace quillet::toolkit
