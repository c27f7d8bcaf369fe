// Text subtitles before they are drawn: SubRip files in their encodings and layouts, the
// cue markup, the frame times and the sets of cues seen together, the styling fields.

#include <gtest/gtest.h>

#include "toolkit/pgs/CueMarkup.h"
#include "toolkit/pgs/CueTimeline.h"
#include "toolkit/pgs/SrtReader.h"
#include "toolkit/pgs/SubtitleStyle.h"

namespace quillet::toolkit::pgs {
namespace {

TEST(ToolkitPgsText, SubtitleBytesBecomeUtf8) {
  struct Case {
    const char* name;
    std::string raw, utf8;
  };
  const Case cases[] = {
      {"UTF-8 kept", "Caf\xC3\xA9 \xD0\x96", "Caf\xC3\xA9 \xD0\x96"},
      {"byte-order mark dropped",
       "\xEF\xBB\xBFStra\xC3\x9F"
       "e",
       "Stra\xC3\x9F"
       "e"},
      {"Latin-1 converted",
       "Caf\xE9 \xC4pfel Stra\xDF"
       "e",
       "Caf\xC3\xA9 \xC3\x84pfel Stra\xC3\x9F"
       "e"},
      {"Windows additions", "\x80 \x93quoted\x94", "\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D"},
      {"a cut UTF-8 sequence is Latin-1", "end\xC3", "end\xC3\x83"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.utf8, SubtitleTextToUtf8(c.raw)) << c.name;
}

const char kTwoCues[] =
    "1\n00:00:01,000 --> 00:00:02,500\nFirst line\nsecond line\n\n"
    "2\n00:01:02,250 --> 01:00:00,000\n<i>Last</i>\n";

TEST(ToolkitPgsText, SrtLayoutsGiveTheSameCues) {
  auto expected = ParseSrt(kTwoCues);
  ASSERT_EQ(2u, expected.size());
  EXPECT_EQ(1000, expected[0].startMs);
  EXPECT_EQ(2500, expected[0].endMs);
  EXPECT_EQ("First line\nsecond line", expected[0].text);
  EXPECT_EQ(62250, expected[1].startMs);
  EXPECT_EQ(3600000, expected[1].endMs);
  EXPECT_EQ("<i>Last</i>", expected[1].text);
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"CR LF",
       "1\r\n00:00:01,000 --> 00:00:02,500\r\nFirst line\r\nsecond line\r\n\r\n"
       "2\r\n00:01:02,250 --> 01:00:00,000\r\n<i>Last</i>\r\n"},
      {"numbering gaps and runs of blank lines",
       "\n\n17\n00:00:01,000 --> 00:00:02,500\nFirst line\nsecond line\n\n\n\n\n"
       "40\n00:01:02,250 --> 01:00:00,000\n<i>Last</i>\n\n\n"},
      {"no numbers, dots for commas",
       "00:00:01.000 --> 00:00:02.500\nFirst line\nsecond line\n\n"
       "00:01:02.250 --> 01:00:00.000\n<i>Last</i>"},
      {"blank line between cues missing",
       "1\n00:00:01,000 --> 00:00:02,500\nFirst line\nsecond line\n"
       "2\n00:01:02,250 --> 01:00:00,000\n<i>Last</i>\n"},
      {"position after the end time, blanks around lines",
       "1\n00:00:01,000 --> 00:00:02,500 X1:10 X2:20\n  First line \nsecond line\n\n"
       "2\n00:01:02,250-->01:00:00,000\n<i>Last</i>\n"},
  };
  for (const Case& c : cases) {
    auto cues = ParseSrt(c.text);
    ASSERT_EQ(expected.size(), cues.size()) << c.name;
    for (size_t i = 0; i < cues.size(); ++i) {
      EXPECT_EQ(expected[i].startMs, cues[i].startMs) << c.name;
      EXPECT_EQ(expected[i].endMs, cues[i].endMs) << c.name;
      EXPECT_EQ(expected[i].text, cues[i].text) << c.name;
    }
  }
}

TEST(ToolkitPgsText, BadCuesAreLeftOutAndTheRestSorted) {
  auto cues = ReadSrtBytes(
      "\xEF\xBB\xBF"
      "3\r\n00:00:09,000 --> 00:00:10,000\r\nlater\r\n\r\n"
      "1\r\n00:00:05,000 --> 00:00:04,000\r\nends before it starts\r\n\r\n"
      "2\r\n00:00:0x,000 --> 00:00:06,000\r\nbroken time\r\n\r\n"
      "4\r\n00:00:01,000 --> 00:00:02,000\r\nGr\xFC\xDF"
      "e\r\n");
  ASSERT_EQ(2u, cues.size());
  EXPECT_EQ(
      "Gr\xC3\xBC\xC3\x9F"
      "e",
      cues[0].text);
  EXPECT_EQ("later", cues[1].text);
}

TEST(ToolkitPgsText, MarkupStylesRunsAndBreaksLines) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<CueLine> lines;
  };
  const Case cases[] = {
      {"plain", "Hello", {{{"Hello", false, false}}}},
      {"italic part", "<i>So</i> what", {{{"So", true, false}, {" what", false, false}}}},
      {"bold and italic across a line end",
       "<b>one\n<I>two</I></b>",
       {{{"one", false, true}}, {{"two", true, true}}}},
      {"other tags dropped",
       "<font color=\"#ffff00\">yellow</font> <u>under</u>",
       {{{"yellow under", false, false}}}},
      {"override braces dropped", "{\\an8}Top", {{{"Top", false, false}}}},
      {"br and \\N break lines",
       "a<br>b\\Nc",
       {{{"a", false, false}}, {{"b", false, false}}, {{"c", false, false}}}},
      {"empty lines dropped", "\n<i></i>\nx\n  \n", {{{"x", false, false}}}},
      {"a lone less-than sign is text", "1 < 2", {{{"1 < 2", false, false}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.lines, ParseCueMarkup(c.text)) << c.name;
}

TEST(ToolkitPgsText, TimesMoveToTheNearestFrame) {
  // 23.976: a frame lasts 3753.75 ticks; 1 s is frame 23.976 -> 24 -> 90090 ticks.
  EXPECT_EQ(90090, FrameTime90k(1000, 24000.0 / 1001));
  EXPECT_EQ(0, FrameTime90k(10, 24000.0 / 1001));
  EXPECT_EQ(90000 * 2, FrameTime90k(2000, 25));
  EXPECT_EQ(90000 * 2 + 3600, FrameTime90k(2030, 25));  // 50.75 frames -> 51
  EXPECT_EQ(123 * 90, FrameTime90k(123, 0));            // no frame rate: to the millisecond
}

TEST(ToolkitPgsText, OverlappingCuesAreShownTogether) {
  auto at = [](int64_t s) { return s * 90000; };
  std::vector<Cue> cues = {{1000, 3000, "A"}, {2000, 4000, "B"}, {4000, 5000, "C"},
                           {7000, 8000, "D"}, {7000, 8000, "E"}, {9000, 9010, "too short"}};
  auto sets = VisibleCueSets(cues, 25);
  struct Expected {
    int64_t start, end;
    std::vector<size_t> cues;
  };
  const Expected expected[] = {{at(1), at(2), {0}},
                               {at(2), at(3), {0, 1}},
                               {at(3), at(4), {1}},
                               {at(4), at(5), {2}},
                               {at(7), at(8), {3, 4}}};
  ASSERT_EQ(std::size(expected), sets.size());
  for (size_t i = 0; i < sets.size(); ++i) {
    EXPECT_EQ(expected[i].start, sets[i].start) << i;
    EXPECT_EQ(expected[i].end, sets[i].end) << i;
    EXPECT_EQ(expected[i].cues, sets[i].cues) << i;
  }
  // A cue inside another: the outer one alone, both, the outer one alone again, and the
  // outer one's two pieces are not joined across the inner one.
  auto nested = VisibleCueSets({{0, 6000, "outer"}, {2000, 3000, "inner"}}, 25);
  ASSERT_EQ(3u, nested.size());
  EXPECT_EQ((std::vector<size_t>{0, 1}), nested[1].cues);
  EXPECT_EQ(at(3), nested[2].start);
}

TEST(ToolkitPgsText, StyleComesFromTheJobLine) {
  std::string error;
  auto style = StyleFromFields({{"font-name", "\"Arial\""},
                                {"font-size", "42"},
                                {"font-color", "0x00FFFFFF"},
                                {"font-charset", "1"},
                                {"bottom-offset", "50"},
                                {"font-border", "1"},
                                {"text-align", "center"},
                                {"video-width", "1280"},
                                {"video-height", "720"}},
                               &error);
  ASSERT_TRUE(style) << error;
  EXPECT_EQ("Arial", style->fontName);
  EXPECT_EQ(42, style->fontSize);
  EXPECT_EQ(0xFFFFFFFFu, style->color);  // the program's white is opaque
  EXPECT_EQ(1, style->border);
  EXPECT_EQ(50, style->bottomOffset);
  EXPECT_EQ(TextAlign::kCenter, style->align);
  EXPECT_EQ(1280, style->width);
  EXPECT_EQ(720, style->height);
  EXPECT_EQ(0x80FF0000u, StyleFromFields({{"font-color", "0x80FF0000"}}, &error)->color);
  for (auto [key, value] :
       std::vector<std::pair<std::string, std::string>>{{"font-size", "0"},
                                                        {"font-size", "big"},
                                                        {"video-width", "-1"},
                                                        {"font-color", "0xGG"},
                                                        {"font-color", "0x1FFFFFFFF"}}) {
    error.clear();
    EXPECT_FALSE(StyleFromFields({{key, value}}, &error)) << key << "=" << value;
    EXPECT_NE(std::string::npos, error.find(key)) << error;
  }
}

}  // namespace
}  // namespace quillet::toolkit::pgs
